#include "codec/utf7_hz.h"

#include <array>
#include <cstring>
#include <memory>
#include <string>
#include <utility>

#include "codec/base64.h"
#include "codec/conversion_core.h"

namespace mok {
namespace {

constexpr std::int32_t kGbCodePage = 936;

// ---------------------------------------------------------------------------
// GB2312 tables. HZ needs the code page 936 code of single characters and the
// character of single code pairs; asking the converter once per character would
// dominate the run time, so both directions are tabulated once per process.

constexpr int kGbRows = 94;  // lead and trail bytes 0xA1..0xFE

[[nodiscard]] constexpr bool IsGbByte(std::uint8_t b) noexcept { return b >= 0xA1 && b <= 0xFE; }

// What one GB2312 pair decodes to: usually one character, two lone surrogates
// (U+DC00 + byte) when code page 936 has nothing there.
struct GbChars {
  char16_t unit[2] = {0, 0};
  std::uint8_t count = 0;
};

using GbDecodeTable = std::array<GbChars, kGbRows * kGbRows>;

void StorePair(GbChars& entry, const Text& decoded) {
  entry.count = static_cast<std::uint8_t>(decoded.size() < 2 ? decoded.size() : 2);
  for (std::uint8_t k = 0; k < entry.count; ++k) entry.unit[k] = decoded[k];
}

std::unique_ptr<GbDecodeTable> BuildDecodeTable() {
  auto table = std::make_unique<GbDecodeTable>();
  Bytes row(2 * kGbRows, 0);
  for (int lead = 0; lead < kGbRows; ++lead) {
    for (int trail = 0; trail < kGbRows; ++trail) {
      row[2 * trail] = static_cast<std::uint8_t>(0xA1 + lead);
      row[2 * trail + 1] = static_cast<std::uint8_t>(0xA1 + trail);
    }
    // One call per row. When it yields exactly one ordinary character per pair,
    // each pair was read as a unit (no byte A1..FE stands alone in code page
    // 936, and an unread byte would show up as a lone surrogate), so the row
    // equals the pairs decoded one by one. Otherwise decode the row pair by pair.
    const Text decoded = CpBytesToText(row, kGbCodePage);
    bool whole = decoded.size() == static_cast<std::size_t>(kGbRows);
    for (std::size_t k = 0; whole && k < decoded.size(); ++k) {
      whole = decoded[k] < 0xD800 || decoded[k] > 0xDFFF;
    }
    for (int trail = 0; trail < kGbRows; ++trail) {
      GbChars& entry = (*table)[static_cast<std::size_t>(lead * kGbRows + trail)];
      if (whole) {
        entry.unit[0] = decoded[static_cast<std::size_t>(trail)];
        entry.count = 1;
      } else {
        StorePair(entry, CpBytesToText(BytesView(row.data() + 2 * trail, 2), kGbCodePage));
      }
    }
  }
  return table;
}

const GbDecodeTable& DecodeTable() {
  static const std::unique_ptr<GbDecodeTable> table = BuildDecodeTable();
  return *table;
}

// For every code unit, its GB2312 code (lead << 8 | trail, both 0xA1..0xFE) or 0
// when its code page 936 code is anything else.
using GbEncodeTable = std::array<std::uint16_t, 0x10000>;

[[nodiscard]] std::uint16_t GbCodeOf(BytesView code) noexcept {
  if (code.size() != 2 || !IsGbByte(code[0]) || !IsGbByte(code[1])) return 0;
  return static_cast<std::uint16_t>((code[0] << 8) | code[1]);
}

std::unique_ptr<GbEncodeTable> BuildEncodeTable() {
  auto table = std::make_unique<GbEncodeTable>();
  table->fill(0);
  constexpr std::size_t kBlock = 256;
  Text block(kBlock, u'\0');
  for (std::uint32_t base = 0; base < 0x10000; base += kBlock) {
    // Surrogates, paired or not, are looked at one unit at a time: a lone one
    // encodes as "?" or as a single raw byte, never as a GB2312 pair.
    if (base >= 0xD800 && base <= 0xDFFF) continue;
    for (std::size_t k = 0; k < kBlock; ++k) block[k] = static_cast<char16_t>(base + k);
    // One call per block. Code page 936 encodes each character on its own and
    // its codes are self-delimiting (a byte 81..FE opens a pair), so the output
    // splits back into one code per character; if the count does not come out
    // right, fall back to one call per character.
    const Bytes bytes = TextToCpBytes(block, kGbCodePage);
    std::array<std::uint16_t, kBlock> codes{};
    std::size_t found = 0;
    std::size_t i = 0;
    while (i < bytes.size() && found < kBlock) {
      const std::size_t len = (bytes[i] >= 0x81 && bytes[i] <= 0xFE && i + 1 < bytes.size()) ? 2 : 1;
      codes[found++] = GbCodeOf(BytesView(bytes.data() + i, len));
      i += len;
    }
    if (found == kBlock && i == bytes.size()) {
      for (std::size_t k = 0; k < kBlock; ++k) (*table)[base + k] = codes[k];
    } else {
      for (std::size_t k = 0; k < kBlock; ++k) {
        (*table)[base + k] = GbCodeOf(TextToCpBytes(TextView(block.data() + k, 1), kGbCodePage));
      }
    }
  }
  return table;
}

const GbEncodeTable& EncodeTable() {
  static const std::unique_ptr<GbEncodeTable> table = BuildEncodeTable();
  return *table;
}

// ---------------------------------------------------------------------------
// HZ line continuations.

// True when "~" CR LF, "~ " CR LF or "~" TAB CR LF occurs. If none does, none of
// the removal passes below can change anything.
[[nodiscard]] bool HasContinuation(TextView text) noexcept {
  for (std::size_t i = 1; i + 1 < text.size(); ++i) {
    if (text[i] != u'\r' || text[i + 1] != u'\n') continue;
    const char16_t before = text[i - 1];
    if (before == u'~') return true;
    if ((before == u' ' || before == u'\t') && i >= 2 && text[i - 2] == u'~') return true;
  }
  return false;
}

// Removes every line continuation of the form pattern ("~" ... CR LF), scanning
// once from left to right (text that closes up behind a removal is not looked at
// again in this pass). A "~" that is the second half of an escaped "~~" is a
// literal tilde, not a continuation: "~~" CR LF is a tilde and a line break.
void RemoveContinuations(Text& text, TextView pattern) {
  std::size_t next = text.find(pattern.data(), 0, pattern.size());
  if (next == Text::npos) return;
  char16_t* s = text.data();
  std::size_t r = 0;         // next character to read
  std::size_t w = 0;         // next position to write; never beyond r
  std::size_t trailing = 0;  // tildes at the end of what was written
  while (true) {
    const std::size_t end = next == Text::npos ? text.size() : next;
    std::memmove(s + w, s + r, (end - r) * sizeof(char16_t));
    std::size_t t = 0;
    while (t < end - r && s[w + end - r - 1 - t] == u'~') ++t;
    trailing = t == end - r ? trailing + t : t;
    w += end - r;
    if (next == Text::npos) break;
    if (trailing % 2 == 1) {  // the "~" closes an escaped pair: keep it
      s[w++] = u'~';
      ++trailing;
      r = next + 1;
    } else {
      r = next + pattern.size();
    }
    next = text.find(pattern.data(), r, pattern.size());
  }
  text.resize(w);
}

// Decodes eight alphabet characters (48 bits) into three UTF-16BE units. Returns
// false, writing nothing, if one of them is outside the alphabet.
inline bool DecodeEightToUnits(const char16_t* in, char16_t* out) noexcept {
  unsigned wide = 0;
  for (int k = 0; k < 8; ++k) wide |= in[k];
  if (wide >= 256) return false;
  // Two groups of three bytes, each with its first byte lowest.
  const std::uint32_t first = base64_detail::StandardGroup(in), second = base64_detail::StandardGroup(in + 4);
  if ((first | second) >= base64_detail::kNotInGroup) return false;
  out[0] = static_cast<char16_t>(((first & 0xFF) << 8) | ((first >> 8) & 0xFF));
  out[1] = static_cast<char16_t>(((first >> 8) & 0xFF00) | (second & 0xFF));
  out[2] = static_cast<char16_t>((second & 0xFF00) | ((second >> 16) & 0xFF));
  return true;
}

// The bytes of the last characters of a run, fewer than eight, all in the
// alphabet, as DecodeRun gives them: three per group of four, then one for a
// single character (its own value), one for two and two for three.
inline std::size_t DecodeTail(const char16_t* in, std::size_t count, std::uint8_t* out) noexcept {
  std::size_t o = 0;
  if (count >= 4) {
    std::uint32_t group = 0;
    for (int k = 0; k < 4; ++k) group = (group << 6) | static_cast<std::uint32_t>(base64_detail::kStandardValues[in[k]]);
    out[0] = static_cast<std::uint8_t>(group >> 16);
    out[1] = static_cast<std::uint8_t>(group >> 8);
    out[2] = static_cast<std::uint8_t>(group);
    o = 3;
    in += 4;
    count -= 4;
  }
  std::uint32_t acc = 0;
  for (std::size_t k = 0; k < count; ++k) acc = (acc << 6) | static_cast<std::uint32_t>(base64_detail::kStandardValues[in[k]]);
  return o + base64_detail::FinishRun(acc, static_cast<int>(count), out + o);
}

// Copies text up to the first "+" or the end, NULs as spaces; returns where
// it stopped. Four units are looked at together where they hold neither.
inline std::size_t CopyUpToPlus(const char16_t* in, std::size_t i, std::size_t n, char16_t*& o) noexcept {
  constexpr std::uint64_t kOnes = 0x0001000100010001ull, kHigh = 0x8000800080008000ull;
  constexpr std::uint64_t kPluses = 0x002B002B002B002Bull;
  char16_t* w = o;
  while (i + 4 <= n) {
    std::uint64_t four;
    std::memcpy(&four, in + i, 8);
    const std::uint64_t plus = four ^ kPluses;
    // A unit that is zero, or "+" (zero after the exclusive or), sets its high bit.
    if (((four - kOnes) & ~four & kHigh) | ((plus - kOnes) & ~plus & kHigh)) break;
    std::memcpy(w, in + i, 8);
    w += 4;
    i += 4;
  }
  for (; i < n && in[i] != u'+'; ++i) *w++ = in[i] == 0 ? u' ' : in[i];
  o = w;
  return i;
}

}  // namespace

void DecodeUtf7(Text& text) {
  if (text.empty()) return;
  try {
    char16_t* s = text.data();
    const std::size_t n = text.size();
    std::size_t r = 0;  // next character to read
    std::size_t w = 0;  // next position to write; never beyond r
    while (r < n) {
      const char16_t* found = std::char_traits<char16_t>::find(s + r, n - r, u'+');
      const std::size_t plus = found == nullptr ? n : static_cast<std::size_t>(found - s);
      if (plus + 1 >= n) {  // no "+", or "+" as the last character
        std::memmove(s + w, s + r, (n - r) * sizeof(char16_t));
        w += n - r;
        break;
      }
      std::memmove(s + w, s + r, (plus - r) * sizeof(char16_t));
      w += plus - r;
      // Whole blocks of eight characters give three units each and leave no bits
      // over, so decoding them first and the rest of the run afterwards gives the
      // same bytes as decoding the run at once. Units land behind what was read.
      std::size_t end = plus + 1;
      std::size_t units = 0;
      while (end + 8 <= n && DecodeEightToUnits(s + end, s + w + units)) {
        end += 8;
        units += 3;
      }
      const std::size_t rest_begin = end;
      while (end < n && base64_detail::StandardValue(s[end]) >= 0) ++end;
      const std::size_t run = end - plus - 1;
      if (run == 0) {  // "+-" is a plus; "+" before anything else stays a plus
        s[w++] = u'+';
        r = s[end] == u'-' ? end + 1 : end;
      } else if (run <= 2) {  // too short to be a run: kept as written
        std::memmove(s + w, s + plus, (run + 1) * sizeof(char16_t));
        w += run + 1;
        r = end;
      } else {
        // The rest goes as bytes to the storage of the output position, then each
        // byte pair becomes its big-endian unit in the same place; an odd byte and
        // leftover bits are lost.
        w += units;
        auto* raw = reinterpret_cast<std::uint8_t*>(s + w);
        const std::size_t bytes = base64_detail::DecodeRun(s + rest_begin, end - rest_begin, 0, false, raw);
        for (std::size_t k = 0; k < bytes / 2; ++k) {
          const auto unit = static_cast<char16_t>((raw[2 * k] << 8) | raw[2 * k + 1]);
          s[w + k] = unit;
        }
        w += bytes / 2;
        r = end < n && s[end] == u'-' ? end + 1 : end;
      }
    }
    text.resize(w);
    ReplaceNulBySpace(text);
  } catch (...) {
    text.clear();
  }
}

void DecodeHzGb(Text& text) {
  if (text.empty()) return;
  try {
    if (HasContinuation(text)) {
      RemoveContinuations(text, u"~\r\n");
      RemoveContinuations(text, u"~ \r\n");
      RemoveContinuations(text, u"~\t\r\n");
    }
    const GbDecodeTable& table = DecodeTable();
    constexpr int kNone = -1;
    char16_t* s = text.data();
    const std::size_t n = text.size();
    std::size_t w = 0;  // a pair writes at most two units after two were read
    bool gb = false;
    int previous = kNone;  // outside GB: the last character; inside: a pending first half
    for (std::size_t r = 0; r < n; ++r) {
      const char16_t c = s[r];
      if (gb) {
        if (c <= 0x20 || c > 0x7E) {
          gb = false;  // the section ends here; a pending half is dropped
          previous = kNone;
        } else if (previous == u'~' && c == u'}') {
          gb = false;
          previous = u'}';
          continue;
        } else if (previous != kNone) {
          const GbChars& chars = table[static_cast<std::size_t>((previous - 0x21) * kGbRows + (c - 0x21))];
          for (std::uint8_t k = 0; k < chars.count; ++k) s[w++] = chars.unit[k];
          previous = kNone;
          continue;
        } else {
          previous = c;
          continue;
        }
      }
      if (previous == u'~' && c == u'{') {
        --w;  // take back the "~" written just before
        gb = true;
        previous = kNone;
      } else if (previous == u'~' && c == u'~') {
        previous = kNone;
      } else {
        s[w++] = c;
        previous = c;
      }
    }
    text.resize(w);
    ReplaceNulBySpace(text);
  } catch (...) {
    text.clear();
  }
}

void EncodeHzGb(Text& text) {
  if (text.empty()) return;
  try {
    const GbEncodeTable& table = EncodeTable();
    // At most four characters per character ("~}~~" or "~{" and a pair), and a
    // closing "~}".
    Text out(4 * text.size() + 2, u'\0');
    char16_t* o = out.data();
    bool gb = false;
    for (const char16_t c : text) {
      const std::uint16_t code = table[c];
      if (code != 0) {
        if (!gb) {
          *o++ = u'~';
          *o++ = u'{';
          gb = true;
        }
        *o++ = static_cast<char16_t>((code >> 8) & 0x7F);
        *o++ = static_cast<char16_t>(code & 0x7F);
        continue;
      }
      if (gb) {
        *o++ = u'~';
        *o++ = u'}';
        gb = false;
      }
      *o++ = c;
      if (c == u'~') *o++ = u'~';
    }
    if (gb) {
      *o++ = u'~';
      *o++ = u'}';
    }
    out.resize(static_cast<std::size_t>(o - out.data()));
    text = std::move(out);
  } catch (...) {
    text.clear();
  }
}

// ---------------------------------------------------------------------------
// Streaming. The whole-text decoders as machines fed one character at a time,
// holding back only what the next characters decide: an unfinished UTF-7 run
// (its first two characters, its unfinished group and byte), and in HZ a
// continuation's beginning and a tilde that "~{" may take back.

void Utf7StreamDecoder::Byte(std::uint8_t byte) {
  if (odd_byte_ < 0) {
    odd_byte_ = byte;
  } else {
    Emit(static_cast<char16_t>((odd_byte_ << 8) | byte));
    odd_byte_ = -1;
  }
}

void Utf7StreamDecoder::Feed(int value) {
  acc_ = (acc_ << 6) | static_cast<std::uint32_t>(value);
  if (++pending_ < 4) return;
  Byte(static_cast<std::uint8_t>(acc_ >> 16));
  Byte(static_cast<std::uint8_t>(acc_ >> 8));
  Byte(static_cast<std::uint8_t>(acc_));
  acc_ = 0;
  pending_ = 0;
}

void Utf7StreamDecoder::EndRun() {
  if (count_ <= 2) {  // "+" alone, or too short to be a run: kept as written
    *o_++ = u'+';
    for (std::size_t k = 0; k < count_; ++k) *o_++ = first_[k];
  } else {
    std::uint8_t tail[2];
    const std::size_t n = base64_detail::FinishRun(acc_, pending_, tail);
    for (std::size_t k = 0; k < n; ++k) Byte(tail[k]);
  }
  in_run_ = false;
  count_ = 0;
  acc_ = 0;
  pending_ = 0;
  odd_byte_ = -1;  // an odd byte forms no unit
}

bool Utf7StreamDecoder::Decode(TextView chunk, bool last, Text& out) {
  try {
    const std::size_t n = chunk.size();
    const char16_t* const in = chunk.data();
    // Text gives a unit per character and a run three per eight, so a chunk
    // gives at most a unit per character, plus the "+" and the two
    // characters an earlier chunk held back: room for that is made once.
    const std::size_t at = out.size();
    out.resize(at + n + 8);
    o_ = out.data() + at;
    std::size_t i = 0;
    while (i < n) {
      if (!in_run_) {
        char16_t* o = o_;
        i = CopyUpToPlus(in, i, n, o);
        if (i == n) {
          o_ = o;
          break;
        }
        // A run: whole blocks of eight characters first, as the whole-text
        // decoder takes them, then the rest if the run ends in this chunk.
        const std::size_t from = ++i;
        for (; i + 8 <= n && DecodeEightToUnits(in + i, o); i += 8, o += 3) {
          for (int k = 0; k < 3; ++k) o[k] = o[k] == 0 ? u' ' : o[k];
        }
        std::size_t end = i;
        while (end < n && base64_detail::StandardValue(in[end]) >= 0) ++end;
        if (end == n) {  // it may go on in the next chunk: the single steps take it
          o_ = o;
          in_run_ = true;
          count_ = i - from;
          continue;
        }
        const std::size_t run = end - from;
        if (run <= 2) {  // "+" alone, or too short to be a run: kept as written
          *o++ = u'+';
          for (std::size_t k = from; k < end; ++k) *o++ = in[k];
        } else {
          // The last characters' bytes, paired into units; an odd byte and
          // leftover bits are lost.
          std::uint8_t bytes[8];
          const std::size_t count = DecodeTail(in + i, end - i, bytes);
          for (std::size_t k = 0; k + 1 < count; k += 2) {
            const auto unit = static_cast<char16_t>((bytes[k] << 8) | bytes[k + 1]);
            *o++ = unit == 0 ? u' ' : unit;
          }
        }
        o_ = o;
        // A "-" ending the run is absorbed after "+" alone and after a
        // decoded run, never after one or two characters.
        i = end + (in[end] == u'-' && run != 1 && run != 2 ? 1 : 0);
        continue;
      }
      // Eight characters of a run that decodes, or that begins with them,
      // give three whole units, as long as no bits or byte wait for more.
      if ((count_ == 0 || count_ >= 3) && pending_ == 0 && odd_byte_ < 0) {
        char16_t* o = o_;
        const std::size_t from = i;
        for (; i + 8 <= n && DecodeEightToUnits(in + i, o); i += 8, o += 3) {
          for (int k = 0; k < 3; ++k) o[k] = o[k] == 0 ? u' ' : o[k];
        }
        o_ = o;
        count_ += i - from;
      }
      // Whole groups of a run that decodes, four characters at a time.
      if (count_ >= 3 && pending_ == 0) {
        while (i + 4 <= n) {
          const int v0 = base64_detail::StandardValue(in[i]), v1 = base64_detail::StandardValue(in[i + 1]),
                    v2 = base64_detail::StandardValue(in[i + 2]), v3 = base64_detail::StandardValue(in[i + 3]);
          if ((v0 | v1 | v2 | v3) < 0) break;
          Feed(v0);
          Feed(v1);
          Feed(v2);
          Feed(v3);
          count_ += 4;
          i += 4;
        }
        if (i >= n) break;
      }
      const char16_t c = in[i];
      const int value = base64_detail::StandardValue(c);
      if (value >= 0) {
        if (count_ < 2) first_[count_] = c;
        if (++count_ == 3) {
          Feed(base64_detail::StandardValue(first_[0]));
          Feed(base64_detail::StandardValue(first_[1]));
        }
        if (count_ >= 3) Feed(value);
        ++i;
        continue;
      }
      // The character that ends the run: a "-" is absorbed after "+" alone
      // and after a decoded run, never after one or two characters.
      const bool absorb = c == u'-' && count_ != 1 && count_ != 2;
      EndRun();
      if (absorb) ++i;
    }
    if (last && in_run_) EndRun();
    out.resize(static_cast<std::size_t>(o_ - out.data()));
    return true;
  } catch (...) {
    return false;
  }
}

struct HzStreamDecoder::Machine {
  // One removal of a line continuation, as RemoveContinuations does it over
  // the whole text: held is how much of the pattern is matched, odd whether
  // an odd number of tildes ends what it passed on.
  struct Removal {
    TextView pattern;
    std::size_t held = 0;
    bool odd = false;
    bool odd_at_start = false;
  };
  Removal removals[3] = {{u"~\r\n"}, {u"~ \r\n"}, {u"~\t\r\n"}};
  const GbDecodeTable* table = &DecodeTable();
  bool gb = false;
  int previous = -1;  // outside GB the last character, inside a pending first half
  bool tilde_held = false;  // a "~" written outside GB that "~{" may take back
  // Where the next unit goes, in the room Decode made in its output.
  char16_t* o = nullptr;

