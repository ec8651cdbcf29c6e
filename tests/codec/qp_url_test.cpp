#include "codec/qp_url.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

#include "codec/conversion_core.h"
#include "tests/codec/literal_refs_qp.h"
#include "tests/support/hex.h"
#include "tests/support/streamed.h"

namespace mok {
namespace {

using ::mok::testing::Hex;

Text Decoded(Text text, std::int32_t code, std::int16_t mode) {
  DecodeQpUrl(text, code, mode);
  return text;
}

Text Encoded(Text text, std::int16_t index) {
  EncodeQpUrl(text, index);
  return text;
}

struct DecodeCase {
  Text input;
  std::int32_t code;
  std::int16_t mode;
  Text expected;
};

TEST(DecodeQpUrl, TableCases) {
  const DecodeCase cases[] = {
      {u"=E4=B8=AD", -4, 0, u"\u4E2D"},
      {u"=e4=b8=ad", -4, 0, u"\u4E2D"},
      {u"a+b%20c", 2052, 1, u"a b c"},
      {u"a+b%20c", -1, 1, u"a b c"},
      {u"a+b", 2052, 0, u"a+b"},             // "+" is a space only in URLs
      {u"%zz", 2052, 1, u"%zz"},
      {u"=G0", 2052, 0, u"=G0"},
      {u"ab=4", 2052, 0, u"ab=4"},           // too short to be an escape
      {u"=4", 2052, 0, u"=4"},
      {u"%E4%B8%ADabc", -4, 1, u"\u4E2Dabc"},  // "a" joins the run as a byte
      {u"%E4%B8abc", -4, 1, u"\u0138abc"},    // ... even into a cut-short sequence (E4 B8 61)
      {u"=41=", -1, 0, u"A="},
      {u"==41", -1, 0, u"=A"},
      {u"=4=41", -1, 0, u"=4A"},
      {u"=41==42", -1, 0, u"A=B"},
      {u"=41=4G=42", -1, 0, u"A=4GB"},
      {u"=41 =42", -1, 0, u"A B"},           // a space ends a run
      {u"=41\t=42", -1, 0, u"A\tB"},
      {u"%41=%42", -1, 1, u"A=B"},           // "=" is an ordinary character in URLs
      {Text(u"=00a\0b", 6), -1, 0, u" a b"},    // NULs become spaces
      {u"=B0=A1", 2052, 0, u"\u554A"},
      {u"=B0=A1", 936, 128, u"\u554A"},
      {u"%E4%B8%AD", 65001, 129, u"\u4E2D"},
      {u"=41=42", -2, 0, u"\u4241"},         // the byte view: two bytes, one unit
      {u"x=41", -2, 0, u"x"},                // one byte forms no unit
      {u"=41=42", -3, 0, u"\u4142"},
      {u"a=\r\nb= \r\nc=\t\r\nd", -1, 0, u"abcd"},
      {u"a=\nb= \nc=\t\nd", -1, 0, u"abcd"},  // LF line ends, as mail is stored on Linux
      {u"a=  \r\nb", -1, 0, u"ab"},           // any spaces and tabs: transport padding
      {u"a= \t\nb", -1, 0, u"ab"},
      {u"a=\rb", -1, 0, u"a=\rb"},             // a lone CR is no line end
      {u"a= \r \nb", -1, 0, u"a= \r \nb"},     // nor a CR with something after it
      {u"a= b\n", -1, 0, u"a= b\n"},
      {u"=\t= \r\n\r\n", -1, 0, u"=\t\r\n"},  // a removal never makes another
      {u"= =\r\n\r\n", -1, 0, u"= \r\n"},
      {u"==\r\n\r\n", -1, 0, u"=\r\n"},
      {u"=\n\n=\r\n\n", -1, 0, u"\n\n"},
      {u"=D6=\n=D0", 2052, 0, u"\u4E2D"},        // a run goes on across a soft break
      {u"a=" + Text(kMaxSoftBreakPadding, u' ') + u"\nb", -1, 0, u"ab"},
      {u"a=" + Text(kMaxSoftBreakPadding + 1, u' ') + u"\nb", -1, 0,
       u"a=" + Text(kMaxSoftBreakPadding + 1, u' ') + u"\nb"},
      {u"a=\r\nb", -1, 1, u"a=\r\nb"},       // soft line breaks belong to quoted-printable
  };
  for (const DecodeCase& c : cases) {
    EXPECT_EQ(Hex(Decoded(c.input, c.code, c.mode)), Hex(c.expected))
        << "code " << c.code << " mode " << c.mode << " input " << Hex(c.input);
  }
}

TEST(DecodeQpUrl, PrintableTrailByteJoinsTheRun) {
  const Text one = CpBytesToText(ToBytes("\xB0\x40"), 936);
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(Hex(Decoded(u"=B0@", 2052, 0)), Hex(one));
  EXPECT_EQ(Hex(Decoded(u"=B0=A1=B0@=B0=A1", 2052, 0)), Hex(u"\u554A" + one + u"\u554A"));
  // A second printable character is not a trail byte and stays outside.
  EXPECT_EQ(Hex(Decoded(u"=B0@@", 2052, 0)), Hex(one + u"@"));
}

TEST(DecodeQpUrl, InvalidModeOrCharacterSet) {
  for (const std::int16_t mode : {std::int16_t{2}, std::int16_t{127}, std::int16_t{130}, std::int16_t{-1}}) {
    EXPECT_TRUE(Decoded(u"=41", -1, mode).empty()) << mode;
    EXPECT_TRUE(Decoded(u"", -1, mode).empty()) << mode;
  }
  EXPECT_TRUE(Decoded(u"", 2052, 0).empty());
  // A code that names no character set fails as a whole once there is a run
  // to decode, rather than losing the escaped bytes silently.
  EXPECT_TRUE(Decoded(u"a=41b", -5, 0).empty());
  EXPECT_TRUE(Decoded(u"a=41b", 4242, 0).empty());
  EXPECT_TRUE(Decoded(u"a%41b", 4242, 129).empty());
  EXPECT_EQ(Decoded(u"a=4Gb", -5, 0), u"a=4Gb");
}

// Random text from pieces that make, break and join escapes and soft line breaks.
Text RandomQpText(std::mt19937& rng, std::size_t pieces, bool breaks_only) {
  static const Text all[] = {
      u"=",   u"%",   u"+",   u"=4",  u"=41", u"=E4", u"=B8", u"=AD", u"=B0", u"=A1", u"%E4", u"%B8", u"%u",
      u"=G",  u"z",   u"a",   u"A",   u"0",   u"9",   u"@",   u" ",   u"\t",  u"\r",  u"\n",  u"\r\n", u"=\r\n",
      u"= \r\n", u"=\t\r\n", u"=  \r\n", u"=\n", u"= \t\n", Text(1, 0), u"\u4E2D", u"~", u"!", u"==", u"=3D", u"=00", u"%00", u"=FF",
      u"=80", u"%25", u"=81", u"%A1", u"=8F"};
  static const Text breaks[] = {u"=",      u" ",       u"\t",  u"\r", u"\n",  u"=\r\n", u"= \r\n",
                                u"=\t\r\n", u"=  \t\n", u"=\n", u"z",  u"==", u"\r\n"};
  const Text* set = breaks_only ? breaks : all;
  const std::size_t size = breaks_only ? std::size(breaks) : std::size(all);
  std::uniform_int_distribution<std::size_t> pick(0, size - 1);
  Text text;
  for (std::size_t i = 0; i < pieces; ++i) text += set[pick(rng)];
  return text;
}

TEST(DecodeQpUrl, SoftLineBreaksMatchAReadingFromTheStart) {
  std::mt19937 rng(11);
  for (int round = 0; round < 5000; ++round) {
    const Text input = RandomQpText(rng, 1 + round % 30, true);
    const Text expected = literal::RemoveSoftLineBreaks(input);
    ASSERT_EQ(Hex(Decoded(input, -1, 0)), Hex(expected)) << "input " << Hex(input);
  }
}

TEST(DecodeQpUrl, MatchesStepByStepAlgorithm) {
  struct Setting {
    std::int32_t code;
    std::int16_t mode;
  };
  const Setting settings[] = {{2052, 0}, {2052, 1}, {1028, 0}, {1041, 1}, {-1, 0}, {-2, 1}, {-3, 0}, {-4, 0},
                              {-4, 1},   {936, 128}, {54936, 129}, {950, 128}, {932, 129}, {20932, 128},
                              {949, 128}, {1361, 129}, {20000, 128}, {1252, 128}, {65001, 129}, {1200, 128},
                              {65000, 128}, {52936, 129}, {50221, 128}, {-1, 128}};
  std::mt19937 rng(5);
  for (int round = 0; round < 2000; ++round) {
    const Text input = RandomQpText(rng, 1 + round % 40, false);
    const Setting& s = settings[round % std::size(settings)];
    Text expected = input;
    literal::DecodeQpUrl(expected, s.code, s.mode);
    const Text actual = Decoded(input, s.code, s.mode);
    ASSERT_EQ(Hex(actual), Hex(expected)) << "code " << s.code << " mode " << s.mode << " input " << Hex(input);
    ASSERT_LE(actual.size(), input.size());
  }
}

struct EncodeCase {
  Text input;
  std::int16_t index;
  Text expected;
};

TEST(EncodeQpUrl, TableCases) {
  const EncodeCase cases[] = {
      {u"\u554A", 0, u"=B0=A1"},
      {u"\u4E02", 0, u"=81=40"},           // the printable trail byte is escaped
      {u"\u4E02", 1, u"=81=40"},
      {u"a=b", 8, u"a=3Db"},
      {u"\r\n\t x", 8, u"=0D=0A=09 x"},    // spaces are never escaped
      {u"\u00B0A", 8, u"=B0A"},            // no lead bytes in a single-byte code page
      {u"\u00E9", 9, u"=C3=A9"},
      {u"\u00E9A", 9, u"=C3=A9A"},
      {u"=", 0, u"=3D"},
      {u"\u554AA\u554AAB", 0, u"=B0=A1A=B0=A1AB"},
  };
  for (const EncodeCase& c : cases) {
    EXPECT_EQ(Hex(Encoded(c.input, c.index)), Hex(c.expected)) << "index " << c.index << " input " << Hex(c.input);
  }
  for (const std::int16_t index : {std::int16_t{-1}, std::int16_t{10}}) {
    EXPECT_TRUE(Encoded(u"abc", index).empty()) << index;
  }
  EXPECT_TRUE(Encoded(u"", 0).empty());
}

TEST(EncodeQpUrl, LineLength) {
  const Text letters(100, u'k');
  EXPECT_EQ(Encoded(letters, 8), Text(75, u'k') + u"=\r\n" + Text(25, u'k'));
  // 25 escapes fill a line of 75; the 26th starts the next line.
  Text escapes;
  for (int i = 0; i < 25; ++i) escapes += u"=E9";
  EXPECT_EQ(Encoded(Text(26, u'\u00E9'), 8), escapes + u"=\r\n=E9");
  // 73 letters and an escape: the escape would end at 76, so it goes first.
  EXPECT_EQ(Encoded(Text(73, u'k') + u"\u00E9", 8), Text(73, u'k') + u"=\r\n=E9");
}

// Characters of a code page's repertoire that a quoted-printable round trip
// can carry: each must come back from its own encoding, and one that encodes
// as a printable ASCII byte must be that ASCII character (bytes outside runs
// are never decoded).
std::vector<Text> Repertoire(std::int32_t code_page, std::mt19937& rng) {
  std::set<Text> candidates;
  for (char16_t c = 0x20; c < 0x7F; ++c) candidates.insert(Text(1, c));
  candidates.insert(u"\r");
  candidates.insert(u"\n");
  candidates.insert(u"\t");
  std::uniform_int_distribution<int> high(0x80, 0xFF);
  std::uniform_int_distribution<int> any(0x21, 0xFF);
  std::uniform_int_distribution<int> digit(0x30, 0x39);
  for (int i = 0; i < 3000; ++i) {
    Bytes bytes;
    bytes += static_cast<std::uint8_t>(high(rng));
    bytes += static_cast<std::uint8_t>(any(rng));
    if (code_page == 54936 && i % 3 == 0) {  // four-byte sequences, supplementary planes included
      bytes = {static_cast<std::uint8_t>(i % 2 ? 0x81 + i % 4 : 0x90 + i % 0x20), static_cast<std::uint8_t>(digit(rng)),
               static_cast<std::uint8_t>(high(rng) | 0x81), static_cast<std::uint8_t>(digit(rng))};
    }
    if (code_page == 20932 && i % 4 == 0) bytes.insert(bytes.begin(), 0x8F);
    const Text decoded = CpBytesToText(bytes, code_page);
    for (std::size_t k = 0; k < decoded.size(); ++k) {
      const bool pair = decoded[k] >= 0xD800 && decoded[k] <= 0xDBFF && k + 1 < decoded.size() &&
                        decoded[k + 1] >= 0xDC00 && decoded[k + 1] <= 0xDFFF;
      candidates.insert(decoded.substr(k, pair ? 2 : 1));
      if (pair) ++k;
    }
  }
  if (code_page == 65001) {
    std::uniform_int_distribution<int> point(0x80, 0x10FFFF);
    for (int i = 0; i < 2000; ++i) {
      const int cp = point(rng);
      if (cp >= 0xD800 && cp <= 0xDFFF) continue;
      if (cp < 0x10000) {
        candidates.insert(Text(1, static_cast<char16_t>(cp)));
      } else {
        candidates.insert(Text{static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)),
                               static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF))});
      }
    }
  }
  std::vector<Text> repertoire;
  for (const Text& c : candidates) {
    if (c.size() == 1 && ((c[0] >= 0xD800 && c[0] <= 0xDFFF) || c[0] == 0)) continue;
    const Bytes bytes = TextToCpBytes(c, code_page);
    if (CpBytesToText(bytes, code_page) != c) continue;
    if (bytes.size() == 1 && bytes[0] >= 0x21 && bytes[0] <= 0x7E && c != Text(1, bytes[0])) continue;
    repertoire.push_back(c);
  }
  return repertoire;
}

