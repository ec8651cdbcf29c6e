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
      {u"会议纪要.docx", {437, 936}},
      {u"日本語", {936, 20932}},
      {u"Ελληνικά", {1252, 1253}},
      {u"汉字\U00020000", {936, 54936}},
      {u"這是香港增補字符集", {936, 951}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Hex(c.clean));
    const Text garbled = ReadAs(c.clean, c.step.code_page_b, c.step.code_page_a);
    const auto result = ApplyLosslessStep(garbled, c.step);
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(Hex(result->text), Hex(c.clean));
    EXPECT_EQ(result->lost, 0u);
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
  EXPECT_FALSE(ApplyLosslessStep(u"中文\uFFFD", {936, 65001}));
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

// Characters other programs' decoders give that ICU's converters do not
// encode: Windows' Shift-JIS reads the single byte FE as U+F8F2, Python's
// Big5 reads ETEN's C6E7 as ゃ, Big5-HKSCS since 2008 reads C8A1 as U+9FB0.
TEST(RepairStepTest, EncodesWhatOtherDecodersGave) {
  const struct {
    Text garbled;
    RepairStep step;
    Text clean;
  } cases[] = {
      {u"\uF8F2", {932, 28591}, u"\u00FE"},
      {u"\u3083", {950, 936}, u"\u6B67"},   // GBK C6E7 is 歧
      {u"\u9FB0", {951, 936}, u"\u53D6"},   // GBK C8A1 is 取
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Hex(c.garbled));
    const auto result = ApplyLosslessStep(c.garbled, c.step);
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(Hex(result->text), Hex(c.clean));
  }
}

TEST(RepairStepTest, ByteSwapTakesLoneSurrogatesAndNeedsWellFormedUtf16After) {
  const auto swapped = ApplyLosslessStep(u"AB\u4E2D", kUtf16Swap);
  ASSERT_TRUE(swapped.has_value());
  EXPECT_EQ(swapped->text, u"\u4100\u4200\u2D4E");
  // 绝 (U+7EDD) swapped is a lone trail surrogate.
  const auto back = ApplyLosslessStep(u"\xDD7E\u4E00", kUtf16Swap);
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(back->text, u"\u7EDD\u004E");
  // U+00D8 swaps to a lone lead surrogate, U+DC80 to U+80DC and back is not UTF-16.
  EXPECT_FALSE(ApplyLosslessStep(u"\u00D8x", kUtf16Swap));
  // A U+FFFD in swapped text stands for a lost unit: only a lossy swap takes it.
  EXPECT_FALSE(ApplyLosslessStep(u"\u2D4E\uFFFD", kUtf16Swap));
  const auto lossy = ApplyStep(u"\u2D4E\uFFFD", kUtf16Swap, {.lossy = true});
  ASSERT_TRUE(lossy.has_value());
  EXPECT_EQ(lossy->text, u"\u4E2D\uFFFD");
  EXPECT_EQ(lossy->lost, 1u);
}

TEST(RepairStepTest, Iso2022StepsReadEscapedTextAsTheMenuCommandsDo) {
  const Text japanese = u"日本語です";
  const Bytes bytes = TextToCpBytes(japanese, 50221);
  const Text raw(bytes.begin(), bytes.end());
  ASSERT_NE(raw.find(u'\x1B'), Text::npos);
  Text no_escapes;
  for (const char16_t c : raw) {
    if (c != 0x1B) no_escapes += c;
  }
  EXPECT_EQ(Iso2022Variant(kIso2022Japanese), 1);
  EXPECT_EQ(Iso2022Variant({936, 950}), -1);
  for (const Text& text : {raw, no_escapes}) {
    SCOPED_TRACE(Hex(text));
    const auto result = ApplyLosslessStep(text, kIso2022Japanese);
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->text, japanese);
    // The other variants find none of their designations.
    EXPECT_FALSE(ApplyLosslessStep(text, kIso2022Korean));
  }
  // No two-byte designation, or a unit outside seven bits.
  EXPECT_FALSE(ApplyLosslessStep(u"plain (B text", kIso2022Japanese));
  EXPECT_FALSE(ApplyLosslessStep(no_escapes + u"\u00E9", kIso2022Japanese));
}

