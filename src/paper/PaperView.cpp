// TPaper: zoom steps, view rotation, the window-to-canvas mapping, grid, background and caption.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "paper/Paper.h"

namespace tf {

namespace {

// Truncation toward zero; beyond int32 saturates, NaN gives 0.
int32_t TruncSat(float v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483647.0f) return INT32_MAX;
  if (v <= -2147483648.0f) return INT32_MIN;
  return static_cast<int32_t>(v);
}

// The value of a step as a single, times 10000.
double StepTimes10000(const TZoomRatio& step) {
  const float value = static_cast<float>(step.numerator) / static_cast<float>(step.denominator);
  return static_cast<double>(value) * 10000.0;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Zoom

void ZoomRatioUp(TZoomRatio& ratio) {
  // Compared as v x d against n x 10000 in 64 bits: a ratio of large terms (set directly, or
  // from a fitted view) must not wrap.
  const int64_t n = ratio.numerator;
  const int64_t d = ratio.denominator;
  for (const TZoomRatio& step : kZoomSteps) {
    ratio = step;
    const auto v = static_cast<int64_t>(std::floor(StepTimes10000(step)));
    if (v * d > n * 10000) return;
  }
}

void ZoomRatioDown(TZoomRatio& ratio) {
  const int64_t n = ratio.numerator;
  const int64_t d = ratio.denominator;
  for (int i = kZoomStepCount - 1; i >= 0; --i) {
    ratio = kZoomSteps[i];
    const auto v = static_cast<int64_t>(std::ceil(StepTimes10000(kZoomSteps[i])));
    if (v * d < n * 10000) return;
  }
}

float TPaper::GetZoom() const {
  return static_cast<float>(static_cast<double>(zoom.numerator) / static_cast<double>(zoom.denominator));
}

float TPaper::SetZoomRatio(int32_t numerator, int32_t denominator) {
  // A ratio without a positive denominator has no value: refused, the zoom in force kept.
  if (denominator <= 0) return GetZoom();
  const int64_t n = numerator;
  const int64_t d = denominator;
  if (n * 16 < d) {
    zoom = kZoomSteps[0];
  } else if (n > d * 16) {
    zoom = kZoomSteps[kZoomStepCount - 1];
  } else {
    zoom = TZoomRatio{numerator, denominator};
  }
  return GetZoom();
}

bool TPaper::CanZoomIn() const { return int64_t{zoom.numerator} < int64_t{zoom.denominator} * 16; }

bool TPaper::CanZoomOut() const { return int64_t{zoom.numerator} * 16 > int64_t{zoom.denominator}; }

void TPaper::ZoomIn() {
  if (CanZoomIn()) ZoomRatioUp(zoom);
}

void TPaper::ZoomOut() {
  if (CanZoomOut()) ZoomRatioDown(zoom);
}

void TPaper::ResetZoom() { zoom = TZoomRatio{1, 1}; }

// ---------------------------------------------------------------------------------------------
// Rotation

void TPaper::SetRotationCenter(float x, float y) {
  rotation.centerX = x;
  rotation.centerY = y;
}

void TPaper::SetRotationDegrees(float degrees) {
  // No angle to turn by: the view stays as it is.
  if (!std::isfinite(degrees)) return;
  // Into (-360, 0]; the remainder is exact, so a large angle neither loops nor drifts.
  float d = std::fmod(degrees, 360.0f);
  if (d > 0.0f) d -= 360.0f;
  if (d == 0.0f) d = 0.0f;  // no negative zero
  rotation.degrees = d;
  rotation.radians = static_cast<float>(static_cast<double>(d) * std::numbers::pi / 180.0);
  if (d == 0.0f) {
    rotation.sine = 0.0f;
    rotation.cosine = 1.0f;
  } else if (d == -90.0f) {
    rotation.sine = -1.0f;
    rotation.cosine = 0.0f;
  } else if (d == -180.0f) {
    rotation.sine = 0.0f;
    rotation.cosine = -1.0f;
  } else if (d == -270.0f) {
    rotation.sine = 1.0f;
    rotation.cosine = 0.0f;
  } else {
    rotation.sine = std::sin(rotation.radians);
    rotation.cosine = std::cos(rotation.radians);
  }
}

void TPaper::SetRotationAngle(float radians) {
  rotation.radians = radians;
  rotation.degrees = static_cast<float>(static_cast<double>(radians) * 180.0 / std::numbers::pi);
  rotation.sine = std::sin(radians);
  rotation.cosine = std::cos(radians);
}

void TPaper::MoveRotationCenter(float dx, float dy) {
  const float c = rotation.cosine;
  const float s = rotation.sine;
  const float moveX = dx * c - dy * s;
  const float moveY = dx * s + dy * c;
  rotation.centerX -= moveX;
  rotation.centerY -= moveY;
}

// ---------------------------------------------------------------------------------------------
// Mapping

void TPaper::GetViewCenter(int32_t clientWidth, int32_t clientHeight, int32_t& x, int32_t& y) const {
  if (IsRotated()) {
    x = TruncSat(rotation.centerX);
    y = TruncSat(rotation.centerY);
    return;
  }
  const float z = GetZoom();
  const float halfW = static_cast<float>(clientWidth / 2) / z;
  const float halfH = static_cast<float>(clientHeight / 2) / z;
  const float fx =
      viewScroll.x <= 0 ? halfW + static_cast<float>(viewOffset.x) : halfW - static_cast<float>(viewScroll.x) / z;
  const float fy =
      viewScroll.y <= 0 ? halfH + static_cast<float>(viewOffset.y) : halfH - static_cast<float>(viewScroll.y) / z;
  x = TruncSat(fx);
  y = TruncSat(fy);
}

void TPaper::ClientToCanvas(int32_t clientWidth, int32_t clientHeight, float& x, float& y) const {
  const float s = 1.0f / GetZoom();
  if (!IsRotated()) {
    // The centre of the window pixel, in canvas coordinates whose whole numbers are pixel centres.
    x = s * (x - static_cast<float>(viewScroll.x) + 0.5f) + static_cast<float>(viewOffset.x) - 0.5f;
    y = s * (y - static_cast<float>(viewScroll.y) + 0.5f) + static_cast<float>(viewOffset.y) - 0.5f;
    return;
  }
  const float u = s * (x - static_cast<float>(clientWidth / 2));
  const float v = s * (y - static_cast<float>(clientHeight / 2));
  const float c = rotation.cosine;
  const float n = rotation.sine;
  x = rotation.centerX + c * u - n * v;
  y = rotation.centerY + n * u + c * v;
}

bool TPaper::GetVisibleCanvasRect(TRect& rect) const {
  rect = TRect{0, 0, 0, 0};
  const DocumentWindow* window = GetDrawWindow();
  if (window == nullptr) return false;
  const SSize client = window->ClientSize();
  if (client.width <= 0 || client.height <= 0) return false;
  // The centres of the four corner pixels, mapped; their box in whole canvas pixels.
  const float cornersX[4] = {0.0f, static_cast<float>(client.width - 1), 0.0f, static_cast<float>(client.width - 1)};
  const float cornersY[4] = {0.0f, 0.0f, static_cast<float>(client.height - 1), static_cast<float>(client.height - 1)};
  double minX = 0, minY = 0, maxX = 0, maxY = 0;
  for (int32_t i = 0; i < 4; ++i) {
    float x = cornersX[i], y = cornersY[i];
    ClientToCanvas(client.width, client.height, x, y);
    if (!std::isfinite(x) || !std::isfinite(y)) return false;
    if (i == 0 || x < minX) minX = x;
    if (i == 0 || y < minY) minY = y;
    if (i == 0 || x > maxX) maxX = x;
    if (i == 0 || y > maxY) maxY = y;
  }
  const double left = std::max(0.0, std::floor(minX));
  const double top = std::max(0.0, std::floor(minY));
  const double right = std::min(static_cast<double>(canvasWidth), std::floor(maxX) + 1.0);
  const double bottom = std::min(static_cast<double>(canvasHeight), std::floor(maxY) + 1.0);
  if (right <= left || bottom <= top) return false;
  rect = TRect{static_cast<int32_t>(left), static_cast<int32_t>(top), static_cast<int32_t>(right),
               static_cast<int32_t>(bottom)};
  return true;
}

void TPaper::CanvasToClientIn(int32_t clientWidth, int32_t clientHeight, float& x, float& y) const {
  const float z = GetZoom();
  if (!IsRotated()) {
    x = z * (x - static_cast<float>(viewOffset.x)) + static_cast<float>(viewScroll.x);
    y = z * (y - static_cast<float>(viewOffset.y)) + static_cast<float>(viewScroll.y);
    return;
  }
  const float u = x - rotation.centerX;
  const float v = y - rotation.centerY;
  const float c = rotation.cosine;
  const float n = rotation.sine;
  x = z * (c * u + n * v) + static_cast<float>(clientWidth / 2);
  y = z * (-n * u + c * v) + static_cast<float>(clientHeight / 2);
}

void TPaper::CanvasToClient(float& x, float& y) const {
  const SSize client = window_ != nullptr ? window_->ClientSize() : SSize{0, 0};
  CanvasToClientIn(client.width, client.height, x, y);
}

void TPaper::CanvasToClientPoint(TPoint& point) const {
  float x = static_cast<float>(point.x);
  float y = static_cast<float>(point.y);
  CanvasToClient(x, y);
  point = TPoint{TruncSat(x + 0.01f), TruncSat(y + 0.01f)};
}

// ---------------------------------------------------------------------------------------------
// Grid and background

void TPaper::SetGrid(bool on, int32_t stepX, int32_t stepY, bool redraw) {
  gridVisible = on ? 1 : 0;
  gridStepX = std::max(stepX, 2);
  gridStepY = std::max(stepY, 2);
  if (redraw) ComposeRect(SRectWH{0, 0, DisplayBuffer().Width(), DisplayBuffer().Height()}, true);
  InvalidateWindow(false);
}

void TPaper::ApplyGridSettings(bool redraw) {
  const SPaperSettings settings = PaperSettings();
  SetGrid(gridVisible != 0, settings.gridW, settings.gridH, redraw);
}

bool TPaper::SetBackgroundView(bool showCanvas, bool pattern, bool redraw) {
  if (paperColor != 0xFFFFFFu) return false;
  const uint8_t show = showCanvas ? 1 : 0;
  const uint8_t checker = pattern ? 1 : 0;
  if (show == showCanvasColor && checker == backgroundPattern) return false;
  showCanvasColor = show;
  backgroundPattern = checker;
  if (redraw) RefreshLayerView(GetActiveLayerIndex());
  return true;
}

bool TPaper::SetShowCanvasColor(bool on) { return SetBackgroundView(on, backgroundPattern != 0, true); }

bool TPaper::SetBackgroundPattern(bool on) { return SetBackgroundView(showCanvasColor != 0, on, true); }

// ---------------------------------------------------------------------------------------------
// Caption and view updates

void TPaper::GetCaption(std::string& text) const {
  std::string name = filePath;
  if (!PaperSettings().titleFullpath) {
    const size_t slash = name.find_last_of("/\\");
    if (slash != std::string::npos) name.erase(0, slash + 1);
  }
  std::string suffix;
  if (networkMode == 1) {
    suffix += Tx(TextId::PaperCaptionNetwork);
    suffix += ' ';
  }
  if (protectedDocument != 0) suffix += Tx(TextId::PaperCaptionProtected);
  text = suffix.empty() ? name : name + "( " + suffix + " )";
}

void TPaper::UpdateView(WindowHandle window, bool rebuild) {
  if (window_ == nullptr || window != window_->Handle()) return;
  if (rebuild) RenderView();
  if (window_->IsPlaying()) {
    window_->PaintNow();
  } else {
    window_->Invalidate(false);
  }
}

void TPaper::RefreshView() {
  if (window_ != nullptr) UpdateView(window_->Handle(), true);
}

}  // namespace tf
