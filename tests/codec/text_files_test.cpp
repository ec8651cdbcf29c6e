#include "codec/text_files.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "codec/conversion_core.h"
#include "codec/file_attributes.h"
#include "codec/file_io_internal.h"
#include "tests/support/hex.h"
#include "tests/support/ordinary_user.h"

namespace mok {
namespace {

using ::mok::testing::Hex;
using ::mok::testing::Outcome;
using ::mok::testing::RunAsOrdinaryUser;

const Text kSaveFailed = u"\r\n\r\n\u4FDD\u5B58 \u672A\u6210~ ";  // 保存 未成~
const Text kOpenFailed = u"\r\n\r\n\u6253\u5F00 \u672A\u6210~ ";  // 打开 未成~
const Text kNoPermission = u"\u6CA1\u6709\u6743\u9650";
const Text kDiskFull = u"\u78C1\u76D8\u5DF2\u6EE1";
const Text kIsFolder = u"\u662F\u6587\u4EF6\u5939";
const Text kFileMissing = u"\u6587\u4EF6\u4E0D\u5B58\u5728";
const Text kPathMissing = u"\u8DEF\u5F84\u4E0D\u5B58\u5728";
const Text kNotAFolderOnPath =
    u"\u8DEF\u5F84\u4E0D\u5B58\u5728\uFF08\u5176\u4E2D\u4E00\u6BB5\u4E0D\u662F\u6587\u4EF6\u5939\uFF09";
const Text kIoError = u"\u8BFB\u5199\u51FA\u9519";

Bytes ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return ToBytes(data);
}

void WriteAll(const std::string& path, BytesView bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

bool Exists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

bool SetImmutable(const std::string& path, bool on) {
  int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  int flags = 0;
  bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  if (ok) {
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  }
  ::close(fd);
  return ok;
}

// Fake system calls for the file functions.
size_t g_write_budget = 0;  // bytes the fake disk takes before it is full
ssize_t WriteUntilFull(int fd, const void* data, size_t count) {
  if (g_write_budget == 0) {
    errno = ENOSPC;
    return -1;
  }
  ssize_t written = ::write(fd, data, std::min(count, g_write_budget));
  if (written > 0) g_write_budget -= static_cast<size_t>(written);
  return written;
}
ssize_t WriteNothing(int, const void*, size_t) { return 0; }
ssize_t WriteOneByte(int fd, const void* data, size_t count) { return ::write(fd, data, std::min<size_t>(count, 1)); }
int FileFsyncFails(int fd) {  // the file's flush fails, a folder's works
  struct stat st;
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) return ::fsync(fd);
  errno = EIO;
  return -1;
}
ssize_t ReadFails(int, void*, size_t) {
  errno = EIO;
  return -1;
}
int FolderFsyncFails(int fd) {  // the file's flush works, a folder's fails
  struct stat st;
  if (::fstat(fd, &st) == 0 && !S_ISDIR(st.st_mode)) return ::fsync(fd);
  errno = EIO;
  return -1;
}
int RenameFails(const char*, const char*) {
  errno = ENOSPC;
  return -1;
}
mode_t CurrentUmask() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return mask;
}

TEST(DetectFileFormat, FirstMatchingRuleDecides) {
  struct Case {
    std::string bytes;
    std::int16_t expected;
  };
  const Case cases[] = {
      {"", 0},
      {"\xEF", 0},                           // fewer than two bytes
      {"\xEF\xBB", 0},                       // half a UTF-8 mark
      {"\xEF\xBB\xBF", 6},
      {"\xEF\xBB\xBF\xFF\xFE", 6},
      {"\xFF\xFE", 4},
      {"\xFE\xFF\x00\x41", 5},
      {"a\r\nb", 0},                         // plain ASCII
      {std::string("\x0D\x00\x0A\x00", 4), 7},
      {std::string("x\x0D\x00\x0A\x00", 5), 7},   // odd offset: no unit, but a NUL byte
      {std::string("x\x00\x0D\x00\x0A", 5), 7},   // 00 0D 00 0A at an odd offset is no BE CR LF
      {std::string("\x00\x0D\x00\x0A", 4), 8},
      {std::string("\x00\x0D\x00\x0A\x0D\x00\x0A\x00", 8), 7},  // the LE rule is tried first
      {std::string("ab\x00", 3), 0},         // a NUL as the last byte only
      {std::string("a\x00", 2), 0},
      {std::string("\x00" "a", 2), 7},
      {"\xE4\xB8\xAD\xE6\x96\x87", 9},       // six non-ASCII bytes of UTF-8
      {"\xE4\xB8\xAD\xE6\x96", 0},
      {"\xD6\xD0\xCE\xC4", 0},               // GBK
  };
  for (const Case& c : cases) {
    Bytes bytes = ToBytes(c.bytes);
    EXPECT_EQ(DetectFileFormat(bytes), c.expected) << Hex(bytes);
  }
}

std::string Repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