// Lossy steps: "?" and U+FFFD stand for bytes of unknown number; decoding
// starts again after them; each character that lost bytes is one U+FFFD.
TEST(RepairStepTest, LossyStepsRealignOnTheBytesThatSurvived) {
  // Bytes read as GBK by a decoder that gave `mark` for each byte it could
  // not read (here: the bytes this program's decoder keeps).
  auto replacing = [](BytesView bytes, char16_t mark) {
    Text garbled = CpBytesToText(bytes, 936);
    for (char16_t& c : garbled) {
      if (c >= 0xDC80 && c <= 0xDCFF) c = mark;
    }
    return garbled;
  };
  // 中文测 in UTF-8: E4 B8 AD E6 96 87 E6 B5 8B.
  const Bytes utf8 = ToBytes("\xE4\xB8\xAD\xE6\x96\x87\xE6\xB5\x8B");
  const struct {
    const char* name;
    Text garbled;
    RepairStep step;
    Text repaired;
    std::size_t lost;
  } cases[] = {
      {"the odd last byte became ?", replacing(utf8, u'?'), {936, 65001}, u"中文\uFFFD", 1},
      {"the odd last byte became U+FFFD", replacing(utf8, 0xFFFD), {936, 65001}, u"中文\uFFFD", 1},
      // A decoder that gave up on AD (the end of 中) and read on from E6.
      {"a byte lost inside", u"涓\uFFFD" + CpBytesToText(BytesView(utf8).substr(3), 936), {936, 65001},
       u"\uFFFD文测", 1},
      // 大值。(E5 A4 A7 E5 80 BC E3 80 82) with 80, 80 and 82 as "?": the
      // question mark after E3, cut short, is its other lost byte.
      {"? after a character cut short", u"澶у?笺??", {936, 65001}, u"大\uFFFD\uFFFD", 2},
      // U+FFFD's UTF-8 read as GBK: 锟斤拷 is a gap.
      {"锟斤拷", CpBytesToText(ToBytes("\xE4\xBD\xA0\xE5\xA5\xBD"), 936) + u"锟斤拷", {936, 65001},
       u"你好\uFFFD", 1},
      // cp1252 has no character for 0x81: the end of Á (C3 81) was lost.
      {"an undefined byte of cp1252", u"Ã\uFFFD", {1252, 65001}, u"\uFFFD", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto result = ApplyStep(c.garbled, c.step, {.lossy = true});
    ASSERT_TRUE(result.has_value()) << Hex(c.garbled);
    EXPECT_EQ(Hex(result->text), Hex(c.repaired));
    EXPECT_EQ(result->lost, c.lost);
  }
  // A question mark that decodes with its neighbours stays one: nothing lost.
  EXPECT_FALSE(ApplyStep(u"Why?", {936, 65001}, {.lossy = true}));
  // Nothing else repaired than where the gaps are.
  EXPECT_FALSE(ApplyStep(u"中文\uFFFD", {936, 54936}, {.lossy = true}));
}

TEST(RepairStepTest, ACutTextLeavesOutACharacterCutAtItsEnd) {
  // The UTF-8 of 中文 read as cp1252, cut after the first byte of 文.
  const Text garbled = ReadAs(u"中文", 65001, 1252);
  const Text start = garbled.substr(0, 4);
  EXPECT_FALSE(ApplyLosslessStep(start, {1252, 65001}));
  const auto cut = ApplyStep(start, {1252, 65001}, {.cut = true});
  ASSERT_TRUE(cut.has_value());
  EXPECT_EQ(cut->text, u"中");
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
