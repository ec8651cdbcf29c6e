#pragma once

// Slow, literal versions of the numeric reference, entity and quoted-printable
// codecs: every replacement step runs over the whole text in turn and results
// are built by concatenation, exactly as the algorithms are stated. The fast
// single-pass versions in codec/ are checked against these on random input by
// the tests and the fuzzers.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "codec/conversion_core.h"
#include "codec/html_entities.h"
#include "codec/qp_url.h"
#include "codec/text_types.h"

namespace mok::literal {

inline char16_t AsciiLower(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c; }

// Whole-text replacement: leftmost match first, no overlap, the replacement is
// never searched again.
inline Text Replace(TextView text, TextView find, TextView with, bool ignore_case = false) {
  if (!ignore_case && text.find(find) == TextView::npos) return Text(text);
  Text out;
  std::size_t i = 0;
  while (i < text.size()) {
    bool match = i + find.size() <= text.size();
    for (std::size_t k = 0; match && k < find.size(); ++k) {
      match = ignore_case ? AsciiLower(text[i + k]) == AsciiLower(find[k]) : text[i + k] == find[k];
    }
    if (match) {
      out += with;
      i += find.size();
    } else {
      out += text[i++];
    }
  }
  return out;
}

inline Text Widen(std::string_view ascii) { return Text(ascii.begin(), ascii.end()); }

inline std::vector<std::string_view> SplitAtCommas(std::string_view list) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = list.find(',', start);
    parts.push_back(list.substr(start, comma == std::string_view::npos ? comma : comma - start));
    if (comma == std::string_view::npos) return parts;
    start = comma + 1;
  }
}

inline void DecodeNamedEntities(Text& text) {
  if (text.empty()) return;
  for (const std::string_view tag : SplitAtCommas(kLineBreakTagList)) text = Replace(text, Widen(tag), u"\r\n", true);
  static const std::vector<std::pair<Text, Text>> entities = [] {
    std::vector<std::pair<Text, Text>> pairs;
    const std::vector<std::string_view> list = SplitAtCommas(kHtmlEntityList);
    for (std::size_t k = 0; k + 1 < list.size(); k += 2) {
      pairs.emplace_back(u"&" + Widen(list[k]) + u";",
                         Text(1, static_cast<char16_t>(std::stoi(std::string(list[k + 1])))));
    }
    return pairs;
  }();
  for (const auto& [entity, code] : entities) text = Replace(text, entity, code);
}

inline void DecodeNumericRefs(Text& text, std::int16_t mode) {
  if (mode < 0 || mode > 2) {
    text.clear();
    return;
  }
  if (text.empty()) return;
  const Text m1(1, 0x8080);
  const Text m2(1, 0x8081);
  const Text tail = mode == 0 ? u";" : u"";
  text = Replace(text, m1, m1 + u"8080" + tail);
  text = Replace(text, m2, m1 + u"8081" + tail);
  if (mode == 0) {
    text = Replace(text, u"&#x", m1);
    text = Replace(text, u"&#X", m1);
    text = Replace(text, u"&#", m2);
    DecodeNamedEntities(text);
  } else if (mode == 1) {
    text = Replace(text, u"\\\\", u"\\x5C");
    text = Replace(text, u"\\n", u"\r\n");
    text = Replace(text, u"\\t", u"\t");
    text = Replace(text, u"\\u", m1);
    text = Replace(text, u"\\U", m1);
    text = Replace(text, u"\\x", m2);
    text = Replace(text, u"\\X", m2);
  } else {
    text = Replace(text, u"+", u" ");
    text = Replace(text, u"%u", m1);
    text = Replace(text, u"%U", m1);
    text = Replace(text, u"%", m2);
  }
  text = Replace(text, Text(1, 0), u" ");

  const int first = mode == 0 ? 5 : 4;
  const int second = mode == 0 ? -7 : 2;
  Text out;
  int d = 0;
  std::int64_t v = -1;
  auto emit = [&] {
    if (v < 32) {
      out += u' ';
    } else if (v <= 0xFFFF) {
      out += static_cast<char16_t>(v);
    } else if (v > 0x10FFFF) {
      out += u'?';
    } else {
      out += static_cast<char16_t>(0xD800 + ((v - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((v - 0x10000) & 0x3FF));
    }
  };
  auto hex = [](char16_t c) -> int {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    return -1;
  };
  for (const char16_t c : text) {
    bool consumed = false;
    if (d > 0) {
      d -= 1;
      if (hex(c) >= 0) {
        v = v * 16 + hex(c);
        consumed = true;
      } else {
        d = 0;
      }
      if (d == 0) emit();
    }
    if (d < 0) {
      d += 1;
      if (c >= u'0' && c <= u'9') {
        v = v * 10 + (c - u'0');
        consumed = true;
      } else {
        d = 0;
      }
      if (d == 0) emit();
    }
    if (!consumed) {
      if (c == 0x8080) {
        d = first;
        v = 0;
      } else if (c == 0x8081) {
        d = second;
        v = 0;
      } else {
        if (!(mode == 0 && c == u';' && v >= 0)) out += c;
        v = -1;
      }
    }
  }
  if (d != 0) emit();
  text = out;
}

inline void EncodeNumericRefs(Text& text, std::int16_t mode) {
  if (mode != 0 && mode != 1) {
    text.clear();
    return;
  }
  static const char* digits = "0123456789ABCDEF";
  Text out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::uint32_t c = text[i];
    if (mode == 0) {
      if (c < 0x80 && c != u'&') {
        out += static_cast<char16_t>(c);
        continue;
      }
      if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
        c = 0x10000 + (c - 0xD800) * 0x400 + (text[i + 1] - 0xDC00);
        ++i;
      }
      std::string hex;
      do {
        hex.insert(hex.begin(), digits[c % 16]);
        c /= 16;
      } while (c != 0);
      out += u"&#x" + Widen(hex) + u";";
    } else {
      if (c < 0x80 && c != u'\\') {
        out += static_cast<char16_t>(c);
        continue;
      }
      out += u"\\u";
      for (int shift = 12; shift >= 0; shift -= 4) out += static_cast<char16_t>(digits[(c >> shift) & 15]);
    }
  }
  text = out;
}

