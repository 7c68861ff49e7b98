// Shape fills: coverage of rectangles, ellipses and polygons against independent area
// computations, the even-odd rule, and shapes from untrusted points.
#include "paint/ShapeFill.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <vector>

#include "paint/PixelWriters.h"
#include "paint/Stroke.h"
#include "raster/FlatImage.h"

namespace tf {
namespace {

class ShapeFillTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetPixelWriters(); }
  void TearDown() override { ResetPixelWriters(); }
  // A channel of the bounds' size, cleared; the fill writes its coverage (channel value 255).
  static void Clear(TChannel& c) {
    for (int32_t y = 0; y < c.Height(); ++y)
      for (int32_t x = 0; x < c.Width(); ++x) *c.GetPixelPtr(x, y) = 0;
  }
  TStroke stroke{2};
};

// Area of the shape within each pixel, by 16 x 16 samples at sub-pixel centres.
std::vector<double> Supersample(int32_t w, int32_t h, const std::function<bool(double, double)>& inside) {
  std::vector<double> area(static_cast<size_t>(w * h), 0.0);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      int n = 0;
      for (int sy = 0; sy < 16; ++sy)
        for (int sx = 0; sx < 16; ++sx) n += inside(x + (sx + 0.5) / 16, y + (sy + 0.5) / 16) ? 1 : 0;
      area[static_cast<size_t>(y * w + x)] = n / 256.0;
    }
  return area;
}

// Even-odd point in polygon.
bool InPolygon(const std::vector<SPointF>& p, double x, double y) {
  bool in = false;
  for (size_t i = 0, j = p.size() - 1; i < p.size(); j = i++) {
    if ((p[i].y > y) != (p[j].y > y) && x < (p[j].x - p[i].x) * (y - p[i].y) / (p[j].y - p[i].y) + p[i].x)
      in = !in;
  }
  return in;
}

TEST_F(ShapeFillTest, RectangleIncludesTheMaxCornerAndFillsFully) {
  CFillMngr fill(nullptr, stroke, 16, 16);
  ASSERT_TRUE(fill.SetRect({5, 7}, {2, 3}));
  SRectWH bounds{};
  fill.GetBounds(bounds);
  EXPECT_EQ(bounds, (SRectWH{2, 3, 4, 5}));
  TChannel c(16, 16);
  Clear(c);
  EXPECT_EQ(fill.Fill(c), 5);
  for (int32_t y = 0; y < 16; ++y)
    for (int32_t x = 0; x < 16; ++x) {
      const bool in = x >= 2 && x <= 5 && y >= 3 && y <= 7;
      ASSERT_EQ(c.GetPixel(x, y), in ? 255 : 0) << x << "," << y;
    }
}

TEST_F(ShapeFillTest, FractionalRectangleMatchesItsAreaWithinOne) {
  struct Case {
    SPointF a, b;
  };
  for (const Case k :
       {Case{{2.5f, 3}, {5, 7}}, Case{{1.3f, 2.6f}, {7.8f, 9.2f}}, Case{{0.25f, 0.75f}, {0.5f, 0.9f}}}) {
    CFillMngr fill(nullptr, stroke, 16, 16);
    ASSERT_TRUE(fill.SetRect(k.a, k.b));
    TChannel c(16, 16);
    Clear(c);
    fill.Fill(c);
    const double x0 = std::min(k.a.x, k.b.x), x1 = std::max(k.a.x, k.b.x) + 1;
    const double y0 = std::min(k.a.y, k.b.y), y1 = std::max(k.a.y, k.b.y) + 1;
    for (int32_t y = 0; y < 16; ++y)
      for (int32_t x = 0; x < 16; ++x) {
        const double ax = std::max(0.0, std::min<double>(x + 1, x1) - std::max<double>(x, x0));
        const double ay = std::max(0.0, std::min<double>(y + 1, y1) - std::max<double>(y, y0));
        ASSERT_NEAR(c.GetPixel(x, y), ax * ay * 255, 1.0) << x << "," << y;
      }
  }
  // The half column of (2.5, 3): k = 0.5.
  CFillMngr fill(nullptr, stroke, 16, 16);
  ASSERT_TRUE(fill.SetRect({2.5f, 3}, {5, 7}));
  TChannel c(16, 16);
  Clear(c);
  fill.Fill(c);
  EXPECT_EQ(c.GetPixel(2, 4), 127);
}

TEST_F(ShapeFillTest, ShapesOutsideTheBoundsFillNothing) {
  CFillMngr rect(nullptr, stroke, 16, 16);
  EXPECT_FALSE(rect.SetRect({-10, 2}, {-3, 5}));
  TChannel c(16, 16);
  Clear(c);
  EXPECT_EQ(rect.Fill(c), 0);
  CPolygonFiller poly(nullptr, stroke, 16, 16);
  const SPointF left[] = {{-9, 0}, {-2, 0}, {-5, 8}};
  EXPECT_FALSE(poly.SetPoints(left, 3));
  EXPECT_EQ(poly.Fill(c), 0);
  EXPECT_FALSE(poly.SetPoints(left, 2));
}

