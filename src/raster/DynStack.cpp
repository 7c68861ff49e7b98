#include "raster/DynStack.h"

#include <cstring>

namespace tf {

CDynStack::CDynStack(int32_t itemSize, int32_t capacity) { DynArrayAlloc(buffer_, itemSize, capacity); }

CDynStack::~CDynStack() { DynArrayFree(buffer_); }

bool CDynStack::Reset() {
  overflow_ = false;
  count_ = 0;
  writeOffset_ = 0;
  return IsAllocated();
}

bool CDynStack::Push(const void* item) {
  if (!IsAllocated() || count_ >= buffer_.count) {
    overflow_ = true;
    return false;
  }
  std::memcpy(static_cast<uint8_t*>(buffer_.data) + writeOffset_, item, static_cast<size_t>(buffer_.itemSize));
  writeOffset_ += buffer_.itemSize;
  ++count_;
  return true;
}

bool CDynStack::PopFront(void* item) {
  if (count_ <= 0) return false;
  auto* base = static_cast<uint8_t*>(buffer_.data);
  size_t size = static_cast<size_t>(buffer_.itemSize);
  std::memcpy(item, base, size);
  std::memmove(base, base + size, static_cast<size_t>(count_ - 1) * size);
  writeOffset_ -= buffer_.itemSize;
  --count_;
  return true;
}

}  // namespace tf
