#pragma once

// The main text box: a locked Qt plain-text editor that keeps the text box
// contract the commands rely on.
//
// The editor only shows the text. The text itself is kept here exactly as a
// command put it in: CR LF line breaks, lone CR, lone LF, NULs, unpaired
// surrogates and every other code unit come back unchanged from Text(). The view
// shows each code unit (and each CR LF pair) as one character, with visible
// stand-ins for controls and unpaired surrogates, so a position in the editor is
// exactly a position in the scale where a line break counts one.

#include <QPlainTextEdit>

#include <unordered_map>

#include "codec/text_types.h"

namespace mok {

class TextBox : public QPlainTextEdit {
  Q_OBJECT

 public:
  static constexpr int kTextLimit = 16000;

  explicit TextBox(QWidget* parent = nullptr);

  // The whole text; line breaks are CR LF; a line break counts two.
  [[nodiscard]] const Text& GetText() const { return text_; }
  void SetText(TextView text);
  [[nodiscard]] std::int32_t TextLength() const { return static_cast<std::int32_t>(text_.size()); }

  // Selection in the scale where a line break counts one.
  [[nodiscard]] std::int32_t SelStart() const;
  [[nodiscard]] std::int32_t SelLength() const;
  // Moves the caret (clamped to the end); the selection becomes empty.
  void SetSelStart(std::int32_t start);
  // Selects this many characters from SelStart (clamped to the end).
  void SetSelLength(std::int32_t length);
  // The selected text with each line break as a single CR.
  [[nodiscard]] Text SelText() const;
  // Replaces the selection and puts the caret after the inserted text, or with
  // select_inserted selects the inserted text (in one move of the view, which
  // on a long text costs a layout pass each). A CR not followed by LF is a line
  // break and is stored as CR LF. What does not fit under MaxLength is left out.
  void SetSelText(TextView replacement, bool select_inserted = false);
  // The length Text() would have if SetSelText(replacement) had room for all of it.
  [[nodiscard]] std::size_t LengthWithSelectionReplaced(TextView replacement) const;
  // The selected code units exactly as held (CR LF line breaks, lone CR and LF,
  // NULs and unpaired surrogates as they are).
  [[nodiscard]] Text SelUnits() const;
  // Replaces the selection with exactly these code units and puts the caret
  // after them, or with select_inserted selects what was inserted (the view
  // keeps its start in sight). What does not fit under MaxLength is left out.
  void SetSelUnits(TextView units, bool select_inserted = false);

  // The clipboard holds text the box could paste (any text, empty or not).
  [[nodiscard]] bool CanPaste() const;

  [[nodiscard]] bool Locked() const { return locked_; }
  void SetLocked(bool locked);
  [[nodiscard]] std::int32_t MaxLength() const { return max_length_; }
  void SetMaxLength(std::int32_t length) { max_length_ = length; }

  [[nodiscard]] bool WordWrap() const;
  void SetWordWrap(bool wrap);
  [[nodiscard]] QString FontName() const;
  void SetFontName(const QString& name);
  [[nodiscard]] double FontSize() const;
  void SetFontSize(double points);

  // The length of the text in the scale where a line break counts one.
  [[nodiscard]] std::int32_t ScaleLength() const { return scale_length_; }
  // Index in Text() of a position in the line-break-counts-one scale.
  [[nodiscard]] std::size_t TextIndexOf(std::int32_t scale_position) const;

  // Lets the user type, paste, cut and delete (the input dialog's box). Every
  // change of the view is carried into the text, and what the user adds is cut
  // so that the text stays within `limit` positions (a line break counts one).
  void AllowTyping(std::int32_t limit);

 signals:
  // A key released, once per release (not for auto-repeat), with the modifiers
  // that were held when it went down.
  void KeyReleased(int key, Qt::KeyboardModifiers modifiers);
  void MouseReleased(Qt::MouseButton button, QPoint global_position);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  // The font size belongs to the view menu: Ctrl with the wheel scrolls instead
  // of zooming.
  void wheelEvent(QWheelEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;
  void insertFromMimeData(const QMimeData* source) override;
  // Copying or dragging the selection gives the text itself (CR LF line
  // breaks, every code unit as it is), not the view's stand-ins.
  QMimeData* createMimeDataFromSelection() const override;

 private:
  // Carries a change the user made in the view into text_.
  void MirrorViewChange(int position, int removed, int added);
  // Positions the user may still add while typing.
  [[nodiscard]] std::int32_t TypingRoom() const;
  // The view shows text_ again from scratch, the caret at this position.
  void RebuildView(std::int32_t caret);

  Text text_;
  std::int32_t scale_length_ = 0;
  std::int32_t max_length_ = 0;
  std::int32_t typing_limit_ = -1;  // -1: the user cannot type
  bool changing_view_ = false;      // the view is being changed from text_, not by the user
  bool locked_ = true;
  // The modifiers held when each key now down went down.
  std::unordered_map<int, Qt::KeyboardModifiers> pressed_with_;
};

// Length of a text in the scale where a CR LF pair counts one.
[[nodiscard]] std::int32_t ScaleLengthOf(TextView text);

// Index in text of a position in the scale where a CR LF pair counts one
// (the size of the text for a position at or past its end).
[[nodiscard]] std::size_t UnitIndexOf(TextView text, std::int32_t scale_position);

// The editor's view of a text: one display character per code unit, CR LF pairs
// as one paragraph break. Exposed for tests.
[[nodiscard]] QString DisplayTextOf(TextView text, std::int32_t* scale_length = nullptr);

}  // namespace mok
