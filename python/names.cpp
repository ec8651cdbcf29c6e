#include "python/names.h"

#include <array>
#include <charconv>
#include <span>

#include "codec/charset_conversion.h"
#include "codec/charset_tables.h"
#include "codec/conversion_core.h"

namespace mok::python {
namespace {

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

std::string Utf8Of(std::u16string_view text) {
  const Bytes bytes = TextToCpBytes(text, 65001);
  return std::string(bytes.begin(), bytes.end());
}

bool ParseNumber(std::string_view word, std::int64_t& number) {
  const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), number);
  return error == std::errc() && end == word.data() + word.size() && !word.empty();
}

const NamedCode* EntryNamed(std::span<const NamedCode> table, std::string_view word) {
  for (const NamedCode& entry : table) {
    if (EqualsIgnoringCase(Utf8Of(entry.name), word)) return &entry;
  }
  return nullptr;
}

const NamedCode* EntryNumbered(std::span<const NamedCode> table, std::int64_t number) {
  for (const NamedCode& entry : table) {
    if (entry.code == number) return &entry;
  }
  return nullptr;
}

// The file formats 1..9 by the names mok's -f and -t take.
constexpr std::array<std::string_view, 9> kFormatNames = {
    "gbk", "gb18030", "latin1", "utf16le-bom", "utf16be-bom", "utf8-bom", "utf16le", "utf16be", "utf8"};

}  // namespace

std::string Quoted(std::string_view word) { return "“" + std::string(word) + "”"; }

std::optional<Charset> CharsetNumbered(std::int64_t number, std::string& error) {
  if (EntryNumbered(CodePages(), number) != nullptr) return Charset{false, static_cast<std::int32_t>(number)};
  error = "未知的代码页 " + std::to_string(number) + "（代码页表里没有）";
  return std::nullopt;
}

std::optional<Charset> CharsetNamed(std::string_view word, std::string& error) {
  std::int64_t number = 0;
  if (ParseNumber(word, number)) return CharsetNumbered(number, error);
  if (const NamedCode* entry = EntryNamed(CodePages(), word)) return Charset{false, entry->code};
  if (const NamedCode* entry = EntryNamed(LanguageCodes(), word)) return Charset{true, entry->code};
  error = "未知的字符集 " + Quoted(word) + "（可用代码页号、代码页表或语文区号表里的名字）";
  return std::nullopt;
}

std::optional<CharsetPair> PairOf(const Charset& a, const Charset& b, std::string& error) {
  if (a.language_code && b.language_code) return CharsetPair{false, a.code, b.code};
  auto code_page = [&error](const Charset& charset) -> std::optional<std::int32_t> {
    if (!charset.language_code) return charset.code;
    switch (charset.code) {
      case -1: return 28591;
      case -2: return 1200;
      case -4: return 65001;
      case -3:
        error = "UBE 只能与语文区号配对（如 UBE 与 ULE）";
        return std::nullopt;
      default: return AnsiCodePageOfLocale(charset.code);
    }
  };
  const std::optional<std::int32_t> first = code_page(a);
  const std::optional<std::int32_t> second = first ? code_page(b) : std::nullopt;
  if (!second) return std::nullopt;
  return CharsetPair{true, *first, *second};
}

std::vector<std::string> ItemNames(const std::vector<std::string_view>& groups) {
  std::vector<std::string> names;
  for (const MenuItem& item : MenuItems()) {
    for (std::string_view group : groups) {
      if (item.group == group) names.push_back(item.name);
    }
  }
  return names;
}

const MenuItem* ItemNamed(std::string_view name, const std::vector<std::string_view>& groups, std::string& error) {
  for (const MenuItem& item : MenuItems()) {
    for (std::string_view group : groups) {
      if (item.group == group && EqualsIgnoringCase(item.name, name)) return &item;
    }
  }
  const bool makers = groups.size() == 1 && groups.front() == "make";
  error = std::string(makers ? "未知的 make 名字 " : "未知的 decode 名字 ") + Quoted(name) + "（mokrin." +
          (makers ? "MAKE_NAMES" : "DECODE_NAMES") + " 列出可用的名字）";
  return nullptr;
}

std::optional<int> TransferNamed(std::string_view word, std::string& error) {
  const std::vector<std::string>& names = TransferFormatNames();
  std::int64_t number = -1;
  const bool numeric = ParseNumber(word, number);
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (numeric ? number == static_cast<std::int64_t>(i) : EqualsIgnoringCase(names[i], word)) {
      return static_cast<int>(i);
    }
  }
  std::string known;
  for (const std::string& name : names) known += (known.empty() ? "" : " ") + name;
  error = "未知的传送格式 " + Quoted(word) + "（可用：" + known + "）";
  return std::nullopt;
}

std::optional<FileEncoding> FileEncodingNumbered(std::int64_t number, std::string& error) {
  if (EntryNumbered(CodePages(), number) != nullptr) return FileEncoding{0, static_cast<std::int32_t>(number)};
  error = "未知的编码 " + std::to_string(number) + "（代码页表里没有）";
  return std::nullopt;
}

std::optional<FileEncoding> FileEncodingNamed(std::string_view word, std::string& error) {
  for (std::size_t i = 0; i < kFormatNames.size(); ++i) {
    if (EqualsIgnoringCase(word, kFormatNames[i])) return FileEncoding{static_cast<std::int16_t>(i + 1), 0};
  }
  std::int64_t number = 0;
  if (ParseNumber(word, number)) return FileEncodingNumbered(number, error);
  error = "未知的编码 " + Quoted(word) + "（可用文件格式名或代码页号，同 mok 的 -f、-t）";
  return std::nullopt;
}

}  // namespace mok::python
