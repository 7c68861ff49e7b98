#include "raster/LengthUnit.h"

#include <algorithm>

namespace tf {
namespace {

using Converter = double (*)(double v, double r);

double Same(double v, double) { return v; }
double PixelToInch(double v, double r) { return v / r; }
double PixelToCm(double v, double r) { return 2.54 * v / r; }
double PixelToMm(double v, double r) { return 25.4 * v / r; }
double InchToPixel(double v, double r) { return v * r; }
double InchToCm(double v, double) { return 2.54 * v; }
double InchToMm(double v, double) { return 25.4 * v; }
double CmToPixel(double v, double r) { return v * r / 2.54; }
double CmToInch(double v, double) { return v / 2.54; }
double CmToMm(double v, double) { return 10.0 * v; }
double MmToPixel(double v, double r) { return v * r / 25.4; }
double MmToInch(double v, double) { return v / 25.4; }
double MmToCm(double v, double) { return v / 10.0; }

// Rows: source unit; columns: target unit (pixel, inch, cm, mm).
constexpr Converter kTable[4][4] = {
    {Same, PixelToInch, PixelToCm, PixelToMm},
    {InchToPixel, Same, InchToCm, InchToMm},
    {CmToPixel, CmToInch, Same, CmToMm},
    {MmToPixel, MmToInch, MmToCm, Same},
};

}  // namespace

float ConvertUnit(uint8_t source, uint8_t target, float value, float resolution) {
  const uint8_t from = source % 128;
  const uint8_t to = target % 128;
  if (from > luMm || to > luMm) return value;
  return static_cast<float>(kTable[from][to](value, resolution));
}

SUnitLimits GetSizeLimits(uint8_t unit, float resolution) {
  return {ConvertUnit(luPixel, unit, 8.0f, resolution), ConvertUnit(luPixel, unit, 10000.0f, resolution)};
}

SUnitLimits GetResolutionLimits(float longestSideInches) {
  const double side = longestSideInches;
  return {static_cast<float>(std::max(72.0, 8.0 / side)), static_cast<float>(std::min(600.0, 10000.0 / side))};
}

}  // namespace tf
