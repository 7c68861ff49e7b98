// Relaying a layer into a new store, planning a grown store, and clipping and pasting a layer
// through a mask, against per-pixel expectations.
#include <gtest/gtest.h>

#include <memory>

#include "document/Mask.h"
#include "paper/LayerBuild.h"
#include "raster/BlockVCH.h"
#include "raster/BlockVMTC.h"
#include "raster/Composite.h"

namespace tf {
namespace {

// A layer of storeW x storeH at offset (ox, oy) over a canvas of w x h, every pixel distinct and
// with the given alpha.
std::unique_ptr<CLayerData> MakeLayer(int32_t w, int32_t h, int32_t storeW, int32_t storeH, int32_t ox,
                                      int32_t oy, uint8_t alpha = 255) {
  InitCompositeTables();
  auto layer = std::make_unique<CLayerData>(3, false);
  EXPECT_TRUE(layer->Init(storeW, storeH, 3));
  layer->canvasWidth = w;
  layer->canvasHeight = h;
  layer->offsetX = ox;
  layer->offsetY = oy;
  layer->name = "src";
  layer->opacity = 90;
  layer->alphaProtect = 1;
  layer->SetGroupDepth(2);
  for (int32_t y = 0; y < storeH; ++y)
    for (int32_t x = 0; x < storeW; ++x)
      layer->Store()->SetPixel(
          x, y, (uint32_t{alpha} << 24) | static_cast<uint32_t>(x << 12) | static_cast<uint32_t>(y));
  return layer;
}

// A mask of w x h at offset (ox, oy) whose value at store (x, y) is value(x, y).
template <class Fn>
std::unique_ptr<CMaskData> MakeMask(int32_t w, int32_t h, int32_t ox, int32_t oy, Fn value) {
  auto mask = CMaskData::Create(0, w, h);
  EXPECT_TRUE(mask);
  mask->offsetX = ox;
  mask->offsetY = oy;
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const uint8_t v = value(x, y);
      if (v != 0) mask->Store()->SetPixel(x, y, v);
    }
  return mask;
}

uint32_t AlphaAt(const CLayerData& layer, int32_t x, int32_t y) { return layer.Store()->GetPixel(x, y) >> 24; }

// ---------------------------------------------------------------------------------------------
// Planning a grown store

TEST(LayerBuild, PlanStoreGrowthWidensTheOverflowingAxisAndMovesTheOffsetOfTheOther) {
  auto layer = MakeLayer(40, 30, 40, 30, 0, 0);
  SStoreGrowth g;
  // Moved right by 10: the store grows by 10, the old content lands at x = 10, offset x unchanged;
  // vertically (no overflow bit) only the offset changes.
  ASSERT_TRUE(PlanStoreGrowth(*layer, 10, 5, 1, g));
  EXPECT_EQ(g.size.width, 50);
  EXPECT_EQ(g.size.height, 30);
  EXPECT_EQ(g.dest.x, 10);
  EXPECT_EQ(g.dest.y, 0);
  EXPECT_EQ(g.offset.x, 0);
  EXPECT_EQ(g.offset.y, -5);
  // Moved left by 10: the content lands at 0 and the offset grows by 10.
  ASSERT_TRUE(PlanStoreGrowth(*layer, -10, 0, 1, g));
  EXPECT_EQ(g.size.width, 50);
  EXPECT_EQ(g.dest.x, 0);
  EXPECT_EQ(g.offset.x, 10);
  // Both axes.
  ASSERT_TRUE(PlanStoreGrowth(*layer, -3, 7, 3, g));
  EXPECT_EQ(g.size.width, 43);
  EXPECT_EQ(g.size.height, 37);
  EXPECT_EQ(g.dest.y, 7);
  EXPECT_EQ(g.offset.x, 3);
  EXPECT_EQ(g.offset.y, 0);
}

TEST(LayerBuild, PlanStoreGrowthRefusesStoresBeyondTheTiledStoresReach) {
  auto layer = MakeLayer(40, 30, 40, 30, 0, 0);
  SStoreGrowth g;
  EXPECT_FALSE(PlanStoreGrowth(*layer, kMaxLayerStoreSide, 0, 1, g));
  EXPECT_FALSE(PlanStoreGrowth(*layer, INT32_MIN, 0, 1, g));
  EXPECT_FALSE(PlanStoreGrowth(*layer, 0, INT32_MAX, 2, g));
  CLayerData empty;
  EXPECT_FALSE(PlanStoreGrowth(empty, 1, 0, 1, g));
}

TEST(LayerBuild, PointListBoundsEnlargesTheBoxByTwo) {
  const TPoint points[] = {{5, 9}, {-3, 4}, {10, 2}};
  int32_t l = 0, t = 0, w = 0, h = 0;
  ASSERT_TRUE(PointListBounds(points, 3, l, t, w, h));
  EXPECT_EQ(l, -5);
  EXPECT_EQ(t, 0);
  EXPECT_EQ(w, 17);
  EXPECT_EQ(h, 11);
  EXPECT_FALSE(PointListBounds(points, 0, l, t, w, h));
  const TPoint far[] = {{INT32_MIN, 0}, {INT32_MAX, 0}};
  EXPECT_FALSE(PointListBounds(far, 2, l, t, w, h));
}

// ---------------------------------------------------------------------------------------------
// Relaying

TEST(LayerBuild, RelayCopiesTheWholeStoreToTheDestinationWithTheGivenOffset) {
  auto layer = MakeLayer(40, 30, 40, 30, 0, 0);
  layer->blendMode = 5;
  auto relaid = RelayLayer(*layer, SSize{50, 30}, SSize{16, 16}, 0, TPoint{10, 0}, TPoint{0, 0}, SSize{40, 30});
  ASSERT_TRUE(relaid);
  EXPECT_EQ(relaid->StoreWidth(), 50);
  EXPECT_EQ(relaid->StoreHeight(), 30);
  EXPECT_EQ(relaid->offsetX, 0);
  EXPECT_EQ(relaid->index, layer->index);
  EXPECT_NE(relaid->id, layer->id);
  EXPECT_EQ(relaid->blendMode, 5);
  EXPECT_EQ(relaid->canvasWidth, 40);
  for (int32_t y = 0; y < 30; ++y)
    for (int32_t x = 0; x < 40; ++x)
      ASSERT_EQ(relaid->Store()->GetPixel(x + 10, y), layer->Store()->GetPixel(x, y)) << x << "," << y;
  EXPECT_EQ(AlphaAt(*relaid, 5, 5), 0u);  // the uncovered band is transparent
  // fit 0 copies opacity, visibility and name only.
  EXPECT_EQ(relaid->opacity, 90);
  EXPECT_EQ(relaid->name, "src");
  EXPECT_EQ(relaid->alphaProtect, 0);
  EXPECT_EQ(relaid->GroupDepth(), 0);
  ASSERT_NE(relaid->Thumbnail(), nullptr);
  EXPECT_LE(relaid->Thumbnail()->Width(), 16);
}

TEST(LayerBuild, RelayWithFitCopiesEveryAttributeAndFitsTheStore) {
  auto layer = MakeLayer(40, 30, 40, 30, 0, 0);
  // A store far wider than the content needs: the fitted result covers the canvas and the tiles
  // holding content (x 10..49 lies in the first two 32-pixel tiles).
  auto relaid = RelayLayer(*layer, SSize{200, 30}, SSize{}, 1, TPoint{10, 0}, TPoint{0, 0}, SSize{40, 30});
  ASSERT_TRUE(relaid);
  EXPECT_EQ(relaid->StoreWidth(), 64);
  EXPECT_EQ(relaid->alphaProtect, 1);
  EXPECT_EQ(relaid->GroupDepth(), 2);
  EXPECT_EQ(relaid->Store()->GetPixel(10, 3), layer->Store()->GetPixel(0, 3));
}

TEST(LayerBuild, RelayRefusesSizesAndOffsetsThatLeaveTheCanvasUncovered) {
  auto layer = MakeLayer(40, 30, 40, 30, 0, 0);
  struct Case {
    SSize size;
    TPoint offset;
  };
  const Case cases[] = {
      {{39, 30}, {0, 0}},                      // narrower than the canvas
      {{40, 0}, {0, 0}},                       // empty
      {{kMaxLayerStoreSide + 1, 30}, {0, 0}},  // beyond the tiled store's reach
      {{50, 30}, {-1, 0}},                     // canvas left of the store
      {{50, 30}, {11, 0}},                     // canvas past the store's right edge
      {{50, 40}, {0, 11}},                     // canvas past the bottom
  };
  for (const Case& c : cases)
    EXPECT_FALSE(RelayLayer(*layer, c.size, SSize{}, 0, TPoint{0, 0}, c.offset, SSize{40, 30}))
        << c.size.width << "x" << c.size.height << " at " << c.offset.x << "," << c.offset.y;
}

// ---------------------------------------------------------------------------------------------
// Through a mask

TEST(LayerBuild, EraseByMaskFollowsBothAlphaRules) {
  struct Case {
    int32_t mode;
    uint8_t alpha;
    uint8_t m;
    uint32_t expected;
  };
  const Case cases[] = {
      {0, 255, 128, 127},
      {0, 254, 128, 253},
      {0, 200, 255, 0},
      {0, 200, 0, 200},
      {0, 100, 50, 100 * 205 * 255 / (65025 - 100 * 50)},
      {1, 200, 100, 200 * 155 / 255},
      {1, 255, 255, 0},
  };
  for (const Case& c : cases) {
    auto layer = MakeLayer(4, 4, 4, 4, 0, 0, c.alpha);
    auto mask = MakeMask(4, 4, 0, 0, [&](int32_t, int32_t) { return c.m; });
    ASSERT_TRUE(EraseLayerByMask(*layer, *mask, c.mode));
    EXPECT_EQ(AlphaAt(*layer, 1, 2), c.expected)
        << "mode " << c.mode << " a " << int{c.alpha} << " m " << int{c.m};
    EXPECT_EQ(layer->Store()->GetPixel(1, 2) & 0xFFFFFFu, (1u << 12) | 2u);  // colour kept
  }
}

TEST(LayerBuild, EraseByMaskMeetsTheMaskThroughTheCanvasAndRefusesOtherModes) {
  // Layer store 20x20 with the canvas at (4, 2); mask store 10x10 with the canvas at (1, 0).
  auto layer = MakeLayer(8, 8, 20, 20, 4, 2);
  auto mask = MakeMask(10, 10, 1, 0, [](int32_t x, int32_t y) { return uint8_t(x == 3 && y == 5 ? 255 : 0); });
  EXPECT_FALSE(EraseLayerByMask(*layer, *mask, 2));
  ASSERT_TRUE(EraseLayerByMask(*layer, *mask, 0));
  // Mask (3, 5) is canvas (2, 5), layer store (6, 7).
  for (int32_t y = 0; y < 20; ++y)
    for (int32_t x = 0; x < 20; ++x)
      EXPECT_EQ(AlphaAt(*layer, x, y), (x == 6 && y == 7) ? 0u : 255u) << x << "," << y;
  CMaskData unallocated;
  EXPECT_FALSE(EraseLayerByMask(*layer, unallocated, 0));
}

TEST(LayerBuild, KeepInMaskScalesAlphaInsideAndClearsOutsideTheUsedTiles) {
  auto layer = MakeLayer(100, 100, 100, 100, 0, 0, 200);
  // Only the first 64x64 mask tile holds values.
  auto mask = MakeMask(100, 100, 0, 0, [](int32_t x, int32_t y) { return uint8_t(x < 10 && y < 10 ? 128 : 0); });
  ASSERT_TRUE(KeepLayerInMask(*layer, *mask));
  EXPECT_EQ(AlphaAt(*layer, 3, 3), uint32_t{MulTable[128][200]});
  EXPECT_EQ(AlphaAt(*layer, 20, 20), 0u);  // inside the used tile, mask 0
  EXPECT_EQ(AlphaAt(*layer, 80, 10), 0u);  // outside the used tiles
  EXPECT_EQ(AlphaAt(*layer, 10, 90), 0u);
  EXPECT_EQ(layer->Store()->GetPixel(80, 10) & 0xFFFFFFu, (80u << 12) | 10u);
}

// Keep inside the mask against a pixel-by-pixel model, on stores wider and taller than one
// 64-pixel mask tile with both offsets: alpha := alpha x mask / 255, 0 where the mask is 0 or
// absent, the colour kept. The right of the mask's used tiles once kept its alpha unseen.
TEST(LayerBuild, KeepInMaskEqualsThePixelModelOnStoresWiderThanAMaskTile) {
  struct Case {
    int32_t storeW, storeH, layerX, layerY, maskW, maskH, maskX, maskY, left, top, right, bottom;
  } cases[] = {
      {200, 90, 7, 3, 180, 100, 2, 5, 70, 10, 100, 40},   // used tiles in the middle of the store
      {150, 140, 0, 0, 150, 140, 0, 0, 5, 70, 60, 130},   // used tiles at the left, lower half
      {260, 70, 30, 0, 300, 70, 0, 0, 130, 0, 190, 70},   // mask shifted against the layer
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.storeW << "x" << c.storeH);
    auto layer = MakeLayer(c.storeW, c.storeH, c.storeW, c.storeH, c.layerX, c.layerY, 220);
    auto value = [&](int32_t x, int32_t y) {
      return uint8_t(x >= c.left && x < c.right && y >= c.top && y < c.bottom ? 40 + (x * 7 + y * 3) % 216 : 0);
    };
    auto mask = MakeMask(c.maskW, c.maskH, c.maskX, c.maskY, value);
    std::vector<uint32_t> before;
    for (int32_t y = 0; y < c.storeH; ++y)
      for (int32_t x = 0; x < c.storeW; ++x) before.push_back(layer->Store()->GetPixel(x, y));
    ASSERT_TRUE(KeepLayerInMask(*layer, *mask));
    for (int32_t y = 0; y < c.storeH; ++y)
      for (int32_t x = 0; x < c.storeW; ++x) {
        // Store point to canvas, canvas to mask store.
        const int32_t mx = x - c.layerX + c.maskX, my = y - c.layerY + c.maskY;
        const uint8_t m = mx >= 0 && my >= 0 && mx < c.maskW && my < c.maskH ? value(mx, my) : 0;
        const uint32_t p = before[static_cast<size_t>(y) * c.storeW + x];
        const uint32_t want = (p & 0xFFFFFFu) | (uint32_t{MulTable[m][p >> 24]} << 24);
        ASSERT_EQ(layer->Store()->GetPixel(x, y), want) << x << "," << y;
      }
  }
}

