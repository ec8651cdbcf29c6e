#include "dialogs/pair_dialog.h"

#include <QTest>

#include <tuple>

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
  // What the caller reads after the dialog closed: bOk, lLidA, lLidB, sSay.
  std::tuple<bool, std::int32_t, std::int32_t, Text> Result() {
    return {dialog.bOk, dialog.lLidA, dialog.lLidB, dialog.sSay};
  }
  void ShowIn(std::int16_t mode) {
    dialog.nOpr = mode;
    ASSERT_TRUE(dialog.Form_Activate());
  }

  ScriptedPrompts prompts;
  PairDialog dialog{prompts};
};

TEST_F(PairDialogTest, FirstShowingOffersTheLanguageNames) {
  ShowIn(0);
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
  }
  EXPECT_EQ(Control<QLabel>(dialog, "lblDash")->y(), Option(1)->y());
  // The design's places, 15 twips a pixel.
  EXPECT_EQ(List(dialog, "cboCS_1")->geometry(), QRect(302, 65, 167, 24));

  // OK with nothing picked, or with B still missing, does nothing.
  Click(dialog, "cmdA_0");
  EXPECT_FALSE(dialog.bOk);
  Pick(dialog, "cboCS_0", u"GB");
  EXPECT_EQ(Number(0)->text(), QStringLiteral("2052"));  // the disabled box shows the number
  Click(dialog, "cmdA_0");
  EXPECT_FALSE(dialog.bOk);
  Pick(dialog, "cboCS_1", u"Big5");
  EXPECT_EQ(Number(1)->text(), QStringLiteral("1028"));
  Click(dialog, "cmdA_0");
  EXPECT_EQ(Result(), std::tuple(true, 2052, 1028, Text(u"GB--Big5")));
  EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(PairDialogTest, NumbersAreTakenAsTypedAndAnythingElseKeepsItOpen) {
  ShowIn(1);
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
  EXPECT_EQ(Result(), std::tuple(true, 936, 950, Text(u"CP (936)--(950)")));

  // Not checked against the tables; a sign is part of the number.
  ShowIn(0);
  Option(0)->click();
  Type(dialog, "txtLid_0", QStringLiteral("-4"));
  Type(dialog, "txtLid_1", QStringLiteral("+9999999"));  // longer than the box: cut to 7
  Click(dialog, "cmdA_0");
  EXPECT_EQ(Result(), std::tuple(true, -4, 999999, Text(u"LCID (-4)--(999999)")));
}

TEST_F(PairDialogTest, EntriesStayWithinAModeAndResetWhenItChanges) {
  ShowIn(0);
  Pick(dialog, "cboCS_0", u"Big5");
  Pick(dialog, "cboCS_1", u"GB");
  Click(dialog, "cmdA_0");
  ASSERT_TRUE(dialog.bOk);

  ShowIn(0);  // the same mode again
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

  ShowIn(1);
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
  EXPECT_EQ(Result(), std::tuple(true, 936, 950, Text(u"中文简(GBK)--中文繁(Big5)")));
}

// Both parameter dialogs: a mode they lack says so and shows nothing.
TEST(ParameterDialogs, AnInvalidModeSaysSoAndIsNotShown) {
  ScriptedPrompts prompts;
  PairDialog pair{prompts};
  TransferDialog transfer{prompts};
  struct Case {
    ParameterDialog* dialog;
    std::int16_t beyond, valid;
    const char* list;
    int count;
  };
  for (const Case& c : {Case{&pair, 2, 0, "cboCS_0", 15}, Case{&transfer, 3, 2, "cboCS", 41}}) {
    SCOPED_TRACE(c.list);
    prompts.messages.clear();
    for (const std::int16_t mode : {c.beyond, std::int16_t{-1}}) {
      c.dialog->nOpr = mode;
      EXPECT_FALSE(c.dialog->Form_Activate());
      EXPECT_FALSE(c.dialog->bOk);
    }
    c.dialog->RunModal();  // its real showing returns at once, without a modal dialog
    EXPECT_EQ(prompts.Texts(), std::vector<std::u16string>(3, u"此窗出错~ "));
    EXPECT_EQ(prompts.messages[0].title, u"MOK");
    EXPECT_EQ(prompts.messages[0].buttons, MessageButtons::Ok);
    c.dialog->nOpr = c.valid;
    EXPECT_TRUE(c.dialog->Form_Activate());
    EXPECT_EQ(List(*c.dialog, c.list)->count(), c.count);
  }
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
  EXPECT_EQ(Result(), std::tuple(true, -1, -4, Text(u"LCID (-1)--(-4)")));
  EXPECT_FALSE(dialog.isVisible());

  RunForReal<PairDialog>(dialog, [](PairDialog& shown) {
    EXPECT_EQ(Control<QLineEdit>(shown, "txtLid_0")->text(), QStringLiteral("-1"));  // kept
    QTest::keyClick(&shown, Qt::Key_Escape);
  });
  EXPECT_FALSE(dialog.bOk);
  EXPECT_FALSE(dialog.isVisible());
}

}  // namespace
}  // namespace mok::testing
