#include "commands/find_replace.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QPushButton>

#include "tests/support/dialog_script.h"
#include "tests/support/window_fixture.h"

namespace mok::testing {
namespace {

using namespace std::string_literals;

using FindTest = WindowTest;

TEST_F(FindTest, ButtonsAndKeysSearchFromTheSelection) {
  box().SetText(u"aXa");
  Key(Qt::Key_F2);  // no search string yet: a beep
  EXPECT_EQ(prompts->beeps, 1);
  EXPECT_EQ(Selection(), std::pair(0, 0));
  Select(2, 1);
  Key(Qt::Key_F1);  // backward: the selection a becomes the search string
  EXPECT_EQ(Selection(), std::pair(0, 1));
  EXPECT_EQ(Say(), u"位于 0  选取 1\r\n[a] UBE= 0061  GBK= 61");
  Select(2, 1);
  window->SeekButton(1)->click();  // forward from the last a: nothing
  EXPECT_EQ(prompts->beeps, 2);
  EXPECT_EQ(Selection(), std::pair(2, 1));

  box().SetSelStart(0);
  Key(Qt::Key_F1, Qt::ShiftModifier);  // backward from the start beeps without searching
  EXPECT_EQ(prompts->beeps, 3);
  // Shift and Ctrl+Shift with F1 search backward too; only Ctrl alone moves the caret.
  box().SetSelStart(3);
  Key(Qt::Key_F1, Qt::ShiftModifier | Qt::ControlModifier);
  EXPECT_EQ(Selection(), std::pair(2, 1));
  Key(Qt::Key_F1, Qt::ShiftModifier);
  EXPECT_EQ(Selection(), std::pair(0, 1));
}

TEST_F(FindTest, FindAsksForTheStringAndStartsAtTheTop) {
  box().SetText(u"aaa");
  box().SetSelStart(2);
  prompts->OnNextDialog(TypeAndConfirm(QStringLiteral("aa"), QStringLiteral("查找字串（限300字）")));
  Key(Qt::Key_F3);
  EXPECT_EQ(prompts->dialogs_shown, std::vector<std::u16string>{u"frmInp"});
  EXPECT_EQ(Selection(), std::pair(0, 2));
  Key(Qt::Key_F2);  // the next find starts after the selection: nothing
  EXPECT_EQ(prompts->beeps, 1);
  EXPECT_EQ(Selection(), std::pair(0, 2));

  // Case-sensitive; a cancelled or empty find keeps the search string.
  box().SetText(u"abA");
  prompts->OnNextDialog(TypeAndConfirm(QStringLiteral("A")));
  Trigger("mnuSeekNew");
  EXPECT_EQ(Selection(), std::pair(2, 1));
  prompts->OnNextDialog(OnInput([](InputDialog& input) {
    EXPECT_EQ(input.Box().GetText(), u"A");  // the current search string is proposed
    QTest::keyClicks(&input.Box(), QStringLiteral("b"));
    input.cmdA_Click(1);
  }));
  Key(Qt::Key_F3);
  prompts->OnNextDialog(ClearAndConfirm());
  Key(Qt::Key_F3);
  box().SetSelStart(0);
  Key(Qt::Key_F2);
  EXPECT_EQ(Selection(), std::pair(2, 1));
}

TEST_F(FindTest, AStringWithALineBreakMatchesAcrossOne) {
  box().SetText(u"x\r\ny\r\nx\r\ny");
  prompts->OnNextDialog(OnInput([](InputDialog& input) {
    QTest::keyClicks(&input.Box(), QStringLiteral("x"));
    QTest::keyClick(&input.Box(), Qt::Key_Return);
    QTest::keyClicks(&input.Box(), QStringLiteral("y"));
    input.cmdA_Click(0);
  }));
  Key(Qt::Key_F3);
  EXPECT_EQ(Selection(), std::pair(0, 3));
  Key(Qt::Key_F2);
  EXPECT_EQ(Selection(), std::pair(4, 3));
  EXPECT_EQ(box().SelText(), u"x\ry");
}

// A find string typed with Enter holds CR LF, one pasted from a Linux program
// LF: either finds a line break of every kind, and selects it whole.
TEST_F(FindTest, ALineBreakOfTheFindStringMatchesEveryKindOfBreak) {
  const Text texts[] = {u"xa\nAy", u"xa\r\nAy", u"xa\rAy"};
  for (const Text& text : texts) {
    for (const bool typed : {true, false}) {
      SCOPED_TRACE(::testing::Message() << Hex(text) << (typed ? " typed" : " pasted"));
      box().SetText(text);
      QGuiApplication::clipboard()->setText(QStringLiteral("a\nA"));
      prompts->OnNextDialog(OnInput([typed](InputDialog& input) {
        input.mnuEdit_Click(0);
        if (typed) {
          QTest::keyClicks(&input.Box(), QStringLiteral("a"));
          QTest::keyClick(&input.Box(), Qt::Key_Return);
          QTest::keyClicks(&input.Box(), QStringLiteral("A"));
          EXPECT_EQ(input.Box().GetText(), u"a\r\nA");
        } else {
          input.mnuEdit_Click(3);
          EXPECT_EQ(input.Box().GetText(), u"a\nA");
        }
        input.cmdA_Click(0);
      }));
      Key(Qt::Key_F3);
      EXPECT_EQ(Selection(), std::pair(1, 3));
      EXPECT_EQ(Hex(box().SelUnits()), Hex(text.substr(1, text.size() - 2)));
      EXPECT_EQ(box().GetText(), text);  // the text keeps its own break
      EXPECT_EQ(prompts->beeps, 0);
    }
  }
}

TEST_F(FindTest, ASelectedLineBreakFindsTheNextOfAnyKind) {
  box().SetText(u"a\nb\r\nc\rd");
  Select(1, 1);  // the lone LF
  Key(Qt::Key_F2);
  EXPECT_EQ(Selection(), std::pair(3, 1));
  EXPECT_EQ(box().SelUnits(), u"\r\n");
  Key(Qt::Key_F2);
  EXPECT_EQ(Selection(), std::pair(5, 1));
  Key(Qt::Key_F1);
  EXPECT_EQ(Selection(), std::pair(3, 1));
  Key(Qt::Key_F1);
  EXPECT_EQ(Selection(), std::pair(1, 1));
  Key(Qt::Key_F1);  // nothing before it
  EXPECT_EQ(prompts->beeps, 1);
}

TEST_F(FindTest, ReplaceChangesEveryOccurrenceAsOneState) {
  StartWith(u"one two one three one");
  Select(18, 3);  // the last "one"
  prompts->OnNextDialog(OnInput([this](InputDialog& input) {
    EXPECT_EQ(input.windowTitle(), QStringLiteral("替换字串（限300字）"));
    EXPECT_EQ(input.Box().GetText(), u"one");
    EXPECT_EQ(input.Box().SelLength(), 3);
    // Behind the dialog the first occurrence is selected.
    EXPECT_EQ(box().SelStart(), 0);
    QTest::keyClicks(&input.Box(), QStringLiteral("1"));
    input.cmdA_Click(0);
  }));
  Key(Qt::Key_F4);
  EXPECT_EQ(box().GetText(), u"1 two 1 three 1");
  EXPECT_EQ(Selection(), std::pair(0, 1));
  EXPECT_EQ(Say(), u"字串替换");
  Key(Qt::Key_F5);
  EXPECT_EQ(box().GetText(), u"one two one three one");
}

TEST_F(FindTest, ReplaceWithTheSameStringOrNothingSelected) {
  box().SetText(u"ab ab");
  Key(Qt::Key_F4);  // nothing selected: nothing at all
  EXPECT_TRUE(prompts->dialogs_shown.empty());
  Select(3, 2);
  prompts->OnNextDialog(TypeAndConfirm({}));
  Trigger("mnuReplace");
  EXPECT_EQ(Say(), u"新旧字串相同");
  EXPECT_EQ(prompts->beeps, 1);
  EXPECT_EQ(Selection(), std::pair(0, 2));
  EXPECT_EQ(box().GetText(), u"ab ab");

  // An empty replacement deletes every occurrence; the caret stands where the first was.
  prompts->OnNextDialog(ClearAndConfirm());
  Key(Qt::Key_F4);
  EXPECT_EQ(box().GetText(), u" ");
  EXPECT_EQ(Selection(), std::pair(0, 0));
}

TEST_F(FindTest, ReplaceUpToTheLimit) {
  const Text start = Text(15998, u'.') + u"ab";  // 16000
  box().SetText(start);
  Select(15998, 2);
  prompts->OnNextDialog(TypeAndConfirm(QStringLiteral("abc")));
  Key(Qt::Key_F4);
  EXPECT_EQ(prompts->Texts(), std::vector<std::u16string>{u"替换 未成~ 结果文本过长"});
  EXPECT_EQ(box().GetText(), start);
  EXPECT_EQ(Selection(), std::pair(15998, 2));

  box().SetText(Text(15997, u'.') + u"ab");
  Select(15997, 2);
  prompts->OnNextDialog(TypeAndConfirm(QStringLiteral("abc")));
  Key(Qt::Key_F4);
  EXPECT_EQ(box().TextLength(), 16000);
  EXPECT_EQ(Say(), u"字串替换");
}

TEST_F(FindTest, ReplaceKeepsCodeUnitsItDoesNotChange) {
  // Lone CR, lone LF, NUL and unpaired surrogates around the occurrences stay;
  // a selection holding a lone CR matches every kind of line break, whole.
  const Text start = u"\rab\n\xD800" u"ab\0a\rb|a\r\nb|a\nb"s;
  box().SetText(start);
  Select(1, 2);
  prompts->OnNextDialog(TypeAndConfirm(QStringLiteral("X")));
  Key(Qt::Key_F4);
  EXPECT_EQ(Hex(box().GetText()), Hex(u"\rX\n\xD800X\0a\rb|a\r\nb|a\nb"s));
  Select(6, 3);  // a, lone CR, b
  EXPECT_EQ(box().SelText(), u"a\rb");
  prompts->OnNextDialog(TypeAndConfirm(QStringLiteral("Y")));
  Key(Qt::Key_F4);
  EXPECT_EQ(Hex(box().GetText()), Hex(u"\rX\n\xD800X\0Y|Y|Y"s));
  EXPECT_EQ(Selection(), std::pair(6, 1));
}

TEST_F(FindTest, ReplaceOfASelectionLongerThanTheDialogHoldsIsRefused) {
  // 298 letters and a line break: 300 as the dialog counts, offered whole.
  const Text fits = Text(298, u'x') + u"\r\n";
  box().SetText(u"ab" + fits + u"|" + fits);
  Select(2, 299);
  prompts->OnNextDialog(OnInput([&fits](InputDialog& input) {
    EXPECT_EQ(input.Box().GetText(), fits);
    input.cmdA_Click(0);
  }));
  Key(Qt::Key_F4);
  EXPECT_EQ(Say(), u"新旧字串相同");
  EXPECT_TRUE(prompts->messages.empty());

  // One more: 301 as the dialog counts. Nothing is asked, nothing moves, and
  // no occurrence is cut to the dialog's 300.
  const Text longer = Text(299, u'x') + u"\r\n";
  const Text start = u"ab" + longer + u"|" + longer;
  StartWith(start);
  Select(303, 300);  // the second occurrence
  Key(Qt::Key_F4);
  EXPECT_EQ(prompts->Texts(), std::vector<std::u16string>{u"替换 未成~ 选取文本过长"});
  EXPECT_EQ(prompts->messages[0].buttons, MessageButtons::Ok);
  EXPECT_EQ(prompts->dialogs_shown.size(), 1u);  // only the first replace showed it
  EXPECT_EQ(box().GetText(), start);
  EXPECT_EQ(Selection(), std::pair(303, 300));
  EXPECT_EQ(Say(), u"start");
  EXPECT_FALSE(window->History().CanGoBack());
}

TEST(ReplaceAll, ScansLeftToRightWithoutOverlapOrSplittingALineBreak) {
  struct Case {
    Text text, old, fresh, replaced;
    std::size_t first;
  };
  const std::size_t none = TextView::npos;
  const Case cases[] = {
      {u"aaaaa", u"aa", u"b", u"bba", 0},
      {u"xyz", u"q", u"b", u"xyz", none},
      // A line break of the string matches CR LF, a lone CR and a lone LF, each whole.
      {u"a\r\nb\nc\rd", u"\n", u"-", u"a-b-c-d", 1},
      {u"a\r\nb\rc", u"a\r", u"-", u"-b\rc", 0},
      {u"x\ny\r\nx\ry|x\r\ny", u"x\r\ny", u"Z", u"Z\r\nZ|Z", 0},
      // A CR LF is one line break, a lone CR before it another.
      {u"\r\r\n\n\r", u"\r\n", u"-", u"----", 0},
      {u"\r\r\n\n\r", u"\n\r", u"+", u"++", 0},
      // What lies between the occurrences keeps its own breaks.
      {u"k\rv\nk\r\nv", u"v", u"w", u"k\rw\nk\r\nw", 2},
  };
  for (const Case& c : cases) {
    std::size_t first = 0;
    EXPECT_EQ(Hex(ReplaceAll(c.text, c.old, c.fresh, first)), Hex(c.replaced)) << Hex(c.text) << " / " << Hex(c.old);
    EXPECT_EQ(first, c.first) << Hex(c.text) << " / " << Hex(c.old);
  }
  std::size_t first = 0;
  // Linear: 2000 occurrences in 16000 characters in one pass.
  Text many;
  for (int i = 0; i < 2000; ++i) many += u"abcdefgh";
  const Text replaced = ReplaceAll(many, u"cd", u"XYZ", first);
  EXPECT_EQ(replaced.size(), 18000u);
  EXPECT_EQ(replaced.substr(0, 9), u"abXYZefgh");
}

}  // namespace
}  // namespace mok::testing
