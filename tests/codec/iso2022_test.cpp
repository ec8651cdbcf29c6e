#include "codec/iso2022.h"
#include "tests/support/hex.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace mok {
namespace {

using ::mok::testing::Hex;

struct Case {
  Text input;
  std::int16_t variant;
  Text expected;
};

TEST(DecodeIso2022, RepairsLostEscapesAndDecodes) {
  const Case cases[] = {
      // Japanese: ESC before "$B" and "(B"; the space before the closing "(B" goes.
      {u"$B$3$s$K$A$O (B", 1, u"\u3053\u3093\u306B\u3061\u306F"},
      {u"a $B$3 (B b", 1, u"a \u3053 b"},
      {u"$B$3  (B", 1, u"\u3053\xDC20"},            // only the one space next to it goes
      {u"$B$3(B", 1, u"\u3053"},
      {u"$B$3 (B\u4E2D", 1, u"\u3053?"},            // above U+00FF: the default character
      // Chinese and Korean designate a set for SO ... SI.
      {u"$)A\x0E" u"0!\x0F", 0, u"\u554A"},
      {u"$)C\x0E" u"0!\x0F", 2, u"\uAC00"},
      {u"abc", 0, u"abc"},
      {Text(u"a\0b", 3), 1, u"a b"},
      // One ESC anywhere: nothing is inserted, the rest stays as it is.
      {u"\x1B$B$3$s\x1B(B and $B$3 (B", 1, u"\u3053\u3093 and $B$3 (B"},
      {u"$B$3 (B", 3, u""},
      {u"$B$3 (B", -1, u""},
      {u"", 1, u""},
  };
  for (const auto& c : cases) {
    Text text = c.input;
    DecodeIso2022(text, c.variant);
    EXPECT_EQ(text, c.expected) << "input " << Hex(c.input) << " variant " << c.variant << " got " << Hex(text);
  }
}

TEST(DecodeIso2022, LongRepetition) {
  Text text;
  Text expected;
  for (int i = 0; i < 20000; ++i) {
    text += u"$B$3$s (B x ";
    expected += u"\u3053\u3093 x ";
  }
  DecodeIso2022(text, 1);
  EXPECT_EQ(text, expected);
}

}  // namespace
}  // namespace mok
