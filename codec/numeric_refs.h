#pragma once

// Characters written as numeric references: HTML "&#x4E2D;" and "&#20013;",
// backslash escapes "\u4E2D" and "\x41", URL "%u4E2D" and "%41".

#include <cstdint>

#include "codec/text_types.h"

namespace mok {

// Decodes the references of one notation, in place (the result is never longer).
//   mode 0, HTML: "&#x" or "&#X" + up to 5 hex digits, "&#" + up to 7 decimal
//     digits; one ";" directly after a reference is dropped. Named entities and
//     the line-breaking tags are decoded as well (DecodeNamedEntities).
//   mode 1, backslash: "\u"/"\U" + up to 4 hex digits, "\x"/"\X" + up to 2; a
//     doubled backslash is one backslash, "\n" is CR LF, "\t" is TAB.
//   mode 2, URL: "%u"/"%U" + up to 4 hex digits, "%" + up to 2; "+" is a space.
// A value below 32 (an opener without digits included) gives a space, one above
// U+10FFFF gives "?", one above U+FFFF a surrogate pair. U+8080 and U+8081 in
// the input come back unchanged. NULs become spaces. Another mode, or any
// failure, leaves the empty text.
void DecodeNumericRefs(Text& text, std::int16_t mode);

// Writes text as references:
//   mode 0: every unit from U+0080 up, and "&", as "&#x" + upper-case hex
//     without leading zeros + ";"; a surrogate pair becomes one reference to its
//     code point, a lone surrogate one of its own.
//   mode 1: every unit from U+0080 up, and the backslash, as "\u" + four
//     upper-case hex digits, surrogates unit by unit.
// Other units stay. Another mode, or any failure, leaves the empty text.
void EncodeNumericRefs(Text& text, std::int16_t mode);

}  // namespace mok
