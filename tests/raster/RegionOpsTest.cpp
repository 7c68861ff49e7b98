#include "raster/RegionOps.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "platform/Debug.h"
#include "platform/Memory.h"
#include "raster/ColorMath.h"
#include "raster/Composite.h"
#include "support/TestImages.h"

namespace tf {
namespace {

using test::BottomUpMTC;
using test::PixelsOf;

// Distinct pixels: alpha and colour bytes all depend on (x, y) and the seed.
uint32_t PatternPixel(int32_t x, int32_t y, uint32_t seed) {
  uint32_t v = (static_cast<uint32_t>(x) * 73856093u) ^ (static_cast<uint32_t>(y) * 19349663u) ^ seed;
  v ^= v >> 13;
  v *= 0x5bd1e995u;
  return v ^ (v >> 15);
}

void FillPattern(TMTC& image, uint32_t seed) {
  for (int32_t y = 0; y < image.Height(); ++y)
    for (int32_t x = 0; x < image.Width(); ++x) *image.Pixel(x, y) = PatternPixel(x, y, seed);
}

class RegionOps : public ::testing::Test {
 protected:
  void SetUp() override { InitCompositeTables(); }
};

// ---------------------------------------------------------------------------------------------
// Fills and per-pixel loops

TEST_F(RegionOps, AlphaAndBitOperations) {
  TMTC image(4, 3);
  FillPattern(image, 1);
  const std::vector<uint32_t> before = PixelsOf(image);

  EXPECT_TRUE(image.SetAlphaAll(0));
  std::vector<uint32_t> after = PixelsOf(image);
  for (size_t i = 0; i < after.size(); ++i) EXPECT_EQ(after[i], before[i] & 0x00FFFFFFu);

  SRectWH rect{0, 0, 4, 3};
  EXPECT_TRUE(image.XorRect(rect, 0xFFFFFFFFu));
  after = PixelsOf(image);
  for (size_t i = 0; i < after.size(); ++i) EXPECT_EQ(after[i], ~(before[i] & 0x00FFFFFFu));

  SRectWH part{2, 1, 10, 10};
  EXPECT_TRUE(image.MaskedFillRect(part, 0x00FF00FFu, 0x12345678u));
  EXPECT_EQ(part, (SRectWH{2, 1, 2, 2}));
  EXPECT_EQ(image.GetPixel(3, 2), 0x00340078u | (~(before[11] & 0x00FFFFFFu) & 0xFF00FF00u));
  EXPECT_EQ(image.GetPixel(1, 2), after[9]);

  EXPECT_TRUE(image.OrAll(0x80000000u));
  EXPECT_EQ(image.GetPixel(1, 2) >> 31, 1u);
  SRectWH alphaRect{0, 0, 1, 1};
  EXPECT_TRUE(image.SetAlphaRect(alphaRect, 0x42));
  EXPECT_EQ(image.GetPixel(0, 0) >> 24, 0x42u);
  EXPECT_EQ(image.GetPixel(0, 0) & 0x00FFFFFFu, after[0] & 0x00FFFFFFu);

  SRectWH fill{-1, -1, 2, 2};
  EXPECT_TRUE(image.FillRect(fill, 0xCAFEBABEu));
  EXPECT_EQ(image.GetPixel(0, 0), 0xCAFEBABEu);
  EXPECT_NE(image.GetPixel(1, 0), 0xCAFEBABEu);
  EXPECT_FALSE(image.FillRectCoords(4, 0, 1, 1, 0));
  EXPECT_TRUE(image.FillRectRaw(SRectWH{1, 1, 2, 1}, 5));
  EXPECT_EQ(image.GetPixel(2, 1), 5u);
}

void SwapNibblesOp(uint32_t* pixel, uint32_t, int32_t) {
  *pixel = ((*pixel & 0x0F0F0F0Fu) << 4) | ((*pixel & 0xF0F0F0F0u) >> 4);
}

// Each member loop against the operation applied pixel by pixel to the same rectangle, on both
// row orders; the standard operations run through inlined loops, others through the pointer.
TEST_F(RegionOps, ApplyToRectMatchesOperation) {
  const PixelOp ops[] = {&BlendColor, &SetPixelOp,     &MultiplyOp,   &AddOp,
                         &SubtractOp, &BlendColorFast, &SwapNibblesOp};
  const int32_t alphas[] = {0, 1, 128, 254, 255, 256};
  for (int order = 0; order < 2; ++order) {
    for (PixelOp op : ops) {
      for (int32_t alpha : alphas) {
        TMTC plain(7, 5);
        BottomUpMTC dib(7, 5);
        TMTC& image = order == 0 ? plain : static_cast<TMTC&>(dib);
        FillPattern(image, 3);
        TMTC expected(image);
        const uint32_t colour = 0x8040C020u;
        for (int32_t y = 1; y < 4; ++y)
          for (int32_t x = 2; x < 7; ++x) op(expected.Pixel(x, y), colour, alpha);
        SRectWH rect{2, 1, 9, 3};
        EXPECT_TRUE(image.ApplyToRect(rect, colour, alpha, op));
        EXPECT_EQ(PixelsOf(image), PixelsOf(expected)) << "alpha " << alpha << " order " << order;
      }
    }
  }
  TMTC image(2, 2);
  SRectWH rect{0, 0, 2, 2};
  EXPECT_FALSE(image.ApplyToRect(rect, 0, 0, nullptr));
  SRectWH outside{2, 0, 2, 2};
  EXPECT_FALSE(image.ApplyToRect(outside, 0, 255, &BlendColor));
}

TEST_F(RegionOps, BlendRect) {
  TMTC image(3, 3);
  image.FillAll(0x80000000u);
  EXPECT_TRUE(image.BlendRectCoords(1, 1, 5, 5, 0x00FFFFFFu, 128));
  EXPECT_EQ(image.GetPixel(2, 2), 0x80808080u);
  EXPECT_EQ(image.GetPixel(0, 2), 0x80000000u);
  SRectWH none{0, 0, 0, 3};
  EXPECT_FALSE(image.BlendRect(none, 0, 255));
}

// ---------------------------------------------------------------------------------------------
// Mirrors

struct MirrorCase {
  const char* name;
  SRectWH rect;
  std::function<bool(TMTC&, SRectWH&)> run;
  // Where the pixel now at (x, y) inside the rectangle came from (relative coordinates).
  std::function<TPoint(int32_t x, int32_t y, int32_t w, int32_t h)> from;
};

TEST_F(RegionOps, Mirrors) {
  auto flipV = [](TMTC& m, SRectWH& r) { return m.FlipVertical(r); };
  auto flipH = [](TMTC& m, SRectWH& r) { return m.FlipHorizontal(r); };
  auto rotate = [](TMTC& m, SRectWH& r) { return m.Rotate180(r); };
  auto fromV = [](int32_t x, int32_t y, int32_t, int32_t h) { return TPoint{x, h - 1 - y}; };
  auto fromH = [](int32_t x, int32_t y, int32_t w, int32_t) { return TPoint{w - 1 - x, y}; };
  auto fromR = [](int32_t x, int32_t y, int32_t w, int32_t h) { return TPoint{w - 1 - x, h - 1 - y}; };
  const MirrorCase cases[] = {
      {"flip v height 1", {1, 2, 4, 1}, flipV, fromV}, {"flip v height 3", {0, 1, 5, 3}, flipV, fromV},
      {"flip v height 4", {2, 0, 3, 4}, flipV, fromV}, {"flip h odd", {1, 1, 5, 3}, flipH, fromH},
      {"flip h even", {0, 0, 4, 6}, flipH, fromH},     {"rotate 3x3", {0, 0, 3, 3}, rotate, fromR},
      {"rotate 4x5", {2, 1, 4, 5}, rotate, fromR},     {"rotate 5x2", {1, 3, 5, 2}, rotate, fromR},
      {"rotate 1x1", {3, 3, 1, 1}, rotate, fromR},
  };
  for (int order = 0; order < 2; ++order) {
    for (const MirrorCase& c : cases) {
      TMTC plain(6, 6);
      BottomUpMTC dib(6, 6);
      TMTC& image = order == 0 ? plain : static_cast<TMTC&>(dib);
      FillPattern(image, 9);
      TMTC before(image);
      SRectWH rect = c.rect;
      EXPECT_TRUE(c.run(image, rect)) << c.name;
      for (int32_t y = 0; y < 6; ++y)
        for (int32_t x = 0; x < 6; ++x) {
          const SRectWH& r = c.rect;
          TPoint src{x, y};
          if (x >= r.left && x < r.left + r.width && y >= r.top && y < r.top + r.height) {
            const TPoint rel = c.from(x - r.left, y - r.top, r.width, r.height);
            src = {r.left + rel.x, r.top + rel.y};
          }
          EXPECT_EQ(image.GetPixel(x, y), before.GetPixel(src.x, src.y))
              << c.name << " order " << order << " at " << x << "," << y;
        }
    }
  }
  TMTC image(3, 3);
  FillPattern(image, 2);
  const uint32_t centre = image.GetPixel(1, 1);
  const uint32_t corner = image.GetPixel(0, 0);
  SRectWH all{0, 0, 3, 3};
  EXPECT_TRUE(image.Rotate180(all));
  EXPECT_EQ(image.GetPixel(1, 1), centre);
  EXPECT_EQ(image.GetPixel(2, 2), corner);
  EXPECT_TRUE(image.FlipVerticalAll());
  SRectWH outside{3, 0, 2, 2};
  EXPECT_FALSE(image.FlipHorizontal(outside));
}

// ---------------------------------------------------------------------------------------------
// Copies

TEST_F(RegionOps, CopyFromAcrossRowOrders) {
  BottomUpMTC dib(5, 4);
  FillPattern(dib, 4);
  TMTC image(6, 6);
  image.FillAll(0);
  TPoint point{3, -1};
  SRectWH rect{0, 0, 5, 4};
  EXPECT_TRUE(image.CopyFrom(dib, point, rect));
  EXPECT_EQ(point, (TPoint{3, 0}));
  EXPECT_EQ(rect, (SRectWH{0, 1, 3, 3}));
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 3; ++x) EXPECT_EQ(image.GetPixel(3 + x, y), dib.GetPixel(x, 1 + y));
  EXPECT_EQ(image.GetPixel(2, 0), 0u);

