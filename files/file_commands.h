#pragma once

// The file menu's commands: clear the text as a new original, open a file as
// the original, save the text to a file, and show the current file's
// attributes. They join the file browser (which only chooses a path and a
// format), the codec's file functions and the history (which learns which state
// is the one on disk). Every question and message of these commands is here.

namespace mok {

class CommandHost;

// How the file menu shows when it drops down: the save item checked exactly
// when the text is the saved one, the attributes item enabled exactly when a
// file is open.
struct FileMenuState {
  bool save_checked = false;
  bool attributes_enabled = false;
};
[[nodiscard]] FileMenuState FileMenuStateOf(CommandHost& host);

// "清空作原始": the empty text becomes the original, and counts as saved.
void RunClear(CommandHost& host);
// "打开作原始": a file chosen in the file browser becomes the original.
void RunOpen(CommandHost& host);
// "保存到文件": the text is written to a file chosen in the file browser.
void RunSave(CommandHost& host);
// "文件属性": path, attributes, size, modification time and format of the file.
void RunAttributes(CommandHost& host);

}  // namespace mok
