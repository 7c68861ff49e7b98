#include "app/qt/DrawWindowWidget.h"

#include "app/ToolShapes.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QKeyEvent>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPolygon>
#include <QRegion>
#include <QScrollBar>
#include <QSizeGrip>
#include <QTimer>
#include <QWheelEvent>
#include <QWindowStateChangeEvent>
#include <algorithm>

#include "app/AppProfile.h"
#include "app/ToolShapes.h"
#include "app/ToolWindow.h"
#include "app/qt/CursorSlots.h"
#include "app/qt/MainForm.h"
#include "platform/Surface.h"
#include "platform/qt/QtHosts.h"

namespace tf {

namespace {

constexpr QRgb kBackground = 0xFFCCCCCCu;

// A surface over a 32-bit image that writes only inside a clip rectangle; every pixel opaque.
class ImageSurface final : public Surface {
 public:
  ImageSurface(QImage& image, const QRect& clip) : image_(image), clip_(clip.intersected(image.rect())) {}
  int32_t Width() const override { return image_.width(); }
  int32_t Height() const override { return image_.height(); }

  bool Blit(int32_t dx, int32_t dy, int32_t w, int32_t h, const PixelBlockView& block, int32_t sx,
            int32_t sy) override {
    // Clip the source to the block, then the destination to the clip.
    if (sx < 0) {
      dx -= sx;
      w += sx;
      sx = 0;
    }
    if (sy < 0) {
      dy -= sy;
      h += sy;
      sy = 0;
    }
    w = std::min(w, block.width - sx);
    h = std::min(h, block.height - sy);
    const QRect target = QRect(dx, dy, std::max(w, 0), std::max(h, 0)).intersected(clip_);
    if (target.isEmpty()) return true;
    const int32_t ox = sx + (target.left() - dx);
    const int32_t oy = sy + (target.top() - dy);
    for (int32_t y = 0; y < target.height(); ++y) {
      const uint32_t* from = block.Row(oy + y) + ox;
      auto* to = reinterpret_cast<uint32_t*>(image_.scanLine(target.top() + y)) + target.left();
      for (int32_t x = 0; x < target.width(); ++x) to[x] = from[x] | 0xFF000000u;
    }
    return true;
  }

  bool StretchBlit(int32_t dx, int32_t dy, int32_t dw, int32_t dh, const PixelBlockView& block, int32_t sx,
                   int32_t sy, int32_t sw, int32_t sh) override {
    if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return false;
    const QRect target = QRect(dx, dy, dw, dh).intersected(clip_);
    if (target.isEmpty()) return true;
    for (int32_t y = target.top(); y <= target.bottom(); ++y) {
      const int64_t syy = sy + (static_cast<int64_t>(y - dy) * sh) / dh;
      if (syy < 0 || syy >= block.height) continue;
      const uint32_t* row = block.Row(static_cast<int32_t>(syy));
      auto* to = reinterpret_cast<uint32_t*>(image_.scanLine(y));
      for (int32_t x = target.left(); x <= target.right(); ++x) {
        const int64_t sxx = sx + (static_cast<int64_t>(x - dx) * sw) / dw;
        if (sxx < 0 || sxx >= block.width) continue;
        to[x] = row[sxx] | 0xFF000000u;
      }
    }
    return true;
  }

