#pragma once

// The benchmark corpus of the repair suggestions: JSON Lines, one flat object
// per sample with string values only,
//   {"group":"base","garbling":"sjis>gbk","steps":"932>936","class":"short","lang":"ja",
//    "input":"...","expect":"..."}
// "X>Y" means bytes in X read as Y; "steps" names the code pages of each step
// in the order the garbling applied them. "clean" samples have no "expect"
// (the text must stay as it is); "lossy" samples also keep the "original"
// text, their "expect" is it with each character whose bytes were lost as one
// U+FFFD. And the measurement the README's tables come from.

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

// The keys of a line, in the order they are written.
inline const std::vector<std::string> kKeys = {"group", "garbling", "steps", "class", "lang",
                                               "input", "expect", "original"};

struct Tally {
  int samples = 0;
  int top1 = 0;         // the best suggestion is the expected text (clean: the text unchanged)
  int top3 = 0;         // the expected text is among the first three
  int similar = 0;      // the best suggestion is at least 90% similar to the expected text (Similarity):
                        // for a lossy text, to the original with a U+FFFD matching each lost character
  int changed = 0;      // the best suggestion changes the text and is wrong (clean: a false repair)
  int clear = 0;        // the best suggestion is marked clear (明确)
  int clear_wrong = 0;  // ... and is wrong: not the expected text (lossy: not 90% similar)
  int looks_garbled = 0;  // the input is below the clean-text floor (LooksLikeCleanText is false)
};

[[nodiscard]] inline double Rate(int n, int d) { return d == 0 ? 0.0 : static_cast<double>(n) / d; }

// 1 - (edit distance in UTF-16 code units) / (the longer text's length); 1 for two empty texts.
[[nodiscard]] double Similarity(TextView a, TextView b);

// Tallies per row and class ("short", "medium", "long", and "all"). Rows:
//   "all"          every sample
//   "group:G"      every sample of group G ("group:clean" the clean texts)
//   "G:X>Y"        one garbling of group G
//   "lang:L"       the samples of the 13 garblings of group "base" in language L
//   "clean:L"      the clean texts of language L
using Table = std::map<std::pair<std::string, std::string>, Tally>;

[[nodiscard]] Table Measure(const std::vector<Record>& samples);

// The tables as Markdown, as the README shows them.
[[nodiscard]] std::string FormatTable(const Table& table);

}  // namespace mok::corpus
