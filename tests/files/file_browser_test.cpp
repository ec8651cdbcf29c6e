#include "files/file_browser.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/qt_text.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/temp_folder.h"

namespace mok::testing {
namespace {

QSettings Settings() {
  return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("MOK"), QStringLiteral("MOK"));
}

class FileBrowserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QSettings settings = Settings();
    settings.clear();
    settings.setValue(QStringLiteral("Paths/LastPath"), ToQString(folder.Path()));
    settings.sync();
    folder.Write("b.txt", "b");
    folder.Write("a.txt", "a");
    folder.Write("c.log", "c");
    folder.MakeFolder("sub");
    folder.Write("sub/in.txt", "x");
    browser = std::make_unique<FileBrowser>(prompts);
  }

  template <typename Widget>
  Widget* Find(const char* name) {
    auto* widget = browser->findChild<Widget*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }
  QLineEdit* PathBox() { return Find<QLineEdit>("txtPath"); }
  QLineEdit* NameBox() { return Find<QLineEdit>("txtA"); }
  QListWidget* List() { return Find<QListWidget>("filA"); }
  QComboBox* Formats() { return Find<QComboBox>("cboPat"); }
  QCheckBox* Bom() { return Find<QCheckBox>("chkBom"); }
  QStringList Entries() {
    QStringList entries;
    for (int i = 0; i < List()->count(); ++i) entries << List()->item(i)->text();
    return entries;
  }
  void Activate(bool open, const Text& way = {}, std::int16_t format = 0) {
    browser->bOpen = open;
    browser->sWay = way;
    browser->nPat = format;
    ASSERT_TRUE(browser->Form_Activate());
  }
  void Choose(const QString& name) {
    const QList<QListWidgetItem*> found = List()->findItems(name, Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << name.toStdString();
    List()->setCurrentItem(found[0]);
  }

  // Shows the real modal dialog; once it is up, user() acts as the user would.
  // A dialog still open afterwards is cancelled.
  void RunModal(bool open, const Text& way, const std::function<void()>& user) {
    browser->bOpen = open;
    browser->sWay = way;
    browser->nPat = 0;
    QTimer::singleShot(0, [this, &user] {
      QWidget* dialog = QApplication::activeModalWidget();
      EXPECT_EQ(dialog, browser.get());
      if (dialog != nullptr) {
        dialog->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(dialog));
        user();
      }
      if (browser->isVisible()) browser->cmdA_Click(1);
    });
    browser->RunModal();
  }
  // Enter in the path box with this folder typed.
  void EnterFolder(const Text& folder_typed) {
    PathBox()->setFocus();
    PathBox()->setText(ToQString(folder_typed));
    QTest::keyClick(PathBox(), Qt::Key_Return);
  }
  // The one entry the list shows selected, or "" for none.
  QString Selected() {
    const QList<QListWidgetItem*> selected = List()->selectedItems();
    return selected.size() == 1 ? selected[0]->text() : QString();
  }
  // The folder without its final "/": the list is read again, as for another folder.
  Text Unslashed(const std::string& name = "") {
    Text path = folder.Path(name);
    path.pop_back();
    return path;
  }

  TempFolder folder;
  ScriptedPrompts prompts;
  std::unique_ptr<FileBrowser> browser;
};

TEST_F(FileBrowserTest, BuildsInTheRememberedFolderWithTheTxtFilter) {
  EXPECT_EQ(PathBox()->text(), ToQString(folder.Path()));
  Activate(true);
  EXPECT_FALSE(NameBox()->isEnabled());
  EXPECT_FALSE(Find<QPushButton>("cmdMend")->isEnabled());
  EXPECT_EQ(Entries(), (QStringList{"a.txt", "b.txt"}));
  Find<QCheckBox>("chkFilter")->click();
  EXPECT_EQ(Entries(), (QStringList{"a.txt", "b.txt", "c.log"}));
}

