#pragma once

// What is dropped onto the main window: a file opens as the original state,
// as "打开作原始" opens it (after AskDiscard); text (no local file) pastes as
// "粘贴" pastes it. The text box never takes a drop as an edit of its own.

#include <QString>

#include "codec/text_types.h"

class QMimeData;
class QUrl;

namespace mok {

class CommandHost;

// What the window takes from a drag: the first local file among its URLs,
// else its text, else nothing. A copy, since the drag's data is gone once the
// drop has been handled.
struct Dropped {
  enum class Kind { kNothing, kFile, kText };
  Kind kind = Kind::kNothing;
  Text path;     // kFile: the file's path
  QString text;  // kText: the text, shared, not copied
};
[[nodiscard]] Dropped TakeDrop(const QMimeData& data);

// The path of a file:// URL on this machine with its bytes kept: a name that
// is not valid UTF-8 keeps each such byte as U+DC00 + byte. Empty for any
// other URL.
[[nodiscard]] Text LocalPathOfUrl(const QUrl& url);

// Opens the dropped file or pastes the dropped text.
void RunDrop(CommandHost& host, const Dropped& dropped);

}  // namespace mok
