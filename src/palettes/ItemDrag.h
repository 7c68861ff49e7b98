// Dragging list items between the tool palettes' lists and controls, within the program.
#pragma once
// A list view that starts a drag keeps the mouse (Qt's implicit grab of the pressed widget) and
// hands every move to ItemDrag. The target under the pointer is the first widget, from
// QApplication::widgetAt upwards, that takes drops: a list view (ItemDropTarget) or a plain
// control with drop handlers (SetItemDropHandlers). The target gets enter, move and leave as the
// pointer comes, stays and goes, and the drop when the button is released over it while it
// accepts. Escape cancels (an application event filter triple); the override cursor shows
// whether the target accepts. The source hears of the end either way.
#include <QPoint>
#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <functional>

namespace tf {

class TtFListView;

// A widget that takes item drops. States: 0 enter, 1 leave, 2 move (as CListViewCore).
class ItemDropTarget {
 public:
  virtual ~ItemDropTarget() = default;
  // True when the item would be taken at the point (widget coordinates).
  virtual bool ItemDragOver(TtFListView* source, QPoint point, int32_t state) = 0;
  virtual void ItemDragDrop(TtFListView* source, QPoint point) = 0;
};

using ItemDragOverHandler = std::function<bool(TtFListView* source, QPoint point, int32_t state)>;
using ItemDragDropHandler = std::function<void(TtFListView* source, QPoint point)>;

// Registers (or with empty handlers removes) a plain control as a drop target; the handlers go
// with the widget.
void SetItemDropHandlers(QWidget* widget, ItemDragOverHandler over, ItemDragDropHandler drop);

class ItemDrag {
 public:
  // Starts a drag from the list (its left button is down); a drag in progress is cancelled first.
  static void Begin(TtFListView* source, QPoint global);
  // The pointer moved (screen coordinates).
  static void Move(QPoint global);
  // The button was released: dropped on an accepting target. True when it was dropped.
  static bool Drop(QPoint global);
  // Escape: the target leaves, the source ends.
  static void Cancel();
  static bool Active();
  static TtFListView* Source();
  // The target under the pointer now, and whether it accepts.
  static QWidget* Target();
  static bool Accepted();
};

}  // namespace tf
