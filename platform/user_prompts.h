#pragma once

// Every effect the user sees outside the main window's own widgets goes through
// this one interface: message boxes, Yes/No questions, the beep and modal dialogs.
// The main window implements it with Qt; tests implement it with scripted answers
// and a record of what was shown.

#include <string>
#include <string_view>

namespace mok {

enum class MessageButtons { Ok, YesNo, YesNoDefaultNo };  // the last: No is the default button
enum class MessageAnswer { Ok, Yes, No };

// A dialog that can be shown modally. The caller sets its public members first
// and reads its results afterwards.
class ModalDialog {
 public:
  virtual ~ModalDialog() = default;
  // Runs the dialog until the user confirms or cancels it.
  virtual void RunModal() = 0;
  // The dialog's name (frmInp, frmLid, frmTL, frmB), for scripted tests.
  [[nodiscard]] virtual std::u16string DialogName() const = 0;
};

inline constexpr std::u16string_view kProgramShortName = u"MOK";

class UserPrompts {
 public:
  virtual ~UserPrompts() = default;

  // A message box with no icon; the title is the program's short name unless a
  // caller gives another. Returns the button chosen.
  virtual MessageAnswer ShowMessage(std::u16string_view text, MessageButtons buttons = MessageButtons::Ok,
                                    std::u16string_view title = kProgramShortName) = 0;

  // The system beep.
  virtual void Beep() = 0;

  // Shows a dialog modally and returns when it has been confirmed or cancelled.
  virtual void ShowModal(ModalDialog& dialog) = 0;

  // A Yes/No question; true when the user chose Yes.
  bool AskYesNo(std::u16string_view text, std::u16string_view title = kProgramShortName) {
    return ShowMessage(text, MessageButtons::YesNo, title) == MessageAnswer::Yes;
  }
};

}  // namespace mok
