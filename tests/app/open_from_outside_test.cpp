// Files and text that reach the window from outside its menus: a file named on
// the command line, and files and text dropped onto the window.

#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include <unistd.h>

#include <string>
#include <vector>

#include "app/application.h"
#include "app/window_drops.h"
#include "files/file_browser.h"
#include "files/file_commands.h"
#include "tests/support/temp_folder.h"
#include "tests/support/window_fixture.h"

namespace mok::testing {
namespace {

const Text kTitle = u"  ~Mokrin";
// "中文" in UTF-8 with its mark: detected as format 6.
const std::string kUtf8Bom = "\xEF\xBB\xBF\xE4\xB8\xAD\xE6\x96\x87";

class OpenFromOutsideTest : public WindowTest {
 protected:
  // The window as the open command leaves it after opening this file.
  void ExpectOpened(const Text& path, const Text& name, TextView text, std::int16_t format) {
    EXPECT_EQ(box().GetText(), text);
    EXPECT_EQ(Say(), u"打开作原始");
    EXPECT_EQ(T(window->windowTitle()), name + kTitle);
    EXPECT_EQ(window->File().sFile, path);
    EXPECT_EQ(window->File().nFilePat, format);
    EXPECT_EQ(window->History().nCur(), TextHistory::kOriginal);
    EXPECT_TRUE(window->History().IsSaved());
    EXPECT_FALSE(window->History().CanGoBack());
  }

  std::vector<std::string> Start(std::vector<std::string> words) {
    return OpenStartFile(*window, words, folder.Path());
  }

  // Sends a drag's entering and its drop to a widget, then lets the window
  // run what the drop left for after it.
  void Drop(QWidget* target, const QMimeData& data, Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction) {
    const QPointF at(20, 20);
    QDragEnterEvent enter(at.toPoint(), actions, &data, Qt::LeftButton, Qt::NoModifier);
    enter.setDropAction(Qt::MoveAction);
    QCoreApplication::sendEvent(target, &enter);
    entered = enter.isAccepted();
    QDropEvent drop(at, actions, &data, Qt::LeftButton, Qt::NoModifier);
    drop.setDropAction(Qt::MoveAction);
    QCoreApplication::sendEvent(target, &drop);
    dropped = drop.isAccepted();
    action = drop.dropAction();
    QCoreApplication::processEvents();
  }

  void DropFiles(QWidget* target, const QList<QUrl>& urls) {
    QMimeData data;
    data.setUrls(urls);
    Drop(target, data);
  }
  void DropText(QWidget* target, const QString& text, Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction) {
    QMimeData data;
    data.setText(text);
    Drop(target, data, actions);
  }

