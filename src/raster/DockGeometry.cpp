#include "raster/DockGeometry.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace tf {

void LayoutOverlappingTabs(const int32_t* widths, const bool* shown, int32_t count, int32_t areaWidth,
                           int32_t reserve, int32_t* lefts) {
  if (count <= 0 || widths == nullptr || lefts == nullptr) return;
  int64_t x = kTabStart;
  for (int32_t i = 0; i < count; ++i) {
    if (shown != nullptr && !shown[i]) continue;
    lefts[i] = SaturateInt32(x);
    x += int64_t{widths[i]} - kTabOverlap;
  }
  const int64_t overflow = x - (int64_t{areaWidth} - reserve);
  if (overflow < 0 || count < 2) return;
  const float step = static_cast<float>(overflow) / static_cast<float>(count - 1);
  int32_t c = 0;
  for (int32_t i = 1; i < count; ++i) {
    if (shown != nullptr && !shown[i]) continue;
    ++c;
    const float pull = static_cast<float>(c) * step + 0.5f;
    lefts[i] = SubSat(lefts[i], static_cast<int64_t>(std::trunc(pull)));
  }
}

int32_t PaneHeight(const SPaneMeasure& pane) {
  if (!pane.hasView) return 0;
  return pane.headerHeight + std::max(pane.viewHeight, 0);
}

int32_t StackPanes(const std::vector<SPaneMeasure>& panes, int32_t clientHeight, std::vector<SPanePlace>& places) {
  places.assign(panes.size(), SPanePlace{});
  int32_t top = 0;
  for (size_t i = 0; i < panes.size(); ++i) {
    SPanePlace& p = places[i];
    p.top = top;
    p.height = panes[i].headerHeight;
    p.viewTop = top + p.height;
    p.viewHeight = panes[i].hasView ? std::max(panes[i].viewHeight, 0) : 0;
    top = AddSat(top, PaneHeight(panes[i]));
  }
  if (clientHeight >= 0 && !panes.empty() && places.back().viewHeight > 0) {
    SPanePlace& last = places.back();
    last.viewHeight = std::max(clientHeight - last.viewTop, 0);
  }
  return top;
}

int32_t GetDropTarget(const std::vector<SPaneMeasure>& panes, int32_t y) {
  const auto count = static_cast<int32_t>(panes.size());
  if (count == 0) return -1;
  int64_t rest = y;
  for (int32_t i = 0; i < count; ++i) {
    if (rest <= 3 || (i > 0 && rest <= 7)) return count + i;
    const int32_t height = PaneHeight(panes[i]);
    if (rest < height - 4) return i;
    rest -= height;
  }
  return -1;
}

TRect GetDropZoneRect(const SPaneMeasure& pane, bool first, int32_t top, int32_t width, int32_t zone) {
  const int32_t bottom = AddSat(top, PaneHeight(pane));
  if (zone < 0) {
    const int32_t bandTop = top - (first ? 4 : 2);
    return {0, bandTop, width, bandTop + 8};
  }
  if (zone == 0) return {0, first ? top : top + kSplitterRows, width, bottom};
  return {0, bottom - 4, width, bottom + 4};
}

TRect DropTargetZone(const std::vector<SPaneMeasure>& panes, int32_t width, int32_t target) {
  const auto count = static_cast<int32_t>(panes.size());
  if (count == 0) return {0, 0, 0, 0};
  std::vector<SPanePlace> places;
  StackPanes(panes, -1, places);
  if (target >= 0 && target < count) return GetDropZoneRect(panes[target], target == 0, places[target].top, width, 0);
  if (target >= count && target < 2 * count) {
    const int32_t i = target - count;
    return GetDropZoneRect(panes[i], i == 0, places[i].top, width, -1);
  }
  return GetDropZoneRect(panes.back(), count == 1, places.back().top, width, 1);
}

