#include "raster/Composite.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "raster/Geometry.h"
#include "support/TestImages.h"
#include "support/TestRng.h"

namespace tf {
namespace {

using test::Bgra;
using test::ByteOf;

class CompositeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitCompositeTables();
    ResetRandomThreshold();
  }
  void TearDown() override { ResetRandomThreshold(); }
};

// Sample data: this suite's seed.
struct TestRng : test::XorShiftRng {
  TestRng() : XorShiftRng(0x9E3779B97F4A7C15ull) {}
};

// ---- Tables -------------------------------------------------------------------

TEST_F(CompositeTest, TablesHoldTheirFormulas) {
  for (int i = 0; i < 256; ++i) {
    for (int j = 0; j < 256; ++j) {
      ASSERT_EQ(MulTable[i][j], i * j / 255) << i << "," << j;
      ASSERT_EQ(InvMulTable[i][j], 255 - i * (255 - j) / 255) << i << "," << j;
    }
  }
  // Half differences: d from -128 to 127 as its two's-complement byte, the entry
  // (2*i*d)/255 truncated toward zero, kept mod 256.
  for (int i = 0; i < 256; ++i) {
    for (int d = -128; d < 128; ++d) {
      const int magnitude = 2 * i * std::abs(d) / 255;
      const int expected = d < 0 ? -magnitude : magnitude;
      ASSERT_EQ(HalfDiffTable[i][d & 255], static_cast<uint8_t>(expected & 255)) << i << "," << d;
    }
  }
}

TEST_F(CompositeTest, TableCornersAndTruncationTowardZero) {
  EXPECT_EQ(MulTable[255][255], 255);
  EXPECT_EQ(MulTable[254][255], 254);
  EXPECT_EQ(MulTable[1][254], 0);
  for (int j = 0; j < 256; ++j) {
    EXPECT_EQ(InvMulTable[255][j], j);  // full opacity gives the colour
    EXPECT_EQ(InvMulTable[0][j], 255);  // none gives white
  }
  EXPECT_EQ(HalfDiffTable[128][127], 127);
  // -25600/255 = -100.39: toward zero is -100 (0x9C), not the floor -101.
  EXPECT_EQ(HalfDiffTable[100][0x80], 0x9C);
  // Row 255 doubles beyond a signed byte: 2*127 = 254 is stored as 0xFE.
  EXPECT_EQ(HalfDiffTable[255][127], 0xFE);
  EXPECT_EQ(HalfDiffTable[0][0x80], 0);
}

TEST_F(CompositeTest, TablesRebuildToTheSameContents) {
  std::vector<uint8_t> mul(&MulTable[0][0], &MulTable[0][0] + 65536);
  std::vector<uint8_t> inv(&InvMulTable[0][0], &InvMulTable[0][0] + 65536);
  std::vector<uint8_t> half(&HalfDiffTable[0][0], &HalfDiffTable[0][0] + 65536);
  std::memset(MulTable, 0, sizeof MulTable);
  std::memset(InvMulTable, 0, sizeof InvMulTable);
  std::memset(HalfDiffTable, 0, sizeof HalfDiffTable);
  BuildBlendTables();
  BuildHalfDiffTable();
  EXPECT_EQ(0, std::memcmp(mul.data(), MulTable, 65536));
  EXPECT_EQ(0, std::memcmp(inv.data(), InvMulTable, 65536));
  EXPECT_EQ(0, std::memcmp(half.data(), HalfDiffTable, 65536));
  InitCompositeTables();  // already built: nothing changes
  EXPECT_EQ(0, std::memcmp(mul.data(), MulTable, 65536));
}

// ---- Arithmetic -----------------------------------------------------------------

TEST_F(CompositeTest, MulDiv255IsExactDivisionForEveryBytePair) {
  for (uint32_t x = 0; x < 256; ++x)
    for (uint32_t y = 0; y < 256; ++y) ASSERT_EQ(MulDiv255(x, y), x * y / 255) << x << "," << y;
  EXPECT_EQ(MulDiv255(255, 255), 255u);
  EXPECT_EQ(MulDiv255(254, 255), 254u);
  EXPECT_EQ(MulDiv255(1, 254), 0u);
}

