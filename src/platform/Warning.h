// The warning box, reached through a host interface.
#pragma once
// The one warning box of the program, reached through a host so that the core never sees the
// window system. The application installs the real box at start-up; without one, warnings are
// written to the developer output and kept in a list that tests read.
#include <string>
#include <string_view>
#include <vector>

#include "platform/Window.h"

namespace tf {

class WarningHost {
 public:
  virtual ~WarningHost() = default;
  // Shows the text (UTF-8) in a warning box and returns when the user closed it.
  virtual void ShowWarning(std::string_view text) = 0;
  // The same box over the given owner (0: the active window, else the main window, else none),
  // captioned as given (null: the standard caption "警告 (Tintaframe)"). "\r" in the text is a
  // line break. Hosts without windows show it as ShowWarning does.
  virtual void ShowWarningBox(std::string_view text, WindowHandle owner, const char* caption) {
    (void)owner;
    (void)caption;
    ShowWarning(text);
  }
  // An information box with an OK button. Hosts without windows write it to the developer output.
  virtual void ShowInformation(std::string_view text);
  // A plain box (no icon) with an OK button, captioned with the product name. Hosts without
  // windows write it to the developer output.
  virtual void ShowMessage(std::string_view text);
};

// Keeps every text it is given, in order (information texts apart), and the owner and caption of
// the boxes asked for.
class RecordingWarningHost final : public WarningHost {
 public:
  void ShowWarning(std::string_view text) override { ShowWarningBox(text, 0, nullptr); }
  void ShowWarningBox(std::string_view text, WindowHandle owner, const char* caption) override {
    texts_.emplace_back(text);
    owners_.push_back(owner);
    captions_.emplace_back(caption != nullptr ? caption : "");
  }
  void ShowInformation(std::string_view text) override { informations_.emplace_back(text); }
  void ShowMessage(std::string_view text) override { messages_.emplace_back(text); }
  const std::vector<std::string>& Texts() const { return texts_; }
  // Per text: the owner given (0 for none) and the caption given ("" for the standard one).
  const std::vector<WindowHandle>& Owners() const { return owners_; }
  const std::vector<std::string>& Captions() const { return captions_; }
  const std::vector<std::string>& Informations() const { return informations_; }
  // The plain boxes asked for.
  const std::vector<std::string>& Messages() const { return messages_; }
  void Clear() {
    messages_.clear();
    texts_.clear();
    owners_.clear();
    captions_.clear();
    informations_.clear();
  }

 private:
  std::vector<std::string> texts_;
  std::vector<WindowHandle> owners_;
  std::vector<std::string> captions_;
  std::vector<std::string> informations_;
  std::vector<std::string> messages_;
};

// Installing null restores the default host. Returns the host installed before.
WarningHost* SetWarningHost(WarningHost* host);
WarningHost& GetWarningHost();
// The default host (a recording one), for tests that did not install their own.
RecordingWarningHost& DefaultWarningHost();

// Shows a warning: ShowWarningBox with no owner and the standard caption.
void ShowWarning(std::string_view text);
// Shows a warning over the owner (0: none given) with the caption (null: the standard one).
void ShowWarningBox(std::string_view text, WindowHandle owner, const char* caption);
// Shows an information box.
void ShowInformation(std::string_view text);
// Shows a plain box (no icon, OK).
void ShowMessage(std::string_view text);
// printf-style convenience.
void ShowWarningF(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace tf
