#include "ui/DockFloat.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QRubberBand>
#include <QWheelEvent>
#include <algorithm>
#include <cstdlib>

#include "platform/Debug.h"
#include "platform/Screen.h"
#include "platform/qt/AppEventFilter.h"
#include "raster/Appearance.h"
#include "ui/MemoryGraphicQt.h"
#include "ui/SmallControls.h"
#include "ui/UiAppearance.h"

namespace tf {

namespace {

constexpr SChannelOps kCopy{ChannelCopy, ChannelCopy};

TRect ToTRect(const QRect& r) { return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()}; }
QRect ToQRect(const TRect& r) { return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top); }

}  // namespace

// ---------------------------------------------------------------------------------------------
// Wheel messages

SDockMessage MakeWheelMessage(int32_t delta, uint32_t keys, int32_t screenX, int32_t screenY) {
  SDockMessage m;
  m.code = kDockMouseWheel;
  m.wParam = static_cast<intptr_t>((static_cast<uint32_t>(static_cast<uint16_t>(delta)) << 16) | (keys & 0xFFFF));
  m.lParam = static_cast<intptr_t>((static_cast<uint32_t>(static_cast<uint16_t>(screenY)) << 16) |
                                   static_cast<uint16_t>(screenX));
  return m;
}
int32_t WheelDelta(const SDockMessage& m) { return static_cast<int16_t>(static_cast<uint32_t>(m.wParam) >> 16); }
uint32_t WheelKeys(const SDockMessage& m) { return static_cast<uint32_t>(m.wParam) & 0xFFFF; }
int32_t WheelScreenX(const SDockMessage& m) { return static_cast<int16_t>(static_cast<uint32_t>(m.lParam)); }
int32_t WheelScreenY(const SDockMessage& m) { return static_cast<int16_t>(static_cast<uint32_t>(m.lParam) >> 16); }

// ---------------------------------------------------------------------------------------------
// The caption strip of a floating form: moves the form, rolls its panes, hides it.

class DockCaption : public QWidget {
 public:
  explicit DockCaption(TDockFloatForm* form) : QWidget(form), form_(form) { setMouseTracking(true); }

  QRect CloseBox() const { return QRect(width() - 14, (height() - 12) / 2, 12, 12); }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    const bool active = form_->isActiveWindow();
    QLinearGradient gradient(0, 0, width(), 0);
    gradient.setColorAt(0, AppearanceColor(active ? acActiveCaption : acInactiveCaption));
    gradient.setColorAt(1, AppearanceColor(active ? acGradientActiveCaption : acGradientInactiveCaption));
    p.fillRect(rect(), gradient);
    p.setPen(AppearanceColor(active ? acCaptionText : acInactiveCaptionText));
    QFont f = font();
    f.setBold(true);
    p.setFont(f);
    p.drawText(rect().adjusted(3, 0, -18, 0), Qt::AlignVCenter | Qt::AlignLeft, form_->windowTitle());
    const QRect box = CloseBox();
    DrawRaisedFrame(p, box, AppearanceColor(acBtnFace));
    p.setPen(AppearanceColor(acBtnText));
    p.drawLine(box.left() + 3, box.top() + 3, box.right() - 3, box.bottom() - 3);
    p.drawLine(box.left() + 3, box.bottom() - 3, box.right() - 3, box.top() + 3);
  }
  void mousePressEvent(QMouseEvent* e) override {
    if (e->button() != Qt::LeftButton) return;
    if (CloseBox().contains(e->position().toPoint())) {
      closing_ = true;
      return;
    }
    moving_ = true;
    form_->BeginMove(e->globalPosition().toPoint());
  }
  void mouseMoveEvent(QMouseEvent* e) override {
    if (moving_ && (e->buttons() & Qt::LeftButton)) form_->MoveTo(e->globalPosition().toPoint());
  }
  void mouseReleaseEvent(QMouseEvent* e) override {
    if (e->button() != Qt::LeftButton) return;
    moving_ = false;
    if (closing_ && CloseBox().contains(e->position().toPoint())) form_->hide();
    closing_ = false;
  }
  void mouseDoubleClickEvent(QMouseEvent* e) override {
    if (e->button() != Qt::LeftButton || CloseBox().contains(e->position().toPoint())) return;
    form_->SetAllClosed(!form_->IsAllClosed());
  }

 private:
  TDockFloatForm* form_;
  bool moving_ = false;
  bool closing_ = false;
};

// ---------------------------------------------------------------------------------------------
// TCustomDockView

TCustomDockView::TCustomDockView(QWidget* parent) : QWidget(parent) {
  tabImages_[0] = TMemoryGraphic(18, 18, BGRAClear);
  tabImages_[1] = TMemoryGraphic(1, 1, BGRAClear);
  caption_ = "CustomDockView";
  resize(210, 96);
  setMinimumSize(210, 96);
  setAutoFillBackground(false);
}

TCustomDockView::~TCustomDockView() {
  if (pane_ != nullptr) pane_->RemoveView(this);
}

void TCustomDockView::SetCaption(const std::string& text) {
  if (text == caption_) return;
  caption_ = text;
  TRect r{0, 0, 1, 1};
  TMemoryGraphic measure(1, 1, BGRAClear);
  if (DrawCaption(measure, caption_, r, false, kDtCalcRect)) {
    for (int32_t i = 0; i < 2; ++i) {
      tabImages_[i].SetBackground(BGRAClear);
      tabImages_[i].SetSize(r.right - r.left, r.bottom - r.top);
      tabImages_[i].Clear();
      TRect drawn = r;
      DrawCaption(tabImages_[i], caption_, drawn, i == 1, kDtSingleLine | kDtVCenter | kDtNoPrefix);
    }
  }
  if (pane_ != nullptr) pane_->Rerender();
}

