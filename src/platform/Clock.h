// The millisecond clock and the UTC wall time, both replaceable in tests.
#pragma once
// Millisecond clock of timers, previews, strokes and random seeds (wrapping 32-bit),
// and the UTC wall time. Both can be replaced in tests.
#include <cstdint>
#include <functional>

namespace tf {

// Milliseconds since an arbitrary start, wrapping at 2^32.
uint32_t timeGetTime();

// UTC wall time as eight 16-bit fields, in the order year, month (1..12), day of week (0 = Sunday),
// day (1..31), hour, minute, second, milliseconds.
struct SSystemTime {
  uint16_t year;
  uint16_t month;
  uint16_t dayOfWeek;
  uint16_t day;
  uint16_t hour;
  uint16_t minute;
  uint16_t second;
  uint16_t milliseconds;
};
static_assert(sizeof(SSystemTime) == 16);

SSystemTime GetSystemTimeUtc();

// The UTC fields of a moment given as seconds since 1970-01-01 00:00:00 UTC and nanoseconds
// (0..999999999) into that second. A moment whose year lies outside 0..65535, or that the C
// library cannot convert, gives all fields 0.
SSystemTime SystemTimeFromUnix(int64_t seconds, int64_t nanoseconds);

// Test hooks: an empty function restores the real clock. Each returns the previous hook.
using MillisecondSource = std::function<uint32_t()>;
using WallTimeSource = std::function<SSystemTime()>;
MillisecondSource SetMillisecondSource(MillisecondSource source);
WallTimeSource SetWallTimeSource(WallTimeSource source);

}  // namespace tf
