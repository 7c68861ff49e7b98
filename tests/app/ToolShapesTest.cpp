// The shape, fill and selection tools on a headless document window: gestures to document
// commands, the snaps, the multi-click shapes' keys and buttons, and a recorded session that
// replays to the same document.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "app/DrawWindow.h"
#include "app/DrawWindowFakes.h"
#include "app/ToolShapes.h"
#include "document/LayerData.h"
#include "paper/EventFileIO.h"
#include "paper/PaperEventFile.h"
#include "platform/Host.h"
#include "playback/HeadlessPlaybackWindow.h"
#include "playback/PlaybackTestSupport.h"
#include "playback/Player.h"
#include "support/FakeKeyState.h"

namespace tf::test {
namespace {

// A window with a white 120 x 90 document and gestures in canvas coordinates.
struct Shapes {
  DrawWindowTestScope scope;
  FakeKeyState held;
  FakeWindow w{120, 90};

  TPaper& P() { return w.Paper(); }
  TPoint C(int32_t x, int32_t y) { return w.window->CanvasToClient({x, y}); }
  void Mode(int32_t mode) {
    w.owner.tool->SetToolMode(mode, false);
    w.window->SelectToolHandler(false);
  }
  void Down(TPoint p, uint32_t shift = 0) { w.window->FormMouseDown(MouseButton::kLeft, kSsLeft | shift, p.x, p.y); }
  void Move(TPoint p) { w.window->FormMouseMove(kSsLeft, p.x, p.y); }
  void Hover(TPoint p) { w.window->FormMouseMove(0, p.x, p.y); }
  void Up(TPoint p, uint32_t shift = 0) { w.window->FormMouseUp(MouseButton::kLeft, shift, p.x, p.y); }
  void Drag(TPoint a, TPoint b) {
    Down(a);
    for (int32_t i = 1; i <= 4; ++i) Move({a.x + (b.x - a.x) * i / 4, a.y + (b.y - a.y) * i / 4});
    Up(b);
  }
  void Click(TPoint p, uint32_t shift = 0) {
    Hover(p);
    Down(p, shift);
    Up(p, shift);
  }
  void Double(TPoint p) { w.window->FormMouseDown(MouseButton::kLeft, kSsLeft | kSsDouble, p.x, p.y); }
  // A multi-click shape through the points, finished by a double click on the last.
  void Clicks(const std::vector<TPoint>& points, bool finish = true) {
    for (const TPoint& p : points) Click(p);
    if (finish) {
      Double(points.back());
      Up(points.back());
    }
  }
  uint64_t Layer() {
    const std::vector<std::string> f = Fingerprint(P());
    return std::hash<std::string>{}(f[1]);
  }
  uint32_t Pixel(int32_t x, int32_t y) { return P().GetLayer(0)->Store()->GetPixel(x, y); }
  int32_t Selected(int32_t x, int32_t y) { return P().SelectionValueAt(C(x, y).x, C(x, y).y); }
};

TEST(ToolShapesTest, FillsPaintTheirShapesAndDegenerateOnesNothing) {
  struct Case {
    const char* name;
    int32_t mode;
    std::vector<TPoint> points;  // canvas; two for a drag, more for clicks
    bool clicks;
    TPoint inside;
    bool painted;
  };
  const std::vector<Case> cases = {
      {"rectangle", 8, {{10, 10}, {40, 30}}, false, {25, 20}, true},
      {"ellipse", 9, {{10, 10}, {60, 50}}, false, {35, 30}, true},
      {"polygon", 10, {{10, 10}, {60, 10}, {35, 50}}, true, {35, 20}, true},
      {"freehand of one point", 11, {{10, 10}, {10, 10}}, false, {10, 10}, false},
      {"polygon of two", 10, {{10, 10}, {60, 10}}, true, {35, 10}, false},
      {"zero ellipse", 9, {{20, 20}, {20, 20}}, false, {20, 20}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Shapes s;
    s.Mode(c.mode);
    const uint64_t before = s.Layer();
    std::vector<TPoint> client;
    for (const TPoint& p : c.points) client.push_back(s.C(p.x, p.y));
    if (c.clicks) {
      s.Clicks(client);
    } else {
      s.Drag(client[0], client[1]);
    }
    EXPECT_EQ(s.Layer() != before, c.painted);
    if (c.painted) EXPECT_NE(s.Pixel(c.inside.x, c.inside.y), 0xFFFFFFFFu);
    EXPECT_EQ(s.w.window->IsModified(), c.painted);
    EXPECT_EQ(s.w.window->InputFlags() & (kInCollecting | kInOverlay | kInLeft), 0);
  }
}

TEST(ToolShapesTest, SelectionsCombineDeselectByAClickAndKeepItWithShift) {
  Shapes s;
  s.Mode(14);
  s.Drag(s.C(10, 10), s.C(40, 30));
  EXPECT_GT(s.Selected(20, 20), 0);
  EXPECT_EQ(s.Selected(80, 60), 0);
  // A horizontal drag selects nothing and leaves the selection.
  s.Drag(s.C(50, 50), s.C(90, 50));
  EXPECT_GT(s.Selected(20, 20), 0);
  // A lasso added with the add modifier of scheme 0 (Shift).
  s.held.keys().insert(kVkShift);
  s.Mode(17);
  s.Down(s.C(60, 40));
  for (const TPoint& p : {TPoint{100, 40}, TPoint{100, 80}, TPoint{60, 80}}) s.Move(s.C(p.x, p.y));
  s.Up(s.C(60, 80));
  EXPECT_GT(s.Selected(20, 20), 0);
  EXPECT_GT(s.Selected(80, 60), 0);
  // A Shift click outside keeps the selection; a plain one deselects.
  s.Mode(14);
  s.Click(s.C(5, 85), kSsShift);
  EXPECT_GT(s.Selected(20, 20), 0);
  s.held.keys().clear();
  s.Click(s.C(5, 85));
  EXPECT_LE(s.Selected(20, 20), 0);
  EXPECT_FALSE(s.P().HasSelection());
}

TEST(ToolShapesTest, SelectionSnapMovesTheRectangleEndBackAtZoomFour) {
  Shapes s;
  s.w.window->SetZoomRatio(4, 1, false);
  s.Mode(14);
  // The canvas origin at the client edge: scroll so that canvas (0, 0) is client (0, 0).
  for (int32_t i = 0; i < 3 && s.C(0, 0) != TPoint{0, 0}; ++i) s.w.window->ScrollBy(-s.C(0, 0).x, -s.C(0, 0).y);
  ASSERT_EQ(s.C(0, 0), (TPoint{0, 0}));
  ASSERT_EQ(s.C(10, 10), (TPoint{40, 40}));
  s.Drag({0, 0}, {43, 43});
  // 43 snaps to 40, then moves back by 5 to 35: canvas 8.375 truncated to 8, the last selected
  // pixel (without the move back it would be 10).
  // Pixel i is the client square 4i..4i + 3.
  auto selected = [&](int32_t i) { return s.P().SelectionValueAt(4 * i + 2, 4 * i + 2); };
  EXPECT_GT(selected(8), 0);
  EXPECT_LE(selected(9), 0);
  EXPECT_LE(selected(10), 0);
}

TEST(ToolShapesTest, LineSnapsToFifteenDegreesWithTheConstraintKey) {
  Shapes s;
  s.Mode(1);
  s.held.keys().insert(kVkShift);
  s.w.window->SetZoomRatio(1, 1, false);
  const TPoint a = s.C(20, 20);
  struct Case {
    TPoint to;
    TPoint expect;
  };
  // (10, 3): 16.7 degrees → 15, length 10.44 → (10.08, 2.70); (10, 1) → 0 degrees, length 10.05.
  for (const Case& c : {Case{{10, 3}, {10, 2}}, Case{{10, 1}, {10, 0}}}) {
    s.Down(a);
    s.Move({a.x + c.to.x, a.y + c.to.y});
    const std::vector<TPoint>& list = s.w.window->PositionList();
    ASSERT_GE(list.size(), 2u);
    EXPECT_EQ(list[1].x - a.x, c.expect.x);
    EXPECT_EQ(list[1].y - a.y, c.expect.y);
    s.w.window->KeyDown(kKeyEscape, false, 0);
    s.Up({a.x + c.to.x, a.y + c.to.y});
  }
}

TEST(ToolShapesTest, PolygonKeysAndRightClicks) {
  Shapes s;
  s.Mode(10);
  const uint64_t before = s.Layer();
  // Two vertices and Space: nothing is filled and the rubber band goes.
  s.Clicks({s.C(10, 10), s.C(60, 10)}, false);
  EXPECT_NE(s.w.window->InputFlags() & kInCollecting, 0);
  s.w.window->KeyDown(' ', false, 0);
  EXPECT_EQ(s.w.window->InputFlags() & (kInCollecting | kInOverlay), 0);
  EXPECT_EQ(s.Layer(), before);
  // Escape abandons three vertices.
  s.Clicks({s.C(10, 10), s.C(60, 10), s.C(35, 50)}, false);
  s.w.window->KeyDown(kKeyEscape, false, 0);
  EXPECT_EQ(s.w.window->InputFlags() & kInCollecting, 0);
  EXPECT_EQ(s.Layer(), before);
  // A right click removes the last vertex: the fourth is taken back, the triangle fills.
  s.Clicks({s.C(10, 10), s.C(60, 10), s.C(35, 50), s.C(100, 80)}, false);
  EXPECT_EQ(s.w.window->ShapeCount(), 4);
  const TPoint r = s.C(35, 50);
  s.w.window->FormMouseDown(MouseButton::kRight, kSsRight, r.x, r.y);
  s.w.window->FormMouseUp(MouseButton::kRight, 0, r.x, r.y);
  EXPECT_EQ(s.w.window->ShapeCount(), 3);
  s.w.window->KeyDown(' ', false, 0);
  EXPECT_NE(s.Layer(), before);
  EXPECT_NE(s.Pixel(35, 20), 0xFFFFFFFFu);
  EXPECT_EQ(s.Pixel(100, 75), 0xFFFFFFFFu);
  // A right click on a single vertex abandons the shape.
  s.Click(s.C(10, 10));
  s.w.window->FormMouseDown(MouseButton::kRight, kSsRight, 5, 5);
  s.w.window->FormMouseUp(MouseButton::kRight, 0, 5, 5);
  EXPECT_EQ(s.w.window->InputFlags() & kInCollecting, 0);
}

TEST(ToolShapesTest, OverlayFollowsTheShape) {
  Shapes s;
  s.Mode(15);
  std::vector<TPoint> points;
  bool closed = false;
  s.Down(s.C(10, 10));
  s.Move(s.C(14, 12));  // shorter than 16 client pixels: no outline yet
  EXPECT_FALSE(ShapeTools::Overlay(*s.w.window, points, closed));
  s.Move(s.C(60, 50));
  ASSERT_TRUE(ShapeTools::Overlay(*s.w.window, points, closed));
  EXPECT_TRUE(closed);
  EXPECT_GT(points.size(), 8u);
  s.Up(s.C(60, 50));
  EXPECT_FALSE(ShapeTools::Overlay(*s.w.window, points, closed));
  EXPECT_GT(s.Selected(35, 30), 0);
}

// The document's recording saved and played into a playback window gives the same document.
void ExpectReplays(TPaper& paper);

TEST(ToolShapesTest, SessionReplaysToTheSameDocument) {
  Shapes s;
  TPaper& paper = s.P();
  // Outlines with the pen.
  s.Mode(3);
  s.Drag(s.C(5, 5), s.C(30, 25));
  s.Mode(4);
  s.Drag(s.C(40, 5), s.C(80, 35));
  s.Mode(1);
  s.Drag(s.C(5, 60), s.C(50, 85));
  s.Mode(5);
  s.Clicks({s.C(60, 50), s.C(110, 50), s.C(90, 85)});
  s.Mode(2);
  s.Clicks({s.C(10, 40), s.C(30, 45), s.C(20, 55)});
  ExpectReplays(s.P());
  // Fills.
  s.Mode(8);
  s.Drag(s.C(70, 10), s.C(100, 30));
  s.Mode(9);
  s.Drag(s.C(10, 10), s.C(30, 40));
  s.Mode(10);
  s.Clicks({s.C(50, 60), s.C(80, 60), s.C(65, 80)});
  s.Mode(11);
  s.Down(s.C(90, 60));
  for (const TPoint& p : {TPoint{115, 60}, TPoint{115, 85}, TPoint{95, 80}}) s.Move(s.C(p.x, p.y));
  s.Up(s.C(95, 80));
  ExpectReplays(s.P());
  // Selections in the combine modes.
  s.Mode(14);
  s.Drag(s.C(10, 10), s.C(50, 40));
  s.held.keys().insert(kVkShift);
  s.Mode(15);
  s.Drag(s.C(40, 30), s.C(80, 70));
  s.held.keys() = {kVkMenu};
  s.Mode(16);
  s.Clicks({s.C(20, 20), s.C(60, 20), s.C(40, 60)});
  s.held.keys() = {kVkShift, kVkMenu};
  s.Mode(17);
  s.Down(s.C(30, 30));
  for (const TPoint& p : {TPoint{70, 30}, TPoint{70, 70}, TPoint{30, 70}}) s.Move(s.C(p.x, p.y));
  s.Up(s.C(30, 70));
  s.held.keys().clear();
  // A fill through the selection.
  s.Mode(8);
  s.Drag(s.C(0, 0), s.C(119, 89));
  ASSERT_TRUE(paper.HasSelection());
  ExpectReplays(paper);
}

void ExpectReplays(TPaper& paper) {
  char path[] = "/tmp/tf-shapes-XXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  close(fd);
  CPaperEventFileDocument file(paper);
  ASSERT_TRUE(SaveEventFile(path, file, false, -1, -1, true));
  HeadlessPlaybackWindow b;
  CPlayer player(b.Paper(), &b);
  ASSERT_EQ(player.startPlay(path), kStartPlayStarted);
  EXPECT_EQ(PlayToEnd(player), kPlayStepEnded);
  player.stopPlay(true);
  std::remove(path);
  EXPECT_EQ(Fingerprint(b.Paper()), Fingerprint(paper));
}

}  // namespace
}  // namespace tf::test
