// The repair steps give the same results with their native conversions as
// with ICU's converters alone: on the corpus' texts and on random garbled
// texts, with and without loss, cut and whole.

#include <gtest/gtest.h>

#include <random>
#include <span>
#include <string>
#include <vector>

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

// What the steps did: how many changed the text, without and with loss, and
// how many of those without loss decoded with a double-byte code page, EUC-JP
// or GB18030.
struct Taken {
  int lossless = 0;
  int lossy = 0;
  int double_byte = 0;
};

bool IsDoubleByte(std::int32_t code_page) {
  return code_page == 936 || code_page == 950 || code_page == 932 || code_page == 949 || code_page == 951 ||
         code_page == 20932 || code_page == 54936;
}

// Every step of the search on the text, each way (or the steps given).
void CompareSteps(TextView text, int& failures, Taken& taken, std::span<const RepairStep> steps = SearchSteps()) {
  for (const RepairStep step : steps) {
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
      if (native && native->text != text) {
        ++(options.lossy ? taken.lossy : taken.lossless);
        if (!options.lossy && IsDoubleByte(step.code_page_b)) ++taken.double_byte;
      }
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
  EXPECT_GT(taken.double_byte, 80000) << taken.double_byte;
}

// So many characters drawn from the alphabet (a surrogate pair in it is one).
Text RandomText(TextView alphabet, std::size_t length, std::mt19937& random) {
  Text text;
  for (std::size_t i = 0; i < length; ++i) {
    const std::size_t at = random() % alphabet.size();
    if (alphabet[at] >= 0xD800 && alphabet[at] <= 0xDBFF) {
      text += alphabet.substr(at, 2);
    } else if (alphabet[at] < 0xDC00 || alphabet[at] > 0xDFFF) {
      text += alphabet[at];
    }
  }
  return text;
}

// The text garbled by the step, with bytes lost (a unit or two become "?" or
// U+FFFD) and cut short by a unit or two when asked.
Text Garbled(const Text& clean, RepairStep step, bool lose, bool cut, std::mt19937& random) {
  Text garbled = CpBytesToText(TextToCpBytes(clean, step.code_page_b), step.code_page_a);
  if (lose && !garbled.empty()) {
    for (int k = 0; k < 2; ++k) garbled[random() % garbled.size()] = random() % 2 ? u'?' : u'\uFFFD';
  }
  if (cut && garbled.size() > 2) garbled.resize(garbled.size() - 1 - random() % 2);
  return garbled;
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
    const Text clean = RandomText(alphabet, 3 + random() % 40, random);
    const RepairStep step = steps[random() % steps.size()];
    const Text garbled = Garbled(clean, step, round % 3 == 1, round % 5 == 2, random);
    CompareSteps(garbled, failures, taken);
  }
  EXPECT_EQ(failures, 0);
  EXPECT_GT(taken.lossless, 90000) << taken.lossless;
  EXPECT_GT(taken.lossy, 60000) << taken.lossy;
  EXPECT_GT(taken.double_byte, 15000) << taken.double_byte;
}

// Chinese, Japanese and Korean texts, with the symbols and full-width forms
// of their code pages and some characters beyond the BMP, garbled by a step
// with a double-byte code page on either side, some with bytes lost and cut
// short: the steps that decode with a double-byte code page decode such
// texts, and must agree with ICU on them as on everything else.
TEST(NativeStepsTest, RandomCjkTextsGiveTheSameResults) {
  const Text alphabet =
      u"ab1 .\u4E2D\u6587\u4E71\u7801\u7684\u662F\u4E0D\u4E86\u4EBA\u5728\u6709\u6211\u4ED6\u8FD9\u4E2A"
      u"\u9AD4\u8AAA\u9019\u500B\u570B\u5B78\u7063\u9EBC\u7E41\u9AD8\u5F41\u5803\u7881\u92B9"
      u"\u3042\u3044\u3046\u304C\u3093\u30AB\u30BF\u30CA\u30FC\u30F4\u65E5\u672C\u8A9E\u6F22\u5B57\uFF71\uFF9E"
      u"\uAC00\uD55C\uAD6D\uC5B4\uB2E4\uC2B5\uB2C8\uAE4C\u3131\u314F"
      u"\u3001\u3002\u300C\u300D\u30FB\uFF01\uFF08\uFF09\uFF0C\uFF1F\uFF21\uFF41\uFF10\uFFE5\u2460\u2170\u2116"
      u"\u00B7\u00D7\u2014\u2015\u2225\u301C\uFF5E\u00E9\u00FC\u0416\u03B1\uE000\uF8F5"
      u"\u4E02\u4E04\u00C1\u02D8\u2116"
      u"\U00020000\U00023FB7\U0002A6A5";
  std::vector<RepairStep> steps;
  for (const RepairStep step : SearchSteps()) {
    if (IsDoubleByte(step.code_page_a) || IsDoubleByte(step.code_page_b)) steps.push_back(step);
  }
  ASSERT_GT(steps.size(), 40u);
  std::mt19937 random(949);
  int failures = 0;
  Taken taken;
  for (int round = 0; round < 4000; ++round) {
    const Text clean = RandomText(alphabet, 2 + random() % 30, random);
    const RepairStep step = steps[random() % steps.size()];
    const Text garbled = Garbled(clean, step, round % 4 == 1, round % 5 == 2, random);
    CompareSteps(garbled, failures, taken, steps);
  }
  EXPECT_EQ(failures, 0);
  EXPECT_GT(taken.double_byte, 25000) << taken.double_byte;
  EXPECT_GT(taken.lossy, 10000) << taken.lossy;
}

}  // namespace
}  // namespace mok::testing
