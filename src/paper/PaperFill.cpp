// TPaper: the layer clears and fills, the shape fills, the seed fills, the magic wand and the
// bucket fill.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>

#include "document/BlendMode.h"
#include "document/LayerDraw.h"
#include "document/Mask.h"
#include "paint/PixelWriters.h"
#include "paint/SeedFill.h"
#include "paint/ShapeFill.h"
#include "paint/Stroke.h"
#include "paper/FlowImage.h"
#include "paper/Paper.h"
#include "paper/UndoMngrEx.h"
#include "paper/ViewRender.h"
#include "platform/Debug.h"
#include "platform/Host.h"
#include "platform/Warning.h"
#include "raster/ChannelShapes.h"
#include "raster/Composite.h"

namespace tf {

namespace {

// Tolerances come from the settings (the tool window allows 1..500).
int32_t ClampTolerance(int32_t tolerance) { return std::clamp(tolerance, 0, 500); }

int16_t ToleranceField(int32_t tolerance) { return static_cast<int16_t>(ClampTolerance(tolerance)); }

SRectWH ToRectWH(const TRect& r) { return SRectWH{r.left, r.top, r.right - r.left, r.bottom - r.top}; }
TRect ToRect(const SRectWH& r) { return TRect{r.left, r.top, r.left + r.width, r.top + r.height}; }

bool Intersect(TRect& a, const TRect& b) {
  a.left = std::max(a.left, b.left);
  a.top = std::max(a.top, b.top);
  a.right = std::min(a.right, b.right);
  a.bottom = std::min(a.bottom, b.bottom);
  return a.left < a.right && a.top < a.bottom;
}

// Colours: the paper colour and the fill of the selected area are pixel values (red in byte 2);
// the stroke's colour is in window order (red in byte 0) and the fills convert it.

// Restores the stroke's colour, gradation and tone use when a fill ends, also on an exception.
class StrokeSettingsGuard {
 public:
  explicit StrokeSettingsGuard(TStroke* stroke)
      : stroke_(stroke),
        colour_(stroke ? stroke->GetColor() : 0),
        gradation_(stroke ? stroke->GetUseGradation() : false),
        tone_(stroke ? stroke->GetUseTone() : false) {}
  ~StrokeSettingsGuard() {
    if (stroke_ == nullptr) return;
    stroke_->SetColor(colour_);
    stroke_->SetUseGradation(gradation_, true);
    stroke_->SetUseTone(tone_, true);
  }
  StrokeSettingsGuard(const StrokeSettingsGuard&) = delete;
  StrokeSettingsGuard& operator=(const StrokeSettingsGuard&) = delete;

 private:
  TStroke* stroke_;
  uint32_t colour_;
  bool gradation_;
  bool tone_;
};

// The channel of the working copy kept across a reload of the layer (a reload clears it).
class KeptChannel {
 public:
  explicit KeptChannel(const TChannel& channel) : copy_(channel) {}
  bool Valid() const { return copy_.IsValid(); }
  void PutBack(TChannel& channel) const {
    channel.Fill(0);
    copy_.CopyAllTo(channel, 0, 0);
  }

