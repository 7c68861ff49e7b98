// TDrawWindow: life cycle, the command gate, the view refreshes, caption and the close question.
#include "app/DrawWindow.h"
#include "app/PreferenceValues.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>

#include "app/AppProfile.h"
#include "app/PlaybackControl.h"
#include "app/ToolWindow.h"
#include "paint/Stroke.h"
#include "paper/ViewRender.h"
#include "platform/Confirm.h"
#include "platform/Debug.h"
#include "platform/ResourceText.h"
#include "platform/Screen.h"
#include "platform/Warning.h"

namespace tf {

namespace {
int32_t& UntitledCounter() {
  static int32_t counter = 0;
  return counter;
}

// The view's background (0xCCCCCC, the same in either byte order).
constexpr uint32_t kViewBackground = 0xCCCCCCu;

std::string FormatText(const char* format, const std::string& value) {
  std::string out;
  const std::string f = format;
  const size_t at = f.find("%s");
  if (at == std::string::npos) return f;
  out = f.substr(0, at) + value + f.substr(at + 2);
  return out;
}
}  // namespace

void DrawWindowOwner::RepeatFilter() { DebugOut("Filter > Repeat from a document window: the menus are not built yet.\n"); }

void DrawWindowOwner::NewStandardLayer() {
  DebugOut("A new standard layer from a document window: the menus are not built yet.\n");
}

std::string MakeUntitledName() {
  const int32_t n = ++UntitledCounter();
  char text[256];
  std::snprintf(text, sizeof text, Tx(TextId::DrawWindowUntitled), n);
  return text;
}

void ResetUntitledCounter() { UntitledCounter() = 0; }

SCascade& TDrawWindow::Cascade() {
  static SCascade cascade;
  return cascade;
}

TDrawWindow::TDrawWindow(DrawWindowSite& site, DrawWindowOwner& owner) : site_(site), owner_(owner) {
  // 1. - 2.
  for (TRect& r : margins_) r = TRect{0, 0, 0, 0};
  site_.SetCursorSlot(5);
  outlineShown_ = false;
  // 3. The document, its working copy and the window's stroke.
  paper_ = std::make_unique<TPaper>(this);
  paper_->readyHandler = [this](TPaper&, bool ready) {
    if (ready) {
      BindToolWindow(false);
    } else {
      UnbindToolWindow();
    }
  };
  flow_ = std::make_unique<TFlowImage>(paper_.get());
  stroke_ = std::make_unique<TStroke>(0);
  // 4. Flags and margins: half the primary screen's available width.
  const CAppProfile& profile = AppProfile();
  smoothSetting_ = profile.useZoomAntialias;
  smoothNow_ = smoothSetting_;
  const std::vector<MonitorInfo> monitors = GetMonitors();
  int32_t available = monitors.empty() ? GetPrimaryScreenWidth() : monitors.front().workArea.width;
  if (available <= 0) available = GetPrimaryScreenWidth();
  marginX_ = available / 2;
  marginY_ = available / 2;
  inputFlags_ = 0;
  StopAutoScroll();
  // 5.
  setupPosList(10);
  offsets_.clear();
  SelectToolHandler(false);
  // 6.
  SetViewOutsideColour(kViewBackground);
  // 7.
  UpdateVisibleRect();
  if (ToolWindow* tool = owner_.Tool()) tool->UpdateMaskPane();
  // Fitting around the canvas (and stepping the cascade back for the placement after loading)
  // waits for a canvas: a window without one is not fitted.
}

TDrawWindow::~TDrawWindow() {
  destroying_ = true;
  RunAbandonRoutine();
  // The player holds the document: it goes first.
  playback_.reset();
  canvasRegion_.clear();
  UpdateCaption(true);
  UnbindToolWindow();
  positions_.clear();
  offsets_.clear();
  paper_.reset();
  owner_.UpdatePlayingState();
  flow_.reset();
  stroke_.reset();
}

// ---- the tool window's binding ----

namespace {
// The document window the tool window is bound to (one tool window per process).
const TDrawWindow*& BoundToTool() {
  static const TDrawWindow* bound = nullptr;
  return bound;
}
}  // namespace

void TDrawWindow::BindToolWindow(bool apply) {
  ToolWindow* tool = owner_.Tool();
  if (tool == nullptr) return;
  tool->SetDrawWindow(this);
  BoundToTool() = this;
  if (apply) tool->ApplyTool();
}

void TDrawWindow::UnbindToolWindow() {
  // Another window's binding stays: a window closed in the background leaves the active one bound.
  if (BoundToTool() != this) return;
  BoundToTool() = nullptr;
  if (ToolWindow* tool = owner_.Tool()) tool->SetDrawWindow(nullptr);
}

// ---- DocumentWindow ----

bool TDrawWindow::PrepareCommand(bool allowDuringPlayback, bool onlyWhenPaused) {
  SCommandGateState state;
  state.documentReady = paper_ != nullptr && paper_->ready != 0;
  state.unattendedMode = owner_.RenderOrViewerMode();
  state.modernEngine = paper_ != nullptr && paper_->HasModernEngine();
  state.strokeActive = IsStrokeActive();
  state.keyMoveMode = IsInKeyMoveMode();
  state.textWindowOpen = owner_.TextWindowOpen();
  state.playing = playing_;
  state.playbackPaused = IsPlaybackPaused();
  if (!CommandGateAllows(state, allowDuringPlayback, onlyWhenPaused)) return false;
  paper_->UpdateStrokeMngr();
  return true;
}

bool TDrawWindow::SetModified(bool value) {
  const bool previous = modified_;
  modified_ = value;
  return previous;
}

bool TDrawWindow::IsStrokeActive() const {
  if (strokeLock_) return true;
  const CEventMngr* events = paper_ != nullptr ? paper_->EventMngr() : nullptr;
  return events != nullptr && events->isInStroke();
}

void TDrawWindow::SetStrokeProgress(bool active, int32_t points) {
  strokeLock_ = active;
  strokePoints_ = points;
}

void TDrawWindow::Invalidate(bool) {
  if (destroying_) return;
  if (strokeRepaint_) {
    strokeInvalidated_ = true;
    return;
  }
  site_.InvalidateClient(nullptr);
}

void TDrawWindow::PaintNow() {
  if (!destroying_) site_.PaintNow();
}

void TDrawWindow::EraseBrushOutline() {
  if (!outlineShown_) return;
  outlineShown_ = false;
  site_.InvalidateClient(&outlineRect_);
}

void TDrawWindow::DrawBrushOutlineAt(int32_t x, int32_t y) {
  EraseBrushOutline();
  ToolWindow* tool = owner_.Tool();
  const int32_t r = tool != nullptr ? std::max(1, tool->OutlineExtent()) : 1;
  outlineRect_ = TRect{x - r, y - r, x + r + 1, y + r + 1};
  outlineShown_ = true;
  site_.InvalidateClient(&outlineRect_);
}

TStroke* TDrawWindow::MainStroke() {
  ToolWindow* tool = owner_.Tool();
  return tool != nullptr ? &tool->GetStroke() : nullptr;
}

TStroke* TDrawWindow::CurrentStroke() { return boundPlayer_ != nullptr ? boundPlayer_->Stroke() : MainStroke(); }

CPenShapeObj* TDrawWindow::CurrentPenShape() {
  if (boundPlayer_ != nullptr) return boundPlayer_->PlayShape();
  ToolWindow* tool = owner_.Tool();
  return tool != nullptr ? tool->GetPenShape() : nullptr;
}

const CColorSlotGroup* TDrawWindow::CurrentGradientStops() {
  if (boundPlayer_ != nullptr) return &boundPlayer_->Events().slotGroup;
  ToolWindow* tool = owner_.Tool();
  return tool != nullptr ? tool->GetGradientStops() : nullptr;
}

CToneMngr* TDrawWindow::ToneMngr() {
  if (boundPlayer_ != nullptr) return boundPlayer_->Tones();
  ToolWindow* tool = owner_.Tool();
  return tool != nullptr ? tool->GetToneMngr() : nullptr;
}

// ---- caption ----

void TDrawWindow::UpdateCaption(bool clear) {
  if (clear) {
    for (int32_t panel : {kPanelZoom, kPanelRotation, kPanelInfo}) owner_.SetStatusText("", panel);
    return;
  }
  if (paper_ == nullptr) return;
  std::string title;
  paper_->GetCaption(title);
  int32_t number = 1;
  for (TDrawWindow* other : owner_.DocumentWindows()) {
    if (other == this || other == nullptr || other->paper_ == nullptr) continue;
    std::string theirs;
    other->paper_->GetCaption(theirs);
    if (theirs != title) continue;
    ++number;
    other->site_.SetCaption(title + " (" + std::to_string(number) + ")");
  }
  site_.SetCaption(number > 1 ? title + " (1)" : title);
  owner_.SetStatusText(ZoomText(paper_->GetZoom() * 100.0f), kPanelZoom);
  owner_.SetStatusText(RotationText(paper_->rotation.degrees), kPanelRotation);
  owner_.UpdateInfoPanel();
}

// ---- life cycle ----

bool TDrawWindow::CloseQuery() {
  if (!IsUsable() || (inputFlags_ & kInTempTool) != 0) return false;
  if (paper_ == nullptr || !modified_ || paper_->protectedDocument != 0 || paper_->noSavePrompt != 0 ||
      owner_.RenderOrViewerMode())
    return true;
  char text[1024];
  std::snprintf(text, sizeof text, "%s", FormatText(Tx(TextId::DrawWindowSaveQuestion), paper_->filePath).c_str());
  switch (AskYesNoCancel(text)) {
    case kResultNo: return true;
    case kResultYes:
      // Save As comes with the window's commands; until then the window stays.
      DebugOut("Save As is not built yet: the document window stays open.\n");
      return false;
    default: return false;
  }
}

void TDrawWindow::TimerTick() {
  if (paper_ != nullptr && paper_->ready != 0 && paper_->selectionVisible != 0 && paper_->StepAnts())
    site_.InvalidateClient(nullptr);
}

void TDrawWindow::Activated(bool active) {
  if (active) {
    FormActivate();
  } else {
    FormDeactivate();
  }
}

void TDrawWindow::FormActivate() {
  owner_.UpdatePlayingState();
  SelectToolHandler(true);
  if (paper_ == nullptr || paper_->ready == 0) return;
  ApplyPreferences(false);
  if (!IsStrokeActive() && !playing_) paper_->SelectStrokeEngine(owner_.StrokeEngine());
  paper_->SyncStrokeState(true);
  BindToolWindow(true);
  UpdateCaption(false);
  const TPoint mouse = site_.MousePosition();
  UpdateToolCursor(mouse.x, mouse.y);
}

void TDrawWindow::FormDeactivate() {
  if (paper_ != nullptr && paper_->ready != 0) {
    if (IsStrokeActive()) {
      if (TStroke* stroke = MainStroke()) {
        const TPoint at = CanvasToClient(owner_.LastPenPosition());
        StrokeEnd(*stroke, false, static_cast<float>(at.x), static_cast<float>(at.y));
      }
    }
    paper_->SyncStrokeState(false);
  }
  EraseBrushOutline();
}

void TDrawWindow::UseStrokeEngine(int32_t engine) {
  if (paper_ != nullptr) paper_->SelectStrokeEngine(engine);
}

bool TDrawWindow::ScreenToCanvas(int32_t screenX, int32_t screenY, TPoint& canvas) {
  if (paper_ == nullptr || paper_->ready == 0) return false;
  const TPoint origin = site_.ClientOrigin();
  const TPoint p = ClientToCanvasInt(screenX - origin.x, screenY - origin.y);
  if (p.x < 0 || p.y < 0 || p.x >= paper_->canvasWidth || p.y >= paper_->canvasHeight) return false;
  canvas = p;
  return true;
}

bool TDrawWindow::InitNewDocument(const std::string& name, int32_t width, int32_t height, bool transparent,
                                  int32_t resolution, int32_t creationFlag) {
  if (!paper_->NewDocument(name, flow_.get(), transparent, creationFlag != 0, resolution, height, width)) return false;
  if (!paper_->CreateStrokeMngr()) return false;
  paper_->SelectStrokeEngine(owner_.StrokeEngine());
  paper_->SyncStrokeState(true);
  BindToolWindow(true);
  UpdateCaption(false);
  FitWindowToImage(true);
  const int32_t adjust = AppProfile().AutoSizeAdjust;
  if (site_.IsMaximized() && (adjust & 1) != 0) {
    ZoomToFit(false, (adjust & 4) == 0);
  } else {
    PlaceCanvas();
  }
  ScrollToCanvasPoint(false, static_cast<float>(width) / 2.0f, static_cast<float>(height) / 2.0f);
  return true;
}

void TDrawWindow::FormResize() {
  if (paper_ == nullptr || paper_->ready == 0 || site_.IsMinimized()) return;
  Render(ViewNeedsRebuild(), nullptr);
  NavigatorChanged();
}

// ---- view refreshes ----

bool TDrawWindow::ViewNeedsRebuild() const {
  if (paper_ == nullptr) return false;
  return !(paper_->showCanvasColor != 0 && paper_->IsWholeZoomView() && !paper_->IsRotated());
}

void TDrawWindow::Render(bool rebuild, const TPoint* position) {
  if (paper_ == nullptr || paper_->ready == 0) return;
  UpdateScrollBars(position);
  if (rebuild) paper_->RenderView();
  site_.PaintNow();
}

void TDrawWindow::RefreshView(bool rebuild) {
  if (paper_ == nullptr || paper_->ready == 0) return;
  UpdateScrollBars(nullptr);
  if (rebuild) paper_->RenderView();
  BuildCanvasRegion();
  site_.PaintNow();
}

void TDrawWindow::InvalidateView(bool rebuild, bool erase) {
  (void)erase;
  if (paper_ == nullptr) return;
  if (rebuild) {
    ApplyScrollPosition(site_.ScrollPosition(true), site_.ScrollPosition(false));
    paper_->RenderView();
  }
  site_.InvalidateClient(nullptr);
}

void TDrawWindow::RedrawDocument() {
  if (paper_ == nullptr || paper_->ready == 0) return;
  paper_->RedrawAll(true);
  paper_->UpdateThumbnailsAll(false, paper_->GetActiveLayerIndex());
  RefreshView(ViewNeedsRebuild());
}

void TDrawWindow::RedrawCanvasRect(const SRectWH& rect) {
  if (paper_ == nullptr || paper_->ready == 0) return;
  paper_->ComposeRect(rect, true);
  paper_->UpdateThumbnailsRect(false, paper_->GetActiveLayerIndex(), rect);
  RefreshView(ViewNeedsRebuild());
}

void TDrawWindow::SuspendSmoothing() {
  if (!smoothNow_) return;
  smoothNow_ = false;
}

void TDrawWindow::RestoreSmoothing() {
  if (smoothNow_ == smoothSetting_) return;
  smoothNow_ = smoothSetting_;
  if (smoothNow_ && paper_ != nullptr && paper_->ready != 0) Render(ViewNeedsRebuild(), nullptr);
}

void TDrawWindow::SetZoomAntialias(bool on) {
  if (smoothSetting_ == on && smoothNow_ == on) return;
  smoothSetting_ = on;
  smoothNow_ = on;
  if (on) Render(ViewNeedsRebuild(), nullptr);
  std::string text = Tx(TextId::DrawWindowSmoothDisplay);
  text += ' ';
  text += Tx(on ? TextId::DrawWindowOn : TextId::DrawWindowOff);
  owner_.SetStatusText(text, kPanelHint);
}

void TDrawWindow::ApplyPreferences(bool flag) {
  if (paper_ == nullptr) return;
  const CAppProfile& profile = AppProfile();
  paper_->SetGrid(paper_->gridVisible != 0, profile.gridW, profile.gridH, flag);
  paper_->ApplyUndoDepth();
  UpdateScrollBars(nullptr);
}

void TDrawWindow::FillViewBackground(TMTC& image, const TRect* rect) {
  if (!image.IsValid()) return;
  SRectWH area{0, 0, image.Width(), image.Height()};
  if (rect != nullptr && !ClipRectToBounds(area, *rect)) return;
  image.FillRect(area, 0xFF000000u | kViewBackground);
}

bool TDrawWindow::setupPosList(int32_t capacity) {
  positions_.clear();
  try {
    positions_.reserve(static_cast<size_t>(std::max(capacity, 4)));
  } catch (const std::exception&) {
    ShowWarningBox(Tx(TextId::DrawWindowPosListFailed), 0, nullptr);
    return false;
  }
  return true;
}

// ---- mapping ----

void TDrawWindow::ClientToCanvasF(float x, float y, float& cx, float& cy) const {
  const SSize client = site_.ClientSize();
  cx = x;
  cy = y;
  paper_->ClientToCanvas(client.width, client.height, cx, cy);
}

TPoint TDrawWindow::ClientToCanvasInt(int32_t x, int32_t y) const {
  float cx = 0, cy = 0;
  ClientToCanvasF(static_cast<float>(x), static_cast<float>(y), cx, cy);
  return {TruncToInt(std::nearbyint(cx)), TruncToInt(std::nearbyint(cy))};
}

TPoint TDrawWindow::CanvasToClient(const TPoint& canvas) const {
  TPoint p = canvas;
  paper_->CanvasToClientPoint(p);
  return p;
}

void TDrawWindow::UpdateVisibleRect() {
  if (paper_ == nullptr) return;
  if (!paper_->GetVisibleCanvasRect(visibleRect_)) visibleRect_ = TRect{0, 0, 0, 0};
}

void TDrawWindow::BuildCanvasRegion() {
  canvasRegion_.clear();
  if (paper_ == nullptr || paper_->ready == 0) return;
  const float w = static_cast<float>(paper_->canvasWidth);
  const float h = static_cast<float>(paper_->canvasHeight);
  const float xs[4] = {0, w, w, 0};
  const float ys[4] = {0, 0, h, h};
  for (int32_t i = 0; i < 4; ++i) {
    float x = xs[i], y = ys[i];
    paper_->CanvasToClient(x, y);
    canvasRegion_.push_back({TruncToInt(x), TruncToInt(y)});
  }
}

}  // namespace tf

namespace tf {
namespace {

// The preferences dialog's document half: the window re-reads its grid and undo settings.
const bool kPreferencesApplierRegistered = [] {
  SetDocumentPreferencesApplier([](MainFormChild* child) {
    auto* window = dynamic_cast<TDrawWindow*>(child);
    if (window == nullptr) return false;
    window->ApplyPreferences(true);
    return true;
  });
  return true;
}();

}  // namespace
}  // namespace tf
