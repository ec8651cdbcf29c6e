#include "repair/candidates.h"

#include <algorithm>
#include <array>
#include <functional>
#include <limits>
#include <unordered_set>

#include "repair/explain.h"
#include "repair/suggest.h"

namespace mok {
namespace {

// Two-step chains grow from this many of the best single steps.
constexpr std::size_t kChainSeeds = 3;
// Every candidate is scored first on the start of the stretch that holds this
// many units outside ASCII; this many of the best are then scored on all of it.
constexpr std::size_t kPreviewNonAscii = 160;
constexpr std::size_t kFinalists = 12;
// Units of a result's start that tell which result to score first.
constexpr std::size_t kProbeUnits = 32;

bool IsPrivateUse(char16_t c) { return static_cast<char16_t>(c - 0xE000) <= 0xF8FF - 0xE000; }

// How many lost marks and private-use characters the text holds; counted
// without branches, so that the loop is vectorised (it runs on every result).
struct Marks {
  std::size_t lost = 0, private_use = 0;
};
Marks CountMarks(TextView text) {
  // 16-bit counts a block, as wide as the units: eight to a vector lane.
  constexpr std::size_t kBlock = 0xFFFF;
  Marks marks;
  for (std::size_t at = 0; at < text.size(); at += kBlock) {
    const TextView block = text.substr(at, kBlock);
    std::uint16_t lost = 0, private_use = 0;
    for (const char16_t c : block) {
      lost = static_cast<std::uint16_t>(lost + (c == kLostMark ? 1 : 0));
      private_use = static_cast<std::uint16_t>(private_use + (static_cast<char16_t>(c - 0xE000) <= 0xF8FF - 0xE000 ? 1 : 0));
    }
    marks.lost += lost;
    marks.private_use += private_use;
  }
  return marks;
}

// The penalty of a result with so many marks.
double PenaltyOf(const Marks& marks, std::size_t steps) {
  return kStepPenalty * static_cast<double>(steps) + kLostPenalty * static_cast<double>(marks.lost) +
         kPrivateUsePenalty * static_cast<double>(marks.private_use);
}

struct PairGroup {
  std::int32_t a;                       // the code page the text was wrongly read with
  std::initializer_list<std::int32_t> b;  // what its bytes may really be
};

// The mix-ups real programs make beyond the nine code pages of
// kRepairCodePages (all of whose ordered pairs are tried): a decoder a
// program uses, on text written in another code page.
//  - Chinese Windows programs (GBK) on GB18030 text with four-byte
//    characters, EUC-JP, Big5 with HKSCS characters, and the Windows pages
//    of Central Europe, Greece, Turkey, the Baltic, Israel and the Arab world;
//  - Shift-JIS programs on EUC-JP;
//  - Western programs (cp1252, Latin-1) on those single-byte pages, ISO and
//    Windows, on Thai (cp874) and on EUC-JP;
//  - UTF-8 programs on all of these and on the Russian DOS page;
//  - Russian Windows programs on the Russian DOS page and back;
//  - unzip and DOS programs (cp437, cp850, cp866) on GBK, Shift-JIS, UHC,
//    Big5 and UTF-8 file names, and cp437 on Russian DOS names;
//  - EUC-JP, GB18030 and Big5-HKSCS (browsers' Big5) programs on UTF-8 and
//    their neighbours;
//  - the single-byte pages' programs on UTF-8, the ISO and Windows pages of
//    Central Europe and Arabic on each other, and Central European Windows
//    programs on its DOS page (cp852).
const PairGroup kExtraPairs[] = {
    {936, {54936, 20932, 951, 1250, 1253, 1254, 1257, 1255, 1256}},
    {932, {20932}},
    {1252, {1250, 28592, 1253, 28597, 1254, 28599, 1257, 28603, 1255, 28598, 1256, 28596, 874, 20932}},
    {28591, {1250, 28592, 1253, 28597, 1254, 28599, 1257, 28603, 1255, 28598, 1256, 28596, 874, 20932}},
    {65001, {1250, 28592, 1253, 28597, 1254, 28599, 1257, 28603, 1255, 28598, 1256, 28596, 20932, 54936, 866}},
    {1251, {866}},
    {437, {936, 932, 949, 950, 65001, 866}},
    {850, {936, 932, 949, 950, 65001}},
    {866, {936, 932, 949, 950, 65001, 1251}},
    {20932, {932, 936, 65001}},
    {54936, {65001}},
    {951, {936, 65001}},
    {1250, {65001, 28592, 852}},
    {28592, {65001, 1250}},
    {1253, {65001}},
    {28597, {65001}},
    {1254, {65001}},
    {28599, {65001}},
    {1257, {65001}},
    {28603, {65001}},
    {1255, {65001}},
    {28598, {65001}},
    {1256, {65001, 28596}},
    {28596, {65001, 1256}},
};

std::vector<RepairStep> BuildSteps() {
  std::vector<RepairStep> all;
  auto add = [&](RepairStep step) {
    if (std::find(all.begin(), all.end(), step) == all.end()) all.push_back(step);
  };
  // Grouped by A: first the nine code pages with each other and with the
  // others, then the other code pages' groups.
  for (const std::int32_t a : kRepairCodePages) {
    for (const std::int32_t b : kRepairCodePages) {
      if (a != b) add({a, b});
    }
    for (const PairGroup& group : kExtraPairs) {
      if (group.a != a) continue;
      for (const std::int32_t b : group.b) add({a, b});
    }
  }
  add(kUtf16Swap);
  for (const PairGroup& group : kExtraPairs) {
    for (const std::int32_t b : group.b) add({group.a, b});
  }
  add(kIso2022Chinese);
  add(kIso2022Japanese);
  add(kIso2022Korean);
  return all;
}

// Whether a text still shows every character lost on the way to it as a
// U+FFFD: a step after a lossy one that reads U+FFFD's own bytes as
// something else only garbles what was lost.
bool KeepsItsLosses(TextView text, std::size_t lost) {
  return lost == 0 || static_cast<std::size_t>(std::count(text.begin(), text.end(), u'\uFFFD')) >= lost;
}

bool IsInverse(RepairStep first, RepairStep second) {
  return first.code_page_a == second.code_page_b && first.code_page_b == second.code_page_a;
}

// Whether a step can change the text at all: the ISO-2022 steps need a
// designation's "$" (or an ESC), the swap anything, every other step a unit
// outside ASCII (ASCII reads the same in all their code pages).
bool MayApply(RepairStep step, bool has_non_ascii, bool has_dollar_or_escape) {
  if (Iso2022Variant(step) >= 0) return has_dollar_or_escape;
  return has_non_ascii || step == kUtf16Swap;
}

// The best scores of so many distinct results (a result's score is the best
// of the ways that gave it): the least of them is what a result must reach
// to be among them.
class TopScores {
 public:
  explicit TopScores(std::size_t count) : count_(count) {}