void TCustomDockView::SetPopupMenu(QMenu* menu) {
  popupMenu_ = menu;
  if (pane_ != nullptr) pane_->Rerender();
}

void TCustomDockView::SetExpanded(bool expanded) {
  expanded_ = expanded;
  if (pane_ == nullptr) return;
  if (expanded) {
    pane_->ShowView(this);
    return;
  }
  pane_->HideView(this);
  // A pane never loses its last tab.
  if (pane_ != nullptr && !pane_->IsActiveExpanded()) {
    TCustomDockView* selected = pane_->SelectedView();
    if (selected != nullptr) selected->expanded_ = true;
  }
}

int32_t TCustomDockView::GetViewState() const {
  const TDockFloatForm* form = GetFloatForm();
  if (form == nullptr || form->isHidden()) return 3;
  if (collapsed_) return 2;
  return IsShownInPane() ? 0 : 1;
}

TDockFloatForm* TCustomDockView::GetFloatForm() const { return pane_ != nullptr ? pane_->GetFloatForm() : nullptr; }

TDockFloatManager* TCustomDockView::GetFloatManager() const {
  const TDockFloatForm* form = GetFloatForm();
  return form != nullptr ? form->Manager() : nullptr;
}

TRect TCustomDockView::GetFloatRect() const {
  TRect r{0, 0, width(), height() + 18};
  const TDockFloatForm* form = GetFloatForm();
  const int32_t border = TDockFloatForm::kBorder;
  const int32_t top = form != nullptr ? border + TDockFloatForm::kCaptionHeight : border + 16;
  r.left -= border;
  r.top -= top;
  r.right += border;
  r.bottom += border;
  return r;
}

void TCustomDockView::SetSelected(bool selected) {
  selected_ = selected;
  if (!selected) {
    hide();
    return;
  }
  if (pane_ != nullptr) pane_->show();
  collapsed_ = false;
  UpdateShown();
}

void TCustomDockView::SetCollapsed(bool collapsed) {
  if (collapsed == collapsed_) return;
  collapsed_ = collapsed;
  UpdateShown();
}

void TCustomDockView::UpdateShown() { setVisible(pane_ != nullptr && IsShownInPane()); }

void TCustomDockView::SetPane(TDockViewManager* pane) {
  if (pane == pane_) return;
  if (pane == nullptr) {
    hide();
    pane_ = nullptr;
    selected_ = false;
    setParent(nullptr);
    return;
  }
  pane_ = pane;
  selected_ = false;
  setParent(pane->GetFloatForm()->Client());
  hide();
}

intptr_t TCustomDockView::DockMessage(SDockMessage&) { return 0; }

void TCustomDockView::DoPaint(QPainter& painter) {
  if (OnPaint) OnPaint(this, painter);
}

void TCustomDockView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), AppearanceColor(acBtnFace));
  DoPaint(painter);
}

void TCustomDockView::DoEndDock(TDockFloatForm* target, int32_t x, int32_t y) {
  if (target == nullptr) return;
  TDockViewManager* oldPane = pane_;
  if (oldPane != nullptr) oldPane->ResetMouseMode();
  TDockFloatForm* oldForm = GetFloatForm();
  if (target == oldForm && oldForm->GetSiteManagerCount() == 1 && oldPane->GetViewCount() == 1) {
    oldPane->SetClosed(false);
    return;
  }
  const int32_t dropTarget = target->GetDropTarget(QPoint(x, y));
  TDockViewManager* pane = target->IsValidSiteIndex(dropTarget)
                               ? target->GetSiteManager(dropTarget)
                               : target->InsertSiteManager(dropTarget - target->GetSiteManagerCount());
  if (pane == nullptr) return;
  if (pane == oldPane) {
    pane->SetClosed(false);
    return;
  }
  if (oldForm != nullptr) oldForm->UndockView(this);
  target->DockView(target->IndexOfSiteManager(pane), this);
  target->ShowSiteKeepBounds();
}

void TCustomDockView::DragCanceled() {
  if (pane_ != nullptr) pane_->ResetMouseMode();
}

void TCustomDockView::DockTrackNoTarget(TRect& dockRect) {
  TRect r = GetFloatRect();
  OffsetBounds(r, dockRect.left, dockRect.top);
  TDockFloatManager* manager = GetFloatManager();
  if (manager != nullptr) manager->SnapRect(r, GetFloatForm(), false);
  dockRect = r;
}

TDockFloatForm* TCustomDockView::DoFloat(const TRect& dockRect) {
  TDockFloatManager* manager = GetFloatManager();
  if (manager == nullptr) return nullptr;
  TDockFloatForm* form = manager->CreateFloatForm();
  if (form != nullptr) form->setGeometry(ToQRect(dockRect));
  return form;
}

// ---------------------------------------------------------------------------------------------
// TDockViewManager

TDockViewManager::TDockViewManager(TDockFloatForm* form) : GraphicControl(form->Client()), form_(form) {
  Graphic().SetBackground(AppearanceColors[acBtnFace]);
  hitMap_.SetBackground(BGRAClear);
  setMinimumWidth(200);
  setMinimumHeight(kFirstPaneHeader);
  setMaximumHeight(kFirstPaneHeader);
  resize(200, kFirstPaneHeader);
  setMouseTracking(true);
}

TDockViewManager::~TDockViewManager() {
  std::vector<TCustomDockView*> views;
  views.swap(views_);
  for (TCustomDockView* view : views) view->SetPane(nullptr);
}

TCustomDockView* TDockViewManager::GetView(int32_t index) const { return IsValidIndex(index) ? views_[index] : nullptr; }

int32_t TDockViewManager::IndexOf(const TCustomDockView* view) const {
  const auto it = std::find(views_.begin(), views_.end(), view);
  return it == views_.end() ? -1 : static_cast<int32_t>(it - views_.begin());
}

