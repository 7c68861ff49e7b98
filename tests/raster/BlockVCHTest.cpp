#include "raster/BlockVCH.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "platform/AddressSpace.h"
#include "raster/BlockVMTC.h"
#include "raster/Composite.h"
#include "support/GuardModeTest.h"

namespace tf {
namespace {

// Every test runs twice: plain reservations and guard mode.
class BlockVCHTest : public test::GuardModeTest {
 protected:
  void SetUp() override {
    GuardModeTest::SetUp();
    InitCompositeTables();
  }
};

INSTANTIATE_TEST_SUITE_P(Modes, BlockVCHTest, ::testing::Bool(), test::GuardModeName("Guard", "Plain"));

// The picture of a store as a flat channel of its size.
void Snapshot(const CBlockVCH& store, TChannel& channel) {
  ASSERT_TRUE(channel.Resize(store.Width(), store.Height()));
  channel.Fill(0xAB);  // overwritten everywhere
  EXPECT_TRUE(store.CopyAllToChannel(channel, 0, 0, false));
}

// First difference between the store and the model, or "" when equal.
std::string Difference(const CBlockVCH& store, const TChannel& model) {
  if (store.Width() != model.Width() || store.Height() != model.Height()) return "sizes differ";
  TChannel picture;
  Snapshot(store, picture);
  for (int32_t y = 0; y < model.Height(); ++y)
    for (int32_t x = 0; x < model.Width(); ++x)
      if (picture.GetPixel(x, y) != model.GetPixel(x, y) || store.GetPixel(x, y) != model.GetPixel(x, y))
        return std::string("(") + std::to_string(x) + ", " + std::to_string(y) + "): store " +
               std::to_string(picture.GetPixel(x, y)) + " / " + std::to_string(store.GetPixel(x, y)) +
               ", model " + std::to_string(model.GetPixel(x, y));
  return "";
}

// Fills store and model with blocks of random values, some uniform tiles, some noise, inside
// (0, 0, width, height) (the whole store when 0).
void RandomContent(std::mt19937& rng, CBlockVCH& store, TChannel& model, int32_t width = 0, int32_t height = 0) {
  if (width == 0) width = store.Width();
  if (height == 0) height = store.Height();
  for (int i = 0; i < 6; ++i) {
    const int32_t x = static_cast<int32_t>(rng() % width), y = static_cast<int32_t>(rng() % height);
    SRectWH r{x, y, std::min(static_cast<int32_t>(rng() % 90 + 1), width - x),
              std::min(static_cast<int32_t>(rng() % 90 + 1), height - y)};
    SRectWH m = r;
    const uint8_t v = static_cast<uint8_t>(rng());
    store.FillRect(r, v);
    model.FillRect(m, v);
  }
  for (int i = 0; i < 200; ++i) {
    const int32_t x = static_cast<int32_t>(rng() % width);
    const int32_t y = static_cast<int32_t>(rng() % height);
    const uint8_t v = static_cast<uint8_t>(rng());
    ASSERT_TRUE(store.SetPixel(x, y, v));
    *model.GetPixelPtr(x, y) = v;
  }
}

void NotAByteOp(uint8_t* byte, uint8_t value) { *byte = static_cast<uint8_t>(*byte + value); }

// ---------------------------------------------------------------------------------------------
// Geometry and the sparse invariants

TEST_P(BlockVCHTest, ZeroSizedStoreIsInvalidAndAllocatesNothing) {
  for (SSize size : {SSize{0, 10}, SSize{10, 0}, SSize{-5, 10}}) {
    CBlockVCH store(size.width, size.height);
    EXPECT_FALSE(store.IsValid());
    EXPECT_EQ(store.ReservedBase(), nullptr);
    EXPECT_EQ(store.CommittedBytes(), 0);
    SRectWH r{0, 0, 5, 5};
    EXPECT_FALSE(store.FillRect(r, 1));
    EXPECT_EQ(store.GetPixel(0, 0), 0);
    EXPECT_FALSE(store.SetPixel(0, 0, 1));
  }
}

TEST_P(BlockVCHTest, GeometryOf64PixelTiles) {
  CBlockVCH store(100, 130);
  ASSERT_TRUE(store.IsValid());
  EXPECT_EQ(store.TileSize(), 64);
  EXPECT_EQ(store.TileShift(), 6);
  EXPECT_EQ(store.BytesPerPixel(), 1);
  EXPECT_EQ(store.TilesAcross(), 2);
  EXPECT_EQ(store.TilesDown(), 3);
  const STileInfo& corner = store.TileByIndex(5);
  EXPECT_EQ(corner.clippedWidth, 36);
  EXPECT_EQ(corner.clippedHeight, 2);
  EXPECT_EQ(corner.byteSize, 4096);
  EXPECT_EQ(corner.fill, 0u);
  ASSERT_NE(corner.view, nullptr);
  EXPECT_EQ(corner.view->Width(), 64);
  EXPECT_EQ(corner.view->Height(), 64);
  EXPECT_EQ(corner.view->GetImageSize(), 4096);
  EXPECT_TRUE(corner.view->IsTopDown());
  EXPECT_FALSE(corner.view->Resize(10, 10));
  // Rows of a view are top-down at 64 bytes.
  EXPECT_EQ(corner.view->GetPixelPtr(3, 2), corner.block + 2 * 64 + 3);
}

TEST_P(BlockVCHTest, FreshStoreCommitsNothingAndReadsZero) {
  CBlockVCH store(20000, 20000);
  // Committed bytes are counted in 64 bits: a few large masks pass 2 GB.
  static_assert(std::is_same_v<decltype(store.CommittedBytes()), int64_t>);
  ASSERT_TRUE(store.IsValid());
  EXPECT_EQ(store.CommittedBytes(), 0);
  EXPECT_EQ(store.GetPixel(19999, 19999), 0);
  TRect bounds{1, 2, 3, 4};
  EXPECT_FALSE(store.GetNonZeroBounds(bounds));
  EXPECT_EQ(bounds, (TRect{1, 2, 3, 4}));
  EXPECT_FALSE(BlockContentBounds(store, bounds));
  // Filling the whole store changes fill values only.
  SRectWH all{0, 0, 20000, 20000};
  EXPECT_TRUE(store.FillRect(all, 7));
  EXPECT_EQ(store.CommittedBytes(), 0);
  EXPECT_EQ(store.GetPixel(12345, 54), 7);
  EXPECT_TRUE(store.GetNonZeroBounds(bounds));
  EXPECT_EQ(bounds, (TRect{0, 0, 20000, 20000}));
}

TEST_P(BlockVCHTest, CommitFillsWithTheTilesFillAndCompactReleasesUniformTiles) {
  CBlockVCH store(100, 100);
  SRectWH whole{0, 0, 64, 64};
  ASSERT_TRUE(store.FillRect(whole, 0x37));
  EXPECT_EQ(store.CommittedBytes(), 0);
  // A commit keeps the picture: every byte, the untouched ones included, reads the fill.
  ASSERT_NE(store.GetTile(0, 0, true), nullptr);
  EXPECT_EQ(store.CommittedBytes(), 4096);
  for (int32_t y = 0; y < 64; y += 7)
    for (int32_t x = 0; x < 64; x += 5) EXPECT_EQ(store.GetPixel(x, y), 0x37);
  ASSERT_TRUE(store.SetPixel(10, 10, 1));
  EXPECT_EQ(store.Compact(), 0);  // not uniform
  ASSERT_TRUE(store.SetPixel(10, 10, 0x37));
  EXPECT_EQ(store.Compact(), 1);
  EXPECT_EQ(store.CommittedBytes(), 0);
  EXPECT_EQ(store.TileByIndex(0).fill, 0x37u);
  EXPECT_EQ(store.GetPixel(10, 10), 0x37);
}

TEST_P(BlockVCHTest, CompactComparesTheOverhangOfEdgeTiles) {
  CBlockVCH store(100, 100);
  ASSERT_TRUE(store.SetPixel(70, 70, 5));  // tile (1, 1), visible 36 x 36, committed with fill 0
  SRectWH visible{64, 64, 36, 36};
  ASSERT_TRUE(store.FillRect(visible, 9));
  // The overhang still holds 0, so the tile is not uniform.
  EXPECT_EQ(store.Compact(), 0);
  EXPECT_EQ(store.CommittedBytes(), 4096);
  EXPECT_EQ(store.GetPixel(64 + 40, 64), 0);  // in the grid, past the picture: the overhang
}

TEST_P(BlockVCHTest, XorAllInvertsFillsWithoutCommitting) {
  CBlockVCH store(130, 70);
  EXPECT_TRUE(store.XorAll(255));
  EXPECT_EQ(store.CommittedBytes(), 0);
  EXPECT_EQ(store.GetPixel(129, 69), 255);
  EXPECT_EQ(store.GetPixel(0, 0), 255);
  EXPECT_TRUE(store.XorAll(255));
  for (int32_t i = 0; i < store.TileCount(); ++i) EXPECT_EQ(store.TileByIndex(i).fill, 0u);
  EXPECT_EQ(store.CommittedBytes(), 0);
}

TEST_P(BlockVCHTest, FillOutsideOfTheWholeStoreFillsNothing) {
  CBlockVCH store(100, 80);
  EXPECT_FALSE(store.FillOutside(TRect{0, 0, 100, 80}, 9));
  EXPECT_FALSE(store.FillOutside(TRect{-5, -5, 200, 200}, 9));
  EXPECT_EQ(store.GetPixel(0, 0), 0);
  // A rectangle inside: the four areas around it, left and right running the full height.
  TChannel model(100, 80);
  model.Fill(0);
  EXPECT_TRUE(store.FillOutside(TRect{10, 20, 90, 70}, 9));
  for (int32_t y = 0; y < 80; ++y)
    for (int32_t x = 0; x < 100; ++x)
      if (!(x >= 10 && x < 90 && y >= 20 && y < 70)) *model.GetPixelPtr(x, y) = 9;
  EXPECT_EQ(Difference(store, model), "");
  SRectWH inner{10, 20, 80, 50};
  EXPECT_TRUE(store.FillOutsideRect(inner, 9));
}

TEST_P(BlockVCHTest, NonZeroBoundsOfASinglePixel) {
  CBlockVCH store(200, 150);
  ASSERT_TRUE(store.SetPixel(7, 9, 1));
  TRect bounds{};
  ASSERT_TRUE(store.GetNonZeroBounds(bounds));
  EXPECT_EQ(bounds, (TRect{7, 9, 8, 10}));
  // An uncommitted tile with a fill counts with its visible part only.
  SRectWH edge{128, 128, 72, 22};
  ASSERT_TRUE(store.FillRect(edge, 3));
  ASSERT_TRUE(store.GetNonZeroBounds(bounds));
  EXPECT_EQ(bounds, (TRect{7, 9, 200, 150}));
}

TEST_P(BlockVCHTest, ContentBoundsAreWholeTileSquares) {
  CBlockVCH store(100, 100);
  ASSERT_TRUE(store.SetPixel(99, 99, 1));
  TRect bounds{};
  ASSERT_TRUE(BlockContentBounds(store, bounds));
  EXPECT_EQ(bounds, (TRect{64, 64, 128, 128}));
  // A 32-bit store's transparent white fill is not 0: every tile counts.
  CBlockVMTC layer(100, 40);
  ASSERT_TRUE(BlockContentBounds(layer, bounds));
  EXPECT_EQ(bounds, (TRect{0, 0, 128, 64}));
}

// ---------------------------------------------------------------------------------------------
// Points and rows outside the picture

TEST_P(BlockVCHTest, PointsOutsideTheGridWriteNothingAndReadZero) {
  CBlockVCH store(100, 100);
  ASSERT_TRUE(store.XorAll(255));
  for (TPoint p : {TPoint{-1, 0}, TPoint{0, -1}, TPoint{128, 0}, TPoint{0, 128}, TPoint{-64, -64},
                   TPoint{INT32_MIN, 5}, TPoint{5, INT32_MAX}}) {
    EXPECT_EQ(store.GetPixel(p.x, p.y), 0) << p.x << ", " << p.y;
    EXPECT_EQ(store.GetPixelSafe(p.x, p.y), 0);
    EXPECT_FALSE(store.SetPixel(p.x, p.y, 1));
    EXPECT_EQ(store.WritePtr(p.x, p.y), nullptr);
    EXPECT_EQ(store.PixelPtr(p.x, p.y, true), nullptr);
  }
  EXPECT_EQ(store.CommittedBytes(), 0);
  // Clamped forms land on the edge.
  EXPECT_EQ(store.GetPixelClamped(-10, 500), 255);
  uint8_t* p = store.WritePtrClamped(-10, 500);
  ASSERT_NE(p, nullptr);
  *p = 4;
  EXPECT_EQ(store.GetPixel(0, 99), 4);
  // Safe reads stop at the picture, not the grid.
  EXPECT_EQ(store.GetPixelSafe(100, 0), 0);
  EXPECT_EQ(store.GetPixel(100, 0), 255);
}

TEST_P(BlockVCHTest, RowsAreClippedToThePicture) {
  struct Case {
    int32_t x, y, count;
    int32_t written;     // bytes written
    int32_t firstPixel;  // picture column of source byte `skip`
    int32_t skip;
  };
  const Case cases[] = {
      {0, 5, 100, 100, 0, 0},     // whole row
      {60, 5, 10, 10, 60, 0},     // across a tile border
      {-7, 5, 20, 13, 0, 7},      // starts left of the picture
      {90, 5, 50, 10, 90, 0},     // runs past the right edge
      {-10, 5, 200, 100, 0, 10},  // both
      {-20, 5, 20, 0, 0, 0},      // ends at column 0
      {100, 5, 5, 0, 0, 0},       // starts at the width
      {10, -1, 5, 0, 0, 0},       // row above
      {10, 100, 5, 0, 0, 0},      // row below
      {10, 5, 0, 0, 0, 0},        // nothing asked
      {10, 5, -3, 0, 0, 0},       // negative count
      {INT32_MAX - 2, 5, 10, 0, 0, 0},
  };
  std::vector<uint8_t> bytes(256);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i + 1);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "x " << c.x << " y " << c.y << " count " << c.count);
    CBlockVCH store(100, 100);
    TChannel model(100, 100);
    model.Fill(0);
    EXPECT_EQ(store.WriteRow(c.x, c.y, bytes.data(), c.count), c.written);
    for (int32_t i = 0; i < c.written; ++i) *model.GetPixelPtr(c.firstPixel + i, c.y) = bytes[c.skip + i];
    EXPECT_EQ(Difference(store, model), "");
    if (c.written == 0) {
      EXPECT_EQ(store.CommittedBytes(), 0);
    }
    std::vector<uint8_t> out(256, 0xEE);
    EXPECT_EQ(store.ReadRow(c.x, c.y, out.data(), c.count), c.written);
    for (int32_t i = 0; i < c.written; ++i) EXPECT_EQ(out[c.skip + i], bytes[c.skip + i]);
    // Entries outside the picture are left alone.
    for (int32_t i = 0; i < c.skip; ++i) EXPECT_EQ(out[i], 0xEE);
    EXPECT_EQ(out[c.skip + c.written], 0xEE);
  }
}

