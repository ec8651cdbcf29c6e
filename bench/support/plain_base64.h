#pragma once

// A plain Base64 decoding loop for the reference side of the benchmarks: the
// work of a decoder such as coreutils' base64 -d, with no variants, no quirks
// and no checks of what the bytes are; anything outside the alphabet (blanks,
// line breaks, padding) is skipped.

#include <array>
#include <cstddef>
#include <cstdint>

namespace mok::bench {

inline constexpr char kBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Decodes the units of in (bytes or UTF-16 units) into out, which has room for
// in.size() bytes; returns how many it wrote.
template <typename Units>
std::size_t PlainBase64Decode(const Units& in, std::uint8_t* out) {
  static const auto table = [] {
    std::array<std::int8_t, 256> values{};
    values.fill(-1);
    for (int i = 0; i < 64; ++i) values[static_cast<unsigned char>(kBase64Alphabet[i])] = static_cast<std::int8_t>(i);
    return values;
  }();
  std::uint32_t acc = 0;
  int bits = 0;
  std::size_t o = 0;
  for (const auto c : in) {
    const auto unit = static_cast<std::uint32_t>(c);
    const int v = unit < table.size() ? table[unit] : -1;
    if (v < 0) continue;
    acc = (acc << 6) | static_cast<std::uint32_t>(v);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out[o++] = static_cast<std::uint8_t>(acc >> bits);
    }
  }
  return o;
}

}  // namespace mok::bench
