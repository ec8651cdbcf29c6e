// Numeric references and named entities on arbitrary UTF-16 input. Input: one
// mode byte, then UTF-16LE units. Every fast decoder and encoder is compared
// with its literal step-by-step version on inputs short enough for that.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "codec/conversion_core.h"
#include "codec/html_entities.h"
#include "codec/numeric_refs.h"
#include "tests/codec/literal_refs_qp.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

constexpr std::size_t kLiteralLimit = 600;  // the literal versions are slow

bool HasPlaneSixteenPair(const mok::Text& text) {
  for (std::size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] >= 0xDBC0 && text[i] <= 0xDBFF && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t selector = data[0];
  // Mostly the three valid modes; now and then an invalid one.
  const std::int16_t mode =
      (selector & 3) == 3 ? static_cast<std::int16_t>(static_cast<int>(selector) - 128) : (selector & 3);
  const mok::Text input = mok::ByteViewToText(mok::BytesView(data + 1, size - 1));
  const bool compare = input.size() <= kLiteralLimit;

  mok::Text text = input;
  mok::DecodeNumericRefs(text, mode);
  Check(text.size() <= input.size());
  if (compare) {
    mok::Text expected = input;
    mok::literal::DecodeNumericRefs(expected, mode);
    Check(text == expected);
  }

  text = input;
  mok::DecodeNamedEntities(text);
  Check(text.size() <= input.size());
  if (compare) {
    mok::Text expected = input;
    mok::literal::DecodeNamedEntities(expected);
    Check(text == expected);
  }

  for (std::int16_t encode_mode : {std::int16_t{0}, std::int16_t{1}, mode}) {
    text = input;
    mok::EncodeNumericRefs(text, encode_mode);
    Check(text.size() <= 8 * input.size());
    if (compare) {
      mok::Text expected = input;
      mok::literal::EncodeNumericRefs(expected, encode_mode);
      Check(text == expected);
    }
    if (encode_mode != 0 && encode_mode != 1) {
      Check(text.empty());
      continue;
    }
    // Back through the decoder: the text returns, NULs as spaces, and in HTML
    // the line-breaking tags (plain ASCII, left as they are) as line breaks.
    // Plane 16 needs six hex digits, one more than the HTML decoder reads.
    if (!compare || (encode_mode == 0 && HasPlaneSixteenPair(input))) continue;
    mok::DecodeNumericRefs(text, encode_mode);
    mok::Text expected = mok::literal::Replace(input, mok::Text(1, 0), u" ");
    if (encode_mode == 0) {
      for (const std::string_view tag : mok::literal::SplitAtCommas(mok::kLineBreakTagList)) {
        expected = mok::literal::Replace(expected, mok::literal::Widen(tag), u"\r\n", true);
      }
    }
    Check(text == expected);
  }
  return 0;
}
