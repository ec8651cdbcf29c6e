#pragma once

// Realistic input for the benchmarks: Chinese prose with full-width punctuation,
// some ASCII words and numbers, and a CR LF every forty-odd characters.

#include <cstdint>
#include <random>
#include <vector>

#include "codec/conversion_core.h"

namespace mok::bench {

// The characters a double-byte code page gives for the lead bytes lead_lo..lead_hi
// and trail bytes trail_lo..0xFE (surrogate escapes of unassigned codes left out).
inline std::vector<char16_t> Hanzi(std::int32_t code_page, int lead_lo, int lead_hi, int trail_lo = 0xA1) {
  std::vector<char16_t> hanzi;
  for (int lead = lead_lo; lead <= lead_hi; ++lead) {
    for (int trail = trail_lo; trail <= 0xFE; ++trail) {
      const Text one =
          CpBytesToText(Bytes{static_cast<std::uint8_t>(lead), static_cast<std::uint8_t>(trail)}, code_page);
      if (one.size() == 1 && (one[0] < 0xD800 || one[0] > 0xDFFF)) hanzi.push_back(one[0]);
    }
  }
  return hanzi;
}

// GB2312 level 1: the everyday simplified characters.
inline const std::vector<char16_t>& CommonGbHanzi() {
  static const std::vector<char16_t> hanzi = Hanzi(936, 0xB0, 0xD7);
  return hanzi;
}

// Big5's common hanzi (leads A4..C6): the everyday traditional characters.
inline const std::vector<char16_t>& CommonBig5Hanzi() {
  static const std::vector<char16_t> hanzi = Hanzi(950, 0xA4, 0xC6);
  return hanzi;
}

// length code units of prose drawn from hanzi.
inline Text Prose(std::size_t length, const std::vector<char16_t>& hanzi, std::uint32_t seed) {
  std::mt19937 rng(seed);
  static const char16_t* const kWords[] = {u"ICU ", u"GB2312 ", u"2024", u"OK ", u"e-mail ", u"v4.3 "};
  Text text;
  text.reserve(length + 64);
  std::size_t line = 0;
  while (text.size() < length) {
    const unsigned pick = rng() % 100;
    if (pick < 80) {
      text += hanzi[rng() % hanzi.size()];
    } else if (pick < 88) {
      text += pick < 84 ? u'\uFF0C' : u'\u3002';
    } else {
      text += kWords[rng() % 6];
    }
    if (text.size() - line > 40 + rng() % 10) {
      text += u"\r\n";
      line = text.size();
    }
  }
  text.resize(length);
  return text;
}

}  // namespace mok::bench
