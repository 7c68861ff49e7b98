#include "ui/PresetPreview.h"

#include <QMouseEvent>
#include <QPainter>

#include "ui/MemoryGraphicQt.h"

namespace tf {

TPresetPreview::TPresetPreview(CPresetPreview::Kind kind, QWidget* parent) : GraphicControl(parent), preview_(kind) {
  SetWithholdsMouse(true);
  preview_.SetSize(width(), height());
}

void TPresetPreview::RenderPreview() { preview_.RenderPreview(); }
void TPresetPreview::RenderControl() {
  preview_.RenderControl();
  Shown();
}

void TPresetPreview::Shown() {
  update();
}

void TPresetPreview::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  preview_.SetSize(width(), height());
  Shown();
}

void TPresetPreview::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const TMemoryGraphic& g = preview_.Picture();
  Draw(g, painter, 0, 0, g.Width(), g.Height());
}

// No standard events: taken and dropped.
void TPresetPreview::mousePressEvent(QMouseEvent* event) { event->accept(); }
void TPresetPreview::mouseReleaseEvent(QMouseEvent* event) { event->accept(); }
void TPresetPreview::mouseDoubleClickEvent(QMouseEvent* event) { event->accept(); }
void TPresetPreview::mouseMoveEvent(QMouseEvent* event) { event->accept(); }

void TPenNibPreview::SetNib(const SNibPreview& nib) {
  preview_.SetNib(nib);
  Shown();
}

void TSwatchPreview::SetColor(uint32_t colour) {
  preview_.SetColor(colour);
  Shown();
}

void TGradientPreview::SetGradient(const CGradObj* gradient, const SGradOption& option) {
  preview_.SetGradient(gradient, option);
  Shown();
}

void TTonePreview::SetPattern(const CPatObj* pattern) {
  preview_.SetPattern(pattern);
  Shown();
}

}  // namespace tf
