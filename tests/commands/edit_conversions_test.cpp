#include "commands/edit_conversions.h"

#include "tests/support/dialog_script.h"
#include "tests/support/window_fixture.h"

namespace mok::testing {
namespace {

using EditConversionTest = WindowTest;

TEST_F(EditConversionTest, WidthAndScriptOfTheSelectionStaySelected) {
  box().SetText(u"<ab\u570B>");
  Select(1, 3);
  Trigger("mnuCase_0");
  EXPECT_EQ(box().GetText(), u"<\uFF41\uFF42\u570B>");
  EXPECT_EQ(Say(), u"转全角");
  EXPECT_EQ(Selection(), std::pair(1, 3));
  Trigger("mnuCase_2");
  EXPECT_EQ(box().GetText(), u"<\uFF41\uFF42\u56FD>");
  EXPECT_EQ(Say(), u"转简体");
  Trigger("mnuCase_3");
  EXPECT_EQ(Say(), u"转繁体");
  Trigger("mnuCase_1");
  EXPECT_EQ(box().GetText(), u"<ab\u570B>");
  EXPECT_EQ(Say(), u"转半角");
  // Half width of what is already half width: the same text, no new state.
  const std::int16_t before = window->History().nCur();
  Trigger("mnuCase_1");
  EXPECT_EQ(Say(), u"经过改动，仍然相同");
  EXPECT_EQ(window->History().nCur(), before);
}

TEST_F(EditConversionTest, NulsBecomeSpacesAndLoneLineBreaksStay) {
  box().SetText(Text(u"x\0a\rb\nc\r\nd\xD800", 11));
  Select(1, 9);
  Trigger("mnuCase_0");
  EXPECT_EQ(Hex(box().GetText()), Hex(Text(u"x\u3000\uFF41\r\uFF42\n\uFF43\r\n\uFF44\xD800", 11)));
  EXPECT_EQ(box().SelLength(), 9);
}

TEST_F(EditConversionTest, HalfWidthThatGrowsPastTheLimitIsRefused) {
  // Each katakana with a sound mark splits into two half-width characters.
  const Text start = Text(15997, u'.') + u"\u30AC\u30AC";
  box().SetText(start);
  Select(15997, 2);
  Trigger("mnuCase_1");
  EXPECT_EQ(prompts->Texts(), std::vector<std::u16string>{u"转半角 未成~ 文本过长"});
  EXPECT_EQ(box().GetText(), start);
  Select(15997, 1);
  Trigger("mnuCase_1");  // one split: exactly 16000
  EXPECT_EQ(box().TextLength(), 16000);
  EXPECT_EQ(box().SelLength(), 2);
}

TEST_F(EditConversionTest, ConversionAndDeleteNeedASelection) {
  StartWith(u"abc");
  Trigger("mnuCase_0");
  EXPECT_EQ(Say(), u"未经改动");
  EXPECT_EQ(prompts->beeps, 1);
  Key(Qt::Key_Delete);
  EXPECT_EQ(box().GetText(), u"abc");
  EXPECT_EQ(window->History().nCur(), TextHistory::kOriginal);
  Select(1, 1);
  Key(Qt::Key_Delete, Qt::ShiftModifier);  // Shift+Del deletes too; only Ctrl alone is a space
  EXPECT_EQ(box().GetText(), u"ac");
  EXPECT_EQ(Say(), u"删除");
  EXPECT_EQ(box().SelStart(), 1);
}

TEST_F(EditConversionTest, SpaceTabAndLineBreakAtTheLimit) {
  box().SetText(Text(15998, u'.') + u"ab");  // 16000
  box().SetSelStart(3);
  Key(Qt::Key_Delete, Qt::ControlModifier);
  Key(Qt::Key_F11);
  Key(Qt::Key_F12);
  EXPECT_EQ(prompts->beeps, 3);
  EXPECT_EQ(box().TextLength(), 16000);

  Select(15998, 1);
  Key(Qt::Key_Delete, Qt::ControlModifier);
  EXPECT_EQ(box().GetText().substr(15998), u" b");
  EXPECT_EQ(Say(), u"空格");
  EXPECT_EQ(Selection(), std::pair(15999, 0));
  Select(15999, 1);
  Key(Qt::Key_F11);
  EXPECT_EQ(box().GetText().substr(15998), u" \t");
  EXPECT_EQ(Say(), u"跳格");
  Select(15999, 1);
  Key(Qt::Key_F12);  // a line break is two: it still does not fit
  EXPECT_EQ(prompts->beeps, 4);

  box().SetText(u"ab");
  box().SetSelStart(1);
  Trigger("mnuIns_4");
  EXPECT_EQ(box().GetText(), u"a\r\nb");
  EXPECT_EQ(Say(), u"换行");
  EXPECT_EQ(box().SelStart(), 2);
}

TEST_F(EditConversionTest, InsertAsksForTheStringAndChecksTheLimit) {
  box().SetText(Text(15997, u'.'));
  box().SetSelStart(15997);
  prompts->OnNextDialog(TypeAndConfirm(QStringLiteral("xyz"), QStringLiteral("插入字串（限300字）")));
  Key(Qt::Key_Insert);
  EXPECT_EQ(box().TextLength(), 16000);
  EXPECT_EQ(Say(), u"插入");
  EXPECT_EQ(Selection(), std::pair(16000, 0));

  // The dialog proposes what it held last time; one more character is refused.
  box().SetText(Text(15998, u'.'));
  box().SetSelStart(0);
  prompts->OnNextDialog(OnInput([](InputDialog& input) {
    EXPECT_EQ(input.Box().GetText(), u"xyz");
    EXPECT_EQ(input.Box().SelLength(), 3);
    input.cmdA_Click(0);
  }));
  Trigger("mnuIns_1");
  EXPECT_EQ(prompts->Texts(), std::vector<std::u16string>{u"改动 未成~ 文本过长"});
  EXPECT_EQ(box().TextLength(), 15998);

  // Cancelled: nothing.
  prompts->OnNextDialog(OnInput([](InputDialog& input) { input.cmdA_Click(1); }));
  Key(Qt::Key_Insert);
  EXPECT_EQ(box().TextLength(), 15998);
}

}  // namespace
}  // namespace mok::testing
