#include "repair/passages.h"

#include <algorithm>
#include <array>

#include "repair/candidates.h"
#include "repair/explain.h"

namespace mok {
namespace {

// Searches one text may start for its passages: a text of many garbled lines
// that no step repairs costs no more than this.
constexpr int kSearchBudget = 16;

bool IsLineBreak(char16_t c) { return c == u'\n' || c == u'\r'; }
bool IsAsciiSpace(char16_t c) { return c == u' ' || c == u'\t'; }

// The script groups a run changes at. Units of no script (punctuation shared
// by all, combining marks, kept bytes, U+FFFD) belong to the run they are in.
enum class Script { None, Cjk, Latin, Greek, Cyrillic, Hebrew, Arabic, Thai, Symbol };

Script ScriptOf(char16_t c) {
  if (c >= 0x00C0 && c <= 0x024F && c != 0x00D7 && c != 0x00F7) return Script::Latin;
  if (c >= 0x1E00 && c <= 0x1EFF) return Script::Latin;
  if (c >= 0x0370 && c <= 0x03FF) return Script::Greek;
  if (c >= 0x0400 && c <= 0x052F) return Script::Cyrillic;
  if (c >= 0x0590 && c <= 0x05FF) return Script::Hebrew;
  if ((c >= 0x0600 && c <= 0x06FF) || (c >= 0xFB50 && c <= 0xFDFF) || (c >= 0xFE70 && c <= 0xFEFF)) return Script::Arabic;
  if (c >= 0x0E00 && c <= 0x0E7F) return Script::Thai;
  if ((c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
      (c >= 0xFF00 && c <= 0xFFEF) || (c >= 0x1100 && c <= 0x11FF)) {
    return Script::Cjk;
  }
  if (c >= 0x2100 && c <= 0x2BFF) return Script::Symbol;
  // Latin-1's signs (what UTF-8 read as cp1252 is full of), general punctuation.
  return Script::None;
}

struct Found {
  Span span;
  std::vector<RepairStep> steps;
  Text text;
  std::size_t lost = 0;
  double gain = 0;
};

// The start of a passage that the search scores, and whether it is cut short.
TextView SampleOf(TextView passage, bool& cut) {
  cut = passage.size() > kSampleUnits;
  if (!cut) return passage;
  std::size_t end = kSampleUnits;
  if (passage[end - 1] >= 0xD800 && passage[end - 1] <= 0xDBFF) ++end;
  return passage.substr(0, end);
}

std::size_t OutsideAscii(TextView text) {
  return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char16_t c) { return c >= 0x80; }));
}

class PassageSearch {
 public:
  explicit PassageSearch(TextView text) : text_(text) {}

  // The passage repaired, when its best repair wins under the passage rule.
  std::optional<Found> RepairOne(Span span) {
    if (budget_ <= 0 || span.end <= span.begin) return std::nullopt;
    const TextView passage = Of(span);
    if (OutsideAscii(passage) < kMinPassageUnits) return std::nullopt;
    --budget_;
    bool cut = false;
    // The best result and the text as it is are all that is looked at.
    const std::vector<Candidate> ranked = RankCandidates(SampleOf(passage, cut), cut, 1);
    if (ranked.empty() || ranked.front().steps.empty() || ranked.front().steps.front() == kUtf16Swap ||
        ranked.front().garbled) {
      return std::nullopt;
    }
    const auto as_is = std::find_if(ranked.begin(), ranked.end(), [](const Candidate& c) { return c.steps.empty(); });
    if (as_is == ranked.end()) return std::nullopt;
    const Candidate& best = ranked.front();
    const double gain = best.score - as_is->score;
    if (gain < kClearMargin) return std::nullopt;
    Found found{span, best.steps, best.text, best.lost, gain};
    if (cut) {
      std::optional<StepResult> whole = ApplySteps(passage, best.steps, false);
      if (!whole) return std::nullopt;
      found.text = std::move(whole->text);
      found.lost = whole->lost;
    }
    return found;
  }

  [[nodiscard]] TextView Of(Span span) const { return text_.substr(span.begin, span.end - span.begin); }
  [[nodiscard]] bool Garbled(Span span) const { return !LooksClean(ScoreRepair(Of(span))); }

 private:
  TextView text_;
  int budget_ = kSearchBudget;
};

// The best of the ways of repair for one passage, under the passage rule;
// with only_garbled, only for a passage that does not read as clean text.
std::optional<PassageChoice> BestOf(TextView passage, std::span<const std::vector<RepairStep>> ways,
                                    bool only_garbled) {
  if (OutsideAscii(passage) < kMinPassageUnits) return std::nullopt;
  const LanguageScore before = ScoreRepair(passage);
  if (only_garbled && LooksClean(before)) return std::nullopt;
  const double as_is = before.log_probability - Penalty(passage, 0);
  std::optional<PassageChoice> best;
  for (std::size_t i = 0; i < ways.size(); ++i) {
    std::optional<StepResult> result = ApplySteps(passage, ways[i], false);
    if (!result) continue;
    const LanguageScore after = ScoreRepair(result->text);
    const double gain = after.log_probability - Penalty(result->text, ways[i].size()) - as_is;
    if (gain >= kClearMargin && !LooksGarbled(after) && (!best || gain > best->gain)) {
      best = PassageChoice{i, std::move(result->text), result->lost, gain};
    }
  }
  return best;
}

