#pragma once

// How much a text looks like real text of eight languages: character bigram
// models (Witten-Bell smoothing, backing off to character classes) built from
// text in Debian packages by repair/tools/build_model.py and embedded in the
// program. Pairs of two ASCII characters are scored by one model shared by all
// languages, so English words inside Chinese text favour no language.

#include <array>
#include <cstddef>
#include <cstdint>

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
};
inline constexpr std::size_t kLanguageCount = 8;

struct LanguageScore {
  double log_probability = 0;  // natural log, a sum over the characters
  Language language = Language::English;
};

// The sum of the log-probabilities of the text's characters under each
// language's model. A CR is read as a line break, an LF right after it is
// skipped, so CR LF, CR and LF score alike. All zeros for the empty text or
// when the model cannot be read.
[[nodiscard]] std::array<double, kLanguageCount> ScoreEveryLanguage(TextView text);

// The best of ScoreEveryLanguage; a tie (a text of ASCII alone) goes to English.
[[nodiscard]] LanguageScore ScoreText(TextView text);

// False when the embedded model is missing or malformed (then every score is 0).
[[nodiscard]] bool LanguageModelLoaded();

}  // namespace mok
