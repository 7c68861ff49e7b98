#include <gtest/gtest.h>

#include <cmath>

#include "filters/PreviewGeometry.h"

namespace tf {
namespace {

struct FrameCase {
  const char* name;
  int32_t layerWidth, layerHeight;
  float percent;  // < 0: the fit
  float fit;
  int32_t viewWidth, viewHeight, windowWidth, windowHeight;
};

TEST(PreviewGeometryTest, FitViewAndWindowForAMagnification) {
  const FrameCase cases[] = {
      {"smaller than the box", 100, 50, -1, 100.0f, 100, 50, 100, 50},
      {"4000 square at the fit", 4000, 4000, -1, 5.15f, 206, 206, 4000, 4000},
      {"4000 square at 100", 4000, 4000, 100, 5.15f, 206, 206, 206, 206},
      {"4000 square at 1600", 4000, 4000, 1600, 5.15f, 206, 206, 13, 13},
      {"one pixel at 1600", 1, 1, 1600, 100.0f, 16, 16, 1, 1},
      {"65536 x 1 at the fit", 65536, 1, -1, 206.0f * 100 / 65536, 206, 1, 65536, 318},
  };
  for (const FrameCase& c : cases) {
    SCOPED_TRACE(c.name);
    CPreviewGeometry g;
    g.SetBox(208, 208);
    g.SetLayer(c.layerWidth, c.layerHeight);
    EXPECT_NEAR(g.FitPercent(), c.fit, 1e-4);
    g.SetMagnification(c.percent < 0 ? g.FitPercent() : c.percent);
    EXPECT_EQ(g.ViewWidth(), c.viewWidth);
    EXPECT_EQ(g.ViewHeight(), c.viewHeight);
    EXPECT_EQ(g.WindowWidth(), c.windowWidth);
    EXPECT_EQ(g.WindowHeight(), c.windowHeight);
    EXPECT_GE(g.WindowWidth(), 1);
    EXPECT_GE(g.ViewHeight(), 1);
    EXPECT_EQ(g.ViewLeft(), (208 - c.viewWidth) / 2);
    // Panning never divides by a zero view side and stays inside the layer.
    g.BeginPan(100, 100);
    g.Pan(0, 0);
    EXPECT_GE(g.WindowLeft(), 0);
    EXPECT_LE(g.WindowLeft(), std::max(0, c.layerWidth - g.WindowWidth()));
    EXPECT_EQ(g.WindowTop(), std::max(0, std::min(g.WindowTop(), c.layerHeight - g.WindowHeight())));
  }
}

TEST(PreviewGeometryTest, ZoomKeepsTheCentreAndCentringClamps) {
  CPreviewGeometry g;
  g.SetLayer(4000, 4000);
  g.SetMagnification(100);
  g.CentreOn({1000, 1000, 1200, 1400});
  EXPECT_EQ(g.WindowLeft(), (1000 + 1200 - 206) / 2);
  EXPECT_EQ(g.WindowTop(), (1000 + 1400 - 206) / 2);
  const int32_t centreX = g.WindowLeft() + g.WindowWidth() / 2;
  g.SetMagnification(200);  // window 103
  EXPECT_NEAR(g.WindowLeft() + g.WindowWidth() / 2, centreX, 1);
  g.CentreOn({3990, 3990, 4000, 4000});
  EXPECT_EQ(g.WindowLeft(), 4000 - g.WindowWidth());
  g.CentreOn({0, 0, 4, 4});
  EXPECT_EQ(g.WindowLeft(), 0);
}

TEST(PreviewGeometryTest, PanningAgainstTheBorderDoesNotAccumulate) {
  CPreviewGeometry g;
  g.SetLayer(1000, 1000);
  g.SetMagnification(200);  // view 206, window 103: two screen pixels a store pixel
  g.SetWindowLeft(10);
  g.BeginPan(100, 100);
  g.Pan(90, 100);  // right by 10 screen pixels: 5 store pixels
  EXPECT_EQ(g.WindowLeft(), 15);
  g.Pan(150, 100);  // far to the left: stops at 0
  EXPECT_EQ(g.WindowLeft(), 0);
  g.Pan(300, 100);  // further against the border: nothing remembered
  EXPECT_EQ(g.WindowLeft(), 0);
  g.Pan(140, 100);  // back: moves at once
  EXPECT_EQ(g.WindowLeft(), 5);
  g.Pan(139, 100);  // half a store pixel: kept for the next move
  EXPECT_EQ(g.WindowLeft(), 5);
  g.Pan(138, 100);
  EXPECT_EQ(g.WindowLeft(), 6);
}

TEST(PreviewGeometryTest, TrackMappingPutsHundredInTheMiddle) {
  const float minimum = 5.15f;
  const float q100 = (1.0f - minimum / 100) / (16 - minimum / 100);
  EXPECT_NEAR(PreviewTrackIn(minimum, 1600, 0), 0.0f, 1e-6);
  EXPECT_NEAR(PreviewTrackIn(minimum, 1600, q100), 0.5f, 1e-5);
  EXPECT_NEAR(PreviewTrackIn(minimum, 1600, 1), 1.0f, 1e-6);
  EXPECT_EQ(PreviewTrackIn(minimum, 1600, -3), 0.0f);
  EXPECT_EQ(PreviewTrackIn(minimum, 1600, 7), 1.0f);
  for (float q : {0.0f, 0.01f, q100, 0.3f, 0.77f, 1.0f}) {
    EXPECT_NEAR(PreviewTrackOut(minimum, 1600, PreviewTrackIn(minimum, 1600, q)), q, 1e-5) << q;
  }
  EXPECT_NEAR(PreviewTrackOut(minimum, 1600, 0.5f), q100, 1e-5);
  // A minimum of exactly 100: linear.
  for (float q : {0.0f, 0.25f, 0.5f, 1.0f}) {
    EXPECT_EQ(PreviewTrackIn(100, 1600, q), q);
    EXPECT_EQ(PreviewTrackOut(100, 1600, q), q);
  }
}

TEST(PreviewGeometryTest, DelayCountsElapsedTimeAcrossTheClockWrap) {
  struct Case { uint32_t change, now; bool due; };
  const Case cases[] = {
      {1000, 1699, false}, {1000, 1700, true}, {1000, 2400, true},
      {0xFFFFFF00u, 0xFFFFFF00u + 699u, false},  // wraps past 2^32
      {0xFFFFFF00u, 0xFFFFFF00u + 700u, true},
      {0xFFFFFE00u, 0xFFFFFE00u + 200u, false},
  };
  for (const Case& c : cases) {
    FilterPreviewDelay delay;
    delay.Changed(c.change);
    EXPECT_EQ(delay.Due(c.now), c.due) << c.change << " " << c.now;
  }
}

}  // namespace
}  // namespace tf
