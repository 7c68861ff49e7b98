#include "platform/Confirm.h"

#include <gtest/gtest.h>

namespace tf {
namespace {

TEST(ConfirmTest, ScriptedAnswersAreRecordedAndCheckedAgainstTheButtonSet) {
  ScriptedConfirmHost host;
  ConfirmHost* previous = SetConfirmHost(&host);
  host.Script({kResultYes, kResultRetry, kResultNo});
  EXPECT_EQ(AskConfirm("drop CMYK?", kButtonsYesNoCancel), kResultYes);
  // Retry is no button of Yes/No: the cautious answer is given instead.
  EXPECT_EQ(AskConfirm("again?", kButtonsYesNo), kResultNo);
  EXPECT_EQ(AskConfirm("go on?", kButtonsOkCancel), kResultCancel);  // No is not a button either
  // Script used up.
  EXPECT_EQ(AskConfirm("last?", kButtonsYesNoCancel), kResultCancel);
  ASSERT_EQ(host.Questions().size(), 4u);
  EXPECT_EQ(host.Questions()[0].text, "drop CMYK?");
  EXPECT_EQ(host.Questions()[0].buttons, kButtonsYesNoCancel);
  EXPECT_EQ(host.Questions()[3].answer, kResultCancel);
  SetConfirmHost(previous);
}

TEST(ConfirmTest, CautiousAnswers) {
  struct Case {
    int32_t buttons, answer;
  } cases[] = {{kButtonsOk, kResultOk},
               {kButtonsOkCancel, kResultCancel},
               {kButtonsAbortRetryIgnore, kResultAbort},
               {kButtonsYesNoCancel, kResultCancel},
               {kButtonsYesNo, kResultNo},
               {kButtonsRetryCancel, kResultCancel},
               {99, kResultOk}};
  for (const Case& c : cases) {
    EXPECT_EQ(CautiousAnswer(c.buttons), c.answer) << c.buttons;
    EXPECT_TRUE(IsAnswerOfButtons(c.answer, c.buttons));
  }
  // Without a host the default one answers cautiously and keeps the question.
  DefaultConfirmHost().Clear();
  SetConfirmHost(nullptr);
  EXPECT_EQ(AskConfirm("headless?", kButtonsYesNo), kResultNo);
  EXPECT_EQ(DefaultConfirmHost().Questions().size(), 1u);
}

}  // namespace
}  // namespace tf
