// Pixel undo: the undo lists (CUndoList) and the undo manager (CUndoMngr).
#pragma once
// Pixel undo: CUndoList, a bounded list of undo records (newest at index 0), and CUndoMngr, an
// undo and a redo list with their limits and the rectangle undo: save the pixels of a rectangle
// before a change; on undo put them back, keeping the pixels they replace for redo.
//
// CUndoMngr is the base of the document undo, and the own pixel undo of a layer (8 and 8) in a
// document without document undo.
#include <cstdint>
#include <memory>
#include <vector>

#include "document/UndoData.h"
#include "raster/Geometry.h"

namespace tf {

// Stores of pixel records that are freed (dropped from a list, or put back by an undo), kept
// with their memory for the next save. Fresh pages cost far more than the copy into them; a kept
// store is written in place, so a save copies into memory that is already there: a save of the
// same size (a whole layer saved by command after command, a record restored and saved back for
// redo) into a store of its shape, a save of another size (strokes) into one with enough tiles,
// in row order. At most kCount stores and Limit() committed bytes; the newest are kept.
class CSpareStores {
 public:
  static constexpr int32_t kCount = 2;
  static constexpr int64_t kDefaultLimit = int64_t{256} << 20;
  // The spares of every manager together: a document without document undo has a manager per
  // layer, and fifty layers must not keep fifty layers' worth of spares. When a store kept here
  // would pass it, the oldest spares of the process go first, whichever manager holds them.
  static constexpr int64_t kDefaultProcessLimit = int64_t{256} << 20;

  CSpareStores();
  CSpareStores(const CSpareStores&) = delete;
  CSpareStores& operator=(const CSpareStores&) = delete;
  ~CSpareStores();

  // Takes the record's pixel store when it can serve a later save (valid, within the limits);
  // the record is about to be freed. The oldest spares are freed to keep within the count and
  // the limit, and the oldest of the process to keep within the process limit.
  void KeepFrom(CUndoData& record);
  void Keep(std::unique_ptr<CBlockVMTC> store);
  // A spare of exactly width x height, taken out (the newest first); failing that, when anyShape
  // is set, the spare with the fewest tiles of those with at least as many tiles as the size
  // holds and at most twice as many (a record keeps its tiles in row order there). Null when
  // there is none.
  std::unique_ptr<CBlockVMTC> Take(int32_t width, int32_t height, bool anyShape = false);
  // Frees every spare; returns how many there were.
  int32_t Clear();
  // Committed bytes of the spares; 0 limit keeps none (the spares held are freed).
  void SetLimit(int64_t bytes);
  int64_t Limit() const { return limit_; }
  int32_t Count() const { return static_cast<int32_t>(stores_.size()); }
  int64_t Bytes() const;

  // Committed bytes of the spares of every manager; the process limit (0 keeps none anywhere;
  // lowering it frees the oldest spares until within). Managers live on the main thread.
  static int64_t ProcessBytes();
  static void SetProcessLimit(int64_t bytes);
  static int64_t ProcessLimit();

 private:
  struct SSpare {
    std::unique_ptr<CBlockVMTC> store;
    uint64_t order = 0;  // when it was kept, counted over the process
  };
  void EraseAt(size_t index);
  // Frees the oldest spare of the process; false when no manager holds one.
  static bool FreeOldestInProcess();

  std::vector<SSpare> stores_;  // oldest first
  int64_t limit_ = kDefaultLimit;
};

class CUndoList {
 public:
  // Capacity max(capacity, 4). A list that is not growable never holds more than its capacity;
  // a growable one leaves bounding to its manager.
  CUndoList(int32_t capacity, bool growable);
  CUndoList(const CUndoList&) = delete;
  CUndoList& operator=(const CUndoList&) = delete;
  // Frees every record.
  ~CUndoList();

  // Inserts the record at index 0; a full list that is not growable first frees its oldest
  // record. On success the list owns the record (the pointer is emptied); false, the record
  // still the caller's, when memory runs out.
  bool Push(std::unique_ptr<CUndoData>&& record);
  // DeleteAt(count - 1); false on an empty list.
  bool DropOldest();
  // Frees the record at index and removes it; false for an index out of range.
  bool DeleteAt(int32_t index);
  // Removes the record at index and returns it unfreed; null for an index out of range.
  std::unique_ptr<CUndoData> Detach(int32_t index);
  // The record at index; null for an index out of range.
  CUndoData* Get(int32_t index) const;
  // Frees every record, last to first; returns how many there were.
  int32_t Clear();
  // Takes the other's capacity and growable, clears itself and appends a deep copy of every
  // record of the other, in order. False when a copy fails (out of memory); the copies made so
  // far stay.
  bool Assign(const CUndoList& other);
  // Sum of the records' MemorySize.
  int64_t MemorySize() const;
  // Records that hold pixels or whose code counts against the depth.
  int32_t HeavyCount() const;

  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  int32_t Capacity() const { return capacity_; }
  bool Growable() const { return growable_; }
  // Where the pixel stores of the records this list frees go (null: they are freed).
  void SetSpares(CSpareStores* spares) { spares_ = spares; }

 private:
  std::vector<std::unique_ptr<CUndoData>> items_;  // index 0 newest
  CSpareStores* spares_ = nullptr;
  int32_t capacity_ = 4;
  bool growable_ = false;
};

class CUndoMngr {
 public:
  // Both lists not growable, capacity max(limit, 4).
  CUndoMngr(int32_t undoLimit, int32_t redoLimit);
  CUndoMngr(const CUndoMngr&) = delete;
  CUndoMngr& operator=(const CUndoMngr&) = delete;
  virtual ~CUndoMngr();

