#include "repair/tools/corpus.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "repair/explain.h"
#include "repair/language_model.h"
#include "repair/suggest.h"

namespace mok::corpus {
namespace {

class Parser {
 public:
  explicit Parser(std::string_view s) : s_(s) {}

  std::optional<Record> Object() {
    Record record;
    Skip();
    if (!Eat('{')) return std::nullopt;
    Skip();
    if (Eat('}')) return End(record);
    for (;;) {
      Skip();
      auto key = String();
      Skip();
      if (!key || !Eat(':')) return std::nullopt;
      Skip();
      auto value = String();
      if (!value) return std::nullopt;
      record[ToUtf8(*key)] = std::move(*value);
      Skip();
      if (Eat('}')) return End(record);
      if (!Eat(',')) return std::nullopt;
    }
  }

 private:
  std::optional<Record> End(Record& record) {
    Skip();
    if (at_ != s_.size()) return std::nullopt;
    return std::move(record);
  }
  void Skip() {
    while (at_ < s_.size() && (s_[at_] == ' ' || s_[at_] == '\t' || s_[at_] == '\r' || s_[at_] == '\n')) ++at_;
  }
  bool Eat(char c) {
    if (at_ < s_.size() && s_[at_] == c) {
      ++at_;
      return true;
    }
    return false;
  }
  std::optional<unsigned> Hex4() {
    if (s_.size() - at_ < 4) return std::nullopt;
    unsigned v = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = s_[at_++];
      v <<= 4;
      if (c >= '0' && c <= '9') v |= static_cast<unsigned>(c - '0');
      else if (c >= 'a' && c <= 'f') v |= static_cast<unsigned>(c - 'a' + 10);
      else if (c >= 'A' && c <= 'F') v |= static_cast<unsigned>(c - 'A' + 10);
      else return std::nullopt;
    }
    return v;
  }
  std::optional<Text> String() {
    if (!Eat('"')) return std::nullopt;
    std::string raw;  // UTF-8 runs between escapes
    Text out;
    while (at_ < s_.size()) {
      const char c = s_[at_++];
      if (c == '"') {
        out += FromUtf8(raw);
        return out;
      }
      if (c != '\\') {
        raw += c;
        continue;
      }
      if (at_ >= s_.size()) return std::nullopt;
      const char e = s_[at_++];
      char16_t unit = 0;
      switch (e) {
        case '"': unit = u'"'; break;
        case '\\': unit = u'\\'; break;
        case '/': unit = u'/'; break;
        case 'b': unit = u'\b'; break;
        case 'f': unit = u'\f'; break;
        case 'n': unit = u'\n'; break;
        case 'r': unit = u'\r'; break;
        case 't': unit = u'\t'; break;
        case 'u': {
          const auto v = Hex4();
          if (!v) return std::nullopt;
          unit = static_cast<char16_t>(*v);
          break;
        }
        default: return std::nullopt;
      }
      out += FromUtf8(raw);
      raw.clear();
      out += unit;
    }
    return std::nullopt;
  }

  std::string_view s_;
  std::size_t at_ = 0;
};

void AppendJsonString(std::string& out, TextView text) {
  out += '"';
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    const bool pair = c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
    if (c == u'"' || c == u'\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c == u'\n') {
      out += "\\n";
    } else if (c == u'\r') {
      out += "\\r";
    } else if (c == u'\t') {
      out += "\\t";
    } else if (c < 0x20 || (c >= 0xD800 && c <= 0xDFFF && !pair)) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04X", static_cast<unsigned>(c));
      out += buf;
    } else {
      out += ToUtf8(text.substr(i, pair ? 2 : 1));
      if (pair) ++i;
    }
  }
  out += '"';
}

}  // namespace

