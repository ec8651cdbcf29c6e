#include "menus/menu_items.h"

#include "codec/base64.h"
#include "codec/conversion_core.h"
#include "codec/half_char_shift.h"
#include "codec/iso2022.h"
#include "codec/numeric_refs.h"
#include "codec/qp_url.h"
#include "codec/text_functions.h"
#include "codec/utf7_hz.h"
#include "menus/menu_tables.h"

namespace mok {
namespace {

using Run = std::function<void(Text&, const ItemArguments&)>;

MenuItem Whole(std::string_view group, std::u16string_view caption, ItemNeeds needs, Run run) {
  MenuItem item;
  item.group = group;
  item.name = ItemNameOf(caption);
  item.needs = needs;
  item.run = std::move(run);
  return item;
}

MenuItem Reinterpretation(std::string_view group, std::u16string_view caption, ItemNeeds needs, bool by_code_page,
                          std::int32_t a = 0, std::int32_t b = 0) {
  MenuItem item;
  item.group = group;
  item.name = ItemNameOf(caption);
  item.needs = needs;
  item.reinterprets = true;
  item.by_code_page = by_code_page;
  item.code_a = a;
  item.code_b = b;
  return item;
}

using Transfer = std::function<TransferCall(const ItemArguments&)>;
using Kind = TransferCall::Kind;

void RunTransfer(Text& text, const TransferCall& call) {
  switch (call.kind) {
    case Kind::QpUrl: DecodeQpUrl(text, call.code, call.mode); break;
    case Kind::Base64: DecodeBase64Text(text, call.code, call.mode); break;
    case Kind::Utf7: DecodeUtf7(text); break;
    case Kind::HzGb: DecodeHzGb(text); break;
  }
}

// A transfer-format decoder: its whole-text call is the decoder it names.
MenuItem Decoder(std::u16string_view caption, ItemNeeds needs, Transfer transfer) {
  MenuItem item = Whole("decode", caption, needs,
                        [transfer](Text& t, const ItemArguments& args) { RunTransfer(t, transfer(args)); });
  item.transfer = std::move(transfer);
  return item;
}

// Trans-LCID (by_code_page false) and Trans-CP: URL and QP decode with
// DecodeQpUrl, the Base64 forms with DecodeBase64Text; 128 in the mode says
// that the number is a code page.
TransferCall TransferOf(const ItemArguments& args, bool by_code_page) {
  const int base = by_code_page ? 128 : 0;
  if (args.transfer <= 1) return {Kind::QpUrl, args.code, static_cast<std::int16_t>(base + 1 - args.transfer)};
  return {Kind::Base64, args.code, static_cast<std::int16_t>(base + args.transfer - 2)};
}

std::vector<MenuItem> BuildItems() {
  std::vector<MenuItem> items;
  for (const A2BRow& row : kA2BTable) {
    if (row.caption == kSeparatorCaption) continue;
    items.push_back(Reinterpretation("a2b", row.caption, ItemNeeds::Nothing, false, row.code_a, row.code_b));
  }
  // First decoding menu.
  for (std::size_t i = 0; i < kNumUCaptions.size(); ++i) {
    const auto mode = static_cast<std::int16_t>(i);
    items.push_back(Whole("decode", kNumUCaptions[i], ItemNeeds::Nothing,
                          [mode](Text& t, const ItemArguments&) { DecodeNumericRefs(t, mode); }));
  }
  for (const QpUrlRow& row : kReadQpTable) {
    if (row.caption == kSeparatorCaption) continue;
    items.push_back(Decoder(row.caption, ItemNeeds::Nothing,
                            [row](const ItemArguments&) { return TransferCall{Kind::QpUrl, row.code, row.mode}; }));
  }
  for (const Base64Row& row : kBase64Table) {
    items.push_back(Decoder(row.caption, ItemNeeds::Nothing,
                            [row](const ItemArguments&) { return TransferCall{Kind::Base64, row.code, 0}; }));
  }
  items.push_back(Decoder(kJieACaptions[0], ItemNeeds::Nothing,
                          [](const ItemArguments&) { return TransferCall{Kind::Utf7, 0, 0}; }));
  items.push_back(Decoder(kJieACaptions[1], ItemNeeds::Nothing,
                          [](const ItemArguments&) { return TransferCall{Kind::HzGb, 0, 0}; }));
  // Third decoding menu. The half-character repair works on the whole text,
  // as in the window with the caret at its start.
  for (const HalfCharRow& row : kCabTable) {
    items.push_back(Whole("decode", row.caption, row.asks_code_page ? ItemNeeds::CodePage : ItemNeeds::Nothing,
                          [row](Text& t, const ItemArguments& args) {
                            ShiftHalfChar(t, row.asks_code_page ? args.code : row.code, row.asks_code_page);
                          }));
  }
  for (std::size_t i = 0; i < k2022Captions.size(); ++i) {
    const auto variant = static_cast<std::int16_t>(i);
    items.push_back(Whole("decode", k2022Captions[i], ItemNeeds::Nothing,
                          [variant](Text& t, const ItemArguments&) { DecodeIso2022(t, variant); }));
  }
  // The asked conversions, by their place in the menu: 0 Trans-LCID,
  // 1 Trans-CP, 3 LCID--LCID, 4 CP--CP.
  for (std::size_t i = 0; i < kAskA2BCaptions.size(); ++i) {
    if (kAskA2BCaptions[i] == kSeparatorCaption) continue;
    const bool by_code_page = i == 1 || i == 4;
    if (i < 2) {
      items.push_back(Decoder(kAskA2BCaptions[i], by_code_page ? ItemNeeds::FormatAndCp : ItemNeeds::FormatAndLcid,
                              [by_code_page](const ItemArguments& args) { return TransferOf(args, by_code_page); }));
    } else {
      items.push_back(Reinterpretation("decode", kAskA2BCaptions[i],
                                       by_code_page ? ItemNeeds::TwoCps : ItemNeeds::TwoLcids, by_code_page));
    }
  }
  // The makers of garbled text: NULs become spaces first, as in the window.
  for (const MakeRow& row : kMakeTable) {
    if (row.codec == MakeCodec::Separator) continue;
    items.push_back(Whole("make", row.caption, ItemNeeds::Nothing, [row](Text& t, const ItemArguments&) {
      ReplaceNulBySpace(t);
      switch (row.codec) {
        case MakeCodec::NumericRefs: EncodeNumericRefs(t, row.argument); break;
        case MakeCodec::QuotedPrintable: EncodeQpUrl(t, row.argument); break;
        case MakeCodec::Base64: EncodeBase64Text(t, row.argument); break;
        case MakeCodec::Utf7: ReinterpretByCp(t, 65000, 28591); break;
        case MakeCodec::HzGb: EncodeHzGb(t); break;
        case MakeCodec::Separator: break;
      }
    }));
  }
  return items;
}

}  // namespace

void MenuItem::Apply(Text& text, const ItemArguments& arguments) const {
  if (!reinterprets) {
    run(text, arguments);
    return;
  }
  const bool asked = needs == ItemNeeds::TwoLcids || needs == ItemNeeds::TwoCps;
  const std::int32_t a = asked ? arguments.a : code_a;
  const std::int32_t b = asked ? arguments.b : code_b;
  if (by_code_page) {
    ReinterpretByCp(text, a, b);
  } else {
    ReinterpretByLid(text, a, b);
  }
}

const std::vector<MenuItem>& MenuItems() {
  static const std::vector<MenuItem> items = BuildItems();
  return items;
}

const std::vector<std::string>& TransferFormatNames() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> list = {"URL", "QP", "Base64"};
    for (std::size_t i = 0; i + 1 < kBase64VariantPairs.size(); i += 2) {
      list.push_back("Base64(" + std::string(kBase64VariantPairs.substr(i, 2)) + ")");
    }
    return list;
  }();
  return names;
}

std::string ItemNameOf(std::u16string_view caption) {
  const Bytes bytes = TextToCpBytes(TextBefore(caption, kCaptionSeparator), 65001);
  return std::string(bytes.begin(), bytes.end());
}

}  // namespace mok
