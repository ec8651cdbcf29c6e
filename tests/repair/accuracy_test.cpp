// The published accuracy of the repair suggestions holds: the whole benchmark
// corpus (repair/corpus/benchmark.jsonl) is run through SuggestRepairs.

#include <gtest/gtest.h>

#include "repair/tools/corpus.h"

namespace mok::testing {
namespace {

double Rate(int n, int d) { return d == 0 ? 0.0 : static_cast<double>(n) / d; }

TEST(RepairAccuracyTest, BenchmarkThresholdsHold) {
  const auto samples = corpus::ReadFile(MOK_REPAIR_CORPUS);
  ASSERT_TRUE(samples.has_value()) << "cannot read " << MOK_REPAIR_CORPUS;
  const corpus::Table table = corpus::Measure(*samples);
  const corpus::Tally& garbled = table.at({"all", "all"});
  const corpus::Tally& clean = table.at({"clean", "all"});
  const corpus::Tally& short_russian = table.at({"lang:ru", "short"});
  ASSERT_GE(garbled.samples, 1400);
  ASSERT_GE(clean.samples, 3000);
  EXPECT_GE(Rate(garbled.top1, garbled.samples), 0.99) << corpus::FormatTable(table);
  EXPECT_GE(Rate(short_russian.top1, short_russian.samples), 0.97) << corpus::FormatTable(table);
  EXPECT_GE(Rate(garbled.top3, garbled.samples), 0.998) << corpus::FormatTable(table);
  EXPECT_LE(Rate(clean.changed, clean.samples), 0.005) << corpus::FormatTable(table);
}

TEST(RepairAccuracyTest, CorpusLinesRoundTrip) {
  const corpus::Record record = {{"garbling", u"sjis>gbk"}, {"input", u"a\"b\\c\n\t\u0001\xD83D\xDE00\xDC80中"}};
  const std::string line = corpus::FormatLine(record, {"garbling", "input"});
  EXPECT_EQ(line, "{\"garbling\":\"sjis>gbk\",\"input\":\"a\\\"b\\\\c\\n\\t\\u0001\xF0\x9F\x98\x80\\uDC80\xE4\xB8\xAD\"}");
  EXPECT_EQ(corpus::ParseLine(line), record);
  EXPECT_FALSE(corpus::ParseLine("{\"a\":\"b\"").has_value());
  EXPECT_FALSE(corpus::ParseLine("{\"a\":1}").has_value());
  EXPECT_FALSE(corpus::ParseLine("{\"a\":\"\\x\"}").has_value());
}

}  // namespace
}  // namespace mok::testing
