#include "raster/DockGeometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "raster/TrackbarGeometry.h"

namespace tf {
namespace {

using O = TGraphicTrackbarOrientation;

TEST(TrackbarGeometryTest, PositionUnderAPointForEveryOrientation) {
  struct Case {
    O orientation;
    int32_t width, height, x, y;
    float expected;
  };
  const Case cases[] = {
      // 109-pixel sliders: the ends lie the thumb's size in.
      {O::gtHorizontal, 109, 12, -5, 4, 0.0f},
      {O::gtHorizontal, 109, 12, 3, 4, 0.0f},
      {O::gtHorizontal, 109, 12, 53, 4, 0.5f},
      {O::gtHorizontal, 109, 12, 103, 4, 1.0f},
      {O::gtHorizontal, 109, 12, 200, 4, 1.0f},
      {O::gtHorizontal, 9, 12, 50, 4, 0.0f},  // no length
      {O::gtVertical, 12, 109, 4, 3, 1.0f},
      {O::gtVertical, 12, 109, 4, -40, 1.0f},
      {O::gtVertical, 12, 109, 4, 54, 0.5f},
      {O::gtVertical, 12, 109, 4, 105, 0.0f},
      {O::gtVertical, 12, 109, 4, 300, 0.0f},
      // 32 x 32 dials: 0 points left.
      {O::gtClockWise, 32, 32, 16, 30, 0.25f},
      {O::gtClockWise, 32, 32, 2, 16, 0.0f},
      {O::gtClockWise, 32, 32, 30, 16, 0.5f},
      {O::gtClockWise, 32, 32, 16, 2, 0.75f},
      {O::gtCounterClockWise, 32, 32, 16, 30, 0.75f},
      {O::gtCounterClockWise, 32, 32, 16, 2, 0.25f},
      {O::gtCounterClockWise, 32, 32, 30, 16, 0.5f},
  };
  for (const Case& c : cases) {
    EXPECT_FLOAT_EQ(TrackbarPositionAt(c.orientation, c.width, c.height, c.x, c.y), c.expected)
        << static_cast<int>(c.orientation) << " at " << c.x << "," << c.y;
  }
}

TEST(TrackbarGeometryTest, TrackRectanglesAndNeedles) {
  EXPECT_EQ(TrackbarTrackRect(O::gtHorizontal, 109, 12), (TRect{3, 0, 106, 8}));
  EXPECT_EQ(TrackbarTrackRect(O::gtVertical, 13, 109), (TRect{2, 2, 10, 107}));
  EXPECT_EQ(TrackbarTrackRect(O::gtClockWise, 40, 32), (TRect{1, 1, 31, 31}));
  SPointF centre, tip;
  TrackbarNeedle(O::gtClockWise, 32, 32, 0.25f, centre, tip);
  EXPECT_EQ(centre, (SPointF{16.0f, 16.0f}));
  EXPECT_NEAR(tip.x, 16.0f, 1e-4f);
  EXPECT_NEAR(tip.y, 30.0f, 1e-4f);  // down
  TrackbarNeedle(O::gtCounterClockWise, 32, 32, 0.25f, centre, tip);
  EXPECT_NEAR(tip.y, 2.0f, 1e-4f);  // up
  TrackbarNeedle(O::gtClockWise, 32, 32, 0.0f, centre, tip);
  EXPECT_NEAR(tip.x, 2.0f, 1e-4f);  // left
}

// A filter may hand back any value: the thumb's place saturates instead of overflowing, and a
// value that is not a number is drawn at 0.
TEST(TrackbarGeometryTest, ThumbPlaceOfAnyDrawnPositionSaturates) {
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  EXPECT_EQ(TrackbarThumbX(109, 0.0f), 0);
  EXPECT_EQ(TrackbarThumbX(109, 0.5f), 50);
  EXPECT_EQ(TrackbarThumbX(109, 1.0f), 100);
  EXPECT_EQ(TrackbarThumbX(109, 2.0f), 200);
  EXPECT_EQ(TrackbarThumbX(109, 1e30f), INT32_MAX);
  EXPECT_EQ(TrackbarThumbX(109, -1e30f), INT32_MIN);
  EXPECT_EQ(TrackbarThumbX(109, inf), INT32_MAX);
  EXPECT_EQ(TrackbarThumbX(109, nan), 0);
  EXPECT_EQ(TrackbarThumbY(109, 1.0f), 0);
  EXPECT_EQ(TrackbarThumbY(109, 0.0f), 102);
  EXPECT_EQ(TrackbarThumbY(109, -inf), INT32_MAX);
  EXPECT_EQ(TrackbarThumbY(109, nan), 0);
}

TEST(DockGeometryTest, TabStripLayoutCountsEveryTab) {
  struct Case {
    std::vector<int32_t> widths;
    int32_t areaWidth;
    std::vector<int32_t> lefts;
  };
  const Case cases[] = {
      {{80, 80}, 352, {4, 75}},                         // room enough
      {{80}, 20, {4}},                                  // one tab never moves
      {{100, 100, 100, 100}, 300, {4, 60, 115, 171}},  // overflow 106 over 3 steps
      {{100, 100, 100, 100}, 406, {4, 95, 186, 277}},  // overflow 0 exactly: 0 pulled
  };
  for (const Case& c : cases) {
    std::vector<int32_t> lefts(c.widths.size(), -1);
    LayoutOverlappingTabs(c.widths.data(), nullptr, static_cast<int32_t>(c.widths.size()), c.areaWidth,
                          kTabStripReserve, lefts.data());
    EXPECT_EQ(lefts, c.lefts) << c.areaWidth;
  }
}

TEST(DockGeometryTest, PaneHeaderLayoutMovesOnlyExpandedViewsAndCountsAll) {
  const std::vector<int32_t> widths{100, 100, 100, 100, 100};
  struct Case {
    std::vector<bool> shown;
    int32_t areaWidth;
    std::vector<int32_t> lefts;
  };
  const Case cases[] = {
      // Every view shown: x ends at 459, overflow 459 - 270 = 189, step 189 / 4 = 47.25.
      {{true, true, true, true, true}, 300, {4, 48, 91, 135, 179}},
      // View 2 unexpanded: x ends at 368, overflow 98, still over 4 steps (24.5); the
      // expanded views after index 0 are pulled by c = 1, 2, 3.
      {{true, true, false, true, true}, 300, {4, 70, -1, 137, 203}},
      // No overflow: the layout stands.
      {{true, false, false, false, true}, 300, {4, -1, -1, -1, 95}},
      // The first view unexpanded: the first shown one counts as c = 1.
      {{false, true, true, true, true}, 300, {-1, -21, 46, 112, 179}},
  };
  for (const Case& c : cases) {
    std::vector<int32_t> lefts(widths.size(), -1);
    bool shown[5];
    for (int i = 0; i < 5; ++i) shown[i] = c.shown[i];
    LayoutOverlappingTabs(widths.data(), shown, 5, c.areaWidth, kPaneHeaderReserve, lefts.data());
    EXPECT_EQ(lefts, c.lefts);
  }
}

// Three panes: the first 19 + 96 high, the second 23 + 96, the third collapsed to its 23.
std::vector<SPaneMeasure> ThreePanes() {
  SPaneMeasure first;
  first.viewHeight = 96;
  SPaneMeasure second;
  second.headerHeight = kPaneHeader;
  second.viewHeight = 96;
  SPaneMeasure third;
  third.headerHeight = kPaneHeader;
  return {first, second, third};
}

TEST(DockGeometryTest, DropTargetsOverStackedPanes) {
  const std::vector<SPaneMeasure> panes = ThreePanes();
  struct Case {
    int32_t y;
    int32_t target;
  };
  const Case cases[] = {
      {-10, 3}, {0, 3}, {3, 3},  // rows 0-3 of the first pane: a new pane at 0
      {4, 0},   {110, 0},        // the first pane's tabs
      {111, 4}, {114, 4},        // its bottom 4 rows: before the second pane
      {115, 4}, {122, 4},        // rows 0-7 of the second pane
      {123, 1}, {229, 1},        //
      {230, 5}, {241, 5},        // the bottom of the second, the top of the third
      {242, 2}, {252, 2},        //
      {253, -1}, {900, -1},      // the bottom 4 rows of the last pane and below: append
  };
  for (const Case& c : cases) EXPECT_EQ(GetDropTarget(panes, c.y), c.target) << c.y;
  EXPECT_EQ(GetDropTarget({}, 10), -1);

  // The zones that go with them.
  EXPECT_EQ(DropTargetZone(panes, 200, 0), (TRect{0, 0, 200, 115}));
  EXPECT_EQ(DropTargetZone(panes, 200, 1), (TRect{0, 119, 200, 234}));
  EXPECT_EQ(DropTargetZone(panes, 200, 3), (TRect{0, -4, 200, 4}));
  EXPECT_EQ(DropTargetZone(panes, 200, 4), (TRect{0, 113, 200, 121}));
  EXPECT_EQ(DropTargetZone(panes, 200, -1), (TRect{0, 253, 200, 261}));
}

TEST(DockGeometryTest, StackingStretchesTheLastShownView) {
  std::vector<SPaneMeasure> panes = ThreePanes();
  panes[2].viewHeight = 50;
  std::vector<SPanePlace> places;
  EXPECT_EQ(StackPanes(panes, -1, places), 115 + 119 + 73);
  EXPECT_EQ(places[1].top, 115);
  EXPECT_EQ(places[1].viewTop, 138);
  EXPECT_EQ(places[2].viewHeight, 50);
  StackPanes(panes, 400, places);
  EXPECT_EQ(places[2].viewTop, 257);
  EXPECT_EQ(places[2].viewHeight, 143);
  // A collapsed last pane keeps its header only.
  panes[2].viewHeight = 0;
  StackPanes(panes, 400, places);
  EXPECT_EQ(places[2].viewHeight, 0);
  EXPECT_EQ(places[2].height, kPaneHeader);
}

TEST(DockGeometryTest, TrackLimitsFromThePanes) {
  std::vector<SPaneMeasure> panes = ThreePanes();
  panes[0].minWidth = 210;
  panes[1].minWidth = 250;
  panes[2].minHeight = kPaneHeader;
  panes[2].maxHeight = kPaneHeader;  // collapsed: no taller than its header
  STrackLimits limits;
  ASSERT_TRUE(ApplyTrackLimits(panes, {0, 14}, limits));
  EXPECT_EQ(limits.minWidth, 250);
  EXPECT_EQ(limits.minHeight, 14 + 115 + 119 + 23);
  EXPECT_EQ(limits.maxHeight, 14 + 115 + 119 + 23);
  // A last pane without a maximum gives none; a proposed minimum above ours stays.
  panes[2].maxHeight = 0;
  STrackLimits proposed{300, 10, 0, 0};
  ASSERT_TRUE(ApplyTrackLimits(panes, {0, 14}, proposed));
  EXPECT_EQ(proposed.minWidth, 300);
  EXPECT_EQ(proposed.minHeight, 271);
  EXPECT_EQ(proposed.maxHeight, 0);
  STrackLimits untouched{1, 2, 3, 4};
  EXPECT_FALSE(ApplyTrackLimits({}, {0, 14}, untouched));
  EXPECT_EQ(untouched.maxHeight, 4);
}

TEST(DockGeometryTest, SnapToMonitorEdges) {
  const std::vector<TRect> monitors{{0, 0, 1920, 1080}};
  struct Case {
    TRect rect;
    TRect expected;
  };
  const Case cases[] = {
      {{5, 300, 205, 400}, {0, 300, 200, 400}},          // 5 pixels: snaps
      {{9, 300, 209, 400}, {9, 300, 209, 400}},          // 9: does not
      {{-8, 300, 192, 400}, {0, 300, 200, 400}},         // from outside
      {{1712, 1075, 1912, 1175}, {1720, 1075, 1920, 1175}},  // right edge; top is 1075, not near
      {{500, 1000, 700, 1084}, {500, 996, 700, 1080}},   // bottom edge
      {{3000, 300, 3200, 400}, {3000, 300, 3200, 400}},  // away from the monitor
  };
  for (const Case& c : cases) {
    TRect r = c.rect;
    SnapRect(r, monitors, nullptr, {});
    EXPECT_EQ(r, c.expected) << c.rect.left << "," << c.rect.top;
  }
}

TEST(DockGeometryTest, SnapToOtherForms) {
  const std::vector<TRect> monitors{{0, 0, 1920, 1080}};
  const TRect other{400, 300, 600, 500};
  // Beside it with the tops 6 pixels apart: the sides meet and the tops line up.
  TRect r{603, 306, 703, 406};
  SnapRect(r, monitors, nullptr, {other});
  EXPECT_EQ(r, (TRect{600, 300, 700, 400}));
  // Already touching side to side: the bottoms line up.
  r = {300, 395, 400, 497};
  SnapRect(r, monitors, nullptr, {other});
  EXPECT_EQ(r, (TRect{300, 398, 400, 500}));
  // Below it: stacked, lefts lined up.
  r = {405, 505, 505, 605};
  SnapRect(r, monitors, nullptr, {other});
  EXPECT_EQ(r, (TRect{400, 500, 500, 600}));
  // Outside the band around it: nothing.
  r = {610, 306, 710, 406};
  SnapRect(r, monitors, nullptr, {other});
  EXPECT_EQ(r, (TRect{610, 306, 710, 406}));
}

// A rectangle pulled right (or down) onto an edge used to get a larger tolerance for the later
// targets (8 + the distance), so a form 10 pixels away snapped; the tolerance shrinks by the
// distance moved whichever way it moved.
TEST(DockGeometryTest, SnapToleranceShrinksWhateverWayTheRectangleMoved) {
  const std::vector<TRect> monitors{{0, 0, 1920, 1080}};
  const TRect ownerArea{100, 100, 1000, 900};
  const TRect form{-110, 500, 90, 700};  // right edge 10 left of the owner area's left
  TRect r{95, 550, 295, 650};
  SnapRect(r, monitors, &ownerArea, {form});
  EXPECT_EQ(r, (TRect{100, 550, 300, 650}));

  int32_t lo = 95, hi = 195, t = 8;
  SnapEdges(lo, hi, 100, 1000, t);
  EXPECT_EQ(lo, 100);
  EXPECT_EQ(hi, 200);
  EXPECT_EQ(t, 3);
  lo = 995, hi = 1003, t = 8;
  SnapEdges(lo, hi, 0, 1000, t);
  EXPECT_EQ(lo, 992);
  EXPECT_EQ(t, 5);
}

}  // namespace
}  // namespace tf
