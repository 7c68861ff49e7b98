// The warning box, reached through a host interface.
#pragma once
// The one warning box of the program, reached through a host so that the core never sees the
// window system. The application installs the real box at start-up; without one, warnings are
// written to the developer output and kept in a list that tests read.
#include <string>
#include <string_view>
#include <vector>

namespace tf {

class WarningHost {
 public:
  virtual ~WarningHost() = default;
  // Shows the text (UTF-8) in a warning box and returns when the user closed it.
  virtual void ShowWarning(std::string_view text) = 0;
};

// Keeps every text it is given, in order.
class RecordingWarningHost final : public WarningHost {
 public:
  void ShowWarning(std::string_view text) override { texts_.emplace_back(text); }
  const std::vector<std::string>& Texts() const { return texts_; }
  void Clear() { texts_.clear(); }

 private:
  std::vector<std::string> texts_;
};

// Installing null restores the default host. Returns the host installed before.
WarningHost* SetWarningHost(WarningHost* host);
WarningHost& GetWarningHost();
// The default host (a recording one), for tests that did not install their own.
RecordingWarningHost& DefaultWarningHost();

// Shows a warning.
void ShowWarning(std::string_view text);
// printf-style convenience.
void ShowWarningF(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace tf
