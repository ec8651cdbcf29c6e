#include "commands/decoding_frame.h"

#include "codec/text_functions.h"
#include "commands/command_host.h"
#include "widgets/text_box.h"

namespace mok {

void FinishDecoding(CommandHost& host, Text result, TextView status, WriteBack target, bool check_length) {
  if (result.empty()) {
    host.SetSay(kNotChanged);
    host.Prompts().Beep();
    return;
  }
  if (check_length && result.size() > static_cast<std::size_t>(TextBox::kTextLimit)) {
    Text message(status);
    message += kTooLong;
    host.Prompts().ShowMessage(message);
    return;
  }
  if (target == WriteBack::Selection) {
    host.ReplaceSelection(result);
  } else {
    host.Box().SetText(result);
  }
  host.RecordState(Text(status));
}

Text CommandName(TextView caption) { return TextBefore(caption, kCaptionSeparator); }

}  // namespace mok
