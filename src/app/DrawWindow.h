// TDrawWindow: the document window without its widgets: its state, the command gate, the view
// (scroll bars, zoom, rotation, fitting), the tool input dispatch and the pen stroke road.
#pragma once
// The window owns its document (TPaper) and the working copy. It reaches its widget through
// DrawWindowSite (client size, scroll bars, repaint, cursor, beep, timer, caption, screen
// mapping, window state and frame) and the main window through DrawWindowOwner (tool window,
// stroke engine, tablet, status bar, the other document windows). The Qt window
// (app/qt/DrawWindowWidget.h) implements the site inside a QMdiSubWindow; tests use fakes.
//
// Sources by area: DrawWindow.cpp (life cycle, gate, painting order, caption, close question),
// DrawWindowView.cpp (scrolling, zoom, rotation, fitting), DrawWindowInput.cpp (mouse and key
// dispatch, temporary tools, auto-scroll, colour pick) and DrawWindowStroke.cpp (the stroke road).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/MainFormCore.h"
#include "app/ToolDispatch.h"
#include "app/ViewGeometry.h"
#include "paper/DocumentWindow.h"
#include "paper/FlowImage.h"
#include "paper/Paper.h"
#include "playback/Player.h"

namespace tf {

class CPenRender;
class CPlaybackControl;
class PlaybackControlSite;
class RunResultHost;
class TDrawWindow;
struct TEventReportParam;
class TStroke;
class ToolWindow;

// The frame of the window as the window system measures it (one side's frame, the caption).
struct SWindowFrame {
  int32_t frameWidth = 0;
  int32_t frameHeight = 0;
  int32_t captionHeight = 0;
};

// What the window needs of its widget.
class DrawWindowSite {
 public:
  virtual ~DrawWindowSite() = default;
  virtual WindowHandle Handle() const = 0;
  virtual SSize ClientSize() const = 0;
  // Height of the horizontal bar and width of the vertical one.
  virtual int32_t ScrollBarThickness(bool horizontal) const = 0;
  virtual void SetScrollBar(bool horizontal, const SScrollBarGeometry& geometry) = 0;
  virtual void SetScrollBarsVisible(bool visible) = 0;
  virtual bool ScrollBarsVisible() const = 0;
  virtual int32_t ScrollPosition(bool horizontal) const = 0;
  // Sets the bar's position without reporting a scroll.
  virtual void SetScrollPosition(bool horizontal, int32_t position) = 0;
  // The client area (or a part of it, client coordinates) is to be painted again.
  virtual void InvalidateClient(const TRect* rect) = 0;
  // The back buffer is refreshed and the window painted at once.
  virtual void PaintNow() = 0;
  // 0 hides the cursor; else a cursor slot (app/qt/CursorSlots.h).
  virtual void SetCursorSlot(int32_t slot) = 0;
  virtual void Beep() = 0;
  virtual void SetAutoScrollTimer(bool on) = 0;
  virtual void SetCaption(const std::string& caption) = 0;
  virtual std::string Caption() const = 0;
  // The client origin on the screen, and the mouse in client coordinates.
  virtual TPoint ClientOrigin() const = 0;
  virtual TPoint MousePosition() const = 0;
  virtual bool IsMinimized() const = 0;
  virtual bool IsMaximized() const = 0;
  virtual SWindowFrame Frame() const = 0;
  // The outer rectangle inside the main window's document area, and setting it.
  virtual TRect WindowRect() const = 0;
  virtual void SetWindowRect(const TRect& rect) = 0;
  // The close the window asked for (the close action frees it).
  virtual void RequestClose() {}
};

// What the window needs of the main window.
class DrawWindowOwner {
 public:
  virtual ~DrawWindowOwner() = default;
  // The tool window; null while there is none.
  virtual ToolWindow* Tool() = 0;
  virtual CPenRender* MainPenRender() = 0;
  // 1 the older engine, 2 the current one.
  virtual int32_t StrokeEngine() const { return 2; }
  virtual bool RenderOrViewerMode() const { return false; }
  virtual bool TextWindowOpen() const { return false; }
  // The tablet's context is open and its pen is in range.
  virtual bool TabletPenInProximity() const { return false; }
  virtual TPoint LastPenPosition() const { return lastPen_; }
  virtual void SetLastPenPosition(const TPoint& point) { lastPen_ = point; }
  virtual void SetLastStrokeTime(uint32_t time) { lastStrokeTime = time; }
  virtual void UpdatePlayingState() {}
  // The status bar's information panel for the active document.
  virtual void UpdateInfoPanel() {}
  virtual void SetStatusText(const std::string& text, int32_t panel) {
    (void)text;
    (void)panel;
  }
  // The document windows in window order.
  virtual std::vector<TDrawWindow*> DocumentWindows() { return {}; }
  virtual void ActivateNextWindow(bool backwards) { (void)backwards; }
  // F4 in a document window asks the main window to close.
  virtual void PostMainClose() {}
  // The main window's document area (its client), and its tool window's width beside it.
  virtual SSize MainClientSize() const { return {0, 0}; }
  virtual int32_t ToolWindowWidth() const { return 0; }
  // Commands of the menus: Filter > Repeat and a new standard layer. Until the menus are built
  // they refuse with a developer-output line.
  virtual void RepeatFilter();
  virtual void NewStandardLayer();
  // The end of a playback: the report dialog (until the main window shows it, a developer-output
  // line says it was not shown), and where the viewer and render modes deliver their result.
  virtual void ShowEventReport(const TEventReportParam& report);
  virtual RunResultHost* RunResults() { return nullptr; }
  // The playback's progress for the tool window (the main window throttles it).
  virtual void ShowPlaybackProgress(int32_t done, int32_t total, uint32_t startTime) {
    (void)done;
    (void)total;
    (void)startTime;
  }

