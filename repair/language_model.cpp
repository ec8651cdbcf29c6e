#include "repair/language_model.h"

#include <unicode/uchar.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <type_traits>
#include <vector>

extern "C" const unsigned char mok_repair_model[];
extern "C" const unsigned char mok_repair_model_end[];

namespace mok {
namespace {

static_assert(std::endian::native == std::endian::little, "the model tables are little-endian");

// Character classes, as repair/tools/build_model.py assigns them.
enum CharClass : std::uint8_t {
  kAsciiLetter, kDigit, kAsciiOther, kControl, kLatin1Letter, kLatinExtended, kLatinAdditional, kLatin1Symbol,
  kCombining, kGreek, kCyrillic, kHebrew, kArabic, kPresentationForm, kThai, kHan, kHiragana, kKatakana,
  kHalfwidthKatakana, kHangul, kHangulJamo, kCjkPunct, kBopomofo, kGeneralPunct, kSymbol, kOtherLetter,
  kPrivateUse, kUnassigned, kSurrogate, kAstral, kClassCount
};

// The classes that tell scripts apart; a language is scored on a text only when
// the text holds one of those its model marks as its own.
constexpr std::uint32_t kScriptClasses =
    1u << kLatin1Letter | 1u << kLatinExtended | 1u << kLatinAdditional | 1u << kGreek | 1u << kCyrillic |
    1u << kHebrew | 1u << kArabic | 1u << kPresentationForm | 1u << kThai | 1u << kHan | 1u << kHiragana |
    1u << kKatakana | 1u << kHalfwidthKatakana | 1u << kHangul | 1u << kHangulJamo | 1u << kCjkPunct |
    1u << kBopomofo;

constexpr std::string_view kLanguageCodes[kLanguageCount] = {
    "zh_CN", "zh_TW", "ja", "ko", "ru", "de", "fr", "en", "el", "he", "ar", "fa", "pl", "cs",
    "tr",    "uk",    "vi", "th", "es", "it", "pt", "nl", "hu", "sv", "ro", "bg", "lt", "lv"};

constexpr char16_t kReplacementCharacter = 0xFFFD;

// Every character beyond the BMP is scored as this one symbol.
constexpr char16_t kAstralSymbol = 0xFFFF;
constexpr std::size_t kAscii = 128;

CharClass ClassOf(char32_t c) {
  if (c < 0x80) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return kAsciiLetter;
    if (c >= '0' && c <= '9') return kDigit;
    if ((c >= 0x20 && c != 0x7F) || c == '\t' || c == '\n' || c == '\r') return kAsciiOther;
    return kControl;
  }
  if (c >= 0xFFFF) return kAstral;
  if (c >= 0xD800 && c <= 0xDFFF) return kSurrogate;
  const std::int8_t type = u_charType(static_cast<UChar32>(c));
  if (type == U_UNASSIGNED) return kUnassigned;
  struct Range {
    char32_t lo, hi;
    CharClass cls;
  };
  static constexpr Range kRanges[] = {
      {0x00A0, 0x00BF, kLatin1Symbol},      {0x00D7, 0x00D7, kLatin1Symbol},     {0x00F7, 0x00F7, kLatin1Symbol},
      {0x00C0, 0x00FF, kLatin1Letter},      {0x0100, 0x024F, kLatinExtended},    {0x1E00, 0x1EFF, kLatinAdditional},
      {0x0300, 0x036F, kCombining},         {0x0370, 0x03FF, kGreek},            {0x1F00, 0x1FFF, kGreek},
      {0x0400, 0x052F, kCyrillic},          {0x0590, 0x05FF, kHebrew},           {0x0600, 0x06FF, kArabic},
      {0x0750, 0x077F, kArabic},            {0x08A0, 0x08FF, kArabic},           {0xFB00, 0xFDFF, kPresentationForm},
      {0xFE70, 0xFEFE, kPresentationForm},  {0x0E00, 0x0E7F, kThai},
      {0x3400, 0x4DBF, kHan},               {0x4E00, 0x9FFF, kHan},              {0xF900, 0xFAFF, kHan},
      {0x3040, 0x309F, kHiragana},          {0x30A0, 0x30FF, kKatakana},         {0x31F0, 0x31FF, kKatakana},
      {0xFF61, 0xFF9F, kHalfwidthKatakana}, {0xAC00, 0xD7A3, kHangul},           {0x1100, 0x11FF, kHangulJamo},
      {0x3130, 0x318F, kHangulJamo},        {0xFFA0, 0xFFDC, kHangulJamo},       {0x3000, 0x303F, kCjkPunct},
      {0xFF01, 0xFF60, kCjkPunct},          {0xFFE0, 0xFFEE, kCjkPunct},         {0x3200, 0x33FF, kCjkPunct},
      {0x3100, 0x312F, kBopomofo},          {0x31A0, 0x31BF, kBopomofo},         {0x2000, 0x206F, kGeneralPunct},
  };
  for (const Range& range : kRanges) {
    if (c >= range.lo && c <= range.hi) return range.cls;
  }
  switch (type) {
    case U_PRIVATE_USE_CHAR: return kPrivateUse;
    case U_CONTROL_CHAR: return kControl;
    case U_UPPERCASE_LETTER: case U_LOWERCASE_LETTER: case U_TITLECASE_LETTER: case U_MODIFIER_LETTER:
    case U_OTHER_LETTER: case U_NON_SPACING_MARK: case U_ENCLOSING_MARK: case U_COMBINING_SPACING_MARK:
      return kOtherLetter;
    default: return kSymbol;
  }
}

// One language's tables, copied out of the embedded bytes. Costs are
// quantised negative log-probabilities (step nats each).
struct LanguageTables {
  std::uint32_t script_classes = 0;  // bit per class: the script classes the language uses
  std::vector<float> floors;         // clean-text floor per floor length, nats per character
  std::array<std::uint8_t, kClassCount * kClassCount> transition{};  // class -> class
  std::array<std::uint8_t, kClassCount> unseen_in_class{};          // a character never seen
  std::vector<std::uint8_t> in_class;                               // per row
  std::vector<std::uint8_t> backoff;                                // per row
  std::vector<std::uint32_t> row_start;                             // rows + 1
  std::vector<std::uint16_t> followers;
  std::vector<std::uint8_t> bigram;
  // Row + 1 of a character, 0 for one without a row, in blocks of 256
  // characters: page[c >> 8] is the block, block 0 is all zeros and stands for
  // every block without a row (most of them, for an alphabet).
  std::array<std::uint16_t, 256> page{};
  std::vector<std::uint16_t> blocks;
  std::vector<std::uint16_t> chars;  // per row

