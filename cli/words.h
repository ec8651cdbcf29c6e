#pragma once

// Words of the command line: names compared as the user may type them, and
// the UTF-8 of arguments and messages.

#include <array>
#include <string>
#include <string_view>
#include <utility>

#include "codec/conversion_core.h"
#include "codec/text_types.h"

namespace mok::cli {

// Equal when they differ at most in the case of ASCII letters.
[[nodiscard]] inline bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// The Chinese words of the menus' names and the ASCII words that stand for
// them, so that every name can be typed without a Chinese input method.
// Longer words come before the shorter ones they contain.
inline constexpr std::array<std::pair<std::string_view, std::string_view>, 18> kAsciiWords = {{
    {"现代希腊文", "ModernGreek"},
    {"希伯莱文", "Hebrew"},
    {"阿拉伯文", "Arabic"},
    {"中文简", "ChineseSimplified"},
    {"中文繁", "ChineseTraditional"},
    {"越南文", "Vietnamese"},
    {"希腊文", "Greek"},
    {"西里尔", "Cyrillic"},
    {"日文", "Japanese"},
    {"韩文", "Korean"},
    {"泰文", "Thai"},
    {"俄文", "Russian"},
    {"西欧", "WesternEuropean"},
    {"中欧", "CentralEuropean"},
    {"美国", "US"},
    {"国际", "International"},
    {"中文", "Chinese"},
    {"半字", "Half"},
}};

// A name with its Chinese words in ASCII: "Esc+日文(ISO-2022)" gives
// "Esc+Japanese(ISO-2022)", "西里尔(KOI8-R)" gives "Cyrillic(KOI8-R)". A name
// that is ASCII already comes back as it is.
[[nodiscard]] inline std::string AsciiSpelling(std::string_view name) {
  std::string out;
  while (!name.empty()) {
    bool replaced = false;
    for (const auto& [chinese, ascii] : kAsciiWords) {
      if (name.substr(0, chinese.size()) == chinese) {
        out += ascii;
        name.remove_prefix(chinese.size());
        replaced = true;
        break;
      }
    }
    if (!replaced) {
      out += name.front();
      name.remove_prefix(1);
    }
  }
  return out;
}

// Whether word names the menu name: the name itself or its ASCII spelling,
// letters in any case.
[[nodiscard]] inline bool NamesMenuName(std::string_view word, std::string_view name) {
  return EqualsIgnoringCase(word, name) || EqualsIgnoringCase(word, AsciiSpelling(name));
}

// Text as UTF-8 (lone surrogates of escaped bytes give those bytes back).
[[nodiscard]] inline std::string ToUtf8(TextView text) {
  const Bytes bytes = TextToCpBytes(text, 65001);
  return std::string(bytes.begin(), bytes.end());
}

// An argument as text; bytes that are not UTF-8 become escapes, as in a file.
[[nodiscard]] inline Text FromUtf8(std::string_view word) {
  return CpBytesToText(BytesView(reinterpret_cast<const std::uint8_t*>(word.data()), word.size()), 65001);
}

}  // namespace mok::cli
