#pragma once

// The program's own file dialog frmB, for opening and for saving. The caller
// sets bOpen (and, for saving, sWay and nPat), shows it modally and then reads
// sWay (empty when cancelled) and nPat. It chooses a path and a format and never
// reads or writes the chosen file. One instance is kept: OK and Cancel hide it,
// so the folder, the filter and the folder buttons survive to the next use;
// only its close box ends it (Closed()), and its owner then builds a new one.

#include <QDialog>

#include <array>
#include <cstdint>

#include "codec/text_types.h"
#include "files/folder_listing.h"
#include "platform/user_prompts.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace mok {

class FileBrowser : public QDialog, public ModalDialog {
  Q_OBJECT

 public:
  // Builds the dialog: the folder buttons' targets, the default folder MOK_TXT
  // and the folder remembered under "Paths"/"LastPath".
  explicit FileBrowser(UserPrompts& prompts, QWidget* parent = nullptr);

  // ModalDialog: activates the dialog, then runs it until OK, Cancel or close.
  void RunModal() override;
  [[nodiscard]] std::u16string DialogName() const override { return u"frmB"; }

  // Set by the caller: true to open, false to save.
  bool bOpen = true;
  // For saving the path to propose; afterwards the chosen path, empty when cancelled.
  Text sWay;
  // For saving the format to propose (0..9); after OK the chosen format number.
  std::int16_t nPat = 0;

  // Closed through the close box: the owner builds a new dialog next time.
  [[nodiscard]] bool Closed() const { return closed_; }

  // What showing the dialog does before it waits for the user: refreshes the
  // list and sets the dialog up for opening or saving. False when that failed
  // (the message was shown, sWay is empty and the dialog hidden).
  bool Form_Activate();

  // What the user does; public so tests act as the user would.
  void cboPat_Click();
  void chkFilter_Click();
  void filA_Click();
  void filA_DblClick();
  void filA_Enter();
  void txtA_Change();
  void txtA_Enter();
  // The path box check, when the box holds something other than the folder it
  // shows; false when it failed and the focus stays in the box.
  bool txtPath_Validate();
  void txtPath_Enter();
  void cmdDef_Click(int index);
  void cmdDelFile_Click();
  void cmdA_Click(int index);
  void cmdMend_Click();

  [[nodiscard]] const FolderListing& Listing() const { return listing_; }
  // The folder a folder button leads to (0 default, 1 back, 2 desktop, 3
  // documents); empty when it leads nowhere.
  [[nodiscard]] Text FolderTarget(int index) const;
  // The row of the entry the list shows selected, or -1. Only a selected entry
  // fills the name box, opens or is deleted; the list's current row alone is not.
  [[nodiscard]] int SelectedRow() const;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  // Esc: the same as Cancel.
  void reject() override;

 private:
  void BuildWidgets();
  [[nodiscard]] int ChangeFolder(TextView folder);
  void FillList();
  void ShowFolder();
  void ShowWay();
  // After a change of folder: no name when opening, the typed name chosen in
  // the list when saving.
  void ShowNameInNewFolder();
  void SelectListName();
  [[nodiscard]] bool MendName(bool make_unique);
  [[nodiscard]] Text NameBox() const;
  void SetNameBox(TextView name);

  UserPrompts& prompts_;
  FolderListing listing_;
  // The fixed targets of the folder buttons; "后退" follows the listing.
  std::array<Text, 4> targets_;
  bool closed_ = false;
  // What ShowFolder put into the path box: a folder longer than the box takes
  // shows cut short, and that is not a folder typed by the user.
  QString path_shown_;

  QLineEdit* txtPath_ = nullptr;
  QLabel* lblGo_ = nullptr;
  QListWidget* filA_ = nullptr;
  std::array<QPushButton*, 4> cmdDef_{};
  QCheckBox* chkFilter_ = nullptr;
  QPushButton* cmdDelFile_ = nullptr;
  QLabel* lblPat_ = nullptr;
  QComboBox* cboPat_ = nullptr;
  QCheckBox* chkBom_ = nullptr;
  std::array<QPushButton*, 2> cmdA_{};
  QLineEdit* txtA_ = nullptr;
  QPushButton* cmdMend_ = nullptr;
};

}  // namespace mok
