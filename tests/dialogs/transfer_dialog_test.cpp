#include "dialogs/transfer_dialog.h"

#include <QFontMetrics>
#include <QLabel>
#include <QTest>

#include <tuple>

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
  QString Caption() { return Control<QLabel>(dialog, "lblTrn")->text(); }
  // What the caller reads after the dialog closed: bOk, nTrn, lLid, sSay.
  std::tuple<bool, std::int16_t, std::int32_t, Text> Result() {
    return {dialog.bOk, dialog.nTrn, dialog.lLid, dialog.sSay};
  }
  void ShowIn(std::int16_t mode) {
    dialog.nOpr = mode;
    ASSERT_TRUE(dialog.Form_Activate());
  }
  void PickAndConfirm(TextView charset) {
    Pick(dialog, "cboCS", charset);
    Click(dialog, "cmdA_0");
  }

  ScriptedPrompts prompts;
  TransferDialog dialog{prompts};
};

TEST_F(TransferDialogTest, FirstShowingAsksForAFormatAndALanguage) {
  ShowIn(0);
  EXPECT_EQ(Caption(), QStringLiteral("(传送格式-语文区号)"));
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

  // OK does nothing before both a character set and a format are picked.
  Click(dialog, "cmdA_0");
  EXPECT_FALSE(dialog.bOk);
  PickAndConfirm(u"GB");
  EXPECT_EQ(Number(), QStringLiteral("2052"));
  EXPECT_FALSE(dialog.bOk);
  Pick(dialog, "cboTrn", u"QP");
  Click(dialog, "cmdA_0");
  EXPECT_EQ(Result(), std::tuple(true, 1, 2052, Text(u"解读 QP-GB")));

  // A format without a character set does nothing either.
  ShowIn(1);
  Click(dialog, "cmdA_0");
  EXPECT_FALSE(dialog.bOk);
}

TEST_F(TransferDialogTest, TheFormatStaysAndTheCharsetStaysWithItsKindOfList) {
  ShowIn(0);
  Pick(dialog, "cboTrn", u"Base64(_-)");
  PickAndConfirm(u"Utf8");
  EXPECT_EQ(Result(), std::tuple(true, 5, -4, Text(u"解读 Base64(_-)-Utf8")));

  // Language codes to code pages: the list is refilled, the format stays.
  ShowIn(1);
  EXPECT_EQ(Caption(), QStringLiteral("(传送格式-代码页)"));
  EXPECT_EQ(Charsets()->count(), 41);
  EXPECT_EQ(Charsets()->currentIndex(), -1);
  EXPECT_TRUE(Number().isEmpty());
  EXPECT_EQ(Formats()->currentText(), QStringLiteral("Base64(_-)"));
  PickAndConfirm(u"中文简(GBK)");
  EXPECT_EQ(Result(), std::tuple(true, 5, 936, Text(u"解读 Base64(_-)-中文简(GBK)")));

  // Code pages with a format to code pages alone: the pick stays, the format
  // list goes and the names take its place.
  ShowIn(2);
  EXPECT_FALSE(dialog.bOk);
  EXPECT_EQ(Caption(), QStringLiteral("(代码页+半字)"));
  EXPECT_TRUE(Formats()->isHidden());
  EXPECT_EQ(Charsets()->x(), Formats()->x());
  EXPECT_EQ(Charsets()->currentText(), QStringLiteral("中文简(GBK)"));
  EXPECT_EQ(Number(), QStringLiteral("936"));
  PickAndConfirm(u"中文繁(Big5)");
  EXPECT_EQ(Result(), std::tuple(true, 5, 950, Text(u"中文繁(Big5)+半字")));  // nTrn left as it was

  // Back to a format: the list comes back at its own place, the pick stays.
  ShowIn(1);
  EXPECT_FALSE(Formats()->isHidden());
  EXPECT_EQ(Charsets()->x(), TwipsToPixels(2980));
  EXPECT_EQ(Charsets()->currentText(), QStringLiteral("中文繁(Big5)"));

  // Code pages to language codes: refilled, nothing picked.
  ShowIn(0);
  EXPECT_EQ(Charsets()->count(), 15);
  EXPECT_EQ(Charsets()->currentIndex(), -1);
  EXPECT_EQ(Formats()->currentText(), QStringLiteral("Base64(_-)"));
}

// The joiner reads "format - character set" in modes 0 and 1 and "character
// set +半字" in mode 2, each part whole: nothing of it lies half under a list,
// whatever the font's widths.
TEST_F(TransferDialogTest, TheJoinerShowsItsWholePartInEveryMode) {
  auto* joiner = Control<QLabel>(dialog, "lblDash");
  ASSERT_NE(joiner, nullptr);
  EXPECT_EQ(joiner->text(), QStringLiteral("-   +半字"));
  for (const std::int16_t mode : {0, 1, 2, 0}) {
    SCOPED_TRACE(mode);
    ShowIn(mode);
    const QFontMetrics metrics(joiner->font());
    const QRect label = joiner->geometry();
    const QRect charsets = Charsets()->geometry();
    if (mode != 2) {
      // The hyphen alone, in the gap between the lists.
      EXPECT_GT(label.left(), Formats()->geometry().right());
      EXPECT_LT(label.right(), charsets.left());
      EXPECT_GE(label.width(), metrics.horizontalAdvance(u'-'));
      EXPECT_LT(label.width(), metrics.horizontalAdvance(QStringLiteral("-   +")));
    } else {
      // "+半字" starts right of the list and ends inside the label and the dialog.
      const int plus = label.left() + metrics.horizontalAdvance(QStringLiteral("-   "));
      EXPECT_GT(plus, charsets.right());
      EXPECT_LE(plus - charsets.right(), metrics.horizontalAdvance(u' ') + 2);
      EXPECT_LE(label.left() + metrics.horizontalAdvance(joiner->text()), label.right() + 1);
      EXPECT_LE(label.right(), dialog.width());
    }
  }
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
  EXPECT_EQ(Result(), std::tuple(true, 0, 932, Text(u"日文(Shift-JIS)+半字")));

  RunForReal<TransferDialog>(dialog, [](TransferDialog& shown) { QTest::keyClick(&shown, Qt::Key_Escape); });
  EXPECT_FALSE(dialog.bOk);
  RunForReal<TransferDialog>(dialog, [](TransferDialog& shown) { Click(shown, "cmdA_1"); });
  EXPECT_FALSE(dialog.bOk);
  EXPECT_FALSE(dialog.isVisible());
}

}  // namespace
}  // namespace mok::testing