TEST_F(FileBrowserTest, SavingProposesTheFormatAndOkReturnsIt) {
  struct Case {
    std::int16_t proposed;
    int entry;
    bool bom;
    std::int16_t returned;
  };
  for (const Case& c : {Case{8, 5, false, 8}, Case{0, 4, true, 4}, Case{2, 2, false, 2}, Case{6, 6, true, 6}}) {
    Activate(false, folder.Path("a.txt"), c.proposed);
    EXPECT_EQ(Formats()->currentIndex(), c.entry) << c.proposed;
    EXPECT_EQ(Bom()->isChecked(), c.bom) << c.proposed;
    EXPECT_EQ(Bom()->isEnabled(), c.entry >= 4) << c.proposed;
    EXPECT_EQ(NameBox()->text(), QStringLiteral("a.txt"));
    EXPECT_EQ(NameBox()->selectedText(), QStringLiteral("a.txt"));
    EXPECT_EQ(List()->currentRow(), 0);
    browser->cmdA_Click(0);
    EXPECT_EQ(browser->sWay, folder.Path("a.txt"));
    EXPECT_EQ(browser->nPat, c.returned);
  }
  // GBK unchecks and disables the switch; UTF-8 checks it; unchecked gives 9.
  Activate(false, {}, 4);
  EXPECT_EQ(NameBox()->text(), QStringLiteral("!未起名"));
  EXPECT_EQ(NameBox()->selectedText(), QStringLiteral("!未起名"));
  Formats()->setCurrentIndex(1);
  EXPECT_FALSE(Bom()->isChecked() || Bom()->isEnabled());
  Formats()->setCurrentIndex(6);
  EXPECT_TRUE(Bom()->isChecked() && Bom()->isEnabled());
  Bom()->setChecked(false);
  NameBox()->setText(QStringLiteral("new.txt"));
  browser->cmdA_Click(0);
  EXPECT_EQ(browser->sWay, folder.Path("new.txt"));
  EXPECT_EQ(browser->nPat, 9);
}

TEST_F(FileBrowserTest, OpeningTakesTheChosenFileAndResetsTheFormat) {
  Activate(true);
  browser->cmdA_Click(0);  // nothing chosen: the dialog stays
  EXPECT_TRUE(browser->sWay.empty());
  Formats()->setCurrentIndex(6);
  Choose("b.txt");
  EXPECT_EQ(NameBox()->text(), QStringLiteral("b.txt"));
  EXPECT_EQ(Formats()->currentIndex(), 0);  // choosing a file starts from 自动选择
  Formats()->setCurrentIndex(6);
  Bom()->setChecked(false);
  browser->filA_DblClick();
  EXPECT_EQ(browser->sWay, folder.Path("b.txt"));
  EXPECT_EQ(browser->nPat, 9);
}

