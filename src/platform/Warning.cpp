#include "platform/Warning.h"

#include <cstdarg>
#include <cstdio>

#include "platform/Debug.h"
#include "platform/HostSlot.h"

namespace tf {
namespace {

// Default host: the developer output sees the text too.
class DefaultHost final : public WarningHost {
 public:
  void ShowWarning(std::string_view text) override { ShowWarningBox(text, 0, nullptr); }
  void ShowWarningBox(std::string_view text, WindowHandle owner, const char* caption) override {
    DebugOutF("warning: %.*s\n", static_cast<int>(text.size()), text.data());
    record.ShowWarningBox(text, owner, caption);
  }
  void ShowInformation(std::string_view text) override {
    WarningHost::ShowInformation(text);
    record.ShowInformation(text);
  }
  void ShowMessage(std::string_view text) override {
    WarningHost::ShowMessage(text);
    record.ShowMessage(text);
  }
  RecordingWarningHost record;
};

using Slot = HostSlot<WarningHost, DefaultHost>;

}  // namespace

WarningHost* SetWarningHost(WarningHost* host) { return Slot::Install(host); }
WarningHost& GetWarningHost() { return Slot::Get(); }
RecordingWarningHost& DefaultWarningHost() { return Slot::Default().record; }

void WarningHost::ShowInformation(std::string_view text) {
  DebugOutF("information: %.*s\n", static_cast<int>(text.size()), text.data());
}

void WarningHost::ShowMessage(std::string_view text) {
  DebugOutF("message: %.*s\n", static_cast<int>(text.size()), text.data());
}

void ShowWarning(std::string_view text) { GetWarningHost().ShowWarning(text); }

void ShowMessage(std::string_view text) { GetWarningHost().ShowMessage(text); }

void ShowWarningBox(std::string_view text, WindowHandle owner, const char* caption) {
  GetWarningHost().ShowWarningBox(text, owner, caption);
}

void ShowInformation(std::string_view text) { GetWarningHost().ShowInformation(text); }

void ShowWarningF(const char* format, ...) {
  char buffer[1024];
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  if (n < 0) return;
  if (static_cast<size_t>(n) < sizeof buffer) {
    ShowWarning(std::string_view(buffer, static_cast<size_t>(n)));
    return;
  }
  std::string text(static_cast<size_t>(n), '\0');
  va_start(args, format);
  std::vsnprintf(text.data(), text.size() + 1, format, args);
  va_end(args);
  ShowWarning(text);
}

}  // namespace tf
