// The pixel writer chain: the choice table, both stages with fake samplers, the per-dab dispatch,
// the lock and the scope guard.
#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "paint/PaintFakes.h"
#include "paint/PixelWriters.h"
#include "paint/Stroke.h"
#include "raster/ChannelShapes.h"
#include "raster/ColorMath.h"
#include "raster/FlatImage.h"

namespace tf {
namespace {

using test::FakeDocument;

// Stage 2 that counts its calls and keeps what it was given.
struct Stage2Log {
  int32_t calls = 0;
  uint32_t colour = 0;
  int32_t value = 0;
};
Stage2Log g_log;
void CountingColourWriter(uint32_t* pixel, uint32_t colour, int32_t value) {
  ++g_log.calls;
  g_log.colour = colour;
  g_log.value = value;
  *pixel = colour;
}
void CountingChannelWriter(uint8_t* pixel, int32_t extra, int32_t value) {
  ++g_log.calls;
  g_log.value = value;
  *pixel = static_cast<uint8_t>(extra);
}

class PixelWritersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetPixelWriters();
    g_log = {};
  }
  void TearDown() override { ResetPixelWriters(); }
};

struct ChoiceRow {
  bool tone, gradation, mask;
  ChannelStage1 channel;
  ImageStage1 image;
};
void PrintTo(const ChoiceRow& r, std::ostream* os) {
  *os << "tone " << r.tone << ", gradation " << r.gradation << ", mask " << r.mask;
}

class WriterChoiceTest : public PixelWritersTest, public ::testing::WithParamInterface<ChoiceRow> {};

