// Quoted-printable, URL and numeric reference codecs against their physical and
// plain references.
//
// Every benchmark runs on an input of 16000 characters (arg 16000) and of 1 Mi
// characters (arg 1048576). Bytes processed are counted as characters of the
// encoded (transfer) form for decoders and of the clean text for encoders, so
// the MB/s of a function and of its references compare directly.
//
// Memory: the codec functions work in place on a Text, so each iteration first
// copies the input into a fresh Text (the "Memcpy" reference is that copy
// alone). Decoders then write over that copy; encoders allocate their output
// fresh, once, at its largest size. The plain loops and the raw ICU conversions
// write into buffers allocated once outside the timing loop and reused, which
// flatters the references.

#include <benchmark/benchmark.h>
#include <unicode/ucnv.h>

#include <cstdint>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "codec/conversion_core.h"
#include "codec/html_entities.h"
#include "codec/numeric_refs.h"
#include "codec/qp_url.h"
#include "bench/support/icu_reference.h"
#include "bench/support/prose.h"

namespace {

using mok::Bytes;
using mok::Text;

constexpr std::int64_t kSmall = 16000;
constexpr std::int64_t kLarge = 1 << 20;

// ---------------------------------------------------------------------------
// ICU converters, opened once and reused.

using mok::bench::Converter;

std::int32_t IcuToUnicode(const char* name, const std::vector<std::uint8_t>& bytes, std::vector<UChar>& out) {
  UErrorCode err = U_ZERO_ERROR;
  UConverter* converter = Converter(name);
  ucnv_reset(converter);
  return ucnv_toUChars(converter, out.data(), static_cast<std::int32_t>(out.size()),
                       reinterpret_cast<const char*>(bytes.data()), static_cast<std::int32_t>(bytes.size()), &err);
}

std::int32_t IcuFromUnicode(const char* name, const Text& text, std::vector<std::uint8_t>& out) {
  UErrorCode err = U_ZERO_ERROR;
  UConverter* converter = Converter(name);
  ucnv_reset(converter);
  return ucnv_fromUChars(converter, reinterpret_cast<char*>(out.data()), static_cast<std::int32_t>(out.size()),
                         reinterpret_cast<const UChar*>(text.data()), static_cast<std::int32_t>(text.size()), &err);
}

const char* IcuName(std::int32_t code_page) { return code_page == 936 ? "windows-936-2000" : "UTF-8"; }

// ---------------------------------------------------------------------------
// Realistic input: Chinese prose with full-width punctuation, some ASCII words
// and numbers, and a line break every forty-odd characters.

const Text& Clean(std::size_t size) {
  static std::map<std::size_t, Text> cache;
  auto found = cache.find(size);
  if (found != cache.end()) return found->second;
  return cache.emplace(size, mok::bench::Prose(size, mok::bench::CommonGbHanzi(), 2024)).first->second;
}

constexpr char16_t kHex[] = u"0123456789ABCDEF";

bool IsUnreserved(std::uint8_t b) {
  return (b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || b == '-' || b == '_' ||
         b == '.' || b == '~';
}

// Form data as a browser sends it: unreserved bytes as they are, space as "+",
// everything else "%XX".
Text UrlEncode(const Text& text, std::int32_t code_page) {
  const Bytes bytes = mok::TextToCpBytes(text, code_page);
  Text out;
  out.reserve(3 * bytes.size());
  for (const std::uint8_t b : bytes) {
    if (IsUnreserved(b)) {
      out += b;
    } else if (b == ' ') {
      out += u'+';
    } else {
      out += u'%';
      out += kHex[b >> 4];
      out += kHex[b & 15];
    }
  }
  return out;
}

// HTML as editors write it: mostly hexadecimal references, some decimal ones,
// a few named entities and a "<br>" before every line break.
Text HtmlEncode(const Text& text) {
  Text out;
  std::mt19937 rng(7);
  static const char16_t* const kNamed[] = {u"&nbsp;", u"&amp;", u"&quot;", u"&lt;b&gt;", u"&copy;", u"&mdash;"};
  for (const char16_t c : text) {
    if (c == u'\r') {
      out += u"<br>\r";
    } else if (c < 0x80) {
      out += c;
      if (c == u' ' && rng() % 4 == 0) out += kNamed[rng() % 6];
    } else if (rng() % 4 == 0) {
      out += u"&#";
      for (const char digit : std::to_string(static_cast<int>(c))) out += static_cast<char16_t>(digit);
      out += u';';
    } else {
      Text one(1, c);
      mok::EncodeNumericRefs(one, 0);
      out += one;
    }
  }
  return out;
}

enum class Form { kQpGbk, kQpUtf8, kUrlGbk, kUrlUtf8, kHtml, kBackslash, kPercentU };

// Transfer forms of prose, cut to exactly `size` characters.
const Text& Encoded(Form form, std::size_t size) {
  static std::map<std::pair<int, std::size_t>, Text> cache;
  const auto key = std::make_pair(static_cast<int>(form), size);
  auto found = cache.find(key);
  if (found != cache.end()) return found->second;
  Text text = mok::bench::Prose(size, mok::bench::CommonGbHanzi(), 2024);  // every form is at least as long as the prose
  switch (form) {
    case Form::kQpGbk: mok::EncodeQpUrl(text, 0); break;
    case Form::kQpUtf8: mok::EncodeQpUrl(text, 9); break;
    case Form::kUrlGbk: text = UrlEncode(text, 936); break;
    case Form::kUrlUtf8: text = UrlEncode(text, 65001); break;
    case Form::kHtml: text = HtmlEncode(text); break;
    case Form::kBackslash: mok::EncodeNumericRefs(text, 1); break;
    case Form::kPercentU:
      mok::EncodeNumericRefs(text, 1);
      for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == u'\\' && text[i + 1] == u'u') text[i] = u'%';
      }
      break;
  }
  text.resize(size);
  return cache.emplace(key, std::move(text)).first->second;
}