  uint32_t lastStrokeTime = 0;

 private:
  TPoint lastPen_{0, 0};
};

// Mouse buttons of the dispatch.
enum class MouseButton : uint8_t { kLeft = 0, kRight = 1, kMiddle = 2 };

// Shift-state bits of the toolkit (mouse and key events).
enum ShiftState : uint32_t {
  kSsShift = 0x01,
  kSsAlt = 0x02,
  kSsCtrl = 0x04,
  kSsLeft = 0x08,
  kSsRight = 0x10,
  kSsMiddle = 0x20,
  kSsDouble = 0x40,
};

// Input flag bits.
enum InputFlag : uint16_t {
  kInLeft = 1 << 0,
  kInRight = 1 << 1,
  kInMiddle = 1 << 2,
  kInDrag = 1 << 3,
  kInChanged = 1 << 4,
  kInIgnoreMouse = 1 << 5,
  kInCollecting = 1 << 6,
  kInKeyMove = 1 << 7,
  kInCallback = 1 << 8,
  kInTempTool = 1 << 9,
  kInOverlay = 1 << 10,
};

// Key codes of the window's shortcuts (virtual keys).
enum DrawKey : int32_t {
  kKeyBack = 8,
  kKeyEnter = 13,
  kKeyEscape = 27,
  kKeyLeft = 37,
  kKeyDown = 40,
  kKeyInsert = 45,
  kKeyDelete = 46,
  kKeyF = 0x46,
  kKeyN = 0x4E,
  kKeyF4 = 0x73,
  kKeyF5 = 116,
  kKeyF6 = 117,
  kKeyPadPlus = 107,
  kKeyPadMinus = 109,
  kKeyPlus = 187,
  kKeyMinus = 189,
};

// Untitled names: "名称未設定 %d" with a counter that rises before each use.
std::string MakeUntitledName();
void ResetUntitledCounter();

class TDrawWindow final : public DocumentWindow, public MainFormChild, public PlaybackHost {
 public:
  // FormCreate: the document, its working copy and the window's own stroke; flags, margins,
  // position list, handler record, outside colour, the first fit with the cascade stepped back.
  TDrawWindow(DrawWindowSite& site, DrawWindowOwner& owner);
  // FormDestroy.
  ~TDrawWindow() override;
  TDrawWindow(const TDrawWindow&) = delete;
  TDrawWindow& operator=(const TDrawWindow&) = delete;

