// Raw memory blocks that report failure with null (TryGetMem, FreeMem).
#pragma once
// Raw memory blocks that report failure with null instead of raising.
// Blocks from TryGetMem and TryReallocMem are released with FreeMem (never delete).
#include <cstdint>

namespace tf {

// Largest block TryGetMem hands out; larger requests fail without asking the allocator.
inline constexpr int64_t kMaxMemBlock = int64_t{1} << 40;

// Allocates size bytes (contents undefined). False with the pointer null when size is 0 or less,
// too large, or the allocation fails. Never raises.
bool TryGetMem(void*& pointer, int64_t size);
// The size rule and the refusal hook of these allocators, for allocators built on other memory:
// false when an allocation of size bytes is to fail.
bool AllocationAllowed(int64_t size);

// As TryGetMem, with every byte zero.
bool TryGetZeroMem(void*& pointer, int64_t size);

// Changes the size of a block from TryGetMem (null is allowed and allocates), keeping the
// contents up to the smaller size. On failure false and the block is unchanged. A new size of
// 0 or less frees the block, sets the pointer null and answers false.
bool TryReallocMem(void*& pointer, int64_t newSize);

// Releases a block from TryGetMem or TryReallocMem; null is fine.
void FreeMem(void* pointer);

// Typed conveniences.
template <typename T>
bool TryGetMem(T*& pointer, int64_t size) {
  void* p = nullptr;
  bool ok = TryGetMem(p, size);
  pointer = static_cast<T*>(p);
  return ok;
}

template <typename T>
bool TryGetZeroMem(T*& pointer, int64_t size) {
  void* p = nullptr;
  bool ok = TryGetZeroMem(p, size);
  pointer = static_cast<T*>(p);
  return ok;
}

template <typename T>
bool TryReallocMem(T*& pointer, int64_t newSize) {
  void* p = pointer;
  bool ok = TryReallocMem(p, newSize);
  pointer = static_cast<T*>(p);
  return ok;
}

// Test hook: the next `count` allocations (TryGetMem, TryGetZeroMem, TryReallocMem that
// grows or moves) fail as if memory were exhausted. 0 turns it off. Returns the count before.
int32_t SetMemoryRefusals(int32_t count);

// Refusals still pending.
int32_t PendingMemoryRefusals();

// Test aid: blocks larger than bytes are refused as too large, before the allocator is asked
// (0 or anything from kMaxMemBlock up restores kMaxMemBlock). Lets a test or a fuzz target
// keep every block small. Returns the cap before.
int64_t SetMemoryBlockCap(int64_t bytes);

// Test aid: the largest block asked of TryGetMem, TryGetZeroMem or TryReallocMem since the last
// call (granted or not), and starts counting again. Flat images take their pixels here.
int64_t TakeLargestMemoryBlockAsked();

}  // namespace tf
