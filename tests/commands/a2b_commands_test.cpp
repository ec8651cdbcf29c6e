#include "commands/a2b_commands.h"

#include "commands/decoding_frame.h"

#include "codec/conversion_core.h"
#include "tests/support/window_fixture.h"

namespace mok::testing {
namespace {

using A2BTest = WindowTest;

// Text as it looks when its bytes (really in charset B) were decoded as A.
// Built with the code-page functions directly, independent of the command.
Text Garble(TextView clean, int cp_a, int cp_b) {
  Bytes bytes = cp_b == -4 ? TextToCpBytes(clean, 65001)
                : cp_b == -2 ? TextToByteView(clean)
                             : TextToCpBytes(clean, cp_b);
  if (cp_a == -1) return Latin1BytesToText(bytes);
  if (cp_a == -3) {
    SwapByteOrder(bytes);
    return ByteViewToText(bytes);
  }
  return CpBytesToText(bytes, cp_a);
}

TEST_F(A2BTest, EveryRowRepairsTextGarbledTheWayItsCaptionSays) {
  struct Case {
    int index;
    int shown_as;   // code page (or pseudo) the bytes were decoded with: the X of X--Y
    int really_in;  // code page (or pseudo) the bytes are really in: the Y of X--Y
    Text clean;
  };
  const Case cases[] = {
      {0, 936, 950, u"中文亂碼測試"},          // GB--Big5: Big5 bytes shown as GBK
      {1, 936, 932, u"日本語のテキスト"},      // GB--日文
      {2, 936, 949, u"한국어 텍스트"},          // GB--韩文
      {3, 936, 1251, u"Привет мир"},          // GB--俄文
      {4, 936, -4, u"中文€测试"},              // GB--Utf8
      {6, 950, 936, u"中文乱码测试"},          // Big5--GB
      {7, 950, 949, u"한국어 텍스트"},          // Big5--韩文
      {8, 932, 936, u"中文乱码测试"},          // 日文--GB
      {9, 949, 936, u"中文乱码测试"},          // 韩文--GB
      {10, 1251, 936, u"中文乱码测试"},        // 俄文--GB
      {12, 1252, 936, u"中文乱码测试"},        // Eng--GB
      {13, 1252, -4, u"Café déjà vu 中文"},   // Eng--Utf8
      {14, -1, 936, u"中文乱码测试"},          // Latin1--GB
      {15, -1, -4, u"Café déjà vu 中文"},     // Latin1--Utf8
      {16, -3, -2, u"AB中"},                  // UBE--ULE
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.index);
    const Text garbled = Garble(c.clean, c.shown_as, c.really_in);
    ASSERT_NE(garbled, c.clean);
    box().SetText(garbled);
    window->SetOriginal(u"garbled");
    const std::int16_t before = window->History().nCur();
    Trigger(QStringLiteral("mnuA2B_%1").arg(c.index));
    EXPECT_EQ(Hex(box().GetText()), Hex(c.clean));
    const Text status = CommandName(kA2BTable[static_cast<std::size_t>(c.index)].caption);
    EXPECT_EQ(Say(), status);
    EXPECT_NE(window->History().nCur(), before);
    EXPECT_EQ(window->History().Current().say, status);
  }
  EXPECT_EQ(prompts->beeps, 0);
}

TEST_F(A2BTest, StatusTextIsTheCommandNameAlone) {
  box().SetText(u"\u6D93\uE15F\u6783");  // "中文" in UTF-8 shown as GBK
  Trigger(QStringLiteral("mnuA2B_4"));
  EXPECT_EQ(box().GetText(), u"中文");
  EXPECT_EQ(Say(), u"GB--Utf8");
  box().SetText(u"A");
  Trigger(QStringLiteral("mnuA2B_16"));
  EXPECT_EQ(box().GetText(), u"\u4100");
}

}  // namespace
}  // namespace mok::testing
