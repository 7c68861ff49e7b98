// CFlt4Core: binding, runs, records, undo and previews; the layer backup and the refresh after a
// filter.
#include "filters/FilterCore.h"

#include <new>

#include "document/LayerData.h"
#include "document/ShellServices.h"
#include "document/UndoData.h"
#include "events/EventPacket.h"
#include "events/EventStream.h"
#include "events/RecordSources.h"
#include "paper/FlowImage.h"
#include "paper/Paper.h"
#include "platform/Debug.h"
#include "platform/Host.h"
#include "raster/BlockVMTC.h"

namespace tf {

namespace {

SRectWH ToWH(const TRect& r) { return SRectWH{r.left, r.top, r.right - r.left, r.bottom - r.top}; }

bool IsEmpty(const TRect& r) { return r.right <= r.left || r.bottom <= r.top; }

// The Windows UnionRect rule: an empty rectangle adds nothing.
TRect Union(const TRect& a, const TRect& b) {
  if (IsEmpty(a)) return IsEmpty(b) ? TRect{0, 0, 0, 0} : b;
  if (IsEmpty(b)) return a;
  return TRect{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
               std::max(a.bottom, b.bottom)};
}

TRect Moved(const TRect& r, int32_t dx, int32_t dy) {
  return TRect{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}

bool IntersectRect(TRect& r, const TRect& with) {
  r = TRect{std::max(r.left, with.left), std::max(r.top, with.top), std::min(r.right, with.right),
            std::min(r.bottom, with.bottom)};
  return !IsEmpty(r);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Backup and refresh

bool BackupLayerBlock(std::unique_ptr<CBlockVMTC>& copy, const CLayerData& layer) {
  copy.reset();
  if (layer.Store() == nullptr) return false;
  try {
    std::unique_ptr<CBlockVMTC> made(new (std::nothrow) CBlockVMTC(*layer.Store()));
    if (!made || !made->IsValid()) return false;
    copy = std::move(made);
    return true;
  } catch (...) {
    return false;
  }
}

void RefreshAfterFilter(TFlowImage* flow, TPaper& paper, int32_t layerIndex) {
  CLayerData* layer = paper.GetLayer(layerIndex);
  if (layer == nullptr) return;
  paper.SetModified(true);
  paper.UpdateLayerThumbnail(layerIndex);
  if (flow != nullptr) paper.CommitFlowImage(flow, layerIndex, false);
  TRect canvas{};
  if (GetMaskedCanvasRect(*layer, paper.GetActiveMask(), canvas)) {
    const SRectWH clip = ToWH(canvas);
    paper.RefreshDirtyRegions(layerIndex, &clip, true);
  }
  UpdateNavigator();
  UpdateLayerPane();
}

// ---------------------------------------------------------------------------------------------
// Binding

CFlt4Core::CFlt4Core(TPaper& paper, TFlowImage* flow, int32_t layerIndex, FilterProc proc, bool record)
    : paper_(paper) {
  Reset();
  Bind(flow, layerIndex, proc, record);
}

CFlt4Core::~CFlt4Core() { Reset(); }

void CFlt4Core::Reset() {
  flow_ = nullptr;
  layerIndex_ = -1;
  layer_ = nullptr;
  mask_ = nullptr;
  bounds_ = TRect{0, 0, 0, 0};
  backup_.reset();
  record_ = true;
  previewDirty_ = false;
  dirty_ = TRect{0, 0, 0, 0};
  proc_ = nullptr;
  failure_ = FilterFailure::kNone;
  sourceView_.FreeImage();
  maskView_.FreeImage();
  note_ = SFilterRunNote{};
}

void CFlt4Core::Bind(TFlowImage* flow, int32_t layerIndex, FilterProc proc, bool record) {
  flow_ = flow;
  layerIndex_ = layerIndex;
  layer_ = paper_.IsValidLayerIndex(layerIndex) ? paper_.GetLayer(layerIndex) : nullptr;
  if (layer_ == nullptr || layer_->Store() == nullptr || flow == nullptr) {
    failure_ = FilterFailure::kNoLayer;
    return;
  }
  mask_ = paper_.GetActiveMask();
  if (mask_ == nullptr) {
    failure_ = FilterFailure::kNoMask;
    return;
  }
  if (!GetMaskedLayerRect(*layer_, mask_, bounds_)) {
    failure_ = FilterFailure::kEmptySelection;
    return;
  }
  proc_ = proc;
  record_ = record;
  // The working copy must hold this layer (a command commits any pending stroke first; the
  // player loads the packet's layer); Source is that copy cut to the store's size.
  paper_.SyncFlowImage(flow, layerIndex, false);
  if (flow->layer != layerIndex || !sourceView_.Cut(flow->Image(), layer_->StoreWidth(), layer_->StoreHeight()) ||
      !maskView_.Cut(flow->WorkChannel(), layer_->StoreWidth(), layer_->StoreHeight())) {
    failure_ = FilterFailure::kNoWorkingCopy;
    return;
  }
  if (!BackupLayerBlock(backup_, *layer_)) {
    failure_ = FilterFailure::kNoBackup;
    return;
  }
}

bool CFlt4Core::IsValid() const {
  return flow_ != nullptr && layerIndex_ >= 0 && layer_ != nullptr && mask_ != nullptr && proc_ != nullptr &&
         backup_ != nullptr && failure_ != FilterFailure::kNoLayer && failure_ != FilterFailure::kNoMask &&
         failure_ != FilterFailure::kEmptySelection && failure_ != FilterFailure::kNoBackup &&
         failure_ != FilterFailure::kNoWorkingCopy;
}

// ---------------------------------------------------------------------------------------------
// Execute and the runs

bool CFlt4Core::Execute(const void* block, int32_t size, const TRect* clip) {
  FilterContext context;
  if (!BuildFilterContext(context, *this, clip)) return false;
  note_ = SFilterRunNote{};
  bool ok = false;
  try {
    ok = proc_(context, block, size);
  } catch (...) {
    UndoFailedCall(context.Work);
    throw;
  }
  if (ok && !note_.commitRefused && !note_.notFinite) {
    failure_ = FilterFailure::kNone;
    return true;
  }
  failure_ = note_.commitRefused ? FilterFailure::kOutOfMemory
             : note_.notFinite   ? FilterFailure::kNotFinite
                                 : FilterFailure::kProcFailed;
  UndoFailedCall(context.Work);
  return false;
}

void CFlt4Core::UndoFailedCall(const TRect& work) {
  // The store over Work from the backup: the tiles the run committed are committed in both, and
  // the others still equal the backup's, so the copy needs no new commit.
  if (!IsEmpty(work) && backup_ && layer_ != nullptr && layer_->Store() != nullptr) {
    TPoint at{work.left, work.top};
    SRectWH from = ToWH(work);
    layer_->Store()->CopyFrom(*backup_, at, from);
  }
  // An algorithm may have written into Source (the working copy): reload it.
  if (flow_ != nullptr && layer_ != nullptr) paper_.CommitFlowImage(flow_, layerIndex_, false);
}

bool CFlt4Core::RunSized(uint8_t id, const void* block, int32_t size) {
  WaitCursor cursor;
  if (!Execute(block, size, nullptr)) return false;
  RefreshAfterFilter(flow_, paper_, layerIndex_);
  if (record_) {
    switch (size) {
      case kBlockNone: RecordEvent0(id); break;
      case kBlock8: RecordEvent8(id, block); break;
      case kBlock16: RecordEvent16(id, block); break;
      case kBlock24: RecordEvent24(id, block); break;
      case kBlock50: RecordEvent50(id, *static_cast<const SFilterParam50*>(block)); break;
      case kBlockFloor: RecordEvent87(id, *static_cast<const SFltFloor*>(block)); break;
      default: DebugOutF("filter runner: no record for a block of %d bytes (event %u)\n", size, id); break;
    }
    CommitUndo();
  }
  return true;
}

bool CFlt4Core::Run0(uint8_t id) { return RunSized(id, nullptr, kBlockNone); }
bool CFlt4Core::Run8(uint8_t id, const void* block) { return RunSized(id, block, kBlock8); }
bool CFlt4Core::Run16(uint8_t id, const void* block) { return RunSized(id, block, kBlock16); }
bool CFlt4Core::Run24(uint8_t id, const void* block) { return RunSized(id, block, kBlock24); }
bool CFlt4Core::Run50(uint8_t id, const SFilterParam50& block) { return RunSized(id, &block, kBlock50); }
bool CFlt4Core::Run87(uint8_t id, const SFltFloor& block) { return RunSized(id, &block, kBlockFloor); }

// ---------------------------------------------------------------------------------------------
// Records and undo

template <class Write>
bool CFlt4Core::Record(Write&& write) {
  bool ok = false;
  if (command_ != nullptr) {
    command_->Record([&](CEventMngr& events) { ok = write(events); });
    return ok;
  }
  CEventMngr* events = paper_.EventMngr();
  return events != nullptr && write(*events);
}

namespace {
int16_t Index16(int32_t v) { return static_cast<int16_t>(v); }
}  // namespace

bool CFlt4Core::RecordEvent0(uint8_t id) {
  const int16_t layer = Index16(layerIndex_), mask = Index16(paper_.GetActiveMaskIndex());
  return Record([&](CEventMngr& m) { return m.writeFilter0(id, layer, mask); });
}

bool CFlt4Core::RecordEvent8(uint8_t id, const void* block) {
  int32_t words[2];
  for (int32_t i = 0; i < 2; ++i) words[i] = BlockWord(block, i);
  const int16_t layer = Index16(layerIndex_), mask = Index16(paper_.GetActiveMaskIndex());
  return Record([&](CEventMngr& m) { return m.writeFilter2(id, layer, mask, words); });
}

bool CFlt4Core::RecordEvent16(uint8_t id, const void* block) {
  int32_t words[4];
  for (int32_t i = 0; i < 4; ++i) words[i] = BlockWord(block, i);
  const int16_t layer = Index16(layerIndex_), mask = Index16(paper_.GetActiveMaskIndex());
  return Record([&](CEventMngr& m) { return m.writeFilter4(id, layer, mask, words); });
}

bool CFlt4Core::RecordEvent24(uint8_t id, const void* block) {
  int32_t words[6];
  for (int32_t i = 0; i < 6; ++i) words[i] = BlockWord(block, i);
  const int16_t layer = Index16(layerIndex_), mask = Index16(paper_.GetActiveMaskIndex());
  return Record([&](CEventMngr& m) { return m.writeFilter6(id, layer, mask, words); });
}

bool CFlt4Core::RecordEvent50(uint8_t id, const SFilterParam50& block) {
  SFilterBlock header{};
  const int32_t count = block.Count(), itemSize = block.ItemSize();
  if (count < 0 || itemSize < 0 || int64_t{count} * itemSize > kMaxBlockDataLength) return false;
  InitFilterBlock(header, Index16(layerIndex_), Index16(paper_.GetActiveMaskIndex()), static_cast<uint16_t>(count),
                  static_cast<uint16_t>(itemSize));
  // The 32 inline bytes (14..45 of the block) go to 18..49 of the header.
  std::memcpy(reinterpret_cast<uint8_t*>(&header) + 18, block.Inline(), SFilterParam50::kInlineSize);
  return Record([&](CEventMngr& m) { return m.writeFilterBlock(id, header, block.data); });
}

bool CFlt4Core::RecordEvent87(uint8_t /*id*/, const SFltFloor& block) {
  // The ceiling's file picture travels as the first texture picture (0/128), the floor's as the
  // second (0/129). A texture taken from a layer records no picture.
  SRecordedImage ceiling{block.ceiling.image, block.ceiling.path};
  SRecordedImage floor{block.floor.image, block.floor.path};
  const bool ceilingFromFile = IsCeilingTextureFromFile(block);
  const bool floorFromFile = IsFloorTextureFromFile(block);
  const auto field = [](const SFltTexture& t, bool fromFile) {
    return fromFile ? static_cast<uint16_t>(t.resolution & 0xFFFF) : uint16_t{0};
  };
  const int16_t layer = Index16(layerIndex_), mask = Index16(paper_.GetActiveMaskIndex());
  return Record([&](CEventMngr& m) {
    return m.writeFloorFilter(layer, mask, block.values, field(block.ceiling, ceilingFromFile),
                              field(block.floor, floorFromFile), ceilingFromFile ? &ceiling : nullptr,
                              floorFromFile ? &floor : nullptr);
  });
}

bool CFlt4Core::CommitUndo() {
  if (!backup_ || layer_ == nullptr) return false;
  CBlockVMTC* backup = backup_.get();
  if (!paper_.PushUndo(backup, kUndoFilter, layerIndex_, layer_->id, 0, 0)) return false;
  (void)backup_.release();  // the undo owns it now
  return true;
}

// ---------------------------------------------------------------------------------------------
// Previews

bool CFlt4Core::ApplyPreview(const void* block, int32_t size) {
  WaitCursor cursor;
  RestoreDirty(nullptr);
  TRect visible{};
  if (!IsValid() || !paper_.GetVisibleCanvasRect(visible)) return false;
  TRect r = Moved(visible, layer_->offsetX, layer_->offsetY);
  if (!Execute(block, size, &r)) return false;
  AddDirtyRect(r);
  TRect canvas = Moved(r, -layer_->offsetX, -layer_->offsetY);
  if (IntersectRect(canvas, visible)) {
    const SRectWH clip = ToWH(canvas);
    paper_.RefreshDirtyRegions(layerIndex_, &clip, false);
  }
  return true;
}

void CFlt4Core::AddDirtyRect(const TRect& rect) {
  if (!previewDirty_) {
    dirty_ = rect;
    previewDirty_ = true;
    return;
  }
  dirty_ = Union(dirty_, rect);
  previewDirty_ = !IsEmpty(dirty_);
}

bool CFlt4Core::RestoreDirty(TRect* out) {
  if (!previewDirty_) return false;
  if (backup_ && layer_ != nullptr && layer_->Store() != nullptr) {
    TRect r = dirty_;
    if (IntersectRect(r, TRect{0, 0, layer_->StoreWidth(), layer_->StoreHeight()})) {
      TPoint at{r.left, r.top};
      SRectWH from = ToWH(r);
      layer_->Store()->CopyFrom(*backup_, at, from);
    }
  }
  if (out != nullptr && layer_ != nullptr) *out = Moved(dirty_, -layer_->offsetX, -layer_->offsetY);
  dirty_ = TRect{0, 0, 0, 0};
  previewDirty_ = false;
  return true;
}

bool CFlt4Core::RestorePreview(bool repaint) {
  TRect canvas{};
  if (!RestoreDirty(&canvas)) return false;
  if (repaint) {
    const SRectWH clip = ToWH(canvas);
    paper_.RefreshDirtyRegions(layerIndex_, &clip, false);
  }
  return true;
}

}  // namespace tf
