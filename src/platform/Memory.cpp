#include "platform/Memory.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace tf {
namespace {

int32_t g_refusals = 0;
int64_t g_blockCap = kMaxMemBlock;
std::atomic<int64_t> g_largestAsked{0};  // kept by every thread that allocates

// True when this allocation is to be refused by the test hook.
bool TakeRefusal() {
  if (g_refusals <= 0) return false;
  --g_refusals;
  return true;
}

void NoteAsked(int64_t size) {
  int64_t seen = g_largestAsked.load(std::memory_order_relaxed);
  while (size > seen && !g_largestAsked.compare_exchange_weak(seen, size, std::memory_order_relaxed)) {
  }
}

bool SizeAllowed(int64_t size) {
  NoteAsked(size);
  return size > 0 && size <= g_blockCap;
}

}  // namespace

bool AllocationAllowed(int64_t size) { return SizeAllowed(size) && !TakeRefusal(); }

bool TryGetMem(void*& pointer, int64_t size) {
  pointer = nullptr;
  if (!SizeAllowed(size) || TakeRefusal()) return false;
  pointer = std::malloc(static_cast<size_t>(size));
  return pointer != nullptr;
}

bool TryGetZeroMem(void*& pointer, int64_t size) {
  pointer = nullptr;
  if (!SizeAllowed(size) || TakeRefusal()) return false;
  pointer = std::calloc(1, static_cast<size_t>(size));
  return pointer != nullptr;
}

bool TryReallocMem(void*& pointer, int64_t newSize) {
  if (newSize <= 0) {
    std::free(pointer);
    pointer = nullptr;
    return false;
  }
  NoteAsked(newSize);
  if (newSize > g_blockCap || TakeRefusal()) return false;
  void* p = std::realloc(pointer, static_cast<size_t>(newSize));
  if (p == nullptr) return false;
  pointer = p;
  return true;
}

void FreeMem(void* pointer) { std::free(pointer); }

int32_t SetMemoryRefusals(int32_t count) {
  int32_t previous = g_refusals;
  g_refusals = count > 0 ? count : 0;
  return previous;
}

int32_t PendingMemoryRefusals() { return g_refusals; }

int64_t SetMemoryBlockCap(int64_t bytes) {
  const int64_t previous = g_blockCap;
  g_blockCap = bytes > 0 && bytes < kMaxMemBlock ? bytes : kMaxMemBlock;
  return previous;
}

int64_t TakeLargestMemoryBlockAsked() {
  return g_largestAsked.exchange(0, std::memory_order_relaxed);
}

}  // namespace tf
