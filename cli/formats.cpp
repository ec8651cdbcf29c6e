#include "cli/formats.h"

#include <algorithm>
#include <charconv>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "cli/words.h"
#include "codec/charset_conversion.h"
#include "codec/charset_tables.h"
#include "codec/text_files.h"

namespace mok::cli {
namespace {

// The character set a file format is written in; UTF-16BE is the language
// code UBE, the others are code pages (1200: the UTF-16LE byte view).
std::unique_ptr<CharsetStream> CharsetOfFormat(std::int16_t format, const EncodeRules& rules = EncodeRules()) {
  switch (format) {
    case kFormatGbk: return CharsetStream::ByCodePage(936, rules);
    case kFormatGb18030: return CharsetStream::ByCodePage(54936, rules);
    case kFormatLatin1: return CharsetStream::ByCodePage(28591, rules);
    case kFormatUtf16LeBom:
    case kFormatUtf16Le: return CharsetStream::ByCodePage(1200, rules);
    case kFormatUtf16BeBom:
    case kFormatUtf16Be: return CharsetStream::ByLanguageCode(-3, rules);
    default: return CharsetStream::ByCodePage(65001, rules);
  }
}

bool HasMark(std::int16_t format) { return format >= kFormatUtf16LeBom && format <= kFormatUtf8Bom; }

}  // namespace

bool ParseFileEncoding(std::string_view word, FileEncoding& encoding) {
  auto found = [&](std::int16_t format, std::int32_t code_page) {
    encoding = FileEncoding();
    encoding.format = format;
    encoding.code_page = format == 0 ? code_page : 0;
    encoding.name = std::string(word);
    return true;
  };
  for (std::size_t i = 0; i < kFormatNames.size(); ++i) {
    if (EqualsIgnoringCase(word, kFormatNames[i])) return found(static_cast<std::int16_t>(i + 1), 0);
  }
  std::int32_t number = 0;
  const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), number);
  const bool numeric = error == std::errc() && end == word.data() + word.size();
  for (const NamedCode& entry : CodePages()) {
    if (numeric ? entry.code == number : NamesMenuName(word, ToUtf8(entry.name))) return found(0, entry.code);
  }
  if (numeric) return false;
  if (NamesConverter(word, "UTF-16BE")) return found(kFormatUtf16Be, 0);
  if (NamesConverter(word, "UTF-16")) {
    found(kFormatUtf16LeBom, 0);
    encoding.either_mark = true;
    return true;
  }
  switch (const std::int32_t code_page = CodePageOfCharsetName(word)) {
    case 0: return false;
    case 65001: return found(kFormatUtf8, 0);
    case 1200: return found(kFormatUtf16Le, 0);
    case 936: return found(kFormatGbk, 0);
    case 54936: return found(kFormatGb18030, 0);
    case 28591: return found(kFormatLatin1, 0);
    default: return found(0, code_page);
  }
}

bool NeedsDetection(const FileEncoding& encoding) { return encoding.format == 0 && encoding.code_page == 0; }

bool IsStrictUtf8(BytesView bytes, bool cut_allowed) {
  std::size_t i = 0;
  const std::size_t n = bytes.size();
  while (i < n) {
    const std::uint8_t b = bytes[i];
    if (b < 0x80) {
      ++i;
      continue;
    }
    int length = 0;
    std::uint8_t low = 0x80, high = 0xBF;  // the range of the second byte
    if (b >= 0xC2 && b <= 0xDF) {
      length = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
      length = 3;
      if (b == 0xE0) low = 0xA0;   // overlong
      if (b == 0xED) high = 0x9F;  // surrogates
    } else if (b >= 0xF0 && b <= 0xF4) {
      length = 4;
      if (b == 0xF0) low = 0x90;   // overlong
      if (b == 0xF4) high = 0x8F;  // above U+10FFFF
    } else {
      return false;
    }
    for (int k = 1; k < length; ++k) {
      if (i + k >= n) return cut_allowed;
      const std::uint8_t c = bytes[i + k];
      if (k == 1 ? (c < low || c > high) : (c < 0x80 || c > 0xBF)) return false;
    }
    i += static_cast<std::size_t>(length);
  }
  return true;
}

std::int16_t DetectInputFormat(BytesView head, bool complete) {
  const std::int16_t window = DetectFileFormat(head);
  if (window != 0) return window;
  return IsStrictUtf8(head, !complete) ? kFormatUtf8 : kFormatGbk;
}

