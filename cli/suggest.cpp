#include "cli/suggest.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "cli/words.h"
#include "repair/candidates.h"
#include "repair/explain.h"
#include "repair/passages.h"
#include "repair/suggest.h"

namespace mok::cli {
namespace {

constexpr std::size_t kPreviewLength = 60;

bool IsHigh(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }
bool IsLineBreak(char16_t c) { return c == u'\n' || c == u'\r'; }

// The preview as a terminal may show it: control characters as their visible
// pictures (U+2400 and on), so that no escape sequence of the text reaches the
// terminal; unpaired surrogates (bytes a wrong decoding kept) as U+FFFD.
Text Printable(TextView line) {
  Text out;
  out.reserve(line.size());
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char16_t c = line[i];
    if (c < 0x20) {
      out += static_cast<char16_t>(0x2400 + c);
    } else if (c == 0x7F) {
      out += u'\u2421';
    } else if (c >= 0x80 && c < 0xA0) {
      out += u'\uFFFD';
    } else if (IsHigh(c) && i + 1 < line.size() && IsLow(line[i + 1])) {
      out += c;
      out += line[++i];
    } else if (IsHigh(c) || IsLow(c)) {
      out += u'\uFFFD';
    } else {
      out += c;
    }
  }
  return out;
}

Text Number(std::size_t n) {
  Text out;
  for (const char c : std::to_string(n)) out += static_cast<char16_t>(c);
  return out;
}

// Where a stream's start is cut for the sample: after its last line break
// within the first `limit` units, else at the limit (not inside a surrogate
// pair).
std::size_t CutAt(TextView text, std::size_t limit) {
  if (text.size() <= limit) return text.size();
  std::size_t end = limit;
  while (end > 0 && !IsLineBreak(text[end - 1])) --end;
  if (end > 0) {
    // A CR LF stays whole.
    if (text[end - 1] == u'\r' && end < text.size() && text[end] == u'\n') ++end;
    return end;
  }
  end = limit;
  if (IsHigh(text[end - 1])) --end;
  return end;
}

// suggest --apply over a stream: the repair is chosen on a sample of its
// start (all of it when it is short), then applied line by line.
class ApplyStage : public Stage {
 public:
  bool Run(TextView chunk, bool last, Text& out) override {
    out.clear();
    try {
      pending_ += chunk;
      if (mode_ == Mode::Undecided) {
        if (pending_.size() < kApplySample && !last) return true;
        Decide(last, out);
      }
      return Drain(last, out);
    } catch (...) {
      return false;
    }
  }

  bool Unchanged() const override { return mode_ == Mode::Unchanged; }

 private:
  enum class Mode { Undecided, Unchanged, Whole, Passages };

  void Decide(bool last, Text& out) {
    const bool all = last && pending_.size() <= kApplySample;
    const std::size_t end = all ? pending_.size() : CutAt(pending_, kApplySample);
    std::vector<RepairSuggestion> rows = SuggestRepairs(TextView(pending_).substr(0, end), 1);
    if (rows.empty() || !rows.front().ChangesText()) {
      mode_ = Mode::Unchanged;
      pending_.clear();
      return;
    }
    RepairSuggestion& best = rows.front();
    if (best.passages.empty()) {
      mode_ = Mode::Whole;
      steps_ = best.steps;
    } else {
      mode_ = Mode::Passages;
      for (const RepairedPassage& passage : best.passages) {
        if (std::find(ways_.begin(), ways_.end(), passage.steps) == ways_.end()) ways_.push_back(passage.steps);
      }
    }
    out = std::move(best.text);
    pending_.erase(0, end);
  }

  // Repairs the complete lines waiting (all of them at the end); a line
  // longer than the sample is taken in pieces.
  bool Drain(bool last, Text& out) {
    if (mode_ == Mode::Unchanged) {
      pending_.clear();
      return true;
    }
    std::size_t at = 0;
    while (at < pending_.size()) {
      std::size_t end = at;
      while (end < pending_.size() && !IsLineBreak(pending_[end]) && end - at < kApplySample) ++end;
      const bool broken = end < pending_.size() && IsLineBreak(pending_[end]);
      if (!broken && end - at < kApplySample && !last) break;
      if (!broken && end - at == kApplySample) end = at + CutAt(TextView(pending_).substr(at), kApplySample);
      Repair(TextView(pending_).substr(at, end - at), out);
      at = end;
      // The line break, CR LF whole (unless its LF is still to come).
      if (broken) {
        if (pending_[at] == u'\r' && at + 1 == pending_.size() && !last) break;
        const std::size_t length = pending_[at] == u'\r' && at + 1 < pending_.size() && pending_[at + 1] == u'\n' ? 2 : 1;
        out.append(pending_, at, length);
        at += length;
      }
    }
    pending_.erase(0, at);
    return true;
  }