  TPaper& Document() { return *paper_; }
  TFlowImage& Flow() { return *flow_; }
  DrawWindowSite& Site() { return site_; }
  DrawWindowOwner& Owner() { return owner_; }

  // ---- DocumentWindow ----
  TFlowImage* GetFlowImage() override { return flow_.get(); }
  bool PrepareCommand(bool allowDuringPlayback, bool onlyWhenPaused) override;
  bool SetModified(bool value) override;
  void UpdateScrollBars(const TPoint* centre) override;
  void UpdateCaption(bool clear) override;
  void RefreshAfterEdit(bool sizeChanged, bool layersChanged, bool rebuild) override;
  void Invalidate(bool erase) override;
  void PaintNow() override;
  void EraseBrushOutline() override;
  WindowHandle Handle() const override { return site_.Handle(); }
  SSize ClientSize() const override { return site_.ClientSize(); }
  bool SmoothDrawing() const override { return smoothNow_; }
  bool IsPlaying() const override { return playing_; }
  int32_t PlaybackKind() const override { return playbackSource_; }
  bool IsLockedForPlayback() const override { return false; }
  TStroke* CurrentStroke() override;
  CPenShapeObj* CurrentPenShape() override;
  const CColorSlotGroup* CurrentGradientStops() override;
  CToneMngr* ToneMngr() override;
  CPenRender* CurrentPenRender() override { return owner_.MainPenRender(); }
  int32_t ChosenStrokeEngine() const override { return owner_.StrokeEngine(); }
  void SetStrokeProgress(bool active, int32_t points) override;

  // ---- MainFormChild ----
  TPaper* Paper() override { return paper_.get(); }
  std::string Caption() const override { return site_.Caption(); }
  bool CloseQuery() override;
  void TimerTick() override;
  void Activated(bool active) override;
  void SelectToolHandler() override { SelectToolHandler(true); }
  bool StrokeOrPlaybackRunning() const override { return IsStrokeActive() || playing_; }
  void UseStrokeEngine(int32_t engine) override;
  void ZoomAboutCentre(int32_t numerator, int32_t denominator) override { SetZoomRatio(numerator, denominator, false); }
  void ActualSize() override { ZoomToActualSize(false); }
  void SetViewRotation(float degrees) override { SetViewRotation(true, degrees); }
  bool ScreenToCanvas(int32_t screenX, int32_t screenY, TPoint& canvas) override;

  // ---- life cycle ----
  void FormActivate();
  void FormDeactivate();
  // The document is initialised and shown (NewDocumentWindow's steps 2 to 4); false when the
  // document refused the size.
  bool InitNewDocument(const std::string& name, int32_t width, int32_t height, bool transparent, int32_t resolution,
                       int32_t creationFlag);
  // Resize of the client: the view is rendered again.
  void FormResize();

