// SuggestRepairs on a 16000-character text (the text box's limit) against the
// floor of what any such search costs: 73 raw ICU encode-and-decode passes of
// the same text, one per candidate step (the 72 ordered pairs of the nine code
// pages, plus the UTF-16 byte swap), with ICU's default callbacks, converters
// opened once and buffers allocated once outside the loop.
//
// Inputs: Traditional Chinese prose whose Big5 bytes were read as GBK (the
// repair is found, chains are grown from the three best single steps),
// Simplified Chinese prose that is best left alone, and Simplified Chinese
// prose whose UTF-8 bytes were read as cp1252: Latin letters and symbols, the
// text every language of a Latin alphabet is scored on. And the scoring of one
// candidate's stretch alone.

#include <benchmark/benchmark.h>
#include <unicode/ucnv.h>

#include <cstdlib>
#include <vector>

#include "bench/support/icu_reference.h"
#include "bench/support/prose.h"
#include "codec/charset_conversion.h"
#include "codec/conversion_core.h"
#include "repair/suggest.h"

namespace {

using mok::Text;

constexpr std::size_t kChars = 16000;

const Text& Garbled() {
  static const Text text = [] {
    const Text clean = mok::bench::Prose(kChars, mok::bench::Hanzi(950, 0xA4, 0xC6), 950);
    Text garbled = mok::CpBytesToText(mok::TextToCpBytes(clean, 950), 936);
    const auto suggestions = mok::SuggestRepairs(garbled, 1);
    if (suggestions.empty() || suggestions.front().text != clean) std::abort();  // measure the real repair
    return garbled;
  }();
  return text;
}

const Text& Utf8ReadAsCp1252() {
  static const Text text = [] {
    // About 5300 characters of prose give some 16000 once their UTF-8 bytes are read as cp1252.
    Text clean = mok::bench::Prose(kChars / 3, mok::bench::CommonGbHanzi(), 1252);
    Text garbled = mok::CpBytesToText(mok::TextToCpBytes(clean, 65001), 1252);
    while (garbled.size() > kChars) {
      clean.resize(clean.size() - 100);
      garbled = mok::CpBytesToText(mok::TextToCpBytes(clean, 65001), 1252);
    }
    const auto suggestions = mok::SuggestRepairs(garbled, 1);
    if (suggestions.empty() || suggestions.front().text != clean) std::abort();
    return garbled;
  }();
  return text;
}

const Text& Clean() {
  static const Text text = mok::bench::Prose(kChars, mok::bench::CommonGbHanzi(), 936);
  return text;
}

void BM_SuggestRepairs(benchmark::State& state, const Text& (*input)()) {
  const Text& text = input();
  for (auto _ : state) {
    auto suggestions = mok::SuggestRepairs(text);
    benchmark::DoNotOptimize(suggestions);
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_Raw73Passes(benchmark::State& state, const Text& (*input)()) {
  const Text& text = input();
  std::vector<UConverter*> converters;
  for (const std::int32_t code_page : mok::kRepairCodePages) {
    converters.push_back(mok::bench::Converter(mok::IcuConverterName(code_page)));
  }
  std::vector<char> bytes(4 * text.size() + 4);
  std::vector<UChar> units(4 * text.size() + 4);
  const auto* source = reinterpret_cast<const UChar*>(text.data());
  const auto length = static_cast<int32_t>(text.size());
  for (auto _ : state) {
    for (UConverter* a : converters) {
      for (UConverter* b : converters) {
        if (a == b) continue;
        UErrorCode err = U_ZERO_ERROR;
        const int32_t n = ucnv_fromUChars(a, bytes.data(), static_cast<int32_t>(bytes.size()), source, length, &err);
        const int32_t m = ucnv_toUChars(b, units.data(), static_cast<int32_t>(units.size()), bytes.data(), n, &err);
        benchmark::DoNotOptimize(m);
      }
    }
    for (int32_t i = 0; i < length; ++i) units[i] = static_cast<UChar>((source[i] >> 8) | (source[i] << 8));
    benchmark::DoNotOptimize(units.data());
  }
  state.SetItemsProcessed(state.iterations());
}

// ScoreText on the 2000 characters SuggestRepairs scores of each candidate,
// beside the floor of any scoring by character pairs: one table lookup per
// character (the shared ASCII table's kind, 64 K entries) summed over the same text.
constexpr std::size_t kScored = 2000;

const Text& ScoredChinese() {
  static const Text text = Clean().substr(0, kScored);
  return text;
}

const Text& ScoredLatinLetters() {
  static const Text text = Utf8ReadAsCp1252().substr(0, kScored);
  return text;
}

void BM_ScoreText(benchmark::State& state, const Text& (*input)()) {
  const Text& text = input();
  for (auto _ : state) {
    auto score = mok::ScoreText(text);
    benchmark::DoNotOptimize(score);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}

void BM_OneLookupPerCharacter(benchmark::State& state, const Text& (*input)()) {
  const Text& text = input();
  std::vector<std::uint8_t> table(0x10000);
  for (std::size_t i = 0; i < table.size(); ++i) table[i] = static_cast<std::uint8_t>(i * 2654435761u >> 24);
  for (auto _ : state) {
    std::uint64_t sum = 0;
    for (const char16_t c : text) sum += table[c];
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}

BENCHMARK_CAPTURE(BM_SuggestRepairs, Big5ReadAsGbk, Garbled)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Raw73Passes, Big5ReadAsGbk, Garbled)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SuggestRepairs, CleanGb, Clean)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Raw73Passes, CleanGb, Clean)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SuggestRepairs, Utf8ReadAsCp1252, Utf8ReadAsCp1252)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Raw73Passes, Utf8ReadAsCp1252, Utf8ReadAsCp1252)->Unit(benchmark::kMillisecond);

BENCHMARK_CAPTURE(BM_ScoreText, Chinese, ScoredChinese)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_OneLookupPerCharacter, Chinese, ScoredChinese)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ScoreText, LatinLetters, ScoredLatinLetters)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_OneLookupPerCharacter, LatinLetters, ScoredLatinLetters)->Unit(benchmark::kMicrosecond);

}  // namespace
