#include "raster/BlockVMTC.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <random>
#include <vector>

#include "platform/AddressSpace.h"
#include "raster/ColorMath.h"
#include "raster/Composite.h"
#include "raster/RegionOps.h"
#include "support/GuardModeTest.h"
#include "support/TestImages.h"

namespace tf {
namespace {

using test::BottomUpMTC;

// Store tests run with and without guard pages (touching an uncommitted tile then faults).
class BlockVMTCTest : public test::GuardModeTest {
 protected:
  void SetUp() override {
    InitCompositeTables();
    GuardModeTest::SetUp();
  }
};

INSTANTIATE_TEST_SUITE_P(Guard, BlockVMTCTest, ::testing::Bool(), test::GuardModeName("On", "Off"));

void AccumulateOver(uint32_t* acc, uint32_t colour, int32_t alpha) { BlendColor(acc, colour, alpha); }
const SCompositeOps kNormal{0, 0, {}, AccumulateOver, AccumulateOver};
const SCompositeOps kNormalSkip{0, kCompositeSkipZeroAlpha, {}, AccumulateOver, AccumulateOver};

// An operation the stores do not know, so it runs through its pointer.
void ScrambleOp(uint32_t* pixel, uint32_t colour, int32_t alpha) {
  *pixel = ((*pixel ^ colour) * 2654435761u) + static_cast<uint32_t>(alpha);
}

std::vector<uint32_t> Pixels(const CBlockVMTC& store) {
  TMTC image(store.Width(), store.Height());
  image.FillAll(0xDEADBEEFu);
  store.CopyAllToImage(image, 0, 0, 255, false);
  return std::vector<uint32_t>(reinterpret_cast<const uint32_t*>(image.Bits()),
                               reinterpret_cast<const uint32_t*>(image.Bits()) + image.Width() * image.Height());
}

std::vector<uint32_t> Pixels(const TMTC& image) {
  return std::vector<uint32_t>(reinterpret_cast<const uint32_t*>(image.Bits()),
                               reinterpret_cast<const uint32_t*>(image.Bits()) + image.Width() * image.Height());
}

// The content rectangles cover every content tile, are at most four, and none touch.
void ExpectContentInvariant(const CBlockVMTC& store) {
  const SRegionList& list = store.ContentRects();
  ASSERT_LE(list.count, 4);
  for (int32_t i = 0; i < list.count; ++i)
    for (int32_t j = i + 1; j < list.count; ++j) ASSERT_GT(BoundsGapSq(list.rects[i], list.rects[j]), 0);
  for (int32_t i = 0; i < store.TileCount(); ++i) {
    const STileInfo& t = store.TileByIndex(i);
    if (!t.committed && (t.fill >> 24) == 0) continue;
    bool covered = false;
    for (int32_t k = 0; k < list.count; ++k) {
      const TRect& r = list.rects[k];
      covered = covered || (t.pixelX >= r.left && t.pixelY >= r.top && t.pixelX + t.clippedWidth <= r.right &&
                            t.pixelY + t.clippedHeight <= r.bottom);
    }
    ASSERT_TRUE(covered) << "tile " << t.column << "," << t.row;
  }
}

// ---------------------------------------------------------------------------------------------
// Sparse behaviour

TEST_P(BlockVMTCTest, NewStoreIsEmpty) {
  CBlockVMTC store(64, 64);
  ASSERT_TRUE(store.IsValid());
  EXPECT_EQ(store.CommittedBytes(), 0);
  EXPECT_EQ(store.GetPixel(10, 10), 0x00FFFFFFu);
  EXPECT_EQ(store.ContentRects().count, 0);
  EXPECT_EQ(store.UpdateContentRects(), 0);
}

TEST_P(BlockVMTCTest, ColourAndAlphaOverWholeTilesChangeFillsOnly) {
  CBlockVMTC store(64, 64);
  ASSERT_TRUE(store.SetColorAll(0x00FF0000u));
  EXPECT_EQ(store.CommittedBytes(), 0);
  for (int32_t i = 0; i < store.TileCount(); ++i) EXPECT_EQ(store.TileByIndex(i).fill, 0x00FF0000u);
  EXPECT_EQ(store.ContentRects().count, 0);
  ASSERT_TRUE(store.SetAlphaAll(255));
  EXPECT_EQ(store.CommittedBytes(), 0);
  ASSERT_EQ(store.ContentRects().count, 1);
  EXPECT_EQ(store.ContentRects().rects[0], (TRect{0, 0, 64, 64}));
  EXPECT_EQ(store.GetPixel(63, 0), 0xFFFF0000u);
}

TEST_P(BlockVMTCTest, UniformOperationsOverWholeVisibleTilesCommitNothing) {
  CBlockVMTC store(100, 70);  // edge tiles are 4 wide and 6 high
  SRectWH all{0, 0, 100, 70};
  ASSERT_TRUE(store.FillRect(all, 0x10203040u));
  SRectWH rect{-50, -50, 500, 500};
  ASSERT_TRUE(store.XorRect(rect, 0x01010101u));
  rect = {32, 32, 68, 38};
  ASSERT_TRUE(store.MaskedFillRect(rect, 0x0000FF00u, 0x12345678u));
  EXPECT_EQ(store.CommittedBytes(), 0);
  EXPECT_EQ(store.GetPixel(0, 0), 0x11213141u);
  EXPECT_EQ(store.GetPixel(99, 69), 0x11215641u);
  ASSERT_TRUE(store.FillAll(0xFF00FF00u));
  EXPECT_EQ(store.CommittedBytes(), 0);
  EXPECT_EQ(store.GetPixel(50, 50), 0xFF00FF00u);

  // A piece that covers part of a tile commits that tile only.
  rect = {40, 40, 10, 10};
  ASSERT_TRUE(store.FillRect(rect, 0xFF0000FFu));
  EXPECT_EQ(store.CommittedBytes(), 4096);
  EXPECT_EQ(store.GetPixel(39, 40), 0xFF00FF00u);  // the commit filled with the old fill
  EXPECT_EQ(store.GetPixel(40, 40), 0xFF0000FFu);
}

TEST_P(BlockVMTCTest, StoreToStoreFillPathsCommitNothing) {
  CBlockVMTC source(96, 64);
  CBlockVMTC dest(96, 64);
  SRectWH rect{0, 0, 96, 64};
  source.FillRect(rect, 0x80402010u);
  ASSERT_TRUE(dest.CopyAllFrom(source));
  EXPECT_EQ(dest.CommittedBytes(), 0);
  EXPECT_EQ(dest.GetPixel(95, 63), 0x80402010u);

  // Combine with the fills of both: alpha scaled by 128, then the operation on the fill.
  CBlockVMTC other(96, 64);
  TPoint point{32, 0};
  SRectWH sourceRect{0, 0, 32, 32};
  ASSERT_TRUE(other.CombineFrom(source, point, sourceRect, 128, 255, &SetPixelOp));
  EXPECT_EQ(other.CommittedBytes(), 0);
  EXPECT_EQ(other.GetPixel(40, 5), 0x80402010u);
  point = {0, 32};
  sourceRect = {0, 0, 32, 32};
  ASSERT_TRUE(other.CombineFrom(source, point, sourceRect, 128, 255, &AddOp));
  EXPECT_EQ(other.CommittedBytes(), 0);
  uint32_t model = 0x00FFFFFFu;
  AddOp(&model, 0x80402010u, 255);
  EXPECT_EQ(other.GetPixel(0, 40), model);

  // A piece that does not cover the destination tile commits it.
  point = {10, 10};
  sourceRect = {0, 0, 5, 5};
  ASSERT_TRUE(other.CopyFrom(source, point, sourceRect));
  EXPECT_EQ(other.CommittedBytes(), 4096);
  EXPECT_EQ(other.GetPixel(12, 12), 0x80402010u);
  EXPECT_EQ(other.GetPixel(9, 9), 0x00FFFFFFu);
}

TEST_P(BlockVMTCTest, SetPixelThenCompactReleasesTheTile) {
  CBlockVMTC store(64, 64);
  ASSERT_TRUE(store.SetPixel(5, 5, 0xFF000000u));
  EXPECT_EQ(store.CommittedBytes(), 4096);
  ASSERT_EQ(store.ContentRects().count, 1);
  EXPECT_EQ(store.ContentRects().rects[0], (TRect{0, 0, 32, 32}));
  ASSERT_TRUE(store.SetPixel(5, 5, 0x00FFFFFFu));
  EXPECT_EQ(store.Compact(), 1);
  EXPECT_EQ(store.CommittedBytes(), 0);
  EXPECT_EQ(store.GetTile(0, 0, false)->fill, 0x00FFFFFFu);
  EXPECT_EQ(store.ContentRects().count, 0);
}

TEST_P(BlockVMTCTest, CompactKeepsTheValueOfAUniformTile) {
  CBlockVMTC store(64, 64);
  store.SetPixel(40, 40, 0xFF000000u);
  // The tile is committed; fill its pixels through its view with one opaque colour.
  store.TileView(*store.GetTile(1, 1, false))->FillAll(0xFF336699u);
  EXPECT_EQ(store.Compact(), 1);
  EXPECT_EQ(store.GetTile(1, 1, false)->fill, 0xFF336699u);
  EXPECT_EQ(store.GetPixel(63, 63), 0xFF336699u);
  ASSERT_EQ(store.ContentRects().count, 1);  // an opaque fill is content
  EXPECT_EQ(store.ContentRects().rects[0], (TRect{32, 32, 64, 64}));
}

TEST_P(BlockVMTCTest, CompactComparesTheOverhangOfEdgeTiles) {
  CBlockVMTC store(40, 40);  // tile (1, 0) shows 8 of its 32 columns
  ASSERT_TRUE(store.SetPixel(35, 5, 0xFF000000u));
  SRectWH visible{32, 0, 8, 32};
  ASSERT_TRUE(store.FillRect(visible, 0xFF112233u));
  // The overhang still holds the fill of the commit: the tile is not uniform.
  EXPECT_EQ(store.Compact(), 0);
  EXPECT_EQ(store.GetPixel(50, 5), 0x00FFFFFFu);
  // FillAll writes every pixel of committed tiles, the overhang included.
  ASSERT_TRUE(store.FillAll(0xFF112233u));
  EXPECT_EQ(store.CommittedBytes(), 4096);
  EXPECT_EQ(store.Compact(), 1);
  EXPECT_EQ(store.CommittedBytes(), 0);
}

TEST_P(BlockVMTCTest, CommittedTransparentTileIsContentUntilCompacted) {
  CBlockVMTC store(128, 64);
  ASSERT_TRUE(store.SetPixel(100, 10, 0x00FFFFFFu));
  ASSERT_EQ(store.ContentRects().count, 1);
  EXPECT_EQ(store.ContentRects().rects[0], (TRect{96, 0, 128, 32}));
  EXPECT_EQ(store.Compact(), 1);
  EXPECT_EQ(store.ContentRects().count, 0);
}

TEST_P(BlockVMTCTest, ContentRectanglesNeverExceedFour) {
  CBlockVMTC store(320, 320);
  // Two tiles far apart: two rectangles.
  store.SetPixel(0, 0, 0xFF000000u);
  store.SetPixel(300, 300, 0xFF000000u);
  ASSERT_EQ(store.ContentRects().count, 2);
  store.SetPixel(300, 0, 0xFF000000u);
  store.SetPixel(0, 300, 0xFF000000u);
  ASSERT_EQ(store.ContentRects().count, 4);
  // A fifth separate group joins the nearest rectangle.
  store.SetPixel(70, 70, 0xFF000000u);
  EXPECT_EQ(store.ContentRects().count, 4);
  EXPECT_EQ(store.ContentRects().rects[0], (TRect{0, 0, 96, 96}));
  ExpectContentInvariant(store);
  EXPECT_EQ(store.UpdateContentRects(), 4);
  ExpectContentInvariant(store);
}

// ---------------------------------------------------------------------------------------------
// Region lists

TEST_P(BlockVMTCTest, RegionListMergesTouchingAndNearest) {
  struct Case {
    const char* name;
    std::vector<TRect> adds;
    std::vector<TRect> expected;
  };
  const std::vector<Case> cases = {
      {"apart", {{0, 0, 10, 10}, {20, 0, 30, 10}}, {{0, 0, 10, 10}, {20, 0, 30, 10}}},
      {"shared edge", {{0, 0, 10, 10}, {10, 0, 20, 10}}, {{0, 0, 20, 10}}},
      {"corner touch", {{0, 0, 10, 10}, {10, 10, 20, 20}}, {{0, 0, 20, 20}}},
      {"chain", {{0, 0, 10, 10}, {30, 0, 40, 10}, {10, 0, 30, 10}}, {{0, 0, 40, 10}}},
      {"clipped", {{-10, -10, 5, 5}, {190, 190, 300, 300}}, {{0, 0, 5, 5}, {190, 190, 200, 200}}},
      {"outside", {{200, 0, 210, 10}}, {}},
      {"fifth to nearest, smaller area on a tie",
       {{40, 0, 60, 20}, {0, 0, 10, 10}, {0, 100, 10, 110}, {100, 100, 110, 110}, {20, 0, 30, 10}},
       {{40, 0, 60, 20}, {0, 0, 30, 10}, {0, 100, 10, 110}, {100, 100, 110, 110}}},
      {"fifth merge grows into a neighbour",
       {{0, 0, 10, 10}, {0, 20, 10, 30}, {100, 100, 110, 110}, {150, 150, 160, 160}, {30, 5, 40, 25}},
       {{0, 0, 40, 30}, {100, 100, 110, 110}, {150, 150, 160, 160}}},
  };
  for (const Case& c : cases) {
    SRegionList list;
    RegionListInit(list, SSize{200, 200});
    for (const TRect& r : c.adds) RegionListAdd(list, r);
    ASSERT_EQ(list.count, static_cast<int32_t>(c.expected.size())) << c.name;
    for (int32_t i = 0; i < list.count; ++i) EXPECT_EQ(list.rects[i], c.expected[i]) << c.name << " " << i;
  }
  SRegionList list;
  RegionListInit(list, SSize{10, 10});
  EXPECT_FALSE(RegionListMergeInto(list, 2, TRect{0, 0, 1, 1}));
  EXPECT_TRUE(RegionListMergeInto(list, -1, TRect{0, 0, 1, 1}));  // empty list: the only entry
  EXPECT_EQ(list.count, 1);
}

TEST_P(BlockVMTCTest, ContentRectPieceMovesThePointWithTheRectangle) {
  CBlockVMTC store(200, 200);
  store.SetPixel(100, 100, 0xFF000000u);  // content (96, 96, 128, 128)
  TPoint point{10, 20};
  SRectWH rect{90, 110, 50, 50};
  ASSERT_TRUE(ContentRectPiece(store, 0, point, rect));
  EXPECT_EQ(rect, (SRectWH{96, 110, 32, 18}));
  EXPECT_EQ(point, (TPoint{16, 20}));
  SRectWH apart{0, 0, 10, 10};
  EXPECT_FALSE(ContentRectPiece(store, 0, point, apart));
  EXPECT_FALSE(ContentRectPiece(store, 1, point, rect));
}

// ---------------------------------------------------------------------------------------------
// Points outside the grid and refused commits

TEST_P(BlockVMTCTest, PointsOutsideTheGridWriteNothingAndReadZero) {
  CBlockVMTC store(40, 40);  // grid 64 x 64
  const TPoint outside[] = {{-1, 0}, {0, -1}, {64, 0}, {0, 64}, {INT_MIN, 5}, {5, INT_MAX}, {-32, -32}};
  for (const TPoint& p : outside) {
    EXPECT_FALSE(store.SetPixel(p.x, p.y, 0xFF000000u)) << p.x << "," << p.y;
    EXPECT_EQ(store.WritePtr(p.x, p.y), nullptr);
    EXPECT_EQ(store.PixelPtr(p.x, p.y, true), nullptr);
    EXPECT_EQ(store.TileAt(p.x, p.y, true), nullptr);
    EXPECT_EQ(store.GetPixel(p.x, p.y), 0u);
    EXPECT_EQ(store.GetLuminance(p.x, p.y), 0);
    EXPECT_EQ(store.GetPixelOrDefault(p.x, p.y), 0x00FFFFFFu);
  }
  EXPECT_EQ(store.CommittedBytes(), 0);
  EXPECT_EQ(store.GetLuminance(3, 3), 255);  // white fill

  // The overhang of edge tiles lies in the grid: readable and writable, the picture unchanged.
  EXPECT_EQ(store.GetPixel(63, 63), 0x00FFFFFFu);
  EXPECT_TRUE(store.SetPixel(50, 50, 0xFF0000FFu));
  EXPECT_EQ(store.GetPixel(50, 50), 0xFF0000FFu);
  EXPECT_EQ(store.GetPixelOrDefault(50, 50), 0x00FFFFFFu);
  const std::vector<uint32_t> pixels = Pixels(store);
  for (uint32_t p : pixels) ASSERT_EQ(p, 0x00FFFFFFu);

  // Clamped forms land on the nearest edge pixel.
  ASSERT_TRUE(store.SetPixel(0, 39, 0xFF010203u));
  EXPECT_EQ(store.GetPixelClamped(-10, 100), 0xFF010203u);
  EXPECT_EQ(store.WritePtrClamped(-10, 100), store.WritePtr(0, 39));
  // An uncommitted tile gives no address without a commit.
  EXPECT_EQ(store.PixelPtr(5, 5, false), nullptr);
}

TEST_P(BlockVMTCTest, RefusedCommitsLeaveThePictureUnchanged) {
  CBlockVMTC store(64, 32);
  const std::vector<uint32_t> before = Pixels(store);

  RefuseNextCommits(1);
  EXPECT_EQ(store.WritePtr(5, 5), nullptr);
  RefuseNextCommits(1);
  EXPECT_FALSE(store.SetPixel(5, 5, 0xFF000000u));
  RefuseNextCommits(1);
  EXPECT_EQ(store.PixelPtr(5, 5, true), nullptr);
  EXPECT_EQ(Pixels(store), before);
  EXPECT_EQ(store.CommittedBytes(), 0);
  EXPECT_EQ(store.ContentRects().count, 0);

  // Writes over several tiles are all or nothing: a refused commit changes no pixel, no fill and
  // commits nothing, also when earlier tiles could be committed.
  SRectWH rect{20, 5, 20, 5};
  RefuseNextCommits(1);
  EXPECT_FALSE(store.FillRect(rect, 0xFF00FF00u));
  EXPECT_EQ(Pixels(store), before);
  EXPECT_EQ(store.CommittedBytes(), 0);
  EXPECT_EQ(store.ContentRects().count, 0);
  SetCommitBudget(CommittedBytesTotal() + 4096);  // the first tile commits, the second not
  rect = {20, 5, 20, 5};
  EXPECT_FALSE(store.XorRect(rect, 0xFFFFFFFFu));
  EXPECT_EQ(Pixels(store), before);
  EXPECT_EQ(store.CommittedBytes(), 0);
  EXPECT_EQ(store.ContentRects().count, 0);
  SetCommitBudget(0);
  rect = {20, 5, 20, 5};
  EXPECT_TRUE(store.FillRect(rect, 0xFF00FF00u));
  EXPECT_EQ(store.GetPixel(25, 6), 0xFF00FF00u);
  EXPECT_EQ(store.GetPixel(35, 6), 0xFF00FF00u);

  // From a flat image, at full and at partial opacity.
  TMTC image(64, 32);
  image.FillAll(0xFF123456u);
  CBlockVMTC fresh(64, 32);
  const std::vector<uint32_t> blank = Pixels(fresh);
  for (int32_t opacity : {255, 100}) {
    SetCommitBudget(CommittedBytesTotal() + 4096);
    EXPECT_FALSE(fresh.CopyAllFromImage(image, 0, 0, opacity));
    SetCommitBudget(0);
    EXPECT_EQ(Pixels(fresh), blank);
    EXPECT_EQ(fresh.CommittedBytes(), 0);
    EXPECT_EQ(fresh.ContentRects().count, 0);
  }
  ASSERT_TRUE(fresh.CopyAllFromImage(image, 0, 0, 255));
  EXPECT_EQ(fresh.GetPixel(5, 5), 0xFF123456u);

  // From another store, whose tiles are all committed.
  CBlockVMTC target(64, 32);
  SRectWH right{32, 0, 32, 32};
  ASSERT_TRUE(target.FillRect(right, 0xFF0000FFu));  // a fill only
  const std::vector<uint32_t> targetBefore = Pixels(target);
  SetCommitBudget(CommittedBytesTotal() + 4096);
  EXPECT_FALSE(target.CopyAllFrom(fresh));
  TPoint point{0, 0};
  SRectWH all{0, 0, 64, 32};
  EXPECT_FALSE(target.CombineFrom(fresh, point, all, 255, 255, &BlendColor));
  point = {0, 0};
  all = {0, 0, 64, 32};
  EXPECT_FALSE(target.CompositeFrom(fresh, point, all, 255, 255, kNormal));
  SetCommitBudget(0);
  EXPECT_EQ(Pixels(target), targetBefore);
  EXPECT_EQ(target.CommittedBytes(), 0);
  EXPECT_EQ(target.GetTile(1, 0, false)->fill, 0xFF0000FFu);
  ASSERT_EQ(target.ContentRects().count, 1);
  EXPECT_EQ(target.ContentRects().rects[0], (TRect{32, 0, 64, 32}));
}

// Within one store the source is read from a copy; when that copy cannot be made whole, nothing
// changes (a partial copy read its missing tiles as the default fill).
TEST_P(BlockVMTCTest, CopyWithinOneStoreWithoutMemoryChangesNothing) {
  CBlockVMTC store(64, 32);
  ASSERT_TRUE(store.SetPixel(3, 3, 0xFF112233u));
  SRectWH right{32, 0, 32, 32};
  ASSERT_TRUE(store.FillRect(right, 0xFF00FF00u));
  const std::vector<uint32_t> before = Pixels(store);
  SetCommitBudget(CommittedBytesTotal());
  TPoint point{32, 0};
  SRectWH rect{0, 0, 32, 32};
  EXPECT_FALSE(store.CopyFrom(store, point, rect));
  point = {32, 0};
  rect = {0, 0, 32, 32};
  EXPECT_FALSE(store.CombineFrom(store, point, rect, 255, 255, &SetPixelOp));
  point = {32, 0};
  rect = {0, 0, 32, 32};
  EXPECT_FALSE(store.CompositeFrom(store, point, rect, 255, 255, kNormal));
  EXPECT_EQ(Pixels(store), before);
  // A copy that cannot be completed is invalid, not a store with tiles missing.
  CBlockVMTC copy(store);
  EXPECT_FALSE(copy.IsValid());
  CBlockVMTC other;
  EXPECT_FALSE(other.CreateCopy(store));
  EXPECT_FALSE(other.IsValid());
  EXPECT_EQ(other.CommittedBytes(), 0);
  SetCommitBudget(0);
  point = {32, 0};
  rect = {0, 0, 32, 32};
  ASSERT_TRUE(store.CopyFrom(store, point, rect));
  EXPECT_EQ(store.GetPixel(35, 3), 0xFF112233u);
  EXPECT_EQ(store.GetPixel(40, 5), 0x00FFFFFFu);
}

// ---------------------------------------------------------------------------------------------
// Copies to and from flat images

TEST_P(BlockVMTCTest, CopyToImageSkipsTransparentFillsWhenAsked) {
  CBlockVMTC store(64, 32);
  store.SetPixel(40, 3, 0xFF0000FFu);
  TMTC image(64, 32);
  image.FillAll(0xAB000000u);
  store.CopyAllToImage(image, 0, 0, 255, true);
  EXPECT_EQ(image.GetPixel(5, 5), 0xAB000000u);   // under the uncommitted tile: untouched
  EXPECT_EQ(image.GetPixel(40, 3), 0xFF0000FFu);  // the committed tile is copied
  EXPECT_EQ(image.GetPixel(41, 3), 0x00FFFFFFu);
  store.CopyAllToImage(image, 0, 0, 255, false);
  EXPECT_EQ(image.GetPixel(5, 5), 0x00FFFFFFu);
  // A visible fill is written even when skipping.
  SRectWH left{0, 0, 32, 32};
  store.SetAlphaRect(left, 0x80);
  image.FillAll(0);
  store.CopyAllToImage(image, 0, 0, 255, true);
  EXPECT_EQ(image.GetPixel(5, 5), 0x80FFFFFFu);
}

TEST_P(BlockVMTCTest, CopyToImageAtPartialOpacity) {
  CBlockVMTC store(64, 32);
  store.SetPixel(40, 3, 0xFF0000FFu);
  TMTC image(64, 32);
  image.FillAll(0x40000000u);
  TPoint point{0, 0};
  SRectWH rect{0, 0, 64, 32};
  ASSERT_TRUE(store.CopyToImage(image, point, rect, 128, false));
  uint32_t want = 0x40000000u;
  BlendColor(&want, 0xFF0000FFu, 128);
  EXPECT_EQ(image.GetPixel(40, 3), want);        // committed: blended, image alpha kept
  EXPECT_EQ(image.GetPixel(5, 5), 0x00FFFFFFu);  // uncommitted: the fill, whatever the opacity
}

TEST_P(BlockVMTCTest, CompositeToImageWithoutContentWritesNothing) {
  CBlockVMTC store(64, 64);
  TMTC image(64, 64);
  image.FillAll(0x12345678u);
  TPoint point{0, 0};
  SRectWH rect{0, 0, 64, 64};
  EXPECT_TRUE(store.CompositeToImage(image, point, rect, 255, 255, kNormal));
  for (uint32_t p : Pixels(image)) ASSERT_EQ(p, 0x12345678u);
}

// CompositeToImage works on the content rectangles and nothing else: inside them every pixel is
// composited, uncommitted transparent tiles as their fill (the alpha scale reaches them too);
// outside them the image keeps its pixels.
TEST_P(BlockVMTCTest, CompositeToImageVisitsExactlyTheContentRectangles) {
  CBlockVMTC store(160, 64);
  ASSERT_TRUE(store.SetPixel(5, 5, 0xFF204060u));    // tile (0, 0)
  ASSERT_TRUE(store.SetPixel(40, 40, 0x80A0B0C0u));  // tile (1, 1): touches (0, 0) at a corner
  SRectWH far{128, 0, 32, 32};
  ASSERT_TRUE(store.SetAlphaRect(far, 0x40));  // a visible fill, nothing committed
  ASSERT_EQ(store.ContentRects().count, 2);
  EXPECT_EQ(store.ContentRects().rects[0], (TRect{0, 0, 64, 64}));
  EXPECT_EQ(store.ContentRects().rects[1], (TRect{128, 0, 160, 32}));

  TMTC flat(160, 64);
  ASSERT_TRUE(store.CopyAllToImage(flat, 0, 0, 255, false));
  TMTC image(150, 70), model(150, 70);
  for (int32_t y = 0; y < 70; ++y)
    for (int32_t x = 0; x < 150; ++x)
      *image.Pixel(x, y) = *model.Pixel(x, y) = 0x10000000u * static_cast<uint32_t>((x + y) % 16) + 0x123456u;
  TPoint point{-8, 3};
  SRectWH rect{0, 0, 160, 64};
  ASSERT_TRUE(store.CompositeToImage(image, point, rect, 128, 200, kNormal));
  EXPECT_EQ(point, (TPoint{-8, 3}));  // worked on copies
  TPoint p1{-8, 3};
  SRectWH r1{0, 0, 64, 64};
  model.CompositeFrom(flat, p1, r1, 128, 200, kNormal);
  TPoint p2{120, 3};
  SRectWH r2{128, 0, 32, 32};
  model.CompositeFrom(flat, p2, r2, 128, 200, kNormal);
  EXPECT_EQ(Pixels(image), Pixels(model));
  EXPECT_NE(image.GetPixel(40, 20), 0x123456u + 0x10000000u * 12);  // an uncommitted tile inside was visited
  EXPECT_EQ(image.GetPixel(90, 10), 0x10000000u * 4 + 0x123456u);   // between the rectangles: untouched
}

TEST_P(BlockVMTCTest, CopyConstructorCopiesPixelsFillsAndContent) {
  CBlockVMTC store(100, 60);
  store.SetPixel(70, 40, 0xFF102030u);
  SRectWH rect{0, 0, 32, 32};
  store.FillRect(rect, 0x80808080u);
  CBlockVMTC copy(store);
  ASSERT_TRUE(copy.IsValid());
  EXPECT_EQ(Pixels(copy), Pixels(store));
  EXPECT_EQ(copy.CommittedBytes(), store.CommittedBytes());
  EXPECT_EQ(copy.ContentRects().count, store.ContentRects().count);
  copy.SetPixel(70, 40, 0);
  EXPECT_EQ(store.GetPixel(70, 40), 0xFF102030u);
  // A copy of itself keeps what it holds.
  EXPECT_TRUE(store.CreateCopy(store));
  EXPECT_EQ(store.GetPixel(70, 40), 0xFF102030u);
  EXPECT_EQ(store.GetPixel(5, 5), 0x80808080u);
}

TEST_P(BlockVMTCTest, CopiesFollowTheRowOrderOfTheImage) {
  BottomUpMTC dib(70, 40);
  for (int32_t y = 0; y < 40; ++y)
    for (int32_t x = 0; x < 70; ++x) *dib.Pixel(x, y) = 0xFF000000u | static_cast<uint32_t>(y * 1000 + x);
  CBlockVMTC store(100, 50);
  ASSERT_TRUE(store.CopyAllFromImage(dib, 10, 5, 255));
  EXPECT_EQ(store.GetPixel(10, 5), 0xFF000000u);
  EXPECT_EQ(store.GetPixel(79, 44), 0xFF000000u | (39 * 1000 + 69));
  BottomUpMTC back(70, 40);
  TPoint point{0, 0};
  SRectWH rect{10, 5, 70, 40};
  ASSERT_TRUE(store.CopyToImage(back, point, rect, 255, false));
  EXPECT_EQ(Pixels(back), Pixels(dib));
}

TEST_P(BlockVMTCTest, SetSizeStartsOverWithNoContent) {
  CBlockVMTC store(100, 100);
  store.SetPixel(50, 50, 0xFF000000u);
  ASSERT_EQ(store.ContentRects().count, 1);
  ASSERT_TRUE(store.SetSize(40, 30));
  EXPECT_EQ(store.ContentRects().count, 0);
  EXPECT_EQ(store.ContentRects().size, (SSize{40, 30}));
  EXPECT_EQ(store.CommittedBytes(), 0);
  EXPECT_TRUE(store.SetPixel(39, 29, 0xFF000000u));
  ASSERT_EQ(store.ContentRects().count, 1);
  EXPECT_EQ(store.ContentRects().rects[0], (TRect{32, 0, 40, 30}));
  EXPECT_FALSE(store.Create(0, 10));
  EXPECT_EQ(store.Width(), 0);
}

// ---------------------------------------------------------------------------------------------
// The store against a flat model under random operations

struct Rng {
  std::mt19937 gen;
  explicit Rng(uint32_t seed) : gen(seed) {}
  int32_t Int(int32_t lo, int32_t hi) { return std::uniform_int_distribution<int32_t>(lo, hi)(gen); }
  uint32_t Pixel() {
    const uint32_t v = gen();
    switch (Int(0, 4)) {
      case 0: return v & 0x00FFFFFFu;  // transparent
      case 1: return v | 0xFF000000u;  // opaque
      case 2: return 0x00FFFFFFu;      // the default fill
      default: return v;
    }
  }
  // Mostly ordinary rectangles, some tile-aligned ones (the fill paths), some off the picture.
  SRectWH Rect(const SSize& size) {
    switch (Int(0, 3)) {
      case 0: {
        const int32_t l = Int(-1, size.width / 32) * 32, t = Int(-1, size.height / 32) * 32;
        return {l, t, Int(1, 4) * 32, Int(1, 4) * 32};
      }
      case 1: return {Int(-40, size.width + 10), Int(-40, size.height + 10), Int(-5, 120), Int(-5, 120)};
      default: {
        const int32_t l = Int(0, size.width - 1), t = Int(0, size.height - 1);
        return {l, t, Int(1, size.width - l), Int(1, size.height - t)};
      }
    }
  }
  // Some points on tile borders, so that pieces cover whole destination tiles.
  TPoint Point(const SSize& size) {
    if (Int(0, 2) == 0) return {Int(-1, size.width / 32) * 32, Int(-1, size.height / 32) * 32};
    return {Int(-40, size.width + 10), Int(-40, size.height + 10)};
  }
};

PixelOp RandomOp(Rng& rng) {
  static const PixelOp ops[] = {&BlendColor, &SetPixelOp,     &MultiplyOp, &AddOp,
                                &SubtractOp, &BlendColorFast, &ScrambleOp};
  return ops[rng.Int(0, 6)];
}

TEST_P(BlockVMTCTest, RandomOperationsMatchAFlatModel) {
  for (uint32_t seed : {1u, 2u, 3u, 4u}) {
    Rng rng(seed * 7919u + (GetParam() ? 1u : 0u));
    CBlockVMTC a(150, 110), b(90, 130);
    TMTC ma(150, 110), mb(90, 130);
    ma.FillAll(0x00FFFFFFu);
    mb.FillAll(0x00FFFFFFu);
    TMTC image(70, 60);
    // A pending pixel undo record of a: tiles saved by CopyTilesFrom, and its model.
    std::unique_ptr<CBlockVMTC> undo;
    TMTC undoModel;
    SRectWH undoRect{};

    for (int step = 0; step < 1500; ++step) {
      const bool onA = rng.Int(0, 2) != 0;
      CBlockVMTC& s = onA ? a : b;
      TMTC& m = onA ? ma : mb;
      CBlockVMTC& other = onA ? b : a;
      TMTC& otherModel = onA ? mb : ma;
      const int kind = rng.Int(0, 17);
      SCOPED_TRACE(::testing::Message() << "seed " << seed << " step " << step << " kind " << kind);
      SRectWH r = rng.Rect(s.Size());
      SRectWH rm = r;
      switch (kind) {
        case 0: {
          const uint32_t v = rng.Pixel();
          s.FillRect(r, v);
          m.FillRect(rm, v);
          break;
        }
        case 1: {
          const uint32_t v = rng.Pixel();
          s.XorRect(r, v);
          m.XorRect(rm, v);
          break;
        }
        case 2: {
          const uint32_t mask = rng.gen(), v = rng.Pixel();
          s.MaskedFillRect(r, mask, v);
          m.MaskedFillRect(rm, mask, v);
          break;
        }
        case 3: {
          const uint32_t v = rng.Pixel();
          s.SetColorRect(r, v);
          m.MaskedFillRect(rm, 0x00FFFFFFu, v);
          break;
        }
        case 4: {
          const uint8_t alpha = static_cast<uint8_t>(rng.Int(0, 2) == 0 ? 0 : rng.Int(0, 255));
          s.SetAlphaRect(r, alpha);
          m.SetAlphaRect(rm, alpha);
          break;
        }
        case 5:
          if (rng.Int(0, 9) == 0) {
            const uint32_t v = rng.Pixel();
            s.FillAll(v);
            m.FillAll(v);
          }
          break;
        case 6:
          for (int n = rng.Int(1, 40); n > 0; --n) {
            const int32_t x = rng.Int(-3, s.Width() + 3), y = rng.Int(-3, s.Height() + 3);
            const uint32_t v = rng.Pixel();
            s.SetPixel(x, y, v);
            if (PointInSize(x, y, m.Width(), m.Height())) *m.Pixel(x, y) = v;
          }
          break;
        case 7: {
          for (int32_t y = 0; y < image.Height(); ++y)
            for (int32_t x = 0; x < image.Width(); ++x) *image.Pixel(x, y) = rng.Pixel();
          const int32_t opacity = rng.Int(0, 1) ? 255 : rng.Int(0, 255);
          TPoint p = rng.Point(s.Size()), pm = p;
          SRectWH ir = rng.Rect(image.Size()), irm = ir;
          s.CopyFromImage(image, p, ir, opacity);
          image.DrawRectTo(m, pm, irm, opacity);
          break;
        }
        case 8: {
          TPoint p = rng.Point(s.Size()), pm = p;
          SRectWH sr = rng.Rect(other.Size()), srm = sr;
          s.CopyFrom(other, p, sr);
          m.CopyFrom(otherModel, pm, srm);
          break;
        }
        case 9: {
          TPoint p = rng.Point(s.Size()), pm = p;
          SRectWH sr = rng.Rect(other.Size()), srm = sr;
          const int32_t scale = rng.Int(0, 1) ? 255 : rng.Int(0, 255);
          const int32_t value = rng.Int(0, 255);
          const PixelOp op = RandomOp(rng);
          s.CombineFrom(other, p, sr, scale, value, op);
          m.CombineFrom(otherModel, pm, srm, scale, value, op);
          break;
        }
        case 10: {
          TPoint p = rng.Point(s.Size()), pm = p;
          SRectWH sr = rng.Rect(other.Size()), srm = sr;
          const int32_t scale = rng.Int(0, 1) ? 255 : rng.Int(0, 255);
          const int32_t opacity = rng.Int(0, 255);
          const SCompositeOps& ops = rng.Int(0, 1) ? kNormal : kNormalSkip;
          s.CompositeFrom(other, p, sr, scale, opacity, ops);
          m.CompositeFrom(otherModel, pm, srm, scale, opacity, ops);
          break;
        }
        case 11: s.Compact(); break;
        case 12: {
          // Within one store: the source is read as it was before the call.
          TPoint p = rng.Point(s.Size()), pm = p;
          SRectWH sr = rng.Rect(s.Size()), srm = sr;
          if (rng.Int(0, 1)) {
            s.CopyFrom(s, p, sr);
            m.CopyFrom(m, pm, srm);
          } else {
            const PixelOp op = RandomOp(rng);
            TMTC before(m);
            s.CombineFrom(s, p, sr, 255, 200, op);
            m.CombineFrom(before, pm, srm, 255, 200, op);
          }
          break;
        }
        case 13: {
          // Pixel undo of a: save an aligned rectangle, later put it back.
          if (!onA) break;
          if (!undo) {
            SRectWH saved = r;
            if (!ClipRectToSize(saved, a.Size())) break;
            AlignRectToTiles(saved);
            undo = std::make_unique<CBlockVMTC>(saved.width, saved.height);
            TPoint origin{0, 0};
            SRectWH rect = saved;
            ASSERT_TRUE(undo->CopyTilesFrom(a, origin, rect));
            undoRect = saved;
            ClipRectToSize(undoRect, a.Size());
            undoModel.Resize(undoRect.width, undoRect.height);
            TPoint zero{0, 0};
            SRectWH mr = undoRect;
            undoModel.CopyFrom(ma, zero, mr);
          } else {
            TPoint back{undoRect.left & ~31, undoRect.top & ~31};
            SRectWH all{0, 0, undo->Width(), undo->Height()};
            ASSERT_TRUE(a.CopyTilesFrom(*undo, back, all));
            TPoint mp{undoRect.left, undoRect.top};
            SRectWH mr{0, 0, undoRect.width, undoRect.height};
            ma.CopyFrom(undoModel, mp, mr);
            undo.reset();
          }
          break;
        }
        case 14: {
          // Store into a flat image: copy, combine, composite.
          TMTC target(60, 50), targetModel(60, 50);
          for (int32_t y = 0; y < 50; ++y)
            for (int32_t x = 0; x < 60; ++x) *target.Pixel(x, y) = *targetModel.Pixel(x, y) = rng.Pixel();
          TPoint p = rng.Point(target.Size()), pm = p;
          SRectWH sr = rng.Rect(s.Size()), srm = sr;
          switch (rng.Int(0, 2)) {
            case 0:
              s.CopyToImage(target, p, sr, 255, false);
              targetModel.CopyFrom(m, pm, srm);
              break;
            case 1: {
              const int32_t scale = rng.Int(0, 255), value = rng.Int(0, 255);
              const PixelOp op = RandomOp(rng);
              s.CombineToImage(target, p, sr, scale, value, op);
              targetModel.CombineFrom(m, pm, srm, scale, value, op);
              break;
            }
            default: {
              // Outside the content rectangles the store is transparent; with the zero-alpha flag
              // and no alpha scaling the flat loop leaves those pixels too.
              const int32_t opacity = rng.Int(0, 255);
              s.CompositeToImage(target, p, sr, 255, opacity, kNormalSkip);
              targetModel.CompositeFrom(m, pm, srm, 255, opacity, kNormalSkip);
              break;
            }
          }
          ASSERT_EQ(Pixels(target), Pixels(targetModel));
          break;
        }
        case 15: {
          // Whole-store copies.
          if (&s == &a || rng.Int(0, 3) != 0) break;
          CBlockVMTC copy(other);
          ASSERT_TRUE(s.Create(other.Width(), other.Height()));
          ASSERT_TRUE(s.Assign(copy));
          m.Resize(otherModel.Width(), otherModel.Height());
          CopyPixels32(m, otherModel);
          break;
        }
        default: {
          const int32_t x = rng.Int(-3, s.Width() + 3), y = rng.Int(-3, s.Height() + 3);
          const uint32_t want = PointInSize(x, y, m.Width(), m.Height()) ? m.GetPixel(x, y) : 0x00FFFFFFu;
          ASSERT_EQ(s.GetPixelOrDefault(x, y), want);
          if (PointInSize(x, y, m.Width(), m.Height())) {
            ASSERT_EQ(s.GetLuminance(x, y), PixelLuminance(&want));
          }
          break;
        }
      }
      if (step % 25 == 0) {
        ASSERT_EQ(Pixels(a), Pixels(ma));
        ASSERT_EQ(Pixels(b), Pixels(mb));
        ExpectContentInvariant(a);
        ExpectContentInvariant(b);
      }
    }
    ASSERT_EQ(Pixels(a), Pixels(ma));
    ASSERT_EQ(Pixels(b), Pixels(mb));
    const int64_t committed = a.CommittedBytes();
    a.Compact();
    b.Compact();
    EXPECT_LE(a.CommittedBytes(), committed);
    ASSERT_EQ(Pixels(a), Pixels(ma));
    ASSERT_EQ(Pixels(b), Pixels(mb));
    ExpectContentInvariant(a);
    ExpectContentInvariant(b);
  }
}

}  // namespace
}  // namespace tf
