#include "raster/BlockVMTCRows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "platform/AddressSpace.h"
#include "raster/ByteImage.h"
#include "raster/Composite.h"
#include "support/GuardModeTest.h"

namespace tf {
namespace {

// Every test runs with plain reservations and in guard mode.
class BlockVMTCRowsTest : public test::GuardModeTest {
 protected:
  void SetUp() override {
    GuardModeTest::SetUp();
    InitCompositeTables();
  }
};

INSTANTIATE_TEST_SUITE_P(Modes, BlockVMTCRowsTest, ::testing::Bool(), test::GuardModeName("Guard", "Plain"));

constexpr uint32_t kWhite = CBlockVMTC::kDefaultFill;

// First difference between the store's picture and the model, or "".
std::string Difference(const CBlockVMTC& store, const TMTC& model) {
  if (store.Width() != model.Width() || store.Height() != model.Height()) return "sizes differ";
  TMTC picture(store.Width(), store.Height());
  picture.FillAll(0xDEADBEEFu);
  if (!store.CopyAllToImage(picture, 0, 0, 255, false)) return "copy failed";
  for (int32_t y = 0; y < model.Height(); ++y)
    for (int32_t x = 0; x < model.Width(); ++x)
      if (picture.GetPixel(x, y) != model.GetPixel(x, y) || store.GetPixel(x, y) != model.GetPixel(x, y)) {
        char text[128];
        std::snprintf(text, sizeof text, "(%d, %d): store %08X, model %08X", x, y, picture.GetPixel(x, y),
                      model.GetPixel(x, y));
        return text;
      }
  return "";
}

// Blocks and single pixels of random values inside (0, 0, width, height).
void RandomContent(std::mt19937& rng, CBlockVMTC& store, TMTC& model, int32_t width = 0, int32_t height = 0) {
  if (width == 0) width = store.Width();
  if (height == 0) height = store.Height();
  const uint32_t colours[] = {0xFF0000FFu, 0x80FF8000u, 0x00123456u, kWhite, 0xFFFFFFFFu};
  for (int i = 0; i < 6; ++i) {
    const int32_t x = static_cast<int32_t>(rng() % width), y = static_cast<int32_t>(rng() % height);
    SRectWH r{x, y, std::min(static_cast<int32_t>(rng() % 70 + 1), width - x),
              std::min(static_cast<int32_t>(rng() % 70 + 1), height - y)};
    SRectWH m = r;
    const uint32_t v = colours[rng() % 5];
    store.FillRect(r, v);
    model.FillRect(m, v);
  }
  for (int i = 0; i < 150; ++i) {
    const int32_t x = static_cast<int32_t>(rng() % width), y = static_cast<int32_t>(rng() % height);
    const uint32_t v = static_cast<uint32_t>(rng());
    ASSERT_TRUE(store.SetPixel(x, y, v));
    *model.Pixel(x, y) = v;
  }
}

// A store and its model, white and transparent.
struct Pair {
  CBlockVMTC store;
  TMTC model;
  Pair(int32_t w, int32_t h) : store(w, h), model(w, h) { model.FillAll(kWhite); }
};

bool AnyUniformCommittedTile(const CBlockVMTC& store) {
  for (int32_t i = 0; i < store.TileCount(); ++i) {
    const STileInfo& t = store.TileByIndex(i);
    const uint32_t* p = reinterpret_cast<const uint32_t*>(t.block);
    if (t.committed && std::all_of(p, p + 1024, [&](uint32_t v) { return v == p[0]; })) return true;
  }
  return false;
}

// The content rectangles equal a fresh rebuild.
void ExpectContentRectsCurrent(CBlockVMTC& store) {
  const SRegionList before = store.ContentRects();
  store.UpdateContentRects();
  const SRegionList& after = store.ContentRects();
  ASSERT_EQ(before.count, after.count);
  for (int32_t i = 0; i < after.count; ++i) EXPECT_EQ(before.rects[i], after.rects[i]);
}

// ---------------------------------------------------------------------------------------------
// Rows

TEST_P(BlockVMTCRowsTest, ChannelRowAcrossATileBorder) {
  CBlockVMTC store(100, 40);
  const uint8_t bytes[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  EXPECT_EQ(store.WriteChannelRow(30, 0, 3, bytes, 10), 10);
  EXPECT_EQ(store.CommittedTileCount(), 2);
  for (int32_t i = 0; i < 10; ++i) EXPECT_EQ(store.GetPixel(30 + i, 0), (uint32_t{bytes[i]} << 24) | 0x00FFFFFFu);
  EXPECT_EQ(store.GetPixel(29, 0), kWhite);
  EXPECT_EQ(store.GetPixel(40, 0), kWhite);
  ExpectContentRectsCurrent(store);
  for (int32_t channel : {4, -1, 100}) {
    EXPECT_EQ(store.WriteChannelRow(70, 0, channel, bytes, 10), 0);
    uint8_t out[10];
    EXPECT_EQ(store.ReadChannelRow(70, 0, channel, out, 10), 0);
  }
  EXPECT_EQ(store.CommittedTileCount(), 2);
  // Each channel lands in its own byte.
  for (int32_t channel = 0; channel < 4; ++channel) {
    const uint8_t v[1] = {static_cast<uint8_t>(0x11 * (channel + 1))};
    EXPECT_EQ(store.WriteChannelRow(50, 5, channel, v, 1), 1);
  }
  EXPECT_EQ(store.GetPixel(50, 5), 0x44332211u);
  uint8_t out[4];
  for (int32_t channel = 0; channel < 4; ++channel) {
    EXPECT_EQ(store.ReadChannelRow(50, 5, channel, out, 1), 1);
    EXPECT_EQ(out[0], 0x11 * (channel + 1));
  }
}

TEST_P(BlockVMTCRowsTest, ChannelRowsAreClippedToThePicture) {
  struct Case {
    int32_t x, y, count;
    int32_t written, firstPixel, skip;
  };
  const Case cases[] = {
      {0, 5, 100, 100, 0, 0},      {60, 5, 10, 10, 60, 0}, {-7, 5, 20, 13, 0, 7}, {90, 5, 50, 10, 90, 0},
      {-10, 5, 200, 100, 0, 10},   {-20, 5, 20, 0, 0, 0},  {100, 5, 5, 0, 0, 0},  {10, -1, 5, 0, 0, 0},
      {10, 40, 5, 0, 0, 0},        {10, 5, 0, 0, 0, 0},    {10, 5, -3, 0, 0, 0},  {INT32_MAX - 2, 5, 10, 0, 0, 0},
      {INT32_MIN, 5, 10, 0, 0, 0},
  };
  std::vector<uint8_t> bytes(256);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i + 1);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "x " << c.x << " y " << c.y << " count " << c.count);
    Pair p(100, 40);
    EXPECT_EQ(p.store.WriteChannelRow(c.x, c.y, 1, bytes.data(), c.count), c.written);
    for (int32_t i = 0; i < c.written; ++i) {
      uint32_t& px = *p.model.Pixel(c.firstPixel + i, c.y);
      px = (px & 0xFFFF00FFu) | uint32_t{bytes[c.skip + i]} << 8;
    }
    EXPECT_EQ(Difference(p.store, p.model), "");
    if (c.written == 0) {
      EXPECT_EQ(p.store.CommittedBytes(), 0);
    }
    std::vector<uint8_t> out(256, 0xEE);
    EXPECT_EQ(p.store.ReadChannelRow(c.x, c.y, 1, out.data(), c.count), c.written);
    for (int32_t i = 0; i < c.written; ++i) EXPECT_EQ(out[c.skip + i], bytes[c.skip + i]);
    for (int32_t i = 0; i < c.skip; ++i) EXPECT_EQ(out[i], 0xEE);
    EXPECT_EQ(out[c.skip + c.written], 0xEE);
  }
}

