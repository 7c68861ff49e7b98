// CDynStack: a fixed-capacity first-in first-out queue.
#pragma once
// CDynStack: a first-in first-out queue of fixed capacity (the work list of the seed fill).
// A push on a full queue drops the item and sets a sticky overflow flag. The items sit in a ring
// over the buffer, so taking the oldest one out costs the same at any fill level.
#include <cstdint>

#include "raster/DynArray.h"

namespace tf {

class CDynStack {
 public:
  // Room for capacity items of itemSize bytes; check IsAllocated.
  CDynStack(int32_t itemSize, int32_t capacity);
  ~CDynStack();
  CDynStack(const CDynStack&) = delete;
  CDynStack& operator=(const CDynStack&) = delete;

  bool IsAllocated() const { return DynArrayAssigned(buffer_); }
  // Empties the queue and clears the overflow flag; returns IsAllocated.
  bool Reset();
  // Appends a copy of the itemSize bytes at item. When full: false, the item is dropped and
  // the overflow flag set.
  bool Push(const void* item);
  // Takes the oldest item out; false when empty.
  bool PopFront(void* item);

  int32_t Count() const { return count_; }
  int32_t Capacity() const { return IsAllocated() ? buffer_.count : 0; }
  int32_t ItemSize() const { return buffer_.itemSize; }
  bool Overflow() const { return overflow_; }

 private:
  SDynArray buffer_;
  bool overflow_ = false;
  int32_t head_ = 0;  // slot of the oldest item
  int32_t count_ = 0;
};

}  // namespace tf
