#include "repair/repair_step.h"

#include <gtest/gtest.h>

#include "tests/support/hex.h"
#include "tests/support/read_as.h"

namespace mok::testing {
namespace {

TEST(RepairStepTest, UndoesAWrongDecoding) {
  const struct {
    Text clean;
    RepairStep step;
  } cases[] = {
      {u"日本語のテキスト", {936, 932}},
      {u"中文亂碼測試", {936, 950}},
      {u"한국어 텍스트", {936, 949}},
      {u"Größe und Maße", {1252, 65001}},
      {u"Привет, мир", {1251, 20866}},
      {u"Привет, мир", {20866, 1251}},
      {u"中文", {28591, 936}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Hex(c.clean));
    const Text garbled = ReadAs(c.clean, c.step.code_page_b, c.step.code_page_a);
    const auto result = ApplyLosslessStep(garbled, c.step);
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(Hex(result->text), Hex(c.clean));
  }
}

TEST(RepairStepTest, LoneSurrogatesCountAsTheBytesAnEarlierDecodingKept) {
  // "中文测" in UTF-8 is nine bytes; read as GBK the last byte (0x8B) pairs
  // with nothing and the program's converter keeps it as U+DC8B.
  const Text garbled = ReadAs(u"中文测", 65001, 936);
  ASSERT_EQ(garbled.back(), 0xDC8B);
  const auto result = ApplyLosslessStep(garbled, {936, 65001});
  ASSERT_TRUE(result.has_value());
  EXPECT_EQ(result->text, u"中文测");
}

TEST(RepairStepTest, AStepThatLosesAnythingIsRefused) {
  // A character code page A cannot encode.
  EXPECT_FALSE(ApplyLosslessStep(u"Euro \u20AC", {28591, 65001}));
  EXPECT_FALSE(ApplyLosslessStep(u"中文", {1252, 936}));
  // A lone surrogate outside U+DC80..U+DCFF stands for no byte.
  EXPECT_FALSE(ApplyLosslessStep(u"ab\xD800", {1252, 65001}));
  EXPECT_FALSE(ApplyLosslessStep(u"ab\xDC41", {1252, 65001}));
  // Bytes code page B finds malformed: E9 alone is no UTF-8.
  EXPECT_FALSE(ApplyLosslessStep(u"caf\u00E9", {1252, 65001}));
  // Bytes that decode but do not encode back the same: GBK EE EF read as
  // Shift-JIS is the IBM extension U+2170, which Shift-JIS writes as FA 40.
  EXPECT_FALSE(ApplyLosslessStep(u"\u94D2", {936, 932}));
  // Code pages without a converter here, and the empty text.
  EXPECT_FALSE(ApplyLosslessStep(u"abc", {1361, 936}));
  EXPECT_FALSE(ApplyLosslessStep(u"abc", {936, 12345}));
  EXPECT_FALSE(ApplyLosslessStep(u"", {936, 950}));
}

TEST(RepairStepTest, ByteSwapNeedsWellFormedUtf16BothWays) {
  const auto swapped = ApplyLosslessStep(u"AB\u4E2D", kUtf16Swap);
  ASSERT_TRUE(swapped.has_value());
  EXPECT_EQ(swapped->text, u"\u4100\u4200\u2D4E");
  // U+00D8 swaps to a lone lead surrogate.
  EXPECT_FALSE(ApplyLosslessStep(u"\u00D8x", kUtf16Swap));
  EXPECT_FALSE(ApplyLosslessStep(u"\xDC80", kUtf16Swap));
}

TEST(RepairStepTest, CleansUpLikeTheMenuCommands) {
  // A UTF-8 byte order mark read as cp1252, and a NUL.
  const Text garbled(u"\u00EF\u00BB\u00BFab\0c\u00C3\u00A4", 9);
  const auto result = ApplyLosslessStep(garbled, {1252, 65001});
  ASSERT_TRUE(result.has_value());
  EXPECT_EQ(result->text, u"ab c\u00E4");
}

}  // namespace
}  // namespace mok::testing