 private:
  QImage& image_;
  QRect clip_;
};

// A surface that draws through a painter (the overlays on the window).
class PainterSurface final : public Surface {
 public:
  PainterSurface(QPainter& painter, int32_t width, int32_t height) : p_(painter), w_(width), h_(height) {}
  int32_t Width() const override { return w_; }
  int32_t Height() const override { return h_; }
  bool Blit(int32_t dx, int32_t dy, int32_t w, int32_t h, const PixelBlockView& block, int32_t sx,
            int32_t sy) override {
    if (w <= 0 || h <= 0 || sx < 0 || sy < 0 || sx + w > block.width || sy + h > block.height) return false;
    QImage part(w, h, QImage::Format_RGB32);
    for (int32_t y = 0; y < h; ++y) {
      const uint32_t* from = block.Row(sy + y) + sx;
      auto* to = reinterpret_cast<uint32_t*>(part.scanLine(y));
      for (int32_t x = 0; x < w; ++x) to[x] = from[x] | 0xFF000000u;
    }
    p_.drawImage(dx, dy, part);
    return true;
  }
  bool StretchBlit(int32_t dx, int32_t dy, int32_t dw, int32_t dh, const PixelBlockView& block, int32_t sx,
                   int32_t sy, int32_t sw, int32_t sh) override {
    if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0 || sx < 0 || sy < 0 || sx + sw > block.width ||
        sy + sh > block.height)
      return false;
    QImage part(sw, sh, QImage::Format_RGB32);
    for (int32_t y = 0; y < sh; ++y) {
      const uint32_t* from = block.Row(sy + y) + sx;
      auto* to = reinterpret_cast<uint32_t*>(part.scanLine(y));
      for (int32_t x = 0; x < sw; ++x) to[x] = from[x] | 0xFF000000u;
    }
    p_.drawImage(QRect(dx, dy, dw, dh), part);
    return true;
  }

 private:
  QPainter& p_;
  int32_t w_, h_;
};

uint32_t ShiftOf(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons) {
  uint32_t s = 0;
  if (modifiers & Qt::ShiftModifier) s |= kSsShift;
  if (modifiers & Qt::AltModifier) s |= kSsAlt;
  if (modifiers & Qt::ControlModifier) s |= kSsCtrl;
  if (buttons & Qt::LeftButton) s |= kSsLeft;
  if (buttons & Qt::RightButton) s |= kSsRight;
  if (buttons & Qt::MiddleButton) s |= kSsMiddle;
  return s;
}

bool ButtonOf(Qt::MouseButton button, MouseButton& out) {
  switch (button) {
    case Qt::LeftButton: out = MouseButton::kLeft; return true;
    case Qt::RightButton: out = MouseButton::kRight; return true;
    case Qt::MiddleButton: out = MouseButton::kMiddle; return true;
    default: return false;
  }
}

// Keys by role as the window's virtual keys; 0 for keys it does not know.
int32_t VirtualKeyOf(const QKeyEvent& e) {
  const bool keypad = (e.modifiers() & Qt::KeypadModifier) != 0;
  const int key = e.key();
  switch (key) {
    case Qt::Key_Plus:
    case Qt::Key_Equal: return keypad ? kKeyPadPlus : kKeyPlus;
    case Qt::Key_Minus: return keypad ? kKeyPadMinus : kKeyMinus;
    case Qt::Key_F4: return kKeyF4;
    case Qt::Key_F5: return kKeyF5;
    case Qt::Key_F6: return kKeyF6;
    case Qt::Key_Insert: return kKeyInsert;
    case Qt::Key_Delete: return kKeyDelete;
    case Qt::Key_Backspace: return kKeyBack;
    case Qt::Key_Return:
    case Qt::Key_Enter: return kKeyEnter;
    case Qt::Key_Escape: return kKeyEscape;
    case Qt::Key_Left: return 37;
    case Qt::Key_Up: return 38;
    case Qt::Key_Right: return 39;
    case Qt::Key_Down: return 40;
    case Qt::Key_Space: return 32;
    default: break;
  }
  if (key >= Qt::Key_A && key <= Qt::Key_Z) return 0x41 + (key - Qt::Key_A);
  if (key >= Qt::Key_0 && key <= Qt::Key_9) return 0x30 + (key - Qt::Key_0);
  if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return 0x70 + (key - Qt::Key_F1);
  return 0;
}

QRect QRectOf(const TRect& r) { return QRect(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1)); }

}  // namespace

