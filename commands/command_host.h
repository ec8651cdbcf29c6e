#pragma once

// What a command of the main window may use: the text box, the status label,
// the history commit and the user-interface seam. The main window implements it.

#include <cstdint>

#include "codec/text_types.h"
#include "platform/user_prompts.h"

namespace mok {

class InputDialog;
class TextBox;
class TextHistory;

// The file the text belongs to: its full path (sFile, empty when the text came
// from no file) and the file format number used for it (nFilePat, 0 for none).
struct FileState {
  Text sFile;
  std::int16_t nFilePat = 0;
};

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
  // The text history, for the saved slot (nSaved).
  virtual TextHistory& History() = 0;
  // True when the text is unsaved and the user refused to discard it.
  virtual bool AskDiscard() = 0;
  // Makes the text box's text the new original state with this status text.
  virtual void SetOriginal(TextView status) = 0;
  // The window caption: the name of the text followed by "  ~" and the product name.
  virtual void SetCaption(TextView name) = 0;
  virtual FileState& File() = 0;
  virtual class PairDialog& frmLid() = 0;      // the dialog that asks for two character sets
  virtual class TransferDialog& frmTL() = 0;  // the dialog that asks for a format and a character set
  virtual class FileBrowser& frmB() = 0;  // the one file browser dialog, built again after its close box
  virtual class SuggestDialog& frmSuggest() = 0;  // the repair suggestions dialog, created on first use
  virtual InputDialog& frmInp() = 0;  // the one input dialog, created on first use, hidden between uses
};

}  // namespace mok