TEST(IsValidUtf8, ToleratesOneBadByteInSixteen) {
  struct Case {
    std::string bytes;
    bool expected;
  };
  const Case cases[] = {
      {"", false},
      {"plain ascii", false},
      {"\xE4\xB8\xAD\xC3\xA4", false},                             // 5 non-ASCII, well formed
      {"\xE4\xB8\xAD\xE6\x96\x87", true},                          // 6 non-ASCII, well formed
      {"x\xC3\xA4y\xC3\xA4z\xC3\xA4", true},
      {Repeat("\xC3\xA4", 15) + "\xA4\xA4", true},                 // 32 non-ASCII, badness 2
      {Repeat("\xC3\xA4", 13) + "\xA4\xA4\xA4\xE4\xB8\xAD", false},  // 32, badness 3
      {Repeat("\xC3\xA4", 15) + "\xFF\xFE", true},                 // F8..FF count 1 each
      {Repeat("\xC3\xA4", 14) + "\xE4\xB8" "a\xC3\xA4", true},     // cut short after 2 bytes: 2
      {Repeat("\xC3\xA4", 13) + "\xF0\x90\x80" "a\xE4\xB8\xAD", false},  // cut short after 3: 3
      {Repeat("\xC3\xA4", 15) + "\xE4\xB8", true},              // cut short at the end: 2
      {Repeat("\xC3\xA4", 13) + "\xE4\xB8\xAD\xF0\x90\x80", false},  // cut short at the end: 3
      {Repeat("\xC3\xA4", 15) + "\xA4", true},                     // 31: badness 1 allowed
      {Repeat("\xC3\xA4", 13) + "\xA4\xA4\xE4\xB8\xAD", false},    // 31: badness 2 not (31 / 16 = 1)
      {Repeat("\xED\xA0\x80", 2), true},                           // encoded surrogates pass
      {Repeat("\xF5\x80\x80\x80", 2), true},                       // F5..F7 leads pass
      {Repeat("\xF7\xBF\xBF\xBF", 2), true},
      {Repeat("\xC2\x80", 3), true},
      {Repeat("\xC0\x80", 3), false},                              // overlong: C0 and C1 always bad
      {Repeat("\xC1\xBF", 3), false},
  };
  for (const Case& c : cases) {
    Bytes bytes = ToBytes(c.bytes);
    EXPECT_EQ(IsValidUtf8(bytes), c.expected) << Hex(bytes);
  }
}

TEST(IsValidUtf8, OnlyTheFirstContinuationHasALowerBound) {
  struct Case {
    std::string bytes;
    bool expected;
  };
  const Case cases[] = {
      {"\xE0\xA0\x80\xE0\xA0\x80", true},
      {"\xE0\x9F\x80\xE0\xA0\x80", false},  // E0 9F: overlong, badness 1 of 6
      {"\xE0\xA0\x80\xE0\xA0\x80\xE0\xA0\x80\xE0\xA0\x80\xE0\xA0\x80\xE0\x9F\x80", true},  // 18: 1 bad
      {"\xF0\x90\x80\x80\xF0\x90\x80\x80", true},
      {"\xF0\x8F\x80\x80\xF0\x90\x80\x80", false},
      {"\xF0\x90\x80\x80\xF0\x90\x80\x80\xF0\x90\x80\x80\xF0\x90\x80\x80\xF0\x8F\x80\x80", true},  // 20: 1 bad
  };
  for (const Case& c : cases) {
    Bytes bytes = ToBytes(c.bytes);
    EXPECT_EQ(IsValidUtf8(bytes), c.expected) << Hex(bytes);
  }
}

TEST(FileFormatSniffer, PiecewiseEqualsWhole) {
  // Marks, line breaks as units at odd or even offsets, NULs and UTF-8, cut
  // anywhere (a unit or a UTF-8 sequence split between pieces included).
  using namespace std::string_view_literals;
  const std::string_view kAlphabets[] = {"\x00\x0D\x0A\xEF\xBB\xBF\xFF\xFE\x41\xC3\xA4\xE4\xB8\xAD\x80\xF8"sv,
                                         "\x00\x0D\x0A\x41"sv};
  std::mt19937 random(5);
  for (int trial = 0; trial < 2000; ++trial) {
    const std::string_view alphabet = kAlphabets[trial % 2];
    Bytes bytes(random() % 20, 0);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(alphabet[random() % alphabet.size()]);
    if (trial % 3 == 0) bytes += ToBytes("\xE4\xB8\xAD\xE6\x96\x87\xE4\xB8\xAD");  // enough for UTF-8
    FileFormatSniffer sniffer;
    Utf8Plausibility utf8;
    for (std::size_t at = 0; at < bytes.size();) {
      const std::size_t n = std::min<std::size_t>(random() % 4, bytes.size() - at);
      sniffer.Add(BytesView(bytes).substr(at, n));
      utf8.Add(BytesView(bytes).substr(at, n));
      at += n;
    }
    EXPECT_EQ(sniffer.Result(), DetectFileFormat(bytes)) << Hex(bytes);
    EXPECT_EQ(utf8.Result(), IsValidUtf8(bytes)) << Hex(bytes);
  }
}

