#include "repair/repair_step.h"

#include <unicode/ucnv.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "codec/charset_conversion.h"
#include "repair/decoder_extras.h"
#include "repair/language_model.h"
#include "repair/native_double_byte.h"
#include "repair/native_pages.h"

namespace mok {
namespace {

constexpr char16_t kReplacement = 0xFFFD;
constexpr char16_t kEsc = 0x1B;

bool IsLead(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsTrail(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

struct ConverterCloser {
  void operator()(UConverter* converter) const { ucnv_close(converter); }
};

// Converters that stop at the first character or byte they cannot convert, one
// per code page and thread, opened on first use.
UConverter* StrictConverter(std::int32_t code_page) {
  // Looked up by the code page's hash first: a search asks some three
  // hundred times per text, and a slot taken by another page costs a scan.
  struct Slot {
    std::int32_t code_page = -1;
    UConverter* converter = nullptr;
  };
  constinit thread_local std::array<Slot, 64> slots{};
  Slot& slot = slots[(static_cast<std::uint32_t>(code_page) * 2654435761u) >> 26];
  if (slot.code_page == code_page && code_page != -1) return slot.converter;
  struct Entry {
    std::int32_t code_page;
    std::unique_ptr<UConverter, ConverterCloser> converter;
  };
  thread_local std::vector<Entry> cache;
  for (Entry& entry : cache) {
    if (entry.code_page == code_page) {
      slot = {code_page, entry.converter.get()};
      return entry.converter.get();
    }
  }
  std::unique_ptr<UConverter, ConverterCloser> converter(OpenStepConverter(code_page));
  cache.push_back({code_page, std::move(converter)});
  slot = {code_page, cache.back().converter.get()};
  return slot.converter;
}

bool IcuEncode(UConverter* converter, TextView text, Bytes& out) {
  ucnv_resetFromUnicode(converter);
  out.resize(text.size() * static_cast<std::size_t>(ucnv_getMaxCharSize(converter)) + 16);
  char* target = reinterpret_cast<char*>(out.data());
  const UChar* source = reinterpret_cast<const UChar*>(text.data());
  UErrorCode err = U_ZERO_ERROR;
  ucnv_fromUnicode(converter, &target, reinterpret_cast<char*>(out.data() + out.size()), &source,
                   source + text.size(), nullptr, true, &err);
  if (U_FAILURE(err)) return false;
  out.resize(static_cast<std::size_t>(target - reinterpret_cast<char*>(out.data())));
  return true;
}

// Decodes bytes, appending to out. With flush false the bytes may end inside
// a character: those bytes are left out and counted in pending. False with the
// error set when a byte cannot be decoded.
bool IcuDecode(UConverter* converter, BytesView bytes, bool flush, Text& out, std::size_t& pending,
               DecodeError& error) {
  ucnv_resetToUnicode(converter);
  // A byte gives at most one unit in the code pages the steps use; should a
  // converter give more, the text grows and decoding goes on.
  std::size_t written = out.size();
  out.resize(written + bytes.size() + 2);
  const char* begin = reinterpret_cast<const char*>(bytes.data());
  const char* source = begin;
  UErrorCode err = U_ZERO_ERROR;
  for (;;) {
    UChar* target = reinterpret_cast<UChar*>(out.data() + written);
    ucnv_toUnicode(converter, &target, reinterpret_cast<UChar*>(out.data() + out.size()), &source,
                   begin + bytes.size(), nullptr, flush, &err);
    written = static_cast<std::size_t>(target - reinterpret_cast<UChar*>(out.data()));
    if (err != U_BUFFER_OVERFLOW_ERROR) break;
    err = U_ZERO_ERROR;
    out.resize(out.size() + bytes.size() / 2 + 16);
  }
  out.resize(written);
  if (U_FAILURE(err)) {
    char invalid[32];
    int8_t length = sizeof invalid;
    UErrorCode ignored = U_ZERO_ERROR;
    ucnv_getInvalidChars(converter, invalid, &length, &ignored);
    if (U_FAILURE(ignored)) length = 0;
    const std::size_t after = static_cast<std::size_t>(source - begin);
    error.length = std::max<std::size_t>(1, static_cast<std::size_t>(length));
    error.at = after >= error.length ? after - error.length : 0;
    return false;
  }
  UErrorCode ignored = U_ZERO_ERROR;
  const int32_t left = flush ? 0 : ucnv_toUCountPending(converter, &ignored);
  pending = left > 0 && U_SUCCESS(ignored) ? static_cast<std::size_t>(left) : 0;
  return true;
}

// Texts up to this long (the search's samples and passages) are kept with
// their encoding for the next step, and are decoded and encoded again in
// buffers kept for the next; longer ones are encoded each time in buffers of
// their own, so that no copy of a long text outlives the call.
constexpr std::size_t kKeptEncoding = 16 * 1024;

// How the steps convert a code page: by its native tables (code pages of one
// byte per character), as UTF-8, or with its strict ICU converter. Both ways
// give the same bytes, text and errors. A double-byte code page has both its
// tables and its converter: the tables encode and decode exactly where they
// can tell, and the converter does the rest, decoding around lost bytes
// (which needs its error positions) included.
struct StepCodec {
  const SingleBytePage* page = nullptr;
  bool utf8 = false;
  const DoubleBytePage* double_byte = nullptr;
  UConverter* icu = nullptr;
  [[nodiscard]] bool Valid() const { return page != nullptr || utf8 || icu != nullptr; }
};

// A double-byte page's tables take some milliseconds to read, as long as a
// few hundred steps take with ICU: a thread converts with ICU until it has
// asked for the page this often, so that a process that repairs a text or
// two starts as fast as with ICU alone, and one that repairs many reads the
// tables once. Both ways give the same results.
constexpr std::uint32_t kUsesBeforeTables = 2000;

const DoubleBytePage* DoubleBytePageInUse(std::int32_t code_page) {
  if (!HasDoubleBytePage(code_page)) return nullptr;
  struct Count {
    std::int32_t code_page = -1;
    std::uint32_t uses = 0;
  };
  constexpr std::uint32_t kSlots = 137;  // every code page of the steps in a slot of its own
  constinit thread_local std::array<Count, kSlots> counts{};
  Count& count = counts[static_cast<std::uint32_t>(code_page) % kSlots];
  if (count.code_page != code_page) count = {code_page, 0};
  if (count.uses < kUsesBeforeTables) {
    ++count.uses;
    return nullptr;
  }
  return DoubleBytePageOf(code_page);
}

StepCodec CodecOf(std::int32_t code_page) {
  if (NativeStepConversions()) {
    if (code_page == 65001) return {.utf8 = true};
    if (const SingleBytePage* page = SingleBytePageOf(code_page)) return {.page = page};
    if (const DoubleBytePage* page = DoubleBytePageInUse(code_page)) {
      UConverter* icu = StrictConverter(code_page);
      return {.double_byte = icu != nullptr ? page : nullptr, .icu = icu};
    }
  }
  return {.icu = StrictConverter(code_page)};
}

bool Encode(const StepCodec& codec, TextView text, Bytes& out) {
  if (codec.page != nullptr) return EncodeSingleByte(*codec.page, text, out);
  if (codec.utf8) return EncodeUtf8Strict(text, out);
  if (codec.double_byte != nullptr) {
    const NativeOutcome outcome = EncodeDoubleByte(*codec.double_byte, text, out);
    if (outcome != NativeOutcome::kAskIcu) return outcome == NativeOutcome::kDone;
  }
  return IcuEncode(codec.icu, text, out);
}

// Whether the text encodes to exactly these bytes.
bool EncodesTo(const StepCodec& codec, TextView text, BytesView bytes) {
  if (codec.page != nullptr) return EncodesToSingleByte(*codec.page, text, bytes);
  if (codec.utf8) return EncodesToUtf8(text, bytes);
  thread_local Bytes kept;
  Bytes local;
  Bytes& again = text.size() <= kKeptEncoding ? kept : local;
  return Encode(codec, text, again) && BytesView(again) == bytes;
}

bool Decode(const StepCodec& codec, BytesView bytes, bool flush, Text& out, std::size_t& pending,
            DecodeError& error) {
  if (codec.page != nullptr) {
    pending = 0;
    return DecodeSingleByte(*codec.page, bytes, out, error);
  }
  if (codec.utf8) return DecodeUtf8Strict(bytes, flush, out, pending, error);
  // What the tables of a double-byte code page decode exactly, its converter
  // decodes to the same text; any other bytes go to the converter, which
  // tells where an error is.
  if (codec.double_byte != nullptr &&
      DecodeDoubleByteExactly(*codec.double_byte, bytes, !flush, out, pending) == NativeOutcome::kDone) {
    return true;
  }
  return IcuDecode(codec.icu, bytes, flush, out, pending, error);
}

// The encoding of the text with code page A, kept for the next step: the
// steps of a search share their A, and the text is encoded once for them all.
struct EncodedText {
  Text text;
  std::int32_t code_page = 0;
  bool lossy = false;
  bool native = false;  // encoded by the native tables (when tests turn them off, by ICU)
  bool ok = false;
  Bytes bytes;
  // Lossy only: where bytes are missing (before bytes[hole], ascending).
  std::vector<std::size_t> holes;
};

// U+FFFD's UTF-8 bytes: a U+FFFD that went through UTF-8 and was read with a
// legacy code page.
constexpr std::uint8_t kReplacementUtf8[] = {0xEF, 0xBF, 0xBD};

// Encodes the text, U+FFFD and the bytes of U+FFFD's UTF-8 as holes.
bool EncodeWithHoles(const StepCodec& codec, TextView text, EncodedText& out) {
  Bytes piece;
  std::size_t from = 0;
  for (;;) {
    const std::size_t to = std::min(text.find(kReplacement, from), text.size());
    if (to > from) {
      if (!Encode(codec, text.substr(from, to - from), piece)) return false;
      out.bytes += piece;
    }
    if (to == text.size()) break;
    out.holes.push_back(out.bytes.size());
    from = to + 1;
  }
  const BytesView marker(kReplacementUtf8, 3);
  if (out.bytes.find(marker) == Bytes::npos) return true;
  Bytes kept;
  std::vector<std::size_t> holes;
  std::size_t next_hole = 0;
  for (std::size_t i = 0; i <= out.bytes.size();) {
    while (next_hole < out.holes.size() && out.holes[next_hole] == i) {
      holes.push_back(kept.size());
      ++next_hole;
    }
    if (i == out.bytes.size()) break;
    if (BytesView(out.bytes).substr(i, 3) == marker) {
      holes.push_back(kept.size());
      i += 3;
    } else {
      kept += out.bytes[i++];
    }
  }
  out.bytes = std::move(kept);
  out.holes = std::move(holes);
  return true;
}

// Whether two texts hold the same units; by memcmp, which the library
// vectorises, where the traits of char16_t compare unit by unit.
bool SameUnits(TextView x, TextView y) {
  return x.size() == y.size() && std::memcmp(x.data(), y.data(), x.size() * sizeof(char16_t)) == 0;
}

const EncodedText& EncodeOnce(TextView text, std::int32_t code_page, bool lossy, EncodedText& scratch) {
  // One kept encoding each way: a search tries each step without loss, then
  // with loss where that fails, both with the same code page A.
  thread_local EncodedText kept[2];
  EncodedText& last = text.size() <= kKeptEncoding ? kept[lossy ? 1 : 0] : scratch;
  const bool native = NativeStepConversions();
  if (last.code_page == code_page && last.lossy == lossy && last.native == native && SameUnits(last.text, text)) {
    return last;
  }
  last.text.assign(text);
  last.code_page = code_page;
  last.lossy = lossy;
  last.native = native;
  last.bytes.clear();
  last.holes.clear();
  last.ok = false;
  const StepCodec encoder = CodecOf(code_page);
  if (!encoder.Valid()) return last;
  last.ok = lossy ? EncodeWithHoles(encoder, text, last) : Encode(encoder, text, last.bytes);
  return last;
}

bool IsWellFormedUtf16(TextView text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (IsLead(text[i]) && i + 1 < text.size() && IsTrail(text[i + 1])) {
      ++i;
    } else if (IsLead(text[i]) || IsTrail(text[i])) {
      return false;
    }
  }
  return true;
}

std::optional<StepResult> SwapBytes(TextView text, StepOptions options) {
  StepResult result{Text(text), 0};
  for (char16_t& unit : result.text) {
    if (unit == kReplacement) {
      if (!options.lossy) return std::nullopt;
      ++result.lost;
    } else {
      unit = static_cast<char16_t>((unit >> 8) | (unit << 8));
    }
  }
  if (options.lossy && result.lost == 0) return std::nullopt;
  // A lead surrogate at the end of a cut text may have its trail after the cut.
  if (options.cut && !result.text.empty() && IsLead(result.text.back())) result.text.pop_back();
  if (!IsWellFormedUtf16(result.text)) return std::nullopt;
  return result;
}

// The positions of the designations of one ISO-2022 variant, as DecodeIso2022
// recognises them.
bool DesignationAt(TextView s, std::size_t i, int variant) {
  if (variant == 1) return i + 1 < s.size() && (s[i] == u'$' || s[i] == u'(') && s[i + 1] == u'B';
  if (i + 2 >= s.size() || s[i] != u'$' || s[i + 1] != u')') return false;
  return variant == 0 ? (s[i + 2] == u'A' || s[i + 2] == u'G') : s[i + 2] == u'C';
}

// Decodes seven-bit ISO-2022 text as the menu command does: escapes put back
// before the designations when the text has no ESC at all, then the Latin-1
// bytes read with the variant's code page. Taken when the text holds a
// two-byte designation of the variant and nothing fails to decode.
std::optional<StepResult> DecodeIso2022Text(TextView text, RepairStep step, StepOptions options) {
  const int variant = Iso2022Variant(step);
  if (options.lossy) return std::nullopt;
  const bool has_escape = text.find(kEsc) != TextView::npos;
  Bytes bytes;
  bytes.reserve(text.size() + 16);
  bool designated = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] >= 0x80) return std::nullopt;
    // "(B" alone returns to ASCII; only a two-byte set makes this ISO-2022.
    const bool designation = DesignationAt(text, i, variant) && text[i] != u'(';
    const bool escaped = i > 0 && text[i - 1] == kEsc;
    designated = designated || (designation && (escaped || !has_escape));
    if (!has_escape && DesignationAt(text, i, variant)) {
      if (variant == 1 && text[i] == u'(' && !bytes.empty() && bytes.back() == u' ') bytes.pop_back();
      bytes += static_cast<std::uint8_t>(kEsc);
    }
    bytes += static_cast<std::uint8_t>(text[i]);
  }
  if (!designated) return std::nullopt;
  UConverter* decoder = StrictConverter(step.code_page_b);
  if (decoder == nullptr) return std::nullopt;
  StepResult result;
  std::size_t pending = 0;
  DecodeError error;
  if (!IcuDecode(decoder, bytes, !options.cut, result.text, pending, error)) return std::nullopt;
  if (result.text == text) return std::nullopt;
  return result;
}

