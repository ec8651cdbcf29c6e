// What mok writes: output valid in its encoding unless told otherwise (-c,
// --replace, --keep), one line naming the place of a problem, and output
// files that keep what the user had and never appear half written.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <thread>

#include "codec/base64.h"
#include "tests/cli/mok_runner.h"

namespace mok::testing {
namespace {

using MokOutput = MokTest;

TEST_F(MokOutput, InvalidBytesAndUnwritableCharactersStopUnlessToldOtherwise) {
  struct Case {
    std::vector<std::string> args;
    std::string input;
    int status;
    std::string out, err;
  };
  const std::string at = "mok: 标准输入: 转换 未成~ ";
  const Case cases[] = {
      // A byte that cannot be decoded: named by its input offset.
      {{"convert", "-f", "utf-8"}, "a\xFF" "b", 1, "a", at + "字节偏移 1 处的字节 0xFF 不能按 utf-8 解码\n"},
      {{"convert", "-f", "utf8"}, "\xE4\xB8\xAD\xE6\x96\x87\xC3", 1, "\xE4\xB8\xAD\xE6\x96\x87",
       at + "字节偏移 6 处的字节 0xC3 不能按 utf8 解码\n"},
      {{"convert"}, "x\xD6\xD0\x81", 1, "x\xE4\xB8\xAD", at + "字节偏移 3 处的字节 0x81 不能按 GBK 解码\n"},
      {{"convert", "-f", "utf8", "-c"}, "a\xFF" "b", 0, "ab", ""},
      {{"convert", "-f", "utf8", "--replace"}, "a\xFF" "b", 0, "a\xEF\xBF\xBD" "b", ""},
      {{"convert", "-f", "utf8", "--keep"}, "a\xFF" "b", 0, "a\xFF" "b", ""},
      {{"convert", "-f", "utf8", "-t", "utf16le", "--replace"}, "\xFF", 0, std::string("\xFD\xFF", 2), ""},
      // A character the output cannot hold: named by the input offset too.
      {{"convert", "-t", "latin1"}, "a\xE4\xB8\xAD" "b", 1, "a", at + "字节偏移 1 处的字符 U+4E2D “中” 不能用 latin1 写出\n"},
      {{"convert", "-t", "latin1", "-c"}, "a\xE4\xB8\xAD" "b", 0, "ab", ""},
      {{"convert", "-t", "latin1", "--replace"}, "a\xE4\xB8\xAD" "b", 0, "a?b", ""},
      {{"convert", "-t", "gbk", "--replace"}, "a\xF0\x9F\x98\x80" "b", 0, "a?b", ""},
      {{"convert", "-t", "koi8-r"}, "\xD0\x96\xF0\x9F\x98\x80", 1, "\xF6",
       at + "字节偏移 2 处的字符 U+01F600 “\xF0\x9F\x98\x80” 不能用 koi8-r 写出\n"},
      // --keep keeps bytes; characters the output cannot hold still stop it.
      {{"convert", "-f", "utf8", "-t", "latin1", "--keep"}, "\xFF\xE4\xB8\xAD", 1, "\xFF",
       at + "字节偏移 1 处的字符 U+4E2D “中” 不能用 latin1 写出\n"},
      {{"convert", "-f", "utf8", "-t", "latin1", "--keep", "-c"}, "\xFF\xE4\xB8\xAD", 0, "\xFF", ""},
      // After a step the place is the result's.
      {{"decode", "QP-GBK"}, "ok =D6=D0=81", 1, "ok \xE4\xB8\xAD", at + "结果的字节偏移 6 处有不能解码的字节 0x81\n"},
      {{"decode", "QP-GBK", "-t", "big5"}, "=C3=C7", 1, "", at + "结果的字节偏移 0 处的字符 U+4EEC “们” 不能用 big5 写出\n"},
      // The fallbacks iconv applies, in mok's output only.
      {{"convert", "-t", "cp932"}, "〜‖−¢£¬", 0, "\x81\x60\x81\x61\x81\x7C\x81\x91\x81\x92\x81\xCA", ""},
      {{"convert", "-t", "euc-jp"}, "〜", 0, "\xA1\xC1", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args) + " on " + ::testing::PrintToString(c.input));
    const MokResult r = Run(c.args, c.input);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, c.err);
  }
}

