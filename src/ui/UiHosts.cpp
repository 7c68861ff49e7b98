#include "ui/UiHosts.h"

#include "platform/Progress.h"
#include "platform/qt/QtClipboard.h"
#include "platform/qt/QtHosts.h"
#include "ui/ProgressWindow.h"
#include "ui/UiAppearance.h"

namespace tf {
namespace {

QtProgressHost& ProgressHostInstance() {
  static QtProgressHost host;
  return host;
}

}  // namespace

void InstallUiHosts() {
  InstallPlatformQtHosts(true);
  InstallQtClipboard(true);
  SetProgressHost(&ProgressHostInstance());
  InstallFontSubstitutions();
}

void UninstallUiHosts() {
  SetProgressHost(nullptr);
  InstallQtClipboard(false);
  InstallPlatformQtHosts(false);
}

}  // namespace tf
