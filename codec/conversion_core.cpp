#include "codec/conversion_core.h"

#include "codec/charset_conversion.h"

namespace mok {
namespace {

constexpr std::int32_t kLatin1 = -1;
constexpr std::int32_t kUtf16Le = -2;
constexpr std::int32_t kUtf16Be = -3;
constexpr std::int32_t kUtf8 = -4;

bool MeansNoConversion(std::int32_t code_page) { return code_page == 1200 || code_page < 0; }

// Drops one leading U+FEFF and turns NULs into spaces: the clean-up both
// reinterpretations end with.
void CleanUpReinterpreted(Text& text) {
  if (!text.empty() && text.front() == 0xFEFF) text.erase(0, 1);
  // ReplaceNulBySpace written as an unconditional select, which the compiler
  // turns into vector code; the branchy form costs a tenth of the whole
  // reinterpretation.
  for (char16_t& c : text) c = c == 0 ? u' ' : c;
}

// One decoded value of the tolerant UTF-8 decoder: a unit, a surrogate pair, or
// a space for a value below 0x20 or beyond U+10FFFF.
void EmitUtf8Value(std::uint32_t value, char16_t* out, std::size_t& written) {
  if (value >= 0x20 && value < 0x10000) {
    out[written++] = static_cast<char16_t>(value);
  } else if (value >= 0x10000 && value < 0x110000) {
    out[written++] = static_cast<char16_t>(0xD800 + ((value - 0x10000) >> 10));
    out[written++] = static_cast<char16_t>(0xDC00 + ((value - 0x10000) & 0x3FF));
  } else {
    out[written++] = u' ';
  }
}

}  // namespace

Bytes TextToLatin1Bytes(TextView text) {
  Bytes bytes(text.size(), 0);
  for (std::size_t i = 0; i < text.size(); ++i) bytes[i] = static_cast<std::uint8_t>(text[i] & 0xFF);
  return bytes;
}

Text Latin1BytesToText(BytesView bytes) {
  Text text(bytes.size(), 0);
  for (std::size_t i = 0; i < bytes.size(); ++i) text[i] = bytes[i];
  return text;
}

void SwapByteOrder(Bytes& bytes) {
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) std::swap(bytes[i], bytes[i + 1]);
}

void SwapByteOrder(Text& text) {
  for (char16_t& unit : text) unit = static_cast<char16_t>((unit >> 8) | (unit << 8));
}

Bytes TextToByteView(TextView text) {
  Bytes bytes(text.size() * 2, 0);
  for (std::size_t i = 0; i < text.size(); ++i) {
    bytes[2 * i] = static_cast<std::uint8_t>(text[i] & 0xFF);
    bytes[2 * i + 1] = static_cast<std::uint8_t>(text[i] >> 8);
  }
  return bytes;
}

Text ByteViewToText(BytesView bytes) {
  Text text(bytes.size() / 2, 0);
  for (std::size_t i = 0; i < text.size(); ++i) {
    text[i] = static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  }
  return text;
}

Bytes TextToCpBytes(TextView text, std::int32_t code_page) {
  if (MeansNoConversion(code_page)) return TextToByteView(text);
  Bytes bytes;
  if (text.empty()) return bytes;
  if (!EncodeWithCodePage(text, code_page, bytes)) bytes.clear();
  return bytes;
}

Text CpBytesToText(BytesView bytes, std::int32_t code_page) {
  if (MeansNoConversion(code_page)) return ByteViewToText(bytes);
  Text text;
  if (bytes.empty()) return text;
  if (!DecodeWithCodePage(bytes, code_page, text)) text.clear();
  return text;
}

