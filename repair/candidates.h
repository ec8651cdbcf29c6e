#pragma once

// The search behind the repair suggestions, on one stretch of text: every
// candidate step, and two-step chains grown from the best of them, applied
// and scored by the language models.

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <vector>

#include "codec/text_types.h"
#include "repair/language_model.h"
#include "repair/repair_step.h"

namespace mok {

// How much of a text the search works on: this many units from the start of
// the line of its first unit outside ASCII. The best candidates are then made
// again from the whole text.
inline constexpr std::size_t kSampleUnits = 2000;

struct Candidate {
  std::vector<RepairStep> steps;  // none for the text as it is
  Text text;                      // the stretch's result (empty for chains once ranked)
  std::size_t hash = 0;           // of text, which tells results apart
  LanguageScore language;
  double score = 0;               // log-probability minus the step penalty
  std::size_t lost = 0;           // characters lost (lossy steps)
  bool clean = false;             // looks like clean text of its language
  bool garbled = false;           // scores far below clean text (LooksGarbled)
};

// The candidate steps, in the order of preference among equal results, the
// steps sharing a code page A next to one another (the text is encoded once
// for them).
[[nodiscard]] std::span<const RepairStep> SearchSteps();

// Whether a score is at least what clean text of its language scores at its
// length (LooksLikeCleanText for a text already scored).
[[nodiscard]] bool LooksClean(const LanguageScore& score);

// Nats per character below the clean-text floor that make a text look
// garbled for certain: one clean text in a hundred scores below the floor
// itself, far fewer this much below it, and nearly every garbled text does.
inline constexpr double kGarbledSlack = 1.0;
// Whether a score is that far below the clean-text floor.
[[nodiscard]] bool LooksGarbled(const LanguageScore& score);

// Whether the text holds what lossy steps read as lost bytes: "?", U+FFFD, or
// the first character of U+FFFD's UTF-8 read as GBK (锟) or as Latin-1 (ï).
[[nodiscard]] bool MayHaveLostBytes(TextView text);

// Applies the steps in order, each without loss, or with loss (StepOptions)
// when that fails and the text may have lost bytes: the rule of the search,
// so that a result found on a stretch can be made again from the whole text.
// cut: the text is the start of a longer one.
[[nodiscard]] std::optional<StepResult> ApplySteps(TextView text, std::span<const RepairStep> steps, bool cut);

// Nats each U+FFFD in a result costs: a character lost. Its place is not
// scored by the language models (it would read as a garbled character).
inline constexpr char16_t kLostMark = 0xFFFD;
inline constexpr double kLostPenalty = 10.0;
// Nats a private-use character costs, unscored as well: no decoder of real
// text gives one but for bytes its code page leaves to users (Big5's HKSCS
// characters read by a decoder without HKSCS), so a character there reads
// better than any.
inline constexpr double kPrivateUsePenalty = 20.0;

// ScoreText of the text without its U+FFFD and private-use characters.
[[nodiscard]] LanguageScore ScoreRepair(TextView text);
// ScoreTextAtLeast and ScoreCeiling of the same.
[[nodiscard]] std::optional<LanguageScore> ScoreRepairAtLeast(TextView text, double at_least);
[[nodiscard]] double ScoreRepairCeiling(TextView text,
                                        double at_least = -std::numeric_limits<double>::infinity());

// What a result's steps and lost characters cost: kStepPenalty a step,
// kLostPenalty a U+FFFD, kPrivateUsePenalty a private-use character.
[[nodiscard]] double Penalty(TextView text, std::size_t steps);

// Scores a result: the best language, the penalty, whether it looks clean.
[[nodiscard]] Candidate ScoreCandidate(Text text, std::vector<RepairStep> steps, std::size_t lost);

// Every distinct result of the steps and chains on the stretch, best first,
// the text as it is among them; equal scores keep the order of SearchSteps.
// cut: the stretch is the start of a longer text. Only the first `exact`
// distinct results (every way to each) and the text as it is are sure to be
// there: results that score below those may be left out, as their scoring
// stops as soon as it shows it. The best result does not depend on exact.
[[nodiscard]] std::vector<Candidate> RankCandidates(TextView stretch, bool cut,
                                                    std::size_t exact = static_cast<std::size_t>(-1));

}  // namespace mok
