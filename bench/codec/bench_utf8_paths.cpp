// The two UTF-8 paths of mok's output against what they replaced, in the same
// run:
//  - writing text as UTF-8 (CodePageStream 65001, as mok's output encoder):
//    the eight-units-at-a-time encoder beside the loop it replaced (runs of
//    four three-byte or four ASCII units, else one unit at a time) and ICU's
//    own UTF-8 converter;
//  - Base64 of UTF-8 decoded to UTF-8 bytes (Base64StreamDecoder::DecodeToUtf8,
//    mok's path for Base64-Utf8) beside the way through text it replaced
//    (Decode to text, then the UTF-8 encoder), and coreutils' kind of plain
//    Base64 decoding loop into bytes.
//
// Input: Chinese prose with ASCII words and CR LF (bench/support/prose.h), of
// 16000 characters (arg 16000) and of about 1 MB (arg 1048576), fed in chunks
// of 128 Ki units (or bytes) as mok feeds them, into output buffers reused from
// chunk to chunk. Bytes processed count the input's units, so the MB/s of a
// path and of its references compare directly.

#include <benchmark/benchmark.h>
#include <unicode/ucnv.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <utility>
#include <vector>

#include "bench/support/icu_reference.h"
#include "bench/support/plain_base64.h"
#include "bench/support/prose.h"
#include "codec/base64.h"
#include "codec/charset_stream.h"

namespace {

using mok::Bytes;
using mok::BytesView;
using mok::Text;
using mok::TextView;

constexpr std::int64_t kSmall = 16000;
constexpr std::int64_t kLarge = 1 << 20;
constexpr std::size_t kChunk = 128 * 1024;

const Text& Clean(std::size_t size) {
  static std::map<std::size_t, Text> cache;
  auto found = cache.find(size);
  if (found != cache.end()) return found->second;
  return cache.emplace(size, mok::bench::Prose(size, mok::bench::CommonGbHanzi(), 2024)).first->second;
}

// Base64 of the prose's UTF-8 in lines of 76 characters, cut to size bytes.
const Bytes& Base64Input(std::size_t size) {
  static std::map<std::size_t, Bytes> cache;
  auto found = cache.find(size);
  if (found != cache.end()) return found->second;
  Text text = Clean(size);
  mok::EncodeBase64Text(text, 3);
  Bytes bytes(text.begin(), text.end());
  bytes.resize(size);
  return cache.emplace(size, std::move(bytes)).first->second;
}

void SetSize(benchmark::State& state, std::size_t units) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(units));
}

// ---------------------------------------------------------------------------
// Text to UTF-8.

// The loop the UTF-8 output used before: four three-byte units or four ASCII
// units at once, anything else one at a time.
void ScalarUtf8(TextView text, Bytes& out) {
  const std::size_t at = out.size();
  out.resize(at + 3 * text.size() + 1);
  std::uint8_t* o = out.data() + at;
  const char16_t* p = text.data();
  const char16_t* const end = p + text.size();
  auto three = [&o](std::uint32_t u) {
    const std::uint32_t bytes = (0xE0 | (u >> 12)) | ((0x80 | ((u >> 6) & 0x3F)) << 8) | ((0x80 | (u & 0x3F)) << 16);
    std::memcpy(o, &bytes, 4);
    o += 3;
  };
  while (p != end) {
    if (end - p >= 4) {
      const std::uint32_t a = p[0], b = p[1], c = p[2], d = p[3];
      if ((a >= 0x800) & (b >= 0x800) & (c >= 0x800) & (d >= 0x800)) {
        three(a);
        three(b);
        three(c);
        three(d);
        p += 4;
        continue;
      }
      if ((a | b | c | d) < 0x80) {
        for (int k = 0; k < 4; ++k) o[k] = static_cast<std::uint8_t>(p[k]);
        o += 4;
        p += 4;
        continue;
      }
    }
    const std::uint32_t u = *p++;
    if (u < 0x80) {
      *o++ = static_cast<std::uint8_t>(u);
    } else if (u < 0x800) {
      *o++ = static_cast<std::uint8_t>(0xC0 | (u >> 6));
      *o++ = static_cast<std::uint8_t>(0x80 | (u & 0x3F));
    } else {
      three(u);
    }
  }
  out.resize(static_cast<std::size_t>(o - out.data()));
}