TEST_P(BlockVCHTest, ReadRowCommitsWhatItReads) {
  CBlockVCH store(200, 10);
  SRectWH all{0, 0, 200, 10};
  ASSERT_TRUE(store.FillRect(all, 6));
  std::vector<uint8_t> out(60);
  EXPECT_EQ(store.ReadRow(60, 3, out.data(), 60), 60);
  EXPECT_EQ(store.CommittedBytes(), 2 * 4096);
  EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](uint8_t v) { return v == 6; }));
  // A tile that cannot be committed is read as its fill.
  RefuseNextCommits(1);
  EXPECT_EQ(store.ReadRow(130, 3, out.data(), 60), 60);
  EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](uint8_t v) { return v == 6; }));
  EXPECT_EQ(store.CommittedBytes(), 2 * 4096);
}

// ---------------------------------------------------------------------------------------------
// Refused commits leave the store as it was

TEST_P(BlockVCHTest, RefusedCommitLeavesTheStoreUnchanged) {
  struct Op {
    const char* name;
    std::function<bool(CBlockVCH&, CBlockVCH& other, CBlockVMTC& layer)> run;
  };
  // Each needs tiles below or right of the committed corner of the store.
  const std::vector<Op> ops = {
      {"FillRect",
       [](CBlockVCH& s, CBlockVCH&, CBlockVMTC&) {
         SRectWH r{10, 10, 250, 200};
         return s.FillRect(r, 77);
       }},
      {"XorRect",
       [](CBlockVCH& s, CBlockVCH&, CBlockVMTC&) {
         SRectWH r{30, 5, 120, 240};
         return s.XorRect(r, 0x55);
       }},
      {"CopyFrom",
       [](CBlockVCH& s, CBlockVCH& o, CBlockVMTC&) {
         TPoint p{3, 7};
         SRectWH r{0, 0, 200, 200};
         return s.CopyFrom(o, p, r);
       }},
      {"CombineFrom",
       [](CBlockVCH& s, CBlockVCH& o, CBlockVMTC&) {
         TPoint p{-20, 11};
         SRectWH r{5, 0, 200, 200};
         return s.CombineFrom(o, p, r, MaxByteOp);
       }},
      {"CopyFromChannel",
       [](CBlockVCH& s, CBlockVCH&, CBlockVMTC&) {
         TChannel c(150, 150);
         c.Fill(3);
         TPoint p{20, 20};
         SRectWH r{0, 0, 150, 150};
         return s.CopyFromChannel(c, p, r);
       }},
      {"FillOutside",
       [](CBlockVCH& s, CBlockVCH&, CBlockVMTC&) {
         return s.FillOutside(TRect{10, 10, 150, 150}, 8);
       }},
      {"WriteRow",
       [](CBlockVCH& s, CBlockVCH&, CBlockVMTC&) {
         std::vector<uint8_t> b(280, 200);
         return s.WriteRow(-5, 200, b.data(), 280) != 0;
       }},
      {"SetPixel", [](CBlockVCH& s, CBlockVCH&, CBlockVMTC&) { return s.SetPixel(140, 140, 1); }},
      {"GrowFrom",
       [](CBlockVCH& s, CBlockVCH& o, CBlockVMTC&) {
         return s.GrowFrom(o, TRect{0, 0, 180, 180});
       }},
      {"GrowInPlace", [](CBlockVCH& s, CBlockVCH&, CBlockVMTC&) { return s.GrowAroundContent(s); }},
      {"ShrinkFrom", [](CBlockVCH& s, CBlockVCH& o, CBlockVMTC&) { return s.ShrinkFrom(o); }},
      {"FromAlpha", [](CBlockVCH& s, CBlockVCH&, CBlockVMTC& l) { return s.FromAlpha(l); }},
      {"FromLuminance", [](CBlockVCH& s, CBlockVCH&, CBlockVMTC& l) { return s.FromLuminance(l, true); }},
      {"ScaleTo", [](CBlockVCH& s, CBlockVCH& o, CBlockVMTC&) { return o.ScaleTo(s); }},
  };
  for (const Op& op : ops) {
    for (int refusals = 1; refusals <= 3; ++refusals) {
      SCOPED_TRACE(testing::Message() << op.name << ", commit " << refusals << " refused");
      std::mt19937 rng(42);
      CBlockVCH store(300, 260), other(200, 180);
      TChannel model(300, 260), otherModel(200, 180);
      model.Fill(0);
      otherModel.Fill(0);
      RandomContent(rng, store, model, 130, 110);
      RandomContent(rng, other, otherModel);
      CBlockVMTC layer(150, 130);
      ASSERT_TRUE(layer.SetPixel(5, 5, 0x80FF0000u));
      const int64_t committed = store.CommittedBytes();
      const int64_t layerCommitted = layer.CommittedBytes();
      // Let refusals - 1 commits through, then refuse one.
      SetCommitBudget(CommittedBytesTotal() + static_cast<uint64_t>(refusals - 1) * 4096);
      const bool result = op.run(store, other, layer);
      SetCommitBudget(0);
      if (refusals == 1) {
        EXPECT_FALSE(result);
      }
      if (result) {
        // Enough commits went through: the operation may succeed, but then it did its work.
        continue;
      }
      EXPECT_EQ(Difference(store, model), "");
      EXPECT_EQ(store.CommittedBytes(), committed);
      EXPECT_EQ(layer.CommittedBytes(), layerCommitted);
      EXPECT_EQ(layer.GetPixel(5, 5), 0x80FF0000u);
    }
  }
}

