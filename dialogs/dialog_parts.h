#pragma once

// Small pieces of the parameter dialogs: control positions in twips and the
// lists of character sets filled from the landed tables.

#include <QRect>

#include <span>

#include "codec/charset_tables.h"
#include "codec/text_types.h"
#include "platform/qt_text.h"

class QComboBox;
class QWidget;

namespace mok {

// A position of a dialog design (left, top, width, height in twips) in pixels.
[[nodiscard]] QRect TwipsRect(int left, int top, int width, int height);

// Empties the list, then adds one item per pair of the table: the name, with the
// code as its item data. No item is picked afterwards, and the list's signals
// stay quiet while it is filled.
void FillCharsetList(QComboBox& list, std::span<const NamedCode> table);

// The code of the picked item of a filled list; false when nothing is picked.
[[nodiscard]] bool PickedCode(const QComboBox& list, std::int32_t& code);

// The background of an entry box that takes input (true) or not (false): the
// window background or the button face, as the designs colour them.
void SetEntryBackground(QWidget& entry, bool taking_input);

}  // namespace mok
