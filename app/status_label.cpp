#include "app/status_label.h"

#include <QPainter>
#include <QRegularExpression>

#include <algorithm>

namespace mok {

void StatusLabel::setText(const QString& text) {
  if (text == text_) return;
  text_ = text;
  update();
}

void StatusLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setPen(palette().color(QPalette::WindowText));
  const QFontMetrics metrics(font());
  const QStringList lines = text_.split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
  // As tall as the font needs, but never so tall that two lines do not fit.
  const int line_height = std::max(1, std::min(metrics.lineSpacing(), height() / 2));
  const int baseline_offset = std::min(metrics.ascent(), line_height - 1);
  int y = 0;
  for (const QString& line : lines) {
    if (y >= height()) break;
    painter.drawText(QPoint(0, y + baseline_offset), metrics.elidedText(line, Qt::ElideNone, width()));
    y += line_height;
  }
}

}  // namespace mok