  void Add(std::size_t hash, double score) {
    if (count_ == 0) return;
    auto found = std::find_if(best_.begin(), best_.end(), [&](const auto& e) { return e.first == hash; });
    if (found != best_.end()) {
      found->second = std::max(found->second, score);
    } else if (best_.size() < count_) {
      best_.emplace_back(hash, score);
    } else if (score > best_.back().second) {
      best_.back() = {hash, score};
    } else {
      return;
    }
    std::stable_sort(best_.begin(), best_.end(), [](const auto& x, const auto& y) { return x.second > y.second; });
  }

  // The i-th best distinct result so far (i < Size()), as (hash, score).
  [[nodiscard]] std::size_t Size() const { return best_.size(); }
  [[nodiscard]] const std::pair<std::size_t, double>& operator[](std::size_t i) const { return best_[i]; }

  // The least score of the best count, -infinity while there are fewer.
  [[nodiscard]] double Threshold() const {
    return count_ > 0 && best_.size() == count_ ? best_.back().second : -std::numeric_limits<double>::infinity();
  }

 private:
  std::size_t count_;
  std::vector<std::pair<std::size_t, double>> best_;
};

// A result offered to a search.
struct Offered {
  Text text;
  // One step or two, held in place: most results offered are left out, and
  // only those kept get a list of their own.
  std::array<RepairStep, 2> steps{};
  std::size_t step_count = 0;
  std::size_t lost = 0;

