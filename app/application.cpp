#include "app/application.h"

#include <QApplication>

#include "app/main_window.h"
#include "platform/fonts.h"

namespace mok {

void PrepareApplication(QApplication& app) {
  QCoreApplication::setApplicationName(QStringLiteral("Mokrin"));
  QCoreApplication::setApplicationVersion(QStringLiteral("4.3"));
  InstallFontSubstitutes();
  app.setQuitOnLastWindowClosed(true);
}

int RunMokrin(int argc, char** argv) {
  QApplication app(argc, argv);
  PrepareApplication(app);
  MainWindow window;
  window.show();
  return app.exec();
}

}  // namespace mok
