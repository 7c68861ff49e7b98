// CStrokeMngr: stepping along the segments of a stroke and spacing the dabs.
#include "paint/StrokeMngr.h"

#include <algorithm>
#include <cmath>

#include "paint/PenRender.h"
#include "platform/Debug.h"
#include "raster/FlatImage.h"

namespace tf {

namespace {

// Nearest integer, ties to even; NaN gives 0 and values beyond int32 saturate.
int32_t RoundToInt(float v) {
  const double r = std::nearbyint(static_cast<double>(v));
  if (!(r == r)) return 0;
  if (r >= 2147483647.0) return INT32_MAX;
  if (r <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(r);
}

int32_t Saturate(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

bool IsFinitePoint(float x, float y, float pressure) {
  return std::isfinite(x) && std::isfinite(y) && std::isfinite(pressure);
}

// Restores the stroke's pressure-to-opacity switch, and its changed flag, when a dab ends.
class TransparencySwitchGuard {
 public:
  explicit TransparencySwitchGuard(TStroke* stroke)
      : stroke_(stroke),
        saved_(stroke != nullptr && stroke->GetIfTransparency()),
        changed_(stroke != nullptr && stroke->IsChanged()) {}
  ~TransparencySwitchGuard() {
    if (stroke_ == nullptr) return;
    stroke_->SetIfTransparency(saved_);
    stroke_->SetChanged(changed_);
  }
  TransparencySwitchGuard(const TransparencySwitchGuard&) = delete;
  TransparencySwitchGuard& operator=(const TransparencySwitchGuard&) = delete;

 private:
  TStroke* stroke_;
  bool saved_;
  bool changed_;
};

}  // namespace

int32_t DabIntervalSteps(float spacingPixels) {
  const double c = std::ceil(static_cast<double>(spacingPixels));
  if (!(c >= 1.0)) return 1;  // 0, negative and NaN
  if (c >= 2147483647.0) return INT32_MAX;
  return static_cast<int32_t>(c);
}

float PressurePower(float p, float g) {
  if (g == 0.0f) return 1.0f;
  if (p == 0.0f && g > 0.0f) return 0.0f;
  return static_cast<float>(std::pow(static_cast<double>(p), static_cast<double>(g)));
}

CStrokeMngr::CStrokeMngr(TStroke* stroke, CPenRender* renderer) : stroke_(stroke), renderer_(renderer) {
  InitStrokeParam(params_);
}

void CStrokeMngr::SetStroke(TStroke* stroke) {
  stroke_ = stroke;
  if (renderer_ != nullptr) renderer_->SetStroke(stroke);
}

void CStrokeMngr::Bind(const SStrokeCanvas& canvas, StrokePaper* paper) {
  canvas_ = canvas;
  paper_ = paper;
  if (renderer_ != nullptr) renderer_->SetPaper(paper);
}

bool CStrokeMngr::BeginStroke(int32_t layer, const SStrokeCanvas& canvas, TStroke* stroke, StrokePaper* paper) {
  Bind(canvas, paper);
  stepCounter_ = 0;
  dabCounter_ = 0;
  previousMajorAxis_ = -1;
  segment_ = SStrokeDirty{};
  strokeRect_ = SStrokeDirty{};
  if (layer < 0) {
    if (paper_ != nullptr) layer_ = paper_->ActiveLayerIndex();
  } else if (paper_ != nullptr && layer <= paper_->TopLayerIndex()) {
    layer_ = layer;
  }
  SetStroke(stroke);
  return true;
}

bool CStrokeMngr::FirstPoint(float x, float y, float pressure) {
  if (!IsFinitePoint(x, y, pressure)) {
    DebugOut("CStrokeMngr: a stroke point that is not finite was refused\n");
    return false;
  }
  if (!interpolate_.Reset()) return false;
  interpolate_.Push(SStrokePoint{x, y, pressure});
  if (!ResetStrokeDistance()) return false;
  if (paper_ != nullptr && paper_->IsLockedForPlayback())
    renderer_->SetPenShape(paper_->PenShape(), false, false, false);
  if (canvas_.image == nullptr) {
    DebugOut("CStrokeMngr: no working copy bound to start the stroke in\n");
    return false;
  }
  renderer_->StartDab(*canvas_.image, x + static_cast<float>(canvas_.origin.x),
                      y + static_cast<float>(canvas_.origin.y), pressure);
  return true;
}

bool CStrokeMngr::AddPoint(float x, float y, float pressure) {
  if (!IsFinitePoint(x, y, pressure)) {
    DebugOut("CStrokeMngr: a stroke point that is not finite was refused\n");
    return false;
  }
  return interpolate_.Push(SStrokePoint{x, y, pressure});
}

bool CStrokeMngr::LoadStrokeSettings() {
  if (stroke_ == nullptr || renderer_ == nullptr) {
    DebugOut("CStrokeMngr: stroke settings cannot be loaded without a stroke and a renderer\n");
    return false;
  }
  StrokeParamSetOpacity(params_, stroke_->GetOpacity());
  return renderer_->LoadColors();
}

bool CStrokeMngr::ResetStrokeDistance() {
  if (stroke_ != nullptr) stroke_->ResetDistance(0.0f);
  return LoadStrokeSettings();
}

bool CStrokeMngr::RendersToChannel() const {
  if (renderer_ == nullptr) return false;
  SPenParam pen;
  renderer_->GetPenParams(pen);
  return pen.channel != 0;
}

int32_t CStrokeMngr::Step() {
  if (renderer_ == nullptr || stroke_ == nullptr || paper_ == nullptr || canvas_.image == nullptr) return 0;
  SStrokePoint from{}, to{};
  if (!interpolate_.GetSegmentStart(from) || !interpolate_.GetSegmentEnd(to)) return 0;

  // The segment rectangle restarts around the start point.
  AddDirtySquare(RoundToInt(from.x), RoundToInt(from.y), true, 8);

  const TPoint offset = paper_->LayerOffset(layer_);
  const float x0 = from.x + static_cast<float>(offset.x), y0 = from.y + static_cast<float>(offset.y);
  const float x1 = to.x + static_cast<float>(offset.x), y1 = to.y + static_cast<float>(offset.y);
  const float g = StrokeParamGetGamma(params_);
  const float p0 = PressurePower(from.pressure, g), p1 = PressurePower(to.pressure, g);

  const float dx = x1 - x0, dy = y1 - y0, dp = p1 - p0;
  const float adx = std::fabs(dx), ady = std::fabs(dy);
  const float h = std::max(adx, ady);
  if (h == 0.0f) return 0;

  float sx, sy, sp;
  uint8_t major;
  if (h < 1.0f) {
    sx = dx;
    sy = dy;
    sp = dp;
    major = adx >= ady ? 1 : 0;
  } else if (adx >= ady) {
    major = 1;
    sx = dx / adx;
    sy = dy / adx;
    sp = dp / adx;
  } else {
    major = 0;
    sx = dx / ady;
    sy = dy / ady;
    sp = dp / ady;
  }
  majorAxis_ = major;

  float x = x0 + 0.25f, y = y0 + 0.25f, p = p0;
  const float w = renderer_->GetNibSize();
  int64_t n = static_cast<int64_t>(std::ceil(static_cast<double>(h)));
  const float d = std::hypot(dx, dy) / h * 4.0f;

  float sMin, range, s0, s1;
  if (params_.ifSize != 0) {
    sMin = renderer_->GetMinSize(w);
    range = w - sMin;
    s0 = sMin + range * p0;
    s1 = sMin + range * p1;
  } else {
    s0 = s1 = sMin = w;
    range = 0.0f;
  }

  int32_t interval = DabIntervalSteps(renderer_->GetSpacingPixels(StrokeParamGetSpacing(params_), w));
  const float threshold1 = static_cast<float>(params_.sizeThreshold1);
  const float threshold2 = static_cast<float>(params_.sizeThreshold2);
  if (s1 < threshold1 || s0 < threshold1) interval = 1;
  if (s1 < threshold2 || s0 < threshold2) {
    if (std::min(s0, s1) <= 0.7f) {
      n *= 3;
      sx /= 3.0f;
      sy /= 3.0f;
      sp /= 3.0f;
    } else {
      n *= 2;
      sx /= 2.0f;
      sy /= 2.0f;
      sp /= 2.0f;
    }
  }

  int32_t drawn = 0;
  for (int64_t i = 0; i < n; ++i) {
    const float opacity = params_.ifTransparency != 0 ? p : 1.0f;
    const float size = sMin + range * p;
    if (stepCounter_ % interval == 0) {
      Dab(opacity, size, x, y);
      const int32_t cx = Saturate(int64_t{RoundToInt(x)} - offset.x);
      const int32_t cy = Saturate(int64_t{RoundToInt(y)} - offset.y);
      int32_t hx = 0, hy = 0;
      renderer_->GetDabExtent(size, hx, hy);
      AddDirty(cx, cy, drawn == 0, hx, hy);
      if (dabCounter_ < INT32_MAX) ++dabCounter_;
      ++drawn;
    }
    x += sx;
    y += sy;
    p += sp;
    previousMajorAxis_ = major;
    lastX_ = x;
    lastY_ = y;
    p = std::clamp(p, 0.0f, 1.0f);
    stroke_->AddDistance(d * p);
    stepCounter_ = stepCounter_ < INT32_MAX ? stepCounter_ + 1 : 0;
  }
  return drawn;
}

bool CStrokeMngr::Dab(float opacityFactor, float size, float x, float y) {
  const float opacity = static_cast<float>(StrokeParamGetOpacityRaw(params_)) * opacityFactor / 1000.0f;
  TransparencySwitchGuard guard(stroke_);
  SPenParam pen;
  renderer_->GetPenParams(pen);
  if (pen.type == kRenderWatercolour) {
    if (!(paper_ != nullptr && paper_->PlaysVersion33OrLower()))
      stroke_->SetIfTransparency(params_.ifTransparency != 0);
  } else if (pen.type == kRenderBlur) {
    renderer_->SetBlurSource(paper_ != nullptr ? paper_->LayerStore(layer_) : nullptr, size);
  }
  renderer_->SetPaper(paper_);
  renderer_->SetMinorAxis(majorAxis_ == 0);
  const SDabPoint dab{x, y, opacity};
  if (pen.channel != 0) {
    if (canvas_.channel == nullptr) return false;
    return renderer_->DabToChannel(*canvas_.channel, dab, 255, size);
  }
  uint32_t colours[2] = {0, 0};
  renderer_->GetColor(colours);
  return renderer_->DabToImage(*canvas_.image, dab, colours[0], size);
}

void CStrokeMngr::AddDirty(int32_t x, int32_t y, bool reset, int32_t halfWidth, int32_t halfHeight) {
  SStrokeDirty r;
  r.left = Saturate(int64_t{x} - halfWidth - 2);
  r.top = Saturate(int64_t{y} - halfHeight - 2);
  r.right = Saturate(int64_t{x} + halfWidth + 2);
  r.bottom = Saturate(int64_t{y} + halfHeight + 2);
  auto unite = [](SStrokeDirty& a, const SStrokeDirty& b) {
    a.left = std::min(a.left, b.left);
    a.top = std::min(a.top, b.top);
    a.right = std::max(a.right, b.right);
    a.bottom = std::max(a.bottom, b.bottom);
  };
  if (dabCounter_ == 0) {
    segment_ = r;
    strokeRect_ = r;
    return;
  }
  if (reset)
    segment_ = r;
  else
    unite(segment_, r);
  unite(strokeRect_, r);
}

namespace {
void DirtyToRect(const SStrokeDirty& d, SRectWH& rect) {
  const int64_t x = d.left & ~int64_t{1};
  const int64_t y = d.top & ~int64_t{1};
  rect.left = static_cast<int32_t>(x);
  rect.top = static_cast<int32_t>(y);
  rect.width = Saturate(((int64_t{d.right} + 1) & ~int64_t{1}) - x);
  rect.height = Saturate(((int64_t{d.bottom} + 1) & ~int64_t{1}) - y);
}
}  // namespace

void CStrokeMngr::GetSegmentRect(SRectWH& rect) const { DirtyToRect(segment_, rect); }
void CStrokeMngr::GetStrokeRect(SRectWH& rect) const { DirtyToRect(strokeRect_, rect); }

void CStrokeMngr::ClearCoverage(const SRectWH* rect, bool force) {
  TChannel* channel = canvas_.channel;
  if (channel == nullptr || !channel->IsValid()) return;
  if (!force && !RendersToChannel()) return;
  SRectWH area = rect != nullptr ? *rect : SRectWH{0, 0, channel->Width(), channel->Height()};
  channel->FillRect(area, 0);
}

void CStrokeMngr::EndStroke() {
  if (renderer_ != nullptr) renderer_->EndStroke();
}

}  // namespace tf
