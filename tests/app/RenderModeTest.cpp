// The unattended runs' core: output folder and title, one marker a run, the result's route, the
// wait, and what a render writes for a current and an older stream.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/RenderMode.h"
#include "app/Startup.h"
#include "events/OldEventPacket.h"
#include "platform/Confirm.h"
#include "platform/Warning.h"
#include "paint/Stroke.h"
#include "paper/Paper.h"
#include "playback/HeadlessPlaybackWindow.h"
#include "playback/OldPlayer.h"
#include "playback/Player.h"
#include "raster/BmpData.h"
#include "raster/FlatImage.h"
#include "support/OldStreamBuilder.h"
#include "support/TempFolder.h"

namespace tf {
namespace {

using test::ScopedTempFolder;

struct RecordingHost : RunResultHost {
  std::vector<int32_t> codes;
  int32_t closes = 0;
  void DeliverResult(int32_t code) override { codes.push_back(code); }
  void CloseProgram() override { ++closes; }
};

// The switches' process-wide values, restored after each test.
class RenderModeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetRenderRun();
    saved_ = {RenderOrViewerMode, ViewerMode, ViewerWaitSeconds};
    savedFolder_ = OutputFolder;
    OutputFolder.clear();
  }
  void TearDown() override {
    RenderOrViewerMode = saved_.render;
    ViewerMode = saved_.viewer;
    ViewerWaitSeconds = saved_.wait;
    OutputFolder = savedFolder_;
    SetWaitClock({}, {});
    ResetRenderRun();
  }
  struct {
    bool render;
    bool viewer;
    int32_t wait;
  } saved_{};
  std::string savedFolder_;
};

bool Exists(const std::string& path) { return std::filesystem::exists(path); }

TEST_F(RenderModeTest, TitlesAndTheOutputFolderKeptForTheRun) {
  EXPECT_EQ(EventFileTitle("/recs/a.b.te4"), "a.b");
  EXPECT_EQ(EventFileTitle("a.te4"), "a");
  EXPECT_EQ(EventFileTitle("/recs/noext"), "noext");
  EXPECT_EQ(EventFileTitle("/recs/.hidden"), ".hidden");
  // Without o: the first event file's folder, kept afterwards.
  EXPECT_EQ(ResolveOutputFolder("/recs/a.te4"), "/recs");
  EXPECT_EQ(ResolveOutputFolder("/other/b.te4"), "/recs");
  OutputFolder = "/out";
  EXPECT_EQ(ResolveOutputFolder("/recs/a.te4"), "/out");
  OutputFolder.clear();
  EXPECT_EQ(ResolveOutputFolder("a.te4"), ".");
}

TEST_F(RenderModeTest, ResultsGiveOneMarkerARunThenTheCodeAndTheClose) {
  ScopedTempFolder folder("render-markers");
  OutputFolder = folder.Path();
  RenderOrViewerMode = true;
  struct Case {
    int32_t code;
    const char* marker;
  } cases[] = {{8, nullptr}, {9, nullptr}, {10, ".bad"}, {11, ".prt"}, {13, nullptr}, {-1, nullptr}};
  for (const Case& c : cases) {
    ResetRenderRun();
    std::filesystem::remove_all(folder.Path());
    std::filesystem::create_directory(folder.Path());
    RecordingHost host;
    ViewerResult("/recs/a.b.te4", c.code, host);
    EXPECT_EQ(host.codes, c.code >= 0 ? std::vector<int32_t>{c.code} : std::vector<int32_t>{}) << c.code;
    EXPECT_EQ(host.closes, 1);
    for (const char* ext : {".bad", ".prt"})
      EXPECT_EQ(Exists(folder.File((std::string("a.b") + ext).c_str())), c.marker != nullptr && std::string(c.marker) == ext)
          << c.code << ext;
  }
  // A second failure of the same run adds no second marker; an existing marker is truncated.
  ResetRenderRun();
  { std::ofstream(folder.File("x.prt")) << "old"; }
  EXPECT_TRUE(WriteMarker("/recs/x.te4", ".prt"));
  EXPECT_FALSE(WriteMarker("/recs/x.te4", ".bad"));
  EXPECT_EQ(std::filesystem::file_size(folder.File("x.prt")), 0u);
  EXPECT_FALSE(Exists(folder.File("x.bad")));
  EXPECT_EQ(MarkersWritten(), 1);
}

