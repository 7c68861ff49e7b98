// Zoom steps, rotation, the window-to-canvas mapping, grid, background and caption of a document.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <ostream>
#include <random>

#include "paper/PaperTestSupport.h"

namespace tf {
namespace {

using test::PaperTestScope;

// ---------------------------------------------------------------------------------------------
// Zoom

TEST(ZoomSteps, ZoomInWalksUpTheWholeTableAndStopsAtTheTop) {
  PaperTestScope scope;
  TPaper paper(nullptr);
  paper.zoom = kZoomSteps[0];
  EXPECT_FALSE(paper.CanZoomOut());
  for (int i = 1; i < kZoomStepCount; ++i) {
    ASSERT_TRUE(paper.CanZoomIn()) << i;
    paper.ZoomIn();
    EXPECT_EQ(paper.zoom, kZoomSteps[i]) << "step " << i;
  }
  EXPECT_FALSE(paper.CanZoomIn());
  paper.ZoomIn();
  EXPECT_EQ(paper.zoom, (TZoomRatio{16, 1}));
  TZoomRatio top{16, 1};
  ZoomRatioUp(top);
  EXPECT_EQ(top, (TZoomRatio{16, 1}));
}

TEST(ZoomSteps, ZoomOutWalksDownTheWholeTableAndStopsAtTheBottom) {
  PaperTestScope scope;
  TPaper paper(nullptr);
  paper.zoom = kZoomSteps[kZoomStepCount - 1];
  for (int i = kZoomStepCount - 2; i >= 0; --i) {
    ASSERT_TRUE(paper.CanZoomOut()) << i;
    paper.ZoomOut();
    EXPECT_EQ(paper.zoom, kZoomSteps[i]) << "step " << i;
  }
  EXPECT_FALSE(paper.CanZoomOut());
  paper.ZoomOut();
  EXPECT_EQ(paper.zoom, (TZoomRatio{1, 16}));
  TZoomRatio bottom{1, 16};
  ZoomRatioDown(bottom);
  EXPECT_EQ(bottom, (TZoomRatio{1, 16}));
}

struct BetweenCase {
  const char* name;
  friend void PrintTo(const BetweenCase& c, std::ostream* os) { *os << c.name; }
  TZoomRatio from;
  TZoomRatio up;
  TZoomRatio down;
};

class ZoomBetweenSteps : public ::testing::TestWithParam<BetweenCase> {};

TEST_P(ZoomBetweenSteps, StepsToTheNearestEntryAboveAndBelow) {
  const BetweenCase& c = GetParam();
  TZoomRatio up = c.from;
  ZoomRatioUp(up);
  EXPECT_EQ(up, c.up);
  TZoomRatio down = c.from;
  ZoomRatioDown(down);
  EXPECT_EQ(down, c.down);
}

INSTANTIATE_TEST_SUITE_P(
    Ratios, ZoomBetweenSteps,
    ::testing::Values(
        BetweenCase{"OneToOne", {1, 1}, {3, 2}, {2, 3}}, BetweenCase{"FiveFourths", {5, 4}, {3, 2}, {1, 1}},
        BetweenCase{"SevenTenths", {7, 10}, {1, 1}, {2, 3}}, BetweenCase{"OneFifth", {1, 5}, {1, 4}, {1, 6}},
        BetweenCase{"Five", {5, 1}, {6, 1}, {4, 1}}, BetweenCase{"Fifteen", {15, 1}, {16, 1}, {12, 1}},
        // 2/6 is the step 1/3 exactly, though the step's single-precision value is not.
        BetweenCase{"TwoSixths", {2, 6}, {1, 2}, {1, 4}},
        BetweenCase{"JustBelowOneTwelfth", {100, 1201}, {1, 12}, {1, 16}},
        // Terms whose products with 10000 pass 32 bits.
        BetweenCase{"LargeTermsOne", {300000, 300000}, {3, 2}, {2, 3}},
        BetweenCase{"LargeTermsTwo", {2000000000, 1000000000}, {3, 1}, {3, 2}},
        BetweenCase{"LargeTermsThirteenth", {100000000, 1300000000}, {1, 12}, {1, 16}}),
    [](const ::testing::TestParamInfo<BetweenCase>& info) { return std::string(info.param.name); });

TEST(ZoomSteps, ZoomInFromARatioOfLargeTermsSetDirectly) {
  PaperTestScope scope;
  TPaper paper(nullptr);
  EXPECT_FLOAT_EQ(paper.SetZoomRatio(300000, 300000), 1.0f);
  paper.ZoomIn();
  EXPECT_EQ(paper.zoom, (TZoomRatio{3, 2}));
  paper.SetZoomRatio(1250000, 1000000);
  paper.ZoomOut();
  EXPECT_EQ(paper.zoom, (TZoomRatio{1, 1}));
}

struct SetZoomCase {
  const char* name;
  friend void PrintTo(const SetZoomCase& c, std::ostream* os) { *os << c.name; }
  int32_t numerator;
  int32_t denominator;
  TZoomRatio stored;
  float value;
};

class SetZoomRatioCases : public ::testing::TestWithParam<SetZoomCase> {};

TEST_P(SetZoomRatioCases, StoresClampsOrRefuses) {
  PaperTestScope scope;
  TPaper paper(nullptr);
  paper.zoom = TZoomRatio{3, 2};
  const SetZoomCase& c = GetParam();
  EXPECT_FLOAT_EQ(paper.SetZoomRatio(c.numerator, c.denominator), c.value);
  EXPECT_EQ(paper.zoom, c.stored);
}

INSTANTIATE_TEST_SUITE_P(
    Ratios, SetZoomRatioCases,
    ::testing::Values(SetZoomCase{"BelowTheFirstStep", 1, 20, {1, 16}, 0.0625f},
                      SetZoomCase{"AboveTheLastStep", 40, 1, {16, 1}, 16.0f},
                      SetZoomCase{"BetweenSteps", 5, 4, {5, 4}, 1.25f},
                      SetZoomCase{"TheFirstStepItself", 2, 32, {2, 32}, 0.0625f},
                      SetZoomCase{"ZeroNumerator", 0, 5, {1, 16}, 0.0625f},
                      SetZoomCase{"NegativeNumerator", -3, 2, {1, 16}, 0.0625f},
                      SetZoomCase{"LargestTerms", INT32_MAX, INT32_MAX, {INT32_MAX, INT32_MAX}, 1.0f},
                      // No value without a positive denominator: the ratio in force is kept.
                      SetZoomCase{"ZeroDenominatorRefused", 5, 0, {3, 2}, 1.5f},
                      SetZoomCase{"NegativeDenominatorRefused", 5, -2, {3, 2}, 1.5f},
                      SetZoomCase{"SmallestDenominatorRefused", 1, INT32_MIN, {3, 2}, 1.5f}),
    [](const ::testing::TestParamInfo<SetZoomCase>& info) { return std::string(info.param.name); });

TEST(ZoomSteps, ResetZoomIsOneToOne) {
  PaperTestScope scope;
  TPaper paper(nullptr);
  paper.SetZoomRatio(12, 1);
  paper.ResetZoom();
  EXPECT_EQ(paper.zoom, (TZoomRatio{1, 1}));
  EXPECT_FLOAT_EQ(paper.GetZoom(), 1.0f);
}

// ---------------------------------------------------------------------------------------------
// Rotation

struct DegreesCase {
  const char* name;
  friend void PrintTo(const DegreesCase& c, std::ostream* os) { *os << c.name; }
  float given;
  float degrees;
  float sine;
  float cosine;
};

class RotationDegrees : public ::testing::TestWithParam<DegreesCase> {};

TEST_P(RotationDegrees, NormalisedWithExactQuarterTurns) {
  PaperTestScope scope;
  TPaper paper(nullptr);
  const DegreesCase& c = GetParam();
  paper.SetRotationDegrees(c.given);
  EXPECT_EQ(paper.rotation.degrees, c.degrees);
  EXPECT_FALSE(std::signbit(paper.rotation.degrees) && paper.rotation.degrees == 0.0f);
  EXPECT_NEAR(paper.rotation.radians, c.degrees * 3.14159265358979 / 180.0, 1e-6);
  EXPECT_NEAR(paper.rotation.sine, c.sine, 1e-6);
  EXPECT_NEAR(paper.rotation.cosine, c.cosine, 1e-6);
}

INSTANTIATE_TEST_SUITE_P(Angles, RotationDegrees,
                         ::testing::Values(DegreesCase{"QuarterClockwise", 90.0f, -270.0f, 1.0f, 0.0f},
                                           DegreesCase{"MinusFullTurn", -360.0f, 0.0f, 0.0f, 1.0f},
                                           DegreesCase{"FullTurn", 360.0f, 0.0f, 0.0f, 1.0f},
                                           DegreesCase{"OneAndAQuarterTurns", 450.0f, -270.0f, 1.0f, 0.0f},
                                           DegreesCase{"Zero", 0.0f, 0.0f, 0.0f, 1.0f},
                                           DegreesCase{"MinusQuarter", -90.0f, -90.0f, -1.0f, 0.0f},
                                           DegreesCase{"HalfTurn", 180.0f, -180.0f, 0.0f, -1.0f},
                                           DegreesCase{"ThreeQuartersBack", -630.0f, -270.0f, 1.0f, 0.0f},
                                           DegreesCase{"Thirty", 30.0f, -330.0f, 0.5f, 0.8660254f},
                                           DegreesCase{"ManyTurns", 3600030.0f, -330.0f, 0.5f, 0.8660254f},
                                           // Once stored as -360 and taken for a turned view.
                                           DegreesCase{"TinyPositive", 1e-5f, 0.0f, 0.0f, 1.0f},
                                           DegreesCase{"TinyPositiveAtTheBound", 1.5e-5f, 0.0f, 0.0f, 1.0f},
                                           DegreesCase{"TinyNegative", -1e-5f, -1e-5f, -1.745e-7f, 1.0f}),
                         [](const ::testing::TestParamInfo<DegreesCase>& info) {
                           return std::string(info.param.name);
                         });

TEST(Rotation, AHugeOrMissingAngleEndsAndKeepsAValidView) {
  PaperTestScope scope;
  TPaper paper(nullptr);
  paper.SetRotationDegrees(1e30f);
  EXPECT_GT(paper.rotation.degrees, -360.0f);
  EXPECT_LE(paper.rotation.degrees, 0.0f);
  paper.SetRotationDegrees(-90.0f);
  paper.SetRotationDegrees(std::numeric_limits<float>::quiet_NaN());
  EXPECT_EQ(paper.rotation.degrees, -90.0f);
  paper.SetRotationDegrees(std::numeric_limits<float>::infinity());
  EXPECT_EQ(paper.rotation.sine, -1.0f);
}

TEST(Rotation, RadiansAreStoredWithoutNormalisation) {
  PaperTestScope scope;
  TPaper paper(nullptr);
  paper.SetRotationAngle(7.0f);
  EXPECT_EQ(paper.rotation.radians, 7.0f);
  EXPECT_NEAR(paper.rotation.degrees, 401.07045f, 1e-3);
  EXPECT_NEAR(paper.rotation.sine, std::sin(7.0f), 1e-7);
  EXPECT_TRUE(paper.IsRotated());
  paper.SetRotationAngle(0.0f);
  EXPECT_FALSE(paper.IsRotated());
}

TEST(Rotation, MovingTheCentrePansAlongTheTurnedAxes) {
  PaperTestScope scope;
  TPaper paper(nullptr);
  paper.SetRotationCenter(100.0f, 50.0f);
  paper.SetRotationDegrees(-90.0f);  // sine -1, cosine 0
  paper.MoveRotationCenter(10.0f, 4.0f);
  // x -= dx*cos - dy*sin = 4; y -= dx*sin + dy*cos = -10.
  EXPECT_FLOAT_EQ(paper.rotation.centerX, 96.0f);
  EXPECT_FLOAT_EQ(paper.rotation.centerY, 60.0f);
}

// ---------------------------------------------------------------------------------------------
// Mapping

TEST(ViewMapping, AtZoomOneAWindowPointAndItsCanvasPixelMapToEachOther) {
  PaperTestScope scope;
  TPaper paper(nullptr);
  paper.SetViewScroll(10, 0);
  float x = 15.0f;
  float y = 5.0f;
  paper.ClientToCanvas(200, 100, x, y);
  EXPECT_FLOAT_EQ(x, 5.0f);
  EXPECT_FLOAT_EQ(y, 5.0f);
  paper.CanvasToClientIn(200, 100, x, y);
  EXPECT_FLOAT_EQ(x, 15.0f);
  EXPECT_FLOAT_EQ(y, 5.0f);
}

TEST(ViewMapping, AtZoomTwoTheWindowEdgeIsTheCentreOfTheFirstHalfPixel) {
  PaperTestScope scope;
  TPaper paper(nullptr);
  paper.SetZoomRatio(2, 1);
  paper.SetViewScroll(7, 3);
  paper.SetViewOffset(0, 0);
  float x = 7.0f;
  float y = 3.0f;
  paper.ClientToCanvas(100, 100, x, y);
  EXPECT_FLOAT_EQ(x, -0.25f);
  EXPECT_FLOAT_EQ(y, -0.25f);
  paper.SetViewScroll(0, 0);
  paper.SetViewOffset(40, 9);
  x = 0.0f;
  y = 0.0f;
  paper.ClientToCanvas(100, 100, x, y);
  EXPECT_FLOAT_EQ(x, 39.75f);
  EXPECT_FLOAT_EQ(y, 8.75f);
}

TEST(ViewMapping, CanvasToClientPointTruncatesAfterASmallLift) {
  PaperTestScope scope;
  std::vector<std::string> log;
  test::ScriptedWindow window(log);
  TPaper& paper = window.Paper();
  paper.SetZoomRatio(1, 3);
  TPoint p{3, 6};
  paper.CanvasToClientPoint(p);
  EXPECT_EQ(p, (TPoint{1, 2}));
  paper.SetZoomRatio(16, 1);
  p = TPoint{300000000, -300000000};  // far beyond int32 in the window: saturated, not undefined
  paper.CanvasToClientPoint(p);
  EXPECT_EQ(p, (TPoint{INT32_MAX, INT32_MIN}));
}

TEST(ViewMapping, ViewCentre) {
  PaperTestScope scope;
  TPaper paper(nullptr);
  paper.SetZoomRatio(2, 1);
  paper.SetViewOffset(100, 50);
  int32_t x = 0;
  int32_t y = 0;
  paper.GetViewCenter(641, 481, x, y);
  EXPECT_EQ(x, 260);
  EXPECT_EQ(y, 170);
  // The canvas narrower than the window: its edge lies at the scroll position.
  paper.SetViewScroll(40, 30);
  paper.GetViewCenter(640, 480, x, y);
  EXPECT_EQ(x, 140);
  EXPECT_EQ(y, 105);
  paper.SetRotationDegrees(30.0f);
  paper.SetRotationCenter(12.7f, -3.9f);
  paper.GetViewCenter(640, 480, x, y);
  EXPECT_EQ(x, 12);
  EXPECT_EQ(y, -3);
}

// Window to canvas and back, over random points, every zoom step and random angles. Unrotated,
// a window point maps to canvas coordinates whose whole numbers are pixel centres, while canvas
// coordinates map to the window by pixel edges: the canvas pixel nearest the mapped point is the
// one whose window area holds the window pixel's centre. Rotated, the mappings are inverses.
TEST(ViewMapping, WindowToCanvasAndBackStaysWithinOneCanvasPixel) {
  PaperTestScope scope;
  TPaper paper(nullptr);
  std::mt19937 random(20261210);
  auto uniform = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
  int checked = 0;
  for (int round = 0; round < 400; ++round) {
    const TZoomRatio step = kZoomSteps[round % kZoomStepCount];
    paper.SetZoomRatio(step.numerator, step.denominator);
    const float z = paper.GetZoom();
    const int32_t width = uniform(50, 2000);
    const int32_t height = uniform(50, 2000);
    const bool rotated = (round / kZoomStepCount) % 2 == 1;
    paper.SetViewScroll(uniform(0, 1) ? uniform(1, 300) : 0, uniform(0, 1) ? uniform(1, 300) : 0);
    paper.SetViewOffset(uniform(0, 5000), uniform(0, 5000));
    paper.SetRotationCenter(static_cast<float>(uniform(-100, 5000)) + 0.25f,
                            static_cast<float>(uniform(-100, 5000)));
    if (rotated) {
      float degrees = static_cast<float>(uniform(-3599, 3599)) / 10.0f;
      if (degrees == 0.0f) degrees = 45.0f;
      paper.SetRotationDegrees(degrees);
    } else {
      paper.SetRotationDegrees(0.0f);
    }
    for (int i = 0; i < 25; ++i, ++checked) {
      const int32_t wx = uniform(0, width - 1);
      const int32_t wy = uniform(0, height - 1);
      float cx = static_cast<float>(wx);
      float cy = static_cast<float>(wy);
      paper.ClientToCanvas(width, height, cx, cy);
      if (rotated) {
        float bx = cx;
        float by = cy;
        paper.CanvasToClientIn(width, height, bx, by);
        // In canvas pixels: the window distance divided by the zoom.
        ASSERT_LE(std::fabs(bx - static_cast<float>(wx)) / z, 1.0f) << "zoom " << step << " round " << round;
        ASSERT_LE(std::fabs(by - static_cast<float>(wy)) / z, 1.0f) << "zoom " << step << " round " << round;
      } else {
        const float px = std::floor(cx + 0.5f);
        const float py = std::floor(cy + 0.5f);
        float left = px;
        float top = py;
        float right = px + 1.0f;
        float bottom = py + 1.0f;
        paper.CanvasToClientIn(width, height, left, top);
        paper.CanvasToClientIn(width, height, right, bottom);
        const float tolerance = 1e-3f * std::max(1.0f, z);
        ASSERT_GE(static_cast<float>(wx) + 0.5f, left - tolerance) << "zoom " << step << " round " << round;
        ASSERT_LE(static_cast<float>(wx) + 0.5f, right + tolerance) << "zoom " << step << " round " << round;
        ASSERT_GE(static_cast<float>(wy) + 0.5f, top - tolerance) << "zoom " << step << " round " << round;
        ASSERT_LE(static_cast<float>(wy) + 0.5f, bottom + tolerance) << "zoom " << step << " round " << round;
      }
    }
  }
  EXPECT_EQ(checked, 10000);
}

TEST(ViewMapping, RotatedCanvasToWindowAndBackStaysWithinOneCanvasPixel) {
  PaperTestScope scope;
  TPaper paper(nullptr);
  std::mt19937 random(7);
  std::uniform_real_distribution<float> coordinate(-1000.0f, 9000.0f);
  for (int round = 0; round < 200; ++round) {
    const TZoomRatio step = kZoomSteps[round % kZoomStepCount];
    paper.SetZoomRatio(step.numerator, step.denominator);
    paper.SetRotationDegrees(static_cast<float>(round) * 7.3f + 1.0f);
    paper.SetRotationCenter(coordinate(random), coordinate(random));
    for (int i = 0; i < 20; ++i) {
      const float x = coordinate(random);
      const float y = coordinate(random);
      float wx = x;
      float wy = y;
      paper.CanvasToClientIn(800, 600, wx, wy);
      paper.ClientToCanvas(800, 600, wx, wy);
      ASSERT_LE(std::fabs(wx - x), 1.0f) << "zoom " << step;
      ASSERT_LE(std::fabs(wy - y), 1.0f) << "zoom " << step;
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Grid, background, caption

TEST(ViewGrid, StepsAreAtLeastTwoAndTheWindowIsInvalidated) {
  PaperTestScope scope;
  scope.host.settings.gridW = 10;
  scope.host.settings.gridH = 1;
  std::vector<std::string> log;
  test::ScriptedWindow window(log);
  TPaper& paper = window.Paper();
  EXPECT_EQ(paper.gridStepX, 25);
  paper.SetGrid(true, 1, -5, false);
  EXPECT_TRUE(paper.GetGridVisible());
  EXPECT_EQ(paper.gridStepX, 2);
  EXPECT_EQ(paper.gridStepY, 2);
  EXPECT_EQ(window.invalidations, 1);
  paper.ApplyGridSettings(false);
  EXPECT_EQ(paper.gridStepX, 10);
  EXPECT_EQ(paper.gridStepY, 2);
  EXPECT_TRUE(paper.GetGridVisible());
  EXPECT_EQ(window.invalidations, 2);
}

TEST(ViewBackground, ChangesOnlyOverWhitePaperAndOnlyWhenAValueDiffers) {
  PaperTestScope scope;
  TPaper paper(nullptr);
  EXPECT_FALSE(paper.SetBackgroundView(true, false, false));  // as it is
  EXPECT_TRUE(paper.SetBackgroundView(false, true, false));
  EXPECT_EQ(paper.showCanvasColor, 0);
  EXPECT_EQ(paper.backgroundPattern, 1);
  EXPECT_TRUE(paper.SetShowCanvasColor(true));
  EXPECT_EQ(paper.showCanvasColor, 1);
  EXPECT_EQ(paper.backgroundPattern, 1);
  paper.StorePaperColor(0x00FF00);
  EXPECT_FALSE(paper.SetBackgroundPattern(false));
  EXPECT_EQ(paper.backgroundPattern, 1);
}

struct CaptionCase {
  const char* name;
  friend void PrintTo(const CaptionCase& c, std::ostream* os) { *os << c.name; }
  bool fullPath;
  uint8_t networkMode;
  uint8_t protectedDocument;
  const char* caption;
};

class Caption : public ::testing::TestWithParam<CaptionCase> {};

TEST_P(Caption, NameWithModeAndProtection) {
  PaperTestScope scope;
  const CaptionCase& c = GetParam();
  scope.host.settings.titleFullpath = c.fullPath;
  TPaper paper(nullptr);
  paper.filePath = "/home/user/pictures/cat.tfi";
  paper.networkMode = c.networkMode;
  paper.protectedDocument = c.protectedDocument;
  std::string text;
  paper.GetCaption(text);
  EXPECT_EQ(text, c.caption);
}

INSTANTIATE_TEST_SUITE_P(Documents, Caption,
                         ::testing::Values(CaptionCase{"Plain", false, 0, 0, "cat.tfi"},
                                           CaptionCase{"FullPath", true, 0, 0, "/home/user/pictures/cat.tfi"},
                                           CaptionCase{"Protected", false, 0, 1, "cat.tfi( 保護 )"},
                                           CaptionCase{"Network", false, 1, 0, "cat.tfi( ネットワーク  )"},
                                           CaptionCase{"NetworkProtectedFullPath", true, 1, 1,
                                                       "/home/user/pictures/cat.tfi( ネットワーク 保護 )"},
                                           CaptionCase{"OtherModeByte", false, 2, 0, "cat.tfi"}),
                         [](const ::testing::TestParamInfo<CaptionCase>& info) {
                           return std::string(info.param.name);
                         });

TEST(ViewUpdate, PaintsAtOnceWhilePlayingElseInvalidates) {
  PaperTestScope scope;
  std::vector<std::string> log;
  test::ScriptedWindow window(log);
  TPaper& paper = window.Paper();
  const int32_t before = window.invalidations;
  paper.RefreshView();
  EXPECT_EQ(window.invalidations, before + 1);
  EXPECT_EQ(window.paints, 0);
  window.playing = true;
  paper.RefreshView();
  EXPECT_EQ(window.paints, 1);
  paper.UpdateView(12345, false);  // another window's handle: nothing
  EXPECT_EQ(window.paints, 1);
  EXPECT_EQ(window.invalidations, before + 1);
}

}  // namespace
}  // namespace tf
