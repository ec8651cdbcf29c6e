#include "commands/find_replace.h"

#include <exception>

#include "commands/command_host.h"
#include "dialogs/input_dialog.h"
#include "widgets/text_box.h"

namespace mok {
namespace {

constexpr char16_t kCr = u'\r';
constexpr char16_t kLf = u'\n';

// The text in the position scale: every CR LF becomes one CR.
Text CollapseLineBreaks(TextView text) {
  Text out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    out.push_back(text[i]);
    if (text[i] == kCr && i + 1 < text.size() && text[i + 1] == kLf) ++i;
  }
  return out;
}

// An occurrence at [begin, end) neither starts nor ends inside a CR LF pair.
bool KeepsLineBreaks(TextView text, std::size_t begin, std::size_t end) {
  const auto splits = [text](std::size_t at) { return at > 0 && at < text.size() && text[at - 1] == kCr && text[at] == kLf; };
  return !splits(begin) && !splits(end);
}

std::size_t FindWhole(TextView text, TextView old, std::size_t from) {
  for (std::size_t at = text.find(old, from); at != TextView::npos; at = text.find(old, at + 1)) {
    if (KeepsLineBreaks(text, at, at + old.size())) return at;
  }
  return TextView::npos;
}

}  // namespace

bool SeekText(CommandHost& host, TextView sFind, int nWay) {
  if (sFind.empty()) {
    host.Prompts().Beep();
    return false;
  }
  try {
    TextBox& box = host.Box();
    const Text scale = CollapseLineBreaks(box.GetText());
    const TextView t(scale);
    std::size_t found = TextView::npos;
    if (nWay == 0) {
      const auto caret = static_cast<std::size_t>(box.SelStart());
      if (caret == 0) {
        host.Prompts().Beep();
        return false;
      }
      found = t.substr(0, caret).rfind(sFind);
    } else if (nWay == 1) {
      found = t.find(sFind, static_cast<std::size_t>(box.SelStart() + box.SelLength()));
    } else {
      found = t.find(sFind);
    }
    if (found == TextView::npos) {
      host.Prompts().Beep();
      return false;
    }
    box.SetSelStart(static_cast<std::int32_t>(found));
    box.SetSelLength(static_cast<std::int32_t>(sFind.size()));
    return true;
  } catch (...) {
    return false;
  }
}

Text ReplaceAll(TextView text, TextView old, TextView fresh, std::size_t& first) {
  first = TextView::npos;
  Text out;
  if (old.empty()) return Text(text);
  out.reserve(text.size());
  std::size_t done = 0;
  for (std::size_t at = FindWhole(text, old, 0); at != TextView::npos; at = FindWhole(text, old, done)) {
    if (first == TextView::npos) first = at;
    out.append(text.substr(done, at - done));
    out.append(fresh);
    done = at + old.size();
  }
  out.append(text.substr(done));
  return out;
}

void FindReplace::cmdSeek_Click(CommandHost& host, int index) {
  TextBox& box = host.Box();
  box.setFocus();
  if (box.SelLength() > 0) sSeek_ = box.SelText();
  if (SeekText(host, sSeek_, index == 0 ? 0 : 1)) host.RecordState(Text());
}

void FindReplace::mnuSeekNew_Click(CommandHost& host) {
  try {
    InputDialog& inp = host.frmInp();
    inp.nOpr = 1;
    inp.sInp = sSeek_;
    host.Prompts().ShowModal(inp);
    if (!inp.bOk || inp.sInp.empty()) return;
    sSeek_ = CollapseLineBreaks(inp.sInp);
    if (SeekText(host, sSeek_, -1)) host.RecordState(Text());
  } catch (...) {
  }
}

void FindReplace::mnuReplace_Click(CommandHost& host) {
  TextBox& box = host.Box();
  if (box.SelLength() < 1) return;
  try {
    // The selected code units exactly as held, so that lone CRs and LFs in it
    // are found as they are.
    const Text old = box.SelUnits();
    // The dialog would cut a longer string to its limit, and OK would then put
    // that prefix in place of every occurrence: refuse before anything moves.
    if (old.size() > static_cast<std::size_t>(InputDialog::kLimit)) {
      host.Prompts().ShowMessage(u"替换 未成~ 选取文本过长");
      return;
    }
    const Text& text = box.GetText();
    // The selection is one occurrence; the first one is selected behind the dialog.
    const std::size_t first = FindWhole(text, old, 0);
    if (first != TextView::npos) {
      box.SetSelStart(ScaleLengthOf(TextView(text).substr(0, first)));
      box.SetSelLength(ScaleLengthOf(old));
    }

    InputDialog& inp = host.frmInp();
    inp.nOpr = 2;
    inp.sInp = old;
    host.Prompts().ShowModal(inp);
    if (!inp.bOk) return;
    const Text fresh = inp.sInp;
    if (fresh == old) {
      host.SetSay(u"新旧字串相同");
      host.Prompts().Beep();
      return;
    }
    std::size_t replaced_at = 0;
    const Text result = ReplaceAll(text, old, fresh, replaced_at);
    if (result.size() > static_cast<std::size_t>(TextBox::kTextLimit)) {
      host.Prompts().ShowMessage(u"替换 未成~ 结果文本过长");
      return;
    }
    const std::int32_t start = box.SelStart();
    box.SetText(result);
    box.SetSelStart(start);
    box.SetSelLength(ScaleLengthOf(fresh));
    host.RecordState(Text(u"字串替换"));
  } catch (const std::exception& error) {
    Text message(u"替换 未成~ ");
    for (const char* c = error.what(); *c != '\0'; ++c) message.push_back(static_cast<unsigned char>(*c));
    host.Prompts().ShowMessage(message);
  } catch (...) {
    host.Prompts().ShowMessage(u"替换 未成~ ");
  }
}

}  // namespace mok
