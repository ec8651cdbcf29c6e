#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace mok {

// Text is what the text box holds: UTF-16 code units, any of them, unpaired
// surrogates and NULs included.
using Text = std::u16string;
using TextView = std::u16string_view;

// A byte string is what an encoder produces and a decoder consumes. It is a type
// of its own so that text and bytes cannot be mixed up; its length may be odd.
using Bytes = std::basic_string<std::uint8_t>;
using BytesView = std::basic_string_view<std::uint8_t>;

// Builds a byte string from a char literal ("\xB0\xA1"); convenient in tests.
inline Bytes ToBytes(std::string_view s) {
  return Bytes(reinterpret_cast<const std::uint8_t*>(s.data()), s.size());
}

// Appends one code point (up to U+10FFFF) as one unit or a surrogate pair.
inline void AppendCodePoint(Text& text, char32_t c) {
  if (c < 0x10000) {
    text += static_cast<char16_t>(c);
  } else {
    text += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
    text += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
  }
}

// Every decoder that returns text turns U+0000 into a space.
inline void ReplaceNulBySpace(Text& text) {
  // Written without a branch so the compiler vectorizes it.
  for (char16_t& c : text) c = c == 0 ? u' ' : c;
}

}  // namespace mok
