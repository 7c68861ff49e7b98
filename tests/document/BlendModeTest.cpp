#include "document/BlendMode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "document/BlendFunctions.h"
#include "document/BlendRows.h"
#include "platform/AddressSpace.h"
#include "raster/BlockVMTC.h"
#include "raster/Composite.h"
#include "raster/FlatImage.h"
#include "raster/PixelOpDispatch.h"
#include "raster/RegionOps.h"
#include "support/TestImages.h"
#include "support/TestRng.h"

namespace tf {
namespace {

using test::Bgra;
using test::ByteOf;

struct TestRng : test::XorShiftRng {
  TestRng() : XorShiftRng(0x13198A2E03707344ull) {}
  // Alphas biased to the ends, where the formulas branch.
  uint32_t Pixel() {
    const uint32_t v = Next();
    const uint32_t pick = Next() & 7u;
    const uint32_t a = pick == 0 ? 0u : (pick == 1 ? 255u : (pick == 2 ? 1u : ByteOf(Next(), 1)));
    return (v & 0x00FFFFFFu) | (a << 24);
  }
};

class BlendModeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitCompositeTables();
    ResetRandomThreshold();
    LoadBlendModeNames();
  }
  void TearDown() override {
    ResetRandomThreshold();
    row_detail::ForceBaselineRows(false);
  }
};

// ---- The table ----------------------------------------------------------------------------------

TEST_F(BlendModeTest, TableHoldsEveryModesConstants) {
  struct Row {
    const char* name;
    uint8_t blendMode;
    uint32_t neutral, start;
    int32_t flags;
  };
  const Row rows[kBlendModeCount] = {
      {"乗算", bmMultiple, 0xFFFFFF, 0xFFFFFF, 0x20},
      {"加算", bmDodgeLinear, 0x000000, 0x000000, 0x20},
      {"減算", bmBurnLinearNega, 0x000000, 0xFFFFFF, 0x21},
      {"標準", bmStandard, 0xFFFFFF, 0x000000, 0x00},
      {"スクリーン", bmScreen, 0x000000, 0x000000, 0x22},
      {"オーバーレイ", bmOverlay, 0x7F7F7F, 0x7F7F7F, 0x26},
      {"ハードライト", bmHardlight, 0x7F7F7F, 0x7F7F7F, 0x26},
      {"ソフトライト", bmSoftlight, 0x7F7F7F, 0x7F7F7F, 0x26},
      {"差の絶対値", bmDifference, 0x000000, 0x000000, 0x22},
      {"除外", bmExclusion, 0x000000, 0x000000, 0x22},
      {"比較(暗)", bmDarken, 0xFFFFFF, 0xFFFFFF, 0x22},
      {"比較(明)", bmLighten, 0x000000, 0x000000, 0x22},
      {"焼き込み", bmBurn, 0xFFFFFF, 0xFFFFFF, 0x22},
      {"覆い焼き", bmDodge, 0x000000, 0x000000, 0x22},
      {"色相", bmHue, 0x000000, 0xFFFFFF, 0x1A},
      {"彩度", bmSaturation, 0x000000, 0xFFFFFF, 0x1A},
      {"カラー", bmColor, 0x000000, 0xFFFFFF, 0x1A},
      {"輝度", bmLuminosity, 0x000000, 0xFFFFFF, 0x1A},
      {"減算(ネガ)", bmBurnLinear, 0xFFFFFF, 0xFFFFFF, 0x20},
      {"リニアライト", bmLinearlight, 0x7F7F7F, 0x7F7F7F, 0x26},
      {"ビビッドライト", bmVividlight, 0xFFFFFF, 0xFFFFFF, 0x02},
      {"ピンライト", bmPinlight, 0x7F7F7F, 0x7F7F7F, 0x26},
  };
  for (int32_t id = 0; id < kBlendModeCount; ++id) {
    SCOPED_TRACE(id);
    const SLayerParam* e = GetBlendModeEntry(static_cast<uint32_t>(id));
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->id, id);
    EXPECT_STREQ(e->name, rows[id].name);
    EXPECT_EQ(e->neutralColor, rows[id].neutral);
    EXPECT_EQ(GetBlendModeNeutralColor(static_cast<uint32_t>(id)), rows[id].neutral);
    EXPECT_EQ(e->startColor, rows[id].start);
    EXPECT_EQ(e->flags, rows[id].flags);
    EXPECT_EQ(LayerModeToBlendMode(static_cast<uint32_t>(id)), rows[id].blendMode);
    EXPECT_EQ(BlendModeToLayerMode(rows[id].blendMode), id);
    EXPECT_EQ(BlendModeName(rows[id].blendMode), rows[id].name);
    std::string name;
    EXPECT_TRUE(GetBlendModeName(id, name));
    EXPECT_EQ(name, rows[id].name);
    ASSERT_NE(e->sourceAlpha, nullptr);
    ASSERT_NE(e->weighted, nullptr);
    ASSERT_NE(e->sourceAlphaRows.pixels, nullptr);
    ASSERT_NE(e->sourceAlphaRows.colour, nullptr);
    ASSERT_NE(e->weightedRows, nullptr);
  }
  EXPECT_EQ(kNewLayerMode, 3);
}

TEST_F(BlendModeTest, LookupsMaskTheHighBitAndRefuseModesAbove21) {
  EXPECT_EQ(GetBlendModeEntry(0x83), GetBlendModeEntry(3));
  EXPECT_EQ(GetBlendModeEntry(22), nullptr);
  EXPECT_EQ(GetBlendModeEntry(0x7F), nullptr);
  EXPECT_EQ(GetBlendModeNeutralColor(0x80), 0xFFFFFFu);
  std::string name = "x";
  EXPECT_FALSE(GetBlendModeName(22, name));
  EXPECT_TRUE(name.empty());
  EXPECT_FALSE(GetBlendModeName(-1, name));
  EXPECT_EQ(BlendModeToLayerMode(0), 3);
  EXPECT_EQ(LayerModeToBlendMode(3), 0);
  EXPECT_EQ(BlendModeToLayerMode(0x80), 3);
  for (uint32_t v = 0; v < static_cast<uint32_t>(kBlendModeCount); ++v) {
    EXPECT_EQ(BlendModeToLayerMode(LayerModeToBlendMode(v)), v);
    EXPECT_EQ(LayerModeToBlendMode(BlendModeToLayerMode(v)), v);
  }
  EXPECT_EQ(BlendModeToLayerMode(22), 0xFF);
  EXPECT_EQ(BlendModeName(22), "");
}

bool LookupWithGap(int32_t mode, std::string& name) {
  if (mode == 5) return false;
  name = "mode " + std::to_string(mode);
  return true;
}

TEST_F(BlendModeTest, NamesComeFromTheLookupWithTheBuiltInTextsAsFallback) {
  LoadBlendModeNames(LookupWithGap);
  EXPECT_STREQ(GetBlendModeEntry(4)->name, "mode 4");
  EXPECT_STREQ(GetBlendModeEntry(5)->name, "オーバーレイ");
  ReleaseBlendModeNames();
  EXPECT_STREQ(GetBlendModeEntry(4)->name, "");
  LoadBlendModeNames();
  EXPECT_STREQ(GetBlendModeEntry(4)->name, "スクリーン");
  EXPECT_STREQ(DefaultBlendModeName(21), "ピンライト");
  EXPECT_STREQ(DefaultBlendModeName(22), "");
}

TEST_F(BlendModeTest, PairTableIsSearchedWithinTheSelectorsLength) {
  struct Case {
    uint32_t dest, source, selector;
    bool found;
    PixelOp routine;
  };
  const Case cases[] = {
      {0, 0, 0, true, PixelMultiplyOver}, {2, 2, 0, true, PixelAddOverOpaque},
      {3, 0, 0, false, nullptr},          {3, 0, 2, true, PixelMultiplyOver},
      {0, 3, 1, false, nullptr},          {0, 3, 2, true, PixelPaintOverSourceAlpha},
      {3, 3, 2, false, nullptr},          {3, 3, 3, true, PixelPaintOverSourceAlpha},
      {1, 1, 2, false, nullptr},          {1, 1, 3, true, PixelAddOverOpaque},
      {3, 4, 3, false, nullptr},          {3, 3, 4, false, nullptr},
      {0x83, 3, 3, false, nullptr},
  };
  for (const Case& c : cases) {
    const SBlendPair* pair = FindBlendPair(c.dest, c.source, c.selector);
    ASSERT_EQ(pair != nullptr, c.found) << c.dest << "," << c.source << " sel " << c.selector;
    if (pair) {
      EXPECT_EQ(pair->routine.pixel, c.routine);
    }
  }
}

