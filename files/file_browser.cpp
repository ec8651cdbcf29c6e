#include "files/file_browser.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStandardPaths>
#include <QTimer>

#include <algorithm>

#include "codec/file_attributes.h"
#include "codec/text_files.h"
#include "files/path_checks.h"
#include "platform/qt_text.h"
#include "platform/recycle_file.h"
#include "platform/settings_store.h"
#include "widgets/twips.h"

namespace mok {
namespace {

const QString kSong = QStringLiteral("宋体");
constexpr int kBoxLimit = 200;  // characters the path box and the name box take

void Place(QWidget* widget, int left, int top, int width, int height) {
  widget->setGeometry(TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width), TwipsToPixels(height));
}

bool IsEnter(QEvent* event) {
  if (event->type() != QEvent::KeyPress) return false;
  const int key = static_cast<QKeyEvent*>(event)->key();
  return key == Qt::Key_Return || key == Qt::Key_Enter;
}

// The file list. Qt makes the first entry current when the list gets the
// keyboard focus with none current; that entry is not selected and is no
// choice of the user's, so it is made not current again: the first arrow key
// then selects the first entry, and nothing else reads as a choice.
class FileList : public QListWidget {
 public:
  using QListWidget::QListWidget;

 protected:
  void focusInEvent(QFocusEvent* event) override {
    const bool had_current = currentIndex().isValid();
    QListWidget::focusInEvent(event);
    if (!had_current && currentIndex().isValid() && selectedItems().isEmpty()) {
      selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    }
  }
};

// A folder of the desktop (Documents, Desktop) as a folder button's target, or
// nothing when the user has no such folder.
Text DesktopFolder(QStandardPaths::StandardLocation location) {
  const QString folder = QStandardPaths::writableLocation(location);
  if (folder.isEmpty() || !QDir(folder).exists()) return {};
  return ResolveFolder(ToText(folder), u"/");
}

}  // namespace

FileBrowser::FileBrowser(UserPrompts& prompts, QWidget* parent)
    : QDialog(parent), prompts_(prompts), listing_(StartFolder()) {
  setObjectName(QStringLiteral("frmB"));
  BuildWidgets();

  targets_[3] = DesktopFolder(QStandardPaths::DocumentsLocation);
  targets_[2] = DesktopFolder(QStandardPaths::DesktopLocation);
  targets_[0] = DefaultFolderTarget(ToText(QCoreApplication::applicationDirPath()), ToText(QDir::homePath()),
                                    listing_.Folder());
  // The folder the dialog was last closed in; when it is gone, the default one.
  const QString last = SettingsStore::Read(QStringLiteral("Paths"), QStringLiteral("LastPath")).value_or(QString());
  if (last.isEmpty() || ChangeFolder(ToText(last)) != 0) (void)ChangeFolder(targets_[0]);
  ShowFolder();
}

