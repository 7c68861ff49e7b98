// Length units: pixels, inches, centimetres, millimetres at a resolution; picture size limits.
#pragma once
// Lengths of a picture in pixels, inches, centimetres and millimetres at a resolution in dots
// per inch, and the size and resolution limits of the dialogs that create or resize a picture
// (sides of 8..10000 pixels, 72..600 dots per inch). Percent has names but no conversion.
#include <cstdint>
#include <string_view>

namespace tf {

enum TLengthUnit : uint8_t { luPixel = 0, luInch = 1, luCm = 2, luMm = 3, luPercent = 4 };

inline constexpr std::string_view UnitLongNames[5] = {"pixel", "inch", "cm", "mm", "%"};
inline constexpr std::string_view UnitShortNames[5] = {"px", "in", "cm", "mm", "%"};

// The value in the target unit. Units are taken modulo 128; a pair involving percent (or an
// unknown unit) has no conversion and gives the value unchanged. The multiplication comes
// before the division (2.54 * v / r), in double precision.
float ConvertUnit(uint8_t source, uint8_t target, float value, float resolution);

struct SUnitLimits {
  float min;
  float max;
};
// Picture sides of 8 and 10000 pixels in the unit.
SUnitLimits GetSizeLimits(uint8_t unit, float resolution);
// max(72, 8 / side) .. min(600, 10000 / side) dots per inch for the longest side in inches (the
// minimum exceeds the maximum for a side above 10000 / 72 inches).
SUnitLimits GetResolutionLimits(float longestSideInches);

}  // namespace tf
