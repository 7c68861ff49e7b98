#include "platform/AddressSpace.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>

#include "platform/Debug.h"

namespace tf {
namespace {

struct Settings {
  bool guard = false;
  int refuse = 0;
  uint64_t budget = 0;
  uint64_t committed = 0;
};

Settings& State() {
  static Settings s;
  return s;
}

size_t RoundUp(size_t value, size_t unit) { return (value + unit - 1) / unit * unit; }

}  // namespace

size_t SystemPageSize() {
  static const size_t page = [] {
    long p = sysconf(_SC_PAGESIZE);
    return p > 0 ? static_cast<size_t>(p) : size_t{4096};
  }();
  return page;
}

AddressRange ReserveAddressSpace(size_t size) {
  AddressRange range;
  if (size == 0) return range;
  size_t bytes = RoundUp(size, SystemPageSize());
  if (bytes < size) return range;  // overflow
  bool guard = State().guard;
  int prot = guard ? PROT_NONE : (PROT_READ | PROT_WRITE);
  void* p = mmap(nullptr, bytes, prot, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (p == MAP_FAILED) {
    DebugOutF("ReserveAddressSpace: cannot reserve %zu bytes\n", bytes);
    return range;
  }
  range.base = static_cast<uint8_t*>(p);
  range.size = bytes;
  range.guarded = guard;
  return range;
}

void ReleaseAddressSpace(AddressRange& range) {
  if (!range.base) return;
  // Whatever is still committed (a decommit the system refused) goes with the range.
  Settings& s = State();
  s.committed = s.committed >= range.committed ? s.committed - range.committed : 0;
  munmap(range.base, range.size);
  range = AddressRange{};
}

void* ReserveZeroedPages(size_t size) {
  if (size == 0) return nullptr;
  const size_t bytes = RoundUp(size, SystemPageSize());
  if (bytes < size) return nullptr;  // overflow
  void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (p == MAP_FAILED) {
    DebugOutF("ReserveZeroedPages: cannot reserve %zu bytes\n", bytes);
    return nullptr;
  }
  return p;
}

void ReleaseZeroedPages(void* base, size_t size) {
  if (base == nullptr || size == 0) return;
  munmap(base, RoundUp(size, SystemPageSize()));
}

void PrepareZeroedPages(void* base, size_t size) {
#if defined(MADV_POPULATE_WRITE)
  if (base == nullptr || size == 0) return;
  const size_t page = SystemPageSize();
  const uintptr_t start = reinterpret_cast<uintptr_t>(base) / page * page;
  const uintptr_t end = RoundUp(reinterpret_cast<uintptr_t>(base) + size, page);
  (void)madvise(reinterpret_cast<void*>(start), end - start, MADV_POPULATE_WRITE);
#else
  (void)base;
  (void)size;
#endif
}

bool CommitTileMemory(const AddressRange& range, size_t offset, size_t size) {
  Settings& s = State();
  if (!range.base || offset > range.size || size > range.size - offset) return false;
  if (s.refuse > 0) {
    --s.refuse;
    return false;
  }
  if (s.budget != 0 && s.committed + size > s.budget) return false;
  if (range.guarded) {
    // Guard ranges open the whole pages that hold the tile.
    size_t page = SystemPageSize();
    size_t start = offset / page * page;
    size_t end = RoundUp(offset + size, page);
    if (mprotect(range.base + start, end - start, PROT_READ | PROT_WRITE) != 0) return false;
  }
  // Memory given back with MADV_DONTNEED reads as zero; a fresh reservation does too. Writing
  // the tile now would fault the pages in, which the caller does anyway when it fills the tile.
  s.committed += size;
  range.committed += size;
  return true;
}

bool DecommitTileMemory(const AddressRange& range, size_t offset, size_t size) {
  Settings& s = State();
  if (!range.base || offset > range.size || size > range.size - offset) return false;
  size_t page = SystemPageSize();
  if (offset % page == 0 && size % page == 0) {
    // Close a guarded tile before discarding it, so that a refusal leaves its pixels intact.
    if (range.guarded && mprotect(range.base + offset, size, PROT_NONE) != 0) return false;
    if (madvise(range.base + offset, size, MADV_DONTNEED) != 0) {
      if (range.guarded) mprotect(range.base + offset, size, PROT_READ | PROT_WRITE);
      return false;
    }
  } else {
    // A page larger than a tile holds other tiles too: keep it, clear the tile so that a later
    // commit still finds zeros.
    std::memset(range.base + offset, 0, size);
  }
  s.committed = s.committed >= size ? s.committed - size : 0;
  range.committed = range.committed >= size ? range.committed - size : 0;
  return true;
}

void PrepareDenseTileMemory(const AddressRange& range, size_t offset, size_t size) {
#if defined(MADV_HUGEPAGE) || defined(MADV_POPULATE_WRITE)
  if (!range.base || range.guarded || size < kDenseTileSpan) return;
  if (offset > range.size || size > range.size - offset) return;
  const uintptr_t start = reinterpret_cast<uintptr_t>(range.base + offset);
  const uintptr_t end = start + size;
#if defined(MADV_HUGEPAGE)
  // Only the large pages wholly inside the span: memory outside it may belong to sparse tiles.
  const uintptr_t hugeStart = (start + kDenseTileSpan - 1) / kDenseTileSpan * kDenseTileSpan;
  const uintptr_t hugeEnd = end / kDenseTileSpan * kDenseTileSpan;
  if (hugeEnd > hugeStart) (void)madvise(reinterpret_cast<void*>(hugeStart), hugeEnd - hugeStart, MADV_HUGEPAGE);
#endif
#if defined(MADV_POPULATE_WRITE)
  const size_t page = SystemPageSize();
  const uintptr_t pageStart = (start + page - 1) / page * page;
  const uintptr_t pageEnd = end / page * page;
  if (pageEnd > pageStart)
    (void)madvise(reinterpret_cast<void*>(pageStart), pageEnd - pageStart, MADV_POPULATE_WRITE);
#endif
#else
  (void)range;
  (void)offset;
  (void)size;
#endif
}

uint64_t CommittedBytesTotal() { return State().committed; }

void SetAddressSpaceGuardMode(bool on) { State().guard = on; }
bool AddressSpaceGuardMode() { return State().guard; }
void RefuseNextCommits(int count) { State().refuse = count > 0 ? count : 0; }
void SetCommitBudget(uint64_t bytes) { State().budget = bytes; }
uint64_t CommitBudget() { return State().budget; }

void ResetAddressSpaceSettings() {
  Settings& s = State();
  s.guard = false;
  s.refuse = 0;
  s.budget = 0;
}

}  // namespace tf
