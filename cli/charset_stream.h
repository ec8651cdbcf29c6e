#pragma once

// A character set named by language code or by code page, converting a stream
// chunk by chunk with its state carried across chunks. The pieces joined equal
// what the whole-buffer functions give: LidTextToBytes / LidBytesToText for a
// language code, TextToCpBytes / CpBytesToText for a code page.

#include <cstdint>
#include <memory>

#include "codec/charset_stream.h"
#include "codec/conversion_core.h"
#include "codec/text_types.h"

namespace mok::cli {

class CharsetStream {
 public:
  // Locale identifiers of the language-code table, or the pseudo codes -1
  // Latin1, -2 ULE, -3 UBE, -4 Utf8 (the program's tolerant UTF-8 decoder).
  [[nodiscard]] static std::unique_ptr<CharsetStream> ByLanguageCode(std::int32_t code);
  // Code pages; 1200 reads and writes the UTF-16LE byte view.
  [[nodiscard]] static std::unique_ptr<CharsetStream> ByCodePage(std::int32_t code_page);

  // False when the character set has no converter.
  [[nodiscard]] bool Usable() const;

  // Append the converted chunk to out; last marks the end of the input.
  [[nodiscard]] bool Decode(BytesView chunk, bool last, Text& out);
  [[nodiscard]] bool Encode(TextView chunk, bool last, Bytes& out);

 private:
  enum class Kind { CodePage, Latin1, Utf16Be, Utf8 };
  CharsetStream(Kind kind, std::int32_t code_page);

  Kind kind_;
  CodePageStream code_page_;  // the converter, or the byte view for Utf16Be
  TolerantUtf8Decoder utf8_;
};

}  // namespace mok::cli
