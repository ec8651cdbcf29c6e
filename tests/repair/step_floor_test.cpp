// A floor leaves out a step's result before it is made only where the search
// would leave it out once made: its ceiling at the bar is below the bar, and
// it is none of the texts kept.

#include <gtest/gtest.h>

#include <thread>

#include "repair/candidates.h"
#include "repair/language_model.h"
#include "repair/repair_step.h"
#include "repair/suggest.h"
#include "repair/tools/corpus.h"
#include "tests/support/hex.h"

namespace mok::testing {
namespace {

StepFloor FloorAt(double bar, std::size_t steps, std::span<const TextView> kept = {}) {
  return {CeilingCostLimit(bar + kStepPenalty * static_cast<double>(steps)), kept};
}

struct Tally {
  int left_out = 0;
  int failures = 0;
};

// Every step on the text at a bar: the floor changes nothing but what it
// leaves out, and what it leaves out the ceiling leaves out too.
void CheckFloor(TextView text, double bar, std::size_t steps, Tally& tally) {
  const StepFloor floor = FloorAt(bar, steps);
  for (const RepairStep step : SearchSteps()) {
    const FlooredStep taken = ApplyStepAbove(text, step, {}, floor);
    const std::optional<StepResult> plain = ApplyStep(text, step);
    bool sound = true;
    if (taken.below_floor) {
      ++tally.left_out;
      const double penalty = kStepPenalty * static_cast<double>(steps);
      sound = !taken.result && plain && ScoreCeiling(plain->text, bar + penalty) - penalty < bar;
    } else {
      sound = taken.result.has_value() == plain.has_value() &&
              (!plain || (taken.result->text == plain->text && taken.result->lost == plain->lost));
    }
    if (!sound && ++tally.failures <= 10) {
      ADD_FAILURE() << "step " << step.code_page_a << " > " << step.code_page_b << " at bar " << bar
                    << (taken.below_floor ? " left out" : "") << "\n text: " << Hex(text);
    }
  }
}

TEST(StepFloorTest, LeavesOutOnlyWhatTheCeilingLeavesOut) {
  ASSERT_TRUE(LanguageModelLoaded());
  const auto samples = corpus::ReadFile(MOK_REPAIR_CORPUS);
  ASSERT_TRUE(samples.has_value());
  Tally tally;
  std::size_t index = 0;
  for (const corpus::Record& sample : *samples) {
    if (index++ % 23 != 0) continue;
    const TextView text = TextView(sample.at("input")).substr(0, 200);
    // Bars about where the search puts them: the text as it is, and a reading
    // a little better or far worse.
    const double as_is = ScoreText(text).log_probability;
    for (const double bar : {as_is, as_is + 15, as_is - 60}) {
      for (const std::size_t steps : {1u, 2u}) CheckFloor(text, bar, steps, tally);
    }
  }
  EXPECT_EQ(tally.failures, 0);
  // Worth something only if the floor left out a good share.
  EXPECT_GT(tally.left_out, 20000) << tally.left_out;
}

TEST(StepFloorTest, AKeptTextIsNeverLeftOut) {
  ASSERT_TRUE(LanguageModelLoaded());
  // Western and Latin-1 read this text alike: the step gives it back as it is.
  const Text text = u"Crème brûlée, façade and naïve";
  const RepairStep step{1252, 28591};
  const double bar = 0;  // above any text's ceiling
  const StepFloor alone = FloorAt(bar, 1);
  EXPECT_TRUE(ApplyStepAbove(text, step, {}, alone).below_floor);
  const TextView kept[] = {u"something else", text};
  const FlooredStep taken = ApplyStepAbove(text, step, {}, FloorAt(bar, 1, kept));
  EXPECT_FALSE(taken.below_floor);
  ASSERT_TRUE(taken.result.has_value());
  EXPECT_EQ(taken.result->text, text);
}

TEST(StepFloorTest, NoBarAndLossyStepsLeaveOutNothing) {
  ASSERT_TRUE(LanguageModelLoaded());
  const Text garbled = u"Ã©tÃ© Ã  la plage, ?t? ";
  for (const RepairStep step : SearchSteps()) {
    EXPECT_FALSE(ApplyStepAbove(garbled, step, {}, {}).below_floor);
    EXPECT_FALSE(ApplyStepAbove(garbled, step, {.lossy = true}, FloorAt(0, 1)).below_floor);
  }
  EXPECT_FALSE(CeilingCostLimit(-std::numeric_limits<double>::infinity()).has_value());
}

// The pages' pair costs are found as texts first need them, by whichever
// thread comes first: threads at once find the same.
TEST(StepFloorTest, ThreadsAtOnceLeaveOutTheSame) {
  ASSERT_TRUE(LanguageModelLoaded());
  const Text text = u"Ð¡Ð¿Ð°ÑÐ¸Ð±Ð¾ Ð·Ð° Ð²Ð½Ð¸Ð¼Ð°Ð½Ð¸Ðµ ÎºÎ±Î»Î·Î¼Î­ÏÎ± Ã¼ber Ã©tÃ©";
  const double bar = ScoreText(text).log_probability;
  auto left_out = [&] {
    std::vector<bool> out;
    for (const RepairStep step : SearchSteps()) out.push_back(ApplyStepAbove(text, step, {}, FloorAt(bar, 1)).below_floor);
    return out;
  };
  std::vector<bool> first, second;
  std::thread a([&] { first = left_out(); });
  std::thread b([&] { second = left_out(); });
  a.join();
  b.join();
  EXPECT_EQ(first, second);
  EXPECT_EQ(first, left_out());
}

}  // namespace
}  // namespace mok::testing
