#pragma once

// The items of the decoding menus as data: captions, character sets and modes.
// Pure C++ with no Qt, so the window's commands and the command-line tool read
// the same rows. Captions are stored as the menu shows them ("&&" is one "&").

#include <array>
#include <cstdint>
#include <string_view>

namespace mok {

// The separator between a command name and its hint in a menu caption.
inline constexpr std::u16string_view kCaptionSeparator = u" \uFF1A";
// The caption of a separator item.
inline constexpr std::u16string_view kSeparatorCaption = u"-";

// Second decoding menu: the text was decoded with A, its bytes are really B.
struct A2BRow {
  std::u16string_view caption;  // "-" for a separator
  std::int32_t code_a;
  std::int32_t code_b;
  bool checked;
};

inline constexpr int kA2BCount = 17;
extern const std::array<A2BRow, kA2BCount> kA2BTable;

// First decoding menu.
struct QpUrlRow {
  std::u16string_view caption;  // "-" for a separator
  std::int32_t code;            // language code of the escaped bytes
  std::int16_t mode;            // 0 quoted-printable, 1 URL
};

struct Base64Row {
  std::u16string_view caption;
  std::int32_t code;
};

// HTM(U), Num(UBE), URL(UBE): DecodeNumericRefs with the index as mode.
extern const std::array<std::u16string_view, 3> kNumUCaptions;
extern const std::array<QpUrlRow, 7> kReadQpTable;
extern const std::array<Base64Row, 3> kBase64Table;
// Utf7 and HZ-GB.
extern const std::array<std::u16string_view, 2> kJieACaptions;

}  // namespace mok
