#pragma once

// What the parameter dialogs share: the caller sets nOpr, shows the dialog
// modally, and reads bOk, sSay and the dialog's own results. The showing step
// sets the dialog up for nOpr unless it was set up for it last time, so the
// entries stay between showings in the same mode; OK closes the dialog with
// bOk set only when every value was taken.

#include <QDialog>

#include <array>
#include <cstdint>

#include "codec/text_types.h"
#include "platform/user_prompts.h"

class QPushButton;

namespace mok {

class ParameterDialog : public QDialog, public ModalDialog {
  Q_OBJECT

 public:
  // ModalDialog: the showing step, then the dialog until OK or Cancel.
  void RunModal() override;
  // ModalDialog: the form's name, which is the dialog's object name.
  [[nodiscard]] std::u16string DialogName() const override { return objectName().toStdU16String(); }

  // The showing step, run each time the dialog is shown: clears bOk and sets
  // the dialog up for nOpr unless that was the mode of the last showing. False
  // when nOpr is none of the dialog's modes or setting up failed: the dialog
  // has said so ("此窗出错~ ") and is not to be shown.
  bool Form_Activate();

  // Set by the caller before showing.
  std::int16_t nOpr = 0;
  // True only when the dialog was closed with OK and every value was taken.
  bool bOk = false;
  // The status text for the caller.
  Text sSay;

 protected:
  // prompts: where the message about an invalid mode goes; name: the form's
  // name; size: the client area in twips; nOpr runs from 0 to modes - 1.
  ParameterDialog(UserPrompts& prompts, QWidget* parent, const QString& name, QSize size, std::int16_t modes);

  // Adds "确定 &Y", the default button, which runs cmdOk_Click, and "取消 &N",
  // which cancels like Escape, at these places of the design.
  void AddButtons(const QRect& ok, const QRect& cancel);

  // Sets the dialog up for a mode other than the last one (-1 before the first
  // showing).
  virtual void SetUpFor(std::int16_t mode, std::int16_t last_mode) = 0;

  // Takes the values and calls Confirm; when one is missing it returns and the
  // dialog stays open, silently, for the user to correct or cancel.
  virtual void cmdOk_Click() = 0;
  void Confirm(Text say);

  std::array<QPushButton*, 2> cmdA_{};

 private:
  UserPrompts& prompts_;
  std::int16_t modes_;
  // The mode the dialog was last set up for; -1 before the first showing.
  std::int16_t nLastOpr_ = -1;
};

}  // namespace mok