  [[nodiscard]] std::vector<RepairStep> Steps() const { return {steps.begin(), steps.begin() + step_count}; }
};

// The candidates offered to a search. Only the best `exact` distinct results
// need their scores: a result that cannot be among them (nor clear the bar
// given with it) is left out as soon as its scoring shows it, and so are the
// other ways to it that cost as much.
class CandidateSet {
 public:
  explicit CandidateSet(std::size_t exact) : top_(exact) {}

  // Scores and keeps the result unless it scores below at_least (by default
  // Threshold()); the candidate kept, nullptr for a result left out.
  const Candidate* Offer(Text text, std::vector<RepairStep> steps, std::size_t lost,
                         std::optional<double> at_least = std::nullopt) {
    const std::size_t hash = std::hash<Text>{}(text);
    const double penalty = Penalty(text, steps.size());
    const Seen* seen = seen_.Find(hash);
    if (seen != nullptr && seen->index != kLeftOut) {
      Keep(Twin(seen->index, std::move(text), std::move(steps), lost, penalty));
      return &candidates_.back();
    }
    // Left out before at no greater penalty: it scores no better now.
    if (seen != nullptr && penalty >= seen->penalty) return nullptr;
    const double bound = at_least ? *at_least : top_.Threshold();
    const std::optional<LanguageScore> language = ScoreRepairAtLeast(text, bound + penalty);
    if (!language) {
      seen_.Set(hash, Seen{kLeftOut, penalty});
      return nullptr;
    }
    Keep(Scored(*language, hash, std::move(text), std::move(steps), lost, penalty));
    return &candidates_.back();
  }

