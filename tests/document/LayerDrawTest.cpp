#include "document/LayerDraw.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "document/BlendMode.h"
#include "document/LayerData.h"
#include "platform/AddressSpace.h"
#include "platform/Clock.h"
#include "raster/Composite.h"
#include "support/TestRng.h"

namespace tf {
namespace {

struct TestRng : test::XorShiftRng {
  TestRng() : XorShiftRng(0x9E3779B97F4A7C15ull) {}
};

constexpr int32_t kW = 100;  // partial tiles at the right and bottom edges
constexpr int32_t kH = 70;

class LayerDrawTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitCompositeTables();
    ResetRandomThreshold();
    ResetAddressSpaceSettings();
    SetMillisecondSource([] { return 777u; });
  }
  void TearDown() override {
    ResetRandomThreshold();
    SetMillisecondSource({});
  }

  // A layer store with committed random tiles (every alpha from 0 to 255, edge tiles included),
  // one uncommitted tile of a visible fill and transparent default tiles elsewhere.
  static void FillStore(CBlockVMTC& store, TestRng& rng) {
    const int32_t tiles[][2] = {{0, 0}, {1, 1}, {3, 2}, {3, 0}};
    for (const auto& t : tiles) {
      for (int32_t y = t[1] * 32; y < std::min(kH, t[1] * 32 + 32); ++y) {
        for (int32_t x = t[0] * 32; x < std::min(kW, t[0] * 32 + 32); ++x) {
          uint32_t v = rng.Next();
          if ((v & 7) == 0) v &= 0x00FFFFFFu;  // some fully transparent pixels
          if ((v & 7) == 1) v |= 0xFF000000u;  // some opaque ones
          store.SetPixel(x, y, v);
        }
      }
    }
    SRectWH fillTile{64, 32, 32, 32};
    store.FillRect(fillTile, 0x80336699u);
    store.UpdateContentRects();
  }
  static void FillImage(TMTC& image, TestRng& rng) {
    for (int32_t y = 0; y < image.Height(); ++y) {
      for (int32_t x = 0; x < image.Width(); ++x) *image.Pixel(x, y) = rng.Next();
    }
  }
  static bool TileShows(const CBlockVMTC& store, int32_t x, int32_t y) {
    const STileInfo* t = store.GetTile(x >> 5, y >> 5);
    return t->committed || (t->fill >> 24) != 0;
  }
  static std::vector<uint32_t> Pixels(const TMTC& image) {
    std::vector<uint32_t> v;
    for (int32_t y = 0; y < image.Height(); ++y) {
      for (int32_t x = 0; x < image.Width(); ++x) v.push_back(image.GetPixel(x, y));
    }
    return v;
  }
  // Reference: op(image pixel, store pixel, value) for every pixel of a showing tile that lands
  // in the image when the store's rectangle is drawn at dest.
  template <class Op>
  static void Reference(TMTC& image, const CBlockVMTC& store, TPoint dest, SRectWH source, Op op) {
    for (int32_t y = source.top; y < source.top + source.height; ++y) {
      for (int32_t x = source.left; x < source.left + source.width; ++x) {
        if (x < 0 || y < 0 || x >= store.Width() || y >= store.Height()) continue;
        const int32_t ix = x - source.left + dest.x;
        const int32_t iy = y - source.top + dest.y;
        if (ix < 0 || iy < 0 || ix >= image.Width() || iy >= image.Height()) continue;
        if (!TileShows(store, x, y)) continue;
        op(image.Pixel(ix, iy), store.GetPixel(x, y));
      }
    }
  }
};