  // The bigrams again, by a << 16 | b in open addressing: one probe where a
  // binary search of the row's followers took a dozen dependent reads.
  struct PairEntry {
    std::uint32_t key;
    std::uint32_t cost;
  };
  static constexpr std::uint32_t kNoPair = 0xFFFFFFFF;  // an empty slot
  std::vector<PairEntry> pairs;
  unsigned pair_shift = 32;
  // The pair whose key is kNoPair (U+FFFF twice), when the language has it.
  std::optional<std::uint8_t> last_pair_cost;

  unsigned RowOf(char16_t c) const { return blocks[std::size_t{page[c >> 8]} * 256 + (c & 0xFF)]; }
  void IndexRows();
  void IndexPairs();
  // The bigram cost of a followed by b, nullopt when a's row lacks b.
  [[nodiscard]] std::optional<unsigned> BigramOf(char16_t a, char16_t b) const {
    const std::uint32_t key = std::uint32_t{a} << 16 | b;
    if (key == kNoPair) return last_pair_cost;
    const std::size_t mask = pairs.size() - 1;
    for (std::size_t slot = (key * 0x9E3779B1u) >> pair_shift;; slot = (slot + 1) & mask) {
      if (pairs[slot].key == key) return pairs[slot].cost;
      if (pairs[slot].key == kNoPair) return std::nullopt;
    }
  }
};

// Fills page and blocks from chars.
void LanguageTables::IndexRows() {
  page.fill(0);
  blocks.assign(256, 0);
  for (std::size_t row = 0; row < chars.size(); ++row) {
    const char16_t c = chars[row];
    if (page[c >> 8] == 0) {
      page[c >> 8] = static_cast<std::uint16_t>(blocks.size() / 256);
      blocks.resize(blocks.size() + 256, 0);
    }
    blocks[std::size_t{page[c >> 8]} * 256 + (c & 0xFF)] = static_cast<std::uint16_t>(row + 1);
  }
}

// Fills pairs from the rows; where a row names a follower twice, the first
// counts, as the binary search found it.
void LanguageTables::IndexPairs() {
  std::size_t size = 64;
  pair_shift = 32 - 6;
  while (size < 2 * followers.size()) {
    size *= 2;
    --pair_shift;
  }
  pairs.assign(size, PairEntry{kNoPair, 0});
  last_pair_cost.reset();
  for (std::size_t row = 0; row < chars.size(); ++row) {
    for (std::uint32_t e = row_start[row]; e < row_start[row + 1]; ++e) {
      const std::uint32_t key = std::uint32_t{chars[row]} << 16 | followers[e];
      if (key == kNoPair) {
        if (!last_pair_cost) last_pair_cost = bigram[e];
        continue;
      }
      std::size_t slot = (key * 0x9E3779B1u) >> pair_shift;
      while (pairs[slot].key != kNoPair && pairs[slot].key != key) slot = (slot + 1) & (size - 1);
      if (pairs[slot].key == kNoPair) pairs[slot] = PairEntry{key, bigram[e]};
    }
  }
}

// What each pair costs at least in any language of a group, for a bound on a
// text's cost in all of them with one lookup a pair instead of one a
// language. Cost (below) prices a pair (a, b) in one language as its bigram
// when a's row has b, else as a's backoff (none without a row) plus the class
// transition and b's cost within its class. Each part here is the least of
// it over the group's languages, and a bigram is capped by what its backoff
// costs here, so every way one of them may price a pair costs no less than
// the way these tables do.
struct LeastCosts {
  std::array<std::uint8_t, kClassCount * kClassCount> transition{};
  std::vector<std::uint8_t> backoff;   // per character
  std::vector<std::uint8_t> in_class;  // per character
  // The bigrams of the group: open addressing by a << 16 | b, probed on.
  static constexpr std::uint32_t kEmpty = 0xFFFFFFFF;
  std::vector<std::uint32_t> keys;
  std::vector<std::uint8_t> costs;
  unsigned shift = 32;
  std::uint8_t last_key_cost = 0;  // the pair whose key is kEmpty (U+FFFF twice), when a language has it
  bool has_last_key = false;
  // A bit for each key's hash modulo its size, eight times the keys: most
  // pairs of no language (those of garbled text) are told apart here, in a
  // table small enough to stay in the cache, without probing the keys.
  std::vector<std::uint64_t> filter;
  unsigned filter_shift = 32;
  // The least any pair ending in a unit costs, whatever comes before it (ASCII
  // pairs under the shared table included); 0 for the units the models do
  // not read as themselves (line breaks, surrogates, full-width letters and
  // digits). Their sum over a text bounds its ceiling in one lookup a unit.
  // Only in the table of all languages.
  std::vector<std::uint8_t> into;