TEST_F(CompositeTest, LerpByteIsExactWeightedAverage) {
  for (uint32_t w = 0; w < 256; ++w)
    for (uint32_t a = 0; a < 256; ++a)
      for (uint32_t b = 0; b < 256; b += 3)
        ASSERT_EQ(LerpByte(a, b, w), (a * w + b * (255 - w)) / 255) << a << "," << b << "," << w;
  uint8_t v = 10;
  BlendByte(v, 250, 255);
  EXPECT_EQ(v, 250);
  BlendByte(v, 0, 0);
  EXPECT_EQ(v, 250);
  BlendByte(v, 0, 128);
  EXPECT_EQ(v, 250 * 127 / 255);
}

// ---- Pixel operations ---------------------------------------------------------------

TEST_F(CompositeTest, BlendColorCases) {
  struct Case {
    uint32_t pixel, colour;
    int32_t alpha;
    uint32_t expected;
  } cases[] = {
      {0x80000000u, 0x00FFFFFFu, 128, 0x80808080u},  // (255*128*32897) >> 23 = 128, alpha kept
      {0x12345678u, 0xFFABCDEFu, 0, 0x12345678u},    // nothing
      {0x12345678u, 0xFFABCDEFu, 256, 0x12345678u},  // only the low byte counts: 256 acts as 0
      {0x12345678u, 0x00ABCDEFu, 255, 0x12ABCDEFu},  // copies B, G, R, keeps the pixel's alpha
      {0x12345678u, 0x00ABCDEFu, 511, 0x12ABCDEFu},  // low byte 255
      {0x12345678u, 0x00ABCDEFu, -1, 0x12ABCDEFu},   // low byte 255
  };
  for (const Case& c : cases) {
    uint32_t p = c.pixel;
    BlendColor(&p, c.colour, c.alpha);
    EXPECT_EQ(p, c.expected) << std::hex << c.pixel << " " << c.colour << " " << std::dec << c.alpha;
  }
}

// The branch-free form against the defining formula, every (alpha, colour, pixel)
// byte triple, with different values in each channel.
TEST_F(CompositeTest, BlendColorEqualsTheFormulaForEveryByteTriple) {
  for (uint32_t a = 0; a < 256; ++a) {
    for (uint32_t c = 0; c < 256; ++c) {
      for (uint32_t p = 0; p < 256; ++p) {
        const uint32_t colour = Bgra(c, 255 - c, p, a), pixel = Bgra(p, c, 255 - p, 0x5A);
        uint32_t got = pixel;
        BlendColor(&got, colour, static_cast<int32_t>(a));
        uint32_t want = pixel;
        if (a == 255) {
          want = (pixel & 0xFF000000u) | (colour & 0x00FFFFFFu);
        } else if (a != 0) {
          want = pixel & 0xFF000000u;
          for (int i = 0; i < 3; ++i)
            want |= ((ByteOf(colour, i) * a * 32897 + ByteOf(pixel, i) * (8388735 - a * 32897)) >> 23) << (8 * i);
        }
        if (got != want) {
          ASSERT_EQ(got, want) << a << " " << c << " " << p;
        }
      }
    }
  }
}

TEST_F(CompositeTest, BlendColorMatchesExactAverageOnSamples) {
  TestRng rng;
  for (int n = 0; n < 200000; ++n) {
    const uint32_t pixel = rng.Next(), colour = rng.Next(), alpha = rng.Next() & 0xFF;
    uint32_t p = pixel;
    BlendColor(&p, colour, static_cast<int32_t>(alpha));
    for (int i = 0; i < 3; ++i)
      ASSERT_EQ(ByteOf(p, i), (ByteOf(colour, i) * alpha + ByteOf(pixel, i) * (255 - alpha)) / 255);
    ASSERT_EQ(ByteOf(p, 3), ByteOf(pixel, 3));
  }
}

