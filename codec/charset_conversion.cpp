#include "codec/charset_conversion.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/ucnv_err.h>
#include <unicode/uenum.h>

#include <iconv.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "codec/charset_stream.h"
#include "codec/charset_tables.h"
#include "codec/conversion_core.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <map>
#include <mutex>
#include <vector>

namespace mok {
namespace {

struct CodePageName {
  std::int32_t code_page;
  const char* icu_name;  // nullptr: converted with glibc iconv under iconv_name
  const char* iconv_name;
};

// Windows code pages and the converters that stand in for them. 20000 (CNS) has
// no exact counterpart; EUC-TW is the closest (its two-byte part is CNS 11643
// plane 1, the same repertoire). 1361 (Johab) is the one code page ICU lacks.
constexpr CodePageName kCodePageNames[] = {
    {936, "windows-936-2000", nullptr},
    {54936, "gb18030", nullptr},
    {52936, "HZ", nullptr},
    {50227, "ISO_2022,locale=zh,version=1", nullptr},
    {950, "windows-950-2000", nullptr},
    {20000, "euc-tw-2014", nullptr},
    {50229, "ISO_2022,locale=zh,version=1", nullptr},
    {932, "ibm-943_P15A-2003", nullptr},
    {20932, "euc-jp-2007", nullptr},
    {50221, "ISO_2022,locale=ja,version=3", nullptr},
    {949, "windows-949-2000", nullptr},
    {1361, nullptr, "JOHAB"},
    {50225, "ISO_2022,locale=ko,version=0", nullptr},
    {874, "windows-874-2000", nullptr},
    {1258, "ibm-5354_P100-1998", nullptr},
    {1252, "ibm-5348_P100-1997", nullptr},
    {28591, "ISO-8859-1", nullptr},
    {10000, "macos-0_2-10.2", nullptr},
    {850, "ibm-850_P100-1995", nullptr},
    {437, "ibm-437_P100-1995", nullptr},
    {37, "ibm-37_P100-1995", nullptr},
    {500, "ibm-500_P100-1995", nullptr},
    {1250, "ibm-5346_P100-1998", nullptr},
    {28592, "ibm-912_P100-1995", nullptr},
    {10029, "macos-29-10.2", nullptr},
    {852, "ibm-852_P100-1995", nullptr},
    {1253, "ibm-5349_P100-1998", nullptr},
    {28597, "ibm-9005_X110-2007", nullptr},
    {10006, "macos-6_2-10.4", nullptr},
    {737, "ibm-737_P100-1997", nullptr},
    {869, "ibm-869_P100-1995", nullptr},
    {1251, "ibm-5347_P100-1998", nullptr},
    {28595, "ibm-915_P100-1995", nullptr},
    {10007, "macos-7_3-10.2", nullptr},
    {866, "ibm-866_P100-1995", nullptr},
    {20866, "ibm-878_P100-1996", nullptr},
    {21866, "ibm-1168_P100-2002", nullptr},
    {855, "ibm-855_P100-1995", nullptr},
    {65000, "UTF-7", nullptr},
    {65001, "UTF-8", nullptr},
    // ANSI code pages of the language-code table not listed above.
    {1256, "ibm-9448_X100-2005", nullptr},
    {1255, "ibm-9447_P100-2002", nullptr},
    // Code pages the repair suggestions read with, offered by no dialog: Big5
    // with the Hong Kong (HKSCS) and ETEN extensions, as browsers decode Big5
    // (951, the number Windows' HKSCS update gave it), and the Turkish, Baltic,
    // Hebrew and Arabic pages of Windows and ISO 8859.
    {951, "ibm-1375_P100-2008", nullptr},
    {1254, "ibm-5350_P100-1998", nullptr},
    {28599, "ibm-920_P100-1995", nullptr},
    {1257, "ibm-9449_P100-2002", nullptr},
    {28603, "ibm-921_P100-1995", nullptr},
    {28598, "ibm-5012_P100-1999", nullptr},
    {28596, "ibm-1089_P100-1995", nullptr},
};

constexpr std::size_t kCodePageCount = sizeof kCodePageNames / sizeof kCodePageNames[0];

constexpr std::int32_t kHzCodePage = 52936;

const CodePageName* FindCodePage(std::int32_t code_page) {
  // Callers such as the escape decoders convert many short runs with one code
  // page, so the last one found is checked first.
  thread_local const CodePageName* last = &kCodePageNames[0];
  if (last->code_page == code_page) return last;
  for (const CodePageName& entry : kCodePageNames) {
    if (entry.code_page == code_page) return last = &entry;
  }
  return nullptr;
}

constexpr char16_t kEscapeBase = 0xDC00;  // a malformed byte b decodes to U+DC00 + b

bool IsEscapedByte(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDCFF; }

// Malformed or unassigned bytes: one lone surrogate per byte, so nothing is lost.
void U_CALLCONV EscapeBytesToU(const void*, UConverterToUnicodeArgs* args, const char* units, int32_t length,
                               UConverterCallbackReason reason, UErrorCode* err) {
  if (reason > UCNV_IRREGULAR) return;  // reset, close, clone: nothing to write
  *err = U_ZERO_ERROR;
  UChar escaped[32];
  int32_t n = 0;
  for (int32_t i = 0; i < length && n < 32; ++i) {
    escaped[n++] = static_cast<UChar>(kEscapeBase + static_cast<unsigned char>(units[i]));
  }
  ucnv_cbToUWriteUChars(args, escaped, n, 0, err);
}

// Escaped bytes go back to their byte; anything else unrepresentable becomes the
// code page's question mark (set as its substitution characters).
void U_CALLCONV UnescapeOrSubstitute(const void*, UConverterFromUnicodeArgs* args, const UChar* units,
                                     int32_t length, UChar32, UConverterCallbackReason reason, UErrorCode* err) {
  if (reason > UCNV_IRREGULAR) return;
  *err = U_ZERO_ERROR;
  if (length == 1 && IsEscapedByte(units[0])) {
    const char byte = static_cast<char>(units[0] - kEscapeBase);
    ucnv_cbFromUWriteBytes(args, &byte, 1, 0, err);
    return;
  }
  ucnv_cbFromUWriteSub(args, 0, err);
}

struct UConverterCloser {
  void operator()(UConverter* converter) const { ucnv_close(converter); }
};
using ConverterPtr = std::unique_ptr<UConverter, UConverterCloser>;

struct IconvPair {
  iconv_t encoder = reinterpret_cast<iconv_t>(-1);
  iconv_t decoder = reinterpret_cast<iconv_t>(-1);
  ~IconvPair() {
    if (encoder != reinterpret_cast<iconv_t>(-1)) iconv_close(encoder);
    if (decoder != reinterpret_cast<iconv_t>(-1)) iconv_close(decoder);
  }
};

// One converter per code page, opened on first use and kept for the thread's life.
class ConverterCache {
 public:
  UConverter* Icu(const CodePageName& entry) {
    const std::size_t slot = SlotOf(entry);
    if (tried_[slot]) return icu_[slot].get();
    tried_[slot] = true;
    UErrorCode err = U_ZERO_ERROR;
    ConverterPtr converter(ucnv_open(entry.icu_name, &err));
    if (U_FAILURE(err) || !converter) return nullptr;
    ucnv_setToUCallBack(converter.get(), EscapeBytesToU, nullptr, nullptr, nullptr, &err);
    ucnv_setFromUCallBack(converter.get(), UnescapeOrSubstitute, nullptr, nullptr, nullptr, &err);
    SetQuestionMarkSubstitute(converter.get());
    if (U_FAILURE(err)) converter.reset();
    icu_[slot] = std::move(converter);
    return icu_[slot].get();
  }

