#pragma once

// The repair steps' strict conversions for code pages of one byte per
// character and for UTF-8, done without ICU's per-call work (converter reset,
// callbacks, error bookkeeping), which outweighs the conversion itself on the
// short texts a repair search tries some three hundred steps on.
//
// The tables of a code page are read once from ICU's own converter, so they
// give exactly what its strict converter gives: fallback mappings of
// private-use characters that ICU takes even with fallbacks off, bytes that
// decode to a character that does not encode back to them, and bytes without
// a character, which stop decoding. UTF-8 follows ICU's UTF-8 converter:
// surrogates, overlong forms and code points beyond U+10FFFF are malformed,
// and a malformed sequence is its longest start that could still have become
// a character.
//
// Encoding stops at the first character the code page cannot map, except
// that a lone surrogate U+DC80..U+DCFF encodes as the byte an earlier wrong
// decoding kept in it.

#include <cstddef>
#include <cstdint>

#include "codec/text_types.h"

namespace mok {

// What stopped a decoding: the malformed or unassigned bytes [at, at + length).
struct DecodeError {
  std::size_t at = 0;
  std::size_t length = 0;
};

// The tables of one code page of one byte per character.
struct SingleBytePage;

// The page of a code page whose converter takes one byte per character (the
// Windows, DOS and ISO pages of the repair steps), read from its converter on
// first use and kept for the life of the process, shared by all threads;
// nullptr for any other code page, UTF-8 included. May throw std::bad_alloc.
[[nodiscard]] const SingleBytePage* SingleBytePageOf(std::int32_t code_page);

// Encodes text into out (replacing its content). False at the first unit or
// surrogate pair the page cannot map; out is then empty.
[[nodiscard]] bool EncodeSingleByte(const SingleBytePage& page, TextView text, Bytes& out);
// Whether the text encodes to exactly these bytes.
[[nodiscard]] bool EncodesToSingleByte(const SingleBytePage& page, TextView text, BytesView bytes) noexcept;
// Decodes bytes, appending to out. False at the first byte without a
// character, with error set and out unchanged.
[[nodiscard]] bool DecodeSingleByte(const SingleBytePage& page, BytesView bytes, Text& out, DecodeError& error);
// Decodes bytes each of which has a character that encodes back to it,
// appending to out: what decoding and encoding the text again to the same
// bytes tells. False, with out unchanged, for any other bytes.
[[nodiscard]] bool DecodeSingleByteExactly(const SingleBytePage& page, BytesView bytes, Text& out);

// UTF-8 by the same rules. Encoding fails on a lone surrogate other than a
// kept byte.
[[nodiscard]] bool EncodeUtf8Strict(TextView text, Bytes& out);
[[nodiscard]] bool EncodesToUtf8(TextView text, BytesView bytes) noexcept;
// With flush false the bytes may end inside a character: those bytes are left
// out and counted in pending; with flush true they are an error. Pending is
// 0 unless the decoding ends that way. On an error out is unchanged.
[[nodiscard]] bool DecodeUtf8Strict(BytesView bytes, bool flush, Text& out, std::size_t& pending,
                                    DecodeError& error);

// While one of these lives, the repair steps on its thread convert with ICU's
// converters alone: for tests that hold the native conversions against them.
class IcuOnlyStepConversions {
 public:
  IcuOnlyStepConversions();
  ~IcuOnlyStepConversions();
  IcuOnlyStepConversions(const IcuOnlyStepConversions&) = delete;
  IcuOnlyStepConversions& operator=(const IcuOnlyStepConversions&) = delete;

 private:
  bool was_;
};

// Whether the repair steps on this thread may use the native conversions.
[[nodiscard]] bool NativeStepConversions() noexcept;

}  // namespace mok