  // And back into the bottom-up image.
  FillPattern(image, 5);
  EXPECT_TRUE(dib.CopyAllFrom(-1, 1, image));
  EXPECT_EQ(dib.GetPixel(0, 1), image.GetPixel(1, 0));
  EXPECT_EQ(dib.GetPixel(4, 3), image.GetPixel(5, 2));

  EXPECT_TRUE(image.CopyFromRaw(dib, TPoint{0, 0}, SRectWH{1, 1, 2, 2}));
  EXPECT_EQ(image.GetPixel(1, 1), dib.GetPixel(2, 2));
}

TEST_F(RegionOps, CopyFromOutsideCopiesNothing) {
  TMTC source(4, 4);
  FillPattern(source, 6);
  TMTC dest(4, 4);
  dest.FillAll(0x11111111u);
  const SRectWH outside[] = {{4, 0, 2, 2}, {-2, 0, 2, 2}, {0, 4, 2, 2}, {0, -3, 4, 3}};
  for (SRectWH r : outside) {
    TPoint point{0, 0};
    EXPECT_FALSE(dest.CopyFrom(source, point, r));
  }
  TPoint far{4, 0};
  SRectWH r{0, 0, 4, 4};
  EXPECT_FALSE(dest.CopyFrom(source, far, r));
  for (uint32_t p : PixelsOf(dest)) EXPECT_EQ(p, 0x11111111u);
  TMTC invalid;
  EXPECT_FALSE(dest.CopyAllFrom(0, 0, invalid));
  EXPECT_FALSE(invalid.CopyAllFrom(0, 0, source));
}

TEST_F(RegionOps, CopyFromRawOfAnEmptyRectangleCopiesNothing) {
  TMTC source(4, 4);
  FillPattern(source, 9);
  TMTC dest(4, 4);
  dest.FillAll(0x22222222u);
  EXPECT_TRUE(dest.CopyFromRaw(source, TPoint{0, 0}, SRectWH{0, 0, -3, 2}));
  EXPECT_TRUE(dest.CopyFromRaw(source, TPoint{0, 0}, SRectWH{0, 0, 2, 0}));
  for (uint32_t p : PixelsOf(dest)) EXPECT_EQ(p, 0x22222222u);
}

// A window-system bitmap given as a 32-bit block whose row 0 is the top row, stored top-down
// or bottom-up: rows are copied from the rectangle's left pixel, 4*width bytes each.
TEST_F(RegionOps, CopyFromBitmap) {
  const int32_t bw = 5, bh = 4;
  std::vector<uint32_t> memory(bw * bh);
  for (int order = 0; order < 2; ++order) {
    PixelBlockView bitmap;
    bitmap.width = bw;
    bitmap.height = bh;
    const std::ptrdiff_t rowBytes = 4 * bw;
    if (order == 0) {
      bitmap.topRow = reinterpret_cast<const uint8_t*>(memory.data());
      bitmap.stride = rowBytes;
    } else {
      bitmap.topRow = reinterpret_cast<const uint8_t*>(memory.data() + (bh - 1) * bw);
      bitmap.stride = -rowBytes;
    }
    for (int32_t y = 0; y < bh; ++y)
      for (int32_t x = 0; x < bw; ++x) const_cast<uint32_t*>(bitmap.Row(y))[x] = PatternPixel(x, y, 10 + order);

    TMTC image(4, 4);
    image.FillAll(0);
    TPoint point{-1, 2};
    SRectWH rect{1, 0, 4, 4};
    ASSERT_TRUE(image.CopyFromBitmap(bitmap, point, rect)) << order;
    EXPECT_EQ(point, (TPoint{0, 2}));
    EXPECT_EQ(rect, (SRectWH{2, 0, 3, 2}));
    for (int32_t y = 0; y < 4; ++y)
      for (int32_t x = 0; x < 4; ++x) {
        const uint32_t want = (y >= 2 && x < 3) ? PatternPixel(2 + x, y - 2, 10 + order) : 0u;
        EXPECT_EQ(image.GetPixel(x, y), want) << order << " " << x << "," << y;
      }

    TPoint outside{0, 0};
    SRectWH beyond{5, 0, 2, 2};
    EXPECT_FALSE(image.CopyFromBitmap(bitmap, outside, beyond));
  }
  PixelBlockView empty;
  TMTC image(2, 2);
  TPoint point{0, 0};
  SRectWH rect{0, 0, 2, 2};
  EXPECT_FALSE(image.CopyFromBitmap(empty, point, rect));
}

TEST_F(RegionOps, CopyWithinOneImageOverlapping) {
  for (int order = 0; order < 2; ++order) {
    for (TPoint shift : {TPoint{0, 2}, TPoint{0, -2}, TPoint{1, 1}, TPoint{-1, -1}, TPoint{2, 0}}) {
      TMTC plain(7, 8);
      BottomUpMTC dib(7, 8);
      TMTC& image = order == 0 ? plain : static_cast<TMTC&>(dib);
      FillPattern(image, 8);
      TMTC before(image);
      TPoint point{1 + shift.x, 2 + shift.y};
      SRectWH rect{1, 2, 4, 4};
      EXPECT_TRUE(image.CopyFrom(image, point, rect));
      for (int32_t y = 0; y < 4; ++y)
        for (int32_t x = 0; x < 4; ++x)
          EXPECT_EQ(image.GetPixel(1 + shift.x + x, 2 + shift.y + y), before.GetPixel(1 + x, 2 + y))
              << "order " << order << " shift " << shift.x << "," << shift.y;
    }
  }
}

TEST_F(RegionOps, DrawRectTo) {
  TMTC source(2, 2);
  source.FillAll(0x10FFFFFFu);
  for (int32_t opacity : {255, 254, 128, 0}) {
    TMTC dest(3, 3);
    dest.FillAll(0x80000000u);
    TPoint point{1, 1};
    SRectWH rect{0, 0, 2, 2};
    const bool ok = source.DrawRectTo(dest, point, rect, opacity);
    EXPECT_EQ(ok, opacity != 0);
    uint32_t want = 0x80000000u;
    if (opacity == 255) {
      want = 0x10FFFFFFu;  // a plain copy, source alpha included
    } else {
      BlendColor(&want, 0x10FFFFFFu, opacity);  // destination alpha stays
    }
    EXPECT_EQ(dest.GetPixel(2, 2), want) << opacity;
    EXPECT_EQ(dest.GetPixel(0, 0), 0x80000000u) << opacity;
  }
  TMTC dest(3, 3);
  dest.FillAll(0);
  EXPECT_TRUE(source.DrawTo(dest, -1, -1, 128));
  EXPECT_EQ(dest.GetPixel(0, 0), 0x00808080u);
  EXPECT_EQ(dest.GetPixel(1, 0), 0u);
}

// ---------------------------------------------------------------------------------------------
// Combine and composite loops

TEST_F(RegionOps, CombineToAcrossRowOrders) {
  const PixelOp ops[] = {&BlendColor, &MultiplyOp, &AddOp, &SubtractOp, &SwapNibblesOp};
  for (PixelOp op : ops) {
    BottomUpMTC source(4, 4);
    FillPattern(source, 10);
    TMTC dest(5, 5);
    FillPattern(dest, 11);
    TMTC expected(dest);
    for (int32_t y = 0; y < 3; ++y)
      for (int32_t x = 0; x < 3; ++x) op(expected.Pixel(2 + x, 2 + y), source.GetPixel(1 + x, 0 + y), 200);
    TPoint point{2, 2};
    SRectWH rect{1, 0, 3, 4};
    EXPECT_TRUE(source.CombineTo(dest, point, rect, 200, op));
    EXPECT_EQ(PixelsOf(dest), PixelsOf(expected));
  }
}

TEST_F(RegionOps, CoordsFormsUseTheirOperations) {
  TMTC source(3, 3);
  FillPattern(source, 12);
  struct Case {
    PixelOp op;
    bool (TMTC::*form)(TMTC&, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t) const;
  };
  const Case cases[] = {{&MultiplyOp, &TMTC::MultiplyToCoords},
                        {&AddOp, &TMTC::AddToCoords},
                        {&SubtractOp, &TMTC::SubtractToCoords}};
  for (const Case& c : cases) {
    TMTC dest(3, 3);
    FillPattern(dest, 13);
    TMTC expected(dest);
    for (int32_t y = 0; y < 2; ++y)
      for (int32_t x = 0; x < 2; ++x) c.op(expected.Pixel(1 + x, y), source.GetPixel(x, 1 + y), 99);
    EXPECT_TRUE((source.*c.form)(dest, 0, 1, 5, 5, 1, 0, 99));
    EXPECT_EQ(PixelsOf(dest), PixelsOf(expected));
  }
}

TEST_F(RegionOps, ValueZeroChangesNothing) {
  TMTC source(3, 3);
  FillPattern(source, 14);
  TMTC dest(3, 3);
  FillPattern(dest, 15);
  const std::vector<uint32_t> before = PixelsOf(dest);
  TPoint point{0, 0};
  SRectWH rect{0, 0, 3, 3};
  // SetPixelOp ignores its value, yet value 0 means no pass at all.
  EXPECT_FALSE(source.CombineTo(dest, point, rect, 0, &SetPixelOp));
  EXPECT_FALSE(source.CombineToRaw(dest, TPoint{0, 0}, SRectWH{0, 0, 3, 3}, 0, &SetPixelOp));
  TPoint p2{0, 0};
  SRectWH r2{0, 0, 3, 3};
  EXPECT_FALSE(dest.CombineFrom(source, p2, r2, 0, 0, &SetPixelOp));
  SRectWH r3{0, 0, 3, 3};
  EXPECT_FALSE(dest.CombineColorRect(r3, 0, 0, 0, &SetPixelOp));
  SCompositeOps ops;
  ops.destination = &SetPixelOp;
  ops.source = &SetPixelOp;
  TPoint p4{0, 0};
  SRectWH r4{0, 0, 3, 3};
  EXPECT_FALSE(dest.CompositeFrom(source, p4, r4, 0, 0, ops));
  SRectWH r5{0, 0, 3, 3};
  EXPECT_FALSE(dest.CompositeColorRect(r5, 0xFFFFFFFFu, 0, 0, ops));
  EXPECT_EQ(PixelsOf(dest), before);
}

TEST_F(RegionOps, CombineFromScalesDestinationAlphaFirst) {
  // An operation that records the alpha it sees in the colour bytes.
  auto seeAlpha = [](uint32_t* pixel, uint32_t, int32_t) { *pixel = (*pixel & 0xFF000000u) | (*pixel >> 24); };
  const PixelOp op = +seeAlpha;
  for (int32_t scale : {255, 128, 0}) {
    TMTC source(2, 2);
    source.FillAll(0);
    BottomUpMTC dest(2, 2);
    dest.FillAll(0xC8000000u);  // alpha 200
    TPoint point{0, 0};
    SRectWH rect{0, 0, 2, 2};
    EXPECT_TRUE(dest.CombineFrom(source, point, rect, scale, 1, op));
    const uint32_t a = MulTable[200][scale];
    EXPECT_EQ(dest.GetPixel(1, 1), (a << 24) | a) << scale;

    SRectWH all{0, 0, 2, 2};
    dest.FillAll(0xC8000000u);
    EXPECT_TRUE(dest.CombineColorRect(all, 0, scale, 1, op));
    EXPECT_EQ(dest.GetPixel(0, 1), (a << 24) | a) << scale;
  }
}

// Routines that add colour*alpha/255 into the accumulator: a plain "over".
void AddWeighted(uint32_t* acc, uint32_t colour, int32_t alpha) {
  uint32_t out = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    const uint32_t sum =
        ((*acc >> shift) & 0xFFu) + MulDiv255((colour >> shift) & 0xFFu, static_cast<uint32_t>(alpha));
    out |= (sum > 255 ? 255 : sum) << shift;
  }
  *acc = out;
}
void AddWeightedBehind(uint32_t* acc, uint32_t colour, int32_t alpha) { AddWeighted(acc, colour, alpha / 2); }

