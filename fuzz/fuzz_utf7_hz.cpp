// UTF-7 and HZ on arbitrary UTF-16 input, and an HZ round trip on GB2312 and
// ASCII text built from the input. Input: one selector byte, then UTF-16LE units.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "codec/conversion_core.h"
#include "codec/utf7_hz.h"
#include "fuzz/stream_split.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// GB2312 characters that survive code page 936 both ways.
std::vector<char16_t> MakeGbPool() {
  std::vector<char16_t> pool;
  for (int lead = 0xA1; lead <= 0xF7; ++lead) {
    for (int trail = 0xA1; trail <= 0xFE; ++trail) {
      const mok::Bytes pair = {static_cast<std::uint8_t>(lead), static_cast<std::uint8_t>(trail)};
      const mok::Text text = mok::CpBytesToText(pair, 936);
      if (text.size() == 1 && (text[0] < 0xD800 || text[0] > 0xDFFF) && mok::TextToCpBytes(text, 936) == pair) {
        pool.push_back(text[0]);
      }
    }
  }
  return pool;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::vector<char16_t> gb_pool = MakeGbPool();
  if (size == 0) return 0;
  const std::uint8_t selector = data[0];
  const mok::Text input = mok::ByteViewToText(mok::BytesView(data + 1, size - 1));

  mok::Text text = input;
  mok::DecodeUtf7(text);
  Check(text.size() <= input.size());
  mok::Utf7StreamDecoder utf7;
  mok::Text joined;
  Check(mok::fuzz::DecodeInPieces(utf7, input, selector, joined));
  Check(joined == text);

  text = input;
  mok::DecodeHzGb(text);
  Check(text.size() <= input.size());
  mok::HzStreamDecoder hz;
  joined.clear();
  Check(mok::fuzz::DecodeInPieces(hz, input, selector, joined));
  Check(joined == text);

  text = input;
  mok::EncodeHzGb(text);
  Check(text.size() <= 4 * input.size() + 2);
  mok::DecodeHzGb(text);

  if (selector & 1) {
    // Round trip: each input unit picks a GB2312 character or a printable ASCII
    // character ("~" included); a line break only ever follows "x".
    mok::Text plain;
    for (const char16_t unit : input) {
      if (unit & 0x8000) {
        plain += gb_pool[unit % gb_pool.size()];
      } else if ((unit & 0xFF) == 0) {
        plain += u"x\r\n";
      } else {
        plain += static_cast<char16_t>(0x20 + unit % 95);
      }
    }
    text = plain;
    mok::EncodeHzGb(text);
    for (const char16_t c : text) Check(c < 0x80);
    mok::DecodeHzGb(text);
    Check(text == plain);
  }
  return 0;
}
