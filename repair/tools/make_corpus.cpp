// Makes the benchmark corpus of the repair suggestions from the clean passages
// that build_model.py takes from the benchmark half of its sources:
//   make_corpus PASSAGES.jsonl OUT.jsonl
// Each garbled sample is a passage put through a garbling with the program's
// own converters, kept only when the garbling loses nothing, changes the text
// and the program's conversions give the passage back. The groups that need
// converters the program lacks, or the losses of other programs' decoders, are
// made by garble_python.py. The passages are taken in file order
// (build_model.py shuffled them with a fixed seed), and the positions inside
// texts come from a generator with a fixed seed, so the corpus is the same on
// every run.

#include <cstdio>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "codec/conversion_core.h"
#include "repair/repair_step.h"
#include "repair/tools/corpus.h"

namespace {

using mok::RepairStep;
using mok::Text;
using mok::corpus::Record;

// How the bytes are made and shown.
enum class Kind {
  kLossless,   // the steps through ApplyLosslessStep, as the 13 garblings of the first corpus
  kRead,       // encoded with A, decoded with B as the program decodes (bytes B cannot take kept as U+DC00 + byte)
  kRead4Byte,  // kRead, only texts that need GB18030's four-byte codes
  kUnitSwap,   // every UTF-16 code unit byte-swapped, only texts whose swap leaves a lone surrogate
  kRawEscape,  // encoded with A (an ISO-2022 code page), bytes shown as Latin-1: the escapes visible
  kLostEscape, // kRawEscape with the ESC bytes dropped, as software that strips control characters
  kFileName,   // kRead on a short passage made a file name, as zip archives keep them
  kMixed,      // one passage garbled by kLossless steps inside a longer clean text of the same language
};

struct Plan {
  int short_count, medium_count, long_count;
  int Of(const std::string& cls) const {
    return cls == "short" ? short_count : cls == "medium" ? medium_count : long_count;
  }
};

struct Garbling {
  const char* group;
  const char* name;
  Kind kind;
  std::vector<RepairStep> garble;  // applied to the clean text in this order
  std::vector<const char*> languages;
  Plan plan;
};

const std::vector<const char*> kAll = {"zh_CN", "zh_TW", "ja", "ko", "ru", "de", "fr"};
// The languages added after the first eight, for UTF-8 read as cp1252.
const std::vector<const char*> kNewLanguages = {"el", "he", "ar", "fa", "pl", "cs", "tr", "uk", "vi", "th",
                                                "es", "it", "pt", "nl", "hu", "sv", "ro", "bg", "lt", "lv"};
const char* const kLanguages[] = {"zh_CN", "zh_TW", "ja", "ko", "ru", "de", "fr", "en", "el", "he",
                                  "ar",    "fa",    "pl", "cs", "tr", "uk", "vi", "th", "es", "it",
                                  "pt",    "nl",    "hu", "sv", "ro", "bg", "lt", "lv"};

constexpr Plan kBasePlan{55, 45, 24};
constexpr Plan kPlan{30, 25, 8};
constexpr Plan kNamePlan{50, 0, 0};
constexpr Plan kMixedPlan{0, 20, 10};
// Clean samples per language; taken from the end of each pool, garbled ones from the start.
constexpr Plan kCleanPlan{80, 60, 20};

const std::vector<Garbling> kGarblings = {
    // The 13 garblings of the first corpus, as they were made then.
    {"base", "big5>gbk", Kind::kLossless, {{950, 936}}, {"zh_TW"}, kBasePlan},
    {"base", "gbk>big5", Kind::kLossless, {{936, 950}}, {"zh_CN"}, kBasePlan},
    {"base", "utf8>gbk", Kind::kLossless, {{65001, 936}}, kAll, kBasePlan},
    {"base", "gbk>utf8", Kind::kLossless, {{936, 65001}}, {"zh_CN"}, kBasePlan},
    {"base", "sjis>gbk", Kind::kLossless, {{932, 936}}, {"ja"}, kBasePlan},
    {"base", "euckr>gbk", Kind::kLossless, {{949, 936}}, {"ko"}, kBasePlan},
    {"base", "gbk>cp1252", Kind::kLossless, {{936, 1252}}, {"zh_CN"}, kBasePlan},
    {"base", "gbk>latin1", Kind::kLossless, {{936, 28591}}, {"zh_CN"}, kBasePlan},
    {"base", "utf8>cp1252", Kind::kLossless, {{65001, 1252}}, kAll, kBasePlan},
    {"base", "koi8r>cp1251", Kind::kLossless, {{20866, 1251}}, {"ru"}, kBasePlan},
    {"base", "cp1251>koi8r", Kind::kLossless, {{1251, 20866}}, {"ru"}, kBasePlan},
    {"base", "utf16swap", Kind::kLossless, {mok::kUtf16Swap}, {"zh_CN", "zh_TW", "ja", "ko", "ru", "de", "fr", "en"}, kBasePlan},
    {"base", "utf8>cp1252x2", Kind::kLossless, {{65001, 1252}, {65001, 1252}}, {"zh_CN", "ja", "ru", "de", "fr"}, kBasePlan},

    // A garbled paragraph inside good text; the steps are the paragraph's.
    {"mixed", "utf8>gbk", Kind::kMixed, {{65001, 936}}, {"zh_CN", "ja", "ru", "de", "el"}, kMixedPlan},
    {"mixed", "gbk>big5", Kind::kMixed, {{936, 950}}, {"zh_CN"}, kMixedPlan},
    {"mixed", "big5>gbk", Kind::kMixed, {{950, 936}}, {"zh_TW"}, kMixedPlan},
    {"mixed", "sjis>gbk", Kind::kMixed, {{932, 936}}, {"ja"}, kMixedPlan},
    {"mixed", "utf8>cp1252", Kind::kMixed, {{65001, 1252}}, {"zh_CN", "ja", "ko", "ru", "de", "fr", "es", "pl"}, kMixedPlan},
    {"mixed", "cp1251>koi8r", Kind::kMixed, {{1251, 20866}}, {"ru"}, kMixedPlan},

    // The byte swap of text whose swapped units include halves of surrogate pairs.
    {"utf16-lone", "utf16swap", Kind::kUnitSwap, {}, {"zh_CN", "zh_TW", "ja", "ko"}, kPlan},

    // File names from zip archives, read with the DOS code page.
    {"zip-names", "gbk>cp437", Kind::kFileName, {{936, 437}}, {"zh_CN"}, kNamePlan},
    {"zip-names", "sjis>cp437", Kind::kFileName, {{932, 437}}, {"ja"}, kNamePlan},
    {"zip-names", "gbk>cp850", Kind::kFileName, {{936, 850}}, {"zh_CN"}, kNamePlan},
    {"zip-names", "gbk>cp866", Kind::kFileName, {{936, 866}}, {"zh_CN"}, kNamePlan},
    {"zip-names", "cp866>cp437", Kind::kFileName, {{866, 437}}, {"ru"}, kNamePlan},

    {"euc-jp", "eucjp>sjis", Kind::kRead, {{20932, 932}}, {"ja"}, kPlan},
    {"euc-jp", "eucjp>gbk", Kind::kRead, {{20932, 936}}, {"ja"}, kPlan},
    {"euc-jp", "sjis>eucjp", Kind::kRead, {{932, 20932}}, {"ja"}, kPlan},

    {"iso-2022", "iso2022jp raw", Kind::kRawEscape, {{50221, 28591}}, {"ja"}, kPlan},
    {"iso-2022", "iso2022jp no-esc", Kind::kLostEscape, {{50221, 28591}}, {"ja"}, kPlan},
    {"iso-2022", "iso2022kr raw", Kind::kRawEscape, {{50225, 28591}}, {"ko"}, kPlan},
    {"iso-2022", "iso2022cn raw", Kind::kRawEscape, {{50227, 28591}}, {"zh_CN"}, kPlan},

    {"gb18030", "gb18030>gbk", Kind::kRead4Byte, {{54936, 936}}, {"zh_CN", "zh_TW", "ja"}, kPlan},

    // Single-byte code pages read with the code page real software uses wrongly:
    // a Western or a neighbouring Windows code page for a legacy file, the
    // system's code page for UTF-8.
    {"single-byte", "cp1250>cp1252", Kind::kRead, {{1250, 1252}}, {"pl", "cs", "hu"}, kPlan},
    {"single-byte", "iso8859-2>cp1252", Kind::kRead, {{28592, 1252}}, {"pl", "cs", "hu"}, kPlan},
    {"single-byte", "cp852>cp1250", Kind::kRead, {{852, 1250}}, {"pl", "cs", "hu"}, kPlan},
    {"single-byte", "utf8>cp1250", Kind::kRead, {{65001, 1250}}, {"pl", "cs", "hu", "ro"}, kPlan},
    {"single-byte", "cp1253>cp1252", Kind::kRead, {{1253, 1252}}, {"el"}, kPlan},
    {"single-byte", "iso8859-7>cp1252", Kind::kRead, {{28597, 1252}}, {"el"}, kPlan},
    {"single-byte", "utf8>cp1253", Kind::kRead, {{65001, 1253}}, {"el"}, kPlan},
    {"single-byte", "cp1251>cp1252", Kind::kRead, {{1251, 1252}}, {"ru", "uk", "bg"}, kPlan},
    {"single-byte", "utf8>cp1251", Kind::kRead, {{65001, 1251}}, {"ru", "uk", "bg"}, kPlan},
    {"single-byte", "cp866>cp1251", Kind::kRead, {{866, 1251}}, {"ru", "uk", "bg"}, kPlan},
    {"single-byte", "cp1255>cp1252", Kind::kRead, {{1255, 1252}}, {"he"}, kPlan},
    {"single-byte", "utf8>cp1255", Kind::kRead, {{65001, 1255}}, {"he"}, kPlan},
    {"single-byte", "cp1256>cp1252", Kind::kRead, {{1256, 1252}}, {"ar", "fa"}, kPlan},
    {"single-byte", "utf8>cp1256", Kind::kRead, {{65001, 1256}}, {"ar", "fa"}, kPlan},
    {"single-byte", "cp874>cp1252", Kind::kRead, {{874, 1252}}, {"th"}, kPlan},
    {"single-byte", "utf8>cp1252", Kind::kRead, {{65001, 1252}}, kNewLanguages, kPlan},
};

std::mt19937& Random() {
  static std::mt19937 generator(20261209);
  return generator;
}

std::size_t Below(std::size_t n) { return n == 0 ? 0 : std::uniform_int_distribution<std::size_t>(0, n - 1)(Random()); }

// Garbles the passage; the text read back wrongly, or empty when the garbling
// loses something, changes nothing, or cannot be undone exactly.
Text GarbleLossless(const Text& clean, const std::vector<RepairStep>& garble) {
  Text text = clean;
  for (const RepairStep step : garble) {
    auto result = mok::ApplyLosslessStep(text, step, {});
    if (!result) return {};
    text = std::move(result->text);
  }
  if (text == clean) return {};
  Text back = text;
  for (auto step = garble.rbegin(); step != garble.rend(); ++step) {
    // The byte swap is its own inverse.
    const RepairStep inverse = *step == mok::kUtf16Swap ? *step : RepairStep{step->code_page_b, step->code_page_a};
    auto result = mok::ApplyLosslessStep(back, inverse, {});
    if (!result) return {};
    back = std::move(result->text);
  }
  return back == clean ? text : Text();
}

// The text as the program shows the bytes of code page a read with code page
// b; empty unless encoding with a loses nothing and the shown text gives the
// same bytes back.
Text GarbleRead(const Text& clean, RepairStep step) {
  const mok::Bytes bytes = mok::TextToCpBytes(clean, step.code_page_a);
  if (bytes.empty() || mok::CpBytesToText(bytes, step.code_page_a) != clean) return {};
  Text shown = mok::CpBytesToText(bytes, step.code_page_b);
  if (shown == clean || mok::TextToCpBytes(shown, step.code_page_b) != bytes) return {};
  return shown;
}

bool NeedsFourByteCodes(const Text& clean) {
  const mok::Bytes gbk = mok::TextToCpBytes(clean, 936);
  return mok::CpBytesToText(gbk, 936) != clean;
}

Text SwapUnits(const Text& clean) {
  Text swapped = clean;
  for (char16_t& c : swapped) c = static_cast<char16_t>((c >> 8) | (c << 8));
  return swapped;
}

bool HasLoneSurrogate(const Text& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      return true;
    }
  }
  return false;
}

