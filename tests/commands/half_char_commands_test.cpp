#include "commands/half_char_commands.h"

#include <QMenu>

#include "codec/conversion_core.h"
#include "tests/support/dialog_script.h"
#include "tests/support/window_fixture.h"

namespace mok::testing {
namespace {

using HalfCharTest = WindowTest;

// Clean GBK text whose bytes had one stray lead byte (B0) before them, read as
// GBK: every pair is out of step, and the last byte is left alone.
const Text kClean = u"中文测试";
Text OutOfStep() {
  Bytes bytes = ToBytes("\xB0");
  bytes += TextToCpBytes(kClean, 936);
  return CpBytesToText(bytes, 936);
}

TEST_F(HalfCharTest, ThirdMenuHoldsItsItemsInOrder) {
  QMenu* menu = window->menuBar()->findChild<QMenu*>(QStringLiteral("mnuJiedusC"));
  ASSERT_NE(menu, nullptr);
  QStringList names;
  for (QAction* item : menu->actions()) names << item->objectName();
  EXPECT_EQ(names, (QStringList{"mnuCAB_0", "mnuCAB_1", "mnuCAB_2", "mnuCAB_3", "mnuBarC1", "mnu2022_0", "mnu2022_1",
                                "mnu2022_2", "mnuBarC2", "mnuAskA2B_0", "mnuAskA2B_1", "mnuAskA2B_2", "mnuAskA2B_3",
                                "mnuAskA2B_4", "mnuBarC3", "mnuSuggest"}));
  for (const char* separator : {"mnuBarC1", "mnuBarC2", "mnuAskA2B_2", "mnuBarC3"}) {
    EXPECT_TRUE(Action(QString::fromLatin1(separator))->isSeparator()) << separator;
  }
  for (QAction* item : menu->actions()) {
    const bool marked =
        item->objectName() == QStringLiteral("mnuCAB_0") || item->objectName() == QStringLiteral("mnu2022_1");
    EXPECT_EQ(item->isChecked(), marked) << item->objectName().toStdString();
  }
  EXPECT_EQ(Action("mnuCAB_3")->text(), QStringLiteral("CP+半字 ：代码页+半字 [F7] …"));
  EXPECT_EQ(Action("mnu2022_1")->text(), QStringLiteral("Esc+日文(ISO-2022) ：如 $B$R$H$?$S 英文通顺,标志 $B (B"));
  EXPECT_EQ(Action("mnuAskA2B_4")->text(), QStringLiteral("CP--CP ：代码页--代码页 [Ctrl+F9] …"));
}

TEST_F(HalfCharTest, RepairsFromTheCaretAndEndsWithASpace) {
  const Text garbled = OutOfStep();
  box().SetText(u"Hi\r\n" + garbled);
  window->SetOriginal(u"start");
  box().SetSelStart(3);
  box().SetSelLength(2);  // a selection counts only by where it starts
  Trigger(QStringLiteral("mnuCAB_0"));
  EXPECT_EQ(Hex(box().GetText()), Hex(u"Hi\r\n" + kClean + u" "));
  EXPECT_EQ(box().SelStart(), 3);
  EXPECT_EQ(box().SelLength(), 0);
  EXPECT_EQ(Say(), u"GB+半字");
  EXPECT_EQ(window->History().Current().say, u"GB+半字");

  // Again from the same place: the repaired part and its space move on a byte.
  Trigger(QStringLiteral("mnuCAB_0"));
  EXPECT_EQ(box().GetText().substr(0, 4), u"Hi\r\n");
  EXPECT_EQ(box().SelStart(), 3);
  EXPECT_NE(box().GetText().substr(4, 4), kClean);

  // ULE and UBE move the bytes of UTF-16 code units.
  box().SetText(u"\u4E2D\u6587");
  box().SetSelStart(0);
  Trigger(QStringLiteral("mnuCAB_1"));
  EXPECT_EQ(Hex(box().GetText()), Hex(u"\u874E "));
  EXPECT_EQ(Say(), u"ULE+半字");
  box().SetText(u"\u4E2D\u6587");
  box().SetSelStart(0);
  Trigger(QStringLiteral("mnuCAB_2"));
  EXPECT_EQ(Hex(box().GetText()), Hex(u"\u2D65 "));
  EXPECT_EQ(prompts->beeps, 0);
}

TEST_F(HalfCharTest, NothingAfterTheCaretIsNotChanged) {
  box().SetText(u"abc");
  window->SetOriginal(u"start");
  box().SetSelStart(3);
  Trigger(QStringLiteral("mnuCAB_0"));
  EXPECT_EQ(Say(), u"未经改动");
  EXPECT_EQ(prompts->beeps, 1);
  EXPECT_EQ(box().GetText(), u"abc");
  EXPECT_EQ(box().SelLength(), 0);
  EXPECT_EQ(window->History().nCur(), TextHistory::kOriginal);
  // One byte left: nothing to decode either; the selection made for it goes.
  box().SetSelStart(2);
  Trigger(QStringLiteral("mnuCAB_0"));
  EXPECT_EQ(prompts->beeps, 2);
  EXPECT_EQ(box().SelStart(), 2);
  EXPECT_EQ(box().SelLength(), 0);
}

TEST_F(HalfCharTest, TheSpaceIsAddedOnlyBelowTheLimit) {
  box().SetText(Text(15999, u'A'));
  box().SetSelStart(0);
  Trigger(QStringLiteral("mnuCAB_1"));
  EXPECT_EQ(box().TextLength(), 15999);  // 15998 shifted units and the space
  EXPECT_EQ(box().GetText().back(), u' ');

  box().SetText(Text(16000, u'A'));
  box().SetSelStart(0);
  Trigger(QStringLiteral("mnuCAB_1"));
  EXPECT_EQ(box().TextLength(), 15999);
  EXPECT_EQ(box().GetText().back(), u'\u4100');
}

TEST_F(HalfCharTest, CodePageComesFromTheDialogAndIsRememberedForF7) {
  box().SetText(OutOfStep());
  window->SetOriginal(u"start");
  prompts->OnNextDialog(PickTransfer(u"", u"中文简(GBK)"));
  Key(Qt::Key_F7);
  EXPECT_EQ(prompts->dialogs_shown, (std::vector<std::u16string>{u"frmTL"}));
  EXPECT_EQ(Hex(box().GetText()), Hex(kClean + u" "));
  EXPECT_EQ(Say(), u"中文简(GBK)+半字");
  EXPECT_EQ(window->frmTL().windowTitle(), QStringLiteral("CP+半字"));

  // The second F7 (Shift makes no difference) finds the code page still picked: OK alone repeats it.
  box().SetText(OutOfStep());
  prompts->OnNextDialog(ConfirmAsLeft<TransferDialog>());
  Key(Qt::Key_F7, Qt::ShiftModifier);
  EXPECT_EQ(Hex(box().GetText()), Hex(kClean + u" "));
  EXPECT_EQ(window->frmTL().lLid, 936);
}

TEST_F(HalfCharTest, CancelChangesNothingNotEvenTheSelection) {
  box().SetText(OutOfStep());
  window->SetOriginal(u"start");
  box().SetSelStart(1);
  box().SetSelLength(2);
  prompts->OnNextDialog(Cancel<TransferDialog>());
  Trigger(QStringLiteral("mnuCAB_3"));
  EXPECT_EQ(box().GetText(), OutOfStep());
  EXPECT_EQ(box().SelStart(), 1);
  EXPECT_EQ(box().SelLength(), 2);
  EXPECT_EQ(prompts->beeps, 0);
  EXPECT_TRUE(prompts->messages.empty());
  EXPECT_EQ(Say(), u"start");
}

TEST_F(HalfCharTest, AResultBeyondTheLimitIsRefusedWhole) {
  // In HZ every ideograph is two ASCII bytes; without the "~" of the opening
  // "~{" the bytes read as ASCII, one character each: 8001 ideographs become
  // 16003 characters, which the box cannot hold.
  const Text text(8001, u'\u4E2D');
  box().SetText(text);
  window->SetOriginal(u"start");
  box().SetSelStart(0);
  prompts->OnNextDialog(PickTransfer(u"", u"中文简(HZ-GB)"));
  Trigger(QStringLiteral("mnuCAB_3"));
  ASSERT_EQ(prompts->messages.size(), 1u);
  EXPECT_EQ(prompts->messages[0].text, u"中文简(HZ-GB)+半字 未成~ 文本过长");
  EXPECT_EQ(box().GetText(), text);
  EXPECT_EQ(box().SelLength(), 0);
  EXPECT_EQ(window->History().nCur(), TextHistory::kOriginal);

  // The same repair of fewer ideographs fits and reads as the HZ bytes.
  box().SetText(u"\u4E2D\u6587");
  box().SetSelStart(0);
  prompts->OnNextDialog(ConfirmAsLeft<TransferDialog>());
  Trigger(QStringLiteral("mnuCAB_3"));
  EXPECT_EQ(box().GetText(), u"{VPND ");  // the closing "~}" is a shift, not text
}

TEST_F(HalfCharTest, Iso2022ItemsRestoreLostEscapes) {
  struct Case {
    const char* item;
    Text input;
    Text expected;
    Text status;
  };
  const Case cases[] = {
      {"mnu2022_0", u"$)A\x0EVPND\x0F ok", u"中文 ok", u"Esc+中文(ISO-2022)"},
      {"mnu2022_1", u"$B$3$s$K$A$O (B ok", u"こんにちは ok", u"Esc+日文(ISO-2022)"},
      {"mnu2022_2", u"$)C\x0EGQ\x0F ok", u"한 ok", u"Esc+韩文(ISO-2022)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.item);
    box().SetText(c.input);
    window->SetOriginal(u"start");
    Trigger(QString::fromLatin1(c.item));
    EXPECT_EQ(Hex(box().GetText()), Hex(c.expected));
    EXPECT_EQ(Say(), c.status);
  }
  box().SetText(u"");
  Trigger(QStringLiteral("mnu2022_1"));
  EXPECT_EQ(Say(), u"未经改动");
  EXPECT_EQ(prompts->beeps, 1);
}

}  // namespace
}  // namespace mok::testing
