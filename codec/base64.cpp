#include "codec/base64.h"

#include <array>
#include <utility>

#include "codec/charset_stream.h"
#include "codec/conversion_core.h"

namespace mok {
namespace base64_detail {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Per variant, the pair of characters that stand for "+" and "/"
// (kBase64VariantPairs). Replacing the first by "+" and then the second by "/"
// equals giving them the values 62 and 63 directly: the two are never equal,
// never "+" or "/", and never alphanumeric.

constexpr std::int8_t kStop = -1;   // outside the alphabet: decoding ends
constexpr std::int8_t kBlank = -2;  // space, tab, CR, LF: skipped by the text decoder

using ValueTable = std::array<std::int8_t, 128>;

constexpr ValueTable MakeTable(int variant) {
  ValueTable table{};
  for (auto& v : table) v = kStop;
  for (int i = 0; i < 64; ++i) table[static_cast<unsigned char>(kAlphabet[i])] = static_cast<std::int8_t>(i);
  table[' '] = table['\t'] = table['\r'] = table['\n'] = kBlank;
  if (variant >= 1 && variant <= 7) {
    table[static_cast<unsigned char>(kBase64VariantPairs[2 * variant - 2])] = 62;
    table[static_cast<unsigned char>(kBase64VariantPairs[2 * variant - 1])] = 63;
  }
  return table;
}

constexpr std::array<ValueTable, 8> kTables = {MakeTable(0), MakeTable(1), MakeTable(2), MakeTable(3),
                                               MakeTable(4), MakeTable(5), MakeTable(6), MakeTable(7)};

// Writes the four characters of a full group of three bytes.
inline void EncodeGroup(const std::uint8_t* in, char16_t* out) noexcept {
  const std::uint32_t v = (std::uint32_t{in[0]} << 16) | (std::uint32_t{in[1]} << 8) | in[2];
  out[0] = static_cast<char16_t>(kAlphabet[v >> 18]);
  out[1] = static_cast<char16_t>(kAlphabet[(v >> 12) & 63]);
  out[2] = static_cast<char16_t>(kAlphabet[(v >> 6) & 63]);
  out[3] = static_cast<char16_t>(kAlphabet[v & 63]);
}

// Encodes a final group of one or two bytes without padding; returns the
// number of characters written (2 or 3).
inline std::size_t EncodeTail(const std::uint8_t* in, std::size_t count, char16_t* out) noexcept {
  if (count == 1) {
    out[0] = static_cast<char16_t>(kAlphabet[in[0] >> 2]);
    out[1] = static_cast<char16_t>(kAlphabet[(in[0] & 3) << 4]);
    return 2;
  }
  const std::uint32_t v = (std::uint32_t{in[0]} << 8) | in[1];
  out[0] = static_cast<char16_t>(kAlphabet[v >> 10]);
  out[1] = static_cast<char16_t>(kAlphabet[(v >> 4) & 63]);
  out[2] = static_cast<char16_t>(kAlphabet[(v << 2) & 60]);
  return 3;
}

[[nodiscard]] constexpr std::size_t UnpaddedLength(std::size_t bytes) noexcept {
  const std::size_t rest = bytes % 3;
  return bytes / 3 * 4 + (rest == 0 ? 0 : rest + 1);
}

}  // namespace

constexpr ValueTable MakeStandardValues() {
  ValueTable table = MakeTable(0);
  for (auto& v : table) v = v < 0 ? kStop : v;
  return table;
}

constinit const ValueTable kStandardValues = MakeStandardValues();

std::size_t DecodeRun(const char16_t* chars, std::size_t count, std::int16_t variant, bool skip_blanks,
                      std::uint8_t* out) noexcept {
  const ValueTable& table = kTables[variant >= 1 && variant <= 7 ? variant : 0];
  std::uint32_t acc = 0;
  int pending = 0;  // characters of the unfinished group
  std::size_t o = 0;
  std::size_t i = 0;
  for (;;) {
    if (pending == 0) {
      // Whole groups of four alphabet characters, the common case.
      while (i + 4 <= count) {
        const char16_t c0 = chars[i], c1 = chars[i + 1], c2 = chars[i + 2], c3 = chars[i + 3];
        if ((c0 | c1 | c2 | c3) >= 128) break;
        const int v0 = table[c0], v1 = table[c1], v2 = table[c2], v3 = table[c3];
        if ((v0 | v1 | v2 | v3) < 0) break;
        const std::uint32_t v = (std::uint32_t(v0) << 18) | (std::uint32_t(v1) << 12) | (std::uint32_t(v2) << 6) |
                                std::uint32_t(v3);
        out[o] = static_cast<std::uint8_t>(v >> 16);
        out[o + 1] = static_cast<std::uint8_t>(v >> 8);
        out[o + 2] = static_cast<std::uint8_t>(v);
        o += 3;
        i += 4;
      }
    }
    if (i >= count) break;
    const char16_t c = chars[i++];
    const int value = c < 128 ? table[c] : kStop;
    if (value < 0) {
      if (value == kBlank && skip_blanks) continue;
      break;
    }
    acc = (acc << 6) | static_cast<std::uint32_t>(value);
    if (++pending == 4) {
      out[o] = static_cast<std::uint8_t>(acc >> 16);
      out[o + 1] = static_cast<std::uint8_t>(acc >> 8);
      out[o + 2] = static_cast<std::uint8_t>(acc);
      o += 3;
      acc = 0;
      pending = 0;
    }
  }
  switch (pending) {
    case 1:  // a lone character keeps its own value as a byte
      out[o++] = static_cast<std::uint8_t>(acc);
      break;
    case 2:
      out[o++] = static_cast<std::uint8_t>(acc >> 4);
      break;
    case 3:
      out[o++] = static_cast<std::uint8_t>(acc >> 10);
      out[o++] = static_cast<std::uint8_t>(acc >> 2);
      break;
    default:
      break;
  }
  return o;
}

std::size_t ResumeRun(const char16_t* chars, std::size_t count, std::int16_t variant, std::uint32_t& acc,
                      int& pending, bool& stopped, std::uint8_t* out) noexcept {
  if (stopped) return 0;
  const ValueTable& table = kTables[variant >= 1 && variant <= 7 ? variant : 0];
  std::size_t o = 0;
  std::size_t i = 0;
  for (;;) {
    if (pending == 0) {
      // Whole groups of four alphabet characters, the common case.
      while (i + 4 <= count) {
        const char16_t c0 = chars[i], c1 = chars[i + 1], c2 = chars[i + 2], c3 = chars[i + 3];
        if ((c0 | c1 | c2 | c3) >= 128) break;
        const int v0 = table[c0], v1 = table[c1], v2 = table[c2], v3 = table[c3];
        if ((v0 | v1 | v2 | v3) < 0) break;
        const std::uint32_t v = (std::uint32_t(v0) << 18) | (std::uint32_t(v1) << 12) | (std::uint32_t(v2) << 6) |
                                std::uint32_t(v3);
        out[o] = static_cast<std::uint8_t>(v >> 16);
        out[o + 1] = static_cast<std::uint8_t>(v >> 8);
        out[o + 2] = static_cast<std::uint8_t>(v);
        o += 3;
        i += 4;
      }
    }
    if (i >= count) break;
    const char16_t c = chars[i++];
    const int value = c < 128 ? table[c] : kStop;
    if (value < 0) {
      if (value == kBlank) continue;
      stopped = true;
      break;
    }
    acc = (acc << 6) | static_cast<std::uint32_t>(value);
    if (++pending == 4) {
      out[o] = static_cast<std::uint8_t>(acc >> 16);
      out[o + 1] = static_cast<std::uint8_t>(acc >> 8);
      out[o + 2] = static_cast<std::uint8_t>(acc);
      o += 3;
      acc = 0;
      pending = 0;
    }
  }
  return o;
}

std::size_t FinishRun(std::uint32_t acc, int pending, std::uint8_t* out) noexcept {
  switch (pending) {
    case 1:  // a lone character keeps its own value as a byte
      out[0] = static_cast<std::uint8_t>(acc);
      return 1;
    case 2:
      out[0] = static_cast<std::uint8_t>(acc >> 4);
      return 1;
    case 3:
      out[0] = static_cast<std::uint8_t>(acc >> 10);
      out[1] = static_cast<std::uint8_t>(acc >> 2);
      return 2;
    default:
      return 0;
  }
}

}  // namespace base64_detail