int32_t TDockViewManager::InsertView(int32_t index, TCustomDockView* view) {
  if (view == nullptr || view->pane_ != nullptr) return -1;
  // The hit map tells views apart by one byte.
  if (GetViewCount() >= kMaxTabs) {
    DebugOut("TDockViewManager::InsertView: a pane holds at most 256 views\n");
    return -1;
  }
  if (!IsValidIndex(index)) index = GetViewCount();
  views_.insert(views_.begin() + index, view);
  view->SetPane(this);
  SetActiveView(index);
  return index;
}

int32_t TDockViewManager::RemoveView(TCustomDockView* view) {
  const int32_t index = IndexOf(view);
  if (index < 0) return -1;
  views_.erase(views_.begin() + index);
  view->SetPane(nullptr);
  if (!views_.empty()) {
    SetActiveView(std::min(std::max(selected_, 0), GetViewCount() - 1));
  } else {
    selected_ = -1;
    form_->RemoveSiteManager(this);
  }
  return index;
}

bool TDockViewManager::SetActiveView(int32_t index) {
  // A stale index (a saved layout of other views) changes nothing.
  if (!IsValidIndex(index)) return false;
  form_->PrepareSiteLayout();
  for (TCustomDockView* view : views_) view->hide();
  selected_ = index;
  for (int32_t i = 0; i < GetViewCount(); ++i) views_[i]->SetSelected(i == index);
  if (!views_[index]->Expanded()) {
    views_[index]->MarkExpanded();
    views_[index]->UpdateShown();
  }
  form_->LayoutSite(true);
  Rerender();
  return true;
}

void TDockViewManager::SetClosed(bool closed) {
  form_->PrepareSiteLayout();
  for (TCustomDockView* view : views_) view->SetCollapsed(closed);
  form_->LayoutSite(true);
  Rerender();
}

bool TDockViewManager::GetClosed() const {
  const TCustomDockView* view = SelectedView();
  return view != nullptr && view->Collapsed();
}

void TDockViewManager::ShowView(TCustomDockView* view) {
  const int32_t index = IndexOf(view);
  if (index < 0 || form_->IndexOfSiteManager(this) < 0) return;
  form_->PrepareSiteLayout();
  show();
  form_->ActivateSiteView(this, index);
  form_->ShowSiteKeepBounds();
}

void TDockViewManager::HideView(TCustomDockView* view) {
  if (IndexOf(view) < 0) return;
  if (GetExpandedCount() > 0) {
    // The selected view stays when it still has its tab.
    if (!IsActiveExpanded()) SetActiveView(NextExpandedView(selected_));
  } else if (form_->GetSiteManagerCount() == 1) {
    form_->hide();
  } else {
    SetClosed(true);
  }
  Rerender();
}

int32_t TDockViewManager::GetExpandedCount() const {
  return static_cast<int32_t>(std::count_if(views_.begin(), views_.end(), [](auto* v) { return v->Expanded(); }));
}

bool TDockViewManager::IsActiveExpanded() const {
  const TCustomDockView* view = SelectedView();
  return view != nullptr && view->Expanded();
}

int32_t TDockViewManager::NextExpandedView(int32_t index) const {
  const int32_t count = GetViewCount();
  for (int32_t k = 1; k <= count; ++k) {
    const int32_t i = ((index < 0 ? -1 : index) + k) % count;
    if (i >= 0 && views_[i]->Expanded()) return i;
  }
  return -1;
}

TCustomDockView* TDockViewManager::GetSplitterView() const {
  const int32_t index = form_->IndexOfSiteManager(this);
  if (index <= 0) return nullptr;
  TCustomDockView* view = form_->GetSiteManager(index - 1)->SelectedView();
  return view != nullptr && view->IsShownInPane() ? view : nullptr;
}

SPaneMeasure TDockViewManager::Measure() const {
  SPaneMeasure m;
  m.headerHeight = HeaderHeight();
  const TCustomDockView* view = SelectedView();
  m.hasView = view != nullptr;
  const bool shown = view != nullptr && view->IsShownInPane();
  m.viewHeight = shown ? view->height() : 0;
  m.minWidth = std::max(minimumWidth(), shown ? view->minimumWidth() : 0);
  m.minHeight = m.headerHeight + (shown ? view->minimumHeight() : 0);
  if (!shown) m.maxHeight = m.headerHeight;
  else m.maxHeight = view->maximumHeight() >= QWIDGETSIZE_MAX ? 0 : m.headerHeight + view->maximumHeight();
  return m;
}

int32_t TDockViewManager::GetPaneHeight() const { return PaneHeight(Measure()); }
int32_t TDockViewManager::GetMinWidth() const { return Measure().minWidth; }
int32_t TDockViewManager::GetMinHeight() const { return Measure().minHeight; }
int32_t TDockViewManager::GetMaxHeight() const { return Measure().maxHeight; }

TRect TDockViewManager::GetDropZoneRect(int32_t zone) const {
  TRect r = tf::GetDropZoneRect(Measure(), first_, 0, width(), zone);
  const QPoint origin = mapToGlobal(QPoint(0, 0));
  OffsetBounds(r, origin.x(), origin.y());
  return r;
}

int32_t TDockViewManager::TabAtPos(QPoint point) const { return HitMapIndexAt(hitMap_, point); }

QRect TDockViewManager::MenuButtonRect() const {
  return QRect(width() - 19, (first_ ? 0 : 2) + (height() - 15) / 2, 17, 15);
}

void TDockViewManager::SetFirst(bool first) {
  if (first == first_) return;
  first_ = first;
  const int32_t h = HeaderHeight();
  setMinimumHeight(h);
  setMaximumHeight(h);
  resize(width(), h);
}

