#include "document/LayerData.h"

#include <algorithm>
#include <new>

#include "document/BlendMode.h"
#include "document/PixelUndo.h"
#include "document/ShellServices.h"
#include "platform/Clock.h"
#include "raster/BlockVMTCRows.h"

namespace tf {
namespace {

// Program-wide layer id counter (wraps instead of overflowing).
uint32_t g_layerIdCounter = 0;

int32_t ClampDepth(int64_t depth) { return static_cast<int32_t>(std::clamp<int64_t>(depth, 0, kMaxFolderDepth)); }

}  // namespace

int32_t LayerIdCounter() { return static_cast<int32_t>(g_layerIdCounter); }

int32_t TakeNextLayerId() {
  ++g_layerIdCounter;
  return static_cast<int32_t>(g_layerIdCounter);
}

void ResetLayerIdCounter(int32_t value) { g_layerIdCounter = static_cast<uint32_t>(value); }

// ---------------------------------------------------------------------------------------------

CLayerData::CLayerData(int32_t index, bool withOwnUndo) : index(index), id(TakeNextLayerId()) {
  RandomInit(random, static_cast<int32_t>(timeGetTime()), kDissolveRandomLow, kDissolveRandomHigh);
  if (withOwnUndo) ownUndo_ = std::make_unique<CUndoMngr>(kOwnUndoLimit, kOwnUndoLimit);
}

CLayerData::~CLayerData() {
  FreeContent();
  ownUndo_.reset();
}

void CLayerData::FreeContent() {
  visible = 0;
  store_.reset();
  thumbnail_.reset();
  if (ownUndo_) ownUndo_->ClearAll();
}

bool CLayerData::Init(int32_t width, int32_t height, uint8_t mode) {
  FreeContent();
  try {
    auto store = std::make_unique<CBlockVMTC>(width, height);
    if (!store->IsValid()) return false;
    store_ = std::move(store);
    offsetX = 0;
    offsetY = 0;
    canvasWidth = width;
    canvasHeight = height;
    visible = 1;
    alphaProtect = 0;
    opacity = 255;
    blendMode = mode;
    // The neutral colour goes into the fill values: nothing is committed.
    FillNeutralAll(*store_, mode);
    thumbnail_ = std::make_unique<TMTC>();
    UpdateThumbnailSize();
    return true;
  } catch (...) {
    FreeContent();
    return false;
  }
}

bool CLayerData::InitFrom(const CLayerData& other) {
  if (!other.store_) return false;
  return Init(other.StoreWidth(), other.StoreHeight(), other.blendMode) && Assign(other);
}

bool CLayerData::Assign(const CLayerData& other) {
  if (&other == this) return true;
  if (!other.store_) return false;
  try {
    // Build everything first, so a failure leaves this layer as it was.
    auto store = std::make_unique<CBlockVMTC>(other.StoreWidth(), other.StoreHeight());
    if (!store->IsValid() || !store->Assign(*other.store_)) return false;
    std::unique_ptr<TMTC> thumbnail;
    if (other.thumbnail_) {
      thumbnail = std::make_unique<TMTC>();
      if (other.thumbnail_->IsValid()) {
        if (!thumbnail->Resize(other.thumbnail_->Width(), other.thumbnail_->Height())) return false;
        if (!CopyPixels32(*thumbnail, *other.thumbnail_)) return false;
      }
    }
    std::unique_ptr<CUndoMngr> ownUndo;
    if (other.ownUndo_) {
      ownUndo = std::make_unique<CUndoMngr>(other.ownUndo_->UndoLimit(), other.ownUndo_->RedoLimit());
      if (!ownUndo->Assign(*other.ownUndo_)) return false;
    }
    store_ = std::move(store);
    thumbnail_ = std::move(thumbnail);
    if (ownUndo) ownUndo_ = std::move(ownUndo);
    CopyAttributes(other);
    offsetX = other.offsetX;
    offsetY = other.offsetY;
    canvasWidth = other.canvasWidth;
    canvasHeight = other.canvasHeight;
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

void CLayerData::CopyAttributes(const CLayerData& other) {
  if (&other == this) return;
  name = other.name;
  visible = other.visible;
  opacity = other.opacity;
  alphaProtect = other.alphaProtect;
  blendMode = other.blendMode;
  groupDepth_ = other.groupDepth_;
  dissolveThreshold = other.dissolveThreshold;
  dissolve = other.dissolve;
  random = other.random;
  clip = other.clip;
  extraAttribute = other.extraAttribute;
}

int32_t CLayerData::AssignNewId() {
  id = TakeNextLayerId();
  return id;
}

void CLayerData::SetSeed(int32_t seed) { RandomInit(random, seed, kDissolveRandomLow, kDissolveRandomHigh); }

int32_t CLayerData::SetGroupDepth(int32_t depth) {
  groupDepth_ = ClampDepth(depth);
  return groupDepth_;
}

int32_t CLayerData::AddGroupDepth(int32_t delta) {
  groupDepth_ = ClampDepth(int64_t{groupDepth_} + delta);
  return groupDepth_;
}

// ---- Thumbnail ----

bool CLayerData::SetThumbnailSize(int32_t width, int32_t height) {
  if (width <= 0 || height <= 0) return false;
  int64_t w = width;
  int64_t h = height;
  if (canvasWidth > 0 && canvasHeight > 0) {
    if (canvasHeight < canvasWidth) {
      h = std::max<int64_t>(1, int64_t{width} * canvasHeight / canvasWidth);
    } else {
      w = std::max<int64_t>(1, int64_t{height} * canvasWidth / canvasHeight);
    }
  }
  try {
    if (!thumbnail_) thumbnail_ = std::make_unique<TMTC>();
    if (!thumbnail_->Resize(static_cast<int32_t>(w), static_cast<int32_t>(h))) return false;
    thumbnail_->FillAll(kThumbnailFill);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool CLayerData::UpdateThumbnailSize() {
  const int32_t size = GetLayerThumbnailSize();
  return SetThumbnailSize(size, size);
}

void CLayerData::UpdateThumbnail() {
  if (!store_ || !thumbnail_ || !thumbnail_->IsValid()) return;
  DrawBlockScaledTo(*store_, *thumbnail_, 0, 0, thumbnail_->Width(), thumbnail_->Height(), offsetX, offsetY,
                    canvasWidth, canvasHeight);
}

void CLayerData::FillThumbnailNeutral(bool transparent) {
  if (!thumbnail_ || !thumbnail_->IsValid()) return;
  const uint32_t colour = (GetBlendModeNeutralColor(blendMode) & 0x00FFFFFFu) | (transparent ? 0u : 0xFF000000u);
  thumbnail_->FillAll(colour);
}

// ---- Placement ----

bool CLayerData::IsOffsetInside(bool clamp) {
  if (!store_) return false;
  const int64_t maxX = int64_t{StoreWidth()} - canvasWidth;
  const int64_t maxY = int64_t{StoreHeight()} - canvasHeight;
  if (clamp) {
    offsetX = static_cast<int32_t>(std::max<int64_t>(0, std::min<int64_t>(offsetX, maxX)));
    offsetY = static_cast<int32_t>(std::max<int64_t>(0, std::min<int64_t>(offsetY, maxY)));
  }
  return offsetX >= 0 && offsetX <= maxX && offsetY >= 0 && offsetY <= maxY;
}

bool CLayerData::Offset(int32_t dx, int32_t dy) {
  offsetX = SubSat(offsetX, dx);
  offsetY = SubSat(offsetY, dy);
  UpdateThumbnail();
  return IsOffsetInside(false);
}

bool CLayerData::IsOversized() const {
  return store_ && (StoreWidth() > canvasWidth || StoreHeight() > canvasHeight);
}

void CLayerData::GetStoreRect(TRect& rect) const {
  rect.left = SubSat(0, offsetX);
  rect.top = SubSat(0, offsetY);
  rect.right = SubSat(StoreWidth(), offsetX);
  rect.bottom = SubSat(StoreHeight(), offsetY);
}

std::unique_ptr<CLayerData> CLayerData::CreateResized(const SSize& size, const TPoint& position) const {
  if (!store_) return nullptr;
  try {
    auto layer = std::make_unique<CLayerData>(index, HasOwnUndo());
    if (!layer->Init(size.width, size.height, blendMode)) return nullptr;
    layer->offsetX = AddSat(offsetX, position.x);
    layer->offsetY = AddSat(offsetY, position.y);
    layer->canvasWidth = canvasWidth;
    layer->canvasHeight = canvasHeight;
    TPoint dest = position;
    SRectWH source{0, 0, StoreWidth(), StoreHeight()};
    if (!layer->store_->CopyFrom(*store_, dest, source)) {
      // Nothing to copy is fine (the old store lies wholly outside); a refused tile is not.
      TRect inside{position.x, position.y, AddSat(position.x, StoreWidth()), AddSat(position.y, StoreHeight())};
      if (layer->store_->ClipBounds(inside)) return nullptr;
    }
    return layer;
  } catch (...) {
    return nullptr;
  }
}

// ---- Pixels ----

bool CLayerData::SetAlphaAll(uint8_t alpha) { return store_ && store_->SetAlphaAll(alpha); }

bool CLayerData::InvertAlpha() { return store_ && store_->XorAll(0xFF000000u); }

std::unique_ptr<CBlockVMTC> CLayerData::SwapStore(std::unique_ptr<CBlockVMTC> store) {
  std::swap(store, store_);
  return store;
}

bool CLayerData::CopyStoreToImage(TMTC& image) const {
  return store_ && store_->CopyAllToImage(image, 0, 0, 255, false);
}

bool CLayerData::CopyRectToImage(TMTC& image, const SRectWH& rect) const {
  if (!store_) return false;
  TPoint dest{rect.left, rect.top};
  SRectWH source = rect;
  return store_->CopyToImage(image, dest, source, 255, false);
}

// ---- Own pixel undo ----

void CLayerData::ClearOwnUndo() {
  if (ownUndo_) ownUndo_->ClearAll();
}

void CLayerData::FreeOwnUndo() { ownUndo_.reset(); }

bool CLayerData::CanUndoOwn() const { return ownUndo_ && ownUndo_->CanUndo(); }

bool CLayerData::CanRedoOwn() const { return ownUndo_ && ownUndo_->CanRedo(); }

int64_t CLayerData::GetOwnUndoMemory() const {
  return ownUndo_ ? ownUndo_->MemorySize() + ownUndo_->SpareBytes() : 0;
}

bool CLayerData::SaveStoreOwnUndo() {
  if (!store_) return false;
  return SaveRectOwnUndo(SRectWH{0, 0, StoreWidth(), StoreHeight()});
}

bool CLayerData::SaveRectOwnUndo(const SRectWH& rect) {
  if (!ownUndo_ || !store_) return false;
  return ownUndo_->SaveRect(index, id, *store_, rect);
}

bool CLayerData::UndoOwnPixels(TMTC* image, SRectWH& rect) {
  if (!ownUndo_ || !store_) return false;
  if (!ownUndo_->UndoPixels(*store_, rect)) return false;
  if (image != nullptr) CopyRectToImage(*image, rect);
  return true;
}

int64_t CLayerData::GetMemory() const {
  int64_t bytes = store_ ? store_->CommittedBytes() : 0;
  if (thumbnail_ && thumbnail_->IsValid()) bytes += int64_t{thumbnail_->Width()} * thumbnail_->Height() * 4;
  return bytes;
}

}  // namespace tf
