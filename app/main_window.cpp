#include "app/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDropEvent>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QResizeEvent>

#include <cmath>

#include "app/edit_menu.h"
#include "app/garbled_text_menus.h"
#include "app/window_drops.h"
#include "commands/a2b_commands.h"
#include "commands/asked_conversions.h"
#include "commands/clipboard_commands.h"
#include "commands/edit_conversions.h"
#include "commands/half_char_commands.h"
#include "commands/suggest_command.h"
#include "commands/transfer_decoders.h"
#include "dialogs/input_dialog.h"
#include "dialogs/pair_dialog.h"
#include "dialogs/suggest_dialog.h"
#include "dialogs/transfer_dialog.h"
#include "files/file_browser.h"
#include "files/file_menu.h"
#include "platform/qt_text.h"
#include "platform/qt_user_prompts.h"
#include "platform/settings_store.h"
#include "widgets/menu_builder.h"
#include "widgets/status_label.h"
#include "widgets/text_box.h"

namespace mok {
namespace {

constexpr std::u16string_view kAskDiscard = u"当前文本尚未保存。是否要清空它？";
const QString kSong = QStringLiteral("宋体");

struct Twips {
  int left, top, width, height;
};

QRect ToPixels(Twips t) {
  return QRect(TwipsToPixels(t.left), TwipsToPixels(t.top), TwipsToPixels(t.width), TwipsToPixels(t.height));
}

}  // namespace

MainWindow::MainWindow(UserPrompts* prompts, QWidget* parent) : QMainWindow(parent) {
  if (prompts == nullptr) {
    own_prompts_ = std::make_unique<QtUserPrompts>(this);
    prompts = own_prompts_.get();
  }
  prompts_ = prompts;
  start_process_ = [](const QString& program) { return QProcess::startDetached(program, {}); };
  setObjectName(QStringLiteral("frmA"));

  // Start-up: caption, text box, its limit, the view settings, the menus, the
  // history counters (set by TextHistory) and the disabled history buttons.
  const QString product = QCoreApplication::applicationName();
  setWindowTitle(product);
  sTitle_ = QStringLiteral("  ~") + product;
  BuildWindow();
  txtA_->SetMaxLength(TextBox::kTextLimit);
  ReadPicks();
  BuildMenus();
  // The design's client area, 11430 x 7785 twips, below the menu bar as built.
  resize(TwipsToPixels(11430), TwipsToPixels(7785) + menuBar()->sizeHint().height());
  ShowHistoryButtons();
  txtA_->setFocus();
  // Files and text dropped anywhere on the window; over the text box the
  // window takes them before the box's own editing could.
  setAcceptDrops(true);
  txtA_->installEventFilter(this);
  txtA_->viewport()->installEventFilter(this);
}

MainWindow::~MainWindow() = default;

void MainWindow::BuildWindow() {
  QFont window_font(kSong);
  window_font.setPointSizeF(10.5);
  setFont(window_font);

  client_ = new QWidget(this);
  client_->setObjectName(QStringLiteral("frmAClient"));
  setCentralWidget(client_);
  client_->installEventFilter(this);

  lblSay_ = new StatusLabel(client_);
  lblSay_->setObjectName(QStringLiteral("lblSay"));
  QFont label_font(kSong);
  label_font.setPointSizeF(12);
  lblSay_->setFont(label_font);
  lblSay_->setGeometry(ToPixels({220, 105, 4425, 540}));

  const Twips ud_places[4] = {{4725, 150, 1050, 360}, {5820, 150, 960, 360}, {6825, 150, 960, 360}, {7830, 150, 1050, 360}};
  const QString ud_captions[4] = {QStringLiteral("退到原始"), QStringLiteral("撤消 F5"), QStringLiteral("重做 F6"),
                                  QStringLiteral("进到最新")};
  for (int i = 0; i < 4; ++i) {
    auto* button = new QPushButton(ud_captions[i], client_);
    button->setObjectName(QStringLiteral("cmdUd_%1").arg(i));
    button->setGeometry(ToPixels(ud_places[i]));
    button->setFocusPolicy(Qt::NoFocus);  // Tab never leaves the text box for them
    connect(button, &QPushButton::clicked, this, [this, i] { cmdUd_Click(i); });
    cmdUd_[static_cast<std::size_t>(i)] = button;
  }
  const Twips seek_places[2] = {{9270, 150, 960, 360}, {10275, 150, 960, 360}};
  const QString seek_captions[2] = {QStringLiteral("逆找 F1"), QStringLiteral("顺找 F2")};
  for (int i = 0; i < 2; ++i) {
    auto* button = new QPushButton(seek_captions[i], client_);
    button->setObjectName(QStringLiteral("cmdSeek_%1").arg(i));
    button->setGeometry(ToPixels(seek_places[i]));
    button->setFocusPolicy(Qt::NoFocus);
    connect(button, &QPushButton::clicked, this, [this, i] { find_.cmdSeek_Click(*this, i); });
    cmdSeek_[static_cast<std::size_t>(i)] = button;
  }

  txtA_ = new TextBox(client_);
  txtA_->setObjectName(QStringLiteral("txtA"));
  QFont text_font(kSong);
  text_font.setPointSizeF(12);
  txtA_->setFont(text_font);
  txtA_->setGeometry(ToPixels({100, 650, 11200, 7000}));
  connect(txtA_, &TextBox::KeyReleased, this, &MainWindow::OnKeyReleased);
  connect(txtA_, &TextBox::MouseReleased, this, &MainWindow::OnMouseReleased);
}

void MainWindow::BuildMenus() {
  MenuBuilder build(*menuBar(), this);

  BuildFileMenu(build, *this, [this] { mnuNewWin_Click(); });

  BuildEditMenu(build, *this, find_);

  QMenu* first = build.TopMenu(QStringLiteral("mnuJiedusA"), QStringLiteral(" 解读乱码 (&1)"));
  for (int i = 0; i < static_cast<int>(kNumUCaptions.size()); ++i) {
    build.Item(first, QStringLiteral("mnuNumU_%1").arg(i), ToQString(kNumUCaptions[i]), [this, i] { RunNumU(*this, i); });
  }
  build.Separator(first, QStringLiteral("mnuBarA1"));
  for (int i = 0; i < static_cast<int>(kReadQpTable.size()); ++i) {
    build.Item(first, QStringLiteral("mnuReadQp_%1").arg(i), ToQString(kReadQpTable[i].caption),
               [this, i] { RunReadQp(*this, i); });
  }
  build.Separator(first, QStringLiteral("mnuBarA3"));
  for (int i = 0; i < static_cast<int>(kBase64Table.size()); ++i) {
    build.Item(first, QStringLiteral("mnuBase64_%1").arg(i), ToQString(kBase64Table[i].caption),
               [this, i] { RunBase64(*this, i); });
  }
  build.Separator(first, QStringLiteral("mnuBarA4"));
  for (int i = 0; i < static_cast<int>(kJieACaptions.size()); ++i) {
    build.Item(first, QStringLiteral("mnuJieA_%1").arg(i), ToQString(kJieACaptions[i]), [this, i] { RunJieA(*this, i); });
  }

  QMenu* second = build.TopMenu(QStringLiteral("mnuJiedusB"), QStringLiteral(" 解读乱码 (&2)"));
  for (int i = 0; i < kA2BCount; ++i) {
    const A2BRow& row = kA2BTable[static_cast<std::size_t>(i)];
    QAction* item = build.Item(second, QStringLiteral("mnuA2B_%1").arg(i), ToQString(row.caption),
                               [this, i] { RunA2B(*this, i); });
    if (row.checked) build.CheckPermanently(item);
  }

  QMenu* third = build.TopMenu(QStringLiteral("mnuJiedusC"), QStringLiteral(" 解读乱码 (&3)"));
  BuildDecodingMenuC(build, third, *this);
  AddSuggestItem(build);

  mnuLooks_ = build.TopMenu(QStringLiteral("mnuLooks"), QStringLiteral(" 查看 (&L)"));
  connect(mnuLooks_, &QMenu::aboutToShow, this, &MainWindow::mnuLooks_Click);
  mnuHScr_ = build.Item(mnuLooks_, QStringLiteral("mnuHScr"), QStringLiteral("自动换行"),
                        [this] { txtA_->SetWordWrap(!txtA_->WordWrap()); });
  mnuHScr_->setCheckable(true);
  build.Separator(mnuLooks_, QStringLiteral("mnuBarL1"));
  QMenu* fonts = build.SubMenu(mnuLooks_, QStringLiteral("mnuFonts"), QStringLiteral("字体名称"));
  mnuFont0_ = build.Item(fonts, QStringLiteral("mnuFont0"), QString(), [] {});
  build.Separator(fonts, QStringLiteral("mnuBarL21"));
  const QString font_names[9] = {QStringLiteral("Courier New"), QStringLiteral("Lucida Console"), QStringLiteral("Tahoma"),
                                 QStringLiteral("Times New Roman"), QStringLiteral("宋体"), QStringLiteral("黑体"),
                                 QStringLiteral("华文中宋"), QStringLiteral("MingLiU"), QStringLiteral("PMingLiU")};
  for (int i = 0; i < 9; ++i) {
    const QString name = font_names[i];
    build.Item(fonts, QStringLiteral("mnuFont_%1").arg(i), name, [this, name] { txtA_->SetFontName(name); });
  }
  QMenu* sizes = build.SubMenu(mnuLooks_, QStringLiteral("mnuSizes"), QStringLiteral("字体尺寸"));
  mnuSize0_ = build.Item(sizes, QStringLiteral("mnuSize0"), QString(), [] {});
  build.Separator(sizes, QStringLiteral("mnuBarL22"));
  for (int i = 0; i < 9; ++i) {
    const int size = 2 * i + 10;
    build.Item(sizes, QStringLiteral("mnuSize_%1").arg(i), QString::number(size), [this, size] { txtA_->SetFontSize(size); });
  }
  build.Separator(mnuLooks_, QStringLiteral("mnuBarL3"));
  build.Item(mnuLooks_, QStringLiteral("mnuAbout"), QStringLiteral("关于 本软件 …"), [this] { mnuAbout_Click(); });
}

// The last item of the third decoding menu, after a separator of its own.
void MainWindow::AddSuggestItem(MenuBuilder& build) {
  QMenu* third = menuBar()->findChild<QMenu*>(QStringLiteral("mnuJiedusC"));
  build.Separator(third, QStringLiteral("mnuBarC3"));
  build.Item(third, QStringLiteral("mnuSuggest"), ToQString(kSuggestCaption), [this] { RunSuggest(*this); });
}

SuggestDialog& MainWindow::frmSuggest() {
  if (frmSuggest_ == nullptr) frmSuggest_ = new SuggestDialog(this);
  return *frmSuggest_;
}

void MainWindow::mnuLooks_Click() {
  mnuHScr_->setChecked(txtA_->WordWrap());
  mnuFont0_->setText(txtA_->FontName());
  mnuSize0_->setText(QString::number(txtA_->FontSize(), 'g', 10));
}

void MainWindow::mnuNewWin_Click() {
  // The program's own executable, by its full path (a Linux program has no
  // extension to drop, and its name may hold dots), started without arguments
  // as an independent process; it reads the view settings saved just before.
  SavePicks();
  start_process_(QCoreApplication::applicationFilePath());  // a failure to start shows nothing
}

void MainWindow::mnuAbout_Click() {
  const QString text = QStringLiteral("产品名：%1   版本号：%2.%3\r\n\r\n作者：%4  %5")
                           .arg(QCoreApplication::applicationName())
                           .arg(PROJECT_VERSION_MAJOR)
                           .arg(PROJECT_VERSION_MINOR)
                           .arg(QCoreApplication::organizationName(), QStringLiteral("mokrin@example.org"));
  prompts_->ShowMessage(text.toStdU16String());
}

void MainWindow::RecordState(Text status) {
  const std::int32_t sel_start = txtA_->SelStart();
  const std::int32_t sel_length = txtA_->SelLength();
  try {
    if (!status.empty()) {
      if (history_.Commit(txtA_->GetText(), status)) ShowHistoryButtons();
    } else {
      const Text selected = sel_length > 0 ? txtA_->SelText() : Text();
      status = TextHistory::PositionLine(sel_start, sel_length, selected.empty() ? u'\0' : selected.front());
    }
    history_.RememberSelection(sel_start, sel_length);
    lblSay_->setText(ToQString(status));
  } catch (...) {
    // A failure after the selection was read ends the commit silently.
  }
}

void MainWindow::SetOriginal(TextView status) {
  history_.SetOriginal(txtA_->GetText(), status, txtA_->SelStart(), txtA_->SelLength());
  ShowHistoryButtons();
  lblSay_->setText(ToQString(status));
}

void MainWindow::ReplaceSelection(TextView replacement) { txtA_->SetSelText(replacement, /*select_inserted=*/true); }

InputDialog& MainWindow::frmInp() {
  if (frmInp_ == nullptr) frmInp_ = new InputDialog(*prompts_, this);
  return *frmInp_;
}

void MainWindow::SetSay(TextView say) { lblSay_->setText(ToQString(say)); }

void MainWindow::SetCaption(TextView name) { setWindowTitle(ToQString(name) + sTitle_); }

FileBrowser& MainWindow::frmB() {
  if (!frmB_ || frmB_->Closed()) frmB_ = std::make_unique<FileBrowser>(*prompts_);
  return *frmB_;
}

QString MainWindow::Say() const { return lblSay_->text(); }

void MainWindow::ShowHistoryButtons() {
  cmdUd_[0]->setEnabled(history_.CanGoBack());
  cmdUd_[1]->setEnabled(history_.CanGoBack());
  cmdUd_[2]->setEnabled(history_.CanGoForward());
  cmdUd_[3]->setEnabled(history_.CanGoForward());
}

void MainWindow::cmdUd_Click(int index) {
  txtA_->setFocus();
  if (!history_.Step(index)) return;
  const HistoryState& state = history_.Current();
  txtA_->SetText(state.text);
  txtA_->SetSelStart(state.sel_start);
  txtA_->SetSelLength(state.sel_length);
  lblSay_->setText(ToQString(state.say));
  ShowHistoryButtons();
}

PairDialog& MainWindow::frmLid() {
  if (frmLid_ == nullptr) frmLid_ = new PairDialog(*prompts_, this);
  return *frmLid_;
}

TransferDialog& MainWindow::frmTL() {
  if (frmTL_ == nullptr) frmTL_ = new TransferDialog(*prompts_, this);
  return *frmTL_;
}

bool MainWindow::AskDiscard() {
  if (history_.IsSaved()) return false;
  return !prompts_->AskYesNo(kAskDiscard);
}

// modifiers: those held when the key went down (TextBox::KeyReleased), so a
// Ctrl let go a moment before the key still makes it Ctrl+.
void MainWindow::OnKeyReleased(int key, Qt::KeyboardModifiers modifiers) {
  const bool ctrl = (modifiers & ~Qt::KeypadModifier) == Qt::ControlModifier;
  switch (key) {
    case Qt::Key_Escape:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_End:
    case Qt::Key_Home:
    case Qt::Key_Left:
    case Qt::Key_Up:
    case Qt::Key_Right:
    case Qt::Key_Down:
      RecordState(Text());
      break;
    case Qt::Key_Insert:
      mnuIns_Click(*this, 1);
      break;
    case Qt::Key_Delete:
      mnuIns_Click(*this, ctrl ? 2 : 0);
      break;
    case Qt::Key_P:
      if (ctrl) mnuPasteOrig_Click(*this);
      break;
    case Qt::Key_V:
      if (ctrl) mnuPaste_Click(*this);
      break;
    case Qt::Key_F1:
    case Qt::Key_F2: {
      // Backward (F1) or forward (F2): a find, or with Ctrl the caret to the start or the end.
      const int forward = key == Qt::Key_F2 ? 1 : 0;
      if (ctrl) {
        txtA_->SetSelStart(forward == 1 ? TextBox::kTextLimit : 0);
      } else {
        find_.cmdSeek_Click(*this, forward);
      }
      break;
    }
    case Qt::Key_F3:
      find_.mnuSeekNew_Click(*this);
      break;
    case Qt::Key_F4:
      find_.mnuReplace_Click(*this);
      break;
    case Qt::Key_F5:
      cmdUd_Click(ctrl ? 0 : 1);
      break;
    case Qt::Key_F6:
      cmdUd_Click(ctrl ? 3 : 2);
      break;
    case Qt::Key_F7:
      RunCAB(*this, 3);
      break;
    case Qt::Key_F8:
      RunAskA2B(*this, ctrl ? 1 : 0);
      break;
    case Qt::Key_F9:
      RunAskA2B(*this, ctrl ? 4 : 3);
      break;
    case Qt::Key_F11:
      mnuIns_Click(*this, 3);
      break;
    case Qt::Key_F12:
      mnuIns_Click(*this, 4);
      break;
    default:
      break;
  }
}

void MainWindow::OnMouseReleased(Qt::MouseButton button, QPoint global_position) {
  if (button == Qt::LeftButton) {
    RecordState(Text());
  } else if (button == Qt::RightButton) {
    QMenu* edits = menuBar()->findChild<QMenu*>(QStringLiteral("mnuEdits"));
    if (edits != nullptr && !edits->actions().isEmpty()) edits->popup(global_position);
  }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == client_ && event->type() == QEvent::Resize) {
    ResizeTextBox(static_cast<QResizeEvent*>(event)->size());
  }
  const QEvent::Type type = event->type();
  if ((type == QEvent::DragEnter || type == QEvent::DragMove || type == QEvent::Drop) &&
      (watched == txtA_ || watched == txtA_->viewport())) {
    OnDrag(*static_cast<QDropEvent*>(event));
    return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) { OnDrag(*event); }
void MainWindow::dragMoveEvent(QDragMoveEvent* event) { OnDrag(*event); }
void MainWindow::dropEvent(QDropEvent* event) { OnDrag(*event); }

void MainWindow::OnDrag(QDropEvent& event) {
  // The box's own selection dragged back onto it is no new text. A drop is
  // always a copy: a move would have the source delete what was dropped.
  const auto* source = qobject_cast<const QWidget*>(event.source());
  const bool own = source != nullptr && (source == txtA_ || txtA_->isAncestorOf(source));
  Dropped dropped;
  if (!own && event.mimeData() != nullptr && (event.possibleActions() & Qt::CopyAction)) {
    dropped = TakeDrop(*event.mimeData());
  }
  if (dropped.kind == Dropped::Kind::kNothing) {
    event.ignore();
    return;
  }
  event.setDropAction(Qt::CopyAction);
  event.accept();
  if (event.type() != QEvent::Drop) return;
  // Run once the drop has been answered, since opening may ask and show messages.
  QMetaObject::invokeMethod(this, [this, dropped = std::move(dropped)] { RunDrop(*this, dropped); },
                            Qt::QueuedConnection);
}

void MainWindow::ResizeTextBox(QSize inner) {
  // In twips of the design: a margin of 100 left, right and bottom, 650 at the
  // top; a window too small for the margins leaves the box as it was.
  const float width = static_cast<float>(inner.width()) * 15.0f - 200.0f;
  const float height = static_cast<float>(inner.height()) * 15.0f - 650.0f - 100.0f;
  QRect box = txtA_->geometry();
  if (width > 0) box.setWidth(static_cast<int>(std::lround(width / 15.0f)));
  if (height > 0) box.setHeight(static_cast<int>(std::lround(height / 15.0f)));
  txtA_->setGeometry(box);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (AskDiscard()) {
    event->ignore();
    return;
  }
  SavePicks();
  event->accept();
}

void MainWindow::ReadPicks() {
  if (const auto wrap = SettingsStore::Read(QStringLiteral("Picks"), QStringLiteral("WordWrap"))) {
    const QString value = wrap->trimmed();
    bool numeric = false;
    const double number = value.toDouble(&numeric);
    if (value.compare(QStringLiteral("True"), Qt::CaseInsensitive) == 0) {
      txtA_->SetWordWrap(true);
    } else if (value.compare(QStringLiteral("False"), Qt::CaseInsensitive) == 0) {
      txtA_->SetWordWrap(false);
    } else if (numeric) {
      txtA_->SetWordWrap(number != 0);
    }
  }
  if (const auto size = SettingsStore::Read(QStringLiteral("Picks"), QStringLiteral("FontSize"))) {
    bool ok = false;
    const double points = size->trimmed().toDouble(&ok);
    if (ok && points > 0 && points < 1000) txtA_->SetFontSize(points);
  }
}

void MainWindow::SavePicks() {
  SettingsStore::Write(QStringLiteral("Picks"),
                       {{QStringLiteral("WordWrap"), txtA_->WordWrap() ? QStringLiteral("True") : QStringLiteral("False")},
                        {QStringLiteral("FontSize"), QString::number(txtA_->FontSize(), 'g', 10)}});
}

}  // namespace mok
