#include "document/Mask.h"

#include <algorithm>
#include <cstdio>
#include <new>

#include "document/LayerData.h"
#include "document/MaskCanvas.h"
#include "document/ShellServices.h"
#include "platform/Debug.h"
#include "platform/Host.h"
#include "platform/Warning.h"
#include "raster/BlockVMTC.h"
#include "raster/ByteImage.h"
#include "raster/Composite.h"

namespace tf {

namespace {

int32_t g_maskIdCounter = 0;

TRect StoreRect(const TPoint& offset, const SSize& size) {
  return TRect{-offset.x, -offset.y, size.width - offset.x, size.height - offset.y};
}

TRect UnionOf(const TRect& a, const TRect& b) {
  return TRect{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
               std::max(a.bottom, b.bottom)};
}

// A store of the size reading 0; null when refused or out of memory.
std::unique_ptr<CBlockVCH> NewStore(int32_t width, int32_t height) {
  if (width <= 0 || height <= 0 || width > kMaxMaskSide || height > kMaxMaskSide) return nullptr;
  try {
    auto store = std::make_unique<CBlockVCH>();
    if (!store->Create(width, height)) return nullptr;
    return store;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

// A mask (index given) around a new store of the size.
std::unique_ptr<CMaskData> NewMaskOfSize(int32_t index, int32_t width, int32_t height) {
  return CMaskData::Create(index, width, height);
}

// A channel that lies wholly outside the store copies nothing and succeeds.
bool CopyChannelInto(CBlockVCH& store, const TChannel& channel, int32_t x, int32_t y) {
  TPoint dest{x, y};
  SRectWH source{0, 0, channel.Width(), channel.Height()};
  TPoint clippedDest = dest;
  SRectWH clippedSource = source;
  if (!ClipBlit(store.Size(), channel.Size(), clippedDest, clippedSource)) return true;
  return store.CopyFromChannel(channel, dest, source);
}

bool CombineStoreInto(CBlockVCH& dest, const CBlockVCH& source, int32_t x, int32_t y, ByteOp op) {
  TPoint point{x, y};
  SRectWH rect{0, 0, source.Width(), source.Height()};
  return dest.CombineFrom(source, point, rect, op);
}

}  // namespace

bool IsAcceptableMaskGeometry(const TPoint& offset, const SSize& size) {
  return size.width >= 1 && size.height >= 1 && size.width <= kMaxMaskSide && size.height <= kMaxMaskSide &&
         offset.x >= -kMaxMaskOffset && offset.x <= kMaxMaskOffset && offset.y >= -kMaxMaskOffset &&
         offset.y <= kMaxMaskOffset;
}

// ---------------------------------------------------------------------------------------------
// CMaskData

CMaskData::CMaskData(int32_t index) : index(index) {
  NewId();
  thumbnail_ = std::make_unique<TTC>(1, 1, true);
}

CMaskData::~CMaskData() = default;

std::unique_ptr<CMaskData> CMaskData::Create(int32_t index, int32_t width, int32_t height) {
  std::unique_ptr<CBlockVCH> store = NewStore(width, height);
  if (!store) return nullptr;
  try {
    auto mask = std::make_unique<CMaskData>(index);
    mask->store_ = std::move(store);
    return mask;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

std::unique_ptr<CMaskData> CMaskData::CreateCopy(const CMaskData& source) {
  try {
    auto copy = std::make_unique<CMaskData>(source.index);
    if (source.IsAllocated()) {
      auto store = std::make_unique<CBlockVCH>();
      if (!store->CreateCopy(*source.store_)) return nullptr;
      copy->store_ = std::move(store);
    }
    if (source.thumbnail_ && source.thumbnail_->IsValid()) {
      if (!copy->thumbnail_->Resize(source.thumbnail_->Width(), source.thumbnail_->Height())) return nullptr;
      if (!copy->thumbnail_->CopyAllFrom(0, 0, *source.thumbnail_)) return nullptr;
    }
    copy->offsetX = source.offsetX;
    copy->offsetY = source.offsetY;
    copy->name = source.name;
    return copy;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

int32_t CMaskData::IdCounter() { return g_maskIdCounter; }

void CMaskData::NewId() { id = g_maskIdCounter++; }

bool CMaskData::IsAllocated(const CMaskData* mask) {
  return mask != nullptr && mask->store_ != nullptr && mask->store_->IsValid();
}

bool CMaskData::createMask(int32_t width, int32_t height) {
  store_.reset();
  store_ = NewStore(width, height);
  if (!store_) ShowWarning(kCreateMaskFailedText);
  return IsAllocated();
}

bool CMaskData::FromLayer(const CLayerData& layer, int kind) {
  CBlockVMTC* pixels = layer.Store();
  if (pixels == nullptr || !pixels->IsValid()) return false;
  if (!IsAcceptableMaskGeometry(TPoint{layer.offsetX, layer.offsetY}, pixels->Size())) return false;
  if (!createMask(pixels->Width(), pixels->Height())) return false;
  const bool filled = kind == 2 ? store_->FromAlpha(*pixels) : store_->FromLuminance(*pixels, kind == 1);
  if (!filled) {
    store_.reset();
    return false;
  }
  store_->Compact();
  offsetX = layer.offsetX;
  offsetY = layer.offsetY;
  name = std::string(kind == 2 ? kMaskNameStem : kLuminanceNameStem) + "(" + layer.name + ")";
  UpdateThumbnail(layer.canvasWidth, layer.canvasHeight);
  return true;
}

bool CMaskData::FromLuminance(const CLayerData& layer, bool invert) { return FromLayer(layer, invert ? 1 : 0); }

bool CMaskData::FromAlpha(const CLayerData& layer) { return FromLayer(layer, 2); }

bool CMaskData::ToLayerAlpha(CLayerData& layer) const {
  CBlockVMTC* pixels = layer.Store();
  if (pixels == nullptr || !pixels->IsValid()) return false;
  if (!layer.SetAlphaAll(0)) return false;
  if (!IsAllocated()) return true;
  // Mask store point (x, y) lies on layer store point (x - offset x + layer offset x, ...).
  TPoint dest{layer.offsetX - offsetX, layer.offsetY - offsetY};
  SRectWH source{0, 0, store_->Width(), store_->Height()};
  if (!ClipBlit(pixels->Size(), store_->Size(), dest, source)) return false;
  SByteImage plane;
  ByteImageInit(plane);
  if (!ByteImageAlloc(plane, source.width, source.height)) return false;
  for (int32_t row = 0; row < source.height; ++row) {
    uint8_t* out = ByteImagePixel(plane, 0, row);
    for (int32_t x = 0; x < source.width; ++x) out[x] = store_->GetPixel(source.left + x, source.top + row);
  }
  const bool put = ByteImagePutAlpha(plane, *pixels, SRectWH{dest.x, dest.y, source.width, source.height});
  ByteImageFree(plane);
  return put;
}

bool CMaskData::MultiplyImageAlpha(TMTC& image) const {
  if (!IsAllocated()) return true;
  if (!image.IsValid()) return false;
  TPoint dest{-offsetX, -offsetY};
  SRectWH source{0, 0, store_->Width(), store_->Height()};
  if (!ClipBlit(image.Size(), store_->Size(), dest, source)) return true;
  for (int32_t row = 0; row < source.height; ++row) {
    uint8_t* pixel = image.GetPixelPtr(dest.x, dest.y + row);
    for (int32_t x = 0; x < source.width; ++x, pixel += 4)
      pixel[3] = static_cast<uint8_t>(MulDiv255(pixel[3], store_->GetPixel(source.left + x, source.top + row)));
  }
  return true;
}

int64_t CMaskData::CommittedBytes() const { return store_ ? store_->CommittedBytes() : 0; }

TRect CMaskData::GetRect() const {
  if (!store_) return TRect{-offsetX, -offsetY, -offsetX, -offsetY};
  return StoreRect(TPoint{offsetX, offsetY}, store_->Size());
}

bool CMaskData::GetBounds(TRect& bounds) const {
  if (!IsAllocated()) return false;
  TRect found{};
  if (!store_->GetNonZeroBounds(found)) return false;
  bounds = TRect{found.left - offsetX, found.top - offsetY, found.right - offsetX, found.bottom - offsetY};
  return true;
}

bool CMaskData::GetTileBounds(TRect& bounds) const {
  if (!IsAllocated()) return false;
  TRect found{};
  if (!BlockContentBounds(*store_, found)) return false;
  found.right = std::min(found.right, store_->Width());
  found.bottom = std::min(found.bottom, store_->Height());
  bounds = TRect{found.left - offsetX, found.top - offsetY, found.right - offsetX, found.bottom - offsetY};
  return true;
}

int32_t CMaskData::ValueAtCanvas(int32_t x, int32_t y) const {
  if (!IsAllocated()) return -1;
  const int64_t sx = int64_t{x} + offsetX;
  const int64_t sy = int64_t{y} + offsetY;
  if (sx < 0 || sy < 0 || sx >= store_->Width() || sy >= store_->Height()) return -1;
  return store_->GetPixel(static_cast<int32_t>(sx), static_cast<int32_t>(sy));
}

uint8_t CMaskData::ValueAt(int32_t x, int32_t y, uint8_t scale) const {
  if (!IsAllocated() || x < 0 || y < 0 || x >= store_->Width() || y >= store_->Height()) return 0;
  return MulTable[scale][store_->GetPixel(x, y)];
}

uint8_t CMaskData::ValueAtFast(int32_t x, int32_t y, uint8_t scale) const {
  return MulTable[scale][store_->GetPixel(x, y)];
}

bool CMaskData::FitThumbnail(int32_t canvasWidth, int32_t canvasHeight, int32_t maxWidth, int32_t maxHeight) {
  if (canvasWidth <= 0 || canvasHeight <= 0 || maxWidth <= 0 || maxHeight <= 0 || !thumbnail_) return false;
  int32_t width = maxWidth;
  int32_t height = maxHeight;
  if (canvasHeight < canvasWidth) {
    height = static_cast<int32_t>(std::max<int64_t>(1, int64_t{canvasHeight} * maxWidth / canvasWidth));
  } else {
    width = static_cast<int32_t>(std::max<int64_t>(1, int64_t{canvasWidth} * maxHeight / canvasHeight));
  }
  if (thumbnail_->IsValid() && thumbnail_->Width() == width && thumbnail_->Height() == height) return true;
  if (!thumbnail_->Resize(width, height)) return false;
  thumbnail_->FillAll(0);
  return true;
}

bool CMaskData::DrawThumbnail(int32_t canvasWidth, int32_t canvasHeight) {
  if (!IsAllocated() || !thumbnail_ || !thumbnail_->IsValid()) return false;
  return store_->DrawScaledTo(*thumbnail_, 0, 0, thumbnail_->Width(), thumbnail_->Height(), offsetX, offsetY,
                              canvasWidth, canvasHeight);
}

bool CMaskData::RenderThumbnail(int32_t canvasWidth, int32_t canvasHeight, int32_t maxWidth, int32_t maxHeight) {
  if (!FitThumbnail(canvasWidth, canvasHeight, maxWidth, maxHeight)) return false;
  DrawThumbnail(canvasWidth, canvasHeight);
  return true;
}

bool CMaskData::UpdateThumbnail(int32_t canvasWidth, int32_t canvasHeight) {
  const int32_t side = GetMaskThumbnailSize();
  return RenderThumbnail(canvasWidth, canvasHeight, side, side);
}

// ---------------------------------------------------------------------------------------------
// CScaleMaskImage

CScaleMaskImage::CScaleMaskImage(CBlockVCH& source, CBlockVCH& dest) : source_(source), dest_(dest) {
  sourceSize_ = source.Size();
  destSize_ = dest.Size();
}

const uint8_t* CScaleMaskImage::SourcePixel(int32_t x, int32_t y) { return source_.WritePtrClamped(x, y); }

uint8_t* CScaleMaskImage::DestPixel(int32_t x, int32_t y) { return dest_.WritePtrClamped(x, y); }

// ---------------------------------------------------------------------------------------------
// CMaskMngr: list

CMaskMngr::CMaskMngr(const MaskCanvas* canvas, int32_t capacity) : canvas_(canvas), outline_(canvas, 0xCC) {
  masks_.reserve(static_cast<size_t>(std::max(capacity, 1)));
  SetActive(0);
  NameMask(0, 1);
  outlineIndex_ = -1;
}

CMaskMngr::~CMaskMngr() { Clear(); }

SSize CMaskMngr::CanvasSize() const { return canvas_ != nullptr ? canvas_->CanvasSize() : SSize{0, 0}; }

int32_t CMaskMngr::SetNameCounter(int32_t value) {
  const int32_t old = nameCounter_;
  nameCounter_ = value;
  return old;
}

bool CMaskMngr::NameMask(int32_t index, int32_t step) {
  CMaskData* mask = GetMask(index);
  if (mask == nullptr) return false;
  nameCounter_ += step;
  mask->name = std::string(kMaskNameStem) + std::to_string(nameCounter_);
  return true;
}

std::string CMaskMngr::CombineModeCaption(int32_t mode) {
  switch (mode) {
    case kMaskReplace: return "選択範囲をコピー(&C)";
    case kMaskAdd: return "選択範囲に加える(&A)";
    case kMaskSubtract: return "選択範囲から取り除く(&R)";
    case kMaskIntersect: return "共通部分に置き換える(&E)";
    default: return std::string();
  }
}

int32_t CMaskMngr::SetActive(int32_t index) {
  if (index == GetCount()) {
    try {
      masks_.push_back(std::make_unique<CMaskData>(index));
    } catch (const std::bad_alloc&) {
      return activeIndex_;
    }
  }
  if (IsValidIndex(index)) activeIndex_ = index;
  return activeIndex_;
}

CMaskData* CMaskMngr::GetMask(int32_t index) const {
  return IsValidIndex(index) ? masks_[static_cast<size_t>(index)].get() : nullptr;
}

bool CMaskMngr::HasAnyMask() const {
  for (const auto& mask : masks_)
    if (mask) return true;
  return false;
}

int32_t CMaskMngr::GetLastAllocatedIndex() const {
  for (int32_t i = GetCount() - 1; i >= 0; --i)
    if (CMaskData::IsAllocated(GetMask(i))) return i;
  return -1;
}

bool CMaskMngr::IsLargerThanCanvas(int32_t index) const {
  const CMaskData* mask = GetMask(Resolve(index));
  if (!CMaskData::IsAllocated(mask)) return false;
  const SSize canvas = CanvasSize();
  return mask->Store()->Width() > canvas.width || mask->Store()->Height() > canvas.height;
}

int64_t CMaskMngr::GetCommittedBytes() const {
  int64_t sum = 0;
  for (const auto& mask : masks_)
    if (mask) sum += mask->CommittedBytes();
  return sum;
}

int32_t CMaskMngr::FindId(int32_t id) const {
  for (int32_t i = 0; i < GetCount(); ++i)
    if (masks_[static_cast<size_t>(i)] && masks_[static_cast<size_t>(i)]->id == id) return i;
  return -1;
}

void CMaskMngr::Renumber() {
  for (int32_t i = 0; i < GetCount(); ++i)
    if (masks_[static_cast<size_t>(i)]) masks_[static_cast<size_t>(i)]->SetIndex(i);
}

void CMaskMngr::ClampActive() {
  if (activeIndex_ >= GetCount()) activeIndex_ = GetCount() - 1;
}

std::unique_ptr<CMaskData> CMaskMngr::Detach(int32_t index) {
  if (!IsValidIndex(index)) return nullptr;
  std::unique_ptr<CMaskData> mask = std::move(masks_[static_cast<size_t>(index)]);
  masks_.erase(masks_.begin() + index);
  return mask;
}

bool CMaskMngr::DeleteAt(int32_t index) {
  if (!IsValidIndex(index)) return false;
  Detach(index).reset();
  return true;
}

int32_t CMaskMngr::Clear() {
  const int32_t count = GetCount();
  while (!masks_.empty()) masks_.pop_back();
  ClampActive();
  return count;
}

int32_t CMaskMngr::InsertMask(int32_t index, std::unique_ptr<CMaskData>& mask) {
  if (!mask || index < 0 || index > GetCount()) return -1;
  try {
    masks_.insert(masks_.begin() + index, std::move(mask));
  } catch (const std::bad_alloc&) {
    return -1;
  }
  return index;
}

std::unique_ptr<CMaskData> CMaskMngr::ReplaceMask(int32_t index, std::unique_ptr<CMaskData> mask) {
  if (IsValidIndex(index)) {
    std::swap(masks_[static_cast<size_t>(index)], mask);
    return mask;
  }
  try {
    masks_.push_back(std::move(mask));
  } catch (const std::bad_alloc&) {
  }
  return nullptr;
}

bool CMaskMngr::PutMask(int32_t index, std::unique_ptr<CMaskData>& mask) {
  if (!IsValidIndex(index)) return false;
  std::swap(masks_[static_cast<size_t>(index)], mask);
  ClampActive();
  Renumber();
  return true;
}

int32_t CMaskMngr::NewMask(int32_t index) {
  const int32_t at = Resolve(index);
  int32_t result = -1;
  try {
    auto mask = std::make_unique<CMaskData>(at);
    result = InsertMask(at, mask);
    if (result >= 0) NameMask(result, 1);
  } catch (const std::bad_alloc&) {
    result = -1;
  }
  Renumber();
  return result;
}

int32_t CMaskMngr::InsertExisting(int32_t index, std::unique_ptr<CMaskData>& mask) {
  const int32_t result = InsertMask(Resolve(index), mask);
  Renumber();
  return result;
}

int32_t CMaskMngr::Duplicate(int32_t index) {
  const int32_t n = Resolve(index);
  const CMaskData* source = GetMask(n);
  int32_t result = -1;
  if (source != nullptr) {
    std::unique_ptr<CMaskData> copy = CMaskData::CreateCopy(*source);
    if (copy) result = InsertMask(n, copy);
  }
  Renumber();
  return result;
}

int32_t CMaskMngr::Move(int32_t to, int32_t from) {
  if (!IsValidIndex(to) || !IsValidIndex(from) || to == from) return -1;
  std::unique_ptr<CMaskData> mask = Detach(from);
  masks_.insert(masks_.begin() + to, std::move(mask));
  Renumber();
  return to;
}

bool CMaskMngr::Remove(int32_t index, std::unique_ptr<CMaskData>& mask) {
  if (!IsValidIndex(index)) return false;
  mask = Detach(index);
  ClampActive();
  Renumber();
  return true;
}

bool CMaskMngr::ClearMask(int32_t index, std::unique_ptr<CMaskData>& old) {
  if (!IsValidIndex(index)) return false;
  try {
    auto fresh = std::make_unique<CMaskData>(index);
    fresh->name = masks_[static_cast<size_t>(index)] ? masks_[static_cast<size_t>(index)]->name : std::string();
    old = ReplaceMask(index, std::move(fresh));
  } catch (const std::bad_alloc&) {
    return false;
  }
  Renumber();
  return true;
}

// ---------------------------------------------------------------------------------------------
// CMaskMngr: combining

std::unique_ptr<CMaskData> CMaskMngr::MaskFromChannel(const CMaskData* old, const TChannel& channel,
                                                      const TPoint& offset) {
  std::unique_ptr<CMaskData> mask = NewMaskOfSize(old ? old->index : 0, channel.Width(), channel.Height());
  if (!mask || !CopyChannelInto(*mask->Store(), channel, 0, 0)) return nullptr;
  mask->offsetX = offset.x;
  mask->offsetY = offset.y;
  mask->Store()->Compact();
  return mask;
}

std::unique_ptr<CMaskData> CMaskMngr::AddChannel(const CMaskData* old, const TChannel& channel,
                                                 const TPoint& offset, const SSize& size) {
  if (!CMaskData::IsAllocated(old)) return MaskFromChannel(old, channel, offset);
  const TRect s = StoreRect(offset, size);
  const TRect m = old->GetRect();
  const TRect u = UnionOf(s, m);
  std::unique_ptr<CMaskData> mask = NewMaskOfSize(old->index, u.right - u.left, u.bottom - u.top);
  if (!mask) return nullptr;
  if (!CopyChannelInto(*mask->Store(), channel, s.left - u.left, s.top - u.top)) return nullptr;
  if (!CombineStoreInto(*mask->Store(), *old->Store(), m.left - u.left, m.top - u.top, MaxByteOp)) return nullptr;
  mask->offsetX = -u.left;
  mask->offsetY = -u.top;
  mask->Store()->Compact();
  return mask;
}

std::unique_ptr<CMaskData> CMaskMngr::IntersectChannel(const CMaskData* old, const TChannel& channel,
                                                       const TPoint& offset, const SSize& size) {
  if (!CMaskData::IsAllocated(old)) return nullptr;
  const TRect s = StoreRect(offset, size);
  const TRect m = old->GetRect();
  const TRect u = UnionOf(s, m);
  std::unique_ptr<CMaskData> mask = NewMaskOfSize(old->index, u.right - u.left, u.bottom - u.top);
  if (!mask) return nullptr;
  CBlockVCH& store = *mask->Store();
  if (!CopyChannelInto(store, channel, s.left - u.left, s.top - u.top)) return nullptr;
  if (!CombineStoreInto(store, *old->Store(), m.left - u.left, m.top - u.top, MulByteOp)) return nullptr;
  store.FillOutside(TRect{m.left - u.left, m.top - u.top, m.right - u.left, m.bottom - u.top}, 0);
  mask->offsetX = -u.left;
  mask->offsetY = -u.top;
  store.Compact();
  return mask;
}

std::unique_ptr<CMaskData> CMaskMngr::SubtractChannel(CMaskData* old, const TChannel& channel,
                                                      const TPoint& offset, const SSize& size) {
  if (!CMaskData::IsAllocated(old)) return nullptr;
  const TRect s = StoreRect(offset, size);
  const TRect m = old->GetRect();
  CBlockVCH& oldStore = *old->Store();
  std::unique_ptr<CMaskData> mask = NewMaskOfSize(old->index, oldStore.Width(), oldStore.Height());
  std::unique_ptr<CMaskData> result;
  // The old store is inverted for the combine and inverted back on every path, so that the mask
  // handed to the undo is unchanged.
  if (mask && oldStore.XorAll(255)) {
    CBlockVCH& store = *mask->Store();
    const TRect stored = m;
    if (CopyChannelInto(store, channel, s.left - stored.left, s.top - stored.top) &&
        CombineStoreInto(store, oldStore, 0, 0, MaxByteOp) && store.XorAll(255)) {
      mask->offsetX = old->offsetX;
      mask->offsetY = old->offsetY;
      store.Compact();
      result = std::move(mask);
    }
    if (!oldStore.XorAll(255)) DebugOut("CMaskMngr: the subtracted mask could not be restored\n");
    oldStore.Compact();
  }
  return result;
}

std::unique_ptr<CMaskData> CMaskMngr::CombineToNew(int32_t index, const TChannel& channel, int32_t mode,
                                                   const TPoint& offset, const SSize& size) {
  if (!channel.IsValid() || !IsAcceptableMaskGeometry(offset, size) ||
      !IsAcceptableMaskGeometry(offset, channel.Size()))
    return nullptr;
  CMaskData* old = GetMask(Resolve(index));
  std::unique_ptr<CMaskData> result;
  try {
    switch (mode) {
      case kMaskReplace: result = MaskFromChannel(old, channel, offset); break;
      case kMaskAdd: result = AddChannel(old, channel, offset, size); break;
      case kMaskSubtract: result = SubtractChannel(old, channel, offset, size); break;
      case kMaskIntersect: result = IntersectChannel(old, channel, offset, size); break;
      default: return nullptr;
    }
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  if (result) {
    const SSize canvas = CanvasSize();
    result->UpdateThumbnail(canvas.width, canvas.height);
  }
  return result;
}

void CMaskMngr::Install(int32_t index, std::unique_ptr<CMaskData> result, std::unique_ptr<CMaskData>& old) {
  if (CMaskData* previous = GetMask(index)) result->name = previous->name;
  result->SetIndex(index);
  old = ReplaceMask(index, std::move(result));
  Renumber();
}

bool CMaskMngr::CombineChannel(int32_t index, const TChannel& channel, int32_t mode,
                               std::unique_ptr<CMaskData>& old, const TPoint& offset, const SSize& size) {
  const int32_t n = Resolve(index);
  if (!IsValidIndex(n)) return false;
  std::unique_ptr<CMaskData> result = CombineToNew(n, channel, mode, offset, size);
  if (!result) return false;
  Install(n, std::move(result), old);
  if (mode == kMaskAdd) TrimAfterAdd(n);
  return true;
}

bool CMaskMngr::CopyMask(int32_t target, int32_t source, std::unique_ptr<CMaskData>& old) {
  bool done = false;
  if (IsValidIndex(target) && IsValidIndex(source) && GetMask(source) != nullptr) {
    std::unique_ptr<CMaskData> copy = CMaskData::CreateCopy(*GetMask(source));
    if (copy) {
      copy->SetIndex(target);
      old = ReplaceMask(target, std::move(copy));
      done = true;
    }
  }
  Renumber();
  return done;
}

bool CMaskMngr::CombineMasks(int32_t target, int32_t source, int32_t mode, std::unique_ptr<CMaskData>& old) {
  const CMaskData* from = GetMask(source);
  if (!CMaskData::IsAllocated(from) || !IsValidIndex(target) || mode < 0 || mode > 3) return false;
  CMaskData* into = GetMask(target);
  if (mode != kMaskReplace && CMaskData::IsAllocated(into)) {
    TChannel channel(from->Store()->Width(), from->Store()->Height());
    if (!channel.IsValid() || !from->Store()->CopyAllToChannel(channel, 0, 0, false)) return false;
    return CombineChannel(target, channel, mode, old, TPoint{from->offsetX, from->offsetY},
                          from->Store()->Size());
  }
  if (mode == kMaskSubtract || mode == kMaskIntersect) return false;
  const std::string name = into != nullptr ? into->name : std::string();
  if (!CopyMask(target, source, old)) return false;
  GetMask(target)->name = name;
  return true;
}

bool CMaskMngr::GetCanvasRect(const CMaskData& mask, TRect& rect) const {
  if (!mask.IsAllocated()) return false;
  rect = mask.GetRect();
  const SSize canvas = CanvasSize();
  return rect.left >= 0 && rect.left <= canvas.width - 1 && rect.right - 1 >= 0 &&
         rect.right - 1 <= canvas.width - 1 && rect.top >= 0 && rect.top <= canvas.height - 1 &&
         rect.bottom - 1 >= 0 && rect.bottom - 1 <= canvas.height - 1;
}

std::unique_ptr<CMaskData> CMaskMngr::makeExtendMask(const CMaskData& mask) const {
  const SSize canvas = CanvasSize();
  const TRect m = mask.GetRect();
  const TRect u = UnionOf(TRect{0, 0, canvas.width, canvas.height}, m);
  std::unique_ptr<CMaskData> extended = NewMaskOfSize(mask.index, u.right - u.left, u.bottom - u.top);
  if (!extended || !extended->Store()->CopyAllFrom(*mask.Store(), m.left - u.left, m.top - u.top)) {
    ShowWarning(kExtendMaskFailedText);
    return nullptr;
  }
  extended->Store()->Compact();
  extended->offsetX = -u.left;
  extended->offsetY = -u.top;
  extended->name = mask.name;
  return extended;
}

bool CMaskMngr::InvertMask(int32_t index, std::unique_ptr<CMaskData>& old) {
  const int32_t n = Resolve(index);
  CMaskData* mask = GetMask(n);
  if (!CMaskData::IsAllocated(mask)) return false;
  TRect rect{};
  if (GetCanvasRect(*mask, rect)) {
    // Inside the canvas: in place, over the store's area only.
    if (!mask->Store()->XorAll(255)) return false;
    mask->Store()->Compact();
    UpdateThumbnail(mask);
    return true;
  }
  std::unique_ptr<CMaskData> extended = makeExtendMask(*mask);
  if (!extended || !extended->Store()->XorAll(255)) return false;
  extended->Store()->Compact();
  UpdateThumbnail(extended.get());
  Install(n, std::move(extended), old);
  return true;
}

bool CMaskMngr::TrimToCanvas(int32_t index, std::unique_ptr<CMaskData>& old) {
  const int32_t n = Resolve(index);
  CMaskData* mask = GetMask(n);
  TRect rect{};
  if (!CMaskData::IsAllocated(mask) || GetCanvasRect(*mask, rect)) return false;
  const SSize canvas = CanvasSize();
  std::unique_ptr<CMaskData> trimmed = NewMaskOfSize(n, canvas.width, canvas.height);
  if (!trimmed) return false;
  // Nothing of the store may lie on the canvas: the copy then clips to nothing.
  trimmed->Store()->CopyAllFrom(*mask->Store(), -mask->offsetX, -mask->offsetY);
  trimmed->Store()->Compact();
  trimmed->UpdateThumbnail(canvas.width, canvas.height);
  Install(n, std::move(trimmed), old);
  return true;
}

bool CMaskMngr::TrimToContent(int32_t index, std::unique_ptr<CMaskData>& old) {
  const int32_t n = Resolve(index);
  CMaskData* mask = GetMask(n);
  TRect rect{};
  if (!CMaskData::IsAllocated(mask) || GetCanvasRect(*mask, rect)) return false;
  TRect bounds{};
  if (!mask->GetBounds(bounds)) return TrimToCanvas(n, old);
  const SSize canvas = CanvasSize();
  const int32_t width = std::max(bounds.right - bounds.left, canvas.width);
  const int32_t height = std::max(bounds.bottom - bounds.top, canvas.height);
  std::unique_ptr<CMaskData> trimmed = NewMaskOfSize(n, width, height);
  if (!trimmed) return false;
  const TRect m = mask->GetRect();
  trimmed->Store()->CopyAllFrom(*mask->Store(), m.left - bounds.left, m.top - bounds.top);
  trimmed->Store()->Compact();
  trimmed->offsetX = -bounds.left;
  trimmed->offsetY = -bounds.top;
  trimmed->UpdateThumbnail(canvas.width, canvas.height);
  Install(n, std::move(trimmed), old);
  return true;
}

bool CMaskMngr::TrimAfterAdd(int32_t index) {
  std::unique_ptr<CMaskData> old;
  return TrimToContent(index, old);
}

// ---------------------------------------------------------------------------------------------
// CMaskMngr: thumbnails and outline

void CMaskMngr::UpdateThumbnail(CMaskData* mask) {
  if (mask == nullptr) return;
  const SSize canvas = CanvasSize();
  mask->UpdateThumbnail(canvas.width, canvas.height);
}

void CMaskMngr::UpdateAllThumbnails() {
  for (auto& mask : masks_) UpdateThumbnail(mask.get());
}

bool CMaskMngr::RebuildOutline(const SSize& canvasSize, int32_t index) {
  const int32_t n = Resolve(index);
  CMaskData* mask = GetMask(n);
  if (mask == nullptr) return false;
  if (!mask->IsAllocated()) {
    ClearOutline();
    return false;
  }
  TChannel channel(canvasSize.width, canvasSize.height);
  if (!channel.IsValid() || !mask->Store()->CopyAllToChannel(channel, -mask->offsetX, -mask->offsetY, true)) {
    ClearOutline();
    return false;
  }
  outlineIndex_ = mask->index;
  return outline_.Trace(channel, false);
}

bool CMaskMngr::RebuildOutlineAtStore(int32_t index) {
  CMaskData* mask = GetMask(Resolve(index));
  if (mask == nullptr) return false;
  if (!mask->IsAllocated()) {
    ClearOutline();
    return false;
  }
  TChannel channel(mask->Store()->Width(), mask->Store()->Height());
  if (!channel.IsValid() || !mask->Store()->CopyAllToChannel(channel, 0, 0, false)) {
    ClearOutline();
    return false;
  }
  outlineIndex_ = mask->index;
  const bool traced = outline_.Trace(channel, false);
  outline_.SetOffset(TPoint{-mask->offsetX, -mask->offsetY});
  return traced;
}

bool CMaskMngr::ClearOutline() {
  const bool had = outline_.HasPoints();
  outline_.Clear();
  return had;
}

bool CMaskMngr::DrawOutline(Surface& surface, int32_t clientWidth, int32_t clientHeight) {
  if (!outline_.HasPoints()) return false;
  return outline_.Draw(surface, TRect{0, 0, clientWidth, clientHeight});
}

bool CMaskMngr::StepOutline() {
  if (!outline_.HasPoints()) return false;
  outline_.Step();
  return true;
}

// ---------------------------------------------------------------------------------------------
// CMaskMngr: rescaling

std::unique_ptr<CMaskData> CMaskMngr::ScaleMask(const CMaskData& mask, const SSize& oldCanvas,
                                                const SSize& newCanvas, int32_t method) const {
  if ((method != 1 && method != 2) || oldCanvas.width <= 0 || oldCanvas.height <= 0 || newCanvas.width <= 0 ||
      newCanvas.height <= 0)
    return nullptr;
  const Fixed rx = FixDiv(newCanvas.width, oldCanvas.width);
  const Fixed ry = FixDiv(newCanvas.height, oldCanvas.height);
  std::unique_ptr<CMaskData> scaled;
  if (!mask.IsAllocated()) {
    scaled.reset(new (std::nothrow) CMaskData(mask.index));
    if (!scaled) return nullptr;
    scaled->name = mask.name;
    return scaled;
  }
  const CBlockVCH& source = *mask.Store();
  const uint64_t width = (uint64_t{static_cast<uint32_t>(rx)} * static_cast<uint32_t>(source.Width())) >> 16;
  const uint64_t height = (uint64_t{static_cast<uint32_t>(ry)} * static_cast<uint32_t>(source.Height())) >> 16;
  if (width > static_cast<uint64_t>(kMaxMaskSide) || height > static_cast<uint64_t>(kMaxMaskSide))
    return nullptr;
  if (width == 0 || height == 0) {
    // Scaled down to no pixel on a side: the mask keeps its place in the list without a store.
    scaled.reset(new (std::nothrow) CMaskData(mask.index));
    if (!scaled) return nullptr;
    scaled->offsetX = static_cast<int32_t>((int64_t{mask.offsetX} * rx) >> 16);
    scaled->offsetY = static_cast<int32_t>((int64_t{mask.offsetY} * ry) >> 16);
    scaled->name = mask.name;
    return scaled;
  }
  scaled = NewMaskOfSize(mask.index, static_cast<int32_t>(width), static_cast<int32_t>(height));
  if (!scaled) return nullptr;
  if (method == 1) {
    if (!source.ScaleTo(*scaled->Store())) return nullptr;
  } else {
    CScaleMaskImage scaler(*mask.Store(), *scaled->Store());
    if (!scaler.Scale(SRectWH{0, 0, source.Width(), source.Height()},
                      SRectWH{0, 0, static_cast<int32_t>(width), static_cast<int32_t>(height)}))
      return nullptr;
    scaled->Store()->Compact();
  }
  scaled->offsetX = static_cast<int32_t>((int64_t{mask.offsetX} * rx) >> 16);
  scaled->offsetY = static_cast<int32_t>((int64_t{mask.offsetY} * ry) >> 16);
  scaled->name = mask.name;
  scaled->UpdateThumbnail(newCanvas.width, newCanvas.height);
  return scaled;
}

bool CMaskMngr::ScaleAllMasks(const SSize& newCanvas, int32_t method) {
  const SSize oldCanvas = CanvasSize();
  for (int32_t i = 0; i < GetCount(); ++i) {
    CMaskData* mask = GetMask(i);
    if (mask == nullptr) continue;
    std::unique_ptr<CMaskData> scaled = ScaleMask(*mask, oldCanvas, newCanvas, method);
    if (!scaled) return false;
    masks_[static_cast<size_t>(i)] = std::move(scaled);
  }
  Renumber();
  return true;
}

std::unique_ptr<CMaskMngr> CMaskMngr::makeZoomMask(const SSize& newCanvas, int32_t method) const {
  WaitCursor busy;
  try {
    auto zoomed = std::make_unique<CMaskMngr>(canvas_, 16);
    zoomed->Clear();
    const SSize oldCanvas = CanvasSize();
    for (int32_t i = 0; i < GetCount(); ++i) {
      const CMaskData* mask = GetMask(i);
      if (mask == nullptr) continue;
      std::unique_ptr<CMaskData> scaled = ScaleMask(*mask, oldCanvas, newCanvas, method);
      if (!scaled) return nullptr;
      zoomed->masks_.push_back(std::move(scaled));
    }
    zoomed->nameCounter_ = nameCounter_;
    zoomed->Renumber();
    zoomed->activeIndex_ = activeIndex_;
    zoomed->ClampActive();
    return zoomed;
  } catch (const std::exception&) {
    DebugOut(kZoomMaskFailedText);
    return nullptr;
  }
}

void CMaskMngr::ExchangeContent(CMaskMngr& other) {
  masks_.swap(other.masks_);
  std::swap(activeIndex_, other.activeIndex_);
  std::swap(nameCounter_, other.nameCounter_);
  ClearOutline();
  other.ClearOutline();
}

}  // namespace tf