  [[nodiscard]] static std::uint32_t Hash(std::uint32_t key) { return key * 0x9E3779B1u; }
  [[nodiscard]] bool MayHave(std::uint32_t hash) const {
    const std::uint32_t bit = hash >> filter_shift;
    return (filter[bit >> 6] >> (bit & 63) & 1) != 0;
  }
  [[nodiscard]] unsigned Of(char16_t a, char16_t b, std::uint8_t class_a, std::uint8_t class_b) const {
    const unsigned back = backoff[a] + transition[std::size_t{class_a} * kClassCount + class_b] + in_class[b];
    const std::uint32_t key = std::uint32_t{a} << 16 | b;
    if (key == kEmpty) return has_last_key ? last_key_cost : back;
    const std::uint32_t hash = Hash(key);
    if (!MayHave(hash)) return back;
    const std::size_t mask = keys.size() - 1;
    for (std::size_t slot = hash >> shift;; slot = (slot + 1) & mask) {
      if (keys[slot] == key) return costs[slot];
      if (keys[slot] == kEmpty) return back;
    }
  }
};

// The groups of languages that share least costs: those of one script
// (Chinese and Japanese; Korean; Cyrillic; Latin; Greek; Hebrew; Arabic;
// Thai), whose costs for a pair are alike, so that the least of them is
// close to each. A text is mostly scored in one or two groups.
constexpr std::size_t kGroupCount = 8;
constexpr std::uint8_t kGroupOf[kLanguageCount] = {
    0, 0, 0, 1, 2, 3, 3, 3,  // zh_CN zh_TW ja ko ru de fr en
    4, 5, 6, 6, 3, 3, 3, 2,  // el he ar fa pl cs tr uk
    3, 7, 3, 3, 3, 3, 3, 3,  // vi th es it pt nl hu sv
    3, 2, 3, 3,              // ro bg lt lv
};

struct Model {
  double step = 0;
  std::vector<std::uint32_t> floor_lengths;  // ascending
  std::array<std::uint8_t, kAscii * kAscii> ascii{};
  std::array<LanguageTables, kLanguageCount> languages;
  std::array<LeastCosts, kGroupCount> groups;
  LeastCosts least;  // over all languages
  std::array<std::uint8_t, 0x10000> class_of{};
};

// Reads the embedded bytes; nullptr when they are not what this code expects.
class Reader {
 public:
  Reader(const unsigned char* data, std::size_t size) : data_(data), size_(size) {}
  bool Seek(std::size_t at) {
    if (at > size_) return false;
    at_ = at;
    return true;
  }
  template <typename T>
  bool Read(T& value) {
    if (size_ - at_ < sizeof(T)) return false;
    std::memcpy(&value, data_ + at_, sizeof(T));
    at_ += sizeof(T);
    return true;
  }
  template <typename T>
  bool ReadArray(T* out, std::size_t count) {
    if (count > (size_ - at_) / sizeof(T)) return false;
    std::memcpy(out, data_ + at_, count * sizeof(T));
    at_ += count * sizeof(T);
    return true;
  }
  void Align4() { at_ = std::min(size_, (at_ + 3) & ~std::size_t{3}); }