  IconvPair* Iconv(const CodePageName& entry) {
    const std::size_t slot = SlotOf(entry);
    if (tried_[slot]) return iconv_[slot].get();
    tried_[slot] = true;
    auto pair = std::make_unique<IconvPair>();
    pair->encoder = iconv_open(entry.iconv_name, "UTF-16LE");
    pair->decoder = iconv_open("UTF-16LE", entry.iconv_name);
    if (pair->encoder == reinterpret_cast<iconv_t>(-1) || pair->decoder == reinterpret_cast<iconv_t>(-1)) {
      pair.reset();
    }
    iconv_[slot] = std::move(pair);
    return iconv_[slot].get();
  }

 private:
  // The substitute is "?" in the code page (0x3F, or 0x6F in EBCDIC), never
  // ICU's SUB control character. Given as text, ICU converts it like any other
  // character, so the stateful converters (HZ, ISO-2022) shift back to ASCII
  // before it instead of dropping a raw byte into a double-byte run.
  static void SetQuestionMarkSubstitute(UConverter* converter) {
    UErrorCode err = U_ZERO_ERROR;
    const UChar question = u'?';
    ucnv_setSubstString(converter, &question, 1, &err);
    ucnv_reset(converter);
  }

  static std::size_t SlotOf(const CodePageName& entry) { return static_cast<std::size_t>(&entry - kCodePageNames); }

  // Indexed like the code-page list; tried_ remembers converters that failed to open.
  std::array<ConverterPtr, kCodePageCount> icu_;
  std::array<std::unique_ptr<IconvPair>, kCodePageCount> iconv_;
  std::array<bool, kCodePageCount> tried_{};
};

ConverterCache& Cache() {
  thread_local ConverterCache cache;
  return cache;
}

bool IcuEncode(UConverter* converter, TextView text, Bytes& out) {
  // The output is allocated once at the most the encoding can take: 4n + 4
  // bytes for n code units, or less where the converter's own bound is lower
  // (2 bytes a unit for GBK, 3 for UTF-8), so a large text does not zero and
  // page in memory it can never use. Should a converter ever need more, ICU
  // reports the length and the conversion runs again.
  const std::size_t units = text.size();
  const std::size_t converter_bound = (units + 10) * static_cast<std::size_t>(ucnv_getMaxCharSize(converter));
  out.resize(std::min(4 * units + 4, converter_bound));
  UErrorCode err = U_ZERO_ERROR;
  int32_t written = ucnv_fromUChars(converter, reinterpret_cast<char*>(out.data()), static_cast<int32_t>(out.size()),
                                    reinterpret_cast<const UChar*>(text.data()), static_cast<int32_t>(text.size()), &err);
  if (err == U_BUFFER_OVERFLOW_ERROR) {
    out.resize(static_cast<std::size_t>(written));
    err = U_ZERO_ERROR;
    written = ucnv_fromUChars(converter, reinterpret_cast<char*>(out.data()), static_cast<int32_t>(out.size()),
                              reinterpret_cast<const UChar*>(text.data()), static_cast<int32_t>(text.size()), &err);
  }
  if (U_FAILURE(err) && err != U_STRING_NOT_TERMINATED_WARNING) {
    out.clear();
    return false;
  }
  out.resize(static_cast<std::size_t>(written));
  return true;
}

bool IcuDecode(UConverter* converter, BytesView bytes, Text& out) {
  out.resize(bytes.size() + 1);
  UErrorCode err = U_ZERO_ERROR;
  int32_t written = ucnv_toUChars(converter, reinterpret_cast<UChar*>(out.data()), static_cast<int32_t>(out.size()),
                                  reinterpret_cast<const char*>(bytes.data()), static_cast<int32_t>(bytes.size()), &err);
  if (err == U_BUFFER_OVERFLOW_ERROR) {
    out.resize(static_cast<std::size_t>(written));
    err = U_ZERO_ERROR;
    written = ucnv_toUChars(converter, reinterpret_cast<UChar*>(out.data()), static_cast<int32_t>(out.size()),
                            reinterpret_cast<const char*>(bytes.data()), static_cast<int32_t>(bytes.size()), &err);
  }
  if (U_FAILURE(err) && err != U_STRING_NOT_TERMINATED_WARNING) {
    out.clear();
    return false;
  }
  out.resize(static_cast<std::size_t>(written));
  return true;
}

// ICU's HZ encoder gets its shifts wrong in three ways: it writes "~}" before
// the first ASCII character although HZ starts in ASCII, it writes a tilde as
// "~~" without leaving a GB run (an HZ reader then takes the run's next pairs
// for ASCII), and it leaves a final GB run open. Its output is rewritten here
// with the shifts where HZ wants them: the state ICU believes in (icu_gb) says
// how to read its bytes, the state written so far (gb) which shifts to emit.
// Inside a GB run a GB2312 pair is two bytes of 0x21..0x7E whose first is never
// "~"; any other byte there is an escaped byte the callback wrote on its own.
// The rewriting keeps its two states between calls, so a stream can be fed in
// pieces: a byte whose meaning depends on the next one (a tilde, or the first
// byte of a pair) waits for the next piece.
class HzShiftNormalizer {
 public:
  // Appends the rewritten form of the next bytes to out. With last set, the end
  // follows: a waiting byte is written and a GB run is closed.
  void Feed(BytesView bytes, bool last, Bytes& out) {
    Bytes joined;
    if (!held_.empty()) {
      joined = held_ + Bytes(bytes);
      held_.clear();
      bytes = joined;
    }
    out.reserve(out.size() + 2 * bytes.size() + 2);  // each tilde in a run can cost a close and a reopen
    std::size_t i = 0;
    while (i < bytes.size()) {
      const std::uint8_t b = bytes[i];
      const bool has_next = i + 1 < bytes.size();
      if (!has_next && !last && (b == '~' || (icu_gb_ && b >= 0x21 && b <= 0x7E))) {
        held_.assign(1, b);
        return;
      }
      const std::uint8_t next = has_next ? bytes[i + 1] : 0;
      if (b == '~' && (next == '{' || next == '}')) {
        icu_gb_ = next == '{';
        i += 2;
      } else if (b == '~' && next == '~') {
        Shift(false, out);
        out.push_back('~');
        out.push_back('~');
        i += 2;
      } else if (icu_gb_ && b >= 0x21 && b <= 0x7E && has_next) {
        Shift(true, out);
        out.push_back(b);
        out.push_back(next);
        i += 2;
      } else {
        if (!icu_gb_) Shift(false, out);
        out.push_back(b);
        ++i;
      }
    }
    if (last) Shift(false, out);
  }

 private:
  void Shift(bool to_gb, Bytes& out) {
    if (gb_ == to_gb) return;
    out.push_back('~');
    out.push_back(to_gb ? '{' : '}');
    gb_ = to_gb;
  }

