// Facts about the screen: size, monitor count and colour depth, behind a host interface.
#pragma once
// Facts about the screen that the settings and the start-up checks probe once: the primary
// screen's size, the number of monitors and the colour depth of the desktop.
// The core installs a headless implementation with fixed values; the application installs the
// window-system one at start-up, tests install their own.
#include <cstdint>
#include <vector>

#include "platform/Window.h"

namespace tf {

// One monitor of the desktop: its whole area and its work area (without task bars and docks).
struct MonitorInfo {
  ScreenRect bounds;
  ScreenRect workArea;
};

class ScreenHost {
 public:
  virtual ~ScreenHost() = default;
  // Size of the primary screen in pixels.
  virtual int32_t PrimaryScreenWidth() = 0;
  virtual int32_t PrimaryScreenHeight() = 0;
  // Number of monitors of the desktop.
  virtual int32_t MonitorCount() = 0;
  // Bits per pixel times colour planes of the desktop.
  virtual int32_t DesktopBitsPerPixel() = 0;
  // Every monitor; empty when the window system does not tell (the primary screen then stands
  // for the one monitor).
  virtual std::vector<MonitorInfo> Monitors() { return {}; }
};

// Fixed values for headless runs; tests may change the fields.
class HeadlessScreenHost final : public ScreenHost {
 public:
  static constexpr int32_t kWidth = 1920;
  static constexpr int32_t kHeight = 1080;

  int32_t PrimaryScreenWidth() override { return width; }
  int32_t PrimaryScreenHeight() override { return height; }
  int32_t MonitorCount() override { return monitors; }
  int32_t DesktopBitsPerPixel() override { return bitsPerPixel; }
  std::vector<MonitorInfo> Monitors() override { return monitorList; }

  int32_t width = kWidth;
  int32_t height = kHeight;
  int32_t monitors = 1;
  int32_t bitsPerPixel = 32;
  // Empty: one monitor of the primary screen's size.
  std::vector<MonitorInfo> monitorList;
};

// Installing null restores the headless implementation. Returns the host installed before.
ScreenHost* SetScreenHost(ScreenHost* host);
ScreenHost& GetScreenHost();

// Convenience wrappers over the installed host. The sizes are at least 1 and the monitor count
// at least 1 whatever the host reports.
int32_t GetPrimaryScreenWidth();
int32_t GetPrimaryScreenHeight();
int32_t GetMonitorCount();
int32_t GetDesktopBitsPerPixel();
// Every monitor, at least one (the primary screen at the origin when the host tells none).
std::vector<MonitorInfo> GetMonitors();
// The monitor that contains the point, else the one nearest to it (the first of equals).
MonitorInfo MonitorNearestPoint(int32_t x, int32_t y);

}  // namespace tf
