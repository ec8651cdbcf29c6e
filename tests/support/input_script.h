#pragma once

// Scripts for the input dialog frmInp shown through ScriptedPrompts: the real
// dialog is shown (its showing step runs), the user's actions are played on it,
// and the script checks that they closed it.

#include <QTest>

#include <functional>

#include <gtest/gtest.h>

#include "app/text_box.h"
#include "dialogs/input_dialog.h"
#include "platform/user_prompts.h"

namespace mok::testing {

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
// leaves it) and presses OK.
inline std::function<void(ModalDialog&)> TypeAndConfirm(const QString& typed) {
  return OnInput([typed](InputDialog& input) {
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

}  // namespace mok::testing
