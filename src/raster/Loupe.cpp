#include "raster/Loupe.h"

#include <algorithm>
#include <cmath>

#include "raster/Appearance.h"
#include "raster/Drawing.h"

namespace tf {

CLoupe::CLoupe() = default;

bool CLoupe::SetSize(int32_t width, int32_t height) {
  width_ = std::max(width, 0);
  height_ = std::max(height, 0);
  if (!picture_.Resize(std::max(width_, 4), std::max(height_, 4))) return false;
  ClearLoupe();
  return true;
}

bool CLoupe::SetMagnification(float magnification) {
  if (!std::isfinite(magnification) || !(magnification > 0.0f) || magnification == magnification_) return false;
  magnification_ = magnification;
  ClearLoupe();
  return true;
}

bool CLoupe::SetGrid(bool grid) {
  if (grid == grid_) return false;
  grid_ = grid;
  ClearLoupe();
  return true;
}

bool CLoupe::DrawLoupe(const TMTC& source, float x, float y, float angle) {
  if (!picture_.IsValid()) return false;
  const SRectWH inner{2, 2, width_ - 4, height_ - 4};
  if (inner.width <= 0 || inner.height <= 0) return false;
  if (!RotateScaleTo(source, picture_, x, y, inner, angle, magnification_)) return false;
  TRect bounds{inner.left, inner.top, inner.left + inner.width, inner.top + inner.height};
  switch (background_) {
    case lbTransparent:
      FlattenOnChecker(picture_, bounds, TRect{0, 0, picture_.Width(), picture_.Height()}, SSize{8, 8},
                       kLoupeCheckerEven, kLoupeCheckerOdd);
      break;
    case lbNone: FlattenOnColor(picture_, bounds, 0xFFFFFFFFu); break;
    default: break;
  }
  if (grid_) DrawCrosshair();
  return true;
}

void CLoupe::DrawCrosshair() {
  if (!picture_.IsValid()) return;
  const int32_t cx = width_ / 2, cy = height_ / 2;
  // Invisible at the centre, half opaque at the edges.
  DrawLineOp(picture_, cx, 2, 128, cx, cy, 0, 0xFF000000u, BlendColor);
  DrawLineOp(picture_, 2, cy, 128, cx, cy, 0, 0xFF000000u, BlendColor);
  DrawLineOp(picture_, cx, cy, 0, cx, height_ - 4, 128, 0xFF000000u, BlendColor);
  DrawLineOp(picture_, cx, cy, 0, width_ - 4, cy, 128, 0xFF000000u, BlendColor);
}

void CLoupe::ClearLoupe() {
  if (!picture_.IsValid()) return;
  picture_.FillValue(kLoupeClearColour);
  const int32_t w = picture_.Width(), h = picture_.Height();
  FrameRectTwoTone(picture_, SRectWH{0, 0, w, h}, AppearanceColors[acBtnShadow], AppearanceColors[acBtnHighlight],
                   255);
  FrameRect(picture_, SRectWH{1, 1, w - 2, h - 2}, AppearanceColors[acWindowFrame], 255);
  if (grid_) DrawCrosshair();
}

}  // namespace tf
