#include "files/file_commands.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMenu>

#include <sys/stat.h>

#include <functional>
#include <string>
#include <vector>

#include "codec/file_attributes.h"
#include "files/file_browser.h"
#include "files/folder_listing.h"
#include "tests/support/temp_folder.h"
#include "tests/support/window_fixture.h"

namespace mok::testing {
namespace {

const Text kTitle = u"  ~Mokrin";

class FileCommandsTest : public WindowTest {
 protected:
  // The next file browser does what a user does: it is activated as shown,
  // goes to the test folder through the path box, then takes the file name
  // (chosen in the list when opening, typed when saving; empty keeps what the
  // dialog proposes), the format entry (-1 keeps it) and the BOM switch, and
  // ends with OK. between runs just before OK.
  void Pick(const std::string& name, int entry = -1, bool bom = true, std::function<void()> between = {}) {
    prompts->OnNextDialog([=, this](ModalDialog& dialog) {
      auto& browser = static_cast<FileBrowser&>(dialog);
      ASSERT_TRUE(browser.Form_Activate());
      browser.findChild<QLineEdit*>(QStringLiteral("txtPath"))->setText(Q(folder.Path()));
      ASSERT_TRUE(browser.txtPath_Validate());
      if (browser.bOpen) {
        const int row = browser.Listing().IndexOf(TextOfNativePath(name));
        ASSERT_GE(row, 0) << name;
        browser.findChild<QListWidget*>(QStringLiteral("filA"))->setCurrentRow(row);
      } else if (!name.empty()) {
        browser.findChild<QLineEdit*>(QStringLiteral("txtA"))->setText(Q(TextOfNativePath(name)));
      }
      if (entry >= 0) {
        browser.findChild<QComboBox*>(QStringLiteral("cboPat"))->setCurrentIndex(entry);
        browser.findChild<QCheckBox*>(QStringLiteral("chkBom"))->setChecked(bom);
      }
      if (between) between();
      browser.cmdA_Click(0);
      ASSERT_FALSE(browser.sWay.empty());
    });
  }
  // The next file browser returns this path as if typed (no list can show it).
  void Return(const Text& path) {
    prompts->OnNextDialog([path](ModalDialog& dialog) {
      auto& browser = static_cast<FileBrowser&>(dialog);
      ASSERT_TRUE(browser.Form_Activate());
      browser.sWay = path;
      browser.nPat = 0;
    });
  }
  void Change(TextView text) {
    box().SetText(text);
    window->RecordState(u"改动");
  }
  FileMenuState Menu() {
    QMenu* files = window->menuBar()->findChild<QMenu*>(QStringLiteral("mnuFiles"));
    emit files->aboutToShow();
    return {Action(QStringLiteral("mnuSave"))->isChecked(), Action(QStringLiteral("mnuAttr"))->isEnabled()};
  }
  void ExpectUnchanged(TextView text) {
    EXPECT_EQ(box().GetText(), text);
    EXPECT_EQ(window->History().nCur(), TextHistory::kOriginal);
  }

