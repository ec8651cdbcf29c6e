// The native conversions of the repair steps held against ICU's strict
// converters, exhaustively where the inputs can be counted: every byte and
// every BMP unit of each single-byte page, every UTF-8 sequence of up to
// three bytes, and samples of longer ones.

#include "repair/native_pages.h"

#include <gtest/gtest.h>
#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/ucnv_err.h>

#include <memory>
#include <optional>
#include <random>
#include <set>
#include <string>

#include "codec/charset_conversion.h"
#include "repair/candidates.h"
#include "tests/support/hex.h"

namespace mok::testing {
namespace {

// A lone surrogate U+DC80..U+DCFF is the byte it keeps; anything else the
// converter cannot map stops the conversion.
void U_CALLCONV KeptBytes(const void*, UConverterFromUnicodeArgs* args, const UChar* units, int32_t length, UChar32,
                          UConverterCallbackReason reason, UErrorCode* err) {
  if (reason > UCNV_IRREGULAR || length != 1 || units[0] < 0xDC80 || units[0] > 0xDCFF) return;
  *err = U_ZERO_ERROR;
  const char byte = static_cast<char>(units[0] - 0xDC00);
  ucnv_cbFromUWriteBytes(args, &byte, 1, 0, err);
}

struct Decoded {
  bool ok = false;
  Text text;  // only compared when ok
  std::size_t pending = 0;
  DecodeError error;
};

std::string Describe(const Decoded& d) {
  if (!d.ok) return "error at " + std::to_string(d.error.at) + " length " + std::to_string(d.error.length);
  return "text " + Hex(d.text) + " pending " + std::to_string(d.pending);
}

void ExpectSame(const Decoded& native, const Decoded& icu, BytesView bytes, bool flush) {
  const bool same = native.ok == icu.ok &&
                    (native.ok ? native.text == icu.text && native.pending == icu.pending
                               : native.error.at == icu.error.at && native.error.length == icu.error.length);
  EXPECT_TRUE(same) << "bytes " << Hex(bytes) << (flush ? "flushed" : "not flushed") << "\n native: "
                    << Describe(native) << "\n ICU:    " << Describe(icu);
}

// ICU's strict converter for a code page, as the repair steps set theirs up.
class IcuStrict {
 public:
  explicit IcuStrict(std::int32_t code_page) {
    UErrorCode err = U_ZERO_ERROR;
    converter_.reset(ucnv_open(IcuConverterName(code_page), &err));
    ucnv_setFromUCallBack(converter_.get(), KeptBytes, nullptr, nullptr, nullptr, &err);
    ucnv_setToUCallBack(converter_.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &err);
    EXPECT_TRUE(U_SUCCESS(err)) << code_page;
  }

  std::optional<Bytes> Encode(TextView text) {
    ucnv_resetFromUnicode(converter_.get());
    char buffer[4096];
    char* target = buffer;
    const UChar* source = reinterpret_cast<const UChar*>(text.data());
    UErrorCode err = U_ZERO_ERROR;
    ucnv_fromUnicode(converter_.get(), &target, buffer + sizeof buffer, &source, source + text.size(), nullptr, true,
                     &err);
    if (U_FAILURE(err)) return std::nullopt;
    return Bytes(reinterpret_cast<const std::uint8_t*>(buffer), static_cast<std::size_t>(target - buffer));
  }

  Decoded Decode(BytesView bytes, bool flush) {
    Decoded out;
    ucnv_resetToUnicode(converter_.get());
    UChar buffer[4096];
    UChar* target = buffer;
    const char* begin = reinterpret_cast<const char*>(bytes.data());
    const char* source = begin;
    UErrorCode err = U_ZERO_ERROR;
    ucnv_toUnicode(converter_.get(), &target, buffer + std::size(buffer), &source, begin + bytes.size(), nullptr,
                   flush, &err);
    if (U_FAILURE(err)) {
      char invalid[32];
      int8_t length = sizeof invalid;
      UErrorCode ignored = U_ZERO_ERROR;
      ucnv_getInvalidChars(converter_.get(), invalid, &length, &ignored);
      const std::size_t after = static_cast<std::size_t>(source - begin);
      out.error.length = std::max<std::size_t>(1, static_cast<std::size_t>(length));
      out.error.at = after >= out.error.length ? after - out.error.length : 0;
      return out;
    }
    out.ok = true;
    out.text.assign(reinterpret_cast<const char16_t*>(buffer), static_cast<std::size_t>(target - buffer));
    UErrorCode ignored = U_ZERO_ERROR;
    const int32_t left = flush ? 0 : ucnv_toUCountPending(converter_.get(), &ignored);
    out.pending = left > 0 ? static_cast<std::size_t>(left) : 0;
    return out;
  }