  bool IsEnabled() const { return undoLimit_ > 0; }
  bool CanUndo() const { return undoList_->Count() > 0; }
  bool CanRedo() const { return redoList_->Count() > 0; }
  int32_t UndoCount() const { return undoList_->Count(); }
  int32_t RedoCount() const { return redoList_->Count(); }
  int32_t UndoLimit() const { return undoLimit_; }
  int32_t RedoLimit() const { return redoLimit_; }
  CUndoList& UndoList() { return *undoList_; }
  CUndoList& RedoList() { return *redoList_; }
  const CUndoList& UndoList() const { return *undoList_; }
  const CUndoList& RedoList() const { return *redoList_; }

  // Each returns the number of records freed.
  int32_t ClearUndo() { return undoList_->Clear(); }
  int32_t ClearRedo() { return redoList_->Clear(); }
  void ClearAll() {
    ClearUndo();
    ClearRedo();
  }

  // ---- Virtual slots, in order ----
  // 0: drops the oldest undo records while there are more than the undo limit; returns how many.
  virtual int32_t TrimUndo();
  // 1: copies both limits and deep-copies both lists; true only when both copies succeed.
  virtual bool Assign(const CUndoMngr& other);
  // 2, 3: Push onto the list (same contract as CUndoList::Push).
  virtual bool PushUndo(std::unique_ptr<CUndoData>&& record);
  virtual bool PushRedo(std::unique_ptr<CUndoData>&& record);

  // The newest record, detached; null when the list is empty.
  std::unique_ptr<CUndoData> PopUndo();
  std::unique_ptr<CUndoData> PopRedo();

  // SaveRectCode with code 0.
  bool SaveRect(int32_t layerIndex, int32_t layerId, const CBlockVMTC& layer, const SRectWH& rect);
  // Before a change of the rectangle's pixels: a record of the rectangle clipped to the store
  // and aligned outward to 32-pixel tiles, holding those tiles; pushed, the undo list trimmed,
  // the redo list cleared. False when disabled or nothing of the rectangle lies in the store
  // (nothing changes), or when memory runs out (the warning is shown, nothing pushed, the redo
  // list kept).
  bool SaveRectCode(int32_t layerIndex, int32_t layerId, uint8_t code, const CBlockVMTC& layer,
                    const SRectWH& rect);

  // Undo of the newest pixel record into the layer store: the pixels there now are kept as a
  // redo record (left out silently when memory runs out), the saved tiles are put back, and
  // rect is the restored area (the record's GetRect). False, nothing changed, when the list is
  // empty or its newest record holds no pixels. When the tiles cannot be put back (out of
  // memory) the store is rolled back as far as possible, the record stays on the undo list and
  // the result is false.
  bool UndoPixels(CBlockVMTC& layer, SRectWH& rect);
  // The same from the redo list onto the undo list (no trim, no clearing).
  bool RedoPixels(CBlockVMTC& layer, SRectWH& rect);
  // The same, finding the record's layer by its id. When the layer of a pixel record is gone
  // the record is dropped and the result is false; otherwise layerIndex is the layer's stack
  // index. A newest record that holds no pixels is left where it is (false).
  bool UndoPixels(UndoTargetResolver& targets, SRectWH& rect, int32_t& layerIndex);
  bool RedoPixels(UndoTargetResolver& targets, SRectWH& rect, int32_t& layerIndex);

  // Both lists' MemorySize.
  int64_t MemorySize() const { return undoList_->MemorySize() + redoList_->MemorySize(); }
  // Stores of freed pixel records kept for the next save of their size (not part of MemorySize:
  // no record holds them; SpareBytes is what they keep committed, part of the memory a document
  // reports).
  CSpareStores& Spares() { return spares_; }
  int64_t SpareBytes() const { return spares_.Bytes(); }

 protected:
  // For derived managers: replaces the limits or the lists.
  void SetLimitFields(int32_t undoLimit, int32_t redoLimit) {
    undoLimit_ = undoLimit;
    redoLimit_ = redoLimit;
  }
  void ReplaceLists(std::unique_ptr<CUndoList> undoList, std::unique_ptr<CUndoList> redoList);

 private:
  // A filled pixel record of the area (clipped to the layer), its store a spare of the aligned
  // size when there is one (freed with the record when the save fails); when it cannot be made
  // and other spares are held, they are freed and it is tried once more. Null when memory runs
  // out.
  std::unique_ptr<CUndoData> SavedRecord(int32_t layerIndex, int32_t layerId, uint8_t code,
                                         const CBlockVMTC& layer, const SRectWH& area);
  std::unique_ptr<CUndoData> TrySavedRecord(int32_t layerIndex, int32_t layerId, uint8_t code,
                                            const CBlockVMTC& layer, const SRectWH& area);
  bool ExchangePixels(bool undo, CBlockVMTC& layer, SRectWH& rect);
  bool ExchangePixelsOf(bool undo, UndoTargetResolver& targets, SRectWH& rect, int32_t& layerIndex);

  int32_t undoLimit_ = 0;
  int32_t redoLimit_ = 0;
  CSpareStores spares_;  // the destructor lets the lists go first, freeing their stores
  std::unique_ptr<CUndoList> undoList_;
  std::unique_ptr<CUndoList> redoList_;
};

// The lists' MemorySize (see MemoryUse in raster/BlockImage.h).
inline int64_t MemoryUse(const CUndoList& list) { return list.MemorySize(); }
inline int64_t MemoryUse(const CUndoMngr& undo) { return undo.MemorySize(); }

}  // namespace tf
