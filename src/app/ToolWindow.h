// The tool window as the rest of the program reaches it: the current stroke and pen, the preset
// sets, the tool mode, the panes, and its part in start-up, closing and saving.
#pragma once
// The main window makes it with CreateToolWindow at its creation and frees it with
// FreeToolWindow at its destruction. The palettes register the real tool window's factory
// (SetToolWindowFactory); until they do, CreateToolWindow makes InterimToolWindow: no window, the
// pencil's settings and colours from the settings, tool mode 0, panes that do nothing.
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/Window.h"

namespace tf {

class CAppProfile;
class CColorSlotGroup;
class CGradMngr;
class CPenRender;
class CPenShapeObj;
class CStrokeMngr;
class CToneMngr;
class MainFormChild;
class TPaintParam;
class TStroke;

// What the tool window needs of the main window that owns it.
class ToolWindowOwner {
 public:
  virtual ~ToolWindowOwner() = default;
  // The main window's pen renderer (renders the tool window's stroke).
  virtual CPenRender* MainPenRender() = 0;
  // The document window the main window holds active, or null.
  virtual MainFormChild* ActiveChild() = 0;
  // 1 older engine, 2 current engine.
  virtual int32_t StrokeEngine() const = 0;
  virtual void ToggleStrokeEngine() = 0;
};

class ToolWindow {
 public:
  virtual ~ToolWindow() = default;

  // ---- life ----
  // The tool window's own start-up after the main window's first activation.
  virtual void Startup() = 0;
  // Whether the program may close (asks about modified preset sets); false stops the close.
  virtual bool QueryClose() = 0;
  // Into the settings object, before the settings saver writes it.
  virtual void SaveSettings(CAppProfile& profile) = 0;
  // Reloads the tool cursors from the settings (after the preferences dialog).
  virtual void LoadToolCursors() = 0;
  // Applies UseVertSlider to the sliders of its number edits.
  virtual void ApplySliderDirection() = 0;
  // Puts the tool box and its panes back at their default places.
  virtual void ResetPosition() = 0;
  virtual bool IsVisible() const = 0;
  virtual void SetVisible(bool visible) = 0;
  // The handle is one of its floating windows.
  virtual bool OwnsWindow(WindowHandle window) const = 0;

  // ---- the current pen ----
  virtual TStroke& GetStroke() = 0;
  virtual TPaintParam* GetPaintParam() = 0;
  virtual CPenShapeObj* GetPenShape() = 0;
  // The tone set and the gradient set; null while it has none.
  virtual CToneMngr* GetToneMngr() = 0;
  virtual CGradMngr* GetGradMngr() = 0;
  virtual const CColorSlotGroup* GetGradientStops() = 0;
  // The settings into a document's stroke manager (may be null) and the main window's renderer.
  virtual void SetupPen(CStrokeMngr* manager, CPenRender& renderer) = 0;
  // Hands the current settings to the bound document and stores the tool density.
  virtual void ApplyTool() = 0;
  // The colour cells (colours in pixel order, alpha in the high byte).
  virtual void SetForeColor(uint32_t colour) = 0;
  virtual void SetBackColor(uint32_t colour) = 0;
  // Nib size: an image nib's scale x 100, else the radius.
  virtual float GetNibSize() = 0;
  virtual void SetNibSize(float value) = 0;
  // The limits of the nib size of the current tool: 0.1 to 200 for a plain nib; an image nib's
  // scale range (BitmapNibScaleRange). The tool window with image nibs answers the latter.
  virtual void GetNibSizeLimits(float& minimum, float& maximum) {
    minimum = 0.1f;
    maximum = 200.0f;
  }
  // The brush outline's size in window pixels.
  virtual int32_t OutlineExtent() const = 0;

  // ---- tools ----
  virtual int32_t ToolMode() const = 0;
  virtual void SetToolMode(int32_t mode, bool refresh) = 0;
  // 0, or 1 for the eraser end of a pen.
  virtual void SelectToolSet(int32_t set) = 0;
  // Key code and shift bits (Shift 1, Alt 2, Ctrl 4); true when the key was used.
  virtual bool HandleToolKey(int32_t key, int32_t shift) = 0;