TEST_P(BlockVCHTest, RefusedCommitWithInjectedFaults) {
  CBlockVCH store(300, 300);
  SRectWH r{10, 10, 280, 50};
  RefuseNextCommits(1);
  EXPECT_FALSE(store.FillRect(r, 9));
  EXPECT_EQ(store.CommittedBytes(), 0);
  EXPECT_EQ(store.GetPixel(20, 20), 0);
  // The next attempt goes through.
  r = {10, 10, 280, 50};
  EXPECT_TRUE(store.FillRect(r, 9));
  EXPECT_EQ(store.GetPixel(20, 20), 9);
  EXPECT_EQ(store.CommittedBytes(), 5 * 4096);
}

// ---------------------------------------------------------------------------------------------
// Combining a store with itself

TEST_P(BlockVCHTest, CreateCopyCopiesEveryTileOrHoldsNothing) {
  std::mt19937 rng(5);
  CBlockVCH source(150, 140);
  TChannel model(150, 140);
  model.Fill(0);
  RandomContent(rng, source, model);
  SRectWH uniform{64, 64, 64, 64};
  ASSERT_TRUE(source.FillRect(uniform, 0x31));  // a fill without memory
  SRectWH m{64, 64, 64, 64};
  model.FillRect(m, 0x31);
  CBlockVCH copy;
  ASSERT_TRUE(copy.CreateCopy(source));
  EXPECT_EQ(Difference(copy, model), "");
  EXPECT_EQ(copy.CommittedTileCount(), source.CommittedTileCount());
  // A copy that cannot be completed is not a copy.
  CBlockVCH refused;
  RefuseNextCommits(2);
  EXPECT_FALSE(refused.CreateCopy(source));
  EXPECT_FALSE(refused.IsValid());
  EXPECT_EQ(refused.CommittedBytes(), 0);
}