bool IsDigit(std::uint8_t byte) { return byte >= '0' && byte <= '9'; }

// Nats by which the bytes after a hole in a double-byte code page must read
// better with its first byte than without it for the byte to be kept.
constexpr double kRealignMargin = 8.0;

// Whether the start of a decoded run reads better than the start of another
// by more than a margin.
bool ReadsBetter(TextView x, TextView y, double margin) {
  constexpr std::size_t kLook = 24;
  const std::size_t n = std::min({x.size(), y.size(), kLook});
  if (n == 0) return false;
  return ScoreText(x.substr(0, n)).log_probability > ScoreText(y.substr(0, n)).log_probability + margin;
}

// How many characters a hole in UTF-8 took: the bytes of the character it cut
// short before it (prefix, begun by lead) and the continuation bytes it
// orphaned after it (suffix) are one character when they can be, else two.
std::size_t Utf8CharactersLost(std::size_t prefix, std::uint8_t lead, std::size_t suffix) {
  if (prefix == 0 || suffix == 0) return 1;
  const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  return prefix + suffix < length ? 1 : 2;
}

// Decodes bytes with holes in them (EncodedText::holes, and any "?" byte an
// error meets) with B, starting again after each hole on the first byte from
// which the rest of the run decodes, and writing one U+FFFD for each
// character lost there.
std::optional<StepResult> DecodeAroundHoles(const EncodedText& encoded, RepairStep step, StepOptions options) {
  const StepCodec decoder = CodecOf(step.code_page_b);
  if (!decoder.Valid()) return std::nullopt;
  const bool utf8 = step.code_page_b == 65001;
  const bool double_byte = !utf8 && decoder.icu != nullptr && ucnv_getMaxCharSize(decoder.icu) >= 2;
  const bool gb18030 = step.code_page_b == 54936;
  const BytesView bytes = encoded.bytes;
  std::vector<std::size_t> holes = encoded.holes;
  // A "?" byte taken for a hole: it is left out.
  std::vector<bool> dropped(bytes.size(), false);
  StepResult result;
  std::size_t pos = 0;
  std::size_t next_hole = 0;
  bool after_hole = false;
  std::size_t prefix = 0;
  std::uint8_t prefix_lead = 0;
  // Holes next to one another, and the dropped "?" bytes among them, are one gap.
  auto pass_gap = [&] {
    for (;;) {
      while (next_hole < holes.size() && holes[next_hole] <= pos) ++next_hole;
      if (pos >= bytes.size() || !dropped[pos]) return;
      ++pos;
    }
  };
  for (;;) {
    const std::size_t end = next_hole < holes.size() ? holes[next_hole] : bytes.size();
    const bool at_hole = next_hole < holes.size();
    const bool flush = !at_hole && !options.cut;
    // After a hole the first bytes may be the rest of a lost character: the
    // run decodes from the first of the next few bytes it decodes from.
    std::size_t skip = 0;
    std::size_t pending = 0;
    Text piece;
    bool decoded = false;
    bool retry = false;
    for (; pos + skip <= end && skip <= (after_hole ? 3u : 0u); ++skip) {
      piece.clear();
      DecodeError error;
      if (Decode(decoder, bytes.substr(pos + skip, end - pos - skip), flush, piece, pending, error)) {
        decoded = true;
        break;
      }
      // A "?" next to the error was a lost byte: it becomes a hole.
      const std::size_t start = pos + skip;
      const std::size_t first = start + (error.at > 0 ? error.at - 1 : 0);
      const std::size_t last = std::min(end, start + error.at + error.length + 1);
      std::size_t mark = first;
      while (mark < last && bytes[mark] != u'?') ++mark;
      if (mark < last) {
        holes.insert(std::upper_bound(holes.begin(), holes.end(), mark), mark);
        dropped[mark] = true;
        retry = true;
        break;
      }
    }
    if (retry) {
      // A hole right where the run starts joins the gap before it.
      if (holes[next_hole] == pos && after_hole) pass_gap();
      continue;
    }
    if (!decoded) return std::nullopt;
    // In a double-byte code page the bytes after a hole often decode either
    // way. A replacing decoder that met a character it could not read gave up
    // on its first byte and read on from the second, so a byte outside ASCII
    // right after a hole is taken for the lost character's second byte,
    // unless the bytes read far better without leaving it out.
    if (after_hole && double_byte && skip == 0 && end > pos && bytes[pos] >= 0x80) {
      Text other;
      std::size_t other_pending = 0;
      DecodeError ignored;
      if (Decode(decoder, bytes.substr(pos + 1, end - pos - 1), flush, other, other_pending, ignored) &&
          !ReadsBetter(piece, other, kRealignMargin)) {
        piece = std::move(other);
        pending = other_pending;
        skip = 1;
      }
    }
    if (after_hole) {
      const std::size_t count = utf8 ? Utf8CharactersLost(prefix, prefix_lead, skip) : 1;
      result.text.append(count, kReplacement);
      result.lost += count;
    }
    // Nothing is lost in what decoded: it encodes back to the same bytes.
    const BytesView used = bytes.substr(pos + skip, end - pos - skip - pending);
    if (!piece.empty() && !EncodesTo(decoder, piece, used)) return std::nullopt;
    result.text += piece;
    if (!at_hole) break;
    prefix = pending;
    prefix_lead = pending > 0 ? bytes[end - pending] : 0;
    pos = end;
    pass_gap();
    // A four-byte GB18030 character read by a GBK decoder that replaced its
    // first and third bytes leaves digit, hole, digit: all one lost character.
    while (gb18030 && pos + 1 < bytes.size() && IsDigit(bytes[pos]) && next_hole < holes.size() &&
           holes[next_hole] == pos + 1 && IsDigit(bytes[pos + 1])) {
      pos += 2;
      pass_gap();
    }
    // A UTF-8 character cut short before the gap may have lost more bytes
    // than one: question marks right after the gap stand for the rest.
    if (utf8 && prefix > 0) {
      const std::size_t length = prefix_lead >= 0xF0 ? 4 : prefix_lead >= 0xE0 ? 3 : 2;
      for (std::size_t missing = length > prefix + 1 ? length - prefix - 1 : 0;
           missing > 0 && pos < bytes.size() && bytes[pos] == u'?' && !dropped[pos]; --missing) {
        dropped[pos] = true;
        holes.insert(std::upper_bound(holes.begin(), holes.end(), pos), pos);
        ++pos;
        pass_gap();
      }
    }
    after_hole = true;
  }
  if (result.lost == 0) return std::nullopt;
  return result;
}