  // ---- binding and panes ----
  virtual void SetDrawWindow(MainFormChild* window) = 0;
  // 0 edit, 1 playback.
  virtual void SetPlaybackMode(int32_t mode) = 0;
  virtual void UpdateLayerPane() = 0;
  virtual void UpdateMaskPane() = 0;
  virtual void UpdateNavigator() = 0;
  virtual void UpdateNaviImage() = 0;
  // Kind 0 clears, 1 pointer position and colour, 2 start point, 3 size, 4 offset.
  virtual void UpdateInfoPane(int32_t kind, int32_t a, int32_t b) = 0;

  // ---- playback (the palettes show what a playing recording uses; the interim ignores them) ----
  // The replayed foreground and background colours.
  virtual void ShowPlaybackColors(uint32_t fore, uint32_t back) {
    (void)fore;
    (void)back;
  }
  // Steps done of the total, and the playback's start time (milliseconds).
  virtual void SetPlaybackProgress(int32_t done, int32_t total, uint32_t startTime) {
    (void)done;
    (void)total;
    (void)startTime;
  }
  // The event log pane gets a played packet's kind.
  virtual void AddEvent(uint8_t cls, uint8_t code) {
    (void)cls;
    (void)code;
  }
};

using ToolWindowFactory = std::function<std::unique_ptr<ToolWindow>(ToolWindowOwner& owner)>;
// Returns the factory registered before; an empty function goes back to the interim window.
ToolWindowFactory SetToolWindowFactory(ToolWindowFactory factory);

// The registered tool window, else the interim one.
std::unique_ptr<ToolWindow> CreateToolWindow(ToolWindowOwner& owner);
void FreeToolWindow(std::unique_ptr<ToolWindow>& window);

// The tool window until the palettes bring theirs: the current engine's pencil (paint kind 9) with
// the colours of the settings, its stroke, tool mode 0 (another mode while a document window's
// temporary tool holds it) and the pencil's outline radius; it closes without asking,
// and its panes do nothing.
class InterimToolWindow : public ToolWindow {
 public:
  explicit InterimToolWindow(ToolWindowOwner& owner);
  ~InterimToolWindow() override;

  void Startup() override;
  bool QueryClose() override { return true; }
  void SaveSettings(CAppProfile&) override {}
  void LoadToolCursors() override {}
  void ApplySliderDirection() override {}
  void ResetPosition() override {}
  bool IsVisible() const override { return false; }
  void SetVisible(bool) override {}
  bool OwnsWindow(WindowHandle) const override { return false; }

  TStroke& GetStroke() override { return *stroke_; }
  TPaintParam* GetPaintParam() override { return param_.get(); }
  CPenShapeObj* GetPenShape() override { return penShape_.get(); }
  CToneMngr* GetToneMngr() override { return nullptr; }
  CGradMngr* GetGradMngr() override { return nullptr; }
  const CColorSlotGroup* GetGradientStops() override { return nullptr; }
  void SetupPen(CStrokeMngr* manager, CPenRender& renderer) override;
  void ApplyTool() override;
  void SetForeColor(uint32_t colour) override;
  void SetBackColor(uint32_t colour) override;
  float GetNibSize() override;
  void SetNibSize(float value) override;
  int32_t OutlineExtent() const override { return outline_; }

  int32_t ToolMode() const override { return mode_; }
  void SetToolMode(int32_t mode, bool refresh) override;
  void SelectToolSet(int32_t) override {}
  bool HandleToolKey(int32_t, int32_t) override { return false; }

  void SetDrawWindow(MainFormChild* window) override { bound_ = window; }
  void SetPlaybackMode(int32_t) override {}
  void UpdateLayerPane() override {}
  void UpdateMaskPane() override {}
  void UpdateNavigator() override {}
  void UpdateNaviImage() override {}
  void UpdateInfoPane(int32_t, int32_t, int32_t) override {}

 private:
  ToolWindowOwner& owner_;
  std::unique_ptr<TStroke> stroke_;
  std::unique_ptr<TPaintParam> param_;
  std::unique_ptr<CPenShapeObj> penShape_;
  MainFormChild* bound_ = nullptr;
  int32_t outline_ = 1;
  int32_t mode_ = 0;
};

}  // namespace tf
