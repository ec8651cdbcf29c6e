#pragma once

// The two constant tables from which the dialogs offer character sets: language
// codes (15 pairs) and code pages (41 pairs), each kept as one comma-separated
// string exactly as the dialogs split it.

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace mok {

struct NamedCode {
  std::u16string_view name;
  std::int32_t code;
};

extern const std::u16string_view kLanguageCodeList;
extern const std::u16string_view kCodePageList;

// The tables above, parsed.
[[nodiscard]] std::span<const NamedCode> LanguageCodes();
[[nodiscard]] std::span<const NamedCode> CodePages();

}  // namespace mok
