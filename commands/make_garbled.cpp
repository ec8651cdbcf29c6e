#include "commands/make_garbled.h"

#include "codec/base64.h"
#include "codec/conversion_core.h"
#include "codec/numeric_refs.h"
#include "codec/qp_url.h"
#include "codec/utf7_hz.h"
#include "commands/command_host.h"
#include "commands/decoding_frame.h"
#include "widgets/text_box.h"

namespace mok {
namespace {

constexpr std::u16string_view kMakePrefix = u"编写 ";
constexpr std::u16string_view kSelectionTooLong = u" 未成~ 选取文本过长";
constexpr std::u16string_view kResultTooLong = u" 未成~ 结果文本过长";

void Encode(Text& text, const MakeRow& row) {
  switch (row.codec) {
    case MakeCodec::NumericRefs: EncodeNumericRefs(text, row.argument); break;
    case MakeCodec::QuotedPrintable: EncodeQpUrl(text, row.argument); break;
    case MakeCodec::Base64: EncodeBase64Text(text, row.argument); break;
    case MakeCodec::Utf7: ReinterpretByCp(text, 65000, 28591); break;  // UTF-7 bytes read as Latin-1
    case MakeCodec::HzGb: EncodeHzGb(text); break;
    case MakeCodec::Separator: text.clear(); break;
  }
}

}  // namespace

MakingRoom RoomForMaking(std::int32_t text_length, std::int32_t selection_length) {
  const std::int32_t room = TextBox::kTextLimit - (text_length - selection_length);
  return {room, 3 * static_cast<std::int64_t>(selection_length) <= room};
}

void RunMake(CommandHost& host, int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= kMakeTable.size()) return;
  const MakeRow& row = kMakeTable[static_cast<std::size_t>(index)];
  if (row.codec == MakeCodec::Separator) return;
  TextBox& box = host.Box();
  Text status(kMakePrefix);
  status += row.caption;
  try {
    // The selected code units as held: a lone CR or LF stays as it is, and the
    // room counts exactly what the box holds.
    Text copy = box.SelUnits();
    const MakingRoom room = RoomForMaking(box.TextLength(), static_cast<std::int32_t>(copy.size()));
    if (!room.selection_fits) {
      host.Prompts().ShowMessage(status + Text(kSelectionTooLong));
      return;
    }
    ReplaceNulBySpace(copy);
    Encode(copy, row);
    if (copy.empty()) {
      host.SetSay(kNotChanged);
      host.Prompts().Beep();
      return;
    }
    if (copy.size() > static_cast<std::size_t>(room.room)) {
      host.Prompts().ShowMessage(status + Text(kResultTooLong));
      return;
    }
    // Exactly as encoded: a lone CR an encoder passes through stays lone.
    box.SetSelUnits(copy, /*select_inserted=*/true);
    host.RecordState(status);
  } catch (...) {
    host.SetSay(kNotChanged);
    host.Prompts().Beep();
  }
}

}  // namespace mok
