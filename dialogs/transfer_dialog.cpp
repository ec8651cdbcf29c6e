#include "dialogs/transfer_dialog.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>

#include "codec/base64.h"
#include "codec/charset_tables.h"
#include "dialogs/dialog_parts.h"

namespace mok {
namespace {

// Modes 1 and 2 pick from the code pages, mode 0 from the language codes.
bool ListsCodePages(std::int16_t mode) { return mode != 0; }

}  // namespace

TransferDialog::TransferDialog(UserPrompts& prompts, QWidget* parent)
    : ParameterDialog(prompts, parent, QStringLiteral("frmTL"), QSize(5650, 2350), 3) {
  lblTrn_ = new QLabel(this);
  lblTrn_->setObjectName(QStringLiteral("lblTrn"));
  lblTrn_->setGeometry(TwipsRect(100, 60, 2500, 315));
  lblLid_ = new QLabel(this);
  lblLid_->setObjectName(QStringLiteral("lblLid"));
  lblLid_->setGeometry(TwipsRect(3000, 480, 1395, 315));

  cboTrn_ = new QComboBox(this);
  cboTrn_->setObjectName(QStringLiteral("cboTrn"));
  cboTrn_->setGeometry(TwipsRect(590, 900, 2050, 360));
  cboTrn_->addItems({QStringLiteral("URL"), QStringLiteral("QP"), QStringLiteral("Base64")});
  for (std::size_t i = 0; i + 1 < kBase64VariantPairs.size(); i += 2) {
    cboTrn_->addItem(QStringLiteral("Base64(") + QString::fromLatin1(kBase64VariantPairs.substr(i, 2)) + u')');
  }
  cboTrn_->setCurrentIndex(-1);

  // The joiner's caption never changes; where it stands shows the part of it
  // each mode needs (PlaceJoiner). The list is made after the label, to lie on
  // top of it.
  lblDash_ = new QLabel(QStringLiteral("-   +半字"), this);
  lblDash_->setObjectName(QStringLiteral("lblDash"));
  lblDash_->setGeometry(TwipsRect(2715, 915, 1605, 330));
  cboCS_ = new QComboBox(this);
  cboCS_->setObjectName(QStringLiteral("cboCS"));
  cboCS_->setGeometry(TwipsRect(2980, 900, 2500, 360));
  cboCS_->setMaxVisibleItems(20);
  connect(cboCS_, &QComboBox::currentIndexChanged, this, &TransferDialog::cboCS_Click);
  lCsLeft_ = cboCS_->x();

  AddButtons(TwipsRect(1125, 1740, 1500, 420), TwipsRect(3000, 1740, 1500, 420));
  setTabOrder(cboTrn_, cboCS_);
  setTabOrder(cboCS_, cmdA_[0]);
  setTabOrder(cmdA_[0], cmdA_[1]);
}

void TransferDialog::SetUpFor(std::int16_t mode, std::int16_t last_mode) {
  const bool with_format = mode != 2;
  cboTrn_->setVisible(with_format);
  cboCS_->move(with_format ? lCsLeft_ : cboTrn_->x(), cboCS_->y());
  PlaceJoiner(with_format);
  static const QString kCaptions[3] = {QStringLiteral("Trans-LCID"), QStringLiteral("Trans-CP"),
                                       QStringLiteral("CP+半字")};
  static const QString kKinds[3] = {QStringLiteral("(传送格式-语文区号)"), QStringLiteral("(传送格式-代码页)"),
                                    QStringLiteral("(代码页+半字)")};
  setWindowTitle(kCaptions[mode]);
  lblTrn_->setText(kKinds[mode]);
  // The list keeps its items and pick while its kind stays the same.
  if (last_mode >= 0 && ListsCodePages(last_mode) == ListsCodePages(mode)) return;
  lblLid_->clear();
  FillCharsetList(*cboCS_, ListsCodePages(mode) ? CodePages() : LanguageCodes());
}

// Placed by the widths of the caption's parts in the label's own font, so that
// no font draws a part half hidden under a list: between the two lists only the
// hyphen shows, the label cut right after it; after the character-set list the
// whole of "+半字" shows, the hyphen and the spaces lying under the list.
void TransferDialog::PlaceJoiner(bool with_format) {
  const QFontMetrics metrics(lblDash_->font());
  const QString caption = lblDash_->text();
  const qsizetype plus = caption.indexOf(u'+');
  const int gap = metrics.horizontalAdvance(u' ');
  if (with_format) {
    const int hyphen = metrics.horizontalAdvance(caption.left(1));
    const int left = cboTrn_->geometry().right() + 1;
    const int middle = (left + cboCS_->x()) / 2;
    lblDash_->setGeometry(middle - hyphen / 2, lblDash_->y(), hyphen + 1, lblDash_->height());
  } else {
    const int before_plus = metrics.horizontalAdvance(caption.left(plus));
    const int x = cboCS_->geometry().right() + 1 + gap - before_plus;
    lblDash_->setGeometry(x, lblDash_->y(), metrics.horizontalAdvance(caption) + gap, lblDash_->height());
  }
}

void TransferDialog::cboCS_Click() {
  std::int32_t code = 0;
  if (PickedCode(*cboCS_, code)) lblLid_->setText(QString::number(code));
}

// Without a format (modes 0 and 1) or without a character set nothing happens:
// the dialog stays open for the user to pick or cancel.
void TransferDialog::cmdOk_Click() {
  std::int16_t format = nTrn;
  QString say;
  if (nOpr >= 2) {
    say = cboCS_->currentText() + QStringLiteral("+半字");
  } else {
    if (cboTrn_->currentIndex() < 0) return;
    format = static_cast<std::int16_t>(cboTrn_->currentIndex());
    say = QStringLiteral("解读 ") + cboTrn_->currentText() + u'-' + cboCS_->currentText();
  }
  std::int32_t code = 0;
  if (!PickedCode(*cboCS_, code)) return;
  nTrn = format;
  lLid = code;
  Confirm(ToText(say));
}

}  // namespace mok