TEST_F(RegionOps, CompositeFromMatchesCompositePixel) {
  SCompositeOps ops;
  ops.startColor = 0;
  ops.flags = kCompositeSkipZeroAlpha;
  ops.destination = &AddWeightedBehind;
  ops.source = &AddWeighted;
  for (int32_t scale : {255, 77}) {
    for (int32_t opacity : {255, 100}) {
      BottomUpMTC source(4, 3);
      FillPattern(source, 16);
      TMTC dest(4, 3);
      FillPattern(dest, 17);
      TMTC expected(dest);
      for (int32_t y = 0; y < 3; ++y)
        for (int32_t x = 0; x < 4; ++x) {
          uint32_t* p = expected.Pixel(x, y);
          *p = (*p & 0x00FFFFFFu) | (uint32_t{MulTable[*p >> 24][scale]} << 24);
          CompositePixel(p, source.GetPixel(x, y), opacity, ops);
        }
      TPoint point{0, 0};
      SRectWH rect{0, 0, 4, 3};
      EXPECT_TRUE(dest.CompositeFrom(source, point, rect, scale, opacity, ops));
      EXPECT_EQ(PixelsOf(dest), PixelsOf(expected)) << scale << " " << opacity;

      TMTC colourDest(4, 3);
      FillPattern(colourDest, 18);
      TMTC colourExpected(colourDest);
      for (int32_t y = 0; y < 3; ++y)
        for (int32_t x = 0; x < 4; ++x) {
          uint32_t* p = colourExpected.Pixel(x, y);
          *p = (*p & 0x00FFFFFFu) | (uint32_t{MulTable[*p >> 24][scale]} << 24);
          CompositePixel(p, 0xFF336699u, opacity, ops);
        }
      SRectWH all{-2, -2, 10, 10};
      EXPECT_TRUE(colourDest.CompositeColorRect(all, 0xFF336699u, scale, opacity, ops));
      EXPECT_EQ(PixelsOf(colourDest), PixelsOf(colourExpected));
    }
  }
  // Onto a transparent pixel at full opacity the source colour comes through unchanged.
  TMTC source(1, 1);
  source.FillAll(0xFF123456u);
  TMTC dest(1, 1);
  dest.FillAll(0);
  TPoint point{0, 0};
  SRectWH rect{0, 0, 1, 1};
  EXPECT_TRUE(dest.CompositeFrom(source, point, rect, 255, 255, ops));
  EXPECT_EQ(dest.GetPixel(0, 0), 0xFF123456u);
}