// Regression: the commits ahead of a combine within one store could commit a tile that a later
// piece then read as its source, so the write found one more tile to commit; when that commit
// was refused, the pieces around it were written anyway and the call answered false.
TEST_P(BlockVCHTest, SelfCombineWithARefusedCommitChangesNothing) {
  for (const bool copy : {true, false}) {
    for (int allowed = 0; allowed <= 3; ++allowed) {
      SCOPED_TRACE(testing::Message() << (copy ? "CopyFrom" : "CombineFrom") << ", " << allowed
                                      << " commits allowed");
      // Tiles 0 and 1 are uniform and hold no memory; tile 2 holds noise. Tiles 1 and 2 go onto
      // tiles 0 and 1.
      CBlockVCH store(192, 64);
      TChannel model(192, 64);
      model.Fill(0);
      for (const auto& [left, value] : {std::pair{0, 3}, std::pair{64, 9}}) {
        SRectWH r{left, 0, 64, 64}, m = r;
        ASSERT_TRUE(store.FillRect(r, static_cast<uint8_t>(value)));
        model.FillRect(m, static_cast<uint8_t>(value));
      }
      std::mt19937 rng(11);
      for (int32_t y = 0; y < 64; ++y)
        for (int32_t x = 128; x < 192; ++x) {
          const uint8_t v = static_cast<uint8_t>(rng());
          ASSERT_TRUE(store.SetPixel(x, y, v));
          *model.GetPixelPtr(x, y) = v;
        }
      ASSERT_EQ(store.CommittedTileCount(), 1);
      TChannel expected(192, 64), original(192, 64);
      TPoint at{0, 0};
      SRectWH all{0, 0, 192, 64};
      ASSERT_TRUE(model.CopyRectTo(original, at, all));
      at = {0, 0};
      all = {0, 0, 192, 64};
      ASSERT_TRUE(model.CopyRectTo(expected, at, all));
      TPoint mp{0, 0};
      SRectWH mr{64, 0, 128, 64};
      ASSERT_TRUE(expected.CombineRect(original, mp, mr, copy ? SetByteOp : MaxByteOp));

      SetCommitBudget(CommittedBytesTotal() + static_cast<uint64_t>(allowed) * 4096);
      TPoint p{0, 0};
      SRectWH r{64, 0, 128, 64};
      const bool done = copy ? store.CopyFrom(store, p, r) : store.CombineFrom(store, p, r, MaxByteOp);
      SetCommitBudget(0);
      if (done) {
        EXPECT_EQ(Difference(store, expected), "");
      } else {
        EXPECT_EQ(Difference(store, original), "");
        EXPECT_EQ(store.CommittedTileCount(), 1);
      }
      if (allowed == 3) {
        EXPECT_TRUE(done);
      }
    }
  }
}

