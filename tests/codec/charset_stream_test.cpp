#include "codec/charset_stream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <thread>
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

TEST(RegularCharacterTable, OnePerCodePageSharedByEveryThread) {
  // A decoder may be made in one thread and used in another: the table it
  // looked up stays valid and decodes alike everywhere.
  const DoubleByteTable* gbk = RegularCharacterTable(936);
  ASSERT_NE(gbk, nullptr);
  const Bytes bytes = ToBytes("\xD6\xD0\xCE\xC4A\x80");
  const DoubleByteTable* elsewhere = nullptr;
  Text there;
  std::thread([&] {
    elsewhere = RegularCharacterTable(936);
    EXPECT_TRUE(AppendRegularCharacters(*gbk, bytes, there));
  }).join();
  EXPECT_EQ(elsewhere, gbk);
  EXPECT_EQ(Hex(there), Hex(CpBytesToText(bytes, 936)));
  Text declined = u"x";
  EXPECT_FALSE(AppendRegularCharacters(*gbk, ToBytes("\xD6"), declined));  // cut short: the converter's part
  EXPECT_EQ(declined, u"x");
  EXPECT_EQ(RegularCharacterTable(65001), nullptr);
  EXPECT_EQ(RegularCharacterTable(50220), nullptr);
  EXPECT_EQ(RegularCharacterTable(4242), nullptr);
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

namespace mok {
namespace {

// Encodes text in the pieces the cuts make, with rules; the stop's position
// counted from the start of the whole text (npos when it went through).
struct RuledResult {
  Bytes bytes;
  std::size_t stopped_at = Text::npos;
  char32_t code_point = 0;
  bool escaped = false;
};

RuledResult EncodeByRules(std::int32_t code_page, const EncodeRules& rules, TextView text,
                          const std::vector<std::size_t>& cuts, bool by_language_code = false) {
  const auto stream = by_language_code ? CharsetStream::ByLanguageCode(code_page, rules)
                                       : CharsetStream::ByCodePage(code_page, rules);
  RuledResult result;
  std::size_t from = 0;
  for (std::size_t i = 0; i < cuts.size(); ++i) {
    if (!stream->Encode(text.substr(from, cuts[i] - from), i + 1 == cuts.size(), result.bytes)) {
      const EncodeProblem* problem = stream->Problem();
      if (problem == nullptr) ADD_FAILURE() << "failed without a stop";
      if (problem != nullptr) {
        result = {result.bytes, static_cast<std::size_t>(static_cast<std::ptrdiff_t>(from) + problem->position),
                  problem->code_point, problem->escaped};
      }
      return result;
    }
    from = cuts[i];
  }
  return result;
}

TEST(EncodeRules, TheSplitOfTheTextChangesNothing) {
  const InvalidAction actions[] = {InvalidAction::Keep, InvalidAction::Stop, InvalidAction::Omit,
                                   InvalidAction::Replace};
  for (const NamedCode& entry : CodePages()) {
    std::mt19937 rng(static_cast<std::uint32_t>(entry.code) + 7);
    for (int round = 0; round < 8; ++round) {
      const EncodeRules rules{actions[rng() % 4], actions[rng() % 4], rng() % 2 == 0};
      const Text text = RandomText(rng, 40);
      const RuledResult whole = EncodeByRules(entry.code, rules, text, {text.size()});
      const RuledResult split = EncodeByRules(entry.code, rules, text, Cuts(rng, text.size(), round == 0));
      SCOPED_TRACE(::testing::Message() << "code page " << entry.code << ", text " << Hex(text));
      EXPECT_EQ(split.stopped_at, whole.stopped_at);
      EXPECT_EQ(split.code_point, whole.code_point);
      if (whole.stopped_at == Text::npos) EXPECT_EQ(Hex(split.bytes), Hex(whole.bytes));
    }
  }
}

TEST(EncodeRules, EachConverterKeepsLeavesOutReplacesOrStops) {
  const EncodeRules keep;
  const EncodeRules stop{InvalidAction::Stop, InvalidAction::Stop, false};
  const EncodeRules omit{InvalidAction::Omit, InvalidAction::Omit, false};
  const EncodeRules replace{InvalidAction::Replace, InvalidAction::Replace, false};
  const EncodeRules keep_bytes{InvalidAction::Keep, InvalidAction::Stop, false};
  struct Case {
    std::int32_t code;  // a code page, or with by_language_code a language code
    bool by_language_code;
    EncodeRules rules;
    Text text;
    const char* bytes;
    std::size_t size;
    std::size_t stopped_at;  // npos: went through
  };
  constexpr std::size_t kThrough = Text::npos;
  const Case cases[] = {
      // ICU: escaped byte 0xB0, then 中 which Latin-1 lacks.
      {28591, false, keep, u"a\xDCB0\u4E2D", "a\xB0?", 3, kThrough},
      {28591, false, stop, u"a\xDCB0\u4E2D", "a", 1, 1},
      {28591, false, keep_bytes, u"a\xDCB0\u4E2D", "a\xB0", 2, 2},
      {28591, false, omit, u"a\xDCB0\u4E2D" "b", "ab", 2, kThrough},
      {28591, false, replace, u"a\xDCB0\u4E2D", "a??", 3, kThrough},
      {65001, false, replace, u"a\xDCB0\xD800" "b", "a\xEF\xBF\xBD\xEF\xBF\xBD" "b", 8, kThrough},
      {65001, false, stop, u"ab\xD800", "ab", 2, 2},
      {65001, false, stop, u"\xD83D\xDE00", "\xF0\x9F\x98\x80", 4, kThrough},  // a pair is no problem
      // Stateful: HZ closes its GB run before it stops.
      {52936, false, stop, u"\u554A\u0E01", "~{0!~}", 6, 1},
      {52936, false, replace, u"\u554A\u0E01", "~{0!~}?", 7, kThrough},
      // The byte view (UTF-16LE) and UTF-16BE.
      {1200, false, stop, u"a\xDC41", "a\0", 2, 1},
      {1200, false, replace, u"\xDC41", "\xFD\xFF", 2, kThrough},
      {1200, false, omit, u"\xD800" "a", "a\0", 2, kThrough},
      {-3, true, replace, u"\xDC41" "a", "\xFF\xFD\0a", 4, kThrough},
      // iconv's Johab.
      {1361, false, stop, u"a\u00E9", "a", 1, 1},
      {1361, false, omit, u"a\u00E9\xDCB0", "a", 1, kThrough},
      {1361, false, keep, u"a\u00E9\xDCB0", "a?\xB0", 3, kThrough},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "code " << c.code << ", text " << Hex(c.text));
    const RuledResult result = EncodeByRules(c.code, c.rules, c.text, {c.text.size()}, c.by_language_code);
    EXPECT_EQ(Hex(result.bytes), Hex(Bytes(reinterpret_cast<const std::uint8_t*>(c.bytes), c.size)));
    EXPECT_EQ(result.stopped_at, c.stopped_at);
  }
}

TEST(EncodeRules, FallbacksOnlyWhenAskedFor) {
  // The whole-buffer functions (the window's) keep "?" for what a code page
  // lacks; the fallbacks give the look-alike's code as iconv does.
  const Text text = u"〜‖−¢£¬";
  EXPECT_EQ(Hex(TextToCpBytes(text, 932)), Hex(ToBytes("??????")));
  EncodeRules fallbacks{InvalidAction::Stop, InvalidAction::Stop, true};
  const RuledResult result = EncodeByRules(932, fallbacks, text, {text.size()});
  EXPECT_EQ(result.stopped_at, Text::npos);
  EXPECT_EQ(Hex(result.bytes), Hex(ToBytes("\x81\x60\x81\x61\x81\x7C\x81\x91\x81\x92\x81\xCA")));
  fallbacks.fallbacks = false;
  EXPECT_EQ(EncodeByRules(932, fallbacks, text, {text.size()}).stopped_at, 0u);
}

TEST(CodePageStream, Utf8OfEveryKindOfCharacterEqualsTheConverters) {
  // Runs of one-, two- and three-byte characters of every length, their
  // edges included, so that blocks of units of one kind and of mixed kinds
  // both occur; without surrogates the encoder writes the bytes itself.
  const char16_t edges[][4] = {{0x00, 0x41, 0x7F, 0x20},     {0x80, 0xE9, 0x7FF, 0x416},
                               {0x800, 0x4E2D, 0xD7FF, 0x3002}, {0xE000, 0xFEFF, 0xFFFD, 0xFFFF}};
  std::mt19937 rng(31);
  for (int round = 0; round < 2000; ++round) {
    Text text;
    for (int run = rng() % 6; run >= 0; --run) {
      const auto& kind = edges[rng() % std::size(edges)];
      for (int i = rng() % 12; i >= 0; --i) text += kind[rng() % 4];
    }
    CodePageStream stream(65001, EncodeRules{InvalidAction::Stop, InvalidAction::Stop, false});
    Bytes streamed;
    ASSERT_TRUE(Stream(TextView(text), Cuts(rng, text.size(), false), streamed,
                       [&](TextView piece, bool last, Bytes& out) { return stream.Encode(piece, last, out); }));
    ASSERT_EQ(Hex(streamed), Hex(TextToCpBytes(text, 65001))) << Hex(text);
  }
}

TEST(CharsetStream, PendingBytesAreThoseOfACutCharacter) {
  const auto utf8 = CharsetStream::ByCodePage(65001);
  Text out;
  ASSERT_TRUE(utf8->Decode(ToBytes("a\xE4\xB8"), false, out));
  EXPECT_EQ(utf8->PendingDecodeBytes(), 2u);
  ASSERT_TRUE(utf8->Decode(ToBytes("\xAD"), false, out));
  EXPECT_EQ(utf8->PendingDecodeBytes(), 0u);
  const auto utf16 = CharsetStream::ByCodePage(1200);
  ASSERT_TRUE(utf16->Decode(ToBytes("abc"), false, out));
  EXPECT_EQ(utf16->PendingDecodeBytes(), 1u);
}

}  // namespace
}  // namespace mok

