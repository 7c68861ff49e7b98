// TItemPicker: the owner-drawn button of the tool palettes (an item image in a face with a
// frame, optionally a drop-down part), with its subclasses: the plain TItemButton, the glyph
// button TtFGlyphButton, and three pickers of one value each: the falloff kind and its two
// parameters (TAirMapDropDown, with the pad TAirMapControl in its popup), the sub-paint shape
// (TSubPaintDropDown) and a layer blend mode (TBlendModeDropDwon, spelled so).
#pragma once
// The layout, hit test, colours and face are raster/ItemPickerLayout.h; the pad's picture is
// app/PresetPreview.h. A picker tracks the pointer (hot state), can be a speed button of a group
// (same parent and group index) and can open a drop-down: a menu (built per opening, items
// carrying 1000 + i, placed clear of the control, exec returns the choice) or the falloff popup.
#include <QMenu>
#include <QPointer>
#include <functional>
#include <string>

#include "raster/ItemPickerLayout.h"
#include "raster/NumMngr.h"
#include "raster/ToolGlyphs.h"
#include "ui/GraphicControl.h"

namespace tf {

class TPopupBaseForm;
class TAirMapControl;
class TtFGlyphLabel;

class TItemPicker : public GraphicControl {
  Q_OBJECT
 public:
  explicit TItemPicker(QWidget* parent = nullptr);
  ~TItemPicker() override;

  uint8_t Style() const { return style_; }
  void SetStyle(uint8_t style);
  bool CutCorners() const { return cutCorners_; }
  void SetCutCorners(bool cut);
  bool Boxed() const { return boxed_; }
  void SetBoxed(bool boxed);
  bool Dropped() const { return dropped_; }
  uint8_t Hot() const { return hot_; }
  bool AllowAllUp() const { return allowAllUp_; }
  int32_t GroupIndex() const { return groupIndex_; }
  bool ReadOnly() const { return WithholdsMouse(); }
  const SItemPickerLayout& Layout() const { return layout_; }
  const SItemPickerColors& Colors() const { return colors_; }
  TMemoryGraphic& ItemImage() { return item_; }
  int32_t HitTest(int32_t x, int32_t y) const;

  virtual void UpdateColors();
  virtual void RenderFace();
  // Whether a drop-down opened; the base answers style <> 0.
  virtual bool DropDown(int32_t itemIndex);
  virtual void CloseUp();
  virtual int32_t GetItemIndex() const { return -1; }
  virtual void RenderItem();
  virtual void SetAllowAllUp(bool allow);
  virtual void SetGroupIndex(int32_t index);
  virtual bool GetDown() const { return groupIndex_ != 0 && down_; }
  virtual void SetDown(bool down);
  virtual void SetReadOnly(bool readOnly);
  // UpdateColors, RenderItem, RenderFace, repaint.
  void Redraw();

  void HotTrackMouseLeave() override;

  std::function<void(TItemPicker* sender, TMemoryGraphic& item)> OnRenderItem;
  std::function<void(TItemPicker* sender)> OnDown;
  std::function<void(TItemPicker* sender)> OnChange;
  // The toolkit's click: a release over the control after a press on it.
  std::function<void(TItemPicker* sender)> OnClick;

 protected:
  void RenderGraphic() override {}
  void resizeEvent(QResizeEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void Change();
  // The place under a menu or popup: the control's bottom-left, and the control on screen.
  QPoint DropPoint() const;
  TRect ScreenRect() const;
  void EnterHot();
  void LeaveHot();
  void SetDropped(bool dropped) { dropped_ = dropped; }

 private:
  void LayOut();

  TMemoryGraphic item_;
  uint8_t style_ = kPickerNoDropDown;
  bool cutCorners_ = false;
  bool allowAllUp_ = false;
  int32_t groupIndex_ = 0;
  bool down_ = false;
  bool settingDown_ = false;
  SItemPickerLayout layout_;
  bool boxed_ = false;
  bool dropped_ = false;
  uint8_t hot_ = 0;
  bool pressed_ = false;
  SItemPickerColors colors_{};
};

class TItemButton : public TItemPicker {
  Q_OBJECT
 public:
  using TItemPicker::TItemPicker;
};

class TtFGlyphButton : public TItemPicker {
  Q_OBJECT
 public:
  explicit TtFGlyphButton(QWidget* parent = nullptr);
  TtFGlyphType GlyphType() const { return type_; }
  void SetGlyphType(TtFGlyphType type);
  // The menu the drop-down opens (not owned).
  void SetPopupMenu(QMenu* menu) { menu_ = menu; }
  void UpdateColors() override;
  void RenderItem() override;
  bool DropDown(int32_t itemIndex) override;

