#include "document/LayerMngr.h"

#include <algorithm>
#include <new>

#include "document/BlendMode.h"
#include "document/LayerDraw.h"
#include "document/ShellServices.h"
#include "platform/Warning.h"

namespace tf {

void ShowUndoFailed() { ShowWarning(kUndoFailedText); }

namespace {

// alpha := MulTable[alpha][scale] over the whole store, fills and committed tiles alike.
void ScaleStoreAlpha(CBlockVMTC& store, uint8_t scale) {
  if (scale == 255) return;
  const auto scaled = [scale](uint32_t fill) {
    return (fill & 0x00FFFFFFu) | (uint32_t{MulTable[fill >> 24][scale]} << 24);
  };
  store.SetUntouchedFill(scaled(store.UntouchedFill()));
  store.ForEachTouchedTile([&](STileInfo& tile) {
    if (!tile.committed) {
      tile.fill = scaled(tile.fill);
      return;
    }
    uint32_t* pixel = reinterpret_cast<uint32_t*>(tile.block);
    const int32_t count = tile.byteSize / 4;
    for (int32_t j = 0; j < count; ++j) {
      pixel[j] = (pixel[j] & 0x00FFFFFFu) | (uint32_t{MulTable[pixel[j] >> 24][scale]} << 24);
    }
  });
  store.UpdateContentRects();
}

}  // namespace

CLayerMngr::CLayerMngr(int32_t capacity) {
  layers_.reserve(static_cast<size_t>(std::clamp(capacity, 0, kMaxLayerCount)));
  const int32_t size = GetLayerThumbnailSize();
  thumbnailWidth_ = size;
  thumbnailHeight_ = size;
}

CLayerMngr::~CLayerMngr() { Clear(); }

void CLayerMngr::SetLimit(int32_t limit) { limit_ = std::clamp(limit, 1, kMaxLayerCount); }

void CLayerMngr::SetCanvasSize(int32_t width, int32_t height) {
  canvasWidth_ = width;
  canvasHeight_ = height;
}

void CLayerMngr::SetThumbnailSize(int32_t width, int32_t height) {
  thumbnailWidth_ = width;
  thumbnailHeight_ = height;
}

// ---- Names ----

std::string CLayerMngr::MakeName(int32_t step) const {
  return std::string(kLayerNameStem) + std::to_string(int64_t{nameCounter_} + step);
}

bool CLayerMngr::AssignDefaultName(int32_t index, int32_t step) {
  CLayerData* layer = Get(index);
  if (layer == nullptr) return false;
  nameCounter_ = static_cast<int32_t>(static_cast<uint32_t>(nameCounter_) + static_cast<uint32_t>(step));
  layer->name = MakeName(0);
  return true;
}

bool CLayerMngr::CopyName(int32_t target, int32_t source) {
  CLayerData* t = Get(target);
  CLayerData* s = Get(source);
  if (t == nullptr || s == nullptr) return false;
  t->name = s->name;
  return true;
}

// ---- List ----

CLayerData* CLayerMngr::Get(int32_t index) const {
  return IsValidIndex(index) ? layers_[static_cast<size_t>(index)] : nullptr;
}

int32_t CLayerMngr::SetActive(int32_t index) {
  if (IsValidIndex(index)) activeIndex_ = index;
  return activeIndex_;
}

void CLayerMngr::ClampActive() {
  if (activeIndex_ >= Count()) activeIndex_ = Count() - 1;
}

void CLayerMngr::Renumber() {
  for (size_t i = 0; i < layers_.size(); ++i) layers_[i]->index = static_cast<int32_t>(i);
}

// ---- Structure ----

std::unique_ptr<CLayerData> CLayerMngr::Extract(int32_t index) {
  if (!IsValidIndex(index)) return nullptr;
  std::unique_ptr<CLayerData> layer(layers_[static_cast<size_t>(index)]);
  layers_.erase(layers_.begin() + index);
  depthsStale_ = true;
  return layer;
}

std::unique_ptr<CLayerData> CLayerMngr::ExtractAndFix(int32_t index) {
  std::unique_ptr<CLayerData> layer = Extract(index);
  if (layer) {
    ClampActive();
    Renumber();
  }
  return layer;
}

void CLayerMngr::FreeAt(int32_t index) { Extract(index).reset(); }

int32_t CLayerMngr::Clear() {
  const int32_t count = Count();
  for (CLayerData* layer : layers_) delete layer;
  layers_.clear();
  activeIndex_ = -1;
  depths_.clear();
  depthsStale_ = true;
  return count;
}

int32_t CLayerMngr::InsertAt(int32_t index, std::unique_ptr<CLayerData>& layer) {
  if (!layer || Count() >= limit_) return -1;
  const int32_t position = IsValidIndex(index) ? index : Count();
  try {
    layers_.insert(layers_.begin() + position, layer.get());
  } catch (const std::bad_alloc&) {
    return -1;
  }
  layer.release();
  depthsStale_ = true;
  // The first layer of an empty stack becomes the active one.
  if (activeIndex_ < 0) activeIndex_ = 0;
  return position;
}

int32_t CLayerMngr::InsertLayer(int32_t index, int32_t width, int32_t height, bool visible, uint8_t opacity,
                                bool withOwnUndo, uint8_t mode) {
  if (index < 0) {
    ShowWarning(kBadLayerIndexText);
    return -1;
  }
  if (!CanAdd()) {
    ShowWarning(kLayerAddFailedText);
    return -1;
  }
  try {
    auto layer = std::make_unique<CLayerData>(index, withOwnUndo);
    if (!layer->Init(width, height, mode)) {
      ShowWarning(kLayerInitFailedText);
      return -1;
    }
    layer->opacity = opacity;
    layer->visible = visible ? 1 : 0;
    if (layer->canvasWidth != canvasWidth_ || layer->canvasHeight != canvasHeight_) {
      layer->canvasWidth = canvasWidth_;
      layer->canvasHeight = canvasHeight_;
      layer->UpdateThumbnailSize();
    }
    const int32_t position = InsertAt(index, layer);
    if (position < 0) {
      ShowWarning(kLayerAddFailedText);
      return -1;
    }
    Renumber();
    return position;
  } catch (...) {
    ShowWarning(kLayerAddFailedText);
    return -1;
  }
}

int32_t CLayerMngr::AddLayer(int32_t width, int32_t height, bool visible, uint8_t opacity, bool withOwnUndo,
                             uint8_t mode) {
  return InsertLayer(Count(), width, height, visible, opacity, withOwnUndo, mode);
}

int32_t CLayerMngr::InsertExisting(int32_t index, std::unique_ptr<CLayerData>& layer) {
  if (index < 0) {
    ShowWarning(kBadLayerIndexText);
    return -1;
  }
  const int32_t position = InsertAt(index, layer);
  if (position < 0) return -1;
  ClampActive();
  Renumber();
  return position;
}

bool CLayerMngr::Delete(int32_t index) {
  if (!IsValidIndex(index)) return false;
  FreeAt(index);
  ClampActive();
  Renumber();
  return true;
}

std::unique_ptr<CLayerData> CLayerMngr::Replace(int32_t index, std::unique_ptr<CLayerData>& layer) {
  if (!IsValidIndex(index) || !layer) return nullptr;
  std::unique_ptr<CLayerData> old(layers_[static_cast<size_t>(index)]);
  layers_[static_cast<size_t>(index)] = layer.release();
  depthsStale_ = true;
  Renumber();
  return old;
}

bool CLayerMngr::AssignLayer(int32_t target, int32_t source) {
  CLayerData* t = Get(target);
  CLayerData* s = Get(source);
  if (t == nullptr || s == nullptr || t == s) return false;
  return t->Assign(*s);
}

bool CLayerMngr::SetThumbnailSizeAt(int32_t index, int32_t width, int32_t height) {
  CLayerData* layer = Get(index);
  return layer != nullptr && layer->SetThumbnailSize(width, height);
}

int32_t CLayerMngr::Move(int32_t to, int32_t from) {
  if (to == from || !IsValidIndex(from)) return -1;
  to = std::clamp(to, 0, Count() - 1);
  auto first = layers_.begin();
  if (from < to) {
    std::rotate(first + from, first + from + 1, first + to + 1);
  } else if (to < from) {
    std::rotate(first + to, first + from, first + from + 1);
  }
  depthsStale_ = true;
  Renumber();
  return to;
}

bool CLayerMngr::SwapWith(int32_t index, CLayerMngr& other, bool renumberOther, int32_t otherIndex) {
  if (!IsValidIndex(index) || !other.IsValidIndex(otherIndex)) return false;
  std::swap(layers_[static_cast<size_t>(index)], other.layers_[static_cast<size_t>(otherIndex)]);
  depthsStale_ = true;
  other.depthsStale_ = true;
  Renumber();
  if (renumberOther) other.Renumber();
  return true;
}

// ---- Ids ----

int32_t CLayerMngr::GetIdAt(int32_t index) const {
  const CLayerData* layer = Get(index);
  return layer ? layer->id : -1;
}

int32_t CLayerMngr::IndexOfId(int32_t id) const {
  for (size_t i = 0; i < layers_.size(); ++i) {
    if (layers_[i]->id == id) return static_cast<int32_t>(i);
  }
  return -1;
}

bool CLayerMngr::FindById(int32_t id, int32_t& index, CLayerData*& layer) const {
  index = IndexOfId(id);
  layer = Get(index);
  return layer != nullptr;
}

CBlockVMTC* CLayerMngr::FindLayerPixels(int32_t layerId) {
  const CLayerData* layer = Get(IndexOfId(layerId));
  return layer ? layer->Store() : nullptr;
}

int32_t CLayerMngr::FindMaskIndex(int32_t /*maskId*/) const { return -1; }

// ---- Visibility ----

int32_t CLayerMngr::VisibleCount() const {
  return static_cast<int32_t>(
      std::count_if(layers_.begin(), layers_.end(), [](const CLayerData* l) { return l->visible != 0; }));
}

int32_t CLayerMngr::FirstVisible() const {
  for (size_t i = 0; i < layers_.size(); ++i) {
    if (layers_[i]->visible) return static_cast<int32_t>(i);
  }
  return -1;
}

bool CLayerMngr::GetVisibility(std::vector<uint8_t>& flags) const {
  if (layers_.empty()) return false;
  flags.resize(layers_.size());
  for (size_t i = 0; i < layers_.size(); ++i) flags[i] = layers_[i]->visible ? 1 : 0;
  return true;
}

bool CLayerMngr::SetAllVisible(bool visible) {
  if (layers_.empty()) return false;
  for (CLayerData* layer : layers_) layer->visible = visible ? 1 : 0;
  return true;
}

bool CLayerMngr::InvertVisibility() {
  if (layers_.empty()) return false;
  for (CLayerData* layer : layers_) layer->visible = layer->visible ? 0 : 1;
  return true;
}

bool CLayerMngr::ShowOnly(int32_t n) {
  if (!IsValidIndex(n)) return false;
  for (size_t i = 0; i < layers_.size(); ++i) layers_[i]->visible = static_cast<int32_t>(i) == n ? 1 : 0;
  return true;
}

int32_t CLayerMngr::SetRangeVisible(int32_t start, int32_t count, bool visible) {
  if (!ClampRange(start, count)) return 0;
  for (int32_t i = start; i < start + count; ++i) layers_[static_cast<size_t>(i)]->visible = visible ? 1 : 0;
  return count;
}

bool CLayerMngr::ClampRange(int32_t start, int32_t& count) const {
  if (!IsValidIndex(start) || count <= 0) return false;
  count = std::min(count, Count() - start);
  return true;
}

// ---- Folder depths ----

bool CLayerMngr::EnsureDepthArray(bool rebuild) {
  if (layers_.empty()) {
    depths_.clear();
    return false;
  }
  if (!rebuild && !depthsStale_ && depths_.size() == layers_.size()) return true;
  try {
    depths_.resize(layers_.size());
  } catch (const std::bad_alloc&) {
    depths_.clear();
    return false;
  }
  for (size_t i = 0; i < layers_.size(); ++i) {
    depths_[i] = static_cast<uint8_t>(std::clamp(layers_[i]->GroupDepth(), 0, kMaxFolderDepth));
  }
  depthsStale_ = false;
  return true;
}

int32_t CLayerMngr::GetMaxDepth() {
  if (!EnsureDepthArray(true)) return -1;
  return *std::max_element(depths_.begin(), depths_.end());
}

int32_t CLayerMngr::GetGroupSpan(int32_t index, bool rebuild) {
  if (!IsValidIndex(index) || !EnsureDepthArray(rebuild)) return -1;
  const uint8_t depth = depths_[static_cast<size_t>(index)];
  int32_t span = 0;
  for (size_t j = static_cast<size_t>(index) + 1; j < depths_.size() && depths_[j] > depth; ++j) ++span;
  return span;
}

int32_t CLayerMngr::GetParentIndex(int32_t index, bool rebuild) {
  if (!IsValidIndex(index) || !EnsureDepthArray(rebuild)) return -1;
  const uint8_t depth = depths_[static_cast<size_t>(index)];
  for (int32_t j = index - 1; j >= 0; --j) {
    if (depths_[static_cast<size_t>(j)] < depth) return j;
  }
  return -1;
}

bool CLayerMngr::CanIndent(int32_t index, bool rebuild) {
  if (!IsValidIndex(index) || index < 1 || !EnsureDepthArray(rebuild)) return false;
  if (*std::max_element(depths_.begin(), depths_.end()) >= kMaxFolderDepth - 1) return false;
  return depths_[static_cast<size_t>(index) - 1] >= depths_[static_cast<size_t>(index)];
}

bool CLayerMngr::CanOutdent(int32_t index, bool rebuild) {
  if (!IsValidIndex(index) || index < 1 || !EnsureDepthArray(rebuild)) return false;
  return depths_[static_cast<size_t>(index)] > 0;
}

bool CLayerMngr::ChangeDepth(int32_t start, bool indent, bool rebuild) {
  if (!(indent ? CanIndent(start, rebuild) : CanOutdent(start, rebuild))) return false;
  const int32_t span = GetGroupSpan(start, false);
  if (span < 0) return false;
  for (int32_t i = start; i <= start + span; ++i) {
    uint8_t& depth = depths_[static_cast<size_t>(i)];
    // The tests above keep every depth of the block inside 1..249 before the change.
    depth = static_cast<uint8_t>(indent ? depth + 1 : depth - 1);
  }
  return ApplyDepths(start, span + 1);
}

int32_t CLayerMngr::AddDepth(int32_t start, int32_t count, bool rebuild, int32_t delta) {
  if (!EnsureDepthArray(rebuild) || !ClampRange(start, count)) return 0;
  for (int32_t i = start; i < start + count; ++i) {
    uint8_t& depth = depths_[static_cast<size_t>(i)];
    depth = static_cast<uint8_t>(std::clamp<int64_t>(int64_t{depth} + delta, 0, kMaxFolderDepth));
  }
  return ApplyDepths(start, count) ? count : 0;
}

bool CLayerMngr::ApplyDepths(int32_t start, int32_t count) {
  if (depths_.size() != layers_.size() || !ClampRange(start, count)) return false;
  for (int32_t i = start; i < start + count; ++i) {
    layers_[static_cast<size_t>(i)]->SetGroupDepth(depths_[static_cast<size_t>(i)]);
  }
  return true;
}

// ---- Blocks ----

bool CLayerMngr::CanMoveBlock(int32_t to, int32_t from, bool rebuild, int32_t count) {
  if (!IsValidIndex(from) || to < 0 || to > Count()) return false;
  const int32_t span = GetGroupSpan(from, rebuild);
  if (span < 0 || count != span + 1) return false;
  return to < from || to > from + count;
}

int32_t CLayerMngr::MoveBlock(int32_t to, int32_t from, int32_t count) {
  if (!CanMoveBlock(to, from, true, count)) return -1;
  try {
    int32_t target = 0;
    if (to > 0) {
      target = depths_[static_cast<size_t>(to) - 1];
      if (GetGroupSpan(to - 1, false) > 0) ++target;
    }
    const int32_t delta = target - depths_[static_cast<size_t>(from)];
    for (int32_t i = from; i < from + count; ++i) layers_[static_cast<size_t>(i)]->AddGroupDepth(delta);
    auto first = layers_.begin();
    int32_t result;
    if (from < to) {
      std::rotate(first + from, first + from + count, first + to);
      result = to - count;
    } else {
      std::rotate(first + to, first + from, first + from + count);
      result = to;
    }
    depthsStale_ = true;
    Renumber();
    return result;
  } catch (...) {
    ShowWarning(kLayerMoveFailedText);
    return -1;
  }
}

// ---- Merge ----

bool CLayerMngr::CanMergeDown(int32_t index) {
  if (index < 1 || index > Count() - 1) return false;
  if (GetGroupSpan(index, true) != 0) return false;
  const int32_t depth = depths_[static_cast<size_t>(index)];
  const int32_t below = depths_[static_cast<size_t>(index) - 1];
  return below >= depth - 1 && below <= depth;
}

bool CLayerMngr::ComposeInto(CLayerData& replacement, const CLayerData& upper, const TPoint& position,
                             uint32_t modeWord) {
  SBlendLayer lower = BlendLayerOf(replacement);
  SBlendLayer source = BlendLayerOf(upper);
  // Inside a folder the folder's opacity applies to its content as well.
  if (replacement.GroupDepth() < upper.GroupDepth()) {
    source.opacity = static_cast<uint8_t>(MulDiv255(upper.opacity, replacement.opacity));
  }
  // Nothing of the upper layer shows: the replacement keeps the lower layer's look, opacity
  // included.
  if (source.opacity == 0) return true;
  // The lower opacity goes into the alpha of the whole replacement, not only under the upper
  // store: the merged layer ends at opacity 255 and must look as before where nothing covers it.
  // Under the upper store this is what the alpha scale of the compose would do.
  ScaleStoreAlpha(*replacement.Store(), lower.opacity);
  lower.opacity = 255;
  TPoint dest = position;
  SRectWH rect{0, 0, upper.StoreWidth(), upper.StoreHeight()};
  const bool composed =
      (modeWord & 0xFFFFu) == 0
          ? CombineLayerStores(*replacement.Store(), lower, *upper.Store(), source, dest, rect)
          : CompositeLayerStores(*replacement.Store(), lower, *upper.Store(), source, dest, modeWord, rect);
  replacement.opacity = lower.opacity;
  return composed;
}

bool CLayerMngr::MergeDown(int32_t lower, int32_t upper, std::unique_ptr<CLayerData>* oldLower,
                           uint32_t modeWord) {
  if (oldLower != nullptr) oldLower->reset();
  // Refuse before anything changes: bad indexes and selectors outside 0..3.
  if (!IsValidIndex(lower) || !IsValidIndex(upper) || lower == upper) return false;
  if ((modeWord & 0xFFFFu) > 3) return false;
  CLayerData* below = Get(lower);
  const CLayerData* above = Get(upper);
  if (below->Store() == nullptr || above->Store() == nullptr) return false;
  try {
    TRect a;
    TRect b;
    below->GetStoreRect(a);
    above->GetStoreRect(b);
    const int64_t left = std::min(a.left, b.left);
    const int64_t top = std::min(a.top, b.top);
    const int64_t width = int64_t{std::max(a.right, b.right)} - left;
    const int64_t height = int64_t{std::max(a.bottom, b.bottom)} - top;
    std::unique_ptr<CLayerData> replacement;
    if (width > 0 && height > 0 && width <= INT32_MAX && height <= INT32_MAX) {
      const TPoint position{static_cast<int32_t>(a.left - left), static_cast<int32_t>(a.top - top)};
      replacement =
          below->CreateResized(SSize{static_cast<int32_t>(width), static_cast<int32_t>(height)}, position);
    }
    if (!replacement) {
      ShowWarning(kMergeResizeFailedText);
      return false;
    }
    replacement->SetThumbnailSize(thumbnailWidth_, thumbnailHeight_);
    replacement->SetId(below->id);
    if (modeWord & kMergeOptionAllAttributes) {
      replacement->CopyAttributes(*below);
    } else {
      replacement->name = below->name;
      replacement->opacity = below->opacity;
    }
    // Compose before the replacement enters the stack, so a failure changes nothing.
    const TPoint upperPosition{static_cast<int32_t>(b.left - left), static_cast<int32_t>(b.top - top)};
    if (!ComposeInto(*replacement, *above, upperPosition, modeWord)) return false;
    replacement->Store()->Compact();
    replacement->UpdateThumbnail();
    std::unique_ptr<CLayerData> old(layers_[static_cast<size_t>(lower)]);
    layers_[static_cast<size_t>(lower)] = replacement.release();
    if (oldLower != nullptr) *oldLower = std::move(old);
    depthsStale_ = true;
    Renumber();
    return true;
  } catch (const std::bad_alloc&) {
    ShowWarning(kMergeResizeFailedText);
    return false;
  }
}

// ---- Memory ----

void CLayerMngr::FreeAllOwnUndo() {
  for (CLayerData* layer : layers_) layer->FreeOwnUndo();
}

int64_t CLayerMngr::GetOwnUndoMemory() const {
  int64_t bytes = 0;
  for (const CLayerData* layer : layers_) bytes += layer->GetOwnUndoMemory();
  return bytes;
}

int64_t CLayerMngr::GetMemory() const {
  int64_t bytes = 0;
  for (const CLayerData* layer : layers_) bytes += layer->GetMemory();
  return bytes;
}

}  // namespace tf
