#include "ui/GraphicTrackbar.h"

#include <QEvent>
#include <QMouseEvent>
#include <algorithm>
#include <cmath>

#include "raster/Appearance.h"

namespace tf {

namespace {

constexpr SChannelOps kCopy{ChannelCopy, ChannelCopy};
constexpr SChannelOps kOver{ChannelBlend, ChannelKeep};

bool SamePosition(float a, float b) { return a == b || (std::isnan(a) && std::isnan(b)); }

}  // namespace

TGraphicTrackbar::TGraphicTrackbar(QWidget* parent) : GraphicControl(parent) {
  Graphic().SetBackground(AppearanceColors[acBtnFace]);
  Graphic().SetSize(4, 4);
  setMouseTracking(true);
  LayOut();
}

void TGraphicTrackbar::SetOrientation(TGraphicTrackbarOrientation orientation) {
  if (orientation == orientation_) return;
  orientation_ = orientation;
  LayOut();
  Rerender();
}

float TGraphicTrackbar::GetPosition() const {
  float p = position_;
  if (OnOutFilter) OnOutFilter(const_cast<TGraphicTrackbar*>(this), p);
  return p;
}

void TGraphicTrackbar::SetPosition(float position) {
  float p = std::min(1.0f, std::max(0.0f, position));
  if (std::isnan(position)) p = 0.0f;
  // The in-filter may hand back anything; it is stored and drawn as given.
  if (OnInFilter) OnInFilter(this, p);
  if (SamePosition(p, position_)) return;
  position_ = p;
  Rerender();
  Change();
}

void TGraphicTrackbar::SetCenterLine(bool centerLine) {
  if (centerLine == centerLine_) return;
  centerLine_ = centerLine;
  Rerender();
}

void TGraphicTrackbar::Change() {
  if (OnChange) OnChange(this);
}

void TGraphicTrackbar::LayOut() { track_ = TrackbarTrackRect(orientation_, width(), height()); }

void TGraphicTrackbar::resizeEvent(QResizeEvent* event) {
  LayOut();
  GraphicControl::resizeEvent(event);
}

void TGraphicTrackbar::changeEvent(QEvent* event) {
  GraphicControl::changeEvent(event);
  if (event->type() == QEvent::EnabledChange) Rerender();
}

void TGraphicTrackbar::RenderGraphic() {
  TMemoryGraphic& g = Graphic();
  const int32_t w = std::max(width(), 4), h = std::max(height(), 4);
  if (g.Width() != w || g.Height() != h) g.SetSize(w, h);
  g.SetBackground(AppearanceColors[acBtnFace]);
  g.Clear();
  const uint32_t frame = AppearanceColors[acWindowFrame];
  const TAppearanceManager& appearance = AppearanceManager();
  const TRect& t = track_;
  switch (orientation_) {
    case TGraphicTrackbarOrientation::gtHorizontal: {
      g.DrawBevel(t, 1, AppearanceColors[acBtnShadow], AppearanceColors[acBtnHighlight], kCopy);
      g.FrameRect({t.left + 1, t.top + 1, t.right - 1, t.bottom - 1}, 1, frame, kCopy);
      if (centerLine_) {
        const int32_t x = t.left + (t.right - t.left) / 2;
        g.FillRect({x, t.top + 1, x + 1, t.bottom - 1}, frame, kCopy);
      }
      const TMemoryGraphic& thumb = appearance.GetMarkGlyph(1);
      g.DrawGraphic(TrackbarThumbX(width(), position_), 2, thumb.Width(), thumb.Height(), thumb, 0, 0, kOver);
      break;
    }
    case TGraphicTrackbarOrientation::gtVertical: {
      g.DrawBevel(t, 1, AppearanceColors[acBtnShadow], AppearanceColors[acBtnHighlight], kCopy);
      g.FrameRect({t.left + 1, t.top + 1, t.right - 1, t.bottom - 1}, 1, frame, kCopy);
      if (centerLine_) {
        const int32_t y = t.top + (t.bottom - t.top) / 2;
        g.FillRect({t.left + 1, y, t.right - 1, y + 1}, frame, kCopy);
      }
      const TMemoryGraphic& thumb = appearance.GetMarkGlyph(7);
      g.DrawGraphic((width() - 10) / 2, TrackbarThumbY(height(), position_), thumb.Width(), thumb.Height(), thumb, 0,
                    0, kOver);
      break;
    }
    default: {
      g.FrameDot(t.left, t.top, std::min(t.right - t.left, t.bottom - t.top), 1, frame, kOver);
      SPointF centre, tip;
      TrackbarNeedle(orientation_, g.Width(), g.Height(), position_, centre, tip);
      g.DrawLine(centre, tip, frame, kOver);
      break;
    }
  }
  if (!isEnabled()) g.FillRect({0, 0, g.Width(), g.Height()}, AppearanceColors[acBtnFaceTwoThirds], kOver);
}

void TGraphicTrackbar::TakePointAt(QPoint point) {
  const float p = TrackbarPositionAt(orientation_, width(), height(), point.x(), point.y());
  position_ = std::min(1.0f, std::max(0.0f, p));
  Rerender();
  Change();
}

void TGraphicTrackbar::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !CanHotTrack(this)) return;
  dragging_ = true;
  if (!focusControl_.isNull()) focusControl_->setFocus();
  TakePointAt(event->position().toPoint());
}

void TGraphicTrackbar::mouseMoveEvent(QMouseEvent* event) {
  if (EnterHotState(this) && dragging_) TakePointAt(event->position().toPoint());
}

void TGraphicTrackbar::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) dragging_ = false;
}

}  // namespace tf
