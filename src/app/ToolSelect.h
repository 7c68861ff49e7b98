// Tool selection of the tool window: the 38 tool kinds on the 16 tool-box buttons, the two tool
// sets, the remembered kind and density of each button group, and the draw-mode switch.
#pragma once
// The state and its operations live here without any widget; what they touch (the density edit,
// the sub-paint drop-down, the buttons, the item list, the main window's stroke engine, the bound
// document window) is reached through ToolSelectionHost, which the tool window implements.
#include <array>
#include <cstdint>

#include "platform/ResourceText.h"
#include "raster/ToolGlyphs.h"

namespace tf {

// The tool box's button groups (not the draw window's handler groups of paint/ToolDefs.h).
inline constexpr int32_t kToolBoxGroupCount = 16;
inline constexpr int32_t kToolKindCount = 38;
inline constexpr uint8_t kHandBoxGroup = 14;
inline constexpr uint8_t kZoomBoxGroup = 15;

// Per kind: its button group, whether the tool density applies, and the next kind of an
// alternate step (Alt+click or the group key pressed again).
extern const std::array<uint8_t, kToolKindCount> ToolBoxGroupOfKind;
extern const std::array<uint8_t, kToolKindCount> ToolDensityApplies;
extern const std::array<uint8_t, kToolKindCount> AlternateToolKind;

// One button of the tool box: hint, glyph at start, first kind, its keys (0 none), whether it has
// a popup menu of kinds, and its rectangle in the 56 x 330 tool box.
struct SToolBoxGroup {
  TextId hint;
  TtFGlyphType glyph;
  uint8_t firstKind;
  int32_t key1;
  int32_t key2;
  bool hasMenu;
  int16_t left, top, right, bottom;
};
extern const std::array<SToolBoxGroup, kToolBoxGroupCount> ToolBoxGroups;
inline uint8_t DefaultToolOfBoxGroup(int32_t group) { return ToolBoxGroups[group & 15].firstKind; }

// The menu caption of a kind (empty for the kinds without a menu item: 28, 33..37).
TextId ToolMenuCaption(uint8_t kind);
bool ToolHasMenuItem(uint8_t kind);

// What the selection touches.
class ToolSelectionHost {
 public:
  virtual ~ToolSelectionHost() = default;
  // The tool-density edit (percent); setting it runs its change handler.
  virtual float ToolDensity() = 0;
  virtual void SetToolDensity(float percent) = 0;
  virtual void EnableToolDensity(bool enabled) = 0;
  // The options pane's sub-paint drop-down (shape 0 freehand).
  virtual uint8_t SubPaintShape() = 0;
  virtual void SetSubPaintShape(uint8_t shape) = 0;
  // The group's button shows the glyph and is pressed (the others released).
  virtual void PressGroupButton(uint8_t group, TtFGlyphType glyph) = 0;
  // The tool-item list switches to the paint kind (loads the current paint settings).
  virtual void SetItemListPaintKind(uint8_t paintKind) = 0;
  // The main window's stroke engine (1 older, 2 current) and its switch.
  virtual int32_t StrokeEngine() = 0;
  virtual void ToggleStrokeEngine() = 0;
  virtual bool AutoFreeHand() = 0;
  // Rebuilds the options pane with its layout.
  virtual void RefreshOptions() = 0;
  // The bound document window, when one is bound and its window exists: drop its handler
  // (cancelling the pending operation when asked), set the tool cursor at the mouse, pick the
  // handler of the current draw mode.
  virtual bool HasDrawWindow() = 0;
  virtual void DropToolHandler(bool cancel) = 0;
  virtual void UpdateToolCursorAtMouse() = 0;
  virtual void PickToolHandler() = 0;
};

class CToolSelection {
 public:
  explicit CToolSelection(ToolSelectionHost& host);

  uint8_t Kind() const { return kind_; }
  uint8_t DrawMode() const { return drawMode_; }
  uint8_t ToolSet() const { return set_; }
  uint8_t CurrentGroup() const { return setGroup_[set_]; }
  uint8_t SetGroup(int32_t set) const { return setGroup_[set & 1]; }
  uint8_t LastKindOfGroup(int32_t group) const { return lastKind_[group & 15]; }
  void SetLastKindOfGroup(int32_t group, uint8_t kind);
  float GroupDensity(int32_t group) const { return density_[group & 15]; }
  bool Selecting() const { return selecting_; }

  // Makes a kind current (nothing when it is current or a selection is running).
  void SelectTool(uint8_t kind);
  // The group's last kind, or its alternate when asked and the group is current.
  void SelectGroup(uint8_t group, bool alternate);
  static uint8_t AlternateKind(uint8_t kind) { return AlternateToolKind[kind % kToolKindCount]; }
  // 0 pen tip, 1 eraser end.
  void SelectToolSet(uint8_t set);
  // True when the draw mode changed.
  bool SetToolMode(uint8_t mode, bool cancel);
  // The sub-paint drop-down changed.
  void SubPaintChange();

 private:
  ToolSelectionHost& host_;
  uint8_t kind_ = 0;
  uint8_t drawMode_ = 0;
  uint8_t set_ = 0;
  std::array<uint8_t, 2> setGroup_{0, 1};
  std::array<uint8_t, kToolBoxGroupCount> lastKind_{};
  std::array<float, kToolBoxGroupCount> density_{};
  bool selecting_ = false;
  bool switchingSet_ = false;
  bool changingMode_ = false;
};

}  // namespace tf
