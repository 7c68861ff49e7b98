#include "raster/Placement.h"

#include "platform/Screen.h"

namespace tf {
namespace {

TRect MoveTo(const TRect& r, int32_t left, int32_t top) {
  return {left, top, AddSat(left, int64_t{r.right} - r.left), AddSat(top, int64_t{r.bottom} - r.top)};
}

}  // namespace

bool GetMonitorFitOffset(const TRect& rect, TPoint point, TPoint& offset) {
  const ScreenRect area = MonitorNearestPoint(point.x, point.y).workArea;
  const int64_t left = area.left, top = area.top;
  const int64_t right = left + area.width, bottom = top + area.height;
  // Towards the far edge when the rectangle ends past it, then towards the near edge when it
  // starts (or would start) before it: a rectangle larger than the area keeps its left or top
  // edge visible wherever it started.
  auto shift = [](int64_t low, int64_t high, int64_t areaLow, int64_t areaHigh) -> int64_t {
    int64_t d = high > areaHigh ? areaHigh - high : 0;
    if (low + d < areaLow) d = areaLow - low;
    return d;
  };
  offset = {SaturateInt32(shift(rect.left, rect.right, left, right)),
            SaturateInt32(shift(rect.top, rect.bottom, top, bottom))};
  return offset.x == 0 && offset.y == 0;
}

bool KeepRectOnMonitor(TRect& rect, TPoint point) {
  if (rect.right <= rect.left || rect.bottom <= rect.top) return false;
  TPoint offset;
  if (!GetMonitorFitOffset(rect, point, offset)) OffsetBounds(rect, offset.x, offset.y);
  return true;
}

bool PlaceRectBeside(TRect& rect, TPoint point, const TRect& avoid) {
  if (!KeepRectOnMonitor(rect, point)) return false;
  TRect overlap = rect;
  if (!IntersectBounds(overlap, avoid)) return true;
  const int32_t width = SaturateInt32(int64_t{rect.right} - rect.left);
  const int32_t height = SaturateInt32(int64_t{rect.bottom} - rect.top);
  const TRect candidates[4] = {
      MoveTo(rect, rect.left, avoid.bottom),
      MoveTo(rect, rect.left, SubSat(avoid.top, height)),
      MoveTo(rect, avoid.right, rect.top),
      MoveTo(rect, SubSat(avoid.left, width), rect.top),
  };
  for (const TRect& candidate : candidates) {
    rect = candidate;
    TPoint offset;
    if (GetMonitorFitOffset(candidate, point, offset)) return true;
  }
  return false;
}

}  // namespace tf
