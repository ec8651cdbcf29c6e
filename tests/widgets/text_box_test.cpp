#include "widgets/text_box.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QScrollBar>

#include <gtest/gtest.h>

#include "tests/support/window_fixture.h"

namespace mok::testing {
namespace {

TEST(TextBoxContract, TextComesBackExactly) {
  TextBox box;
  // Lone CR, lone LF, NUL, unpaired surrogates, BOM, other controls and the
  // characters the editor's document reserves for itself all survive.
  const Text tricky(u"a\rb\nc\r\nd\0e\xD800" u"f\xDC81g\uFEFFh\x01\x1F\x7F\uFDD0\uFFFC\u2028\u2029\xD83D\xDE00", 25);
  box.SetText(tricky);
  EXPECT_EQ(Hex(box.GetText()), Hex(tricky));
  EXPECT_EQ(box.TextLength(), 25);
  // Every code unit is one position, a CR LF pair is one.
  EXPECT_EQ(box.ScaleLength(), 24);
  EXPECT_EQ(box.document()->characterCount() - 1, 24);
}

TEST(TextBoxContract, SelectionCountsALineBreakAsOne) {
  TextBox box;
  box.SetText(u"ab\r\ncd\r\nef");
  box.SetSelStart(1);
  box.SetSelLength(4);  // b, line break, c, d
  EXPECT_EQ(box.SelStart(), 1);
  EXPECT_EQ(box.SelLength(), 4);
  EXPECT_EQ(box.SelText(), u"b\rcd");
  box.SetSelStart(100);  // clamped to the end
  EXPECT_EQ(box.SelStart(), 8);
  EXPECT_EQ(box.SelLength(), 0);
  box.SetSelStart(7);
  box.SetSelLength(50);
  EXPECT_EQ(box.SelLength(), 1);
}

TEST(TextBoxContract, ReplacingTheSelection) {
  TextBox box;
  box.SetText(u"ab\r\ncd");
  box.SetSelStart(1);
  box.SetSelLength(3);  // b, line break, c
  box.SetSelText(u"X\rY");
  // A CR given to the box is one of its line breaks: stored as CR LF.
  EXPECT_EQ(box.GetText(), u"aX\r\nYd");
  EXPECT_EQ(box.SelStart(), 4);  // caret after the insertion
  EXPECT_EQ(box.SelLength(), 0);

  // A line break is completed across the seam: CR before, LF inserted.
  box.SetText(u"a\rb");
  box.SetSelStart(2);
  box.SetSelLength(1);
  box.SetSelText(u"\nz");
  EXPECT_EQ(box.GetText(), u"a\r\nz");
  EXPECT_EQ(box.ScaleLength(), 3);
  EXPECT_EQ(box.document()->characterCount() - 1, 3);
}

// Inserted units that join a lone CR or LF of the text into one CR LF: the
// caret still lands right after what was inserted, and the selection of what
// was inserted never starts inside a line break.
TEST(TextBoxContract, TheCaretFollowsTheInsertedUnitsAcrossAJoinedLineBreak) {
  struct Case {
    Text text;
    std::int32_t start, length;
    Text units, result;
    std::int32_t caret;                             // after SetSelUnits(units)
    std::pair<std::int32_t, std::int32_t> selected;  // after SetSelUnits(units, true)
  };
  const Case cases[] = {
      {u"a\rZ", 2, 0, u"\nb", u"a\r\nbZ", 3, {2, 1}},   // LF after a lone CR
      {u"a\rZ", 2, 1, u"\nb", u"a\r\nb", 3, {2, 1}},    // in place of a selection
      {u"a\nZ", 1, 0, u"b\r", u"ab\r\nZ", 3, {1, 2}},   // CR before a lone LF
      {u"a\r\nZ", 2, 0, u"\nb", u"a\r\n\nbZ", 4, {2, 2}},  // nothing to join
      {u"aZ", 1, 0, u"\r\n\r", u"a\r\n\rZ", 3, {1, 2}},
      {u"a\rXZ\nb", 2, 2, u"", u"a\r\nb", 2, {2, 0}},  // a deletion joins them
  };
  for (const Case& c : cases) {
    for (const bool select : {false, true}) {
      SCOPED_TRACE(::testing::Message() << Hex(c.text) << " + " << Hex(c.units) << (select ? " selected" : ""));
      TextBox box;
      box.SetText(c.text);
      box.SetSelStart(c.start);
      box.SetSelLength(c.length);
      box.SetSelUnits(c.units, select);
      EXPECT_EQ(Hex(box.GetText()), Hex(c.result));
      EXPECT_EQ(box.ScaleLength(), box.document()->characterCount() - 1);
      const std::pair<std::int32_t, std::int32_t> expected = select ? c.selected : std::pair(c.caret, 0);
      EXPECT_EQ(std::pair(box.SelStart(), box.SelLength()), expected);
    }
  }
}

TEST(TextBoxContract, MaxLengthCountsALineBreakAsTwo) {
  TextBox box;
  box.SetMaxLength(10);
  box.SetText(u"12345678");
  box.SetSelStart(8);
  box.SetSelText(u"\r\nab");  // room for 2: the line break only
  EXPECT_EQ(box.GetText(), u"12345678\r\n");
  box.SetText(u"123456789");
  box.SetSelStart(9);
  box.SetSelText(u"\r\n");  // room for 1: half a line break is never inserted
  EXPECT_EQ(box.GetText(), u"123456789");
  box.SetSelText(u"\xD83D\xDE00");  // nor half a surrogate pair
  EXPECT_EQ(box.GetText(), u"123456789");
}

TEST(TextBoxContract, ReplacingTheSelectionCanSelectTheInsertedAndCountsStoredLineBreaks) {
  TextBox box;
  box.SetText(u"ab\r\ncd");
  box.SetSelStart(1);
  box.SetSelLength(3);
  box.SetSelText(u"X\rYZ", /*select_inserted=*/true);
  EXPECT_EQ(box.GetText(), u"aX\r\nYZd");
  EXPECT_EQ(box.SelStart(), 1);
  EXPECT_EQ(box.SelLength(), 4);
  EXPECT_EQ(box.SelText(), u"X\rYZ");

  box.SetText(u"ab\r\ncd");
  box.SetSelStart(1);
  box.SetSelLength(2);  // "b", the line break
  EXPECT_EQ(box.LengthWithSelectionReplaced(u"x"), 4u);
  EXPECT_EQ(box.LengthWithSelectionReplaced(u"x\ry\r\n"), 9u);  // each line break stored as CR LF
  box.SetMaxLength(5);
  box.SetSelText(u"x\ry\r\n");
  EXPECT_EQ(box.GetText(), u"axcd");  // what the check exists for: the rest was left out
}

TEST(TextBoxContract, CopyGivesTheTextNotTheView) {
  TextBox box;
  const Text text(u"a\r\nb\0c\rd", 8);
  box.SetText(text);
  box.selectAll();
  box.copy();
  const QString copied = QGuiApplication::clipboard()->text();
  EXPECT_EQ(Hex(T(copied)), Hex(text));
}

TEST(TextBoxContract, BothScrollBarsStayAndFollowTheText) {
  // The box does without Qt's re-layout after each change of a bar's range,
  // since both bars are always shown; they must still show and follow the text.
  TextBox box;
  box.resize(300, 200);
  box.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
  Text lines;
  for (int i = 0; i < 400; ++i) lines += u"line\r\n";
  box.SetText(lines);
  box.SetSelStart(box.ScaleLength());  // to the end: the view scrolls down
  QCoreApplication::processEvents();
  EXPECT_TRUE(box.horizontalScrollBar()->isVisible());
  EXPECT_TRUE(box.verticalScrollBar()->isVisible());
  EXPECT_GT(box.verticalScrollBar()->maximum(), 100);
  EXPECT_GT(box.verticalScrollBar()->value(), 100);
  EXPECT_TRUE(box.viewport()->rect().contains(box.cursorRect()));
  box.SetText(u"short");
  QCoreApplication::processEvents();
  EXPECT_TRUE(box.verticalScrollBar()->isVisible());
  EXPECT_EQ(box.verticalScrollBar()->maximum(), 0);
  // A resize still lays the bars out along the new edges.
  box.resize(400, 250);
  QCoreApplication::processEvents();
  EXPECT_EQ(box.verticalScrollBar()->parentWidget()->geometry().right(), box.width() - 1 - box.frameWidth());
}

TEST(TextBoxContract, LockedAndViewOptions) {
  TextBox box;
  EXPECT_TRUE(box.Locked());
  EXPECT_TRUE(box.isReadOnly());
  EXPECT_FALSE(box.isUndoRedoEnabled());
  box.SetWordWrap(false);
  EXPECT_FALSE(box.WordWrap());
  box.SetFontSize(10.5);
  EXPECT_DOUBLE_EQ(box.FontSize(), 10.5);
}

}  // namespace
}  // namespace mok::testing