TEST_F(LayerDrawTest, EveryModeDrawsAsItsPixelRoutine) {
  struct Placement {
    TPoint dest;
    SRectWH source;
  } placements[] = {
      {{0, 0}, {0, 0, kW, kH}},
      {{-5, 7}, {0, 0, kW, kH}},   // clipped at the image's left and bottom
      {{3, 2}, {20, 10, 70, 50}},  // a part of the store
      {{40, -30}, {-10, -10, 200, 200}},
  };
  for (int32_t mode = 0; mode < kBlendModeCount; ++mode) {
    for (uint8_t opacity : {255, 140, 1}) {
      for (const Placement& p : placements) {
        TestRng rng;
        rng.s += static_cast<uint64_t>(mode) * 977 + opacity;
        CBlockVMTC store(kW, kH);
        FillStore(store, rng);
        CLayerData layer;
        layer.blendMode = static_cast<uint8_t>(mode);
        layer.opacity = opacity;
        TMTC image(90, 60);
        FillImage(image, rng);
        TMTC expected(90, 60);
        ASSERT_TRUE(CopyPixels32(expected, image));
        const SLayerParam* entry = GetBlendModeEntry(static_cast<uint32_t>(mode));
        Reference(expected, store, p.dest, p.source,
                  [&](uint32_t* pixel, uint32_t colour) { entry->sourceAlpha(pixel, colour, opacity); });
        TPoint dest = p.dest;
        SRectWH source = p.source;
        DrawLayerTo(store, image, layer, dest, source);
        ASSERT_EQ(Pixels(image), Pixels(expected)) << "mode " << mode << " opacity " << int(opacity);
      }
    }
  }
}

TEST_F(LayerDrawTest, OpacityZeroAndEmptyStoresDrawNothing) {
  TestRng rng;
  CBlockVMTC store(kW, kH);
  FillStore(store, rng);
  CLayerData layer;
  layer.blendMode = kModeNormal;
  layer.opacity = 0;
  TMTC image(kW, kH);
  FillImage(image, rng);
  const std::vector<uint32_t> before = Pixels(image);
  TPoint dest{0, 0};
  SRectWH source{0, 0, kW, kH};
  EXPECT_FALSE(DrawLayerTo(store, image, layer, dest, source));
  EXPECT_EQ(Pixels(image), before);

  CBlockVMTC empty(kW, kH);
  layer.opacity = 255;
  for (int32_t mode : {0, 3, 5, 17}) {
    layer.blendMode = static_cast<uint8_t>(mode);
    dest = {0, 0};
    source = {0, 0, kW, kH};
    EXPECT_TRUE(DrawLayerTo(empty, image, layer, dest, source));
    dest = {0, 0};
    source = {0, 0, kW, kH};
    EXPECT_TRUE(DrawLayerFastTo(empty, image, layer, dest, source));
    EXPECT_EQ(Pixels(image), before);
  }
  // A mode outside the table draws nothing.
  layer.blendMode = 40;
  dest = {0, 0};
  source = {0, 0, kW, kH};
  EXPECT_FALSE(DrawLayerTo(store, image, layer, dest, source));
  EXPECT_EQ(Pixels(image), before);
}

