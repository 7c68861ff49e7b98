#include "platform/Screen.h"

#include <algorithm>

namespace tf {
namespace {

HeadlessScreenHost g_headless;
ScreenHost* g_screen = &g_headless;

}  // namespace

ScreenHost* SetScreenHost(ScreenHost* host) {
  ScreenHost* previous = g_screen;
  g_screen = host ? host : &g_headless;
  return previous;
}

ScreenHost& GetScreenHost() { return *g_screen; }

int32_t GetPrimaryScreenWidth() { return std::max<int32_t>(1, g_screen->PrimaryScreenWidth()); }
int32_t GetPrimaryScreenHeight() { return std::max<int32_t>(1, g_screen->PrimaryScreenHeight()); }
int32_t GetMonitorCount() { return std::max<int32_t>(1, g_screen->MonitorCount()); }
int32_t GetDesktopBitsPerPixel() { return g_screen->DesktopBitsPerPixel(); }

}  // namespace tf
