#include "files/folder_listing.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "codec/file_attributes.h"
#include "tests/support/ordinary_user.h"
#include "tests/support/temp_folder.h"

namespace mok::testing {
namespace {

TEST(ListFolder, ListsVisibleRegularFilesMatchingThePattern) {
  TempFolder folder;
  for (const char* name : {"b.txt", "A.TXT", "c.log", ".hidden.txt", "noext"}) folder.Write(name, "x");
  folder.Write("\xB2\xE2\xCA\xD4.txt", "x");  // 测试.txt in GBK, as unpacked from a Windows archive
  folder.MakeFolder("dir.txt");
  ASSERT_EQ(::mkfifo(folder.Native("pipe.txt").c_str(), 0644), 0);
  ASSERT_EQ(::symlink("b.txt", folder.Native("link.txt").c_str()), 0);
  ASSERT_EQ(::symlink("gone", folder.Native("dangling.txt").c_str()), 0);

  std::vector<Text> names;
  ASSERT_EQ(ListFolder(folder.Path(), true, names), 0);
  const Text gbk = u"\xDCB2\xDCE2\xDCCA\xDCD4.txt";
  EXPECT_EQ(names, (std::vector<Text>{u"A.TXT", u"b.txt", u"link.txt", gbk}));
  ASSERT_EQ(ListFolder(folder.Path(), false, names), 0);
  EXPECT_EQ(names, (std::vector<Text>{u"A.TXT", u"b.txt", u"c.log", u"link.txt", u"noext", gbk}));
}

TEST(ListFolder, FailsOnFoldersThatCannotBeRead) {
  TempFolder folder;
  folder.Write("file.txt", "x");
  std::vector<Text> names{u"stale"};
  EXPECT_EQ(ListFolder(folder.Path("missing"), true, names), ENOENT);
  EXPECT_TRUE(names.empty());
  EXPECT_EQ(ListFolder(folder.Path("file.txt"), true, names), ENOTDIR);
  EXPECT_EQ(ListFolder(u"", true, names), ENOENT);

  folder.MakeFolder("shut");
  folder.Write("shut/inside.txt", "x");
  ::chmod(folder.Native("shut").c_str(), 0311);  // can be entered, not read
  const Text shut = folder.Path("shut");
  const Outcome outcome = RunAsOrdinaryUser([&](Text&) {
    std::vector<Text> listed;
    return ListFolder(shut, true, listed) == EACCES && listed.empty();
  });
  if (!outcome.ran) GTEST_SKIP() << "cannot run as an ordinary user here";
  EXPECT_TRUE(outcome.result);
}

TEST(ListFolder, ListsTwentyThousandFiles) {
  TempFolder folder;
  for (int i = 0; i < 20000; ++i) folder.Write("f" + std::to_string(i) + ".txt", "");
  std::vector<Text> names;
  ASSERT_EQ(ListFolder(folder.Path(), true, names), 0);
  ASSERT_EQ(names.size(), 20000u);
  EXPECT_EQ(names.front(), u"f0.txt");
  EXPECT_EQ(names.back(), u"f9999.txt");
}

TEST(ResolveFolder, ResolvesLikeTheFileSystem) {
  EXPECT_EQ(ResolveFolder(u"/tmp", u"/x/"), u"/tmp/");
  EXPECT_EQ(ResolveFolder(u"sub", u"/x/"), u"/x/sub/");
  EXPECT_EQ(ResolveFolder(u"../y/./z//", u"/x/w/"), u"/x/y/z/");
  EXPECT_EQ(ResolveFolder(u"/..", u"/x/"), u"/");
  EXPECT_EQ(ResolveFolder(u"", u"/x/"), u"");
}

TEST(RealFilePath, ResolvesTheFolderAsTheKernelDoesAndKeepsTheName) {
  TempFolder folder;
  char* real = ::realpath(folder.Native().c_str(), nullptr);
  ASSERT_NE(real, nullptr);
  const Text x = TextOfNativePath(real) + u"/x/";
  std::free(real);
  folder.MakeFolder("x");
  folder.MakeFolder("x/w");
  folder.MakeFolder("x/w/deep");
  folder.MakeFolder("x/b");
  ::symlink("w/deep", folder.Native("x/lnk").c_str());  // a link to a folder two levels down
  ::symlink("b/a.txt", folder.Native("x/note.txt").c_str());
  const struct {
    Text path, base, expected;
  } cases[] = {
      {u"a.txt", x, x + u"a.txt"},
      {u"../b/./a.txt", x + u"w/", x + u"b/a.txt"},
      {x + u"b//a.txt", u"/", x + u"b/a.txt"},
      {u"..a.txt", x, x + u"..a.txt"},  // a name, not the folder above
      {u"\xDCB0\xDCA1.txt", x, x + u"\xDCB0\xDCA1.txt"},
      // ".." after a link leaves the folder the link leads to, not the link's own.
      {u"lnk/../a.txt", x, x + u"w/a.txt"},
      {u"lnk/../../b/a.txt", x, x + u"b/a.txt"},
      // A link named as the file keeps its name: the caption shows it, a save follows it.
      {u"note.txt", x, x + u"note.txt"},
      // A folder that is not there: kept as given, for opening to report.
      {u"gone/../a.txt", x, x + u"gone/../a.txt"},
      // Folders: no name to keep.
      {u".", x + u"w/", x + u"w"},
      {u"w/..", x, x.substr(0, x.size() - 1)},
      {u"lnk/..", x, x + u"w"},
      {u"w/", x, x + u"w"},
      {u"/", x, u"/"},
      {u"", x, u""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RealFilePath(c.path, c.base), c.expected) << ::testing::PrintToString(c.path);
  }
}

TEST(FolderListing, RemembersTheFolderLeftBehind) {
  TempFolder folder;
  folder.MakeFolder("a");
  folder.MakeFolder("b");
  folder.Write("b/one.txt", "x");
  FolderListing listing(folder.Path("a"));
  ASSERT_EQ(listing.SetFolder(folder.Path("b")), 0);
  EXPECT_EQ(listing.IndexOf(u"one.txt"), 0);
  EXPECT_EQ(listing.IndexOf(u"ONE.txt"), -1);  // names compare exactly
  // The same folder again keeps the folder left behind.
  ASSERT_EQ(listing.SetFolder(folder.Path("b")), 0);
  EXPECT_EQ(listing.Previous(), folder.Path("a/"));
  // A folder that cannot be entered changes nothing.
  EXPECT_EQ(listing.SetFolder(folder.Path("c")), ENOENT);
  EXPECT_EQ(listing.Folder(), folder.Path("b/"));
  EXPECT_EQ(listing.Names(), std::vector<Text>{u"one.txt"});
  EXPECT_EQ(FolderListing(u"/").ReportedFolder(), u"/");  // as "LastPath"

  // The folder is deleted while it is shown: the list empties, nothing hangs.
  ::unlink(folder.Native("b/one.txt").c_str());
  ::rmdir(folder.Native("b").c_str());
  EXPECT_EQ(listing.Refresh(), ENOENT);
  EXPECT_TRUE(listing.Names().empty());
}

TEST(DefaultFolderTarget, BesideTheProgramElseInTheHomeFolder) {
  TempFolder folder;
  folder.MakeFolder("bin");
  folder.MakeFolder("home");
  EXPECT_EQ(DefaultFolderTarget(folder.Path("bin"), folder.Path("home"), u"/start/"), folder.Path("bin/MOK_TXT/"));
  EXPECT_TRUE(folder.Exists("bin/MOK_TXT"));
  // A program folder where nothing can be made: the home folder.
  EXPECT_EQ(DefaultFolderTarget(folder.Path("none/bin"), folder.Path("home"), u"/start/"),
            folder.Path("home/MOK_TXT/"));
  EXPECT_EQ(DefaultFolderTarget(folder.Path("none/bin"), folder.Path("none/home"), u"/start"), u"/start/");
}

}  // namespace
}  // namespace mok::testing
