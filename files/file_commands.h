#pragma once

// The file menu's commands: clear the text as a new original, open a file as
// the original, save the text to a file, and show the current file's
// attributes. They join the file browser (which only chooses a path and a
// format), the codec's file functions and the history (which learns which state
// is the one on disk). Every question and message of these commands is here.

#include <cstdint>

#include "codec/text_types.h"

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
// What opening does once a path is chosen, shared by the file browser, the
// command line and a file dropped onto the window: the question before
// reopening the current unchanged file, the size limit, reading and decoding
// in the format given (0 detects it), the text limit, then the new original
// state, the current file and the caption. Every refusal and failure is
// reported here and changes nothing. It does not ask AskDiscard: that is the
// caller's, before it chooses the path.
void OpenAsOriginal(CommandHost& host, Text path, std::int16_t format);
// "保存到文件": the text is written to a file chosen in the file browser.
void RunSave(CommandHost& host);
// "文件属性": path, attributes, size, modification time and format of the file.
void RunAttributes(CommandHost& host);

}  // namespace mok
