#include "codec/half_char_shift.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "codec/conversion_core.h"
#include "tests/support/hex.h"

namespace mok {
namespace {

using ::mok::testing::Hex;

struct Case {
  Text input;
  std::int32_t code;
  bool code_page_flag;
  Text expected;
};

TEST(ShiftHalfChar, MovesEveryPairByOneByte) {
  const Case cases[] = {
      {u"\u4E2D\u6587", -2, false, u"\u874E"},
      {u"\u4E2D\u6587", -2, true, u"\u874E"},
      {u"\u4E2D\u6587", -3, false, u"\u2D65"},
      {u"\u4E2D\u6587", -3, true, u"\u2D65"},
      {u"\u4E2D\u6587", 1200, true, u"\u874E"},    // code page 1200 is the byte view too
      {u"\u4E2D", -2, false, u""},                 // one unit: nothing left
      {Text(u"\0\0", 2), -2, false, u" "},
      {u"\u4E2D\u6587", -1, false, u""},
      {u"\u4E2D\u6587", -4, true, u""},
      {u"\u4E2D\u6587", -5, true, u""},
      {u"a", 936, true, u""},                      // a single encoded byte
      {u"ab", 936, true, u"b"},
      {u"ab", 9999, false, u""},                   // unknown locale
      {u"ab", 777777, true, u""},                  // unknown code page
      {u"", -2, false, u""},
  };
  for (const auto& c : cases) {
    Text text = c.input;
    ShiftHalfChar(text, c.code, c.code_page_flag);
    EXPECT_EQ(text, c.expected) << "input " << Hex(c.input) << " code " << c.code << " got " << Hex(text);
  }
}

TEST(ShiftHalfChar, StrayByteBeforeGbkTextIsRepaired) {
  // A stray C4 before the GBK bytes of U+554A U+4E2D U+6587 misaligns every pair.
  const Bytes shifted = ToBytes("\xC4\xB0\xA1\xD6\xD0\xCE\xC4");
  for (const bool by_code_page : {true, false}) {
    Text text = CpBytesToText(shifted, 936);
    ASSERT_NE(text.substr(0, 1), u"\u554A");
    ShiftHalfChar(text, by_code_page ? 936 : 2052, by_code_page);
    EXPECT_EQ(text, u"\u554A\u4E2D\u6587") << Hex(text);
  }
}

TEST(ShiftHalfChar, TwoHalfShiftsMoveByOneWholeUnit) {
  // Two one-byte shifts in the same byte order drop the first unit and, as odd
  // trailing bytes, the last.
  Text text;
  for (char16_t c = 0x4E00; c < 0x4E00 + 5000; ++c) text += c;
  for (const std::int32_t code : {-2, -3}) {
    Text copy = text;
    ShiftHalfChar(copy, code, false);
    ASSERT_EQ(copy.size(), text.size() - 1);
    ShiftHalfChar(copy, code, false);
    EXPECT_EQ(copy, text.substr(1, text.size() - 2)) << code;
  }
}

}  // namespace
}  // namespace mok
