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

SSystemTime GetSystemTimeUtc() {
  if (Wall()) return Wall()();
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  std::tm parts{};
  time_t seconds = ts.tv_sec;
  gmtime_r(&seconds, &parts);
  SSystemTime t{};
  t.year = static_cast<uint16_t>(parts.tm_year + 1900);
  t.month = static_cast<uint16_t>(parts.tm_mon + 1);
  t.dayOfWeek = static_cast<uint16_t>(parts.tm_wday);
  t.day = static_cast<uint16_t>(parts.tm_mday);
  t.hour = static_cast<uint16_t>(parts.tm_hour);
  t.minute = static_cast<uint16_t>(parts.tm_min);
  t.second = static_cast<uint16_t>(parts.tm_sec > 59 ? 59 : parts.tm_sec);
  t.milliseconds = static_cast<uint16_t>(ts.tv_nsec / 1000000);
  return t;
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