TEST(DecodeFileBytes, CombinesRequestedAndDetectedFormat) {
  struct Case {
    std::string bytes;
    std::int16_t requested;
    std::int16_t expected_format;
    Text expected;
  };
  const Case cases[] = {
      {"\xEF\xBB\xBF" "A", 0, 6, u"A"},
      {"\xEF\xBB\xBF" "A", 4, 7, u"\xBBEF\x41BF"},      // read as UTF-16LE without a mark
      {"\xEF\xBB\xBF" "A", 6, 6, u"A"},
      {"\xEF\xBB\xBF" "A", 9, 9, u"\xFEFF" "A"},        // the mark stays as a character
      {std::string("\xFF\xFE\x41\x00", 4), 4, 4, u"A"},
      {std::string("\xFF\xFE\x41\x00", 4), 7, 7, u"\xFEFF" "A"},
      {std::string("\xFF\xFE\x41\x00", 4), 0, 4, u"A"},
      {std::string("\xFF\xFE\x41\x00", 4), 5, 8, u"\xFFFE\x4100"},
      {std::string("\xFF\xFE\x41\x00\x42", 5), 0, 4, u"A"},  // odd count: last byte lost
      {std::string("\xFE\xFF\x00\x41\x00", 5), 0, 5, u"A"},
      {std::string("\xFE\xFF\x00\x41", 4), 8, 8, u"\xFEFF" "A"},
      {"", 0, 1, u""},
      {"", 4, 7, u""},
      {"a\r\nb", 0, 1, u"a\r\nb"},                      // nothing recognised: GBK
      {"\xB0\xA1", 0, 1, u"\x554A"},
      {"\xB0\xA1", 2, 2, u"\x554A"},
      {"\xE9", 3, 3, u"\xE9"},
      {"\xE4\xB8\xAD", 0, 1, u"\x6D93\xDCAD"},          // too few bytes to be taken for UTF-8
      {"\xE4\xB8\xAD", 9, 9, u"\x4E2D"},
      {"\xE4\xB8\xAD", 6, 9, u"\x4E2D"},
      {std::string("A\x00\x00\x00" "B\x00", 6), 0, 7, u"A B"},  // NULs become spaces
      {std::string("\x00" "A\x00" "B", 4), 8, 8, u"AB"},
      {"A", -1, 1, u"A"},
      {"A", 10, 1, u"A"},
  };
  for (const Case& c : cases) {
    Bytes bytes = ToBytes(c.bytes);
    std::int16_t format = c.requested;
    Text text = u"junk";
    ASSERT_TRUE(DecodeFileBytes(bytes, format, text)) << Hex(bytes);
    EXPECT_EQ(format, c.expected_format) << Hex(bytes) << " requested " << c.requested;
    EXPECT_EQ(text, c.expected) << Hex(bytes) << " requested " << c.requested << " got " << Hex(text);
  }
}

TEST(EncodeFileText, WritesMarksAndEncodings) {
  struct Case {
    std::int16_t format;
    std::int16_t expected_format;
    Text text;
    std::string expected;
  };
  const Case cases[] = {
      {0, 4, u"A", std::string("\xFF\xFE\x41\x00", 4)},
      {-7, 4, u"", "\xFF\xFE"},
      {4, 4, u"\x4E2D", "\xFF\xFE\x2D\x4E"},
      {5, 5, u"\x4E2D", "\xFE\xFF\x4E\x2D"},
      {6, 6, u"\x4E2D", "\xEF\xBB\xBF\xE4\xB8\xAD"},
      {7, 7, u"\x4E2D", "\x2D\x4E"},
      {8, 8, u"\x4E2D", "\x4E\x2D"},
      {9, 9, u"\x4E2D", "\xE4\xB8\xAD"},
      {9, 9, u"", ""},
      {1, 1, u"\x554A", "\xB0\xA1"},
      {2, 2, u"\x554A", "\xB0\xA1"},
      {3, 3, u"\xE9", "\xE9"},
  };
  for (const Case& c : cases) {
    std::int16_t format = c.format;
    Bytes bytes;
    ASSERT_TRUE(EncodeFileText(c.text, format, bytes)) << c.format;
    EXPECT_EQ(format, c.expected_format);
    EXPECT_EQ(bytes, ToBytes(c.expected)) << c.format << ": " << Hex(bytes);
  }
}

TEST(FileFormatName, NamesAndMarks) {
  const Text bom = u" +BOM", no_bom = u" No-BOM";
  const Text expected[] = {u"", u"GBK", u"GB18030", u"Latin-1", u"UTF-16LE" + bom, u"UTF-16BE" + bom,
                           u"UTF-8" + bom, u"UTF-16LE" + no_bom, u"UTF-16BE" + no_bom, u"UTF-8" + no_bom, u""};
  const Text bare[] = {u"", u"GBK", u"GB18030", u"Latin-1", u"UTF-16LE", u"UTF-16BE",
                       u"UTF-8", u"UTF-16LE", u"UTF-16BE", u"UTF-8", u""};
  for (std::int16_t format = 0; format <= 10; ++format) {
    EXPECT_EQ(FileFormatName(format, false), expected[format]) << format;
    EXPECT_EQ(FileFormatName(format, true), bare[format]) << format;
  }
  EXPECT_EQ(FileFormatName(-1, false), u"");
}

TEST(AttrText, ListsTheShownBits) {
  EXPECT_EQ(AttrText(0), u"");
  EXPECT_EQ(AttrText(16), u"");
  EXPECT_EQ(AttrText(33), u" \u53EA\u8BFB \u5B58\u6863");
  EXPECT_EQ(AttrText(1 | 2 | 4 | 16 | 32), u" \u53EA\u8BFB \u9690\u85CF \u7CFB\u7EDF \u5B58\u6863");
}

