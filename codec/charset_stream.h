#pragma once

// Code-page conversion of a stream, chunk by chunk, in bounded memory. A
// character split between two chunks is completed with the next chunk, and the
// shift state of ISO-2022, HZ and UTF-7 carries over, so the pieces joined are
// exactly what CpBytesToText or TextToCpBytes give for the whole input: the same
// converters, the same lone surrogates for malformed bytes, the same "?".

#include <cstddef>
#include <cstdint>
#include <memory>

#include "codec/conversion_core.h"
#include "codec/text_types.h"

namespace mok {

// What an encoder does with a character it cannot write as it stands.
enum class InvalidAction {
  Keep,     // as the whole-buffer functions: an escaped byte (U+DC00 + byte)
            // goes back to its byte, any other character becomes "?"
  Stop,     // the conversion stops there; Problem() tells where and what
  Omit,     // left out
  Replace,  // U+FFFD, or "?" where the code page lacks it
};

// How an encoder treats escaped bytes (U+DC00..U+DCFF, bytes a decoder could
// not decode), characters the code page cannot hold (other lone surrogates
// among them), and whether the converters' fallback mappings apply: a
// character without a code of its own then takes that of a look-alike, as
// iconv writes 〜 as 0x8160 in code page 932 (its code for ～).
struct EncodeRules {
  InvalidAction escaped = InvalidAction::Keep;
  InvalidAction unmappable = InvalidAction::Keep;
  bool fallbacks = false;
};

// Where an encoder with a Stop rule stopped: the unit position in the chunk
// given to Encode (negative for a character that began in an earlier chunk:
// a surrogate pair cut by its end), the character's code point (a lone
// surrogate's own value), and whether it was an escaped byte. The bytes
// before it are in out.
struct EncodeProblem {
  std::ptrdiff_t position = 0;
  char32_t code_point = 0;
  bool escaped = false;
};

class CodePageStream {
 public:
  // 1200 and negative code pages read and write the UTF-16LE byte view, as the
  // whole-buffer functions do. Each direction keeps a state of its own. The
  // rules apply to encoding; the default ones are those of TextToCpBytes.
  explicit CodePageStream(std::int32_t code_page, const EncodeRules& rules = EncodeRules());
  ~CodePageStream();
  CodePageStream(const CodePageStream&) = delete;
  CodePageStream& operator=(const CodePageStream&) = delete;

  // False when the code page is unknown or its converter cannot be opened.
  [[nodiscard]] bool Usable() const;

  // Appends the text of the next bytes to out. With last set, the end of the
  // input follows: a sequence cut short there is flushed like a malformed one
  // (an odd byte of the byte view is dropped). False when the converter fails.
  [[nodiscard]] bool Decode(BytesView chunk, bool last, Text& out);

  // Appends the bytes of the next text to out. With last set, stateful
  // encodings return to their initial state. False when the converter fails,
  // or a Stop rule stopped it (Problem() is then set).
  [[nodiscard]] bool Encode(TextView chunk, bool last, Bytes& out);

  // Where a Stop rule stopped the encoder, or nullptr.
  [[nodiscard]] const EncodeProblem* Problem() const;

  // Bytes given to Decode whose text has not come out yet: a character cut
  // by the end of the last chunk.
  [[nodiscard]] std::size_t PendingDecodeBytes() const;

  struct Impl;  // the converters and their state, opaque to callers

 private:
  std::unique_ptr<Impl> impl_;
};

// A character set named by language code or by code page, converting a stream
// chunk by chunk with its state carried across chunks. The pieces joined equal
// what the whole-buffer functions give: LidTextToBytes / LidBytesToText for a
// language code, TextToCpBytes / CpBytesToText for a code page.
class CharsetStream {
 public:
  // Locale identifiers of the language-code table, or the pseudo codes -1
  // Latin1, -2 ULE, -3 UBE, -4 Utf8 (the program's tolerant UTF-8 decoder).
  [[nodiscard]] static std::unique_ptr<CharsetStream> ByLanguageCode(std::int32_t code,
                                                                     const EncodeRules& rules = EncodeRules());
  // Code pages; 1200 reads and writes the UTF-16LE byte view.
  [[nodiscard]] static std::unique_ptr<CharsetStream> ByCodePage(std::int32_t code_page,
                                                                 const EncodeRules& rules = EncodeRules());

  // False when the character set has no converter.
  [[nodiscard]] bool Usable() const;

  // Append the converted chunk to out; last marks the end of the input.
  [[nodiscard]] bool Decode(BytesView chunk, bool last, Text& out);
  [[nodiscard]] bool Encode(TextView chunk, bool last, Bytes& out);

  // As CodePageStream's. The rules do not reach Latin1, whose encoding keeps
  // the low byte of every unit.
  [[nodiscard]] const EncodeProblem* Problem() const { return code_page_.Problem(); }
  [[nodiscard]] std::size_t PendingDecodeBytes() const;

 private:
  enum class Kind { CodePage, Latin1, Utf16Be, Utf8 };
  CharsetStream(Kind kind, std::int32_t code_page, const EncodeRules& rules);

  Kind kind_;
  CodePageStream code_page_;  // the converter, or the byte view for Utf16Be
  TolerantUtf8Decoder utf8_;
};

}  // namespace mok
