// The nib geometry record and the nib rasteriser against independent models of the geometry.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <ostream>
#include <random>
#include <string>

#include "paint/FalloffMap.h"
#include "paint/NibPreset.h"
#include "paint/NibShape.h"
#include "raster/FlatImage.h"

namespace tf {
namespace {

constexpr Fixed Px(double pixels) { return static_cast<Fixed>(pixels * 65536.0); }

// ---------------------------------------------------------------------------------------------
// SNibShape

TEST(NibShapeRecord, AngleSetterWrapsRoundedTenthsIntoAFullTurn) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  struct Case {
    float degrees;
    int32_t tenths;
  } cases[] = {{0, 0},       {-30, 3300},     {-0.04f, 0},    {359.96f, 0}, {359.94f, 3599}, {12.35f, 124},
               {720.04f, 0}, {-720.5f, 3595}, {-0.06f, 3599}, {nan, 0},     {inf, 0},        {-inf, 0}};
  for (const Case& c : cases) {
    SNibShape s{};
    s.Init(10);
    s.SetAngle(c.degrees);
    EXPECT_EQ(s.angle, c.tenths) << c.degrees;
  }
}

TEST(NibShapeRecord, SettersRoundHalfUpAndClampTheAspect) {
  SNibShape s{};
  s.Init(10);
  EXPECT_EQ(s.size, 1000);
  EXPECT_EQ(s.aspect, 1000);
  EXPECT_EQ(s.minRatio, 1000);
  s.Init(0.125f);  // 12.5 rounds to even
  EXPECT_EQ(s.size, 12);
  EXPECT_FLOAT_EQ(s.SetSize(2.3f), 0.12f);
  EXPECT_EQ(s.size, 230);
  s.SetAspect(1.7f);
  EXPECT_EQ(s.aspect, 1000);
  s.SetAspect(-1);
  EXPECT_EQ(s.aspect, 0);
  s.SetAspect(std::numeric_limits<float>::quiet_NaN());
  EXPECT_EQ(s.aspect, 0);
  s.SetAspect(0.3336f);
  EXPECT_EQ(s.aspect, 334);
  EXPECT_EQ(s.GetAspectPercent(), 33);
  s.SetMinRatio(0.75f);
  EXPECT_EQ(s.minRatio, 750);
  EXPECT_EQ(s.GetMinPercent(), 75);
  s.SetSize(std::numeric_limits<float>::infinity());
  EXPECT_EQ(s.size, INT32_MAX);
  EXPECT_EQ(s.SwapSize(77), INT32_MAX);
  EXPECT_EQ(s.size, 77);
}

TEST(NibFlagWord, SetStoresOneAndTellsThePreviousState) {
  uint32_t w = 0;
  EXPECT_FALSE(NibFlagWord::Set(w, true));
  EXPECT_EQ(w, 1u);
  EXPECT_TRUE(NibFlagWord::Set(w, false));
  EXPECT_EQ(w, 0u);
  w = 99;
  EXPECT_TRUE(NibFlagWord::IsSet(w));
  NibFlagWord::Clear(w);
  EXPECT_FALSE(NibFlagWord::IsSet(w));
}

// ---------------------------------------------------------------------------------------------
// Quantisation and supersampling

TEST(NibRasteriser, RadiusQuantisation) {
  struct Case {
    double in;
    double out;
  } cases[] = {{2.3, 2.25}, {5.3, 5.25}, {12.3, 12.0}, {0.01, 1.0 / 16}, {-3, 1.0 / 16}, {2.99, 2.875},
               {3.0, 3.0},  {9.9, 9.75}, {10.0, 10.0}, {511.9, 511.5},   {512, 512}};
  for (const Case& c : cases) {
    Fixed q = 0;
    ASSERT_TRUE(QuantizeNibRadius(Px(c.in), q)) << c.in;
    EXPECT_EQ(q, Px(c.out)) << c.in;
  }
  Fixed q;
  EXPECT_FALSE(QuantizeNibRadius((512 << 16) + 1, q));
}

TEST(NibRasteriser, SupersampleFactorBySize) {
  const int32_t expected[][2] = {{0, 2}, {1, 2},  {2, 2},  {3, 3},  {4, 5},  {6, 5},  {7, 4},
                                 {8, 2}, {25, 2}, {26, 1}, {49, 1}, {50, 1}, {900, 1}};
  for (const auto& e : expected) EXPECT_EQ(NibSupersampleFactor(e[0]), e[1]) << e[0];
}

// ---------------------------------------------------------------------------------------------
// CircleEdgeCoverage against brute-force sampling of the half-plane over the pixel

double BruteForceHalfPlane(double x, double y, double r, double nx, double ny) {
  constexpr int kSteps = 200;
  int inside = 0;
  for (int i = 0; i < kSteps; ++i) {
    for (int j = 0; j < kSteps; ++j) {
      const double px = x - 0.5 + (j + 0.5) / kSteps, py = y - 0.5 + (i + 0.5) / kSteps;
      if (px * nx + py * ny <= r) ++inside;
    }
  }
  return static_cast<double>(inside) / (kSteps * kSteps);
}

TEST(NibRasteriser, CircleEdgeCoverageMatchesTheHalfPlaneOverThePixel) {
  const double radii[] = {0.3, 1.0, 2.6, 7.0, 40.5};
  const double angles[] = {0.02, 0.4, 0.785398, 1.2, 1.55, 2.5, 3.9, 5.5};
  for (double r : radii) {
    for (double a : angles) {
      for (double d : {r - 1.2, r - 0.4, r - 0.05, r, r + 0.3, r + 0.9, 0.7 * r}) {
        if (d <= 0.1) continue;
        const double x = d * std::cos(a), y = d * std::sin(a);
        const Fixed fx = Px(x), fy = Px(y);
        const Fixed fd = FixHypot(fx, fy);
        const double got = CircleEdgeCoverage(fx, fy, fd, Px(r), 0x8000, 0x8000) / 65536.0;
        // The edge is taken along the centre's direction, or along the nearer axis when the centre
        // lies within 1/16 pixel of it or 200 times nearer to it than to the other.
        const double ax = std::fabs(x), ay = std::fabs(y);
        double nx = ax / std::hypot(ax, ay), ny = ay / std::hypot(ax, ay);
        if (ax < ay && (std::fabs(fx) < 4096 || std::fabs(fy) > 200.0 * std::fabs(fx))) nx = 0, ny = 1;
        if (ay <= ax && (std::fabs(fy) < 4096 || std::fabs(fx) > 200.0 * std::fabs(fy))) nx = 1, ny = 0;
        const double model = BruteForceHalfPlane(ax, ay, r, nx, ny);
        EXPECT_NEAR(got, model, 0.012) << "r " << r << " angle " << a << " d " << d;
      }
    }
  }
  EXPECT_EQ(CircleEdgeCoverage(0, 0, 0, Px(3), 0x8000, 0x8000), 0x10000);
  EXPECT_EQ(CircleEdgeCoverage(0, 0, 0, Px(0.25), 0x8000, 0x8000), 0xC000);  // the square below x = 0.25
  // Far centres are halved until they lie within 8 pixels: the result is that of the smaller case.
  EXPECT_EQ(CircleEdgeCoverage(Px(30), Px(40), Px(50), Px(100), 0x8000, 0x8000), 0x10000);
  EXPECT_EQ(CircleEdgeCoverage(Px(300), Px(400), Px(500), Px(100), 0x8000, 0x8000), 0);
}

// ---------------------------------------------------------------------------------------------
// Supersampled footprints

// Whole-disc coverage of a square of side s centred at (x, y) from a circle of radius r at the
// origin, by brute force.
double BruteForceDisc(double x, double y, double s, double r) {
  constexpr int kSteps = 48;
  int inside = 0;
  for (int i = 0; i < kSteps; ++i) {
    for (int j = 0; j < kSteps; ++j) {
      const double px = x - s / 2 + s * (j + 0.5) / kSteps, py = y - s / 2 + s * (i + 0.5) / kSteps;
      if (px * px + py * py <= r * r) ++inside;
    }
  }
  return static_cast<double>(inside) / (kSteps * kSteps);
}

// The position of grid cell (column, row) relative to the nib centre, in pixels.
void CellCentre(const CPenShape& shape, int column, int row, double& x, double& y) {
  const double m = shape.Supersample();
  x = (column + 0.5) / m - shape.CentreX() / 65536.0;
  y = (row + 0.5) / m - shape.CentreY() / 65536.0;
}

class CircleFootprintTest : public ::testing::TestWithParam<double> {};

TEST_P(CircleFootprintTest, DistancesAndCoverageFollowTheGeometry) {
  CGradeMapObj map(kFalloffEntries);
  CPenShape shape(&map);
  shape.SetAntialias(true);
  ASSERT_TRUE(shape.SetCircle(Px(GetParam())));
  const double r = shape.Size() / 65536.0;
  ASSERT_EQ(shape.GridWidth(), shape.PixelWidth() * shape.Supersample());
  ASSERT_GE(shape.PixelWidth(), 2 * r);
  double worstDistance = 0, worstCoverage = 0;
  for (int row = 0; row < shape.GridHeight(); ++row) {
    for (int column = 0; column < shape.GridWidth(); ++column) {
      double x, y;
      CellCentre(shape, column, row, x, y);
      const size_t i = static_cast<size_t>(row * shape.GridWidth() + column);
      worstDistance =
          std::max(worstDistance, std::fabs(shape.DistancePlane()[i] / 65536.0 - std::hypot(x, y) / r));
      // Every cell is covered as a whole pixel square centred on it.
      worstCoverage =
          std::max(worstCoverage, std::fabs(shape.CoveragePlane()[i] / 65536.0 - BruteForceDisc(x, y, 1, r)));
    }
  }
  EXPECT_LT(worstDistance, 0.002 + 0.6 / (shape.Supersample() * r));  // the cell steps are 65536 div m
  // The edge is a straight line through the cell's square: coarse for the smallest nibs.
  EXPECT_LT(worstCoverage, r < 1 ? 0.25 : (r < 2 ? 0.12 : 0.05));
}

INSTANTIATE_TEST_SUITE_P(Radii, CircleFootprintTest, ::testing::Values(0.5, 1.5, 3.25, 6.0, 12.5, 30.0),
                         [](const ::testing::TestParamInfo<double>& info) {
                           return "r" + std::to_string(static_cast<int>(info.param * 100));
                         });

TEST(NibRasteriser, WithoutAntialiasTheRimKeepsTheFalloffFloor) {
  CGradeMapObj map(kFalloffEntries);
  SGradeMap p = map.Profile();
  p.floor = 300;
  map.SetProfile(p);
  CPenShape shape(&map);
  ASSERT_TRUE(shape.SetCircle(Px(4)));
  // The grid's corner cell lies beyond the rim: it holds the floor, not 0.
  EXPECT_EQ(shape.ResultPlane()[0], map.Table()[2047]);
  EXPECT_EQ(map.Table()[2047], static_cast<int32_t>(0.3f * 65536.0f * 255.0f));
  EXPECT_GT(shape.SampleAt(0, 0), map.Table()[1800]);  // near the centre
  // Exact footprints without antialias are empty.
  ASSERT_TRUE(shape.SetExactCircle(Px(10.3), Px(7.6), true, Px(3)));
  for (int i = 0; i < shape.GridWidth() * shape.GridHeight(); ++i) ASSERT_EQ(shape.ResultPlane()[i], 0);
}

// The sampled circle and ellipse reuse the planes of the nib before without clearing them: every
// cell must still come out as on a fresh shape, after a larger or smaller nib and after the exact
// paths (which leave most of the grid 0).
TEST(NibRasteriser, ReusedPlanesGiveTheFootprintOfAFreshShape) {
  CGradeMapObj map(kFalloffEntries);
  struct Step {
    const char* name;
    std::function<bool(CPenShape&)> build;
  };
  const Step steps[] = {
      {"circle 9", [](CPenShape& s) { return s.SetCircle(Px(9)); }},
      {"circle 3", [](CPenShape& s) { return s.SetCircle(Px(3)); }},
      {"ellipse 6", [](CPenShape& s) { return s.SetEllipse(Px(6), 40, 30); }},
      {"exact circle", [](CPenShape& s) { return s.SetExactCircle(Px(10.3), Px(7.6), true, Px(5)); }},
      {"circle 5", [](CPenShape& s) { return s.SetCircle(Px(5)); }},
      {"exact ellipse", [](CPenShape& s) { return s.SetExactEllipse(Px(4.2), Px(3.9), false, 20, 50, Px(6)); }},
      {"ellipse 7", [](CPenShape& s) { return s.SetEllipse(Px(7), 70, 110); }},
      {"circle 12", [](CPenShape& s) { return s.SetCircle(Px(12)); }},
  };
  for (const bool antialias : {true, false}) {
    CPenShape reused(&map);
    reused.SetAntialias(antialias);
    for (const Step& step : steps) {
      SCOPED_TRACE(testing::Message() << step.name << (antialias ? " antialiased" : ""));
      CPenShape fresh(&map);
      fresh.SetAntialias(antialias);
      ASSERT_TRUE(step.build(reused));
      ASSERT_TRUE(step.build(fresh));
      ASSERT_EQ(reused.GridWidth(), fresh.GridWidth());
      ASSERT_EQ(reused.GridHeight(), fresh.GridHeight());
      const size_t n = static_cast<size_t>(fresh.GridWidth()) * static_cast<size_t>(fresh.GridHeight());
      for (size_t i = 0; i < n; ++i) {
        ASSERT_EQ(reused.DistancePlane()[i], fresh.DistancePlane()[i]) << i;
        ASSERT_EQ(reused.CoveragePlane()[i], fresh.CoveragePlane()[i]) << i;
        ASSERT_EQ(reused.ResultPlane()[i], fresh.ResultPlane()[i]) << i;
      }
    }
  }
}

TEST(NibRasteriser, CircleLimitsAndReuse) {
  CGradeMapObj map(kFalloffEntries);
  CPenShape shape(&map);
  EXPECT_TRUE(shape.IsBuilt());  // made at 10 raw units
  EXPECT_EQ(shape.Size(), 4096);
  ASSERT_TRUE(shape.SetCircle(512 << 16));
  EXPECT_FALSE(shape.SetCircle((512 << 16) + 1));
  EXPECT_FALSE(shape.IsBuilt());
  ASSERT_TRUE(shape.SetCircle(Px(2.3)));
  const int32_t before = shape.SampleAt(Px(1), 0);
  // A changed profile shows only after a rebuild: 2.26 quantises to the same 2.25, so no rebuild.
  SGradeMap p = map.Profile();
  p.core = 1000;
  map.SetProfile(p);
  ASSERT_TRUE(shape.SetCircle(Px(2.26)));
  EXPECT_EQ(shape.SampleAt(Px(1), 0), before);
  ASSERT_TRUE(shape.Update());
  EXPECT_EQ(shape.SampleAt(Px(1), 0), 0xFF0000);
}

TEST(NibRasteriser, EllipseOfFullRatioHasTheCircleDistancesAtAnyAngle) {
  CGradeMapObj map(kFalloffEntries);
  CPenShape circle(&map), ellipse(&map);
  ASSERT_TRUE(circle.SetCircle(Px(30)));
  for (int angle : {0, 17, -45, 90, 200}) {
    ASSERT_TRUE(ellipse.SetEllipse(Px(30), 100, angle));
    ASSERT_EQ(circle.Supersample(), 1);
    ASSERT_EQ(ellipse.Supersample(), 1);
    const int shift = ellipse.PixelWidth() / 2 - circle.PixelWidth() / 2;
    int worst = 0;
    for (int row = 0; row < circle.GridHeight(); ++row) {
      for (int column = 0; column < circle.GridWidth(); ++column) {
        const int a = circle.DistancePlane()[row * circle.GridWidth() + column];
        const int b = ellipse.DistancePlane()[(row + shift) * ellipse.GridWidth() + column + shift];
        worst = std::max(worst, std::abs(a - b));
      }
    }
    EXPECT_LE(worst, 8) << angle;
  }
}

TEST(NibRasteriser, EllipseFollowsItsRotatedAxes) {
  CGradeMapObj map(kFalloffEntries);
  CPenShape shape(&map);
  for (int angle : {0, 30, -60}) {
    ASSERT_TRUE(shape.SetEllipse(Px(20), 40, angle));
    const double a = 20, b = 8, t = angle * M_PI / 180;
    EXPECT_NEAR(shape.HalfWidth() / 65536.0, std::hypot(a * std::cos(t), b * std::sin(t)) + 2, 0.01);
    EXPECT_NEAR(shape.HalfHeight() / 65536.0, std::hypot(a * std::sin(t), b * std::cos(t)) + 2, 0.01);
    double worst = 0;
    for (int row = 0; row < shape.GridHeight(); ++row) {
      for (int column = 0; column < shape.GridWidth(); ++column) {
        double x, y;
        CellCentre(shape, column, row, x, y);
        const double u = x * std::cos(t) - y * std::sin(t), v = x * std::sin(t) + y * std::cos(t);
        const double model = std::hypot(u / a, v / b);
        worst =
            std::max(worst, std::fabs(shape.DistancePlane()[row * shape.GridWidth() + column] / 65536.0 - model));
      }
    }
    EXPECT_LT(worst, 0.003) << angle;
  }
}

// An aspect below 10 (ratio 0 in percent) divided 100 by 0 and filled the footprint with NaN.
TEST(NibRasteriser, RatioBelowOnePercentIsTakenAsOnePercent) {
  CGradeMapObj map(kFalloffEntries);
  CPenShape zero(&map), one(&map);
  ASSERT_TRUE(zero.SetEllipse(Px(10), 0, 30));
  ASSERT_TRUE(one.SetEllipse(Px(10), 1, 30));
  EXPECT_EQ(zero.Ratio(), 0);
  ASSERT_EQ(zero.GridWidth(), one.GridWidth());
  ASSERT_EQ(zero.GridHeight(), one.GridHeight());
  for (int i = 0; i < zero.GridWidth() * zero.GridHeight(); ++i) {
    ASSERT_EQ(zero.ResultPlane()[i], one.ResultPlane()[i]);
  }
  ASSERT_TRUE(zero.SetExactEllipse(Px(5.5), Px(5.25), true, 10, 0, Px(6)));
  EXPECT_TRUE(std::isfinite(zero.Ellipse().hx));
  // A ratio above 100 from a file is taken as 100 instead of growing the footprint past its limit.
  ASSERT_TRUE(zero.SetEllipse(Px(500), 3276, 0));
  EXPECT_LE(zero.HalfHeight(), Px(503));
}

// ---------------------------------------------------------------------------------------------
// Exact footprints

// The footprint as the dab renderer walks it: pixel (x, y) of a dab centred at (cx, cy).
int32_t DabValue(const CPenShape& shape, Fixed cx, Fixed cy, int x, int y) {
  return shape.SampleAt((x << 16) - cx + 0x8000, (y << 16) - cy + 0x8000);
}

struct ExactCase {
  double cx, cy, r;
  bool rowWise;
};
void PrintTo(const ExactCase& c, std::ostream* os) {
  *os << "centre (" << c.cx << ", " << c.cy << "), r " << c.r << (c.rowWise ? ", rows" : ", columns");
}

class ExactCircleTest : public ::testing::TestWithParam<ExactCase> {};

// The exact rasteriser's geometry, written apart: each line (row, or column) through the disc
// takes the chord at its centre, weighted by the part of the line inside the disc's extent; a disc
// below half a pixel is one line of half weight through the centre.
double ChordModel(const ExactCase& c, int x, int y) {
  const double along = c.rowWise ? c.cx : c.cy, across = c.rowWise ? c.cy : c.cx;
  const int line = c.rowWise ? y : x, cell = c.rowWise ? x : y;
  double half, weight;
  if (c.r < 0.5) {
    if (line != static_cast<int>(std::floor(across))) return 0;
    half = c.r;
    weight = 0.5;
  } else {
    const double d = line + 0.5 - across;
    if (c.r * c.r - d * d <= 0) return 0;
    half = std::sqrt(c.r * c.r - d * d);
    weight = std::clamp(std::min(line + 1.0, across + c.r) - std::max<double>(line, across - c.r), 0.0, 1.0);
  }
  const double overlap = std::min(cell + 1.0, along + half) - std::max<double>(cell, along - half);
  return std::max(overlap, 0.0) * weight;
}

TEST_P(ExactCircleTest, CoverageFollowsTheDiscPixelByPixel) {
  const ExactCase c = GetParam();
  CGradeMapObj map(kFalloffEntries);
  SGradeMap p = map.Profile();
  p.core = 1000;  // full value inside: the result is coverage x 255
  map.SetProfile(p);
  CPenShape shape(&map);
  shape.SetAntialias(true);
  const Fixed cx = Px(c.cx), cy = Px(c.cy);
  ASSERT_TRUE(shape.SetExactCircle(cx, cy, c.rowWise, Px(c.r)));
  EXPECT_EQ(shape.Supersample(), 1);
  double total = 0, worst = 0;
  for (int y = static_cast<int>(std::floor(c.cy - c.r)) - 2; y <= c.cy + c.r + 2; ++y) {
    for (int x = static_cast<int>(std::floor(c.cx - c.r)) - 2; x <= c.cx + c.r + 2; ++x) {
      const double got = DabValue(shape, cx, cy, x, y) / (255.0 * 65536.0);
      total += got;
      worst = std::max(worst, std::fabs(got - ChordModel(c, x, y)));
    }
  }
  if (c.r >= 1) {
    EXPECT_NEAR(total, M_PI * c.r * c.r, 0.04 * M_PI * c.r * c.r + 0.3);
  } else {
    EXPECT_NEAR(total, c.r, 0.02);  // one line of half weight: 2r x 1/2
  }
  EXPECT_LT(worst, 0.002);
}

INSTANTIATE_TEST_SUITE_P(Centres, ExactCircleTest,
                         ::testing::Values(ExactCase{10.0, 10.0, 3.0, true}, ExactCase{10.3, 7.6, 3.0, true},
                                           ExactCase{10.3, 7.6, 3.0, false}, ExactCase{4.75, 9.5, 1.2, true},
                                           ExactCase{20.5, 20.5, 8.0, false}, ExactCase{6.1, 6.9, 0.3, true},
                                           ExactCase{6.1, 6.9, 0.3, false}, ExactCase{100.25, 3.0, 12.7, true}),
                         [](const ::testing::TestParamInfo<ExactCase>& info) {
                           return "case" + std::to_string(info.index);
                         });

// The grid centre was the centre's pixel plus one half, which for a centre on a whole pixel
// boundary shifted the footprint one pixel to the left and up.
TEST(NibRasteriser, ExactCircleAtAWholePixelCentreIsSymmetric) {
  CGradeMapObj map(kFalloffEntries);
  CPenShape shape(&map);
  shape.SetAntialias(true);
  const Fixed cx = Px(10), cy = Px(20);
  ASSERT_TRUE(shape.SetExactCircle(cx, cy, true, Px(2.6)));
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(DabValue(shape, cx, cy, 10 + k, 20), DabValue(shape, cx, cy, 9 - k, 20)) << k;
    EXPECT_EQ(DabValue(shape, cx, cy, 10, 20 + k), DabValue(shape, cx, cy, 10, 19 - k)) << k;
  }
  EXPECT_GT(DabValue(shape, cx, cy, 9, 19), 0);
  EXPECT_EQ(DabValue(shape, cx, cy, 13, 20), 0);
  EXPECT_EQ(DabValue(shape, cx, cy, 6, 20), 0);
}

