// The double-byte pages' tables (and those of EUC-JP and GB18030) held
// against the repair steps' own ICU converters: every byte, every pair of
// bytes, every three bytes that begin with a pair held back for more and
// every four bytes of GB18030, decoded exactly, cut and whole, every BMP
// unit encoded, and random texts and bytes. Where the tables
// leave a text to the converter, that must be rare and for a reason.

#include "repair/native_double_byte.h"

#include <gtest/gtest.h>
#include <unicode/ucnv.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "repair/decoder_extras.h"
#include "tests/support/hex.h"

namespace mok::testing {
namespace {

constexpr std::int32_t kPages[] = {936, 950, 932, 949, 951, 20932, 54936};

// The step converter of a code page, converting as the steps do without
// their tables: encoding a whole text, and decoding bytes (flushed unless
// cut) whose text then has to encode back to the bytes decoded.
class StepConverter {
 public:
  explicit StepConverter(std::int32_t code_page) : converter_(OpenStepConverter(code_page)) {
    EXPECT_NE(converter_, nullptr) << code_page;
  }

  std::optional<Bytes> Encode(TextView text) {
    ucnv_resetFromUnicode(converter_.get());
    std::vector<char> buffer(text.size() * 4 + 16);
    char* target = buffer.data();
    const UChar* source = reinterpret_cast<const UChar*>(text.data());
    UErrorCode err = U_ZERO_ERROR;
    ucnv_fromUnicode(converter_.get(), &target, buffer.data() + buffer.size(), &source, source + text.size(),
                     nullptr, true, &err);
    if (U_FAILURE(err)) return std::nullopt;
    return Bytes(reinterpret_cast<const std::uint8_t*>(buffer.data()), static_cast<std::size_t>(target - buffer.data()));
  }

  // The text, and in pending the bytes left out at the end.
  std::optional<Text> DecodeExactly(BytesView bytes, bool cut, std::size_t& pending) {
    ucnv_resetToUnicode(converter_.get());
    std::vector<UChar> buffer(bytes.size() * 2 + 16);
    UChar* target = buffer.data();
    const char* source = reinterpret_cast<const char*>(bytes.data());
    UErrorCode err = U_ZERO_ERROR;
    ucnv_toUnicode(converter_.get(), &target, buffer.data() + buffer.size(), &source, source + bytes.size(), nullptr,
                   !cut, &err);
    if (U_FAILURE(err)) return std::nullopt;
    const int32_t left = cut ? ucnv_toUCountPending(converter_.get(), &err) : 0;
    pending = static_cast<std::size_t>(std::max(left, 0));
    const Text text(reinterpret_cast<const char16_t*>(buffer.data()), static_cast<std::size_t>(target - buffer.data()));
    const std::optional<Bytes> again = Encode(text);
    if (!again || BytesView(*again) != bytes.substr(0, bytes.size() - pending)) return std::nullopt;
    return text;
  }

