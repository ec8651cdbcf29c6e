#pragma once

// Full-width and half-width forms, taken from Unicode's own width data (the
// <wide> and <narrow> compatibility decompositions, read through ICU): the space
// and ASCII 0x21-0x7E against U+3000 and U+FF01-U+FF5E, half-width katakana and
// Hangul jamo (U+FF61-U+FFDC) against their ordinary forms, and the other
// half-width and full-width forms (U+FFE0-U+FFEE) against theirs, except that
// half width makes no katakana-block punctuation and none of U+FFE8-U+FFEE.

#include "codec/text_types.h"

namespace mok {

// Every character that has a full-width form takes it. A half-width katakana
// followed by a half-width voiced or semi-voiced sound mark becomes the one
// composed katakana (ｶﾞ gives ガ), so the text may get shorter. Anything else,
// lone surrogates and NULs included, stays as it is. A failure gives the empty
// text.
[[nodiscard]] Text ToFullWidth(TextView text);

// The reverse: every character that has a half-width form takes it, and a
// katakana with a sound mark is split into the half-width base and the
// half-width mark (ガ gives ｶﾞ), so the text may get longer. 。「」、・ and
// │←↑→↓■○ stay as they are: their half-width forms (U+FF61-U+FF65,
// U+FFE8-U+FFEE) are never made. A failure gives the empty text.
[[nodiscard]] Text ToHalfWidth(TextView text);

}  // namespace mok

namespace mok {

// The four conversions of the edit menus, by item: 0 full width, 1 half width,
// 2 simplified Chinese, 3 traditional Chinese (MapTextCase). Any other item,
// an empty text or a failure gives the empty text.
[[nodiscard]] Text ConvertCaseItem(TextView text, int item);

}  // namespace mok
