// The tone set as the recorder reads it and the player rebuilds it: tones and patterns chosen in
// one tone set and painted through by recorded strokes come back in the player's own tone set
// with the same value at every pixel.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "events/EventStream.h"
#include "events/ToneSetSources.h"
#include "paint/ScreenTone.h"
#include "paint/ToneSet.h"
#include "platform/Warning.h"
#include "raster/FlatImage.h"
#include "support/FakeRecordSources.h"

namespace tf {
namespace {

constexpr uint32_t kBlock = 65536;

SToneAttr Tone(float resolution, float ruling, float angle, float density, uint8_t shape) {
  SToneAttr a;
  InitToneAttr(a);
  a.shape = shape;
  a.resolution = resolution;
  a.ruling = ruling;
  a.angle = angle;
  a.density = density;
  a.name = "t";
  return a;
}

// The working copy's value at every pixel of a small area, as the pixel writers ask for it.
std::vector<int32_t> ToneValues(const CToneMngr& tones) {
  std::vector<int32_t> values;
  for (int32_t y = -7; y < 29; ++y)
    for (int32_t x = -5; x < 43; ++x) values.push_back(tones.ToneValueAt(x, y, 255));
  return values;
}

class ToneSetSourcesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previousHost_ = SetWarningHost(&warnings_);
    recorder_.attachDocument(&document_);
    recorder_.attachPen(&pen_);
    ASSERT_TRUE(recorder_.setupRecording(&stroke_, &source_, 42, 42));
    ASSERT_TRUE(recorder_.writeNewDocument(64, 48, 64, 48, 72, true, false));
    ASSERT_TRUE(recorder_.startRecording());
    stroke_.state.useTone = true;
  }
  void TearDown() override { SetWarningHost(previousHost_); }

  // Records a stroke painted through the current working pattern and keeps its values.
  void Stroke() {
    ASSERT_TRUE(recorder_.beginStroke(1, 2, 1));
    ASSERT_TRUE(recorder_.endStroke());
    expected_.push_back(ToneValues(tones_));
  }

  // Plays the tone packets of the recording into a player over its own tone set; the values
  // after each packet.
  std::vector<std::vector<int32_t>> Play(CToneMngr& playerTones, int32_t& definitions) {
    std::vector<uint8_t> bytes(static_cast<size_t>(recorder_.committed()));
    recorder_.readSpan(0, bytes.data(), static_cast<uint32_t>(bytes.size()));
    CEventMngr player(kBlock, 1048576);
    EXPECT_TRUE(player.setupStream(nullptr, nullptr, 8, 8));
    EXPECT_EQ(player.writeSpan(0, bytes.data(), static_cast<uint32_t>(bytes.size())), bytes.size());
    EXPECT_TRUE(player.setLoadedLength(static_cast<int32_t>(bytes.size()), 1));
    player.state = kEventPlaying;
    CPlayedToneSet played(playerTones);
    player.attachPlayedResources(&played);
    std::vector<std::vector<int32_t>> seen;
    definitions = 0;
    player.walkPackets(0, player.writePos(), [&](const SPacketFrame& f) {
      if (f.header.cls != 0 || (f.header.code != 36 && f.header.code != 37)) return true;
      const bool ok = f.header.code == 36 ? player.playToneDefinition(f) : player.playToneReference(f);
      EXPECT_TRUE(ok) << "packet " << int{f.header.code};
      definitions += f.header.code == 36;
      seen.push_back(ToneValues(playerTones));
      return true;
    });
    player.attachPlayedResources(nullptr);
    return seen;
  }

  RecordingWarningHost warnings_;
  WarningHost* previousHost_ = nullptr;
  FakeRecordedDocument document_;
  FakeRecordedStroke stroke_;
  FakeRecordedPen pen_;
  CToneMngr tones_;
  CRecordedToneSet source_{tones_};
  CEventMngr recorder_{kBlock, 1048576};
  std::vector<std::vector<int32_t>> expected_;
};

