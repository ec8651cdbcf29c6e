#include "codec/charset_stream.h"

#include "codec/charset_conversion.h"

namespace mok {

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
      utf8_.Decode(chunk, out);
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