TEST(TextOfNativePath, EscapesBytesThatAreNotUtf8AndRoundTrips) {
  struct Case {
    std::string native;
    Text text;
  };
  const Case cases[] = {
      {"/tmp/a.txt", u"/tmp/a.txt"},
      {"\xE4\xB8\xAD.txt", u"\x4E2D.txt"},
      // GBK bytes of 测试, as unpacked from a Windows archive.
      {"\xB2\xE2\xCA\xD4.txt", u"\xDCB2\xDCE2\xDCCA\xDCD4.txt"},
      {"a\xE4z", u"a\xDCE4z"},                                // a cut-off sequence
      {"\xED\xA0\x80", u"\xDCED\xDCA0\xDC80"},                // an encoded surrogate is no UTF-8
      {"\xF0\x9F\x98\x80", u"\xD83D\xDE00"},                  // outside the BMP: a pair
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TextOfNativePath(c.native), c.text) << Hex(ToBytes(c.native));
    std::string back;
    ASSERT_TRUE(NativePath(c.text, back));
    EXPECT_EQ(back, c.native);
  }
}

TEST(FileIo, ReadsAndWritesRawBytes) {
  char name[] = "/tmp/mok_file_io_XXXXXX";
  int fd = ::mkstemp(name);
  ASSERT_GE(fd, 0);
  std::error_code error;
  Bytes odd = ToBytes(std::string("\x00\xFF\x41", 3));
  EXPECT_TRUE(WriteFileBytes(fd, odd, error));
  file_internal::g_system_calls.write = WriteOneByte;  // short writes are continued
  EXPECT_TRUE(WriteFileBytes(fd, ToBytes("xyz"), error));
  file_internal::g_system_calls.write = WriteNothing;  // no progress is a failure
  EXPECT_FALSE(WriteFileBytes(fd, ToBytes("q"), error));
  EXPECT_EQ(error.value(), EIO);
  file_internal::g_system_calls = {};
  ASSERT_EQ(::lseek(fd, 0, SEEK_SET), 0);
  EXPECT_EQ(ReadFileBytes(fd, 0, error), Bytes());
  EXPECT_EQ(ReadFileBytes(fd, -5, error), Bytes());
  EXPECT_EQ(ReadFileBytes(fd, 3, error), odd);
  EXPECT_EQ(ReadFileBytes(fd, 100, error), ToBytes("xyz"));  // the end comes first
  EXPECT_FALSE(error);
  ::close(fd);
  ::unlink(name);
}

class TextFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/mok_text_files_XXXXXX";
    ASSERT_NE(::mkdtemp(name), nullptr);
    dir_ = name;
    ::chmod(dir_.c_str(), 0755);  // reachable by the ordinary user of RunAsOrdinaryUser
  }
  void TearDown() override {
    file_internal::g_system_calls = {};
    for (const std::string& path : immutable_) SetImmutable(path, false);
    std::error_code ignored;
    for (auto& entry : std::filesystem::recursive_directory_iterator(dir_, ignored)) {
      std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ignored);
    }
    std::filesystem::remove_all(dir_, ignored);
  }

  std::string Native(const std::string& name) const { return dir_ + "/" + name; }
  // The names in a folder of the test's, sorted.
  std::vector<std::string> Entries(const std::string& folder) const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(Native(folder))) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  Text PathOf(const std::string& name) const { return TextOfNativePath(Native(name)); }

  // Makes a file or folder immutable, which even root cannot rename or delete.
  bool MakeImmutable(const std::string& path) {
    if (!SetImmutable(path, true)) return false;
    immutable_.push_back(path);
    return true;
  }

  bool Save(const std::string& name, TextView text, std::int16_t format, Text& failure) {
    return SaveTextFile(text, PathOf(name), format, GetFileAttr(PathOf(name)), failure);
  }

  std::string dir_;
  std::vector<std::string> immutable_;
};

TEST_F(TextFilesTest, LoadsWithDetectionAndRequestedFormat) {
  struct Case {
    std::string bytes;
    std::int16_t requested;
    std::int16_t expected_format;
    Text expected;
  };
  const Case cases[] = {
      {"\xEF\xBB\xBF\xE4\xB8\xAD", 0, 6, u"\x4E2D"},
      {"\xEF\xBB\xBF\xE4\xB8\xAD", 4, 7, u"\xBBEF\xE4BF\xADB8"},
      {std::string("\xFF\xFE\x2D\x4E\x0D", 5), 4, 4, u"\x4E2D"},
      {std::string("\xFF\xFE\x2D\x4E", 4), 7, 7, u"\xFEFF\x4E2D"},
      {"", 0, 1, u""},
      {"\xD6\xD0\r\n", 0, 1, u"\x4E2D\r\n"},
  };
  for (const Case& c : cases) {
    WriteAll(Native("in.txt"), ToBytes(c.bytes));
    Text failure;
    Text text;
    std::int16_t format = c.requested;
    ASSERT_TRUE(LoadTextFile(text, PathOf("in.txt"), format, failure)) << Hex(ToBytes(c.bytes));
    EXPECT_EQ(format, c.expected_format) << Hex(ToBytes(c.bytes));
    EXPECT_EQ(text, c.expected) << Hex(ToBytes(c.bytes)) << " got " << Hex(text);
    EXPECT_TRUE(failure.empty());
  }
}

TEST_F(TextFilesTest, LoadFailuresShowTheCauseAndChangeNothing) {
  WriteAll(Native("file.txt"), ToBytes("x"));
  ::mkdir(Native("folder").c_str(), 0755);
  WriteAll(Native("io.txt"), ToBytes("abc"));
  struct Case {
    std::string name;
    Text cause;
    bool read_fails;
  };
  const Case cases[] = {
      {"missing.txt", kFileMissing, false},
      {"nowhere/missing.txt", kPathMissing, false},
      {"file.txt/x.txt", kNotAFolderOnPath, false},
      {"folder", kIsFolder, false},
      {"io.txt", kIoError, true},
  };
  for (const Case& c : cases) {
    file_internal::g_system_calls.read = c.read_fails ? ReadFails : ::read;
    Text failure;
    Text text = u"kept";
    std::int16_t format = 9;
    EXPECT_FALSE(LoadTextFile(text, PathOf(c.name), format, failure)) << c.name;
    EXPECT_EQ(failure, PathOf(c.name) + kOpenFailed + c.cause) << c.name << ": " << Hex(failure);
    EXPECT_EQ(text, u"kept");
    EXPECT_EQ(format, 9);
  }
}

