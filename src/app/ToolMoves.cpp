#include "app/ToolMoves.h"

#include <algorithm>
#include <cmath>

#include "app/AppProfile.h"
#include "app/DrawWindow.h"
#include "app/ToolShapes.h"
#include "app/ToolWindow.h"
#include "document/LayerData.h"
#include "paint/ToolDefs.h"
#include "platform/Host.h"
#include "platform/ResourceText.h"
#include "platform/Warning.h"

namespace tf {

namespace MoveTools {

namespace {

enum : uint8_t { kLayer = 0, kSelection = 1, kBoth = 2, kGradient = 3, kCrop = 4 };

bool Variant(TDrawWindow& w, uint8_t& index) { return DragToolIndex(index, static_cast<uint8_t>(w.ToolMode())); }
bool MovesLayers(uint8_t v) { return v == kLayer || v == kBoth; }
bool MovesOutline(uint8_t v) { return v == kSelection || v == kBoth; }

TPoint Snap(TDrawWindow& w, const TPoint& p) { return ShapeTools::SnapToPixelGrid(w, p, false); }

SPointF CanvasF(TDrawWindow& w, const TPoint& client) {
  SPointF c{0, 0};
  w.ClientToCanvasF(static_cast<float>(client.x), static_cast<float>(client.y), c.x, c.y);
  return c;
}
// The canvas delta of a client drag from the press point.
TPoint CanvasDelta(TDrawWindow& w, const TPoint& point) {
  const SPointF a = CanvasF(w, w.PressPoint()), b = CanvasF(w, point);
  return {TruncToInt(b.x - a.x), TruncToInt(b.y - a.y)};
}

void InfoPane(TDrawWindow& w, int32_t kind, int32_t a, int32_t b) {
  if (ToolWindow* tool = w.Owner().Tool()) tool->UpdateInfoPane(kind, a, b);
}

// The layers a layer move previews: the active one, and with a folder its whole block.
void SaveOffsets(TDrawWindow& w) {
  TPaper& paper = w.Document();
  const int32_t active = paper.GetActiveLayerIndex();
  const int32_t count = std::max(1, paper.GetGroupSize(active));
  std::vector<TPoint>& list = w.OffsetList();
  list.clear();
  for (int32_t i = active; i < active + count && i < paper.GetLayerCount(); ++i) {
    const CLayerData* layer = paper.GetLayer(i);
    if (layer == nullptr) continue;
    list.push_back({i, 0});
    list.push_back({layer->offsetX, layer->offsetY});
  }
}

void PreviewLayers(TDrawWindow& w, const TPoint& d) {
  TPaper& paper = w.Document();
  const std::vector<TPoint>& list = w.OffsetList();
  for (size_t i = 0; i + 1 < list.size(); i += 2) {
    CLayerData* layer = paper.GetLayer(list[i].x);
    if (layer == nullptr) continue;
    layer->offsetX = list[i + 1].x - d.x;
    layer->offsetY = list[i + 1].y - d.y;
  }
}

void RestoreOffsets(TDrawWindow& w) { PreviewLayers(w, {0, 0}); }

// The outline's offset in client pixels for a client drag.
void PreviewOutline(TDrawWindow& w, const TPoint& clientDelta) {
  w.Document().SetAntsOffset({w.OffsetAtPress().x + clientDelta.x, w.OffsetAtPress().y + clientDelta.y});
}

void Abandon(TDrawWindow& w) {
  // The variant of the drag as pressed (the tool may have changed since).
  const uint8_t v = static_cast<uint8_t>(w.ValueAtPress());
  if (!w.OffsetList().empty()) RestoreOffsets(w);
  if (MovesOutline(v)) w.Document().SetAntsOffset(w.OffsetAtPress());
  w.OffsetList().clear();
  w.SetInputFlag(kInChanged, false);
  w.SetInputFlag(kInOverlay, false);
  if (w.IsDestroying()) return;
  w.RestoreSmoothing();
  w.RefreshView(true);
}

void MoveDown(TDrawWindow& w, uint32_t, const TPoint& point) {
  uint8_t v = 0;
  if (!Variant(w, v) || v > kCrop) return;
  TPaper& paper = w.Document();
  w.SetLastDragPoint(point);
  w.OffsetList().clear();
  if (v == kGradient || v == kCrop) {
    if (!w.setupPosList(10)) {
      w.FinishPending();
      return;
    }
    w.BuildCanvasRegion();
    w.PositionList().assign({point, point});
    w.ShapeCount() = 1;
    const TPoint c = w.ClientToCanvasInt(point.x, point.y);
    if (v == kCrop) w.OffsetAtPress() = c;
    InfoPane(w, 2, c.x, c.y);
    return;
  }
  w.SuspendSmoothing();
  if (MovesOutline(v)) {
    w.BuildCanvasRegion();
    const SSize canvas{paper.canvasWidth, paper.canvasHeight};
    paper.RebuildAnts(&canvas);
    w.OffsetAtPress() = paper.GetAntsOffset();
    w.SetPressPoint(Snap(w, point));
    w.SetInputFlag(kInChanged, true);
  }
  if (MovesLayers(v)) SaveOffsets(w);
  w.ValueAtPress() = v;
  InfoPane(w, 4, 0, 0);
  w.SetAbandonRoutine(&Abandon);
}

void MoveDrag(TDrawWindow& w, uint32_t, const TPoint& raw) {
  uint8_t v = 0;
  if (!Variant(w, v) || v > kCrop) return;
  if (v == kGradient || v == kCrop) {
    std::vector<TPoint>& list = w.PositionList();
    if (list.empty()) return;
    TPoint size{0, 0};
    if (v == kGradient) {
      const TPoint end = ShapeTools::ConstraintHeld(w, kGroupDrag) ? ShapeTools::SnapLineEnd(w, list[0], raw) : raw;
      list.resize(2);
      list[1] = end;
      const TPoint a = w.ClientToCanvasInt(list[0].x, list[0].y), b = w.ClientToCanvasInt(end.x, end.y);
      InfoPane(w, 3, b.x - a.x, b.y - a.y);
    } else {
      ShapeTools::RectangleCorners(w, kGroupDrag, w.PressPoint(), raw, size);
      InfoPane(w, 3, size.x, size.y);
    }
    w.Site().InvalidateClient(nullptr);
    w.SetInputFlag(kInOverlay, true);
    w.SetInputFlag(kInChanged, true);
    w.SetLastDragPoint(raw);
    return;
  }
  if (!w.HasAbandonRoutine()) return;
  const TPoint point = MovesOutline(v) ? Snap(w, raw) : raw;
  if (point == w.LastDragPoint()) return;
  const TPoint d = CanvasDelta(w, point);
  if (MovesLayers(v)) PreviewLayers(w, d);
  if (MovesOutline(v)) PreviewOutline(w, {point.x - w.PressPoint().x, point.y - w.PressPoint().y});
  w.RefreshView(MovesLayers(v));
  w.PaintNow();
  w.SetLastDragPoint(point);
  w.SetInputFlag(kInChanged, true);
  InfoPane(w, 4, d.x, d.y);
  w.Site().SetAutoScrollTimer(true);
}

// The crop: the rectangle from the press to the release in canvas pixels, normalised, clipped to
// the canvas unless the free-crop key is held (Alt in scheme 0, Shift in scheme 1).
void Crop(TDrawWindow& w, const TPoint& point) {
  TPaper& paper = w.Document();
  const TPoint a = w.OffsetAtPress();
  TPoint b = w.ClientToCanvasInt(point.x, point.y);
  if (ShapeTools::ConstraintHeld(w, kGroupDrag)) {
    const int32_t dx = b.x - a.x, dy = b.y - a.y;
    if (std::abs(dx) >= std::abs(dy)) {
      b.y = a.y + (dy < 0 ? -std::abs(dx) : std::abs(dx));
    } else {
      b.x = a.x + (dx < 0 ? -std::abs(dy) : std::abs(dy));
    }
  }
  int32_t left = std::min(a.x, b.x), top = std::min(a.y, b.y);
  int32_t right = std::max(a.x, b.x), bottom = std::max(a.y, b.y);
  const bool free = IsKeyDown(AppProfile().ShortcutMode == 0 ? kVkMenu : kVkShift);
  if (!free) {
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, paper.canvasWidth);
    bottom = std::min(bottom, paper.canvasHeight);
  }
  if (right - left <= 0 || bottom - top <= 0) return;
  const SRectWH rect{left, top, right - left, bottom - top};
  if (paper.TrimCanvas(&w.Flow(), paper.GetActiveLayerIndex(), true, true, rect)) w.RefreshAfterEdit(true, true, true);
}

void Gradient(TDrawWindow& w, const TPoint& raw) {
  std::vector<TPoint>& list = w.PositionList();
  if (list.empty()) return;
  const TPoint end = ShapeTools::ConstraintHeld(w, kGroupDrag) ? ShapeTools::SnapLineEnd(w, list[0], raw) : raw;
  TPaper& paper = w.Document();
  const int32_t layer = paper.GetActiveLayerIndex();
  const TPoint off = paper.GetLayerOffset(layer);
  const SPointF a = CanvasF(w, list[0]), b = CanvasF(w, end);
  const TPoint start{TruncToInt(a.x + static_cast<float>(off.x)), TruncToInt(a.y + static_cast<float>(off.y))};
  const SPointF stop{b.x + static_cast<float>(off.x), b.y + static_cast<float>(off.y)};
  const bool onlySet = IsKeyDown(AppProfile().ShortcutMode == 1 ? kVkShift : kVkMenu);
  paper.UpdateGradation();
  paper.GradientFillLayer(&w.Flow(), layer, true, onlySet, start, stop);
}

void MoveUp(TDrawWindow& w, uint32_t, const TPoint& raw) {
  uint8_t v = 0;
  if (!Variant(w, v) || v > kCrop) return;
  w.RestoreSmoothing();
  const bool changed = (w.InputFlags() & kInChanged) != 0;
  TPaper& paper = w.Document();
  const int32_t layer = paper.GetActiveLayerIndex();
  if (v == kGradient || v == kCrop) {
    if (raw != w.PressPoint()) {
      if (v == kGradient) Gradient(w, raw);
      if (v == kCrop) Crop(w, raw);
    }
  } else {
    // A drag abandoned already (its preview put back) runs no command.
    if (!w.HasAbandonRoutine()) return;
    w.SetAbandonRoutine(nullptr);
    const TPoint point = MovesOutline(v) ? Snap(w, raw) : raw;
    const TPoint d = CanvasDelta(w, point);
    // The preview is put back first, so that the recorded command starts from the document as
    // its recording has it.
    if (MovesLayers(v)) RestoreOffsets(w);
    if (MovesOutline(v)) paper.SetAntsOffset(w.OffsetAtPress());
    w.OffsetList().clear();
    if (raw != w.PressPoint() && changed && (d.x != 0 || d.y != 0)) {
      bool done = true;
      // A store that would leave the canvas uncovered is moved by the growing forms.
      const CLayerData* data = paper.GetLayer(layer);
      const int32_t bits = data != nullptr ? paper.GetOffsetOverflow(*data, d.x, d.y) : 0;
      if (v == kLayer)
        done = bits != 0 ? paper.OffsetLayerGrow(&w.Flow(), layer, true, d.y, d.x, bits)
                         : paper.OffsetLayer(&w.Flow(), layer, true, d.y, d.x);
      if (v == kSelection) paper.OffsetMask(&w.Flow(), layer, true, d.x, d.y);
      if (v == kBoth)
        done = bits != 0 ? paper.OffsetLayerInMaskGrow(&w.Flow(), layer, true, d, -1, bits)
                         : paper.OffsetLayerInMask(&w.Flow(), layer, true, d, -1);
      if (!done) ShowWarning(Tx(TextId::ToolLayerMoveFailed));
    }
  }
  if (w.IsAutoFitOn()) {
    w.ZoomToFit(false, (AppProfile().AutoSizeAdjust & 4) == 0);
  } else {
    w.RefreshView(changed);
  }
  w.SetModified(true);
  w.SetInputFlag(kInChanged, false);
  w.SetInputFlag(kInOverlay, false);
  w.Invalidate(true);
}

void MoveRightDown(TDrawWindow& w, uint32_t shift, const TPoint& point) { ToolRoutines::RightPick(w, shift, point); }

void MoveKey(TDrawWindow& w, int32_t key, uint32_t) {
  if (key != kKeyEscape || (w.InputFlags() & (kInLeft | kInMiddle)) == 0) return;
  CancelMoveDrag(w);
}

void MoveCancel(TDrawWindow& w, const TPoint* point) {
  w.RunAbandonRoutine();
  w.Finish(point);
}

}  // namespace

void CancelMoveDrag(TDrawWindow& w) {
  w.RestoreSmoothing();
  w.RunAbandonRoutine();
  w.SetInputFlag(kInOverlay, false);
  w.SetInputFlag(kInChanged, false);
  if ((w.InputFlags() & kInMiddle) != 0) {
    w.EndButton(MouseButton::kMiddle, 0, nullptr);
  } else {
    w.EndButton(MouseButton::kLeft, 0, nullptr);
  }
  w.RefreshView(false);
}

SToolHandler MoveRecord() {
  SToolHandler h;
  h.leftDown = &MoveDown;
  h.leftDrag = &MoveDrag;
  h.leftUp = &MoveUp;
  h.leftDouble = &ToolRoutines::GrabberReset;
  h.rightDown = &MoveRightDown;
  h.hover = &ToolRoutines::TrackPointer;
  h.keyDown = &MoveKey;
  h.commit = &ToolRoutines::NoCommit;
  h.cancel = &MoveCancel;
  return h;
}

}  // namespace MoveTools

}  // namespace tf
