#pragma once

// Repair suggestions: try the repair steps that real mix-ups of character sets
// call for (and two-step chains grown from the best of them) on a garbled text,
// keep those that lose nothing, or, where '?' and U+FFFD already stand for
// lost bytes, those that lose nothing more; repair each garbled passage of a
// text that is only partly garbled on its own; and rank the results by how
// much they look like real text. Leaving the text as it is competes under the
// same rule.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "codec/text_types.h"
#include "repair/language_model.h"
#include "repair/repair_step.h"

namespace mok {

// How sure the choice of the best row is. Only the first row of a list has
// one; every other row says None.
enum class Confidence : std::uint8_t {
  None,          // not the first row
  Clear,         // "明确": the best row is right but for rare cases
  CloseCall,     // "难分": another row may be the right one
  StillGarbled,  // "仍像乱码": even the best row does not look like clean text
};

// One passage of a text that was repaired on its own ("逐段修复").
struct RepairedPassage {
  std::size_t begin = 0, end = 0;                // in the input, code units [begin, end)
  std::size_t result_begin = 0, result_end = 0;  // where its repair stands in the suggestion's text
  std::vector<RepairStep> steps;                 // in the order they were applied
  std::size_t lost = 0;                          // characters of it that could not be recovered
};

struct RepairSuggestion {
  Text text;  // the repaired text
  // The steps applied to the whole text, in order; none for "no change" and
  // for a repair by passages.
  std::vector<RepairStep> steps;
  // "逐段修复": the passages repaired, each with its own steps, in the order of
  // the text; everything between them is the input unit for unit. Empty for
  // every other row.
  std::vector<RepairedPassage> passages;
  Text explanation;  // what happened to the text, in Chinese (ExplainSuggestion)
  // The language the result looks like; none when it does not look like clean
  // text of any language.
  std::optional<Language> language;
  Confidence confidence = Confidence::None;  // the first row's only
  // Characters that could not be recovered, each one U+FFFD in text.
  std::size_t lost = 0;
  double score = 0;   // best language's log-probability minus the step penalty
  double margin = 0;  // score minus the next row's score; infinity for the last candidate

  // False for the row that leaves the text as it is.
  [[nodiscard]] bool ChangesText() const { return !steps.empty() || !passages.empty(); }
};

// The code pages of the steps between the character sets of East Asia, Russia
// and Western Europe: every ordered pair of them is tried.
inline constexpr std::int32_t kRepairCodePages[] = {936, 950, 932, 949, 1252, 28591, 1251, 20866, 65001};

// The single steps tried, in the order of preference among equal results:
// every ordered pair of kRepairCodePages, the byte swap, then the pairs of
// other code pages that programs mix up (the README lists them) and the
// ISO-2022 steps.
[[nodiscard]] std::span<const RepairStep> CandidateSteps();

// Nats a step costs: a repair must look that much better than what it replaces.
inline constexpr double kStepPenalty = 5.0;

// Up to max_results suggestions, best first. The empty list for the empty text
// and when no candidate can be scored; never throws.
[[nodiscard]] std::vector<RepairSuggestion> SuggestRepairs(TextView text, std::size_t max_results = 5);

// The text of SuggestRepairs(text, 1)'s row when that row changes the text,
// found without what only the list needs (the next row, for the margin; the
// explanation): nullopt when the best is to leave the text as it is, for the
// empty text and when nothing can be scored. Never throws.
[[nodiscard]] std::optional<Text> BestRepair(TextView text);

}  // namespace mok
