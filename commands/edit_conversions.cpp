#include "commands/edit_conversions.h"

#include "codec/text_functions.h"
#include "codec/width_mapping.h"
#include "commands/clipboard_commands.h"
#include "commands/command_host.h"
#include "commands/decoding_frame.h"
#include "dialogs/input_dialog.h"
#include "widgets/text_box.h"

namespace mok {
namespace {

bool Fits(const TextBox& box, TextView s) { return ResultLength(box, s) <= TextBox::kTextLimit; }

}  // namespace

void mnuCase_Click(CommandHost& host, int index) {
  if (index < 0 || index >= static_cast<int>(kCaseCaptions.size())) return;
  const Text status = TextBefore(kCaseCaptions[static_cast<std::size_t>(index)], u" (");
  TextBox& box = host.Box();
  try {
    // The selected code units as held, so that a lone CR or LF stays as it is.
    Text s = box.SelUnits();
    const std::size_t selected = s.size();
    ReplaceNulBySpace(s);
    s = ConvertCaseItem(s, index);
    if (s.empty()) {
      host.SetSay(kNotChanged);
      host.Prompts().Beep();
      return;
    }
    // Half width splits a katakana with a sound mark in two: the text may grow.
    if (box.GetText().size() - selected + s.size() > static_cast<std::size_t>(TextBox::kTextLimit)) {
      host.Prompts().ShowMessage(status + Text(kTooLong));
      return;
    }
    box.SetSelUnits(s, /*select_inserted=*/true);
    host.RecordState(status);
  } catch (...) {
    host.SetSay(kNotChanged);
    host.Prompts().Beep();
  }
}

void mnuIns_Click(CommandHost& host, int index) {
  if (index < 0 || index >= static_cast<int>(kInsCaptions.size())) return;
  TextBox& box = host.Box();
  try {
    Text s;
    switch (index) {
      case 0:
        if (box.SelLength() < 1) return;
        break;
      case 1: {
        InputDialog& inp = host.frmInp();
        inp.nOpr = 0;
        inp.sInp.clear();
        host.Prompts().ShowModal(inp);
        if (!inp.bOk || inp.sInp.empty()) return;
        s = inp.sInp;
        if (!Fits(box, s)) {
          host.Prompts().ShowMessage(u"改动 未成~ 文本过长");
          return;
        }
        break;
      }
      case 2:
        s = u" ";
        break;
      case 3:
        s = u"\t";
        break;
      default:
        s = u"\r\n";
        break;
    }
    // A space, a tab or a line break that would take the text past the limit
    // is refused; in place of a selection at least as long it always fits.
    if (index >= 2 && !Fits(box, s)) {
      host.Prompts().Beep();
      return;
    }
    box.SetSelUnits(s);
    host.RecordState(TextBefore(kInsCaptions[static_cast<std::size_t>(index)], u" ["));
  } catch (...) {
  }
}

}  // namespace mok