bool ApplyTrackLimits(const std::vector<SPaneMeasure>& panes, SSize frame, STrackLimits& limits) {
  if (panes.empty()) return false;
  int32_t widest = 0;
  int64_t above = 0;  // every pane but the last
  for (size_t i = 0; i < panes.size(); ++i) {
    widest = std::max(widest, panes[i].minWidth);
    if (i + 1 < panes.size()) above += PaneHeight(panes[i]);
  }
  const SPaneMeasure& last = panes.back();
  const int32_t minWidth = AddSat(frame.width, widest);
  if (minWidth > frame.width && minWidth > limits.minWidth) limits.minWidth = minWidth;
  const int32_t minHeight = SaturateInt32(int64_t{frame.height} + above + last.minHeight);
  if (minHeight > frame.height && minHeight > limits.minHeight) limits.minHeight = minHeight;
  const int32_t client = last.maxHeight == 0 ? 0 : SaturateInt32(above + last.maxHeight);
  const int32_t maxHeight = AddSat(frame.height, client);
  if (maxHeight > frame.height && (limits.maxHeight <= 0 || maxHeight < limits.maxHeight)) limits.maxHeight = maxHeight;
  return true;
}

void SnapEdges(int32_t& lo, int32_t& hi, int32_t nearEdge, int32_t farEdge, int32_t& t) {
  // The tolerance shrinks by the distance moved, in whichever direction: a rectangle that moved
  // right or down must not snap a later target from further away.
  const int64_t toNear = int64_t{lo} - nearEdge;
  if (std::llabs(toNear) <= t) {
    hi = SubSat(hi, toNear);
    lo = nearEdge;
    t = SaturateInt32(t - std::llabs(toNear));
    return;
  }
  const int64_t toFar = int64_t{hi} - farEdge;
  if (std::llabs(toFar) <= t) {
    lo = SubSat(lo, toFar);
    hi = farEdge;
    t = SaturateInt32(t - std::llabs(toFar));
  }
}

void SnapInside(TRect& rect, const TRect& area, SSnapTolerance& t) {
  if (area.right >= rect.left && area.bottom >= rect.top && rect.right >= area.left && rect.bottom >= area.top) {
    SnapEdges(rect.left, rect.right, area.left, area.right, t.x);
    SnapEdges(rect.top, rect.bottom, area.top, area.bottom, t.y);
  }
}

void SnapOutside(TRect& rect, const TRect& window, SSnapTolerance& t) {
  if (!(int64_t{window.right} + t.x >= rect.left && int64_t{window.bottom} + t.y >= rect.top &&
        int64_t{window.left} - t.x <= rect.right && int64_t{window.top} - t.y <= rect.bottom)) {
    return;
  }
  TRect r = rect;
  SSnapTolerance u = t;
  // Side by side, then the tops or bottoms lined up.
  SnapEdges(r.left, r.right, window.right, window.left, u.x);
  bool changed = !(r == rect);
  if (changed || r.left == window.right || r.right == window.left) {
    SnapEdges(r.top, r.bottom, window.top, window.bottom, u.y);
    changed = !(r == rect);
  }
  if (!changed) {
    // One above the other, then the lefts or rights lined up.
    SnapEdges(r.top, r.bottom, window.bottom, window.top, u.y);
    changed = !(r == rect);
    if (changed || r.top == window.bottom || r.bottom == window.top) {
      SnapEdges(r.left, r.right, window.left, window.right, u.x);
      changed = !(r == rect);
    }
  }
  if (changed) {
    rect = r;
    t = u;
  }
}

void SnapRect(TRect& rect, const std::vector<TRect>& monitors, const TRect* ownerArea,
              const std::vector<TRect>& windows) {
  const SSnapTolerance start;
  SSnapTolerance t = start;
  for (const TRect& monitor : monitors) {
    t = start;
    SnapInside(rect, monitor, t);
  }
  if (ownerArea != nullptr) SnapInside(rect, *ownerArea, t);
  for (const TRect& window : windows) SnapOutside(rect, window, t);
}

}  // namespace tf