void TDockViewManager::LayoutTabs() {
  const int32_t count = GetViewCount();
  std::vector<int32_t> widths(count), lefts(count);
  std::unique_ptr<bool[]> shown(new bool[std::max(count, 1)]);
  for (int32_t i = 0; i < count; ++i) {
    widths[i] = views_[i]->GetTabWidth();
    lefts[i] = views_[i]->TabLeft();
    shown[i] = views_[i]->Expanded();
  }
  LayoutOverlappingTabs(widths.data(), shown.get(), count, width(), kPaneHeaderReserve, lefts.data());
  for (int32_t i = 0; i < count; ++i) views_[i]->SetTabLeft(lefts[i]);
}

void TDockViewManager::DrawTab(TCustomDockView* view, int32_t index, int32_t top) {
  DrawTabWithHit(Graphic(), hitMap_, view->GetTabImage(index == selected_), view->TabLeft(), top, index);
}

void TDockViewManager::RenderGraphic() { RenderHeader(); }

void TDockViewManager::RenderHeader() {
  TMemoryGraphic& g = Graphic();
  StartTabRender(g, hitMap_, width(), height());
  const int32_t w = g.Width(), h = g.Height();
  TRect area{0, 0, w, h};
  if (!first_) {
    g.DrawBevel({0, 1, w, 3}, 1, AppearanceColors[acBtnShadow], AppearanceColors[acBtnHighlight], kCopy);
    area.top = 4;
  }
  DrawTabFrame(g, area, {ChannelCopy, ChannelKeep});
  TCustomDockView* selected = SelectedView();
  if (selected != nullptr) {
    LayoutTabs();
    const int32_t top = area.top + 1;
    for (int32_t i = 0; i < selected_; ++i) {
      if (views_[i]->Expanded()) DrawTab(views_[i], i, top);
    }
    for (int32_t i = GetViewCount() - 1; i > selected_; --i) {
      if (views_[i]->Expanded()) DrawTab(views_[i], i, top);
    }
    DrawTab(selected, selected_, top);
  }
  const bool hasMenu = selected != nullptr && selected->PopupMenu() != nullptr;
  const TMemoryGraphic& grip = AppearanceManager().GetGripGlyph(hasMenu ? (menuHot_ ? 1 : 0) : 2);
  const int32_t y = area.top + 1 + (h - (area.top + 1) - 15) / 2;
  g.DrawGraphic(w - 19, y, grip.Width(), grip.Height(), grip, 0, 0, {ChannelBlend, ChannelKeep});
}

bool TDockViewManager::CursorOverMenuButton() const {
  return MenuButtonRect().contains(mapFromGlobal(QCursor::pos()));
}

void TDockViewManager::SetMenuHot(bool hot) {
  if (hot == menuHot_) return;
  menuHot_ = hot;
  Rerender();
}

void TDockViewManager::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !CanHotTrack(this)) return;
  const QPoint point = event->position().toPoint();
  pressPoint_ = point;
  TCustomDockView* selected = SelectedView();
  if (MenuButtonRect().contains(point) && selected != nullptr && selected->PopupMenu() != nullptr) {
    menuHot_ = true;
    Rerender();
    const QRect button = MenuButtonRect();
    QPointer<TDockViewManager> self(this);
    selected->PopupMenu()->exec(mapToGlobal(QPoint(button.left(), height())));
    if (self.isNull()) return;
    menuHot_ = CursorOverMenuButton();
    Rerender();
    return;
  }
  if (first_ || point.y() > 3) {
    const int32_t tab = TabAtPos(point);
    if (tab >= 0) {
      mouseMode_ = 1;
      if (tab != selected_) SetActiveView(tab);
    }
  } else {
    mouseMode_ = 2;
  }
}

void TDockViewManager::mouseMoveEvent(QMouseEvent* event) {
  TDockFloatManager* manager = form_->Manager();
  const QPoint global = event->globalPosition().toPoint();
  if (dragging_) {
    if (manager != nullptr && manager->Drag() != nullptr) manager->Drag()->Move(global);
    return;
  }
  if (!EnterHotState(this)) return;
  const QPoint point = event->position().toPoint();
  if (mouseMode_ == 1 && (event->buttons() & Qt::LeftButton)) {
    const int32_t threshold = QApplication::startDragDistance();
    if (std::abs(point.x() - pressPoint_.x()) > threshold || std::abs(point.y() - pressPoint_.y()) > threshold) {
      TCustomDockView* view = SelectedView();
      if (manager != nullptr && view != nullptr) {
        dragging_ = true;
        manager->BeginDrag(view, pressPoint_, global);
      }
      return;
    }
  } else if (mouseMode_ == 2 && (event->buttons() & Qt::LeftButton)) {
    TCustomDockView* view = GetSplitterView();
    if (view != nullptr) {
      form_->PrepareSiteLayout();
      const int32_t grown = std::max(view->height() + point.y() - pressPoint_.y(), view->minimumHeight());
      view->resize(view->width(), std::min(grown, view->maximumHeight()));
    }
    form_->RelayoutSite(true);
    form_->repaint();
  }
  if (mouseMode_ != 1) {
    TCustomDockView* selected = SelectedView();
    SetMenuHot(selected != nullptr && selected->PopupMenu() != nullptr && MenuButtonRect().contains(point));
  }
}

void TDockViewManager::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  TDockFloatManager* manager = form_->Manager();
  if (dragging_) {
    dragging_ = false;
    mouseMode_ = 0;
    if (manager != nullptr && manager->Drag() != nullptr) {
      manager->Drag()->Drop(event->globalPosition().toPoint());
      manager->EndDrag();
    }
    return;
  }
  mouseMode_ = 0;
}

void TDockViewManager::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  if (TabAtPos(event->position().toPoint()) >= 0) SetClosed(!GetClosed());
}

