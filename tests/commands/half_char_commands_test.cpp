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
  // Each item's name, "-" after a separator's, "*" after a checked item's.
  QStringList names;
  for (QAction* item : menu->actions()) {
    names << item->objectName() + (item->isSeparator() ? "-" : "") + (item->isChecked() ? "*" : "");
  }
  EXPECT_EQ(names, (QStringList{"mnuCAB_0*", "mnuCAB_1", "mnuCAB_2", "mnuCAB_3", "mnuBarC1-", "mnu2022_0",
                                "mnu2022_1*", "mnu2022_2", "mnuBarC2-", "mnuAskA2B_0", "mnuAskA2B_1", "mnuAskA2B_2-",
                                "mnuAskA2B_3", "mnuAskA2B_4", "mnuBarC3-", "mnuSuggest"}));
  EXPECT_EQ(Action("mnuSuggest")->text(), QStringLiteral("自动解读 ：按可信度列出可能的解读 …"));
}

TEST_F(HalfCharTest, RepairsFromTheCaretAndEndsWithASpace) {
  StartWith(u"Hi\r\n" + OutOfStep());
  Select(3, 2);  // a selection counts only by where it starts
  Trigger("mnuCAB_0");
  EXPECT_EQ(Hex(box().GetText()), Hex(u"Hi\r\n" + kClean + u" "));
  EXPECT_EQ(Selection(), std::pair(3, 0));
  EXPECT_EQ(Say(), u"GB+半字");
  EXPECT_EQ(window->History().Current().say, u"GB+半字");

  // Again from the same place: the repaired part and its space move on a byte.
  Trigger("mnuCAB_0");
  EXPECT_EQ(box().GetText().substr(0, 4), u"Hi\r\n");
  EXPECT_EQ(box().SelStart(), 3);
  EXPECT_NE(box().GetText().substr(4, 4), kClean);

  // ULE and UBE move the bytes of UTF-16 code units.
  EXPECT_EQ(Hex(RunOn("mnuCAB_1", u"\u4E2D\u6587")), Hex(u"\u874E "));
  EXPECT_EQ(Say(), u"ULE+半字");
  EXPECT_EQ(Hex(RunOn("mnuCAB_2", u"\u4E2D\u6587")), Hex(u"\u2D65 "));
  EXPECT_EQ(prompts->beeps, 0);
}

TEST_F(HalfCharTest, LoneLineBreaksGoThroughTheShiftAsTheyAre) {
  // The stretch is shifted as the box holds it: a lone CR or LF is one byte,
  // never a CR LF, and comes back as it was.
  for (const Text& tail : {Text(u"\rz"), Text(u"\nz"), Text(u"\r\nz")}) {
    SCOPED_TRACE(Hex(tail));
    StartWith(u"Hi" + OutOfStep() + tail);
    box().SetSelStart(2);
    Trigger("mnuCAB_0");
    EXPECT_EQ(Hex(box().GetText()), Hex(u"Hi" + kClean + tail + u" "));
    EXPECT_EQ(Selection(), std::pair(2, 0));
  }
}

TEST_F(HalfCharTest, NothingAfterTheCaretIsNotChanged) {
  StartWith(u"abc");
  box().SetSelStart(3);
  Trigger("mnuCAB_0");
  EXPECT_EQ(Say(), u"未经改动");
  EXPECT_EQ(prompts->beeps, 1);
  EXPECT_EQ(box().GetText(), u"abc");
  EXPECT_EQ(box().SelLength(), 0);
  EXPECT_EQ(window->History().nCur(), TextHistory::kOriginal);
  // One byte left: nothing to decode either; the selection made for it goes.
  box().SetSelStart(2);
  Trigger("mnuCAB_0");
  EXPECT_EQ(prompts->beeps, 2);
  EXPECT_EQ(Selection(), std::pair(2, 0));
}

TEST_F(HalfCharTest, TheSpaceIsAddedOnlyBelowTheLimit) {
  // 15999 units: 15998 shifted and the space; 16000: 15999 shifted, no space.
  for (const auto& [length, last] : {std::pair(15999, u' '), std::pair(16000, u'\u4100')}) {
    SCOPED_TRACE(length);
    RunOn("mnuCAB_1", Text(static_cast<std::size_t>(length), u'A'));
    EXPECT_EQ(box().TextLength(), 15999);
    EXPECT_EQ(box().GetText().back(), last);
  }
}

TEST_F(HalfCharTest, CancelChangesNothingNotEvenTheSelection) {
  StartWith(OutOfStep());
  Select(1, 2);
  prompts->OnNextDialog(Cancel<TransferDialog>());
  Trigger("mnuCAB_3");
  EXPECT_EQ(box().GetText(), OutOfStep());
  EXPECT_EQ(Selection(), std::pair(1, 2));
  EXPECT_EQ(prompts->beeps, 0);
  EXPECT_TRUE(prompts->messages.empty());
  EXPECT_EQ(Say(), u"start");
}

TEST_F(HalfCharTest, AResultBeyondTheLimitIsRefusedWhole) {
  // In HZ every ideograph is two ASCII bytes; without the "~" of the opening
  // "~{" the bytes read as ASCII, one character each: 8001 ideographs become
  // 16003 characters, which the box cannot hold.
  const Text text(8001, u'\u4E2D');
  prompts->OnNextDialog(PickTransfer(u"", u"中文简(HZ-GB)"));
  EXPECT_EQ(RunOn("mnuCAB_3", text), text);
  EXPECT_EQ(prompts->Texts(), std::vector<std::u16string>{u"中文简(HZ-GB)+半字 未成~ 文本过长"});
  EXPECT_EQ(box().SelLength(), 0);
  EXPECT_EQ(window->History().nCur(), TextHistory::kOriginal);

  // The same repair of fewer ideographs fits and reads as the HZ bytes.
  prompts->OnNextDialog(ConfirmAsLeft<TransferDialog>());
  EXPECT_EQ(RunOn("mnuCAB_3", u"\u4E2D\u6587"), u"{VPND ");  // the closing "~}" is a shift, not text
}

TEST_F(HalfCharTest, Iso2022ItemsRestoreLostEscapes) {
  struct Case {
    const char* item;
    Text input, expected, status;
  };
  const Case cases[] = {
      {"mnu2022_0", u"$)A\x0EVPND\x0F ok", u"中文 ok", u"Esc+中文(ISO-2022)"},
      {"mnu2022_1", u"$B$3$s$K$A$O (B ok", u"こんにちは ok", u"Esc+日文(ISO-2022)"},
      {"mnu2022_2", u"$)C\x0EGQ\x0F ok", u"한 ok", u"Esc+韩文(ISO-2022)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.item);
    EXPECT_EQ(Hex(RunOn(c.item, c.input)), Hex(c.expected));
    EXPECT_EQ(Say(), c.status);
  }
  RunOn("mnu2022_1", u"");
  EXPECT_EQ(Say(), u"未经改动");
  EXPECT_EQ(prompts->beeps, 1);
}

}  // namespace
}  // namespace mok::testing
