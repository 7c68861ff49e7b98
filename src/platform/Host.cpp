#include "platform/Host.h"

namespace tf {
namespace {

NullInputHost g_nullInput;
RecordingCursorHost g_nullCursor;
InputHost* g_input = &g_nullInput;
CursorHost* g_cursor = &g_nullCursor;

}  // namespace

InputHost* SetInputHost(InputHost* host) {
  InputHost* previous = g_input;
  g_input = host ? host : &g_nullInput;
  return previous;
}

CursorHost* SetCursorHost(CursorHost* host) {
  CursorHost* previous = g_cursor;
  g_cursor = host ? host : &g_nullCursor;
  return previous;
}

InputHost& GetInputHost() { return *g_input; }
CursorHost& GetCursorHost() { return *g_cursor; }

bool IsKeyDown(int32_t virtualKey) { return g_input->IsKeyDown(virtualKey); }

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
  return g_cursor->SetCursor(g_cursor->SystemCursorHandle(cursorId));
}

intptr_t SetWaitCursor() { return SetSystemCursor(kCursorWait); }

void RestoreCursor(intptr_t cursor) { g_cursor->SetCursor(cursor); }

}  // namespace tf
