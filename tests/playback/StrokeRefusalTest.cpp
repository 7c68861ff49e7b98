// A recorded stroke during which memory is refused, at any allocation: afterwards the document,
// its undo and its recording agree. A stroke whose undo cannot be saved is taken back whole.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "paper/EventFileIO.h"
#include "paper/PaperEventFile.h"
#include "paper/PaperTestSupport.h"
#include "platform/AddressSpace.h"
#include "platform/Memory.h"
#include "playback/PlaybackTestSupport.h"
#include "support/CountingNew.h"
#include "support/TempFolder.h"

namespace tf::test {
namespace {

constexpr int32_t kWidth = 96;
constexpr int32_t kHeight = 72;

// Where memory is refused: before the stroke's n-th operator new, or (commit) the next tile
// commit and block allocation from the n-th call of the stroke on (begin 0, points, end last).
struct Refusal {
  bool commits;
  int32_t at;
};

class StrokeRefusalTest : public TempFolderTest {
 protected:
  StrokeRefusalTest() : TempFolderTest("tf-stroke-refusal") {}
  PaperTestScope scope;

  // add layer, a stroke under the refusal; whether any refusal happened inside the stroke.
  bool PaintUnderRefusal(RecordingDocument& d, const Refusal& refusal) {
    TPaper& paper = d.Paper();
    EXPECT_TRUE(paper.AddLayer(d.Flow(), paper.GetLayerCount(), true, true, 255, 3, kHeight, kWidth));
    SceneRng rng(0x57e0);
    SetScenePen(d, ScenePens()[1], 0x3366cc, rng);
    const float xs[] = {10, 30, 55, 80, 60, 20};
    const float ys[] = {10, 40, 20, 60, 65, 30};
    constexpr int32_t kCalls = 7;  // begin, five points, end
    bool refused = false;
    auto arm = [&](int32_t call) {
      if (refusal.commits && call == refusal.at) {
        RefuseNextCommits(1);
        SetMemoryRefusals(1);
      }
    };
    if (!refusal.commits) FailNewAfter(refusal.at);
    arm(0);
    if (paper.BeginStrokeMngr(d.Flow(), d.stroke, true, xs[0], ys[0], 0.8f)) {
      for (int32_t i = 1; i < 6; ++i) {
        arm(i);
        paper.StrokeToMngr(d.Flow(), d.stroke, true, 0, xs[i], ys[i], 0.5f + 0.1f * static_cast<float>(i));
      }
      arm(kCalls - 1);
      SRectWH rect{};
      paper.EndStrokeMngr(d.Flow(), d.stroke, true, rect, 0);
    }
    if (!refusal.commits) {
      refused = NewFailureHappened();
      FailNewAfter(-1);
    } else {
      refused = PendingMemoryRefusals() == 0 || refusal.at < kCalls;
      RefuseNextCommits(0);
      SetMemoryRefusals(0);
    }
    return refused;
  }

  // The recording as saved, played into a new document.
  std::vector<std::string> Replayed(RecordingDocument& d, const std::string& name) {
    const std::string path = PathOf(name);
    CPaperEventFileDocument file(d.Paper());
    EXPECT_TRUE(SaveEventFile(path, file, false, -1, -1, true));
    HeadlessPlaybackWindow b;
    CPlayer player(b.Paper(), &b);
    EXPECT_EQ(player.startPlay(path), kStartPlayStarted);
    EXPECT_EQ(PlayToEnd(player), kPlayStepEnded);
    return Fingerprint(b.Paper());
  }
};

TEST_F(StrokeRefusalTest, StrokeWhoseUndoCannotBeSavedIsTakenBackAndUndoAndReplayAgree) {
  std::vector<Refusal> cases;
  for (int32_t call = 0; call < 7; ++call) cases.push_back({true, call});
  for (int32_t n = 0; n < 400; n += (n < 60 ? 1 : 7)) cases.push_back({false, n});
  int32_t refusedCases = 0;
  for (const Refusal& refusal : cases) {
    SCOPED_TRACE((refusal.commits ? "commit refused at call " : "new refused after ") + std::to_string(refusal.at));
    RecordingDocument d(kWidth, kHeight);
    ASSERT_TRUE(d.ok);
    scope.debugLines.clear();
    if (PaintUnderRefusal(d, refusal)) ++refusedCases;
    const std::vector<std::string> said = scope.debugLines;
    // The document as it stands is what its recording replays to.
    EXPECT_EQ(Fingerprint(d.Paper()), Replayed(d, "painted.te4")) << ::testing::PrintToString(said);
    // One undo takes back the newest recorded step, in the document and in the recording alike.
    SRectWH rect{};
    d.Paper().Undo(d.Flow(), d.Paper().GetActiveLayerIndex(), rect);
    EXPECT_EQ(Fingerprint(d.Paper()), Replayed(d, "undone.te4"));
  }
  EXPECT_GT(refusedCases, 10);
}

}  // namespace
}  // namespace tf::test
