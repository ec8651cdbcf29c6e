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

 signals:
  void KeyReleased(int key, Qt::KeyboardModifiers modifiers);
  void MouseReleased(Qt::MouseButton button, QPoint global_position);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  // Copying or dragging the selection gives the text itself (CR LF line
  // breaks, every code unit as it is), not the view's stand-ins.
  QMimeData* createMimeDataFromSelection() const override;

 private:
  Text text_;
  std::int32_t scale_length_ = 0;
  std::int32_t max_length_ = 0;
  bool locked_ = true;
};

// Length of a text in the scale where a CR LF pair counts one.
[[nodiscard]] std::int32_t ScaleLengthOf(TextView text);

// The editor's view of a text: one display character per code unit, CR LF pairs
// as one paragraph break. Exposed for tests.
[[nodiscard]] QString DisplayTextOf(TextView text, std::int32_t* scale_length = nullptr);

}  // namespace mok