void TDockViewManager::enterEvent(QEnterEvent* event) {
  GraphicControl::enterEvent(event);
  if (!HotTrackEnter(this)) return;
  TCustomDockView* selected = SelectedView();
  menuHot_ = selected != nullptr && selected->PopupMenu() != nullptr && CursorOverMenuButton();
  Rerender();
}

void TDockViewManager::leaveEvent(QEvent* event) {
  GraphicControl::leaveEvent(event);
  if (HotTrackLeave(this)) HotTrackMouseLeave();
}

void TDockViewManager::HotTrackMouseLeave() {
  if (!menuHot_) return;
  menuHot_ = false;
  Rerender();
}

// ---------------------------------------------------------------------------------------------
// TDockFloatForm

TDockFloatForm::TDockFloatForm(QWidget* parent) : TBaseForm(parent, Qt::Tool | Qt::FramelessWindowHint) {
  caption_ = new DockCaption(this);
  client_ = new QWidget(this);
  setMouseTracking(true);
  setSizeGripEnabled(false);
  resize(196 + 2 * kBorder, 91 + 2 * kBorder + kCaptionHeight);
  PlaceChildren();
}

TDockFloatForm::~TDockFloatForm() {
  // The views belong to someone else: out of every pane before Qt frees the children.
  for (TDockViewManager* pane : panes_) {
    std::vector<TCustomDockView*> views;
    for (int32_t i = 0; i < pane->GetViewCount(); ++i) views.push_back(pane->GetView(i));
    pane->views_.clear();
    for (TCustomDockView* view : views) view->SetPane(nullptr);
  }
  if (manager_ != nullptr) {
    TDockFloatManager* manager = manager_;
    manager_ = nullptr;
    manager->RemoveForm(this);
  }
}

SSize TDockFloatForm::FrameSize() const { return {2 * kBorder, 2 * kBorder + kCaptionHeight}; }

TRect TDockFloatForm::ClientScreenRect() const {
  const QPoint origin = client_->mapToGlobal(QPoint(0, 0));
  return {origin.x(), origin.y(), origin.x() + client_->width(), origin.y() + client_->height()};
}

TDockViewManager* TDockFloatForm::GetSiteManager(int32_t index) const {
  return IsValidSiteIndex(index) ? panes_[index] : nullptr;
}

int32_t TDockFloatForm::IndexOfSiteManager(const TDockViewManager* pane) const {
  const auto it = std::find(panes_.begin(), panes_.end(), pane);
  return it == panes_.end() ? -1 : static_cast<int32_t>(it - panes_.begin());
}

int32_t TDockFloatForm::SiteIndexOfView(const TCustomDockView* view) const {
  for (int32_t i = 0; i < GetSiteManagerCount(); ++i) {
    if (panes_[i]->IndexOf(view) >= 0) return i;
  }
  return -1;
}

TCustomDockView* TDockFloatForm::DockView(int32_t index, TCustomDockView* view) {
  if (view == nullptr) return nullptr;
  TDockViewManager* pane = IsValidSiteIndex(index) ? panes_[index] : AddSiteManager();
  if (pane == nullptr) return nullptr;
  if (pane->AddView(view) < 0) {
    if (pane->GetViewCount() == 0) RemoveSiteManager(pane);
    return nullptr;
  }
  return view;
}

TCustomDockView* TDockFloatForm::UndockView(TCustomDockView* view) {
  const int32_t index = SiteIndexOfView(view);
  if (index < 0) return nullptr;
  PrepareSiteLayout();
  panes_[index]->RemoveView(view);
  return view;
}

TDockViewManager* TDockFloatForm::InsertSiteManager(int32_t index) {
  auto* pane = new TDockViewManager(this);
  const int32_t at = IsValidSiteIndex(index) ? index : GetSiteManagerCount();
  panes_.insert(panes_.begin() + at, pane);
  if (IndexOfSiteManager(pane) != at) {
    panes_.erase(std::find(panes_.begin(), panes_.end(), pane));
    delete pane;
    return nullptr;
  }
  pane->show();
  PrepareSiteLayout();
  LayoutSite(false);
  return pane;
}

void TDockFloatForm::RemoveSiteManager(TDockViewManager* pane) {
  const auto it = std::find(panes_.begin(), panes_.end(), pane);
  if (it == panes_.end()) return;
  panes_.erase(it);
  pane->hide();
  // Freed later: this may run inside the pane's own handlers.
  pane->deleteLater();
  if (panes_.empty()) {
    if (manager_ != nullptr) manager_->RemoveForm(this);
    return;
  }
  PrepareSiteLayout();
  LayoutSite(true);
}

void TDockFloatForm::PrepareSiteLayout() {
  const int32_t count = GetSiteManagerCount();
  for (int32_t i = count - 1; i >= 0; --i) {
    panes_[i]->SetFirst(i == 0);
    panes_[i]->SetLast(i == count - 1);
  }
}

std::vector<SPaneMeasure> TDockFloatForm::PaneMeasures() const {
  std::vector<SPaneMeasure> measures;
  measures.reserve(panes_.size());
  for (const TDockViewManager* pane : panes_) measures.push_back(pane->Measure());
  return measures;
}

int32_t TDockFloatForm::GetSitePanesHeight() const {
  int32_t total = 0;
  for (const SPaneMeasure& m : PaneMeasures()) total = AddSat(total, PaneHeight(m));
  return total;
}

int32_t TDockFloatForm::GetMinClientHeight() const {
  const std::vector<SPaneMeasure> m = PaneMeasures();
  int32_t total = 0;
  for (size_t i = 0; i + 1 < m.size(); ++i) total = AddSat(total, PaneHeight(m[i]));
  return m.empty() ? 0 : AddSat(total, m.back().minHeight);
}

int32_t TDockFloatForm::GetMaxClientHeight() const {
  const std::vector<SPaneMeasure> m = PaneMeasures();
  if (m.empty() || m.back().maxHeight == 0) return 0;
  int32_t total = 0;
  for (size_t i = 0; i + 1 < m.size(); ++i) total = AddSat(total, PaneHeight(m[i]));
  return AddSat(total, m.back().maxHeight);
}

