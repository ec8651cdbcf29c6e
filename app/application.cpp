#include "app/application.h"

#include <QApplication>

#include "app/main_window.h"
#include "platform/fonts.h"

namespace mok {

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
  window.show();
  return app.exec();
}

}  // namespace mok
