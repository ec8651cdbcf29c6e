#include "repair/suggest.h"

#include <algorithm>
#include <limits>
#include <optional>
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
// Candidates made from the whole text beyond the rows shown: steps whose
// samples agree may differ on the rest of the text.
constexpr std::size_t kTwins = 3;

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
  // Whether it looks clean, when the search scored its whole text.
  std::optional<bool> clean;
};

bool HasLineBreak(TextView text) { return text.find_first_of(u"\r\n") != TextView::npos; }

// CountSuspectLines of a text without line breaks that is known to look clean
// or not: its one line is suspect when it holds a unit outside ASCII and
// does not look clean.
LineCount OneLine(TextView text, bool clean) {
  const bool outside_ascii = std::any_of(text.begin(), text.end(), [](char16_t c) { return c >= 0x80; });
  return {outside_ascii && !clean ? 1u : 0u, outside_ascii ? 1u : 0u};
}

// Scores a row's whole text; the search scored only the sample.
void ScoreWhole(Row& row) {
  RepairSuggestion& s = row.suggestion;
  const LanguageScore language = ScoreRepair(s.text);
  s.score = language.log_probability - Penalty(s.text, s.steps.size());
  s.language = language.language;
  row.garbled = LooksGarbled(language);
}

// The row of a candidate, made from the whole text; nullopt when its steps
// fail on the whole text.
std::optional<Row> RowOf(TextView text, const Sample& sample, const Candidate& c) {
  Row row;
  RepairSuggestion& s = row.suggestion;
  s.steps = c.steps;
  if (sample.Whole(text)) {
    row.hash = c.hash;
    s.text = c.text;
    s.lost = c.lost;
    s.language = c.language.language;
    s.score = c.score;
    row.garbled = c.garbled;
    row.clean = c.clean;
    return row;
  }
  if (c.steps.empty()) {
    s.text = Text(text);
  } else {
    std::optional<StepResult> whole = ApplySteps(text, c.steps, false);
    if (!whole) return std::nullopt;
    s.text = std::move(whole->text);
    s.lost = whole->lost;
  }
  row.hash = std::hash<Text>{}(s.text);
  ScoreWhole(row);
  return row;
}

// The row of a repair by passages: the text as it is scores, plus what the
// passages gained.
Row PassagesRow(PassageRepairs repairs, double as_is) {
  Row row;
  RepairSuggestion& s = row.suggestion;
  const LanguageScore language = ScoreRepair(repairs.text);
  s.language = language.language;
  s.score = as_is + repairs.gain;
  s.lost = repairs.lost;
  row.garbled = LooksGarbled(language) || repairs.garbled_left;
  s.text = std::move(repairs.text);
  s.passages = std::move(repairs.passages);
  row.hash = std::hash<Text>{}(s.text);
  return row;
}

bool Better(const Row& x, const Row& y) { return x.suggestion.score > y.suggestion.score; }

// The rows of a text, best first: the best max_results, and with margins one
// more, whose score gives the last of them its margin; more may follow.
struct RankedRows {
  std::vector<Row> rows;
  bool garbled_left = false;  // a passage still looks garbled
};