TEST_F(LayerDrawTest, DissolveRepeatsExactlyForTheSameRecord) {
  TestRng rng;
  CBlockVMTC store(kW, kH);
  FillStore(store, rng);
  CLayerData layer;
  layer.blendMode = kModeScreen;
  layer.opacity = 230;
  layer.dissolve = 1;
  layer.dissolveThreshold = 128;
  layer.SetSeed(4242);
  const SRandom record = layer.random;
  TMTC base(kW, kH);
  FillImage(base, rng);

  auto draw = [&](const CLayerData& l) {
    TMTC image(kW, kH);
    CopyPixels32(image, base);
    TPoint dest{0, 0};
    SRectWH source{0, 0, kW, kH};
    DrawLayerTo(store, image, l, dest, source);
    return Pixels(image);
  };
  const std::vector<uint32_t> first = draw(layer);
  EXPECT_EQ(draw(layer), first);
  EXPECT_EQ(layer.random, record);  // the layer's record is never advanced
  // The reseed flag of the composition changes nothing.
  TMTC image(kW, kH);
  CopyPixels32(image, base);
  TPoint dest{0, 0};
  SRectWH source{0, 0, kW, kH};
  DrawLayerToReseed(store, image, layer, dest, source, true);
  EXPECT_EQ(Pixels(image), first);

  // Some pixels are left out, fewer than by a layer that does not dissolve.
  CLayerData solid;
  solid.blendMode = layer.blendMode;
  solid.opacity = layer.opacity;
  const std::vector<uint32_t> full = draw(solid);
  const std::vector<uint32_t> untouched = Pixels(base);
  int drawnBoth = 0, drawnFull = 0, dissolvedOnly = 0;
  for (size_t i = 0; i < full.size(); ++i) {
    if (full[i] != untouched[i]) ++drawnFull;
    if (first[i] != untouched[i]) {
      if (first[i] == full[i])
        ++drawnBoth;
      else
        ++dissolvedOnly;
    }
  }
  EXPECT_EQ(dissolvedOnly, 0);  // a shown pixel is drawn as without dissolve
  EXPECT_GT(drawnBoth, 0);
  EXPECT_LT(drawnBoth, drawnFull);

  // Another seed gives another pattern; threshold 255 shows everything, 0 nothing.
  CLayerData other;
  other.blendMode = layer.blendMode;
  other.opacity = layer.opacity;
  other.dissolve = 1;
  other.dissolveThreshold = 128;
  other.SetSeed(4243);
  EXPECT_NE(draw(other), first);
  other.dissolveThreshold = 255;
  // Opaque source pixels always pass at threshold 255 (draws are 0..254).
  CBlockVMTC opaque(kW, kH);
  SRectWH all{0, 0, kW, kH};
  opaque.FillRect(all, 0xFF808080u);
  opaque.SetPixel(1, 1, 0xFF102030u);
  auto drawFrom = [&](const CBlockVMTC& s, const CLayerData& l) {
    TMTC out(kW, kH);
    CopyPixels32(out, base);
    TPoint d{0, 0};
    SRectWH r{0, 0, kW, kH};
    DrawLayerTo(s, out, l, d, r);
    return Pixels(out);
  };
  EXPECT_EQ(drawFrom(opaque, other), drawFrom(opaque, solid));
  other.dissolveThreshold = 0;
  EXPECT_EQ(drawFrom(opaque, other), untouched);
}

