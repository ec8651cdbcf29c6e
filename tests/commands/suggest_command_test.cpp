#include "commands/suggest_command.h"

#include <QTreeWidget>

#include "dialogs/suggest_dialog.h"
#include "repair/explain.h"
#include "tests/support/read_as.h"
#include "tests/support/window_fixture.h"

namespace mok::testing {
namespace {

using SuggestCommandTest = WindowTest;

// Japanese whose Shift-JIS bytes were read as GBK: "GB--日文" repairs it.
const Text kClean = u"日本語のテキストを読む";
Text Garbled() { return ReadAs(kClean, 932, 936); }

// The dialog's columns: preview, language, clear or close call, menu, explanation.
constexpr int kLanguageColumn = 1;
constexpr int kConfidenceColumn = 2;
constexpr int kMenuColumn = 3;
constexpr int kExplanationColumn = 4;

QString Cell(SuggestDialog& dialog, int row, int column) {
  return dialog.List()->topLevelItem(row)->text(column);
}

// What the user does in the dialog, through the dialog's own handlers.
void Script(ScriptedPrompts& prompts, std::function<void(SuggestDialog&)> act) {
  prompts.OnNextDialog([act = std::move(act)](ModalDialog& shown) {
    auto& dialog = dynamic_cast<SuggestDialog&>(shown);
    dialog.Showing();
    act(dialog);
  });
}

TEST_F(SuggestCommandTest, ListsTheRepairsBestFirstWithTheirExplanations) {
  box().SetText(Garbled());
  window->SetOriginal(u"garbled");
  Script(*prompts, [](SuggestDialog& dialog) {
    ASSERT_GE(dialog.List()->topLevelItemCount(), 2);
    ASSERT_LE(dialog.List()->topLevelItemCount(), 5);
    EXPECT_EQ(dialog.nChosen(), 0);
    EXPECT_EQ(Cell(dialog, 0, 0), Q(kClean));
    EXPECT_EQ(Cell(dialog, 0, kLanguageColumn), QStringLiteral("日文"));
    EXPECT_EQ(Cell(dialog, 0, kConfidenceColumn), QStringLiteral("明确"));
    EXPECT_EQ(Cell(dialog, 0, kMenuColumn), QStringLiteral("菜单：GB--日文"));
    EXPECT_EQ(Cell(dialog, 0, kExplanationColumn), QStringLiteral("原为 Shift-JIS 编码，被当作 GBK 读出"));
    dialog.Ok();
  });
  Trigger("mnuSuggest");
  EXPECT_EQ(prompts->dialogs_shown, std::vector<std::u16string>{u"frmSuggest"});
  EXPECT_EQ(Hex(box().GetText()), Hex(kClean));
  EXPECT_EQ(Say(), u"自动解读 GB--日文");
  EXPECT_EQ(window->History().Current().say, u"自动解读 GB--日文");

  // One history state: F5 brings the garbled text back.
  Key(Qt::Key_F5);
  EXPECT_EQ(box().GetText(), Garbled());
}

// The user's choices: the second row, the no-change row, Cancel.
TEST_F(SuggestCommandTest, AppliesTheChosenRowAndNothingOnNoChangeOrCancel) {
  const auto expected = SuggestRepairs(Garbled());
  ASSERT_GE(expected.size(), 2u);
  struct Case {
    const char* name;
    std::function<void(SuggestDialog&)> act;
    Text text, say;
  };
  const Case cases[] = {
      {"second row",
       [](SuggestDialog& dialog) {
         dialog.ChooseRow(1);
         dialog.Ok();
       },
       expected[1].text, expected[1].steps.empty() ? Text(u"经过改动，仍然相同") : RepairStatusText(expected[1].steps)},
      {"no-change row",
       [](SuggestDialog& dialog) {
         for (int row = 0; row < dialog.List()->topLevelItemCount(); ++row) {
           if (Cell(dialog, row, kExplanationColumn) == QStringLiteral("不改动")) {
             EXPECT_TRUE(Cell(dialog, row, kMenuColumn).isEmpty());
             dialog.ChooseRow(row);
           }
         }
         ASSERT_GT(dialog.nChosen(), 0) << "no 不改动 row";
         dialog.Ok();
       },
       Garbled(), u"经过改动，仍然相同"},
      {"Cancel",
       [](SuggestDialog& dialog) {
         dialog.ChooseRow(0);
         dialog.Cancel();
       },
       Garbled(), u"garbled"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    box().SetText(Garbled());
    window->SetOriginal(u"garbled");
    Script(*prompts, c.act);
    Trigger("mnuSuggest");
    EXPECT_EQ(Hex(box().GetText()), Hex(c.text));
    EXPECT_EQ(Say(), c.say);
    EXPECT_EQ(window->History().nCur() == TextHistory::kOriginal, c.text == Garbled());
  }
  EXPECT_EQ(prompts->beeps, 0);
  EXPECT_TRUE(prompts->messages.empty());
}

TEST_F(SuggestCommandTest, NothingToSuggestIsNotChangedWithABeep) {
  for (const Text& text : {Text(), Text(1, static_cast<char16_t>(0xD800))}) {
    box().SetText(text);
    Trigger("mnuSuggest");
    EXPECT_EQ(Say(), u"未经改动");
    EXPECT_EQ(box().GetText(), text);
  }
  EXPECT_EQ(prompts->beeps, 2);
  EXPECT_TRUE(prompts->dialogs_shown.empty());
}

TEST_F(SuggestCommandTest, RepairsOnlyTheSelection) {
  const Text before = u"前言：正常的文字。\r\n";
  const Text after = u"\r\n结尾也正常。";
  box().SetText(before + Garbled() + after);
  Select(static_cast<std::int32_t>(before.size()) - 1, static_cast<std::int32_t>(Garbled().size()));  // CR LF counts one
  ASSERT_EQ(box().SelText(), Garbled());
  Script(*prompts, [](SuggestDialog& dialog) {
    EXPECT_EQ(Cell(dialog, 0, 0), Q(kClean));
    dialog.Ok();
  });
  Trigger("mnuSuggest");
  EXPECT_EQ(Hex(box().GetText()), Hex(before + kClean + after));
  EXPECT_EQ(box().SelText(), kClean);
  EXPECT_EQ(Say(), u"自动解读 GB--日文");
}

TEST_F(SuggestCommandTest, ASelectionRepairThatWouldNotFitIsRefused) {
  // UTF-16 read with its bytes swapped, selected at the end of a text that
  // leaves room for less than the repair's line breaks add (a lone CR in the
  // selection becomes CR LF in the box).
  Text garbled;
  for (int i = 0; i < 40; ++i) garbled += u"\u0D00\u2D4E\u8765";  // "\r中文" swapped; repaired, each CR gains an LF
  Text filler(TextBox::kTextLimit - garbled.size() - 10, u'x');
  box().SetText(filler + garbled);
  Select(static_cast<std::int32_t>(filler.size()), static_cast<std::int32_t>(garbled.size()));
  Script(*prompts, [](SuggestDialog& dialog) {
    ASSERT_EQ(Cell(dialog, 0, kExplanationColumn), QStringLiteral("原为 UTF-16BE 编码，被当作 UTF-16LE 读出"));
    dialog.Ok();
  });
  Trigger("mnuSuggest");
  EXPECT_EQ(prompts->Texts(), std::vector<std::u16string>{u"自动解读 UBE--ULE 未成~ 文本过长"});
  EXPECT_EQ(box().GetText(), filler + garbled);
}

}  // namespace
}  // namespace mok::testing
