// Base64 core and text wrappers on arbitrary UTF-16 input.
// Input: one selector byte, then UTF-16LE code units.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "codec/base64.h"
#include "codec/conversion_core.h"
#include "fuzz/stream_split.h"

namespace {

constexpr std::int32_t kCodes[] = {936, 54936, 950, 65001, 1200, 28591, 932, 50221, 2052, 1028, -1, -2, -3, -4, -7, 12345};
constexpr std::int32_t kIndexCodePages[] = {936, 54936, 950, 65001};

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t selector = data[0];
  const mok::Text input = mok::ByteViewToText(mok::BytesView(data + 1, size - 1));

  const auto variant = static_cast<std::int16_t>(static_cast<std::int8_t>(selector) % 10);
  const mok::Bytes bytes = mok::Base64ToBytes(input, variant);
  Check(bytes.size() <= input.size());

  // Encoding any bytes and decoding them again gives them back.
  const mok::BytesView raw(data + 1, size - 1);
  const mok::Text base64 = mok::BytesToBase64(raw);
  Check(base64.size() <= raw.size() / 3 * 4 + 3);
  Check(mok::Base64ToBytes(base64, 0) == mok::Bytes(raw));

  // Decoding with every kind of code, mode and variant.
  mok::Text text = input;
  const auto mode = static_cast<std::int16_t>(selector & 0x8F);
  mok::DecodeBase64Text(text, kCodes[(selector >> 4) & 15], mode);
  if (mok::Base64StreamDecoder stream(kCodes[(selector >> 4) & 15], mode); stream.Usable()) {
    mok::Text joined;
    Check(mok::fuzz::DecodeInPieces(stream, input, selector, joined));
    Check(joined == text);
  }

  // Decoding to UTF-8 (the fuzz bytes as Base64, and as the bytes that
  // Base64 stands for) gives the text's UTF-8 while it can, then the text.
  for (const mok::Text& latin1 : {mok::Latin1BytesToText(raw), base64}) {
    const bool by_code_page = selector & 0x40;
    const auto utf8_mode = static_cast<std::int16_t>((by_code_page ? 128 : 0) + selector % 8);
    const std::int32_t code = by_code_page ? 65001 : -4;
    mok::Text whole = latin1;
    mok::DecodeBase64Text(whole, code, utf8_mode);
    mok::Base64StreamDecoder stream(code, utf8_mode);
    const mok::Bytes chars = mok::TextToLatin1Bytes(latin1);
    mok::Bytes utf8;
    mok::Text rest;
    std::uint32_t state = selector * 2654435761u + 7;
    for (std::size_t at = 0;;) {
      state = state * 1103515245u + 12345u;
      const std::size_t n = std::min<std::size_t>((state >> 16) % 97, chars.size() - at);
      const bool last = at + n == chars.size();
      Check(stream.DecodeToUtf8(mok::BytesView(chars).substr(at, n), last, utf8, rest));
      at += n;
      if (last) break;
    }
    if (stream.PassesUtf8()) {
      Check(rest.empty() && utf8 == mok::TextToCpBytes(whole, 65001));
    } else {
      Check(mok::CpBytesToText(utf8, 65001) + rest == whole);
    }
  }

  // Encoding then decoding with the same code page equals a plain round trip
  // through that code page.
  const std::int16_t index = selector % 5;  // 4 is invalid
  text = input;
  mok::EncodeBase64Text(text, index);
  if (index == 4) {
    Check(text.empty());
  } else if (!input.empty()) {
    for (std::size_t start = 0, at; start < text.size(); start = at + 2) {
      at = text.find(u"\r\n", start);
      if (at == mok::Text::npos) at = text.size();
      Check(at - start <= 76);
    }
    mok::DecodeBase64Text(text, kIndexCodePages[index], 128);
    mok::Text expected = mok::CpBytesToText(mok::TextToCpBytes(input, kIndexCodePages[index]), kIndexCodePages[index]);
    mok::ReplaceNulBySpace(expected);
    Check(text == expected);
  }
  return 0;
}
