#include "codec/charset_conversion.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/ucnv_err.h>

#include <iconv.h>

#include <cerrno>
#include <memory>
#include <algorithm>
#include <array>

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
Bytes NormalizeHzShifts(BytesView bytes) {
  Bytes out;
  out.reserve(2 * bytes.size() + 2);  // each tilde in a run can cost a close and a reopen
  bool icu_gb = false;
  bool gb = false;
  auto shift = [&](bool to_gb) {
    if (gb == to_gb) return;
    out.push_back('~');
    out.push_back(to_gb ? '{' : '}');
    gb = to_gb;
  };
  std::size_t i = 0;
  while (i < bytes.size()) {
    const std::uint8_t b = bytes[i];
    const std::uint8_t next = i + 1 < bytes.size() ? bytes[i + 1] : 0;
    if (b == '~' && (next == '{' || next == '}')) {
      icu_gb = next == '{';
      i += 2;
    } else if (b == '~' && next == '~') {
      shift(false);
      out.push_back('~');
      out.push_back('~');
      i += 2;
    } else if (icu_gb && b >= 0x21 && b <= 0x7E && i + 1 < bytes.size()) {
      shift(true);
      out.push_back(b);
      out.push_back(next);
      i += 2;
    } else {
      if (!icu_gb) shift(false);
      out.push_back(b);
      ++i;
    }
  }
  shift(false);
  return out;
}

// glibc iconv for Johab, with the same treatment of what it cannot convert:
// unconvertible characters become "?" (escaped bytes go back to their byte),
// malformed bytes become one escape each.
bool IconvEncode(iconv_t cd, TextView text, Bytes& out) {
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
      out[written++] = IsEscapedByte(text[i]) ? static_cast<std::uint8_t>(text[i] - kEscapeBase) : '?';
    } else {
      written = out.size() - dst_left;
    }
    i += units;
  }
  out.resize(written);
  return true;
}

bool IconvDecode(iconv_t cd, BytesView bytes, Text& out) {
  out.resize(bytes.size() + 1);
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char* in = const_cast<char*>(reinterpret_cast<const char*>(bytes.data()));
  std::size_t in_left = bytes.size();
  std::size_t written = 0;
  while (in_left > 0) {
    char* dst = reinterpret_cast<char*>(out.data() + written);
    std::size_t dst_left = (out.size() - written) * 2;
    const std::size_t result = iconv(cd, &in, &in_left, &dst, &dst_left);
    written = out.size() - dst_left / 2;
    if (result != static_cast<std::size_t>(-1)) break;
    if (errno == E2BIG) {
      out.resize(out.size() * 2);
      continue;
    }
    // EILSEQ or EINVAL (cut short at the end): escape one byte and go on.
    if (written == out.size()) out.resize(out.size() * 2);
    out[written++] = static_cast<char16_t>(kEscapeBase + static_cast<unsigned char>(*in));
    ++in;
    --in_left;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  out.resize(written);
  return true;
}

}  // namespace

bool IsKnownCodePage(std::int32_t code_page) { return FindCodePage(code_page) != nullptr; }

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

}  // namespace mok
