#include "repair/suggest.h"

#include <gtest/gtest.h>

#include <set>

#include "repair/explain.h"
#include "tests/support/hex.h"
#include "tests/support/read_as.h"

namespace mok::testing {
namespace {

TEST(SuggestRepairsTest, RanksTheRightRepairFirst) {
  const struct {
    Text clean;
    std::int32_t really, shown_as;
    Language language;
  } cases[] = {
      {u"日本語のテキストを読む", 932, 936, Language::Japanese},
      {u"這是一段繁體中文的說明文字", 950, 936, Language::TraditionalChinese},
      {u"这是一段简体中文的说明文字", 936, 950, Language::SimplifiedChinese},
      {u"한국어로 된 설명서입니다", 949, 936, Language::Korean},
      {u"Это руководство по установке", 1251, 20866, Language::Russian},
      {u"Größere Maßnahmen für Übersetzer", 65001, 1252, Language::German},
      {u"Le système a été mis à jour", 65001, 1252, Language::French},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Hex(c.clean));
    const auto suggestions = SuggestRepairs(ReadAs(c.clean, c.really, c.shown_as));
    ASSERT_FALSE(suggestions.empty());
    EXPECT_EQ(Hex(suggestions.front().text), Hex(c.clean));
    ASSERT_EQ(suggestions.front().steps.size(), 1u);
    EXPECT_EQ(suggestions.front().steps.front(), (RepairStep{c.shown_as, c.really}));
    EXPECT_EQ(suggestions.front().language, c.language);
    EXPECT_EQ(suggestions.front().explanation, ExplainSteps(suggestions.front().steps));
  }
}

TEST(SuggestRepairsTest, CleanTextIsBestLeftAlone) {
  for (const Text& clean : {Text(u"这是一段正常的中文文字。"), Text(u"日本語の文章です。"), Text(u"정상적인 한국어 문장"),
                            Text(u"Обычный русский текст."), Text(u"Ein ganz normaler Satz für Sie."),
                            Text(u"Un texte français ordinaire."), Text(u"Plain English text."),
                            Text(u"繁體中文的正常句子。")}) {
    SCOPED_TRACE(Hex(clean));
    const auto suggestions = SuggestRepairs(clean);
    ASSERT_FALSE(suggestions.empty());
    EXPECT_TRUE(suggestions.front().steps.empty());
    EXPECT_EQ(suggestions.front().text, clean);
    EXPECT_EQ(suggestions.front().explanation, u"不改动");
  }
}

TEST(SuggestRepairsTest, GrowsAChainForTextGarbledTwice) {
  const Text clean = u"中文的说明文字，Größe";
  const Text twice = ReadAs(ReadAs(clean, 65001, 1252), 65001, 1252);
  const auto suggestions = SuggestRepairs(twice);
  ASSERT_FALSE(suggestions.empty());
  EXPECT_EQ(Hex(suggestions.front().text), Hex(clean));
  const std::vector<RepairStep> expected = {{1252, 65001}, {1252, 65001}};
  EXPECT_EQ(suggestions.front().steps, expected);
  EXPECT_EQ(suggestions.front().explanation,
            u"原为 UTF-8 编码，被当作 西欧(Windows) 读出，再以 UTF-8 编码，被当作 西欧(Windows) 读出");
}

TEST(SuggestRepairsTest, ScoresTheSameStretchOfTheInputForEveryCandidate) {
  // A long plain header, then Japanese read as GBK: the garbled part decides.
  Text text;
  while (text.size() < 3000) text += u"int status = read_config(path);\r\n";
  const Text clean_tail = u"設定ファイルを読み込めませんでした。もう一度確認してください。";
  const auto suggestions = SuggestRepairs(text + ReadAs(clean_tail, 932, 936));
  ASSERT_FALSE(suggestions.empty());
  EXPECT_EQ(suggestions.front().text, text + clean_tail);
}

TEST(SuggestRepairsTest, EveryRowIsLosslessDistinctAndRanked) {
  const Text garbled = ReadAs(u"日本語と中文とEnglish、混ざった文章", 932, 936);
  const auto suggestions = SuggestRepairs(garbled, 5);
  ASSERT_EQ(suggestions.size(), 5u);
  std::set<Text> texts;
  for (std::size_t i = 0; i < suggestions.size(); ++i) {
    const RepairSuggestion& s = suggestions[i];
    texts.insert(s.text);
    // Replaying the steps gives the row's text: nothing in it was lost.
    Text replay = garbled;
    for (const RepairStep step : s.steps) {
      auto result = ApplyLosslessStep(replay, step);
      ASSERT_TRUE(result.has_value());
      replay = result->text;
    }
    EXPECT_EQ(replay, s.text);
    if (i + 1 < suggestions.size()) {
      EXPECT_GE(s.score, suggestions[i + 1].score);
      EXPECT_DOUBLE_EQ(s.margin, s.score - suggestions[i + 1].score);
    }
  }
  EXPECT_EQ(texts.size(), suggestions.size());
  EXPECT_TRUE(IsClearChoice(suggestions.front()));
}

TEST(SuggestRepairsTest, NeverFailsOnAnyInput) {
  EXPECT_TRUE(SuggestRepairs(u"").empty());
  EXPECT_TRUE(SuggestRepairs(u"abc", 0).empty());
  EXPECT_EQ(SuggestRepairs(u"abc", 1).size(), 1u);
  Text odd;
  for (char16_t c = 0; c < 0x400; ++c) odd += static_cast<char16_t>(c * 163u);  // lone surrogates, NULs, PUA
  EXPECT_FALSE(SuggestRepairs(odd).empty());
  EXPECT_FALSE(SuggestRepairs(Text(20000, u'\xDCFF')).empty());
}

TEST(ExplainTest, NamesStepsAsTheMenusDo) {
  EXPECT_EQ(ExplainSteps(std::vector<RepairStep>{kUtf16Swap}), u"原为 UTF-16BE 编码，被当作 UTF-16LE 读出");
  // The last garbling first.
  EXPECT_EQ(ExplainSteps(std::vector<RepairStep>{{936, 950}, {1251, 20866}}),
            u"原为 KOI8-R 编码，被当作 西里尔(Windows) 读出，再以 Big5 编码，被当作 GBK 读出");
  EXPECT_EQ(ExplainSteps({}), u"不改动");

  EXPECT_EQ(MenuCommandOf({1252, 65001}), u"Eng--Utf8");
  EXPECT_EQ(MenuCommandOf({28591, 936}), u"Latin1--GB");
  EXPECT_EQ(MenuCommandOf(kUtf16Swap), u"UBE--ULE");
  EXPECT_EQ(MenuCommandOf({1251, 20866}), u"CP--CP 西里尔(Windows)--西里尔(KOI8-R)");
  EXPECT_EQ(MenuCommandsOf(std::vector<RepairStep>{{1252, 65001}, {1252, 65001}}), u"Eng--Utf8，再 Eng--Utf8");
  EXPECT_EQ(MenuCommandsOf({}), u"");

  EXPECT_EQ(RepairStatusText(std::vector<RepairStep>{{1252, 65001}, {20866, 1251}}),
            u"自动解读 Eng--Utf8 + 西里尔(KOI8-R)--西里尔(Windows)");
  EXPECT_EQ(RepairStatusText({}), u"自动解读 不改动");

  RepairSuggestion row;
  // One row described for a list: each part as the functions above give it.
  row.confidence = Confidence::CloseCall;
  row.steps = {{936, 932}};
  row.explanation = ExplainSteps(row.steps);
  row.language = Language::Japanese;
  const SuggestionWords words = DescribeSuggestion(row);
  EXPECT_EQ(words.explanation, u"原为 Shift-JIS 编码，被当作 GBK 读出");
  EXPECT_EQ(words.menu, u"GB--日文");
  EXPECT_EQ(words.status, u"自动解读 GB--日文");
  EXPECT_EQ(words.language, u"日文");
  EXPECT_FALSE(words.clear);
  EXPECT_EQ(words.confidence, u"难分");
}

}  // namespace
}  // namespace mok::testing
