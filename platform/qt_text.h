#pragma once

// Text and QString hold the same UTF-16 code units; these copy them across
// unchanged (lone surrogates included).

#include <QString>

#include "codec/text_types.h"

namespace mok {

[[nodiscard]] inline QString ToQString(TextView text) {
  return QString(reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(text.size()));
}

[[nodiscard]] inline Text ToText(const QString& text) {
  return Text(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size()));
}

}  // namespace mok
