#include "platform/Clock.h"

#include <ctime>

namespace tf {
namespace {

MillisecondSource& Millis() {
  static MillisecondSource source;
  return source;
}

WallTimeSource& Wall() {
  static WallTimeSource source;
  return source;
}

}  // namespace

uint32_t timeGetTime() {
  if (Millis()) return Millis()();
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(ms);  // wraps every 2^32 ms (about 49.7 days)
}

SSystemTime SystemTimeFromUnix(int64_t seconds, int64_t nanoseconds) {
  std::tm parts{};
  const time_t whole = static_cast<time_t>(seconds);
  SSystemTime t{};
  if (gmtime_r(&whole, &parts) == nullptr) return t;
  const int64_t year = int64_t{parts.tm_year} + 1900;
  if (year < 0 || year > 65535) return t;
  t.year = static_cast<uint16_t>(year);
  t.month = static_cast<uint16_t>(parts.tm_mon + 1);
  t.dayOfWeek = static_cast<uint16_t>(parts.tm_wday);
  t.day = static_cast<uint16_t>(parts.tm_mday);
  t.hour = static_cast<uint16_t>(parts.tm_hour);
  t.minute = static_cast<uint16_t>(parts.tm_min);
  t.second = static_cast<uint16_t>(parts.tm_sec > 59 ? 59 : parts.tm_sec);
  t.milliseconds = static_cast<uint16_t>(nanoseconds < 0           ? 0
                                         : nanoseconds > 999999999 ? 999
                                                                   : nanoseconds / 1000000);
  return t;
}

SSystemTime GetSystemTimeUtc() {
  if (Wall()) return Wall()();
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  return SystemTimeFromUnix(ts.tv_sec, ts.tv_nsec);
}

MillisecondSource SetMillisecondSource(MillisecondSource source) {
  MillisecondSource previous = std::move(Millis());
  Millis() = std::move(source);
  return previous;
}

WallTimeSource SetWallTimeSource(WallTimeSource source) {
  WallTimeSource previous = std::move(Wall());
  Wall() = std::move(source);
  return previous;
}

}  // namespace tf