std::string ToUtf8(TextView text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

Text FromUtf8(std::string_view s) {
  Text out;
  for (std::size_t i = 0; i < s.size();) {
    const auto b = static_cast<unsigned char>(s[i]);
    const int extra = b < 0x80 ? 0 : b < 0xE0 ? 1 : b < 0xF0 ? 2 : 3;
    char32_t c = extra == 0 ? b : extra == 1 ? (b & 0x1F) : extra == 2 ? (b & 0x0F) : (b & 0x07);
    ++i;
    for (int k = 0; k < extra && i < s.size(); ++k, ++i) c = (c << 6) | (static_cast<unsigned char>(s[i]) & 0x3F);
    AppendCodePoint(out, c);
  }
  return out;
}

std::optional<Record> ParseLine(std::string_view line) { return Parser(line).Object(); }

std::string FormatLine(const Record& record, const std::vector<std::string>& keys) {
  std::string out = "{";
  for (const std::string& key : keys) {
    const auto found = record.find(key);
    if (found == record.end()) continue;
    if (out.size() > 1) out += ',';
    AppendJsonString(out, FromUtf8(key));
    out += ':';
    AppendJsonString(out, found->second);
  }
  return out + "}";
}

std::optional<std::vector<Record>> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::vector<Record> records;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    auto record = ParseLine(line);
    if (!record) return std::nullopt;
    records.push_back(std::move(*record));
  }
  return records;
}

double Similarity(TextView a, TextView b) {
  if (a.empty() && b.empty()) return 1.0;
  // Levenshtein distance, one row at a time.
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return 1.0 - static_cast<double>(row[b.size()]) / static_cast<double>(std::max(a.size(), b.size()));
}

Table Measure(const std::vector<Record>& samples) {
  Table table;
  for (const Record& sample : samples) {
    auto field = [&](const char* key) {
      const auto found = sample.find(key);
      return found == sample.end() ? std::string() : ToUtf8(found->second);
    };
    const std::string group = field("group").empty() ? (field("garbling") == "clean" ? "clean" : "base") : field("group");
    const std::string garbling = field("garbling");
    const std::string cls = field("class");
    const std::string lang = field("lang");
    const Text& input = sample.at("input");
    const std::vector<RepairSuggestion> suggestions = SuggestRepairs(input, 3);
    const bool clean = group == "clean";
    const auto expected = sample.find("expect");
    const Text& expect = clean || expected == sample.end() ? input : expected->second;
    Tally one;
    one.samples = 1;
    const bool changes = !suggestions.empty() && suggestions.front().text != input;
    for (std::size_t i = 0; i < suggestions.size(); ++i) {
      if (suggestions[i].text != expect) continue;
      one.top1 = i == 0 ? 1 : 0;
      one.top3 = 1;
      break;
    }
    if (clean) {
      one.top1 = one.top3 = changes ? 0 : 1;
    }
    // Only a lossy text is judged by its likeness; the others must come back exactly.
    one.similar = one.top1;
    if (group == "lossy" && !one.top1 && !suggestions.empty()) {
      one.similar = Similarity(suggestions.front().text, expect) >= 0.9 ? 1 : 0;
    }
    const bool right = one.similar != 0;
    one.changed = !right && changes ? 1 : 0;
    one.clear = !suggestions.empty() && IsClearChoice(suggestions.front()) ? 1 : 0;
    one.clear_wrong = one.clear && !right ? 1 : 0;
    one.looks_garbled = LooksLikeCleanText(input) ? 0 : 1;
    std::vector<std::string> rows = {"all", "group:" + group};
    if (!clean) rows.push_back(group + ":" + garbling);
    if (group == "base") rows.push_back("lang:" + lang);
    if (clean) rows.push_back("clean:" + lang);
    for (const std::string& row : rows) {
      for (const std::string& c : {cls, std::string("all")}) {
        Tally& t = table[{row, c}];
        t.samples += one.samples;
        t.top1 += one.top1;
        t.top3 += one.top3;
        t.similar += one.similar;
        t.changed += one.changed;
        t.clear += one.clear;
        t.clear_wrong += one.clear_wrong;
        t.looks_garbled += one.looks_garbled;
      }
    }
  }
  return table;
}

