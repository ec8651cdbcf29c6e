#pragma once

// The third decoding menu's first two groups: repair of text decoded one byte
// out of step, from the caret to the end (GB, ULE, UBE, or a code page asked in
// the transfer-format dialog), and ISO-2022 text whose escapes were lost.

#include "menus/menu_tables.h"

namespace mok {

class CommandHost;

// GB+半字, ULE+半字, UBE+半字, CP+半字 (index 3, also F7): shifts the stretch
// from the caret to the end by one byte and puts the caret back at its start,
// followed by one space while the text is shorter than the limit.
void RunCAB(CommandHost& host, int index);

// Esc+中文, Esc+日文, Esc+韩文: the index is DecodeIso2022's variant.
void Run2022(CommandHost& host, int index);

}  // namespace mok
