#pragma once

// The checks on what the user types into the file browser: forbidden characters
// in a file name, the repair of a name before saving (MendName) and the folder
// typed into the path box. They work on the texts of the boxes and return what
// the boxes should show, so they run without a window.

#include <cstdint>
#include <string_view>

#include "codec/text_types.h"

namespace mok {

class FolderListing;
class UserPrompts;

// The nine characters no file name may hold, so that names stay valid on the
// Windows and USB file systems such files travel to.
inline constexpr std::u16string_view kBadChars = u"\"*/:<>?\\|";
// Folder and name together may not be longer.
inline constexpr std::int32_t kPathLimit = 200;
inline constexpr std::u16string_view kDefaultName = u"!未起名";

// 1-based position of the first forbidden character of the name, or 0. When it
// finds one it shows "文件名里不能有 半角的 " and the nine characters.
[[nodiscard]] std::int32_t FindBadChar(TextView name, UserPrompts& prompts);

// What MendName makes of the name box.
struct MendedName {
  // The user must look again: the name was changed, or refused with a message.
  bool changed = false;
  // The name box takes text, with the selection below.
  bool replace = false;
  // The file list selects the entry equal to the name box (SelectListName).
  bool select_in_list = false;
  Text text;
  std::int32_t sel_start = 0;
  std::int32_t sel_length = 0;
};

// Repairs a typed file name for saving in folder: blanks trimmed, the default
// name "!未起名.txt" for an empty name, "." , ".." or ".txt", ".txt" added when
// there is no extension of one to eight characters. With make_unique, "_2" is
// added to the base name until no file or folder of that name exists. A name
// with a forbidden character or a path over 200 characters is refused with a
// message.
[[nodiscard]] MendedName MendName(TextView name_box, TextView folder, bool make_unique, UserPrompts& prompts);

// The path box's text as a folder: blanks removed at both ends, and before a
// final "/" ("/tmp  /" gives "/tmp/").
[[nodiscard]] Text TidyPathBox(TextView typed);

enum class PathBoxResult {
  kSame,   // the box named the current folder
  kMoved,  // the listing moved to the folder typed
  kFailed  // that folder cannot be entered; error holds the cause
};

// The path box check: moves the listing to the folder typed when it is not the
// current one. Afterwards the box shows listing.Folder(), unless it failed.
[[nodiscard]] PathBoxResult CheckPathBox(TextView typed, FolderListing& listing, int& error);

}  // namespace mok