TEST_P(BlockVMTCRowsTest, ReadChannelRowCommitsWhatItReads) {
  CBlockVMTC store(100, 40);
  uint8_t out[40];
  EXPECT_EQ(store.ReadChannelRow(10, 3, 0, out, 30), 30);
  EXPECT_EQ(store.CommittedTileCount(), 2);
  EXPECT_TRUE(std::all_of(out, out + 30, [](uint8_t v) { return v == 0xFF; }));
  RefuseNextCommits(1);
  EXPECT_EQ(store.ReadChannelRow(64, 3, 3, out, 30), 30);  // refused: the fill's alpha
  EXPECT_TRUE(std::all_of(out, out + 30, [](uint8_t v) { return v == 0; }));
  EXPECT_EQ(store.CommittedTileCount(), 2);
}

TEST_P(BlockVMTCRowsTest, BitRowsExpandHighBitFirst) {
  CBlockVMTC store(20, 3);
  ASSERT_TRUE(store.SetAlphaAll(0x40));
  const uint8_t one[1] = {0x80};
  EXPECT_EQ(store.WriteBitRow(0, 0, one, 1), 1);
  EXPECT_EQ(store.GetPixel(0, 0), 0x40000000u);
  for (int32_t x = 1; x < 8; ++x) EXPECT_EQ(store.GetPixel(x, 0), 0x40FFFFFFu);
  EXPECT_EQ(store.GetPixel(8, 0), 0x40FFFFFFu);  // not written: the fill

  struct Case {
    int32_t x;
    std::vector<uint8_t> bits;
    int32_t used;
    int32_t firstPixel;  // of the pattern's bit 0 (may be negative)
  };
  const Case cases[] = {
      {0, {0xA5, 0x0F, 0xF0}, 3, 0},
      {13, {0x81, 0xFF}, 2, 8},             // x rounded down to 8; the second byte lies past the width
      {0, {0x01, 0x02, 0x03, 0x04}, 3, 0},  // cut to ceil(20/8) = 3 bytes
      {-5, {0xFF, 0x55, 0x0F}, 2, -8},      // first byte lies left of the picture
      {-17, {0xFF, 0xFF}, 0, -24},
      {24, {0xFF}, 0, 24},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "x " << c.x);
    Pair p(20, 3);
    ASSERT_TRUE(p.store.SetAlphaAll(0x80));
    SRectWH all{0, 0, 20, 3};
    p.model.SetAlphaRect(all, 0x80);
    EXPECT_EQ(p.store.WriteBitRow(c.x, 1, c.bits.data(), static_cast<int32_t>(c.bits.size())), c.used);
    for (size_t i = 0; i < c.bits.size() * 8; ++i) {
      const int32_t px = c.firstPixel + static_cast<int32_t>(i);
      if (px < 0 || px >= 20) continue;
      const bool set = (c.bits[i / 8] >> (7 - i % 8)) & 1;
      *p.model.Pixel(px, 1) = set ? 0x80000000u : 0x80FFFFFFu;
    }
    EXPECT_EQ(Difference(p.store, p.model), "");
    // The overhang of the edge tile past the picture is never written.
    if (p.store.TileByIndex(0).committed) {
      for (int32_t x = 20; x < 32; ++x) EXPECT_EQ(p.store.GetPixel(x, 1), 0x80FFFFFFu);
    }
  }
  EXPECT_EQ(store.WriteBitRow(0, 3, one, 1), 0);
  EXPECT_EQ(store.WriteBitRow(0, -1, one, 1), 0);
  EXPECT_EQ(store.WriteBitRow(0, 0, one, 0), 0);
}

