#include "ui/ItemPicker.h"

#include <QAction>
#include <QCursor>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "app/PresetPreview.h"
#include "document/BlendMode.h"
#include "paint/PaintParam.h"
#include "paint/ToolDefs.h"
#include "raster/Appearance.h"
#include "raster/Placement.h"
#include "ui/GlyphLabel.h"
#include "ui/MemoryGraphicQt.h"
#include "ui/NumEdits.h"
#include "ui/PopupBase.h"

namespace tf {

namespace {

constexpr SChannelOps kOver{ChannelBlend, ChannelKeep};

void BlendGlyphCentred(TMemoryGraphic& item, const TMemoryGraphic& glyph) {
  if (!item.IsValid() || !glyph.IsValid()) return;
  item.DrawGraphic((item.Width() - glyph.Width()) / 2, (item.Height() - glyph.Height()) / 2, glyph.Width(),
                   glyph.Height(), glyph, 0, 0, kOver);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TItemPicker

TItemPicker::TItemPicker(QWidget* parent) : GraphicControl(parent) {
  setMouseTracking(true);
  Graphic().SetBackground(AppearanceColors[acBtnFace]);
  item_.SetBackground(AppearanceColors[acBtnFace]);
  Graphic().SetSize(std::max(width(), 1), std::max(height(), 1));
  LayOut();
  UpdateColors();
}

TItemPicker::~TItemPicker() = default;

void TItemPicker::LayOut() {
  layout_ = LayoutItemPicker(style_, boxed_, width(), height());
  item_.SetSize(layout_.item.right - layout_.item.left, layout_.item.bottom - layout_.item.top);
}

int32_t TItemPicker::HitTest(int32_t x, int32_t y) const {
  return ItemPickerHitTest(layout_, width(), height(), x, y);
}

void TItemPicker::SetStyle(uint8_t style) {
  style_ = style;
  LayOut();
  Redraw();
}

void TItemPicker::SetCutCorners(bool cut) {
  if (cut == cutCorners_) return;
  cutCorners_ = cut;
  Redraw();
}

void TItemPicker::SetBoxed(bool boxed) {
  if (boxed == boxed_) return;
  boxed_ = boxed;
  LayOut();
  Redraw();
}

void TItemPicker::UpdateColors() { colors_ = ItemPickerColors(isEnabled(), down_ || dropped_, hot_, cutCorners_); }

void TItemPicker::RenderItem() {
  item_.SetBackground(colors_.itemFace);
  item_.Clear();
  if (OnRenderItem) OnRenderItem(this, item_);
}

void TItemPicker::RenderFace() {
  RenderItemPickerFace(Graphic(), item_, layout_, colors_, style_, boxed_, cutCorners_);
  update();
}

void TItemPicker::Redraw() {
  UpdateColors();
  RenderItem();
  RenderFace();
}

bool TItemPicker::DropDown(int32_t) { return style_ != kPickerNoDropDown; }

void TItemPicker::CloseUp() {
  dropped_ = false;
  if (rect().contains(mapFromGlobal(QCursor::pos())))
    EnterHot();
  else
    LeaveHot();
}

void TItemPicker::SetAllowAllUp(bool allow) {
  allowAllUp_ = allow;
  if (parentWidget() == nullptr) return;
  for (QObject* child : parentWidget()->children()) {
    auto* picker = qobject_cast<TItemPicker*>(child);
    if (picker != nullptr && picker != this && picker->groupIndex_ == groupIndex_) picker->allowAllUp_ = allow;
  }
}

void TItemPicker::SetGroupIndex(int32_t index) {
  if (index == groupIndex_) return;
  groupIndex_ = index;
  if (index != 0) down_ = false;
  Redraw();
}

void TItemPicker::SetDown(bool down) {
  if (settingDown_) return;
  settingDown_ = true;
  if (down == down_) {
    if (OnDown) OnDown(this);
    settingDown_ = false;
    return;
  }
  down_ = groupIndex_ != 0 ? down : false;
  if (groupIndex_ != 0 && down_ && parentWidget() != nullptr) {
    for (QObject* child : parentWidget()->children()) {
      auto* picker = qobject_cast<TItemPicker*>(child);
      if (picker == nullptr || picker == this || picker->groupIndex_ != groupIndex_ || !picker->down_) continue;
      picker->down_ = false;
      picker->Redraw();
    }
  }
  Redraw();
  if (OnDown) OnDown(this);
  settingDown_ = false;
}

void TItemPicker::SetReadOnly(bool readOnly) {
  SetWithholdsMouse(readOnly);
  if (readOnly) hot_ = 0;
  Redraw();
}

void TItemPicker::Change() {
  if (OnChange) OnChange(this);
}

QPoint TItemPicker::DropPoint() const { return mapToGlobal(QPoint(0, height())); }

TRect TItemPicker::ScreenRect() const {
  const QPoint o = mapToGlobal(QPoint(0, 0));
  return TRect{o.x(), o.y(), o.x() + width(), o.y() + height()};
}

void TItemPicker::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  const int32_t w = std::max(width(), 1), h = std::max(height(), 1);
  if (Graphic().Width() == w && Graphic().Height() == h) return;
  Graphic().SetSize(w, h);
  LayOut();
  Redraw();
}

void TItemPicker::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  Draw(Graphic(), painter, 0, 0, Graphic().Width(), Graphic().Height());
}

void TItemPicker::changeEvent(QEvent* event) {
  GraphicControl::changeEvent(event);
  if (event->type() == QEvent::EnabledChange) Redraw();
}

void TItemPicker::EnterHot() {
  const QPoint p = mapFromGlobal(QCursor::pos());
  hot_ = ItemPickerHotOnEnter(style_, HitTest(p.x(), p.y()));
  Redraw();
}

void TItemPicker::LeaveHot() {
  hot_ = 0;
  Redraw();
}

void TItemPicker::enterEvent(QEnterEvent* event) {
  GraphicControl::enterEvent(event);
  if (HotTrackEnter(this)) EnterHot();
}

void TItemPicker::leaveEvent(QEvent* event) {
  GraphicControl::leaveEvent(event);
  if (HotTrackLeave(this)) LeaveHot();
}

void TItemPicker::HotTrackMouseLeave() {
  if (hot_ != 0 && HotTrackLeave(this)) LeaveHot();
}

void TItemPicker::mouseMoveEvent(QMouseEvent* event) {
  if (WithholdsMouse() || !EnterHotState(this)) return;
  const QPoint p = event->position().toPoint();
  const uint8_t hot = ItemPickerHotFor(style_, HitTest(p.x(), p.y()));
  if (hot == hot_) return;
  hot_ = hot;
  Redraw();
}

void TItemPicker::mousePressEvent(QMouseEvent* event) {
  if (WithholdsMouse()) return;  // read-only: taken and dropped
  if (event->button() != Qt::LeftButton || !CanHotTrack(this)) return;
  pressed_ = true;
  if (groupIndex_ != 0) SetDown(allowAllUp_ ? !down_ : true);
  const QPoint p = event->position().toPoint();
  const int32_t hit = HitTest(p.x(), p.y());
  if (hit == kPickerHitArrow || (hit == kPickerHitItem && style_ == kPickerDropDownAll)) {
    QPointer<TItemPicker> self(this);
    const bool opened = DropDown(GetItemIndex());
    if (self.isNull()) return;
    // A menu took the release with it: no click follows.
    pressed_ = false;
    dropped_ = opened;
    Redraw();
  }
}

void TItemPicker::mouseReleaseEvent(QMouseEvent* event) {
  if (WithholdsMouse() || event->button() != Qt::LeftButton || !pressed_) return;
  pressed_ = false;
  if (rect().contains(event->position().toPoint()) && OnClick) OnClick(this);
}

void TItemPicker::mouseDoubleClickEvent(QMouseEvent* event) {
  mousePressEvent(event);
  // The release of a double click is no click.
  pressed_ = false;
}

int32_t PickerGlyphState(const TItemPicker& picker) {
  if (!picker.isEnabled()) return gsDisabled;
  return (picker.Hot() & kPickerHotItem) != 0 ? gsActive : gsNone;
}

// ---------------------------------------------------------------------------------------------
// TtFGlyphButton

TtFGlyphButton::TtFGlyphButton(QWidget* parent) : TItemPicker(parent) { SetCutCorners(true); }

void TtFGlyphButton::SetGlyphType(TtFGlyphType type) {
  if (type == type_) return;
  type_ = type;
  Redraw();
}

void TtFGlyphButton::UpdateColors() {
  TItemPicker::UpdateColors();
  glyphState_ = PickerGlyphState(*this);
}

void TtFGlyphButton::RenderItem() {
  TItemPicker::RenderItem();
  BlendGlyphCentred(ItemImage(), GlyphManager().GetGlyph(type_, glyphState_));
}

bool TtFGlyphButton::DropDown(int32_t) {
  if (Style() == kPickerNoDropDown || menu_.isNull()) return false;
  SetDropped(true);
  if (OnClick) OnClick(this);
  QPointer<TtFGlyphButton> self(this);
  if (!menu_.isNull()) menu_->exec(DropPoint());
  if (!self.isNull()) CloseUp();
  return false;
}

// ---------------------------------------------------------------------------------------------
// Menu drop-downs

int32_t RunPickerMenu(QWidget* control, const std::vector<std::string>& names, int32_t current,
                      const std::vector<int32_t>& separatorsBefore, QPointer<QMenu>* openMenu) {
  if (control == nullptr || control->window() == nullptr || !control->window()->isVisible()) return -1;
  QMenu menu(control);
  for (int32_t i = 0; i < static_cast<int32_t>(names.size()); ++i) {
    if (std::find(separatorsBefore.begin(), separatorsBefore.end(), i) != separatorsBefore.end())
      menu.addSeparator();
    QAction* action = menu.addAction(QString::fromStdString(names[static_cast<size_t>(i)]));
    action->setData(1000 + i);
    action->setCheckable(true);
    action->setChecked(i == current);
  }
  // Below the control and clear of it.
  const QPoint o = control->mapToGlobal(QPoint(0, 0));
  const TRect avoid{o.x(), o.y(), o.x() + control->width(), o.y() + control->height()};
  const QSize size = menu.sizeHint();
  TRect r{o.x(), avoid.bottom, o.x() + size.width(), avoid.bottom + size.height()};
  const QPoint cursor = QCursor::pos();
  PlaceRectBeside(r, TPoint{cursor.x(), cursor.y()}, avoid);
  if (openMenu != nullptr) *openMenu = &menu;
  QAction* chosen = menu.exec(QPoint(r.left, r.top));
  if (openMenu != nullptr) *openMenu = nullptr;
  return chosen != nullptr ? chosen->data().toInt() : -1;
}

TSubPaintDropDown::TSubPaintDropDown(QWidget* parent) : TItemPicker(parent) {
  SetBoxed(true);
  SetStyle(kPickerDropDownAll);
}

void TSubPaintDropDown::SetSubPaint(uint8_t shape) {
  if (shape == shape_) return;
  shape_ = shape;
  Redraw();
  Change();
}

void TSubPaintDropDown::RenderItem() {
  TItemPicker::RenderItem();
  if (shape_ > 5) return;
  BlendGlyphCentred(ItemImage(), GlyphManager().GetGlyph(tgDrawLocus + shape_, PickerGlyphState(*this)));
}

bool TSubPaintDropDown::DropDown(int32_t) {
  std::vector<std::string> names(6);
  for (uint8_t i = 0; i < 6; ++i) SubPaintName(i, names[i]);
  QPointer<TSubPaintDropDown> self(this);
  SetDropped(true);
  const int32_t chosen = RunPickerMenu(this, names, shape_, {1, 3}, nullptr);
  if (self.isNull()) return false;
  if (chosen >= 1000 && chosen <= 1005 && chosen - 1000 != shape_) SetSubPaint(static_cast<uint8_t>(chosen - 1000));
  CloseUp();
  return false;
}

TBlendModeDropDwon::TBlendModeDropDwon(QWidget* parent) : TItemPicker(parent) {
  name_ = BlendModeName(0);
  SetStyle(kPickerDropDownAll);
}

void TBlendModeDropDwon::SetBlendMode(uint8_t mode) {
  if (mode == mode_ || mode > 21) return;
  mode_ = mode;
  name_ = BlendModeName(mode);
  Redraw();
  Change();
}

void TBlendModeDropDwon::RenderItem() {
  TMemoryGraphic& item = ItemImage();
  item.SetBackground(Colors().itemFace);
  item.Clear();
  TRect r{4, 0, item.Width() - 4, item.Height()};
  if (r.right > r.left)
    DrawText(item, name_, r, kDtSingleLine | kDtVCenter | kDtLeft | kDtEndEllipsis, Colors().itemInk, font());
  if (OnRenderItem) OnRenderItem(this, item);
}

bool TBlendModeDropDwon::DropDown(int32_t) {
  std::vector<std::string> names(22);
  for (uint8_t i = 0; i < 22; ++i) names[i] = BlendModeName(i);
  QPointer<TBlendModeDropDwon> self(this);
  SetDropped(true);
  const int32_t chosen = RunPickerMenu(this, names, mode_, {1, 5, 10, 16, 18}, &openMenu_);
  if (self.isNull()) return false;
  if (chosen >= 1000 && chosen <= 1021 && chosen - 1000 != mode_) SetBlendMode(static_cast<uint8_t>(chosen - 1000));
  CloseUp();
  return false;
}

// ---------------------------------------------------------------------------------------------
// TAirMapControl

TAirMapControl::TAirMapControl(QWidget* parent) : GraphicControl(parent) {
  Graphic().SetBackground(AppearanceColors[acWindow]);
}

void TAirMapControl::Change() {
  if (OnChange) OnChange(this);
}

void TAirMapControl::SetParams(uint8_t kind, float x, float y) {
  if (kind == kind_ && x == x_ && y == y_) return;
  kind_ = kind;
  x_ = x;
  y_ = y;
  Rerender();
  Change();
}
void TAirMapControl::SetMapKind(uint8_t kind) { SetParams(kind, x_, y_); }
void TAirMapControl::SetMapX(float x) { SetParams(kind_, x, y_); }
void TAirMapControl::SetMapY(float y) { SetParams(kind_, x_, y); }

void TAirMapControl::RenderGraphic() {
  TMemoryGraphic& g = Graphic();
  g.SetSize(std::max(width(), 1), std::max(height(), 1));
  RenderAirMapPad(g, kind_, x_, y_);
}

void TAirMapControl::TakePoint(QPoint p) {
  float x = x_, y = y_;
  // A pad too small to divide by takes no picks.
  if (!AirMapPadX(p.x(), width(), x) || !AirMapPadY(p.y(), height(), y)) return;
  x_ = x;
  y_ = y;
  Rerender();
  Change();
}

void TAirMapControl::mousePressEvent(QMouseEvent* event) {
  if (WithholdsMouse() || event->button() != Qt::LeftButton || !CanHotTrack(this)) return;
  const QPoint p = event->position().toPoint();
  tracking_ = p.x() >= 2 && p.y() >= 2 && p.x() < width() - 2 && p.y() < height() - 2;
  if (tracking_) TakePoint(p);
}

void TAirMapControl::mouseMoveEvent(QMouseEvent* event) {
  if (tracking_ && EnterHotState(this)) TakePoint(event->position().toPoint());
}

void TAirMapControl::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) tracking_ = false;
}