DrawWindowWidget::DrawWindowWidget(DrawWindowOwner& owner, QWidget* parent) : QWidget(parent) {
  setObjectName("DrawWindow");
  setWindowTitle("DrawWindow");
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  resize(320, 240);
  hbar_ = new QScrollBar(Qt::Horizontal, this);
  vbar_ = new QScrollBar(Qt::Vertical, this);
  grip_ = new QSizeGrip(this);
  for (QScrollBar* bar : {hbar_, vbar_}) {
    bar->setFocusPolicy(Qt::NoFocus);
    bar->hide();
    bar->setGeometry(0, 0, bar->sizeHint().width(), bar->sizeHint().height());
  }
  grip_->hide();
  // The pointer over a bar or the grip has left the picture: the outline goes.
  for (QWidget* child : std::initializer_list<QWidget*>{hbar_, vbar_, grip_}) child->installEventFilter(this);
  connect(hbar_, &QScrollBar::actionTriggered, this, [this](int action) { ScrollAction(true, action); });
  connect(vbar_, &QScrollBar::actionTriggered, this, [this](int action) { ScrollAction(false, action); });
  connect(hbar_, &QScrollBar::sliderReleased, this, [this] {
    core_->ScrollBarScroll(true, TDrawWindow::ScrollCode::kPosition, hbar_->value());
  });
  connect(vbar_, &QScrollBar::sliderReleased, this, [this] {
    core_->ScrollBarScroll(false, TDrawWindow::ScrollCode::kPosition, vbar_->value());
  });
  autoScroll_ = new QTimer(this);
  autoScroll_->setInterval(100);
  connect(autoScroll_, &QTimer::timeout, this, [this] { core_->TimerAutoScrollTimer(); });
  back_ = QImage(std::max(1, width()), std::max(1, height()), QImage::Format_RGB32);
  back_.fill(kBackground);
  core_ = std::make_unique<TDrawWindow>(*this, owner);
}

DrawWindowWidget::~DrawWindowWidget() {
  autoScroll_->stop();
  core_.reset();
}

void DrawWindowWidget::AttachSubWindow(QMdiSubWindow* sub) {
  sub_ = sub;
  subObject_ = sub;
  if (sub == nullptr) return;
  // The system menu has no Size command; the sub-window's state changes are watched.
  if (QMenu* menu = sub->systemMenu()) {
    for (QAction* action : menu->actions()) {
      if (action->text().remove('&') == "Size") menu->removeAction(action);
    }
  }
  sub->installEventFilter(this);
}

bool DrawWindowWidget::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Enter && core_ && (watched == hbar_ || watched == vbar_ || watched == grip_))
    core_->EraseBrushOutline();
  if (event->type() == QEvent::WindowStateChange && watched == subObject_ && sub_) {
    const auto* change = static_cast<QWindowStateChangeEvent*>(event);
    const Qt::WindowStates now = sub_->windowState();
    if (core_->IsInKeyMoveMode()) {
      // Refused in cursor-key move mode: the state goes back.
      if (now != change->oldState()) {
        const Qt::WindowStates old = change->oldState();
        QTimer::singleShot(0, sub_, [sub = sub_, old] {
          if (sub) sub->setWindowState(old);
        });
      }
      return false;
    }
    if (now & Qt::WindowMaximized) {
      AppProfile().childWinMax = true;
    } else if (!(now & Qt::WindowMinimized)) {
      AppProfile().childWinMax = false;
    }
  }
  return QWidget::eventFilter(watched, event);
}

std::string DrawWindowWidget::Caption() const { return windowTitle().toStdString(); }

// ---- site ----

WindowHandle DrawWindowWidget::Handle() const { return HandleOfWidget(const_cast<DrawWindowWidget*>(this)); }

int32_t DrawWindowWidget::ScrollBarThickness(bool horizontal) const {
  return horizontal ? hbar_->sizeHint().height() : vbar_->sizeHint().width();
}

void DrawWindowWidget::SetScrollBar(bool horizontal, const SScrollBarGeometry& g) {
  QScrollBar* bar = horizontal ? hbar_ : vbar_;
  (horizontal ? hGeometry_ : vGeometry_) = g;
  const int32_t thickness = ScrollBarThickness(horizontal);
  if (horizontal) {
    bar->setGeometry(g.left, g.top, std::max(0, g.length), thickness);
  } else {
    bar->setGeometry(g.left, g.top, thickness, std::max(0, g.length));
  }
  settingPosition_ = true;
  bar->setRange(0, g.MaxPosition());
  bar->setPageStep(std::max(1, g.page));
  bar->setSingleStep(std::max(1, g.smallStep));
  settingPosition_ = false;
  LayoutCorner();
}

void DrawWindowWidget::SetScrollBarsVisible(bool visible) {
  barsVisible_ = visible;
  hbar_->setVisible(visible);
  vbar_->setVisible(visible);
  LayoutCorner();
}

