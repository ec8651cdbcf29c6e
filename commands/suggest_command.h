#pragma once

// "自动解读": lists the repairs of the text (or of a selection of two or more
// characters) ranked by how much the result looks like real text, and applies
// the one the user confirms as one history state. When no repair changes
// anything, or leaving the text as it is is clearly best, it says "未经改动"
// with a beep and shows no list.

#include <string_view>

namespace mok {

class CommandHost;

inline constexpr std::u16string_view kSuggestCaption = u"自动解读 ：按可信度列出可能的解读 …";

void RunSuggest(CommandHost& host);

}  // namespace mok
