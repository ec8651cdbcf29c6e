#include "app/application.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>

#include <algorithm>
#include <cstdio>

#include "app/main_window.h"
#include "codec/file_attributes.h"
#include "files/file_commands.h"
#include "files/folder_listing.h"
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

std::vector<std::string> OpenStartFile(CommandHost& host, std::span<const std::string> words, TextView folder) {
  std::vector<std::string> unused;
  bool options_ended = false;
  bool opened = false;
  for (const std::string& word : words) {
    if (!options_ended && word == "--") {
      options_ended = true;
    } else if (!options_ended && word.size() > 0 && word[0] == '-') {
      unused.push_back("mokrin: 未知的选项 “" + word + "”，已忽略");
    } else if (opened) {
      unused.push_back("mokrin: 只打开第一个文件，“" + word + "” 未打开");
    } else if (!word.empty()) {
      // The bytes of the name as given, so a name that is not UTF-8 opens too.
      OpenAsOriginal(host, RealFilePath(TextOfNativePath(word), folder), 0);
      opened = true;
    }
  }
  return unused;
}

int RunMokrin(int argc, char** argv) {
  QApplication app(argc, argv);  // takes Qt's own options out of argv
  PrepareApplication(app);
  MainWindow window;
  QuitAfterFirstPaint quit_after_first_paint;
  if (qEnvironmentVariableIsSet("MOK_EXIT_AFTER_FIRST_PAINT")) window.installEventFilter(&quit_after_first_paint);
  window.show();
  // Opened once the window shows, so that a message about the file has it behind.
  const std::vector<std::string> words(argv + std::min(argc, 1), argv + argc);
  for (const std::string& line : OpenStartFile(window, words, StartFolder())) std::fprintf(stderr, "%s\n", line.c_str());
  return app.exec();
}

}  // namespace mok
