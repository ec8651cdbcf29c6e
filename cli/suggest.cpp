#include "cli/suggest.h"

#include <algorithm>

#include "cli/words.h"
#include "codec/charset_tables.h"
#include "repair/explain.h"
#include "repair/suggest.h"

namespace mok::cli {
namespace {

constexpr std::size_t kPreviewLength = 60;

bool IsHigh(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// The preview as a terminal may show it: control characters as their visible
// pictures (U+2400 and on), so that no escape sequence of the text reaches the
// terminal; unpaired surrogates (bytes a wrong decoding kept) as U+FFFD.
Text Printable(TextView line) {
  Text out;
  out.reserve(line.size());
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char16_t c = line[i];
    if (c < 0x20) {
      out += static_cast<char16_t>(0x2400 + c);
    } else if (c == 0x7F) {
      out += u'\u2421';
    } else if (c >= 0x80 && c < 0xA0) {
      out += u'\uFFFD';
    } else if (IsHigh(c) && i + 1 < line.size() && IsLow(line[i + 1])) {
      out += c;
      out += line[++i];
    } else if (IsHigh(c) || IsLow(c)) {
      out += u'\uFFFD';
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

Text SuggestionListing(TextView text) {
  const std::vector<RepairSuggestion> rows = SuggestRepairs(text);
  if (std::none_of(rows.begin(), rows.end(), [](const RepairSuggestion& row) { return !row.steps.empty(); })) {
    return {};
  }
  Text listing;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const SuggestionWords words = DescribeSuggestion(rows[i]);
    if (i > 0) listing += u'\n';
    for (const char c : std::to_string(i + 1)) listing += static_cast<char16_t>(c);
    listing.append(u"  ").append(words.language).append(u"  ").append(words.confidence);
    if (!words.menu.empty()) listing.append(u"  菜单：").append(words.menu);
    listing.append(u"\n   ").append(words.explanation);
    listing.append(u"\n   预览：").append(Printable(PreviewLine(rows[i].text, kPreviewLength))).append(u"\n");
  }
  return listing;
}

Text BestRepair(TextView text) {
  std::vector<RepairSuggestion> rows = SuggestRepairs(text, 1);
  if (rows.empty() || rows.front().steps.empty()) return {};
  return std::move(rows.front().text);
}

Step SuggestStep(bool apply) {
  Step step;
  step.name = "自动解读";
  if (apply) {
    step.whole = [](Text& text) { text = BestRepair(text); };
  } else {
    step.whole = [](Text& text) { text = SuggestionListing(text); };
  }
  return step;
}

std::string SuggestListText() {
  std::string text = "\nsuggest（自动解读）试这些代码页之间的解读，外加 UTF-16 的字节对调：\n";
  for (const std::int32_t code : kRepairCodePages) {
    text += "  " + std::to_string(code);
    for (const NamedCode& entry : CodePages()) {
      if (entry.code == code) text += "\t" + ToUtf8(entry.name);
    }
    text += "\n";
  }
  return text;
}

}  // namespace mok::cli
