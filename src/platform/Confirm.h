// The confirmation dialog, reached through a host interface.
#pragma once
// The confirmation dialog, reached through a host so that the core never sees the window
// system. The application installs the real dialog at start-up. Without one the question goes
// to the developer output and is answered with the cautious answer of its button set (Cancel,
// else No, else OK); tests install a ScriptedConfirmHost that records the questions and gives
// answers from a script.
#include <cstdint>
#include <deque>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace tf {

// Button sets.
enum : int32_t {
  kButtonsOk = 0,
  kButtonsOkCancel = 1,
  kButtonsAbortRetryIgnore = 2,
  kButtonsYesNoCancel = 3,
  kButtonsYesNo = 4,
  kButtonsRetryCancel = 5,
};

// Modal results.
enum : int32_t {
  kResultNone = 0,
  kResultOk = 1,
  kResultCancel = 2,
  kResultAbort = 3,
  kResultRetry = 4,
  kResultIgnore = 5,
  kResultYes = 6,
  kResultNo = 7,
};

// The answer given when nobody can be asked: Cancel where the set has it, else No, else OK (an
// unknown set counts as OK alone).
int32_t CautiousAnswer(int32_t buttons);
// Whether the answer is one of the set's buttons.
bool IsAnswerOfButtons(int32_t answer, int32_t buttons);

class ConfirmHost {
 public:
  virtual ~ConfirmHost() = default;
  // Asks the question (UTF-8) and returns the modal result of the button pressed.
  virtual int32_t AskConfirm(std::string_view text, int32_t buttons) = 0;
};

// Records every question and answers from a script, in order; when the script is used up (or
// gives an answer that is not a button of the set) the cautious answer is given.
class ScriptedConfirmHost final : public ConfirmHost {
 public:
  struct Question {
    std::string text;
    int32_t buttons;
    int32_t answer;
  };
  int32_t AskConfirm(std::string_view text, int32_t buttons) override;
  void Script(std::initializer_list<int32_t> answers) { answers_.insert(answers_.end(), answers); }
  void Answer(int32_t answer) { answers_.push_back(answer); }
  const std::vector<Question>& Questions() const { return questions_; }
  int32_t PendingAnswers() const { return static_cast<int32_t>(answers_.size()); }
  void Clear() {
    questions_.clear();
    answers_.clear();
  }

 private:
  std::deque<int32_t> answers_;
  std::vector<Question> questions_;
};

// Installing null restores the default host. Returns the host installed before.
ConfirmHost* SetConfirmHost(ConfirmHost* host);
ConfirmHost& GetConfirmHost();
// The default host (a scripted one with an empty script), for tests that did not install their own.
ScriptedConfirmHost& DefaultConfirmHost();

// Asks through the installed host; the result is always a button of the set.
int32_t AskConfirm(std::string_view text, int32_t buttons);
// AskConfirm with Yes, No and Cancel.
int32_t AskYesNoCancel(std::string_view text);

}  // namespace tf
