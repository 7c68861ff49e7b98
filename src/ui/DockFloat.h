// Floating tool windows whose panes hold dockable views: the manager of the floating forms
// (TDockFloatManager), the floating form (TDockFloatForm), the pane (TDockViewManager: one tab
// group under a header) and the dockable view (TCustomDockView).
#pragma once
// A manager owns its forms; a form owns its panes, stacked from the top; a pane lists views (it
// does not own them) and shows the selected one below its header. Views belong to whoever made
// them (the tool window): a view with no pane has no parent, and nothing here deletes a view.
//
// Floating forms are frameless tool windows (parent: the owner's window) with a caption strip of
// their own: a press on it moves the form (snapped to the monitors, the owner's document area
// and the other forms), a double click rolls every pane up or down, the close box hides the form.
// Sizable forms are sized at their edges, within limits the panes give.
//
// A view is dragged by its tab: past the drag distance a dock drag runs (the pane keeps the
// mouse), a rubber band shows where the view would land, Escape cancels. Dropped over a form it
// joins a pane as a tab or becomes a new pane above, between or below; dropped elsewhere it gets
// a new floating form. A pane or form left empty is freed later (deleteLater), never inside the
// handler that emptied it, and never with views inside.
#include <QPointer>
#include <QRect>
#include <QWheelEvent>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "raster/DockGeometry.h"
#include "raster/MemoryGraphic.h"
#include "ui/BaseForm.h"
#include "ui/DockOwner.h"
#include "ui/GraphicControl.h"

class QMenu;
class QPainter;

namespace tf {

// The wheel message of a Qt wheel event: delta, buttons and modifier keys, screen position.
SDockMessage WheelMessageOf(const QWheelEvent& event);

class TDockFloatForm;
class TDockFloatManager;
class TDockViewManager;
class DockDrag;

// ---------------------------------------------------------------------------------------------
// The dockable view.

class TCustomDockView : public QWidget {
  Q_OBJECT
 public:
  explicit TCustomDockView(QWidget* parent = nullptr);
  // Leaves its pane first.
  ~TCustomDockView() override;

  // Stores the text and renders both tab images for it (when it differs); the pane re-renders.
  void SetCaption(const std::string& text);
  const std::string& Caption() const { return caption_; }
  // The menu of the header's menu button (not owned).
  void SetPopupMenu(QMenu* menu);
  QMenu* PopupMenu() const { return popupMenu_; }

  // Expanded: the view has a tab in its pane. False hides it (another view is selected, or the
  // pane rolls up, or a one-pane form hides); a pane never loses its last tab.
  void SetExpanded(bool expanded);
  bool Expanded() const { return expanded_; }
  // 3: no form or the form is hidden; 2: collapsed; 0: shown; 1: not shown.
  int32_t GetViewState() const;
  TDockFloatForm* GetFloatForm() const;
  TDockFloatManager* GetFloatManager() const;
  // The form rectangle around the view: (0, 0, width, height + 18) grown by the form's frame.
  TRect GetFloatRect() const;
  int32_t GetTabWidth() const { return tabImages_[0].Width(); }
  const TMemoryGraphic& GetTabImage(bool selected) const { return tabImages_[selected ? 1 : 0]; }
  void SetSelected(bool selected);
  bool Selected() const { return selected_; }
  void SetCollapsed(bool collapsed);
  bool Collapsed() const { return collapsed_; }
  // Binds the view to a pane (its parent becomes the pane's form) or unbinds it (no parent).
  void SetPane(TDockViewManager* pane);
  TDockViewManager* Pane() const { return pane_; }
  int32_t TabLeft() const { return tabLeft_; }
  void SetTabLeft(int32_t left) { tabLeft_ = left; }
  // Shown in its pane: selected, expanded and not collapsed.
  bool IsShownInPane() const { return selected_ && expanded_ && !collapsed_; }

  // A message of the manager's Broadcast; the answer (0: not taken). Nothing is taken here.
  virtual intptr_t DockMessage(SDockMessage& message);

  // Painting: the button face, then DoPaint, which fires OnPaint.
  std::function<void(TCustomDockView*, QPainter&)> OnPaint;
  virtual void DoPaint(QPainter& painter);

