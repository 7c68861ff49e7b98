// The window's playback control over a headless window: a recorded painting played under the
// ticks of a fake clock, the pause, the stop question, the end with its report and thumbnails,
// a failing packet, and recording again after the playback.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/AppProfile.h"
#include "app/PlaybackControl.h"
#include "app/RenderMode.h"
#include "app/ToolWindow.h"
#include "paint/PenRender.h"
#include "platform/Clock.h"
#include "platform/Confirm.h"
#include "platform/Warning.h"
#include "playback/PlaybackTestSupport.h"

namespace tf {
namespace {

using test::FingerprintChecksum;
using test::RecordedBytes;
using test::RecordingDocument;

class Owner final : public ToolWindowOwner {
 public:
  CPenRender* MainPenRender() override { return nullptr; }
  MainFormChild* ActiveChild() override { return nullptr; }
  int32_t StrokeEngine() const override { return 2; }
  void ToggleStrokeEngine() override {}
};

// The interim tool window, recording what playback asks of it.
class RecordingTool final : public InterimToolWindow {
 public:
  explicit RecordingTool(ToolWindowOwner& owner) : InterimToolWindow(owner) {}
  void SetPlaybackMode(int32_t mode) override { modes.push_back(mode); }
  void ShowPlaybackColors(uint32_t fore, uint32_t) override { colours.push_back(fore); }
  std::vector<int32_t> modes;
  std::vector<uint32_t> colours;
};

class Site final : public PlaybackControlSite {
 public:
  // The window's own stroke is what the recorder reads once recording goes on after playback.
  Site() : tool(owner) {
    window.stroke = &stroke;
    window.penRender = &renderer;
    source.SetStroke(&stroke);
    window.Paper().EventMngr()->stroke = &source;
  }
  TPaper& Paper() override { return window.Paper(); }
  PlaybackHost& Host() override { return window; }
  DocumentWindow& Window() override { return window; }
  ToolWindow* Tool() override { return &tool; }
  bool RenderOrViewerMode() const override { return unattended; }
  RunResultHost* ResultHost() override { return results; }
  void ShowReport(const TEventReportParam& report) override { reports.push_back(report); }
  void ShowProgress(int32_t done, int32_t, uint32_t) override { progress.push_back(done); }

  HeadlessPlaybackWindow window;
  TStroke stroke{2};
  CPenRender renderer{&stroke};
  StrokeRecordSource source;
  Owner owner;
  RecordingTool tool;
  bool unattended = false;
  RunResultHost* results = nullptr;
  std::vector<TEventReportParam> reports;
  std::vector<int32_t> progress;
};

class Results final : public RunResultHost {
 public:
  void DeliverResult(int32_t code) override { codes.push_back(code); }
  void CloseProgram() override { ++closes; }
  std::vector<int32_t> codes;
  int32_t closes = 0;
};

// A seeded painting, recorded with its end marker.
struct Recording {
  Recording(int32_t width, int32_t height, int32_t commands) : doc(width, height) {
    if (!doc.ok) return;
    test::RecordPainting(doc, 0x5eed, commands, false);
    checksum = FingerprintChecksum(doc.Paper());
    doc.Events().writeEventFin();
    bytes = RecordedBytes(doc.Events());
    steps = doc.Events().stepCount();
  }
  RecordingDocument doc;
  // The stream cut at the first packet boundary past its middle, without its end marker: the
  // read at the cut fails.
  std::vector<uint8_t> Cut() {
    uint32_t cut = 0;
    doc.window.Paper().EventMngr()->walkPackets(0, static_cast<uint32_t>(bytes.size()), [&](const SPacketFrame& f) {
      cut = f.next();
      return cut < bytes.size() / 2;
    });
    return {bytes.begin(), bytes.begin() + cut};
  }
  uint64_t checksum = 0;
  int32_t steps = 0;
  std::vector<uint8_t> bytes;
};

// The bytes as a loaded recording of that many steps.
bool Load(TPaper& paper, const std::vector<uint8_t>& bytes, int32_t steps) {
  CEventMngr& m = *paper.EventMngr();
  if (!m.resetForLoad()) return false;
  if (!bytes.empty() && m.writeSpan(0, bytes.data(), static_cast<uint32_t>(bytes.size())) != bytes.size())
    return false;
  return m.setLoadedLength(static_cast<int32_t>(bytes.size()), steps);
}

class PlaybackControlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetAppProfile();
    previousClock_ = SetMillisecondSource([this] { return now_; });
    previousConfirm_ = SetConfirmHost(&confirm_);
    previousWarning_ = SetWarningHost(&warnings_);
  }
  void TearDown() override {
    SetMillisecondSource(previousClock_);
    SetConfirmHost(previousConfirm_);
    SetWarningHost(previousWarning_);
    ResetAppProfile();
  }
  // Ticks until the playback ends (the clock moving by the step each tick); the answers.
  std::vector<uint8_t> PlayOut(CPlaybackControl& control, uint32_t step, int32_t cap = 100000) {
    std::vector<uint8_t> answers;
    for (int32_t i = 0; i < cap && control.IsPlaying(); ++i) {
      now_ += step;
      answers.push_back(control.Step());
    }
    return answers;
  }

