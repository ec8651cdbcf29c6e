// Full and half width and the four edit-menu conversions on arbitrary UTF-16
// input. Input: one selector byte, then UTF-16LE code units.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "codec/conversion_core.h"
#include "codec/width_mapping.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

bool IsSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDFFF; }

// The half-width forms half width never makes (GBK and Big5 cannot store them).
bool NeverMadeHalf(char16_t c) { return (c >= 0xFF61 && c <= 0xFF65) || (c >= 0xFFE8 && c <= 0xFFEE); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const int item = static_cast<std::int8_t>(data[0]) % 6;
  const mok::Text input = mok::ByteViewToText(mok::BytesView(data + 1, size - 1));

  const mok::Text full = mok::ToFullWidth(input);
  const mok::Text half = mok::ToHalfWidth(input);
  Check(input.empty() || !full.empty());
  // Joining sound marks can only shorten; splitting can at most double.
  Check(full.size() <= input.size());
  Check(half.size() >= input.size() && half.size() <= 2 * input.size());
  // Surrogates, and so supplementary characters, stay where they are.
  std::size_t surrogates = 0;
  for (const char16_t c : input) surrogates += IsSurrogate(c) ? 1 : 0;
  std::size_t kept = 0;
  for (const char16_t c : half) kept += IsSurrogate(c) ? 1 : 0;
  Check(kept == surrogates);
  // Of ｡｢｣､･ and U+FFE8-U+FFEE, the half-width text holds only those the input held.
  std::size_t never_made = 0;
  for (const char16_t c : input) never_made += NeverMadeHalf(c) ? 1 : 0;
  std::size_t found = 0;
  for (const char16_t c : half) found += NeverMadeHalf(c) ? 1 : 0;
  Check(found == never_made);

  const mok::Text converted = mok::ConvertCaseItem(input, item);
  if (item < 0 || item > 3) Check(converted.empty());
  if (item >= 2 && item <= 3) Check(converted.size() == input.size());
  return 0;
}
