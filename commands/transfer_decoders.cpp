#include "commands/transfer_decoders.h"

#include "app/text_box.h"
#include "codec/base64.h"
#include "codec/numeric_refs.h"
#include "codec/qp_url.h"
#include "codec/utf7_hz.h"
#include "commands/command_host.h"
#include "commands/decoding_frame.h"

namespace mok {

const std::array<std::u16string_view, 3> kNumUCaptions = {
    u"HTM(U) ：如 &&#x53EF;&&#25511;&&ordm;&&Atilde;英文通顺",
    u"Num(UBE) ：如 \\u53EF\\u63A7\\x28\\x29 英文通顺",
    u"URL(UBE) ：如 %u53EF%u63A7%28%29 英文通顺",
};

const std::array<QpUrlRow, 7> kReadQpTable = {{
    {u"URL-GBK ：如 work%2Easp%3Fs%3D%B5%E7%C4%D4 英文通顺", 2052, 1},
    {u"URL-Big5 ：同上类似", 1028, 1},
    {u"URL-Utf8 ：同上类似", -4, 1},
    {u"-", 0, 0},
    {u"QP-GBK ：如 =D6=A7=B3=D6ASCII=C2=EB 英文通顺", 2052, 0},
    {u"QP-Big5 ：同上类似", 1028, 0},
    {u"QP-Utf8 ：同上类似", -4, 0},
}};

const std::array<Base64Row, 3> kBase64Table = {{
    {u"Base64-GBK ：如 QVNDSUkgvs3Kx6G 紧密排列.允许选取解码", 2052},
    {u"Base64-Big5 ：同上类似", 1028},
    {u"Base64-Utf8 ：同上类似", -4},
}};

const std::array<std::u16string_view, 2> kJieACaptions = {
    u"Utf7 ：如 +UxdOrA- YES +Ti1XC2- 英文通顺",
    u"HZ-GB ：如 ~{V;V'3V~}ASCII~{Bk5DO5M3~} 英文通顺",
};

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