// Within one store every piece reads the store as it was before the call, whatever the overlap.
TEST_P(BlockVCHTest, SelfCombineReadsTheStoreAsItWas) {
  struct Case {
    TPoint point;
    SRectWH rect;
    ByteOp op;
  };
  const Case cases[] = {
      {{10, 5}, {0, 0, 180, 120}, SetByteOp},   // right and down, inside a tile
      {{0, 0}, {30, 70, 170, 80}, SetByteOp},   // left and up, across tile borders
      {{64, 0}, {0, 0, 128, 150}, MaxByteOp},   // whole tiles to the right
      {{-7, 40}, {0, 0, 200, 150}, MulByteOp},  // clipped at both sides
      {{3, 3}, {0, 0, 200, 150}, NotAByteOp},   // an operation called through its pointer
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.point.x << ", " << c.point.y);
    std::mt19937 rng(23);
    CBlockVCH store(200, 150);
    TChannel model(200, 150), original(200, 150);
    model.Fill(0);
    RandomContent(rng, store, model);
    SRectWH uniform{128, 64, 64, 64};  // a fill without memory among the pieces
    ASSERT_TRUE(store.FillRect(uniform, 0x44));
    SRectWH m{128, 64, 64, 64};
    model.FillRect(m, 0x44);
    TPoint at{0, 0};
    SRectWH all{0, 0, 200, 150};
    ASSERT_TRUE(model.CopyRectTo(original, at, all));
    TPoint p = c.point, mp = c.point;
    SRectWH r = c.rect, mr = c.rect;
    ASSERT_EQ(store.CombineFrom(store, p, r, c.op), model.CombineRect(original, mp, mr, c.op));
    EXPECT_EQ(p, mp);
    EXPECT_EQ(r, mr);
    EXPECT_EQ(Difference(store, model), "");
  }
}

// ---------------------------------------------------------------------------------------------
// Random operations against a flat model