TEST_F(BlendModeTest, LegacyPairsAndMergeRoutines) {
  EXPECT_EQ(GetLegacyOpPair(0).pixel, MultiplyOp);
  EXPECT_EQ(GetLegacyOpPair(0).block, OldCompositeMultiply);
  EXPECT_EQ(GetLegacyOpPair(1).pixel, AddOp);
  EXPECT_EQ(GetLegacyOpPair(0x82).block, OldCompositeSubtract);
  for (uint32_t m : {3u, 4u, 21u, 100u}) {
    EXPECT_EQ(GetLegacyOpPair(m).pixel, PixelBlendSourceAlpha);
    EXPECT_EQ(GetLegacyOpPair(m).block, OldCompositeSourceAlpha);
  }
  EXPECT_EQ(GetMergeRoutine(0).pixel, PixelMultiplyOver);
  EXPECT_EQ(GetMergeRoutine(1).pixel, PixelAddOverOpaque);
  EXPECT_EQ(GetMergeRoutine(2).pixel, PixelAddOverOpaque);
  EXPECT_EQ(GetMergeRoutine(3).pixel, PixelPaintOverSourceAlpha);
  EXPECT_EQ(GetMergeRoutine(4).pixel, ScreenMergeOp);
  EXPECT_EQ(GetMergeRoutine(8).pixel, DifferenceMergeOp);
  EXPECT_EQ(GetMergeRoutine(10).pixel, DarkenMergeOp);
  EXPECT_EQ(GetMergeRoutine(11).pixel, LightenMergeOp);
  EXPECT_EQ(GetMergeRoutine(0x84).pixel, ScreenMergeOp);
}

// ---- Sweeps of the separable modes against the general definitions -----------------------------
// Every (d, s) byte pair on opaque pixels at full weight, through the table's weighted routine
// and through the source-alpha row at opacity 255. References are the usual real-valued
// definitions on 0..255; the tolerance is what the integer arithmetic allows:
//   0  add, subtract, normal, difference, darken, lighten, linear burn, pin light: exact.
//   1  multiply, screen, overlay, hard light, burn, dodge, vivid light: one truncating
//      division (x div 255 or a quotient), so the result is within one step of the real value.
//      Linear light: the formula subtracts 256 where the definition subtracts 255.
//   2  soft light: the truncated curve value D(d) (or MulDiv255) and the final division each
//      lose less than one step. Exclusion: twice a truncated MulDiv255 is subtracted.

double Clamp(double v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }
double N(double v) { return v / 255.0; }

double RefMultiply(double d, double s) { return d * s / 255; }
double RefAdd(double d, double s) { return Clamp(d + s); }
double RefSubtract(double d, double s) { return Clamp(d - s); }
double RefNormal(double, double s) { return s; }
double RefScreen(double d, double s) { return 255 - (255 - d) * (255 - s) / 255; }
double RefHardLightNorm(double b, double t) {  // b backdrop, t source, both 0..1
  return t <= 0.5 ? b * 2 * t : 1 - (1 - b) * (1 - (2 * t - 1));
}
double RefOverlay(double d, double s) { return 255 * RefHardLightNorm(N(s), N(d)); }
double RefHardLight(double d, double s) { return 255 * RefHardLightNorm(N(d), N(s)); }
double RefSoftLight(double d, double s) {
  const double b = N(d), t = N(s);
  if (t <= 0.5) return 255 * (b - (1 - 2 * t) * b * (1 - b));
  const double D = b <= 0.25 ? ((16 * b - 12) * b + 4) * b : std::sqrt(b);
  return 255 * (b + (2 * t - 1) * (D - b));
}
double RefDifference(double d, double s) { return std::fabs(d - s); }
double RefExclusion(double d, double s) { return d + s - 2 * d * s / 255; }
double RefDarken(double d, double s) { return d < s ? d : s; }
double RefLighten(double d, double s) { return d > s ? d : s; }
double RefBurnNorm(double b, double t) {
  if (b >= 1) return 1;
  if (t <= 0) return 0;
  return 1 - std::fmin(1, (1 - b) / t);
}
double RefDodgeNorm(double b, double t) {
  if (b <= 0) return 0;
  if (t >= 1) return 1;
  return std::fmin(1, b / (1 - t));
}
double RefBurn(double d, double s) { return 255 * RefBurnNorm(N(d), N(s)); }
double RefDodge(double d, double s) { return 255 * RefDodgeNorm(N(d), N(s)); }
double RefLinearBurn(double d, double s) { return Clamp(d + s - 255); }
double RefLinearLight(double d, double s) { return Clamp(d + 2 * s - 255); }
double RefVividLight(double d, double s) {
  const double b = N(d), t = N(s);
  return 255 * (t <= 0.5 ? RefBurnNorm(b, 2 * t) : RefDodgeNorm(b, 2 * t - 1));
}
double RefPinLight(double d, double s) {
  return s < 127.5 ? (d < 2 * s ? d : 2 * s) : (d > 2 * s - 255 ? d : 2 * s - 255);
}

struct SweepCase {
  uint8_t mode;
  double (*reference)(double d, double s);
  double tolerance;
};

// The pairs where the modes' own conventions differ from the general definition (checked
// separately): vivid light gives 255 at s = 255 even for d = 0, and 0 at s = 0 even for d = 255.
bool KnownException(uint8_t mode, uint32_t d, uint32_t s) {
  return mode == kModeVividLight && ((s == 255 && d == 0) || (s == 0 && d == 255));
}

TEST_F(BlendModeTest, SeparableModesFollowTheirDefinitionsOverEveryBytePair) {
  const SweepCase cases[] = {
      {kModeMultiply, RefMultiply, 1},
      {kModeAdd, RefAdd, 0},
      {kModeSubtract, RefSubtract, 0},
      {kModeNormal, RefNormal, 0},
      {kModeScreen, RefScreen, 1},
      {kModeOverlay, RefOverlay, 1},
      {kModeHardLight, RefHardLight, 1},
      {kModeSoftLight, RefSoftLight, 2},
      {kModeDifference, RefDifference, 0},
      {kModeExclusion, RefExclusion, 2},
      {kModeDarken, RefDarken, 0},
      {kModeLighten, RefLighten, 0},
      {kModeBurn, RefBurn, 1},
      {kModeDodge, RefDodge, 1},
      {kModeLinearBurn, RefLinearBurn, 0},
      {kModeLinearLight, RefLinearLight, 1},
      {kModeVividLight, RefVividLight, 1},
      {kModePinLight, RefPinLight, 0},
  };
  // Row of every pair: B holds (d, s), G (s, d), R (255 - d, 255 - s).
  std::vector<uint32_t> dest(65536), source(65536);
  for (uint32_t d = 0; d < 256; ++d) {
    for (uint32_t s = 0; s < 256; ++s) {
      dest[d * 256 + s] = Bgra(d, s, 255 - d, 255);
      source[d * 256 + s] = Bgra(s, d, 255 - s, 255);
    }
  }
  for (const SweepCase& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.mode));
    row_detail::ForceBaselineRows(c.mode % 2 == 1);  // both builds of the row loops
    const SLayerParam* e = GetBlendModeEntry(c.mode);
    std::vector<uint32_t> rowResult = dest;
    e->sourceAlphaRows.pixels(rowResult.data(), source.data(), 65536, 255);
    for (uint32_t i = 0; i < 65536; ++i) {
      uint32_t p = dest[i];
      e->weighted(&p, source[i], 255);
      ASSERT_EQ(rowResult[i], p) << "row and pixel forms differ at " << i;
      ASSERT_EQ(ByteOf(p, 3), 255u);
      for (int ch = 0; ch < 3; ++ch) {
        const uint32_t d = ByteOf(dest[i], ch), s = ByteOf(source[i], ch);
        if (KnownException(c.mode, d, s)) continue;
        const double diff = std::fabs(static_cast<double>(ByteOf(p, ch)) - c.reference(d, s));
        ASSERT_LE(diff, c.tolerance + 1e-9)
            << "d=" << d << " s=" << s << " got " << ByteOf(p, ch) << " want " << c.reference(d, s);
      }
    }
  }
}

// ---- Edge cases of the colour functions ----------------------------------------------------------

TEST_F(BlendModeTest, ChannelFunctionEdgeCases) {
  for (uint32_t d = 0; d < 256; ++d) {
    EXPECT_EQ(BurnByte(d, 0), d == 255 ? 255u : 0u);
    EXPECT_EQ(DodgeByte(d, 255), d == 0 ? 0u : 255u);
    EXPECT_EQ(VividLightByte(d, 255), 255u);  // also for d = 0
    EXPECT_EQ(VividLightByte(d, 0), 0u);      // also for d = 255
    EXPECT_EQ(LinearLightByte(d, 0x7F), d >= 2 ? d - 2 : 0u);
    EXPECT_EQ(LinearLightByte(d, 0x80), d);
  }
  EXPECT_EQ(LinearLightByte(0, 0), 0u);
  EXPECT_EQ(LinearLightByte(255, 255), 255u);
  EXPECT_EQ(SoftLightCurve(0), 0u);
  EXPECT_EQ(SoftLightCurve(255), 255u);
}

