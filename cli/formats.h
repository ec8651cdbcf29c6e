#pragma once

// The encodings of the files mok reads and writes: the nine file formats of
// the window's open and save, or a code page of the code-page table.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "codec/charset_stream.h"
#include "codec/text_types.h"

namespace mok::cli {

struct FileEncoding {
  std::int16_t format = 0;     // 1..9; 0 with code_page 0 asks for detection
  std::int32_t code_page = 0;  // used when format is 0
  // "utf-16": a file with either byte order mark is read by its mark.
  bool either_mark = false;
  std::string name;  // as the user wrote it, for messages; empty: detected
};

// The names of the formats 1..9, in that order.
inline constexpr std::array<std::string_view, 9> kFormatNames = {
    "gbk", "gb18030", "latin1", "utf16le-bom", "utf16be-bom", "utf8-bom", "utf16le", "utf16be", "utf8"};

// A format name (letters in any case), the number or the name of a code page
// of the table (its Chinese name or ASCII spelling), or a character-set name
// as iconv and uconv take it (CodePageOfCharsetName; UTF-8, UTF-16LE,
// UTF-16BE, GBK, GB18030 and Latin-1 give their file formats). False for
// anything else.
[[nodiscard]] bool ParseFileEncoding(std::string_view word, FileEncoding& encoding);

// Whether reading with this encoding needs the format detected
// (DetectInputFormat), rather than a byte order mark checked.
[[nodiscard]] bool NeedsDetection(const FileEncoding& encoding);

// The format of an input without -f, from its first part (head; complete when
// that is all of it): the window's detection (DetectFileFormat: byte order
// marks, UTF-16 line breaks, NULs, UTF-8 from six non-ASCII bytes on), and
// where that finds nothing, UTF-8 when the head is valid UTF-8, however few
// non-ASCII bytes it has (a character cut by the end of an incomplete head
// counts as valid); GBK otherwise.
[[nodiscard]] std::int16_t DetectInputFormat(BytesView head, bool complete);

// Whether the bytes are valid UTF-8: no overlong forms, no encoded
// surrogates, nothing above U+10FFFF; with cut_allowed, the bytes may end
// inside a character.
[[nodiscard]] bool IsStrictUtf8(BytesView bytes, bool cut_allowed);

// Reads an input as the window's open does (DecodeFileBytes): the requested
// format combined with the detected one, the byte order mark dropped, NULs
// read as spaces. A code page decodes as CpBytesToText, NULs read as spaces.
// Bytes that cannot be decoded become escapes (U+DC00 + byte), so nothing is
// lost on the way; the output decides what becomes of them.
class InputDecoder {
 public:
  // detected: DetectInputFormat of the input, or DetectFileFormat of its
  // first bytes when NeedsDetection is false.
  InputDecoder(const FileEncoding& requested, std::int16_t detected);
  // Replaces out with the text of the next chunk.
  [[nodiscard]] bool Decode(BytesView chunk, bool last, Text& out);
  // The input offset of the first unit of the text the last Decode gave.
  [[nodiscard]] std::uint64_t TextOffset() const { return text_offset_; }
  // How many input bytes the text stands for (its own encoding again: exact
  // for escapes and for every encoding without shift states).
  [[nodiscard]] std::uint64_t InputBytesOf(TextView text) const;
  // The encoding's name for messages: as the user wrote it, or the detected
  // format's ("GBK", "UTF-8", ...).
  [[nodiscard]] const std::string& Name() const { return name_; }

  // Whether the input is read as UTF-8: each ASCII byte is then a character
  // of its own, and no other character has an ASCII byte, so a step that
  // reads ASCII may take the bytes as they come (Pass).
  [[nodiscard]] bool ReadsUtf8() const { return code_page_ == 65001; }
  // The next chunk for such a step instead of Decode: its bytes, without
  // what is left of the byte order mark that Decode drops.
  [[nodiscard]] BytesView Pass(BytesView chunk);

 private:
  std::unique_ptr<CharsetStream> charset_;
  std::int32_t code_page_ = 0;  // for InputBytesOf; 1200 for both UTF-16 orders
  std::string name_;
  std::size_t mark_left_ = 0;  // bytes of the byte order mark still to drop
  // UTF-8, GBK, GB18030 and Latin-1: without states, each ASCII byte a
  // character of its own.
  bool ascii_as_is_ = false;
  std::uint64_t fed_ = 0;
  std::uint64_t text_offset_ = 0;
};

// Writes text as the window's save does (EncodeFileText), or by a code page
// (TextToCpBytes), with the rules for what the encoding cannot hold.
class OutputEncoder {
 public:
  explicit OutputEncoder(const FileEncoding& encoding, const EncodeRules& rules = EncodeRules());
  // Replaces out with the bytes of the next chunk. False when the converter
  // fails or a Stop rule stopped it (Problem() tells where); out then holds
  // the bytes before the problem.
  [[nodiscard]] bool Encode(TextView chunk, bool last, Bytes& out);
  [[nodiscard]] const EncodeProblem* Problem() const { return charset_->Problem(); }

  // Whether the output is UTF-8 (with or without a byte order mark): valid
  // UTF-8 is then the bytes the encoder would write for its text, whatever
  // the rules.
  [[nodiscard]] bool WritesUtf8() const { return utf8_; }

 private:
  std::unique_ptr<CharsetStream> charset_;
  bool mark_pending_ = false;
  bool utf8_ = false;
};

}  // namespace mok::cli
