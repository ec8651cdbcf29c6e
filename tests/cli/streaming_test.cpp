// The streaming pieces of mok against the whole-text functions the window
// uses: for any split of the input into chunks the result must be the same.

#include <gtest/gtest.h>

#include <random>

#include "cli/formats.h"
#include "cli/steps.h"
#include "codec/charset_tables.h"
#include "codec/conversion_core.h"
#include "codec/text_files.h"
#include "tests/support/hex.h"

namespace mok::cli {
namespace {

using ::mok::testing::Hex;

Text RandomText(std::mt19937& rng) {
  static const Text pieces[] = {u"a",      u" ",      u"\r\n",         u"\u4E2D", u"\u6587", u"\u00E9", u"\u0416",
                                u"\uFEFF", u"\xDCB5", u"\xD83D\xDE00", u"\xD800", u"~{",     u"+",      Text(1, u'\0')};
  Text text;
  for (int i = rng() % 40; i > 0; --i) text += pieces[rng() % std::size(pieces)];
  return text;
}

// Feeds whole in random pieces (some empty) to run, the last one marked.
template <typename View, typename Out, typename Run>
bool Pieces(View whole, std::mt19937& rng, Out& joined, Run run) {
  Out piece;
  std::size_t at = 0;
  for (;;) {
    const std::size_t n = std::min<std::size_t>(rng() % 7, whole.size() - at);
    const bool last = at + n == whole.size() && rng() % 2 == 0;
    if (!run(whole.substr(at, n), last, piece)) return false;
    joined += piece;
    at += n;
    if (last) return true;
  }
}

// A reinterpreting step's stage, fed random text in random pieces, against
// the whole-text call.
void ExpectStageEqualsWhole(bool by_code_page, std::int32_t a, std::int32_t b, std::mt19937& rng) {
  Step step;
  step.streams = true;
  step.by_code_page = by_code_page;
  step.code_a = a;
  step.code_b = b;
  const Text text = RandomText(rng);
  auto stage = step.MakeStage();
  Text streamed;
  EXPECT_TRUE(Pieces(TextView(text), rng, streamed,
                     [&](TextView chunk, bool last, Text& out) { return stage->Run(chunk, last, out); }));
  Text whole = text;
  if (by_code_page) {
    ReinterpretByCp(whole, a, b);
  } else {
    ReinterpretByLid(whole, a, b);
  }
  EXPECT_EQ(Hex(streamed), Hex(whole)) << a << "->" << b << (by_code_page ? " by code page" : "") << " on "
                                       << Hex(text);
  EXPECT_EQ(stage->Unchanged(), whole.empty());
}

TEST(ReinterpretStage, EqualsWholeTextForEveryPairOfLanguageCodesAndEveryCodePage) {
  std::mt19937 rng(3);
  for (const NamedCode& a : LanguageCodes()) {
    for (const NamedCode& b : LanguageCodes()) {
      for (int round = 0; round < 4; ++round) ExpectStageEqualsWhole(false, a.code, b.code, rng);
    }
  }
  for (const NamedCode& a : CodePages()) {
    ExpectStageEqualsWhole(true, a.code, CodePages()[rng() % CodePages().size()].code, rng);
  }
}

TEST(FileEncodings, ReadAndWriteAsTheWindowsOpenAndSave) {
  // Every requested format against DecodeFileBytes with the detection of the
  // whole input, on files of every format with and without a mark.
  std::mt19937 rng(5);
  for (int round = 0; round < 30; ++round) {
    const Text text = RandomText(rng);
    for (std::int16_t written = 1; written <= 9; ++written) {
      std::int16_t saved_as = written;
      Bytes bytes;
      ASSERT_TRUE(EncodeFileText(text, saved_as, bytes));
      OutputEncoder encoder(FileEncoding{written, 0});
      Bytes streamed_bytes;
      ASSERT_TRUE(Pieces(TextView(text), rng, streamed_bytes,
                         [&](TextView chunk, bool last, Bytes& out) { return encoder.Encode(chunk, last, out); }));
      EXPECT_EQ(Hex(streamed_bytes), Hex(bytes)) << "format " << written;

      for (std::int16_t requested = 0; requested <= 9; ++requested) {
        std::int16_t used = requested;
        Text whole;
        ASSERT_TRUE(DecodeFileBytes(bytes, used, whole));
        const FileEncoding encoding{requested, 0};
        const std::int16_t detected =
            DetectFileFormat(NeedsDetection(encoding) ? BytesView(bytes) : BytesView(bytes).substr(0, 3));
        InputDecoder decoder(encoding, detected);
        Text streamed;
        ASSERT_TRUE(Pieces(BytesView(bytes), rng, streamed,
                           [&](BytesView chunk, bool last, Text& out) { return decoder.Decode(chunk, last, out); }));
        EXPECT_EQ(Hex(streamed), Hex(whole)) << "written " << written << ", requested " << requested;
      }
    }
  }
}

TEST(FileEncodings, LongAsciiRunsReadAsTheWindowReadsThem) {
  // ASCII runs of every length with NULs, between characters of the format
  // (cut by the pieces' ends too) and bytes it cannot decode, in pieces of up
  // to a hundred bytes: the ASCII the reader widens itself must join what
  // the converter reads exactly.
  std::mt19937 rng(8);
  for (const std::int16_t format : {kFormatUtf8, kFormatGbk, kFormatGb18030, kFormatLatin1, kFormatUtf8Bom}) {
    for (int round = 0; round < 60; ++round) {
      Text text;
      for (int part = rng() % 8; part >= 0; --part) {
        for (int i = rng() % 40; i > 0; --i) text += rng() % 9 == 0 ? u'\0' : static_cast<char16_t>(0x20 + rng() % 95);
        text += rng() % 2 ? u"\u4E2D\u6587" : u"\u00E9";
      }
      std::int16_t saved_as = format;
      Bytes bytes;
      ASSERT_TRUE(EncodeFileText(text, saved_as, bytes));
      if (round % 3 == 0) bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(rng() % (bytes.size() + 1)), 0xFF);
      std::int16_t used = format;
      Text whole;
      ASSERT_TRUE(DecodeFileBytes(bytes, used, whole));
      InputDecoder decoder(FileEncoding{format, 0}, DetectFileFormat(BytesView(bytes).substr(0, 3)));
      Text streamed, piece;
      for (std::size_t at = 0; at < bytes.size() || at == 0;) {
        const std::size_t n = std::min<std::size_t>(rng() % 100, bytes.size() - at);
        const bool last = at + n == bytes.size();
        ASSERT_TRUE(decoder.Decode(BytesView(bytes).substr(at, n), last, piece));
        streamed += piece;
        at += n;
        if (last) break;
      }
      ASSERT_EQ(Hex(streamed), Hex(whole)) << "format " << format << " on " << Hex(bytes);
    }
  }
}

TEST(FileEncodings, DetectionReadsShortUtf8AsUtf8) {
  struct Case {
    const char* bytes;
    std::size_t size;
    bool complete;
    std::int16_t format;
  };
  const Case cases[] = {
      {"\xE4\xB8\xAD", 3, true, kFormatUtf8},            // one character: was taken for GBK
      {"a\xC3\xA9", 3, true, kFormatUtf8},
      {"plain ASCII", 11, true, kFormatUtf8},
      {"", 0, true, kFormatUtf8},
      {"\xD6\xD0\xCE\xC4", 4, true, kFormatGbk},         // GBK "中文"
      {"\xE4\xB8", 2, false, kFormatUtf8},                 // cut by the end of the first part
      {"\xE4\xB8", 2, true, kFormatGbk},                   // cut by the end of the input
      {"\xC0\xAF", 2, true, kFormatGbk},                   // overlong
      {"\xED\xA0\x80", 3, true, kFormatGbk},              // an encoded surrogate
      {"\xF4\x90\x80\x80", 4, true, kFormatGbk},         // above U+10FFFF
      {"\xF0\x9F\x98\x80", 4, true, kFormatUtf8},
      {"\xEF\xBB\xBF\xE4\xB8\xAD", 6, true, kFormatUtf8Bom},
      {"\xFF\xFE\x2D\x4E", 4, true, kFormatUtf16LeBom},
      {"\x2D\x4E\x0D\x00\x0A\x00", 6, true, kFormatUtf16Le},
      // The window's tolerant rule still reads mostly-UTF-8 text as UTF-8.
      {"\xE4\xB8\xAD\xE6\x96\x87\xE4\xB8\xAD\xE6\x96\x87\xE4\xB8\xAD\xE6\x96\x87\xFF", 19, true, kFormatUtf8},
  };
  for (const Case& c : cases) {
    const BytesView bytes(reinterpret_cast<const std::uint8_t*>(c.bytes), c.size);
    EXPECT_EQ(DetectInputFormat(bytes, c.complete), c.format) << Hex(bytes) << (c.complete ? "" : " (first part)");
  }
}

TEST(FileEncodings, NamesAndCodePagesOfTheTable) {
  FileEncoding encoding;
  EXPECT_TRUE(ParseFileEncoding("UTF16BE-BOM", encoding));
  EXPECT_EQ(encoding.format, 5);
  EXPECT_TRUE(ParseFileEncoding("950", encoding));
  EXPECT_EQ(encoding.format, 0);
  EXPECT_EQ(encoding.code_page, 950);
  for (const char* bad : {"", "1256", "936x", "-4"}) EXPECT_FALSE(ParseFileEncoding(bad, encoding)) << bad;
}

}  // namespace
}  // namespace mok::cli
