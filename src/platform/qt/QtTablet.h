// The tablet driver on Qt: the window system's tablet events become packets of one context.
#pragma once
// Installed at start-up (SetTabletDriver). Tablet events are seen by an application event filter
// and left unaccepted, so Qt still makes the mouse events the system-cursor option of a context
// gives. Each becomes a packet: pressure out of 65535, orientation in tenths of a degree (a
// negative altitude for the eraser end), positions in sixteenths of a pixel so fractions survive.
// Proximity comes from Qt's proximity events or, where the window system sends none (X11), from
// the device of the pointer events.
#include <QObject>
#include <QPointer>
#include <cstdint>
#include <deque>
#include <functional>

#include "platform/Tablet.h"

class QInputDevice;
class QTabletEvent;

namespace tf {

class QtTabletDriver final : public QObject, public TabletDriver {
  Q_OBJECT
 public:
  // Positions are kept in sixteenths of a pixel; the pressure axis reaches 65535.
  static constexpr int32_t kSubPixel = 16;
  static constexpr int32_t kPressureMaximum = 65535;
  static constexpr size_t kQueueLimit = 256;

  // stylusPresent tells whether a stylus is among the input devices; without one it looks through
  // QInputDevice::devices().
  explicit QtTabletDriver(std::function<bool()> stylusPresent = {});
  ~QtTabletDriver() override;

  bool Present() override;
  bool DeviceAxis(TabletAxis axis, STabletAxis& out) override;
  bool OrientationAxes(STabletAxis out[3]) override;
  bool DefaultContext(STabletContext& out) override;
  // Refused when no stylus is present.
  TabletContextHandle Open(WindowHandle window, const STabletContext& context, MessageSink sink) override;
  bool Close(TabletContextHandle context) override;
  bool GetContext(TabletContextHandle context, STabletContext& out) override;
  bool SetContext(TabletContextHandle context, const STabletContext& value) override;
  bool Packet(TabletContextHandle context, uint32_t serial, STabletPacket& out) override;
  int32_t RemovePackets(TabletContextHandle context, int32_t count) override;

  // One tablet event as a packet of the open context (also for events a test makes).
  void TakeTabletEvent(const QTabletEvent& event);
  size_t QueuedPackets() const { return queue_.Size(); }
  bool InProximity() const { return inProximity_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Proximity(bool entering);

  std::function<bool()> stylusPresent_;
  MessageSink sink_;
  TabletContextHandle open_ = 0;
  STabletContext context_;
  TabletPacketQueue queue_{kQueueLimit};
  uint32_t nextSerial_ = 1;
  uint32_t buttons_ = 0;
  bool inProximity_ = false;
};

// A stylus is among the window system's input devices.
bool AnyStylusDevice();

}  // namespace tf
