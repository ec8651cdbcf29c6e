#include "cli/steps.h"

#include <charconv>
#include <span>

#include "cli/formats.h"
#include "cli/suggest.h"
#include "cli/words.h"
#include "codec/charset_conversion.h"
#include "codec/charset_stream.h"
#include "codec/charset_tables.h"
#include "codec/text_files.h"
#include "menus/menu_items.h"

namespace mok::cli {
namespace {

using Item = MenuItem;
using Needs = ItemNeeds;
using Arguments = ItemArguments;

// The step that runs an item with the arguments the command line gave:
// reinterpretations and the transfer-format decoders stream, every other item
// runs on the whole text.
Step StepOf(const Item& item, const Arguments& args) {
  Step step;
  if (item.reinterprets) {
    const bool asked = item.needs == Needs::TwoLcids || item.needs == Needs::TwoCps;
    step.streams = true;
    step.by_code_page = item.by_code_page;
    step.code_a = asked ? args.a : item.code_a;
    step.code_b = asked ? args.b : item.code_b;
  } else if (item.transfer) {
    // The transfer-format decoders stream too, by the decoder the item names.
    const TransferCall call = item.transfer(args);
    step.stream = [call]() -> std::unique_ptr<Stage> {
      switch (call.kind) {
        case TransferCall::Kind::QpUrl: return QpUrlStage(call.code, call.mode);
        case TransferCall::Kind::Base64: return Base64Stage(call.code, call.mode);
        case TransferCall::Kind::Utf7: return Utf7Stage();
        case TransferCall::Kind::HzGb: return HzStage();
      }
      return nullptr;
    };
  } else {
    step.whole = [&item, args](Text& text) { item.run(text, args); };
  }
  return step;
}

const std::vector<Item>& Catalogue() { return MenuItems(); }

const Item* FindItem(std::string_view command, std::string_view name) {
  for (const Item& item : Catalogue()) {
    if (item.group == command && NamesMenuName(name, item.name)) return &item;
  }
  return nullptr;
}

bool ParseNumber(std::string_view word, std::int32_t& number) {
  const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), number);
  return error == std::errc() && end == word.data() + word.size() && !word.empty();
}

// The language code whose character set a character-set name names: the
// pseudo codes for UTF-8, Latin-1 and the two UTF-16 byte orders, else the
// locale of the table whose ANSI code page the name lands on. 0 for none.
bool LanguageCodeOfCharsetName(std::string_view word, std::int32_t& code) {
  if (NamesConverter(word, "UTF-16BE")) {
    code = -3;
    return true;
  }
  const std::int32_t code_page = CodePageOfCharsetName(word);
  const std::int32_t pseudo = code_page == 65001 ? -4 : code_page == 28591 ? -1 : code_page == 1200 ? -2 : 0;
  for (const NamedCode& entry : LanguageCodes()) {
    if (code_page != 0 && (entry.code == pseudo || (entry.code >= 0 && AnsiCodePageOfLocale(entry.code) == code_page))) {
      code = entry.code;
      return true;
    }
  }
  return false;
}

// A number, name or ASCII spelling of one of the two character-set tables,
// or a character-set name as iconv takes it that lands on one of its entries.
bool ParseTableCode(std::string_view word, std::span<const NamedCode> table, std::int32_t& code) {
  std::int32_t number = 0;
  const bool numeric = ParseNumber(word, number);
  for (const NamedCode& entry : table) {
    if (numeric ? entry.code == number : NamesMenuName(word, ToUtf8(entry.name))) {
      code = entry.code;
      return true;
    }
  }
  if (numeric) return false;
  if (table.data() == LanguageCodes().data()) return LanguageCodeOfCharsetName(word, code);
  const std::int32_t code_page = CodePageOfCharsetName(word);
  for (const NamedCode& entry : table) {
    if (code_page != 0 && entry.code == code_page) {
      code = entry.code;
      return true;
    }
  }
  return false;
}

bool ParseTransfer(std::string_view word, int& transfer) {
  const std::vector<std::string>& names = TransferFormatNames();
  std::int32_t number = 0;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (EqualsIgnoringCase(names[i], word) || (ParseNumber(word, number) && number == static_cast<int>(i))) {
      transfer = static_cast<int>(i);
      return true;
    }
  }
  return false;
}