TEST(NibRasteriser, ExactEllipseOfFullRatioCoversLikeTheExactCircle) {
  CGradeMapObj map(kFalloffEntries);
  CPenShape circle(&map), ellipse(&map);
  circle.SetAntialias(true);
  ellipse.SetAntialias(true);
  const Fixed cx = Px(15.3), cy = Px(11.8);
  for (bool rows : {true, false}) {
    ASSERT_TRUE(circle.SetExactCircle(cx, cy, rows, Px(5)));
    ASSERT_TRUE(ellipse.SetExactEllipse(cx, cy, rows, 40, 100, Px(5)));
    for (int y = 4; y < 20; ++y) {
      for (int x = 8; x < 23; ++x) {
        EXPECT_NEAR(DabValue(circle, cx, cy, x, y) / 16711680.0, DabValue(ellipse, cx, cy, x, y) / 16711680.0,
                    0.02)
            << x << "," << y;
      }
    }
  }
}

TEST(NibRasteriser, ExactEllipseCoversItsArea) {
  CGradeMapObj map(kFalloffEntries);
  SGradeMap p = map.Profile();
  p.core = 1000;
  map.SetProfile(p);
  CPenShape shape(&map);
  shape.SetAntialias(true);
  const Fixed cx = Px(30.4), cy = Px(25.7);
  for (int angle : {0, 25, 70, -30}) {
    ASSERT_TRUE(shape.SetExactEllipse(cx, cy, true, angle, 50, Px(10)));
    double total = 0;
    for (int y = 0; y < 60; ++y) {
      for (int x = 0; x < 60; ++x) total += DabValue(shape, cx, cy, x, y) / 16711680.0;
    }
    EXPECT_NEAR(total, M_PI * 10 * 5, 0.04 * M_PI * 50) << angle;
  }
}