 private:
  TChannel copy_;
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// Whole-layer pixel commands

bool TPaper::ClearLayer(TFlowImage* flow, int32_t index, bool record) {
  auto check = [&] { return IsValidLayerIndex(index) && GetLayer(index)->Store() != nullptr; };
  return RunCommand(record, check, [&](PaperCommand& command) {
    CLayerData* layer = GetLayer(index);
    command.Record([&](CEventMngr& events) {
      events.writeLayerOp(static_cast<int16_t>(index), static_cast<int16_t>(index), 2);
    });
    command.Undo([&] { return SaveLayerStoreUndo(index, kUndoLayerClear); });
    if (flow != nullptr) SyncFlowImage(flow, index, false);
    const bool modern = HasModernEngine();
    const uint32_t neutral = GetBlendModeNeutralColor(layer->blendMode) & 0x00FFFFFFu;
    if (!layer->Store()->FillAll(neutral | (modern ? 0u : 0xFF000000u))) return false;
    layer->Store()->Compact();
    SetModified(true);
    if (flow != nullptr) CommitFlowImage(flow, index, false);
    RedrawAll(true);
    layer->FillThumbnailNeutral(modern);
    UpdateThumbnailsRect(true, index, SRectWH{0, 0, canvasWidth, canvasHeight});
    return true;
  });
}

bool TPaper::FillLayerAlpha(TFlowImage* flow, int32_t index, bool record, uint8_t alpha) {
  auto check = [&] { return IsValidLayerIndex(index) && GetLayer(index)->Store() != nullptr; };
  return RunCommand(record, check, [&](PaperCommand& command) {
    CLayerData* layer = GetLayer(index);
    if (flow != nullptr) SyncFlowImage(flow, index, false);
    command.Record([&](CEventMngr& events) { events.writeLayerOp(static_cast<int16_t>(index), alpha, 24); });
    command.Undo([&] { return PushLayerUndo(*layer, kUndoLayerAlpha); });
    if (!layer->SetAlphaAll(alpha)) return false;
    SetModified(true);
    if (flow != nullptr) SyncFlowImage(flow, index, true);
    layer->UpdateThumbnail();
    RefreshLayerView(index);
    return true;
  });
}

bool TPaper::InvertLayerAlpha(TFlowImage* flow, int32_t index, bool record) {
  auto check = [&] { return IsValidLayerIndex(index) && GetLayer(index)->Store() != nullptr; };
  return RunCommand(record, check, [&](PaperCommand& command) {
    CLayerData* layer = GetLayer(index);
    if (flow != nullptr) SyncFlowImage(flow, index, false);
    command.Record([&](CEventMngr& events) { events.writeLayerOp(static_cast<int16_t>(index), 0, 25); });
    command.Undo([&] { return PushLayerUndo(*layer, kUndoInvertLayerAlpha); });
    if (!layer->InvertAlpha()) return false;
    SetModified(true);
    if (flow != nullptr) SyncFlowImage(flow, index, true);
    layer->UpdateThumbnail();
    RefreshLayerView(index);
    return true;
  });
}

// ---------------------------------------------------------------------------------------------
// Shape fills

bool TPaper::RunShapeFill(
    TFlowImage* flow, int32_t index, bool saveUndo, SRectWH& bounds,
    const std::function<std::unique_ptr<CFillMngr>(TStroke& stroke, int32_t w, int32_t h)>& make) {
  TStroke* stroke = GetCurrentStroke();
  CLayerData* layer = GetLayer(index);
  if (flow == nullptr || layer == nullptr || layer->Store() == nullptr) return false;
  if (stroke == nullptr) {
    DebugOut("TPaper: a fill needs the window's current stroke\n");
    return false;
  }
  try {
    SetCurrentDrawWindow(&strokeSide_);
    std::unique_ptr<CFillMngr> filler = make(*stroke, layer->StoreWidth(), layer->StoreHeight());
    if (!filler || !filler->IsValid()) return false;
    filler->GetBounds(bounds);
    CUndoMngrEx* undo = UndoMngr();
    const int32_t undoBefore = undo != nullptr ? undo->UndoList().Count() : 0;
    CUndoMngr* own = layer->OwnUndo();
    const int32_t ownBefore = own != nullptr ? own->UndoList().Count() : 0;
    const bool saved = saveUndo && SaveLayerUndo(index, bounds, kUndoLayerRect);
    SyncFlowImage(flow, index, false);
    filler->Prepare();
    const int32_t rows = filler->Fill(flow->Image());
    if (rows > 0) return true;
    // Nothing painted: the command records nothing, so the record pushed for it goes again.
    if (saved) {
      if (undo != nullptr && undo->UndoList().Count() > undoBefore) undo->DropNewestUndo();
      if (undo == nullptr && own != nullptr && own->UndoList().Count() > ownBefore) own->UndoList().DeleteAt(0);
    }
    return false;
  } catch (const std::bad_alloc&) {
    ShowCommandOutOfMemory();
    return false;
  } catch (const std::exception& e) {
    ShowCommandException(e.what());
    return false;
  }
}

bool TPaper::RunRectFill(TFlowImage* flow, int32_t index, bool saveUndo, SRectWH& bounds, const TPoint& a,
                         const SPointF& b) {
  return RunShapeFill(flow, index, saveUndo, bounds, [&](TStroke& stroke, int32_t w, int32_t h) {
    auto filler = std::make_unique<CFillMngr>(&strokeSide_, stroke, w, h);
    filler->SetRect(SPointF{static_cast<float>(a.x), static_cast<float>(a.y)}, b);
    return filler;
  });
}

bool TPaper::RunPolygonFill(TFlowImage* flow, int32_t index, bool saveUndo, SRectWH& bounds, int32_t count,
                            const TPoint* points) {
  if (count < 3 || points == nullptr) return false;
  return RunShapeFill(flow, index, saveUndo, bounds, [&](TStroke& stroke, int32_t w, int32_t h) {
    std::vector<SPointF> vertices(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i)
      vertices[static_cast<size_t>(i)] =
          SPointF{static_cast<float>(points[i].x), static_cast<float>(points[i].y)};
    auto filler = std::make_unique<CPolygonFiller>(&strokeSide_, stroke, w, h);
    filler->SetPoints(vertices.data(), count);
    return std::unique_ptr<CFillMngr>(std::move(filler));
  });
}

bool TPaper::RunEllipseFill(TFlowImage* flow, int32_t index, bool saveUndo, SRectWH& bounds, const TPoint& a,
                            const SPointF& b, bool newer) {
  return RunShapeFill(flow, index, saveUndo, bounds, [&](TStroke& stroke, int32_t w, int32_t h) {
    auto filler = std::make_unique<CEllipseFiller>(&strokeSide_, stroke, w, h, newer);
    filler->SetRect(SPointF{static_cast<float>(a.x), static_cast<float>(a.y)}, b);
    return std::unique_ptr<CFillMngr>(std::move(filler));
  });
}

bool TPaper::FinishShapeFill(TFlowImage* flow, int32_t index, bool record, const SRectWH& bounds,
                             const std::function<void(CEventMngr&)>& write) {
  if (record && eventMngr_ != nullptr) write(*eventMngr_);
  SetModified(true);
  RefreshLayerArea(flow, index, true, ToRect(bounds));
  return true;
}

bool TPaper::FillRect(TFlowImage* flow, int32_t index, bool record, bool saveUndo, const TPoint& a,
                      const SPointF& b) {
  if (!IsValidLayerIndex(index)) return false;
  SRectWH bounds{};
  if (!RunRectFill(flow, index, saveUndo, bounds, a, b)) return false;
  return FinishShapeFill(flow, index, record, bounds, [&](CEventMngr& events) {
    events.writeFill(static_cast<int16_t>(index), 0, 1, &a, &b);
  });
}

bool TPaper::FillPolygon(TFlowImage* flow, int32_t index, bool record, int32_t count, const TPoint* points) {
  if (!IsValidLayerIndex(index) || count < 3 || count > 0xFFFF || points == nullptr) return false;
  SRectWH bounds{};
  if (!RunPolygonFill(flow, index, record, bounds, count, points)) return false;
  return FinishShapeFill(flow, index, record, bounds, [&](CEventMngr& events) {
    events.writeFillPolygon(static_cast<int16_t>(index), count, points);
  });
}

bool TPaper::FillEllipse(TFlowImage* flow, int32_t index, bool record, const TPoint& a, const SPointF& b,
                         bool newer) {
  if (!IsValidLayerIndex(index)) return false;
  SRectWH bounds{};
  if (!RunEllipseFill(flow, index, record, bounds, a, b, newer)) return false;
  return FinishShapeFill(flow, index, record, bounds, [&](CEventMngr& events) {
    events.writeFill(static_cast<int16_t>(index), 0, newer ? 6 : 3, &a, &b);
  });
}

bool TPaper::FillLayer(TFlowImage* flow, int32_t index, bool record, bool saveUndo, uint32_t colour) {
  if (!IsValidLayerIndex(index) || GetLayer(index)->Store() == nullptr) return false;
  TStroke* stroke = GetCurrentStroke();
  if (stroke == nullptr) {
    DebugOut("TPaper::FillLayer: no current stroke\n");
    return false;
  }
  StrokeSettingsGuard keep(stroke);
  WaitCursor busy;
  stroke->SetColor(colour);
  UpdateStrokeMngr();
  const CLayerData* layer = GetLayer(index);
  const TPoint origin{0, 0};
  const SPointF corner{static_cast<float>(layer->StoreWidth()), static_cast<float>(layer->StoreHeight())};
  if (!FillRect(flow, index, false, saveUndo, origin, corner)) return false;
  if (record && eventMngr_ != nullptr)
    eventMngr_->writeFill(static_cast<int16_t>(index), static_cast<int32_t>(colour), 0, nullptr, nullptr);
  return true;
}

bool TPaper::GradientFillLayer(TFlowImage* flow, int32_t index, bool record, bool onlySet, const TPoint& start,
                               const SPointF& end) {
  if (!IsValidLayerIndex(index) && !onlySet) return false;
  SetGradientLineFloat(SPointF{static_cast<float>(start.x), static_cast<float>(start.y)}, end);
  if (onlySet) return true;
  TStroke* stroke = GetCurrentStroke();
  if (stroke == nullptr) {
    DebugOut("TPaper::GradientFillLayer: no current stroke\n");
    return false;
  }
  StrokeSettingsGuard keep(stroke);
  stroke->SetUseGradation(true, true);
  if (!FillLayer(flow, index, false, record, stroke->GetColor())) return false;
  if (record && eventMngr_ != nullptr) eventMngr_->writeFill(static_cast<int16_t>(index), 0, 2, &start, &end);
  return true;
}

bool TPaper::FillLayerColor(TFlowImage* flow, int32_t index, uint32_t colour) {
  CLayerData* layer = GetLayer(index);
  if (layer == nullptr || layer->Store() == nullptr) return false;
  if (flow != nullptr) SyncFlowImage(flow, index, false);
  const TStroke* stroke = GetCurrentStroke();
  const uint32_t rgb = ColorToPixel(colour) & 0x00FFFFFFu;
  bool done = false;
  if (HasModernEngine() && stroke != nullptr && stroke->GetKeepAlpha())
    done = layer->Store()->SetColorAll(rgb);
  else
    done = layer->Store()->FillAll(rgb | 0xFF000000u);
  if (flow != nullptr) CommitFlowImage(flow, index, false);
  RefreshLayerAll(flow, index, false);
  SetModified(true);
  return done;
}

bool TPaper::CanClearSelection() const {
  CMaskMngr* masks = MaskMngr();
  if (masks == nullptr || selectionEnabled == 0) return false;
  const CMaskData* mask = masks->GetActiveMask();
  return mask != nullptr && mask->IsAllocated();
}

bool TPaper::ClearSelection(TFlowImage* flow, int32_t index, uint32_t colour, bool record) {
  auto check = [&] {
    return flow != nullptr && IsValidLayerIndex(index) && GetLayer(index)->Store() != nullptr &&
           CanClearSelection();
  };
  return RunCommand(record, check, [&](PaperCommand& command) {
    CLayerData* layer = GetLayer(index);
    const CMaskData* mask = MaskMngr()->GetActiveMask();
    // The mask's store and the layer's store meet over this rectangle (layer store coordinates).
    TRect area{layer->offsetX - mask->offsetX, layer->offsetY - mask->offsetY, 0, 0};
    area.right = area.left + mask->Store()->Width();
    area.bottom = area.top + mask->Store()->Height();
    if (!Intersect(area, TRect{0, 0, layer->StoreWidth(), layer->StoreHeight()})) return false;
    const SRectWH bounds = ToRectWH(area);
    command.Undo([&] { return SaveLayerUndo(index, bounds, kUndoLayerRect); });
    SyncFlowImage(flow, index, false);
    const uint32_t paint = colour & 0x00FFFFFFu;
    const int32_t dx = mask->offsetX - layer->offsetX;
    const int32_t dy = mask->offsetY - layer->offsetY;
    TMTC& image = flow->Image();
    for (int32_t y = area.top; y < area.bottom; ++y) {
      for (int32_t x = area.left; x < area.right; ++x) {
        const int32_t m = mask->Store()->GetPixelSafe(x + dx, y + dy);
        if (m == 0) continue;
        uint32_t* pixel = PixelAddr32(image.View(), x, y);
        const uint32_t alpha = *pixel >> 24;
        BlendColor(pixel, paint, m);
        if (alpha != 0) {
          const uint32_t kept = alpha * static_cast<uint32_t>(255 - m) / 255u;
          *pixel = (*pixel & 0x00FFFFFFu) | (kept << 24);
        }
      }
    }
    SetModified(true);
    RefreshLayerArea(flow, index, true, area);
    command.Record([&](CEventMngr& events) {
      TStroke* stroke = GetCurrentStroke();
      StrokeSettingsGuard keep(stroke);
      if (stroke != nullptr) {
        stroke->SetColor(ColorToPixel(colour) & 0x00FFFFFFu);  // the stroke keeps window order
        UpdateStrokeMngr();
      }
      events.writeFill(static_cast<int16_t>(index), static_cast<int32_t>(colour), 5, nullptr, nullptr);
    });
    if (window_ != nullptr) window_->RefreshAfterEdit(false, false, true);
    return true;
  });
}

// ---------------------------------------------------------------------------------------------
// Seed fills

bool TPaper::ComposeForFill(TFlowImage* flow, TRect& bounds) {
  if (flow == nullptr) return false;
  bounds = TRect{0, 0, canvasWidth, canvasHeight};
  const int32_t count = GetLayerCount();
  for (int32_t i = 0; i < count; ++i) {
    const CLayerData* layer = GetLayer(i);
    if (layer == nullptr || layer->Store() == nullptr) continue;
    TRect r{};
    layer->GetStoreRect(r);
    bounds.left = std::min(bounds.left, r.left);
    bounds.top = std::min(bounds.top, r.top);
    bounds.right = std::max(bounds.right, r.right);
    bounds.bottom = std::max(bounds.bottom, r.bottom);
  }
  if (flow->valid == 2) return true;
  const int64_t width = int64_t{bounds.right} - bounds.left;
  const int64_t height = int64_t{bounds.bottom} - bounds.top;
  if (width <= 0 || height <= 0 || width > INT32_MAX || height > INT32_MAX) return false;
  if (!flow->GrowTo(static_cast<int32_t>(width), static_cast<int32_t>(height))) return false;
  const uint32_t paper = paperColor & 0x00FFFFFFu;
  flow->Image().FillAll(showCanvasColor != 0 ? (paper | 0xFF000000u) : paper);
  for (int32_t i = 0; i < count; ++i) {
    const CLayerData* layer = GetLayer(i);
    if (layer == nullptr || layer->Store() == nullptr || layer->visible == 0) continue;
    TPoint dest{-layer->offsetX - bounds.left, -layer->offsetY - bounds.top};
    SRectWH source{0, 0, layer->StoreWidth(), layer->StoreHeight()};
    if (showCanvasColor != 0)
      DrawLayerTo(*layer->Store(), flow->Image(), *layer, dest, source);
    else
      BlendLayerIntoImage(*layer, flow->Image(), dest, kTransparentComposeModeWord, source);
  }
  flow->valid = 2;
  return true;
}

namespace {

// The soft fringe of an anti-aliased fill may reach one pixel past the area, into whatever the
// working channel holds beyond it (its size follows the largest store ever loaded). The area is
// all that a fill combines or paints and all that its packet replays: nothing beyond it stays.
void ClearBeyondArea(TChannel& channel, const TPoint& area) {
  const int32_t w = channel.Width();
  const int32_t h = channel.Height();
  if (area.x < w) {
    SRectWH right{std::max(area.x, 0), 0, w - std::max(area.x, 0), h};
    channel.FillRect(right, 0);
  }
  if (area.y < h) {
    SRectWH below{0, std::max(area.y, 0), std::min(std::max(area.x, 0), w), h - std::max(area.y, 0)};
    channel.FillRect(below, 0);
  }
}

// Runs a fill and warns when its queue overflowed.
bool RunSeedFill(CSeedFillCore& fill, bool antiAlias, const TPoint& seed, int32_t tolerance) {
  if (!fill.IsAllocated()) return false;
  fill.antiAlias = antiAlias ? 1 : 0;
  const bool done = fill.Fill(seed, ToleranceToThreshold(ClampTolerance(tolerance)));
  if (done && fill.Overflow()) ShowWarning(kSeedFillTooComplexText);
  return done;
}

}  // namespace

bool TPaper::SeedFillComposite(TFlowImage* flow, int32_t layer, bool antiAlias, int32_t tolerance, TRect& bounds,
                               const TPoint& seed) {
  return SeedFillCompositeInMask(flow, layer, antiAlias, tolerance, bounds, seed, -2);
}

bool TPaper::SeedFillCompositeInMask(TFlowImage* flow, int32_t layer, bool antiAlias, int32_t tolerance,
                                     TRect& bounds, const TPoint& seed, int32_t mask) {
  const CLayerData* data = GetLayer(layer);
  if (flow == nullptr || data == nullptr) return false;
  WaitCursor busy;
  if (!ComposeForFill(flow, bounds)) return false;
  // The canvas in picture coordinates.
  const TRect fillBounds{-bounds.left, -bounds.top, -bounds.left + canvasWidth, -bounds.top + canvasHeight};
  const TPoint at{seed.x - data->offsetX - bounds.left, seed.y - data->offsetY - bounds.top};
  flow->WorkChannel().Fill(0);
  CMaskMngr* masks = MaskMngr();
  const CMaskData* selection = nullptr;
  if (mask != -2 && masks != nullptr) selection = mask == -1 ? masks->GetActiveMask() : masks->GetMask(mask);
  if (selection != nullptr && selection->IsAllocated()) {
    CSeedFillTCWithMask fill(selection->Store(),
                             TPoint{bounds.left + selection->offsetX, bounds.top + selection->offsetY},
                             kSeedFillCapacity, fillBounds, &flow->WorkChannel(), &flow->Image());
    return RunSeedFill(fill, antiAlias, at, tolerance);
  }
  CSeedFillTCWithAlpha fill(kSeedFillCapacity, fillBounds, &flow->WorkChannel(), &flow->Image());
  return RunSeedFill(fill, antiAlias, at, tolerance);
}

bool TPaper::SeedFillLayer(TFlowImage* flow, int32_t layer, const TPoint& seed, bool antiAlias,
                           int32_t tolerance) {
  return SeedFillLayerInMask(flow, layer, -2, antiAlias, tolerance, seed);
}

bool TPaper::SeedFillLayerInMask(TFlowImage* flow, int32_t layer, int32_t mask, bool antiAlias, int32_t tolerance,
                                 const TPoint& seed) {
  CLayerData* data = GetLayer(layer);
  if (flow == nullptr || data == nullptr || data->Store() == nullptr) return false;
  WaitCursor busy;
  SyncFlowImage(flow, layer, false);
  // The canvas in store coordinates, never reaching beyond the store.
  TRect fillBounds{data->offsetX, data->offsetY, data->offsetX + canvasWidth, data->offsetY + canvasHeight};
  if (!Intersect(fillBounds, TRect{0, 0, data->StoreWidth(), data->StoreHeight()})) return false;
  flow->WorkChannel().Fill(0);
  CMaskMngr* masks = MaskMngr();
  const CMaskData* selection = nullptr;
  if (mask != -2 && masks != nullptr) selection = mask == -1 ? masks->GetActiveMask() : masks->GetMask(mask);
  if (selection != nullptr && selection->IsAllocated()) {
    CSeedFillWithMask fill(selection->Store(),
                           TPoint{selection->offsetX - data->offsetX, selection->offsetY - data->offsetY},
                           kSeedFillCapacity, fillBounds, &flow->WorkChannel(), data->Store());
    return RunSeedFill(fill, antiAlias, seed, tolerance);
  }
  CSeedFillWithAlpha fill(kSeedFillCapacity, fillBounds, &flow->WorkChannel(), data->Store());
  return RunSeedFill(fill, antiAlias, seed, tolerance);
}

// ---------------------------------------------------------------------------------------------
// The magic wand

bool TPaper::MagicWand(TFlowImage* flow, int32_t layer, bool record, bool antiAlias, int32_t mode,
                       const TPoint& seed) {
  CLayerData* data = GetLayer(layer);
  if (flow == nullptr || data == nullptr || data->Store() == nullptr || mode < 0 || mode > 3) return false;
  const SPaperSettings settings = PaperSettings();
  TPoint areaSize{};
  TPoint areaOffset{};
  if (settings.wandTarget) {
    if (flow->valid != 2) SyncFlowImage(flow, layer, false);
    TRect bounds{};
    if (!SeedFillComposite(flow, layer, antiAlias, settings.wandLimit, bounds, seed)) return false;
    areaSize = TPoint{bounds.right - bounds.left, bounds.bottom - bounds.top};
    areaOffset = TPoint{-bounds.left, -bounds.top};
  } else {
    if (!SeedFillLayer(flow, layer, seed, antiAlias, settings.wandLimit)) return false;
    areaSize = TPoint{data->StoreWidth(), data->StoreHeight()};
    areaOffset = TPoint{data->offsetX, data->offsetY};
  }
  if (!antiAlias) {
    SRectWH rect{0, 0, areaSize.x, areaSize.y};
    MarkEdgePixels(flow->WorkChannel(), rect, &SetInteriorFull);
  }
  ClearBeyondArea(flow->WorkChannel(), areaSize);
  const bool done = CombineWandChannel(flow, layer, record, antiAlias, mode, areaSize, areaOffset, seed);
  if (flow->valid == 2)
    flow->WorkChannel().Fill(0);
  else
    SyncFlowImage(flow, layer, true);
  return done;
}

bool TPaper::CombineWandChannel(TFlowImage* flow, int32_t layer, bool record, bool antiAlias, int32_t mode,
                                const TPoint& areaSize, const TPoint& areaOffset, const TPoint& seed) {
  return CombineFillChannel(flow, layer, record, antiAlias, mode, areaSize, areaOffset, seed, false);
}

bool TPaper::CombineWandChannelAtLayer(TFlowImage* flow, int32_t layer, bool record, bool antiAlias, int32_t mode,
                                       const TPoint& seed) {
  const CLayerData* data = GetLayer(layer);
  if (data == nullptr) return false;
  return CombineFillChannel(flow, layer, record, antiAlias, mode, TPoint{data->StoreWidth(), data->StoreHeight()},
                            TPoint{data->offsetX, data->offsetY}, seed, true);
}

bool TPaper::CombineFillChannel(TFlowImage* flow, int32_t layer, bool record, bool antiAlias, int32_t mode,
                                const TPoint& areaSize, const TPoint& areaOffset, const TPoint& seed,
                                bool atLayer) {
  CMaskMngr* masks = MaskMngr();
  auto check = [&] {
    return flow != nullptr && masks != nullptr && IsValidLayerIndex(layer) && mode >= 0 && mode <= 3 &&
           areaSize.x > 0 && areaSize.y > 0 && areaSize.x <= flow->WorkChannel().Width() &&
           areaSize.y <= flow->WorkChannel().Height() && masks->IsValidIndex(masks->GetActiveIndex());
  };
  return RunCommand(record, check, [&](PaperCommand& command) {
    const SPaperSettings settings = PaperSettings();
    const int32_t active = masks->GetActiveIndex();
    std::unique_ptr<CMaskData> old;
    if (!masks->CombineChannel(active, flow->WorkChannel(), mode, old, areaOffset, SSize{areaSize.x, areaSize.y}))
      return false;
    command.Record([&](CEventMngr& events) {
      const int16_t tolerance = ToleranceField(settings.wandLimit);
      if (atLayer)
        events.writeMaskChannel(static_cast<int16_t>(layer), static_cast<int16_t>(active), 1, antiAlias ? 1 : 0,
                                tolerance, settings.wandTarget ? 1 : 0, static_cast<uint8_t>(mode), &seed,
                                flow->WorkChannel());
      else
        events.writeMaskChannelEx(static_cast<int16_t>(layer), static_cast<int16_t>(active), 3, antiAlias ? 1 : 0,
                                  tolerance, settings.wandTarget ? 1 : 0, static_cast<uint8_t>(mode), areaSize,
                                  areaOffset, &seed, flow->WorkChannel());
    });
    const CMaskData* now = masks->GetActiveMask();
    CMaskData* held = old.get();
    if (command.Undo(
            [&] { return PushUndo(held, kUndoMaskPixels, active, now != nullptr ? now->id : -1, 0, 0); }))
      (void)old.release();
    old.reset();
    selectionEnabled = 1;
    selectionVisible = 1;
    masks->RebuildOutline(SSize{canvasWidth, canvasHeight}, -1);
    SetModified(true);
    InvalidateWindow(false);
    UpdateMaskPane();
    return true;
  });
}

// ---------------------------------------------------------------------------------------------
// The bucket fill

bool TPaper::BucketFill(TFlowImage* flow, int32_t layer, bool record, bool eraser, bool antiAlias,
                        const TPoint& seed) {
  CLayerData* data = GetLayer(layer);
  if (flow == nullptr || data == nullptr || data->Store() == nullptr) return false;
  const SPaperSettings settings = PaperSettings();
  SyncFlowImage(flow, layer, false);
  TPoint areaSize{};
  TPoint areaOffset{};
  if (settings.fillTarget) {
    TRect bounds{};
    if (!SeedFillCompositeInMask(flow, layer, antiAlias, settings.fillLimit, bounds, seed, -1)) return false;
    areaSize = TPoint{bounds.right - bounds.left, bounds.bottom - bounds.top};
    areaOffset = TPoint{-bounds.left, -bounds.top};
  } else {
    if (!SeedFillLayerInMask(flow, layer, -1, antiAlias, settings.fillLimit, seed)) return false;
    areaSize = TPoint{data->StoreWidth(), data->StoreHeight()};
    areaOffset = TPoint{data->offsetX, data->offsetY};
  }
  if (!antiAlias) {
    SRectWH rect{0, 0, areaSize.x, areaSize.y};
    MarkEdgePixels(flow->WorkChannel(), rect, &SetInteriorFull);
  }
  ClearBeyondArea(flow->WorkChannel(), areaSize);
  if (areaSize.x == data->StoreWidth() && areaSize.y == data->StoreHeight())
    return PaintFillChannel(flow, layer, record, eraser, antiAlias, seed);
  return PaintFillChannelGrow(flow, layer, record, eraser, antiAlias, areaSize, areaOffset, seed);
}

bool TPaper::PaintFillChannelArea(TFlowImage* flow, int32_t layer, PaperCommand& command, bool eraser,
                                  const std::function<void(CEventMngr&)>& write) {
  CLayerData* data = GetLayer(layer);
  TStroke* stroke = GetCurrentStroke();
  if (stroke == nullptr) {
    DebugOut("TPaper: the bucket fill needs the window's current stroke\n");
    return false;
  }
  // The working copy must hold the layer itself (not the composed picture) with the channel kept.
  if (flow->layer != layer || flow->valid != 1) {
    KeptChannel kept(flow->WorkChannel());
    if (!kept.Valid()) return false;
    SyncFlowImage(flow, layer, true);
    kept.PutBack(flow->WorkChannel());
  }
  SetCurrentDrawWindow(&strokeSide_);
  BindStrokeToPaper(*stroke, &strokeSide_);
  TRect found{};
  if (!flow->WorkChannel().GetNonZeroBounds(found)) return false;
  if (!Intersect(found, TRect{0, 0, data->StoreWidth(), data->StoreHeight()})) return false;
  const SRectWH bounds = ToRectWH(found);
  command.Record(write);
  command.Undo([&] { return SaveLayerUndo(layer, bounds, kUndoLayerRect); });
  const bool painted =
      eraser ? RenderFlowRectBlend(flow, *stroke, bounds) : RenderFlowRect(flow, *stroke, bounds);
  SetModified(true);
  RefreshLayerArea(flow, layer, true, found);
  SyncFlowImage(flow, layer, true);
  return painted;
}

bool TPaper::PaintFillChannel(TFlowImage* flow, int32_t layer, bool record, bool eraser, bool antiAlias,
                              const TPoint& seed) {
  auto check = [&] { return flow != nullptr && IsValidLayerIndex(layer) && GetLayer(layer)->Store() != nullptr; };
  return RunCommand(record, check, [&](PaperCommand& command) {
    const SPaperSettings settings = PaperSettings();
    return PaintFillChannelArea(flow, layer, command, eraser, [&](CEventMngr& events) {
      events.writeMaskChannel(static_cast<int16_t>(layer), static_cast<int16_t>(GetActiveMaskIndex()),
                              eraser ? 4 : 0, antiAlias ? 1 : 0, ToleranceField(settings.fillLimit),
                              settings.fillTarget ? 1 : 0, 0, &seed, flow->WorkChannel());
    });
  });
}

bool TPaper::PaintFillChannelGrow(TFlowImage* flow, int32_t layer, bool record, bool eraser, bool antiAlias,
                                  const TPoint& areaSize, const TPoint& areaOffset, const TPoint& seed) {
  // The area must hold the whole store, so that the copy loses no pixel.
  auto check = [&] {
    const CLayerData* data = GetLayer(layer);
    if (flow == nullptr || data == nullptr || data->Store() == nullptr) return false;
    if (areaSize.x <= 0 || areaSize.y <= 0 || areaSize.x > flow->WorkChannel().Width() ||
        areaSize.y > flow->WorkChannel().Height())
      return false;
    const int64_t px = int64_t{areaOffset.x} - data->offsetX;
    const int64_t py = int64_t{areaOffset.y} - data->offsetY;
    return px >= 0 && py >= 0 && px + data->StoreWidth() <= areaSize.x && py + data->StoreHeight() <= areaSize.y;
  };
  return RunCommand(record, check, [&](PaperCommand& command) {
    const SPaperSettings settings = PaperSettings();
    CLayerData* data = GetLayer(layer);
    TRect found{};
    if (!flow->WorkChannel().GetNonZeroBounds(found)) return false;
    const TPoint position{areaOffset.x - data->offsetX, areaOffset.y - data->offsetY};
    std::unique_ptr<CLayerData> built = data->CreateResized(SSize{areaSize.x, areaSize.y}, position);
    if (!built) return false;
    built->CopyAttributes(*data);
    built->name = data->name;
    CLayerData* now = built.get();
    KeptChannel kept(flow->WorkChannel());
    if (!kept.Valid()) return false;
    std::unique_ptr<CLayerData> former = Layers().Replace(layer, built);
    if (!former) return false;
    Layers().EnsureDepthArray(true);
    SyncFlowImage(flow, layer, true);
    kept.PutBack(flow->WorkChannel());
    command.Record([&](CEventMngr& events) {
      events.writeMaskChannelEx(static_cast<int16_t>(layer), static_cast<int16_t>(GetActiveMaskIndex()),
                                eraser ? 5 : 2, antiAlias ? 1 : 0, ToleranceField(settings.fillLimit),
                                settings.fillTarget ? 1 : 0, 0, areaSize, areaOffset, &seed, flow->WorkChannel());
    });
    CLayerData* old = former.get();
    if (command.Undo([&] { return PushRebuildUndo(old, *now, layer); })) (void)former.release();
    former.reset();
    // The layer now in place is painted like any other.
    TStroke* stroke = GetCurrentStroke();
    if (stroke == nullptr) {
      DebugOut("TPaper: the bucket fill needs the window's current stroke\n");
      SyncFlowImage(flow, layer, true);
      RefreshLayerView(layer);
      return true;  // the layer was replaced and recorded; only the paint is missing
    }
    SetCurrentDrawWindow(&strokeSide_);
    BindStrokeToPaper(*stroke, &strokeSide_);
    if (!Intersect(found, TRect{0, 0, now->StoreWidth(), now->StoreHeight()})) return false;
    const SRectWH bounds = ToRectWH(found);
    const bool painted =
        eraser ? RenderFlowRectBlend(flow, *stroke, bounds) : RenderFlowRect(flow, *stroke, bounds);
    SetModified(true);
    RefreshLayerArea(flow, layer, true, found);
    SyncFlowImage(flow, layer, true);
    RefreshLayerView(layer);
    return painted;
  });
}

}  // namespace tf
