#include "ui/GlyphLabel.h"

#include <QEvent>
#include <QMouseEvent>

namespace tf {

TtFGlyphLabel::TtFGlyphLabel(QWidget* parent) : GraphicControl(parent) {
  Graphic().SetBackground(AppearanceColors[acBtnFace]);
}

void TtFGlyphLabel::SetGlyphType(TtFGlyphType type) {
  if (type == type_) return;
  type_ = type;
  Rerender();
}

void TtFGlyphLabel::SetReadOnly(bool readOnly) {
  if (readOnly == readOnly_) return;
  readOnly_ = readOnly;
  if (readOnly_ && dragging_) dragging_ = false;
}

void TtFGlyphLabel::RenderGraphic() {
  TMemoryGraphic& g = Graphic();
  g.SetBackground(AppearanceColors[acBtnFace]);
  g.Clear();
  const TMemoryGraphic& glyph = GlyphManager().GetGlyph(type_, isEnabled() ? gsNone : gsDisabled);
  if (!glyph.IsValid()) return;
  // Centred; a label narrower than the glyph starts it left of its edge (clipped).
  g.DrawGraphic((g.Width() - kGlyphSize) / 2, (g.Height() - kGlyphSize) / 2, kGlyphSize, kGlyphSize, glyph, 0, 0,
                SChannelOps{ChannelBlend, ChannelKeep});
}

void TtFGlyphLabel::changeEvent(QEvent* event) {
  GraphicControl::changeEvent(event);
  if (event->type() == QEvent::EnabledChange) {
    if (!isEnabled()) dragging_ = false;
    Rerender();
  }
}

void TtFGlyphLabel::mousePressEvent(QMouseEvent* event) {
  if (!HearsMouse() || event->button() != Qt::LeftButton) {
    event->ignore();
    return;
  }
  dragging_ = true;
  startX_ = static_cast<int32_t>(event->position().x());
  start_ = 0.0f;
  if (OnBeginDrag) OnBeginDrag(this, start_);
  current_ = start_;
}

void TtFGlyphLabel::mouseMoveEvent(QMouseEvent* event) {
  if (!dragging_ || !HearsMouse()) {
    event->ignore();
    return;
  }
  current_ = GlyphDragValue(start_, startX_, static_cast<int32_t>(event->position().x()));
  if (OnDrag) OnDrag(this, current_);
}

void TtFGlyphLabel::mouseReleaseEvent(QMouseEvent* event) {
  if (!dragging_ || event->button() != Qt::LeftButton) {
    event->ignore();
    return;
  }
  dragging_ = false;
  current_ = GlyphDragValue(start_, startX_, static_cast<int32_t>(event->position().x()));
  if (OnEndDrag) OnEndDrag(this, current_);
}

void TtFGlyphLabel::mouseDoubleClickEvent(QMouseEvent* event) {
  // A double click starts no drag (Qt would call mousePressEvent otherwise).
  if (!HearsMouse()) {
    event->ignore();
    return;
  }
  if (OnDblClick) OnDblClick(this);
}

}  // namespace tf
