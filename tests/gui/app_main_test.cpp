// Entry of the window tests: one QApplication (with the program's Portuguese
// translation of Qt) for all of them, then gtest.
#include <gtest/gtest.h>

#include <QApplication>
#include <QStandardPaths>

#include "app/gui/qt_ports.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  // Settings a window keeps (its folders) go to a test location, never the user's.
  QStandardPaths::setTestModeEnabled(true);
  InstallPortugueseTranslation(app);  // as the program does
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
