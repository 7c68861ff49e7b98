// Dragging list items within the program.
#include "palettes/ItemDrag.h"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <map>
#include <utility>

#include "palettes/ListView.h"
#include "platform/qt/AppEventFilter.h"

namespace tf {

namespace {

struct PlainHandlers {
  ItemDragOverHandler over;
  ItemDragDropHandler drop;
};

std::map<const QObject*, PlainHandlers>& Plain() {
  static std::map<const QObject*, PlainHandlers> handlers;
  return handlers;
}

struct DragState {
  bool active = false;
  QPointer<TtFListView> source;
  QPointer<QWidget> target;
  bool accepted = false;
  int32_t filterId = 0;
};

DragState& State() {
  static DragState state;
  return state;
}

QWidget* FindTarget(QPoint global) {
  for (QWidget* w = QApplication::widgetAt(global); w != nullptr; w = w->parentWidget()) {
    if (dynamic_cast<ItemDropTarget*>(w) != nullptr || Plain().count(w) != 0) return w;
  }
  return nullptr;
}

bool Over(QWidget* target, QPoint global, int32_t state) {
  DragState& s = State();
  const QPoint local = target->mapFromGlobal(global);
  if (auto* t = dynamic_cast<ItemDropTarget*>(target)) return t->ItemDragOver(s.source, local, state);
  auto it = Plain().find(target);
  return it != Plain().end() && it->second.over && it->second.over(s.source, local, state);
}

void ShowCursor(bool accepted) {
  QApplication::changeOverrideCursor(QCursor(accepted ? Qt::DragMoveCursor : Qt::ForbiddenCursor));
}

void End() {
  DragState& s = State();
  if (!s.active) return;
  AppEventFilter::Instance().Remove(s.filterId);
  QApplication::restoreOverrideCursor();
  QPointer<TtFListView> source = s.source;
  s = DragState{};
  if (source) source->ItemDragEnded();
}

}  // namespace

void SetItemDropHandlers(QWidget* widget, ItemDragOverHandler over, ItemDragDropHandler drop) {
  if (widget == nullptr) return;
  if (!over && !drop) {
    Plain().erase(widget);
    return;
  }
  const bool fresh = Plain().count(widget) == 0;
  Plain()[widget] = PlainHandlers{std::move(over), std::move(drop)};
  if (fresh) QObject::connect(widget, &QObject::destroyed, [widget] { Plain().erase(widget); });
}

void ItemDrag::Begin(TtFListView* source, QPoint global) {
  if (State().active) Cancel();
  DragState& s = State();
  s.active = true;
  s.source = source;
  AppHandlers handlers;
  handlers.message = [](QEvent* event) {
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) Cancel();
    return false;
  };
  handlers.deactivate = [](QWindow*) { Cancel(); };
  s.filterId = AppEventFilter::Instance().Push(std::move(handlers));
  QApplication::setOverrideCursor(QCursor(Qt::ForbiddenCursor));
  Move(global);
}

void ItemDrag::Move(QPoint global) {
  DragState& s = State();
  if (!s.active) return;
  QWidget* now = FindTarget(global);
  if (now != s.target) {
    if (s.target) Over(s.target, global, kDragLeave);
    s.target = now;
    s.accepted = false;
    if (now != nullptr) Over(now, global, kDragEnter);
  }
  // The drag may have ended inside a handler.
  if (!s.active) return;
  s.accepted = s.target && Over(s.target, global, kDragMove);
  ShowCursor(s.accepted);
}

bool ItemDrag::Drop(QPoint global) {
  DragState& s = State();
  if (!s.active) return false;
  Move(global);
  bool dropped = false;
  if (s.active && s.target && s.accepted) {
    QPointer<QWidget> target = s.target;
    const QPoint local = target->mapFromGlobal(global);
    if (auto* t = dynamic_cast<ItemDropTarget*>(target.data())) {
      t->ItemDragDrop(s.source, local);
    } else {
      auto it = Plain().find(target.data());
      if (it != Plain().end() && it->second.drop) {
        ItemDragDropHandler drop = it->second.drop;
        drop(s.source, local);
      }
    }
    dropped = true;
  }
  End();
  return dropped;
}

void ItemDrag::Cancel() {
  DragState& s = State();
  if (!s.active) return;
  if (s.target) Over(s.target, QCursor::pos(), kDragLeave);
  End();
}

bool ItemDrag::Active() { return State().active; }
TtFListView* ItemDrag::Source() { return State().source; }
QWidget* ItemDrag::Target() { return State().target; }
bool ItemDrag::Accepted() { return State().accepted; }

}  // namespace tf
