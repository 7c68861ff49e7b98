#include "paint/StrokeParam.h"

#include <gtest/gtest.h>

#include <limits>

namespace tf {
namespace {

TEST(StrokeParam, DefaultsAndAccessors) {
  SStrokeParam p;
  InitStrokeParam(p);
  EXPECT_EQ(p.opacity, 1000);
  EXPECT_EQ(p.gamma, 100);
  EXPECT_EQ(p.spacing, 100);
  EXPECT_EQ(p.sizeThreshold1, 0);
  EXPECT_FLOAT_EQ(StrokeParamGetSpacing(p), 0.1f);
  EXPECT_TRUE(StrokeParamSetOpacity(p, 0.5f));
  EXPECT_FALSE(StrokeParamSetOpacity(p, 0.5f));
  EXPECT_EQ(StrokeParamGetOpacityRaw(p), 500);
  EXPECT_TRUE(StrokeParamSetGamma(p, 2.0f));
  EXPECT_EQ(p.gamma, 200);
  // Spacing keeps one hundredth: 0.123 -> 12 hundredths -> 120.
  EXPECT_TRUE(StrokeParamSetSpacing(p, 0.123f));
  EXPECT_EQ(p.spacing, 120);
  EXPECT_TRUE(StrokeParamSetSpacingPercent(p, 25));
  EXPECT_EQ(p.spacing, 250);
}

TEST(StrokeParam, NonFiniteAndHugeValuesConvertSafely) {
  SStrokeParam p;
  InitStrokeParam(p);
  StrokeParamSetOpacity(p, std::numeric_limits<float>::quiet_NaN());
  EXPECT_EQ(p.opacity, 0);
  StrokeParamSetGamma(p, 1e30f);
  EXPECT_EQ(p.gamma, INT32_MAX);
  StrokeParamSetSpacing(p, -1e30f);
  EXPECT_LE(p.spacing, 0);
  StrokeParamSetSpacingPercent(p, INT32_MAX);
  EXPECT_GT(p.spacing, 0);
}

}  // namespace
}  // namespace tf
