#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "raster/ColorConvert.h"
#include "raster/MemoryGraphic.h"

namespace tf {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr SChannelOps kCoverageOps{ChannelKeep, ChannelBlend};  // coverage into alpha only
constexpr SChannelOps kCopy{ChannelCopy, ChannelCopy};

// The coverage a shape left in the alpha plane of a clear surface, in pixels.
double CoverageSum(const TMemoryGraphic& g) {
  double sum = 0;
  for (int32_t y = 0; y < g.Height(); ++y)
    for (int32_t x = 0; x < g.Width(); ++x) sum += (g.GetPixel(x, y) >> 24) / 255.0;
  return sum;
}

bool SameRows(const TMemoryGraphic& a, const TMemoryGraphic& b) {
  for (int32_t y = 0; y < a.Height(); ++y)
    for (int32_t x = 0; x < a.Width(); ++x)
      if (a.GetPixel(x, y) != b.GetPixel(x, y)) return false;
  return true;
}

// Coverage r - dist + 1, clamped to 0..1, integrates to pi (r^2 + r + 1/3).
double DiscArea(double r) { return kPi * (r * r + r + 1.0 / 3.0); }

TEST(ShapesTest, CoverageSumsMatchAnalyticAreas) {
  for (float r : {3.0f, 7.5f, 20.0f}) {
    TMemoryGraphic g(64, 64, BGRAClear);
    ASSERT_TRUE(g.FillCircle({31.3f, 30.8f}, BGRABlack, r, kCoverageOps));
    // Alpha bytes truncate each edge pixel's coverage: up to a pixel in all.
    EXPECT_NEAR(CoverageSum(g), DiscArea(r), DiscArea(r) * 0.01 + 1.0) << "circle " << r;
  }
  // An ellipse's coverage lies between the ellipse of its radii and one a pixel larger.
  TMemoryGraphic e(64, 64, BGRAClear);
  ASSERT_TRUE(e.FillEllipse({32, 32}, 20, 8, 0.6f, BGRABlack, kCoverageOps));
  EXPECT_GT(CoverageSum(e), kPi * 20 * 8);
  EXPECT_LT(CoverageSum(e), kPi * 21 * 9);
  // Triangles cover half their rectangle, within their antialiased edges.
  for (uint8_t d : {kDirDown, kDirUp, kDirRight, kDirLeft}) {
    for (auto [w, h] : {std::pair{40, 20}, std::pair{21, 33}}) {
      TMemoryGraphic t(48, 48, BGRAClear);
      ASSERT_TRUE(t.FillTriangle({2, 3, 2 + w, 3 + h}, BGRABlack, d, kCoverageOps));
      EXPECT_NEAR(CoverageSum(t), w * h / 2.0, (w + h) * 0.5) << int(d) << " " << w << "x" << h;
    }
  }
}

TEST(ShapesTest, SymmetricShapes) {
  for (int32_t size : {1, 2, 9, 11, 16}) {
    TMemoryGraphic g(size, size, BGRAClear);
    ASSERT_TRUE(g.FillDot(0, 0, size, BGRABlack, kCoverageOps));
    TMemoryGraphic ring(size, size, BGRAClear);
    ASSERT_TRUE(ring.FrameDot(0, 0, size, 2, BGRABlack, kCoverageOps));
    for (const TMemoryGraphic* s : {&g, &ring})
      for (int32_t y = 0; y < size; ++y)
        for (int32_t x = 0; x < size; ++x) {
          const uint32_t v = s->GetPixel(x, y);
          ASSERT_EQ(v, s->GetPixel(size - 1 - x, y)) << size << " (" << x << ", " << y << ")";
          ASSERT_EQ(v, s->GetPixel(x, size - 1 - y));
          ASSERT_EQ(v, s->GetPixel(y, x));
        }
  }
  // Triangles: mirror images across their axis, and the opposite direction is the flip.
  for (auto [w, h] : {std::pair{9, 6}, std::pair{10, 13}, std::pair{7, 2}}) {
    TMemoryGraphic down(w, h, BGRAClear), up(w, h, BGRAClear), right(h, w, BGRAClear), left(h, w, BGRAClear);
    ASSERT_TRUE(down.FillTriangle({0, 0, w, h}, BGRABlack, kDirDown, kCoverageOps));
    ASSERT_TRUE(up.FillTriangle({0, 0, w, h}, BGRABlack, kDirUp, kCoverageOps));
    ASSERT_TRUE(right.FillTriangle({0, 0, h, w}, BGRABlack, kDirRight, kCoverageOps));
    ASSERT_TRUE(left.FillTriangle({0, 0, h, w}, BGRABlack, kDirLeft, kCoverageOps));
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) {
        ASSERT_EQ(down.GetPixel(x, y), down.GetPixel(w - 1 - x, y));
        ASSERT_EQ(down.GetPixel(x, y), up.GetPixel(x, h - 1 - y));
        ASSERT_EQ(right.GetPixel(y, x), right.GetPixel(y, w - 1 - x));
        ASSERT_EQ(right.GetPixel(y, x), left.GetPixel(h - 1 - y, x));
      }
  }
}

