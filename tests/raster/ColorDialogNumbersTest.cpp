#include "raster/ColorDialogNumbers.h"

#include <gtest/gtest.h>

#include <numbers>

namespace tf {
namespace {

struct FieldsCase {
  const char* name;
  float r, g, b;
  float h, s, v, u, a, l;
};

TEST(ColorDialogNumbersTest, TypedRgbFillsTheOtherGroups) {
  const FieldsCase cases[] = {
      {"red", 255, 0, 0, 0, 100, 100, 0, 100, 50},
      {"blue wraps to 240", 0, 0, 255, 240, 100, 100, 240, 100, 50},
      {"green", 0, 255, 0, 120, 100, 100, 120, 100, 50},
  };
  for (const auto& c : cases) {
    CColorDialogNumbers n;
    TColorManager colour;
    n.Field(cfR).SetValue(c.r);
    n.Field(cfG).SetValue(c.g);
    n.Field(cfB).SetValue(c.b);
    ASSERT_TRUE(n.ApplyField(cfB, colour));
    SCOPED_TRACE(c.name);
    EXPECT_NEAR(n.Field(cfH).Value(), c.h, 1e-3);
    EXPECT_NEAR(n.Field(cfS).Value(), c.s, 1e-3);
    EXPECT_NEAR(n.Field(cfV).Value(), c.v, 1e-3);
    EXPECT_NEAR(n.Field(cfU).Value(), c.u, 1e-3);
    EXPECT_NEAR(n.Field(cfA).Value(), c.a, 1e-3);
    EXPECT_NEAR(n.Field(cfL).Value(), c.l, 1e-3);
  }
}

TEST(ColorDialogNumbersTest, HueWrapsAndHsvEditsFillUnroundedRgb) {
  CColorDialogNumbers n;
  TColorManager colour;
  n.Field(cfS).SetValue(100);
  n.Field(cfV).SetValue(50);
  n.Field(cfH).SetValue(370);
  EXPECT_EQ(n.Field(cfH).Value(), 10.0f);
  n.ApplyField(cfH, colour);
  EXPECT_NEAR(colour.GetHSV().h, 10 * std::numbers::pi / 180, 1e-6);
  EXPECT_EQ(n.Field(cfU).Value(), 10.0f);
  EXPECT_EQ(n.Field(cfR).Value(), colour.GetRGB().r * 255.0f);  // not rounded
  EXPECT_NE(n.Field(cfG).Value(), static_cast<float>(static_cast<int>(n.Field(cfG).Value())));
  // An HSL edit carries the hue into H.
  n.Field(cfU).SetValue(-90);
  EXPECT_EQ(n.Field(cfU).Value(), 270.0f);
  n.ApplyField(cfU, colour);
  EXPECT_EQ(n.Field(cfH).Value(), 270.0f);
  EXPECT_FALSE(n.ApplyField(9, colour));
}

TEST(ColorDialogNumbersTest, FillFromAColourRounds) {
  CColorDialogNumbers n;
  SColorValue v;
  BGRAToColorValue(0xFF804020, v);
  n.FillFromColor(v);
  EXPECT_EQ(n.Field(cfR).Value(), 128.0f);
  EXPECT_EQ(n.Field(cfG).Value(), 64.0f);
  EXPECT_EQ(n.Field(cfB).Value(), 32.0f);
  EXPECT_EQ(n.Field(cfH).Value(), 20.0f);
  EXPECT_EQ(n.Field(cfU).Value(), 20.0f);
  EXPECT_EQ(ColorDialogFieldOfSpace(cpLHS), cfL);
  EXPECT_EQ(ColorDialogFieldOfSpace(cpGRB), cfG);
  EXPECT_EQ(n.FieldOf(&n.Field(cfA)), cfA);
}

}  // namespace
}  // namespace tf
