#include "ui/ColorPickers.h"

#include <QMouseEvent>

namespace tf {

TCustomColorPicker::TCustomColorPicker(int32_t kind, QWidget* parent) : GraphicControl(parent) {
  core_ = CreateColorPickerCore(kind);
  if (!core_) core_ = CreateColorPickerCore(kPickerAreaSlider);
  core_->onChange = [this] {
    if (onChange_) onChange_(*this);
  };
  core_->onRepaint = [this] { Rerender(); };
}

TCustomColorPicker::~TCustomColorPicker() = default;

void TCustomColorPicker::RenderGraphic() { core_->PaintTo(Graphic()); }

void TCustomColorPicker::resizeEvent(QResizeEvent* event) {
  core_->SetBounds(width(), height());
  GraphicControl::resizeEvent(event);
}

void TCustomColorPicker::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
  const QPoint p = event->position().toPoint();
  core_->MouseDown(p.x(), p.y());
}

void TCustomColorPicker::mouseMoveEvent(QMouseEvent* event) {
  if (!(event->buttons() & Qt::LeftButton)) return;
  const QPoint p = event->position().toPoint();
  core_->MouseMove(p.x(), p.y());
}

void TCustomColorPicker::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) core_->MouseUp();
}

void TCustomColorPicker::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const QPoint p = event->position().toPoint();
  core_->MouseDown(p.x(), p.y());
}

bool ReplaceColorPicker(TCustomColorPicker*& picker, int32_t kind, int32_t space) {
  if (picker == nullptr) return false;
  if (picker->GetPickerKind() == kind) return true;
  if (kind < 0 || kind > 3) {
    picker->show();
    return false;
  }
  TCustomColorPicker* old = picker;
  QWidget* parent = old->parentWidget();
  TCustomColorPicker* created = nullptr;
  switch (kind) {
    case kPickerAreaSlider: created = new TColorPicker(parent); break;
    case kPickerSliders: created = new TSliderColorPicker(parent); break;
    case kPickerTriangle: created = new TTriangleColorPicker(parent); break;
    default: created = new TCircleColorPicker(parent); break;
  }
  created->hide();
  old->hide();
  old->setParent(nullptr);
  // One owner of the colour: the manager moves.
  created->core_->SetColorManager(old->core_->TakeColorManager());
  if (ColorSpaceInMask(created->GetColorSpaces(), space)) created->core_->SetColorSpace(space);
  created->core_->SetSliderColored(old->SliderColored());
  created->setGeometry(old->geometry());
  created->setContextMenuPolicy(old->contextMenuPolicy());
  created->setFocusPolicy(old->focusPolicy());
  created->setToolTip(old->toolTip());
  created->SetOnChange(old->OnChange());
  created->core_->SetBounds(created->width(), created->height());
  created->Graphic().SetSize(created->width(), created->height());
  created->Rerender();
  picker = created;
  old->deleteLater();
  created->show();
  return true;
}

}  // namespace tf
