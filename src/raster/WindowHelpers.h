// Small helpers around windows: an arrow key as a one-pixel step, keeping a window on the
// virtual screen, and a stream's next bytes as a block for the clipboard.
#pragma once
// The clipboard's own wrappers (formats, delayed rendering, reading) are platform/ClipboardFormats.h.
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/Stream.h"
#include "platform/Window.h"
#include "raster/Geometry.h"

namespace tf {

// Left (-1, 0), up (0, -1), right (1, 0), down (0, 1), written to step when given; true. Any other
// key: false, step untouched.
bool ArrowKeyToStep(int32_t virtualKey, TPoint* step);

// The top-left position that keeps the window's rectangle inside the virtual screen; true when it
// differs from the current one. Only computes (moving is the caller's). A window larger than the
// virtual screen goes to the screen's left or top edge, so that one saved on a monitor that is
// gone stays reachable. False, position untouched, when the window or the screen is unknown.
bool KeepWindowOnScreen(WindowHandle window, TPoint& position);

// A block for the clipboard.
using GlobalBlock = std::vector<uint8_t>;

// A new zero-filled block holding the stream's next count bytes. Null when count is 0 or negative,
// when the stream (knowing its size) has fewer bytes left, when the block cannot be allocated, or
// when fewer bytes could be read.
std::unique_ptr<GlobalBlock> StreamToGlobal(Stream& stream, int64_t count);

}  // namespace tf
