// The document window's view arithmetic, as tables.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "app/ViewGeometry.h"
#include "paper/Paper.h"

namespace tf {
namespace {

SViewInputs Inputs(int32_t cw, int32_t ch, int32_t n, int32_t d, int32_t w, int32_t h, int32_t margin = 640) {
  SViewInputs in;
  in.canvasWidth = cw;
  in.canvasHeight = ch;
  in.zoomNumerator = n;
  in.zoomDenominator = d;
  in.clientWidth = w;
  in.clientHeight = h;
  in.marginX = margin;
  in.marginY = margin;
  in.horizontalBarHeight = 16;
  in.verticalBarWidth = 16;
  return in;
}

TEST(ViewGeometryTest, ScrollBarsOverZoomsAndSizes) {
  struct Case {
    int32_t cw, ch, n, d, w, h;
    int32_t maxH, maxV, large, small;
  };
  const Case cases[] = {
      {800, 600, 1, 1, 400, 300, 800 + 1280, 600 + 1280, 384, 10},
      {800, 600, 2, 1, 400, 300, 1600 + 1280, 1200 + 1280, 192, 20},
      {800, 600, 1, 2, 400, 300, 400 + 1280, 300 + 1280, 768, 5},
      {801, 601, 1, 3, 400, 300, 267 + 1280, 200 + 1280, 1152, 3},
      {800, 600, 16, 1, 400, 300, 12800 + 1280, 9600 + 1280, 24, 160},
      {1000, 1000, 2, 3, 400, 400, 666 + 1280, 666 + 1280, 576, 6},
  };
  for (const Case& c : cases) {
    SScrollBarGeometry h, v;
    ComputeScrollBars(Inputs(c.cw, c.ch, c.n, c.d, c.w, c.h), h, v);
    SCOPED_TRACE(std::to_string(c.n) + "/" + std::to_string(c.d));
    EXPECT_EQ(h.maximum, c.maxH);
    EXPECT_EQ(v.maximum, c.maxV);
    EXPECT_EQ(h.page, c.w);
    EXPECT_EQ(v.page, c.h);
    EXPECT_EQ(h.largeStep, c.large);
    EXPECT_EQ(h.smallStep, c.small);
    EXPECT_EQ(v.smallStep, c.small);
    EXPECT_EQ(h.top, c.h - 16);
    EXPECT_EQ(h.length, c.w - 16);
    EXPECT_EQ(v.left, c.w - 16);
    EXPECT_EQ(v.length, c.h - 16);
    EXPECT_EQ(h.MaxPosition(), c.maxH - c.w);
  }
}

// Below zoom 1/10 trunc(10 z) is 0, and a client under 17 pixels makes the page step 0 or less:
// the arrows and pages would not move the view.
TEST(ViewGeometryTest, ScrollStepsAreAtLeastOneAtSmallZoomsAndTinyClients) {
  for (const auto& [n, d, w] : {std::tuple{1, 16, 400}, std::tuple{1, 12, 400}, std::tuple{1, 1, 16},
                                std::tuple{1, 1, 3}, std::tuple{16, 1, 10}, std::tuple{1, 16, 0}}) {
    SScrollBarGeometry h, v;
    ComputeScrollBars(Inputs(500, 500, n, d, w, w), h, v);
    EXPECT_GE(h.smallStep, 1) << n << "/" << d << " client " << w;
    EXPECT_GE(h.largeStep, 1) << n << "/" << d << " client " << w;
    EXPECT_GE(v.smallStep, 1);
    EXPECT_GE(v.largeStep, 1);
  }
}

TEST(ViewGeometryTest, FarRightStopsAtTheLargestPositionAndTheStripCoversTheRest) {
  // Canvas 300 at 2:1, client 500, margin 640: maximum 600 + 1280 = 1880, largest position 1380.
  const SViewInputs in = Inputs(300, 200, 2, 1, 500, 400);
  const SScrollPlacement p = PlaceScrollPosition(in, 5000, 0);
  EXPECT_EQ(p.positionX, 1380);
  // The canvas ends at client x = 600 + 640 - 1380 = -140... it starts at origin trunc(740 / 2).
  EXPECT_EQ(p.clientOffset.x, 0);
  EXPECT_EQ(p.canvasOrigin.x, 370);
  // a + margin + w = 2520 reaches the maximum: the strip from w + 1880 - 2520 = -140 to 500.
  EXPECT_EQ(p.marginRight.left, -140);
  EXPECT_EQ(p.marginRight.right, 500);
  EXPECT_EQ(p.marginRight.bottom, 400);
  // At the left end the canvas starts inside the client.
  const SScrollPlacement left = PlaceScrollPosition(in, 600, 0);
  EXPECT_EQ(left.clientOffset.x, 40);
  EXPECT_EQ(left.canvasOrigin.x, 0);
  EXPECT_EQ(left.marginLeft.right, 40);
  EXPECT_EQ(left.marginLeft.bottom, 400);
  // Below 1:1 no strips.
  const SScrollPlacement small = PlaceScrollPosition(Inputs(300, 200, 1, 2, 500, 400), 10, 10000);
  EXPECT_EQ(small.marginLeft.right - small.marginLeft.left, 0);
  EXPECT_EQ(small.marginBottom.bottom - small.marginBottom.top, 0);
  EXPECT_EQ(small.clientOffset.x, 630);
}

TEST(ViewGeometryTest, CentringPositionsAndPlacement) {
  EXPECT_EQ(ScrollPositionCentring(100.0f, 2.0f, 401, 640), static_cast<int32_t>(200.0f - 200.5f + 0.5f) + 640);
  EXPECT_EQ(ScrollPositionCentring(0.0f, 1.0f, 400, 640), -199 + 640);  // trunc(-199.5)
  EXPECT_EQ(ScrollPositionAt(100.7f, 1.0f, 401, 640), 100 + 640 - 200);
  EXPECT_EQ(PlaceCanvasPosition(2000, 301), (2000 - 301) / 2 - 32);
  EXPECT_EQ(RecentrePosition(2001, 601), 1000 - 300 - 32);
}

TEST(ViewGeometryTest, FitZoomWithAnglesAndWithoutEnlarging) {
  struct Case {
    int32_t cw, ch, w, h;
    float degrees;
    bool enlarge;
    int32_t n, d;
  };
  const Case cases[] = {
      {1000, 500, 580, 480, 0, true, 500, 1000},   // width-bound: 500 / 1000
      {500, 1000, 580, 480, 0, true, 400, 1000},   // height-bound
      {1000, 500, 580, 480, 90, true, 400, 1000},  // turned: 500 x 1000
      {100, 100, 580, 480, 0, true, 400, 100},     // enlarges to fit
      {100, 100, 580, 480, 0, false, 1, 1},        // not above 1:1
      {100, 100, 580, 480, 45, true, 400, 141},    // extent trunc(141.42 + 0.5)
  };
  for (const Case& c : cases) {
    int32_t n = 0, d = 0;
    const float radians = static_cast<float>(c.degrees * std::numbers::pi / 180.0);
    ASSERT_TRUE(FitZoomRatio(c.cw, c.ch, c.w, c.h, radians, c.enlarge, n, d));
    EXPECT_EQ(n, c.n) << c.cw << "x" << c.ch << " at " << c.degrees;
    EXPECT_EQ(d, c.d) << c.cw << "x" << c.ch << " at " << c.degrees;
  }
  int32_t n = 7, d = 7;
  EXPECT_FALSE(FitZoomRatio(0, 100, 500, 500, 0, true, n, d));
  EXPECT_EQ(n, 7);
}

TEST(ViewGeometryTest, DeltasRoundTripUnderRotation) {
  for (float degrees : {0.0f, 30.0f, 90.0f, 135.0f, 200.0f, 333.0f}) {
    const float a = static_cast<float>(degrees * std::numbers::pi / 180.0);
    for (float z : {0.25f, 1.0f, 3.0f}) {
      for (const auto& [dx, dy] : {std::pair{40, 0}, std::pair{-25, 70}, std::pair{300, -120}}) {
        const TPoint c = ClientDeltaToCanvas(dx, dy, z, std::sin(a), std::cos(a));
        const TPoint back = CanvasDeltaToClient(c.x, c.y, z, std::sin(a), std::cos(a));
        // Each way truncates: the trip comes back within a zoomed pixel and a bit.
        EXPECT_NEAR(back.x, dx, z * 1.5f + 1.0f) << degrees << " " << z;
        EXPECT_NEAR(back.y, dy, z * 1.5f + 1.0f) << degrees << " " << z;
      }
    }
  }
  EXPECT_EQ(ClientDeltaToCanvas(10, 0, 2.0f, 0.0f, 1.0f).x, 5);
  EXPECT_EQ(ClientDeltaToCanvas(0, 10, 1.0f, 1.0f, 0.0f).x, -10);
}

TEST(ViewGeometryTest, WindowFitAndCascade) {
  SFitWindowInputs in;
  in.zoomedWidth = 300;
  in.zoomedHeight = 200;
  in.frameWidth = 4;
  in.frameHeight = 4;
  in.captionHeight = 20;
  in.mainClientWidth = 1000;
  in.mainClientHeight = 700;
  in.left = 900;
  in.top = 650;
  const SFitWindowResult r = FitWindowRect(in);
  EXPECT_EQ(r.width, 8 + 80 + 300);
  EXPECT_EQ(r.height, 20 + 8 + 80 + 200);
  EXPECT_EQ(r.left, 1000 - r.width);  // moved back inside
  EXPECT_EQ(r.top, 700 - r.height);
  in.zoomedWidth = 5000;
  in.zoomedHeight = 5000;
  in.left = in.top = 0;
  const SFitWindowResult big = FitWindowRect(in);
  EXPECT_EQ(big.width, 996);
  EXPECT_EQ(big.height, 696);
  SCascade cascade;
  std::vector<int32_t> lefts;
  for (int32_t count = 2; count < 12; ++count) lefts.push_back(cascade.Next(count, 10).x);
  // Counts 2..6 take slots 0..4, count 7 restarts at 0, then 1, 2, 3, 4.
  EXPECT_EQ(lefts, (std::vector<int32_t>{10, 34, 58, 82, 106, 10, 34, 58, 82, 106}));
  SCascade full;
  for (int32_t i = 0; i < 7; ++i) full.Next(2, 0);
  EXPECT_EQ(full.counter, 0);  // back to 0 after slot 6
}

TEST(ViewGeometryTest, AutoScrollDeltas) {
  EXPECT_EQ(AutoScrollDelta({100, 100}, 400, 300).x, 0);
  EXPECT_EQ(AutoScrollDelta({5, 100}, 400, 300).x, 44);  // (16 - 5) x 4
  EXPECT_EQ(AutoScrollDelta({-50, 100}, 400, 300).x, 64);
  EXPECT_EQ(AutoScrollDelta({500, 320}, 400, 300).x, -64);
  EXPECT_EQ(AutoScrollDelta({500, 320}, 400, 300).y, -64);
  EXPECT_EQ(AutoScrollDelta({390, 100}, 400, 300).x, -28);  // (383 - 390) x 4
}

}  // namespace
}  // namespace tf
