// TDrawWindow: opening a recording into the window and the ticks that play it.
#include <string>

#include "app/AppProfile.h"
#include "app/DrawWindow.h"
#include "app/PlaybackControl.h"
#include "app/RenderMode.h"
#include "app/Startup.h"
#include "app/ToolWindow.h"
#include "platform/Debug.h"

namespace tf {
namespace {

// The window as its playback control sees it.
class DrawWindowPlaybackSite final : public PlaybackControlSite {
 public:
  explicit DrawWindowPlaybackSite(TDrawWindow& window) : window_(window) {}
  TPaper& Paper() override { return window_.Document(); }
  PlaybackHost& Host() override { return window_; }
  DocumentWindow& Window() override { return window_; }
  ToolWindow* Tool() override { return window_.Owner().Tool(); }
  bool RenderOrViewerMode() const override { return window_.Owner().RenderOrViewerMode(); }
  RunResultHost* ResultHost() override { return window_.Owner().RunResults(); }
  void ShowReport(const TEventReportParam& report) override { window_.Owner().ShowEventReport(report); }
  void AddEventLog(uint8_t cls, uint8_t code) override {
    if (ToolWindow* tool = Tool()) tool->AddEvent(cls, code);
  }
  void ShowProgress(int32_t done, int32_t total, uint32_t startTime) override {
    window_.Owner().ShowPlaybackProgress(done, total, startTime);
  }
  void SetSmoothing(bool on) override { window_.SetZoomAntialias(on); }

 private:
  TDrawWindow& window_;
};

}  // namespace

void DrawWindowOwner::ShowEventReport(const TEventReportParam& report) {
  (void)report;
  DebugOut("The playback report was not shown: the main window does not show reports yet.\n");
}

bool TDrawWindow::RenderMode() const { return owner_.RenderOrViewerMode() && !tf::ViewerMode; }

void TDrawWindow::BindPlayer(CPlayer* player) {
  boundPlayer_ = player;
  playing_ = player != nullptr;
  if (player != nullptr) playbackSource_ = 1;
  owner_.UpdatePlayingState();
}

void TDrawWindow::ShowPlaybackPen(const SPlaybackPen& pen) {
  (void)pen;
  // The tool window's pen display arrives with the palettes; its colours are shown by the
  // playback control.
}

bool TDrawWindow::OpenEventFile(const std::string& path) {
  if (playback_ != nullptr && playback_->IsPlaying()) return false;
  if (playbackSite_ == nullptr) playbackSite_ = std::make_unique<DrawWindowPlaybackSite>(*this);
  playback_ = std::make_unique<CPlaybackControl>(*playbackSite_);
  eventFilePath_ = path;
  if (playback_->Open(path) != kStartPlayStarted) {
    InstallIdleHandler();
    playing_ = false;
    owner_.UpdatePlayingState();
    return false;
  }
  playbackSource_ = 1;
  playing_ = true;
  playbackPaused_ = false;
  paper_->filePath = EventFileTitle(path);
  FitWindowToImage(true);
  UpdateCaption(false);
  RefreshView(true);
  owner_.UpdatePlayingState();
  return true;
}

uint8_t TDrawWindow::PlaybackStep() {
  if (playback_ == nullptr || !playback_->IsPlaying()) return kStepWaiting;
  const uint8_t answer = playback_->Step();
  if (!playback_->IsPlaying()) {
    playing_ = false;
    playbackPaused_ = false;
    RefreshAfterEdit(false, true, true);
    UpdateCaption(false);
    owner_.UpdatePlayingState();
  }
  return answer;
}

void TDrawWindow::SetPlaybackPause(bool paused) {
  if (playback_ == nullptr || !playback_->IsPlaying()) return;
  playback_->SetPaused(paused);
  playbackPaused_ = playback_->IsPaused();
}

void TDrawWindow::RequestPlaybackStop() {
  if (playback_ != nullptr && playback_->IsPlaying()) playback_->RequestStop();
}

}  // namespace tf
