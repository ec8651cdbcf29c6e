#include "commands/clipboard_commands.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QPushButton>

#include "tests/support/window_fixture.h"

namespace mok::testing {
namespace {

class ClipboardTest : public WindowTest {
 protected:
  static void PutOnClipboard(TextView text) { QGuiApplication::clipboard()->setText(Q(text)); }
  static Text ClipboardText() { return T(QGuiApplication::clipboard()->text()); }
};

TEST_F(ClipboardTest, PasteUpToTheLimitWithTheSelectionsLineBreaksCountingTwo) {
  const Text start = Text(15996, u'a') + u"\r\nb";  // 15999 by TextLength
  StartWith(start);
  Select(15996, 2);  // the line break and b: three code units
  PutOnClipboard(u"xyzwv");  // would make 16001
  Key(Qt::Key_V, Qt::ControlModifier);
  // A huge clipboard is refused at once, by both pastes.
  PutOnClipboard(Text(10 * 1024 * 1024, u'z'));
  Key(Qt::Key_V, Qt::ControlModifier);
  Key(Qt::Key_P, Qt::ControlModifier);
  EXPECT_EQ(prompts->Texts(), std::vector<std::u16string>(3, u"粘贴 未成~ 文本过长"));
  EXPECT_EQ(prompts->messages[0].buttons, MessageButtons::Ok);
  EXPECT_EQ(box().GetText(), start);

  PutOnClipboard(u"xyzw");  // exactly 16000
  Key(Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(box().GetText(), Text(15996, u'a') + u"xyzw");
  EXPECT_EQ(Say(), u"粘贴");
  EXPECT_EQ(Selection(), std::pair(16000, 0));
  Key(Qt::Key_F5);  // one undo restores the text before the paste
  EXPECT_EQ(box().GetText(), start);
  EXPECT_EQ(prompts->beeps, 0);
}

TEST_F(ClipboardTest, PasteKeepsEveryCodeUnitInAndAroundTheSelection) {
  const Text start(u"a\rQ\nb\0c\xDC80", 8);
  box().SetText(start);
  Select(2, 1);  // Q, between a lone CR and a lone LF
  const Text pasted(u"x\ry\nz\0\xD800", 7);
  PutOnClipboard(pasted);
  Trigger("mnuPaste");
  EXPECT_EQ(Hex(box().GetText()), Hex(Text(u"a\rx\ry\nz\0\xD800\nb\0c\xDC80", 14)));
  EXPECT_EQ(box().TextLength(), 14);

  // Copy gives back exactly what was pasted; pasting it over itself changes nothing.
  Select(2, 7);
  Trigger("mnuCopy");
  EXPECT_EQ(Say(), u"复制");
  EXPECT_EQ(Hex(ClipboardText()), Hex(pasted));
  const std::int16_t state = window->History().nCur();
  Trigger("mnuPaste");
  EXPECT_EQ(Say(), u"经过改动，仍然相同");
  EXPECT_EQ(window->History().nCur(), state);
}

TEST_F(ClipboardTest, NothingToPasteSaysSoAndBeeps) {
  box().SetText(u"keep");
  QGuiApplication::clipboard()->clear();
  Key(Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(Say(), u"不能粘贴");
  EXPECT_EQ(prompts->beeps, 1);
  QGuiApplication::clipboard()->setImage(QImage(4, 4, QImage::Format_RGB32));
  Key(Qt::Key_P, Qt::ControlModifier);
  EXPECT_EQ(Say(), u"不能粘贴");
  EXPECT_EQ(prompts->beeps, 2);
  EXPECT_EQ(box().GetText(), u"keep");
  EXPECT_TRUE(prompts->messages.empty());
  // P and V without Ctrl are no commands.
  PutOnClipboard(u"x");
  Key(Qt::Key_V);
  Key(Qt::Key_P, Qt::ShiftModifier | Qt::ControlModifier);
  EXPECT_EQ(box().GetText(), u"keep");
}

TEST_F(ClipboardTest, PasteAsOriginalMakesANewUnsavedOriginal) {
  box().SetText(u"A");
  Trigger("mnuA2B_16");  // a change: the text is unsaved
  window->File().sFile = u"/tmp/a.txt";
  window->File().nFilePat = 4;
  PutOnClipboard(Text(16000, u'p'));

  prompts->AnswerNext(MessageAnswer::No);  // keep the unsaved text
  Key(Qt::Key_P, Qt::ControlModifier);
  EXPECT_EQ(box().GetText(), u"\u4100");
  EXPECT_EQ(prompts->Texts(), std::vector<std::u16string>{u"当前文本尚未保存。是否要清空它？"});

  prompts->AnswerNext(MessageAnswer::Yes);
  Key(Qt::Key_P, Qt::ControlModifier);
  EXPECT_EQ(box().GetText(), Text(16000, u'p'));
  EXPECT_EQ(Say(), u"粘贴作原始");
  EXPECT_EQ(window->windowTitle(), QStringLiteral("粘贴作原始  ~Mokrin"));
  EXPECT_EQ(window->History().nCur(), TextHistory::kOriginal);
  EXPECT_EQ(window->History().nSaved(), TextHistory::kNoSavedSlot);
  EXPECT_TRUE(window->File().sFile.empty());
  EXPECT_EQ(window->File().nFilePat, 0);
  for (int i = 0; i < 4; ++i) EXPECT_FALSE(window->HistoryButton(i)->isEnabled());

  // The pasted text is unsaved: the next paste as original asks, and 16001
  // characters are refused whatever the current text.
  PutOnClipboard(Text(16001, u'q'));
  prompts->AnswerNext(MessageAnswer::Yes);
  Trigger("mnuPasteOrig");
  EXPECT_EQ(prompts->messages.back().text, u"粘贴 未成~ 文本过长");
  EXPECT_EQ(box().GetText(), Text(16000, u'p'));
  prompts->AnswerNext(MessageAnswer::Yes);  // closing asks too
  EXPECT_TRUE(window->close());
}

TEST_F(ClipboardTest, SelectAllCountsCharactersAndLineBreaks) {
  Trigger("mnuASel");
  EXPECT_EQ(Say(), u"选取 0 + 换行 0\r\n字数 0  (上限 16000)");
  box().SetText(u"ab\r\nc");
  Trigger("mnuASel");
  EXPECT_EQ(Say(), u"选取 4 + 换行 1\r\n字数 5  (上限 16000)");
  EXPECT_EQ(Selection(), std::pair(0, 4));
  EXPECT_EQ(window->History().nCur(), TextHistory::kOriginal);
}

TEST(ResultLength, CountsTheSelectionAsHeld) {
  TextBox box;
  box.SetText(u"a\r\nb\rc");  // 6 code units
  box.SetSelStart(1);
  box.SetSelLength(3);  // line break, b, lone CR: four units
  EXPECT_EQ(ResultLength(box, u"xy"), 4);
  box.SetSelLength(0);
  EXPECT_EQ(ResultLength(box, u"xy"), 8);
}

}  // namespace
}  // namespace mok::testing
