#include "ui/ColorCells.h"

#include <QEvent>
#include <QMouseEvent>

#include "ui/ColorPickerForm.h"

namespace tf {

void TCustomColorCell::BindCore(CCustomColorCellCore& core) {
  core_ = &core;
  core.onChange = [this] {
    if (onChange_) onChange_(*this);
  };
  core.onRepaint = [this] { Rerender(); };
}

void TCustomColorCell::RenderGraphic() { core_->RenderCell(Graphic(), width(), height()); }

void TCustomColorCell::MouseDownEvent(int32_t x, int32_t y) {
  if (onMouseDown_) onMouseDown_(*this, x, y);
}

// ---- picker cell ----

TPickerColorCell::TPickerColorCell(QWidget* parent) : TCustomColorCell(parent) { BindCore(core_); }

void TPickerColorCell::changeEvent(QEvent* event) {
  GraphicControl::changeEvent(event);
  if (event->type() == QEvent::EnabledChange) core_.SetEnabled(isEnabled());
}

void TPickerColorCell::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const QPoint p = event->position().toPoint();
  MouseDownEvent(p.x(), p.y());
  if (!core_.callPickerDialog || core_.HitTest(p.x(), p.y(), width(), height()) == 0) return;
  SColorValue value;
  core_.GetColor(value);
  if (PickColorDialog(value)) core_.SetColor(value);
}

void TPickerColorCell::mouseDoubleClickEvent(QMouseEvent* event) { event->accept(); }

// ---- twin cell ----

TTwinColorCell::TTwinColorCell(QWidget* parent) : TCustomColorCell(parent) { BindCore(core_); }

void TTwinColorCell::RenderGraphic() {
  if (parentWidget() == nullptr) return;
  core_.RenderCell(Graphic(), width(), height());
}

void TTwinColorCell::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const QPoint p = event->position().toPoint();
  core_.MouseDown(p.x(), p.y(), width(), height());
  MouseDownEvent(p.x(), p.y());
}

void TTwinColorCell::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const QPoint p = event->position().toPoint();
  MouseDownEvent(p.x(), p.y());
  if (!core_.DoubleClickOpensDialog(p.x(), p.y(), width(), height())) return;
  SColorValue value;
  core_.GetColor(value);
  if (PickColorDialog(value)) core_.SetColor(value);
}

}  // namespace tf
