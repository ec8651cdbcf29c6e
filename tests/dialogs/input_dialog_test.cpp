#include "dialogs/input_dialog.h"

#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTextDocument>
#include <QTimer>

#include "tests/support/dialog_script.h"
#include "tests/support/window_fixture.h"

namespace mok::testing {
namespace {

class InputDialogTest : public ::testing::Test {
 protected:
  // Shows the dialog the way a caller does (its showing step runs).
  void Show(std::int16_t opr, TextView start) {
    dialog.nOpr = opr;
    dialog.sInp = Text(start);
    dialog.show();
  }
  QAction* Item(const QString& name) { return dialog.findChild<QMenuBar*>()->findChild<QAction*>(name); }

  ScriptedPrompts prompts;
  InputDialog dialog{prompts};
};

TEST_F(InputDialogTest, ALongStartingStringIsCutAndSelected) {
  Show(1, Text(350, u'k'));
  EXPECT_EQ(dialog.sInp, Text(300, u'k'));
  EXPECT_EQ(dialog.Box().GetText(), Text(300, u'k'));
  EXPECT_EQ(dialog.Box().SelLength(), 300);
  EXPECT_FALSE(dialog.bOk);
  // Never through a surrogate pair or a line break.
  for (const Text tail : {u"\xD83D\xDE00", u"\r\n"}) {
    dialog.hide();
    Show(2, Text(299, u'k') + tail);
    EXPECT_EQ(dialog.sInp.size(), 299u);
  }
}

TEST_F(InputDialogTest, OkReturnsTheTextAndItsLimitCountsALineBreakTwice) {
  Show(0, u"");
  QTest::keyClicks(&dialog.Box(), QString(299, QChar(u'w')));
  QTest::keyClick(&dialog.Box(), Qt::Key_Return);
  QTest::keyClicks(&dialog.Box(), QStringLiteral("more"));  // past 300 positions: refused
  EXPECT_EQ(dialog.Box().GetText(), Text(299, u'w') + u"\r\n");
  dialog.cmdA_Click(0);
  EXPECT_EQ(prompts.Texts(), std::vector<std::u16string>{u"字数 301  超出 1"});
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_FALSE(dialog.bOk);
  QTest::keyClick(&dialog.Box(), Qt::Key_Backspace);
  dialog.cmdA_Click(0);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_TRUE(dialog.bOk);
  EXPECT_EQ(dialog.sInp, Text(299, u'w'));
}

TEST_F(InputDialogTest, UnchangedTextComesBackExactlyButForNuls) {
  const Text start(u"a\rb\nc\0\xD800\r\n", 9);
  Show(2, start);
  dialog.cmdA_Click(0);
  EXPECT_EQ(Hex(dialog.sInp), Hex(Text(u"a\rb\nc \xD800\r\n", 9)));
  // Typing between untouched code units keeps them; Escape cancels.
  Show(2, start);
  dialog.Box().SetSelStart(2);
  QTest::keyClicks(&dialog.Box(), QStringLiteral("Z"));
  EXPECT_EQ(Hex(dialog.Box().GetText()), Hex(Text(u"a\rZb\nc \xD800\r\n", 10)));
  QTest::keyClick(&dialog.Box(), Qt::Key_Escape);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_FALSE(dialog.bOk);
  EXPECT_EQ(dialog.sInp, start);
}

TEST_F(InputDialogTest, DeletingBetweenALoneCrAndALoneLfJoinsThemIntoOneLineBreak) {
  Show(2, u"a\rX\nb");
  dialog.Box().SetSelStart(2);
  QTest::keyClick(&dialog.Box(), Qt::Key_Delete);
  QCoreApplication::processEvents();
  EXPECT_EQ(Hex(dialog.Box().GetText()), Hex(Text(u"a\r\nb")));
  EXPECT_EQ(dialog.Box().ScaleLength(), 3);
  EXPECT_EQ(dialog.Box().document()->characterCount() - 1, 3);
  QTest::keyClicks(&dialog.Box(), QStringLiteral("c"));
  EXPECT_EQ(dialog.Box().GetText(), u"a\r\ncb");
}

TEST_F(InputDialogTest, EmptyStartKeepsTheLastTextWhateverTheMode) {
  Show(1, u"left over");
  dialog.cmdA_Click(1);
  Show(0, u"");
  EXPECT_EQ(dialog.Box().GetText(), u"left over");
  EXPECT_EQ(dialog.Box().SelLength(), 9);
}

TEST_F(InputDialogTest, UndoTogglesBetweenTheLastTwoTexts) {
  Show(0, u"first");
  QTest::keyClicks(&dialog.Box(), QStringLiteral("second"));
  Item("mnuTog")->trigger();
  EXPECT_EQ(dialog.Box().GetText(), u"secon");
  Item("mnuTog")->trigger();
  EXPECT_EQ(dialog.Box().GetText(), u"second");
}

TEST_F(InputDialogTest, EditMenuEnablingAndItsCommands) {
  Show(0, u"ab");
  dialog.Box().SetSelStart(2);
  QGuiApplication::clipboard()->clear();
  emit dialog.EditMenu()->aboutToShow();
  for (const char* name : {"mnuEdit_1", "mnuEdit_2", "mnuCase_0", "mnuCase_3", "mnuIns_0", "mnuEdit_3"}) {
    EXPECT_FALSE(Item(name)->isEnabled()) << name;
  }
  for (const char* name : {"mnuTog", "mnuEdit_0", "mnuIns_1", "mnuIns_2"}) {
    EXPECT_TRUE(Item(name)->isEnabled()) << name;
  }
  // The right button opens the same menu with the same enabling.
  QTest::mouseClick(dialog.Box().viewport(), Qt::RightButton, Qt::NoModifier, QPoint(3, 3));
  EXPECT_TRUE(dialog.EditMenu()->isVisible());
  EXPECT_FALSE(Item("mnuEdit_2")->isEnabled());
  dialog.EditMenu()->close();

  Item("mnuEdit_0")->trigger();
  emit dialog.EditMenu()->aboutToShow();
  Item("mnuCase_0")->trigger();
  EXPECT_EQ(dialog.Box().GetText(), u"\uFF41\uFF42");
  EXPECT_EQ(dialog.Box().SelLength(), 2);
  Item("mnuEdit_1")->trigger();  // cut
  EXPECT_TRUE(dialog.Box().GetText().empty());
  emit dialog.EditMenu()->aboutToShow();
  Item("mnuEdit_3")->trigger();  // paste
  Item("mnuIns_1")->trigger();
  Item("mnuIns_2")->trigger();
  EXPECT_EQ(dialog.Box().GetText(), u"\uFF41\uFF42\t\r\n");

  // At 300 by TextLength a tab or line break in place of nothing beeps.
  dialog.Box().SetText(Text(300, u'x'));
  Item("mnuIns_1")->trigger();
  EXPECT_EQ(prompts.beeps, 1);
  EXPECT_EQ(dialog.Box().TextLength(), 300);

  Item("mnuHScr")->trigger();
  EXPECT_FALSE(dialog.Box().WordWrap());
}

TEST_F(InputDialogTest, PastingTakesWhatFitsExactly) {
  Show(0, Text(297, u'x'));
  dialog.Box().SetSelStart(297);
  QGuiApplication::clipboard()->setText(QString::fromUtf16(u"a\r\n\xD83D\xDE00z"));
  emit dialog.EditMenu()->aboutToShow();
  Item("mnuEdit_3")->trigger();
  // Room for three positions: a, the line break, and not half of the pair.
  EXPECT_EQ(Hex(dialog.Box().GetText().substr(297)), Hex(Text(u"a\r\n")));
  QTest::keyClick(&dialog.Box(), Qt::Key_V, Qt::ControlModifier);  // room for one more
  EXPECT_EQ(dialog.Box().ScaleLength(), 300);
  EXPECT_EQ(dialog.Box().GetText().back(), u'a');
}

TEST_F(InputDialogTest, AnUnknownModeIsAnErrorAndCloses) {
  Show(5, u"x");
  ASSERT_EQ(prompts.messages.size(), 1u);
  EXPECT_EQ(prompts.messages[0].text.substr(0, 6), u"此窗出错~ ");
  QCoreApplication::processEvents();
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_FALSE(dialog.bOk);
}

// The whole road through the real modal loop: F3 on a window with its own
// message boxes, the dialog driven from a queued call.
using InputDialogModal = WindowTest;

TEST_F(InputDialogModal, FindThroughTheRealDialog) {
  MainWindow window;
  window.show();
  window.Box().SetText(u"needle in a haystack: needle");
  QTimer::singleShot(0, [&] {
    auto* input = qobject_cast<InputDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(input, nullptr);
    QTest::keyClicks(&input->Box(), QStringLiteral("haystack"));
    QTest::mouseClick(input->findChild<QPushButton*>(QStringLiteral("cmdA_0")), Qt::LeftButton);
  });
  QTest::keyClick(&window.Box(), Qt::Key_F3);
  EXPECT_EQ(window.Box().SelStart(), 12);
  EXPECT_EQ(window.Box().SelLength(), 8);
  EXPECT_FALSE(window.frmInp().isVisible());
}

}  // namespace
}  // namespace mok::testing
