#pragma once

// The one place that talks to the character-set converters (ICU, and glibc iconv
// for Johab, which ICU lacks). Each converter is opened once per thread and reused.
//
// Decoding never stops at malformed or unassigned bytes: each such byte becomes
// one lone surrogate U+DC00..U+DCFF (U+DC00 + byte). Encoding turns those lone
// surrogates back into their bytes, so bytes decoded with a code page and encoded
// again with it come back unchanged, and a wrong decoding can always be repaired.
// Any other character the code page cannot represent encodes as that code page's
// question mark.

#include <string>
#include <string_view>
#include <vector>

#include "codec/text_types.h"

namespace mok {

// True when the code page names a converter this program has (1200 and negative
// values mean "no conversion" and are not converters).
[[nodiscard]] bool IsKnownCodePage(std::int32_t code_page);

// The name of the ICU converter that stands in for a code page, for callers that
// need a converter with other error handling than the escaping one here; nullptr
// for a code page that is unknown or converted with iconv.
[[nodiscard]] const char* IcuConverterName(std::int32_t code_page);

// Encodes text with a code page. Returns false (and leaves out empty) when the
// code page is unknown or the converter fails.
[[nodiscard]] bool EncodeWithCodePage(TextView text, std::int32_t code_page, Bytes& out);

// Decodes bytes with a code page. Returns false (and leaves out empty) when the
// code page is unknown or the converter fails.
[[nodiscard]] bool DecodeWithCodePage(BytesView bytes, std::int32_t code_page, Text& out);

// Decodes bytes that are all regular characters of a stateless code page of
// one- and two-byte characters (GBK, Big5, Shift-JIS, UHC, the Windows and
// DOS code pages) by a table read once from its converter: the same text as
// DecodeWithCodePage, in a fraction of the time for short runs. False, with
// out unchanged, for any other code page or when a byte is malformed,
// unassigned or a character is cut short; the caller then uses the converter.
[[nodiscard]] bool DecodeRegularCharacters(BytesView bytes, std::int32_t code_page, Text& out);
// The same, appending to out (which is unchanged when it declines).
[[nodiscard]] bool AppendRegularCharacters(BytesView bytes, std::int32_t code_page, Text& out);

// The table those two read, for a caller that decodes many short runs of
// one code page: looked up once, read on first use and kept, shared by all
// threads, for the life of the process. nullptr for a code page without one.
// May throw std::bad_alloc.
struct DoubleByteTable;
[[nodiscard]] const DoubleByteTable* RegularCharacterTable(std::int32_t code_page);
// AppendRegularCharacters by such a table.
[[nodiscard]] bool AppendRegularCharacters(const DoubleByteTable& table, BytesView bytes, Text& out);
// The same into room for bytes.size() units at out, for short runs decoded
// without growing a text twice: the number of units written, or
// static_cast<std::size_t>(-1) when it declines.
[[nodiscard]] std::size_t DecodeRegularCharacters(const DoubleByteTable& table, BytesView bytes,
                                                  char16_t* out) noexcept;

// The code page of the code-page table that a character-set name stands for,
// as users of iconv and uconv write it ("utf-8", "big5", "cp950", "shift_jis",
// "euc-jp", "iso-8859-1", "utf-16le", "windows-1252", "koi8-r", ...), or 0.
// The name is looked up in ICU's alias table (case, "-", "_" and spaces do not
// matter) and lands on the code page whose converter it names, or whose
// Windows number ("windows-950", "cp950") one of its converter's aliases
// carries. Names of a subset land on the table's superset: gb2312 and euc-cn
// on 936, euc-kr on 949, iso-2022-jp on 50221, iso-2022-cn on 50227.
[[nodiscard]] std::int32_t CodePageOfCharsetName(std::string_view name);

// Whether name is one of the names ICU's alias table gives the converter
// icu_name ("utf16be" and "UTF-16BE" for "UTF-16BE").
[[nodiscard]] bool NamesConverter(std::string_view name, const char* icu_name);

// The names ICU's alias table gives a converter ("UTF-16BE", ...).
[[nodiscard]] std::vector<std::string> ConverterAliases(const char* icu_name);

// Every name in ICU's alias table that CodePageOfCharsetName takes to the
// code page, for listing them; empty for a code page no name reaches.
[[nodiscard]] std::vector<std::string> CharsetNamesOf(std::int32_t code_page);

// The ANSI code page Windows uses for a locale identifier of the language-code
// table, or -1 for a locale this program does not know.
[[nodiscard]] std::int32_t AnsiCodePageOfLocale(std::int32_t locale_id);

// The system ANSI code page of the systems this program is written for.
inline constexpr std::int32_t kSystemAnsiCodePage = 936;

}  // namespace mok