// Which lines are suspect: a line that scores below clean text, or reads as
// another language than most of the text's lines do (a garbled line of
// Greek reads as Chinese, and may score as well as Chinese does).
struct Suspects {
  std::vector<bool> lines;
  // Most lines read as one language by too little to tell the host from the
  // garbled passages (two German lines and two whose umlauts became Chinese
  // characters).
  bool ambiguous = false;
};

Suspects SuspectLines(TextView text, const std::vector<LineSpan>& lines) {
  std::vector<LanguageScore> scores;
  std::array<std::size_t, kLanguageCount> weight{};
  for (const LineSpan& line : lines) {
    scores.push_back(ScoreRepair(text.substr(line.line.begin, line.line.end - line.line.begin)));
    weight[static_cast<std::size_t>(scores.back().language)] += scores.back().characters;
  }
  const auto most = std::max_element(weight.begin(), weight.end());
  const auto dominant = static_cast<Language>(most - weight.begin());
  Suspects suspects;
  suspects.lines.assign(lines.size(), false);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    suspects.lines[i] = !LooksClean(scores[i]) || scores[i].language != dominant;
  }
  std::size_t total = 0;
  for (const std::size_t w : weight) total += w;
  suspects.ambiguous = 3 * *most < 2 * total;
  return suspects;
}

// The text of a span with the repairs found in it.
Text Repaired(TextView text, Span span, const std::vector<Found>& found) {
  Text out;
  std::size_t at = span.begin;
  for (const Found& f : found) {
    if (f.span.begin < at || f.span.end > span.end) continue;
    out.append(text.substr(at, f.span.begin - at));
    out += f.text;
    at = f.span.end;
  }
  out.append(text.substr(at, span.end - at));
  return out;
}

}  // namespace

std::vector<LineSpan> LinesOf(TextView text) {
  std::vector<LineSpan> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = start;
    while (end < text.size() && !IsLineBreak(text[end])) ++end;
    std::size_t first = start;
    while (first < end && text[first] < 0x80) ++first;
    if (first < end) {
      std::size_t last = end;
      while (text[last - 1] < 0x80) --last;
      lines.push_back({{start, end}, {first, last}});
    }
    start = end;
    while (start < text.size() && IsLineBreak(text[start])) ++start;
  }
  return lines;
}

std::vector<Span> RunsOf(TextView text, Span span, bool by_script) {
  std::vector<Span> runs;
  std::size_t i = span.begin;
  while (i < span.end) {
    // Skip ASCII: a stretch of it ends a run when it holds a space or more
    // than one character (one letter inside garbled text is often part of it).
    while (i < span.end && text[i] < 0x80) ++i;
    if (i == span.end) break;
    const std::size_t begin = i;
    Script script = Script::None;
    while (i < span.end) {
      if (text[i] < 0x80) {
        std::size_t j = i;
        bool space = false;
        for (; j < span.end && text[j] < 0x80; ++j) space = space || IsAsciiSpace(text[j]);
        if (space || j - i > 1 || j == span.end) break;
        i = j;
        continue;
      }
      const Script s = ScriptOf(text[i]);
      if (by_script && s != Script::None && script != Script::None && s != script) break;
      if (s != Script::None) script = s;
      ++i;
    }
    std::size_t end = i;
    while (end > begin && text[end - 1] < 0x80) --end;
    runs.push_back({begin, end});
  }
  return runs;
}

