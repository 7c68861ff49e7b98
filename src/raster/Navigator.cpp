#include "raster/Navigator.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "raster/Appearance.h"
#include "raster/Drawing.h"

namespace tf {

CNavigator::CNavigator() : frameColour_(AppearanceColors[acHighlight]) {}

void CNavigator::SetControlSize(int32_t width, int32_t height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width == controlWidth_ && height == controlHeight_ && picture_.IsValid()) return;
  controlWidth_ = width;
  controlHeight_ = height;
  picture_.Resize(std::max(width, 1), std::max(height, 1));
  Relayout();
  UpdatePreview(kNavigatorThumbnail | kNavigatorFrame);
}

void CNavigator::SetHasDocument(bool has) {
  if (has == hasDocument_) return;
  hasDocument_ = has;
  if (OnResize) OnResize();
  UpdatePreview(kNavigatorThumbnail | kNavigatorFrame);
}

void CNavigator::Relayout() {
  if (LayoutThumbnail()) {
    thumbnail_.Resize(std::max(InnerWidth(), 0), std::max(InnerHeight(), 0));
    if (OnResize) OnResize();
  }
  ComputeViewFrame();
}

void CNavigator::SetViewSize(int32_t width, int32_t height) {
  if (width == viewWidth_ && height == viewHeight_) return;
  viewWidth_ = width;
  viewHeight_ = height;
  Relayout();
}

void CNavigator::SetDocumentSize(int32_t width, int32_t height) {
  if (width == docWidth_ && height == docHeight_) return;
  docWidth_ = width;
  docHeight_ = height;
  Relayout();
}

void CNavigator::SetViewCenter(int32_t x, int32_t y) {
  if (x == centerX_ && y == centerY_) return;
  centerX_ = x;
  centerY_ = y;
  ComputeViewFrame();
  UpdatePreview(kNavigatorFrame);
  if (OnViewCenterChanged) OnViewCenterChanged(x, y);
}

void CNavigator::SetScale(float scale) {
  // The frame scale divides by it.
  if (scale == scale_ || !std::isfinite(scale) || !(scale > 0.0f)) return;
  scale_ = scale;
  frameScale_ = thumbScale_ / scale_;
  ComputeViewFrame();
  UpdatePreview(kNavigatorFrame);
}

void CNavigator::SetRotation(float radians) {
  if (radians == rotation_) return;
  rotation_ = radians;
  cos_ = static_cast<float>(std::cos(static_cast<double>(radians)));
  sin_ = static_cast<float>(std::sin(static_cast<double>(radians)));
  ComputeViewFrame();
  UpdatePreview(kNavigatorFrame);
  if (OnRotationChanged) OnRotationChanged(radians);
}

void CNavigator::SetFitToControl(bool limit) {
  if (limit == limitSize_) return;
  limitSize_ = limit;
  Relayout();
}

void CNavigator::SetThumbnailSize(int32_t width, int32_t height) {
  if (width < 5 || height < 5) return;
  if (width == boxWidth_ && height == boxHeight_) return;
  boxWidth_ = width;
  boxHeight_ = height;
  Relayout();
}

void CNavigator::UpdatePreview(uint8_t flags) {
  pending_ = flags;
  RenderPreview();
  if (OnInvalidate) OnInvalidate();
}

