// CPlaybackControl: the document window's side of playing a recording back: when steps run, what
// the window and the tool window show meanwhile, the stop question, the end and its report.
#pragma once
// The window owns one while it plays a current stream (a CPlayer over the window's document).
// The main window's timer and idle hook call Step for the active window; the window's keys call
// SetPaused. Everything reaches the window through PlaybackControlSite, so tests drive the same
// code over a headless window with a recording site and an injected clock (platform/Clock.h).
//
// A step that fails ends the playback: the report says it stopped by an error, the stream is
// discarded (cut inside a failed step it would not replay to the picture shown) and in the viewer
// and render modes the run ends with the bad-file result.
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "app/EventReport.h"

namespace tf {

class CPlayer;
class DocumentWindow;
class PlaybackHost;
class RunResultHost;
class TMTC;
class TPaper;
class ToolWindow;

// What the playback control needs of its window.
class PlaybackControlSite {
 public:
  virtual ~PlaybackControlSite() = default;
  virtual TPaper& Paper() = 0;
  // The window the player binds to (its stroke, renderer and pen while playing).
  virtual PlaybackHost& Host() = 0;
  // Refreshes after a step (RefreshAfterEdit, UpdateCaption).
  virtual DocumentWindow& Window() = 0;
  // The tool window; null while there is none.
  virtual ToolWindow* Tool() = 0;
  // The viewer or render mode: the end goes to the run's result host instead of the report.
  virtual bool RenderOrViewerMode() const { return false; }
  virtual RunResultHost* ResultHost() { return nullptr; }
  // The report dialog.
  virtual void ShowReport(const TEventReportParam& report) = 0;
  // The event log pane gets the kind of the last packet.
  virtual void AddEventLog(uint8_t cls, uint8_t code) {
    (void)cls;
    (void)code;
  }
  // The tool window's progress (steps done, total, start time); the main window throttles it.
  virtual void ShowProgress(int32_t done, int32_t total, uint32_t startTime) {
    (void)done;
    (void)total;
    (void)startTime;
  }
  // Smoothed display on or off (off while playing when PlayAntiOff is set).
  virtual void SetSmoothing(bool on) { (void)on; }
  // The event log pane's caption ("イベント - 一時停止" / "イベント - 再生").
  virtual void SetEventPaneCaption(const std::string& caption) { (void)caption; }
};

// Step answers.
enum PlaybackStepAnswer : uint8_t {
  kStepPlayed = 0,
  kStepWaiting = 1,  // waiting, paused or busy
  kStepEnded = 2,
  kStepFailed = 3,
};

inline constexpr int32_t kThumbnailLongSide = 96;

// The tenth of the playback a step reaches (-1: none yet): min((done + 1) x 100 / (total x 10) - 1,
// 9) in 64 bits; -1 when the total is 0 or less.
int32_t ProgressTenth(int32_t done, int32_t total);
// A thumbnail's size: 96 on the long side, the other side in proportion and at least 1.
void ThumbnailSize(int32_t width, int32_t height, int32_t& thumbWidth, int32_t& thumbHeight);
// The recorder leaves playback and records onto the end of the stream; a protected stream, or
// one that cannot leave playback (with the warning), is discarded and the answer is false.
bool ContinueRecording(TPaper& paper, CPlayer* player, bool force);

class CPlaybackControl {
 public:
  explicit CPlaybackControl(PlaybackControlSite& site);
  ~CPlaybackControl();
  CPlaybackControl(const CPlaybackControl&) = delete;
  CPlaybackControl& operator=(const CPlaybackControl&) = delete;

  // Loads the event file into the window's document and starts playing (the start result of
  // CPlayer: 0 started). On a failure nothing plays and, in the viewer and render modes, the run
  // ends with its result (11 for a protected stream, else 10); otherwise the recorder's message
  // is shown.
  uint8_t Open(const std::string& path);
  // The same over a stream already in the document (tests, and streams read with a document).
  uint8_t OpenLoaded(const std::string& path);

  // One tick of playback (PlaybackStepAnswer).
  uint8_t Step();
  // Enter and Escape: pause or resume.
  void SetPaused(bool paused);
  bool IsPaused() const;
  bool IsPlaying() const { return player_ != nullptr; }
  // Asks for the stop question at the next step.
  void RequestStop() { stopRequested_ = true; }
  const std::string& EventPath() const { return eventPath_; }
  const TMTC* Thumbnail(int32_t tenth) const;
  // The report of the last playback that ended (state, steps, elapsed and the thumbnails, which
  // stay valid until the next Open).
  const TEventReportParam& LastReport() const { return report_; }
  CPlayer* Player() const { return player_.get(); }

 private:
  uint8_t Started(uint8_t result);
  void TakeThumbnail();
  void ApplyAfterStep();
  void End(uint8_t state);

  PlaybackControlSite& site_;
  std::unique_ptr<CPlayer> player_;
  std::string eventPath_;
  uint32_t startTime_ = 0;
  uint32_t lastStepTime_ = 0;
  bool stopRequested_ = false;
  bool inStep_ = false;
  uint32_t lastForeColour_ = 0;
  bool coloursShown_ = false;
  std::array<std::unique_ptr<TMTC>, kReportIndexSlots> thumbnails_;
  TEventReportParam report_;
};

}  // namespace tf