 private:
  struct Closer {
    void operator()(UConverter* c) const { ucnv_close(c); }
  };
  std::unique_ptr<UConverter, Closer> converter_;
};

std::optional<Bytes> NativeEncode(const SingleBytePage& page, TextView text) {
  Bytes out;
  if (!EncodeSingleByte(page, text, out)) {
    EXPECT_TRUE(out.empty());
    return std::nullopt;
  }
  return out;
}

Decoded NativeDecode(const SingleBytePage& page, BytesView bytes) {
  Decoded out;
  out.ok = DecodeSingleByte(page, bytes, out.text, out.error);
  return out;
}

std::optional<Bytes> NativeUtf8Encode(TextView text) {
  Bytes out;
  if (!EncodeUtf8Strict(text, out)) return std::nullopt;
  return out;
}

Decoded NativeUtf8Decode(BytesView bytes, bool flush) {
  Decoded out;
  out.ok = DecodeUtf8Strict(bytes, flush, out.text, out.pending, out.error);
  return out;
}

Text Unit(char32_t c) {
  Text text;
  AppendCodePoint(text, c);
  return text;
}

// Texts of one or two units around surrogates: lone ones of every kind,
// kept bytes next to leads (which pair with them), and characters beyond
// the BMP, private-use planes included.
std::vector<Text> SurrogateCases() {
  std::vector<Text> cases;
  for (const char16_t lone : {0xD800, 0xDBFF, 0xDC00, 0xDC7F, 0xDC80, 0xDCC3, 0xDCFF, 0xDD00, 0xDFFF}) {
    cases.push_back(Text(1, lone));
    cases.push_back(Text{u'a', lone});
    cases.push_back(Text{lone, u'a'});
    cases.push_back(Text{lone, lone});
  }
  cases.push_back(u"\xD800\xDC80");
  cases.push_back(u"\xDBFF\xDCFF");
  cases.push_back(u"\xDC80\xD800");
  for (const char32_t c : {0x10000u, 0x10080u, 0x1F600u, 0x20000u, 0xE0041u, 0xF0000u, 0xFFFFDu, 0x100000u, 0x10FFFFu}) {
    cases.push_back(Unit(c));
    cases.push_back(u"x" + Unit(c) + u"y");
  }
  return cases;
}

// The code pages of the search's steps whose converters take one byte per character.
std::set<std::int32_t> StepSingleBytePages() {
  std::set<std::int32_t> pages;
  for (const RepairStep step : SearchSteps()) {
    for (const std::int32_t page : {step.code_page_a, step.code_page_b}) {
      const char* name = IcuConverterName(page);
      if (name == nullptr) continue;
      UErrorCode err = U_ZERO_ERROR;
      UConverter* converter = ucnv_open(name, &err);
      if (U_SUCCESS(err) && ucnv_getMaxCharSize(converter) == 1) pages.insert(page);
      ucnv_close(converter);
    }
  }
  return pages;
}

std::vector<std::int32_t> NativePages() {
  std::vector<std::int32_t> pages;
  for (std::int32_t page = 0; page < 70000; ++page) {
    if (SingleBytePageOf(page) != nullptr) pages.push_back(page);
  }
  return pages;
}

TEST(NativePagesTest, EverySingleBytePageOfTheStepsHasTables) {
  const std::set<std::int32_t> steps = StepSingleBytePages();
  // 1252, 28591, 1251, 20866, 437, 850, 866, 852, 874, the Windows and ISO
  // pages of Central Europe, Greece, Turkey, the Baltic, Israel and Arabia.
  EXPECT_GE(steps.size(), 21u);
  for (const std::int32_t page : steps) EXPECT_NE(SingleBytePageOf(page), nullptr) << page;
  // None for the multi-byte pages, UTF-8, unknown numbers and negative ones.
  for (const std::int32_t page : {936, 950, 932, 949, 54936, 20932, 951, 50221, 65001, 1200, 0, -1, 12345}) {
    EXPECT_EQ(SingleBytePageOf(page), nullptr) << page;
  }
}

TEST(NativePagesTest, SingleBytePagesDecodeEveryByteAsIcuDoes) {
  for (const std::int32_t code_page : NativePages()) {
    SCOPED_TRACE(code_page);
    const SingleBytePage& page = *SingleBytePageOf(code_page);
    IcuStrict icu(code_page);
    Bytes all;
    for (int b = 0; b < 256; ++b) {
      const Bytes byte(1, static_cast<std::uint8_t>(b));
      ExpectSame(NativeDecode(page, byte), icu.Decode(byte, true), byte, true);
      // Decoding exactly: the byte decodes and its character encodes back to it.
      const Decoded decoded = icu.Decode(byte, true);
      const std::optional<Bytes> again = decoded.ok ? icu.Encode(decoded.text) : std::nullopt;
      Text exact;
      EXPECT_EQ(DecodeSingleByteExactly(page, byte, exact), again == byte) << Hex(byte);
      if (again == byte) {
        EXPECT_EQ(exact, decoded.text);
      }
      all += byte;
    }
    // All of them in a row from a few starting points: decoding stops at the
    // first byte without a character, where ICU's does.
    for (std::size_t from = 0; from < 256; from += 37) {
      const BytesView run = BytesView(all).substr(from);
      ExpectSame(NativeDecode(page, run), icu.Decode(run, true), run, true);
    }
  }
}

TEST(NativePagesTest, SingleBytePagesEncodeEveryUnitAsIcuDoes) {
  for (const std::int32_t code_page : NativePages()) {
    SCOPED_TRACE(code_page);
    const SingleBytePage& page = *SingleBytePageOf(code_page);
    IcuStrict icu(code_page);
    Text mappable;
    Bytes mapped;
    for (char32_t c = 0; c < 0x10000; ++c) {
      const Text unit(1, static_cast<char16_t>(c));
      const std::optional<Bytes> expected = icu.Encode(unit);
      const std::optional<Bytes> native = NativeEncode(page, unit);
      if (native != expected) ADD_FAILURE() << "U+" << Hex(unit) << " native " << (native ? Hex(*native) : "fails")
                                            << ", ICU " << (expected ? Hex(*expected) : "fails");
      if (expected) {
        mappable += unit;
        mapped += *expected;
        EXPECT_TRUE(EncodesToSingleByte(page, unit, *expected)) << Hex(unit);
        EXPECT_FALSE(EncodesToSingleByte(page, unit, *expected + static_cast<std::uint8_t>('a'))) << Hex(unit);
      } else {
        EXPECT_FALSE(EncodesToSingleByte(page, unit, ToBytes("?"))) << Hex(unit);
      }
    }
    EXPECT_EQ(NativeEncode(page, mappable), mapped);
    EXPECT_TRUE(EncodesToSingleByte(page, mappable, mapped));
    for (const Text& text : SurrogateCases()) EXPECT_EQ(NativeEncode(page, text), icu.Encode(text)) << Hex(text);
  }
}

// Random texts of the characters a page maps and some it does not, and random
// bytes: a conversion stops where ICU's does and gives what it gives.
TEST(NativePagesTest, SingleBytePagesConvertRandomTextsAsIcuDoes) {
  std::mt19937 random(20261208);
  for (const std::int32_t code_page : NativePages()) {
    SCOPED_TRACE(code_page);
    const SingleBytePage& page = *SingleBytePageOf(code_page);
    IcuStrict icu(code_page);
    Text alphabet;
    for (int b = 0; b < 256; ++b) {
      const Decoded d = icu.Decode(Bytes(1, static_cast<std::uint8_t>(b)), true);
      if (d.ok) alphabet += d.text;
    }
    alphabet += u"\u20AC\u4E2D\uFFFD\xDC80\xDCFF\xDC41\xD800\uE000\uF8F0";
    for (int round = 0; round < 2000; ++round) {
      Text text;
      Bytes bytes;
      const int length = 1 + static_cast<int>(random() % 40);
      const bool rare = round % 2 == 0;  // half of them with a character outside the page now and then
      for (int i = 0; i < length; ++i) {
        const std::size_t limit = rare ? alphabet.size() : alphabet.size() - 9;
        text += alphabet[random() % limit];
        bytes += static_cast<std::uint8_t>(random() % (rare ? 256 : 128) + (rare ? 0 : 128));
      }
      EXPECT_EQ(NativeEncode(page, text), icu.Encode(text)) << Hex(text);
      ExpectSame(NativeDecode(page, bytes), icu.Decode(bytes, true), bytes, true);
    }
  }
}

// Every sequence of one, two and three bytes, flushed and left open.
void CheckUtf8Sequences(bool flush) {
  IcuStrict icu(65001);
  int failures = 0;
  auto check = [&](BytesView bytes) {
    const Decoded native = NativeUtf8Decode(bytes, flush);
    const Decoded expected = icu.Decode(bytes, flush);
    if (native.ok != expected.ok ||
        (native.ok ? native.text != expected.text || native.pending != expected.pending
                   : native.error.at != expected.error.at || native.error.length != expected.error.length)) {
      if (++failures <= 20) ExpectSame(native, expected, bytes, flush);
    }
  };
  std::uint8_t b[3];
  for (int x = 0; x < 256; ++x) {
    b[0] = static_cast<std::uint8_t>(x);
    check(BytesView(b, 1));
    for (int y = 0; y < 256; ++y) {
      b[1] = static_cast<std::uint8_t>(y);
      check(BytesView(b, 2));
      for (int z = 0; z < 256; ++z) {
        b[2] = static_cast<std::uint8_t>(z);
        check(BytesView(b, 3));
      }
    }
  }
  EXPECT_EQ(failures, 0);
}

TEST(NativePagesTest, Utf8DecodesEveryShortSequenceAsIcuDoes) { CheckUtf8Sequences(true); }
TEST(NativePagesTest, Utf8DecodesEveryShortSequenceLeftOpenAsIcuDoes) { CheckUtf8Sequences(false); }

// Four bytes and more: every lead with second, third and fourth bytes at the
// edges of the ranges that matter, then random runs weighted towards bytes
// that start or continue characters.
TEST(NativePagesTest, Utf8DecodesLongerSequencesAsIcuDoes) {
  IcuStrict icu(65001);
  const std::uint8_t edges[] = {0x00, 0x41, 0x7F, 0x80, 0x81, 0x8F, 0x90, 0x9F, 0xA0, 0xBF,
                                0xC0, 0xC1, 0xC2, 0xDF, 0xE0, 0xED, 0xEF, 0xF0, 0xF4, 0xF5, 0xFF};
  for (int lead = 0x80; lead < 0x100; ++lead) {
    for (const std::uint8_t x : edges) {
      for (const std::uint8_t y : edges) {
        for (const std::uint8_t z : edges) {
          const std::uint8_t b[] = {static_cast<std::uint8_t>(lead), x, y, z, 0x41};
          for (const std::size_t n : {4u, 5u}) {
            for (const bool flush : {true, false}) {
              const BytesView bytes(b, n);
              ExpectSame(NativeUtf8Decode(bytes, flush), icu.Decode(bytes, flush), bytes, flush);
            }
          }
        }
      }
    }
  }
  std::mt19937 random(65001);
  auto byte = [&]() -> std::uint8_t {
    switch (random() % 6) {
      case 0: return static_cast<std::uint8_t>(random() % 0x80);
      case 1: return static_cast<std::uint8_t>(0xC0 + random() % 0x40);
      case 2: return static_cast<std::uint8_t>(random() % 0x100);
      default: return static_cast<std::uint8_t>(0x80 + random() % 0x40);
    }
  };
  for (int round = 0; round < 400000; ++round) {
    Bytes bytes;
    const std::size_t n = 4 + random() % 9;
    for (std::size_t i = 0; i < n; ++i) bytes += byte();
    const bool flush = round % 2 == 0;
    const Decoded native = NativeUtf8Decode(bytes, flush);
    const Decoded expected = icu.Decode(bytes, flush);
    if (native.ok != expected.ok || native.text != expected.text || native.pending != expected.pending ||
        (!native.ok && (native.error.at != expected.error.at || native.error.length != expected.error.length))) {
      ExpectSame(native, expected, bytes, flush);
      break;
    }
  }
  // Every character beyond the BMP, each with the byte after it.
  for (char32_t c = 0x10000; c <= 0x10FFFF; ++c) {
    const std::uint8_t b[] = {static_cast<std::uint8_t>(0xF0 | (c >> 18)), static_cast<std::uint8_t>(0x80 | ((c >> 12) & 0x3F)),
                              static_cast<std::uint8_t>(0x80 | ((c >> 6) & 0x3F)), static_cast<std::uint8_t>(0x80 | (c & 0x3F))};
    const Decoded native = NativeUtf8Decode(BytesView(b, 4), true);
    if (!native.ok || native.text != Unit(c)) {
      ExpectSame(native, icu.Decode(BytesView(b, 4), true), BytesView(b, 4), true);
      break;
    }
  }
}

TEST(NativePagesTest, Utf8EncodesAsIcuDoes) {
  IcuStrict icu(65001);
  for (char32_t c = 0; c < 0x10000; ++c) {
    const Text unit(1, static_cast<char16_t>(c));
    const std::optional<Bytes> expected = icu.Encode(unit);
    const std::optional<Bytes> native = NativeUtf8Encode(unit);
    if (native != expected) ADD_FAILURE() << "U+" << Hex(unit);
    if (expected) {
      EXPECT_TRUE(EncodesToUtf8(unit, *expected)) << Hex(unit);
      EXPECT_FALSE(EncodesToUtf8(unit, expected->substr(1))) << Hex(unit);
      EXPECT_FALSE(EncodesToUtf8(unit, *expected + static_cast<std::uint8_t>('a'))) << Hex(unit);
    }
  }
  for (const Text& text : SurrogateCases()) {
    EXPECT_EQ(NativeUtf8Encode(text), icu.Encode(text)) << Hex(text);
    const std::optional<Bytes> expected = icu.Encode(text);
    if (expected) {
      EXPECT_TRUE(EncodesToUtf8(text, *expected)) << Hex(text);
    }
  }
  // Random texts of every kind of unit.
  std::mt19937 random(1200);
  const char16_t kinds[][2] = {{0x00, 0x7F}, {0x80, 0x7FF}, {0x800, 0xD7FF}, {0xD800, 0xDBFF},
                               {0xDC00, 0xDFFF}, {0xDC80, 0xDCFF}, {0xE000, 0xFFFF}};
  for (int round = 0; round < 100000; ++round) {
    Text text;
    const std::size_t n = 1 + random() % 12;
    for (std::size_t i = 0; i < n; ++i) {
      const auto& kind = kinds[random() % std::size(kinds)];
      text += static_cast<char16_t>(kind[0] + random() % (kind[1] - kind[0] + 1));
    }
    const std::optional<Bytes> expected = icu.Encode(text);
    if (NativeUtf8Encode(text) != expected) {
      ADD_FAILURE() << Hex(text);
      break;
    }
    if (expected) {
      EXPECT_TRUE(EncodesToUtf8(text, *expected));
    } else {
      EXPECT_FALSE(EncodesToUtf8(text, ToBytes("")));
    }
  }
}

}  // namespace
}  // namespace mok::testing
