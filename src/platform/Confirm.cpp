#include "platform/Confirm.h"

#include "platform/Debug.h"
#include "platform/HostSlot.h"

namespace tf {
namespace {

class DefaultHost final : public ConfirmHost {
 public:
  int32_t AskConfirm(std::string_view text, int32_t buttons) override {
    DebugOutF("question: %.*s\n", static_cast<int>(text.size()), text.data());
    return script.AskConfirm(text, buttons);
  }
  ScriptedConfirmHost script;
};

using Slot = HostSlot<ConfirmHost, DefaultHost>;

}  // namespace

int32_t CautiousAnswer(int32_t buttons) {
  switch (buttons) {
    case kButtonsOkCancel:
    case kButtonsYesNoCancel:
    case kButtonsRetryCancel: return kResultCancel;
    case kButtonsYesNo: return kResultNo;
    case kButtonsAbortRetryIgnore: return kResultAbort;
    default: return kResultOk;
  }
}

bool IsAnswerOfButtons(int32_t answer, int32_t buttons) {
  switch (buttons) {
    case kButtonsOkCancel: return answer == kResultOk || answer == kResultCancel;
    case kButtonsAbortRetryIgnore:
      return answer == kResultAbort || answer == kResultRetry || answer == kResultIgnore;
    case kButtonsYesNoCancel: return answer == kResultYes || answer == kResultNo || answer == kResultCancel;
    case kButtonsYesNo: return answer == kResultYes || answer == kResultNo;
    case kButtonsRetryCancel: return answer == kResultRetry || answer == kResultCancel;
    default: return answer == kResultOk;
  }
}

int32_t ScriptedConfirmHost::AskConfirm(std::string_view text, int32_t buttons) {
  int32_t answer = CautiousAnswer(buttons);
  if (!answers_.empty()) {
    const int32_t scripted = answers_.front();
    answers_.pop_front();
    if (IsAnswerOfButtons(scripted, buttons)) answer = scripted;
  }
  questions_.push_back(Question{std::string(text), buttons, answer});
  return answer;
}

ConfirmHost* SetConfirmHost(ConfirmHost* host) { return Slot::Install(host); }
ConfirmHost& GetConfirmHost() { return Slot::Get(); }
ScriptedConfirmHost& DefaultConfirmHost() { return Slot::Default().script; }

int32_t AskConfirm(std::string_view text, int32_t buttons) {
  const int32_t answer = GetConfirmHost().AskConfirm(text, buttons);
  return IsAnswerOfButtons(answer, buttons) ? answer : CautiousAnswer(buttons);
}

int32_t AskYesNoCancel(std::string_view text) { return AskConfirm(text, kButtonsYesNoCancel); }

}  // namespace tf