void DrawWindowWidget::LayoutCorner() {
  const int32_t w = ScrollBarThickness(false);
  const int32_t h = ScrollBarThickness(true);
  grip_->setGeometry(width() - w, height() - h, w, h);
  grip_->setVisible(barsVisible_);
}

int32_t DrawWindowWidget::ScrollPosition(bool horizontal) const { return (horizontal ? hbar_ : vbar_)->value(); }

void DrawWindowWidget::SetScrollPosition(bool horizontal, int32_t position) {
  QScrollBar* bar = horizontal ? hbar_ : vbar_;
  settingPosition_ = true;
  bar->setSliderPosition(position);
  bar->setValue(position);
  settingPosition_ = false;
}

void DrawWindowWidget::InvalidateClient(const TRect* rect) {
  if (rect == nullptr) {
    update();
  } else {
    update(QRectOf(*rect));
  }
}

void DrawWindowWidget::PaintNow() {
  if (isVisible()) {
    repaint();
  } else {
    update();
  }
}

void DrawWindowWidget::SetCursorSlot(int32_t slot) {
  if (slot == cursorSlot_) return;
  cursorSlot_ = slot;
  if (slot == 0) {
    setCursor(Qt::BlankCursor);
  } else {
    setCursor(ToolCursor(slot));
  }
}

void DrawWindowWidget::Beep() { QApplication::beep(); }

void DrawWindowWidget::SetAutoScrollTimer(bool on) {
  if (on) {
    if (!autoScroll_->isActive()) autoScroll_->start();
  } else {
    autoScroll_->stop();
  }
}

void DrawWindowWidget::SetCaption(const std::string& caption) {
  const QString text = QString::fromStdString(caption);
  setWindowTitle(text);
  if (sub_) sub_->setWindowTitle(text);
}

TPoint DrawWindowWidget::ClientOrigin() const {
  const QPoint p = mapToGlobal(QPoint(0, 0));
  return {p.x(), p.y()};
}

TPoint DrawWindowWidget::MousePosition() const {
  const QPoint p = mapFromGlobal(QCursor::pos());
  return {p.x(), p.y()};
}

bool DrawWindowWidget::IsMinimized() const { return sub_ ? sub_->isMinimized() : isMinimized(); }
bool DrawWindowWidget::IsMaximized() const { return sub_ ? sub_->isMaximized() : isMaximized(); }

SWindowFrame DrawWindowWidget::Frame() const {
  // Measured on the sub-window: the widget's place inside it is the frame and the caption.
  SWindowFrame f;
  if (!sub_) return f;
  const QRect inner = geometry();
  f.frameWidth = std::max(0, inner.left());
  f.frameHeight = std::max(0, sub_->height() - inner.bottom() - 1);
  f.captionHeight = std::max(0, inner.top() - f.frameHeight);
  return f;
}

