// Zeroed fixed-size blocks carved from large-page chunks (TryGetArenaBlock, FreeArenaBlock).
#pragma once
// Streams that grow by many equal blocks (the event recorder's 64 KB blocks) take them here: a
// chunk of 2 MB, aligned and backed by a large page where the system offers it, holds 32 such
// blocks, so that fresh memory costs one fault per chunk instead of one per 4 KB page. A block
// comes zeroed; a chunk whose blocks are all free goes back to the system.
//
// Only sizes that are a power of two from 4 KB up to the chunk size are carved; any other size,
// and builds under the address sanitizer (which watches heap blocks one by one), take calloc.
// The memory refusal hook of platform/Memory.h applies as to TryGetZeroMem. Thread safe.
#include <cstdint>

namespace tf {

constexpr int64_t kArenaChunkBytes = int64_t{2} << 20;

// A zeroed block of size bytes; false (pointer null) when refused or out of memory.
bool TryGetArenaBlock(void*& pointer, int64_t size);
// Gives back a block from TryGetArenaBlock with the same size; null does nothing.
void FreeArenaBlock(void* pointer, int64_t size);

// Tests: chunks held by the arena now; carve also in sanitizer builds (true) or as built (false).
int32_t ArenaChunkCount();
void ForceArenaCarving(bool force);

}  // namespace tf