bool CNavigator::LayoutThumbnail() {
  if (docWidth_ < 1 || docHeight_ < 1) return false;
  int32_t w = boxWidth_, h = boxHeight_;
  if (docWidth_ < docHeight_)
    w = static_cast<int32_t>(static_cast<double>(docWidth_) * boxWidth_ / docHeight_ + 0.5);
  else
    h = static_cast<int32_t>(static_cast<double>(boxHeight_) * docHeight_ / docWidth_ + 0.5);
  if (limitSize_ && w + 4 <= controlWidth_ && h + 4 <= controlHeight_) {
    w += 4;
    h += 4;
  } else {
    w = controlWidth_;
    h = controlHeight_;
  }
  w = std::max(w, 5);
  h = std::max(h, 5);
  const float sx = static_cast<float>(w - 4) / static_cast<float>(docWidth_);
  const float sy = static_cast<float>(h - 4) / static_cast<float>(docHeight_);
  if (sx < sy) {
    thumbScale_ = sx;
    h = std::max(5, static_cast<int32_t>(static_cast<float>(docHeight_) * sx) + 4);
  } else {
    thumbScale_ = sy;
    w = std::max(5, static_cast<int32_t>(static_cast<float>(docWidth_) * sy) + 4);
  }
  frameScale_ = thumbScale_ / scale_;
  const int32_t left = (controlWidth_ - w) / 2, top = (controlHeight_ - h) / 2;
  const TRect r{left, top, left + w, top + h};
  if (r == thumbRect_) return false;
  thumbRect_ = r;
  ComputeViewFrame();
  return true;
}

TRect CNavigator::GetInnerRect() const {
  return TRect{thumbRect_.left + 2, thumbRect_.top + 2, thumbRect_.right - 2, thumbRect_.bottom - 2};
}
int32_t CNavigator::InnerWidth() const { return thumbRect_.right - thumbRect_.left - 4; }
int32_t CNavigator::InnerHeight() const { return thumbRect_.bottom - thumbRect_.top - 4; }

void CNavigator::ComputeViewFrame() {
  const float hx = static_cast<float>(viewWidth_ - 1) / 2.0f, hy = static_cast<float>(viewHeight_ - 1) / 2.0f;
  const SPointF corners[4] = {{-hx, -hy}, {hx, -hy}, {hx, hy}, {-hx, hy}};
  const float ox = static_cast<float>(thumbRect_.left + 2) + static_cast<float>(centerX_) * thumbScale_;
  const float oy = static_cast<float>(thumbRect_.top + 2) + static_cast<float>(centerY_) * thumbScale_;
  for (int32_t i = 0; i < 4; ++i) {
    const float x = cos_ * corners[i].x - sin_ * corners[i].y;
    const float y = sin_ * corners[i].x + cos_ * corners[i].y;
    frame_[i] = SPointF{x * frameScale_ + ox, y * frameScale_ + oy};
  }
}

void CNavigator::RenderPreview() {
  if (!picture_.IsValid()) return;
  const int32_t w = picture_.Width(), h = picture_.Height();
  const uint32_t face = AppearanceColors[acBtnFace];
  if (!hasDocument_) {
    picture_.FillValue(face);
    pending_ = 0;
    return;
  }
  if (pending_ != 0) {
    if ((pending_ & kNavigatorThumbnail) != 0 && OnRenderThumbnail)
      OnRenderThumbnail(thumbnail_, InnerWidth(), InnerHeight());
    if (thumbnail_.IsValid()) {
      TPoint at{thumbRect_.left + 2, thumbRect_.top + 2};
      SRectWH all{0, 0, thumbnail_.Width(), thumbnail_.Height()};
      picture_.CopyFrom(thumbnail_, at, all);
    }
    if ((pending_ & kNavigatorFrame) != 0) {
      const bool aa = rotation_ != 0.0f;
      for (int32_t i = 0; i < 4; ++i) {
        const SPointF& a = frame_[i];
        const SPointF& b = frame_[(i + 1) & 3];
        DrawLineAA(picture_, frameColour_, aa, a.x, a.y, b.x, b.y);
      }
      // Where up is.
      DrawSoftDot(picture_, frameColour_, true, (frame_[0].x + frame_[1].x) / 2.0f, (frame_[0].y + frame_[1].y) / 2.0f,
                  2.0f, 1.0f, false);
    }
  }
  const TRect& r = thumbRect_;
  picture_.FillRectCoords(0, 0, w, std::max(r.top, 0), face);
  picture_.FillRectCoords(0, r.bottom, w, h - r.bottom, face);
  picture_.FillRectCoords(0, r.top, std::max(r.left, 0), r.bottom - r.top, face);
  picture_.FillRectCoords(r.right, r.top, w - r.right, r.bottom - r.top, face);
  const int32_t rw = r.right - r.left, rh = r.bottom - r.top;
  FrameRectTwoTone(picture_, SRectWH{r.left, r.top, rw, rh}, AppearanceColors[acBtnShadow],
                   AppearanceColors[acBtnHighlight], 255);
  FrameRect(picture_, SRectWH{r.left + 1, r.top + 1, rw - 2, rh - 2}, AppearanceColors[acWindowFrame], 255);
  pending_ = 0;
}

