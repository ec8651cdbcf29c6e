#include "codec/iso2022.h"

#include <utility>

#include "codec/conversion_core.h"

namespace mok {
namespace {

constexpr char16_t kEsc = u'\x1B';

// True when a designation of the variant starts at position i. The designations
// of one variant never overlap one another, so inserting all of them in one
// scan is the same as inserting them one kind after the other.
[[nodiscard]] bool DesignationAt(TextView s, std::size_t i, int variant) noexcept {
  if (variant == 1) {
    return i + 1 < s.size() && (s[i] == u'$' || s[i] == u'(') && s[i + 1] == u'B';
  }
  if (i + 2 >= s.size() || s[i] != u'$' || s[i + 1] != u')') return false;
  return variant == 0 ? (s[i + 2] == u'A' || s[i + 2] == u'G') : s[i + 2] == u'C';
}

// Puts an ESC before every designation. In Japanese text the space that an
// ESC "(B" directly follows is dropped (just one, as a single replacement would).
void InsertEscapes(Text& text, int variant) {
  const TextView s = text;
  std::size_t inserts = 0;
  for (std::size_t i = 0; i < s.size(); ++i) inserts += DesignationAt(s, i, variant) ? 1 : 0;
  if (inserts == 0) return;
  Text out(s.size() + inserts, u'\0');
  std::size_t w = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (DesignationAt(s, i, variant)) {
      if (variant == 1 && s[i] == u'(' && w > 0 && out[w - 1] == u' ') --w;
      out[w++] = kEsc;
    }
    out[w++] = s[i];
  }
  out.resize(w);
  text = std::move(out);
}

}  // namespace

void DecodeIso2022(Text& text, std::int16_t variant) {
  if (text.empty()) return;
  static constexpr std::int32_t kCodePages[] = {50227, 50221, 50225};
  if (variant < 0 || variant > 2) {
    text.clear();
    return;
  }
  try {
    // Text that still holds an ESC is taken to have kept its escapes.
    if (text.find(kEsc) == Text::npos) InsertEscapes(text, variant);
    ReinterpretByCp(text, 28591, kCodePages[variant]);
  } catch (...) {
    text.clear();
  }
}

}  // namespace mok
