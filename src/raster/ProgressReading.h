// What the playback progress bar reads out: percentage, count, elapsed or remaining time.
#pragma once
// Toolkit-free: the widget (ui/GraphicProgressBar.h) only draws what these answer.
#include <cstdint>
#include <string>

#include "raster/Geometry.h"

namespace tf {

// Reading of the bar: 0 percentage, 1 count, 2 elapsed time, 3 remaining time; anything else shows
// no text.
enum : uint8_t {
  kProgressPercent = 0,
  kProgressCount = 1,
  kProgressElapsed = 2,
  kProgressRemaining = 3,
};

struct SSplitTime {
  uint32_t hours;
  uint32_t minutes;
  uint32_t seconds;
  uint32_t milliseconds;
  bool operator==(const SSplitTime&) const = default;
};

// Hours (not limited to 23), minutes, seconds and milliseconds of a span.
SSplitTime SplitTime(uint32_t milliseconds);

// now - start as a wrapping 32-bit difference: a clock wrap in between still gives the span.
inline uint32_t ProgressElapsed(uint32_t now, uint32_t start) { return now - start; }

// elapsed x (total - current) / current, formed in 64 bits: 0 when nothing is done yet or when more
// than the total is done; a quotient beyond 32 bits saturates.
uint32_t ProgressRemaining(uint32_t elapsed, int32_t current, int32_t total);

// The bar's width inside an inner area of innerWidth pixels: Trunc(fraction x innerWidth + 0.5),
// held to 0..innerWidth (a current above the total fills the area, no more).
int32_t ProgressBarWidth(const SRatio& progress, int32_t innerWidth);

// The reading's text: "12.50%" (whatever the C library's numeric locale), "250 / 1000", or the
// elapsed and remaining labels (the language module's texts) with h:mm:ss.mmm; "" for other modes.
std::string ProgressText(uint8_t mode, const SRatio& progress, uint32_t elapsed);

}  // namespace tf