void TDockFloatForm::LayoutSite(bool setClientHeight) {
  if (setClientHeight) {
    const SSize frame = FrameSize();
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    resize(width(), frame.height + GetSitePanesHeight());
  }
  PlaceChildren();
  ApplyLimits();
}

void TDockFloatForm::PlaceChildren() {
  if (inLayout_) return;
  inLayout_ = true;
  const int32_t w = width(), h = height();
  caption_->setGeometry(kBorder, kBorder, std::max(w - 2 * kBorder, 0), kCaptionHeight);
  const int32_t clientWidth = std::max(w - 2 * kBorder, 0);
  const int32_t clientHeight = std::max(h - 2 * kBorder - kCaptionHeight, 0);
  client_->setGeometry(kBorder, kBorder + kCaptionHeight, clientWidth, clientHeight);
  std::vector<SPanePlace> places;
  StackPanes(PaneMeasures(), clientHeight, places);
  for (size_t i = 0; i < panes_.size(); ++i) {
    TDockViewManager* pane = panes_[i];
    pane->setGeometry(0, places[i].top, clientWidth, places[i].height);
    TCustomDockView* view = pane->SelectedView();
    if (view != nullptr && view->IsShownInPane()) {
      view->setGeometry(0, places[i].viewTop, clientWidth, places[i].viewHeight);
      view->show();
    }
  }
  inLayout_ = false;
}

void TDockFloatForm::ApplyLimits() {
  STrackLimits limits;
  if (!ApplyTrackLimits(PaneMeasures(), FrameSize(), limits)) {
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    return;
  }
  setMinimumSize(limits.minWidth, limits.minHeight);
  setMaximumSize(QWIDGETSIZE_MAX, limits.maxHeight > 0 ? limits.maxHeight : QWIDGETSIZE_MAX);
}

void TDockFloatForm::ShowSiteKeepBounds() {
  const QRect bounds = geometry();
  show();
  setGeometry(bounds);
}

void TDockFloatForm::ActivateSiteView(TDockViewManager* pane, int32_t index) {
  if (pane != nullptr && IndexOfSiteManager(pane) >= 0) pane->SetActiveView(index);
}

bool TDockFloatForm::IsAllClosed() const {
  if (panes_.empty()) return false;
  return std::all_of(panes_.begin(), panes_.end(), [](const TDockViewManager* p) { return p->GetClosed(); });
}

void TDockFloatForm::SetAllClosed(bool closed) {
  if (closed == IsAllClosed() || panes_.empty()) return;
  PrepareSiteLayout();
  for (TDockViewManager* pane : panes_) {
    for (int32_t i = 0; i < pane->GetViewCount(); ++i) pane->GetView(i)->SetCollapsed(closed);
    pane->Rerender();
  }
  LayoutSite(true);
}

int32_t TDockFloatForm::GetDropTarget(QPoint clientPoint, TRect* zone) const {
  const std::vector<SPaneMeasure> measures = PaneMeasures();
  const int32_t target = tf::GetDropTarget(measures, clientPoint.y());
  if (zone != nullptr) {
    *zone = DropTargetZone(measures, client_->width(), target);
    const QPoint origin = client_->mapToGlobal(QPoint(0, 0));
    OffsetBounds(*zone, origin.x(), origin.y());
  }
  return target;
}

void TDockFloatForm::BeginMove(QPoint cursor) { moveOffset_ = cursor - pos(); }

void TDockFloatForm::MoveTo(QPoint cursor) {
  const QPoint topLeft = cursor - moveOffset_;
  TRect r{topLeft.x(), topLeft.y(), topLeft.x() + width(), topLeft.y() + height()};
  if (manager_ != nullptr) manager_->SnapRect(r, this, true);
  move(r.left, r.top);
}

void TDockFloatForm::keyPressEvent(QKeyEvent* event) {
  // A tool window is not a dialog: Escape does not close it.
  if (event->key() == Qt::Key_Escape) {
    event->ignore();
    return;
  }
  TBaseForm::keyPressEvent(event);
}

void TDockFloatForm::resizeEvent(QResizeEvent* event) {
  TBaseForm::resizeEvent(event);
  PlaceChildren();
}

SDockMessage WheelMessageOf(const QWheelEvent& event) {
  uint32_t keys = 0;
  const Qt::MouseButtons buttons = event.buttons();
  if (buttons & Qt::LeftButton) keys |= kWheelKeyLeftButton;
  if (buttons & Qt::RightButton) keys |= kWheelKeyRightButton;
  if (buttons & Qt::MiddleButton) keys |= kWheelKeyMiddleButton;
  if (event.modifiers() & Qt::ShiftModifier) keys |= kWheelKeyShift;
  if (event.modifiers() & Qt::ControlModifier) keys |= kWheelKeyControl;
  const QPoint global = event.globalPosition().toPoint();
  return MakeWheelMessage(event.angleDelta().y(), keys, global.x(), global.y());
}

void TDockFloatForm::wheelEvent(QWheelEvent* event) {
  event->ignore();
  if (manager_ == nullptr) return;
  SDockMessage message = WheelMessageOf(*event);
  manager_->Broadcast(message);
  if (message.result != 0) event->accept();
}

Qt::Edges TDockFloatForm::EdgesAt(QPoint p) const {
  Qt::Edges edges;
  if (!IsSizable()) return edges;
  constexpr int32_t grip = kBorder + 2;
  if (p.x() < grip) edges |= Qt::LeftEdge;
  if (p.x() >= width() - grip) edges |= Qt::RightEdge;
  if (p.y() < kBorder) edges |= Qt::TopEdge;
  if (p.y() >= height() - grip) edges |= Qt::BottomEdge;
  return edges;
}

