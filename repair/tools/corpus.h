#pragma once

// The benchmark corpus of the repair suggestions: JSON Lines, one flat object
// per sample with string values only,
//   {"garbling":"sjis>gbk","class":"short","lang":"ja","input":"...","expect":"..."}
// "X>Y" means bytes in X read as Y; "clean" samples have no "expect" (the text
// must stay as it is). And the measurement the README's table comes from.

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "codec/text_types.h"

namespace mok::corpus {

using Record = std::map<std::string, Text>;

// One line; nullopt when it is not a flat JSON object of string values.
[[nodiscard]] std::optional<Record> ParseLine(std::string_view line);
// The line for a record, keys in the given order, non-ASCII as UTF-8.
[[nodiscard]] std::string FormatLine(const Record& record, const std::vector<std::string>& keys);
// Every line of a file; nullopt when the file cannot be read or a line is malformed.
[[nodiscard]] std::optional<std::vector<Record>> ReadFile(const std::string& path);

[[nodiscard]] std::string ToUtf8(TextView text);
[[nodiscard]] Text FromUtf8(std::string_view text);

struct Tally {
  int samples = 0;
  int top1 = 0;    // garbled: the best suggestion is the clean text
  int top3 = 0;    // garbled: the clean text is among the first three
  int changed = 0; // the best suggestion changes the text wrongly (clean: a false repair)
};

// Tallies per garbling and class ("short", "medium", "long", and "all"); the
// garbled samples also per language ("lang:ru") and class, and all together
// under ("all", "all"). Clean samples are the garbling "clean".
using Table = std::map<std::pair<std::string, std::string>, Tally>;

[[nodiscard]] Table Measure(const std::vector<Record>& samples);

// The table as Markdown, as the README shows it.
[[nodiscard]] std::string FormatTable(const Table& table);

}  // namespace mok::corpus
