// The repair steps give the same results with their native conversions as
// with ICU's converters alone: on the corpus' texts and on random garbled
// texts, with and without loss, cut and whole.

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "codec/conversion_core.h"
#include "repair/candidates.h"
#include "repair/native_pages.h"
#include "repair/repair_step.h"
#include "repair/tools/corpus.h"
#include "tests/support/hex.h"

namespace mok::testing {
namespace {

constexpr StepOptions kOptions[] = {{.lossy = false, .cut = false},
                                    {.lossy = false, .cut = true},
                                    {.lossy = true, .cut = false},
                                    {.lossy = true, .cut = true}};

std::string Describe(const std::optional<StepResult>& result) {
  if (!result) return "refused";
  return Hex(result->text) + "lost " + std::to_string(result->lost);
}

// What the steps did: how many changed the text, without and with loss.
struct Taken {
  int lossless = 0;
  int lossy = 0;
};

// Every step of the search on the text, each way.
void CompareSteps(TextView text, int& failures, Taken& taken) {
  for (const RepairStep step : SearchSteps()) {
    for (const StepOptions options : kOptions) {
      const std::optional<StepResult> native = ApplyStep(text, step, options);
      std::optional<StepResult> icu;
      {
        const IcuOnlyStepConversions icu_only;
        icu = ApplyStep(text, step, options);
      }
      const bool same = native.has_value() == icu.has_value() &&
                        (!native || (native->text == icu->text && native->lost == icu->lost));
      if (!same && ++failures <= 10) {
        ADD_FAILURE() << "step " << step.code_page_a << " > " << step.code_page_b << (options.lossy ? " lossy" : "")
                      << (options.cut ? " cut" : "") << "\n text:   " << Hex(text) << "\n native: " << Describe(native)
                      << "\n ICU:    " << Describe(icu);
      }
      if (native && native->text != text) ++(options.lossy ? taken.lossy : taken.lossless);
    }
  }
}

TEST(NativeStepsTest, TheIcuOnlySwitchHoldsForItsScopeOnly) {
  EXPECT_TRUE(NativeStepConversions());
  {
    const IcuOnlyStepConversions outer;
    EXPECT_FALSE(NativeStepConversions());
    { const IcuOnlyStepConversions inner; }
    EXPECT_FALSE(NativeStepConversions());
  }
  EXPECT_TRUE(NativeStepConversions());
}

// The corpus' inputs and expected texts, their starts and, for long ones, a
// stretch from the middle: the lengths the search tries steps on.
TEST(NativeStepsTest, CorpusTextsGiveTheSameResults) {
  const auto samples = corpus::ReadFile(MOK_REPAIR_CORPUS);
  ASSERT_TRUE(samples.has_value());
  int failures = 0;
  Taken taken;
  std::size_t index = 0;
  for (const corpus::Record& sample : *samples) {
    // Every garbled sample, and one clean text in four.
    const bool clean = sample.at("group") == u"clean";
    if (clean && index++ % 4 != 0) continue;
    for (const char* key : {"input", "expect"}) {
      const auto found = sample.find(key);
      if (found == sample.end()) continue;
      const TextView text = found->second;
      CompareSteps(text.substr(0, 80), failures, taken);
      if (text.size() > 400) CompareSteps(text.substr(text.size() / 2, 160), failures, taken);
    }
  }
  EXPECT_EQ(failures, 0);
  // The comparison is worth something only if many steps changed the text.
  EXPECT_GT(taken.lossless, 300000) << taken.lossless;
  EXPECT_GT(taken.lossy, 25000) << taken.lossy;
}

// Random texts of many scripts garbled by a random step, some with bytes
// lost ("?", U+FFFD) and cut short.
TEST(NativeStepsTest, RandomGarbledTextsGiveTheSameResults) {
  const Text alphabet =
      u"abcxyz019 .,?!-\u00E9\u00FC\u00DF\u00C5\u00F8\u0153\u0160\u017E\u0107\u0142\u0151\u011F\u0131\u015F"
      u"\u0391\u03B2\u03CE\u0416\u044F\u0451\u0490\u05D0\u05EA\u0627\u0644\u06CC\u0E01\u0E44"
      u"\u4E2D\u6587\u9AD4\u3042\u30AB\u30FC\uAC00\uD55C\uFF01\u20AC\u2122\u2500\u2593\u00A0\uFFFD"
      u"\U0001F600\U00020000";
  const std::span<const RepairStep> steps = SearchSteps();
  std::mt19937 random(874);
  int failures = 0;
  Taken taken;
  for (int round = 0; round < 3000; ++round) {
    Text clean;
    const std::size_t length = 3 + random() % 40;
    for (std::size_t i = 0; i < length; ++i) {
      const std::size_t at = random() % alphabet.size();
      // A surrogate pair is one character.
      if (alphabet[at] >= 0xD800 && alphabet[at] <= 0xDBFF) {
        clean += alphabet.substr(at, 2);
      } else if (alphabet[at] < 0xDC00 || alphabet[at] > 0xDFFF) {
        clean += alphabet[at];
      }
    }
    const RepairStep step = steps[random() % steps.size()];
    Text garbled = CpBytesToText(TextToCpBytes(clean, step.code_page_b), step.code_page_a);
    if (round % 3 == 1 && !garbled.empty()) {
      // Bytes lost: a unit or two become "?" or U+FFFD.
      for (int k = 0; k < 2; ++k) garbled[random() % garbled.size()] = random() % 2 ? u'?' : u'\uFFFD';
    }
    if (round % 5 == 2 && garbled.size() > 2) garbled.resize(garbled.size() - 1 - random() % 2);
    CompareSteps(garbled, failures, taken);
  }
  EXPECT_EQ(failures, 0);
  EXPECT_GT(taken.lossless, 90000) << taken.lossless;
  EXPECT_GT(taken.lossy, 60000) << taken.lossy;
}

}  // namespace
}  // namespace mok::testing
