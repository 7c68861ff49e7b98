#include "raster/Drawing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <tuple>
#include <vector>

#include "raster/DibImage.h"
#include "support/TestImages.h"

namespace tf {
namespace {

using test::PixelsOf;

// Records the operations of a pixel loop as (x, y, colour, alpha).
struct Visit {
  int32_t x, y;
  uint32_t colour;
  int32_t alpha;
  bool operator==(const Visit&) const = default;
};
std::vector<Visit> g_visits;
const TMTC* g_image = nullptr;

void RecordOp(uint32_t* pixel, uint32_t colour, int32_t alpha) {
  for (int32_t y = 0; y < g_image->Height(); ++y)
    for (int32_t x = 0; x < g_image->Width(); ++x)
      if (g_image->Pixel(x, y) == pixel) g_visits.push_back({x, y, colour, alpha});
}

void RecordPlot(TMTC&, int32_t x, int32_t y, uint32_t colour, int32_t alpha) {
  g_visits.push_back({x, y, colour, alpha});
}

void FastPlot(TMTC& image, int32_t x, int32_t y, uint32_t colour, int32_t alpha) {
  image.BlendPixelFast(x, y, colour, alpha);
}

class Drawing : public testing::Test {
 protected:
  void SetUp() override {
    InitCompositeTables();
    ResetDrawingState();
    g_visits.clear();
  }
  void TearDown() override { ResetDrawingState(); }
};

void FillPattern(TMTC& image) {
  for (int32_t y = 0; y < image.Height(); ++y)
    for (int32_t x = 0; x < image.Width(); ++x) *image.Pixel(x, y) = 0xFF000000u | uint32_t(y * 256 + x);
}

TEST_F(Drawing, LineOpRampsAlpha) {
  TMTC image(5, 5);
  g_image = &image;
  DrawLineOp(image, 0, 0, 0, 3, 1, 255, 0xABCDEF, RecordOp);
  EXPECT_EQ(g_visits,
            (std::vector<Visit>{
                {0, 0, 0xABCDEF, 0}, {1, 0, 0xABCDEF, 85}, {2, 0, 0xABCDEF, 170}, {3, 1, 0xABCDEF, 255}}));
  // One point, inside and outside.
  g_visits.clear();
  DrawLineOp(image, 2, 3, 40, 2, 3, 99, 1, RecordOp);
  DrawLineOp(image, 5, 3, 40, 5, 3, 99, 1, RecordOp);
  EXPECT_EQ(g_visits, (std::vector<Visit>{{2, 3, 1, 40}}));
  // Points outside are skipped; the ramp still counts them.
  g_visits.clear();
  DrawLineOp(image, -2, 4, 0, 2, 4, 200, 2, RecordOp);
  EXPECT_EQ(g_visits, (std::vector<Visit>{{0, 4, 2, 100}, {1, 4, 2, 150}, {2, 4, 2, 200}}));
  // Backwards and steep: divisions truncate toward zero.
  g_visits.clear();
  DrawLineOp(image, 1, 4, 10, 0, 0, 0, 3, RecordOp);
  EXPECT_EQ(g_visits,
            (std::vector<Visit>{{1, 4, 3, 10}, {1, 3, 3, 8}, {1, 2, 3, 5}, {1, 1, 3, 3}, {0, 0, 3, 0}}));
}

TEST_F(Drawing, FramesVisitEachPixelOnce) {
  TMTC image(6, 6);
  g_image = &image;
  struct Case {
    SRectWH rect;
    std::vector<Visit> visits;
  } cases[] = {
      {{1, 1, 1, 1}, {{1, 1, 10, 7}}},
      {{1, 1, 2, 2}, {{1, 1, 10, 7}, {2, 1, 20, 7}, {2, 2, 20, 7}, {1, 2, 10, 7}}},
      {{0, 0, 3, 3},
       {{0, 0, 10, 7},
        {1, 0, 10, 7},
        {2, 0, 20, 7},
        {2, 1, 20, 7},
        {2, 2, 20, 7},
        {1, 2, 20, 7},
        {0, 2, 10, 7},
        {0, 1, 10, 7}}},
      {{4, 1, 1, 3}, {{4, 1, 10, 7}, {4, 2, 10, 7}, {4, 3, 10, 7}}},  // one column
      {{1, 5, 3, 1}, {{1, 5, 10, 7}, {2, 5, 10, 7}, {3, 5, 10, 7}}},  // one row
      {{1, 1, 0, 3}, {}},                                             // empty
      {{1, 1, 3, -2}, {}},
      {{4, 4, 4, 4}, {{4, 4, 10, 7}, {5, 4, 10, 7}, {4, 5, 10, 7}}},  // cut at the image edge
  };
  for (const Case& c : cases) {
    g_visits.clear();
    FrameRectOp(image, c.rect, 10, 20, 7, RecordOp);
    EXPECT_EQ(g_visits, c.visits) << c.rect.left << "," << c.rect.top << " " << c.rect.width << "x"
                                  << c.rect.height;
  }
  // The blending forms: colour 1 on top and left, colour 2 on the right and bottom.
  image.FillAll(0xFF000000u);
  FrameRectTwoTone(image, {0, 0, 3, 3}, 0x00FFFFFFu, 0x000000FFu, 255);
  EXPECT_EQ(image.GetPixel(0, 0), 0xFFFFFFFFu);
  EXPECT_EQ(image.GetPixel(2, 0), 0xFF0000FFu);
  EXPECT_EQ(image.GetPixel(1, 1), 0xFF000000u);
  image.FillAll(0x80000000u);
  FrameRect(image, {0, 0, 2, 2}, 0x00FFFFFFu, 128);
  EXPECT_EQ(PixelsOf(image)[0], 0x80808080u);
  image.FillAll(0);
  FrameImageTwoTone(image, 0x111111, 0x222222, 255);
  EXPECT_EQ(image.GetPixel(0, 5), 0x111111u);
  EXPECT_EQ(image.GetPixel(5, 5), 0x222222u);
  EXPECT_EQ(image.GetPixel(5, 0), 0x222222u);
  EXPECT_EQ(image.GetPixel(3, 3), 0u);
}

TEST_F(Drawing, CheckerCellsStartAtTheRectangle) {
  TMTC image(7, 7);
  image.FillAll(0);
  SRectWH rect{1, 1, 5, 5};
  EXPECT_TRUE(DrawChecker(image, rect, {2, 2}, 0xE, 0xD));
  const char* rows[7] = {".......", ".EEDDE.", ".EEDDE.", ".DDEED.", ".DDEED.", ".EEDDE.", "......."};
  for (int32_t y = 0; y < 7; ++y)
    for (int32_t x = 0; x < 7; ++x) {
      const uint32_t want = rows[y][x] == 'E' ? 0xE : rows[y][x] == 'D' ? 0xD : 0;
      EXPECT_EQ(image.GetPixel(x, y), want) << x << "," << y;
    }
  SRectWH outside{7, 0, 3, 3};
  EXPECT_FALSE(DrawChecker(image, outside, {2, 2}, 1, 2));
  SRectWH any{0, 0, 3, 3};
  EXPECT_FALSE(DrawChecker(image, any, {0, 2}, 1, 2));
  EXPECT_FALSE(DrawChecker(image, any, {2, -1}, 1, 2));
}

TEST_F(Drawing, FlattenOnCheckerAndColor) {
  TMTC image(4, 1);
  *image.Pixel(0, 0) = 0xFF123456u;  // opaque: unchanged
  *image.Pixel(1, 0) = 0x00123456u;  // transparent: the cell colour
  *image.Pixel(2, 0) = 0x80FFFFFFu;  // half: the cell colour blended toward the pixel
  *image.Pixel(3, 0) = 0x00000000u;
  TRect bounds{0, 0, 4, 1};
  EXPECT_TRUE(FlattenOnChecker(image, bounds, TRect{0, 0, 0, 0}, {2, 2}, 0x40000000u, 0x20C8C8C8u));
  EXPECT_EQ(image.GetPixel(0, 0), 0xFF123456u);
  EXPECT_EQ(image.GetPixel(1, 0), 0x40000000u);
  EXPECT_EQ(image.GetPixel(2, 0), 0x20E3E3E3u);  // C8 + (FF - C8)*128/255, byte 3 the cell's
  EXPECT_EQ(image.GetPixel(3, 0), 0x20C8C8C8u);
  // Parity from the origin with divisions truncating toward zero: cell 0 reaches one cell
  // either side of the origin column.
  TMTC row(12, 1);
  row.FillAll(0);
  TRect all{0, 0, 12, 1};
  EXPECT_TRUE(FlattenOnChecker(row, all, TRect{6, 0, 0, 0}, {3, 3}, 0xA, 0xB));
  const uint32_t want[12] = {0xA, 0xB, 0xB, 0xB, 0xA, 0xA, 0xA, 0xA, 0xA, 0xB, 0xB, 0xB};
  for (int32_t x = 0; x < 12; ++x) EXPECT_EQ(row.GetPixel(x, 0), want[x]) << x;
  // Over one colour, clipped bounds.
  TMTC plain(2, 2);
  plain.FillAll(0x00000000u);
  *plain.Pixel(1, 1) = 0xFF010203u;
  TRect big{-5, -5, 5, 5};
  EXPECT_TRUE(FlattenOnColor(plain, big, 0xFFFFFFFFu));
  EXPECT_EQ(big, (TRect{0, 0, 2, 2}));
  EXPECT_EQ(PixelsOf(plain), (std::vector<uint32_t>{0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFF010203u}));
  TRect none{3, 3, 4, 4};
  EXPECT_FALSE(FlattenOnColor(plain, none, 0));
  TRect some{0, 0, 1, 1};
  EXPECT_FALSE(FlattenOnChecker(plain, some, TRect{}, {0, 1}, 0, 0));
}

TEST_F(Drawing, AntialiasedLineSteps) {
  TMTC image(8, 8);
  // Horizontal at y = 2.5: half into rows 2 and 3.
  image.FillAll(0xFF000000u);
  DrawLineAA(image, 0x00FFFFFFu, true, 0.0f, 2.5f, 5.0f, 2.5f);
  for (int32_t x = 0; x < 8; ++x) {
    EXPECT_EQ(image.GetPixel(x, 2), x <= 5 ? 0xFF7F7F7Fu : 0xFF000000u) << x;
    EXPECT_EQ(image.GetPixel(x, 3), x <= 5 ? 0xFF808080u : 0xFF000000u) << x;
  }
  // A diagonal is y-major; the slope over the pixel count ends short of the far x.
  image.FillAll(0);
  DrawLineAA(image, 0x00FFFFFFu, false, 4.0f, 4.0f, 0.0f, 0.0f);
  std::vector<std::pair<int32_t, int32_t>> lit;
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 8; ++x)
      if (image.GetPixel(x, y)) lit.push_back({x, y});
  EXPECT_EQ(lit, (std::vector<std::pair<int32_t, int32_t>>{{0, 0}, {0, 1}, {1, 2}, {2, 3}, {3, 4}}));
  // A line far longer than the image costs only its visible part, same pixels as a short one.
  TMTC a(8, 8), b(8, 8);
  a.FillAll(0);
  b.FillAll(0);
  DrawLineAA(a, 0xFFFFFF, true, -1.0e9f, 3.25f, 1.0e9f, 3.25f);
  DrawLineAA(b, 0xFFFFFF, true, 0.0f, 3.25f, 7.0f, 3.25f);
  EXPECT_EQ(PixelsOf(a), PixelsOf(b));
}

TEST_F(Drawing, SoftDotNeedsRadiusThree) {
  // Radius 2: soft has no effect.
  TMTC a(9, 9), b(9, 9);
  a.FillAll(0xFF000000u);
  b.FillAll(0xFF000000u);
  DrawSoftDot(a, 0xFFFFFF, true, 4.5f, 4.5f, 2.0f, 1.0f, true);
  DrawSoftDot(b, 0xFFFFFF, true, 4.5f, 4.5f, 2.0f, 1.0f, false);
  EXPECT_EQ(PixelsOf(a), PixelsOf(b));
  EXPECT_EQ(a.GetPixel(4, 4), 0xFFFFFFFFu);  // inside: full opacity
  EXPECT_EQ(a.GetPixel(0, 0), 0xFF000000u);
  // Radius 3: the centre is soft.
  TMTC c(9, 9);
  c.FillAll(0xFF000000u);
  DrawSoftDot(c, 0xFFFFFF, true, 4.5f, 4.5f, 3.0f, 1.0f, true);
  EXPECT_NE(c.GetPixel(4, 4), 0xFFFFFFFFu);
  EXPECT_NE(c.GetPixel(4, 4), 0xFF000000u);
}

TEST_F(Drawing, SoftDotAlphas) {
  TMTC image(10, 10);
  SetSoftDotPlotter(RecordPlot);
  // Centre (5, 5), radius 1, hard, antialiased: quarter-pixel units R = 4, R2 = 16.
  DrawSoftDotOp(image, 7, true, 5.0f, 5.0f, 1.0f, 1.0f, false);
  std::map<std::pair<int32_t, int32_t>, int32_t> alpha;
  for (const Visit& v : g_visits) alpha[{v.x, v.y}] = v.alpha;
  // Each of the four pixels touching the centre has 1 corner inside; the 16 samples lie at the
  // pixel's corner and the three quarter steps after it, so they count 8, 11, 11 and 15.
  EXPECT_EQ(alpha.size(), 4u);
  EXPECT_EQ((alpha[{4, 4}]), 255 * 8 / 16);
  EXPECT_EQ((alpha[{5, 4}]), 255 * 11 / 16);
  EXPECT_EQ((alpha[{4, 5}]), 255 * 11 / 16);
  EXPECT_EQ((alpha[{5, 5}]), 255 * 15 / 16);
  // Without antialias the partly covered pixels take the full alpha; opacity 0.5 gives 127.
  g_visits.clear();
  DrawSoftDotOp(image, 7, false, 5.0f, 5.0f, 1.0f, 0.5f, false);
  ASSERT_EQ(g_visits.size(), 4u);
  for (const Visit& v : g_visits) EXPECT_EQ(v.alpha, 127);
  // The plotter sees the same pixels DrawSoftDot blends.
  SetSoftDotPlotter(FastPlot);
  TMTC a(20, 20), b(20, 20);
  a.FillAll(0xFF102030u);
  b.FillAll(0xFF102030u);
  DrawSoftDot(a, 0xFFEEDD, true, 9.3f, 10.7f, 6.4f, 0.8f, true);
  DrawSoftDotOp(b, 0xFFEEDD, true, 9.3f, 10.7f, 6.4f, 0.8f, true);
  EXPECT_EQ(PixelsOf(a), PixelsOf(b));
  // Plotter set and restored.
  EXPECT_EQ(SetSoftDotPlotter(nullptr), FastPlot);
  EXPECT_NE(GetSoftDotPlotter(), FastPlot);
}

// Regression: the soft fall-off (F*F + D*D)*255 overflowed 32 bits on large dots (from a radius
// of some 400 to 700 pixels), giving garbage alphas near the edge. 64-bit intermediates now.
TEST_F(Drawing, LargeSoftDotFallsOffSmoothly) {
  TMTC image(1700, 3);  // only the rows through the centre are computed
  SetSoftDotPlotter(RecordPlot);
  DrawSoftDotOp(image, 1, true, 850.0f, 1.0f, 800.0f, 1.0f, true);
  std::map<int32_t, int32_t> row;
  for (const Visit& v : g_visits)
    if (v.y == 1) row[v.x] = v.alpha;
  // R = 3200, R2 = 10240000; alpha = (255*B) >> 8 with B = 255 - (F*F)*255 div R2.
  EXPECT_EQ(row[850], 254);   // F = 0: B = 255
  EXPECT_EQ(row[1250], 191);  // F = 1600: B = 192
  EXPECT_EQ(row[1550], 59);   // F = 2800: B = 60
  EXPECT_EQ(row[1610], 24);   // F = 3040: 9241600*255 is past 2^31; B = 25
  int32_t previous = 255;
  for (int32_t x = 850; x < 1650; ++x) {
    ASSERT_LE(row[x], previous) << x;
    previous = row[x];
  }
  EXPECT_EQ(row.count(1651), 0u);  // outside the radius
}

TEST_F(Drawing, Reduce4x4) {
  TMTC source(6, 5), same(6, 5);
  FillPattern(source);
  Reduce4x4To(source, same);
  EXPECT_EQ(PixelsOf(same), PixelsOf(source));
  // 8x4 into 2x1: each destination pixel samples columns 4x + 0..3 and rows 0, 1, 2, 3.
  TMTC stripes(8, 4), out(2, 1);
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 8; ++x) *stripes.Pixel(x, y) = x < 4 ? 0x10203040u : 0xF0E0D0C0u;
  Reduce4x4To(stripes, out);
  EXPECT_EQ(PixelsOf(out), (std::vector<uint32_t>{0x10203040u, 0xF0E0D0C0u}));
  // An invalid or empty destination: nothing (no division by its size).
  TMTC empty, zeroWide(0, 3);
  Reduce4x4To(source, empty);
  Reduce4x4To(source, zeroWide);
  Reduce4x4To(empty, out);
  EXPECT_EQ(PixelsOf(out), (std::vector<uint32_t>{0x10203040u, 0xF0E0D0C0u}));
}