// The curve against its definition computed with the shared 16.16 routines.
TEST_F(BlendModeTest, SoftLightCurveFollowsItsFixedPointDefinition) {
  for (uint32_t d = 0; d < 256; ++d) {
    const Fixed x = static_cast<Fixed>(d * 65536u / 255u);
    const Fixed y = x > 0x4000 ? FixSqrt(x) : FixMul(FixMul(16 * x - 0xC0000, x) + 0x40000, x);
    EXPECT_EQ(SoftLightCurve(d), static_cast<uint32_t>((int64_t{y} * 255) >> 16)) << d;
  }
}

TEST_F(BlendModeTest, SetSatLumCases) {
  // S = 0 or a grey colour: the grey of L, the colour's alpha kept.
  EXPECT_EQ(SetSatLum(Bgra(10, 200, 30, 77), 0, 99), Bgra(99, 99, 99, 77));
  EXPECT_EQ(SetSatLum(Bgra(50, 50, 50, 0), 120, 33), Bgra(33, 33, 33, 0));
  // Scaled chroma plus delta: (R, G, B) = (200, 100, 0), S 100, L 100 -> (141, 91, 41).
  EXPECT_EQ(SetSatLum(Bgra(0, 100, 200, 255), 100, 100), Bgra(41, 91, 141, 255));
  // Delta below 0: each channel x*L/m -> (84, 42, 0).
  EXPECT_EQ(SetSatLum(Bgra(0, 100, 200, 255), 200, 50), Bgra(0, 42, 84, 255));
  // mx + delta above 255 (mx of the colour before scaling): (250, 200, 150), S 100, L 200 ->
  // q = lum(150, 200, 250) = 190, each x := 255 - (250 - x)*55/190 -> (212, 198, 183).
  EXPECT_EQ(SetSatLum(Bgra(150, 200, 250, 255), 100, 200), Bgra(183, 198, 212, 255));
  // Hue of a grey destination: a grey of the destination's luminance.
  EXPECT_EQ(HueColor(Bgra(90, 90, 90, 255), Bgra(0, 0, 255, 255)) & 0x00FFFFFFu, 0x005A5A5Au);
  uint32_t p = Bgra(90, 90, 90, 255);
  GetBlendModeEntry(kModeHue)->weighted(&p, Bgra(0, 0, 255, 255), 255);
  EXPECT_EQ(p, Bgra(90, 90, 90, 255));
  // Luminosity of a grey source on a grey destination takes the source's grey.
  EXPECT_EQ(LuminosityColor(Bgra(20, 20, 20, 255), Bgra(180, 180, 180, 0)) & 0x00FFFFFFu, 0x00B4B4B4u);
}

// Exact results of the non-separable colour functions and a few routines, pinned to known
// values (each worked by hand from the definitions: the red weight is 19595, mx + delta is
// compared with mx of the colour before scaling, q is held to at least 1, the weight of the
// source-alpha routines takes the colour's alpha).
TEST_F(BlendModeTest, ExactBlendResults) {
  struct Case {
    const char* what;
    uint32_t got;
    uint32_t expected;
  };
  auto op = [](PixelOp routine, uint32_t pixel, uint32_t colour, int32_t opacity) {
    routine(&pixel, colour, opacity);
    return pixel;
  };
  const Case cases[] = {
      {"PixelLum(red)", static_cast<uint32_t>(PixelLum(0xFFFF0000u)), 76},
      {"PixelLum(blue)", static_cast<uint32_t>(PixelLum(0xFF0000FFu)), 29},
      {"SetSatLum at the mx + delta edge", SetSatLum(0x000061u, 19, 160), 0x009E9EB1u},
      {"LuminosityColor with q below 1", LuminosityColor(0xFF080800u, 0xFFFFFFFFu), 0xFFFFFFFFu},
      {"HueColor", HueColor(0xFF336699u, 0xFFFF0000u), 0xFF904646u},
      {"HueColor 2", HueColor(0xFFC08040u, 0xFF20E0A0u), 0xFF45AF8Bu},
      {"HueColor of a grey source", HueColor(0xFF336699u, 0xFF808080u), 0xFF5C5C5Cu},
      {"SaturationColor", SaturationColor(0xFF336699u, 0xFFFF0000u), 0xFF0071E3u},
      {"SaturationColor 2", SaturationColor(0xFFC08040u, 0xFF20E0A0u), 0xFFDA7A1Au},
      {"ColorColor", ColorColor(0xFF336699u, 0xFFFF0000u), 0xFFFF1616u},
      {"ColorColor 2", ColorColor(0xFFC08040u, 0xFF20E0A0u), 0xFF0CCC8Cu},
      {"LuminosityColor", LuminosityColor(0xFF336699u, 0xFF808080u), 0xFF578ABDu},
      {"LuminosityColor 2", LuminosityColor(0xFFC08040u, 0xFFFF0000u), 0xFF814101u},
      {"hue mode", op(GetBlendModeEntry(kModeHue)->weighted, 0xFF336699u, 0xFFC08040u, 255), 0xFF865320u},
      {"saturation mode", op(GetBlendModeEntry(kModeSaturation)->weighted, 0xFF336699u, 0xFFC08040u, 255),
       0xFF2868A8u},
      {"colour mode", op(GetBlendModeEntry(kModeColor)->weighted, 0xFF336699u, 0xFFC08040u, 255), 0xFF915111u},
      {"luminosity mode", op(GetBlendModeEntry(kModeLuminosity)->weighted, 0xFF336699u, 0xFFC08040u, 255),
       0xFF6295C8u},
      {"ScreenSrcOp of a transparent colour", op(ScreenSrcOp, 0xFF808080u, 0x00FFFFFFu, 255), 0xFF808080u},
      {"BurnMergeOp", op(BurnMergeOp, 0x80404040u, 0xFF808080u, 255), 0xFF404040u},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.expected) << c.what;
}

// Every descriptor merge is CompositePixel with its mode's start colour from the table and its
// weighted routine, also over half-transparent pixels (where the start colour shows).
TEST_F(BlendModeTest, DescriptorMergesStartFromTheTablesColour) {
  const uint8_t modes[] = {kModeOverlay,    kModeHardLight,   kModeSoftLight,  kModeExclusion, kModeBurn,
                           kModeDodge,      kModeHue,         kModeSaturation, kModeColor,     kModeLuminosity,
                           kModeLinearBurn, kModeLinearLight, kModeVividLight, kModePinLight};
  TestRng rng;
  for (uint8_t mode : modes) {
    SCOPED_TRACE(GetBlendModeEntry(mode)->name);
    const SLayerParam* e = GetBlendModeEntry(mode);
    const SCompositeOps ops{e->startColor, 0, {}, BlendColor, e->weighted};
    for (int i = 0; i < 2000; ++i) {
      const uint32_t pixel = (rng.Next() & 0x00FFFFFFu) | ((0x60u + rng.Next() % 0x40u) << 24);
      const uint32_t colour = rng.Next() | 0x80000000u;
      const int32_t opacity = static_cast<int32_t>(rng.Next() % 256);
      uint32_t expected = pixel, got = pixel;
      CompositePixel(&expected, colour, opacity, ops);
      GetMergeRoutine(mode).pixel(&got, colour, opacity);
      ASSERT_EQ(got, expected) << std::hex << pixel << " " << colour << " " << std::dec << opacity;
    }
  }
}

// An opaque layer holding its mode's neutral colour leaves what is under it (the colour of a
// normal layer is transparent); the grey 0x7F of the light modes leaves it within 2.
TEST_F(BlendModeTest, NeutralColourChangesNothing) {
  TestRng rng;
  std::vector<uint32_t> dest(4096);
  for (uint32_t& p : dest) p = rng.Next() | 0xFF000000u;
  // Every byte value as a channel too.
  for (uint32_t i = 0; i < 256; ++i) dest[i] = Bgra(i, 255 - i, i, 255);
  for (uint32_t mode = 0; mode < static_cast<uint32_t>(kBlendModeCount); ++mode) {
    const SLayerParam* e = GetBlendModeEntry(mode);
    const uint32_t colour = e->neutralColor | (mode == kModeNormal ? 0u : 0xFF000000u);
    int32_t tolerance;
    switch (mode) {
      case kModeOverlay:
      case kModeHardLight:
      case kModeSoftLight:
      case kModeLinearLight:
      case kModePinLight: tolerance = 2; break;
      case kModeHue:
      case kModeSaturation:
      case kModeColor:
      case kModeLuminosity:
      case kModeLinearBurn:
      case kModeVividLight: continue;  // no neutral colour promised
      default: tolerance = 0;
    }
    std::vector<uint32_t> out = dest;
    e->sourceAlphaRows.colour(out.data(), colour, static_cast<int32_t>(out.size()), 255);
    for (size_t i = 0; i < dest.size(); ++i) {
      for (int ch = 0; ch < 4; ++ch) {
        const int32_t diff = static_cast<int32_t>(ByteOf(out[i], ch)) - static_cast<int32_t>(ByteOf(dest[i], ch));
        ASSERT_LE(std::abs(diff), tolerance) << "mode " << mode << " pixel " << std::hex << dest[i];
      }
    }
  }
  // Linear light with the grey: d - 2 at 0x7F, d at 0x80.
  uint32_t p = Bgra(100, 1, 255, 255);
  LinearLightOp(&p, 0xFF7F7F7Fu, 255);
  EXPECT_EQ(p, Bgra(98, 0, 253, 255));
  p = Bgra(100, 1, 255, 255);
  LinearLightOp(&p, 0xFF808080u, 255);
  EXPECT_EQ(p, Bgra(100, 1, 255, 255));
}