TEST_F(CompositeTest, MultiplyAddSubtractPerChannelKeepAlpha) {
  TestRng rng;
  for (int n = 0; n < 100000; ++n) {
    const uint32_t pixel = rng.Next(), colour = rng.Next(), alpha = rng.Next() & 0xFF;
    uint32_t mul = pixel, add = pixel, sub = pixel;
    MultiplyOp(&mul, colour, static_cast<int32_t>(alpha));
    AddOp(&add, colour, static_cast<int32_t>(alpha));
    SubtractOp(&sub, colour, static_cast<int32_t>(alpha));
    for (int i = 0; i < 3; ++i) {
      const int p = static_cast<int>(ByteOf(pixel, i)), c = static_cast<int>(ByteOf(colour, i));
      const int a = static_cast<int>(alpha);
      const int towardWhite = 255 - a * (255 - c) / 255;
      ASSERT_EQ(static_cast<int>(ByteOf(mul, i)), p * towardWhite / 255);
      ASSERT_EQ(static_cast<int>(ByteOf(add, i)), std::min(255, p + a * c / 255));
      ASSERT_EQ(static_cast<int>(ByteOf(sub, i)), std::max(0, p - a * c / 255));
    }
    ASSERT_EQ(ByteOf(mul, 3), ByteOf(pixel, 3));
    ASSERT_EQ(ByteOf(add, 3), ByteOf(pixel, 3));
    ASSERT_EQ(ByteOf(sub, 3), ByteOf(pixel, 3));
  }
}

TEST_F(CompositeTest, MultiplyAddSubtractEdgeCases) {
  uint32_t p = 0x7F102030u;
  MultiplyOp(&p, 0x00000000u, 0);  // opacity 0: InvMulTable row 0 is white, p*255/255 = p
  EXPECT_EQ(p, 0x7F102030u);
  MultiplyOp(&p, 0x00000000u, 255);  // full black multiplies to black
  EXPECT_EQ(p, 0x7F000000u);

  uint32_t a = Bgra(250, 250, 250, 9);
  AddOp(&a, Bgra(10, 5, 0, 0), 255);
  EXPECT_EQ(a, Bgra(255, 255, 250, 9));  // 250 + 10 saturates
  uint32_t s = Bgra(5, 20, 0, 9);
  SubtractOp(&s, Bgra(10, 5, 0, 0), 255);
  EXPECT_EQ(s, Bgra(0, 15, 0, 9));

  uint32_t set = 0x11223344u;
  SetPixelOp(&set, 0xAABBCCDDu, 0);
  EXPECT_EQ(set, 0xAABBCCDDu);  // all four bytes
}

TEST_F(CompositeTest, BlendColorFastApproximatesTheExactBlend) {
  // alpha 0 and 255 are exact.
  uint32_t p = 0x40102030u;
  BlendColorFast(&p, 0xFFFFFFFFu, 0);
  EXPECT_EQ(p, 0x40102030u);
  BlendColorFast(&p, 0x00ABCDEFu, 255);
  EXPECT_EQ(p, 0x40ABCDEFu);
  // Otherwise one table lookup per byte; within 2 of p + alpha*(c - p)/255.
  for (int alpha = 1; alpha < 255; alpha += 7) {
    for (int pc = 0; pc < 256; ++pc) {
      for (int cc = 0; cc < 256; ++cc) {
        uint32_t px = Bgra(static_cast<uint32_t>(pc), 0, 0, 0x55);
        BlendColorFast(&px, Bgra(static_cast<uint32_t>(cc), 0, 0, 0), alpha);
        const double exact = pc + alpha * (cc - pc) / 255.0;
        ASSERT_NEAR(static_cast<double>(ByteOf(px, 0)), exact, 2.0) << pc << " " << cc << " " << alpha;
        ASSERT_EQ(ByteOf(px, 3), 0x55u);
      }
    }
  }
}

