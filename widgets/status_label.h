#pragma once

// The status label lblSay: two lines of plain text in a box sized for two lines
// of 宋体 12 point. CJK fonts on Linux have a taller line spacing than 宋体, so
// the label packs its lines by the ink of the glyphs instead of by the font's
// line spacing, and makes the font a little smaller when even the ink of two
// lines would not fit. A text wider than the label wraps into the second line
// or ends in "…", so no glyph is ever cut at the label's edge.

#include <QStringList>
#include <QWidget>

class QPaintDevice;
class QPainter;

namespace mok {

class StatusLabel : public QWidget {
  Q_OBJECT

 public:
  explicit StatusLabel(QWidget* parent = nullptr) : QWidget(parent) {}

  [[nodiscard]] const QString& text() const { return text_; }
  void setText(const QString& text);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString text_;
};

// Paints the first two lines of text into a box of this size at the painter's
// origin: the top of the first line's tallest glyphs at the top, the bottom of
// the second line's descenders at the bottom. Exposed for tests.
void PaintStatusText(QPainter& painter, QFont font, const QString& text, QSizeF box);

// The two lines (at most) the label shows for a status text in this font and
// width: a single line too wide goes on into the second line, and a line that
// still does not fit ends in "…". Exposed for tests.
[[nodiscard]] QStringList StatusLines(const QString& text, const QFont& font, qreal width, QPaintDevice* device);

}  // namespace mok
