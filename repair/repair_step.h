#pragma once

// One repair step: encode the text with code page A (the one its bytes were
// wrongly read with) and decode the bytes with code page B (the one they really
// are in), taken only when nothing is lost on the way.

#include <cstddef>
#include <cstdint>
#include <optional>

#include "codec/text_types.h"

namespace mok {

struct RepairStep {
  std::int32_t code_page_a;
  std::int32_t code_page_b;
  friend bool operator==(const RepairStep&, const RepairStep&) = default;
};

// The UTF-16 byte swap: text read as UTF-16LE whose bytes are UTF-16BE.
inline constexpr RepairStep kUtf16Swap{1200, 1201};

// A stretch of a text, [begin, end) in code units.
struct Stretch {
  std::size_t begin = 0;
  std::size_t end = 0;
};

struct StepResult {
  Text text;
  // The part of text that came from the given stretch of the input.
  Stretch stretch;
};

// Applies the step when it is lossless on the whole text: encoding with A maps
// every character (a lone surrogate U+DC80..U+DCFF counts as the byte an earlier
// wrong decoding kept in it), decoding with B meets no malformed or unassigned
// byte, and encoding the result with B gives the same bytes back. The result
// then loses one leading U+FEFF and has its NULs turned into spaces, as the menu
// commands do. nullopt when the step loses anything, for a code page without an
// ICU converter, for the empty text, and on any failure.
[[nodiscard]] std::optional<StepResult> ApplyLosslessStep(TextView text, RepairStep step, Stretch stretch);

}  // namespace mok
