#include "raster/LengthUnit.h"

#include <gtest/gtest.h>

namespace tf {
namespace {

struct Conversion {
  uint8_t from, to;
  float value, resolution, expected;
};

TEST(LengthUnitTest, Conversions) {
  const Conversion cases[] = {
      {luPixel, luCm, 300, 300, 2.54f},  {luMm, luPixel, 25.4f, 72, 72},     {luCm, luMm, 1.5f, 1, 15},
      {luPixel, luInch, 150, 300, 0.5f}, {luInch, luPixel, 2, 300, 600},     {luInch, luMm, 1, 1, 25.4f},
      {luCm, luPixel, 2.54f, 100, 100},  {luMm, luCm, 15, 1, 1.5f},          {luMm, luInch, 25.4f, 1, 1},
      {luCm, luInch, 2.54f, 1, 1},       {luPixel + 128, luInch, 72, 72, 1}, {luPixel, luPixel, 7, 0, 7},
  };
  for (const Conversion& c : cases) {
    EXPECT_FLOAT_EQ(ConvertUnit(c.from, c.to, c.value, c.resolution), c.expected)
        << int(c.from) << " -> " << int(c.to) << " of " << c.value;
  }
  EXPECT_EQ(ConvertUnit(luPercent, luPixel, 50, 72), 50.0f);  // no conversion for percent
  EXPECT_EQ(UnitShortNames[luInch], "in");
  EXPECT_EQ(UnitLongNames[luPercent], "%");
}

TEST(LengthUnitTest, Limits) {
  SUnitLimits inch = GetSizeLimits(luInch, 72);
  EXPECT_NEAR(inch.min, 0.1111f, 1e-4);
  EXPECT_NEAR(inch.max, 138.89f, 1e-2);
  for (float r : {1.0f, 72.0f, 600.0f}) {
    SUnitLimits px = GetSizeLimits(luPixel, r);
    EXPECT_EQ(px.min, 8.0f);
    EXPECT_EQ(px.max, 10000.0f);
  }
  SUnitLimits r = GetResolutionLimits(10);
  EXPECT_EQ(r.min, 72.0f);
  EXPECT_EQ(r.max, 600.0f);
  r = GetResolutionLimits(0.05f);
  EXPECT_FLOAT_EQ(r.min, 160.0f);
  EXPECT_EQ(r.max, 600.0f);
  r = GetResolutionLimits(200);
  EXPECT_EQ(r.min, 72.0f);
  EXPECT_EQ(r.max, 50.0f);
}

}  // namespace
}  // namespace tf