TEST(NibRasteriser, PlanesKeepTheirCapacityAcrossDabs) {
  CGradeMapObj map(kFalloffEntries);
  CPenShape shape(&map);
  shape.SetAntialias(true);
  ASSERT_TRUE(shape.SetCircle(Px(40)));
  const size_t capacity = shape.PlaneCapacity();
  const int32_t* block = shape.ResultPlane();
  for (int i = 0; i < 200; ++i) {
    ASSERT_TRUE(shape.SetExactCircle(Px(50 + i * 0.37), Px(40 + i * 0.11), i % 2 == 0, Px(1 + (i % 30) * 0.25)));
  }
  EXPECT_EQ(shape.PlaneCapacity(), capacity);
  EXPECT_EQ(shape.ResultPlane(), block);
}

// ---------------------------------------------------------------------------------------------
// Image nibs

// An image with an ink block (value 0) in a field of no ink (255).
std::unique_ptr<TChannel> BlockImage(int w, int h, int left, int top, int bw, int bh) {
  auto image = std::make_unique<TChannel>(w, h);
  image->Fill(255);
  for (int y = top; y < top + bh; ++y) {
    for (int x = left; x < left + bw; ++x) *PixelAddr8(image->View(), x, y) = 0;
  }
  return image;
}

struct InkMoments {
  double total = 0, cx = 0, cy = 0;
};

