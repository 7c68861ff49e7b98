// The geometry classes, the older multi-light lighting and the older plane projection.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>

#include "document/Mask.h"
#include "filters/FilterRunSupport.h"
#include "filters/InfinitePlane.h"
#include "filters/OlderLighting.h"
#include "filters/Vectors.h"
#include "platform/ByteOrder.h"
#include "raster/BlockVCH.h"
#include "raster/BlockVMTC.h"
#include "raster/FlatImage.h"

namespace tf::test {
namespace {

using LightRecord = SLightRecord;

uint32_t Channel(uint32_t p, int shift) { return (p >> shift) & 0xFFu; }

TEST(VectorMath, SetLengthDistanceAndTurns) {
  TVector3 zero;
  zero.SetLength(5.0);
  EXPECT_EQ(zero.x, 0.0f);
  EXPECT_EQ(zero.y, 0.0f);
  EXPECT_EQ(zero.z, 0.0f);
  TVector3 a;
  a.Set(3.0, -4.0, 12.0);
  EXPECT_EQ(a.Distance(a), 0.0);
  EXPECT_DOUBLE_EQ(a.Length(), 13.0);
  a.SetLength(26.0);
  EXPECT_FLOAT_EQ(a.x, 6.0f);
  EXPECT_FLOAT_EQ(a.z, 24.0f);

  // (0, 0, -1) turned by the tilt p about y, then by the direction t about z.
  const double t = 0.7, p = 0.4;
  TVector3 d;
  d.Set(0.0, 0.0, -1.0);
  d.RotateY(p);
  d.RotateZ(t);
  EXPECT_NEAR(d.x, std::cos(t) * std::sin(p), 1e-6);
  EXPECT_NEAR(d.y, std::sin(t) * std::sin(p), 1e-6);
  EXPECT_NEAR(d.z, -std::cos(p), 1e-6);

  TVector2 v;
  v.x = 1.0f;
  v.Rotate(std::numbers::pi / 2);
  EXPECT_NEAR(v.x, 0.0f, 1e-7);
  EXPECT_NEAR(v.y, 1.0f, 1e-7);
  v.Scale(3.0);
  EXPECT_FLOAT_EQ(v.Length(), 3.0f);
}

// Ambient level 100 with a white ambient colour adds nothing of its own.
TLighting NeutralLighting() {
  TLighting lighting;
  lighting.SetAmbient(0x00FFFFFFu, 100);
  return lighting;
}

TEST(OlderLighting, BlackLightAddsHalfStrengthUnderItself) {
  TLighting lighting = NeutralLighting();
  // A point light of colour black at height 0 over pixel (10, 5) of a 20 x 10 rectangle.
  const LightRecord black(0, 100, 0xFF000000u, 100, 0.5f, 0.5f, 0);
  lighting.AddLight(black.bytes, 20, 10);
  EXPECT_EQ(lighting.LightPixel(0xFF000000u, 10, 5), 0xFF808080u);
  // Farther away the cosine falloff takes over; beyond the range nothing is added.
  const uint32_t near = lighting.LightPixel(0xFF000000u, 12, 5);
  EXPECT_LT(Channel(near, 0), 128u);
  EXPECT_GT(Channel(near, 0), 100u);
  EXPECT_EQ(lighting.LightPixel(0xFF102030u, 10 + 20, 5), 0xFF102030u);
  // Level 0 takes 255 off every channel.
  lighting.SetAmbient(0x00FFFFFFu, 0);
  EXPECT_EQ(lighting.LightPixel(0xFFFFFFFFu, 40, 5), 0xFF000000u);
}

TEST(OlderLighting, ALightOutOfReachEndsTheVisit) {
  const LightRecord far(0, 100, 0xFF000000u, 1, 10.0f, 10.0f, 0);     // never reaches (0..20)
  const LightRecord here(0, 100, 0xFF000000u, 100, 0.5f, 0.5f, 0);   // over pixel (10, 5)
  TLighting blocked = NeutralLighting();
  blocked.AddLight(far.bytes, 20, 10);
  blocked.AddLight(here.bytes, 20, 10);
  EXPECT_EQ(blocked.LightPixel(0xFF000000u, 10, 5), 0xFF000000u);
  TLighting open = NeutralLighting();
  open.AddLight(here.bytes, 20, 10);
  open.AddLight(far.bytes, 20, 10);
  EXPECT_EQ(open.LightPixel(0xFF000000u, 10, 5), 0xFF808080u);
  // A point light on the pixel ends the visit after adding in full: nothing of the next light.
  TLighting twice = NeutralLighting();
  twice.AddLight(here.bytes, 20, 10);
  twice.AddLight(here.bytes, 20, 10);
  EXPECT_EQ(twice.LightPixel(0xFF000000u, 10, 5), 0xFF808080u);
}

TEST(OlderLighting, SeventeenthLightIsIgnored) {
  TLighting lighting = NeutralLighting();
  const LightRecord light(0, 10, 0xFF000000u, 100, 0.5f, 0.5f, 0);
  for (int32_t i = 0; i < 17; ++i) lighting.AddLight(light.bytes, 20, 10);
  EXPECT_EQ(lighting.LightCount(), 16);
  lighting.Clear();
  EXPECT_EQ(lighting.LightCount(), 0);
}

TEST(OlderLighting, SpotLightsTheConeBelowIt) {
  TLighting lighting = NeutralLighting();
  // Straight down (tilt 0) from height 10 % of 100 pixels, spread 50 %: threshold 0.5.
  const LightRecord spot(2, 100, 0xFFFFFFFFu, 200, 0.5f, 0.5f, 10, 0.0f, 0.0f, 50);
  lighting.AddLight(spot.bytes, 100, 100);
  const TLight& l = lighting.Light(0);
  EXPECT_NEAR(l.direction.z, -1.0f, 1e-6);
  EXPECT_DOUBLE_EQ(l.coneThreshold, 0.5);
  EXPECT_DOUBLE_EQ(l.red, 255.5);
  const uint32_t under = lighting.LightPixel(0xFF000000u, 50, 50);
  EXPECT_GT(Channel(under, 16), 200u);
  // 30 pixels aside: the angle from the axis (cos 10/sqrt(1000) = 0.32) leaves the cone.
  EXPECT_EQ(lighting.LightPixel(0xFF000000u, 80, 50), 0xFF000000u);
  // A light at height 0 has no direction: it lights nothing.
  TLighting flat = NeutralLighting();
  const LightRecord low(1, 100, 0xFFFFFFFFu, 200, 0.5f, 0.5f, 0, 0.0f, 0.0f, 50);
  flat.AddLight(low.bytes, 100, 100);
  EXPECT_EQ(flat.LightPixel(0xFF000000u, 52, 50), 0xFF000000u);
}

TEST(OlderLighting, RenderWritesCoveredPixelsKeepingAlpha) {
  CBlockVMTC source(8, 4), dest(8, 4);
  ASSERT_TRUE(source.IsValid() && dest.IsValid());
  SRectWH all{0, 0, 8, 4};
  source.FillRect(all, 0x80102030u);
  dest.FillRect(all, 0x40000000u);
  auto mask = CMaskData::Create(0, 10, 6);
  ASSERT_TRUE(mask);
  // Mask store points (x + 2, y + 2): pixel (1, 1) full, (2, 1) half, the rest 0.
  mask->Store()->SetPixel(3, 3, 255);
  mask->Store()->SetPixel(4, 3, 128);
  TLighting lighting;
  lighting.SetAmbient(0x00FFFFFFu, 100);
  ASSERT_TRUE(lighting.Render(&source, &dest, TPoint{2, 2}, mask.get()));
  EXPECT_EQ(dest.GetPixel(1, 1), 0x40102030u);
  const uint32_t half = dest.GetPixel(2, 1);
  EXPECT_EQ(half >> 24, 0x40u);
  EXPECT_GT(Channel(half, 16), 0u);
  EXPECT_LT(Channel(half, 16), 0x10u);
  EXPECT_EQ(dest.GetPixel(0, 0), 0x40000000u);
  EXPECT_FALSE(lighting.Render(nullptr, &dest, TPoint{0, 0}, nullptr));
}

TEST(InfinitePlane, SetupFogLimitAndRefusals) {
  CInfinitePlane plane;
  ASSERT_TRUE(plane.Setup(40, 24, 100));
  EXPECT_EQ(plane.GridWidth(), 41);
  EXPECT_EQ(plane.GridHeight(), 25);
  EXPECT_EQ(plane.Quarter(), 16);
  EXPECT_EQ(plane.FogLimit(), 200 * 16);
  ASSERT_TRUE(plane.Setup(40, 24, 0));  // raised to 1
  EXPECT_EQ(plane.FogLimit(), static_cast<int32_t>(std::trunc(std::pow(0.01, 1.5) * 199 * 16 + 16)));
  // A grid whose bytes pass 32 bits (and any sane limit) is refused, not wrapped.
  EXPECT_FALSE(plane.Setup(2000000000, 2000000000, 50));
  EXPECT_EQ(plane.GridWidth(), 0);
  EXPECT_FALSE(plane.Setup(-1, 4, 50));
}

TEST(InfinitePlane, ParallelRayAndSides) {
  CInfinitePlane plane;
  ASSERT_TRUE(plane.Setup(8, 8, 50));
  plane.SetCamera(0.0, 5.0, 0.0, 0.0, 0.0, 0.0);
  TMTC texture(4, 4);
  plane.Project(&texture, &texture, 10.0, 0.0);
  // Pitch 0 and distance 0: L = Y = r - 4.5, so the upper rows see the plane below (side 0),
  // the lower rows the plane above.
  EXPECT_EQ(plane.Side(0, 0), 0);
  EXPECT_EQ(plane.Side(0, 8), 1);
  // A ray parallel to the planes: on a grid of even height row 4 has Y = 0, so L = 0.
  CInfinitePlane even;
  ASSERT_TRUE(even.Setup(8, 7, 50));  // grid 9 x 8
  even.SetCamera(0.0, 5.0, 0.0, 0.0, 0.0, 0.0);
  even.Project(&texture, &texture, 10.0, 0.0);
  EXPECT_EQ(std::fabs(even.V(3, 4)), 1073741824.0);
  EXPECT_EQ(even.U(3, 4), 0.0);
  EXPECT_EQ(even.Distance(3, 4), even.FogLimit());
  // The far coordinate becomes a position inside the texture, not an overflowed 16.16 value.
  EXPECT_EQ(TexelToFix(1073741824.0, 256), 0);
  EXPECT_EQ(TexelToFix(-1.5, 4), -98304);
  EXPECT_EQ(TexelToFix(5.25, 4), 81920);
}

TEST(InfinitePlane, RenderReplacesCoveredPixelsAndNeedsItsTextures) {
  CInfinitePlane plane;
  ASSERT_TRUE(plane.Setup(6, 6, 100));
  plane.SetCamera(0.0, 5.0, 0.0, 0.0, 0.0, 0.0);
  TMTC texture(4, 4);
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 4; ++x) *texture.Pixel(x, y) = 0xFF336699u;
  plane.Project(&texture, &texture, 10.0, 3.0);
  CBlockVMTC dest(6, 6);
  ASSERT_TRUE(dest.IsValid());
  // Colour fog, opacity 100 (term 510), infinite distance, replacing: every pixel becomes the
  // texture colour overpainted with the fog colour by the fog amount, at full weight.
  ASSERT_TRUE(plane.Render(&dest, 0x00000000u, false, TPoint{0, 0}, nullptr, true, false, false, 510));
  for (int32_t y = 0; y < 6; ++y)
    for (int32_t x = 0; x < 6; ++x) EXPECT_EQ(dest.GetPixel(x, y) >> 24, 0xFFu) << x << "," << y;
  // Transparent fog on an alpha-protected layer keeps every alpha.
  SRectWH d{0, 0, 6, 6};
  dest.FillRect(d, 0x20FFFFFFu);
  ASSERT_TRUE(plane.Render(&dest, 0, true, TPoint{0, 0}, nullptr, true, true, true, 510));
  for (int32_t y = 0; y < 6; ++y)
    for (int32_t x = 0; x < 6; ++x) EXPECT_EQ(dest.GetPixel(x, y) >> 24, 0x20u);
  plane.Project(nullptr, &texture, 10.0, 3.0);
  EXPECT_FALSE(plane.Render(&dest, 0, false, TPoint{0, 0}, nullptr, true, false, false, 510));
}

}  // namespace
}  // namespace tf::test
