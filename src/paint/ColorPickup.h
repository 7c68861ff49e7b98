// The colour pick-up window of the smudging pens.
#pragma once
// The colour pick-up window of the smudging pens: a square of the picture around the dab centre,
// copied when a dab is laid and read back by the next dab.
#include <cstdint>

#include "raster/FlatImage.h"
#include "raster/Geometry.h"

namespace tf {

class CPenTC : public TMTC {
 public:
  CPenTC();

  // Half extents, radii and centre := 0.
  void Reset();
  // Picks up the window around (x, y): half extent ceil(radius) + 3 on each axis, origin at
  // (trunc(x), trunc(y)) minus the half extents. False when the window cannot be made.
  bool PickUp(const TMTC& image, float radius, float x, float y);
  // Resizes the window and copies the source rectangle; parts outside the source repeat the
  // nearest edge pixel. False when the window cannot be made or the source is not valid.
  bool CopyWindow(const TMTC& image);
  // Offset of a dab of the older engines inside the window (both axes); false when the window
  // is smaller than the dab.
  bool DabOffsetOld(float radius, int32_t& offset) const;
  // Offsets of a dab of 16.16 radii inside the window; false when the window is smaller.
  bool DabOffset(Fixed rx, Fixed ry, int32_t& offsetX, int32_t& offsetY) const;

  int32_t OriginX() const { return originX_; }
  int32_t OriginY() const { return originY_; }
  int32_t WindowWidth() const { return windowWidth_; }
  int32_t WindowHeight() const { return windowHeight_; }
  float CenterX() const { return centerX_; }
  float CenterY() const { return centerY_; }
  int32_t HalfExtentX() const { return halfX_; }
  int32_t HalfExtentY() const { return halfY_; }
  float RadiusX() const { return radiusX_; }
  float RadiusY() const { return radiusY_; }
  float FractionX() const { return fractionX_; }
  float FractionY() const { return fractionY_; }

 private:
  int32_t originX_ = 0;
  int32_t originY_ = 0;
  int32_t windowWidth_ = 0;
  int32_t windowHeight_ = 0;
  float centerX_ = 0;
  float centerY_ = 0;
  int32_t halfX_ = 0;
  int32_t halfY_ = 0;
  float radiusX_ = 0;
  float radiusY_ = 0;
  float fractionX_ = 0;
  float fractionY_ = 0;
};

}  // namespace tf
