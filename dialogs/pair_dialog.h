#pragma once

// frmLid: asks for a pair of character sets, A (the text's bytes are made with
// it) and B (they are read with it): two language codes (nOpr 0, "LCID--LCID")
// or two code pages (nOpr 1, "CP--CP"), each typed as a number or picked by
// name from the landed tables. Hidden, not destroyed, when it closes, so the
// next showing in the same mode finds the entries as the user left them.

#include <QDialog>

#include <array>
#include <cstdint>

#include "codec/text_types.h"
#include "platform/user_prompts.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace mok {

class PairDialog : public QDialog, public ModalDialog {
  Q_OBJECT

 public:
  // prompts: where the message about an invalid mode goes.
  explicit PairDialog(UserPrompts& prompts, QWidget* parent = nullptr);

  // ModalDialog: the showing step, then the dialog until OK or Cancel.
  void RunModal() override;
  [[nodiscard]] std::u16string DialogName() const override { return u"frmLid"; }

  // The showing step, run each time the dialog is shown: clears bOk and, when
  // nOpr differs from the mode of the last showing, sets the captions and
  // refills both lists (nothing picked, both number boxes empty). False when
  // nOpr is no mode: the dialog has said so and is not to be shown.
  bool Form_Activate();

  // Set by the caller: 0 language codes, 1 code pages.
  std::int16_t nOpr = 0;
  // Read by the caller: true only after OK with both numbers taken.
  bool bOk = false;
  std::int32_t lLidA = 0;
  std::int32_t lLidB = 0;
  // The pair for the status line: "GB--Big5", "LCID (2052)--(1028)", ...
  Text sSay;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void optTog_Click();
  void cboCS_Click(int side);
  void cmdOk_Click();

  UserPrompts& prompts_;
  // The mode the lists were last filled for; -1 before the first showing.
  std::int16_t nLastOpr_ = -1;
  std::array<QRadioButton*, 2> optTog_{};
  std::array<QLineEdit*, 2> txtLid_{};
  std::array<QComboBox*, 2> cboCS_{};
  QLabel* lblDash_ = nullptr;
  std::array<QPushButton*, 2> cmdA_{};
};

}  // namespace mok
