#include "app/application.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>

#include "app/main_window.h"
#include "platform/fonts.h"

namespace mok {
namespace {

// For timing the cold start (scripts/bench-startup.sh): quits the event loop
// as soon as the window's first paint has been handled.
class QuitAfterFirstPaint : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      watched->removeEventFilter(this);
      // Queued, so the rest of this paint pass (the child widgets) finishes
      // first. exit(), not quit(): quit() would close the window, and closing
      // saves the view settings, which is no part of starting.
      QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
    }
    return false;
  }
};

}  // namespace

void PrepareApplication(QApplication& app) {
  QCoreApplication::setApplicationName(QStringLiteral("Mokrin"));
  QCoreApplication::setApplicationVersion(QStringLiteral("%1.%2").arg(PROJECT_VERSION_MAJOR).arg(PROJECT_VERSION_MINOR));
  QCoreApplication::setOrganizationName(QStringLiteral("Mokrin 开发组"));
  QCoreApplication::setOrganizationDomain(QStringLiteral("mokrin.example.org"));
  InstallFontSubstitutes();
  app.setQuitOnLastWindowClosed(true);
}

int RunMokrin(int argc, char** argv) {
  QApplication app(argc, argv);
  PrepareApplication(app);
  MainWindow window;
  QuitAfterFirstPaint quit_after_first_paint;
  if (qEnvironmentVariableIsSet("MOK_EXIT_AFTER_FIRST_PAINT")) window.installEventFilter(&quit_after_first_paint);
  window.show();
  return app.exec();
}

}  // namespace mok