TEST_F(RenderModeTest, ViewerWaitsOnA64BitDeadlineAndRenderNever) {
  // A clock near the 32-bit wrap: the deadline must not wrap with it.
  uint64_t now = 0xFFFFFF00ull;
  std::vector<uint64_t> sleeps;
  SetWaitClock([&] { return now; }, [&](uint64_t ms) {
    sleeps.push_back(ms);
    now += ms;
  });
  WaitSeconds(10);
  EXPECT_EQ(sleeps, (std::vector<uint64_t>{10000}));
  EXPECT_EQ(now, 0xFFFFFF00ull + 10000);
  sleeps.clear();
  WaitSeconds(0);
  WaitSeconds(-5);
  EXPECT_TRUE(sleeps.empty());
  // A sleep that wakes early sleeps the rest.
  SetWaitClock([&] { return now; }, [&](uint64_t ms) {
    sleeps.push_back(ms);
    now += ms / 2 + 1;
  });
  const uint64_t start = now;
  WaitSeconds(1);
  EXPECT_GE(now, start + 1000);
  EXPECT_GT(sleeps.size(), 1u);

  SetWaitClock([&] { return now; }, [&](uint64_t ms) {
    sleeps.push_back(ms);
    now += ms;
  });
  ScopedTempFolder folder("render-wait");
  OutputFolder = folder.Path();
  RenderOrViewerMode = true;
  ViewerWaitSeconds = 3;
  for (bool viewer : {true, false}) {
    sleeps.clear();
    ViewerMode = viewer;
    RecordingHost host;
    ViewerResult("/recs/a.te4", viewer ? 13 : 8, host);
    EXPECT_EQ(sleeps, viewer ? std::vector<uint64_t>{3000} : std::vector<uint64_t>{}) << viewer;
  }
}

// Plays the kept recording into a window and renders it.
struct PlayedRecording {
  HeadlessPlaybackWindow window;
  CPlayer player{window.Paper(), &window};
  uint8_t start = kStartPlayError;
  uint8_t end = kPlayStepError;
  explicit PlayedRecording(const std::string& path) {
    window.renderMode = true;
    start = player.startPlay(path);
    end = start == kStartPlayStarted ? kPlayStepPlayed : kPlayStepError;
    for (int32_t i = 0; i < 1000000 && end == kPlayStepPlayed; ++i) end = player.playStep();
    // As the window does at the end: the document records again after the played part.
    if (end == kPlayStepEnded) stopped = player.stopPlay(true);
  }
  bool stopped = false;
};

