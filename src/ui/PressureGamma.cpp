#include "ui/PressureGamma.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <cstdio>

#include "platform/Debug.h"
#include "platform/ResourceText.h"
#include "raster/Appearance.h"
#include "ui/ControlSupport.h"
#include "ui/MemoryGraphicQt.h"
#include "ui/NumEdits.h"

namespace tf {

namespace {

QColor PixelColour(uint32_t pixel) { return QColor((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF); }

}  // namespace

// ---------------------------------------------------------------------------------------------
// TPressureGamma

TPressureGamma::TPressureGamma(QWidget* parent) : GraphicControl(parent) {
  curve_.SetSize(width(), height());
  ShowControlHint(this, Tx(TextId::PressureGammaHint), false);
}

void TPressureGamma::SetGamma(float gamma) {
  if (!curve_.SetGamma(gamma)) return;
  Change();
  update();
}

void TPressureGamma::Change() {
  if (OnChange) OnChange(this);
}

QString TPressureGamma::GammaText() const {
  char text[32];
  std::snprintf(text, sizeof text, "%0.2f", static_cast<double>(curve_.Gamma()));
  return QString::fromLatin1(text);
}

void TPressureGamma::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  curve_.SetSize(width(), height());
  update();
}

void TPressureGamma::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  DrawPicture(painter, curve_.Picture());
  painter.setPen(PixelColour(AppearanceColors[acWindowFrame]));
  painter.setFont(font());
  painter.drawText(rect().adjusted(2, 2, -2, -2), Qt::AlignRight | Qt::AlignBottom | Qt::TextSingleLine, GammaText());
}

void TPressureGamma::mousePressEvent(QMouseEvent* event) {
  if (WithholdsMouse() || event->button() != Qt::LeftButton || !CanHotTrack(this)) return;
  const QPoint p = event->position().toPoint();
  curve_.BeginDrag(p.x(), p.y());
}

void TPressureGamma::mouseMoveEvent(QMouseEvent* event) {
  if (WithholdsMouse() || !curve_.Dragging() || !EnterHotState(this)) return;
  const QPoint p = event->position().toPoint();
  if (curve_.DragTo(p.x(), p.y(), (event->modifiers() & Qt::ShiftModifier) != 0)) {
    Change();
    update();
  }
}

void TPressureGamma::mouseReleaseEvent(QMouseEvent* event) {
  if (WithholdsMouse() || event->button() != Qt::LeftButton) return;
  curve_.EndDrag();
}

void TPressureGamma::mouseDoubleClickEvent(QMouseEvent* event) {
  if (WithholdsMouse()) return;
  if (event->button() == Qt::LeftButton) SetGamma(1.0f);
  mousePressEvent(event);
}

// ---------------------------------------------------------------------------------------------
// TAspectRotation

TAspectRotation::TAspectRotation(QWidget* parent) : GraphicControl(parent), rotationUnit_(QStringLiteral("d")) {
  setMouseTracking(true);
  aspect_.OnChange = [this] {
    if (OnChange) OnChange(this);
  };
  aspect_.OnDrawPreview = [this](TMemoryGraphic& preview) {
    if (OnDrawPreview) OnDrawPreview(this, preview);
  };
  aspect_.OnInvalidate = [this] { Compose(); };
  resize(86, 88);
  Measure();
}

TAspectRotation::~TAspectRotation() {
  CloseSharedNumEditOf(this);
  aspect_.OnInvalidate = nullptr;
  aspect_.OnChange = nullptr;
  aspect_.OnDrawPreview = nullptr;
}

void TAspectRotation::Measure() {
  const QFontMetrics m(font());
  aspect_.SetTextMetrics(m.horizontalAdvance(QStringLiteral("999")), m.horizontalAdvance(QStringLiteral("-999")),
                         m.horizontalAdvance(QStringLiteral("%")),
                         m.horizontalAdvance(rotationUnit_), 14);
}

void TAspectRotation::SetRotationUnit(const QString& unit) {
  if (unit == rotationUnit_) return;
  rotationUnit_ = unit;
  Measure();
}

void TAspectRotation::SetMapping(bool on, int32_t imageWidth, int32_t imageHeight, float scalePercent) {
  aspect_.SetMapping(on, imageWidth, imageHeight, scalePercent);
  const QPoint p = mapFromGlobal(QCursor::pos());
  aspect_.HoverAt(p.x(), p.y());
}

void TAspectRotation::Compose() {
  TMemoryGraphic& g = Graphic();
  const TMemoryGraphic& picture = aspect_.Picture();
  if (!picture.IsValid()) return;
  if (g.Width() != picture.Width() || g.Height() != picture.Height()) g.SetSize(picture.Width(), picture.Height());
  g.CopyBits(0, 0, picture.Width(), picture.Height(), picture.Pixels(), 0, 0, picture.Width(), picture.Height());
  const uint32_t ink = aspect_.AspectEnabled() ? AppearanceColors[acWindowText] : AppearanceColors[acGrayText];
  const QFontMetrics m(font());
  auto number = [&](const TRect& r, float value, const QString& unit) {
    char text[48];
    std::snprintf(text, sizeof text, "%1.0f%s", static_cast<double>(value), unit.toUtf8().constData());
    TRect box{r.left, r.top, r.right + m.horizontalAdvance(unit), r.bottom};
    DrawText(g, text, box, kDtRight | kDtSingleLine | kDtVCenter | kDtNoPrefix, ink, font());
  };
  number(aspect_.FlatteningRect(), aspect_.GetFlattening(), QStringLiteral("%"));
  number(aspect_.RotationRect(), aspect_.GetRotation(), rotationUnit_);
  update();
}

