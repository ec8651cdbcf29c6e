// The repairs of short strings (file names, mail subjects): every sample of
// the benchmark corpus of 20 to 200 code units among its short and medium
// samples, of every group, garbled and clean ones apart and together, and
// those of file-name length (20 to 60 units) apart. One iteration calls
// BestRepair (mokrin.repair's call) or SuggestRepairs (for one row, and for
// five as the dialog does) once on each string of its set, so
// items_per_second is calls per second and per_call the mean CPU time of a
// call.
//
// The reference in the same run: one raw ICU pass over the same strings
// (encode by GBK, decode by UTF-8, with ICU's default callbacks, converters
// opened once and buffers allocated once), the least any one candidate step
// costs; a call is then worth so many such passes.
//
// The repair steps alone: every step of the search applied to each string
// without loss, with the native conversions of the single-byte code pages and
// UTF-8 and, as their reference, with ICU's converters alone (the same
// results); per_call is then the time of all steps on one string.
//
// A program of its own: repair_bench counts every allocation for its memory
// figures, which would weigh on calls this short.

#include <benchmark/benchmark.h>
#include <unicode/ucnv.h>

#include <cstdlib>
#include <optional>
#include <vector>

#include "bench/support/icu_reference.h"
#include "codec/charset_conversion.h"
#include "repair/candidates.h"
#include "repair/native_pages.h"
#include "repair/repair_step.h"
#include "repair/suggest.h"
#include "repair/tools/corpus.h"

namespace {

using mok::Text;

// kUpTo60: the strings of file-name length (20 to 60 units), garbled and clean.
enum class Set { kAll, kGarbled, kClean, kUpTo60 };

const std::vector<Text>& Samples(Set set) {
  static const auto sets = [] {
    std::vector<Text> all, garbled, clean, up_to_60;
    const auto records = mok::corpus::ReadFile(MOK_REPAIR_CORPUS);
    if (!records) std::abort();
    for (const auto& record : *records) {
      const Text& cls = record.at("class");
      const Text& input = record.at("input");
      if (cls == u"long" || input.size() < 20 || input.size() > 200) continue;
      all.push_back(input);
      (record.at("group") == u"clean" ? clean : garbled).push_back(input);
      if (input.size() <= 60) up_to_60.push_back(input);
    }
    if (garbled.empty() || clean.empty()) std::abort();
    return std::vector{std::move(all), std::move(garbled), std::move(clean), std::move(up_to_60)};
  }();
  return sets[static_cast<std::size_t>(set)];
}

void Count(benchmark::State& state, std::size_t calls) {
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(calls));
  state.counters["strings"] = static_cast<double>(calls);
  state.counters["per_call"] =
      benchmark::Counter(static_cast<double>(state.iterations() * static_cast<std::int64_t>(calls)),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_SuggestRepairsShort(benchmark::State& state, Set set, std::size_t rows) {
  const std::vector<Text>& samples = Samples(set);
  for (auto _ : state) {
    for (const Text& text : samples) {
      auto suggestions = mok::SuggestRepairs(text, rows);
      benchmark::DoNotOptimize(suggestions);
    }
  }
  Count(state, samples.size());
}

void BM_BestRepairShort(benchmark::State& state, Set set) {
  const std::vector<Text>& samples = Samples(set);
  for (auto _ : state) {
    for (const Text& text : samples) {
      auto repaired = mok::BestRepair(text);
      benchmark::DoNotOptimize(repaired);
    }
  }
  Count(state, samples.size());
}

void BM_RawIcuPassShort(benchmark::State& state, Set set) {
  const std::vector<Text>& samples = Samples(set);
  UConverter* gbk = mok::bench::Converter(mok::IcuConverterName(936));
  UConverter* utf8 = mok::bench::Converter(mok::IcuConverterName(65001));
  std::vector<char> bytes(4 * 200 + 4);
  std::vector<UChar> units(4 * 200 + 4);
  for (auto _ : state) {
    for (const Text& text : samples) {
      UErrorCode err = U_ZERO_ERROR;
      const int32_t n = ucnv_fromUChars(gbk, bytes.data(), static_cast<int32_t>(bytes.size()),
                                        reinterpret_cast<const UChar*>(text.data()),
                                        static_cast<int32_t>(text.size()), &err);
      const int32_t m = ucnv_toUChars(utf8, units.data(), static_cast<int32_t>(units.size()), bytes.data(), n, &err);
      benchmark::DoNotOptimize(m);
    }
  }
  Count(state, samples.size());
}

void BM_AllStepsShort(benchmark::State& state, Set set, bool native) {
  const std::vector<Text>& samples = Samples(set);
  std::optional<mok::IcuOnlyStepConversions> icu_only;
  if (!native) icu_only.emplace();
  const auto steps = mok::SearchSteps();
  for (auto _ : state) {
    for (const Text& text : samples) {
      for (const mok::RepairStep step : steps) {
        auto result = mok::ApplyStep(text, step);
        benchmark::DoNotOptimize(result);
      }
    }
  }
  Count(state, samples.size());
}

BENCHMARK_CAPTURE(BM_BestRepairShort, all, Set::kAll)->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK_CAPTURE(BM_BestRepairShort, garbled, Set::kGarbled)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK_CAPTURE(BM_BestRepairShort, clean, Set::kClean)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK_CAPTURE(BM_BestRepairShort, up_to_60, Set::kUpTo60)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK_CAPTURE(BM_SuggestRepairsShort, all, Set::kAll, 1)->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK_CAPTURE(BM_SuggestRepairsShort, garbled, Set::kGarbled, 1)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK_CAPTURE(BM_SuggestRepairsShort, clean, Set::kClean, 1)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK_CAPTURE(BM_SuggestRepairsShort, up_to_60, Set::kUpTo60, 1)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK_CAPTURE(BM_SuggestRepairsShort, all_5_rows, Set::kAll, 5)->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK_CAPTURE(BM_AllStepsShort, all_native, Set::kAll, true)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK_CAPTURE(BM_AllStepsShort, all_icu_only, Set::kAll, false)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK_CAPTURE(BM_RawIcuPassShort, all, Set::kAll)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_RawIcuPassShort, garbled, Set::kGarbled)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_RawIcuPassShort, clean, Set::kClean)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_RawIcuPassShort, up_to_60, Set::kUpTo60)->Unit(benchmark::kMicrosecond);

}  // namespace
