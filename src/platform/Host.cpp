#include "platform/Host.h"

#include "platform/HostSlot.h"

namespace tf {
namespace {

using InputSlot = HostSlot<InputHost, NullInputHost>;
using CursorSlot = HostSlot<CursorHost, RecordingCursorHost>;

}  // namespace

InputHost* SetInputHost(InputHost* host) { return InputSlot::Install(host); }
CursorHost* SetCursorHost(CursorHost* host) { return CursorSlot::Install(host); }
InputHost& GetInputHost() { return InputSlot::Get(); }
CursorHost& GetCursorHost() { return CursorSlot::Get(); }

bool IsKeyDown(int32_t virtualKey) { return GetInputHost().IsKeyDown(virtualKey); }

uint32_t GetShiftButtons() {
  uint32_t bits = 0;
  if (IsKeyDown(kVkShift)) bits |= kShiftKey;
  if (IsKeyDown(kVkMenu)) bits |= kAltKey;
  if (IsKeyDown(kVkControl)) bits |= kCtrlKey;
  if (IsKeyDown(kVkLeftButton)) bits |= kLeftButton;
  if (IsKeyDown(kVkRightButton)) bits |= kRightButton;
  if (IsKeyDown(kVkMiddleButton)) bits |= kMiddleButton;
  return bits;
}

intptr_t SetSystemCursor(int32_t cursorId) {
  CursorHost& cursor = GetCursorHost();
  return cursor.SetCursor(cursor.SystemCursorHandle(cursorId));
}

intptr_t SetWaitCursor() { return SetSystemCursor(kCursorWait); }

void RestoreCursor(intptr_t cursor) { GetCursorHost().SetCursor(cursor); }

}  // namespace tf