  bool icu_gb_ = false;  // the state ICU's bytes are written in
  bool gb_ = false;      // the state written so far
  Bytes held_;
};

Bytes NormalizeHzShifts(BytesView bytes) {
  Bytes out;
  HzShiftNormalizer().Feed(bytes, true, out);
  return out;
}

// glibc iconv for Johab, with the same treatment of what it cannot convert:
// unconvertible characters become "?" (escaped bytes go back to their byte),
// malformed bytes become one escape each.
// With rules, what it cannot convert is kept as above, left out, replaced by
// "?", or stops it (stop then tells the unit position, and the bytes before
// it are in out).
struct IconvStop {
  bool stopped = false;
  std::ptrdiff_t position = 0;
  char32_t code_point = 0;
  bool escaped = false;
};

bool IconvEncode(iconv_t cd, TextView text, Bytes& out, const EncodeRules* rules = nullptr,
                 IconvStop* stop = nullptr) {
  out.resize(4 * text.size() + 4);
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  std::size_t written = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t units = (text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < text.size() &&
                               text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
                                  ? 2
                                  : 1;
    char* in = const_cast<char*>(reinterpret_cast<const char*>(text.data() + i));
    std::size_t in_left = units * 2;
    char* dst = reinterpret_cast<char*>(out.data() + written);
    std::size_t dst_left = out.size() - written;
    if (iconv(cd, &in, &in_left, &dst, &dst_left) == static_cast<std::size_t>(-1)) {
      if (errno == E2BIG) return false;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
      const bool escaped = IsEscapedByte(text[i]);
      const InvalidAction action =
          rules == nullptr ? InvalidAction::Keep : escaped ? rules->escaped : rules->unmappable;
      if (action == InvalidAction::Stop && stop != nullptr) {
        const char32_t code_point =
            units == 2 ? 0x10000 + ((text[i] - 0xD800) << 10) + (text[i + 1] - 0xDC00) : text[i];
        *stop = {true, static_cast<std::ptrdiff_t>(i), code_point, escaped};
        out.resize(written);
        return false;
      }
      if (action == InvalidAction::Keep) {
        out[written++] = escaped ? static_cast<std::uint8_t>(text[i] - kEscapeBase) : '?';
      } else if (action == InvalidAction::Replace) {
        out[written++] = '?';
      }
    } else {
      written = out.size() - dst_left;
    }
    i += units;
  }
  out.resize(written);
  return true;
}

// The chunk after what waited from the one before (kept in joined), or the
// chunk itself when nothing waited.
template <typename Unit>
std::basic_string_view<Unit> AfterCarry(std::basic_string<Unit>& carry, std::basic_string_view<Unit> chunk,
                                        std::basic_string<Unit>& joined) {
  if (carry.empty()) return chunk;
  joined = carry;
  joined += chunk;
  carry.clear();
  return joined;
}

// glibc iconv reports a character cut by the end of its input as EINVAL; before
// the last chunk its bytes wait for the next one instead of being escaped.
bool IconvDecodeChunk(iconv_t cd, Bytes& carry, BytesView chunk, bool last, Text& out) {
  Bytes joined;
  chunk = AfterCarry(carry, chunk, joined);
  char* in = const_cast<char*>(reinterpret_cast<const char*>(chunk.data()));
  std::size_t in_left = chunk.size();
  std::size_t written = out.size();
  out.resize(written + chunk.size() + 1);
  while (in_left > 0) {
    char* dst = reinterpret_cast<char*>(out.data() + written);
    std::size_t dst_left = (out.size() - written) * 2;
    const std::size_t result = iconv(cd, &in, &in_left, &dst, &dst_left);
    written = out.size() - dst_left / 2;
    if (result != static_cast<std::size_t>(-1)) break;
    if (errno == E2BIG) {
      out.resize(out.size() * 2);
    } else if (errno == EINVAL && !last) {
      carry.assign(reinterpret_cast<const std::uint8_t*>(in), in_left);
      break;
    } else {
      // Malformed, or cut short at the end: escape one byte and go on.
      if (written == out.size()) out.resize(out.size() * 2);
      out[written++] = static_cast<char16_t>(kEscapeBase + static_cast<unsigned char>(*in));
      ++in;
      --in_left;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  out.resize(written);
  return true;
}

// The whole buffer: one last chunk from the initial state.
bool IconvDecode(iconv_t cd, BytesView bytes, Text& out) {
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  Bytes no_carry;
  return IconvDecodeChunk(cd, no_carry, bytes, true, out);
}

}  // namespace

bool IsKnownCodePage(std::int32_t code_page) { return FindCodePage(code_page) != nullptr; }

const char* IcuConverterName(std::int32_t code_page) {
  const CodePageName* entry = FindCodePage(code_page);
  return entry == nullptr ? nullptr : entry->icu_name;
}

bool EncodeWithCodePage(TextView text, std::int32_t code_page, Bytes& out) {
  out.clear();
  try {
    const CodePageName* entry = FindCodePage(code_page);
    if (entry == nullptr || text.size() >= (1u << 29)) return false;
    if (entry->icu_name != nullptr) {
      UConverter* converter = Cache().Icu(*entry);
      if (converter == nullptr || !IcuEncode(converter, text, out)) return false;
      if (code_page == kHzCodePage) out = NormalizeHzShifts(out);
      return true;
    }
    IconvPair* pair = Cache().Iconv(*entry);
    return pair != nullptr && IconvEncode(pair->encoder, text, out);
  } catch (...) {
    out.clear();
    return false;
  }
}

bool DecodeWithCodePage(BytesView bytes, std::int32_t code_page, Text& out) {
  out.clear();
  try {
    const CodePageName* entry = FindCodePage(code_page);
    if (entry == nullptr || bytes.size() >= (1u << 30)) return false;
    if (entry->icu_name != nullptr) {
      UConverter* converter = Cache().Icu(*entry);
      return converter != nullptr && IcuDecode(converter, bytes, out);
    }
    IconvPair* pair = Cache().Iconv(*entry);
    return pair != nullptr && IconvDecode(pair->decoder, bytes, out);
  } catch (...) {
    out.clear();
    return false;
  }
}

namespace {

// The names ICU's alias table gives each code page of the table: its
// converter's, or for the two without an ICU converter here the converter
// ICU lists for them.
const char* AliasSourceOf(const CodePageName& entry) {
  if (entry.icu_name != nullptr) return entry.icu_name;
  return entry.code_page == 1361 ? "windows-1361-2000" : nullptr;
}

// Table code pages that are supersets of what another name names.
constexpr std::pair<const char*, std::int32_t> kSupersets[] = {
    {"gb2312", 936}, {"euc-kr", 949}, {"iso-2022-jp", 50221}, {"iso-2022-cn", 50227}};

const char* CanonicalOf(const char* name) {
  UErrorCode err = U_ZERO_ERROR;
  const char* canonical = ucnv_getAlias(name, 0, &err);
  return U_FAILURE(err) ? nullptr : canonical;
}

bool IsTableCodePage(std::int32_t code_page) {
  for (const NamedCode& entry : CodePages()) {
    if (entry.code == code_page) return true;
  }
  return false;
}

// The Windows number an alias such as "windows-950" or "cp950" carries, or 0.
std::int32_t WindowsNumberOf(std::string_view alias) {
  for (const std::string_view prefix : {"windows-", "cp"}) {
    if (alias.size() <= prefix.size()) continue;
    bool same = true;
    for (std::size_t i = 0; same && i < prefix.size(); ++i) {
      same = static_cast<char>(alias[i] >= 'A' && alias[i] <= 'Z' ? alias[i] + 32 : alias[i]) == prefix[i];
    }
    if (!same) continue;
    std::int32_t number = 0;
    const char* begin = alias.data() + prefix.size();
    const char* end = alias.data() + alias.size();
    const auto [stop, problem] = std::from_chars(begin, end, number);
    if (problem == std::errc() && stop == end) return number;
  }
  return 0;
}

std::int32_t CodePageOfCanonical(const char* canonical) {
  if (canonical == nullptr) return 0;
  if (ucnv_compareNames(canonical, "UTF-16LE") == 0) return 1200;
  for (const CodePageName& entry : kCodePageNames) {
    const char* source = AliasSourceOf(entry);
    const char* ours = source == nullptr ? nullptr : CanonicalOf(source);
    if (ours != nullptr && ucnv_compareNames(ours, canonical) == 0 && IsTableCodePage(entry.code_page)) {
      return entry.code_page;
    }
  }
  for (const auto& [name, code_page] : kSupersets) {
    const char* superset = CanonicalOf(name);
    if (superset != nullptr && ucnv_compareNames(superset, canonical) == 0) return code_page;
  }
  UErrorCode err = U_ZERO_ERROR;
  const std::uint16_t count = ucnv_countAliases(canonical, &err);
  for (std::uint16_t i = 0; U_SUCCESS(err) && i < count; ++i) {
    const char* alias = ucnv_getAlias(canonical, i, &err);
    if (alias == nullptr) continue;
    const std::int32_t number = WindowsNumberOf(alias);
    if (number != 0 && number != 1200 && IsTableCodePage(number)) return number;
  }
  return 0;
}

}  // namespace

std::int32_t CodePageOfCharsetName(std::string_view name) {
  try {
    if (name.empty() || name.size() > 100) return 0;
    const std::string terminated(name);
    return CodePageOfCanonical(CanonicalOf(terminated.c_str()));
  } catch (...) {
    return 0;
  }
}

bool NamesConverter(std::string_view name, const char* icu_name) {
  try {
    if (name.empty() || name.size() > 100) return false;
    const std::string terminated(name);
    const char* canonical = CanonicalOf(terminated.c_str());
    const char* wanted = CanonicalOf(icu_name);
    return canonical != nullptr && wanted != nullptr && ucnv_compareNames(canonical, wanted) == 0;
  } catch (...) {
    return false;
  }
}

std::vector<std::string> ConverterAliases(const char* icu_name) {
  std::vector<std::string> names;
  try {
    UErrorCode err = U_ZERO_ERROR;
    const std::uint16_t count = ucnv_countAliases(icu_name, &err);
    for (std::uint16_t i = 0; U_SUCCESS(err) && i < count; ++i) {
      if (const char* alias = ucnv_getAlias(icu_name, i, &err)) names.emplace_back(alias);
    }
  } catch (...) {
    names.clear();
  }
  return names;
}

std::vector<std::string> CharsetNamesOf(std::int32_t code_page) {
  std::vector<std::string> names;
  try {
    // The names of the code page's own converter first, then those of other
    // converters that land on it; each name once.
    std::vector<std::string> found;
    const CodePageName* own = FindCodePage(code_page);
    const char* source = code_page == 1200 ? "UTF-16LE" : own == nullptr ? nullptr : AliasSourceOf(*own);
    if (source != nullptr) found = ConverterAliases(source);
    UErrorCode err = U_ZERO_ERROR;
    UEnumeration* all = ucnv_openAllNames(&err);
    if (U_FAILURE(err)) return names;
    while (const char* converter = uenum_next(all, nullptr, &err)) {
      if (U_FAILURE(err) || CodePageOfCanonical(CanonicalOf(converter)) != code_page) continue;
      for (std::string& alias : ConverterAliases(converter)) found.push_back(std::move(alias));
    }
    uenum_close(all);
    for (std::string& name : found) {
      // An alias two converters share stands for one of them only.
      if (CodePageOfCharsetName(name) != code_page) continue;
      bool seen = false;
      for (const std::string& earlier : names) seen = seen || ucnv_compareNames(earlier.c_str(), name.c_str()) == 0;
      if (!seen) names.push_back(std::move(name));
    }
  } catch (...) {
    names.clear();
  }
  return names;
}

std::int32_t AnsiCodePageOfLocale(std::int32_t locale_id) {
  switch (locale_id) {
    case 2052: return 936;
    case 1028: return 950;
    case 1041: return 932;
    case 1042: return 949;
    case 1054: return 874;
    case 1066: return 1258;
    case 1033: return 1252;
    case 1032: return 1253;
    case 1049: return 1251;
    case 1025: return 1256;
    case 1037: return 1255;
    default: return -1;
  }
}

// Streaming conversion. Each stream owns its converters (clones of the cached
// ones, so the set-up is the same), because the whole-buffer functions reset the
// cached converters on every call.

namespace {

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }

// Written without branches so that the compiler vectorizes them.
template <typename Unit>
bool AllAscii(std::basic_string_view<Unit> units) {
  unsigned seen = 0;
  for (const Unit unit : units) seen |= unit;
  return seen < 0x80;
}

template <typename To, typename From>
void AppendAscii(std::basic_string_view<From> units, std::basic_string<To>& out) {
  const std::size_t at = out.size();
  out.resize(at + units.size());
  for (std::size_t i = 0; i < units.size(); ++i) out[at + i] = static_cast<To>(units[i]);
}

bool HasSurrogate(TextView text) {
  unsigned found = 0;
  for (const char16_t unit : text) found |= (unit & 0xF800) == 0xD800;
  return found != 0;
}

#if defined(__SSE2__)
// The UTF-8 of four units (none a surrogate) in 32-bit lanes: each lane the
// unit's bytes, first byte lowest, and its length in bytes.
inline void Utf8Lanes(__m128i units, __m128i& words, __m128i& lengths) {
  const __m128i two_or_more = _mm_cmpgt_epi32(units, _mm_set1_epi32(0x7F));
  const __m128i three = _mm_cmpgt_epi32(units, _mm_set1_epi32(0x7FF));
  const __m128i low = _mm_and_si128(units, _mm_set1_epi32(0x3F));
  const __m128i middle = _mm_and_si128(_mm_srli_epi32(units, 6), _mm_set1_epi32(0x3F));
  const __m128i three_bytes =
      _mm_or_si128(_mm_or_si128(_mm_set1_epi32(0x8080E0), _mm_srli_epi32(units, 12)),
                   _mm_or_si128(_mm_slli_epi32(middle, 8), _mm_slli_epi32(low, 16)));
  const __m128i two_bytes =
      _mm_or_si128(_mm_or_si128(_mm_set1_epi32(0x80C0), _mm_srli_epi32(units, 6)), _mm_slli_epi32(low, 8));
  const __m128i one_or_two = _mm_or_si128(_mm_and_si128(two_or_more, two_bytes), _mm_andnot_si128(two_or_more, units));
  words = _mm_or_si128(_mm_and_si128(three, three_bytes), _mm_andnot_si128(three, one_or_two));
  lengths = _mm_sub_epi32(_mm_sub_epi32(_mm_set1_epi32(1), two_or_more), three);
}
#endif

// UTF-8 of text without surrogates: what the UTF-8 converter writes for it,
// at a fraction of its cost (converted text is mostly written as UTF-8).
// A character's bytes are stored four at once, the extra ones written over
// by the next character (hence one byte of room more). With SSE2, eight
// units go at a time: ASCII narrowed at once, anything else as eight lanes
// of bytes and lengths worked out side by side, so that Chinese text mixed
// with ASCII words takes no branch per character. Without it, and for the
// last few units, runs of three-byte characters and of ASCII go four at once.
void AppendUtf8(TextView text, Bytes& out) {
  const std::size_t at = out.size();
  out.resize(at + 3 * text.size() + 1);
  std::uint8_t* o = out.data() + at;
  const char16_t* p = text.data();
  const char16_t* const end = p + text.size();
  auto three = [&o](std::uint32_t u) {
    if constexpr (std::endian::native == std::endian::little) {
      // The three bytes, the first the lowest, and one that the next
      // character writes over.
      const std::uint32_t bytes =
          (0xE0 | (u >> 12)) | ((0x80 | ((u >> 6) & 0x3F)) << 8) | ((0x80 | (u & 0x3F)) << 16);
      std::memcpy(o, &bytes, 4);
    } else {
      o[0] = static_cast<std::uint8_t>(0xE0 | (u >> 12));
      o[1] = static_cast<std::uint8_t>(0x80 | ((u >> 6) & 0x3F));
      o[2] = static_cast<std::uint8_t>(0x80 | (u & 0x3F));
    }
    o += 3;
  };
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  const __m128i non_ascii = _mm_set1_epi16(static_cast<short>(0xFF80));
  while (end - p >= 8) {
    const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    p += 8;
    if (_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(units, non_ascii), zero)) == 0xFFFF) {
      _mm_storel_epi64(reinterpret_cast<__m128i*>(o), _mm_packus_epi16(units, units));
      o += 8;
      continue;
    }
    __m128i words[2], lengths[2];
    Utf8Lanes(_mm_unpacklo_epi16(units, zero), words[0], lengths[0]);
    Utf8Lanes(_mm_unpackhi_epi16(units, zero), words[1], lengths[1]);
    alignas(16) std::uint32_t word[8], length[8];
    std::memcpy(word, words, sizeof word);
    std::memcpy(length, lengths, sizeof length);
    for (int k = 0; k < 8; ++k) {  // x86: the first byte is the lowest
      std::memcpy(o, &word[k], 4);
      o += length[k];
    }
  }
#endif
  while (p != end) {
    if (end - p >= 4) {
      const std::uint32_t a = p[0], b = p[1], c = p[2], d = p[3];
      if ((a >= 0x800) & (b >= 0x800) & (c >= 0x800) & (d >= 0x800)) {
        three(a);
        three(b);
        three(c);
        three(d);
        p += 4;
        continue;
      }
      if ((a | b | c | d) < 0x80) {
        o[0] = static_cast<std::uint8_t>(a);
        o[1] = static_cast<std::uint8_t>(b);
        o[2] = static_cast<std::uint8_t>(c);
        o[3] = static_cast<std::uint8_t>(d);
        o += 4;
        p += 4;
        continue;
      }
    }
    const std::uint32_t u = *p++;
    if (u < 0x80) {
      *o++ = static_cast<std::uint8_t>(u);
    } else if (u < 0x800) {
      *o++ = static_cast<std::uint8_t>(0xC0 | (u >> 6));
      *o++ = static_cast<std::uint8_t>(0x80 | (u & 0x3F));
    } else {
      three(u);
    }
  }
  out.resize(static_cast<std::size_t>(o - out.data()));
}

// Whether the converter reads and writes 0x00..0x7F as U+0000..U+007F, each
// byte a character of its own, without shift states: then a chunk of ASCII
// needs no converter at all while none has a character half done.
bool IsAsciiTransparent(UConverter* converter) {
  switch (ucnv_getType(converter)) {
    case UCNV_SBCS:
    case UCNV_DBCS:
    case UCNV_MBCS:
    case UCNV_LATIN_1:
    case UCNV_UTF8:
    case UCNV_US_ASCII: break;
    default: return false;
  }
  char bytes[128];
  UChar units[128];
  for (int i = 0; i < 128; ++i) bytes[i] = static_cast<char>(i);
  UErrorCode err = U_ZERO_ERROR;
  const int32_t decoded = ucnv_toUChars(converter, units, 128, bytes, 128, &err);
  bool same = U_SUCCESS(err) && decoded == 128;
  for (int i = 0; same && i < 128; ++i) same = units[i] == i;
  char again[256];
  const int32_t encoded = same ? ucnv_fromUChars(converter, again, sizeof again, units, 128, &err) : 0;
  same = same && U_SUCCESS(err) && encoded == 128 && std::equal(bytes, bytes + 128, again);
  ucnv_reset(converter);
  return same;
}

// Runs one of ICU's streaming calls (ucnv_toUnicode, ucnv_fromUnicode) over a
// chunk and appends what it writes to out, growing out until it fits.
template <typename Target, typename Source, typename Out, typename Call>
bool ConvertChunk(Call call, const Source* source, const Source* source_end, std::size_t room, Out& out) {
  std::size_t written = out.size();
  out.resize(written + room);
  for (;;) {
    Target* const begin = reinterpret_cast<Target*>(out.data());
    Target* target = begin + written;
    UErrorCode err = U_ZERO_ERROR;
    call(&target, begin + out.size(), &source, source_end, &err);
    written = static_cast<std::size_t>(target - begin);
    if (err == U_BUFFER_OVERFLOW_ERROR) {
      out.resize(out.size() + out.size() / 2 + 16);
      continue;
    }
    out.resize(written);
    return U_SUCCESS(err);
  }
}

bool IcuDecodeChunk(UConverter* converter, BytesView chunk, bool last, Text& out) {
  const char* source = reinterpret_cast<const char*>(chunk.data());
  // One unit per byte covers nearly every code page; the rest grows the buffer.
  return ConvertChunk<UChar>(
      [&](UChar** target, UChar* limit, const char** from, const char* from_end, UErrorCode* err) {
        ucnv_toUnicode(converter, target, limit, from, from_end, nullptr, last, err);
      },
      source, source + chunk.size(), chunk.size() + 16, out);
}

bool IcuEncodeChunk(UConverter* converter, TextView chunk, bool last, Bytes& out) {
  const UChar* source = reinterpret_cast<const UChar*>(chunk.data());
  return ConvertChunk<char>(
      [&](char** target, char* limit, const UChar** from, const UChar* from_end, UErrorCode* err) {
        ucnv_fromUnicode(converter, target, limit, from, from_end, nullptr, last, err);
      },
      source, source + chunk.size(), (chunk.size() + 8) * static_cast<std::size_t>(ucnv_getMaxCharSize(converter)),
      out);
}

// The iconv encoder works one code point at a time and keeps no state, so the
// whole-buffer function serves; only a pair cut by the chunk end waits.
bool IconvEncodeChunk(iconv_t cd, Text& carry, TextView chunk, bool last, Bytes& out,
                      const EncodeRules* rules = nullptr, IconvStop* stop = nullptr) {
  const std::size_t carried = carry.size();
  Text joined;
  chunk = AfterCarry(carry, chunk, joined);
  if (!last && !chunk.empty() && IsHighSurrogate(chunk.back())) {
    carry.assign(1, chunk.back());
    chunk.remove_suffix(1);
  }
  if (chunk.empty()) return true;
  Bytes piece;
  const bool converted = IconvEncode(cd, chunk, piece, rules, stop);
  out += piece;
  if (stop != nullptr && stop->stopped) stop->position -= static_cast<std::ptrdiff_t>(carried);
  return converted;
}

}  // namespace