// The dissolve draws follow the walk exactly: tile rows, tiles left to right, rows of a piece,
// pixels of a row; one draw per pixel of the clipped source rectangle (transparent uncommitted
// tiles included), from a copy of the layer's record. The slot is left as that pass leaves it.
TEST_F(LayerDrawTest, DissolveDrawsOnePerVisitedPixelInWalkOrder) {
  CBlockVMTC store(kW, kH);  // 4 x 3 tiles, partial at the right and bottom
  TestRng rng;
  for (int32_t ty = 0; ty < 3; ++ty) {
    for (int32_t tx = 0; tx < 4; ++tx) {
      SRectWH tile{tx * 32, ty * 32, 32, 32};
      if (tx == 1 && ty == 1) continue;  // transparent default fill inside the content rectangle
      if ((tx + ty) % 2 == 0) {
        store.FillRect(tile, 0x40000000u | (rng.Next() & 0xBFFFFFFFu));  // a visible uniform fill
      } else {
        for (int32_t y = tile.top; y < std::min(kH, tile.top + 32); ++y) {
          for (int32_t x = tile.left; x < std::min(kW, tile.left + 32); ++x) store.SetPixel(x, y, rng.Next());
        }
      }
    }
  }
  store.UpdateContentRects();
  ASSERT_EQ(store.ContentRects().count, 1);
  ASSERT_FALSE(store.GetTile(1, 1)->committed);

  struct Placement {
    TPoint dest;
    SRectWH source;
  } placements[] = {{{0, 0}, {0, 0, kW, kH}}, {{-7, 3}, {5, 9, 90, 58}}};
  for (uint8_t mode : {kModeNormal, kModeOverlay, kModeMultiply}) {
    for (const Placement& p : placements) {
      CLayerData layer;
      layer.blendMode = mode;
      layer.opacity = 200;
      layer.dissolve = 1;
      layer.dissolveThreshold = 170;
      layer.SetSeed(9001 + mode);
      TMTC image(90, 60);
      FillImage(image, rng);
      TMTC expected(90, 60);
      ASSERT_TRUE(CopyPixels32(expected, image));

      // Model: the clipped source rectangle walked tile by tile, one draw for every pixel, shown or
      // not (a transparent pixel never passes the threshold).
      SRandom random = layer.random;
      const SLayerParam* entry = GetBlendModeEntry(mode);
      const int32_t left = std::max({p.source.left, 0, p.source.left - p.dest.x});
      const int32_t top = std::max({p.source.top, 0, p.source.top - p.dest.y});
      const int32_t right = std::min({p.source.left + p.source.width, kW, p.source.left - p.dest.x + 90});
      const int32_t bottom = std::min({p.source.top + p.source.height, kH, p.source.top - p.dest.y + 60});
      int64_t draws = 0;
      for (int32_t ty = top >> 5; ty <= (bottom - 1) >> 5; ++ty) {
        for (int32_t tx = left >> 5; tx <= (right - 1) >> 5; ++tx) {
          for (int32_t y = std::max(top, ty * 32); y < std::min(bottom, ty * 32 + 32); ++y) {
            for (int32_t x = std::max(left, tx * 32); x < std::min(right, tx * 32 + 32); ++x) {
              const uint32_t colour = store.GetPixel(x, y);
              const uint32_t r = static_cast<uint32_t>(RandomDraw(random));
              ++draws;
              if (r < MulDiv255(layer.dissolveThreshold, colour >> 24)) {
                entry->sourceAlpha(expected.Pixel(x - p.source.left + p.dest.x, y - p.source.top + p.dest.y),
                                   colour, layer.opacity);
              }
            }
          }
        }
      }
      TPoint dest = p.dest;
      SRectWH source = p.source;
      ASSERT_TRUE(DrawLayerTo(store, image, layer, dest, source));
      EXPECT_EQ(Pixels(image), Pixels(expected)) << "mode " << int(mode) << " at " << p.dest.x;
      EXPECT_EQ(DissolveRandomState(), random) << draws << " draws";
    }
  }
}

TEST_F(LayerDrawTest, FastDrawingUsesTheLegacyPairs) {
  for (int32_t mode : {0, 1, 2, 3, 4, 12, 21}) {
    for (uint8_t opacity : {255, 77, 0}) {
      TestRng rng;
      rng.s += static_cast<uint64_t>(mode) * 31 + opacity;
      CBlockVMTC store(kW, kH);
      FillStore(store, rng);
      CLayerData layer;
      layer.blendMode = static_cast<uint8_t>(mode);
      layer.opacity = opacity;
      TMTC image(kW, kH);
      FillImage(image, rng);
      TMTC expected(kW, kH);
      CopyPixels32(expected, image);
      const SLegacyOpPair& pair = GetLegacyOpPair(static_cast<uint32_t>(mode));
      const TPoint at{-3, 4};
      Reference(expected, store, at, SRectWH{0, 0, kW, kH},
                [&](uint32_t* pixel, uint32_t colour) { pair.pixel(pixel, colour, opacity); });
      TPoint dest = at;
      SRectWH source{0, 0, kW, kH};
      DrawLayerFastTo(store, image, layer, dest, source);
      EXPECT_EQ(Pixels(image), Pixels(expected)) << "mode " << mode << " opacity " << int(opacity);
    }
  }
}

