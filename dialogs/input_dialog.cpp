#include "dialogs/input_dialog.h"

#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include <string>

#include "codec/width_mapping.h"
#include "dialogs/dialog_parts.h"
#include "widgets/menu_builder.h"
#include "widgets/text_box.h"
#include "widgets/twips.h"

namespace mok {
namespace {

// The mode words of nOpr 0, 1 and 2.
constexpr std::u16string_view kModeWords[3] = {u"插入", u"查找", u"替换"};

}  // namespace

InputDialog::InputDialog(UserPrompts& prompts, QWidget* parent) : QDialog(parent), prompts_(prompts) {
  setObjectName(QStringLiteral("frmInp"));
  setModal(true);
  QFont window_font(QStringLiteral("宋体"));
  window_font.setPointSizeF(10.5);
  setFont(window_font);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* bar = new QMenuBar(this);
  layout->setMenuBar(bar);
  auto* client = new QWidget(this);
  client->setFixedSize(TwipsToPixels(6540), TwipsToPixels(3705));
  layout->addWidget(client);

  txtA_ = new TextBox(client);
  txtA_->setObjectName(QStringLiteral("txtA"));
  QFont text_font(QStringLiteral("宋体"));
  text_font.setPointSizeF(12);
  txtA_->setFont(text_font);
  txtA_->setGeometry(TwipsRect(180, 220, 6180, 2520));
  txtA_->AllowTyping(kLimit);
  txtA_->setTabChangesFocus(false);
  connect(txtA_, &QPlainTextEdit::textChanged, this, &InputDialog::OnTextChanged);
  connect(txtA_, &TextBox::MouseReleased, this, [this, bar](Qt::MouseButton button, QPoint) {
    // The right button opens the dialog's edit menu, as Alt+E does.
    if (button == Qt::RightButton) bar->setActiveAction(mnuEdits_->menuAction());
  });

  const QString captions[2] = {QStringLiteral("确定 &Y"), QStringLiteral("取消 &N")};
  for (int i = 0; i < 2; ++i) {
    auto* button = new QPushButton(captions[i], client);
    button->setObjectName(QStringLiteral("cmdA_%1").arg(i));
    button->setGeometry(TwipsRect(1600 + 2000 * i, 3060, 1500, 465));
    // Not the default button: Enter stays in the text box.
    button->setAutoDefault(false);
    button->setDefault(false);
    connect(button, &QPushButton::clicked, this, [this, i] { cmdA_Click(i); });
    cmdA_[static_cast<std::size_t>(i)] = button;
  }
  BuildMenus(*bar);
  setFixedSize(sizeHint());
}

void InputDialog::BuildMenus(QMenuBar& bar) {
  MenuBuilder build(bar, this);
  mnuEdits_ = build.TopMenu(QStringLiteral("mnuEdits"), QStringLiteral(" 编辑 (&E)"));
  connect(mnuEdits_, &QMenu::aboutToShow, this, &InputDialog::mnuEdits_Click);
  build.Item(mnuEdits_, QStringLiteral("mnuTog"), QStringLiteral("撤销 (&U)"), [this] { mnuTog_Click(); });
  build.Separator(mnuEdits_, QStringLiteral("mnuBarE0"));
  const QString edit_captions[4] = {QStringLiteral("全选 [Ctrl+&A]"), QStringLiteral("剪切 [Ctrl+&X]"),
                                    QStringLiteral("复制 [Ctrl+&C]"), QStringLiteral("粘贴 [Ctrl+&V]")};
  for (int i = 0; i < 4; ++i) {
    mnuEdit_[static_cast<std::size_t>(i)] =
        build.Item(mnuEdits_, QStringLiteral("mnuEdit_%1").arg(i), edit_captions[i], [this, i] { mnuEdit_Click(i); });
  }
  build.Separator(mnuEdits_, QStringLiteral("mnuBarE1"));
  const QString case_captions[4] = {QStringLiteral("转全角 (&D)"), QStringLiteral("转半角 (&B)"),
                                    QStringLiteral("转简体 (&G)"), QStringLiteral("转繁体 (&F)")};
  for (int i = 0; i < 4; ++i) {
    mnuCase_[static_cast<std::size_t>(i)] =
        build.Item(mnuEdits_, QStringLiteral("mnuCase_%1").arg(i), case_captions[i], [this, i] { mnuCase_Click(i); });
  }
  build.Separator(mnuEdits_, QStringLiteral("mnuBarE2"));
  const QString ins_captions[3] = {QStringLiteral("删除 [Del]"), QStringLiteral("跳格 [Ctrl+Tab]"),
                                   QStringLiteral("换行 [Ctrl+Enter]")};
  for (int i = 0; i < 3; ++i) {
    mnuIns_[static_cast<std::size_t>(i)] =
        build.Item(mnuEdits_, QStringLiteral("mnuIns_%1").arg(i), ins_captions[i], [this, i] { mnuIns_Click(i); });
  }

  QMenu* looks = build.TopMenu(QStringLiteral("mnuLooks"), QStringLiteral(" 查看 (&L)"));
  mnuHScr_ = build.Item(looks, QStringLiteral("mnuHScr"), QStringLiteral("自动换行"), [this] { mnuHScr_Click(); });
  mnuHScr_->setCheckable(true);
  connect(looks, &QMenu::aboutToShow, this, [this] { mnuHScr_->setChecked(txtA_->WordWrap()); });
}

void InputDialog::RunModal() { exec(); }

void InputDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) Form_Activate();
}