// The characters of a stateless code page of one- and two-byte characters,
// read once from its converter, so that a large input decodes by table
// lookup: ICU's general decoder takes several times as long per byte. Only
// regular characters are in the table; everything else (malformed or
// unassigned bytes, a character cut by the chunk's end) goes to the
// converter from a clean state, so the result is the converter's own.
struct DoubleByteTable {
  std::array<char16_t, 256> single{};  // a byte that is a character by itself, or 0
  std::vector<char16_t> pairs;         // [(lead - 0x80) * 256 + trail]; 0: not a character
  std::uint8_t lowest_trail = 0xFF;    // a byte below it always ends a character
};

namespace {

std::unique_ptr<DoubleByteTable> ReadDoubleByteTable(UConverter* converter) {
  const UConverterType type = ucnv_getType(converter);
  if ((type != UCNV_SBCS && type != UCNV_DBCS && type != UCNV_MBCS) || ucnv_getMaxCharSize(converter) > 2) {
    return nullptr;
  }
  auto table = std::make_unique<DoubleByteTable>();
  table->pairs.assign(128 * 256, 0);
  for (int b = 0x80; b <= 0xFF; ++b) {
    const char byte = static_cast<char>(b);
    UChar unit[4];
    UErrorCode err = U_ZERO_ERROR;
    if (ucnv_toUChars(converter, unit, 4, &byte, 1, &err) == 1 && U_SUCCESS(err) && !IsEscapedByte(unit[0])) {
      table->single[b] = unit[0];
      continue;
    }
    // Every trail byte after this lead, each pair followed by a line feed so
    // that a malformed pair cannot run into the next: a pair is a character
    // when exactly one unit comes from its first byte and none from its second.
    char triples[256 * 3];
    for (int t = 0; t < 256; ++t) {
      triples[3 * t] = byte;
      triples[3 * t + 1] = static_cast<char>(t);
      triples[3 * t + 2] = '\n';
    }
    UChar units[256 * 6];
    int32_t offsets[256 * 6];
    UChar* target = units;
    const char* source = triples;
    err = U_ZERO_ERROR;
    ucnv_resetToUnicode(converter);
    ucnv_toUnicode(converter, &target, units + std::size(units), &source, triples + sizeof triples, offsets, true,
                   &err);
    if (U_FAILURE(err)) return nullptr;
    const std::size_t count = static_cast<std::size_t>(target - units);
    int from_first[256] = {}, from_second[256] = {};
    char16_t first_unit[256] = {};
    for (std::size_t i = 0; i < count; ++i) {
      if (offsets[i] < 0) return nullptr;
      const int t = offsets[i] / 3;
      if (offsets[i] % 3 == 0) {
        ++from_first[t];
        first_unit[t] = units[i];
      } else if (offsets[i] % 3 == 1) {
        ++from_second[t];
      }
    }
    for (int t = 0; t < 256; ++t) {
      if (from_first[t] == 1 && from_second[t] == 0 && !IsEscapedByte(first_unit[t]) && first_unit[t] != 0) {
        table->pairs[(b - 0x80) * 256 + t] = first_unit[t];
        table->lowest_trail = std::min(table->lowest_trail, static_cast<std::uint8_t>(t));
      }
    }
  }
  ucnv_reset(converter);
  return table;
}

// Decodes the regular characters at the start of bytes by table; returns how
// many bytes it took. It stops at anything else, and before a lead byte whose
// trail byte is not in bytes.
// The same into room for bytes.size() units at out; units tells how many
// it wrote.
std::size_t DecodeByTable(const DoubleByteTable& table, BytesView bytes, char16_t* out, std::size_t& units) noexcept {
  char16_t* o = out;
  std::size_t i = 0;
  const std::size_t n = bytes.size();
  while (i < n) {
    const std::uint8_t b = bytes[i];
    if (b < 0x80) {
      *o++ = b;
      ++i;
    } else if (table.single[b] != 0) {
      *o++ = table.single[b];
      ++i;
    } else if (i + 1 < n && table.pairs[(b - 0x80) * 256 + bytes[i + 1]] != 0) {
      *o++ = table.pairs[(b - 0x80) * 256 + bytes[i + 1]];
      i += 2;
    } else {
      break;
    }
  }
  units = static_cast<std::size_t>(o - out);
  return i;
}

std::size_t DecodeByTable(const DoubleByteTable& table, BytesView bytes, Text& out) {
  const std::size_t at = out.size();
  out.resize(at + bytes.size());
  std::size_t units = 0;
  const std::size_t taken = DecodeByTable(table, bytes, out.data() + at, units);
  out.resize(at + units);
  return taken;
}

// Inputs smaller than this are decoded by the converter alone: reading the
// table would take longer than it saves.
constexpr std::size_t kTableWorthwhile = 64 * 1024;

}  // namespace