TEST(LayerBuild, KeepInMaskWithAMaskOffTheStoreClearsEverythingAndAnEmptyMaskIsRefused) {
  auto layer = MakeLayer(40, 40, 40, 40, 0, 0);
  // The mask's content lies at canvas x >= 200: it does not meet the store.
  auto far = MakeMask(300, 40, -0, 0, [](int32_t x, int32_t) { return uint8_t(x >= 256 ? 255 : 0); });
  ASSERT_TRUE(KeepLayerInMask(*layer, *far));
  for (int32_t y = 0; y < 40; y += 7)
    for (int32_t x = 0; x < 40; x += 7) EXPECT_EQ(AlphaAt(*layer, x, y), 0u);
  auto again = MakeLayer(40, 40, 40, 40, 0, 0);
  CMaskData unallocated;
  EXPECT_FALSE(KeepLayerInMask(*again, unallocated));
  EXPECT_EQ(AlphaAt(*again, 5, 5), 255u);
}

TEST(LayerBuild, CopyInMaskLeavesTheSourceAndKeepsOnlyTheSelection) {
  auto layer = MakeLayer(40, 40, 40, 40, 0, 0);
  auto mask = MakeMask(40, 40, 0, 0, [](int32_t x, int32_t) { return uint8_t(x < 20 ? 255 : 0); });
  auto copy = CopyLayerInMask(*layer, *mask);
  ASSERT_TRUE(copy);
  EXPECT_NE(copy->id, layer->id);
  EXPECT_EQ(copy->index, layer->index);
  EXPECT_EQ(copy->name, "src");
  EXPECT_EQ(copy->Store()->GetPixel(5, 5), layer->Store()->GetPixel(5, 5));
  EXPECT_EQ(AlphaAt(*copy, 30, 5), 0u);
  EXPECT_EQ(AlphaAt(*layer, 30, 5), 255u);
  CMaskData unallocated;
  EXPECT_FALSE(CopyLayerInMask(*layer, unallocated));
}

