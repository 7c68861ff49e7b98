#include "raster/Geometry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace tf {
namespace {

constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();

// ---------------------------------------------------------------------------------------------
// Rectangle forms

TEST(GeometryForms, ConversionsAndTwinNames) {
  const SRectWH r{3, -4, 10, 20};
  TRect b1, b2;
  RectToBounds(r, b1);
  MakeBoundsFromRect(r, b2);
  EXPECT_EQ(b1, (TRect{3, -4, 13, 16}));
  EXPECT_EQ(b1, b2);

  SRectWH r1, r2;
  BoundsToRect(b1, r1);
  MakeRectFromBounds(b1, r2);
  EXPECT_EQ(r1, r);
  EXPECT_EQ(r2, r);

  SizeToRect(SSize{7, 9}, r1);
  ImageExtentRect(SSize{7, 9}, r2);
  EXPECT_EQ(r1, (SRectWH{0, 0, 7, 9}));
  EXPECT_EQ(r2, r1);
  SizeToBounds(SSize{7, 9}, b1);
  EXPECT_EQ(b1, (TRect{0, 0, 7, 9}));

  SSize s;
  BoundsSize(TRect{2, 3, 12, 8}, s);
  EXPECT_EQ(s, (SSize{10, 5}));

  RectFromPointSize(r1, TPoint{5, 6}, SSize{2, 3});
  EXPECT_EQ(r1, (SRectWH{5, 6, 2, 3}));
  BoundsFromPointSize(b1, TPoint{5, 6}, SSize{2, 3});
  EXPECT_EQ(b1, (TRect{5, 6, 7, 9}));

  b1 = {1, 2, 3, 4};
  ClearBounds(b1);
  EXPECT_EQ(b1, (TRect{0, 0, 0, 0}));
}

TEST(GeometryForms, ConversionsSaturateInsteadOfOverflowing) {
  TRect b;
  RectToBounds(SRectWH{kMax - 5, kMin + 5, 100, -100}, b);
  EXPECT_EQ(b, (TRect{kMax - 5, kMin + 5, kMax, kMin}));
  SRectWH r;
  BoundsToRect(TRect{kMin, kMin, kMax, kMax}, r);
  EXPECT_EQ(r, (SRectWH{kMin, kMin, kMax, kMax}));
}

TEST(GeometryForms, NormalizeAndCorners) {
  struct Case {
    SRectWH in;
    SRectWH out;
  };
  const Case cases[] = {
      {{10, 10, -4, 6}, {6, 10, 4, 6}},
      {{10, 10, 4, -6}, {10, 4, 4, 6}},
      {{10, 10, -4, -6}, {6, 4, 4, 6}},
      {{10, 10, 0, 0}, {10, 10, 0, 0}},
  };
  for (const Case& c : cases) {
    SRectWH r = c.in;
    NormalizeRect(r);
    EXPECT_EQ(r, c.out);
  }
  SRectWH r;
  RectFromCorners(r, TPoint{8, 2}, TPoint{3, 7});
  EXPECT_EQ(r, (SRectWH{3, 2, 5, 5}));
  RectFromCorners(r, TPoint{3, 7}, TPoint{8, 2});
  EXPECT_EQ(r, (SRectWH{3, 2, 5, 5}));
}

TEST(GeometryForms, FloatRectangles) {
  SRectF f;
  RectToRectF(SRectWH{-2, 3, 5, 4}, f);
  EXPECT_EQ(f, (SRectF{-2.0f, 3.0f, 3.0f, 7.0f}));

  TRect b;
  RectFToBounds(SRectF{-0.5f, 1.0f, 2.25f, 3.0f}, b);
  EXPECT_EQ(b, (TRect{-1, 1, 3, 3}));
  RectFToBounds(SRectF{-1e20f, NAN, 1e20f, INFINITY}, b);
  EXPECT_EQ(b, (TRect{kMin, 0, kMax, kMax}));

  SRectWH r;
  RectFToRect(SRectF{0.5f, 0.5f, 2.5f, 3.0f}, r);
  EXPECT_EQ(r, (SRectWH{0, 0, 3, 3}));

  RectFFromPoints(f, SPointF{4.5f, 1.0f}, SPointF{2.0f, 3.5f});
  EXPECT_EQ(f, (SRectF{2.0f, 1.0f, 5.5f, 4.5f}));
}

TEST(GeometryForms, PointConversions) {
  struct Case {
    SPointF in;
    TPoint out;
  };
  const Case cases[] = {
      {{2.995f, -0.005f}, {3, 0}},  // 0.01 pulls values just below a whole number up
      {{-1.005f, 0.985f}, {-1, 0}}, {{-1.02f, 7.0f}, {-2, 7}},
      {{-0.5f, 0.5f}, {-1, 0}},     {{1e12f, -1e12f}, {kMax, kMin}},
  };
  for (const Case& c : cases) {
    TPoint p;
    PointFToPoint(c.in, p);
    EXPECT_EQ(p, c.out) << c.in.x << ", " << c.in.y;
  }
  SPointF f;
  PointToPointF(TPoint{-3, 16777216}, f);
  EXPECT_EQ(f, (SPointF{-3.0f, 16777216.0f}));
  FixPointToPointF(TPoint{98304, -32768}, f);
  EXPECT_EQ(f, (SPointF{1.5f, -0.5f}));
}

// ---------------------------------------------------------------------------------------------
// Clipping and intersection

TEST(GeometryClip, IntersectBounds) {
  struct Case {
    TRect a, b;
    bool nonEmpty;
    TRect result;  // checked only when not empty
  };
  const Case cases[] = {
      {{0, 0, 10, 10}, {10, 0, 20, 10}, false, {}},  // shared edge only
      {{0, 0, 10, 10}, {0, 10, 10, 20}, false, {}},
      {{0, 0, 10, 10}, {9, 9, 20, 20}, true, {9, 9, 10, 10}},
      {{0, 0, 10, 10}, {2, 3, 4, 5}, true, {2, 3, 4, 5}},
      {{0, 0, 10, 10}, {-5, -5, 50, 50}, true, {0, 0, 10, 10}},
      {{0, 0, 10, 10}, {20, 20, 30, 30}, false, {}},
  };
  for (const Case& c : cases) {
    TRect a = c.a;
    EXPECT_EQ(IntersectBounds(a, c.b), c.nonEmpty);
    if (c.nonEmpty) {
      EXPECT_EQ(a, c.result);
    }
  }
  SRectF f{0, 0, 10, 10};
  EXPECT_FALSE(IntersectRectF(f, SRectF{10, 0, 20, 10}));
  f = {0, 0, 10, 10};
  EXPECT_TRUE(IntersectRectF(f, SRectF{2.5f, -1, 20, 3.5f}));
  EXPECT_EQ(f, (SRectF{2.5f, 0, 10, 3.5f}));

  TRect b{-3, 2, 9, 20};
  EXPECT_TRUE(ClipBoundsToSize(b, SSize{8, 8}));
  EXPECT_EQ(b, (TRect{0, 2, 8, 8}));
}

TEST(GeometryClip, ClipRect) {
  SRectWH r{-5, -5, 10, 10};
  EXPECT_TRUE(ClipRectToSize(r, SSize{8, 8}));
  EXPECT_EQ(r, (SRectWH{0, 0, 5, 5}));

  // Written back even when nothing is left.
  r = {10, 2, 5, 3};
  EXPECT_FALSE(ClipRectToSize(r, SSize{8, 8}));
  EXPECT_EQ(r, (SRectWH{10, 2, -2, 3}));

  r = {0, 0, 0, 5};
  EXPECT_FALSE(ClipRectToSize(r, SSize{8, 8}));

  r = {-5, -5, 10, 10};
  EXPECT_TRUE(ClipRectToRect(r, SRectWH{2, 1, 10, 2}));
  EXPECT_EQ(r, (SRectWH{2, 1, 3, 2}));

  r = {3, 3, 20, 20};
  EXPECT_TRUE(ClipRectToBounds(r, TRect{5, 0, 10, 10}));
  EXPECT_EQ(r, (SRectWH{5, 3, 5, 7}));
}

TEST(GeometryClip, ClipRectReachingPastInt32) {
  SRectWH r{kMax - 5, 0, 100, 10};
  EXPECT_TRUE(ClipRectToBounds(r, TRect{0, 0, kMax, 10}));
  EXPECT_EQ(r, (SRectWH{kMax - 5, 0, 5, 10}));
  r = {-10, -10, kMax, kMax};
  EXPECT_TRUE(ClipRectToSize(r, SSize{8, 8}));
  EXPECT_EQ(r, (SRectWH{0, 0, 8, 8}));
}

TEST(GeometryClip, KeepRectInside) {
  struct Case {
    SRectWH r, area;
    bool ok;
    SRectWH result;
  };
  const SRectWH area{0, 0, 100, 100};
  const Case cases[] = {
      {{95, 0, 10, 10}, area, true, {90, 0, 10, 10}},
      {{90, 0, 10, 10}, area, true, {90, 0, 10, 10}},
      {{-7, 95, 10, 10}, area, true, {0, 90, 10, 10}},
      {{20, 30, 100, 10}, area, true, {0, 30, 100, 10}},  // exactly as wide: to the origin
      {{20, 30, 101, 10}, area, false, {20, 30, 101, 10}},
      {{20, 30, 10, 101}, area, false, {20, 30, 10, 101}},
      {{-50, -50, 10, 10}, {-20, -30, 40, 40}, true, {-20, -30, 10, 10}},
  };
  for (const Case& c : cases) {
    SRectWH r = c.r;
    EXPECT_EQ(KeepRectInside(r, c.area), c.ok);
    EXPECT_EQ(r, c.result);
  }
}

TEST(GeometryClip, SubtractBounds) {
  TRect out[4];
  ASSERT_EQ(SubtractBounds(TRect{2, 2, 8, 8}, TRect{0, 0, 10, 10}, out), 4);
  EXPECT_EQ(out[0], (TRect{0, 0, 10, 2}));
  EXPECT_EQ(out[1], (TRect{0, 2, 2, 8}));
  EXPECT_EQ(out[2], (TRect{8, 2, 10, 8}));
  EXPECT_EQ(out[3], (TRect{0, 8, 10, 10}));

  EXPECT_EQ(SubtractBounds(TRect{0, 0, 10, 10}, TRect{0, 0, 10, 10}, out), 0);

  // Only the non-empty pieces, in order.
  ASSERT_EQ(SubtractBounds(TRect{0, 0, 10, 6}, TRect{0, 0, 10, 10}, out), 1);
  EXPECT_EQ(out[0], (TRect{0, 6, 10, 10}));
  ASSERT_EQ(SubtractBounds(TRect{3, 0, 10, 10}, TRect{0, 0, 10, 10}, out), 1);
  EXPECT_EQ(out[0], (TRect{0, 0, 3, 10}));
}

// Pieces cover exactly outer minus inner and never reach outside outer, also when inner sticks
// out of outer or misses it.
TEST(GeometryClip, SubtractBoundsStaysInsideOuter) {
  const TRect outer{0, 0, 10, 10};
  const TRect inners[] = {{-5, -5, 5, 5},   {5, 5, 15, 15},   {-5, 3, 15, 6}, {3, -5, 6, 15},
                          {20, 20, 30, 30}, {-9, 2, -1, 4},   {2, 2, 8, 8},   {-1, -1, 11, 11},
                          {4, 4, 4, 9},     {12, -3, 14, 20}, {0, 0, 10, 10}};
  for (const TRect& inner : inners) {
    TRect out[4];
    const int32_t n = SubtractBounds(inner, outer, out);
    ASSERT_LE(n, 4);
    int cover[10][10] = {};
    for (int32_t i = 0; i < n; ++i) {
      ASSERT_LT(out[i].left, out[i].right);
      ASSERT_LT(out[i].top, out[i].bottom);
      ASSERT_GE(out[i].left, 0);
      ASSERT_GE(out[i].top, 0);
      ASSERT_LE(out[i].right, 10);
      ASSERT_LE(out[i].bottom, 10);
      for (int y = out[i].top; y < out[i].bottom; ++y)
        for (int x = out[i].left; x < out[i].right; ++x) ++cover[y][x];
    }
    for (int y = 0; y < 10; ++y)
      for (int x = 0; x < 10; ++x) {
        const int expected = BoundsContainsPoint(inner, TPoint{x, y}) ? 0 : 1;
        ASSERT_EQ(cover[y][x], expected) << "inner " << inner.left << "," << inner.top << "," << inner.right
                                         << "," << inner.bottom << " at " << x << "," << y;
      }
  }
  TRect out[4];
  EXPECT_EQ(SubtractBounds(TRect{1, 1, 2, 2}, TRect{5, 5, 5, 9}, out), 0);  // empty outer
}

// ---------------------------------------------------------------------------------------------
// Changing a rectangle in place

TEST(GeometryChange, ShrinkGrowOffset) {
  SRectWH r{10, 20, 30, 40};
  ShrinkRect(r, 3);
  EXPECT_EQ(r, (SRectWH{13, 23, 24, 34}));
  ShrinkRect(r, -3);
  EXPECT_EQ(r, (SRectWH{10, 20, 30, 40}));
  OffsetRectOrigin(r, -10, 5);
  EXPECT_EQ(r, (SRectWH{0, 25, 30, 40}));

  TRect b{10, 20, 30, 40};
  ShrinkBounds(b, 2);
  EXPECT_EQ(b, (TRect{12, 22, 28, 38}));
  GrowBounds(b, 5);
  EXPECT_EQ(b, (TRect{7, 17, 33, 43}));
  OffsetBounds(b, -7, 3);
  EXPECT_EQ(b, (TRect{0, 20, 26, 46}));

  b = {kMin + 1, 0, kMax - 1, 1};
  GrowBounds(b, 5);
  EXPECT_EQ(b, (TRect{kMin, -5, kMax, 6}));
}

TEST(GeometryChange, BoundsIncludePointWidensOneSidePerAxis) {
  struct Case {
    TRect b;
    TPoint p;
    TRect result;
  };
  const Case cases[] = {
      {{0, 0, 10, 10}, {5, 5}, {0, 0, 10, 10}},
      {{0, 0, 10, 10}, {-3, 12}, {-3, 0, 10, 13}},
      {{0, 0, 10, 10}, {10, -1}, {0, -1, 11, 10}},
      {{0, 0, 0, 0}, {5, 5}, {0, 0, 6, 6}},  // cleared bounds keep the origin
      // An inverted rectangle widens only the left side when x < left.
      {{10, 10, 0, 0}, {5, 20}, {5, 10, 0, 21}},
  };
  for (const Case& c : cases) {
    TRect b = c.b;
    BoundsIncludePoint(b, c.p);
    EXPECT_EQ(b, c.result);
  }
}

TEST(GeometryChange, Unions) {
  TRect a{0, 0, 10, 10};
  UnionBounds(a, TRect{5, -5, 20, 8});
  EXPECT_EQ(a, (TRect{0, -5, 20, 10}));
  a = {0, 0, 10, 10};
  UnionBounds(a, TRect{30, 30, 20, 20});  // no emptiness test
  EXPECT_EQ(a, (TRect{0, 0, 20, 20}));

  a = {0, 0, 10, 10};
  BoundsIncludeRect(a, TRect{5, -5, 20, 8});
  EXPECT_EQ(a, (TRect{0, -5, 20, 10}));
  a = {0, 0, 10, 10};
  BoundsIncludeRect(a, TRect{-4, 12, 2, 15});
  EXPECT_EQ(a, (TRect{-4, 0, 10, 15}));

  SRectWH r{0, 0, 10, 10};
  UnionRect(r, SRectWH{20, 5, 5, 10});
  EXPECT_EQ(r, (SRectWH{0, 0, 25, 15}));
  r = {10, 10, 5, 5};
  UnionRect(r, SRectWH{0, 0, 2, 2});
  EXPECT_EQ(r, (SRectWH{0, 0, 15, 15}));
}

// ---------------------------------------------------------------------------------------------
// Tests and measures

TEST(GeometryMeasure, Containment) {
  const TRect b{0, 0, 10, 5};
  EXPECT_TRUE(BoundsContainsPoint(b, TPoint{0, 0}));
  EXPECT_TRUE(BoundsContainsPoint(b, TPoint{9, 4}));
  EXPECT_FALSE(BoundsContainsPoint(b, TPoint{10, 4}));
  EXPECT_FALSE(BoundsContainsPoint(b, TPoint{9, 5}));
  EXPECT_FALSE(BoundsContainsPoint(b, TPoint{-1, 0}));

  const SRectWH r{2, 3, 4, 5};
  EXPECT_TRUE(RectContainsPoint(r, TPoint{2, 3}));
  EXPECT_TRUE(RectContainsPoint(r, TPoint{5, 7}));
  EXPECT_FALSE(RectContainsPoint(r, TPoint{6, 7}));
  EXPECT_FALSE(RectContainsPoint(r, TPoint{5, 8}));
  EXPECT_TRUE(RectContainsPoint(SRectWH{kMax - 1, 0, 10, 1}, TPoint{kMax, 0}));

  EXPECT_TRUE(PointInSize(0, 0, 1, 1));
  EXPECT_FALSE(PointInSize(-1, 0, 10, 10));
  EXPECT_FALSE(PointInSize(0, -1, 10, 10));
  EXPECT_FALSE(PointInSize(10, 0, 10, 10));

  EXPECT_TRUE(SizeWithin(10, 10, 10, 10));
  EXPECT_FALSE(SizeWithin(11, 10, 10, 10));
  EXPECT_FALSE(SizeWithin(-1, 1, 10, 10));  // unsigned: -1 is huge
  EXPECT_TRUE(SizeCovers(SSize{10, 10}, SSize{10, 3}));
  EXPECT_FALSE(SizeCovers(SSize{10, 10}, SSize{3, 11}));

  EXPECT_TRUE(RectFitsInSize(SRectWH{0, 0, 8, 8}, SSize{8, 8}));
  EXPECT_FALSE(RectFitsInSize(SRectWH{1, 0, 8, 8}, SSize{8, 8}));
  EXPECT_FALSE(RectFitsInSize(SRectWH{-1, 0, 2, 2}, SSize{8, 8}));
  EXPECT_FALSE(RectFitsInSize(SRectWH{1, 1, kMax, 1}, SSize{kMax, 8}));
}

TEST(GeometryMeasure, BoundsGapSq) {
  struct Case {
    TRect a, b;
    int64_t gap;
  };
  const Case cases[] = {
      {{0, 0, 10, 10}, {10, 0, 20, 10}, 0},  // shared edge
      {{0, 0, 10, 10}, {5, 5, 20, 20}, 0},   // overlap
      {{0, 0, 10, 10}, {13, 14, 20, 20}, 25},
      {{13, 14, 20, 20}, {0, 0, 10, 10}, 25},
      {{0, 0, 10, 10}, {0, 12, 10, 20}, 4},
      {{0, 0, 10, 10}, {-8, -9, -1, -2}, 1 + 4},
      {{kMin, kMin, kMin + 1, kMin + 1}, {kMax - 1, 0, kMax, 1}, std::numeric_limits<int64_t>::max()},
      // 2^31 - 2 each way: beyond int32, within int64.
      {{kMin, kMin, 0, 0}, {kMax - 1, kMax - 1, kMax, kMax}, 2 * int64_t{kMax - 1} * (kMax - 1)},
  };
  for (const Case& c : cases) EXPECT_EQ(BoundsGapSq(c.a, c.b), c.gap);
}

TEST(GeometryMeasure, BoundsAreaIs64Bit) {
  EXPECT_EQ(BoundsArea(TRect{0, 0, 10, 5}), 50);
  EXPECT_EQ(BoundsArea(TRect{-3, -3, 3, 3}), 36);
  EXPECT_EQ(BoundsArea(TRect{0, 0, 65536, 65536}), int64_t{1} << 32);
  EXPECT_EQ(BoundsArea(TRect{10, 0, 0, 5}), -50);  // no emptiness test
  EXPECT_EQ(BoundsArea(TRect{kMin, kMin, kMax, kMax}), std::numeric_limits<int64_t>::max());
}

// ---------------------------------------------------------------------------------------------
// Points

TEST(GeometryPoints, Clamps) {
  struct Case {
    TPoint p;
    TPoint image, extent;
  };
  const SSize size{10, 5};
  const Case cases[] = {
      {{-3, -1}, {0, 0}, {0, 0}},
      {{10, 5}, {9, 4}, {10, 5}},
      {{11, 7}, {9, 4}, {10, 5}},
      {{4, 2}, {4, 2}, {4, 2}},
  };
  for (const Case& c : cases) {
    TPoint p = c.p;
    ClampPointToImage(p, size);
    EXPECT_EQ(p, c.image);
    p = c.p;
    ClampPointToExtent(p, size);
    EXPECT_EQ(p, c.extent);
  }
  TPoint p{3, 3};
  ClampPointToImage(p, SSize{0, 0});
  EXPECT_EQ(p, (TPoint{0, 0}));

  const SRectWH r{10, 20, 5, 5};
  struct RectCase {
    TPoint p, result;
  };
  const RectCase rectCases[] = {
      {{0, 0}, {10, 20}}, {{15, 25}, {14, 24}}, {{14, 24}, {14, 24}}, {{12, 30}, {12, 24}}};
  for (const RectCase& c : rectCases) {
    TPoint q = c.p;
    ClampPointIntoRect(q, r);
    EXPECT_EQ(q, c.result);
  }
  TPoint q{50, 50};
  ClampPointIntoRect(q, SRectWH{10, 20, 0, -3});
  EXPECT_EQ(q, (TPoint{10, 20}));
}

// ---------------------------------------------------------------------------------------------
// Fitting

TEST(GeometryFit, FitAndPlace) {
  struct Case {
    SSize box, image;
    SRectWH fit, place;
  };
  const Case cases[] = {
      {{50, 50}, {100, 10}, {0, 22, 50, 5}, {0, 22, 50, 5}},
      {{50, 50}, {10, 100}, {22, 0, 5, 50}, {22, 0, 5, 50}},
      {{10, 10}, {3, 3}, {0, 0, 10, 10}, {3, 3, 3, 3}},  // fit enlarges, place centres
      {{10, 10}, {4, 3}, {0, 1, 10, 7}, {3, 3, 4, 3}},   // odd difference: extra pixel below
      {{20, 10}, {40, 20}, {0, 0, 20, 10}, {0, 0, 20, 10}},
      {{10, 10}, {1000, 1}, {0, 4, 10, 1}, {0, 4, 10, 1}},  // at least one pixel
      {{10, 10}, {1, 1000}, {4, 0, 1, 10}, {4, 0, 1, 10}},
      {{10, 10}, {10, 10}, {0, 0, 10, 10}, {0, 0, 10, 10}},
  };
  for (const Case& c : cases) {
    SRectWH r;
    EXPECT_TRUE(FitSizeInBox(r, c.box, c.image));
    EXPECT_EQ(r, c.fit) << c.image.width << "x" << c.image.height;
    EXPECT_TRUE(PlaceSizeInBox(r, c.box, c.image));
    EXPECT_EQ(r, c.place) << c.image.width << "x" << c.image.height;
  }
}

TEST(GeometryFit, ProductsDoNotOverflow) {
  SRectWH r;
  EXPECT_TRUE(FitSizeInBox(r, SSize{100000, 100000}, SSize{200000, 100000}));
  EXPECT_EQ(r, (SRectWH{0, 25000, 100000, 50000}));
}

// An empty image or box would divide by zero; it gives false and an empty rectangle.
TEST(GeometryFit, EmptySizesGiveFalse) {
  const SSize sizes[][2] = {
      {{0, 10}, {5, 5}}, {{10, 0}, {5, 5}}, {{10, 10}, {0, 5}}, {{10, 10}, {5, 0}}, {{10, 10}, {-5, 5}}};
  for (const auto& s : sizes) {
    SRectWH r{1, 2, 3, 4};
    EXPECT_FALSE(FitSizeInBox(r, s[0], s[1]));
    EXPECT_EQ(r, (SRectWH{0, 0, 0, 0}));
    r = {1, 2, 3, 4};
    EXPECT_FALSE(PlaceSizeInBox(r, s[0], s[1]));
    EXPECT_EQ(r, (SRectWH{0, 0, 0, 0}));
  }
}

// ---------------------------------------------------------------------------------------------
// Ranges, clamps, swaps, ratios

TEST(GeometryRange, RangesAndClamps) {
  SRange range;
  MakeRange(range, 7, -2);
  EXPECT_EQ(range, (SRange{-2, 7}));
  ExtendRange(range, 10);
  ExtendRange(range, -5);
  ExtendRange(range, 3);
  EXPECT_EQ(range, (SRange{-5, 10}));
  EXPECT_TRUE(InRange(range, -5));
  EXPECT_TRUE(InRange(range, 10));
  EXPECT_FALSE(InRange(range, 11));

  EXPECT_TRUE(Between(3, 3, 5));
  EXPECT_FALSE(Between(6, 3, 5));
  EXPECT_TRUE(BetweenSingle(0.5f, 0.0f, 0.5f));
  EXPECT_FALSE(BetweenSingle(NAN, 0.0f, 1.0f));

  EXPECT_EQ(ClampInt(-4, 0, 10), 0);
  EXPECT_EQ(ClampInt(14, 0, 10), 10);
  EXPECT_EQ(ClampInt(4, 0, 10), 4);
  int32_t v = 99;
  ClampVar(v, 0, 50);
  EXPECT_EQ(v, 50);
  EXPECT_EQ(ClampSingle(1.5f, 0.0f, 1.0f), 1.0f);
  EXPECT_EQ(ClampSingle(-1.5f, 0.0f, 1.0f), 0.0f);

  int32_t lo = 5, hi = 2;  // taken from the values before the call
  MinMaxOf3(lo, hi, 3);
  EXPECT_EQ(lo, 2);
  EXPECT_EQ(hi, 5);
  lo = 1, hi = 4;
  MinMaxOf3(lo, hi, 9);
  EXPECT_EQ(lo, 1);
  EXPECT_EQ(hi, 9);
}

TEST(GeometryRange, Swaps) {
  int32_t a = 1, b = 2;
  SwapInt(a, b);
  EXPECT_EQ(a, 2);
  EXPECT_EQ(b, 1);
  float f = 1.5f, g = -2.0f;
  SwapSingle(f, g);
  EXPECT_EQ(f, -2.0f);
  EXPECT_EQ(g, 1.5f);
  int x = 0, y = 0;
  int* p = &x;
  int* q = &y;
  SwapPtr(p, q);
  EXPECT_EQ(p, &y);
  EXPECT_EQ(q, &x);
  uint8_t c = 1, d = 200;
  SwapByte(c, d);
  EXPECT_EQ(c, 200);
  EXPECT_EQ(d, 1);
  uint16_t w = 0x1234;
  SwapWordBytes(w);
  EXPECT_EQ(w, 0x3412);
  EXPECT_EQ(HypotSingle(3.0f, 4.0f), 5.0f);
  // Squares beyond Single's range.
  EXPECT_EQ(HypotSingle(std::ldexp(3.0f, 100), std::ldexp(4.0f, 100)), std::ldexp(5.0f, 100));
}

TEST(GeometryRange, Ratios) {
  EXPECT_EQ(RatioValue(SRatio{1, 2}), 0.5f);
  EXPECT_EQ(RatioValue(SRatio{-3, 4}), -0.75f);
  EXPECT_EQ(RatioValue(SRatio{1, 3}), 1.0f / 3.0f);
  EXPECT_EQ(RatioValue(SRatio{5, 0}), 32767.0f);
  EXPECT_TRUE(RatioIsWhole(SRatio{6, 3}));
  EXPECT_FALSE(RatioIsWhole(SRatio{7, 3}));
  EXPECT_TRUE(RatioIsWhole(SRatio{kMin, -1}));  // would trap as a plain remainder
  EXPECT_FALSE(RatioIsWhole(SRatio{7, 0}));     // no division by zero
  EXPECT_TRUE(RatioIsOne(SRatio{4, 4}));
  EXPECT_FALSE(RatioIsOne(SRatio{4, 3}));
  EXPECT_TRUE(RatioAtLeastOne(SRatio{4, 3}));
  EXPECT_TRUE(RatioAtLeastOne(SRatio{4, 4}));
  EXPECT_FALSE(RatioAtLeastOne(SRatio{3, 4}));
}

// ---------------------------------------------------------------------------------------------
// 16.16 fixed point

TEST(GeometryFixed, MulShiftsAndFractions) {
  EXPECT_EQ(FixMul(65536 * 3, 32768), 98304);
  EXPECT_EQ(FixMul(-65536 * 3, 32768), -98304);
  EXPECT_EQ(FixMul(-1, 1), -1);                                                       // arithmetic shift: floor
  EXPECT_EQ(FixMul(kMax, kMax), static_cast<int32_t>((int64_t{kMax} * kMax) >> 16));  // low 32 bits
  EXPECT_EQ(FixCeil(65537), 2);
  EXPECT_EQ(FixCeil(65536), 1);
  EXPECT_EQ(FixCeil(-65537), -1);
  EXPECT_EQ(FixCeil(kMax), 32768);
  EXPECT_EQ(FixToInt(-1), -1);
  EXPECT_EQ(FixFloor(-1), -1);
  EXPECT_EQ(FixToInt(65535), 0);
  EXPECT_EQ(FixFloor(-65536), -1);
  EXPECT_EQ(FixCeilFix(1), 65536);
  EXPECT_EQ(FixCeilFix(65536), 65536);
  EXPECT_EQ(FixCeilFix(-65535), 0);
  EXPECT_EQ(FixCeilFix(-65537), -65536);
  EXPECT_EQ(FixFrac(-1), 65535);
  EXPECT_EQ(FixFrac(0x12345), 0x2345);
  EXPECT_EQ(MulHigh32(256, 134775814), 8u);
  EXPECT_EQ(MulHigh32(0xFFFFFFFFu, 0xFFFFFFFFu), 0xFFFFFFFEu);
  EXPECT_EQ(FixToSingle(98304), 1.5f);
  EXPECT_EQ(FixToSingle(-32768), -0.5f);
}

TEST(GeometryFixed, FixDivRoundsTiesToEven) {
  struct Case {
    int32_t a, b, result;
  };
  const Case cases[] = {
      {2, 3, 43691},       {65536, 2 * 65536, 32768},
      {-2, 3, -43691},     {2, -3, -43691},
      {1, 131072, 0},      {3, 131072, 2},
      {5, 131072, 2},      {7, 131072, 4},
      {-1, 131072, 0},     {-3, 131072, -2},
      {-5, 131072, -2},    {1, 65536 * 3, 0},
      {100, 50, 131072},   {0, 5, 0},
      {kMin, 65536, kMin}, {32767, 1, kMax - 65535},
  };
  for (const Case& c : cases) EXPECT_EQ(FixDiv(c.a, c.b), c.result) << c.a << "/" << c.b;
}

// A quotient beyond int32 and a zero divisor saturate by sign instead of being undefined.
TEST(GeometryFixed, FixDivSaturates) {
  struct Case {
    int32_t a, b, result;
  };
  const Case cases[] = {
      {kMax, 1, kMax},  {kMin, 1, kMin},   {kMax, -1, kMin},  {kMin, -1, kMax},
      {32768, 1, kMax}, {-32768, 1, kMin}, {-32769, 1, kMin}, {65536 * 20000, 65536 / 2, kMax},
      {5, 0, kMax},     {-5, 0, kMin},     {0, 0, 0},         {kMin, kMin, 65536},
  };
  for (const Case& c : cases) EXPECT_EQ(FixDiv(c.a, c.b), c.result) << c.a << "/" << c.b;
}

int32_t ReferenceFixDiv(int32_t a, int32_t b) {
  if (b == 0) return a > 0 ? kMax : (a < 0 ? kMin : 0);
  // a*65536 is exact in long double's 64-bit mantissa; one rounding, then ties to even.
  const long double q = std::nearbyintl(static_cast<long double>(int64_t{a} * 65536) / b);
  if (q >= 2147483647.0L) return kMax;
  if (q <= -2147483648.0L) return kMin;
  return static_cast<int32_t>(q);
}

TEST(GeometryFixed, FixDivMatchesFloatingPointReference) {
  std::mt19937 rng(1234);
  std::vector<int32_t> special = {0,        1,        -1,      2,          3,       255,  65535,
                                  65536,    65537,    -65536,  131072,     3 << 16, kMax, kMin,
                                  kMax - 1, kMin + 1, 1 << 30, -(1 << 30), 46341};
  for (int32_t a : special)
    for (int32_t b : special) ASSERT_EQ(FixDiv(a, b), ReferenceFixDiv(a, b)) << a << "/" << b;
  std::uniform_int_distribution<int32_t> any(kMin, kMax);
  std::uniform_int_distribution<int32_t> shift(0, 31);
  for (int i = 0; i < 200000; ++i) {
    // Mix magnitudes so that small divisors, ties and large quotients all occur.
    const int32_t a = any(rng) >> shift(rng);
    const int32_t b = any(rng) >> shift(rng);
    ASSERT_EQ(FixDiv(a, b), ReferenceFixDiv(a, b)) << a << "/" << b;
  }
  // Every exact half: (2k + 1) / 2^17 in 16.16 is k + 0.5.
  for (int32_t k = -2000; k <= 2000; ++k) {
    const int32_t result = FixDiv(2 * k + 1, 131072);
    ASSERT_EQ(result, (k % 2 == 0) ? k : k + 1) << k;
  }
}

TEST(GeometryFixed, SingleToFixAndRoundSingle) {
  struct Case {
    float x;
    int32_t fix;
  };
  const Case cases[] = {
      {0.5f, 32768},
      {1.0f, 65536},
      {-1.5f, -98304},
      {std::ldexp(1.0f, -17), 0},  // 0.5 of a unit: to even
      {std::ldexp(3.0f, -17), 2},  // 1.5 of a unit
      {std::ldexp(-3.0f, -17), -2},
      {std::ldexp(5.0f, -17), 2},
      {32767.998f, 2147483520},
      {32768.0f, kMax},   // 2^31: saturates
      {-32768.0f, kMin},  // exactly representable
      {-32768.004f, kMin},
      {1e30f, kMax},
      {-1e30f, kMin},
      {INFINITY, kMax},
      {-INFINITY, kMin},
      {NAN, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(SingleToFix(c.x), c.fix) << c.x;

  struct RoundCase {
    float x;
    int32_t result;
  };
  const RoundCase rounds[] = {{0.5f, 0},    {1.5f, 2},     {2.5f, 2},       {-0.5f, 0},
                              {-1.5f, -2},  {-2.5f, -2},   {2.4999998f, 2}, {-7.7f, -8},
                              {3e9f, kMax}, {-3e9f, kMin}, {NAN, 0},        {2147483520.0f, 2147483520}};
  for (const RoundCase& c : rounds) EXPECT_EQ(RoundSingle(c.x), c.result) << c.x;
}

// Walks float bit patterns across the whole range with a coprime stride.
TEST(GeometryFixed, SingleToFixSweepSaturatesAndRounds) {
  uint32_t bits = 0;
  for (int i = 0; i < 300000; ++i) {
    bits += 14327;  // odd: visits every exponent and sign
    float x;
    std::memcpy(&x, &bits, 4);
    int32_t expected;
    if (std::isnan(x)) {
      expected = 0;
    } else {
      const long double v = static_cast<long double>(x) * 65536.0L;
      if (v >= 0x1p40L) {
        expected = kMax;
      } else if (v <= -0x1p40L) {
        expected = kMin;
      } else {
        const long long r = std::llrintl(v);
        expected = static_cast<int32_t>(std::clamp<long long>(r, kMin, kMax));
      }
    }
    ASSERT_EQ(SingleToFix(x), expected) << x;
  }
}

TEST(GeometryFixed, SqrtAndHypot) {
  EXPECT_EQ(FixSqrt(4 * 65536), 2 * 65536);
  EXPECT_EQ(FixSqrt(2 * 65536), 92682);  // 1.41421356 * 65536 = 92681.9
  EXPECT_EQ(FixSqrt(65536 / 4), 32768);
  EXPECT_EQ(FixSqrt(0), 0);
  EXPECT_EQ(FixSqrt(-65536), 0);
  EXPECT_EQ(FixSqrt(kMax), 11863283);  // sqrt(2^47 - 2^16)
  std::mt19937 rng(99);
  std::uniform_int_distribution<int32_t> any(0, kMax);
  for (int i = 0; i < 20000; ++i) {
    const int32_t a = any(rng) >> (i % 31);
    const long double exact = std::sqrt(static_cast<long double>(a) * 65536.0L);
    ASSERT_EQ(FixSqrt(a), static_cast<int32_t>(std::nearbyintl(exact))) << a;
  }

  EXPECT_EQ(FixHypot(3 << 16, 4 << 16), 5 << 16);
  EXPECT_EQ(FixHypot(-(3 << 16), 4 << 16), 5 << 16);
  EXPECT_EQ(FixHypot(1, 1), 1);  // sqrt(2) units
  EXPECT_EQ(FixHypot(kMax, 0), kMax);
  EXPECT_EQ(FixHypot(kMin, 0), kMax);  // 2^31 saturates
  EXPECT_EQ(FixHypot(kMin, kMin), kMax);
  EXPECT_EQ(FixHypot(1 << 30, 1 << 30), 1518500250);  // 2^30 * sqrt(2)
}

// ---------------------------------------------------------------------------------------------
// Random sequence

TEST(GeometryRandom, RecordedSequences) {
  SRandom r;
  RandomInit(r, 1, 0, 256);
  EXPECT_EQ(r, (SRandom{1, 0, 256, 0, 1}));
  EXPECT_EQ(RandomDraw(r), 8);
  EXPECT_EQ(r.state, 134775814);
  EXPECT_EQ(r.draws, 1);

  // Recordings replay these: the sequences must never change.
  struct Case {
    int32_t seed, low, high;
    std::vector<int32_t> draws;
    uint32_t finalState;
  };
  const Case cases[] = {
      {1, 0, 256, {8, 220, 51, 69, 171, 81, 41, 95}, 1598751577u},
      {12345, -100, 100, {-23, -43, -85, 10, 26, -32}, 1467157059u},
      {0, 0, 1000, {0, 31, 861, 202, 272}, 1172187917u},
  };
  for (const Case& c : cases) {
    RandomInit(r, c.seed, c.low, c.high);
    for (int32_t expected : c.draws) EXPECT_EQ(RandomDraw(r), expected);
    EXPECT_EQ(static_cast<uint32_t>(r.state), c.finalState);
    EXPECT_EQ(r.draws, static_cast<int32_t>(c.draws.size()));
  }
  EXPECT_EQ(RandomNext(-1), static_cast<int32_t>(0xFFFFFFFFu * 134775813u + 1u));
}

TEST(GeometryRandom, DrawsStayInRange) {
  SRandom r;
  RandomInit(r, 777, -5, 5);
  for (int i = 0; i < 1000; ++i) {
    const int32_t v = RandomDraw(r);
    ASSERT_GE(v, -5);
    ASSERT_LT(v, 5);
  }
  RandomInit(r, 3, 42, 42);  // empty range: always low
  EXPECT_EQ(RandomDraw(r), 42);
  RandomInit(r, 3, kMin, kMax);  // the whole span must not overflow
  for (int i = 0; i < 100; ++i) ASSERT_LT(RandomDraw(r), kMax);
}

// ---------------------------------------------------------------------------------------------
// Sort

struct Tagged {
  int32_t key;
  int32_t tag;
};

struct SortProbe {
  const uint8_t* begin = nullptr;
  const uint8_t* end = nullptr;
  size_t itemSize = 0;
  int64_t comparisons = 0;
  bool strayPointer = false;

  void Check(const void* p) {
    const uint8_t* q = static_cast<const uint8_t*>(p);
    if (q < begin || q >= end || (q - begin) % static_cast<std::ptrdiff_t>(itemSize) != 0) strayPointer = true;
  }
};

int32_t CompareTaggedKeys(const void* a, const void* b, void* context) {
  auto* probe = static_cast<SortProbe*>(context);
  probe->Check(a);
  probe->Check(b);
  ++probe->comparisons;
  Tagged x, y;
  std::memcpy(&x, a, sizeof x);
  std::memcpy(&y, b, sizeof y);
  return x.key < y.key ? -1 : (x.key > y.key ? 1 : 0);
}

int32_t CompareInts(const void* a, const void* b) {
  int32_t x, y;
  std::memcpy(&x, a, 4);
  std::memcpy(&y, b, 4);
  return x < y ? -1 : (x > y ? 1 : 0);
}

// Sorts and returns the tags in their new order, with the comparison count.
std::vector<int32_t> SortTags(const std::vector<int32_t>& keys, int64_t* comparisons) {
  std::vector<Tagged> items;
  for (size_t i = 0; i < keys.size(); ++i) items.push_back({keys[i], static_cast<int32_t>(i)});
  SortProbe probe;
  probe.begin = reinterpret_cast<const uint8_t*>(items.data());
  probe.end = probe.begin + items.size() * sizeof(Tagged);
  probe.itemSize = sizeof(Tagged);
  QuickSort(items.data(), static_cast<int32_t>(items.size()), sizeof(Tagged), CompareTaggedKeys, &probe);
  EXPECT_FALSE(probe.strayPointer);
  *comparisons = probe.comparisons;
  std::vector<int32_t> tags;
  for (const Tagged& t : items) tags.push_back(t.tag);
  return tags;
}

TEST(GeometrySort, SmallAndTrivial) {
  int32_t a[] = {3, 1, 2};
  QuickSort(a, 3, 4, CompareInts);
  EXPECT_EQ(std::vector<int32_t>(a, a + 3), (std::vector<int32_t>{1, 2, 3}));

  int32_t b[] = {2, 1};
  QuickSort(b, 1, 4, CompareInts);  // count < 2
  EXPECT_EQ(b[0], 2);
  QuickSort(b, 2, 0, CompareInts);  // item size 0
  EXPECT_EQ(b[0], 2);
  QuickSort(b, -4, 4, CompareInts);
  EXPECT_EQ(b[0], 2);
}

// The exact order of equal keys and the exact number of comparisons pin down the algorithm
// (selection sort up to 8 items, middle pivot, smaller part first).
TEST(GeometrySort, OrderOfEqualKeysAndComparisonCounts) {
  int64_t comparisons = 0;
  EXPECT_EQ(SortTags({2, 1, 2, 1, 2}, &comparisons), (std::vector<int32_t>{1, 3, 2, 4, 0}));
  EXPECT_EQ(comparisons, 10);
  EXPECT_EQ(SortTags({1, 1}, &comparisons), (std::vector<int32_t>{1, 0}));
  EXPECT_EQ(SortTags({5, 3, 5, 1, 3, 5, 1, 2, 3, 5, 2, 1, 3}, &comparisons),
            (std::vector<int32_t>{6, 11, 3, 7, 10, 8, 1, 4, 12, 5, 2, 9, 0}));
  EXPECT_EQ(comparisons, 58);

  struct Pattern {
    const char* name;
    int32_t n;
    int32_t (*key)(int32_t i, int32_t n);
    int64_t comparisons;
  };
  const Pattern patterns[] = {
      {"ascending 9", 9, [](int32_t i, int32_t) { return i; }, 22},
      {"descending 9", 9, [](int32_t i, int32_t n) { return n - i; }, 22},
      {"equal 9", 9, [](int32_t, int32_t) { return 0; }, 16},
      {"organ 9", 9, [](int32_t i, int32_t n) { return std::min(i, n - i); }, 37},
      {"mod 7 of 9", 9, [](int32_t i, int32_t) { return (i * 37) % 7; }, 26},
      {"ascending", 1000, [](int32_t i, int32_t) { return i; }, 9557},
      {"descending", 1000, [](int32_t i, int32_t n) { return n - i; }, 9600},
      {"equal", 1000, [](int32_t, int32_t) { return 0; }, 1998},
      {"organ", 1000, [](int32_t i, int32_t n) { return std::min(i, n - i); }, 35487},
      {"mod 7", 1000, [](int32_t i, int32_t) { return (i * 37) % 7; }, 45595},
  };
  for (const Pattern& p : patterns) {
    std::vector<int32_t> keys;
    for (int32_t i = 0; i < p.n; ++i) keys.push_back(p.key(i, p.n));
    const std::vector<int32_t> tags = SortTags(keys, &comparisons);
    EXPECT_EQ(comparisons, p.comparisons) << p.name;
    for (size_t i = 1; i < tags.size(); ++i) ASSERT_LE(keys[tags[i - 1]], keys[tags[i]]) << p.name;
  }
}

TEST(GeometrySort, MatchesStdSortOnRandomArrays) {
  std::mt19937 rng(42);
  struct Run {
    int32_t n;
    int32_t range;  // keys drawn from 0 .. range - 1
  };
  std::vector<Run> runs;
  for (int32_t n : {2, 3, 7, 8, 9, 10, 16, 17, 31, 100, 257, 1000, 4096, 20000, 65537}) {
    runs.push_back({n, 1000});
    runs.push_back({n, 1 << 30});
    // Few distinct keys make this partition scheme slow (see below); kept to small sizes.
    if (n <= 1000) runs.push_back({n, 3});
  }
  for (const Run& run : runs) {
    const int32_t n = run.n;
    std::uniform_int_distribution<int32_t> dist(0, run.range - 1);
    std::vector<int32_t> keys(n);
    for (int32_t& k : keys) k = dist(rng);
    int64_t comparisons = 0;
    const std::vector<int32_t> tags = SortTags(keys, &comparisons);
    std::vector<int32_t> sortedKeys;
    for (int32_t t : tags) sortedKeys.push_back(keys[t]);
    std::vector<int32_t> expected = keys;
    std::sort(expected.begin(), expected.end());
    ASSERT_EQ(sortedKeys, expected) << "n " << n << " range " << run.range;
    // Every item exactly once.
    std::vector<int32_t> seen = tags;
    std::sort(seen.begin(), seen.end());
    for (int32_t i = 0; i < n; ++i) ASSERT_EQ(seen[i], i);
    if (run.range > 3) {
      // Far from quadratic on keys that are mostly distinct.
      const double bound = 3.0 * n * std::log2(static_cast<double>(n)) + 40.0 * n;
      EXPECT_LT(static_cast<double>(comparisons), bound) << "n " << n << " range " << run.range;
    }
  }
}

// Odd item sizes: the swaps move whole items byte by byte.
TEST(GeometrySort, OddItemSizes) {
  std::mt19937 rng(5);
  for (int32_t itemSize : {1, 3, 7, 13}) {
    const int32_t n = 500;
    std::vector<uint8_t> data(static_cast<size_t>(n) * itemSize);
    for (int32_t i = 0; i < n; ++i) {
      data[static_cast<size_t>(i) * itemSize] = static_cast<uint8_t>(rng());
      // The rest of the item repeats the key, so a torn swap shows.
      for (int32_t k = 1; k < itemSize; ++k)
        data[static_cast<size_t>(i) * itemSize + k] = data[static_cast<size_t>(i) * itemSize];
    }
    QuickSort(data.data(), n, itemSize, [](const void* a, const void* b) -> int32_t {
      return int32_t{*static_cast<const uint8_t*>(a)} - int32_t{*static_cast<const uint8_t*>(b)};
    });
    for (int32_t i = 0; i < n; ++i) {
      const uint8_t* item = data.data() + static_cast<size_t>(i) * itemSize;
      for (int32_t k = 1; k < itemSize; ++k) ASSERT_EQ(item[k], item[0]);
      if (i > 0) {
        ASSERT_LE(item[-itemSize], item[0]);
      }
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Bytes

TEST(GeometryBytes, CompareAndReverse) {
  const uint8_t a[] = {1, 2, 0x80, 4};
  const uint8_t b[] = {1, 2, 0x7F, 9};
  EXPECT_EQ(CompareBytes(a, b, 2), 0);
  EXPECT_EQ(CompareBytes(a, b, 3), 1);  // unsigned: 0x80 is above 0x7F
  EXPECT_EQ(CompareBytes(b, a, 4), -1);
  EXPECT_EQ(CompareBytes(a, b, 0), 0);
  EXPECT_EQ(CompareBytes(a, b, -3), 0);

  uint8_t buf[] = {1, 2, 3, 4, 5};
  ReverseBytes(buf, 5);
  EXPECT_EQ(std::vector<uint8_t>(buf, buf + 5), (std::vector<uint8_t>{5, 4, 3, 2, 1}));
  ReverseBytes(buf, 4);
  EXPECT_EQ(std::vector<uint8_t>(buf, buf + 5), (std::vector<uint8_t>{2, 3, 4, 5, 1}));
  ReverseBytes(buf, 0);
  EXPECT_EQ(buf[0], 2);
}

TEST(GeometryBytes, Fills) {
  std::vector<uint8_t> buf(10, 0xEE);
  FillDWordPattern(buf.data(), 0x11223344u, 7);
  EXPECT_EQ(buf, (std::vector<uint8_t>{0x44, 0x33, 0x22, 0x11, 0x44, 0x44, 0x44, 0xEE, 0xEE, 0xEE}));
  std::fill(buf.begin(), buf.end(), 0xEE);
  FillBytesByDWords(buf.data(), 0x5A, 9);
  EXPECT_EQ(buf, (std::vector<uint8_t>{0x5A, 0x5A, 0x5A, 0x5A, 0x5A, 0x5A, 0x5A, 0x5A, 0x5A, 0xEE}));
  FillBytes(buf.data(), 7, 3);
  EXPECT_EQ(buf[2], 7);
  EXPECT_EQ(buf[3], 0x5A);
  FillBytes(buf.data(), 9, -1);
  FillDWordPattern(buf.data(), 9, -1);
  EXPECT_EQ(buf[0], 7);
}

TEST(GeometryBytes, CopiesMoveDataDown) {
  using CopyFn = void (*)(void*, const void*, std::ptrdiff_t);
  const CopyFn copies[] = {CopyBytes, CopyDWords, CopyMem};
  for (CopyFn copy : copies) {
    std::vector<uint8_t> buf = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    copy(buf.data(), buf.data() + 1, 9);  // overlapping, destination below the source
    EXPECT_EQ(buf, (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 9, 10}));

    std::vector<uint8_t> dest(7, 0);
    const uint8_t source[] = {9, 8, 7, 6, 5, 4, 3};
    copy(dest.data(), source, 7);
    EXPECT_EQ(dest, (std::vector<uint8_t>{9, 8, 7, 6, 5, 4, 3}));
    copy(dest.data(), source + 3, 0);
    copy(dest.data(), source + 3, -2);
    EXPECT_EQ(dest[0], 9);
  }
}

}  // namespace
}  // namespace tf
