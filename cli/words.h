#pragma once

// Words of the command line: names compared as the user may type them, and
// the UTF-8 of arguments and messages.

#include <string>
#include <string_view>

#include "codec/conversion_core.h"
#include "codec/text_types.h"

namespace mok::cli {

// Equal when they differ at most in the case of ASCII letters.
[[nodiscard]] inline bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// Text as UTF-8 (lone surrogates of escaped bytes give those bytes back).
[[nodiscard]] inline std::string ToUtf8(TextView text) {
  const Bytes bytes = TextToCpBytes(text, 65001);
  return std::string(bytes.begin(), bytes.end());
}

// An argument as text; bytes that are not UTF-8 become escapes, as in a file.
[[nodiscard]] inline Text FromUtf8(std::string_view word) {
  return CpBytesToText(BytesView(reinterpret_cast<const std::uint8_t*>(word.data()), word.size()), 65001);
}

}  // namespace mok::cli
