#include "codec/width_mapping.h"

#include <unicode/uchar.h>

#include <gtest/gtest.h>

#include "tests/support/hex.h"

namespace mok {
namespace {

using ::mok::testing::Hex;

struct Case {
  Text half;
  Text full;
};

TEST(WidthMapping, BothWaysOnTheFormsOfEachBlock) {
  const Case cases[] = {
      {u" A~!z0", u"\u3000\uFF21\uFF5E\uFF01\uFF5A\uFF10"},          // space and ASCII
      {u"\uFF71\uFF70\uFF66", u"\u30A2\u30FC\u30F2"},                 // half-width katakana
      {u"\uFFA0\uFFA1\uFFC2\uFFDC", u"\u3164\u3131\u314F\u3163"},    // half-width Hangul jamo: compatibility jamo
      {u"\u00A2\u00A5\u20A9", u"\uFFE0\uFFE5\uFFE6"},                // full-width signs
      {u"\uFF76\uFF9E\uFF8A\uFF9F\uFF73\uFF9E", u"\u30AC\u30D1\u30F4"},  // ｶﾞﾊﾟｳﾞ: marks join, and split
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Hex(ToFullWidth(c.half)), Hex(c.full));
    EXPECT_EQ(Hex(ToHalfWidth(c.full)), Hex(c.half));
  }
}

// ｡｢｣､･ and ￨￩￪￫￬￭￮ widen, but half width keeps 。「」、・ and │←↑→↓■○:
// GBK and Big5 store those and not the half-width forms.
TEST(WidthMapping, HalfWidthKeepsTheCjkPunctuationArrowsAndShapes) {
  const Case cases[] = {
      {u"\uFF61\uFF62\uFF63\uFF64\uFF65", u"\u3002\u300C\u300D\u3001\u30FB"},
      {u"\uFFE8\uFFE9\uFFEA\uFFEB\uFFEC\uFFED\uFFEE", u"\u2502\u2190\u2191\u2192\u2193\u25A0\u25CB"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Hex(ToFullWidth(c.half)), Hex(c.full));
    EXPECT_EQ(Hex(ToHalfWidth(c.full)), Hex(c.full));
    EXPECT_EQ(Hex(ToHalfWidth(c.half)), Hex(c.half));  // already half width: as they are
  }
  // In running text only the letters narrow.
  EXPECT_EQ(ToHalfWidth(u"「ＡＢ」、ア・イ。→"), u"「AB」、ｱ・ｲ。→");
  // No character of the BMP narrows into either range.
  for (char32_t c = 1; c < 0x10000; ++c) {
    const Text unit(1, static_cast<char16_t>(c));
    const Text half = ToHalfWidth(unit);
    if (half == unit) continue;
    for (const char16_t made : half) {
      EXPECT_FALSE((made >= 0xFF61 && made <= 0xFF65) || (made >= 0xFFE8 && made <= 0xFFEE))
          << std::hex << static_cast<unsigned>(c);
    }
  }
}

TEST(WidthMapping, EveryFormOfTheRangesMapsAndComesBack) {
  int forms = 0;
  for (char16_t c = 0x21; c <= 0x7E; ++c) {
    EXPECT_EQ(ToFullWidth(Text(1, c)), Text(1, static_cast<char16_t>(c + 0xFEE0))) << std::hex << static_cast<unsigned>(c);
  }
  for (char32_t c = 0xFF01; c <= 0xFFEE; ++c) {
    if (!u_isdefined(static_cast<UChar32>(c)) || c == 0xFF5F || c == 0xFF60) continue;
    const Text form(1, static_cast<char16_t>(c));
    const bool narrow = (c >= 0xFF61 && c <= 0xFFDC) || c >= 0xFFE8;
    const Text other = narrow ? ToFullWidth(form) : ToHalfWidth(form);
    ASSERT_EQ(other.size(), 1u) << std::hex << static_cast<unsigned>(c);
    EXPECT_NE(other, form) << std::hex << static_cast<unsigned>(c);
    // Back again, except for the forms half width never makes.
    const bool kept = (c >= 0xFF61 && c <= 0xFF65) || c >= 0xFFE8;
    EXPECT_EQ(narrow ? ToHalfWidth(other) : ToFullWidth(other), kept ? other : form)
        << std::hex << static_cast<unsigned>(c);
    ++forms;
  }
  EXPECT_GT(forms, 200);
}

TEST(WidthMapping, SoundMarksThatCannotJoin) {
  // A mark that cannot join stays a combining mark after its base; a mark
  // alone is converted by itself.
  EXPECT_EQ(Hex(ToFullWidth(u"\uFF71\uFF9E\uFF9F")), Hex(Text(u"\u30A2\u3099\u309A")));
  EXPECT_EQ(Hex(ToFullWidth(u"\uFF9E")), Hex(Text(u"\u3099")));
}

TEST(WidthMapping, EverythingElseStaysUnitForUnit) {
  const Text other(u"\u4E2D\u6587\r\n\r\x00\xD800\xDC00\xD83D\xDE00\u3042\u00E9\uFFFD", 14);
  EXPECT_EQ(Hex(ToFullWidth(other)), Hex(other));
  EXPECT_EQ(Hex(ToHalfWidth(other)), Hex(other));
  EXPECT_TRUE(ToFullWidth(u"").empty());
  EXPECT_TRUE(ToHalfWidth(u"").empty());
  // Mixed: only the forms change, in place.
  EXPECT_EQ(ToHalfWidth(u"\u4E2D\uFF21\u3000\uFF42"), u"\u4E2DA b");
}

TEST(ConvertCaseItem, ByMenuItem) {
  EXPECT_EQ(ConvertCaseItem(u"A\u570B", 0), u"\uFF21\u570B");
  EXPECT_EQ(ConvertCaseItem(u"\uFF21\u570B", 1), u"A\u570B");
  EXPECT_EQ(ConvertCaseItem(u"\u4E2D\u570B", 2), u"\u4E2D\u56FD");
  EXPECT_EQ(ConvertCaseItem(u"\u4E2D\u56FD", 3), u"\u4E2D\u570B");
  EXPECT_TRUE(ConvertCaseItem(u"abc", 4).empty());
  EXPECT_TRUE(ConvertCaseItem(u"", 0).empty());
}

}  // namespace
}  // namespace mok
