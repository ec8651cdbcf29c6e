#include "platform/qt_user_prompts.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace mok {
namespace {

QString ToQString(std::u16string_view text) {
  return QString(reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(text.size()));
}

}  // namespace

MessageAnswer QtUserPrompts::ShowMessage(std::u16string_view text, MessageButtons buttons,
                                         std::u16string_view title) {
  QMessageBox box(QMessageBox::NoIcon, ToQString(title), ToQString(text), QMessageBox::NoButton, owner_);
  box.setTextFormat(Qt::PlainText);
  if (buttons == MessageButtons::Ok) {
    box.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
    box.exec();
    return MessageAnswer::Ok;
  }
  QPushButton* yes = box.addButton(QStringLiteral("是(&Y)"), QMessageBox::YesRole);
  QPushButton* no = box.addButton(QStringLiteral("否(&N)"), QMessageBox::NoRole);
  box.setDefaultButton(buttons == MessageButtons::YesNoDefaultNo ? no : yes);
  box.setEscapeButton(no);
  box.exec();
  return box.clickedButton() == yes ? MessageAnswer::Yes : MessageAnswer::No;
}

void QtUserPrompts::Beep() { QApplication::beep(); }

void QtUserPrompts::ShowModal(ModalDialog& dialog) { dialog.RunModal(); }

}  // namespace mok
