#include "repair/native_double_byte.h"

#include <unicode/ucnv.h>
#include <unicode/uset.h>
#include <unicode/utf16.h>

#include <algorithm>
#include <array>
#include <memory>
#include <optional>
#include <vector>

#include "repair/decoder_extras.h"

namespace mok {

// What a first byte is.
enum class FirstByte : std::uint8_t {
  kRefused,  // no character, or one that does not encode back to the byte
  kSingle,   // a character alone that encodes back to the byte
  kLead,     // the first of two bytes (or of three)
  kAskIcu,   // the converter may read it otherwise in a longer text
};

struct DoubleBytePage {
  std::array<FirstByte, 256> first{};
  // The character of each kSingle byte.
  std::array<char16_t, 256> single{};
  // The pairs: row_of[lead] is the row of a lead byte, and each row holds the
  // trail bytes first_trail .. first_trail + row_width - 1 (any other trail
  // byte is refused). An entry is 0 where the pair is refused (no character,
  // or one that does not encode back to the pair), 1 where the converter has
  // to decide, 2 with a row in the high half where the pair begins a
  // character of three bytes (EUC-JP's JIS X 0212), whose row holds the third
  // bytes likewise, else the character's unit, or its two units with the
  // second in the high half.
  std::array<std::uint16_t, 256> row_of{};
  std::uint32_t first_trail = 0;
  std::uint32_t row_width = 0;
  std::vector<std::uint32_t> rows;
  // The encoding of the BMP in blocks of 256 units, as in the single-byte
  // pages: block_of[unit >> 8] is the block of the unit's high byte, block 0
  // maps nothing. An entry is 0 where the unit has no bytes, 1 where the
  // converter has to decide, 0x100 + byte for one byte, lead << 8 | trail
  // (from 0x8000: every lead byte is one of the upper half) for two, and for
  // three, which all begin with the byte three_prefix and go on with a byte
  // of the upper half, (second & 0x7F) << 8 | third; 2 for four bytes.
  std::array<std::uint16_t, 256> block_of{};
  std::vector<std::uint16_t> blocks;
  std::uint8_t three_prefix = 0;
  // GB18030's characters of four bytes b1 b2 b3 b4 (b2 and b4 digits), by
  // their index ((b1 - 0x81) * 10 + b2 - 0x30) * 1260 + (b3 - 0x81) * 10 +
  // b4 - 0x30: those below four.size() by table (the BMP's), each entry a
  // unit, kNone or kAsk; from supplementary_from on (where not 0) U+10000
  // and the code points after it in order; any other for the converter.
  std::vector<std::uint16_t> four;
  std::uint32_t supplementary_from = 0;
  // The BMP units of four bytes, in runs of units whose indexes follow one
  // another, by first unit.
  struct FourRun {
    char16_t unit;
    std::uint32_t index;
  };
  std::vector<FourRun> four_runs;
};

namespace {

// Entries of the tables of pairs and of units: refused, or for the converter
// to decide; of pairs, the start of three bytes or of four; of units, four
// bytes.
constexpr std::uint16_t kNone = 0;
constexpr std::uint16_t kAsk = 1;
constexpr std::uint16_t kThree = 2;
constexpr std::uint16_t kFour = 3;
constexpr std::uint16_t kFourBytes = 2;

constexpr std::uint32_t kSupplementaryCount = 0x100000;

bool IsDigit(std::uint8_t byte) { return byte >= 0x30 && byte <= 0x39; }
bool IsFourByteLead(std::uint8_t byte) { return byte >= 0x81 && byte <= 0xFE; }

std::uint32_t FourByteIndex(const std::uint8_t* b) {
  return ((b[0] - 0x81u) * 10 + (b[1] - 0x30u)) * 1260 + (b[2] - 0x81u) * 10 + (b[3] - 0x30u);
}

void FourBytesOf(std::uint32_t index, std::uint8_t* out) {
  out[3] = static_cast<std::uint8_t>(0x30 + index % 10);
  index /= 10;
  out[2] = static_cast<std::uint8_t>(0x81 + index % 126);
  index /= 126;
  out[1] = static_cast<std::uint8_t>(0x30 + index % 10);
  out[0] = static_cast<std::uint8_t>(0x81 + index / 10);
}

// Writes the bytes of a unit's entry at out; their number, 0 for kNone and kAsk.
inline std::size_t BytesOf(const DoubleBytePage& page, char16_t unit, std::uint16_t value, std::uint8_t* out) noexcept {
  if (value >= 0x8000) {
    out[0] = static_cast<std::uint8_t>(value >> 8);
    out[1] = static_cast<std::uint8_t>(value & 0xFF);
    return 2;
  }
  if (value >= 0x200) {
    out[0] = page.three_prefix;
    out[1] = static_cast<std::uint8_t>(0x80 | value >> 8);
    out[2] = static_cast<std::uint8_t>(value & 0xFF);
    return 3;
  }
  if (value >= 0x100) {
    out[0] = static_cast<std::uint8_t>(value & 0xFF);
    return 1;
  }
  if (value == kFourBytes) {
    // The run the unit is in: the last that starts at or before it.
    const auto run = std::upper_bound(page.four_runs.begin(), page.four_runs.end(), unit,
                                      [](char16_t u, const DoubleBytePage::FourRun& r) { return u < r.unit; }) -
                     1;
    FourBytesOf(run->index + (unit - run->unit), out);
    return 4;
  }
  return 0;
}

struct ConverterCloser {
  void operator()(UConverter* converter) const { ucnv_close(converter); }
};
struct SetCloser {
  void operator()(USet* set) const { uset_close(set); }
};

bool IsSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDFFF; }

// What the converter makes of some units or bytes alone, from its reset
// state and without flushing, so that anything it holds back for a longer
// mapping shows as pending.
struct Alone {
  bool ok = false;
  std::size_t length = 0;  // of the output
  std::uint8_t bytes[8] = {};
  char16_t units[8] = {};
  std::size_t pending = 0;
};

Alone EncodeAlone(UConverter* converter, const char16_t* units, std::size_t count) {
  Alone out;
  ucnv_resetFromUnicode(converter);
  char buffer[8];
  char* target = buffer;
  const UChar* source = reinterpret_cast<const UChar*>(units);
  UErrorCode err = U_ZERO_ERROR;
  ucnv_fromUnicode(converter, &target, buffer + sizeof buffer, &source, source + count, nullptr, false, &err);
  if (U_FAILURE(err)) return out;
  out.ok = true;
  out.length = static_cast<std::size_t>(target - buffer);
  std::copy(buffer, target, out.bytes);
  const int32_t pending = ucnv_fromUCountPending(converter, &err);
  out.pending = U_SUCCESS(err) && pending > 0 ? static_cast<std::size_t>(pending) : 0;
  return out;
}

Alone DecodeAlone(UConverter* converter, const std::uint8_t* bytes, std::size_t count, bool flush) {
  Alone out;
  ucnv_resetToUnicode(converter);
  UChar buffer[8];
  UChar* target = buffer;
  const char* source = reinterpret_cast<const char*>(bytes);
  UErrorCode err = U_ZERO_ERROR;
  ucnv_toUnicode(converter, &target, buffer + std::size(buffer), &source, source + count, nullptr, flush, &err);
  if (U_FAILURE(err)) return out;
  out.ok = true;
  out.length = static_cast<std::size_t>(target - buffer);
  std::copy(buffer, target, out.units);
  const int32_t pending = flush ? 0 : ucnv_toUCountPending(converter, &err);
  out.pending = U_SUCCESS(err) && pending > 0 ? static_cast<std::size_t>(pending) : 0;
  return out;
}

// What every BMP unit but the lead surrogates encodes to alone, found in one
// run of a step converter over those that may encode (each unit alone takes
// the converter's fixed cost, and each it cannot map its slow error path):
// the converter's callback writes kept bytes and extra characters as it does
// alone, and a unit it cannot map is skipped, told apart from one that writes
// nothing. Exact for converters without mappings of several characters, whose
// units do not look ahead to the next.
class UnitEncodings {
 public:
  // mapped: the units with a mapping (the converter's set); only they, the
  // kept bytes and the extra characters can encode, and only they are run.
  UnitEncodings(std::int32_t code_page, const USet* mapped)
      : skipped_(0x10000, true), start_(0x10000, 0), ends_(0x10000, 0) {
    std::unique_ptr<UConverter, ConverterCloser> converter(OpenStepConverter(code_page));
    if (converter == nullptr) return;
    UErrorCode err = U_ZERO_ERROR;
    ucnv_setFromUCallBack(converter.get(), SkipUnmapped, this, &step_callback_, &step_context_, &err);
    std::vector<bool> may_encode(0x10000, false);
    for (int32_t i = 0, n = uset_getRangeCount(mapped); i < n; ++i) {
      UChar32 start = 0, end = 0;
      UErrorCode range_err = U_ZERO_ERROR;
      uset_getItem(mapped, i, &start, &end, nullptr, 0, &range_err);
      if (U_FAILURE(range_err)) return;
      for (UChar32 c = start; c <= std::min<UChar32>(end, 0xFFFF); ++c) may_encode[static_cast<std::size_t>(c)] = true;
    }
    for (std::uint32_t u = 0xDC80; u <= 0xDCFF; ++u) may_encode[u] = true;
    for (const ExtraCharacter& e : ExtraCharacters(code_page)) may_encode[e.unit] = true;
    std::vector<char16_t> units;
    units.reserve(0x10000);
    for (std::uint32_t u = 0; u < 0x10000; ++u) {
      if (U16_IS_LEAD(u) || !may_encode[u]) continue;
      units.push_back(static_cast<char16_t>(u));
      skipped_[u] = false;
    }
    std::vector<char> bytes(units.size() * 8);
    std::vector<std::int32_t> offsets(bytes.size());
    char* target = bytes.data();
    const UChar* source = reinterpret_cast<const UChar*>(units.data());
    ucnv_fromUnicode(converter.get(), &target, bytes.data() + bytes.size(), &source, source + units.size(),
                     offsets.data(), true, &err);
    if (U_FAILURE(err)) return;
    // Each unit's bytes follow the bytes of the units before it.
    const auto written = static_cast<std::size_t>(target - bytes.data());
    std::size_t at = 0;
    for (std::size_t i = 0; i < units.size(); ++i) {
      start_[units[i]] = static_cast<std::uint32_t>(bytes_.size());
      while (at < written && offsets[at] == static_cast<std::int32_t>(i)) bytes_.push_back(static_cast<std::uint8_t>(bytes[at++]));
      ends_[units[i]] = static_cast<std::uint32_t>(bytes_.size());
    }
    ok_ = at == written;
  }

