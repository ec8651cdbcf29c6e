#include "repair/suggest.h"

#include <algorithm>
#include <limits>
#include <unordered_set>

#include "repair/candidates.h"
#include "repair/explain.h"
#include "repair/passages.h"

namespace mok {
namespace {

// How far the sample may reach back for the start of its first unit's line.
constexpr std::size_t kLineContext = 200;
// Candidates that fail on the whole text (they lose something outside the
// sample) are passed over; after this many such failures the list ends.
constexpr int kVerifyFailures = 12;

bool IsLead(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }

// The part of the text every candidate is scored on: kSampleUnits units from
// the first line that holds a unit outside ASCII (ASCII reads the same under
// nearly every step, so a long plain header would leave nothing to tell the
// candidates apart). Before it there is only ASCII.
struct Sample {
  std::size_t begin = 0, end = 0;
  [[nodiscard]] bool Whole(TextView text) const { return begin == 0 && end == text.size(); }
};

Sample SampleOf(TextView text) {
  std::size_t begin = 0;
  while (begin < text.size() && text[begin] < 0x80) ++begin;
  if (begin == text.size()) begin = 0;
  const std::size_t earliest = begin > kLineContext ? begin - kLineContext : 0;
  while (begin > earliest && text[begin - 1] != u'\n' && text[begin - 1] != u'\r') --begin;
  std::size_t end = std::min(begin + kSampleUnits, text.size());
  if (end < text.size() && IsLead(text[end - 1])) ++end;
  return {begin, end};
}

struct Row {
  RepairSuggestion suggestion;
  std::size_t hash = 0;
  bool garbled = false;  // still reads as garbled text: it is said to be in no language
};

// The row of a candidate, made from the whole text; nullopt when its steps
// fail on the whole text.
std::optional<Row> RowOf(TextView text, const Sample& sample, const Candidate& c) {
  Row row;
  row.hash = c.hash;
  row.garbled = c.garbled;
  RepairSuggestion& s = row.suggestion;
  s.steps = c.steps;
  s.language = c.language.language;
  s.score = c.score;
  if (c.steps.empty()) {
    s.text = Text(text);
  } else if (sample.Whole(text)) {
    s.text = c.text;
    s.lost = c.lost;
  } else {
    std::optional<StepResult> whole = ApplySteps(text, c.steps, false);
    if (!whole) return std::nullopt;
    s.text = std::move(whole->text);
    s.lost = whole->lost;
  }
  return row;
}

// The row of a repair by passages, scored as the text as it is plus what the
// passages gained.
Row PassagesRow(TextView text, const Sample& sample, PassageRepairs repairs, double as_is) {
  Row row;
  RepairSuggestion& s = row.suggestion;
  s.score = as_is + repairs.gain;
  s.lost = repairs.lost;
  // The language of the sample's part of the result.
  std::ptrdiff_t grown = 0;
  for (const RepairedPassage& p : repairs.passages) {
    if (p.begin >= sample.begin && p.end <= sample.end) {
      grown += static_cast<std::ptrdiff_t>(p.result_end - p.result_begin) - static_cast<std::ptrdiff_t>(p.end - p.begin);
    }
  }
  const std::size_t end = std::min(repairs.text.size(), static_cast<std::size_t>(std::max<std::ptrdiff_t>(
                                                            static_cast<std::ptrdiff_t>(sample.begin),
                                                            static_cast<std::ptrdiff_t>(sample.end) + grown)));
  const LanguageScore language = ScoreRepair(TextView(repairs.text).substr(sample.begin, end - sample.begin));
  s.language = language.language;
  row.garbled = LooksGarbled(language) || repairs.garbled_left;
  s.text = std::move(repairs.text);
  s.passages = std::move(repairs.passages);
  row.hash = std::hash<Text>{}(s.text);
  (void)text;
  return row;
}

std::vector<RepairSuggestion> Suggest(TextView text, std::size_t max_results) {
  if (text.empty() || max_results == 0 || !LanguageModelLoaded()) return {};
  const Sample sample = SampleOf(text);
  const bool cut = sample.end < text.size();
  const std::vector<Candidate> ranked = RankCandidates(text.substr(sample.begin, sample.end - sample.begin), cut);

  // The best candidates that hold on the whole text, one per distinct
  // result; the next distinct result's score gives the last row its margin.
  std::vector<Row> rows;
  std::unordered_set<std::size_t> emitted;
  double next_score = -std::numeric_limits<double>::infinity();
  int failures = 0;
  for (const Candidate& c : ranked) {
    if (emitted.contains(c.hash)) continue;
    if (rows.size() == max_results + 1) break;
    if (rows.size() == max_results) {
      next_score = c.score;
      break;
    }
    if (failures >= kVerifyFailures && !c.steps.empty()) continue;
    std::optional<Row> row = RowOf(text, sample, c);
    if (!row) {
      ++failures;
      continue;
    }
    emitted.insert(c.hash);
    rows.push_back(std::move(*row));
  }
  const auto as_is = std::find_if(ranked.begin(), ranked.end(), [](const Candidate& c) { return c.steps.empty(); });
  const double as_is_score = as_is != ranked.end() ? as_is->score : 0;

  // A text garbled in places: the repair by passages, unless the best whole
  // text repair already reads as clean text.
  bool garbled_left = false;
  const bool whole_repaired = !rows.empty() && rows.front().suggestion.ChangesText() && !rows.front().garbled;
  if (!whole_repaired) {
    if (std::optional<PassageRepairs> repairs = RepairPassages(text)) {
      garbled_left = repairs->garbled_left;
      if (!repairs->passages.empty()) {
        Row row = PassagesRow(text, sample, std::move(*repairs), as_is_score);
        if (!emitted.contains(row.hash)) {
          const auto at = std::find_if(rows.begin(), rows.end(),
                                       [&](const Row& r) { return r.suggestion.score < row.suggestion.score; });
          rows.insert(at, std::move(row));
          if (rows.size() > max_results) {
            next_score = rows.back().suggestion.score;
            rows.pop_back();
          }
        }
      }
    }
  }

  std::vector<RepairSuggestion> suggestions;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    RepairSuggestion& s = rows[i].suggestion;
    s.margin = i + 1 < rows.size() ? s.score - rows[i + 1].suggestion.score : s.score - next_score;
    // A result that still reads as garbled text is said to be in no language.
    if (rows[i].garbled) s.language.reset();
    if (i == 0) {
      const bool still_garbled = rows[i].garbled || (!s.ChangesText() && garbled_left);
      s.confidence = still_garbled            ? Confidence::StillGarbled
                     : s.margin >= kClearMargin ? Confidence::Clear
                                                : Confidence::CloseCall;
    }
    s.explanation = ExplainSuggestion(s);
    suggestions.push_back(std::move(s));
  }
  return suggestions;
}

}  // namespace

std::span<const RepairStep> CandidateSteps() { return SearchSteps(); }

std::vector<RepairSuggestion> SuggestRepairs(TextView text, std::size_t max_results) {
  try {
    return Suggest(text, max_results);
  } catch (...) {
    return {};
  }
}

}  // namespace mok
