#pragma once

// Garbled text for tests, made with the program's own converters.

#include "codec/conversion_core.h"

namespace mok::testing {

// Text as it looks when its bytes in code page `really` were decoded with
// `shown_as` (bytes the decoder cannot take are kept as U+DC00 + byte).
inline Text ReadAs(TextView clean, std::int32_t really, std::int32_t shown_as) {
  return CpBytesToText(TextToCpBytes(clean, really), shown_as);
}

// An ideograph whose GBK bytes come back from Big5 as two characters (an
// escaped byte and the trail byte's character); 0 if there were none.
inline char16_t GbkIdeographDoubledAsBig5() {
  for (char16_t c = 0x4E00; c < 0x9FA5; ++c) {
    Text probe(1, c);
    ReinterpretByCp(probe, 936, 950);
    if (probe.size() == 2) return c;
  }
  return 0;
}

}  // namespace mok::testing
