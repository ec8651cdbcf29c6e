#include "dialogs/pair_dialog.h"

#include <QComboBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <limits>

#include "codec/charset_tables.h"
#include "dialogs/dialog_parts.h"

namespace mok {
namespace {

constexpr int kNumberBoxLength = 7;

// A number typed into a box: optional sign and decimal digits, surrounding
// spaces allowed; false for anything else or beyond 32 bits.
bool ReadNumber(const QLineEdit& box, std::int32_t& number) {
  bool ok = false;
  const qlonglong value = box.text().trimmed().toLongLong(&ok, 10);
  if (!ok || value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max()) {
    return false;
  }
  number = static_cast<std::int32_t>(value);
  return true;
}

}  // namespace

PairDialog::PairDialog(UserPrompts& prompts, QWidget* parent)
    : ParameterDialog(prompts, parent, QStringLiteral("frmLid"), QSize(7200, 2350), 2) {
  const QRect option_places[2] = {TwipsRect(150, 250, 2250, 400), TwipsRect(150, 990, 1440, 400)};
  const QRect number_places[2] = {TwipsRect(3040, 240, 1100, 400), TwipsRect(4530, 240, 1100, 400)};
  const QRect list_places[2] = {TwipsRect(1640, 980, 2500, 360), TwipsRect(4530, 980, 2500, 360)};
  for (int i = 0; i < 2; ++i) {
    auto* option = new QRadioButton(this);
    option->setObjectName(QStringLiteral("optTog_%1").arg(i));
    option->setGeometry(option_places[i]);
    connect(option, &QRadioButton::clicked, this, &PairDialog::optTog_Click);
    optTog_[i] = option;

    auto* number = new QLineEdit(this);
    number->setObjectName(QStringLiteral("txtLid_%1").arg(i));
    number->setGeometry(number_places[i]);
    number->setMaxLength(kNumberBoxLength);
    number->installEventFilter(this);
    txtLid_[i] = number;

    auto* list = new QComboBox(this);
    list->setObjectName(QStringLiteral("cboCS_%1").arg(i));
    list->setGeometry(list_places[i]);
    list->setMaxVisibleItems(20);
    connect(list, &QComboBox::currentIndexChanged, this, [this, i] { cboCS_Click(i); });
    cboCS_[i] = list;
  }
  lblDash_ = new QLabel(QStringLiteral("--"), this);
  lblDash_->setObjectName(QStringLiteral("lblDash"));
  lblDash_->setGeometry(TwipsRect(4200, 990, 310, 330));
  AddButtons(TwipsRect(2625, 1750, 1500, 420), TwipsRect(4530, 1750, 1500, 420));

  QWidget* tab_order[] = {optTog_[0], optTog_[1], txtLid_[0], txtLid_[1], cboCS_[0], cboCS_[1], cmdA_[0], cmdA_[1]};
  for (std::size_t i = 0; i + 1 < std::size(tab_order); ++i) setTabOrder(tab_order[i], tab_order[i + 1]);
}

void PairDialog::SetUpFor(std::int16_t mode, std::int16_t) {
  optTog_[1]->setChecked(true);
  optTog_Click();
  txtLid_[0]->clear();
  txtLid_[1]->clear();
  const bool languages = mode == 0;
  setWindowTitle(languages ? QStringLiteral("LCID--LCID") : QStringLiteral("CP--CP"));
  optTog_[0]->setText(languages ? QStringLiteral("语文区号(LCID)") : QStringLiteral("代码页(CP)"));
  optTog_[1]->setText(languages ? QStringLiteral("语文名称") : QStringLiteral("代码页名"));
  for (QComboBox* list : cboCS_) FillCharsetList(*list, languages ? LanguageCodes() : CodePages());
}

void PairDialog::optTog_Click() {
  const bool by_number = optTog_[0]->isChecked();
  for (QLineEdit* number : txtLid_) {
    number->setEnabled(by_number);
    SetEntryBackground(*number, by_number);
  }
  for (QComboBox* list : cboCS_) {
    if (by_number) list->setCurrentIndex(-1);
    list->setEnabled(!by_number);
    SetEntryBackground(*list, !by_number);
  }
  // The dash stands between the pair that takes input.
  lblDash_->move(lblDash_->x(), optTog_[by_number ? 0 : 1]->y());
  if (by_number) {
    txtLid_[0]->setFocus();
  } else {
    cboCS_[0]->setFocus();
  }
}

void PairDialog::cboCS_Click(int side) {
  std::int32_t code = 0;
  if (PickedCode(*cboCS_[side], code)) txtLid_[side]->setText(QString::number(code));
}

bool PairDialog::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusIn) {
    for (QLineEdit* number : txtLid_) {
      if (watched != number) continue;
      // Typing replaces the whole entry. A click places the caret after the
      // focus arrives, so then the selection waits for the click to finish.
      if (static_cast<QFocusEvent*>(event)->reason() == Qt::MouseFocusReason) {
        QTimer::singleShot(0, number, &QLineEdit::selectAll);
      } else {
        number->selectAll();
      }
    }
  }
  return ParameterDialog::eventFilter(watched, event);
}

void PairDialog::cmdOk_Click() {
  std::int32_t a = 0;
  std::int32_t b = 0;
  QString say;
  if (optTog_[0]->isChecked()) {
    if (!ReadNumber(*txtLid_[0], a) || !ReadNumber(*txtLid_[1], b)) return;
    say = QStringLiteral("%1 (%2)--(%3)").arg(nOpr == 0 ? QStringLiteral("LCID") : QStringLiteral("CP")).arg(a).arg(b);
  } else {
    if (!PickedCode(*cboCS_[0], a) || !PickedCode(*cboCS_[1], b)) return;
    say = cboCS_[0]->currentText() + QStringLiteral("--") + cboCS_[1]->currentText();
  }
  lLidA = a;
  lLidB = b;
  Confirm(ToText(say));
}

}  // namespace mok
