// Base64, UTF-7 and HZ against their physical and plain references.
//
// Every benchmark runs on an input of 16000 characters (arg 16000) and of about
// 1 MB (arg 1048576). The streaming decoders mok uses (…Stream) take the same
// input in chunks of 128 Ki characters, beside the whole-text function. Bytes processed are counted as characters of the encoded
// (transfer) form for decoders and of the clean text for encoders, so the MB/s
// of a function and of its references compare directly.
//
// Memory: the codec functions work in place on a Text, so each iteration first
// copies the input into that Text (a fresh allocation, since the function
// replaces or shrinks the buffer) and the function allocates its own output
// fresh. The "Memcpy" reference is that copy alone. The plain loops and the raw
// ICU conversions write into buffers allocated once outside the timing loop and
// reused, which flatters the references.

#include <benchmark/benchmark.h>
#include <unicode/ucnv.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "codec/base64.h"
#include "codec/conversion_core.h"
#include "codec/utf7_hz.h"
#include "bench/support/icu_reference.h"
#include "bench/support/plain_base64.h"
#include "bench/support/prose.h"

namespace {

using mok::Bytes;
using mok::Text;

constexpr std::int64_t kSmall = 16000;
constexpr std::int64_t kLarge = 1 << 20;

// ---------------------------------------------------------------------------
// ICU converters, opened once.

using mok::bench::Converter;

std::int32_t IcuToUnicode(const char* name, const std::string& bytes, std::vector<UChar>& out) {
  UErrorCode err = U_ZERO_ERROR;
  UConverter* converter = Converter(name);
  ucnv_reset(converter);
  return ucnv_toUChars(converter, out.data(), static_cast<std::int32_t>(out.size()), bytes.data(),
                       static_cast<std::int32_t>(bytes.size()), &err);
}

std::int32_t IcuFromUnicode(const char* name, const Text& text, std::vector<char>& out) {
  UErrorCode err = U_ZERO_ERROR;
  UConverter* converter = Converter(name);
  ucnv_reset(converter);
  return ucnv_fromUChars(converter, out.data(), static_cast<std::int32_t>(out.size()),
                         reinterpret_cast<const UChar*>(text.data()), static_cast<std::int32_t>(text.size()), &err);
}

// ---------------------------------------------------------------------------
// Realistic input: Chinese prose with punctuation, some ASCII words and numbers,
// and a line break every forty-odd characters.

std::string Ascii(const Text& text) {
  std::string out(text.size(), '\0');
  for (std::size_t i = 0; i < text.size(); ++i) out[i] = static_cast<char>(text[i]);
  return out;
}

Text FromAscii(const std::string& bytes) {
  Text out(bytes.size(), u'\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) out[i] = static_cast<unsigned char>(bytes[i]);
  return out;
}

// Transfer forms of prose, cut to exactly `size` characters.
enum class Form { kBase64Gbk, kBase64Utf8, kUtf7, kHz };

const Text& Encoded(Form form, std::size_t size) {
  static std::map<std::pair<int, std::size_t>, Text> cache;
  const auto key = std::make_pair(static_cast<int>(form), size);
  auto found = cache.find(key);
  if (found != cache.end()) return found->second;
  Text text = mok::bench::Prose(size, mok::bench::CommonGbHanzi(), 2024);  // always long enough: every form is at least as long
  switch (form) {
    case Form::kBase64Gbk: mok::EncodeBase64Text(text, 0); break;
    case Form::kBase64Utf8: mok::EncodeBase64Text(text, 3); break;
    case Form::kUtf7: {
      std::vector<char> out(8 * text.size() + 16);
      out.resize(static_cast<std::size_t>(IcuFromUnicode("UTF-7", text, out)));
      text = FromAscii(std::string(out.begin(), out.end()));
      break;
    }
    case Form::kHz: mok::EncodeHzGb(text); break;
  }
  text.resize(size);
  return cache.emplace(key, std::move(text)).first->second;
}

const Text& Clean(std::size_t size) {
  static std::map<std::size_t, Text> cache;
  auto found = cache.find(size);
  if (found != cache.end()) return found->second;
  return cache.emplace(size, mok::bench::Prose(size, mok::bench::CommonGbHanzi(), 2024)).first->second;
}

// ---------------------------------------------------------------------------
// Plain Base64 loops: no variants, no quirks, blanks and padding skipped.

using mok::bench::PlainBase64Decode;
constexpr const char* kAlphabet = mok::bench::kBase64Alphabet;

std::size_t PlainBase64Encode(const std::uint8_t* in, std::size_t n, char16_t* out) {
  std::size_t o = 0;
  std::size_t i = 0;
  for (; i + 3 <= n; i += 3) {
    const std::uint32_t v = (std::uint32_t{in[i]} << 16) | (std::uint32_t{in[i + 1]} << 8) | in[i + 2];
    out[o++] = static_cast<char16_t>(kAlphabet[v >> 18]);
    out[o++] = static_cast<char16_t>(kAlphabet[(v >> 12) & 63]);
    out[o++] = static_cast<char16_t>(kAlphabet[(v >> 6) & 63]);
    out[o++] = static_cast<char16_t>(kAlphabet[v & 63]);
  }
  if (i < n) {
    const std::uint32_t v = (std::uint32_t{in[i]} << 16) | (i + 1 < n ? std::uint32_t{in[i + 1]} << 8 : 0);
    out[o++] = static_cast<char16_t>(kAlphabet[v >> 18]);
    out[o++] = static_cast<char16_t>(kAlphabet[(v >> 12) & 63]);
    out[o++] = i + 1 < n ? static_cast<char16_t>(kAlphabet[(v >> 6) & 63]) : u'=';
    out[o++] = u'=';
  }
  return o;
}

void SetSize(benchmark::State& state, std::size_t characters) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(characters));
}

