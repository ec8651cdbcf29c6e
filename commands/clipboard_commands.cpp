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
void CannotPaste(CommandHost& host) {
  host.SetSay(kCannotPaste);
  host.Prompts().Beep();
}

// The clipboard's text, read once. Empty when it holds no text, and also when
// the read failed (its owner ended during a long transfer): either way there is
// nothing to paste.
QString ReadClipboard() {
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  if (data == nullptr || !data->hasText()) return {};
  return data->text();
}

// Line breaks of any kind: CR LF, a lone CR, a lone LF.
std::int64_t LineBreaks(TextView text) {
  std::int64_t breaks = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'\r') {
      ++breaks;
      if (i + 1 < text.size() && text[i + 1] == u'\n') ++i;
    } else if (text[i] == u'\n') {
      ++breaks;
    }
  }
  return breaks;
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
  // Every line break counts, also the lone LF of text from a Linux program,
  // which TextLength counts once only.
  host.SetSay(u"选取 " + Number(m) + u" + 换行 " + Number(LineBreaks(box.GetText())) + u"\r\n字数 " + Number(n) +
              u"  (上限 " + Number(TextBox::kTextLimit) + u")");
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
  try {
    // Read once: the text that is checked is the text that is pasted.
    const QString clipboard = ReadClipboard();
    PasteText(host, ViewOf(clipboard));
  } catch (...) {
    // A failure while pasting ends the command without a message.
  }
}

void PasteText(CommandHost& host, TextView s) {
  try {
    if (s.empty()) {
      CannotPaste(host);
      return;
    }
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
  try {
    // Read before the question: what the user agreed to discard the text for
    // is what is pasted, even if the clipboard's owner is gone by the answer.
    const QString clipboard = ReadClipboard();
    if (clipboard.isEmpty()) {
      CannotPaste(host);
      return;
    }
    if (host.AskDiscard()) return;
    TextBox& box = host.Box();
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