 private:
  const unsigned char* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

bool ReadLanguage(Reader& in, std::string_view code, std::size_t floor_count, LanguageTables& t) {
  char name[8];
  std::uint32_t rows = 0, edges = 0;
  t.floors.resize(floor_count);
  if (!in.ReadArray(name, 8) || std::string_view(name, strnlen(name, 8)) != code || !in.Read(t.script_classes) ||
      !in.ReadArray(t.floors.data(), floor_count) || !in.ReadArray(t.transition.data(), t.transition.size()) ||
      !in.ReadArray(t.unseen_in_class.data(), t.unseen_in_class.size())) {
    return false;
  }
  for (const float floor : t.floors) {
    if (!(floor <= 0 && floor > -1000)) return false;
  }
  in.Align4();
  if (!in.Read(rows) || !in.Read(edges) || rows >= 0x10000 || edges > (1u << 24)) return false;
  std::vector<std::uint16_t> chars(rows);
  t.in_class.resize(rows);
  t.backoff.resize(rows);
  t.row_start.resize(rows + 1);
  t.followers.resize(edges);
  t.bigram.resize(edges);
  if (!in.ReadArray(chars.data(), rows) || !in.ReadArray(t.in_class.data(), rows) ||
      !in.ReadArray(t.backoff.data(), rows)) {
    return false;
  }
  in.Align4();
  if (!in.ReadArray(t.row_start.data(), rows + 1) || !in.ReadArray(t.followers.data(), edges) ||
      !in.ReadArray(t.bigram.data(), edges)) {
    return false;
  }
  if (t.row_start.front() != 0 || t.row_start.back() != edges ||
      !std::is_sorted(t.row_start.begin(), t.row_start.end())) {
    return false;
  }
  t.chars = std::move(chars);
  t.IndexRows();
  t.IndexPairs();
  return true;
}

// The least costs of the languages of one group, or of all (group kGroupCount).
LeastCosts BuildLeastCosts(const Model& m, std::size_t group) {
  std::vector<const LanguageTables*> languages;
  for (std::size_t l = 0; l < kLanguageCount; ++l) {
    if (group == kGroupCount || kGroupOf[l] == group) languages.push_back(&m.languages[l]);
  }
  LeastCosts least;
  least.transition.fill(255);
  for (const LanguageTables* language : languages) {
    const LanguageTables& t = *language;
    for (std::size_t i = 0; i < least.transition.size(); ++i) {
      least.transition[i] = std::min(least.transition[i], t.transition[i]);
    }
  }
  // A character without a row in some language: no backoff, and that
  // language's cost for an unseen character of its class.
  std::array<std::uint8_t, kClassCount> unseen{};
  unseen.fill(255);
  for (const LanguageTables* t : languages) {
    for (std::size_t c = 0; c < kClassCount; ++c) unseen[c] = std::min(unseen[c], t->unseen_in_class[c]);
  }
  least.backoff.assign(0x10000, 0);
  least.in_class.resize(0x10000);
  for (std::size_t c = 0; c < 0x10000; ++c) least.in_class[c] = unseen[m.class_of[c]];
  std::vector<char16_t> chars;
  std::vector<std::uint64_t> edges;  // a << 24 | b << 8 | cost
  for (const LanguageTables* language : languages) {
    const LanguageTables& t = *language;
    chars.insert(chars.end(), t.chars.begin(), t.chars.end());
    for (std::size_t row = 0; row < t.chars.size(); ++row) {
      for (std::uint32_t e = t.row_start[row]; e < t.row_start[row + 1]; ++e) {
        edges.push_back(std::uint64_t{t.chars[row]} << 24 | std::uint64_t{t.followers[e]} << 8 | t.bigram[e]);
      }
    }
  }
  std::sort(chars.begin(), chars.end());
  chars.erase(std::unique(chars.begin(), chars.end()), chars.end());
  for (const char16_t c : chars) {
    std::uint8_t backoff = 255;
    std::uint8_t in_class = 255;
    for (const LanguageTables* language : languages) {
      const LanguageTables& t = *language;
      const unsigned row = t.RowOf(c);
      backoff = std::min<std::uint8_t>(backoff, row != 0 ? t.backoff[row - 1] : 0);
      in_class = std::min(in_class, row != 0 ? t.in_class[row - 1] : t.unseen_in_class[m.class_of[c]]);
    }
    least.backoff[c] = backoff;
    least.in_class[c] = in_class;
  }
  // What a pair ending in each unit costs at least: backing off from any
  // character before it, or one of the bigrams into it (below).
  const bool with_into = group == kGroupCount;
  std::array<unsigned, kClassCount> least_backoff{};
  least_backoff.fill(255);
  for (std::size_t c = 0; c < 0x10000 && with_into; ++c) {
    least_backoff[m.class_of[c]] = std::min<unsigned>(least_backoff[m.class_of[c]], least.backoff[c]);
  }
  least.into.resize(with_into ? 0x10000 : 0);
  for (std::size_t c = 0; c < least.into.size(); ++c) {
    unsigned back = 255;
    for (std::size_t k = 0; k < kClassCount; ++k) {
      back = std::min(back, least_backoff[k] + least.transition[k * kClassCount + m.class_of[c]] + least.in_class[c]);
    }
    least.into[c] = static_cast<std::uint8_t>(std::min(back, 255u));
  }
  for (std::size_t c = 0; c < kAscii && with_into; ++c) {
    for (std::size_t before = 0; before < kAscii; ++before) {
      least.into[c] = std::min(least.into[c], m.ascii[before * kAscii + c]);
    }
  }
  // Sorted by cost within a pair: the first of a pair is its least.
  std::sort(edges.begin(), edges.end());
  std::size_t distinct = 0;
  for (std::size_t i = 0; i < edges.size(); ++i) distinct += i == 0 || (edges[i - 1] >> 8) != (edges[i] >> 8);
  std::size_t size = 1024;
  least.shift = 32 - 10;
  while (size < 2 * distinct) {
    size *= 2;
    --least.shift;
  }
  if (with_into) {
    for (const char16_t unread : {u'\n', u'\r', u'\uFFFF'}) least.into[unread] = 0;
    std::fill(least.into.begin() + 0xD800, least.into.begin() + 0xE000, 0);
    std::fill(least.into.begin() + 0xFF10, least.into.begin() + 0xFF5B, 0);
  }
  least.keys.assign(size, LeastCosts::kEmpty);
  least.costs.assign(size, 0);
  // Eight bits a key (the keys' table has two slots a key at least).
  least.filter_shift = least.shift - 2;
  least.filter.assign(size * 4 / 64, 0);
  for (std::size_t i = 0; i < edges.size(); ++i) {
    if (i > 0 && (edges[i - 1] >> 8) == (edges[i] >> 8)) continue;
    const auto a = static_cast<char16_t>(edges[i] >> 24);
    const auto b = static_cast<char16_t>(edges[i] >> 8);
    const unsigned back = least.backoff[a] +
                          least.transition[std::size_t{m.class_of[a]} * kClassCount + m.class_of[b]] +
                          least.in_class[b];
    const auto cost = static_cast<std::uint8_t>(std::min<unsigned>(edges[i] & 0xFF, back));
    if (with_into) least.into[b] = std::min(least.into[b], cost);
    const std::uint32_t key = std::uint32_t{a} << 16 | b;
    if (key == LeastCosts::kEmpty) {
      least.has_last_key = true;
      least.last_key_cost = cost;
      continue;
    }
    const std::uint32_t hash = LeastCosts::Hash(key);
    const std::uint32_t bit = hash >> least.filter_shift;
    least.filter[bit >> 6] |= std::uint64_t{1} << (bit & 63);
    std::size_t slot = hash >> least.shift;
    while (least.keys[slot] != LeastCosts::kEmpty) slot = (slot + 1) & (size - 1);
    least.keys[slot] = key;
    least.costs[slot] = cost;
  }
  return least;
}

std::unique_ptr<Model> LoadModel() {
  const std::size_t size = static_cast<std::size_t>(mok_repair_model_end - mok_repair_model);
  Reader in(mok_repair_model, size);
  auto model = std::make_unique<Model>();
  char magic[8];
  std::uint32_t languages = 0, classes = 0, floor_count = 0;
  float step = 0;
  if (!in.ReadArray(magic, 8) || std::string_view(magic, 8) != "MOKLM002" || !in.Read(languages) ||
      !in.Read(classes) || !in.Read(step) || languages != kLanguageCount || classes != kClassCount ||
      !(step > 0) || !in.Read(floor_count) || floor_count == 0 || floor_count > 64) {
    return nullptr;
  }
  model->floor_lengths.resize(floor_count);
  if (!in.ReadArray(model->floor_lengths.data(), floor_count) ||
      !std::is_sorted(model->floor_lengths.begin(), model->floor_lengths.end()) ||
      !in.ReadArray(model->ascii.data(), model->ascii.size())) {
    return nullptr;
  }
  std::array<std::uint32_t, kLanguageCount> offsets{};
  if (!in.ReadArray(offsets.data(), offsets.size())) return nullptr;
  for (std::size_t i = 0; i < kLanguageCount; ++i) {
    if (!in.Seek(offsets[i]) || !ReadLanguage(in, kLanguageCodes[i], floor_count, model->languages[i])) {
      return nullptr;
    }
  }
  model->step = step;
  for (char32_t c = 0; c < 0x10000; ++c) model->class_of[c] = ClassOf(c);
  for (std::size_t g = 0; g < kGroupCount; ++g) model->groups[g] = BuildLeastCosts(*model, g);
  model->least = BuildLeastCosts(*model, kGroupCount);
  return model;
}

const Model* TheModel() {
  static const std::unique_ptr<Model> model = [] {
    try {
      return LoadModel();
    } catch (...) {
      return std::unique_ptr<Model>();
    }
  }();
  return model.get();
}

// Two neighbouring characters not both ASCII, with their classes.
struct Pair {
  char16_t a, b;
  std::uint8_t class_a, class_b;
};

// The cost of one pair in one language. row_a is a's row (0 for none).
inline unsigned PairCost(const LanguageTables& t, const Pair& p, unsigned row_a, unsigned row_b) {
  const unsigned b_in_class = row_b != 0 ? t.in_class[row_b - 1] : t.unseen_in_class[p.class_b];
  const unsigned back = t.transition[std::size_t{p.class_a} * kClassCount + p.class_b] + b_in_class;
  if (row_a == 0) return back;
  const std::optional<unsigned> bigram = t.BigramOf(p.a, p.b);
  return bigram ? *bigram : t.backoff[row_a - 1] + back;
}

// Cost of the pairs in one language, or a sum above limit once the pairs
// scored so far and what the rest cost at least (rest[i]: the pairs from i
// on; none when empty) come to more than limit. A pair's first character is
// the last one's second most of the time, so its row is looked up once.
std::uint64_t Cost(const LanguageTables& t, std::span<const Pair> pairs, std::uint64_t limit,
                   std::span<const std::uint32_t> rest = {}) {
  std::uint64_t cost = 0;
  char16_t last = 0;
  unsigned last_row = t.RowOf(0);
  for (std::size_t i = 0; i < pairs.size(); ++i) {
    const Pair& p = pairs[i];
    const unsigned row_a = p.a == last ? last_row : t.RowOf(p.a);
    const unsigned row_b = t.RowOf(p.b);
    last = p.b;
    last_row = row_b;
    cost += PairCost(t, p, row_a, row_b);
    if ((i & 3) == 3 && cost + (rest.empty() ? 0 : rest[i + 1]) > limit) return cost + (rest.empty() ? 0 : rest[i + 1]);
  }
  return cost;
}

// What each pair costs at least in the languages of a LeastCosts, summed
// from each pair to the end: rest[i] for the pairs from i on,
// rest[pairs.size()] = 0.
void RestCosts(const LeastCosts& least, std::span<const Pair> pairs, std::vector<std::uint32_t>& rest) {
  rest.assign(pairs.size() + 1, 0);
  for (std::size_t i = pairs.size(); i-- > 0;) {
    const Pair& p = pairs[i];
    rest[i] = rest[i + 1] + least.Of(p.a, p.b, p.class_a, p.class_b);
  }
}

// Full-width Latin letters and digits are ASCII's in another width (a name
// typed with a CJK input method): they read as ASCII, so that text of them
// alone is not taken for garbled text the models never saw.
bool ReadsAsAscii(char16_t c) {
  return (c >= 0xFF10 && c <= 0xFF19) || (c >= 0xFF21 && c <= 0xFF3A) || (c >= 0xFF41 && c <= 0xFF5A);
}

// The text as the models read it: a CR as a line break (an LF right after it
// skipped), a surrogate pair as the one astral symbol, full-width letters and
// digits as ASCII's. A visit that returns false stops the reading.
template <typename Visit>
void ForEachSymbol(TextView text, Visit visit) {
  bool after_cr = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char16_t c = text[i];
    if (c == u'\n' && after_cr) {
      after_cr = false;
      continue;
    }
    after_cr = c == u'\r';
    if (after_cr) c = u'\n';
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = kAstralSymbol;
      ++i;
    }
    if (ReadsAsAscii(c)) c -= 0xFEE0;
    if constexpr (std::is_same_v<decltype(visit(c)), bool>) {
      if (!visit(c)) return;
    } else {
      visit(c);
    }
  }
}

