#include "commands/asked_conversions.h"

#include "codec/conversion_core.h"
#include "tests/support/dialog_script.h"
#include "tests/support/read_as.h"
#include "tests/support/window_fixture.h"

namespace mok::testing {
namespace {

using AskedConversionsTest = WindowTest;

TEST(TransferMode, PacksCodePageAndFormat) {
  struct Case {
    int item, n_trn, mode;
  };
  const Case cases[] = {
      {0, 0, 1},   {0, 1, 0},   {0, 2, 0},   {0, 3, 1},   {0, 9, 7},    // language code: URL, QP, Base64 0..7
      {1, 0, 129}, {1, 1, 128}, {1, 2, 128}, {1, 5, 131}, {1, 9, 135},  // code page
  };
  for (const Case& c : cases) EXPECT_EQ(TransferMode(c.item, c.n_trn), c.mode) << c.item << " " << c.n_trn;
}

TEST_F(AskedConversionsTest, TransferFormatsDecodeUnderTheChosenCharset) {
  struct Case {
    const char* item;
    Text format, charset, input, expected, status;
  };
  const Case cases[] = {
      {"mnuAskA2B_0", u"QP", u"GB", u"=D6=D0=CE=C4 ok", u"中文 ok", u"解读 QP-GB"},
      {"mnuAskA2B_0", u"URL", u"Utf8", u"%E4%B8%AD+ok", u"中 ok", u"解读 URL-Utf8"},
      {"mnuAskA2B_0", u"Base64", u"Big5", u"pKSk5Q==", u"中文", u"解读 Base64-Big5"},
      {"mnuAskA2B_1", u"QP", u"韩文(KSC)", u"=C7=D1", u"한", u"解读 QP-韩文(KSC)"},
      // Base64 variant 3: "-" stands for "/", so mode 131 must reach the decoder.
      {"mnuAskA2B_1", u"Base64(_-)", u"中文简(GBK)", u"v8m-2NfWt-s=", u"可控字符", u"解读 Base64(_-)-中文简(GBK)"},
      {"mnuAskA2B_1", u"Base64(-_)", u"Unicode(UTF-8)", u"5Lit5paH", u"中文", u"解读 Base64(-_)-Unicode(UTF-8)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Q(c.status).toStdString());
    prompts->OnNextDialog(PickTransfer(c.format, c.charset));
    EXPECT_EQ(Hex(RunOn(c.item, c.input)), Hex(c.expected));
    EXPECT_EQ(Say(), c.status);
    EXPECT_EQ(window->History().Current().say, c.status);
  }
  EXPECT_EQ(prompts->beeps, 0);
}

TEST_F(AskedConversionsTest, PairsReinterpretTheWholeText) {
  const Text clean = u"中文亂碼";
  Text garbled = clean;
  ReinterpretByCp(garbled, 950, 936);  // Big5 bytes shown as GBK
  struct Case {
    std::function<void(ModalDialog&)> script;
    const char* item;
    Text status;
  };
  const Case cases[] = {
      {PickPair(u"GB", u"Big5"), "mnuAskA2B_3", u"GB--Big5"},
      {TypePair(QStringLiteral("2052"), QStringLiteral("1028")), "mnuAskA2B_3", u"LCID (2052)--(1028)"},
      {PickPair(u"中文简(GBK)", u"中文繁(Big5)"), "mnuAskA2B_4", u"中文简(GBK)--中文繁(Big5)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Q(c.status).toStdString());
    prompts->OnNextDialog(c.script);
    EXPECT_EQ(Hex(RunOn(c.item, garbled)), Hex(clean));
    EXPECT_EQ(Say(), c.status);
  }
  EXPECT_EQ(prompts->dialogs_shown, (std::vector<std::u16string>{u"frmLid", u"frmLid", u"frmLid"}));

  // A = B leaves text of that character set as it is.
  window->SetOriginal(u"start");
  prompts->OnNextDialog(PickPair(u"GB", u"GB"));
  Key(Qt::Key_F9);
  EXPECT_EQ(Say(), u"经过改动，仍然相同");
  EXPECT_EQ(window->History().nCur(), TextHistory::kOriginal);
}

// A second F7, F8 or Ctrl+F9 finds its dialog as it was left: OK alone repeats
// the choice.
TEST_F(AskedConversionsTest, TheSameKeyAgainFindsThePreviousChoice) {
  // GBK text after a stray lead byte, read as GBK: out of step by one byte.
  const Text out_of_step = CpBytesToText(ToBytes("\xB0") + TextToCpBytes(u"中文", 936), 936);
  Text big5_as_gbk = u"中文";
  ReinterpretByCp(big5_as_gbk, 950, 936);
  struct Case {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers, again_modifiers;  // Shift makes no difference to F7 and F8
    std::function<void(ModalDialog&)> pick, as_left;
    Text input, expected, status;
  };
  const Case cases[] = {
      {Qt::Key_F7, Qt::NoModifier, Qt::ShiftModifier, PickTransfer(u"", u"中文简(GBK)"),
       ConfirmAsLeft<TransferDialog>(), out_of_step, u"中文 ", u"中文简(GBK)+半字"},
      {Qt::Key_F8, Qt::NoModifier, Qt::ShiftModifier, PickTransfer(u"QP", u"GB"), ConfirmAsLeft<TransferDialog>(),
       u"=D6=D0=CE=C4", u"中文", u"解读 QP-GB"},
      {Qt::Key_F9, Qt::ControlModifier, Qt::ControlModifier, PickPair(u"中文简(GBK)", u"中文繁(Big5)"),
       ConfirmAsLeft<PairDialog>(), big5_as_gbk, u"中文", u"中文简(GBK)--中文繁(Big5)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Q(c.status).toStdString());
    for (const bool again : {false, true}) {
      StartWith(c.input);
      prompts->OnNextDialog(again ? c.as_left : c.pick);
      Key(c.key, again ? c.again_modifiers : c.modifiers);
      EXPECT_EQ(Hex(box().GetText()), Hex(c.expected));
      EXPECT_EQ(Say(), c.status);
    }
  }
}

TEST_F(AskedConversionsTest, KeysOpenTheirDialogInTheirModeAndCancelChangesNothing) {
  struct Case {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    QString caption;
  };
  const Case cases[] = {
      {Qt::Key_F7, Qt::NoModifier, QStringLiteral("CP+半字")},
      {Qt::Key_F8, Qt::NoModifier, QStringLiteral("Trans-LCID")},
      {Qt::Key_F8, Qt::ControlModifier, QStringLiteral("Trans-CP")},
      {Qt::Key_F8, Qt::ShiftModifier, QStringLiteral("Trans-LCID")},
      {Qt::Key_F9, Qt::NoModifier, QStringLiteral("LCID--LCID")},
      {Qt::Key_F9, Qt::ControlModifier, QStringLiteral("CP--CP")},
      {Qt::Key_F9, Qt::ControlModifier | Qt::ShiftModifier, QStringLiteral("LCID--LCID")},
  };
  box().SetText(u"text");
  for (const Case& c : cases) {
    QString shown;
    prompts->OnNextDialog([&shown](ModalDialog& dialog) {
      auto& widget = dynamic_cast<ParameterDialog&>(dialog);
      ASSERT_TRUE(widget.Form_Activate());
      shown = widget.windowTitle();
      Click(widget, "cmdA_1");
    });
    Key(c.key, c.modifiers);
    EXPECT_EQ(shown, c.caption);
  }
  EXPECT_EQ(prompts->dialogs_shown, (std::vector<std::u16string>{u"frmTL", u"frmTL", u"frmTL", u"frmTL", u"frmLid",
                                                                 u"frmLid", u"frmLid"}));
  // Cancel changes nothing and says nothing.
  EXPECT_EQ(box().GetText(), u"text");
  EXPECT_TRUE(prompts->messages.empty());
  EXPECT_EQ(prompts->beeps, 0);
  EXPECT_EQ(window->History().nCur(), TextHistory::kOriginal);
}

TEST_F(AskedConversionsTest, EmptyTextAndOverlongResults) {
  // The dialog is still shown; the empty result is "not changed".
  prompts->OnNextDialog(PickTransfer(u"URL", u"GB"));
  Key(Qt::Key_F8);
  EXPECT_EQ(Say(), u"未经改动");
  EXPECT_EQ(prompts->beeps, 1);

  // A code page the system lacks gives nothing either.
  box().SetText(u"abc");
  prompts->OnNextDialog(TypePair(QStringLiteral("936"), QStringLiteral("4242")));
  Key(Qt::Key_F9, Qt::ControlModifier);
  EXPECT_EQ(Say(), u"未经改动");
  EXPECT_EQ(box().GetText(), u"abc");

  const char16_t doubling = GbkIdeographDoubledAsBig5();
  ASSERT_NE(doubling, 0);
  box().SetText(Text(8000, doubling));
  prompts->OnNextDialog(PickPair(u"中文简(GBK)", u"中文繁(Big5)"));
  Key(Qt::Key_F9, Qt::ControlModifier);
  EXPECT_EQ(box().TextLength(), 16000);  // exactly the limit is taken
  const Text longer = Text(8000, doubling) + u"A";
  box().SetText(longer);
  prompts->OnNextDialog(ConfirmAsLeft<PairDialog>());
  Key(Qt::Key_F9, Qt::ControlModifier);
  EXPECT_EQ(prompts->Texts(), std::vector<std::u16string>{u"中文简(GBK)--中文繁(Big5) 未成~ 文本过长"});
  EXPECT_EQ(box().GetText(), longer);
}

// What CP--CP makes with a seven-bit code page, read as Latin-1, is read back
// by the menus' own decoders.
TEST_F(AskedConversionsTest, SevenBitCodePagesRoundTripThroughTheMenus) {
  struct Case {
    Text code_page;
    const char* decoder;
    Text text;
  };
  const Case cases[] = {
      {u"中文简(HZ-GB)", "mnuJieA_1", u"Ab中文 ~ cd\r\n中"},
      {u"中文简(ISO-2022)", "mnu2022_0", u"Ab中文 cd\r\n中"},
      {u"日文(ISO-2022)", "mnu2022_1", u"Ab日本語 cd\r\nこんにちは"},
      {u"韩文(ISO-2022)", "mnu2022_2", u"Ab한국어 cd\r\n한"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.decoder);
    prompts->OnNextDialog(PickPair(c.code_page, u"西欧(ISO)"));
    ASSERT_NE(RunOn("mnuAskA2B_4", c.text), c.text);
    Trigger(c.decoder);
    EXPECT_EQ(Hex(box().GetText()), Hex(c.text));
  }
  EXPECT_EQ(prompts->beeps, 0);
}

}  // namespace
}  // namespace mok::testing