TEST_P(BlockVCHTest, RandomOperationsMatchAFlatChannel) {
  std::mt19937 rng(GetParam() ? 20240601 : 7);
  const int32_t w = 203, h = 141;
  // The source has committed tiles, uniform uncommitted tiles and blank ones.
  CBlockVCH store(w, h), source(260, 250);
  TChannel model(w, h), sourceModel(260, 250);
  model.Fill(0);
  sourceModel.Fill(0);
  RandomContent(rng, source, sourceModel, 150, 120);
  for (SRectWH tile : {SRectWH{192, 0, 64, 64}, SRectWH{128, 192, 64, 58}, SRectWH{0, 128, 64, 64}}) {
    SRectWH m = tile;
    const uint8_t v = static_cast<uint8_t>(rng() | 1);
    ASSERT_TRUE(source.FillRect(tile, v));
    sourceModel.FillRect(m, v);
  }
  ASSERT_EQ(source.CommittedTileCount(), 6);
  auto randomRect = [&](int32_t maxW, int32_t maxH) {
    return SRectWH{static_cast<int32_t>(rng() % (maxW + 40)) - 20, static_cast<int32_t>(rng() % (maxH + 40)) - 20,
                   static_cast<int32_t>(rng() % (maxW + 20)), static_cast<int32_t>(rng() % (maxH + 20))};
  };
  auto tileAligned = [&]() {
    // Whole tiles, so that the fill-only paths run.
    const int32_t c = static_cast<int32_t>(rng() % 4), r = static_cast<int32_t>(rng() % 3);
    return SRectWH{c * 64, r * 64, 64 * static_cast<int32_t>(rng() % 3 + 1),
                   64 * static_cast<int32_t>(rng() % 3 + 1)};
  };
  const ByteOp byteOps[] = {SetByteOp, MaxByteOp, MulByteOp, NotAByteOp};
  for (int step = 0; step < 400; ++step) {
    const int kind = static_cast<int>(rng() % 10);
    const uint8_t value = static_cast<uint8_t>(rng() % 3 == 0 ? 0 : rng());
    SCOPED_TRACE(testing::Message() << "step " << step << " kind " << kind);
    switch (kind) {
      case 0:
      case 1: {
        SRectWH r = kind == 0 ? randomRect(w, h) : tileAligned();
        SRectWH m = r;
        const bool a = store.FillRect(r, value);
        const bool b = model.FillRect(m, value);
        ASSERT_EQ(a, b);
        if (a) {
          ASSERT_EQ(r, m);
        }
        break;
      }
      case 2: {
        SRectWH r = rng() % 2 ? randomRect(w, h) : tileAligned();
        SRectWH m = r;
        ASSERT_EQ(store.XorRect(r, value), model.XorRect(m, value));
        break;
      }
      case 3:
      case 4: {
        // Combines from another store, sometimes tile to tile.
        const ByteOp op = byteOps[rng() % 4];
        TPoint p{static_cast<int32_t>(rng() % (w + 40)) - 20, static_cast<int32_t>(rng() % (h + 40)) - 20};
        SRectWH r = randomRect(260, 250);
        if (rng() % 3 == 0) {
          p = {static_cast<int32_t>(rng() % 4) * 64, static_cast<int32_t>(rng() % 3) * 64};
          r = {static_cast<int32_t>(rng() % 4) * 64, static_cast<int32_t>(rng() % 4) * 64, 64, 128};
        }
        TPoint mp = p;
        SRectWH mr = r;
        const bool a = kind == 3 ? store.CombineFrom(source, p, r, op) : store.CopyFrom(source, p, r);
        const bool b = model.CombineRect(sourceModel, mp, mr, kind == 3 ? op : SetByteOp);
        ASSERT_EQ(a, b);
        if (a) {
          ASSERT_EQ(p, mp);
          ASSERT_EQ(r, mr);
        }
        break;
      }
      case 5: {
        TChannel flat(static_cast<int32_t>(rng() % 90 + 1), static_cast<int32_t>(rng() % 90 + 1));
        for (int32_t y = 0; y < flat.Height(); ++y)
          for (int32_t x = 0; x < flat.Width(); ++x)
            *flat.GetPixelPtr(x, y) = static_cast<uint8_t>(rng() % 4 * 60);
        TPoint p{static_cast<int32_t>(rng() % (w + 40)) - 40, static_cast<int32_t>(rng() % (h + 40)) - 40};
        SRectWH r{static_cast<int32_t>(rng() % 10), static_cast<int32_t>(rng() % 10), flat.Width(),
                  flat.Height()};
        TPoint mp = p;
        SRectWH mr = r;
        ASSERT_EQ(store.CopyFromChannel(flat, p, r), flat.CopyRectTo(model, mp, mr));
        break;
      }
      case 6: {
        std::vector<uint8_t> row(300);
        for (auto& b : row) b = static_cast<uint8_t>(rng());
        const int32_t x = static_cast<int32_t>(rng() % (w + 60)) - 30;
        const int32_t y = static_cast<int32_t>(rng() % (h + 4)) - 2;
        const int32_t count = static_cast<int32_t>(rng() % 250);
        const int32_t written = store.WriteRow(x, y, row.data(), count);
        int32_t expected = 0;
        if (y >= 0 && y < h)
          for (int32_t i = 0; i < count; ++i)
            if (x + i >= 0 && x + i < w) {
              *model.GetPixelPtr(x + i, y) = row[i];
              ++expected;
            }
        ASSERT_EQ(written, expected);
        break;
      }
      case 7: {
        TRect b{static_cast<int32_t>(rng() % w) - 10, static_cast<int32_t>(rng() % h) - 10, 0, 0};
        b.right = b.left + static_cast<int32_t>(rng() % w);
        b.bottom = b.top + static_cast<int32_t>(rng() % h);
        store.FillOutside(b, value);
        for (int32_t y = 0; y < h; ++y)
          for (int32_t x = 0; x < w; ++x)
            if (!(x >= b.left && x < b.right && y >= b.top && y < b.bottom)) *model.GetPixelPtr(x, y) = value;
        break;
      }
      case 8: {
        // A second store built from the model's picture, then copied back whole.
        CBlockVCH copy(w, h);
        TPoint p{0, 0};
        SRectWH r{0, 0, w, h};
        ASSERT_TRUE(copy.CopyFromChannel(model, p, r));
        copy.Compact();
        ASSERT_EQ(Difference(copy, model), "");
        ASSERT_TRUE(store.CopyAllFrom(copy, 0, 0));
        break;
      }
      default: store.Compact(); break;
    }
    ASSERT_EQ(Difference(store, model), "");
  }
  // Bounds and rows agree with the model.
  TRect a{}, b{};
  ASSERT_EQ(store.GetNonZeroBounds(a), model.GetNonZeroBounds(b));
  EXPECT_EQ(a, b);
  std::vector<uint8_t> row(w);
  for (int32_t y = 0; y < h; y += 13) {
    ASSERT_EQ(store.ReadRow(0, y, row.data(), w), w);
    for (int32_t x = 0; x < w; ++x) ASSERT_EQ(row[x], model.GetPixel(x, y));
  }
  store.Compact();
  EXPECT_EQ(Difference(store, model), "");
  // After Compact no committed tile is uniform.
  for (int32_t i = 0; i < store.TileCount(); ++i) {
    const STileInfo& t = store.TileByIndex(i);
    EXPECT_FALSE(t.committed && std::all_of(t.block, t.block + 4096, [&](uint8_t v) { return v == t.block[0]; }));
  }
}

TEST_P(BlockVCHTest, CopyToChannelSkipsZeroFillsWhenAsked) {
  CBlockVCH store(128, 64);
  SRectWH right{64, 0, 64, 64};
  ASSERT_TRUE(store.FillRect(right, 5));
  ASSERT_TRUE(store.SetPixel(1, 1, 9));
  SRectWH left{0, 0, 64, 64};
  ASSERT_TRUE(store.FillRect(left, 0));  // committed tile of zeros
  ASSERT_TRUE(store.SetPixel(1, 1, 9));
  TChannel channel(128, 64);
  channel.Fill(0xEE);
  ASSERT_TRUE(store.CopyAllToChannel(channel, 0, 0, true));
  EXPECT_EQ(channel.GetPixel(1, 1), 9);
  EXPECT_EQ(channel.GetPixel(2, 2), 0);  // committed: copied
  EXPECT_EQ(channel.GetPixel(70, 2), 5);
  CBlockVCH empty(128, 64);
  channel.Fill(0xEE);
  ASSERT_TRUE(empty.CopyAllToChannel(channel, 0, 0, true));
  EXPECT_EQ(channel.GetPixel(70, 2), 0xEE);
  ASSERT_TRUE(empty.CopyAllToChannel(channel, 0, 0, false));
  EXPECT_EQ(channel.GetPixel(70, 2), 0);
}

