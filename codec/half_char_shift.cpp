#include "codec/half_char_shift.h"

#include <utility>

#include "codec/conversion_core.h"

namespace mok {

void ShiftHalfChar(Text& text, std::int32_t code, bool code_page_flag) {
  if (text.empty()) return;
  try {
    if (code == -2 || code == -3) {
      // UTF-16 without a converter: unit i is rebuilt from the second byte of
      // unit i and the first byte of unit i + 1 (in the byte order named); the
      // last byte has no partner and is lost.
      char16_t* s = text.data();
      const std::size_t last = text.size() - 1;
      for (std::size_t i = 0; i < last; ++i) {
        const unsigned here = s[i];
        const unsigned next = s[i + 1];
        s[i] = code == -2 ? static_cast<char16_t>((here >> 8) | ((next & 0xFF) << 8))
                          : static_cast<char16_t>((next >> 8) | ((here & 0xFF) << 8));
      }
      text.resize(last);
    } else if (code < 0) {
      text.clear();
      return;
    } else {
      bool ok = true;
      const Bytes bytes = code_page_flag ? TextToCpBytes(text, code) : LidTextToBytes(text, code, ok);
      if (!ok || bytes.size() < 2) {
        text.clear();
        return;
      }
      const BytesView shifted = BytesView(bytes).substr(1);
      text = code_page_flag ? CpBytesToText(shifted, code) : LidBytesToText(shifted, code);
    }
    ReplaceNulBySpace(text);
  } catch (...) {
    text.clear();
  }
}

}  // namespace mok