RankedRows Rank(TextView text, std::size_t max_results, bool margins) {
  const Sample sample = SampleOf(text);
  const bool cut = sample.end < text.size();
  // A cut text's rows are made from as many candidates either way: steps whose
  // samples agree may part on the rest of the text.
  const std::size_t wanted = margins || cut ? max_results + 1 : max_results;
  // The rows below need the best `wanted` distinct results and the text as
  // it is; made again from the whole text, the first max_results + kTwins of
  // them at most.
  const std::size_t exact = sample.Whole(text) ? wanted
                            : max_results > SIZE_MAX - kTwins ? SIZE_MAX
                                                               : max_results + kTwins;
  const std::vector<Candidate> ranked =
      RankCandidates(text.substr(sample.begin, sample.end - sample.begin), cut, exact);

  // The best candidates that hold on the whole text, one per distinct
  // result (with margins, one more); ranked again by how their whole texts
  // score.
  std::vector<Row> rows;
  std::unordered_set<std::size_t> emitted;
  bool has_as_is = false;
  int failures = 0;
  std::size_t made = 0;
  for (const Candidate& c : ranked) {
    if (rows.size() >= wanted && has_as_is) break;
    if (!c.steps.empty() && (rows.size() >= wanted || made >= max_results + kTwins || failures >= kVerifyFailures)) {
      continue;
    }
    std::optional<Row> row = RowOf(text, sample, c);
    if (!sample.Whole(text)) ++made;
    if (!row) {
      ++failures;
      continue;
    }
    has_as_is = has_as_is || c.steps.empty();
    // Steps that gave the same sample may differ on the rest of the text.
    if (!emitted.insert(row->hash).second) continue;
    rows.push_back(std::move(*row));
  }
  std::stable_sort(rows.begin(), rows.end(), Better);
  const auto as_is = std::find_if(rows.begin(), rows.end(), [](const Row& r) { return !r.suggestion.ChangesText(); });
  const double as_is_score = as_is != rows.end() ? as_is->suggestion.score : 0;

  // A text garbled in places: the repair by passages, unless every line was
  // suspect and the best whole text repair leaves none so (a step on the
  // whole text also garbles the good lines of a text garbled in places).
  bool garbled_left = false;
  bool whole_repaired = false;
  if (!rows.empty() && rows.front().suggestion.ChangesText()) {
    const Row& best = rows.front();
    // A line the search scored whole needs no scoring again.
    const bool one_line = as_is != rows.end() && as_is->clean && best.clean && !HasLineBreak(text) &&
                          !HasLineBreak(best.suggestion.text);
    const LineCount before = one_line ? OneLine(text, *as_is->clean) : CountSuspectLines(text);
    const LineCount after = one_line ? OneLine(best.suggestion.text, *best.clean) : CountSuspectLines(best.suggestion.text);
    whole_repaired = before.suspect == before.lines && after.suspect == 0;
  }
  if (!whole_repaired) {
    if (std::optional<PassageRepairs> repairs = RepairPassages(text)) {
      garbled_left = repairs->garbled_left;
      if (!repairs->passages.empty()) {
        Row row = PassagesRow(std::move(*repairs), as_is_score);
        if (!emitted.contains(row.hash)) {
          rows.insert(std::upper_bound(rows.begin(), rows.end(), row, Better), std::move(row));
        }
      }
    }
  }
  return {std::move(rows), garbled_left};
}

std::vector<RepairSuggestion> Suggest(TextView text, std::size_t max_results) {
  if (text.empty() || max_results == 0 || !LanguageModelLoaded()) return {};
  auto [rows, garbled_left] = Rank(text, max_results, true);

  const double after_last =
      rows.size() > max_results ? rows[max_results].suggestion.score : -std::numeric_limits<double>::infinity();
  rows.resize(std::min(rows.size(), max_results));
  std::vector<RepairSuggestion> suggestions;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    RepairSuggestion& s = rows[i].suggestion;
    s.margin = s.score - (i + 1 < rows.size() ? rows[i + 1].suggestion.score : after_last);
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

std::optional<Text> BestRepair(TextView text) {
  try {
    if (text.empty() || !LanguageModelLoaded()) return std::nullopt;
    RankedRows ranked = Rank(text, 1, false);
    if (ranked.rows.empty() || !ranked.rows.front().suggestion.ChangesText()) return std::nullopt;
    return std::move(ranked.rows.front().suggestion.text);
  } catch (...) {
    return std::nullopt;
  }
}

std::vector<RepairSuggestion> SuggestRepairs(TextView text, std::size_t max_results) {
  try {
    return Suggest(text, max_results);
  } catch (...) {
    return {};
  }
}

}  // namespace mok
