#pragma once

// The status label lblSay: two lines of plain text in a box sized for two lines
// of 宋体 12 point. CJK fonts on Linux have a taller line spacing than 宋体, so
// the label packs its lines by the ink of the glyphs instead of by the font's
// line spacing, and makes the font a little smaller when even the ink of two
// lines would not fit.

#include <QWidget>

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

}  // namespace mok
