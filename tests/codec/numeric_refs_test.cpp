#include "codec/numeric_refs.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "codec/html_entities.h"
#include "tests/codec/literal_refs_qp.h"
#include "tests/support/hex.h"

namespace mok {
namespace {

using ::mok::testing::Hex;

Text Decoded(Text text, std::int16_t mode) {
  DecodeNumericRefs(text, mode);
  return text;
}

Text Encoded(Text text, std::int16_t mode) {
  EncodeNumericRefs(text, mode);
  return text;
}

Text Entities(Text text) {
  DecodeNamedEntities(text);
  return text;
}

struct Case {
  Text input;
  std::int16_t mode;
  Text expected;
};

TEST(DecodeNumericRefs, TableCases) {
  const Case cases[] = {
      {u"&#x4E2D;", 0, u"\u4E2D"},
      {u"&#20013;", 0, u"\u4E2D"},
      {u"&#X4e2d;x", 0, u"\u4E2Dx"},
      {u"&#65x", 0, u"Ax"},
      {u"&#x1F600;", 0, u"\xD83D\xDE00"},
      {u"&#10;", 0, u" "},                    // below 32: a space, not a line break
      {u"&#x;", 0, u" "},                     // no digits: a space, the ";" belongs to it
      {u"&#1114112;", 0, u"?"},               // beyond U+10FFFF
      {u"&#x000041;", 0, u" 1;"},             // five hex digits at most
      {u"&#x10FFFF;", 0, u"\xD803\xDFFF" u"F;"},  // so a six-digit reference is cut short
      {u"&#00000065;", 0, u" 5;"},            // seven decimal digits at most
      {u"&#65;;", 0, u"A;"},                  // only one terminator is dropped
      {u"&#65 ;", 0, u"A ;"},
      {u"a;b", 0, u"a;b"},
      {u"&#", 0, u" "},                       // an opener at the very end
      {u"&#xD800;", 0, u"\xD800"},            // a lone surrogate is written as it is
      {u"a<BR>b&nbsp;", 0, u"a\r\nb\u00A0"},
      {u"&amp;#x41;", 0, u"&#x41;"},          // entities come after the openers
      {u"&&#x41;", 0, u"&A"},
      {u"\\u4e2d\\x41", 1, u"\u4E2DA"},
      {u"\\\\u0041", 1, u"\\u0041"},          // an escaped backslash is one backslash
      {u"\\\\\\u0041", 1, u"\\A"},
      {u"\\n\\t", 1, u"\r\n\t"},
      {u"\\U00e9\\X4", 1, u"\u00E9 "},         // "\X4" gives 4, below 32
      {u"\\u12345", 1, u"\u12345"},           // four hex digits, then text
      {u"\\q\\", 1, u"\\q\\"},
      {u"\\x41;", 1, u"A;"},                  // no terminator in this notation
      {u"%u4E2D%41+", 2, u"\u4E2DA "},
      {u"%E4", 2, u"\u00E4"},                 // a character, not a byte
      {u"%", 2, u" "},
      {u"%%41", 2, u" A"},                    // the second "%" ends the first reference
      {Text(u"a\0b", 3), 1, u"a b"},
      {Text(u"&#0;\0", 5), 0, u"  "},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Hex(Decoded(c.input, c.mode)), Hex(c.expected)) << "mode " << c.mode << " input " << Hex(c.input);
  }
}

TEST(DecodeNumericRefs, MarkerCharactersSurvive) {
  for (std::int16_t mode = 0; mode <= 2; ++mode) {
    EXPECT_EQ(Hex(Decoded(u"\u8080", mode)), Hex(u"\u8080")) << mode;
    EXPECT_EQ(Hex(Decoded(u"a\u8081\u8080b", mode)), Hex(u"a\u8081\u8080b")) << mode;
    EXPECT_EQ(Hex(Decoded(u"\u8080A1;", mode)), Hex(u"\u8080A1;")) << mode;  // digits after it stay digits
  }
  // The terminator added after a kept marker is the one dropped, not the text's.
  EXPECT_EQ(Hex(Decoded(u"\u8081;", 0)), Hex(u"\u8081;"));
  // A marker character cuts a reference short like any other non-digit.
  EXPECT_EQ(Hex(Decoded(u"&#x41\u8080", 0)), Hex(u"A\u8080"));
}

TEST(DecodeNumericRefs, InvalidModeAndEmptyText) {
  for (const std::int16_t mode : {std::int16_t{-1}, std::int16_t{3}, std::int16_t{128}}) {
    EXPECT_TRUE(Decoded(u"&#65;", mode).empty()) << mode;
    EXPECT_TRUE(Decoded(u"", mode).empty());
    EXPECT_TRUE(Encoded(u"abc", mode == 3 ? std::int16_t{2} : mode).empty()) << mode;
  }
  EXPECT_TRUE(Decoded(u"", 0).empty());
  EXPECT_TRUE(Encoded(u"", 1).empty());
}

TEST(DecodeNamedEntities, ReplacementOrder) {
  const std::pair<Text, Text> cases[] = {
      {u"&amp;lt;", u"<"},                 // the ampersand made by amp completes lt, which comes later
      {u"&amp;quot;", u"&quot;"},          // quot comes before amp
      {u"&amp;amp;", u"&amp;"},
      {u"&amp;amp;lt;", u"&amp;lt;"},
      {u"&amp;&lt;", u"&<"},
      {u"&amp;&amp;gt;", u"&>"},
      {u"&quot;&lt;&gt;&nbsp;", u"\"<>\u00A0"},
      {u"&AMP;&Amp;&amp", u"&AMP;&Amp;&amp"},  // names are case-sensitive and need ";"
      {u"&Alpha;&alpha;&thetasym;&sup2;&there4;&diams;", u"\u0391\u03B1\u03D1\u00B2\u2234\u2666"},
      {u"&apos;&foo;&;&#65;", u"&apos;&foo;&;&#65;"},
      {u"&amp;nbsp", u"&nbsp"},
      {u"<hr><Br><P></p><DIV></Div>", u"\r\n\r\n\r\n\r\n\r\n\r\n"},
      {u"<br/><b r><p ><div", u"<br/><b r><p ><div"},
      {u"&lt;br&gt;", u"<br>"},            // entities come after the tags
      {u"<<br>>", u"<\r\n>"},
  };
  for (const auto& [input, expected] : cases) {
    EXPECT_EQ(Hex(Entities(input)), Hex(expected)) << "input " << Hex(input);
  }
}

TEST(DecodeNamedEntities, TableHasTheHtml4Entities) {
  const std::vector<std::string_view> list = literal::SplitAtCommas(kHtmlEntityList);
  ASSERT_EQ(list.size(), 2u * 252u);
  EXPECT_TRUE(kHtmlEntityList.starts_with("quot,34,amp,38,lt,60,gt,62,"));
  EXPECT_TRUE(kHtmlEntityList.ends_with("clubs,9827,hearts,9829,diams,9830"));
  int previous = 0;
  for (std::size_t k = 0; k < list.size(); k += 2) {
    const int code = std::stoi(std::string(list[k + 1]));
    EXPECT_GT(code, previous) << list[k];
    previous = code;
    EXPECT_NE(list[k], "apos");
    const Text entity = u"&" + literal::Widen(list[k]) + u";";
    EXPECT_EQ(Hex(Entities(entity)), Hex(Text(1, static_cast<char16_t>(code)))) << list[k];
  }
}

// Random text built from pieces that make and break references, entities and tags.
Text RandomFragmentText(std::mt19937& rng, std::size_t pieces) {
  static const Text fragments[] = {
      u"a", u"Z", u"0", u"1", u"7", u"9", u"A", u"F", u"f", u"x", u"X", u"u", u"U", u"n", u"t", u";", u" ",
      Text(1, 0), u"\r", u"\n", u"\u8080", u"\u8081", u"\u4E2D", u"\xD83D", u"\xDE00", u"#", u"&", u"&#",
      u"&#x", u"&#X", u"&amp;", u"&lt;", u"&quot;", u"amp;", u"lt;", u"quot;", u"gt;", u"&nbsp;", u"<br>",
      u"<BR>", u"</p>", u"<p", u"<", u">", u"&thetasym;", u"sup2;", u"&AMP;", u"&gt", u"\\", u"\\\\", u"\\n",
      u"\\t", u"\\u", u"\\x", u"%", u"%u", u"%U", u"+", u"%4", u"%E4", u"\\U", u"\\X"};
  std::uniform_int_distribution<std::size_t> pick(0, std::size(fragments) - 1);
  Text text;
  for (std::size_t i = 0; i < pieces; ++i) text += fragments[pick(rng)];
  return text;
}

TEST(DecodeNumericRefs, MatchesStepByStepReplacement) {
  std::mt19937 rng(2024);
  for (int round = 0; round < 1500; ++round) {
    const Text input = RandomFragmentText(rng, 1 + round % 40);
    for (std::int16_t mode = 0; mode <= 2; ++mode) {
      Text expected = input;
      literal::DecodeNumericRefs(expected, mode);
      const Text actual = Decoded(input, mode);
      ASSERT_EQ(Hex(actual), Hex(expected)) << "mode " << mode << " input " << Hex(input);
      ASSERT_LE(actual.size(), input.size());
    }
    Text expected = input;
    literal::DecodeNamedEntities(expected);
    ASSERT_EQ(Hex(Entities(input)), Hex(expected)) << "input " << Hex(input);
  }
}

TEST(EncodeNumericRefs, TableCases) {
  const Case cases[] = {
      {u"a&b", 0, u"a&#x26;b"},
      {u"\u4E2D\\", 1, u"\\u4E2D\\u005C"},
      {u"\u00E9<;", 0, u"&#xE9;<;"},
      {u"\xD83D\xDE00", 0, u"&#x1F600;"},
      {u"\xDBFF\xDFFF", 0, u"&#x10FFFF;"},
      {u"\xDE00\xD83D", 0, u"&#xDE00;&#xD83D;"},  // lone surrogates, each on its own
      {u"\xD83D\xDE00", 1, u"\\uD83D\\uDE00"},
      {u"\x7F\x80&", 1, u"\x7F\\u0080&"},
      {Text(u"\0\\", 2), 0, Text(u"\0\\", 2)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Hex(Encoded(c.input, c.mode)), Hex(c.expected)) << "mode " << c.mode << " input " << Hex(c.input);
  }
}

// Random text over the whole range of code units, with pairs, lone surrogates,
// the markers, controls and the characters the notations use.
Text RandomUnits(std::mt19937& rng, std::size_t length) {
  static const Text specials[] = {u"&", u"\\", u"%", u";", u"#", u"<br>", u"<P>", u"\\x41", u"&#65;", u"&amp;",
                                  u"\u8080", u"\u8081", u"\xD83D\xDE00", u"\xDB80\xDC00", u"\xDC00", Text(1, 0)};
  std::uniform_int_distribution<int> kind(0, 9);
  std::uniform_int_distribution<int> any(1, 0xFFFF);
  std::uniform_int_distribution<int> ascii(1, 0x7F);
  std::uniform_int_distribution<std::size_t> special(0, std::size(specials) - 1);
  Text text;
  while (text.size() < length) {
    const int k = kind(rng);
    if (k < 4) {
      text += static_cast<char16_t>(ascii(rng));
    } else if (k < 8) {
      text += static_cast<char16_t>(any(rng));
    } else {
      text += specials[special(rng)];
    }
  }
  return text;
}

bool InPlaneSixteen(TextView text, std::size_t i) {
  return text[i] >= 0xDBC0 && text[i] <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
         text[i + 1] <= 0xDFFF;
}

TEST(EncodeNumericRefs, RoundTripsThroughTheDecoder) {
  std::mt19937 rng(7);
  for (int round = 0; round < 500; ++round) {
    Text input = RandomUnits(rng, 1 + round % 200);
    // A six-digit reference (plane 16) is beyond what the HTML decoder reads.
    for (std::size_t i = 0; i < input.size(); ++i) {
      if (InPlaneSixteen(input, i)) input[i] = 0xD800;
    }
    for (std::int16_t mode = 0; mode <= 1; ++mode) {
      Text expected = literal::Replace(input, Text(1, 0), u" ");
      if (mode == 0) {  // the line-breaking tags are plain ASCII and stay tags
        for (const std::string_view tag : literal::SplitAtCommas(kLineBreakTagList)) {
          expected = literal::Replace(expected, literal::Widen(tag), u"\r\n", true);
        }
      }
      Text encoded = Encoded(input, mode);
      Text slow = input;
      literal::EncodeNumericRefs(slow, mode);
      ASSERT_EQ(Hex(encoded), Hex(slow)) << "mode " << mode << " input " << Hex(input);
      ASSERT_EQ(Hex(Decoded(encoded, mode)), Hex(expected)) << "mode " << mode << " input " << Hex(input);
    }
  }
}

TEST(DecodeNumericRefs, LongInputIsLinear) {
  // 2 million characters of references and entities; a quadratic pass would not finish.
  Text input;
  for (int i = 0; i < 100000; ++i) input += u"&#x4E2D;&amp;lt;<br>";
  Text text = input;
  DecodeNumericRefs(text, 0);
  EXPECT_EQ(text.size(), 100000u * 4);
  EncodeNumericRefs(text, 0);
  EXPECT_EQ(text.size(), 100000u * (8 + 1 + 2));
}

}  // namespace
}  // namespace mok
