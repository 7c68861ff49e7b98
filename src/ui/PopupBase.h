// TPopupBaseForm: a borderless topmost window that opens at a point and takes over the
// application's events while it is open.
#pragma once
// While shown, the popup's triple of handlers is the innermost of the application event filter
// (platform/qt/AppEventFilter.h): Tab, Backtab, Enter and Space close it accepted (result 1), Esc
// cancelled (2); a press outside it, the application's deactivation or another window taking
// the focus close it accepted; no shortcut fires. While a modal dialog shows above it, none of
// that happens. A popup opened by a mouse press (hold flag set first) also closes on a release
// at least the hold threshold after it opened; a quicker release only clears the hold flag.
//
// Popups nest: the inner one's handlers come off when it closes and the outer one's act again.
// A popup destroyed while shown takes its handlers off and hides first.
#include <QPoint>
#include <QPointer>
#include <QWindow>
#include <cstdint>
#include <functional>

#include "raster/Geometry.h"
#include "ui/BaseForm.h"

class QEvent;

namespace tf {

// True while any modal window shows.
bool IsModalFormShowing();

class TPopupBaseForm : public TBaseForm {
  Q_OBJECT
 public:
  explicit TPopupBaseForm(QWidget* parent = nullptr);
  ~TPopupBaseForm() override;

  // Opens the popup with its top-left at (x, y) in screen coordinates, placed beside avoid
  // when given (else kept on the monitor of the cursor). Ignored while shown.
  virtual void Popup(int32_t x, int32_t y, const TRect* avoid = nullptr);
  // Closes it; the event handlers set the result first.
  virtual void ClosePopup();
  // Called by Popup before the window shows; empty here.
  virtual void RestoreState() {}
  // For subclasses to call; empty here.
  virtual void StoreState() {}
  virtual void DoPopupOpen();
  virtual void DoPopupClose();
  virtual void AppDeactivate(QWindow* newFocus);
  virtual void AppMessage(QEvent* event);
  // True: the shortcut is swallowed.
  virtual bool AppShortCut(QEvent* event);

  // 0 while open, 1 accepted, 2 cancelled.
  int32_t Result() const { return result_; }
  bool IsShown() const { return shown_; }
  bool Hold() const { return hold_; }
  // Set by Popup when the hold flag was set; the release that closes (or keeps open) the popup
  // acts on it.
  bool HoldArmed() const { return holdArmed_; }
  // Set before Popup by a popup opened with a mouse press.
  void SetHold(bool hold) { hold_ = hold; }
  uint32_t HoldThreshold() const { return holdThreshold_; }
  void SetHoldThreshold(uint32_t ms) { holdThreshold_ = ms; }
  // The cursor (screen coordinates) and the time (timeGetTime) of the last opening with the hold
  // flag set; the time is 0xFFFFFFFF before the first.
  QPoint OpenCursor() const { return openCursor_; }
  uint32_t OpenTime() const { return openTime_; }
  bool ModalSeen() const { return modal_; }

  std::function<void(TPopupBaseForm*)> OnPopupOpen;
  std::function<void(TPopupBaseForm*)> OnPopupClose;

 protected:
  void CloseWith(int32_t result);

 private:
  void TakeHandlersOff();

  bool modal_ = false;
  int32_t result_ = 0;
  bool shown_ = false;
  bool hold_ = false;
  bool holdArmed_ = false;
  uint32_t holdThreshold_ = 1000;
  QPoint openCursor_;
  uint32_t openTime_ = 0xFFFFFFFFu;
  int32_t handlersId_ = 0;
  QPointer<QWindow> openFocus_;
};

}  // namespace tf
