// The program's main block on Qt.
#include "app/qt/Program.h"

#include <QWidget>

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

}  // namespace tf