  [[nodiscard]] bool Ok() const { return ok_; }

  // As EncodeAlone gives it, for a unit other than a lead surrogate.
  [[nodiscard]] Alone Of(char16_t unit) const {
    Alone out;
    if (skipped_[unit]) return out;
    out.ok = true;
    const std::uint32_t from = start_[unit];
    out.length = ends_[unit] - from;
    std::copy_n(bytes_.begin() + from, std::min<std::size_t>(out.length, std::size(out.bytes)), out.bytes);
    return out;
  }

 private:
  static void U_CALLCONV SkipUnmapped(const void* context, UConverterFromUnicodeArgs* args, const UChar* units,
                                      int32_t length, UChar32 code_point, UConverterCallbackReason reason,
                                      UErrorCode* err) {
    const auto* self = static_cast<const UnitEncodings*>(context);
    self->step_callback_(self->step_context_, args, units, length, code_point, reason, err);
    if (reason > UCNV_IRREGULAR || U_SUCCESS(*err)) return;
    *err = U_ZERO_ERROR;
    if (length == 1) const_cast<UnitEncodings*>(self)->skipped_[units[0]] = true;
  }

  UConverterFromUCallback step_callback_ = nullptr;
  const void* step_context_ = nullptr;
  std::vector<bool> skipped_;
  std::vector<std::uint32_t> start_;
  std::vector<std::uint32_t> ends_;
  std::vector<std::uint8_t> bytes_;
  bool ok_ = false;
};

// Whether a character read from these bytes, which encodes to others (or to
// none), makes the text it is in encode to something else: one of the two is
// a prefix of the other, and the bytes after could make up the difference.
bool PrefixOfOther(const std::uint8_t* a, std::size_t a_length, const std::uint8_t* b, std::size_t b_length) {
  const std::size_t n = std::min(a_length, b_length);
  return n > 0 && std::equal(a, a + n, b);
}

enum class Exactness { kExact, kRefused, kAskIcu };

// Whether a character read from bytes (one to four) encodes back to exactly
// them, or makes any text it is in encode to other bytes (kRefused), or
// whether that depends on the rest of the text. Where exact, units holds its
// one unit, or its two units with the second in the high half.
Exactness ExactnessOf(UConverter* converter, const DoubleBytePage& page, const Alone& decoded,
                      const std::uint8_t* bytes, std::size_t count, std::uint32_t& units) {
  if (decoded.length == 1) {
    const char16_t unit = decoded.units[0];
    if (IsSurrogate(unit)) return Exactness::kAskIcu;
    const std::uint16_t value = page.blocks[page.block_of[unit >> 8] * 256u + (unit & 0xFFu)];
    if (value == kAsk) return Exactness::kAskIcu;
    std::uint8_t encoded[4];
    const std::size_t length = BytesOf(page, unit, value, encoded);
    if (length == count && std::equal(encoded, encoded + length, bytes)) {
      units = unit;
      return Exactness::kExact;
    }
    return PrefixOfOther(encoded, length, bytes, count) ? Exactness::kAskIcu : Exactness::kRefused;
  }
  if (decoded.length == 2 && U16_IS_LEAD(decoded.units[0]) && U16_IS_TRAIL(decoded.units[1])) {
    const Alone encoded = EncodeAlone(converter, decoded.units, 2);
    if (!encoded.ok) return Exactness::kRefused;
    if (encoded.pending > 0) return Exactness::kAskIcu;
    if (encoded.length == count && std::equal(encoded.bytes, encoded.bytes + count, bytes)) {
      units = decoded.units[0] | static_cast<std::uint32_t>(decoded.units[1]) << 16;
      return Exactness::kExact;
    }
    return PrefixOfOther(encoded.bytes, encoded.length, bytes, count) ? Exactness::kAskIcu : Exactness::kRefused;
  }
  return Exactness::kAskIcu;
}

// Reads the tables from the code page's step converter; nullptr when it is
// missing or does not take one to four bytes per character, or its
// characters' bytes do not fit the tables.
std::unique_ptr<const DoubleBytePage> ReadPage(std::int32_t code_page) {
  std::unique_ptr<UConverter, ConverterCloser> owned(OpenStepConverter(code_page));
  UConverter* converter = owned.get();
  if (converter == nullptr) return nullptr;
  const UConverterType type = ucnv_getType(converter);
  if ((type != UCNV_MBCS && type != UCNV_DBCS) || ucnv_getMinCharSize(converter) != 1 ||
      ucnv_getMaxCharSize(converter) < 2 || ucnv_getMaxCharSize(converter) > 4) {
    return nullptr;
  }
  const bool four_bytes = ucnv_getMaxCharSize(converter) == 4;
  auto page = std::make_unique<DoubleBytePage>();

  // The mappings of several characters: their first units look ahead.
  std::unique_ptr<USet, SetCloser> set(uset_openEmpty());
  UErrorCode err = U_ZERO_ERROR;
  ucnv_getUnicodeSet(converter, set.get(), UCNV_ROUNDTRIP_AND_FALLBACK_SET, &err);
  if (U_FAILURE(err)) return nullptr;
  std::vector<char16_t> look_ahead;
  for (int32_t i = 0, n = uset_getItemCount(set.get()); i < n; ++i) {
    UChar32 start = 0, end = 0;
    UChar string[16];
    err = U_ZERO_ERROR;
    const int32_t length = uset_getItem(set.get(), i, &start, &end, string, std::size(string), &err);
    if (U_FAILURE(err)) return nullptr;
    if (length > 0) look_ahead.push_back(string[0]);
  }
  // Every BMP unit alone, in one run where no unit looks ahead; a lead
  // surrogate may pair with what follows.
  std::optional<UnitEncodings> run;
  if (look_ahead.empty()) {
    run.emplace(code_page, set.get());
    if (!run->Ok()) run.reset();
  }
  std::vector<std::uint16_t> bmp(0x10000, kNone);
  for (std::uint32_t u = 0; u < 0x10000; ++u) {
    const auto unit = static_cast<char16_t>(u);
    if (U16_IS_LEAD(unit)) {
      bmp[u] = kAsk;
      continue;
    }
    const Alone encoded = run ? run->Of(unit) : EncodeAlone(converter, &unit, 1);
    if (!encoded.ok) continue;
    const std::uint8_t* b = encoded.bytes;
    if (encoded.pending > 0 || encoded.length == 0 || encoded.length > 4) {
      bmp[u] = kAsk;
    } else if (encoded.length == 4) {
      if (!IsFourByteLead(b[0]) || !IsDigit(b[1]) || !IsFourByteLead(b[2]) || !IsDigit(b[3])) return nullptr;
      const std::uint32_t index = FourByteIndex(b);
      bmp[u] = kFourBytes;
      auto& runs = page->four_runs;
      if (runs.empty() || u - runs.back().unit != index - runs.back().index || bmp[u - 1] != kFourBytes) {
        runs.push_back({unit, index});
      }
      page->four.resize(std::max<std::size_t>(page->four.size(), index + 1), kNone);
    } else if (encoded.length == 1) {
      bmp[u] = static_cast<std::uint16_t>(0x100 + b[0]);
    } else if (encoded.length == 2) {
      if (b[0] < 0x80) return nullptr;
      bmp[u] = static_cast<std::uint16_t>(b[0] << 8 | b[1]);
    } else {
      if (page->three_prefix == 0) page->three_prefix = b[0];
      if (b[0] != page->three_prefix || b[0] == 0 || b[1] < 0x82) return nullptr;
      bmp[u] = static_cast<std::uint16_t>((b[1] & 0x7F) << 8 | b[2]);
    }
  }
  // The first unit of each mapping of several characters: the converter
  // looks ahead from it (a unit it held back above is kAsk already).
  for (const char16_t unit : look_ahead) bmp[unit] = kAsk;
  page->blocks.assign(256, kNone);
  for (std::size_t high = 0; high < 256; ++high) {
    const auto from = bmp.begin() + static_cast<std::ptrdiff_t>(high * 256);
    if (std::all_of(from, from + 256, [](std::uint16_t v) { return v == kNone; })) continue;
    page->block_of[high] = static_cast<std::uint16_t>(page->blocks.size() / 256);
    page->blocks.insert(page->blocks.end(), from, from + 256);
  }
  page->blocks.shrink_to_fit();

  // Every first byte alone.
  std::vector<std::uint8_t> leads;
  for (std::uint32_t b = 0; b < 256; ++b) {
    const std::uint8_t byte[1] = {static_cast<std::uint8_t>(b)};
    const Alone decoded = DecodeAlone(converter, byte, 1, false);
    FirstByte& kind = page->first[b];
    if (!decoded.ok) {
      kind = FirstByte::kRefused;
    } else if (decoded.length == 0 && decoded.pending == 1) {
      // Held back: the start of a pair, unless it is a character alone that
      // may begin a longer mapping.
      kind = DecodeAlone(converter, byte, 1, true).ok ? FirstByte::kAskIcu : FirstByte::kLead;
      if (kind == FirstByte::kLead) leads.push_back(byte[0]);
    } else if (decoded.pending > 0) {
      kind = FirstByte::kAskIcu;
    } else {
      std::uint32_t units = 0;
      const Exactness exactness = ExactnessOf(converter, *page, decoded, byte, 1, units);
      if (exactness == Exactness::kRefused) {
        kind = FirstByte::kRefused;
      } else if (exactness == Exactness::kAskIcu || units > 0xFFFF) {
        kind = FirstByte::kAskIcu;
      } else {
        kind = FirstByte::kSingle;
        page->single[b] = static_cast<char16_t>(units);
      }
    }
  }

  // Every pair of a lead byte and any byte after it, and where a pair is
  // held back as the start of three bytes, every third byte after it (the
  // pairs that start GB18030's four bytes are read by their index below).
  auto entry_of = [&](const std::uint8_t* bytes, std::size_t count) -> std::uint32_t {
    const Alone decoded = DecodeAlone(converter, bytes, count, false);
    if (!decoded.ok) return kNone;
    if (decoded.pending > 0) {
      // Three bytes when the converter, flushed, finds the character cut off.
      const bool three = count == 2 && decoded.length == 0 && decoded.pending == 2 &&
                         !DecodeAlone(converter, bytes, count, true).ok;
      if (!three) return kAsk;
      // GB18030's four bytes start with a lead byte and a digit.
      if (four_bytes) return IsFourByteLead(bytes[0]) && IsDigit(bytes[1]) ? kFour : kAsk;
      return kThree;
    }
    std::uint32_t units = 0;
    switch (ExactnessOf(converter, *page, decoded, bytes, count, units)) {
      case Exactness::kExact: return units > kFour ? units : kAsk;
      case Exactness::kRefused: return kNone;
      case Exactness::kAskIcu: return kAsk;
    }
    return kAsk;
  };
  std::vector<std::array<std::uint32_t, 256>> rows(leads.size());
  for (std::size_t r = 0; r < leads.size(); ++r) {
    for (std::uint32_t t = 0; t < 256; ++t) {
      const std::uint8_t bytes[2] = {leads[r], static_cast<std::uint8_t>(t)};
      rows[r][t] = entry_of(bytes, 2);
    }
  }
  for (std::size_t r = 0; r < leads.size(); ++r) {
    for (std::uint32_t t = 0; t < 256; ++t) {
      if (rows[r][t] != kThree) continue;
      if (rows.size() >= 0xFFFF) return nullptr;
      rows[r][t] = kThree | static_cast<std::uint32_t>(rows.size()) << 16;
      std::array<std::uint32_t, 256> third{};
      for (std::uint32_t z = 0; z < 256; ++z) {
        const std::uint8_t bytes[3] = {leads[r], static_cast<std::uint8_t>(t), static_cast<std::uint8_t>(z)};
        third[z] = entry_of(bytes, 3);
      }
      rows.push_back(third);
    }
  }
  std::uint32_t low = 256, high = 0;
  for (const auto& row : rows) {
    for (std::uint32_t t = 0; t < 256; ++t) {
      if (row[t] == kNone) continue;
      low = std::min(low, t);
      high = std::max(high, t);
    }
  }
  if (low > high) low = high = 0;
  page->first_trail = low;
  page->row_width = high - low + 1;
  page->rows.reserve(rows.size() * page->row_width);
  for (std::size_t r = 0; r < rows.size(); ++r) {
    if (r < leads.size()) page->row_of[leads[r]] = static_cast<std::uint16_t>(r);
    page->rows.insert(page->rows.end(), rows[r].begin() + low, rows[r].begin() + high + 1);
  }

  // GB18030: every four bytes of the BMP's by table, and beyond the BMP the
  // order of code points, when the converter keeps to it at both ends and
  // in the middle.
  for (std::uint32_t index = 0; index < page->four.size(); ++index) {
    std::uint8_t bytes[4];
    FourBytesOf(index, bytes);
    const Alone decoded = DecodeAlone(converter, bytes, 4, false);
    std::uint32_t units = 0;
    if (!decoded.ok) {
      page->four[index] = kNone;
    } else if (decoded.pending > 0) {
      page->four[index] = kAsk;
    } else {
      switch (ExactnessOf(converter, *page, decoded, bytes, 4, units)) {
        case Exactness::kExact: page->four[index] = units > kAsk && units <= 0xFFFF ? units : kAsk; break;
        case Exactness::kRefused: page->four[index] = kNone; break;
        case Exactness::kAskIcu: page->four[index] = kAsk; break;
      }
    }
  }
  page->four.shrink_to_fit();
  page->four_runs.shrink_to_fit();
  if (four_bytes) {
    auto four_of = [&](char32_t c, std::uint32_t& index) {
      char16_t units[2];
      units[0] = static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      units[1] = static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
      const Alone encoded = EncodeAlone(converter, units, 2);
      const std::uint8_t* b = encoded.bytes;
      if (!encoded.ok || encoded.pending > 0 || encoded.length != 4 || !IsFourByteLead(b[0]) || !IsDigit(b[1]) ||
          !IsFourByteLead(b[2]) || !IsDigit(b[3])) {
        return false;
      }
      index = FourByteIndex(b);
      const Alone decoded = DecodeAlone(converter, b, 4, false);
      return decoded.ok && decoded.pending == 0 && decoded.length == 2 && decoded.units[0] == units[0] &&
             decoded.units[1] == units[1];
    };
    std::uint32_t first = 0, middle = 0, last = 0;
    if (four_of(0x10000, first) && first >= page->four.size() && four_of(0x5ABCD, middle) &&
        middle == first + 0x4ABCD && four_of(0x10FFFF, last) && last == first + kSupplementaryCount - 1) {
      page->supplementary_from = first;
    }
  }
  return page;
}

// The pages by code page, each read on first use.
template <std::int32_t kCodePage>
const DoubleBytePage* PageOf() {
  static const std::unique_ptr<const DoubleBytePage> page = ReadPage(kCodePage);
  return page.get();
}

// Walks the bytes character by character, writing the units at out (room
// for one unit a byte); the number written in units, and of the bytes left
// out at the end in pending.
NativeOutcome Walk(const DoubleBytePage& page, BytesView bytes, bool cut, char16_t* out, std::size_t& units,
                   std::size_t& pending) noexcept {
  pending = 0;
  const std::uint8_t* p = bytes.data();
  const std::uint8_t* const end = p + bytes.size();
  char16_t* o = out;
  while (p < end) {
    const std::uint8_t byte = *p;
    switch (page.first[byte]) {
      case FirstByte::kSingle:
        *o++ = page.single[byte];
        ++p;
        continue;
      case FirstByte::kLead: {
        if (p + 1 == end) {
          // A character cut off at the end: left out when the text goes on
          // after the cut, else truncated (likewise after two bytes of three).
          if (!cut) return NativeOutcome::kRefused;
          pending = 1;
          p = end;
          continue;
        }
        const std::uint32_t k = static_cast<std::uint32_t>(p[1]) - page.first_trail;
        if (k >= page.row_width) return NativeOutcome::kRefused;
        std::uint32_t entry = page.rows[page.row_of[byte] * page.row_width + k];
        std::size_t length = 2;
        if (entry == kFour) {
          if (end - p < 4) {
            // Cut off after two bytes or three (a third byte that cannot be
            // one is an error there and then).
            if (end - p == 3 && !IsFourByteLead(p[2])) return NativeOutcome::kRefused;
            if (!cut) return NativeOutcome::kRefused;
            pending = static_cast<std::size_t>(end - p);
            p = end;
            continue;
          }
          if (!IsFourByteLead(p[2]) || !IsDigit(p[3])) return NativeOutcome::kRefused;
          const std::uint32_t index = FourByteIndex(p);
          if (index < page.four.size()) {
            entry = page.four[index];
          } else if (page.supplementary_from != 0 && index - page.supplementary_from < kSupplementaryCount) {
            const std::uint32_t c = index - page.supplementary_from;
            entry = (0xD800 + (c >> 10)) | (0xDC00u + (c & 0x3FF)) << 16;
          } else {
            return NativeOutcome::kAskIcu;
          }
          length = 4;
        } else if ((entry & 0xFFFF) == kThree) {
          if (p + 2 == end) {
            if (!cut) return NativeOutcome::kRefused;
            pending = 2;
            p = end;
            continue;
          }
          const std::uint32_t z = static_cast<std::uint32_t>(p[2]) - page.first_trail;
          if (z >= page.row_width) return NativeOutcome::kRefused;
          entry = page.rows[(entry >> 16) * page.row_width + z];
          length = 3;
        }
        if (entry <= kAsk) return entry == kNone ? NativeOutcome::kRefused : NativeOutcome::kAskIcu;
        *o++ = static_cast<char16_t>(entry);
        if (entry > 0xFFFF) *o++ = static_cast<char16_t>(entry >> 16);
        p += length;
        continue;
      }
      case FirstByte::kAskIcu:
        return NativeOutcome::kAskIcu;
      case FirstByte::kRefused:
        return NativeOutcome::kRefused;
    }
  }
  units = static_cast<std::size_t>(o - out);
  return NativeOutcome::kDone;
}

}  // namespace