namespace {

// Look-alikes iconv writes for characters that a code page has no code of
// its own for and ICU no fallback: in code page 932 the ¢ £ ¬ of Latin-1
// take the codes of their full-width forms. Only pairs whose look-alike the
// code page holds are listed, so a fallback never fails in turn.
char16_t LookAlike(std::int32_t code_page, UChar32 code_point) {
  if (code_page != 932) return 0;
  switch (code_point) {
    case 0x00A2: return 0xFFE0;
    case 0x00A3: return 0xFFE1;
    case 0x00AC: return 0xFFE2;
    default: return 0;
  }
}

}  // namespace

struct EncodeCallbackState {
  EncodeRules rules;
  std::int32_t code_page = 0;
  bool replacing = false;  // U+FFFD is being written for Replace
  bool stopped = false;
  UChar32 code_point = 0;
  std::int32_t length = 0;  // units of the character that stopped it
  bool escaped = false;
};

namespace {

// The encoder callback of a stream with rules: escaped bytes and characters
// the code page cannot hold are kept, left out, replaced, or stop the
// conversion (the error stays set, and ICU returns with the source just past
// the character).
void U_CALLCONV EncodeByRules(const void* context, UConverterFromUnicodeArgs* args, const UChar* units,
                              int32_t length, UChar32 code_point, UConverterCallbackReason reason, UErrorCode* err) {
  if (reason > UCNV_IRREGULAR) return;
  auto* state = static_cast<EncodeCallbackState*>(const_cast<void*>(context));
  if (state->replacing) {  // the code page lacks U+FFFD
    *err = U_ZERO_ERROR;
    ucnv_cbFromUWriteSub(args, 0, err);
    return;
  }
  const bool escaped = length == 1 && IsEscapedByte(units[0]);
  if (!escaped && reason == UCNV_UNASSIGNED && state->rules.fallbacks) {
    if (const char16_t alike = LookAlike(state->code_page, code_point); alike != 0) {
      *err = U_ZERO_ERROR;
      const UChar* from = reinterpret_cast<const UChar*>(&alike);
      ucnv_cbFromUWriteUChars(args, &from, from + 1, 0, err);
      return;
    }
  }
  switch (escaped ? state->rules.escaped : state->rules.unmappable) {
    case InvalidAction::Keep:
      *err = U_ZERO_ERROR;
      if (escaped) {
        const char byte = static_cast<char>(units[0] - kEscapeBase);
        ucnv_cbFromUWriteBytes(args, &byte, 1, 0, err);
      } else {
        ucnv_cbFromUWriteSub(args, 0, err);
      }
      return;
    case InvalidAction::Omit:
      *err = U_ZERO_ERROR;
      return;
    case InvalidAction::Replace: {
      *err = U_ZERO_ERROR;
      const UChar replacement = 0xFFFD;
      state->replacing = true;
      const UChar* from = &replacement;
      ucnv_cbFromUWriteUChars(args, &from, from + 1, 0, err);
      state->replacing = false;
      return;
    }
    case InvalidAction::Stop:
      state->stopped = true;
      state->code_point = code_point;
      state->length = length;
      state->escaped = escaped;
      if (U_SUCCESS(*err)) *err = U_INVALID_CHAR_FOUND;
      return;
  }
}

}  // namespace