std::string FormatTable(const Table& table) {
  std::ostringstream out;
  char buf[512];
  auto cell = [&](const std::string& row, const char* cls) -> std::string {
    const auto found = table.find({row, cls});
    if (found == table.end()) return "–";
    std::snprintf(buf, sizeof buf, "%.3f (%d)", Rate(found->second.top1, found->second.samples), found->second.samples);
    return buf;
  };
  auto rows_starting = [&](const std::string& prefix) {
    std::vector<std::pair<std::string, Tally>> rows;
    for (const auto& [key, t] : table) {
      if (key.second == "all" && key.first.rfind(prefix, 0) == 0) rows.emplace_back(key.first, t);
    }
    return rows;
  };
  // One row per group: how often the best suggestion is right and how often a clear one is wrong.
  out << "| group | samples | top-1 | top-3 | ≥90% similar | wrong repair | 明确 | 明确 wrong | input below floor |\n"
         "|---|---:|---:|---:|---:|---:|---:|---:|---:|\n";
  auto group_row = [&](const std::string& name, const Tally& t) {
    std::snprintf(buf, sizeof buf, "| %s | %d | %.4f | %.4f | %.4f | %.4f | %.4f | %.4f | %.4f |\n", name.c_str(),
                  t.samples, Rate(t.top1, t.samples), Rate(t.top3, t.samples), Rate(t.similar, t.samples),
                  Rate(t.changed, t.samples), Rate(t.clear, t.samples), Rate(t.clear_wrong, t.clear),
                  Rate(t.looks_garbled, t.samples));
    out << buf;
  };
  for (const auto& [row, t] : rows_starting("group:")) group_row(row.substr(6), t);
  if (const auto all = table.find({"all", "all"}); all != table.end()) group_row("**all**", all->second);
  // One row per garbling: top-1 per class, then the totals.
  out << "\n| group | garbling | top-1 short | top-1 medium | top-1 long | samples | top-1 | top-3 | wrong repair |\n"
         "|---|---|---:|---:|---:|---:|---:|---:|---:|\n";
  for (const auto& [row, t] : rows_starting("")) {
    const std::size_t colon = row.find(':');
    const std::string group = row.substr(0, colon);
    if (colon == std::string::npos || group == "group" || group == "lang" || group == "clean") continue;
    out << "| " << group << " | " << row.substr(colon + 1) << " | " << cell(row, "short") << " | "
        << cell(row, "medium") << " | " << cell(row, "long") << " | ";
    std::snprintf(buf, sizeof buf, "%d | %.3f | %.3f | %.3f |\n", t.samples, Rate(t.top1, t.samples),
                  Rate(t.top3, t.samples), Rate(t.changed, t.samples));
    out << buf;
  }
  // Clean texts per language: how often the best suggestion changes them.
  out << "\n| clean texts | short | medium | long | samples | false repairs | rate |\n"
         "|---|---:|---:|---:|---:|---:|---:|\n";
  auto clean_row = [&](const std::string& name, const std::string& row) {
    auto changed = [&](const char* cls) -> std::string {
      const auto found = table.find({row, cls});
      if (found == table.end()) return "–";
      return std::to_string(found->second.samples - found->second.top1);
    };
    const auto all = table.find({row, "all"});
    if (all == table.end()) return;
    const Tally& t = all->second;
    std::snprintf(buf, sizeof buf, "| %s | %s | %s | %s | %d | %d | %.4f |\n", name.c_str(), changed("short").c_str(),
                  changed("medium").c_str(), changed("long").c_str(), t.samples, t.samples - t.top1,
                  Rate(t.samples - t.top1, t.samples));
    out << buf;
  };
  for (const auto& [row, t] : rows_starting("clean:")) clean_row(row.substr(6), row);
  clean_row("**all**", "group:clean");
  // The 13 garblings of group "base" per language.
  out << "\n| base, per language | top-1 short | top-1 medium | top-1 long | samples | top-1 | top-3 |\n"
         "|---|---:|---:|---:|---:|---:|---:|\n";
  for (const auto& [row, t] : rows_starting("lang:")) {
    out << "| " << row.substr(5) << " | " << cell(row, "short") << " | " << cell(row, "medium") << " | "
        << cell(row, "long") << " | ";
    std::snprintf(buf, sizeof buf, "%d | %.3f | %.3f |\n", t.samples, Rate(t.top1, t.samples), Rate(t.top3, t.samples));
    out << buf;
  }
  return out.str();
}

}  // namespace mok::corpus