  void Repair(TextView line, Text& out) {
    if (line.empty()) return;
    if (mode_ == Mode::Whole) {
      std::optional<StepResult> result = ApplySteps(line, steps_, false);
      out += result ? TextView(result->text) : line;
      return;
    }
    const std::vector<LineSpan> spans = LinesOf(line);
    if (spans.empty()) {
      out += line;
      return;
    }
    const Span span = spans.front().outside_ascii;
    std::optional<PassageChoice> choice = ChoosePassageRepair(line.substr(span.begin, span.end - span.begin), ways_);
    if (!choice) {
      out += line;
      return;
    }
    out += line.substr(0, span.begin);
    out += choice->text;
    out += line.substr(span.end);
  }

  Mode mode_ = Mode::Undecided;
  Text pending_;
  std::vector<RepairStep> steps_;
  std::vector<std::vector<RepairStep>> ways_;
};

}  // namespace

Text SuggestionListing(TextView text) {
  const std::vector<RepairSuggestion> rows = SuggestRepairs(text);
  if (std::none_of(rows.begin(), rows.end(), [](const RepairSuggestion& row) { return row.ChangesText(); })) {
    return {};
  }
  Text listing;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const SuggestionWords words = DescribeSuggestion(rows[i]);
    if (i > 0) listing += u'\n';
    listing += Number(i + 1);
    for (const TextView field : {TextView(words.language), words.confidence}) {
      if (!field.empty()) listing.append(u"  ").append(field);
    }
    if (!words.menu.empty()) listing.append(u"  菜单：").append(words.menu);
    listing.append(u"\n   ").append(words.explanation);
    if (const Text places = PassagePlaces(rows[i], text); !places.empty()) listing.append(u"\n   ").append(places);
    listing.append(u"\n   预览：").append(Printable(PreviewLine(rows[i].text, kPreviewLength))).append(u"\n");
  }
  return listing;
}

Text BestRepair(TextView text) {
  std::vector<RepairSuggestion> rows = SuggestRepairs(text, 1);
  if (rows.empty() || !rows.front().ChangesText()) return {};
  return std::move(rows.front().text);
}

Step SuggestStep(bool apply) {
  Step step;
  step.name = "自动解读";
  if (apply) {
    step.stream = [] { return std::make_unique<ApplyStage>(); };
  } else {
    step.whole = [](Text& text) { text = SuggestionListing(text); };
  }
  return step;
}

std::string SuggestListText() {
  // The steps in groups by the code page the text was wrongly read with.
  std::string text = "\nsuggest（自动解读）试这些解读：按左边的代码页读出的文字，原为右边的代码页之一\n";
  auto name = [](std::int32_t code) { return ToUtf8(CodePageName(code)); };
  std::vector<std::int32_t> readers;
  for (const RepairStep step : CandidateSteps()) {
    if (step == kUtf16Swap || Iso2022Variant(step) >= 0) continue;
    if (std::find(readers.begin(), readers.end(), step.code_page_a) == readers.end()) {
      readers.push_back(step.code_page_a);
    }
  }
  for (const std::int32_t a : readers) {
    text += "  " + std::to_string(a);
    if (const std::string n = name(a); !n.empty()) text += " " + n;
    text += "：";
    for (const RepairStep step : CandidateSteps()) {
      if (step.code_page_a == a && !(step == kUtf16Swap) && Iso2022Variant(step) < 0) {
        text += " " + std::to_string(step.code_page_b);
      }
    }
    text += "\n";
  }
  text += "  外加 UTF-16 的字节对调，Esc+中文(ISO-2022)、Esc+日文(ISO-2022)、Esc+韩文(ISO-2022)\n";
  return text;
}

}  // namespace mok::cli