  TempFolder folder;
  bool entered = false;
  bool dropped = false;
  Qt::DropAction action = Qt::IgnoreAction;
};

TEST_F(OpenFromOutsideTest, TheFileNamedOnTheCommandLineOpensAsTheOriginal) {
  folder.MakeFolder("sub");
  folder.Write("sub/u8.txt", kUtf8Bom);
  // A relative name, within the folder the program started in.
  EXPECT_TRUE(Start({"sub/../sub/u8.txt"}).empty());
  ExpectOpened(folder.Path("sub/u8.txt"), u"u8.txt", u"中文", 6);
  EXPECT_TRUE(prompts->messages.empty());

  // A name that is not UTF-8 (GBK bytes), opened by its own bytes.
  const std::string gbk_name = "\xB0\xA1.txt";
  folder.Write(gbk_name, "abc");
  EXPECT_TRUE(Start({folder.Native(gbk_name)}).empty());
  ExpectOpened(folder.Path(gbk_name), u"\xDCB0\xDCA1.txt", u"abc", 1);
}

// "lnk/../x.txt", lnk a link to a folder: the kernel's x.txt is the one beside
// the folder lnk leads to, and that is the file opened and later saved; the
// x.txt beside lnk itself is never touched.
TEST_F(OpenFromOutsideTest, TheCommandLineNameResolvesAsTheKernelDoesAndASaveWritesThatFile) {
  folder.MakeFolder("real");
  folder.MakeFolder("real/sub");
  ASSERT_EQ(::symlink(folder.Native("real/sub").c_str(), folder.Native("lnk").c_str()), 0);
  folder.Write("real/x.txt", "beside the target");
  folder.Write("x.txt", "beside the link");
  EXPECT_TRUE(Start({"lnk/../x.txt"}).empty());
  ExpectOpened(folder.Path("real/x.txt"), u"x.txt", u"beside the target", 1);

  box().SetText(u"saved");
  window->RecordState(u"改动");
  prompts->OnNextDialog([](ModalDialog& dialog) {  // 保存 with the name proposed
    auto& browser = static_cast<FileBrowser&>(dialog);
    ASSERT_TRUE(browser.Form_Activate());
    browser.cmdA_Click(0);
  });
  RunSave(*window);
  EXPECT_TRUE(prompts->messages.empty());
  EXPECT_EQ(folder.Read("real/x.txt"), "saved");
  EXPECT_EQ(folder.Read("x.txt"), "beside the link");
  EXPECT_EQ(window->File().sFile, folder.Path("real/x.txt"));
}

TEST_F(OpenFromOutsideTest, TheCommandLineFileGoesThroughTheOpenChecks) {
  folder.Write("48003.txt", std::string(48003, 'a'));
  EXPECT_TRUE(Start({"48003.txt"}).empty());
  EXPECT_EQ(prompts->Texts(), std::vector<std::u16string>{folder.Path("48003.txt") + u"\r\n\r\n文件过大"});
  EXPECT_EQ(prompts->messages[0].buttons, MessageButtons::Ok);
  EXPECT_EQ(box().GetText(), u"");
  EXPECT_EQ(T(window->windowTitle()), u"Mokrin");
  EXPECT_TRUE(window->File().sFile.empty());
}

TEST_F(OpenFromOutsideTest, OnlyTheFirstFileOpensAndTheRestIsReported) {
  folder.Write("a.txt", "first");
  folder.Write("b.txt", "second");
  folder.Write("-dash.txt", "dash");
  EXPECT_EQ(Start({"--help", "a.txt", "b.txt"}),
            (std::vector<std::string>{"mokrin: 未知的选项 “--help”，已忽略",
                                      "mokrin: 只打开第一个文件，“b.txt” 未打开"}));
  EXPECT_EQ(box().GetText(), u"first");
  EXPECT_EQ(window->File().sFile, folder.Path("a.txt"));
  // After "--" a name may start with "-"; nothing at all opens nothing.
  EXPECT_TRUE(Start({"--", "-dash.txt"}).empty());
  EXPECT_EQ(box().GetText(), u"dash");
  EXPECT_TRUE(Start({}).empty());
  EXPECT_EQ(box().GetText(), u"dash");
  EXPECT_TRUE(prompts->messages.empty());
}

TEST_F(OpenFromOutsideTest, ADroppedFileOpensAfterAskingToDiscard) {
  folder.Write("u8.txt", kUtf8Bom);
  // The first local file of those dropped.
  const QList<QUrl> urls = {QUrl(QStringLiteral("https://example.org/x.txt")),
                            QUrl::fromLocalFile(Q(folder.Path("u8.txt")))};
  box().SetText(u"typed");
  window->RecordState(u"改动");
  prompts->AnswerNext(MessageAnswer::No);
  DropFiles(window.get(), urls);
  EXPECT_TRUE(entered && dropped);
  EXPECT_EQ(action, Qt::CopyAction);  // never a move: the file manager keeps its file
  EXPECT_EQ(prompts->messages.back().text, u"当前文本尚未保存。是否要清空它？");
  EXPECT_EQ(box().GetText(), u"typed");

  prompts->AnswerNext(MessageAnswer::Yes);
  DropFiles(box().viewport(), urls);  // over the text box: the same
  ExpectOpened(folder.Path("u8.txt"), u"u8.txt", u"中文", 6);

  // Dropped again, unchanged: the open command's question before reopening.
  prompts->AnswerNext(MessageAnswer::No);
  DropFiles(window.get(), urls);
  EXPECT_EQ(prompts->messages.back().text, folder.Path("u8.txt") + u"\r\n\r\n文件已经打开。是否要重新打开作原始？");
}

TEST_F(OpenFromOutsideTest, ADroppedFileKeepsTheBytesOfItsName) {
  const std::string gbk_name = "\xB0\xA1 %.txt";
  folder.Write(gbk_name, "abc");
  // As a file manager offers it: every byte of the name percent-encoded.
  const QUrl url = QUrl::fromEncoded("file://" + QByteArray::fromStdString(folder.Native(gbk_name)).toPercentEncoding("/"));
  EXPECT_EQ(LocalPathOfUrl(url), folder.Path(gbk_name));
  EXPECT_EQ(LocalPathOfUrl(QUrl(QStringLiteral("file://otherhost/tmp/a.txt"))), u"");
  EXPECT_EQ(LocalPathOfUrl(QUrl(QStringLiteral("file://localhost/tmp/a.txt"))), u"/tmp/a.txt");
  DropFiles(window.get(), {url});
  ExpectOpened(folder.Path(gbk_name), u"\xDCB0\xDCA1 %.txt", u"abc", 1);
}

TEST_F(OpenFromOutsideTest, DroppedTextPastesAsCtrlVPastes) {
  StartWith(u"one two");
  Select(4, 3);
  DropText(box().viewport(), QStringLiteral("2\n3"));  // onto the locked box: pasted at the selection, not at the drop point
  EXPECT_TRUE(entered && dropped);
  EXPECT_EQ(action, Qt::CopyAction);
  EXPECT_EQ(box().GetText(), u"one 2\n3");
  EXPECT_EQ(Say(), u"粘贴");
  Key(Qt::Key_F5);
  EXPECT_EQ(box().GetText(), u"one two");

  // The paste command's limit: 16001 characters are refused.
  box().SetText(Text(15999, u'.'));
  box().SetSelStart(15999);
  DropText(window.get(), QStringLiteral("ab"));
  EXPECT_EQ(prompts->Texts(), std::vector<std::u16string>{u"粘贴 未成~ 文本过长"});
  EXPECT_EQ(box().TextLength(), 15999);
  DropText(window.get(), QStringLiteral("a"));
  EXPECT_EQ(box().TextLength(), 16000);
  EXPECT_TRUE(box().Locked());
}

TEST_F(OpenFromOutsideTest, WhatTheWindowDoesNotTake) {
  StartWith(u"abc");
  // Neither a file nor text, nor a drag that may only move.
  QMimeData image;
  image.setData(QStringLiteral("image/png"), QByteArray("\x89PNG", 4));
  Drop(window.get(), image);
  EXPECT_FALSE(entered || dropped);
  DropText(box().viewport(), QStringLiteral("x"), Qt::MoveAction);
  EXPECT_FALSE(entered || dropped);
  EXPECT_EQ(box().GetText(), u"abc");
  EXPECT_EQ(Say(), u"start");
}

}  // namespace
}  // namespace mok::testing
