#pragma once

// Deleting a file the way the desktop does: into the trash where there is one,
// a plain delete where there is none. Asks nothing; the caller asks the user.

#include <cstdint>

#include "codec/text_types.h"

namespace mok {

// True when the file is gone (to the trash or deleted); false when there was
// no file or it could not be removed, with the errno value in *error when
// error is given. owner_window is kept for callers that pass their window;
// nothing is shown.
[[nodiscard]] bool RecycleFile(TextView path, std::int32_t owner_window = 0, int* error = nullptr);

}  // namespace mok