TRect DrawWindowWidget::WindowRect() const {
  const QRect r = sub_ ? sub_->geometry() : geometry();
  return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

void DrawWindowWidget::SetWindowRect(const TRect& rect) {
  const QRect r(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
  if (sub_) {
    sub_->setGeometry(r);
  } else {
    setGeometry(r);
  }
}

void DrawWindowWidget::RequestClose() {
  if (sub_) {
    sub_->close();
  } else {
    close();
  }
}

// ---- painting ----

void DrawWindowWidget::UpdateBackBuffer(const QRect& area) {
  if (back_.size() != size() && width() > 0 && height() > 0) {
    back_ = QImage(size(), QImage::Format_RGB32);
    back_.fill(kBackground);
  }
  TPaper& paper = core_->Document();
  const QRect clip = area.intersected(back_.rect());
  if (clip.isEmpty()) return;
  if (paper.ready == 0) {
    QPainter p(&back_);
    p.fillRect(clip, QColor::fromRgb(kBackground));
    return;
  }
  // 1. The margin strips; 2. the document's picture.
  {
    QPainter p(&back_);
    for (int32_t i = 0; i < 4; ++i) {
      const TRect& m = core_->MarginRects()[i];
      if (m.right > m.left && m.bottom > m.top) p.fillRect(QRectOf(m).intersected(clip), QColor::fromRgb(kBackground));
    }
  }
  ImageSurface surface(back_, clip);
  paper.PaintWindow(&surface);
}

void DrawWindowWidget::RefreshBackBuffer() { UpdateBackBuffer(rect()); }

void DrawWindowWidget::paintEvent(QPaintEvent* event) {
  const QRect area = event->rect();
  UpdateBackBuffer(area);
  QPainter p(this);
  // 4. The back buffer.
  p.drawImage(area, back_, area);
  TPaper& paper = core_->Document();
  if (paper.ready == 0) return;
  // 5. The tool's overlay.
  if ((core_->InputFlags() & kInOverlay) != 0 && !core_->PositionList().empty() && core_->Handler().paint != nullptr) {
    PainterSurface overlay(p, width(), height());
    core_->Handler().paint(*core_, overlay);
  }
  PaintShapeOverlay(p);
  // 6. The selection outline inside the canvas.
  if (paper.selectionVisible != 0) {
    core_->BuildCanvasRegion();
    QPolygon polygon;
    for (const TPoint& q : core_->CanvasRegion()) polygon << QPoint(q.x, q.y);
    p.save();
    p.setClipRegion(QRegion(polygon, Qt::OddEvenFill));
    PainterSurface ants(p, width(), height());
    paper.DrawAnts(ants, width(), height());
    p.restore();
  }
  // 8. The brush outline: not-xor, so that painting it twice leaves the screen as it was.
  if (core_->BrushOutlineShown()) {
    const TRect& r = core_->BrushOutlineRect();
    p.setCompositionMode(QPainter::RasterOp_NotSourceXorDestination);
    p.setPen(QColor::fromRgb(0x555555));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRect(r.left, r.top, r.right - r.left - 1, r.bottom - r.top - 1));
  }
}

void DrawWindowWidget::PaintShapeOverlay(QPainter& p) {
  // The rubber band of the shape, fill and selection tools: black one-pixel dots on white,
  // nothing filled, clipped to the canvas.
  std::vector<TPoint> points;
  bool closed = false;
  if (!ShapeTools::Overlay(*core_, points, closed)) return;
  core_->BuildCanvasRegion();
  QPolygon clip;
  for (const TPoint& q : core_->CanvasRegion()) clip << QPoint(q.x, q.y);
  QPolygon line;
  for (const TPoint& q : points) line << QPoint(q.x, q.y);
  p.save();
  p.setClipRegion(QRegion(clip, Qt::OddEvenFill));
  QPen pen(Qt::black, 1, Qt::CustomDashLine);
  pen.setDashPattern({1, 1});
  p.setPen(pen);
  p.setBackground(Qt::white);
  p.setBackgroundMode(Qt::OpaqueMode);
  p.setBrush(Qt::NoBrush);
  if (closed) {
    p.drawPolygon(line);
  } else {
    p.drawPolyline(line);
  }
  p.restore();
}

void DrawWindowWidget::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (width() > 0 && height() > 0) {
    back_ = QImage(size(), QImage::Format_RGB32);
    back_.fill(kBackground);
  }
  LayoutCorner();
  core_->FormResize();
}

// ---- input ----

void DrawWindowWidget::OutlineAfterMouse(int32_t kind, const QPoint& at) {
  const CAppProfile& profile = AppProfile();
  ToolWindow* tool = core_->Owner().Tool();
  const int32_t mode = tool != nullptr ? tool->ToolMode() : 0;
  if ((mode == 0 && profile.BrushGhost) || (mode == 6 && kind == 0)) {
    core_->DrawBrushOutlineAt(at.x(), at.y());
  } else if (kind == 2) {
    core_->EraseBrushOutline();
  }
}

void DrawWindowWidget::mousePressEvent(QMouseEvent* event) {
  MouseButton button;
  if (!ButtonOf(event->button(), button)) return;
  const QPoint at = event->position().toPoint();
  core_->FormMouseDown(button, ShiftOf(event->modifiers(), event->buttons()), at.x(), at.y());
  if (button == MouseButton::kLeft) OutlineAfterMouse(1, at);
}

