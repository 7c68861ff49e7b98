// Window placement services, reached through a host interface.
#pragma once
// Window placement services of the window system. The core reaches them through this
// interface; the null implementation (headless runs) knows no screen and no window.
#include <cstdint>

namespace tf {

// An opaque window id; 0 means none.
using WindowHandle = intptr_t;

// A rectangle on the screen: origin and size in pixels.
struct ScreenRect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t width = 0;
  int32_t height = 0;
};

class WindowHost {
 public:
  virtual ~WindowHost() = default;
  // Origin and size of the virtual screen (all monitors together); a width or height of 0
  // when the window system does not tell it.
  // (The primary screen's size is in platform/Screen.h.)
  virtual ScreenRect VirtualScreen() = 0;
  // The window's outer rectangle on the screen; false when the window is unknown.
  virtual bool GetWindowRect(WindowHandle window, ScreenRect& rect) = 0;
  // Moves the window's top-left corner; false when the window is unknown.
  virtual bool MoveWindow(WindowHandle window, int32_t left, int32_t top) = 0;
};

// No screen and no windows: every query fails, nothing moves.
class NullWindowHost final : public WindowHost {
 public:
  ScreenRect VirtualScreen() override { return {}; }
  bool GetWindowRect(WindowHandle, ScreenRect&) override { return false; }
  bool MoveWindow(WindowHandle, int32_t, int32_t) override { return false; }
};

// Installing null restores the null implementation. Returns the host installed before.
WindowHost* SetWindowHost(WindowHost* host);
WindowHost& GetWindowHost();

}  // namespace tf
