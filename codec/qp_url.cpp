#include "codec/qp_url.h"

#include <cstring>
#include <iterator>
#include <memory>
#include <string_view>

#include "codec/charset_conversion.h"
#include "codec/charset_stream.h"
#include "codec/conversion_core.h"
#include "codec/hex_digits.h"

namespace mok {
namespace {

// ---- Soft line breaks -------------------------------------------------------

// The first LF at or after position from, or n. memchr finds candidate bytes
// fast; a byte 0x0A may also be either half of another code unit.
std::size_t FindLineFeed(const char16_t* data, std::size_t from, std::size_t n) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(data);
  std::size_t offset = 2 * from;
  while (offset < 2 * n) {
    const void* hit = std::memchr(bytes + offset, 0x0A, 2 * n - offset);
    if (hit == nullptr) break;
    offset = static_cast<std::size_t>(static_cast<const unsigned char*>(hit) - bytes);
    if (data[offset / 2] == u'\n') return offset / 2;
    ++offset;
  }
  return n;
}

// Removes every soft line break in one pass and returns the new length; the
// text is written over in place. Each LF is looked at once: together with an
// optional CR before it, the spaces and tabs before that and the "=" before
// those, it is a soft break. Breaks never overlap (each ends at its own LF
// and holds no other), so looking back from every LF in the original text is
// the same as reading it once from the start.
std::size_t RemoveSoftLineBreaks(char16_t* data, std::size_t n) {
  std::size_t written = 0;
  std::size_t read = 0;  // the text before it is dealt with
  for (std::size_t lf = FindLineFeed(data, 0, n); lf < n; lf = FindLineFeed(data, lf + 1, n)) {
    const std::size_t keep = SoftBreakStart(std::u16string_view(data + read, lf - read));
    if (keep == std::u16string_view::npos) continue;  // keep: the characters before the "="
    if (written != read) std::memmove(data + written, data + read, keep * sizeof(char16_t));
    written += keep;
    read = lf + 1;
  }
  if (written != read) std::memmove(data + written, data + read, (n - read) * sizeof(char16_t));
  return written + (n - read);
}

// ---- Decoding ---------------------------------------------------------------

// Writes the result over the text behind the read position. A run of b bytes
// came from at least 1.5 b characters and decodes to about b units at most;
// should a converter ever give more than the run's characters, the output
// moves to a buffer of its own instead of overtaking input still to be read.
class OverwritingOutput {
 public:
  explicit OverwritingOutput(Text& text) : text_(text) {}

