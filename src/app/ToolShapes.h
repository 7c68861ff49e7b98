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
}  // namespace ShapeTools

}  // namespace tf