// ---------------------------------------------------------------------------
// Plain loops: the transfer step alone, no quirks.

int HexValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  return -1;
}

// "=XX" and "%XX" to bytes, soft line breaks dropped, "+" a space in URLs.
std::size_t PlainTransferDecode(const Text& in, char16_t escape, std::uint8_t* out) {
  std::size_t o = 0;
  const std::size_t n = in.size();
  for (std::size_t i = 0; i < n;) {
    const char16_t c = in[i];
    if (c == escape && i + 2 < n) {
      if (escape == u'=' && in[i + 1] == u'\r' && in[i + 2] == u'\n') {
        i += 3;
        continue;
      }
      const int high = HexValue(in[i + 1]);
      const int low = HexValue(in[i + 2]);
      if (high >= 0 && low >= 0) {
        out[o++] = static_cast<std::uint8_t>(high * 16 + low);
        i += 3;
        continue;
      }
    }
    out[o++] = escape == u'%' && c == u'+' ? ' ' : static_cast<std::uint8_t>(c);
    ++i;
  }
  return o;
}

// Bytes to quoted-printable with 76-character lines.
std::size_t PlainQpEncode(const std::vector<std::uint8_t>& bytes, char16_t* out) {
  std::size_t o = 0;
  std::size_t line = 0;
  for (const std::uint8_t b : bytes) {
    const bool escaped = b < 0x20 || b > 0x7E || b == '=';
    const std::size_t piece = escaped ? 3 : 1;
    if (line + piece > 75) {
      out[o++] = u'=';
      out[o++] = u'\r';
      out[o++] = u'\n';
      line = 0;
    }
    line += piece;
    if (escaped) {
      out[o++] = u'=';
      out[o++] = kHex[b >> 4];
      out[o++] = kHex[b & 15];
    } else {
      out[o++] = b;
    }
  }
  return o;
}

// Numeric references with the given opener and hex digit count (0: HTML, up to
// six hex digits or decimal digits, closed by ";").
std::size_t PlainRefsDecode(const Text& in, int mode, char16_t* out) {
  std::size_t o = 0;
  const std::size_t n = in.size();
  for (std::size_t i = 0; i < n;) {
    const char16_t c = in[i];
    if (mode == 0 && c == u'&' && i + 2 < n && in[i + 1] == u'#') {
      const bool hex = in[i + 2] == u'x' || in[i + 2] == u'X';
      std::size_t j = i + (hex ? 3 : 2);
      std::uint32_t v = 0;
      while (j < n && (hex ? HexValue(in[j]) >= 0 : (in[j] >= u'0' && in[j] <= u'9'))) {
        v = hex ? v * 16 + static_cast<std::uint32_t>(HexValue(in[j])) : v * 10 + (in[j] - u'0');
        ++j;
      }
      if (j < n && in[j] == u';') ++j;
      if (v >= 0x10000) {
        out[o++] = static_cast<char16_t>(0xD800 + ((v - 0x10000) >> 10));
        out[o++] = static_cast<char16_t>(0xDC00 + ((v - 0x10000) & 0x3FF));
      } else {
        out[o++] = static_cast<char16_t>(v);
      }
      i = j;
      continue;
    }
    const char16_t opener = mode == 1 ? u'\\' : u'%';
    if (mode != 0 && c == opener && i + 5 < n && in[i + 1] == u'u') {
      std::uint32_t v = 0;
      for (std::size_t k = 2; k < 6; ++k) v = v * 16 + static_cast<std::uint32_t>(HexValue(in[i + k]) & 15);
      out[o++] = static_cast<char16_t>(v);
      i += 6;
      continue;
    }
    out[o++] = c;
    ++i;
  }
  return o;
}

