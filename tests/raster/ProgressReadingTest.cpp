#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "raster/ProgressReading.h"

namespace tf {
namespace {

TEST(ProgressReading, TimesSplitIntoHoursMinutesSecondsAndMilliseconds) {
  struct Case {
    uint32_t ms;
    SSplitTime split;
  } cases[] = {
      {0, {0, 0, 0, 0}},
      {3723456, {1, 2, 3, 456}},
      {90061001, {25, 1, 1, 1}},  // hours are not limited to 23
      {59999, {0, 0, 59, 999}},
      {UINT32_MAX, {1193, 2, 47, 295}},
  };
  for (const Case& c : cases) EXPECT_EQ(SplitTime(c.ms), c.split) << c.ms;
}

TEST(ProgressReading, RemainingTimeIsFormedIn64BitsAndNeverNegative) {
  EXPECT_EQ(ProgressRemaining(600000, 1000, 100000), 59400000u);  // 16:30:00.000
  EXPECT_EQ(ProgressRemaining(123456, 0, 100), 0u);               // nothing done yet
  EXPECT_EQ(ProgressRemaining(123456, -5, 100), 0u);
  EXPECT_EQ(ProgressRemaining(5000, 150, 100), 0u);               // more than the total done
  EXPECT_EQ(ProgressRemaining(5000, 100, 100), 0u);
  EXPECT_EQ(ProgressRemaining(UINT32_MAX, 1, INT32_MAX), UINT32_MAX);  // saturates
  // The wrapping clock: a start just before the wrap still gives the span.
  EXPECT_EQ(ProgressElapsed(100, UINT32_MAX - 99), 200u);
}

TEST(ProgressReading, BarWidthRoundsToTheNearestPixelWithinTheArea) {
  struct Case {
    SRatio progress;
    int32_t inner;
    int32_t width;
  } cases[] = {
      {{0, 100}, 96, 0},    {{50, 200}, 96, 24},  {{50, 200}, 98, 25},  // 24.5 rounds up
      {{200, 200}, 96, 96}, {{300, 200}, 96, 96}, {{1, 0}, 96, 96},     // total 0 is 32767: held
      {{-5, 100}, 96, 0},   {{1, 3}, 0, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ProgressBarWidth(c.progress, c.inner), c.width) << c.progress.numerator << "/" << c.progress.denominator;
}

TEST(ProgressReading, TextsOfTheFourReadings) {
  EXPECT_EQ(ProgressText(kProgressPercent, {0, 100}, 0), "0.00%");
  EXPECT_EQ(ProgressText(kProgressPercent, {50, 200}, 0), "25.00%");
  EXPECT_EQ(ProgressText(kProgressPercent, {1, 8}, 0), "12.50%");
  EXPECT_EQ(ProgressText(kProgressPercent, {5, 0}, 0), "100.00%");   // total 0: limited
  EXPECT_EQ(ProgressText(kProgressPercent, {-3, 10}, 0), "0.00%");
  EXPECT_EQ(ProgressText(kProgressCount, {7, 12}, 0), "7 / 12");
  EXPECT_EQ(ProgressText(kProgressElapsed, {7, 12}, 3723456), "経過: 1:02:03.456");
  EXPECT_EQ(ProgressText(kProgressElapsed, {7, 12}, 90061001), "経過: 25:01:01.001");
  EXPECT_EQ(ProgressText(kProgressRemaining, {0, 12}, 3723456), "残り: 0:00:00.000");
  EXPECT_EQ(ProgressText(kProgressRemaining, {1000, 100000}, 600000), "残り: 16:30:00.000");
  EXPECT_EQ(ProgressText(4, {7, 12}, 0), "");
}

}  // namespace
}  // namespace tf
