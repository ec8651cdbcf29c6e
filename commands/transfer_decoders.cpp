#include "commands/transfer_decoders.h"

#include "codec/base64.h"
#include "codec/numeric_refs.h"
#include "codec/qp_url.h"
#include "codec/utf7_hz.h"
#include "commands/command_host.h"
#include "commands/decoding_frame.h"
#include "widgets/text_box.h"

namespace mok {

namespace {

Text DecodeStatus(std::u16string_view caption) {
  Text status(kDecodePrefix);
  status += CommandName(caption);
  return status;
}

bool InRange(int index, std::size_t size) { return index >= 0 && static_cast<std::size_t>(index) < size; }

}  // namespace

void RunNumU(CommandHost& host, int index) {
  if (!InRange(index, kNumUCaptions.size())) return;
  Text copy = host.Box().GetText();
  DecodeNumericRefs(copy, static_cast<std::int16_t>(index));
  FinishDecoding(host, std::move(copy), DecodeStatus(kNumUCaptions[index]), WriteBack::WholeText, false);
}

void RunReadQp(CommandHost& host, int index) {
  if (!InRange(index, kReadQpTable.size())) return;
  const QpUrlRow& row = kReadQpTable[static_cast<std::size_t>(index)];
  if (row.caption == u"-") return;
  Text copy = host.Box().GetText();
  DecodeQpUrl(copy, row.code, row.mode);
  FinishDecoding(host, std::move(copy), DecodeStatus(row.caption), WriteBack::WholeText, false);
}

void RunBase64(CommandHost& host, int index) {
  if (!InRange(index, kBase64Table.size())) return;
  const Base64Row& row = kBase64Table[static_cast<std::size_t>(index)];
  // A selection of exactly one character counts as no selection.
  const bool selection = host.Box().SelLength() > 1;
  Text copy = selection ? host.Box().SelText() : host.Box().GetText();
  DecodeBase64Text(copy, row.code, 0);
  FinishDecoding(host, std::move(copy), DecodeStatus(row.caption),
                 selection ? WriteBack::Selection : WriteBack::WholeText, false);
}

void RunJieA(CommandHost& host, int index) {
  if (!InRange(index, kJieACaptions.size())) return;
  Text copy = host.Box().GetText();
  if (index == 0) {
    DecodeUtf7(copy);
  } else {
    DecodeHzGb(copy);
  }
  FinishDecoding(host, std::move(copy), DecodeStatus(kJieACaptions[index]), WriteBack::WholeText, false);
}

}  // namespace mok