// What the symbols of a page of one byte per character cost at least, for
// floors on its lossless results: the least cost of each pair of bytes' two
// characters (a NUL as the space it becomes), and of each byte's character
// after a line break, where a text starts. A byte is unpriced when it fails
// the step or its character is not read as it stands (a mark of loss,
// private use, a byte-order mark, a CR and the LF it joins, a full-width
// letter, a surrogate). Shared by the threads; the costs after a byte are
// found when a text first needs them.
class PagePairCosts {
 public:
  explicit PagePairCosts(const SingleBytePage& page) {
    for (unsigned value = 0; value < 256; ++value) {
      const auto byte = static_cast<std::uint8_t>(value);
      Text decoded;
      if (!DecodeSingleByteExactly(page, BytesView(&byte, 1), decoded) || decoded.size() != 1) continue;
      const char16_t c = decoded[0] == 0 ? u' ' : decoded[0];
      unit_[value] = c;
      priced_[value] = !(c == kReplacement || c == 0xFEFF || c == u'\r' || (c >= 0xE000 && c <= 0xF8FF) ||
                         (c >= 0xFF10 && c <= 0xFF5A) || (c >= 0xD800 && c <= 0xDFFF));
    }
    const char16_t line_break = u'\n';
    for (unsigned value = 0; value < 256; ++value) {
      LeastPairCosts(line_break, std::span(&unit_[value], 1), std::span(&first_[value], 1));
    }
  }