struct CodePageStream::Impl {
  bool byte_view = false;  // 1200 and negative code pages: no converter
  ConverterPtr icu;
  bool ascii_transparent = false;
  bool utf8 = false;
  bool table_tried = false;
  std::unique_ptr<DoubleByteTable> table;
  std::unique_ptr<IconvPair> iconv;
  Bytes byte_carry;  // an odd byte of the byte view, or a cut Johab character
  Text unit_carry;   // a high surrogate waiting for its pair (Johab)
  // HZ: ICU's shifts rewritten as the whole-buffer encoder does.
  std::unique_ptr<HzShiftNormalizer> hz;
  // Whether any input came yet: the whole-buffer functions give nothing for
  // nothing, where a flushed ISO-2022-KR encoder would still write its header.
  bool decoded_any = false;
  bool encoded_any = false;
  // Encoding by rules other than the whole-buffer functions' (the callback's
  // context; its address stays put with the Impl).
  EncodeCallbackState rules;
  bool by_rules = false;
  bool stopped = false;
  EncodeProblem problem;
};

namespace {

// The regular characters by table, the rest by the converter; each part
// begins where the converter holds nothing, so the joined result is what
// the converter alone gives.
bool DecodeWithTable(UConverter* converter, bool& table_tried, std::unique_ptr<DoubleByteTable>& table,
                     BytesView chunk, bool last, Text& out) {
  if (!table_tried) {
    // The table is read with a copy, so that this converter keeps its state.
    table_tried = true;
    UErrorCode err = U_ZERO_ERROR;
    ConverterPtr reader(ucnv_clone(converter, &err));
    if (U_SUCCESS(err) && reader) table = ReadDoubleByteTable(reader.get());
    if (!table) return IcuDecodeChunk(converter, chunk, last, out);
  }
  auto pending = [converter] {
    UErrorCode err = U_ZERO_ERROR;
    return ucnv_toUCountPending(converter, &err);
  };
  // A character the last chunk cut is completed by the converter first.
  while (!chunk.empty() && pending() != 0) {
    if (!IcuDecodeChunk(converter, chunk.substr(0, 1), last && chunk.size() == 1, out)) return false;
    chunk.remove_prefix(1);
  }
  while (!chunk.empty() && pending() == 0) {
    chunk.remove_prefix(DecodeByTable(*table, chunk, out));
    // Something irregular: the converter takes it, up to and with the next
    // byte that cannot be a trail byte, after which it holds nothing again.
    std::size_t end = 1;
    while (end < chunk.size() && chunk[end] >= table->lowest_trail) ++end;
    if (end >= chunk.size()) break;
    if (!IcuDecodeChunk(converter, chunk.substr(0, end + 1), false, out)) return false;
    chunk.remove_prefix(end + 1);
  }
  return IcuDecodeChunk(converter, chunk, last, out);
}

}  // namespace

