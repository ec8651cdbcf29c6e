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

// Third decoding menu, first group: half-character repair from the caret on.
struct HalfCharRow {
  std::u16string_view caption;
  std::int32_t code;    // language code passed to ShiftHalfChar
  bool asks_code_page;  // the code page comes from the transfer-format dialog instead
};
extern const std::array<HalfCharRow, 4> kCabTable;
inline constexpr int kCabCheckedIndex = 0;

// Third decoding menu, second group: ISO-2022 text whose escapes were lost; the
// index is DecodeIso2022's variant.
extern const std::array<std::u16string_view, 3> k2022Captions;
inline constexpr int k2022CheckedIndex = 1;

// Third decoding menu, last group: conversions whose character sets are asked
// in a dialog (item 2 is a separator).
extern const std::array<std::u16string_view, 5> kAskA2BCaptions;

// The makers of garbled text (edit menu, "编写“乱码” (&M)"): the codec each item
// runs on the selection, and its mode or charset index.
enum class MakeCodec { Separator, NumericRefs, QuotedPrintable, Base64, Utf7, HzGb };
struct MakeRow {
  std::u16string_view caption;  // "-" for a separator
  MakeCodec codec;
  std::int16_t argument;  // EncodeNumericRefs mode, EncodeQpUrl or EncodeBase64Text charset index
};
extern const std::array<MakeRow, 21> kMakeTable;

}  // namespace mok
