#pragma once

// The makers of garbled text, the submenu "编写“乱码” (&M)" of the edit menu:
// the decoding commands run backwards on the selection, which becomes numeric
// references, quoted-printable in ten code pages, Base64 in four, UTF-7 or HZ.

#include <cstdint>

#include "menus/menu_tables.h"

namespace mok {

class CommandHost;

struct MakingRoom {
  // What the text box can hold in place of the selection: the text limit less
  // the text that stays.
  std::int32_t room;
  // The selection is taken only when three times its length fits the room,
  // whatever its encoded form turns out to be.
  bool selection_fits;
};

// The room for a selection of selection_length code units in a text of
// text_length (both counting a line break as two).
[[nodiscard]] MakingRoom RoomForMaking(std::int32_t text_length, std::int32_t selection_length);

// Encodes the selection with the maker of item index, replaces the selection
// with the result (which stays selected) and commits it as "编写 " + caption.
void RunMake(CommandHost& host, int index);

}  // namespace mok
