// Placing popup windows on a monitor: fitting a rectangle into the nearest work area, and
// placing it beside a rectangle it must not cover.
#pragma once
// The monitor is the one nearest to a given point (platform/Screen.h); its work area is where a
// popup may lie.
#include "raster/Geometry.h"

namespace tf {

// The offset that moves the rectangle into the work area of the monitor nearest to the point:
// towards the left (top) edge when it starts outside it, else towards the right (bottom) edge
// when it ends outside it; a rectangle larger than the work area lands on the left or top edge
// (also when it started inside). True when the offset is (0, 0).
bool GetMonitorFitOffset(const TRect& rect, TPoint point, TPoint& offset);
// Moves the rectangle by that offset. False only for an empty rectangle.
bool KeepRectOnMonitor(TRect& rect, TPoint point);
// KeepRectOnMonitor, then, when the rectangle covers part of avoid, the first of below, above,
// right of and left of avoid that fits the monitor without moving. False when none fits (the
// rectangle then stays at the last candidate) or the rectangle is empty.
bool PlaceRectBeside(TRect& rect, TPoint point, const TRect& avoid);

}  // namespace tf