  uint32_t now_ = 0xFFFFF000u;  // close to the wrap
  MillisecondSource previousClock_;
  ScriptedConfirmHost confirm_;
  ConfirmHost* previousConfirm_ = nullptr;
  RecordingWarningHost warnings_;
  WarningHost* previousWarning_ = nullptr;
};

TEST_F(PlaybackControlTest, APaintingPlaysToTheRecordedPictureAtBothWaits) {
  Recording rec(160, 120, 24);
  ASSERT_FALSE(rec.bytes.empty());
  for (int32_t wait : {0, 16}) {
    SCOPED_TRACE(wait);
    AppProfile().eventWait = wait;
    Site site;
    ASSERT_TRUE(Load(site.Paper(), rec.bytes, rec.steps));
    CPlaybackControl control(site);
    ASSERT_EQ(control.OpenLoaded("/tmp/painting.te4"), kStartPlayStarted);
    ASSERT_EQ(site.tool.modes, std::vector<int32_t>{1});
    const std::vector<uint8_t> answers = PlayOut(control, 5);
    ASSERT_FALSE(control.IsPlaying());
    EXPECT_EQ(answers.back(), kStepEnded);
    EXPECT_EQ(std::count(answers.begin(), answers.end(), kStepFailed), 0);
    // With a wait the clock's 5 ms ticks mostly wait; without one every tick plays.
    EXPECT_EQ(std::count(answers.begin(), answers.end(), kStepWaiting) > 0, wait > 0);
    EXPECT_EQ(FingerprintChecksum(site.Paper()), rec.checksum);
    ASSERT_EQ(site.reports.size(), 1u);
    const TEventReportParam& report = site.reports[0];
    EXPECT_EQ(report.state, kReportFinished);
    EXPECT_EQ(report.appendable, 1);
    EXPECT_EQ(report.fileName, "/tmp/painting.te4");
    EXPECT_EQ(report.steps, rec.steps + 1);
    EXPECT_GT(report.elapsed, 0u);
    EXPECT_EQ(site.tool.modes.back(), 0);
    EXPECT_FALSE(site.tool.colours.empty());
    // Recording goes on after the played stream.
    EXPECT_EQ(site.Paper().EventMngr()->state, kEventRecording);
    for (int32_t t = 0; t < kReportIndexSlots; ++t) {
      ASSERT_NE(report.indexPictures[static_cast<size_t>(t)], nullptr) << t;
      EXPECT_EQ(report.indexPictures[static_cast<size_t>(t)]->Width(), 96);
      EXPECT_EQ(report.indexPictures[static_cast<size_t>(t)]->Height(), 72);
    }
  }
}

