// mok suggest as a user runs it: the ranked listing, --apply with the outputs
// of the other steps and on streams longer than its sample, and nothing to
// suggest (the calls it refuses are with the others in mok_test.cpp).

#include <gtest/gtest.h>

#include "cli/suggest.h"
#include "tests/cli/mok_runner.h"
#include "tests/support/read_as.h"

namespace mok::testing {
namespace {

// "中文乱码" and a line break, its GBK bytes read as Big5: "笢恅觴鎢".
std::string GbkReadAsBig5() {
  Text t = u"中文乱码\n";
  ReinterpretByLid(t, 2052, 1028);
  return Utf8Of(t);
}

// What stands after the input's name when there is nothing to suggest.
std::string Unchanged() { return Utf8Of(u"自动解读 未经改动"); }

using MokSuggest = MokTest;

TEST_F(MokSuggest, ListsTheRankedRepairsOneBlockEach) {
  WriteFile(Path("big5.txt"), GbkReadAsBig5());
  const MokResult r = Run({"suggest", "big5.txt"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  // The best block is in the README's examples (readme_test.cpp). At most five
  // blocks, ranked 1 to n, each of three lines, a blank line between.
  std::vector<std::string> blocks;
  for (std::size_t at = 0; at < r.out.size();) {
    const std::size_t end = std::min(r.out.find("\n\n", at), r.out.size());
    blocks.push_back(r.out.substr(at, end - at));
    at = end + 2;
  }
  ASSERT_GE(blocks.size(), 2u);
  EXPECT_LE(blocks.size(), 5u);
  // The number, then the row's language, state and menu where it has them (the
  // text as it is, below the first row and read as garbled, has none).
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    const std::string number = std::to_string(i + 1);
    EXPECT_TRUE(blocks[i].rfind(number + "  ", 0) == 0 || blocks[i].rfind(number + "\n", 0) == 0) << blocks[i];
  }
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), static_cast<long>(4 * blocks.size() - 1));
  // How sure the choice is stands on the first row only.
  for (std::size_t i = 1; i < blocks.size(); ++i) {
    const std::string head = blocks[i].substr(0, blocks[i].find('\n'));
    for (const char16_t* state : {u"明确", u"难分", u"仍像乱码"}) EXPECT_EQ(head.find(Utf8Of(state)), std::string::npos) << head;
  }

  // The input's format is read as for every step (-f), and the listing is
  // written like any output (-t, -o).
  const Bytes utf16 = TextToCpBytes(TextOf(GbkReadAsBig5()), 1200);
  WriteFile(Path("big5-utf16.txt"), std::string(utf16.begin(), utf16.end()));
  EXPECT_EQ(Run({"suggest", "-f", "utf16le", "big5-utf16.txt"}).out, r.out);
  EXPECT_EQ(Run({"suggest", "-o", "list.txt"}, GbkReadAsBig5()).status, 0);
  EXPECT_EQ(ReadFile(Path("list.txt")), r.out);
}

TEST_F(MokSuggest, ThePreviewCarriesNoControlCharactersToTheTerminal) {
  // An escape sequence and a byte the wrong decoding kept, in garbled text.
  Text t = u"中文乱码中文乱码";
  ReinterpretByLid(t, 2052, 1028);
  const std::string input = Utf8Of(t) + "\x1B[2J\x07";
  const MokResult r = Run({"suggest"}, input);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.find('\x1B'), std::string::npos);
  EXPECT_EQ(r.out.find('\x07'), std::string::npos);
  EXPECT_NE(r.out.find(Utf8Of(u"中文乱码中文乱码␛[2J␇")), std::string::npos) << r.out;
}

// The first block of the listing of texts that show the new rows: a repair by
// passages with where they are, a repair that lost characters, text that
// still looks garbled.
TEST_F(MokSuggest, ListsRepairsByPassagesLossyRepairsAndTextStillGarbled) {
  const Text host = u"这是一段正常的中文文字，用来说明问题。\n";
  Text lossy = ReadAs(u"中文测", 65001, 936);
  lossy.back() = u'?';
  const struct {
    const char* name;
    Text input;
    const char16_t* block;
  } cases[] = {
      {"passages", host + host + ReadAs(u"在绝大多数情况下，这是正确的。", 65001, 936) + u"\n" + host,
       u"1  简体中文  明确\n   逐段修复 1 段：原为 UTF-8 编码，被当作 GBK 读出（1 段）\n   位置：第 3 行\n"
       u"   预览：这是一段正常的中文文字，用来说明问题。↵这是一段正常的中文文字，用来说明问题。↵在绝大多数情况下，这是正确的。↵这是一段…"},
      {"lossy", lossy, u"1  简体中文  明确  菜单：GB--Utf8\n   原为 UTF-8 编码，被当作 GBK 读出；有 1 处无法恢复\n   预览：中文\uFFFD"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const MokResult r = Run({"suggest", "-f", "utf8"}, Utf8Of(c.input));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, r.out.find("\n\n")), Utf8Of(c.block));
  }
  const MokResult garbled = Run({"suggest", "-f", "utf8"}, Utf8Of(u"锟斤拷锟斤拷烫烫烫屯屯屯"));
  ASSERT_EQ(garbled.status, 0) << garbled.err;
  EXPECT_EQ(garbled.out.substr(0, garbled.out.find('\n')).rfind(Utf8Of(u"1  仍像乱码"), 0), 0u) << garbled.out;
}

