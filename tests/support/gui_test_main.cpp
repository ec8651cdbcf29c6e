// Entry point of the GUI tests: one QApplication on the offscreen platform for
// the whole run. Each test process gets a home folder of its own (settings,
// trash, documents), so tests running side by side never share a settings file
// and nothing touches the user's own.

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/application.h"

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  std::string home = (std::filesystem::temp_directory_path() / "mok-gui-test-XXXXXX").string();
  if (::mkdtemp(home.data()) == nullptr) return 1;
  qputenv("HOME", home.c_str());
  qputenv("XDG_CONFIG_HOME", (home + "/.config").c_str());
  qputenv("XDG_DATA_HOME", (home + "/.local/share").c_str());
  int status = 0;
  {
    QApplication app(argc, argv);
    mok::PrepareApplication(app);
    ::testing::InitGoogleTest(&argc, argv);
    status = RUN_ALL_TESTS();
  }
  std::error_code ignored;
  std::filesystem::remove_all(home, ignored);
  return status;
}
