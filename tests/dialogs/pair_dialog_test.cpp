#include "dialogs/pair_dialog.h"

#include <QTest>

#include <gtest/gtest.h>

#include "app/main_window.h"
#include "tests/support/dialog_script.h"
#include "tests/support/scripted_prompts.h"

namespace mok::testing {
namespace {

class PairDialogTest : public ::testing::Test {
 protected:
  QStringList Items(const char* list) {
    QStringList items;
    QComboBox* combo = List(dialog, list);
    for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
    return items;
  }
  QLineEdit* Number(int side) { return Control<QLineEdit>(dialog, side == 0 ? "txtLid_0" : "txtLid_1"); }
  QRadioButton* Option(int index) { return Control<QRadioButton>(dialog, index == 0 ? "optTog_0" : "optTog_1"); }

  ScriptedPrompts prompts;
  PairDialog dialog{prompts};
};

TEST_F(PairDialogTest, FirstShowingOffersTheLanguageNames) {
  dialog.nOpr = 0;
  ASSERT_TRUE(dialog.Form_Activate());
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("LCID--LCID"));
  EXPECT_EQ(Option(0)->text(), QStringLiteral("语文区号(LCID)"));
  EXPECT_EQ(Option(1)->text(), QStringLiteral("语文名称"));
  EXPECT_TRUE(Option(1)->isChecked());
  const QStringList names = {"GB",   "Big5",     "日文",     "韩文",   "泰文", "越南文", "Eng", "希腊文",
                             "俄文", "阿拉伯文", "希伯莱文", "Latin1", "ULE",  "UBE",    "Utf8"};
  EXPECT_EQ(Items("cboCS_0"), names);
  EXPECT_EQ(Items("cboCS_1"), names);
  EXPECT_EQ(List(dialog, "cboCS_1")->itemData(14).toInt(), -4);
  for (int side = 0; side < 2; ++side) {
    EXPECT_EQ(List(dialog, side == 0 ? "cboCS_0" : "cboCS_1")->currentIndex(), -1);
    EXPECT_TRUE(Number(side)->text().isEmpty());
    EXPECT_FALSE(Number(side)->isEnabled());
    EXPECT_EQ(Number(side)->maxLength(), 7);
  }
  EXPECT_EQ(Control<QLabel>(dialog, "lblDash")->y(), Option(1)->y());
  // The design's places, 15 twips a pixel.
  EXPECT_EQ(List(dialog, "cboCS_1")->geometry(), QRect(302, 65, 167, 24));

  // OK with nothing picked does nothing.
  Click(dialog, "cmdA_0");
  EXPECT_FALSE(dialog.bOk);

