#pragma once

// The edit menu mnuEdits of the main window: clipboard, width and script
// conversion, find and replace, deletion and insertion. It is also the pop-up
// menu of the text box, and it enables its items each time it opens.

class QMenu;

namespace mok {

class CommandHost;
class FindReplace;
class MenuBuilder;

// Builds the menu in the menu bar and wires its items to the commands.
QMenu* BuildEditMenu(MenuBuilder& build, CommandHost& host, FindReplace& find);

// Enables the items by the selection and the clipboard.
void mnuEdits_Click(QMenu& menu, CommandHost& host);

}  // namespace mok
