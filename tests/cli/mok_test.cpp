// mok as a user runs it: files and standard input, outputs, exit statuses
// and the one-line messages on standard error.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "codec/base64.h"
#include "codec/conversion_core.h"
#include "codec/half_char_shift.h"
#include "codec/iso2022.h"
#include "codec/qp_url.h"
#include "tests/cli/mok_runner.h"
#include "tests/support/hex.h"

namespace mok::testing {
namespace {

// "中文" and a line break in the encodings the tests read and write.
constexpr char kGbk[] = "\xD6\xD0\xCE\xC4\r\n";
constexpr char kUtf8[] = "\xE4\xB8\xAD\xE6\x96\x87\r\n";

using Mok = MokTest;

// Beside the README's examples (readme_test.cpp), which this file does not repeat.
TEST_F(Mok, ConvertsBetweenFileFormats) {
  // Detection as the window's open: a UTF-16LE file with its mark.
  WriteFile(Path("le.txt"), std::string("\xFF\xFE\x2D\x4E\x87\x65\x0D\x00\x0A\x00", 10));
  EXPECT_EQ(Run({"convert", "le.txt"}).out, kUtf8);
  // Output with a mark, and by code page number.
  EXPECT_EQ(Run({"convert", "-t", "utf8-bom"}, kUtf8).out, std::string("\xEF\xBB\xBF") + kUtf8);
  EXPECT_EQ(Run({"convert", "--output-format=936"}, kUtf8).out, kGbk);
  EXPECT_EQ(Run({"convert", "-f950", "-t", "utf16be"}, "\xA4\xA4").out, std::string("\x4E\x2D", 2));
}

TEST_F(Mok, StepsRunTheWindowsCodecCalls) {
  Text garbled = u"中文乱码";
  ReinterpretByLid(garbled, 2052, 1028);  // GBK bytes shown as Big5
  const std::string big5 = Utf8Of(garbled);
  const auto big5_to_gb = [](Text& t) { ReinterpretByLid(t, 1028, 2052); };
  struct Case {
    std::vector<std::string> args;
    std::string input;
    void (*codec)(Text&);
  };
  const Case cases[] = {
      {{"a2b", "big5--gb"}, big5, big5_to_gb},  // ASCII letters in any case
      {{"lcid", "Big5", "2052"}, big5, big5_to_gb},
      {{"decode", "LCID--LCID", "1028", "GB"}, big5, big5_to_gb},
      {{"cp", "950", "中文简(GBK)"}, big5, big5_to_gb},
      {{"decode", "QP-GBK"}, "=D6=D0=CE=C4 ok", [](Text& t) { DecodeQpUrl(t, 2052, 0); }},
      {{"decode", "Trans-CP", "--format", "QP", "--cp", "936"}, "=D6=D0", [](Text& t) { DecodeQpUrl(t, 936, 128); }},
      {{"decode", "Trans-LCID", "--format", "Base64(_-)", "--lcid", "Utf8"}, "5Lit_-",
       [](Text& t) { DecodeBase64Text(t, -4, 3); }},
      {{"decode", "Base64-Utf8"}, "5Lit\r\n5paH", [](Text& t) { DecodeBase64Text(t, -4, 0); }},
      {{"decode", "Esc+日文(ISO-2022)"}, "$B$R$H(B", [](Text& t) { DecodeIso2022(t, 1); }},
      {{"decode", "GB+半字"}, "中文", [](Text& t) { ShiftHalfChar(t, 2052, false); }},
      {{"decode", "CP+半字", "--cp", "950"}, "中文", [](Text& t) { ShiftHalfChar(t, 950, true); }},
      {{"make", "Utf7"}, "中文", [](Text& t) { ReinterpretByCp(t, 65000, 28591); }},
      {{"make", "QP-Big5"}, "中文", [](Text& t) { EncodeQpUrl(t, 2); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    Text expected = TextOf(c.input);
    c.codec(expected);
    // Lossless as in the window: bytes a step could not decode come out as
    // they were.
    std::vector<std::string> args = c.args;
    args.push_back("--keep");
    const MokResult r = Run(args, c.input);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Hex(TextOf(r.out)), Hex(expected));
  }
}

TEST_F(Mok, QuotedPrintableMailWithLinuxLineEndsDecodes) {
  // As Maildir and mbox store it: soft breaks "=" LF, one of them padded and
  // one between the two bytes of a character.
  const MokResult r = Run({"decode", "QP-GBK"}, "=D6=D0=\n=CE=C4 \t\n=C2=D2= \n=C2=EB\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "\xE4\xB8\xAD\xE6\x96\x87 \t\n\xE4\xB9\xB1\xE7\xA0\x81\n");
}

TEST_F(Mok, StepsApplyInOrder) {
  // Made and read back twice over: the text comes back whole.
  const std::vector<std::string> steps = {"make", "Base64-Big5", "--then", "decode", "Base64-Big5", "--then",
                                          "make", "HZ-GB", "--then", "decode", "HZ-GB"};
  EXPECT_EQ(Run(steps, kUtf8).out, kUtf8);
}

TEST_F(Mok, AStepThatGivesNothingLeavesNoOutputAndExitsWithOne) {
  WriteFile(Path("out.txt"), "old");
  const MokResult r = Run({"decode", "Base64-GBK", "-o", "out.txt"}, "!!! not base64");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(ReadFile(Path("out.txt")), "old");  // the earlier file stays as it was
  EXPECT_EQ(Names(), (std::vector<std::string>{"out.txt"}));
  EXPECT_EQ(Run({"a2b", "GB--Big5"}, "").status, 1);  // empty input: nothing to reinterpret
  EXPECT_EQ(Run({"convert"}, "").status, 0);
}

TEST_F(Mok, BadUsageExitsWithTwoAndOneLine) {
  const std::vector<std::vector<std::string>> calls = {
      {},
      {"frobnicate"},
      {"a2b"},
      {"a2b", "GB--Nowhere"},
      {"lcid", "GB", "Klingon"},
      {"cp", "936", "1256"},  // a code page outside the table
      {"decode", "QP-GBK", "--cp", "936"},
      {"decode", "Trans-CP", "--cp", "936"},
      {"decode", "Trans-CP", "--format", "Base65", "--cp", "936"},
      {"convert", "-f", "ebcdic"},
      {"convert", "-j", "0"},
      {"convert", "-o", "x", "a", "b"},
      {"convert", "-d", "out"},
      {"a2b", "GB--Big5", "--then"},
      {"convert", "--bogus"},
      {"list", "extra", "more"},
      {"convert", "-c", "--replace"},
      {"suggest", "a.txt", "b.txt"},  // one listing at a time
      {"a2b", "GB--Big5", "--apply"},
      {"suggest", "--then", "a2b", "GB--Big5"},
      {"suggest", "--cp", "936"},
      {"list", "--apply"},
  };
  for (const auto& call : calls) {
    const MokResult r = Run(call);
    EXPECT_EQ(r.status, 2) << ::testing::PrintToString(call);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_EQ(r.err.rfind("mok: ", 0), 0u) << r.err;
  }
}

TEST_F(Mok, FileProblemsNameTheFileAndSpareTheOthers) {
  WriteFile(Path("good.txt"), kUtf8);
  ::mkdir(Path("folder").c_str(), 0755);
  const MokResult r = Run({"convert", "missing.txt", "good.txt", "folder"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, kUtf8);
  EXPECT_NE(r.err.find("mok: missing.txt: "), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("mok: folder: "), std::string::npos) << r.err;
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 2) << r.err;
  // An output that cannot be written: nothing left behind in its folder.
  const MokResult nowhere = Run({"convert", "good.txt", "-o", "no/such/out.txt"});
  EXPECT_EQ(nowhere.status, 2);
  EXPECT_EQ(nowhere.err.rfind("mok: no/such/out.txt: ", 0), 0u) << nowhere.err;
  ::mkdir(Path("locked").c_str(), 0555);
  if (::geteuid() != 0) {  // root writes anyway
    const MokResult locked = Run({"convert", "good.txt", "-o", "locked/out.txt"});
    EXPECT_EQ(locked.status, 2);
    EXPECT_NE(locked.err.find("locked/out.txt"), std::string::npos);
    EXPECT_TRUE(Names("locked").empty());
  }
}

TEST_F(Mok, AFullDiskIsReportedForSmallAndLargeInputs) {
  // A large input is written by a thread of its own; its failure ends the run
  // all the same.
  for (const std::size_t size : {std::size_t{10}, std::size_t{3} << 20}) {
    const MokResult r = Run({"convert", "-f", "gbk", "-o", "/dev/full"}, std::string(size, 'a'));
    EXPECT_EQ(r.status, 2) << size;
    EXPECT_EQ(r.err.rfind("mok: /dev/full: ", 0), 0u) << r.err;
  }
}

TEST_F(Mok, OutputFileIsReplacedWholeAndNeverTheInput) {
  WriteFile(Path("in.txt"), kGbk);
  WriteFile(Path("out.txt"), "previous content");
  ::chmod(Path("out.txt").c_str(), 0640);
  EXPECT_EQ(Run({"convert", "-f", "gbk", "in.txt", "-o", "out.txt"}).status, 0);
  EXPECT_EQ(ReadFile(Path("out.txt")), kUtf8);
  struct stat st {};
  ::stat(Path("out.txt").c_str(), &st);
  EXPECT_EQ(st.st_mode & 0777, 0640u);                                  // the replaced file's permissions stay
  EXPECT_EQ(Names(), (std::vector<std::string>{"in.txt", "out.txt"}));  // no temporary left

  const MokResult same = Run({"convert", "-f", "gbk", "in.txt", "-o", "in.txt"});
  EXPECT_EQ(same.status, 2);
  EXPECT_EQ(ReadFile(Path("in.txt")), kGbk);
  std::filesystem::create_symlink("out.txt", Path("link.txt"));
  EXPECT_EQ(Run({"convert", "-t", "gbk", "out.txt", "-o", "link.txt"}).status, 2);  // the link leads to the input
  EXPECT_EQ(Run({"convert", "-f", "gbk", "in.txt", "-o", "link.txt"}).status, 0);
  EXPECT_TRUE(std::filesystem::is_symlink(Path("link.txt")));  // the link stays, its target is written
}

TEST_F(Mok, FolderOutputKeepsNamesAndConvertsFilesAtOnce) {
  std::vector<std::string> args = {"a2b", "GB--Utf8", "-j", "3", "-d", "out/new"};
  for (int i = 0; i < 12; ++i) {
    const std::string name = "f" + std::to_string(i) + ".txt";
    WriteFile(Path(name), std::string(kUtf8) + std::to_string(i));
    args.push_back(name);
  }
  const MokResult r = Run(args);
  EXPECT_EQ(r.status, 0) << r.err;
  ASSERT_EQ(Names("out/new").size(), 12u);
  for (int i = 0; i < 12; ++i) {
    Text expected = TextOf(std::string(kUtf8) + std::to_string(i));
    ReinterpretByLid(expected, 2052, -4);
    EXPECT_EQ(ReadFile(Path("out/new/f" + std::to_string(i) + ".txt")), Utf8Of(expected));
  }
  // Two inputs of one name would overwrite each other.
  ::mkdir(Path("sub").c_str(), 0755);
  WriteFile(Path("sub/f1.txt"), "x");
  EXPECT_EQ(Run({"convert", "-d", "out2", "f1.txt", "sub/f1.txt"}).status, 2);
  EXPECT_FALSE(std::filesystem::exists(Path("out2/f1.txt")));
}

TEST_F(Mok, ShortUtf8FilesAreReadAsUtf8) {
  // One character each, as in a folder of names or labels: none is GBK.
  const std::vector<std::string> words = {"\xE4\xB8\xAD", "\xC3\xA9", "\xD0\x96\n", "\xF0\x9F\x98\x80"};
  std::vector<std::string> args = {"convert", "-t", "utf16le", "-d", "out"};
  for (std::size_t i = 0; i < words.size(); ++i) {
    WriteFile(Path("w" + std::to_string(i)), words[i]);
    args.push_back("w" + std::to_string(i));
  }
  const MokResult r = Run(args);
  EXPECT_EQ(r.status, 0) << r.err;
  for (std::size_t i = 0; i < words.size(); ++i) {
    const Bytes le = TextToByteView(TextOf(words[i]));
    EXPECT_EQ(ReadFile(Path("out/w" + std::to_string(i))), std::string(le.begin(), le.end())) << i;
  }
}

TEST_F(Mok, HelpAndList) {
  const MokResult help = Run({"--help"});
  EXPECT_EQ(help.status, 0);
  for (const char* option :
       {"--input-format", "--output-format", "--output", "--output-dir", "--jobs", "--then", "suggest --apply",
        "--omit-invalid", "--replace", "--keep", "--force", "list [名字]", "names [-r]", "names --undo", "--recursive",
        "--log", "--undo"}) {
    EXPECT_NE(help.out.find(option), std::string::npos) << option;
  }
  const MokResult list = Run({"list"});
  EXPECT_EQ(list.status, 0);
  for (const char* name :
       {"GB--Big5", "UBE--ULE", "HTM(U)", "QP-Utf8", "Trans-CP", "QP-Johab", "65001", "20866", "utf16be-bom",
        "Base64(_:)", "suggest"}) {
    EXPECT_NE(list.out.find(name), std::string::npos) << name;
  }
}

}  // namespace
}  // namespace mok::testing