InkMoments FootprintInk(const CPenShape& shape) {
  InkMoments m;
  const double cell = 1.0 / (shape.Supersample() * shape.Supersample());
  for (int row = 0; row < shape.GridHeight(); ++row) {
    for (int column = 0; column < shape.GridWidth(); ++column) {
      const double v = shape.ResultPlane()[row * shape.GridWidth() + column] / 16711680.0 * cell;
      double x, y;
      CellCentre(shape, column, row, x, y);
      m.total += v;
      m.cx += v * x;
      m.cy += v * y;
    }
  }
  m.cx /= m.total;
  m.cy /= m.total;
  return m;
}

TEST(NibRasteriser, ImageNibInkScalesAndTurnsWithTheNib) {
  CGradeMapObj map(kFalloffEntries);
  CPenShape shape(&map);
  shape.SetUseFalloff(false);  // the result is the coverage
  CPenShapeObj nib;
  nib.SetParametric(nullptr, nullptr, nullptr);
  // 20 x 10 image, ink block 6 x 4 in the right half.
  ASSERT_TRUE(nib.SetImage(BlockImage(20, 10, 12, 3, 6, 4), true));
  ASSERT_TRUE(shape.SetImageNib(&nib, false));
  const InkMoments at100 = FootprintInk(shape);
  EXPECT_NEAR(at100.total, 24, 1.0);
  // The nib centre lies on the image point (w/2 + 1/2, h/2 + 1/2): at 100 % every footprint pixel
  // is one image pixel.
  EXPECT_NEAR(at100.cx, 15.0 - 10.5, 0.3);
  EXPECT_NEAR(at100.cy, 5.0 - 5.5, 0.3);
  EXPECT_NEAR(shape.HalfWidth() / 65536.0, 10, 0.01);
  EXPECT_NEAR(shape.HalfHeight() / 65536.0, 5, 0.01);

  ASSERT_TRUE(nib.SetScale(200));
  ASSERT_TRUE(shape.SetImageNib(&nib, false));
  const InkMoments at200 = FootprintInk(shape);
  EXPECT_NEAR(at200.total, 96, 3.0);
  EXPECT_NEAR(at200.cx, 2 * (15.0 - 10.5), 0.3);
  EXPECT_NEAR(at200.cy, 2 * (5.0 - 5.5), 0.3);

  // Turned by 90 degrees the footprint's extents swap and the ink moves onto the vertical axis.
  SNibShape turned = nib.Shape();
  turned.angle = 900;
  nib.SetShapeParams(nullptr, &turned, nullptr);
  ASSERT_TRUE(shape.SetImageNib(&nib, false));
  EXPECT_NEAR(shape.HalfWidth() / 65536.0, 10, 0.01);  // 5 x 200%
  EXPECT_NEAR(shape.HalfHeight() / 65536.0, 20, 0.01);
  const InkMoments turnedInk = FootprintInk(shape);
  EXPECT_NEAR(turnedInk.total, 96, 3.0);
  // x' = x cos - y sin with the nib's angle taken negative: (9, -1) turns to (-1, -9) or (1, 9).
  EXPECT_NEAR(std::fabs(turnedInk.cy), 9.0, 0.3);
  EXPECT_NEAR(std::fabs(turnedInk.cx), 1.0, 0.3);
}

