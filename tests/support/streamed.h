#pragma once

// Feeding a streaming decoder the way a pipe would: pieces of random size.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "codec/text_types.h"

namespace mok::testing {

// Feeds text to a stream decoder (Decode(piece, last, out)) in pieces cut at
// random, empty ones too, of at most `largest` units; the last call may come
// with an empty piece.
template <typename Decoder>
Text Streamed(Decoder& decoder, TextView text, std::mt19937& rng, std::size_t largest) {
  Text out;
  std::size_t at = 0;
  for (;;) {
    const std::size_t n = std::min<std::size_t>(rng() % (largest + 1), text.size() - at);
    const bool last = at + n == text.size() && rng() % 3 != 0;
    EXPECT_TRUE(decoder.Decode(text.substr(at, n), last, out));
    at += n;
    if (last) return out;
  }
}

}  // namespace mok::testing
