#include "commands/a2b_commands.h"

#include "codec/conversion_core.h"
#include "commands/command_host.h"
#include "commands/decoding_frame.h"
#include "widgets/text_box.h"

namespace mok {

void RunA2B(CommandHost& host, int index) {
  if (index < 0 || index >= kA2BCount) return;
  const A2BRow& row = kA2BTable[static_cast<std::size_t>(index)];
  if (row.caption == u"-") return;  // separators cannot be chosen
  Text copy = host.Box().GetText();
  ReinterpretByLid(copy, row.code_a, row.code_b);
  FinishDecoding(host, std::move(copy), CommandName(row.caption), WriteBack::WholeText, /*check_length=*/true);
}

}  // namespace mok
