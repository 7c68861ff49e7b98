#include "document/SelectionExtent.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "document/Mask.h"
#include "platform/Memory.h"
#include "raster/BlockVCH.h"
#include "support/TestRng.h"

namespace tf {
namespace {

// The footprint written out pixel by pixel: b = (n + 1) / 2; |dy| <= n for |dx| <= b, and
// |dy| <= n + b - |dx| beyond, up to |dx| = n.
bool InFootprint(int32_t n, int32_t dx, int32_t dy) {
  const int32_t ax = std::abs(dx), ay = std::abs(dy);
  if (ax > n || ay > n) return false;
  const int32_t b = (n + 1) / 2;
  return ax <= b || ay <= n + b - ax;
}

// Grey dilation (largest) or erosion by brute force over the footprint, 0 outside the source.
std::vector<uint8_t> BruteForce(const std::vector<uint8_t>& src, int32_t w, int32_t h, int32_t n, bool largest) {
  std::vector<uint8_t> out(src.size());
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      int32_t v = largest ? 0 : 255;
      for (int32_t dy = -n; dy <= n; ++dy)
        for (int32_t dx = -n; dx <= n; ++dx) {
          if (!InFootprint(n, dx, dy)) continue;
          const int32_t sx = x + dx, sy = y + dy;
          const int32_t s = sx < 0 || sy < 0 || sx >= w || sy >= h ? 0 : src[static_cast<size_t>(sy) * w + sx];
          v = largest ? std::max(v, s) : std::min(v, s);
        }
      out[static_cast<size_t>(y) * w + x] = static_cast<uint8_t>(v);
    }
  return out;
}

std::vector<uint8_t> Filtered(const std::vector<uint8_t>& src, int32_t w, int32_t h, int32_t n, bool largest) {
  std::vector<uint8_t> out(src.size(), 0xAB);
  std::vector<const uint8_t*> in(static_cast<size_t>(h));
  std::vector<uint8_t*> rows(static_cast<size_t>(h));
  for (int32_t y = 0; y < h; ++y) {
    in[static_cast<size_t>(y)] = src.data() + static_cast<size_t>(y) * w;
    rows[static_cast<size_t>(y)] = out.data() + static_cast<size_t>(y) * w;
  }
  EXPECT_TRUE(OctagonExtremeRows(in.data(), w, h, n, largest, rows.data()));
  return out;
}

// A soft selection: smooth blobs of every grey with hard zero patches and full patches.
std::vector<uint8_t> SoftMask(test::XorShiftRng& rng, int32_t w, int32_t h) {
  std::vector<uint8_t> m(static_cast<size_t>(w) * h);
  for (uint8_t& v : m) {
    const uint32_t r = rng.Next() % 8;
    v = r < 3 ? 0 : (r == 7 ? 255 : static_cast<uint8_t>(rng.Next() % 256));
  }
  return m;
}

TEST(SelectionExtent, FootprintIsTheOctagonOfTheRadius) {
  // Radius 1: the 3x3 square; 2 and 3: squares without corners; 5: two pixels cut per corner row.
  for (int32_t dx = -1; dx <= 1; ++dx) EXPECT_EQ(OctagonHalfHeight(1, dx), 1);
  EXPECT_EQ(OctagonHalfHeight(2, 2), 1);
  EXPECT_EQ(OctagonHalfHeight(2, 1), 2);
  EXPECT_EQ(OctagonHalfHeight(3, 3), 2);
  EXPECT_EQ(OctagonHalfHeight(3, -2), 3);
  EXPECT_EQ(OctagonHalfHeight(5, 5), 3);
  EXPECT_EQ(OctagonHalfHeight(5, 4), 4);
  EXPECT_EQ(OctagonHalfHeight(5, 3), 5);
  EXPECT_EQ(OctagonHalfHeight(5, 6), 0);
  for (int32_t n = 1; n <= 32; ++n)
    for (int32_t dx = -n; dx <= n; ++dx)
      for (int32_t dy = -n; dy <= n; ++dy)
        ASSERT_EQ(InFootprint(n, dx, dy), std::abs(dy) <= OctagonHalfHeight(n, dx))
            << n << " " << dx << " " << dy;
}

TEST(SelectionExtent, GrowAndShrinkEqualBruteForceForEveryRadius) {
  test::XorShiftRng rng(0xD11A7E);
  for (int32_t n = 1; n <= 32; ++n) {
    // Sizes below, near and above the neighbourhood's width.
    const int32_t w = 1 + static_cast<int32_t>(rng.Next() % 70);
    const int32_t h = 1 + static_cast<int32_t>(rng.Next() % 50);
    const std::vector<uint8_t> src = SoftMask(rng, w, h);
    for (bool largest : {true, false}) {
      ASSERT_EQ(Filtered(src, w, h, n, largest), BruteForce(src, w, h, n, largest))
          << "radius " << n << (largest ? " grow " : " shrink ") << w << "x" << h;
    }
  }
}

TEST(SelectionExtent, GrowAndShrinkEqualBruteForceOnWideSoftAreas) {
  // Mostly full areas with soft rims: erosion has something left to find.
  test::XorShiftRng rng(0x5017);
  for (int32_t n : {1, 2, 3, 4, 7, 8, 15, 16, 31, 32}) {
    const int32_t w = 90, h = 80;
    std::vector<uint8_t> src(static_cast<size_t>(w) * h);
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) {
        const int32_t d = std::min({x, y, w - 1 - x, h - 1 - y});
        const int32_t v = std::min(255, d * 12) - static_cast<int32_t>(rng.Next() % 9);
        src[static_cast<size_t>(y) * w + x] = static_cast<uint8_t>(std::clamp(v, 0, 255));
      }
    for (bool largest : {true, false})
      ASSERT_EQ(Filtered(src, w, h, n, largest), BruteForce(src, w, h, n, largest)) << n << " " << largest;
  }
}