// ---- Exact integer results of the colour functions ----------------------------------------------
// The colour functions written out as their integer formulas (truncating divisions, MulDiv255 as
// x*y div 255, the soft light curve through a double square root), checked for every (d, s) byte
// pair through the table's weighted routine at full and at partial weight and through the
// source-alpha row. Stored pictures and replayed recordings depend on these exact bytes; the
// tolerance sweep above would let an off-by-one through.

int32_t Div255Ref(int32_t x) { return x / 255; }
int32_t ClampRef(int32_t v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }

int32_t SoftLightCurveRef(int32_t d) {
  const int64_t x = int64_t{d} * 65536 / 255;
  int64_t y;
  if (x > 0x4000) {
    y = static_cast<int64_t>(std::nearbyint(std::sqrt(static_cast<double>(x) / 65536.0) * 65536.0));
  } else {
    auto fixMul = [](int64_t a, int64_t b) { return (a * b) >> 16; };  // floor, as an arithmetic shift
    y = fixMul(fixMul(16 * x - 0xC0000, x) + 0x40000, x);
  }
  return static_cast<int32_t>((y * 255) >> 16);
}

int32_t ExactColour(uint8_t mode, int32_t d, int32_t s) {
  switch (mode) {
    case kModeMultiply: return Div255Ref(d * s);
    case kModeAdd: return ClampRef(d + s);
    case kModeSubtract: return ClampRef(d - s);
    case kModeNormal: return s;
    case kModeScreen: return d + s - Div255Ref(d * s);
    case kModeOverlay: return d >= 128 ? (65025 - 2 * (255 - d) * (255 - s)) / 255 : 2 * d * s / 255;
    case kModeHardLight: return s >= 128 ? (65025 - 2 * (255 - d) * (255 - s)) / 255 : 2 * d * s / 255;
    case kModeSoftLight:
      if (s < 128) return ClampRef((255 * d - (255 - 2 * s) * Div255Ref(d * (255 - d))) / 255);
      return ClampRef((255 * d + (SoftLightCurveRef(d) - d) * (2 * s - 255)) / 255);
    case kModeDifference: return d > s ? d - s : s - d;
    case kModeExclusion: return (s + d - 2 * Div255Ref(d * s)) & 0xFF;
    case kModeDarken: return d < s ? d : s;
    case kModeLighten: return d > s ? d : s;
    case kModeBurn:
      if (s == 0) return d == 255 ? 255 : 0;
      return 255 - std::min(255, (255 - d) * 255 / s);
    case kModeDodge:
      if (s == 255) return d > 0 ? 255 : 0;
      return std::min(255, d * 255 / (255 - s));
    case kModeLinearLight: return ClampRef(d + 2 * s - 256);
    case kModeVividLight:
      if (s >= 128) return s == 255 ? 255 : std::min(255, (d * 255 / (255 - s)) >> 1);
      return s == 0 ? 0 : 255 - std::min(255, ((255 - d) * 255 / s) >> 1);
    case kModePinLight: return std::min(std::max(d, 2 * s - 255), 2 * s);
    default: return -1;
  }
}

TEST_F(BlendModeTest, SeparableColourFunctionsGiveTheirExactIntegerResults) {
  // Every (d, s) pair: B holds (d, s), G (s, d), R (255 - d, 255 - s); opaque pixels.
  std::vector<uint32_t> dest(65536), source(65536);
  for (uint32_t d = 0; d < 256; ++d) {
    for (uint32_t s = 0; s < 256; ++s) {
      dest[d * 256 + s] = Bgra(d, s, 255 - d, 255);
      source[d * 256 + s] = Bgra(s, d, 255 - s, 255);
    }
  }
  for (uint8_t mode = 0; mode < kBlendModeCount; ++mode) {
    if (ExactColour(mode, 0, 0) < 0) continue;  // not separable, or linear burn (below)
    SCOPED_TRACE(static_cast<int>(mode));
    const SLayerParam* e = GetBlendModeEntry(mode);
    for (uint32_t weight : {255u, 77u}) {
      row_detail::ForceBaselineRows(weight == 77u);
      std::vector<uint32_t> rows = dest;
      // Source alpha 255, so the source-alpha routine's weight is the opacity.
      e->sourceAlphaRows.pixels(rows.data(), source.data(), 65536, static_cast<int32_t>(weight));
      for (uint32_t i = 0; i < 65536; ++i) {
        uint32_t expected = 0xFF000000u;
        for (int ch = 0; ch < 3; ++ch) {
          const int32_t d = static_cast<int32_t>(ByteOf(dest[i], ch));
          const int32_t f = ExactColour(mode, d, static_cast<int32_t>(ByteOf(source[i], ch)));
          // Multiply, add and subtract apply the colour at the weight inside the operation.
          int32_t v;
          if (mode == kModeMultiply) {
            v = Div255Ref(d * (255 - Div255Ref(static_cast<int32_t>(weight) *
                                               (255 - static_cast<int32_t>(ByteOf(source[i], ch))))));
          } else if (mode == kModeAdd || mode == kModeSubtract) {
            const int32_t t = Div255Ref(static_cast<int32_t>(weight * ByteOf(source[i], ch)));
            v = ClampRef(mode == kModeAdd ? d + t : d - t);
          } else {
            v = (f * static_cast<int32_t>(weight) + d * (255 - static_cast<int32_t>(weight))) / 255;
          }
          if (weight == 255) {
            ASSERT_EQ(v, f);
          }
          expected |= static_cast<uint32_t>(v) << (8 * ch);
        }
        uint32_t p = dest[i];
        e->weighted(&p, source[i], static_cast<int32_t>(weight));
        ASSERT_EQ(p, expected) << "weight " << weight << " d " << ByteOf(dest[i], 0) << " s "
                               << ByteOf(source[i], 0);
        ASSERT_EQ(rows[i], expected) << "row, weight " << weight << " at " << i;
      }
    }
  }
  // Linear burn: the weight enters the subtraction, d - MulDiv255(w, 255 - s).
  for (int32_t w : {255, 128, 3}) {
    for (uint32_t i = 0; i < 65536; ++i) {
      uint32_t p = dest[i];
      LinearBurnOp(&p, source[i], w);
      for (int ch = 0; ch < 3; ++ch) {
        const int32_t d = static_cast<int32_t>(ByteOf(dest[i], ch));
        const int32_t s = static_cast<int32_t>(ByteOf(source[i], ch));
        ASSERT_EQ(static_cast<int32_t>(ByteOf(p, ch)), ClampRef(d - Div255Ref(w * (255 - s))));
      }
      ASSERT_EQ(ByteOf(p, 3), 255u);
    }
  }
}

// The merge routines with their own alpha arithmetic, spelled out as integer formulas, for
// partial alphas.
uint32_t ExactMerge(uint8_t mode, uint32_t pixel, uint32_t colour, int32_t opacity) {
  const int32_t ad = static_cast<int32_t>(pixel >> 24);
  const int32_t as = Div255Ref(static_cast<int32_t>(colour >> 24) * opacity);
  if (mode == kModeScreen) {
    const int32_t f = Div255Ref(ad * as);
    const int32_t ao = ad + as - f;
    if (ao <= 0) return (pixel & 0x00FFFFFFu) | (static_cast<uint32_t>(ao) << 24);
    uint32_t out = static_cast<uint32_t>(ao) << 24;
    for (int ch = 0; ch < 3; ++ch) {
      const int32_t d = static_cast<int32_t>(ByteOf(pixel, ch)), s = static_cast<int32_t>(ByteOf(colour, ch));
      out |= static_cast<uint32_t>(ClampRef((d * ad + s * as - f * Div255Ref(d * s)) / ao)) << (8 * ch);
    }
    return out;
  }
  const int32_t ao = ad + as - Div255Ref(ad * as);
  if (ao < 1) return (pixel & 0x00FFFFFFu) | (static_cast<uint32_t>(ao) << 24);
  uint32_t out = static_cast<uint32_t>(ao) << 24;
  for (int ch = 0; ch < 3; ++ch) {
    const int32_t d = static_cast<int32_t>(ByteOf(pixel, ch)), s = static_cast<int32_t>(ByteOf(colour, ch));
    int32_t n = 0;
    if (mode == kModeDifference) {
      n = as * std::abs(255 * s - ad * d) + ad * d * (255 - as);
    } else if (mode == kModeDarken) {
      const int32_t w = ad * d + 255 * (255 - ad);
      n = as * std::min(w, 255 * s) + (255 - as) * w;
    } else {
      const int32_t w = ad * d;
      n = as * std::max(w, 255 * s) + (255 - as) * w;
    }
    out |= static_cast<uint32_t>(ClampRef(n / (255 * ao))) << (8 * ch);
  }
  return out;
}

