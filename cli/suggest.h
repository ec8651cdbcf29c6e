#pragma once

// mok suggest: the repairs the window's "自动解读" offers for a text, ranked,
// as a listing; or, with --apply, the best repair itself as the output.

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
// rank, language, how clear the choice is and the menu command (none for "不改动");
// then what happened to the text; then the start of the repaired text on one
// line. Empty when no row repairs anything, as the window then has nothing to
// offer.
[[nodiscard]] Text SuggestionListing(TextView text);

// The best repair, or the empty text when the best is to change nothing.
[[nodiscard]] Text BestRepair(TextView text);

// The step of "mok suggest": the listing, or with apply the best repair. Either
// gives the empty text ("未经改动") when there is nothing to suggest.
[[nodiscard]] Step SuggestStep(bool apply);

// What `mok list` says of suggest: the code pages it tries.
[[nodiscard]] std::string SuggestListText();

}  // namespace mok::cli
