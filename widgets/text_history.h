#pragma once

// The undo history of the main text: one original state and a ring of up to
// eight later states, each with its status line and recorded selection. Plain
// C++ with no widget in sight, so the window only moves text in and out.

#include <array>
#include <cstdint>

#include "codec/text_types.h"

namespace mok {

struct HistoryState {
  Text text;
  Text say;
  std::int32_t sel_start = 0;
  std::int32_t sel_length = 0;
};

class TextHistory {
 public:
  // Slot of the original state; slots 0..7 form the ring of later states.
  static constexpr std::int16_t kOriginal = 8;
  static constexpr std::int16_t kRingSize = 8;
  // No slot holds the text that is on disk.
  static constexpr std::int16_t kNoSavedSlot = -1;

  // Only the empty original exists, and it counts as saved.
  TextHistory();

  // Commits the text of the box after a command changed it. The text is
  // compared with the current state with NULs read as spaces; when it differs
  // it becomes a new state (stored with NULs as spaces) carrying `status`, all
  // redo states are dropped, and true is returned. When it is the same,
  // `status` is replaced by "经过改动，仍然相同" and false is returned. If the
  // copy cannot be allocated nothing is recorded, `status` stays and false is
  // returned.
  [[nodiscard]] bool Commit(TextView text, Text& status);

  // The current state takes the selection the box had when the command ended.
  void RememberSelection(std::int32_t sel_start, std::int32_t sel_length);

  // The status line that describes the caret: "位于 p  选取 n", and when some
  // text is selected a second line with the first selected code unit, its
  // UTF-16 value and its GBK code. A code unit that GBK cannot represent (a
  // lone surrogate included) gets no GBK code.
  [[nodiscard]] static Text PositionLine(std::int32_t sel_start, std::int32_t sel_length,
                                         char16_t first_selected);

  // Makes `text` (as is, NULs kept) the original state and forgets every later
  // state. The saved slot is the caller's business and is left alone.
  void SetOriginal(TextView text, TextView status, std::int32_t sel_start,
                   std::int32_t sel_length);

  // Moves through the history: 0 to the original, 1 undo, 2 redo, 3 to the
  // newest state. Returns false when there is nowhere to go (or the index is
  // not one of these), true when the current state must be shown.
  [[nodiscard]] bool Step(int index);

  [[nodiscard]] const HistoryState& Current() const { return states_[cur_]; }
  // Back to the original and undo are possible.
  [[nodiscard]] bool CanGoBack() const { return cur_ < kOriginal; }
  // Redo and to the newest are possible.
  [[nodiscard]] bool CanGoForward() const { return cur_ != newest_; }
  // The current state is the text on disk (or the untouched original).
  [[nodiscard]] bool IsSaved() const { return cur_ == saved_; }

  void MarkCurrentSaved() { saved_ = cur_; }
  void MarkOriginalSaved() { saved_ = kOriginal; }
  void MarkNothingSaved() { saved_ = kNoSavedSlot; }

  [[nodiscard]] std::int16_t nCur() const { return cur_; }
  [[nodiscard]] std::int16_t nNewest() const { return newest_; }
  [[nodiscard]] std::int16_t nOldest() const { return oldest_; }
  [[nodiscard]] std::int16_t nSaved() const { return saved_; }

 private:
  static std::int16_t Next(std::int16_t slot) {
    return static_cast<std::int16_t>((slot + 1) % kRingSize);
  }
  static std::int16_t Previous(std::int16_t slot) {
    return static_cast<std::int16_t>((slot + kRingSize - 1) % kRingSize);
  }

  std::array<HistoryState, kOriginal + 1> states_;
  std::int16_t cur_ = kOriginal;
  std::int16_t newest_ = kOriginal;
  std::int16_t oldest_ = 0;
  std::int16_t saved_ = kOriginal;
};

}  // namespace mok
