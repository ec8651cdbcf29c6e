#include "codec/charset_conversion.h"

#include <gtest/gtest.h>

#include <iterator>
#include <random>

#include "codec/charset_tables.h"
#include "codec/conversion_core.h"
#include "codec/iso2022.h"
#include "codec/utf7_hz.h"
#include "tests/support/hex.h"

namespace mok {
namespace {

using testing::Hex;

bool RepresentsEverything(std::int32_t cp) { return cp == 54936 || cp == 1200 || cp == 65000 || cp == 65001; }

TEST(CharsetConversion, EveryCodePageWritesItsQuestionMarkForWhatItLacks) {
  for (const NamedCode& entry : CodePages()) {
    const std::int32_t cp = entry.code;
    SCOPED_TRACE(cp);
    // Thai (U+0E01) is in none of the tables but Thai's own and the Unicode
    // forms; Cyrillic (U+0416) is not in Thai's.
    const char16_t missing = cp == 874 ? u'\u0416' : u'\u0E01';
    const Text text = {u'A', missing, u'B'};
    const Bytes bytes = TextToCpBytes(text, cp);
    if (RepresentsEverything(cp)) {
      EXPECT_EQ(Hex(CpBytesToText(bytes, cp)), Hex(text));
      continue;
    }
    EXPECT_EQ(Hex(bytes), Hex(TextToCpBytes(u"A?B", cp)));
    EXPECT_EQ(Hex(CpBytesToText(bytes, cp)), Hex(u"A?B"));
    EXPECT_EQ(bytes.find(0x1A), Bytes::npos);
  }
}

TEST(CharsetConversion, StatefulCodePagesShiftOutForTheQuestionMark) {
  for (const std::int32_t cp : {52936, 50227, 50229, 50221, 50225}) {
    SCOPED_TRACE(cp);
    // Between two ideographs: the substitute stands in the ASCII part.
    const Bytes bytes = TextToCpBytes(u"\u4E2D\u0E01\u4E2D", cp);
    EXPECT_EQ(Hex(CpBytesToText(bytes, cp)), Hex(u"\u4E2D?\u4E2D"));
    EXPECT_EQ(bytes.find(0x1A), Bytes::npos);
  }
}

// HZ starts in ASCII and ends there, ISO-2022 ends back in ASCII. What HZ
// gives is read back right by the random mixtures below.
TEST(CharsetConversion, StatefulCodePagesShiftWhereTheirReadersExpect) {
  struct Case {
    std::int32_t cp;
    Text text;
    const char* bytes;
  };
  const Case cases[] = {
      {52936, u"Ab\u4E2D", "Ab~{VP~}"},
      {52936, u"\u4E2D", "~{VP~}"},
      {52936, u"\u4E2DA", "~{VP~}A"},
      {52936, u"A", "A"},
      {52936, u"~", "~~"},
      {52936, u"~\u4E2D~", "~~~{VP~}~~"},
      {52936, u"A\u4E2Db\u6587", "A~{VP~}b~{ND~}"},
      {52936, u"\u4E2D\u0E01", "~{VP~}?"},
      {52936, u"\u4E2D~\u6587", "~{VP~}~~~{ND~}"},  // ICU wrote "~~" inside the run
      {52936, u"\u4E2D~", "~{VP~}~~"},
      {52936, u"\u0E01", "?"},  // the example of the fault: HZ gave a bare 0x1A
      {50221, u"Ab\u4E2D", "Ab\x1B$BCf\x1B(B"},
      {50227, u"Ab\u4E2D", "Ab\x1B$)A\x0EVP\x0F"},
      {50225, u"Ab\uD55C", "\x1B$)CAb\x0EGQ\x0F"},
      {50225, u"A\u0E01", "\x1B$)CA?"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Hex(TextToCpBytes(c.text, c.cp)), Hex(ToBytes(c.bytes))) << c.cp << ": " << c.bytes;
  }
}

TEST(CharsetConversion, HzOfRandomMixturesReadsBack) {
  // ASCII, tildes, line breaks, GB2312 and characters HZ lacks, in random order.
  const char16_t pieces[] = {u'a', u'~', u'\r', u'\n', u' ', u'\u4E2D', u'\u6587', u'\u3042', u'\u0E01', u'\uAC00'};
  std::mt19937 random(11);
  for (int trial = 0; trial < 300; ++trial) {
    Text text;
    const std::size_t length = 1 + random() % 12;
    for (std::size_t i = 0; i < length; ++i) text += pieces[random() % std::size(pieces)];
    Text expected = text;
    for (char16_t& u : expected) u = (u == 0x0E01 || u == 0xAC00) ? u'?' : u;
    const Bytes bytes = TextToCpBytes(text, 52936);
    SCOPED_TRACE(Hex(text) + "-> " + Hex(bytes));
    Text shown = Latin1BytesToText(bytes);
    DecodeHzGb(shown);
    ASSERT_EQ(Hex(shown), Hex(expected));
    ASSERT_EQ(Hex(CpBytesToText(bytes, 52936)), Hex(expected));
  }
}

// What CP--CP makes from clean text with an ISO-2022 code page, shown as
// Latin-1, is what the Esc+... decoders read back (HZ: the random mixtures above).
TEST(CharsetConversion, SevenBitFormsDecodeBackWithTheirDecoders) {
  struct Case {
    std::int32_t cp;
    std::int16_t iso2022_variant;
    Text text;
  };
  const Case cases[] = {
      {50227, 0, u"Ab\u4E2D\u6587 cd\r\n\u4E2D"},
      {50221, 1, u"Ab\u65E5\u672C cd\r\n\u3042"},
      {50221, 1, u"\u3042 b"},
      {50225, 2, u"Ab\uD55C\uAE00 cd\r\n\uD55C"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.cp);
    Text made = c.text;
    ReinterpretByCp(made, c.cp, 28591);
    ASSERT_FALSE(made.empty());
    DecodeIso2022(made, c.iso2022_variant);
    EXPECT_EQ(Hex(made), Hex(c.text));
  }
}

}  // namespace
}  // namespace mok
