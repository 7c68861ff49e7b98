#include "platform/Screen.h"

#include <algorithm>

#include "platform/HostSlot.h"

namespace tf {
namespace {

using Slot = HostSlot<ScreenHost, HeadlessScreenHost>;

}  // namespace

ScreenHost* SetScreenHost(ScreenHost* host) { return Slot::Install(host); }
ScreenHost& GetScreenHost() { return Slot::Get(); }

int32_t GetPrimaryScreenWidth() { return std::max<int32_t>(1, Slot::Get().PrimaryScreenWidth()); }
int32_t GetPrimaryScreenHeight() { return std::max<int32_t>(1, Slot::Get().PrimaryScreenHeight()); }
int32_t GetMonitorCount() { return std::max<int32_t>(1, Slot::Get().MonitorCount()); }
int32_t GetDesktopBitsPerPixel() { return Slot::Get().DesktopBitsPerPixel(); }

std::vector<MonitorInfo> GetMonitors() {
  std::vector<MonitorInfo> monitors = Slot::Get().Monitors();
  if (monitors.empty()) {
    const ScreenRect primary{0, 0, GetPrimaryScreenWidth(), GetPrimaryScreenHeight()};
    monitors.push_back({primary, primary});
  }
  return monitors;
}

namespace {

// Squared distance from the point to the rectangle (0 inside), in 64 bits.
int64_t DistanceSquared(const ScreenRect& r, int32_t x, int32_t y) {
  auto axis = [](int64_t v, int64_t low, int64_t size) -> int64_t {
    if (v < low) return low - v;
    if (size <= 0) return v - low;
    if (v >= low + size) return v - (low + size - 1);
    return 0;
  };
  const int64_t dx = axis(x, r.left, r.width), dy = axis(y, r.top, r.height);
  return dx * dx + dy * dy;
}

}  // namespace

MonitorInfo MonitorNearestPoint(int32_t x, int32_t y) {
  const std::vector<MonitorInfo> monitors = GetMonitors();
  const MonitorInfo* best = &monitors.front();
  int64_t bestDistance = DistanceSquared(best->bounds, x, y);
  for (const MonitorInfo& m : monitors) {
    const int64_t d = DistanceSquared(m.bounds, x, y);
    if (d < bestDistance) {
      best = &m;
      bestDistance = d;
    }
  }
  return *best;
}

}  // namespace tf
