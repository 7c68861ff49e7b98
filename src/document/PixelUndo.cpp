#include "document/PixelUndo.h"

#include <algorithm>
#include <cstddef>
#include <new>

#include "platform/Debug.h"
#include "platform/Warning.h"
#include "raster/BlockVMTC.h"

namespace tf {

// ---------------------------------------------------------------------------------------------
// CSpareStores

namespace {

// Every manager's spares, for the process limit (main thread only).
struct SSpareRegistry {
  std::vector<CSpareStores*> owners;
  int64_t limit = CSpareStores::kDefaultProcessLimit;
  uint64_t nextOrder = 0;
};

// Never freed, so that a manager that outlives the statics still finds it.
SSpareRegistry& Registry() {
  static SSpareRegistry* registry = new SSpareRegistry;
  return *registry;
}

}  // namespace

CSpareStores::CSpareStores() {
  try {
    Registry().owners.push_back(this);
    stores_.reserve(static_cast<size_t>(kCount));
  } catch (const std::bad_alloc&) {
    // Without room (or unregistered, then also without room) Keep keeps nothing.
  }
}

CSpareStores::~CSpareStores() {
  Clear();
  std::vector<CSpareStores*>& owners = Registry().owners;
  const auto at = std::find(owners.begin(), owners.end(), this);
  if (at != owners.end()) owners.erase(at);
}

void CSpareStores::KeepFrom(CUndoData& record) {
  if (record.HasPixels()) Keep(record.TakePixels());
}

void CSpareStores::Keep(std::unique_ptr<CBlockVMTC> store) {
  if (!store || !store->IsValid()) return;
  SSpareRegistry& registry = Registry();
  const int64_t bytes = store->CommittedBytes();
  if (limit_ <= 0 || bytes > limit_ || bytes > registry.limit) return;
  if (stores_.capacity() < static_cast<size_t>(kCount)) return;  // no room was had
  // Oldest first out, here until the newcomer fits, then in the whole process.
  while (!stores_.empty() && (Count() >= kCount || Bytes() + bytes > limit_)) EraseAt(0);
  while (ProcessBytes() + bytes > registry.limit && FreeOldestInProcess()) {
  }
  if (ProcessBytes() + bytes > registry.limit) return;
  stores_.push_back(SSpare{std::move(store), registry.nextOrder++});
}

std::unique_ptr<CBlockVMTC> CSpareStores::Take(int32_t width, int32_t height, bool anyShape) {
  size_t found = stores_.size();
  for (size_t i = stores_.size(); i-- > 0;) {
    if (stores_[i].store->Width() == width && stores_[i].store->Height() == height) {
      found = i;
      break;
    }
  }
  if (found == stores_.size() && anyShape && width > 0 && height > 0) {
    const int64_t tiles = ((int64_t{width} + 31) >> 5) * ((int64_t{height} + 31) >> 5);
    for (size_t i = 0; i < stores_.size(); ++i) {
      const int64_t has = stores_[i].store->TileCount();
      if (has < tiles || has > 2 * tiles) continue;
      if (found == stores_.size() || has < stores_[found].store->TileCount()) found = i;
    }
  }
  if (found == stores_.size()) return nullptr;
  std::unique_ptr<CBlockVMTC> store = std::move(stores_[found].store);
  EraseAt(found);
  return store;
}

int32_t CSpareStores::Clear() {
  const int32_t count = Count();
  stores_.clear();
  return count;
}

void CSpareStores::SetLimit(int64_t bytes) {
  limit_ = bytes;
  while (!stores_.empty() && (limit_ <= 0 || Bytes() > limit_)) EraseAt(0);
}

int64_t CSpareStores::Bytes() const {
  int64_t bytes = 0;
  for (const SSpare& spare : stores_) bytes += spare.store->CommittedBytes();
  return bytes;
}

void CSpareStores::EraseAt(size_t index) { stores_.erase(stores_.begin() + static_cast<std::ptrdiff_t>(index)); }

bool CSpareStores::FreeOldestInProcess() {
  CSpareStores* holder = nullptr;
  for (CSpareStores* owner : Registry().owners) {
    if (owner->stores_.empty()) continue;
    if (holder == nullptr || owner->stores_.front().order < holder->stores_.front().order) holder = owner;
  }
  if (holder == nullptr) return false;
  holder->EraseAt(0);
  return true;
}

int64_t CSpareStores::ProcessBytes() {
  int64_t bytes = 0;
  for (const CSpareStores* owner : Registry().owners) bytes += owner->Bytes();
  return bytes;
}

int64_t CSpareStores::ProcessLimit() { return Registry().limit; }

void CSpareStores::SetProcessLimit(int64_t bytes) {
  SSpareRegistry& registry = Registry();
  registry.limit = bytes < 0 ? 0 : bytes;
  while (ProcessBytes() > registry.limit && FreeOldestInProcess()) {
  }
}

// ---------------------------------------------------------------------------------------------
// CUndoList

CUndoList::CUndoList(int32_t capacity, bool growable)
    : capacity_(std::max<int32_t>(capacity, 4)), growable_(growable) {
  // A list that is not growable never needs more room than this.
  try {
    items_.reserve(static_cast<size_t>(capacity_));
  } catch (const std::bad_alloc&) {
    // Push grows it when it can.
  }
}

CUndoList::~CUndoList() { Clear(); }

bool CUndoList::Push(std::unique_ptr<CUndoData>&& record) {
  if (!record) return false;
  if (!growable_ && Count() >= capacity_) DropOldest();
  try {
    // Room first, so that a failure leaves the record with the caller.
    if (items_.size() == items_.capacity()) items_.reserve(std::max<size_t>(items_.size() * 2, 4));
  } catch (const std::bad_alloc&) {
    return false;
  }
  items_.insert(items_.begin(), std::move(record));
  return true;
}

bool CUndoList::DropOldest() { return DeleteAt(Count() - 1); }

bool CUndoList::DeleteAt(int32_t index) {
  if (index < 0 || index >= Count()) return false;
  // Take it out first: a record's destructor may reach the list's owner.
  std::unique_ptr<CUndoData> record = std::move(items_[static_cast<size_t>(index)]);
  items_.erase(items_.begin() + index);
  if (spares_) spares_->KeepFrom(*record);
  record.reset();
  return true;
}

std::unique_ptr<CUndoData> CUndoList::Detach(int32_t index) {
  if (index < 0 || index >= Count()) return nullptr;
  std::unique_ptr<CUndoData> record = std::move(items_[static_cast<size_t>(index)]);
  items_.erase(items_.begin() + index);
  return record;
}

CUndoData* CUndoList::Get(int32_t index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return items_[static_cast<size_t>(index)].get();
}

int32_t CUndoList::Clear() {
  const int32_t count = Count();
  while (!items_.empty()) {
    std::unique_ptr<CUndoData> record = std::move(items_.back());
    items_.pop_back();
    if (spares_) spares_->KeepFrom(*record);
  }
  return count;
}

bool CUndoList::Assign(const CUndoList& other) {
  if (&other == this) return true;
  capacity_ = other.capacity_;
  growable_ = other.growable_;
  Clear();
  for (const auto& source : other.items_) {
    std::unique_ptr<CUndoData> copy = CUndoData::CreateCopy(*source);
    if (!copy) return false;
    try {
      items_.push_back(std::move(copy));
    } catch (const std::bad_alloc&) {
      return false;
    }
  }
  return true;
}

int64_t CUndoList::MemorySize() const {
  int64_t size = 0;
  for (const auto& record : items_) size += record->MemorySize();
  return size;
}

int32_t CUndoList::HeavyCount() const {
  int32_t count = 0;
  for (const auto& record : items_)
    if (record->IsHeavy()) ++count;
  return count;
}

// ---------------------------------------------------------------------------------------------
// CUndoMngr

CUndoMngr::CUndoMngr(int32_t undoLimit, int32_t redoLimit)
    : undoLimit_(undoLimit),
      redoLimit_(redoLimit),
      undoList_(std::make_unique<CUndoList>(undoLimit, false)),
      redoList_(std::make_unique<CUndoList>(redoLimit, false)) {
  undoList_->SetSpares(&spares_);
  redoList_->SetSpares(&spares_);
}

CUndoMngr::~CUndoMngr() {
  // The records go with their stores; nothing is kept for a save that cannot come.
  if (undoList_) undoList_->SetSpares(nullptr);
  if (redoList_) redoList_->SetSpares(nullptr);
}

void CUndoMngr::ReplaceLists(std::unique_ptr<CUndoList> undoList, std::unique_ptr<CUndoList> redoList) {
  undoList_ = std::move(undoList);
  redoList_ = std::move(redoList);
  if (undoList_) undoList_->SetSpares(&spares_);
  if (redoList_) redoList_->SetSpares(&spares_);
}

int32_t CUndoMngr::TrimUndo() {
  const int32_t limit = std::max<int32_t>(undoLimit_, 0);
  int32_t dropped = 0;
  while (undoList_->Count() > limit && undoList_->DropOldest()) ++dropped;
  return dropped;
}

bool CUndoMngr::Assign(const CUndoMngr& other) {
  if (&other == this) return true;
  undoLimit_ = other.undoLimit_;
  redoLimit_ = other.redoLimit_;
  const bool undoCopied = undoList_->Assign(*other.undoList_);
  const bool redoCopied = redoList_->Assign(*other.redoList_);
  return undoCopied && redoCopied;
}

bool CUndoMngr::PushUndo(std::unique_ptr<CUndoData>&& record) { return undoList_->Push(std::move(record)); }

bool CUndoMngr::PushRedo(std::unique_ptr<CUndoData>&& record) { return redoList_->Push(std::move(record)); }

std::unique_ptr<CUndoData> CUndoMngr::PopUndo() { return undoList_->Detach(0); }

std::unique_ptr<CUndoData> CUndoMngr::PopRedo() { return redoList_->Detach(0); }

bool CUndoMngr::SaveRect(int32_t layerIndex, int32_t layerId, const CBlockVMTC& layer, const SRectWH& rect) {
  return SaveRectCode(layerIndex, layerId, kUndoOwnPixels, layer, rect);
}

std::unique_ptr<CUndoData> CUndoMngr::TrySavedRecord(int32_t layerIndex, int32_t layerId, uint8_t code,
                                                     const CBlockVMTC& layer, const SRectWH& area) {
  SRectWH aligned{0, 0, 0, 0};
  if (!CUndoData::AlignedRect(area, aligned)) return nullptr;
  // A record of the whole layer trades tiles with it on undo, which needs a store of its shape.
  const bool wholeLayer =
      aligned.left == 0 && aligned.top == 0 && aligned.width == layer.Width() && aligned.height == layer.Height();
  std::unique_ptr<CUndoData> record =
      CUndoData::CreateRect(layerId, code, area, spares_.Take(aligned.width, aligned.height, !wholeLayer));
  if (!record) return nullptr;
  record->SetLayerIndex(layerIndex);
  // A failed save changes nothing in the layer; the record and its store simply go.
  if (!record->SavePixels(layer, area)) return nullptr;
  return record;
}

std::unique_ptr<CUndoData> CUndoMngr::SavedRecord(int32_t layerIndex, int32_t layerId, uint8_t code,
                                                  const CBlockVMTC& layer, const SRectWH& area) {
  std::unique_ptr<CUndoData> record = TrySavedRecord(layerIndex, layerId, code, layer, area);
  // The other spares' memory may be what was missing: free them and try once more.
  if (!record && spares_.Clear() > 0) record = TrySavedRecord(layerIndex, layerId, code, layer, area);
  return record;
}

bool CUndoMngr::SaveRectCode(int32_t layerIndex, int32_t layerId, uint8_t code, const CBlockVMTC& layer,
                             const SRectWH& rect) {
  if (!IsEnabled()) return false;
  // Only what lies in the store can change; clip before aligning, so that the saved tiles start
  // inside the store.
  SRectWH area = rect;
  if (!layer.IsValid() || !ClipRectToSize(area, layer.Size())) return false;
  std::unique_ptr<CUndoData> record = SavedRecord(layerIndex, layerId, code, layer, area);
  if (!record || !PushUndo(std::move(record))) {
    ShowWarning(kUndoOutOfMemoryText);
    return false;
  }
  TrimUndo();
  ClearRedo();
  return true;
}

bool CUndoMngr::ExchangePixels(bool undo, CBlockVMTC& layer, SRectWH& rect) {
  CUndoList& from = undo ? *undoList_ : *redoList_;
  const CUndoData* newest = from.Get(0);
  if (!newest || !newest->filled || !newest->HasPixels()) return false;
  std::unique_ptr<CUndoData> record = from.Detach(0);
  const SRectWH area = record->GetRect();

  // A record of the whole store trades tiles with the layer: afterwards it holds what the layer
  // held, which is what the other direction needs, and no pixel is copied.
  if (record->ExchangeWholeStore(layer)) {
    const bool pushed = undo ? PushRedo(std::move(record)) : PushUndo(std::move(record));
    if (!pushed) record.reset();
    rect = area;
    return true;
  }

  // Keep what is there now for the other direction; without memory there is simply none.
  std::unique_ptr<CUndoData> current =
      SavedRecord(record->layerIndex, record->layerId, record->code, layer, area);

  if (!record->RestorePixels(layer)) {
    // Out of memory part way: put back what was there and keep the record for another try.
    if (current && !current->RestorePixels(layer))
      DebugOut("CUndoMngr: a failed pixel undo could not be rolled back\n");
    if (!from.Push(std::move(record))) DebugOut("CUndoMngr: a failed pixel undo record was lost\n");
    return false;
  }
  // Its store serves the next save of its size (the redo of this very step, as a rule).
  spares_.KeepFrom(*record);
  record.reset();
  if (current) {
    const bool pushed = undo ? PushRedo(std::move(current)) : PushUndo(std::move(current));
    if (!pushed) current.reset();
  }
  rect = area;
  return true;
}

bool CUndoMngr::UndoPixels(CBlockVMTC& layer, SRectWH& rect) { return ExchangePixels(true, layer, rect); }

bool CUndoMngr::RedoPixels(CBlockVMTC& layer, SRectWH& rect) { return ExchangePixels(false, layer, rect); }

bool CUndoMngr::ExchangePixelsOf(bool undo, UndoTargetResolver& targets, SRectWH& rect, int32_t& layerIndex) {
  CUndoList& from = undo ? *undoList_ : *redoList_;
  const CUndoData* newest = from.Get(0);
  // Only a pixel record is this routine's to apply or to drop: a structure record may name a
  // layer that is out of the stack while the record is where it is.
  if (!newest || !newest->filled || !newest->HasPixels()) return false;
  int32_t index = -1;
  CBlockVMTC* layer = newest->FindLayer(targets, &index);
  if (!layer) {
    // Its layer is gone: the record can never apply again.
    from.DeleteAt(0);
    return false;
  }
  if (!ExchangePixels(undo, *layer, rect)) return false;
  layerIndex = index;
  return true;
}

bool CUndoMngr::UndoPixels(UndoTargetResolver& targets, SRectWH& rect, int32_t& layerIndex) {
  return ExchangePixelsOf(true, targets, rect, layerIndex);
}

bool CUndoMngr::RedoPixels(UndoTargetResolver& targets, SRectWH& rect, int32_t& layerIndex) {
  return ExchangePixelsOf(false, targets, rect, layerIndex);
}

}  // namespace tf
