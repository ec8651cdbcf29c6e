#include "repair/native_pages.h"

#include <unicode/ucnv.h>
#include <unicode/uset.h>
#include <unicode/utf16.h>

#include <algorithm>
#include <array>
#include <memory>
#include <utility>
#include <vector>

#include "codec/charset_conversion.h"

namespace mok {

struct SingleBytePage {
  // The character of each byte, or -1 where the byte has none.
  std::array<std::int32_t, 256> decode{};
  // The same where the character encodes back to the byte, else -1.
  std::array<std::int32_t, 256> exact{};
  // The encoding of the BMP in blocks of 256 units: block_of[unit >> 8] is
  // the block of the unit's high byte, each entry 0x100 + the unit's byte or
  // 0 where it has none. Block 0 maps nothing and stands for every block
  // without a mapping.
  std::array<std::uint16_t, 256> block_of{};
  std::vector<std::uint16_t> blocks;
  // Supplementary code points the page maps (none in the pages known here),
  // sorted.
  std::vector<std::pair<char32_t, std::uint8_t>> astral;
};

namespace {

bool IsLead(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsTrail(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }
bool IsKeptByte(char16_t unit) { return unit >= 0xDC80 && unit <= 0xDCFF; }

constinit thread_local bool icu_only = false;

struct ConverterCloser {
  void operator()(UConverter* converter) const { ucnv_close(converter); }
};
struct SetCloser {
  void operator()(USet* set) const { uset_close(set); }
};

// The code pages whose converters may take one byte per character: every
// such page of the code-page table. A page whose converter turns out to be
// otherwise gets no tables and stays with its converter.
constexpr std::int32_t kCandidates[] = {
    874,   1258, 1252, 28591, 10000, 850,   437,   37,    500,   1250,  28592, 10029, 852,   1253, 28597, 10006, 737,
    869,   1251, 28595, 10007, 866,   20866, 21866, 855,   1256,  1255,  1254,  28599, 1257,  28603, 28598, 28596,
};
constexpr std::size_t kCandidateCount = std::size(kCandidates);

// A code page's slot is kSlotOf[code_page % kModulus]: the least modulus
// under which no two candidates share a remainder, found when compiling.
constexpr std::uint32_t FindModulus() {
  for (std::uint32_t m = kCandidateCount;; ++m) {
    std::array<bool, 1024> taken{};
    bool clash = false;
    for (const std::int32_t page : kCandidates) {
      const std::uint32_t r = static_cast<std::uint32_t>(page) % m;
      if (taken[r]) clash = true;
      taken[r] = true;
    }
    if (!clash) return m;
  }
}
constexpr std::uint32_t kModulus = FindModulus();
static_assert(kModulus <= 1024);

constexpr auto kSlotOf = [] {
  std::array<std::int8_t, kModulus> slots{};
  slots.fill(-1);
  for (std::size_t i = 0; i < kCandidateCount; ++i) {
    slots[static_cast<std::uint32_t>(kCandidates[i]) % kModulus] = static_cast<std::int8_t>(i);
  }
  return slots;
}();

// Reads the tables from the code page's converter, set to stop at anything it
// cannot convert as the repair steps' converters are; nullptr when the
// converter is missing or does not take exactly one byte per character.
std::unique_ptr<const SingleBytePage> ReadPage(std::int32_t code_page) {
  const char* name = IcuConverterName(code_page);
  if (name == nullptr) return nullptr;
  UErrorCode err = U_ZERO_ERROR;
  std::unique_ptr<UConverter, ConverterCloser> converter(ucnv_open(name, &err));
  if (U_FAILURE(err)) return nullptr;
  const UConverterType type = ucnv_getType(converter.get());
  if ((type != UCNV_SBCS && type != UCNV_LATIN_1) || ucnv_getMinCharSize(converter.get()) != 1 ||
      ucnv_getMaxCharSize(converter.get()) != 1) {
    return nullptr;
  }
  ucnv_setToUCallBack(converter.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &err);
  ucnv_setFromUCallBack(converter.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &err);
  if (U_FAILURE(err)) return nullptr;

  auto page = std::make_unique<SingleBytePage>();
  for (int b = 0; b < 256; ++b) {
    const char byte = static_cast<char>(b);
    const char* source = &byte;
    UChar units[4];
    UChar* target = units;
    err = U_ZERO_ERROR;
    ucnv_resetToUnicode(converter.get());
    ucnv_toUnicode(converter.get(), &target, units + 4, &source, &byte + 1, nullptr, true, &err);
    if (U_FAILURE(err)) {
      page->decode[b] = -1;
      continue;
    }
    // One byte, one unit, and never a surrogate: what the decoding by table assumes.
    if (target - units != 1 || (units[0] >= 0xD800 && units[0] <= 0xDFFF)) return nullptr;
    page->decode[b] = units[0];
  }

  // Whatever the converter maps, with fallbacks or without, is in this set;
  // each member is encoded with fallbacks off to see whether it maps.
  std::unique_ptr<USet, SetCloser> set(uset_openEmpty());
  err = U_ZERO_ERROR;
  ucnv_getUnicodeSet(converter.get(), set.get(), UCNV_ROUNDTRIP_AND_FALLBACK_SET, &err);
  if (U_FAILURE(err)) return nullptr;
  std::vector<std::uint16_t> bmp(0x10000, 0);
  for (char16_t byte = 0x80; byte <= 0xFF; ++byte) bmp[0xDC00 + byte] = 0x100 + byte;
  const int32_t ranges = uset_getItemCount(set.get());
  for (int32_t r = 0; r < ranges; ++r) {
    UChar32 start = 0, end = 0;
    err = U_ZERO_ERROR;
    if (uset_getItem(set.get(), r, &start, &end, nullptr, 0, &err) != 0 || U_FAILURE(err)) return nullptr;
    for (UChar32 c = start; c <= end; ++c) {
      if (c >= 0xD800 && c <= 0xDFFF) continue;
      UChar units[2];
      int32_t length = 0;
      U16_APPEND_UNSAFE(units, length, c);
      const UChar* source = units;
      char bytes[8];
      char* target = bytes;
      err = U_ZERO_ERROR;
      ucnv_resetFromUnicode(converter.get());
      ucnv_fromUnicode(converter.get(), &target, bytes + sizeof bytes, &source, units + length, nullptr, true, &err);
      if (U_FAILURE(err)) continue;
      if (target - bytes != 1) return nullptr;
      const auto byte = static_cast<std::uint8_t>(bytes[0]);
      if (c < 0x10000) {
        bmp[static_cast<std::size_t>(c)] = 0x100 + byte;
      } else {
        page->astral.emplace_back(static_cast<char32_t>(c), byte);
      }
    }
  }
  std::sort(page->astral.begin(), page->astral.end());
  for (std::size_t b = 0; b < 256; ++b) {
    const std::int32_t unit = page->decode[b];
    page->exact[b] = unit >= 0 && bmp[static_cast<std::size_t>(unit)] == 0x100 + b ? unit : -1;
  }

  page->blocks.assign(256, 0);
  for (std::size_t high = 0; high < 256; ++high) {
    const auto first = bmp.begin() + static_cast<std::ptrdiff_t>(high * 256);
    if (std::all_of(first, first + 256, [](std::uint16_t v) { return v == 0; })) continue;
    page->block_of[high] = static_cast<std::uint16_t>(page->blocks.size() / 256);
    page->blocks.insert(page->blocks.end(), first, first + 256);
  }
  return page;
}

template <std::size_t I>
const SingleBytePage* PageAt() {
  static const std::unique_ptr<const SingleBytePage> page = ReadPage(kCandidates[I]);
  return page.get();
}

template <std::size_t... I>
constexpr auto MakePageGetters(std::index_sequence<I...>) {
  return std::array<const SingleBytePage* (*)(), sizeof...(I)>{&PageAt<I>...};
}
constexpr auto kPageGetters = MakePageGetters(std::make_index_sequence<kCandidateCount>());

// The byte of the unit at text[i] (of the pair there, which then moves i on),
// or -1 where the page has none.
inline int ByteOf(const SingleBytePage& page, TextView text, std::size_t& i) noexcept {
  const char16_t unit = text[i];
  const std::uint16_t value = page.blocks[page.block_of[unit >> 8] * 256u + (unit & 0xFFu)];
  if (value != 0) return value & 0xFF;
  if (page.astral.empty() || !IsLead(unit) || i + 1 >= text.size() || !IsTrail(text[i + 1])) return -1;
  const char32_t c = 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (text[i + 1] - 0xDC00);
  const auto found = std::lower_bound(page.astral.begin(), page.astral.end(), std::make_pair(c, std::uint8_t{0}));
  if (found == page.astral.end() || found->first != c) return -1;
  ++i;
  return found->second;
}

// Writes the UTF-8 of the unit at text[i] (of the pair there, which then
// moves i on) at out; the number of bytes, or 0 where it has none.
inline std::size_t Utf8Of(TextView text, std::size_t& i, std::uint8_t* out) noexcept {
  const char16_t unit = text[i];
  if (unit < 0x80) {
    out[0] = static_cast<std::uint8_t>(unit);
    return 1;
  }
  if (unit < 0x800) {
    out[0] = static_cast<std::uint8_t>(0xC0 | (unit >> 6));
    out[1] = static_cast<std::uint8_t>(0x80 | (unit & 0x3F));
    return 2;
  }
  if (unit < 0xD800 || unit > 0xDFFF) {
    out[0] = static_cast<std::uint8_t>(0xE0 | (unit >> 12));
    out[1] = static_cast<std::uint8_t>(0x80 | ((unit >> 6) & 0x3F));
    out[2] = static_cast<std::uint8_t>(0x80 | (unit & 0x3F));
    return 3;
  }
  if (IsLead(unit) && i + 1 < text.size() && IsTrail(text[i + 1])) {
    const char32_t c = 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (text[i + 1] - 0xDC00);
    ++i;
    out[0] = static_cast<std::uint8_t>(0xF0 | (c >> 18));
    out[1] = static_cast<std::uint8_t>(0x80 | ((c >> 12) & 0x3F));
    out[2] = static_cast<std::uint8_t>(0x80 | ((c >> 6) & 0x3F));
    out[3] = static_cast<std::uint8_t>(0x80 | (c & 0x3F));
    return 4;
  }
  if (IsKeptByte(unit)) {
    out[0] = static_cast<std::uint8_t>(unit - 0xDC00);
    return 1;
  }
  return 0;
}

// Reads UTF-8 as ICU's converter does; with kWrite, writes the units at out.
// units is the number of units the bytes give.
template <bool kWrite>
bool ReadUtf8(BytesView bytes, bool flush, char16_t* out, std::size_t& units, std::size_t& pending,
              DecodeError& error) noexcept {
  pending = 0;
  units = 0;
  const std::size_t n = bytes.size();
  std::size_t i = 0;
  while (i < n) {
    const std::uint8_t lead = bytes[i];
    if (lead < 0x80) {
      if constexpr (kWrite) out[units] = lead;
      ++units;
      ++i;
      continue;
    }
    // The length of the character the lead byte begins, and the range of
    // its second byte, which rules out overlong forms, surrogates and code
    // points beyond U+10FFFF. A malformed sequence is the lead byte and the
    // bytes after it that fit, up to the first that does not.
    std::size_t length = 0;
    std::uint8_t low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    } else {
      error = {i, 1};
      return false;
    }
    std::size_t k = 1;
    for (; k < length && i + k < n; ++k) {
      const std::uint8_t trail = bytes[i + k];
      if (k == 1 ? (trail < low || trail > high) : (trail < 0x80 || trail > 0xBF)) {
        error = {i, k};
        return false;
      }
    }
    if (k < length) {
      // The bytes end inside the character.
      if (flush) {
        error = {i, k};
        return false;
      }
      pending = k;
      break;
    }
    char32_t c = lead & (0x7Fu >> length);
    for (k = 1; k < length; ++k) c = (c << 6) | (bytes[i + k] & 0x3Fu);
    if (c < 0x10000) {
      if constexpr (kWrite) out[units] = static_cast<char16_t>(c);
      ++units;
    } else {
      if constexpr (kWrite) {
        out[units] = static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
        out[units + 1] = static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
      }
      units += 2;
    }
    i += length;
  }
  return true;
}

}  // namespace

const SingleBytePage* SingleBytePageOf(std::int32_t code_page) {
  const std::int8_t slot = kSlotOf[static_cast<std::uint32_t>(code_page) % kModulus];
  if (slot < 0 || kCandidates[slot] != code_page) return nullptr;
  return kPageGetters[static_cast<std::size_t>(slot)]();
}

bool EncodeSingleByte(const SingleBytePage& page, TextView text, Bytes& out) {
  out.resize(text.size());
  std::uint8_t* o = out.data();
  for (std::size_t i = 0; i < text.size(); ++i) {
    const int byte = ByteOf(page, text, i);
    if (byte < 0) {
      out.clear();
      return false;
    }
    *o++ = static_cast<std::uint8_t>(byte);
  }
  out.resize(static_cast<std::size_t>(o - out.data()));
  return true;
}

bool EncodesToSingleByte(const SingleBytePage& page, TextView text, BytesView bytes) noexcept {
  if (bytes.size() > text.size()) return false;
  std::size_t at = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const int byte = ByteOf(page, text, i);
    if (byte < 0 || at == bytes.size() || bytes[at] != byte) return false;
    ++at;
  }
  return at == bytes.size();
}