TEST_F(LayerDrawTest, BlendFromLayerCombinesTwoStoresAsTheirPixelRoutine) {
  for (int32_t mode : {3, 0, 5, 14}) {
    TestRng rng;
    rng.s += static_cast<uint64_t>(mode);
    CBlockVMTC source(kW, kH);
    FillStore(source, rng);
    CBlockVMTC dest(kW, kH);
    for (int32_t i = 0; i < 400; ++i) dest.SetPixel(rng.Next() % kW, rng.Next() % 32, rng.Next());
    CLayerData layer;
    layer.blendMode = static_cast<uint8_t>(mode);
    layer.opacity = 190;
    TMTC model(kW, kH);
    dest.CopyAllToImage(model, 0, 0, 255, false);
    const SLayerParam* entry = GetBlendModeEntry(static_cast<uint32_t>(mode));
    Reference(model, source, TPoint{0, 0}, SRectWH{0, 0, kW, kH},
              [&](uint32_t* pixel, uint32_t colour) { entry->sourceAlpha(pixel, colour, layer.opacity); });
    TPoint at{0, 0};
    SRectWH rect{0, 0, kW, kH};
    ASSERT_TRUE(BlendFromLayer(dest, source, layer, at, rect));
    TMTC result(kW, kH);
    dest.CopyAllToImage(result, 0, 0, 255, false);
    EXPECT_EQ(Pixels(result), Pixels(model)) << "mode " << mode;
    // The uniform source tile landed on a whole uncommitted tile: nothing committed there.
    EXPECT_FALSE(dest.GetTile(2, 1)->committed);
  }
}

TEST_F(LayerDrawTest, RefusedCommitLeavesBothMergesUnchanged) {
  // A merge that cannot commit every tile it writes must change nothing: not some tiles.
  for (int32_t refusalsAfter : {0, 1, 3}) {
    for (bool legacy : {false, true}) {
      TestRng rng;
      rng.s += static_cast<uint64_t>(refusalsAfter) * 11 + (legacy ? 1 : 0);
      CBlockVMTC source(kW, kH);
      FillStore(source, rng);
      CBlockVMTC dest(kW, kH);
      for (int32_t i = 0; i < 50; ++i) dest.SetPixel(rng.Next() % kW, rng.Next() % 32, rng.Next());
      CLayerData layer;
      layer.blendMode = 3;
      layer.opacity = 200;
      TMTC before(kW, kH);
      dest.CopyAllToImage(before, 0, 0, 255, false);
      const int64_t committed = dest.CommittedBytes();
      SetCommitBudget(CommittedBytesTotal() + static_cast<uint64_t>(refusalsAfter) * kTileBytes);
      TPoint at{0, 0};
      SRectWH rect{0, 0, kW, kH};
      const bool result =
          legacy ? MergeLayerPair(source, dest, layer, at, rect) : BlendFromLayer(dest, source, layer, at, rect);
      SetCommitBudget(0);
      if (refusalsAfter == 0) {
        EXPECT_FALSE(result) << (legacy ? "legacy" : "");
      }
      if (result) continue;  // enough commits went through: the merge did its work
      TMTC after(kW, kH);
      dest.CopyAllToImage(after, 0, 0, 255, false);
      EXPECT_EQ(Pixels(after), Pixels(before)) << refusalsAfter << (legacy ? " legacy" : "");
      EXPECT_EQ(dest.CommittedBytes(), committed);
    }
  }
}

