// mok names as a user runs it on a folder of garbled names (GBK bytes, UTF-8
// read as GBK, zip names read as code page 437), and the pieces it rests on:
// names escaped for the log and the terminal, and renames that never replace.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <map>

#include "cli/name_repair.h"
#include "tests/cli/mok_runner.h"

namespace mok::testing {
namespace {

std::string Gbk(TextView text) {
  const Bytes bytes = TextToCpBytes(text, 936);
  return std::string(bytes.begin(), bytes.end());
}

// The name's bytes as a program reading them with the wrong code page shows
// them, written back as UTF-8.
std::string ReadAs(const std::string& bytes, std::int32_t code_page) {
  return Utf8Of(CpBytesToText(ToBytes(bytes), code_page));
}

const std::string kGbkBytes = Gbk(u"中文.txt");                          // not UTF-8 at all
const std::string kUtf8AsGbk = ReadAs(Utf8Of(u"中文报告.txt"), 936);      // 涓枃鎶ュ憡.txt
const std::string kGbkZip = ReadAs(Gbk(u"会议纪要.docx"), 437);            // ╗ß╥Θ╝═╥¬.docx
const std::string kUtf8Zip = ReadAs(Utf8Of(u"项目计划.pdf"), 437);         // Θí╣τ¢«Φ«íσêÆ.pdf

TEST(NameEscapes, EveryByteNameMakesOnePrintableLineAndComesBack) {
  struct Case {
    std::string bytes;
    std::string line;
  };
  const Case cases[] = {
      {"report.txt", "report.txt"},
      {Utf8Of(u"中文.txt"), Utf8Of(u"中文.txt")},
      {kGbkBytes, "\\xD6\\xD0\\xCE\\xC4.txt"},
      {"a\\b", "a\\\\b"},
      {"tab\there\nnew", "tab\\x09here\\x0Anew"},
      {"\x1B[31m", "\\x1B[31m"},                 // no escape sequence reaches the terminal
      {"\xC2\x85", "\\xC2\\x85"},                // a C1 control character
      {"\xED\xA0\x80", "\\xED\\xA0\\x80"},       // an encoded surrogate is no UTF-8
      {"\\x41", "\\\\x41"},                      // text that looks like an escape
  };
  for (const Case& c : cases) {
    EXPECT_EQ(cli::EscapedName(c.bytes), c.line) << c.line;
    EXPECT_EQ(cli::UnescapedName(c.line), c.bytes) << c.line;
  }
  for (const char* malformed : {"a\\", "\\x4", "\\xZZ", "\\n", "a\\tb"}) {
    EXPECT_EQ(cli::UnescapedName(malformed), std::nullopt) << malformed;
  }
}

// Names of bytes that stress both: controls, "\\", "x", hex digits, bytes of
// GBK and UTF-8, cut sequences.
TEST(NameEscapes, AnyBytesRoundTripAndRepairOnlyToValidNames) {
  const std::string alphabet = std::string("\x01\t\n\x1B\\x4F/.") + "\x80\xA1\xC2\xD6\xE4\xB8\xAD\xED\xFF" + Gbk(u"中");
  std::uint32_t seed = 12345;
  auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
  for (int round = 0; round < 400; ++round) {
    std::string name;
    for (std::uint32_t length = next() % 10; length > 0; --length) name += alphabet[(next() >> 8) % alphabet.size()];
    const std::string line = cli::EscapedName(name);
    EXPECT_EQ(cli::UnescapedName(line), name) << line;
    for (const char c : line) EXPECT_TRUE(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F) << line;
    if (name.empty() || name.find('/') != std::string::npos) continue;
    const cli::NameRepair repair = cli::RepairName(name);
    if (repair.verdict != cli::NameVerdict::Repaired) continue;
    EXPECT_FALSE(repair.repaired.empty()) << line;
    EXPECT_EQ(repair.repaired.find_first_of(std::string("/\0", 2)), std::string::npos) << line;
    // Valid UTF-8: every byte decodes (no lone U+DC00 + byte).
    const Text text = TextOfNativePath(repair.repaired);
    for (std::size_t i = 0; i < text.size(); ++i) {
      const bool high = text[i] >= 0xD800 && text[i] <= 0xDBFF;
      if (high && i + 1 < text.size()) ++i;
      else EXPECT_FALSE(text[i] >= 0xD800 && text[i] <= 0xDFFF) << line;
    }
  }
}

TEST(NameRepair, RenamesOnlyWhatTheLibraryIsClearAbout) {
  struct Case {
    std::string name;
    cli::NameVerdict verdict;
    std::string repaired;
  };
  const Case cases[] = {
      {kGbkBytes, cli::NameVerdict::Repaired, Utf8Of(u"中文.txt")},
      {kUtf8AsGbk, cli::NameVerdict::Repaired, Utf8Of(u"中文报告.txt")},
      {kGbkZip, cli::NameVerdict::Repaired, Utf8Of(u"会议纪要.docx")},
      {kUtf8Zip, cli::NameVerdict::Repaired, Utf8Of(u"项目计划.pdf")},
      {"report.txt", cli::NameVerdict::Clean, ""},
      {Utf8Of(u"中文报告.txt"), cli::NameVerdict::Clean, ""},
      {Utf8Of(u"データ.txt"), cli::NameVerdict::Clean, ""},
      // Unusual but clean, or garbled: the library cannot tell, so silence.
      {Utf8Of(u"µs"), cli::NameVerdict::Clean, ""},
      {Utf8Of(u"培训.pdf"), cli::NameVerdict::Clean, ""},
      // A byte alone could be many things: not renamed, and the guess said.
      {"\xFF\xFE.txt", cli::NameVerdict::Unsure, Utf8Of(u"яю.txt")},
  };
  for (const Case& c : cases) {
    const cli::NameRepair repair = cli::RepairName(c.name);
    EXPECT_EQ(repair.verdict, c.verdict) << cli::EscapedName(c.name);
    EXPECT_EQ(repair.repaired, c.repaired) << cli::EscapedName(c.name);
  }
}

TEST(RenameWithoutReplacing, RefusesATakenNameAndKeepsBothFiles) {
  TempFolder folder;
  folder.Write("old", "old content");
  folder.Write("taken", "taken content");
  folder.MakeFolder("folder");
  const int fd = ::open(folder.Native().c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(cli::RenameWithoutReplacing(fd, "old", "taken"), EEXIST);
  EXPECT_EQ(cli::RenameWithoutReplacing(fd, "old", "folder"), EEXIST);
  EXPECT_EQ(folder.Read("old"), "old content");
  EXPECT_EQ(folder.Read("taken"), "taken content");
  EXPECT_EQ(cli::RenameWithoutReplacing(fd, "old", "new"), 0);
  EXPECT_EQ(cli::RenameWithoutReplacing(fd, "folder", "moved"), 0);
  EXPECT_EQ(cli::RenameWithoutReplacing(fd, "gone", "else"), ENOENT);
  ::close(fd);
  EXPECT_EQ(folder.Read("new"), "old content");
  EXPECT_TRUE(folder.Exists("moved"));
  EXPECT_FALSE(folder.Exists("old"));
}

class MokFileNames : public MokTest {
 protected:
  // Every path under the folder (by its bytes) with the file's content, so
  // that a run can be checked to have changed nothing, or to have put back
  // every byte.
  std::map<std::string, std::string> Tree() const {
    std::map<std::string, std::string> tree;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(Path(""))) {
      const std::string relative = entry.path().lexically_relative(Path("")).string();
      if (relative.rfind("mok-names-", 0) == 0) continue;  // a default log
      tree[relative] = entry.is_directory() ? "<folder>" : ReadFile(entry.path());
    }
    return tree;
  }

  void MakeFolder(const std::string& name) const { std::filesystem::create_directory(Path(name)); }

  void GarbledFolder() const {
    for (const std::string& name : {kGbkBytes, kUtf8AsGbk, kGbkZip, kUtf8Zip, std::string("clean.txt")}) {
      WriteFile(Path(name), "content of " + name);
    }
  }
};

TEST_F(MokFileNames, ADryRunListsEveryRepairAndChangesNothing) {
  GarbledFolder();
  const auto before = Tree();
  const MokResult r = Run({"names"});
  EXPECT_EQ(r.status, 0) << r.err;
  // In the order of the names' bytes.
  EXPECT_EQ(r.out, kUtf8Zip + " → " + Utf8Of(u"项目计划.pdf\n   原为 UTF-8 编码，被当作 OEM-美国 读出\n") +
                       "\\xD6\\xD0\\xCE\\xC4.txt → " + Utf8Of(u"中文.txt\n   原为 GB18030 编码，被当作 GBK 读出\n") +
                       kGbkZip + " → " + Utf8Of(u"会议纪要.docx\n   原为 GBK 编码，被当作 OEM-美国 读出\n") +
                       kUtf8AsGbk + " → " + Utf8Of(u"中文报告.txt\n   原为 UTF-8 编码，被当作 GBK 读出\n"));
  EXPECT_EQ(r.err, Utf8Of(u"mok: 以上是试运行，没有改名；加 --apply 才改名\n"));
  EXPECT_EQ(Tree(), before);

  // A file named on its own: its name only; a clean folder: nothing to do.
  EXPECT_EQ(Run({"names", "./" + kGbkZip}).out,
            "./" + kGbkZip + " → " + Utf8Of(u"会议纪要.docx\n   原为 GBK 编码，被当作 OEM-美国 读出\n"));
  MakeFolder("clean");
  WriteFile(Path("clean/" + Utf8Of(u"说明.txt")), "");
  const MokResult clean = Run({"names", "clean"});
  EXPECT_EQ(clean.status, 1);
  EXPECT_EQ(clean.out + clean.err, "");
}

TEST_F(MokFileNames, AClashIsReportedAndSkippedTheRestRenamed) {
  WriteFile(Path(kGbkBytes), "garbled");
  WriteFile(Path(Utf8Of(u"中文.txt")), "already there");
  WriteFile(Path(kGbkZip), "zip");
  const std::string clash = Utf8Of(u"mok: \\xD6\\xD0\\xCE\\xC4.txt: 改名为 中文.txt 未成~ 已有同名的文件或文件夹\n");
  const MokResult dry = Run({"names"});
  EXPECT_EQ(dry.status, 2);
  EXPECT_EQ(dry.err.substr(0, clash.size()), clash);

  const MokResult r = Run({"names", "--apply", "--log", "undo.log"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, kGbkZip + " → " + Utf8Of(u"会议纪要.docx\n   原为 GBK 编码，被当作 OEM-美国 读出\n"));
  EXPECT_EQ(r.err, clash + Utf8Of(u"mok: 改名记录在 undo.log；mok names --undo undo.log 可以改回\n"));
  EXPECT_EQ(ReadFile(Path(kGbkBytes)), "garbled");
  EXPECT_EQ(ReadFile(Path(Utf8Of(u"中文.txt"))), "already there");
  EXPECT_EQ(ReadFile(Path(Utf8Of(u"会议纪要.docx"))), "zip");
}

TEST_F(MokFileNames, RecursiveApplyThenUndoGivesBackEveryByteName) {
  // A garbled folder holding garbled files and a garbled folder of its own.
  const std::string outer = Gbk(u"项目资料");
  const std::string inner = ReadAs(Utf8Of(u"会议纪要"), 936);
  MakeFolder(outer);
  MakeFolder(outer + "/" + inner);
  GarbledFolder();
  WriteFile(Path(outer + "/" + kUtf8AsGbk), "one");
  WriteFile(Path(outer + "/" + inner + "/" + kGbkBytes), "two");
  const auto before = Tree();

  const MokResult r = Run({"names", "-r", "--apply"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFile(Path(Utf8Of(u"项目资料/会议纪要/中文.txt"))), "two");
  EXPECT_EQ(ReadFile(Path(Utf8Of(u"项目资料/中文报告.txt"))), "one");
  EXPECT_EQ(ReadFile(Path(Utf8Of(u"项目计划.pdf"))), "content of " + kUtf8Zip);
  EXPECT_EQ(Tree().size(), before.size());  // nothing lost, nothing left over
  // Deepest first; each path as it stood when its name changed.
  const std::string shown_outer = cli::EscapedName(outer);
  EXPECT_EQ(r.out.find(shown_outer + "/" + inner + "/\\xD6\\xD0\\xCE\\xC4.txt → "), 0u) << r.out;
  EXPECT_NE(r.out.find("\n" + shown_outer + " → " + Utf8Of(u"项目资料\n")), std::string::npos) << r.out;

  std::string log;
  for (const auto& entry : std::filesystem::directory_iterator(Path(""))) {
    if (entry.path().filename().string().rfind("mok-names-", 0) == 0) log = entry.path().filename().string();
  }
  ASSERT_FALSE(log.empty());
  EXPECT_NE(r.err.find(Utf8Of(u"mok: 改名记录在 ") + log), std::string::npos) << r.err;

  const MokResult undo = Run({"names", "--undo", log});
  EXPECT_EQ(undo.status, 0) << undo.err;
  EXPECT_EQ(undo.err, "");
  EXPECT_EQ(Tree(), before);
  // Once more: every name is back, so nothing of the log is found.
  const MokResult again = Run({"names", "--undo", log});
  EXPECT_EQ(again.status, 2);
  EXPECT_NE(again.err.find(Utf8Of(u"未成~ 文件不存在")), std::string::npos) << again.err;
  EXPECT_EQ(Tree(), before);
}

TEST_F(MokFileNames, UndoNeverOverwritesAndRefusesAMalformedLog) {
  WriteFile(Path(kGbkBytes), "garbled");
  WriteFile(Path(kGbkZip), "zip");
  ASSERT_EQ(Run({"names", "--apply", "--log", "undo.log"}).status, 0);
  // Someone made a new file under an old name meanwhile.
  WriteFile(Path(kGbkZip), "new file");
  // A line cut short by a crash was never acted on.
  WriteFile(Path("undo.log"), ReadFile(Path("undo.log")) + "rename\t/tmp\tx");
  const MokResult r = Run({"names", "--undo", "undo.log"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find(Utf8Of(u": 改回 ") + kGbkZip + Utf8Of(u" 未成~ 已有同名的文件或文件夹")), std::string::npos)
      << r.err;
  EXPECT_EQ(ReadFile(Path(kGbkZip)), "new file");
  EXPECT_EQ(ReadFile(Path(Utf8Of(u"会议纪要.docx"))), "zip");
  EXPECT_EQ(ReadFile(Path(kGbkBytes)), "garbled");

  WriteFile(Path("bad.log"), "# comment\nrename\t/tmp\ta/b\tc\n");
  const MokResult bad = Run({"names", "--undo", "bad.log"});
  EXPECT_EQ(bad.status, 2);
  EXPECT_EQ(bad.err, Utf8Of(u"mok: bad.log: 第 2 行不是改名记录；没有改回任何名字\n"));
}

TEST_F(MokFileNames, RefusesOptionsItDoesNotTake) {
  struct Case {
    std::vector<std::string> args;
    const char16_t* error;
  };
  const Case cases[] = {
      {{"names", "-o", "x"}, u"names 不用选项 -o"},
      {{"names", "--keep"}, u"names 不用选项 --keep"},
      {{"convert", "-r"}, u"选项 -r 只用于 names"},
      {{"suggest", "--undo", "x"}, u"选项 --undo 只用于 names"},
      {{"names", "--log", "x"}, u"--log 只用于 --apply"},
      {{"names", "--undo", "x", "folder"}, u"--undo 只带改名记录，不和文件、-r、--apply、--log 一起用"},
      {{"convert", "--apply"}, u"--apply 只用于 suggest 和 names"},
  };
  for (const Case& c : cases) {
    const MokResult r = Run(c.args);
    EXPECT_EQ(r.status, 2) << c.args[1];
    EXPECT_EQ(r.err, "mok: " + Utf8Of(c.error) + Utf8Of(u"（mok --help 列出用法）\n")) << c.args[1];
  }
}

}  // namespace
}  // namespace mok::testing
