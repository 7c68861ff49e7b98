#include "app/ToolShapes.h"

#include <cmath>
#include <new>

#include "app/AppProfile.h"
#include "app/DrawWindow.h"
#include "app/ToolWindow.h"
#include "paint/ShapeFill.h"
#include "paint/Stroke.h"
#include "paint/StrokeMngr.h"
#include "paint/ToolDefs.h"
#include "platform/Host.h"
#include "platform/ResourceText.h"
#include "platform/Warning.h"

namespace tf {

namespace ShapeTools {

namespace {

// Shape indices (group 6 numbers 3 and 4 as line and polyline; groups 7 and 8 use 3 for freehand).
enum : uint8_t { kRect = 0, kPolygon = 1, kEllipse = 2, kLineOrFree = 3, kPolyline = 4 };

constexpr double kPi = 3.14159265358979323846;

bool IndexOf(int32_t group, int32_t mode, uint8_t& index) {
  const uint8_t m = static_cast<uint8_t>(mode);
  switch (group) {
    case kGroupShapePaint: return ShapePaintIndex(index, m);
    case kGroupShapeFill: return ShapeFillIndex(index, m);
    case kGroupShapeSelect: return ShapeSelectIndex(index, m);
    default: return false;
  }
}

bool IsMultiClick(int32_t group, uint8_t index) {
  return index == kPolygon || (group == kGroupShapePaint && index == kPolyline);
}
bool IsFreehand(int32_t group, uint8_t index) { return group != kGroupShapePaint && index == kLineOrFree; }
bool IsLine(int32_t group, uint8_t index) { return group == kGroupShapePaint && index == kLineOrFree; }

bool Collecting(TDrawWindow& w) { return (w.InputFlags() & kInCollecting) != 0; }

// Shift in scheme 0, Ctrl otherwise; for selections only while there is no selection.
bool Constrained(TDrawWindow& w, int32_t group) {
  const bool held = IsKeyDown(AppProfile().ShortcutMode == 0 ? kVkShift : kVkControl);
  if (!held) return false;
  return group != kGroupShapeSelect || !w.Document().HasSelection();
}

// The modifier that combines selections in the scheme: Ctrl in scheme 1, Alt in scheme 0.
bool CombineKeyHeld() { return IsKeyDown(AppProfile().ShortcutMode == 1 ? kVkControl : kVkMenu); }

int32_t FloorDiv(int32_t a, int32_t b) {
  int32_t q = a / b;
  if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
  return q;
}

// The pixel-grid snap of selections; the end of a rectangle selection moves back by s + 1.
TPoint Snap(TDrawWindow& w, TPoint p, bool moveBack) {
  const int32_t s = std::max(static_cast<int32_t>(std::floor(w.Document().GetZoom())), 1);
  p = {s * FloorDiv(p.x, s), s * FloorDiv(p.y, s)};
  if (moveBack && s > 1) p = {p.x - (s + 1), p.y - (s + 1)};
  return p;
}

void Square(float x0, float y0, float& x1, float& y1) {
  const float dx = x1 - x0, dy = y1 - y0;
  if (std::fabs(dx) >= std::fabs(dy)) {
    y1 = y0 + (dy < 0 ? -std::fabs(dx) : std::fabs(dx));
  } else {
    x1 = x0 + (dx < 0 ? -std::fabs(dy) : std::fabs(dy));
  }
}

SPointF CanvasF(TDrawWindow& w, const TPoint& client) {
  SPointF c{0, 0};
  w.ClientToCanvasF(static_cast<float>(client.x), static_cast<float>(client.y), c.x, c.y);
  return c;
}

// Canvas floats to layer-relative store floats of the active layer.
SPointF ToLayer(TDrawWindow& w, SPointF c) {
  const TPoint off = w.Document().GetLayerOffset(w.Document().GetActiveLayerIndex());
  return {c.x + static_cast<float>(off.x), c.y + static_cast<float>(off.y)};
}
TPoint Trunc(SPointF p) { return {TruncToInt(p.x), TruncToInt(p.y)}; }

void InfoPane(TDrawWindow& w, int32_t kind, int32_t a, int32_t b) {
  if (ToolWindow* tool = w.Owner().Tool()) tool->UpdateInfoPane(kind, a, b);
}
void InfoStart(TDrawWindow& w, const TPoint& client) {
  const TPoint c = Trunc(CanvasF(w, client));
  InfoPane(w, 2, c.x, c.y);
}
void InfoSize(TDrawWindow& w, const TPoint& client) {
  const TPoint a = Trunc(CanvasF(w, w.PressPoint()));
  const TPoint b = Trunc(CanvasF(w, client));
  InfoPane(w, 3, b.x - a.x, b.y - a.y);
}

// The list keeps count + 1 points: the rubber-band point (or the copy of the last) at count.
void PutAt(std::vector<TPoint>& list, int32_t index, const TPoint& p) {
  if (static_cast<size_t>(index) >= list.size()) list.resize(static_cast<size_t>(index) + 1);
  list[static_cast<size_t>(index)] = p;
}

// The four corners of a rectangle drag (canvas integers, rounded) mapped back to the client.
void RectCorners(TDrawWindow& w, int32_t group, const TPoint& press, const TPoint& point, TPoint& size) {
  const TPoint a = w.ClientToCanvasInt(press.x, press.y);
  TPoint b = w.ClientToCanvasInt(point.x, point.y);
  if (Constrained(w, group)) {
    float bx = static_cast<float>(b.x), by = static_cast<float>(b.y);
    Square(static_cast<float>(a.x), static_cast<float>(a.y), bx, by);
    b = {TruncToInt(bx), TruncToInt(by)};
  }
  std::vector<TPoint>& list = w.PositionList();
  list.assign({w.CanvasToClient(a), w.CanvasToClient({b.x, a.y}), w.CanvasToClient(b), w.CanvasToClient({a.x, b.y})});
  w.ShapeCount() = 4;
  size = {b.x - a.x, b.y - a.y};
}

// The ellipse outline through the bounding box of press and end, in canvas floats.
bool EllipseOutline(TDrawWindow& w, int32_t group, const TPoint& press, const TPoint& end, std::vector<SPointF>& out) {
  const SPointF a = CanvasF(w, press);
  SPointF b = CanvasF(w, end);
  if (Constrained(w, group)) Square(a.x, a.y, b.x, b.y);
  const float x0 = std::min(a.x, b.x), x1 = std::max(a.x, b.x) + 1;
  const float y0 = std::min(a.y, b.y), y1 = std::max(a.y, b.y) + 1;
  const float my = (y0 + y1) / 2, mx = (x0 + x1) / 2;
  out.clear();
  return MakeEllipsePolygon(out, SPointF{x0, my}, SPointF{x1, my}, SPointF{mx, y0}, true) && !out.empty();
}

// The line's end snapped to a multiple of 15 degrees about its start.
TPoint SnapLine(TDrawWindow& w, const TPoint& start, const TPoint& end) {
  const SPointF a = CanvasF(w, start), b = CanvasF(w, end);
  const double dx = b.x - a.x, dy = b.y - a.y;
  if (dx == 0 && dy == 0) return end;
  double theta = std::atan2(dy, dx);
  if (theta < 0) theta += 2 * kPi;
  const double step = 15.0 * kPi / 180.0;
  const int32_t k = static_cast<int32_t>((theta + step / 2) / step);
  const double length = std::sqrt(dx * dx + dy * dy);
  float x = static_cast<float>(a.x + length * std::cos(k * step));
  float y = static_cast<float>(a.y + length * std::sin(k * step));
  w.Document().CanvasToClient(x, y);
  return {TruncToInt(x + 0.01f), TruncToInt(y + 0.01f)};
}

void ShowOverlay(TDrawWindow& w) {
  // A repaint removes the old rubber band before the new one is drawn.
  w.Site().InvalidateClient(nullptr);
  w.SetInputFlag(kInOverlay, true);
  w.SetInputFlag(kInChanged, true);
}

// ---- beginning ----

void Begin(TDrawWindow& w, int32_t group, TPoint point) {
  if (Collecting(w)) return;
  uint8_t index = 0;
  if (!IndexOf(group, w.ToolMode(), index)) return;
  if (group == kGroupShapeSelect) {
    point = Snap(w, point, false);
    w.SetPressPoint(point);
  }
  w.SuspendSmoothing();
  w.SetLastDragPoint(point);
  if (!w.setupPosList(10)) {
    w.FinishPending();
    return;
  }
  w.BuildCanvasRegion();
  w.ShapeCount() = 0;
  std::vector<TPoint>& list = w.PositionList();
  if (IsMultiClick(group, index)) {
    w.SetInputFlag(kInCollecting, true);
    list.assign({point, point});
    w.ShapeCount() = 1;
  }
  w.SetInputFlag(kInDrag, false);
  if (IsLine(group, index) || IsFreehand(group, index)) {
    list.assign({point, point});
    w.ShapeCount() = 1;
  }
  if (!IsFreehand(group, index)) InfoStart(w, point);
}

void ShapeDown(TDrawWindow& w, uint32_t, const TPoint& p) { Begin(w, kGroupShapePaint, p); }
void FillDown(TDrawWindow& w, uint32_t, const TPoint& p) { Begin(w, kGroupShapeFill, p); }
void SelectDown(TDrawWindow& w, uint32_t, const TPoint& p) { Begin(w, kGroupShapeSelect, p); }

// ---- dragging ----

void Drag(TDrawWindow& w, int32_t group, TPoint point) {
  uint8_t index = 0;
  if (!IndexOf(group, w.ToolMode(), index)) return;
  if (group == kGroupShapeSelect) point = Snap(w, point, false);
  if (point == w.LastDragPoint()) return;
  try {
    w.TrackPointer(point);
    std::vector<TPoint>& list = w.PositionList();
    int32_t& count = w.ShapeCount();
    if (!Collecting(w)) {
      if (index == kRect) {
        TPoint size{0, 0};
        RectCorners(w, group, w.PressPoint(), point, size);
        const TPoint b = Trunc(CanvasF(w, list[2]));
        InfoPane(w, 3, size.x, size.y);
        (void)b;
      } else if (index == kEllipse) {
        const double dx = point.x - w.PressPoint().x, dy = point.y - w.PressPoint().y;
        if (std::sqrt(dx * dx + dy * dy) >= 16.0) {
          std::vector<SPointF> outline;
          if (EllipseOutline(w, group, w.PressPoint(), point, outline)) {
            list.clear();
            for (SPointF q : outline) {
              w.Document().CanvasToClient(q.x, q.y);
              list.push_back({static_cast<int32_t>(std::floor(q.x)), static_cast<int32_t>(std::floor(q.y))});
            }
            count = static_cast<int32_t>(list.size());
            InfoSize(w, point);
          }
        }
      } else if (IsLine(group, index)) {
        const TPoint end = Constrained(w, group) ? SnapLine(w, list[0], point) : point;
        PutAt(list, count, end);
      } else if (IsFreehand(group, index)) {
        PutAt(list, count, point);
        ++count;
        PutAt(list, count, point);
      }
    } else {
      PutAt(list, count, point);
      InfoSize(w, point);
    }
    w.SetLastDragPoint(point);
    ShowOverlay(w);
    w.Site().SetAutoScrollTimer(true);
  } catch (const std::bad_alloc&) {
    ShowWarningBox(Tx(TextId::PaperCommandOutOfMemory), w.Handle(), nullptr);
    w.FinishPending();
  }
}

void ShapeDrag(TDrawWindow& w, uint32_t, const TPoint& p) { Drag(w, kGroupShapePaint, p); }
void FillDrag(TDrawWindow& w, uint32_t, const TPoint& p) { Drag(w, kGroupShapeFill, p); }
void SelectDrag(TDrawWindow& w, uint32_t, const TPoint& p) { Drag(w, kGroupShapeSelect, p); }

void Hover(TDrawWindow& w, int32_t group, uint32_t shift, const TPoint& p) {
  if (Collecting(w)) {
    Drag(w, group, p);
  } else {
    w.TrackPointer(p);
    if (group == kGroupShapeSelect) {
      const int32_t cursor = SelectCursorAt(w, shift, p);
      if (cursor != 0) w.Site().SetCursorSlot(cursor);
    }
  }
}
void ShapeHover(TDrawWindow& w, uint32_t s, const TPoint& p) { Hover(w, kGroupShapePaint, s, p); }
void FillHover(TDrawWindow& w, uint32_t s, const TPoint& p) { Hover(w, kGroupShapeFill, s, p); }
void SelectHover(TDrawWindow& w, uint32_t s, const TPoint& p) { Hover(w, kGroupShapeSelect, s, p); }

// ---- releasing ----

int32_t GroupOfWindow(TDrawWindow& w) { return DrawModeGroup(static_cast<uint8_t>(w.ToolMode())) & 0x7F; }

void ShapeUp(TDrawWindow& w, uint32_t, const TPoint& point) {
  const int32_t group = GroupOfWindow(w);
  if (!Collecting(w)) {
    w.RestoreSmoothing();
    if ((w.InputFlags() & kInIgnoreMouse) == 0 && w.Handler().commit != nullptr) {
      if (w.Document().StrokeMngr() != nullptr) w.Document().UpdateStrokeMngr();
      w.Handler().commit(w, w.PressPoint(), point);
    }
    w.SetInputFlag(kInOverlay, false);
    w.SetInputFlag(kInChanged, false);
    w.RefreshView(group == kGroupShapeFill);
    return;
  }
  if (point == w.PressPoint()) return;
  w.SetPressPoint(point);
  w.SetLastDragPoint(point);
  std::vector<TPoint>& list = w.PositionList();
  int32_t& count = w.ShapeCount();
  try {
    PutAt(list, count, point);
    ++count;
    PutAt(list, count, list[0]);
  } catch (const std::bad_alloc&) {
    ShowWarningBox(Tx(TextId::PaperCommandOutOfMemory), w.Handle(), nullptr);
    w.FinishPending();
    return;
  }
  InfoStart(w, point);
  w.SetInputFlag(kInChanged, true);
}

void SelectUp(TDrawWindow& w, uint32_t shift, const TPoint& raw) {
  w.RestoreSmoothing();
  const TPoint point = Snap(w, raw, false);
  if (!Collecting(w) && (w.InputFlags() & kInChanged) == 0 && point == w.PressPoint() &&
      w.Document().SelectionValueAt(point.x, point.y) == 0 && (shift & kSsShift) == 0 && !IsKeyDown(kVkShift) &&
      !CombineKeyHeld()) {
    TPaper& paper = w.Document();
    if (paper.CancelSelection(&w.Flow(), paper.GetActiveLayerIndex(), true)) w.SetModified(true);
  }
  ShapeUp(w, shift, raw);
}

// Runs the commit and ends the left drag (set for the call when no button holds it).
void CommitAndFinish(TDrawWindow& w, const TPoint& end) {
  if (w.Handler().commit != nullptr) w.Handler().commit(w, w.PressPoint(), end);
  if ((w.InputFlags() & (kInLeft | kInRight | kInMiddle)) == 0) w.SetInputFlag(kInLeft, true);
  w.FinishPending();
}

void ShapeDouble(TDrawWindow& w, uint32_t, const TPoint& point) {
  // The grabber's scale reset belongs to the tool window's hand tool; without it the double click
  // finishes a collecting shape.
  if (!Collecting(w)) return;
  CommitAndFinish(w, point);
}

void ShapeRightDown(TDrawWindow& w, uint32_t shift, const TPoint& point) {
  if (!Collecting(w)) {
    ToolRoutines::RightPick(w, shift, point);
    return;
  }
  int32_t& count = w.ShapeCount();
  if (count <= 1) {
    w.FinishPending();
    return;
  }
  --count;
  std::vector<TPoint>& list = w.PositionList();
  list.resize(static_cast<size_t>(count) + 1);
  list[static_cast<size_t>(count)] = point;
  if (count > 1) list.push_back(list[0]);
  w.SetPressPoint(list[static_cast<size_t>(count) - 1]);
  w.RefreshView(false);
  InfoStart(w, list[static_cast<size_t>(count) - 1]);
}

// ---- keys ----

void ShapeKey(TDrawWindow& w, int32_t key, uint32_t) {
  const uint16_t flags = w.InputFlags();
  if ((flags & (kInCollecting | kInLeft | kInRight | kInMiddle)) == 0) return;
  if (key == kKeyEscape) {
    w.SetInputFlag(kInCollecting, false);
    w.RestoreSmoothing();
    if ((flags & kInChanged) != 0) {
      const bool middle = (flags & kInMiddle) != 0 && (flags & kInTempTool) != 0;
      if ((flags & (kInLeft | kInMiddle)) != 0) w.EndButton(middle ? MouseButton::kMiddle : MouseButton::kLeft, 0, nullptr);
      w.SetInputFlag(kInOverlay, false);
      w.SetInputFlag(kInChanged, false);
      w.RefreshView(false);
    }
  } else if (key == ' ') {
    CommitAndFinish(w, w.LastDragPoint());
  }
}

void SelectKey(TDrawWindow& w, int32_t key, uint32_t data) {
  // Cursor keys with nothing held move the selection (the move tools' key mode, built with them).
  ShapeKey(w, key, data);
}

// ---- commits ----

// The end stored as the last fixed point (counted when it differs from the one before).
int32_t CloseWithEnd(TDrawWindow& w, const TPoint& end) {
  std::vector<TPoint>& list = w.PositionList();
  int32_t& count = w.ShapeCount();
  PutAt(list, count, end);
  if (count == 0 || list[static_cast<size_t>(count) - 1] != end) ++count;
  return count;
}

std::vector<TPoint> LayerPoints(TDrawWindow& w, int32_t count) {
  std::vector<TPoint> points;
  points.reserve(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) points.push_back(Trunc(ToLayer(w, CanvasF(w, w.PositionList()[static_cast<size_t>(i)]))));
  return points;
}

bool FillCommit(TDrawWindow& w, const TPoint& press, const TPoint& end) {
  uint8_t index = 0;
  if (!IndexOf(kGroupShapeFill, w.ToolMode(), index)) return false;
  TPaper& paper = w.Document();
  const int32_t layer = paper.GetActiveLayerIndex();
  bool done = false;
  if (index == kRect || index == kEllipse) {
    if (index == kEllipse && press == end) return false;
    const SPointF a = CanvasF(w, press);
    SPointF b = CanvasF(w, end);
    if (Constrained(w, kGroupShapeFill)) Square(a.x, a.y, b.x, b.y);
    const TPoint la = Trunc(ToLayer(w, a));
    const SPointF lb = ToLayer(w, b);
    done = index == kRect ? paper.FillRect(&w.Flow(), layer, true, true, la, lb)
                          : paper.FillEllipse(&w.Flow(), layer, true, la, lb, true);
  } else {
    if (w.ShapeCount() < 2) return false;
    const int32_t count = CloseWithEnd(w, end);
    if (count < 3) return false;
    const std::vector<TPoint> points = LayerPoints(w, count);
    done = paper.FillPolygon(&w.Flow(), layer, true, count, points.data());
  }
  if (done) w.SetModified(true);
  return done;
}

bool SelectCommit(TDrawWindow& w, const TPoint& press, const TPoint& rawEnd) {
  uint8_t index = 0;
  if (!IndexOf(kGroupShapeSelect, w.ToolMode(), index)) return false;
  TPaper& paper = w.Document();
  const int32_t layer = paper.GetActiveLayerIndex();
  const int32_t mode = paper.GetSelectionCombineMode();
  bool done = false;
  if (index == kRect || index == kEllipse) {
    if (index == kRect && (press.x == rawEnd.x || press.y == rawEnd.y)) return false;
    if (index == kEllipse && press == rawEnd) return false;
    const TPoint end = Snap(w, rawEnd, index == kRect);
    const SPointF a = CanvasF(w, press);
    SPointF b = CanvasF(w, end);
    if (Constrained(w, kGroupShapeSelect)) Square(a.x, a.y, b.x, b.y);
    const TPoint la = Trunc(ToLayer(w, a)), lb = Trunc(ToLayer(w, b));
    done = index == kRect ? paper.SelectRect(&w.Flow(), layer, true, mode, la, lb)
                          : paper.SelectEllipse(&w.Flow(), layer, true, mode, la, lb, true);
  } else {
    if (w.ShapeCount() < 2) return false;
    const int32_t count = CloseWithEnd(w, Snap(w, rawEnd, false));
    if (count < 3) return false;
    const std::vector<TPoint> points = LayerPoints(w, count);
    done = paper.SelectPolygon(&w.Flow(), layer, true, mode, count, points.data());
  }
  if (done) w.SetModified(true);
  return done;
}

// Group 6: the outline as pen strokes of the current pen, with pressure switched off.
void StrokePath(TDrawWindow& w, TStroke& stroke, const std::vector<SPointF>& points, bool closed, bool& painted) {
  const size_t n = points.size();
  if (n == 0) return;
  const float pressure = stroke.GetOpacity();
  if (!closed || n <= 2) {
    for (const SPointF& p : points) w.StrokeTo(stroke, false, p.x, p.y, pressure);
    w.StrokeEnd(stroke, false, points.back().x, points.back().y);
  } else {
    for (const SPointF& p : points) w.StrokeTo(stroke, false, p.x, p.y, pressure);
    if (points.back().x != points.front().x || points.back().y != points.front().y)
      w.StrokeTo(stroke, false, points.front().x, points.front().y, pressure);
    w.StrokeEnd(stroke, false, points.front().x, points.front().y);
  }
  painted = true;
}

bool ShapeCommit(TDrawWindow& w, const TPoint& press, const TPoint& end) {
  uint8_t index = 0;
  if (!IndexOf(kGroupShapePaint, w.ToolMode(), index)) return false;
  TStroke* stroke = w.MainStroke();
  if (stroke == nullptr) return false;
  CStrokeMngr* manager = w.Document().StrokeMngr();
  // Saved and restored on every way out.
  struct Restore {
    TStroke& stroke;
    CStrokeMngr* manager;
    bool ifSize, ifTransparency, programDriven, shapeStroke, rawPoints;
    SStrokeParam params{};
    int32_t interpolation = 0;
    ~Restore() {
      stroke.SetIfSize(ifSize);
      stroke.SetIfTransparency(ifTransparency);
      stroke.SetProgramDriven(programDriven);
      stroke.SetShapeStroke(shapeStroke);
      stroke.SetRawPoints(rawPoints);
      if (manager != nullptr) {
        manager->SetStrokeParams(params);
        manager->SetInterpolateMode(interpolation);
      }
    }
  } restore{*stroke, manager, stroke->GetIfSize(), stroke->GetIfTransparency(), stroke->IsProgramDriven(),
            stroke->GetShapeStroke(), stroke->GetRawPoints()};
  stroke->SetIfSize(false);
  stroke->SetIfTransparency(false);
  if (manager != nullptr) {
    manager->GetStrokeParams(restore.params);
    restore.interpolation = manager->GetInterpolateMode();
    SStrokeParam copy = restore.params;
    copy.ifSize = 0;
    copy.ifTransparency = 0;
    manager->SetStrokeParams(copy);
    manager->SetInterpolateMode(0);
  }
  stroke->SetProgramDriven(true);
  // The recording marks the strokes as shape strokes, which the player draws without
  // interpolation and with the points as given.
  stroke->SetShapeStroke(true);
  stroke->SetRawPoints(true);
  bool painted = false;
  try {
    std::vector<TPoint>& list = w.PositionList();
    int32_t& count = w.ShapeCount();
    std::vector<SPointF> path;
    auto clientPath = [&](int32_t n) {
      for (int32_t i = 0; i < n; ++i)
        path.push_back({static_cast<float>(list[static_cast<size_t>(i)].x), static_cast<float>(list[static_cast<size_t>(i)].y)});
    };
    bool closed = false;
    switch (index) {
      case kRect:
        if (count > 3) clientPath(4);
        closed = true;
        break;
      case kPolygon:
        clientPath(CloseWithEnd(w, end));
        if (path.size() <= 1) path.clear();
        closed = true;
        break;
      case kEllipse: {
        std::vector<SPointF> outline;
        if (press != end && EllipseOutline(w, kGroupShapePaint, press, end, outline)) {
          for (SPointF q : outline) {
            w.Document().CanvasToClient(q.x, q.y);
            path.push_back(q);
          }
        }
        closed = true;
        break;
      }
      case kLineOrFree: {
        const TPoint e = Constrained(w, kGroupShapePaint) && !list.empty() ? SnapLine(w, list[0], end) : end;
        PutAt(list, count, e);
        clientPath(count + 1);
        break;
      }
      case kPolyline:
        clientPath(CloseWithEnd(w, end));
        if (path.size() <= 1) path.clear();
        break;
      default: break;
    }
    StrokePath(w, *stroke, path, closed, painted);
  } catch (const std::bad_alloc&) {
    ShowWarningBox(Tx(TextId::PaperCommandOutOfMemory), w.Handle(), nullptr);
  } catch (const std::exception&) {
    ShowWarningBox(Tx(TextId::PaperCommandException), w.Handle(), nullptr);
  }
  if (painted) w.SetModified(true);
  return painted;
}

SToolHandler Record(int32_t group) {
  SToolHandler h;
  const bool select = group == kGroupShapeSelect;
  h.leftDown = group == kGroupShapePaint ? &ShapeDown : select ? &SelectDown : &FillDown;
  h.leftDrag = group == kGroupShapePaint ? &ShapeDrag : select ? &SelectDrag : &FillDrag;
  h.leftUp = select ? &SelectUp : &ShapeUp;
  h.leftDouble = &ShapeDouble;
  h.rightDown = &ShapeRightDown;
  h.hover = group == kGroupShapePaint ? &ShapeHover : select ? &SelectHover : &FillHover;
  h.keyDown = select ? &SelectKey : &ShapeKey;
  h.commit = group == kGroupShapePaint ? &ShapeCommit : select ? &SelectCommit : &FillCommit;
  h.cancel = &ToolRoutines::Finish;
  return h;
}

}  // namespace

TPoint SnapToPixelGrid(TDrawWindow& w, const TPoint& point, bool moveBack) { return Snap(w, point, moveBack); }
bool ConstraintHeld(TDrawWindow& w, int32_t group) { return Constrained(w, group); }
TPoint SnapLineEnd(TDrawWindow& w, const TPoint& start, const TPoint& end) { return SnapLine(w, start, end); }
void RectangleCorners(TDrawWindow& w, int32_t group, const TPoint& press, const TPoint& point, TPoint& size) {
  RectCorners(w, group, press, point, size);
}

SToolHandler OutlineRecord() { return Record(kGroupShapePaint); }
SToolHandler FillRecord() { return Record(kGroupShapeFill); }
SToolHandler SelectRecord() { return Record(kGroupShapeSelect); }

bool Overlay(TDrawWindow& w, std::vector<TPoint>& points, bool& closed) {
  points.clear();
  closed = false;
  const int32_t group = GroupOfWindow(w);
  uint8_t index = 0;
  if ((w.InputFlags() & kInOverlay) == 0) return false;
  const std::vector<TPoint>& list = w.PositionList();
  const int32_t count = w.ShapeCount();
  if (group == kGroupDrag && DragToolIndex(index, static_cast<uint8_t>(w.ToolMode()))) {
    // The gradient's line and the crop rectangle.
    if (index == 3 && list.size() >= 2) points.assign(list.begin(), list.begin() + 2);
    if (index == 4 && count > 3 && list.size() >= 4) points.assign(list.begin(), list.begin() + 4), closed = true;
    return points.size() >= 2;
  }
  if (!IndexOf(group, w.ToolMode(), index)) return false;
  auto take = [&](int32_t n) {
    n = std::min<int32_t>(n, static_cast<int32_t>(list.size()));
    points.assign(list.begin(), list.begin() + n);
  };
  switch (index) {
    case kRect:
      if (count > 3) take(4), closed = true;
      break;
    case kPolygon:
      if (count > 1) take(count + 1), closed = true;
      else take(2);
      break;
    case kEllipse:
      if (count > (group == kGroupShapeFill ? 2 : 1)) take(count), closed = true;
      break;
    default:
      if (count > 0) take(count + 1);
      break;
  }
  return points.size() >= 2;
}

int32_t SelectCursorAt(TDrawWindow& w, uint32_t shift, const TPoint& point) {
  int32_t group = 0, variant = 0;
  if ((w.InputFlags() & kInTempTool) != 0 && (w.InputFlags() & kInMiddle) == 0) return 0;
  if ((w.InputFlags() & kInTempTool) == 0 && w.GetTempTool(group, variant, true)) return 0;
  TPaper& paper = w.Document();
  if (!paper.HasActiveMask() || !paper.HasSelection()) return 5;
  const bool other = AppProfile().OtherToolCursor != 0;
  const bool shifted = (shift & kSsShift) != 0 || IsKeyDown(kVkShift);
  int32_t cursor = 5;
  if (CombineKeyHeld()) {
    cursor = shifted ? 8 : 7;
  } else if (shifted) {
    cursor = 6;
  } else if (paper.SelectionValueAt(point.x, point.y) > 0) {
    return 9;
  }
  return other ? cursor + 29 : cursor;
}

}  // namespace ShapeTools

}  // namespace tf
