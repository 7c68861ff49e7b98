#include "platform/Progress.h"

#include <algorithm>

#include "platform/HostSlot.h"

namespace tf {

namespace {
using Slot = HostSlot<ProgressHost, NullProgressHost>;
}  // namespace

ProgressHost* SetProgressHost(ProgressHost* host) { return Slot::Install(host); }
ProgressHost& GetProgressHost() { return Slot::Get(); }

void TProgressDlg::SetTitle(std::string_view title) {
  title_ = title;
  ShowTitle(title_);
}

void TProgressDlg::SetMessage(std::string_view text) {
  message_ = text;
  ShowMessage(message_);
}

void TProgressDlg::SetStatus(std::string_view text) {
  status_ = text;
  ShowStatus(status_);
}

void TProgressDlg::SetTexts(std::string_view title, std::string_view message, std::string_view status) {
  SetTitle(title);
  SetMessage(message);
  SetStatus(status);
}

int32_t TProgressDlg::SetRange(int32_t maximum, int32_t position) {
  maximum_ = std::max(1, maximum);
  return SetPosition(position);
}

bool TProgressDlg::Start(WindowHandle owner, int32_t maximum, int32_t position) {
  owner_ = owner;
  SetRange(maximum, position);
  ShowWindow(owner);
  return true;
}

int32_t TProgressDlg::StepBy(int32_t delta) {
  return SetPosition(static_cast<int32_t>(std::clamp<int64_t>(int64_t{position_} + delta, INT32_MIN, INT32_MAX)));
}

int32_t TProgressDlg::SetPosition(int32_t position) {
  position_ = position;
  // 64 bits: position x 100 must not wrap.
  percent_ = static_cast<int32_t>(std::min<int64_t>(int64_t{position} * 100 / maximum_, 100));
  ShowPercent(percent_);
  return percent_;
}

std::unique_ptr<TProgressDlg> CreateProgressDlg(WindowHandle owner, int32_t maximum, std::string_view message,
                                                std::string_view status) {
  try {
    std::unique_ptr<TProgressDlg> dialog = GetProgressHost().MakeProgressDlg();
    if (!dialog) return nullptr;
    dialog->SetTexts("", message, status);
    dialog->Start(owner, maximum, 0);
    return dialog;
  } catch (...) {
    return nullptr;
  }
}

void ProgressSetTitle(TProgressDlg* dialog, std::string_view title) {
  if (dialog) dialog->SetTitle(title);
}
void ProgressSetMessage(TProgressDlg* dialog, std::string_view text) {
  if (dialog) dialog->SetMessage(text);
}
void ProgressSetStatus(TProgressDlg* dialog, std::string_view text) {
  if (dialog) dialog->SetStatus(text);
}
void ProgressSetTexts(TProgressDlg* dialog, std::string_view title, std::string_view message,
                      std::string_view status) {
  if (dialog) dialog->SetTexts(title, message, status);
}
int32_t ProgressSetRange(TProgressDlg* dialog, int32_t maximum, int32_t position) {
  return dialog ? dialog->SetRange(maximum, position) : 0;
}
int32_t ProgressStepBy(TProgressDlg* dialog, int32_t delta) { return dialog ? dialog->StepBy(delta) : 0; }
int32_t ProgressSetPosition(TProgressDlg* dialog, int32_t position) {
  return dialog ? dialog->SetPosition(position) : 0;
}

void RecordingProgressDlg::ShowTitle(const std::string& title) { log_.push_back("title: " + title); }
void RecordingProgressDlg::ShowMessage(const std::string& text) { log_.push_back("message: " + text); }
void RecordingProgressDlg::ShowStatus(const std::string& text) { log_.push_back("status: " + text); }
void RecordingProgressDlg::ShowPercent(int32_t percent) { log_.push_back("percent: " + std::to_string(percent)); }
void RecordingProgressDlg::ShowWindow(WindowHandle) { log_.push_back("show"); }

std::unique_ptr<TProgressDlg> RecordingProgressHost::MakeProgressDlg() {
  if (refuse) return nullptr;
  ++made;
  return std::make_unique<RecordingProgressDlg>(log);
}

}  // namespace tf
