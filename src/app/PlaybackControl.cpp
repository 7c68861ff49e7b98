// CPlaybackControl: opening a recording into the window, the step of the timer, the stop
// question, the end of playback and its report.
#include "app/PlaybackControl.h"

#include <algorithm>

#include "app/AppProfile.h"
#include "app/RenderMode.h"
#include "app/ToolWindow.h"
#include "events/EventStream.h"
#include "paint/Stroke.h"
#include "paper/DocumentWindow.h"
#include "paper/Paper.h"
#include "platform/Clock.h"
#include "platform/Confirm.h"
#include "platform/Debug.h"
#include "platform/ResourceText.h"
#include "platform/Warning.h"
#include "playback/Player.h"
#include "raster/Drawing.h"
#include "raster/FlatImage.h"

namespace tf {

int32_t ProgressTenth(int32_t done, int32_t total) {
  if (total <= 0) return -1;
  const int64_t tenth = (int64_t{done} + 1) * 100 / (int64_t{total} * 10) - 1;
  return static_cast<int32_t>(std::min<int64_t>(tenth, 9));
}

void ThumbnailSize(int32_t width, int32_t height, int32_t& thumbWidth, int32_t& thumbHeight) {
  const int32_t longSide = std::max(std::max(width, height), 1);
  const auto scaled = [&](int32_t side) {
    return static_cast<int32_t>(std::max<int64_t>(int64_t{side} * kThumbnailLongSide / longSide, 1));
  };
  thumbWidth = width >= height ? kThumbnailLongSide : scaled(width);
  thumbHeight = height >= width ? kThumbnailLongSide : scaled(height);
}

bool ContinueRecording(TPaper& paper, CPlayer* player, bool force) {
  CEventMngr* events = paper.EventMngr();
  if (events == nullptr) return false;
  if (events->protectedStream != 0 || paper.protectedDocument != 0) {
    events->resetStream();
    return false;
  }
  if (player == nullptr || !player->stopPlay(force)) {
    ShowWarning(Tx(TextId::PlaybackAppendFailed));
    events->resetStream();
    return false;
  }
  return events->state == kEventRecording;
}

CPlaybackControl::CPlaybackControl(PlaybackControlSite& site) : site_(site) {}

CPlaybackControl::~CPlaybackControl() {
  if (player_ != nullptr) {
    site_.Host().BindPlayer(nullptr);
    player_.reset();
  }
}

uint8_t CPlaybackControl::Open(const std::string& path) {
  if (player_ != nullptr) return kStartPlayError;
  player_ = std::make_unique<CPlayer>(site_.Paper(), &site_.Host());
  eventPath_ = path;
  return Started(player_->startPlay(path));
}

uint8_t CPlaybackControl::OpenLoaded(const std::string& path) {
  if (player_ != nullptr) return kStartPlayError;
  player_ = std::make_unique<CPlayer>(site_.Paper(), &site_.Host());
  eventPath_ = path;
  return Started(player_->startLoaded());
}

uint8_t CPlaybackControl::Started(uint8_t result) {
  if (result != kStartPlayStarted) {
    player_.reset();
    if (site_.RenderOrViewerMode()) {
      if (RunResultHost* host = site_.ResultHost())
        ViewerResult(eventPath_, result == kStartPlayProtected ? kRunProtected : kRunBadFile, *host);
    } else {
      ShowWarningBox(kStartPlayTexts[std::min<uint8_t>(result, 5)], site_.Window().Handle(), nullptr);
    }
    return result;
  }
  for (auto& thumbnail : thumbnails_) thumbnail.reset();
  report_ = TEventReportParam{};
  stopRequested_ = false;
  coloursShown_ = false;
  startTime_ = lastStepTime_ = timeGetTime();
  if (AppProfile().PlayAntiOff) site_.SetSmoothing(false);
  if (ToolWindow* tool = site_.Tool()) tool->SetPlaybackMode(1);
  return result;
}

bool CPlaybackControl::IsPaused() const { return player_ != nullptr && player_->isPaused(); }

void CPlaybackControl::SetPaused(bool paused) {
  if (player_ == nullptr) return;
  player_->setPaused(paused);
  // "%s - %s" of the pane's name and the state.
  std::string caption = Tx(TextId::PlaybackPaneCaption);
  for (const char* part : {Tx(TextId::PlaybackPaneEvents),
                           Tx(paused ? TextId::PlaybackPanePaused : TextId::PlaybackPanePlaying)}) {
    const size_t at = caption.find("%s");
    if (at != std::string::npos) caption.replace(at, 2, part);
  }
  site_.SetEventPaneCaption(caption);
}

const TMTC* CPlaybackControl::Thumbnail(int32_t tenth) const {
  return tenth >= 0 && tenth < kReportIndexSlots ? thumbnails_[static_cast<size_t>(tenth)].get() : nullptr;
}

void CPlaybackControl::TakeThumbnail() {
  const CEventMngr& m = *site_.Paper().EventMngr();
  const int32_t tenth = ProgressTenth(m.playStepCount, m.stepCount());
  if (tenth < 0 || thumbnails_[static_cast<size_t>(tenth)] != nullptr) return;
  TPaper& paper = site_.Paper();
  const SRectWH whole{0, 0, paper.canvasWidth, paper.canvasHeight};
  // The grid is no part of the picture: composed without it for the copy, then drawn again.
  const bool grid = paper.gridVisible != 0;
  if (grid) paper.ComposeRect(whole, false);
  int32_t w = 0, h = 0;
  ThumbnailSize(paper.canvasWidth, paper.canvasHeight, w, h);
  auto thumbnail = std::make_unique<TMTC>(w, h);
  Reduce4x4To(paper.DisplayBuffer(), *thumbnail);
  if (grid) paper.ComposeRect(whole, true);
  thumbnails_[static_cast<size_t>(tenth)] = std::move(thumbnail);
}

void CPlaybackControl::ApplyAfterStep() {
  CEventMngr& m = *site_.Paper().EventMngr();
  const uint8_t flags = m.afterStep;
  DocumentWindow& window = site_.Window();
  ToolWindow* tool = site_.Tool();
  if ((flags & (kAfterLayers | kAfterSize)) != 0) {
    window.RefreshAfterEdit((flags & kAfterSize) != 0, true, true);
  } else if (tool != nullptr) {
    if ((flags & kAfterLayerPane) != 0) tool->UpdateLayerPane();
    if ((flags & kAfterMaskPane) != 0) tool->UpdateMaskPane();
  }
  if (tool != nullptr && (flags & kAfterNavigator) != 0) tool->UpdateNaviImage();
  if ((flags & kAfterCaption) != 0) window.UpdateCaption(false);
  if (tool == nullptr) return;
  TStroke* stroke = player_->Stroke();
  if ((flags & (kAfterPenParams | kAfterNib)) != 0) player_->showPlaybackPen();
  if (stroke != nullptr && (!coloursShown_ || stroke->GetColor() != lastForeColour_)) {
    lastForeColour_ = stroke->GetColor();
    coloursShown_ = true;
    tool->ShowPlaybackColors(stroke->GetColor(), stroke->GetBackColor());
  }
}

uint8_t CPlaybackControl::Step() {
  if (player_ == nullptr || inStep_) return kStepWaiting;
  inStep_ = true;
  const int32_t wait = AppProfile().eventWait;
  if (wait > 0) {
    const uint32_t now = timeGetTime();
    if (now - lastStepTime_ < static_cast<uint32_t>(wait) && !stopRequested_) {
      inStep_ = false;
      return kStepWaiting;
    }
    lastStepTime_ = now;
  }
  player_->setPointByPoint(wait > 0);
  uint8_t answer = player_->playStep();
  CEventMngr& m = *site_.Paper().EventMngr();
  bool byUser = false;
  if (answer != kStepWaiting || stopRequested_) {
    if (AppProfile().EventCapacity > 0 && answer != kStepWaiting)
      site_.AddEventLog(m.lastPacket.cls, m.lastPacket.code);
    if (answer == kStepPlayed) {
      site_.ShowProgress(m.playStepCount, m.stepCount(), startTime_);
      TakeThumbnail();
    }
    if (answer == kStepPlayed || answer == kStepEnded) ApplyAfterStep();
    if (stopRequested_ && answer != kStepEnded && answer != kStepFailed) {
      stopRequested_ = false;
      // No fast-forward mode exists, so Yes always stops here.
      if (GetConfirmHost().AskConfirm(Tx(TextId::PlaybackStopQuestion), kButtonsYesNo) == kResultYes) {
        byUser = true;
        answer = kStepEnded;
      }
    }
    if (answer == kStepEnded) End(byUser ? kReportInterrupted : kReportFinished);
    else if (answer == kStepFailed) End(kReportStopped);
  }
  inStep_ = false;
  return answer;
}

void CPlaybackControl::End(uint8_t state) {
  TPaper& paper = site_.Paper();
  CEventMngr& m = *paper.EventMngr();
  ToolWindow* tool = site_.Tool();
  site_.ShowProgress(m.playStepCount, m.stepCount(), startTime_);
  if (tool != nullptr) tool->UpdateNaviImage();
  report_.state = state;
  report_.fileName = eventPath_;
  report_.elapsed = timeGetTime() - startTime_;
  report_.steps = m.playStepCount + 1;
  for (size_t i = 0; i < thumbnails_.size(); ++i) report_.indexPictures[i] = thumbnails_[i].get();
  const bool unattended = site_.RenderOrViewerMode();
  RunResultHost* host = site_.ResultHost();
  if (state == kReportStopped) {
    // What played of a failed step is not what the stream says: nothing more is recorded onto it.
    report_.appendable = 0;
    if (unattended && host != nullptr) ViewerResult(eventPath_, kRunBadFile, *host);
    player_->stopPlay(false);
    m.resetStream();
  } else {
    report_.appendable = ContinueRecording(paper, player_.get(), false) ? 1 : 0;
    // The render saves the played stream again: the recorder has left playback for it.
    if (unattended && host != nullptr) {
      SRenderSource source;
      source.paper = &paper;
      source.eventPath = eventPath_;
      source.player = player_.get();
      RenderOutput(source, *host);
    }
  }
  site_.SetSmoothing(AppProfile().useZoomAntialias);
  if (!unattended) site_.ShowReport(report_);
  site_.Host().BindPlayer(nullptr);
  player_.reset();
  if (paper.StrokeMngr() == nullptr) paper.CreateStrokeMngr();
  if (report_.appendable != 0) paper.StartEventRecording();
  paper.UpdateThumbnailsAll(false, -1);
  stopRequested_ = false;
  if (tool != nullptr) {
    tool->UpdateNavigator();
    tool->UpdateLayerPane();
    tool->UpdateMaskPane();
    tool->SetPlaybackMode(0);
  }
}

}  // namespace tf