Base64StreamDecoder::Base64StreamDecoder(std::int32_t code, std::int16_t mode)
    : variant_(static_cast<std::int16_t>(mode % 128)) {
  try {
    charset_ = mode >= 128 ? CharsetStream::ByCodePage(code) : CharsetStream::ByLanguageCode(code);
    // A language code below -4 names nothing; LidBytesToText gives the empty text.
    if (mode < 128 && code < -4) charset_.reset();
  } catch (...) {
    charset_.reset();
  }
}

Base64StreamDecoder::~Base64StreamDecoder() = default;

bool Base64StreamDecoder::Usable() const { return charset_ != nullptr && charset_->Usable(); }

bool Base64StreamDecoder::Decode(TextView chunk, bool last, Text& out) {
  if (!Usable()) return false;
  try {
    bytes_.resize(base64_detail::MaxDecodedSize(chunk.size()) + 3);
    std::size_t count = base64_detail::ResumeRun(chunk.data(), chunk.size(), variant_, acc_, pending_, stopped_,
                                                 bytes_.data());
    if (last) {
      count += base64_detail::FinishRun(acc_, pending_, bytes_.data() + count);
      pending_ = 0;
    }
    const std::size_t at = out.size();
    if (!charset_->Decode(BytesView(bytes_.data(), count), last, out)) return false;
    for (std::size_t k = at; k < out.size(); ++k) out[k] = out[k] == 0 ? u' ' : out[k];
    return true;
  } catch (...) {
    return false;
  }
}

