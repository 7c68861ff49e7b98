#include "raster/PixelOps.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "raster/Composite.h"
#include "raster/FlatImage.h"
#include "support/TestImages.h"
#include "support/TestRng.h"

namespace tf {
namespace {

using test::Bgra;
using test::ByteOf;

struct TestRng : test::XorShiftRng {
  TestRng() : XorShiftRng(0x243F6A8885A308D3ull) {}
};

class PixelOpsTest : public ::testing::Test {
 protected:
  void SetUp() override { InitCompositeTables(); }
};

// ---- References written from the operators' definitions (branches and integer divisions spelled
// out, table look-ups through the tables themselves) ---------------------------------------------

uint32_t RefPaintOver(uint32_t pixel, uint32_t colour, uint32_t v) {
  if (v == 0) return pixel;
  if (v == 255) return (colour & 0x00FFFFFFu) | 0xFF000000u;
  const uint32_t d = pixel >> 24;
  uint32_t out = pixel;
  if (d == 255) {
    BlendColor(&out, colour, static_cast<int32_t>(v));
    return out;
  }
  const uint32_t na = d + MulTable[v][255 - d];
  BlendColor(&out, colour, static_cast<int32_t>(v * 255 / na));
  return (out & 0x00FFFFFFu) | (na << 24);
}

uint32_t RefMultiplyOver(uint32_t pixel, uint32_t colour, uint32_t w) {
  const int32_t e = static_cast<int32_t>(MulDiv255(colour >> 24, w));
  const int32_t a = static_cast<int32_t>(pixel >> 24);
  const int32_t f = static_cast<int32_t>(MulDiv255(static_cast<uint32_t>(a), static_cast<uint32_t>(e)));
  const int32_t g = a + e - f;
  uint32_t out = (pixel & 0x00FFFFFFu) | (static_cast<uint32_t>(g) << 24);
  if (g > 0) {
    out &= 0xFF000000u;
    for (int i = 0; i < 3; ++i) {
      const int32_t dst = static_cast<int32_t>(ByteOf(pixel, i));
      const int32_t src = static_cast<int32_t>(ByteOf(colour, i));
      int32_t c = (dst * a + src * e - f * (src + dst - static_cast<int32_t>(MulDiv255(dst, src)))) / g;
      c = c < 0 ? 0 : (c > 255 ? 255 : c);
      out |= static_cast<uint32_t>(c) << (8 * i);
    }
  }
  return out;
}

uint32_t RefAddOverOpaque(uint32_t pixel, uint32_t colour, uint32_t w) {
  const uint32_t c = MulTable[colour >> 24][w];
  const uint32_t d = pixel >> 24;
  const uint32_t e = MulTable[d][c];
  if (d + c == e) return pixel;
  uint32_t f = d + c - e;
  if (d != 0 && c != 0) f = 255;
  uint32_t out = f << 24;
  for (int i = 0; i < 3; ++i) {
    uint32_t ch = (ByteOf(pixel, i) * d + ByteOf(colour, i) * c) / f;
    out |= (ch > 255 ? 255 : ch) << (8 * i);
  }
  return out;
}

// ---- Edge cases -----------------------------------------------------------------------------

TEST_F(PixelOpsTest, PaintOverEdgeCases) {
  // Onto a fully transparent pixel at 128: alpha 128, the paint colour exactly.
  uint32_t p = Bgra(1, 2, 3, 0);
  PixelPaintOver(&p, Bgra(200, 100, 50, 7), 128);
  EXPECT_EQ(p, Bgra(200, 100, 50, 128));
  // v = 0 leaves the pixel.
  p = Bgra(9, 8, 7, 100);
  PixelPaintOver(&p, Bgra(200, 100, 50, 255), 0);
  EXPECT_EQ(p, Bgra(9, 8, 7, 100));
  // v = 255: the colour with alpha 255.
  PixelPaintOver(&p, Bgra(200, 100, 50, 3), 255);
  EXPECT_EQ(p, Bgra(200, 100, 50, 255));
  // An opaque pixel takes a plain colour blend by v.
  p = Bgra(0, 0, 0, 255);
  uint32_t expected = p;
  BlendColor(&expected, Bgra(255, 255, 255, 0), 100);
  PixelPaintOver(&p, Bgra(255, 255, 255, 0), 100);
  EXPECT_EQ(p, expected);
  // A fully transparent pixel with v = 0 stays as it is (no division by the zero alpha).
  p = Bgra(5, 6, 7, 0);
  PixelPaintOver(&p, Bgra(200, 100, 50, 255), 0);
  EXPECT_EQ(p, Bgra(5, 6, 7, 0));
}

TEST_F(PixelOpsTest, PaintOverMatchesItsDefinitionForEveryAlphaAndCoverage) {
  TestRng rng;
  for (uint32_t d = 0; d < 256; ++d) {
    for (uint32_t v = 0; v < 256; ++v) {
      const uint32_t pixel = (rng.Next() & 0x00FFFFFFu) | (d << 24);
      const uint32_t colour = rng.Next();
      uint32_t p = pixel;
      PixelPaintOver(&p, colour, static_cast<int32_t>(v));
      ASSERT_EQ(p, RefPaintOver(pixel, colour, v)) << "d=" << d << " v=" << v;
      // The source-alpha form uses MulTable[w][colour alpha] as coverage.
      p = pixel;
      PixelPaintOverSourceAlpha(&p, colour, static_cast<int32_t>(v));
      ASSERT_EQ(p, RefPaintOver(pixel, colour, MulTable[v][colour >> 24]));
    }
  }
}

TEST_F(PixelOpsTest, MultiplyOverMatchesItsDefinitionForEveryAlphaPair) {
  TestRng rng;
  for (uint32_t a = 0; a < 256; ++a) {
    for (uint32_t ca = 0; ca < 256; ++ca) {
      const uint32_t pixel = (rng.Next() & 0x00FFFFFFu) | (a << 24);
      const uint32_t colour = (rng.Next() & 0x00FFFFFFu) | (ca << 24);
      const uint32_t w = (ca * 7 + a) & 0xFFu;
      uint32_t p = pixel;
      PixelMultiplyOver(&p, colour, static_cast<int32_t>(w));
      ASSERT_EQ(p, RefMultiplyOver(pixel, colour, w)) << "a=" << a << " ca=" << ca;
      p = pixel;
      PixelMultiplyOver(&p, colour, 255);
      ASSERT_EQ(p, RefMultiplyOver(pixel, colour, 255));
    }
  }
}

TEST_F(PixelOpsTest, AddOverOpaqueMatchesItsDefinitionForEveryAlphaPair) {
  TestRng rng;
  for (uint32_t d = 0; d < 256; ++d) {
    for (uint32_t ca = 0; ca < 256; ++ca) {
      const uint32_t pixel = (rng.Next() & 0x00FFFFFFu) | (d << 24);
      const uint32_t colour = (rng.Next() & 0x00FFFFFFu) | (ca << 24);
      for (uint32_t w : {255u, 128u, 1u}) {
        uint32_t p = pixel;
        PixelAddOverOpaque(&p, colour, static_cast<int32_t>(w));
        ASSERT_EQ(p, RefAddOverOpaque(pixel, colour, w)) << "d=" << d << " ca=" << ca << " w=" << w;
      }
    }
  }
}

TEST_F(PixelOpsTest, AddOverOpaqueEdgeCases) {
  // A pixel with alpha 1 ends opaque.
  uint32_t p = Bgra(10, 20, 30, 1);
  PixelAddOverOpaque(&p, Bgra(100, 100, 100, 255), 255);
  EXPECT_EQ(ByteOf(p, 3), 255u);
  // Two transparent sides: nothing changes.
  p = Bgra(10, 20, 30, 0);
  PixelAddOverOpaque(&p, Bgra(100, 100, 100, 0), 255);
  EXPECT_EQ(p, Bgra(10, 20, 30, 0));
  // Onto a transparent pixel: the source colour at its effective alpha.
  PixelAddOverOpaque(&p, Bgra(100, 150, 200, 128), 255);
  EXPECT_EQ(p, Bgra(100, 150, 200, 128));
}

TEST_F(PixelOpsTest, EraseAlpha) {
  uint32_t p = Bgra(10, 20, 30, 200);
  PixelEraseAlpha(&p, 0xFFFFFFFFu, 255);
  EXPECT_EQ(p, Bgra(10, 20, 30, 0));  // colour bytes kept
  p = Bgra(10, 20, 30, 200);
  PixelEraseAlpha(&p, 0, 0);
  EXPECT_EQ(p, Bgra(10, 20, 30, 200));
  PixelEraseAlpha(&p, 0, 128);
  EXPECT_EQ(ByteOf(p, 3), 200u - MulTable[200][128]);
}

TEST_F(PixelOpsTest, LerpARGB) {
  // The alpha moves toward the colour's; the colour blends by w.
  uint32_t p = Bgra(0, 0, 0, 0);
  PixelLerpARGB(&p, Bgra(255, 255, 255, 255), 128);
  EXPECT_EQ(p, Bgra(128, 128, 128, 128));
  // A new alpha of 0 leaves the colour bytes.
  p = Bgra(10, 20, 30, 0);
  PixelLerpARGB(&p, Bgra(255, 255, 255, 0), 200);
  EXPECT_EQ(p, Bgra(10, 20, 30, 0));
  p = Bgra(10, 20, 30, 100);
  PixelLerpARGB(&p, Bgra(250, 240, 230, 0), 255);
  EXPECT_EQ(p, Bgra(10, 20, 30, 0));
  p = Bgra(10, 20, 30, 100);
  PixelLerpARGB(&p, Bgra(250, 240, 230, 50), 255);
  EXPECT_EQ(p, Bgra(250, 240, 230, 50));
}

TEST_F(PixelOpsTest, SourceAlphaForms) {
  TestRng rng;
  for (int i = 0; i < 20000; ++i) {
    const uint32_t pixel = rng.Next();
    const uint32_t colour = rng.Next();
    const uint32_t w = rng.Next() & 0xFFu;
    const uint32_t a = w * (colour >> 24) / 255;
    uint32_t p = pixel, q = pixel;
    PixelBlendSourceAlpha(&p, colour, static_cast<int32_t>(w));
    BlendColor(&q, colour, static_cast<int32_t>(a));
    ASSERT_EQ(p, q);
    p = q = pixel;
    PixelMultiplySourceAlpha(&p, colour, static_cast<int32_t>(w));
    MultiplyOp(&q, colour, static_cast<int32_t>(a));
    ASSERT_EQ(p, q);
    p = q = pixel;
    PixelAddSourceAlpha(&p, colour, static_cast<int32_t>(w));
    AddOp(&q, colour, static_cast<int32_t>(a));
    ASSERT_EQ(p, q);
    p = q = pixel;
    PixelSubtractSourceAlpha(&p, colour, static_cast<int32_t>(w));
    SubtractOp(&q, colour, static_cast<int32_t>(a));
    ASSERT_EQ(p, q);
  }
}

TEST_F(PixelOpsTest, Div255IsExactForByteProducts) {
  for (uint32_t x = 0; x <= 65025; ++x) ASSERT_EQ(pixel_detail::Div255(x), x / 255) << x;
}

// The source-alpha forms of multiply, add and subtract compute the tables' entries as quotients:
// every entry agrees (the composed operations are compared in SourceAlphaForms).
TEST_F(PixelOpsTest, TableEntriesAreTheQuotientsTheOperatorsCompute) {
  for (uint32_t i = 0; i < 256; ++i) {
    for (uint32_t j = 0; j < 256; ++j) {
      ASSERT_EQ(MulTable[i][j], pixel_detail::Div255(i * j));
      ASSERT_EQ(InvMulTable[i][j], 255u - pixel_detail::Div255(i * (255u - j)));
    }
  }
}

// The float quotient used in the pixel loops equals integer division wherever it is used
// (numerators below 2^24): checked on both sides of every multiple up to 2^17, and at random
// up to 2^24.
TEST_F(PixelOpsTest, FloatQuotientIsExactIntegerDivision) {
  for (uint32_t d = 1; d < 65536; d = d < 300 ? d + 1 : d * 3 + 1) {
    for (uint32_t k = 0; k * d < (1u << 17); ++k) {
      const uint32_t n = k * d;
      ASSERT_EQ(pixel_detail::DivFloor(n, d), k);
      if (n > 0) {
        ASSERT_EQ(pixel_detail::DivFloor(n - 1, d), k - 1);
      }
    }
  }
  TestRng rng;
  for (int i = 0; i < 200000; ++i) {
    const uint32_t n = rng.Next() & 0xFFFFFFu;
    const uint32_t d = (rng.Next() % 65025u) + 1;
    ASSERT_EQ(pixel_detail::DivFloor(n, d), n / d) << n << "/" << d;
  }
}

// ---- Rectangle adapters -----------------------------------------------------------------------

TEST_F(PixelOpsTest, AdaptersApplyTheirOperationOverTheClippedRectangle) {
  struct Case {
    OldCompositeRoutine routine;
    PixelOp op;
  };
  const Case cases[] = {{OldCompositeSourceAlpha, PixelBlendSourceAlpha},
                        {OldCompositeMultiply, MultiplyOp},
                        {OldCompositeAdd, AddOp},
                        {OldCompositeSubtract, SubtractOp}};
  TestRng rng;
  TMTC source(6, 5), dest(8, 8);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 6; ++x) *source.Pixel(x, y) = rng.Next();
  for (const Case& c : cases) {
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x) *dest.Pixel(x, y) = rng.Next();
    TMTC before(dest);
    // Source (1, 1, 5, 4) to (5, 6): clipped to 3 x 2 at the destination's corner.
    EXPECT_TRUE(c.routine(dest, source, 1, 1, 5, 4, 5, 6, 77));
    for (int y = 0; y < 8; ++y) {
      for (int x = 0; x < 8; ++x) {
        uint32_t expected = before.GetPixel(x, y);
        if (x >= 5 && y >= 6) c.op(&expected, source.GetPixel(x - 4, y - 5), 77);
        ASSERT_EQ(dest.GetPixel(x, y), expected) << x << "," << y;
      }
    }
    // Weight 0 does nothing; a rectangle outside does nothing.
    TMTC again(dest);
    EXPECT_FALSE(c.routine(dest, source, 0, 0, 6, 5, 0, 0, 0));
    EXPECT_FALSE(c.routine(dest, source, 0, 0, 6, 5, 8, 0, 255));
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x) ASSERT_EQ(dest.GetPixel(x, y), again.GetPixel(x, y));
  }
}

}  // namespace
}  // namespace tf
