// The tool box of the tool window: the 16 tool-group buttons in one radio group, with the popup
// menus of their kinds.
#pragma once
// The box drives a CToolSelection: a click selects the button's group (Alt held: its alternate
// kind), a menu item its kind. The selection's host tells the box which button to press and which
// glyph to show (PressGroup).
#include <array>
#include <cstdint>

#include "app/ToolSelect.h"
#include "ui/GraphicControl.h"

class QMenu;

namespace tf {

class TToolGroupButton : public GraphicControl {
  Q_OBJECT
 public:
  TToolGroupButton(uint8_t group, QWidget* parent);

  uint8_t Group() const { return group_; }
  TtFGlyphType GlyphType() const { return glyph_; }
  void SetGlyphType(TtFGlyphType glyph);
  bool Down() const { return down_; }
  void SetDown(bool down);
  bool HasMenu() const { return menu_ != nullptr; }
  QMenu* Menu() const { return menu_; }
  // Width of the drop-down part at the right edge of a button with a menu.
  static constexpr int32_t kDropWidth = 7;
  // The last press opened the menu (a click then selects nothing).
  bool OpenedMenu() const { return openedMenu_; }

  std::function<void(TToolGroupButton*)> OnClick;
  std::function<void(TToolGroupButton*)> OnDblClick;

 protected:
  void RenderGraphic() override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  friend class TToolBox;
  uint8_t group_;
  TtFGlyphType glyph_;
  bool down_ = false;
  bool openedMenu_ = false;
  QMenu* menu_ = nullptr;
};

class TToolBox : public QWidget {
  Q_OBJECT
 public:
  static constexpr int32_t kWidth = 56;
  static constexpr int32_t kHeight = 330;

  TToolBox(CToolSelection& selection, QWidget* parent = nullptr);

  // Nil outside 0..15 (the group taken modulo 128).
  TToolGroupButton* ButtonOfGroup(int32_t group) const;
  // The button shows the glyph and is pressed; the others are released.
  void PressGroup(uint8_t group, TtFGlyphType glyph);
  // Only the hand and zoom buttons while playing back.
  void SetPlaybackMode(bool playback);
  // Kind of a menu item, or -1.
  static int32_t KindOfMenuItem(const QAction* item);
  // Whether the button of the group has just opened its menu.
  bool ButtonOpenedMenu(uint8_t group) const;

  // Double-click of the hand or zoom button.
  std::function<void(uint8_t group)> OnButtonDblClick;

 private:
  void BtnClick(TToolGroupButton* button);
  void MenuPopup(QMenu* menu);

  CToolSelection& selection_;
  std::array<TToolGroupButton*, kToolBoxGroupCount> buttons_{};
};

}  // namespace tf