TEST_F(Drawing, BoxScale) {
  // 4x1 into 2x1: boxes of (4 div 2 + 1) x (1 div 1 + 1) pixels, clamped at the edges.
  TMTC source(4, 1), dest(2, 1);
  const uint8_t v[4] = {0, 30, 60, 90};
  for (int32_t x = 0; x < 4; ++x) *source.Pixel(x, 0) = 0x01010101u * v[x];
  EXPECT_TRUE(BoxScaleTo(source, dest, 0, 0, 2, 1));
  EXPECT_EQ(PixelsOf(dest), (std::vector<uint32_t>{0x1E1E1E1Eu, 0x50505050u}));
  // Only the pixels inside the clipped rectangle change.
  dest.FillAll(7);
  EXPECT_TRUE(BoxScaleTo(source, dest, 1, -3, 5, 10));
  EXPECT_EQ(PixelsOf(dest), (std::vector<uint32_t>{7u, 0x50505050u}));
  EXPECT_FALSE(BoxScaleTo(source, dest, 2, 0, 1, 1));
  TMTC invalid;
  EXPECT_FALSE(BoxScaleTo(source, invalid, 0, 0, 1, 1));
  EXPECT_FALSE(BoxScaleTo(invalid, dest, 0, 0, 1, 1));
}

