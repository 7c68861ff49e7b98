// Replacements of the global operator new and delete for the test programs (see CountingNew.h).
#include "support/CountingNew.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace tf::test {
namespace {

std::atomic<int64_t> g_calls{0};
std::atomic<size_t> g_largest{0};
std::atomic<int64_t> g_failAfter{-1};  // -1: off
std::atomic<bool> g_failed{false};

// Counts the request; false when this one is to fail.
bool Admit(size_t size) {
  g_calls.fetch_add(1, std::memory_order_relaxed);
  size_t seen = g_largest.load(std::memory_order_relaxed);
  while (size > seen && !g_largest.compare_exchange_weak(seen, size, std::memory_order_relaxed)) {
  }
  int64_t left = g_failAfter.load(std::memory_order_relaxed);
  while (left >= 0) {
    if (g_failAfter.compare_exchange_weak(left, left - 1, std::memory_order_relaxed)) {
      if (left == 0) {
        g_failed.store(true, std::memory_order_relaxed);
        return false;
      }
      return true;
    }
  }
  return true;
}

void* Allocate(size_t size, size_t alignment) {
  if (!Admit(size)) return nullptr;
  if (size == 0) size = 1;
  if (alignment <= alignof(std::max_align_t)) return std::malloc(size);
  size_t rounded = (size + alignment - 1) / alignment * alignment;
  return std::aligned_alloc(alignment, rounded);
}

void* AllocateOrThrow(size_t size, size_t alignment) {
  void* p = Allocate(size, alignment);
  if (!p) throw std::bad_alloc();
  return p;
}

}  // namespace

void ResetNewStats() {
  g_calls.store(0);
  g_largest.store(0);
}

NewStats CurrentNewStats() {
  NewStats stats;
  stats.calls = g_calls.load();
  stats.largest = g_largest.load();
  return stats;
}

void FailNewAfter(int64_t after) {
  g_failed.store(false);
  g_failAfter.store(after < 0 ? -1 : after);
}

bool NewFailureHappened() { return g_failed.load(); }

}  // namespace tf::test

using tf::test::Allocate;
using tf::test::AllocateOrThrow;

void* operator new(size_t size) { return AllocateOrThrow(size, 0); }
void* operator new[](size_t size) { return AllocateOrThrow(size, 0); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return Allocate(size, 0); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return Allocate(size, 0); }
void* operator new(size_t size, std::align_val_t a) { return AllocateOrThrow(size, static_cast<size_t>(a)); }
void* operator new[](size_t size, std::align_val_t a) { return AllocateOrThrow(size, static_cast<size_t>(a)); }
void* operator new(size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
  return Allocate(size, static_cast<size_t>(a));
}
void* operator new[](size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
  return Allocate(size, static_cast<size_t>(a));
}

void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }
