#pragma once

// Characters that other programs' decoders give and the converters here do
// not encode, with the bytes they read them from, so that a text read by one
// of those decoders can be encoded back.

#include <cstdint>
#include <span>

struct UConverter;

namespace mok {

struct ExtraCharacter {
  char16_t unit;
  std::uint16_t bytes;  // one byte below 0x100, else two, the first in the high byte
};

// The extra characters of a code page, sorted by unit; empty for most.
//  - 932: the single bytes A0, FD, FE and FF, which Windows' Shift-JIS
//    decoder reads as private-use characters;
//  - 950: ETEN's kana, Cyrillic and circled numbers at C6A1..C7FC, as the
//    Big5 decoders of Python read them;
//  - 951: U+9FB0, which Big5-HKSCS decoders since 2008 read at C8A1.
[[nodiscard]] std::span<const ExtraCharacter> ExtraCharacters(std::int32_t code_page);

// Opens the code page's converter as the repair steps convert with it:
// decoding stops at the first byte it cannot decode; encoding writes a lone
// surrogate U+DC80..U+DCFF as the byte an earlier wrong decoding kept in it
// and an extra character as its bytes, and stops at anything else it cannot
// map. nullptr when the code page has no ICU converter; the caller closes it
// with ucnv_close.
[[nodiscard]] UConverter* OpenStepConverter(std::int32_t code_page);

}  // namespace mok
