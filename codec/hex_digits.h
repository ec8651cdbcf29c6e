#pragma once

// The value of a hexadecimal digit (0-9, A-F, a-f), for the escape decoders.

#include <cstdint>

namespace mok {

struct HexDigitTable {
  std::int8_t value[128];
  constexpr HexDigitTable() : value() {
    for (int c = 0; c < 128; ++c) value[c] = -1;
    for (int d = 0; d < 10; ++d) value['0' + d] = static_cast<std::int8_t>(d);
    for (int d = 0; d < 6; ++d) {
      value['A' + d] = static_cast<std::int8_t>(10 + d);
      value['a' + d] = static_cast<std::int8_t>(10 + d);
    }
  }
};
inline constexpr HexDigitTable kHexDigitValues;

// 0..15 for a hexadecimal digit, -1 for any other code unit.
[[nodiscard]] inline int HexValue(char16_t c) { return c < 128 ? kHexDigitValues.value[c] : -1; }

}  // namespace mok
