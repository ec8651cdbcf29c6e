#pragma once

// The first decoding menu: numeric references, URL and quoted-printable escapes,
// Base64 (of the selection or the whole text), UTF-7 and HZ-GB.

#include <array>
#include <cstdint>
#include <string_view>

namespace mok {

class CommandHost;

struct QpUrlRow {
  std::u16string_view caption;  // "-" for a separator
  std::int32_t code;            // language code of the escaped bytes
  std::int16_t mode;            // 0 quoted-printable, 1 URL
};

struct Base64Row {
  std::u16string_view caption;
  std::int32_t code;
};

// Captions as the menu stores them: "&&" shows as one "&".
extern const std::array<std::u16string_view, 3> kNumUCaptions;
extern const std::array<QpUrlRow, 7> kReadQpTable;
extern const std::array<Base64Row, 3> kBase64Table;
extern const std::array<std::u16string_view, 2> kJieACaptions;

// HTM(U), Num(UBE), URL(UBE): numeric references with the index as mode.
void RunNumU(CommandHost& host, int index);
// URL-GBK/Big5/Utf8 and QP-GBK/Big5/Utf8.
void RunReadQp(CommandHost& host, int index);
// Base64 of a selection of two or more characters, else of the whole text.
void RunBase64(CommandHost& host, int index);
// Utf7 and HZ-GB.
void RunJieA(CommandHost& host, int index);

}  // namespace mok