// ---------------------------------------------------------------------------------------------
// Flips and turns

TEST_P(BlockVMTCRowsTest, FlipsMatchTheFlatRoutines) {
  std::mt19937 rng(GetParam() ? 3 : 4);
  using Flip = bool (CBlockVMTC::*)(SRectWH&);
  using FlatFlip = bool (TMTC::*)(SRectWH&);
  const std::pair<Flip, FlatFlip> flips[] = {{&CBlockVMTC::FlipHorizontal, &TMTC::FlipHorizontal},
                                             {&CBlockVMTC::FlipVertical, &TMTC::FlipVertical},
                                             {&CBlockVMTC::Rotate180, &TMTC::Rotate180}};
  for (int round = 0; round < 12; ++round) {
    const auto& flip = flips[round % 3];
    SCOPED_TRACE(testing::Message() << "round " << round);
    Pair p(150, 110);
    RandomContent(rng, p.store, p.model, 100, 110);
    SRectWH r = round < 3
                    ? SRectWH{0, 0, 150, 110}
                    : SRectWH{static_cast<int32_t>(rng() % 170) - 20, static_cast<int32_t>(rng() % 130) - 20,
                              static_cast<int32_t>(rng() % 150), static_cast<int32_t>(rng() % 110)};
    SRectWH m = r;
    const bool a = (p.store.*flip.first)(r);
    const bool b = (p.model.*flip.second)(m);
    ASSERT_EQ(a, b);
    if (a) {
      EXPECT_EQ(r, m);
    }
    EXPECT_EQ(Difference(p.store, p.model), "");
    EXPECT_FALSE(AnyUniformCommittedTile(p.store));
    ExpectContentRectsCurrent(p.store);
  }
}

