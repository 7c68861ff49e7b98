#include "raster/WindowHelpers.h"

#include <exception>
#include <new>

#include "platform/Host.h"
#include "raster/SmallRoutines.h"

namespace tf {

bool ArrowKeyToStep(int32_t virtualKey, TPoint* step) {
  TPoint p{0, 0};
  switch (virtualKey) {
    case kVkLeft: p = TPoint{-1, 0}; break;
    case kVkUp: p = TPoint{0, -1}; break;
    case kVkRight: p = TPoint{1, 0}; break;
    case kVkDown: p = TPoint{0, 1}; break;
    default: return false;
  }
  if (step != nullptr) *step = p;
  return true;
}

bool KeepWindowOnScreen(WindowHandle window, TPoint& position) { return FitWindowToScreen(window, position); }

std::unique_ptr<GlobalBlock> StreamToGlobal(Stream& stream, int64_t count) {
  if (count <= 0) return nullptr;
  const int64_t size = stream.Size();
  const int64_t position = stream.Position();
  if (size >= 0 && position >= 0 && count > size - position) return nullptr;
  std::unique_ptr<GlobalBlock> block(new (std::nothrow) GlobalBlock());
  if (!block) return nullptr;
  try {
    block->assign(static_cast<size_t>(count), 0);
  } catch (const std::exception&) {
    return nullptr;
  }
  if (!stream.ReadExact(block->data(), count)) return nullptr;
  return block;
}

}  // namespace tf
