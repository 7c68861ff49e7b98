#include "raster/ProgressReading.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "platform/ResourceText.h"

namespace tf {

SSplitTime SplitTime(uint32_t ms) {
  SSplitTime t{};
  t.hours = ms / 3600000u;
  t.minutes = (ms % 3600000u) / 60000u;
  const uint32_t rest = ms - t.hours * 3600000u - t.minutes * 60000u;
  t.seconds = rest / 1000u;
  t.milliseconds = rest - t.seconds * 1000u;
  return t;
}

uint32_t ProgressRemaining(uint32_t elapsed, int32_t current, int32_t total) {
  if (current <= 0 || total <= current) return 0;
  const uint64_t left = static_cast<uint64_t>(static_cast<int64_t>(total) - current);
  const uint64_t quotient = static_cast<uint64_t>(elapsed) * left / static_cast<uint64_t>(current);
  return quotient > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(quotient);
}

int32_t ProgressBarWidth(const SRatio& progress, int32_t innerWidth) {
  if (innerWidth <= 0) return 0;
  const float fraction = RatioValue(progress);
  if (!(fraction > 0.0f)) return 0;  // negative or NaN: nothing done
  const double width = std::trunc(static_cast<double>(fraction) * innerWidth + 0.5);
  return width >= innerWidth ? innerWidth : static_cast<int32_t>(width);
}

namespace {

std::string TimeText(TextId label, uint32_t ms) {
  const SSplitTime t = SplitTime(ms);
  return TxFormat(label, static_cast<int>(t.hours), static_cast<int>(t.minutes), static_cast<int>(t.seconds),
                  static_cast<int>(t.milliseconds));
}

}  // namespace

std::string ProgressText(uint8_t mode, const SRatio& progress, uint32_t elapsed) {
  switch (mode) {
    case kProgressPercent: {
      float percent = RatioValue(progress) * 100.0f;
      if (std::isnan(percent)) percent = 0.0f;
      percent = std::clamp(percent, 0.0f, 100.0f);
      // to_chars ignores the locale Qt sets at start-up, so the point stays a point.
      char buffer[32];
      const auto result = std::to_chars(buffer, buffer + sizeof buffer - 1, static_cast<double>(percent),
                                        std::chars_format::fixed, 2);
      *result.ptr = '%';
      return std::string(buffer, result.ptr + 1);
    }
    case kProgressCount: {
      char buffer[32];
      std::snprintf(buffer, sizeof buffer, "%d / %d", progress.numerator, progress.denominator);
      return buffer;
    }
    case kProgressElapsed:
      return TimeText(TextId::ProgressElapsed, elapsed);
    case kProgressRemaining:
      return TimeText(TextId::ProgressRemaining,
                      ProgressRemaining(elapsed, progress.numerator, progress.denominator));
    default:
      return {};
  }
}

}  // namespace tf