TEST_F(PlaybackControlTest, TenthsAndThumbnailSizes) {
  struct Case {
    int32_t done, total, tenth;
  };
  for (const Case& c : {Case{0, 100, -1}, Case{8, 100, -1}, Case{9, 100, 0}, Case{0, 5, 1}, Case{99, 100, 9},
                        Case{150, 100, 9}, Case{0, 0, -1}, Case{3, -4, -1}, Case{0, 1000, -1},
                        Case{2147483646, 2147483647, 9}}) {
    EXPECT_EQ(ProgressTenth(c.done, c.total), c.tenth) << c.done << "/" << c.total;
  }
  struct Size {
    int32_t w, h, tw, th;
  };
  for (const Size& s : {Size{2000, 1000, 96, 48}, Size{1000, 2000, 48, 96}, Size{500, 500, 96, 96},
                        Size{30000, 10, 96, 1}, Size{1, 1, 96, 96}}) {
    int32_t tw = 0, th = 0;
    ThumbnailSize(s.w, s.h, tw, th);
    EXPECT_EQ(tw, s.tw) << s.w << "x" << s.h;
    EXPECT_EQ(th, s.th) << s.w << "x" << s.h;
  }
}

TEST_F(PlaybackControlTest, PauseTakesNoStepsAndTheStopQuestionDecides) {
  Recording rec(120, 90, 16);
  Site site;
  ASSERT_TRUE(Load(site.Paper(), rec.bytes, rec.steps));
  CPlaybackControl control(site);
  ASSERT_EQ(control.OpenLoaded("rec.te4"), kStartPlayStarted);
  ASSERT_EQ(control.Step(), kStepPlayed);
  control.SetPaused(true);
  const int32_t before = site.Paper().EventMngr()->playStepCount;
  for (int i = 0; i < 5; ++i) EXPECT_EQ(control.Step(), kStepWaiting);
  EXPECT_EQ(site.Paper().EventMngr()->playStepCount, before);
  control.SetPaused(false);
  // No plays on.
  confirm_.Script({kResultNo});
  control.RequestStop();
  EXPECT_EQ(control.Step(), kStepPlayed);
  EXPECT_TRUE(control.IsPlaying());
  ASSERT_EQ(confirm_.Questions().size(), 1u);
  EXPECT_EQ(confirm_.Questions()[0].text, "イベント再生の途中ですが、再生を終了しますか?");
  // Yes stops: interrupted, and the stream records on from the picture shown.
  confirm_.Script({kResultYes});
  control.RequestStop();
  EXPECT_EQ(control.Step(), kStepEnded);
  EXPECT_FALSE(control.IsPlaying());
  ASSERT_EQ(site.reports.size(), 1u);
  EXPECT_EQ(site.reports[0].state, kReportInterrupted);
  EXPECT_EQ(site.reports[0].appendable, 1);
  CEventMngr& m = *site.Paper().EventMngr();
  EXPECT_EQ(m.state, kEventRecording);
  // What is recorded after the stop replays to the window's picture.
  ASSERT_TRUE(site.Paper().CreateStrokeMngr());
  const int32_t stepsBefore = m.stepCount();
  const uint32_t bytesBefore = m.writePos();
  ASSERT_TRUE(site.Paper().DuplicateLayer(site.window.GetFlowImage(), 0, true));
  EXPECT_GT(m.stepCount(), stepsBefore);
  EXPECT_GT(m.writePos(), bytesBefore) << m.readPos << " " << m.playStepCount;
  const uint64_t shown = FingerprintChecksum(site.Paper());
  ASSERT_TRUE(m.writeEventFin());
  const std::vector<uint8_t> again = RecordedBytes(m);
  Site replay;
  ASSERT_TRUE(test::LoadStreamBytes(replay.Paper(), again));
  CPlaybackControl second(replay);
  ASSERT_EQ(second.OpenLoaded("again.te4"), kStartPlayStarted);
  const std::vector<uint8_t> replayed = PlayOut(second, 1);
  ASSERT_EQ(replay.reports.size(), 1u);
  EXPECT_EQ(replay.reports[0].state, kReportFinished) << replayed.size();
  EXPECT_EQ(FingerprintChecksum(replay.Paper()), shown);
  if (FingerprintChecksum(replay.Paper()) != shown) {
    for (const std::string& line : test::Fingerprint(replay.Paper())) ADD_FAILURE() << "replay " << line;
    for (const std::string& line : test::Fingerprint(site.Paper())) ADD_FAILURE() << "shown  " << line;
  }
}

