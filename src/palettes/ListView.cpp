// TtFListView: the widget half of the list view.
#include "palettes/ListView.h"

#include <QApplication>
#include <QEnterEvent>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QStatusTipEvent>
#include <QToolTip>
#include <QWheelEvent>

#include "ui/HotTrack.h"
#include "ui/MemoryGraphicQt.h"
#include "ui/UiAppearance.h"

namespace tf {

namespace {

uint32_t ShiftOf(Qt::KeyboardModifiers m) {
  uint32_t s = 0;
  if (m & Qt::ShiftModifier) s |= kKeyShift;
  if (m & Qt::ControlModifier) s |= kKeyCtrl;
  if (m & Qt::AltModifier) s |= kKeyAlt;
  return s;
}

}  // namespace

TtFListView::TtFListView(std::unique_ptr<CListViewCore> core, QWidget* parent)
    : GraphicControl(parent), core_(std::move(core)), bar_(new QScrollBar(Qt::Vertical)) {
  setMouseTracking(true);
  QFont uiFont = DefaultFormFont();
  SetDefaultUIFont(uiFont, kShiftJisCharset);
  setFont(uiFont);
  core_->SetHost(this);
  core_->SetTextPainter(this);
  bar_->setFixedWidth(kScrollBarWidth);
  bar_->setFocusPolicy(Qt::NoFocus);
  bar_->setRange(0, 1);
  bar_->setEnabled(false);
  bar_->hide();
  if (parent != nullptr) bar_->setParent(parent);
  QScrollBar* bar = bar_;
  connect(bar, &QScrollBar::sliderPressed, this, [this] { core_->ScrollBarScroll(bar_->sliderPosition(), true); });
  connect(bar, &QScrollBar::sliderReleased, this, [this] { core_->ScrollBarScroll(bar_->sliderPosition(), false); });
  connect(bar, &QScrollBar::actionTriggered, this, &TtFListView::BarAction);
  timer_.setInterval(core_->TimerInterval());
  connect(&timer_, &QTimer::timeout, this, [this] { core_->TimerTick(); });
  const std::string hint = core_->Hint();
  if (!hint.empty()) SetHint(hint);
}

TtFListView::~TtFListView() {
  if (ItemDrag::Active() && (ItemDrag::Source() == this || ItemDrag::Target() == this)) ItemDrag::Cancel();
  timer_.stop();
  core_->SetHost(nullptr);
  core_->SetTextPainter(nullptr);
  delete bar_.data();
}

void TtFListView::BarAction(int action) {
  if (!bar_) return;
  const bool thumb = action == QAbstractSlider::SliderMove && bar_->isSliderDown();
  core_->ScrollBarScroll(bar_->sliderPosition(), thumb);
}

bool TtFListView::MouseWheel(uint32_t shift, int32_t delta, QPoint global) {
  const QPoint p = mapFromGlobal(global);
  return core_->MouseWheel(shift, delta, {p.x(), p.y()});
}

// ---------------------------------------------------------------------------------------------
// Host

void TtFListView::Invalidate(const TRect& rect) {
  if (rendering_ || Graphic().Width() != width() || Graphic().Height() != height()) return;
  core_->PaintControl(Graphic());
  update(QRect(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top));
}

void TtFListView::UpdateNow() {
  if (isVisible()) repaint();
}

void TtFListView::PlaceScrollBar() {
  if (!bar_) return;
  QWidget* parent = parentWidget();
  if (bar_->parentWidget() != parent) {
    bar_->setParent(parent);
    if (parent != nullptr) bar_->raise();
  }
  const TRect r = core_->ScrollBarRect();
  const QRect place(x() + r.left, y() + r.top, kScrollBarWidth, std::max(r.bottom - r.top, 0));
  if (bar_->geometry() != place) {
    bar_->setGeometry(place);
    if (parent != nullptr) bar_->raise();
  }
}

void TtFListView::ScrollBarChanged() {
  if (!bar_) return;
  const SListScrollModel& m = core_->ScrollModel();
  bar_->setRange(m.minimum, std::max(m.minimum, m.maximum - m.page + 1));
  bar_->setPageStep(std::max(m.page, 1));
  bar_->setSingleStep(m.smallChange);
  bar_->setValue(m.position);
  bar_->setEnabled(m.enabled);
  PlaceScrollBar();
  bar_->setVisible(m.visible && parentWidget() != nullptr && isVisible());
}

void TtFListView::StartTimer(int32_t milliseconds) {
  if (!timer_.isActive()) timer_.start(milliseconds);
}

void TtFListView::SetTimerInterval(int32_t milliseconds) { timer_.setInterval(milliseconds); }
void TtFListView::StopTimer() { timer_.stop(); }

void TtFListView::SetHint(std::string_view utf8) {
  const QString text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
  const qsizetype bar = text.indexOf(QLatin1Char('|'));
  tip_ = bar < 0 ? text : text.left(bar);
  longHint_ = bar < 0 ? text : text.mid(bar + 1);
  setStatusTip(longHint_);
  if (underMouse()) {
    QStatusTipEvent tip(longHint_);
    QApplication::sendEvent(this, &tip);
  }
}

void TtFListView::CancelHint() { QToolTip::hideText(); }

void TtFListView::SetShowHint(bool show) {
  showHint_ = show;
  if (!show) QToolTip::hideText();
}

TPoint TtFListView::ClientToScreen(TPoint point) {
  const QPoint p = mapToGlobal(QPoint(point.x, point.y));
  return {p.x(), p.y()};
}

TPoint TtFListView::DragThreshold() {
  const int32_t d = QApplication::startDragDistance();
  return {d, d};
}

void TtFListView::BeginDrag() { ItemDrag::Begin(this, lastGlobal_); }

bool TtFListView::DrawText(TMemoryGraphic& graphic, std::string_view text, TRect& rect, uint32_t format,
                           uint32_t colour) {
  return tf::DrawText(graphic, text, rect, format, colour, font());
}

bool TtFListView::ItemDragOver(TtFListView* source, QPoint point, int32_t state) {
  return core_->DragOver(source != nullptr ? &source->Core() : nullptr, {point.x(), point.y()}, state);
}

void TtFListView::ItemDragDrop(TtFListView* source, QPoint point) {
  core_->DragDrop(source != nullptr ? &source->Core() : nullptr, {point.x(), point.y()});
}

void TtFListView::ItemDragEnded() { core_->DragEnded(); }

// ---------------------------------------------------------------------------------------------
// Events

void TtFListView::RenderGraphic() {
  rendering_ = true;
  core_->PaintControl(Graphic());
  rendering_ = false;
}

bool TtFListView::event(QEvent* event) {
  switch (event->type()) {
    case QEvent::ParentChange:
      if (bar_) {
        bar_->setParent(parentWidget());
        ScrollBarChanged();
      }
      break;
    case QEvent::ToolTip: {
      auto* help = static_cast<QHelpEvent*>(event);
      if (showHint_ && !tip_.isEmpty()) {
        QToolTip::showText(help->globalPos(), tip_, this);
      } else {
        QToolTip::hideText();
      }
      return true;
    }
    default: break;
  }
  return GraphicControl::event(event);
}

void TtFListView::resizeEvent(QResizeEvent* event) {
  rendering_ = true;
  core_->SetBounds(width(), height());
  rendering_ = false;
  GraphicControl::resizeEvent(event);
  PlaceScrollBar();
}

void TtFListView::moveEvent(QMoveEvent* event) {
  GraphicControl::moveEvent(event);
  PlaceScrollBar();
}

void TtFListView::showEvent(QShowEvent* event) {
  GraphicControl::showEvent(event);
  ScrollBarChanged();
}

void TtFListView::hideEvent(QHideEvent* event) {
  GraphicControl::hideEvent(event);
  if (bar_) bar_->hide();
}

void TtFListView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !CanHotTrack(this)) {
    event->ignore();
    return;
  }
  const QPoint p = event->position().toPoint();
  if (core_->MouseDown(p.x(), p.y(), ShiftOf(event->modifiers()))) {
    event->ignore();
  } else {
    event->accept();
  }
}