bool DecodeSingleByte(const SingleBytePage& page, BytesView bytes, Text& out, DecodeError& error) {
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (page.decode[bytes[i]] < 0) {
      error = {i, 1};
      return false;
    }
  }
  const std::size_t start = out.size();
  out.resize(start + bytes.size());
  char16_t* o = out.data() + start;
  for (std::size_t i = 0; i < bytes.size(); ++i) o[i] = static_cast<char16_t>(page.decode[bytes[i]]);
  return true;
}

bool DecodeSingleByteExactly(const SingleBytePage& page, BytesView bytes, Text& out) {
  // Short runs (most of what the steps decode) in one pass through a buffer
  // on the stack; longer ones are checked first, then written.
  constexpr std::size_t kShort = 256;
  if (bytes.size() <= kShort) {
    char16_t buffer[kShort];
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      const std::int32_t unit = page.exact[bytes[i]];
      if (unit < 0) return false;
      buffer[i] = static_cast<char16_t>(unit);
    }
    out.append(buffer, bytes.size());
    return true;
  }
  for (const std::uint8_t byte : bytes) {
    if (page.exact[byte] < 0) return false;
  }
  const std::size_t start = out.size();
  out.resize(start + bytes.size());
  char16_t* o = out.data() + start;
  for (std::size_t i = 0; i < bytes.size(); ++i) o[i] = static_cast<char16_t>(page.exact[bytes[i]]);
  return true;
}

