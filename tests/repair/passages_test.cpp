#include "repair/passages.h"

#include <gtest/gtest.h>

#include "repair/explain.h"
#include "tests/support/hex.h"
#include "tests/support/read_as.h"

namespace mok::testing {
namespace {

std::vector<Text> Pieces(TextView text, const std::vector<Span>& spans) {
  std::vector<Text> out;
  for (const Span s : spans) out.emplace_back(text.substr(s.begin, s.end - s.begin));
  return out;
}

TEST(PassagesTest, LinesHoldingAUnitOutsideAsciiFromTheirFirstToTheirLast) {
  const Text text = u"plain\r\nab 中文 cd\r\n\n  Größe \rx";
  const std::vector<LineSpan> lines = LinesOf(text);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(text.substr(lines[0].line.begin, lines[0].line.end - lines[0].line.begin), u"ab 中文 cd");
  EXPECT_EQ(text.substr(lines[0].outside_ascii.begin, lines[0].outside_ascii.end - lines[0].outside_ascii.begin), u"中文");
  EXPECT_EQ(text.substr(lines[1].line.begin, lines[1].line.end - lines[1].line.begin), u"  Größe ");
  EXPECT_EQ(text.substr(lines[1].outside_ascii.begin, lines[1].outside_ascii.end - lines[1].outside_ascii.begin), u"öß");
  EXPECT_TRUE(LinesOf(u"only ascii\r\n").empty());
}

TEST(PassagesTest, RunsEndAtAsciiWithASpaceOrLongerThanOneAndWhereTheScriptChanges) {
  const struct {
    Text text;
    bool by_script;
    std::vector<Text> runs;
  } cases[] = {
      {u"请查看 ä¸­æ–‡.txt 谢谢", false, {u"请查看", u"ä¸­æ–‡", u"谢谢"}},
      {u"Ã¶Ã", false, {u"Ã¶Ã"}},                       // no ASCII
      {u"fÃ¼r", false, {u"Ã¼"}},                         // the ASCII ends trimmed
      {u"Ã¤aÃ¶", false, {u"Ã¤aÃ¶"}},                     // one letter inside stays
      {u"附件ä¸­æ–‡", false, {u"附件ä¸­æ–‡"}},
      {u"附件ä¸­æ–‡", true, {u"附件", u"ä¸­æ–‡"}},
      {u"Ελλάδα Россия", true, {u"Ελλάδα", u"Россия"}},
      {u"╗ß╥Θ", true, {u"╗", u"ß", u"╥", u"Θ"}},          // box drawing among letters
      {u"中\uFFFD文", true, {u"中\uFFFD文"}},             // U+FFFD belongs to its run
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Hex(c.text));
    EXPECT_EQ(Pieces(c.text, RunsOf(c.text, {0, c.text.size()}, c.by_script)), c.runs);
  }
}

TEST(PassagesTest, SuspectLinesAreThoseThatScoreBelowCleanTextOrReadAsAnotherLanguage) {
  const Text host = u"这是一段正常的中文文字，用来说明问题。\n";
  EXPECT_EQ(CountSuspectLines(host + host).suspect, 0u);
  EXPECT_EQ(CountSuspectLines(host + host).lines, 2u);
  const LineCount mixed = CountSuspectLines(host + ReadAs(u"在绝大多数情况下，这是正确的。", 65001, 936) + u"\n" + host);
  EXPECT_EQ(mixed.suspect, 1u);
  EXPECT_EQ(mixed.lines, 3u);
}

TEST(PassagesTest, APassageIsRepairedOnlyWhenItsRepairWinsClearly) {
  const Text host = u"Это нормальный русский текст о том, как всё работает.\n";
  const Text german = u"Größe und Maße für Übersetzer";
  const Text garbled = host + ReadAs(german, 65001, 1252) + u"\n" + host;
  const auto repairs = RepairPassages(garbled);
  ASSERT_TRUE(repairs.has_value());
  ASSERT_EQ(repairs->passages.size(), 1u);
  EXPECT_EQ(repairs->text, host + german + u"\n" + host);
  EXPECT_EQ(repairs->passages.front().steps, (std::vector<RepairStep>{{1252, 65001}}));
  EXPECT_GE(repairs->gain, kClearMargin);
  EXPECT_FALSE(repairs->garbled_left);

  // The passage rule, given the ways: clean text and one unit are left alone.
  const std::vector<std::vector<RepairStep>> ways = {{{1252, 65001}}};
  const auto choice = ChoosePassageRepair(ReadAs(german, 65001, 1252), ways);
  ASSERT_TRUE(choice.has_value());
  EXPECT_EQ(choice->text, german);
  EXPECT_EQ(choice->choice, 0u);
  EXPECT_FALSE(ChoosePassageRepair(german, ways));
  EXPECT_FALSE(ChoosePassageRepair(u"Ã", ways));
  EXPECT_FALSE(RepairPassages(host + host).has_value());
}

}  // namespace
}  // namespace mok::testing
