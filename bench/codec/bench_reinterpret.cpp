// The A-to-B reinterpretation (GB read back as Big5) against a raw two-step ICU
// conversion measured in the same run.
//
// Inputs, 16000 characters (arg 16000) and 1 MB = 1048576 characters (arg
// 1048576), one line break every forty-odd characters, some ASCII words:
//  - Mojibake: Traditional Chinese prose whose Big5 bytes were read as GBK, the
//    text the GB--Big5 command exists for; the round trip is clean.
//  - GbProse: Simplified Chinese prose, mostly GB2312 hanzi with some from GBK's
//    extension; read as Big5 those are malformed, so the escape callback runs
//    now and then (the "escapes" counter says how often).
// Bytes processed count characters of the input, so MB/s means millions of
// characters a second for every benchmark here.
//
// Memory: ReinterpretByLid and ReinterpretByCp work in place, so each iteration
// copies the input into a Text (the copy-assignment reuses that Text's buffer)
// and the functions allocate their intermediate bytes and their output afresh
// on every call, as the program does. The ICU reference opens its converters
// once outside the loop and writes into a byte buffer and a text buffer sized
// like ours (4n + 4 bytes, bytes + 1 code units) that are allocated once and
// reused, which flatters the reference. "CopyInput" is the copy alone.

#include <benchmark/benchmark.h>
#include <unicode/ucnv.h>

#include <cstdint>
#include <cstdlib>
#include <map>
#include <random>
#include <utility>
#include <vector>

#include "codec/conversion_core.h"
#include "bench/support/prose.h"

namespace {

using mok::Bytes;
using mok::Text;

constexpr std::int64_t kSmall = 16000;
constexpr std::int64_t kLarge = 1 << 20;

enum class Input { kMojibake, kGbProse };

const Text& InputText(Input kind, std::size_t size) {
  static std::map<std::pair<int, std::size_t>, Text> cache;
  const auto key = std::make_pair(static_cast<int>(kind), size);
  auto found = cache.find(key);
  if (found != cache.end()) return found->second;
  Text text;
  if (kind == Input::kMojibake) {
    // Big5 common hanzi (leads A4..C6), encoded as Big5 and read as GBK.
    const Text clean = mok::bench::Prose(size + size / 4, mok::bench::Hanzi(950, 0xA4, 0xC6), 950);
    text = mok::CpBytesToText(mok::TextToCpBytes(clean, 950), 936);
    Text check = text;
    mok::ReinterpretByCp(check, 936, 950);
    if (check != clean) std::abort();  // the benchmark must measure the real repair
  } else {
    // GB2312 level 1 hanzi, and one in eight from GBK's first extension (leads
    // 81..A0, mostly traditional forms), whose bytes Big5 does not take.
    std::vector<char16_t> hanzi = mok::bench::Hanzi(936, 0xB0, 0xD7);
    const std::vector<char16_t> extension = mok::bench::Hanzi(936, 0x81, 0xA0, 0x40);
    for (std::size_t i = 0; i < hanzi.size() / 7; ++i) hanzi.push_back(extension[(i * 37) % extension.size()]);
    text = mok::bench::Prose(size, hanzi, 936);
  }
  if (text.size() < size) std::abort();
  text.resize(size);
  return cache.emplace(key, std::move(text)).first->second;
}

void SetSize(benchmark::State& state, std::size_t characters) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(characters));
}

UConverter* OpenConverter(const char* name) {
  UErrorCode err = U_ZERO_ERROR;
  UConverter* converter = ucnv_open(name, &err);
  if (U_FAILURE(err)) std::abort();
  return converter;
}

// ---------------------------------------------------------------------------

void CopyInput(benchmark::State& state, Input kind) {
  const Text& input = InputText(kind, static_cast<std::size_t>(state.range(0)));
  Text text;
  for (auto _ : state) {
    text = input;
    benchmark::DoNotOptimize(text.data());
    benchmark::ClobberMemory();
  }
  SetSize(state, input.size());
}