// ---------------------------------------------------------------------------------------------
// TAirMapDropDown

namespace {

SNumMngrProps PercentProps() {
  SNumMngrProps p;
  p.valueMin = 0;
  p.valueMax = 100;
  return p;
}

// The kinds the popup offers, and where.
constexpr uint8_t kKindsMode1[] = {6, 5, 0, 3, 2};
constexpr uint8_t kKindsMode2[] = {6, 1, 5, 0, 4, 3};

}  // namespace

TAirMapDropDown::TAirMapDropDown(QWidget* parent) : TItemPicker(parent) {
  x_.Load(PercentProps());
  y_.Load(PercentProps());
  x_.OnChange = [this](TNumMngr*) { Sync(nullptr); };
  y_.OnChange = [this](TNumMngr*) { Sync(nullptr); };
  SetBoxed(true);
  SetStyle(kPickerDropDownAll);
}

TAirMapDropDown::~TAirMapDropDown() {
  x_.OnChange = nullptr;
  y_.OnChange = nullptr;
  if (!popup_.isNull()) {
    popup_->OnPopupClose = nullptr;
    delete popup_.data();
  }
}

TPopupBaseForm* TAirMapDropDown::Popup() const { return popup_.data(); }

void TAirMapDropDown::SetDropDownMode(uint8_t mode) {
  if (mode == mode_) return;
  mode_ = mode;
  kind_ = 7;
  syncing_ = true;
  x_.SetValue(0);
  y_.SetValue(0);
  syncing_ = false;
  SetStyle(mode == 0 ? kPickerNoDropDown : kPickerDropDownAll);
}

