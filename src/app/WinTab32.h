// The tablet object of the main window: one system context over the installed tablet driver,
// and the decoding of its packet and proximity messages.
#pragma once
// "Loaded" means a driver is installed (platform/Tablet.h) and the settings do not ignore the
// tablet. The main window opens the context while the application is active and closes it when
// the application is deactivated; Decode turns each message of the context into a fractional
// screen position, pressure, orientation and buttons.
#include <cstdint>

#include "platform/Tablet.h"

namespace tf {

// What Decode read: whether the message carried a packet.
struct STabletDecoded {
  bool packet = false;
};

class TWinTab32 {
 public:
  // Stores the type (0 tablet 1, 1 tablet 2) and loads the driver when load is set.
  TWinTab32(bool load, int32_t tabletType);
  ~TWinTab32();
  TWinTab32(const TWinTab32&) = delete;
  TWinTab32& operator=(const TWinTab32&) = delete;

  // True when a driver is installed (also when already loaded).
  bool LoadLibrary();
  bool IsLoaded() const { return loaded_; }
  bool IsOpen() const { return loaded_ && context_ != 0; }
  // Opens a context for the window; its messages go to the sink. True when one is open. A
  // context whose output extent is 0 is refused (closed again): its positions cannot be decoded.
  bool Open(WindowHandle window, TabletDriver::MessageSink sink);
  void Close();
  // True for a packet or proximity message; out tells whether a packet was read. With tablet type
  // 0 every message passed here takes one packet off the driver's queue.
  bool Decode(const STabletMessage& message, STabletDecoded& out);
  // Discards every queued packet; whether a context is open.
  bool Flush();
  // Moves the context's output and screen origins; true when the context took it.
  bool SetOrigin(int32_t x, int32_t y);
  // Pressure and altitude as fractions of their maxima (0 for a maximum of 0); the altitude is
  // negative when the pen is upside down.
  float PressureFraction() const;
  float AltitudeFraction() const;

  int32_t TabletType() const { return tabletType_; }
  void SetTabletType(int32_t type) { tabletType_ = type; }

  // The last packet, decoded.
  float screenX = 0.0f;
  float screenY = 0.0f;
  int32_t pressure = 0;
  int32_t twist = 0;
  int32_t altitude = 0;
  int32_t azimuth = 0;
  uint32_t buttons = 0;
  bool inRange = false;

  // Device maxima read at Open; orientation maxima are 0xFFFF when the device reports 0.
  int32_t pressureMaximum = 0;
  int32_t xMaximum = 0;
  int32_t yMaximum = 0;
  int32_t azimuthMaximum = 0;
  int32_t altitudeMaximum = 0;
  int32_t twistMaximum = 0;
  bool azimuthPresent = false;
  bool altitudePresent = false;
  bool twistPresent = false;
  // The context as requested and as read back.
  STabletContext context;
  WindowHandle owner = 0;

 private:
  int32_t tabletType_;
  bool loaded_ = false;
  TabletDriver* driver_ = nullptr;
  TabletContextHandle context_ = 0;
};

}  // namespace tf
