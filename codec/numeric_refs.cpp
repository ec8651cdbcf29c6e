#include "codec/numeric_refs.h"

#include <bit>
#include <string_view>

#include "codec/html_entities.h"
#include "codec/hex_digits.h"

namespace mok {
namespace {

// Openers are first turned into these two characters, then one scan reads the
// digits after them. A U+8080 or U+8081 already in the text is first written
// as a reference to itself (the first marker followed by the digits 8080 or
// 8081), so that it survives.
constexpr char16_t kFirstMarker = 0x8080;
constexpr char16_t kSecondMarker = 0x8081;

// The ASCII characters the preparation of one notation looks at: openers,
// what is replaced, NUL. All others reach the scan as they are.
struct SpecialTable {
  bool special[128];
  constexpr explicit SpecialTable(std::u16string_view characters) : special() {
    for (const char16_t c : characters) special[c] = true;
  }
};
constexpr SpecialTable kHtmlSpecials(std::u16string_view(u"&<\0", 3));
constexpr SpecialTable kBackslashSpecials(std::u16string_view(u"\\\0", 2));
constexpr SpecialTable kPercentSpecials(std::u16string_view(u"%+\0", 3));

bool IsSpecial(const SpecialTable& table, char16_t c) {
  return c < 128 ? table.special[c] : (c == kFirstMarker || c == kSecondMarker);
}

// The digit scan over the text with its openers replaced by markers, fed one
// character at a time and writing the decoded text by position.
class ReferenceScanner {
 public:
  // Digit counts: positive for hexadecimal, negative for decimal digits. The
  // terminator is -1 when the notation has none.
  ReferenceScanner(char16_t* out, int first_digits, int second_digits, int terminator)
      : out_(out), first_digits_(first_digits), second_digits_(second_digits), terminator_(terminator) {}

  void Feed(char16_t c) {
    if (pending_ > 0) {
      --pending_;
      const int digit = HexValue(c);
      if (digit >= 0) {
        value_ = value_ * 16 + digit;
        if (pending_ == 0) Emit();
        return;
      }
      pending_ = 0;
      Emit();
    } else if (pending_ < 0) {
      ++pending_;
      if (c >= u'0' && c <= u'9') {
        value_ = value_ * 10 + (c - u'0');
        if (pending_ == 0) Emit();
        return;
      }
      pending_ = 0;
      Emit();
    }
    if (c == kFirstMarker) {
      pending_ = first_digits_;
      value_ = 0;
    } else if (c == kSecondMarker) {
      pending_ = second_digits_;
      value_ = 0;
    } else {
      // A terminator directly after a reference belongs to it.
      if (c != terminator_ || value_ < 0) out_[written_++] = c;
      value_ = -1;
    }
  }

  bool Idle() const { return pending_ == 0; }

  // Feed() for a character that is neither a marker nor awaited as a digit.
  void PutPlain(char16_t c) {
    if (c != terminator_ || value_ < 0) out_[written_++] = c;
    value_ = -1;
  }

  // Feeds the digits that follow an opener straight from the text (digits
  // reach the scan unchanged in every notation) and returns the position after
  // them. Stops at the first character that is not an awaited digit, without
  // feeding it, or when the reference has all its digits.
  std::size_t FeedDigits(const char16_t* data, std::size_t i, std::size_t n) {
    while (pending_ != 0 && i < n) {
      const char16_t c = data[i];
      if (pending_ > 0) {
        const int digit = HexValue(c);
        if (digit < 0) break;
        value_ = value_ * 16 + digit;
        --pending_;
      } else {
        if (c < u'0' || c > u'9') break;
        value_ = value_ * 10 + (c - u'0');
        ++pending_;
      }
      ++i;
      if (pending_ == 0) Emit();
    }
    return i;
  }

  // A reference still waiting for digits at the end is emitted as it stands.
  std::size_t Finish() {
    if (pending_ != 0) Emit();
    return written_;
  }

 private:
  // Writes the value; it stays in value_ so that a following terminator is dropped.
  void Emit() {
    if (value_ < 32) {
      out_[written_++] = u' ';
    } else if (value_ <= 0xFFFF) {
      out_[written_++] = static_cast<char16_t>(value_);
    } else if (value_ > 0x10FFFF) {
      out_[written_++] = u'?';
    } else {
      out_[written_++] = static_cast<char16_t>(0xD800 + ((value_ - 0x10000) >> 10));
      out_[written_++] = static_cast<char16_t>(0xDC00 + ((value_ - 0x10000) & 0x3FF));
    }
  }

