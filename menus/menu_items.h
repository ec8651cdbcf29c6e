#pragma once

// The items of the decoding menus and the makers by their command names
// ("QP-GBK", "GB--Big5", "Esc+日文(ISO-2022)"), each with the codec call it
// runs, built from the menus' tables: what the command-line tool and the
// Python module offer, so both offer exactly what the menus offer.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "codec/text_types.h"

namespace mok {

// What an item needs besides its name: a code page (CP+半字), a transfer
// format with a language code or code page (Trans-LCID, Trans-CP), or two
// language codes or code pages (LCID--LCID, CP--CP).
enum class ItemNeeds { Nothing, CodePage, FormatAndLcid, FormatAndCp, TwoLcids, TwoCps };

struct ItemArguments {
  int transfer = 0;       // position in TransferFormatNames()
  std::int32_t code = 0;  // the code page or language code
  std::int32_t a = 0, b = 0;
};

// The transfer-format decoder an item runs and what it decodes by, for callers
// that decode chunk by chunk with the codec's stream decoders (mok): the same
// codec call as the item's whole-text one.
struct TransferCall {
  enum class Kind { QpUrl, Base64, Utf7, HzGb } kind = Kind::QpUrl;
  std::int32_t code = 0;  // the language code, or the code page when the mode says so
  std::int16_t mode = 0;
};

struct MenuItem {
  std::string_view group;  // "a2b" (second decoding menu), "decode" (first and third), "make"
  std::string name;        // the caption's command name, UTF-8
  ItemNeeds needs = ItemNeeds::Nothing;
  // A reinterpretation (the a2b rows, LCID--LCID, CP--CP): encode by A,
  // decode by B, with ReinterpretByLid's clean-up, or ReinterpretByCp's when
  // by_code_page. The a2b rows carry their codes; the others take them from
  // the arguments.
  bool reinterprets = false;
  bool by_code_page = false;
  std::int32_t code_a = 0, code_b = 0;
  // Every other item: the codec call on the whole text, which it leaves empty
  // when it gives nothing ("未经改动").
  std::function<void(Text&, const ItemArguments&)> run;
  // The transfer-format decoders (QP, URL, Base64, UTF-7, HZ, Trans-LCID,
  // Trans-CP) also say which decoder run calls; unset for every other item.
  std::function<TransferCall(const ItemArguments&)> transfer;

  // Applies the item to a whole text.
  void Apply(Text& text, const ItemArguments& arguments) const;
};

// Every item, in menu order: the a2b rows, then the first and third decoding
// menus, then the makers.
[[nodiscard]] const std::vector<MenuItem>& MenuItems();

// The transfer formats of Trans-LCID and Trans-CP, as their dialog lists
// them: "URL", "QP", "Base64", then the Base64 variants ("Base64(+/)" …).
[[nodiscard]] const std::vector<std::string>& TransferFormatNames();

// A menu caption's command name as UTF-8: the part before its hint.
[[nodiscard]] std::string ItemNameOf(std::u16string_view caption);

}  // namespace mok
