// File format detection, the UTF-8 likeness test and the decoding of a whole
// file's bytes, on arbitrary file contents.
// Input: one byte choosing the requested format (-1..10), then the file's bytes.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "codec/text_files.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const auto requested = static_cast<std::int16_t>(data[0] % 12 - 1);
  const mok::BytesView bytes(data + 1, size - 1);

  const std::int16_t detected = mok::DetectFileFormat(bytes);
  Check(detected >= 0 && detected <= 9);
  const bool utf8 = mok::IsValidUtf8(bytes);
  if (detected == mok::kFormatUtf8) Check(utf8);

  std::int16_t format = requested;
  mok::Text text;
  Check(mok::DecodeFileBytes(bytes, format, text));
  Check(format >= 1 && format <= 9);
  if ((requested >= 1 && requested <= 3) || (requested >= 7 && requested <= 9)) Check(format == requested);
  if (requested >= 4 && requested <= 6) Check(format == requested || format == requested + 3);
  Check(std::find(text.begin(), text.end(), u'\0') == text.end());

  // The UTF-16 formats and Latin-1 map units to bytes one to one: encoding the
  // text again gives the file back, with NULs as spaces and an odd byte dropped.
  const std::size_t mark = format == mok::kFormatUtf16LeBom || format == mok::kFormatUtf16BeBom ? 2 : 0;
  const bool utf16 = format == mok::kFormatUtf16Le || format == mok::kFormatUtf16Be || mark != 0;
  if (utf16 || format == mok::kFormatLatin1) {
    std::int16_t again = format;
    mok::Bytes encoded;
    Check(mok::EncodeFileText(text, again, encoded));
    Check(again == format);
    const std::size_t expected_size = utf16 ? (bytes.size() - mark) / 2 * 2 + mark : bytes.size();
    Check(encoded.size() == expected_size);
    for (std::size_t i = 0; i < encoded.size(); ++i) {
      if (encoded[i] == bytes[i]) continue;
      // A NUL became a space: in UTF-16 the unit 0x0000 became 0x0020.
      const bool nul_unit = utf16 ? (bytes[i & ~std::size_t{1}] == 0 && bytes[i | 1] == 0) : bytes[i] == 0;
      Check(nul_unit && (encoded[i] == 0x20 || encoded[i] == 0));
    }
  }
  return 0;
}
