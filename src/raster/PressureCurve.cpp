#include "raster/PressureCurve.h"

#include <algorithm>
#include <cmath>

#include "raster/Appearance.h"
#include "raster/Drawing.h"
#include "raster/ScaleImage.h"

namespace tf {

float GammaDragStep(float gamma, int32_t d, bool shift) {
  const int32_t c = static_cast<int32_t>(gamma * 100.0f + 0.5f);
  if (c > 100 || (c == 100 && d > 0)) d *= 5;
  // Crossing 1.00 stops there.
  if ((c < 100 && c + d > 100) || (c > 100 && c + d < 100)) return 1.0f;
  const int32_t v = shift ? (c / 5 + d) * 5 : c + d;
  return static_cast<float>(std::min(600, std::max(5, v))) / 100.0f;
}

CPressureCurve::CPressureCurve() = default;

bool CPressureCurve::SetSize(int32_t width, int32_t height) {
  width_ = std::max(width, 0);
  height_ = std::max(height, 0);
  if (!picture_.Resize(std::max(width_, 1), std::max(height_, 1))) return false;
  const int32_t cw = std::max(width_ - 4, 0) * 4, ch = std::max(height_ - 4, 0) * 4;
  if (!curve_.Resize(cw, ch)) return false;
  Render();
  return true;
}

bool CPressureCurve::SetGamma(float gamma) {
  if (!std::isfinite(gamma)) return false;
  if (gamma < 0.0f) gamma = 0.0f;
  if (gamma == gamma_) return false;
  gamma_ = gamma;
  Render();
  return true;
}

void CPressureCurve::Render() {
  if (!picture_.IsValid()) return;
  const int32_t w = picture_.Width(), h = picture_.Height();
  FrameRect(picture_, SRectWH{0, 0, w, h}, AppearanceColors[acGrayText], 255);
  FrameRect(picture_, SRectWH{1, 1, w - 2, h - 2}, AppearanceColors[acWindow], 255);
  const SRectWH inner{2, 2, w - 4, h - 4};
  if (inner.width <= 0 || inner.height <= 0 || !curve_.IsValid()) return;
  curve_.FillValue(AppearanceColors[acBtnFace]);
  const int32_t n = curve_.Width(), ch = curve_.Height();
  const uint32_t ink = AppearanceColors[acHighlight];
  for (int32_t i = 0; i < n; ++i) {
    const double p = std::pow(static_cast<double>(i) / n, static_cast<double>(gamma_));
    const int32_t y = static_cast<int32_t>(ch - p * ch + 0.5);
    DrawLineOp(curve_, i, y, 128, i, ch, 128, ink, BlendColor);
  }
  CScaleImageTMTC scaler(&curve_, &picture_);
  scaler.Scale(SRectWH{0, 0, n, ch}, inner);
  // The dotted cross, drawn from both ends toward the middle.
  const uint32_t dot = AppearanceColors[acWindowText];
  const int32_t midY = inner.top + (inner.height - 1) / 2, midX = inner.left + (inner.width - 1) / 2;
  const int32_t across = (inner.width - 1) / 4 + 1, down = (inner.height - 1) / 4 + 1;
  for (int32_t k = 0; k < across; ++k) {
    for (const int32_t x : {inner.left + 2 * k, inner.left + inner.width - 1 - 2 * k}) {
      picture_.BlendRectCoords(x, midY, 1, 2, dot, 51);
    }
  }
  for (int32_t k = 0; k < down; ++k) {
    for (const int32_t y : {inner.top + 2 * k, inner.top + inner.height - 1 - 2 * k}) {
      picture_.BlendRectCoords(midX, y, 2, 1, dot, 51);
    }
  }
}

void CPressureCurve::BeginDrag(int32_t x, int32_t y) {
  lastX_ = x;
  lastY_ = y;
  dragging_ = true;
}

bool CPressureCurve::DragTo(int32_t x, int32_t y, bool shift) {
  if (!dragging_) return false;
  const int32_t d = (x - lastX_) + (y - lastY_);
  lastX_ = x;
  lastY_ = y;
  return SetGamma(GammaDragStep(gamma_, d, shift));
}

}  // namespace tf