// "&name;" of the entity table to its character, looked up in a hash map.
std::size_t PlainEntitiesDecode(const Text& in, char16_t* out) {
  static const std::unordered_map<std::u16string, char16_t> entities = [] {
    std::unordered_map<std::u16string, char16_t> map;
    const std::string_view list = mok::kHtmlEntityList;
    std::size_t start = 0;
    while (start < list.size()) {
      const std::size_t comma = list.find(',', start);
      std::size_t end = list.find(',', comma + 1);
      if (end == std::string_view::npos) end = list.size();
      const std::string_view name = list.substr(start, comma - start);
      map.emplace(std::u16string(name.begin(), name.end()),
                  static_cast<char16_t>(std::stoi(std::string(list.substr(comma + 1, end - comma - 1)))));
      start = end + 1;
    }
    return map;
  }();
  std::size_t o = 0;
  const std::size_t n = in.size();
  std::u16string name;
  for (std::size_t i = 0; i < n;) {
    if (in[i] == u'&') {
      std::size_t j = i + 1;
      while (j < n && j - i <= 9 && in[j] != u';') ++j;
      if (j < n && in[j] == u';') {
        name.assign(in, i + 1, j - i - 1);
        const auto found = entities.find(name);
        if (found != entities.end()) {
          out[o++] = found->second;
          i = j + 1;
          continue;
        }
      }
    }
    out[o++] = in[i++];
  }
  return o;
}

std::size_t PlainRefsEncode(const Text& in, int mode, char16_t* out) {
  std::size_t o = 0;
  for (const char16_t c : in) {
    if (c < 0x80) {
      out[o++] = c;
    } else if (mode == 0) {
      out[o++] = u'&';
      out[o++] = u'#';
      out[o++] = u'x';
      int shift = 12;
      while ((c >> shift) == 0) shift -= 4;
      for (; shift >= 0; shift -= 4) out[o++] = kHex[(c >> shift) & 15];
      out[o++] = u';';
    } else {
      out[o++] = u'\\';
      out[o++] = u'u';
      for (int shift = 12; shift >= 0; shift -= 4) out[o++] = kHex[(c >> shift) & 15];
    }
  }
  return o;
}

void SetSize(benchmark::State& state, std::size_t characters) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(characters));
}

std::size_t Arg(const benchmark::State& state) { return static_cast<std::size_t>(state.range(0)); }

// ---------------------------------------------------------------------------
// Physical reference: copying the input, as every in-place call starts with.

void CopyInput(benchmark::State& state, const Text& input) {
  for (auto _ : state) {
    Text text = input;
    benchmark::DoNotOptimize(text.data());
    benchmark::ClobberMemory();
  }
  SetSize(state, input.size());
}

void BM_RefsQp_Memcpy_Qp(benchmark::State& state) { CopyInput(state, Encoded(Form::kQpGbk, Arg(state))); }
void BM_RefsQp_Memcpy_Clean(benchmark::State& state) { CopyInput(state, Clean(Arg(state))); }

// ---------------------------------------------------------------------------
// DecodeQpUrl vs plain transfer loop + ICU decoding of the bytes.

void DecodeTransfer(benchmark::State& state, Form form, std::int32_t code_page, std::int16_t mode) {
  const Text& input = Encoded(form, Arg(state));
  for (auto _ : state) {
    Text text = input;
    mok::DecodeQpUrl(text, code_page, mode);
    benchmark::DoNotOptimize(text.data());
  }
  SetSize(state, input.size());
}

