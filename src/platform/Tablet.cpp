#include "platform/Tablet.h"

namespace tf {

namespace {
TabletDriver* gDriver = nullptr;
}

TabletDriver* SetTabletDriver(TabletDriver* driver) {
  TabletDriver* before = gDriver;
  gDriver = driver;
  return before;
}

TabletDriver* GetTabletDriver() { return gDriver; }

void TabletPacketQueue::Push(const STabletPacket& packet) {
  if (limit_ != 0 && packets_.size() >= limit_) packets_.pop_front();
  packets_.push_back(packet);
}

bool TabletPacketQueue::Find(uint32_t serial, STabletPacket& out) const {
  for (const STabletPacket& packet : packets_) {
    if (packet.serial == serial) {
      out = packet;
      return true;
    }
  }
  return false;
}

int32_t TabletPacketQueue::Remove(int32_t count) {
  int32_t taken = 0;
  while (taken < count && !packets_.empty()) {
    packets_.pop_front();
    ++taken;
  }
  return taken;
}

ScriptedTabletDriver::ScriptedTabletDriver() {
  defaultContext.options = 0;
  defaultContext.inExtentX = x.maximum + 1;
  defaultContext.inExtentY = y.maximum + 1;
  defaultContext.outExtentX = x.maximum + 1;
  defaultContext.outExtentY = y.maximum + 1;
  defaultContext.screenExtentX = 1920;
  defaultContext.screenExtentY = 1080;
}

bool ScriptedTabletDriver::DeviceAxis(TabletAxis axis, STabletAxis& out) {
  switch (axis) {
    case TabletAxis::kX: out = x; return true;
    case TabletAxis::kY: out = y; return true;
    case TabletAxis::kNormalPressure: out = pressure; return true;
  }
  return false;
}

bool ScriptedTabletDriver::OrientationAxes(STabletAxis out[3]) {
  if (!hasOrientation) {
    for (int i = 0; i < 3; ++i) out[i] = {};
    return true;
  }
  for (int i = 0; i < 3; ++i) out[i] = orientation[i];
  return true;
}

bool ScriptedTabletDriver::DefaultContext(STabletContext& out) {
  out = defaultContext;
  return present;
}

TabletContextHandle ScriptedTabletDriver::Open(WindowHandle window, const STabletContext& value, MessageSink sink) {
  if (!present || refuseOpen) return 0;
  ++opens;
  owner = window;
  context = value;
  if (adjustOnOpen) adjustOnOpen(context);
  sink_ = std::move(sink);
  openContext = nextHandle_++;
  return openContext;
}

bool ScriptedTabletDriver::Close(TabletContextHandle handle) {
  if (handle == 0 || handle != openContext) return false;
  ++closes;
  openContext = 0;
  sink_ = nullptr;
  queue.Clear();
  return true;
}

bool ScriptedTabletDriver::GetContext(TabletContextHandle handle, STabletContext& out) {
  if (handle == 0 || handle != openContext) return false;
  out = context;
  return true;
}

bool ScriptedTabletDriver::SetContext(TabletContextHandle handle, const STabletContext& value) {
  if (handle == 0 || handle != openContext) return false;
  context = value;
  return true;
}

bool ScriptedTabletDriver::Packet(TabletContextHandle handle, uint32_t serial, STabletPacket& out) {
  if (handle == 0 || handle != openContext) return false;
  return queue.Find(serial, out);
}

int32_t ScriptedTabletDriver::RemovePackets(TabletContextHandle handle, int32_t count) {
  if (handle == 0 || handle != openContext) return 0;
  const int32_t taken = queue.Remove(count);
  removed += taken;
  return taken;
}

STabletMessage ScriptedTabletDriver::PostPacket(STabletPacket packet) {
  packet.context = openContext;
  packet.serial = nextSerial_++;
  queue.Push(packet);
  STabletMessage message{context.messageBase, packet.serial, static_cast<intptr_t>(openContext)};
  if (sink_) sink_(message);
  return message;
}

STabletMessage ScriptedTabletDriver::PostProximity(bool entering) {
  STabletMessage message{context.messageBase + 5, static_cast<uintptr_t>(openContext), entering ? 1 : 0};
  if (sink_) sink_(message);
  return message;
}

}  // namespace tf
