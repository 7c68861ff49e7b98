#include "ui/NumSpin.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <cmath>

#include "raster/Appearance.h"
#include "ui/HotTrack.h"
#include "ui/NumEdits.h"
#include "ui/UiAppearance.h"

namespace tf {

namespace {

constexpr SChannelOps kCopy{ChannelCopy, ChannelCopy};

// A button frame of a state: raised when normal or hot, sunken when pressed.
void DrawButtonFrame(TMemoryGraphic& g, const TRect& r, bool pushed) {
  g.FillRect(r, AppearanceColors[acBtnFace], kCopy);
  g.DrawBevel(r, 1, pushed ? AppearanceColors[acBtnShadow] : AppearanceColors[acBtnHighlight],
              pushed ? AppearanceColors[acBtnHighlight] : AppearanceColors[acBtnShadow], kCopy);
}

// The style's arrow inside a rectangle.
void DrawStyleArrow(QWidget* w, QPainter& p, const QRect& r, QStyle::PrimitiveElement arrow, bool enabled) {
  QStyleOption option;
  option.initFrom(w);
  option.rect = r.adjusted(2, 2, -2, -2);
  if (!enabled) {
    option.state &= ~QStyle::State_Enabled;
    option.palette.setCurrentColorGroup(QPalette::Disabled);
  }
  w->style()->drawPrimitive(arrow, &option, &p, w);
}

bool ShiftDown() { return (QApplication::queryKeyboardModifiers() & Qt::ShiftModifier) != 0; }

}  // namespace

// ---- Spin arrows ------------------------------------------------------------------------------

TNumUpDown::TNumUpDown(QWidget* parent) : GraphicControl(parent) {
  resize(16, 16);
  setMouseTracking(true);
  timer_.setInterval(100);
  connect(&timer_, &QTimer::timeout, this, [this] { Tick(); });
}

TNumUpDown::~TNumUpDown() { SetAssociate(nullptr); }

void TNumUpDown::SetAssociate(TNumMngr* manager) {
  if (associate_ != nullptr) associate_->Detach(this);
  associate_ = manager;
  if (manager != nullptr) manager->Attach(this);
  if (manager == nullptr) {
    upState_ = downState_ = 0;
    Rerender();
  }
  UpdateState();
}

int32_t TNumUpDown::HalfAt(QPoint p) const {
  if (!rect().contains(p)) return 0;
  return p.y() < height() / 2 ? 1 : 2;
}

void TNumUpDown::UpdateState() {
  if (associate_ == nullptr) return;
  const bool enabled = isEnabled();
  const uint8_t up = associate_->IsAtMax() || !enabled ? 0 : pressed_ == 1 ? 3 : hot_ == 1 ? 2 : 1;
  const uint8_t down = associate_->IsAtMin() || !enabled ? 0 : pressed_ == 2 ? 3 : hot_ == 2 ? 2 : 1;
  if (up == upState_ && down == downState_) return;
  upState_ = up;
  downState_ = down;
  Rerender();
}

void TNumUpDown::Tick() {
  if (associate_ != nullptr) {
    if (pressed_ == 1) associate_->StepUp(this, ShiftDown());
    if (pressed_ == 2) associate_->StepDown(this, ShiftDown());
  }
  UpdateState();
}

void TNumUpDown::RenderGraphic() {
  TMemoryGraphic& g = Graphic();
  const int32_t w = std::max(width(), 1), h = std::max(height(), 2);
  if (g.Width() != w || g.Height() != h) g.SetSize(w, h);
  DrawButtonFrame(g, {0, 0, w, h / 2}, upState_ >= 2);
  DrawButtonFrame(g, {0, h / 2, w, h}, downState_ >= 2);
}

void TNumUpDown::paintEvent(QPaintEvent* event) {
  GraphicControl::paintEvent(event);
  QPainter p(this);
  DrawStyleArrow(this, p, QRect(0, 0, width(), height() / 2), QStyle::PE_IndicatorArrowUp, upState_ != 0);
  DrawStyleArrow(this, p, QRect(0, height() / 2, width(), height() - height() / 2), QStyle::PE_IndicatorArrowDown,
                 downState_ != 0);
}

void TNumUpDown::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !isEnabled() || associate_ == nullptr) return;
  const bool big = (event->modifiers() & Qt::ShiftModifier) != 0;
  const int32_t half = HalfAt(event->position().toPoint());
  // The repeat runs from this press to its release.
  timer_.start();
  if (half == 1 && upState_ != 0) {
    associate_->StepUp(this, big);
    pressed_ = 1;
  } else if (half == 2 && downState_ != 0) {
    associate_->StepDown(this, big);
    pressed_ = 2;
  }
  UpdateState();
}