TEST(ShapesTest, DotsAndRings) {
  TMemoryGraphic one(3, 3, BGRAClear);
  ASSERT_TRUE(one.FillDot(1, 1, 1, BGRABlack, kCopy));
  EXPECT_EQ(one.GetPixel(1, 1), BGRABlack);  // a dot of size 1 covers its pixel fully
  EXPECT_EQ(one.GetPixel(0, 1), BGRAClear);
  // A square half outside the surface draws a smaller dot in the visible part.
  TMemoryGraphic half(8, 8, BGRAClear), small(8, 8, BGRAClear);
  ASSERT_TRUE(half.FillDot(4, 4, 8, BGRABlack, kCoverageOps));
  ASSERT_TRUE(small.FillDot(4, 4, 4, BGRABlack, kCoverageOps));
  EXPECT_TRUE(SameRows(half, small));
  // A line width that reaches the radius makes the ring a dot.
  TMemoryGraphic ring(11, 11, BGRAClear), dot(11, 11, BGRAClear);
  ASSERT_TRUE(ring.FrameDot(0, 0, 11, 5, BGRABlack, kCoverageOps));
  ASSERT_TRUE(dot.FillDot(0, 0, 11, BGRABlack, kCoverageOps));
  EXPECT_TRUE(SameRows(ring, dot));
  TMemoryGraphic hole(11, 11, BGRAClear);
  ASSERT_TRUE(hole.FrameDot(0, 0, 11, 2, BGRABlack, kCoverageOps));
  EXPECT_EQ(hole.GetPixel(5, 5), BGRAClear);
  EXPECT_EQ(hole.GetPixel(5, 0) >> 24, 255u);
  TMemoryGraphic hueRing(11, 11, BGRAClear), hueDisc(11, 11, BGRAClear);
  ASSERT_TRUE(hueRing.FrameHueRing(0, 0, 11, 6, 0.5f, 1, 1, 1, kCopy, true));
  ASSERT_TRUE(hueDisc.FillHueDisc(0, 0, 11, 0.5f, 1, 1, 1, kCopy, true));
  EXPECT_TRUE(SameRows(hueRing, hueDisc));
}

TEST(ShapesTest, HueDiscs) {
  TMemoryGraphic g(21, 21, BGRAClear);
  ASSERT_TRUE(g.FillHueDisc(0, 0, 21, 0.0f, 1, 1, 1, kCopy, true));
  // Red at the right edge (angles are measured about (d/2, d/2), so the middle row is a little
  // above the axis: a touch of green).
  const uint32_t right = g.GetPixel(20, 10);
  EXPECT_EQ(right >> 16 & 0xFF, 255u);
  EXPECT_LT(right >> 8 & 0xFF, 20u);
  EXPECT_EQ(right & 0xFF, 0u);
  const uint32_t top = g.GetPixel(10, 0);                    // a quarter turn counter-clockwise
  EXPECT_EQ(top >> 8 & 0xFF, 255u);                          // yellow-green: green full,
  EXPECT_NEAR(static_cast<int>(top >> 16 & 0xFF), 127, 12);  // red about half, no blue
  EXPECT_EQ(top & 0xFF, 0u);
  TMemoryGraphic s(21, 21, BGRAClear);
  ASSERT_TRUE(s.FillHueSaturationDisc(0, 0, 21, 0.0f, 1, 1, kCopy, true));
  EXPECT_EQ(s.GetPixel(10, 10) & 0xFFFFFF, 0xFFFFFFu);  // grey (white) in the centre
  EXPECT_FALSE(s.FillHueValueDisc(0, 0, 1, 0.0f, 1, 1, kCopy, true));
}

