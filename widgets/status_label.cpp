#include "widgets/status_label.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace mok {
namespace {

// The glyphs that reach highest and lowest in what the label shows: ideographs,
// the brackets around the character asked about, and Latin descenders.
const QString kInkProbe = QStringLiteral("[字gjpqy]");

// How far the probe's ink reaches above and below the baseline, in whole
// device pixels, faint anti-aliased edges included. Drawn rather than taken
// from the font's bounding boxes, which fall a pixel or more short of the ink
// at the scales of high-resolution screens.
struct InkReach {
  int above = 0;
  int below = 0;
};

InkReach DrawAndMeasureInk(const QFont& font, qreal ratio, int dpi) {
  const QFontMetricsF metrics(font);
  const int width = static_cast<int>(std::ceil(metrics.horizontalAdvance(kInkProbe) * ratio)) + 8;
  const int baseline = static_cast<int>(std::ceil(metrics.height() * ratio)) + 4;
  QImage image(width, 2 * baseline, QImage::Format_Grayscale8);
  image.setDevicePixelRatio(ratio);
  const int dots_per_meter = static_cast<int>(std::lround(dpi / 0.0254));
  image.setDotsPerMeterX(dots_per_meter);
  image.setDotsPerMeterY(dots_per_meter);
  image.fill(Qt::white);
  {
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(QPointF(2, baseline / ratio), kInkProbe);
  }
  int top = baseline;
  int bottom = baseline;
  for (int y = 0; y < image.height(); ++y) {
    const uchar* row = image.constScanLine(y);
    for (int x = 0; x < width; ++x) {
      if (row[x] < 255) {
        top = std::min(top, y);
        bottom = std::max(bottom, y + 1);
        break;
      }
    }
  }
  return {baseline - top, bottom - baseline};
}

// The label repaints with every status text; the font and the screen seldom change.
InkReach MeasureInk(const QFont& font, qreal ratio, int dpi) {
  struct Measured {
    QString font_key;
    qreal ratio = 0;
    int dpi = 0;
    InkReach reach;
  };
  static Measured last;
  const QString key = font.key();
  if (last.font_key != key || last.ratio != ratio || last.dpi != dpi) {
    last = {key, ratio, dpi, DrawAndMeasureInk(font, ratio, dpi)};
  }
  return last.reach;
}

// The first line of text that fits this width, broken where the line-breaking
// rules allow (between ideographs, after a space or a hyphen), or anywhere if no
// such place fits: how many characters it takes.
qsizetype FittingPrefix(const QString& text, const QFont& font, qreal width, QPaintDevice* device) {
  QTextLayout layout(text, font, device);
  QTextOption option;
  option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  layout.setTextOption(option);
  layout.beginLayout();
  QTextLine first = layout.createLine();
  qsizetype taken = text.size();
  if (first.isValid()) {
    first.setLineWidth(width);
    taken = first.textLength();
  }
  layout.endLayout();
  return std::max<qsizetype>(taken, 1);
}

}  // namespace

QStringList StatusLines(const QString& text, const QFont& font, qreal width, QPaintDevice* device) {
  QStringList lines = text.split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
  while (lines.size() > 2) lines.removeLast();
  const QFontMetricsF metrics(font, device);
  const auto fits = [&](const QString& line) { return metrics.horizontalAdvance(line) <= width; };
  // One line too long for the label goes on to the second line where that is free.
  if (!fits(lines[0]) && (lines.size() == 1 || lines[1].isEmpty())) {
    const qsizetype taken = FittingPrefix(lines[0], font, width, device);
    const QString rest = lines[0].mid(taken);
    lines = QStringList{lines[0].left(taken), rest};
    // The spaces at the break end the first line, where they do not show.
    while (!lines[0].isEmpty() && lines[0].back().isSpace()) lines[0].chop(1);
  }
  // What still does not fit ends in an ellipsis, never in a glyph cut in half.
  for (QString& line : lines) {
    if (!fits(line)) line = metrics.elidedText(line, Qt::ElideRight, width);
  }
  return lines;
}

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
  const qreal ratio = std::max<qreal>(1, painter.device()->devicePixelRatioF());
  const int dpi = painter.device()->logicalDpiY();
  const qreal height = std::floor(box.height() * ratio);
  InkReach reach;
  for (int attempt = 0; attempt < 4; ++attempt) {
    reach = MeasureInk(font, ratio, dpi);
    // Line two's tall glyphs must clear line one's; descenders may reach between.
    const qreal needed = 2 * reach.above + reach.below;
    if (needed <= height || font.pointSizeF() <= 1) break;
    font.setPointSizeF(font.pointSizeF() * height / needed);
  }
  painter.setFont(font);
  const QStringList lines = StatusLines(text, font, box.width(), painter.device());
  if (!lines.isEmpty()) painter.drawText(QPointF(0, reach.above / ratio), lines[0]);
  if (lines.size() > 1) painter.drawText(QPointF(0, (height - reach.below) / ratio), lines[1]);
}

}  // namespace mok