  // Docking: the view was dropped on a form at (x, y) in its client coordinates.
  virtual void DoEndDock(TDockFloatForm* target, int32_t x, int32_t y);
  // The drag was cancelled.
  virtual void DragCanceled();
  // The drag is over no form: the dock rectangle becomes the float rectangle at its top-left,
  // snapped.
  virtual void DockTrackNoTarget(TRect& dockRect);
  // Dropped where no form accepts it: a new floating form with the dock rectangle as bounds (the
  // drag's target), or null when it cannot be made.
  virtual TDockFloatForm* DoFloat(const TRect& dockRect);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  friend class TDockViewManager;
  // Sets the flag alone (the pane selects the view itself).
  void MarkExpanded() { expanded_ = true; }
  void UpdateShown();

  TMemoryGraphic tabImages_[2];
  std::string caption_;
  TDockViewManager* pane_ = nullptr;
  QMenu* popupMenu_ = nullptr;
  int32_t tabLeft_ = 0;
  bool selected_ = false;
  bool expanded_ = true;
  bool collapsed_ = false;
};

// ---------------------------------------------------------------------------------------------
// The pane: a header with the tabs of its views and a menu button.

class TDockViewManager : public GraphicControl {
  Q_OBJECT
 public:
  explicit TDockViewManager(TDockFloatForm* form);
  ~TDockViewManager() override;

  int32_t GetViewCount() const { return static_cast<int32_t>(views_.size()); }
  TCustomDockView* GetView(int32_t index) const;
  int32_t IndexOf(const TCustomDockView* view) const;
  bool IsValidIndex(int32_t index) const { return index >= 0 && index < GetViewCount(); }
  int32_t AddView(TCustomDockView* view) { return InsertView(-1, view); }
  // Inserts at a valid index, else appends; binds and selects the view. -1 when refused (a null
  // view, one already in a pane, or a pane of kMaxTabs views).
  int32_t InsertView(int32_t index, TCustomDockView* view);
  // Takes the view out (it is not freed, it loses its parent) and returns its former index, or
  // -1. The pane left empty is removed from its form (later freed), and so is a form left empty.
  int32_t RemoveView(TCustomDockView* view);

  // Selects the view of an index; false (nothing changes) when no view has that index.
  bool SetActiveView(int32_t index);
  int32_t SelectedIndex() const { return selected_; }
  TCustomDockView* SelectedView() const { return GetView(selected_); }
  // Rolls the pane up to its header (true) or down.
  void SetClosed(bool closed);
  bool GetClosed() const;
  void ShowView(TCustomDockView* view);
  void HideView(TCustomDockView* view);
  int32_t GetExpandedCount() const;
  bool IsActiveExpanded() const;
  // The next expanded view after the index (wrapping), -1 when none.
  int32_t NextExpandedView(int32_t index) const;
  // The view the splitter strip above this pane resizes: the shown view of the pane above.
  TCustomDockView* GetSplitterView() const;
  int32_t HeaderHeight() const { return first_ ? kFirstPaneHeader : kPaneHeader; }
  int32_t GetPaneHeight() const;
  int32_t GetMinWidth() const;
  int32_t GetMinHeight() const;
  int32_t GetMaxHeight() const;
  SPaneMeasure Measure() const;
  // Zone -1, 0, +1 in screen coordinates.
  TRect GetDropZoneRect(int32_t zone) const;
  // The view index of the tab under a point of the pane, -1 when none.
  int32_t TabAtPos(QPoint point) const;
  QRect MenuButtonRect() const;
  void RenderHeader();
  void LayoutTabs();
  void SetFirst(bool first);
  bool IsFirst() const { return first_; }
  bool IsLast() const { return last_; }
  void SetLast(bool last) { last_ = last; }
  TDockFloatForm* GetFloatForm() const { return form_; }
  uint8_t MouseMode() const { return mouseMode_; }
  // Back to idle; a dock drag of this pane ends too.
  void ResetMouseMode() {
    mouseMode_ = 0;
    dragging_ = false;
  }
  bool Dragging() const { return dragging_; }
  const TMemoryGraphic& HitMap() const { return hitMap_; }

