// The program's entry: Qt's settings, the QApplication, then the main block.
#include <QApplication>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/qt/MainForm.h"
#include "app/Startup.h"
#include "app/qt/Program.h"

#ifdef TF_LSAN_SUPPRESSIONS
// Sanitizer builds: the leaks Qt and fontconfig report of their own are listed in this file.
extern "C" const char* __lsan_default_options() { return "suppressions=" TF_LSAN_SUPPRESSIONS; }
#endif

int main(int argc, char** argv) {
  // All geometry is in pixels; floating tool windows place themselves, which needs X11.
  setenv("QT_ENABLE_HIGHDPI_SCALING", "0", 1);
  // Render and viewer runs also work on a machine without a display: they paint into memory.
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  const std::string platform = tf::ChoosePlatform(arguments, std::getenv("QT_QPA_PLATFORM"), std::getenv("DISPLAY"),
                                                  std::getenv("WAYLAND_DISPLAY"));
  if (!platform.empty()) setenv("QT_QPA_PLATFORM", platform.c_str(), 1);
  // The application comes first: the colour depth question needs a screen.
  QApplication application(argc, argv);
  tf::RegisterMainForm();
  return tf::RunProgram(argc, argv);
}
