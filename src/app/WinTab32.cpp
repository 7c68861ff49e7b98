#include "app/WinTab32.h"

#include "platform/Debug.h"
#include "platform/Screen.h"
#include "platform/Window.h"

namespace tf {

TWinTab32::TWinTab32(bool load, int32_t tabletType) : tabletType_(tabletType) {
  if (load) LoadLibrary();
}

TWinTab32::~TWinTab32() { Close(); }

bool TWinTab32::LoadLibrary() {
  if (loaded_) return true;
  driver_ = GetTabletDriver();
  if (driver_ == nullptr) return false;
  loaded_ = true;
  return true;
}

bool TWinTab32::Open(WindowHandle window, TabletDriver::MessageSink sink) {
  if (!loaded_) return false;
  if (context_ != 0) return true;
  if (!driver_->Present()) return false;
  owner = window;

  ScreenRect screen = GetWindowHost().VirtualScreen();
  if (screen.width <= 0 || screen.height <= 0) {
    screen = {0, 0, GetPrimaryScreenWidth(), GetPrimaryScreenHeight()};
  }

  STabletAxis axis;
  xMaximum = driver_->DeviceAxis(TabletAxis::kX, axis) ? axis.maximum : 0;
  yMaximum = driver_->DeviceAxis(TabletAxis::kY, axis) ? axis.maximum : 0;
  pressureMaximum = driver_->DeviceAxis(TabletAxis::kNormalPressure, axis) ? axis.maximum : 0;
  STabletAxis orientation[3] = {};
  if (!driver_->OrientationAxes(orientation)) {
    for (STabletAxis& a : orientation) a = {};
  }
  azimuthPresent = orientation[0].maximum != 0;
  altitudePresent = orientation[1].maximum != 0;
  twistPresent = orientation[2].maximum != 0;
  azimuthMaximum = azimuthPresent ? orientation[0].maximum : 0xFFFF;
  altitudeMaximum = altitudePresent ? orientation[1].maximum : 0xFFFF;
  twistMaximum = twistPresent ? orientation[2].maximum : 0xFFFF;

  STabletContext request;
  driver_->DefaultContext(request);
  request.messageBase = kTabletPacketMessage;
  request.packetData = kTabletAllPacketItems;
  request.moveMask = kTabletAllPacketItems;
  request.packetMode = 0;
  request.buttonUpMask = request.buttonDownMask;
  request.options |= kTabletOptionSystem | kTabletOptionMessages;
  request.outOriginX = 0;
  request.outOriginY = 0;
  request.outExtentX = request.inExtentX;
  request.outExtentY = -request.inExtentY;
  request.screenOriginX = screen.left;
  request.screenOriginY = screen.top;
  request.screenExtentX = screen.width;
  request.screenExtentY = screen.height;
  context = request;

  context_ = driver_->Open(window, request, std::move(sink));
  if (context_ == 0) return false;
  driver_->GetContext(context_, context);
  if (context.outExtentX == 0 || context.outExtentY == 0) {
    // Positions would divide by zero.
    DebugOut("The tablet context has an output extent of 0; it is not used.\n");
    Close();
    return false;
  }
  return true;
}

void TWinTab32::Close() {
  if (context_ != 0 && driver_ != nullptr) driver_->Close(context_);
  context_ = 0;
}

bool TWinTab32::Decode(const STabletMessage& message, STabletDecoded& out) {
  bool result = false;
  out.packet = false;
  if (message.message == kTabletPacketMessage) {
    STabletPacket packet;
    if (context_ != 0 &&
        driver_->Packet(static_cast<TabletContextHandle>(message.lParam), static_cast<uint32_t>(message.wParam),
                        packet)) {
      out.packet = true;
      // 64-bit products: wide screens and fine output extents overflow 32 bits.
      const int64_t dx = (static_cast<int64_t>(packet.x) - context.screenOriginX) * context.screenExtentX;
      const int64_t dy = (static_cast<int64_t>(context.screenOriginY) - packet.y) * context.screenExtentY;
      if (context.outExtentX != 0 && context.outExtentY != 0) {
        screenX = static_cast<float>(context.screenOriginX + static_cast<double>(dx) / context.outExtentX);
        screenY = static_cast<float>(context.screenOriginY + static_cast<double>(dy) / context.outExtentY);
      }
      pressure = static_cast<int32_t>(packet.normalPressure);
      twist = packet.twist;
      altitude = packet.altitude;
      azimuth = packet.azimuth;
      buttons = packet.buttons;
    }
    result = true;
  } else if (message.message == kTabletProximityMessage) {
    inRange = (static_cast<uintptr_t>(message.lParam) & 0xFFFF) != 0;
    result = true;
  }
  if (tabletType_ == 0 && context_ != 0) driver_->RemovePackets(context_, 1);
  return result;
}

bool TWinTab32::Flush() {
  if (context_ == 0) return false;
  while (driver_->RemovePackets(context_, 1) != 0) {
  }
  return true;
}

bool TWinTab32::SetOrigin(int32_t x, int32_t y) {
  if (context_ == 0) return false;
  STabletContext value;
  if (!driver_->GetContext(context_, value)) return false;
  value.outOriginX = x;
  value.outOriginY = y;
  value.screenOriginX = x;
  value.screenOriginY = y;
  if (!driver_->SetContext(context_, value)) return false;
  context = value;
  return true;
}

float TWinTab32::PressureFraction() const {
  if (pressureMaximum == 0) return 0.0f;
  return static_cast<float>(pressure) / static_cast<float>(pressureMaximum);
}

float TWinTab32::AltitudeFraction() const {
  if (altitudeMaximum == 0) return 0.0f;
  return static_cast<float>(altitude) / static_cast<float>(altitudeMaximum);
}

}  // namespace tf