// Quoted-printable soft line breaks, read from the start: an "=" followed by
// at most kMaxSoftBreakPadding spaces and tabs, an optional CR and an LF goes
// with all of them; anything else is copied.
inline Text RemoveSoftLineBreaks(TextView text) {
  Text out;
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] == u'=') {
      std::size_t j = i + 1;
      while (j < text.size() && (text[j] == u' ' || text[j] == u'\t')) ++j;
      const bool padded = j - i - 1 <= kMaxSoftBreakPadding;
      if (j < text.size() && text[j] == u'\r') ++j;
      if (padded && j < text.size() && text[j] == u'\n') {
        i = j + 1;
        continue;
      }
    }
    out += text[i++];
  }
  return out;
}

// Positions are 1-based, as in the stated algorithm.
inline void DecodeQpUrl(Text& text, std::int32_t code, std::int16_t mode) {
  const int form = mode % 128;
  if (form != 0 && form != 1) {
    text.clear();
    return;
  }
  if (text.empty()) return;
  const char16_t escape = form == 0 ? u'=' : u'%';
  if (form == 0) {
    text = RemoveSoftLineBreaks(text);
  } else {
    text = Replace(text, u"+", u" ");
  }
  auto at = [&](std::int64_t position) { return text[static_cast<std::size_t>(position - 1)]; };
  auto hex = [](char16_t c) -> int {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    return -1;
  };
  const std::int64_t n = static_cast<std::int64_t>(text.size());
  Text result;
  std::int64_t copy = 1;
  std::int64_t search = 1;
  for (;;) {
    std::int64_t p = 0;
    for (std::int64_t k = search; k <= n; ++k) {
      if (at(k) == escape) {
        p = k;
        break;
      }
    }
    if (p == 0 || p > n - 2) break;
    result += text.substr(static_cast<std::size_t>(copy - 1), static_cast<std::size_t>(p - copy));
    copy = p;
    Bytes run;
    bool last_escaped = false;
    int high = 0;
    std::int64_t q = p + 1;
    for (; q <= n; ++q) {
      const std::int64_t r = q - copy;
      const char16_t c = at(q);
      if (r == 1) {
        if (hex(c) < 0) break;
        high = hex(c);
      } else if (r == 2) {
        if (hex(c) < 0) break;
        run += static_cast<std::uint8_t>(high * 16 + hex(c));
        last_escaped = true;
        copy += 3;
      } else {
        if (c == escape) continue;
        if (last_escaped && c >= 0x21 && c <= 0x7E) {
          run += static_cast<std::uint8_t>(c);
          last_escaped = false;
          copy += 1;
        } else {
          break;
        }
      }
    }
    search = q;
    if (!run.empty()) result += mode >= 128 ? CpBytesToText(run, code) : LidBytesToText(run, code);
  }
  result += text.substr(static_cast<std::size_t>(copy - 1));
  text = Replace(result, Text(1, 0), u" ");
}

inline void EncodeQpUrl(Text& text, std::int16_t charset_index) {
  static const std::int32_t pages[] = {936, 54936, 950, 20000, 932, 20932, 949, 1361, 1252, 65001};
  if (charset_index < 0 || charset_index > 9) {
    text.clear();
    return;
  }
  if (text.empty()) return;
  static const char* digits = "0123456789ABCDEF";
  const Bytes bytes = TextToCpBytes(text, pages[charset_index]);
  Text out;
  bool lead = false;
  std::size_t line = 0;
  for (const std::uint8_t b : bytes) {
    Text piece;
    if (b < 0x20 || b > 0x7E || b == 0x3D) {
      piece = Text(u"=") + static_cast<char16_t>(digits[b >> 4]) + static_cast<char16_t>(digits[b & 15]);
      lead = charset_index <= 7 && b >= 0x81 && b <= 0xFE && !lead;
    } else if (lead) {
      piece = Text(u"=") + static_cast<char16_t>(digits[b >> 4]) + static_cast<char16_t>(digits[b & 15]);
      lead = false;
    } else {
      piece = Text(1, b);
    }
    line += piece.size();
    if (line >= 76) {
      out += u"=\r\n";
      line = piece.size();
    }
    out += piece;
  }
  text = out;
}

}  // namespace mok::literal