TEST(NibRasteriser, ImageNibIsReusedUntilItsSerialOrScaleChanges) {
  CGradeMapObj map(kFalloffEntries);
  CPenShape shape(&map);
  CPenShapeObj nib;
  nib.SetParametric(nullptr, nullptr, nullptr);
  ASSERT_TRUE(nib.SetImage(BlockImage(8, 8, 2, 2, 4, 4), true));
  ASSERT_TRUE(shape.SetImageNib(&nib, false));
  SGradeMap p = map.Profile();
  p.core = 1000;
  map.SetProfile(p);
  const int32_t before = shape.SampleAt(Px(1), Px(1));
  ASSERT_TRUE(shape.SetImageNib(&nib, false));  // reused: the old falloff stays
  EXPECT_EQ(shape.SampleAt(Px(1), Px(1)), before);
  ASSERT_TRUE(shape.SetImageNib(&nib, true));  // forced
  EXPECT_NE(shape.SampleAt(Px(1), Px(1)), before);
}

// A circle whose radius equalled an image nib's scale (100 px for 100 %) reused the image footprint.
TEST(NibRasteriser, CircleAfterAnImageNibOfTheSameSizeIsRebuilt) {
  CGradeMapObj map(kFalloffEntries);
  CPenShape shape(&map);
  CPenShapeObj nib;
  nib.SetParametric(nullptr, nullptr, nullptr);
  ASSERT_TRUE(nib.SetImage(BlockImage(8, 8, 0, 0, 8, 8), true));
  ASSERT_TRUE(shape.SetImageNib(&nib, false));
  ASSERT_EQ(shape.Size(), 100 << 16);
  ASSERT_TRUE(shape.SetCircle(100 << 16));
  EXPECT_GE(shape.PixelWidth(), 200);
}

