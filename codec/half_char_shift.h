#pragma once

// Repair of text that was decoded one byte out of step.

#include <cstdint>

#include "codec/text_types.h"

namespace mok {

// Encodes the text, drops the first byte and decodes again with the same
// character set, so every byte pair moves by one byte. code is a code page when
// code_page_flag is set, else a language code (locale ANSI code page). The
// pseudo codes -2 (UTF-16LE) and -3 (UTF-16BE) are taken whatever the flag;
// every other negative code gives the empty text. NULs become spaces; any
// failure, and a text of a single encoded byte, leaves the empty text.
void ShiftHalfChar(Text& text, std::int32_t code, bool code_page_flag);

}  // namespace mok