  // Appends len units, NULs as spaces (and "+" too when plus_is_space: the
  // URL form's spaces in the input text); unread input starts at position limit.
  void Append(const char16_t* source, std::size_t length, std::size_t limit, bool plus_is_space = false) {
    if (!spilled_ && written_ + length > limit) {
      spill_.reserve(text_.size() + length);
      spill_.assign(text_.data(), written_);
      spilled_ = true;
    }
    if (spilled_) {
      const std::size_t old = spill_.size();
      spill_.append(source, length);
      for (std::size_t k = old; k < spill_.size(); ++k) {
        if (spill_[k] == 0 || (plus_is_space && spill_[k] == u'+')) spill_[k] = u' ';
      }
      return;
    }
    // Moves forward with the destination never after the source.
    char16_t* destination = text_.data() + written_;
    const char16_t plus = plus_is_space ? u'+' : 0;
    for (std::size_t k = 0; k < length; ++k) {
      const char16_t c = source[k];
      destination[k] = (c == 0 || c == plus) ? u' ' : c;
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
  // Runs are short and many: the regular characters of a double-byte code
  // page go by table, without a converter call each.
  const std::int32_t code_page = by_code_page ? code : code >= 0 ? AnsiCodePageOfLocale(code) : -1;
  Text text;
  if (code_page > 0 && code_page != 1200 && DecodeRegularCharacters(run, code_page, text)) return text;
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
    const bool url = form == 1;
    char16_t* const data = text.data();
    std::size_t n = text.size();
    // In URLs "+" stands for a space. It is not replaced up front: the pass
    // below reads "+" as a space wherever it looks at one (it only ends runs)
    // and writes it as a space when it copies text.
    if (!url) n = RemoveSoftLineBreaks(data, n);

    OverwritingOutput out(text);
    // Scratch for one byte run. A run takes three characters per escaped byte
    // and one per printable byte, which must follow an escaped one, so it
    // holds at most n / 2 bytes.
    std::unique_ptr<std::uint8_t[]> run;
    std::size_t copy = 0;    // start of the input not yet consumed
    std::size_t search = 0;  // where to look for the next escape
    for (;;) {
      std::size_t p = search;
      while (p < n && data[p] != escape) ++p;
      if (p + 2 >= n) break;  // none left, or fewer than two characters follow it
      out.Append(data + copy, p - copy, p, url);
      copy = p;
      if (!run) run = std::make_unique_for_overwrite<std::uint8_t[]>(n / 2 + 2);

      // Gather escaped bytes, each optionally followed by one printable
      // character. data[copy] is an escape character at the top of the loop;
      // q ends where the run ends, at n when it reaches the end.
      std::size_t bytes = 0;
      std::size_t q = copy + 1;
      for (;;) {
        q = copy + 1;
        if (q >= n) break;
        const int high = HexValue(data[q]);
        if (high < 0) break;
        q = copy + 2;
        if (q >= n) break;
        const int low = HexValue(data[q]);
        if (low < 0) break;
        run[bytes++] = static_cast<std::uint8_t>(high * 16 + low);
        copy += 3;
        q = copy;
        if (q >= n) break;
        const char16_t next = data[q];
        if (next == escape) continue;
        if (next < 0x21 || next > 0x7E || (url && next == u'+')) break;
        run[bytes++] = static_cast<std::uint8_t>(next);  // the printable second byte of a pair
        copy += 1;
        q = copy;
        if (q >= n || data[q] != escape) break;  // a second printable character ends the run
      }
      search = q;
      if (bytes != 0) {
        const Text decoded = DecodeRun(BytesView(run.get(), bytes), code, by_code_page);
        if (decoded.empty() && !NamesCharacterSet(code, by_code_page)) {
          text.clear();
          return;
        }
        out.Append(decoded.data(), decoded.size(), copy);
      }
    }
    out.Append(data + copy, n - copy, n, url);
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

// ---- Streaming ----------------------------------------------------------------
//
// The whole-text decoder as a machine fed one character at a time: the soft
// line break filter (quoted-printable) holds back an "=" while what follows
// may still make it a soft break, and the run machine holds back an escape
// until its two digits are seen. Plain text and runs of complete escapes
// skip the machine's single steps.

namespace {

bool IsPrintable(char16_t c) { return c >= 0x21 && c <= 0x7E; }

}  // namespace

QpUrlStreamDecoder::QpUrlStreamDecoder(std::int32_t code, std::int16_t mode)
    : code_(code), by_code_page_(mode >= 128), url_(mode % 128 == 1), escape_(mode % 128 == 0 ? u'=' : u'%') {
  try {
    usable_ = (mode % 128 == 0 || mode % 128 == 1) && NamesCharacterSet(code, by_code_page_);
    run_ = std::make_unique_for_overwrite<std::uint8_t[]>(kRunHeld);
    const std::int32_t code_page = by_code_page_ ? code : code >= 0 ? AnsiCodePageOfLocale(code) : -1;
    if (code_page > 0 && code_page != 1200) table_code_page_ = code_page;
    table_looked_up_ = table_code_page_ == 0;
  } catch (...) {
    usable_ = false;
  }
}

QpUrlStreamDecoder::~QpUrlStreamDecoder() = default;

// A run's text goes straight to out: nothing else is written while it lasts.
void QpUrlStreamDecoder::FlushRun(Text& out) {
  if (!run_stream_) {
    run_stream_ = by_code_page_ ? CharsetStream::ByCodePage(code_) : CharsetStream::ByLanguageCode(code_);
  }
  const std::size_t at = out.size();
  failed_ = failed_ || !run_stream_->Decode(BytesView(run_.get(), run_size_), false, out);
  for (std::size_t k = at; k < out.size(); ++k) out[k] = out[k] == 0 ? u' ' : out[k];
  run_size_ = 0;
}

void QpUrlStreamDecoder::EndRun(Text& out) {
  const std::size_t at = out.size();
  const BytesView run(run_.get(), run_size_);
  if (run_stream_) {
    failed_ = failed_ || !run_stream_->Decode(run, true, out);
    run_stream_.reset();
  } else if (!run.empty()) {
    if (!table_looked_up_) {  // the first run: the table is read now, not for inputs that have none
      table_looked_up_ = true;
      table_ = RegularCharacterTable(table_code_page_);
    }
    // Runs are short and many: a short one decodes on the stack and joins
    // the text in one go.
    constexpr std::size_t kShort = 512;
    if (table_ != nullptr && run.size() <= kShort) {
      char16_t units[kShort];
      const std::size_t count = DecodeRegularCharacters(*table_, run, units);
      if (count != static_cast<std::size_t>(-1)) {
        for (std::size_t k = 0; k < count; ++k) units[k] = units[k] == 0 ? u' ' : units[k];
        out.append(units, count);
        run_size_ = 0;
        return;
      }
    }
    if (!(table_ != nullptr && AppendRegularCharacters(*table_, run, out))) out += DecodeRun(run, code_, by_code_page_);
  }
  run_size_ = 0;
  for (std::size_t k = at; k < out.size(); ++k) out[k] = out[k] == 0 ? u' ' : out[k];
}

// The run machine: whole-text decoding one character at a time.
void QpUrlStreamDecoder::Step(char16_t c, Text& out) {
  for (;;) {
    switch (state_) {
      case State::Text:
        if (c == escape_) {
          state_ = State::Escape;
        } else {
          Emit(c, out);
        }
        return;
      case State::Escape:
        if (HexValue(c) >= 0) {
          digit_ = c;
          state_ = State::EscapeDigit;
          return;
        }
        out += escape_;  // no escape: the text goes on at c
        state_ = State::Text;
        continue;
      case State::EscapeDigit:
        if (HexValue(c) >= 0) {
          PushByte(static_cast<std::uint8_t>(HexValue(digit_) * 16 + HexValue(c)), out);
          state_ = State::AfterEscaped;
          return;
        }
        out += escape_;
        out += digit_;
        state_ = State::Text;
        continue;
      case State::AfterEscaped:
        if (c == escape_) {
          state_ = State::RunEscape;
          return;
        }
        if (IsPrintable(c) && !(url_ && c == u'+')) {  // the printable second byte of a pair
          PushByte(static_cast<std::uint8_t>(c), out);
          state_ = State::AfterLiteral;
          return;
        }
        EndRun(out);
        state_ = State::Text;
        continue;
      case State::AfterLiteral:
        if (c == escape_) {
          state_ = State::RunEscape;
          return;
        }
        EndRun(out);
        state_ = State::Text;
        continue;
      case State::RunEscape:
        if (HexValue(c) >= 0) {
          digit_ = c;
          state_ = State::RunEscapeDigit;
          return;
        }
        EndRun(out);
        out += escape_;
        state_ = State::Text;
        continue;
      case State::RunEscapeDigit:
        if (HexValue(c) >= 0) {
          PushByte(static_cast<std::uint8_t>(HexValue(digit_) * 16 + HexValue(c)), out);
          state_ = State::AfterEscaped;
          return;
        }
        EndRun(out);
        out += escape_;
        out += digit_;
        state_ = State::Text;
        continue;
    }
  }
}

void QpUrlStreamDecoder::ReleaseHeld(Text& out) {
  held_ = false;
  Step(u'=', out);
  for (const char16_t c : padding_text_) Step(c, out);
  if (held_cr_) Step(u'\r', out);
  padding_text_.clear();
  padding_ = 0;
  held_cr_ = false;
}

// The soft line break filter of quoted-printable, in front of the run machine.
void QpUrlStreamDecoder::Filter(char16_t c, Text& out) {
  for (;;) {
    if (!held_) {
      if (c == u'=' && !url_) {
        held_ = true;
        return;
      }
      Step(c, out);
      return;
    }
    if (c == u'\n') {  // "=", padding, CR and LF: a soft line break
      held_ = false;
      padding_text_.clear();
      padding_ = 0;
      held_cr_ = false;
      return;
    }
    if (!held_cr_ && (c == u' ' || c == u'\t') && padding_ < kMaxSoftBreakPadding) {
      padding_text_ += c;
      ++padding_;
      return;
    }
    if (!held_cr_ && c == u'\r') {
      held_cr_ = true;
      return;
    }
    ReleaseHeld(out);  // no soft break: what was held goes on, then c
  }
}

// Plain text, soft line breaks without padding, and runs of complete escapes
// each with its optional printable byte, without the single steps; only
// where nothing is held back. Returns false when the chunk is done, true when
// the character at i needs the single steps.
bool QpUrlStreamDecoder::Fast(TextView chunk, std::size_t& i, Text& out) {
  const std::size_t n = chunk.size();
  const char16_t* const in = chunk.data();
  const char16_t plus = url_ ? u'+' : 0;
  const char16_t escape = escape_;
  for (;;) {
    if (held_ || i >= n) return i < n;
    const char16_t c = in[i];
    if (c == escape) {
      if (!url_ && i + 1 < n && in[i + 1] == u'\n') {  // "=" LF
        i += 2;
        continue;
      }
      if (!url_ && i + 2 < n && in[i + 1] == u'\r' && in[i + 2] == u'\n') {  // "=" CR LF
        i += 3;
        continue;
      }
      const bool after_run = state_ == State::AfterEscaped || state_ == State::AfterLiteral;
      if ((state_ != State::Text && !after_run) || i + 2 >= n) return true;
      int high = HexValue(in[i + 1]), low = HexValue(in[i + 2]);
      if ((high | low) < 0) return true;
      // The run goes on as long as escapes follow, each with its optional
      // printable byte; a soft line break, an incomplete escape or the
      // chunk's end hand it back to the loop above with its state.
      std::uint8_t* const run = run_.get();
      std::size_t size = run_size_;
      std::size_t k = i;
      State state = State::AfterEscaped;
      for (;;) {
        run[size++] = static_cast<std::uint8_t>(high * 16 + low);
        k += 3;
        state = State::AfterEscaped;
        if (size == kRunHeld) {
          run_size_ = size;
          FlushRun(out);
          size = 0;
        }
        if (k >= n) break;
        char16_t next = in[k];
        if (next != escape) {
          if (!IsPrintable(next) || next == plus) break;  // ends the run, as the loop above finds
          run[size++] = static_cast<std::uint8_t>(next);  // the printable second byte of a pair
          ++k;
          state = State::AfterLiteral;
          if (size == kRunHeld) {
            run_size_ = size;
            FlushRun(out);
            size = 0;
          }
          if (k >= n || in[k] != escape) break;  // a second printable character ends the run
        }
        if (k + 2 >= n) break;
        const char16_t digits = in[k + 1] | in[k + 2];
        if (digits >= 128) break;
        high = kHexDigitValues.value[in[k + 1]];
        low = kHexDigitValues.value[in[k + 2]];
        if ((high | low) < 0) break;
      }
      run_size_ = size;
      state_ = state;
      i = k;
      continue;
    }
    switch (state_) {
      case State::Text: {
        std::size_t end = i;
        while (end < n && in[end] != escape) ++end;
        const std::size_t at = out.size();
        out.append(in + i, end - i);
        for (std::size_t k = at; k < out.size(); ++k) out[k] = (out[k] == 0 || out[k] == plus) ? u' ' : out[k];
        i = end;
        continue;
      }
      case State::AfterEscaped:
        if (IsPrintable(c) && c != plus) {  // the printable second byte of a pair
          PushByte(static_cast<std::uint8_t>(c), out);
          ++i;
          state_ = State::AfterLiteral;
          continue;
        }
        [[fallthrough]];
      case State::AfterLiteral:
        EndRun(out);
        state_ = State::Text;
        continue;
      default:
        return true;
    }
  }
}

bool QpUrlStreamDecoder::Decode(TextView chunk, bool last, Text& out) {
  if (!usable_) return false;
  try {
    std::size_t i = 0;
    while (Fast(chunk, i, out)) Filter(chunk[i++], out);
    if (last) {
      if (held_) ReleaseHeld(out);
      switch (state_) {
        case State::Text: break;
        case State::Escape: out += escape_; break;
        case State::EscapeDigit:
          out += escape_;
          out += digit_;
          break;
        case State::AfterEscaped:
        case State::AfterLiteral: EndRun(out); break;
        case State::RunEscape:
          EndRun(out);
          out += escape_;
          break;
        case State::RunEscapeDigit:
          EndRun(out);
          out += escape_;
          out += digit_;
          break;
      }
      state_ = State::Text;
    }
    return !failed_;
  } catch (...) {
    return false;
  }
}

}  // namespace mok
