#include "codec/base64.h"

#include <array>
#include <bit>
#include <cstring>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// For each place in a group of four characters, each byte's bits where they
// land in the group's three bytes (the first byte lowest), so that a group
// decodes by four lookups joined by OR; a byte outside the alphabet (blanks
// included) sets kNotInGroup instead.
using GroupTable = std::array<std::array<std::uint32_t, 256>, 4>;

constexpr GroupTable MakeGroupTable(int variant) {
  const ValueTable values = MakeTable(variant);
  GroupTable table{};
  for (int c = 0; c < 256; ++c) {
    const int v = c < 128 ? values[c] : kStop;
    if (v < 0) {
      for (auto& place : table) place[c] = kNotInGroup;
      continue;
    }
    const auto u = static_cast<std::uint32_t>(v);
    table[0][c] = u << 2;
    table[1][c] = (u >> 4) | ((u & 0x0F) << 12);
    table[2][c] = ((u >> 2) << 8) | ((u & 3) << 22);
    table[3][c] = u << 16;
  }
  return table;
}

constexpr std::array<GroupTable, 8> kGroupTables = {MakeGroupTable(0), MakeGroupTable(1), MakeGroupTable(2),
                                                    MakeGroupTable(3), MakeGroupTable(4), MakeGroupTable(5),
                                                    MakeGroupTable(6), MakeGroupTable(7)};

// A group's bits from four characters below 256 (bit 24 set if one is
// outside the alphabet).
template <typename Unit>
inline std::uint32_t GroupBits(const GroupTable& table, const Unit* c) noexcept {
  return (table[0][c[0]] | table[1][c[1]]) | (table[2][c[2]] | table[3][c[3]]);
}

// Stores a group's three bytes, and on little-endian machines a fourth that
// what follows writes over.
// Adds one character's six bits to the group being filled; a full group
// gives its three bytes.
inline void TakeSextet(int value, std::uint32_t& acc, int& pending, std::uint8_t* out, std::size_t& o) noexcept {
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

inline void StoreGroup(std::uint8_t* out, std::uint32_t bits) noexcept {
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(out, &bits, 4);
  } else {
    out[0] = static_cast<std::uint8_t>(bits);
    out[1] = static_cast<std::uint8_t>(bits >> 8);
    out[2] = static_cast<std::uint8_t>(bits >> 16);
  }
}

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

constinit const GroupTable kStandardGroups = kGroupTables[0];

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
    TakeSextet(value, acc, pending, out, o);
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

namespace {

template <typename Unit>
std::size_t ResumeRunOf(const Unit* chars, std::size_t count, std::int16_t variant, std::uint32_t& acc, int& pending,
                        bool& stopped, std::uint8_t* out) noexcept {
  if (stopped) return 0;
  const int index = variant >= 1 && variant <= 7 ? variant : 0;
  const ValueTable& table = kTables[index];
  const GroupTable& groups = kGroupTables[index];
  std::size_t o = 0;
  std::size_t i = 0;
  for (;;) {
    if (pending == 0) {
      if constexpr (sizeof(Unit) == 1) {
        // Lines of Base64 are long runs of the alphabet: eight characters at once.
        while (i + 8 <= count) {
          const std::uint32_t first = GroupBits(groups, chars + i), second = GroupBits(groups, chars + i + 4);
          if ((first | second) >= kNotInGroup) break;
          StoreGroup(out + o, first);
          StoreGroup(out + o + 3, second);
          o += 6;
          i += 8;
        }
      }
      // Whole groups of four alphabet characters, the common case.
      while (i + 4 <= count) {
        if constexpr (sizeof(Unit) > 1) {
          if ((chars[i] | chars[i + 1] | chars[i + 2] | chars[i + 3]) >= 256) break;
        }
        const std::uint32_t bits = GroupBits(groups, chars + i);
        if (bits >= kNotInGroup) break;
        StoreGroup(out + o, bits);
        o += 3;
        i += 4;
      }
    }
    if (i >= count) break;
    const Unit c = chars[i++];
    const int value = c < 128 ? table[c] : kStop;
    if (value < 0) {
      if (value == kBlank) continue;
      stopped = true;
      break;
    }
    TakeSextet(value, acc, pending, out, o);
  }
  return o;
}

}  // namespace