 private:
  struct Closer {
    void operator()(UConverter* c) const { ucnv_close(c); }
  };
  std::unique_ptr<UConverter, Closer> converter_;
};

// Compares the tables' exact decoding with the converter's on the bytes;
// counts what the tables left to the converter, and failures.
struct Tally {
  int asked = 0;
  int failures = 0;
  int supplementary = 0;  // decodings with characters beyond the BMP
};

void CompareDecoding(const DoubleBytePage& page, StepConverter& icu, BytesView bytes, bool cut, Tally& tally) {
  Text native(u"x");  // decoding appends
  std::size_t pending = 99;
  const NativeOutcome outcome = DecodeDoubleByteExactly(page, bytes, cut, native, pending);
  if (outcome == NativeOutcome::kAskIcu) {
    ++tally.asked;
    if (native != u"x" && ++tally.failures <= 10) ADD_FAILURE() << "output changed " << Hex(bytes);
    return;
  }
  std::size_t expected_pending = 0;
  const std::optional<Text> expected = icu.DecodeExactly(bytes, cut, expected_pending);
  const bool same = outcome == NativeOutcome::kDone
                        ? expected && native == u"x" + *expected && pending == expected_pending
                        : !expected && native == u"x";
  if (outcome == NativeOutcome::kDone &&
      std::any_of(native.begin(), native.end(), [](char16_t u) { return u >= 0xD800 && u <= 0xDFFF; })) {
    ++tally.supplementary;
  }
  if (!same && ++tally.failures <= 10) {
    ADD_FAILURE() << "bytes " << Hex(bytes) << (cut ? "cut" : "whole") << "\n native: "
                  << (outcome == NativeOutcome::kDone ? Hex(TextView(native).substr(1)) : "refused")
                  << "\n ICU:    " << (expected ? Hex(*expected) : "refused");
  }
}

// The first bytes that begin pairs: those the converter holds back alone.
Bytes LeadBytes(std::int32_t code_page) {
  std::unique_ptr<UConverter, void (*)(UConverter*)> converter(OpenStepConverter(code_page), ucnv_close);
  Bytes leads;
  for (int b = 0; b < 256; ++b) {
    const char byte = static_cast<char>(b);
    const char* source = &byte;
    UChar unit[2];
    UChar* target = unit;
    UErrorCode err = U_ZERO_ERROR;
    ucnv_resetToUnicode(converter.get());
    ucnv_toUnicode(converter.get(), &target, unit + 2, &source, &byte + 1, nullptr, false, &err);
    if (U_SUCCESS(err) && target == unit && ucnv_toUCountPending(converter.get(), &err) == 1) {
      leads += static_cast<std::uint8_t>(b);
    }
  }
  return leads;
}

// Whether the converter, not flushed, holds back all of these bytes.
bool HeldBack(std::int32_t code_page, BytesView bytes) {
  std::unique_ptr<UConverter, void (*)(UConverter*)> converter(OpenStepConverter(code_page), ucnv_close);
  UChar units[8];
  UChar* target = units;
  const char* source = reinterpret_cast<const char*>(bytes.data());
  UErrorCode err = U_ZERO_ERROR;
  ucnv_toUnicode(converter.get(), &target, units + 8, &source, source + bytes.size(), nullptr, false, &err);
  return U_SUCCESS(err) && target == units &&
         ucnv_toUCountPending(converter.get(), &err) == static_cast<int32_t>(bytes.size());
}

TEST(NativeDoubleByteTest, TheDoubleBytePagesOfTheStepsHaveTables) {
  for (const std::int32_t code_page : kPages) {
    const DoubleBytePage* page = DoubleBytePageOf(code_page);
    ASSERT_NE(page, nullptr) << code_page;
    EXPECT_EQ(DoubleBytePageOf(code_page), page) << "read once";
    // Two-level tables, with rows only for lead bytes and blocks only for
    // the units a page maps: under 200 KB each, and GB18030's four bytes of
    // the BMP in 80 KB more.
    EXPECT_LT(TableBytes(*page), (code_page == 54936 ? 320u : 200u) * 1024) << code_page;
  }
  // The others have no characters of two bytes or more.
  for (const std::int32_t code_page : {65001, 1252, 437, 50221, 50225, 1200, 0, -1, 12345}) {
    EXPECT_EQ(DoubleBytePageOf(code_page), nullptr) << code_page;
  }
}

// Every byte and pair of bytes alone, cut and whole, and each pair followed
// by a lead byte cut off (left out when cut, truncated when whole).
TEST(NativeDoubleByteTest, EveryByteAndPairDecodesAsTheConverterDoes) {
  for (const std::int32_t code_page : kPages) {
    SCOPED_TRACE(code_page);
    const DoubleBytePage& page = *DoubleBytePageOf(code_page);
    StepConverter icu(code_page);
    const Bytes leads = LeadBytes(code_page);
    ASSERT_GE(leads.size(), 30u);
    Tally tally;
    for (const bool cut : {false, true}) {
      for (int x = 0; x < 256; ++x) {
        const std::uint8_t one[1] = {static_cast<std::uint8_t>(x)};
        CompareDecoding(page, icu, BytesView(one, 1), cut, tally);
        for (int y = 0; y < 256; ++y) {
          const std::uint8_t three[3] = {static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y),
                                         leads[static_cast<std::size_t>(x + y) % leads.size()]};
          CompareDecoding(page, icu, BytesView(three, 2), cut, tally);
          CompareDecoding(page, icu, BytesView(three, 3), cut, tally);
        }
      }
    }
    // EUC-JP and GB18030: every three bytes after a pair the converter holds
    // back, alone and before a lead byte.
    int threes = 0;
    for (const std::uint8_t lead : leads) {
      for (int y = 0; y < 256; ++y) {
        const std::uint8_t pair[2] = {lead, static_cast<std::uint8_t>(y)};
        if (!HeldBack(code_page, BytesView(pair, 2))) continue;
        ++threes;
        for (int z = 0; z < 256; ++z) {
          const std::uint8_t four[4] = {lead, static_cast<std::uint8_t>(y), static_cast<std::uint8_t>(z), lead};
          for (const bool cut : {false, true}) {
            CompareDecoding(page, icu, BytesView(four, 3), cut, tally);
            CompareDecoding(page, icu, BytesView(four, 4), cut, tally);
          }
        }
      }
    }
    EXPECT_EQ(threes, code_page == 20932 ? 94 : code_page == 54936 ? 126 * 10 : 0);
    EXPECT_EQ(tally.failures, 0);
    // None of these converters maps several characters at once, so the
    // tables decide every byte and pair.
    EXPECT_EQ(tally.asked, 0);
    // HKSCS puts thousands of characters beyond the BMP on pairs.
    if (code_page == 951) {
      EXPECT_GT(tally.supplementary, 4000);
    }
  }
}

// Every four bytes of GB18030 whose second and fourth bytes are digits:
// those of the BMP by table, those beyond it in order, the rest refused or
// left to the converter. Whole, and one in five cut after a pair.
TEST(NativeDoubleByteTest, EveryFourBytesOfGb18030DecodeAsTheConverterDoes) {
  const DoubleBytePage& page = *DoubleBytePageOf(54936);
  StepConverter icu(54936);
  Tally tally;
  int count = 0;
  std::uint8_t b[6] = {0, 0, 0, 0, 0x81, 0x30};
  for (int b1 = 0x81; b1 <= 0xFE; ++b1) {
    for (int b2 = 0x30; b2 <= 0x39; ++b2) {
      for (int b3 = 0x81; b3 <= 0xFE; ++b3) {
        for (int b4 = 0x30; b4 <= 0x39; ++b4) {
          b[0] = static_cast<std::uint8_t>(b1);
          b[1] = static_cast<std::uint8_t>(b2);
          b[2] = static_cast<std::uint8_t>(b3);
          b[3] = static_cast<std::uint8_t>(b4);
          CompareDecoding(page, icu, BytesView(b, 4), false, tally);
          if (++count % 5 == 0) CompareDecoding(page, icu, BytesView(b, 6), true, tally);
        }
      }
    }
  }
  EXPECT_EQ(tally.failures, 0);
  // The BMP's 39,420 and every code point beyond it.
  EXPECT_GT(tally.supplementary, 0x100000);
  // Left to the converter: only the bytes between the two, and after the last.
  EXPECT_LT(tally.asked, count - 0x100000 - 39420 + count / 5);
}

// Every BMP unit alone, all the units that encode in one text, and lone
// surrogates: kept bytes encode as themselves, others are refused.
TEST(NativeDoubleByteTest, EveryUnitEncodesAsTheConverterDoes) {
  for (const std::int32_t code_page : kPages) {
    SCOPED_TRACE(code_page);
    const DoubleBytePage& page = *DoubleBytePageOf(code_page);
    StepConverter icu(code_page);
    Text mappable;
    Bytes mapped;
    int asked = 0;
    int failures = 0;
    for (char32_t c = 0; c < 0x10000; ++c) {
      const Text unit(1, static_cast<char16_t>(c));
      Bytes native = ToBytes("junk");
      const NativeOutcome outcome = EncodeDoubleByte(page, unit, native);
      const std::optional<Bytes> expected = icu.Encode(unit);
      if (outcome == NativeOutcome::kAskIcu) {
        EXPECT_TRUE(native.empty());
        if (c < 0xD800 || c > 0xDBFF) ++asked;
        continue;
      }
      const bool same = outcome == NativeOutcome::kDone ? expected == native : !expected && native.empty();
      if (!same && ++failures <= 10) {
        ADD_FAILURE() << "U+" << Hex(unit) << " native " << (outcome == NativeOutcome::kDone ? Hex(native) : "refused")
                      << ", ICU " << (expected ? Hex(*expected) : "refused");
      }
      if (expected) {
        mappable += unit;
        mapped += *expected;
      }
    }
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(asked, 0);
    Bytes native;
    ASSERT_EQ(EncodeDoubleByte(page, mappable, native), NativeOutcome::kDone);
    EXPECT_EQ(native, mapped);
    EXPECT_EQ(icu.Encode(mappable), mapped);
    // Lone trail surrogates: a kept byte is its byte, anything else is refused.
    for (const Text& text : {Text(u"a\xDC80"), Text(u"\xDCFF\xDCC3"), Text(u"\xDC7F"), Text(u"a\xDFFF" u"b")}) {
      Bytes bytes;
      const NativeOutcome outcome = EncodeDoubleByte(page, text, bytes);
      const std::optional<Bytes> expected = icu.Encode(text);
      EXPECT_EQ(outcome, expected ? NativeOutcome::kDone : NativeOutcome::kRefused) << Hex(text);
      if (expected) {
        EXPECT_EQ(bytes, *expected) << Hex(text);
      }
    }
    // A lead surrogate may pair with what follows: always the converter's.
    for (const Text& text : {Text(u"\xD800"), Text(u"a\xD840\xDC00"), Text(u"\xDBFF\xDC80")}) {
      Bytes bytes;
      EXPECT_EQ(EncodeDoubleByte(page, text, bytes), NativeOutcome::kAskIcu) << Hex(text);
    }
  }
}

// Random runs of the page's characters, some bytes that are not, and cut
// pairs: decoded exactly, cut and whole; and random texts of its characters
// and some others encoded.
TEST(NativeDoubleByteTest, RandomBytesAndTextsConvertAsTheConverterDoes) {
  std::mt19937 random(950);
  for (const std::int32_t code_page : kPages) {
    SCOPED_TRACE(code_page);
    const DoubleBytePage& page = *DoubleBytePageOf(code_page);
    StepConverter icu(code_page);
    // Characters by their bytes: every single byte and pair that decodes
    // exactly alone.
    std::vector<Bytes> characters;
    Text alphabet;
    const Bytes leads = LeadBytes(code_page);
    for (int x = 0; x < 256; ++x) {
      for (int y = -1; y < 256; ++y) {
        Bytes bytes(1, static_cast<std::uint8_t>(x));
        if (y >= 0) bytes += static_cast<std::uint8_t>(y);
        const bool three = y >= 0 && HeldBack(code_page, bytes);
        for (int z = three ? 0 : -1; z < (three ? 256 : 0); ++z) {
          Bytes character = bytes;
          if (z >= 0) character += static_cast<std::uint8_t>(z);
          std::size_t pending = 0;
          if (const std::optional<Text> text = icu.DecodeExactly(character, false, pending)) {
            characters.push_back(character);
            alphabet += *text;
          }
        }
      }
    }
    // GB18030: some of its characters of four bytes too.
    for (int i = 0; i < 4000 && code_page == 54936; ++i) {
      const std::uint8_t four[4] = {static_cast<std::uint8_t>(0x81 + random() % (i % 2 ? 4 : 126)),
                                    static_cast<std::uint8_t>(0x30 + random() % 10),
                                    static_cast<std::uint8_t>(0x81 + random() % 126),
                                    static_cast<std::uint8_t>(0x30 + random() % 10)};
      std::size_t pending = 0;
      if (const std::optional<Text> text = icu.DecodeExactly(BytesView(four, 4), false, pending)) {
        characters.push_back(Bytes(four, 4));
        alphabet += *text;
      }
    }
    ASSERT_GT(characters.size(), 7000u);
    alphabet += u"\u00E9\u0416\u20AC\uFFFD\xDC80\xDCFF\xDC41\uE000\uF8F0\U00020000";
    Tally tally;
    for (int round = 0; round < 20000; ++round) {
      Bytes bytes;
      const int length = 1 + static_cast<int>(random() % 30);
      for (int i = 0; i < length; ++i) {
        switch (random() % 16) {
          case 0: bytes += static_cast<std::uint8_t>(random() % 256); break;  // anything
          case 1: bytes += leads[random() % leads.size()]; break;              // a pair cut or misread
          default: bytes += characters[random() % characters.size()];
        }
      }
      CompareDecoding(page, icu, bytes, round % 2 == 0, tally);
      Text text;
      const bool rare = round % 3 == 0;
      for (int i = 0; i < length; ++i) {
        const std::size_t at = random() % (rare ? alphabet.size() : alphabet.size() - 11);
        text += alphabet[at];
      }
      Bytes native;
      const NativeOutcome outcome = EncodeDoubleByte(page, text, native);
      if (outcome != NativeOutcome::kAskIcu) {
        const std::optional<Bytes> expected = icu.Encode(text);
        const bool same = outcome == NativeOutcome::kDone ? expected == native : !expected && native.empty();
        if (!same && ++tally.failures <= 10) ADD_FAILURE() << "encoding " << Hex(text);
      }
    }
    EXPECT_EQ(tally.failures, 0);
    // Left to the converter: only GB18030's four bytes outside the BMP's
    // and beyond it, which random bytes meet now and then.
    if (code_page == 54936) {
      EXPECT_LT(tally.asked, 200);
    } else {
      EXPECT_EQ(tally.asked, 0);
    }
  }
}

// Decoding exactly appends to what the text holds, and leaves it as it was
// unless the bytes decode; longer runs (beyond the buffer on the stack) too.
TEST(NativeDoubleByteTest, DecodingAppendsOnlyWhatDecodes) {
  const DoubleBytePage& page = *DoubleBytePageOf(936);
  auto decode = [&](std::string_view bytes, bool cut, Text& text) {
    std::size_t pending = 99;
    const NativeOutcome outcome = DecodeDoubleByteExactly(page, ToBytes(bytes), cut, text, pending);
    if (outcome == NativeOutcome::kDone) {
      EXPECT_EQ(pending, cut && bytes.size() % 2 == 1 ? 1u : 0u) << bytes;
    }
    return outcome;
  };
  Text text = u"ab";
  EXPECT_EQ(decode("\xD6\xD0\xCE\xC4", false, text), NativeOutcome::kDone);
  EXPECT_EQ(text, u"ab\u4E2D\u6587");
  EXPECT_EQ(decode("\xD6\xD0\x81\x7F", false, text), NativeOutcome::kRefused);
  EXPECT_EQ(decode("\xD6\xD0\xCE", false, text), NativeOutcome::kRefused);
  EXPECT_EQ(text, u"ab\u4E2D\u6587");
  EXPECT_EQ(decode("\xD6\xD0\xCE", true, text), NativeOutcome::kDone);
  EXPECT_EQ(text, u"ab\u4E2D\u6587\u4E2D");
  std::string long_run;
  Text expected;
  for (int i = 0; i < 400; ++i) {
    long_run += i % 3 == 0 ? "\xD6\xD0\xD6\xD0" : "\xD6\xD0";
    expected += i % 3 == 0 ? u"\u4E2D\u4E2D" : u"\u4E2D";
  }
  Text decoded = u"x";
  EXPECT_EQ(decode(long_run, false, decoded), NativeOutcome::kDone);
  EXPECT_EQ(decoded, u"x" + expected);
  long_run += "\xD6";
  EXPECT_EQ(decode(long_run, false, decoded), NativeOutcome::kRefused);
  EXPECT_EQ(decoded, u"x" + expected);
  EXPECT_EQ(decode(long_run, true, decoded), NativeOutcome::kDone);
  EXPECT_EQ(decoded, u"x" + expected + expected);
}

}  // namespace
}  // namespace mok::testing
