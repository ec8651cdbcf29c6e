// ISO-2022 escape repair and half-character shifts on arbitrary UTF-16 input.
// Input: one selector byte, then UTF-16LE code units.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "codec/conversion_core.h"
#include "codec/half_char_shift.h"
#include "codec/iso2022.h"

namespace {

constexpr std::int32_t kCodes[] = {-2, -3, -1, -4, -5, 936, 54936, 950, 65001, 1200, 932, 2052, 1041, 1042, 9999, 777777};

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t selector = data[0];
  const mok::Text input = mok::ByteViewToText(mok::BytesView(data + 1, size - 1));

  mok::Text text = input;
  const auto variant = static_cast<std::int16_t>(static_cast<std::int8_t>(selector) % 5);
  mok::DecodeIso2022(text, variant);
  if (variant < 0 || variant > 2) Check(text.empty());

  const std::int32_t code = kCodes[selector & 15];
  const bool flag = (selector & 16) != 0;
  text = input;
  mok::ShiftHalfChar(text, code, flag);
  if (code == -2 || code == -3) {
    Check(text.size() == (input.empty() ? 0 : input.size() - 1));
  } else if (code < 0) {
    Check(text.empty());
  }
  for (const char16_t c : text) Check(c != 0);
  return 0;
}