TEST_F(ShapeFillTest, EllipseOfATenPixelSquare) {
  CEllipseFiller fill(nullptr, stroke, 32, 32, false);
  ASSERT_TRUE(fill.SetRect({0, 0}, {9, 9}));
  const SEllipse3& e = fill.Ellipse();
  EXPECT_FLOAT_EQ(e.c.x, 5.0f);
  EXPECT_FLOAT_EQ(e.c.y, 5.0f);
  EXPECT_NEAR(e.e, 5.0f, 1e-4);
  EXPECT_EQ(e.rowFirst, 0);
  EXPECT_EQ(e.rowLast, 10);
  SPointF pts[2];
  EXPECT_EQ(EllipseRowSpan(e, 0, pts), 1);
  EXPECT_EQ(EllipseRowSpan(e, 10, pts), 1);
  EXPECT_EQ(EllipseRowSpan(e, 5, pts), 2);
  EXPECT_NEAR(pts[0].x, 0.0f, 1e-4);
  EXPECT_NEAR(pts[1].x, 10.0f, 1e-4);
  TChannel c(32, 32);
  Clear(c);
  fill.Fill(c);
  for (int32_t x = 0; x < 32; ++x) {
    EXPECT_EQ(c.GetPixel(x, 0), 0) << x;  // the touching rows draw nothing
    EXPECT_EQ(c.GetPixel(x, 10), 0) << x;
  }
}

// Each ellipse row takes the chord at the row's top edge, so the filled shape is the circle
// moved down by half a row.
TEST_F(ShapeFillTest, CircleCoverageMatchesTheSupersampledArea) {
  CEllipseFiller fill(nullptr, stroke, 48, 48, false);
  ASSERT_TRUE(fill.SetRect({4, 4}, {35, 35}));  // a circle of radius 16 about (20, 20)
  TChannel c(48, 48);
  Clear(c);
  fill.Fill(c);
  const std::vector<double> area = Supersample(
      48, 48, [](double x, double y) { return (x - 20) * (x - 20) + (y - 20.5) * (y - 20.5) <= 256; });
  double total = 0;
  double want = 0;
  for (int32_t y = 0; y < 48; ++y) {
    double row = 0;
    double rowWant = 0;
    for (int32_t x = 0; x < 48; ++x) {
      row += c.GetPixel(x, y) / 255.0;
      rowWant += area[static_cast<size_t>(y * 48 + x)];
    }
    // Away from the poles the rows agree closely; at the poles a single chord per row cannot
    // follow the curve (the touching rows draw nothing).
    EXPECT_NEAR(row, rowWant, std::abs(y + 0.5 - 20.5) <= 11 ? 0.1 : 3.0) << "row " << y;
    total += row;
    want += rowWant;
  }
  EXPECT_NEAR(total, want, want * 0.03);
  // Deep inside the circle every pixel is full.
  for (int32_t y = 10; y < 30; ++y)
    for (int32_t x = 10; x < 30; ++x)
      if ((x + 0.5 - 20) * (x + 0.5 - 20) + (y + 0.5 - 20) * (y + 0.5 - 20) < 100) {
        ASSERT_EQ(c.GetPixel(x, y), 255);
      }
}

TEST_F(ShapeFillTest, TriangleRowZeroIsSampledAtItsCentre) {
  CPolygonFiller fill(nullptr, stroke, 16, 16);
  const SPointF tri[] = {{0, 0}, {10, 0}, {0, 10}};
  ASSERT_TRUE(fill.SetPoints(tri, 3));
  TChannel c(16, 16);
  Clear(c);
  fill.Fill(c);
  for (int32_t x = 0; x < 9; ++x) EXPECT_EQ(c.GetPixel(x, 0), 255) << x;
  EXPECT_EQ(c.GetPixel(9, 0), 127);
  EXPECT_EQ(c.GetPixel(10, 0), 0);
}

TEST_F(ShapeFillTest, PolygonCoverageMatchesTheSupersampledArea) {
  // A quadrilateral with steep edges (no ramps): each pixel within a couple of levels of its
  // sampled-row area.
  const std::vector<SPointF> quad = {{16.3f, 1.2f}, {28.1f, 14.7f}, {15.6f, 29.4f}, {3.9f, 15.8f}};
  CPolygonFiller fill(nullptr, stroke, 32, 32);
  ASSERT_TRUE(fill.SetPoints(quad.data(), 4));
  TChannel c(32, 32);
  Clear(c);
  fill.Fill(c);
  const std::vector<double> area = Supersample(32, 32, [&](double x, double y) { return InPolygon(quad, x, y); });
  double total = 0, want = 0;
  for (int32_t y = 0; y < 32; ++y)
    for (int32_t x = 0; x < 32; ++x) {
      total += c.GetPixel(x, y) / 255.0;
      want += area[static_cast<size_t>(y * 32 + x)];
    }
  EXPECT_NEAR(total, want, want * 0.03);
}

