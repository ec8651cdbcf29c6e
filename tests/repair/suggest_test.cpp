#include "repair/suggest.h"

#include <gtest/gtest.h>

#include <set>

#include "repair/candidates.h"
#include "repair/explain.h"
#include "tests/support/hex.h"
#include "tests/support/read_as.h"

namespace mok::testing {
namespace {

// Code units of a text whose UTF-16 bytes were read the other way round.
Text Swapped(TextView text) {
  Text out;
  for (const char16_t c : text) out += static_cast<char16_t>((c >> 8) | (c << 8));
  return out;
}

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
      // File names from zip archives, as unzip shows them.
      {u"会议纪要.docx", 936, 437, Language::SimplifiedChinese},
      {u"プロジェクト計画書.xlsx", 932, 437, Language::Japanese},
      {u"会议纪要第二版.doc", 936, 866, Language::SimplifiedChinese},
      {u"Документы за январь.txt", 866, 437, Language::Russian},
      // EUC-JP read by Chinese and Japanese Windows programs.
      {u"日本語のテキストを読み込みました。", 20932, 936, Language::Japanese},
      {u"日本語のテキストを読み込みました。", 20932, 932, Language::Japanese},
      // The single-byte pages read as Western European, and UTF-8 read as Greek.
      {u"Οδηγός εγκατάστασης του Debian", 1253, 1252, Language::Greek},
      {u"Podręcznik instalacji, zażółć gęślą jaźń", 1250, 1252, Language::Polish},
      {u"Kurulum kılavuzu: şimdi çalıştırın", 1254, 1252, Language::Turkish},
      {u"מדריך ההתקנה של דביאן", 1255, 1252, Language::Hebrew},
      {u"دليل تثبيت دبيان", 1256, 1252, Language::Arabic},
      {u"Diegimo vadovas: įdiegti sistemą ūkyje", 1257, 1252, Language::Lithuanian},
      {u"Οδηγός εγκατάστασης", 65001, 1253, Language::Greek},
      // GB18030's four-byte characters read as GBK (its bytes kept).
      {u"汉字\U00020000和\u3400的编码，这是一个测试句子。", 54936, 936, Language::SimplifiedChinese},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Hex(c.clean));
    const auto suggestions = SuggestRepairs(ReadAs(c.clean, c.really, c.shown_as));
    ASSERT_FALSE(suggestions.empty());
    EXPECT_EQ(Hex(suggestions.front().text), Hex(c.clean));
    ASSERT_EQ(suggestions.front().steps.size(), 1u);
    EXPECT_EQ(suggestions.front().steps.front(), (RepairStep{c.shown_as, c.really}));
    EXPECT_EQ(suggestions.front().language, c.language);
    EXPECT_EQ(suggestions.front().confidence, Confidence::Clear);
    EXPECT_EQ(suggestions.front().explanation, ExplainSteps(suggestions.front().steps));
  }
}

