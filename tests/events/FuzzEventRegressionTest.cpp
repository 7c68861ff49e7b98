// Inputs found by fuzzing the event stream loaders, kept as regression cases.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "events/EventStream.h"
#include "platform/Stream.h"
#include "platform/Warning.h"

namespace tf {
namespace {

// A loaded stream: the application-state record and an information packet of 5 bytes.
const std::vector<uint8_t> kLoadedStream = {0x00, 0x00, 0x04, 0x00, 0x3a, 0x00, 0x00, 0x00, 0x00,
                                            0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x03, 0x05, 0x00,
                                            0x00, 0x00, 'h',  'e',  'l',  'l',  'o'};

class FuzzEventRegressionTest : public ::testing::Test {
 protected:
  void SetUp() override { previousHost_ = SetWarningHost(&warnings_); }
  void TearDown() override { SetWarningHost(previousHost_); }

  RecordingWarningHost warnings_;
  WarningHost* previousHost_ = nullptr;
};

// A file's header may give the largest step count; recording and redoing steps after it kept
// counting past the int32 range (signed overflow, then a negative count).
TEST_F(FuzzEventRegressionTest, StepCountFromAFileStaysInRangeWhenStepsFollow) {
  for (int32_t steps : {INT32_MAX, INT32_MAX - 1}) {
    CEventMngr mngr(160, 1 << 20);
    ASSERT_TRUE(mngr.setupStream(nullptr, nullptr, 8, 8));
    MemoryStream stream(kLoadedStream);
    ASSERT_EQ(mngr.loadRawStream(stream, static_cast<int32_t>(kLoadedStream.size()), steps),
              kLoadedStream.size());
    EXPECT_EQ(mngr.stepCount(), steps);

    mngr.state = kEventRecording;
    const uint8_t payload[4] = {0, 0, 0, 0};
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(mngr.appendStep(kPcInfo, 3, payload, 4));
    EXPECT_EQ(mngr.stepCount(), INT32_MAX);
    EXPECT_EQ(mngr.committed(), static_cast<int32_t>(kLoadedStream.size()) + 3 * 6);

    // Undo one step, then the player puts the count back at the top before the redo.
    ASSERT_TRUE(mngr.undoStep());
    EXPECT_EQ(mngr.stepCount(), INT32_MAX - 1);
    mngr.setWritePosition(mngr.writePos(), mngr.committed(), INT32_MAX);
    ASSERT_TRUE(mngr.redoStep());
    EXPECT_EQ(mngr.stepCount(), INT32_MAX);
    EXPECT_EQ(mngr.committed(), static_cast<int32_t>(kLoadedStream.size()) + 3 * 6);
    EXPECT_FALSE(mngr.isBroken());
  }
}

}  // namespace
}  // namespace tf