std::size_t ResumeRun(const char16_t* chars, std::size_t count, std::int16_t variant, std::uint32_t& acc,
                      int& pending, bool& stopped, std::uint8_t* out) noexcept {
  return ResumeRunOf(chars, count, variant, acc, pending, stopped, out);
}

std::size_t ResumeRun(const std::uint8_t* chars, std::size_t count, std::int16_t variant, std::uint32_t& acc,
                      int& pending, bool& stopped, std::uint8_t* out) noexcept {
  return ResumeRunOf(chars, count, variant, acc, pending, stopped, out);
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
    : variant_(static_cast<std::int16_t>(mode % 128)), utf8_(mode >= 128 ? code == 65001 : code == -4) {
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
    bytes_.resize(base64_detail::MaxDecodedSize(chunk.size()) + 8);
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

namespace {

#if defined(__SSE2__)
// Valid UTF-8 of one to three bytes per character in blocks of sixteen bytes
// copied from in to out (NUL as a space), for as long as the blocks are
// that; returns where the first character not checked begins, for the
// byte-by-byte loop to go on from. What a character cut by a block's end
// expects of the next block (its continuation bytes, and the range of an
// E0's or ED's second byte) is carried over, so that the blocks do not wait
// on each other.
std::size_t CopyValidUtf8Blocks(const std::uint8_t* in, std::size_t n, std::uint8_t* out) noexcept {
  const auto mask = [](__m128i m) { return static_cast<std::uint32_t>(_mm_movemask_epi8(m)); };
  std::uint32_t carried = 0, carried_e0 = 0, carried_ed = 0, last_leads = 0;
  std::size_t i = 0;
  for (; n - i >= 16; i += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
    const auto is = [&bytes](std::uint8_t and_mask, std::uint8_t value) {
      return _mm_cmpeq_epi8(_mm_and_si128(bytes, _mm_set1_epi8(static_cast<char>(and_mask))),
                            _mm_set1_epi8(static_cast<char>(value)));
    };
    const std::uint32_t non_ascii = mask(bytes);
    const std::uint32_t continuation = mask(is(0xC0, 0x80));
    const std::uint32_t lead3 = mask(is(0xF0, 0xE0));
    const std::uint32_t lead2 = mask(is(0xE0, 0xC0)) & ~mask(is(0xFE, 0xC0));  // C2..DF: C0, C1 are overlong
    // Each lead byte is followed by its continuation bytes and by nothing else.
    const std::uint32_t expected = (lead2 << 1) | (lead3 << 1) | (lead3 << 2) | carried;
    // E0 takes A0..BF next (below is overlong), ED takes 80..9F (above are surrogates).
    const std::uint32_t high_second = mask(is(0xE0, 0xA0));
    const std::uint32_t e0 = (mask(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(static_cast<char>(0xE0)))) << 1) | carried_e0;
    const std::uint32_t ed = (mask(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(static_cast<char>(0xED)))) << 1) | carried_ed;
    const std::uint32_t wrong = (non_ascii & ~(continuation | lead2 | lead3)) | ((continuation ^ expected) & 0xFFFF) |
                                (((e0 & ~high_second) | (ed & high_second)) & 0xFFFF);
    if (wrong != 0) break;
    const __m128i nul = _mm_cmpeq_epi8(bytes, _mm_setzero_si128());
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_or_si128(bytes, _mm_and_si128(nul, _mm_set1_epi8(' '))));
    carried = expected >> 16;
    carried_e0 = e0 >> 16;
    carried_ed = ed >> 16;
    last_leads = lead2 | lead3;
  }
  // A character cut by the last block's end begins at that block's last lead byte.
  return carried == 0 ? i : i - 16 + (31 - static_cast<std::size_t>(std::countl_zero(last_leads)));
}
#endif

