// The older generation's multi-light lighting: TLight and TLighting. Old recordings replay
// through them (the current lighting filter has its own light classes, filters/Lighting.h).
#pragma once
// A TLight is set up from the 56-byte light record of the lighting filter (kind, intensity,
// colour, range, position fractions, height, direction, tilt; the spread read as a percentage).
// TLighting holds up to 16 of them and an ambient offset per channel, and renders a source store
// into a destination store through the selection: every covered pixel gets its source colour plus
// what the lights add, plus the ambient offset, written by BlendColor (alpha kept).
//
// The lights of one pixel are visited in the order they were added; a light that does not reach
// the pixel ends the visit, so the lights after it add nothing there (as the recordings have it).
#include <cstdint>
#include <memory>
#include <vector>

#include "filters/Vectors.h"
#include "raster/Geometry.h"

namespace tf {

class CBlockVMTC;
class CMaskData;

inline constexpr int32_t kMaxOlderLights = 16;

class TLight {
 public:
  enum Kind : uint8_t { kPoint = 0, kWarm = 1, kSpot = 2 };

  // With a = max(width, height): amounts (colour/2 + 128) x intensity/100; cone threshold
  // 1 - spread/100; range, height from a; x, y from the rectangle's width and height; then
  // SetDirection.
  void Setup(const uint8_t record[56], int32_t width, int32_t height);
  // (0, 0, -1), for warm and spot lights turned by the tilt and then the direction; scaled to the
  // height, the position set to (x, y, z), the direction then scaled to length 1.
  void SetDirection(const uint8_t record[56]);

  uint8_t kind = kPoint;
  TVector3 position;
  TVector3 direction;
  double red = 0.0;
  double green = 0.0;
  double blue = 0.0;
  double range = 0.0;
  double coneThreshold = 0.0;
  double x = 0.0;
  double y = 0.0;
  double z = 0.0;
};

class TLighting {
 public:
  // No lights.
  void Clear();
  // Offset per channel := level x component / 100 - 255 (blue from the low byte).
  void SetAmbient(uint32_t colour, int32_t level);
  // Ignored once kMaxOlderLights lights are held.
  void AddLight(const uint8_t record[56], int32_t width, int32_t height);
  // Every pixel of the source store, rows outer: coverage from the mask at the pixel plus the
  // offset when the mask is allocated (skipped at 0), else 255; the lit colour (alpha 255)
  // written into the destination by BlendColor with the coverage. False when a store is missing
  // or a tile of the destination cannot be committed.
  bool Render(const CBlockVMTC* source, CBlockVMTC* dest, TPoint maskOffset, const CMaskData* mask) const;

  int32_t LightCount() const { return static_cast<int32_t>(lights_.size()); }
  const TLight& Light(int32_t i) const { return *lights_[static_cast<size_t>(i)]; }
  double AmbientRed() const { return ambientRed_; }
  double AmbientGreen() const { return ambientGreen_; }
  double AmbientBlue() const { return ambientBlue_; }

  // The lit colour of one pixel from its source colour (alpha 255).
  uint32_t LightPixel(uint32_t source, int32_t x, int32_t y) const;

 private:
  std::vector<std::unique_ptr<TLight>> lights_;
  double ambientRed_ = 0.0;
  double ambientGreen_ = 0.0;
  double ambientBlue_ = 0.0;
};

}  // namespace tf