void TAirMapDropDown::SetMapKind(uint8_t kind) {
  if (kind == kind_) return;
  kind_ = kind;
  Redraw();
  Change();
}

void TAirMapDropDown::SetMapX(float percent) {
  if (percent == x_.Value()) return;
  syncing_ = true;
  x_.SetValue(percent);
  if (!pad_.isNull()) pad_->SetMapX(x_.Value() / 100.0f);
  syncing_ = false;
  Redraw();
  Change();
}

void TAirMapDropDown::SetMapY(float percent) {
  if (percent == y_.Value()) return;
  syncing_ = true;
  y_.SetValue(percent);
  if (!pad_.isNull()) pad_->SetMapY(y_.Value() / 100.0f);
  syncing_ = false;
  Redraw();
  Change();
}

void TAirMapDropDown::RenderItem() {
  TMemoryGraphic& item = ItemImage();
  item.SetBackground(Colors().itemFace);
  item.Clear();
  const TRect r{2, 2, item.Width() - 2, item.Height() - 2};
  if (kind_ <= 6 && r.right > r.left && r.bottom > r.top)
    DrawAirMapPreview(item, r, kind_, Colors().itemInk, x_.Value() / 100.0f, y_.Value() / 100.0f);
  if (OnRenderItem) OnRenderItem(this, item);
}

