#pragma once

// What a command of the main window may use: the text box, the status label,
// the history commit and the user-interface seam. The main window implements it.

#include "codec/text_types.h"
#include "platform/user_prompts.h"

namespace mok {

class TextBox;

class CommandHost {
 public:
  virtual ~CommandHost() = default;

  virtual TextBox& Box() = 0;
  virtual UserPrompts& Prompts() = 0;
  // Commits the text box's text with this status text, or shows the position
  // line when the status text is empty.
  virtual void RecordState(Text status) = 0;
  // Replaces the selection and selects exactly what was inserted.
  virtual void ReplaceSelection(TextView replacement) = 0;
  // Writes the status label directly ("未经改动").
  virtual void SetSay(TextView say) = 0;
};

}  // namespace mok