// ---------------------------------------------------------------------------
// Physical reference: copying the input (what every in-place call starts with).

void CopyInput(benchmark::State& state, const Text& input) {
  for (auto _ : state) {
    Text text = input;
    benchmark::DoNotOptimize(text.data());
    benchmark::ClobberMemory();
  }
  SetSize(state, input.size());
}

void BM_Memcpy_Base64Gbk(benchmark::State& state) {
  CopyInput(state, Encoded(Form::kBase64Gbk, static_cast<std::size_t>(state.range(0))));
}
void BM_Memcpy_Utf7(benchmark::State& state) {
  CopyInput(state, Encoded(Form::kUtf7, static_cast<std::size_t>(state.range(0))));
}
void BM_Memcpy_Hz(benchmark::State& state) {
  CopyInput(state, Encoded(Form::kHz, static_cast<std::size_t>(state.range(0))));
}
void BM_Memcpy_Clean(benchmark::State& state) { CopyInput(state, Clean(static_cast<std::size_t>(state.range(0)))); }

// ---------------------------------------------------------------------------
// Base64 decoding: DecodeBase64Text vs plain loop + ICU decoding of the bytes.

void DecodeBase64(benchmark::State& state, Form form, std::int32_t code_page) {
  const Text& input = Encoded(form, static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    Text text = input;
    mok::DecodeBase64Text(text, code_page, 128);
    benchmark::DoNotOptimize(text.data());
  }
  SetSize(state, input.size());
}

void PlainBase64(benchmark::State& state, Form form) {
  const Text& input = Encoded(form, static_cast<std::size_t>(state.range(0)));
  std::vector<std::uint8_t> out(input.size());
  for (auto _ : state) {
    benchmark::DoNotOptimize(PlainBase64Decode(input, out.data()));
    benchmark::ClobberMemory();
  }
  SetSize(state, input.size());
}

void IcuOfDecodedBytes(benchmark::State& state, Form form, const char* converter) {
  const Text& input = Encoded(form, static_cast<std::size_t>(state.range(0)));
  std::vector<std::uint8_t> raw(input.size());
  const std::string bytes(reinterpret_cast<const char*>(raw.data()), PlainBase64Decode(input, raw.data()));
  std::vector<UChar> out(bytes.size() + 1);
  for (auto _ : state) {
    benchmark::DoNotOptimize(IcuToUnicode(converter, bytes, out));
    benchmark::ClobberMemory();
  }
  SetSize(state, input.size());
}