TEST(LayerBuild, PasteThroughMaskBlendsByTheMaskAndTheAlphaFormScalesAlpha) {
  TMTC image(8, 8);
  ASSERT_TRUE(image.IsValid());
  image.FillAll(0x80102030u);
  for (bool withAlpha : {false, true}) {
    auto layer = MakeLayer(16, 16, 16, 16, 0, 0, 255);
    // m = 255 in column 0, 128 in column 1, 0 elsewhere (canvas coordinates = store here).
    auto mask = MakeMask(16, 16, 0, 0, [](int32_t x, int32_t) {
      return uint8_t(x == 2 ? 255 : x == 3 ? 128 : 0);
    });
    const uint32_t before = layer->Store()->GetPixel(3, 4);
    const SRectWH source{0, 0, 8, 8};
    ASSERT_TRUE(withAlpha ? PasteThroughMaskAlpha(*layer, image, TPoint{2, 2}, *mask, source)
                          : PasteThroughMaskColour(*layer, image, TPoint{2, 2}, *mask, source));
    uint32_t expected = before;
    BlendColor(&expected, 0x80102030u, 128);
    if (withAlpha) expected = (expected & 0xFFFFFFu) | (MulDiv255(128, 0x80) << 24);
    EXPECT_EQ(layer->Store()->GetPixel(3, 4), expected);
    EXPECT_EQ(layer->Store()->GetPixel(2, 4) & 0xFFFFFFu, 0x102030u);
    EXPECT_EQ(AlphaAt(*layer, 2, 4), withAlpha ? 0x80u : 255u);
    EXPECT_EQ(layer->Store()->GetPixel(4, 4), (255u << 24) | (4u << 12) | 4u);  // m = 0: unchanged
    EXPECT_EQ(layer->Store()->GetPixel(2, 1), (255u << 24) | (2u << 12) | 1u);  // above the pasted rows
    // Nothing left after clipping.
    EXPECT_FALSE(PasteThroughMaskColour(*layer, image, TPoint{16, 0}, *mask, source));
  }
}

TEST(LayerBuild, PasteThroughMaskReadsTheMaskAtTheCanvasPoint) {
  TMTC image(4, 4);
  ASSERT_TRUE(image.IsValid());
  image.FillAll(0xFF0000FFu);
  // Layer store offset (5, 5) from the canvas; mask offset (0, 0): store (6, 6) is canvas (1, 1).
  auto layer = MakeLayer(10, 10, 20, 20, 5, 5);
  auto mask = MakeMask(10, 10, 0, 0, [](int32_t x, int32_t y) { return uint8_t(x == 1 && y == 1 ? 255 : 0); });
  ASSERT_TRUE(PasteThroughMaskAlpha(*layer, image, TPoint{5, 5}, *mask, SRectWH{0, 0, 4, 4}));
  EXPECT_EQ(layer->Store()->GetPixel(6, 6), 0xFF0000FFu);
  EXPECT_EQ(layer->Store()->GetPixel(5, 5), (255u << 24) | (5u << 12) | 5u);
}

}  // namespace
}  // namespace tf