  Pick(dialog, "cboCS_0", u"GB");
  EXPECT_EQ(Number(0)->text(), QStringLiteral("2052"));  // the disabled box shows the number
  Click(dialog, "cmdA_0");
  EXPECT_FALSE(dialog.bOk);  // B still missing
  Pick(dialog, "cboCS_1", u"Big5");
  EXPECT_EQ(Number(1)->text(), QStringLiteral("1028"));
  Click(dialog, "cmdA_0");
  EXPECT_TRUE(dialog.bOk);
  EXPECT_EQ(dialog.lLidA, 2052);
  EXPECT_EQ(dialog.lLidB, 1028);
  EXPECT_EQ(dialog.sSay, u"GB--Big5");
  EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(PairDialogTest, NumbersAreTakenAsTypedAndAnythingElseKeepsItOpen) {
  dialog.nOpr = 1;
  ASSERT_TRUE(dialog.Form_Activate());
  Option(0)->click();
  EXPECT_TRUE(Number(0)->isEnabled());
  EXPECT_FALSE(List(dialog, "cboCS_0")->isEnabled());
  EXPECT_EQ(Control<QLabel>(dialog, "lblDash")->y(), Option(0)->y());

  struct Case {
    const char* a;
    const char* b;
  };
  for (const Case& bad : {Case{"", "950"}, Case{"936", ""}, Case{"abc", "950"}, Case{"93 6", "950"}, Case{"0x3A8", "1"},
                          Case{"936", "+-1"}}) {
    Type(dialog, "txtLid_0", QString::fromLatin1(bad.a));
    Type(dialog, "txtLid_1", QString::fromLatin1(bad.b));
    Click(dialog, "cmdA_0");
    EXPECT_FALSE(dialog.bOk) << bad.a << " " << bad.b;
  }
  Type(dialog, "txtLid_0", QStringLiteral(" 936"));
  Type(dialog, "txtLid_1", QStringLiteral("950 "));
  Click(dialog, "cmdA_0");
  ASSERT_TRUE(dialog.bOk);
  EXPECT_EQ(dialog.lLidA, 936);
  EXPECT_EQ(dialog.lLidB, 950);
  EXPECT_EQ(dialog.sSay, u"CP (936)--(950)");

  // Not checked against the tables; a sign is part of the number.
  dialog.nOpr = 0;
  ASSERT_TRUE(dialog.Form_Activate());
  Option(0)->click();
  Type(dialog, "txtLid_0", QStringLiteral("-4"));
  Type(dialog, "txtLid_1", QStringLiteral("+9999999"));  // longer than the box: cut to 7
  Click(dialog, "cmdA_0");
  ASSERT_TRUE(dialog.bOk);
  EXPECT_EQ(dialog.lLidA, -4);
  EXPECT_EQ(dialog.lLidB, 999999);
  EXPECT_EQ(dialog.sSay, u"LCID (-4)--(999999)");
}

TEST_F(PairDialogTest, EntriesStayWithinAModeAndResetWhenItChanges) {
  dialog.nOpr = 0;
  ASSERT_TRUE(dialog.Form_Activate());
  Pick(dialog, "cboCS_0", u"Big5");
  Pick(dialog, "cboCS_1", u"GB");
  Click(dialog, "cmdA_0");
  ASSERT_TRUE(dialog.bOk);

  ASSERT_TRUE(dialog.Form_Activate());  // the same mode again
  EXPECT_FALSE(dialog.bOk);
  EXPECT_EQ(List(dialog, "cboCS_0")->currentText(), QStringLiteral("Big5"));
  EXPECT_EQ(Number(1)->text(), QStringLiteral("2052"));

  // Switching to numbers starts from the picked ones, with the picks cleared.
  Option(0)->click();
  EXPECT_EQ(Number(0)->text(), QStringLiteral("1028"));
  EXPECT_EQ(List(dialog, "cboCS_0")->currentIndex(), -1);
  EXPECT_EQ(List(dialog, "cboCS_1")->currentIndex(), -1);
  Click(dialog, "cmdA_0");
  EXPECT_EQ(dialog.sSay, u"LCID (1028)--(2052)");

  dialog.nOpr = 1;
  ASSERT_TRUE(dialog.Form_Activate());
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("CP--CP"));
  EXPECT_EQ(Option(0)->text(), QStringLiteral("代码页(CP)"));
  EXPECT_EQ(Option(1)->text(), QStringLiteral("代码页名"));
  EXPECT_TRUE(Option(1)->isChecked());
  EXPECT_EQ(List(dialog, "cboCS_0")->count(), 41);
  EXPECT_EQ(List(dialog, "cboCS_1")->itemText(40), QStringLiteral("Unicode(UTF-8)"));
  EXPECT_EQ(List(dialog, "cboCS_1")->currentIndex(), -1);
  EXPECT_TRUE(Number(0)->text().isEmpty());
  EXPECT_TRUE(Number(1)->text().isEmpty());
  Pick(dialog, "cboCS_0", u"中文简(GBK)");
  Pick(dialog, "cboCS_1", u"中文繁(Big5)");
  Click(dialog, "cmdA_0");
  EXPECT_EQ(dialog.sSay, u"中文简(GBK)--中文繁(Big5)");
  EXPECT_EQ(dialog.lLidB, 950);
}

TEST_F(PairDialogTest, AnInvalidModeSaysSoAndIsNotShown) {
  for (const std::int16_t mode : {2, -1}) {
    dialog.nOpr = mode;
    EXPECT_FALSE(dialog.Form_Activate());
    EXPECT_FALSE(dialog.bOk);
  }
  ASSERT_EQ(prompts.messages.size(), 2u);
  EXPECT_EQ(prompts.messages[0].text, u"此窗出错~ ");
  EXPECT_EQ(prompts.messages[0].title, u"MOK");
  // Its real showing returns at once, without a modal dialog.
  dialog.RunModal();
  EXPECT_EQ(prompts.messages.size(), 3u);
  dialog.nOpr = 0;
  EXPECT_TRUE(dialog.Form_Activate());
  EXPECT_EQ(List(dialog, "cboCS_0")->count(), 15);
}

TEST_F(PairDialogTest, ShownForRealItAnswersOkEnterAndEscape) {
  dialog.nOpr = 0;
  RunForReal<PairDialog>(dialog, [](PairDialog& shown) {
    Pick(shown, "cboCS_0", u"Eng");
    Pick(shown, "cboCS_1", u"Utf8");
    // Entry by number: the focus lands in the first box with its number selected.
    Control<QRadioButton>(shown, "optTog_0")->click();
    auto* first = Control<QLineEdit>(shown, "txtLid_0");
    EXPECT_TRUE(first->hasFocus());
    EXPECT_EQ(first->selectedText(), QStringLiteral("1033"));
    QTest::keyClicks(first, QStringLiteral("-1"));  // typing replaces the number
    QTest::keyClick(first, Qt::Key_Return);         // the default button
  });
  EXPECT_TRUE(dialog.bOk);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.lLidA, -1);
  EXPECT_EQ(dialog.lLidB, -4);
  EXPECT_EQ(dialog.sSay, u"LCID (-1)--(-4)");

  RunForReal<PairDialog>(dialog, [](PairDialog& shown) {
    EXPECT_EQ(Control<QLineEdit>(shown, "txtLid_0")->text(), QStringLiteral("-1"));  // kept
    QTest::keyClick(&shown, Qt::Key_Escape);
  });
  EXPECT_FALSE(dialog.bOk);
  EXPECT_FALSE(dialog.isVisible());
}

}  // namespace
}  // namespace mok::testing