TEST_F(RenderModeTest, ARenderWritesThePictureAndAProtectedRecordingThatPlaysToIt) {
  ScopedTempFolder folder("render-current");
  const std::string recording = std::string(TF_TEST_DATA_DIR) + "/player_painting.te4";
  OutputFolder = folder.Path();
  RenderOrViewerMode = true;
  ViewerMode = false;
  PlayedRecording played(recording);
  ASSERT_EQ(played.start, kStartPlayStarted);
  ASSERT_EQ(played.end, kPlayStepEnded);
  ASSERT_TRUE(played.stopped);
  RecordingHost host;
  RenderOutput(SRenderSource{&played.window.Paper(), recording, &played.player, nullptr}, host);
  EXPECT_EQ(host.codes, (std::vector<int32_t>{8}));
  EXPECT_EQ(host.closes, 1);
  EXPECT_EQ(MarkersWritten(), 0);

  // The picture is the composed document, upright, 24 bits, resolution 0.
  TPaper& paper = played.window.Paper();
  TMTC picture;
  int32_t dpi = -1;
  std::ifstream in(folder.File("player_painting.bmp"), std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_TRUE(LoadBMPFromMemory(picture, bytes.data(), static_cast<int64_t>(bytes.size()), &dpi));
  ASSERT_EQ(picture.Width(), paper.canvasWidth);
  ASSERT_EQ(picture.Height(), paper.canvasHeight);
  EXPECT_EQ(dpi, 0);
  for (int32_t y = 0; y < paper.canvasHeight; ++y)
    for (int32_t x = 0; x < paper.canvasWidth; ++x)
      ASSERT_EQ(picture.GetPixel(x, paper.canvasHeight - 1 - y) & 0xFFFFFF,
                paper.DisplayBuffer().GetPixel(x, y) & 0xFFFFFF)
          << x << "," << y;

  // The copy beside it is protected: a render refuses it; watched, it plays as a protected
  // document to the same picture.
  const std::string copy = folder.File("player_painting.te4");
  ASSERT_TRUE(Exists(copy));
  HeadlessPlaybackWindow refused;
  refused.renderMode = true;
  CPlayer refusing(refused.Paper(), &refused);
  EXPECT_EQ(refusing.startPlay(copy), kStartPlayProtected);
  HeadlessPlaybackWindow again;
  CPlayer player(again.Paper(), &again);
  ASSERT_EQ(player.startPlay(copy), kStartPlayStarted);
  uint8_t r = kPlayStepPlayed;
  for (int32_t i = 0; i < 1000000 && r == kPlayStepPlayed; ++i) r = player.playStep();
  EXPECT_EQ(r, kPlayStepEnded);
  EXPECT_EQ(again.Paper().protectedDocument, 1);
  ASSERT_TRUE(again.Paper().ComposeRectXY(0, 0, paper.canvasWidth, paper.canvasHeight, false));
  for (int32_t y = 0; y < paper.canvasHeight; ++y)
    for (int32_t x = 0; x < paper.canvasWidth; ++x)
      ASSERT_EQ(again.Paper().DisplayBuffer().GetPixel(x, y), paper.DisplayBuffer().GetPixel(x, y)) << x << "," << y;
}

TEST_F(RenderModeTest, ViewerModeOnlyReportsAndOutsideTheModesNothingHappens) {
  ScopedTempFolder folder("render-viewer");
  const std::string recording = std::string(TF_TEST_DATA_DIR) + "/player_painting.te4";
  OutputFolder = folder.Path();
  PlayedRecording played(recording);
  ASSERT_EQ(played.end, kPlayStepEnded);
  RecordingHost host;
  RenderOrViewerMode = false;
  RenderOutput(SRenderSource{&played.window.Paper(), recording, &played.player, nullptr}, host);
  EXPECT_TRUE(host.codes.empty());
  EXPECT_EQ(host.closes, 0);
  RenderOrViewerMode = true;
  ViewerMode = true;
  ViewerWaitSeconds = 0;
  RenderOutput(SRenderSource{&played.window.Paper(), recording, &played.player, nullptr}, host);
  EXPECT_EQ(host.codes, (std::vector<int32_t>{13}));
  EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
}

TEST_F(RenderModeTest, OlderStreamsRenderSealedAndTooShortOnesFailTheirOutput) {
  ScopedTempFolder folder("render-older");
  OutputFolder = folder.Path();
  RenderOrViewerMode = true;
  ViewerMode = false;
  struct Case {
    int32_t events;
    int32_t code;
  } cases[] = {{48, 8}, {47, 9}};  // events of the stream with its end code
  for (const Case& c : cases) {
    ResetRenderRun();
    HeadlessDocumentWindow window;
    TStroke stroke{0};
    window.stroke = &stroke;
    if (CEventMngr* events = window.Paper().EventMngr(); events != nullptr) events->resetStream();
    // A seeded stream of exactly that many events.
    TEventPacket packets;
    bool sealed = true;
    for (int32_t n = 20; n < 80 && packets.EventCount() != c.events; ++n) {
      const std::vector<uint8_t> bytes = test::RandomOldStream(7, n, 40, 30);
      TMyMemory m(64);
      m.Write(bytes.data(), static_cast<int32_t>(bytes.size()));
      m.RewindRead();
      ASSERT_TRUE(packets.Validate(m, sealed));
    }
    ASSERT_EQ(packets.EventCount(), c.events);
    uint16_t code = 0;
    int32_t layersChanged = 0;
    int32_t untitled = 0;
    while (PlayOldEvents(window.Paper(), &window.Flow(), packets, code, layersChanged, 0, stroke,
                         [&] { return "無題" + std::to_string(++untitled); })) {
    }
    ASSERT_EQ(code, 0xFFFF);
    packets.DropEndCode();
    const std::string name = "old" + std::to_string(c.events) + ".wpe";
    RecordingHost host;
    RenderOutput(SRenderSource{&window.Paper(), "/recs/" + name, nullptr, &packets}, host);
    EXPECT_EQ(host.codes, (std::vector<int32_t>{c.code})) << c.events;
    const std::string title = "old" + std::to_string(c.events);
    EXPECT_TRUE(Exists(folder.File((title + ".bmp").c_str())));
    TEventPacket resaved;
    EXPECT_EQ(resaved.LoadFromFile(folder.File((title + ".wpe").c_str()), sealed), c.code == 8);
    if (c.code == 8) EXPECT_TRUE(sealed);
  }
}

TEST_F(RenderModeTest, AFailedPictureWriteIsCode9AndLeavesNoPartialFile) {
  ScopedTempFolder folder("render-fail");
  const std::string recording = std::string(TF_TEST_DATA_DIR) + "/player_painting.te4";
  OutputFolder = folder.File("missing-folder");
  RenderOrViewerMode = true;
  ViewerMode = false;
  PlayedRecording played(recording);
  ASSERT_EQ(played.end, kPlayStepEnded);
  RecordingHost host;
  RenderOutput(SRenderSource{&played.window.Paper(), recording, &played.player, nullptr}, host);
  EXPECT_EQ(host.codes, (std::vector<int32_t>{9}));
  EXPECT_EQ(MarkersWritten(), 0);
  EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
}

}  // namespace
}  // namespace tf