  void Emit(char16_t c) { *o++ = c == 0 ? u' ' : c; }

  void Flush() {
    if (tilde_held) *o++ = u'~';
    tilde_held = false;
  }

  void Decode(char16_t c) {
    if (gb) {
      if (c <= 0x20 || c > 0x7E) {
        gb = false;  // the section ends here; a pending half is dropped
        previous = -1;
      } else if (previous == u'~' && c == u'}') {
        gb = false;
        previous = u'}';
        return;
      } else if (previous != -1) {
        const GbChars& chars = (*table)[static_cast<std::size_t>((previous - 0x21) * kGbRows + (c - 0x21))];
        for (std::uint8_t k = 0; k < chars.count; ++k) Emit(chars.unit[k]);
        previous = -1;
        return;
      } else {
        previous = c;
        return;
      }
    }
    if (previous == u'~' && c == u'{') {
      tilde_held = false;  // taken back
      gb = true;
      previous = -1;
      return;
    }
    if (previous == u'~' && c == u'~') {
      Flush();  // "~~" is one "~"
      previous = -1;
      return;
    }
    Flush();
    if (c == u'~') {
      tilde_held = true;
    } else {
      Emit(c);
    }
    previous = c;
  }

  void Pass(int level, char16_t c) {
    if (level == 3) {
      Decode(c);
      return;
    }
    Removal& r = removals[level];
    r.odd = c == u'~' ? !r.odd : false;
    Push(level + 1, c);
  }

