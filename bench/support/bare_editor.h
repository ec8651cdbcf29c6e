#pragma once

// What the GUI benchmarks measure the program's window against: a bare
// QPlainTextEdit as the central widget of a QMainWindow, with the font and the
// size of the program's text box, so both lay out and paint the same glyphs in
// the same area.

#include <QCoreApplication>
#include <QMainWindow>
#include <QPlainTextEdit>

#include "app/main_window.h"
#include "widgets/text_box.h"

namespace mok::bench {

// Handles the events a change left pending (layout, paint).
inline void Settle() {
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
}

class BareEditorWindow {
 public:
  explicit BareEditorWindow(UserPrompts& prompts) {
    QFont font;
    QSize size;
    {
      // Only the size and font of the text box are taken from the program's window.
      MainWindow probe(&prompts);
      font = probe.Box().font();
      size = probe.Box().size();
    }
    editor_ = new QPlainTextEdit(&window_);
    editor_->setFont(font);
    window_.setCentralWidget(editor_);
    window_.resize(size);
    window_.show();
    Settle();
  }

  QMainWindow& Window() { return window_; }
  QPlainTextEdit& Editor() { return *editor_; }

 private:
  QMainWindow window_;
  QPlainTextEdit* editor_ = nullptr;
};

}  // namespace mok::bench