void FileBrowser::BuildWidgets() {
  QFont font(kSong);
  font.setPointSizeF(12);
  setFont(font);
  // The design's client area: 7485 x 7200 twips.
  setFixedSize(TwipsToPixels(7485), TwipsToPixels(7200));

  txtPath_ = new QLineEdit(this);
  lblGo_ = new QLabel(QStringLiteral("转到"), this);
  filA_ = new FileList(this);
  const QString def_captions[4] = {QStringLiteral("默认路径"), QStringLiteral("后退"), QStringLiteral("桌面"),
                                   QStringLiteral("我的文档")};
  for (int i = 0; i < 4; ++i) cmdDef_[static_cast<std::size_t>(i)] = new QPushButton(def_captions[i], this);
  // 仅见".txt"文件: show only files whose names end in .txt.
  chkFilter_ = new QCheckBox(QStringLiteral("仅见\".txt\"文件"), this);
  cmdDelFile_ = new QPushButton(QStringLiteral("删除文件"), this);
  lblPat_ = new QLabel(QStringLiteral("编码格式："), this);
  cboPat_ = new QComboBox(this);
  chkBom_ = new QCheckBox(QStringLiteral("BOM"), this);
  cmdA_[0] = new QPushButton(this);
  cmdA_[1] = new QPushButton(QStringLiteral("取 消  &N"), this);
  txtA_ = new QLineEdit(this);
  cmdMend_ = new QPushButton(QStringLiteral("改名"), this);

  txtPath_->setObjectName(QStringLiteral("txtPath"));
  lblGo_->setObjectName(QStringLiteral("lblGo"));
  filA_->setObjectName(QStringLiteral("filA"));
  for (int i = 0; i < 4; ++i) cmdDef_[static_cast<std::size_t>(i)]->setObjectName(QStringLiteral("cmdDef_%1").arg(i));
  chkFilter_->setObjectName(QStringLiteral("chkFilter"));
  cmdDelFile_->setObjectName(QStringLiteral("cmdDelFile"));
  lblPat_->setObjectName(QStringLiteral("lblPat"));
  cboPat_->setObjectName(QStringLiteral("cboPat"));
  chkBom_->setObjectName(QStringLiteral("chkBom"));
  cmdA_[0]->setObjectName(QStringLiteral("cmdA_0"));
  cmdA_[1]->setObjectName(QStringLiteral("cmdA_1"));
  txtA_->setObjectName(QStringLiteral("txtA"));
  cmdMend_->setObjectName(QStringLiteral("cmdMend"));

  Place(txtPath_, 180, 180, 6420, 400);
  Place(lblGo_, 6675, 200, 630, 330);
  Place(filA_, 180, 770, 4680, 5610);
  Place(cmdDef_[0], 5000, 675, 1230, 330);
  Place(cmdDef_[1], 6345, 675, 960, 330);
  Place(cmdDef_[2], 5000, 1100, 960, 330);
  Place(cmdDef_[3], 6075, 1100, 1230, 330);
  Place(chkFilter_, 5000, 1830, 2000, 300);
  Place(cmdDelFile_, 5000, 2240, 1235, 330);
  Place(lblPat_, 5250, 3300, 1425, 330);
  Place(cboPat_, 5205, 3660, 2100, 360);
  Place(chkBom_, 5220, 4080, 780, 330);
  Place(cmdA_[0], 5550, 4500, 1700, 690);
  Place(cmdA_[1], 5550, 5400, 1700, 600);
  Place(txtA_, 180, 6570, 4400, 400);
  Place(cmdMend_, 4620, 6600, 720, 380);

  txtPath_->setMaxLength(kBoxLimit);
  txtA_->setMaxLength(kBoxLimit);
  cboPat_->addItem(QStringLiteral("自动选择"));
  for (std::int16_t format = kFormatGbk; format <= kFormatUtf8Bom; ++format) {
    cboPat_->addItem(ToQString(FileFormatName(format, true)));
  }
  QFont small(kSong);
  small.setPointSizeF(0.88 * txtA_->font().pointSizeF());
  for (QWidget* widget : {static_cast<QWidget*>(cmdMend_), static_cast<QWidget*>(lblGo_),
                          static_cast<QWidget*>(cmdDelFile_), static_cast<QWidget*>(chkFilter_)}) {
    widget->setFont(small);
  }
  for (QPushButton* button : cmdDef_) button->setFont(small);
  // The design's widths were measured with another font: a check box's caption
  // is never cut short.
  for (QCheckBox* box : {chkFilter_, chkBom_}) box->resize(std::max(box->width(), box->sizeHint().width()), box->height());
  chkFilter_->setChecked(true);  // the listing starts with "*.txt"
  filA_->setUniformItemSizes(true);

  // Enter presses only the button that has the focus, as on the desktop the
  // dialog comes from; no button is the dialog's default.
  for (QPushButton* button : findChildren<QPushButton*>()) button->setAutoDefault(false);
  QWidget* tab_order[] = {filA_,       txtA_,  cmdMend_, cmdDef_[0], cmdDef_[1], cmdDef_[2], cmdDef_[3], chkFilter_,
                          cmdDelFile_, cboPat_, chkBom_, cmdA_[0],   cmdA_[1],   txtPath_};
  for (std::size_t i = 0; i + 1 < std::size(tab_order); ++i) setTabOrder(tab_order[i], tab_order[i + 1]);

  txtPath_->installEventFilter(this);
  txtA_->installEventFilter(this);
  filA_->installEventFilter(this);
  // Only a selection is a choice: a click, the arrow keys, typing in the list.
  connect(filA_, &QListWidget::itemSelectionChanged, this, [this] { filA_Click(); });
  connect(filA_, &QListWidget::itemClicked, this, [this] { filA_Click(); });
  connect(filA_, &QListWidget::itemDoubleClicked, this, [this] { filA_DblClick(); });
  connect(txtA_, &QLineEdit::textChanged, this, [this] { txtA_Change(); });
  // When saving, the list marks the entry of the name being typed, and no
  // other: an entry marked before the name changed is no longer the user's choice.
  connect(txtA_, &QLineEdit::textEdited, this, [this] {
    if (!bOpen) SelectListName();
  });
  connect(cboPat_, &QComboBox::currentIndexChanged, this, [this] { cboPat_Click(); });
  connect(chkFilter_, &QCheckBox::clicked, this, [this] { chkFilter_Click(); });
  for (int i = 0; i < 4; ++i) {
    connect(cmdDef_[static_cast<std::size_t>(i)], &QPushButton::clicked, this, [this, i] { cmdDef_Click(i); });
  }
  connect(cmdDelFile_, &QPushButton::clicked, this, [this] { cmdDelFile_Click(); });
  connect(cmdA_[0], &QPushButton::clicked, this, [this] { cmdA_Click(0); });
  connect(cmdA_[1], &QPushButton::clicked, this, [this] { cmdA_Click(1); });
  connect(cmdMend_, &QPushButton::clicked, this, [this] { cmdMend_Click(); });
}