void BM_DecodeBase64Text_Gbk(benchmark::State& state) { DecodeBase64(state, Form::kBase64Gbk, 936); }
void BM_PlainBase64Decode_Gbk(benchmark::State& state) { PlainBase64(state, Form::kBase64Gbk); }
void BM_IcuDecode_Gbk(benchmark::State& state) { IcuOfDecodedBytes(state, Form::kBase64Gbk, "windows-936-2000"); }
void BM_DecodeBase64Text_Utf8(benchmark::State& state) { DecodeBase64(state, Form::kBase64Utf8, 65001); }
void BM_PlainBase64Decode_Utf8(benchmark::State& state) { PlainBase64(state, Form::kBase64Utf8); }
void BM_IcuDecode_Utf8(benchmark::State& state) { IcuOfDecodedBytes(state, Form::kBase64Utf8, "UTF-8"); }

// ---------------------------------------------------------------------------
// Base64 encoding: EncodeBase64Text vs ICU encoding + plain loop.

void EncodeBase64(benchmark::State& state, std::int16_t index) {
  const Text& input = Clean(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    Text text = input;
    mok::EncodeBase64Text(text, index);
    benchmark::DoNotOptimize(text.data());
  }
  SetSize(state, input.size());
}

void IcuEncode(benchmark::State& state, const char* converter) {
  const Text& input = Clean(static_cast<std::size_t>(state.range(0)));
  std::vector<char> out(4 * input.size() + 4);
  for (auto _ : state) {
    benchmark::DoNotOptimize(IcuFromUnicode(converter, input, out));
    benchmark::ClobberMemory();
  }
  SetSize(state, input.size());
}

void PlainEncode(benchmark::State& state, const char* converter) {
  const Text& input = Clean(static_cast<std::size_t>(state.range(0)));
  std::vector<char> encoded(4 * input.size() + 4);
  encoded.resize(static_cast<std::size_t>(IcuFromUnicode(converter, input, encoded)));
  std::vector<char16_t> out(encoded.size() / 3 * 4 + 4);
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        PlainBase64Encode(reinterpret_cast<const std::uint8_t*>(encoded.data()), encoded.size(), out.data()));
    benchmark::ClobberMemory();
  }
  SetSize(state, input.size());
}

void BM_EncodeBase64Text_Gbk(benchmark::State& state) { EncodeBase64(state, 0); }
void BM_IcuEncode_Gbk(benchmark::State& state) { IcuEncode(state, "windows-936-2000"); }
void BM_PlainBase64Encode_Gbk(benchmark::State& state) { PlainEncode(state, "windows-936-2000"); }
void BM_EncodeBase64Text_Utf8(benchmark::State& state) { EncodeBase64(state, 3); }
void BM_IcuEncode_Utf8(benchmark::State& state) { IcuEncode(state, "UTF-8"); }
void BM_PlainBase64Encode_Utf8(benchmark::State& state) { PlainEncode(state, "UTF-8"); }

// ---------------------------------------------------------------------------
// UTF-7 and HZ vs ICU's own converters.

void BM_DecodeUtf7(benchmark::State& state) {
  const Text& input = Encoded(Form::kUtf7, static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    Text text = input;
    mok::DecodeUtf7(text);
    benchmark::DoNotOptimize(text.data());
  }
  SetSize(state, input.size());
}

void BM_IcuUtf7Decode(benchmark::State& state) {
  const Text& input = Encoded(Form::kUtf7, static_cast<std::size_t>(state.range(0)));
  const std::string bytes = Ascii(input);
  std::vector<UChar> out(bytes.size() + 1);
  for (auto _ : state) {
    benchmark::DoNotOptimize(IcuToUnicode("UTF-7", bytes, out));
    benchmark::ClobberMemory();
  }
  SetSize(state, input.size());
}

void BM_DecodeHzGb(benchmark::State& state) {
  const Text& input = Encoded(Form::kHz, static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    Text text = input;
    mok::DecodeHzGb(text);
    benchmark::DoNotOptimize(text.data());
  }
  SetSize(state, input.size());
}

void BM_IcuHzDecode(benchmark::State& state) {
  const Text& input = Encoded(Form::kHz, static_cast<std::size_t>(state.range(0)));
  const std::string bytes = Ascii(input);
  std::vector<UChar> out(bytes.size() + 1);
  for (auto _ : state) {
    benchmark::DoNotOptimize(IcuToUnicode("HZ", bytes, out));
    benchmark::ClobberMemory();
  }
  SetSize(state, input.size());
}

void BM_EncodeHzGb(benchmark::State& state) {
  const Text& input = Clean(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    Text text = input;
    mok::EncodeHzGb(text);
    benchmark::DoNotOptimize(text.data());
  }
  SetSize(state, input.size());
}

