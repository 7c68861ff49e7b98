#include "platform/Window.h"

#include "platform/HostSlot.h"

namespace tf {
namespace {

using Slot = HostSlot<WindowHost, NullWindowHost>;

}  // namespace

WindowHost* SetWindowHost(WindowHost* host) { return Slot::Install(host); }
WindowHost& GetWindowHost() { return Slot::Get(); }

}  // namespace tf