void PlainTransfer(benchmark::State& state, Form form, char16_t escape) {
  const Text& input = Encoded(form, Arg(state));
  std::vector<std::uint8_t> out(input.size());
  for (auto _ : state) {
    benchmark::DoNotOptimize(PlainTransferDecode(input, escape, out.data()));
    benchmark::ClobberMemory();
  }
  SetSize(state, input.size());
}

void IcuOfTransferBytes(benchmark::State& state, Form form, char16_t escape, std::int32_t code_page) {
  const Text& input = Encoded(form, Arg(state));
  std::vector<std::uint8_t> bytes(input.size());
  bytes.resize(PlainTransferDecode(input, escape, bytes.data()));
  std::vector<UChar> out(bytes.size() + 1);
  for (auto _ : state) {
    benchmark::DoNotOptimize(IcuToUnicode(IcuName(code_page), bytes, out));
    benchmark::ClobberMemory();
  }
  SetSize(state, input.size());
}

// The streaming decoder mok uses: the same input in chunks of 128 Ki
// characters, into one output buffer reused as mok reuses it.
void DecodeTransferStreamed(benchmark::State& state, Form form, std::int32_t code_page, std::int16_t mode) {
  constexpr std::size_t kChunk = 128 * 1024;
  const Text& input = Encoded(form, Arg(state));
  Text out;
  for (auto _ : state) {
    mok::QpUrlStreamDecoder decoder(code_page, mode);
    for (std::size_t at = 0; at < input.size(); at += kChunk) {
      out.clear();
      benchmark::DoNotOptimize(
          decoder.Decode(mok::TextView(input).substr(at, kChunk), at + kChunk >= input.size(), out));
    }
    benchmark::DoNotOptimize(out.data());
  }
  SetSize(state, input.size());
}

void BM_RefsQp_StreamQp_Gbk(benchmark::State& state) { DecodeTransferStreamed(state, Form::kQpGbk, 936, 128); }
void BM_RefsQp_StreamUrl_Gbk(benchmark::State& state) { DecodeTransferStreamed(state, Form::kUrlGbk, 936, 129); }

void BM_RefsQp_DecodeQp_Gbk(benchmark::State& state) { DecodeTransfer(state, Form::kQpGbk, 936, 128); }
void BM_RefsQp_PlainQp_Gbk(benchmark::State& state) { PlainTransfer(state, Form::kQpGbk, u'='); }
void BM_RefsQp_IcuQp_Gbk(benchmark::State& state) { IcuOfTransferBytes(state, Form::kQpGbk, u'=', 936); }
void BM_RefsQp_DecodeQp_Utf8(benchmark::State& state) { DecodeTransfer(state, Form::kQpUtf8, 65001, 128); }
void BM_RefsQp_PlainQp_Utf8(benchmark::State& state) { PlainTransfer(state, Form::kQpUtf8, u'='); }
void BM_RefsQp_IcuQp_Utf8(benchmark::State& state) { IcuOfTransferBytes(state, Form::kQpUtf8, u'=', 65001); }
void BM_RefsQp_DecodeUrl_Gbk(benchmark::State& state) { DecodeTransfer(state, Form::kUrlGbk, 936, 129); }
void BM_RefsQp_PlainUrl_Gbk(benchmark::State& state) { PlainTransfer(state, Form::kUrlGbk, u'%'); }
void BM_RefsQp_IcuUrl_Gbk(benchmark::State& state) { IcuOfTransferBytes(state, Form::kUrlGbk, u'%', 936); }
void BM_RefsQp_DecodeUrl_Utf8(benchmark::State& state) { DecodeTransfer(state, Form::kUrlUtf8, 65001, 129); }
void BM_RefsQp_PlainUrl_Utf8(benchmark::State& state) { PlainTransfer(state, Form::kUrlUtf8, u'%'); }
void BM_RefsQp_IcuUrl_Utf8(benchmark::State& state) { IcuOfTransferBytes(state, Form::kUrlUtf8, u'%', 65001); }

// ---------------------------------------------------------------------------
// EncodeQpUrl vs ICU encoding + plain quoted-printable loop.

void EncodeQp(benchmark::State& state, std::int16_t index) {
  const Text& input = Clean(Arg(state));
  for (auto _ : state) {
    Text text = input;
    mok::EncodeQpUrl(text, index);
    benchmark::DoNotOptimize(text.data());
  }
  SetSize(state, input.size());
}

