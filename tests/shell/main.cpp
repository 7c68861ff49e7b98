// The shell tests' own main: a QApplication on the offscreen platform (unless the environment
// names another) with the program's Qt hosts, then every test.
#include <gtest/gtest.h>

#include <QApplication>

#include "ui/UiHosts.h"

// Qt and fontconfig are not built with the sanitizers; the leaks they report of their own are
// listed in this file (library frames only).
extern "C" const char* __lsan_default_options() { return "suppressions=" TF_LSAN_SUPPRESSIONS; }

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  tf::InstallUiHosts();
  const int result = RUN_ALL_TESTS();
  tf::UninstallUiHosts();
  return result;
}
