#include "codec/base64.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "codec/conversion_core.h"
#include "tests/support/hex.h"

namespace mok {
namespace {

using ::mok::testing::Hex;

struct DecodeCase {
  const char16_t* input;
  std::int16_t variant;
  const char* expected;
  std::size_t expected_size;
};

TEST(Base64ToBytes, StopsAtFirstForeignCharacterAndKeepsShortTails) {
  const DecodeCase cases[] = {
      {u"TWFu", 0, "Man", 3},
      {u"TWE=", 0, "Ma", 2},
      {u"TQ==", 0, "M", 1},
      {u"TQ", 0, "M", 1},
      {u"T", 0, "\x13", 1},              // a lone character is a byte of its own value
      {u"TWFuZ", 0, "Man\x19", 4},       // also after whole groups
      {u"TWF", 0, "Ma", 2},
      {u"TWE=TWE=", 0, "Ma", 2},         // padding ends decoding
      {u"TW Fu", 0, "M", 1},             // so does a space, here
      {u"TW\uFF46u", 0, "M", 1},         // and a full-width letter
      {u"=TWFu", 0, "", 0},
      {u"", 0, "", 0},
      {u"+/+/", 0, "\xFB\xFF\xBF", 3},
      {u"ab-c", 0, "i", 1},              // "-" is foreign to the standard alphabet
      {u"-_-_", 4, "\xFB\xFF\xBF", 3},
      {u"+/-_", 4, "\xFB\xFF\xBF", 3},   // "+" and "/" keep working in a variant
      {u"*-*-", 1, "\xFB\xFF\xBF", 3},
      {u"!-!-", 2, "\xFB\xFF\xBF", 3},
      {u"_-_-", 3, "\xFB\xFF\xBF", 3},
      {u".__.", 5, "\xFB\xFF\xFE", 3},
      {u".-.-", 6, "\xFB\xFF\xBF", 3},
      {u"_:_:", 7, "\xFB\xFF\xBF", 3},
      {u"*-*-", 8, "", 0},               // no such variant: standard alphabet
      {u"+/+/", -3, "\xFB\xFF\xBF", 3},
      {u"-_-_", 1, "\x3F", 1},           // "_" is not part of variant 1
  };
  for (const auto& c : cases) {
    const Bytes got = Base64ToBytes(c.input, c.variant);
    const Bytes want(reinterpret_cast<const std::uint8_t*>(c.expected), c.expected_size);
    EXPECT_EQ(got, want) << "input " << Hex(TextView(c.input)) << " variant " << c.variant << ": got "
                         << Hex(got) << " want " << Hex(want);
  }
}

TEST(BytesToBase64, EncodesWithoutPadding) {
  const struct {
    const char* bytes;
    std::size_t size;
    const char16_t* expected;
  } cases[] = {
      {"", 0, u""},       {"M", 1, u"TQ"},        {"Ma", 2, u"TWE"},         {"Man", 3, u"TWFu"},
      {"\0", 1, u"AA"},   {"\xFB\xFF\xBF", 3, u"+/+/"}, {"ManMa", 5, u"TWFuTWE"},
  };
  for (const auto& c : cases) {
    const Bytes bytes(reinterpret_cast<const std::uint8_t*>(c.bytes), c.size);
    EXPECT_EQ(BytesToBase64(bytes), Text(c.expected)) << Hex(bytes);
  }
}

TEST(BytesToBase64, RoundTripsRandomBytes) {
  std::mt19937 rng(7);
  for (std::size_t size = 0; size < 200; ++size) {
    Bytes bytes(size, 0);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(rng());
    EXPECT_EQ(Base64ToBytes(BytesToBase64(bytes), 0), bytes) << Hex(bytes);
  }
}

struct TextCase {
  const char16_t* input;
  std::int32_t code;
  std::int16_t mode;
  const char16_t* expected;
};

TEST(DecodeBase64Text, CleansUpDecodesAndConverts) {
  const TextCase cases[] = {
      {u" T W\r\nF u\t", 28591, 128, u"Man"},          // blanks anywhere are dropped
      {u"TWFu,TWFu", 28591, 128, u"Man"},              // other foreign characters end it
      {u"TWFu\uFF0CTWFu", 28591, 128, u"Man"},
      {u"sKE=", 936, 128, u"\u554A"},                  // code page
      {u"sKE=", 2052, 0, u"\u554A"},                   // language code
      {u"5pel", -4, 0, u"\u65E5"},                     // Utf8 pseudo code
      {u"QQBCAA==", 1200, 128, u"AB"},                 // byte view
      {u"QQBCAA==", -2, 0, u"AB"},
      {u"----", 28591, 128 + 4, u"\u00FB\u00EF\u00BE"},  // variant 4 in the mode
      {u"-_\r\n-_", 28591, 128 + 4, u"\u00FB\u00FF\u00BF"},
      {u"----", 28591, 128, u""},                      // standard alphabet: stops at once
      {u"AEEA", 28591, 128, u" A "},                   // NULs become spaces
      {u"TWFu", 12345, 128, u""},                      // unknown code page
      {u"TWFu", -7, 0, u""},                           // invalid pseudo code
      {u"", 936, 128, u""},
      {u"\r\n \t", 936, 128, u""},
      {u"\xDC80\xD800TWFu", 28591, 128, u""},          // lone surrogates are foreign
  };
  for (const auto& c : cases) {
    Text text = c.input;
    DecodeBase64Text(text, c.code, c.mode);
    EXPECT_EQ(text, Text(c.expected)) << "input " << Hex(TextView(c.input)) << " got " << Hex(text);
  }
}

TEST(EncodeBase64Text, PadsAndBreaksLines) {
  const struct {
    const char16_t* input;
    std::int16_t index;
    const char16_t* expected;
  } cases[] = {
      {u"Man", 3, u"TWFu"}, {u"Ma", 3, u"TWE="}, {u"M", 3, u"TQ=="},
      {u"\u554A", 0, u"sKE="}, {u"\u554A", 1, u"sKE="}, {u"\u65E5", 3, u"5pel"},
      {u"", 3, u""}, {u"Man", 4, u""}, {u"Man", -1, u""},
  };
  for (const auto& c : cases) {
    Text text = c.input;
    EncodeBase64Text(text, c.index);
    EXPECT_EQ(text, Text(c.expected)) << "input " << Hex(TextView(c.input)) << " index " << c.index;
  }
}

TEST(EncodeBase64Text, LinesOf76CharactersJoinedByCrLf) {
  const struct {
    std::size_t bytes;
    std::vector<std::size_t> lines;
  } cases[] = {
      {56, {76}}, {57, {76}}, {58, {76, 4}}, {114, {76, 76}}, {115, {76, 76, 4}}, {1, {4}},
  };
  for (const auto& c : cases) {
    Text text(c.bytes, u'a');
    EncodeBase64Text(text, 3);
    std::vector<std::size_t> lines;
    std::size_t start = 0;
    for (std::size_t at; (at = text.find(u"\r\n", start)) != Text::npos; start = at + 2) lines.push_back(at - start);
    lines.push_back(text.size() - start);
    EXPECT_EQ(lines, c.lines) << c.bytes << " bytes";
    EXPECT_EQ(text.find_first_not_of(u"=", text.size() - (c.bytes % 3 == 0 ? 0 : 3 - c.bytes % 3)),
              Text::npos);
    DecodeBase64Text(text, 65001, 128);
    EXPECT_EQ(text, Text(c.bytes, u'a'));
  }
}

// Characters that code page cp encodes and decodes back to themselves.
std::vector<char16_t> StableCharacters(std::int32_t cp, char16_t first, char16_t last) {
  std::vector<char16_t> out;
  for (char32_t c = first; c <= last; ++c) {
    const Text one(1, static_cast<char16_t>(c));
    if (CpBytesToText(TextToCpBytes(one, cp), cp) == one) out.push_back(static_cast<char16_t>(c));
  }
  return out;
}

TEST(Base64TextRoundTrip, EncodeThenDecodeGivesTheTextBack) {
  const std::int32_t code_pages[] = {936, 54936, 950, 65001};
  std::mt19937 rng(11);
  for (std::int16_t index = 0; index < 4; ++index) {
    const std::int32_t cp = code_pages[index];
    std::vector<char16_t> pool = StableCharacters(cp, 0x4E00, 0x4FFF);
    for (char16_t c = 0x20; c < 0x7F; ++c) pool.push_back(c);
    pool.push_back(u'\r');
    pool.push_back(u'\n');
    ASSERT_GT(pool.size(), 200u) << cp;
    for (int round = 0; round < 40; ++round) {
      Text text(rng() % 300 + 1, u'\0');
      for (auto& c : text) c = pool[rng() % pool.size()];
      if (cp == 54936 || cp == 65001) text += u"\U0001F600";
      Text copy = text;
      EncodeBase64Text(copy, index);
      for (std::size_t start = 0, at; start < copy.size(); start = at + 2) {
        at = copy.find(u"\r\n", start);
        if (at == Text::npos) at = copy.size();
        ASSERT_LE(at - start, 76u);
      }
      DecodeBase64Text(copy, cp, 128);
      ASSERT_EQ(copy, text) << "code page " << cp << " text " << Hex(text);
    }
  }
}

TEST(Base64TextRoundTrip, LongRepetition) {
  Text text;
  for (int i = 0; i < 100000; ++i) text += u"Man\u554A";
  Text copy = text;
  EncodeBase64Text(copy, 0);
  EXPECT_EQ(copy.substr(0, 8), u"TWFusKFN");
  DecodeBase64Text(copy, 936, 128);
  EXPECT_EQ(copy, text);
}

}  // namespace
}  // namespace mok