  [[nodiscard]] bool Priced(std::uint8_t byte) const { return priced_[byte]; }
  [[nodiscard]] char16_t Unit(std::uint8_t byte) const { return unit_[byte]; }
  [[nodiscard]] std::uint8_t First(std::uint8_t byte) const { return first_[byte]; }
  // The costs of the pairs that start with this byte's character.
  [[nodiscard]] const std::uint8_t* After(std::uint8_t byte) {
    if (!ready_[byte].load(std::memory_order_acquire)) {
      const std::lock_guard lock(mutex_);
      if (!ready_[byte].load(std::memory_order_relaxed)) {
        LeastPairCosts(unit_[byte], unit_, std::span(&pairs_[std::size_t{byte} * 256], 256));
        ready_[byte].store(true, std::memory_order_release);
      }
    }
    return &pairs_[std::size_t{byte} * 256];
  }

 private:
  std::array<bool, 256> priced_{};
  std::array<char16_t, 256> unit_{};
  std::array<std::uint8_t, 256> first_{};
  std::array<std::atomic<bool>, 256> ready_{};
  std::mutex mutex_;
  std::array<std::uint8_t, 256 * 256> pairs_{};
};

PagePairCosts& PairCostsOf(std::int32_t code_page, const SingleBytePage& page) {
  // One for each page a process; each thread finds it again in slots by the
  // code page modulo 137, which puts every single-byte code page of the
  // steps in a slot of its own.
  struct Slot {
    std::int32_t code_page = -1;
    PagePairCosts* costs = nullptr;
  };
  constexpr std::uint32_t kSlots = 137;
  constinit thread_local std::array<Slot, kSlots> slots{};
  Slot& slot = slots[static_cast<std::uint32_t>(code_page) % kSlots];
  if (slot.code_page == code_page) return *slot.costs;
  static std::mutex mutex;
  static std::vector<std::pair<std::int32_t, std::unique_ptr<PagePairCosts>>> pages;
  const std::lock_guard lock(mutex);
  auto found = std::find_if(pages.begin(), pages.end(), [&](const auto& entry) { return entry.first == code_page; });
  if (found == pages.end()) {
    pages.emplace_back(code_page, std::make_unique<PagePairCosts>(page));
    found = pages.end() - 1;
  }
  slot = {code_page, found->second.get()};
  return *slot.costs;
}