void IcuEncode(benchmark::State& state, std::int32_t code_page) {
  const Text& input = Clean(Arg(state));
  std::vector<std::uint8_t> out(4 * input.size() + 4);
  for (auto _ : state) {
    benchmark::DoNotOptimize(IcuFromUnicode(IcuName(code_page), input, out));
    benchmark::ClobberMemory();
  }
  SetSize(state, input.size());
}

void PlainQpOfBytes(benchmark::State& state, std::int32_t code_page) {
  const Text& input = Clean(Arg(state));
  std::vector<std::uint8_t> bytes(4 * input.size() + 4);
  bytes.resize(static_cast<std::size_t>(IcuFromUnicode(IcuName(code_page), input, bytes)));
  std::vector<char16_t> out(4 * bytes.size() + 4);
  for (auto _ : state) {
    benchmark::DoNotOptimize(PlainQpEncode(bytes, out.data()));
    benchmark::ClobberMemory();
  }
  SetSize(state, input.size());
}

void BM_RefsQp_EncodeQp_Gbk(benchmark::State& state) { EncodeQp(state, 0); }
void BM_RefsQp_IcuEncode_Gbk(benchmark::State& state) { IcuEncode(state, 936); }
void BM_RefsQp_PlainQpEncode_Gbk(benchmark::State& state) { PlainQpOfBytes(state, 936); }
void BM_RefsQp_EncodeQp_Utf8(benchmark::State& state) { EncodeQp(state, 9); }
void BM_RefsQp_IcuEncode_Utf8(benchmark::State& state) { IcuEncode(state, 65001); }
void BM_RefsQp_PlainQpEncode_Utf8(benchmark::State& state) { PlainQpOfBytes(state, 65001); }

// ---------------------------------------------------------------------------
// Numeric references (no character set involved): codec vs plain loop.

void DecodeRefs(benchmark::State& state, Form form, std::int16_t mode) {
  const Text& input = Encoded(form, Arg(state));
  for (auto _ : state) {
    Text text = input;
    mok::DecodeNumericRefs(text, mode);
    benchmark::DoNotOptimize(text.data());
  }
  SetSize(state, input.size());
}

void PlainRefs(benchmark::State& state, Form form, int mode) {
  const Text& input = Encoded(form, Arg(state));
  std::vector<char16_t> out(input.size());
  for (auto _ : state) {
    benchmark::DoNotOptimize(PlainRefsDecode(input, mode, out.data()));
    benchmark::ClobberMemory();
  }
  SetSize(state, input.size());
}

void BM_RefsQp_DecodeRefs_Html(benchmark::State& state) { DecodeRefs(state, Form::kHtml, 0); }
void BM_RefsQp_PlainRefs_Html(benchmark::State& state) { PlainRefs(state, Form::kHtml, 0); }
void BM_RefsQp_DecodeRefs_Backslash(benchmark::State& state) { DecodeRefs(state, Form::kBackslash, 1); }
void BM_RefsQp_PlainRefs_Backslash(benchmark::State& state) { PlainRefs(state, Form::kBackslash, 1); }
void BM_RefsQp_DecodeRefs_PercentU(benchmark::State& state) { DecodeRefs(state, Form::kPercentU, 2); }
void BM_RefsQp_PlainRefs_PercentU(benchmark::State& state) { PlainRefs(state, Form::kPercentU, 2); }

void BM_RefsQp_DecodeNamedEntities_Html(benchmark::State& state) {
  const Text& input = Encoded(Form::kHtml, Arg(state));
  for (auto _ : state) {
    Text text = input;
    mok::DecodeNamedEntities(text);
    benchmark::DoNotOptimize(text.data());
  }
  SetSize(state, input.size());
}

void BM_RefsQp_PlainEntities_Html(benchmark::State& state) {
  const Text& input = Encoded(Form::kHtml, Arg(state));
  std::vector<char16_t> out(input.size());
  for (auto _ : state) {
    benchmark::DoNotOptimize(PlainEntitiesDecode(input, out.data()));
    benchmark::ClobberMemory();
  }
  SetSize(state, input.size());
}

void EncodeRefs(benchmark::State& state, std::int16_t mode) {
  const Text& input = Clean(Arg(state));
  for (auto _ : state) {
    Text text = input;
    mok::EncodeNumericRefs(text, mode);
    benchmark::DoNotOptimize(text.data());
  }
  SetSize(state, input.size());
}

