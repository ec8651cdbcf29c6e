// BestRepair on short strings (file names, mail subjects: 20 to 200 code
// units), the call mokrin.repair makes, so scripts/bench-python.py can set
// the module's time per call beside it; and SuggestRepairs for one row, the
// call of mokrin.suggest(text, 1). The strings are the lines of that
// length in the benchmark corpus, garbled and clean ones apart, taken by the
// same rule as the script takes them. The reference in the same run: one
// reinterpretation of the same line (encode by GBK, decode by UTF-8).

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <vector>

#include "codec/conversion_core.h"
#include "repair/suggest.h"
#include "repair/tools/corpus.h"

namespace {

using mok::Text;

// The lines of 20 to 200 code units of the corpus' inputs, garbled or clean.
const std::vector<Text>& ShortLines(bool garbled) {
  static const auto lines = [] {
    std::vector<Text> sets[2];
    const auto records = mok::corpus::ReadFile(MOK_REPAIR_CORPUS);
    if (!records) std::abort();
    for (const auto& record : *records) {
      const Text& input = record.at("input");
      const bool is_garbled = record.at("garbling") != u"clean";
      std::size_t start = 0;
      while (start <= input.size()) {
        std::size_t end = input.find(u'\n', start);
        if (end == Text::npos) end = input.size();
        const std::size_t length = end - start;
        if (length >= 20 && length <= 200) sets[is_garbled].push_back(input.substr(start, length));
        start = end + 1;
      }
    }
    return std::pair(std::move(sets[0]), std::move(sets[1]));
  }();
  return garbled ? lines.second : lines.first;
}

// One call a line, the lines of the set in turn.
template <typename Call>
void EachLine(benchmark::State& state, bool garbled, Call call) {
  const std::vector<Text>& lines = ShortLines(garbled);
  std::size_t next = 0;
  for (auto _ : state) {
    call(lines[next]);
    next = next + 1 == lines.size() ? 0 : next + 1;
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["lines"] = static_cast<double>(lines.size());
}

void BM_BestRepairShort(benchmark::State& state, bool garbled) {
  EachLine(state, garbled, [](const Text& line) {
    auto repaired = mok::BestRepair(line);
    benchmark::DoNotOptimize(repaired);
  });
}

void BM_SuggestRepairsShort(benchmark::State& state, bool garbled) {
  EachLine(state, garbled, [](const Text& line) {
    auto suggestions = mok::SuggestRepairs(line, 1);
    benchmark::DoNotOptimize(suggestions);
  });
}

void BM_ReinterpretShort(benchmark::State& state, bool garbled) {
  EachLine(state, garbled, [](const Text& line) {
    Text text = line;
    mok::ReinterpretByCp(text, 936, 65001);
    benchmark::DoNotOptimize(text);
  });
}

BENCHMARK_CAPTURE(BM_BestRepairShort, garbled, true)->MinTime(2.0);
BENCHMARK_CAPTURE(BM_BestRepairShort, clean, false)->MinTime(2.0);
BENCHMARK_CAPTURE(BM_SuggestRepairsShort, garbled, true)->MinTime(2.0);
BENCHMARK_CAPTURE(BM_SuggestRepairsShort, clean, false)->MinTime(2.0);
BENCHMARK_CAPTURE(BM_ReinterpretShort, garbled, true);
BENCHMARK_CAPTURE(BM_ReinterpretShort, clean, false);

}  // namespace