void TolerantUtf8Decoder::Decode(BytesView bytes, Text& out) {
  std::size_t written = out.size();
  // Every emit comes from at least one byte and writes at most two units; a
  // two-unit emit needs four bytes, so b units suffice, plus two for a
  // sequence begun in an earlier piece.
  out.resize(written + bytes.size() + 2);
  std::uint32_t value = value_;
  int pending = pending_;
  bool clean = clean_;
  auto emit = [&] {
    EmitUtf8Value(value, out.data(), written);
    value = 0;
  };
  for (const std::uint8_t b : bytes) {
    if (b >= 0x80 && b <= 0xBF) {
      if (pending > 0 || clean) {
        value = value * 64 + (b - 0x80);
        --pending;
        if (pending <= 0) {
          emit();
          clean = (pending == 0);
        }
      }
      continue;
    }
    if (pending > 0 && clean) {
      emit();
      clean = false;
    }
    if (b < 0x80) {
      out[written++] = b;
      clean = true;
      value = 0;
      pending = 0;
    } else if (b <= 0xDF) {
      value = b - 0xC0u;
      pending = 1;
    } else if (b <= 0xEF) {
      value = b - 0xE0u;
      pending = 2;
    } else if (b <= 0xF7) {
      value = b - 0xF0u;
      pending = 3;
    } else {
      if (clean) {
        out[written++] = b;
        clean = false;
      }
      value = 0;
      pending = 0;
    }
  }
  out.resize(written);
  value_ = value;
  pending_ = pending;
  clean_ = clean;
}

void TolerantUtf8Decoder::Finish(Text& out) {
  if (pending_ > 0 && clean_) {
    // A sequence cut short by the end yields its partial value.
    std::size_t written = out.size();
    out.resize(written + 2);
    EmitUtf8Value(value_, out.data(), written);
    out.resize(written);
  }
  *this = TolerantUtf8Decoder();
}

Text Utf8BytesToText(BytesView bytes) {
  TolerantUtf8Decoder decoder;
  Text out;
  decoder.Decode(bytes, out);
  decoder.Finish(out);
  return out;
}

Bytes LidTextToBytes(TextView text, std::int32_t language_code, bool& ok) {
  ok = true;
  switch (language_code) {
    case kLatin1: return TextToLatin1Bytes(text);
    case kUtf16Le: return TextToByteView(text);
    case kUtf16Be: {
      Bytes bytes = TextToByteView(text);
      SwapByteOrder(bytes);
      return bytes;
    }
    case kUtf8: return TextToCpBytes(text, 65001);
    default: break;
  }
  if (language_code < 0) {
    ok = false;
    return {};
  }
  const std::int32_t code_page = AnsiCodePageOfLocale(language_code);
  Bytes bytes;
  if (code_page < 0 || !EncodeWithCodePage(text, code_page, bytes)) {
    ok = false;
    bytes.clear();
  }
  return bytes;
}

Text LidBytesToText(BytesView bytes, std::int32_t language_code) {
  switch (language_code) {
    case kLatin1: return Latin1BytesToText(bytes);
    case kUtf16Le: return ByteViewToText(bytes);
    case kUtf16Be: {
      Bytes swapped(bytes);
      SwapByteOrder(swapped);
      return ByteViewToText(swapped);
    }
    case kUtf8: return Utf8BytesToText(bytes);
    default: break;
  }
  Text text;
  if (language_code < 0 || bytes.empty()) return text;
  const std::int32_t code_page = AnsiCodePageOfLocale(language_code);
  if (code_page < 0 || !DecodeWithCodePage(bytes, code_page, text)) text.clear();
  return text;
}

void ReinterpretByLid(Text& text, std::int32_t code_a, std::int32_t code_b) {
  if (text.empty()) return;
  try {
    bool ok = false;
    const Bytes bytes = LidTextToBytes(text, code_a, ok);
    if (!ok) {
      text.clear();
      return;
    }
    text = LidBytesToText(bytes, code_b);
    CleanUpReinterpreted(text);
  } catch (...) {
    text.clear();
  }
}

void ReinterpretByCp(Text& text, std::int32_t code_page_a, std::int32_t code_page_b) {
  if (text.empty()) return;
  try {
    Bytes bytes;
    if (MeansNoConversion(code_page_a)) {
      bytes = TextToByteView(text);
    } else if (!EncodeWithCodePage(text, code_page_a, bytes)) {
      text.clear();
      return;
    }
    if (MeansNoConversion(code_page_b)) {
      text = ByteViewToText(bytes);
    } else if (!DecodeWithCodePage(bytes, code_page_b, text)) {
      text.clear();
      return;
    }
    CleanUpReinterpreted(text);
  } catch (...) {
    text.clear();
  }
}

}  // namespace mok
