#include "ui/PopupBase.h"

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWindow>

#include "platform/Clock.h"
#include "platform/qt/AppEventFilter.h"
#include "raster/Placement.h"
#include "ui/UiAppearance.h"

namespace tf {

bool IsModalFormShowing() { return QApplication::activeModalWidget() != nullptr; }

namespace {

bool IsPopupWindow(const QWindow* window) {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w->windowHandle() == window && qobject_cast<TPopupBaseForm*>(w) != nullptr) return true;
  }
  return false;
}

}  // namespace

TPopupBaseForm::TPopupBaseForm(QWidget* parent)
    : TBaseForm(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  setAttribute(Qt::WA_ShowWithoutActivating);
  resize(200, 80);
}

TPopupBaseForm::~TPopupBaseForm() {
  // The handlers must not outlive the popup. OnPopupClose is not called: the subclass is gone.
  if (shown_) {
    TakeHandlersOff();
    shown_ = false;
    hide();
  }
}

void TPopupBaseForm::TakeHandlersOff() {
  if (handlersId_ != 0) {
    AppEventFilter::Instance().Remove(handlersId_);
    handlersId_ = 0;
  }
}

void TPopupBaseForm::Popup(int32_t x, int32_t y, const TRect* avoid) {
  if (shown_) return;
  if (hold_) {
    holdArmed_ = true;
    QPoint cursor;
    GetCursorPosIn(nullptr, cursor);
    openCursor_ = cursor;
    openTime_ = timeGetTime();
  }
  // The window the user works in: the focus window, else (no window has the focus yet) the
  // owner's window, else the one under the cursor.
  openFocus_ = QGuiApplication::focusWindow();
  if (!openFocus_ && parentWidget()) openFocus_ = parentWidget()->window()->windowHandle();
  if (!openFocus_) openFocus_ = QGuiApplication::topLevelAt(QCursor::pos());
  DoPopupOpen();
  shown_ = true;
  result_ = 0;
  handlersId_ = AppEventFilter::Instance().Push({
      [this](QEvent* e) {
        AppMessage(e);
        return false;
      },
      [this](QEvent* e) { return AppShortCut(e); },
      [this](QWindow* w) { AppDeactivate(w); },
  });
  RestoreState();
  QPoint cursor;
  GetCursorPosIn(nullptr, cursor);
  TRect r{x, y, AddSat(x, width()), AddSat(y, height())};
  if (avoid) {
    PlaceRectBeside(r, {cursor.x(), cursor.y()}, *avoid);
  } else {
    KeepRectOnMonitor(r, {cursor.x(), cursor.y()});
  }
  const QRect bounds(r.left, r.top, r.right - r.left, r.bottom - r.top);
  setGeometry(bounds);
  show();
  setGeometry(bounds);
  result_ = 0;
}

void TPopupBaseForm::ClosePopup() {
  TakeHandlersOff();
  hide();
  shown_ = false;
  DoPopupClose();
}

void TPopupBaseForm::CloseWith(int32_t result) {
  result_ = result;
  ClosePopup();
}

void TPopupBaseForm::DoPopupOpen() {
  if (OnPopupOpen) OnPopupOpen(this);
}

void TPopupBaseForm::DoPopupClose() {
  if (OnPopupClose) OnPopupClose(this);
}

void TPopupBaseForm::AppMessage(QEvent* event) {
  modal_ = IsModalFormShowing();
  if (modal_ || !shown_) return;
  switch (event->type()) {
    case QEvent::KeyPress: {
      switch (static_cast<QKeyEvent*>(event)->key()) {
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Space: CloseWith(1); break;
        case Qt::Key_Escape: CloseWith(2); break;
        default: break;
      }
      break;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
      auto* mouse = static_cast<QMouseEvent*>(event);
      if ((mouse->button() == Qt::LeftButton || mouse->button() == Qt::RightButton) &&
          !frameGeometry().contains(mouse->globalPosition().toPoint())) {
        CloseWith(1);
      }
      break;
    }
    case QEvent::MouseButtonRelease: {
      if (static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton) break;
      if (hold_ && holdArmed_ && timeGetTime() - openTime_ >= holdThreshold_) {
        CloseWith(1);
      } else {
        hold_ = false;
      }
      break;
    }
    default: break;
  }
}

bool TPopupBaseForm::AppShortCut(QEvent*) { return !modal_; }

void TPopupBaseForm::AppDeactivate(QWindow* newFocus) {
  modal_ = IsModalFormShowing();
  if (modal_ || !shown_) return;
  // A popup taking the focus (a click into it, or one shown by a platform that activates what
  // it shows), or the focus coming back to the window that had it when this popup opened (a
  // modal dialog above has closed), is no deactivation.
  if (newFocus != nullptr && (newFocus == openFocus_ || IsPopupWindow(newFocus))) return;
  CloseWith(1);
  // Pass it on to the handlers that are innermost now (an outer popup closes too).
  AppEventFilter::Instance().ForwardDeactivate(newFocus);
}

}  // namespace tf