// A stream longer than the sample: the repair the sample chose, line by line.
TEST_F(MokSuggest, ApplyRepairsAStreamLongerThanItsSample) {
  Text lines;
  for (int i = 0; lines.size() < 3 * cli::kApplySample; ++i) {
    lines += u"设定文件无法读取，请再确认一次。第 " + TextOf(std::to_string(i)) + u" 行\n";
  }
  // The whole text garbled one way: every line repaired.
  const MokResult whole = Run({"suggest", "--apply", "-f", "utf8"}, Utf8Of(ReadAs(lines, 65001, 1252)));
  ASSERT_EQ(whole.status, 0) << whole.err;
  EXPECT_EQ(whole.out, Utf8Of(lines));

  // Good text with garbled lines here and there, also past the sample: the
  // garbled lines repaired, the good ones left as they are.
  const Text bad = u"在绝大多数情况下，这是正确的。";
  Text mixed, repaired;
  for (int i = 0; mixed.size() < 3 * cli::kApplySample; ++i) {
    const Text line = u"这是一段正常的中文文字，用来说明问题。第 " + TextOf(std::to_string(i)) + u" 行\n";
    mixed += line;
    repaired += line;
    if (i % 50 == 7) {
      mixed += ReadAs(bad, 65001, 936) + u"\n";
      repaired += bad + u"\n";
    }
  }
  const MokResult passages = Run({"suggest", "--apply", "-f", "utf8"}, Utf8Of(mixed));
  ASSERT_EQ(passages.status, 0) << passages.err;
  EXPECT_EQ(passages.out, Utf8Of(repaired));

  // Clean text: nothing chosen, nothing written.
  const MokResult clean = Run({"suggest", "--apply", "-f", "utf8", "-o", "clean.txt"}, Utf8Of(repaired));
  EXPECT_EQ(clean.status, 1);
  EXPECT_FALSE(std::filesystem::exists(Path("clean.txt")));
}

TEST_F(MokSuggest, ApplyWritesTheBestRepairLikeAnyStep) {
  // -t, and -d with several files.
  EXPECT_EQ(Run({"suggest", "--apply", "-t", "gbk"}, GbkReadAsBig5()).out, "\xD6\xD0\xCE\xC4\xC2\xD2\xC2\xEB\n");
  WriteFile(Path("a.txt"), GbkReadAsBig5());
  WriteFile(Path("b.txt"), GbkReadAsBig5());
  const MokResult r = Run({"suggest", "--apply", "-d", "out", "a.txt", "b.txt"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFile(Path("out/a.txt")), Utf8Of(u"中文乱码\n"));
  EXPECT_EQ(ReadFile(Path("out/b.txt")), Utf8Of(u"中文乱码\n"));
}

TEST_F(MokSuggest, NothingToSuggestExitsWithOneAndWritesNothing) {
  // Clean text: the best is to change nothing, so --apply has nothing to write.
  const MokResult apply = Run({"suggest", "--apply", "-o", "out.txt"}, "plain English text, nothing garbled\n");
  EXPECT_EQ(apply.status, 1);
  EXPECT_EQ(apply.err, "mok: " + Utf8Of(u"标准输入") + ": " + Unchanged() + "\n");
  EXPECT_FALSE(std::filesystem::exists(Path("out.txt")));
  // Empty input: no row at all, listed or applied.
  for (const std::vector<std::string>& args : {std::vector<std::string>{"suggest"}, {"suggest", "--apply"}}) {
    const MokResult empty = Run(args, "");
    EXPECT_EQ(empty.status, 1);
    EXPECT_EQ(empty.out, "");
    EXPECT_NE(empty.err.find(Unchanged()), std::string::npos) << empty.err;
  }
}

}  // namespace
}  // namespace mok::testing
