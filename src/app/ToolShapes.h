// The shape, fill and selection tools: handler groups 6, 7 and 8 of the document window.
#pragma once
// The three groups share one mechanism: the window's position list of client points holds the
// shape while the mouse draws it (a drag for rectangles, ellipses, lines and freehand areas, one
// click per vertex for polygons and polylines), a dotted rubber band shows it, and the commit
// turns it into one recorded document command (a fill, a selection change or pen strokes).
#include <cstdint>
#include <vector>

#include "app/ToolDispatch.h"

namespace tf {

namespace ShapeTools {
// The handler records of groups 6 (outlines), 7 (fills) and 8 (selections).
SToolHandler OutlineRecord();
SToolHandler FillRecord();
SToolHandler SelectRecord();
// The rubber band the window draws now for the current tool: the points in client coordinates
// and whether the last one joins the first. False when nothing is to be drawn.
bool Overlay(TDrawWindow& window, std::vector<TPoint>& points, bool& closed);
// The selection tool's pointer at a client point (cursor slot; 0: leave the cursor as it is).
int32_t SelectCursorAt(TDrawWindow& window, uint32_t shift, const TPoint& point);
// Shared with the move tools (the gradient line, the crop rectangle, the selection move).
// The pixel-grid snap of a client point: s x (x div s) with s = max(floor(zoom), 1); the end of
// a rectangle selection then moves back by s + 1 when s > 1.
TPoint SnapToPixelGrid(TDrawWindow& window, const TPoint& point, bool moveBack);
// The constraint key (Shift in scheme 0, Ctrl otherwise; for selections only without one).
bool ConstraintHeld(TDrawWindow& window, int32_t group);
// The end of a line from start snapped to the nearest multiple of 15 degrees (client points).
TPoint SnapLineEnd(TDrawWindow& window, const TPoint& start, const TPoint& end);
// The position list becomes the four client corners of the rectangle from press to point (canvas
// integers, rounded; squared with the constraint key); size gets its canvas size.
void RectangleCorners(TDrawWindow& window, int32_t group, const TPoint& press, const TPoint& point, TPoint& size);
}  // namespace ShapeTools

}  // namespace tf