// A recording may hold any radius its 16-bit field can; the player once refused those above 32.
TEST(SelectionExtent, RadiiAboveThirtyTwoEqualBruteForce) {
  test::XorShiftRng rng(0xB16B);
  for (int32_t n : {33, 34, 40, 47, 64}) {
    for (int32_t round = 0; round < 2; ++round) {
      // Sizes below and near the neighbourhood's width, and a wide soft area.
      const int32_t w = round == 0 ? 1 + static_cast<int32_t>(rng.Next() % 40) : n + 9;
      const int32_t h = round == 0 ? 1 + static_cast<int32_t>(rng.Next() % 30) : 14;
      std::vector<uint8_t> src = SoftMask(rng, w, h);
      if (round == 1)
        for (int32_t y = 0; y < h; ++y)
          for (int32_t x = 0; x < w; ++x)
            if (std::min({x, y, w - 1 - x, h - 1 - y}) > 2) src[static_cast<size_t>(y) * w + x] |= 0xF0;
      for (bool largest : {true, false})
        ASSERT_EQ(Filtered(src, w, h, n, largest), BruteForce(src, w, h, n, largest))
            << "radius " << n << (largest ? " grow " : " shrink ") << w << "x" << h;
    }
  }
}

TEST(SelectionExtent, RadiusOutsideTheRecordedRangeIsRefused) {
  const uint8_t pixel = 255;
  const uint8_t* in[1] = {&pixel};
  uint8_t out = 7;
  uint8_t* rows[1] = {&out};
  for (int32_t n : {0, -1, 0x10000, 0x7FFFFFFF}) {
    EXPECT_FALSE(OctagonExtremeRows(in, 1, 1, n, true, rows)) << n;
    EXPECT_EQ(out, 7);
  }
  // Any radius of the 16-bit field runs, in time that does not grow with it.
  for (int32_t n : {33, 1000, 0xFFFF}) {
    out = 7;
    EXPECT_TRUE(OctagonExtremeRows(in, 1, 1, n, true, rows)) << n;
    EXPECT_EQ(out, 255);
    EXPECT_TRUE(OctagonExtremeRows(in, 1, 1, n, false, rows)) << n;
    EXPECT_EQ(out, 0);
  }
}

TEST(SelectionExtent, AllocationFailureLeavesTheDestination) {
  const uint8_t pixel = 255;
  const uint8_t* in[1] = {&pixel};
  uint8_t out = 7;
  uint8_t* rows[1] = {&out};
  SetMemoryRefusals(1);
  EXPECT_FALSE(OctagonExtremeRows(in, 1, 1, 4, true, rows));
  SetMemoryRefusals(0);
  EXPECT_EQ(out, 7);
}

