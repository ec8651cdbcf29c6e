#pragma once

// The input dialog frmInp: asks for a string of at most 300 characters to
// insert (nOpr 0), to find (1) or to put in place of the selection (2). It has
// its own small edit menu and word wrap, and is hidden, not destroyed, when
// closed, so its text stays between uses.

#include <QDialog>

#include <array>
#include <cstdint>

#include "codec/text_types.h"
#include "platform/user_prompts.h"

class QAction;
class QMenu;
class QMenuBar;
class QPushButton;

namespace mok {

class TextBox;

class InputDialog : public QDialog, public ModalDialog {
  Q_OBJECT

 public:
  // The most characters the dialog returns; a line break counts two at OK.
  static constexpr int kLimit = 300;

  explicit InputDialog(UserPrompts& prompts, QWidget* parent = nullptr);

  // Set before showing: 0 insert, 1 find, 2 replace.
  std::int16_t nOpr = 0;
  // Set before showing (empty: keep the text of the last use); after OK, the
  // string entered.
  Text sInp;
  // True only when the dialog was closed with OK.
  bool bOk = false;

  // ModalDialog
  void RunModal() override;
  [[nodiscard]] std::u16string DialogName() const override { return u"frmInp"; }

  // The handlers, public so that tests drive the dialog the way a user does.
  // Showing: the caption by mode, the starting string, all of it selected.
  void Form_Activate();
  // 0 OK, 1 cancel.
  void cmdA_Click(int index);
  // Enabling of the edit menu each time it opens.
  void mnuEdits_Click();
  // Toggles between the last two texts.
  void mnuTog_Click();
  // 0 select all, 1 cut, 2 copy, 3 paste.
  void mnuEdit_Click(int index);
  // 0 full width, 1 half width, 2 simplified, 3 traditional.
  void mnuCase_Click(int index);
  // 0 delete, 1 tab, 2 line break.
  void mnuIns_Click(int index);
  void mnuHScr_Click();

  [[nodiscard]] TextBox& Box() { return *txtA_; }
  [[nodiscard]] QMenu* EditMenu() const { return mnuEdits_; }

 protected:
  void showEvent(QShowEvent* event) override;
  // Escape and the close box cancel.
  void reject() override;

 private:
  void BuildMenus(QMenuBar& bar);
  void OnTextChanged();

  UserPrompts& prompts_;
  TextBox* txtA_ = nullptr;
  std::array<QPushButton*, 2> cmdA_{};
  QMenu* mnuEdits_ = nullptr;
  QAction* mnuHScr_ = nullptr;
  std::array<QAction*, 4> mnuEdit_{};
  std::array<QAction*, 4> mnuCase_{};
  std::array<QAction*, 3> mnuIns_{};
  // The text as of the last change (the text box's Tag) and the one before it.
  Text tag_;
  Text sUndo_;
};

}  // namespace mok