namespace {

void RecordProblem(CodePageStream::Impl& s, std::ptrdiff_t position, char32_t code_point, bool escaped) {
  s.stopped = true;
  s.problem = {position, code_point, escaped};
}

// ICU's streaming encoder with the rules' callback; a Stop rule ends it with
// the place of the character.
bool IcuEncodeChunkByRules(CodePageStream::Impl& s, TextView chunk, bool last, Bytes& out) {
  const UChar* const begin = reinterpret_cast<const UChar*>(chunk.data());
  const UChar* source = begin;
  std::size_t written = out.size();
  out.resize(written + (chunk.size() + 8) * static_cast<std::size_t>(ucnv_getMaxCharSize(s.icu.get())));
  for (;;) {
    char* const base = reinterpret_cast<char*>(out.data());
    char* target = base + written;
    UErrorCode err = U_ZERO_ERROR;
    ucnv_fromUnicode(s.icu.get(), &target, base + out.size(), &source, begin + chunk.size(), nullptr, last, &err);
    written = static_cast<std::size_t>(target - base);
    if (err == U_BUFFER_OVERFLOW_ERROR) {
      out.resize(out.size() + out.size() / 2 + 16);
      continue;
    }
    out.resize(written);
    if (s.rules.stopped) {
      RecordProblem(s, (source - begin) - s.rules.length, static_cast<char32_t>(s.rules.code_point), s.rules.escaped);
      return false;
    }
    return U_SUCCESS(err);
  }
}

// The byte view with rules: a pair cut by the chunk's end waits for its
// second half; a lone surrogate is kept, left out, replaced by U+FFFD or
// stops the encoder.
bool ByteViewEncodeByRules(CodePageStream::Impl& s, TextView chunk, bool last, Bytes& out) {
  const std::ptrdiff_t carried = static_cast<std::ptrdiff_t>(s.unit_carry.size());
  Text joined;
  chunk = AfterCarry(s.unit_carry, chunk, joined);
  if (!last && !chunk.empty() && IsHighSurrogate(chunk.back())) {
    s.unit_carry.assign(1, chunk.back());
    chunk.remove_suffix(1);
  }
  std::size_t from = 0;
  for (std::size_t i = 0; i < chunk.size(); ++i) {
    const char16_t c = chunk[i];
    if ((c & 0xF800) != 0xD800) continue;
    if (IsHighSurrogate(c) && i + 1 < chunk.size() && (chunk[i + 1] & 0xFC00) == 0xDC00) {
      ++i;
      continue;
    }
    const bool escaped = IsEscapedByte(c);
    const InvalidAction action = escaped ? s.rules.rules.escaped : s.rules.rules.unmappable;
    if (action == InvalidAction::Keep) continue;
    out += TextToByteView(chunk.substr(from, i - from));
    from = i + 1;
    if (action == InvalidAction::Replace) out += TextToByteView(u"\uFFFD");
    if (action == InvalidAction::Stop) {
      RecordProblem(s, static_cast<std::ptrdiff_t>(i) - carried, c, escaped);
      return false;
    }
  }
  out += TextToByteView(chunk.substr(from));
  return true;
}

}  // namespace

