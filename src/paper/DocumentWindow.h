// The document window as the document sees it, and what the document asks of the application.
#pragma once
// A document (TPaper) lives in one document window. The window owns the document and its
// working copy; the document reaches the window only through DocumentWindow: the modified
// flag, the command gate, the scroll bars and caption, invalidation and painting, and the
// playback flags. The Qt window implements it; HeadlessDocumentWindow (paper/HeadlessWindow.h)
// serves tests and unattended playback.
//
// PaperHost is what the document asks of the application beyond its own window: the settings it
// reads, the main window's stroke, the tool window's tone set and gradient options. The
// application installs its host at start-up; the default answers with the settings' defaults
// and no tool objects.
#include <cstdint>

#include "events/RecordSources.h"
#include "paint/Gradient.h"
#include "platform/Window.h"
#include "raster/Geometry.h"

namespace tf {

class TFlowImage;
class TPaper;
class TStroke;
class CToneMngr;
class CPenShapeObj;
class CPenRender;
class CGradMngr;

class DocumentWindow {
 public:
  virtual ~DocumentWindow() = default;

  // The window's working copy of the active layer.
  virtual TFlowImage* GetFlowImage() = 0;
  // The command gate before a document command (a refusal is silent): no ready document, an
  // older-version stream playing, a stroke in progress or the text tool's window open refuse it;
  // a playback refuses it unless allowed (and, with onlyWhenPaused, unless paused).
  virtual bool PrepareCommand(bool allowDuringPlayback, bool onlyWhenPaused) = 0;
  // Sets the modified flag; answers the previous value.
  virtual bool SetModified(bool value) = 0;
  // Recomputes the scroll bars from zoom and canvas size (centre: the canvas point to keep in
  // the middle, or null); the window then feeds the view scroll and offset back.
  virtual void UpdateScrollBars(const TPoint* centre) = 0;
  // Sets the caption from the document's title (TPaper::GetCaption).
  virtual void UpdateCaption(bool clear) = 0;
  // After a command: refits the view when the size changed, repaints, rebinds the stroke and
  // refreshes the tool window's panes.
  virtual void RefreshAfterEdit(bool sizeChanged, bool layersChanged, bool repaint) = 0;
  // Invalidates the whole client area.
  virtual void Invalidate(bool erase) = 0;
  // Paints the invalid part at once (during playback the window repaints before the next step).
  virtual void PaintNow() = 0;
  // Removes the brush outline before the document paints into the window.
  virtual void EraseBrushOutline() = 0;

  virtual WindowHandle Handle() const = 0;
  virtual SSize ClientSize() const = 0;
  // The smooth-drawing state (the smooth display option, off while a scroll thumb is dragged).
  virtual bool SmoothDrawing() const = 0;

  // Playback flags: a recording is playing; its kind (1 for a recording of this version); the
  // window is locked for playback (the recorder's renderer, nib and colour stops are in force).
  virtual bool IsPlaying() const = 0;
  virtual int32_t PlaybackKind() const = 0;
  virtual bool IsLockedForPlayback() const = 0;

  // The stroke, nib and colour stops in force for this window: during playback the player's,
  // else the main window's. Null while the painting engine has none.
  virtual TStroke* CurrentStroke() = 0;
  virtual CPenShapeObj* CurrentPenShape() = 0;
  virtual const CColorSlotGroup* CurrentGradientStops() = 0;
  // The tone set for this document: the recorder's during playback, else the tool window's.
  virtual CToneMngr* ToneMngr() = 0;
  // The dab renderer in force for this window: the recorder's while the window is locked for
  // playback, else the main window's. Null while the painting engine has none.
  virtual CPenRender* CurrentPenRender() { return nullptr; }
  // The stroke engine the user chose in the main window (1 or 2).
  virtual int32_t ChosenStrokeEngine() const { return 2; }
  // The stroke road tells the window a stroke is in progress, and how many points it added.
  virtual void SetStrokeProgress(bool active, int32_t points) {
    (void)active;
    (void)points;
  }
  // Puts the selected part of the layer (the mask's coverage over its pixels) on the clipboard;
  // true when it did. The application's window fills it; without one the copy fails and says so
  // on the developer output.
  virtual bool CopySelectionToClipboard(int32_t layer, int32_t mask);
};

// The one command gate of every document window (a refusal is silent): no ready document, an
// unattended run, an older-version stream playing (no current stroke engine), a stroke in
// progress, the cursor-key move mode or the text tool's window refuse; a playback refuses unless
// allowed, and with onlyWhenPaused unless paused.
struct SCommandGateState {
  bool documentReady = false;
  bool unattendedMode = false;
  bool modernEngine = false;
  bool strokeActive = false;
  bool keyMoveMode = false;
  bool textWindowOpen = false;
  bool playing = false;
  bool playbackPaused = false;
};
bool CommandGateAllows(const SCommandGateState& state, bool allowDuringPlayback, bool onlyWhenPaused);

// Settings of the settings object that the document reads (its registry values), with their
// defaults.
struct SPaperSettings {
  int32_t undoMax = 8;  // undo depth
  int32_t gridW = 32;   // grid steps
  int32_t gridH = 32;
  uint32_t gridColor = 0x80000000u;  // 0xAARRGGBB; the high byte is the line opacity
  bool titleFullpath = false;        // the caption shows the whole path
  int32_t shortcutMode = 0;          // the key that subtracts from a selection: 0 Alt, 1 Ctrl
  // The bucket fill and the magic wand: tolerance (0..500), fill the composed picture instead
  // of the layer, soft edge.
  int32_t fillLimit = 1;
  bool fillTarget = false;
  bool fillAntiAlias = false;
  int32_t wandLimit = 1;
  bool wandTarget = false;
  bool wandAntiAlias = false;
};

class PaperHost {
 public:
  virtual ~PaperHost() = default;
  // The settings as they stand now.
  virtual SPaperSettings Settings() { return {}; }
  // The main window's stroke (the tool window's current one) as every document's recorder reads
  // it, and the tool window's tone set; null while the painting engine has none (the recorder
  // then fails the state groups that need them, loudly).
  virtual IRecordedStroke* MainRecordedStroke() { return nullptr; }
  virtual IRecordedTones* MainRecordedTones() { return nullptr; }
  // The options of the current gradient of the tool window's gradient set (its own, or the
  // set's from the settings gradType, gradMap, gradRep and gradRepCnt).
  virtual SGradOption CurrentGradientOptions() { return {0, 0, 0, 0, 1}; }
  // The gradient set of the main window's tool window (the gradient map filter takes its
  // gradient from it); null while there is none.
  virtual CGradMngr* MainGradMngr() { return nullptr; }
  // The tool window's foreground and background colours (pixel values, alpha 255), which the
  // clouds filters paint with. The default has no tool window: developer output, false.
  virtual bool ToolColours(uint32_t& foreground, uint32_t& background);
};

// Installing null restores the default host. Returns the host installed before.
PaperHost* SetPaperHost(PaperHost* host);
PaperHost& GetPaperHost();
// GetPaperHost().Settings().
SPaperSettings PaperSettings();
// GetPaperHost().MainGradMngr().
CGradMngr* MainGradMngr();

}  // namespace tf
