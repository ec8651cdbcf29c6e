#include "commands/asked_conversions.h"

#include "codec/base64.h"
#include "codec/conversion_core.h"
#include "codec/qp_url.h"
#include "commands/command_host.h"
#include "commands/decoding_frame.h"
#include "dialogs/pair_dialog.h"
#include "dialogs/transfer_dialog.h"
#include "widgets/text_box.h"

namespace mok {
namespace {

constexpr int kFirstBase64Position = 2;

}  // namespace

std::int16_t TransferMode(int item, int n_trn) {
  const int variant = n_trn < kFirstBase64Position ? 1 - n_trn : n_trn - kFirstBase64Position;
  return static_cast<std::int16_t>(128 * item + variant);
}

void RunAskA2B(CommandHost& host, int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= kAskA2BCaptions.size()) return;
  if (kAskA2BCaptions[static_cast<std::size_t>(index)] == kSeparatorCaption) return;
  try {
    Text copy = host.Box().GetText();
    Text status;
    if (index <= 1) {
      TransferDialog& dialog = host.frmTL();
      dialog.nOpr = static_cast<std::int16_t>(index);
      host.Prompts().ShowModal(dialog);
      if (!dialog.bOk) return;
      status = dialog.sSay;
      const std::int16_t mode = TransferMode(index, dialog.nTrn);
      if (dialog.nTrn < kFirstBase64Position) {
        DecodeQpUrl(copy, dialog.lLid, mode);
      } else {
        DecodeBase64Text(copy, dialog.lLid, mode);
      }
    } else {
      PairDialog& dialog = host.frmLid();
      dialog.nOpr = static_cast<std::int16_t>(index - 3);
      host.Prompts().ShowModal(dialog);
      if (!dialog.bOk) return;
      status = dialog.sSay;
      if (index == 3) {
        ReinterpretByLid(copy, dialog.lLidA, dialog.lLidB);
      } else {
        ReinterpretByCp(copy, dialog.lLidA, dialog.lLidB);
      }
    }
    FinishDecoding(host, std::move(copy), status, WriteBack::WholeText, /*check_length=*/true);
  } catch (...) {
    host.SetSay(kNotChanged);
    host.Prompts().Beep();
  }
}

}  // namespace mok