TEST_F(BlendModeTest, ScreenDifferenceDarkenAndLightenMergesGiveTheirExactIntegerResults) {
  TestRng rng;
  std::vector<uint32_t> dest(4096), source(4096);
  for (uint8_t mode : {kModeScreen, kModeDifference, kModeDarken, kModeLighten}) {
    SCOPED_TRACE(static_cast<int>(mode));
    const SMergeRoutine& merge = GetMergeRoutine(mode);
    for (int round = 0; round < 24; ++round) {
      row_detail::ForceBaselineRows(round % 2 == 1);
      for (size_t i = 0; i < dest.size(); ++i) {
        // Every pair of alphas over the rounds, colours at random.
        dest[i] = (rng.Next() & 0x00FFFFFFu) | ((i & 0xFFu) << 24);
        source[i] = (rng.Next() & 0x00FFFFFFu) | (((i >> 4) + static_cast<size_t>(round) * 11) & 0xFFu) << 24;
      }
      const int32_t opacity = round == 0 ? 255 : static_cast<int32_t>(rng.Next() & 0xFFu);
      std::vector<uint32_t> rows = dest;
      merge.rows.pixels(rows.data(), source.data(), static_cast<int32_t>(rows.size()), opacity);
      for (size_t i = 0; i < dest.size(); ++i) {
        const uint32_t expected = ExactMerge(mode, dest[i], source[i], opacity);
        uint32_t p = dest[i];
        merge.pixel(&p, source[i], opacity);
        ASSERT_EQ(p, expected) << std::hex << "d " << dest[i] << " s " << source[i] << " o " << opacity;
        ASSERT_EQ(rows[i], expected) << "row at " << i;
      }
    }
  }
}

// ---- Merge routines ------------------------------------------------------------------------------

// Between opaque pixels at full opacity every merge gives the mode's colour function, except
// subtract's: a subtract layer merges by adding (its descriptor composites invert it after).
TEST_F(BlendModeTest, MergesOfOpaquePixelsGiveTheColourFunction) {
  TestRng rng;
  for (uint32_t mode = 0; mode < static_cast<uint32_t>(kBlendModeCount); ++mode) {
    if (mode == kModeSubtract) continue;
    const SLayerParam* e = GetBlendModeEntry(mode);
    const PixelOp merge = GetMergeRoutine(mode).pixel;
    for (int i = 0; i < 3000; ++i) {
      const uint32_t d = rng.Next() | 0xFF000000u, s = rng.Next() | 0xFF000000u;
      uint32_t merged = d, weighted = d;
      merge(&merged, s, 255);
      e->weighted(&weighted, s, 255);
      ASSERT_EQ(merged, weighted) << "mode " << mode << std::hex << " d " << d << " s " << s;
    }
  }
}

// Onto a transparent pixel these merges give the source colour at its effective alpha.
TEST_F(BlendModeTest, MergesOntoTransparentPixelsGiveTheSource) {
  TestRng rng;
  for (uint32_t mode : {0u, 1u, 2u, 3u, 4u, 8u, 11u}) {
    const PixelOp merge = GetMergeRoutine(mode).pixel;
    for (int i = 0; i < 3000; ++i) {
      const uint32_t d = rng.Next() & 0x00FFFFFFu;
      const uint32_t s = rng.Next() | 0x01000000u;
      const uint32_t opacity = (rng.Next() & 0xFFu) | 1u;
      const uint32_t e = MulDiv255(s >> 24, opacity);
      uint32_t p = d;
      merge(&p, s, static_cast<int32_t>(opacity));
      if (e == 0) {
        ASSERT_EQ(p >> 24, 0u);
        continue;
      }
      ASSERT_EQ(p, (s & 0x00FFFFFFu) | (e << 24)) << "mode " << mode << std::hex << " s " << s;
    }
  }
}

TEST_F(BlendModeTest, AddMergeOfTwoHalfTransparentPixelsIsOpaque) {
  uint32_t p = Bgra(100, 100, 100, 128);
  GetMergeRoutine(kModeAdd).pixel(&p, Bgra(50, 60, 70, 128), 255);
  EXPECT_EQ(ByteOf(p, 3), 255u);  // not the union alpha 192
  // (100*128 + 50*128) / 255 = 75 and so on.
  EXPECT_EQ(p & 0x00FFFFFFu, Bgra(75, 80, 85, 0));
  p = Bgra(1, 2, 3, 0);
  GetMergeRoutine(kModeSubtract).pixel(&p, Bgra(50, 60, 70, 200), 128);
  EXPECT_EQ(p, Bgra(50, 60, 70, MulTable[200][128]));
}

// Regression: the darken and lighten merges divide by 255*ao, which is 0 when both alphas are
// 0; they stop there like the difference merge (alpha 0, colour bytes untouched).
TEST_F(BlendModeTest, DarkenAndLightenMergesOfTwoTransparentPixelsDoNotDivideByZero) {
  for (uint32_t mode : {kModeDarken, kModeLighten, kModeDifference}) {
    for (uint32_t opacity : {0u, 128u, 255u}) {
      uint32_t p = Bgra(10, 20, 30, 0);
      GetMergeRoutine(mode).pixel(&p, Bgra(200, 100, 50, 0), static_cast<int32_t>(opacity));
      EXPECT_EQ(p, Bgra(10, 20, 30, 0)) << mode;
      // A source whose effective alpha is 0 by opacity.
      p = Bgra(10, 20, 30, 0);
      GetMergeRoutine(mode).pixel(&p, Bgra(200, 100, 50, 255), 0);
      EXPECT_EQ(p, Bgra(10, 20, 30, 0)) << mode;
    }
  }
  // The row forms too.
  std::vector<uint32_t> row(100, Bgra(1, 2, 3, 0));
  GetMergeRoutine(kModeDarken).rows.colour(row.data(), Bgra(9, 9, 9, 0), 100, 255);
  GetMergeRoutine(kModeLighten).rows.colour(row.data(), Bgra(9, 9, 9, 0), 100, 255);
  for (uint32_t p : row) EXPECT_EQ(p, Bgra(1, 2, 3, 0));
}

// ---- Row forms against pixel forms --------------------------------------------------------------

// Both builds of the row loops (AVX2 where the processor has it, and the baseline).
TEST_F(BlendModeTest, RowFormsGiveWhatThePixelFormsGive) {
  TestRng rng;
  constexpr int32_t kCount = 300;  // several descriptor runs and a partial one
  std::vector<uint32_t> dest(kCount), source(kCount), weights(kCount);
  for (uint32_t build = 0; build < 2 * static_cast<uint32_t>(kBlendModeCount); ++build) {
    const uint32_t mode = build % kBlendModeCount;
    row_detail::ForceBaselineRows(build >= static_cast<uint32_t>(kBlendModeCount));
    SCOPED_TRACE(build);
    const SLayerParam* e = GetBlendModeEntry(mode);
    const SMergeRoutine& merge = GetMergeRoutine(mode);
    for (int round = 0; round < 4; ++round) {
      for (int32_t i = 0; i < kCount; ++i) {
        dest[i] = rng.Pixel();
        source[i] = rng.Pixel();
        weights[i] = rng.Next() & 0xFFu;
      }
      const int32_t value = round == 0 ? 255 : static_cast<int32_t>(rng.Next() & 0xFFu);
      const uint32_t colour = source[7];
      auto check = [&](const char* what, auto rowCall, auto pixelCall) {
        std::vector<uint32_t> a = dest, b = dest;
        rowCall(a.data());
        for (int32_t i = 0; i < kCount; ++i) pixelCall(&b[i], i);
        for (int32_t i = 0; i < kCount; ++i) ASSERT_EQ(a[i], b[i]) << what << " at " << i;
      };
      check(
          "source alpha", [&](uint32_t* r) { e->sourceAlphaRows.pixels(r, source.data(), kCount, value); },
          [&](uint32_t* p, int32_t i) { e->sourceAlpha(p, source[i], value); });
      check(
          "source alpha colour", [&](uint32_t* r) { e->sourceAlphaRows.colour(r, colour, kCount, value); },
          [&](uint32_t* p, int32_t) { e->sourceAlpha(p, colour, value); });
      check(
          "weighted", [&](uint32_t* r) { e->weightedRows(r, source.data(), weights.data(), kCount); },
          [&](uint32_t* p, int32_t i) { e->weighted(p, source[i], static_cast<int32_t>(weights[i])); });
      check(
          "merge", [&](uint32_t* r) { merge.rows.pixels(r, source.data(), kCount, value); },
          [&](uint32_t* p, int32_t i) { merge.pixel(p, source[i], value); });
      check(
          "merge colour", [&](uint32_t* r) { merge.rows.colour(r, colour, kCount, value); },
          [&](uint32_t* p, int32_t) { merge.pixel(p, colour, value); });
      // The descriptor merge as a row descriptor.
      const SCompositeRowOps md = MergeDescriptor(mode);
      const SCompositeOps mp{e->startColor, 0, {}, BlendColor, e->weighted};
      check(
          "merge descriptor", [&](uint32_t* r) { CompositeRow(r, source.data(), kCount, value, md); },
          [&](uint32_t* p, int32_t i) { CompositePixel(p, source[i], value, mp); });
    }
  }
}

