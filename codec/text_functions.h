#pragma once

// Cutting a caption down to its status text.

#include "codec/text_types.h"

namespace mok {

// The part of text before the first occurrence of separator (code units compared
// exactly); the whole text when there is none; empty for an empty separator.
[[nodiscard]] Text TextBefore(TextView text, TextView separator);

}  // namespace mok
