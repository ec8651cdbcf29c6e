#include "dialogs/suggest_dialog.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include "tests/support/read_as.h"
#include "tests/support/window_fixture.h"
#include "widgets/twips.h"

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

// 确定 Y and 取消 N, captions as the program's other dialogs write them.
TEST_F(SuggestDialogTest, TheButtonsHaveTheirAccessKeys) {
  const struct {
    const char* name;
    const char* caption;
    int key;
    bool ok;
  } buttons[] = {{"cmdA_0", "确定 &Y", Qt::Key_Y, true}, {"cmdA_1", "取消 &N", Qt::Key_N, false}};
  for (const auto& b : buttons) {
    SCOPED_TRACE(b.name);
    RunWhileShown(dialog, [&b](SuggestDialog& d) {
      auto* button = d.findChild<QPushButton*>(QString::fromLatin1(b.name));
      ASSERT_NE(button, nullptr);
      EXPECT_EQ(button->text(), QString::fromUtf8(b.caption));
      EXPECT_EQ(button->shortcut(), QKeySequence(Qt::ALT | b.key));
      d.ChooseRow(1);
      button->click();
    });
    EXPECT_EQ(dialog.bOk(), b.ok);
    EXPECT_EQ(dialog.nChosen(), 1);
  }
}

// At its default size the dialog is as wide as the main window, and the
// explanation of the chosen row wraps within it: nothing to scroll sideways.
TEST_F(SuggestDialogTest, FitsTheMainWindowsWidthAndWrapsTheExplanation) {
  RepairSuggestion long_row;
  long_row.text = u"repaired";
  long_row.steps = {{1252, 65001}, {1252, 65001}};
  long_row.passages = {};
  long_row.lost = 12;
  long_row.explanation = ExplainSteps(long_row.steps) + u"；有 12 处无法恢复";
  dialog.SetSuggestions({long_row, Rows().front()});
  RunWhileShown(dialog, [](SuggestDialog& d) {
    EXPECT_LE(d.width(), TwipsToPixels(11430));
    EXPECT_TRUE(d.Explanation()->wordWrap());
    EXPECT_EQ(d.Explanation()->text().toStdU16String(),
              u"原为 UTF-8 编码，被当作 西欧(Windows) 读出，再以 UTF-8 编码，被当作 西欧(Windows) 读出；有 12 处无法恢复");
    EXPECT_LE(d.Explanation()->geometry().right(), d.width());
    EXPECT_EQ(d.List()->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    // Choosing another row explains that one.
    d.ChooseRow(1);
    EXPECT_EQ(d.Explanation()->text(), QStringLiteral("原为 KSC 编码，被当作 GBK 读出"));
    d.Cancel();
  });
}

TEST_F(SuggestDialogTest, OkWithoutARowStaysOpen) {
  dialog.SetSuggestions({});
  dialog.Showing();
  EXPECT_EQ(dialog.nChosen(), -1);
  EXPECT_TRUE(dialog.Explanation()->text().isEmpty());
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
