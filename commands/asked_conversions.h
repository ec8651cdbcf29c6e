#pragma once

// The third decoding menu's last group: conversions whose character sets the
// user names in a dialog. Trans-LCID and Trans-CP decode URL, QP or Base64
// (any of the eight alphabets) under a language code or a code page;
// LCID--LCID and CP--CP reinterpret the whole text between any two of them.

#include <cstdint>

#include "menus/menu_tables.h"

namespace mok {

class CommandHost;

// The mode the transfer decoders get from Trans-LCID (item 0) or Trans-CP
// (item 1) with format position n_trn of the transfer-format dialog: 128 is
// added for a code page, and the low part is the form (URL 1, QP 0) or the
// Base64 alphabet (position 2 the standard one, 3..9 the variants 1..7).
[[nodiscard]] std::int16_t TransferMode(int item, int n_trn);

// Item 0 Trans-LCID (F8), 1 Trans-CP (Ctrl+F8), 3 LCID--LCID (F9), 4 CP--CP
// (Ctrl+F9): asks, converts the whole text and commits it with the dialog's
// status text, or refuses a result over the text limit.
void RunAskA2B(CommandHost& host, int index);

}  // namespace mok
