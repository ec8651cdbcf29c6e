// Makes the benchmark corpus of the repair suggestions from the clean passages
// that build_model.py takes from the benchmark half of its sources:
//   make_corpus PASSAGES.jsonl OUT.jsonl
// Each garbled sample is a passage put through the garbling with the program's
// own converters, kept only when the garbling loses nothing, changes the text
// and the repair gives the passage back. The passages are taken in file order
// (build_model.py shuffled them with a fixed seed), so the corpus is the same
// on every run.

#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "repair/repair_step.h"
#include "repair/tools/corpus.h"

namespace {

using mok::RepairStep;
using mok::Text;
using mok::corpus::Record;

struct Garbling {
  const char* name;
  std::vector<RepairStep> garble;  // applied to the clean text in this order
  std::vector<const char*> languages;
};

const std::vector<const char*> kAll = {"zh_CN", "zh_TW", "ja", "ko", "ru", "de", "fr"};

const std::vector<Garbling> kGarblings = {
    {"big5>gbk", {{950, 936}}, {"zh_TW"}},
    {"gbk>big5", {{936, 950}}, {"zh_CN"}},
    {"utf8>gbk", {{65001, 936}}, kAll},
    {"gbk>utf8", {{936, 65001}}, {"zh_CN"}},
    {"sjis>gbk", {{932, 936}}, {"ja"}},
    {"euckr>gbk", {{949, 936}}, {"ko"}},
    {"gbk>cp1252", {{936, 1252}}, {"zh_CN"}},
    {"gbk>latin1", {{936, 28591}}, {"zh_CN"}},
    {"utf8>cp1252", {{65001, 1252}}, kAll},
    {"koi8r>cp1251", {{20866, 1251}}, {"ru"}},
    {"cp1251>koi8r", {{1251, 20866}}, {"ru"}},
    {"utf16swap", {mok::kUtf16Swap}, {"zh_CN", "zh_TW", "ja", "ko", "ru", "de", "fr", "en"}},
    {"utf8>cp1252x2", {{65001, 1252}, {65001, 1252}}, {"zh_CN", "ja", "ru", "de", "fr"}},
};

struct ClassPlan {
  const char* name;
  int garbled;  // samples per garbling
  int clean;    // clean samples per language
};
const ClassPlan kClasses[] = {{"short", 55, 150}, {"medium", 45, 150}, {"long", 24, 80}};

// Garbles the passage; the text read back wrongly, or empty when the garbling
// loses something, changes nothing, or cannot be undone exactly.
Text Garble(const Text& clean, const Garbling& g) {
  Text text = clean;
  for (const RepairStep step : g.garble) {
    auto result = mok::ApplyLosslessStep(text, step, {});
    if (!result) return {};
    text = std::move(result->text);
  }
  if (text == clean) return {};
  Text back = text;
  for (auto step = g.garble.rbegin(); step != g.garble.rend(); ++step) {
    // The byte swap is its own inverse.
    const RepairStep inverse = *step == mok::kUtf16Swap ? *step : RepairStep{step->code_page_b, step->code_page_a};
    auto result = mok::ApplyLosslessStep(back, inverse, {});
    if (!result) return {};
    back = std::move(result->text);
  }
  return back == clean ? text : Text();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_corpus PASSAGES.jsonl OUT.jsonl\n");
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
    pools[{mok::corpus::ToUtf8(p.at("lang")),
           mok::corpus::ToUtf8(p.at("class"))}]
        .push_back(p.at("text"));
  }
  std::ofstream out(argv[2], std::ios::binary);
  const std::vector<std::string> keys = {"garbling", "class", "lang", "input", "expect"};
  for (const ClassPlan& cls : kClasses) {
    // Clean samples come from the end of each pool, garbled ones from the start.
    for (const char* lang : {"zh_CN", "zh_TW", "ja", "ko", "ru", "de", "fr", "en"}) {
      const auto& pool = pools[{lang, cls.name}];
      for (int i = 0; i < cls.clean && i < static_cast<int>(pool.size()); ++i) {
        Record r{{"garbling", u"clean"}, {"class", mok::corpus::FromUtf8(cls.name)},
                 {"lang", mok::corpus::FromUtf8(lang)}, {"input", pool[pool.size() - 1 - i]}};
        out << mok::corpus::FormatLine(r, keys) << '\n';
      }
    }
    for (const Garbling& g : kGarblings) {
      int made = 0;
      std::size_t tried = 0;
      std::vector<std::size_t> cursor(g.languages.size(), 0);
      for (std::size_t turn = 0; made < cls.garbled && tried < 4000; ++turn) {
        const std::size_t which = turn % g.languages.size();
        const auto& pool = pools[{g.languages[which], cls.name}];
        const std::size_t usable = pool.size() > static_cast<std::size_t>(cls.clean) ? pool.size() - cls.clean : 0;
        ++tried;
        if (cursor[which] >= usable) continue;
        const Text& clean = pool[cursor[which]++];
        const Text garbled = Garble(clean, g);
        if (garbled.empty()) continue;
        Record r{{"garbling", mok::corpus::FromUtf8(g.name)}, {"class", mok::corpus::FromUtf8(cls.name)},
                 {"lang", mok::corpus::FromUtf8(g.languages[which])}, {"input", garbled}, {"expect", clean}};
        out << mok::corpus::FormatLine(r, keys) << '\n';
        ++made;
      }
      std::fprintf(stderr, "%s %s: %d samples\n", g.name, cls.name, made);
    }
  }
  return out ? 0 : 1;
}