// ---------------------------------------------------------------------------------------------
// Channels

TEST_F(RegionOps, ChannelToPixels) {
  TChannel channel(3, 2);
  const uint8_t values[2][3] = {{0, 1, 255}, {128, 0, 7}};
  for (int32_t y = 0; y < 2; ++y)
    for (int32_t x = 0; x < 3; ++x) *channel.GetPixelPtr(x, y) = values[y][x];
  for (int order = 0; order < 2; ++order) {
    TMTC plain(4, 4);
    BottomUpMTC dib(4, 4);
    TMTC& image = order == 0 ? plain : static_cast<TMTC&>(dib);
    image.FillAll(0x55555555u);
    TPoint point{1, 2};
    SRectWH rect{0, 0, 3, 2};
    EXPECT_TRUE(ChannelToPixels(image, channel, point, rect));
    EXPECT_EQ(image.GetPixel(1, 2), 0u);
    EXPECT_EQ(image.GetPixel(2, 2), 0xFF010101u);
    EXPECT_EQ(image.GetPixel(3, 2), 0xFFFFFFFFu);
    EXPECT_EQ(image.GetPixel(1, 3), 0xFF808080u);
    EXPECT_EQ(image.GetPixel(3, 3), 0xFF070707u);
    EXPECT_EQ(image.GetPixel(0, 2), 0x55555555u);
    EXPECT_EQ(image.GetPixel(1, 1), 0x55555555u);
  }
}

