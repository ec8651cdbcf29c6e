#include "dialogs/suggest_dialog.h"

#include <QApplication>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include "tests/support/read_as.h"
#include "tests/support/window_fixture.h"

namespace mok::testing {
namespace {

std::vector<RepairSuggestion> Rows() {
  return SuggestRepairs(ReadAs(u"한국어로 된 설명서입니다", 949, 936));
}

// Runs the dialog modally as the program does and acts on it once it is up.
void RunWhileShown(SuggestDialog& dialog, std::function<void(SuggestDialog&)> act) {
  QMetaObject::invokeMethod(
      qApp,
      [&dialog, act = std::move(act)] {
        EXPECT_EQ(QApplication::activeModalWidget(), &dialog);
        act(dialog);
        if (dialog.isVisible()) {
          ADD_FAILURE() << "the dialog is still open";
          dialog.Cancel();
        }
      },
      Qt::QueuedConnection);
  dialog.RunModal();
}

QPoint CenterOfRow(SuggestDialog& dialog, int row) {
  return dialog.List()->visualItemRect(dialog.List()->topLevelItem(row)).center();
}

class SuggestDialogTest : public ::testing::Test {
 protected:
  void SetUp() override { dialog.SetSuggestions(Rows()); }
  SuggestDialog dialog;
};

TEST_F(SuggestDialogTest, DoubleClickOrEnterConfirmsTheRowReached) {
  RunWhileShown(dialog, [](SuggestDialog& d) {
    EXPECT_EQ(d.nChosen(), 0);
    const QPoint at = CenterOfRow(d, 1);
    QTest::mouseClick(d.List()->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(d.List()->viewport(), Qt::LeftButton, {}, at);
  });
  EXPECT_TRUE(dialog.bOk());
  EXPECT_EQ(dialog.nChosen(), 1);
  EXPECT_FALSE(dialog.isVisible());

  RunWhileShown(dialog, [](SuggestDialog& d) {
    QTest::keyClick(d.List(), Qt::Key_Down);
    QTest::keyClick(d.List(), Qt::Key_Down);
    QTest::keyClick(d.List(), Qt::Key_Return);
  });
  EXPECT_TRUE(dialog.bOk());
  EXPECT_EQ(dialog.nChosen(), 2);
}

TEST_F(SuggestDialogTest, EscapeCancelsAndShowingAgainStartsFromTheBestRow) {
  RunWhileShown(dialog, [](SuggestDialog& d) {
    d.ChooseRow(3);
    QTest::keyClick(d.List(), Qt::Key_Escape);
  });
  EXPECT_FALSE(dialog.bOk());
  RunWhileShown(dialog, [](SuggestDialog& d) {
    EXPECT_EQ(d.nChosen(), 0);
    EXPECT_FALSE(d.bOk());
    d.Ok();
  });
  EXPECT_TRUE(dialog.bOk());
  EXPECT_EQ(dialog.nChosen(), 0);
}

TEST_F(SuggestDialogTest, OkWithoutARowStaysOpen) {
  dialog.SetSuggestions({});
  dialog.Showing();
  EXPECT_EQ(dialog.nChosen(), -1);
  dialog.ChooseRow(7);
  dialog.Ok();
  EXPECT_FALSE(dialog.bOk());
}

TEST(SuggestionPreview, IsOneShortLine) {
  EXPECT_EQ(PreviewLine(u"ab\r\ncd\ne\rf"), u"ab\u21B5cd\u21B5e\u21B5f");
  EXPECT_EQ(PreviewLine(u"abcdef", 3), u"abc\u2026");
  EXPECT_EQ(PreviewLine(u"abc", 3), u"abc");
  EXPECT_EQ(PreviewLine(u"a\xD83D\xDE00", 2), u"a\u2026");  // never half a pair
}

}  // namespace
}  // namespace mok::testing
