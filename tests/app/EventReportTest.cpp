// The playback report's texts, time split and index pictures.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>

#include "app/EventReport.h"
#include "raster/FlatImage.h"
#include "raster/MemoryGraphic.h"

namespace tf {
namespace {

TEST(EventReportTest, TimeTexts) {
  struct Case {
    uint32_t ms;
    const char* text;
  } cases[] = {
      {0, "0 秒 000"},
      {61000, "1 分 1 秒 000"},
      {3723456, "1 時間 2 分 3 秒 456"},
      {3600007, "1 時間 0 秒 007"},
  };
  for (const Case& k : cases) EXPECT_EQ(ReportTimeText(k.ms), k.text) << k.ms;
  uint32_t h = 9, m = 9, s = 9, ms = 9;
  SplitMilliseconds(3723456, h, m, s, ms);
  EXPECT_EQ(h, 1u);
  EXPECT_EQ(m, 2u);
  EXPECT_EQ(s, 3u);
  EXPECT_EQ(ms, 456u);
}

TEST(EventReportTest, StateFileAndStepTexts) {
  EXPECT_EQ(ReportStateText(kReportFinished), "イベントの再生が終了しました");
  EXPECT_EQ(ReportStateText(kReportInterrupted), "イベントの再生を中断しました");
  EXPECT_EQ(ReportStateText(kReportStopped), "エラーによりイベントの再生を中止しました");
  EXPECT_EQ(ReportFileNameText("a.wpe", true), "a.wpe : 追記可");
  EXPECT_EQ(ReportFileNameText("b.te4", false), "b.te4 : 追記不可");
  EXPECT_EQ(ReportStepText(1234), "1234 ステップ");
}

TEST(EventReportTest, IndexPicturesAreCentredInTheirCellsAndFramedEmptySlotsStayBlank) {
  constexpr uint32_t kBackground = 0xFFC0C0C0u;
  constexpr uint32_t kFrame = 0x00102030u;
  TMemoryGraphic surface(kReportIndexWidth, kReportIndexHeight, kBackground);
  TMTC wide(60, 40);
  TMTC small(10, 9);
  for (int32_t y = 0; y < 40; ++y)
    for (int32_t x = 0; x < 60; ++x) *wide.Pixel(x, y) = 0x00336699u;  // alpha 0 in the picture
  for (int32_t y = 0; y < 9; ++y)
    for (int32_t x = 0; x < 10; ++x) *small.Pixel(x, y) = 0xFFAA0000u;
  std::array<const TMTC*, kReportIndexSlots> pictures{};
  pictures[0] = &wide;   // row 0, column 0
  pictures[7] = &small;  // row 1, column 2
  DrawIndex(surface, pictures, kFrame);
  // Slot 0: cell (5, 5), picture at (5 + 18, 5 + 28).
  EXPECT_EQ(surface.GetPixel(23, 33), 0xFF336699u) << "drawn opaque";
  EXPECT_EQ(surface.GetPixel(82, 72), 0xFF336699u);
  EXPECT_EQ(surface.GetPixel(84, 74), kBackground);
  EXPECT_EQ(surface.GetPixel(83, 73) | 0xFF000000u, surface.GetPixel(22, 32) | 0xFF000000u)
      << "the frame's corners";
  // The frame one pixel outside, the frame colour over the background at 0x99.
  const float weight = kReportFrameOpacity / 255.0f;
  uint32_t framed = 0xFF000000u;
  for (int shift = 0; shift < 24; shift += 8)
    framed |= uint32_t{ApplyChannelOp(ChannelBlend, static_cast<uint8_t>(kBackground >> shift),
                                      static_cast<uint8_t>(kFrame >> shift), weight)}
              << shift;
  EXPECT_EQ(surface.GetPixel(22, 32) | 0xFF000000u, framed);
  EXPECT_EQ(surface.GetPixel(83, 50) | 0xFF000000u, framed);
  // Slot 7: cell (209, 107), picture 10 x 9 at (209 + 43, 107 + 44) (rounded down).
  EXPECT_EQ(surface.GetPixel(252, 151), 0xFFAA0000u);
  EXPECT_EQ(surface.GetPixel(261, 159), 0xFFAA0000u);
  EXPECT_EQ(surface.GetPixel(251, 150) | 0xFF000000u, framed);
  // Empty slots: their cells blank.
  for (int32_t slot : {1, 2, 3, 4, 5, 6, 8, 9}) {
    const int32_t cx = 5 + 102 * (slot % 5), cy = 5 + 102 * (slot / 5);
    for (int32_t y = cy - 1; y <= cy + 97; y += 7)
      for (int32_t x = cx - 1; x <= cx + 97; x += 7) ASSERT_EQ(surface.GetPixel(x, y), kBackground) << slot;
  }
}

}  // namespace
}  // namespace tf