// Whether the lossless result of these bytes, read with a page of one byte
// per character, is below the floor.
bool BelowFloor(std::int32_t code_page, const SingleBytePage& page, BytesView bytes, const StepFloor& floor) {
  if (!floor.cost_limit || bytes.empty()) return false;
  PagePairCosts& costs = PairCostsOf(code_page, page);
  // Garbage shows within a few characters: the costs are added up only until
  // they are above the limit, and only then is every byte's price checked.
  const std::uint64_t limit = *floor.cost_limit;
  std::uint64_t cost = costs.First(bytes[0]);
  for (std::size_t i = 1; i < bytes.size() && cost <= limit; ++i) cost += costs.After(bytes[i - 1])[bytes[i]];
  if (cost <= limit) return false;
  for (const std::uint8_t byte : bytes) {
    if (!costs.Priced(byte)) return false;
  }
  auto reads_as = [&](TextView kept) {
    if (kept.size() != bytes.size()) return false;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      if (costs.Unit(bytes[i]) != kept[i]) return false;
    }
    return true;
  };
  return std::none_of(floor.kept.begin(), floor.kept.end(), reads_as);
}

// Reinterpret with a floor (nullptr: none); below_floor is set when the
// result was left out below it.
std::optional<StepResult> Reinterpret(TextView text, RepairStep step, StepOptions options, const StepFloor* floor,
                                      bool& below_floor) {
  const StepCodec decoder = CodecOf(step.code_page_b);
  if (!decoder.Valid()) return std::nullopt;
  EncodedText scratch;
  const EncodedText& encoded = EncodeOnce(text, step.code_page_a, options.lossy, scratch);
  if (!encoded.ok) return std::nullopt;
  if (options.lossy) return DecodeAroundHoles(encoded, step, options);
  StepResult result;
  // One byte per character: each byte must decode and encode back alone.
  if (decoder.page != nullptr) {
    if (floor != nullptr && BelowFloor(step.code_page_b, *decoder.page, encoded.bytes, *floor)) {
      below_floor = true;
      return std::nullopt;
    }
    if (!DecodeSingleByteExactly(*decoder.page, encoded.bytes, result.text)) return std::nullopt;
    return result;
  }
  std::size_t pending = 0;
  DecodeError error;
  if (decoder.utf8) {
    // What decodes as UTF-8 without error encodes back to the same bytes.
    if (!DecodeUtf8Strict(encoded.bytes, !options.cut, result.text, pending, error)) return std::nullopt;
    return result;
  }
  // A double-byte code page decodes by its tables, character by character,
  // each character checked to encode back to its bytes.
  if (decoder.double_byte != nullptr) {
    const NativeOutcome outcome =
        DecodeDoubleByteExactly(*decoder.double_byte, encoded.bytes, options.cut, result.text, pending);
    if (outcome == NativeOutcome::kDone) return result;
    if (outcome == NativeOutcome::kRefused) return std::nullopt;
  }
  // Decoded into a buffer kept for the next step first, so that the many
  // steps that fail allocate nothing.
  thread_local Text kept;
  Text local;
  Text& decoded = encoded.bytes.size() <= kKeptEncoding ? kept : local;
  decoded.clear();
  if (!IcuDecode(decoder.icu, encoded.bytes, !options.cut, decoded, pending, error)) return std::nullopt;
  const BytesView used = BytesView(encoded.bytes).substr(0, encoded.bytes.size() - pending);
  if (!EncodesTo(decoder, decoded, used)) return std::nullopt;
  result.text.assign(decoded);
  return result;
}