const DoubleBytePage* DoubleBytePageOf(std::int32_t code_page) {
  switch (code_page) {
    case 936: return PageOf<936>();
    case 950: return PageOf<950>();
    case 932: return PageOf<932>();
    case 949: return PageOf<949>();
    case 951: return PageOf<951>();
    case 20932: return PageOf<20932>();
    case 54936: return PageOf<54936>();
    default: return nullptr;
  }
}

bool HasDoubleBytePage(std::int32_t code_page) noexcept {
  switch (code_page) {
    case 936:
    case 950:
    case 932:
    case 949:
    case 951:
    case 20932:
    case 54936: return true;
    default: return false;
  }
}

NativeOutcome EncodeDoubleByte(const DoubleBytePage& page, TextView text, Bytes& out) {
  out.resize(text.size() * 4);
  std::uint8_t* o = out.data();
  for (const char16_t unit : text) {
    const std::uint16_t value = page.blocks[page.block_of[unit >> 8] * 256u + (unit & 0xFFu)];
    if (value >= 0x8000) {
      o[0] = static_cast<std::uint8_t>(value >> 8);
      o[1] = static_cast<std::uint8_t>(value & 0xFF);
      o += 2;
    } else if (value > kAsk) {
      o += BytesOf(page, unit, value, o);
    } else {
      out.clear();
      return value == kNone ? NativeOutcome::kRefused : NativeOutcome::kAskIcu;
    }
  }
  out.resize(static_cast<std::size_t>(o - out.data()));
  return NativeOutcome::kDone;
}