// A 2 x 3000 image nib gets the scale 200: a footprint of about 6000 pixels.
TEST(NibRasteriser, ImageNibFootprintBeyond512PixelsIsRefused) {
  CGradeMapObj map(kFalloffEntries);
  CPenShape shape(&map);
  CPenShapeObj nib;
  nib.SetParametric(nullptr, nullptr, nullptr);
  ASSERT_TRUE(nib.SetImage(BlockImage(2, 3000, 0, 0, 2, 3000), true));
  EXPECT_EQ(nib.GetScalePercent(), 200);
  EXPECT_FALSE(shape.SetImageNib(&nib, false));
  EXPECT_FALSE(shape.IsBuilt());
  EXPECT_EQ(shape.SampleAt(0, 0), 0);
  // Not an image nib: refused as well.
  CPenShapeObj parametric;
  EXPECT_FALSE(shape.SetImageNib(&parametric, false));
}

}  // namespace
}  // namespace tf

namespace tf {
namespace {

// A large exact nib on a small target builds only the part of its footprint the target holds
// (a 540-byte recording with nibs of hundreds of pixels on a 30 x 24 canvas took minutes): every
// pixel of the target samples the same value as from the whole footprint.
TEST(NibRasteriser, ExactFootprintBuiltOnlyWhereTheTargetIs) {
  CGradeMapObj map(kFalloffEntries);
  struct Case {
    double cx, cy, r;
    int32_t ratio, angle;
    bool rowWise;
  };
  constexpr int32_t kW = 30, kH = 24;
  for (const Case c : {Case{15.3, 11.6, 250, 100, 0, true}, Case{-40.5, 70.25, 90, 100, 0, false},
                       Case{3.7, 5.1, 4.2, 100, 0, true}, Case{20.2, -8.9, 200, 40, 30, true},
                       Case{-3.3, 12.0, 60, 70, 110, false}, Case{200.0, 200.0, 20, 100, 0, true}}) {
    SCOPED_TRACE(c.r);
    CPenShape whole(&map), limited(&map);
    whole.SetAntialias(true);
    limited.SetAntialias(true);
    limited.SetExactLimit(kW, kH);
    const Fixed cx = Px(c.cx), cy = Px(c.cy);
    auto build = [&](CPenShape& s) {
      return c.ratio == 100 ? s.SetExactCircle(cx, cy, c.rowWise, Px(c.r))
                            : s.SetExactEllipse(cx, cy, c.rowWise, c.angle, c.ratio, Px(c.r));
    };
    ASSERT_TRUE(build(whole));
    ASSERT_TRUE(build(limited));
    EXPECT_LE(int64_t{limited.GridWidth()} * limited.GridHeight(), int64_t{kW} * kH);
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) ASSERT_EQ(DabValue(limited, cx, cy, x, y), DabValue(whole, cx, cy, x, y)) << x << "," << y;
  }
}

// A supersampled nib of hundreds of pixels on a small canvas built its whole footprint for every
// dab whose size changed (a 184-byte recording took most of a second). With the dab's window only
// the cells its pixels read are built, and a shape reused over dabs grows its built cells: every
// pixel reads what the whole footprint holds, over sizes, ratios, angles, sub-pixel positions and
// positions off the canvas.
TEST(NibRasteriser, SupersampledFootprintBuiltOnlyWhereTheTargetIs) {
  CGradeMapObj map(kFalloffEntries);
  struct Canvas {
    int32_t width, height;
  };
  struct Nib {
    double r;
    int32_t ratio, angle;
  };
  const Nib nibs[] = {{0.4, 100, 0},  {1.3, 100, 0},  {2.6, 60, 45},  {4.1, 100, 0},   {6.8, 35, 300},
                      {12.5, 100, 0}, {30.2, 80, 17}, {49.7, 100, 0}, {120.5, 100, 0}, {217.0, 100, 0},
                      {250.5, 55, 130}, {270.0, 100, 0}, {511.5, 100, 0}};
  std::mt19937 random(0x5a3e);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  int64_t compared = 0;
  for (const Canvas canvas : {Canvas{30, 24}, Canvas{200, 150}}) {
    for (const bool antialias : {true, false}) {
      CPenShape limited(&map);  // one shape over all dabs, as the renderer keeps it
      limited.SetAntialias(antialias);
      for (const Nib& nib : nibs) {
        SCOPED_TRACE(::testing::Message() << canvas.width << "x" << canvas.height << " r " << nib.r << " ratio "
                                          << nib.ratio << " antialias " << antialias);
        CPenShape whole(&map);
        whole.SetAntialias(antialias);
        const Fixed r = Px(nib.r);
        auto build = [&](CPenShape& s, const SSampleWindow* w) {
          return nib.ratio == 100 ? s.SetCircle(r, w) : s.SetEllipse(r, nib.ratio, nib.angle, w);
        };
        ASSERT_TRUE(build(whole, nullptr));
        for (int dab = 0; dab < 12; ++dab) {
          // Centres over and around the canvas, at any sub-pixel offset.
          const double x = -nib.r + unit(random) * (canvas.width + 2 * nib.r);
          const double y = -nib.r + unit(random) * (canvas.height + 2 * nib.r);
          SSampleWindow w{Px(x), Px(y), {}};
          const int64_t left = std::max<int64_t>((int64_t{w.cx} - r) >> 16, 0);
          const int64_t top = std::max<int64_t>((int64_t{w.cy} - r) >> 16, 0);
          const int64_t right = std::min<int64_t>((int64_t{w.cx} + r + 0xFFFF) >> 16, canvas.width);
          const int64_t bottom = std::min<int64_t>((int64_t{w.cy} + r + 0xFFFF) >> 16, canvas.height);
          if (right <= left || bottom <= top) continue;
          w.pixels = {static_cast<int32_t>(left), static_cast<int32_t>(top), static_cast<int32_t>(right),
                      static_cast<int32_t>(bottom)};
          ASSERT_TRUE(build(limited, &w));
          ASSERT_EQ(limited.GridWidth(), whole.GridWidth());
          const TRect cells = limited.BuiltCells();
          const int64_t ss = limited.Supersample();
          if (dab == 0) {
            // A fresh footprint holds no more than the window's cells.
            EXPECT_LE(int64_t{cells.right - cells.left}, (right - left + 1) * ss);
            EXPECT_LE(int64_t{cells.bottom - cells.top}, (bottom - top + 1) * ss);
          }
          for (int32_t py = w.pixels.top; py < w.pixels.bottom; ++py) {
            for (int32_t px = w.pixels.left; px < w.pixels.right; ++px, ++compared) {
              ASSERT_EQ(DabValue(limited, w.cx, w.cy, px, py), DabValue(whole, w.cx, w.cy, px, py))
                  << "dab " << dab << " at " << x << "," << y << " pixel " << px << "," << py;
            }
          }
        }
      }
    }
  }
  EXPECT_GT(compared, 100000);
  // The 30 x 24 canvas under a 270-pixel nib: the built cells are the canvas's, not the nib's.
  CPenShape shape(&map);
  shape.SetAntialias(true);
  const SSampleWindow w{Px(15.3), Px(11.7), {0, 0, 30, 24}};
  ASSERT_TRUE(shape.SetCircle(Px(270), &w));
  const TRect cells = shape.BuiltCells();
  EXPECT_LE(int64_t{cells.right - cells.left} * (cells.bottom - cells.top), 31 * 25);
  EXPECT_GT(int64_t{shape.GridWidth()} * shape.GridHeight(), 500 * 500);
}

// A grade map changed after a windowed build combines the built cells again: they read what a
// whole footprint built under the new map holds.
TEST(NibRasteriser, WindowedFootprintFollowsAChangedGradeMap) {
  CGradeMapObj map(kFalloffEntries);
  CPenShape limited(&map), whole(&map);
  const SSampleWindow w{Px(10.4), Px(-3.2), {0, 0, 25, 20}};
  ASSERT_TRUE(limited.SetCircle(Px(40.5), &w));
  SGradeMap profile = map.Profile();
  profile.core = 300;
  profile.floor = 250;
  ASSERT_TRUE(map.SetProfile(profile));
  ASSERT_TRUE(limited.Update());
  ASSERT_TRUE(whole.SetCircle(Px(40.5)));
  for (int32_t py = 0; py < 20; ++py)
    for (int32_t px = 0; px < 25; ++px)
      ASSERT_EQ(DabValue(limited, w.cx, w.cy, px, py), DabValue(whole, w.cx, w.cy, px, py)) << px << "," << py;
}

// Only the cells of the rim are measured (a recording of nibs of hundreds of pixels whose size
// changed at every dab spent a second measuring cells deep inside or far outside the edge): every
// cell's coverage is still what CircleEdgeCoverage gives it, for circles and turned ellipses of
// any size.
TEST(NibRasteriser, FootprintCoverageIsTheEdgeCoverageOfEveryCell) {
  CGradeMapObj map(kFalloffEntries);
  struct Nib {
    double r;
    int32_t ratio, angle;
  };
  for (const Nib nib : {Nib{0.3, 100, 0}, Nib{1.6, 100, 0}, Nib{2.2, 50, 20}, Nib{5.75, 100, 0}, Nib{9.9, 30, 75},
                        Nib{17.5, 100, 0}, Nib{64.0, 100, 0}, Nib{99.5, 65, 200}, Nib{250.5, 100, 0},
                        Nib{301.0, 85, 333}, Nib{512.0, 100, 0}}) {
    SCOPED_TRACE(nib.r);
    CPenShape shape(&map);
    shape.SetAntialias(true);
    ASSERT_TRUE(nib.ratio == 100 ? shape.SetCircle(Px(nib.r)) : shape.SetEllipse(Px(nib.r), nib.ratio, nib.angle));
    const int32_t step = 0x10000 / shape.Supersample();
    const Fixed k = FixDiv(100, nib.ratio);
    for (int32_t row = 0; row < shape.GridHeight(); ++row) {
      for (int32_t column = 0; column < shape.GridWidth(); ++column) {
        Fixed x = step / 2 - shape.CentreX() + column * step;
        Fixed y = step / 2 - shape.CentreY() + row * step;
        if (nib.ratio != 100) {
          const Fixed u = FixMul(x, shape.Cosine()) - FixMul(y, shape.Sine());
          const Fixed v = FixMul(FixMul(x, shape.Sine()) + FixMul(y, shape.Cosine()), k);
          x = u;
          y = v;
        }
        const Fixed expected = CircleEdgeCoverage(x, y, FixHypot(x, y), shape.Size(), 0x8000, 0x8000);
        ASSERT_EQ(shape.CoveragePlane()[static_cast<size_t>(row) * shape.GridWidth() + column], expected)
            << column << "," << row;
      }
    }
  }
}

}  // namespace
}  // namespace tf
