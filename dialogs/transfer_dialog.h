#pragma once

// frmTL: asks for a transfer format and a character set: a format and a
// language code (nOpr 0, "Trans-LCID"), a format and a code page (nOpr 1,
// "Trans-CP"), or a code page alone (nOpr 2, "CP+半字"). Hidden, not destroyed,
// when it closes: the format picked stays for good, the character set as long
// as the kind of list (language codes or code pages) stays the same.

#include <QDialog>

#include <array>
#include <cstdint>

#include "codec/text_types.h"
#include "platform/user_prompts.h"

class QComboBox;
class QLabel;
class QPushButton;

namespace mok {

class TransferDialog : public QDialog, public ModalDialog {
  Q_OBJECT

 public:
  // prompts: where the message about an invalid mode goes.
  explicit TransferDialog(UserPrompts& prompts, QWidget* parent = nullptr);

  // ModalDialog: the showing step, then the dialog until OK or Cancel.
  void RunModal() override;
  [[nodiscard]] std::u16string DialogName() const override { return u"frmTL"; }

  // The showing step, run each time the dialog is shown: clears bOk and, when
  // nOpr differs from the mode of the last showing, lays the dialog out for it
  // and refills the character-set list if its kind changes. False when nOpr is
  // no mode: the dialog has said so and is not to be shown.
  bool Form_Activate();

  // Set by the caller: 0 format + language code, 1 format + code page, 2 code page.
  std::int16_t nOpr = 0;
  // Read by the caller: true only after OK with every value taken.
  bool bOk = false;
  // Position of the format in the list (0 URL, 1 QP, 2 Base64, 3..9 the Base64
  // variants 1..7); left as it was in mode 2.
  std::int16_t nTrn = 0;
  // The language code (mode 0) or code page (modes 1 and 2) picked.
  std::int32_t lLid = 0;
  // The status text: "解读 QP-GB", "中文简(GBK)+半字", ...
  Text sSay;

 private:
  void cboCS_Click();
  void cmdOk_Click();

  UserPrompts& prompts_;
  // The mode the dialog was last set up for; -1 before the first showing.
  std::int16_t nLastOpr_ = -1;
  // Where the character-set list stands beside the format list.
  int lCsLeft_ = 0;
  QLabel* lblTrn_ = nullptr;
  QLabel* lblLid_ = nullptr;
  QComboBox* cboTrn_ = nullptr;
  QLabel* lblDash_ = nullptr;
  QComboBox* cboCS_ = nullptr;
  std::array<QPushButton*, 2> cmdA_{};
};

}  // namespace mok
