#pragma once

// frmTL: asks for a transfer format and a character set: a format and a
// language code (nOpr 0, "Trans-LCID"), a format and a code page (nOpr 1,
// "Trans-CP"), or a code page alone (nOpr 2, "CP+半字"). Hidden, not destroyed,
// when it closes: the format picked stays for good, the character set as long
// as the kind of list (language codes or code pages) stays the same.

#include <cstdint>

#include "dialogs/parameter_dialog.h"

class QComboBox;
class QLabel;

namespace mok {

class TransferDialog : public ParameterDialog {
  Q_OBJECT

 public:
  explicit TransferDialog(UserPrompts& prompts, QWidget* parent = nullptr);

  // Read by the caller after OK (sSay: "解读 QP-GB", "中文简(GBK)+半字", ...).
  // Position of the format in the list (0 URL, 1 QP, 2 Base64, 3..9 the Base64
  // variants 1..7); left as it was in mode 2.
  std::int16_t nTrn = 0;
  // The language code (mode 0) or code page (modes 1 and 2) picked.
  std::int32_t lLid = 0;

 protected:
  // A new mode: the layout and captions of the mode, and the list refilled
  // (nothing picked) when its kind changes.
  void SetUpFor(std::int16_t mode, std::int16_t last_mode) override;
  void cmdOk_Click() override;

 private:
  void cboCS_Click();
  // The joiner between the lists: a hyphen between format and character set
  // (modes 0 and 1), "+半字" after the character set (mode 2).
  void PlaceJoiner(bool with_format);

  // Where the character-set list stands beside the format list.
  int lCsLeft_ = 0;
  QLabel* lblTrn_ = nullptr;
  QLabel* lblLid_ = nullptr;
  QComboBox* cboTrn_ = nullptr;
  QLabel* lblDash_ = nullptr;
  QComboBox* cboCS_ = nullptr;
};

}  // namespace mok