void TAirMapDropDown::RenderButtonItem(TItemPicker* button, TMemoryGraphic& item) {
  uint32_t ink = AppearanceColors[acGrayText];
  if (button->isEnabled())
    ink = (button->Hot() & kPickerHotItem) != 0 ? AppearanceColors[acHighlight] : AppearanceColors[acWindowText];
  item.Clear();
  const TRect r{2, 2, item.Width() - 2, item.Height() - 2};
  const int32_t kind = button->property("airMapKind").toInt();
  if (r.right > r.left && r.bottom > r.top) DrawAirMapPreview(item, r, static_cast<uint8_t>(kind), ink, 0.0f, 0.0f);
}

void TAirMapDropDown::mousePressEvent(QMouseEvent* event) {
  if (WithholdsMouse()) return;
  QPointer<TAirMapDropDown> self(this);
  TItemPicker::mousePressEvent(event);
  if (self.isNull() || event->button() != Qt::LeftButton || !CanHotTrack(this)) return;
  if (mode_ == 0) SetMapKind(kind_ == 2 ? 3 : 2);
}

bool TAirMapDropDown::DropDown(int32_t) {
  if (mode_ == 0 || !popup_.isNull()) return false;
  CreatePopup();
  popup_->OnPopupOpen = [this](TPopupBaseForm*) { PopupOpened(); };
  popup_->OnPopupClose = [this](TPopupBaseForm*) { PopupClosed(); };
  const QPoint at = DropPoint();
  const TRect avoid = ScreenRect();
  popup_->Popup(at.x(), at.y(), &avoid);
  return true;
}

