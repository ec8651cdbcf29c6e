#pragma once

// The main window frmA: the locked text box, the status label, the history and
// find buttons and the menu bar. It wires the widgets to the commands and the
// history; the commands themselves live in commands/.

#include <QMainWindow>

#include <array>
#include <functional>
#include <memory>

#include "commands/command_host.h"
#include "commands/find_replace.h"
#include "widgets/text_history.h"
#include "widgets/twips.h"

class QAction;
class QDropEvent;
class QMenu;
class QPushButton;

namespace mok {

class FileBrowser;
class MenuBuilder;
class StatusLabel;
class SuggestDialog;
class TextBox;

class MainWindow : public QMainWindow, public CommandHost {
  Q_OBJECT

 public:
  // prompts: where message boxes, questions, beeps and dialogs go; the window's
  // own Qt implementation when null (tests pass a scripted one).
  explicit MainWindow(UserPrompts* prompts = nullptr, QWidget* parent = nullptr);
  ~MainWindow() override;

  // CommandHost
  TextBox& Box() override { return *txtA_; }
  UserPrompts& Prompts() override { return *prompts_; }
  void RecordState(Text status) override;
  void ReplaceSelection(TextView replacement) override;
  void SetSay(TextView say) override;
  TextHistory& History() override { return history_; }
  // True when the user refused to discard unsaved text.
  bool AskDiscard() override;
  void SetOriginal(TextView status) override;
  void SetCaption(TextView name) override;
  FileState& File() override { return file_; }
  PairDialog& frmLid() override;
  TransferDialog& frmTL() override;
  FileBrowser& frmB() override;
  SuggestDialog& frmSuggest() override;
  InputDialog& frmInp() override;

  // The history buttons (0 back to original, 1 undo, 2 redo, 3 newest).
  void cmdUd_Click(int index);

  [[nodiscard]] const TextHistory& History() const { return history_; }
  [[nodiscard]] QString Say() const;
  [[nodiscard]] QPushButton* HistoryButton(int index) const { return cmdUd_[static_cast<std::size_t>(index)]; }
  [[nodiscard]] QPushButton* SeekButton(int index) const { return cmdSeek_[static_cast<std::size_t>(index)]; }
  // "  ~" and the product name: every later caption ends with it.
  [[nodiscard]] const QString& TitleSuffix() const { return sTitle_; }

  void ReadPicks();
  void SavePicks();

  // How "新窗口" starts the program's own executable; tests replace it.
  using ProcessStarter = std::function<bool(const QString& program)>;
  void SetProcessStarter(ProcessStarter starter) { start_process_ = std::move(starter); }

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void BuildWindow();
  void BuildMenus();
  void ShowHistoryButtons();
  void OnKeyReleased(int key, Qt::KeyboardModifiers modifiers);
  void OnMouseReleased(Qt::MouseButton button, QPoint global_position);
  void ResizeTextBox(QSize inner);
  // A drag over the window or the text box, or its drop: a file opens, text pastes.
  void OnDrag(QDropEvent& event);
  void mnuLooks_Click();
  void mnuNewWin_Click();
  void mnuAbout_Click();
  void AddSuggestItem(MenuBuilder& build);

  std::unique_ptr<UserPrompts> own_prompts_;
  UserPrompts* prompts_;
  TextHistory history_;
  FileState file_;
  std::unique_ptr<FileBrowser> frmB_;
  FindReplace find_;
  InputDialog* frmInp_ = nullptr;
  QString sTitle_;
  ProcessStarter start_process_;

  TextBox* txtA_ = nullptr;
  StatusLabel* lblSay_ = nullptr;
  std::array<QPushButton*, 4> cmdUd_{};
  std::array<QPushButton*, 2> cmdSeek_{};
  QWidget* client_ = nullptr;
  QMenu* mnuLooks_ = nullptr;
  QAction* mnuHScr_ = nullptr;
  QAction* mnuFont0_ = nullptr;
  QAction* mnuSize0_ = nullptr;
  SuggestDialog* frmSuggest_ = nullptr;
  // The parameter dialogs, made on first use and then only shown and hidden.
  PairDialog* frmLid_ = nullptr;
  TransferDialog* frmTL_ = nullptr;
};

}  // namespace mok