  void Push(int level, char16_t c) {
    if (level == 3) {
      Decode(c);
      return;
    }
    Removal& r = removals[level];
    if (r.held > 0) {
      if (c == r.pattern[r.held]) {
        if (++r.held == r.pattern.size()) {
          r.held = 0;
          if (r.odd_at_start) {  // the "~" closes an escaped "~~": kept, as is the rest
            for (const char16_t kept : r.pattern) Pass(level, kept);
          }
        }
        return;
      }
      const std::size_t held = r.held;
      r.held = 0;
      for (std::size_t k = 0; k < held; ++k) Pass(level, r.pattern[k]);
    }
    if (c == u'~') {
      r.held = 1;
      r.odd_at_start = r.odd;
      return;
    }
    Pass(level, c);
  }

  bool Idle() const { return removals[0].held == 0 && removals[1].held == 0 && removals[2].held == 0; }

  void Finish() {
    for (int level = 0; level < 3; ++level) {
      Removal& r = removals[level];
      const std::size_t held = r.held;
      r.held = 0;
      for (std::size_t k = 0; k < held; ++k) Pass(level, r.pattern[k]);
    }
    Flush();
  }
};

HzStreamDecoder::HzStreamDecoder() : machine_(std::make_unique<Machine>()) {}
HzStreamDecoder::~HzStreamDecoder() = default;

namespace {

// A character that is half of a GB pair and nothing else: printable ASCII
// other than "~", which may begin a shift or a line continuation.
[[nodiscard]] inline bool PlainHalf(char16_t c) noexcept { return c >= 0x21 && c <= 0x7E && c != u'~'; }

// Text, shifts and whole pairs from in[i] on, where nothing is held back, up
// to anything else (a "~" that may begin a line continuation, a pair cut by
// the end, ...); returns where it stopped. A function of its own, so that
// its few values stay in registers.
[[gnu::noinline]] std::size_t DecodeHzText(const char16_t* in, std::size_t i, std::size_t n, const GbDecodeTable& table, bool& in_gb,
                         int& last, char16_t*& out) noexcept {
  bool gb = in_gb;
  int previous = last;
  char16_t* o = out;
  for (;;) {
    if (gb) {
      while (i + 1 < n && PlainHalf(in[i]) && PlainHalf(in[i + 1])) {
        const GbChars& chars = table[static_cast<std::size_t>((in[i] - 0x21) * kGbRows + (in[i + 1] - 0x21))];
        o[0] = chars.unit[0];
        o[1] = chars.unit[1];
        o += chars.count;
        i += 2;
      }
      if (i + 1 < n && in[i] == u'~' && in[i + 1] == u'}') {
        gb = false;
        previous = u'}';
        i += 2;
        continue;
      }
      if (i < n && (in[i] <= 0x20 || in[i] > 0x7E)) {
        gb = false;  // ends the section and is text itself
        continue;
      }
      break;
    }
    const std::size_t run = i;
    for (; i < n && in[i] != u'~'; ++i) *o++ = in[i] == 0 ? u' ' : in[i];
    if (i > run) previous = in[i - 1];
    if (i + 1 < n && in[i + 1] == u'{') {  // in[i] is "~"
      gb = true;
      previous = -1;
      i += 2;
      continue;
    }
    break;
  }
  in_gb = gb;
  last = previous;
  out = o;
  return i;
}

}  // namespace

bool HzStreamDecoder::Decode(TextView chunk, bool last, Text& out) {
  try {
    Machine& m = *machine_;
    const std::size_t n = chunk.size();
    const char16_t* const in = chunk.data();
    // A chunk gives at most one unit per character (a pair gives one or two),
    // plus the few characters earlier chunks held back; the units are written
    // into room made once, which grows should the single steps ever need more.
    constexpr std::size_t kSlack = 32;
    const std::size_t at = out.size();
    out.resize(at + n + kSlack);
    m.o = out.data() + at;
    auto room_for = [&](std::size_t units) {
      const auto written = static_cast<std::size_t>(m.o - out.data());
      if (out.size() - written < units) {
        out.resize(written + units);
        m.o = out.data() + written;
      }
    };
    const GbDecodeTable& table = *m.table;
    std::size_t i = 0;
    while (i < n) {
      if (!m.tilde_held && m.Idle() && (!m.gb || m.previous == -1)) {
        // Nothing is held back: text, shifts and whole pairs go without the
        // single steps, up to anything else (a "~" that may begin a line
        // continuation, a pair cut by the chunk's end, ...). None of them
        // passes a "~" on to the removals other than in a shift, after
        // which no tilde is pending, so they all stand as after a non-tilde.
        bool gb = m.gb;
        int previous = m.previous;
        char16_t* o = m.o;
        const std::size_t from = i;
        i = DecodeHzText(in, i, n, table, gb, previous, o);
        m.gb = gb;
        m.previous = previous;
        m.o = o;
        if (i > from) {
          for (auto& r : m.removals) r.odd = false;
          continue;
        }
      }
      room_for(n - i + kSlack);
      m.Push(0, in[i++]);
    }
    if (last) {
      room_for(kSlack);
      m.Finish();
    }
    out.resize(static_cast<std::size_t>(m.o - out.data()));
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace mok