// A short passage as a file name: no line breaks or slashes, an extension.
Text FileName(const Text& passage) {
  static const char16_t* const kExtensions[] = {u".txt", u".doc", u".pdf", u".jpg", u".xls", u".mp3"};
  Text name;
  for (const char16_t c : passage) name += (c == u'\n' || c == u'/' || c == u'\\') ? u' ' : c;
  return name + kExtensions[Below(std::size(kExtensions))];
}

struct Sample {
  Text input, expect;
};

// The passage's garbled form for one garbling; empty input when the passage does not suit it.
Sample Garble(const Text& clean, const Garbling& g, const std::vector<Text>& paragraphs, std::size_t& next_paragraph) {
  switch (g.kind) {
    case Kind::kLossless: return {GarbleLossless(clean, g.garble), clean};
    case Kind::kRead: return {GarbleRead(clean, g.garble.front()), clean};
    case Kind::kRead4Byte:
      return NeedsFourByteCodes(clean) ? Sample{GarbleRead(clean, g.garble.front()), clean} : Sample{};
    case Kind::kUnitSwap: {
      const Text swapped = SwapUnits(clean);
      return HasLoneSurrogate(swapped) ? Sample{swapped, clean} : Sample{};
    }
    case Kind::kRawEscape: return {GarbleRead(clean, g.garble.front()), clean};
    case Kind::kLostEscape: {
      Text shown = GarbleRead(clean, g.garble.front());
      std::erase(shown, u'\x1B');
      return {shown, clean};
    }
    case Kind::kFileName: {
      const Text name = FileName(clean);
      return {GarbleRead(name, g.garble.front()), name};
    }
    case Kind::kMixed: {
      // The clean text is the host; a paragraph of the same language, garbled,
      // goes in after one of its lines.
      for (int tries = 0; tries < 20 && next_paragraph < paragraphs.size(); ++tries) {
        const Text& paragraph = paragraphs[next_paragraph++];
        const Text garbled = GarbleLossless(paragraph, g.garble);
        if (garbled.empty()) continue;
        std::vector<std::size_t> line_ends;
        for (std::size_t i = 0; i < clean.size(); ++i) {
          if (clean[i] == u'\n') line_ends.push_back(i);
        }
        const std::size_t at = line_ends.empty() ? clean.size() : line_ends[Below(line_ends.size())];
        const Text before = clean.substr(0, at), after = clean.substr(at);
        return {before + u"\n" + garbled + (after.empty() ? u"" : after),
                before + u"\n" + paragraph + (after.empty() ? u"" : after)};
      }
      return {};
    }
  }
  return {};
}

