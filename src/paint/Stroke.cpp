// The stroke state.
#include "paint/Stroke.h"

#include <algorithm>
#include <cmath>

#include "document/BlendMode.h"
#include "paint/PixelWriters.h"
#include "raster/Composite.h"
#include "raster/FlatImage.h"
#include "raster/SafeConvert.h"

namespace tf {

namespace {

// Bounds coordinates kept well inside int32 before they become pixels.
constexpr double kBoundsLimit = 1 << 28;

int32_t EvenFloor(float v) {
  return FloorSaturated(ClampDoubleChecked(v, -kBoundsLimit, kBoundsLimit)) & ~1;
}
int32_t EvenCeilPlusOne(float v) {
  return (CeilSaturated(ClampDoubleChecked(v, -kBoundsLimit, kBoundsLimit)) + 1) & ~1;
}

void RectFromBounds(const SRectF& b, SRectWH& rect) {
  const int32_t x = EvenFloor(b.left), y = EvenFloor(b.top);
  rect = {x, y, EvenCeilPlusOne(b.right) - x, EvenCeilPlusOne(b.bottom) - y};
}

}  // namespace

TStroke::TStroke(int32_t tag) : tag_(tag) {
  SetOpacity(1.0f);
  pickup_[0] = std::make_unique<CPenTC>();
  pickup_[1] = std::make_unique<CPenTC>();
}

// ---------------------------------------------------------------------------------------------
// Settings

void TStroke::SetColor(uint32_t colour) {
  if (colour == colour_) return;
  colour_ = colour;
  changed_ = true;
}

void TStroke::SetOpacity(float x) { opacity_ = ClampSingleChecked(x, 0.01f, 1.0f); }

bool TStroke::SetUseTone(bool on, bool rechoose) {
  const bool changed = on != useTone_;
  if (changed) {
    useTone_ = on;
    changed_ = true;
  }
  if (rechoose) UpdateStrokeWriters(*this);
  return changed;
}

bool TStroke::SetUseGradation(bool on, bool rechoose) {
  const bool changed = on != useGradation_;
  if (changed) {
    useGradation_ = on;
    changed_ = true;
  }
  if (rechoose) UpdateStrokeWriters(*this);
  return changed;
}

bool TStroke::SetKeepAlpha(bool on, bool rechoose) {
  const bool changed = on != keepAlpha_;
  keepAlpha_ = on;
  if (rechoose) UpdateStrokeWriters(*this);
  return changed;
}

bool TStroke::CanUseTone() const { return PenTypeCanUseTone(penType_); }
bool TStroke::CanUseGradation() const { return PenTypeCanUseGradation(penType_); }

namespace {
template <class T>
void StoreMarked(T& field, T value, bool& changed) {
  if (field == value) return;
  field = value;
  changed = true;
}
}  // namespace

void TStroke::SetMin(float x) { StoreMarked(min_, x, changed_); }
void TStroke::SetPenType(uint8_t type) { StoreMarked(penType_, type, changed_); }
void TStroke::SetIfSize(bool on) { StoreMarked(ifSize_, on, changed_); }
void TStroke::SetIfTransparency(bool on) { StoreMarked(ifTransparency_, on, changed_); }
void TStroke::SetIfEdge(bool on) { StoreMarked(ifEdge_, on, changed_); }
void TStroke::SetEffect(float x) { StoreMarked(effect_, x, changed_); }
void TStroke::SetEnv(float x) { StoreMarked(env_, x, changed_); }
void TStroke::SetSpeed(float x) { StoreMarked(speed_, x, changed_); }

void TStroke::SetWidth(float x) {
  StoreMarked(width_, x, changed_);
  width_ = ClampSingleChecked(width_, 0.1f, 200.0f);
}

void TStroke::SetGamma(float x) {
  if (x == gamma_) return;
  gamma_ = ClampSingleChecked(x, 0.01f, 6.0f);
  changed_ = true;
}

void TStroke::SetSpacing(float x) { spacing_ = ClampSingleChecked(x, 0.02f, 2.0f); }

void TStroke::GetPenSetting(SPenSetting& r) const {
  r = SPenSetting{};
  r.min = min_;
  r.width = width_;
  r.gamma = gamma_;
  r.effect = effect_;
  r.env = env_;
  r.speed = speed_;
  r.ifSize = ifSize_;
  r.ifTransparency = ifTransparency_;
  r.ifEdge = ifEdge_;
  r.useTone = useTone_;
  r.useGradation = useGradation_;
  r.opaque = opacity_;
  r.penSpacing = spacing_;
  r.airMap = airMapKind_;
}

void TStroke::SetPenSetting(const SPenSetting& r) {
  SetMin(r.min);
  SetWidth(r.width);
  SetGamma(r.gamma);
  SetEffect(r.effect);
  SetEnv(r.env);
  SetSpeed(r.speed);
  SetIfSize(r.ifSize != 0);
  SetIfTransparency(r.ifTransparency != 0);
  SetIfEdge(r.ifEdge != 0);
  SetUseTone(r.useTone != 0, false);
  SetUseGradation(r.useGradation != 0, false);
  SetOpacity(r.opaque);
  SetSpacing(r.penSpacing);
  StoreAirMapKind(static_cast<uint8_t>(r.airMap));
}

float TStroke::GetOpacity() const {
  const PaintDocument* window = GetCurrentDrawWindow();
  if (window != nullptr && !window->HasModernEngine()) return 1.0f;
  return opacity_;
}

int32_t TStroke::GetOpacity255() const {
  const PaintDocument* window = GetCurrentDrawWindow();
  if (window == nullptr || !window->HasModernEngine()) return 255;
  return TruncClamped(GetOpacity() * 255.0f, 0, 255);
}

float TStroke::GetSpacing() const {
  const float fixed = PenTypeFixedSpacing(penType_);
  return std::max(0.02f, fixed < 0.0f ? spacing_ : fixed);
}

float TStroke::SizeAtPressure(float p) const {
  if (!ifSize_ || !PenTypeScalesSize(penType_)) return width_;
  const float m = width_ * min_ / 100.0f;
  return m + p * (width_ - m);
}

// ---------------------------------------------------------------------------------------------
// Stroke in progress

bool TStroke::GetPoint(int32_t index, SStrokePoint& point) const {
  if (index < 0 || index >= 8) return false;
  point = points_[index];
  return true;
}

void TStroke::SetSegmentPoints(float x0, float y0, float p0, float x1, float y1, float p1) {
  points_[2] = {x0, y0, p0};
  points_[1] = {x1, y1, p1};
}

void TStroke::AddPoint(float x, float y, float p) {
  for (int32_t i = 7; i > 0; --i) points_[i] = points_[i - 1];
  points_[0] = {x, y, p};
  if (!rawPoints_) {
    points_[1] = {(points_[0].x + points_[2].x) / 2.0f, (points_[0].y + points_[2].y) / 2.0f,
                  (points_[0].pressure + points_[2].pressure) / 2.0f};
  }
}

void TStroke::UpdateSegmentBounds() {
  const float w = width_ + 2.0f;
  const SStrokePoint& a = points_[1];
  const SStrokePoint& b = points_[2];
  segmentBounds_ = {std::min(a.x, b.x) - w, std::min(a.y, b.y) - w, std::max(a.x, b.x) + w, std::max(a.y, b.y) + w};
  strokeBounds_.left = std::min(strokeBounds_.left, segmentBounds_.left);
  strokeBounds_.top = std::min(strokeBounds_.top, segmentBounds_.top);
  strokeBounds_.right = std::max(strokeBounds_.right, segmentBounds_.right);
  strokeBounds_.bottom = std::max(strokeBounds_.bottom, segmentBounds_.bottom);
}

void TStroke::GetDirtyRect(SRectWH& rect) const { RectFromBounds(segmentBounds_, rect); }
void TStroke::GetStrokeRect(SRectWH& rect) const { RectFromBounds(strokeBounds_, rect); }

void TStroke::ResetStroke(PaintDocument* paper, float x, float y) {
  dabCounter_ = 0;
  stepCounter_ = 0;
  distance_ = 0;
  uint32_t mode;
  if (paper != nullptr && paper->GetLayerBlendMode(layerIndex_, mode)) neutralColour_ = GetBlendModeNeutralColor(mode);
  strokeBounds_ = {65535, 65535, -65535, -65535};
  for (SStrokePoint& point : points_) point = {x, y, 0};
}

void TStroke::StartPenType(PaintDocument* /*paper*/, const TMTC& image, float x, float y, float /*p*/) {
  switch (penType_) {
    case kPenWatercolour: WatercolourStartOld(image, x, y); break;
    case kPenRubPen: StartPickup(image, width_, x, y); break;
    case kPenDarken: BuildLightnessCurve(1.0f + effect_ * 0.002f); break;
    case kPenLighten: BuildLightnessCurve(1.0f / (1.0f + effect_ * 0.002f)); break;
    default: break;
  }
}

void TStroke::BeginStroke(PaintDocument* paper, const TMTC& image, TPoint origin, float x, float y, float p) {
  ResetStroke(paper, x, y);
  StartPenType(paper, image, x + static_cast<float>(origin.x), y + static_cast<float>(origin.y), p);
}

void TStroke::BeginStrokeDirect(PaintDocument* paper, const TMTC& image, float x, float y, float p) {
  ResetStroke(paper, x, y);
  StartPenType(paper, image, x, y, p);
}

void TStroke::WatercolourStartOld(const TMTC& image, float x, float y) {
  if (!image.IsValid() || image.Width() < 1 || image.Height() < 1) return;
  const int32_t cx = TruncSaturated(x), cy = TruncSaturated(y);
  uint32_t sum[3] = {0, 0, 0};
  for (int32_t dy = -5; dy <= 5; ++dy) {
    const int32_t row = std::clamp<int64_t>(int64_t{cy} + dy, 0, image.Height() - 1);
    for (int32_t dx = -5; dx <= 5; ++dx) {
      const int32_t column = std::clamp<int64_t>(int64_t{cx} + dx, 0, image.Width() - 1);
      const uint32_t pixel = image.GetPixel(column, row);
      for (int32_t c = 0; c < 3; ++c) sum[c] += (pixel >> (8 * c)) & 0xFFu;
    }
  }
  const uint32_t b = sum[0] / 121, g = sum[1] / 121, r = sum[2] / 121;
  pickedColour_ = (pickedColour_ & 0xFF000000u) | (r << 16) | (g << 8) | b;
  mixingColour_ = (mixingColour_ & 0xFF000000u) | (r << 16) | (g << 8) | b;
  envRed_ = static_cast<float>(r);
  envGreen_ = static_cast<float>(g);
  envBlue_ = static_cast<float>(b);
  // EFFECT outside 0..100 (settings, recordings) keeps the weight inside the table.
  const int32_t weight = 255 - TruncClamped(effect_ * 255.0f / 100.0f, 0, 255);
  BlendColorFast(&mixingColour_, colour_, weight);
}

// ---------------------------------------------------------------------------------------------
// Pick-up windows

void TStroke::StartPickup(const TMTC& image, float radius, float x, float y) {
  pickupCount_ = 0;
  pickupPosition_ = {TruncSaturated(x), TruncSaturated(y)};
  pickup_[0]->Reset();
  pickup_[1]->Reset();
  pickup_[0]->PickUp(image, radius, x, y);
}

bool TStroke::UpdatePickup(const TMTC& image, float radius, float x, float y) {
  const TPoint position{TruncSaturated(x), TruncSaturated(y)};
  if (position == pickupPosition_) return false;
  pickupPosition_ = position;
  pickupCount_ = 1;
  pickup_[0]->PickUp(image, radius, x, y);
  return true;
}

bool TStroke::SwapPickup(const TMTC& image, float radius, float x, float y) {
  const TPoint position{TruncSaturated(x), TruncSaturated(y)};
  if (position == pickupPosition_) return false;
  pickupPosition_ = position;
  CPenTC& window = (pickupCount_ % 2 == 0) ? *pickup_[1] : *pickup_[0];
  window.PickUp(image, radius, x, y);
  ++pickupCount_;
  return true;
}

CPenTC* TStroke::GetPickupWindow() const {
  if (pickupCount_ < 1) return nullptr;
  return pickupCount_ % 2 == 1 ? pickup_[0].get() : pickup_[1].get();
}

CPenTC* TStroke::GetPickupWindowByIndex(int32_t i) const { return (i == 0 || i == 1) ? pickup_[i].get() : nullptr; }

}  // namespace tf
