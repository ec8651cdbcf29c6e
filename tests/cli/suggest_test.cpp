// mok suggest as a user runs it: the ranked listing, --apply with the outputs
// of the other steps, and nothing to suggest (the calls it refuses are with
// the others in mok_test.cpp).

#include <gtest/gtest.h>

#include "tests/cli/mok_runner.h"

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
  for (std::size_t i = 0; i < blocks.size(); ++i) EXPECT_EQ(blocks[i].rfind(std::to_string(i + 1) + "  ", 0), 0u);
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), static_cast<long>(4 * blocks.size() - 1));

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