TEST_F(LayerDrawTest, MergeLayerPairMakesWhatItWritesOpaque) {
  for (int32_t mode : {0, 1, 2, 3, 9}) {
    TestRng rng;
    rng.s += static_cast<uint64_t>(mode) * 7;
    CBlockVMTC source(kW, kH);
    FillStore(source, rng);
    CBlockVMTC dest(kW + 20, kH);
    for (int32_t i = 0; i < 300; ++i) dest.SetPixel(rng.Next() % (kW + 20), rng.Next() % kH, rng.Next());
    CLayerData layer;
    layer.blendMode = static_cast<uint8_t>(mode);
    layer.opacity = 160;
    TMTC model(kW + 20, kH);
    dest.CopyAllToImage(model, 0, 0, 255, false);
    const SLegacyOpPair& pair = GetLegacyOpPair(static_cast<uint32_t>(mode));
    const TPoint at{16, 0};  // not tile-aligned: pieces straddle destination tiles
    Reference(model, source, at, SRectWH{0, 0, kW, kH}, [&](uint32_t* pixel, uint32_t colour) {
      pair.pixel(pixel, colour, layer.opacity);
      *pixel |= 0xFF000000u;
    });
    TPoint dest_point = at;
    SRectWH rect{0, 0, kW, kH};
    ASSERT_TRUE(MergeLayerPair(source, dest, layer, dest_point, rect));
    TMTC result(kW + 20, kH);
    dest.CopyAllToImage(result, 0, 0, 255, false);
    EXPECT_EQ(Pixels(result), Pixels(model)) << "mode " << mode;
  }
}

TEST_F(LayerDrawTest, MergingOpaqueFillsOntoFillsCommitsNothing) {
  CBlockVMTC source(kW, kH);
  SRectWH all{0, 0, kW, kH};
  source.FillAll(0xFF204080u);
  CBlockVMTC dest(kW, kH);
  CLayerData layer;
  layer.blendMode = kModeNormal;
  layer.opacity = 255;
  ASSERT_EQ(source.CommittedTileCount(), 0);
  TPoint at{0, 0};
  ASSERT_TRUE(MergeLayerPair(source, dest, layer, at, all));
  EXPECT_EQ(dest.CommittedTileCount(), 0);
  for (int32_t i = 0; i < dest.TileCount(); ++i) EXPECT_EQ(dest.TileByIndex(i).fill >> 24, 255u);
  EXPECT_EQ(dest.GetPixel(50, 50), 0xFF204080u);
  EXPECT_EQ(dest.ContentRects().count, 1);
}

TEST_F(LayerDrawTest, NeutralFillsKeepAlpha) {
  CBlockVMTC store(kW, kH);
  store.SetPixel(3, 3, 0x40123456u);
  SRectWH rect{0, 0, 40, 40};
  ASSERT_TRUE(FillNeutralRect(store, rect, kModeOverlay));
  EXPECT_EQ(store.GetPixel(3, 3), 0x407F7F7Fu);
  EXPECT_EQ(store.GetPixel(39, 39), 0x007F7F7Fu);
  EXPECT_EQ(store.GetPixel(41, 41), 0x00FFFFFFu);
  ASSERT_TRUE(FillNeutralAll(store, kModeScreen));
  EXPECT_EQ(store.GetPixel(3, 3), 0x40000000u);
  EXPECT_EQ(store.GetPixel(99, 69), 0x00000000u);
  EXPECT_EQ(store.CommittedTileCount(), 4);  // the four tiles the partial rectangle touched

  CLayerData layer;
  ASSERT_TRUE(layer.Init(40, 40, kModeDifference));
  layer.Store()->SetPixel(1, 1, 0xFFFFFFFFu);
  layer.blendMode = kModeMultiply;
  ASSERT_TRUE(ClearLayerToNeutral(layer));
  EXPECT_EQ(layer.Store()->GetPixel(1, 1), 0xFFFFFFFFu);
  EXPECT_EQ(layer.Store()->GetPixel(20, 20), 0x00FFFFFFu);
}

