// The unattended runs: render mode turns a recording into a picture, viewer mode plays it for
// watching; both report a result code and close the program.
#pragma once
// One run plays one event file. At its end (or at the first failure) the result goes to the
// starter: a marker file beside the output for the failures, the code through the result host
// (the exit status, and a pipe named by -w), then the program closes. The switches and their
// process-wide values are app/Startup.h's.
#include <cstdint>
#include <functional>
#include <string>

namespace tf {

class CPlayer;
class TEventPacket;
class TPaper;

// Result codes of a run.
enum : int32_t {
  kRunRendered = 8,          // render finished and its outputs were written
  kRunOutputFailed = 9,      // render finished but writing an output failed
  kRunBadFile = 10,          // reading or playing the event file failed (marker ".bad")
  kRunProtected = 11,        // the stream is protected or sealed (marker ".prt")
  kRunViewerFinished = 13,   // viewer playback finished
};

// The event file's name without its folder and last extension ("a.b.te4" → "a.b").
std::string EventFileTitle(const std::string& path);
// OutputFolder when the o switch gave one; otherwise the event file's folder, kept in OutputFolder
// for the rest of the run.
std::string ResolveOutputFolder(const std::string& eventPath);
// The marker of a result (".bad" for 10, ".prt" for 11), or null.
const char* MarkerOfResult(int32_t code);
// Creates (or truncates) the empty marker file title + extension in the output folder, once a run:
// later calls do nothing. False when this call wrote nothing.
bool WriteMarker(const std::string& eventPath, const char* extension);
// How many markers this run wrote (0 or 1); the reset is for tests.
int32_t MarkersWritten();
void ResetRenderRun();

// Waits the seconds on the monotonic clock without processing messages; 0 or less waits nothing.
// The deadline is formed in 64 bits, so long waits never wrap.
void WaitSeconds(int32_t seconds);
// Test hooks: the monotonic milliseconds and the sleep (empty functions restore the real ones).
using MonotonicSource = std::function<uint64_t()>;
using SleepFunction = std::function<void(uint64_t milliseconds)>;
void SetWaitClock(MonotonicSource now, SleepFunction sleep);

// Where a run's result goes.
class RunResultHost {
 public:
  virtual ~RunResultHost() = default;
  // The code to the starter (the exit status; the -w pipe when it names one).
  virtual void DeliverResult(int32_t code) = 0;
  // Asks the main window to close; the program then shuts down normally.
  virtual void CloseProgram() = 0;
};

// The end of a run: the marker of codes 10 and 11, the viewer's wait (ViewerWaitSeconds), the code
// to the host when it is 0 or more, then the close request.
void ViewerResult(const std::string& eventPath, int32_t code, RunResultHost& host);

// The hosts of an unattended run: nobody is there to close a box, so warnings and information go
// to standard error and the developer output, and questions take their cautious answer (Cancel,
// else No, else OK) and say so. Installed at start-up in these modes; the result is what
// InstallUnattendedHosts(false) puts back.
void InstallUnattendedHosts(bool on);

// The run's result as the program's exit status: the code delivered, 1 when none was.
void SetRunExitCode(int32_t code);
int32_t RunExitCode();

// What a render writes at the end of playback.
struct SRenderSource {
  TPaper* paper = nullptr;
  std::string eventPath;
  // A current stream: the player that played it (its stream is protected and saved again).
  CPlayer* player = nullptr;
  // An older stream: the packet stream that played (its end code appended, saved sealed).
  TEventPacket* olderStream = nullptr;
};

// The outputs of a render: the whole picture as a 24-bit BMP (resolution 0) named after the event
// file in the output folder, then the protected recording beside it (.te4/.te3/.tes by its version,
// or a sealed .wpe for an older stream); the grid drawn again. 8 when everything was written, else 9.
// Every file is written under a temporary name and put in place whole, so a failed write leaves
// what was there.
int32_t WriteRenderOutputs(const SRenderSource& source);

// The end of playback in these modes: viewer mode reports 13; render mode writes the outputs and
// reports 8 or 9. Nothing outside these modes.
void RenderOutput(const SRenderSource& source, RunResultHost& host);

}  // namespace tf
