#include "repair/language_model.h"

#include <unicode/uchar.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

extern "C" const unsigned char mok_repair_model[];
extern "C" const unsigned char mok_repair_model_end[];

namespace mok {
namespace {

static_assert(std::endian::native == std::endian::little, "the model tables are little-endian");

// Character classes, as repair/tools/build_model.py assigns them.
enum CharClass : std::uint8_t {
  kAsciiLetter, kDigit, kAsciiOther, kControl, kLatinLetter, kLatin1Symbol, kGreek, kCyrillic, kHan,
  kHiragana, kKatakana, kHalfwidthKatakana, kHangul, kHangulJamo, kCjkPunct, kBopomofo, kGeneralPunct,
  kSymbol, kOtherLetter, kPrivateUse, kUnassigned, kSurrogate, kAstral, kClassCount
};

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
      {0x00A0, 0x00BF, kLatin1Symbol}, {0x00D7, 0x00D7, kLatin1Symbol}, {0x00F7, 0x00F7, kLatin1Symbol},
      {0x00C0, 0x024F, kLatinLetter},  {0x1E00, 0x1EFF, kLatinLetter},  {0x0370, 0x03FF, kGreek},
      {0x0400, 0x052F, kCyrillic},     {0x3400, 0x4DBF, kHan},          {0x4E00, 0x9FFF, kHan},
      {0xF900, 0xFAFF, kHan},          {0x3040, 0x309F, kHiragana},     {0x30A0, 0x30FF, kKatakana},
      {0x31F0, 0x31FF, kKatakana},     {0xFF61, 0xFF9F, kHalfwidthKatakana}, {0xAC00, 0xD7A3, kHangul},
      {0x1100, 0x11FF, kHangulJamo},   {0x3130, 0x318F, kHangulJamo},   {0xFFA0, 0xFFDC, kHangulJamo},
      {0x3000, 0x303F, kCjkPunct},     {0xFF01, 0xFF60, kCjkPunct},     {0xFFE0, 0xFFEE, kCjkPunct},
      {0x3200, 0x33FF, kCjkPunct},     {0x3100, 0x312F, kBopomofo},     {0x31A0, 0x31BF, kBopomofo},
      {0x2000, 0x206F, kGeneralPunct},
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
  std::array<std::uint8_t, kClassCount * kClassCount> transition{};  // class -> class
  std::array<std::uint8_t, kClassCount> unseen_in_class{};          // a character never seen
  std::vector<std::uint8_t> in_class;                               // per row
  std::vector<std::uint8_t> backoff;                                // per row
  std::vector<std::uint32_t> row_start;                             // rows + 1
  std::vector<std::uint16_t> followers;
  std::vector<std::uint8_t> bigram;
  std::vector<std::uint16_t> row_of;  // 65536 entries: row + 1, 0 for a character without a row
};

struct Model {
  double step = 0;
  std::array<std::uint8_t, kAscii * kAscii> ascii{};
  std::array<LanguageTables, kLanguageCount> languages;
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

bool ReadLanguage(Reader& in, LanguageTables& t) {
  char name[8];
  std::uint32_t rows = 0, edges = 0;
  if (!in.ReadArray(name, 8) || !in.ReadArray(t.transition.data(), t.transition.size()) ||
      !in.ReadArray(t.unseen_in_class.data(), t.unseen_in_class.size())) {
    return false;
  }
  in.Align4();
  if (!in.Read(rows) || !in.Read(edges) || rows > 0x10000 || edges > (1u << 24)) return false;
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
  t.row_of.assign(0x10000, 0);
  for (std::uint32_t row = 0; row < rows; ++row) t.row_of[chars[row]] = static_cast<std::uint16_t>(row + 1);
  return true;
}

std::unique_ptr<Model> LoadModel() {
  const std::size_t size = static_cast<std::size_t>(mok_repair_model_end - mok_repair_model);
  Reader in(mok_repair_model, size);
  auto model = std::make_unique<Model>();
  char magic[8];
  std::uint32_t languages = 0, classes = 0;
  float step = 0;
  if (!in.ReadArray(magic, 8) || std::string_view(magic, 8) != "MOKLM001" || !in.Read(languages) ||
      !in.Read(classes) || !in.Read(step) || languages != kLanguageCount || classes != kClassCount ||
      !(step > 0) || !in.ReadArray(model->ascii.data(), model->ascii.size())) {
    return nullptr;
  }
  std::array<std::uint32_t, kLanguageCount> offsets{};
  if (!in.ReadArray(offsets.data(), offsets.size())) return nullptr;
  for (std::size_t i = 0; i < kLanguageCount; ++i) {
    if (!in.Seek(offsets[i]) || !ReadLanguage(in, model->languages[i])) return nullptr;
  }
  model->step = step;
  for (char32_t c = 0; c < 0x10000; ++c) model->class_of[c] = ClassOf(c);
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

// Cost of character b after character a in one language.
unsigned Cost(const Model& m, const LanguageTables& t, char16_t a, char16_t b) {
  const std::size_t ka = m.class_of[a];
  const std::size_t kb = m.class_of[b];
  const unsigned row_b = t.row_of[b];
  const unsigned b_in_class = row_b != 0 ? t.in_class[row_b - 1] : t.unseen_in_class[kb];
  const unsigned back = t.transition[ka * kClassCount + kb] + b_in_class;
  const unsigned row_a = t.row_of[a];
  if (row_a == 0) return back;
  const auto first = t.followers.begin() + t.row_start[row_a - 1];
  const auto last = t.followers.begin() + t.row_start[row_a];
  const auto found = std::lower_bound(first, last, b);
  if (found != last && *found == b) return t.bigram[static_cast<std::size_t>(found - t.followers.begin())];
  return t.backoff[row_a - 1] + back;
}

}  // namespace

bool LanguageModelLoaded() { return TheModel() != nullptr; }

std::array<double, kLanguageCount> ScoreEveryLanguage(TextView text) {
  std::array<double, kLanguageCount> scores{};
  const Model* m = TheModel();
  if (m == nullptr) return scores;
  std::array<std::uint64_t, kLanguageCount> costs{};
  std::uint64_t shared = 0;
  char16_t previous = u'\n';
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
    if (previous < kAscii && c < kAscii) {
      shared += m->ascii[previous * kAscii + c];
    } else {
      for (std::size_t l = 0; l < kLanguageCount; ++l) costs[l] += Cost(*m, m->languages[l], previous, c);
    }
    previous = c;
  }
  for (std::size_t l = 0; l < kLanguageCount; ++l) {
    scores[l] = -static_cast<double>(shared + costs[l]) * m->step;
  }
  return scores;
}

LanguageScore ScoreText(TextView text) {
  const std::array<double, kLanguageCount> scores = ScoreEveryLanguage(text);
  LanguageScore best{scores[static_cast<std::size_t>(Language::English)], Language::English};
  for (std::size_t l = 0; l < kLanguageCount; ++l) {
    if (scores[l] > best.log_probability) best = {scores[l], static_cast<Language>(l)};
  }
  return best;
}

}  // namespace mok