TEST_F(FileBrowserTest, FolderButtonsAndThePathBox) {
  Activate(true);
  PathBox()->setText(u'\x20' + ToQString(folder.Path("sub")) + QStringLiteral("  /"));
  EXPECT_TRUE(browser->txtPath_Validate());
  EXPECT_EQ(PathBox()->text(), ToQString(folder.Path("sub/")));
  EXPECT_EQ(Entries(), QStringList{"in.txt"});
  // "后退" twice returns to where it started, the root folder too.
  browser->cmdDef_Click(1);
  EXPECT_EQ(browser->Listing().Folder(), folder.Path());
  browser->cmdDef_Click(1);
  EXPECT_EQ(browser->Listing().Folder(), folder.Path("sub/"));
  EXPECT_EQ(PathBox()->text(), ToQString(folder.Path("sub/")));
  PathBox()->setText(QStringLiteral("/"));
  ASSERT_TRUE(browser->txtPath_Validate());
  browser->cmdDef_Click(1);
  browser->cmdDef_Click(1);
  EXPECT_EQ(browser->Listing().Folder(), u"/");
  browser->cmdDef_Click(1);
  EXPECT_EQ(browser->Listing().Folder(), folder.Path("sub/"));

  // A folder that cannot be entered: the question, then Yes restores the box.
  PathBox()->setText(ToQString(folder.Path("missing")));
  prompts.AnswerNext(MessageAnswer::Yes);
  EXPECT_FALSE(browser->txtPath_Validate());
  ASSERT_EQ(prompts.messages.size(), 1u);
  EXPECT_EQ(prompts.messages[0].text, u"路径有错，是否自动撤消？");
  EXPECT_EQ(PathBox()->text(), ToQString(folder.Path("sub/")));
  // No keeps the typed text, and no other control acts on the folder until it is right.
  PathBox()->setText(ToQString(folder.Path("missing")));
  prompts.AnswerNext(MessageAnswer::No);
  prompts.AnswerNext(MessageAnswer::No);
  EXPECT_FALSE(browser->txtPath_Validate());
  browser->cmdDef_Click(1);
  EXPECT_EQ(PathBox()->text(), ToQString(folder.Path("missing")));
  EXPECT_EQ(browser->Listing().Folder(), folder.Path("sub/"));
  EXPECT_EQ(prompts.messages.size(), 3u);

  // A target that has gone since: the message, the folder stays.
  folder.MakeFolder("sub2");
  PathBox()->setText(ToQString(folder.Path("sub2")));
  EXPECT_TRUE(browser->txtPath_Validate());
  ::unlink(folder.Native("sub/in.txt").c_str());
  ::rmdir(folder.Native("sub").c_str());
  browser->cmdDef_Click(1);
  ASSERT_EQ(prompts.messages.size(), 4u);
  EXPECT_EQ(prompts.messages[3].text, folder.Path("sub/") + u"\r\n\r\n路径错误~ 路径不存在");
  EXPECT_EQ(browser->Listing().Folder(), folder.Path("sub2/"));
}

