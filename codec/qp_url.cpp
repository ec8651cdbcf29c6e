#include "codec/qp_url.h"

#include <iterator>
#include <string_view>

#include "codec/conversion_core.h"

namespace mok {
namespace {

// ---- Soft line breaks -------------------------------------------------------

// The end of the removal chain: writes over the text.
class TextWriter {
 public:
  explicit TextWriter(char16_t* out, std::size_t written) : out_(out), written_(written) {}
  void Push(char16_t c) { out_[written_++] = c; }
  void Finish() {}
  bool Idle() const { return true; }
  std::size_t written() const { return written_; }

 private:
  char16_t* out_;
  std::size_t written_;
};

// Removes every occurrence of one pattern from a stream of characters the way a
// whole-text replacement does: leftmost first, without overlap, never looking
// again at what it passed on. The characters held back are always a prefix of
// the pattern, and since "=" is the only "=" in the patterns, a mismatch can
// only start a new match at the character that broke the old one.
template <class Next>
class PatternRemover {
 public:
  PatternRemover(std::u16string_view pattern, Next& next) : pattern_(pattern), next_(next) {}

  void Push(char16_t c) {
    if (matched_ > 0) {
      if (c == pattern_[matched_]) {
        if (++matched_ == pattern_.size()) matched_ = 0;
        return;
      }
      Release();
    }
    if (c == pattern_[0]) {
      matched_ = 1;
    } else {
      next_.Push(c);
    }
  }
  void Finish() {
    Release();
    next_.Finish();
  }
  bool Idle() const { return matched_ == 0 && next_.Idle(); }

 private:
  void Release() {
    for (std::size_t k = 0; k < matched_; ++k) next_.Push(pattern_[k]);
    matched_ = 0;
  }

  const std::u16string_view pattern_;
  Next& next_;
  std::size_t matched_ = 0;
};

// Removes "=" CR LF, then "= " CR LF, then "=" TAB CR LF, each over the whole
// result of the one before (so a removal can bring a later pattern together, as
// in "=" TAB "= " CR LF CR LF, which loses everything). The three removals run
// as a pipeline in one pass, each stage seeing exactly the output of the stage
// before it. Returns the new length; the text is written over in place.
std::size_t RemoveSoftLineBreaks(char16_t* data, std::size_t n) {
  std::size_t start = 0;
  while (start < n && data[start] != u'=') ++start;
  TextWriter writer(data, start);
  PatternRemover<TextWriter> tab_break(u"=\t\r\n", writer);
  PatternRemover<PatternRemover<TextWriter>> space_break(u"= \r\n", tab_break);
  PatternRemover<PatternRemover<PatternRemover<TextWriter>>> plain_break(u"=\r\n", space_break);
  for (std::size_t i = start; i < n; ++i) {
    const char16_t c = data[i];
    if (c != u'=' && plain_break.Idle()) {
      writer.Push(c);
    } else {
      plain_break.Push(c);
    }
  }
  plain_break.Finish();
  return writer.written();
}

// ---- Decoding ---------------------------------------------------------------

int HexValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  return -1;
}

// Writes the result over the text behind the read position. Should a decoded
// run ever be longer than the escapes it came from (no converter here does
// that), the output moves to a buffer of its own instead of overtaking input
// that is still to be read.
class OverwritingOutput {
 public:
  explicit OverwritingOutput(Text& text) : text_(text) {}

  // Appends len units, NULs as spaces; unread input starts at position limit.
  void Append(const char16_t* source, std::size_t length, std::size_t limit) {
    if (!spilled_ && written_ + length > limit) {
      spill_.reserve(text_.size() + length);
      spill_.assign(text_.data(), written_);
      spilled_ = true;
    }
    if (spilled_) {
      const std::size_t old = spill_.size();
      spill_.append(source, length);
      for (std::size_t k = old; k < spill_.size(); ++k) {
        if (spill_[k] == 0) spill_[k] = u' ';
      }
      return;
    }
    // Moves forward with the destination never after the source.
    char16_t* destination = text_.data() + written_;
    for (std::size_t k = 0; k < length; ++k) {
      const char16_t c = source[k];
      destination[k] = c == 0 ? u' ' : c;
    }
    written_ += length;
  }

  void Finish() {
    if (spilled_) {
      text_.swap(spill_);
    } else {
      text_.resize(written_);
    }
  }