TEST(EncodeQpUrl, RoundTripsThroughTheDecoderForEveryCharset) {
  const std::int32_t code_pages[] = {936, 54936, 950, 20000, 932, 20932, 949, 1361, 1252, 65001};
  std::mt19937 rng(3);
  for (std::int16_t index = 0; index < 10; ++index) {
    const std::int32_t code_page = code_pages[index];
    const std::vector<Text> repertoire = Repertoire(code_page, rng);
    ASSERT_GT(repertoire.size(), 100u) << code_page;
    std::uniform_int_distribution<std::size_t> pick(0, repertoire.size() - 1);
    for (int round = 0; round < 40; ++round) {
      Text input;
      const std::size_t length = 1 + round * 7;
      // Half the texts mostly ASCII, half mostly from the upper repertoire.
      std::uniform_int_distribution<std::size_t> ascii(0, 97);
      for (std::size_t i = 0; i < length; ++i) input += repertoire[round % 2 ? pick(rng) : ascii(rng)];
      const Text encoded = Encoded(input, index);
      Text slow = input;
      literal::EncodeQpUrl(slow, index);
      ASSERT_EQ(Hex(encoded), Hex(slow)) << "code page " << code_page << " input " << Hex(input);
      std::size_t line_start = 0;
      for (std::size_t i = 0; i <= encoded.size(); ++i) {
        if (i == encoded.size() || encoded[i] == u'\r') {
          ASSERT_LE(i - line_start, 76u) << "code page " << code_page;
          line_start = i + 2;
        }
      }
      ASSERT_EQ(Hex(Decoded(encoded, code_page, 128)), Hex(input))
          << "code page " << code_page << " encoded " << Hex(encoded);
    }
  }
}

