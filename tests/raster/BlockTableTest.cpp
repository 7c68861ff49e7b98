// The tile table written page by page: blank stores hold almost nothing, whole-store work leaves
// untouched pages untouched, and tiles first seen late read exactly as if they had been there.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/AddressSpace.h"
#include "platform/Stream.h"
#include "raster/BlockChunk.h"
#include "raster/BlockVCH.h"
#include "raster/BlockVMTC.h"
#include "raster/FlatImage.h"
#include "support/GuardModeTest.h"

namespace tf {
namespace {

// A blank store's table: the first page of records and views, and the page flags.
constexpr int64_t kBlankTableBytes = 16 * 1024 + 4096;

class BlockTableTest : public test::GuardModeTest {};

INSTANTIATE_TEST_SUITE_P(Guard, BlockTableTest, ::testing::Bool(), test::GuardModeName("On", "Off"));

// Pages of the table written so far.
int32_t TouchedPages(const CBlockImage& store) {
  int32_t pages = 0;
  for (int32_t i = 0; i < store.TileCount(); i += kTilesPerPage) pages += store.TileTouched(i) ? 1 : 0;
  return pages;
}

TEST_P(BlockTableTest, BlankLargeStoresHoldNoTableUntilUsed) {
  struct Case {
    int32_t side;
    bool bytes;
  };
  for (const Case c : {Case{10000, false}, Case{10000, true}, Case{16384, false}, Case{20000, true}}) {
    SCOPED_TRACE(testing::Message() << c.side << (c.bytes ? " 8-bit" : " 32-bit"));
    std::unique_ptr<CBlockImage> store;
    if (c.bytes)
      store = std::make_unique<CBlockVCH>(c.side, c.side);
    else
      store = std::make_unique<CBlockVMTC>(c.side, c.side);
    ASSERT_TRUE(store->IsValid());
    EXPECT_EQ(TouchedPages(*store), 1);
    EXPECT_LE(store->TableResidentBytes(), kBlankTableBytes);

    // Whole-store walks answer for untouched pages without writing them.
    TRect bounds;
    if (c.bytes) {
      auto& mask = static_cast<CBlockVCH&>(*store);
      EXPECT_FALSE(mask.GetNonZeroBounds(bounds));
      EXPECT_FALSE(BlockContentBounds(mask, bounds));
      EXPECT_EQ(mask.Compact(), 0);
      CBlockVCH copy;
      ASSERT_TRUE(copy.CreateCopy(mask));
      EXPECT_LE(copy.TableResidentBytes(), kBlankTableBytes);
      MemoryStream stream;
      ASSERT_EQ(WriteMaskBlocks(stream, mask), 0);
      CBlockVCH read(c.side, c.side);
      ASSERT_TRUE(stream.SetPosition(0));
      ASSERT_EQ(ReadMaskBlocks(stream, read, read.TilesAcross(), read.TilesDown()), 0);
      EXPECT_LE(read.TableResidentBytes(), kBlankTableBytes);
      EXPECT_EQ(read.GetPixel(c.side - 1, c.side - 1), 0);
    } else {
      auto& layer = static_cast<CBlockVMTC&>(*store);
      EXPECT_EQ(layer.UpdateContentRects(), 0);
      EXPECT_FALSE(BlockVisibleBounds(layer, bounds));
      EXPECT_EQ(layer.Compact(), 0);
      CBlockVMTC copy(layer);
      ASSERT_TRUE(copy.IsValid());
      EXPECT_LE(copy.TableResidentBytes(), kBlankTableBytes);
      CBlockVMTC other(c.side, c.side);
      EXPECT_TRUE(other.CopyAllFrom(layer));  // fills onto fills
      EXPECT_LE(other.TableResidentBytes(), kBlankTableBytes);
      MemoryStream stream;
      ASSERT_EQ(WriteLayerBlocks(stream, layer), 0);
      CBlockVMTC read(c.side, c.side);
      ASSERT_TRUE(stream.SetPosition(0));
      ASSERT_EQ(ReadLayerBlocks(stream, read, read.TilesAcross(), read.TilesDown()), 0);
      EXPECT_LE(read.TableResidentBytes(), kBlankTableBytes);
      EXPECT_EQ(read.GetPixel(c.side - 1, c.side - 1), CBlockVMTC::kDefaultFill);
    }
    // So do reads.
    for (int32_t d = 0; d < c.side; d += 97) {
      if (c.bytes) {
        ASSERT_EQ(static_cast<CBlockVCH&>(*store).GetPixel(d, c.side - 1 - d), 0);
      } else {
        ASSERT_EQ(static_cast<CBlockVMTC&>(*store).GetPixel(d, c.side - 1 - d), CBlockVMTC::kDefaultFill);
      }
    }
    if (c.bytes) {
      TChannel part(300, 200);
      ASSERT_TRUE(static_cast<CBlockVCH&>(*store).CopyAllToChannel(part, -c.side + 300, -c.side + 200, false));
      EXPECT_EQ(part.GetPixel(0, 0), 0);
    } else {
      TMTC part(300, 200);
      ASSERT_TRUE(
          static_cast<CBlockVMTC&>(*store).CopyAllToImage(part, -c.side + 300, -c.side + 200, 255, false));
      EXPECT_EQ(*part.Pixel(0, 0), CBlockVMTC::kDefaultFill);
    }
    EXPECT_EQ(TouchedPages(*store), 1);
    EXPECT_LE(store->TableResidentBytes(), kBlankTableBytes);

    // A dab in the middle costs the pages of the tiles it meets, not the store's size.
    const int32_t middle = c.side / 2;
    for (int32_t y = middle - 40; y < middle + 40; y += 8)
      for (int32_t x = middle - 40; x < middle + 40; x += 8) {
        if (c.bytes)
          ASSERT_TRUE(static_cast<CBlockVCH&>(*store).SetPixel(x, y, 0x80));
        else
          ASSERT_TRUE(static_cast<CBlockVMTC&>(*store).SetPixel(x, y, 0xFF102030u));
      }
    EXPECT_LE(TouchedPages(*store), 1 + 16);
    EXPECT_LE(store->TableResidentBytes(), kBlankTableBytes + 16 * 16 * 1024);
  }
}

TEST_P(BlockTableTest, TilesFirstSeenLateReadAsBuilt) {
  // 94 x 4 tiles: six pages, the last one short; the right and bottom tiles clipped.
  CBlockVMTC layer(3000, 100);
  CBlockVCH mask(3000, 200);
  ASSERT_TRUE(layer.IsValid());
  ASSERT_TRUE(mask.IsValid());
  for (CBlockImage* store : std::vector<CBlockImage*>{&layer, &mask}) {
    const uint32_t fill = store == &layer ? CBlockVMTC::kDefaultFill : 0u;
    const int32_t side = store->TileSize();
    // Peeks never write a page.
    for (int32_t i = 0; i < store->TileCount(); ++i) {
      EXPECT_FALSE(store->TileCommittedAt(i));
      EXPECT_EQ(store->TileFillAt(i), fill);
    }
    EXPECT_EQ(TouchedPages(*store), 1);
    // Touch the tiles from the last backwards: every record as the table had built it at once.
    for (int32_t i = store->TileCount() - 1; i >= 0; --i) {
      const STileInfo& t = store->TileByIndex(i);
      const int32_t c = i % store->TilesAcross(), r = i / store->TilesAcross();
      ASSERT_EQ(t.column, c);
      ASSERT_EQ(t.row, r);
      ASSERT_EQ(t.pixelX, c * side);
      ASSERT_EQ(t.pixelY, r * side);
      ASSERT_EQ(t.clippedWidth, std::min(side, store->Width() - c * side));
      ASSERT_EQ(t.clippedHeight, std::min(side, store->Height() - r * side));
      ASSERT_EQ(t.block, store->ReservedBase() + size_t{4096} * i);
      ASSERT_EQ(t.fill, fill);
      ASSERT_EQ(t.committed, 0);
      ASSERT_NE(t.view, nullptr);
      ASSERT_EQ(t.view->Bits(), t.block);
      ASSERT_EQ(store->GetTile(c, r, false), &t);
    }
  }
}

TEST_P(BlockTableTest, WholeStoreFillsReachUntouchedTiles) {
  CBlockVMTC layer(3000, 100);
  ASSERT_TRUE(layer.IsValid());
  ASSERT_TRUE(layer.SetPixel(40, 10, 0xFF000000u));  // one committed tile on page 0
  ASSERT_TRUE(layer.FillAll(0xFF112233u));
  EXPECT_EQ(TouchedPages(layer), 1);
  EXPECT_EQ(layer.ContentRects().count, 1);
  EXPECT_EQ(layer.ContentRects().rects[0], (TRect{0, 0, 3000, 100}));
  TRect bounds;
  ASSERT_TRUE(BlockVisibleBounds(layer, bounds));
  EXPECT_EQ(bounds, (TRect{0, 0, 3008, 128}));

  // A whole-store uniform write changes the untouched tiles' fill without their pages.
  ASSERT_TRUE(layer.SetAlphaAll(0x40));
  EXPECT_EQ(TouchedPages(layer), 1);
  // A part of the store: the tiles it covers wholly take the fill on their own pages.
  SRectWH part{1000, 0, 1001, 70};
  ASSERT_TRUE(layer.XorRect(part, 0x00FF0000u));
  for (int32_t y = 0; y < 100; y += 3)
    for (int32_t x = 0; x < 3000; x += 7) {
      const bool inPart = x >= 1000 && x < 2001 && y < 70;
      ASSERT_EQ(layer.GetPixel(x, y), inPart ? 0x40EE2233u : 0x40112233u) << x << "," << y;
    }
  // The file keeps what the untouched pages read as.
  MemoryStream stream;
  ASSERT_EQ(WriteLayerBlocks(stream, layer), 0);
  CBlockVMTC read(3000, 100);
  ASSERT_TRUE(stream.SetPosition(0));
  ASSERT_EQ(ReadLayerBlocks(stream, read, read.TilesAcross(), read.TilesDown()), 0);
  for (int32_t y = 0; y < 100; y += 5)
    for (int32_t x = 0; x < 3000; x += 11) ASSERT_EQ(read.GetPixel(x, y), layer.GetPixel(x, y)) << x << "," << y;

  CBlockVCH mask(3000, 200);
  ASSERT_TRUE(mask.XorAll(0xFF));
  EXPECT_EQ(TouchedPages(mask), 1);
  EXPECT_EQ(mask.GetPixel(2999, 199), 0xFF);
  ASSERT_TRUE(mask.GetNonZeroBounds(bounds));
  EXPECT_EQ(bounds, (TRect{0, 0, 3000, 200}));
  ASSERT_TRUE(BlockContentBounds(mask, bounds));
  EXPECT_EQ(bounds, (TRect{0, 0, 3008, 256}));
  EXPECT_EQ(mask.TileByIndex(mask.TileCount() - 1).fill, 0xFFu);
}

TEST_P(BlockTableTest, ExchangeCarriesTheUntouchedFill) {
  CBlockVMTC red(3000, 100), painted(3000, 100);
  ASSERT_TRUE(red.FillAll(0xFFFF0000u));
  ASSERT_TRUE(painted.SetPixel(2000, 50, 0xFF00FF00u));
  ASSERT_TRUE(red.ExchangeStore(painted));
  EXPECT_EQ(red.GetPixel(2000, 50), 0xFF00FF00u);
  EXPECT_EQ(red.GetPixel(2900, 90), CBlockVMTC::kDefaultFill);
  EXPECT_EQ(painted.GetPixel(2900, 90), 0xFFFF0000u);
  // A page first touched after the exchange: its tiles and views belong to their new store.
  ASSERT_TRUE(painted.SetPixel(2990, 95, 0xFF0000FFu));
  EXPECT_EQ(painted.GetPixel(2991, 95), 0xFFFF0000u);
  const STileInfo* t = painted.GetTile(2990 >> 5, 95 >> 5, false);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(painted.TileView(*t)->Bits(), t->block);
  EXPECT_EQ(*reinterpret_cast<const uint32_t*>(painted.TileView(*t)->GetPixelPtr(2990 & 31, 95 & 31)),
            0xFF0000FFu);
  EXPECT_EQ(painted.ContentRects().count, 1);
}

TEST_P(BlockTableTest, CopiesWithAnUntouchedSideMatchTheSource) {
  struct Case {
    const char* name;
    uint32_t sourceFill;  // FillAll of the source first (0: none)
    bool paintSource;
    bool paintDest;
  };
  for (const Case c :
       {Case{"painted onto blank", 0, true, false}, Case{"filled onto painted", 0xFF445566u, false, true},
        Case{"blank onto painted", 0, false, true}, Case{"both painted", 0x80123456u, true, true}}) {
    SCOPED_TRACE(c.name);
    CBlockVMTC source(3000, 100), dest(3000, 100), merged(3000, 100);
    if (c.sourceFill != 0) {
      ASSERT_TRUE(source.FillAll(c.sourceFill));
    }
    for (int32_t x = 5; c.paintSource && x < 3000; x += 450)
      ASSERT_TRUE(source.SetPixel(x, x % 100, 0xFF000000u | x));
    for (int32_t x = 100; c.paintDest && x < 3000; x += 700) ASSERT_TRUE(dest.SetPixel(x, 60, 0xFFABCDEFu));
    ASSERT_TRUE(merged.CopyAllFrom(dest));
    ASSERT_TRUE(dest.Assign(source));
    TPoint at{0, 0};
    SRectWH all{0, 0, 3000, 100};
    ASSERT_TRUE(merged.CopyFrom(source, at, all));
    EXPECT_EQ(dest.CommittedTileCount(), source.CommittedTileCount());
    for (int32_t y = 0; y < 100; ++y)
      for (int32_t x = 0; x < 3000; x += (y % 10 == 0 ? 1 : 37)) {
        ASSERT_EQ(dest.GetPixel(x, y), source.GetPixel(x, y)) << x << "," << y;
        ASSERT_EQ(merged.GetPixel(x, y), source.GetPixel(x, y)) << x << "," << y;
      }
  }
}

TEST_P(BlockTableTest, AStoreMadeAfterAFreedOneStartsBlank) {
  // A freed store's table may serve the next store of its size: it must read as new.
  for (int round = 0; round < 3; ++round) {
    {
      CBlockVMTC used(3000, 100);
      CBlockVCH usedMask(3000, 200);
      ASSERT_TRUE(used.FillAll(0xFF123456u));
      ASSERT_TRUE(usedMask.XorAll(0x7F));
      for (int32_t x = 0; x < 3000; x += 40) {
        ASSERT_TRUE(used.SetPixel(x, x % 100, 0xFF000000u));
        ASSERT_TRUE(usedMask.SetPixel(x, x % 200, 0x01));
      }
      for (int32_t i = 0; i < used.TileCount(); ++i) used.TileByIndex(i).fill = 0xFFFFFFFFu;
    }
    CBlockVMTC layer(3000, 100);
    CBlockVCH mask(3000, 200);
    EXPECT_EQ(TouchedPages(layer), 1);
    EXPECT_EQ(TouchedPages(mask), 1);
    for (CBlockImage* store : std::vector<CBlockImage*>{&layer, &mask}) {
      const uint32_t fill = store == &layer ? CBlockVMTC::kDefaultFill : 0u;
      for (int32_t i = 0; i < store->TileCount(); ++i) {
        const STileInfo& t = store->TileByIndex(i);
        ASSERT_EQ(t.fill, fill) << i;
        ASSERT_EQ(t.committed, 0) << i;
        ASSERT_EQ(t.column, i % store->TilesAcross()) << i;
        ASSERT_NE(t.view, nullptr) << i;
      }
    }
    EXPECT_EQ(layer.GetPixel(2999, 99), CBlockVMTC::kDefaultFill);
    EXPECT_EQ(mask.GetPixel(2999, 199), 0);
    EXPECT_EQ(layer.UpdateContentRects(), 0);
  }
}

TEST_P(BlockTableTest, RefusedCommitOnAFreshPageChangesNothing) {
  CBlockVMTC layer(3000, 100);
  CBlockVCH mask(3000, 200);
  RefuseNextCommits(1);
  EXPECT_FALSE(layer.SetPixel(2950, 90, 0xFF000000u));
  RefuseNextCommits(1);
  EXPECT_FALSE(mask.SetPixel(2950, 190, 0x80));
  RefuseNextCommits(1);
  SRectWH piece{2010, 10, 5, 5};
  EXPECT_FALSE(layer.FillRect(piece, 0xFF00FF00u));
  EXPECT_EQ(layer.GetPixel(2950, 90), CBlockVMTC::kDefaultFill);
  EXPECT_EQ(layer.GetPixel(2012, 12), CBlockVMTC::kDefaultFill);
  EXPECT_EQ(mask.GetPixel(2950, 190), 0);
  EXPECT_EQ(layer.CommittedTileCount(), 0);
  EXPECT_EQ(mask.CommittedTileCount(), 0);
  EXPECT_EQ(layer.ContentRects().count, 0);

  // A copy into a store whose pages are still untouched: all or nothing.
  CBlockVMTC painted(3000, 100);
  for (int32_t x = 0; x < 3000; x += 300) ASSERT_TRUE(painted.SetPixel(x, 70, 0xFF0000FFu));
  CBlockVMTC dest(3000, 100);
  RefuseNextCommits(3);
  EXPECT_FALSE(dest.Assign(painted));
  EXPECT_EQ(dest.CommittedTileCount(), 0);
  for (int32_t x = 0; x < 3000; x += 300) EXPECT_EQ(dest.GetPixel(x, 70), CBlockVMTC::kDefaultFill);
  RefuseNextCommits(0);
  // And the same store takes the copy once commits are allowed.
  EXPECT_TRUE(dest.Assign(painted));
  for (int32_t x = 0; x < 3000; x += 300) EXPECT_EQ(dest.GetPixel(x, 70), 0xFF0000FFu);
}

}  // namespace
}  // namespace tf