TEST_P(BlockVMTCRowsTest, MirroringHalfARedLayerReleasesUniformTiles) {
  CBlockVMTC store(128, 64);
  SRectWH left{0, 0, 64, 64};
  ASSERT_TRUE(store.FillRect(left, 0xFFFF0000u));
  ASSERT_TRUE(store.SetPixel(5, 5, 0xFFFF0000u));  // commits tile 0; still uniform
  SRectWH all{0, 0, 128, 64};
  ASSERT_TRUE(store.FlipHorizontal(all));
  EXPECT_EQ(store.GetPixel(0, 0), kWhite);
  EXPECT_EQ(store.GetPixel(127, 63), 0xFFFF0000u);
  EXPECT_EQ(store.CommittedBytes(), 0);
  ASSERT_EQ(store.ContentRects().count, 1);
  EXPECT_EQ(store.ContentRects().rects[0], (TRect{64, 0, 128, 64}));
  SRectWH outside{200, 0, 10, 10};
  EXPECT_FALSE(store.FlipVertical(outside));
}

TEST_P(BlockVMTCRowsTest, QuarterTurnsIntoAFlatImage) {
  CBlockVMTC small(3, 2);
  for (int32_t y = 0; y < 2; ++y)
    for (int32_t x = 0; x < 3; ++x) ASSERT_TRUE(small.SetPixel(x, y, 0xFF000000u | (y << 8) | x));
  TMTC turned(2, 3);
  small.RotateRightTo(turned);
  EXPECT_EQ(turned.GetPixel(0, 0), small.GetPixel(0, 1));
  EXPECT_EQ(turned.GetPixel(1, 0), small.GetPixel(0, 0));
  EXPECT_EQ(turned.GetPixel(0, 2), small.GetPixel(2, 1));
  small.RotateLeftTo(turned);
  EXPECT_EQ(turned.GetPixel(0, 0), small.GetPixel(2, 0));
  EXPECT_EQ(turned.GetPixel(1, 2), small.GetPixel(0, 1));

  std::mt19937 rng(8);
  Pair p(70, 45);
  RandomContent(rng, p.store, p.model);
  for (bool clockwise : {true, false}) {
    TMTC image(45, 70);
    ASSERT_TRUE(RotateBlockTo(p.store, image, clockwise));
    for (int32_t y = 0; y < 70; ++y)
      for (int32_t x = 0; x < 45; ++x)
        ASSERT_EQ(image.GetPixel(x, y), clockwise ? p.model.GetPixel(y, 44 - x) : p.model.GetPixel(69 - y, x));
  }
}

TEST_P(BlockVMTCRowsTest, QuarterTurnsRefuseAnImageOfAnotherSize) {
  CBlockVMTC store(30, 20);
  ASSERT_TRUE(store.SetPixel(1, 1, 0xFF00FF00u));
  for (SSize size : {SSize{30, 20}, SSize{21, 30}, SSize{20, 29}, SSize{10, 10}, SSize{200, 300}}) {
    TMTC image(size.width, size.height);
    image.FillAll(0x12345678u);
    EXPECT_FALSE(RotateBlockTo(store, image, true));
    store.RotateRightTo(image);
    store.RotateLeftTo(image);
    store.RotateTo(image, true);
    for (int32_t y = 0; y < size.height; ++y)
      for (int32_t x = 0; x < size.width; ++x) ASSERT_EQ(image.GetPixel(x, y), 0x12345678u);
  }
  TMTC invalid;
  EXPECT_FALSE(RotateBlockTo(store, invalid, false));
  store.RotateLeftTo(invalid);
  CBlockVMTC empty;
  TMTC image(20, 30);
  EXPECT_FALSE(RotateBlockTo(empty, image, true));
}

