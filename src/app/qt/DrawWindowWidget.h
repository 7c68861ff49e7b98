// The document window's widget: the client of one QMdiSubWindow of the main window.
#pragma once
// Everything the window decides is TDrawWindow's (app/DrawWindow.h); this widget is its site: it
// keeps the back buffer (a QImage of the client size the document paints into), the two scroll
// bars and the size grip between them, turns Qt's mouse, wheel and key events into the window's
// events and paints in paintEvent: the back buffer, then the tool overlay, the selection outline
// clipped to the canvas, and the not-xor brush outline.
#include <QImage>
#include <QPointer>
#include <QWidget>
#include <memory>

#include "app/DrawWindow.h"
#include "app/MainFormCore.h"

#include <QMdiSubWindow>
class QPainter;
class QScrollBar;
class QSizeGrip;
class QTimer;

namespace tf {

class DrawWindowWidget final : public QWidget, public MainFormChild, public DrawWindowSite {
  Q_OBJECT
 public:
  DrawWindowWidget(DrawWindowOwner& owner, QWidget* parent = nullptr);
  ~DrawWindowWidget() override;

  TDrawWindow& Core() { return *core_; }
  // The back buffer as painted last (client size).
  const QImage& BackBuffer() const { return back_; }
  // Brings the back buffer up to date for the whole client, as a paint does.
  void RefreshBackBuffer();
  QScrollBar* HorizontalBar() const { return hbar_; }
  QScrollBar* VerticalBar() const { return vbar_; }
  QSizeGrip* Grip() const { return grip_; }
  // Called by the main window once the widget sits in its sub-window.
  void AttachSubWindow(QMdiSubWindow* sub);
  QMdiSubWindow* SubWindow() const { return sub_; }

  // ---- MainFormChild ----
  TPaper* Paper() override { return &core_->Document(); }
  std::string Caption() const override;
  bool CloseQuery() override { return core_->CloseQuery(); }
  void TimerTick() override { core_->TimerTick(); }
  void Activated(bool active) override { core_->Activated(active); }
  void SelectToolHandler() override { core_->SelectToolHandler(true); }
  bool StrokeOrPlaybackRunning() const override { return core_->StrokeOrPlaybackRunning(); }
  bool IsPlaying() const override { return core_->IsPlaying(); }
  void UseStrokeEngine(int32_t engine) override { core_->UseStrokeEngine(engine); }
  void ZoomAboutCentre(int32_t numerator, int32_t denominator) override {
    core_->SetZoomRatio(numerator, denominator, false);
  }
  void ActualSize() override { core_->ZoomToActualSize(false); }
  void SetViewRotation(float degrees) override { core_->SetViewRotation(true, degrees); }
  bool ScreenToCanvas(int32_t screenX, int32_t screenY, TPoint& canvas) override {
    return core_->ScreenToCanvas(screenX, screenY, canvas);
  }

  // ---- DrawWindowSite ----
  WindowHandle Handle() const override;
  SSize ClientSize() const override { return SSize{width(), height()}; }
  int32_t ScrollBarThickness(bool horizontal) const override;
  void SetScrollBar(bool horizontal, const SScrollBarGeometry& geometry) override;
  void SetScrollBarsVisible(bool visible) override;
  bool ScrollBarsVisible() const override { return barsVisible_; }
  int32_t ScrollPosition(bool horizontal) const override;
  void SetScrollPosition(bool horizontal, int32_t position) override;
  void InvalidateClient(const TRect* rect) override;
  void PaintNow() override;
  void SetCursorSlot(int32_t slot) override;
  void Beep() override;
  void SetAutoScrollTimer(bool on) override;
  void SetCaption(const std::string& caption) override;
  TPoint ClientOrigin() const override;
  TPoint MousePosition() const override;
  bool IsMinimized() const override;
  bool IsMaximized() const override;
  SWindowFrame Frame() const override;
  TRect WindowRect() const override;
  void SetWindowRect(const TRect& rect) override;
  void RequestClose() override;

  int32_t CursorSlot() const { return cursorSlot_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void PaintShapeOverlay(QPainter& painter);
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void UpdateBackBuffer(const QRect& area);
  void ScrollAction(bool horizontal, int action);
  void LayoutCorner();
  // The brush outline after a mouse event: 0 move, 1 left press, 2 left release.
  void OutlineAfterMouse(int32_t kind, const QPoint& at);

  std::unique_ptr<TDrawWindow> core_;
  QScrollBar* hbar_ = nullptr;
  QScrollBar* vbar_ = nullptr;
  QSizeGrip* grip_ = nullptr;
  QTimer* autoScroll_ = nullptr;
  QPointer<QMdiSubWindow> sub_;
  QObject* subObject_ = nullptr;  // compared only, never used
  QImage back_;
  SScrollBarGeometry hGeometry_;
  SScrollBarGeometry vGeometry_;
  bool barsVisible_ = false;
  int32_t cursorSlot_ = -1;
  int32_t wheelRemainder_ = 0;
  bool settingPosition_ = false;
};

}  // namespace tf
