#pragma once

// Simplified and traditional Chinese, on ICU's transliterator. In a file of its
// own so that a program that only cuts captions (mok) does not load ICU's i18n
// library.

#include "codec/text_types.h"

namespace mok {

// Maps Chinese text between simplified and traditional characters, one code unit
// in and one out: a character whose counterpart is not exactly one code unit stays
// as it is, so the length never changes. A failure gives the empty text.
void MapTextCase(Text& text, bool traditional);

}  // namespace mok
