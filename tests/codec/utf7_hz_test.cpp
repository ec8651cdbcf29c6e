#include "codec/utf7_hz.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "codec/base64.h"
#include "codec/conversion_core.h"
#include "tests/support/hex.h"

namespace mok {
namespace {

using ::mok::testing::Hex;

struct Case {
  Text input;
  Text expected;
};

TEST(DecodeUtf7, DecodesRunsAndLeavesTheRest) {
  const Case cases[] = {
      {u"+AGEAYgBj-", u"abc"},
      {u"+ZeVnLIqe-", u"\u65E5\u672C\u8A9E"},
      {u"+AGEAYgBj", u"abc"},                  // run to the end of the text
      {u"+AGEAYgBj-x", u"abcx"},
      {u"+AGEAYgBj x", u"abc x"},              // other terminators stay
      {u"+AGEAYgBj--", u"abc-"},               // only one "-" is absorbed
      {u"+AGEAYgBjA-", u"abc"},                // leftover bits and an odd byte are lost
      {u"+AGE-", u"a"},                        // three characters are a run
      {u"+2D3eAA-", u"\xD83D\xDE00"},
      {u"+AAA-", u" "},                        // NUL becomes a space
      {u"+-", u"+"},
      {u"+-+-", u"++"},
      {u"+,", u"+,"},                          // an empty run before anything else
      {u"a+b", u"a+b"},                        // one or two characters stay as written
      {u"a+bc-d", u"a+bc-d"},
      {u"++", u"++"},
      {u"+++-", u"+++-"},
      {u"a+", u"a+"},                          // a final "+" stays
      {u"+", u"+"},
      {u"1 + 1", u"1 + 1"},
      {u"Hi +AGE-+AGI- there", u"Hi ab there"},
      {u"\xD800+-\xDC80", u"\xD800+\xDC80"},
      {Text(u"a\0b", 3), u"a b"},
      {u"", u""},
  };
  for (const auto& c : cases) {
    Text text = c.input;
    DecodeUtf7(text);
    EXPECT_EQ(text, c.expected) << "input " << Hex(c.input) << " got " << Hex(text);
  }
}

// Runs of every length, with and without "-": the units are the run's Base64
// bytes read as UTF-16BE, whatever block size the decoder works in.
TEST(DecodeUtf7, RunsOfEveryLengthMatchTheirBase64Bytes) {
  static const char16_t kAlphabet[] = u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::mt19937 rng(3);
  for (std::size_t length = 3; length < 60; ++length) {
    for (const char16_t* terminator : {u"-", u"", u" ", u"--", u"\u4E2D"}) {
      Text run;
      for (std::size_t i = 0; i < length; ++i) run += kAlphabet[rng() % 64];
      const Bytes bytes = Base64ToBytes(run, 0);
      Text expected = u"x";
      for (std::size_t k = 0; k + 1 < bytes.size(); k += 2) {
        const auto unit = static_cast<char16_t>((bytes[k] << 8) | bytes[k + 1]);
        expected += unit == 0 ? u' ' : unit;
      }
      const Text rest = terminator[0] == u'-' ? Text(terminator + 1) : Text(terminator);
      expected += rest;
      Text text = u"x+" + run + terminator;
      DecodeUtf7(text);
      ASSERT_EQ(text, expected) << "input " << Hex(u"x+" + run + terminator);
    }
  }
}

TEST(DecodeUtf7, LongRepetition) {
  Text text;
  Text expected;
  for (int i = 0; i < 50000; ++i) {
    text += u"x +ZeVnLIqe- +- a+b";
    expected += u"x \u65E5\u672C\u8A9E + a+b";
  }
  DecodeUtf7(text);
  EXPECT_EQ(text, expected);
}

Text Gb(const char* bytes) { return CpBytesToText(ToBytes(bytes), 936); }

TEST(DecodeHzGb, ShiftsPairsAndContinuations) {
  const Case cases[] = {
      {u"~{0!~}", u"\u554A"},
      {u"~{0!0!~}ab", u"\u554A\u554Aab"},
      {u"~~", u"~"},
      {u"~~{", u"~{"},
      {u"a~}b", u"a~}b"},                      // "~}" outside a section is text
      {u"~x", u"~x"},
      {u"~{~}", u""},
      {u"~{0!", u"\u554A"},                    // section open at the end
      {u"~{0", u""},                           // a dangling half is dropped
      {u"~{0!\r\n0!", u"\u554A\r\n0!"},        // a line break closes the section
      {u"~{0! A", u"\u554A A"},
      {u"~{0\u4E2D", u"\u4E2D"},               // so does a non-ASCII character
      {u"~{0!~}~{0!~}", u"\u554A\u554A"},
      {u"a~\r\nb", u"ab"},
      {u"a~ \r\nb", u"ab"},
      {u"a~\t\r\nb", u"ab"},
      {u"~{0~\r\n!~}", u"\u554A"},             // a continuation inside a section
      {u"~ ~\r\n\r\nx", u"x"},                 // the second removal sees what the first left
      {u"~\t~ \r\n\r\nx", u"x"},
      {u"~~~ \r\n\r\nx", u"~\r\nx"},          // an earlier removal does not rescan
      {u"~~\r\nx", u"~\r\nx"},                 // an escaped tilde before a line break
      {u"~~ \r\nx", u"~ \r\nx"},
      {u"~~~\r\nx", u"~x"},                     // escaped tilde, then a continuation
      {u"~~~~\t\r\nx", u"~~\t\r\nx"},
      {Text(u"a\0b", 3), u"a b"},
      {u"", u""},
  };
  for (const auto& c : cases) {
    Text text = c.input;
    DecodeHzGb(text);
    EXPECT_EQ(text, c.expected) << "input " << Hex(c.input) << " got " << Hex(text);
  }
}

TEST(DecodeHzGb, PairQuirksInsideSections) {
  // "~" is an ordinary half inside a section; "}" after a completed pair opens a new one.
  const Case cases[] = {
      {u"~{0~}", Gb("\xB0\xFE")},
      {u"~{0~}}", Gb("\xB0\xFE\xFD\xFD")},
      {u"~{0!~~}", Gb("\xB0\xA1\xFE\xFE")},
  };
  for (const auto& c : cases) {
    Text text = c.input;
    DecodeHzGb(text);
    EXPECT_EQ(text, c.expected) << "input " << Hex(c.input) << " got " << Hex(text);
  }
}

TEST(DecodeHzGb, EveryPairDecodesAsCodePage936Does) {
  for (char16_t lead = 0x21; lead <= 0x7E; ++lead) {
    for (char16_t trail = 0x21; trail <= 0x7E; ++trail) {
      if (lead == u'~' && trail == u'}') continue;  // that is the closing shift
      Text text = u"~{";
      text += lead;
      text += trail;
      DecodeHzGb(text);
      const std::uint8_t pair[] = {static_cast<std::uint8_t>(lead + 0x80), static_cast<std::uint8_t>(trail + 0x80)};
      ASSERT_EQ(text, CpBytesToText(BytesView(pair, 2), 936)) << Hex(text);
    }
  }
}

TEST(EncodeHzGb, EnclosesOnlyGb2312Runs) {
  const Case cases[] = {
      {u"\u554A", u"~{0!~}"},
      {u"a~b", u"a~~b"},
      {u"~", u"~~"},
      {u"a\u554Ab\u554A\u554Ac", u"a~{0!~}b~{0!0!~}c"},
      {u"\u554A~", u"~{0!~}~~"},
      {u"\u4E02", u"\u4E02"},                  // GBK extension: no GB2312 code
      {u"\uAC00\u20AC", u"\uAC00\u20AC"},      // unknown to 936, and a single byte code
      {u"\xD800\xDCB0\u554A", u"\xD800\xDCB0~{0!~}"},  // lone surrogates pass through
      {u"\xD83D\xDE00", u"\xD83D\xDE00"},
      {u"\r\n", u"\r\n"},
      {u"", u""},
  };
  for (const auto& c : cases) {
    Text text = c.input;
    EncodeHzGb(text);
    EXPECT_EQ(text, c.expected) << "input " << Hex(c.input) << " got " << Hex(text);
  }
}

TEST(EncodeHzGb, EveryCodeUnitIsClassifiedAsCodePage936Encodes) {
  for (std::uint32_t u = 0; u < 0x10000; ++u) {
    const Text one(1, static_cast<char16_t>(u));
    const Bytes code = TextToCpBytes(one, 936);
    Text expected;
    if (code.size() == 2 && code[0] >= 0xA1 && code[0] <= 0xFE && code[1] >= 0xA1 && code[1] <= 0xFE) {
      expected = u"~{";
      expected += static_cast<char16_t>(code[0] & 0x7F);
      expected += static_cast<char16_t>(code[1] & 0x7F);
      expected += u"~}";
    } else {
      expected = u == u'~' ? u"~~" : one;
    }
    Text text = one;
    EncodeHzGb(text);
    ASSERT_EQ(text, expected) << "unit " << Hex(one);
  }
}

// GB2312 characters that survive code page 936 both ways.
std::vector<char16_t> Gb2312Pool() {
  std::vector<char16_t> pool;
  for (int lead = 0xB0; lead <= 0xF7; lead += 3) {
    for (int trail = 0xA1; trail <= 0xFE; ++trail) {
      const Bytes pair = {static_cast<std::uint8_t>(lead), static_cast<std::uint8_t>(trail)};
      const Text text = CpBytesToText(pair, 936);
      if (text.size() == 1 && (text[0] < 0xD800 || text[0] > 0xDFFF) && TextToCpBytes(text, 936) == pair) {
        pool.push_back(text[0]);
      }
    }
  }
  return pool;
}

TEST(HzRoundTrip, EncodeThenDecodeGivesTheTextBack) {
  const std::vector<char16_t> gb = Gb2312Pool();
  ASSERT_GT(gb.size(), 1000u);
  std::mt19937 rng(5);
  for (int round = 0; round < 300; ++round) {
    Text text;
    const std::size_t length = rng() % 200;
    for (std::size_t i = 0; i < length; ++i) {
      switch (rng() % 5) {
        case 0: text += gb[rng() % gb.size()]; break;
        case 1: text += u'~'; break;
        // Line breaks right after a tilde too: "~~" CR LF is a tilde and a line break.
        case 2: text += rng() % 4 == 0 ? u"\r\n" : u" "; break;
        default: text += static_cast<char16_t>(0x21 + rng() % 94); break;
      }
    }
    Text copy = text;
    EncodeHzGb(copy);
    for (const char16_t c : copy) ASSERT_LT(c, 0x80) << Hex(copy);
    DecodeHzGb(copy);
    ASSERT_EQ(copy, text) << Hex(text);
  }
}

TEST(HzRoundTrip, LongRepetition) {
  Text text;
  for (int i = 0; i < 100000; ++i) text += u"\u554A~a ";
  Text copy = text;
  EncodeHzGb(copy);
  EXPECT_EQ(copy.substr(0, 12), u"~{0!~}~~a ~{");
  DecodeHzGb(copy);
  EXPECT_EQ(copy, text);
}

}  // namespace
}  // namespace mok