// Every (destination mode, source mode) descriptor, with and without the zero-alpha option.
TEST_F(BlendModeTest, CompositeRowsGiveWhatCompositePixelGivesForEveryModePair) {
  TestRng rng;
  constexpr int32_t kCount = 70;
  std::vector<uint32_t> dest(kCount), source(kCount);
  for (uint32_t lower = 0; lower < static_cast<uint32_t>(kBlendModeCount); ++lower) {
    for (uint32_t upper = 0; upper < static_cast<uint32_t>(kBlendModeCount); ++upper) {
      for (bool zero : {false, true}) {
        row_detail::ForceBaselineRows((lower + upper + zero) % 2 == 1);
        for (int32_t i = 0; i < kCount; ++i) {
          dest[i] = rng.Pixel();
          source[i] = rng.Pixel();
        }
        const int32_t opacity = static_cast<int32_t>(rng.Next() & 0xFFu) | 1;
        const SCompositeRowOps rows = LayerCompositeDescriptor(lower, upper, zero);
        const SCompositeOps ops = LayerCompositeOps(lower, upper, zero);
        ASSERT_EQ(rows.startColor, ops.startColor);
        ASSERT_EQ(rows.flags, ops.flags);
        std::vector<uint32_t> a = dest, b = dest;
        CompositeRow(a.data(), source.data(), kCount, opacity, rows);
        for (int32_t i = 0; i < kCount; ++i) CompositePixel(&b[i], source[i], opacity, ops);
        ASSERT_EQ(a, b) << lower << "," << upper << " zero " << zero;
        a = dest;
        b = dest;
        CompositeColorRow(a.data(), source[3], kCount, opacity, rows);
        for (int32_t i = 0; i < kCount; ++i) CompositePixel(&b[i], source[3], opacity, ops);
        ASSERT_EQ(a, b) << "colour " << lower << "," << upper;
      }
    }
  }
}

// Regression: the row form took the low byte of an opacity outside 0..255 (256 composited at 0)
// where CompositePixel holds it to 0..255.
TEST_F(BlendModeTest, CompositeRowsHoldTheOpacityAsCompositePixelDoes) {
  TestRng rng;
  constexpr int32_t kCount = 90;
  std::vector<uint32_t> dest(kCount), source(kCount);
  for (int32_t i = 0; i < kCount; ++i) {
    dest[i] = rng.Pixel();
    source[i] = rng.Pixel();
  }
  const SCompositeRowOps rows = LayerCompositeDescriptor(kModeScreen, kModeOverlay, false);
  const SCompositeOps ops = LayerCompositeOps(kModeScreen, kModeOverlay, false);
  for (int32_t opacity : {256, 300, -1, -256}) {
    std::vector<uint32_t> a = dest, b = dest;
    CompositeRow(a.data(), source.data(), kCount, opacity, rows);
    for (int32_t i = 0; i < kCount; ++i) CompositePixel(&b[i], source[i], opacity, ops);
    ASSERT_EQ(a, b) << opacity;
  }
}

TEST_F(BlendModeTest, LayerCompositeDescriptorFields) {
  // Equal start colours: that colour; else the larger; flags from the source mode.
  SCompositeOps ops = LayerCompositeOps(kModeOverlay, kModeHardLight, false);
  EXPECT_EQ(ops.startColor, 0x7F7F7Fu);
  EXPECT_EQ(ops.flags, 0x26);
  ops = LayerCompositeOps(kModeNormal, kModeScreen, true);
  EXPECT_EQ(ops.startColor, 0u);
  EXPECT_EQ(ops.flags, 0x22 | kCompositeSkipZeroAlpha);
  EXPECT_EQ(ops.destination, BlendColor);
  EXPECT_EQ(ops.source, GetBlendModeEntry(kModeScreen)->weighted);
  ops = LayerCompositeOps(kModeScreen, kModeHue, false);
  EXPECT_EQ(ops.startColor, 0xFFFFFFu);
  EXPECT_EQ(ops.flags & kCompositeStartFromSource, kCompositeStartFromSource);
  EXPECT_EQ(ops.destination, GetBlendModeEntry(kModeScreen)->weighted);
}

TEST_F(BlendModeTest, DissolveRowsDrawAsThePixelByPixelPass) {
  TestRng rng;
  TMTC source(45, 7), display(50, 10);
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 45; ++x) *source.Pixel(x, y) = rng.Pixel();
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 50; ++x) *display.Pixel(x, y) = rng.Next() | 0xFF000000u;
  for (uint32_t mode : {3u, 0u, 7u, 16u}) {
    SBlendLayer layer;
    layer.mode = static_cast<uint8_t>(mode);
    layer.opacity = 200;
    layer.dissolve = true;
    layer.dissolveThreshold = 180;
    RandomInit(layer.random, 12345 + static_cast<int32_t>(mode), 0, 255);
    TMTC ours(display), theirs(display);
    TPoint point{3, 2};
    SRectWH rect{0, 0, 45, 7};
    ASSERT_TRUE(DrawImageAsLayer(ours, source, point, false, layer, rect));
    const SRandom after = DissolveRandomState();
    SetRandomThreshold(GetBlendModeEntry(mode)->sourceAlpha, layer.random, layer.dissolveThreshold);
    TPoint point2{3, 2};
    SRectWH rect2{0, 0, 45, 7};
    ASSERT_TRUE(source.CombineTo(theirs, point2, rect2, layer.opacity, RandomThresholdOp));
    EXPECT_EQ(std::memcmp(&after, &DissolveRandomState(), sizeof(SRandom)), 0);
    int changed = 0;
    for (int y = 0; y < 10; ++y) {
      for (int x = 0; x < 50; ++x) {
        ASSERT_EQ(ours.GetPixel(x, y), theirs.GetPixel(x, y)) << mode << " at " << x << "," << y;
        changed += ours.GetPixel(x, y) != display.GetPixel(x, y);
      }
    }
    EXPECT_GT(changed, 0);
    EXPECT_LT(changed, 45 * 7);
  }
}

// The one-colour dissolve over rows draws the same pixels, in the same order, as the per-pixel
// pass with RandomThresholdOp, and leaves the random record where that pass leaves it. Rows
// longer than one run (and a last short run) included; a colour's alpha scales the threshold.
TEST_F(BlendModeTest, DissolveColourRowsDrawAsThePixelByPixelPass) {
  TestRng rng;
  TMTC image(150, 9);
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 150; ++x) *image.Pixel(x, y) = rng.Pixel();
  const SRectWH rect{5, 1, 139, 7};
  for (uint32_t mode : {0u, 3u, 7u, 16u}) {
    for (uint32_t colour : {0xFF3366CCu, 0x80D01040u, 0x00FFFFFFu}) {
      const auto* entry = GetBlendModeEntry(mode);
      SRandom ours;
      RandomInit(ours, 777 + static_cast<int32_t>(mode), 0, 255);
      const SRandom start = ours;
      TMTC rows(image), pixels(image);
      ASSERT_TRUE(DissolveColorRowsRaw(rows, rect, colour, 200, entry->sourceAlphaRows.colour, ours, 180));

      SetRandomThreshold(entry->sourceAlpha, start, 180);
      ASSERT_TRUE(pixels.ApplyToRectRaw(rect, colour, 200, RandomThresholdOp));
      EXPECT_EQ(std::memcmp(&ours, &DissolveRandomState(), sizeof(SRandom)), 0) << mode;
      int changed = 0;
      for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 150; ++x) {
          ASSERT_EQ(rows.GetPixel(x, y), pixels.GetPixel(x, y))
              << mode << " " << std::hex << colour << " at " << x << "," << y;
          changed += rows.GetPixel(x, y) != image.GetPixel(x, y);
        }
      if (colour >> 24 == 0) {
        EXPECT_EQ(changed, 0);  // a transparent colour passes no pixel
      } else {
        EXPECT_GT(changed, 0);
        EXPECT_LT(changed, rect.width * rect.height);
      }
    }
  }
  SRandom unused{};
  EXPECT_FALSE(DissolveColorRowsRaw(image, rect, 0xFF000000u, 200, nullptr, unused, 180));  // no routine
}

// ---- Flat images ---------------------------------------------------------------------------------

void FillRandom(TMTC& image, TestRng& rng) {
  for (int y = 0; y < image.Height(); ++y)
    for (int x = 0; x < image.Width(); ++x) *image.Pixel(x, y) = rng.Pixel();
}

bool SameImages(const TMTC& a, const TMTC& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x)
      if (a.GetPixel(x, y) != b.GetPixel(x, y)) return false;
  return true;
}

