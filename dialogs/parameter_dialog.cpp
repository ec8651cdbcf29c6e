#include "dialogs/parameter_dialog.h"

#include <QPushButton>

#include <exception>

#include "dialogs/dialog_parts.h"

namespace mok {
namespace {

// "此窗出错~ " and the description of what went wrong (none when the mode
// alone was wrong).
void ReportSetupError(UserPrompts& prompts, const char* description = "") {
  Text message = u"此窗出错~ ";
  message += ToText(QString::fromUtf8(description));
  prompts.ShowMessage(message);
}

}  // namespace

ParameterDialog::ParameterDialog(UserPrompts& prompts, QWidget* parent, const QString& name, QSize size,
                                 std::int16_t modes)
    : QDialog(parent), prompts_(prompts), modes_(modes) {
  setObjectName(name);
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  setModal(true);
  if (parent != nullptr) setFont(parent->font());
  setFixedSize(TwipsRect(0, 0, size.width(), size.height()).size());
}

void ParameterDialog::AddButtons(const QRect& ok, const QRect& cancel) {
  const QRect places[2] = {ok, cancel};
  const QString captions[2] = {QStringLiteral("确定 &Y"), QStringLiteral("取消 &N")};
  for (int i = 0; i < 2; ++i) {
    cmdA_[i] = new QPushButton(captions[i], this);
    cmdA_[i]->setObjectName(QStringLiteral("cmdA_%1").arg(i));
    cmdA_[i]->setGeometry(places[i]);
  }
  cmdA_[0]->setDefault(true);
  cmdA_[1]->setAutoDefault(false);
  connect(cmdA_[0], &QPushButton::clicked, this, [this] { cmdOk_Click(); });
  connect(cmdA_[1], &QPushButton::clicked, this, &QDialog::reject);
}

void ParameterDialog::RunModal() {
  if (!Form_Activate()) return;
  exec();
}

bool ParameterDialog::Form_Activate() {
  bOk = false;
  // Checked before the mode is compared with the last one, so that no mode
  // (-1 included, the value before the first showing) shows an empty dialog.
  if (nOpr < 0 || nOpr >= modes_) {
    ReportSetupError(prompts_);
    hide();
    return false;
  }
  if (nOpr == nLastOpr_) return true;  // everything as the user left it
  try {
    SetUpFor(nOpr, nLastOpr_);
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

void ParameterDialog::Confirm(Text say) {
  sSay = std::move(say);
  bOk = true;
  accept();
}

}  // namespace mok