struct Scores {
  std::array<double, kLanguageCount> log_probability{};
  std::array<bool, kLanguageCount> scored{};
  std::size_t characters = 0;
};

// The text read into what every language scores: the cost of its pairs of two
// ASCII characters under the shared table, its other pairs, and the script
// classes it holds. The pairs of a sample live in a buffer of the thread's, reused.
struct Reading {
  std::span<const Pair> pairs;
  std::uint64_t shared = 0;
  std::size_t characters = 0;
  std::uint32_t classes = 0;
};

// Texts up to this many units (the search's samples) read into a buffer of
// the thread's, kept for the next; a longer one into `own`, the caller's, so
// that no copy of a long text outlives the call.
constexpr std::size_t kKeptReading = 1 << 16;

Reading Read(const Model& m, TextView text, std::vector<Pair>& own) {
  thread_local std::vector<Pair> kept;
  std::vector<Pair>& buffer = text.size() <= kKeptReading ? kept : own;
  buffer.clear();
  buffer.reserve(text.size());
  Reading reading;
  char16_t previous = u'\n';
  ForEachSymbol(text, [&](char16_t c) {
    ++reading.characters;
    reading.classes |= 1u << m.class_of[c];
    if (previous < kAscii && c < kAscii) {
      reading.shared += m.ascii[previous * kAscii + c];
    } else {
      buffer.push_back({previous, c, m.class_of[previous], m.class_of[c]});
    }
    previous = c;
  });
  reading.pairs = buffer;
  return reading;
}

