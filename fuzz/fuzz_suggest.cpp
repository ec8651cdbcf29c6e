// Repair suggestions on arbitrary UTF-16 input: never a crash, and every row
// keeps its promises (distinct texts, ranked, replaying the steps gives the
// row's text, the no-change row is the input).
// Input: UTF-16LE code units.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>

#include "codec/conversion_core.h"
#include "repair/suggest.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Longer inputs only cost time: the search is the same on every stretch.
  const mok::Text input = mok::ByteViewToText(mok::BytesView(data, size < 8192 ? size : 8192));
  const auto suggestions = mok::SuggestRepairs(input, 5);
  Check(input.empty() == suggestions.empty());
  Check(suggestions.size() <= 5);
  std::set<mok::Text> texts;
  for (std::size_t i = 0; i < suggestions.size(); ++i) {
    const mok::RepairSuggestion& s = suggestions[i];
    Check(texts.insert(s.text).second);
    Check(s.steps.size() <= 2);
    if (i + 1 < suggestions.size()) Check(s.score >= suggestions[i + 1].score);
    mok::Text replay = input;
    for (const mok::RepairStep step : s.steps) {
      auto result = mok::ApplyLosslessStep(replay, step);
      Check(result.has_value());
      replay = std::move(result->text);
    }
    Check(replay == s.text);
  }
  return 0;
}
