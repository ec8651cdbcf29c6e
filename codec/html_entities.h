#pragma once

// HTML named character references and the tags that stand for a line break.

#include <cstddef>
#include <string_view>

#include "codec/text_types.h"

namespace mok {

// The 252 character entity references of HTML 4.01 as comma-separated
// "name,code point" pairs in ascending order of code point (apos is not one of
// them). The order matters: see DecodeNamedEntities.
extern const std::string_view kHtmlEntityList;

// The tags replaced by a line break, comma-separated, matched ignoring case.
extern const std::string_view kLineBreakTagList;

// Replaces every line-breaking tag by CR LF and every "&name;" of the entity
// table (names case-sensitive) by its character. The result is the same as
// replacing each tag and then each entity, in list order, over the whole text
// in turn: an ampersand produced by "&amp;" completes a later entity, so
// "&amp;lt;" gives "<" while "&amp;quot;" gives "&quot;" (quot comes first).
// Writes over the text; the result is never longer. NULs are left alone.
void DecodeNamedEntities(Text& text);

// One tag or entity recognised at a position, with what replaces it.
struct NamedMarkup {
  std::size_t length = 0;  // code units consumed; 0 when nothing matched
  std::size_t count = 0;   // units in the replacement (1 or 2)
  char16_t units[2] = {0, 0};
};

// Recognises a line-breaking tag (at "<") or an entity (at "&", including the
// "&amp;" chains described above) starting at text[pos]. The building block of
// DecodeNamedEntities, shared with the HTML numeric reference decoder, which
// runs the same replacements inside its own single pass.
[[nodiscard]] NamedMarkup MatchNamedMarkup(TextView text, std::size_t pos);

}  // namespace mok
