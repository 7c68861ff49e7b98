// A document window's widget and main window as headless fakes: the scroll bars keep their
// ranges and positions like the toolkit's, the main window holds the interim tool window, its
// pen renderer and the application's document host.
#pragma once
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "app/AppPaperHost.h"
#include "app/AppProfile.h"
#include "app/DrawWindow.h"
#include "app/ToolWindow.h"
#include "paint/PenRender.h"
#include "paint/PixelWriters.h"
#include "paint/Stroke.h"
#include "platform/Confirm.h"
#include "platform/Debug.h"
#include "platform/Warning.h"

namespace tf::test {

class FakeSite final : public DrawWindowSite {
 public:
  WindowHandle Handle() const override { return reinterpret_cast<WindowHandle>(this); }
  SSize ClientSize() const override { return client; }
  int32_t ScrollBarThickness(bool) const override { return 16; }
  void SetScrollBar(bool horizontal, const SScrollBarGeometry& g) override {
    (horizontal ? h : v) = g;
    int32_t& p = horizontal ? posH : posV;
    p = std::clamp(p, 0, g.MaxPosition());
  }
  void SetScrollBarsVisible(bool on) override { barsVisible = on; }
  bool ScrollBarsVisible() const override { return barsVisible; }
  int32_t ScrollPosition(bool horizontal) const override { return horizontal ? posH : posV; }
  void SetScrollPosition(bool horizontal, int32_t position) override {
    const SScrollBarGeometry& g = horizontal ? h : v;
    (horizontal ? posH : posV) = std::clamp(position, 0, g.MaxPosition());
  }
  void InvalidateClient(const TRect* rect) override {
    ++invalidations;
    if (rect != nullptr) lastRect = *rect;
  }
  void PaintNow() override { ++paints; }
  void SetCursorSlot(int32_t slot) override { cursor = slot; }
  void Beep() override { ++beeps; }
  void SetAutoScrollTimer(bool on) override { timer = on; }
  void SetCaption(const std::string& text) override { caption = text; }
  std::string Caption() const override { return caption; }
  TPoint ClientOrigin() const override { return origin; }
  TPoint MousePosition() const override { return mouse; }
  bool IsMinimized() const override { return minimized; }
  bool IsMaximized() const override { return maximized; }
  SWindowFrame Frame() const override { return {4, 4, 20}; }
  TRect WindowRect() const override { return rect; }
  void SetWindowRect(const TRect& r) override { rect = r; }

  SSize client{400, 300};
  SScrollBarGeometry h, v;
  int32_t posH = 0, posV = 0;
  bool barsVisible = false;
  int32_t invalidations = 0, paints = 0, beeps = 0;
  TRect lastRect{0, 0, 0, 0};
  int32_t cursor = -1;
  bool timer = false;
  std::string caption;
  TPoint origin{100, 50};
  TPoint mouse{0, 0};
  bool minimized = false, maximized = false;
  TRect rect{0, 0, 300, 200};
};

class FakeOwner final : public DrawWindowOwner, public ToolWindowOwner {
 public:
  FakeOwner() {
    tool = std::make_unique<InterimToolWindow>(*this);
    render = std::make_unique<CPenRender>(&tool->GetStroke());
    InitStrokeWriters(tool->GetStroke());
    host = std::make_unique<CAppPaperHost>(AppProfile(), tool.get());
    previousHost = SetPaperHost(host.get());
  }
  ~FakeOwner() override {
    SetPaperHost(previousHost);
    host.reset();
    render.reset();
    tool.reset();
  }
  // DrawWindowOwner.
  ToolWindow* Tool() override { return tool.get(); }
  CPenRender* MainPenRender() override { return render.get(); }
  int32_t StrokeEngine() const override { return engine; }
  bool RenderOrViewerMode() const override { return unattended; }
  bool TabletPenInProximity() const override { return penInRange; }
  void SetStatusText(const std::string& text, int32_t panel) override {
    if (panel >= 0 && panel < 7) panels[panel] = text;
  }
  std::vector<TDrawWindow*> DocumentWindows() override { return windows; }
  void ActivateNextWindow(bool backwards) override { nextWindow.push_back(backwards); }
  SSize MainClientSize() const override { return {1000, 700}; }
  // ToolWindowOwner.
  MainFormChild* ActiveChild() override { return nullptr; }
  void ToggleStrokeEngine() override {}

  std::unique_ptr<InterimToolWindow> tool;
  std::unique_ptr<CPenRender> render;
  std::unique_ptr<CAppPaperHost> host;
  PaperHost* previousHost = nullptr;
  int32_t engine = 2;
  bool unattended = false;
  bool penInRange = false;
  std::string panels[7];
  std::vector<TDrawWindow*> windows;
  std::vector<bool> nextWindow;
};

// A document window with its fakes; a document of the size when given.
struct FakeWindow {
  explicit FakeWindow(int32_t width = 0, int32_t height = 0) {
    window = std::make_unique<TDrawWindow>(site, owner);
    owner.windows.push_back(window.get());
    if (width > 0) ok = window->InitNewDocument("", width, height, false, 72, 0);
  }
  ~FakeWindow() { window.reset(); }
  TPaper& Paper() { return window->Document(); }

  FakeSite site;
  FakeOwner owner;
  std::unique_ptr<TDrawWindow> window;
  bool ok = false;
};

// Fresh settings with their defaults, a recording warning host, the developer output kept.
class DrawWindowTestScope {
 public:
  DrawWindowTestScope() {
    ResetAppProfile();
    AppProfile().LoadAll();
    previousWarnings_ = SetWarningHost(&warnings);
    previousConfirm_ = SetConfirmHost(&confirm);
    previousSink_ = SetDebugSink([this](std::string_view text) { debugLines.emplace_back(text); });
    ResetUntitledCounter();
  }
  ~DrawWindowTestScope() {
    SetDebugSink(previousSink_);
    SetConfirmHost(previousConfirm_);
    SetWarningHost(previousWarnings_);
    ResetAppProfile();
  }
  bool DebugSaid(const std::string& part) const {
    for (const std::string& line : debugLines)
      if (line.find(part) != std::string::npos) return true;
    return false;
  }
  RecordingWarningHost warnings;
  ScriptedConfirmHost confirm;
  std::vector<std::string> debugLines;

 private:
  WarningHost* previousWarnings_ = nullptr;
  ConfirmHost* previousConfirm_ = nullptr;
  DebugSink previousSink_;
};

}  // namespace tf::test
