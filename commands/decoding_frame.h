#pragma once

// The steps every decoding command ends with: an empty result is "not changed"
// with a beep, an over-long result is refused with a message, anything else is
// written back and committed to the history.

#include "codec/text_types.h"
#include "menus/menu_tables.h"

namespace mok {

class CommandHost;

inline constexpr std::u16string_view kNotChanged = u"未经改动";
inline constexpr std::u16string_view kTooLong = u" 未成~ 文本过长";
inline constexpr std::u16string_view kDecodePrefix = u"解读 ";

enum class WriteBack { WholeText, Selection };

// Finishes a decoding command with its converted working copy. With
// check_length, a result longer than the text limit is refused.
void FinishDecoding(CommandHost& host, Text result, TextView status, WriteBack target, bool check_length);

// The command name of a caption: the part before " ：".
[[nodiscard]] Text CommandName(TextView caption);

}  // namespace mok
