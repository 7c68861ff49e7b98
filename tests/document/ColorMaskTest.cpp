#include "document/ColorMask.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "document/Mask.h"
#include "raster/BlockVCH.h"
#include "raster/BlockVMTC.h"

namespace tf {
namespace {

// The coverage stated on its own: 255 within the limit, nothing from 1.5 times the limit on, and
// in between 512 x (1.5 - d / limit), truncated, with the quotient taken in single precision.
int32_t ExpectedCoverage(int32_t d, int32_t limit) {
  if (limit == 0) return d == 0 ? 255 : 0;
  if (d <= limit) return 255;
  if (2 * int64_t{d} >= 3 * int64_t{limit}) return 0;
  const float q = static_cast<float>(d) / static_cast<float>(limit);
  return static_cast<int32_t>((1.5f - q) * 512.0f);
}

TEST(ColorRangeCoverage, MatchesTheClosedFormForEveryDistanceAndRange) {
  for (int32_t range : {1, 2, 3, 7, 50, 100, 128, 200, 255}) {
    const int32_t limit = 2 * range * range;
    for (int32_t d = 0; d <= 3 * 255 * 255; ++d)
      ASSERT_EQ(ColorRangeCoverage(d, limit), ExpectedCoverage(d, limit)) << "range " << range << " d " << d;
  }
  EXPECT_EQ(ColorRangeCoverage(0, 0), 255);
  EXPECT_EQ(ColorRangeCoverage(1, 0), 0);
}

TEST(ColorRangeCoverage, RangeFiftyFallsFrom255To0BetweenTheLimitAndOneAndAHalfTimesIt) {
  EXPECT_EQ(ColorRangeCoverage(5000, 5000), 255);
  EXPECT_EQ(ColorRangeCoverage(6000, 5000), 153);
  EXPECT_EQ(ColorRangeCoverage(7499, 5000), 0);  // trunc(0.0002 x 512)
  EXPECT_EQ(ColorRangeCoverage(7500, 5000), 0);
  EXPECT_EQ(ColorRangeCoverage(20000, 5000), 0);
}

class ColorMaskTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(store.Create(8, 4));
    store.FillAll(0xFF808080u);
    store.SetPixel(0, 0, 0xFF0000FFu);  // the picked blue
    store.SetPixel(1, 0, 0x000000FFu);  // blue, alpha 0
    store.SetPixel(2, 0, 0x010000FFu);  // blue, alpha 1
    store.SetPixel(3, 0, 0x800000FFu);  // blue, half transparent
    store.SetPixel(4, 0, 0xFF0000C4u);  // blue at distance 59^2 = 3481
    store.SetPixel(5, 0, 0x800000C4u);
    ASSERT_TRUE(channel.Resize(8, 4));
  }
  CBlockVMTC store;
  TChannel channel;
  SColorRangeSettings settings;
};

TEST_F(ColorMaskTest, AddsCoverageAndSelectsPartlyTransparentPixelsMoreStrongly) {
  const SColorEntry blue{0xFF0000FFu, 1, 50, {0, 0}};  // limit 5000
  CColorMask mask;
  mask.Bind(settings, &store, TPoint{0, 0}, nullptr, &channel);
  ASSERT_TRUE(mask.Compute(&blue, 1));
  EXPECT_EQ(channel.GetPixel(0, 0), 255);
  EXPECT_EQ(channel.GetPixel(1, 0), 0);  // alpha 0 and 1 are never selected
  EXPECT_EQ(channel.GetPixel(2, 0), 0);
  EXPECT_EQ(channel.GetPixel(3, 0), 255);  // full coverage is not raised
  EXPECT_EQ(channel.GetPixel(4, 0), 255);  // within the limit
  // The grey at distance 2 x 128^2 + 127^2 is past 1.5 x the limit: nothing.
  EXPECT_EQ(channel.GetPixel(7, 3), 0);
  EXPECT_EQ(mask.selectedCount, 4);
  EXPECT_EQ(mask.fullCount, 4);
  EXPECT_EQ(mask.unselectedCount, 32 - 4);

  // A smaller range: partial coverage e, and about 1.5 e at alpha 0x80.
  channel.Fill(0);
  const SColorEntry tight{0xFF0000FFu, 1, 40, {0, 0}};  // limit 3200: x = 1.5 - 1.0878 = 0.412
  ASSERT_TRUE(mask.Compute(&tight, 1));
  const int32_t e = ColorRangeCoverage(3481, 3200);
  EXPECT_EQ(channel.GetPixel(4, 0), e);
  EXPECT_EQ(channel.GetPixel(5, 0), std::min(255, e + e * (255 - 0x80) / 255));
}

TEST_F(ColorMaskTest, RemoveEntriesTakeCoverageAwayAndNothingButRemovesSelectsNothing) {
  const SColorEntry entries[2] = {{0xFF808080u, 1, 10, {0, 0}}, {0xFF808080u, 0, 10, {0, 0}}};
  CColorMask mask;
  mask.Bind(settings, &store, TPoint{0, 0}, nullptr, &channel);
  ASSERT_TRUE(mask.Compute(entries, 2));
  EXPECT_EQ(mask.selectedCount, 0);
  channel.Fill(0);
  ASSERT_TRUE(mask.Compute(entries + 1, 1));
  EXPECT_EQ(mask.selectedCount, 0);
}

TEST_F(ColorMaskTest, PixelsOutsideTheSelectionStayZeroAndAreNotCounted) {
  auto selection = CMaskData::Create(0, 4, 4);
  selection->Store()->SetPixel(2, 1, 200);  // store (2, 1) = source (4, 3) at offset (-2, -2)
  const SColorEntry grey{0xFF808080u, 1, 10, {0, 0}};
  CColorMask mask;
  mask.Bind(settings, &store, TPoint{-2, -2}, selection.get(), &channel);
  ASSERT_TRUE(mask.Compute(&grey, 1));
  EXPECT_EQ(channel.GetPixel(4, 3), 255);
  EXPECT_EQ(mask.selectedCount, 1);
  EXPECT_EQ(mask.selectedCount + mask.unselectedCount, 1);
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 8; ++x)
      if (x != 4 || y != 3) {
        EXPECT_EQ(channel.GetPixel(x, y), 0) << x << "," << y;
      }
}

TEST_F(ColorMaskTest, UnboundOrTooSmallChannelIsRefused) {
  CColorMask mask;
  const SColorEntry grey{0xFF808080u, 1, 10, {0, 0}};
  EXPECT_FALSE(mask.Compute(&grey, 1));
  TChannel small(4, 4);
  mask.Bind(settings, &store, TPoint{0, 0}, nullptr, &small);
  EXPECT_FALSE(mask.Compute(&grey, 1));
}

}  // namespace
}  // namespace tf
