#include "document/SelectionOutline.h"

#include <gtest/gtest.h>

#include <vector>

#include "document/MaskCanvas.h"
#include "platform/Surface.h"
#include "support/TestRng.h"

namespace tf {
namespace {

std::vector<TPoint> Points(const CPointList& list) {
  std::vector<TPoint> points;
  for (int32_t b = 0; b < list.BlockCount(); ++b)
    for (int32_t i = 0; i < list.BlockPointCount(b); ++i) points.push_back(list.GetBlock(b)[i]);
  return points;
}

class ScaledCanvas final : public MaskCanvas {
 public:
  explicit ScaledCanvas(float z) : zoom(z) {}
  SSize CanvasSize() const override { return SSize{100, 100}; }
  void CanvasToClientPoint(TPoint& point) const override {
    point.x = static_cast<int32_t>(static_cast<float>(point.x) * zoom + 0.01f);
    point.y = static_cast<int32_t>(static_cast<float>(point.y) * zoom + 0.01f);
  }
  float ViewZoom() const override { return zoom; }
  float ViewSine() const override { return 0.0f; }
  float ViewCosine() const override { return 1.0f; }
  float zoom;
};

// Pixels of the surface that are not the background.
int32_t CountDrawn(const MemorySurface& surface, uint32_t background) {
  int32_t count = 0;
  for (int32_t y = 0; y < surface.Height(); ++y)
    for (int32_t x = 0; x < surface.Width(); ++x)
      if (surface.Pixel(x, y) != background) ++count;
  return count;
}

TEST(AntTrace, ASinglePixelGivesItsFourCorners) {
  TChannel channel(12, 10);
  channel.GetPixelPtr(5, 7)[0] = 9;
  CAntPoints ants(nullptr, 0xCC);
  ASSERT_TRUE(ants.Trace(channel, false));
  EXPECT_EQ(Points(ants.LeftEdges()), (std::vector<TPoint>{{5, 7}}));
  EXPECT_EQ(Points(ants.RightEdges()), (std::vector<TPoint>{{6, 7}}));
  EXPECT_EQ(Points(ants.TopEdges()), (std::vector<TPoint>{{5, 7}}));
  EXPECT_EQ(Points(ants.BottomEdges()), (std::vector<TPoint>{{5, 8}}));
}

TEST(AntTrace, AnEmptyChannelTracesToFalseAndBordersGiveTheSizeAsEdge) {
  TChannel channel(8, 6);
  CAntPoints ants(nullptr, 0xCC);
  EXPECT_FALSE(ants.Trace(channel, false));
  EXPECT_FALSE(ants.HasPoints());
  SRectWH edge{5, 4, 3, 2};
  channel.FillRect(edge, 255);
  ASSERT_TRUE(ants.Trace(channel, false));
  EXPECT_EQ(Points(ants.RightEdges()), (std::vector<TPoint>{{8, 4}, {8, 5}}));
  EXPECT_EQ(Points(ants.BottomEdges()), (std::vector<TPoint>{{5, 6}, {6, 6}, {7, 6}}));
}

TEST(AntTrace, EdgeCountsEqualTheRunCountsOnRandomMasks) {
  test::XorShiftRng rng(0xA475);
  for (int round = 0; round < 30; ++round) {
    const int32_t w = 1 + static_cast<int32_t>(rng.Next() % 150);
    const int32_t h = 1 + static_cast<int32_t>(rng.Next() % 120);
    const uint32_t density = 1 + rng.Next() % 5;
    TChannel channel(w, h);
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x)
        channel.GetPixelPtr(x, y)[0] = rng.Next() % density == 0 ? static_cast<uint8_t>(1 + rng.Next() % 255) : 0;
    int32_t rowRuns = 0;
    int32_t columnRuns = 0;
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) {
        const bool in = channel.GetPixelPtr(x, y)[0] != 0;
        if (in && (x == 0 || channel.GetPixelPtr(x - 1, y)[0] == 0)) ++rowRuns;
        if (in && (y == 0 || channel.GetPixelPtr(x, y - 1)[0] == 0)) ++columnRuns;
      }
    CAntPoints ants(nullptr, 0xCC);
    EXPECT_EQ(ants.Trace(channel, false), rowRuns > 0);
    EXPECT_EQ(ants.LeftEdges().PointCount(), rowRuns);
    EXPECT_EQ(ants.RightEdges().PointCount(), rowRuns);
    EXPECT_EQ(ants.TopEdges().PointCount(), columnRuns);
    EXPECT_EQ(ants.BottomEdges().PointCount(), columnRuns);
    // Lists run row by row (left, right) and column by column (top, bottom).
    const std::vector<TPoint> tops = Points(ants.TopEdges());
    for (size_t i = 1; i < tops.size(); ++i)
      ASSERT_TRUE(tops[i - 1].x < tops[i].x || (tops[i - 1].x == tops[i].x && tops[i - 1].y < tops[i].y));
  }
}

TEST(AntTrace, PointsSpillIntoFurtherBlocks) {
  TChannel channel(2100, 1);
  for (int32_t x = 0; x < 2100; x += 2) channel.GetPixelPtr(x, 0)[0] = 1;
  CAntPoints ants(nullptr, 0xCC);
  ASSERT_TRUE(ants.Trace(channel, false));
  EXPECT_EQ(ants.LeftEdges().PointCount(), 1050);
  EXPECT_EQ(ants.LeftEdges().BlockCount(), 2);
  EXPECT_EQ(ants.LeftEdges().LastBlockCount(), 26);
  EXPECT_EQ(Points(ants.LeftEdges())[1049], (TPoint{2098, 0}));
}