// The languages ScoreText weighs for a text: those that use a script class the
// text holds; every language when the text holds none, or none that a language uses.
std::array<bool, kLanguageCount> LanguagesFor(const Model& m, std::uint32_t classes) {
  classes &= kScriptClasses;
  std::array<bool, kLanguageCount> chosen{};
  bool any = false;
  for (std::size_t l = 0; l < kLanguageCount; ++l) {
    chosen[l] = (m.languages[l].script_classes & classes) != 0;
    any = any || chosen[l];
  }
  if (!any) chosen.fill(true);
  return chosen;
}

// The languages of a text's symbols as the models read them, as
// ScoreTextAtLeast weighs them: full-width letters and digits read as ASCII's,
// which belong to no script (line breaks and surrogates, read otherwise,
// belong to none either way).
std::array<bool, kLanguageCount> LanguagesFor(const Model& m, TextView text) {
  std::uint32_t classes = 0;
  for (const char16_t c : text) classes |= ReadsAsAscii(c) ? 0u : 1u << m.class_of[c];
  return LanguagesFor(m, classes);
}

// The least costs that bound the chosen languages: the tables of their
// groups, or those of all languages when they span more than two groups (a
// bound that is looser, but found in one lookup a pair).
struct Bounds {
  std::array<const LeastCosts*, 2> tables{};
  std::size_t count = 0;
  std::array<std::uint8_t, kLanguageCount> table_of{};  // per chosen language
};

Bounds BoundsFor(const Model& m, const std::array<bool, kLanguageCount>& chosen) {
  Bounds bounds;
  std::array<int, kGroupCount> index{};
  index.fill(-1);
  for (std::size_t l = 0; l < kLanguageCount; ++l) {
    if (!chosen[l]) continue;
    const std::size_t g = kGroupOf[l];
    if (index[g] < 0) {
      if (bounds.count == bounds.tables.size()) {
        bounds.tables = {&m.least, nullptr};
        bounds.count = 1;
        bounds.table_of.fill(0);
        return bounds;
      }
      index[g] = static_cast<int>(bounds.count);
      bounds.tables[bounds.count++] = &m.groups[g];
    }
    bounds.table_of[l] = static_cast<std::uint8_t>(index[g]);
  }
  return bounds;
}

