#pragma once

// The second decoding menu: fifteen fixed reinterpretations from the character
// set the text was wrongly decoded with (A) to the one its bytes really are in (B).

#include "menus/menu_tables.h"

namespace mok {

class CommandHost;

// The command of item index: reinterpret the whole text, commit it with the
// command name, or refuse a result over the text limit.
void RunA2B(CommandHost& host, int index);

}  // namespace mok