TEST_F(MokOutput, TheOffsetCountsAcrossChunksAndCharactersTheyCut) {
  // A three-byte character across the first chunk's end (256 KiB), the bad
  // byte far beyond it.
  std::string input(256 * 1024 - 1, 'a');
  input += "\xE4\xB8\xAD";
  input += std::string(100000, 'b');
  const std::size_t bad = input.size();
  input += "\xFE" "c";
  const MokResult r = Run({"convert", "-f", "utf8"}, input);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "mok: 标准输入: 转换 未成~ 字节偏移 " + std::to_string(bad) + " 处的字节 0xFE 不能按 utf8 解码\n");
  // By a UTF-16 input the offset counts two bytes a unit, the mark included.
  const std::string utf16("\xFF\xFE" "a\0\x2D\x4E", 6);
  const MokResult wide = Run({"convert", "-t", "latin1"}, utf16);
  EXPECT_EQ(wide.err, "mok: 标准输入: 转换 未成~ 字节偏移 4 处的字符 U+4E2D “中” 不能用 latin1 写出\n");
}

// Base64 of UTF-8 read as UTF-8 and written as UTF-8 goes from bytes to
// bytes; what it writes and where it stops must be what the text gives.
TEST_F(MokOutput, Base64OfUtf8GivesWhatItsTextGivesAcrossChunks) {
  // Chinese and ASCII lines over several chunks, so that characters are cut
  // by the chunks' ends; then what follows in each case.
  std::string clean;
  for (int i = 0; clean.size() < 220000; ++i) clean += i % 5 ? "\xE4\xB8\xAD\xE6\x96\x87 " : "ASCII words, \n";
  const auto base64 = [](const std::string& bytes) {
    Text text = BytesToBase64(ToBytes(bytes));
    for (std::size_t at = 76; at < text.size(); at += 78) text.insert(at, u"\r\n");
    return std::string(text.begin(), text.end());
  };
  // The window's whole-text decoding of the same input, written as UTF-8.
  const auto expected = [](const std::string& input) {
    Text text(input.begin(), input.end());
    ReplaceNulBySpace(text);
    DecodeBase64Text(text, -4, 0);
    return text;
  };
  const std::string input = base64(clean);
  const MokResult plain = Run({"decode", "Base64-Utf8"}, input);
  EXPECT_EQ(plain.status, 0) << plain.err;
  EXPECT_TRUE(plain.out == Utf8Of(expected(input)));
  // A NUL in the input is a blank; a decoded NUL a space; a mark in front is dropped.
  const std::string with_nul = input.substr(0, 1000) + std::string(1, '\0') + base64("a") + "\n";
  EXPECT_EQ(Run({"decode", "Base64-Utf8", "-f", "utf8"}, with_nul).out, Utf8Of(expected(with_nul)));
  EXPECT_EQ(Run({"decode", "Base64-Utf8"}, base64(std::string("a\0b", 3))).out, "a b");
  EXPECT_TRUE(Run({"decode", "Base64-Utf8"}, "\xEF\xBB\xBF" + input).out == plain.out);
  EXPECT_TRUE(Run({"decode", "Base64-Utf8", "-t", "utf8-bom"}, input).out == "\xEF\xBB\xBF" + plain.out);

  // An encoded surrogate far into the input: the tolerant decoder reads it
  // as U+D800, which UTF-8 cannot hold; and U+DC80, an undecodable byte.
  const std::string surrogate = base64(clean + "\xED\xA0\x80" + "tail");
  const std::string written = Utf8Of(expected(base64(clean)));
  const MokResult stopped = Run({"decode", "Base64-Utf8"}, surrogate);
  EXPECT_EQ(stopped.status, 1);
  EXPECT_TRUE(stopped.out == written);
  EXPECT_EQ(stopped.err, "mok: 标准输入: 转换 未成~ 结果的字节偏移 " + std::to_string(written.size()) +
                             " 处的字符 U+D800 不能用 utf8 写出\n");
  EXPECT_TRUE(Run({"decode", "Base64-Utf8", "-c"}, surrogate).out == written + "tail");
  EXPECT_TRUE(Run({"decode", "Base64-Utf8", "--replace"}, surrogate).out == written + "\xEF\xBF\xBDtail");
  const std::string escaped = base64(clean + "\xED\xB2\x80" + "tail");
  EXPECT_TRUE(Run({"decode", "Base64-Utf8", "--keep"}, escaped).out == written + "\x80tail");
  // The same ways out for a character cut by the end of the input.
  const MokResult cut = Run({"decode", "Base64-Utf8", "--replace"}, base64(clean + "\xE4\xB8"));
  EXPECT_EQ(cut.status, 0);
  EXPECT_TRUE(cut.out == Utf8Of(expected(base64(clean + "\xE4\xB8"))));
}

TEST_F(MokOutput, AStoppedInputLeavesNoFileAndTheOldOneAsItWas) {
  WriteFile(Path("old.txt"), "old content");
  EXPECT_EQ(Run({"convert", "-f", "utf8", "-o", "old.txt"}, "new\xFF").status, 1);
  EXPECT_EQ(Run({"convert", "-f", "utf8", "-o", "new.txt"}, "new\xFF").status, 1);
  EXPECT_EQ(ReadFile(Path("old.txt")), "old content");
  EXPECT_EQ(Names(), (std::vector<std::string>{"old.txt"}));
}