std::optional<PassageRepairs> RepairPassages(TextView text) {
  try {
    PassageSearch search(text);
    const std::vector<LineSpan> lines = LinesOf(text);
    // Suspect lines that follow one another (only lines of ASCII between
    // them) are one block, searched as one passage first.
    const Suspects suspects = SuspectLines(text, lines);
    const std::vector<bool>& suspect = suspects.lines;
    auto blocks_of = [&](bool which) {
      std::vector<std::pair<std::size_t, std::size_t>> blocks;  // [first, last] into lines
      for (std::size_t i = 0; i < lines.size(); ++i) {
        if (suspect[i] != which) continue;
        if (i > 0 && suspect[i - 1] == which) {
          blocks.back().second = i;
        } else {
          blocks.push_back({i, i});
        }
      }
      return blocks;
    };
    const auto blocks = blocks_of(true);
    if (blocks.empty()) return std::nullopt;

    PassageRepairs out;
    std::vector<Found> found;
    // A block's repair holds for the lines it improves: a good line among
    // garbled ones (it read as another language than most) stays as it is.
    auto keep_lines = [&](const Found& block, std::size_t first, std::size_t last) {
      for (std::size_t i = first; i <= last; ++i) {
        const Span span = lines[i].outside_ascii;
        const TextView line = search.Of(span);
        std::optional<StepResult> result = ApplySteps(line, block.steps, false);
        if (!result) continue;
        const double gain = ScoreRepair(result->text).log_probability - Penalty(result->text, 0) -
                            (ScoreRepair(line).log_probability - Penalty(line, 0));
        if (gain > 0) found.push_back({span, block.steps, std::move(result->text), result->lost, gain});
      }
    };
    for (const auto& [first, last] : blocks) {
      const std::size_t found_before = found.size();
      if (auto f = search.RepairOne({lines[first].outside_ascii.begin, lines[last].outside_ascii.end})) {
        if (first == last) {
          found.push_back(std::move(*f));
        } else {
          keep_lines(*f, first, last);
        }
      } else {
        for (std::size_t i = first; i <= last; ++i) {
          if (!suspect[i]) continue;
          if (first != last) {
            if (auto f = search.RepairOne(lines[i].outside_ascii)) {
              found.push_back(std::move(*f));
              continue;
            }
          }
          // Within the line: its runs, then their parts in one script.
          for (const Span run : RunsOf(text, lines[i].outside_ascii, false)) {
            if (!search.Garbled(run)) continue;
            if (auto f = search.RepairOne(run)) {
              found.push_back(std::move(*f));
              continue;
            }
            const std::vector<Span> parts = RunsOf(text, run, true);
            if (parts.size() < 2) continue;
            for (const Span part : parts) {
              if (!search.Garbled(part)) continue;
              if (auto f = search.RepairOne(part)) found.push_back(std::move(*f));
            }
          }
        }
      }
      // The block, as repaired, still reads as garbled text.
      const Span block{lines[first].line.begin, lines[last].line.end};
      std::vector<Found> in_block(found.begin() + static_cast<std::ptrdiff_t>(found_before), found.end());
      std::sort(in_block.begin(), in_block.end(), [](const Found& x, const Found& y) { return x.span.begin < y.span.begin; });
      out.garbled_left = out.garbled_left || LooksGarbled(ScoreRepair(Repaired(text, block, in_block)));
    }
    // Where most of the text is no clear majority, the garbled passages may be
    // the lines that were not suspect.
    if (found.empty() && suspects.ambiguous) {
      for (const auto& [first, last] : blocks_of(false)) {
        if (auto f = search.RepairOne({lines[first].outside_ascii.begin, lines[last].outside_ascii.end})) {
          keep_lines(*f, first, last);
        }
      }
    }
    if (found.empty()) return out;

    // The ways of repair found also repair the lines that read well enough
    // not to be searched, where they win by the same rule.
    std::vector<std::vector<RepairStep>> ways;
    for (const Found& f : found) {
      if (std::find(ways.begin(), ways.end(), f.steps) == ways.end()) ways.push_back(f.steps);
    }
    for (const LineSpan& line : lines) {
      const Span span = line.outside_ascii;
      const bool taken = std::any_of(found.begin(), found.end(), [&](const Found& f) {
        return f.span.begin < span.end && span.begin < f.span.end;
      });
      if (taken) continue;
      if (auto choice = BestOf(search.Of(span), ways, false)) {
        found.push_back({span, ways[choice->choice], std::move(choice->text), choice->lost, choice->gain});
      }
    }

    std::sort(found.begin(), found.end(), [](const Found& x, const Found& y) { return x.span.begin < y.span.begin; });
    std::size_t at = 0;
    for (Found& f : found) {
      out.text.append(text.substr(at, f.span.begin - at));
      RepairedPassage passage;
      passage.begin = f.span.begin;
      passage.end = f.span.end;
      passage.result_begin = out.text.size();
      out.text += f.text;
      passage.result_end = out.text.size();
      passage.steps = std::move(f.steps);
      passage.lost = f.lost;
      out.lost += f.lost;
      out.gain += f.gain;
      out.passages.push_back(std::move(passage));
      at = f.span.end;
    }
    out.text.append(text.substr(at));
    return out;
  } catch (...) {
    return std::nullopt;
  }
}

LineCount CountSuspectLines(TextView text) {
  const std::vector<bool> suspect = SuspectLines(text, LinesOf(text)).lines;
  return {static_cast<std::size_t>(std::count(suspect.begin(), suspect.end(), true)), suspect.size()};
}

std::optional<PassageChoice> ChoosePassageRepair(TextView passage, std::span<const std::vector<RepairStep>> choices) {
  try {
    return BestOf(passage, choices, true);
  } catch (...) {
    return std::nullopt;
  }
}

}  // namespace mok
