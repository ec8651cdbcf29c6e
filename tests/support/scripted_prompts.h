#pragma once

// UserPrompts for tests: answers come from a script, everything shown is recorded.
// A Yes/No question without a scripted answer, or an answer left unused when the
// object is destroyed, fails the running test.

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/user_prompts.h"

namespace mok::testing {

struct ShownMessage {
  std::u16string text;
  MessageButtons buttons;
  std::u16string title;
};

class ScriptedPrompts : public UserPrompts {
 public:
  ~ScriptedPrompts() override {
    EXPECT_TRUE(answers_.empty()) << answers_.size() << " scripted answer(s) left unused";
    EXPECT_TRUE(dialog_scripts_.empty()) << dialog_scripts_.size() << " scripted dialog(s) never shown";
  }

  // The answer to the next Yes/No question.
  void AnswerNext(MessageAnswer answer) { answers_.push_back(answer); }
  // What the next modal dialog does while it is "shown": set its results.
  void OnNextDialog(std::function<void(ModalDialog&)> script) { dialog_scripts_.push_back(std::move(script)); }

  MessageAnswer ShowMessage(std::u16string_view text, MessageButtons buttons,
                            std::u16string_view title) override {
    messages.push_back({std::u16string(text), buttons, std::u16string(title)});
    if (buttons == MessageButtons::Ok) return MessageAnswer::Ok;
    if (answers_.empty()) {
      ADD_FAILURE() << "unexpected Yes/No question";
      return MessageAnswer::No;
    }
    MessageAnswer answer = answers_.front();
    answers_.pop_front();
    return answer;
  }

  void Beep() override { ++beeps; }

  // The texts of the messages shown so far, in order.
  [[nodiscard]] std::vector<std::u16string> Texts() const {
    std::vector<std::u16string> texts;
    for (const ShownMessage& message : messages) texts.push_back(message.text);
    return texts;
  }

  void ShowModal(ModalDialog& dialog) override {
    dialogs_shown.push_back(dialog.DialogName());
    if (dialog_scripts_.empty()) {
      ADD_FAILURE() << "unexpected modal dialog";
      return;
    }
    auto script = std::move(dialog_scripts_.front());
    dialog_scripts_.pop_front();
    script(dialog);
  }

  std::vector<ShownMessage> messages;
  std::vector<std::u16string> dialogs_shown;
  int beeps = 0;

 private:
  std::deque<MessageAnswer> answers_;
  std::deque<std::function<void(ModalDialog&)>> dialog_scripts_;
};

}  // namespace mok::testing
