#include "ui/GraphicControl.h"

#include <QPainter>
#include <QResizeEvent>

#include "ui/MemoryGraphicQt.h"

namespace tf {

GraphicControl::GraphicControl(QWidget* parent) : QWidget(parent) {
  // Painting covers every pixel: no erase first.
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void GraphicControl::Rerender() {
  RenderGraphic();
  update();
}

void GraphicControl::RenderGraphic() { graphic_.Clear(); }

void GraphicControl::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  graphic_.SetSize(width(), height());
  Rerender();
}

void GraphicControl::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  Draw(graphic_, painter, 0, 0, graphic_.Width(), graphic_.Height());
}

}  // namespace tf