TEST_F(CompositeTest, ByteOperations) {
  uint8_t b = 0;
  BlendByteFast(&b, 255, 128);  // half difference 127, (2*128*127)/255 = 127
  EXPECT_EQ(b, 127);
  b = 200;
  BlendByteFast(&b, 0, 0);
  EXPECT_EQ(b, 200);
  BlendByteFast(&b, 3, 255);
  EXPECT_EQ(b, 3);
  b = 255;
  // Half difference -127; (2*254*-127)/255 = -253 is stored as 3; 255 + 3 wraps to 2
  // (exact blend: 1).
  BlendByteFast(&b, 0, 254);
  EXPECT_EQ(b, 2);

  uint8_t x = 7;
  SetByteOp(&x, 99);
  EXPECT_EQ(x, 99);
  MaxByteOp(&x, 50);
  EXPECT_EQ(x, 99);
  MaxByteOp(&x, 150);
  EXPECT_EQ(x, 150);
  MulByteOp(&x, 255);
  EXPECT_EQ(x, 150);
  MulByteOp(&x, 128);
  EXPECT_EQ(x, 150 * 128 / 255);
  MulByteOp(&x, 0);
  EXPECT_EQ(x, 0);
}

TEST_F(CompositeTest, FunctorWrappersCallTheSameOperations) {
  TestRng rng;
  const PixelOpFn<BlendColor> blend;
  const PixelOpFn<MultiplyOp> multiply;
  const ByteOpFn<MulByteOp> mulByte;
  for (int n = 0; n < 1000; ++n) {
    const uint32_t pixel = rng.Next(), colour = rng.Next();
    const int32_t alpha = static_cast<int32_t>(rng.Next() & 0xFF);
    uint32_t a = pixel, b = pixel, c = pixel, d = pixel;
    blend(&a, colour, alpha);
    BlendColor(&b, colour, alpha);
    multiply(&c, colour, alpha);
    PixelOp op = MultiplyOp;
    op(&d, colour, alpha);
    ASSERT_EQ(a, b);
    ASSERT_EQ(c, d);
    uint8_t x = static_cast<uint8_t>(pixel), y = x;
    mulByte(&x, static_cast<uint8_t>(colour));
    MulByteOp(&y, static_cast<uint8_t>(colour));
    ASSERT_EQ(x, y);
  }
}

// ---- Dissolve -------------------------------------------------------------------

TEST_F(CompositeTest, RandomThresholdZeroNeverApplies) {
  SRandom r;
  RandomInit(r, 12345, 0, 256);
  SetRandomThreshold(SetPixelOp, r, 0);
  for (int n = 0; n < 1000; ++n) {
    uint32_t p = 0x11111111u;
    RandomThresholdOp(&p, 0xFFFFFFFFu, 255);
    ASSERT_EQ(p, 0x11111111u);
  }
  EXPECT_EQ(DissolveRandomState().draws, 1000);  // every call draws
}

TEST_F(CompositeTest, RandomThresholdFollowsTheStoredSequence) {
  SRandom r;
  RandomInit(r, 777, 0, 256);
  const SRandom original = r;
  SetRandomThreshold(SetPixelOp, r, 200);
  // Expected pattern: a draw below MulDiv255(200, source alpha) applies the operation.
  SRandom model = original;
  int applied = 0;
  for (int n = 0; n < 4000; ++n) {
    const uint32_t alpha = static_cast<uint32_t>(n) & 0xFF;
    const uint32_t colour = (alpha << 24) | 0x00ABCDEFu;
    uint32_t p = 0x01020304u;
    RandomThresholdOp(&p, colour, 99);
    const uint32_t draw = static_cast<uint32_t>(RandomDraw(model));
    const bool expect = draw < 200 * alpha / 255;
    ASSERT_EQ(p, expect ? colour : 0x01020304u) << n;
    applied += expect;
  }
  EXPECT_GT(applied, 1000);
  EXPECT_EQ(r, original);  // the caller's record is copied, not advanced
  EXPECT_EQ(DissolveRandomState(), model);

  // The same record gives the same pattern again.
  SetRandomThreshold(SetPixelOp, original, 200);
  SRandom again = original;
  for (int n = 0; n < 100; ++n) {
    uint32_t p = 0;
    RandomThresholdOp(&p, 0xFF000001u, 0);
    ASSERT_EQ(p != 0, static_cast<uint32_t>(RandomDraw(again)) < 200u);
  }
}