void TAirMapDropDown::CreatePopup() {
  auto* popup = new TPopupBaseForm(this);
  popup_ = popup;
  const bool full = mode_ == 2;
  popup->resize(full ? 182 : 152, full ? 130 : 32);
  const uint8_t* kinds = full ? kKindsMode2 : kKindsMode1;
  const int32_t count = full ? 6 : 5;
  for (int32_t i = 0; i < count; ++i) {
    auto* button = new TItemButton(popup);
    button->setProperty("airMapKind", kinds[i]);
    button->setGeometry(2 + 30 * i, 2, 28, 28);
    button->SetGroupIndex(1);
    button->OnDown = [this](TItemPicker* b) { Sync(b); };
    button->OnRenderItem = [this](TItemPicker* b, TMemoryGraphic& item) { RenderButtonItem(b, item); };
    button->Redraw();
    buttons_[kinds[i]] = button;
  }
  if (full) {
    auto* pad = new TAirMapControl(popup);
    pad->setGeometry(2, 32, 98, 96);
    pad->OnChange = [this](TAirMapControl* p) { Sync(p); };
    pad_ = pad;
    const struct {
      TtFGlyphType glyph;
      int32_t y;
      TNumMngr* number;
    } rows[2] = {{tgFlat, 36, &x_}, {tgAdd, 54, &y_}};
    for (const auto& row : rows) {
      auto* label = new TtFGlyphLabel(popup);
      label->setGeometry(131, row.y, 16, 16);
      label->SetGlyphType(row.glyph);
      auto* edit = new TNumEdit(popup);
      edit->setGeometry(151, row.y, 28, 16);
      edit->SetAssociate(row.number);
      (row.number == &x_ ? xEdit_ : yEdit_) = edit;
    }
    // Once for x and once for y: the pad takes the numbers.
    Sync(nullptr);
    Sync(nullptr);
  }
}