TEST(DecodeQpUrl, LongInputIsLinear) {
  Text input;
  for (int i = 0; i < 200000; ++i) input += u"=B0=A1a=\r\n";
  DecodeQpUrl(input, 936, 128);
  EXPECT_EQ(input.size(), 400000u);
  Text soft(1000000, u'=');
  DecodeQpUrl(soft, 936, 128);
  EXPECT_EQ(soft.size(), 1000000u);
}

}  // namespace
}  // namespace mok

namespace mok {
namespace {

using mok::testing::Streamed;

TEST(QpUrlStreamDecoder, EqualsTheWholeTextDecoderForAnySplit) {
  struct Setting {
    std::int32_t code;
    std::int16_t mode;
  };
  const Setting settings[] = {{2052, 0}, {2052, 1}, {1028, 0}, {-1, 0}, {-2, 1}, {-3, 0}, {-4, 0}, {-4, 1},
                              {936, 128}, {950, 129}, {932, 128}, {1361, 129}, {65001, 129}, {1200, 128},
                              {52936, 128}, {50221, 129}};
  std::mt19937 rng(17);
  for (int round = 0; round < 3000; ++round) {
    const Setting& s = settings[round % std::size(settings)];
    const Text input = RandomQpText(rng, 1 + round % 50, round % 5 == 0);
    QpUrlStreamDecoder decoder(s.code, s.mode);
    ASSERT_TRUE(decoder.Usable());
    SCOPED_TRACE(::testing::Message() << "code " << s.code << " mode " << s.mode << " input " << Hex(input));
    const Text streamed = Streamed(decoder, input, rng, round % 2 ? 3 : 12);
    ASSERT_EQ(Hex(streamed), Hex(Decoded(input, s.code, s.mode)))
        << "code " << s.code << " mode " << s.mode << " input " << Hex(input);
  }
}

TEST(QpUrlStreamDecoder, RunsLongerThanAChunkAndPaddingAtItsLimit) {
  std::mt19937 rng(5);
  // One run of 300000 escaped GBK bytes across soft breaks, a printable
  // trail byte now and then, and a character cut by every piece's end.
  Text run;
  for (int i = 0; i < 50000; ++i) run += i % 7 == 0 ? u"=B0@=B0=A1=\r\n" : u"=D6=D0=CE=\n=C4";
  const Text padded = u"x=" + Text(kMaxSoftBreakPadding, u'\t') + u"\r\ny=" + Text(kMaxSoftBreakPadding + 1, u' ') + u"\nz";
  for (const Text& input : {run, padded, Text(u"=") + run}) {
    QpUrlStreamDecoder decoder(2052, 0);
    const Text streamed = Streamed(decoder, input, rng, 70000);
    const Text whole = Decoded(input, 2052, 0);
    EXPECT_TRUE(streamed == whole) << "input of " << input.size() << " units: " << streamed.size()
                                   << " units streamed, " << whole.size() << " whole";
  }
}

TEST(QpUrlStreamDecoder, RefusesWhatTheWholeTextDecoderRefuses) {
  EXPECT_FALSE(QpUrlStreamDecoder(2052, 2).Usable());
  EXPECT_FALSE(QpUrlStreamDecoder(-5, 0).Usable());
  EXPECT_FALSE(QpUrlStreamDecoder(4242, 129).Usable());
}

}  // namespace
}  // namespace mok
