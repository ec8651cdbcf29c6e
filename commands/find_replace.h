#pragma once

// Finding a string in the main text and replacing every occurrence of the
// selection, both asking for the string through the input dialog. The search
// string sSeek stays between finds; a selection made by the user becomes the
// new search string when a find button is pressed.

#include "codec/text_types.h"

namespace mok {

class CommandHost;

// Selects the next occurrence of sFind in the position scale of the text box.
// A line break of sFind (CR LF, CR or LF) matches any line break of the text,
// and a match never splits a CR LF. nWay: -1 the first in the whole text, 0 the
// nearest that ends before the selection starts, 1 the first that starts after
// the selection ends. Beeps when sFind is empty or nothing is found.
[[nodiscard]] bool SeekText(CommandHost& host, TextView sFind, int nWay);

class FindReplace {
 public:
  // The find buttons and F1/F2: 0 backward, 1 forward, from the selection.
  void cmdSeek_Click(CommandHost& host, int index);
  // "查找 [F3] …": asks for the search string and finds its first occurrence.
  void mnuSeekNew_Click(CommandHost& host);
  // "替换 [F4] …": replaces every occurrence of the selected string with the
  // string asked for, as one history state. A selection longer than the input
  // dialog holds (a line break counting two) is refused with a message.
  void mnuReplace_Click(CommandHost& host);

  // The current search string, each line break a single CR.
  [[nodiscard]] const Text& sSeek() const { return sSeek_; }

 private:
  Text sSeek_;
};

// Every occurrence of `old` in `text` replaced by `fresh`, scanned left to right
// without overlap, in one pass. A line break of `old` (CR LF, CR or LF) matches
// any line break of the text, whole: a CR LF is never cut in two. Everything
// else of the text stays unit for unit. `first` gets the index in `text` of the
// first occurrence replaced (npos when there is none).
[[nodiscard]] Text ReplaceAll(TextView text, TextView old, TextView fresh, std::size_t& first);

}  // namespace mok