namespace mok {
namespace {

TEST(CharsetStream, TolerantUtf8EqualsTheWholeDecoderForAnyBytesAndSplit) {
  // Valid UTF-8 goes by the fast way, the rest by the tolerant decoder: the
  // joins between them must not show.
  static const char* const pieces[] = {"a", "\xE4\xB8\xAD", "\xC3\xA9", "\xF0\x9F\x98\x80", "\x80", "\xBF", "\xC0\xAF",
                                       "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE4\xB8", "\xF8", "\xFF", "\n", "\0"};
  std::mt19937 rng(29);
  for (int round = 0; round < 3000; ++round) {
    Bytes bytes;
    for (int i = rng() % 30; i > 0; --i) {
      const char* piece = pieces[rng() % std::size(pieces)];
      bytes += piece[0] == 0 ? Bytes(1, 0) : ToBytes(piece);
    }
    const auto stream = CharsetStream::ByLanguageCode(-4);
    Text streamed;
    ASSERT_TRUE(Stream(BytesView(bytes), Cuts(rng, bytes.size(), round % 50 == 0), streamed,
                       [&](BytesView piece, bool last, Text& out) { return stream->Decode(piece, last, out); }));
    ASSERT_EQ(Hex(streamed), Hex(Utf8BytesToText(bytes))) << Hex(bytes);
  }
}

}  // namespace
}  // namespace mok
