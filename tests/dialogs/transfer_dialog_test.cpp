#include "dialogs/transfer_dialog.h"

#include <QTest>

#include <gtest/gtest.h>

#include "app/main_window.h"
#include "tests/support/dialog_script.h"
#include "tests/support/scripted_prompts.h"

namespace mok::testing {
namespace {

class TransferDialogTest : public ::testing::Test {
 protected:
  QComboBox* Formats() { return List(dialog, "cboTrn"); }
  QComboBox* Charsets() { return List(dialog, "cboCS"); }
  QString Number() { return Control<QLabel>(dialog, "lblLid")->text(); }

  ScriptedPrompts prompts;
  TransferDialog dialog{prompts};
};

TEST_F(TransferDialogTest, FirstShowingAsksForAFormatAndALanguage) {
  dialog.nOpr = 0;
  ASSERT_TRUE(dialog.Form_Activate());
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Trans-LCID"));
  EXPECT_EQ(Control<QLabel>(dialog, "lblTrn")->text(), QStringLiteral("(传送格式-语文区号)"));
  QStringList formats;
  for (int i = 0; i < Formats()->count(); ++i) formats << Formats()->itemText(i);
  EXPECT_EQ(formats, (QStringList{"URL", "QP", "Base64", "Base64(*-)", "Base64(!-)", "Base64(_-)", "Base64(-_)",
                                  "Base64(._)", "Base64(.-)", "Base64(_:)"}));
  EXPECT_EQ(Formats()->currentIndex(), -1);
  EXPECT_EQ(Charsets()->count(), 15);
  EXPECT_EQ(Charsets()->currentIndex(), -1);
  EXPECT_TRUE(Number().isEmpty());
  EXPECT_FALSE(Formats()->isHidden());
  // The list of names stands over the joiner but for its hyphen.
  EXPECT_EQ(Charsets()->x(), TwipsToPixels(2980));
  EXPECT_EQ(Control<QLabel>(dialog, "lblDash")->text(), QStringLiteral("-   +半字"));

  Click(dialog, "cmdA_0");
  EXPECT_FALSE(dialog.bOk);
  Pick(dialog, "cboCS", u"GB");
  EXPECT_EQ(Number(), QStringLiteral("2052"));
  Click(dialog, "cmdA_0");
  EXPECT_FALSE(dialog.bOk);  // no format yet
  Pick(dialog, "cboTrn", u"QP");
  Click(dialog, "cmdA_0");
  EXPECT_TRUE(dialog.bOk);
  EXPECT_EQ(dialog.nTrn, 1);
  EXPECT_EQ(dialog.lLid, 2052);
  EXPECT_EQ(dialog.sSay, u"解读 QP-GB");

  // A format without a character set does nothing either.
  dialog.nOpr = 1;
  ASSERT_TRUE(dialog.Form_Activate());
  Click(dialog, "cmdA_0");
  EXPECT_FALSE(dialog.bOk);
}

TEST_F(TransferDialogTest, TheFormatStaysAndTheCharsetStaysWithItsKindOfList) {
  dialog.nOpr = 0;
  ASSERT_TRUE(dialog.Form_Activate());
  Pick(dialog, "cboTrn", u"Base64(_-)");
  Pick(dialog, "cboCS", u"Utf8");
  Click(dialog, "cmdA_0");
  EXPECT_EQ(dialog.sSay, u"解读 Base64(_-)-Utf8");
  EXPECT_EQ(dialog.nTrn, 5);

  // Language codes to code pages: the list is refilled, the format stays.
  dialog.nOpr = 1;
  ASSERT_TRUE(dialog.Form_Activate());
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Trans-CP"));
  EXPECT_EQ(Control<QLabel>(dialog, "lblTrn")->text(), QStringLiteral("(传送格式-代码页)"));
  EXPECT_EQ(Charsets()->count(), 41);
  EXPECT_EQ(Charsets()->currentIndex(), -1);
  EXPECT_TRUE(Number().isEmpty());
  EXPECT_EQ(Formats()->currentText(), QStringLiteral("Base64(_-)"));
  Pick(dialog, "cboCS", u"中文简(GBK)");
  Click(dialog, "cmdA_0");
  EXPECT_EQ(dialog.sSay, u"解读 Base64(_-)-中文简(GBK)");
  EXPECT_EQ(dialog.lLid, 936);

  // Code pages with a format to code pages alone: the pick stays, the format
  // list goes and the names take its place.
  dialog.nOpr = 2;
  ASSERT_TRUE(dialog.Form_Activate());
  EXPECT_FALSE(dialog.bOk);
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("CP+半字"));
  EXPECT_EQ(Control<QLabel>(dialog, "lblTrn")->text(), QStringLiteral("(代码页+半字)"));
  EXPECT_TRUE(Formats()->isHidden());
  EXPECT_EQ(Charsets()->x(), Formats()->x());
  EXPECT_EQ(Charsets()->currentText(), QStringLiteral("中文简(GBK)"));
  EXPECT_EQ(Number(), QStringLiteral("936"));
  Pick(dialog, "cboCS", u"中文繁(Big5)");
  Click(dialog, "cmdA_0");
  EXPECT_TRUE(dialog.bOk);
  EXPECT_EQ(dialog.sSay, u"中文繁(Big5)+半字");
  EXPECT_EQ(dialog.lLid, 950);
  EXPECT_EQ(dialog.nTrn, 5);  // left as it was