namespace tf {
namespace {

TEST(RenderModeHosts, UnattendedRunsWriteBoxesToStandardErrorAndAnswerCautiously) {
  InstallUnattendedHosts(true);
  InstallUnattendedHosts(true);  // twice changes nothing
  ::testing::internal::CaptureStderr();
  ShowWarningBox("ファイルが見つかりません！\rx.te4", 0, nullptr);
  ShowInformation("done");
  const int32_t yesNoCancel = AskConfirm("保存しますか？", kButtonsYesNoCancel);
  const int32_t yesNo = AskConfirm("続けますか？", kButtonsYesNo);
  const std::string err = ::testing::internal::GetCapturedStderr();
  InstallUnattendedHosts(false);
  EXPECT_EQ(yesNoCancel, kResultCancel);
  EXPECT_EQ(yesNo, kResultNo);
  EXPECT_NE(err.find("warning: ファイルが見つかりません！\nx.te4"), std::string::npos) << err;
  EXPECT_NE(err.find("information: done"), std::string::npos) << err;
  EXPECT_NE(err.find("question: 保存しますか？ (answered Cancel)"), std::string::npos) << err;
  // Back to what was there: the default host keeps the texts for tests.
  RecordingWarningHost recording;
  WarningHost* before = SetWarningHost(&recording);
  ShowWarningBox("after", 0, nullptr);
  SetWarningHost(before);
  EXPECT_EQ(recording.Texts(), (std::vector<std::string>{"after"}));
}

}  // namespace
}  // namespace tf
