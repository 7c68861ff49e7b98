// TPaper: the stroke road. Engine choice, the begin / add point / end calls of the three stroke
// engines, the view refresh while a stroke is drawn, and the paper's gradation.
//
// A stroke paints only into the working copy (TFlowImage); the end merges the stroke's rectangle
// into the layer's store and, when recording, records the end of the stroke and saves the pixel
// undo first. The same calls with the record flag clear replay a recorded stroke.
#include <algorithm>
#include <cmath>
#include <functional>

#include "document/BlendMode.h"
#include "document/LayerData.h"
#include "document/LayerDraw.h"
#include "paint/CoverageComposite.h"
#include "paint/OldDabs.h"
#include "paint/PenRender.h"
#include "paint/PixelWriters.h"
#include "paint/Stroke.h"
#include "paint/StrokeMngr.h"
#include "paint/ToneSet.h"
#include "paper/FlowImage.h"
#include "paper/Paper.h"

#include "document/Mask.h"
#include "paper/ViewRender.h"
#include "platform/Debug.h"
#include "raster/PixelOps.h"

namespace tf {

namespace {

// How far outside the canvas a stroke point may lie; points beyond are moved to this border.
constexpr float kStrokePointMargin = 16384.0f;
// Pen types of the older engines that paint through the coverage channel: pen and blur2.
constexpr bool kPenTypeUsesChannel[9] = {true, false, false, false, true, false, false, false, false};
constexpr uint8_t kPenTypePen = 0;
constexpr uint8_t kPenTypeBlur2 = 4;

// Clears the window's stroke-active flag when the end of a stroke leaves, also on failure.
class StrokeEndGuard {
 public:
  explicit StrokeEndGuard(std::function<void()> done) : done_(std::move(done)) {}
  ~StrokeEndGuard() { done_(); }
  StrokeEndGuard(const StrokeEndGuard&) = delete;
  StrokeEndGuard& operator=(const StrokeEndGuard&) = delete;

 private:
  std::function<void()> done_;
};

// A layer's opacity replaced for one drawing, restored afterwards.
class LayerOpacityScope {
 public:
  LayerOpacityScope(CLayerData& layer, int32_t opacity) : layer_(layer), saved_(layer.opacity) {
    layer_.opacity = static_cast<uint8_t>(opacity);
  }
  ~LayerOpacityScope() { layer_.opacity = saved_; }
  LayerOpacityScope(const LayerOpacityScope&) = delete;
  LayerOpacityScope& operator=(const LayerOpacityScope&) = delete;

 private:
  CLayerData& layer_;
  uint8_t saved_;
};

// The colour writer replaced for one composite, restored afterwards.
class ColourWriterScope {
 public:
  explicit ColourWriterScope(PixelOp writer) : saved_(SetColourWriter(writer)) {}
  ~ColourWriterScope() { SetColourWriter(saved_); }
  ColourWriterScope(const ColourWriterScope&) = delete;
  ColourWriterScope& operator=(const ColourWriterScope&) = delete;