TEST_F(Drawing, StretchNearest) {
  TMTC source(2, 2);
  const uint32_t px[4] = {1, 2, 3, 4};
  for (int i = 0; i < 4; ++i) *source.Pixel(i % 2, i / 2) = px[i];
  TMTC dest(4, 4);
  EXPECT_TRUE(StretchFrom(dest, source, {0, 0, 4, 4}, {0, 0, 2, 2}));
  EXPECT_EQ(PixelsOf(dest), (std::vector<uint32_t>{1, 1, 2, 2, 1, 1, 2, 2, 3, 3, 4, 4, 3, 3, 4, 4}));
  // 3x3 with the step FixDiv(2, 3) = 43691: 0, 0.67, 1.33.
  dest.FillAll(9);
  EXPECT_TRUE(StretchFrom(dest, source, {1, 1, 3, 3}, {0, 0, 2, 2}));
  EXPECT_EQ(PixelsOf(dest), (std::vector<uint32_t>{9, 9, 9, 9, 9, 1, 1, 2, 9, 1, 1, 2, 9, 3, 3, 4}));
  // Rectangles are clipped (copies: the caller's stay).
  SRectWH d{-1, -1, 10, 10}, s{0, 1, 5, 5};
  EXPECT_TRUE(StretchFrom(dest, source, d, s));
  EXPECT_EQ(d, (SRectWH{-1, -1, 10, 10}));
  EXPECT_EQ(PixelsOf(dest), std::vector<uint32_t>({3, 3, 4, 4, 3, 3, 4, 4, 3, 3, 4, 4, 3, 3, 4, 4}));
  EXPECT_FALSE(StretchFrom(dest, source, {4, 0, 2, 2}, {0, 0, 2, 2}));
  EXPECT_FALSE(StretchFrom(dest, source, {0, 0, 2, 2}, {2, 0, 2, 2}));
  // Rounded-up steps: a 2-wide source into 2000 columns runs out of source at column 1986,
  // the columns after it keep their pixels; likewise rows, which repeat the last row written.
  TMTC wide(2000, 2000);
  wide.FillAll(0xEEEEEEEEu);
  EXPECT_TRUE(StretchFrom(wide, source, {0, 0, 2000, 2000}, {0, 0, 2, 2}));
  EXPECT_EQ(wide.GetPixel(1985, 0), 2u);
  EXPECT_EQ(wide.GetPixel(1986, 0), 0xEEEEEEEEu);
  EXPECT_EQ(wide.GetPixel(0, 1999), 3u);
  EXPECT_EQ(wide.GetPixel(1986, 1999), 0xEEEEEEEEu);
}