bool CNavigator::PointToDocument(int32_t x, int32_t y, int32_t& docX, int32_t& docY) const {
  if (!(thumbScale_ > 0.0f)) return false;
  const float px = static_cast<float>(x - (thumbRect_.left + 2));
  const float py = static_cast<float>(y - (thumbRect_.top + 2));
  const float iw = static_cast<float>(InnerWidth()), ih = static_cast<float>(InnerHeight());
  // The diagonal's extent against the thumbnail.
  const float mx = std::fabs(std::fabs(frame_[2].x - frame_[0].x) - iw) / 2.0f;
  const float my = std::fabs(std::fabs(frame_[2].y - frame_[0].y) - ih) / 2.0f;
  const double dx = std::min(std::max(px, -mx), iw + mx) / thumbScale_;
  const double dy = std::min(std::max(py, -my), ih + my) / thumbScale_;
  if (!(std::fabs(dx) < 2147483647.0) || !(std::fabs(dy) < 2147483647.0)) return false;
  docX = static_cast<int32_t>(dx);
  docY = static_cast<int32_t>(dy);
  return true;
}

float CNavigator::AngleAt(int32_t x, int32_t y) const {
  const int32_t cx = thumbRect_.left + (thumbRect_.right - thumbRect_.left) / 2;
  const int32_t cy = thumbRect_.top + (thumbRect_.bottom - thumbRect_.top) / 2;
  const float a = static_cast<float>(std::atan2(static_cast<double>(y - cy), static_cast<double>(x - cx)));
  return reverseRotation_ ? -a : a;
}

bool CNavigator::InInner(int32_t x, int32_t y) const {
  const TRect r = GetInnerRect();
  return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

bool CNavigator::LeftDown(int32_t x, int32_t y, bool alt) {
  if (dragging_ || rotating_) return false;
  pressX_ = x;
  pressY_ = y;
  if (!InInner(x, y)) return false;
  if (alt) {
    rotating_ = true;
    rotationStarted_ = false;
    pressAngle_ = AngleAt(x, y);
  } else {
    dragging_ = true;
    int32_t dx, dy;
    if (PointToDocument(x, y, dx, dy)) SetViewCenter(dx, dy);
  }
  return true;
}

bool CNavigator::RightDown(int32_t x, int32_t y) {
  if (dragging_ || rotating_) return false;
  pressX_ = x;
  pressY_ = y;
  if (!InInner(x, y)) return false;
  rotating_ = true;
  rotationStarted_ = false;
  pressAngle_ = AngleAt(x, y);
  return true;
}

void CNavigator::MouseMove(int32_t x, int32_t y, bool turnHeld, int32_t dragX, int32_t dragY) {
  if (dragging_) {
    int32_t dx, dy;
    if (PointToDocument(x, y, dx, dy)) SetViewCenter(dx, dy);
    return;
  }
  if (rotating_ && !rotationStarted_ && turnHeld &&
      (std::abs(x - pressX_) > dragX || std::abs(y - pressY_) > dragY))
    rotationStarted_ = true;
  if (rotating_ && rotationStarted_) SetRotation(pressAngle_ - AngleAt(x, y));
}

void CNavigator::ButtonUp() {
  dragging_ = false;
  if (rotating_) {
    rotating_ = false;
    // A click turns the view back upright.
    if (!rotationStarted_) SetRotation(0.0f);
  }
  rotationStarted_ = false;
}

}  // namespace tf