TEST_F(MokOutput, AnExistingFileKeepsItsInodeModeOwnerAndLinks) {
  WriteFile(Path("out.txt"), std::string(5000, 'x'));  // longer than what replaces it
  ASSERT_EQ(::link(Path("out.txt").c_str(), Path("other-name.txt").c_str()), 0);
  ASSERT_EQ(::chmod(Path("out.txt").c_str(), 0604), 0);
  const bool root = ::geteuid() == 0;
  if (root) ASSERT_EQ(::chown(Path("out.txt").c_str(), 4321, 4321), 0);
  struct stat before {};
  ::stat(Path("out.txt").c_str(), &before);

  const MokResult r = Run({"convert", "-f", "gbk", "-o", "out.txt"}, "\xD6\xD0\xCE\xC4");
  EXPECT_EQ(r.status, 0) << r.err;
  struct stat after {};
  ::stat(Path("out.txt").c_str(), &after);
  EXPECT_EQ(ReadFile(Path("out.txt")), "\xE4\xB8\xAD\xE6\x96\x87");
  EXPECT_EQ(ReadFile(Path("other-name.txt")), "\xE4\xB8\xAD\xE6\x96\x87");  // the other link shows it too
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(after.st_nlink, 2u);
  EXPECT_EQ(after.st_mode & 07777, 0604u);
  EXPECT_EQ(after.st_uid, before.st_uid);
  EXPECT_EQ(after.st_gid, before.st_gid);
  EXPECT_EQ(Names(), (std::vector<std::string>{"other-name.txt", "out.txt"}));
}

TEST_F(MokOutput, AReadOnlyFileIsWrittenOnlyWithForce) {
  WriteFile(Path("locked.txt"), "keep me");
  ASSERT_EQ(::chmod(Path("locked.txt").c_str(), 0444), 0);
  const MokResult refused = Run({"convert", "-o", "locked.txt"}, "new");
  EXPECT_EQ(refused.status, 2);
  EXPECT_EQ(refused.err, "mok: locked.txt: 保存 未成~ 文件只读（加 --force 仍然写入）\n");
  EXPECT_EQ(ReadFile(Path("locked.txt")), "keep me");

  const MokResult forced = Run({"convert", "--force", "-o", "locked.txt"}, "new");
  EXPECT_EQ(forced.status, 0) << forced.err;
  EXPECT_EQ(ReadFile(Path("locked.txt")), "new");
  struct stat st {};
  ::stat(Path("locked.txt").c_str(), &st);
  EXPECT_EQ(st.st_mode & 07777, 0444u);  // still read-only afterwards
}

TEST_F(MokOutput, ANewFileGetsTheModeOfTheUmask) {
  EXPECT_EQ(Run({"convert", "-o", "fresh.txt"}, "abc").status, 0);
  struct stat st {};
  ASSERT_EQ(::stat(Path("fresh.txt").c_str(), &st), 0);
  const mode_t mask = ::umask(0);
  ::umask(mask);
  EXPECT_EQ(st.st_mode & 0777, 0666u & ~mask);
}

// Starts mok reading a pipe, sends it more than a chunk, kills it with SIGKILL
// once it has had time to write, and gives back nothing: the folder tells.
void KillHalfway(const MokTest& test, const std::vector<std::string>& args, const std::filesystem::path& folder) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[0], 0);
  posix_spawn_file_actions_addclose(&actions, fds[1]);
  posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  const pid_t pid = SpawnMok(args, actions);
  posix_spawn_file_actions_destroy(&actions);
  ::close(fds[0]);
  ASSERT_GT(pid, 0);
  const std::string block(1 << 20, 'a');
  ASSERT_EQ(::write(fds[1], block.data(), block.size()), static_cast<ssize_t>(block.size()));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  ::kill(pid, SIGKILL);
  int status = 0;
  ::waitpid(pid, &status, 0);
  ::close(fds[1]);
  EXPECT_TRUE(WIFSIGNALED(status));
  (void)test;
}

TEST_F(MokOutput, AKilledRunLeavesNoFileBehind) {
  KillHalfway(*this, {"convert", "-o", "new.txt"}, folder_.Native());
  EXPECT_TRUE(Names().empty()) << ::testing::PrintToString(Names());
  WriteFile(Path("old.txt"), "old content");
  KillHalfway(*this, {"convert", "-o", "old.txt"}, folder_.Native());
  EXPECT_EQ(Names(), (std::vector<std::string>{"old.txt"}));
  EXPECT_EQ(ReadFile(Path("old.txt")), "old content");
}

}  // namespace
}  // namespace mok::testing
