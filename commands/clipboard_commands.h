#pragma once

// The clipboard commands of the edit menu: select all with a count of
// characters and line breaks, copy, paste (a committed change) and paste as
// original (the clipboard text becomes the new original state).

#include <cstdint>

#include "codec/text_types.h"

namespace mok {

class CommandHost;
class TextBox;

// The length the text would have if the selection were replaced by s, a line
// break counting two (as TextLength counts).
[[nodiscard]] std::int64_t ResultLength(const TextBox& box, TextView s);

// "全选": selects everything and shows how many characters and line breaks.
void mnuASel_Click(CommandHost& host);
// "复制": the selection, exactly as held, to the clipboard.
void mnuCopy_Click(CommandHost& host);
// "粘贴": the clipboard text, read once, replaces the selection exactly as the
// clipboard holds it, unless the text would grow past the limit. No text, or a
// read that failed, is "不能粘贴" with a beep.
void mnuPaste_Click(CommandHost& host);
// What "粘贴" does with the text it read: s replaces the selection and is
// committed as "粘贴", unless the text would grow past the limit; an empty s
// is "不能粘贴" with a beep. Also used for text dropped onto the window.
void PasteText(CommandHost& host, TextView s);
// "粘贴作原始": the clipboard text becomes the whole text and the new original
// state, belonging to no file. The clipboard is read once, before the question
// whether unsaved text may be discarded; with nothing read nothing is asked.
void mnuPasteOrig_Click(CommandHost& host);

}  // namespace mok
