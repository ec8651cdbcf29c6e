#pragma once

// mok names: repairs garbled file names in place, as a dry run unless asked
// to rename, with a log that puts every name back.

#include <ctime>
#include <string>
#include <vector>

namespace mok::cli {

struct NamesPlan {
  std::vector<std::string> paths;  // folders (their entries) and files (their own names); none: "."
  bool recursive = false;          // -r: into folders, each renamed after its contents
  bool apply = false;              // --apply: rename; else only say what would be renamed
  std::string log;                 // --log: the undo log; empty: DefaultLogName in the current folder
};

// Repairs the names, printing "old → new" and the repair's explanation for
// each name changed (or that would be), and reporting every name left alone
// for a reason and every clash on standard error. With apply, each rename is
// written to the log, and the log flushed to disk, before it is made.
// 0 when a name changed (or would), 1 when none, 2 when a name could not be
// renamed or a folder could not be read.
[[nodiscard]] int RunNames(const NamesPlan& plan);

// Puts back every name a log records, newest first, never over an existing
// name. 0 when names were put back and nothing failed, 1 for a log that
// records none, 2 on a failure (a malformed log renames nothing).
[[nodiscard]] int UndoNames(const std::string& log);

// "mok-names-20261208-135102.log" for the local time `now`.
[[nodiscard]] std::string DefaultLogName(std::time_t now);

}  // namespace mok::cli
