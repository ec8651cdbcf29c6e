#pragma once

// Acting on a dialog the way a user does: its showing step, then picks, clicks
// and keys on its own controls, found by name. For scripts given to
// ScriptedPrompts::OnNextDialog and for drivers of a dialog shown for real.

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <functional>

#include <gtest/gtest.h>

#include "codec/text_types.h"
#include "dialogs/input_dialog.h"
#include "dialogs/pair_dialog.h"
#include "dialogs/transfer_dialog.h"
#include "platform/qt_text.h"
#include "platform/user_prompts.h"
#include "widgets/text_box.h"

namespace mok::testing {

template <typename Widget>
Widget* Control(QWidget& dialog, const char* name) {
  auto* widget = dialog.findChild<Widget*>(QString::fromLatin1(name));
  EXPECT_NE(widget, nullptr) << name;
  return widget;
}

inline QComboBox* List(QWidget& dialog, const char* name) { return Control<QComboBox>(dialog, name); }

// Picks the item with this text, as a click in the drop-down list does.
inline void Pick(QWidget& dialog, const char* list_name, TextView item) {
  QComboBox* list = List(dialog, list_name);
  if (list == nullptr) return;
  const int index = list->findText(ToQString(item), Qt::MatchExactly);
  ASSERT_GE(index, 0) << list_name;
  list->setCurrentIndex(index);
}

inline void Click(QWidget& dialog, const char* button_name) {
  if (auto* button = Control<QAbstractButton>(dialog, button_name)) button->click();
}

inline void Type(QWidget& dialog, const char* box_name, const QString& text) {
  if (auto* box = Control<QLineEdit>(dialog, box_name)) box->setText(text);
}

// A script that runs the dialog's own showing step, then acts on it. Without
// the showing step the dialog is treated as not shown (an invalid mode).
template <typename Dialog>
std::function<void(ModalDialog&)> Script(std::function<void(Dialog&)> act) {
  return [act = std::move(act)](ModalDialog& shown) {
    auto* dialog = dynamic_cast<Dialog*>(&shown);
    ASSERT_NE(dialog, nullptr) << "another dialog was shown";
    if (dialog->Form_Activate()) act(*dialog);
  };
}

// frmTL: picks the format (unless empty, as in mode 2) and the character set
// by their texts, then OK.
inline std::function<void(ModalDialog&)> PickTransfer(Text format, Text charset) {
  return Script<TransferDialog>([format, charset](TransferDialog& dialog) {
    if (!format.empty()) Pick(dialog, "cboTrn", format);
    Pick(dialog, "cboCS", charset);
    Click(dialog, "cmdA_0");
  });
}

// frmLid: switches to entry by name, picks A and B, then OK.
inline std::function<void(ModalDialog&)> PickPair(Text a, Text b) {
  return Script<PairDialog>([a, b](PairDialog& dialog) {
    Click(dialog, "optTog_1");
    Pick(dialog, "cboCS_0", a);
    Pick(dialog, "cboCS_1", b);
    Click(dialog, "cmdA_0");
  });
}

// frmLid: switches to entry by number, types A and B, then OK.
inline std::function<void(ModalDialog&)> TypePair(const QString& a, const QString& b) {
  return Script<PairDialog>([a, b](PairDialog& dialog) {
    Click(dialog, "optTog_0");
    Type(dialog, "txtLid_0", a);
    Type(dialog, "txtLid_1", b);
    Click(dialog, "cmdA_0");
  });
}

// A click on one button (cmdA_0 OK, cmdA_1 Cancel) of whatever the dialog
// shows: for OK, the choices left from its last showing.
template <typename Dialog>
std::function<void(ModalDialog&)> Press(const char* button) {
  return Script<Dialog>([button](Dialog& dialog) { Click(dialog, button); });
}
template <typename Dialog>
std::function<void(ModalDialog&)> ConfirmAsLeft() { return Press<Dialog>("cmdA_0"); }
template <typename Dialog>
std::function<void(ModalDialog&)> Cancel() { return Press<Dialog>("cmdA_1"); }

// The input dialog frmInp: the real dialog is shown (its showing step runs),
// the user's actions are played on it, and the script checks that they closed it.
inline std::function<void(ModalDialog&)> OnInput(std::function<void(InputDialog&)> user) {
  return [user = std::move(user)](ModalDialog& dialog) {
    auto* input = dynamic_cast<InputDialog*>(&dialog);
    ASSERT_NE(input, nullptr) << "not the input dialog";
    input->show();
    user(*input);
    EXPECT_FALSE(input->isVisible()) << "the dialog was left open";
    input->hide();
  };
}

// The user types over the proposed text (it is all selected; typing nothing
// leaves it) and presses OK. A title, if given, is checked first: it tells the
// mode the command asked for.
inline std::function<void(ModalDialog&)> TypeAndConfirm(const QString& typed, const QString& title = QString()) {
  return OnInput([typed, title](InputDialog& input) {
    if (!title.isEmpty()) EXPECT_EQ(input.windowTitle(), title);
    QTest::keyClicks(&input.Box(), typed);
    input.cmdA_Click(0);
  });
}

// The user deletes the proposed text and presses OK.
inline std::function<void(ModalDialog&)> ClearAndConfirm() {
  return OnInput([](InputDialog& input) {
    QTest::keyClick(&input.Box(), Qt::Key_Delete);
    input.cmdA_Click(0);
  });
}

// Shows the dialog for real (its RunModal) with a driver queued to act on the
// modal dialog once it is up; fails if no dialog came up.
template <typename Dialog>
void RunForReal(Dialog& dialog, std::function<void(Dialog&)> act) {
  bool acted = false;
  QTimer driver;  // goes with this scope, so it never fires into a later test
  driver.setSingleShot(true);
  QObject::connect(&driver, &QTimer::timeout, [&] {
    auto* up = qobject_cast<Dialog*>(QApplication::activeModalWidget());
    if (up == nullptr) {
      ADD_FAILURE() << "no modal dialog came up";
      return;
    }
    acted = true;
    EXPECT_TRUE(QTest::qWaitForWindowActive(up));  // so the focus lands as it does for the user
    act(*up);
    if (up->isVisible()) up->reject();  // never leave the test waiting
  });
  driver.start(0);
  dialog.RunModal();
  EXPECT_TRUE(acted);
}

}  // namespace mok::testing
