#pragma once

// Repair of a text that is garbled only in places ("逐段修复"): its passages,
// found from its own structure (lines, runs outside ASCII, changes of
// script), are judged one by one against what clean text scores, and each
// garbled one is repaired with its own steps when the repair wins by the
// margin a whole text's repair needs to be clear.

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

#include "codec/text_types.h"
#include "repair/suggest.h"

namespace mok {

struct PassageRepairs {
  Text text;                               // the input with every repaired passage replaced
  std::vector<RepairedPassage> passages;   // the repaired ones, in order
  double gain = 0;                         // how much better the repairs score than the passages did
  std::size_t lost = 0;                    // characters lost in all passages
  bool garbled_left = false;               // a passage still looks garbled, repaired or not
};

// The passages of the text that look garbled, repaired where a repair wins.
// nullopt when no line is suspect. Never throws.
[[nodiscard]] std::optional<PassageRepairs> RepairPassages(TextView text);

// How many of the text's lines that hold a unit outside ASCII are suspect:
// they score below what clean text scores, or read as another language than
// most of the text's lines do.
struct LineCount {
  std::size_t suspect = 0;
  std::size_t lines = 0;
};
[[nodiscard]] LineCount CountSuspectLines(TextView text);

struct Span {
  std::size_t begin = 0, end = 0;
};

// The lines of a text that hold a unit outside ASCII: the whole line (without
// its line break), and the part from its first to its last unit outside ASCII,
// which a repair replaces.
struct LineSpan {
  Span line;
  Span outside_ascii;
};
[[nodiscard]] std::vector<LineSpan> LinesOf(TextView text);

// The runs of one span: the parts between its stretches of ASCII (a stretch
// of one character other than a space does not end a run), with by_script
// also split where the script changes (Chinese characters and kana to Latin
// letters, Greek, Cyrillic, Hebrew, Arabic, Thai, symbols).
[[nodiscard]] std::vector<Span> RunsOf(TextView text, Span span, bool by_script);

// A passage is repaired only when it holds this many units outside ASCII
// (fewer are too little to tell a garbled one from an unusual one), its
// repair does not read as garbled text, and the repair wins by kClearMargin.
inline constexpr std::size_t kMinPassageUnits = 2;

// The best repair of one passage among the given step lists, under the rule
// above; used to repair the passages of a stream with the steps a sample of
// it chose.
struct PassageChoice {
  std::size_t choice = 0;  // index into the step lists
  Text text;
  std::size_t lost = 0;
  double gain = 0;
};
[[nodiscard]] std::optional<PassageChoice> ChoosePassageRepair(TextView passage,
                                                               std::span<const std::vector<RepairStep>> choices);

}  // namespace mok