void PlainRefsEncoding(benchmark::State& state, int mode) {
  const Text& input = Clean(Arg(state));
  std::vector<char16_t> out(8 * input.size());
  for (auto _ : state) {
    benchmark::DoNotOptimize(PlainRefsEncode(input, mode, out.data()));
    benchmark::ClobberMemory();
  }
  SetSize(state, input.size());
}

void BM_RefsQp_EncodeRefs_Html(benchmark::State& state) { EncodeRefs(state, 0); }
void BM_RefsQp_PlainRefsEncode_Html(benchmark::State& state) { PlainRefsEncoding(state, 0); }
void BM_RefsQp_EncodeRefs_Backslash(benchmark::State& state) { EncodeRefs(state, 1); }
void BM_RefsQp_PlainRefsEncode_Backslash(benchmark::State& state) { PlainRefsEncoding(state, 1); }

#define MOK_SIZES Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMicrosecond)

BENCHMARK(BM_RefsQp_Memcpy_Qp)->MOK_SIZES;
BENCHMARK(BM_RefsQp_Memcpy_Clean)->MOK_SIZES;
BENCHMARK(BM_RefsQp_DecodeQp_Gbk)->MOK_SIZES;
BENCHMARK(BM_RefsQp_StreamQp_Gbk)->MOK_SIZES;
BENCHMARK(BM_RefsQp_PlainQp_Gbk)->MOK_SIZES;
BENCHMARK(BM_RefsQp_IcuQp_Gbk)->MOK_SIZES;
BENCHMARK(BM_RefsQp_DecodeQp_Utf8)->MOK_SIZES;
BENCHMARK(BM_RefsQp_PlainQp_Utf8)->MOK_SIZES;
BENCHMARK(BM_RefsQp_IcuQp_Utf8)->MOK_SIZES;
BENCHMARK(BM_RefsQp_DecodeUrl_Gbk)->MOK_SIZES;
BENCHMARK(BM_RefsQp_StreamUrl_Gbk)->MOK_SIZES;
BENCHMARK(BM_RefsQp_PlainUrl_Gbk)->MOK_SIZES;
BENCHMARK(BM_RefsQp_IcuUrl_Gbk)->MOK_SIZES;
BENCHMARK(BM_RefsQp_DecodeUrl_Utf8)->MOK_SIZES;
BENCHMARK(BM_RefsQp_PlainUrl_Utf8)->MOK_SIZES;
BENCHMARK(BM_RefsQp_IcuUrl_Utf8)->MOK_SIZES;
BENCHMARK(BM_RefsQp_EncodeQp_Gbk)->MOK_SIZES;
BENCHMARK(BM_RefsQp_IcuEncode_Gbk)->MOK_SIZES;
BENCHMARK(BM_RefsQp_PlainQpEncode_Gbk)->MOK_SIZES;
BENCHMARK(BM_RefsQp_EncodeQp_Utf8)->MOK_SIZES;
BENCHMARK(BM_RefsQp_IcuEncode_Utf8)->MOK_SIZES;
BENCHMARK(BM_RefsQp_PlainQpEncode_Utf8)->MOK_SIZES;
BENCHMARK(BM_RefsQp_DecodeRefs_Html)->MOK_SIZES;
BENCHMARK(BM_RefsQp_PlainRefs_Html)->MOK_SIZES;
BENCHMARK(BM_RefsQp_DecodeNamedEntities_Html)->MOK_SIZES;
BENCHMARK(BM_RefsQp_PlainEntities_Html)->MOK_SIZES;
BENCHMARK(BM_RefsQp_DecodeRefs_Backslash)->MOK_SIZES;
BENCHMARK(BM_RefsQp_PlainRefs_Backslash)->MOK_SIZES;
BENCHMARK(BM_RefsQp_DecodeRefs_PercentU)->MOK_SIZES;
BENCHMARK(BM_RefsQp_PlainRefs_PercentU)->MOK_SIZES;
BENCHMARK(BM_RefsQp_EncodeRefs_Html)->MOK_SIZES;
BENCHMARK(BM_RefsQp_PlainRefsEncode_Html)->MOK_SIZES;
BENCHMARK(BM_RefsQp_EncodeRefs_Backslash)->MOK_SIZES;
BENCHMARK(BM_RefsQp_PlainRefsEncode_Backslash)->MOK_SIZES;

}  // namespace
