#pragma once

// One repair step: encode the text with code page A (the one its bytes were
// wrongly read with) and decode the bytes with code page B (the one they really
// are in), taken only when nothing is lost on the way, or, for text in which
// bytes were lost before, when nothing more is lost.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

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

struct StepResult {
  Text text;
  // Characters that could not be recovered (lossy steps), each one U+FFFD in text.
  std::size_t lost = 0;
};

struct StepOptions {
  // Bytes were lost before: "?" and U+FFFD, and U+FFFD's UTF-8 bytes as code
  // page A reads them (锟斤拷 in GBK, ï¿½ in cp1252), stand for bytes of unknown
  // number. Decoding with B starts again on the bytes after each of them, so
  // every character whose bytes all survived comes back and each character
  // that lost bytes becomes one U+FFFD. A "?" whose byte decodes with its
  // neighbours stays a question mark. The step is then taken only when
  // something was lost; the byte swap takes U+FFFD as a lost unit.
  bool lossy = false;
  // The text is the start of a longer one: bytes at its end that may begin a
  // character cut off there are left out instead of refusing the step.
  bool cut = false;
};

// Applies the step when it is lossless (or, with options.lossy, loses nothing
// more than was lost before): encoding with A maps every character (a lone
// surrogate U+DC80..U+DCFF counts as the byte an earlier wrong decoding kept
// in it), decoding with B meets no malformed or unassigned byte, and encoding
// the result with B gives the same bytes back. The result then loses one
// leading U+FEFF and has its NULs turned into spaces, as the menu commands do.
//
// The ISO-2022 steps put lost escapes back and decode as DecodeIso2022 does;
// they are taken when the text holds a designation of their variant and its
// decoding meets no undecodable byte. The byte swap takes lone surrogates (the
// swap of a character such as U+6BD8 is one) and needs well-formed UTF-16
// after it.
//
// nullopt when the step loses anything, for a code page without a converter,
// for the empty text, and on any failure.
[[nodiscard]] std::optional<StepResult> ApplyStep(TextView text, RepairStep step, StepOptions options = {});

// A floor for the results of steps without loss, told from a result's bytes
// before it is made (for a code page B of one byte per character): a result
// is below it when the least costs of its pairs of symbols (LeastPairCosts)
// add up to more than cost_limit and it is none of the kept texts.
struct StepFloor {
  std::optional<std::uint64_t> cost_limit;  // nullopt: no bar
  std::span<const TextView> kept;
};
struct FlooredStep {
  std::optional<StepResult> result;
  // The step would have been taken without loss, but its result is below the
  // floor: it was left out.
  bool below_floor = false;
};
// ApplyStep, with a result without loss that is below the floor left out.
[[nodiscard]] FlooredStep ApplyStepAbove(TextView text, RepairStep step, StepOptions options, const StepFloor& floor);

// ApplyStep without loss.
[[nodiscard]] inline std::optional<StepResult> ApplyLosslessStep(TextView text, RepairStep step) {
  return ApplyStep(text, step, {});
}

}  // namespace mok