Text StepsOf(const Garbling& g) {
  std::string steps;
  for (const RepairStep step : g.garble) {
    if (!steps.empty()) steps += ',';
    steps += std::to_string(step.code_page_a) + ">" + std::to_string(step.code_page_b);
  }
  if (g.kind == Kind::kUnitSwap) steps = "1201>1200";
  if (g.kind == Kind::kLostEscape) steps += ",drop-esc";
  return mok::corpus::FromUtf8(steps);
}

// garble_python.py leaves the decoding of bytes by the program's own code pages
// to the program: a record with "input_bytes" (hex) and "read_as" (a code page)
// gets the text the program shows for those bytes as its "input".
int DecodeBytes(const char* in_path, const char* out_path) {
  const auto records = mok::corpus::ReadFile(in_path);
  if (!records) {
    std::fprintf(stderr, "make_corpus: cannot read %s\n", in_path);
    return 1;
  }
  std::ofstream out(out_path, std::ios::binary);
  for (Record r : *records) {
    const auto hex = r.find("input_bytes");
    const auto read_as = r.find("read_as");
    if (hex != r.end() && read_as != r.end()) {
      mok::Bytes bytes;
      const std::string digits = mok::corpus::ToUtf8(hex->second);
      for (std::size_t i = 0; i + 1 < digits.size(); i += 2) {
        bytes += static_cast<std::uint8_t>(std::stoi(digits.substr(i, 2), nullptr, 16));
      }
      r["input"] = mok::CpBytesToText(bytes, std::stoi(mok::corpus::ToUtf8(read_as->second)));
      if (r["input"].empty() || r["input"] == r["expect"]) continue;
    }
    out << mok::corpus::FormatLine(r, mok::corpus::kKeys) << '\n';
  }
  return out ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--decode") return DecodeBytes(argv[2], argv[3]);
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_corpus PASSAGES.jsonl OUT.jsonl\n       make_corpus --decode IN.jsonl OUT.jsonl\n");
    return 2;
  }
  const auto passages = mok::corpus::ReadFile(argv[1]);
  if (!passages) {
    std::fprintf(stderr, "make_corpus: cannot read %s\n", argv[1]);
    return 1;
  }
  // Pools of passages per language and class, in file order.
  std::map<std::pair<std::string, std::string>, std::vector<Text>> pools;
  for (const Record& p : *passages) {
    pools[{mok::corpus::ToUtf8(p.at("lang")), mok::corpus::ToUtf8(p.at("class"))}].push_back(p.at("text"));
  }
  std::ofstream out(argv[2], std::ios::binary);
  using mok::corpus::FromUtf8;
  for (const char* cls : {"short", "medium", "long"}) {
    const int clean_count = kCleanPlan.Of(cls);
    for (const char* lang : kLanguages) {
      const auto& pool = pools[{lang, cls}];
      for (int i = 0; i < clean_count && i < static_cast<int>(pool.size()); ++i) {
        Record r{{"group", u"clean"}, {"garbling", u"clean"}, {"class", FromUtf8(cls)},
                 {"lang", FromUtf8(lang)}, {"input", pool[pool.size() - 1 - i]}};
        out << mok::corpus::FormatLine(r, mok::corpus::kKeys) << '\n';
      }
    }
    for (const Garbling& g : kGarblings) {
      const int wanted = g.plan.Of(cls);
      int made = 0;
      std::size_t tried = 0;
      std::vector<std::size_t> cursor(g.languages.size(), 0);
      std::vector<std::size_t> next_paragraph(g.languages.size(), 0);
      for (std::size_t turn = 0; made < wanted && tried < 20000; ++turn) {
        const std::size_t which = turn % g.languages.size();
        const auto& pool = pools[{g.languages[which], cls}];
        // A file name is made from a short passage; a mixed text's paragraph is a medium one.
        const auto& paragraphs = pools[{g.languages[which], "medium"}];
        const std::size_t usable = pool.size() > static_cast<std::size_t>(clean_count) ? pool.size() - clean_count : 0;
        ++tried;
        if (cursor[which] >= usable) {
          bool any_left = false;
          for (std::size_t i = 0; i < g.languages.size(); ++i) {
            const auto& other = pools[{g.languages[i], cls}];
            any_left = any_left || cursor[i] + clean_count < other.size();
          }
          if (!any_left) break;
          continue;
        }
        // A mixed text's paragraph comes from the other end of the medium pool's garbled part.
        if (next_paragraph[which] == 0) next_paragraph[which] = paragraphs.size() / 2;
        const Text& clean = pool[cursor[which]++];
        const Sample sample = Garble(clean, g, paragraphs, next_paragraph[which]);
        if (sample.input.empty() || sample.input == sample.expect) continue;
        Record r{{"group", FromUtf8(g.group)}, {"garbling", FromUtf8(g.name)}, {"steps", StepsOf(g)},
                 {"class", FromUtf8(cls)}, {"lang", FromUtf8(g.languages[which])}, {"input", sample.input},
                 {"expect", sample.expect}};
        out << mok::corpus::FormatLine(r, mok::corpus::kKeys) << '\n';
        ++made;
      }
      if (wanted > 0) std::fprintf(stderr, "%s %s %s: %d samples\n", g.group, g.name, cls, made);
    }
  }
  return out ? 0 : 1;
}