Bytes Base64ToBytes(TextView text, std::int16_t variant) {
  Bytes bytes(base64_detail::MaxDecodedSize(text.size()), 0);
  bytes.resize(base64_detail::DecodeRun(text.data(), text.size(), variant, false, bytes.data()));
  return bytes;
}

Text BytesToBase64(BytesView bytes) {
  Text text(base64_detail::UnpaddedLength(bytes.size()), u'\0');
  const std::size_t groups = bytes.size() / 3;
  for (std::size_t g = 0; g < groups; ++g) base64_detail::EncodeGroup(bytes.data() + 3 * g, text.data() + 4 * g);
  if (bytes.size() % 3 != 0) {
    base64_detail::EncodeTail(bytes.data() + 3 * groups, bytes.size() % 3, text.data() + 4 * groups);
  }
  return text;
}

void DecodeBase64Text(Text& text, std::int32_t code, std::int16_t mode) {
  if (text.empty()) return;
  try {
    // The bytes are written over the text's own storage: they never outrun the
    // characters they come from (three bytes per four characters of two bytes).
    auto* raw = reinterpret_cast<std::uint8_t*>(text.data());
    const std::size_t count =
        base64_detail::DecodeRun(text.data(), text.size(), static_cast<std::int16_t>(mode % 128), true, raw);
    const BytesView bytes(raw, count);
    Text decoded = mode >= 128 ? CpBytesToText(bytes, code) : LidBytesToText(bytes, code);
    ReplaceNulBySpace(decoded);
    text = std::move(decoded);
  } catch (...) {
    text.clear();
  }
}

void EncodeBase64Text(Text& text, std::int16_t index) {
  if (text.empty()) return;
  static constexpr std::int32_t kCodePages[] = {936, 54936, 950, 65001};
  if (index < 0 || index > 3) {
    text.clear();
    return;
  }
  try {
    const Bytes bytes = TextToCpBytes(text, kCodePages[index]);
    // Padded Base64 in lines of 76 characters (57 bytes), joined by CR LF.
    constexpr std::size_t kLineBytes = 57;
    constexpr std::size_t kLineChars = 76;
    const std::size_t padded = (bytes.size() + 2) / 3 * 4;
    const std::size_t breaks = padded == 0 ? 0 : (padded - 1) / kLineChars;
    Text out(padded + 2 * breaks, u'\0');
    char16_t* o = out.data();
    const std::uint8_t* in = bytes.data();
    std::size_t left = bytes.size();
    while (left >= 3) {
      const std::size_t line = left < kLineBytes ? left / 3 * 3 : kLineBytes;
      for (std::size_t g = 0; g < line; g += 3, o += 4) base64_detail::EncodeGroup(in + g, o);
      in += line;
      left -= line;
      if (line == kLineBytes && left > 0) {
        *o++ = u'\r';
        *o++ = u'\n';
      }
    }
    if (left > 0) {
      o += base64_detail::EncodeTail(in, left, o);
      if (left == 1) *o++ = u'=';
      *o++ = u'=';
    }
    out.resize(static_cast<std::size_t>(o - out.data()));
    text = std::move(out);
  } catch (...) {
    text.clear();
  }
}

}  // namespace mok
