#include "app/AspectRotation.h"

#include <algorithm>
#include <cmath>

#include "app/ViewGrabber.h"
#include "paint/PaintParam.h"
#include "platform/ResourceText.h"
#include "raster/Appearance.h"

namespace tf {

namespace {

constexpr SChannelOps kCopy{ChannelCopy, ChannelCopy};
constexpr SChannelOps kOver{ChannelBlend, ChannelKeep};
constexpr double kPi = 3.14159265358979323846;

bool InRect(const TRect& r, int32_t x, int32_t y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

// The 12 x 12 square of a handle.
bool OnHandle(SPointF handle, int32_t x, int32_t y) {
  const int32_t hx = static_cast<int32_t>(handle.x + 0.5f), hy = static_cast<int32_t>(handle.y + 0.5f);
  return InRect(TRect{hx - 4, hy - 4, hx + 8, hy + 8}, x, y);
}

bool Finite(const SAspectParams& p) {
  return std::isfinite(p.maxRadius) && std::isfinite(p.minRadius) && std::isfinite(p.flattening) &&
         std::isfinite(p.rotation) && std::isfinite(p.percentA) && std::isfinite(p.percentB);
}

}  // namespace

const char* AspectHint(int32_t code) {
  static constexpr TextId kHints[] = {TextId::AspectHintPreview,    TextId::AspectHintMaxRadius,
                                      TextId::AspectHintMapScale,   TextId::AspectHintMinRadius,
                                      TextId::AspectHintAspect,     TextId::AspectHintDisplay,
                                      TextId::AspectHintNibList,    TextId::AspectHintFlattening,
                                      TextId::AspectHintRotation};
  if (code < 1 || code > 9) return "";
  return Tx(kHints[code - 1]);
}

int32_t AspectCursor(int32_t code) {
  if (code == kAspectHitMaxRadius || code == kAspectHitMinRadius || code == kAspectHitAspect) return 1;
  if (code == kAspectHitFlattening || code == kAspectHitRotation) return 2;
  return 0;
}

float AspectDragIncrement(float v, int32_t dx, bool scale) {
  const float d = static_cast<float>(dx);
  if (v < 2.0f) return d / 10.0f;
  if (v < 5.0f) return d / 5.0f;
  if (v < 10.0f) return d / 2.0f;
  if (v < 20.0f) return d;
  if (v < 50.0f) return 2.0f * d;
  if (scale && v >= 100.0f) return 10.0f * d;
  return 5.0f * d;
}

CAspectRotation::CAspectRotation() {
  SNumMngrProps flat;
  flat.valueMin = 0;
  flat.valueMax = 99;
  flattening_.Load(flat);
  SNumMngrProps rot;
  rot.valueMin = -999;
  rot.valueMax = 999;
  rot.wrapAround = true;
  rot.wrapMin = -180;
  rot.wrapMax = 180;
  rotation_.Load(rot);
  flattening_.OnChange = [this](TNumMngr*) { NumberChanged(); };
  rotation_.OnChange = [this](TNumMngr*) { NumberChanged(); };
  control_.SetBackground(AppearanceColors[acBtnFace]);
  preview_.SetBackground(0xFFFFFFFFu);
  SetSize(86, 88);
}

void CAspectRotation::SetSize(int32_t width, int32_t height) {
  width_ = std::max(width, 1);
  height_ = std::max(height, 1);
  control_.SetSize(width_, height_);
  previewWidth_ = std::max(width_ - 4, 0);
  previewHeight_ = std::max(height_ - 19, 0);
  preview_.SetSize(std::max(previewWidth_, 1), std::max(previewHeight_, 1));
  ClearPreview();
  ComputeOutlines();
  SetTextMetrics(flatNumberWidth_, rotNumberWidth_, flatUnitWidth_, rotUnitWidth_, numberHeight_);
}

void CAspectRotation::SetTextMetrics(int32_t flatNumberWidth, int32_t rotNumberWidth, int32_t flatUnitWidth,
                                     int32_t rotUnitWidth, int32_t numberHeight) {
  flatNumberWidth_ = flatNumberWidth;
  rotNumberWidth_ = rotNumberWidth;
  flatUnitWidth_ = flatUnitWidth;
  rotUnitWidth_ = rotUnitWidth;
  numberHeight_ = numberHeight;
  const int32_t top = height_ - 15;
  flatRect_ = TRect{6, top, 6 + flatNumberWidth_, top + numberHeight_};
  const int32_t rx = flatRect_.right + flatUnitWidth_ + 8;
  rotRect_ = TRect{rx, top, rx + rotNumberWidth_, top + numberHeight_};
  Render();
}

bool CAspectRotation::SetParams(const SAspectParams& in) {
  if (!Finite(in)) return false;
  SAspectParams p = in;
  p.maxRadius = std::clamp(p.maxRadius, 0.1f, 200.0f);
  p.minRadius = std::clamp(p.minRadius, 1.0f, 100.0f);
  p.flattening = std::clamp(p.flattening, 0.0f, 99.0f);
  p.percentA = std::clamp(p.percentA, 0.0f, 100.0f);
  p.percentB = std::clamp(p.percentB, 0.0f, 100.0f);
  // Into -180 (included) .. 180 (excluded), as the view's rotation.
  p.rotation = WrapRotation(p.rotation);
  const bool changed = !(p == params_);
  const bool outlines = p.flattening != params_.flattening || p.rotation != params_.rotation;
  params_ = p;
  settingNumbers_ = true;
  flattening_.SetValue(p.flattening);
  rotation_.SetValue(p.rotation);
  settingNumbers_ = false;
  if (outlines) ComputeOutlines();
  if (changed || mapping_) {
    if (OnChange) OnChange();
    ClearPreview();
    Render();
  }
  return changed;
}

void CAspectRotation::NumberChanged() {
  if (settingNumbers_) return;
  params_.flattening = flattening_.Value();
  params_.rotation = rotation_.Value();
  ComputeOutlines();
  if (OnChange) OnChange();
  ClearPreview();
  Render();
}

bool CAspectRotation::SetField(float SAspectParams::*field, float v) {
  SAspectParams p = params_;
  p.*field = v;
  return SetParams(p);
}
bool CAspectRotation::SetMaxRadius(float v) { return SetField(&SAspectParams::maxRadius, v); }
bool CAspectRotation::SetMinRadius(float v) { return SetField(&SAspectParams::minRadius, v); }
bool CAspectRotation::SetFlattening(float v) { return SetField(&SAspectParams::flattening, v); }
bool CAspectRotation::SetRotation(float v) { return SetField(&SAspectParams::rotation, v); }
bool CAspectRotation::SetRotationAndFlattening(float rotation, float flattening) {
  SAspectParams p = params_;
  p.rotation = rotation;
  p.flattening = flattening;
  return SetParams(p);
}
bool CAspectRotation::SetKind(uint8_t kind) {
  SAspectParams p = params_;
  p.kind = kind;
  return SetParams(p);
}

void CAspectRotation::SetMapping(bool on, int32_t imageWidth, int32_t imageHeight, float scalePercent) {
  mapping_ = on;
  if (on) {
    imageWidth_ = imageWidth;
    imageHeight_ = imageHeight;
    if (std::isfinite(scalePercent)) mapScale_ = scalePercent;
  } else {
    mapScale_ = 100.0f;
  }
  displayState_ = mapping_ ? 2 : (displayState_ == 2 ? 0 : displayState_);
  if (OnChange) OnChange();
  Render();
}

bool CAspectRotation::SetMapScale(float percent) {
  if (!std::isfinite(percent)) return false;
  float minimum, maximum;
  BitmapNibScaleRange(imageWidth_, imageHeight_, minimum, maximum);
  // A nib whose range is empty keeps its scale (a clamp over it has no answer).
  if (minimum > maximum) return false;
  const float v = std::clamp(percent, 100.0f * minimum, 100.0f * maximum);
  if (v == mapScale_) return false;
  mapScale_ = v;
  if (OnChange) OnChange();
  ClearPreview();
  Render();
  return true;
}

void CAspectRotation::SetDisplayMode(uint8_t mode) {
  if (mode == displayMode_) return;
  displayMode_ = mode;
  ClearPreview();
  Render();
}

void CAspectRotation::SetDispScale(float scale) {
  if (scale == dispScale_) return;
  dispScale_ = scale;
  ClearPreview();
  Render();
}

void CAspectRotation::SetAspectEnabled(bool on) {
  if (on == aspectEnabled_) return;
  aspectEnabled_ = on;
  Render();
}

void CAspectRotation::SetNibListVisible(bool on) {
  if (on == nibListVisible_) return;
  nibListVisible_ = on;
  Render();
}

SPointF CAspectRotation::Centre() const {
  return SPointF{static_cast<float>(width_ - 2) / 2.0f + 0.5f, static_cast<float>(height_ - 17) / 2.0f + 0.5f};
}

float CAspectRotation::DisplayRadius() const {
  const SPointF c = Centre();
  return std::min(c.x, c.y) - 4.0f;
}

void CAspectRotation::ComputeOutlines() {
  const SPointF c = Centre();
  const float r = DisplayRadius();
  const double rot = static_cast<double>(params_.rotation) * kPi / 180.0;
  const double cr = std::cos(rot), sr = std::sin(rot);
  auto outline = [&](SPointF* points, int32_t n, double a, double b) {
    for (int32_t e = 0; e < n; ++e) {
      const double t = 360.0 / (n - 1) * e * kPi / 180.0;
      const double x = a * std::cos(t), y = b * std::sin(t);
      points[e] = SPointF{static_cast<float>(cr * x - sr * y + c.x), static_cast<float>(sr * x + cr * y + c.y)};
    }
  };
  const double a = r, b = static_cast<double>(r) * (100.0 - params_.flattening) / 100.0;
  outline(outer_, kAspectOuterPoints, a, b);
  outline(inner_, kAspectInnerPoints, a / 2.0, b / 2.0);
}

int32_t CAspectRotation::HitTest(int32_t x, int32_t y) const {
  if (OnHandle(OuterHandle(), x, y)) return mapping_ ? kAspectHitMapScale : kAspectHitMaxRadius;
  if (OnHandle(InnerHandle(), x, y)) return kAspectHitMinRadius;
  if (aspectEnabled_ && OnHandle(AspectHandle(), x, y)) return kAspectHitAspect;
  if (nibListVisible_ && InRect(NibListRect(), x, y)) return kAspectHitNibList;
  if (displayState_ != 2 && InRect(DisplayRect(), x, y)) return kAspectHitDisplay;
  if (aspectEnabled_ && InRect(flatRect_, x, y)) return kAspectHitFlattening;
  if (aspectEnabled_ && InRect(rotRect_, x, y)) return kAspectHitRotation;
  if (InRect(PreviewRect(), x, y)) return kAspectHitPreview;
  return kAspectHitNone;
}

bool CAspectRotation::AspectAt(int32_t x, int32_t y, bool shift, float& flattening, float& rotation) const {
  const float r = DisplayRadius();
  if (!(r > 0.0f)) return false;
  const SPointF c = Centre();
  const double dx = x - static_cast<double>(c.x), dy = y - static_cast<double>(c.y);
  float f = static_cast<float>(100.0 - std::sqrt(dx * dx + dy * dy) / r * 100.0);
  f = std::clamp(f, 0.0f, 99.0f);
  if (shift) f = static_cast<float>(static_cast<int32_t>(f + 0.5f) / 5 * 5);
  const float angle = static_cast<float>(std::atan2(dy, dx) * 180.0 / kPi);
  float rot = angle <= -90.0f ? angle + 270.0f : angle - 90.0f;
  if (shift) rot = static_cast<float>(static_cast<int32_t>(rot + 0.5f) / 15 * 15);
  flattening = f;
  rotation = rot;
  return true;
}

int32_t CAspectRotation::MouseDown(int32_t x, int32_t y) {
  dragMode_ = HitTest(x, y);
  lastX_ = x;
  lastY_ = y;
  if (dragMode_ == kAspectHitDisplay) SwitchDisplayMode();
  return dragMode_;
}

void CAspectRotation::MouseMove(int32_t x, int32_t y, bool shift, bool ctrl, bool alt) {
  const int32_t dx = x - lastX_;
  lastX_ = x;
  lastY_ = y;
  switch (dragMode_) {
    case kAspectHitMaxRadius: {
      const float v = params_.maxRadius;
      SetMaxRadius(v + AspectDragIncrement(v, dx, false));
      break;
    }
    case kAspectHitMapScale: SetMapScale(mapScale_ + AspectDragIncrement(mapScale_, dx, true)); break;
    case kAspectHitMinRadius: {
      const float v = params_.minRadius;
      SetMinRadius(shift ? static_cast<float>((static_cast<int32_t>(v + 0.5f) / 5 + dx) * 5) : v + dx);
      break;
    }
    case kAspectHitAspect: {
      float f, r;
      if (!AspectAt(x, y, shift, f, r)) break;
      if (ctrl)
        SetFlattening(f);
      else if (alt)
        SetRotation(r);
      else
        SetRotationAndFlattening(r, f);
      break;
    }
    default: HoverAt(x, y); break;
  }
}

void CAspectRotation::ResetAspect() { SetRotationAndFlattening(0.0f, 0.0f); }

void CAspectRotation::SetHot(bool hot) {
  if (hot == hot_) return;
  hot_ = hot;
  Render();
}

void CAspectRotation::HoverAt(int32_t x, int32_t y) {
  const bool listHot = nibListVisible_ && InRect(NibListRect(), x, y);
  const uint8_t display = mapping_ ? 2 : (InRect(DisplayRect(), x, y) ? 1 : 0);
  if (listHot == nibListHot_ && display == displayState_) return;
  nibListHot_ = listHot;
  displayState_ = display;
  Render();
}

void CAspectRotation::ClearPreview() {
  preview_.SetBackground(0xFFFFFFFFu);
  preview_.Clear();
  if (OnDrawPreview) OnDrawPreview(preview_);
}

void CAspectRotation::Render() {
  if (!control_.IsValid()) return;
  const auto& c = AppearanceColors;
  const int32_t w = width_, h = height_;
  control_.SetBackground(c[acBtnFace]);
  control_.Clear();
  control_.FrameRect(TRect{0, 0, w, h}, 1, c[acGrayText], kCopy);
  control_.FillRect(TRect{1, 1, w - 1, h - 1}, c[acWindow], kCopy);
  control_.FillRect(TRect{2, h - 16, w - 2, h - 2}, c[acBtnFace], kCopy);
  if (previewWidth_ > 0 && previewHeight_ > 0)
    control_.DrawGraphic(2, 2, previewWidth_, previewHeight_, preview_, 0, 0, kCopy);
  if (hot_ || dragMode_ != kAspectHitNone) {
    control_.DrawPolyline(outer_, kAspectOuterPoints, c[acHighlightHalf], kOver);
    control_.DrawLine(InnerHandle(), OuterHandle(), c[acHighlightHalf], kOver);
    auto knob = [&](SPointF p) {
      control_.FillCircle(p, c[acHighlight], 2.25f, kOver);
      control_.FillCircle(p, c[acHighlightText], 1.25f, kOver);
    };
    knob(OuterHandle());
    knob(InnerHandle());
    if (aspectEnabled_) knob(AspectHandle());
  }
  const TAppearanceManager& m = AppearanceManager();
  if (nibListVisible_) {
    const TMemoryGraphic& g = m.GetButtonGlyph(1, nibListHot_ ? gsActive : gsNone);
    const TRect r = NibListRect();
    control_.DrawGraphic(r.left, r.top, g.Width(), g.Height(), g, 0, 0, kOver);
  }
  const TMemoryGraphic& g = m.GetButtonGlyph(5, displayState_);
  const TRect r = DisplayRect();
  control_.DrawGraphic(r.left, r.top, g.Width(), g.Height(), g, 0, 0, kOver);
  if (OnInvalidate) OnInvalidate();
}

}  // namespace tf
