#pragma once

// mok suggest: the repairs the window's "自动解读" offers for a text, ranked,
// as a listing; or, with --apply, the best repair itself as the output,
// streamed through in bounded memory however large the input.

#include <cstddef>
#include <string>

#include "cli/steps.h"
#include "codec/text_types.h"

namespace mok::cli {

// The listing of the suggestions for a text, one block per row, best first:
//
//   1  简体中文  明确  菜单：GB--Big5
//      原为 GBK 编码，被当作 Big5 读出
//      预览：中文乱码
//
// rank, then the language the result reads as, how sure the choice is (the
// first row only: 明确, 难分 or 仍像乱码) and the menu command that does the
// same, each left out where a row has none; then what happened to the text,
// with the characters that could not be recovered; for a repair by passages
// the lines they start on ("位置：第 4、7 行"); then the start of the repaired
// text on one line. Empty when no row repairs anything, as the window then has
// nothing to offer.
[[nodiscard]] Text SuggestionListing(TextView text);

// The best repair, or the empty text when the best is to change nothing.
[[nodiscard]] Text BestRepair(TextView text);

// How much of a stream --apply chooses its repair on: its first units up to
// this many (ending at a line break where there is one). A stream no longer
// than that is repaired exactly as BestRepair repairs it; a longer one has
// the repair chosen on the sample applied to the rest line by line: the steps
// of a whole-text repair to every line they take without loss, the steps of
// a repair by passages to each line's passage where they win.
inline constexpr std::size_t kApplySample = 64 * 1024;

// The step of "mok suggest": the listing, or with apply the best repair
// (streamed). Either gives the empty text ("未经改动") when there is nothing
// to suggest.
[[nodiscard]] Step SuggestStep(bool apply);

// What `mok list` says of suggest: the pairs of code pages it tries.
[[nodiscard]] std::string SuggestListText();

}  // namespace mok::cli
