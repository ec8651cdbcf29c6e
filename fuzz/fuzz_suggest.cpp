// Repair suggestions on arbitrary UTF-16 input: never a crash, and every row
// keeps its promises (distinct texts, ranked, only the first sure of itself,
// replaying the steps gives the row's text, a repair by passages leaves the
// text between its passages as it was, the no-change row is the input).
// Input: UTF-16LE code units.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>

#include "codec/conversion_core.h"
#include "repair/candidates.h"
#include "repair/suggest.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// The passages are in order, inside the input and the result, and around
// them the result is the input unit for unit.
void CheckPassages(const mok::Text& input, const mok::RepairSuggestion& s) {
  Check(s.steps.empty());
  std::size_t in = 0, out = 0, lost = 0;
  for (const mok::RepairedPassage& p : s.passages) {
    Check(p.begin >= in && p.begin <= p.end && p.end <= input.size());
    Check(p.result_begin - out == p.begin - in);
    Check(p.result_begin <= p.result_end && p.result_end <= s.text.size());
    Check(s.text.compare(out, p.result_begin - out, input, in, p.begin - in) == 0);
    Check(!p.steps.empty());
    lost += p.lost;
    in = p.end;
    out = p.result_end;
  }
  Check(s.text.compare(out, mok::Text::npos, input, in, mok::Text::npos) == 0);
  Check(lost == s.lost);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Longer inputs only cost time: the search is the same on every sample.
  const mok::Text input = mok::ByteViewToText(mok::BytesView(data, size < 8192 ? size : 8192));
  const auto suggestions = mok::SuggestRepairs(input, 5);
  Check(input.empty() == suggestions.empty());
  Check(suggestions.size() <= 5);
  std::set<mok::Text> texts;
  for (std::size_t i = 0; i < suggestions.size(); ++i) {
    const mok::RepairSuggestion& s = suggestions[i];
    Check(texts.insert(s.text).second);
    Check((i == 0) == (s.confidence != mok::Confidence::None));
    Check(s.steps.size() <= 2);
    if (i + 1 < suggestions.size()) Check(s.score >= suggestions[i + 1].score);
    Check(s.lost <= static_cast<std::size_t>(std::count(s.text.begin(), s.text.end(), u'\uFFFD')));
    if (!s.passages.empty()) {
      CheckPassages(input, s);
      continue;
    }
    if (s.steps.empty()) {
      Check(s.text == input && s.lost == 0);
      continue;
    }
    const auto replay = mok::ApplySteps(input, s.steps, false);
    Check(replay.has_value() && replay->text == s.text && replay->lost == s.lost);
  }
  return 0;
}