// ---- The mask channel steps --------------------------------------------------------------

std::unique_ptr<CMaskData> MaskWith(int32_t w, int32_t h, int32_t ox, int32_t oy,
                                    std::initializer_list<std::pair<TPoint, uint8_t>> pixels) {
  auto mask = CMaskData::Create(0, w, h);
  mask->offsetX = ox;
  mask->offsetY = oy;
  for (const auto& [p, v] : pixels) mask->Store()->SetPixel(p.x, p.y, v);
  return mask;
}

// The channel's value at a canvas pixel, for a channel at the given offset.
int32_t CanvasValue(const TChannel& channel, const TPoint& offset, int32_t x, int32_t y) {
  const int32_t sx = x + offset.x, sy = y + offset.y;
  if (sx < 0 || sy < 0 || sx >= channel.Width() || sy >= channel.Height()) return 0;
  return channel.GetPixel(sx, sy);
}

TEST(SelectionExtent, GrowOfOnePixelIsTheSquareThenTheSquareWithoutCorners) {
  auto mask = MaskWith(20, 20, 0, 0, {{{10, 10}, 200}});
  for (int32_t n : {1, 2}) {
    TChannel channel;
    TPoint offset{0, 0};
    ASSERT_TRUE(GrowMaskChannel(channel, *mask, n, offset, 0));
    EXPECT_EQ(offset, (TPoint{0, 0}));
    int32_t count = 0;
    for (int32_t y = 0; y < 20; ++y)
      for (int32_t x = 0; x < 20; ++x)
        if (CanvasValue(channel, offset, x, y) != 0) {
          ++count;
          EXPECT_EQ(CanvasValue(channel, offset, x, y), 200);
        }
    EXPECT_EQ(count, n == 1 ? 9 : 21);
    if (n == 2) {
      EXPECT_EQ(CanvasValue(channel, offset, 8, 8), 0);
    }
  }
}

TEST(SelectionExtent, ShrinkByOneRemovesALineAndLeavesTheCentreOfASquare) {
  auto line = MaskWith(20, 20, 3, 4, {{{5, 9}, 255}, {{6, 9}, 255}, {{7, 9}, 255}, {{8, 9}, 255}});
  TChannel channel;
  TPoint offset{0, 0};
  ASSERT_TRUE(ShrinkMaskChannel(channel, *line, 1, offset, 0));
  EXPECT_EQ(offset, (TPoint{3, 4}));
  EXPECT_EQ(channel.Size(), (SSize{20, 20}));
  TRect bounds;
  EXPECT_FALSE(channel.GetNonZeroBounds(bounds));

  auto square = MaskWith(20, 20, 0, 0, {});
  for (int32_t y = 4; y < 7; ++y)
    for (int32_t x = 4; x < 7; ++x) square->Store()->SetPixel(x, y, 255);
  ASSERT_TRUE(ShrinkMaskChannel(channel, *square, 1, offset, 0));
  ASSERT_TRUE(channel.GetNonZeroBounds(bounds));
  EXPECT_EQ(bounds, (TRect{5, 5, 6, 6}));
}

// Shrink places the eroded bounds where they were; with left and top equal, a placement with x
// and y swapped went unseen.
TEST(SelectionExtent, ShrinkPlacesTheBoundsWhereTheyAreWhenLeftDiffersFromTop) {
  test::XorShiftRng rng(0x5A11);
  struct Case {
    int32_t left, top, width, height, radius;
  } cases[] = {{11, 3, 14, 9, 1}, {2, 13, 9, 12, 2}, {17, 0, 10, 16, 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.left << "," << c.top);
    auto mask = MaskWith(32, 30, 4, 1, {});
    std::vector<uint8_t> area(static_cast<size_t>(c.width) * c.height);
    for (int32_t y = 0; y < c.height; ++y)
      for (int32_t x = 0; x < c.width; ++x) {
        // Full inside with a soft rim; the bounds' corners are set so the bounds are exact.
        const bool rim = x == 0 || y == 0 || x == c.width - 1 || y == c.height - 1;
        const uint8_t v = rim ? static_cast<uint8_t>(60 + rng.Next() % 190) : static_cast<uint8_t>(200 + rng.Next() % 56);
        area[static_cast<size_t>(y) * c.width + x] = v;
        mask->Store()->SetPixel(c.left + x, c.top + y, v);
      }
    TChannel channel;
    TPoint offset{0, 0};
    ASSERT_TRUE(ShrinkMaskChannel(channel, *mask, c.radius, offset, 0));
    EXPECT_EQ(offset, (TPoint{4, 1}));
    ASSERT_EQ(channel.Size(), (SSize{32, 30}));
    const std::vector<uint8_t> model = BruteForce(area, c.width, c.height, c.radius, false);
    for (int32_t y = 0; y < 30; ++y)
      for (int32_t x = 0; x < 32; ++x) {
        const int32_t ax = x - c.left, ay = y - c.top;
        const bool inside = ax >= 0 && ay >= 0 && ax < c.width && ay < c.height;
        ASSERT_EQ(channel.GetPixel(x, y), inside ? model[static_cast<size_t>(ay) * c.width + ax] : 0)
            << x << " " << y;
      }
  }
}