void TAirMapDropDown::Sync(QObject* sender) {
  if (syncing_ || popup_.isNull()) return;
  syncing_ = true;
  if (auto* button = qobject_cast<TItemButton*>(sender)) {
    if (button->GetDown()) {
      kind_ = static_cast<uint8_t>(button->property("airMapKind").toInt());
      if (!pad_.isNull()) pad_->SetMapKind(kind_);
    }
  } else if (sender != nullptr && sender == pad_.data()) {
    x_.SetValue(x_.ValueMin() + (x_.ValueMax() - x_.ValueMin()) * pad_->X());
    y_.SetValue(y_.ValueMin() + (y_.ValueMax() - y_.ValueMin()) * pad_->Y());
  } else if (!pad_.isNull()) {
    // A number changed (or the popup was just made): the pad follows.
    pad_->SetParams(pad_->Kind(), x_.Value() / 100.0f, y_.Value() / 100.0f);
  }
  for (const QPointer<TItemButton>& b : buttons_)
    if (!b.isNull()) b->Redraw();
  Redraw();
  syncing_ = false;
  Change();
}

void TAirMapDropDown::PopupOpened() {
  savedKind_ = kind_;
  savedX_ = x_.Value();
  savedY_ = y_.Value();
  if (kind_ < 7 && !buttons_[kind_].isNull()) buttons_[kind_]->SetDown(true);
  if (mode_ == 2 && !pad_.isNull()) {
    syncing_ = true;
    pad_->SetParams(kind_, x_.Value() / (x_.ValueMax() - x_.ValueMin()),
                    y_.Value() / (y_.ValueMax() - y_.ValueMin()));
    syncing_ = false;
  }
}

void TAirMapDropDown::PopupClosed() {
  TPopupBaseForm* popup = popup_.data();
  if (popup != nullptr && popup->Result() != 1) {
    SetMapKind(savedKind_);
    SetMapX(savedX_);
    SetMapY(savedY_);
  }
  popup_ = nullptr;
  pad_ = nullptr;
  // The edits let go of the numbers now; the numbers outlive them.
  if (auto* edit = qobject_cast<TNumEdit*>(xEdit_)) edit->SetAssociate(nullptr);
  if (auto* edit = qobject_cast<TNumEdit*>(yEdit_)) edit->SetAssociate(nullptr);
  xEdit_ = yEdit_ = nullptr;
  for (QPointer<TItemButton>& b : buttons_) b = nullptr;
  // Its own buttons may be what closed it: freed once control returns to the event loop.
  if (popup != nullptr) popup->deleteLater();
  CloseUp();
}

}  // namespace tf