// The text without what may mark lost bytes ("?", U+FFFD): a lossy step
// that changes nothing else has repaired nothing.
Text WithoutMarks(TextView text) {
  Text out;
  out.reserve(text.size());
  for (const char16_t c : text) {
    if (c != u'?' && c != kReplacement) out += c;
  }
  return out;
}

}  // namespace

int Iso2022Variant(RepairStep step) {
  if (step == kIso2022Chinese) return 0;
  if (step == kIso2022Japanese) return 1;
  if (step == kIso2022Korean) return 2;
  return -1;
}

namespace {

std::optional<StepResult> Apply(TextView text, RepairStep step, StepOptions options, const StepFloor* floor,
                                bool& below_floor) {
  if (text.empty()) return std::nullopt;
  try {
    std::optional<StepResult> result;
    if (step == kUtf16Swap) {
      result = SwapBytes(text, options);
    } else if (Iso2022Variant(step) >= 0) {
      result = DecodeIso2022Text(text, step, options);
    } else {
      result = Reinterpret(text, step, options, floor, below_floor);
    }
    if (!result || result->text.empty()) return std::nullopt;
    if (options.lossy && WithoutMarks(result->text) == WithoutMarks(text)) return std::nullopt;
    if (result->text.front() == 0xFEFF) result->text.erase(0, 1);
    ReplaceNulBySpace(result->text);
    return result;
  } catch (...) {
    below_floor = false;
    return std::nullopt;
  }
}

}  // namespace

std::optional<StepResult> ApplyStep(TextView text, RepairStep step, StepOptions options) {
  bool below_floor = false;
  return Apply(text, step, options, nullptr, below_floor);
}

FlooredStep ApplyStepAbove(TextView text, RepairStep step, StepOptions options, const StepFloor& floor) {
  FlooredStep taken;
  taken.result = Apply(text, step, options, options.lossy ? nullptr : &floor, taken.below_floor);
  return taken;
}

}  // namespace mok
