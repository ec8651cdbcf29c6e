#pragma once

// Two seven-bit transfer forms of mail text: the Base64 runs of UTF-7, and HZ
// (GB2312 between the shifts "~{" and "~}").

#include <cstdint>
#include <memory>

#include "codec/text_types.h"

namespace mok {

// Decodes every "+" run of UTF-7 in the text and leaves everything else alone:
// "+-" is "+", a "+" followed by one or two Base64 characters stays as it is,
// three or more are decoded as UTF-16BE and a "-" ending them is absorbed.
// NULs become spaces; any failure leaves the empty text.
void DecodeUtf7(Text& text);

// Decodes HZ: drops the line continuations "~" CR LF, "~ " CR LF and "~" TAB CR LF
// (in that order), turns "~~" into "~" and the pairs inside "~{" ... "~}" into
// GB2312 characters. A control character, a space or a non-ASCII character
// closes a GB section. NULs become spaces; any failure leaves the empty text.
void DecodeHzGb(Text& text);

// Writes text as HZ: runs of GB2312 characters go between "~{" and "~}" as
// seven-bit pairs, "~" becomes "~~", everything else passes through unchanged.
// No line continuations are inserted. Any failure leaves the empty text.
void EncodeHzGb(Text& text);

// DecodeUtf7 fed chunk by chunk in bounded memory: the texts of the chunks
// joined equal DecodeUtf7 of the chunks joined.
class Utf7StreamDecoder {
 public:
  // Appends the text of the next chunk to out; last marks the end.
  [[nodiscard]] bool Decode(TextView chunk, bool last, Text& out);

 private:
  void EndRun();
  void Feed(int value);
  void Byte(std::uint8_t byte);
  void Emit(char16_t c) { *o_++ = c == 0 ? u' ' : c; }

  char16_t* o_ = nullptr;  // where the next unit goes, in the room Decode made
  bool in_run_ = false;  // after a "+"
  std::size_t count_ = 0;  // Base64 characters after it so far
  char16_t first_[2] = {};  // the first two, kept while the run may be too short to decode
  std::uint32_t acc_ = 0;
  int pending_ = 0;       // characters of the unfinished group
  int odd_byte_ = -1;     // a byte waiting for the second of its unit
};

// DecodeHzGb fed chunk by chunk in bounded memory: the texts of the chunks
// joined equal DecodeHzGb of the chunks joined.
class HzStreamDecoder {
 public:
  HzStreamDecoder();
  ~HzStreamDecoder();
  HzStreamDecoder(const HzStreamDecoder&) = delete;
  HzStreamDecoder& operator=(const HzStreamDecoder&) = delete;

  // Appends the text of the next chunk to out; last marks the end.
  [[nodiscard]] bool Decode(TextView chunk, bool last, Text& out);

 private:
  struct Machine;
  std::unique_ptr<Machine> machine_;
};

}  // namespace mok
