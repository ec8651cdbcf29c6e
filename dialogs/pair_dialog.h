#pragma once

// frmLid: asks for a pair of character sets, A (the text's bytes are made with
// it) and B (they are read with it): two language codes (nOpr 0, "LCID--LCID")
// or two code pages (nOpr 1, "CP--CP"), each typed as a number or picked by
// name from the landed tables. Hidden, not destroyed, when it closes, so the
// next showing in the same mode finds the entries as the user left them.

#include <array>
#include <cstdint>

#include "dialogs/parameter_dialog.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace mok {

class PairDialog : public ParameterDialog {
  Q_OBJECT

 public:
  explicit PairDialog(UserPrompts& prompts, QWidget* parent = nullptr);

  // Read by the caller after OK (sSay: "GB--Big5", "LCID (2052)--(1028)", ...).
  std::int32_t lLidA = 0;
  std::int32_t lLidB = 0;

 protected:
  // A new mode: entry by name, both number boxes empty, the captions and both
  // lists of the mode, nothing picked.
  void SetUpFor(std::int16_t mode, std::int16_t last_mode) override;
  void cmdOk_Click() override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void optTog_Click();
  void cboCS_Click(int side);

  std::array<QRadioButton*, 2> optTog_{};
  std::array<QLineEdit*, 2> txtLid_{};
  std::array<QComboBox*, 2> cboCS_{};
  QLabel* lblDash_ = nullptr;
};

}  // namespace mok
