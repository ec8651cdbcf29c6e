// SuggestRepairs on a 16000-character text (the text box's limit) against the
// floor of what any such search costs: 73 raw ICU encode-and-decode passes of
// the same text, one per candidate step (the 72 ordered pairs of the nine code
// pages, plus the UTF-16 byte swap), with ICU's default callbacks, converters
// opened once and buffers allocated once outside the loop.
//
// Inputs: Traditional Chinese prose whose Big5 bytes were read as GBK (the
// repair is found, chains are grown from the three best single steps),
// Simplified Chinese prose that is best left alone, Simplified Chinese prose
// whose UTF-8 bytes were read as cp1252: Latin letters and symbols, the text
// every language of a Latin alphabet is scored on; Simplified Chinese with a
// garbled paragraph (UTF-8 read as GBK) every 40 lines, repaired by passages;
// and the same prose read by a replacing decoder (a lossy repair). And the
// scoring of one candidate's stretch alone, and the peak of the memory
// SuggestRepairs takes beyond its input, per character of a text of 16000
// and of 1.6 million characters.

#include <benchmark/benchmark.h>
#include <unicode/ucnv.h>

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

#include "bench/support/icu_reference.h"
#include "bench/support/prose.h"
#include "codec/charset_conversion.h"
#include "codec/conversion_core.h"
#include "repair/suggest.h"

// Every allocation counted, for the peak of the memory a call takes.
namespace {
std::atomic<std::size_t> g_allocated{0};
std::atomic<std::size_t> g_peak{0};

void* Allocate(std::size_t size) {
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p == nullptr) throw std::bad_alloc();
  const std::size_t now = g_allocated += malloc_usable_size(p);
  for (std::size_t peak = g_peak.load(); now > peak && !g_peak.compare_exchange_weak(peak, now);) {
  }
  return p;
}

void Release(void* p) {
  if (p == nullptr) return;
  g_allocated -= malloc_usable_size(p);
  std::free(p);
}
}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void operator delete(void* p) noexcept { Release(p); }
void operator delete[](void* p) noexcept { Release(p); }
void operator delete(void* p, std::size_t) noexcept { Release(p); }
void operator delete[](void* p, std::size_t) noexcept { Release(p); }

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

// Lines of plain Chinese, with a garbled one after every 40.
Text MixedText(std::size_t chars) {
  static constexpr const char16_t* kLines[] = {
      u"程序启动时会读取配置文件，如果文件不存在，就使用默认的设置。",
      u"这个选项决定了日志的保存位置，修改以后需要重新启动服务才能生效。",
      u"在绝大多数情况下，系统会自动检测文件的编码，用户不必手动指定。",
      u"如果网络连接中断，下载会在恢复以后从断开的地方继续进行。",
      u"请先备份重要的数据，然后再升级到新的版本，以免发生意外。",
      u"打开文件的时候，程序会检查它的大小，太大的文件会被拒绝。",
      u"每一个用户都有自己的设置，保存在主目录下面的一个隐藏文件夹里。",
      u"命令执行成功以后返回零，失败的时候返回一个表示错误原因的数字。",
  };
  Text text;
  for (std::size_t i = 0; text.size() < chars; ++i) {
    Text line = kLines[i % std::size(kLines)];
    if (i % 40 == 39) line = mok::CpBytesToText(mok::TextToCpBytes(line, 65001), 936);
    text += line + u"\r\n";
  }
  text.resize(chars);
  return text;
}

const Text& Mixed() {
  static const Text text = [] {
    Text mixed = MixedText(kChars);
    const auto suggestions = mok::SuggestRepairs(mixed, 1);
    if (suggestions.empty() || suggestions.front().passages.empty()) std::abort();
    return mixed;
  }();
  return text;
}

// The prose's UTF-8 read by a GBK decoder that gives U+FFFD for what it cannot read.
const Text& Lossy() {
  static const Text text = [] {
    Text garbled = mok::CpBytesToText(mok::TextToCpBytes(Clean().substr(0, kChars * 2 / 3), 65001), 936);
    for (char16_t& c : garbled) {
      if (c >= 0xDC80 && c <= 0xDCFF) c = 0xFFFD;
    }
    const auto suggestions = mok::SuggestRepairs(garbled, 1);
    if (suggestions.empty() || suggestions.front().lost == 0) std::abort();
    return garbled;
  }();
  return text;
}

// The peak of the memory SuggestRepairs takes beyond the input, per
// character of the input: constant however long the text (a few copies of it
// in the rows it returns), not growing with it.
void BM_PeakBytesPerCharacter(benchmark::State& state) {
  const Text text = MixedText(static_cast<std::size_t>(state.range(0)));
  double per_character = 0;
  for (auto _ : state) {
    const std::size_t before = g_allocated.load();
    g_peak = before;
    auto suggestions = mok::SuggestRepairs(text);
    benchmark::DoNotOptimize(suggestions);
    per_character = static_cast<double>(g_peak.load() - before) / static_cast<double>(text.size());
  }
  state.counters["peak_bytes_per_char"] = per_character;
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
BENCHMARK_CAPTURE(BM_SuggestRepairs, Mixed, Mixed)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Raw73Passes, Mixed, Mixed)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SuggestRepairs, Lossy, Lossy)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Raw73Passes, Lossy, Lossy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PeakBytesPerCharacter)->Arg(16000)->Arg(1600000)->Unit(benchmark::kMillisecond)->Iterations(1);

BENCHMARK_CAPTURE(BM_ScoreText, Chinese, ScoredChinese)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_OneLookupPerCharacter, Chinese, ScoredChinese)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ScoreText, LatinLetters, ScoredLatinLetters)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_OneLookupPerCharacter, LatinLetters, ScoredLatinLetters)->Unit(benchmark::kMicrosecond);

}  // namespace
