#include "commands/half_char_commands.h"

#include "codec/half_char_shift.h"
#include "codec/iso2022.h"
#include "commands/command_host.h"
#include "commands/decoding_frame.h"
#include "dialogs/transfer_dialog.h"
#include "widgets/text_box.h"

namespace mok {
namespace {

constexpr std::int16_t kCodePageOnly = 2;  // frmTL asks for a code page alone

void NotChanged(CommandHost& host) {
  host.Box().SetSelLength(0);
  host.SetSay(kNotChanged);
  host.Prompts().Beep();
}

}  // namespace

void RunCAB(CommandHost& host, int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= kCabTable.size()) return;
  const HalfCharRow& row = kCabTable[static_cast<std::size_t>(index)];
  TextBox& box = host.Box();
  try {
    std::int32_t code = row.code;
    Text status;
    if (row.asks_code_page) {
      TransferDialog& dialog = host.frmTL();
      dialog.nOpr = kCodePageOnly;
      host.Prompts().ShowModal(dialog);
      if (!dialog.bOk) return;  // Cancel changes nothing, not even the selection
      code = dialog.lLid;
      status = dialog.sSay;
    } else {
      status = CommandName(row.caption);
    }

    // Whatever was selected, the stretch runs from the caret to the end.
    const std::int32_t n = box.TextLength();
    box.SetSelLength(n);
    const std::int32_t caret = box.SelStart();
    // The code units as held: a lone CR or LF goes through the shift as it is.
    Text stretch = box.SelUnits();
    ShiftHalfChar(stretch, code, row.asks_code_page);
    if (stretch.empty()) {
      NotChanged(host);
      return;
    }

    // A repaired stretch can be longer than the garbled one (bytes that form no
    // character come back one code unit each). The box would cut what does not
    // fit under its limit, so such a result is refused as a whole instead.
    const std::size_t limit = TextBox::kTextLimit;
    const std::size_t before = box.TextIndexOf(caret);
    const std::size_t room = before < limit ? limit - before : 0;
    const std::size_t stored = stretch.size();
    if (stored > room) {
      box.SetSelLength(0);
      Text message = status;
      message += kTooLong;
      host.Prompts().ShowMessage(message);
      return;
    }
    // The space ends the repaired stretch while the text is below the limit.
    if (n < TextBox::kTextLimit && stored < room) stretch += u' ';

    box.SetSelUnits(stretch);
    box.SetSelStart(caret);
    host.RecordState(status);
  } catch (...) {
    NotChanged(host);
  }
}

void Run2022(CommandHost& host, int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= k2022Captions.size()) return;
  Text copy = host.Box().GetText();
  DecodeIso2022(copy, static_cast<std::int16_t>(index));
  FinishDecoding(host, std::move(copy), CommandName(k2022Captions[static_cast<std::size_t>(index)]),
                 WriteBack::WholeText, /*check_length=*/false);
}

}  // namespace mok
