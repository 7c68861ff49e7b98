// Seed fill: the area against an independent 4-connected labelling, tolerance edges,
// transparency, the selection wall, the queue overflow and the finishing step.
#include "paint/SeedFill.h"

#include <gtest/gtest.h>

#include <deque>
#include <vector>

#include "raster/BlockVCH.h"
#include "raster/BlockVMTC.h"
#include "raster/FlatImage.h"
#include "support/TestRng.h"

namespace tf {
namespace {

uint32_t DistanceSq(uint32_t a, uint32_t b) {
  int32_t sum = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    const int32_t d = static_cast<int32_t>((a >> shift) & 0xFF) - static_cast<int32_t>((b >> shift) & 0xFF);
    sum += d * d;
  }
  return static_cast<uint32_t>(sum);
}

// Breadth-first labelling of the 4-connected pixels within the threshold of the seed's colour
// (opaque pictures).
std::vector<uint8_t> ReferenceArea(const TMTC& image, const TPoint& seed, uint32_t threshold) {
  const int32_t w = image.Width(), h = image.Height();
  std::vector<uint8_t> area(static_cast<size_t>(w * h), 0);
  const uint32_t seedColour = image.GetPixel(seed.x, seed.y);
  std::deque<TPoint> open{seed};
  area[static_cast<size_t>(seed.y * w + seed.x)] = 1;
  while (!open.empty()) {
    const TPoint p = open.front();
    open.pop_front();
    const TPoint next[4] = {{p.x + 1, p.y}, {p.x - 1, p.y}, {p.x, p.y + 1}, {p.x, p.y - 1}};
    for (const TPoint& q : next) {
      if (q.x < 0 || q.y < 0 || q.x >= w || q.y >= h) continue;
      uint8_t& seen = area[static_cast<size_t>(q.y * w + q.x)];
      if (seen || DistanceSq(seedColour, image.GetPixel(q.x, q.y)) > threshold) continue;
      seen = 1;
      open.push_back(q);
    }
  }
  return area;
}

std::vector<uint8_t> Covered(const TChannel& channel) {
  std::vector<uint8_t> out;
  for (int32_t y = 0; y < channel.Height(); ++y)
    for (int32_t x = 0; x < channel.Width(); ++x) out.push_back(channel.GetPixel(x, y) != 0 ? 1 : 0);
  return out;
}

// Blobs of a few nearby colours: random rectangles painted over a background.
void NoisyBlobs(TMTC& image, int32_t w, int32_t h, uint64_t seed) {
  image.Resize(w, h);
  image.FillAll(0xFF204060u);
  test::XorShiftRng rng(seed);
  const uint32_t palette[4] = {0xFF204060u, 0xFF214162u, 0xFF808080u, 0xFF2A4A6Au};
  for (int i = 0; i < 60; ++i) {
    const int32_t x0 = static_cast<int32_t>(rng.Next() % static_cast<uint32_t>(w));
    const int32_t y0 = static_cast<int32_t>(rng.Next() % static_cast<uint32_t>(h));
    const int32_t rw = 1 + static_cast<int32_t>(rng.Next() % 9), rh = 1 + static_cast<int32_t>(rng.Next() % 9);
    const uint32_t c = palette[rng.Next() % 4];
    for (int32_t y = y0; y < std::min(h, y0 + rh); ++y)
      for (int32_t x = x0; x < std::min(w, x0 + rw); ++x) *PixelAddr32(image.View(), x, y) = c;
  }
}

TEST(SeedFill, AreaEqualsIndependentLabellingOnFlatAndTiledSources) {
  for (uint64_t s = 1; s <= 6; ++s) {
    TMTC image;
    NoisyBlobs(image, 70, 45, s);
    CBlockVMTC store(70, 45);
    store.CopyAllFromImage(image, 0, 0, 255);
    for (const int32_t tolerance : {0, 1, 3, 8, 40}) {
      const TPoint seed{static_cast<int32_t>(s * 7 % 70), static_cast<int32_t>(s * 5 % 45)};
      const uint32_t threshold = tolerance > 0 ? ToleranceToThreshold(tolerance) : kSeedFillDefaultThreshold;
      const std::vector<uint8_t> expected = ReferenceArea(image, seed, threshold);

      TChannel flat(70, 45);
      CSeedFillTC fill(kSeedFillCapacity, TRect{0, 0, 70, 45}, &flat, &image);
      ASSERT_TRUE(fill.Fill(seed, ToleranceToThreshold(tolerance)));
      EXPECT_FALSE(fill.Overflow());
      EXPECT_EQ(Covered(flat), expected) << "seed " << s << " tolerance " << tolerance;

      TChannel tiled(70, 45);
      CSeedFill storeFill(kSeedFillCapacity, TRect{0, 0, 70, 45}, &tiled, &store);
      ASSERT_TRUE(storeFill.Fill(seed, ToleranceToThreshold(tolerance)));
      EXPECT_EQ(Covered(tiled), expected);
      // Without anti-alias every covered byte is 255.
      for (int32_t y = 0; y < 45; ++y)
        for (int32_t x = 0; x < 70; ++x) EXPECT_TRUE(tiled.GetPixel(x, y) == 0 || tiled.GetPixel(x, y) == 255);
    }
  }
}

TEST(SeedFill, SquaresTouchingAtACornerStaySeparate) {
  TMTC image(8, 8);
  image.FillAll(0xFFFFFFFFu);
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 4; ++x) {
      *PixelAddr32(image.View(), x, y) = 0xFF000000u;
      *PixelAddr32(image.View(), x + 4, y + 4) = 0xFF000000u;
    }
  TChannel channel(8, 8);
  CSeedFillTC fill(kSeedFillCapacity, TRect{0, 0, 8, 8}, &channel, &image);
  ASSERT_TRUE(fill.Fill(TPoint{0, 0}, 0));
  EXPECT_EQ(channel.GetPixel(3, 3), 255);
  EXPECT_EQ(channel.GetPixel(4, 4), 0);
  EXPECT_EQ(channel.GetPixel(7, 7), 0);
}

