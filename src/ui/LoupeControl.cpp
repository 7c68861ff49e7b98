#include "ui/LoupeControl.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>

#include "ui/ControlSupport.h"

namespace tf {

TLoupeControl::TLoupeControl(QWidget* parent) : GraphicControl(parent) { loupe_.SetSize(width(), height()); }

void TLoupeControl::SetMagnification(float magnification) {
  if (loupe_.SetMagnification(magnification)) update();
}

void TLoupeControl::SetGrid(bool grid) {
  if (loupe_.SetGrid(grid)) update();
}

void TLoupeControl::DrawLoupe(const TMTC& source, float x, float y, float angle) {
  if (loupe_.DrawLoupe(source, x, y, angle)) update();
}

void TLoupeControl::ClearLoupe() {
  loupe_.ClearLoupe();
  update();
}

void TLoupeControl::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (width() == loupe_.Width() && height() == loupe_.Height()) return;
  loupe_.SetSize(width(), height());
  update();
}

void TLoupeControl::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  DrawPicture(painter, loupe_.Picture());
}

// ---------------------------------------------------------------------------------------------

TPreviewControl::TPreviewControl(QWidget* parent) : GraphicControl(parent) {
  setMouseTracking(true);
  nav_.OnRenderThumbnail = [this](TMTC& image, int32_t w, int32_t h) {
    if (OnRenderThumbnail) OnRenderThumbnail(this, image, w, h);
  };
  nav_.OnViewCenterChanged = [this](int32_t x, int32_t y) {
    if (OnViewCenterChanged) OnViewCenterChanged(this, x, y);
  };
  nav_.OnRotationChanged = [this](float r) {
    if (OnRotationChanged) OnRotationChanged(this, r);
  };
  nav_.OnResize = [this] {
    if (OnResize) OnResize(this);
  };
  nav_.OnInvalidate = [this] { update(); };
  nav_.SetControlSize(width(), height());
}

void TPreviewControl::SetDocumentWindow(QObject* form) {
  form_ = form;
  nav_.SetHasDocument(form != nullptr);
  if (OnResize) OnResize(this);
}

void TPreviewControl::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  nav_.SetControlSize(width(), height());
}

void TPreviewControl::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  DrawPicture(painter, nav_.Picture());
}

bool TPreviewControl::Answers(QMouseEvent* event) const {
  const QPoint p = event->position().toPoint();
  return isEnabled() && (nav_.Dragging() || nav_.Rotating() || nav_.InInner(p.x(), p.y()));
}

void TPreviewControl::mousePressEvent(QMouseEvent* event) {
  if (WithholdsMouse()) return;  // taken and dropped
  if (!Answers(event)) {
    event->ignore();
    return;
  }
  if (!CanHotTrack(this) || nav_.Dragging() || nav_.Rotating()) return;
  const QPoint p = event->position().toPoint();
  if (event->button() == Qt::LeftButton)
    nav_.LeftDown(p.x(), p.y(), (event->modifiers() & Qt::AltModifier) != 0);
  else if (event->button() == Qt::RightButton)
    nav_.RightDown(p.x(), p.y());  // Qt's implicit grab holds the mouse until the release
}

void TPreviewControl::mouseDoubleClickEvent(QMouseEvent* event) { mousePressEvent(event); }

void TPreviewControl::mouseMoveEvent(QMouseEvent* event) {
  if (WithholdsMouse()) return;
  if (!Answers(event)) {
    event->ignore();
    return;
  }
  if (!EnterHotState(this)) return;
  const QPoint p = event->position().toPoint();
  const bool turnHeld = (event->modifiers() & Qt::AltModifier) != 0 || (event->buttons() & Qt::RightButton) != 0;
  const int32_t drag = QApplication::startDragDistance();
  nav_.MouseMove(p.x(), p.y(), turnHeld, drag, drag);
}

void TPreviewControl::mouseReleaseEvent(QMouseEvent* event) {
  if (WithholdsMouse()) return;
  if (event->button() != Qt::LeftButton && event->button() != Qt::RightButton) return;
  if (!nav_.Dragging() && !nav_.Rotating() && !Answers(event)) {
    event->ignore();
    return;
  }
  nav_.ButtonUp();
}

}  // namespace tf