TEST(ShapesTest, RampsAndPlanes) {
  TMemoryGraphic g(6, 2, BGRAClear);
  ASSERT_TRUE(g.FillHueRamp({0, 0, 6, 2}, kDirRight, 0.0f, 1, 1, 1, kCopy, true));
  const uint32_t expected[] = {0xFFFF0000, 0xFFFFFF00, 0xFF00FF00, 0xFF00FFFF, 0xFF0000FF, 0xFFFF00FF};
  for (int32_t x = 0; x < 6; ++x) {
    EXPECT_EQ(g.GetPixel(x, 0), expected[x]) << x;
    EXPECT_EQ(g.GetPixel(x, 1), expected[x]) << x;
  }
  TMemoryGraphic s(2, 5, BGRAClear);
  ASSERT_TRUE(s.FillSaturationRamp({0, 0, 2, 5}, kDirUp, 0.0f, 1, 1, kCopy, true));
  EXPECT_EQ(s.GetPixel(0, 0), 0xFFFF0000u);  // saturation 1 on the top row
  EXPECT_EQ(s.GetPixel(1, 4), 0xFFFFFFFFu);  // 0 on the bottom row
  // The ramp's alpha is the colour weight: half over black.
  TMemoryGraphic v(3, 1, BGRABlack);
  ASSERT_TRUE(v.FillValueRamp({0, 0, 3, 1}, kDirRight, 0.0f, 0, 0.5f, {ChannelBlend, ChannelKeep}, true));
  EXPECT_EQ(v.GetPixel(2, 0), 0xFF7F7F7Fu);
  // One pixel long: the start value, no division by zero.
  TMemoryGraphic one(1, 1, BGRAClear);
  EXPECT_TRUE(one.FillValueRamp({0, 0, 1, 1}, kDirUp, 0.0f, 0, 1, kCopy, true));
  EXPECT_EQ(one.GetPixel(0, 0), 0xFFFFFFFFu);
  TMemoryGraphic p(5, 5, BGRAClear);
  ASSERT_TRUE(p.FillSaturationValuePlane({0, 0, 5, 5}, kDirRight, 0.0f, 1, kDirUp, kCopy, true));
  EXPECT_EQ(p.GetPixel(4, 0), 0xFFFF0000u);  // saturation 1, value 1
  EXPECT_EQ(p.GetPixel(0, 0), 0xFFFFFFFFu);  // saturation 0, value 1
  EXPECT_EQ(p.GetPixel(2, 4), 0xFF000000u);  // value 0
  ASSERT_TRUE(p.FillHueValuePlane({0, 0, 5, 5}, kDirRight, 0.0f, 1, 1, kDirUp, kCopy, true));
  EXPECT_EQ(p.GetPixel(0, 0), 0xFFFF0000u);
  EXPECT_FALSE(p.FillHueRamp({0, 0, 5, 5}, kDirRight, 0.0f, 1, 1, NAN, kCopy, true));
}

TEST(ShapesTest, Ellipses) {
  TMemoryGraphic circle(32, 32, BGRAClear), ellipse(32, 32, BGRAClear);
  ASSERT_TRUE(circle.FillCircle({15.5f, 14}, BGRABlack, 9, kCoverageOps));
  ASSERT_TRUE(ellipse.FillEllipse({15.5f, 14}, 9, 9, 1.1f, BGRABlack, kCoverageOps));
  EXPECT_TRUE(SameRows(circle, ellipse));  // equal radii: a circle, whatever the angle
  TMemoryGraphic none(8, 8, BGRAClear);
  EXPECT_FALSE(none.FillEllipse({4, 4}, 0, 3, 0, BGRABlack, kCopy));
  EXPECT_EQ(CoverageSum(none), 0.0);
  // The long axis points along the angle whichever radius is the long one.
  TMemoryGraphic a(32, 32, BGRAClear), b(32, 32, BGRAClear);
  ASSERT_TRUE(a.FillEllipse({16, 16}, 12, 4, 0, BGRABlack, kCoverageOps));
  ASSERT_TRUE(b.FillEllipse({16, 16}, 4, 12, 0, BGRABlack, kCoverageOps));
  EXPECT_TRUE(SameRows(a, b));
  EXPECT_EQ(a.GetPixel(26, 16) >> 24, 255u);
  EXPECT_EQ(a.GetPixel(16, 26) >> 24, 0u);
  // Rings: scale 1 is the inner colour alone, 0 the outer colour alone.
  TMemoryGraphic ring(32, 32, BGRAClear), plain(32, 32, BGRAClear);
  ASSERT_TRUE(ring.FillEllipseRing({16, 16}, 10, 6, 1.0f, 0.3f, BGRARed, BGRABlue, kCopy));
  ASSERT_TRUE(plain.FillEllipse({16, 16}, 10, 6, 0.3f, BGRARed, kCopy));
  EXPECT_TRUE(SameRows(ring, plain));
  ASSERT_TRUE(ring.FillEllipseRing({16, 16}, 10, 6, 0.0f, 0.3f, BGRARed, BGRABlue, kCopy));
  ASSERT_TRUE(plain.FillEllipse({16, 16}, 10, 6, 0.3f, BGRABlue, kCopy));
  EXPECT_TRUE(SameRows(ring, plain));
  ASSERT_TRUE(ring.FillEllipseRing({16, 16}, 10, 6, 0.5f, 0.0f, BGRARed, BGRABlue, kCopy));
  EXPECT_EQ(ring.GetPixel(16, 16), BGRARed);
  EXPECT_EQ(ring.GetPixel(25, 16), BGRABlue);
  // Falloff: a density of 0.5 everywhere halves the coverage; inner >= 1 ignores the function.
  TMemoryGraphic f(32, 32, BGRAClear), full(32, 32, BGRAClear);
  ASSERT_TRUE(f.FillEllipseFalloff(
      {16, 16}, 10, 6, 0, BGRABlack, [](float) { return 0.5f; }, 0, 0, kCoverageOps));
  ASSERT_TRUE(full.FillEllipse({16, 16}, 10, 6, 0, BGRABlack, kCoverageOps));
  EXPECT_EQ(f.GetPixel(16, 16) >> 24, 255u);  // rho 0 at the centre gives 1
  EXPECT_NEAR(f.GetPixel(20, 16) >> 24, 127, 1);
  ASSERT_TRUE(f.FillEllipseFalloff(
      {16, 16}, 10, 6, 0, BGRABlack, [](float) { return 0.0f; }, 1, 0, kCoverageOps));
  EXPECT_TRUE(SameRows(f, full) || CoverageSum(f) >= CoverageSum(full));
  EXPECT_EQ(FalloffValue([](float r) { return 1 - r; }, 0.5f, 0.0f, 0.5f), 0.75f);
  EXPECT_EQ(FalloffValue([](float r) { return r; }, 0.5f, 0.5f, 0.0f), 0.0f);
}