  // Offers the results together, as many Offer calls in their order would,
  // keeping the same candidates in the same order, but the most promising are
  // scored first: each result's score has a ceiling found in one quick pass,
  // the results are scored by falling ceiling, and once a ceiling is below the
  // bar (bar(): at least Threshold(), never below what it is before any
  // result is scored) that result and all after it are left out unscored. The
  // bar may fall as results are scored: a result refused at a higher bar is
  // then scored again. scored(hash, score, clean, lossless) hears of every
  // candidate kept, in no set order (lossless: one of the ways to it lost
  // nothing).
  template <typename Bar, typename Heard>
  void OfferAll(std::vector<Offered>& offers, Bar bar, Heard scored) {
    struct Job {
      std::size_t first;  // the offer that gives it first
      double penalty;     // the least of its offers'
      double ceiling = 0;
      std::optional<LanguageScore> language;
      bool lossless = false;  // one of its offers lost nothing
      double refused_at = std::numeric_limits<double>::infinity();  // the least bar it fell short of
    };
    std::vector<std::size_t> hashes(offers.size());
    std::vector<double> penalties(offers.size());
    // Results without marks are scored as they are, without looking for marks again.
    std::vector<bool> unmarked(offers.size());
    std::vector<std::size_t> job_of(offers.size(), kLeftOut);
    std::vector<Job> jobs;
    std::vector<std::size_t> job_hashes;  // of each job, to find it by
    for (std::size_t i = 0; i < offers.size(); ++i) {
      hashes[i] = std::hash<Text>{}(offers[i].text);
      const Marks marks = CountMarks(offers[i].text);
      penalties[i] = PenaltyOf(marks, offers[i].step_count);
      unmarked[i] = marks.lost == 0 && marks.private_use == 0;
      const Seen* seen = seen_.Find(hashes[i]);
      if (seen != nullptr && seen->index != kLeftOut) {
        const Candidate& first = candidates_[seen->index];
        const double score = first.language.log_probability - penalties[i];
        top_.Add(hashes[i], score);
        scored(hashes[i], score, first.clean, offers[i].lost == 0);
        continue;
      }
      if (seen != nullptr && penalties[i] >= seen->penalty) continue;
      const std::size_t at =
          static_cast<std::size_t>(std::find(job_hashes.begin(), job_hashes.end(), hashes[i]) - job_hashes.begin());
      if (at == jobs.size()) {
        jobs.push_back({i, penalties[i], 0, std::nullopt, offers[i].lost == 0});
        job_hashes.push_back(hashes[i]);
      } else {
        jobs[at].penalty = std::min(jobs[at].penalty, penalties[i]);
        jobs[at].lossless = jobs[at].lossless || offers[i].lost == 0;
      }
      job_of[i] = at;
    }
    auto score = [&](Job& job, double at_least) {
      const TextView text = offers[job.first].text;
      job.language = unmarked[job.first] ? ScoreTextAtLeast(text, at_least + job.penalty)
                                         : ScoreRepairAtLeast(text, at_least + job.penalty);
      if (!job.language) {
        job.refused_at = at_least;
        return false;
      }
      const double result = job.language->log_probability - job.penalty;
      top_.Add(hashes[job.first], result);
      scored(hashes[job.first], result, LooksClean(*job.language), job.lossless);
      return true;
    };
    // With no bar yet, the result whose start reads best by the loose ceiling
    // of its units is scored first: it is most often the best, and its score
    // gives the ceilings a bar.
    if (bar() == -std::numeric_limits<double>::infinity() && jobs.size() > 1) {
      std::size_t probe = 0;
      double best_start = -std::numeric_limits<double>::infinity();
      for (std::size_t j = 0; j < jobs.size(); ++j) {
        const TextView text = offers[jobs[j].first].text;
        const double start = ScoreUnitCeiling(text.substr(0, kProbeUnits)) - jobs[j].penalty;
        if (start > best_start) {
          best_start = start;
          probe = j;
        }
      }
      score(jobs[probe], bar());
    }
    // Each ceiling's pass stops once it is below the bar as it stands (its
    // floor); should the bar fall below a floor later, the ceilings cut short
    // there are found whole.
    std::vector<double> floors(jobs.size(), std::numeric_limits<double>::infinity());
    std::vector<std::size_t> order;
    for (bool again = true; again;) {
      again = false;
      const double floor = bar();
      bool found = false;
      for (std::size_t j = 0; j < jobs.size(); ++j) {
        Job& job = jobs[j];
        if (job.language || floors[j] <= floor) continue;
        if (floors[j] != std::numeric_limits<double>::infinity() && job.ceiling != -std::numeric_limits<double>::infinity()) {
          continue;
        }
        const TextView text = offers[job.first].text;
        job.ceiling = (unmarked[job.first] ? ScoreCeiling(text, floor + job.penalty)
                                           : ScoreRepairCeiling(text, floor + job.penalty)) -
                      job.penalty;
        floors[j] = floor;
        found = true;
      }
      if (found || order.empty()) {
        order.clear();
        for (std::size_t j = 0; j < jobs.size(); ++j) {
          if (!jobs[j].language) order.push_back(j);
        }
        std::stable_sort(order.begin(), order.end(),
                         [&](std::size_t x, std::size_t y) { return jobs[x].ceiling > jobs[y].ceiling; });
      }
      for (const std::size_t j : order) {
        Job& job = jobs[j];
        if (job.language) continue;
        const double at_least = bar();
        if (job.ceiling < at_least) break;
        if (job.refused_at <= at_least) continue;
        again = score(job, at_least) || again;
      }
      // A bar fallen below a floor: the passes cut short there are needed.
      if (!again) {
        const double now = bar();
        for (std::size_t j = 0; j < jobs.size() && !again; ++j) {
          again = !jobs[j].language && jobs[j].ceiling == -std::numeric_limits<double>::infinity() && floors[j] > now;
        }
      }
    }
    // Kept in the order offered; a result is first the candidate of its first
    // offer, then the twin of it.
    for (std::size_t i = 0; i < offers.size(); ++i) {
      const Seen* seen = seen_.Find(hashes[i]);
      if (seen != nullptr && seen->index != kLeftOut) {
        Keep(Twin(seen->index, std::move(offers[i].text), offers[i].Steps(), offers[i].lost, penalties[i]));
        continue;
      }
      if (job_of[i] == kLeftOut) continue;
      const Job& job = jobs[job_of[i]];
      if (!job.language) {
        seen_.Set(hashes[i], Seen{kLeftOut, job.penalty});
        continue;
      }
      Keep(Scored(*job.language, hashes[i], std::move(offers[i].text), offers[i].Steps(), offers[i].lost,
                  penalties[i]));
    }
  }

