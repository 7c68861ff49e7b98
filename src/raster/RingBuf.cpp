#include "raster/RingBuf.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "platform/Memory.h"

namespace tf {

int32_t CRingBuf::ByteSize(int32_t itemSize, int32_t count, int32_t extra) {
  if (itemSize < 0 || count < 0 || extra < 0) return -1;
  int64_t bytes = int64_t{itemSize} * (int64_t{count} + extra);
  return bytes > std::numeric_limits<int32_t>::max() ? -1 : static_cast<int32_t>(bytes);
}

bool CRingBuf::Setup(int32_t itemSize, int32_t count, int32_t extra) {
  if (count < 1 || itemSize < 1 || extra < 0) return false;
  FreeBuffer();
  int32_t bytes = ByteSize(itemSize, count, extra);
  itemSize_ = itemSize;
  slotCount_ = count;
  extra_ = extra;
  blockBytes_ = bytes < 0 ? 0 : bytes;
  if (bytes < 0 || !TryGetZeroMem(block_, bytes)) return false;
  cursor_ = 0;
  back_ = 0;
  forward_ = 0;
  return true;
}

bool CRingBuf::Reset() {
  if (!IsReady()) return false;
  cursor_ = 0;
  back_ = 0;
  forward_ = 0;
  return true;
}

void CRingBuf::FreeBuffer() {
  FreeMem(block_);
  block_ = nullptr;
  blockBytes_ = 0;
  itemSize_ = 0;
  slotCount_ = 0;
  extra_ = 0;
  back_ = 0;
  forward_ = 0;
  cursor_ = 0;
}

int32_t CRingBuf::ClearForward() {
  if (!IsReady()) return 0;
  int32_t cleared = forward_;
  forward_ = 0;
  return cleared;
}

uint8_t* CRingBuf::SlotAt(int32_t steps) const {
  int32_t total = TotalSlots();
  int32_t slot = static_cast<int32_t>(((int64_t{cursor_} + steps) % total + total) % total);
  return block_ + static_cast<int64_t>(slot) * itemSize_;
}

bool CRingBuf::Put(const void* item) {
  if (!IsReady()) return false;
  std::memcpy(SlotAt(0), item, static_cast<size_t>(itemSize_));
  if (back_ == 0) back_ = 1;
  return true;
}

bool CRingBuf::Push(const void* item) {
  if (!IsReady()) return false;
  cursor_ = (cursor_ + 1) % TotalSlots();
  std::memcpy(SlotAt(0), item, static_cast<size_t>(itemSize_));
  back_ = std::min(back_ + 1, slotCount_);
  forward_ = 0;
  return true;
}

bool CRingBuf::Drop() {
  if (!IsReady() || back_ == 0) return false;
  cursor_ = (cursor_ + TotalSlots() - 1) % TotalSlots();
  --back_;
  forward_ = 0;
  return true;
}

bool CRingBuf::Back() {
  if (!IsReady() || back_ == 0) return false;
  cursor_ = (cursor_ + TotalSlots() - 1) % TotalSlots();
  --back_;
  ++forward_;
  return true;
}

bool CRingBuf::Forward() {
  if (!IsReady() || forward_ == 0) return false;
  cursor_ = (cursor_ + 1) % TotalSlots();
  ++back_;
  --forward_;
  return true;
}

bool CRingBuf::Read(void* item) const {
  if (!IsReady() || back_ == 0) return false;
  std::memcpy(item, SlotAt(0), static_cast<size_t>(itemSize_));
  return true;
}

bool CRingBuf::Peek(int32_t offset, void* item) const {
  if (!IsReady() || back_ == 0) return false;
  if (offset < 0 && -int64_t{offset} > back_ - 1) return false;
  if (offset > 0 && offset > forward_) return false;
  std::memcpy(item, SlotAt(offset), static_cast<size_t>(itemSize_));
  return true;
}

bool CRingBuf::Resize(int32_t count, int32_t extra) {
  if (count == slotCount_ && extra == extra_ && IsReady()) return true;
  if (count <= 0 || extra < 0 || itemSize_ <= 0) return false;
  int32_t keepBack = std::min(back_, count);
  int32_t keepForward = std::min(forward_, extra);
  if (keepForward > 0 && keepBack < 1) return false;
  int32_t bytes = ByteSize(itemSize_, count, extra);
  uint8_t* block = nullptr;
  if (bytes <= 0 || !TryGetZeroMem(block, bytes)) return false;
  size_t size = static_cast<size_t>(itemSize_);
  // The newest keepBack items behind the cursor, oldest first, then the nearest ahead.
  int32_t slot = 0;
  for (int32_t i = keepBack - 1; i >= 0; --i) std::memcpy(block + size * slot++, SlotAt(-i), size);
  for (int32_t j = 1; j <= keepForward; ++j) std::memcpy(block + size * slot++, SlotAt(j), size);
  FreeMem(block_);
  block_ = block;
  blockBytes_ = bytes;
  slotCount_ = count;
  extra_ = extra;
  back_ = keepBack;
  forward_ = keepForward;
  cursor_ = keepBack > 0 ? keepBack - 1 : 0;
  return true;
}

int32_t CRingBufDWORD::Current() const {
  if (!IsReady()) return 0;
  int32_t value;
  std::memcpy(&value, SlotAt(0), 4);
  return value;
}

bool CRingBufDWORD::Peek(int32_t offset, int32_t& value) const {
  if (CRingBuf::Peek(offset, &value)) return true;
  value = 0;
  return false;
}

}  // namespace tf
