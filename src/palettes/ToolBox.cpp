#include "palettes/ToolBox.h"

#include <QMenu>
#include <QMouseEvent>

#include "platform/Host.h"
#include "platform/ResourceText.h"
#include "raster/Appearance.h"

namespace tf {

namespace {
constexpr const char* kKindProperty = "tfToolKind";
}

TToolGroupButton::TToolGroupButton(uint8_t group, QWidget* parent)
    : GraphicControl(parent), group_(group), glyph_(ToolBoxGroups[group].glyph) {
  const SToolBoxGroup& g = ToolBoxGroups[group];
  setGeometry(g.left, g.top, g.right - g.left, g.bottom - g.top);
  setToolTip(QString::fromUtf8(Tx(g.hint)));
  if (g.hasMenu) menu_ = new QMenu(this);
}

void TToolGroupButton::SetGlyphType(TtFGlyphType glyph) {
  if (glyph_ == glyph) return;
  glyph_ = glyph;
  Rerender();
}

void TToolGroupButton::SetDown(bool down) {
  if (down_ == down) return;
  down_ = down;
  Rerender();
}

void TToolGroupButton::RenderGraphic() {
  TMemoryGraphic& g = Graphic();
  const SChannelOps copy{ChannelCopy, ChannelCopy};
  g.SetBackground(AppearanceColors[down_ ? acBtnHighlight : acBtnFace]);
  g.Clear();
  const TRect all{0, 0, g.Width(), g.Height()};
  if (down_)
    g.DrawBevel(all, 1, AppearanceColors[acBtnShadow], AppearanceColors[acBtnHighlight], copy);
  else
    g.DrawBevel(all, 1, AppearanceColors[acBtnHighlight], AppearanceColors[acBtnShadow], copy);
  const int32_t room = g.Width() - (menu_ != nullptr ? kDropWidth : 0);
  const TMemoryGraphic& glyph = GlyphManager().GetGlyph(glyph_, isEnabled() ? gsNone : gsDisabled);
  if (glyph.IsValid()) {
    const int32_t shift = down_ ? 1 : 0;
    g.DrawGraphic((room - kGlyphSize) / 2 + shift, (g.Height() - kGlyphSize) / 2 + shift, kGlyphSize, kGlyphSize,
                  glyph, 0, 0, SChannelOps{ChannelBlend, ChannelKeep});
  }
  if (menu_ != nullptr) {
    // A small downward triangle in the drop-down part.
    const uint32_t ink = AppearanceColors[isEnabled() ? acBtnText : acBtnShadow];
    const int32_t cx = room + kDropWidth / 2;
    const int32_t y = g.Height() - 7;
    for (int32_t row = 0; row < 3; ++row) g.FillRect(TRect{cx - 2 + row, y + row, cx + 3 - row, y + row + 1}, ink, copy);
  }
}

void TToolGroupButton::mousePressEvent(QMouseEvent* event) {
  openedMenu_ = false;
  if (event->button() != Qt::LeftButton) return;
  if (menu_ != nullptr && event->position().x() >= width() - kDropWidth) {
    openedMenu_ = true;
    menu_->popup(mapToGlobal(QPoint(0, height())));
  }
}

void TToolGroupButton::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !rect().contains(event->position().toPoint())) return;
  if (OnClick) OnClick(this);
}

void TToolGroupButton::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && OnDblClick) OnDblClick(this);
}

TToolBox::TToolBox(CToolSelection& selection, QWidget* parent) : QWidget(parent), selection_(selection) {
  setFixedSize(kWidth, kHeight);
  for (int32_t g = 0; g < kToolBoxGroupCount; ++g) {
    auto* b = new TToolGroupButton(static_cast<uint8_t>(g), this);
    buttons_[g] = b;
    b->OnClick = [this](TToolGroupButton* sender) { BtnClick(sender); };
    if (g == kHandBoxGroup || g == kZoomBoxGroup)
      b->OnDblClick = [this](TToolGroupButton* sender) {
        if (OnButtonDblClick) OnButtonDblClick(sender->Group());
      };
    if (b->menu_ == nullptr) continue;
    for (uint8_t k = 0; k < kToolKindCount; ++k) {
      if (ToolBoxGroupOfKind[k] != g || !ToolHasMenuItem(k)) continue;
      QAction* item = b->menu_->addAction(QString::fromUtf8(Tx(ToolMenuCaption(k))));
      item->setCheckable(true);
      item->setProperty(kKindProperty, static_cast<int>(k));
      connect(item, &QAction::triggered, this, [this, k] { selection_.SelectTool(k); });
    }
    QMenu* menu = b->menu_;
    connect(menu, &QMenu::aboutToShow, this, [this, menu] { MenuPopup(menu); });
  }
  buttons_[selection_.CurrentGroup()]->SetDown(true);
}

TToolGroupButton* TToolBox::ButtonOfGroup(int32_t group) const {
  group %= 128;
  return group >= 0 && group < kToolBoxGroupCount ? buttons_[group] : nullptr;
}

void TToolBox::PressGroup(uint8_t group, TtFGlyphType glyph) {
  TToolGroupButton* pressed = ButtonOfGroup(group);
  if (pressed == nullptr) return;
  pressed->SetGlyphType(glyph);
  for (TToolGroupButton* b : buttons_) b->SetDown(b == pressed);
}

void TToolBox::SetPlaybackMode(bool playback) {
  for (TToolGroupButton* b : buttons_)
    b->setEnabled(!playback || b->Group() == kHandBoxGroup || b->Group() == kZoomBoxGroup);
}

int32_t TToolBox::KindOfMenuItem(const QAction* item) {
  if (item == nullptr) return -1;
  const QVariant v = item->property(kKindProperty);
  return v.isValid() ? v.toInt() : -1;
}

bool TToolBox::ButtonOpenedMenu(uint8_t group) const {
  const TToolGroupButton* b = ButtonOfGroup(group);
  return b != nullptr && b->OpenedMenu();
}

void TToolBox::BtnClick(TToolGroupButton* button) {
  const bool alternate = (GetShiftButtons() & kAltKey) != 0 && !button->OpenedMenu();
  if (button->OpenedMenu()) return;  // the press opened the menu: its item decides
  selection_.SelectGroup(button->Group(), alternate);
}

void TToolBox::MenuPopup(QMenu* menu) {
  for (QAction* item : menu->actions()) item->setChecked(KindOfMenuItem(item) == selection_.Kind());
}

}  // namespace tf