  // ---- state ----
  bool IsUsable() const { return (inputFlags_ & kInKeyMove) == 0; }
  bool IsInKeyMoveMode() const { return (inputFlags_ & kInKeyMove) != 0; }
  bool IsStrokeActive() const;
  bool IsModified() const { return modified_; }
  bool IsPlaybackPaused() const { return playbackPaused_; }
  uint16_t InputFlags() const { return inputFlags_; }
  void SetInputFlags(uint16_t flags) { inputFlags_ = flags; }
  void SetInputFlag(uint16_t flag, bool on) { inputFlags_ = on ? (inputFlags_ | flag) : (inputFlags_ & ~flag); }
  int32_t StrokePointCount() const { return strokePoints_; }
  const std::string& DocumentPath() const { return documentPath_; }
  void SetDocumentPath(const std::string& path) { documentPath_ = path; }
  // Playback flags, set by the playback control.
  void SetPlaying(bool playing) { playing_ = playing; }
  void SetPlaybackPaused(bool paused) { playbackPaused_ = paused; }
  TPoint PressPoint() const { return pressPoint_; }
  TPoint LastMousePoint() const { return lastMouse_; }
  SPointF LastCanvasPoint() const { return lastCanvas_; }
  int32_t MarginX() const { return marginX_; }
  int32_t MarginY() const { return marginY_; }
  const TRect& VisibleCanvasRect() const { return visibleRect_; }
  // Margin strips in client coordinates: left, right, top, bottom.
  const TRect* MarginRects() const { return margins_; }
  std::vector<TPoint>& PositionList() { return positions_; }
  // The shape tools: the fixed points of the position list, the press point and the last drag
  // point as they move them.
  int32_t& ShapeCount() { return shapeCount_; }
  void SetPressPoint(const TPoint& point) { pressPoint_ = point; }
  TPoint LastDragPoint() const { return lastDrag_; }
  void SetLastDragPoint(const TPoint& point) { lastDrag_ = point; }
  // The view and move tools: the value at the press (a rotation in radians, a brush size).
  float& ValueAtPress() { return valueAtPress_; }
  TPoint& OffsetAtPress() { return offsetAtPress_; }
  // The offsets of the layers a move drag previews (first the layer index, then its offset).
  std::vector<TPoint>& OffsetList() { return offsets_; }
  // A drag that changes the document unrecorded for its preview (the move tools) leaves a routine
  // that puts the document back; every end of the drag but its own release runs it once (a
  // button ended without a point, a tool change, the window closing).
  using AbandonRoutine = void (*)(TDrawWindow& window);
  void SetAbandonRoutine(AbandonRoutine routine) { abandon_ = routine; }
  bool IsDestroying() const { return destroying_; }
  bool HasAbandonRoutine() const { return abandon_ != nullptr; }
  void RunAbandonRoutine() {
    AbandonRoutine routine = abandon_;
    abandon_ = nullptr;
    if (routine != nullptr) routine(*this);
  }

  // ---- view (5.111) ----
  void Render(bool rebuild, const TPoint* position);
  void RefreshView(bool rebuild);
  void InvalidateView(bool rebuild, bool erase);
  void RedrawDocument();
  void RedrawCanvasRect(const SRectWH& rect);
  void SetZoomAntialias(bool on);
  bool SmoothSetting() const { return smoothSetting_; }
  // Suspends smoothed display for a drag, and restores it from the setting.
  void SuspendSmoothing();
  void RestoreSmoothing();
  void UpdateToolCursor(int32_t x, int32_t y);
  void UpdateVisibleRect();
  // The canvas outline in client coordinates (the clip of the outline and the overlays).
  void BuildCanvasRegion();
  const std::vector<TPoint>& CanvasRegion() const { return canvasRegion_; }
  void ApplyPreferences(bool flag);
  // Fills the rectangle (or the whole picture) with the view's background grey: the document
  // clears a client-sized view buffer with it.
  static void FillViewBackground(TMTC& image, const TRect* rect);
  // The view needs the document's view buffer rebuilt (everything but a whole-number zoom with
  // the canvas colour shown, unrotated).
  bool ViewNeedsRebuild() const;
  bool setupPosList(int32_t capacity);

  // Coordinate mapping.
  void ClientToCanvasF(float x, float y, float& cx, float& cy) const;
  TPoint ClientToCanvasInt(int32_t x, int32_t y) const;
  TPoint CanvasToClient(const TPoint& canvas) const;

  // Brush outline: shown, where, and the rectangle for a pointer position.
  bool BrushOutlineShown() const { return outlineShown_; }
  const TRect& BrushOutlineRect() const { return outlineRect_; }
  void DrawBrushOutlineAt(int32_t x, int32_t y);