// ---------------------------------------------------------------------------------------------
// Morphology

// 3x3 maximum or minimum with reads clamped at the source's edge.
std::unique_ptr<TChannel> NaiveMorphology(const TChannel& source, bool max) {
  auto out = std::make_unique<TChannel>(source);
  for (int32_t y = 0; y < source.Height(); ++y)
    for (int32_t x = 0; x < source.Width(); ++x) {
      uint8_t v = source.GetPixel(x, y);
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
          const uint8_t s = source.GetPixelClamped(x + dx, y + dy);
          v = max ? std::max(v, s) : std::min(v, s);
        }
      *out->GetPixelPtr(x, y) = v;
    }
  return out;
}

TEST_P(BlockVCHTest, GrowAndShrinkASinglePixel) {
  CBlockVCH mask(100, 100), grown(100, 100), shrunk(100, 100);
  ASSERT_TRUE(mask.SetPixel(5, 5, 255));
  ASSERT_TRUE(grown.GrowFrom(mask, TRect{0, 0, 100, 100}));
  for (int32_t y = 0; y < 10; ++y)
    for (int32_t x = 0; x < 10; ++x)
      EXPECT_EQ(grown.GetPixel(x, y), (x >= 4 && x <= 6 && y >= 4 && y <= 6) ? 255 : 0) << x << ", " << y;
  ASSERT_TRUE(shrunk.ShrinkFrom(grown));
  TRect b{};
  ASSERT_TRUE(shrunk.GetNonZeroBounds(b));
  EXPECT_EQ(b, (TRect{5, 5, 6, 6}));
  // Bounds outside this store are clipped, not written through.
  EXPECT_FALSE(grown.GrowFrom(mask, TRect{200, 200, 300, 300}));
  EXPECT_TRUE(grown.GrowFrom(mask, TRect{-50, -50, 500, 500}));
}

TEST_P(BlockVCHTest, MorphologyMatchesANaiveFilterAcrossTileBorders) {
  std::mt19937 rng(99);
  for (bool inPlace : {false, true}) {
    SCOPED_TRACE(inPlace ? "in place" : "into another store");
    CBlockVCH source(150, 140);
    TChannel model(150, 140);
    model.Fill(0);
    RandomContent(rng, source, model);
    CBlockVCH other(150, 140);
    CBlockVCH& grown = inPlace ? source : other;
    ASSERT_TRUE(grown.GrowAroundContent(source));
    EXPECT_EQ(Difference(grown, *NaiveMorphology(model, true)), "");

    CBlockVCH shrinkSource(150, 140);
    TChannel shrinkModel(150, 140);
    shrinkModel.Fill(0);
    SRectWH all{0, 0, 150, 140};
    ASSERT_TRUE(shrinkSource.FillRect(all, 200));
    SRectWH m = all;
    shrinkModel.FillRect(m, 200);
    RandomContent(rng, shrinkSource, shrinkModel);
    CBlockVCH other2(150, 140);
    CBlockVCH& shrunk = inPlace ? shrinkSource : other2;
    ASSERT_TRUE(shrunk.ShrinkFrom(shrinkSource));
    EXPECT_EQ(Difference(shrunk, *NaiveMorphology(shrinkModel, false)), "");
  }
}

TEST_P(BlockVCHTest, GrowInsideContentLeavesPixelsOutsideTheContentTiles) {
  CBlockVCH mask(200, 64), grown(200, 64);
  ASSERT_TRUE(mask.SetPixel(63, 10, 255));  // tile 0's right column
  ASSERT_TRUE(grown.GrowInsideContent(mask));
  EXPECT_EQ(grown.GetPixel(62, 10), 255);
  EXPECT_EQ(grown.GetPixel(64, 10), 0);  // next tile not computed
  ASSERT_TRUE(grown.GrowAroundContent(mask));
  EXPECT_EQ(grown.GetPixel(64, 10), 255);
  CBlockVCH empty(200, 64);
  EXPECT_FALSE(grown.GrowInsideContent(empty));
  EXPECT_FALSE(grown.ShrinkFrom(empty));
}

// ---------------------------------------------------------------------------------------------
// From 32-bit stores

TEST_P(BlockVCHTest, LuminanceAndAlphaOfA32BitStore) {
  CBlockVMTC layer(100, 70);
  ASSERT_TRUE(layer.SetPixel(1, 1, 0xFFFFFFFFu));  // opaque white
  ASSERT_TRUE(layer.SetPixel(2, 1, 0x00FFFFFFu));  // transparent white
  ASSERT_TRUE(layer.SetPixel(3, 1, 0x80406080u));
  CBlockVCH mask(80, 90);
  ASSERT_TRUE(mask.FromLuminance(layer, false));
  EXPECT_EQ(mask.GetPixel(1, 1), 255);
  EXPECT_EQ(mask.GetPixel(2, 1), 0);
  const uint32_t p = 0x80406080u;
  EXPECT_EQ(mask.GetPixel(3, 1), static_cast<uint8_t>(PixelLuminance(&p) * 0x80 / 255));
  EXPECT_EQ(mask.GetPixel(79, 69), 0);
  ASSERT_TRUE(mask.FromLuminance(layer, true));
  EXPECT_EQ(mask.GetPixel(1, 1), 0);
  EXPECT_EQ(mask.GetPixel(2, 1), 0);
  EXPECT_EQ(mask.GetPixel(3, 1), static_cast<uint8_t>((255 - PixelLuminance(&p)) * 0x80 / 255));
  ASSERT_TRUE(mask.FromAlpha(layer));
  EXPECT_EQ(mask.GetPixel(1, 1), 255);
  EXPECT_EQ(mask.GetPixel(3, 1), 0x80);
  // Both stores are committed over the shared area; the mask is not compacted.
  EXPECT_EQ(layer.CommittedTileCount(), 3 * 3);
  EXPECT_EQ(mask.CommittedTileCount(), 2 * 2);
  // Below the layer the mask keeps what it had.
  ASSERT_TRUE(mask.SetPixel(10, 80, 7));
  ASSERT_TRUE(mask.FromAlpha(layer));
  EXPECT_EQ(mask.GetPixel(10, 80), 7);
}

