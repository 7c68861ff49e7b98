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

// The benchmark's short painting: its "select ellipse" after a "trim layer" that moved the
// selection's layer got other pixels on replay.
TEST(PlayerSeedSweep, SelectionAfterATrimmedLayerReplaysAsRecorded) {
  PaperTestScope scope;
  EXPECT_EQ(ReplayMismatch(96, 72, 0x9e3779b9ull, 30), "");
}

TEST(PlayerSeedSweep, SeededPaintingsReplayStepByStep) {
  PaperTestScope scope;
  // TF_SWEEP_SEED (with TF_SWEEP_COMMANDS and TF_SWEEP_SIZE=WxH) looks at one painting instead.
  if (const char* one = std::getenv("TF_SWEEP_SEED")) {
    const char* commands = std::getenv("TF_SWEEP_COMMANDS");
    const char* size = std::getenv("TF_SWEEP_SIZE");
    int32_t w = 96, h = 72;
    if (size != nullptr) std::sscanf(size, "%dx%d", &w, &h);
    EXPECT_EQ(ReplayMismatch(w, h, std::strtoull(one, nullptr, 0), commands ? std::atoi(commands) : 30), "");
    for (const std::string& line : scope.debugLines) std::printf("debug: %s", line.c_str());
    return;
  }
  constexpr Canvas kCanvases[] = {{96, 72}, {64, 40}, {131, 97}, {40, 120}};
  const int32_t perCanvas = std::getenv("TF_SWEEP_COUNT") ? std::atoi(std::getenv("TF_SWEEP_COUNT")) : 75;
  int32_t failed = 0, painted = 0;
  for (const Canvas& canvas : kCanvases) {
    for (int32_t i = 0; i < perCanvas; ++i) {
      const uint64_t seed = 0x5eed0000ull + static_cast<uint64_t>(i) * 7919u + static_cast<uint64_t>(canvas.width);
      const int32_t commands = 30 + (i * 37) % 171;  // 30 to 200
      const std::string mismatch = ReplayMismatch(canvas.width, canvas.height, seed, commands);
      ++painted;
      if (mismatch.empty()) continue;
      if (++failed <= 8) ADD_FAILURE() << mismatch;
    }
  }
  EXPECT_EQ(failed, 0) << "of " << painted << " paintings";
}

}  // namespace
}  // namespace tf::test
