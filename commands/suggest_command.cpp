#include "commands/suggest_command.h"

#include <algorithm>

#include "commands/command_host.h"
#include "commands/decoding_frame.h"
#include "dialogs/suggest_dialog.h"
#include "repair/explain.h"
#include "repair/suggest.h"
#include "widgets/text_box.h"

namespace mok {

void RunSuggest(CommandHost& host) {
  // A selection of exactly one character counts as no selection.
  const bool selection = host.Box().SelLength() > 1;
  const Text input = selection ? host.Box().SelText() : host.Box().GetText();
  std::vector<RepairSuggestion> suggestions = SuggestRepairs(input);
  const bool any_repair = std::any_of(suggestions.begin(), suggestions.end(),
                                      [](const RepairSuggestion& s) { return s.ChangesText(); });
  // Nothing to repair, or clearly best left as it is: "未经改动" and a beep.
  const bool clean = !suggestions.empty() && !suggestions.front().ChangesText() &&
                     suggestions.front().confidence == Confidence::Clear;
  if (!any_repair || clean) {
    FinishDecoding(host, Text(), Text(), WriteBack::WholeText, false);
    return;
  }

  SuggestDialog& dialog = host.frmSuggest();
  dialog.SetSuggestions(suggestions, input);
  host.Prompts().ShowModal(dialog);
  if (!dialog.bOk() || dialog.nChosen() < 0 || dialog.nChosen() >= static_cast<int>(suggestions.size())) return;

  RepairSuggestion& chosen = suggestions[static_cast<std::size_t>(dialog.nChosen())];
  const Text status = SuggestionStatusText(chosen);
  if (selection) {
    // The box would silently leave out what does not fit, so the whole text is
    // checked before the selection is replaced.
    if (host.Box().LengthWithSelectionReplaced(chosen.text) > static_cast<std::size_t>(TextBox::kTextLimit)) {
      host.Prompts().ShowMessage(status + Text(kTooLong));
      return;
    }
    FinishDecoding(host, std::move(chosen.text), status, WriteBack::Selection, false);
  } else {
    FinishDecoding(host, std::move(chosen.text), status, WriteBack::WholeText, true);
  }
}

}  // namespace mok