 private:
  Text& text_;
  Text spill_;
  std::size_t written_ = 0;
  bool spilled_ = false;
};

Text DecodeRun(BytesView run, std::int32_t code, bool by_code_page) {
  return by_code_page ? CpBytesToText(run, code) : LidBytesToText(run, code);
}

// A language code or code page that decodes two ASCII letters to nothing names
// no character set (every real one, the byte views included, gives text).
bool NamesCharacterSet(std::int32_t code, bool by_code_page) {
  static constexpr std::uint8_t kProbe[] = {'A', 'A'};
  return !DecodeRun(BytesView(kProbe, 2), code, by_code_page).empty();
}

// ---- Encoding ---------------------------------------------------------------

constexpr std::int32_t kQpCodePages[] = {936, 54936, 950, 20000, 932, 20932, 949, 1361, 1252, 65001};
constexpr int kDoubleByteIndexes = 8;  // indexes 0..7 track lead bytes
constexpr std::size_t kMaxLine = 76;   // a line reaching this length is broken first
constexpr char16_t kHexDigits[] = u"0123456789ABCDEF";

}  // namespace

void DecodeQpUrl(Text& text, std::int32_t code, std::int16_t mode) {
  const int form = mode % 128;
  if (form != 0 && form != 1) {
    text.clear();
    return;
  }
  if (text.empty()) return;
  try {
    const char16_t escape = form == 0 ? u'=' : u'%';
    const bool by_code_page = mode >= 128;
    char16_t* const data = text.data();
    std::size_t n = text.size();
    if (form == 0) {
      n = RemoveSoftLineBreaks(data, n);
    } else {
      for (std::size_t i = 0; i < n; ++i) {
        if (data[i] == u'+') data[i] = u' ';
      }
    }

    OverwritingOutput out(text);
    Bytes run;
    std::size_t copy = 0;    // start of the input not yet consumed
    std::size_t search = 0;  // where to look for the next escape
    for (;;) {
      std::size_t p = search;
      while (p < n && data[p] != escape) ++p;
      if (p + 2 >= n) break;  // none left, or fewer than two characters follow it
      out.Append(data + copy, p - copy, p);
      copy = p;

      // Gather escaped bytes and single printable characters right after them.
      // r = q - copy is 1 or 2 inside an escape, 0 at the character after one.
      run.clear();
      bool last_escaped = false;
      int high = 0;
      std::size_t q = p + 1;
      for (; q < n; ++q) {
        const char16_t c = data[q];
        const std::size_t r = q - copy;
        if (r == 1) {
          high = HexValue(c);
          if (high < 0) break;
        } else if (r == 2) {
          const int low = HexValue(c);
          if (low < 0) break;
          run.push_back(static_cast<std::uint8_t>(high * 16 + low));
          last_escaped = true;
          copy += 3;
        } else if (c == escape) {
          continue;
        } else if (last_escaped && c >= 0x21 && c <= 0x7E) {
          run.push_back(static_cast<std::uint8_t>(c));
          last_escaped = false;
          copy += 1;
        } else {
          break;
        }
      }
      search = q;
      if (!run.empty()) {
        const Text decoded = DecodeRun(run, code, by_code_page);
        if (decoded.empty() && !NamesCharacterSet(code, by_code_page)) {
          text.clear();
          return;
        }
        out.Append(decoded.data(), decoded.size(), copy);
      }
    }
    out.Append(data + copy, n - copy, n);
    out.Finish();
  } catch (...) {
    text.clear();
  }
}

void EncodeQpUrl(Text& text, std::int16_t charset_index) {
  if (charset_index < 0 || charset_index >= static_cast<int>(std::size(kQpCodePages))) {
    text.clear();
    return;
  }
  if (text.empty()) return;
  try {
    const Bytes bytes = TextToCpBytes(text, kQpCodePages[charset_index]);
    if (bytes.empty()) {
      text.clear();
      return;
    }
    const bool track_lead = charset_index < kDoubleByteIndexes;
    // At most three characters per byte; a soft line break follows at least 73
    // characters of content, so 3b / 73 + 1 breaks of three characters suffice.
    const std::size_t b = bytes.size();
    if (b > Text().max_size() / 4) {
      text.clear();
      return;
    }
    Text out(3 * b + 3 * (3 * b / 73 + 1), u'\0');
    char16_t* w = out.data();
    bool lead = false;
    std::size_t line = 0;
    for (const std::uint8_t byte : bytes) {
      bool escaped = true;
      if (byte < 0x20 || byte > 0x7E || byte == u'=') {
        lead = track_lead && !lead && byte >= 0x81 && byte <= 0xFE;
      } else if (lead) {
        lead = false;  // the printable second byte of a double-byte character
      } else {
        escaped = false;
      }
      const std::size_t piece = escaped ? 3 : 1;
      line += piece;
      if (line >= kMaxLine) {
        *w++ = u'=';
        *w++ = u'\r';
        *w++ = u'\n';
        line = piece;
      }
      if (escaped) {
        *w++ = u'=';
        *w++ = kHexDigits[byte >> 4];
        *w++ = kHexDigits[byte & 0xF];
      } else {
        *w++ = byte;
      }
    }
    out.resize(static_cast<std::size_t>(w - out.data()));
    text.swap(out);
  } catch (...) {
    text.clear();
  }
}

}  // namespace mok