std::string Quoted(std::string_view word) { return "“" + std::string(word) + "”"; }

// Fills the arguments an item needs from the request; false with a message
// when one is missing, unknown, or not for this item.
bool ReadArguments(const Item& item, const StepRequest& request, std::size_t first, Arguments& args,
                   std::string& error) {
  const bool wants_format = item.needs == Needs::FormatAndLcid || item.needs == Needs::FormatAndCp;
  const bool wants_cp = item.needs == Needs::FormatAndCp || item.needs == Needs::CodePage;
  const bool wants_lcid = item.needs == Needs::FormatAndLcid;
  auto refuse = [&](std::string_view option, bool wanted, const std::optional<std::string>& value) {
    if (wanted && !value) error = item.name + " 需要选项 " + std::string(option);
    if (!wanted && value) error = item.name + " 不用选项 " + std::string(option);
    return error.empty();
  };
  if (!refuse("--format", wants_format, request.format) || !refuse("--cp", wants_cp, request.cp) ||
      !refuse("--lcid", wants_lcid, request.lcid)) {
    return false;
  }
  if (request.format && !ParseTransfer(*request.format, args.transfer)) {
    error = "未知的传送格式 " + Quoted(*request.format);
    return false;
  }
  if (request.cp && !ParseTableCode(*request.cp, CodePages(), args.code)) {
    error = "未知的代码页 " + Quoted(*request.cp);
    return false;
  }
  if (request.lcid && !ParseTableCode(*request.lcid, LanguageCodes(), args.code)) {
    error = "未知的语文区号 " + Quoted(*request.lcid);
    return false;
  }
  if (item.needs == Needs::TwoLcids || item.needs == Needs::TwoCps) {
    const bool cps = item.needs == Needs::TwoCps;
    for (std::size_t i = 0; i < 2; ++i) {
      const std::string& word = request.operands[first + i];
      if (!ParseTableCode(word, cps ? CodePages() : LanguageCodes(), i == 0 ? args.a : args.b)) {
        error = (cps ? "未知的代码页 " : "未知的语文区号 ") + Quoted(word);
        return false;
      }
    }
  }
  return true;
}

// The decode item that takes two character sets, as lcid and cp do.
const Item* PairItem(bool code_pages) {
  const Needs needs = code_pages ? Needs::TwoCps : Needs::TwoLcids;
  for (const Item& item : Catalogue()) {
    if (item.needs == needs) return &item;
  }
  return nullptr;
}

}  // namespace

bool IsStepCommand(std::string_view command) {
  return command == "convert" || command == "a2b" || command == "lcid" || command == "cp" || command == "decode" ||
         command == "make";
}

std::size_t OperandCount(std::string_view command, const std::vector<std::string>& operands) {
  if (command == "lcid" || command == "cp") return 2;
  if (command == "a2b" || command == "make") return 1;
  if (command == "decode") {
    if (operands.empty()) return 1;
    const Item* item = FindItem("decode", operands[0]);
    const bool pair = item != nullptr && (item->needs == Needs::TwoLcids || item->needs == Needs::TwoCps);
    return pair ? 3 : 1;
  }
  return 0;
}

std::optional<Step> BuildStep(const StepRequest& request, std::string& error) {
  error.clear();
  const Item* item = nullptr;
  std::size_t first = 1;  // the operand after the name
  if (request.command == "lcid" || request.command == "cp") {
    item = PairItem(request.command == "cp");
    first = 0;
  } else if (!request.operands.empty()) {
    item = FindItem(request.command, request.operands[0]);
  }
  if (item == nullptr) {
    const std::string name = request.operands.empty() ? std::string() : request.operands[0];
    error = "未知的 " + request.command + " 名字 " + Quoted(name) + "（mok list 列出可用的名字）";
    return std::nullopt;
  }
  Arguments args;
  if (!ReadArguments(*item, request, first, args, error)) return std::nullopt;
  Step step = StepOf(*item, args);
  step.name = item->name;
  return step;
}