TEST_F(PlaybackControlTest, AFailingPacketEndsThePlaybackAndDiscardsTheStream) {
  Recording rec(100, 80, 10);
  const std::vector<uint8_t> broken = rec.Cut();
  Site site;
  ASSERT_TRUE(Load(site.Paper(), broken, rec.steps));
  CPlaybackControl control(site);
  ASSERT_EQ(control.OpenLoaded("bad.te4"), kStartPlayStarted);
  const std::vector<uint8_t> answers = PlayOut(control, 1);
  ASSERT_FALSE(control.IsPlaying());
  EXPECT_EQ(answers.back(), kStepFailed);
  ASSERT_EQ(site.reports.size(), 1u);
  EXPECT_EQ(site.reports[0].state, kReportStopped);
  EXPECT_EQ(site.reports[0].appendable, 0);
  EXPECT_FALSE(site.Paper().EventMngr()->isRecording());
  EXPECT_EQ(site.tool.modes.back(), 0);
}

TEST_F(PlaybackControlTest, UnattendedFailuresEndTheRunWithTheBadFileResult) {
  ResetRenderRun();
  Recording rec(100, 80, 10);
  const std::vector<uint8_t> broken = rec.Cut();
  Results results;
  Site site;
  site.unattended = true;
  site.results = &results;
  ASSERT_TRUE(Load(site.Paper(), broken, rec.steps));
  CPlaybackControl control(site);
  ASSERT_EQ(control.OpenLoaded("/nonexistent-w50/bad.te4"), kStartPlayStarted);
  PlayOut(control, 1);
  EXPECT_TRUE(site.reports.empty());
  ASSERT_FALSE(results.codes.empty());
  EXPECT_EQ(results.codes[0], kRunBadFile);
  EXPECT_GE(results.closes, 1);
  // An unreadable file: nothing plays, the run ends with the same result.
  Results second;
  Site other;
  other.unattended = true;
  other.results = &second;
  CPlaybackControl none(other);
  EXPECT_NE(none.Open("/nonexistent-w50/missing.te4"), kStartPlayStarted);
  EXPECT_FALSE(none.IsPlaying());
  ASSERT_FALSE(second.codes.empty());
  EXPECT_EQ(second.codes[0], kRunBadFile);
  // Interactively the recorder's message is shown.
  Site interactive;
  CPlaybackControl shown(interactive);
  EXPECT_EQ(shown.Open("/nonexistent-w50/missing.te4"), kStartPlayFileError);
  ASSERT_FALSE(warnings_.Texts().empty());
  EXPECT_EQ(warnings_.Texts().back(), kStartPlayTexts[kStartPlayFileError]);
}

TEST_F(PlaybackControlTest, ThumbnailsAtEachTenthOfAWideCanvas) {
  Recording rec(2000, 1000, 12);
  Site site;
  ASSERT_TRUE(Load(site.Paper(), rec.bytes, rec.steps));
  CPlaybackControl control(site);
  ASSERT_EQ(control.OpenLoaded("wide.te4"), kStartPlayStarted);
  PlayOut(control, 1);
  ASSERT_EQ(site.reports.size(), 1u);
  int32_t taken = 0;
  for (const TMTC* picture : site.reports[0].indexPictures) {
    if (picture == nullptr) continue;
    ++taken;
    EXPECT_EQ(picture->Width(), 96);
    EXPECT_EQ(picture->Height(), 48);
  }
  // The last tenth is reached by the end step, which takes none unless a played step reached it.
  EXPECT_GE(taken, kReportIndexSlots - 1);
}

}  // namespace
}  // namespace tf
