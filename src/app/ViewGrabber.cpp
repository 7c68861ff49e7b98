#include "app/ViewGrabber.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "paper/Paper.h"
#include "platform/ResourceText.h"
#include "raster/Appearance.h"

namespace tf {

namespace {

constexpr SChannelOps kCopy{ChannelCopy, ChannelCopy};
// Antialiased parts keep their colour and fade in alpha over the transparent picture.
constexpr SChannelOps kFade{ChannelCopy, ChannelBlend};

constexpr TRect kPartRects[9] = {
    {0, 0, 0, 0},           {14, 14, 115, 115},  {14, 133, 115, 144}, {118, 59, 129, 70}, {59, 118, 70, 129},
    {0, 59, 11, 70},        {59, 0, 70, 11},     {118, 133, 129, 144}, {0, 133, 11, 144},
};

bool Inside(const TRect& r, int32_t x, int32_t y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

// s x 10000 rounded up or down, as a ratio over 10000, kept inside the int32 range.
int32_t ScaledTerm(double value) {
  if (!(value > -2.0e9)) return -2000000000;
  if (value > 2.0e9) return 2000000000;
  return static_cast<int32_t>(value);
}

float RatioValue(const TZoomRatio& r) {
  return static_cast<float>(static_cast<double>(r.numerator) / static_cast<double>(r.denominator));
}

}  // namespace

TRect GrabberPartRect(int32_t part) { return part >= 1 && part <= 8 ? kPartRects[part] : TRect{0, 0, 0, 0}; }

uint8_t GrabberHitTest(int32_t x, int32_t y) {
  for (uint8_t part : {3, 4, 5, 6, 8, 7}) {
    if (Inside(kPartRects[part], x, y)) return part;
  }
  if (Inside(kPartRects[kGrabberSlider], x, y)) return kGrabberSlider;
  const int64_t dx = int64_t{x} - 64, dy = int64_t{y} - 64;
  const int64_t d2 = dx * dx + dy * dy;
  constexpr int64_t r = 50;
  if ((r - 13) * (r - 13) <= d2 && d2 <= r * r) return kGrabberRing;
  return kGrabberNone;
}

bool GrabberSnapping(bool shiftDown, bool forceDispParam) { return shiftDown != forceDispParam; }

float GrabberRingRotation(int32_t x, int32_t y, bool snap) {
  const double dx = x - (14 + 50.5), dy = y - (14 + 50.5);
  const double a = std::atan2(dy, dx) * 180.0 / std::numbers::pi + 180.0;
  if (snap) return static_cast<float>(std::trunc(a / 15.0 + 0.5) * 15.0 - 180.0);
  return static_cast<float>(a - 180.0);
}

float GrabberSliderScale(int32_t x, bool snap) {
  const float t = std::clamp(static_cast<float>(x - 14 - 6) / 90.0f, 0.0f, 1.0f);
  const float e = 15.0f * t;
  const float scale = (e + 1.0f) / (16.0f - e);
  return snap ? SnapScaleToZoomStep(scale) : scale;
}

float SnapScaleToZoomStep(float scale) {
  TZoomRatio lower{ScaledTerm(std::ceil(static_cast<double>(scale) * 10000.0)) + 1, 10000};
  ZoomRatioDown(lower);
  TZoomRatio upper{ScaledTerm(std::floor(static_cast<double>(scale) * 10000.0)) - 1, 10000};
  ZoomRatioUp(upper);
  const float low = RatioValue(lower), high = RatioValue(upper);
  return 2.0f * scale >= low + high ? high : low;
}

float GrabberZoomInStep(float scale) {
  TZoomRatio r{ScaledTerm(std::ceil(static_cast<double>(scale) * 10000.0)) + 1, 10000};
  ZoomRatioUp(r);
  return RatioValue(r);
}

float GrabberZoomOutStep(float scale) {
  TZoomRatio r{ScaledTerm(std::floor(static_cast<double>(scale) * 10000.0)) - 1, 10000};
  ZoomRatioDown(r);
  return RatioValue(r);
}

float WrapRotation(float degrees) {
  if (!std::isfinite(degrees)) return 0.0f;
  double d = std::fmod(static_cast<double>(degrees) + 180.0, 360.0);
  if (d < 0.0) d += 360.0;
  float r = static_cast<float>(d - 180.0);
  if (r >= 180.0f) r -= 360.0f;
  return r;
}

TPoint GrabberRingKnob(float rotationDegrees) {
  const double a = static_cast<double>(rotationDegrees) * std::numbers::pi / 180.0;
  return {14 + 45 + static_cast<int32_t>(std::trunc(45.0 * std::cos(a))),
          14 + 45 + static_cast<int32_t>(std::trunc(45.0 * std::sin(a)))};
}

TPoint GrabberSliderKnob(float scale) {
  const float t = (16.0f * scale - 1.0f) / (15.0f * scale + 15.0f);
  return {14 + static_cast<int32_t>(std::trunc(90.0f * t + 0.5f)), 133};
}

const char* GrabberHint(int32_t part) {
  switch (part) {
    case kGrabberRing: return Tx(TextId::GrabberHintRing);
    case kGrabberSlider: return Tx(TextId::GrabberHintSlider);
    case kGrabberResetAngle: return Tx(TextId::GrabberHintResetAngle);
    case kGrabberTurnMinus90: return Tx(TextId::GrabberHintTurnMinus90);
    case kGrabberTurn180: return Tx(TextId::GrabberHintTurn180);
    case kGrabberTurn90: return Tx(TextId::GrabberHintTurn90);
    case kGrabberZoomIn: return Tx(TextId::GrabberHintZoomIn);
    case kGrabberZoomOut: return Tx(TextId::GrabberHintZoomOut);
    default: return "";
  }
}

CViewGrabber::CViewGrabber() : image_(kGrabberWidth, kGrabberHeight, BGRAClear) {
  for (uint8_t part = 1; part <= 8; ++part) RenderPart(part, false);
}

bool CViewGrabber::SetScale(float scale) {
  if (!std::isfinite(scale) || !(scale > 0.0f)) return false;
  if (scale == scale_) return false;
  scale_ = scale;
  return true;
}

bool CViewGrabber::SetRotation(float degrees) {
  const float r = WrapRotation(degrees);
  if (r == rotation_) return false;
  rotation_ = r;
  return true;
}

void CViewGrabber::RenderPart(uint8_t part, bool hot) {
  const uint32_t colour = AppearanceColors[hot ? acHighlightHalf : acGrayTextHalf];
  const uint32_t face = AppearanceColors[acBtnFace];
  const TRect r = GrabberPartRect(part);
  if (part == kGrabberRing) {
    image_.FillRect({r.left - 2, r.top - 2, r.right + 2, r.bottom + 2}, BGRAClear, kCopy);
    image_.FrameDot(r.left - 2, r.top - 2, r.right - r.left + 4, 1, face, kFade);
    image_.FrameDot(r.left + 14, r.top + 14, r.right - r.left - 28, 1, face, kFade);
    image_.FrameDot(r.left, r.top, r.right - r.left, 13, colour, kFade);
  } else if (part == kGrabberSlider) {
    image_.FillRect(r, colour, kCopy);
    image_.FrameRect({r.left - 2, r.top - 2, r.right + 2, r.bottom + 2}, 1, face, kCopy);
  } else if (part >= 3 && part <= 8) {
    const TMemoryGraphic& glyph = AppearanceManager().GetButtonGlyph(part + 4, hot ? gsActive : gsNone);
    image_.DrawGraphic(r.left, r.top, glyph.Width(), glyph.Height(), glyph, 0, 0, kCopy);
  }
}

bool CViewGrabber::SetHot(uint8_t part) {
  if (part == hotPart_) return false;
  if (hotPart_ != 0) RenderPart(hotPart_, false);
  hotPart_ = part;
  if (part != 0) RenderPart(part, true);
  return true;
}

void CViewGrabber::UpdateHint(uint8_t part, SResult& result) {
  if (part == 0) {
    if (!hint_.empty()) result.hintChanged = true;
    hint_.clear();
    lastHintPart_ = 0;
    return;
  }
  if (part == lastHintPart_ && !hint_.empty()) return;
  lastHintPart_ = part;
  hint_ = GrabberHint(part);
  result.hintChanged = true;
}

CViewGrabber::SResult CViewGrabber::Press(int32_t x, int32_t y, bool snap) {
  SResult result;
  dragPart_ = GrabberHitTest(x, y);
  if (dragPart_ == 0) return result;
  pressPoint_ = {x, y};
  if (dragPart_ == kGrabberRing || dragPart_ == kGrabberSlider) {
    result.enter = true;
    // The value jumps to the pointer at once.
    const SResult moved = Move(x, y, snap);
    result.changed = moved.changed;
    result.repaint = moved.repaint;
    result.hintChanged = moved.hintChanged;
  }
  return result;
}

CViewGrabber::SResult CViewGrabber::Move(int32_t x, int32_t y, bool snap) {
  SResult result;
  UpdateHint(dragPart_ != 0 ? dragPart_ : GrabberHitTest(x, y), result);
  switch (dragPart_) {
    case kGrabberRing:
      result.changed = SetRotation(GrabberRingRotation(x, y, snap));
      break;
    case kGrabberSlider:
      result.changed = SetScale(GrabberSliderScale(x, snap));
      break;
    case kGrabberNone:
      result.repaint = SetHot(GrabberHitTest(x, y));
      break;
    default:
      break;
  }
  result.repaint = result.repaint || result.changed;
  return result;
}

CViewGrabber::SResult CViewGrabber::Release(int32_t x, int32_t y) {
  SResult result;
  switch (dragPart_) {
    case kGrabberRing:
    case kGrabberSlider: result.exit = true; break;
    case kGrabberResetAngle: result.changed = SetRotation(0.0f); break;
    case kGrabberTurnMinus90: result.changed = SetRotation(-90.0f); break;
    case kGrabberTurn180: result.changed = SetRotation(-180.0f); break;
    case kGrabberTurn90: result.changed = SetRotation(90.0f); break;
    case kGrabberZoomIn: result.changed = SetScale(GrabberZoomInStep(scale_)); break;
    case kGrabberZoomOut: result.changed = SetScale(GrabberZoomOutStep(scale_)); break;
    default: break;
  }
  dragPart_ = 0;
  HitTestMessage(x, y, &result);
  result.repaint = result.repaint || result.changed;
  return result;
}

uint8_t CViewGrabber::HitTestMessage(int32_t x, int32_t y, SResult* result) {
  const uint8_t part = GrabberHitTest(x, y);
  if (dragPart_ == 0 && part == 0 && SetHot(0) && result != nullptr) result->repaint = true;
  return part;
}

}  // namespace tf