TEST(SuggestRepairsTest, RepairsWhatNoCodePageStepRepairs) {
  const Text japanese = u"日本語のテキストを読み込みました。";
  const Bytes iso = TextToCpBytes(japanese, 50221);
  const Text raw(iso.begin(), iso.end());
  Text no_escapes;
  for (const char16_t c : raw) {
    if (c != 0x1B) no_escapes += c;
  }
  // "绝" (U+7EDD) swaps to a lone surrogate.
  const Text chinese = u"在绝大多数情况下，这是正确的。";
  const struct {
    const char* name;
    Text garbled, clean;
    RepairStep step;
    const char16_t* menu;
  } cases[] = {
      {"ISO-2022-JP shown raw", raw, japanese, kIso2022Japanese, u"Esc+日文(ISO-2022)"},
      {"ISO-2022-JP without its escapes", no_escapes, japanese, kIso2022Japanese, u"Esc+日文(ISO-2022)"},
      {"UTF-16 swap with lone surrogates", Swapped(chinese), chinese, kUtf16Swap, u"UBE--ULE"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto suggestions = SuggestRepairs(c.garbled);
    ASSERT_FALSE(suggestions.empty());
    EXPECT_EQ(Hex(suggestions.front().text), Hex(c.clean));
    EXPECT_EQ(suggestions.front().steps, std::vector<RepairStep>{c.step});
    EXPECT_EQ(DescribeSuggestion(suggestions.front()).menu, c.menu);
  }
}

TEST(SuggestRepairsTest, CleanTextIsBestLeftAloneAndSaysSo) {
  for (const Text& clean :
       {Text(u"Hello"), Text(u"这是一段正常的中文文字。"), Text(u"日本語の文章です。"), Text(u"정상적인 한국어 문장"),
        Text(u"Обычный русский текст."), Text(u"Ein ganz normaler Satz für Sie."), Text(u"Plain English text."),
        Text(u"Οδηγός εγκατάστασης του Debian"), Text(u"دليل تثبيت دبيان"), Text(u"מדריך ההתקנה של דביאן"),
        Text(u"Podręcznik instalacji systemu Debian"), Text(u"คู่มือการติดตั้งเดเบียน"),
        // Full-width letters and digits read as ASCII (alone, they once came
        // out as Chinese by two steps, marked 明确).
        Text(u"ＡＢＣ.txt"), Text(u"ｗｉｎｄｏｗｓ１０.iso"), Text(u"２０２６年")}) {
    SCOPED_TRACE(Hex(clean));
    const auto suggestions = SuggestRepairs(clean);
    ASSERT_FALSE(suggestions.empty());
    EXPECT_FALSE(suggestions.front().ChangesText());
    EXPECT_EQ(suggestions.front().text, clean);
    EXPECT_EQ(suggestions.front().explanation, u"不改动");
    EXPECT_EQ(suggestions.front().confidence, Confidence::Clear);
    EXPECT_TRUE(suggestions.front().language.has_value());
  }
}

TEST(SuggestRepairsTest, OnlyTheFirstRowIsSureAndJunkIsInNoLanguage) {
  // "Hello" swapped is 䠀攀氀氀漀: offered below, in no language, sure of nothing.
  const auto suggestions = SuggestRepairs(u"Hello");
  ASSERT_GE(suggestions.size(), 2u);
  EXPECT_EQ(suggestions[1].text, u"\u4800\u6500\u6C00\u6C00\u6F00");
  for (std::size_t i = 1; i < suggestions.size(); ++i) {
    EXPECT_EQ(suggestions[i].confidence, Confidence::None);
    EXPECT_FALSE(suggestions[i].language.has_value()) << Hex(suggestions[i].text);
  }
}

TEST(SuggestRepairsTest, SaysWhenEvenTheBestStillLooksGarbled) {
  const auto suggestions = SuggestRepairs(u"锟斤拷锟斤拷烫烫烫屯屯屯");
  ASSERT_FALSE(suggestions.empty());
  EXPECT_EQ(suggestions.front().confidence, Confidence::StillGarbled);
  EXPECT_FALSE(suggestions.front().language.has_value());
}

// Text in which a replacing decoder already lost bytes: every character whose
// bytes survived comes back, each lost one is one U+FFFD.
TEST(SuggestRepairsTest, RepairsLossyTextAroundWhatWasLost) {
  const Text sentence = u"在绝大多数情况下，这是正确的。我们需要检查文件的编码是否一致。";
  // UTF-8 read as GBK by a decoder that gave "?" or U+FFFD for the bytes it
  // could not read (here: the bytes this program's decoder kept).
  auto replacing = [](TextView clean, std::int32_t really, std::int32_t shown_as, char16_t mark) {
    Text garbled = ReadAs(clean, really, shown_as);
    for (char16_t& c : garbled) {
      if (c >= 0xDC80 && c <= 0xDCFF) c = mark;
    }
    return garbled;
  };
  const struct {
    const char* name;
    Text garbled, original;
  } cases[] = {
      {"odd last byte as ?", replacing(u"中文测", 65001, 936, u'?'), u"中文测"},
      {"U+FFFD inside", replacing(sentence, 65001, 936, 0xFFFD), sentence},
      {"? inside", replacing(sentence, 65001, 936, u'?'), sentence},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_NE(c.garbled, ReadAs(c.original, 65001, 936));  // something was lost
    const auto suggestions = SuggestRepairs(c.garbled);
    ASSERT_FALSE(suggestions.empty());
    const RepairSuggestion& best = suggestions.front();
    EXPECT_EQ(best.steps, (std::vector<RepairStep>{{936, 65001}}));
    ASSERT_EQ(best.text.size(), c.original.size()) << Hex(best.text);
    std::size_t lost = 0;
    for (std::size_t i = 0; i < best.text.size(); ++i) {
      if (best.text[i] == 0xFFFD) {
        ++lost;
      } else {
        EXPECT_EQ(best.text[i], c.original[i]) << i;
      }
    }
    EXPECT_GT(lost, 0u);
    EXPECT_EQ(best.lost, lost);
    EXPECT_EQ(best.explanation, u"原为 UTF-8 编码，被当作 GBK 读出；有 " + Text(1, u'0' + lost) + u" 处无法恢复");
  }
}

TEST(SuggestRepairsTest, RepairsEachGarbledPassageAndLeavesTheRestAsItIs) {
  const Text host = u"这是一段正常的中文文字，用来说明问题。\r\n";
  const Text paragraph = u"在绝大多数情况下，这是正确的。";
  const Text garbled = host + host + ReadAs(paragraph, 65001, 936) + u"\r\n" + host;
  const auto suggestions = SuggestRepairs(garbled);
  ASSERT_FALSE(suggestions.empty());
  const RepairSuggestion& best = suggestions.front();
  EXPECT_EQ(Hex(best.text), Hex(host + host + paragraph + u"\r\n" + host));
  EXPECT_TRUE(best.steps.empty());
  ASSERT_EQ(best.passages.size(), 1u);
  const RepairedPassage& p = best.passages.front();
  EXPECT_EQ(p.steps, (std::vector<RepairStep>{{936, 65001}}));
  EXPECT_EQ(p.begin, 2 * host.size());
  EXPECT_EQ(p.end, garbled.size() - host.size() - 2);
  EXPECT_EQ(TextView(best.text).substr(p.result_begin, p.result_end - p.result_begin), paragraph);
  // Everything around the passage is the input, unit for unit.
  EXPECT_EQ(TextView(best.text).substr(0, p.result_begin), TextView(garbled).substr(0, p.begin));
  EXPECT_EQ(TextView(best.text).substr(p.result_end), TextView(garbled).substr(p.end));
  EXPECT_EQ(best.confidence, Confidence::Clear);
  EXPECT_EQ(best.explanation, u"逐段修复 1 段：原为 UTF-8 编码，被当作 GBK 读出（1 段）");
  EXPECT_EQ(SuggestionStatusText(best), u"自动解读 逐段修复");
  EXPECT_EQ(PassagePlaces(best, garbled), u"位置：第 3 行");
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

TEST(SuggestRepairsTest, GrowsAChainWhenOneStepAlreadyReadsAsCleanText) {
  // One accented letter in an English line, garbled twice: one step gives
  // text that looks clean (a Chinese pair, or "Ã" and a space), but no
  // single step is clearly ahead, so the chains still grow and win.
  const Text clean = u"an example of a call to \u00E0 which works in either case, assuming that";
  const Text twice = ReadAs(ReadAs(clean, 65001, 1252), 65001, 1252);
  const auto suggestions = SuggestRepairs(twice, 1);
  ASSERT_EQ(suggestions.size(), 1u);
  EXPECT_EQ(Hex(suggestions.front().text), Hex(clean));
  // Clean text: no chain is grown, and no row of two steps is offered.
  for (const RepairSuggestion& row : SuggestRepairs(u"中文的说明文字，长一点的句子。", 5)) {
    EXPECT_LE(row.steps.size(), 1u) << Hex(row.text);
  }
}

TEST(SuggestRepairsTest, ScoresTheStartOfTheGarbledPartAndRepairsTheWholeText) {
  // A long plain header, then Japanese read as GBK: the garbled part decides;
  // text after the sample is repaired too.
  Text header;
  while (header.size() < 3000) header += u"int status = read_config(path);\r\n";
  Text tail;
  while (tail.size() < 6000) tail += u"設定ファイルを読み込めませんでした。もう一度確認してください。\r\n";
  const auto suggestions = SuggestRepairs(header + ReadAs(tail, 932, 936));
  ASSERT_FALSE(suggestions.empty());
  EXPECT_EQ(suggestions.front().text, header + tail);
  EXPECT_EQ(suggestions.front().steps, (std::vector<RepairStep>{{936, 932}}));
}

TEST(SuggestRepairsTest, EveryRowIsDistinctRankedAndMadeByItsSteps) {
  const Text garbled = ReadAs(u"日本語と中文とEnglish、混ざった文章", 932, 936);
  const auto suggestions = SuggestRepairs(garbled, 5);
  ASSERT_EQ(suggestions.size(), 5u);
  std::set<Text> texts;
  for (std::size_t i = 0; i < suggestions.size(); ++i) {
    const RepairSuggestion& s = suggestions[i];
    texts.insert(s.text);
    // Replaying the steps gives the row's text.
    const auto replay = ApplySteps(garbled, s.steps, false);
    ASSERT_TRUE(replay.has_value());
    EXPECT_EQ(replay->text, s.text);
    if (i + 1 < suggestions.size()) {
      EXPECT_GE(s.score, suggestions[i + 1].score);
      EXPECT_DOUBLE_EQ(s.margin, s.score - suggestions[i + 1].score);
    }
  }
  EXPECT_EQ(texts.size(), suggestions.size());
}

TEST(SuggestRepairsTest, NeverFailsOnAnyInput) {
  EXPECT_TRUE(SuggestRepairs(u"").empty());
  EXPECT_TRUE(SuggestRepairs(u"abc", 0).empty());
  EXPECT_EQ(SuggestRepairs(u"abc", 1).size(), 1u);
  Text odd;
  for (char16_t c = 0; c < 0x400; ++c) odd += static_cast<char16_t>(c * 163u);  // lone surrogates, NULs, PUA
  EXPECT_FALSE(SuggestRepairs(odd).empty());
  EXPECT_FALSE(SuggestRepairs(Text(20000, u'\xDCFF')).empty());
  EXPECT_FALSE(SuggestRepairs(Text(5000, u'?') + Text(5000, 0xFFFD)).empty());
}

TEST(ExplainTest, NamesStepsAsTheMenusDo) {
  EXPECT_EQ(ExplainSteps(std::vector<RepairStep>{kUtf16Swap}), u"原为 UTF-16BE 编码，被当作 UTF-16LE 读出");
  // The last garbling first.
  EXPECT_EQ(ExplainSteps(std::vector<RepairStep>{{936, 950}, {1251, 20866}}),
            u"原为 KOI8-R 编码，被当作 西里尔(Windows) 读出，再以 Big5 编码，被当作 GBK 读出");
  EXPECT_EQ(ExplainSteps(std::vector<RepairStep>{{1252, 1254}}), u"原为 土耳其文(Windows) 编码，被当作 西欧(Windows) 读出");
  EXPECT_EQ(ExplainSteps({}), u"不改动");

  const struct {
    RepairStep step;
    const char16_t* menu;
    const char16_t* status;
  } steps[] = {
      {{1252, 65001}, u"Eng--Utf8", u"自动解读 Eng--Utf8"},
      {{28591, 936}, u"Latin1--GB", u"自动解读 Latin1--GB"},
      {kUtf16Swap, u"UBE--ULE", u"自动解读 UBE--ULE"},
      {{1251, 20866}, u"CP--CP 西里尔(Windows)--西里尔(KOI8-R)", u"自动解读 西里尔(Windows)--西里尔(KOI8-R)"},
      {kIso2022Chinese, u"Esc+中文(ISO-2022)", u"自动解读 Esc+中文(ISO-2022)"},
      {kIso2022Korean, u"Esc+韩文(ISO-2022)", u"自动解读 Esc+韩文(ISO-2022)"},
      // A code page the CP--CP dialog does not offer: no menu command does it.
      {{1252, 1254}, u"", u"自动解读 西欧(Windows)--土耳其文(Windows)"},
      {{951, 936}, u"", u"自动解读 中文繁(Big5-HKSCS)--中文简(GBK)"},
  };
  for (const auto& s : steps) {
    EXPECT_EQ(MenuCommandOf(s.step), s.menu);
    EXPECT_EQ(RepairStatusText(std::vector<RepairStep>{s.step}), s.status);
  }
  EXPECT_EQ(MenuCommandsOf(std::vector<RepairStep>{{1252, 65001}, {1252, 65001}}), u"Eng--Utf8，再 Eng--Utf8");
  EXPECT_EQ(MenuCommandsOf(std::vector<RepairStep>{{1252, 65001}, {1252, 1254}}), u"");
  EXPECT_EQ(MenuCommandsOf({}), u"");
  EXPECT_EQ(RepairStatusText({}), u"自动解读 不改动");
}

TEST(ExplainTest, DescribesARowWithItsStateLossAndPassages) {
  RepairSuggestion row;
  row.steps = {{936, 932}};
  row.explanation = ExplainSteps(row.steps);
  row.language = Language::Japanese;
  const struct {
    Confidence confidence;
    const char16_t* name;
  } states[] = {{Confidence::Clear, u"明确"},
                {Confidence::CloseCall, u"难分"},
                {Confidence::StillGarbled, u"仍像乱码"},
                {Confidence::None, u""}};
  for (const auto& s : states) {
    row.confidence = s.confidence;
    const SuggestionWords words = DescribeSuggestion(row);
    EXPECT_EQ(words.confidence, s.name);
    EXPECT_EQ(words.clear, s.confidence == Confidence::Clear);
    EXPECT_EQ(words.explanation, u"原为 Shift-JIS 编码，被当作 GBK 读出");
    EXPECT_EQ(words.menu, u"GB--日文");
    EXPECT_EQ(words.status, u"自动解读 GB--日文");
    EXPECT_EQ(words.language, u"日文");
  }
  row.language.reset();
  EXPECT_EQ(DescribeSuggestion(row).language, u"");

  // Passages: each way once, in the order the text first needs it, and where they start.
  RepairSuggestion passages;
  passages.passages = {{3, 5, 3, 4, {{936, 65001}}, 0}, {10, 12, 9, 10, {{936, 950}}, 0},
                       {14, 16, 12, 13, {{936, 65001}}, 2}};
  passages.lost = 2;
  EXPECT_EQ(ExplainSuggestion(passages),
            u"逐段修复 3 段：原为 UTF-8 编码，被当作 GBK 读出（2 段）；原为 Big5 编码，被当作 GBK 读出（1 段）；有 2 处无法恢复");
  EXPECT_EQ(DescribeSuggestion(passages).menu, u"");
  EXPECT_EQ(DescribeSuggestion(passages).status, u"自动解读 逐段修复");
  const Text input = u"a\r\nbcdefg\nhij\rklmnop";  // lines start at 0, 3, 10, 14
  EXPECT_EQ(PassagePlaces(passages, input), u"位置：第 2、3、4 行");
  EXPECT_EQ(PassagePlaces(passages, input, 2), u"位置：第 2、3 行等 3 段");
  EXPECT_EQ(PassagePlaces(RepairSuggestion{}, input), u"");
}

}  // namespace
}  // namespace mok::testing