  char16_t* out_;
  std::size_t written_ = 0;
  int pending_ = 0;
  std::int32_t value_ = -1;
  const int first_digits_;
  const int second_digits_;
  const int terminator_;
};

// A U+8080 or U+8081 of the input, as the reference to itself that the scan
// turns back into it.
void FeedMarkerAsItself(ReferenceScanner& scanner, char16_t marker, bool with_terminator) {
  scanner.Feed(kFirstMarker);
  scanner.Feed(u'8');
  scanner.Feed(u'0');
  scanner.Feed(u'8');
  scanner.Feed(marker == kFirstMarker ? u'0' : u'1');
  if (with_terminator) scanner.Feed(u';');
}

// The preparation steps (markers kept as themselves, openers to markers, the
// named entities in HTML mode, NUL to space) are replacements over the whole
// text one after the other. They are run here in one pass that hands the
// prepared characters straight to the scanner. This gives the same characters:
//  - every opener starts with "&", "\" or "%" and no replacement produces one
//    of these (except "&amp;", handled by MatchNamedMarkup, and the doubled
//    backslash, whose "\x5C" is handed over already as marker, 5, C);
//  - occurrences of different openers cannot overlap, and a replacement never
//    joins characters that were apart (nothing is replaced by nothing), so no
//    later step finds a match an earlier step did not leave in place.
// Every piece of output is no longer than the input it comes from, and it is
// written only after that input has been read, so writing over the text is safe.

std::size_t DecodeHtml(char16_t* data, std::size_t n) {
  ReferenceScanner scanner(data, 5, -7, u';');
  const TextView view(data, n);
  std::size_t i = 0;
  while (i < n) {
    const char16_t c = data[i];
    if (!IsSpecial(kHtmlSpecials, c)) {
      ++i;
      if (scanner.Idle()) {
        scanner.PutPlain(c);
      } else {
        scanner.Feed(c);
      }
      continue;
    }
    if (c == u'&' && i + 1 < n && data[i + 1] == u'#') {
      const bool hex = i + 2 < n && (data[i + 2] == u'x' || data[i + 2] == u'X');
      i += hex ? 3 : 2;
      scanner.Feed(hex ? kFirstMarker : kSecondMarker);
      i = scanner.FeedDigits(data, i, n);
      continue;
    }
    if (c == u'&' || c == u'<') {
      const NamedMarkup match = MatchNamedMarkup(view, i);
      if (match.length != 0) {
        i += match.length;
        for (std::size_t k = 0; k < match.count; ++k) scanner.Feed(match.units[k]);
        continue;
      }
    }
    ++i;
    if (c == kFirstMarker || c == kSecondMarker) {
      FeedMarkerAsItself(scanner, c, true);
    } else {
      scanner.Feed(c == 0 ? u' ' : c);
    }
  }
  return scanner.Finish();
}

std::size_t DecodeBackslash(char16_t* data, std::size_t n) {
  ReferenceScanner scanner(data, 4, 2, -1);
  std::size_t i = 0;
  while (i < n) {
    const char16_t c = data[i];
    if (!IsSpecial(kBackslashSpecials, c)) {
      ++i;
      if (scanner.Idle()) {
        scanner.PutPlain(c);
      } else {
        scanner.Feed(c);
      }
      continue;
    }
    if (c == u'\\' && i + 1 < n) {
      const char16_t next = data[i + 1];
      i += 2;
      switch (next) {
        case u'\\':  // "\x5C", already with its marker
          scanner.Feed(kSecondMarker);
          scanner.Feed(u'5');
          scanner.Feed(u'C');
          continue;
        case u'n':
          scanner.Feed(u'\r');
          scanner.Feed(u'\n');
          continue;
        case u't': scanner.Feed(u'\t'); continue;
        case u'u':
        case u'U':
          scanner.Feed(kFirstMarker);
          i = scanner.FeedDigits(data, i, n);
          continue;
        case u'x':
        case u'X':
          scanner.Feed(kSecondMarker);
          i = scanner.FeedDigits(data, i, n);
          continue;
        default: i -= 1; break;  // a lone backslash; the next character is read on its own
      }
      scanner.Feed(u'\\');
      continue;
    }
    ++i;
    if (c == kFirstMarker || c == kSecondMarker) {
      FeedMarkerAsItself(scanner, c, false);
    } else {
      scanner.Feed(c == 0 ? u' ' : c);
    }
  }
  return scanner.Finish();
}

std::size_t DecodePercent(char16_t* data, std::size_t n) {
  ReferenceScanner scanner(data, 4, 2, -1);
  std::size_t i = 0;
  while (i < n) {
    const char16_t c = data[i];
    if (!IsSpecial(kPercentSpecials, c)) {
      ++i;
      if (scanner.Idle()) {
        scanner.PutPlain(c);
      } else {
        scanner.Feed(c);
      }
      continue;
    }
    if (c == u'%') {
      const bool wide = i + 1 < n && (data[i + 1] == u'u' || data[i + 1] == u'U');
      i += wide ? 2 : 1;
      scanner.Feed(wide ? kFirstMarker : kSecondMarker);
      i = scanner.FeedDigits(data, i, n);
      continue;
    }
    ++i;
    if (c == kFirstMarker || c == kSecondMarker) {
      FeedMarkerAsItself(scanner, c, false);
    } else {
      scanner.Feed(c == 0 || c == u'+' ? u' ' : c);
    }
  }
  return scanner.Finish();
}

constexpr char16_t kHexDigits[] = u"0123456789ABCDEF";

}  // namespace

void DecodeNumericRefs(Text& text, std::int16_t mode) {
  if (mode < 0 || mode > 2) {
    text.clear();
    return;
  }
  if (text.empty()) return;
  std::size_t written = 0;
  switch (mode) {
    case 0: written = DecodeHtml(text.data(), text.size()); break;
    case 1: written = DecodeBackslash(text.data(), text.size()); break;
    default: written = DecodePercent(text.data(), text.size()); break;
  }
  text.resize(written);
}

void EncodeNumericRefs(Text& text, std::int16_t mode) {
  if (mode != 0 && mode != 1) {
    text.clear();
    return;
  }
  if (text.empty()) return;
  try {
    const std::size_t n = text.size();
    const std::size_t per_unit = mode == 0 ? 8 : 6;  // "&#xFFFF;" or "\uFFFF"
    if (n > Text().max_size() / per_unit) {
      text.clear();
      return;
    }
    Text out(n * per_unit, u'\0');
    char16_t* w = out.data();
    const char16_t* in = text.data();
    if (mode == 0) {
      for (std::size_t i = 0; i < n; ++i) {
        std::uint32_t c = in[i];
        if (c < 0x80 && c != u'&') {
          *w++ = static_cast<char16_t>(c);
          continue;
        }
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && in[i + 1] >= 0xDC00 && in[i + 1] <= 0xDFFF) {
          c = 0x10000 + ((c - 0xD800) << 10) + (in[i + 1] - 0xDC00u);
          ++i;
        }
        w[0] = u'&';
        w[1] = u'#';
        w[2] = u'x';
        w += 3;
        switch ((std::bit_width(c) + 3) / 4) {  // hex digits without leading zeros; at least 2 here
          case 6: *w++ = kHexDigits[(c >> 20) & 0xF]; [[fallthrough]];
          case 5: *w++ = kHexDigits[(c >> 16) & 0xF]; [[fallthrough]];
          case 4: *w++ = kHexDigits[(c >> 12) & 0xF]; [[fallthrough]];
          case 3: *w++ = kHexDigits[(c >> 8) & 0xF]; [[fallthrough]];
          default:
            *w++ = kHexDigits[(c >> 4) & 0xF];
            *w++ = kHexDigits[c & 0xF];
        }
        *w++ = u';';
      }
    } else {
      for (std::size_t i = 0; i < n; ++i) {
        const char16_t c = in[i];
        if (c < 0x80 && c != u'\\') {
          *w++ = c;
          continue;
        }
        *w++ = u'\\';
        *w++ = u'u';
        *w++ = kHexDigits[c >> 12];
        *w++ = kHexDigits[(c >> 8) & 0xF];
        *w++ = kHexDigits[(c >> 4) & 0xF];
        *w++ = kHexDigits[c & 0xF];
      }
    }
    out.resize(static_cast<std::size_t>(w - out.data()));
    text.swap(out);
  } catch (...) {
    text.clear();
  }
}

}  // namespace mok
