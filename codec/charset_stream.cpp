#include "codec/charset_stream.h"

#include <algorithm>
#include <cstring>

#include "codec/charset_conversion.h"

namespace mok {
namespace {

// Decodes the longest start of bytes that is valid UTF-8 (no overlong forms,
// no encoded surrogates, nothing above U+10FFFF) and ends with a whole
// character; returns how many bytes it took.
std::size_t AppendValidUtf8(BytesView bytes, Text& out) {
  const std::size_t at = out.size();
  out.resize(at + bytes.size());
  char16_t* o = out.data() + at;
  const std::uint8_t* p = bytes.data();
  const std::uint8_t* const end = p + bytes.size();
  while (p < end) {
    // Eight ASCII bytes at a time.
    while (end - p >= 8) {
      std::uint64_t eight;
      std::memcpy(&eight, p, 8);
      if (eight & 0x8080808080808080ull) break;
      for (int k = 0; k < 8; ++k) o[k] = p[k];
      o += 8;
      p += 8;
    }
    // Three-byte characters one after another, as Chinese text comes.
    while (end - p >= 3 && (p[0] & 0xF0) == 0xE0 && (p[1] & 0xC0) == 0x80 && (p[2] & 0xC0) == 0x80) {
      const char16_t unit = static_cast<char16_t>(((p[0] & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F));
      if (unit < 0x800 || (unit >= 0xD800 && unit <= 0xDFFF)) break;  // overlong, or a surrogate
      *o++ = unit;
      p += 3;
    }
    if (p >= end) break;
    const std::uint8_t b = *p;
    if (b < 0x80) {
      *o++ = b;
      ++p;
    } else if (b >= 0xE0 && b <= 0xEF) {
      if (end - p < 3) break;
      const std::uint8_t c1 = p[1], c2 = p[2];
      const std::uint8_t low = b == 0xE0 ? 0xA0 : 0x80, high = b == 0xED ? 0x9F : 0xBF;
      if (c1 < low || c1 > high || (c2 & 0xC0) != 0x80) break;
      *o++ = static_cast<char16_t>(((b & 0x0F) << 12) | ((c1 & 0x3F) << 6) | (c2 & 0x3F));
      p += 3;
    } else if (b >= 0xC2 && b <= 0xDF) {
      if (end - p < 2 || (p[1] & 0xC0) != 0x80) break;
      *o++ = static_cast<char16_t>(((b & 0x1F) << 6) | (p[1] & 0x3F));
      p += 2;
    } else if (b >= 0xF0 && b <= 0xF4) {
      if (end - p < 4) break;
      const std::uint8_t c1 = p[1], c2 = p[2], c3 = p[3];
      const std::uint8_t low = b == 0xF0 ? 0x90 : 0x80, high = b == 0xF4 ? 0x8F : 0xBF;
      if (c1 < low || c1 > high || (c2 & 0xC0) != 0x80 || (c3 & 0xC0) != 0x80) break;
      const std::uint32_t v = ((b & 0x07u) << 18) | ((c1 & 0x3Fu) << 12) | ((c2 & 0x3Fu) << 6) | (c3 & 0x3Fu);
      *o++ = static_cast<char16_t>(0xD800 + ((v - 0x10000) >> 10));
      *o++ = static_cast<char16_t>(0xDC00 + ((v - 0x10000) & 0x3FF));
      p += 4;
    } else {
      break;
    }
  }
  out.resize(static_cast<std::size_t>(o - out.data()));
  return static_cast<std::size_t>(p - bytes.data());
}

}  // namespace

CharsetStream::CharsetStream(Kind kind, std::int32_t code_page, const EncodeRules& rules)
    : kind_(kind), code_page_(code_page, rules) {}

std::unique_ptr<CharsetStream> CharsetStream::ByLanguageCode(std::int32_t code, const EncodeRules& rules) {
  switch (code) {
    case -1: return std::unique_ptr<CharsetStream>(new CharsetStream(Kind::Latin1, 1200, rules));
    case -2: return ByCodePage(1200, rules);
    case -3: return std::unique_ptr<CharsetStream>(new CharsetStream(Kind::Utf16Be, 1200, rules));
    case -4: return std::unique_ptr<CharsetStream>(new CharsetStream(Kind::Utf8, 65001, rules));
    default: break;
  }
  // An unknown locale gets a code page no converter has, so Usable() is false.
  const std::int32_t code_page = code < 0 ? -1 : AnsiCodePageOfLocale(code);
  return ByCodePage(code_page < 0 ? 0 : code_page, rules);
}

std::unique_ptr<CharsetStream> CharsetStream::ByCodePage(std::int32_t code_page, const EncodeRules& rules) {
  return std::unique_ptr<CharsetStream>(new CharsetStream(Kind::CodePage, code_page, rules));
}

std::size_t CharsetStream::PendingDecodeBytes() const {
  return kind_ == Kind::Utf8 || kind_ == Kind::Latin1 ? 0 : code_page_.PendingDecodeBytes();
}

bool CharsetStream::Usable() const { return code_page_.Usable(); }

bool CharsetStream::Decode(BytesView chunk, bool last, Text& out) {
  switch (kind_) {
    case Kind::CodePage: return code_page_.Decode(chunk, last, out);
    case Kind::Latin1: out += Latin1BytesToText(chunk); return true;
    case Kind::Utf16Be: {
      // The byte view pairs the bytes across chunks; each unit then turns round.
      const std::size_t from = out.size();
      if (!code_page_.Decode(chunk, last, out)) return false;
      Text units = out.substr(from);
      SwapByteOrder(units);
      out.replace(from, Text::npos, units);
      return true;
    }
    case Kind::Utf8:
      // Valid UTF-8 decodes by itself; the tolerant decoder takes the rest,
      // up to and with the next ASCII byte, after which it stands as at the
      // start again.
      while (!chunk.empty()) {
        if (utf8_.AtStart()) chunk.remove_prefix(AppendValidUtf8(chunk, out));
        if (chunk.empty()) break;
        std::size_t ascii = 0;
        while (ascii < chunk.size() && chunk[ascii] >= 0x80) ++ascii;
        const std::size_t piece = std::min(ascii + 1, chunk.size());
        utf8_.Decode(chunk.substr(0, piece), out);
        chunk.remove_prefix(piece);
      }
      if (last) utf8_.Finish(out);
      return true;
  }
  return false;
}

bool CharsetStream::Encode(TextView chunk, bool last, Bytes& out) {
  switch (kind_) {
    case Kind::CodePage:
    case Kind::Utf8: return code_page_.Encode(chunk, last, out);
    case Kind::Latin1: out += TextToLatin1Bytes(chunk); return true;
    case Kind::Utf16Be: {
      // The byte view (with its rules), each unit then turned round.
      Bytes bytes;
      const bool encoded = code_page_.Encode(chunk, last, bytes);
      SwapByteOrder(bytes);
      out += bytes;
      return encoded;
    }
  }
  return false;
}

}  // namespace mok
