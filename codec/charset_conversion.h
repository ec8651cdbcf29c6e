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

// The ANSI code page Windows uses for a locale identifier of the language-code
// table, or -1 for a locale this program does not know.
[[nodiscard]] std::int32_t AnsiCodePageOfLocale(std::int32_t locale_id);

// The system ANSI code page of the systems this program is written for.
inline constexpr std::int32_t kSystemAnsiCodePage = 936;

}  // namespace mok
