#include "commands/clipboard_commands.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <string>

#include "commands/command_host.h"
#include "widgets/text_box.h"
#include "widgets/text_history.h"

namespace mok {
namespace {

constexpr std::u16string_view kCannotPaste = u"不能粘贴";
constexpr std::u16string_view kPasteTooLong = u"粘贴 未成~ 文本过长";
constexpr std::u16string_view kPasteOrig = u"粘贴作原始";

std::u16string Number(std::int64_t n) { return QString::number(n).toStdU16String(); }

// The clipboard's text without a copy of its own: the check of its length must
// come before anything lays it out.
TextView ViewOf(const QString& text) {
  return TextView(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size()));
}

// Nothing pasteable: the label says so and the beep sounds.
bool RefuseEmptyClipboard(CommandHost& host) {
  if (host.Box().CanPaste()) return false;
  host.SetSay(kCannotPaste);
  host.Prompts().Beep();
  return true;
}

}  // namespace

std::int64_t ResultLength(const TextBox& box, TextView s) {
  return static_cast<std::int64_t>(box.TextLength()) - static_cast<std::int64_t>(box.SelUnits().size()) +
         static_cast<std::int64_t>(s.size());
}

void mnuASel_Click(CommandHost& host) {
  TextBox& box = host.Box();
  const std::int32_t n = box.TextLength();
  box.SetSelStart(0);
  box.SetSelLength(n);
  const std::int32_t m = box.SelLength();
  host.SetSay(u"选取 " + Number(m) + u" + 换行 " + Number(n - m) + u"\r\n字数 " + Number(n) + u"  (上限 " +
              Number(TextBox::kTextLimit) + u")");
}

void mnuCopy_Click(CommandHost& host) {
  TextBox& box = host.Box();
  box.copy();
  // The clipboard reads back what was put there unless the window system
  // refused it.
  if (box.SelLength() > 0) {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (data == nullptr || ViewOf(data->text()) != box.SelUnits()) {
      host.Prompts().ShowMessage(u"复制 未成~ 剪贴板没有接收这段文本");
      return;
    }
  }
  host.SetSay(u"复制");
}

void mnuPaste_Click(CommandHost& host) {
  if (RefuseEmptyClipboard(host)) return;
  try {
    // Read once: the text that is checked is the text that is pasted.
    const QString clipboard = QGuiApplication::clipboard()->text();
    PasteText(host, ViewOf(clipboard));
  } catch (...) {
    // A failure while pasting ends the command without a message.
  }
}

void PasteText(CommandHost& host, TextView s) {
  try {
    TextBox& box = host.Box();
    if (ResultLength(box, s) > TextBox::kTextLimit) {
      host.Prompts().ShowMessage(kPasteTooLong);
      return;
    }
    box.SetSelUnits(s);
    host.RecordState(Text(u"粘贴"));
  } catch (...) {
  }
}

void mnuPasteOrig_Click(CommandHost& host) {
  if (RefuseEmptyClipboard(host)) return;
  if (host.AskDiscard()) return;
  try {
    TextBox& box = host.Box();
    const QString clipboard = QGuiApplication::clipboard()->text();
    // The clipboard text replaces the whole text, so it alone must fit.
    if (clipboard.size() > TextBox::kTextLimit) {
      host.Prompts().ShowMessage(kPasteTooLong);
      return;
    }
    box.SetText(ViewOf(clipboard));
    box.SetSelStart(box.ScaleLength());  // the caret after the pasted text
    host.File().sFile.clear();
    host.File().nFilePat = 0;
    host.History().MarkNothingSaved();
    host.SetOriginal(kPasteOrig);
    host.SetCaption(kPasteOrig);
  } catch (...) {
  }
}

}  // namespace mok