TEST_F(RegionOps, ToChannel) {
  BottomUpMTC image(3, 3);
  FillPattern(image, 19);
  *image.Pixel(0, 0) = 0xFFFFFFFFu;
  *image.Pixel(1, 0) = 0x00FF0000u;  // pure red
  TChannel channel(3, 3);
  EXPECT_TRUE(image.LuminanceToChannel(channel));
  EXPECT_EQ(channel.GetPixel(0, 0), 255);
  EXPECT_EQ(channel.GetPixel(1, 0), 76);
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 3; ++x) {
      const uint32_t p = image.GetPixel(x, y);
      EXPECT_EQ(channel.GetPixel(x, y), PixelLuminance(&p));
    }

  TChannel alpha(2, 2);
  alpha.Fill(0);
  TPoint point{-1, 0};
  SRectWH rect{0, 1, 3, 3};
  auto takeAlpha = [](uint8_t* byte, const uint32_t* pixel) { *byte = static_cast<uint8_t>(*pixel >> 24); };
  EXPECT_TRUE(image.ToChannel(alpha, point, rect, +takeAlpha));
  EXPECT_EQ(point, (TPoint{0, 0}));
  EXPECT_EQ(rect, (SRectWH{1, 1, 2, 2}));
  EXPECT_EQ(alpha.GetPixel(1, 1), image.GetPixel(2, 2) >> 24);

  TChannel small;
  EXPECT_FALSE(image.LuminanceToChannel(small));
}