TEST_F(ToneSetSourcesTest, TonesAndPatternsChosenInTheSetReplayWithTheSameValues) {
  ASSERT_EQ(tones_.AddTone(Tone(600, 75, 45, 30, 1), true, nullptr), 0);
  ASSERT_EQ(tones_.AddTone(Tone(600, 50, 15, 60, 3), true, nullptr), 1);
  TChannel tile(5, 7);
  for (int32_t y = 0; y < 7; ++y)
    for (int32_t x = 0; x < 5; ++x) tile.GetPixelPtr(x, y)[0] = static_cast<uint8_t>(x * 50 + y * 9);
  const TPoint offsets{2, 3};
  ASSERT_EQ(tones_.AddPattern(tile, 200, &offsets), 2);

  tones_.SetCurrent(0);
  Stroke();
  tones_.SetCurrent(1);  // another tone in the same working copy
  Stroke();
  tones_.SetCurrent(2);  // the plain pattern at twice its size, with offsets
  Stroke();
  tones_.GetItem(0)->SetOffsets(4, 1);
  static_cast<CPat8*>(tones_.GetItem(0))->SetInverted(true);
  tones_.SetCurrent(0);
  Stroke();

  CToneMngr playerTones;
  int32_t definitions = 0;
  const auto seen = Play(playerTones, definitions);
  EXPECT_EQ(definitions, 4);
  ASSERT_EQ(seen.size(), expected_.size());
  for (size_t i = 0; i < seen.size(); ++i) EXPECT_EQ(seen[i], expected_[i]) << "stroke " << i;
  // The painted values are the pattern's, not the plain value.
  EXPECT_NE(expected_[0], std::vector<int32_t>(expected_[0].size(), 255));
  EXPECT_NE(expected_[0], expected_[1]);
}

TEST_F(ToneSetSourcesTest, ReusedWorkingCopyTakesANewKey) {
  // Two tones share one working copy object; the recorder keys pictures by serial id, so a
  // kept id would replay the first tone for the second.
  ASSERT_EQ(tones_.AddTone(Tone(600, 75, 45, 30, 1), true, nullptr), 0);
  ASSERT_EQ(tones_.AddTone(Tone(600, 75, 45, 70, 1), true, nullptr), 1);
  tones_.SetCurrent(0);
  SRecordedPattern first;
  ASSERT_TRUE(source_.currentPattern(first));
  tones_.SetCurrent(1);
  SRecordedPattern second;
  ASSERT_TRUE(source_.currentPattern(second));
  EXPECT_NE(first.key, second.key);
  EXPECT_EQ(second.kind, 1);
  SToneAttr back;
  InitToneAttr(back);
  ToneAttrFromNumbers(back, second.toneAttributes);
  EXPECT_EQ(back.density, 70.0f);
  EXPECT_EQ(back.ruling, 75.0f);
}

TEST_F(ToneSetSourcesTest, NothingToRecordWithoutAWorkingPattern) {
  SRecordedPattern p;
  EXPECT_FALSE(source_.currentPattern(p));
}

TEST_F(ToneSetSourcesTest, PlayerRefusesWhatItCannotBuild) {
  CToneMngr set;
  CPlayedToneSet played(set);
  SToneAttr bad = Tone(600, 0, 45, 30, 1);  // ruling 0
  int32_t numbers[6];
  ToneAttrToNumbers(bad, numbers);
  EXPECT_EQ(played.addScreenTone(numbers, true, nullptr), -1);
  ToneAttrToNumbers(Tone(600, 75, 120, 30, 1), numbers);  // angle outside 0..90
  EXPECT_EQ(played.addScreenTone(numbers, true, nullptr), -1);
  EXPECT_EQ(played.addImagePattern(nullptr, 100, 0, 0), -1);
  EXPECT_FALSE(played.setPatternPlacement(0, 0, 0, 100, false));
  EXPECT_FALSE(played.setPatternName(3, "x"));
  EXPECT_EQ(played.setCurrentPattern(0), -1);
  EXPECT_EQ(set.Count(), 0);
  // Image nibs belong to the pen shapes: without them the calls fail.
  TChannel nib(4, 4);
  EXPECT_FALSE(played.rebuildImageShape(nib, 100, 7));
  EXPECT_FALSE(played.imageShapeValid());
}

}  // namespace
}  // namespace tf