TEST_P(BlockVMTCRowsTest, QuarterTurnsIntoAnotherStoreClampAtItsEdges) {
  std::mt19937 rng(21);
  Pair source(40, 70);
  RandomContent(rng, source.store, source.model);
  for (TPoint at : {TPoint{10, 5}, TPoint{-20, 30}, TPoint{90, -10}, TPoint{-200, -200}, TPoint{0, 0}}) {
    for (bool clockwise : {true, false}) {
      SCOPED_TRACE(testing::Message() << at.x << ", " << at.y << (clockwise ? " right" : " left"));
      Pair dest(100, 60);
      source.store.RotateToBlock(at, dest.store, clockwise);
      for (int32_t y = 0; y < 40; ++y)
        for (int32_t x = 0; x < 70; ++x) {
          const int32_t dx = std::clamp(at.x + x, 0, 99), dy = std::clamp(at.y + y, 0, 59);
          *dest.model.Pixel(dx, dy) =
              clockwise ? source.model.GetPixel(y, 69 - x) : source.model.GetPixel(39 - y, x);
        }
      EXPECT_EQ(Difference(dest.store, dest.model), "");
      ExpectContentRectsCurrent(dest.store);
    }
  }
  EXPECT_FALSE(RotateBlockToBlock(source.store, TPoint{0, 0}, source.store, true));
}

// ---------------------------------------------------------------------------------------------
// Visible bounds

TEST_P(BlockVMTCRowsTest, VisibleBoundsAreTilesWithAlpha) {
  CBlockVMTC store(100, 70);
  TRect bounds{1, 1, 1, 1};
  EXPECT_FALSE(BlockVisibleBounds(store, bounds));
  EXPECT_EQ(bounds, (TRect{1, 1, 1, 1}));
  ASSERT_TRUE(store.SetPixel(40, 10, 0x00000000u));  // committed, but transparent
  EXPECT_FALSE(TileHasAlpha(store, *store.GetTile(1, 0, false)));
  EXPECT_FALSE(BlockVisibleBounds(store, bounds));
  ASSERT_TRUE(store.SetPixel(99, 69, 0x01000000u));
  EXPECT_TRUE(TileHasAlpha(store, *store.GetTile(3, 2, false)));
  ASSERT_TRUE(BlockVisibleBounds(store, bounds));
  EXPECT_EQ(bounds, (TRect{96, 64, 128, 96}));
  SRectWH tile{0, 0, 32, 32};
  ASSERT_TRUE(store.SetAlphaRect(tile, 3));  // whole uncommitted tile: fill only
  EXPECT_FALSE(store.TileByIndex(0).committed);
  ASSERT_TRUE(BlockVisibleBounds(store, bounds));
  EXPECT_EQ(bounds, (TRect{0, 0, 128, 96}));
}

// ---------------------------------------------------------------------------------------------
// Scaled output

