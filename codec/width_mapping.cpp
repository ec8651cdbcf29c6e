#include "codec/width_mapping.h"

#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <array>
#include <memory>

#include "codec/script_mapping.h"

namespace mok {
namespace {

constexpr char16_t kVoicedMark = 0x3099;      // combining katakana-hiragana voiced sound mark
constexpr char16_t kSemiVoicedMark = 0x309A;  // combining semi-voiced sound mark
constexpr std::size_t kUnits = 0x10000;

// The width tables of every BMP code unit, built once from the decomposition
// data. No supplementary character has a width form, so code units suffice.
struct WidthTables {
  std::array<char16_t, kUnits> full;
  std::array<char16_t, kUnits> half;
  // For a katakana that splits in half width: its half-width sound mark (its
  // base's half-width form is in `half`); 0 for every other unit.
  std::array<char16_t, kUnits> half_mark;
};

// The single code point a one-level decomposition maps to, or -1.
UChar32 SingleMapping(const icu::Normalizer2& nfkd, UChar32 c) {
  icu::UnicodeString mapping;
  if (!nfkd.getRawDecomposition(c, mapping) || mapping.countChar32() != 1) return -1;
  return mapping.char32At(0);
}

std::unique_ptr<WidthTables> BuildTables() {
  UErrorCode err = U_ZERO_ERROR;
  const icu::Normalizer2* nfkd = icu::Normalizer2::getNFKDInstance(err);
  const icu::Normalizer2* nfd = icu::Normalizer2::getNFDInstance(err);
  if (U_FAILURE(err) || nfkd == nullptr || nfd == nullptr) return nullptr;

  auto tables = std::make_unique<WidthTables>();
  for (std::size_t u = 0; u < kUnits; ++u) {
    tables->full[u] = tables->half[u] = static_cast<char16_t>(u);
    tables->half_mark[u] = 0;
  }
  for (UChar32 c = 0; c < static_cast<UChar32>(kUnits); ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    const int type = u_getIntPropertyValue(c, UCHAR_DECOMPOSITION_TYPE);
    if (type != U_DT_WIDE && type != U_DT_NARROW) continue;
    const UChar32 target = SingleMapping(*nfkd, c);
    if (target < 0 || target >= static_cast<UChar32>(kUnits)) continue;
    const auto form = static_cast<char16_t>(c);
    const auto plain = static_cast<char16_t>(target);
    if (type == U_DT_WIDE) {  // c is the full-width form of target
      if (tables->full[plain] == plain) tables->full[plain] = form;
      tables->half[form] = plain;
    } else {  // c is the half-width form of target
      if (tables->half[plain] == plain) tables->half[plain] = form;
      tables->full[form] = plain;
    }
  }
  // Katakana with a sound mark: split where both the base and the mark have a
  // half-width form (ガ = カ + U+3099 gives ｶﾞ).
  for (UChar32 c = 0x3000; c < 0x3100; ++c) {
    icu::UnicodeString parts;
    if (!nfd->getRawDecomposition(c, parts) || parts.length() != 2) continue;
    const char16_t base = parts.charAt(0);
    const char16_t mark = parts.charAt(1);
    if ((mark != kVoicedMark && mark != kSemiVoicedMark) || tables->half[base] == base) continue;
    tables->half[c] = tables->half[base];
    tables->half_mark[c] = tables->half[mark];
  }
  return tables;
}

const WidthTables* Tables() {
  static const std::unique_ptr<WidthTables> tables = BuildTables();
  return tables.get();
}

}  // namespace

Text ToFullWidth(TextView text) {
  try {
    const WidthTables* tables = Tables();
    if (tables == nullptr) return {};
    UErrorCode err = U_ZERO_ERROR;
    const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(err);
    if (U_FAILURE(err) || nfc == nullptr) return {};
    Text out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
      const char16_t full = tables->full[text[i]];
      if (full != text[i] && i + 1 < text.size()) {
        // A half-width katakana and a half-width sound mark become one katakana.
        const char16_t next = tables->full[text[i + 1]];
        if ((next == kVoicedMark || next == kSemiVoicedMark) && next != text[i + 1]) {
          const UChar32 joined = nfc->composePair(full, next);
          if (joined > 0 && joined < static_cast<UChar32>(kUnits)) {
            out.push_back(static_cast<char16_t>(joined));
            ++i;
            continue;
          }
        }
      }
      out.push_back(full);
    }
    return out;
  } catch (...) {
    return {};
  }
}

Text ToHalfWidth(TextView text) {
  try {
    const WidthTables* tables = Tables();
    if (tables == nullptr) return {};
    Text out;
    out.reserve(text.size() + text.size() / 8);
    for (const char16_t unit : text) {
      out.push_back(tables->half[unit]);
      if (const char16_t mark = tables->half_mark[unit]; mark != 0) out.push_back(mark);
    }
    return out;
  } catch (...) {
    return {};
  }
}

Text ConvertCaseItem(TextView text, int item) {
  switch (item) {
    case 0:
      return ToFullWidth(text);
    case 1:
      return ToHalfWidth(text);
    case 2:
    case 3:
      try {
        Text mapped(text);
        MapTextCase(mapped, item == 3);
        return mapped;
      } catch (...) {
        return {};
      }
    default:
      return {};
  }
}

}  // namespace mok