// Opening one is refused in file_commands_test.cpp.
TEST_F(TextFilesTest, APipeIsNeverReplaced) {
  ASSERT_EQ(::mkfifo(Native("pipe").c_str(), 0644), 0);
  const Text kNotRegular = u"\u4E0D\u662F\u666E\u901A\u6587\u4EF6";  // 不是普通文件
  // Saving never moves the pipe aside nor puts a file in its place.
  Text failure;
  std::int16_t format = 9;
  EXPECT_FALSE(SaveTextFile(u"new", PathOf("pipe"), format, GetFileAttr(PathOf("pipe")), failure));
  EXPECT_EQ(failure, PathOf("pipe") + kSaveFailed + kNotRegular) << Hex(failure);
  struct stat st;
  ASSERT_EQ(::lstat(Native("pipe").c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  EXPECT_FALSE(Exists(Native("pipe.bak")));
}

TEST_F(TextFilesTest, FileFactsGiveSizeTimeAndKind) {
  WriteAll(Native("a.txt"), ToBytes("12345"));
  FileFacts facts;
  ASSERT_EQ(GetFileFacts(PathOf("a.txt"), facts), 0);
  EXPECT_EQ(facts.size, 5);
  EXPECT_TRUE(facts.regular);
  struct stat st;
  ASSERT_EQ(::stat(Native("a.txt").c_str(), &st), 0);
  EXPECT_EQ(facts.modified, st.st_mtim.tv_sec);
  ASSERT_EQ(GetFileFacts(PathOf(""), facts), 0);
  EXPECT_FALSE(facts.regular);
  EXPECT_EQ(GetFileFacts(PathOf("missing.txt"), facts), ENOENT);
  EXPECT_EQ(GetFileFacts(Text(u"a\0b", 3), facts), EINVAL);
}

TEST_F(TextFilesTest, LoadOfAnUnreadableFileFails) {
  WriteAll(Native("secret.txt"), ToBytes("x"));
  ::chmod(Native("secret.txt").c_str(), 0);
  const Text path = PathOf("secret.txt");
  Outcome outcome = RunAsOrdinaryUser([&](Text& failure) {
    Text text;
    std::int16_t format = 0;
    return LoadTextFile(text, path, format, failure);
  });
  if (!outcome.ran) GTEST_SKIP() << "cannot run as an ordinary user here";
  EXPECT_FALSE(outcome.result);
  EXPECT_EQ(outcome.message, path + kOpenFailed + kNoPermission) << Hex(outcome.message);
}

// Random text from the repertoire of each format.
Text RandomText(std::int16_t format, std::mt19937& random, size_t length) {
  static const std::vector<char16_t> gbk = [] {
    std::vector<char16_t> chars;
    for (char16_t c = 1; c < 0x80; ++c) chars.push_back(c);
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
      for (int trail = 0x40; trail <= 0xFE; ++trail) {
        if (trail == 0x7F) continue;
        Bytes pair{static_cast<std::uint8_t>(lead), static_cast<std::uint8_t>(trail)};
        Text c = CpBytesToText(pair, 936);
        if (c.size() == 1 && (c[0] < 0xD800 || c[0] > 0xDFFF) && c[0] != 0xFFFD && TextToCpBytes(c, 936) == pair) {
          chars.push_back(c[0]);
        }
      }
    }
    return chars;
  }();
  Text text;
  while (text.size() < length) {
    if (format == kFormatGbk) {
      text += gbk[random() % gbk.size()];
    } else if (format == kFormatLatin1) {
      text += static_cast<char16_t>(1 + random() % 0xFF);
    } else {
      // Any Unicode scalar value but NUL, weighted towards ASCII and the BMP.
      std::uint32_t c;
      switch (random() % 4) {
        case 0: c = 1 + random() % 0x7F; break;
        case 1: c = 0x4E00 + random() % 0x5200; break;
        case 2: c = 1 + random() % 0xFFFF; break;
        default: c = 0x10000 + random() % 0x100000; break;
      }
      if (c >= 0xD800 && c <= 0xDFFF) continue;
      AppendCodePoint(text, c);
    }
  }
  return text;
}

TEST_F(TextFilesTest, SaveThenLoadRoundTripsEveryFormat) {
  std::mt19937 random(2024);
  for (std::int16_t format = 1; format <= 9; ++format) {
    for (int round = 0; round < 3; ++round) {
      const Text text = RandomText(format, random, round == 0 ? 1 : 3000);
      const Text path = PathOf("") + u"\x4E2D\x6587.txt";  // stored under a UTF-8 name
      const std::string name = "\xE4\xB8\xAD\xE6\x96\x87.txt";
      Text failure;
      std::int16_t saved_as = format;
      ASSERT_TRUE(SaveTextFile(text, path, saved_as, GetFileAttr(path), failure)) << format;
      EXPECT_EQ(saved_as, format);
      EXPECT_TRUE(Exists(Native(name)));
      Text loaded;
      std::int16_t loaded_as = format;
      ASSERT_TRUE(LoadTextFile(loaded, path, loaded_as, failure));
      EXPECT_EQ(loaded_as, format);
      EXPECT_TRUE(loaded == text) << "format " << format << " first difference at "
                                  << std::mismatch(loaded.begin(), loaded.end(), text.begin(), text.end()).first -
                                         loaded.begin();
      EXPECT_TRUE(failure.empty());
      EXPECT_FALSE(Exists(Native(name + ".bak")));
    }
  }
}

TEST_F(TextFilesTest, SaveWithFormatZeroWritesUtf16LeWithMark) {
  Text failure;
  std::int16_t format = 0;
  ASSERT_TRUE(SaveTextFile(u"A", PathOf("new.txt"), format, -1, failure));
  EXPECT_EQ(format, 4);
  EXPECT_EQ(ReadAll(Native("new.txt")), ToBytes(std::string("\xFF\xFE\x41\x00", 4)));
}

TEST_F(TextFilesTest, SaveOverExistingFilesKeepsModeAndLinksAndTouchesNothingElse) {
  // A hidden read-only file stays hidden (by its name) and read-only.
  WriteAll(Native(".hidden.txt"), ToBytes("old"));
  ::chmod(Native(".hidden.txt").c_str(), 0444);
  EXPECT_EQ(GetFileAttr(PathOf(".hidden.txt")), kAttrReadOnly | kAttrHidden | kAttrArchive);
  // A private file stays private; a shared one shared.
  WriteAll(Native("private.txt"), ToBytes("old"));
  ::chmod(Native("private.txt").c_str(), 0600);
  WriteAll(Native("shared.txt"), ToBytes("old"));
  ::chmod(Native("shared.txt").c_str(), 0664);
  // The user's own backup is never touched.
  WriteAll(Native("plain.txt"), ToBytes("old"));
  WriteAll(Native("plain.txt.bak"), ToBytes("older"));
  ::chmod(Native("plain.txt.bak").c_str(), 0444);
  // Links stay links: to a file beside, through a chain into another folder,
  // and a dangling one, which now leads to a file.
  WriteAll(Native("target.txt"), ToBytes("old"));
  ::symlink("target.txt", Native("link.txt").c_str());
  ::mkdir(Native("sub").c_str(), 0755);
  WriteAll(Native("sub/deep.txt"), ToBytes("old"));
  ::chmod(Native("sub/deep.txt").c_str(), 0640);
  ::symlink("deep.txt", Native("sub/inner.txt").c_str());
  ::symlink("sub/inner.txt", Native("chain.txt").c_str());
  ::symlink(Native("sub/born.txt").c_str(), Native("dangling.txt").c_str());

  const struct {
    std::string name, written;
    mode_t mode;
  } cases[] = {
      {".hidden.txt", ".hidden.txt", 0444}, {"private.txt", "private.txt", 0600},
      {"shared.txt", "shared.txt", 0664},   {"plain.txt", "plain.txt", 0644},
      {"link.txt", "target.txt", 0644},     {"chain.txt", "sub/deep.txt", 0640},
      {"dangling.txt", "sub/born.txt", 0666 & ~CurrentUmask()},
  };
  for (const auto& c : cases) {
    Text failure;
    ASSERT_TRUE(Save(c.name, u"new", 9, failure)) << c.name << ": " << Hex(failure);
    EXPECT_EQ(ReadAll(Native(c.written)), ToBytes("new")) << c.name;
    struct stat after;
    ASSERT_EQ(::stat(Native(c.written).c_str(), &after), 0);
    EXPECT_EQ(after.st_mode & 07777, c.mode) << c.name;
  }
  EXPECT_EQ(GetFileAttr(PathOf(".hidden.txt")), kAttrReadOnly | kAttrHidden | kAttrArchive);
  for (const std::string link : {"link.txt", "chain.txt", "sub/inner.txt", "dangling.txt"}) {
    struct stat st;
    ASSERT_EQ(::lstat(Native(link).c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode)) << link;
  }
  EXPECT_EQ(ReadAll(Native("plain.txt.bak")), ToBytes("older"));
  // Nothing else is left in the folders: no backup, no temporary file.
  EXPECT_EQ(Entries(""), (std::vector<std::string>{".hidden.txt", "chain.txt", "dangling.txt", "link.txt", "plain.txt",
                                                    "plain.txt.bak", "private.txt", "shared.txt", "sub",
                                                    "target.txt"}));
  EXPECT_EQ(Entries("sub"), (std::vector<std::string>{"born.txt", "deep.txt", "inner.txt"}));
}

TEST_F(TextFilesTest, SaveKeepsTheOwnerWhereThisUserMayGiveIt) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root may give a file away";
  // Root saving another user's file: the file stays that user's.
  WriteAll(Native("theirs.txt"), ToBytes("old"));
  ASSERT_EQ(::chown(Native("theirs.txt").c_str(), 4242, 4343), 0);
  ::chmod(Native("theirs.txt").c_str(), 0640);
  Text failure;
  ASSERT_TRUE(Save("theirs.txt", u"new", 9, failure));
  struct stat st;
  ASSERT_EQ(::stat(Native("theirs.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 4242u);
  EXPECT_EQ(st.st_gid, 4343u);
  EXPECT_EQ(st.st_mode & 07777, 0640u);

  // An ordinary user saving root's file in a folder open to all: the file is
  // now that user's, with root's permission bits but never a set-user bit.
  ::mkdir(Native("open").c_str(), 0777);
  ::chmod(Native("open").c_str(), 0777);
  WriteAll(Native("open/roots.txt"), ToBytes("old"));
  ::chmod(Native("open/roots.txt").c_str(), 04666);
  const Text path = PathOf("open/roots.txt");
  Outcome outcome = RunAsOrdinaryUser([&](Text& message) {
    std::int16_t format = 9;
    return SaveTextFile(u"new", path, format, GetFileAttr(path), message);
  });
  ASSERT_TRUE(outcome.ran);
  EXPECT_TRUE(outcome.result) << Hex(outcome.message);
  ASSERT_EQ(::stat(Native("open/roots.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 65534u);
  EXPECT_EQ(st.st_mode & 07777, 0666u);
  EXPECT_EQ(ReadAll(Native("open/roots.txt")), ToBytes("new"));
}

TEST_F(TextFilesTest, NamesUpTo255BytesSaveOverTheOldFile) {
  const std::string chinese_85 = [] {  // 85 times U+4E2D: 255 bytes of UTF-8
    std::string name;
    for (int i = 0; i < 85; ++i) name += "\xE4\xB8\xAD";
    return name;
  }();
  for (const std::string& name :
       {std::string(252, 'a'), std::string(251, 'b') + ".txt", std::string(255, 'c'), chinese_85}) {
    WriteAll(Native(name), ToBytes("old"));
    ASSERT_TRUE(Exists(Native(name))) << name.size();
    Text failure;
    EXPECT_TRUE(Save(name, u"new", 9, failure)) << name.size() << ": " << Hex(failure);
    EXPECT_EQ(ReadAll(Native(name)), ToBytes("new")) << name.size();
    // A new file of that length too.
    ::unlink(Native(name).c_str());
    EXPECT_TRUE(Save(name, u"fresh", 9, failure)) << name.size();
    EXPECT_EQ(ReadAll(Native(name)), ToBytes("fresh")) << name.size();
  }
  EXPECT_EQ(Entries("").size(), 4u);
}

// A save killed at each of its steps: until the rename the old content is at
// the name and loads as the old text; after it the new content is, complete.
TEST_F(TextFilesTest, ASaveKilledAtAnyStepLeavesTheOldOrTheWholeNewContent) {
  const Text old_text = u"\x65E7\x6587\x672C\r\nold";  // 旧文本
  const Text new_text(3000, u'\x65B0');                // 新
  for (std::size_t step = 0; step < std::size(file_internal::kSaveStepNames); ++step) {
    const char* step_name = file_internal::kSaveStepNames[step];
    std::int16_t format = 1;
    Text failure;
    ASSERT_TRUE(SaveTextFile(old_text, PathOf("a.txt"), format, -1, failure));
    const Bytes old_bytes = ReadAll(Native("a.txt"));
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      ::setenv("MOK_TEST_KILL_SAVE_AT", step_name, 1);
      std::int16_t child_format = 1;
      Text child_failure;
      const bool saved = SaveTextFile(new_text, PathOf("a.txt"), child_format, GetFileAttr(PathOf("a.txt")),
                                      child_failure);
      ::_exit(saved ? 0 : 1);  // not killed: the step was never reached
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << step_name << " status " << status;
    Text loaded;
    std::int16_t loaded_as = 0;
    ASSERT_TRUE(LoadTextFile(loaded, PathOf("a.txt"), loaded_as, failure)) << step_name;
    if (std::string_view(step_name) == "renamed") {
      EXPECT_TRUE(loaded == new_text) << step_name;
      EXPECT_EQ(Entries(""), std::vector<std::string>{"a.txt"});
    } else {
      EXPECT_EQ(ReadAll(Native("a.txt")), old_bytes) << step_name;
      EXPECT_EQ(loaded, old_text) << step_name;
      // What the killed save left: its temporary file, hidden, beside.
      const std::vector<std::string> entries = Entries("");
      ASSERT_EQ(entries.size(), 2u) << step_name;
      EXPECT_EQ(entries[0].rfind(file_internal::kTemporaryPrefix, 0), 0u) << entries[0];
      ::unlink(Native(entries[0]).c_str());
    }
  }
}

TEST_F(TextFilesTest, SaveFailuresKeepThePreviousContent) {
  const Bytes old = ToBytes("previous content");
  const Text text(4000, u'\x4E2D');
  struct Case {
    const char* what;
    std::string name;
    Text cause;
    ssize_t (*write)(int, const void*, size_t);
    int (*fsync)(int);
    bool old_file;
    int (*rename)(const char*, const char*) = ::rename;
  };
  const Case cases[] = {
      {"disk full half-way", "a.txt", kDiskFull, WriteUntilFull, ::fsync, true},
      {"disk full, new file", "b.txt", kDiskFull, WriteUntilFull, ::fsync, false},
      {"write makes no progress", "c.txt", kIoError, WriteNothing, ::fsync, true},
      {"flush fails", "d.txt", kIoError, ::write, FileFsyncFails, true},
      {"rename fails", "e.txt", kDiskFull, ::write, ::fsync, true, RenameFails},
      {"folder flush fails", "f.txt", kIoError, ::write, FolderFsyncFails, false},
      {"target is a folder", "folder", kIsFolder, ::write, ::fsync, false},
      {"path under a file", "a.txt/x.txt", kNotAFolderOnPath, ::write, ::fsync, false},
      {"folder missing", "none/x.txt", kPathMissing, ::write, ::fsync, false},
  };
  ::mkdir(Native("folder").c_str(), 0755);
  WriteAll(Native("folder/inside.txt"), old);
  for (const Case& c : cases) {
    if (c.old_file) WriteAll(Native(c.name), old);
    g_write_budget = text.size();  // half of the UTF-16 bytes
    file_internal::g_system_calls.write = c.write;
    file_internal::g_system_calls.fsync = c.fsync;
    file_internal::g_system_calls.rename = c.rename;
    Text failure;
    std::int16_t format = 7;
    // The attributes are taken from the disk even when the caller thinks there is no file.
    EXPECT_FALSE(SaveTextFile(text, PathOf(c.name), format, -1, failure)) << c.what;
    file_internal::g_system_calls = {};
    EXPECT_EQ(failure, PathOf(c.name) + kSaveFailed + c.cause) << c.what << ": " << Hex(failure);
    if (c.old_file) {
      EXPECT_EQ(ReadAll(Native(c.name)), old) << c.what;
    } else if (c.fsync == FolderFsyncFails) {
      // Renamed before the folder's flush failed: the new file is whole.
      EXPECT_EQ(ReadAll(Native(c.name)).size(), text.size() * 2) << c.what;
    } else if (std::string(c.what) != "target is a folder") {
      EXPECT_FALSE(Exists(Native(c.name))) << c.what << ": a partial file was left";
    }
  }
  EXPECT_EQ(ReadAll(Native("folder/inside.txt")), old);
  // No temporary file is left behind by any of them.
  EXPECT_EQ(Entries(""), (std::vector<std::string>{"a.txt", "c.txt", "d.txt", "e.txt", "f.txt", "folder"}));
}

TEST_F(TextFilesTest, FailedSaveOfNewFileLeavesAnOldBackupAlone) {
  WriteAll(Native("new.txt.bak"), ToBytes("stale"));
  g_write_budget = 1;
  file_internal::g_system_calls.write = WriteUntilFull;
  Text failure;
  std::int16_t format = 9;
  EXPECT_FALSE(SaveTextFile(u"text", PathOf("new.txt"), format, -1, failure));
  EXPECT_FALSE(Exists(Native("new.txt")));
  EXPECT_EQ(ReadAll(Native("new.txt.bak")), ToBytes("stale"));
}

TEST_F(TextFilesTest, ReadOnlyTargetIsReplacedAndStaysReadOnly) {
  // Linux renames a read-only file like any other, so this is not a failure.
  WriteAll(Native("ro.txt"), ToBytes("old"));
  ::chmod(Native("ro.txt").c_str(), 0444);
  Text failure;
  ASSERT_TRUE(Save("ro.txt", u"new", 9, failure));
  EXPECT_EQ(ReadAll(Native("ro.txt")), ToBytes("new"));
  EXPECT_EQ(GetFileAttr(PathOf("ro.txt")), kAttrReadOnly | kAttrArchive);
  EXPECT_FALSE(Exists(Native("ro.txt.bak")));
}

TEST_F(TextFilesTest, AnImmutableTargetFailsAndAnImmutableBackupIsNoConcern) {
  WriteAll(Native("locked.txt"), ToBytes("old"));
  WriteAll(Native("b.txt"), ToBytes("old"));
  WriteAll(Native("b.txt.bak"), ToBytes("older"));
  if (!MakeImmutable(Native("locked.txt")) || !MakeImmutable(Native("b.txt.bak"))) {
    GTEST_SKIP() << "the file system here cannot make files immutable";
  }
  Text failure;
  EXPECT_FALSE(Save("locked.txt", u"new", 9, failure));
  EXPECT_EQ(failure, PathOf("locked.txt") + kSaveFailed + kNoPermission) << Hex(failure);
  EXPECT_EQ(ReadAll(Native("locked.txt")), ToBytes("old"));
  // The user's own b.txt.bak plays no part in saving b.txt.
  EXPECT_TRUE(Save("b.txt", u"new", 9, failure)) << Hex(failure);
  EXPECT_EQ(ReadAll(Native("b.txt")), ToBytes("new"));
  EXPECT_EQ(ReadAll(Native("b.txt.bak")), ToBytes("older"));
  EXPECT_EQ(Entries(""), (std::vector<std::string>{"b.txt", "b.txt.bak", "locked.txt"}));
}

TEST_F(TextFilesTest, SaveIntoFolderWithoutWritePermissionFails) {
  ::mkdir(Native("shut").c_str(), 0755);
  WriteAll(Native("shut/a.txt"), ToBytes("old"));
  ::chmod(Native("shut").c_str(), 0555);
  const Text path = PathOf("shut/a.txt");
  Outcome outcome = RunAsOrdinaryUser([&](Text& failure) {
    std::int16_t format = 9;
    return SaveTextFile(u"new", path, format, GetFileAttr(path), failure);
  });
  if (!outcome.ran) GTEST_SKIP() << "cannot run as an ordinary user here";
  EXPECT_FALSE(outcome.result);
  EXPECT_EQ(outcome.message, path + kSaveFailed + kNoPermission) << Hex(outcome.message);
  EXPECT_EQ(ReadAll(Native("shut/a.txt")), ToBytes("old"));
  EXPECT_FALSE(Exists(Native("shut/a.txt.bak")));
}

}  // namespace
}  // namespace mok
