// The reference for the cold-start measurement (scripts/bench-startup.sh): the
// least a Qt widgets program needs to show a window with a plain-text editor.
// It quits right after the window's first paint, exactly as mokrin does under
// MOK_EXIT_AFTER_FIRST_PAINT.

#include <QApplication>
#include <QEvent>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QTimer>

namespace {

class QuitAfterFirstPaint : public QObject {
 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      watched->removeEventFilter(this);
      QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
    }
    return false;
  }
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QMainWindow window;
  window.setCentralWidget(new QPlainTextEdit(&window));
  window.resize(762, 540);  // about the size of mokrin's main window
  QuitAfterFirstPaint quit_after_first_paint;
  window.installEventFilter(&quit_after_first_paint);
  window.show();
  return app.exec();
}