void TNumUpDown::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  timer_.stop();
  const int32_t was = pressed_;
  pressed_ = 0;
  UpdateState();
  if (was != 0 && OnClick && isEnabled() && HalfAt(event->position().toPoint()) == was) OnClick(this, was - 1);
}

void TNumUpDown::mouseMoveEvent(QMouseEvent* event) {
  const int32_t half = HalfAt(event->position().toPoint());
  if (half != hot_) {
    if (OnLeave && hot_ != 0 && pressed_ != 0) OnLeave(this, pressed_ - 1);
    hot_ = half;
    if (OnEnter && hot_ != 0 && pressed_ != 0) OnEnter(this, pressed_ - 1);
  }
  if ((event->buttons() & Qt::LeftButton) == 0 && isEnabled()) UpdateState();
}

void TNumUpDown::enterEvent(QEnterEvent* event) {
  if (!HotTrackEnter(this)) return;
  hot_ = HalfAt(event->position().toPoint());
  UpdateState();
}

void TNumUpDown::leaveEvent(QEvent*) {
  if (HotTrackLeave(this)) HotTrackMouseLeave();
}

void TNumUpDown::HotTrackMouseLeave() {
  if (hot_ == 0) return;
  hot_ = 0;
  UpdateState();
}

void TNumUpDown::changeEvent(QEvent* event) {
  GraphicControl::changeEvent(event);
  if (event->type() == QEvent::EnabledChange) UpdateState();
}

// ---- Popup track bar ------------------------------------------------------------------------

TTrackPopupForm::TTrackPopupForm(QWidget* parent) : TPopupBaseForm(parent) {
  resize(128, 24);
  Track = new TGraphicTrackbar(this);
  Track->OnChange = [this](TGraphicTrackbar* bar) {
    if (manager != nullptr) manager->SetPosition(bar->GetPosition());
  };
  Track->installEventFilter(this);
  SetHold(true);
}

TTrackPopupForm::~TTrackPopupForm() { ReleaseGrab(); }

void TTrackPopupForm::ReleaseGrab() {
  if (!grabbing_) return;
  grabbing_ = false;
  Track->releaseMouse();
}

void TTrackPopupForm::Popup(int32_t x, int32_t y, const TRect* avoid) {
  Track->SetOrientation(Orientation);
  Track->SetCenterLine(CenterLine);
  switch (Orientation) {
    case TGraphicTrackbarOrientation::gtHorizontal: Track->setGeometry(2, 4, 109, 14); break;
    case TGraphicTrackbarOrientation::gtVertical: {
      Track->setGeometry(2, 2, 14, 109);
      // The thumb comes under the pointer.
      float p = manager != nullptr ? manager->GetPosition() : 0.0f;
      if (Track->OnInFilter) Track->OnInFilter(Track, p);
      y -= static_cast<int32_t>(std::trunc((1 - p) * 102 + 0.5f)) + 8;
      break;
    }
    default: Track->setGeometry(2, 2, 32, 32); break;
  }
  resize(Track->width() + 10, Track->height() + 10);
  lastAnchor_ = QPoint(x, y);
  TPopupBaseForm::Popup(x, y, Orientation == TGraphicTrackbarOrientation::gtVertical ? nullptr : avoid);
  if (HoldArmed()) {
    // The opening press goes on in the track bar.
    Track->grabMouse();
    grabbing_ = true;
  }
  if (Orientation != TGraphicTrackbarOrientation::gtVertical) ReapplyValue();
}