Scores Score(const Model& m, TextView text, const std::array<bool, kLanguageCount>& chosen) {
  // The pairs of two ASCII characters are scored once by the shared table, the
  // others by every chosen language.
  std::vector<Pair> own;
  const Reading reading = Read(m, text, own);
  Scores scores;
  scores.scored = chosen;
  scores.characters = reading.characters;
  for (std::size_t l = 0; l < kLanguageCount; ++l) {
    const std::uint64_t cost = chosen[l] ? Cost(m.languages[l], reading.pairs, UINT64_MAX) : 0;
    scores.log_probability[l] = -static_cast<double>(reading.shared + cost) * m.step;
  }
  return scores;
}

LanguageScore Best(const Scores& scores) {
  constexpr auto kEnglish = static_cast<std::size_t>(Language::English);
  LanguageScore best{scores.log_probability[kEnglish], Language::English, scores.characters};
  bool found = scores.scored[kEnglish];
  for (std::size_t l = 0; l < kLanguageCount; ++l) {
    if (scores.scored[l] && (!found || scores.log_probability[l] > best.log_probability)) {
      best.log_probability = scores.log_probability[l];
      best.language = static_cast<Language>(l);
      found = true;
    }
  }
  return best;
}

// The best of the chosen languages as Best picks it, or nullopt as soon as
// every one of them is known to cost more than limit. A language is given up
// once it costs more than the best one finished so far: it can neither win
// nor tie. The one that won last on this thread is tried first (the
// candidates of one search mostly read as the same language), so the others
// are given up early.
std::optional<LanguageScore> BestWithin(const Model& m, const Reading& reading,
                                        const std::array<bool, kLanguageCount>& chosen, std::uint64_t limit,
                                        const Bounds& bounds, std::span<const std::vector<std::uint32_t>> rests) {
  thread_local std::size_t first = static_cast<std::size_t>(Language::English);
  constexpr auto kEnglish = static_cast<std::size_t>(Language::English);
  std::size_t best = kLanguageCount;
  std::uint64_t best_cost = 0;
  for (std::size_t k = 0; k < kLanguageCount; ++k) {
    const std::size_t l = k == 0 ? first : (k <= first ? k - 1 : k);
    if (!chosen[l]) continue;
    const std::uint64_t bound = best == kLanguageCount ? limit : std::min(limit, best_cost);
    const std::uint64_t cost = Cost(m.languages[l], reading.pairs, bound, rests[bounds.table_of[l]]);
    if (cost > bound) continue;
    // Best's order among equal costs: English, then the first.
    const bool wins = best == kLanguageCount || cost < best_cost ||
                      (best != kEnglish && (l == kEnglish || l < best));
    if (wins) {
      best = l;
      best_cost = cost;
    }
  }
  if (best == kLanguageCount) return std::nullopt;
  first = best;
  return LanguageScore{-static_cast<double>(reading.shared + best_cost) * m.step, static_cast<Language>(best),
                       reading.characters};
}

double Floor(const Model& m, Language language, std::size_t characters) {
  const auto& lengths = m.floor_lengths;
  // The longest measured length not above the text's, the shortest for a shorter text.
  const auto above = std::upper_bound(lengths.begin(), lengths.end(), characters);
  const std::size_t at = above == lengths.begin() ? 0 : static_cast<std::size_t>(above - lengths.begin()) - 1;
  return m.languages[static_cast<std::size_t>(language)].floors[at];
}

}  // namespace

std::string_view LanguageCode(Language language) {
  const auto l = static_cast<std::size_t>(language);
  return l < kLanguageCount ? kLanguageCodes[l] : std::string_view();
}

bool LanguageModelLoaded() { return TheModel() != nullptr; }

std::array<double, kLanguageCount> ScoreEveryLanguage(TextView text) {
  const Model* m = TheModel();
  if (m == nullptr) return {};
  std::array<bool, kLanguageCount> all{};
  all.fill(true);
  return Score(*m, text, all).log_probability;
}

LanguageScore ScoreText(TextView text) {
  const Model* m = TheModel();
  if (m == nullptr) return {0, Language::English, 0};
  return Best(Score(*m, text, LanguagesFor(*m, text)));
}

// The ceiling's cost under one or two tables of least costs (Bounds), or
// UINT64_MAX once it is above cost_limit.
template <std::size_t kTables>
std::uint64_t CeilingCost(const Model& m, const Bounds& bounds, TextView text, std::uint64_t cost_limit) {
  std::uint64_t shared = 0;
  std::array<std::uint64_t, kTables> costs{};
  char16_t previous = u'\n';
  std::uint8_t previous_class = m.class_of[previous];
  std::size_t symbols = 0;
  bool below = false;
  ForEachSymbol(text, [&](char16_t c) {
    const std::uint8_t c_class = m.class_of[c];
    if (previous < kAscii && c < kAscii) {
      shared += m.ascii[previous * kAscii + c];
    } else {
      for (std::size_t t = 0; t < kTables; ++t) costs[t] += bounds.tables[t]->Of(previous, c, previous_class, c_class);
    }
    previous = c;
    previous_class = c_class;
    if ((++symbols & 7) != 0) return true;
    below = shared + *std::min_element(costs.begin(), costs.end()) > cost_limit;
    return !below;
  });
  return below ? UINT64_MAX : shared + *std::min_element(costs.begin(), costs.end());
}

double ScoreUnitCeiling(TextView text) {
  const Model* m = TheModel();
  if (m == nullptr) return 0;
  std::uint64_t least = 0;
  for (const char16_t c : text) least += m->least.into[c];
  return -static_cast<double>(least) * m->step;
}

