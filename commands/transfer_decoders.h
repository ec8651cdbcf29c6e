#pragma once

// The first decoding menu: numeric references, URL and quoted-printable escapes,
// Base64 (of the selection or the whole text), UTF-7 and HZ-GB.

#include "menus/menu_tables.h"

namespace mok {

class CommandHost;

// HTM(U), Num(UBE), URL(UBE): numeric references with the index as mode.
void RunNumU(CommandHost& host, int index);
// URL-GBK/Big5/Utf8 and QP-GBK/Big5/Utf8.
void RunReadQp(CommandHost& host, int index);
// Base64 of a selection of two or more characters, else of the whole text.
void RunBase64(CommandHost& host, int index);
// Utf7 and HZ-GB.
void RunJieA(CommandHost& host, int index);

}  // namespace mok