void BM_IcuHzEncode(benchmark::State& state) {
  const Text& input = Clean(static_cast<std::size_t>(state.range(0)));
  std::vector<char> out(4 * input.size() + 4);
  for (auto _ : state) {
    benchmark::DoNotOptimize(IcuFromUnicode("HZ", input, out));
    benchmark::ClobberMemory();
  }
  SetSize(state, input.size());
}

// ---------------------------------------------------------------------------
// The streaming decoders: the same input in chunks, into one output buffer
// that is reused as mok reuses it.

constexpr std::size_t kStreamChunk = 128 * 1024;

template <typename MakeDecoder>
void DecodeStreamed(benchmark::State& state, Form form, MakeDecoder make) {
  const Text& input = Encoded(form, static_cast<std::size_t>(state.range(0)));
  Text out;
  for (auto _ : state) {
    auto decoder = make();
    for (std::size_t at = 0; at < input.size(); at += kStreamChunk) {
      out.clear();
      const bool last = at + kStreamChunk >= input.size();
      benchmark::DoNotOptimize(decoder->Decode(mok::TextView(input).substr(at, kStreamChunk), last, out));
    }
    benchmark::DoNotOptimize(out.data());
  }
  SetSize(state, input.size());
}

void BM_Base64Stream_Utf8(benchmark::State& state) {
  DecodeStreamed(state, Form::kBase64Utf8, [] { return std::make_unique<mok::Base64StreamDecoder>(65001, 128); });
}
void BM_Base64Stream_Gbk(benchmark::State& state) {
  DecodeStreamed(state, Form::kBase64Gbk, [] { return std::make_unique<mok::Base64StreamDecoder>(936, 128); });
}
void BM_Utf7Stream(benchmark::State& state) {
  DecodeStreamed(state, Form::kUtf7, [] { return std::make_unique<mok::Utf7StreamDecoder>(); });
}
void BM_HzStream(benchmark::State& state) {
  DecodeStreamed(state, Form::kHz, [] { return std::make_unique<mok::HzStreamDecoder>(); });
}

#define MOK_SIZES Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMicrosecond)

BENCHMARK(BM_Memcpy_Base64Gbk)->MOK_SIZES;
BENCHMARK(BM_Memcpy_Utf7)->MOK_SIZES;
BENCHMARK(BM_Memcpy_Hz)->MOK_SIZES;
BENCHMARK(BM_Memcpy_Clean)->MOK_SIZES;
BENCHMARK(BM_DecodeBase64Text_Gbk)->MOK_SIZES;
BENCHMARK(BM_Base64Stream_Gbk)->MOK_SIZES;
BENCHMARK(BM_PlainBase64Decode_Gbk)->MOK_SIZES;
BENCHMARK(BM_IcuDecode_Gbk)->MOK_SIZES;
BENCHMARK(BM_DecodeBase64Text_Utf8)->MOK_SIZES;
BENCHMARK(BM_Base64Stream_Utf8)->MOK_SIZES;
BENCHMARK(BM_PlainBase64Decode_Utf8)->MOK_SIZES;
BENCHMARK(BM_IcuDecode_Utf8)->MOK_SIZES;
BENCHMARK(BM_EncodeBase64Text_Gbk)->MOK_SIZES;
BENCHMARK(BM_IcuEncode_Gbk)->MOK_SIZES;
BENCHMARK(BM_PlainBase64Encode_Gbk)->MOK_SIZES;
BENCHMARK(BM_EncodeBase64Text_Utf8)->MOK_SIZES;
BENCHMARK(BM_IcuEncode_Utf8)->MOK_SIZES;
BENCHMARK(BM_PlainBase64Encode_Utf8)->MOK_SIZES;
BENCHMARK(BM_DecodeUtf7)->MOK_SIZES;
BENCHMARK(BM_Utf7Stream)->MOK_SIZES;
BENCHMARK(BM_IcuUtf7Decode)->MOK_SIZES;
BENCHMARK(BM_DecodeHzGb)->MOK_SIZES;
BENCHMARK(BM_HzStream)->MOK_SIZES;
BENCHMARK(BM_IcuHzDecode)->MOK_SIZES;
BENCHMARK(BM_EncodeHzGb)->MOK_SIZES;
BENCHMARK(BM_IcuHzEncode)->MOK_SIZES;

}  // namespace
