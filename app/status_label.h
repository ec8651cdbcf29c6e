#pragma once

// The status label lblSay: two lines of plain text in a box sized for two lines
// of 宋体 12 point. CJK fonts on Linux have a taller line spacing than 宋体, so
// the label packs its lines to fit the box instead of clipping the second one.

#include <QWidget>

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

}  // namespace mok