TEST_P(BlockVMTCRowsTest, DrawScaledToAveragesBoxesOfClampedSamples) {
  std::mt19937 rng(31);
  Pair p(64, 64);
  RandomContent(rng, p.store, p.model);
  struct Case {
    int32_t imageW, imageH;
    SRectWH dest, source;
  };
  const Case cases[] = {
      {16, 16, {0, 0, 16, 16}, {0, 0, 64, 64}},      // 5x5 samples from (4x, 4y)
      {16, 16, {3, -2, 9, 40}, {0, 0, 64, 64}},      // part of the image
      {10, 7, {0, 0, 10, 7}, {-5, 20, 64, 60}},      // samples past the edges are clamped
      {200, 100, {0, 0, 200, 100}, {0, 0, 64, 64}},  // enlargement
      {5, 4, {0, 0, 5, 4}, {-30, -40, 130, 150}},    // boxes over every edge and corner at once
      {4, 3, {0, 0, 4, 3}, {-500, -300, 80, 90}},    // wholly above and left of the picture
      {3, 5, {0, 0, 3, 5}, {100, 90, 60, 70}},       // wholly below and right of it
      {2, 2, {0, 0, 2, 2}, {-40, 10, 200, 30}},      // wider than the picture on both sides
      {3, 3, {0, 0, 3, 3}, {-200, -300, 400, 700}},  // boxes with hundreds of rows above and below
      {2, 2, {0, 0, 2, 2}, {10, -500, 20, 100}},     // every row above the picture
      {2, 2, {0, 0, 2, 2}, {10, 200, 20, 100}},      // every row below the picture
  };
  for (const Case& c : cases) {
    TMTC image(c.imageW, c.imageH);
    image.FillAll(0xDEADBEEFu);
    ASSERT_TRUE(DrawBlockScaledTo(p.store, image, c.dest.left, c.dest.top, c.dest.width, c.dest.height,
                                  c.source.left, c.source.top, c.source.width, c.source.height));
    const int64_t xStep = int64_t{c.source.width} * 1024 / c.imageW;
    const int64_t yStep = int64_t{c.source.height} * 1024 / c.imageH;
    const int32_t bw = c.source.width / c.imageW, bh = c.source.height / c.imageH;
    for (int32_t y = 0; y < c.imageH; ++y)
      for (int32_t x = 0; x < c.imageW; ++x) {
        if (!(x >= c.dest.left && x < c.dest.left + c.dest.width && y >= c.dest.top &&
              y < c.dest.top + c.dest.height)) {
          ASSERT_EQ(image.GetPixel(x, y), 0xDEADBEEFu);
          continue;
        }
        const int32_t ox = c.source.left + static_cast<int32_t>((xStep * x) >> 10);
        const int32_t oy = c.source.top + static_cast<int32_t>((yStep * y) >> 10);
        uint32_t sums[4] = {};
        for (int32_t j = 0; j <= bh; ++j)
          for (int32_t i = 0; i <= bw; ++i) {
            const uint32_t s = p.model.GetPixelClamped(ox + i, oy + j);
            for (int k = 0; k < 4; ++k) sums[k] += (s >> (8 * k)) & 0xFF;
          }
        uint32_t expected = 0;
        for (int k = 0; k < 4; ++k) expected |= (sums[k] / ((bw + 1) * (bh + 1))) << (8 * k);
        ASSERT_EQ(image.GetPixel(x, y), expected) << x << ", " << y;
      }
  }
  TMTC image(16, 16);
  image.FillAll(1);
  p.store.DrawScaledTo(image, 0, 0, 16, 16, 0, 0, 64, 64);
  EXPECT_NE(image.GetPixel(0, 0), 1u);
  EXPECT_FALSE(DrawBlockScaledTo(p.store, image, 20, 20, 5, 5, 0, 0, 64, 64));
}

TEST_P(BlockVMTCRowsTest, ScaleToSamplesSixteenPointsAndCompacts) {
  CBlockVMTC small(2, 2), one(1, 1);
  ASSERT_TRUE(small.SetPixel(0, 0, 0x10101010u));
  ASSERT_TRUE(small.SetPixel(1, 0, 0x20202020u));
  ASSERT_TRUE(small.SetPixel(0, 1, 0x40404040u));
  ASSERT_TRUE(small.SetPixel(1, 1, 0x80808080u));
  small.ScaleTo(one);
  EXPECT_EQ(one.GetPixel(0, 0), 0x3C3C3C3Cu);  // (16 + 32 + 64 + 128) / 4, each counted 4 times
  EXPECT_EQ(one.CommittedBytes(), 0);

  std::mt19937 rng(12);
  Pair source(90, 75);
  RandomContent(rng, source.store, source.model, 60, 75);
  for (SSize size : {SSize{31, 17}, SSize{200, 130}, SSize{90, 75}}) {
    CBlockVMTC dest(size.width, size.height);
    ASSERT_TRUE(ScaleBlockTo(source.store, dest));
    TMTC expected(size.width, size.height);
    const int64_t xStep = 90 * 1024 / size.width, yStep = 75 * 1024 / size.height;
    const int64_t qx = (90 * 1024 / 4) / size.width, qy = (75 * 1024 / 4) / size.height;
    for (int32_t y = 0; y < size.height; ++y)
      for (int32_t x = 0; x < size.width; ++x) {
        uint32_t sums[4] = {};
        for (int i = 0; i < 4; ++i)
          for (int j = 0; j < 4; ++j) {
            const uint32_t s = source.model.GetPixelClamped(static_cast<int32_t>((xStep * x + qx * j) >> 10),
                                                            static_cast<int32_t>((yStep * y + qy * i) >> 10));
            for (int k = 0; k < 4; ++k) sums[k] += (s >> (8 * k)) & 0xFF;
          }
        uint32_t v = 0;
        for (int k = 0; k < 4; ++k) v |= (sums[k] / 16) << (8 * k);
        *expected.Pixel(x, y) = v;
      }
    EXPECT_EQ(Difference(dest, expected), "");
    EXPECT_FALSE(AnyUniformCommittedTile(dest));
    ExpectContentRectsCurrent(dest);
  }
  EXPECT_FALSE(ScaleBlockTo(source.store, source.store));
}

