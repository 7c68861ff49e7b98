#include "filters/PreviewGeometry.h"

#include <algorithm>
#include <cmath>

namespace tf {

namespace {

int32_t RoundPositive(double x) { return static_cast<int32_t>(std::min(std::trunc(x + 0.5), 2147483647.0)); }

}  // namespace

float PreviewTrackIn(float minPercent, float maxPercent, float q) {
  q = std::clamp(q, 0.0f, 1.0f);
  const double b = minPercent / 100.0, c = maxPercent / 100.0;
  if (b == 1.0 || c <= b) return q;
  const double d = (c - 1.0) / (1.0 - b), e = b * d;
  const double a = b + (c - b) * q;
  return static_cast<float>(std::clamp((a * d - e) / (a * (d - 1.0) + (c - e)), 0.0, 1.0));
}

float PreviewTrackOut(float minPercent, float maxPercent, float p) {
  p = std::clamp(p, 0.0f, 1.0f);
  const double b = minPercent / 100.0, c = maxPercent / 100.0;
  if (b == 1.0 || c <= b) return p;
  const double d = (c - 1.0) / (1.0 - b), e = b * d;
  const double a = (e + (c - e) * p) / (d - p * (d - 1.0));
  return static_cast<float>(std::clamp((a - b) / (c - b), 0.0, 1.0));
}

void CPreviewGeometry::SetBox(int32_t width, int32_t height) {
  boxWidth_ = std::max(1, width);
  boxHeight_ = std::max(1, height);
}

void CPreviewGeometry::SetLayer(int32_t width, int32_t height) {
  layerWidth_ = std::max(0, width);
  layerHeight_ = std::max(0, height);
}

int32_t CPreviewGeometry::LayerWidth() const { return layerWidth_ > 0 ? layerWidth_ : std::max(1, boxWidth_ - 2); }
int32_t CPreviewGeometry::LayerHeight() const { return layerHeight_ > 0 ? layerHeight_ : std::max(1, boxHeight_ - 2); }

int32_t CPreviewGeometry::ViewLeft() const { return std::max(0, (boxWidth_ - viewWidth_) / 2); }
int32_t CPreviewGeometry::ViewTop() const { return std::max(0, (boxHeight_ - viewHeight_) / 2); }

float CPreviewGeometry::FitPercent() const {
  const double w = std::max(1, boxWidth_ - 2), h = std::max(1, boxHeight_ - 2);
  double fit = 100.0;
  fit = std::min(fit, w * 100.0 / LayerWidth());
  fit = std::min(fit, h * 100.0 / LayerHeight());
  return static_cast<float>(fit);
}

void CPreviewGeometry::SetViewWidth(int32_t w) { viewWidth_ = std::clamp(w, 1, std::max(1, boxWidth_ - 2)); }
void CPreviewGeometry::SetViewHeight(int32_t h) { viewHeight_ = std::clamp(h, 1, std::max(1, boxHeight_ - 2)); }

void CPreviewGeometry::SetWindowLeft(int64_t x) {
  windowLeft_ = static_cast<int32_t>(std::clamp<int64_t>(x, 0, std::max(0, LayerWidth() - windowWidth_)));
}
void CPreviewGeometry::SetWindowTop(int64_t y) {
  windowTop_ = static_cast<int32_t>(std::clamp<int64_t>(y, 0, std::max(0, LayerHeight() - windowHeight_)));
}

void CPreviewGeometry::SetMagnification(float percent) {
  const double value = std::max(1e-3, static_cast<double>(percent));
  const int32_t oldWidth = windowWidth_, oldHeight = windowHeight_;
  const double z = value / 100.0;
  // A view side is never 0 (a 65536 x 1 layer at a small magnification), so panning can divide.
  SetViewWidth(RoundPositive(LayerWidth() * z));
  SetViewHeight(RoundPositive(LayerHeight() * z));
  windowWidth_ = std::max(1, RoundPositive(viewWidth_ * 100.0 / value));
  windowHeight_ = std::max(1, RoundPositive(viewHeight_ * 100.0 / value));
  SetWindowLeft(static_cast<int64_t>(windowLeft_) - (windowWidth_ - oldWidth) / 2);
  SetWindowTop(static_cast<int64_t>(windowTop_) - (windowHeight_ - oldHeight) / 2);
}

void CPreviewGeometry::FitViewToBox() {
  viewWidth_ = std::max(1, boxWidth_ - 2);
  viewHeight_ = std::max(1, boxHeight_ - 2);
}

void CPreviewGeometry::CentreOn(const TRect& rect) {
  SetWindowLeft((static_cast<int64_t>(rect.left) + rect.right - windowWidth_) / 2);
  SetWindowTop((static_cast<int64_t>(rect.top) + rect.bottom - windowHeight_) / 2);
}

void CPreviewGeometry::BeginPan(int32_t x, int32_t y) {
  lastX_ = x;
  lastY_ = y;
}

void CPreviewGeometry::Pan(int32_t x, int32_t y) {
  const int32_t oldLeft = windowLeft_, oldTop = windowTop_;
  SetWindowLeft(oldLeft + (static_cast<int64_t>(lastX_) - x) * windowWidth_ / std::max(1, viewWidth_));
  SetWindowTop(oldTop + (static_cast<int64_t>(lastY_) - y) * windowHeight_ / std::max(1, viewHeight_));
  if (windowLeft_ != oldLeft) lastX_ = x;
  if (windowTop_ != oldTop) lastY_ = y;
}

}  // namespace tf