TEST_F(BlendModeTest, BlendImageIntoImageUsesThePairOrTheDescriptor) {
  TestRng rng;
  TMTC source(40, 30), display(50, 40);
  FillRandom(source, rng);
  FillRandom(display, rng);
  struct Case {
    uint8_t mode;
    uint32_t word;
  };
  for (const Case c :
       {Case{0, 2}, Case{0, 0}, Case{3, 3}, Case{3, 0x10002}, Case{4, 3}, Case{14, 0x10000}, Case{2, 3}}) {
    SBlendLayer layer;
    layer.mode = c.mode;
    layer.opacity = 190;
    TMTC ours(display), theirs(display);
    TPoint point{-5, 15};
    SRectWH rect{2, 1, 38, 29};
    EXPECT_TRUE(BlendImageIntoImage(ours, source, layer, c.word, rect, point));
    TPoint point2{-5, 15};
    SRectWH rect2{2, 1, 38, 29};
    if (const SBlendPair* pair = FindBlendPair(3, c.mode, c.word & 0xFFFF)) {
      theirs.CombineFrom(source, point2, rect2, 255, 190, pair->routine.pixel);
    } else {
      const SCompositeOps ops{GetBlendModeEntry(c.mode)->startColor,
                              static_cast<uint8_t>(GetBlendModeEntry(c.mode)->flags |
                                                   ((c.word & kModeWordZeroAlpha) ? kCompositeSkipZeroAlpha : 0)),
                              {},
                              BlendColor,
                              GetBlendModeEntry(c.mode)->weighted};
      CompositeFromWith(theirs, source, point2, rect2, 255, 190, CompositeWithOps{&ops});  // pixel by pixel
    }
    EXPECT_TRUE(SameImages(ours, theirs)) << int(c.mode) << " word " << c.word;
    EXPECT_EQ(point.x, point2.x);
    EXPECT_EQ(rect.width, rect2.width);
  }
  SBlendLayer bad;
  bad.mode = 22;
  TPoint point{0, 0};
  SRectWH rect{0, 0, 10, 10};
  EXPECT_FALSE(BlendImageIntoImage(display, source, bad, 0, rect, point));
}

TEST_F(BlendModeTest, DrawImageAsLayerWithoutDissolveUsesTheSourceAlphaRoutine) {
  TestRng rng;
  TMTC source(20, 20), display(20, 20);
  FillRandom(source, rng);
  FillRandom(display, rng);
  SBlendLayer layer;
  layer.mode = kModeSoftLight;
  layer.opacity = 99;
  TMTC ours(display), theirs(display);
  TPoint point{4, 4};
  SRectWH rect{0, 0, 20, 20};
  EXPECT_TRUE(DrawImageAsLayer(ours, source, point, true, layer, rect));
  TPoint point2{4, 4};
  SRectWH rect2{0, 0, 20, 20};
  source.CombineTo(theirs, point2, rect2, 99, SoftLightSrcOp);
  EXPECT_TRUE(SameImages(ours, theirs));
  // Opacity 0 draws nothing.
  layer.opacity = 0;
  TMTC again(ours);
  TPoint point3{0, 0};
  SRectWH rect3{0, 0, 20, 20};
  EXPECT_FALSE(DrawImageAsLayer(ours, source, point3, false, layer, rect3));
  EXPECT_TRUE(SameImages(ours, again));
}

TEST_F(BlendModeTest, LegacyImageOpsAndNeutralFill) {
  TestRng rng;
  TMTC source(10, 10), display(10, 10);
  FillRandom(source, rng);
  FillRandom(display, rng);
  const PixelOp ops[] = {MultiplyOp, AddOp, SubtractOp, PixelBlendSourceAlpha, PixelBlendSourceAlpha};
  for (int32_t kind = 0; kind < 5; ++kind) {
    TMTC ours(display), theirs(display);
    ApplyLegacyImageOp(ours, source, SRectWH{1, 1, 5, 5}, TPoint{3, 3}, 140, kind);
    source.CombineToCoords(theirs, 1, 1, 5, 5, 3, 3, 140, ops[kind]);
    EXPECT_TRUE(SameImages(ours, theirs)) << kind;
  }
  const TMTC before(display);
  FillImageNeutral(display, kModeOverlay);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x)
      ASSERT_EQ(display.GetPixel(x, y), (before.GetPixel(x, y) & 0xFF000000u) | 0x7F7F7Fu);
}

// ---- Tiled stores --------------------------------------------------------------------------------

// A store with committed tiles of random pixels, uncommitted tiles with opaque and transparent
// fills, and untouched tiles.
void FillStore(CBlockVMTC& store, TestRng& rng) {
  for (int32_t ty = 0; ty < store.TilesDown(); ++ty) {
    for (int32_t tx = 0; tx < store.TilesAcross(); ++tx) {
      const uint32_t kind = rng.Next() % 4;
      SRectWH rect{tx * 32, ty * 32, 32, 32};
      if (kind == 0) {
        for (int32_t y = rect.top; y < rect.top + 32 && y < store.Height(); ++y)
          for (int32_t x = rect.left; x < rect.left + 32 && x < store.Width(); ++x)
            store.SetPixel(x, y, rng.Pixel());
      } else if (kind == 1) {
        store.FillRect(rect, rng.Pixel() | 0x80000000u);
      } else if (kind == 2) {
        store.FillRect(rect, rng.Next() & 0x00FFFFFFu);
      }
    }
  }
}

void ExpectSameStores(const CBlockVMTC& a, const CBlockVMTC& b, const char* what) {
  for (int32_t y = 0; y < a.Height(); ++y)
    for (int32_t x = 0; x < a.Width(); ++x)
      ASSERT_EQ(a.GetPixel(x, y), b.GetPixel(x, y)) << what << " at " << x << "," << y;
  EXPECT_EQ(a.CommittedTileCount(), b.CommittedTileCount()) << what;
  EXPECT_EQ(a.ContentRects().count, b.ContentRects().count) << what;
}

class BlendStoreTest : public BlendModeTest {
 protected:
  void SetUp() override {
    BlendModeTest::SetUp();
    ASSERT_TRUE(lower.Create(150, 100));
    ASSERT_TRUE(upper.Create(130, 90));
    FillStore(lower, rng);
    FillStore(upper, rng);
  }
  void TearDown() override {
    ResetAddressSpaceSettings();
    BlendModeTest::TearDown();
  }
  TestRng rng;
  CBlockVMTC lower, upper;
};

TEST_F(BlendStoreTest, CombineLayerStoresMergesWithTheUpperModesRoutine) {
  for (uint32_t mode : {0u, 1u, 3u, 4u, 5u, 8u, 10u, 11u, 17u}) {
    SCOPED_TRACE(mode);
    CBlockVMTC ours(lower), theirs(lower);
    SBlendLayer lo, up;
    lo.opacity = 180;
    up.mode = static_cast<uint8_t>(mode);
    up.opacity = 140;
    TPoint point{17, -9};  // not on a tile border
    SRectWH rect{5, 3, 120, 85};
    EXPECT_TRUE(CombineLayerStores(ours, lo, upper, up, point, rect));
    EXPECT_EQ(lo.opacity, 255);
    TPoint point2{17, -9};
    SRectWH rect2{5, 3, 120, 85};
    theirs.CombineFrom(upper, point2, rect2, 180, 140, GetMergeRoutine(mode).pixel);
    ExpectSameStores(ours, theirs, "combine");
  }
}

// Regression: an upper layer of opacity 0 made the store walk do nothing while the lower layer's
// opacity was still replaced by 255, so the lower layer lost its opacity. Its alphas now take the
// opacity over the area the walk covers, as a merge of a contribution of nothing would.
TEST_F(BlendStoreTest, MergingAnUpperLayerOfOpacityZeroKeepsTheLowerLayersOpacity) {
  for (bool composite : {false, true}) {
    CBlockVMTC merged(lower);
    SBlendLayer lo, up;
    lo.opacity = 100;
    up.mode = kModeScreen;
    up.opacity = 0;
    TPoint point{20, 10};
    SRectWH rect{0, 0, 130, 90};
    if (composite)
      CompositeLayerStores(merged, lo, upper, up, point, 0x10000, rect);
    else
      CombineLayerStores(merged, lo, upper, up, point, rect);
    EXPECT_EQ(lo.opacity, 255);
    for (int32_t y = 0; y < lower.Height(); ++y) {
      for (int32_t x = 0; x < lower.Width(); ++x) {
        const uint32_t before = lower.GetPixel(x, y);
        const bool inside = x >= 20 && y >= 10;  // the upper store reaches past the lower's edges
        const uint32_t expected =
            inside ? (before & 0x00FFFFFFu) | (uint32_t{MulTable[before >> 24][100]} << 24) : before;
        ASSERT_EQ(merged.GetPixel(x, y), expected) << composite << " at " << x << "," << y;
      }
    }
  }
}

