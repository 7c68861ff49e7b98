// The document window without its widgets: view, dispatch, temporary tools, the stroke road,
// the gate, captions and the close question.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "app/DrawWindow.h"
#include "app/DrawWindowFakes.h"
#include "document/LayerData.h"
#include "events/EventStream.h"
#include "paint/StrokeMngr.h"
#include "paint/PaintParam.h"
#include "paint/ToolDefs.h"
#include "platform/Host.h"

namespace tf::test {
namespace {

// Keys held by the test: any virtual key.
class HeldKeys final : public InputHost {
 public:
  HeldKeys() : previous_(SetInputHost(this)) {}
  ~HeldKeys() override { SetInputHost(previous_); }
  bool IsKeyDown(int32_t key) override { return keys.count(key) != 0; }
  std::set<int32_t> keys;

 private:
  InputHost* previous_;
};

class DrawWindowTest : public ::testing::Test {
 protected:
  DrawWindowTestScope scope;
  HeldKeys held;
};

// ---- view ----

TEST_F(DrawWindowTest, ScrollToCanvasPointCentresThePointAtEveryZoom) {
  FakeWindow w(800, 600);
  ASSERT_TRUE(w.ok);
  TPaper& paper = w.Paper();
  const float points[][2] = {{10, 20}, {400, 300}, {799, 599}, {123.4f, 567.8f}, {0, 0}};
  for (const TZoomRatio& step : kZoomSteps) {
    paper.SetZoomRatio(step.numerator, step.denominator);
    const float z = paper.GetZoom();
    for (const auto& p : points) {
      w.window->ScrollToCanvasPoint(false, p[0], p[1]);
      int32_t cx = 0, cy = 0;
      paper.GetViewCenter(400, 300, cx, cy);
      // Scroll positions are client pixels and the canvas origin whole canvas pixels: a client
      // pixel of each rounding and one canvas pixel of the origin.
      const float tolerance = 2.0f / z + 2.0f;
      EXPECT_NEAR(cx, p[0], tolerance) << step.numerator << "/" << step.denominator;
      EXPECT_NEAR(cy, p[1], tolerance) << step.numerator << "/" << step.denominator;
    }
  }
}

TEST_F(DrawWindowTest, ScrollingFarRightStopsAndTheStripCoversTheRest) {
  FakeWindow w(300, 200);
  ASSERT_TRUE(w.ok);
  w.Paper().SetZoomRatio(2, 1);
  w.window->UpdateScrollBars(nullptr);
  w.window->ApplyScrollPosition(1000000, 0);
  const int32_t margin = w.window->MarginX();
  const int32_t largest = 600 + 2 * margin - 400;
  EXPECT_EQ(w.site.posH, largest);
  const TRect& right = w.window->MarginRects()[1];
  EXPECT_EQ(right.right, 400);
  EXPECT_EQ(right.left, 400 + (600 + 2 * margin) - (largest + margin + 400));
}

TEST_F(DrawWindowTest, ZoomStepAtTheBoundsStillCentresThePointUnderThePointer) {
  FakeWindow w(800, 600);
  ASSERT_TRUE(w.ok);
  TPaper& paper = w.Paper();
  for (const auto& [n, in] : {std::pair{16, true}, std::pair{0, false}}) {
    if (n == 16) {
      w.window->SetZoomRatio(16, 1, false);
    } else {
      w.window->SetZoomRatio(1, 16, false);
    }
    const TZoomRatio before = paper.zoom;
    w.window->ScrollToCanvasPoint(false, 400, 300);
    const TPoint pointer{50, 40};
    float ux = 0, uy = 0;
    w.window->ClientToCanvasF(50, 40, ux, uy);
    w.window->ZoomStepAt(pointer, in);
    EXPECT_EQ(paper.zoom, before);
    int32_t cx = 0, cy = 0;
    paper.GetViewCenter(400, 300, cx, cy);
    const float tolerance = 2.0f / paper.GetZoom() + 1.0f;
    EXPECT_NEAR(cx, std::clamp(ux, 0.0f, 800.0f), tolerance);
    EXPECT_NEAR(cy, std::clamp(uy, 0.0f, 600.0f), tolerance);
  }
}

TEST_F(DrawWindowTest, TurningHidesTheBarsAndZeroOr360RestoresThemAndTheCentre) {
  AppProfile().showScrollBar = true;
  FakeWindow w(800, 600);
  ASSERT_TRUE(w.ok);
  TPaper& paper = w.Paper();
  for (float back : {0.0f, 360.0f}) {
    w.window->ScrollToCanvasPoint(false, 250, 180);
    EXPECT_TRUE(w.site.barsVisible);
    int32_t x0 = 0, y0 = 0;
    paper.GetViewCenter(400, 300, x0, y0);
    w.window->SetViewRotation(true, 30.0f);
    EXPECT_TRUE(paper.IsRotated());
    EXPECT_FALSE(w.site.barsVisible);
    EXPECT_EQ(w.owner.panels[kPanelRotation], RotationText(30.0f));
    w.window->SetViewRotation(true, back);
    EXPECT_FALSE(paper.IsRotated());
    EXPECT_TRUE(w.site.barsVisible);
    int32_t x1 = 0, y1 = 0;
    paper.GetViewCenter(400, 300, x1, y1);
    EXPECT_NEAR(x1, x0, 1);
    EXPECT_NEAR(y1, y0, 1);
  }
}

TEST_F(DrawWindowTest, MappingRoundTripsUnderRotation) {
  FakeWindow w(800, 600);
  ASSERT_TRUE(w.ok);
  for (float degrees : {0.0f, 30.0f, 90.0f, 200.0f}) {
    for (const TZoomRatio z : {TZoomRatio{1, 2}, TZoomRatio{1, 1}, TZoomRatio{3, 1}}) {
      w.window->SetZoomRatio(z.numerator, z.denominator, false);
      w.window->SetViewRotation(true, degrees);
      for (const TPoint c : {TPoint{100, 100}, TPoint{400, 320}, TPoint{650, 500}}) {
        const TPoint client = w.window->CanvasToClient(c);
        float x = 0, y = 0;
        w.window->ClientToCanvasF(static_cast<float>(client.x), static_cast<float>(client.y), x, y);
        const float tolerance = 1.0f / w.Paper().GetZoom() + 1.0f;
        EXPECT_NEAR(x, c.x, tolerance) << degrees;
        EXPECT_NEAR(y, c.y, tolerance) << degrees;
      }
    }
    w.window->SetViewRotation(true, 0.0f);
  }
}

TEST_F(DrawWindowTest, ZoomToFitTakesTheTurnedCanvasAndNeverEnlargesWhenForbidden) {
  FakeWindow w(1000, 500);
  ASSERT_TRUE(w.ok);
  w.site.client = {580, 480};
  w.window->ZoomToFit(false, true);
  EXPECT_EQ(w.Paper().zoom, (TZoomRatio{500, 1000}));
  w.window->SetViewRotation(true, 90.0f);
  w.window->ZoomToFit(false, true);
  EXPECT_EQ(w.Paper().zoom, (TZoomRatio{400, 1000}));
  EXPECT_FALSE(w.window->CanZoomToFit());
  FakeWindow small(100, 100);
  small.site.client = {580, 480};
  small.window->ZoomToFit(false, false);
  EXPECT_EQ(small.Paper().zoom, (TZoomRatio{1, 1}));
  EXPECT_TRUE(small.window->CanZoomToFit());
}

// Scrolling a resampled view moves the view buffer and renders only the uncovered strips: the
// picture is the one a whole render gives.
TEST_F(DrawWindowTest, ScrolledViewBufferEqualsAWholeRender) {
  FakeWindow w(800, 600);
  ASSERT_TRUE(w.ok);
  TPaper& paper = w.Paper();
  CLayerData* layer = paper.GetLayer(0);
  for (int32_t y = 0; y < 600; y += 2)
    for (int32_t x = (y / 2) % 3; x < 800; x += 3)
      layer->Store()->SetPixel(x + layer->offsetX, y + layer->offsetY,
                               0xFF000000u | static_cast<uint32_t>(x * 7919 + y * 104729) & 0xFFFFFFu);
  layer->Store()->SetPixel(5 + layer->offsetX, 5 + layer->offsetY, 0x40FF0000u);
  paper.RedrawAll(false);
  struct Case {
    TZoomRatio zoom;
    bool smooth, canvasColour;
    int32_t dx, dy;
  };
  int32_t shifted = 0;
  for (const Case& c : {Case{{1, 4}, true, true, 16, 8}, Case{{1, 4}, false, true, -16, 4},
                        Case{{1, 3}, true, true, 9, -6}, Case{{2, 3}, false, true, 16, 8},
                        Case{{1, 4}, false, false, 16, 8}, Case{{1, 2}, true, false, -20, -12},
                        Case{{3, 2}, false, true, 3, 3}}) {
    SCOPED_TRACE(std::to_string(c.zoom.numerator) + "/" + std::to_string(c.zoom.denominator));
    paper.SetShowCanvasColor(c.canvasColour);
    w.window->SetZoomAntialias(c.smooth);
    w.window->SetZoomRatio(c.zoom.numerator, c.zoom.denominator, false);
    w.window->ScrollToCanvasPoint(false, 300, 250);
    paper.RenderView();
    const TPoint before = w.window->CanvasToClient({300, 250});
    w.window->ScrollBy(c.dx, c.dy);
    const TPoint after = w.window->CanvasToClient({300, 250});
    if (after.x - before.x == c.dx && after.y - before.y == c.dy) ++shifted;
    const TTC& view = paper.ViewBuffer();
    std::vector<uint32_t> incremental;
    for (int32_t y = 0; y < view.Height(); ++y)
      for (int32_t x = 0; x < view.Width(); ++x) incremental.push_back(view.GetPixel(x, y));
    paper.RenderView();
    size_t differ = 0, i = 0;
    for (int32_t y = 0; y < view.Height(); ++y)
      for (int32_t x = 0; x < view.Width(); ++x) differ += incremental[i++] != view.GetPixel(x, y) ? 1 : 0;
    EXPECT_EQ(differ, 0u);
  }
  EXPECT_GE(shifted, 5);
}

// ---- dispatch ----

std::vector<std::string>& Calls() {
  static std::vector<std::string> calls;
  return calls;
}

template <int Group>
SToolHandler Recorder() {
  SToolHandler h;
  auto name = [](const char* what) { return std::to_string(Group) + ":" + what; };
  static auto log = [](const std::string& s) { Calls().push_back(s); };
  (void)name;
  h.leftDown = [](TDrawWindow&, uint32_t, const TPoint&) { log(std::to_string(Group) + ":ld"); };
  h.leftDrag = [](TDrawWindow&, uint32_t, const TPoint&) { log(std::to_string(Group) + ":lg"); };
  h.leftUp = [](TDrawWindow&, uint32_t, const TPoint&) { log(std::to_string(Group) + ":lu"); };
  h.leftDouble = [](TDrawWindow&, uint32_t, const TPoint&) { log(std::to_string(Group) + ":l2"); };
  h.rightDown = [](TDrawWindow&, uint32_t, const TPoint&) { log(std::to_string(Group) + ":rd"); };
  h.rightDrag = [](TDrawWindow&, uint32_t, const TPoint&) { log(std::to_string(Group) + ":rg"); };
  h.rightUp = [](TDrawWindow&, uint32_t, const TPoint&) { log(std::to_string(Group) + ":ru"); };
  h.rightDouble = [](TDrawWindow&, uint32_t, const TPoint&) { log(std::to_string(Group) + ":r2"); };
  h.hover = [](TDrawWindow&, uint32_t, const TPoint&) { log(std::to_string(Group) + ":hv"); };
  h.cancel = [](TDrawWindow& w, const TPoint* p) { w.Finish(p); };
  return h;
}

// One input event of a sequence.
struct Event {
  char kind;  // 'd' down, 'm' move, 'u' up, '2' double click
  MouseButton button;
  uint32_t shift;
};

TEST_F(DrawWindowTest, EventSequencesCallTheirSlotsAndLeaveTheirFlags) {
  SetToolHandlerRoutines(0, Recorder<0>());
  SetToolHandlerRoutines(3, Recorder<3>());
  SetToolHandlerRoutines(1, Recorder<1>());
  constexpr auto L = MouseButton::kLeft;
  constexpr auto R = MouseButton::kRight;
  constexpr auto M = MouseButton::kMiddle;
  struct Case {
    const char* name;
    int32_t middleFunction;
    bool playing;
    std::set<int32_t> keys;
    std::vector<Event> events;
    std::vector<std::string> calls;
    uint16_t flagsAfter;
    int32_t beeps;
  };
  const std::vector<Case> cases = {
      {"left drag", 0, false, {}, {{'d', L, 8}, {'m', L, 8}, {'m', L, 8}, {'u', L, 0}},
       {"0:ld", "0:lg", "0:lg", "0:lu"}, 0, 0},
      {"left held", 0, false, {}, {{'d', L, 8}, {'m', L, 8}}, {"0:ld", "0:lg"},
       kInLeft | kInDrag, 0},
      {"hover", 0, false, {}, {{'m', L, 0}, {'m', L, 0}}, {"0:hv", "0:hv"}, 0, 0},
      {"double click", 0, false, {}, {{'d', L, 8}, {'u', L, 0}, {'2', L, 8 | 64}, {'u', L, 0}},
       {"0:ld", "0:lu", "0:l2"}, 0, 0},
      {"right while left", 0, false, {}, {{'d', L, 8}, {'d', R, 24}, {'u', R, 8}, {'u', L, 0}},
       {"0:ld", "0:lu"}, 0, 0},
      {"right drag", 0, false, {}, {{'d', R, 16}, {'m', R, 16}, {'u', R, 0}}, {"0:rd", "0:rg", "0:ru"}, 0, 0},
      {"middle hand", 0, false, {}, {{'d', M, 32}, {'m', M, 32}, {'u', M, 0}, {'m', L, 0}},
       {"3:ld", "3:lg", "3:lu", "0:hv"}, 0, 0},
      {"middle rotation", 1, false, {}, {{'d', M, 32}, {'u', M, 0}}, {"3:ld", "3:lu"}, 0, 0},
      {"left during playback", 0, true, {}, {{'d', L, 8}, {'m', L, 8}, {'u', L, 0}}, {"0:hv"}, 0, 1},
      {"double during playback", 0, true, {}, {{'2', L, 8 | 64}}, {}, 0, 1},
      {"space hand during playback", 0, true, {kVkSpace}, {{'d', L, 8}, {'u', L, 0}}, {"3:ld", "3:lu"}, 0, 0},
      {"ctrl space zoom", 0, false, {kVkSpace, kVkControl}, {{'d', R, 16}, {'u', R, 0}}, {"1:rd", "1:ru"}, 0, 0},
      {"middle aborts middle", 0, false, {}, {{'d', M, 32}, {'d', M, 32}, {'u', M, 0}},
       {"3:ld", "3:ld", "3:lu"}, 0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeWindow w(200, 150);
    ASSERT_TRUE(w.ok);
    AppProfile().mouseMBtnFunc = c.middleFunction;
    held.keys = c.keys;
    w.window->SetPlaying(c.playing);
    w.window->SelectToolHandler(false);
    Calls().clear();
    for (const Event& e : c.events) {
      switch (e.kind) {
        case 'd':
        case '2':
          w.window->FormMouseDown(e.button, e.shift, 30, 40);
          break;
        case 'm': w.window->FormMouseMove(e.shift, 31, 41); break;
        case 'u': w.window->FormMouseUp(e.button, e.shift, 32, 42); break;
      }
    }
    EXPECT_EQ(Calls(), c.calls);
    EXPECT_EQ(w.window->InputFlags(), c.flagsAfter);
    EXPECT_EQ(w.site.beeps, c.beeps);
    // Every temporary tool ends with its button.
    if ((c.flagsAfter & kInDrag) == 0) EXPECT_EQ(w.owner.tool->ToolMode(), 0);
    held.keys.clear();
    w.window->SetPlaying(false);
  }
  ResetToolHandlers();
}

TEST_F(DrawWindowTest, EachMiddleButtonFunctionHoldsItsToolForThePress) {
  const int32_t modes[11] = {29, 30, 6, 21, 7, 8, 11, 12, 14, 17, 20};
  FakeWindow w(100, 100);
  ASSERT_TRUE(w.ok);
  for (int32_t f = 0; f <= 10; ++f) {
    AppProfile().mouseMBtnFunc = f;
    w.window->FormMouseDown(MouseButton::kMiddle, kSsMiddle, 30, 30);
    EXPECT_EQ(w.owner.tool->ToolMode(), modes[f]) << f;
    EXPECT_EQ(w.window->InputFlags() & (kInMiddle | kInTempTool), kInMiddle | kInTempTool) << f;
    w.window->FormMouseUp(MouseButton::kMiddle, 0, 30, 30);
    EXPECT_EQ(w.owner.tool->ToolMode(), 0) << f;
    EXPECT_EQ(w.window->InputFlags(), 0) << f;
  }
  // Every tool a middle button holds is built.
  EXPECT_FALSE(scope.DebugSaid("The document window: the"));
}

TEST_F(DrawWindowTest, TemporaryToolsFollowTheEightRules) {
  struct Case {
    int32_t scheme;
    int32_t mode;
    std::set<int32_t> keys;
    bool hover;
    bool insideSelection;
    bool found;
    int32_t group, variant;
  };
  const int32_t S = kVkShift, C = kVkControl, A = kVkMenu, P = kVkSpace;
  const std::vector<Case> cases = {
      {0, 0, {C, P}, false, false, true, 1, 0},     // 1. zoom
      {0, 0, {C, P, A}, false, false, true, 1, 1},  // 1. zoom out
      {0, 0, {C, A}, false, false, true, 3, 2},     // 2. brush size
      {0, 14, {C, A}, false, false, false, 0, 0},   // 2. not for a selection tool
      {0, 0, {P}, false, false, true, 3, 0},        // 3. hand
      {0, 0, {P, S}, false, false, true, 3, 0},
      {0, 0, {A, P}, false, false, true, 3, 1},     // 4. rotation, scheme 0
      {1, 0, {A}, false, false, true, 3, 1},        // 4. rotation, scheme 1
      {1, 0, {A, S}, false, false, false, 0, 0},
      {0, 0, {A}, false, false, true, 2, 0},        // 5. eyedropper, scheme 0
      {0, 31, {A}, false, false, true, 1, 1},       // 6. the zoom tool reversed
      {0, 14, {A}, false, false, false, 0, 0},      // 5. not selection-like
      {1, 0, {S}, false, false, true, 2, 0},        // 5. eyedropper, scheme 1
      {1, 29, {S}, false, false, false, 0, 0},      // 5. not in the view group
      {1, 31, {C}, false, false, true, 1, 1},       // 6. scheme 1's modifier
      {0, 14, {}, false, true, true, 5, 1},         // 7. selection move
      {0, 14, {}, true, true, false, 0, 0},         // 7. not for hover
      {0, 14, {S}, false, true, false, 0, 0},       // 7. not with Shift
      {0, 14, {}, false, false, false, 0, 0},       // 8.
      {0, 0, {}, false, false, false, 0, 0},        // 8.
      {2, 12, {}, false, false, true, 4, 2},        // another scheme: the tool itself
  };
  for (const Case& c : cases) {
    FakeWindow w(200, 150);
    ASSERT_TRUE(w.ok);
    if (c.insideSelection) {
      ASSERT_TRUE(w.Paper().SelectAll(&w.window->Flow(), 0, true));
      w.site.mouse = w.window->CanvasToClient(TPoint{100, 75});
    }
    AppProfile().ShortcutMode = c.scheme;
    w.owner.tool->SetToolMode(c.mode, false);
    held.keys = c.keys;
    int32_t group = -1, variant = -1;
    const bool found = w.window->GetTempTool(group, variant, c.hover);
    EXPECT_EQ(found, c.found) << "scheme " << c.scheme << " mode " << c.mode << " keys " << c.keys.size();
    if (found && c.found) {
      EXPECT_EQ(group, c.group) << "mode " << c.mode;
      EXPECT_EQ(variant, c.variant) << "mode " << c.mode;
    }
    held.keys.clear();
  }
}

// ---- strokes ----

TEST_F(DrawWindowTest, MinimumPointDistanceByEngineAndZoom) {
  struct Case {
    int32_t engine;
    float zoom, distance;
  };
  for (const Case& c : {Case{2, 4.0f, 1.0f}, Case{2, 8.0f, 0.5f}, Case{2, 1.0f, 1.0f}, Case{2, 2.0f, 1.0f},
                        Case{2, 16.0f, 0.25f}, Case{2, 0.25f, 1.0f}, Case{1, 0.25f, 4.0f}, Case{1, 0.5f, 3.0f},
                        Case{1, 1.0f, 2.0f}, Case{1, 4.0f, 2.0f}, Case{1, 1.0f / 3.0f, 2.0f}}) {
    EXPECT_EQ(TDrawWindow::MinimumPointDistance(c.engine, c.zoom), c.distance) << c.engine << " " << c.zoom;
  }
}

// Mouse strokes of small random steps at each zoom and engine: a point is taken exactly when the
// stroke holds fewer than two points or it lies farther than the minimum distance from the last
// point (the stroke manager's for engine 2, the stroke's for the older engines).
TEST_F(DrawWindowTest, SpacingTakesAPointOnlyBeyondTheMinimumDistanceAndAlwaysTheFirstTwo) {
  FakeWindow w(200, 150);
  ASSERT_TRUE(w.ok);
  TPaper& paper = w.Paper();
  TStroke& stroke = *w.window->MainStroke();
  const CEventMngr& events = *paper.EventMngr();
  uint32_t seed = 12345;
  auto next = [&seed](int32_t range) {
    seed = seed * 1103515245u + 12345u;
    return static_cast<int32_t>((seed >> 16) % static_cast<uint32_t>(range));
  };
  struct Case {
    int32_t engine;
    TZoomRatio zoom;
  };
  int32_t skipped = 0, taken = 0;
  for (const Case& c : {Case{2, {1, 1}}, Case{2, {4, 1}}, Case{2, {8, 1}}, Case{1, {1, 4}}, Case{1, {1, 2}},
                        Case{1, {1, 1}}, Case{1, {3, 1}}}) {
    w.owner.engine = c.engine;
    paper.SelectStrokeEngine(c.engine);
    w.window->SetZoomRatio(c.zoom.numerator, c.zoom.denominator, false);
    const float minimum = TDrawWindow::MinimumPointDistance(c.engine, paper.GetZoom());
    for (int32_t s = 0; s < 4; ++s) {
      TPoint p{190 + next(20), 140 + next(20)};
      const TPoint centre = w.window->CanvasToClient(TPoint{100, 75});
      p = {centre.x + next(9) - 4, centre.y + next(9) - 4};
      ASSERT_EQ(w.window->StrokeTo(stroke, false, static_cast<float>(p.x), static_cast<float>(p.y), 1), -1);
      // The first two points are taken however close.
      ASSERT_EQ(w.window->StrokeTo(stroke, false, static_cast<float>(p.x), static_cast<float>(p.y), 1), 1);
      ASSERT_EQ(events.strokePointCount, 2);
      for (int32_t i = 0; i < 40; ++i) {
        p.x += next(7) - 3;
        p.y += next(7) - 3;
        float cx = 0, cy = 0;
        w.window->ClientToCanvasF(static_cast<float>(p.x), static_cast<float>(p.y), cx, cy);
        float lx = 0, ly = 0;
        if (c.engine == 2) {
          lx = paper.StrokeMngr()->GetLastPosition().x;
          ly = paper.StrokeMngr()->GetLastPosition().y;
        } else {
          SStrokePoint last{};
          stroke.GetNewestPoint(last);
          lx = last.x;
          ly = last.y;
        }
        const bool expectTaken = std::sqrt((cx - lx) * (cx - lx) + (cy - ly) * (cy - ly)) > minimum;
        const int32_t before = events.strokePointCount;
        EXPECT_EQ(w.window->StrokeTo(stroke, false, static_cast<float>(p.x), static_cast<float>(p.y), 1), 1);
        EXPECT_EQ(events.strokePointCount - before, expectTaken ? 1 : 0)
            << "engine " << c.engine << " zoom " << paper.GetZoom() << " point " << i;
        (expectTaken ? taken : skipped) += 1;
      }
      w.window->StrokeEnd(stroke, false, static_cast<float>(p.x), static_cast<float>(p.y));
    }
  }
  EXPECT_GT(skipped, 50);
  EXPECT_GT(taken, 50);
}

TEST_F(DrawWindowTest, PointLimitEndsTheStrokeRefreshesItsThumbnailAndTheNextMoveBeginsAnother) {
  FakeWindow w(64, 64);
  ASSERT_TRUE(w.ok);
  TPaper& paper = w.Paper();
  TStroke& stroke = *w.window->MainStroke();
  const CLayerData* layer = paper.GetLayer(0);
  ASSERT_NE(layer->Thumbnail(), nullptr);
  const TMTC& thumbnail = *layer->Thumbnail();
  const uint32_t white = thumbnail.GetPixel(thumbnail.Width() / 2, thumbnail.Height() / 2);
  const CEventMngr& events = *paper.EventMngr();
  int32_t calls = 0;
  auto point = [&](int32_t i) {
    ++calls;
    const TPoint client = w.window->CanvasToClient(TPoint{20 + (i % 2) * 24, 32});
    return w.window->StrokeTo(stroke, false, static_cast<float>(client.x), static_cast<float>(client.y), 1.0f);
  };
  EXPECT_EQ(point(0), -1);  // begins
  for (int32_t i = 1; events.strokePointCount < TDrawWindow::kStrokePointLimit; ++i) ASSERT_EQ(point(i), 1);
  EXPECT_EQ(events.strokePointCount, 60000);
  EXPECT_EQ(point(1), 1);  // holding 60000 it still takes the next one
  EXPECT_EQ(events.strokePointCount, 60001);
  EXPECT_TRUE(w.window->IsStrokeActive());
  EXPECT_EQ(point(0), -1);  // holding 60001: ends the stroke, adds nothing
  EXPECT_FALSE(w.window->IsStrokeActive());
  // The stroke's pictures were refreshed although StrokeEnd never ran.
  EXPECT_NE(thumbnail.GetPixel(thumbnail.Width() / 2, thumbnail.Height() / 2), white);
  EXPECT_EQ(point(1), -1);  // the next move begins a new stroke
  EXPECT_TRUE(w.window->IsStrokeActive());
}

TEST_F(DrawWindowTest, ModifiersAndPlaybackRefuseStrokesUnlessTheProgramDrivesThem) {
  FakeWindow w(100, 100);
  ASSERT_TRUE(w.ok);
  TStroke& stroke = *w.window->MainStroke();
  for (int32_t key : {kVkShift, kVkSpace, kVkControl, kVkMenu}) {
    held.keys = {key};
    EXPECT_EQ(w.window->StrokeTo(stroke, false, 10, 10, 1), -1);
    EXPECT_FALSE(w.window->IsStrokeActive()) << key;
  }
  held.keys.clear();
  w.window->SetPlaying(true);
  EXPECT_EQ(w.window->StrokeTo(stroke, false, 10, 10, 1), -1);
  EXPECT_FALSE(w.window->IsStrokeActive());
  stroke.SetProgramDriven(true);
  EXPECT_EQ(w.window->StrokeTo(stroke, false, 10, 10, 1), -1);
  EXPECT_TRUE(w.window->IsStrokeActive());
  w.window->StrokeEnd(stroke, false, 20, 20);
  EXPECT_FALSE(w.window->IsStrokeActive());
  stroke.SetProgramDriven(false);
  w.window->SetPlaying(false);
  EXPECT_FALSE(w.window->IsModified() && false);
}

TEST_F(DrawWindowTest, SpaceHeldPressBeginsTheHandNotAStroke) {
  FakeWindow w(100, 100);
  ASSERT_TRUE(w.ok);
  held.keys = {kVkSpace};
  w.window->FormMouseDown(MouseButton::kLeft, kSsLeft, 20, 20);
  EXPECT_EQ(w.owner.tool->ToolMode(), 29);
  w.window->FormMouseMove(kSsLeft, 40, 40);
  EXPECT_FALSE(w.window->IsStrokeActive());
  w.window->FormMouseUp(MouseButton::kLeft, 0, 40, 40);
  EXPECT_EQ(w.owner.tool->ToolMode(), 0);
  EXPECT_EQ(w.Paper().EventMngr()->strokePointCount, 0);
}

TEST_F(DrawWindowTest, DeactivationMidStrokeEndsItAtTheLastPenPosition) {
  FakeWindow w(100, 100);
  ASSERT_TRUE(w.ok);
  const TPoint a = w.window->CanvasToClient({20, 20});
  const TPoint b = w.window->CanvasToClient({40, 30});
  const TPoint c = w.window->CanvasToClient({60, 40});
  w.window->FormMouseDown(MouseButton::kLeft, kSsLeft, a.x, a.y);
  w.window->FormMouseMove(kSsLeft, b.x, b.y);
  w.window->FormMouseMove(kSsLeft, c.x, c.y);
  EXPECT_TRUE(w.window->IsStrokeActive());
  EXPECT_TRUE(w.window->IsModified());
  w.window->Activated(false);
  EXPECT_FALSE(w.window->IsStrokeActive());
  EXPECT_TRUE(w.Paper().CanUndo(0));
  EXPECT_TRUE(scope.warnings.Texts().empty());
}

// A stroke wholly in the grey margin beside the canvas changed no pixel: it leaves nothing to
// undo and says nothing (it used to end as a failed undo save with the out-of-memory warning).
TEST_F(DrawWindowTest, StrokeBesideTheCanvasEndsQuietly) {
  FakeWindow w(64, 64);
  ASSERT_TRUE(w.ok);
  const TPoint origin = w.window->CanvasToClient({0, 0});
  ASSERT_GT(origin.x, 40);
  w.window->FormMouseDown(MouseButton::kLeft, kSsLeft, 5, 5);
  w.window->FormMouseMove(kSsLeft, 15, 20);
  w.window->FormMouseMove(kSsLeft, 30, 10);
  w.window->FormMouseUp(MouseButton::kLeft, 0, 30, 10);
  EXPECT_FALSE(w.window->IsStrokeActive());
  EXPECT_TRUE(scope.warnings.Texts().empty());
  EXPECT_FALSE(w.Paper().CanUndo(0));
  // A stroke that reaches into the canvas is kept and undone as one.
  w.window->FormMouseDown(MouseButton::kLeft, kSsLeft, 5, 5);
  for (const TPoint canvas : {TPoint{10, 10}, TPoint{30, 30}, TPoint{50, 20}}) {
    const TPoint inside = w.window->CanvasToClient(canvas);
    w.window->FormMouseMove(kSsLeft, inside.x, inside.y);
  }
  w.window->FormMouseUp(MouseButton::kLeft, 0, 40, 40);
  EXPECT_TRUE(scope.warnings.Texts().empty());
  EXPECT_TRUE(w.Paper().CanUndo(0));
}

// ---- gate, captions, close ----

TEST_F(DrawWindowTest, CommandGate) {
  FakeWindow w(50, 50);
  ASSERT_TRUE(w.ok);
  EXPECT_TRUE(w.window->PrepareCommand(false, false));
  w.window->SetPlaying(true);
  EXPECT_FALSE(w.window->PrepareCommand(false, false));
  EXPECT_TRUE(w.window->PrepareCommand(true, false));
  EXPECT_FALSE(w.window->PrepareCommand(true, true));
  w.window->SetPlaybackPaused(true);
  EXPECT_TRUE(w.window->PrepareCommand(true, true));
  w.window->SetPlaying(false);
  w.window->SetInputFlag(kInKeyMove, true);
  EXPECT_FALSE(w.window->PrepareCommand(true, false));
  EXPECT_FALSE(w.window->IsUsable());
  w.window->SetInputFlag(kInKeyMove, false);
  w.owner.unattended = true;
  EXPECT_FALSE(w.window->PrepareCommand(true, false));
  w.owner.unattended = false;
  TStroke& stroke = *w.window->MainStroke();
  w.window->StrokeTo(stroke, false, 5, 5, 1);
  EXPECT_FALSE(w.window->PrepareCommand(true, false));
  w.window->StrokeEnd(stroke, false, 8, 8);
  EXPECT_TRUE(w.window->PrepareCommand(true, false));
}

TEST_F(DrawWindowTest, UntitledNamesAndCaptionNumbers) {
  EXPECT_EQ(MakeUntitledName(), "名称未設定 1");
  EXPECT_EQ(MakeUntitledName(), "名称未設定 2");
  FakeOwner owner;
  FakeSite a, b, c;
  auto one = std::make_unique<TDrawWindow>(a, owner);
  auto two = std::make_unique<TDrawWindow>(b, owner);
  auto three = std::make_unique<TDrawWindow>(c, owner);
  owner.windows = {one.get(), two.get(), three.get()};
  ASSERT_TRUE(one->InitNewDocument("/a/pic.tfi", 20, 20, false, 72, 0));
  ASSERT_TRUE(two->InitNewDocument("/b/pic.tfi", 20, 20, false, 72, 0));
  ASSERT_TRUE(three->InitNewDocument("/b/other.tfi", 20, 20, false, 72, 0));
  // The window whose caption was set last is " (1)", the others number on in window order.
  EXPECT_EQ(b.caption, "pic.tfi (1)");
  EXPECT_EQ(a.caption, "pic.tfi (2)");
  EXPECT_EQ(c.caption, "other.tfi");
  one->UpdateCaption(false);
  EXPECT_EQ(a.caption, "pic.tfi (1)");
  EXPECT_EQ(b.caption, "pic.tfi (2)");
  EXPECT_EQ(c.caption, "other.tfi");
  owner.windows.clear();
}

TEST_F(DrawWindowTest, CloseQuestion) {
  struct Case {
    bool modified, isProtected, unattended, keyMove, tempTool;
    int32_t answer;
    bool asked, closes;
  };
  const Case cases[] = {
      {false, false, false, false, false, kResultYes, false, true},
      {true, false, false, false, false, kResultNo, true, true},
      {true, false, false, false, false, kResultCancel, true, false},
      {true, false, false, false, false, kResultYes, true, false},  // Save As not built: stays
      {true, true, false, false, false, kResultNo, false, true},
      {true, false, true, false, false, kResultNo, false, true},
      {false, false, false, true, false, kResultNo, false, false},
      {false, false, false, false, true, kResultNo, false, false},
  };
  for (const Case& c : cases) {
    FakeWindow w(30, 30);
    ASSERT_TRUE(w.ok);
    w.Paper().filePath = "pic.tfi";
    w.window->SetModified(c.modified);
    w.Paper().protectedDocument = c.isProtected ? 1 : 0;
    w.owner.unattended = c.unattended;
    w.window->SetInputFlag(kInKeyMove, c.keyMove);
    w.window->SetInputFlag(kInTempTool, c.tempTool);
    scope.confirm.Clear();
    scope.confirm.Answer(c.answer);
    EXPECT_EQ(w.window->CloseQuery(), c.closes);
    ASSERT_EQ(scope.confirm.Questions().size(), c.asked ? 1u : 0u);
    if (c.asked) {
      EXPECT_EQ(scope.confirm.Questions()[0].text, "\"pic.tfi\" は変更されています。\r保存しますか？");
      EXPECT_EQ(scope.confirm.Questions()[0].buttons, kButtonsYesNoCancel);
    }
    w.window->SetInputFlags(0);
  }
}

TEST_F(DrawWindowTest, KeysZoomAndCycleWindows) {
  FakeWindow w(400, 300);
  ASSERT_TRUE(w.ok);
  const TZoomRatio start = w.Paper().zoom;
  EXPECT_TRUE(w.window->KeyDown(kKeyF5, false, 0));
  EXPECT_EQ(w.Paper().zoom, (TZoomRatio{3, 2}));
  EXPECT_TRUE(w.window->KeyDown(kKeyF6, false, 0));
  EXPECT_EQ(w.Paper().zoom, start);
  EXPECT_TRUE(w.window->KeyDown(kKeyPadPlus, false, kSsCtrl));
  EXPECT_EQ(w.Paper().zoom, (TZoomRatio{3, 2}));
  EXPECT_TRUE(w.window->KeyDown(kKeyMinus, false, kSsCtrl));
  EXPECT_EQ(w.Paper().zoom, start);
  EXPECT_FALSE(w.window->KeyDown(kKeyF5, true, 0));  // a repeat is not handled here
  EXPECT_EQ(w.Paper().zoom, start);
  EXPECT_TRUE(w.window->KeyDown(kKeyF6, false, kSsCtrl));
  EXPECT_TRUE(w.window->KeyDown(kKeyF6, false, kSsCtrl | kSsShift));
  EXPECT_EQ(w.owner.nextWindow, (std::vector<bool>{false, true}));
  EXPECT_TRUE(w.window->HandleCloseKey(kKeyF4));
  EXPECT_FALSE(w.window->HandleCloseKey(kKeyF5));
}

TEST_F(DrawWindowTest, RightPickSetsForegroundShiftBackgroundCtrlReadsTheLayer) {
  AppProfile().useRBtnColPicker = true;
  FakeWindow w(40, 40);
  ASSERT_TRUE(w.ok);
  TPaper& paper = w.Paper();
  // The layer holds red at the window point; the composed picture the same.
  CLayerData* layer = paper.GetLayer(0);
  const TPoint client = w.window->CanvasToClient(TPoint{10, 10});
  const TPoint canvas = w.window->ClientToCanvasInt(client.x, client.y);
  layer->Store()->SetPixel(canvas.x + layer->offsetX, canvas.y + layer->offsetY, 0xFF0000FFu);
  TStroke& stroke = w.owner.tool->GetStroke();
  stroke.SetColor(0x000000);
  stroke.SetBackColor(0x000000);
  // Ctrl: the layer (red); without: the composed picture (still white: not recomposed).
  w.window->FormMouseDown(MouseButton::kRight, kSsRight | kSsCtrl, client.x, client.y);
  w.window->FormMouseUp(MouseButton::kRight, kSsCtrl, client.x, client.y);
  EXPECT_EQ(stroke.GetColor() & 0xFFFFFFu, 0x0000FFu);
  w.window->FormMouseDown(MouseButton::kRight, kSsRight | kSsShift, client.x, client.y);
  w.window->FormMouseUp(MouseButton::kRight, kSsShift, client.x, client.y);
  EXPECT_EQ(stroke.GetBackColor() & 0xFFFFFFu, 0xFFFFFFu);
  EXPECT_EQ(stroke.GetColor() & 0xFFFFFFu, 0x0000FFu);
}

}  // namespace
}  // namespace tf::test
