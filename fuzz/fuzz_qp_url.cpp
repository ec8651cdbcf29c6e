// Quoted-printable and URL decoding and quoted-printable encoding on arbitrary
// UTF-16 input. Input: one selector byte (mode and character set), then
// UTF-16LE units. The fast versions are compared with the literal ones.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iterator>

#include "codec/conversion_core.h"
#include "codec/qp_url.h"
#include "fuzz/stream_split.h"
#include "tests/codec/literal_refs_qp.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

constexpr std::size_t kLiteralLimit = 2000;

struct Setting {
  std::int32_t code;
  std::int16_t mode;
};

// Language codes and code pages of every kind, the byte views included, and
// two invalid modes.
constexpr Setting kSettings[] = {
    {2052, 0},  {1028, 1},  {1041, 0},  {1042, 1},  {-1, 0},    {-2, 1},     {-3, 0},    {-4, 1},
    {936, 128}, {54936, 129}, {950, 128}, {20000, 129}, {932, 128}, {20932, 129}, {949, 128}, {1361, 129},
    {1252, 128}, {65001, 129}, {1200, 128}, {65000, 129}, {52936, 128}, {50221, 129}, {37, 128}, {-4, 0},
    {2052, 2},  {936, 255}, {-1, -128}, {1033, 1}, {1049, 0}, {874, 129}, {1258, 128}, {-1, 129}};

constexpr std::int32_t kEncodePages[] = {936, 54936, 950, 20000, 932, 20932, 949, 1361, 1252, 65001};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t selector = data[0];
  const Setting setting = kSettings[selector % std::size(kSettings)];
  const mok::Text input = mok::ByteViewToText(mok::BytesView(data + 1, size - 1));
  const bool compare = input.size() <= kLiteralLimit;

  mok::Text text = input;
  mok::DecodeQpUrl(text, setting.code, setting.mode);
  Check(text.size() <= input.size());
  // The streaming decoder mok uses gives the same text for any split.
  if (mok::QpUrlStreamDecoder stream(setting.code, setting.mode); stream.Usable()) {
    mok::Text joined;
    Check(mok::fuzz::DecodeInPieces(stream, input, selector, joined));
    Check(joined == text);
  }
  if (compare) {
    mok::Text expected = input;
    mok::literal::DecodeQpUrl(expected, setting.code, setting.mode);
    Check(text == expected);
  }

  // Charset indexes 0..9 and, now and then, an invalid one.
  const std::int16_t index = static_cast<std::int16_t>(selector % 12) - 1;
  text = input;
  mok::EncodeQpUrl(text, index);
  if (index < 0 || index > 9) {
    Check(text.empty());
    return 0;
  }
  if (compare) {
    mok::Text expected = input;
    mok::literal::EncodeQpUrl(expected, index);
    Check(text == expected);
  }
  std::size_t line_start = 0;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == u'\r') {
      Check(i - line_start <= 76);
      line_start = i + 2;
    }
  }
  const std::size_t encoded_size = text.size();
  mok::DecodeQpUrl(text, kEncodePages[index], 128);
  Check(text.size() <= encoded_size);
  return 0;
}