  TempFolder folder;
};

TEST_F(FileCommandsTest, OkAndCancelKeepTheFileBrowserItsCloseBoxEndsIt) {
  window->frmB().nPat = 7;
  window->frmB().cmdA_Click(1);
  EXPECT_EQ(window->frmB().nPat, 7);
  window->frmB().close();
  EXPECT_EQ(window->frmB().nPat, 0);
  EXPECT_FALSE(window->frmB().Closed());
}

TEST_F(FileCommandsTest, ClearMakesTheEmptyTextTheSavedOriginal) {
  EXPECT_TRUE(Menu().save_checked);  // the empty original at start counts as saved
  EXPECT_FALSE(Menu().attributes_enabled);
  Change(u"abc");
  EXPECT_FALSE(Menu().save_checked);
  prompts->AnswerNext(MessageAnswer::No);
  Trigger(QStringLiteral("mnuClear"));
  EXPECT_EQ(box().GetText(), u"abc");
  prompts->AnswerNext(MessageAnswer::Yes);
  Trigger(QStringLiteral("mnuClear"));
  EXPECT_EQ(prompts->messages.back().text, u"当前文本尚未保存。是否要清空它？");
  EXPECT_TRUE(box().GetText().empty());
  EXPECT_EQ(Say(), u"清空作原始");
  EXPECT_EQ(T(window->windowTitle()), u"清空作原始" + kTitle);
  EXPECT_TRUE(Menu().save_checked);
  EXPECT_FALSE(Menu().attributes_enabled);
}

TEST_F(FileCommandsTest, OpensAFileAsTheOriginalAndShowsItsAttributes) {
  folder.Write("gbk.txt", "\xD6\xD0\xCE\xC4\r\n" + std::string(15996, 'a'));  // 中文: 16,000 characters
  Pick("gbk.txt");
  Trigger(QStringLiteral("mnuOpen"));
  ASSERT_EQ(box().TextLength(), 16000);
  EXPECT_EQ(box().GetText().substr(0, 4), u"中文\r\n");
  EXPECT_EQ(Say(), u"打开作原始");
  EXPECT_EQ(T(window->windowTitle()), u"gbk.txt" + kTitle);
  EXPECT_EQ(window->File().sFile, folder.Path("gbk.txt"));
  EXPECT_EQ(window->File().nFilePat, 1);
  EXPECT_TRUE(Menu().save_checked && Menu().attributes_enabled);

  QLocale::setDefault(QLocale::c());
  Trigger(QStringLiteral("mnuAttr"));
  QLocale::setDefault(QLocale::system());
  const ShownMessage& report = prompts->messages.back();
  EXPECT_EQ(report.title, u"当前文件属性" + kTitle);
  const Text expected_start = u"文件路径= " + folder.Path("gbk.txt") + u"\r\n\r\n文件属性=  存档\r\n\r\n" +
                              u"文件大小= 16,002 字节\r\n\r\n修改时间= ";
  EXPECT_EQ(report.text.substr(0, expected_start.size()), expected_start) << Hex(report.text);
  EXPECT_TRUE(report.text.ends_with(u"\r\n\r\n编码格式= GBK")) << Hex(report.text);

  // Reopening the unchanged file asks first.
  Pick("gbk.txt");
  prompts->AnswerNext(MessageAnswer::No);
  Trigger(QStringLiteral("mnuOpen"));
  EXPECT_EQ(prompts->messages.back().text, folder.Path("gbk.txt") + u"\r\n\r\n文件已经打开。是否要重新打开作原始？");
  // After a change and agreeing to drop it, no second question comes.
  Change(u"x");
  Pick("gbk.txt");
  prompts->AnswerNext(MessageAnswer::Yes);
  Trigger(QStringLiteral("mnuOpen"));
  EXPECT_EQ(prompts->messages.back().text, u"当前文本尚未保存。是否要清空它？");
  EXPECT_EQ(box().TextLength(), 16000);

  // The file deleted since: the attributes cannot be read.
  ::unlink(folder.Native("gbk.txt").c_str());
  Trigger(QStringLiteral("mnuAttr"));
  EXPECT_EQ(prompts->messages.back().text, folder.Path("gbk.txt") + u"\r\n\r\n属性读取 出错~ 文件不存在");
  EXPECT_EQ(prompts->messages.back().title, u"MOK");
}

TEST_F(FileCommandsTest, OpenRefusesWhatCannotBeTheText) {
  folder.Write("48002.txt", std::string(48002, 'a'));
  folder.Write("48003.txt", std::string(48003, 'a'));
  folder.Write("16001.txt", std::string(16001, 'a'));
  folder.Write("gone.txt", "x");
  ASSERT_EQ(::mkfifo(folder.Native("pipe").c_str(), 0644), 0);
  box().SetText(u"kept");
  window->SetOriginal(u"start");
  struct Case {
    std::function<void()> pick;
    Text message;
  };
  const Case cases[] = {
      {[&] { Pick("48002.txt"); }, folder.Path("48002.txt") + u"\r\n\r\n文本过长"},  // read, then too long
      {[&] { Pick("48003.txt"); }, folder.Path("48003.txt") + u"\r\n\r\n文件过大"},
      {[&] { Pick("16001.txt"); }, folder.Path("16001.txt") + u"\r\n\r\n文本过长"},
      {[&] { Pick("gone.txt", -1, true, [&] { ::unlink(folder.Native("gone.txt").c_str()); }); },
       folder.Path("gone.txt") + u"\r\n\r\n打开 未成~ 文件不存在"},
      {[&] { Return(folder.Path("pipe")); }, folder.Path("pipe") + u"\r\n\r\n打开 未成~ 不是普通文件"},
      {[&] { Return(u"/dev/zero"); }, u"/dev/zero\r\n\r\n打开 未成~ 不是普通文件"},
  };
  for (const Case& c : cases) {
    c.pick();
    Trigger(QStringLiteral("mnuOpen"));
    ASSERT_FALSE(prompts->messages.empty());
    EXPECT_EQ(prompts->messages.back().text, c.message) << Hex(prompts->messages.back().text);
    ExpectUnchanged(u"kept");
    EXPECT_TRUE(window->File().sFile.empty());
  }
  // Cancelling changes nothing and says nothing.
  const std::size_t shown = prompts->messages.size();
  prompts->OnNextDialog([](ModalDialog& dialog) { static_cast<FileBrowser&>(dialog).cmdA_Click(1); });
  Trigger(QStringLiteral("mnuOpen"));
  EXPECT_EQ(prompts->messages.size(), shown);
  ExpectUnchanged(u"kept");
}

// Names with characters that cannot be typed for saving still open: Linux
// allows them, and the file is there.
TEST_F(FileCommandsTest, AnyNameTheFolderHoldsOpens) {
  folder.Write("a:b?.txt", "colon");
  Pick("a:b?.txt");
  Trigger(QStringLiteral("mnuOpen"));
  EXPECT_TRUE(prompts->messages.empty());
  EXPECT_EQ(box().GetText(), u"colon");
  EXPECT_EQ(window->File().sFile, folder.Path("a:b?.txt"));
  EXPECT_EQ(T(window->windowTitle()), u"a:b?.txt" + kTitle);
}

TEST_F(FileCommandsTest, ChosenBomFormatFallsBackToTheSameEncodingWithout) {
  folder.Write("u8.txt", "\xE4\xB8\xAD\xE6\x96\x87\xE4\xB8\xAD\xE6\x96\x87");
  Pick("u8.txt", 6, true);  // UTF-8 with BOM chosen
  Trigger(QStringLiteral("mnuOpen"));
  EXPECT_EQ(box().GetText(), u"中文中文");
  EXPECT_EQ(window->File().nFilePat, 9);
}

TEST_F(FileCommandsTest, SavesWithQuestionsOnlyWhereNeeded) {
  box().SetText(Text(u"a\0b", 3));
  window->RecordState(u"改动");
  Pick("new.txt", 0);  // 自动选择 for a text from no file: UTF-16LE with mark
  Trigger(QStringLiteral("mnuSave"));
  EXPECT_EQ(folder.Read("new.txt"), std::string("\xFF\xFE" "a\0 \0b\0", 8));
  EXPECT_EQ(box().GetText(), Text(u"a\0b", 3));  // the box keeps its NUL
  EXPECT_EQ(window->File().nFilePat, 4);
  EXPECT_EQ(Say(), u"保存到文件");
  EXPECT_EQ(T(window->windowTitle()), u"new.txt" + kTitle);
  EXPECT_TRUE(Menu().save_checked);
  Change(u"second");
  EXPECT_FALSE(Menu().save_checked);

  Pick("");  // the same file again, proposed by the dialog: no question
  Trigger(QStringLiteral("mnuSave"));
  EXPECT_EQ(folder.Read("new.txt"), std::string("\xFF\xFE" "s\0e\0c\0o\0n\0d\0", 14));

  // Another existing file: asked, and No keeps it.
  folder.Write("other.txt", "old");
  Pick("other.txt", 6, false);
  prompts->AnswerNext(MessageAnswer::No);
  Trigger(QStringLiteral("mnuSave"));
  EXPECT_EQ(prompts->messages.back().text, folder.Path("other.txt") + u"\r\n\r\n文件已经存在。\r\n\r\n是否要改写文件？");
  EXPECT_EQ(folder.Read("other.txt"), "old");
  EXPECT_EQ(window->File().sFile, folder.Path("new.txt"));

  // The current file made read-only: asked with its attribute.
  ::chmod(folder.Native("new.txt").c_str(), 0444);
  Pick("", 6, false);
  prompts->AnswerNext(MessageAnswer::Yes);
  Trigger(QStringLiteral("mnuSave"));
  EXPECT_EQ(prompts->messages.back().text,
            folder.Path("new.txt") + u"\r\n\r\n文件已经存在。属性是 只读\r\n\r\n是否要改写文件？");
  EXPECT_EQ(folder.Read("new.txt"), "second");  // that it stays read-only: text_files_test.cpp
  EXPECT_EQ(window->File().nFilePat, 9);
}

TEST_F(FileCommandsTest, SaveFailuresChangeNothing) {
  folder.MakeFolder("dir.txt");
  Change(u"text");
  Pick("dir.txt");
  Trigger(QStringLiteral("mnuSave"));
  EXPECT_EQ(prompts->messages.back().text, folder.Path("dir.txt") + u"\r\n\r\n是文件夹。请另起文件名。");
  Return(folder.Path("none/x.txt"));
  Trigger(QStringLiteral("mnuSave"));
  EXPECT_EQ(prompts->messages.back().text, folder.Path("none/x.txt") + u"\r\n\r\n保存 未成~ 路径不存在");
  EXPECT_TRUE(window->File().sFile.empty());
  EXPECT_FALSE(window->History().IsSaved());
  EXPECT_EQ(T(window->windowTitle()), u"Mokrin");
}

TEST_F(FileCommandsTest, ANameInGbkBytesOpensAndSavesUnderItsOwnName) {
  const std::string name = "\xB2\xE2\xCA\xD4.txt";  // 测试.txt in GBK
  folder.Write(name, "\xD6\xD0\xCE\xC4");
  Pick(name);
  Trigger(QStringLiteral("mnuOpen"));
  EXPECT_EQ(box().GetText(), u"中文");
  Change(u"改了");
  // Saving proposes the file and the list shows its name chosen.
  Pick("", 6, false, [this] {
    EXPECT_EQ(window->frmB().findChild<QListWidget*>(QStringLiteral("filA"))->currentRow(), 0);
  });
  Trigger(QStringLiteral("mnuSave"));
  EXPECT_EQ(folder.Read(name), "\xE6\x94\xB9\xE4\xBA\x86");
  EXPECT_TRUE(prompts->messages.empty());
  std::vector<Text> names;
  ASSERT_EQ(ListFolder(folder.Path(), false, names), 0);
  EXPECT_EQ(names.size(), 1u);
}

}  // namespace
}  // namespace mok::testing