void TAspectRotation::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (width() == aspect_.Width() && height() == aspect_.Height()) return;
  aspect_.SetSize(width(), height());
  Measure();
}

void TAspectRotation::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  Draw(Graphic(), painter, 0, 0, Graphic().Width(), Graphic().Height());
}

void TAspectRotation::changeEvent(QEvent* event) {
  GraphicControl::changeEvent(event);
  if (event->type() == QEvent::FontChange) Measure();
}

void TAspectRotation::FollowPointer(QPoint p) {
  const int32_t code = aspect_.DragMode() != kAspectHitNone ? aspect_.DragMode()
                                                            : (isEnabled() ? aspect_.HitTest(p.x(), p.y()) : 0);
  // The hint is set again only when the code changed.
  if (code != hintCode_ || toolTip().isEmpty()) {
    hintCode_ = code;
    ShowControlHint(this, AspectHint(code));
  }
  SetControlCursor(this, AspectCursor(code));
  aspect_.HoverAt(p.x(), p.y());
}

void TAspectRotation::enterEvent(QEnterEvent* event) {
  GraphicControl::enterEvent(event);
  if (!HotTrackEnter(this)) return;
  FollowPointer(event->position().toPoint());
  aspect_.SetHot(true);
}

void TAspectRotation::leaveEvent(QEvent* event) {
  GraphicControl::leaveEvent(event);
  HotTrackMouseLeave();
}

void TAspectRotation::HotTrackMouseLeave() {
  if (!HotTrackLeave(this)) return;
  FollowPointer(QPoint(-1, -1));
  aspect_.SetHot(false);
}

void TAspectRotation::mousePressEvent(QMouseEvent* event) {
  if (WithholdsMouse() || event->button() != Qt::LeftButton || !CanHotTrack(this)) return;
  const QPoint p = event->position().toPoint();
  const int32_t code = aspect_.MouseDown(p.x(), p.y());
  if (code == kAspectHitNibList) {
    const QPoint at = mapToGlobal(QPoint(0, height() - 16));
    if (OnNibList) OnNibList(this, at.x(), at.y());
  } else if (code == kAspectHitFlattening || code == kAspectHitRotation) {
    OpenNumberEdit(code);
  }
  aspect_.Render();
}

void TAspectRotation::mouseMoveEvent(QMouseEvent* event) {
  if (WithholdsMouse() || !EnterHotState(this)) return;
  const QPoint p = event->position().toPoint();
  if (!aspect_.Hot()) aspect_.SetHot(true);
  const Qt::KeyboardModifiers keys = event->modifiers();
  if (aspect_.DragMode() >= kAspectHitMaxRadius && aspect_.DragMode() <= kAspectHitAspect)
    aspect_.MouseMove(p.x(), p.y(), (keys & Qt::ShiftModifier) != 0, (keys & Qt::ControlModifier) != 0,
                      (keys & Qt::AltModifier) != 0);
  FollowPointer(p);
}

void TAspectRotation::mouseReleaseEvent(QMouseEvent* event) {
  if (WithholdsMouse() || event->button() != Qt::LeftButton) return;
  aspect_.MouseUp();
  FollowPointer(event->position().toPoint());
  aspect_.Render();
}

void TAspectRotation::mouseDoubleClickEvent(QMouseEvent* event) {
  if (WithholdsMouse()) return;
  const QPoint p = event->position().toPoint();
  if (event->button() == Qt::LeftButton && aspect_.HitTest(p.x(), p.y()) == kAspectHitPreview) aspect_.ResetAspect();
  mousePressEvent(event);
}

void TAspectRotation::OpenNumberEdit(int32_t code) {
  if (edit_ != nullptr) return;
  TNumMngr* number = code == kAspectHitFlattening ? &aspect_.FlatteningNumber() : &aspect_.RotationNumber();
  const TRect r = code == kAspectHitFlattening ? aspect_.FlatteningRect() : aspect_.RotationRect();
  QWidget* parent = parentWidget() != nullptr ? parentWidget() : this;
  const QPoint at = parent == this ? QPoint(r.left, r.top) : mapTo(parent, QPoint(r.left, r.top));
  editOldValue_ = number->Value();
  editNumber_ = number;
  QPointer<TAspectRotation> self(this);
  OpenSharedNumEdit(this, parent, QRect(at, QSize(r.right - r.left, r.bottom - r.top)), false, font(), number,
                    "%1.0f", 4, QString::fromStdString(FormatNum("%1.0f", number->Value())), [self] {
                      if (self) {
                        self->EndNumberEdit();
                      } else {
                        FinishSharedNumEdit(0);
                      }
                    });
  edit_ = SharedNumEdit();
}

void TAspectRotation::EndNumberEdit() {
  // Accepted: the typed text applies; otherwise the value from the opening goes back.
  FinishSharedNumEdit(editOldValue_);
  edit_ = nullptr;
  editNumber_ = nullptr;
  aspect_.Render();
}

}  // namespace tf
