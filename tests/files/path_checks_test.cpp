#include "files/path_checks.h"

#include <gtest/gtest.h>

#include "files/folder_listing.h"
#include "tests/support/hex.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/temp_folder.h"

namespace mok::testing {
namespace {

const Text kBadCharMessage = u"文件名里不能有 半角的 \"*/:<>?\\|";

TEST(FindBadChar, GivesThePositionOfTheFirstOfTheNineCharacters) {
  ScriptedPrompts prompts;
  EXPECT_EQ(FindBadChar(u"notes.txt", prompts), 0);
  EXPECT_TRUE(prompts.messages.empty());
  EXPECT_EQ(FindBadChar(u"a?b:c", prompts), 2);
  EXPECT_EQ(FindBadChar(u"\\", prompts), 1);
  EXPECT_EQ(FindBadChar(u"\xFF1F", prompts), 0);  // the full-width question mark is allowed
  ASSERT_EQ(prompts.messages.size(), 2u);
  EXPECT_EQ(prompts.messages[0].buttons, MessageButtons::Ok);
}

TEST(MendName, RepairsTheNameAndSelectsWhatItChanged) {
  struct Case {
    Text typed;
    Text expected;  // empty: the name stands as typed
    std::int32_t sel_start, sel_length;
    bool forbidden = false;  // refused with the message, not selected in the list
  };
  const Case cases[] = {
      {u"notes", u"notes.txt", 5, 4},
      {u"notes.txt", u"", 0, 0},  // a second Enter accepts it
      {u" notes . txt ", u"notes.txt", 5, 0},
      {u"a.12345678", u"", 0, 0},
      {u"data.backup2024", u"data.backup2024.txt", 15, 4},
      {u".profile", u".profile.txt", 8, 4},
      {u"name.", u"name..txt", 5, 4},
      {u"", u"!未起名.txt", 0, 4},
      {u".", u"!未起名.txt", 0, 4},
      {u"..", u"!未起名.txt", 0, 4},
      {u".txt", u"!未起名.txt", 0, 4},
      {u".TXT", u".TXT.txt", 4, 4},
      {u"a?b.txt", u"a?b.txt", 1, 1, true},  // the first forbidden character selected
      {u"a/b", u"a/b", 1, 1, true},
      {u"  x|y  ", u"x|y", 1, 1, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Hex(c.typed));
    ScriptedPrompts prompts;
    const MendedName mended = MendName(c.typed, u"/tmp/", false, prompts);
    ASSERT_EQ(prompts.messages.size(), c.forbidden ? 1u : 0u);
    if (c.forbidden) {
      EXPECT_EQ(prompts.messages[0].text, kBadCharMessage);
    }
    EXPECT_EQ(mended.select_in_list, !c.forbidden);
    EXPECT_EQ(mended.changed, !c.expected.empty());
    EXPECT_EQ(mended.replace, !c.expected.empty());
    if (c.expected.empty()) continue;
    EXPECT_EQ(mended.text, c.expected);
    EXPECT_EQ(mended.sel_start, c.sel_start);
    EXPECT_EQ(mended.sel_length, c.sel_length);
  }
}

TEST(MendName, MakesTheNameUniqueInTheFolder) {
  TempFolder folder;
  folder.Write("notes.txt", "");
  folder.Write("notes_2.txt", "");
  folder.MakeFolder("plan.txt");  // a folder takes a name too
  ScriptedPrompts prompts;
  MendedName mended = MendName(u"notes.txt", folder.Path(), true, prompts);
  EXPECT_EQ(mended.text, u"notes_2_2.txt");
  EXPECT_EQ(mended.sel_start, 5);
  EXPECT_EQ(mended.sel_length, 4);  // "_2_2"
  mended = MendName(u"plan.txt", folder.Path(), true, prompts);
  EXPECT_EQ(mended.text, u"plan_2.txt");
  mended = MendName(u"new.txt", folder.Path(), true, prompts);
  EXPECT_FALSE(mended.changed);
}

TEST(MendName, LimitsFolderAndNameTo200Characters) {
  const Text folder = u"/" + Text(188, u'f') + u"/";  // 190 characters with its slashes
  ScriptedPrompts prompts;
  MendedName mended = MendName(u"abcdef.txt", folder, false, prompts);
  EXPECT_FALSE(mended.changed);
  EXPECT_TRUE(prompts.messages.empty());
  mended = MendName(u"abcdefg.txt", folder, false, prompts);
  EXPECT_TRUE(mended.changed);
  EXPECT_FALSE(mended.replace);  // the name box stays as it is
  ASSERT_EQ(prompts.messages.size(), 1u);
  EXPECT_EQ(prompts.messages[0].text, folder + u"abcdefg.txt\r\n\r\n路径字数 201  超出 1");
}

// Tidying and moving as the browser's path box does it: file_browser_test.cpp.
TEST(PathBox, TidiesAndMovesOrFails) {
  EXPECT_EQ(TidyPathBox(u"  /tmp/a b  "), u"/tmp/a b");
  EXPECT_EQ(TidyPathBox(u"   "), u"");

  TempFolder folder;
  folder.MakeFolder("sub");
  FolderListing listing(folder.Path("sub"));
  int error = -1;
  EXPECT_EQ(CheckPathBox(folder.Path("sub/"), listing, error), PathBoxResult::kSame);
  EXPECT_EQ(CheckPathBox(u"..", listing, error), PathBoxResult::kMoved);  // relative to the current folder
  EXPECT_EQ(listing.Folder(), folder.Path());
  EXPECT_EQ(CheckPathBox(folder.Path("missing/"), listing, error), PathBoxResult::kFailed);
  EXPECT_EQ(error, ENOENT);
  EXPECT_EQ(CheckPathBox(u"", listing, error), PathBoxResult::kFailed);
  EXPECT_EQ(listing.Folder(), folder.Path());
}

}  // namespace
}  // namespace mok::testing