 private:
  PixelOp saved_;
};

bool IsEmpty(const SRectWH& r) { return r.width <= 0 || r.height <= 0; }

// A failure the renderer flagged during the call (an assertion failure): taken and reported.
bool RendererFailed(CPenRender* renderer, const char* where) {
  if (renderer == nullptr || !renderer->TakeFailure()) return false;
  DebugOutF("TPaper::%s: the dab renderer failed\n", where);
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Engine choice

void UseStrokeEngine0(TPaper& paper) { paper.SetStrokeRoutine(StrokeRoutine::kLegacy, 0); }
void UseStrokeEngine1(TPaper& paper) { paper.SetStrokeRoutine(StrokeRoutine::kStepping, 1); }
void UseStrokeEngine2(TPaper& paper) { paper.SetStrokeRoutine(StrokeRoutine::kManager, 2); }

// StrokeEngine0Step and StrokeEngine1Step: PaperOlder.cpp.

bool StrokeEngine2Step(TPaper& paper, TFlowImage* flow, TStroke& stroke) {
  CStrokeMngr* manager = paper.StrokeMngr();
  if (manager == nullptr || flow == nullptr) {
    DebugOut("StrokeEngine2Step: no stroke manager or working copy\n");
    return false;
  }
  manager->Bind(
      SStrokeCanvas{&flow->Image(), &flow->WorkChannel(), TPoint{flow->canvasRect.left, flow->canvasRect.top}},
      &paper.StrokeSide());
  manager->SetStroke(&stroke);
  manager->Step();
  return !RendererFailed(manager->GetRender(), "StrokeEngine2Step");
}

void TPaper::SetStrokeRoutine(StrokeRoutine routine, uint8_t level) {
  strokeRoutine = routine;
  // Playback of older recordings runs without document undo.
  if (routine == StrokeRoutine::kLegacy) undo_.reset();
  if (engineLevelOffered < level) engineLevelOffered = level;
  engineLevelInUse = level;
}

bool TPaper::SelectStrokeEngine(int32_t engine) {
  if (engine > engineLevelOffered || (engine != 1 && engine != 2)) return false;
  strokeRoutine = engine == 2 ? StrokeRoutine::kManager : StrokeRoutine::kStepping;
  engineLevelInUse = static_cast<uint8_t>(engine);
  return true;
}

bool TPaper::CreateStrokeMngr() {
  if (engineLevelOffered > 1) return true;
  TStroke* stroke = GetCurrentStroke();
  CPenRender* renderer = GetPenRender();
  if (stroke == nullptr || renderer == nullptr) {
    DebugOut("failed to create the stroke manager! (the window has no stroke or dab renderer)\n");
    return false;
  }
  strokeMngr_.reset(new (std::nothrow) CStrokeMngr(stroke, renderer));
  if (strokeMngr_ == nullptr) {
    DebugOut("failed to create the stroke manager! (out of memory)\n");
    return false;
  }
  engineLevelOffered = 2;
  SelectStrokeEngine(window_ != nullptr ? window_->ChosenStrokeEngine() : 2);
  SyncStrokeState(true);
  strokeMngr_->SetStroke(stroke);
  return true;
}

void TPaper::FreeStrokeMngr() {
  // The writers must not keep a document that goes.
  if (GetCurrentDrawWindow() == &strokeSide_) SetCurrentDrawWindow(nullptr);
  if (penSource_.Manager() == strokeMngr_.get()) penSource_.Set(penSource_.Renderer(), nullptr);
  strokeMngr_.reset();
  engineLevelOffered = 1;
  if (engineLevelInUse > 1) engineLevelInUse = 1;
  if (strokeRoutine == StrokeRoutine::kManager) strokeRoutine = StrokeRoutine::kStepping;
}

void TPaper::ResetStrokeEngines() {
  UseStrokeEngine1(*this);
  CreateUndoMngr();
  slots_.reset();
  for (int32_t i = 0; i < GetLayerCount(); ++i) SetLayerAlpha(i, 255);
  if (TFlowImage* flow = GetFlowImage(); flow != nullptr && flow->Image().IsValid())
    flow->Image().SetAlphaAll(255);
  FreeStrokeMngr();
  engineLevelOffered = 1;
  engineLevelInUse = 1;
  CreateStrokeMngr();
}

CPenRender* TPaper::GetPenRender() const { return window_ != nullptr ? window_->CurrentPenRender() : nullptr; }

void TPaper::SyncStrokeState(bool refresh) {
  penSource_.Set(GetPenRender(), strokeMngr_.get());
  if (eventMngr_ != nullptr) eventMngr_->attachPen(&penSource_);
  if (refresh && !strokeSide_.IsLockedForPlayback()) UpdateStrokeMngr();
}

void TPaper::UpdateStrokeMngr() {
  if (strokeMngr_ != nullptr && !strokeSide_.IsLockedForPlayback()) strokeMngr_->LoadStrokeSettings();
}

bool TPaper::StrokeUsesChannel(const TStroke& stroke) const {
  if (engineLevelInUse == 2) return strokeMngr_ != nullptr && strokeMngr_->RendersToChannel();
  const uint8_t type = stroke.GetPenType();
  return type < 9 && kPenTypeUsesChannel[type];
}

int32_t TPaper::GetStrokeLayer(const TStroke& stroke) const {
  const int32_t index = stroke.GetLayerIndex();
  return IsValidLayerIndex(index) ? index : GetActiveLayerIndex();
}

uint8_t TPaper::GetStrokeLayerMode(const TStroke& stroke) const {
  const CLayerData* layer = GetLayer(GetStrokeLayer(stroke));
  return layer != nullptr ? layer->blendMode : 0;
}

// ---------------------------------------------------------------------------------------------
// Coordinates

TPoint TPaper::GetLayerOffset(int32_t layer) const {
  const CLayerData* data = GetLayer(layer);
  return data != nullptr ? TPoint{data->offsetX, data->offsetY} : TPoint{0, 0};
}

void TPaper::RectToStore(int32_t layer, SRectWH& rect) const {
  const TPoint offset = GetLayerOffset(layer);
  rect.left = AddSat(rect.left, offset.x);
  rect.top = AddSat(rect.top, offset.y);
}

void TPaper::RectToLayer(int32_t layer, SRectWH& rect) const {
  const TPoint offset = GetLayerOffset(layer);
  rect.left = AddSat(rect.left, -int64_t{offset.x});
  rect.top = AddSat(rect.top, -int64_t{offset.y});
}

void TPaper::PointToStore(int32_t layer, SPointF& point) const {
  const TPoint offset = GetLayerOffset(layer);
  point.x += static_cast<float>(offset.x);
  point.y += static_cast<float>(offset.y);
}

bool TPaper::AcceptStrokePoint(float& x, float& y, float& pressure) const {
  if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(pressure)) {
    DebugOut("TPaper: a stroke point that is not finite was refused\n");
    return false;
  }
  x = std::clamp(x, -kStrokePointMargin, static_cast<float>(canvasWidth) + kStrokePointMargin);
  y = std::clamp(y, -kStrokePointMargin, static_cast<float>(canvasHeight) + kStrokePointMargin);
  pressure = std::clamp(pressure, 0.0f, 1.0f);
  return true;
}

void TPaper::ClipStrokeToStore(int32_t layer, SRectWH& store) const {
  // A stroke drawn wholly beside the layer (in the window's margin) changed no pixel: it ends like
  // a click, with nothing to undo, rather than as an undo save that failed.
  const CLayerData* data = GetLayer(layer);
  if (data == nullptr || !ClipRectToSize(store, SSize{data->StoreWidth(), data->StoreHeight()}))
    store = SRectWH{0, 0, 0, 0};
}

SStrokeCanvas TPaper::CanvasOf(TFlowImage& flow) {
  return SStrokeCanvas{&flow.Image(), &flow.WorkChannel(), TPoint{flow.canvasRect.left, flow.canvasRect.top}};
}

void TPaper::SetStrokeProgress(bool active, int32_t points) {
  if (active && points == 0) strokePointFailed_ = false;  // a stroke begins
  strokePoints_ = points;
  if (window_ != nullptr) window_->SetStrokeProgress(active, points);
}

bool TPaper::RunStrokeRoutine(TFlowImage* flow, TStroke& stroke) {
  bool done = false;
  switch (strokeRoutine) {
    case StrokeRoutine::kLegacy: done = StrokeEngine0Step(*this, flow, stroke); break;
    case StrokeRoutine::kStepping: done = StrokeEngine1Step(*this, flow, stroke); break;
    case StrokeRoutine::kManager: done = StrokeEngine2Step(*this, flow, stroke); break;
  }
  // A point recorded but not painted: the replay would paint it (SaveStrokeUndo takes the stroke
  // back at its end).
  if (!done) strokePointFailed_ = true;
  return done;
}

// ---------------------------------------------------------------------------------------------
// Engines 0 and 1

bool TPaper::BeginStroke(TFlowImage* flow, TStroke& stroke, bool record, float x, float y, float pressure) {
  if (flow == nullptr || !AcceptStrokePoint(x, y, pressure)) return false;
  const int32_t layer = GetStrokeLayer(stroke);
  if (!IsValidLayerIndex(layer)) return false;
  if (record && eventMngr_ != nullptr) {
    SyncStrokeState(false);
    eventMngr_->beginStroke(x, y, pressure);
  }
  SyncFlowImage(flow, layer, false);
  SetCurrentDrawWindow(&strokeSide_);
  stroke.BeginStroke(&strokeSide_, flow->Image(), TPoint{flow->canvasRect.left, flow->canvasRect.top}, x, y,
                     pressure);
  strokePreviousMajorAxis = -1;
  BindStrokeToPaper(stroke, &strokeSide_);
  SetStrokeProgress(true, 0);
  return true;
}

bool TPaper::BeginStrokeDirect(TFlowImage* flow, TStroke& stroke, bool record, float x, float y, float pressure) {
  if (flow == nullptr || !AcceptStrokePoint(x, y, pressure)) return false;
  const int32_t layer = GetStrokeLayer(stroke);
  if (!IsValidLayerIndex(layer)) return false;
  if (record && eventMngr_ != nullptr) {
    SyncStrokeState(false);
    eventMngr_->beginStroke(x, y, pressure);
  }
  SyncFlowImage(flow, layer, false);
  SetCurrentDrawWindow(&strokeSide_);
  stroke.BeginStrokeDirect(&strokeSide_, flow->Image(), x, y, pressure);
  strokePreviousMajorAxis = -1;
  BindStrokeToPaper(stroke, &strokeSide_);
  SetStrokeProgress(true, 0);
  return true;
}

bool TPaper::StrokeTo(TFlowImage* flow, TStroke& stroke, bool record, WindowHandle target, float x, float y,
                      float pressure) {
  if (flow == nullptr || !AcceptStrokePoint(x, y, pressure)) return false;
  if (record && eventMngr_ != nullptr) eventMngr_->addStrokePoint(x, y, pressure);
  SetStrokeProgress(true, strokePoints_ + 1);
  stroke.AddPoint(x, y, pressure);
  if (!RunStrokeRoutine(flow, stroke)) return false;
  SRectWH rect{};
  stroke.GetDirtyRect(rect);
  return UpdateStrokeView(flow, target, rect, stroke);
}

bool TPaper::EndStroke(TFlowImage* flow, TStroke& stroke, bool record, SRectWH& rect, WindowHandle target) {
  (void)target;
  StrokeEndGuard guard([this] { SetStrokeProgress(false, strokePoints_); });
  stroke.GetStrokeRect(rect);
  // A click without a point never widened the bounds: hand back an empty rectangle.
  if (rect.width <= 0 || rect.height <= 0) rect = SRectWH{0, 0, 0, 0};
  if (flow == nullptr) return false;
  const int32_t layer = GetStrokeLayer(stroke);
  SRectWH store = rect;
  RectToStore(layer, store);
  ClipStrokeToStore(layer, store);
  bool ok = true;
  if (record) {
    if (eventMngr_ != nullptr) {
      eventMngr_->endStroke();
      // As with engine 2: no undo record, so no step, and the stream keeps one step per record.
      if (IsEmpty(store)) eventMngr_->dropLastStep();
    }
    // A stroke that touched no pixel (a click without a point) leaves nothing to undo.
    if (!IsEmpty(store) && !SaveStrokeUndo(flow, layer, store)) {
      DebugOut("TPaper::EndStroke: the stroke's undo could not be saved\n");
      ok = false;
    }
  }
  if (ok && !IsEmpty(store) && !MergeStroke(flow, layer, store, record)) ok = false;
  if (StrokeUsesChannel(stroke) && !IsEmpty(store)) {
    SRectWH area = store;
    flow->WorkChannel().FillRect(area, 0);
  }
  return ok;
}

// ---------------------------------------------------------------------------------------------
// Engine 2

bool TPaper::BeginStrokeMngr(TFlowImage* flow, TStroke& stroke, bool record, float x, float y, float pressure) {
  if (strokeMngr_ == nullptr) {
    DebugOut("TPaper::BeginStrokeMngr: no stroke manager\n");
    return false;
  }
  if (flow == nullptr || !AcceptStrokePoint(x, y, pressure)) return false;
  const int32_t layer = GetStrokeLayer(stroke);
  if (!IsValidLayerIndex(layer)) return false;
  SyncFlowImage(flow, layer, false);
  SetCurrentDrawWindow(&strokeSide_);
  strokeMngr_->BeginStroke(layer, CanvasOf(*flow), &stroke, &strokeSide_);
  if (!strokeMngr_->FirstPoint(x, y, pressure) || RendererFailed(strokeMngr_->GetRender(), "BeginStrokeMngr"))
    return false;
  strokePreviousMajorAxis = -1;
  BindStrokeToPaper(stroke, &strokeSide_);
  // Engine 2 records its begin after the start step.
  if (record && eventMngr_ != nullptr) {
    SyncStrokeState(false);
    eventMngr_->beginStroke(x, y, pressure);
  }
  SetStrokeProgress(true, 0);
  return true;
}

bool TPaper::StrokeToMngr(TFlowImage* flow, TStroke& stroke, bool record, WindowHandle target, float x, float y,
                          float pressure) {
  if (strokeMngr_ == nullptr || flow == nullptr || !AcceptStrokePoint(x, y, pressure)) return false;
  if (record && eventMngr_ != nullptr) eventMngr_->addStrokePoint(x, y, pressure);
  SetStrokeProgress(true, strokePoints_ + 1);
  strokeMngr_->AddPoint(x, y, pressure);
  if (!RunStrokeRoutine(flow, stroke)) return false;
  SRectWH rect{};
  strokeMngr_->GetSegmentRect(rect);
  return UpdateStrokeView(flow, target, rect, stroke);
}

bool TPaper::EndStrokeMngr(TFlowImage* flow, TStroke& stroke, bool record, SRectWH& rect, WindowHandle target) {
  (void)target;
  (void)stroke;
  StrokeEndGuard guard([this] { SetStrokeProgress(false, strokePoints_); });
  if (strokeMngr_ == nullptr) {
    rect = SRectWH{0, 0, 0, 0};
    DebugOut("TPaper::EndStrokeMngr: no stroke manager\n");
    return false;
  }
  strokeMngr_->GetStrokeRect(rect);
  if (flow == nullptr) return false;
  const int32_t layer = strokeMngr_->GetLayer();
  SRectWH store = rect;
  RectToStore(layer, store);
  ClipStrokeToStore(layer, store);
  bool ok = true;
  if (record) {
    if (eventMngr_ != nullptr) {
      eventMngr_->endStroke();
      // A stroke that painted nothing pushes no undo record; its step goes too, so the stream
      // and the undo list stay one step for one record.
      if (IsEmpty(store)) eventMngr_->dropLastStep();
    }
    if (!IsEmpty(store) && !SaveStrokeUndo(flow, layer, store)) {
      DebugOut("TPaper::EndStrokeMngr: the stroke's undo could not be saved\n");
      ok = false;
    }
  }
  if (ok && !IsEmpty(store) && !MergeStroke(flow, layer, store, record)) ok = false;
  strokeMngr_->ClearCoverage(&store, false);
  strokeMngr_->EndStroke();
  return ok;
}

// ---------------------------------------------------------------------------------------------
// The end of a recorded stroke that memory refuses

bool TPaper::SaveStrokeUndo(TFlowImage* flow, int32_t layer, const SRectWH& store) {
  bool saved = false;
  try {
    // A stroke one of whose points could not be painted is not what its recording replays.
    saved = !strokePointFailed_ && SaveLayerUndo(layer, store, kUndoStroke);
  } catch (const std::bad_alloc&) {
    saved = false;
  }
  if (!saved) TakeBackStroke(flow, layer, store, true);
  return saved;
}

bool TPaper::MergeStroke(TFlowImage* flow, int32_t layer, const SRectWH& store, bool record) {
  // The store changes only when every tile it needs was committed.
  if (PutImageToLayer(layer, flow->Image(), 255, store, TPoint{store.left, store.top})) return true;
  if (record) {
    DebugOut("TPaper: the stroke could not be merged into its layer; it is taken back\n");
    TakeBackStroke(flow, layer, store, true);
    ClearAllUndo();
  } else {
    // A replayed stroke: the player reports the failed step.
    SRectWH area = store;
    TPoint at{store.left, store.top};
    if (const CLayerData* held = GetLayer(layer); held != nullptr && held->Store() != nullptr)
      held->Store()->CopyToImage(flow->Image(), at, area, 255, false);
  }
  return false;
}

void TPaper::TakeBackStroke(TFlowImage* flow, int32_t layer, const SRectWH& store, bool record) {
  if (record && eventMngr_ != nullptr && !eventMngr_->dropLastStep())
    DebugOut("TPaper: the recorded step of a stroke taken back could not be dropped\n");
  const CLayerData* held = GetLayer(layer);
  if (flow != nullptr && held != nullptr && held->Store() != nullptr) {
    SRectWH area = store;
    TPoint at{store.left, store.top};
    held->Store()->CopyToImage(flow->Image(), at, area, 255, false);
    RefreshLayerRect(layer, SRectWH{store.left - held->offsetX, store.top - held->offsetY, store.width, store.height});
  }
  ShowCommandOutOfMemory();
}

// ---------------------------------------------------------------------------------------------
// The view while a stroke is drawn

bool TPaper::UpdateStrokeView(TFlowImage* flow, WindowHandle target, const SRectWH& rect, TStroke& stroke) {
  RenderStrokeRect(flow, stroke, rect);
  SRectWH clip = rect;
  if (!displayBuffer_->IsValid() || !displayBuffer_->ClipRect(clip)) return false;
  ComposeViewRect(flow, clip, flow != nullptr ? flow->layer : -1);
  if (gridVisible != 0) DrawGridRect(clip);
  PaintRect(target, TRect{clip.left, clip.top, clip.left + clip.width, clip.top + clip.height});
  return true;
}

bool TPaper::RenderStrokeRect(TFlowImage* flow, TStroke& stroke, const SRectWH& rect) {
  if (flow == nullptr || !StrokeUsesChannel(stroke)) return false;
  SRectWH store = rect;
  RectToStore(flow->layer, store);
  if (engineLevelInUse == 2) return RenderFlowRect(flow, stroke, store);
  if (stroke.GetPenType() == kPenTypePen) return RenderFlowRect(flow, stroke, store);
  if (stroke.GetPenType() == kPenTypeBlur2) return RenderFlowRectBlur(flow, stroke, store);
  return false;
}

bool TPaper::RenderFlowRect(TFlowImage* flow, TStroke& stroke, const SRectWH& storeRect) {
  if (flow == nullptr) return false;
  const CLayerData* layer = GetLayer(flow->layer);
  if (layer == nullptr || layer->Store() == nullptr) return false;
  TPoint dest{storeRect.left, storeRect.top};
  SRectWH source = storeRect;
  if (!layer->Store()->CopyToImage(flow->Image(), dest, source, 255, false)) return false;
  const int32_t opacity = stroke.GetOpacity255();
  if (stroke.GetUseGradation())
    return CompositeCoverageGradient(flow->Image(), flow->WorkChannel(), *gradation_, opacity, storeRect,
                                     TPoint{storeRect.left, storeRect.top}, GetColourWriter());
  return CompositeCoverage(flow->Image(), flow->WorkChannel(), TPoint{storeRect.left, storeRect.top}, opacity,
                           stroke.GetColor(), storeRect);
}

bool TPaper::RenderFlowRectBlend(TFlowImage* flow, TStroke& stroke, const SRectWH& storeRect) {
  if (flow == nullptr) return false;
  const CLayerData* layer = GetLayer(flow->layer);
  if (layer == nullptr || layer->Store() == nullptr) return false;
  TPoint dest{storeRect.left, storeRect.top};
  SRectWH source = storeRect;
  if (!layer->Store()->CopyToImage(flow->Image(), dest, source, 255, false)) return false;
  const uint32_t neutral = GetBlendModeNeutralColor(layer->blendMode);
  ColourWriterScope writer(stroke.GetKeepAlpha() ? GetColourWriter() : PixelOp{&PixelEraseAlpha});
  return CompositeCoverage(flow->Image(), flow->WorkChannel(), TPoint{storeRect.left, storeRect.top},
                           stroke.GetOpacity255(), neutral, storeRect);
}

bool TPaper::RenderFlowRectBlur(TFlowImage* flow, TStroke& stroke, const SRectWH& storeRect) {
  (void)stroke;
  if (flow == nullptr) return false;
  const CLayerData* layer = GetLayer(flow->layer);
  if (layer == nullptr || layer->Store() == nullptr) return false;
  return AreaBlurThroughChannel(flow->Image(), *layer->Store(), flow->WorkChannel(), nullptr, storeRect);
}

bool TPaper::ComposeViewRect(TFlowImage* flow, const SRectWH& rect, int32_t strokeLayer) {
  TMTC& display = *displayBuffer_;
  SRectWH r = rect;
  if (!display.IsValid() || !display.ClipRect(r)) return false;
  FillBackground(display, r);
  FolderOpacityRecord record;
  ClearFolderOpacity(record);
  const bool modern = HasModernEngine();
  const bool canvasColour = showCanvasColor != 0;
  for (int32_t i = 0; i < GetLayerCount(); ++i) {
    CLayerData* layer = GetLayer(i);
    if (layer == nullptr) continue;
    const int32_t e = GetEffectiveOpacity(*layer, record);
    if (e <= 0 || layer->Store() == nullptr) continue;
    LayerOpacityScope opacity(*layer, e);
    TPoint dest{r.left, r.top};
    SRectWH source{AddSat(r.left, layer->offsetX), AddSat(r.top, layer->offsetY), r.width, r.height};
    const bool fromCopy = flow != nullptr && i == strokeLayer && flow->layer == i && flow->Image().IsValid();
    if (fromCopy) {
      const TMTC& copy = flow->Image();
      if (!canvasColour)
        BlendImageIntoImage(display, copy, *layer, kTransparentComposeModeWord, source, dest);
      else if (modern)
        DrawImageAsLayer(display, copy, dest, false, *layer, source);
      else if (layer->blendMode <= 3)
        ApplyLegacyImageOp(display, copy, source, dest, e, layer->blendMode);
    } else if (!canvasColour) {
      BlendLayerIntoImage(*layer, display, dest, kTransparentComposeModeWord, source);
    } else if (modern) {
      DrawLayerRect(display, *layer, r);
    } else {
      DrawLayerFastRect(*layer, display, r);
    }
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// Gradation of the paper

void TPaper::SetGradientLineFloat(const SPointF& p0, const SPointF& p1) {
  gradation_->SetLine(TPoint{SingleToFix(p0.x), SingleToFix(p0.y)}, TPoint{SingleToFix(p1.x), SingleToFix(p1.y)});
}

void TPaper::SetGradientLine(const TPoint& p0, const TPoint& p1) { gradation_->SetLine(p0, p1); }

SGradOption TPaper::GetGradientOptions() const { return gradation_->Options(); }

bool TPaper::SetGradationOptions(int32_t shape, int32_t mirror, int32_t repeatCount, int32_t endless) {
  gradation_->SetSlotGroup(GetGradationColors());
  return gradation_->SetOptions(shape, mirror, endless, repeatCount);
}

const CColorSlotGroup* TPaper::GetGradationColors() const {
  return window_ != nullptr ? window_->CurrentGradientStops() : nullptr;
}

void TPaper::ResetGradation() {
  SGradOption option{};
  InitGradOption(option);
  gradation_->SetOptions(option.shape, option.mirror, option.endless, option.repeatCount);
}

uint32_t TPaper::GradationColorAt(int32_t x, int32_t y) const { return gradation_->ColorAt(x, y); }

// ---------------------------------------------------------------------------------------------
// The document as the painting engine sees it

bool TPaper::StrokeSideImpl::IsLockedForPlayback() const {
  const DocumentWindow* window = paper_.GetDrawWindow();
  return window != nullptr && window->IsLockedForPlayback();
}

bool TPaper::StrokeSideImpl::ActiveLayerKeepsAlpha() const {
  const CLayerData* layer = paper_.GetActiveLayer();
  return layer != nullptr && layer->alphaProtect != 0;
}

bool TPaper::StrokeSideImpl::GetLayerBlendMode(int32_t layerIndex, uint32_t& mode) const {
  const CLayerData* layer = paper_.GetLayer(layerIndex);
  if (layer == nullptr) return false;
  mode = layer->blendMode;
  return true;
}

bool TPaper::StrokeSideImpl::ActiveMaskSampler::IsAllocated() const { return CMaskData::IsAllocated(mask); }

int32_t TPaper::StrokeSideImpl::ActiveMaskSampler::ValueAt(int32_t x, int32_t y, int32_t value) const {
  if (mask == nullptr) return 0;
  return mask->ValueAt(x, y, static_cast<uint8_t>(std::clamp(value, 0, 255)));
}

MaskSampler* TPaper::StrokeSideImpl::GetActiveMask() {
  // The selection: the active mask of the document's mask list, when it holds a store.
  const CMaskMngr* masks = paper_.MaskMngr();
  maskSampler_.mask = masks != nullptr ? masks->GetActiveMask() : nullptr;
  return maskSampler_.mask != nullptr ? &maskSampler_ : nullptr;
}

TPoint TPaper::StrokeSideImpl::GetActiveMaskOrigin() const {
  const CMaskMngr* masks = paper_.MaskMngr();
  const CMaskData* mask = masks != nullptr ? masks->GetActiveMask() : nullptr;
  return mask != nullptr ? TPoint{mask->offsetX, mask->offsetY} : TPoint{0, 0};
}

ToneSampler* TPaper::StrokeSideImpl::GetToneSampler() {
  DocumentWindow* window = paper_.GetDrawWindow();
  return window != nullptr ? window->ToneMngr() : nullptr;
}

CBlockVMTC* TPaper::StrokeSideImpl::LayerStore(int32_t layer) const {
  const CLayerData* data = paper_.GetLayer(layer);
  return data != nullptr ? data->Store() : nullptr;
}

bool TPaper::StrokeSideImpl::PlaysVersion33OrLower() const {
  const DocumentWindow* window = paper_.GetDrawWindow();
  const CEventMngr* events = paper_.EventMngr();
  return window != nullptr && window->IsPlaying() && events != nullptr && events->version <= 33;
}

}  // namespace tf