namespace {

// The cost, in the model's steps, beyond which a ceiling is below at_least;
// UINT64_MAX - 1 for no bar.
std::uint64_t CostLimitOf(const Model& m, double at_least) {
  const double limit = std::floor(-at_least / m.step) + 1;
  return !(limit < 1e18) ? UINT64_MAX - 1 : limit < 0 ? 0 : static_cast<std::uint64_t>(limit);
}

}  // namespace

void LeastPairCosts(char16_t a, std::span<const char16_t> b, std::span<std::uint8_t> costs) {
  const Model* m = TheModel();
  for (std::size_t i = 0; i < b.size() && i < costs.size(); ++i) {
    unsigned cost = 0;
    if (m != nullptr && a < kAscii && b[i] < kAscii) {
      cost = m->ascii[a * kAscii + b[i]];
    } else if (m != nullptr) {
      cost = m->least.Of(a, b[i], m->class_of[a], m->class_of[b[i]]);
    }
    costs[i] = static_cast<std::uint8_t>(std::min(cost, 255u));
  }
}

std::optional<std::uint64_t> CeilingCostLimit(double at_least) {
  const Model* m = TheModel();
  if (m == nullptr) return std::nullopt;
  const std::uint64_t cost_limit = CostLimitOf(*m, at_least);
  if (cost_limit >= UINT64_MAX - 1) return std::nullopt;
  return cost_limit;
}

double ScoreCeiling(TextView text, double at_least) {
  const Model* m = TheModel();
  if (m == nullptr) return 0;
  // The cost, in the model's steps, beyond which the ceiling is below
  // at_least: the pass stops there (most results of a search are garbage
  // that shows it within a few characters).
  const std::uint64_t cost_limit = CostLimitOf(*m, at_least);
  // Most results of a search are garbage whose characters alone cost more
  // than the bar allows in any language: told in one lookup a unit, before
  // the text's languages and its pairs.
  if (cost_limit < UINT64_MAX - 1) {
    std::uint64_t least = 0;
    for (const char16_t c : text) least += m->least.into[c];
    if (least > cost_limit) return -std::numeric_limits<double>::infinity();
  }
  const Bounds bounds = BoundsFor(*m, LanguagesFor(*m, text));
  const std::uint64_t cost = bounds.count == 2 ? CeilingCost<2>(*m, bounds, text, cost_limit)
                                               : CeilingCost<1>(*m, bounds, text, cost_limit);
  if (cost == UINT64_MAX) return -std::numeric_limits<double>::infinity();
  return -static_cast<double>(cost) * m->step;
}

std::optional<LanguageScore> ScoreTextAtLeast(TextView text, double at_least) {
  const Model* m = TheModel();
  if (m == nullptr) return at_least <= 0 ? std::optional<LanguageScore>(LanguageScore{0, Language::English, 0}) : std::nullopt;
  std::vector<Pair> own;
  const Reading reading = Read(*m, text, own);
  // The costs, in the model's steps, at which the log-probability is still at
  // least at_least, with a step to spare against rounding.
  const double limit = std::floor(-at_least / m->step) - static_cast<double>(reading.shared) + 1;
  if (limit < 0) return std::nullopt;
  const std::uint64_t cost_limit = limit >= 1e18 ? UINT64_MAX : static_cast<std::uint64_t>(limit);
  const std::array<bool, kLanguageCount> chosen = LanguagesFor(*m, reading.classes);
  const Bounds bounds = BoundsFor(*m, chosen);
  // The least costs of the rest of the text let a language be given up
  // early; a long text (a passage of many lines) is scored without them, so
  // that scoring takes no memory that grows with the text beyond its pairs.
  constexpr std::size_t kRestBoundPairs = kKeptReading;
  thread_local std::array<std::vector<std::uint32_t>, 2> rests;
  std::array<std::vector<std::uint32_t>, 2> none;
  const bool bounded = reading.pairs.size() <= kRestBoundPairs;
  bool within = !bounded;
  for (std::size_t t = 0; bounded && t < bounds.count; ++t) {
    RestCosts(*bounds.tables[t], reading.pairs, rests[t]);
    within = within || rests[t][0] <= cost_limit;
  }
  if (!within) return std::nullopt;
  std::optional<LanguageScore> best =
      BestWithin(*m, reading, chosen, cost_limit, bounds, bounded ? std::span(rests) : std::span(none));
  if (best && best->log_probability < at_least) return std::nullopt;
  return best;
}

double CleanTextFloor(Language language, std::size_t characters) {
  const Model* m = TheModel();
  if (m == nullptr || static_cast<std::size_t>(language) >= kLanguageCount) return 0;
  return Floor(*m, language, characters);
}

bool LooksLikeCleanText(TextView text) {
  const Model* m = TheModel();
  if (m == nullptr || text.empty()) return true;
  // A U+FFFD stands for a character known to be lost, not for garbling: the
  // text is judged without them.
  Text kept;
  if (text.find(kReplacementCharacter) != TextView::npos) {
    kept.reserve(text.size());
    for (const char16_t c : text) {
      if (c != kReplacementCharacter) kept += c;
    }
    text = kept;
    if (text.empty()) return true;
  }
  const LanguageScore best = Best(Score(*m, text, LanguagesFor(*m, text)));
  return best.log_probability >= static_cast<double>(best.characters) * Floor(*m, best.language, best.characters);
}

}  // namespace mok
