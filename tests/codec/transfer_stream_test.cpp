// The streaming Base64, UTF-7 and HZ decoders against the whole-text ones:
// for any split of any text the result must be the same.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "codec/base64.h"
#include "codec/conversion_core.h"
#include "codec/utf7_hz.h"
#include "tests/support/hex.h"
#include "tests/support/streamed.h"

namespace mok {
namespace {

using ::mok::testing::Hex;

// Random text from pieces that make, break and join the forms' runs, shifts
// and line continuations.
Text RandomText(std::mt19937& rng, std::size_t pieces) {
  static const Text all[] = {
      u"+",  u"-",   u"+-", u"+A", u"+AG", u"+AGE", u"AGEAYgBj", u"ZeVnLIqe", u"/", u"=", u"==", u" ", u"\t",
      u"\r", u"\n",  u"\r\n", u"~", u"~~", u"~{", u"~}", u"0!", u"V;", u"~\r\n", u"~ \r\n", u"~\t\r\n", u"Z9",
      u"*",  u"_",   u".",  u":", u"!", Text(1, 0), u"\u4E2D", u"\u00E9", u"\xDCB0", u"5Lit", u"1tDOxA", u"w"};
  std::uniform_int_distribution<std::size_t> pick(0, std::size(all) - 1);
  Text text;
  for (std::size_t i = 0; i < pieces; ++i) text += all[pick(rng)];
  return text;
}

using mok::testing::Streamed;

TEST(TransferStreams, EqualTheWholeTextDecodersForAnySplit) {
  struct Setting {
    std::int32_t code;
    std::int16_t mode;
  };
  const Setting base64[] = {{2052, 0}, {-4, 0}, {-1, 4}, {-2, 7}, {-3, 1}, {936, 128}, {65001, 131}, {52936, 128},
                            {1200, 128}, {1028, 5}};
  std::mt19937 rng(23);
  for (int round = 0; round < 3000; ++round) {
    const Text input = RandomText(rng, 1 + round % 40);
    const std::size_t largest = round % 2 ? 3 : 17;
    SCOPED_TRACE(Hex(input));
    const Setting& s = base64[round % std::size(base64)];
    Base64StreamDecoder base64_decoder(s.code, s.mode);
    ASSERT_TRUE(base64_decoder.Usable());
    Text whole = input;
    DecodeBase64Text(whole, s.code, s.mode);
    ASSERT_EQ(Hex(Streamed(base64_decoder, input, rng, largest)), Hex(whole)) << "Base64 " << s.code << " " << s.mode;

    Utf7StreamDecoder utf7;
    whole = input;
    DecodeUtf7(whole);
    ASSERT_EQ(Hex(Streamed(utf7, input, rng, largest)), Hex(whole)) << "UTF-7";

    HzStreamDecoder hz;
    whole = input;
    DecodeHzGb(whole);
    ASSERT_EQ(Hex(Streamed(hz, input, rng, largest)), Hex(whole)) << "HZ";
  }
}

TEST(TransferStreams, LongRunsAcrossManyChunks) {
  std::mt19937 rng(3);
  Text base64, utf7 = u"x+", hz = u"~{";
  for (int i = 0; i < 40000; ++i) {
    base64 += i % 19 == 0 ? u"5paH\r\n" : u"5Lit";
    utf7 += u"ZeVnLIqe";
    hz += u"0!V;";
  }
  utf7 += u"-y";
  Base64StreamDecoder base64_decoder(-4, 0);
  Text whole = base64;
  DecodeBase64Text(whole, -4, 0);
  EXPECT_TRUE(Streamed(base64_decoder, base64, rng, 5000) == whole);
  Utf7StreamDecoder utf7_decoder;
  whole = utf7;
  DecodeUtf7(whole);
  EXPECT_TRUE(Streamed(utf7_decoder, utf7, rng, 5000) == whole);
  HzStreamDecoder hz_decoder;
  whole = hz;
  DecodeHzGb(whole);
  EXPECT_TRUE(Streamed(hz_decoder, hz, rng, 5000) == whole);
}

TEST(TransferStreams, Base64ToUtf8GivesTheTextsUtf8UntilItsBytesAreNotUtf8) {
  // Base64 of UTF-8 cut anywhere, of NULs, of malformed and cut sequences,
  // overlong forms and encoded surrogates, with the stops and blanks of
  // Base64 around it; in short pieces and in long ones.
  static const char* const pieces[] = {
      "a", "\xE4\xB8\xAD", "\xC3\xA9", "\xF0\x9F\x98\x80", "\n", "0123456", "\xE0\xA0\x80", "\xED\x9F\xBF",
      "\xEF\xBF\xBF", "\xC2\x80", "\xDF\xBF",  // all valid, the edges of each length included
      "\x80", "\xE4\xB8", "\xED\xA0\x80", "\xC0\xAF", "\xC1\xBF", "\xE0\x9F\xBF", "\xF4\x90\x80\x80", "\xF8", "\xE4\xC3"};
  constexpr std::size_t kValid = 11;
  std::mt19937 rng(41);
  for (int round = 0; round < 4000; ++round) {
    // Valid UTF-8, with one wrong piece at any place in every other round.
    std::vector<std::string> parts;
    for (int i = rng() % 40; i >= 0; --i) parts.push_back(rng() % 9 == 0 ? std::string(1, '\0') : pieces[rng() % kValid]);
    const bool valid = round % 2 == 0;
    if (!valid) parts.insert(parts.begin() + rng() % parts.size(), pieces[kValid + rng() % (std::size(pieces) - kValid)]);
    std::string raw;
    for (const std::string& part : parts) raw += part;
    Text base64 = BytesToBase64(ToBytes(raw));
    for (std::size_t at = rng() % 40; at < base64.size(); at += 1 + rng() % 40) base64.insert(at, rng() % 2 ? u"\r\n" : u" ");
    if (rng() % 4 == 0) base64 += u"=\u4E2DZm9v";  // what follows a stop is ignored
    Bytes input;
    for (const char16_t c : base64) input.push_back(static_cast<std::uint8_t>(c));
    const std::int32_t code = round % 3 == 0 ? 65001 : -4;
    const std::int16_t mode = code == 65001 ? 128 : 0;
    Text whole = base64;
    DecodeBase64Text(whole, code, mode);

    Base64StreamDecoder decoder(code, mode);
    ASSERT_TRUE(decoder.DecodesUtf8());
    Bytes utf8;
    Text text;
    std::size_t at = 0;
    for (bool last = false; !last;) {
      const std::size_t n = std::min<std::size_t>(rng() % (round % 3 == 1 ? 12 : 400), input.size() - at);
      last = at + n == input.size();
      const std::size_t utf8_before = utf8.size();
      const bool passed = decoder.PassesUtf8();
      ASSERT_TRUE(decoder.DecodeToUtf8(BytesView(input).substr(at, n), last, utf8, text));
      if (!passed) ASSERT_EQ(utf8.size(), utf8_before);  // once text, always text
      at += n;
    }
    SCOPED_TRACE(Hex(ToBytes(raw)));
    EXPECT_EQ(decoder.PassesUtf8(), valid);  // valid UTF-8 never turns to text
    if (decoder.PassesUtf8()) {
      EXPECT_TRUE(text.empty());
      EXPECT_EQ(Hex(utf8), Hex(TextToCpBytes(whole, 65001)));
    } else {
      EXPECT_EQ(Hex(CpBytesToText(utf8, 65001) + text), Hex(whole));
    }
  }
  // Each wrong piece at every place of a long piece, after Chinese text.
  for (std::size_t wrong = kValid; wrong < std::size(pieces); ++wrong) {
    for (std::size_t offset = 0; offset < 40; ++offset) {
      std::string raw = std::string(offset % 3, 'a');
      for (std::size_t k = 0; k < offset / 3; ++k) raw += "\xE4\xB8\xAD";
      raw += pieces[wrong] + std::string(20, 'b');
      const Text base64 = BytesToBase64(ToBytes(raw));
      const Bytes input(base64.begin(), base64.end());
      Base64StreamDecoder decoder(-4, 0);
      Bytes utf8;
      Text text;
      ASSERT_TRUE(decoder.DecodeToUtf8(input, true, utf8, text));
      EXPECT_FALSE(decoder.PassesUtf8()) << Hex(ToBytes(raw));
    }
  }
  EXPECT_FALSE(Base64StreamDecoder(936, 128).DecodesUtf8());
  EXPECT_FALSE(Base64StreamDecoder(2052, 0).DecodesUtf8());
}

TEST(TransferStreams, Base64RefusesWhatNamesNoCharacterSet) {
  EXPECT_FALSE(Base64StreamDecoder(-5, 0).Usable());
  EXPECT_FALSE(Base64StreamDecoder(4242, 128).Usable());
  EXPECT_TRUE(Base64StreamDecoder(2052, 0).Usable());
}

}  // namespace
}  // namespace mok