// ---------------------------------------------------------------------------------------------
// Alpha snapshots

TEST_P(BlockVMTCRowsTest, AlphaSnapshotsGrabPutAndSwap) {
  std::mt19937 rng(77);
  Pair p(100, 80);
  RandomContent(rng, p.store, p.model);
  SByteImage snap;
  SRectWH r{-10, 70, 50, 50};
  ASSERT_TRUE(ByteImageGrabAlpha(snap, p.store, r));
  EXPECT_EQ(r, (SRectWH{0, 70, 40, 10}));
  ASSERT_EQ(snap.width, 40);
  ASSERT_EQ(snap.height, 10);
  for (int32_t y = 0; y < 10; ++y)
    for (int32_t x = 0; x < 40; ++x) ASSERT_EQ(*ByteImagePixel(snap, x, y), p.model.GetPixel(x, 70 + y) >> 24);
  SRectWH outside{100, 0, 5, 5};
  EXPECT_FALSE(ByteImageGrabAlpha(snap, p.store, outside));

  // Put at an offset, clipped at the right edge; colours kept.
  for (int32_t y = 0; y < 10; ++y)
    for (int32_t x = 0; x < 40; ++x) *ByteImagePixel(snap, x, y) = static_cast<uint8_t>(x * 6 + y);
  ASSERT_TRUE(ByteImagePutAlpha(snap, p.store, SRectWH{75, 5, 0, 0}));
  for (int32_t y = 0; y < 10; ++y)
    for (int32_t x = 0; x < 25; ++x) {
      uint32_t& px = *p.model.Pixel(75 + x, 5 + y);
      px = (px & 0x00FFFFFFu) | uint32_t{*ByteImagePixel(snap, x, y)} << 24;
    }
  EXPECT_EQ(Difference(p.store, p.model), "");
  EXPECT_FALSE(AnyUniformCommittedTile(p.store));
  EXPECT_FALSE(ByteImagePutAlpha(snap, p.store, SRectWH{100, 0, 0, 0}));
  SByteImage none;
  EXPECT_FALSE(ByteImagePutAlpha(none, p.store, SRectWH{0, 0, 0, 0}));

  // Swapping twice restores both.
  SByteImage plane;
  ASSERT_TRUE(ByteImageAlloc(plane, 100, 80));
  for (int32_t y = 0; y < 80; ++y)
    for (int32_t x = 0; x < 100; ++x) *ByteImagePixel(plane, x, y) = static_cast<uint8_t>((x / 40) * 100);
  std::vector<uint8_t> planeBefore(plane.data, plane.data + 8000);
  ASSERT_TRUE(ByteImageSwapAlpha(plane, p.store));
  for (int32_t y = 0; y < 80; ++y)
    for (int32_t x = 0; x < 100; ++x) {
      ASSERT_EQ(*ByteImagePixel(plane, x, y), p.model.GetPixel(x, y) >> 24);
      ASSERT_EQ(p.store.GetPixel(x, y),
                (p.model.GetPixel(x, y) & 0x00FFFFFFu) | uint32_t{planeBefore[y * 100 + x]} << 24);
    }
  ASSERT_TRUE(ByteImageSwapAlpha(plane, p.store));
  EXPECT_EQ(Difference(p.store, p.model), "");
  EXPECT_TRUE(std::equal(planeBefore.begin(), planeBefore.end(), plane.data));
  ExpectContentRectsCurrent(p.store);
  EXPECT_FALSE(ByteImageSwapAlpha(snap, p.store));  // wrong size
  ByteImageFree(snap);
  ByteImageFree(plane);
}