TEST_F(FileBrowserTest, AFolderLongerThanThePathBoxStaysWhereItIs) {
  const std::string part(60, 'd');
  std::string deep;
  for (int i = 0; i < 4; ++i) {
    deep += part + "/";
    folder.MakeFolder(deep);
  }
  folder.Write(deep + "x.txt", "x");
  Activate(true);
  for (int i = 0; i < 4; ++i) {
    PathBox()->setText(QString::fromStdString(part));  // one folder down
    ASSERT_TRUE(browser->txtPath_Validate());
  }
  EXPECT_EQ(PathBox()->text().size(), 200);  // the box shows it cut short
  Choose("x.txt");
  browser->cmdA_Click(0);
  EXPECT_EQ(browser->sWay, folder.Path(deep + "x.txt"));
  EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(FileBrowserTest, TheDefaultFolderStandsInForAFolderThatHasGone) {
  const Text beside_program = ToText(QCoreApplication::applicationDirPath()) + u"/MOK_TXT/";
  // Gone before the dialog is built: the remembered folder.
  Settings().setValue(QStringLiteral("Paths/LastPath"), ToQString(folder.Path("gone")));
  FileBrowser fresh(prompts);
  EXPECT_EQ(fresh.Listing().Folder(), beside_program);
  EXPECT_EQ(fresh.FolderTarget(0), beside_program);
  // Gone while the dialog is hidden.
  folder.MakeFolder("doomed");
  Activate(true);
  PathBox()->setText(ToQString(folder.Path("doomed")));
  ASSERT_TRUE(browser->txtPath_Validate());
  browser->cmdA_Click(1);
  ::rmdir(folder.Native("doomed").c_str());
  Activate(true);
  EXPECT_EQ(browser->Listing().Folder(), beside_program);
  EXPECT_EQ(PathBox()->text(), ToQString(beside_program));
  EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(FileBrowserTest, TheNameBoxMendsAndTheListFollowsIt) {
  Activate(false, folder.Path("a.txt"), 9);
  NameBox()->setText(QStringLiteral("a.txt"));
  browser->cmdMend_Click();  // 改名: a name not taken yet
  EXPECT_EQ(NameBox()->text(), QStringLiteral("a_2.txt"));
  EXPECT_EQ(NameBox()->selectedText(), QStringLiteral("_2"));
  NameBox()->setText(QStringLiteral("b.txt"));
  browser->txtA_Enter();
  EXPECT_EQ(List()->currentRow(), 1);  // the list shows the name typed
  // ... in the folder moved to, by the path box or a folder button.
  PathBox()->setText(ToQString(folder.Path("sub")));
  ASSERT_TRUE(browser->txtPath_Validate());
  EXPECT_EQ(List()->currentRow(), -1);
  browser->cmdDef_Click(1);
  EXPECT_EQ(List()->currentRow(), 1);
}

TEST_F(FileBrowserTest, DeleteAsksWithNoAsDefaultAndEmptiesTheNameBox) {
  const QString trash = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/Trash";
  Activate(true);
  Choose("a.txt");
  prompts.AnswerNext(MessageAnswer::No);
  browser->cmdDelFile_Click();
  ASSERT_EQ(prompts.messages.size(), 1u);
  EXPECT_EQ(prompts.messages[0].text,
            folder.Path("a.txt") + u"\r\n\r\n是否删除？\r\n\r\n(通常，硬盘文件进回收站，U盘文件直接删除)");
  EXPECT_EQ(prompts.messages[0].buttons, MessageButtons::YesNoDefaultNo);
  EXPECT_TRUE(folder.Exists("a.txt"));
  prompts.AnswerNext(MessageAnswer::Yes);
  browser->cmdDelFile_Click();
  EXPECT_FALSE(folder.Exists("a.txt"));
  EXPECT_EQ(Entries(), QStringList{"b.txt"});
  EXPECT_TRUE(NameBox()->text().isEmpty());
  QDir(trash).removeRecursively();
}

TEST_F(FileBrowserTest, CancelEscAndCloseBoxCancelOnlyTheCloseBoxRemembers) {
  Settings().remove(QStringLiteral("Paths/LastPath"));
  Activate(false, folder.Path("a.txt"), 9);
  browser->cmdA_Click(1);
  EXPECT_TRUE(browser->sWay.empty());
  EXPECT_EQ(browser->nPat, 9);
  Activate(false, folder.Path("a.txt"), 9);
  browser->cmdA_Click(0);
  EXPECT_FALSE(Settings().contains(QStringLiteral("Paths/LastPath")));  // OK does not store it

  // The real modal dialog: Esc, then the close box.
  PathBox()->setText(ToQString(folder.Path("sub")));
  ASSERT_TRUE(browser->txtPath_Validate());
  for (const bool close_box : {false, true}) {
    browser->bOpen = true;
    browser->sWay = folder.Path("a.txt");
    QTimer::singleShot(0, [close_box] {
      QWidget* dialog = QApplication::activeModalWidget();
      ASSERT_NE(dialog, nullptr);
      if (close_box) {
        dialog->close();
      } else {
        QTest::keyClick(dialog, Qt::Key_Escape);
      }
    });
    browser->RunModal();
    EXPECT_TRUE(browser->sWay.empty());
    EXPECT_FALSE(browser->isVisible());
    EXPECT_EQ(browser->Closed(), close_box);
    EXPECT_EQ(Settings().contains(QStringLiteral("Paths/LastPath")), close_box);
  }
  EXPECT_EQ(Settings().value(QStringLiteral("Paths/LastPath")).toString(), ToQString(folder.Path("sub")));
}

TEST_F(FileBrowserTest, FocusOnTheListNeverChoosesAnEntryWhenOpening) {
  folder.Write("a:b.txt", "colon");  // a name Linux allows, though it cannot be typed for saving
  std::vector<std::pair<std::string, std::string>> seen;  // the selected entry and the name box, step by step
  auto look = [&] { seen.emplace_back(Selected().toStdString(), NameBox()->text().toStdString()); };
  bool focus_in_list = false;
  RunModal(true, {}, [&] {
    focus_in_list = QApplication::focusWidget() == List();
    look();                     // as shown: the focus is in the list
    browser->cmdA_Click(0);     // OK with nothing selected does nothing
    EXPECT_TRUE(browser->isVisible());
    EnterFolder(Unslashed());  // the list is read again and gets the focus
    look();
    browser->cmdDef_Click(0);  // a folder button
    browser->cmdDef_Click(1);
    look();
    browser->cmdDelFile_Click();  // nothing selected: nothing to delete, nothing asked
    browser->cmdA_Click(0);
    EXPECT_TRUE(browser->isVisible());
    // The first arrow key selects the first entry; typing in the list selects by name.
    QTest::keyClick(List(), Qt::Key_Down);
    look();
    QTest::keyClicks(List(), QStringLiteral("b"));
    look();
    QTest::keyClick(List(), Qt::Key_Up);
    look();
    // Ctrl+Space takes the selection away: nothing to open, the name box empty.
    QTest::keyClick(List(), Qt::Key_Space, Qt::ControlModifier);
    look();
    browser->cmdA_Click(0);
    EXPECT_TRUE(browser->isVisible());
    QTest::keyClick(List(), Qt::Key_Space, Qt::ControlModifier);
    QTest::keyClick(List(), Qt::Key_Return);  // to OK, then OK
    EXPECT_EQ(QApplication::focusWidget(), Find<QPushButton>("cmdA_0"));
    browser->cmdA_Click(0);
  });
  EXPECT_TRUE(focus_in_list);
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"", ""}, {"", ""}, {"", ""}, {"a.txt", "a.txt"}, {"b.txt", "b.txt"}, {"a:b.txt", "a:b.txt"}, {"", ""}};
  EXPECT_EQ(seen, expected);
  EXPECT_EQ(browser->sWay, folder.Path("a:b.txt"));
  EXPECT_TRUE(prompts.messages.empty());
  EXPECT_TRUE(folder.Exists("a.txt") && folder.Exists("b.txt"));
}