void TtFListView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    event->ignore();
    return;
  }
  if (ItemDrag::Active() && ItemDrag::Source() == this) ItemDrag::Drop(event->globalPosition().toPoint());
  core_->MouseUp();
}

void TtFListView::mouseMoveEvent(QMouseEvent* event) {
  const QPoint global = event->globalPosition().toPoint();
  lastGlobal_ = global;
  if (ItemDrag::Active() && ItemDrag::Source() == this) {
    ItemDrag::Move(global);
    return;
  }
  if (!CanHotTrack(this)) return;
  const QPoint p = event->position().toPoint();
  core_->MouseMove(p.x(), p.y(), (event->buttons() & Qt::LeftButton) != 0, ShiftOf(event->modifiers()));
}

void TtFListView::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !CanHotTrack(this)) {
    event->ignore();
    return;
  }
  const QPoint p = event->position().toPoint();
  core_->DoubleClick(p.x(), p.y(), ShiftOf(event->modifiers()));
}

void TtFListView::wheelEvent(QWheelEvent* event) {
  const QPoint p = event->position().toPoint();
  if (core_->MouseWheel(ShiftOf(event->modifiers()), event->angleDelta().y(), {p.x(), p.y()})) {
    event->accept();
  } else {
    event->ignore();
  }
}

void TtFListView::enterEvent(QEnterEvent* event) {
  GraphicControl::enterEvent(event);
  if (!HotTrackEnter(this)) return;
  const QPoint p = event->position().toPoint();
  core_->MouseEnter(p.x(), p.y());
}

void TtFListView::leaveEvent(QEvent* event) {
  GraphicControl::leaveEvent(event);
  core_->MouseLeave();
}

}  // namespace tf