TEST_F(LayerDrawTest, LayerJoinsPassTheLayersSettings) {
  CLayerData layer;
  ASSERT_TRUE(layer.Init(kW, kH, kModeNormal));
  TestRng rng;
  FillStore(*layer.Store(), rng);
  layer.opacity = 120;
  layer.offsetX = 5;
  TMTC image(kW, kH);
  FillImage(image, rng);
  TMTC expected(kW, kH);
  CopyPixels32(expected, image);
  TPoint at{2, 3};
  SRectWH all{0, 0, kW, kH};
  DrawLayerTo(*layer.Store(), expected, layer, at, all);
  ASSERT_TRUE(DrawLayerToImage(layer, image, 2, 3));
  EXPECT_EQ(Pixels(image), Pixels(expected));

  // The per-layer combine writes the lower opacity back (255 after).
  CLayerData lower;
  ASSERT_TRUE(lower.Init(kW, kH, kModeNormal));
  lower.opacity = 99;
  TPoint origin{0, 0};
  SRectWH rect{0, 0, kW, kH};
  ASSERT_TRUE(CombineLayers(lower, layer, origin, rect));
  EXPECT_EQ(lower.opacity, 255);
  CLayerData lower2;
  ASSERT_TRUE(lower2.Init(kW, kH, kModeSubtract));
  origin = {0, 0};
  rect = {0, 0, kW, kH};
  ASSERT_TRUE(CompositeLayers(lower2, layer, origin, 3, rect));
  EXPECT_EQ(lower2.opacity, 255);

  SBlendLayer blend = BlendLayerOf(layer);
  EXPECT_EQ(blend.mode, kModeNormal);
  EXPECT_EQ(blend.opacity, 120);
  EXPECT_FALSE(blend.dissolve);
  EXPECT_EQ(blend.random, layer.random);

  // Legacy merge of the whole store into a target store.
  CBlockVMTC target(kW, kH);
  ASSERT_TRUE(MergeLayerLegacy(layer, target, 0, 0));
  EXPECT_EQ(target.GetPixel(70, 40) >> 24, 255u);

  CLayerData bare;
  EXPECT_FALSE(DrawLayerToImage(bare, image, 0, 0));
  EXPECT_FALSE(DrawLayerFast(bare, image, 0, 0));
  EXPECT_FALSE(MergeLayerLegacy(bare, target, 0, 0));
  EXPECT_FALSE(ClearLayerToNeutral(bare));
}

// A dissolving layer shows the same pattern whatever tiles its store holds committed: a
// compaction that releases transparent tiles (which a replay does at other moments than the
// recording did) shifted the draws of every pixel after them, so the composed picture of a replayed
// painting differed from the recorded one while every layer agreed.
TEST_F(LayerDrawTest, DissolvePatternDoesNotDependOnWhichTilesAreCommitted) {
  for (uint8_t threshold : {255, 140}) {
    CBlockVMTC store(kW, kH);
    TestRng rng;
    // Painted tiles around transparent committed ones (a stroke that left nothing there).
    for (int32_t ty = 0; ty < 3; ++ty) {
      for (int32_t tx = 0; tx < 4; ++tx) {
        const bool clear = (tx + ty) % 3 == 1;
        for (int32_t y = ty * 32; y < std::min(kH, ty * 32 + 32); ++y)
          for (int32_t x = tx * 32; x < std::min(kW, tx * 32 + 32); ++x)
            store.SetPixel(x, y, clear ? 0x00FFFFFFu : (rng.Next() | 0x20000000u));
      }
    }
    store.UpdateContentRects();
    CLayerData layer;
    layer.dissolve = 1;
    layer.dissolveThreshold = threshold;
    layer.SetSeed(4242);
    auto draw = [&](const SRectWH& source) {
      TMTC image(kW, kH);
      image.FillAll(0xFF808080u);
      TPoint dest{source.left, source.top};
      SRectWH rect = source;
      DrawLayerTo(store, image, layer, dest, rect);
      return Pixels(image);
    };
    const SRectWH whole{0, 0, kW, kH}, part{3, 5, 70, 60};
    const std::vector<uint32_t> before = draw(whole), beforePart = draw(part);
    ASSERT_GT(store.Compact(), 0);  // the transparent tiles go
    EXPECT_EQ(draw(whole), before) << "threshold " << int(threshold);
    EXPECT_EQ(draw(part), beforePart) << "threshold " << int(threshold);
  }
}

}  // namespace
}  // namespace tf
