#include "widgets/text_box.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyle>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QWheelEvent>

#include <algorithm>

namespace mok {
namespace {

constexpr char16_t kCr = u'\r';
constexpr char16_t kLf = u'\n';
constexpr char16_t kParagraph = 0x2029;

bool IsHighSurrogate(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLowSurrogate(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// What the editor shows for one code unit that is not part of a line break.
char16_t StandIn(char16_t unit) {
  if (unit < 0x20 && unit != u'\t') return static_cast<char16_t>(0x2400 + unit);  // control pictures
  if (unit == 0x7F) return 0x2421;
  // Characters the editor's document reserves for itself.
  if (unit == 0xFDD0 || unit == 0xFDD1 || unit == 0xFFFC) return 0xFFFD;
  return unit;
}

// Text as the box stores it: a lone CR is a line break and is stored as CR LF.
Text StoredForm(TextView replacement) {
  Text stored;
  stored.reserve(replacement.size() + 16);
  for (std::size_t i = 0; i < replacement.size(); ++i) {
    stored.push_back(replacement[i]);
    if (replacement[i] == kCr && (i + 1 >= replacement.size() || replacement[i + 1] != kLf)) stored.push_back(kLf);
  }
  return stored;
}

}  // namespace

std::int32_t ScaleLengthOf(TextView text) {
  std::size_t breaks = 0;
  for (std::size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] == kCr && text[i + 1] == kLf) {
      ++breaks;
      ++i;
    }
  }
  return static_cast<std::int32_t>(text.size() - breaks);
}

QString DisplayTextOf(TextView text, std::int32_t* scale_length) {
  QString display(static_cast<qsizetype>(text.size()), Qt::Uninitialized);
  QChar* out = display.data();
  qsizetype n = 0;
  const std::size_t size = text.size();
  for (std::size_t i = 0; i < size; ++i) {
    const char16_t u = text[i];
    if (u == kCr) {
      if (i + 1 < size && text[i + 1] == kLf) ++i;
      out[n++] = QChar(kParagraph);
    } else if (u == kLf) {
      out[n++] = QChar(kParagraph);
    } else if (IsHighSurrogate(u)) {
      if (i + 1 < size && IsLowSurrogate(text[i + 1])) {
        out[n++] = QChar(u);
        out[n++] = QChar(text[++i]);
      } else {
        out[n++] = QChar(0xFFFD);
      }
    } else if (IsLowSurrogate(u)) {
      out[n++] = QChar(0xFFFD);
    } else {
      out[n++] = QChar(StandIn(u));
    }
  }
  display.truncate(n);
  if (scale_length != nullptr) *scale_length = static_cast<std::int32_t>(n);
  return display;
}

TextBox::TextBox(QWidget* parent) : QPlainTextEdit(parent) {
  setUndoRedoEnabled(false);
  SetLocked(true);
  setLineWrapMode(QPlainTextEdit::WidgetWidth);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  // Qt lays the scroll area out again, queued, after every change of a scroll
  // bar's range, to show or hide the bar. Both bars are always shown here (unless
  // the style overlays them), so those passes, a dozen after a command changes
  // a long text, only repaint the bars once more after the text is painted.
  if (!style()->styleHint(QStyle::SH_ScrollBar_Transient, nullptr, verticalScrollBar())) {
    for (QScrollBar* bar : {horizontalScrollBar(), verticalScrollBar()}) {
      disconnect(bar, &QScrollBar::rangeChanged, this, nullptr);
    }
  }
  setCenterOnScroll(false);
  // Keep a found string visibly selected while a dialog has the focus.
  QPalette colours = palette();
  colours.setColor(QPalette::Base, QColor(232, 232, 232));
  colours.setColor(QPalette::Text, Qt::black);
  colours.setColor(QPalette::Inactive, QPalette::Highlight, colours.color(QPalette::Active, QPalette::Highlight));
  colours.setColor(QPalette::Inactive, QPalette::HighlightedText,
                   colours.color(QPalette::Active, QPalette::HighlightedText));
  setPalette(colours);
}

void TextBox::SetLocked(bool locked) {
  locked_ = locked;
  // Locked or not, the user never types into the box: every change of the text
  // goes through a command so it can be committed to the history.
  setReadOnly(true);
  setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
}

bool TextBox::CanPaste() const {
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  return data != nullptr && data->hasText();
}

void TextBox::SetText(TextView text) {
  text_.assign(text);
  changing_view_ = true;
  // Replacing everything in place, not setPlainText: that one leaves work for
  // the event loop that costs as much as painting the window again.
  QTextCursor all(document());
  all.select(QTextCursor::Document);
  all.insertText(DisplayTextOf(text_, &scale_length_));
  QTextCursor start(document());
  setTextCursor(start);
  changing_view_ = false;
}

std::int32_t TextBox::SelStart() const {
  const QTextCursor cursor = textCursor();
  return static_cast<std::int32_t>(std::min(cursor.anchor(), cursor.position()));
}

std::int32_t TextBox::SelLength() const {
  const QTextCursor cursor = textCursor();
  return static_cast<std::int32_t>(std::abs(cursor.position() - cursor.anchor()));
}

void TextBox::SetSelStart(std::int32_t start) {
  QTextCursor cursor = textCursor();
  cursor.setPosition(std::clamp(start, 0, scale_length_));
  setTextCursor(cursor);
}

void TextBox::SetSelLength(std::int32_t length) {
  const std::int32_t start = SelStart();
  QTextCursor cursor = textCursor();
  cursor.setPosition(start);
  cursor.setPosition(std::clamp(start + std::max(length, 0), start, scale_length_), QTextCursor::KeepAnchor);
  setTextCursor(cursor);
}

std::size_t UnitIndexOf(TextView text, std::int32_t scale_position) {
  std::size_t index = 0;
  for (std::int32_t step = 0; step < scale_position && index < text.size(); ++step) {
    if (text[index] == kCr && index + 1 < text.size() && text[index + 1] == kLf) {
      index += 2;
    } else {
      index += 1;
    }
  }
  return index;
}

std::size_t TextBox::TextIndexOf(std::int32_t scale_position) const { return UnitIndexOf(text_, scale_position); }

Text TextBox::SelText() const {
  const std::size_t begin = TextIndexOf(SelStart());
  const std::size_t end = TextIndexOf(SelStart() + SelLength());
  Text selected;
  selected.reserve(end - begin);
  for (std::size_t i = begin; i < end; ++i) {
    selected.push_back(text_[i]);
    if (text_[i] == kCr && i + 1 < end && text_[i + 1] == kLf) ++i;  // a line break reads as one CR
  }
  return selected;
}

std::size_t TextBox::LengthWithSelectionReplaced(TextView replacement) const {
  const std::size_t begin = TextIndexOf(SelStart());
  const std::size_t end = TextIndexOf(SelStart() + SelLength());
  return text_.size() - (end - begin) + StoredForm(replacement).size();
}

Text TextBox::SelUnits() const {
  const std::size_t begin = TextIndexOf(SelStart());
  const std::size_t end = TextIndexOf(SelStart() + SelLength());
  return text_.substr(begin, end - begin);
}

void TextBox::SetSelText(TextView replacement, bool select_inserted) {
  SetSelUnits(StoredForm(replacement), select_inserted);
}

void TextBox::SetSelUnits(TextView units, bool select_inserted) {
  const std::int32_t start = SelStart();
  const std::size_t begin = TextIndexOf(start);
  const std::size_t end = TextIndexOf(start + SelLength());

  // Whatever does not fit under MaxLength is left out, never half a line break
  // or half a surrogate pair.
  TextView inserted = units;
  const std::size_t kept = text_.size() - (end - begin);
  if (max_length_ > 0) {
    const std::size_t room = kept >= static_cast<std::size_t>(max_length_) ? 0 : max_length_ - kept;
    if (inserted.size() > room) {
      std::size_t cut = room;
      if (cut > 0 && inserted[cut - 1] == kCr && inserted[cut] == kLf) --cut;
      if (cut > 0 && IsHighSurrogate(inserted[cut - 1]) && IsLowSurrogate(inserted[cut])) --cut;
      inserted = inserted.substr(0, cut);
    }
  }

  text_.replace(begin, end - begin, inserted);
  scale_length_ = ScaleLengthOf(text_);
  // Where the inserted units start and end in the new text. An LF inserted
  // right after a lone CR (or a CR right before a lone LF) joins it into one
  // line break, so these are counted in the new text, not added up.
  const TextView joined(text_);
  const std::int32_t caret = ScaleLengthOf(joined.substr(0, begin + inserted.size()));
  const std::int32_t first = std::min(ScaleLengthOf(joined.substr(0, begin)), caret);
  changing_view_ = true;
  QTextCursor cursor = textCursor();
  cursor.insertText(DisplayTextOf(inserted));
  changing_view_ = false;
  // The document may join the stand-ins differently at the seams; rebuild when
  // the scale does not add up, so positions and text never disagree.
  if (document()->characterCount() - 1 != scale_length_) {
    RebuildView(caret);
    cursor = textCursor();
  }
  // One move of the editor's cursor, ending at the start when the inserted text
  // is selected: the view does not scroll to the end of a long insertion and back.
  cursor.setPosition(caret);
  if (select_inserted) cursor.setPosition(first, QTextCursor::KeepAnchor);
  setTextCursor(cursor);
}

void TextBox::RebuildView(std::int32_t caret) {
  changing_view_ = true;
  setPlainText(DisplayTextOf(text_, &scale_length_));
  QTextCursor cursor = textCursor();
  cursor.setPosition(std::clamp(caret, 0, scale_length_));
  setTextCursor(cursor);
  changing_view_ = false;
}

void TextBox::AllowTyping(std::int32_t limit) {
  typing_limit_ = limit;
  locked_ = false;
  setReadOnly(false);
  setTextInteractionFlags(Qt::TextEditorInteraction);
  connect(document(), &QTextDocument::contentsChange, this, &TextBox::MirrorViewChange);
}

std::int32_t TextBox::TypingRoom() const {
  return std::max(0, typing_limit_ - (scale_length_ - SelLength()));
}

void TextBox::MirrorViewChange(int position, int removed, int added) {
  if (changing_view_ || typing_limit_ < 0) return;
  // The document may report more than what changed (and its final block
  // separator); only the part that differs from what was shown is new.
  const std::int32_t view_end = document()->characterCount() - 1;
  const std::int32_t old_end = std::min(position + removed, scale_length_);
  const std::int32_t new_end = std::min(position + added, view_end);
  const std::size_t begin = TextIndexOf(position);
  const std::size_t end = TextIndexOf(old_end);
  const TextView old_units = TextView(text_).substr(begin, end - begin);
  const QString old_shown = DisplayTextOf(old_units);
  QTextCursor range(document());
  range.setPosition(std::clamp(position, 0, view_end));
  range.setPosition(std::clamp(new_end, 0, view_end), QTextCursor::KeepAnchor);
  const QString shown = range.selectedText();

  qsizetype same_front = 0;
  while (same_front < old_shown.size() && same_front < shown.size() && old_shown[same_front] == shown[same_front]) {
    ++same_front;
  }
  qsizetype same_back = 0;
  while (same_back < old_shown.size() - same_front && same_back < shown.size() - same_front &&
         old_shown[old_shown.size() - 1 - same_back] == shown[shown.size() - 1 - same_back]) {
    ++same_back;
  }
  // Keep the old code units of what still shows the same; what the user added
  // is taken as shown, with a typed line break stored as CR LF.
  const std::size_t keep_front = UnitIndexOf(old_units, static_cast<std::int32_t>(same_front));
  const std::size_t keep_back =
      old_units.size() - UnitIndexOf(old_units, static_cast<std::int32_t>(old_shown.size() - same_back));
  Text typed;
  for (qsizetype i = same_front; i < shown.size() - same_back; ++i) {
    const char16_t unit = shown[i].unicode();
    if (unit == kParagraph || unit == 0x2028) {
      typed += u"\r\n";
    } else {
      typed.push_back(unit);
    }
  }
  text_.replace(begin + keep_front, old_units.size() - keep_front - keep_back, typed);
  scale_length_ = ScaleLengthOf(text_);
  // Deleting what stood between a lone CR and a lone LF joins them into one
  // line break: show the text afresh so positions and text agree.
  if (view_end != scale_length_) RebuildView(textCursor().position());
}

bool TextBox::WordWrap() const { return lineWrapMode() != QPlainTextEdit::NoWrap; }

void TextBox::SetWordWrap(bool wrap) {
  setLineWrapMode(wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
}

QString TextBox::FontName() const { return font().family(); }

void TextBox::SetFontName(const QString& name) {
  QFont f = font();
  f.setFamily(name);
  setFont(f);
}

double TextBox::FontSize() const { return font().pointSizeF(); }

void TextBox::SetFontSize(double points) {
  if (!(points > 0)) return;
  QFont f = font();
  f.setPointSizeF(points);
  setFont(f);
}

void TextBox::keyPressEvent(QKeyEvent* event) {
  // The modifiers a key's command is judged by are those held when it went
  // down: releasing Ctrl a moment before the letter still gives Ctrl+ on the
  // letter's release. A repeat keeps what the first press found.
  if (!event->isAutoRepeat()) pressed_with_[event->key()] = event->modifiers();
  // Function keys are commands, handled on release; everything else moves the
  // caret or selects as usual (typing is refused by the read-only editor).
  if (event->key() >= Qt::Key_F1 && event->key() <= Qt::Key_F35) {
    event->accept();
    return;
  }
  // Where typing is allowed, a key that would add a character past the limit adds nothing.
  const bool adds = !event->text().isEmpty() && (event->text()[0].isPrint() || event->text()[0] == u'\r' ||
                                                 event->text()[0] == u'\t');
  if (typing_limit_ >= 0 && adds && !(event->modifiers() & Qt::ControlModifier) &&
      TypingRoom() < event->text().size()) {
    event->accept();
    return;
  }
  QPlainTextEdit::keyPressEvent(event);
}

void TextBox::inputMethodEvent(QInputMethodEvent* event) {
  if (typing_limit_ >= 0 && event->commitString().size() > TypingRoom()) {
    event->setCommitString(event->commitString().left(TypingRoom()));
  }
  QPlainTextEdit::inputMethodEvent(event);
}

void TextBox::insertFromMimeData(const QMimeData* source) {
  if (typing_limit_ < 0 || source == nullptr || !source->hasText()) return;
  // Pasted text goes in exactly as the clipboard holds it, as far as there is room.
  const QString pasted = source->text();
  const TextView units(reinterpret_cast<const char16_t*>(pasted.utf16()), static_cast<std::size_t>(pasted.size()));
  std::size_t cut = UnitIndexOf(units, TypingRoom());
  if (cut > 0 && cut < units.size() && IsHighSurrogate(units[cut - 1]) && IsLowSurrogate(units[cut])) --cut;
  SetSelUnits(units.substr(0, cut));
}

void TextBox::wheelEvent(QWheelEvent* event) {
  if (event->modifiers() & Qt::ControlModifier) {
    QAbstractScrollArea::wheelEvent(event);
    return;
  }
  QPlainTextEdit::wheelEvent(event);
}

void TextBox::keyReleaseEvent(QKeyEvent* event) {
  QPlainTextEdit::keyReleaseEvent(event);
  if (event->isAutoRepeat()) return;
  // A key that went down elsewhere (in a dialog that has just closed) is
  // judged by the modifiers of its release.
  Qt::KeyboardModifiers modifiers = event->modifiers();
  if (const auto pressed = pressed_with_.find(event->key()); pressed != pressed_with_.end()) {
    modifiers = pressed->second;
    pressed_with_.erase(pressed);
  }
  emit KeyReleased(event->key(), modifiers);
}

void TextBox::focusOutEvent(QFocusEvent* event) {
  // A key still down now is released elsewhere.
  pressed_with_.clear();
  QPlainTextEdit::focusOutEvent(event);
}

void TextBox::mouseReleaseEvent(QMouseEvent* event) {
  QPlainTextEdit::mouseReleaseEvent(event);
  emit MouseReleased(event->button(), event->globalPosition().toPoint());
}

QMimeData* TextBox::createMimeDataFromSelection() const {
  const std::size_t begin = TextIndexOf(SelStart());
  const std::size_t end = TextIndexOf(SelStart() + SelLength());
  auto* data = new QMimeData;
  data->setText(QString(reinterpret_cast<const QChar*>(text_.data() + begin), static_cast<qsizetype>(end - begin)));
  return data;
}

void TextBox::contextMenuEvent(QContextMenuEvent* event) {
  // The right button shows the window's edit menu (on release), not the editor's own.
  event->accept();
}

}  // namespace mok
