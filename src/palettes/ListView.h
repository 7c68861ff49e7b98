// TtFListView: the owner-drawn list view every palette list stands on (the widget half of
// CListViewCore, app/ListViewCore.h).
#pragma once
// The widget feeds its core the size, the mouse, the wheel, the timer and item drags, and shows
// what the core draws. Its vertical scroll bar is a sibling in the parent, stacked above the
// list and moved with it; the list deletes it (a parent deleting its children may delete it
// first). User scrolling comes from the bar's sliderPressed, sliderReleased and actionTriggered,
// never valueChanged (which also fires when the core sets the bar).
//
// Hints: the core's hint "tip|long text" gives the tooltip (before '|') and the status tip the
// main window's hint line shows (after it).
#include <QFont>
#include <QPointer>
#include <QScrollBar>
#include <QTimer>
#include <memory>
#include <string>

#include "app/ListViewCore.h"
#include "palettes/ItemDrag.h"
#include "ui/GraphicControl.h"

namespace tf {

class TtFListView : public GraphicControl, public ListViewHost, public ListTextPainter, public ItemDropTarget {
  Q_OBJECT
 public:
  // The core is the list's class: views of different core classes never exchange items.
  explicit TtFListView(std::unique_ptr<CListViewCore> core, QWidget* parent = nullptr);
  ~TtFListView() override;

  CListViewCore& Core() { return *core_; }
  const CListViewCore& Core() const { return *core_; }
  QScrollBar* ScrollBar() const { return bar_; }
  QTimer& Timer() { return timer_; }
  // The tooltip and the hint line's text now.
  const QString& TipText() const { return tip_; }
  const QString& LongHint() const { return longHint_; }
  bool HintsShown() const { return showHint_; }

  // The owner form's wheel event reaches the list through this (screen point).
  bool MouseWheel(uint32_t shift, int32_t delta, QPoint global);

  // ---- ListViewHost ----
  void Invalidate(const TRect& rect) override;
  void UpdateNow() override;
  void ScrollBarChanged() override;
  void StartTimer(int32_t milliseconds) override;
  void SetTimerInterval(int32_t milliseconds) override;
  void StopTimer() override;
  void SetHint(std::string_view utf8) override;
  void CancelHint() override;
  void SetShowHint(bool show) override;
  TPoint ClientToScreen(TPoint point) override;
  TPoint DragThreshold() override;
  void BeginDrag() override;

  // ---- ListTextPainter ----
  bool DrawText(TMemoryGraphic& graphic, std::string_view text, TRect& rect, uint32_t format,
                uint32_t colour) override;

  // ---- ItemDropTarget ----
  bool ItemDragOver(TtFListView* source, QPoint point, int32_t state) override;
  void ItemDragDrop(TtFListView* source, QPoint point) override;
  // ItemDrag's end of a drag this list started.
  void ItemDragEnded();

 protected:
  void RenderGraphic() override;
  bool event(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  void PlaceScrollBar();
  void BarAction(int action);

  std::unique_ptr<CListViewCore> core_;
  QPointer<QScrollBar> bar_;
  QTimer timer_;
  QString tip_;
  QString longHint_;
  bool showHint_ = true;
  bool rendering_ = false;
  QPoint lastGlobal_;
};

}  // namespace tf