  // ---- view (5.118) ----
  void ApplyScrollPosition(int32_t horizontal, int32_t vertical);
  void ScrollToCanvasPoint(bool refit, float x, float y);
  void SetViewCenter(float x, float y);
  void ScrollBy(int32_t dx, int32_t dy);
  void ZoomStep(bool in);
  void ZoomStepAt(const TPoint& client, bool in);
  void ZoomToFit(bool refit, bool allowEnlarge);
  void ZoomToActualSize(bool refit);
  void SetZoomRatio(int32_t numerator, int32_t denominator, bool refit);
  bool CanZoomToFit() const;
  bool IsAutoFitOn() const;
  void SetViewRotation(bool keepCentre, float degrees);
  void ResetViewRotation();
  void PlaceCanvas();
  void FitWindowToImage(bool cascade);
  // Scroll bar events: the code and the bar's new position.
  enum class ScrollCode : uint8_t { kLine, kPage, kTrack, kPosition, kEnd };
  void ScrollBarScroll(bool horizontal, ScrollCode code, int32_t position);
  // The mouse wheel: one step per call, in when the delta is negative.
  void WheelStep(int32_t delta);
  // The process-wide cascade counter.
  static SCascade& Cascade();

  // ---- input (5.112) ----
  void FormMouseDown(MouseButton button, uint32_t shift, int32_t x, int32_t y);
  void FormMouseMove(uint32_t shift, int32_t x, int32_t y);
  void FormMouseUp(MouseButton button, uint32_t shift, int32_t x, int32_t y);
  // A key-down of the window; autoRepeat is key data bit 30. True when handled here or by the
  // tool's key routine.
  bool KeyDown(int32_t key, bool autoRepeat, uint32_t shift);
  // Key up and system keys: the cursor follows the modifiers.
  void KeyUp();
  bool HandleCloseKey(int32_t key);
  void TimerAutoScrollTimer();
  void StopAutoScroll();
  void SelectToolHandler(bool cancelOld);
  const SToolHandler& Handler() const { return *handler_; }
  // Installs the record that ignores every tool input (a window whose event file failed).
  void InstallIdleHandler();
  bool BeginTempTool(int32_t group, int32_t variant);
  void EndTempTool(bool refresh);
  // The temporary tool the held keys select; false for none.
  bool GetTempTool(int32_t& group, int32_t& variant, bool forHover) const;
  void EndButton(MouseButton button, uint32_t shift, const TPoint* point);
  void FinishPending();
  // The common cancel routine.
  void Finish(const TPoint* point);
  void PickColourAt(const TPoint& client, uint32_t shift);
  void TrackPointer(const TPoint& client);
  bool CanRefreshPanes() const;
  // The current tool mode: the tool window's (0 without one).
  int32_t ToolMode() const;
  bool PressAllowed() const;

  // ---- playback of recordings (DrawWindowPlayback.cpp) ----
  // Loads the event file into this window's fresh document and starts playing it; false when
  // it could not start (the window then ignores tool input).
  bool OpenEventFile(const std::string& path);
  // One tick of playback: 0 played, 1 waiting, paused or busy, 2 ended, 3 failed (and ended).
  uint8_t PlaybackStep();
  void SetPlaybackPause(bool paused);
  // The window plays a current stream.
  bool IsEventPlayback() const { return playing_ && playbackSource_ == 1; }
  // Asks the stop question at the next tick.
  void RequestPlaybackStop();
  CPlaybackControl* Playback() const { return playback_.get(); }
  // PlaybackHost.
  void BindPlayer(CPlayer* player) override;
  bool QuietMode() const override { return owner_.RenderOrViewerMode(); }
  bool RenderMode() const override;
  void ShowPlaybackPen(const SPlaybackPen& pen) override;