  // What a result must score to be among the best `exact` so far.
  [[nodiscard]] double Threshold() const { return top_.Threshold(); }

  std::vector<Candidate>& All() { return candidates_; }

 private:
  static constexpr std::size_t kLeftOut = static_cast<std::size_t>(-1);
  struct Seen {
    std::size_t index;  // into candidates_, or kLeftOut
    double penalty;     // what the first way to it cost
  };

  static Candidate Scored(const LanguageScore& language, std::size_t hash, Text text, std::vector<RepairStep> steps,
                          std::size_t lost, double penalty) {
    Candidate candidate;
    candidate.language = language;
    candidate.clean = LooksClean(language);
    candidate.garbled = LooksGarbled(language);
    candidate.hash = hash;
    candidate.score = language.log_probability - penalty;
    candidate.steps = std::move(steps);
    candidate.text = std::move(text);
    candidate.lost = lost;
    return candidate;
  }

  // The same result another way: scored as the first, but with its own penalty.
  Candidate Twin(std::size_t first, Text text, std::vector<RepairStep> steps, std::size_t lost, double penalty) const {
    const Candidate& of = candidates_[first];
    Candidate twin;
    twin.steps = std::move(steps);
    twin.text = std::move(text);
    twin.hash = of.hash;
    twin.language = of.language;
    twin.score = of.language.log_probability - penalty;
    twin.lost = lost;
    twin.clean = of.clean;
    twin.garbled = of.garbled;
    return twin;
  }

  // Keeps a candidate; the first kept with its result is the one its twins copy.
  void Keep(Candidate candidate) {
    top_.Add(candidate.hash, candidate.score);
    const Seen* seen = seen_.Find(candidate.hash);
    if (seen == nullptr || seen->index == kLeftOut) seen_.Set(candidate.hash, Seen{candidates_.size(), 0});
    candidates_.push_back(std::move(candidate));
  }

  // The results met so far, by hash: a few dozen a search, found faster in a
  // list than in a hash table that allocates a node each.
  class SeenResults {
   public:
    [[nodiscard]] const Seen* Find(std::size_t hash) const {
      const auto at = std::find(hashes_.begin(), hashes_.end(), hash);
      return at == hashes_.end() ? nullptr : &seen_[static_cast<std::size_t>(at - hashes_.begin())];
    }
    void Set(std::size_t hash, Seen seen) {
      const auto at = std::find(hashes_.begin(), hashes_.end(), hash);
      if (at != hashes_.end()) {
        seen_[static_cast<std::size_t>(at - hashes_.begin())] = seen;
      } else {
        hashes_.push_back(hash);
        seen_.push_back(seen);
      }
    }

   private:
    std::vector<std::size_t> hashes_;
    std::vector<Seen> seen_;
  };

