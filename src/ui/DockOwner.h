// What the docking manager asks of the window that owns it (the main window), and the message
// record it passes to the views.
#pragma once
// The main window fills DockFloatOwner and owns one TDockFloatManager (ui/DockFloat.h). It:
//  - hides every floating form with HideAll when its own window hides (or minimises) and shows
//    them again with ShowAll when it comes back;
//  - offers a wheel turn that none of its widgets took to Broadcast (code kDockMouseWheel)
//    before its own handling; Broadcast falls back on DockOwnerAnswer when no view answers.
#include <QWidget>
#include <cstdint>

#include "raster/Geometry.h"

namespace tf {

// A message offered to every view: code, two parameters, and the answer (0: not taken).
struct SDockMessage {
  uint32_t code = 0;
  intptr_t wParam = 0;
  intptr_t lParam = 0;
  intptr_t result = 0;
};

// A mouse-wheel turn: wParam holds the turn (120 a notch, positive away from the user) in its
// high 16 bits and the buttons and keys (DockWheelKeys) in the low ones; lParam the pointer's
// screen position, x in the low 16 bits and y in the next 16 (both signed).
inline constexpr uint32_t kDockMouseWheel = 0xB043;
enum : uint32_t { kWheelKeyLeftButton = 0x1, kWheelKeyRightButton = 0x2, kWheelKeyShift = 0x4,
                  kWheelKeyControl = 0x8, kWheelKeyMiddleButton = 0x10 };
SDockMessage MakeWheelMessage(int32_t delta, uint32_t keys, int32_t screenX, int32_t screenY);
// The parts of a wheel message.
int32_t WheelDelta(const SDockMessage& message);
uint32_t WheelKeys(const SDockMessage& message);
int32_t WheelScreenX(const SDockMessage& message);
int32_t WheelScreenY(const SDockMessage& message);

class DockFloatOwner {
 public:
  virtual ~DockFloatOwner() = default;
  // The owner's window: the parent of every floating form (they stay above it).
  virtual QWidget* DockOwnerWindow() = 0;
  // The document area (the client area of the document windows' frame) in screen coordinates,
  // which floating forms snap inside; false when there is none.
  virtual bool DockOwnerDocumentArea(TRect& screenRect) = 0;
  // The active document window's answer to a message no view took: sets message.result and
  // returns true, or false when no document window is active.
  virtual bool DockOwnerAnswer(SDockMessage& message) = 0;
  // Gives the keyboard focus back to the owner's window (after ShowAll).
  virtual void DockOwnerFocus() = 0;
};

}  // namespace tf
