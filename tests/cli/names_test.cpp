// The names mok takes for character sets and menu items: iconv's and uconv's
// spellings through ICU's alias table, ASCII spellings of the Chinese menu
// names, negative language codes, and the search of `mok list`.

#include <gtest/gtest.h>

#include <sstream>

#include "cli/formats.h"
#include "cli/steps.h"
#include "cli/words.h"
#include "codec/charset_conversion.h"
#include "codec/charset_tables.h"
#include "codec/conversion_core.h"
#include "codec/text_files.h"
#include "tests/cli/mok_runner.h"

namespace mok::cli {
namespace {

TEST(EncodingNames, IconvAndUconvSpellingsLandOnTheTable) {
  struct Case {
    const char* word;
    std::int16_t format;
    std::int32_t code_page;
  };
  const Case cases[] = {
      {"utf-8", kFormatUtf8, 0},          {"UTF8", kFormatUtf8, 0},
      {"utf-16le", kFormatUtf16Le, 0},    {"UTF-16BE", kFormatUtf16Be, 0},
      {"utf-16", kFormatUtf16LeBom, 0},   {"iso-8859-1", kFormatLatin1, 0},
      {"latin1", kFormatLatin1, 0},       {"gbk", kFormatGbk, 0},
      {"cp936", kFormatGbk, 0},           {"gb2312", kFormatGbk, 0},  // the table's superset
      {"GB18030", kFormatGb18030, 0},     {"big5", 0, 950},
      {"cp950", 0, 950},                  {"shift_jis", 0, 932},
      {"SJIS", 0, 932},                   {"cp932", 0, 932},
      {"euc-jp", 0, 20932},               {"iso-2022-jp", 0, 50221},
      {"euc-kr", 0, 949},                 {"windows-1252", 0, 1252},
      {"cp1251", 0, 1251},                {"koi8-r", 0, 20866},
      {"KOI8-U", 0, 21866},               {"iso-8859-5", 0, 28595},
      {"macintosh", 0, 10000},            {"ibm437", 0, 437},
      {"hz-gb-2312", 0, 52936},           {"utf-7", 0, 65000},
      {"950", 0, 950},                    {"日文(Shift-JIS)", 0, 932},
      {"japanese(shift-jis)", 0, 932},    {"Cyrillic(KOI8-R)", 0, 20866},
  };
  for (const Case& c : cases) {
    FileEncoding encoding;
    ASSERT_TRUE(ParseFileEncoding(c.word, encoding)) << c.word;
    EXPECT_EQ(encoding.format, c.format) << c.word;
    EXPECT_EQ(encoding.code_page, c.code_page) << c.word;
    EXPECT_EQ(encoding.name, c.word);
  }
  for (const char* bad : {"ascii", "iso-8859-15", "utf-32", "big5-hkscs", "1256", "windows-1256", "nonsense"}) {
    FileEncoding encoding;
    EXPECT_FALSE(ParseFileEncoding(bad, encoding)) << bad;
  }
}

TEST(EncodingNames, EveryCodePageOfTheTableHasAnAliasThatFindsIt) {
  for (const NamedCode& entry : CodePages()) {
    // 50227 and 50229 share one converter: its names find the first.
    const std::vector<std::string> names = CharsetNamesOf(entry.code);
    ASSERT_EQ(names.empty(), entry.code == 50229) << entry.code;
    for (const std::string& name : names) EXPECT_EQ(CodePageOfCharsetName(name), entry.code) << name;
  }
}

TEST(MenuNames, EveryNameHasAnAsciiSpellingThatWorks) {
  // Every name `mok list` shows, typed in ASCII, builds the same step.
  const std::string listing = ListText();
  for (const std::string_view command : {"a2b", "decode", "make"}) {
    const std::size_t from = listing.find("\n" + std::string(command) + "：\n");
    ASSERT_NE(from, std::string::npos);
    const std::size_t to = listing.find("\n\n", from + 1);
    std::istringstream lines(listing.substr(from + 1, to - from - 1));
    std::string line;
    std::getline(lines, line);  // the heading
    while (std::getline(lines, line)) {
      const std::string name = line.substr(2, line.find_first_of("\t ", 2) - 2);
      const std::string ascii = AsciiSpelling(name);
      for (const char c : ascii) ASSERT_LT(static_cast<unsigned char>(c), 0x80) << name;
      StepRequest request{std::string(command), {ascii}, {}, {}, {}};
      if (ascii.find("--") != std::string::npos && command == "decode") continue;  // the pair items need operands
      if (line.find("--cp") != std::string::npos) request.cp = "936";
      if (line.find("--format") != std::string::npos) {
        request.format = "QP";
        request.cp.reset();
        request.lcid.reset();
        if (line.find("--lcid") != std::string::npos) request.lcid = "Japanese";
        if (line.find("--cp 代码页") != std::string::npos) request.cp = "Japanese(Shift-JIS)";
      }
      std::string error;
      const std::optional<Step> step = BuildStep(request, error);
      ASSERT_TRUE(step) << ascii << ": " << error;
      EXPECT_EQ(step->name, name);
    }
  }
}

using MokNames = ::mok::testing::MokTest;

TEST_F(MokNames, CodesAndNamesAsPlainArguments) {
  struct Case {
    std::vector<std::string> args;
    Text input;
    void (*codec)(Text&);
  };
  const Case cases[] = {
      {{"lcid", "2052", "-4"}, u"涓枃", [](Text& t) { ReinterpretByLid(t, 2052, -4); }},
      {{"lcid", "GB", "utf-8"}, u"涓枃", [](Text& t) { ReinterpretByLid(t, 2052, -4); }},
      {{"lcid", "-4", "-1"}, u"\u00E4", [](Text& t) { ReinterpretByLid(t, -4, -1); }},
      {{"cp", "cp950", "gbk"}, u"笢恅", [](Text& t) { ReinterpretByCp(t, 950, 936); }},
      {{"a2b", "japanese--gb", "--keep"}, u"荳ｭ", [](Text& t) { ReinterpretByLid(t, 1041, 2052); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    Text expected = c.input;
    c.codec(expected);
    ASSERT_FALSE(expected.empty());
    const ::mok::testing::MokResult r = Run(c.args, ::mok::testing::Utf8Of(c.input));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, ::mok::testing::Utf8Of(expected));
  }
  // Names of both sides of a conversion, as iconv takes them.
  EXPECT_EQ(Run({"convert", "-f", "shift_jis", "-t", "euc-jp"}, "\x93\xFA").out, "\xC6\xFC");
}

TEST_F(MokNames, ListFindsNamesAliasesAndSpellings) {
  struct Case {
    const char* word;
    std::vector<const char*> found;
  };
  const Case cases[] = {
      {"sjis", {"代码页", "932\t日文(Shift-JIS)"}},
      {"shift-jis", {"932\t日文(Shift-JIS)"}},
      {"Japanese", {"1041\t日文\tJapanese", "GB--日文\tGB--Japanese", "Esc+日文(ISO-2022)"}},
      {"日文", {"50221\t日文(ISO-2022)", "1041\t日文"}},
      {"koi8r", {"20866\t西里尔(KOI8-R)"}},
      {"utf-16be", {"文件格式", "  utf16be\t"}},
  };
  for (const Case& c : cases) {
    const ::mok::testing::MokResult r = Run({"list", c.word});
    EXPECT_EQ(r.status, 0) << c.word;
    for (const char* part : c.found) EXPECT_NE(r.out.find(part), std::string::npos) << c.word << " → " << part;
    EXPECT_EQ(r.out.find("语文区号", 0) != std::string::npos, r.out.find("\t= 代码页") != std::string::npos) << r.out;
  }
  const ::mok::testing::MokResult none = Run({"list", "klingon"});
  EXPECT_EQ(none.status, 1);
  EXPECT_EQ(none.out, "");
  EXPECT_EQ(none.err, "mok: 没有找到含有 “klingon” 的名字（mok list 列出全部）\n");
}

}  // namespace
}  // namespace mok::cli
