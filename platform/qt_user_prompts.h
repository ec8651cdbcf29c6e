#pragma once

// The user-facing effects drawn with Qt: message boxes without an icon, the
// system beep, modal dialogs.

#include "platform/user_prompts.h"

class QWidget;

namespace mok {

class QtUserPrompts : public UserPrompts {
 public:
  explicit QtUserPrompts(QWidget* owner) : owner_(owner) {}

  MessageAnswer ShowMessage(std::u16string_view text, MessageButtons buttons,
                            std::u16string_view title) override;
  void Beep() override;
  void ShowModal(ModalDialog& dialog) override;

 private:
  QWidget* owner_;
};

}  // namespace mok
