#include "dialogs/dialog_parts.h"

#include <QApplication>
#include <QComboBox>
#include <QSignalBlocker>

#include "widgets/twips.h"

namespace mok {

QRect TwipsRect(int left, int top, int width, int height) {
  return QRect(TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width), TwipsToPixels(height));
}

void FillCharsetList(QComboBox& list, std::span<const NamedCode> table) {
  const QSignalBlocker quiet(list);
  list.clear();
  for (const NamedCode& entry : table) list.addItem(ToQString(entry.name), entry.code);
  list.setCurrentIndex(-1);
}

bool PickedCode(const QComboBox& list, std::int32_t& code) {
  if (list.currentIndex() < 0) return false;
  bool ok = false;
  const int value = list.currentData().toInt(&ok);
  if (!ok) return false;
  code = value;
  return true;
}

void SetEntryBackground(QWidget& entry, bool taking_input) {
  QPalette colours = entry.palette();
  colours.setColor(QPalette::Base, QApplication::palette().color(taking_input ? QPalette::Base : QPalette::Button));
  entry.setPalette(colours);
}

}  // namespace mok