void FileBrowser::RunModal() {
  if (!Form_Activate()) return;
  if (exec() != QDialog::Accepted) sWay.clear();
}

bool FileBrowser::Form_Activate() {
  if (const int error = listing_.Refresh(); error != 0) {
    // The folder has gone since (deleted, unmounted). Staying there would make
    // every later use of the dialog fail, so it moves to the default folder,
    // or failing that the start folder.
    const Text lost = listing_.Folder();
    if (ChangeFolder(targets_[0]) != 0 && ChangeFolder(StartFolder()) != 0) {
      prompts_.ShowMessage(u"此窗出错~ " + FolderErrorText(error, lost));
      sWay.clear();
      hide();
      return false;
    }
  }
  FillList();
  ShowFolder();
  QPalette name_colours = txtA_->palette();
  if (bOpen) {
    setWindowTitle(QStringLiteral("打开文件"));
    cmdA_[0]->setText(QStringLiteral("打 开  &Y"));
    filA_->setFocus();
    txtA_->setEnabled(false);
    name_colours.setColor(QPalette::Base, palette().color(QPalette::Button));
    txtA_->setPalette(name_colours);
    cmdMend_->setEnabled(false);
    SetNameBox({});  // the list was read again: no entry is chosen yet
    cboPat_->setCurrentIndex(0);
    cboPat_Click();
    return true;
  }
  setWindowTitle(QStringLiteral("保存文件"));
  cmdA_[0]->setText(QStringLiteral("保 存  &Y"));
  txtA_->setEnabled(true);
  name_colours.setColor(QPalette::Base, palette().color(QPalette::Base));
  txtA_->setPalette(name_colours);
  cmdMend_->setEnabled(true);
  // The proposed format; none proposes UTF-16LE with byte order mark.
  int entry = kFormatUtf16LeBom;
  bool bom = true;
  if (nPat >= kFormatGbk && nPat <= kFormatUtf8Bom) {
    entry = nPat;
  } else if (nPat >= kFormatUtf16Le && nPat <= kFormatUtf8) {
    entry = nPat - 3;
    bom = false;
  }
  cboPat_->setCurrentIndex(entry);
  cboPat_Click();
  if (entry >= kFormatUtf16LeBom) chkBom_->setChecked(bom);
  if (sWay.empty()) {
    SetNameBox(kDefaultName);
    txtA_->setSelection(0, static_cast<int>(kDefaultName.size()));
  } else {
    ShowWay();
  }
  txtA_->setFocus();
  return true;
}

void FileBrowser::cboPat_Click() {
  const bool utf = cboPat_->currentIndex() >= kFormatUtf16LeBom;
  chkBom_->setChecked(utf);
  chkBom_->setEnabled(utf);
}

void FileBrowser::chkFilter_Click() {
  listing_.SetTextOnly(chkFilter_->isChecked());
  FillList();
}