void TDockFloatForm::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  sizing_ = EdgesAt(event->position().toPoint());
  sizeStart_ = geometry();
  sizeCursor_ = event->globalPosition().toPoint();
  moveOffset_ = sizeCursor_ - pos();
}

void TDockFloatForm::mouseMoveEvent(QMouseEvent* event) {
  if (!(event->buttons() & Qt::LeftButton) || sizing_ == Qt::Edges()) {
    const Qt::Edges e = EdgesAt(event->position().toPoint());
    if ((e & (Qt::LeftEdge | Qt::RightEdge)) && (e & (Qt::TopEdge | Qt::BottomEdge))) {
      setCursor(((e & Qt::LeftEdge) != 0) == ((e & Qt::TopEdge) != 0) ? Qt::SizeFDiagCursor : Qt::SizeBDiagCursor);
    } else if (e & (Qt::LeftEdge | Qt::RightEdge)) {
      setCursor(Qt::SizeHorCursor);
    } else if (e & (Qt::TopEdge | Qt::BottomEdge)) {
      setCursor(Qt::SizeVerCursor);
    } else {
      unsetCursor();
    }
    return;
  }
  const QPoint d = event->globalPosition().toPoint() - sizeCursor_;
  QRect r = sizeStart_;
  const QSize minSize = minimumSize(), maxSize = maximumSize();
  if (sizing_ & Qt::LeftEdge) r.setLeft(std::min(r.left() + d.x(), r.right() + 1 - minSize.width()));
  if (sizing_ & Qt::RightEdge) r.setRight(r.right() + d.x());
  if (sizing_ & Qt::TopEdge) r.setTop(std::min(r.top() + d.y(), r.bottom() + 1 - minSize.height()));
  if (sizing_ & Qt::BottomEdge) r.setBottom(r.bottom() + d.y());
  r.setWidth(std::clamp(r.width(), minSize.width(), maxSize.width()));
  r.setHeight(std::clamp(r.height(), minSize.height(), maxSize.height()));
  setGeometry(r);
}

void TDockFloatForm::mouseReleaseEvent(QMouseEvent*) { sizing_ = Qt::Edges(); }

void TDockFloatForm::paintEvent(QPaintEvent*) {
  QPainter p(this);
  DrawRaisedFrame(p, rect(), AppearanceColor(acBtnFace));
}

// ---------------------------------------------------------------------------------------------
// TDockFloatManager

TDockFloatManager::TDockFloatManager(DockFloatOwner* owner, QObject* parent) : QObject(parent), owner_(owner) {}

TDockFloatManager::~TDockFloatManager() {
  drag_.reset();
  std::vector<QPointer<TDockFloatForm>> forms;
  forms.swap(forms_);
  for (QPointer<TDockFloatForm>& form : forms) {
    if (form.isNull()) continue;
    form->manager_ = nullptr;
    delete form.data();  // its destructor takes the views out first
  }
}

TDockFloatForm* TDockFloatManager::CreateFloatForm() {
  QWidget* window = owner_ != nullptr ? owner_->DockOwnerWindow() : nullptr;
  auto* form = new TDockFloatForm(window);
  if (AddForm(form) == nullptr) {
    delete form;
    return nullptr;
  }
  return form;
}

TDockFloatForm* TDockFloatManager::AddForm(TDockFloatForm* form) {
  if (form == nullptr || IndexOfForm(form) >= 0 || form->manager_ != nullptr) return nullptr;
  forms_.emplace_back(form);
  if (forms_.back().data() != form) return nullptr;
  form->manager_ = this;
  return form;
}

void TDockFloatManager::RemoveForm(TDockFloatForm* form) {
  const auto it = std::find(forms_.begin(), forms_.end(), form);
  if (it != forms_.end()) forms_.erase(it);
  if (form == nullptr) return;
  if (form->manager_ == this) {
    form->manager_ = nullptr;
    // Views leave before the form goes; it is freed later (this may run in one of its handlers).
    while (form->GetSiteManagerCount() > 0) {
      TDockViewManager* pane = form->GetSiteManager(0);
      while (pane->GetViewCount() > 0 && form->GetSiteManagerCount() > 0 && form->GetSiteManager(0) == pane) {
        pane->RemoveView(pane->GetView(0));
      }
      if (form->GetSiteManagerCount() > 0 && form->GetSiteManager(0) == pane) form->RemoveSiteManager(pane);
    }
    form->hide();
    form->deleteLater();
  }
  forms_.erase(std::remove_if(forms_.begin(), forms_.end(), [](const auto& f) { return f.isNull(); }), forms_.end());
}

bool TDockFloatManager::RemoveView(TCustomDockView* view) {
  if (view == nullptr) return false;
  TDockFloatForm* form = view->GetFloatForm();
  if (form == nullptr || IndexOfForm(form) < 0) return false;
  form->UndockView(view);
  return true;
}

int32_t TDockFloatManager::IndexOfForm(const TDockFloatForm* form) const {
  for (size_t i = 0; i < forms_.size(); ++i) {
    if (forms_[i].data() == form && form != nullptr) return static_cast<int32_t>(i);
  }
  return -1;
}

TDockFloatForm* TDockFloatManager::GetForm(int32_t index) const {
  if (index < 0 || index >= GetFormCount()) return nullptr;
  return forms_[index].data();
}

bool TDockFloatManager::IsFloatFormHandle(WId handle) const {
  if (handle == 0) return false;
  for (const auto& form : forms_) {
    if (!form.isNull() && form->testAttribute(Qt::WA_WState_Created) && form->winId() == handle) return true;
  }
  return false;
}

void TDockFloatManager::HideAll() {
  for (const auto& form : forms_) {
    if (form.isNull()) continue;
    const bool visible = form->isVisible();
    if (!hidden_ || visible) form->wasVisible_ = visible;
    form->hide();
  }
  hidden_ = true;
}

