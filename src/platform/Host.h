// The host services of the window system: key and button state, cursors.
#pragma once
// Services of the window system that the core reaches through interfaces it owns.
// The core installs null implementations (no key down, cursor changes only recorded);
// the application installs the window-system ones at start-up, tests install scripted ones.
#include <cstdint>
#include <vector>

namespace tf {

// Virtual-key codes the program uses. Settings and shortcuts store these values, so a code
// never changes.
enum VirtualKey : int32_t {
  kVkLeftButton = 0x01,
  kVkRightButton = 0x02,
  kVkMiddleButton = 0x04,
  kVkBack = 0x08,
  kVkTab = 0x09,
  kVkReturn = 0x0D,
  kVkShift = 0x10,
  kVkControl = 0x11,
  kVkMenu = 0x12,  // Alt
  kVkEscape = 0x1B,
  kVkSpace = 0x20,
  kVkPrior = 0x21,
  kVkNext = 0x22,
  kVkEnd = 0x23,
  kVkHome = 0x24,
  kVkLeft = 0x25,
  kVkUp = 0x26,
  kVkRight = 0x27,
  kVkDown = 0x28,
  kVkInsert = 0x2D,
  kVkDelete = 0x2E,
  kVk0 = 0x30,
  kVkA = 0x41,
  kVkNumpad0 = 0x60,
  kVkF1 = 0x70,
  kVkLeftShift = 0xA0,
  kVkRightShift = 0xA1,
  kVkLeftControl = 0xA2,
  kVkRightControl = 0xA3,
  kVkLeftMenu = 0xA4,
  kVkRightMenu = 0xA5,
};

// Bits of GetShiftButtons.
enum ShiftButton : uint32_t {
  kShiftKey = 1,
  kAltKey = 2,
  kCtrlKey = 4,
  kLeftButton = 8,
  kRightButton = 16,
  kMiddleButton = 32,
};

// Cursor ids of the system cursors the program uses.
enum SystemCursor : int32_t {
  kCursorArrow = 32512,
  kCursorIBeam = 32513,
  kCursorWait = 32514,
  kCursorCross = 32515,
  kCursorSizeAll = 32646,
  kCursorNo = 32648,
  kCursorHand = 32649,
};

// Key and mouse-button state of the window system.
class InputHost {
 public:
  virtual ~InputHost() = default;
  virtual bool IsKeyDown(int32_t virtualKey) = 0;
};

// The calling thread's cursor. A cursor handle is an opaque id: a system cursor id or one
// the application made; 0 means none.
class CursorHost {
 public:
  virtual ~CursorHost() = default;
  // Shows the given cursor and returns the one shown before.
  virtual intptr_t SetCursor(intptr_t cursor) = 0;
  // The handle of a system cursor.
  virtual intptr_t SystemCursorHandle(int32_t cursorId) = 0;
};

// Null implementations: no key is down; cursors are recorded so tests can see them.
class NullInputHost final : public InputHost {
 public:
  bool IsKeyDown(int32_t) override { return false; }
};

class RecordingCursorHost final : public CursorHost {
 public:
  intptr_t SetCursor(intptr_t cursor) override {
    intptr_t previous = current_;
    current_ = cursor;
    history_.push_back(cursor);
    return previous;
  }
  intptr_t SystemCursorHandle(int32_t cursorId) override { return cursorId; }
  intptr_t Current() const { return current_; }
  const std::vector<intptr_t>& History() const { return history_; }
  void Clear() {
    current_ = 0;
    history_.clear();
  }

 private:
  intptr_t current_ = 0;
  std::vector<intptr_t> history_;
};

// Installing null restores the null implementation. Each returns the host installed before.
InputHost* SetInputHost(InputHost* host);
CursorHost* SetCursorHost(CursorHost* host);
InputHost& GetInputHost();
CursorHost& GetCursorHost();

// True while the key is down.
bool IsKeyDown(int32_t virtualKey);
// Modifier keys and mouse buttons now down: Shift 1, Alt 2, Ctrl 4, left 8, right 16, middle 32.
uint32_t GetShiftButtons();
// Shows a system cursor; returns the cursor shown before.
intptr_t SetSystemCursor(int32_t cursorId);
// Shows the hourglass; long operations restore the returned cursor when done.
intptr_t SetWaitCursor();
// Restores a cursor returned by SetSystemCursor or SetWaitCursor.
void RestoreCursor(intptr_t cursor);

// Shows the hourglass for the lifetime of the object, restoring the previous cursor also on failure.
class WaitCursor {
 public:
  WaitCursor() : previous_(SetWaitCursor()) {}
  ~WaitCursor() { RestoreCursor(previous_); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  intptr_t previous_;
};

}  // namespace tf
