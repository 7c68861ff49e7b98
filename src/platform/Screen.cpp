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

}  // namespace tf
