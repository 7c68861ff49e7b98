// The arithmetic of tab strips and of floating tool windows: overlapping tab layout, drop targets
// and zones over stacked panes, pane stacking, track-size limits and edge snapping.
#pragma once
// Everything here is plain arithmetic on rectangles (right and bottom exclusive); the widgets of
// ui/SmallControls.h and ui/DockFloat.h call it with their measures. Monitors, the owner's
// document area and the other floating windows are handed in by the caller.
#include <cstdint>
#include <vector>

#include "raster/Geometry.h"

namespace tf {

// ---- Overlapping tabs ----

// Tabs start 4 pixels in and overlap their neighbours by 9 pixels.
inline constexpr int32_t kTabStart = 4;
inline constexpr int32_t kTabOverlap = 9;
// Room kept free at the right: a tab strip keeps 38 pixels, a pane header 30 (its menu button).
inline constexpr int32_t kTabStripReserve = 38;
inline constexpr int32_t kPaneHeaderReserve = 30;
// A hit map keeps a tab's index in one byte: at most this many tabs (or views of a pane).
inline constexpr int32_t kMaxTabs = 256;

// Lays out count tabs of the given widths in an area of areaWidth: the shown tabs are placed in
// order from kTabStart; when they run past areaWidth - reserve and there are at least two tabs
// (shown or not), the shown tabs after index 0 are pulled left, the c-th of them (c = 1, 2, ...)
// by Trunc(c * step + 0.5) with step = overflow / (count - 1) as a Single. Lefts of tabs that
// are not shown are left as they were. shown may be null (every tab shown).
void LayoutOverlappingTabs(const int32_t* widths, const bool* shown, int32_t count, int32_t areaWidth,
                           int32_t reserve, int32_t* lefts);

// ---- Panes stacked in a floating form ----

// Header heights: the top pane's 19, another pane's 23 (its top 4 rows the splitter strip).
inline constexpr int32_t kFirstPaneHeader = 19;
inline constexpr int32_t kPaneHeader = 23;
inline constexpr int32_t kSplitterRows = 4;

// What the stacking and the drop tests read of one pane.
struct SPaneMeasure {
  int32_t headerHeight = kFirstPaneHeader;
  // The selected view's height when it is shown (not collapsed, expanded), else 0.
  int32_t viewHeight = 0;
  // The pane has a selected view (a pane without one is 0 high).
  bool hasView = true;
  // Track limits of the pane (header plus shown view): minimum width, minimum height, maximum
  // height (0: none).
  int32_t minWidth = 200;
  int32_t minHeight = kFirstPaneHeader;
  int32_t maxHeight = 0;
};

// The pane's height in the stack: header plus shown view, 0 without a selected view.
int32_t PaneHeight(const SPaneMeasure& pane);

// Where one pane and its view go.
struct SPanePlace {
  int32_t top = 0;
  int32_t height = 0;    // header
  int32_t viewTop = 0;   // right below the header
  int32_t viewHeight = 0;  // 0 when no view is shown
};

// Stacks the panes from the top of the client area. The total of their heights is returned;
// when clientHeight is not negative, the last pane's shown view stretches to it (never below 0).
int32_t StackPanes(const std::vector<SPaneMeasure>& panes, int32_t clientHeight, std::vector<SPanePlace>& places);

// The drop target of a point in the form's client coordinates: a pane index (the view joins it
// as a tab), count + i (a new pane goes before pane i), -1 (a new pane is appended; also without
// panes).
int32_t GetDropTarget(const std::vector<SPaneMeasure>& panes, int32_t y);

// Zones of a pane: -1 the band above it, 0 the pane, +1 the band below it.
// The pane's rectangle in client coordinates for its top and width.
TRect GetDropZoneRect(const SPaneMeasure& pane, bool first, int32_t top, int32_t width, int32_t zone);
// The zone rectangle (client coordinates) that goes with GetDropTarget's result.
TRect DropTargetZone(const std::vector<SPaneMeasure>& panes, int32_t width, int32_t target);

// Minimum and maximum size of a floating form. frame is the window size minus the client size;
// proposed holds the window system's values (maximum 0 or below: none) and is changed in place
// by the rules: the minimum width from the widest pane, the minimum height from every pane but
// the last plus the last one's minimum, the maximum height likewise from the last one's maximum
// (none when that is 0). False (nothing changed) without panes.
struct STrackLimits {
  int32_t minWidth = 0;
  int32_t minHeight = 0;
  int32_t maxWidth = 0;
  int32_t maxHeight = 0;
};
bool ApplyTrackLimits(const std::vector<SPaneMeasure>& panes, SSize frame, STrackLimits& limits);

// ---- Snapping floating forms ----

inline constexpr int32_t kSnapTolerance = 8;

struct SSnapTolerance {
  int32_t x = kSnapTolerance;
  int32_t y = kSnapTolerance;
};

// One axis: the rectangle (lo, hi) keeps its size; when lo is within t of near it moves there,
// else when hi is within t of far it moves there; t shrinks by the distance moved.
void SnapEdges(int32_t& lo, int32_t& hi, int32_t nearEdge, int32_t farEdge, int32_t& t);
// Keeps the rectangle's sides on the area's sides when it touches or overlaps the area.
void SnapInside(TRect& rect, const TRect& area, SSnapTolerance& t);
// Puts the rectangle beside or above/below a window within the tolerance band around it, and
// then lines up the other axis. The tolerances change only when the rectangle moved.
void SnapOutside(TRect& rect, const TRect& window, SSnapTolerance& t);

// Snaps a rectangle in screen coordinates: inside every monitor (each from the starting
// tolerances; the last monitor's come out), inside the owner's area when given, then outside
// each of the windows.
void SnapRect(TRect& rect, const std::vector<TRect>& monitors, const TRect* ownerArea,
              const std::vector<TRect>& windows);

}  // namespace tf
