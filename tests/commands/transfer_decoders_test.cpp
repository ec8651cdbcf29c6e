#include "commands/transfer_decoders.h"

#include <QMenu>
#include <QPushButton>

#include "tests/support/window_fixture.h"

namespace mok::testing {
namespace {

using TransferDecodersTest = WindowTest;

TEST_F(TransferDecodersTest, FirstMenuHasItsItemsInOrder) {
  QMenu* menu = window->menuBar()->findChild<QMenu*>(QStringLiteral("mnuJiedusA"));
  ASSERT_NE(menu, nullptr);
  QStringList names;
  for (QAction* item : menu->actions()) names << item->objectName();
  EXPECT_EQ(names, (QStringList{"mnuNumU_0", "mnuNumU_1", "mnuNumU_2", "mnuBarA1", "mnuReadQp_0", "mnuReadQp_1",
                                "mnuReadQp_2", "mnuReadQp_3", "mnuReadQp_4", "mnuReadQp_5", "mnuReadQp_6", "mnuBarA3",
                                "mnuBase64_0", "mnuBase64_1", "mnuBase64_2", "mnuBarA4", "mnuJieA_0", "mnuJieA_1"}));
  EXPECT_TRUE(Action("mnuReadQp_3")->isSeparator());
  // Captions as stored: a doubled ampersand shows as one.
  EXPECT_EQ(Action("mnuNumU_0")->text(), QStringLiteral("HTM(U) ：如 &&#x53EF;&&#25511;&&ordm;&&Atilde;英文通顺"));
  EXPECT_EQ(Action("mnuNumU_0")->iconText(), QStringLiteral("HTM(U) ：如 &#x53EF;&#25511;&ordm;&Atilde;英文通顺"));
  EXPECT_EQ(Action("mnuNumU_1")->text(), QStringLiteral("Num(UBE) ：如 \\u53EF\\u63A7\\x28\\x29 英文通顺"));
  EXPECT_EQ(Action("mnuBase64_0")->text(), QStringLiteral("Base64-GBK ：如 QVNDSUkgvs3Kx6G 紧密排列.允许选取解码"));
  EXPECT_EQ(Action("mnuJieA_1")->text(), QStringLiteral("HZ-GB ：如 ~{V;V'3V~}ASCII~{Bk5DO5M3~} 英文通顺"));
}

TEST_F(TransferDecodersTest, EachItemDecodesTheWholeTextWithItsStatus) {
  struct Case {
    const char* item;
    Text input;
    Text expected;
    Text status;
  };
  const Case cases[] = {
      {"mnuNumU_0", u"&#x53EF;&#25511;&ordm;&Atilde;", u"可控\u00BA\u00C3", u"解读 HTM(U)"},
      {"mnuNumU_1", u"\\u53EF\\u63A7\\x28\\x29", u"可控()", u"解读 Num(UBE)"},
      {"mnuNumU_2", u"%u53EF%u63A7%28%29", u"可控()", u"解读 URL(UBE)"},
      {"mnuReadQp_0", u"work%2Easp%3Fs%3D%B5%E7%C4%D4", u"work.asp?s=电脑", u"解读 URL-GBK"},
      {"mnuReadQp_1", u"%A4%A4%A4%E5", u"中文", u"解读 URL-Big5"},
      {"mnuReadQp_2", u"%E4%B8%AD%E6%96%87", u"中文", u"解读 URL-Utf8"},
      {"mnuReadQp_4", u"=D6=A7=B3=D6ASCII=C2=EB", u"支持ASCII码", u"解读 QP-GBK"},
      {"mnuReadQp_5", u"=A4=A4=A4=E5", u"中文", u"解读 QP-Big5"},
      {"mnuReadQp_6", u"=E4=B8=AD=E6=96=87", u"中文", u"解读 QP-Utf8"},
      {"mnuBase64_0", u"1tDOxA==", u"中文", u"解读 Base64-GBK"},
      {"mnuBase64_1", u"pKSk5Q==", u"中文", u"解读 Base64-Big5"},
      {"mnuBase64_2", u"5Lit5paH", u"中文", u"解读 Base64-Utf8"},
      {"mnuJieA_0", u"+UxdOrA- YES +Ti1XC2-", u"\u5317\u4EAC YES \u4E2D\u570B", u"解读 Utf7"},
      {"mnuJieA_1", u"~{V;V'3V~}ASCII~{Bk~}", u"只支持ASCII码", u"解读 HZ-GB"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.item);
    box().SetText(c.input);
    window->SetOriginal(u"start");
    Trigger(QString::fromLatin1(c.item));
    EXPECT_EQ(Hex(box().GetText()), Hex(c.expected));
    EXPECT_EQ(Say(), c.status);
    EXPECT_EQ(window->History().Current().say, c.status);
    EXPECT_TRUE(window->HistoryButton(1)->isEnabled());
  }
  EXPECT_EQ(prompts->beeps, 0);
}

TEST_F(TransferDecodersTest, QuotedPrintableWithLinuxLineEndsLosesItsSoftBreaks) {
  // Mail stored on Linux: soft breaks "=" LF, one with padding, one splitting
  // a character's two bytes; the hard line break stays as it is.
  box().SetText(u"=D6=A7=B3=D6=\nASCII=C2= \t\n=EB\n=D6=D0=\n=CE=C4");
  window->SetOriginal(u"start");
  Trigger(QStringLiteral("mnuReadQp_4"));
  EXPECT_EQ(Hex(box().GetText()), Hex(u"支持ASCII码\n中文"));
  EXPECT_EQ(Say(), u"解读 QP-GBK");
}

TEST_F(TransferDecodersTest, EmptyTextIsNotChangedWithABeep) {
  const char* items[] = {"mnuNumU_0", "mnuNumU_1", "mnuNumU_2", "mnuReadQp_0", "mnuReadQp_6",
                         "mnuBase64_0", "mnuBase64_2", "mnuJieA_0", "mnuJieA_1"};
  int beeps = 0;
  for (const char* item : items) {
    Trigger(QString::fromLatin1(item));
    EXPECT_EQ(Say(), u"未经改动") << item;
    EXPECT_EQ(prompts->beeps, ++beeps) << item;
  }
  EXPECT_EQ(window->History().nCur(), TextHistory::kOriginal);
}

TEST_F(TransferDecodersTest, TextWithoutEscapesIsTheSame) {
  box().SetText(u"nothing to decode");
  window->SetOriginal(u"start");
  Trigger(QStringLiteral("mnuReadQp_4"));
  EXPECT_EQ(Say(), u"经过改动，仍然相同");
  EXPECT_FALSE(window->HistoryButton(1)->isEnabled());
}

TEST_F(TransferDecodersTest, Base64DecodesASelectionOfTwoOrMoreCharacters) {
  // GBK "中文" in Base64, spread over two lines inside other text.
  box().SetText(u"head 1tDO\r\nxA== tail");
  window->SetOriginal(u"start");
  box().SetSelStart(5);
  box().SetSelLength(9);  // "1tDO", line break, "xA=="
  Trigger(QStringLiteral("mnuBase64_0"));
  EXPECT_EQ(box().GetText(), u"head 中文 tail");
  EXPECT_EQ(box().SelStart(), 5);
  EXPECT_EQ(box().SelLength(), 2);  // the decoded text is selected
  EXPECT_EQ(Say(), u"解读 Base64-GBK");

  // One selected character counts as no selection: the whole text is decoded.
  box().SetText(u"1tDOxA==");
  window->SetOriginal(u"start");
  box().SetSelStart(0);
  box().SetSelLength(1);
  Trigger(QStringLiteral("mnuBase64_0"));
  EXPECT_EQ(box().GetText(), u"中文");
}

}  // namespace
}  // namespace mok::testing