TEST_F(Drawing, RotateScale) {
  TMTC source(4, 4), dest(4, 4);
  FillPattern(source);
  EXPECT_EQ(GetRotateBackground(), 0x00808080u);
  // Angle 0, scale 1, centred: a copy.
  EXPECT_TRUE(RotateScaleAllTo(source, dest, 2.0f, 2.0f, 0.0f, 1.0f));
  EXPECT_EQ(PixelsOf(dest), PixelsOf(source));
  // Half a turn about (1, 1): (x, y) samples (3 - x, 3 - y).
  EXPECT_TRUE(RotateScaleAllTo(source, dest, 1.0f, 1.0f, static_cast<float>(M_PI), 1.0f));
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 4; ++x)
      EXPECT_EQ(dest.GetPixel(x, y), source.GetPixel(3 - x, 3 - y)) << x << "," << y;
  // A quarter turn about (1, 2): (x, y) samples (3 - y, x).
  EXPECT_TRUE(RotateScaleAllTo(source, dest, 1.0f, 2.0f, static_cast<float>(M_PI / 2), 1.0f));
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 4; ++x) EXPECT_EQ(dest.GetPixel(x, y), source.GetPixel(3 - y, x)) << x << "," << y;
  // Scale 2 about the centre: every other source pixel; points outside get the background.
  SetRotateBackground(0xFF00FF00u);
  EXPECT_TRUE(RotateScaleAllTo(source, dest, 2.0f, 2.0f, 0.0f, 2.0f));
  EXPECT_EQ(dest.GetPixel(1, 1), source.GetPixel(0, 0));
  EXPECT_EQ(dest.GetPixel(2, 2), source.GetPixel(2, 2));
  EXPECT_EQ(dest.GetPixel(0, 0), 0xFF00FF00u);
  EXPECT_EQ(dest.GetPixel(3, 3), 0xFF00FF00u);
  // Only the rectangle changes.
  dest.FillAll(5);
  EXPECT_TRUE(RotateScaleTo(source, dest, 2.0f, 2.0f, {1, 1, 1, 10}, 0.0f, 1.0f));
  EXPECT_EQ(PixelsOf(dest), (std::vector<uint32_t>{5, 5, 5, 5, 5, source.GetPixel(1, 1), 5, 5, 5,
                                                   source.GetPixel(1, 2), 5, 5, 5, source.GetPixel(1, 3), 5, 5}));
  // Refused: bad scales, empty rectangles.
  for (float s : {0.0f, -1.0f, NAN, INFINITY})
    EXPECT_FALSE(RotateScaleAllTo(source, dest, 2.0f, 2.0f, 0.0f, s)) << s;
  EXPECT_FALSE(RotateScaleTo(source, dest, 2.0f, 2.0f, {4, 0, 2, 2}, 0.0f, 1.0f));
  EXPECT_EQ(dest.GetPixel(0, 0), 5u);
  // An invalid source gives background only.
  TMTC invalid;
  EXPECT_TRUE(RotateScaleAllTo(invalid, dest, 2.0f, 2.0f, 0.0f, 1.0f));
  EXPECT_EQ(PixelsOf(dest), std::vector<uint32_t>(16, 0xFF00FF00u));
  ResetDrawingState();
  EXPECT_EQ(GetRotateBackground(), 0x00808080u);
}

TEST_F(Drawing, WorksOnBottomUpImages) {
  TTC dib(6, 6);
  TMTC flat(6, 6);
  dib.FillAll(0xFF000000u);
  flat.FillAll(0xFF000000u);
  for (TMTC* image : {static_cast<TMTC*>(&dib), &flat}) {
    FrameRect(*image, {1, 1, 4, 3}, 0xFFFFFF, 200);
    DrawLineAA(*image, 0x00FF00, true, 0.0f, 5.5f, 5.0f, 4.0f);
    DrawSoftDot(*image, 0x0000FF, true, 3.0f, 3.0f, 1.5f, 0.7f, false);
  }
  EXPECT_EQ(PixelsOf(dib), PixelsOf(flat));
}

}  // namespace
}  // namespace tf
