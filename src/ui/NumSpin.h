// Spin arrows and the popup track bar of a number, and the value label with a popup arrow.
#pragma once
// TNumUpDown: two arrows that step the number and repeat every 100 ms while held (Shift: ten
// steps); an arrow at its end of the range is drawn inactive. TNumPopupButton opens a borderless
// TTrackPopupForm with one track bar over the number on the press: the thumb follows that press at
// once, a release after the hold threshold accepts, a quicker one leaves the popup open; Escape
// restores the value from the opening. TNumLabelEditPopup shows the value and opens the inline
// number edit on its text and the popup on its arrow.
#include <QPointer>
#include <QTimer>
#include <functional>
#include <string>

#include "raster/NumMngr.h"
#include "ui/GraphicControl.h"
#include "ui/GraphicTrackbar.h"
#include "ui/PopupBase.h"

namespace tf {

class TNumUpDown : public GraphicControl, public TNumControl {
  Q_OBJECT
 public:
  explicit TNumUpDown(QWidget* parent = nullptr);
  ~TNumUpDown() override;
  TNumMngr* Associate() const { return associate_; }
  void SetAssociate(TNumMngr* manager);
  void NumRefresh() override { UpdateState(); }
  void NumRelease() override { SetAssociate(nullptr); }
  // 0 disabled, 1 normal, 2 hot, 3 pressed.
  uint8_t UpState() const { return upState_; }
  uint8_t DownState() const { return downState_; }
  // One tick of the repeat timer (the timer calls it every 100 ms while an arrow is held).
  void Tick();
  bool Repeating() const { return timer_.isActive(); }
  void HotTrackMouseLeave() override;

  std::function<void(TNumUpDown*, int32_t direction)> OnClick, OnEnter, OnLeave;

 protected:
  void RenderGraphic() override;
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void UpdateState();
  int32_t HalfAt(QPoint p) const;  // 0 none, 1 up, 2 down
  TNumMngr* associate_ = nullptr;
  QTimer timer_;
  uint8_t upState_ = 0, downState_ = 0;
  int32_t pressed_ = 0, hot_ = 0;
};

class TTrackPopupForm : public TPopupBaseForm {
  Q_OBJECT
 public:
  explicit TTrackPopupForm(QWidget* parent = nullptr);
  ~TTrackPopupForm() override;
  TNumMngr* manager = nullptr;
  TGraphicTrackbar* Track;
  TGraphicTrackbarOrientation Orientation = TGraphicTrackbarOrientation::gtVertical;
  bool CenterLine = false;
  // The anchor Popup was last given after the thumb was put under the pointer (tests).
  QPoint LastAnchor() const { return lastAnchor_; }

  void Popup(int32_t x, int32_t y, const TRect* avoid = nullptr) override;
  void ClosePopup() override;
  void ReapplyValue();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ReleaseGrab();
  QPoint lastAnchor_;
  bool grabbing_ = false;
};

class TNumPopupButton : public GraphicControl, public TNumControl {
  Q_OBJECT
 public:
  explicit TNumPopupButton(QWidget* parent = nullptr);
  ~TNumPopupButton() override;
  TNumMngr* Associate() const { return associate_; }
  void SetAssociate(TNumMngr* manager);
  void NumRefresh() override { Refresh(); }
  void NumRelease() override;
  TTrackPopupForm* PopupForm() const { return popup_; }
  // 0 disabled, 1 normal, 2 hot, 3 popup open.
  uint8_t State() const { return state_; }
  bool ReadOnly() const { return readOnly_; }
  virtual void SetReadOnly(bool readOnly);
  TGraphicTrackbarOrientation Orientation = TGraphicTrackbarOrientation::gtHorizontal;
  bool CenterLine = false;
  TGraphicTrackbar::PositionFilter OnInFilter, OnOutFilter;
  std::function<void(TNumPopupButton*)> OnPopupOpen, OnPopupClose;
  void HotTrackMouseLeave() override;

  virtual void Refresh();
  virtual bool IsBusy() const { return popup_ != nullptr; }
  void DoPopupOpen();
  void DoPopupClose();

 protected:
  virtual void UpdateState();
  // Opens the popup for a press at point.
  void OpenPopup(QPoint point);
  void RenderGraphic() override;
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void changeEvent(QEvent* event) override;
  bool hot_ = false;
  uint8_t state_ = 0;

 private:
  void DrawArrow();
  TNumMngr* associate_ = nullptr;
  QPointer<TTrackPopupForm> popup_;
  float valueAtOpen_ = 0;
  bool readOnly_ = false;
};

class TNumLabelEditPopup : public TNumPopupButton {
  Q_OBJECT
 public:
  explicit TNumLabelEditPopup(QWidget* parent = nullptr);
  ~TNumLabelEditPopup() override;
  std::string FormatString = "%1.0f";
  void SetFormatString(const std::string& format);
  int32_t MaxLength = 16;
  const QString& Text() const { return text_; }
  QRect LabelArea() const;
  QRect ButtonArea() const;
  void Refresh() override;
  bool IsBusy() const override;
  std::function<void(TNumLabelEditPopup*)> OnEditEnter, OnEditExit;

 protected:
  void RenderGraphic() override;
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  void Completion();
  QString text_ = QStringLiteral("0");
  bool busy_ = false;
  float valueAtEdit_ = 0;
};

}  // namespace tf
