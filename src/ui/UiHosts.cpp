#include "ui/UiHosts.h"

#include "app/AppProfile.h"
#include "files/ClipboardExchange.h"
#include "files/qt/FileDialogs.h"
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
  InstallClipboardExchange(true);
  InstallQtFileDialogs(true);
  SetFilePreviewSetting(&AppProfile().useFilePreview);
  SetProgressHost(&ProgressHostInstance());
  InstallFontSubstitutions();
}

void UninstallUiHosts() {
  SetProgressHost(nullptr);
  SetFilePreviewSetting(nullptr);
  InstallQtFileDialogs(false);
  InstallClipboardExchange(false);
  InstallQtClipboard(false);
  InstallPlatformQtHosts(false);
}

}  // namespace tf
