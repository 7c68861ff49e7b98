// TPaper: construction, plumbing, undo pushes, memory, refresh routines and the command protocol.
#include "paper/Paper.h"

#include <algorithm>
#include <limits>

#include "document/LayerDraw.h"
#include "document/ShellServices.h"
#include "paint/NibPreset.h"
#include "paint/Stroke.h"
#include "paper/FlowImage.h"
#include "platform/Debug.h"
#include "platform/Warning.h"

namespace tf {

namespace {

// The event stream: 64 KB blocks, sized for 1 MB to start.
constexpr uint32_t kEventBlockSize = 65536;
constexpr uint32_t kEventMaximumSize = 1048576;
// Capacity of the layer list of a document.
constexpr int32_t kLayerListCapacity = 24;

}  // namespace

void ShowCommandException(const char* message) {
  ShowWarning(Tx(TextId::PaperCommandException));
  if (message != nullptr && *message != '\0') ShowWarning(message);
}

void ShowCommandOutOfMemory() { ShowWarning(Tx(TextId::PaperCommandOutOfMemory)); }

// ---------------------------------------------------------------------------------------------
// The command protocol

PaperCommand::PaperCommand(TPaper& paper, bool record) : paper_(paper), record_(record) {}

void PaperCommand::DropRecorded() {
  CEventMngr* events = paper_.EventMngr();
  for (; recordedSteps_ > 0 && events != nullptr; --recordedSteps_) {
    if (!events->dropLastStep()) {
      DebugOut("TPaper: a failed command's event step could not be dropped\n");
      break;
    }
  }
  recordedSteps_ = 0;
}

// ---------------------------------------------------------------------------------------------
// Construction and destruction

TPaper::TPaper(DocumentWindow* window) : window_(window) {
  // The gradient renderer over the current gradient's stops, with its options.
  gradation_ = std::make_unique<CGradation>(window_ != nullptr ? window_->CurrentGradientStops() : nullptr);
  UpdateGradation();
  displayBuffer_ = std::make_unique<TTC>(true);
  viewBuffer_ = std::make_unique<TTC>(true);
  patternBuffer_ = std::make_unique<TTC>(true);
  viewScaler_ = std::make_unique<CScaleImageTMTC>(displayBuffer_.get(), viewBuffer_.get());
  navigator_ = std::make_unique<TMTC>();
  layers_ = std::make_unique<CLayerMngr>(kLayerListCapacity);
  CreateMaskMngr();
  CreateUndoMngr();
  CreateEventMngr();
}

TPaper::~TPaper() {
  ready = 0;
  NotifyReady(false);
  FreeStrokeMngr();
  gradation_.reset();
  viewScaler_.reset();
  displayBuffer_.reset();
  viewBuffer_.reset();
  patternBuffer_.reset();
  navigator_.reset();
  slots_.reset();
  undo_.reset();
  masks_.reset();
  layers_.reset();
  eventMngr_.reset();
}

// CreateMaskMngr and CreateSelectionSlots are in PaperMasks.cpp, CreateUndoMngr in PaperUndo.cpp.

bool TPaper::CreateEventMngr() {
  eventMngr_.reset();
  try {
    eventMngr_ = std::make_unique<CEventMngr>(kEventBlockSize, kEventMaximumSize);
  } catch (const std::bad_alloc&) {
    DebugOut("failed to create eventMngr!\n");
    return false;
  }
  PaperHost& host = GetPaperHost();
  eventMngr_->attachDocument(&recordedState_);
  const int32_t capacity = GetCheckpointCapacity();
  if (!eventMngr_->setupRecording(host.MainRecordedStroke(), host.MainRecordedTones(), capacity, capacity)) {
    DebugOut("TPaper: the event recorder could not be set up\n");
    return false;
  }
  return true;
}

std::unique_ptr<CDocumentUndo> TPaper::AdoptDocumentUndo(std::unique_ptr<CDocumentUndo> undo) {
  std::swap(undo, undo_);
  if (undo_ != nullptr) layers_->FreeAllOwnUndo();
  return undo;
}

std::unique_ptr<PaperMasks> TPaper::AdoptMasks(std::unique_ptr<PaperMasks> masks) {
  std::swap(masks, masks_);
  return masks;
}

std::unique_ptr<SelectionSlots> TPaper::AdoptSelectionSlots(std::unique_ptr<SelectionSlots> slots) {
  std::swap(slots, slots_);
  return slots;
}

int32_t TPaper::GetCheckpointCapacity() {
  const int64_t capacity = std::max<int64_t>(8, int64_t{PaperSettings().undoMax} + 34);
  return static_cast<int32_t>(std::min<int64_t>(capacity, std::numeric_limits<int32_t>::max()));
}

bool TPaper::IsRecording() const { return eventMngr_ != nullptr && eventMngr_->isRecording(); }

// ---------------------------------------------------------------------------------------------
// Plumbing

TFlowImage* TPaper::GetFlowImage() const { return window_ != nullptr ? window_->GetFlowImage() : nullptr; }

void TPaper::SetModified(bool value) {
  if (window_ != nullptr) window_->SetModified(value);
}

void TPaper::NotifyReady(bool value) {
  if (readyHandler) readyHandler(*this, value);
}

bool TPaper::GetMaxStoreSize(int32_t& width, int32_t& height) const {
  if (layers_->Count() == 0) return false;
  int32_t w = 0;
  int32_t h = 0;
  for (int32_t i = 0; i < layers_->Count(); ++i) {
    const CLayerData* layer = layers_->Get(i);
    w = std::max(w, layer->StoreWidth());
    h = std::max(h, layer->StoreHeight());
  }
  width = w;
  height = h;
  return true;
}

int32_t TPaper::GetActiveMaskIndex() const { return masks_ != nullptr ? masks_->ActiveIndex() : -1; }

bool TPaper::SelectLayer(TFlowImage* flow, int32_t index) {
  if (!IsValidLayerIndex(index)) return false;
  layers_->SetActive(index);
  // The current stroke keeps the layer's alpha protection.
  if (TStroke* stroke = GetCurrentStroke()) stroke->SetKeepAlpha(GetLayer(index)->alphaProtect != 0, true);
  if (flow != nullptr && !SyncFlowImage(flow, index, false)) CommitFlowImage(flow, index, false);
  return true;
}

bool TPaper::SetActiveLayer(TFlowImage* flow, int32_t index) {
  if (!SelectLayer(flow, index)) return false;
  UpdateLayerPane();
  UpdateMaskPane();
  return true;
}

bool TPaper::PrepareLegacyLayer(int32_t index, uint8_t blendMode) {
  if (HasModernEngine()) return false;
  if (blendMode < 3) SetLayerAlpha(index, 255);
  return true;
}

bool TPaper::SetLayerAlpha(int32_t index, uint8_t alpha) {
  CLayerData* layer = GetLayer(index);
  return layer != nullptr && layer->SetAlphaAll(alpha);
}

bool TPaper::CopyLayerContent(int32_t source, int32_t target) { return layers_->AssignLayer(target, source); }

bool TPaper::ResizeLayerThumbnail(int32_t index) {
  CLayerData* layer = GetLayer(index);
  return layer != nullptr && layer->UpdateThumbnailSize();
}

TStroke* TPaper::GetCurrentStroke() const { return window_ != nullptr ? window_->CurrentStroke() : nullptr; }

CPenShapeObj* TPaper::GetPenShape() const { return window_ != nullptr ? window_->CurrentPenShape() : nullptr; }

// ---------------------------------------------------------------------------------------------
// The document as its recorder reads it

int32_t TPaper::RecordedState::strokeEngine() const {
  return paper_.HasModernEngine() ? paper_.engineLevelInUse : 0;
}

bool TPaper::RecordedState::imageNib(SRecordedNib& nib) const {
  // The nib in force, when it is a valid image nib with a picture.
  const CPenShapeObj* shape = paper_.GetPenShape();
  if (shape == nullptr || !shape->IsValid() || !shape->IsBitmapNib()) return false;
  const TChannel* image = shape->Image();
  if (image == nullptr || !image->IsValid() || image->Width() <= 0 || image->Height() <= 0) return false;
  nib.key = shape->SerialId();
  nib.scale = static_cast<int16_t>(std::clamp(shape->GetScalePercent(), 0, int32_t{INT16_MAX}));
  // The shape's aspect (x 1000) and angle (x 10): both fit 16 bits.
  nib.nibValue1 = static_cast<int16_t>(std::clamp(shape->Shape().aspect, 0, int32_t{INT16_MAX}));
  nib.nibValue2 = static_cast<int16_t>(std::clamp(shape->Shape().angle, 0, int32_t{INT16_MAX}));
  nib.channel = image;
  return true;
}

bool TPaper::RecordedState::layerAttributes(int32_t layer, uint8_t& blendMode, uint8_t& opacity,
                                            uint16_t& flags) const {
  const CLayerData* data = paper_.GetLayer(layer);
  if (data == nullptr) return false;
  blendMode = data->blendMode;
  opacity = data->opacity;
  flags = static_cast<uint16_t>((data->visible != 0 ? 0x01 : 0) | (data->alphaProtect != 0 ? 0x02 : 0) |
                                (data->dissolve != 0 ? 0x10 : 0));
  return true;
}

bool TPaper::RecordedState::layerOrigin(int32_t layer, TPoint& origin) const {
  const CLayerData* data = paper_.GetLayer(layer);
  if (data == nullptr) return false;
  origin = TPoint{data->offsetX, data->offsetY};
  return true;
}

// ---------------------------------------------------------------------------------------------
// Undo pushes

bool TPaper::PushLayerUndo(CLayerData& layer, uint8_t code) {
  return PushLayerRectUndo(layer, SRectWH{0, 0, layer.StoreWidth(), layer.StoreHeight()}, code);
}

bool TPaper::PushLayerRectUndo(CLayerData& layer, const SRectWH& rect, uint8_t code) {
  return undo_ != nullptr && undo_->SaveLayerRect(layer, rect, code);
}

bool TPaper::PushAttributeUndo(CLayerData* layer, int32_t value, uint8_t code, int32_t extra) {
  return undo_ != nullptr && undo_->PushAttribute(layer, value, extra, code);
}

bool TPaper::SaveLayerUndo(int32_t index, const SRectWH& rect, uint8_t code) {
  CLayerData* layer = GetLayer(index);
  if (layer == nullptr) return false;
  if (undo_ != nullptr) return undo_->SaveLayerRect(*layer, rect, code);
  return layer->SaveRectOwnUndo(rect);
}

bool TPaper::SaveLayerUndoCoords(int32_t index, int32_t left, int32_t top, int32_t width, int32_t height,
                                 uint8_t code) {
  return SaveLayerUndo(index, SRectWH{left, top, width, height}, code);
}

bool TPaper::SaveLayerStoreUndo(int32_t index, uint8_t code) {
  CLayerData* layer = GetLayer(index);
  if (layer == nullptr) return false;
  return SaveLayerUndo(index, SRectWH{0, 0, layer->StoreWidth(), layer->StoreHeight()}, code);
}

bool TPaper::SaveWholeLayerUndo(int32_t index) {
  CLayerData* layer = GetLayer(index);
  if (layer == nullptr) return false;
  if (undo_ == nullptr) return layer->SaveStoreOwnUndo();
  return undo_->SaveLayerRect(*layer, SRectWH{0, 0, layer->StoreWidth(), layer->StoreHeight()}, kUndoLayerRect);
}

bool TPaper::PushLayerUndoByIndex(int32_t index, uint8_t code) {
  CLayerData* layer = GetLayer(index);
  return layer != nullptr && PushLayerUndo(*layer, code);
}

// ---------------------------------------------------------------------------------------------
// Memory

int64_t TPaper::GetUndoMemory() const {
  if (undo_ != nullptr) return undo_->MemorySize();
  return layers_->GetOwnUndoMemory();
}

int64_t TPaper::GetMemoryUsage(int64_t& layerBytes, int64_t& undoBytes) const {
  layerBytes = layers_->GetMemory();
  undoBytes = GetUndoMemory();
  const int64_t display = int64_t{displayBuffer_->Width()} * displayBuffer_->Height() * 9;
  const int64_t view = viewBuffer_->IsValid() ? viewBuffer_->GetImageSize() : 0;
  const int64_t pattern = patternBuffer_->IsValid() ? patternBuffer_->GetImageSize() : 0;
  const int64_t masks = masks_ != nullptr ? masks_->MemorySize() : 0;
  return display + layerBytes + view + pattern + masks + undoBytes;
}

// ---------------------------------------------------------------------------------------------
// Refreshes

void TPaper::InvalidateWindow(bool erase) {
  if (window_ != nullptr) window_->Invalidate(erase);
}

void TPaper::RedrawAll(bool grid) {
  ComposeRect(SRectWH{0, 0, displayBuffer_->Width(), displayBuffer_->Height()}, grid);
  InvalidateWindow(false);
}

void TPaper::RefreshLayerRect(int32_t index, const SRectWH& rect) {
  ComposeRect(rect, true);
  if (window_ != nullptr) {
    PaintRect(window_->Handle(), TRect{rect.left, rect.top, rect.left + rect.width, rect.top + rect.height});
  }
  UpdateThumbnailsRect(false, index, rect);
  if (index != GetActiveLayerIndex()) RedrawLayerList(index);
}

void TPaper::RefreshLayerView(int32_t index) {
  if (showCanvasColor == 0 && patternBuffer_->IsValid()) patternBuffer_->FillAll(0xCCCCCCu);
  RefreshLayerRect(index, SRectWH{0, 0, displayBuffer_->Width(), displayBuffer_->Height()});
}

void TPaper::RefreshDirtyRegions(int32_t index, const SRectWH* clip, bool thumbnails) {
  CLayerData* layer = GetLayer(index);
  if (layer == nullptr || layer->Store() == nullptr) return;
  CBlockVMTC& store = *layer->Store();
  store.UpdateContentRects();
  const SRegionList& regions = store.ContentRects();
  for (int32_t i = 0; i < regions.count; ++i) {
    const TRect& r = regions.rects[i];
    SRectWH area{r.left - layer->offsetX, r.top - layer->offsetY, r.right - r.left, r.bottom - r.top};
    if (!ClipRectToSize(area, displayBuffer_->Size())) continue;
    if (clip != nullptr && !ClipRectToRect(area, *clip)) continue;
    ComposeRect(area, true);
    if (window_ != nullptr) {
      PaintRect(window_->Handle(), TRect{area.left, area.top, area.left + area.width, area.top + area.height});
    }
    if (thumbnails) UpdateThumbnailsRect(false, index, area);
  }
  if (index != GetActiveLayerIndex()) RedrawLayerList(index);
}

void TPaper::RefreshLayerArea(TFlowImage* flow, int32_t index, bool commit, const TRect& rect) {
  CLayerData* layer = GetLayer(index);
  if (layer == nullptr) return;
  SyncFlowRect(flow, index, commit, rect);
  const SRectWH area{rect.left - layer->offsetX, rect.top - layer->offsetY, rect.right - rect.left,
                     rect.bottom - rect.top};
  ComposeRect(area, true);
  UpdateThumbnailsRect(false, index, area);
  InvalidateWindow(false);
  UpdateLayerPane();
  UpdateMaskPane();
}

void TPaper::RefreshLayerAll(TFlowImage* flow, int32_t index, bool commit) {
  CLayerData* layer = GetLayer(index);
  if (layer == nullptr) return;
  RefreshLayerArea(flow, index, commit, TRect{0, 0, layer->StoreWidth(), layer->StoreHeight()});
}

void TPaper::UpdateMaskPane() { tf::UpdateMaskPane(); }

// ---------------------------------------------------------------------------------------------
// Gradation

void TPaper::SetGradientLineInt(const TPoint& p0, const TPoint& p1) {
  // 16.16 values; the shift is done on unsigned bits so that negative points keep their value.
  auto fix = [](int32_t v) { return static_cast<int32_t>(static_cast<uint32_t>(v) << 16); };
  gradation_->SetLine(TPoint{fix(p0.x), fix(p0.y)}, TPoint{fix(p1.x), fix(p1.y)});
}

void TPaper::GetGradientLine(TPoint& p0, TPoint& p1) const { gradation_->GetLine(p0, p1); }

void TPaper::UpdateGradation() {
  if (window_ != nullptr) gradation_->SetSlotGroup(window_->CurrentGradientStops());
  const SGradOption options = GetPaperHost().CurrentGradientOptions();
  if (!gradation_->SetOptions(options.shape, options.mirror, options.endless, options.repeatCount)) {
    DebugOut("TPaper::UpdateGradation: the current gradient's options are out of range\n");
  }
}

}  // namespace tf
