#pragma once

// How much a text looks like real text of 28 languages: character bigram
// models (Witten-Bell smoothing, backing off to character classes) built from
// text in Debian packages by repair/tools/build_model.py and embedded in the
// program. Pairs of two ASCII characters are scored by one model shared by all
// languages, so English words inside Chinese text favour no language.

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string_view>

#include "codec/text_types.h"

namespace mok {

// In the order of the tables in the model.
enum class Language : std::uint8_t {
  SimplifiedChinese,
  TraditionalChinese,
  Japanese,
  Korean,
  Russian,
  German,
  French,
  English,
  Greek,
  Hebrew,
  Arabic,
  Persian,
  Polish,
  Czech,
  Turkish,
  Ukrainian,
  Vietnamese,
  Thai,
  Spanish,
  Italian,
  Portuguese,
  Dutch,
  Hungarian,
  Swedish,
  Romanian,
  Bulgarian,
  Lithuanian,
  Latvian,
};
inline constexpr std::size_t kLanguageCount = 28;

// The language's name in the model and the benchmark corpus: "zh_CN", "zh_TW",
// "ja", "ko", "ru", "de", "fr", "en", "el", "he", "ar", "fa", "pl", "cs", "tr",
// "uk", "vi", "th", "es", "it", "pt", "nl", "hu", "sv", "ro", "bg", "lt", "lv".
[[nodiscard]] std::string_view LanguageCode(Language language);

struct LanguageScore {
  double log_probability = 0;  // natural log, a sum over the characters
  Language language = Language::English;
  std::size_t characters = 0;  // how many were scored: a CR LF and a surrogate pair count as one
};

// The sum of the log-probabilities of the text's characters under each
// language's model. A CR is read as a line break, an LF right after it is
// skipped, so CR LF, CR and LF score alike. All zeros for the empty text or
// when the model cannot be read.
[[nodiscard]] std::array<double, kLanguageCount> ScoreEveryLanguage(TextView text);

// The best of ScoreEveryLanguage; a tie (a text of ASCII alone) goes to English.
// Only the languages whose scripts occur in the text are scored (a text of
// Chinese characters pays nothing for the Latin alphabets): a language none of
// whose letters occur in a text scores far below one whose letters do.
[[nodiscard]] LanguageScore ScoreText(TextView text);

// ScoreText when its log-probability is at least at_least, nullopt when it is
// below: the scoring stops once every language is known to fall short, and
// gives up each language once it falls behind another (the same best
// language, and the same score, as ScoreText).
[[nodiscard]] std::optional<LanguageScore> ScoreTextAtLeast(TextView text, double at_least);

// A log-probability that ScoreText's is never above, found in one quick pass:
// each pair costed at the least any language costs it. The pass may stop as
// soon as the ceiling is known to be below at_least: it then returns
// -infinity.
[[nodiscard]] double ScoreCeiling(TextView text, double at_least = -std::numeric_limits<double>::infinity());

// A looser ceiling found in one table lookup a unit: each unit costed at the
// least any pair ending in it costs in any language.
[[nodiscard]] double ScoreUnitCeiling(TextView text);

// For the ceilings of texts known before they are made: the cost, in the
// model's steps, beyond which a text's ceiling is below at_least (and
// ScoreCeiling returns -infinity); nullopt without a model or without a bar.
[[nodiscard]] std::optional<std::uint64_t> CeilingCostLimit(double at_least);
// The least any language costs each pair of symbols a then b[i] (two ASCII
// characters under the shared table), in the model's steps, at most 255,
// into costs[i]. Summed over a text's pairs, the first after a line break,
// they are at most the cost of its ceiling. 0 without a model.
void LeastPairCosts(char16_t a, std::span<const char16_t> b, std::span<std::uint8_t> costs);

// The log-probability per character that clean text of the language scores at
// least, 99 times in 100, at this length (characters as LanguageScore counts
// them): measured by repair/tools/build_model.py on training texts the tables
// were built without. Shorter texts vary more and have lower floors. Negative;
// 0 when the model cannot be read.
[[nodiscard]] double CleanTextFloor(Language language, std::size_t characters);

// Whether the text scores per character at least the clean-text floor of the
// language it looks most like (ScoreText's), at its length. A few garbled
// characters in a long clean text hardly move the average: judge passages
// (lines, runs outside ASCII) on their own to find them. Each U+FFFD, a
// character known to be lost, is left out. True for the empty text (or U+FFFD
// alone) and when the model cannot be read (nothing is then known against it).
[[nodiscard]] bool LooksLikeCleanText(TextView text);

// False when the embedded model is missing or malformed (then every score is 0).
[[nodiscard]] bool LanguageModelLoaded();

}  // namespace mok
