#pragma once

// Small text functions: simplified/traditional mapping and cutting a caption.

#include "codec/text_types.h"

namespace mok {

// Maps Chinese text between simplified and traditional characters, one code unit
// in and one out: a character whose counterpart is not exactly one code unit stays
// as it is, so the length never changes. A failure gives the empty text.
void MapTextCase(Text& text, bool traditional);

// The part of text before the first occurrence of separator (code units compared
// exactly); the whole text when there is none; empty for an empty separator.
[[nodiscard]] Text TextBefore(TextView text, TextView separator);

}  // namespace mok
