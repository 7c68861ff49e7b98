#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Progress.h"

namespace tf {
namespace {

TEST(Progress, RangeAndPercentages) {
  std::vector<std::string> log;
  RecordingProgressDlg dialog(log);
  EXPECT_EQ(dialog.SetRange(0, 0), 0);  // the maximum becomes 1
  EXPECT_EQ(dialog.Maximum(), 1);
  EXPECT_EQ(dialog.SetPosition(1), 100);
  EXPECT_EQ(dialog.SetRange(200, 0), 0);
  EXPECT_EQ(dialog.SetPosition(250), 100);  // clamped above
  EXPECT_EQ(dialog.SetRange(100, 0), 0);
  EXPECT_EQ(dialog.SetPosition(-10), -10);  // no lower clamp
  EXPECT_EQ(log.back(), "percent: -10");
  EXPECT_EQ(dialog.SetRange(3, 1), 33);  // integer division
  EXPECT_EQ(dialog.StepBy(1), 66);
  EXPECT_EQ(dialog.StepBy(1), 100);
  EXPECT_EQ(dialog.Position(), 3);
  EXPECT_EQ(dialog.SetRange(-5, 7), 100);
  EXPECT_EQ(dialog.Maximum(), 1);
  // Large positions do not wrap.
  EXPECT_EQ(dialog.SetRange(2000000000, 1500000000), 75);
}

TEST(Progress, EveryUpdateTakesANullDialog) {
  TProgressDlg* none = nullptr;
  ProgressSetTitle(none, "t");
  ProgressSetMessage(none, "m");
  ProgressSetStatus(none, "s");
  ProgressSetTexts(none, "t", "m", "s");
  EXPECT_EQ(ProgressSetRange(none, 10, 5), 0);
  EXPECT_EQ(ProgressStepBy(none, 1), 0);
  EXPECT_EQ(ProgressSetPosition(none, 3), 0);
}

TEST(Progress, TheHostMakesTheDialogs) {
  // Headless: no dialog, and the callers go on with null.
  EXPECT_EQ(CreateProgressDlg(0, 5, "message", "status"), nullptr);

  RecordingProgressHost host;
  ProgressHost* previous = SetProgressHost(&host);
  {
    auto dialog = CreateProgressDlg(42, 4, "イベント保存中 (a.te4)", "first");
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->Owner(), 42);
    EXPECT_EQ(dialog->Maximum(), 4);
    EXPECT_EQ(dialog->Title(), "");  // the window shows the program's title for it
    ProgressSetStatus(dialog.get(), "second");
    ProgressStepBy(dialog.get(), 2);
    EXPECT_EQ(host.log, (std::vector<std::string>{"title: ", "message: イベント保存中 (a.te4)", "status: first",
                                                  "percent: 0", "show", "status: second", "percent: 50"}));
  }
  host.refuse = true;
  EXPECT_EQ(CreateProgressDlg(0, 5, "m", "s"), nullptr);
  EXPECT_EQ(host.made, 1);
  SetProgressHost(previous);
}

}  // namespace
}  // namespace tf
