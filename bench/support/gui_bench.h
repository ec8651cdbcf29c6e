#pragma once

// Pieces the window benchmarks share: a user-interface seam that asks nothing
// (dialogs run the script the benchmark gives), a paint counter, finding a menu
// item, and the ways a timed iteration ends (repaint now, let the event loop
// paint, or not).

#include <QAction>
#include <QCoreApplication>
#include <QEvent>
#include <QMenu>
#include <QMenuBar>
#include <QWidget>

#include <cstdint>
#include <cstdlib>
#include <functional>

#include "platform/user_prompts.h"

namespace mok::bench {

// Nothing in a benchmark asks the user anything; any message or beep is a
// failure of its setup. A dialog runs the script the benchmark gives.
class NoPrompts : public UserPrompts {
 public:
  MessageAnswer ShowMessage(std::u16string_view, MessageButtons, std::u16string_view) override { std::abort(); }
  void Beep() override { std::abort(); }
  void ShowModal(ModalDialog& dialog) override {
    if (!on_dialog) std::abort();
    on_dialog(dialog);
  }
  std::function<void(ModalDialog&)> on_dialog;
};

// Counts paint events of one widget.
class PaintCounter : public QObject {
 public:
  explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
  std::int64_t count = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++count;
    return false;
  }
};

inline QAction* FindAction(QMenuBar* bar, const QString& name) {
  for (QMenu* menu : bar->findChildren<QMenu*>()) {
    for (QAction* item : menu->actions()) {
      if (item->objectName() == name) return item;
    }
  }
  std::abort();
}

// How the timed part ends.
enum class Paint {
  kWindow,     // repaint() of the whole window now, then the events that posts
  kEventLoop,  // only the event loop: just the regions the change made dirty
  kNone,       // no painting (it happens untimed before the next iteration)
};

inline void Repaint(QWidget& window, Paint paint) {
  if (paint == Paint::kWindow) window.repaint();
  if (paint != Paint::kNone) QCoreApplication::processEvents();
}

}  // namespace mok::bench