void DrawWindowWidget::mouseDoubleClickEvent(QMouseEvent* event) {
  // A double click is a press with the double-click bit, never a second press.
  MouseButton button;
  if (!ButtonOf(event->button(), button)) return;
  const QPoint at = event->position().toPoint();
  core_->FormMouseDown(button, ShiftOf(event->modifiers(), event->buttons()) | kSsDouble, at.x(), at.y());
}

void DrawWindowWidget::mouseMoveEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  core_->FormMouseMove(ShiftOf(event->modifiers(), event->buttons()), at.x(), at.y());
  OutlineAfterMouse(0, at);
}

void DrawWindowWidget::mouseReleaseEvent(QMouseEvent* event) {
  MouseButton button;
  if (!ButtonOf(event->button(), button)) return;
  const QPoint at = event->position().toPoint();
  core_->FormMouseUp(button, ShiftOf(event->modifiers(), event->buttons()), at.x(), at.y());
  if (button == MouseButton::kLeft) OutlineAfterMouse(2, at);
}

void DrawWindowWidget::wheelEvent(QWheelEvent* event) {
  // The main window offers it to the floating palettes first.
  if (auto* main = qobject_cast<TMainForm*>(window()); main != nullptr && main->OfferWheelToPalettes(*event)) {
    event->accept();
    return;
  }
  // One zoom step per 120 units (touchpads send many small deltas).
  wheelRemainder_ += event->angleDelta().y();
  while (wheelRemainder_ >= 120 || wheelRemainder_ <= -120) {
    const int32_t sign = wheelRemainder_ > 0 ? 1 : -1;
    wheelRemainder_ -= sign * 120;
    core_->WheelStep(sign);
  }
  event->accept();
}

void DrawWindowWidget::keyPressEvent(QKeyEvent* event) {
  const int32_t key = VirtualKeyOf(*event);
  if (key == 0) {
    QWidget::keyPressEvent(event);
    return;
  }
  if (core_->KeyDown(key, event->isAutoRepeat(), ShiftOf(event->modifiers(), Qt::NoButton))) {
    event->accept();
  } else {
    QWidget::keyPressEvent(event);
  }
}

void DrawWindowWidget::keyReleaseEvent(QKeyEvent* event) {
  core_->KeyUp();
  QWidget::keyReleaseEvent(event);
}

void DrawWindowWidget::leaveEvent(QEvent* event) {
  core_->EraseBrushOutline();
  if (ToolWindow* tool = core_->Owner().Tool()) tool->UpdateInfoPane(0, 0, 0);
  QWidget::leaveEvent(event);
}

void DrawWindowWidget::closeEvent(QCloseEvent* event) {
  if (core_->CloseQuery()) {
    event->accept();
  } else {
    event->ignore();
  }
}

void DrawWindowWidget::ScrollAction(bool horizontal, int action) {
  if (settingPosition_) return;
  QScrollBar* bar = horizontal ? hbar_ : vbar_;
  const SScrollBarGeometry& g = horizontal ? hGeometry_ : vGeometry_;
  const int32_t old = bar->value();
  int32_t position = bar->sliderPosition();
  TDrawWindow::ScrollCode code = TDrawWindow::ScrollCode::kLine;
  switch (action) {
    case QAbstractSlider::SliderSingleStepAdd: position = old + g.smallStep; break;
    case QAbstractSlider::SliderSingleStepSub: position = old - g.smallStep; break;
    case QAbstractSlider::SliderPageStepAdd:
      position = old + g.largeStep;
      code = TDrawWindow::ScrollCode::kPage;
      break;
    case QAbstractSlider::SliderPageStepSub:
      position = old - g.largeStep;
      code = TDrawWindow::ScrollCode::kPage;
      break;
    case QAbstractSlider::SliderToMinimum: position = 0; break;
    case QAbstractSlider::SliderToMaximum: position = bar->maximum(); break;
    case QAbstractSlider::SliderMove: code = TDrawWindow::ScrollCode::kTrack; break;
    default: return;
  }
  position = std::clamp(position, bar->minimum(), bar->maximum());
  bar->setSliderPosition(position);
  core_->ScrollBarScroll(horizontal, code, position);
}

}  // namespace tf
