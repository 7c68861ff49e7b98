#include "app/RenderMode.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "app/Startup.h"
#include "platform/Confirm.h"
#include "platform/Debug.h"
#include "platform/Warning.h"
#include "events/EventStream.h"
#include "events/OldEventPacket.h"
#include "paper/EventFileIO.h"
#include "paper/Paper.h"
#include "paper/PaperEventFile.h"
#include "playback/Player.h"
#include "raster/DibImage.h"
#include "raster/SmallRoutines.h"

namespace tf {

namespace {

int32_t g_markers = 0;
int32_t g_exitCode = 1;

void ToStandardError(const char* kind, std::string_view text) {
  std::string line(text);
  for (char& c : line)
    if (c == '\r') c = '\n';
  std::fprintf(stderr, "tintaframe4: %s: %s\n", kind, line.c_str());
  DebugOutF("%s: %s\n", kind, line.c_str());
}

class UnattendedWarningHost final : public WarningHost {
 public:
  void ShowWarning(std::string_view text) override { ToStandardError("warning", text); }
  void ShowInformation(std::string_view text) override { ToStandardError("information", text); }
};

class UnattendedConfirmHost final : public ConfirmHost {
 public:
  int32_t AskConfirm(std::string_view text, int32_t buttons) override {
    const int32_t answer = CautiousAnswer(buttons);
    ToStandardError("question", std::string(text) + (answer == kResultCancel ? " (answered Cancel)"
                                                     : answer == kResultNo   ? " (answered No)"
                                                                             : " (answered OK)"));
    return answer;
  }
};

UnattendedWarningHost g_warnings;
UnattendedConfirmHost g_questions;
WarningHost* g_warningsBefore = nullptr;
ConfirmHost* g_questionsBefore = nullptr;
bool g_installed = false;

MonotonicSource& NowHook() {
  static MonotonicSource hook;
  return hook;
}
SleepFunction& SleepHook() {
  static SleepFunction hook;
  return hook;
}

uint64_t MonotonicNow() {
  if (NowHook()) return NowHook()();
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count());
}

void SleepFor(uint64_t ms) {
  if (SleepHook()) return SleepHook()(ms);
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string OutputPath(const std::string& eventPath, const std::string& extension) {
  return JoinPath(ResolveOutputFolder(eventPath), EventFileTitle(eventPath) + extension);
}

}  // namespace

std::string EventFileTitle(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const size_t dot = name.find_last_of('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  return name;
}

std::string ResolveOutputFolder(const std::string& eventPath) {
  if (OutputFolder.empty()) OutputFolder = FolderOf(eventPath);
  return OutputFolder;
}

const char* MarkerOfResult(int32_t code) {
  if (code == kRunBadFile) return ".bad";
  if (code == kRunProtected) return ".prt";
  return nullptr;
}

bool WriteMarker(const std::string& eventPath, const char* extension) {
  if (g_markers > 0 || extension == nullptr) return false;
  const std::string path = OutputPath(eventPath, extension);
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  ::close(fd);
  ++g_markers;
  return true;
}

void InstallUnattendedHosts(bool on) {
  if (on == g_installed) return;
  g_installed = on;
  if (on) {
    g_warningsBefore = SetWarningHost(&g_warnings);
    g_questionsBefore = SetConfirmHost(&g_questions);
  } else {
    SetWarningHost(g_warningsBefore);
    SetConfirmHost(g_questionsBefore);
  }
}

void SetRunExitCode(int32_t code) { g_exitCode = code; }
int32_t RunExitCode() { return g_exitCode; }

int32_t MarkersWritten() { return g_markers; }
void ResetRenderRun() { g_markers = 0; }

void WaitSeconds(int32_t seconds) {
  if (seconds <= 0) return;
  const uint64_t deadline = MonotonicNow() + static_cast<uint64_t>(seconds) * 1000u;
  for (uint64_t now = MonotonicNow(); now < deadline; now = MonotonicNow()) SleepFor(deadline - now);
}

void SetWaitClock(MonotonicSource now, SleepFunction sleep) {
  NowHook() = std::move(now);
  SleepHook() = std::move(sleep);
}

void ViewerResult(const std::string& eventPath, int32_t code, RunResultHost& host) {
  WriteMarker(eventPath, MarkerOfResult(code));
  if (ViewerMode && ViewerWaitSeconds > 0) WaitSeconds(ViewerWaitSeconds);
  if (code >= 0) host.DeliverResult(code);
  host.CloseProgram();
}

int32_t WriteRenderOutputs(const SRenderSource& source) {
  TPaper* paper = source.paper;
  if (paper == nullptr || !paper->ready) return kRunOutputFailed;
  const std::string picturePath = OutputPath(source.eventPath, ".bmp");
  bool written = paper->ComposeRectXY(0, 0, paper->canvasWidth, paper->canvasHeight, false) &&
                 paper->DisplayBuffer().SaveBMP24(picturePath, 0);
  if (written) {
    if (source.player != nullptr) {
      CEventMngr& events = source.player->Events();
      std::string extension;
      CPlayer::getFileExt(events.version, extension);
      written = source.player->setProtected(FlagWalkMode::kSet, nullptr);
      if (written) {
        CPaperEventFileDocument document(*paper);
        written = SaveEventFile(OutputPath(source.eventPath, extension), document, true, events.fileFlags,
                                events.version, true);
      }
    } else if (source.olderStream != nullptr) {
      source.olderStream->AppendEndCode();
      written = source.olderStream->SaveToFile(OutputPath(source.eventPath, ".wpe"), true);
    } else {
      written = false;
    }
  }
  if (paper->GetGridVisible()) paper->DrawGridAll();
  return written ? kRunRendered : kRunOutputFailed;
}

void RenderOutput(const SRenderSource& source, RunResultHost& host) {
  if (!RenderOrViewerMode) return;
  if (ViewerMode) {
    ViewerResult(source.eventPath, kRunViewerFinished, host);
    return;
  }
  ViewerResult(source.eventPath, WriteRenderOutputs(source), host);
}

}  // namespace tf
