// Reserved address ranges with 4 KB tiles committed inside them, for the tiled stores.
#pragma once
// Address space for the sparse tiled stores: one range reserved per store, 4 KB tiles committed
// and decommitted inside it; addresses never move.
//
// Normal runs reserve read-write memory without a backing commitment (MAP_NORESERVE) and give
// tiles back with MADV_DONTNEED, so decommitted tiles read as zero again and cost nothing.
// Commitment is bookkeeping against a budget so that out-of-memory paths are real even on an
// overcommitting kernel.
//
// Test aids: guard mode (ranges reserved PROT_NONE, tiles opened on commit and closed on
// decommit, so touching an uncommitted tile faults), fault injection (refuse the next N commits)
// and a settable budget.
#include <cstddef>
#include <cstdint>

namespace tf {

constexpr size_t kTileBytes = 4096;

struct AddressRange {
  uint8_t* base = nullptr;
  size_t size = 0;  // bytes reserved
  bool guarded = false;
  // Bytes of this range committed now (kept by the commit and decommit calls).
  mutable uint64_t committed = 0;
  explicit operator bool() const { return base != nullptr; }
};

// Reserves size bytes (rounded up to whole pages). An empty or refused reservation gives an
// empty range.
AddressRange ReserveAddressSpace(size_t size);
// Releases a whole range (nothing for an empty one). The caller decommits its tiles first so
// that the committed count stays right; any commitment left is released anyway.
void ReleaseAddressSpace(AddressRange& range);

// Commits bytes [offset, offset + size) of a range; the memory reads as zero afterwards.
// False when refused (budget exceeded, injected fault, or the system refused).
bool CommitTileMemory(const AddressRange& range, size_t offset, size_t size);
// Gives the memory back; false only when the system refused.
bool DecommitTileMemory(const AddressRange& range, size_t offset, size_t size);
// A hint before a write that covers all of committed bytes [offset, offset + size): where the
// span holds whole large pages they back it, and the span is faulted in at once rather than one
// page per first touch. Fresh memory costs far more per page than the copy into it; this is what
// lets a whole-store copy run near memory speed. Nothing for guarded ranges or small spans, and
// nothing changes when the system declines.
void PrepareDenseTileMemory(const AddressRange& range, size_t offset, size_t size);
// Spans below this are left to ordinary page faults.
constexpr size_t kDenseTileSpan = size_t{2} << 20;

// Bookkeeping memory that is mostly never touched (the stores' tile tables): read-write, reads
// as zero, and becomes resident page by page as it is first written. Not guarded and not
// counted as committed. Null when refused or empty; release with the same size.
void* ReserveZeroedPages(size_t size);
void ReleaseZeroedPages(void* base, size_t size);
// Makes the pages holding [base, base + size) of such memory resident in one call, so that
// writing them costs no page fault each; nothing changes when the system declines.
void PrepareZeroedPages(void* base, size_t size);

// Bytes committed by all stores of the process.
uint64_t CommittedBytesTotal();

// Settings of the process (tests set and reset them).
void SetAddressSpaceGuardMode(bool on);  // affects ranges reserved afterwards
bool AddressSpaceGuardMode();
void RefuseNextCommits(int count);     // the next count commits fail
void SetCommitBudget(uint64_t bytes);  // 0 = no limit
uint64_t CommitBudget();
void ResetAddressSpaceSettings();  // guard off, no refusals, no budget

// System page size; tiles are 4096 bytes. On a larger page, decommit is bookkeeping only.
size_t SystemPageSize();

}  // namespace tf
