#include "platform/BlockArena.h"

#include <sys/mman.h>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/Memory.h"

#if defined(__SANITIZE_ADDRESS__)
#define TF_ARENA_PLAIN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TF_ARENA_PLAIN 1
#endif
#endif
#ifndef TF_ARENA_PLAIN
#define TF_ARENA_PLAIN 0
#endif

namespace tf {
namespace {

constexpr size_t kChunk = static_cast<size_t>(kArenaChunkBytes);

bool g_forceCarving = false;

bool Carved(int64_t size) {
  return (!TF_ARENA_PLAIN || g_forceCarving) && size >= 4096 && size <= kArenaChunkBytes &&
         (size & (size - 1)) == 0;
}

struct Chunk {
  uint8_t* base = nullptr;
  size_t blockSize = 0;
  std::vector<uint8_t> used;   // per block
  std::vector<uint8_t> dirty;  // per block: written since the chunk was mapped
  int32_t freeCount = 0;
};

struct Arena {
  std::mutex lock;
  std::unordered_map<uintptr_t, Chunk> chunks;  // by base address
};

Arena& TheArena() {
  static Arena* arena = new Arena();  // lives to the end of the process
  return *arena;
}

// A fresh chunk, 2 MB aligned: map twice the size and trim the ends.
uint8_t* MapChunk() {
  void* p = mmap(nullptr, 2 * kChunk, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (p == MAP_FAILED) return nullptr;
  const uintptr_t start = reinterpret_cast<uintptr_t>(p);
  const uintptr_t aligned = (start + kChunk - 1) / kChunk * kChunk;
  if (aligned > start) munmap(p, aligned - start);
  const uintptr_t end = start + 2 * kChunk;
  if (end > aligned + kChunk) munmap(reinterpret_cast<void*>(aligned + kChunk), end - (aligned + kChunk));
#if defined(MADV_HUGEPAGE)
  (void)madvise(reinterpret_cast<void*>(aligned), kChunk, MADV_HUGEPAGE);
#endif
  return reinterpret_cast<uint8_t*>(aligned);
}

}  // namespace

bool TryGetArenaBlock(void*& pointer, int64_t size) {
  if (!Carved(size)) return TryGetZeroMem(pointer, size);
  pointer = nullptr;
  if (!AllocationAllowed(size)) return false;

  Arena& arena = TheArena();
  std::lock_guard<std::mutex> hold(arena.lock);
  const size_t blockSize = static_cast<size_t>(size);
  Chunk* chunk = nullptr;
  for (auto& [base, c] : arena.chunks)
    if (c.blockSize == blockSize && c.freeCount > 0) {
      chunk = &c;
      break;
    }
  if (chunk == nullptr) {
    uint8_t* base = MapChunk();
    if (base == nullptr) return false;
    try {
      Chunk c;
      c.base = base;
      c.blockSize = blockSize;
      const size_t blocks = kChunk / blockSize;
      c.used.assign(blocks, 0);
      c.dirty.assign(blocks, 0);
      c.freeCount = static_cast<int32_t>(blocks);
      chunk = &arena.chunks.emplace(reinterpret_cast<uintptr_t>(base), std::move(c)).first->second;
    } catch (const std::bad_alloc&) {
      munmap(base, kChunk);
      return false;
    }
  }
  for (size_t i = 0; i < chunk->used.size(); ++i) {
    if (chunk->used[i]) continue;
    uint8_t* block = chunk->base + i * blockSize;
    if (chunk->dirty[i]) std::memset(block, 0, blockSize);  // a fresh chunk reads as zero
    chunk->used[i] = 1;
    chunk->dirty[i] = 1;
    --chunk->freeCount;
    pointer = block;
    return true;
  }
  return false;  // not reached: freeCount said there was room
}

void FreeArenaBlock(void* pointer, int64_t size) {
  if (pointer == nullptr) return;
  if (!Carved(size)) {
    FreeMem(pointer);
    return;
  }
  Arena& arena = TheArena();
  std::lock_guard<std::mutex> hold(arena.lock);
  const uintptr_t base = reinterpret_cast<uintptr_t>(pointer) / kChunk * kChunk;
  auto it = arena.chunks.find(base);
  if (it == arena.chunks.end()) return;
  Chunk& chunk = it->second;
  const size_t index = (reinterpret_cast<uintptr_t>(pointer) - base) / chunk.blockSize;
  if (index >= chunk.used.size() || !chunk.used[index]) return;
  chunk.used[index] = 0;
  if (++chunk.freeCount == static_cast<int32_t>(chunk.used.size())) {
    munmap(chunk.base, kChunk);
    arena.chunks.erase(it);
  }
}

void ForceArenaCarving(bool force) { g_forceCarving = force; }

int32_t ArenaChunkCount() {
  Arena& arena = TheArena();
  std::lock_guard<std::mutex> hold(arena.lock);
  return static_cast<int32_t>(arena.chunks.size());
}

}  // namespace tf
