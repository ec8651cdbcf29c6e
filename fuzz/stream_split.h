#pragma once

// Feeds a text to a streaming decoder in pieces whose lengths the fuzz input
// picks, so that every split is tried; the pieces' texts joined.

#include <cstddef>
#include <algorithm>
#include <cstdint>

#include "codec/text_types.h"

namespace mok::fuzz {

template <typename Decoder>
[[nodiscard]] bool DecodeInPieces(Decoder& decoder, TextView text, std::uint8_t seed, Text& joined) {
  std::size_t at = 0;
  std::uint32_t state = seed * 2654435761u + 1;
  for (;;) {
    state = state * 1103515245u + 12345u;
    const std::size_t n = std::min<std::size_t>((state >> 16) % 9, text.size() - at);
    const bool last = at + n == text.size();
    if (!decoder.Decode(text.substr(at, n), last, joined)) return false;
    at += n;
    if (last) return true;
  }
}

}  // namespace mok::fuzz