void ByLid(benchmark::State& state, Input kind) {
  const Text& input = InputText(kind, static_cast<std::size_t>(state.range(0)));
  Text text;
  for (auto _ : state) {
    text = input;
    mok::ReinterpretByLid(text, 2052, 1028);
    benchmark::DoNotOptimize(text.data());
  }
  SetSize(state, input.size());
  // How often the escape callback ran: one escape per byte Big5 does not take.
  std::int64_t escapes = 0;
  for (const char16_t unit : text) escapes += (unit >= 0xDC00 && unit <= 0xDCFF) ? 1 : 0;
  state.counters["escapes"] = static_cast<double>(escapes);
}

void ByCp(benchmark::State& state, Input kind) {
  const Text& input = InputText(kind, static_cast<std::size_t>(state.range(0)));
  Text text;
  for (auto _ : state) {
    text = input;
    mok::ReinterpretByCp(text, 936, 950);
    benchmark::DoNotOptimize(text.data());
  }
  SetSize(state, input.size());
}

// ucnv_fromUChars with windows-936-2000, then ucnv_toUChars with
// windows-950-2000, default callbacks, no clean-up pass.
void IcuTwoStep(benchmark::State& state, Input kind) {
  const Text& input = InputText(kind, static_cast<std::size_t>(state.range(0)));
  UConverter* gbk = OpenConverter("windows-936-2000");
  UConverter* big5 = OpenConverter("windows-950-2000");
  std::vector<char> bytes(4 * input.size() + 4);
  std::vector<UChar> out;
  for (auto _ : state) {
    UErrorCode err = U_ZERO_ERROR;
    const std::int32_t n = ucnv_fromUChars(gbk, bytes.data(), static_cast<std::int32_t>(bytes.size()),
                                           reinterpret_cast<const UChar*>(input.data()),
                                           static_cast<std::int32_t>(input.size()), &err);
    if (out.size() < static_cast<std::size_t>(n) + 1) out.resize(static_cast<std::size_t>(n) + 1);
    const std::int32_t m = ucnv_toUChars(big5, out.data(), static_cast<std::int32_t>(out.size()), bytes.data(), n, &err);
    benchmark::DoNotOptimize(m);
    benchmark::ClobberMemory();
  }
  ucnv_close(gbk);
  ucnv_close(big5);
  SetSize(state, input.size());
}

void BM_CopyInput_Mojibake(benchmark::State& state) { CopyInput(state, Input::kMojibake); }
void BM_ReinterpretByLid_Mojibake(benchmark::State& state) { ByLid(state, Input::kMojibake); }
void BM_ReinterpretByCp_Mojibake(benchmark::State& state) { ByCp(state, Input::kMojibake); }
void BM_IcuTwoStep_Mojibake(benchmark::State& state) { IcuTwoStep(state, Input::kMojibake); }
void BM_CopyInput_GbProse(benchmark::State& state) { CopyInput(state, Input::kGbProse); }
void BM_ReinterpretByLid_GbProse(benchmark::State& state) { ByLid(state, Input::kGbProse); }
void BM_ReinterpretByCp_GbProse(benchmark::State& state) { ByCp(state, Input::kGbProse); }
void BM_IcuTwoStep_GbProse(benchmark::State& state) { IcuTwoStep(state, Input::kGbProse); }

#define MOK_SIZES Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMicrosecond)

BENCHMARK(BM_CopyInput_Mojibake)->MOK_SIZES;
BENCHMARK(BM_ReinterpretByLid_Mojibake)->MOK_SIZES;
BENCHMARK(BM_ReinterpretByCp_Mojibake)->MOK_SIZES;
BENCHMARK(BM_IcuTwoStep_Mojibake)->MOK_SIZES;
BENCHMARK(BM_CopyInput_GbProse)->MOK_SIZES;
BENCHMARK(BM_ReinterpretByLid_GbProse)->MOK_SIZES;
BENCHMARK(BM_ReinterpretByCp_GbProse)->MOK_SIZES;
BENCHMARK(BM_IcuTwoStep_GbProse)->MOK_SIZES;

}  // namespace
