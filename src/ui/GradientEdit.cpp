#include "ui/GradientEdit.h"

#include <QMouseEvent>
#include <QPainter>

#include "ui/MemoryGraphicQt.h"

namespace tf {

TGradientEdit::TGradientEdit(QWidget* parent) : GraphicControl(parent) {
  setMinimumSize(kGradientEditMinWidth, kGradientEditMinHeight);
  stops_.OnChange = [this] {
    if (OnChange) OnChange(this);
  };
  stops_.OnInvalidate = [this] {
    update();
  };
  stops_.SetSize(width(), height());
}

void TGradientEdit::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  stops_.SetSize(width(), height());
}

void TGradientEdit::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const TMemoryGraphic& g = stops_.Picture();
  Draw(g, painter, 0, 0, g.Width(), g.Height());
}

void TGradientEdit::mousePressEvent(QMouseEvent* event) {
  if (WithholdsMouse() || event->button() != Qt::LeftButton || !CanHotTrack(this)) return;
  stops_.MouseDown(event->position().toPoint().x());
}

void TGradientEdit::mouseDoubleClickEvent(QMouseEvent* event) { mousePressEvent(event); }

void TGradientEdit::mouseMoveEvent(QMouseEvent* event) {
  if (WithholdsMouse() || !stops_.Pressed()) return;
  const QPoint p = event->position().toPoint();
  stops_.MouseMove(p.x(), rect().contains(p));
}

void TGradientEdit::mouseReleaseEvent(QMouseEvent* event) {
  if (WithholdsMouse() || event->button() != Qt::LeftButton) return;
  stops_.MouseUp(rect().contains(event->position().toPoint()));
}

}  // namespace tf