template <typename Encode>
void InChunks(benchmark::State& state, Encode encode) {
  const Text& input = Clean(static_cast<std::size_t>(state.range(0)));
  Bytes out;
  for (auto _ : state) {
    for (std::size_t at = 0; at < input.size(); at += kChunk) {
      out.clear();
      encode(TextView(input).substr(at, kChunk), at + kChunk >= input.size(), out);
      benchmark::DoNotOptimize(out.data());
    }
  }
  SetSize(state, input.size());
}

void BM_Utf8Output_Stream(benchmark::State& state) {
  // mok's default rules: escaped bytes and unwritable characters stop it.
  mok::CodePageStream stream(65001, mok::EncodeRules{mok::InvalidAction::Stop, mok::InvalidAction::Stop, false});
  InChunks(state, [&](TextView chunk, bool last, Bytes& out) { return stream.Encode(chunk, last, out); });
}

void BM_Utf8Output_OldLoop(benchmark::State& state) {
  InChunks(state, [](TextView chunk, bool, Bytes& out) { ScalarUtf8(chunk, out); });
}

void BM_Utf8Output_Icu(benchmark::State& state) {
  UConverter* converter = mok::bench::Converter("UTF-8");
  InChunks(state, [&](TextView chunk, bool last, Bytes& out) {
    out.resize(3 * chunk.size() + 8);
    char* target = reinterpret_cast<char*>(out.data());
    const UChar* source = reinterpret_cast<const UChar*>(chunk.data());
    UErrorCode err = U_ZERO_ERROR;
    ucnv_fromUnicode(converter, &target, target + out.size(), &source, source + chunk.size(), nullptr, last, &err);
    out.resize(static_cast<std::size_t>(target - reinterpret_cast<char*>(out.data())));
  });
}

// ---------------------------------------------------------------------------
// Base64 of UTF-8 to UTF-8.

void BM_Base64Utf8_ToUtf8(benchmark::State& state) {
  const Bytes& input = Base64Input(static_cast<std::size_t>(state.range(0)));
  Bytes utf8;
  Text text;
  for (auto _ : state) {
    mok::Base64StreamDecoder decoder(-4, 0);
    for (std::size_t at = 0; at < input.size(); at += kChunk) {
      utf8.clear();
      text.clear();
      const bool last = at + kChunk >= input.size();
      benchmark::DoNotOptimize(decoder.DecodeToUtf8(BytesView(input).substr(at, kChunk), last, utf8, text));
      benchmark::DoNotOptimize(utf8.data());
    }
  }
  SetSize(state, input.size());
}

// The way through text: the input widened to text (as mok's input decoder
// gives it), decoded to text, the text written as UTF-8.
void BM_Base64Utf8_ThroughText(benchmark::State& state) {
  const Bytes& input = Base64Input(static_cast<std::size_t>(state.range(0)));
  Text chars, text;
  Bytes utf8;
  for (auto _ : state) {
    mok::Base64StreamDecoder decoder(-4, 0);
    mok::CodePageStream encoder(65001, mok::EncodeRules{mok::InvalidAction::Stop, mok::InvalidAction::Stop, false});
    for (std::size_t at = 0; at < input.size(); at += kChunk) {
      const BytesView chunk = BytesView(input).substr(at, kChunk);
      chars.assign(chunk.begin(), chunk.end());
      text.clear();
      utf8.clear();
      const bool last = at + kChunk >= input.size();
      benchmark::DoNotOptimize(decoder.Decode(chars, last, text));
      benchmark::DoNotOptimize(encoder.Encode(text, last, utf8));
      benchmark::DoNotOptimize(utf8.data());
    }
  }
  SetSize(state, input.size());
}

// A plain Base64 loop into bytes: the work of coreutils' base64 -d.
void BM_Base64Utf8_PlainLoop(benchmark::State& state) {
  const Bytes& input = Base64Input(static_cast<std::size_t>(state.range(0)));
  std::vector<std::uint8_t> out(input.size());
  for (auto _ : state) {
    benchmark::DoNotOptimize(mok::bench::PlainBase64Decode(input, out.data()));
    benchmark::ClobberMemory();
  }
  SetSize(state, input.size());
}

#define MOK_SIZES Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMicrosecond)

BENCHMARK(BM_Utf8Output_Stream)->MOK_SIZES;
BENCHMARK(BM_Utf8Output_OldLoop)->MOK_SIZES;
BENCHMARK(BM_Utf8Output_Icu)->MOK_SIZES;
BENCHMARK(BM_Base64Utf8_ToUtf8)->MOK_SIZES;
BENCHMARK(BM_Base64Utf8_ThroughText)->MOK_SIZES;
BENCHMARK(BM_Base64Utf8_PlainLoop)->MOK_SIZES;

}  // namespace
