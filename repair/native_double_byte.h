#pragma once

// The repair steps' strict conversions for the double-byte code pages (936,
// 950, 932, 949, 951), EUC-JP (20932, whose JIS X 0212 characters take three
// bytes) and GB18030 (54936, with characters of four bytes) by tables,
// without ICU's per-call work, as native_pages.h does for the pages of one
// byte per character.
//
// The tables are read once from the code page's step converter
// (OpenStepConverter), each byte, byte pair, three bytes and BMP unit asked
// alone, so they give what it gives; GB18030's four bytes are read by table
// for the BMP and counted off in order beyond it, which the converter is
// checked to keep to. Where a text's conversion could differ from the
// conversion of its characters one by one, the tables do not decide and the
// caller converts that text with ICU: mappings of several characters (a
// character that may begin one, bytes that decode to more than one
// character), a byte or pair the converter holds back in case more bytes
// follow, and on encoding any lead surrogate, since a pair encodes as one
// character.

#include <cstddef>
#include <cstdint>

#include "codec/text_types.h"

namespace mok {

struct DoubleBytePage;

// The page of a double-byte code page of the repair steps, EUC-JP or
// GB18030, read from its converter on first use and kept for the life of the
// process, shared by all threads; nullptr for any other code page, and for
// one whose converter is missing or whose bytes do not fit the tables. May
// throw std::bad_alloc.
[[nodiscard]] const DoubleBytePage* DoubleBytePageOf(std::int32_t code_page);
// Whether the code page has such a page, without reading it.
[[nodiscard]] bool HasDoubleBytePage(std::int32_t code_page) noexcept;

enum class NativeOutcome {
  kDone,     // converted
  kRefused,  // the strict converter refuses the text too
  kAskIcu,   // the tables cannot decide: convert the text with the converter
};

// Encodes text into out (replacing its content), as the step converter
// encodes it: kDone with the bytes, kRefused (out empty) at the first unit it
// cannot map, kAskIcu (out empty) where the text has to go to the converter.
[[nodiscard]] NativeOutcome EncodeDoubleByte(const DoubleBytePage& page, TextView text, Bytes& out);

// Decodes bytes appending to out, exactly when the step converter decodes
// them without error and the text encodes back to the same bytes: kDone, or
// kRefused when it does not; kAskIcu where the tables cannot tell. With cut,
// the bytes of a character cut off at the very end are left out and counted
// in pending (else 0), as the converter leaves them pending when not flushed;
// without cut they are a truncated character. On anything but kDone, out is
// unchanged.
[[nodiscard]] NativeOutcome DecodeDoubleByteExactly(const DoubleBytePage& page, BytesView bytes, bool cut, Text& out,
                                                    std::size_t& pending);

// The memory the page's tables take, in bytes.
[[nodiscard]] std::size_t TableBytes(const DoubleBytePage& page) noexcept;

}  // namespace mok
