#pragma once

// Base64 (standard alphabet and seven look-alike alphabets seen in mail and
// URLs), plus the text-level wrappers that tie it to character sets.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "codec/text_types.h"

namespace mok {

// The two characters that stand for "+" and "/" in each of the variants 1..7,
// in order ("*-" for variant 1).
inline constexpr std::string_view kBase64VariantPairs = "*-!-_--_._.-_:";

// Decodes Base64. Variants 1..7 let two other characters stand for "+" and "/":
//   1 "*" "-"   2 "!" "-"   3 "_" "-"   4 "-" "_"   5 "." "_"   6 "." "-"   7 "_" ":"
// ("+" and "/" themselves keep working). Any other variant is the standard
// alphabet. The first character outside the alphabet ends decoding; a final group
// of one character gives one byte holding that character's value, of two
// characters one byte, of three characters two bytes.
[[nodiscard]] Bytes Base64ToBytes(TextView text, std::int16_t variant);

// Encodes bytes as Base64 without padding and without line breaks.
[[nodiscard]] Text BytesToBase64(BytesView bytes);

// Text-level decoder: drops spaces, tabs, CR and LF, decodes Base64 with the
// variant mode % 128, then turns the bytes into text with `code` as a code page
// (mode >= 128) or as a language code (mode < 128). NULs become spaces; any
// failure leaves the empty text.
void DecodeBase64Text(Text& text, std::int32_t code, std::int16_t mode);

// Text-level encoder: encodes with code page 936, 54936, 950 or 65001 (index 0..3),
// then Base64 with "=" padding, cut into lines of 76 characters joined by CR LF.
// Any other index, and any failure, leaves the empty text.
void EncodeBase64Text(Text& text, std::int16_t index);

class CharsetStream;

// DecodeBase64Text fed chunk by chunk in bounded memory: the texts of the
// chunks joined equal DecodeBase64Text of the chunks joined.
class Base64StreamDecoder {
 public:
  Base64StreamDecoder(std::int32_t code, std::int16_t mode);
  ~Base64StreamDecoder();
  Base64StreamDecoder(const Base64StreamDecoder&) = delete;
  Base64StreamDecoder& operator=(const Base64StreamDecoder&) = delete;

  // False when the code names no character set; the caller decodes the
  // whole text instead (and gets the empty text).
  [[nodiscard]] bool Usable() const;

  // Appends the text of the next chunk to out; last marks the end.
  [[nodiscard]] bool Decode(TextView chunk, bool last, Text& out);

  // Whether the decoded bytes are read as UTF-8 (language code -4, code
  // page 65001), so that DecodeToUtf8 serves.
  [[nodiscard]] bool DecodesUtf8() const { return utf8_; }

  // Decode for a caller that writes UTF-8, without the text in between. The
  // chunk's bytes stand for the characters U+0000..U+00FF. While the decoded
  // bytes are valid UTF-8, the UTF-8 of the text (their own bytes, NUL as a
  // space) is appended to utf8, a character cut by the chunk's end held back
  // for the next. From the first chunk whose bytes are not (a malformed
  // sequence, or one cut by the end), the text is appended to text instead,
  // exactly as Decode gives it, to the end: for a caller whose output treats
  // such text by its own rules. Not to be mixed with Decode.
  [[nodiscard]] bool DecodeToUtf8(BytesView chunk, bool last, Bytes& utf8, Text& text);

  // False once DecodeToUtf8 has turned to text.
  [[nodiscard]] bool PassesUtf8() const { return passes_utf8_; }

 private:
  std::int16_t variant_;
  std::uint32_t acc_ = 0;
  int pending_ = 0;       // characters of the unfinished group
  bool stopped_ = false;  // a character outside the alphabet came: the rest is ignored
  bool utf8_ = false;
  bool passes_utf8_ = true;
  std::uint8_t cut_[4] = {};  // DecodeToUtf8: a character cut by the last chunk's end
  std::size_t cut_size_ = 0;
  Bytes bytes_;
  std::unique_ptr<CharsetStream> charset_;
};

namespace base64_detail {

// Largest number of bytes DecodeRun can write for `count` characters.
[[nodiscard]] constexpr std::size_t MaxDecodedSize(std::size_t count) noexcept {
  return count / 4 * 3 + 2;
}

// Decodes chars[0..count) into out until the first character outside the
// variant's alphabet; with skip_blanks, spaces, tabs, CR and LF are passed over.
// Returns the number of bytes written (at most MaxDecodedSize(count)). out may
// overlap chars as long as it starts at or before chars (as bytes): every byte
// is written only after the characters it comes from have been read, and it
// never lands beyond them.
std::size_t DecodeRun(const char16_t* chars, std::size_t count, std::int16_t variant,
                      bool skip_blanks, std::uint8_t* out) noexcept;

// DecodeRun resumable across pieces of a text: acc and pending carry an
// unfinished group, stopped is set at the first character outside the
// alphabet (blanks are skipped). Returns the bytes written, at most
// MaxDecodedSize(count) + 3; a final unfinished group is not written (see
// FinishRun). Groups are stored four bytes at once: out needs room for
// MaxDecodedSize(count) + 8 bytes.
std::size_t ResumeRun(const char16_t* chars, std::size_t count, std::int16_t variant, std::uint32_t& acc,
                      int& pending, bool& stopped, std::uint8_t* out) noexcept;
// The same over bytes standing for the characters U+0000..U+00FF, eight at
// a time where it can.
std::size_t ResumeRun(const std::uint8_t* chars, std::size_t count, std::int16_t variant, std::uint32_t& acc,
                      int& pending, bool& stopped, std::uint8_t* out) noexcept;

// The bytes of an unfinished group at the end, as DecodeRun writes them.
std::size_t FinishRun(std::uint32_t acc, int pending, std::uint8_t* out) noexcept;

// Values of the ASCII characters in the standard alphabet, -1 for the others.
extern const std::array<std::int8_t, 128> kStandardValues;

// Value of a character in the standard alphabet, or -1.
[[nodiscard]] inline int StandardValue(char16_t c) noexcept { return c < 128 ? kStandardValues[c] : -1; }

// For each place in a group of four characters of the standard alphabet,
// each character's (below 256) bits where they land in the group's three
// bytes, the first byte lowest; a character outside it sets kNotInGroup.
inline constexpr std::uint32_t kNotInGroup = 0x01000000;
extern const std::array<std::array<std::uint32_t, 256>, 4> kStandardGroups;

// The three bytes of a group of four characters below 256 (first byte
// lowest), or a value with kNotInGroup set when one is outside the alphabet.
template <typename Unit>
[[nodiscard]] inline std::uint32_t StandardGroup(const Unit* c) noexcept {
  return (kStandardGroups[0][c[0]] | kStandardGroups[1][c[1]]) | (kStandardGroups[2][c[2]] | kStandardGroups[3][c[3]]);
}

}  // namespace base64_detail

}  // namespace mok
