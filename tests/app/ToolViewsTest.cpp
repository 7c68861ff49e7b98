// The zoom, eyedropper, view-drag and click tools on a headless document window.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "app/DrawWindow.h"
#include "app/DrawWindowFakes.h"
#include "app/ToolViews.h"
#include "document/LayerData.h"
#include "paint/PaintParam.h"
#include "paper/EventFileIO.h"
#include "paper/PaperEventFile.h"
#include "platform/Host.h"
#include "playback/HeadlessPlaybackWindow.h"
#include "playback/PlaybackTestSupport.h"
#include "playback/Player.h"
#include "support/FakeKeyState.h"

namespace tf::test {
namespace {

struct Views {
  DrawWindowTestScope scope;
  FakeKeyState held;
  FakeWindow w{120, 90};

  TPaper& P() { return w.Paper(); }
  TDrawWindow& W() { return *w.window; }
  TPoint C(int32_t x, int32_t y) { return W().CanvasToClient({x, y}); }
  void Mode(int32_t mode) {
    w.owner.tool->SetToolMode(mode, false);
    W().SelectToolHandler(false);
  }
  void Press(MouseButton b, TPoint p) {
    W().FormMouseDown(b, b == MouseButton::kLeft ? kSsLeft : kSsRight, p.x, p.y);
  }
  void Move(MouseButton b, TPoint p) { W().FormMouseMove(b == MouseButton::kLeft ? kSsLeft : kSsRight, p.x, p.y); }
  void Release(MouseButton b, TPoint p) { W().FormMouseUp(b, 0, p.x, p.y); }
  void Click(MouseButton b, TPoint p) {
    Press(b, p);
    Release(b, p);
  }
};

TEST(ToolViewsTest, ZoomDirectionByToolButtonAndSchemeKey) {
  struct Case {
    int32_t mode;
    MouseButton button;
    int32_t scheme;
    int32_t key;  // 0: none
    bool in;
  };
  const Case cases[] = {
      {31, MouseButton::kLeft, 0, 0, true},          {31, MouseButton::kRight, 0, 0, false},
      {32, MouseButton::kLeft, 0, 0, false},         {32, MouseButton::kRight, 0, 0, true},
      {31, MouseButton::kLeft, 0, kVkMenu, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.mode << " " << static_cast<int>(c.button) << " " << c.key);
    Views v;
    AppProfile().ShortcutMode = c.scheme;
    v.W().SetZoomRatio(1, 1, false);
    v.Mode(c.mode);
    if (c.key != 0) v.held.keys().insert(c.key);
    const float before = v.P().GetZoom();
    v.Click(c.button, v.C(60, 45));
    EXPECT_EQ(v.P().GetZoom() > before, c.in);
    EXPECT_EQ(v.P().GetZoom() < before, !c.in);
  }
}

TEST(ToolViewsTest, RotationDragEscapeReturnsToThePressAngleAndAClickResets) {
  Views v;
  v.Mode(30);
  const SSize client = v.w.site.client;
  const TPoint c{client.width / 2, client.height / 2};
  // A quarter turn against the clock on the screen: from right of the centre to below it.
  v.Press(MouseButton::kLeft, {c.x + 100, c.y});
  v.Move(MouseButton::kLeft, {c.x + 70, c.y + 70});
  v.Move(MouseButton::kLeft, {c.x, c.y + 100});
  v.Release(MouseButton::kLeft, {c.x, c.y + 100});
  const float turned = v.P().rotation.radians;
  EXPECT_TRUE(v.P().IsRotated());
  EXPECT_NEAR(std::fabs(v.P().rotation.degrees), 90.0f, 0.01f);
  // Escape during a second drag restores exactly the angle at its press.
  v.Press(MouseButton::kLeft, {c.x + 100, c.y});
  v.Move(MouseButton::kLeft, {c.x + 50, c.y + 80});
  EXPECT_NE(v.P().rotation.radians, turned);
  v.W().KeyDown(kKeyEscape, false, 0);
  EXPECT_EQ(v.P().rotation.radians, turned);
  EXPECT_EQ(v.W().InputFlags() & (kInLeft | kInChanged), 0);
  // A click resets the view upright.
  v.Click(MouseButton::kLeft, {c.x + 10, c.y + 10});
  EXPECT_FALSE(v.P().IsRotated());
}

TEST(ToolViewsTest, HandDragScrollsWithTheMouse) {
  Views v;
  v.W().SetZoomRatio(4, 1, false);
  v.Mode(29);
  const TPoint before = v.C(60, 45);
  v.Press(MouseButton::kLeft, {200, 150});
  // Steps of whole canvas pixels at zoom 4.
  v.Move(MouseButton::kLeft, {188, 142});
  v.Move(MouseButton::kLeft, {180, 134});
  v.Release(MouseButton::kLeft, {180, 134});
  const TPoint after = v.C(60, 45);
  EXPECT_EQ(after.x - before.x, -20);
  EXPECT_EQ(after.y - before.y, -16);
}

TEST(ToolViewsTest, BrushSizeDragFormulaAndARangeOfOneValue) {
  struct Case {
    float s0;
    int32_t dx;
    float minimum, maximum;
    float size;
  };
  float lo = 0, hi = 0;
  BitmapNibScaleRange(4, 512, lo, hi);
  const Case cases[] = {
      {10.0f, 20, 0.1f, 200.0f, 10.0f + 2000.0f / 199.9f},
      {10.0f, -5, 0.1f, 200.0f, 10.0f - 500.0f / 199.9f},
      {100.0f, 30, lo, hi, lo < hi ? 100.0f + 3000.0f / (hi - lo) : 100.0f},
      {100.0f, 30, 1.0f, 1.0f, 100.0f},
  };
  for (const Case& c : cases) EXPECT_FLOAT_EQ(ViewTools::BrushSizeAfterDrag(c.s0, c.dx, c.minimum, c.maximum), c.size);
  // Through the window with the interim tool window's plain nib.
  Views v;
  v.Mode(6);
  const float s0 = v.w.owner.tool->GetNibSize();
  v.Press(MouseButton::kLeft, {100, 100});
  v.Move(MouseButton::kLeft, {120, 100});
  v.Release(MouseButton::kLeft, {120, 100});
  EXPECT_NEAR(v.w.owner.tool->GetNibSize(), s0 + 2000.0f / 199.9f, 0.01f);
}

TEST(ToolViewsTest, ClickToolsFillSelectEraseAndReplay) {
  Views v;
  TPaper& paper = v.P();
  const uint32_t white = paper.GetLayer(0)->Store()->GetPixel(10, 10);
  v.Mode(12);
  v.Click(MouseButton::kLeft, v.C(10, 10));
  const uint32_t filled = paper.GetLayer(0)->Store()->GetPixel(100, 80);
  EXPECT_NE(filled, white);
  EXPECT_TRUE(v.W().IsModified());
  v.Mode(20);
  v.Click(MouseButton::kLeft, v.C(50, 50));
  EXPECT_TRUE(paper.HasSelection());
  v.Mode(13);
  v.Click(MouseButton::kLeft, v.C(30, 30));
  EXPECT_NE(paper.GetLayer(0)->Store()->GetPixel(30, 30), filled);
  // Beside the layer nothing happens.
  const std::vector<std::string> before = Fingerprint(paper);
  v.Mode(12);
  v.Click(MouseButton::kLeft, v.C(-5, 40));
  EXPECT_EQ(Fingerprint(paper), before);

  char path[] = "/tmp/tf-clicks-XXXXXX";
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

TEST(ToolViewsTest, WandCursors) {
  struct Case {
    int32_t scheme;
    int32_t key;
    bool shift;
    int32_t other;
    int32_t cursor;
  };
  const Case cases[] = {
      {0, 0, false, 0, 22}, {0, 0, false, 1, 34}, {0, 0, true, 1, 35}, {0, kVkMenu, false, 1, 36},
      {0, kVkMenu, true, 1, 37}, {0, 0, false, 0, 22}, {1, kVkControl, true, 0, 25}, {1, 0, true, 0, 23},
  };
  for (const Case& c : cases) {
    Views v;
    AppProfile().ShortcutMode = c.scheme;
    AppProfile().OtherToolCursor = c.other;
    if (c.key != 0) v.held.keys().insert(c.key);
    v.Mode(20);
    const bool mask = !(c.cursor == 22);
    if (mask) ASSERT_TRUE(v.P().SelectRect(&v.W().Flow(), 0, true, 0, {5, 5}, {20, 20}));
    if (!mask && v.P().HasActiveMask()) continue;  // every document holds a mask object
    EXPECT_EQ(ViewTools::WandCursor(v.W(), c.shift ? kSsShift : 0), c.cursor);
  }
}

}  // namespace
}  // namespace tf::test