  void HotTrackMouseLeave() override;

 protected:
  void RenderGraphic() override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  friend class TDockFloatForm;
  void DrawTab(TCustomDockView* view, int32_t index, int32_t top);
  void SetMenuHot(bool hot);
  bool CursorOverMenuButton() const;

  TDockFloatForm* form_;
  std::vector<TCustomDockView*> views_;
  TMemoryGraphic hitMap_;
  int32_t selected_ = -1;
  bool first_ = true;
  bool last_ = true;
  uint8_t mouseMode_ = 0;
  bool dragging_ = false;
  QPoint pressPoint_;
  bool menuHot_ = false;
};

// ---------------------------------------------------------------------------------------------
// The floating form.

class TDockFloatForm : public TBaseForm {
  Q_OBJECT
 public:
  // Caption strip and border of the frameless window.
  static constexpr int32_t kCaptionHeight = 16;
  static constexpr int32_t kBorder = 2;

  explicit TDockFloatForm(QWidget* parent = nullptr);
  // Takes every view out of its panes first, so that freeing the form frees none of them.
  ~TDockFloatForm() override;

  TDockFloatManager* Manager() const { return manager_; }
  // The widget under the caption strip: the parent of panes and views.
  QWidget* Client() const { return client_; }
  // Window size minus client size.
  SSize FrameSize() const;
  // The client rectangle in screen coordinates.
  TRect ClientScreenRect() const;
  // Sizable at the edges; a tool window that keeps its size answers false.
  virtual bool IsSizable() const { return true; }

  TDockViewManager* GetSiteManager(int32_t index) const;
  int32_t GetSiteManagerCount() const { return static_cast<int32_t>(panes_.size()); }
  bool IsValidSiteIndex(int32_t index) const { return index >= 0 && index < GetSiteManagerCount(); }
  int32_t IndexOfSiteManager(const TDockViewManager* pane) const;
  int32_t SiteIndexOfView(const TCustomDockView* view) const;
  // Adds the view as a tab of the pane at the index (a new pane appended when the index is out
  // of range); the view, or null when refused.
  TCustomDockView* DockView(int32_t index, TCustomDockView* view);
  // Takes the view out of its pane; the view, or null when no pane of this form holds it.
  TCustomDockView* UndockView(TCustomDockView* view);
  TDockViewManager* AddSiteManager() { return InsertSiteManager(-1); }
  // A new pane at a valid index, else appended; null when it did not land there.
  TDockViewManager* InsertSiteManager(int32_t index);
  // Takes the pane out and frees it later; a form left without panes leaves its manager.
  void RemoveSiteManager(TDockViewManager* pane);
  void PrepareSiteLayout();
  // Stacks the panes; with setClientHeight the client height becomes the panes' total first.
  void LayoutSite(bool setClientHeight);
  void RelayoutSite(bool setClientHeight) { LayoutSite(setClientHeight); }
  int32_t GetSitePanesHeight() const;
  int32_t GetMinClientHeight() const;
  int32_t GetMaxClientHeight() const;
  // Shows the form keeping the bounds it had.
  void ShowSiteKeepBounds();
  void ActivateSiteView(TDockViewManager* pane, int32_t index);
  bool IsAllClosed() const;
  void SetAllClosed(bool closed);
  // The drop target of a point in client coordinates (see GetDropTarget in raster/DockGeometry.h)
  // and its zone rectangle in screen coordinates.
  int32_t GetDropTarget(QPoint clientPoint, TRect* zone = nullptr) const;
  std::vector<SPaneMeasure> PaneMeasures() const;

  // Moving by the caption: the offset is taken at the press; each move snaps.
  void BeginMove(QPoint cursor);
  void MoveTo(QPoint cursor);
  QPoint MoveOffset() const { return moveOffset_; }

