// Seeded paintings of every command the player has a row for, at several canvas sizes: each
// replays as it was recorded, compared after every step; the first step that differs is named
// with its command and the lines of the document that differ.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "paper/PaperTestSupport.h"
#include "playback/PlaybackTestSupport.h"

namespace tf::test {
namespace {

struct Canvas {
  int32_t width, height;
};

// A dissolving layer's composed pattern followed which of its tiles were committed; a gradient
// fill that recorded nothing released transparent tiles in the recording only, and the replay
// composed another pattern from the same pixels.
TEST(PlayerSeedSweep, DissolvingLayerComposesAsRecorded) {
  PaperTestScope scope;
  EXPECT_EQ(ReplayMismatch(40, 120, 0x5eedb9c2ull, 81), "");
}

// The benchmark's short painting: its "select ellipse" after a "trim layer" that moved the
// selection's layer got other pixels on replay.
TEST(PlayerSeedSweep, SelectionAfterATrimmedLayerReplaysAsRecorded) {
  PaperTestScope scope;
  EXPECT_EQ(ReplayMismatch(96, 72, 0x9e3779b9ull, 30), "");
}

// TF_SWEEP_SEED (with TF_SWEEP_COMMANDS and TF_SWEEP_SIZE=WxH) looks at one painting.
TEST(PlayerSeedSweep, OnePaintingNamedByTheEnvironment) {
  const char* one = std::getenv("TF_SWEEP_SEED");
  if (one == nullptr) GTEST_SKIP() << "TF_SWEEP_SEED not set";
  PaperTestScope scope;
  const char* commands = std::getenv("TF_SWEEP_COMMANDS");
  const char* size = std::getenv("TF_SWEEP_SIZE");
  int32_t w = 96, h = 72;
  if (size != nullptr) std::sscanf(size, "%dx%d", &w, &h);
  EXPECT_EQ(ReplayMismatch(w, h, std::strtoull(one, nullptr, 0), commands ? std::atoi(commands) : 30), "");
}

// Seeded paintings of 30 to 200 commands on each canvas (TF_SWEEP_COUNT paintings a canvas, 80
// unless set): each replays as recorded, step by step.
class PlayerSeedSweepOnCanvas : public ::testing::TestWithParam<Canvas> {};

TEST_P(PlayerSeedSweepOnCanvas, SeededPaintingsReplayStepByStep) {
  PaperTestScope scope;
  const Canvas canvas = GetParam();
  const int32_t count = std::getenv("TF_SWEEP_COUNT") ? std::atoi(std::getenv("TF_SWEEP_COUNT")) : 80;
  int32_t failed = 0;
  for (int32_t i = 0; i < count; ++i) {
    const uint64_t seed = 0x5eed0000ull + static_cast<uint64_t>(i) * 7919u + static_cast<uint64_t>(canvas.width);
    const int32_t commands = 30 + (i * 37) % 171;  // 30 to 200
    const std::string mismatch = ReplayMismatch(canvas.width, canvas.height, seed, commands);
    if (mismatch.empty()) continue;
    if (++failed <= 4) ADD_FAILURE() << mismatch;
  }
  EXPECT_EQ(failed, 0) << "of " << count << " paintings";
}

INSTANTIATE_TEST_SUITE_P(Canvases, PlayerSeedSweepOnCanvas,
                         ::testing::Values(Canvas{96, 72}, Canvas{64, 40}, Canvas{131, 97}, Canvas{40, 120}),
                         [](const ::testing::TestParamInfo<Canvas>& info) {
                           return std::to_string(info.param.width) + "x" + std::to_string(info.param.height);
                         });

}  // namespace
}  // namespace tf::test