TEST_F(CompositeTest, RandomThresholdWithoutOperationWritesNothing) {
  SRandom r;
  RandomInit(r, 1, 0, 256);
  SetRandomThreshold(nullptr, r, 255);
  uint32_t p = 0x12345678u;
  for (int n = 0; n < 100; ++n) RandomThresholdOp(&p, 0xFFFFFFFFu, 255);
  EXPECT_EQ(p, 0x12345678u);
}

// ---- CompositePixel ----------------------------------------------------------------

TEST_F(CompositeTest, ReciprocalDivisionIsExact) {
  for (uint32_t d = 1; d < 256; ++d)
    for (uint32_t v = 0; v <= 65025; ++v)
      if (composite_detail::DivideSmall(v, d) != v / d) {
        ASSERT_EQ(composite_detail::DivideSmall(v, d), v / d) << v << "/" << d;
      }
}

// Routines in the blend modes' shape: accumulate colour weighted by alpha.
void AccumulateOver(uint32_t* acc, uint32_t colour, int32_t alpha) { BlendColor(acc, colour, alpha); }
void Nothing(uint32_t*, uint32_t, int32_t) {}

// Independent model of the compositing step for the BlendColor/BlendColor pair.
uint32_t ModelNormal(uint32_t pixel, uint32_t source, uint32_t opacity) {
  const uint32_t e = (source >> 24) * opacity / 255;
  const uint32_t a = pixel >> 24;
  const uint32_t out = a + e - a * e / 255;
  if (out == 0) return pixel & 0x00FFFFFFu;
  uint32_t result = out << 24;
  for (int i = 0; i < 3; ++i) {
    const uint32_t d = ByteOf(pixel, i), s = ByteOf(source, i);
    const uint32_t weightedDest = (d * a) / 255;                    // start colour 0
    const uint32_t acc = (s * e + weightedDest * (255 - e)) / 255;  // source over it
    result |= std::min(255u, acc * 255 / out) << (8 * i);
  }
  return result;
}

TEST_F(CompositeTest, CompositePixelOverTransparentGivesSource) {
  const SCompositeOps ops{0, 0, {}, AccumulateOver, AccumulateOver};
  uint32_t p = 0x00000000u;
  CompositePixel(&p, 0xFF336699u, 255, ops);
  EXPECT_EQ(p, 0xFF336699u);
}

TEST_F(CompositeTest, CompositePixelMatchesModel) {
  const SCompositeOps ops{0, 0, {}, AccumulateOver, AccumulateOver};
  TestRng rng;
  for (int n = 0; n < 200000; ++n) {
    const uint32_t pixel = rng.Next(), source = rng.Next(), opacity = rng.Next() & 0xFF;
    uint32_t p = pixel;
    CompositePixel(&p, source, static_cast<int32_t>(opacity), ops);
    ASSERT_EQ(p, ModelNormal(pixel, source, opacity)) << std::hex << pixel << " " << source << " " << opacity;
    // The template form with functors gives the same pixel.
    uint32_t q = pixel;
    CompositePixelWith(&q, source, static_cast<int32_t>(opacity), 0, 0, PixelOpFn<BlendColor>{},
                       PixelOpFn<BlendColor>{});
    ASSERT_EQ(q, p);
  }
}