TEST_P(WriterChoiceTest, StagesFollowTheTableAndBothFormsWriteTheSame) {
  const ChoiceRow row = GetParam();
  FakeDocument doc;
  doc.mask.allocated = row.mask;
  SetCurrentDrawWindow(&doc);
  TStroke stroke(2);
  stroke.SetUseTone(row.tone, false);
  stroke.SetUseGradation(row.gradation, false);
  UpdateStrokeWriters(stroke);
  ASSERT_EQ(GetChannelStage1(), row.channel);
  ASSERT_EQ(GetImageStage1(), row.image);
  EXPECT_EQ(GetDotPlotter(), &ChannelPlot);
  EXPECT_EQ(GetSoftDotPlotter(), &ImagePlot);
  EXPECT_EQ(GetColourWriter(), &PixelPaintOver);

  // What stage 2 must receive for value 200 at (10, 20) with colour 0x00ABCDEF.
  int32_t value = 200;
  uint32_t colour = 0x00ABCDEFu;
  if (row.mask) value = value * doc.mask.value / 255;
  if (row.tone) value = value * doc.tone.level / 255;
  if (row.gradation) {
    const uint32_t g = doc.gradient + 10;
    colour = ColorToPixel(g);
    if (!row.tone) value = static_cast<int32_t>(MulDiv255(static_cast<uint32_t>(value), g >> 24));
  }

  SetColourWriter(&CountingColourWriter);
  uint32_t pixel = 0;
  GetImageStage1()(&pixel, 10, 20, 200, 0x00ABCDEFu);
  EXPECT_EQ(g_log.calls, 1);
  EXPECT_EQ(g_log.value, value);
  EXPECT_EQ(g_log.colour, colour);
  if (row.mask) {
    EXPECT_EQ(doc.mask.lastX, 10 + 5 - 2);  // mask origin minus layer offset
    EXPECT_EQ(doc.mask.lastY, 20 + 7 - 3);
  }
  g_log = {};
  WithImageWriter([&](auto write) { write(&pixel, 10, 20, 200, 0x00ABCDEFu); });
  EXPECT_EQ(g_log.calls, 1);
  EXPECT_EQ(g_log.value, value);
  EXPECT_EQ(g_log.colour, colour);

  // A pixel where the mask is 0 reaches no stage 2, in either form.
  doc.mask.zeroX = 10 + 3;
  doc.mask.zeroY = 20 + 4;
  g_log = {};
  GetImageStage1()(&pixel, 10, 20, 200, 0);
  WithImageWriter([&](auto write) { write(&pixel, 10, 20, 200, 0); });
  EXPECT_EQ(g_log.calls, row.mask ? 0 : 2);
  doc.mask.zeroX = -1000;

  // The channel chain: mask and tone only.
  SetChannelStage2(&CountingChannelWriter);
  int32_t channelValue = 200;
  if (row.mask) channelValue = channelValue * doc.mask.value / 255;
  if (row.tone) channelValue = channelValue * doc.tone.level / 255;
  TChannel channel(32, 32);
  channel.Fill(0);
  g_log = {};
  EXPECT_TRUE(ChannelPlot(channel, 10, 20, 200, 77));
  EXPECT_EQ(g_log.calls, 1);
  EXPECT_EQ(g_log.value, channelValue);
  EXPECT_EQ(channel.GetPixel(10, 20), 77);
  WithChannelWriter([&](auto write) { write(PixelAddr8(channel.View(), 11, 20), 11, 20, 200, 77); });
  EXPECT_EQ(g_log.calls, 2);
  EXPECT_EQ(g_log.value, channelValue);
  EXPECT_FALSE(ChannelPlot(channel, 32, 0, 200, 77));
  EXPECT_EQ(g_log.calls, 2);
  SetCurrentDrawWindow(nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Table, WriterChoiceTest,
    ::testing::Values(ChoiceRow{false, false, false, &ChannelValuePlain, &ImageValuePlain},
                      ChoiceRow{false, false, true, &ChannelValueMask, &ImageValueMask},
                      ChoiceRow{false, true, false, &ChannelValuePlain, &ImageValueGradation},
                      ChoiceRow{false, true, true, &ChannelValueMask, &ImageValueGradationMask},
                      ChoiceRow{true, false, false, &ChannelValueTone, &ImageValueTone},
                      ChoiceRow{true, false, true, &ChannelValueToneMask, &ImageValueToneMask},
                      ChoiceRow{true, true, false, &ChannelValueTone, &ImageValueToneGradation},
                      ChoiceRow{true, true, true, &ChannelValueToneMask, &ImageValueToneGradationMask}),
    [](const ::testing::TestParamInfo<ChoiceRow>& info) {
      const ChoiceRow& r = info.param;
      return std::string(r.tone ? "Tone" : "NoTone") + (r.gradation ? "Gradation" : "NoGradation") +
             (r.mask ? "Mask" : "NoMask");
    });

TEST_F(PixelWritersTest, StartUpStateAndReset) {
  EXPECT_EQ(GetChannelStage1(), &ChannelValuePlain);
  EXPECT_EQ(GetImageStage1(), &ImageValuePlain);
  EXPECT_EQ(GetChannelStage2(), &ChannelWriteMax);
  EXPECT_EQ(GetColourWriter(), &BlendColor);
  EXPECT_EQ(AirMapKind(), 3);
  EXPECT_EQ(AirMap()[0], 255 << 16);
  EXPECT_FALSE(IsWriterLocked());
  SetColourWriter(&PixelEraseAlpha);
  SetWriterLock(true);
  ResetPixelWriters();
  EXPECT_EQ(GetColourWriter(), &BlendColor);
  EXPECT_FALSE(IsWriterLocked());
}

TEST_F(PixelWritersTest, TheLockKeepsTheStagesButRefreshesMaskAndAirMap) {
  FakeDocument doc;
  SetCurrentDrawWindow(&doc);
  TStroke stroke(2);
  stroke.SetUseTone(true, false);
  stroke.StoreAirMapKind(0);
  SetWriterLock(true);
  doc.maskOrigin = {40, 40};
  UpdateStrokeWriters(stroke);
  EXPECT_EQ(GetImageStage1(), &ImageValuePlain);
  EXPECT_EQ(AirMapKind(), 0);
  EXPECT_EQ(WriterState().maskOffset.x, 38);
  SetWriterLock(false);
  UpdateStrokeWriters(stroke);
  EXPECT_EQ(GetImageStage1(), &ImageValueToneMask);
  SetCurrentDrawWindow(nullptr);
}

TEST_F(PixelWritersTest, MaskStateFollowsTheSelectionSwitch) {
  FakeDocument doc;
  doc.selection = false;
  SetCurrentDrawWindow(&doc);
  EXPECT_EQ(WriterState().mask, nullptr);
  doc.selection = true;
  doc.mask.allocated = false;
  RefreshToneAndMask();
  EXPECT_EQ(WriterState().mask, &doc.mask);
  EXPECT_EQ(WriterState().maskOffset, (TPoint{0, 0}));
  TStroke stroke(2);
  UpdateStrokeWriters(stroke);
  EXPECT_EQ(GetImageStage1(), &ImageValuePlain);  // M is "allocated"
  SetCurrentDrawWindow(nullptr);
  EXPECT_EQ(WriterState().tone, nullptr);
}

TEST_F(PixelWritersTest, ColourWriterByAlphaProtectionAndPlaybackOfTheOldestEngine) {
  FakeDocument doc;
  TStroke stroke(2);
  doc.keepAlpha = true;
  BindStrokeToPaper(stroke, &doc);
  EXPECT_TRUE(stroke.GetKeepAlpha());
  EXPECT_EQ(GetColourWriter(), &BlendColor);
  doc.keepAlpha = false;
  BindStrokeToPaper(stroke, &doc);
  EXPECT_FALSE(stroke.GetKeepAlpha());
  EXPECT_EQ(GetColourWriter(), &PixelPaintOver);
  doc.locked = true;
  doc.modern = false;
  BindStrokeToPaper(stroke, &doc);
  EXPECT_EQ(GetColourWriter(), &BlendColor);
  doc.layers = false;  // without layers the stroke's switch stays
  stroke.SetKeepAlpha(true, false);
  doc.keepAlpha = false;
  doc.locked = false;
  BindStrokeToPaper(stroke, &doc);
  EXPECT_TRUE(stroke.GetKeepAlpha());
}

TEST_F(PixelWritersTest, InitStrokeWritersRebuildsTheAirMapOfTheStrokesKind) {
  TStroke stroke(2);
  AirMapHard(WriterState().airMap);  // a table that does not match kind 3
  InitStrokeWriters(stroke);
  std::vector<int32_t> linear(kAirMapEntries);
  AirMapLinear(linear.data());
  EXPECT_EQ(std::vector<int32_t>(AirMap(), AirMap() + kAirMapEntries), linear);
  SetAirMap(&stroke, 1, false);
  EXPECT_EQ(stroke.GetAirMapKind(), 1);
  EXPECT_EQ(AirMapKind(), 1);
  // 127 is stored but leaves the circle table in place.
  const int32_t circleMiddle = AirMap()[1000];
  SetAirMap(&stroke, 127, false);
  EXPECT_EQ(AirMapKind(), 127);
  EXPECT_EQ(AirMap()[1000], circleMiddle);
}

// A dab that swaps the colour writer must leave the chain as it was, also when it fails.
TEST_F(PixelWritersTest, AFailingDabLeavesTheWritersUnchanged) {
  SetColourWriter(&PixelPaintOver);
  auto dab = [](bool raise) -> bool {
    ScopedColourWriter swap(&PixelEraseAlpha);
    EXPECT_EQ(GetColourWriter(), &PixelEraseAlpha);
    if (raise) throw std::runtime_error("dab failed");
    return false;
  };
  EXPECT_FALSE(dab(false));
  EXPECT_EQ(GetColourWriter(), &PixelPaintOver);
  EXPECT_THROW(dab(true), std::runtime_error);
  EXPECT_EQ(GetColourWriter(), &PixelPaintOver);
}

TEST_F(PixelWritersTest, InlinedDispatchWritesWhatThePointerFormWrites) {
  FakeDocument doc;
  SetCurrentDrawWindow(&doc);
  TStroke stroke(2);
  for (PixelOp writer : {&PixelPaintOver, &BlendColor, &PixelEraseAlpha, &PixelLerpARGB, &PixelLightnessCurve,
                         &PixelMultiplyOver}) {
    for (bool gradation : {false, true}) {
      stroke.SetUseGradation(gradation, true);
      SetColourWriter(writer);
      for (uint32_t start : {0x00000000u, 0x80336699u, 0xFF102030u}) {
        for (int32_t v : {1, 77, 200, 255}) {
          uint32_t a = start, b = start;
          GetImageStage1()(&a, 3, 4, v, 0xC0A0B0C0u);
          WithImageWriter([&](auto write) { write(&b, 3, 4, v, 0xC0A0B0C0u); });
          ASSERT_EQ(a, b) << std::hex << start << " " << v;
        }
      }
    }
  }
  SetCurrentDrawWindow(nullptr);
}

TEST_F(PixelWritersTest, ChannelWriteMaxNeverLowersSoARepeatedDabChangesNothing) {
  uint8_t pixel = 100;
  ChannelWriteMax(&pixel, 255, 50);
  EXPECT_EQ(pixel, 100);
  ChannelWriteMax(&pixel, 255, 150);
  EXPECT_EQ(pixel, 150);
  ChannelWriteMax(&pixel, 128, 255);
  EXPECT_EQ(pixel, 150);

  TStroke stroke(2);
  UpdateStrokeWriters(stroke);  // installs the plot hooks
  TChannel channel(24, 24);
  channel.Fill(0);
  DrawRoundDot(channel, 255, true, 11.3f, 12.6f, 5.0f, 0.8f, false);
  std::vector<uint8_t> once(channel.Bits(), channel.Bits() + channel.GetImageSize());
  DrawRoundDot(channel, 255, true, 11.3f, 12.6f, 5.0f, 0.8f, false);
  EXPECT_EQ(std::vector<uint8_t>(channel.Bits(), channel.Bits() + channel.GetImageSize()), once);
  EXPECT_GT(channel.GetPixel(11, 12), 0);
}

TEST_F(PixelWritersTest, MissingToneOrDocumentWritesNothing) {
  FakeDocument doc;
  doc.hasTone = false;
  SetCurrentDrawWindow(&doc);
  TStroke stroke(2);
  stroke.SetUseTone(true, true);
  SetColourWriter(&CountingColourWriter);
  uint32_t pixel = 0;
  GetImageStage1()(&pixel, 1, 1, 255, 0);
  EXPECT_EQ(g_log.calls, 0);
  SetCurrentDrawWindow(nullptr);
  stroke.SetUseTone(false, false);
  stroke.SetUseGradation(true, true);
  SetColourWriter(&CountingColourWriter);
  GetImageStage1()(&pixel, 1, 1, 255, 0);
  EXPECT_EQ(g_log.calls, 0);
}

}  // namespace
}  // namespace tf
