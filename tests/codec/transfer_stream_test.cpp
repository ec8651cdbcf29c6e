// The streaming Base64, UTF-7 and HZ decoders against the whole-text ones:
// for any split of any text the result must be the same.

#include <gtest/gtest.h>

#include <random>

#include "codec/base64.h"
#include "codec/utf7_hz.h"
#include "tests/support/hex.h"

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

template <typename Decoder>
Text Streamed(Decoder& decoder, TextView text, std::mt19937& rng, std::size_t largest) {
  Text out;
  std::size_t at = 0;
  for (;;) {
    const std::size_t n = std::min<std::size_t>(rng() % (largest + 1), text.size() - at);
    const bool last = at + n == text.size() && rng() % 3 != 0;
    EXPECT_TRUE(decoder.Decode(text.substr(at, n), last, out));
    at += n;
    if (last) return out;
  }
}

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

TEST(TransferStreams, Base64RefusesWhatNamesNoCharacterSet) {
  EXPECT_FALSE(Base64StreamDecoder(-5, 0).Usable());
  EXPECT_FALSE(Base64StreamDecoder(4242, 128).Usable());
  EXPECT_TRUE(Base64StreamDecoder(2052, 0).Usable());
}

}  // namespace
}  // namespace mok
