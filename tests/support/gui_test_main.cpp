// Entry point of the GUI tests: one QApplication on the offscreen platform for
// the whole run, settings kept in the test-mode folders.

#include <QApplication>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include "app/application.h"

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QStandardPaths::setTestModeEnabled(true);
  QApplication app(argc, argv);
  mok::PrepareApplication(app);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