TEST(SelectionExtent, GrowTakesTheLargestValueSoSoftEdgesStaySoft) {
  auto mask = MaskWith(30, 10, 0, 0, {});
  for (int32_t x = 5; x < 25; ++x) mask->Store()->SetPixel(x, 5, static_cast<uint8_t>(x * 10));
  TChannel channel;
  TPoint offset;
  ASSERT_TRUE(GrowMaskChannel(channel, *mask, 1, offset, 0));
  // A ramp: one step further along the ramp, not a threshold.
  EXPECT_EQ(CanvasValue(channel, offset, 10, 4), 110);
  EXPECT_EQ(CanvasValue(channel, offset, 10, 6), 110);
  EXPECT_EQ(CanvasValue(channel, offset, 25, 5), 240);
}

TEST(SelectionExtent, GrowKeepsCanvasPlacesAtTheStoreEdges) {
  // Touching the store's left edge: the result widens to the left and offset x rises by n.
  {
    auto mask = MaskWith(20, 20, 2, 0, {{{0, 10}, 255}});
    TChannel channel;
    TPoint offset;
    ASSERT_TRUE(GrowMaskChannel(channel, *mask, 3, offset, 0));
    EXPECT_EQ(offset, (TPoint{5, 0}));
    EXPECT_EQ(CanvasValue(channel, offset, -2, 10), 255);
    EXPECT_EQ(CanvasValue(channel, offset, -5, 10), 255);
    EXPECT_EQ(CanvasValue(channel, offset, -6, 10), 0);
  }
  // Two pixels inside the right border, radius 5: flush with the right edge, offset by 3.
  {
    auto mask = MaskWith(20, 20, 0, 0, {{{17, 10}, 255}});
    TChannel channel;
    TPoint offset;
    ASSERT_TRUE(GrowMaskChannel(channel, *mask, 5, offset, 0));
    EXPECT_EQ(channel.Size(), (SSize{20, 20}));
    EXPECT_EQ(offset, (TPoint{-3, 0}));
    EXPECT_EQ(CanvasValue(channel, offset, 17, 10), 255);
    EXPECT_EQ(CanvasValue(channel, offset, 22, 10), 255);
    EXPECT_EQ(CanvasValue(channel, offset, 12, 10), 255);
    EXPECT_EQ(CanvasValue(channel, offset, 11, 10), 0);
  }
}

TEST(SelectionExtent, ChannelStepsRefuseEmptyMasksAndBadRadii) {
  auto empty = MaskWith(10, 10, 0, 0, {});
  auto one = MaskWith(10, 10, 0, 0, {{{3, 3}, 9}});
  CMaskData unallocated;
  TChannel channel;
  TPoint offset{7, 7};
  EXPECT_FALSE(GrowMaskChannel(channel, *empty, 1, offset, 0));
  EXPECT_FALSE(ShrinkMaskChannel(channel, *empty, 1, offset, 0));
  EXPECT_FALSE(GrowMaskChannel(channel, unallocated, 1, offset, 0));
  EXPECT_FALSE(GrowMaskChannel(channel, *one, 0, offset, 0));
  EXPECT_FALSE(ShrinkMaskChannel(channel, *one, 0x10000, offset, 0));
  EXPECT_EQ(offset, (TPoint{7, 7}));
}

}  // namespace
}  // namespace tf
