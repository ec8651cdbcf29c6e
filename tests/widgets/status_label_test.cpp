#include "widgets/status_label.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPainter>

#include "tests/support/window_fixture.h"

namespace mok::testing {
namespace {

class StatusLabelTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    label = window->findChild<StatusLabel*>(QStringLiteral("lblSay"));
    ASSERT_NE(label, nullptr);
  }
  QStringList Lines(const QString& text) { return StatusLines(text, label->font(), label->width(), label); }
  bool Fits(const QString& line) { return QFontMetricsF(label->font(), label).horizontalAdvance(line) <= label->width(); }

  StatusLabel* label = nullptr;
};

const QString kEllipsis = QStringLiteral("…");

TEST_F(StatusLabelTest, ALongSingleLineWrapsIntoTheSecondLine) {
  const QString texts[] = {
      QStringLiteral("自动解读 西里尔(Windows)--西里尔(KOI8-R)"),
      QStringLiteral("自动解读 日文(Shift-JIS)--西里尔(Windows)"),
      QStringLiteral("自动解读 西里尔(KOI8-R)--西里尔(Windows)"),
  };
  for (const QString& text : texts) {
    SCOPED_TRACE(text.toStdString());
    ASSERT_FALSE(Fits(text)) << "the label is wide enough; the case tests nothing";
    const QStringList lines = Lines(text);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(Fits(lines[0]));
    EXPECT_TRUE(Fits(lines[1]));
    EXPECT_FALSE(lines[1].isEmpty());
    // Nothing is lost: the break takes at most the spaces where it falls.
    QString joined = lines[0];
    while (joined.size() < text.size() && text[joined.size()].isSpace()) joined += text[joined.size()];
    EXPECT_EQ(joined + lines[1], text);
  }
}

TEST_F(StatusLabelTest, WhatStillDoesNotFitEndsInAnEllipsis) {
  struct Case {
    QString text;
    int lines;
    bool first_elided, second_elided;
  };
  const Case cases[] = {
      {QStringLiteral("位于 12  选取 1\r\n[g] UBE= 0067  GBK= 67"), 2, false, false},
      {QStringLiteral("未经改动"), 1, false, false},
      {QString(200, u'长'), 2, false, true},
      {QStringLiteral("自动解读 西里尔(Windows)--西里尔(KOI8-R)\r\n字数 5"), 2, true, false},
      {QStringLiteral("第一行\r\n") + QString(200, u'x') + QStringLiteral("\r\n第三行"), 2, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.left(40).toStdString());
    const QStringList lines = Lines(c.text);
    ASSERT_EQ(lines.size(), c.lines);
    EXPECT_EQ(lines[0].endsWith(kEllipsis), c.first_elided);
    if (c.lines > 1) EXPECT_EQ(lines[1].endsWith(kEllipsis), c.second_elided);
    for (const QString& line : lines) EXPECT_TRUE(Fits(line)) << line.toStdString();
  }
}

// Painted, the long status text stays inside the label: nothing runs past its
// right edge to be cut there.
TEST_F(StatusLabelTest, PaintedTextStaysInsideTheLabel) {
  const QSize box = label->size();
  QImage image(box.width() * 2, box.height(), QImage::Format_RGB32);
  image.setDotsPerMeterX(3780);
  image.setDotsPerMeterY(3780);
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.setPen(Qt::black);
  PaintStatusText(painter, label->font(), QStringLiteral("自动解读 西里尔(Windows)--西里尔(KOI8-R)"), box);
  painter.end();
  int right = -1;
  int lowest = -1;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (qGray(image.pixel(x, y)) < 255) {
        right = std::max(right, x);
        lowest = std::max(lowest, y);
      }
    }
  }
  EXPECT_GE(right, box.width() / 2);
  EXPECT_LT(right, box.width());
  EXPECT_GT(lowest, box.height() / 2);  // the second line is used
}

}  // namespace
}  // namespace mok::testing
