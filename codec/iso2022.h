#pragma once

// Seven-bit ISO-2022 mail text (Chinese, Japanese, Korean) that was shown as
// Latin-1, usually after its ESC characters were lost on the way.

#include <cstdint>

#include "codec/text_types.h"

namespace mok {

// Puts ESC back before the designations of the variant, unless the text holds
// an ESC anywhere already, then reads the text's Latin-1 bytes with the
// variant's ISO-2022 code page:
//   0 Chinese  "$)A" "$)G"  code page 50227
//   1 Japanese "$B" "(B"    code page 50221 (a space right before ESC "(B" goes)
//   2 Korean   "$)C"        code page 50225
// Any other variant, and any failure, leaves the empty text.
void DecodeIso2022(Text& text, std::int16_t variant);

}  // namespace mok
