#include "document/UndoData.h"

#include <cstring>
#include <new>

#include "platform/Debug.h"
#include "raster/BlockImage.h"

namespace tf {

// ---------------------------------------------------------------------------------------------
// Code table

const TUndoCodeInfo kUndoCodeTable[kUndoCodeCount] = {
    {0, 1, 0x0000},  {1, 1, 0x0000},  {2, 1, 0x0000},  {3, 1, 0x0000},  {4, 1, 0x0000},  {5, 1, 0x0000},
    {6, 1, 0x0000},  {7, 3, 0x0000},  {8, 3, 0x0000},  {9, 3, 0x0000},  {10, 3, 0x0000}, {11, 3, 0x0000},
    {12, 3, 0x0001}, {13, 3, 0x0001}, {14, 3, 0x0001}, {15, 3, 0x0001}, {16, 2, 0x0030}, {17, 4, 0x0001},
    {18, 4, 0x0C01}, {19, 4, 0x0401}, {20, 4, 0x0C01}, {21, 4, 0x0C01}, {22, 4, 0x0E01}, {23, 4, 0x0001},
    {24, 4, 0x01C0}, {25, 4, 0x1040}, {26, 4, 0x0040}, {27, 5, 0x0011}, {28, 5, 0x0011}, {29, 5, 0x0011},
    {30, 5, 0x0011}, {31, 5, 0x0001}, {32, 5, 0x0019}, {33, 5, 0x0011}, {34, 5, 0x0013}, {35, 5, 0x0193},
    {36, 5, 0x0011}, {37, 5, 0x0031}, {38, 5, 0x0051}, {39, 5, 0x0031}, {40, 5, 0x0013}, {41, 5, 0x0011},
    {42, 5, 0x0041}, {43, 5, 0x0013}, {44, 5, 0x0193}, {45, 5, 0x0021}, {46, 5, 0x0021}, {47, 5, 0x0021},
    {48, 5, 0x0621}, {49, 5, 0x0003}, {50, 5, 0x0017}, {51, 5, 0x0017}, {52, 5, 0x0017}, {53, 6, 0x0190},
    {54, 6, 0x0190}, {55, 6, 0x0190}, {56, 6, 0x0190}, {57, 6, 0x0180}, {58, 6, 0x0180}, {59, 6, 0x0180},
    {60, 6, 0x0180}, {61, 6, 0x0080}, {62, 6, 0x0190}, {63, 6, 0x1000},
};

TUndoCodeInfo UndoCodeInfo(int32_t code) {
  if (code < 0 || code >= kUndoCodeCount) return {static_cast<uint8_t>(code), kUndoCategoryNone, 0};
  return kUndoCodeTable[code];
}

// ---------------------------------------------------------------------------------------------
// Helpers

namespace {

// A new store that create(store) fills; null when it cannot be made.
template <class Create>
std::unique_ptr<CBlockVMTC> NewStore(Create create) {
  try {
    auto store = std::make_unique<CBlockVMTC>();
    if (!create(*store)) return nullptr;
    return store;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

std::unique_ptr<CBlockVMTC> MakeStore(int32_t width, int32_t height) {
  return NewStore([&](CBlockVMTC& store) { return store.Create(width, height); });
}

std::unique_ptr<CBlockVMTC> CopyStore(const CBlockVMTC& source) {
  return NewStore([&](CBlockVMTC& store) { return store.CreateCopy(source); });
}

// The tile count of a rectangle of whole tiles.
int64_t TileCountOf(const SRectWH& aligned) { return int64_t{aligned.width >> 5} * (aligned.height >> 5); }

// A store of another shape can hold the aligned rectangle's tiles in row order.
bool HoldsInTileOrder(const CBlockVMTC& store, const SRectWH& aligned) {
  return store.IsValid() && store.TileCount() >= TileCountOf(aligned);
}

// Tile k of the tiles of a rectangle of whole tiles, in row order: its column and row in the
// store the rectangle lies in.
struct SAreaTiles {
  int32_t column0, row0, across, count;
  explicit SAreaTiles(const SRectWH& aligned)
      : column0(aligned.left >> 5),
        row0(aligned.top >> 5),
        across(aligned.width >> 5),
        count(static_cast<int32_t>(TileCountOf(aligned))) {}
  int32_t Column(int32_t k) const { return column0 + k % across; }
  int32_t Row(int32_t k) const { return row0 + k / across; }
};

// Whole-tile copies between the tiles of a rectangle of a layer and the first tiles of a store of
// another shape, in row order, as a commit-first write (as CopyTilesRect: a refused commit changes
// nothing). toStore: layer -> store, whose later tiles are left as they are (see SavePixels);
// otherwise store -> layer, skipping tiles outside the layer's grid.
bool CopyTilesInOrder(CBlockVMTC& store, CBlockVMTC* layerOut, const CBlockVMTC& layerIn, const SRectWH& aligned,
                      bool toStore) {
  const SAreaTiles area(aligned);
  const int32_t storeAcross = store.TilesAcross();
  auto storeTile = [&](int32_t k) { return store.GetTile(k % storeAcross, k / storeAcross, false); };
  CBlockImage& dest = toStore ? static_cast<CBlockImage&>(store) : *layerOut;
  auto pair = [&](int32_t k, STileInfo*& d, const STileInfo*& s) {
    if (toStore) {
      d = storeTile(k);
      s = layerIn.GetTile(area.Column(k), area.Row(k));
    } else {
      d = layerOut->GetTile(area.Column(k), area.Row(k), false);
      s = storeTile(k);
    }
    return d != nullptr && s != nullptr;
  };
  CBlockImage::PendingCommits pending(dest);
  for (int32_t k = 0; k < area.count && !pending.Failed(); ++k) {
    STileInfo* d = nullptr;
    const STileInfo* s = nullptr;
    if (pair(k, d, s) && s->committed) pending.Commit(*d, true);
  }
  if (pending.Failed()) {
    pending.Rollback();
    return false;
  }
  pending.PrepareForWrite();
  bool done = true;
  for (int32_t k = 0; k < area.count; ++k) {
    STileInfo* d = nullptr;
    const STileInfo* s = nullptr;
    if (pair(k, d, s) && !dest.CopyTile(*d, *s)) done = false;
  }
  if (toStore) {
    // The store's later tiles are never read. Committed ones keep their memory (counted in the
    // record's size) for a later, larger save into this store; the others read as the default.
    for (int32_t k = area.count; k < store.TileCount(); ++k) {
      STileInfo* t = storeTile(k);
      if (t != nullptr && !t->committed) t->fill = store.DefaultFill();
    }
    store.UpdateContentRects();
  } else {
    layerOut->UpdateContentRects();
  }
  return done;
}

// Clips the rectangle to the store, then widens it to whole tiles (floor of the origin, so the
// order matters only for the size; clipping first keeps the origin inside the store).
bool ClipAndAlign(const CBlockVMTC& store, SRectWH& rect) {
  if (!store.IsValid() || !ClipRectToSize(rect, store.Size())) return false;
  AlignRectToTiles(rect);
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Construction

CUndoData::~CUndoData() {
  filled = false;
  pixels_.reset();
  pixels2_.reset();
  ByteImageFree(alpha_);
  ReleaseHeld();
}

bool CUndoData::AlignedRect(const SRectWH& rect, SRectWH& aligned) {
  if (rect.width <= 0 || rect.height <= 0) return false;
  // Aligned in 64 bits: a rectangle near the int32 limits must not wrap.
  const int64_t left = rect.left & ~int64_t{31};
  const int64_t top = rect.top & ~int64_t{31};
  const int64_t width = (int64_t{rect.left} + rect.width - left + 31) & ~int64_t{31};
  const int64_t height = (int64_t{rect.top} + rect.height - top + 31) & ~int64_t{31};
  if (width > INT32_MAX || height > INT32_MAX) return false;
  aligned = {static_cast<int32_t>(left), static_cast<int32_t>(top), static_cast<int32_t>(width),
             static_cast<int32_t>(height)};
  return true;
}

std::unique_ptr<CUndoData> CUndoData::CreateRect(int32_t layerId, uint8_t code, const SRectWH& rect) {
  return CreateRect(layerId, code, rect, nullptr);
}

std::unique_ptr<CUndoData> CUndoData::CreateRect(int32_t layerId, uint8_t code, const SRectWH& rect,
                                                 std::unique_ptr<CBlockVMTC> store) {
  SRectWH aligned{0, 0, 0, 0};
  if (!AlignedRect(rect, aligned)) return nullptr;
  std::unique_ptr<CUndoData> record(new (std::nothrow) CUndoData(layerId));
  if (!record) return nullptr;
  record->code = code;
  record->category = kUndoCategoryPixels;
  record->rect = aligned;
  const bool sameShape = store && store->Width() == aligned.width && store->Height() == aligned.height;
  if (store && store->IsValid() && (sameShape || HoldsInTileOrder(*store, aligned))) {
    record->pixels_ = std::move(store);
    record->spareShape_ = !sameShape;
  } else {
    store.reset();
    record->pixels_ = MakeStore(aligned.width, aligned.height);
  }
  if (!record->pixels_) return nullptr;
  return record;
}

std::unique_ptr<CUndoData> CUndoData::CreateCopy(const CUndoData& source) {
  try {
    std::unique_ptr<CUndoData> copy(new CUndoData(source.layerId));
    copy->filled = source.filled;
    copy->rect = source.rect;
    copy->category = source.category;
    copy->code = source.code;
    copy->value1 = source.value1;
    copy->value2 = source.value2;
    copy->value3 = source.value3;
    copy->value4 = source.value4;
    copy->maskIndex = source.maskIndex;
    copy->maskId = source.maskId;
    copy->table = source.table;
    copy->table2 = source.table2;
    copy->layerIds = source.layerIds;
    copy->name1 = source.name1;
    copy->name2 = source.name2;
    if (source.pixels_ && !(copy->pixels_ = CopyStore(*source.pixels_))) return nullptr;
    copy->tileOrder_ = source.tileOrder_;
    copy->spareShape_ = source.spareShape_;
    if (source.pixels2_ && !(copy->pixels2_ = CopyStore(*source.pixels2_))) return nullptr;
    if (ByteImageAssigned(source.alpha_)) {
      if (!ByteImageAlloc(copy->alpha_, source.alpha_.width, source.alpha_.height)) return nullptr;
      std::memcpy(copy->alpha_.data, source.alpha_.data, static_cast<size_t>(ByteImageSize(source.alpha_)));
    }
    return copy;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

// ---------------------------------------------------------------------------------------------
// Stores

void CUndoData::SetPixels(std::unique_ptr<CBlockVMTC> store) {
  pixels_ = std::move(store);
  tileOrder_ = false;
  spareShape_ = false;
}

void CUndoData::SetPixels2(std::unique_ptr<CBlockVMTC> store) { pixels2_ = std::move(store); }

void CUndoData::AdoptAlphaPlane(SByteImage& plane) {
  ByteImageFree(alpha_);
  alpha_ = plane;
  ByteImageInit(plane);
}

bool CUndoData::SavePixels(const CBlockVMTC& layer, const SRectWH& area) {
  SRectWH aligned = area;
  if (!ClipAndAlign(layer, aligned)) return false;
  const bool sameShape = pixels_ && pixels_->Width() == aligned.width && pixels_->Height() == aligned.height;
  if (!sameShape && !(pixels_ && spareShape_ && HoldsInTileOrder(*pixels_, aligned))) {
    std::unique_ptr<CBlockVMTC> store = MakeStore(aligned.width, aligned.height);
    if (!store) return false;
    pixels_ = std::move(store);
    tileOrder_ = false;
    spareShape_ = false;
  }
  if (pixels_->Width() == aligned.width && pixels_->Height() == aligned.height) {
    TPoint origin{0, 0};
    SRectWH source = aligned;
    if (!pixels_->CopyTilesFrom(layer, origin, source)) return false;
    tileOrder_ = false;
  } else {
    if (!CopyTilesInOrder(*pixels_, nullptr, layer, aligned, true)) return false;
    tileOrder_ = true;
  }
  rect = aligned;
  filled = true;
  return true;
}

bool CUndoData::RestorePixels(CBlockVMTC& layer) const {
  if (!filled || !pixels_) return false;
  if (tileOrder_) return CopyTilesInOrder(*pixels_, &layer, layer, rect, false);
  TPoint origin{rect.left, rect.top};
  SRectWH source{0, 0, pixels_->Width(), pixels_->Height()};
  return layer.CopyTilesFrom(*pixels_, origin, source);
}

bool CUndoData::ExchangeWholeStore(CBlockVMTC& layer) {
  if (!filled || !pixels_ || tileOrder_ || rect.left != 0 || rect.top != 0) return false;
  if (pixels_->Size() != layer.Size()) return false;
  return pixels_->ExchangeStore(layer);
}

void CUndoData::SetPixelBlock(int32_t index, int32_t id, uint8_t newCode, const SRectWH& area,
                              std::unique_ptr<CBlockVMTC> store) {
  pixels_ = std::move(store);
  tileOrder_ = false;
  spareShape_ = false;
  category = kUndoCategoryPixels;
  layerIndex = index;
  layerId = id;
  code = newCode;
  rect = area;
  filled = true;
}

// ---------------------------------------------------------------------------------------------
// Alpha planes

bool CUndoData::SaveAlpha(int32_t id, const CBlockVMTC& layer, uint8_t newCode, const SRectWH& area) {
  SByteImage plane;
  ByteImageInit(plane);
  SRectWH clipped = area;
  if (!layer.IsValid() || !ByteImageGrabAlpha(plane, layer, clipped)) {
    ByteImageFree(plane);
    return false;
  }
  AdoptAlphaPlane(plane);
  filled = true;
  layerId = id;
  category = kUndoCategoryAlpha;
  code = newCode;
  rect = {clipped.left, clipped.top, alpha_.width, alpha_.height};
  return true;
}

bool CUndoData::RestoreAlpha(CBlockVMTC& layer) const {
  if (!filled || !ByteImageAssigned(alpha_) || category != kUndoCategoryAlpha) return false;
  return ByteImagePutAlpha(alpha_, layer, rect);
}

// ---------------------------------------------------------------------------------------------
// Other categories

void CUndoData::SetReversible(int32_t id, const SRectWH& area, uint8_t newCode) {
  pixels_.reset();
  category = kUndoCategoryReversible;
  layerId = id;
  rect = area;
  code = newCode;
}

void CUndoData::SetAttribute(int32_t id, uint8_t newCode, int32_t v1, int32_t v2, int32_t v3, int32_t v4) {
  pixels_.reset();
  SetValues(filled, id, kUndoCategoryAttribute, newCode, v1, v2, v3, v4);
}

void CUndoData::SetValues(bool isFilled, int32_t id, uint8_t newCategory, uint8_t newCode, int32_t v1, int32_t v2,
                          int32_t v3, int32_t v4) {
  filled = isFilled;
  layerId = id;
  category = newCategory;
  code = newCode;
  value1 = v1;
  value2 = v2;
  value3 = v3;
  value4 = v4;
}

int32_t CUndoData::ExchangeLayerId(int32_t id) {
  const int32_t old = layerId;
  layerId = id;
  return old;
}

void CUndoData::SwapValues12() {
  std::swap(value1, value2);
  if (code == kUndoLayerName) name1.swap(name2);
}

SRectWH CUndoData::GetRect() const {
  if (pixels_ && !tileOrder_) return {rect.left, rect.top, pixels_->Width(), pixels_->Height()};
  return rect;
}

CBlockVMTC* CUndoData::FindLayer(UndoTargetResolver& targets, int32_t* index) const {
  CBlockVMTC* store = targets.FindLayerPixels(layerId);
  if (!store) {
    DebugOutF("CUndoData: layer id %d of an undo record (code %d) is gone\n", layerId, code);
    if (index) *index = -1;
    return nullptr;
  }
  if (index) *index = targets.FindLayerIndex(layerId);
  return store;
}

// ---------------------------------------------------------------------------------------------
// Memory

int64_t CUndoData::MemorySize() const {
  if (!filled) return 0;
  int64_t size = 0;
  if (pixels_) size += pixels_->CommittedBytes();
  if (pixels2_) size += pixels2_->CommittedBytes();
  switch (category) {
    case kUndoCategoryAlpha: size += ByteImageSize(alpha_); break;
    case kUndoCategoryLayers:
      switch (code) {
        case kUndoNewLayer:
        case kUndoDuplicateLayer:
        case kUndoNewLayerFromPaste:
          if (undone) size += SlotMemory(held_);
          break;
        case kUndoGrowLayer:
        case kUndoGrowLayerWithSelection:
        case kUndoRebuildLayer:
        case kUndoCanvasSize:
        case kUndoTrimCanvas:
        case kUndoMergeFolder:
        case kUndoDeleteFolder:
        case kUndoMoveBlockGrown:
        case kUndoMoveBlockWithSelection: size += SlotMemory(held_); break;
        case kUndoDeleteLayer:
        case kUndoRemoveFolder:
          if (!undone) size += SlotMemory(held_);
          break;
        case kUndoMergeDown:
          size += SlotMemory(held_);
          if (!undone) size += SlotMemory(heldExtra_);
          break;
        case kUndoMergeVisible:
          if (value2 == 0) size += SlotMemory(held_);
          break;
        case kUndoSelectionToLayer:
          if (undone) size += SlotMemory(held_);
          size += ByteImageSize(alpha_);
          break;
        case kUndoResolution: size += SlotMemory(held_) + SlotMemory(heldExtra_); break;
        default: break;
      }
      break;
    case kUndoCategoryMasks:
      if (code != kUndoMaskFromLayer || undone) size += SlotMemory(held_);
      break;
    default: break;
  }
  return size;
}

// ---------------------------------------------------------------------------------------------
// Held objects

void CUndoData::ForgetSlot(std::unique_ptr<CUndoHeld>& slot) {
  if (!slot) return;
  slot->Forget();
  slot.reset();
}

void CUndoData::ReleaseHeld() {
  switch (code) {
    case kUndoNewLayer:
    case kUndoDuplicateLayer:
    case kUndoNewLayerFromPaste:
    case kUndoSelectionToLayer:
    case kUndoMaskFromLayer:
      // The new object lives in the document while the change is in effect.
      if (!undone) ForgetSlot(held_);
      held_.reset();
      break;
    case kUndoDeleteLayer:
    case kUndoRemoveFolder:
      // The removed layer is back in the document after the undo.
      if (undone) ForgetSlot(held_);
      held_.reset();
      break;
    case kUndoMergeDown:
      if (undone) ForgetSlot(heldExtra_);
      heldExtra_.reset();
      held_.reset();
      break;
    case kUndoMergeVisible:
      // After the undo the merged layers live in the document again.
      if (value2 == 1 && held_ && !held_->DetachEntriesFrom(1)) {
        // Freeing it would free layers the document holds: let it go unfreed instead.
        DebugOut("CUndoData: the merged layers of a visible merge could not be detached\n");
        ForgetSlot(held_);
      }
      held_.reset();
      break;
    case kUndoGrowLayer:
    case kUndoGrowLayerWithSelection:
    case kUndoRebuildLayer:
    case kUndoMergeFolder:
    case kUndoDeleteFolder:
    case kUndoMoveBlockGrown:
    case kUndoMoveBlockWithSelection:
    case kUndoCanvasSize:
    case kUndoTrimCanvas:
    case kUndoAddMask:
    case kUndoDeleteMask:
    case kUndoMaskPixels:
    case kUndoCombineMasks: held_.reset(); break;
    case kUndoResolution:
      heldExtra_.reset();
      held_.reset();
      break;
    default:
      // The document (17) and the layer of a reversible operation are references only.
      if ((held_ || heldExtra_) && code != kUndoPaperColor && UndoCodeCategory(code) != kUndoCategoryReversible)
        DebugOutF("CUndoData: code %d holds no object, yet one is held; it is not freed\n", code);
      break;
  }
  ForgetSlot(held_);
  ForgetSlot(heldExtra_);
}

}  // namespace tf
