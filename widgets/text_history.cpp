#include "widgets/text_history.h"

#include <new>
#include <string>

#include "codec/conversion_core.h"

namespace mok {

namespace {

constexpr std::int32_t kGbkCodePage = 936;

// The history stores and compares a NUL as a space, so a NUL where the state
// has a space is no change.
bool SameAsStored(TextView text, const Text& stored) {
  if (text.size() != stored.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i] == 0 ? u' ' : text[i];
    if (c != stored[i]) return false;
  }
  return true;
}

void AppendHex(Text& out, unsigned value, int digits) {
  static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
  for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) {
    out.push_back(kDigits[(value >> shift) & 0xF]);
  }
}

void AppendDecimal(Text& out, std::int32_t value) {
  for (const char c : std::to_string(value)) out.push_back(static_cast<char16_t>(c));
}

// The GBK code of one code unit as hex digits, or nothing when GBK has no
// code for it. Surrogates are never characters on their own: the converter
// would hand a malformed-byte surrogate back as its raw byte, which is no
// GBK code of anything.
void AppendGbkCode(Text& out, char16_t c) {
  if (c >= 0xD800 && c <= 0xDFFF) return;
  const Bytes bytes = TextToCpBytes(TextView(&c, 1), kGbkCodePage);
  if (bytes.size() == 1) {
    if (bytes[0] == '?' && c != u'?') return;
    AppendHex(out, bytes[0], 2);
  } else if (bytes.size() == 2) {
    AppendHex(out, (unsigned{bytes[0]} << 8) | bytes[1], 4);
  }
}

}  // namespace

TextHistory::TextHistory() = default;

bool TextHistory::Commit(TextView text, Text& status) {
  if (SameAsStored(text, states_[cur_].text)) {
    status = u"经过改动，仍然相同";
    return false;
  }
  // The copies are made before anything changes, so a failed allocation
  // leaves the history exactly as it was. The new slot is never the current
  // one, whose text was just compared.
  Text stored;
  Text say;
  try {
    stored.assign(text);
    say.assign(status);
  } catch (const std::bad_alloc&) {
    return false;
  }
  ReplaceNulBySpace(stored);
  const std::int16_t slot = cur_ == kOriginal ? oldest_ : Next(cur_);
  HistoryState& state = states_[slot];
  state.text.swap(stored);
  state.say.swap(say);
  state.sel_start = 0;
  state.sel_length = 0;

  // From the original the ring restarts at the oldest slot; otherwise a step
  // onto the oldest slot overwrites that state.
  if (cur_ != kOriginal && slot == oldest_) oldest_ = Next(oldest_);
  cur_ = slot;
  newest_ = slot;
  if (saved_ == slot) saved_ = kNoSavedSlot;
  return true;
}

void TextHistory::RememberSelection(std::int32_t sel_start, std::int32_t sel_length) {
  states_[cur_].sel_start = sel_start;
  states_[cur_].sel_length = sel_length;
}

Text TextHistory::PositionLine(std::int32_t sel_start, std::int32_t sel_length,
                               char16_t first_selected) {
  Text line;
  line.reserve(48);
  line += u"位于 ";
  AppendDecimal(line, sel_start);
  line += u"  选取 ";
  AppendDecimal(line, sel_length);
  if (sel_length > 0) {
    line += u"\r\n[";
    // A control character would break the line or vanish; show a space.
    line.push_back(first_selected < 32 ? u' ' : first_selected);
    line += u"] UBE= ";
    AppendHex(line, first_selected, 4);
    line += u"  GBK= ";
    AppendGbkCode(line, first_selected);
  }
  return line;
}

void TextHistory::SetOriginal(TextView text, TextView status, std::int32_t sel_start,
                              std::int32_t sel_length) {
  Text stored;
  Text say;
  try {
    stored.assign(text);
    say.assign(status);
  } catch (const std::bad_alloc&) {
    // Cannot happen for texts the box accepts; an empty original still
    // leaves a consistent history.
    stored.clear();
    say.clear();
  }
  cur_ = kOriginal;
  newest_ = kOriginal;
  // Release the buffers: later commits bring their own.
  for (HistoryState& state : states_) {
    Text().swap(state.text);
    Text().swap(state.say);
  }
  HistoryState& original = states_[kOriginal];
  original.text.swap(stored);
  original.say.swap(say);
  original.sel_start = sel_start;
  original.sel_length = sel_length;
}

bool TextHistory::Step(int index) {
  switch (index) {
    case 0:
      if (cur_ == kOriginal) return false;
      cur_ = kOriginal;
      return true;
    case 1:
      if (cur_ == kOriginal) return false;
      cur_ = cur_ == oldest_ ? kOriginal : Previous(cur_);
      return true;
    case 2:
      if (cur_ == newest_) return false;
      cur_ = cur_ == kOriginal ? oldest_ : Next(cur_);
      return true;
    case 3:
      if (cur_ == newest_) return false;
      cur_ = newest_;
      return true;
    default:
      return false;
  }
}

}  // namespace mok
