// The pen tablet driver as the program reaches it: presence, device axes, the default system
// context, open and close, reading and writing a context, a packet by its serial number, and
// taking packets off the queue.
#pragma once
// One driver is installed per process (none by default: the program then works with the mouse
// alone). The Qt driver (platform/qt/QtTablet.h) turns the window system's tablet events into
// packets; ScriptedTabletDriver below serves tests.
//
// A context maps the tablet's input area onto an output area; the packets' x and y are in output
// coordinates. The driver posts a packet message (base + 0, wParam the serial number, lParam the
// context) for every packet and a proximity message (base + 5, low word of lParam non-zero when the
// pen entered the range) to the message sink of the window the context was opened for.
#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

#include "platform/Window.h"

namespace tf {

using TabletContextHandle = uintptr_t;

// The context options the program sets: the system cursor follows the pen, and the driver posts
// messages.
inline constexpr uint32_t kTabletOptionSystem = 0x0001;
inline constexpr uint32_t kTabletOptionMessages = 0x0004;
// Every packet item (context, status, time, changed, serial, cursor, buttons, x, y, z, normal and
// tangent pressure, orientation).
inline constexpr uint32_t kTabletAllPacketItems = 0x1FFF;
// Message numbers of the program's contexts: packets at the base, proximity at base + 5.
inline constexpr uint32_t kTabletPacketMessage = 0x7FF0;
inline constexpr uint32_t kTabletProximityMessage = 0x7FF5;

struct STabletContext {
  uint32_t options = 0;
  uint32_t messageBase = 0;
  uint32_t packetData = 0;
  uint32_t packetMode = 0;  // bits set: items reported relative
  uint32_t moveMask = 0;
  uint32_t buttonDownMask = 0;
  uint32_t buttonUpMask = 0;
  int32_t inOriginX = 0, inOriginY = 0, inExtentX = 0, inExtentY = 0;
  int32_t outOriginX = 0, outOriginY = 0, outExtentX = 0, outExtentY = 0;
  int32_t screenOriginX = 0, screenOriginY = 0, screenExtentX = 0, screenExtentY = 0;
};

// One packet with every item.
struct STabletPacket {
  TabletContextHandle context = 0;
  uint32_t status = 0;
  uint32_t time = 0;
  uint32_t changed = 0;
  uint32_t serial = 0;
  uint32_t cursor = 0;
  uint32_t buttons = 0;
  int32_t x = 0, y = 0, z = 0;
  uint32_t normalPressure = 0;
  int32_t tangentPressure = 0;
  int32_t azimuth = 0, altitude = 0, twist = 0;  // tenths of a degree; altitude < 0: eraser end
};

// A message as the driver posts it and the main window's message hook passes it on.
struct STabletMessage {
  uint32_t message = 0;
  uintptr_t wParam = 0;
  intptr_t lParam = 0;
};

// One device axis: its range (a maximum of 0 means the axis is absent).
struct STabletAxis {
  int32_t minimum = 0;
  int32_t maximum = 0;
};

enum class TabletAxis : uint8_t { kX = 12, kY = 13, kNormalPressure = 15 };

class TabletDriver {
 public:
  using MessageSink = std::function<void(const STabletMessage&)>;

  virtual ~TabletDriver() = default;
  // A tablet service exists.
  virtual bool Present() = 0;
  // One device axis; false when the driver does not tell.
  virtual bool DeviceAxis(TabletAxis axis, STabletAxis& out) = 0;
  // Azimuth, altitude and twist; false when the driver does not tell.
  virtual bool OrientationAxes(STabletAxis out[3]) = 0;
  virtual bool DefaultContext(STabletContext& out) = 0;
  // Opens a context for the window; its messages go to the sink. 0 when refused.
  virtual TabletContextHandle Open(WindowHandle window, const STabletContext& context, MessageSink sink) = 0;
  virtual bool Close(TabletContextHandle context) = 0;
  virtual bool GetContext(TabletContextHandle context, STabletContext& out) = 0;
  virtual bool SetContext(TabletContextHandle context, const STabletContext& value) = 0;
  // The queued packet of that serial number; false when the queue no longer holds it.
  virtual bool Packet(TabletContextHandle context, uint32_t serial, STabletPacket& out) = 0;
  // Takes up to count packets off the front of the queue; answers how many it took.
  virtual int32_t RemovePackets(TabletContextHandle context, int32_t count) = 0;
};

// Installing null leaves the process without a driver. Returns the driver installed before.
TabletDriver* SetTabletDriver(TabletDriver* driver);
// Null when none is installed.
TabletDriver* GetTabletDriver();

// The packets a driver holds for its open context, oldest first, at most limit of them (0: no limit).
class TabletPacketQueue {
 public:
  explicit TabletPacketQueue(size_t limit = 0) : limit_(limit) {}
  // Appends the packet; at the limit the oldest goes.
  void Push(const STabletPacket& packet);
  // The packet of that serial number; false when it is no longer held.
  bool Find(uint32_t serial, STabletPacket& out) const;
  // Takes up to count packets off the front; answers how many it took.
  int32_t Remove(int32_t count);
  void Clear() { packets_.clear(); }
  size_t Size() const { return packets_.size(); }

 private:
  std::deque<STabletPacket> packets_;
  size_t limit_;
};

// A driver that does what the test tells: fixed axes and default context, a queue of packets the
// test posts, and a record of the contexts written.
class ScriptedTabletDriver final : public TabletDriver {
 public:
  ScriptedTabletDriver();

  bool Present() override { return present; }
  bool DeviceAxis(TabletAxis axis, STabletAxis& out) override;
  bool OrientationAxes(STabletAxis out[3]) override;
  bool DefaultContext(STabletContext& out) override;
  TabletContextHandle Open(WindowHandle window, const STabletContext& context, MessageSink sink) override;
  bool Close(TabletContextHandle context) override;
  bool GetContext(TabletContextHandle context, STabletContext& out) override;
  bool SetContext(TabletContextHandle context, const STabletContext& value) override;
  bool Packet(TabletContextHandle context, uint32_t serial, STabletPacket& out) override;
  int32_t RemovePackets(TabletContextHandle context, int32_t count) override;

  // Queues a packet (its context and serial are set here) and posts its message to the sink.
  // Answers the message.
  STabletMessage PostPacket(STabletPacket packet);
  // Posts a proximity message.
  STabletMessage PostProximity(bool entering);

  bool present = true;
  bool refuseOpen = false;
  STabletAxis x{0, 30000}, y{0, 20000}, pressure{0, 1023};
  STabletAxis orientation[3] = {{0, 3600}, {-900, 900}, {0, 3600}};
  bool hasOrientation = true;
  STabletContext defaultContext;
  // What the driver accepts of an opened context: when set, replaces it as read back.
  std::function<void(STabletContext&)> adjustOnOpen;

  // State the test reads.
  TabletContextHandle openContext = 0;
  STabletContext context;
  WindowHandle owner = 0;
  TabletPacketQueue queue;
  int32_t opens = 0;
  int32_t closes = 0;
  int32_t removed = 0;

 private:
  MessageSink sink_;
  uint32_t nextSerial_ = 1;
  TabletContextHandle nextHandle_ = 0x100;
};

}  // namespace tf