// ---------------------------------------------------------------------------------------------
// Refused commits

TEST_P(BlockVMTCRowsTest, RefusedCommitLeavesTheStoreUnchanged) {
  struct Op {
    const char* name;
    std::function<bool(CBlockVMTC&, CBlockVMTC& other, SByteImage& plane)> run;
  };
  // Each needs tiles outside the committed corner of the store.
  const std::vector<Op> ops = {
      {"WriteChannelRow",
       [](CBlockVMTC& s, CBlockVMTC&, SByteImage&) {
         std::vector<uint8_t> b(200, 9);
         return s.WriteChannelRow(-3, 100, 2, b.data(), 200) != 0;
       }},
      {"WriteBitRow",
       [](CBlockVMTC& s, CBlockVMTC&, SByteImage&) {
         std::vector<uint8_t> b(20, 0x5A);
         return s.WriteBitRow(0, 100, b.data(), 20) != 0;
       }},
      {"FlipHorizontal",
       [](CBlockVMTC& s, CBlockVMTC&, SByteImage&) {
         SRectWH r{0, 0, 160, 120};
         return s.FlipHorizontal(r);
       }},
      {"FlipVertical",
       [](CBlockVMTC& s, CBlockVMTC&, SByteImage&) {
         SRectWH r{0, 0, 160, 120};
         return s.FlipVertical(r);
       }},
      {"Rotate180",
       [](CBlockVMTC& s, CBlockVMTC&, SByteImage&) {
         SRectWH r{10, 0, 150, 120};
         return s.Rotate180(r);
       }},
      {"RotateToBlock",
       [](CBlockVMTC& s, CBlockVMTC& o, SByteImage&) {
         return RotateBlockToBlock(o, TPoint{30, 20}, s, true);
       }},
      {"ScaleTo", [](CBlockVMTC& s, CBlockVMTC& o, SByteImage&) { return ScaleBlockTo(o, s); }},
      {"PutAlpha",
       [](CBlockVMTC& s, CBlockVMTC&, SByteImage& plane) {
         return ByteImagePutAlpha(plane, s, SRectWH{-20, -10, 0, 0});
       }},
      {"SwapAlpha", [](CBlockVMTC& s, CBlockVMTC&, SByteImage& plane) { return ByteImageSwapAlpha(plane, s); }},
  };
  for (const Op& op : ops) {
    for (int refusals = 1; refusals <= 3; ++refusals) {
      SCOPED_TRACE(testing::Message() << op.name << ", commit " << refusals << " refused");
      std::mt19937 rng(42);
      Pair p(160, 120);
      RandomContent(rng, p.store, p.model, 60, 60);
      CBlockVMTC other(70, 50);
      ASSERT_TRUE(other.SetPixel(60, 40, 0xFF00FF00u));  // lands outside the committed corner
      SByteImage plane;
      ASSERT_TRUE(ByteImageAlloc(plane, 160, 120));
      for (int32_t i = 0; i < 160 * 120; ++i) plane.data[i] = static_cast<uint8_t>(i * 7);
      const std::vector<uint8_t> planeBefore(plane.data, plane.data + 160 * 120);
      const int64_t committed = p.store.CommittedBytes();
      SetCommitBudget(CommittedBytesTotal() + static_cast<uint64_t>(refusals - 1) * 4096);
      const bool result = op.run(p.store, other, plane);
      SetCommitBudget(0);
      if (refusals == 1) {
        EXPECT_FALSE(result);
      }
      if (!result) {
        EXPECT_EQ(Difference(p.store, p.model), "");
        EXPECT_EQ(p.store.CommittedBytes(), committed);
        EXPECT_TRUE(std::equal(planeBefore.begin(), planeBefore.end(), plane.data));
        ExpectContentRectsCurrent(p.store);
      }
      ByteImageFree(plane);
    }
  }
}

}  // namespace
}  // namespace tf
