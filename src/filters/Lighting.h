// The lighting filter (event 74) and its light classes, which the lighting dialog's previews use
// too, so that dialog and filter light pixels identically.
#pragma once
// A light is set up from the 56-byte light record (SFltLight) for a rectangle of width x height:
// its position is relative to the rectangle's top-left corner. Illuminate gives the three amounts
// the light adds to a pixel. The kind is chosen once per run: WithLight calls its function with
// the concrete class, so the per-pixel call is not virtual.
//
// A record that would divide by zero (range 0; a warm or spot light whose half spread has cosine
// 1) or holds a value that is not a finite number sets nothing up: the filter then fails.
#include <cmath>
#include <cstring>
#include <cstdint>
#include <numbers>

#include "filters/FilterContext.h"

namespace tf {

enum class TLightKind : int32_t { lkPoint = 0, lkWarm = 1, lkSpot = 2 };

struct SLightAmounts {
  int32_t red = 0;
  int32_t green = 0;
  int32_t blue = 0;
  bool lit = false;
};

class TLight4 {
 public:
  // cos(d pi / 2)^2.
  static double Falloff(double d) {
    const double c = std::cos(d * std::numbers::pi / 2.0);
    return c * c;
  }
  // With a = max(width, height): colour x intensity / 100, position from the fractions, height
  // a x percent / 100, inverse range 100 / (range a). False when the record cannot light.
  bool Setup(const uint8_t record[56], int32_t width, int32_t height);
  SLightAmounts Illuminate(int32_t px, int32_t py) const;

  float red = 0, green = 0, blue = 0;
  float x = 0, y = 0, z = 0;
  float inverseRange = 0;
};

class TDirLight4 : public TLight4 {
 public:
  // Also the unit direction (cos t sin p, sin t sin p, -cos p) and K = 1 / (1 - cos(spread / 2)).
  bool Setup(const uint8_t record[56], int32_t width, int32_t height);
  template <class Cone>
  SLightAmounts IlluminateWith(int32_t px, int32_t py) const;

  float dx = 0, dy = 0, dz = -1;
  float k = 0;
};

class TWarmLight : public TDirLight4 {
 public:
  static double ConeFalloff(double f, double e) {
    return std::pow(1.0 - f * f, 1.2) * std::cos(e * std::numbers::pi / 2.0);
  }
  SLightAmounts Illuminate(int32_t px, int32_t py) const { return IlluminateWith<TWarmLight>(px, py); }
};

class TSpotLight : public TDirLight4 {
 public:
  static double ConeFalloff(double f, double e) {
    const double s = f < 0.9 ? 1.0 - f * 2.0 / 9.0 : f < 0.95 ? 11.6 - 12.0 * f : 4.0 - 4.0 * f;
    return s * std::cos(e * std::numbers::pi / 2.0);
  }
  SLightAmounts Illuminate(int32_t px, int32_t py) const { return IlluminateWith<TSpotLight>(px, py); }
};

template <class Cone>
SLightAmounts TDirLight4::IlluminateWith(int32_t px, int32_t py) const {
  SLightAmounts out;
  const float ux = x - static_cast<float>(px), uy = y - static_cast<float>(py);
  if (ux == 0 && uy == 0 && z == 0) return out;
  const double dist = std::sqrt(double{ux} * ux + double{uy} * uy + double{z} * z);
  const double e = dist * inverseRange;
  const double f = ((dx * double{ux} + dy * double{uy} + dz * double{z}) / dist + 1.0) * k;
  if (e >= 1.0 || f >= 1.0) return out;
  const double g = Cone::ConeFalloff(f, e);
  out.red = static_cast<int32_t>(red * g);
  out.green = static_cast<int32_t>(green * g);
  out.blue = static_cast<int32_t>(blue * g);
  out.lit = true;
  return out;
}

// Sets up the light of the record's kind for the rectangle and calls fn(light); false (fn not
// called) for another kind or a record that cannot light.
template <class Fn>
bool WithLight(const uint8_t record[56], int32_t width, int32_t height, Fn&& fn) {
  int32_t kind;
  std::memcpy(&kind, record, 4);
  switch (kind) {
    case 0: {
      TLight4 light;
      if (!light.Setup(record, width, height)) return false;
      fn(light);
      return true;
    }
    case 1: {
      TWarmLight light;
      if (!light.Setup(record, width, height)) return false;
      fn(light);
      return true;
    }
    case 2: {
      TSpotLight light;
      if (!light.Setup(record, width, height)) return false;
      fn(light);
      return true;
    }
    default: return false;
  }
}

// The ambient offsets (blue, green, red) := component x level div 100 - 255, in 64 bits.
void AmbientOffsets(uint32_t colour, int32_t level, int64_t offsets[3]);
// B, G, R of the pixel plus the light's amounts plus the offsets, clamped; alpha kept.
uint32_t LitPixel(uint32_t pixel, const SLightAmounts& amounts, const int64_t offsets[3]);

// The 50-byte frame: ambient colour (inline bytes 0..3), level (int32 at inline byte 4), the
// 56-byte light record as data.
bool LightingFilter(FilterContext& context, const void* block, int32_t size);

}  // namespace tf