// Regression: the merge of the main menu (zero-alpha option) into a subtract layer inverted the
// whole lower store after the composite, so lower pixels under transparent upper pixels (and
// beyond the upper store) came out inverted: FF204060 became FFDFBF9F. Only what the composite
// rewrote is inverted now.
TEST(BlendStores, SubtractMergeWithZeroAlphaKeepsPixelsTheUpperLayerDoesNotCover) {
  for (uint32_t word : {3u, 0x10003u}) {
    CBlockVMTC lower(96, 64), upper(64, 64);
    lower.FillAll(0xFF204060u);
    upper.FillAll(0x00FFFFFFu);
    SRectWH opaque{0, 0, 32, 64};
    upper.FillRect(opaque, 0xFF80C000u);
    SBlendLayer lo, up;
    lo.mode = kModeSubtract;
    up.mode = kModeNormal;
    TPoint point{0, 0};
    SRectWH rect{0, 0, 64, 64};
    ASSERT_TRUE(CompositeLayerStores(lower, lo, upper, up, point, word, rect));
    // Beyond the upper store and under its transparent half the subtract pixels stay.
    EXPECT_EQ(lower.GetPixel(80, 10), 0xFF204060u) << word;
    EXPECT_EQ(lower.GetPixel(40, 10), 0xFF204060u) << word;
    // Under its opaque half the lower layer subtracts what leaves the upper colour on white.
    EXPECT_EQ(lower.GetPixel(10, 10), 0xFF7F3FFFu) << word;
  }
}

TEST_F(BlendStoreTest, CompositeLayerStoresInvertsASubtractLowerLayerAfterADescriptorComposite) {
  // Normal upper into a subtract lower: descriptor, then the colours the composite rewrote
  // inverted (the whole walked area without the zero-alpha option; nothing beyond it).
  {
    CBlockVMTC ours(lower), theirs(lower);
    SBlendLayer lo, up;
    lo.mode = kModeSubtract;
    lo.opacity = 200;
    up.mode = kModeNormal;
    up.opacity = 255;
    TPoint point{0, 0};
    SRectWH rect{0, 0, 130, 90};
    EXPECT_TRUE(CompositeLayerStores(ours, lo, upper, up, point, 3, rect));
    EXPECT_EQ(lo.opacity, 255);
    TPoint point2{0, 0};
    SRectWH rect2{0, 0, 130, 90};
    const SCompositeOps ops = LayerCompositeOps(kModeSubtract, kModeNormal, false);
    theirs.CompositeFromWith(upper, point2, rect2, 200, 255, CompositeWithOps{&ops});  // pixel by pixel
    SRectWH walked{0, 0, 130, 90};
    theirs.XorRect(walked, 0x00FFFFFFu);
    ExpectSameStores(ours, theirs, "subtract lower");
  }
  // Two subtract layers: the (2, 2) pair adds them, no inversion.
  {
    CBlockVMTC ours(lower), theirs(lower);
    SBlendLayer lo, up;
    lo.mode = kModeSubtract;
    up.mode = kModeSubtract;
    up.opacity = 100;
    TPoint point{33, 1};
    SRectWH rect{0, 0, 130, 90};
    EXPECT_TRUE(CompositeLayerStores(ours, lo, upper, up, point, 0, rect));
    TPoint point2{33, 1};
    SRectWH rect2{0, 0, 130, 90};
    theirs.CombineFrom(upper, point2, rect2, 255, 100, PixelAddOverOpaque);
    ExpectSameStores(ours, theirs, "two subtract");
  }
  // Other pairs, with and without the zero-alpha option.
  for (uint32_t modes : {0x0304u, 0x0E05u, 0x0003u, 0x0A0Bu}) {
    const uint8_t lm = static_cast<uint8_t>(modes >> 8), um = static_cast<uint8_t>(modes & 0xFF);
    for (uint32_t word : {0u, 0x10002u}) {
      CBlockVMTC ours(lower), theirs(lower);
      SBlendLayer lo, up;
      lo.mode = lm;
      lo.opacity = 77;
      up.mode = um;
      up.opacity = 222;
      TPoint point{-40, 20};
      SRectWH rect{0, 0, 130, 90};
      CompositeLayerStores(ours, lo, upper, up, point, word, rect);
      TPoint point2{-40, 20};
      SRectWH rect2{0, 0, 130, 90};
      if (const SBlendPair* pair = FindBlendPair(lm, um, word & 0xFFFF))
        theirs.CombineFrom(upper, point2, rect2, 77, 222, pair->routine.pixel);
      else {
        const SCompositeOps ops = LayerCompositeOps(lm, um, (word >> 16) & 1);
        theirs.CompositeFromWith(upper, point2, rect2, 77, 222, CompositeWithOps{&ops});  // pixel by pixel
      }
      ExpectSameStores(ours, theirs, "pair");
    }
  }
  // A mode above 21 draws nothing.
  SBlendLayer lo, up;
  up.mode = 30;
  TPoint point{0, 0};
  SRectWH rect{0, 0, 10, 10};
  CBlockVMTC copy(lower);
  EXPECT_FALSE(CompositeLayerStores(copy, lo, upper, up, point, 0, rect));
  ExpectSameStores(copy, lower, "bad mode");
}

TEST_F(BlendStoreTest, BlendLayerStoreIntoImageDrawsThroughThePairOrTheContentRectangles) {
  TMTC image(160, 110);
  FillRandom(image, rng);
  for (uint32_t c : {0x00002u, 0x00000u, 0x30003u, 0x40000u, 0x40003u, 0x110000u}) {
    const uint8_t mode = static_cast<uint8_t>(c >> 16);
    const uint32_t word = c & 0xFFFFu;
    for (uint32_t option : {0u, kModeWordZeroAlpha}) {
      SBlendLayer layer;
      layer.mode = mode;
      layer.opacity = 201;
      TMTC ours(image), theirs(image);
      TPoint point{7, 3};
      SRectWH rect{0, 0, 130, 90};
      BlendLayerStoreIntoImage(upper, layer, ours, point, word | option, rect);
      TPoint point2{7, 3};
      SRectWH rect2{0, 0, 130, 90};
      if (const SBlendPair* pair = FindBlendPair(3, mode, word))
        upper.CombineToImage(theirs, point2, rect2, 255, 201, pair->routine.pixel);
      else {
        const SCompositeOps ops = LayerCompositeOps(3, mode, option != 0);
        upper.CompositeToImageWith(theirs, point2, rect2, 255, 201, CompositeWithOps{&ops});  // pixel by pixel
      }
      EXPECT_TRUE(SameImages(ours, theirs)) << "mode " << int(mode) << " word " << word << " option " << option;
    }
  }
}

// Regression: a layer combination committed destination tiles piece by piece, so a refused
// commit left the lower store half merged. Every tile is now committed first; when one is
// refused nothing changes, the lower layer's opacity included, and the result is false.
TEST_F(BlendStoreTest, RefusedCommitLeavesTheLowerLayerAsItWas) {
  struct Case {
    uint8_t lowerMode, upperMode;
    uint32_t word;  // 0xFFFFFFFF: CombineLayerStores
  };
  for (const Case c : {Case{3, 4, 0xFFFFFFFFu}, Case{3, 3, 3}, Case{2, 3, 0x10003u}, Case{5, 14, 0}}) {
    for (int refusals = 1; refusals <= 3; ++refusals) {
      SCOPED_TRACE(testing::Message() << int(c.lowerMode) << "," << int(c.upperMode) << " word " << c.word
                                      << " refusal " << refusals);
      CBlockVMTC merged(lower);
      const int32_t committed = merged.CommittedTileCount();
      SBlendLayer lo, up;
      lo.mode = c.lowerMode;
      lo.opacity = 150;
      up.mode = c.upperMode;
      up.opacity = 200;
      TPoint point{17, 9};
      SRectWH rect{0, 0, 130, 90};
      // Let refusals - 1 commits through, then refuse the next.
      SetCommitBudget(CommittedBytesTotal() + static_cast<uint64_t>(refusals - 1) * 4096);
      const bool result = c.word == 0xFFFFFFFFu
                              ? CombineLayerStores(merged, lo, upper, up, point, rect)
                              : CompositeLayerStores(merged, lo, upper, up, point, c.word, rect);
      SetCommitBudget(0);
      ASSERT_FALSE(result);
      EXPECT_EQ(lo.opacity, 150);
      EXPECT_EQ(merged.CommittedTileCount(), committed);
      ExpectSameStores(merged, lower, "refused");
    }
  }
}

TEST_F(BlendStoreTest, FillNeutralAllKeepsAlphaAndCommitsNothing) {
  CBlockVMTC store(64, 64);
  store.SetPixel(3, 3, 0x80123456u);
  EXPECT_TRUE(FillNeutralAll(store, kModeSoftLight));
  EXPECT_EQ(store.GetPixel(3, 3), 0x807F7F7Fu);
  EXPECT_EQ(store.GetPixel(40, 40), 0x007F7F7Fu);
  EXPECT_EQ(store.CommittedTileCount(), 1);
}

}  // namespace
}  // namespace tf