  TopScores top_;
  SeenResults seen_;
  std::vector<Candidate> candidates_;
};

bool Better(const Candidate& x, const Candidate& y) { return x.score > y.score; }

double BestScore(const std::vector<Candidate>& candidates) {
  double best = -std::numeric_limits<double>::infinity();
  for (const Candidate& c : candidates) best = std::max(best, c.score);
  return best;
}

// Whether the best of the single steps (sorted best first) scores a clear
// margin above the next distinct result.
bool ClearlyAhead(const std::vector<const Candidate*>& singles) {
  if (singles.empty()) return false;
  for (const Candidate* c : singles) {
    if (c->hash != singles.front()->hash) return singles.front()->score - c->score >= kClearMargin;
  }
  return true;
}

}  // namespace

bool LooksClean(const LanguageScore& score) {
  if (score.characters == 0) return true;
  return score.log_probability >=
         static_cast<double>(score.characters) * CleanTextFloor(score.language, score.characters);
}

bool LooksGarbled(const LanguageScore& score) {
  if (score.characters == 0) return false;
  const double floor = CleanTextFloor(score.language, score.characters) - kGarbledSlack;
  return score.log_probability < static_cast<double>(score.characters) * floor;
}

std::span<const RepairStep> SearchSteps() {
  static const std::vector<RepairStep> steps = BuildSteps();
  return steps;
}

bool MayHaveLostBytes(TextView text) {
  for (const char16_t c : text) {
    if (c == u'?' || c == 0xFFFD || c == u'\u951F' || c == u'\u00EF') return true;
  }
  return false;
}

std::optional<StepResult> ApplySteps(TextView text, std::span<const RepairStep> steps, bool cut) {
  StepResult result{Text(text), 0};
  for (const RepairStep step : steps) {
    std::optional<StepResult> next = ApplyStep(result.text, step, {.lossy = false, .cut = cut});
    // One lossy step at most: another would only move the gaps the first left.
    if (!next && result.lost == 0 && MayHaveLostBytes(result.text)) {
      next = ApplyStep(result.text, step, {.lossy = true, .cut = cut});
    }
    if (!next) return std::nullopt;
    next->lost += result.lost;
    if (!KeepsItsLosses(next->text, next->lost)) return std::nullopt;
    result = std::move(*next);
  }
  return result;
}

namespace {

// Scores the text without the marks of lost characters and private-use
// characters (which the penalty prices instead), copying it only when it
// holds any.
template <typename Scorer>
auto ScoreKept(TextView text, Scorer score) {
  auto dropped = [](char16_t c) { return c == kLostMark || IsPrivateUse(c); };
  const Marks marks = CountMarks(text);
  if (marks.lost == 0 && marks.private_use == 0) return score(text);
  Text kept;
  kept.reserve(text.size());
  for (const char16_t c : text) {
    if (!dropped(c)) kept += c;
  }
  return score(TextView(kept));
}

}  // namespace

LanguageScore ScoreRepair(TextView text) {
  return ScoreKept(text, [](TextView t) { return ScoreText(t); });
}

double ScoreRepairCeiling(TextView text, double at_least) {
  return ScoreKept(text, [at_least](TextView t) { return ScoreCeiling(t, at_least); });
}

std::optional<LanguageScore> ScoreRepairAtLeast(TextView text, double at_least) {
  return ScoreKept(text, [at_least](TextView t) { return ScoreTextAtLeast(t, at_least); });
}

double Penalty(TextView text, std::size_t steps) { return PenaltyOf(CountMarks(text), steps); }

Candidate ScoreCandidate(Text text, std::vector<RepairStep> steps, std::size_t lost) {
  Candidate candidate;
  candidate.language = ScoreRepair(text);
  candidate.clean = LooksClean(candidate.language);
  candidate.garbled = LooksGarbled(candidate.language);
  candidate.hash = std::hash<Text>{}(text);
  candidate.score = candidate.language.log_probability - Penalty(text, steps.size());
  candidate.steps = std::move(steps);
  candidate.text = std::move(text);
  candidate.lost = lost;
  return candidate;
}

namespace {

constexpr double kNoBar = -std::numeric_limits<double>::infinity();

// The floor for results of so many steps while the bar of the offers is at
// least `bar` (and so, as bars only rise, until they are offered): what their
// ceilings would leave out. A result that is a candidate kept already is not
// left out, as every other way to it is kept; kept holds their texts.
StepFloor FloorOf(double bar, std::size_t steps, CandidateSet& set, std::vector<TextView>& kept) {
  if (bar == kNoBar) return {};
  kept.clear();
  for (const Candidate& c : set.All()) kept.push_back(c.text);
  return {CeilingCostLimit(bar + PenaltyOf(Marks{}, steps)), kept};
}

// Every step and chain on one stretch, scored; of the results below the best
// `exact` distinct ones, some are left out.
std::vector<Candidate> Search(TextView stretch, bool cut, std::size_t exact) {
  CandidateSet set(exact);
  // The text as it is is always scored.
  const Candidate* as_is = set.Offer(Text(stretch), {}, 0, -std::numeric_limits<double>::infinity());
  // Clean text as it is grows no chains unless a step beats it (below): the
  // single steps need not be ranked among themselves for seeds then.
  const bool as_is_clean = as_is != nullptr && as_is->clean;
  bool has_non_ascii = false;
  bool has_dollar_or_escape = false;
  for (const char16_t c : stretch) {
    has_non_ascii = has_non_ascii || c >= 0x80;
    has_dollar_or_escape = has_dollar_or_escape || c == u'$' || c == 0x1B;
  }
  const bool may_have_lost = MayHaveLostBytes(stretch);
  // The chains grow from the best distinct single steps: those need their
  // scores too. Clean text as it is gives the single steps a bar from the
  // start: a result below it is left out before it is made.
  std::vector<Offered> offers;
  std::vector<TextView> kept_before_singles;
  const StepFloor singles_floor =
      FloorOf(as_is_clean ? std::min(set.Threshold(), as_is->score) : kNoBar, 1, set, kept_before_singles);
  for (const RepairStep step : SearchSteps()) {
    if (!MayApply(step, has_non_ascii, has_dollar_or_escape)) continue;
    FlooredStep taken = ApplyStepAbove(stretch, step, {.lossy = false, .cut = cut}, singles_floor);
    if (!taken.result && !taken.below_floor && may_have_lost) {
      taken.result = ApplyStep(stretch, step, {.lossy = true, .cut = cut});
    }
    if (taken.result) offers.push_back({std::move(taken.result->text), {step}, 1, taken.result->lost});
  }
  // The seeds need the exact scores of the best kChainSeeds distinct single
  // steps, unless the best one looks clean, beats the text as it is and is
  // clearly ahead of every other: it is then the only seed (below), and the
  // others need only be known to be that far behind.
  TopScores best_singles(kChainSeeds);
  std::unordered_set<std::size_t> clean_singles;  // clean, and lossless one way at least
  const double as_is_score = as_is != nullptr ? as_is->score : -std::numeric_limits<double>::infinity();
  auto seeds_bar = [&] {
    if (best_singles.Size() > 0) {
      const auto [hash, score] = best_singles[0];
      const bool alone = best_singles.Size() < 2 || score - best_singles[1].second >= kClearMargin;
      if (alone && score >= as_is_score && clean_singles.contains(hash)) return score - kClearMargin;
    }
    return best_singles.Threshold();
  };
  // When the text as it is looks clean, only the single steps that score at
  // least as well need their scores: the seeds are among them. Either way
  // the seeds, and so the best row, do not depend on how many rows are asked
  // for.
  set.OfferAll(
      offers, [&] { return std::min(set.Threshold(), as_is_clean ? as_is_score : seeds_bar()); },
      [&](std::size_t hash, double score, bool clean, bool lossless) {
        best_singles.Add(hash, score);
        if (clean && lossless) clean_singles.insert(hash);
      });

  // The seeds: the best distinct single steps.
  std::vector<const Candidate*> singles;
  for (const Candidate& candidate : set.All()) {
    if (candidate.steps.size() == 1 && (!as_is_clean || candidate.score >= as_is_score)) singles.push_back(&candidate);
  }
  std::stable_sort(singles.begin(), singles.end(), [](const Candidate* x, const Candidate* y) { return Better(*x, *y); });
  // Chains grow from fewer seeds when a reading already looks clean: none
  // when it is the text as it is (another step reads clean text as garbled),
  // only the best single step's when that one is clearly ahead of the next
  // (text garbled twice may look clean after one step, but then that step is
  // the best, or close to it).
  std::size_t seed_count = kChainSeeds;
  const double best_score = BestScore(set.All());
  for (const Candidate& c : set.All()) {
    if (!c.clean || c.lost != 0 || c.score < best_score) continue;
    if (c.steps.empty()) {
      seed_count = 0;
    } else if (seed_count > 1 && ClearlyAhead(singles)) {
      seed_count = 1;
    }
  }
  // Copied: offering chains grows the set.
  std::vector<Candidate> seeds;
  for (const Candidate* single : singles) {
    if (seeds.size() >= seed_count) break;
    const bool twin = std::any_of(seeds.begin(), seeds.end(), [&](const Candidate& s) { return s.hash == single->hash; });
    if (!twin) seeds.push_back(*single);
  }
  offers.clear();
  // The chains are offered at the set's threshold, which only rises from here.
  std::vector<TextView> kept_before_chains;
  const StepFloor chains_floor = FloorOf(set.Threshold(), 2, set, kept_before_chains);
  for (const Candidate& seed : seeds) {
    bool seed_non_ascii = false;
    bool seed_dollar = false;
    for (const char16_t c : seed.text) {
      seed_non_ascii = seed_non_ascii || c >= 0x80;
      seed_dollar = seed_dollar || c == u'$' || c == 0x1B;
    }
    const bool seed_may_have_lost = seed.lost == 0 && MayHaveLostBytes(seed.text);
    for (const RepairStep step : SearchSteps()) {
      if (!MayApply(step, seed_non_ascii, seed_dollar)) continue;
      FlooredStep taken = ApplyStepAbove(seed.text, step, {.lossy = false, .cut = cut}, chains_floor);
      std::optional<StepResult>& result = taken.result;
      // Without loss the inverse only leads back to the input.
      if (result && IsInverse(seed.steps.front(), step)) continue;
      if (!result && !taken.below_floor && seed_may_have_lost) {
        result = ApplyStep(seed.text, step, {.lossy = true, .cut = cut});
      }
      if (result && KeepsItsLosses(result->text, seed.lost + result->lost)) {
        offers.push_back({std::move(result->text), {seed.steps.front(), step}, 2, seed.lost + result->lost});
      }
    }
  }
  set.OfferAll(offers, [&] { return set.Threshold(); }, [](std::size_t, double, bool, bool) {});

  std::vector<Candidate>& all = set.All();
  std::stable_sort(all.begin(), all.end(), Better);
  return std::move(all);
}

// The start of a stretch that holds kPreviewNonAscii units outside ASCII.
std::size_t PreviewEnd(TextView stretch) {
  std::size_t end = 0;
  for (std::size_t outside = 0; end < stretch.size() && outside < kPreviewNonAscii; ++end) {
    outside += stretch[end] >= 0x80 ? 1 : 0;
  }
  if (end < stretch.size() && end > 0 && stretch[end - 1] >= 0xD800 && stretch[end - 1] <= 0xDBFF) ++end;
  return end;
}

}  // namespace

std::vector<Candidate> RankCandidates(TextView stretch, bool cut, std::size_t exact) {
  if (stretch.empty()) return {};
  // Scoring is most of the cost: every candidate is scored on the start of the
  // stretch, and only the best of them on all of it.
  const std::size_t preview_end = PreviewEnd(stretch);
  if (preview_end >= stretch.size()) return Search(stretch, cut, exact);
  const std::vector<Candidate> preview = Search(stretch.substr(0, preview_end), true, kFinalists);
  // The best distinct previews go on, each with every way that gave it (the
  // ways may part on the rest of the stretch).
  std::vector<std::size_t> taken;
  for (const Candidate& c : preview) {
    if (taken.size() == kFinalists) break;
    if (std::find(taken.begin(), taken.end(), c.hash) == taken.end()) taken.push_back(c.hash);
  }
  CandidateSet set(exact);
  constexpr double kAlways = -std::numeric_limits<double>::infinity();
  for (const Candidate& c : preview) {
    if (std::find(taken.begin(), taken.end(), c.hash) == taken.end()) continue;
    if (c.steps.empty()) {
      set.Offer(Text(stretch), {}, 0, kAlways);
    } else if (std::optional<StepResult> result = ApplySteps(stretch, c.steps, cut)) {
      set.Offer(std::move(result->text), c.steps, result->lost);
    }
  }
  // The text as it is competes whatever its preview scored.
  if (std::none_of(set.All().begin(), set.All().end(), [](const Candidate& c) { return c.steps.empty(); })) {
    set.Offer(Text(stretch), {}, 0, kAlways);
  }
  std::vector<Candidate>& all = set.All();
  std::stable_sort(all.begin(), all.end(), Better);
  return std::move(all);
}

}  // namespace mok