void TDockFloatManager::ShowAll() {
  for (const auto& form : forms_) {
    if (!form.isNull() && form->wasVisible_) form->ShowSiteKeepBounds();
  }
  hidden_ = false;
  if (owner_ != nullptr) owner_->DockOwnerFocus();
}

void TDockFloatManager::Broadcast(SDockMessage& message) {
  message.result = 0;
  // A view's answer may change the forms: walk a copy of the list.
  const std::vector<QPointer<TDockFloatForm>> forms = forms_;
  for (const auto& form : forms) {
    if (form.isNull()) continue;
    for (int32_t p = 0; p < form->GetSiteManagerCount(); ++p) {
      TDockViewManager* pane = form->GetSiteManager(p);
      for (int32_t v = 0; v < pane->GetViewCount(); ++v) {
        message.result = pane->GetView(v)->DockMessage(message);
        if (message.result != 0) return;
      }
    }
  }
  if (owner_ == nullptr) return;
  if (!owner_->DockOwnerAnswer(message)) message.result = 0;
}

void TDockFloatManager::SnapRect(TRect& rect, const TDockFloatForm* window, bool excludeSelf) const {
  std::vector<TRect> monitors;
  for (const MonitorInfo& m : GetMonitors()) {
    monitors.push_back({m.bounds.left, m.bounds.top, m.bounds.left + m.bounds.width, m.bounds.top + m.bounds.height});
  }
  TRect area{0, 0, 0, 0};
  const bool hasArea = owner_ != nullptr && owner_->DockOwnerDocumentArea(area);
  std::vector<TRect> windows;
  for (const auto& form : forms_) {
    if (form.isNull() || !form->isVisible()) continue;
    if (excludeSelf && form.data() == window) continue;
    windows.push_back(ToTRect(form->frameGeometry()));
  }
  tf::SnapRect(rect, monitors, hasArea ? &area : nullptr, windows);
}

void TDockFloatManager::BeginDrag(TCustomDockView* view, QPoint grab, QPoint screen) {
  drag_ = std::make_unique<DockDrag>(this, view, grab);
  drag_->Move(screen);
}

void TDockFloatManager::EndDrag() { drag_.reset(); }

// ---------------------------------------------------------------------------------------------
// DockDrag

DockDrag::DockDrag(TDockFloatManager* manager, TCustomDockView* view, QPoint grab)
    : manager_(manager), view_(view), grab_(grab) {
  auto* band = new QRubberBand(QRubberBand::Rectangle);
  band->setWindowFlag(Qt::WindowTransparentForInput);
  band->setWindowFlag(Qt::WindowDoesNotAcceptFocus);
  band_.reset(band);
  AppHandlers handlers;
  handlers.message = [this](QEvent* event) {
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) Cancel();
    return false;
  };
  handlers.shortcut = [](QEvent*) { return false; };
  handlers.deactivate = [](QWindow*) {};
  handlers_ = AppEventFilter::Instance().Push(std::move(handlers));
}

DockDrag::~DockDrag() { AppEventFilter::Instance().Remove(handlers_); }

QWidget* DockDrag::Band() const { return band_.get(); }

TDockFloatForm* DockDrag::FormAt(QPoint screen) const {
  QWidget* top = QApplication::topLevelAt(screen);
  auto* form = qobject_cast<TDockFloatForm*>(top);
  if (form != nullptr && form->isVisible() && manager_->IndexOfForm(form) >= 0) return form;
  // The band, the owner's window (our forms stay above it) or nothing answered: look at our
  // forms, the last one on top.
  for (int32_t i = manager_->GetFormCount() - 1; i >= 0; --i) {
    TDockFloatForm* f = manager_->GetForm(i);
    if (f != nullptr && f->isVisible() && f->frameGeometry().contains(screen)) return f;
  }
  return nullptr;
}

void DockDrag::Move(QPoint screen) {
  if (cancelled_ || view_.isNull()) return;
  TDockFloatForm* form = FormAt(screen);
  target_ = form;
  if (form != nullptr && view_->Pane() != nullptr) {
    TRect zone{0, 0, 0, 0};
    form->GetDropTarget(form->Client()->mapFromGlobal(screen), &zone);
    dockRect_ = zone;
  } else {
    const QPoint topLeft = screen - grab_;
    dockRect_ = {topLeft.x(), topLeft.y(), topLeft.x() + view_->width(), topLeft.y() + view_->height()};
    view_->DockTrackNoTarget(dockRect_);
  }
  band_->setGeometry(ToQRect(dockRect_));
  band_->show();
}

void DockDrag::Drop(QPoint screen) {
  band_->hide();
  if (cancelled_ || view_.isNull()) return;
  Move(screen);
  band_->hide();
  TDockFloatForm* form = FormAt(screen);
  if (form != nullptr) {
    const QPoint client = form->Client()->mapFromGlobal(screen);
    view_->DoEndDock(form, client.x(), client.y());
    return;
  }
  TDockFloatForm* floating = view_->DoFloat(dockRect_);
  if (floating == nullptr) {
    view_->DragCanceled();
    return;
  }
  target_ = floating;
  view_->DoEndDock(floating, 0, 0);
  floating->ShowSiteKeepBounds();
}

void DockDrag::Cancel() {
  if (cancelled_) return;
  cancelled_ = true;
  band_->hide();
  if (!view_.isNull()) view_->DragCanceled();
  // The drag object ends after the event that cancelled it.
  QPointer<TDockFloatManager> manager(manager_);
  QMetaObject::invokeMethod(
      manager_,
      [manager] {
        if (!manager.isNull() && manager->Drag() != nullptr && manager->Drag()->Cancelled()) manager->EndDrag();
      },
      Qt::QueuedConnection);
}

}  // namespace tf