// Every routine refuses an image whose Resize failed, instead of writing through no block.
TEST_F(RegionOps, InvalidImagesAreRefused) {
  SetMemoryRefusals(1);
  TMTC bad(4, 4);
  SetMemoryRefusals(0);
  ASSERT_FALSE(bad.IsValid());
  TMTC good(4, 4);
  good.FillAll(1);
  TChannel channel(4, 4);
  const std::function<bool()> calls[] = {
      [&] {
        SRectWH r{0, 0, 4, 4};
        return bad.FillRect(r, 0);
      },
      [&] {
        return bad.FillRectRaw(SRectWH{0, 0, 4, 4}, 0);
      },
      [&] {
        return bad.ApplyToRectRaw(SRectWH{0, 0, 4, 4}, 0, 255, &BlendColor);
      },
      [&] { return bad.SetAlphaAll(0); },
      [&] { return bad.OrAll(1); },
      [&] { return bad.FlipVerticalAll(); },
      [&] {
        SRectWH r{0, 0, 4, 4};
        return bad.Rotate180(r);
      },
      [&] { return bad.CopyAllFrom(0, 0, good); },
      [&] { return good.CopyAllFrom(0, 0, bad); },
      [&] {
        return bad.CopyFromRaw(good, TPoint{0, 0}, SRectWH{0, 0, 4, 4});
      },
      [&] { return good.DrawTo(bad, 0, 0, 128); },
      [&] { return bad.DrawTo(good, 0, 0, 255); },
      [&] {
        return good.CombineToRaw(bad, TPoint{0, 0}, SRectWH{0, 0, 4, 4}, 1, &AddOp);
      },
      [&] {
        TPoint p{0, 0};
        SRectWH r{0, 0, 4, 4};
        return bad.CombineFrom(good, p, r, 255, 1, &AddOp);
      },
      [&] {
        SRectWH r{0, 0, 4, 4};
        return bad.CombineColorRect(r, 0, 255, 1, &AddOp);
      },
      [&] {
        TPoint p{0, 0};
        SRectWH r{0, 0, 4, 4};
        return ChannelToPixels(bad, channel, p, r);
      },
      [&] { return bad.LuminanceToChannel(channel); },
  };
  for (size_t i = 0; i < std::size(calls); ++i) EXPECT_FALSE(calls[i]()) << "call " << i;
  for (uint32_t p : PixelsOf(good)) EXPECT_EQ(p, 1u);
}

}  // namespace
}  // namespace tf