  // Back to a format: the list comes back at its own place, the pick stays.
  dialog.nOpr = 1;
  ASSERT_TRUE(dialog.Form_Activate());
  EXPECT_FALSE(Formats()->isHidden());
  EXPECT_EQ(Charsets()->x(), TwipsToPixels(2980));
  EXPECT_EQ(Charsets()->currentText(), QStringLiteral("中文繁(Big5)"));

  // Code pages to language codes: refilled, nothing picked.
  dialog.nOpr = 0;
  ASSERT_TRUE(dialog.Form_Activate());
  EXPECT_EQ(Charsets()->count(), 15);
  EXPECT_EQ(Charsets()->currentIndex(), -1);
  EXPECT_EQ(Formats()->currentText(), QStringLiteral("Base64(_-)"));
}

TEST_F(TransferDialogTest, AnInvalidModeSaysSoAndIsNotShown) {
  for (const std::int16_t mode : {3, -1}) {
    dialog.nOpr = mode;
    EXPECT_FALSE(dialog.Form_Activate());
    EXPECT_FALSE(dialog.bOk);
  }
  ASSERT_EQ(prompts.messages.size(), 2u);
  EXPECT_EQ(prompts.messages[1].text, u"此窗出错~ ");
  EXPECT_EQ(prompts.messages[1].buttons, MessageButtons::Ok);
  dialog.nOpr = 2;
  EXPECT_TRUE(dialog.Form_Activate());
  EXPECT_EQ(Charsets()->count(), 41);
}

TEST_F(TransferDialogTest, ShownForRealItAnswersEnterAndEscape) {
  dialog.nOpr = 2;
  RunForReal<TransferDialog>(dialog, [](TransferDialog& shown) {
    EXPECT_TRUE(shown.isModal());
    Click(shown, "cmdA_0");  // nothing picked: OK leaves it open
    EXPECT_TRUE(shown.isVisible());
    Pick(shown, "cboCS", u"日文(Shift-JIS)");
    QTest::keyClick(&shown, Qt::Key_Return);
  });
  EXPECT_TRUE(dialog.bOk);
  EXPECT_EQ(dialog.lLid, 932);
  EXPECT_EQ(dialog.sSay, u"日文(Shift-JIS)+半字");

  RunForReal<TransferDialog>(dialog, [](TransferDialog& shown) { QTest::keyClick(&shown, Qt::Key_Escape); });
  EXPECT_FALSE(dialog.bOk);
  RunForReal<TransferDialog>(dialog, [](TransferDialog& shown) { Click(shown, "cmdA_1"); });
  EXPECT_FALSE(dialog.bOk);
  EXPECT_FALSE(dialog.isVisible());
}

}  // namespace
}  // namespace mok::testing
