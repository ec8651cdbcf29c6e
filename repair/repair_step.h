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

// Seven-bit ISO-2022 text shown as Latin-1, with its escapes or without them:
// what the commands "Esc+中文(ISO-2022)", "Esc+日文(ISO-2022)" and
// "Esc+韩文(ISO-2022)" read (DecodeIso2022).
inline constexpr RepairStep kIso2022Chinese{28591, 50227};
inline constexpr RepairStep kIso2022Japanese{28591, 50221};
inline constexpr RepairStep kIso2022Korean{28591, 50225};
// The variant DecodeIso2022 takes for one of the three, or -1 for any other step.
[[nodiscard]] int Iso2022Variant(RepairStep step);

// A stretch of a text, [begin, end) in code units.
struct Stretch {
  std::size_t begin = 0;
  std::size_t end = 0;
};

struct StepResult {
  Text text;
  // The part of text that came from the given stretch of the input.
  Stretch stretch;
  // Characters that could not be recovered (ApplyLossyStep), each one U+FFFD in text.
  std::size_t lost = 0;
};

// Applies the step when it is lossless on the whole text: encoding with A maps
// every character (a lone surrogate U+DC80..U+DCFF counts as the byte an earlier
// wrong decoding kept in it), decoding with B meets no malformed or unassigned
// byte, and encoding the result with B gives the same bytes back. The result
// then loses one leading U+FEFF and has its NULs turned into spaces, as the menu
// commands do. nullopt when the step loses anything, for a code page without an
// ICU converter, for the empty text, and on any failure.
//
// The ISO-2022 steps put lost escapes back and decode as DecodeIso2022 does;
// they are taken when the text holds a designation of their variant and its
// decoding leaves no byte undecoded. The byte swap takes lone surrogates (the
// swap of a character such as U+6BD8 is one) and needs well-formed UTF-16
// after it.
[[nodiscard]] std::optional<StepResult> ApplyLosslessStep(TextView text, RepairStep step, Stretch stretch);

// Like ApplyLosslessStep, for text in which some bytes were already lost:
// "?" and U+FFFD, and U+FFFD's UTF-8 bytes as code page A reads them (锟斤拷
// in GBK, ï¿½ in cp1252), stand for bytes of unknown number. Decoding with B
// starts again on the bytes after each of them, so every character whose bytes
// all survived comes back, and each character that lost bytes becomes one
// U+FFFD (counted in lost). A "?" whose byte decodes with its neighbours is
// taken as a question mark. nullopt when nothing was lost (then the step is
// lossless or fails), when anything else fails as ApplyLosslessStep would, and
// for the byte swap and the ISO-2022 steps.
[[nodiscard]] std::optional<StepResult> ApplyLossyStep(TextView text, RepairStep step, Stretch stretch);

}  // namespace mok
