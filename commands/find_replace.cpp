#include "commands/find_replace.h"

#include <exception>
#include <vector>

#include "commands/command_host.h"
#include "dialogs/input_dialog.h"
#include "widgets/text_box.h"

namespace mok {
namespace {

constexpr char16_t kCr = u'\r';
constexpr char16_t kLf = u'\n';

// The text in the position scale of the text box, each line break folded to
// one LF: CR LF, a lone CR and a lone LF all read alike, so that a search
// string typed with Enter (CR LF) or pasted from a Linux program (LF) matches
// the breaks of any text. unit_of[p] is the index in the original text where
// position p starts (unit_of[size] is the text's size).
struct Folded {
  Text text;
  std::vector<std::size_t> unit_of;
};

Folded FoldLineBreaks(TextView text, bool with_units) {
  Folded folded;
  folded.text.reserve(text.size());
  if (with_units) folded.unit_of.reserve(text.size() + 1);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (with_units) folded.unit_of.push_back(i);
    const char16_t unit = text[i];
    if (unit == kCr || unit == kLf) {
      folded.text.push_back(kLf);
      if (unit == kCr && i + 1 < text.size() && text[i + 1] == kLf) ++i;
    } else {
      folded.text.push_back(unit);
    }
  }
  if (with_units) folded.unit_of.push_back(text.size());
  return folded;
}

Text Fold(TextView text) { return FoldLineBreaks(text, false).text; }

// The form sSeek keeps: each line break a single CR.
Text OneCrPerLineBreak(TextView text) {
  Text out = Fold(text);
  for (char16_t& unit : out) {
    if (unit == kLf) unit = kCr;
  }
  return out;
}

// The position of the first occurrence of sFind in text, line breaks of any
// kind alike; -1 when there is none.
std::int32_t FirstMatch(TextView text, TextView sFind) {
  const Text wanted = Fold(sFind);
  if (wanted.empty()) return -1;
  const std::size_t at = Fold(text).find(wanted);
  return at == Text::npos ? -1 : static_cast<std::int32_t>(at);
}

}  // namespace

bool SeekText(CommandHost& host, TextView sFind, int nWay) {
  if (sFind.empty()) {
    host.Prompts().Beep();
    return false;
  }
  try {
    TextBox& box = host.Box();
    const Text scale = Fold(box.GetText());
    const Text wanted = Fold(sFind);
    const TextView t(scale);
    std::size_t found = TextView::npos;
    if (nWay == 0) {
      const auto caret = static_cast<std::size_t>(box.SelStart());
      if (caret == 0) {
        host.Prompts().Beep();
        return false;
      }
      found = t.substr(0, caret).rfind(wanted);
    } else if (nWay == 1) {
      found = t.find(wanted, static_cast<std::size_t>(box.SelStart() + box.SelLength()));
    } else {
      found = t.find(wanted);
    }
    if (found == TextView::npos) {
      host.Prompts().Beep();
      return false;
    }
    box.SetSelStart(static_cast<std::int32_t>(found));
    box.SetSelLength(static_cast<std::int32_t>(wanted.size()));
    return true;
  } catch (...) {
    return false;
  }
}

Text ReplaceAll(TextView text, TextView old, TextView fresh, std::size_t& first) {
  first = TextView::npos;
  const Text wanted = Fold(old);
  if (wanted.empty()) return Text(text);
  // Found in the position scale, so that a match never splits a CR LF; what
  // lies between the matches is copied unit for unit.
  const Folded folded = FoldLineBreaks(text, true);
  const TextView scale(folded.text);
  Text out;
  out.reserve(text.size());
  std::size_t done = 0;
  for (std::size_t at = scale.find(wanted); at != TextView::npos; at = scale.find(wanted, at + wanted.size())) {
    const std::size_t begin = folded.unit_of[at];
    if (first == TextView::npos) first = begin;
    out.append(text.substr(done, begin - done));
    out.append(fresh);
    done = folded.unit_of[at + wanted.size()];
  }
  out.append(text.substr(done));
  return out;
}

void FindReplace::cmdSeek_Click(CommandHost& host, int index) {
  TextBox& box = host.Box();
  box.setFocus();
  if (box.SelLength() > 0) sSeek_ = OneCrPerLineBreak(box.SelText());
  if (SeekText(host, sSeek_, index == 0 ? 0 : 1)) host.RecordState(Text());
}

void FindReplace::mnuSeekNew_Click(CommandHost& host) {
  try {
    InputDialog& inp = host.frmInp();
    inp.nOpr = 1;
    inp.sInp = sSeek_;
    host.Prompts().ShowModal(inp);
    if (!inp.bOk || inp.sInp.empty()) return;
    sSeek_ = OneCrPerLineBreak(inp.sInp);
    if (SeekText(host, sSeek_, -1)) host.RecordState(Text());
  } catch (...) {
  }
}

void FindReplace::mnuReplace_Click(CommandHost& host) {
  TextBox& box = host.Box();
  if (box.SelLength() < 1) return;
  try {
    // The selected code units exactly as held: the dialog proposes them as
    // they are, and what lies between the occurrences keeps its own breaks.
    const Text old = box.SelUnits();
    // The dialog would cut a longer string to its limit, and OK would then put
    // that prefix in place of every occurrence: refuse before anything moves.
    if (old.size() > static_cast<std::size_t>(InputDialog::kLimit)) {
      host.Prompts().ShowMessage(u"替换 未成~ 选取文本过长");
      return;
    }
    const Text& text = box.GetText();
    // The selection is one occurrence; the first one is selected behind the dialog.
    const std::int32_t first = FirstMatch(text, old);
    if (first >= 0) {
      box.SetSelStart(first);
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
