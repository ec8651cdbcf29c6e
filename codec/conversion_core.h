#pragma once

// Text to bytes and back under a language code or a code page, and the A-to-B
// reinterpretation at the heart of the program.
//
// Language codes: a locale identifier (>= 0, converted with its ANSI code page),
// or -1 Latin1, -2 ULE (UTF-16LE byte view), -3 UBE (UTF-16BE), -4 Utf8.
// Code pages: Windows numbers; 1200 and negative values mean no conversion.

#include "codec/text_types.h"

namespace mok {

// One byte per code unit: the low byte (U+4E2D gives 0x2D).
[[nodiscard]] Bytes TextToLatin1Bytes(TextView text);
// One code unit per byte, U+0000..U+00FF.
[[nodiscard]] Text Latin1BytesToText(BytesView bytes);

// Swaps the bytes of every pair; a trailing odd byte stays where it is.
void SwapByteOrder(Bytes& bytes);
// Swaps the two bytes of every code unit (the byte view of SwapByteOrder).
void SwapByteOrder(Text& text);

// The UTF-16LE bytes of a text, low byte first.
[[nodiscard]] Bytes TextToByteView(TextView text);
// Reads bytes as UTF-16LE code units; a trailing odd byte forms no unit.
[[nodiscard]] Text ByteViewToText(BytesView bytes);

// Encodes by code page. 1200 and negative code pages give the byte view. An
// unknown code page or a failing converter gives the empty byte string.
[[nodiscard]] Bytes TextToCpBytes(TextView text, std::int32_t code_page);
// Decodes by code page. 1200 and negative code pages read the byte view. An
// unknown code page or a failing converter gives the empty text.
[[nodiscard]] Text CpBytesToText(BytesView bytes, std::int32_t code_page);

// The program's own tolerant UTF-8 decoder: never fails, marks each malformed
// run with one character, decodes overlong forms and encoded surrogates by value.
[[nodiscard]] Text Utf8BytesToText(BytesView bytes);

// The same decoder fed piece by piece: the pieces' texts joined equal
// Utf8BytesToText of the bytes joined.
class TolerantUtf8Decoder {
 public:
  // Appends the text of the next bytes to out.
  void Decode(BytesView bytes, Text& out);
  // Ends the input (a sequence cut short yields its partial value) and starts over.
  void Finish(Text& out);
  // Whether it stands as at the start: valid UTF-8 then decodes as any
  // decoder decodes it, so a caller may do that part by itself.
  [[nodiscard]] bool AtStart() const { return pending_ == 0 && clean_ && value_ == 0; }

 private:
  std::uint32_t value_ = 0;
  int pending_ = 0;    // continuation bytes still expected
  bool clean_ = true;  // the last unit was decoded cleanly
};

// Encodes by language code. Sets ok to false (and returns empty) for an invalid
// pseudo code or a failing conversion.
[[nodiscard]] Bytes LidTextToBytes(TextView text, std::int32_t language_code, bool& ok);
// Decodes by language code; an invalid pseudo code gives the empty text.
[[nodiscard]] Text LidBytesToText(BytesView bytes, std::int32_t language_code);

// Encodes by language code A, decodes by B, drops one leading U+FEFF and turns
// NULs into spaces. Any failure leaves the empty text.
void ReinterpretByLid(Text& text, std::int32_t code_a, std::int32_t code_b);
// The same by code pages A and B; an empty input stays empty.
void ReinterpretByCp(Text& text, std::int32_t code_page_a, std::int32_t code_page_b);

}  // namespace mok
