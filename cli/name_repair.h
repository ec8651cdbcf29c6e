#pragma once

// The pieces of `mok names`: what a garbled file name repairs to, names as
// one line of text whatever their bytes, and a rename that never replaces.

#include <optional>
#include <string>
#include <string_view>

#include "codec/text_types.h"

namespace mok::cli {

// What becomes of one file name.
enum class NameVerdict {
  Clean,         // nothing to repair: left alone without a word
  Repaired,      // `repaired` holds the new name's bytes
  Unsure,        // a name that is not UTF-8 whose best repair is not clear ("难分", "仍像乱码")
  Lossy,         // the best repair could not recover every character
  StillInvalid,  // the repair still holds bytes that are not UTF-8
  BadName,       // the repair is empty, ".", "..", or holds "/" or NUL
  NoRepair,      // the name is not UTF-8 and nothing repairs it
};

struct NameRepair {
  NameVerdict verdict = NameVerdict::Clean;
  std::string repaired;  // the new name (Repaired), or the best guess (Unsure)
  Text explanation;      // the best row's explanation
  Text confidence;       // the best row's confidence words ("难分", "仍像乱码")
  std::size_t lost = 0;  // characters the best repair could not recover
};

// Repairs a name (its bytes, no "/") with the same ranking as the window's
// 自动解读. The bytes are read as UTF-8, each byte that does not decode kept
// as U+DC00 + byte, so the repair library sees every byte; only a repair it
// is clear about that changes the name and gives a valid name renames. A
// valid UTF-8 name it is not clear about counts as clean.
[[nodiscard]] NameRepair RepairName(std::string_view name);

// A name's bytes as one line: valid UTF-8 as it is, except "\" as "\\", and
// control characters and bytes that are not valid UTF-8 as "\xHH", one per
// byte. Safe to print on a terminal and to keep in a log.
[[nodiscard]] std::string EscapedName(std::string_view bytes);

// The bytes of an escaped name; nullopt for a malformed escape.
[[nodiscard]] std::optional<std::string> UnescapedName(std::string_view line);

// Renames `from` to `to` in the folder open as folder_fd, never over anything
// that exists: renameat2 with RENAME_NOREPLACE, or where the file system
// refuses that flag, a hard link under the new name and the old one removed
// (link fails rather than replace). 0, or the errno value: EEXIST when the
// new name is taken, kNoSafeRename when neither way is open (a folder on a
// file system without the flag).
inline constexpr int kNoSafeRename = -1;
[[nodiscard]] int RenameWithoutReplacing(int folder_fd, const std::string& from, const std::string& to);

}  // namespace mok::cli
