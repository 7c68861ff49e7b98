#include "paint/StrokeParam.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
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

// trunc(x * k) of a float x >= 0 in whole numbers: x = m * 2^e with an integer m of 24 bits.
int64_t ExactTrunc(float x, int64_t k) {
  int e = 0;
  const float fraction = std::frexp(x, &e);
  const int64_t m = static_cast<int64_t>(std::ldexp(fraction, 24));
  const int shift = 24 - e;
  return shift >= 0 ? (m * k) >> shift : (m * k) << -shift;
}

// trunc(x * k + 0.5) for the spacing: (2 m k + 2^shift) >> (shift + 1).
int64_t ExactTruncHalf(float x, int64_t k) {
  int e = 0;
  const float fraction = std::frexp(x, &e);
  const int64_t m = static_cast<int64_t>(std::ldexp(fraction, 24));
  const int shift = 24 - e;
  return (2 * m * k + (int64_t{1} << shift)) >> (shift + 1);
}

// The setters once multiplied in single precision, which rounds the product up before the
// truncation: 0.7 gave the opacity 700 instead of 699, and 420 gammas, 44 spacings differed.
TEST(StrokeParam, SettersTruncateTheExactProductOfEveryPercentAndThousandth) {
  SStrokeParam p;
  InitStrokeParam(p);
  StrokeParamSetOpacity(p, 0.7f);
  EXPECT_EQ(p.opacity, 699);
  for (const int32_t denominator : {100, 1000}) {
    for (int32_t n = 1; n <= denominator; ++n) {
      const float x = static_cast<float>(n) / static_cast<float>(denominator);
      SCOPED_TRACE(::testing::Message() << n << "/" << denominator);
      StrokeParamSetOpacity(p, x);
      ASSERT_EQ(p.opacity, ExactTrunc(x, 1000));
      StrokeParamSetGamma(p, x);
      ASSERT_EQ(p.gamma, ExactTrunc(x, 100));
      StrokeParamSetSpacing(p, x);
      ASSERT_EQ(p.spacing, ExactTruncHalf(x, 100) * 10);
      // Gammas of 0.01 to 10 (the setting's range) the same way.
      const float gamma = x * 10.0f;
      StrokeParamSetGamma(p, gamma);
      ASSERT_EQ(p.gamma, ExactTrunc(gamma, 100));
    }
  }
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
