#pragma once

// Runs the steps over every input: standard input or files, to standard
// output, one file (-o) or a folder (-d), files in parallel.

#include <string>
#include <vector>

#include "cli/formats.h"
#include "cli/steps.h"

namespace mok::cli {

struct RunPlan {
  std::vector<Step> steps;
  FileEncoding input;
  FileEncoding output;
  std::string output_file;          // empty: standard output
  std::string output_dir;           // each input's name in this folder
  unsigned jobs = 1;                // files converted at once with output_dir
  std::vector<std::string> inputs;  // "-" is standard input
  // What the output encoding does with escaped bytes and with characters it
  // cannot hold (Stop: the input fails), and whether fallbacks apply.
  EncodeRules rules{InvalidAction::Stop, InvalidAction::Stop, true};
  bool force = false;  // write over a read-only output file
};

// Exit status of a run: the worst of its files.
inline constexpr int kExitOk = 0;
inline constexpr int kExitUnchanged = 1;  // a step gave the empty text ("未经改动")
inline constexpr int kExitInvalid = 1;    // a byte not decoded, or a character the output cannot hold
inline constexpr int kExitFailed = 2;     // bad usage, or a file not read or written

// Converts every input and reports each problem on standard error in one line
// that names the file. A file asked for with -o or -d appears only when it is
// complete (OutputSink), so no partial file is ever left.
[[nodiscard]] int RunAll(const RunPlan& plan);

}  // namespace mok::cli