TEST(ShapesTest, NonFiniteAndHugeArgumentsAreClippedOrRefused) {
  TMemoryGraphic g(16, 16, BGRAClear);
  EXPECT_FALSE(g.FillCircle({NAN, 3}, BGRABlack, 4, kCopy));
  EXPECT_FALSE(g.FillCircle({3, 3}, BGRABlack, INFINITY, kCopy));
  EXPECT_FALSE(g.FillEllipse({3, 3}, 4, NAN, 0, BGRABlack, kCopy));
  EXPECT_FALSE(g.FillEllipse({3, 3}, 4, 2, INFINITY, BGRABlack, kCopy));
  EXPECT_FALSE(g.FillCircle({1e30f, 3}, BGRABlack, 4, kCopy));
  EXPECT_EQ(CoverageSum(g), 0.0);
  // A huge radius covers the whole surface without any integer overflow.
  EXPECT_TRUE(g.FillCircle({8, 8}, BGRABlack, 1e20f, kCopy));
  EXPECT_EQ(CoverageSum(g), 256.0);
  TMemoryGraphic e(16, 16, BGRAClear);
  EXPECT_TRUE(e.FillEllipse({8, 8}, 3e9f, 2e9f, 0.2f, BGRABlack, kCopy));
  EXPECT_EQ(e.GetPixel(8, 8), BGRABlack);
}

TEST(ShapesTest, GradientTriangles) {
  const uint32_t a = 0xFF0000FF, b = 0xFFFF0000, apex = 0xFF00FF00;
  TMemoryGraphic g(20, 11, BGRAClear);
  ASSERT_TRUE(g.FillGradientTriangle({0, 0, 20, 11}, a, apex, b, kDirRight, kCopy));
  EXPECT_EQ(g.GetPixel(0, 5), LerpPixel(a, b, 0.5f));  // the middle row starts at the mix
  EXPECT_EQ(g.GetPixel(19, 5), apex);                  // and ends at the apex
  EXPECT_EQ(g.GetPixel(0, 0), a);
  EXPECT_EQ(g.GetPixel(0, 10), b);
  TMemoryGraphic v(11, 20, BGRAClear);
  ASSERT_TRUE(v.FillGradientTriangle({0, 0, 11, 20}, a, apex, b, kDirUp, kCopy));
  EXPECT_EQ(v.GetPixel(5, 0), apex);
  EXPECT_EQ(v.GetPixel(5, 19), LerpPixel(a, b, 0.5f));
  EXPECT_EQ(v.GetPixel(0, 19), a);
  EXPECT_EQ(v.GetPixel(10, 19), b);
  EXPECT_FALSE(v.FillGradientTriangle({0, 0, 1, 20}, a, apex, b, kDirUp, kCopy));
}

}  // namespace
}  // namespace tf