TEST_F(FileBrowserTest, ATypedNameSurvivesEveryChangeOfFolderWhenSaving) {
  folder.MakeFolder("other");
  folder.Write("other/a.txt", "x");
  folder.Write("other/b.txt", "x");
  std::vector<std::pair<std::string, std::string>> seen;
  auto look = [&] { seen.emplace_back(Selected().toStdString(), NameBox()->text().toStdString()); };
  RunModal(false, folder.Path("a.txt"), [&] {
    look();  // the proposed name, marked in the list
    QTest::keyClicks(NameBox(), QStringLiteral("b.txt"));  // typed over the selected name
    look();  // b.txt exists here, so the list marks it; a.txt is no longer marked
    NameBox()->selectAll();
    QTest::keyClicks(NameBox(), QStringLiteral("new.txt"));
    look();
    EnterFolder(Unslashed());  // the same folder, read again; the focus goes to the list
    look();
    EnterFolder(folder.Path("other"));
    look();
    browser->cmdDef_Click(1);  // 后退
    look();
    browser->cmdDef_Click(0);  // 默认路径
    look();
    browser->cmdDelFile_Click();  // nothing selected: nothing asked
    EnterFolder(Unslashed("other/"));
    browser->cmdA_Click(0);
  });
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"a.txt", "a.txt"}, {"b.txt", "b.txt"},     {"", "new.txt"}, {"", "new.txt"},
      {"", "new.txt"},    {"", "new.txt"},        {"", "new.txt"}};
  EXPECT_EQ(seen, expected);
  EXPECT_EQ(browser->sWay, folder.Path("other/new.txt"));
  EXPECT_TRUE(prompts.messages.empty());
}

// The overwrite that must not happen: a.txt open, b.txt typed, the folder typed
// again and Enter, then 保存: b.txt is what is chosen, in that folder.
TEST_F(FileBrowserTest, SavingUnderANewNameAfterEnterInThePathBoxKeepsTheNewName) {
  folder.MakeFolder("there");
  folder.Write("there/a.txt", "x");
  RunModal(false, folder.Path("a.txt"), [&] {
    QTest::keyClicks(NameBox(), QStringLiteral("c.txt"));
    EnterFolder(folder.Path("there"));
    EXPECT_EQ(QApplication::focusWidget(), List());
    QTest::mouseClick(Find<QPushButton>("cmdA_0"), Qt::LeftButton);  // 保 存  &Y
  });
  EXPECT_EQ(browser->sWay, folder.Path("there/c.txt"));
  EXPECT_TRUE(prompts.messages.empty());
}

}  // namespace
}  // namespace mok::testing
