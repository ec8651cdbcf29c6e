#pragma once

// Code-page conversion of a stream, chunk by chunk, in bounded memory. A
// character split between two chunks is completed with the next chunk, and the
// shift state of ISO-2022, HZ and UTF-7 carries over, so the pieces joined are
// exactly what CpBytesToText or TextToCpBytes give for the whole input: the same
// converters, the same lone surrogates for malformed bytes, the same "?".

#include <cstdint>
#include <memory>

#include "codec/text_types.h"

namespace mok {

class CodePageStream {
 public:
  // 1200 and negative code pages read and write the UTF-16LE byte view, as the
  // whole-buffer functions do. Each direction keeps a state of its own.
  explicit CodePageStream(std::int32_t code_page);
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
  // encodings return to their initial state.
  [[nodiscard]] bool Encode(TextView chunk, bool last, Bytes& out);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace mok
