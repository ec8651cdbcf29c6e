#include "codec/charset_stream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "codec/charset_conversion.h"
#include "codec/charset_tables.h"
#include "codec/conversion_core.h"
#include "tests/support/hex.h"

namespace mok {
namespace {

using ::mok::testing::Hex;

// Pieces that stress the converters: shifts of HZ, UTF-7 and ISO-2022, CJK of
// several code pages, characters most code pages lack, escaped bytes, lone and
// paired surrogates.
const Text kPieces[] = {
    u"a", u"Z9 ", u"\r\n", u"~", u"~{", u"~}", u"+", u"-", u"+-", u"\x1B$B", u"\x1B(B", u"\x1B$)A",
    u"\u4E2D\u6587", u"\u7E41\u9AD4", u"\u3042\u30AB", u"\uD55C\uAE00", u"\u0416\u03A9", u"\u00E9\u00FC", u"\u20AC",
    u"\u0E01", u"\xDCB0", u"\xDC41", u"\xDCFF", u"\xD83D\xDE00", u"\xD800", u"\uFEFF", u"?"};

Text RandomText(std::mt19937& rng, std::size_t pieces) {
  Text text;
  for (std::size_t i = 0; i < pieces; ++i) text += kPieces[rng() % std::size(kPieces)];
  return text;
}

// Valid bytes of the code page, random bytes and the escapes of the stateful
// code pages, mixed.
Bytes RandomBytes(std::mt19937& rng, std::int32_t code_page) {
  Bytes bytes = TextToCpBytes(RandomText(rng, 30), code_page);
  for (int i = 0; i < 40; ++i) {
    const unsigned pick = rng() % 10;
    if (pick < 6) {
      bytes.push_back(static_cast<std::uint8_t>(rng()));
    } else if (pick < 8) {
      bytes += ToBytes(pick == 6 ? "\x1B$)A\x0E" : "~{");
    } else {
      bytes += TextToCpBytes(RandomText(rng, 3), code_page);
    }
  }
  return bytes;
}

// Cut points for a length: random ones (empty pieces included), or every offset.
std::vector<std::size_t> Cuts(std::mt19937& rng, std::size_t length, bool every_offset) {
  std::vector<std::size_t> cuts;
  if (every_offset) {
    for (std::size_t i = 0; i <= length; ++i) cuts.push_back(i);
  } else {
    for (std::size_t i = rng() % 6; i > 0; --i) cuts.push_back(length == 0 ? 0 : rng() % (length + 1));
    std::sort(cuts.begin(), cuts.end());
  }
  cuts.push_back(length);
  return cuts;
}

template <typename View, typename Out, typename Step>
bool Stream(View whole, const std::vector<std::size_t>& cuts, Out& out, Step step) {
  std::size_t from = 0;
  for (std::size_t i = 0; i < cuts.size(); ++i) {
    if (!step(whole.substr(from, cuts[i] - from), i + 1 == cuts.size(), out)) return false;
    from = cuts[i];
  }
  return true;
}

TEST(CodePageStream, EqualsWholeBufferForEveryCodePageAndSplit) {
  for (const NamedCode& entry : CodePages()) {
    std::mt19937 rng(static_cast<std::uint32_t>(entry.code));
    for (int round = 0; round < 12; ++round) {
      const bool every_offset = round == 0;
      const Text text = RandomText(rng, every_offset ? 12 : 60);
      CodePageStream encoder(entry.code);
      ASSERT_TRUE(encoder.Usable()) << entry.code;
      Bytes streamed;
      ASSERT_TRUE(Stream(TextView(text), Cuts(rng, text.size(), every_offset), streamed,
                         [&](TextView piece, bool last, Bytes& out) { return encoder.Encode(piece, last, out); }));
      EXPECT_EQ(Hex(streamed), Hex(TextToCpBytes(text, entry.code)))
          << "encode, code page " << entry.code << ", text " << Hex(text);

      const Bytes bytes = RandomBytes(rng, entry.code);
      CodePageStream decoder(entry.code);
      Text decoded;
      ASSERT_TRUE(Stream(BytesView(bytes), Cuts(rng, bytes.size(), every_offset), decoded,
                         [&](BytesView piece, bool last, Text& out) { return decoder.Decode(piece, last, out); }));
      EXPECT_EQ(Hex(decoded), Hex(CpBytesToText(bytes, entry.code)))
          << "decode, code page " << entry.code << ", bytes " << Hex(bytes);
    }
  }
}

TEST(CodePageStream, LargeInputsEqualWholeBufferToo) {
  // Large chunks of one- and two-byte code pages decode by table: regular
  // characters, malformed and unassigned bytes, and pairs cut between chunks
  // must come out as the converter alone gives them.
  std::mt19937 rng(9);
  for (const NamedCode& entry : CodePages()) {
    Bytes bytes;
    while (bytes.size() < 150000) {
      const unsigned pick = rng() % 10;
      if (pick < 7) {
        bytes += TextToCpBytes(RandomText(rng, 300), entry.code);
      } else {
        for (int i = rng() % 4; i >= 0; --i) bytes.push_back(static_cast<std::uint8_t>(0x80 + rng() % 0x80));
        if (pick == 9) bytes.push_back(static_cast<std::uint8_t>(rng() % 0x40));
      }
    }
    std::vector<std::size_t> cuts = {70000 + rng() % 3, 70001 + rng() % 2000, 140000, bytes.size()};
    CodePageStream decoder(entry.code);
    Text decoded;
    ASSERT_TRUE(Stream(BytesView(bytes), cuts, decoded,
                       [&](BytesView piece, bool last, Text& out) { return decoder.Decode(piece, last, out); }));
    const Text whole = CpBytesToText(bytes, entry.code);
    ASSERT_EQ(decoded.size(), whole.size()) << entry.code;
    EXPECT_TRUE(decoded == whole) << "code page " << entry.code;
  }
}

TEST(DecodeRegularCharacters, EqualsTheConverterOrDeclines) {
  std::mt19937 rng(13);
  int taken = 0;
  for (const NamedCode& entry : CodePages()) {
    for (int round = 0; round < 40; ++round) {
      Bytes bytes = TextToCpBytes(RandomText(rng, 8), entry.code);
      if (round % 3 == 0) bytes.push_back(static_cast<std::uint8_t>(0x80 + rng() % 0x80));
      Text by_table = u"untouched";
      if (DecodeRegularCharacters(bytes, entry.code, by_table)) {
        ++taken;
        EXPECT_EQ(Hex(by_table), Hex(CpBytesToText(bytes, entry.code))) << entry.code << ": " << Hex(bytes);
      } else {
        EXPECT_EQ(by_table, u"untouched");
      }
    }
  }
  EXPECT_GT(taken, 200);  // GBK, Big5, Shift-JIS, UHC and the single-byte pages take most
}

TEST(CodePageStream, OneStreamEncodesAndDecodesIndependently) {
  // Both directions of one stream keep separate states: a half-written shift
  // of the encoder does not disturb the decoder.
  CodePageStream stream(52936);
  Bytes bytes;
  Text text;
  ASSERT_TRUE(stream.Encode(u"\u4E2D", false, bytes));
  ASSERT_TRUE(stream.Decode(ToBytes("~{VP"), false, text));
  ASSERT_TRUE(stream.Encode(u"a", true, bytes));
  ASSERT_TRUE(stream.Decode(ToBytes("~}a"), true, text));
  EXPECT_EQ(Hex(bytes), Hex(TextToCpBytes(u"\u4E2Da", 52936)));
  EXPECT_EQ(Hex(text), Hex(CpBytesToText(ToBytes("~{VP~}a"), 52936)));
}

TEST(CodePageStream, AsciiChunkCompletesAHalfCharacter) {
  // A chunk of plain ASCII may still finish what the last chunk began: a GBK
  // lead byte takes "@" as its trail byte, a UTF-8 sequence is cut short, a
  // high surrogate waits for its pair.
  struct Case {
    std::int32_t code_page;
    const char* first;
    const char* second;
  };
  for (const Case& c : {Case{936, "\x81", "@@"}, Case{65001, "\xE4", "ab"}, Case{932, "\x82", "A"}}) {
    CodePageStream stream(c.code_page);
    Text text;
    ASSERT_TRUE(stream.Decode(ToBytes(c.first), false, text));
    ASSERT_TRUE(stream.Decode(ToBytes(c.second), true, text));
    EXPECT_EQ(Hex(text), Hex(CpBytesToText(ToBytes(std::string(c.first) + c.second), c.code_page))) << c.code_page;
  }
  CodePageStream stream(65001);
  Bytes bytes;
  ASSERT_TRUE(stream.Encode(u"\xD83D", false, bytes));
  ASSERT_TRUE(stream.Encode(u"a", true, bytes));
  EXPECT_EQ(Hex(bytes), Hex(TextToCpBytes(Text(u"\xD83D") + u'a', 65001)));
}

TEST(CodePageStream, NothingInNothingOut) {
  // Even the stateful encodings, whose flushed converters would write a
  // header or a final shift, give nothing for empty input.
  for (const NamedCode& entry : CodePages()) {
    CodePageStream stream(entry.code);
    Bytes bytes;
    Text text;
    ASSERT_TRUE(stream.Encode(u"", false, bytes));
    ASSERT_TRUE(stream.Encode(u"", true, bytes));
    ASSERT_TRUE(stream.Decode(BytesView(), true, text));
    EXPECT_EQ(Hex(bytes), "") << entry.code;
    EXPECT_EQ(Hex(text), "") << entry.code;
  }
}

TEST(CodePageStream, UnknownCodePageIsRefused) {
  CodePageStream stream(12345);
  EXPECT_FALSE(stream.Usable());
  Text text;
  EXPECT_FALSE(stream.Decode(ToBytes("a"), true, text));
  Bytes bytes;
  EXPECT_FALSE(stream.Encode(u"a", true, bytes));
}

}  // namespace
}  // namespace mok
