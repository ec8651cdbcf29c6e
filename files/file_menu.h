#pragma once

// The file menu " 文件 (&F)" of the main window.

#include <functional>

class QMenu;

namespace mok {

class CommandHost;
class MenuBuilder;

// Adds the file menu to the bar: clear, open, save, attributes and the new
// window item, which runs new_window. Each time it drops down it marks the save
// item when the text is saved and enables the attributes item when a file is open.
QMenu* BuildFileMenu(MenuBuilder& build, CommandHost& host, std::function<void()> new_window);

}  // namespace mok
