#include "paint/ColorPickup.h"

#include <algorithm>
#include <cmath>

namespace tf {

namespace {

// Float to int32 toward zero, saturating; NaN gives 0.
int32_t TruncSat(float v) {
  if (!(v == v)) return 0;
  if (v >= 2147483647.0f) return INT32_MAX;
  if (v <= -2147483648.0f) return INT32_MIN;
  return static_cast<int32_t>(v);
}

int32_t CeilSat(float v) { return TruncSat(std::ceil(v)); }

}  // namespace

CPenTC::CPenTC() { Reset(); }

void CPenTC::Reset() {
  halfX_ = 0;
  halfY_ = 0;
  radiusX_ = 0;
  radiusY_ = 0;
  centerX_ = 0;
  centerY_ = 0;
}

bool CPenTC::PickUp(const TMTC& image, float radius, float x, float y) {
  radiusX_ = radius;
  radiusY_ = radius;
  // A radius below -3 would give a window of negative size.
  const int32_t half = std::clamp<int64_t>(int64_t{CeilSat(radius)} + 3, 0, INT32_MAX / 4);
  halfX_ = half;
  halfY_ = half;
  centerX_ = x;
  centerY_ = y;
  originX_ = SubSat(TruncSat(x), halfX_);
  originY_ = SubSat(TruncSat(y), halfY_);
  windowWidth_ = 2 * halfX_ + 1;
  windowHeight_ = 2 * halfY_ + 1;
  fractionX_ = x - std::floor(x);
  fractionY_ = y - std::floor(y);
  return CopyWindow(image);
}

bool CPenTC::CopyWindow(const TMTC& image) {
  if (!image.IsValid() || &image == this) return false;
  if (!Resize(windowWidth_, windowHeight_) || !IsValid()) return false;
  const int32_t lastX = image.Width() - 1;
  const int32_t lastY = image.Height() - 1;
  for (int32_t j = 0; j < windowHeight_; ++j) {
    const int32_t sy = static_cast<int32_t>(std::clamp<int64_t>(int64_t{originY_} + j, 0, lastY));
    const uint32_t* source = image.Pixel(0, sy);
    uint32_t* dest = Pixel(0, j);
    for (int32_t i = 0; i < windowWidth_; ++i) {
      const int64_t sx = std::clamp<int64_t>(int64_t{originX_} + i, 0, lastX);
      dest[i] = source[sx];
    }
  }
  return true;
}

bool CPenTC::DabOffsetOld(float radius, int32_t& offset) const {
  if (halfX_ < CeilSat(radius)) return false;
  offset = std::max(SubSat(halfX_, CeilSat(radius - fractionX_)), 0);
  return true;
}

bool CPenTC::DabOffset(Fixed rx, Fixed ry, int32_t& offsetX, int32_t& offsetY) const {
  if (halfX_ < FixCeil(rx) || halfY_ < FixCeil(ry)) return false;
  const Fixed fx = TruncSat(fractionX_ * 65536.0f);
  const Fixed fy = TruncSat(fractionY_ * 65536.0f);
  offsetX = std::max(SubSat(halfX_, FixCeil(SubSat(rx, fx))), 0);
  offsetY = std::max(SubSat(halfY_, FixCeil(SubSat(ry, fy))), 0);
  return true;
}

}  // namespace tf
