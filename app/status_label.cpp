#include "app/status_label.h"

#include <QPainter>
#include <QRegularExpression>

namespace mok {
namespace {

// The glyphs that reach highest and lowest in what the label shows: ideographs,
// the brackets around the character asked about, and Latin descenders.
const QString kInkProbe = QStringLiteral("[字gjpqy]");
// Room for anti-aliasing at fractional scales, in logical pixels.
constexpr qreal kInkMargin = 0.5;

}  // namespace

void StatusLabel::setText(const QString& text) {
  if (text == text_) return;
  text_ = text;
  update();
}

void StatusLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setPen(palette().color(QPalette::WindowText));
  PaintStatusText(painter, font(), text_, size());
}

void PaintStatusText(QPainter& painter, QFont font, const QString& text, QSizeF box) {
  qreal above = 0;
  qreal below = 0;
  for (int attempt = 0; attempt < 4; ++attempt) {
    const QRectF ink = QFontMetricsF(font, painter.device()).tightBoundingRect(kInkProbe);
    above = -ink.top() + kInkMargin;
    below = ink.bottom() + kInkMargin;
    const qreal needed = 2 * (above + below);
    if (needed <= box.height() || font.pointSizeF() <= 1) break;
    font.setPointSizeF(font.pointSizeF() * box.height() / needed);
  }
  painter.setFont(font);
  const QStringList lines = text.split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
  if (!lines.isEmpty()) painter.drawText(QPointF(0, above), lines[0]);
  if (lines.size() > 1) painter.drawText(QPointF(0, box.height() - below), lines[1]);
}

}  // namespace mok