bool EncodeUtf8Strict(TextView text, Bytes& out) {
  out.resize(text.size() * 3);
  std::uint8_t* o = out.data();
  for (std::size_t i = 0; i < text.size(); ++i) {
    const std::size_t n = Utf8Of(text, i, o);
    if (n == 0) {
      out.clear();
      return false;
    }
    o += n;
  }
  out.resize(static_cast<std::size_t>(o - out.data()));
  return true;
}

bool EncodesToUtf8(TextView text, BytesView bytes) noexcept {
  std::size_t at = 0;
  std::uint8_t piece[4];
  for (std::size_t i = 0; i < text.size(); ++i) {
    const std::size_t n = Utf8Of(text, i, piece);
    if (n == 0 || bytes.size() - at < n || !std::equal(piece, piece + n, bytes.begin() + at)) return false;
    at += n;
  }
  return at == bytes.size();
}

bool DecodeUtf8Strict(BytesView bytes, bool flush, Text& out, std::size_t& pending, DecodeError& error) {
  // Checked first, so that bytes that fail to decode cost no allocation.
  std::size_t units = 0;
  if (!ReadUtf8<false>(bytes, flush, nullptr, units, pending, error)) return false;
  const std::size_t start = out.size();
  out.resize(start + units);
  return ReadUtf8<true>(bytes, flush, out.data() + start, units, pending, error);
}

IcuOnlyStepConversions::IcuOnlyStepConversions() : was_(icu_only) { icu_only = true; }
IcuOnlyStepConversions::~IcuOnlyStepConversions() { icu_only = was_; }

bool NativeStepConversions() noexcept { return !icu_only; }

}  // namespace mok