void TTrackPopupForm::ClosePopup() {
  ReleaseGrab();
  TPopupBaseForm::ClosePopup();
}

void TTrackPopupForm::ReapplyValue() {
  if (manager == nullptr) return;
  const long double v = manager->Value();
  long double span = 0, p = 0;
  if (manager->WrapAround()) {
    span = static_cast<long double>(manager->WrapMax()) - manager->WrapMin();
    if (span > 0) p = (v - manager->WrapMin()) / span;
  } else if (manager->UseCenter) {
    const long double c = manager->ValueCenter();
    if (v >= c) {
      span = (manager->ValueMax() - c) * 2;
      if (span > 0) p = (v - c) / span + 0.5L;
    } else {
      span = (c - manager->ValueMin()) * 2;
      if (span > 0) p = (v - manager->ValueMin()) / span;
    }
  } else {
    span = static_cast<long double>(manager->ValueMax()) - manager->ValueMin();
    if (span > 0) p = (v - manager->ValueMin()) / span;
  }
  if (span > 0) manager->SetPosition(static_cast<float>(p));
}

bool TTrackPopupForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Track) {
    if (event->type() == QEvent::MouseMove && Hold() && HoldArmed() &&
        static_cast<QMouseEvent*>(event)->position().y() >= 0) {
      Track->SetDragging(true);
    } else if (event->type() == QEvent::MouseButtonRelease && !Hold()) {
      // The press that opened the popup has ended without closing it.
      ReleaseGrab();
    }
  }
  return TPopupBaseForm::eventFilter(watched, event);
}

// ---- Popup button -----------------------------------------------------------------------------

TNumPopupButton::TNumPopupButton(QWidget* parent) : GraphicControl(parent) {
  resize(16, 16);
  setMouseTracking(true);
}

TNumPopupButton::~TNumPopupButton() {
  // A popup still open closes as cancelled: the value goes back, its grab and handlers go.
  if (popup_) {
    TTrackPopupForm* popup = popup_;
    popup->ClosePopup();
    delete popup;
  }
  SetAssociate(nullptr);
}

void TNumPopupButton::SetAssociate(TNumMngr* manager) {
  if (associate_ != nullptr) associate_->Detach(this);
  associate_ = manager;
  if (manager != nullptr) manager->Attach(this);
  Refresh();
}

void TNumPopupButton::NumRelease() {
  // The manager is going: close the popup first, without setting anything back.
  if (popup_) {
    popup_->manager = nullptr;
    TNumMngr* manager = associate_;
    associate_ = nullptr;
    popup_->ClosePopup();
    associate_ = manager;
  }
  SetAssociate(nullptr);
}

void TNumPopupButton::SetReadOnly(bool readOnly) {
  readOnly_ = readOnly;
  if (readOnly) {
    SetWithholdsMouse(true);
  } else if (isEnabled()) {
    SetWithholdsMouse(false);
  }
  UpdateState();
}

void TNumPopupButton::Refresh() { UpdateState(); }

void TNumPopupButton::UpdateState() {
  const uint8_t s = associate_ == nullptr || !isEnabled() ? 0 : popup_ ? 3 : hot_ ? 2 : 1;
  if (s == state_) return;
  state_ = s;
  Rerender();
}

void TNumPopupButton::DoPopupOpen() {
  if (associate_ != nullptr && popup_) {
    valueAtOpen_ = associate_->Value();
    popup_->Track->SetPosition(associate_->GetPosition());
  }
  if (OnPopupOpen) OnPopupOpen(this);
}