void InputDialog::Form_Activate() {
  bOk = false;
  if (nOpr < 0 || nOpr > 2) {
    Text message(u"此窗出错~ 未知的操作 ");
    for (const char c : std::to_string(nOpr)) message.push_back(static_cast<char16_t>(c));
    prompts_.ShowMessage(message);
    // Hidden once the modal loop runs, so a caller waiting on it returns.
    QMetaObject::invokeMethod(this, [this] { QDialog::reject(); }, Qt::QueuedConnection);
    return;
  }
  Text caption(kModeWords[nOpr]);
  caption += u"字串（限300字）";
  setWindowTitle(ToQString(caption));
  if (!sInp.empty()) {
    // Cut to the limit, but never through a line break or a surrogate pair.
    if (sInp.size() > static_cast<std::size_t>(kLimit)) {
      std::size_t cut = kLimit;
      const char16_t last = sInp[cut - 1];
      const char16_t next = sInp[cut];
      if ((last == u'\r' && next == u'\n') || (last >= 0xD800 && last <= 0xDBFF && next >= 0xDC00 && next <= 0xDFFF)) {
        --cut;
      }
      sInp.resize(cut);
    }
    Text shown = sInp;
    ReplaceNulBySpace(shown);
    txtA_->SetText(shown);
  }
  txtA_->SetSelStart(0);
  txtA_->SetSelLength(txtA_->TextLength());
  txtA_->setFocus();
}

void InputDialog::cmdA_Click(int index) {
  if (index == 0) {
    const std::int32_t n = txtA_->TextLength();
    if (n <= kLimit) {
      sInp = txtA_->GetText();
      ReplaceNulBySpace(sInp);
      bOk = true;
      QDialog::accept();
      return;
    }
    const std::u16string message = u"字数 " + QString::number(n).toStdU16String() + u"  超出 " +
                                   QString::number(n - kLimit).toStdU16String();
    prompts_.ShowMessage(message);
    txtA_->setFocus();
    return;
  }
  QDialog::reject();
}

void InputDialog::reject() { cmdA_Click(1); }

void InputDialog::OnTextChanged() {
  // The text box's Change event: remember the text before this change.
  if (txtA_->GetText() == tag_) return;
  sUndo_ = std::move(tag_);
  tag_ = txtA_->GetText();
}

void InputDialog::mnuTog_Click() { txtA_->SetText(sUndo_); }

void InputDialog::mnuEdits_Click() {
  txtA_->setFocus();
  const bool selected = txtA_->SelLength() > 0;
  mnuEdit_[1]->setEnabled(selected);
  mnuEdit_[2]->setEnabled(selected);
  for (QAction* item : mnuCase_) item->setEnabled(selected);
  mnuIns_[0]->setEnabled(selected);
  mnuEdit_[3]->setEnabled(txtA_->CanPaste());
}

void InputDialog::mnuEdit_Click(int index) {
  switch (index) {
    case 0:
      txtA_->SetSelStart(0);
      txtA_->SetSelLength(txtA_->TextLength());
      break;
    case 1:
      txtA_->cut();
      break;
    case 2:
      txtA_->copy();
      break;
    case 3:
      txtA_->paste();
      break;
    default:
      break;
  }
}

void InputDialog::mnuCase_Click(int index) {
  const Text converted = ConvertCaseItem(txtA_->SelUnits(), index);
  if (converted.empty()) return;
  txtA_->SetSelUnits(converted, /*select_inserted=*/true);
}

void InputDialog::mnuIns_Click(int index) {
  static constexpr std::u16string_view kInserts[3] = {u"", u"\t", u"\r\n"};
  if (index < 0 || index > 2) return;
  const TextView insert = kInserts[index];
  if (txtA_->SelLength() < static_cast<std::int32_t>(insert.size()) && txtA_->TextLength() >= kLimit) {
    prompts_.Beep();
    return;
  }
  txtA_->SetSelUnits(insert);
}

void InputDialog::mnuHScr_Click() { txtA_->SetWordWrap(!txtA_->WordWrap()); }

}  // namespace mok
