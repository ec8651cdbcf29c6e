#pragma once

// frmSuggest: the repair suggestions for the text, best first, one row each
// with a preview, the language, how sure the choice is (the first row only)
// and the menu command that does the same; below the list, what happened to
// the chosen row's text, wrapped to the dialog's width: the steps, the
// characters that could not be recovered, where passages were repaired. OK
// (or a double-click on a row) confirms the chosen row; Cancel or Escape
// changes nothing. Created on first use and hidden, not destroyed, when closed.
// At its default size it is as wide as the main window.

#include <QDialog>

#include <vector>

#include "platform/user_prompts.h"
#include "repair/explain.h"
#include "repair/suggest.h"

class QLabel;
class QPushButton;
class QTreeWidget;

namespace mok {

class SuggestDialog : public QDialog, public ModalDialog {
  Q_OBJECT

 public:
  explicit SuggestDialog(QWidget* parent = nullptr);

  // Set before showing: the rows to offer, best first, and the text they
  // repair (for the lines a repair by passages changed).
  void SetSuggestions(std::vector<RepairSuggestion> suggestions, Text input = {});

  // ModalDialog: Showing, then the dialog runs until OK or Cancel hides it.
  void RunModal() override;
  [[nodiscard]] std::u16string DialogName() const override { return u"frmSuggest"; }

  // Handlers. Showing fills the list, chooses the best row and clears bOk.
  void Showing();
  // A click on a row (0 is the best); a row outside the list chooses none.
  void ChooseRow(int row);
  // OK: with a row chosen, bOk becomes true and the dialog hides; with none it stays.
  void Ok();
  // Cancel (also Escape and the close box): hides, bOk stays false.
  void Cancel();

  // Results, read after the dialog hid.
  [[nodiscard]] bool bOk() const { return ok_; }
  [[nodiscard]] int nChosen() const { return chosen_; }

  [[nodiscard]] QTreeWidget* List() const { return lstSuggest_; }
  [[nodiscard]] QLabel* Explanation() const { return lblExplain_; }

  void reject() override { Cancel(); }

 private:
  // Shows the chosen row's explanation below the list.
  void Explain();

  std::vector<RepairSuggestion> suggestions_;
  Text input_;
  bool ok_ = false;
  int chosen_ = -1;
  QTreeWidget* lstSuggest_ = nullptr;
  QLabel* lblExplain_ = nullptr;
  QPushButton* cmdOk_ = nullptr;
  QPushButton* cmdCancel_ = nullptr;
};

}  // namespace mok
