#pragma once

// Garbled text for tests, made with the program's own converters.

#include "codec/conversion_core.h"

namespace mok::testing {

// Text as it looks when its bytes in code page `really` were decoded with
// `shown_as` (bytes the decoder cannot take are kept as U+DC00 + byte).
inline Text ReadAs(TextView clean, std::int32_t really, std::int32_t shown_as) {
  return CpBytesToText(TextToCpBytes(clean, really), shown_as);
}

}  // namespace mok::testing
