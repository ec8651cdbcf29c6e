#include "commands/clipboard_commands.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>

#include <functional>
#include <QPushButton>

#include "app/window_drops.h"
#include "tests/support/window_fixture.h"

namespace mok::testing {
namespace {

// A clipboard that offers text but gives nothing when read, as when its owner
// ends in the middle of a long transfer.
class FailedTransfer : public QMimeData {
 public:
  [[nodiscard]] QStringList formats() const override {
    return {QStringLiteral("text/plain"), QStringLiteral("text/plain;charset=utf-8")};
  }
  [[nodiscard]] bool hasFormat(const QString& format) const override { return formats().contains(format); }

 protected:
  [[nodiscard]] QVariant retrieveData(const QString&, QMetaType) const override { return {}; }
};

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

TEST_F(ClipboardTest, TheCaretLandsRightAfterThePastedText) {
  // The pasted LF joins the lone CR before the caret into one line break.
  box().SetText(u"a\rZ");
  box().SetSelStart(2);
  PutOnClipboard(u"\nb");
  Key(Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(Hex(box().GetText()), Hex(Text(u"a\r\nbZ")));
  EXPECT_EQ(Selection(), std::pair(3, 0));
  EXPECT_EQ(Say(), u"粘贴");
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
  EXPECT_EQ(window->History().nCur(), TextHistory::kOriginal);
  // Every kind of line break counts: CR LF (two in 字数), a lone CR or LF (one).
  const struct {
    Text text;
    std::u16string_view say;
  } cases[] = {
      {u"ab\r\nc", u"选取 4 + 换行 1\r\n字数 5  (上限 16000)"},
      {u"ab\nc", u"选取 4 + 换行 1\r\n字数 4  (上限 16000)"},
      {u"a\rb\r\nc\nd\n\r", u"选取 9 + 换行 5\r\n字数 10  (上限 16000)"},
  };
  for (const auto& c : cases) {
    box().SetText(c.text);
    Trigger("mnuASel");
    EXPECT_EQ(Say(), c.say) << Hex(c.text);
    EXPECT_EQ(Selection(), std::pair(0, box().ScaleLength()));
  }
}

// Nothing read, whatever the clipboard claimed to hold: no paste of nothing
// recorded as "粘贴", no question, the text and its history as they were.
TEST_F(ClipboardTest, AReadThatBringsNoTextCannotPaste) {
  const auto offer_nothing = [] { QGuiApplication::clipboard()->setMimeData(new FailedTransfer); };
  const auto offer_empty_text = [] { QGuiApplication::clipboard()->setText(QString()); };
  for (const auto& offer : {std::function<void()>(offer_nothing), std::function<void()>(offer_empty_text)}) {
    for (const Qt::Key key : {Qt::Key_V, Qt::Key_P}) {
      SCOPED_TRACE(key == Qt::Key_V ? "Ctrl+V" : "Ctrl+P");
      StartWith(u"A");
      Trigger("mnuA2B_16");  // unsaved: paste as original would ask
      Select(0, 1);
      const std::int16_t state = window->History().nCur();
      const int beeps = prompts->beeps;
      offer();
      ASSERT_TRUE(box().CanPaste());
      Key(key, Qt::ControlModifier);
      EXPECT_EQ(Say(), u"不能粘贴");
      EXPECT_EQ(prompts->beeps, beeps + 1);
      EXPECT_EQ(box().GetText(), u"\u4100");
      EXPECT_EQ(Selection(), std::pair(0, 1));
      EXPECT_EQ(window->History().nCur(), state);
      EXPECT_TRUE(prompts->messages.empty());
    }
  }
  // Text dropped onto the window that holds nothing is no paste either.
  RunDrop(*window, Dropped{Dropped::Kind::kText, {}, QString()});
  EXPECT_EQ(Say(), u"不能粘贴");
  EXPECT_EQ(box().GetText(), u"\u4100");
}

// Answering the question takes a while; the clipboard's owner may be gone by
// then. What the user agreed to paste was read before the question.
TEST(PasteAsOriginal, ReadsTheClipboardBeforeTheQuestion) {
  class OwnerEndsDuringTheQuestion : public ScriptedPrompts {
   public:
    MessageAnswer ShowMessage(std::u16string_view text, MessageButtons buttons, std::u16string_view title) override {
      if (buttons != MessageButtons::Ok) QGuiApplication::clipboard()->setMimeData(new FailedTransfer);
      return ScriptedPrompts::ShowMessage(text, buttons, title);
    }
  } prompts;
  MainWindow window(&prompts);
  window.Box().SetText(u"A");
  window.SetOriginal(u"start");
  window.Box().SetText(u"B");
  window.RecordState(u"changed");  // unsaved: paste as original asks
  QGuiApplication::clipboard()->setText(QStringLiteral("pasted\nlines"));
  prompts.AnswerNext(MessageAnswer::Yes);
  mnuPasteOrig_Click(window);
  EXPECT_EQ(prompts.Texts(), std::vector<std::u16string>{u"当前文本尚未保存。是否要清空它？"});
  EXPECT_EQ(window.Box().GetText(), u"pasted\nlines");
  EXPECT_EQ(window.Say(), QStringLiteral("粘贴作原始"));
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
