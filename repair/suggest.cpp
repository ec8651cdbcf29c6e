#include "repair/suggest.h"

#include <algorithm>
#include <limits>
#include <unordered_map>

#include "repair/explain.h"

namespace mok {
namespace {

// Every candidate is scored on what came from the same stretch of the input,
// however much a step shrinks or grows the text: this many units from the first
// line of the first one outside ASCII (ASCII reads the same under nearly every
// step, so a long plain header would leave nothing to tell the candidates apart).
constexpr std::size_t kStretch = 2000;
// How far the stretch may reach back for the start of that unit's line.
constexpr std::size_t kLineContext = 200;
// Two-step chains grow from this many of the best single steps.
constexpr std::size_t kChainSeeds = 3;

struct Candidate {
  StepResult result;
  std::vector<RepairStep> steps;
  LanguageScore language;
  double score = 0;
};

const std::vector<RepairStep>& AllSteps() {
  static const std::vector<RepairStep> steps = [] {
    std::vector<RepairStep> all;
    for (const std::int32_t a : kRepairCodePages) {
      for (const std::int32_t b : kRepairCodePages) {
        if (a != b) all.push_back({a, b});
      }
    }
    all.push_back(kUtf16Swap);
    return all;
  }();
  return steps;
}

bool IsInverse(RepairStep first, RepairStep second) {
  return first.code_page_a == second.code_page_b && first.code_page_b == second.code_page_a;
}

Stretch InitialStretch(TextView text) {
  std::size_t begin = 0;
  while (begin < text.size() && text[begin] < 0x80) ++begin;
  if (begin == text.size()) begin = 0;
  // From the start of its line, so the first character keeps what precedes it.
  const std::size_t earliest = begin > kLineContext ? begin - kLineContext : 0;
  while (begin > earliest && text[begin - 1] != u'\n' && text[begin - 1] != u'\r') --begin;
  std::size_t end = std::min(begin + kStretch, text.size());
  // Never end between the two halves of a surrogate pair.
  if (end < text.size() && end > 0 && text[end - 1] >= 0xD800 && text[end - 1] <= 0xDBFF) ++end;
  return {begin, end};
}

// The candidates, one per distinct result; the first way found to a result is
// kept, and candidates are offered simplest first.
class CandidateSet {
 public:
  void Offer(StepResult result, std::vector<RepairStep> steps) {
    if (index_.contains(result.text)) return;
    index_.emplace(result.text, candidates_.size());
    Candidate candidate{std::move(result), std::move(steps), {}, 0};
    const Stretch stretch = candidate.result.stretch;
    const TextView all = candidate.result.text;
    const TextView scored = all.substr(std::min(stretch.begin, all.size()), stretch.end - std::min(stretch.begin, stretch.end));
    candidate.language = ScoreText(scored);
    candidate.score = candidate.language.log_probability - kStepPenalty * static_cast<double>(candidate.steps.size());
    candidates_.push_back(std::move(candidate));
  }

  std::vector<Candidate>& All() { return candidates_; }

 private:
  std::unordered_map<Text, std::size_t> index_;
  std::vector<Candidate> candidates_;
};

bool Better(const Candidate* x, const Candidate* y) { return x->score > y->score; }

std::vector<RepairSuggestion> Suggest(TextView text, std::size_t max_results) {
  if (text.empty() || max_results == 0 || !LanguageModelLoaded()) return {};
  CandidateSet set;
  set.Offer({Text(text), InitialStretch(text)}, {});
  for (const RepairStep step : AllSteps()) {
    if (auto result = ApplyLosslessStep(text, step, InitialStretch(text))) set.Offer(std::move(*result), {step});
  }

  std::vector<const Candidate*> singles;
  for (const Candidate& candidate : set.All()) {
    if (candidate.steps.size() == 1) singles.push_back(&candidate);
  }
  std::stable_sort(singles.begin(), singles.end(), Better);
  singles.resize(std::min(singles.size(), kChainSeeds));
  // Copied: offering chains grows the set and would move the seeds.
  std::vector<Candidate> seeds;
  for (const Candidate* single : singles) seeds.push_back(*single);
  for (const Candidate& seed : seeds) {
    for (const RepairStep step : AllSteps()) {
      if (IsInverse(seed.steps.front(), step)) continue;  // back to the input
      if (auto result = ApplyLosslessStep(seed.result.text, step, seed.result.stretch)) {
        set.Offer(std::move(*result), {seed.steps.front(), step});
      }
    }
  }

  std::vector<const Candidate*> ranked;
  for (const Candidate& candidate : set.All()) ranked.push_back(&candidate);
  std::stable_sort(ranked.begin(), ranked.end(), Better);
  std::vector<RepairSuggestion> suggestions;
  for (std::size_t i = 0; i < ranked.size() && i < max_results; ++i) {
    const Candidate& c = *ranked[i];
    RepairSuggestion s;
    s.text = c.result.text;
    s.steps = c.steps;
    s.explanation = ExplainSteps(c.steps);
    s.language = c.language.language;
    s.score = c.score;
    s.margin = i + 1 < ranked.size() ? c.score - ranked[i + 1]->score : std::numeric_limits<double>::infinity();
    if (i == 0) s.confidence = s.margin >= kClearMargin ? Confidence::Clear : Confidence::CloseCall;
    suggestions.push_back(std::move(s));
  }
  return suggestions;
}

}  // namespace

std::span<const RepairStep> CandidateSteps() { return AllSteps(); }

std::vector<RepairSuggestion> SuggestRepairs(TextView text, std::size_t max_results) {
  try {
    return Suggest(text, max_results);
  } catch (...) {
    return {};
  }
}

}  // namespace mok
