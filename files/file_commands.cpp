#include "files/file_commands.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QLocale>

#include <cerrno>
#include <new>
#include <utility>

#include "codec/file_attributes.h"
#include "codec/text_files.h"
#include "commands/command_host.h"
#include "files/file_browser.h"
#include "platform/qt_text.h"
#include "widgets/text_box.h"
#include "widgets/text_history.h"

namespace mok {
namespace {

constexpr std::u16string_view kBlankLine = u"\r\n\r\n";
constexpr std::u16string_view kOpenFailed = u"打开 未成~ ";
constexpr std::u16string_view kSaveFailed = u"保存 未成~ ";

// A message about a file: the path, a blank line, then the text.
Text AboutFile(TextView path, TextView text) { return Text(path).append(kBlankLine).append(text); }

// The file's name without its folder, for the window caption.
Text NameOf(TextView path) { return Text(path.substr(path.rfind(u'/') + 1)); }

// Opening or saving path ran out of memory.
void ShowOutOfMemory(CommandHost& host, TextView path, TextView failed) {
  host.Prompts().ShowMessage(AboutFile(path, Text(failed) + FileErrorText(ENOMEM, path)));
}

// Shows the chosen dialog modally and returns the path chosen, empty when cancelled.
Text ChooseFile(CommandHost& host, bool open, std::int16_t& format) {
  FileBrowser& browser = host.frmB();
  browser.bOpen = open;
  if (!open) {
    browser.sWay = host.File().sFile;
    browser.nPat = host.File().nFilePat;
  }
  host.Prompts().ShowModal(browser);
  format = browser.nPat;
  return browser.sWay;
}

}  // namespace

FileMenuState FileMenuStateOf(CommandHost& host) {
  return {host.History().IsSaved(), !host.File().sFile.empty()};
}

void RunClear(CommandHost& host) {
  if (host.AskDiscard()) return;
  host.Box().SetText(Text());
  host.File() = FileState{};
  host.History().MarkOriginalSaved();
  constexpr std::u16string_view kStatus = u"清空作原始";
  host.SetOriginal(kStatus);
  host.SetCaption(kStatus);
}

void RunOpen(CommandHost& host) {
  if (host.AskDiscard()) return;
  std::int16_t format = 0;
  Text path;
  try {
    path = ChooseFile(host, true, format);
  } catch (const std::bad_alloc&) {
    ShowOutOfMemory(host, path, kOpenFailed);
    return;
  }
  if (path.empty()) return;
  OpenAsOriginal(host, std::move(path), format);
}

void OpenAsOriginal(CommandHost& host, Text path, std::int16_t format) {
  try {
    if (path == host.File().sFile && host.History().IsSaved() &&
        !host.Prompts().AskYesNo(AboutFile(path, u"文件已经打开。是否要重新打开作原始？"))) {
      return;
    }
    FileFacts facts;
    if (const int error = GetFileFacts(path, facts); error != 0) {
      host.Prompts().ShowMessage(AboutFile(path, Text(kOpenFailed) + FileErrorText(error, path)));
      return;
    }
    // 48,003 bytes or more cannot decode to a text within the limit in any format.
    if (facts.size / 3 > TextBox::kTextLimit) {
      host.Prompts().ShowMessage(AboutFile(path, u"文件过大"));
      return;
    }
    Text text;
    Text failure;
    if (!LoadTextFile(text, path, format, failure)) {
      host.Prompts().ShowMessage(failure);
      return;
    }
    if (text.size() > static_cast<std::size_t>(TextBox::kTextLimit)) {
      host.Prompts().ShowMessage(AboutFile(path, u"文本过长"));
      return;
    }
    host.Box().SetText(text);
    host.File() = FileState{path, format};
    host.History().MarkOriginalSaved();
    host.SetOriginal(u"打开作原始");
    host.SetCaption(NameOf(path));
  } catch (const std::bad_alloc&) {
    ShowOutOfMemory(host, path, kOpenFailed);
  }
}

void RunSave(CommandHost& host) {
  Text path;
  try {
    std::int16_t format = 0;
    path = ChooseFile(host, false, format);
    if (path.empty()) return;
    const std::int16_t attributes = GetFileAttr(path);
    if (attributes >= 0) {
      if (attributes & kAttrDirectory) {
        host.Prompts().ShowMessage(AboutFile(path, u"是文件夹。请另起文件名。"));
        return;
      }
      const std::int16_t guarded = attributes & (kAttrReadOnly | kAttrHidden | kAttrSystem);
      if (path != host.File().sFile || guarded != 0) {
        Text question = AboutFile(path, u"文件已经存在。");
        if (guarded != 0) question.append(u"属性是").append(AttrText(guarded));
        question.append(kBlankLine).append(u"是否要改写文件？");
        if (!host.Prompts().AskYesNo(question)) return;
      }
    }
    if (format < 1) format = host.File().nFilePat;
    Text text = host.Box().GetText();
    ReplaceNulBySpace(text);
    Text failure;
    if (!SaveTextFile(text, path, format, attributes, failure)) {
      host.Prompts().ShowMessage(failure);
      return;
    }
    host.File() = FileState{path, format};
    host.History().MarkCurrentSaved();
    host.SetSay(u"保存到文件");
    host.SetCaption(NameOf(path));
  } catch (const std::bad_alloc&) {
    ShowOutOfMemory(host, path, kSaveFailed);
  }
}

void RunAttributes(CommandHost& host) {
  const Text& path = host.File().sFile;
  FileFacts facts;
  if (const int error = GetFileFacts(path, facts); error != 0) {
    host.Prompts().ShowMessage(AboutFile(path, u"属性读取 出错~ " + FileErrorText(error, path)));
    return;
  }
  QLocale locale;
  // Thousands are grouped ("#,##0") even where the locale leaves them plain.
  locale.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
  const QDateTime modified = QDateTime::fromSecsSinceEpoch(facts.modified);
  Text report = u"文件路径= " + path;
  report.append(kBlankLine).append(u"文件属性= ").append(AttrText(facts.attributes));
  report.append(kBlankLine).append(u"文件大小= ").append(ToText(locale.toString(facts.size))).append(u" 字节");
  report.append(kBlankLine).append(u"修改时间= ").append(ToText(locale.toString(modified, QLocale::ShortFormat)));
  report.append(kBlankLine).append(u"编码格式= ").append(FileFormatName(host.File().nFilePat, false));
  const Text title = u"当前文件属性  ~" + ToText(QCoreApplication::applicationName());
  host.Prompts().ShowMessage(report, MessageButtons::Ok, title);
}

}  // namespace mok
