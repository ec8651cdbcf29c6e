// The repair steps with their native conversions against the same steps
// converted with ICU's converters alone: the same result (text, lost
// characters, refusal) for any text, step and options. Input: one byte
// choosing the options, one choosing the step, then UTF-16LE code units;
// with the first byte's top bit, the units are instead bytes read as the
// step's code page A, lone surrogates for those it cannot decode, as an
// earlier wrong decoding leaves them.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>

#include "codec/conversion_core.h"
#include "repair/candidates.h"
#include "repair/native_pages.h"
#include "repair/repair_step.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::uint8_t how = data[0];
  const auto steps = mok::SearchSteps();
  const mok::RepairStep step = steps[data[1] % steps.size()];
  const mok::StepOptions options{.lossy = (how & 1) != 0, .cut = (how & 2) != 0};
  const mok::BytesView rest(data + 2, size - 2 < 4096 ? size - 2 : 4096);
  const mok::Text text =
      (how & 0x80) != 0 ? mok::CpBytesToText(rest, step.code_page_a) : mok::ByteViewToText(rest);
  const std::optional<mok::StepResult> native = mok::ApplyStep(text, step, options);
  std::optional<mok::StepResult> icu;
  {
    const mok::IcuOnlyStepConversions icu_only;
    icu = mok::ApplyStep(text, step, options);
  }
  if (native.has_value() != icu.has_value()) std::abort();
  if (native && (native->text != icu->text || native->lost != icu->lost)) std::abort();
  return 0;
}
