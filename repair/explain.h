#pragma once

// The words shown with a repair suggestion: what happened to the text, the menu
// command that does the same, the language, and how clear the choice is.

#include <span>
#include <string_view>

#include "codec/text_types.h"
#include "repair/language_model.h"
#include "repair/repair_step.h"
#include "repair/suggest.h"

namespace mok {

// "原为 Shift-JIS 编码，被当作 GBK 读出" for {936, 932}; a chain tells its steps in
// the order they happened (the last step applied undoes the first garbling).
// "不改动" for no steps.
[[nodiscard]] Text ExplainSteps(std::span<const RepairStep> steps);

// A code page's name: the code-page list's ("西里尔(KOI8-R)"), or for the
// code pages the list does not offer the name the explanations use
// ("土耳其文(Windows)", "中文繁(Big5-HKSCS)"); empty for any other.
[[nodiscard]] Text CodePageName(std::int32_t code_page);

// The menu command of one step: the A-to-B item's name ("GB--日文", "Eng--Utf8",
// "UBE--ULE"), the ISO-2022 item's ("Esc+日文(ISO-2022)"), or else the CP--CP
// dialog's name for the pair ("CP--CP 西里尔(Windows)--西里尔(KOI8-R)"); empty
// when the dialog does not offer both code pages.
[[nodiscard]] Text MenuCommandOf(RepairStep step);

// The menu commands of all steps in order, "Eng--Utf8，再 Eng--Utf8"; empty for
// no steps and when a step has no menu command.
[[nodiscard]] Text MenuCommandsOf(std::span<const RepairStep> steps);

// The status text of applying the steps: "自动解读 " and the steps' names
// ("自动解读 GB--日文", "自动解读 Eng--Utf8 + Eng--Utf8"), "自动解读 不改动" for none.
[[nodiscard]] Text RepairStatusText(std::span<const RepairStep> steps);

// "简体中文", "繁体中文", "日文", "韩文", "俄文", "德文", "法文", "英文", "希腊文",
// "希伯来文", "阿拉伯文", "波斯文", "波兰文", "捷克文", "土耳其文", "乌克兰文",
// "越南文", "泰文", "西班牙文", "意大利文", "葡萄牙文", "荷兰文", "匈牙利文",
// "瑞典文", "罗马尼亚文", "保加利亚文", "立陶宛文", "拉脱维亚文".
[[nodiscard]] std::u16string_view LanguageName(Language language);

// "逐段修复 3 段：原为 UTF-8 编码，被当作 GBK 读出（2 段）；原为 Shift-JIS 编码，被当作
// GBK 读出（1 段）" for a repair by passages, the steps' explanation otherwise,
// then "；有 3 处无法恢复" when characters were lost.
[[nodiscard]] Text ExplainSuggestion(const RepairSuggestion& suggestion);

// A margin of this many nats to the next row makes a choice clear.
inline constexpr double kClearMargin = 10.0;
[[nodiscard]] bool IsClearChoice(const RepairSuggestion& suggestion);
// "明确" (clear), "难分" (close call), "仍像乱码" (still garbled), or empty for
// a row other than the first.
[[nodiscard]] std::u16string_view ConfidenceName(Confidence confidence);

// Everything a list of suggestions shows beside the text, in one call.
struct SuggestionWords {
  Text explanation;                 // the suggestion's: "原为 Shift-JIS 编码，被当作 GBK 读出", "不改动"
  Text menu;                        // MenuCommandsOf: "GB--日文"; empty for no change, passages and
                                    // steps no menu command does
  Text status;                      // "自动解读 GB--日文", "自动解读 逐段修复"
  std::u16string_view language;     // LanguageName: "日文"; empty when the text looks like none
  bool clear = false;               // IsClearChoice
  std::u16string_view confidence;   // ConfidenceName: "明确", "难分", "仍像乱码"; empty below the first row
};
[[nodiscard]] SuggestionWords DescribeSuggestion(const RepairSuggestion& suggestion);

// The status text of applying a suggestion: RepairStatusText of its steps, or
// "自动解读 逐段修复" for a repair by passages.
[[nodiscard]] Text SuggestionStatusText(const RepairSuggestion& suggestion);

// Where a repair by passages changed the text: "位置：第 4、7、12 行", the
// input's lines on which its passages start, at most `limit` of them (then
// "位置：第 4、7 行等 135 段"); empty for a suggestion without passages.
[[nodiscard]] Text PassagePlaces(const RepairSuggestion& suggestion, TextView input, std::size_t limit = 10);

// The one-line preview of a repaired text: line breaks as "↵", at most `limit`
// characters (then "…").
[[nodiscard]] Text PreviewLine(TextView text, std::size_t limit = 60);

}  // namespace mok