namespace {

std::string JoinedNames(const std::vector<std::string>& names) {
  std::string joined;
  for (const std::string& name : names) joined += (joined.empty() ? "" : " ") + name;
  return joined;
}

// A line of the listing: the menu name, then its ASCII spelling where it
// differs.
std::string NameColumns(const std::string& name) {
  const std::string ascii = AsciiSpelling(name);
  return ascii == name ? name : name + "\t" + ascii;
}

// For searching: letters in lower case, without "-", "_" and spaces, as
// character-set names are compared.
std::string Folded(std::string_view text) {
  std::string folded;
  for (const char c : text) {
    if (c == '-' || c == '_' || c == ' ') continue;
    folded += c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
  }
  return folded;
}

// The listing's entries (lines indented by two spaces) that hold the word,
// under their headings; empty when none does.
std::string Filtered(const std::string& listing, std::string_view word) {
  const std::string wanted = Folded(word);
  std::string out, heading;
  std::size_t at = 0;
  while (at < listing.size()) {
    std::size_t end = listing.find('\n', at);
    if (end == std::string::npos) end = listing.size();
    const std::string line = listing.substr(at, end - at);
    at = end + 1;
    if (line.rfind("  ", 0) != 0) {
      heading = line;
    } else if (Folded(line).find(wanted) != std::string::npos) {
      if (!heading.empty()) out += (out.empty() ? "" : "\n") + heading + "\n";
      heading.clear();
      out += line + "\n";
    }
  }
  return out;
}

}  // namespace

std::string ListText(std::string_view search) {
  std::string text = "文件格式（-f、-t）：\n";
  for (std::size_t i = 0; i < kFormatNames.size(); ++i) {
    text += "  " + std::string(kFormatNames[i]);
    const std::int16_t format = static_cast<std::int16_t>(i + 1);
    if (format == kFormatUtf8) text += "\t" + JoinedNames(CharsetNamesOf(65001));
    if (format == kFormatUtf16Le) text += "\t" + JoinedNames(CharsetNamesOf(1200));
    if (format == kFormatUtf16Be) text += "\t" + JoinedNames(ConverterAliases("UTF-16BE"));
    if (format == kFormatUtf16LeBom) text += "\t" + JoinedNames(ConverterAliases("UTF-16")) + "（按字节顺序标记读）";
    if (format == kFormatGbk) text += "\t= 936";
    if (format == kFormatGb18030) text += "\t= 54936";
    if (format == kFormatLatin1) text += "\t= 28591";
    text += "\n";
  }
  text += "\n代码页（cp、-f、-t、--cp）：\n";
  for (const NamedCode& entry : CodePages()) {
    text += "  " + std::to_string(entry.code) + "\t" + NameColumns(ToUtf8(entry.name));
    text += "\t" + JoinedNames(CharsetNamesOf(entry.code));
    text += "\n";
  }
  text += "\n语文区号（lcid、--lcid）：\n";
  for (const NamedCode& entry : LanguageCodes()) {
    text += "  " + std::to_string(entry.code) + "\t" + NameColumns(ToUtf8(entry.name));
    if (entry.code >= 0) text += "\t= 代码页 " + std::to_string(AnsiCodePageOfLocale(entry.code));
    text += "\n";
  }
  text += "\n传送格式（--format）：\n";
  const std::vector<std::string>& transfers = TransferFormatNames();
  for (std::size_t i = 0; i < transfers.size(); ++i) text += "  " + std::to_string(i) + "\t" + transfers[i] + "\n";
  for (std::string_view command : {"a2b", "decode", "make"}) {
    text += "\n" + std::string(command) + "：\n";
    for (const Item& item : Catalogue()) {
      if (item.group != command) continue;
      text += "  " + NameColumns(item.name);
      switch (item.needs) {
        case Needs::CodePage: text += " --cp 代码页"; break;
        case Needs::FormatAndLcid: text += " --format 格式 --lcid 语文区号"; break;
        case Needs::FormatAndCp: text += " --format 格式 --cp 代码页"; break;
        case Needs::TwoLcids: text += " 语文区号A 语文区号B"; break;
        case Needs::TwoCps: text += " 代码页A 代码页B"; break;
        case Needs::Nothing: break;
      }
      text += "\n";
    }
  }
  text += SuggestListText();
  return search.empty() ? text : Filtered(text, search);
}

}  // namespace mok::cli