  // ---- strokes ----
  int32_t StrokeTo(TStroke& stroke, bool fromTablet, float x, float y, float pressure);
  void StrokeEnd(TStroke& stroke, bool fromTablet, float x, float y);
  // The main window's stroke (the tool window's); null without a tool window.
  TStroke* MainStroke();
  static constexpr int32_t kStrokePointLimit = 60000;
  // The minimum distance between two points of a stroke at the zoom (engine 2, else the older).
  static float MinimumPointDistance(int32_t engine, float zoom);

 private:
  friend struct ToolHandlers;
  void ViewInputs(SViewInputs& in) const;
  // The view's inputs, the bars computed from them and handed to the widget.
  void SetBarGeometry(SViewInputs& in, SScrollBarGeometry& horizontal, SScrollBarGeometry& vertical);
  // Renders the view after a scroll: the document's view buffer moves by the whole client pixels
  // the scroll moved and only the uncovered strips are rendered, when the view before and after
  // differ by such a shift; else the whole view. Then paints.
  void RenderScrolled(const TPoint& centreBefore);
  bool ShiftViewBuffer(const TPoint& centreBefore);
  TPoint ViewCentre() const;
  void ShowRotationPanel();
  void NavigatorChanged();
  void EndStrokeAtLimit(TStroke& stroke);
  // Binds the tool window to this window (and hands it the current settings with apply); the
  // unbinding leaves a binding to another window as it is.
  void BindToolWindow(bool apply);
  void UnbindToolWindow();
  // A pen position (screen coordinates from the tablet, else client) as canvas coordinates; its
  // truncation is the main window's last pen position, and the answer.
  TPoint MapPenPoint(bool fromTablet, float x, float y, float& cx, float& cy);
  int32_t EffectiveToolMode() const;
  void MarkStrokeRect(const SRectWH& canvasRect);

  DrawWindowSite& site_;
  DrawWindowOwner& owner_;
  std::unique_ptr<TPaper> paper_;
  std::unique_ptr<TFlowImage> flow_;
  std::unique_ptr<TStroke> stroke_;
  std::string documentPath_;
  std::string eventFilePath_;
  uint32_t playbackStartTime_ = 0;
  uint8_t playbackSource_ = 0;
  bool playing_ = false;
  bool stopRequested_ = false;
  bool playbackPaused_ = false;
  bool inStep_ = false;
  bool modified_ = false;
  bool autoScrolled_ = false;
  bool smoothSetting_ = false;
  bool smoothNow_ = false;
  int32_t marginX_ = 0;
  int32_t marginY_ = 0;
  uint16_t inputFlags_ = 0;
  TPoint lastMouse_{0, 0};
  SPointF lastCanvas_{0, 0};
  TPoint pressPoint_{0, 0};
  TPoint lastDrag_{0, 0};
  uint8_t savedToolMode_ = 0;
  std::vector<TPoint> canvasRegion_;
  TRect visibleRect_{0, 0, 0, 0};
  TRect margins_[4] = {};
  const SToolHandler* handler_ = nullptr;
  std::vector<TPoint> positions_;
  int32_t shapeCount_ = 0;
  float valueAtPress_ = 0.0f;
  TPoint offsetAtPress_{0, 0};
  AbandonRoutine abandon_ = nullptr;
  std::vector<TPoint> offsets_;
  bool strokeLock_ = false;
  int32_t strokePoints_ = 0;
  bool outlineShown_ = false;
  TRect outlineRect_{0, 0, 0, 0};
  // Inside StrokeTo: the document's whole-window invalidation is replaced by the stroke's rectangle.
  bool strokeRepaint_ = false;
  bool strokeInvalidated_ = false;
  int32_t temporaryMode_ = -1;
  bool destroying_ = false;
  std::unique_ptr<PlaybackControlSite> playbackSite_;
  std::unique_ptr<CPlaybackControl> playback_;
  CPlayer* boundPlayer_ = nullptr;
};

}  // namespace tf