TEST_F(ShapeFillTest, SelfCrossingPolygonFillsEvenOdd) {
  // A five-pointed star drawn in one stroke: its centre pentagon is crossed twice and stays empty.
  std::vector<SPointF> star;
  for (int i = 0; i < 5; ++i) {
    const double t = (i * 2 % 5) * 2 * M_PI / 5 - M_PI / 2;
    star.push_back({static_cast<float>(32 + 28 * std::cos(t)), static_cast<float>(32 + 28 * std::sin(t))});
  }
  CPolygonFiller fill(nullptr, stroke, 64, 64);
  ASSERT_TRUE(fill.SetPoints(star.data(), 5));
  TChannel c(64, 64);
  Clear(c);
  fill.Fill(c);
  EXPECT_EQ(c.GetPixel(32, 33), 0);    // the centre: a hole
  EXPECT_EQ(c.GetPixel(32, 10), 255);  // inside the top point
  const std::vector<double> area = Supersample(64, 64, [&](double x, double y) { return InPolygon(star, x, y); });
  int wrong = 0;
  for (int32_t y = 0; y < 64; ++y)
    for (int32_t x = 0; x < 64; ++x)
      if (std::abs(c.GetPixel(x, y) / 255.0 - area[static_cast<size_t>(y * 64 + x)]) > 0.75) ++wrong;
  EXPECT_EQ(wrong, 0);
}

TEST_F(ShapeFillTest, ColourTargetGoesThroughTheImageWriter) {
  stroke.SetColor(0x000000FFu);  // red
  CFillMngr fill(nullptr, stroke, 8, 8);
  ASSERT_TRUE(fill.SetRect({1, 1}, {2, 2}));
  TMTC image(8, 8);
  image.FillValue(0x00FFFFFFu);
  EXPECT_EQ(fill.Fill(image), 2);
  EXPECT_EQ(image.GetPixel(0, 0), 0x00FFFFFFu);
  EXPECT_EQ(image.GetPixel(1, 1) >> 24, 255u);
  EXPECT_NE(image.GetPixel(1, 1) & 0x00FFFFFFu, 0x00FFFFFFu);
}

// ---------------------------------------------------------------------------------------------
// Untrusted points

TEST_F(ShapeFillTest, CollinearAndNonFiniteEllipsesAreRefused) {
  SEllipse3 e;
  EXPECT_FALSE(SetupEllipse3(e, {0, 0}, {10, 0}, {20, 0}));    // collinear
  EXPECT_FALSE(SetupEllipse3(e, {0, 0}, {0, 0}, {5, 5}));      // one diameter point
  EXPECT_FALSE(SetupEllipse3(e, {0, 0}, {2, 0}, {1e20f, 1}));  // the extent overflows
  const float nan = std::numeric_limits<float>::quiet_NaN();
  EXPECT_FALSE(SetupEllipse3(e, {0, 0}, {2, 0}, {1, nan}));
  std::vector<SPointF> points;
  EXPECT_FALSE(MakeEllipsePolygon(points, {0, 0}, {10, 0}, {20, 0}, true));
}

TEST_F(ShapeFillTest, RegressionHugeEllipseRowsAreClippedBeforeAllocation) {
  CEllipseFiller fill(nullptr, stroke, 64, 64, false);
  ASSERT_TRUE(fill.SetRect({-3, -2000000}, {40, 2000000}));
  EXPECT_LE(fill.SpanPoints().size(), static_cast<size_t>(2 * (64 + 3)));
  TChannel c(64, 64);
  Clear(c);
  EXPECT_GT(fill.Fill(c), 0);
  EXPECT_EQ(c.GetPixel(20, 32), 255);
}

TEST_F(ShapeFillTest, RegressionFarOffPolygonPointsDoNotBloatTheCoverage) {
  CPolygonFiller fill(nullptr, stroke, 64, 64);
  const SPointF far[] = {{-1e9f, 0}, {30, 0}, {30, 40}, {-1e9f, 40}};
  ASSERT_TRUE(fill.SetPoints(far, 4));
  TChannel c(64, 64);
  Clear(c);
  EXPECT_EQ(fill.Fill(c), 40);
  EXPECT_LE(fill.Coverage().size(), 64u);
  for (int32_t x = 0; x < 30; ++x) EXPECT_EQ(c.GetPixel(x, 20), 255) << x;
  EXPECT_EQ(c.GetPixel(30, 20), 0);
  const float inf = std::numeric_limits<float>::infinity();
  const SPointF bad[] = {{0, 0}, {inf, 0}, {5, 5}};
  EXPECT_FALSE(fill.SetPoints(bad, 3));
}

TEST_F(ShapeFillTest, EllipsePolygonModeRefinesAQuarterArc) {
  std::vector<SPointF> points;
  ASSERT_TRUE(MakeEllipsePolygon(points, {0, 10}, {20, 10}, {10, 0}, true));
  ASSERT_EQ(points.size() % 4, 0u);
  ASSERT_GE(points.size(), 16u);
  for (const SPointF& p : points) {
    const double r = std::hypot(p.x - 10.0, p.y - 10.0);
    EXPECT_NEAR(r, 10.0, 1e-3);
  }
  EXPECT_FLOAT_EQ(points[0].x, 20.0f);
  EXPECT_FLOAT_EQ(points[0].y, 10.0f);
}

}  // namespace
}  // namespace tf
