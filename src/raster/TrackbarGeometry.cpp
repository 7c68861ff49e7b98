#include "raster/TrackbarGeometry.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tf {

namespace {

// trunc(value) into int32, saturating; not a number gives 0.
int32_t TruncSaturated(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 2147483647.0) return INT32_MAX;
  if (value <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(std::trunc(value));
}

}  // namespace

TRect TrackbarTrackRect(TGraphicTrackbarOrientation orientation, int32_t width, int32_t height) {
  switch (orientation) {
    case TGraphicTrackbarOrientation::gtHorizontal:
      return {3, 0, width - 3, 8};
    case TGraphicTrackbarOrientation::gtVertical: {
      const int32_t left = (width - 8) / 2;
      return {left, 2, left + 8, height - 2};
    }
    default: {
      const int32_t s = std::min(width, height);
      return {1, 1, s - 1, s - 1};
    }
  }
}

float TrackbarPositionAt(TGraphicTrackbarOrientation orientation, int32_t width, int32_t height, int32_t x,
                         int32_t y) {
  switch (orientation) {
    case TGraphicTrackbarOrientation::gtHorizontal: {
      const int32_t d = x - 3;
      const int32_t length = width - 9;
      if (length <= 0 || d <= 0) return 0.0f;
      if (d >= length) return 1.0f;
      return static_cast<float>(d) / static_cast<float>(length);
    }
    case TGraphicTrackbarOrientation::gtVertical: {
      const int32_t d = y - 3;
      const int32_t length = height - 7;
      if (length <= 0 || d <= 0) return 1.0f;
      if (d >= length) return 0.0f;
      return static_cast<float>(length - d) / static_cast<float>(length);
    }
    default: {
      const double dx = x - width / 2.0;
      const double dy = y - height / 2.0;
      const double angle = orientation == TGraphicTrackbarOrientation::gtClockWise ? std::atan2(-dy, dx)
                                                                                     : std::atan2(dy, dx);
      double p = angle / (2.0 * std::numbers::pi) - 0.5;
      while (p < 0.0) p += 1.0;
      while (p > 1.0) p -= 1.0;
      return static_cast<float>(p);
    }
  }
}

int32_t TrackbarThumbX(int32_t width, float position) {
  return TruncSaturated(static_cast<float>(width - 9) * position + 0.5f);
}

int32_t TrackbarThumbY(int32_t height, float position) {
  return TruncSaturated((1.0f - position) * static_cast<float>(height - 7) + 0.5f);
}

void TrackbarNeedle(TGraphicTrackbarOrientation orientation, int32_t surfaceWidth, int32_t surfaceHeight,
                    float position, SPointF& centre, SPointF& tip) {
  const float cx = static_cast<float>(surfaceWidth) / 2.0f;
  const float cy = static_cast<float>(surfaceHeight) / 2.0f;
  const float r = std::min(cx, cy) - 2.0f;
  const float a = 2.0f * std::numbers::pi_v<float> * position;
  centre = {cx, cy};
  const float sy = orientation == TGraphicTrackbarOrientation::gtClockWise ? r * std::sin(a) : -r * std::sin(a);
  tip = {cx - r * std::cos(a), cy + sy};
}

}  // namespace tf
