#pragma once

// Repair suggestions: try every repair step (and two-step chains grown from the
// best of them) on a garbled text, keep those that lose nothing, and rank the
// results by how much they look like real text. Leaving the text as it is
// competes under the same rule.

#include <cstddef>
#include <vector>

#include "codec/text_types.h"
#include "repair/language_model.h"
#include "repair/repair_step.h"

namespace mok {

struct RepairSuggestion {
  Text text;                      // the repaired text
  std::vector<RepairStep> steps;  // in the order they are applied; none for "no change"
  Text explanation;               // what happened to the text, in Chinese (ExplainSteps)
  Language language = Language::English;  // the language the result looks like
  double score = 0;               // best language's log-probability minus the step penalty
  double margin = 0;              // score minus the next row's score; infinity for the last candidate
};

// The code pages the steps are made of, in the order of preference among equal results.
inline constexpr std::int32_t kRepairCodePages[] = {936, 950, 932, 949, 1252, 28591, 1251, 20866, 65001};

// Nats a step costs: a repair must look that much better than what it replaces.
inline constexpr double kStepPenalty = 5.0;

// Up to max_results suggestions, best first. The empty list for the empty text
// and when no candidate can be scored; never throws.
[[nodiscard]] std::vector<RepairSuggestion> SuggestRepairs(TextView text, std::size_t max_results = 5);

}  // namespace mok
