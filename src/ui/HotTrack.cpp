#include "ui/HotTrack.h"

#include <QApplication>

namespace tf {

bool IsMouseCaptured() {
  return QApplication::mouseButtons() != Qt::NoButton || QWidget::mouseGrabber() != nullptr;
}

bool CanHotTrack(const QWidget* control) {
  if (control == nullptr || !control->isVisible() || !control->isEnabled()) return false;
  const auto* mixin = dynamic_cast<const HotTrackControl*>(control);
  return mixin == nullptr || !mixin->WithholdsMouse();
}

void SendMouseLeaveToSiblings(const QWidget* control) {
  if (control == nullptr) return;
  const QWidget* parent = control->parentWidget();
  if (parent == nullptr) return;
  const QObjectList children = parent->children();
  for (auto it = children.rbegin(); it != children.rend(); ++it) {
    if (*it == control) continue;
    auto* sibling = dynamic_cast<HotTrackControl*>(*it);
    if (sibling != nullptr) sibling->HotTrackMouseLeave();
  }
}

bool EnterHotState(const QWidget* control) {
  if (!CanHotTrack(control)) return false;
  SendMouseLeaveToSiblings(control);
  return true;
}

bool HotTrackEnter(const QWidget* control) {
  if (!CanHotTrack(control) || IsMouseCaptured()) return false;
  SendMouseLeaveToSiblings(control);
  return true;
}

bool HotTrackLeave(const QWidget* control) { return CanHotTrack(control) && !IsMouseCaptured(); }

}  // namespace tf
