#include "codec/conversion_core.h"

#include <gtest/gtest.h>

#include <random>

#include "codec/charset_conversion.h"
#include "codec/charset_tables.h"
#include "codec/script_mapping.h"
#include "codec/text_functions.h"
#include "tests/support/hex.h"

namespace mok {
namespace {

using ::mok::testing::Hex;

TEST(Utf8BytesToText, DecodesTolerantly) {
  struct Case {
    const char* bytes;
    Text expected;
  };
  const Case cases[] = {
      {"\xF0\x9F\x98\x80", u"\xD83D\xDE00"},      // supplementary: surrogate pair
      {"\xC0\x80", u" "},                         // overlong NUL: below 0x20 gives a space
      {"\xFF\xFE", u"\u00FF"},                    // the second invalid byte yields nothing
      {"\x41\xA9\xA9\x42", u"A)B"},               // stray continuation after a clean unit
      {"\xC0\xAF", u"/"},                         // overlong form decoded by value
      {"\xE4\xB8\x41", u"\u0138A"},               // cut-short sequence gives its partial value
      {"\xE4\xB8\xAD", u"\u4E2D"},
      {"\t\r\n", u"\t\r\n"},                      // control bytes below 0x80 pass through
      {"\x80", u" "},                             // stray 0x80..0x9F: a space
      {"\xE4\xB8", u"\u0138"},                    // cut short at the end
      {"\xE4\xB8\xE4\xB8\x41", u"\u0138A"},       // a second cut-short run before a clean unit yields nothing
      {"\xF7\xBF\xBF\xBF", u" "},                 // beyond U+10FFFF: a space
  };
  for (const Case& c : cases) {
    const Bytes bytes = ToBytes(c.bytes);
    EXPECT_EQ(Hex(Utf8BytesToText(bytes)), Hex(c.expected)) << "input " << Hex(bytes);
  }
  Text surrogate = Utf8BytesToText(ToBytes("\xED\xA0\x80"));
  ASSERT_EQ(surrogate.size(), 1u);
  EXPECT_EQ(surrogate[0], 0xD800);
}

TEST(Utf8BytesToText, PiecewiseEqualsWhole) {
  // The decoder's state (a sequence begun, the clean flag) carries across
  // pieces, including a piece that ends inside a sequence or holds nothing.
  const char kAlphabet[] = "\x41\x80\xA9\xBF\xC0\xC3\xE4\xB8\xAD\xED\xF0\x9F\xF7\xF8\xFF";
  std::mt19937 random(11);
  for (int trial = 0; trial < 300; ++trial) {
    Bytes bytes(random() % 24, 0);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(kAlphabet[random() % (sizeof kAlphabet - 1)]);
    TolerantUtf8Decoder decoder;
    Text pieces;
    for (std::size_t at = 0; at < bytes.size();) {
      const std::size_t n = std::min<std::size_t>(random() % 4, bytes.size() - at);
      decoder.Decode(BytesView(bytes).substr(at, n), pieces);
      at += n;
    }
    decoder.Finish(pieces);
    EXPECT_EQ(Hex(pieces), Hex(Utf8BytesToText(bytes))) << "input " << Hex(bytes);
  }
}

TEST(ByteFunctions, Latin1SwapAndByteView) {
  EXPECT_EQ(Hex(TextToLatin1Bytes(u"\u4E2D")), "2D ");
  EXPECT_TRUE(TextToLatin1Bytes(u"").empty());
  EXPECT_EQ(Latin1BytesToText(ToBytes(std::string_view("\x00\xFF", 2))), Text(u"\u0000\u00FF", 2));
  Bytes three = ToBytes("\x01\x02\x03");
  SwapByteOrder(three);
  EXPECT_EQ(Hex(three), "02 01 03 ");
  EXPECT_EQ(ByteViewToText(ToBytes("\x2D\x4E\x87")), u"\u4E2D");  // odd byte forms no unit
}

TEST(ReinterpretByLid, TableCases) {
  struct Case {
    Text input;
    std::int32_t a, b;
    Text expected;
  };
  const Case cases[] = {
      {u"\u00C3\u00A4", -1, -4, u"\u00E4"},
      {u"\u00E4", -4, -1, u"\u00C3\u00A4"},
      {u"\u4E2D", -2, -3, u"\u2D4E"},
      {u"A", -3, -2, u"\u4100"},
      {u"\u6D93\uE15F\u6783", -2, -2, u"\u6D93\uE15F\u6783"},
      {Text(u"a\0b", 3), -2, -2, u"a b"},      // NULs become spaces
      {u"\uFEFFa\uFEFF", -2, -2, u"a\uFEFF"},  // exactly one leading BOM goes
      {u"abc", 2052, 1028, u"abc"},
      {u"abc", -5, 2052, u""},  // invalid pseudo code
      {u"abc", 2052, -9, u""},
      {u"abc", 9999, 2052, u""},  // a locale without a code page
  };
  for (const Case& c : cases) {
    Text text = c.input;
    ReinterpretByLid(text, c.a, c.b);
    EXPECT_EQ(Hex(text), Hex(c.expected)) << Hex(c.input) << " " << c.a << "->" << c.b;
  }
}

TEST(ReinterpretByLid, RepairsGbkReadAsBig5) {
  const Text original = u"\u4E2D\u6587\u4E71\u7801\u6D4B\u8BD5";  // 中文乱码测试
  Text garbled = original;
  ReinterpretByLid(garbled, 2052, 1028);  // GBK bytes shown as Big5
  ASSERT_NE(garbled, original);
  ReinterpretByLid(garbled, 1028, 2052);
  EXPECT_EQ(Hex(garbled), Hex(original));
}

TEST(CodePages, BytesRoundTripThroughEveryConverter) {
  // Decoding any bytes and encoding the text again gives the same bytes, for
  // every code page of the table that is not stateful.
  std::mt19937 random(7);
  for (const NamedCode& entry : CodePages()) {
    const std::int32_t cp = entry.code;
    if (cp == 52936 || cp == 50227 || cp == 50229 || cp == 50221 || cp == 50225 || cp == 65000) continue;
    for (int trial = 0; trial < 20; ++trial) {
      Bytes bytes(64, 0);
      for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
      const Text text = CpBytesToText(bytes, cp);
      ASSERT_FALSE(text.empty()) << cp;
      const Bytes again = TextToCpBytes(text, cp);
      // 932 maps its NEC-selected IBM extensions (ED, EE) and the IBM ones (FA..FC)
      // to the same characters, so only the text is stable there.
      if (cp != 932) {
        EXPECT_EQ(Hex(again), Hex(bytes)) << "code page " << cp;
      }
      EXPECT_EQ(Hex(CpBytesToText(again, cp)), Hex(text)) << "code page " << cp;
    }
  }
}

TEST(CodePages, EveryTableEntryConverts) {
  for (const NamedCode& entry : CodePages()) {
    if (entry.code == 1200) continue;
    EXPECT_TRUE(IsKnownCodePage(entry.code)) << entry.code;
    EXPECT_FALSE(TextToCpBytes(u"A\u4E2D", entry.code).empty()) << entry.code;
  }
  for (const NamedCode& entry : LanguageCodes()) {
    if (entry.code >= 0) {
      EXPECT_TRUE(IsKnownCodePage(AnsiCodePageOfLocale(entry.code))) << entry.code;
    }
  }
  EXPECT_EQ(LanguageCodes().size(), 15u);
  EXPECT_EQ(CodePages().size(), 41u);
  EXPECT_EQ(CodePages()[40].code, 65001);
  EXPECT_EQ(CodePages()[0].name, u"中文简(GBK)");
}

TEST(CodePages, UnrepresentableBecomesQuestionMark) {
  EXPECT_EQ(Hex(TextToCpBytes(u"\uAC00A", 936)), "3F 41 ");
  EXPECT_EQ(Hex(TextToCpBytes(u"\uAC00A", 437)), "3F 41 ");
  EXPECT_EQ(Hex(TextToCpBytes(u"\uAC00A", 932)), "3F 41 ");
  EXPECT_EQ(Hex(TextToCpBytes(u"\u4E2D", 37)), "6F ");  // EBCDIC question mark
  EXPECT_EQ(Hex(TextToCpBytes(u"\uAC00", 1361)), "88 61 ");
  EXPECT_EQ(Hex(TextToCpBytes(u"\u4E2DA", 1361)).substr(6), "41 ");
}

TEST(CodePages, NoConversionAndUnknown) {
  EXPECT_EQ(CpBytesToText(ToBytes(std::string_view("A\0", 2)), 1200), u"A");
  EXPECT_EQ(Hex(TextToCpBytes(u"A", -7)), "41 00 ");
  EXPECT_TRUE(CpBytesToText(ToBytes("AB"), 12345).empty());
  EXPECT_TRUE(TextToCpBytes(u"AB", 12345).empty());
  Text t = u"abc";
  ReinterpretByCp(t, 1200, 1200);
  EXPECT_EQ(t, u"abc");
  t = u"abc";
  ReinterpretByCp(t, 936, 4242);
  EXPECT_TRUE(t.empty());
}

TEST(CodePages, JohabDecodesAndEscapesMalformedBytes) {
  EXPECT_EQ(Hex(CpBytesToText(ToBytes("\x88\x61" "A"), 1361)), Hex(u"\uAC00A"));
  const Bytes bad = ToBytes("\xFF" "A");
  const Text text = CpBytesToText(bad, 1361);
  EXPECT_EQ(Hex(TextToCpBytes(text, 1361)), Hex(bad));
}

TEST(TextFunctions, MapTextCaseAndTextBefore) {
  Text t = u"\u4E2D\u56FDAb1";
  MapTextCase(t, true);
  EXPECT_EQ(Hex(t), Hex(u"\u4E2D\u570BAb1"));
  MapTextCase(t, false);
  EXPECT_EQ(Hex(t), Hex(u"\u4E2D\u56FDAb1"));
  Text pair = u"\xD83D\xDE00";
  MapTextCase(pair, true);
  EXPECT_EQ(pair, u"\xD83D\xDE00");

  EXPECT_EQ(TextBefore(u"GB--Big5 \uFF1A\u82F1\u6587", u" \uFF1A"), u"GB--Big5");
  EXPECT_EQ(TextBefore(u"abc", u" \uFF1A"), u"abc");
  EXPECT_EQ(TextBefore(u"abc", u""), u"");
}

}  // namespace
}  // namespace mok
