#pragma once

// The small editing commands of the edit menu: width and script conversion of
// the selection (mnuCase) and deletion and insertion at the selection (mnuIns).
// Each commits its result with its caption up to the key or access-key part.

#include <array>
#include <string_view>

namespace mok {

class CommandHost;

inline constexpr std::array<std::u16string_view, 4> kCaseCaptions = {u"转全角 (&D)", u"转半角 (&B)", u"转简体 (&G)",
                                                                    u"转繁体 (&F)"};
inline constexpr std::array<std::u16string_view, 5> kInsCaptions = {u"删除 [Del]", u"插入 [Ins] …", u"空格 [Ctrl+Del]",
                                                                   u"跳格 [F11]", u"换行 [F12]"};

// 0 full width, 1 half width, 2 simplified, 3 traditional: the selection is
// converted and stays selected.
void mnuCase_Click(CommandHost& host, int index);
// 0 delete the selection, 1 insert a string asked for in the input dialog,
// 2 a space, 3 a tab, 4 a line break, in place of the selection.
void mnuIns_Click(CommandHost& host, int index);

}  // namespace mok