CodePageStream::CodePageStream(std::int32_t code_page, const EncodeRules& rules) {
  try {
    auto impl = std::make_unique<Impl>();
    impl->rules.rules = rules;
    impl->rules.code_page = code_page;
    impl->by_rules = rules.escaped != InvalidAction::Keep || rules.unmappable != InvalidAction::Keep || rules.fallbacks;
    if (code_page == 1200 || code_page < 0) {
      impl->byte_view = true;
    } else if (const CodePageName* entry = FindCodePage(code_page); entry == nullptr) {
      return;
    } else if (entry->icu_name != nullptr) {
      UConverter* cached = Cache().Icu(*entry);
      if (cached == nullptr) return;
      UErrorCode err = U_ZERO_ERROR;
      impl->icu.reset(ucnv_clone(cached, &err));
      if (U_FAILURE(err) || !impl->icu) return;
      ucnv_reset(impl->icu.get());
      impl->ascii_transparent = IsAsciiTransparent(impl->icu.get());
      impl->utf8 = code_page == 65001;
      if (impl->by_rules) {
        ucnv_setFromUCallBack(impl->icu.get(), EncodeByRules, &impl->rules, nullptr, nullptr, &err);
        ucnv_setFallback(impl->icu.get(), rules.fallbacks);
        if (U_FAILURE(err)) return;
      }
      if (code_page == kHzCodePage) impl->hz = std::make_unique<HzShiftNormalizer>();
    } else {
      impl->iconv = std::make_unique<IconvPair>();
      impl->iconv->encoder = iconv_open(entry->iconv_name, "UTF-16LE");
      impl->iconv->decoder = iconv_open("UTF-16LE", entry->iconv_name);
      if (impl->iconv->encoder == reinterpret_cast<iconv_t>(-1) ||
          impl->iconv->decoder == reinterpret_cast<iconv_t>(-1)) {
        return;
      }
    }
    impl_ = std::move(impl);
  } catch (...) {
    impl_.reset();
  }
}

CodePageStream::~CodePageStream() = default;

bool CodePageStream::Usable() const { return impl_ != nullptr; }

bool CodePageStream::Decode(BytesView chunk, bool last, Text& out) {
  if (!impl_) return false;
  try {
    Impl& s = *impl_;
    if (chunk.empty() && (!last || !s.decoded_any)) return true;
    s.decoded_any = true;
    UErrorCode err = U_ZERO_ERROR;
    if (s.ascii_transparent && AllAscii(chunk) && ucnv_toUCountPending(s.icu.get(), &err) == 0) {
      AppendAscii(chunk, out);
      return true;
    }
    if (s.icu && s.ascii_transparent && (s.table || (!s.table_tried && chunk.size() >= kTableWorthwhile))) {
      return DecodeWithTable(s.icu.get(), s.table_tried, s.table, chunk, last, out);
    }
    if (s.icu) return IcuDecodeChunk(s.icu.get(), chunk, last, out);
    if (s.iconv) return IconvDecodeChunk(s.iconv->decoder, s.byte_carry, chunk, last, out);
    // Byte view: a byte left over from the last chunk pairs with this one's first.
    if (!s.byte_carry.empty() && !chunk.empty()) {
      out += static_cast<char16_t>(s.byte_carry[0] | (chunk[0] << 8));
      chunk.remove_prefix(1);
      s.byte_carry.clear();
    }
    out += ByteViewToText(chunk);
    if (chunk.size() % 2 != 0) s.byte_carry.assign(1, chunk.back());
    if (last) s.byte_carry.clear();
    return true;
  } catch (...) {
    return false;
  }
}

bool CodePageStream::Encode(TextView chunk, bool last, Bytes& out) {
  if (!impl_ || impl_->stopped) return false;
  try {
    Impl& s = *impl_;
    if (chunk.empty() && (!last || !s.encoded_any)) return true;
    s.encoded_any = true;
    if (s.hz) {
      Bytes icu_bytes;
      const bool converted =
          s.by_rules ? IcuEncodeChunkByRules(s, chunk, last, icu_bytes) : IcuEncodeChunk(s.icu.get(), chunk, last, icu_bytes);
      s.hz->Feed(icu_bytes, last || !converted, out);
      return converted;
    }
    UErrorCode err = U_ZERO_ERROR;
    if (s.ascii_transparent && AllAscii(chunk) && ucnv_fromUCountPending(s.icu.get(), &err) == 0) {
      AppendAscii(chunk, out);
      return true;
    }
    if (s.utf8 && !HasSurrogate(chunk) && ucnv_fromUCountPending(s.icu.get(), &err) == 0) {
      AppendUtf8(chunk, out);
      return true;
    }
    if (s.icu) return s.by_rules ? IcuEncodeChunkByRules(s, chunk, last, out) : IcuEncodeChunk(s.icu.get(), chunk, last, out);
    if (s.iconv) {
      if (!s.by_rules) return IconvEncodeChunk(s.iconv->encoder, s.unit_carry, chunk, last, out);
      IconvStop stop;
      if (IconvEncodeChunk(s.iconv->encoder, s.unit_carry, chunk, last, out, &s.rules.rules, &stop)) return true;
      if (stop.stopped) RecordProblem(s, static_cast<std::ptrdiff_t>(stop.position), stop.code_point, stop.escaped);
      return false;
    }
    if (s.by_rules) return ByteViewEncodeByRules(s, chunk, last, out);
    out += TextToByteView(chunk);
    return true;
  } catch (...) {
    return false;
  }
}

const EncodeProblem* CodePageStream::Problem() const { return impl_ && impl_->stopped ? &impl_->problem : nullptr; }

std::size_t CodePageStream::PendingDecodeBytes() const {
  if (!impl_) return 0;
  if (impl_->icu) {
    UErrorCode err = U_ZERO_ERROR;
    const int32_t pending = ucnv_toUCountPending(impl_->icu.get(), &err);
    return U_SUCCESS(err) && pending > 0 ? static_cast<std::size_t>(pending) : 0;
  }
  return impl_->byte_carry.size();
}

const DoubleByteTable* RegularCharacterTable(std::int32_t code_page) {
  const CodePageName* entry = FindCodePage(code_page);
  if (entry == nullptr || entry->icu_name == nullptr) return nullptr;
  const auto slot = static_cast<std::size_t>(entry - kCodePageNames);
  // One table per code page for the whole process, read when first asked
  // for (with the asking thread's converter) and never changed afterwards.
  static std::array<std::unique_ptr<DoubleByteTable>, kCodePageCount> tables;
  static std::array<std::once_flag, kCodePageCount> read;
  std::call_once(read[slot], [&] {
    UConverter* converter = Cache().Icu(*entry);
    if (converter != nullptr && IsAsciiTransparent(converter)) tables[slot] = ReadDoubleByteTable(converter);
  });
  return tables[slot].get();
}

bool AppendRegularCharacters(const DoubleByteTable& table, BytesView bytes, Text& out) {
  const std::size_t at = out.size();
  try {
    if (DecodeByTable(table, bytes, out) == bytes.size()) return true;
    out.resize(at);
    return false;
  } catch (...) {
    out.resize(at);
    return false;
  }
}

std::size_t DecodeRegularCharacters(const DoubleByteTable& table, BytesView bytes, char16_t* out) noexcept {
  std::size_t units = 0;
  return DecodeByTable(table, bytes, out, units) == bytes.size() ? units : static_cast<std::size_t>(-1);
}

bool AppendRegularCharacters(BytesView bytes, std::int32_t code_page, Text& out) {
  try {
    const DoubleByteTable* table = RegularCharacterTable(code_page);
    return table != nullptr && AppendRegularCharacters(*table, bytes, out);
  } catch (...) {
    return false;
  }
}

bool DecodeRegularCharacters(BytesView bytes, std::int32_t code_page, Text& out) {
  Text text;
  if (!AppendRegularCharacters(bytes, code_page, text)) return false;
  out = std::move(text);
  return true;
}

}  // namespace mok
