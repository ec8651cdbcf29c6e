#pragma once

// The command line of mok: a command with its operands, more steps after
// --then, options anywhere, and the input files.

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "cli/formats.h"
#include "cli/steps.h"

namespace mok::cli {

enum class Action { Run, List, Suggest, Names, Help, Version };

// What becomes of a byte that cannot be decoded and of a character the output
// encoding cannot hold.
enum class Invalid {
  Stop,     // the default: the input fails with a message naming the place
  Omit,     // -c: left out
  Replace,  // --replace: U+FFFD, or "?" where the output cannot hold it
};

struct Invocation {
  Action action = Action::Run;
  std::vector<StepRequest> steps;   // in order; "convert" adds none
  bool apply = false;               // --apply: suggest writes the best repair, names renames
  bool recursive = false;           // -r: names goes into folders
  std::string log_file;             // --log: where names --apply keeps its undo log
  std::optional<std::string> undo_log;  // --undo: names puts back what this log records
  FileEncoding input;               // detection unless -f
  FileEncoding output{9, 0, false, "utf8"};  // utf8 unless -t
  std::string output_file;          // -o
  std::string output_dir;           // -d
  unsigned jobs = 0;                // -j; 0: one per core
  Invalid invalid = Invalid::Stop;  // -c, --replace
  bool keep = false;                // --keep: undecodable bytes written as they came
  bool force = false;               // --force: -o writes over a read-only file
  std::string search;               // list: the word to look for
  std::vector<std::string> inputs;  // none: standard input; "-" is standard input too
};

// Reads the words after the program's name. False with a one-line message in
// error when the words are not a valid call.
[[nodiscard]] bool ParseInvocation(std::span<const std::string> words, Invocation& call, std::string& error);

}  // namespace mok::cli