void FileBrowser::filA_Click() {
  const int row = SelectedRow();
  if (row < 0) {
    // When opening, the name box shows what OK opens: nothing. When saving it
    // keeps the name typed.
    if (bOpen && !NameBox().empty()) SetNameBox({});
    return;
  }
  const Text& name = listing_.Names()[static_cast<std::size_t>(row)];
  if (NameBox() != name) SetNameBox(name);
}

void FileBrowser::filA_DblClick() {
  if (bOpen) {
    cmdA_Click(0);
    return;
  }
  txtA_->setFocus();
  txtA_->selectAll();
}

void FileBrowser::filA_Enter() {
  if (bOpen) {
    if (SelectedRow() >= 0) cmdA_[0]->setFocus();
    return;
  }
  txtA_->setFocus();
  txtA_->selectAll();
}

void FileBrowser::txtA_Change() {
  // Choosing another file to open starts again from "自动选择".
  if (bOpen) cboPat_->setCurrentIndex(0);
}

void FileBrowser::txtA_Enter() {
  if (!MendName(false)) cmdA_[0]->setFocus();
}

bool FileBrowser::txtPath_Validate() {
  if (txtPath_->text() == path_shown_) return true;
  int error = 0;
  switch (CheckPathBox(ToText(txtPath_->text()), listing_, error)) {
    case PathBoxResult::kMoved:
      FillList();
      ShowNameInNewFolder();
      [[fallthrough]];
    case PathBoxResult::kSame:
      ShowFolder();
      return true;
    case PathBoxResult::kFailed:
      break;
  }
  txtPath_->setFocus();
  if (prompts_.AskYesNo(u"路径有错，是否自动撤消？")) {
    ShowFolder();
    txtPath_->selectAll();
  }
  return false;
}

void FileBrowser::txtPath_Enter() {
  if (txtPath_Validate()) filA_->setFocus();
}

void FileBrowser::cmdDef_Click(int index) {
  filA_->setFocus();
  if (!txtPath_Validate()) return;
  // A button without a target does nothing; the root folder "/" is a target.
  const Text target = FolderTarget(index);
  if (target.empty() || target == listing_.Folder()) return;
  if (const int error = ChangeFolder(target); error != 0) {
    prompts_.ShowMessage(target + u"\r\n\r\n路径错误~ " + FolderErrorText(error, target));
    return;
  }
  ShowFolder();
  ShowNameInNewFolder();
}

void FileBrowser::cmdDelFile_Click() {
  if (!txtPath_Validate()) return;
  const int row = SelectedRow();
  if (row < 0) return;
  const Text path = listing_.Folder() + listing_.Names()[static_cast<std::size_t>(row)];
  const Text question = path + u"\r\n\r\n是否删除？\r\n\r\n(通常，硬盘文件进回收站，U盘文件直接删除)";
  if (prompts_.ShowMessage(question, MessageButtons::YesNoDefaultNo) != MessageAnswer::Yes) return;
  int error = 0;
  if (!RecycleFile(path, 0, &error)) {
    prompts_.ShowMessage(path + u"\r\n\r\n删除 未成~ " + FileErrorText(error, path));
    return;
  }
  (void)listing_.Refresh();
  FillList();
  SetNameBox({});
}

void FileBrowser::cmdA_Click(int index) {
  if (index != 0) {
    sWay.clear();
    done(QDialog::Rejected);
    return;
  }
  if (!txtPath_Validate()) return;
  try {
    Text name;
    if (bOpen) {
      filA_->setFocus();
      const int row = SelectedRow();
      if (row < 0) return;
      // Any name the folder holds opens: the forbidden characters are a rule
      // for names typed for saving, and Linux allows most of them.
      name = listing_.Names()[static_cast<std::size_t>(row)];
    } else {
      txtA_->setFocus();
      if (MendName(false)) return;
      name = NameBox();
    }
    sWay = listing_.Folder() + name;
    nPat = static_cast<std::int16_t>(cboPat_->currentIndex());
    if (nPat >= kFormatUtf16LeBom && nPat <= kFormatUtf8Bom && !chkBom_->isChecked()) nPat += 3;
    done(QDialog::Accepted);
  } catch (...) {
    // The dialog stays open.
  }
}