// ---------------------------------------------------------------------------------------------
// Scaled output

TEST_P(BlockVCHTest, DrawScaledToAveragesBoxesOfSamples) {
  std::mt19937 rng(5);
  CBlockVCH store(130, 70);
  TChannel model(130, 70);
  model.Fill(0);
  RandomContent(rng, store, model);
  struct Case {
    int32_t imageW, imageH;
    SRectWH dest;
    SRectWH source;
  };
  const Case cases[] = {
      {16, 9, {0, 0, 16, 9}, {0, 0, 130, 70}},        // reduction: 9x8 boxes
      {16, 9, {-3, 2, 10, 50}, {10, 5, 100, 60}},     // part of the image, clipped
      {300, 100, {0, 0, 300, 100}, {0, 0, 130, 70}},  // enlargement: one sample
      {20, 20, {0, 0, 20, 20}, {120, 60, 40, 40}},    // samples past the store read 0
  };
  for (const Case& c : cases) {
    TMTC image(c.imageW, c.imageH);
    image.FillAll(0xDEADBEEFu);
    ASSERT_TRUE(store.DrawScaledTo(image, c.dest.left, c.dest.top, c.dest.width, c.dest.height, c.source.left,
                                   c.source.top, c.source.width, c.source.height));
    const int64_t xStep = int64_t{c.source.width} * 1024 / c.imageW;
    const int64_t yStep = int64_t{c.source.height} * 1024 / c.imageH;
    const int32_t bw = c.source.width / c.imageW, bh = c.source.height / c.imageH;
    for (int32_t y = 0; y < c.imageH; ++y)
      for (int32_t x = 0; x < c.imageW; ++x) {
        const bool inside = x >= c.dest.left && x < c.dest.left + c.dest.width && y >= c.dest.top &&
                            y < c.dest.top + c.dest.height;
        if (!inside) {
          ASSERT_EQ(image.GetPixel(x, y), 0xDEADBEEFu);
          continue;
        }
        const int32_t ox = c.source.left + static_cast<int32_t>((xStep * x) >> 10);
        const int32_t oy = c.source.top + static_cast<int32_t>((yStep * y) >> 10);
        uint32_t sum = 0;
        for (int32_t j = 0; j <= bh; ++j)
          for (int32_t i = 0; i <= bw; ++i) {
            const int32_t sx = ox + i, sy = oy + j;
            sum += (sx < 130 && sy < 70) ? model.GetPixel(sx, sy) : 0;
          }
        const uint32_t v = sum / ((bw + 1) * (bh + 1));
        ASSERT_EQ(image.GetPixel(x, y), v * 0x010101u) << x << ", " << y;
      }
  }
  TMTC image(4, 4);
  EXPECT_FALSE(store.DrawScaledTo(image, 10, 10, 5, 5, 0, 0, 130, 70));
  EXPECT_FALSE(store.DrawScaledTo(image, 0, 0, 4, 4, 0, 0, 0, 70));
}

TEST_P(BlockVCHTest, ScaleToSamplesSixteenPointsAndCompacts) {
  CBlockVCH small(2, 2), one(1, 1);
  ASSERT_TRUE(small.SetPixel(0, 0, 16));
  ASSERT_TRUE(small.SetPixel(1, 0, 32));
  ASSERT_TRUE(small.SetPixel(0, 1, 64));
  ASSERT_TRUE(small.SetPixel(1, 1, 128));
  ASSERT_TRUE(small.ScaleTo(one));
  EXPECT_EQ(one.GetPixel(0, 0), (4 * 16 + 4 * 32 + 4 * 64 + 4 * 128) / 16);
  EXPECT_EQ(one.CommittedBytes(), 0);  // uniform after the write: released

  std::mt19937 rng(11);
  CBlockVCH source(170, 150);
  TChannel model(170, 150);
  model.Fill(0);
  RandomContent(rng, source, model);
  for (SSize size : {SSize{61, 37}, SSize{300, 200}, SSize{170, 150}}) {
    CBlockVCH dest(size.width, size.height);
    ASSERT_TRUE(dest.XorAll(3));
    ASSERT_TRUE(source.ScaleTo(dest));
    const int64_t xStep = 170 * 1024 / size.width, yStep = 150 * 1024 / size.height;
    const int64_t qx = (170 * 1024 / 4) / size.width, qy = (150 * 1024 / 4) / size.height;
    TChannel expected(size.width, size.height);
    for (int32_t y = 0; y < size.height; ++y)
      for (int32_t x = 0; x < size.width; ++x) {
        uint32_t sum = 0;
        for (int i = 0; i < 4; ++i)
          for (int j = 0; j < 4; ++j)
            sum += model.GetPixelClamped(static_cast<int32_t>((xStep * x + qx * j) >> 10),
                                         static_cast<int32_t>((yStep * y + qy * i) >> 10));
        *expected.GetPixelPtr(x, y) = static_cast<uint8_t>(sum / 16);
      }
    EXPECT_EQ(Difference(dest, expected), "");
    for (int32_t i = 0; i < dest.TileCount(); ++i) {
      const STileInfo& t = dest.TileByIndex(i);
      EXPECT_FALSE(t.committed &&
                   std::all_of(t.block, t.block + 4096, [&](uint8_t v) { return v == t.block[0]; }));
    }
  }
  EXPECT_FALSE(source.ScaleTo(source));
}

}  // namespace
}  // namespace tf