TEST_F(CompositeTest, CompositePixelZeroAlphaFlag) {
  // Source alpha 0 (or opacity 0) with 0x40: pixel untouched.
  SCompositeOps skip{0, kCompositeSkipZeroAlpha, {}, AccumulateOver, AccumulateOver};
  uint32_t p = Bgra(10, 20, 201, 100);
  CompositePixel(&p, 0x00FFFFFFu, 255, skip);
  EXPECT_EQ(p, Bgra(10, 20, 201, 100));
  CompositePixel(&p, 0xFFFFFFFFu, 0, skip);
  EXPECT_EQ(p, Bgra(10, 20, 201, 100));

  // Without it the alpha byte is rewritten to its old value and the colour recomputed
  // through the routines: 201*100/255 = 78, 78*255/100 = 198.
  SCompositeOps plain{0, 0, {}, AccumulateOver, AccumulateOver};
  CompositePixel(&p, 0x00FFFFFFu, 255, plain);
  EXPECT_EQ(p, Bgra(10 * 100 / 255 * 255 / 100, 20 * 100 / 255 * 255 / 100, 198, 100));
}

TEST_F(CompositeTest, CompositePixelTransparentResultKeepsColour) {
  const SCompositeOps ops{0, 0, {}, AccumulateOver, AccumulateOver};
  uint32_t p = 0x00123456u;
  CompositePixel(&p, 0x00FFFFFFu, 255, ops);  // out alpha 0: colour untouched
  EXPECT_EQ(p, 0x00123456u);
}

TEST_F(CompositeTest, CompositePixelStartColourAndSourceStart) {
  // Start colour reaches the result divided back by out alpha (clamped to a byte).
  const SCompositeOps start{0x00402010u, 0, {}, Nothing, Nothing};
  uint32_t p = 0xFF000000u;
  CompositePixel(&p, 0xFF000000u, 255, start);
  EXPECT_EQ(p, 0xFF402010u);
  // 0x08 starts from the source colour instead.
  const SCompositeOps fromSource{0x00402010u, kCompositeStartFromSource, {}, Nothing, Nothing};
  p = 0xFF000000u;
  CompositePixel(&p, 0xFF0A0B0Cu, 255, fromSource);
  EXPECT_EQ(p, 0xFF0A0B0Cu);
  // Alpha 128 over nothing: out 128, colour bytes * 255 / 128, clamped.
  p = 0x00000000u;
  CompositePixel(&p, 0x80FF4020u, 255, fromSource);
  EXPECT_EQ(p, Bgra(std::min(255u, 0x20u * 255 / 128), std::min(255u, 0x40u * 255 / 128), 255, 128));
}

TEST_F(CompositeTest, CompositePixelOpacityScalesSourceAlpha) {
  // Routines that record the weights they receive.
  static int32_t seenDest, seenSource;
  auto dest = [](uint32_t*, uint32_t, int32_t a) { seenDest = a; };
  auto src = [](uint32_t*, uint32_t, int32_t a) { seenSource = a; };
  const SCompositeOps ops{0, 0, {}, +dest, +src};
  uint32_t p = Bgra(0, 0, 0, 77);
  CompositePixel(&p, 0xC8000000u, 128, ops);  // e = 200*128/255 = 100
  EXPECT_EQ(seenDest, 77);
  EXPECT_EQ(seenSource, 100);
  EXPECT_EQ(ByteOf(p, 3), 77u + 100u - 77u * 100u / 255u);
}

// An opacity outside 0..255 (a damaged layer record, say) must not take the effective alpha
// or the result alpha past a byte: the division by the result alpha reads a 256-entry table.
TEST_F(CompositeTest, CompositePixelOpacityOutOfRangeStaysInAByte) {
  const SCompositeOps ops{0, 0, {}, AccumulateOver, AccumulateOver};
  for (int32_t opacity : {256, 300, 1000, -1, INT32_MIN, INT32_MAX}) {
    for (uint32_t pixel : {0x00000000u, 0x80406080u, 0xFF102030u}) {
      uint32_t p = pixel;
      CompositePixel(&p, 0xFFC08040u, opacity, ops);
      // Held to 0..255: above acts as 255, below as 0.
      uint32_t held = pixel;
      CompositePixel(&held, 0xFFC08040u, opacity < 0 ? 0 : 255, ops);
      EXPECT_EQ(p, held) << opacity << " " << std::hex << pixel;
    }
  }
}

}  // namespace
}  // namespace tf