// Two pixels: the seed and its right neighbour at a given distance.
bool NeighbourMatches(uint32_t neighbour, int32_t tolerance, uint32_t seedColour = 0xFF404040u) {
  TMTC image(2, 1);
  *PixelAddr32(image.View(), 0, 0) = seedColour;
  *PixelAddr32(image.View(), 1, 0) = neighbour;
  TChannel channel(2, 1);
  CSeedFillTCWithAlpha fill(kSeedFillCapacity, TRect{0, 0, 2, 1}, &channel, &image);
  EXPECT_TRUE(fill.Fill(TPoint{0, 0}, ToleranceToThreshold(tolerance)));
  return channel.GetPixel(1, 0) != 0;
}

TEST(SeedFill, ToleranceEdges) {
  EXPECT_EQ(ToleranceToThreshold(1), 2u);
  EXPECT_EQ(ToleranceToThreshold(500), 500000u);
  // Large tolerances are clamped and computed in 64 bits: no wrap to a small threshold.
  EXPECT_EQ(ToleranceToThreshold(40000), 2u * 32767u * 32767u);
  EXPECT_EQ(ToleranceToThreshold(-5), 0u);
  struct Case {
    uint32_t neighbour;
    int32_t tolerance;
    bool matches;
  } cases[] = {
      {0xFF404043u, 0, true},     // 9 <= 10: tolerance 0 keeps the threshold at 10
      {0xFF404044u, 0, false},    // 16
      {0xFF414140u, 1, true},     // 2 <= 2
      {0xFF414141u, 1, false},    // 3
      {0xFFFFFFFFu, 312, false},  // opaque white from dark grey, below 3 x 255^2
      {0xFFFFFFFFu, 313, true},   // from 313 up every opaque colour matches
      {0x00404040u, 313, false},  // a transparent pixel only from 314 up
      {0x00404040u, 314, true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(NeighbourMatches(c.neighbour, c.tolerance, 0xFF000000u | (c.tolerance >= 312 ? 0u : 0x404040u)),
              c.matches)
        << std::hex << c.neighbour << std::dec << " at " << c.tolerance;
}

TEST(SeedFill, TransparentSeedTakesOnlyNearlyTransparentPixels) {
  TMTC image(4, 1);
  const uint32_t row[4] = {0x00000000u, 0x02FF0000u, 0x03FFFFFFu, 0x01000000u};
  for (int32_t x = 0; x < 4; ++x) *PixelAddr32(image.View(), x, 0) = row[x];
  TChannel channel(4, 1);
  CSeedFillTCWithAlpha fill(kSeedFillCapacity, TRect{0, 0, 4, 1}, &channel, &image);
  ASSERT_TRUE(fill.Fill(TPoint{0, 0}, 0));  // threshold 10: alpha^2 * 2 <= 10 for alpha <= 2
  EXPECT_EQ(fill.transparentSeed, 1);
  EXPECT_NE(channel.GetPixel(1, 0), 0);
  EXPECT_EQ(channel.GetPixel(2, 0), 0);
  EXPECT_EQ(channel.GetPixel(3, 0), 0);  // cut off by the pixel before it
}

TEST(SeedFill, HalfTransparentSeedIsJudgedOverBlackWhenLightAndOverWhiteWhenDark) {
  TMTC image(1, 1);
  TChannel channel(1, 1);
  *PixelAddr32(image.View(), 0, 0) = 0x80FFFFFFu;
  CSeedFillTCWithAlpha light(kSeedFillCapacity, TRect{0, 0, 1, 1}, &channel, &image);
  ASSERT_TRUE(light.Fill(TPoint{0, 0}, 0));
  EXPECT_EQ(light.background, 0x000000u);
  EXPECT_EQ(light.SeedColor() & 0xFFFFFFu, 0x808080u);
  channel.Fill(0);
  *PixelAddr32(image.View(), 0, 0) = 0x80000000u;
  CSeedFillTCWithAlpha dark(kSeedFillCapacity, TRect{0, 0, 1, 1}, &channel, &image);
  ASSERT_TRUE(dark.Fill(TPoint{0, 0}, 0));
  EXPECT_EQ(dark.background, 0xFFFFFFu);
  EXPECT_EQ(dark.SeedColor() & 0xFFFFFFu, 0x7F7F7Fu);
}

TEST(SeedFill, MaskWallsTheFillIn) {
  CBlockVMTC store(10, 4);
  store.FillAll(0xFF336699u);
  // The mask lies 2 pixels to the right of the store: store x = mask x - 2.
  CBlockVCH mask(12, 4);
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 12; ++x) mask.SetPixel(x, y, (x == 7 || y == 3) ? 0 : 40);
  TChannel channel(10, 4);
  CSeedFillWithMask fill(&mask, TPoint{2, 0}, kSeedFillCapacity, TRect{0, 0, 10, 4}, &channel, &store);
  ASSERT_TRUE(fill.Fill(TPoint{0, 0}, 1));
  for (int32_t x = 0; x < 10; ++x) {
    EXPECT_EQ(channel.GetPixel(x, 0) != 0, x < 5) << x;  // the wall at store x 5
    EXPECT_EQ(channel.GetPixel(x, 3), 0);                // the unselected row
  }
}

TEST(SeedFill, EmptyAreasAndSeedsOutsideTheBounds) {
  TMTC image(4, 4);
  image.FillAll(0xFF000000u);
  TChannel channel(4, 4);
  CSeedFillTC fill(kSeedFillCapacity, TRect{1, 1, 3, 3}, &channel, &image);
  EXPECT_FALSE(fill.Fill(TPoint{0, 0}, 1));
  EXPECT_FALSE(fill.Fill(TPoint{3, 1}, 1));
  ASSERT_TRUE(fill.Fill(TPoint{1, 1}, 1));
  EXPECT_EQ(channel.GetPixel(0, 0), 0);  // never beyond the bounds
  EXPECT_EQ(channel.GetPixel(2, 2), 255);
  EXPECT_EQ(channel.GetPixel(3, 3), 0);
  // A seed on a pixel already filled gives an empty area: no finish, no pixel.
  TChannel full(4, 4);
  full.Fill(9);
  CSeedFillTC again(kSeedFillCapacity, TRect{0, 0, 4, 4}, &full, &image);
  EXPECT_TRUE(again.Fill(TPoint{1, 1}, 1));  // the channel already holds pixels
  EXPECT_EQ(full.GetPixel(1, 1), 255);
}

// A comb: a full top row with teeth of matching columns every second column, so that the
// top run seeds one run start per tooth.
void Comb(TMTC& image, int32_t teeth, int32_t height) {
  image.Resize(teeth * 2, height);
  image.FillAll(0xFFFFFFFFu);
  for (int32_t x = 0; x < teeth * 2; ++x) *PixelAddr32(image.View(), x, 0) = 0xFF000000u;
  for (int32_t y = 1; y < height; ++y)
    for (int32_t x = 0; x < teeth * 2; x += 2) *PixelAddr32(image.View(), x, y) = 0xFF000000u;
}

TEST(SeedFill, QueueOverflowStopsWithThePartFoundAndItsGradedCoverage) {
  TMTC image;
  Comb(image, 9000, 4);
  // Every second pixel of the top row lies at distance 4 from the seed: graded coverage.
  for (int32_t x = 1; x < image.Width(); x += 2) *PixelAddr32(image.View(), x, 0) = 0xFF020000u;
  TChannel channel(image.Width(), image.Height());
  CSeedFillTC fill(kSeedFillCapacity, TRect{0, 0, image.Width(), image.Height()}, &channel, &image);
  ASSERT_TRUE(fill.Fill(TPoint{0, 0}, 18));
  EXPECT_TRUE(fill.Overflow());
  // The top row was filled and keeps the coverage of its run (the finish was skipped); the
  // teeth beyond the queue were never reached.
  EXPECT_EQ(channel.GetPixel(100, 0), 255);
  EXPECT_EQ(channel.GetPixel(101, 0), (18 - 4) * 255 / 18);
  EXPECT_EQ(channel.GetPixel(image.Width() - 2, 3), 0);

  // The same comb fits a larger queue: no overflow, every tooth filled.
  TChannel whole(image.Width(), image.Height());
  CSeedFillTC big(20000, TRect{0, 0, image.Width(), image.Height()}, &whole, &image);
  ASSERT_TRUE(big.Fill(TPoint{0, 0}, 18));
  EXPECT_FALSE(big.Overflow());
  EXPECT_EQ(whole.GetPixel(image.Width() - 2, 3), 255);
  EXPECT_EQ(whole.GetPixel(101, 0), 255);
}

TEST(SeedFill, AntiAliasAddsASoftFringe) {
  TMTC image(9, 9);
  image.FillAll(0xFFFFFFFFu);
  for (int32_t y = 3; y < 6; ++y)
    for (int32_t x = 3; x < 6; ++x) *PixelAddr32(image.View(), x, y) = 0xFF000000u;
  TChannel channel(9, 9);
  CSeedFillTC fill(kSeedFillCapacity, TRect{0, 0, 9, 9}, &channel, &image);
  fill.antiAlias = 1;
  ASSERT_TRUE(fill.Fill(TPoint{4, 4}, 1));
  EXPECT_EQ(channel.GetPixel(4, 4), 255);
  EXPECT_GT(channel.GetPixel(2, 4), 0);
  EXPECT_LT(channel.GetPixel(2, 4), 255);
  EXPECT_EQ(channel.GetPixel(0, 0), 0);
}

TEST(SeedFill, QueueKeepsFirstInFirstOutOrderAcrossManyWraps) {
  CDynStack queue(sizeof(int32_t), 5);
  int32_t next = 0, expected = 0, out = 0;
  for (int round = 0; round < 100; ++round) {
    for (int i = 0; i < 3; ++i, ++next) ASSERT_TRUE(queue.Push(&next));
    for (int i = 0; i < 3; ++i) {
      ASSERT_TRUE(queue.PopFront(&out));
      EXPECT_EQ(out, expected++);
    }
  }
  EXPECT_EQ(queue.Count(), 0);
  EXPECT_FALSE(queue.Overflow());
}

}  // namespace
}  // namespace tf
