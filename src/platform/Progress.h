// TProgressDlg: the progress dialog of long loads and saves, made by the host.
#pragma once
// The progress dialog of long loads and saves: what is being done, the current step and a
// percentage, updated from inside the work on the same thread. The core keeps the numbers; a
// host makes the window (headless: none, so every caller runs the same code with a null dialog).
// Every update below takes a possibly null dialog and then does nothing.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Window.h"

namespace tf {

// One dialog. The host's subclass shows what the Show... calls give it and repaints at once
// (nothing else runs while the work does).
class TProgressDlg {
 public:
  virtual ~TProgressDlg() = default;

  // Caption; an empty title shows the program's own title (name and version).
  void SetTitle(std::string_view title);
  // What is being done (the first line).
  void SetMessage(std::string_view text);
  // The current step (the second line).
  void SetStatus(std::string_view text);
  void SetTexts(std::string_view title, std::string_view message, std::string_view status);
  // maximum := max(1, maximum), then SetPosition(position); the percentage.
  int32_t SetRange(int32_t maximum, int32_t position);
  // Keeps the owner, SetRange, shows the window modelessly; true.
  bool Start(WindowHandle owner, int32_t maximum, int32_t position);
  // SetPosition(position + delta).
  int32_t StepBy(int32_t delta);
  // Stores the position and shows min(position x 100 div maximum, 100) percent (no lower
  // clamp); the percentage.
  int32_t SetPosition(int32_t position);

  int32_t Maximum() const { return maximum_; }
  int32_t Position() const { return position_; }
  int32_t Percent() const { return percent_; }
  WindowHandle Owner() const { return owner_; }
  const std::string& Title() const { return title_; }
  const std::string& Message() const { return message_; }
  const std::string& Status() const { return status_; }

 protected:
  // The window half (UTF-8 texts). Each repaints at once.
  virtual void ShowTitle(const std::string& title) = 0;
  virtual void ShowMessage(const std::string& text) = 0;
  virtual void ShowStatus(const std::string& text) = 0;
  // The bar's position and the "n%" label.
  virtual void ShowPercent(int32_t percent) = 0;
  // Shows the window modelessly over its owner.
  virtual void ShowWindow(WindowHandle owner) = 0;

 private:
  WindowHandle owner_ = 0;
  int32_t maximum_ = 1;
  int32_t position_ = 0;
  int32_t percent_ = 0;
  std::string title_;
  std::string message_;
  std::string status_;
};

// Makes the dialogs. The application installs the window-system host; the default makes none.
class ProgressHost {
 public:
  virtual ~ProgressHost() = default;
  // A new hidden dialog, or null when it cannot be made.
  virtual std::unique_ptr<TProgressDlg> MakeProgressDlg() = 0;
};

class NullProgressHost final : public ProgressHost {
 public:
  std::unique_ptr<TProgressDlg> MakeProgressDlg() override { return nullptr; }
};

// Installing null restores the default (no dialogs). Returns the host installed before.
ProgressHost* SetProgressHost(ProgressHost* host);
ProgressHost& GetProgressHost();

// Makes a dialog, sets no title, the message and the status, and starts it at position 0;
// null when anything fails (callers go on with a null dialog).
std::unique_ptr<TProgressDlg> CreateProgressDlg(WindowHandle owner, int32_t maximum, std::string_view message,
                                                std::string_view status);

// Null-safe updates: nothing (0) for a null dialog.
void ProgressSetTitle(TProgressDlg* dialog, std::string_view title);
void ProgressSetMessage(TProgressDlg* dialog, std::string_view text);
void ProgressSetStatus(TProgressDlg* dialog, std::string_view text);
void ProgressSetTexts(TProgressDlg* dialog, std::string_view title, std::string_view message,
                      std::string_view status);
int32_t ProgressSetRange(TProgressDlg* dialog, int32_t maximum, int32_t position);
int32_t ProgressStepBy(TProgressDlg* dialog, int32_t delta);
int32_t ProgressSetPosition(TProgressDlg* dialog, int32_t position);

// A dialog that writes what it is shown to a log ("title: ...", "message: ...", "status: ...",
// "percent: n", "show"), for tests and headless runs that want to see it.
class RecordingProgressDlg final : public TProgressDlg {
 public:
  explicit RecordingProgressDlg(std::vector<std::string>& log) : log_(log) {}

 protected:
  void ShowTitle(const std::string& title) override;
  void ShowMessage(const std::string& text) override;
  void ShowStatus(const std::string& text) override;
  void ShowPercent(int32_t percent) override;
  void ShowWindow(WindowHandle owner) override;

 private:
  std::vector<std::string>& log_;
};

// Makes recording dialogs that share one log, in order across them.
class RecordingProgressHost final : public ProgressHost {
 public:
  std::unique_ptr<TProgressDlg> MakeProgressDlg() override;
  std::vector<std::string> log;
  int32_t made = 0;
  bool refuse = false;  // make none, as when the window cannot be created
};

}  // namespace tf
