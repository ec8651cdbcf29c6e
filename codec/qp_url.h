#pragma once

// Quoted-printable and URL percent-encoding of text in legacy character sets.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "codec/text_types.h"

namespace mok {

// Decodes quoted-printable (mode % 128 == 0, escape "=") or URL percent-encoding
// (mode % 128 == 1, escape "%"), in place; the result is never longer.
// Quoted-printable first loses its soft line breaks: "=" at the end of a line,
// that is "=" followed by CR LF or by a lone LF (mail stored on Linux), with
// any spaces and tabs between them (up to kMaxSoftBreakPadding); in URL form
// "+" is a space. Escaped bytes standing next
// to each other form one run, and one printable character (U+0021..U+007E)
// right after an escaped byte joins the run as a byte, since the printable
// second byte of a double-byte character is often left unescaped. Each run is
// decoded by code page (mode >= 128, CpBytesToText) or by language code
// (LidBytesToText). Everything outside runs, and escapes not followed by two
// hex digits, stay as they are. NULs become spaces. Another mode, a code that
// names no character set, or any failure leaves the empty text.
void DecodeQpUrl(Text& text, std::int32_t code, std::int16_t mode);

// The most spaces and tabs between the "=" of a soft line break and the line
// end: transport padding is a few characters at most, and the bound keeps
// what a streaming decoder holds back small. More make no soft break.
inline constexpr std::size_t kMaxSoftBreakPadding = 998;

// Where the soft line break of a line begins: the line's text before its LF
// (a CR at its end belongs to the line end) ends in "=", then at most
// kMaxSoftBreakPadding spaces and tabs, then the optional CR. The position of
// that "=" in line, or npos when the line ends in no soft break.
[[nodiscard]] inline std::size_t SoftBreakStart(std::u16string_view line) noexcept {
  std::size_t j = line.size();
  if (j > 0 && line[j - 1] == u'\r') --j;
  std::size_t padding = 0;
  while (j > 0 && (line[j - 1] == u' ' || line[j - 1] == u'\t')) {
    if (++padding > kMaxSoftBreakPadding) return std::u16string_view::npos;
    --j;
  }
  return j > 0 && line[j - 1] == u'=' ? j - 1 : std::u16string_view::npos;
}

// Encodes text with the code page of the charset index (0 936, 1 54936, 2 950,
// 3 20000, 4 932, 5 20932, 6 949, 7 1361, 8 1252, 9 65001) and writes the bytes
// as quoted-printable: bytes below 0x20 or above 0x7E and "=" as "=XX" (spaces
// stay), and for the double-byte code pages 0..7 also a printable byte that
// follows a lead byte. Lines are broken with "=" CR LF to at most 75 characters plus the
// "=". Another index, or any failure, leaves the empty text.
void EncodeQpUrl(Text& text, std::int16_t charset_index);

class CharsetStream;
struct DoubleByteTable;

// DecodeQpUrl fed chunk by chunk in bounded memory, for input of any size:
// the texts of the chunks joined equal DecodeQpUrl of the chunks joined. A
// byte run longer than a chunk is decoded as it comes, its converter state
// carried on, as the whole run would be.
class QpUrlStreamDecoder {
 public:
  QpUrlStreamDecoder(std::int32_t code, std::int16_t mode);
  ~QpUrlStreamDecoder();
  QpUrlStreamDecoder(const QpUrlStreamDecoder&) = delete;
  QpUrlStreamDecoder& operator=(const QpUrlStreamDecoder&) = delete;

  // False for a mode DecodeQpUrl refuses, or a code that names no character
  // set (DecodeQpUrl then fails on the first run); the caller decodes the
  // whole text instead.
  [[nodiscard]] bool Usable() const { return usable_; }

  // Appends the text of the next chunk to out; last marks the end.
  [[nodiscard]] bool Decode(TextView chunk, bool last, Text& out);

 private:
  enum class State { Text, Escape, EscapeDigit, AfterEscaped, AfterLiteral, RunEscape, RunEscapeDigit };

  void Filter(char16_t c, Text& out);
  void ReleaseHeld(Text& out);
  void Step(char16_t c, Text& out);
  void Emit(char16_t c, Text& out) { out += (c == 0 || (url_ && c == u'+')) ? u' ' : c; }
  void PushByte(std::uint8_t byte, Text& out) {
    run_[run_size_++] = byte;
    if (run_size_ == kRunHeld) FlushRun(out);
  }
  void FlushRun(Text& out);
  void EndRun(Text& out);
  bool Fast(TextView chunk, std::size_t& i, Text& out);

  std::int32_t code_;
  bool by_code_page_;
  bool url_;
  char16_t escape_;
  bool usable_ = false;
  bool failed_ = false;
  // The soft line break held back so far: "=", its padding, and a CR.
  bool held_ = false;
  std::size_t padding_ = 0;
  Text padding_text_;
  bool held_cr_ = false;
  // The run being gathered.
  State state_ = State::Text;
  char16_t digit_ = 0;
  // A run held whole up to kRunHeld bytes, decoded as it comes beyond.
  static constexpr std::size_t kRunHeld = 64 * 1024;
  std::unique_ptr<std::uint8_t[]> run_;
  std::size_t run_size_ = 0;
  std::int32_t table_code_page_ = 0;  // decodes short runs by table, or 0
  bool table_looked_up_ = false;
  const DoubleByteTable* table_ = nullptr;  // its table, once looked up
  std::unique_ptr<CharsetStream> run_stream_;  // a run too long to hold whole
};

}  // namespace mok
