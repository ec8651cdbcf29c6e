// Streaming conversion against the whole-buffer functions: any bytes, and the
// text they decode to, cut into pieces anywhere, must give the same result.
// Input: a code page selector, a cut seed, then the bytes.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "codec/charset_stream.h"
#include "codec/charset_tables.h"
#include "codec/conversion_core.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// Piece lengths from the seed: 0 to 7, so empty pieces and cut characters occur.
std::size_t NextPiece(std::uint32_t& seed) {
  seed = seed * 1103515245u + 12345u;
  return (seed >> 16) % 8;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::int32_t code_page = mok::CodePages()[data[0] % mok::CodePages().size()].code;
  std::uint32_t seed = data[1];
  const mok::BytesView bytes(data + 2, size - 2);

  mok::CodePageStream decoder(code_page);
  Check(decoder.Usable());
  mok::Text text;
  for (std::size_t at = 0;;) {
    const std::size_t n = std::min(NextPiece(seed), bytes.size() - at);
    const bool last = at + n == bytes.size();
    Check(decoder.Decode(bytes.substr(at, n), last, text));
    at += n;
    if (last) break;
  }
  Check(text == mok::CpBytesToText(bytes, code_page) || bytes.empty());

  mok::CodePageStream encoder(code_page);
  mok::Bytes again;
  const mok::TextView view(text);
  for (std::size_t at = 0;;) {
    const std::size_t n = std::min(NextPiece(seed), view.size() - at);
    const bool last = at + n == view.size();
    Check(encoder.Encode(view.substr(at, n), last, again));
    at += n;
    if (last) break;
  }
  Check(again == mok::TextToCpBytes(text, code_page));
  return 0;
}