  bool WasVisible() const { return wasVisible_; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  friend class TDockFloatManager;
  friend class DockCaption;
  void PlaceChildren();
  void ApplyLimits();
  Qt::Edges EdgesAt(QPoint point) const;

  QWidget* caption_;
  QWidget* client_;
  TDockFloatManager* manager_ = nullptr;
  std::vector<TDockViewManager*> panes_;
  QPoint moveOffset_;
  bool wasVisible_ = false;
  bool inLayout_ = false;
  Qt::Edges sizing_;
  QRect sizeStart_;
  QPoint sizeCursor_;
};

// ---------------------------------------------------------------------------------------------
// The manager of the floating forms.

class TDockFloatManager : public QObject {
  Q_OBJECT
 public:
  // The owner (the main window) fills the interface; without one, forms have no parent window,
  // nothing snaps to a document area and unanswered messages stay unanswered.
  explicit TDockFloatManager(DockFloatOwner* owner, QObject* parent = nullptr);
  // Takes every view out of every form first, then frees the forms.
  ~TDockFloatManager() override;

  DockFloatOwner* Owner() const { return owner_; }
  // A new form parented to the owner's window and registered; null when registration fails.
  TDockFloatForm* CreateFloatForm();
  // Appends the form (it lands at the end of the list and is owned from then on); the form, or
  // null (a null form, or one already registered).
  TDockFloatForm* AddForm(TDockFloatForm* form);
  // Takes the form out of the list (its views leave first) and frees it later.
  void RemoveForm(TDockFloatForm* form);
  // Takes the view out of its pane when its form is one of ours.
  bool RemoveView(TCustomDockView* view);
  int32_t IndexOfForm(const TDockFloatForm* form) const;
  TDockFloatForm* GetForm(int32_t index) const;
  int32_t GetFormCount() const { return static_cast<int32_t>(forms_.size()); }
  bool IsFloatFormHandle(WId handle) const;

  // Hides every form, remembering which were visible (a second HideAll keeps the first record of
  // the forms it finds hidden); ShowAll shows those again and gives the focus back to the owner.
  void HideAll();
  void ShowAll();
  void SetHidden(bool hidden) { hidden ? HideAll() : ShowAll(); }
  bool IsHidden() const { return hidden_; }

  // Offers the message to every view of every pane of every form in order; the first non-zero
  // answer ends it; when every view answered 0 the owner's active document window answers.
  void Broadcast(SDockMessage& message);

  // Snaps a rectangle (screen coordinates) to the monitors, the owner's document area and the
  // forms (all of them, or all but window when excludeSelf).
  void SnapRect(TRect& rect, const TDockFloatForm* window, bool excludeSelf) const;

  // The running dock drag, or null.
  DockDrag* Drag() const { return drag_.get(); }
  // Starts a dock drag of the view (its pane keeps the mouse); grab is the pointer in the view's
  // tab, screen the pointer.
  void BeginDrag(TCustomDockView* view, QPoint grab, QPoint screen);
  void EndDrag();

 private:
  DockFloatOwner* owner_;
  std::vector<QPointer<TDockFloatForm>> forms_;
  bool hidden_ = false;
  std::unique_ptr<DockDrag> drag_;
};

// The dock drag: follows the pointer with a rubber band and drops or cancels the view.
class DockDrag {
 public:
  DockDrag(TDockFloatManager* manager, TCustomDockView* view, QPoint grab);
  ~DockDrag();
  DockDrag(const DockDrag&) = delete;
  DockDrag& operator=(const DockDrag&) = delete;

  // The pointer moved (screen coordinates): a new target and dock rectangle.
  void Move(QPoint screen);
  // Released at the point: dropped on the form under it, or floated in a new form.
  void Drop(QPoint screen);
  // Escape: the view's DragCanceled; the drag object ends later.
  void Cancel();
  bool Cancelled() const { return cancelled_; }
  TCustomDockView* View() const { return view_; }
  // The form under the pointer (null: none) and the rectangle shown.
  TDockFloatForm* Target() const { return target_; }
  TRect DockRect() const { return dockRect_; }
  QWidget* Band() const;

 private:
  TDockFloatForm* FormAt(QPoint screen) const;

  TDockFloatManager* manager_;
  QPointer<TCustomDockView> view_;
  QPoint grab_;
  QPointer<TDockFloatForm> target_;
  TRect dockRect_{0, 0, 0, 0};
  std::unique_ptr<QWidget> band_;
  int32_t handlers_ = 0;
  bool cancelled_ = false;
};

}  // namespace tf
