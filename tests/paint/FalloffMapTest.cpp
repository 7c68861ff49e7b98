// Falloff tables, air maps, MulDiv and the lightness curve against models written apart.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include "paint/FalloffMap.h"
#include "paint/PixelWriters.h"
#include "raster/SafeConvert.h"

namespace tf {
namespace {

// The curves as single-precision formulas of their own.
float ModelCurve(int kind, float x) {
  switch (kind) {
    case 0: return std::sqrt(1.0f - x * x);
    case 1: return 1.0f - x * x;
    case 2: return (2.0f * x - 3.0f) * x * x + 1.0f;  // the same polynomial, grouped otherwise
    case 4: return std::pow(1.0f - x, std::log(0.3f) / std::log(0.5f));
    case 5: return 1.0f - std::sqrt(1.0f - (1.0f - x) * (1.0f - x));
    default: return 1.0f - x;
  }
}

int32_t ModelEntry(int kind, int core, int floor, int i, int n) {
  const float t = static_cast<float>(i) / static_cast<float>(n - 1);
  const float c = static_cast<float>(core) / 1000.0f;
  const float f = static_cast<float>(floor) / 1000.0f;
  const float g = t - c <= 0.0f ? 1.0f : ModelCurve(kind, (t - c) / (1.0f - c));
  return static_cast<int32_t>((f + g * (1.0f - f)) * 65536.0f * 255.0f);
}

struct FalloffCase {
  int kind, core, floor;
};
void PrintTo(const FalloffCase& c, std::ostream* os) {
  *os << "kind " << c.kind << ", core " << c.core << ", floor " << c.floor;
}

class FalloffTableTest : public ::testing::TestWithParam<FalloffCase> {};

TEST_P(FalloffTableTest, EntriesMatchTheSinglePrecisionModel) {
  const FalloffCase c = GetParam();
  CGradeMapObj map(kFalloffEntries);
  SGradeMap profile{};
  profile.kind = static_cast<uint8_t>(c.kind);
  profile.core = c.core;
  profile.floor = c.floor;
  map.SetProfile(profile);
  ASSERT_TRUE(map.IsValid());
  ASSERT_EQ(map.LastIndex(), 2047);
  int worst = 0;
  for (int i = 0; i < kFalloffEntries; ++i) {
    const int32_t model = ModelEntry(c.kind, c.core, c.floor, i, kFalloffEntries);
    // The smooth curve is grouped differently in the model: one unit of 2^-16 apart at most.
    worst = std::max(worst, std::abs(map.Table()[i] - model));
    ASSERT_GE(map.Table()[i], 0);
    ASSERT_LE(map.Table()[i], 0xFF0000);
  }
  EXPECT_LE(worst, c.kind == 2 ? 64 : 0) << "kind " << c.kind;
}

INSTANTIATE_TEST_SUITE_P(Kinds, FalloffTableTest,
                         ::testing::Values(FalloffCase{0, 0, 0}, FalloffCase{1, 0, 0}, FalloffCase{2, 0, 0},
                                           FalloffCase{3, 0, 0}, FalloffCase{4, 0, 0}, FalloffCase{5, 0, 0},
                                           FalloffCase{255, 0, 0}, FalloffCase{9, 250, 100},
                                           FalloffCase{0, 300, 200}, FalloffCase{4, 500, 0},
                                           FalloffCase{5, 999, 999}, FalloffCase{2, 1000, 0}),
                         [](const ::testing::TestParamInfo<FalloffCase>& info) {
                           return "kind" + std::to_string(info.param.kind) + "_core" +
                                  std::to_string(info.param.core) + "_floor" + std::to_string(info.param.floor);
                         });

TEST(FalloffMap, DefaultProfileHasTheDocumentedEnds) {
  CGradeMapObj map(2048);
  EXPECT_EQ(map.Table()[0], 0xFF0000);
  EXPECT_EQ(map.Table()[2047], 0);
  EXPECT_EQ(map.Table()[1023], static_cast<int32_t>((1.0f - 1023.0f / 2047.0f) * 255.0f * 65536.0f));
}

TEST(FalloffMap, FullCoreOrFullFloorKeepsEveryEntryFull) {
  for (int which = 0; which < 2; ++which) {
    CGradeMapObj map(2048);
    SGradeMap p = map.Profile();
    (which == 0 ? p.core : p.floor) = 1000;
    ASSERT_TRUE(map.SetProfile(p));
    for (int i = 0; i < 2048; ++i) ASSERT_EQ(map.Table()[i], 0xFF0000) << i;
  }
}

TEST(FalloffMap, PowerCurveGivesThreeTenthsAtHalfway) {
  CGradeMapObj map(3);  // entry 1 is t = 0.5
  SGradeMap p = map.Profile();
  p.kind = kGradePower;
  map.SetProfile(p);
  EXPECT_NEAR(map.Table()[1] / 65536.0, 0.3 * 255, 0.01);
}

TEST(FalloffMap, EqualProfileDoesNotRebuild) {
  CGradeMapObj map(2048);
  SGradeMap p = map.Profile();
  EXPECT_FALSE(map.SetProfile(p));
  p.kindRest[0] = 7;  // not part of the comparison
  EXPECT_FALSE(map.SetProfile(p));
  p.floor = 10;
  EXPECT_TRUE(map.SetProfile(p));
}

// A floor or core outside 0..1000 (from a nib set file) gave table entries outside 0..255.
TEST(FalloffMap, FloorAndCoreOutsideTheirRangeAreClampedSoEntriesStayWithin255) {
  CGradeMapObj map(2048);
  SGradeMap p = map.Profile();
  p.floor = 5000;
  p.core = -20;
  map.SetProfile(p);
  EXPECT_EQ(map.Profile().floor, 1000);
  EXPECT_EQ(map.Profile().core, 0);
  p.floor = -3000;
  map.SetProfile(p);
  EXPECT_EQ(map.Profile().floor, 0);
  for (int i = 0; i < 2048; ++i) {
    ASSERT_GE(map.Table()[i], 0);
    ASSERT_LE(map.Table()[i], 0xFF0000);
  }
}

// One entry made the table divide by n - 1 = 0.
TEST(FalloffMap, SizeBelowTwoEntriesIsRefused) {
  CGradeMapObj map(2048);
  EXPECT_FALSE(map.SetSize(1));
  EXPECT_FALSE(map.SetSize(0));
  EXPECT_FALSE(map.SetSize(-5));
  EXPECT_EQ(map.LastIndex(), 2047);
  EXPECT_TRUE(map.SetSize(2));
  EXPECT_EQ(map.Table()[0], 0xFF0000);
  EXPECT_EQ(map.Table()[1], 0);
}

TEST(FalloffMap, ProfileSettersRoundAndClampNonFiniteValues) {
  SGradeMap p{};
  p.Init();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  struct Case {
    float in;
    int32_t out;
  } cases[] = {{0.5f, 500}, {0.0004f, 0}, {0.0005f, 1}, {1.2f, 1000},
               {-0.3f, 0},  {nan, 0},     {inf, 1000},  {-inf, 0}};
  for (const Case& c : cases) {
    p.SetCore(c.in);
    EXPECT_EQ(p.core, c.out) << c.in;
    p.SetFloor(c.in);
    EXPECT_EQ(p.floor, c.out) << c.in;
  }
  p.core = 250;
  EXPECT_FLOAT_EQ(p.SetCore(0.0f), 0.25f);
}

// ---------------------------------------------------------------------------------------------
// MulDiv and the air maps

TEST(MulDiv, RoundsHalvesAwayFromZeroAndFailsWithMinusOne) {
  struct Case {
    int32_t a, b, c, out;
  } cases[] = {
      {5, 1, 2, 3},
      {-5, 1, 2, -3},
      {5, -1, 2, -3},
      {-5, -1, 2, 3},
      {7, 1, 2, 4},
      {4, 1, 3, 1},
      {5, 1, 3, 2},
      {-5, 1, 3, -2},
      {1, 1, 0, -1},
      {0, 7, 0, -1},
      {0x7FFFFFFF, 2, 1, -1},
      {0x7FFFFFFF, 2, 2, 0x7FFFFFFF},
      {-0x7FFFFFFF - 1, 1, 1, -0x7FFFFFFF - 1},
      {255 << 16, 1023, 2047, 8351758},
      {3, 5, 10, 2},
      {-3, 5, 10, -2},
      {1, 1, -2, -1},
  };
  for (const Case& c : cases) EXPECT_EQ(MulDiv(c.a, c.b, c.c), c.out) << c.a << "*" << c.b << "/" << c.c;
}

int32_t ModelMulDiv(int64_t a, int64_t b, int64_t c) {
  const double q = static_cast<double>(a * b) / static_cast<double>(c);
  return static_cast<int32_t>(q < 0 ? -std::floor(-q + 0.5) : std::floor(q + 0.5));
}

TEST(AirMap, EveryKindMatchesItsModel) {
  const int32_t full = 255 << 16;
  std::vector<int32_t> table(kAirMapEntries);
  for (int kind = 0; kind <= 4; ++kind) {
    ASSERT_TRUE(BuildAirMap(static_cast<uint8_t>(kind), table.data()));
    for (int i = 0; i < kAirMapEntries; ++i) {
      const float x = static_cast<float>(i) / 2047.0f;
      int32_t model;
      switch (kind) {
        case 0: model = i < 1844 ? full : full - ModelMulDiv(full, i - 1844, 203); break;
        case 1: model = static_cast<int32_t>(std::sqrt(1.0f - x * x) * 16711680.0f); break;
        case 2: model = static_cast<int32_t>((2.0f * x * x * x - 3.0f * x * x + 1.0f) * 16711680.0f); break;
        case 3: model = ModelMulDiv(full, 2047 - i, 2047); break;
        default: model = static_cast<int32_t>((1.0f - std::sqrt(1.0f - (1.0f - x) * (1.0f - x))) * 16711680.0f);
      }
      ASSERT_EQ(table[i], model) << "kind " << kind << " entry " << i;
    }
  }
  ASSERT_TRUE(BuildAirMap(0, table.data()));
  EXPECT_EQ(table[2047], 0);
  EXPECT_EQ(table[1843], full);
}

// Settings and recordings pass kinds 127 and 255; the builders are dispatched on kind & 0x7F.
TEST(AirMap, KindsOutsideTheFiveBuildersLeaveTheTableAsItIs) {
  std::vector<int32_t> table(kAirMapEntries, 12345);
  for (int kind : {5, 6, 127, 255}) {
    EXPECT_FALSE(BuildAirMap(static_cast<uint8_t>(kind), table.data()));
    for (int32_t v : table) ASSERT_EQ(v, 12345) << kind;
  }
  std::vector<int32_t> linear(kAirMapEntries);
  AirMapLinear(linear.data());
  EXPECT_TRUE(BuildAirMap(128 + 3, table.data()));
  EXPECT_EQ(table, linear);
}

TEST(LightnessCurve, ValuesAndTheClampedIndex) {
  ResetPixelWriters();
  BuildLightnessCurve(2.0f);
  const int32_t* curve = LightnessCurve();
  EXPECT_EQ(curve[0], 0);
  EXPECT_EQ(curve[2047], 65536);
  EXPECT_EQ(curve[1024], static_cast<int32_t>(std::pow(1024.0 / 2047.0, 2.0) * 65536.0));
  EXPECT_EQ(LightnessCurveLookup(0xFF0000), 65536 * 255);
  // Lightness a little above 255.0 reached index 2054.
  EXPECT_EQ(LightnessCurveLookup(0xFFFFFF), 65536 * 255);
  EXPECT_EQ(LightnessCurveLookup(0x7FFFFFFF), 65536 * 255);
  EXPECT_EQ(LightnessCurveLookup(-5 << 16), 0);
  // A negative exponent (EFFECT below -500) made pow infinite before the conversion.
  BuildLightnessCurve(-1.0f);
  for (int i = 0; i < 2048; ++i) ASSERT_LE(LightnessCurve()[i], 65536);
  BuildLightnessCurve(std::numeric_limits<float>::quiet_NaN());
  for (int i = 0; i < 2048; ++i) ASSERT_GE(LightnessCurve()[i], 0);
  ResetPixelWriters();
}

TEST(LightnessCurve, PixelOperatorKeepsAlphaAndFollowsTheCurve) {
  ResetPixelWriters();
  BuildLightnessCurve(1.0f);  // identity: the pixel comes back (up to the HSL round trip)
  uint32_t pixel = 0x80402010u;
  PixelLightnessCurve(&pixel, 0, 255);
  EXPECT_EQ(pixel >> 24, 0x80u);
  BuildLightnessCurve(8.0f);  // darkens
  uint32_t grey = 0x40808080u;
  PixelLightnessCurve(&grey, 0, 255);
  EXPECT_EQ(grey >> 24, 0x40u);
  EXPECT_LT(grey & 0xFFu, 0x80u);
  uint32_t untouched = 0x40808080u;
  PixelLightnessCurve(&untouched, 0, 0);
  EXPECT_EQ(untouched, 0x40808080u);
  ResetPixelWriters();
}

}  // namespace
}  // namespace tf