void TNumPopupButton::DoPopupClose() {
  TTrackPopupForm* popup = popup_;
  if (popup == nullptr) return;
  if (popup->Result() != 1 && associate_ != nullptr) associate_->SetValue(valueAtOpen_);
  if (OnPopupClose) OnPopupClose(this);
  popup->OnPopupOpen = nullptr;
  popup->OnPopupClose = nullptr;
  popup_ = nullptr;
  popup->deleteLater();
  QPoint cursor;
  GetCursorPosIn(this, cursor);
  hot_ = rect().contains(cursor);
  UpdateState();
}

void TNumPopupButton::OpenPopup(QPoint point) {
  if (!CanHotTrack(this) || parentWidget() == nullptr || IsBusy()) return;
  auto* popup = new TTrackPopupForm();
  popup->manager = associate_;
  popup->Orientation = Orientation;
  popup->CenterLine = CenterLine;
  popup->Track->OnInFilter = OnInFilter;
  popup->Track->OnOutFilter = OnOutFilter;
  popup->OnPopupOpen = [this](TPopupBaseForm*) { DoPopupOpen(); };
  popup->OnPopupClose = [this](TPopupBaseForm*) { DoPopupClose(); };
  popup_ = popup;
  UpdateState();
  if (Orientation == TGraphicTrackbarOrientation::gtVertical) {
    const QPoint anchor = mapToGlobal(QPoint(width() - height() + 2, point.y()));
    popup->Popup(anchor.x(), anchor.y());
  } else {
    const QPoint anchor = mapToGlobal(QPoint(0, height()));
    const QPoint topLeft = mapToGlobal(QPoint(0, 0));
    const TRect avoid{topLeft.x(), topLeft.y(), topLeft.x() + width(), topLeft.y() + height()};
    popup->Popup(anchor.x(), anchor.y(), &avoid);
  }
}

void TNumPopupButton::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  OpenPopup(event->position().toPoint());
}

void TNumPopupButton::DrawArrow() {}

void TNumPopupButton::RenderGraphic() {
  TMemoryGraphic& g = Graphic();
  const int32_t w = std::max(width(), 1), h = std::max(height(), 1);
  if (g.Width() != w || g.Height() != h) g.SetSize(w, h);
  DrawButtonFrame(g, {0, 0, w, h}, state_ == 3);
}

void TNumPopupButton::paintEvent(QPaintEvent* event) {
  GraphicControl::paintEvent(event);
  QPainter p(this);
  DrawStyleArrow(this, p, rect(), QStyle::PE_IndicatorArrowRight, state_ != 0);
}

void TNumPopupButton::enterEvent(QEnterEvent*) {
  if (!HotTrackEnter(this)) return;
  hot_ = true;
  UpdateState();
}

void TNumPopupButton::leaveEvent(QEvent*) {
  if (HotTrackLeave(this)) HotTrackMouseLeave();
}

void TNumPopupButton::HotTrackMouseLeave() {
  hot_ = false;
  UpdateState();
}

void TNumPopupButton::changeEvent(QEvent* event) {
  GraphicControl::changeEvent(event);
  if (event->type() == QEvent::EnabledChange) UpdateState();
}

// ---- Label with popup -------------------------------------------------------------------------

TNumLabelEditPopup::TNumLabelEditPopup(QWidget* parent) : TNumPopupButton(parent) { resize(60, 20); }

TNumLabelEditPopup::~TNumLabelEditPopup() { CloseSharedNumEditOf(this); }

void TNumLabelEditPopup::SetFormatString(const std::string& format) {
  if (format == FormatString) return;
  FormatString = format;
  Refresh();
}

QRect TNumLabelEditPopup::LabelArea() const { return QRect(2, 2, width() - height(), height() - 4); }
QRect TNumLabelEditPopup::ButtonArea() const {
  return QRect(width() - height() + 2, 2, height() - 4, height() - 4);
}

