#include "ui/GrabberControl.h"

#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include "app/AppProfile.h"
#include "platform/Debug.h"
#include "raster/Appearance.h"
#include "ui/MemoryGraphicQt.h"

namespace tf {

QRegion GrabberPartsRegion() {
  QRegion region;
  for (int32_t y = 0; y < kGrabberHeight; ++y) {
    int32_t x = 0;
    while (x < kGrabberWidth) {
      if (GrabberHitTest(x, y) == kGrabberNone) {
        ++x;
        continue;
      }
      const int32_t start = x;
      while (x < kGrabberWidth && GrabberHitTest(x, y) != kGrabberNone) ++x;
      region += QRect(start, y, x - start, 1);
    }
  }
  return region;
}

TGrabberControl::TGrabberControl(QWidget* parent) : GraphicControl(parent) {
  // It paints nothing: what lies under it is the parent's painting.
  setAttribute(Qt::WA_OpaquePaintEvent, false);
  setAttribute(Qt::WA_NoSystemBackground, true);
  setFixedSize(kGrabberWidth, kGrabberHeight);
  setMouseTracking(true);
  setMask(GrabberPartsRegion());
}

bool TGrabberControl::SetScale(float scale) {
  if (!grabber_.SetScale(scale)) return false;
  if (OnChange) OnChange(this);
  InvalidateInParent();
  return true;
}

bool TGrabberControl::SetRotation(float degrees) {
  if (!grabber_.SetRotation(degrees)) return false;
  if (OnChange) OnChange(this);
  InvalidateInParent();
  return true;
}

void TGrabberControl::DrawTo(QPainter& painter, int32_t x, int32_t y) const {
  const TMemoryGraphic& image = grabber_.Image();
  const SChannelOps over{ChannelBlend, ChannelKeep};
  DrawBlend(image, painter, x, y, image.Width(), image.Height(), 0, 0, over);
  const TMemoryGraphic& knob = AppearanceManager().GetMarkGlyph(0);
  const TPoint ring = GrabberRingKnob(grabber_.Rotation());
  DrawBlend(knob, painter, x + ring.x, y + ring.y, knob.Width(), knob.Height(), 0, 0, over);
  const TPoint slider = GrabberSliderKnob(grabber_.Scale());
  DrawBlend(knob, painter, x + slider.x, y + slider.y, knob.Width(), knob.Height(), 0, 0, over);
}

void TGrabberControl::paintEvent(QPaintEvent*) {}

bool TGrabberControl::SnapFor(const QMouseEvent* event) const {
  return GrabberSnapping((event->modifiers() & Qt::ShiftModifier) != 0, AppProfile().ForceDispParam);
}

void TGrabberControl::InvalidateInParent() {
  if (parentWidget() != nullptr) parentWidget()->update(geometry());
  else update();
}

void TGrabberControl::Apply(const CViewGrabber::SResult& result) {
  if (result.enter && OnGrabberEnter) OnGrabberEnter(this);
  if (result.changed && OnChange) OnChange(this);
  if (result.hintChanged) {
    const std::string& hint = grabber_.Hint();
    const size_t bar = hint.find('|');
    QToolTip::hideText();
    setToolTip(QString::fromStdString(hint.substr(0, bar)));
    const std::string status = bar == std::string::npos ? hint : hint.substr(bar + 1);
    if (OnHint) OnHint(status);
    else if (!status.empty()) DebugOut("TGrabberControl: the main window's hint line is not built yet\n");
  }
  if (result.exit && OnGrabberExit) OnGrabberExit(this);
  if (result.repaint || result.changed) InvalidateInParent();
}

void TGrabberControl::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !CanHotTrack(this)) return;
  const QPoint p = event->position().toPoint();
  Apply(grabber_.Press(p.x(), p.y(), SnapFor(event)));
}

void TGrabberControl::mouseDoubleClickEvent(QMouseEvent* event) { mousePressEvent(event); }

void TGrabberControl::mouseMoveEvent(QMouseEvent* event) {
  if (!EnterHotState(this)) return;
  const QPoint p = event->position().toPoint();
  Apply(grabber_.Move(p.x(), p.y(), SnapFor(event)));
}

void TGrabberControl::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const QPoint p = event->position().toPoint();
  Apply(grabber_.Release(p.x(), p.y()));
}

void TGrabberControl::leaveEvent(QEvent* event) {
  GraphicControl::leaveEvent(event);
  CViewGrabber::SResult result;
  grabber_.HitTestMessage(-1, -1, &result);
  Apply(result);
}

void TGrabberControl::showEvent(QShowEvent* event) {
  GraphicControl::showEvent(event);
  InvalidateInParent();
}

void TGrabberControl::hideEvent(QHideEvent* event) {
  GraphicControl::hideEvent(event);
  if (parentWidget() != nullptr) parentWidget()->repaint(geometry());
}

}  // namespace tf