void FileBrowser::cmdMend_Click() {
  (void)MendName(true);
  txtA_->setFocus();
}

int FileBrowser::SelectedRow() const {
  const QList<QListWidgetItem*> selected = filA_->selectedItems();
  if (selected.size() != 1) return -1;
  const int row = filA_->row(selected[0]);
  return row < static_cast<int>(listing_.Names().size()) ? row : -1;
}

Text FileBrowser::FolderTarget(int index) const {
  if (index == 1) return listing_.Previous();
  if (index < 0 || index > 3) return {};
  return targets_[static_cast<std::size_t>(index)];
}

void FileBrowser::closeEvent(QCloseEvent* event) {
  sWay.clear();
  SettingsStore::Write(QStringLiteral("Paths"), {{QStringLiteral("LastPath"), ToQString(listing_.ReportedFolder())}});
  closed_ = true;
  done(QDialog::Rejected);
  event->accept();
}

void FileBrowser::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    if (auto* button = qobject_cast<QPushButton*>(focusWidget()); button != nullptr && button->isEnabled()) {
      button->click();
    }
    return;
  }
  QDialog::keyPressEvent(event);
}

bool FileBrowser::eventFilter(QObject* watched, QEvent* event) {
  if (IsEnter(event)) {
    if (watched == txtPath_) {
      txtPath_Enter();
      return true;
    }
    if (watched == txtA_) {
      txtA_Enter();
      return true;
    }
    if (watched == filA_) {
      filA_Enter();
      return true;
    }
  }
  if (watched == txtPath_ && event->type() == QEvent::FocusOut) {
    // Leaving the path box with Tab checks it once the focus has moved; a click
    // elsewhere is checked by the control clicked, before it acts on the folder.
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason) {
      QTimer::singleShot(0, this, [this] {
        if (isVisible() && !txtPath_->hasFocus()) (void)txtPath_Validate();
      });
    }
  }
  return QDialog::eventFilter(watched, event);
}

void FileBrowser::reject() { cmdA_Click(1); }

int FileBrowser::ChangeFolder(TextView folder) {
  const int error = listing_.SetFolder(folder);
  if (error == 0) FillList();
  return error;
}

void FileBrowser::FillList() {
  const QSignalBlocker quiet(filA_);
  filA_->clear();
  QStringList items;
  items.reserve(static_cast<qsizetype>(listing_.Names().size()));
  for (const Text& name : listing_.Names()) items.append(ToQString(name));
  filA_->addItems(items);
  filA_->setCurrentRow(-1);
}

void FileBrowser::ShowFolder() {
  txtPath_->setText(ToQString(listing_.Folder()));
  path_shown_ = txtPath_->text();
}

void FileBrowser::ShowWay() {
  const std::size_t slash = sWay.rfind(u'/');
  if (slash == Text::npos || ChangeFolder(TextView(sWay).substr(0, slash + 1)) != 0) {
    SetNameBox({});
    return;
  }
  ShowFolder();
  SetNameBox(TextView(sWay).substr(slash + 1));
  SelectListName();
  txtA_->selectAll();
}

void FileBrowser::ShowNameInNewFolder() {
  if (bOpen) {
    SetNameBox({});
  } else {
    SelectListName();
  }
}

void FileBrowser::SelectListName() {
  const Text name = NameBox();
  const int index = name.empty() ? -1 : listing_.IndexOf(name);
  if (index < 0) {
    filA_->clearSelection();
    filA_->setCurrentRow(-1);
  } else {
    filA_->setCurrentRow(index);
  }
}

bool FileBrowser::MendName(bool make_unique) {
  const MendedName mended = mok::MendName(NameBox(), listing_.Folder(), make_unique, prompts_);
  if (mended.replace) SetNameBox(mended.text);
  if (mended.select_in_list) SelectListName();
  if (mended.replace) {
    if (mended.sel_length > 0) {
      txtA_->setSelection(mended.sel_start, mended.sel_length);
    } else {
      txtA_->setCursorPosition(mended.sel_start);
    }
  }
  return mended.changed;
}

Text FileBrowser::NameBox() const { return ToText(txtA_->text()); }

void FileBrowser::SetNameBox(TextView name) { txtA_->setText(ToQString(name)); }

}  // namespace mok
