#include "repair/explain.h"

#include <algorithm>
#include <string>

#include "codec/charset_conversion.h"
#include "codec/charset_tables.h"
#include "codec/text_functions.h"
#include "menus/menu_tables.h"
#include "repair/suggest.h"

namespace mok {
namespace {

constexpr std::u16string_view kNoChange = u"不改动";
constexpr std::u16string_view kUtf16BeName = u"Unicode(UTF-16BE)";

// Code pages the repairs read with that the code-page list does not offer.
constexpr NamedCode kOtherCodePages[] = {
    {u"中文繁(Big5-HKSCS)", 951},  {u"土耳其文(Windows)", 1254},   {u"土耳其文(ISO)", 28599},
    {u"波罗的海文(Windows)", 1257}, {u"波罗的海文(ISO)", 28603},    {u"希伯来文(Windows)", 1255},
    {u"希伯来文(ISO)", 28598},     {u"阿拉伯文(Windows)", 1256},   {u"阿拉伯文(ISO)", 28596},
};

// Whether the CP--CP dialog offers the code page.
bool Listed(std::int32_t code_page) {
  for (const NamedCode& entry : CodePages()) {
    if (entry.code == code_page) return true;
  }
  return false;
}

// The name the code-page list gives, "西里尔(KOI8-R)"; empty when it has none.
Text FullName(std::int32_t code_page) {
  if (code_page == kUtf16Swap.code_page_b) return Text(kUtf16BeName);
  for (const NamedCode& entry : CodePages()) {
    if (entry.code == code_page) return Text(entry.name);
  }
  for (const NamedCode& entry : kOtherCodePages) {
    if (entry.code == code_page) return Text(entry.name);
  }
  return {};
}

std::u16string_view InParentheses(std::u16string_view name) {
  const std::size_t open = name.find(u'(');
  const std::size_t close = name.rfind(u')');
  if (open == std::u16string_view::npos || close == std::u16string_view::npos || close < open) return {};
  return name.substr(open + 1, close - open - 1);
}

// The part in parentheses when it names the character set alone ("GBK",
// "Shift-JIS", "KOI8-R", "UTF-8"); the full name when other entries share it
// ("西欧(Windows)", "西里尔(Windows)").
Text ShortName(std::int32_t code_page) {
  const Text full = FullName(code_page);
  const std::u16string_view inner = InParentheses(full);
  if (inner.empty()) return full;
  int sharing = 0;
  for (const NamedCode& entry : CodePages()) sharing += InParentheses(entry.name) == inner ? 1 : 0;
  for (const NamedCode& entry : kOtherCodePages) sharing += InParentheses(entry.name) == inner ? 1 : 0;
  return sharing <= 1 ? Text(inner) : full;
}

// The code page an A-to-B row's language code converts with.
std::int32_t CodePageOfLanguageCode(std::int32_t code) {
  switch (code) {
    case -1: return 28591;
    case -2: return kUtf16Swap.code_page_a;
    case -3: return kUtf16Swap.code_page_b;
    case -4: return 65001;
    default: return AnsiCodePageOfLocale(code);
  }
}

bool RowDoes(const A2BRow& row, RepairStep step) {
  if (row.caption == kSeparatorCaption) return false;
  const RepairStep row_step{CodePageOfLanguageCode(row.code_a), CodePageOfLanguageCode(row.code_b)};
  // Swapping the bytes of every pair is its own inverse.
  if (step == kUtf16Swap) return row_step == step || row_step == RepairStep{step.code_page_b, step.code_page_a};
  return row_step == step;
}

// The item of the second decoding menu that does the step, or nullptr.
const A2BRow* A2BRowDoing(RepairStep step) {
  for (const A2BRow& row : kA2BTable) {
    if (RowDoes(row, step)) return &row;
  }
  return nullptr;
}

// The step's name in a status text: the A-to-B or ISO-2022 command name, or
// the pair of code pages.
Text StepName(RepairStep step) {
  if (const A2BRow* row = A2BRowDoing(step)) return TextBefore(row->caption, kCaptionSeparator);
  if (const int variant = Iso2022Variant(step); variant >= 0) {
    return TextBefore(k2022Captions[static_cast<std::size_t>(variant)], kCaptionSeparator);
  }
  return FullName(step.code_page_a) + u"--" + FullName(step.code_page_b);
}

Text Number(std::size_t n) {
  Text out;
  for (const char c : std::to_string(n)) out += static_cast<char16_t>(c);
  return out;
}

}  // namespace

Text ExplainSteps(std::span<const RepairStep> steps) {
  if (steps.empty()) return Text(kNoChange);
  Text out;
  // The last step applied undoes the first thing that happened to the text.
  for (auto step = steps.rbegin(); step != steps.rend(); ++step) {
    out += out.empty() ? u"原为 " : u"，再以 ";
    out += ShortName(step->code_page_b) + u" 编码，被当作 " + ShortName(step->code_page_a) + u" 读出";
  }
  return out;
}

Text CodePageName(std::int32_t code_page) { return FullName(code_page); }

Text MenuCommandOf(RepairStep step) {
  if (A2BRowDoing(step) != nullptr || Iso2022Variant(step) >= 0) return StepName(step);
  if (!Listed(step.code_page_a) || !Listed(step.code_page_b)) return {};
  return u"CP--CP " + StepName(step);
}

Text MenuCommandsOf(std::span<const RepairStep> steps) {
  Text out;
  for (const RepairStep step : steps) {
    const Text command = MenuCommandOf(step);
    if (command.empty()) return {};
    if (!out.empty()) out += u"，再 ";
    out += command;
  }
  return out;
}

Text RepairStatusText(std::span<const RepairStep> steps) {
  Text out = u"自动解读 ";
  if (steps.empty()) return out + Text(kNoChange);
  for (std::size_t i = 0; i < steps.size(); ++i) {
    if (i > 0) out += u" + ";
    out += StepName(steps[i]);
  }
  return out;
}

std::u16string_view LanguageName(Language language) {
  switch (language) {
    case Language::SimplifiedChinese: return u"简体中文";
    case Language::TraditionalChinese: return u"繁体中文";
    case Language::Japanese: return u"日文";
    case Language::Korean: return u"韩文";
    case Language::Russian: return u"俄文";
    case Language::German: return u"德文";
    case Language::French: return u"法文";
    case Language::English: return u"英文";
    case Language::Greek: return u"希腊文";
    case Language::Hebrew: return u"希伯来文";
    case Language::Arabic: return u"阿拉伯文";
    case Language::Persian: return u"波斯文";
    case Language::Polish: return u"波兰文";
    case Language::Czech: return u"捷克文";
    case Language::Turkish: return u"土耳其文";
    case Language::Ukrainian: return u"乌克兰文";
    case Language::Vietnamese: return u"越南文";
    case Language::Thai: return u"泰文";
    case Language::Spanish: return u"西班牙文";
    case Language::Italian: return u"意大利文";
    case Language::Portuguese: return u"葡萄牙文";
    case Language::Dutch: return u"荷兰文";
    case Language::Hungarian: return u"匈牙利文";
    case Language::Swedish: return u"瑞典文";
    case Language::Romanian: return u"罗马尼亚文";
    case Language::Bulgarian: return u"保加利亚文";
    case Language::Lithuanian: return u"立陶宛文";
    case Language::Latvian: return u"拉脱维亚文";
  }
  return u"";
}

Text ExplainSuggestion(const RepairSuggestion& suggestion) {
  Text out;
  if (suggestion.passages.empty()) {
    out = ExplainSteps(suggestion.steps);
  } else {
    // Each distinct way of repair once, in the order the text first needs it.
    std::vector<std::pair<const std::vector<RepairStep>*, std::size_t>> ways;
    for (const RepairedPassage& passage : suggestion.passages) {
      auto way = std::find_if(ways.begin(), ways.end(), [&](const auto& w) { return *w.first == passage.steps; });
      if (way == ways.end()) {
        ways.push_back({&passage.steps, 1});
      } else {
        ++way->second;
      }
    }
    out = u"逐段修复 " + Number(suggestion.passages.size()) + u" 段：";
    for (std::size_t i = 0; i < ways.size(); ++i) {
      if (i > 0) out += u"；";
      out += ExplainSteps(*ways[i].first) + u"（" + Number(ways[i].second) + u" 段）";
    }
  }
  if (suggestion.lost > 0) out += u"；有 " + Number(suggestion.lost) + u" 处无法恢复";
  return out;
}

bool IsClearChoice(const RepairSuggestion& suggestion) { return suggestion.confidence == Confidence::Clear; }

std::u16string_view ConfidenceName(Confidence confidence) {
  switch (confidence) {
    case Confidence::Clear: return u"明确";
    case Confidence::CloseCall: return u"难分";
    case Confidence::StillGarbled: return u"仍像乱码";
    case Confidence::None: break;
  }
  return u"";
}

Text SuggestionStatusText(const RepairSuggestion& suggestion) {
  return suggestion.passages.empty() ? RepairStatusText(suggestion.steps) : Text(u"自动解读 逐段修复");
}

SuggestionWords DescribeSuggestion(const RepairSuggestion& suggestion) {
  return {suggestion.explanation,
          suggestion.passages.empty() ? MenuCommandsOf(suggestion.steps) : Text(),
          SuggestionStatusText(suggestion),
          suggestion.language ? LanguageName(*suggestion.language) : std::u16string_view(),
          IsClearChoice(suggestion),
          ConfidenceName(suggestion.confidence)};
}

Text PassagePlaces(const RepairSuggestion& suggestion, TextView input, std::size_t limit) {
  if (suggestion.passages.empty()) return {};
  // Line numbers counted as the text box shows them: CR LF, CR and LF each end a line.
  std::vector<std::size_t> lines;
  std::size_t line = 1;
  std::size_t at = 0;
  for (const RepairedPassage& passage : suggestion.passages) {
    for (; at < passage.begin && at < input.size(); ++at) {
      if (input[at] == u'\n' || (input[at] == u'\r' && (at + 1 >= input.size() || input[at + 1] != u'\n'))) ++line;
    }
    if (lines.empty() || lines.back() != line) lines.push_back(line);
  }
  Text out = u"位置：第 ";
  for (std::size_t i = 0; i < lines.size() && i < limit; ++i) {
    if (i > 0) out += u"、";
    out += Number(lines[i]);
  }
  out += u" 行";
  if (lines.size() > limit) out += u"等 " + Number(suggestion.passages.size()) + u" 段";
  return out;
}

Text PreviewLine(TextView text, std::size_t limit) {
  Text line;
  std::size_t i = 0;
  for (; i < text.size() && line.size() < limit; ++i) {
    if (text[i] == u'\r' || text[i] == u'\n') {
      if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
      line += u'\u21B5';
    } else {
      line += text[i];
    }
  }
  const bool cut = i < text.size();
  // Never end on half of a surrogate pair.
  if (cut && !line.empty() && line.back() >= 0xD800 && line.back() <= 0xDBFF) line.pop_back();
  if (cut) line += u'\u2026';
  return line;
}

}  // namespace mok