NativeOutcome DecodeDoubleByteExactly(const DoubleBytePage& page, BytesView bytes, bool cut, Text& out,
                                      std::size_t& pending) {
  // A character of one to four bytes gives no more units than it has bytes.
  // Short runs (most of what the steps decode) go through a buffer on the
  // stack, so that the many that are refused cost no allocation.
  constexpr std::size_t kShort = 256;
  std::size_t units = 0;
  if (bytes.size() <= kShort) {
    char16_t buffer[kShort];
    const NativeOutcome outcome = Walk(page, bytes, cut, buffer, units, pending);
    if (outcome == NativeOutcome::kDone) out.append(buffer, units);
    return outcome;
  }
  const std::size_t start = out.size();
  out.resize(start + bytes.size());
  const NativeOutcome outcome = Walk(page, bytes, cut, out.data() + start, units, pending);
  out.resize(outcome == NativeOutcome::kDone ? start + units : start);
  return outcome;
}

std::size_t TableBytes(const DoubleBytePage& page) noexcept {
  return sizeof page + page.rows.capacity() * sizeof page.rows[0] + page.blocks.capacity() * sizeof page.blocks[0] +
         page.four.capacity() * sizeof page.four[0] + page.four_runs.capacity() * sizeof page.four_runs[0];
}

}  // namespace mok