void TNumLabelEditPopup::Refresh() {
  UpdateState();
  text_ = QString::fromStdString(FormatNum(FormatString.c_str(), Associate() != nullptr ? Associate()->Value() : 0.0f));
  if (parentWidget() != nullptr) Rerender();
}

bool TNumLabelEditPopup::IsBusy() const {
  return busy_ || TNumPopupButton::IsBusy() || SharedNumEdit()->isVisible();
}

void TNumLabelEditPopup::RenderGraphic() {
  TMemoryGraphic& g = Graphic();
  const int32_t w = std::max(width(), 8), h = std::max(height(), 8);
  if (g.Width() != w || g.Height() != h) g.SetSize(w, h);
  g.FillRect({0, 0, w, h}, AppearanceColors[acBtnFace], kCopy);
  const QRect b = ButtonArea().adjusted(1, 1, -1, -1);
  const TRect br{b.left(), b.top(), b.right() + 1, b.bottom() + 1};
  if (state_ == 2 || state_ == 3) {
    g.DrawBevel(br, 1, state_ == 2 ? AppearanceColors[acBtnHighlight] : AppearanceColors[acBtnShadow],
                state_ == 2 ? AppearanceColors[acBtnShadow] : AppearanceColors[acBtnHighlight], kCopy);
  } else {
    g.FrameRect(br, 1, AppearanceColors[acWindow], kCopy);
  }
  // The arrow: three vertical lines narrowing to the right.
  const uint32_t ink = state_ == 0 || (state_ == 1 && !isEnabled()) ? AppearanceColors[acGrayText]
                                                                      : AppearanceColors[acWindowText];
  const QRect a = ButtonArea();
  const int32_t cx = (a.left() + a.left() + a.width()) / 2, cy = (a.top() + a.top() + a.height()) / 2;
  for (int32_t i = 0; i < 3; ++i) g.FillRect({cx - 1 + i, cy - 2 + i, cx + i, cy + 3 - i}, ink, kCopy);
  if (hot_) {
    g.DrawBevel({0, 0, w, h}, 1, AppearanceColors[acBtnShadow], AppearanceColors[acBtnHighlight], kCopy);
  } else {
    g.FrameRect({0, 0, w, h}, 1, AppearanceColors[acBtnFace], kCopy);
  }
  g.FrameRect({1, 1, w - 1, h - 1}, 1, AppearanceColors[acBtnFace], kCopy);
  const QRect l = LabelArea();
  g.FillRect({l.left(), l.top(), l.left() + l.width(), l.top() + l.height()}, AppearanceColors[acWindow], kCopy);
}

void TNumLabelEditPopup::paintEvent(QPaintEvent* event) {
  if (parentWidget() == nullptr || !isVisible()) return;
  GraphicControl::paintEvent(event);
  QPainter p(this);
  p.setFont(font());
  p.setPen(isEnabled() ? AppearanceColor(acWindowText) : AppearanceColor(acGrayText));
  p.drawText(LabelArea().adjusted(0, 0, -2, 0), Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine, text_);
}

void TNumLabelEditPopup::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const QPoint point = event->position().toPoint();
  if (!CanHotTrack(this)) return;
  if (!ButtonArea().contains(point) && !IsBusy()) {
    if (LabelArea().contains(point)) {
      valueAtEdit_ = Associate() != nullptr ? Associate()->Value() : 0.0f;
      QPointer<TNumLabelEditPopup> self(this);
      OpenSharedNumEdit(this, parentWidget(), LabelArea().translated(pos()), false, font(), Associate(), FormatString,
                        MaxLength, text_, [self] {
                          if (self) {
                            self->Completion();
                          } else {
                            FinishSharedNumEdit(0);
                          }
                        });
      if (OnEditEnter) OnEditEnter(this);
    }
    return;
  }
  if (ButtonArea().contains(point)) OpenPopup(point);
}

void TNumLabelEditPopup::Completion() {
  if (OnEditExit) OnEditExit(this);
  FinishSharedNumEdit(valueAtEdit_);
}

}  // namespace tf