InputDecoder::InputDecoder(const FileEncoding& requested, std::int16_t detected) {
  if (requested.format == 0 && requested.code_page != 0) {
    charset_ = CharsetStream::ByCodePage(requested.code_page);
    code_page_ = requested.code_page;
    name_ = requested.name;
    return;
  }
  // The same combination as DecodeFileBytes: a requested mark the file lacks
  // means the same encoding without it; no request takes the detected format.
  if (detected < 1 || detected > 9) detected = kFormatGbk;
  std::int16_t used = requested.format;
  if (requested.either_mark && detected == kFormatUtf16BeBom) used = kFormatUtf16BeBom;
  if (HasMark(used)) {
    if (detected != used) used += 3;
  } else if (used < 1 || used > 9) {
    used = detected;
  }
  charset_ = CharsetOfFormat(used);
  if (HasMark(used)) mark_left_ = used == kFormatUtf8Bom ? 3 : 2;
  switch (used) {
    case kFormatGbk: code_page_ = 936; break;
    case kFormatGb18030: code_page_ = 54936; break;
    case kFormatLatin1: code_page_ = 28591; break;
    case kFormatUtf8Bom:
    case kFormatUtf8: code_page_ = 65001; break;
    default: code_page_ = 1200; break;
  }
  name_ = requested.name.empty() ? ToUtf8(FileFormatName(used, true)) : requested.name;
  ascii_as_is_ = code_page_ == 65001 || code_page_ == 936 || code_page_ == 54936 || code_page_ == 28591;
}

namespace {

// Widens the ASCII bytes at the start of bytes into the empty out, NULs as
// spaces, up to the first other byte; returns how many it took.
std::size_t WidenAscii(BytesView bytes, Text& out) {
  const std::size_t n = bytes.size();
  out.resize(n);
  const std::uint8_t* p = bytes.data();
  char16_t* o = out.data();
  std::size_t i = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128(), space = _mm_set1_epi8(' ');
  for (; i + 16 <= n; i += 16) {
    __m128i sixteen = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    if (_mm_movemask_epi8(sixteen) != 0) break;
    sixteen = _mm_or_si128(sixteen, _mm_and_si128(_mm_cmpeq_epi8(sixteen, zero), space));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o + i), _mm_unpacklo_epi8(sixteen, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o + i + 8), _mm_unpackhi_epi8(sixteen, zero));
  }
#endif
  for (; i < n && p[i] < 0x80; ++i) o[i] = p[i] == 0 ? u' ' : p[i];
  out.resize(i);
  return i;
}

}  // namespace

bool InputDecoder::Decode(BytesView chunk, bool last, Text& out) {
  out.clear();
  const std::size_t skipped = std::min(mark_left_, chunk.size());
  mark_left_ -= skipped;
  const std::size_t pending = charset_->PendingDecodeBytes();
  text_offset_ = fed_ + skipped - pending;
  fed_ += chunk.size();
  BytesView bytes = chunk.substr(skipped);
  // Where each ASCII byte is a character of its own and nothing waits, the
  // chunk's ASCII start is widened in one pass, NULs as spaces at once; the
  // converter takes the rest from there as it would have.
  if (ascii_as_is_ && pending == 0) {
    bytes.remove_prefix(WidenAscii(bytes, out));
    if (bytes.empty() && !last) return true;
  }
  const std::size_t at = out.size();
  if (!charset_->Decode(bytes, last, out)) return false;
  for (std::size_t k = at; k < out.size(); ++k) out[k] = out[k] == 0 ? u' ' : out[k];
  return true;
}

BytesView InputDecoder::Pass(BytesView chunk) {
  const std::size_t skipped = std::min(mark_left_, chunk.size());
  mark_left_ -= skipped;
  text_offset_ = fed_ + skipped;
  fed_ += chunk.size();
  return chunk.substr(skipped);
}

std::uint64_t InputDecoder::InputBytesOf(TextView text) const {
  if (code_page_ == 1200) return 2 * text.size();
  return TextToCpBytes(text, code_page_).size();
}

OutputEncoder::OutputEncoder(const FileEncoding& encoding, const EncodeRules& rules) {
  if (encoding.format == 0) {
    charset_ = CharsetStream::ByCodePage(encoding.code_page, rules);
    utf8_ = encoding.code_page == 65001;
  } else {
    charset_ = CharsetOfFormat(encoding.format, rules);
    mark_pending_ = HasMark(encoding.format);
    utf8_ = encoding.format == kFormatUtf8 || encoding.format == kFormatUtf8Bom;
  }
}

bool OutputEncoder::Encode(TextView chunk, bool last, Bytes& out) {
  out.clear();
  if (mark_pending_) {
    mark_pending_ = false;
    if (!charset_->Encode(u"\uFEFF", false, out)) return false;
  }
  return charset_->Encode(chunk, last, out);
}

}  // namespace mok::cli