// The length of the longest start of bytes that is valid UTF-8 (no overlong
// forms, no encoded surrogates, nothing above U+10FFFF) and ends with a whole
// character, those bytes appended to out with NUL as a space: what the UTF-8
// of their text is.
std::size_t AppendValidUtf8(BytesView bytes, Bytes& out) {
  const std::size_t at = out.size();
  out.resize(at + bytes.size());
  std::uint8_t* o = out.data() + at;
  const std::uint8_t* p = bytes.data();
  const std::uint8_t* const end = p + bytes.size();
#if defined(__SSE2__)
  // Sixteen bytes at a time: ASCII, Chinese and the two-byte alphabets mixed
  // as they come; the rest byte by byte.
  const std::size_t checked = CopyValidUtf8Blocks(p, bytes.size(), o);
  p += checked;
  o += checked;
#endif
  while (p < end) {
    const std::uint8_t b = *p;
    std::size_t length = 0;
    if (b < 0x80) {
      *o++ = b == 0 ? ' ' : b;
      ++p;
      continue;
    }
    std::uint8_t low = 0x80, high = 0xBF;  // the range of the second byte
    if (b >= 0xC2 && b <= 0xDF) {
      length = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
      length = 3;
      if (b == 0xE0) low = 0xA0;
      if (b == 0xED) high = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      length = 4;
      if (b == 0xF0) low = 0x90;
      if (b == 0xF4) high = 0x8F;
    } else {
      break;
    }
    if (static_cast<std::size_t>(end - p) < length || p[1] < low || p[1] > high) break;
    bool whole = true;
    for (std::size_t k = 2; k < length; ++k) whole = whole && (p[k] & 0xC0) == 0x80;
    if (!whole) break;
    for (std::size_t k = 0; k < length; ++k) o[k] = p[k];
    o += length;
    p += length;
  }
  out.resize(static_cast<std::size_t>(o - out.data()));
  return static_cast<std::size_t>(p - bytes.data());
}

// Whether bytes (fewer than four) begin a character of valid UTF-8 that
// more bytes may complete.
bool BeginsUtf8Character(BytesView bytes) {
  if (bytes.empty()) return false;
  const std::uint8_t b = bytes[0];
  const std::size_t length = b >= 0xC2 && b <= 0xDF ? 2 : b >= 0xE0 && b <= 0xEF ? 3 : b >= 0xF0 && b <= 0xF4 ? 4 : 0;
  if (bytes.size() >= length) return false;
  if (bytes.size() >= 2) {
    const std::uint8_t low = b == 0xE0 ? 0xA0 : b == 0xF0 ? 0x90 : 0x80;
    const std::uint8_t high = b == 0xED ? 0x9F : b == 0xF4 ? 0x8F : 0xBF;
    if (bytes[1] < low || bytes[1] > high) return false;
  }
  return bytes.size() < 3 || (bytes[2] & 0xC0) == 0x80;
}

}  // namespace

bool Base64StreamDecoder::DecodeToUtf8(BytesView chunk, bool last, Bytes& utf8, Text& text) {
  if (!Usable()) return false;
  try {
    // A slice at a time, so that the bytes between the two passes stay in
    // the processor's nearest caches.
    constexpr std::size_t kSlice = 16 * 1024;
    do {
      const BytesView slice = chunk.substr(0, kSlice);
      chunk.remove_prefix(slice.size());
      const bool end = last && chunk.empty();
      // The bytes of the cut character first, then the slice's.
      bytes_.resize(cut_size_ + base64_detail::MaxDecodedSize(slice.size()) + 8);
      std::memcpy(bytes_.data(), cut_, cut_size_);
      std::size_t count = cut_size_ + base64_detail::ResumeRun(slice.data(), slice.size(), variant_, acc_, pending_,
                                                               stopped_, bytes_.data() + cut_size_);
      cut_size_ = 0;
      if (end) {
        count += base64_detail::FinishRun(acc_, pending_, bytes_.data() + count);
        pending_ = 0;
      }
      const BytesView bytes(bytes_.data(), count);
      if (passes_utf8_) {
        // Valid UTF-8 is its own text's UTF-8; the decoder takes nothing of
        // it and so stands as at the start for whatever follows.
        const std::size_t at = utf8.size();
        const std::size_t valid = AppendValidUtf8(bytes, utf8);
        const BytesView rest = bytes.substr(valid);
        if (rest.empty() || (!end && BeginsUtf8Character(rest))) {
          std::memcpy(cut_, rest.data(), rest.size());
          cut_size_ = rest.size();
          continue;
        }
        utf8.resize(at);  // this slice goes as text, whole
        passes_utf8_ = false;
      }
      const std::size_t at = text.size();
      if (!charset_->Decode(bytes, end, text)) return false;
      for (std::size_t k = at; k < text.size(); ++k) text[k] = text[k] == 0 ? u' ' : text[k];
    } while (!chunk.empty());
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
