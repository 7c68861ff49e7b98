// A recording opened into a document window and played by the main window's ticks: the picture,
// the pause keys, the stop question, the end, and a file that cannot be played.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "DrawWindowFakes.h"
#include "app/PlaybackControl.h"
#include "paper/EventFileIO.h"
#include "paper/PaperEventFile.h"
#include "playback/PlaybackTestSupport.h"

namespace tf {
namespace {

using test::DrawWindowTestScope;
using test::FakeWindow;

class DrawWindowPlaybackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = std::filesystem::temp_directory_path() / ("w50-play-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder_);
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }
  // A seeded painting saved as an event file; the recorded document's fingerprint.
  std::string Record(int32_t commands, uint64_t& checksum) {
    test::RecordingDocument doc(200, 150);
    EXPECT_TRUE(doc.ok);
    test::RecordPainting(doc, 0xCAFE, commands, false);
    checksum = test::FingerprintChecksum(doc.Paper());
    const std::string path = (folder_ / "painting.te4").string();
    CPaperEventFileDocument file(doc.Paper());
    EXPECT_TRUE(SaveEventFile(path, file, false, -1, -1, true));
    return path;
  }

  DrawWindowTestScope scope_;
  std::filesystem::path folder_;
};

TEST_F(DrawWindowPlaybackTest, ARecordingPlaysInTheWindowUnderTicksAndPausesWithEnter) {
  uint64_t recorded = 0;
  const std::string path = Record(20, recorded);
  FakeWindow w;
  TDrawWindow& window = *w.window;
  ASSERT_TRUE(window.OpenEventFile(path));
  EXPECT_TRUE(window.IsPlaying());
  EXPECT_TRUE(window.IsEventPlayback());
  EXPECT_EQ(window.Document().filePath, "painting");
  // The window draws with the player's stroke while it plays.
  ASSERT_NE(window.Playback()->Player(), nullptr);
  EXPECT_EQ(window.CurrentStroke(), window.Playback()->Player()->Stroke());
  EXPECT_EQ(window.PlaybackStep(), kStepPlayed);
  // Enter pauses: ticks take no steps; Escape resumes.
  EXPECT_TRUE(window.KeyDown(kKeyEnter, false, 0));
  EXPECT_TRUE(window.IsPlaybackPaused());
  const int32_t played = window.Document().EventMngr()->playStepCount;
  for (int i = 0; i < 3; ++i) EXPECT_EQ(window.PlaybackStep(), kStepWaiting);
  EXPECT_EQ(window.Document().EventMngr()->playStepCount, played);
  EXPECT_TRUE(window.KeyDown(kKeyEscape, false, 0));
  EXPECT_FALSE(window.IsPlaybackPaused());
  uint8_t answer = kStepPlayed;
  for (int i = 0; i < 100000 && window.IsPlaying(); ++i) answer = window.PlaybackStep();
  EXPECT_EQ(answer, kStepEnded);
  EXPECT_FALSE(window.IsPlaying());
  EXPECT_EQ(window.CurrentStroke(), window.MainStroke());
  EXPECT_EQ(test::FingerprintChecksum(window.Document()), recorded);
  // The report went to the main window (the fake owner has none: a developer-output line).
  EXPECT_TRUE(scope_.DebugSaid("playback report"));
  EXPECT_EQ(window.Playback()->LastReport().state, kReportFinished);
  EXPECT_EQ(window.Playback()->LastReport().appendable, 1);
}

TEST_F(DrawWindowPlaybackTest, StopQuestionAndAMissingFile) {
  uint64_t recorded = 0;
  const std::string path = Record(12, recorded);
  FakeWindow w;
  TDrawWindow& window = *w.window;
  ASSERT_TRUE(window.OpenEventFile(path));
  window.PlaybackStep();
  scope_.confirm.Script({kResultYes});
  window.RequestPlaybackStop();
  EXPECT_EQ(window.PlaybackStep(), kStepEnded);
  EXPECT_FALSE(window.IsPlaying());
  EXPECT_EQ(window.Playback()->LastReport().state, kReportInterrupted);

  FakeWindow missing;
  EXPECT_FALSE(missing.window->OpenEventFile((folder_ / "none.te4").string()));
  EXPECT_FALSE(missing.window->IsPlaying());
  ASSERT_FALSE(scope_.warnings.Texts().empty());
  EXPECT_EQ(scope_.warnings.Texts().back(), kStartPlayTexts[kStartPlayFileError]);
  EXPECT_EQ(missing.window->PlaybackStep(), kStepWaiting);
}

}  // namespace
}  // namespace tf
