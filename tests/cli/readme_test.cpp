// The examples of the README's section on mok, run as written: each line
// "$ command" of an indented block runs in sh (in one scratch folder, with
// the built mok first on PATH), and the lines after it up to the next
// command or the block's end are what it must print (standard error
// included, as a terminal shows it).

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "tests/cli/mok_runner.h"

namespace mok::testing {
namespace {

struct Example {
  std::string command;
  std::string output;
};

// The examples between the section's heading and the next "## " heading.
std::vector<Example> ExamplesOfSection(const std::string& readme, const std::string& heading) {
  std::vector<Example> examples;
  std::istringstream in(readme);
  bool inside = false;
  bool in_example = false;  // the lines that follow belong to the last command
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("## ", 0) == 0) inside = line == heading;
    if (!inside) continue;
    if (line.rfind("    $ ", 0) == 0) {
      examples.push_back({line.substr(6), ""});
      in_example = true;
    } else if (line.rfind("    ", 0) == 0 && in_example) {
      examples.back().output += line.substr(4) + "\n";
    } else {
      in_example = false;
    }
  }
  return examples;
}

std::string WithoutTrailingNewlines(std::string text) {
  while (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

using Readme = MokTest;

TEST_F(Readme, ExamplesOfMokPrintWhatTheReadmeShows) {
  const std::vector<Example> examples = ExamplesOfSection(
      ReadFile(MOK_README_PATH), "## \xE5\x91\xBD\xE4\xBB\xA4\xE8\xA1\x8C\xE5\xB7\xA5\xE5\x85\xB7 mok");
  ASSERT_GE(examples.size(), 8u);
  const std::string bin = std::filesystem::path(MokPath()).parent_path().string();
  for (const Example& example : examples) {
    const std::string script = "export PATH='" + bin + "':\"$PATH\" LC_ALL=C.UTF-8; cd '" + Path("").string() +
                               "' && { " + example.command + "; } > .out 2>&1";
    EXPECT_EQ(std::system(script.c_str()), 0) << example.command;
    EXPECT_EQ(WithoutTrailingNewlines(ReadFile(Path(".out"))), WithoutTrailingNewlines(example.output))
        << example.command;
  }
}

}  // namespace
}  // namespace mok::testing
