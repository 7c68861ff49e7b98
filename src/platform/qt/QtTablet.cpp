#include "platform/qt/QtTablet.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QInputDevice>
#include <QPointingDevice>
#include <QScreen>
#include <QTabletEvent>
#include <algorithm>
#include <cmath>

#include "platform/Clock.h"

namespace tf {

bool AnyStylusDevice() {
  for (const QInputDevice* device : QInputDevice::devices()) {
    if (device->type() == QInputDevice::DeviceType::Stylus || device->type() == QInputDevice::DeviceType::Airbrush) {
      return true;
    }
  }
  return false;
}

QtTabletDriver::QtTabletDriver(std::function<bool()> stylusPresent) : stylusPresent_(std::move(stylusPresent)) {
  if (QCoreApplication::instance() != nullptr) QCoreApplication::instance()->installEventFilter(this);
}

QtTabletDriver::~QtTabletDriver() = default;

bool QtTabletDriver::Present() { return stylusPresent_ ? stylusPresent_() : AnyStylusDevice(); }

bool QtTabletDriver::DeviceAxis(TabletAxis axis, STabletAxis& out) {
  STabletContext c;
  DefaultContext(c);
  switch (axis) {
    case TabletAxis::kX: out = {0, c.inExtentX - 1}; return true;
    case TabletAxis::kY: out = {0, c.inExtentY - 1}; return true;
    case TabletAxis::kNormalPressure: out = {0, kPressureMaximum}; return true;
  }
  return false;
}

bool QtTabletDriver::OrientationAxes(STabletAxis out[3]) {
  out[0] = {0, 3600};     // azimuth
  out[1] = {-900, 900};   // altitude
  out[2] = {0, 3600};     // twist
  return true;
}

bool QtTabletDriver::DefaultContext(STabletContext& out) {
  out = STabletContext();
  QRect area(0, 0, 1, 1);
  if (auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
    if (QScreen* screen = gui->primaryScreen()) area = screen->virtualGeometry();
  }
  out.inOriginX = area.left() * kSubPixel;
  out.inOriginY = area.top() * kSubPixel;
  out.inExtentX = std::max(1, area.width()) * kSubPixel;
  out.inExtentY = std::max(1, area.height()) * kSubPixel;
  out.outExtentX = out.inExtentX;
  out.outExtentY = out.inExtentY;
  out.screenOriginX = area.left();
  out.screenOriginY = area.top();
  out.screenExtentX = std::max(1, area.width());
  out.screenExtentY = std::max(1, area.height());
  out.buttonDownMask = 0x7;
  out.buttonUpMask = 0x7;
  return true;
}

TabletContextHandle QtTabletDriver::Open(WindowHandle, const STabletContext& context, MessageSink sink) {
  if (open_ != 0 || !Present()) return 0;
  if (context.inExtentX == 0 || context.inExtentY == 0) return 0;
  context_ = context;
  sink_ = std::move(sink);
  queue_.Clear();
  open_ = 1;
  return open_;
}

bool QtTabletDriver::Close(TabletContextHandle context) {
  if (context == 0 || context != open_) return false;
  open_ = 0;
  sink_ = nullptr;
  queue_.Clear();
  return true;
}

bool QtTabletDriver::GetContext(TabletContextHandle context, STabletContext& out) {
  if (context == 0 || context != open_) return false;
  out = context_;
  return true;
}

bool QtTabletDriver::SetContext(TabletContextHandle context, const STabletContext& value) {
  if (context == 0 || context != open_ || value.inExtentX == 0 || value.inExtentY == 0) return false;
  context_ = value;
  return true;
}

bool QtTabletDriver::Packet(TabletContextHandle context, uint32_t serial, STabletPacket& out) {
  if (context == 0 || context != open_) return false;
  return queue_.Find(serial, out);
}

int32_t QtTabletDriver::RemovePackets(TabletContextHandle context, int32_t count) {
  if (context == 0 || context != open_) return 0;
  return queue_.Remove(count);
}

void QtTabletDriver::TakeTabletEvent(const QTabletEvent& event) {
  if (open_ == 0) return;
  if (!inProximity_) Proximity(true);
  const QPointF global = event.globalPosition();
  // Input to output through the context; y grows downward for a negative output extent, as the
  // window system's coordinates already do.
  auto map = [](double pixel, int32_t inOrigin, int32_t inExtent, int32_t outOrigin, int32_t outExtent) {
    const double sub = pixel * kSubPixel - inOrigin;
    return static_cast<int32_t>(std::lround(outOrigin + sub * std::abs(static_cast<double>(outExtent)) / inExtent));
  };
  STabletPacket packet;
  packet.context = open_;
  packet.time = timeGetTime();
  packet.serial = nextSerial_++;
  packet.cursor = event.pointerType() == QPointingDevice::PointerType::Eraser ? 2 : 1;
  buttons_ = static_cast<uint32_t>(event.buttons().toInt()) & 0x7;
  packet.buttons = buttons_;
  packet.x = map(global.x(), context_.inOriginX, context_.inExtentX, context_.outOriginX, context_.outExtentX);
  packet.y = map(global.y(), context_.inOriginY, context_.inExtentY, context_.outOriginY, context_.outExtentY);
  packet.z = static_cast<int32_t>(event.z());
  packet.normalPressure = static_cast<uint32_t>(std::lround(std::clamp(event.pressure(), 0.0, 1.0) * kPressureMaximum));
  packet.tangentPressure = static_cast<int32_t>(std::lround(event.tangentialPressure() * 1023));
  const double tiltX = event.xTilt();
  const double tiltY = event.yTilt();
  double azimuth = std::atan2(-tiltY, tiltX) * 180.0 / M_PI;
  if (tiltX == 0 && tiltY == 0) azimuth = 0;
  if (azimuth < 0) azimuth += 360.0;
  const double tilt = std::min(90.0, std::hypot(tiltX, tiltY));
  packet.azimuth = static_cast<int32_t>(std::lround(azimuth * 10));
  packet.altitude = static_cast<int32_t>(std::lround((90.0 - tilt) * 10));
  if (event.pointerType() == QPointingDevice::PointerType::Eraser) packet.altitude = -packet.altitude;
  packet.twist = static_cast<int32_t>(std::lround(std::fmod(event.rotation() + 360.0, 360.0) * 10));
  queue_.Push(packet);
  if (sink_) sink_({context_.messageBase, packet.serial, static_cast<intptr_t>(open_)});
}

void QtTabletDriver::Proximity(bool entering) {
  if (inProximity_ == entering) return;
  inProximity_ = entering;
  if (open_ != 0 && sink_) {
    sink_({context_.messageBase + 5, static_cast<uintptr_t>(open_), entering ? 1 : 0});
  }
}

bool QtTabletDriver::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
      // Once per event, at its window; left unaccepted so Qt makes the mouse events.
      if (watched->isWindowType()) TakeTabletEvent(*static_cast<QTabletEvent*>(event));
      break;
    case QEvent::TabletEnterProximity: Proximity(true); break;
    case QEvent::TabletLeaveProximity: Proximity(false); break;
    case QEvent::MouseMove:
    case QEvent::MouseButtonPress:
      if (watched->isWindowType()) {
        // X11 sends no proximity events: a pointer event of the mouse means the pen left.
        const auto* pointer = static_cast<QPointerEvent*>(event);
        const bool stylus = pointer->device() != nullptr &&
                            (pointer->device()->type() == QInputDevice::DeviceType::Stylus ||
                             pointer->device()->type() == QInputDevice::DeviceType::Airbrush);
        if (!stylus && inProximity_ && pointer->device() != nullptr &&
            pointer->device()->type() == QInputDevice::DeviceType::Mouse) {
          Proximity(false);
        }
      }
      break;
    default: break;
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace tf
