#pragma once

// The names the Python functions take for character sets, menu items and
// file encodings, resolved against the libraries' tables. Each lookup gives
// nothing and a one-line message in Chinese for a name it does not know.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "menus/menu_items.h"

namespace mok::python {

// A character set of the reinterpretation dialogs: a code page of the
// code-page table, or a language code of the language-code table (the
// second decoding menu's names, "GB", "Big5", "日文", "Utf8" …).
struct Charset {
  bool language_code = false;
  std::int32_t code = 0;
};

// A number is a code page of the table; a word is a name of either table
// (letters in any case), the code-page table's first.
[[nodiscard]] std::optional<Charset> CharsetNamed(std::string_view word, std::string& error);
[[nodiscard]] std::optional<Charset> CharsetNumbered(std::int64_t number, std::string& error);

// Two character sets as one pair the reinterpretation takes: both language
// codes (ReinterpretByLid, as the second decoding menu), or both code pages
// (ReinterpretByCp), a language code then standing for its ANSI code page
// and the pseudo codes Latin1, ULE and Utf8 for 28591, 1200 and 65001.
struct CharsetPair {
  bool by_code_page = true;
  std::int32_t a = 0, b = 0;
};
[[nodiscard]] std::optional<CharsetPair> PairOf(const Charset& a, const Charset& b, std::string& error);

// The item of one of the groups ("a2b", "decode", "make") by its name,
// letters in any case; nullptr and a message pointing to the list of names.
[[nodiscard]] const MenuItem* ItemNamed(std::string_view name, const std::vector<std::string_view>& groups,
                                        std::string& error);

// The names of the items of the groups, in menu order.
[[nodiscard]] std::vector<std::string> ItemNames(const std::vector<std::string_view>& groups);

// A transfer format of Trans-LCID and Trans-CP by name or position.
[[nodiscard]] std::optional<int> TransferNamed(std::string_view word, std::string& error);

// The encoding of bytes as mok's -f and -t name it: a file format (1..9) or
// a code page of the table.
struct FileEncoding {
  std::int16_t format = 0;     // 1..9, or 0 for a code page
  std::int32_t code_page = 0;
};
[[nodiscard]] std::optional<FileEncoding> FileEncodingNamed(std::string_view word, std::string& error);
[[nodiscard]] std::optional<FileEncoding> FileEncodingNumbered(std::int64_t number, std::string& error);

// "“word”" for messages.
[[nodiscard]] std::string Quoted(std::string_view word);

}  // namespace mok::python
