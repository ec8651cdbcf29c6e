#include "app/text_box.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyle>
#include <QTextBlock>
#include <QTextCursor>

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

void TextBox::SetText(TextView text) {
  text_.assign(text);
  setPlainText(DisplayTextOf(text_, &scale_length_));
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

std::size_t TextBox::TextIndexOf(std::int32_t scale_position) const {
  std::size_t index = 0;
  for (std::int32_t step = 0; step < scale_position && index < text_.size(); ++step) {
    if (text_[index] == kCr && index + 1 < text_.size() && text_[index + 1] == kLf) {
      index += 2;
    } else {
      index += 1;
    }
  }
  return index;
}

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

void TextBox::SetSelText(TextView replacement, bool select_inserted) {
  const std::int32_t start = SelStart();
  const std::size_t begin = TextIndexOf(start);
  const std::size_t end = TextIndexOf(start + SelLength());

  // A lone CR is a line break of the box and is stored as CR LF.
  Text inserted;
  inserted.reserve(replacement.size() + 16);
  for (std::size_t i = 0; i < replacement.size(); ++i) {
    inserted.push_back(replacement[i]);
    if (replacement[i] == kCr && (i + 1 >= replacement.size() || replacement[i + 1] != kLf)) inserted.push_back(kLf);
  }

  // Whatever does not fit under MaxLength is left out, never half a line break
  // or half a surrogate pair.
  const std::size_t kept = text_.size() - (end - begin);
  if (max_length_ > 0) {
    const std::size_t room = kept >= static_cast<std::size_t>(max_length_) ? 0 : max_length_ - kept;
    if (inserted.size() > room) {
      std::size_t cut = room;
      if (cut > 0 && inserted[cut - 1] == kCr && inserted[cut] == kLf) --cut;
      if (cut > 0 && IsHighSurrogate(inserted[cut - 1]) && IsLowSurrogate(inserted[cut])) --cut;
      inserted.resize(cut);
    }
  }

  text_.replace(begin, end - begin, inserted);
  std::int32_t inserted_scale = 0;
  const QString display = DisplayTextOf(inserted, &inserted_scale);
  QTextCursor cursor = textCursor();
  cursor.insertText(display);
  // The document may join the stand-ins differently at the seams; rebuild when
  // the scale does not add up, so positions and text never disagree.
  scale_length_ = ScaleLengthOf(text_);
  if (document()->characterCount() - 1 != scale_length_) {
    setPlainText(DisplayTextOf(text_, &scale_length_));
    cursor = textCursor();
    cursor.setPosition(std::clamp(start + inserted_scale, 0, scale_length_));
  }
  if (select_inserted) {
    cursor.setPosition(std::clamp(start, 0, scale_length_));
    cursor.setPosition(std::clamp(start + inserted_scale, 0, scale_length_), QTextCursor::KeepAnchor);
  }
  setTextCursor(cursor);
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
  // Function keys are commands, handled on release; everything else moves the
  // caret or selects as usual (typing is refused by the read-only editor).
  if (event->key() >= Qt::Key_F1 && event->key() <= Qt::Key_F35) {
    event->accept();
    return;
  }
  QPlainTextEdit::keyPressEvent(event);
}

void TextBox::keyReleaseEvent(QKeyEvent* event) {
  QPlainTextEdit::keyReleaseEvent(event);
  if (!event->isAutoRepeat()) emit KeyReleased(event->key(), event->modifiers());
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