TEST(AntDraw, DotsPerEdgeByZoomAndEightStepsReturn) {
  TChannel channel(10, 10);
  channel.GetPixelPtr(2, 3)[0] = 255;
  for (float zoom : {4.0f, 0.5f}) {
    ScaledCanvas canvas(zoom);
    CAntPoints ants(&canvas, 0xCC);
    ASSERT_TRUE(ants.Trace(channel, false));
    MemorySurface surface(60, 60, 0xFF123456u);
    ASSERT_TRUE(ants.Draw(surface, TRect{0, 0, 60, 60}));
    if (zoom == 4.0f) {
      // Four dots per edge point: the left edge runs down from (8, 12).
      for (int32_t i = 0; i < 4; ++i) EXPECT_NE(surface.Pixel(8, 12 + i), 0xFF123456u);
      EXPECT_EQ(surface.Pixel(8, 16), 0xFF123456u);
      // The right edge (12, 12) is moved one pixel in, to 11.
      EXPECT_NE(surface.Pixel(11, 12), 0xFF123456u);
    } else {
      // One dot each; right and bottom edges moved one pixel out.
      EXPECT_EQ(CountDrawn(surface, 0xFF123456u), 3);  // left and top coincide at (1, 1)
      EXPECT_NE(surface.Pixel(1, 1), 0xFF123456u);
      EXPECT_NE(surface.Pixel(2, 1), 0xFF123456u);  // right edge (3 -> 1) + 1
      EXPECT_NE(surface.Pixel(1, 3), 0xFF123456u);  // bottom edge (4 -> 2) + 1
    }
  }
  CAntPoints ants(nullptr, 0xCC);
  for (int i = 0; i < 8; ++i) {
    ants.Step();
  }
  EXPECT_EQ(ants.Pattern(), 0xCC);
  ants.Step();
  EXPECT_EQ(ants.Pattern(), 0x66);  // rotated right by one bit
  CAntPoints odd(nullptr, 0x81);
  for (int i = 0; i < 8; ++i) {
    odd.Step();
    if (i == 0) {
      EXPECT_EQ(odd.Pattern(), 0xC0);
    }
  }
  EXPECT_EQ(odd.Pattern(), 0x81);
}

TEST(AntDraw, RightAndBottomEdgesOnTheWindowBorderAreDrawn) {
  // A selection reaching the canvas's right and bottom borders, at zoom 1 in a window of exactly
  // the canvas size: those edges map to x = 10 and y = 10, moved back to 9 before the clip test.
  TChannel channel(10, 10);
  SRectWH all{0, 0, 10, 10};
  channel.FillRect(all, 255);
  ScaledCanvas canvas(1.0f);
  CAntPoints ants(&canvas, 0xFF);  // every dot black
  ASSERT_TRUE(ants.Trace(channel, false));
  MemorySurface surface(10, 10, 0xFF00FF00u);
  ASSERT_TRUE(ants.Draw(surface, TRect{0, 0, 10, 10}));
  for (int32_t i = 0; i < 10; ++i) {
    EXPECT_EQ(surface.Pixel(9, i), 0xFF000000u) << i;
    EXPECT_EQ(surface.Pixel(i, 9), 0xFF000000u) << i;
  }
  EXPECT_EQ(surface.Pixel(5, 5), 0xFF00FF00u);
}

TEST(SelectSlots, ThumbnailSizesPolygonAndClear) {
  TSelectMng slots(200, 100);
  ASSERT_TRUE(slots.IsValid());
  EXPECT_EQ(slots.GetCurrentSlot()->thumbnail->Width(), 48);
  EXPECT_EQ(slots.GetCurrentSlot()->thumbnail->Height(), 25);
  ASSERT_TRUE(slots.SizeThumbnail(0, 64, 64));
  EXPECT_EQ(slots.GetCurrentSlot()->thumbnail->Width(), 49);
  EXPECT_EQ(slots.GetCurrentSlot()->thumbnail->Height(), 48);
  EXPECT_TRUE(slots.IsSlotEmpty(0));
  const TPoint square[] = {{10, 10}, {50, 10}, {50, 50}, {10, 50}};
  ASSERT_TRUE(slots.AddPolygon(0, square, 2, 4));
  EXPECT_FALSE(slots.IsSlotEmpty(0));
  EXPECT_GT(slots.GetCurrentSlot()->channel->GetPixelPtr(30, 30)[0], 0);
  EXPECT_TRUE(slots.ClearSlot(0));
  EXPECT_TRUE(slots.IsSlotEmpty(0));
  EXPECT_EQ(slots.GetCurrentSlot()->channel->GetPixelPtr(30, 30)[0], 0);
  EXPECT_TRUE(slots.Resize(30, 40));
  EXPECT_EQ(slots.GetCurrentSlot()->channel->Width(), 30);
  EXPECT_FALSE(slots.AddPolygon(32, square, 0, 4));
  EXPECT_FALSE(slots.Resize(0, 4));
}

}  // namespace
}  // namespace tf
