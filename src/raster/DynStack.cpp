#include "raster/DynStack.h"

#include <cstring>

namespace tf {

CDynStack::CDynStack(int32_t itemSize, int32_t capacity) { DynArrayAlloc(buffer_, itemSize, capacity); }

CDynStack::~CDynStack() { DynArrayFree(buffer_); }

bool CDynStack::Reset() {
  overflow_ = false;
  count_ = 0;
  head_ = 0;
  return IsAllocated();
}

bool CDynStack::Push(const void* item) {
  if (!IsAllocated() || count_ >= buffer_.count) {
    overflow_ = true;
    return false;
  }
  // The slot after the newest item, wrapping round the end of the buffer.
  int32_t slot = head_ + count_;
  if (slot >= buffer_.count) slot -= buffer_.count;
  std::memcpy(
      static_cast<uint8_t*>(buffer_.data) + static_cast<size_t>(slot) * static_cast<size_t>(buffer_.itemSize),
      item, static_cast<size_t>(buffer_.itemSize));
  ++count_;
  return true;
}

bool CDynStack::PopFront(void* item) {
  if (count_ <= 0) return false;
  const auto* base = static_cast<const uint8_t*>(buffer_.data);
  std::memcpy(item, base + static_cast<size_t>(head_) * static_cast<size_t>(buffer_.itemSize),
              static_cast<size_t>(buffer_.itemSize));
  if (++head_ >= buffer_.count) head_ = 0;
  --count_;
  return true;
}

}  // namespace tf
