// The program's main block on Qt.
#include "app/qt/Program.h"

#include <QApplication>
#include <QWidget>
#include <clocale>

#include "app/AppPresetSettings.h"
#include "app/AppProfile.h"
#include "app/Startup.h"
#include "platform/Debug.h"
#include "app/RenderMode.h"
#include "platform/qt/QtHosts.h"
#include "platform/qt/SingleInstanceQt.h"
#include "raster/Appearance.h"
#include "raster/Composite.h"
#include "raster/ToolGlyphs.h"
#include "ui/UiHosts.h"

namespace tf {
namespace {

MainWindowFactory& Factory() {
  static MainWindowFactory factory;
  return factory;
}

}  // namespace

void ProgramMainWindow::RaiseAndRestore() {
  QWidget* w = Window();
  if (w == nullptr) return;
  if (w->isMinimized()) w->setWindowState(w->windowState() & ~Qt::WindowMinimized);
  w->show();
  w->raise();
  w->activateWindow();
}

MainWindowFactory SetMainWindowFactory(MainWindowFactory factory) {
  MainWindowFactory before = std::move(Factory());
  Factory() = std::move(factory);
  return before;
}

bool HasMainWindowFactory() { return static_cast<bool>(Factory()); }

int RunProgram(int argc, char** argv) {
  // The QApplication set the user's locale; numbers are written and read with "." everywhere.
  std::setlocale(LC_NUMERIC, "C");

  // 1. The modules' initialisation: settings object, tables, appearance and glyphs, the hosts.
  CAppProfile& profile = AppProfile();
  InitCompositeTables();
  InstallUiHosts();
  InstallAppPresetSettings();
  AppearanceManager();
  GlyphManager();

  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i] != nullptr ? argv[i] : "");

  // Unattended runs never show a box: nobody would close it.
  const bool unattended = AsksUnattendedRun(arguments);
  if (unattended) InstallUnattendedHosts(true);

  // 2. Start-up checks; the instance lock (when taken) is released however this block is left.
  QtInstanceHost instance;
  if (StartupChecks(arguments, instance) > 0) return 1;

  // 4. Settings and the language module.
  if (!InitApplication(profile)) return 1;

  // 5. The main window.
  QApplication::setApplicationDisplayName(QString());
  if (!HasMainWindowFactory()) {
    DebugOut("RunProgram: the main window is not built yet; the program ends here\n");
    return 1;
  }
  ProgramStart start{arguments, profile.programFolder, profile.programFileName};
  std::unique_ptr<ProgramMainWindow> window = Factory()(start);
  if (!window || window->Window() == nullptr) {
    DebugOut("RunProgram: the main window could not be made\n");
    return 1;
  }
  SetMainWindowWidget(window->Window());
  if (InstanceServer* server = instance.Server()) {
    server->SetReply(QueryReply());
    ProgramMainWindow* target = window.get();
    server->SetReceiver([target](const std::string& path) { target->OpenFile(path); },
                        [target] { target->RaiseAndRestore(); });
  }
  window->Window()->show();

  // 6. The message loop, until the main window closes.
  QApplication::exec();

  // 7. Settings saved, 8. lock released; the window goes after the settings. Render and viewer
  // runs leave the settings as they found them (parallel runs never contend for the file).
  if (!RenderOrViewerMode) profile.SaveAll();
  instance.ReleaseInstanceLock();
  SetMainWindowWidget(nullptr);
  window.reset();
  // An unattended run ends with its result code (1 when it never reached a result).
  return RenderOrViewerMode ? RunExitCode() : 0;
}

}  // namespace tf
