#include "commands/make_garbled.h"

#include <QMenu>

#include "tests/support/dialog_script.h"
#include "tests/support/window_fixture.h"

namespace mok::testing {
namespace {

using MakeGarbledTest = WindowTest;

TEST(RoomForMaking, ThreeTimesTheSelectionMustFit) {
  struct Case {
    std::int32_t text, selection, room;
    bool fits;
  };
  const Case cases[] = {
      {10000, 2000, 8000, true},   // 6000 of 8000
      {5000, 5000, 16000, true},   // 15000
      {5333, 5333, 16000, true},   // 15999
      {5334, 5334, 16000, false},  // 16002
      {16000, 0, 0, true},        {16000, 1, 1, false},
  };
  for (const Case& c : cases) {
    const MakingRoom room = RoomForMaking(c.text, c.selection);
    EXPECT_EQ(room.room, c.room) << c.text << " " << c.selection;
    EXPECT_EQ(room.selection_fits, c.fits) << c.text << " " << c.selection;
  }
}

// The eighteen makers and three separators, in the edit menu's submenu.
TEST_F(MakeGarbledTest, TheSubmenuSitsInTheEditMenu) {
  QMenu* edits = window->menuBar()->findChild<QMenu*>(QStringLiteral("mnuEdits"));
  ASSERT_NE(edits, nullptr);
  QMenu* makes = edits->findChild<QMenu*>(QStringLiteral("mnuMakes"));
  ASSERT_NE(makes, nullptr);
  EXPECT_EQ(makes->title(), QStringLiteral("编写“乱码” (&M)"));
  const QList<QAction*> items = makes->actions();
  ASSERT_EQ(items.size(), 21);
  for (int i = 0; i < 21; ++i) {
    EXPECT_EQ(items[i]->objectName(), QStringLiteral("mnuMake_%1").arg(i));
    EXPECT_EQ(items[i]->isSeparator(), i == 2 || i == 13 || i == 18) << i;
  }
}

TEST_F(MakeGarbledTest, EachMakerEncodesTheSelectionAndKeepsItSelected) {
  struct Case {
    int index;
    Text selection, made, caption;
  };
  const Case cases[] = {
      {0, u"中a&", u"&#x4E2D;a&#x26;", u"HTM(U)"},
      {1, u"中\\", u"\\u4E2D\\u005C", u"Num(UBE)"},
      {3, u"啊=", u"=B0=A1=3D", u"QP-GBK"},
      {5, u"中", u"=A4=A4", u"QP-Big5"},
      {9, u"한", u"=C7=D1", u"QP-KSC"},
      {11, u"é", u"=E9", u"QP-Win1252"},
      {12, u"中\r\n", u"=E4=B8=AD=0D=0A", u"QP-Utf8"},
      {3, u"a\rb\nc", u"a=0Db=0Ac", u"QP-GBK"},  // a lone CR or LF is encoded as it is
      {19, u"中\r", u"+Ti0\r", u"Utf7"},           // and a lone CR passed through stays lone
      {14, u"中文", u"1tDOxA==", u"Base64-GBK"},
      {17, u"Man", u"TWFu", u"Base64-Utf8"},
      {19, u"中", u"+Ti0-", u"Utf7"},
      {20, u"啊~", u"~{0!~}~~", u"HZ-GB"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.index);
    const QString item = QStringLiteral("mnuMake_%1").arg(c.index);
    EXPECT_EQ(T(Action(item)->text()), c.caption);
    StartWith(u"<" + c.selection + u">");
    Select(1, ScaleLengthOf(c.selection));
    Trigger(item);
    EXPECT_EQ(Hex(box().GetText()), Hex(u"<" + c.made + u">"));
    EXPECT_EQ(box().SelStart(), 1);
    EXPECT_EQ(Hex(box().SelUnits()), Hex(c.made));
    EXPECT_EQ(Say(), u"编写 " + c.caption);
    EXPECT_EQ(window->History().Current().say, u"编写 " + c.caption);
  }
  EXPECT_EQ(prompts->beeps, 0);
  EXPECT_TRUE(prompts->messages.empty());
}

// Every maker, then the menu command that reads its form: the selection comes back.
TEST_F(MakeGarbledTest, EveryMakerRoundTripsThroughItsDecoder) {
  struct Case {
    int maker;
    Text clean;
    const char* decoder;  // a menu item, or a Trans-CP format for frmTL
    Text format;
    Text code_page;
  };
  const Case cases[] = {
      {0, u"中文 \U0001F600 &#x41;\r\nok", "mnuNumU_0", u"", u""},
      {1, u"中文 \\u0041\r\nok", "mnuNumU_1", u"", u""},
      {3, u"中文乱码\r\nok=1", "mnuReadQp_4", u"", u""},
      {4, u"中文\U00020000\r\nok", "mnuAskA2B_1", u"QP", u"中文简(GB18030)"},
      {5, u"中文亂碼\r\nok", "mnuReadQp_5", u"", u""},
      {6, u"中文亂碼\r\nok", "mnuAskA2B_1", u"QP", u"中文繁(CNS)"},
      {7, u"日本語ｶﾅ\r\nok", "mnuAskA2B_1", u"QP", u"日文(Shift-JIS)"},
      {8, u"日本語ｶﾅ\r\nok", "mnuAskA2B_1", u"QP", u"日文(EUC-JIS)"},
      {9, u"한국어\r\nok", "mnuAskA2B_1", u"QP", u"韩文(KSC)"},
      {10, u"한국어\r\nok", "mnuAskA2B_1", u"QP", u"韩文(Johab)"},
      {11, u"Café déjà\r\nok", "mnuAskA2B_1", u"QP", u"西欧(Windows)"},
      {12, u"中文 € ok\r\nok", "mnuReadQp_6", u"", u""},
      {14, u"中文乱码\r\nok", "mnuBase64_0", u"", u""},
      {15, u"中文\U00020000\r\nok", "mnuAskA2B_1", u"Base64", u"中文简(GB18030)"},
      {16, u"中文亂碼\r\nok", "mnuAskA2B_1", u"Base64", u"中文繁(Big5)"},
      {17, u"中文 € ok\r\nok", "mnuBase64_2", u"", u""},
      {19, u"中文 a+b ok\r\nok", "mnuJieA_0", u"", u""},
      {20, u"中文 ~ ok\r\n乱码", "mnuJieA_1", u"", u""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.maker);
    // The selection is the whole text where the decoder reads the whole text
    // and would take the surrounding words for its input; Base64 of the menu
    // decodes the selection the maker leaves selected.
    const bool whole = !c.format.empty() && c.format != u"QP";
    const Text before = whole ? u"" : u"head ";
    const Text after = whole ? u"" : u" tail";
    StartWith(before + c.clean + after);
    Select(static_cast<std::int32_t>(before.size()), ScaleLengthOf(c.clean));
    Trigger(QStringLiteral("mnuMake_%1").arg(c.maker));
    ASSERT_NE(box().GetText(), before + c.clean + after);
    if (!c.format.empty()) prompts->OnNextDialog(PickTransfer(c.format, c.code_page));
    Trigger(c.decoder);
    EXPECT_EQ(Hex(box().GetText()), Hex(before + c.clean + after));
  }
  EXPECT_EQ(prompts->beeps, 0);
  EXPECT_TRUE(prompts->messages.empty());
}

TEST_F(MakeGarbledTest, SelectionAndResultMustFitTheRoom) {
  // A selection that is the whole text: 3 x 5334 = 16002 does not fit.
  StartWith(Text(5334, u'a'));
  Select(0, 5334);
  Trigger("mnuMake_12");
  EXPECT_EQ(prompts->Texts(), std::vector<std::u16string>{u"编写 QP-Utf8 未成~ 选取文本过长"});
  EXPECT_EQ(box().TextLength(), 5334);
  EXPECT_EQ(box().SelLength(), 5334);
  EXPECT_EQ(window->History().nCur(), TextHistory::kOriginal);

  // 5000 of 5000: 15000 fits.
  box().SetText(Text(5000, u'a'));
  Select(0, 5000);
  Trigger("mnuMake_12");
  EXPECT_EQ(Say(), u"编写 QP-Utf8");
  EXPECT_EQ(prompts->messages.size(), 1u);

  // 2000 selected of 10000 leave 8000: Num(UBE) of 1200 ideographs and 800
  // letters is exactly 8000, one ideograph more is 8005.
  const Text rest(8000, u'x');
  StartWith(rest + Text(1200, u'中') + Text(800, u'a'));
  Select(8000, 2000);
  Trigger("mnuMake_1");
  EXPECT_EQ(box().TextLength(), 16000);
  EXPECT_EQ(box().SelLength(), 8000);
  const Text over = rest + Text(1201, u'中') + Text(799, u'a');
  StartWith(over);
  Select(8000, 2000);
  Trigger("mnuMake_1");
  EXPECT_EQ(prompts->Texts().back(), u"编写 Num(UBE) 未成~ 结果文本过长");
  EXPECT_EQ(prompts->messages.size(), 2u);
  EXPECT_EQ(box().GetText(), over);
}

TEST_F(MakeGarbledTest, ALoneCrStaysAndTheRoomCountsWhatTheBoxHolds) {
  // The box holds a CR without LF as one code unit, and the maker keeps it one:
  // "\r" and 100 x "&#x4E2D;" are 801, exactly the room beside 15199 others.
  const Text selection = u"\r" + Text(100, u'中');
  Text made = u"\r";
  for (int i = 0; i < 100; ++i) made += u"&#x4E2D;";
  StartWith(Text(15199, u'x') + selection);
  Select(15199, 101);
  Trigger("mnuMake_0");
  EXPECT_EQ(Hex(box().GetText().substr(15199)), Hex(made));
  EXPECT_EQ(box().TextLength(), 16000);
  EXPECT_EQ(Selection(), std::pair(15199, 801));
  // One more character beside it leaves a room of 800: refused whole.
  const Text over = Text(15200, u'x') + selection;
  StartWith(over);
  Select(15200, 101);
  Trigger("mnuMake_0");
  EXPECT_EQ(prompts->Texts(), std::vector<std::u16string>{u"编写 HTM(U) 未成~ 结果文本过长"});
  EXPECT_EQ(box().GetText(), over);
}

TEST_F(MakeGarbledTest, NothingSelectedSameTextAndNuls) {
  box().SetText(u"abc");
  box().SetSelStart(1);
  Trigger("mnuMake_0");
  EXPECT_EQ(Say(), u"未经改动");
  EXPECT_EQ(prompts->beeps, 1);

  // Utf7 leaves letters and digits as they are.
  StartWith(u"abc123");
  for (const int length : {6, 3}) {
    Select(0, length);
    Trigger("mnuMake_19");
    EXPECT_EQ(box().GetText(), u"abc123");
    EXPECT_EQ(Say(), u"经过改动，仍然相同");
  }

  // A NUL is encoded as a space.
  box().SetText(Text(u"a\0b", 3));
  Select(0, 3);
  Trigger("mnuMake_0");
  EXPECT_EQ(box().GetText(), u"a b");
}

}  // namespace
}  // namespace mok::testing
