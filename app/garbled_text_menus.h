#pragma once

// The items of the third decoding menu and of the makers' submenu, built from
// the rows of menus/menu_tables.h: the makers run the decoding commands
// backwards, so both are filled here.

class QMenu;

namespace mok {

class CommandHost;
class MenuBuilder;

// Fills " 解读乱码 (&3)": mnuCAB_0..3, mnuBarC1, mnu2022_0..2, mnuBarC2,
// mnuAskA2B_0..4, with the check marks on mnuCAB_0 and mnu2022_1.
void BuildDecodingMenuC(MenuBuilder& build, QMenu* menu, CommandHost& host);

// Appends the submenu mnuMakes "编写“乱码” (&M)" (mnuMake_0..20, items 2, 13
// and 18 separators) to the edit menu and returns it.
QMenu* BuildMakeMenu(MenuBuilder& build, QMenu* edits, CommandHost& host);

}  // namespace mok
