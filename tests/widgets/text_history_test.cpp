#include "tests/support/hex.h"
#include "widgets/text_history.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace mok {
namespace {

using ::mok::testing::Hex;

using namespace std::string_literals;

#define EXPECT_TEXT(expected, actual) \
  EXPECT_EQ(Hex(Text(expected)), Hex(Text(actual)))

Text Decimal(std::int32_t n) {
  const std::string s = std::to_string(n);
  return Text(s.begin(), s.end());
}

Text Change(int n) { return u"change " + Text(1, static_cast<char16_t>(u'0' + n)); }

// Commits a text that is known to differ from the current state.
void CommitNew(TextHistory& history, const Text& text) {
  Text status = u"op";
  ASSERT_TRUE(history.Commit(text, status)) << Hex(text);
  EXPECT_TEXT(u"op", status);
}

// Commits changes first..last (inclusive) one after another.
void CommitChanges(TextHistory& history, int first, int last) {
  for (int n = first; n <= last; ++n) CommitNew(history, Change(n));
}

TEST(TextHistoryTest, StartsWithTheEmptySavedOriginal) {
  TextHistory history;
  EXPECT_EQ(history.nCur(), 8);
  EXPECT_EQ(history.nNewest(), 8);
  EXPECT_EQ(history.nOldest(), 0);
  EXPECT_EQ(history.nSaved(), 8);
  EXPECT_FALSE(history.CanGoBack());
  EXPECT_FALSE(history.CanGoForward());
  EXPECT_TRUE(history.IsSaved());
  EXPECT_TRUE(history.Current().text.empty());
  EXPECT_TRUE(history.Current().say.empty());
  for (int index = -1; index <= 4; ++index) EXPECT_FALSE(history.Step(index)) << index;
  EXPECT_EQ(history.nCur(), 8);
}

TEST(TextHistoryTest, FirstChangeEnablesBackThenUndoEnablesForward) {
  TextHistory history;
  Text status = u"\x7C98\x8D34";  // the paste command's name
  ASSERT_TRUE(history.Commit(u"abc", status));
  EXPECT_EQ(history.nCur(), 0);
  EXPECT_EQ(history.nNewest(), 0);
  EXPECT_TRUE(history.CanGoBack());
  EXPECT_FALSE(history.CanGoForward());
  EXPECT_FALSE(history.IsSaved());
  EXPECT_TEXT(u"abc", history.Current().text);
  EXPECT_TEXT(u"\x7C98\x8D34", history.Current().say);

  ASSERT_TRUE(history.Step(1));
  EXPECT_EQ(history.nCur(), 8);
  EXPECT_TRUE(history.Current().text.empty());
  EXPECT_FALSE(history.CanGoBack());
  EXPECT_TRUE(history.CanGoForward());
  EXPECT_TRUE(history.IsSaved());
}

TEST(TextHistoryTest, NinthChangeLosesTheFirstButNeverTheOriginal) {
  TextHistory history;
  history.SetOriginal(u"orig", u"open", 0, 0);
  CommitChanges(history, 1, 9);
  EXPECT_EQ(history.nOldest(), 1);
  EXPECT_EQ(history.nNewest(), 0);
  EXPECT_TEXT(Change(9), history.Current().text);

  for (int n = 8; n >= 2; --n) {
    ASSERT_TRUE(history.Step(1));
    EXPECT_TEXT(Change(n), history.Current().text);
  }
  EXPECT_EQ(history.nCur(), history.nOldest());
  ASSERT_TRUE(history.Step(1));  // the eighth undo skips the lost first change
  EXPECT_EQ(history.nCur(), 8);
  EXPECT_TEXT(u"orig", history.Current().text);
  EXPECT_FALSE(history.Step(1));

  ASSERT_TRUE(history.Step(2));
  EXPECT_TEXT(Change(2), history.Current().text);
  ASSERT_TRUE(history.Step(3));
  EXPECT_TEXT(Change(9), history.Current().text);
  EXPECT_FALSE(history.Step(2));
  EXPECT_FALSE(history.Step(3));
  ASSERT_TRUE(history.Step(0));
  EXPECT_TEXT(u"orig", history.Current().text);
  EXPECT_FALSE(history.Step(0));
}

TEST(TextHistoryTest, ChangeAfterUndoDropsTheRedoStates) {
  TextHistory history;
  CommitChanges(history, 1, 4);
  ASSERT_TRUE(history.Step(1));
  ASSERT_TRUE(history.Step(1));
  EXPECT_TEXT(Change(2), history.Current().text);
  CommitNew(history, u"other");
  EXPECT_EQ(history.nCur(), history.nNewest());
  EXPECT_FALSE(history.CanGoForward());
  EXPECT_FALSE(history.Step(2));
  EXPECT_FALSE(history.Step(3));
  ASSERT_TRUE(history.Step(1));
  EXPECT_TEXT(Change(2), history.Current().text);
  ASSERT_TRUE(history.Step(3));
  EXPECT_TEXT(u"other", history.Current().text);
}

TEST(TextHistoryTest, ChangeFromTheOriginalRestartsTheRingAtTheOldestSlot) {
  // Once with the ring partly used, once after it wrapped.
  for (const int changes : {3, 10}) {
    SCOPED_TRACE(changes);
    TextHistory history;
    CommitChanges(history, 1, changes);
    const std::int16_t oldest = history.nOldest();
    ASSERT_TRUE(history.Step(0));
    CommitNew(history, u"fresh");
    EXPECT_EQ(history.nCur(), oldest);
    EXPECT_EQ(history.nNewest(), oldest);
    EXPECT_EQ(history.nOldest(), oldest);
    EXPECT_FALSE(history.CanGoForward());
    ASSERT_TRUE(history.Step(1));
    EXPECT_EQ(history.nCur(), 8);
    ASSERT_TRUE(history.Step(2));
    EXPECT_TEXT(u"fresh", history.Current().text);
    EXPECT_FALSE(history.Step(2));
  }
}

TEST(TextHistoryTest, EqualTextIsReportedAndNotRecorded) {
  struct Case {
    const char* name;
    Text state;      // text of the current state (a ring state)
    Text committed;  // text of the box after the command
  };
  const Case cases[] = {
      {"identical", u"abc", u"abc"},
      {"nul where the state has a space", u"a b ", u"a\0b\0"s},
      {"only nuls", u"   ", u"\0\0\0"s},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TextHistory history;
    CommitNew(history, c.state);
    history.RememberSelection(1, 2);
    Text status = u"op2";
    EXPECT_FALSE(history.Commit(c.committed, status));
    EXPECT_TEXT(u"\x7ECF\x8FC7\x6539\x52A8\xFF0C\x4ECD\x7136\x76F8\x540C", status);
    EXPECT_EQ(history.nCur(), 0);
    EXPECT_EQ(history.nNewest(), 0);
    EXPECT_TRUE(history.CanGoBack());
    EXPECT_FALSE(history.CanGoForward());
    EXPECT_TEXT(u"op", history.Current().say);
    EXPECT_EQ(history.Current().sel_start, 1);
  }
  // The empty original against an empty box.
  TextHistory history;
  Text status = u"op";
  EXPECT_FALSE(history.Commit(u"", status));
  EXPECT_FALSE(history.CanGoBack());
  // A cut to a prefix or a growth by a NUL is a change.
  CommitNew(history, u"abc");
  CommitNew(history, u"ab");
  CommitNew(history, u"ab\0"s);
  EXPECT_TEXT(u"ab ", history.Current().text);
}

TEST(TextHistoryTest, NulsAreStoredAsSpacesExceptInTheOriginal) {
  TextHistory history;
  history.SetOriginal(u"a\0b"s, u"open", 0, 0);
  EXPECT_TEXT(u"a\0b"s, history.Current().text);
  // The original keeps its NUL, so the same box text is a new state (with a space).
  CommitNew(history, u"a\0b"s);
  EXPECT_TEXT(u"a b", history.Current().text);
  CommitNew(history, u"\0\0"s);
  EXPECT_TEXT(u"  ", history.Current().text);
  Text status = u"op";
  EXPECT_FALSE(history.Commit(u" \0"s, status));
}

TEST(TextHistoryTest, SavedFollowsTheSlotAndIsLostWhenTheSlotIsReused) {
  TextHistory history;
  CommitNew(history, Change(1));
  history.MarkCurrentSaved();
  EXPECT_TRUE(history.IsSaved());
  CommitNew(history, Change(2));
  EXPECT_FALSE(history.IsSaved());
  ASSERT_TRUE(history.Step(1));
  EXPECT_TRUE(history.IsSaved());  // back on the saved state
  ASSERT_TRUE(history.Step(3));
  EXPECT_FALSE(history.IsSaved());

  // Changes 3..9 bring the ring round to the saved slot.
  CommitChanges(history, 3, 8);
  EXPECT_EQ(history.nSaved(), 0);
  CommitNew(history, Change(9));
  EXPECT_EQ(history.nSaved(), -1);
  // The history holds nine states at most; the bounds keep a faulty ring from looping.
  for (int step = 0; step < 9 && history.Step(1); ++step) EXPECT_FALSE(history.IsSaved());
  EXPECT_EQ(history.nCur(), 8);
  for (int step = 0; step < 9 && history.Step(2); ++step) EXPECT_FALSE(history.IsSaved());
  EXPECT_EQ(history.nCur(), history.nNewest());

  // A restart from the original that lands on the saved slot loses it too.
  TextHistory restart;
  CommitNew(restart, Change(1));
  restart.MarkCurrentSaved();
  ASSERT_TRUE(restart.Step(0));
  CommitNew(restart, u"fresh");
  EXPECT_EQ(restart.nSaved(), -1);
  EXPECT_FALSE(restart.IsSaved());
}

TEST(TextHistoryTest, OpenedOriginalStaysSavedThroughAFullRing) {
  TextHistory history;
  CommitChanges(history, 1, 2);
  history.MarkOriginalSaved();
  history.SetOriginal(u"file text", u"open", 4, 0);
  EXPECT_EQ(history.nCur(), 8);
  EXPECT_EQ(history.nNewest(), 8);
  EXPECT_EQ(history.nOldest(), 0);  // left where it was
  EXPECT_TRUE(history.IsSaved());
  EXPECT_FALSE(history.CanGoBack());
  EXPECT_FALSE(history.CanGoForward());
  EXPECT_TEXT(u"open", history.Current().say);
  EXPECT_EQ(history.Current().sel_start, 4);

  CommitChanges(history, 1, 9);
  EXPECT_FALSE(history.IsSaved());
  for (int undo = 0; undo < 8; ++undo) ASSERT_TRUE(history.Step(1));
  EXPECT_EQ(history.nCur(), 8);
  EXPECT_TRUE(history.IsSaved());
  EXPECT_TEXT(u"file text", history.Current().text);

  // Pasting as original leaves nothing saved, not even the original.
  history.MarkNothingSaved();
  history.SetOriginal(u"pasted", u"paste", 0, 0);
  EXPECT_FALSE(history.IsSaved());
}

TEST(TextHistoryTest, EachStateKeepsItsOwnSelectionAndStatus) {
  TextHistory history;
  history.SetOriginal(u"0123456789", u"s0", 3, 2);
  CommitNew(history, u"first");
  history.RememberSelection(1, 1);
  Text status = u"s2";
  ASSERT_TRUE(history.Commit(u"second", status));
  history.RememberSelection(5, 0);

  ASSERT_TRUE(history.Step(1));
  EXPECT_EQ(history.Current().sel_start, 1);
  EXPECT_EQ(history.Current().sel_length, 1);
  EXPECT_TEXT(u"op", history.Current().say);
  ASSERT_TRUE(history.Step(0));
  EXPECT_EQ(history.Current().sel_start, 3);
  EXPECT_EQ(history.Current().sel_length, 2);
  EXPECT_TEXT(u"s0", history.Current().say);
  ASSERT_TRUE(history.Step(3));
  EXPECT_EQ(history.Current().sel_start, 5);
  EXPECT_TEXT(u"s2", history.Current().say);
}

TEST(TextHistoryTest, PositionLine) {
  struct Case {
    std::int32_t start;
    std::int32_t length;
    char16_t first;
    const char16_t* expected_second_line;  // nullptr: one line only
  };
  const Case cases[] = {
      {0, 0, u'x', nullptr},
      {7, 0, u'\t', nullptr},
      {5, 1, u'\t', u"[ ] UBE= 0009  GBK= 09"},
      {5, 2, u'\r', u"[ ] UBE= 000D  GBK= 0D"},
      {0, 1, u'\0', u"[ ] UBE= 0000  GBK= 00"},
      {12, 1, u'\x5B57', u"[\x5B57] UBE= 5B57  GBK= D7D6"},      // zi
      {0, 3, u'\x4E2D', u"[\x4E2D] UBE= 4E2D  GBK= D6D0"},       // zhong
      {0, 1, u'A', u"[A] UBE= 0041  GBK= 41"},
      {0, 1, u'?', u"[?] UBE= 003F  GBK= 3F"},
      {0, 1, u'\x20AC', u"[\x20AC] UBE= 20AC  GBK= 80"},         // euro sign
      {0, 1, u'\xD55C', u"[\xD55C] UBE= D55C  GBK= "},           // Hangul han
      {0, 1, u'\xD83D', u"[\xD83D] UBE= D83D  GBK= "},           // high surrogate
      {0, 1, u'\xDC80', u"[\xDC80] UBE= DC80  GBK= "},           // malformed byte 0x80
  };
  for (const Case& c : cases) {
    Text expected = u"\x4F4D\x4E8E " + Decimal(c.start) + u"  \x9009\x53D6 " + Decimal(c.length);
    if (c.expected_second_line != nullptr) expected += u"\r\n" + Text(c.expected_second_line);
    EXPECT_TEXT(expected, TextHistory::PositionLine(c.start, c.length, c.first))
        << "start " << c.start << " unit " << static_cast<unsigned>(c.first);
  }
  EXPECT_TEXT(u"\x4F4D\x4E8E 12  \x9009\x53D6 1\r\n[\x5B57] UBE= 5B57  GBK= D7D6",
              TextHistory::PositionLine(12, 1, u'\x5B57'));
}

}  // namespace
}  // namespace mok
