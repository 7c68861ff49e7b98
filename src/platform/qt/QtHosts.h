// The window system's half of the core's host services, on Qt: warning box, confirmation,
// screen facts, window placement, cursor, key and button state.
#pragma once
// ui/UiHosts.h installs these together with the hosts of the controls in one call; tests may
// install a single one.
#include <QString>
#include <string_view>

#include "platform/Confirm.h"
#include "platform/Host.h"
#include "platform/Screen.h"
#include "platform/Shell.h"
#include "platform/Warning.h"
#include "platform/Window.h"

class QWidget;

namespace tf {

// Window handles of the core are widget addresses; a handle is only used when it names a live
// widget.
WindowHandle HandleOfWidget(QWidget* widget);
QWidget* WidgetOfHandle(WindowHandle handle);
// The program's main window, once it exists (boxes open over it when no window is active).
void SetMainWindowWidget(QWidget* window);
QWidget* MainWindowWidget();
// The window a box opens over: the given one, else the active window, else the main window, else
// none (the desktop).
QWidget* DialogOwner(QWidget* given = nullptr);

// The program's full name (window titles, the progress window). Message boxes are captioned with
// the product name of the texts ("Tintaframe").
inline constexpr std::string_view kProductName = "Tintaframe4 Plus";

// A message text as a box shows it: "\r" (with or without "\n" after it) becomes a line break.
QString MessageBoxText(std::string_view text);
// The standard warning caption, "%s (%s)" of "警告" and the product name: "警告 (Tintaframe)".
QString StandardWarningCaption();

// Modal message boxes shown at once; each runs its own loop, in which timers fire.
// Warnings: the warning icon and OK, captioned "警告 (Tintaframe)" unless given another caption.
// Information: the information icon and OK, captioned with the product name; plain messages the
// same without an icon.
class QtWarningHost final : public WarningHost {
 public:
  void ShowWarning(std::string_view text) override { ShowWarningBox(text, 0, nullptr); }
  void ShowWarningBox(std::string_view text, WindowHandle owner, const char* caption) override;
  void ShowInformation(std::string_view text) override;
  // A plain box: no icon, OK, captioned with the product name.
  void ShowMessage(std::string_view text) override;
};

// The desktop's opener (QDesktopServices). A file is tested for reading first: the opener itself
// succeeds as soon as xdg-open starts, whatever then becomes of the file.
class QtShellHost final : public ShellHost {
 public:
  bool ShellOpen(const std::string& path) override;
  bool OpenURL(const std::string& address) override;
};

// A modal question with the buttons of the set; closing the box (Esc, the title bar's close
// button) gives the cautious answer of the set.
class QtConfirmHost final : public ConfirmHost {
 public:
  int32_t AskConfirm(std::string_view text, int32_t buttons) override;
};

class QtScreenHost final : public ScreenHost {
 public:
  int32_t PrimaryScreenWidth() override;
  int32_t PrimaryScreenHeight() override;
  int32_t MonitorCount() override;
  int32_t DesktopBitsPerPixel() override;
  std::vector<MonitorInfo> Monitors() override;
};

class QtWindowHost final : public WindowHost {
 public:
  ScreenRect VirtualScreen() override;
  bool GetWindowRect(WindowHandle window, ScreenRect& rect) override;
  bool MoveWindow(WindowHandle window, int32_t left, int32_t top) override;
};

// One application-wide cursor override, changed in place rather than stacked: showing the arrow
// (or none) takes it away.
class QtCursorHost final : public CursorHost {
 public:
  ~QtCursorHost() override;
  intptr_t SetCursor(intptr_t cursor) override;
  intptr_t SystemCursorHandle(int32_t cursorId) override { return cursorId; }
  bool OverrideActive() const { return overridden_; }

 private:
  intptr_t current_ = 0;
  bool overridden_ = false;
};

// Modifiers and mouse buttons from Qt; every other key from the keys the application event
// filter saw pressed.
class QtInputHost final : public InputHost {
 public:
  bool IsKeyDown(int32_t virtualKey) override;
};

// The Qt key code of a virtual key (0 when it has none).
int QtKeyOfVirtualKey(int32_t virtualKey);

// Installs (or, with false, removes) the hosts above and the application event filter.
void InstallPlatformQtHosts(bool install);

}  // namespace tf
