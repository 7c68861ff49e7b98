// The main window's logic without a window: caption, status bar texts and panel geometry, the
// popup tables and their check marks, the modal gate and the stroke engine switch.
#pragma once
// The Qt main window (app/qt/MainForm.h) draws and routes; everything it decides is here, so it
// is tested headless. MainFormChild is what the main window needs of a document window (the
// document windows implement it).
#include <cstdint>
#include <string>

#include "ResourceTextIds.h"
#include "paper/Paper.h"

namespace tf {

// The program's version as the caption shows it: 4.5.18.
inline constexpr int32_t kVersionMajor = 4;
inline constexpr int32_t kVersionRelease = 18;

// "Tintaframe 4.5.18 Plus", with " Render!" in render mode.
std::string MainCaption(bool renderMode);

// ---- Status bar ----

inline constexpr int32_t kStatusPanelCount = 7;
enum StatusPanel : int32_t {
  kPanelZoom = 0,
  kPanelRotation = 1,
  kPanelInfo = 2,
  kPanelHint = 3,
  kPanelTablet = 4,
  kPanelTabletType = 5,
  kPanelTabletMode = 6,
};

struct SStatusPanel {
  int32_t left = 0;
  int32_t width = 0;  // the hint panel's may be 0 or negative on a narrow bar
  bool raised = false;
  bool centred = true;
};

// The seven panels of a bar of that width: 64 and 64 (raised), 128, bar - 480, 32, 80, 112, each
// starting where the one before ends.
void StatusPanelLayout(int32_t barWidth, SStatusPanel panels[kStatusPanelCount]);
// The panel under x (adding the widths from the left, none past the seventh); -1 for none.
int32_t StatusPanelAt(int32_t barWidth, int32_t x);

// Panel texts. Numbers always with "." as the decimal point.
std::string ZoomText(float percent);
// Of the view rotation in degrees (shown negated).
std::string RotationText(float degrees);
// "%s : %.2f GB" above 0x40000000 bytes, MB from 0x100001, "%d Bytes" up to 1024, else KB.
std::string ByteCountText(const char* label, int64_t bytes);
// The information panel of a document by mode (0 size, 1 total memory, 2 layer memory, 3 undo
// memory); empty without a document.
std::string InfoPanelText(int32_t mode, const TPaper* paper);
std::string TabletStateText(bool open);
std::string TabletTypeText(int32_t type);
std::string TabletModeText(bool tabletCoordinates);

// ---- Popups of the status bar ----

inline constexpr int32_t kZoomPopupCount = 17;
inline constexpr int32_t kZoomPopupActualSize = 8;  // "100%": the actual-size command
// "6.25%" ... "1600%".
std::string ZoomPopupText(int32_t item);
// The ratio of an item (kZoomSteps).
TZoomRatio ZoomPopupRatio(int32_t item);
// The item whose ratio equals the zoom within 0.0001; -1 for none.
int32_t ZoomPopupCheck(float zoom);

inline constexpr int32_t kRotatePopupCount = 4;
extern const TextId kRotatePopupTexts[kRotatePopupCount];
// 0, -90, -180, -270 degrees.
float RotatePopupAngle(int32_t item);
// The item equal to the view rotation (exactly); -1 for none.
int32_t RotatePopupCheck(float degrees);

inline constexpr int32_t kResoPopupCount = 4;
extern const TextId kResoPopupTexts[kResoPopupCount];
inline constexpr int32_t kTabletTypePopupCount = 2;
extern const TextId kTabletTypePopupTexts[kTabletTypePopupCount];
inline constexpr int32_t kTabletModePopupCount = 2;
extern const TextId kTabletModePopupTexts[kTabletModePopupCount];

// ---- Document windows as the main window sees them ----

class MainFormChild {
 public:
  virtual ~MainFormChild() = default;
  // The document; null while it has none.
  virtual TPaper* Paper() = 0;
  virtual std::string Caption() const = 0;
  // Asks about an unsaved document; false keeps the program open. Closes nothing.
  virtual bool CloseQuery() = 0;
  // The document window's timer routine (every 50 ms, also inside modal loops).
  virtual void TimerTick() = 0;
  // The application or the window was activated or deactivated.
  virtual void Activated(bool active) = 0;
  // Drops the current input handler and picks the tool's handler again.
  virtual void SelectToolHandler() = 0;
  // A stroke or a playback runs in it (the engine is not switched then).
  virtual bool StrokeOrPlaybackRunning() const = 0;
  virtual bool IsPlaying() const = 0;
  // Its document selects the stroke engine (1 or 2).
  virtual void UseStrokeEngine(int32_t engine) = 0;
  // View commands of the status bar's popups.
  virtual void ZoomAboutCentre(int32_t numerator, int32_t denominator) = 0;
  virtual void ActualSize() = 0;
  virtual void SetViewRotation(float degrees) = 0;
  // The canvas point under a screen point; false when the point is not on the window's canvas.
  virtual bool ScreenToCanvas(int32_t screenX, int32_t screenY, TPoint& canvas) = 0;
};

// ---- The main window's state ----

// The gate of modal dialogs and of the text tool's semi-modal window: one at a time.
class CModalGate {
 public:
  // False while a modal dialog or the semi-modal window runs; else marks one running.
  bool BeginModal();
  void EndModal() { modal_ = false; }
  // False while the semi-modal window runs (it does not nest); else marks it running.
  bool BeginSemiModal();
  void EndSemiModal() { semiModal_ = false; }
  bool ModalRunning() const { return modal_; }
  bool SemiModalRunning() const { return semiModal_; }

 private:
  bool modal_ = false;
  bool semiModal_ = false;
};

class CMainFormCore {
 public:
  // 1 the older engine, 2 the current one.
  uint8_t strokeEngine = 2;
  bool firstActivationPending = true;
  bool playing = false;
  bool inMenuLoop = false;
  bool scannerBusy = false;
  uint8_t infoPanelMode = 0;
  bool eraserSwitch = false;
  bool eraserSwitchPending = false;
  uint32_t lastPlaybackColour = 0;
  uint32_t lastProgressTime = 0;
  uint32_t lastPaneRefreshTime = 0;
  CModalGate gate;

  // Only when the engine is 1 or 2 it becomes the other one; the active document window is told
  // unless a stroke or a playback runs in it. True when the engine changed.
  bool ToggleStrokeEngine(MainFormChild* active);
  // True once: the delayed start-up runs now.
  bool TakeFirstActivation();
};

}  // namespace tf
