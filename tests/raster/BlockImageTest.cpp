#include "raster/BlockImage.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <new>
#include <type_traits>
#include <vector>

#include "platform/AddressSpace.h"
#include "raster/BlockVMTC.h"
#include "support/GuardModeTest.h"

namespace tf {
namespace {

static_assert(std::is_same_v<decltype(std::declval<CBlockImage&>().CommittedBytes()), int64_t>,
              "committed bytes are counted in 64 bits");
static_assert(std::is_same_v<decltype(std::declval<CBlockImage&>().ReservedBytes()), uint64_t>,
              "the reservation is sized in 64 bits");

// A store of bytes with 64-pixel tiles, to see the base work with another geometry.
class TByteStore : public CBlockImage {
 public:
  TByteStore(int32_t width, int32_t height) {
    SetTileGeometry();
    InitGeometry(width, height, 1);
    valid_ = Allocate();
  }
  ~TByteStore() override { FreeAll(); }
  void SetTileGeometry() override {
    tileWidth_ = tileHeight_ = tileSize_ = 64;
    tileMask_ = 63;
    tileShift_ = 6;
  }
  bool CommitTile(STileInfo& tile) override {
    if (tile.committed) return true;
    if (!CBlockImage::CommitTile(tile)) return false;
    FillTileMemory(tile, tile.fill);
    return true;
  }
  bool MakeTileView(STileInfo& tile) override {
    tile.fill = 0;
    tile.view = nullptr;  // no views needed here
    return true;
  }
  uint8_t* PixelPtr(int32_t x, int32_t y, bool commit) override {
    STileInfo* t = TileAt(x, y, commit);
    if (!t || !t->committed) return nullptr;
    return t->block + (y & 63) * 64 + (x & 63);
  }
  STileInfo* TileAt(int32_t x, int32_t y, bool commit) override {
    if (x < 0 || y < 0) return nullptr;
    return GetTile(x >> 6, y >> 6, commit);
  }
  uint8_t Read(int32_t x, int32_t y) {
    STileInfo* t = TileAt(x, y, false);
    if (!t) return 0;
    return t->committed ? *PixelPtr(x, y, false) : static_cast<uint8_t>(t->fill);
  }
};

// Every store test runs with and without guard pages, so a touch of uncommitted memory faults.
class BlockImageTest : public test::GuardModeTest {};

INSTANTIATE_TEST_SUITE_P(Guard, BlockImageTest, ::testing::Bool(), test::GuardModeName("On", "Off"));

TEST_P(BlockImageTest, GeometryOfEdgeTiles) {
  CBlockVMTC store(100, 50);
  ASSERT_TRUE(store.IsValid());
  EXPECT_EQ(store.TilesAcross(), 4);
  EXPECT_EQ(store.TilesDown(), 2);
  EXPECT_EQ(store.TileCount(), 8);
  EXPECT_EQ(store.TileByteSize(), 4096);
  EXPECT_EQ(store.ReservedBytes(), 8u * 4096u);
  for (int32_t i = 0; i < store.TileCount(); ++i) {
    const STileInfo& t = store.TileByIndex(i);
    EXPECT_EQ(t.column, i % 4);
    EXPECT_EQ(t.row, i / 4);
    EXPECT_EQ(t.pixelX, t.column * 32);
    EXPECT_EQ(t.pixelY, t.row * 32);
    EXPECT_EQ(t.tileWidth, 32);
    EXPECT_EQ(t.tileHeight, 32);
    EXPECT_EQ(t.clippedWidth, t.column == 3 ? 4 : 32);
    EXPECT_EQ(t.clippedHeight, t.row == 1 ? 18 : 32);
    EXPECT_EQ(t.byteSize, 4096);
    EXPECT_EQ(t.block, store.ReservedBase() + size_t{4096} * i);
    EXPECT_EQ(t.fill, 0x00FFFFFFu);
    EXPECT_EQ(t.committed, 0);
    ASSERT_NE(t.view, nullptr);
    EXPECT_EQ(t.view->Width(), 32);
    EXPECT_EQ(t.view->Height(), 32);
    EXPECT_EQ(t.view->Bits(), t.block);
    EXPECT_EQ(t.view->GetImageSize(), 4096);
  }
}

TEST_P(BlockImageTest, FreshStoreCommitsNothingAndReadsItsFill) {
  const uint64_t before = CommittedBytesTotal();
  CBlockVMTC store(300, 200);
  ASSERT_TRUE(store.IsValid());
  EXPECT_EQ(store.CommittedBytes(), 0);
  EXPECT_EQ(CommittedBytesTotal(), before);
  for (int32_t y = 0; y < 200; y += 7)
    for (int32_t x = 0; x < 300; x += 5) ASSERT_EQ(store.GetPixel(x, y), 0x00FFFFFFu);

  TByteStore bytes(200, 130);
  ASSERT_TRUE(bytes.IsValid());
  EXPECT_EQ(bytes.TilesAcross(), 4);
  EXPECT_EQ(bytes.TilesDown(), 3);
  EXPECT_EQ(bytes.CommittedBytes(), 0);
  EXPECT_EQ(bytes.Read(199, 129), 0);
}

TEST_P(BlockImageTest, InvalidSizesGiveInvalidStores) {
  for (auto [w, h] : std::vector<std::pair<int32_t, int32_t>>{{0, 10}, {10, 0}, {-5, 10}, {0, 0}}) {
    CBlockVMTC store(w, h);
    EXPECT_FALSE(store.IsValid()) << w << "x" << h;
    EXPECT_EQ(store.GetTile(0, 0, true), nullptr);
    EXPECT_EQ(store.WritePtr(0, 0), nullptr);
    SRectWH rect{0, 0, 5, 5};
    EXPECT_FALSE(store.FillRect(rect, 1));
  }
}

TEST_P(BlockImageTest, GetTileOutsideTheGridGivesNothing) {
  CBlockVMTC store(100, 50);
  EXPECT_EQ(store.GetTile(-1, 0, false), nullptr);
  EXPECT_EQ(store.GetTile(0, -1, false), nullptr);
  EXPECT_EQ(store.GetTile(4, 0, false), nullptr);
  EXPECT_EQ(store.GetTile(0, 2, true), nullptr);
  EXPECT_EQ(store.CommittedBytes(), 0);
}

TEST_P(BlockImageTest, GetTileWithCommitFillsAndChangesNoPixel) {
  CBlockVMTC store(100, 50);
  SRectWH rect{0, 0, 100, 50};
  store.SetColorRect(rect, 0x00123456u);  // fills only
  ASSERT_EQ(store.CommittedBytes(), 0);
  STileInfo* t = store.GetTile(3, 1, true);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->committed, 1);
  EXPECT_EQ(store.CommittedBytes(), 4096);
  // Every pixel of the tile, the overhang beyond the picture included, holds the fill.
  const uint32_t* p = reinterpret_cast<const uint32_t*>(t->block);
  for (int i = 0; i < 1024; ++i) ASSERT_EQ(p[i], 0x00123456u);
  EXPECT_EQ(store.GetPixel(99, 49), 0x00123456u);
}

TEST_P(BlockImageTest, RefusedCommitIsReportedAndChangesNothing) {
  CBlockVMTC store(100, 50);
  RefuseNextCommits(1);
  EXPECT_EQ(store.GetTile(1, 1, true), nullptr);
  EXPECT_EQ(store.GetTile(1, 1, false)->committed, 0);
  EXPECT_EQ(store.CommittedBytes(), 0);
  EXPECT_EQ(store.ContentRects().count, 0);
  // The next commit goes through.
  EXPECT_NE(store.GetTile(1, 1, true), nullptr);
  EXPECT_EQ(store.CommittedBytes(), 4096);
}

TEST_P(BlockImageTest, CommitBudgetStopsCommitsAtTheLimit) {
  CBlockVMTC store(100, 50);
  SetCommitBudget(CommittedBytesTotal() + 2 * 4096);
  EXPECT_NE(store.GetTile(0, 0, true), nullptr);
  EXPECT_NE(store.GetTile(1, 0, true), nullptr);
  EXPECT_EQ(store.GetTile(2, 0, true), nullptr);
  EXPECT_EQ(store.CommittedBytes(), 2 * 4096);
}

struct Piece {
  int32_t x, y, w, h;
  bool operator==(const Piece&) const = default;
};

TEST_P(BlockImageTest, WalkRectCutsAtTileBordersInOrder) {
  CBlockVMTC store(70, 35);
  std::vector<Piece> pieces;
  SRectWH rect{30, 30, 40, 5};
  ASSERT_TRUE(store.WalkRectWith(rect, [&](const SRectWH& p) {
    pieces.push_back({p.left, p.top, p.width, p.height});
  }));
  const std::vector<Piece> expected{{30, 30, 2, 2}, {32, 30, 32, 2}, {64, 30, 6, 2},
                                    {30, 32, 2, 3}, {32, 32, 32, 3}, {64, 32, 6, 3}};
  EXPECT_EQ(pieces, expected);

  // The byte store cuts at 64.
  TByteStore bytes(200, 100);
  std::vector<Piece> bytePieces;
  SRectWH byteRect{60, 60, 10, 10};
  bytes.WalkRectWith(byteRect, [&](const SRectWH& p) {
    bytePieces.push_back({p.left, p.top, p.width, p.height});
  });
  EXPECT_EQ(bytePieces, (std::vector<Piece>{{60, 60, 4, 4}, {64, 60, 6, 4}, {60, 64, 4, 6}, {64, 64, 6, 6}}));
}

TEST_P(BlockImageTest, WalkersCallNothingForRectanglesOutside) {
  CBlockVMTC store(70, 35);
  CBlockVMTC other(70, 35);
  TMTC image(50, 50);
  int calls = 0;
  auto count = [&](auto&&...) { ++calls; };
  for (SRectWH outside : {SRectWH{70, 0, 10, 10}, SRectWH{-20, 0, 20, 10}, SRectWH{0, 35, 5, 5},
                          SRectWH{5, 5, 0, 4}, SRectWH{5, 5, 3, -1}}) {
    SRectWH r = outside;
    EXPECT_FALSE(store.WalkRectWith(r, count));
    TPoint p{0, 0};
    r = outside;
    EXPECT_FALSE(store.WalkToImageWith(image.Size(), p, r, count));
    p = {0, 0};
    r = outside;
    EXPECT_FALSE(store.WalkFromImageWith(SSize{20, 20}, p, r, count));
    p = {0, 0};
    r = outside;
    EXPECT_FALSE(store.WalkFromBlockWith(other, p, r, count));
  }
  // A destination point that puts everything off the destination.
  TPoint far{100, 0};
  SRectWH all{0, 0, 70, 35};
  EXPECT_FALSE(store.WalkFromBlockWith(other, far, all, count));
  EXPECT_EQ(calls, 0);
}

// Each piece of the two-sided walkers lies in one tile on both sides, and the pieces cover the
// clipped rectangle exactly once.
TEST_P(BlockImageTest, TwoSidedWalkersCutBothSidesAtTileBorders) {
  CBlockVMTC dest(150, 120);
  CBlockVMTC source(130, 140);
  const TPoint points[] = {{0, 0}, {5, 7}, {-13, 40}, {31, 33}, {64, -3}, {100, 90}};
  const SRectWH rects[] = {{0, 0, 130, 140}, {3, 9, 70, 61}, {31, 31, 2, 2}, {90, 100, 60, 60}};
  for (const TPoint& point : points) {
    for (const SRectWH& rect : rects) {
      TPoint p = point;
      SRectWH r = rect;
      std::vector<int> covered(130 * 140, 0);
      const bool any = dest.WalkFromBlockWith(source, p, r, [&](const TPoint& dp, const SRectWH& sp) {
        EXPECT_EQ(sp.left >> 5, (sp.left + sp.width - 1) >> 5);
        EXPECT_EQ(sp.top >> 5, (sp.top + sp.height - 1) >> 5);
        EXPECT_EQ(dp.x >> 5, (dp.x + sp.width - 1) >> 5);
        EXPECT_EQ(dp.y >> 5, (dp.y + sp.height - 1) >> 5);
        EXPECT_EQ(dp.x - sp.left, p.x - r.left);
        EXPECT_EQ(dp.y - sp.top, p.y - r.top);
        for (int32_t y = sp.top; y < sp.top + sp.height; ++y)
          for (int32_t x = sp.left; x < sp.left + sp.width; ++x) ++covered[y * 130 + x];
      });
      if (!any) continue;
      for (int32_t y = 0; y < 140; ++y)
        for (int32_t x = 0; x < 130; ++x) {
          const bool inside = x >= r.left && x < r.left + r.width && y >= r.top && y < r.top + r.height;
          ASSERT_EQ(covered[y * 130 + x], inside ? 1 : 0) << x << "," << y;
        }

      // From a flat image: cut at the store's borders in store coordinates.
      p = point;
      r = rect;
      dest.WalkFromImageWith(SSize{130, 140}, p, r, [&](const TPoint& dp, const SRectWH& sp) {
        EXPECT_EQ(dp.x >> 5, (dp.x + sp.width - 1) >> 5);
        EXPECT_EQ(dp.y >> 5, (dp.y + sp.height - 1) >> 5);
        EXPECT_EQ(dp.x - sp.left, p.x - r.left);
      });
      // Into a flat image: cut at the store's borders in store coordinates.
      p = point;
      r = rect;
      source.WalkToImageWith(SSize{150, 120}, p, r, [&](const TPoint& dp, const SRectWH& sp) {
        EXPECT_EQ(sp.left >> 5, (sp.left + sp.width - 1) >> 5);
        EXPECT_EQ(sp.top >> 5, (sp.top + sp.height - 1) >> 5);
        EXPECT_EQ(dp.y - sp.top, p.y - r.top);
      });
    }
  }
}

TEST_P(BlockImageTest, AlignRectToTilesWidensOutward) {
  struct Case {
    SRectWH in, out;
  };
  for (const Case& c : {Case{{0, 0, 1, 1}, {0, 0, 32, 32}}, Case{{31, 31, 2, 2}, {0, 0, 64, 64}},
                        Case{{32, 64, 32, 32}, {32, 64, 32, 32}}, Case{{40, 5, 100, 27}, {32, 0, 128, 32}}}) {
    SRectWH r = c.in;
    AlignRectToTiles(r);
    EXPECT_EQ(r, c.out);
  }
}

TEST_P(BlockImageTest, CopyTileMovesPixelsOrFill) {
  CBlockVMTC source(64, 32);
  CBlockVMTC dest(64, 32);
  ASSERT_TRUE(source.SetPixel(3, 4, 0xFF112233u));
  ASSERT_TRUE(dest.SetPixel(40, 4, 0xFF445566u));
  STileInfo& s0 = *source.GetTile(0, 0, false);
  STileInfo& s1 = *source.GetTile(1, 0, false);
  s1.fill = 0x80ABCDEFu;
  STileInfo& d0 = *dest.GetTile(0, 0, false);
  STileInfo& d1 = *dest.GetTile(1, 0, false);

  // Committed source onto an uncommitted tile: committed and copied.
  ASSERT_TRUE(dest.CopyTile(d0, s0));
  EXPECT_EQ(d0.committed, 1);
  EXPECT_EQ(dest.GetPixel(3, 4), 0xFF112233u);
  EXPECT_EQ(dest.GetPixel(4, 4), 0x00FFFFFFu);
  // Uncommitted source onto a committed tile: released, reads the source's fill.
  ASSERT_TRUE(dest.CopyTile(d1, s1));
  EXPECT_EQ(d1.committed, 0);
  EXPECT_EQ(d1.fill, 0x80ABCDEFu);
  EXPECT_EQ(dest.GetPixel(40, 4), 0x80ABCDEFu);
  EXPECT_EQ(dest.CommittedBytes(), 4096);
}

TEST_P(BlockImageTest, CopyTileWithRefusedCommitLeavesTheDestination) {
  CBlockVMTC source(64, 32);
  CBlockVMTC dest(64, 32);
  ASSERT_TRUE(source.SetPixel(3, 4, 0xFF112233u));
  STileInfo& d0 = *dest.GetTile(0, 0, false);
  d0.fill = 0x11223344u;
  RefuseNextCommits(1);
  EXPECT_FALSE(dest.CopyTile(d0, *source.GetTile(0, 0, false)));
  EXPECT_EQ(d0.committed, 0);
  EXPECT_EQ(d0.fill, 0x11223344u);
  EXPECT_EQ(dest.GetPixel(3, 4), 0x11223344u);
  EXPECT_EQ(dest.CommittedBytes(), 0);
}

TEST_P(BlockImageTest, CopyAllTilesCopiesTheSharedGrid) {
  CBlockVMTC source(100, 40);
  CBlockVMTC dest(60, 70);
  for (int32_t x = 0; x < 100; x += 10) source.SetPixel(x, 35, 0xFF000000u | static_cast<uint32_t>(x));
  SRectWH rect{0, 0, 32, 32};
  source.FillRect(rect, 0x40404040u);  // a whole tile: fill only
  ASSERT_TRUE(dest.CopyAllTiles(source));
  for (int32_t x = 0; x < 60; x += 10) EXPECT_EQ(dest.GetPixel(x, 35), 0xFF000000u | static_cast<uint32_t>(x));
  EXPECT_EQ(dest.GetPixel(5, 5), 0x40404040u);
  EXPECT_EQ(dest.CommittedBytes(), 2 * 4096);  // tiles (0,1) and (1,1)
}

TEST_P(BlockImageTest, CopyTilesRectRoundTripsAnAlignedRectangle) {
  // The pixel undo pattern: save the aligned rectangle at (0, 0), copy it back later.
  CBlockVMTC layer(200, 150);
  for (int32_t y = 0; y < 150; y += 3)
    for (int32_t x = 0; x < 200; x += 7) layer.SetPixel(x, y, 0xFF000000u | static_cast<uint32_t>(x * 256 + y));
  SRectWH changed{45, 70, 50, 20};
  SRectWH aligned = changed;
  AlignRectToTiles(aligned);
  CBlockVMTC undo(aligned.width, aligned.height);
  TPoint origin{0, 0};
  SRectWH saveRect = aligned;
  ASSERT_TRUE(undo.CopyTilesFrom(layer, origin, saveRect));
  EXPECT_EQ(saveRect, aligned);

  SRectWH wipe{0, 0, 200, 150};
  layer.FillRect(wipe, 0x00000000u);
  TPoint back{aligned.left, aligned.top};
  SRectWH all{0, 0, aligned.width, aligned.height};
  ASSERT_TRUE(layer.CopyTilesFrom(undo, back, all));
  for (int32_t y = 0; y < 150; ++y)
    for (int32_t x = 0; x < 200; ++x) {
      const bool inside = x >= aligned.left && x < aligned.left + aligned.width && y >= aligned.top &&
                          y < aligned.top + aligned.height;
      const uint32_t want =
          !inside ? 0u
                  : (y % 3 == 0 && x % 7 == 0 ? 0xFF000000u | static_cast<uint32_t>(x * 256 + y) : 0x00FFFFFFu);
      ASSERT_EQ(layer.GetPixel(x, y), want) << x << "," << y;
    }
}

TEST_P(BlockImageTest, CopyTilesRectRefusesAnUnalignedDestination) {
  CBlockVMTC source(64, 64);
  CBlockVMTC dest(64, 64);
  source.SetPixel(1, 1, 0xFF0000FFu);
  TPoint point{5, 0};
  SRectWH rect{0, 0, 32, 32};
  EXPECT_FALSE(dest.CopyTilesFrom(source, point, rect));
  EXPECT_EQ(dest.CommittedBytes(), 0);
  // Same phase on both sides is fine: (37, 0) from (5, 0) moves tile 0 onto tile 1.
  point = {37, 0};
  rect = {5, 0, 10, 10};
  EXPECT_TRUE(dest.CopyTilesFrom(source, point, rect));
  EXPECT_EQ(dest.GetPixel(33, 1), 0xFF0000FFu);
  EXPECT_EQ(point, (TPoint{32, 0}));
}

TEST_P(BlockImageTest, CopyTilesRectSkipsTilesOutsideTheDestinationGrid) {
  // A source larger than the destination: only the tiles both grids hold are copied.
  CBlockVMTC source(96, 96);
  CBlockVMTC dest(40, 40);  // 2 x 2 tiles
  for (int32_t y = 0; y < 96; y += 16)
    for (int32_t x = 0; x < 96; x += 16) source.SetPixel(x, y, 0xFF000000u | static_cast<uint32_t>(x + y));
  TPoint point{32, 32};
  SRectWH rect{0, 0, 8, 8};  // aligned to one whole tile
  ASSERT_TRUE(dest.CopyTilesFrom(source, point, rect));
  EXPECT_EQ(dest.GetPixel(32, 32), 0xFF000000u);
  EXPECT_EQ(dest.GetPixel(48, 48), 0xFF000000u | 32u);
  // From the origin: clipped to 40 x 40, aligned to 2 x 2 tiles.
  point = {0, 0};
  rect = {0, 0, 96, 96};
  ASSERT_TRUE(dest.CopyTilesFrom(source, point, rect));
  EXPECT_EQ(dest.GetPixel(16, 16), 0xFF000000u | 32u);
  EXPECT_EQ(dest.CommittedBytes(), 4 * 4096);
}

TEST_P(BlockImageTest, CopyTilesRectWithinOneStoreReadsBeforeWriting) {
  CBlockVMTC store(128, 32);
  for (int32_t c = 0; c < 4; ++c) store.SetPixel(c * 32, 0, 0xFF000000u | static_cast<uint32_t>(c));
  TPoint point{32, 0};
  SRectWH rect{0, 0, 96, 32};
  ASSERT_TRUE(store.CopyTilesFrom(store, point, rect));
  EXPECT_EQ(store.GetPixel(0, 0), 0xFF000000u);
  for (int32_t c = 1; c < 4; ++c)
    EXPECT_EQ(store.GetPixel(c * 32, 0), 0xFF000000u | static_cast<uint32_t>(c - 1));
}

// Moving tiles within one store: committed and uncommitted tiles alternate, so a destination's
// source is itself a destination. Without memory for the move nothing changes.
TEST_P(BlockImageTest, CopyTilesRectWithinOneStoreMovesFillsAndPixels) {
  CBlockVMTC store(128, 32);
  ASSERT_TRUE(store.SetPixel(1, 1, 0xFF000001u));
  ASSERT_TRUE(store.SetPixel(65, 1, 0xFF000003u));
  store.GetTile(1, 0, false)->fill = 0x80000002u;
  store.GetTile(3, 0, false)->fill = 0x80000004u;
  std::vector<uint32_t> before;
  for (int32_t x = 0; x < 128; ++x) before.push_back(store.GetPixel(x, 1));
  for (const bool refuse : {true, false}) {
    SetCommitBudget(refuse ? CommittedBytesTotal() + 4096 : 0);
    TPoint point{32, 0};
    SRectWH rect{0, 0, 96, 32};
    EXPECT_EQ(store.CopyTilesFrom(store, point, rect), !refuse);
    if (refuse) {
      for (int32_t x = 0; x < 128; ++x) ASSERT_EQ(store.GetPixel(x, 1), before[x]) << x;
      EXPECT_EQ(store.CommittedBytes(), 2 * 4096);
    }
  }
  EXPECT_EQ(store.GetPixel(33, 1), 0xFF000001u);
  EXPECT_EQ(store.GetPixel(65, 1), 0x80000002u);
  EXPECT_EQ(store.GetTile(2, 0, false)->committed, 0);  // its source was a fill
  EXPECT_EQ(store.GetPixel(97, 1), 0xFF000003u);
  EXPECT_EQ(store.GetPixel(1, 1), 0xFF000001u);
  EXPECT_EQ(store.CommittedBytes(), 3 * 4096);
}

TEST_P(BlockImageTest, SetSizeReleasesEverything) {
  CBlockVMTC store(100, 100);
  const uint64_t before = CommittedBytesTotal();
  for (int32_t i = 0; i < 100; i += 10) store.SetPixel(i, i, 0xFF000000u);
  EXPECT_EQ(store.CommittedBytes(), 3 * 4096);  // the diagonal tiles
  EXPECT_EQ(CommittedBytesTotal(), before + 3 * 4096);
  ASSERT_TRUE(store.SetSize(50, 70));
  EXPECT_EQ(store.CommittedBytes(), 0);
  EXPECT_EQ(CommittedBytesTotal(), before);
  EXPECT_EQ(store.Width(), 50);
  EXPECT_EQ(store.TilesDown(), 3);
  EXPECT_EQ(store.GetPixel(10, 10), 0x00FFFFFFu);
  EXPECT_FALSE(store.SetSize(0, 5));
  EXPECT_FALSE(store.IsValid());
}

TEST_P(BlockImageTest, ByteStoreFillsAndCopiesWithItsOwnGeometry) {
  TByteStore a(130, 70);
  TByteStore b(130, 70);
  a.GetTile(1, 0, false)->fill = 9;
  ASSERT_NE(a.GetTile(1, 0, true), nullptr);
  EXPECT_EQ(a.Read(100, 10), 9);
  *a.PixelPtr(100, 10, false) = 200;
  ASSERT_TRUE(b.CopyAllTiles(a));
  EXPECT_EQ(b.Read(100, 10), 200);
  EXPECT_EQ(b.Read(101, 10), 9);
  EXPECT_EQ(b.CommittedBytes(), 4096);
}

// Tile copies align the rectangle to the store's own tiles: a 64-pixel tile whose rectangle
// starts inside its second half is still copied.
TEST_P(BlockImageTest, CopyTilesRectAlignsToTheStoresOwnTiles) {
  TByteStore a(200, 100);
  TByteStore b(200, 100);
  for (int32_t c = 0; c < 4; ++c) {
    a.GetTile(c, 0, false)->fill = static_cast<uint32_t>(10 + c);
    ASSERT_NE(a.GetTile(c, 0, true), nullptr);
    *a.PixelPtr(c * 64 + 1, 1, false) = static_cast<uint8_t>(100 + c);
  }
  TPoint point{70, 0};
  SRectWH rect{70, 0, 10, 10};  // inside tile 1, at 6 past its border
  ASSERT_TRUE(b.CopyTilesRect(a, point, rect));
  EXPECT_EQ(rect, (SRectWH{64, 0, 64, 64}));
  EXPECT_EQ(point, (TPoint{64, 0}));
  EXPECT_EQ(b.Read(65, 1), 101);
  EXPECT_EQ(b.Read(127, 63), 11);
  EXPECT_EQ(b.Read(1, 1), 0);  // tile 0 untouched
  point = {40, 0};
  rect = {40, 0, 50, 10};  // from tile 0 into tile 1
  ASSERT_TRUE(b.CopyTilesRect(a, point, rect));
  EXPECT_EQ(rect, (SRectWH{0, 0, 128, 64}));
  EXPECT_EQ(b.Read(1, 1), 100);
  EXPECT_EQ(b.CommittedBytes(), 2 * 4096);
}

// A copy of tiles whose commits are refused part-way changes nothing.
TEST_P(BlockImageTest, TileCopiesAreAllOrNothing) {
  CBlockVMTC source(96, 64);
  CBlockVMTC dest(96, 64);
  for (int32_t y = 0; y < 64; y += 32)
    for (int32_t x = 0; x < 96; x += 32)
      ASSERT_TRUE(source.SetPixel(x + 1, y + 1, 0xFF000000u | static_cast<uint32_t>(x + y)));
  SRectWH left{0, 0, 32, 64};
  ASSERT_TRUE(dest.FillRect(left, 0x80102030u));  // fills only
  ASSERT_TRUE(dest.SetPixel(90, 60, 0xFF0000FFu));
  auto snapshot = [&] {
    std::vector<uint32_t> pixels;
    for (int32_t y = 0; y < 64; ++y)
      for (int32_t x = 0; x < 96; ++x) pixels.push_back(dest.GetPixel(x, y));
    return pixels;
  };
  const std::vector<uint32_t> before = snapshot();
  const int64_t committed = dest.CommittedBytes();

  SetCommitBudget(CommittedBytesTotal() + 2 * 4096);  // two of the five commits go through
  EXPECT_FALSE(dest.Assign(source));
  EXPECT_EQ(snapshot(), before);
  EXPECT_EQ(dest.CommittedBytes(), committed);
  EXPECT_EQ(dest.GetTile(0, 1, false)->fill, 0x80102030u);
  TPoint point{0, 0};
  SRectWH rect{0, 0, 96, 64};
  EXPECT_FALSE(dest.CopyTilesFrom(source, point, rect));
  EXPECT_EQ(snapshot(), before);
  EXPECT_EQ(dest.CommittedBytes(), committed);
  SetCommitBudget(0);

  ASSERT_TRUE(dest.Assign(source));
  EXPECT_EQ(dest.GetPixel(65, 33), 0xFF000000u | 96u);
  EXPECT_EQ(dest.CommittedBytes(), 6 * 4096);
}

// The reservation of a store beyond about 23170 x 23170 pixels needs more than 31 bits.
TEST(BlockImageLargeTest, ReservationBeyondInt32) {
  ResetAddressSpaceSettings();
  CBlockVMTC store(23200, 23200);
  ASSERT_TRUE(store.IsValid());
  const uint64_t tiles = 725ull * 725ull;
  EXPECT_EQ(store.ReservedBytes(), tiles * 4096ull);
  EXPECT_GT(store.ReservedBytes(), uint64_t{INT32_MAX});
  EXPECT_EQ(store.CommittedBytes(), 0);
  ASSERT_TRUE(store.SetPixel(23199, 23199, 0xFF010203u));
  const STileInfo* last = store.GetTile(724, 724);
  EXPECT_EQ(last->block, store.ReservedBase() + (tiles - 1) * 4096ull);
  EXPECT_EQ(store.GetPixel(23199, 23199), 0xFF010203u);
  EXPECT_EQ(store.CommittedBytes(), 4096);
}

// Resident memory really drops when Compact releases tiles.
int64_t ResidentBytes() {
  FILE* f = std::fopen("/proc/self/statm", "r");
  if (!f) return -1;
  long size = 0, resident = 0;
  const int n = std::fscanf(f, "%ld %ld", &size, &resident);
  std::fclose(f);
  return n == 2 ? static_cast<int64_t>(resident) * static_cast<int64_t>(SystemPageSize()) : -1;
}

TEST(BlockImageResidentTest, CompactGivesMemoryBack) {
  ResetAddressSpaceSettings();
  if (ResidentBytes() < 0) GTEST_SKIP() << "no /proc/self/statm";
  CBlockVMTC store(2048, 2048);  // 4096 tiles, 16 MB when all committed
  ASSERT_TRUE(store.IsValid());
  const int64_t empty = ResidentBytes();
  for (int32_t y = 0; y < 2048; y += 32)
    for (int32_t x = 0; x < 2048; x += 32)
      ASSERT_TRUE(store.SetPixel(x + 1, y + 2, 0xFF000000u | static_cast<uint32_t>(x)));
  EXPECT_EQ(store.CommittedBytes(), int64_t{16} << 20);
  const int64_t full = ResidentBytes();
  EXPECT_GE(full - empty, int64_t{12} << 20);  // the pages are really there
  for (int32_t y = 0; y < 2048; y += 32)
    for (int32_t x = 0; x < 2048; x += 32) store.SetPixel(x + 1, y + 2, 0x00FFFFFFu);
  EXPECT_EQ(store.Compact(), 4096);
  EXPECT_EQ(store.CommittedBytes(), 0);
  const int64_t after = ResidentBytes();
  EXPECT_GE(full - after, int64_t{12} << 20);
}

}  // namespace
}  // namespace tf