 private:
  TtFGlyphType type_ = tgPencil4;
  int32_t glyphState_ = 0;
  QPointer<QMenu> menu_;
};

// The glyph state of a picker: 1 hot over the item, 0 otherwise, 2 disabled.
int32_t PickerGlyphState(const TItemPicker& picker);

class TSubPaintDropDown : public TItemPicker {
  Q_OBJECT
 public:
  explicit TSubPaintDropDown(QWidget* parent = nullptr);
  uint8_t SubPaint() const { return shape_; }
  void SetSubPaint(uint8_t shape);
  int32_t GetItemIndex() const override { return shape_; }
  void RenderItem() override;
  bool DropDown(int32_t itemIndex) override;

 private:
  uint8_t shape_ = 0;
};

class TBlendModeDropDwon : public TItemPicker {
  Q_OBJECT
 public:
  explicit TBlendModeDropDwon(QWidget* parent = nullptr);
  uint8_t BlendMode() const { return mode_; }
  const std::string& BlendModeText() const { return name_; }
  void SetBlendMode(uint8_t mode);
  int32_t GetItemIndex() const override { return mode_; }
  void RenderItem() override;
  bool DropDown(int32_t itemIndex) override;
  // The menu of the last opening while it is shown (tests).
  QMenu* OpenMenu() const { return openMenu_; }

 private:
  uint8_t mode_ = 0;
  std::string name_;
  QPointer<QMenu> openMenu_;
};

// A menu of names with the current one checked and separators before the listed positions; the
// chosen item (1000 + i) or -1. Placed below the control, clear of it.
int32_t RunPickerMenu(QWidget* control, const std::vector<std::string>& names, int32_t current,
                      const std::vector<int32_t>& separatorsBefore, QPointer<QMenu>* openMenu);

class TAirMapControl : public GraphicControl {
  Q_OBJECT
 public:
  explicit TAirMapControl(QWidget* parent = nullptr);
  uint8_t Kind() const { return kind_; }
  float X() const { return x_; }
  float Y() const { return y_; }
  bool Tracking() const { return tracking_; }
  void SetParams(uint8_t kind, float x, float y);
  void SetMapKind(uint8_t kind);
  void SetMapX(float x);
  void SetMapY(float y);
  virtual void SetReadOnly(bool readOnly) { SetWithholdsMouse(readOnly); }

  std::function<void(TAirMapControl* sender)> OnChange;

 protected:
  virtual void Change();
  void RenderGraphic() override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void TakePoint(QPoint p);

  uint8_t kind_ = 0;
  float x_ = 0.0f, y_ = 0.0f;
  bool tracking_ = false;
};

class TAirMapDropDown : public TItemPicker {
  Q_OBJECT
 public:
  explicit TAirMapDropDown(QWidget* parent = nullptr);
  ~TAirMapDropDown() override;

  uint8_t DropDownMode() const { return mode_; }
  void SetDropDownMode(uint8_t mode);
  uint8_t MapKind() const { return kind_; }
  void SetMapKind(uint8_t kind);
  void SetMapX(float percent);
  void SetMapY(float percent);
  float GetMapX() const { return x_.Value(); }
  float GetMapY() const { return y_.Value(); }
  int32_t GetItemIndex() const override { return kind_; }
  void RenderItem() override;
  bool DropDown(int32_t itemIndex) override;
  // The open popup and its parts (null when closed).
  TPopupBaseForm* Popup() const;
  TAirMapControl* Pad() const { return pad_; }
  TItemButton* KindButton(int32_t kind) const { return kind >= 0 && kind < 7 ? buttons_[kind] : nullptr; }
  QWidget* XEdit() const { return xEdit_; }

 protected:
  void mousePressEvent(QMouseEvent* event) override;

 private:
  void CreatePopup();
  void Sync(QObject* sender);
  void PopupOpened();
  void PopupClosed();
  void RenderButtonItem(TItemPicker* button, TMemoryGraphic& item);

  uint8_t mode_ = 2;
  uint8_t kind_ = 0;
  uint8_t savedKind_ = 0;
  float savedX_ = 0, savedY_ = 0;
  bool syncing_ = false;
  TNumMngr x_, y_;
  QPointer<TPopupBaseForm> popup_;
  QPointer<TItemButton> buttons_[7];
  QPointer<TAirMapControl> pad_;
  QPointer<QWidget> xEdit_;
  QPointer<QWidget> yEdit_;
};

}  // namespace tf
