#include "dialogs/pair_dialog.h"

#include <QComboBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <exception>
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

PairDialog::PairDialog(UserPrompts& prompts, QWidget* parent) : QDialog(parent), prompts_(prompts) {
  setObjectName(QStringLiteral("frmLid"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  setModal(true);
  if (parent != nullptr) setFont(parent->font());
  setFixedSize(TwipsRect(0, 0, 7200, 2350).size());

  const QRect option_places[2] = {TwipsRect(150, 250, 2250, 400), TwipsRect(150, 990, 1440, 400)};
  const QRect number_places[2] = {TwipsRect(3040, 240, 1100, 400), TwipsRect(4530, 240, 1100, 400)};
  const QRect list_places[2] = {TwipsRect(1640, 980, 2500, 360), TwipsRect(4530, 980, 2500, 360)};
  const QRect button_places[2] = {TwipsRect(2625, 1750, 1500, 420), TwipsRect(4530, 1750, 1500, 420)};
  const QString button_captions[2] = {QStringLiteral("确定 &Y"), QStringLiteral("取消 &N")};
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

    auto* button = new QPushButton(button_captions[i], this);
    button->setObjectName(QStringLiteral("cmdA_%1").arg(i));
    button->setGeometry(button_places[i]);
    cmdA_[i] = button;
  }
  lblDash_ = new QLabel(QStringLiteral("--"), this);
  lblDash_->setObjectName(QStringLiteral("lblDash"));
  lblDash_->setGeometry(TwipsRect(4200, 990, 310, 330));

  cmdA_[0]->setDefault(true);
  cmdA_[0]->setAutoDefault(true);
  cmdA_[1]->setAutoDefault(false);
  connect(cmdA_[0], &QPushButton::clicked, this, &PairDialog::cmdOk_Click);
  connect(cmdA_[1], &QPushButton::clicked, this, &QDialog::reject);  // Escape rejects as well

  QWidget* tab_order[] = {optTog_[0], optTog_[1], txtLid_[0], txtLid_[1], cboCS_[0], cboCS_[1], cmdA_[0], cmdA_[1]};
  for (std::size_t i = 0; i + 1 < std::size(tab_order); ++i) setTabOrder(tab_order[i], tab_order[i + 1]);
}

void PairDialog::RunModal() {
  if (!Form_Activate()) return;
  exec();
}

bool PairDialog::Form_Activate() {
  bOk = false;
  // Checked before the mode is compared with the last one, so that no mode
  // (-1 included, the value before the first showing) shows an empty dialog.
  if (nOpr != 0 && nOpr != 1) {
    ReportSetupError(prompts_);
    hide();
    return false;
  }
  if (nOpr == nLastOpr_) return true;  // everything as the user left it
  try {
    optTog_[1]->setChecked(true);
    optTog_Click();
    txtLid_[0]->clear();
    txtLid_[1]->clear();
    const bool languages = nOpr == 0;
    setWindowTitle(languages ? QStringLiteral("LCID--LCID") : QStringLiteral("CP--CP"));
    optTog_[0]->setText(languages ? QStringLiteral("语文区号(LCID)") : QStringLiteral("代码页(CP)"));
    optTog_[1]->setText(languages ? QStringLiteral("语文名称") : QStringLiteral("代码页名"));
    for (QComboBox* list : cboCS_) FillCharsetList(*list, languages ? LanguageCodes() : CodePages());
    nLastOpr_ = nOpr;
    return true;
  } catch (const std::exception& error) {
    ReportSetupError(prompts_, error.what());
  } catch (...) {
    ReportSetupError(prompts_);
  }
  hide();
  return false;
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
  return QDialog::eventFilter(watched, event);
}

// An entry that is not a number, or a list without a pick, leaves the dialog
// open, silently, for the user to correct or cancel.
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
  sSay = ToText(say);
  bOk = true;
  accept();
}

}  // namespace mok
