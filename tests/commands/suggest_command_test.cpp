#include "commands/suggest_command.h"

#include <QLabel>
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

// The dialog's columns: preview, language, how sure (first row), menu.
constexpr int kLanguageColumn = 1;
constexpr int kConfidenceColumn = 2;
constexpr int kMenuColumn = 3;

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
    EXPECT_EQ(dialog.Explanation()->text(), QStringLiteral("原为 Shift-JIS 编码，被当作 GBK 读出"));
    // How sure the choice is belongs to the first row only.
    for (int row = 1; row < dialog.List()->topLevelItemCount(); ++row) {
      EXPECT_TRUE(Cell(dialog, row, kConfidenceColumn).isEmpty()) << row;
    }
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
  // Korean read as GBK: the text as it is is among the rows offered.
  const Text garbled = ReadAs(u"한국어로 된 설명서입니다", 949, 936);
  const auto expected = SuggestRepairs(garbled);
  ASSERT_GE(expected.size(), 3u);
  const auto as_is = std::find_if(expected.begin(), expected.end(), [](const auto& s) { return !s.ChangesText(); });
  ASSERT_NE(as_is, expected.end());
  const int as_is_row = static_cast<int>(as_is - expected.begin());
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
       expected[1].text, expected[1].ChangesText() ? SuggestionStatusText(expected[1]) : Text(u"经过改动，仍然相同")},
      {"no-change row",
       [as_is_row](SuggestDialog& dialog) {
         dialog.ChooseRow(as_is_row);
         EXPECT_EQ(dialog.Explanation()->text(), QStringLiteral("不改动"));
         EXPECT_TRUE(Cell(dialog, as_is_row, kMenuColumn).isEmpty());
         dialog.Ok();
       },
       garbled, u"经过改动，仍然相同"},
      {"Cancel",
       [](SuggestDialog& dialog) {
         dialog.ChooseRow(0);
         dialog.Cancel();
       },
       garbled, u"garbled"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    box().SetText(garbled);
    window->SetOriginal(u"garbled");
    Script(*prompts, c.act);
    Trigger("mnuSuggest");
    EXPECT_EQ(Hex(box().GetText()), Hex(c.text));
    EXPECT_EQ(Say(), c.say);
    EXPECT_EQ(window->History().nCur() == TextHistory::kOriginal, c.text == garbled);
  }
  EXPECT_EQ(prompts->beeps, 0);
  EXPECT_TRUE(prompts->messages.empty());
}

// Nothing to repair, or text that is clearly best left as it is: "未经改动"
// and a beep, and no list.
TEST_F(SuggestCommandTest, CleanTextOrNothingIsNotChangedWithABeep) {
  const Text texts[] = {Text(), Text(u"Hello"), Text(u"这是一段正常的中文文字，没有乱码。"),
                        Text(u"Οδηγός εγκατάστασης του Debian")};
  for (const Text& text : texts) {
    box().SetText(text);
    Trigger("mnuSuggest");
    EXPECT_EQ(Say(), u"未经改动");
    EXPECT_EQ(box().GetText(), text);
  }
  EXPECT_EQ(prompts->beeps, static_cast<int>(std::size(texts)));
  EXPECT_TRUE(prompts->dialogs_shown.empty());
}

TEST_F(SuggestCommandTest, TextThatStillLooksGarbledIsListedAndSaidSo) {
  box().SetText(u"锟斤拷锟斤拷烫烫烫屯屯屯");
  Script(*prompts, [](SuggestDialog& dialog) {
    EXPECT_EQ(Cell(dialog, 0, kConfidenceColumn), QStringLiteral("仍像乱码"));
    EXPECT_TRUE(Cell(dialog, 0, kLanguageColumn).isEmpty());
    dialog.Cancel();
  });
  Trigger("mnuSuggest");
  EXPECT_EQ(prompts->dialogs_shown, std::vector<std::u16string>{u"frmSuggest"});
}

TEST_F(SuggestCommandTest, RepairsTheGarbledPassageAndSaysWhereAndWhatWasLost) {
  const Text host = u"这是一段正常的中文文字，用来说明问题。\r\n";
  const Text paragraph = u"在绝大多数情况下，这是正确的。";
  box().SetText(host + host + ReadAs(paragraph, 65001, 936) + u"\r\n" + host);
  Script(*prompts, [](SuggestDialog& dialog) {
    EXPECT_EQ(Cell(dialog, 0, kConfidenceColumn), QStringLiteral("明确"));
    EXPECT_TRUE(Cell(dialog, 0, kMenuColumn).isEmpty());
    EXPECT_EQ(dialog.Explanation()->text(),
              QStringLiteral("逐段修复 1 段：原为 UTF-8 编码，被当作 GBK 读出（1 段）\n位置：第 3 行"));
    dialog.Ok();
  });
  Trigger("mnuSuggest");
  EXPECT_EQ(Hex(box().GetText()), Hex(host + host + paragraph + u"\r\n" + host));
  EXPECT_EQ(Say(), u"自动解读 逐段修复");

  // UTF-8 Chinese whose odd last byte became "?": all but the last character.
  Text lossy = ReadAs(u"中文测", 65001, 936);
  lossy.back() = u'?';
  box().SetText(lossy);
  Script(*prompts, [](SuggestDialog& dialog) {
    EXPECT_EQ(dialog.Explanation()->text(), QStringLiteral("原为 UTF-8 编码，被当作 GBK 读出；有 1 处无法恢复"));
    dialog.Ok();
  });
  Trigger("mnuSuggest");
  EXPECT_EQ(box().GetText(), u"中文\uFFFD");
  EXPECT_EQ(Say(), u"自动解读 GB--Utf8");
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
    ASSERT_EQ(dialog.Explanation()->text(), QStringLiteral("原为 UTF-16BE 编码，被当作 UTF-16LE 读出"));
    dialog.Ok();
  });
  Trigger("mnuSuggest");
  EXPECT_EQ(prompts->Texts(), std::vector<std::u16string>{u"自动解读 UBE--ULE 未成~ 文本过长"});
  EXPECT_EQ(box().GetText(), filler + garbled);
}

}  // namespace
}  // namespace mok::testing
