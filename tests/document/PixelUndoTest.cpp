#include "document/PixelUndo.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "platform/AddressSpace.h"
#include "platform/Warning.h"
#include "raster/BlockVMTC.h"
#include "support/FakeLayers.h"
#include "support/TestRng.h"
#include "support/TestStores.h"

namespace tf {
namespace {

using test::FakeLayers;
using test::GridPixels;
using test::PatternStore;

// A change over a rectangle: a pattern of its own, so that every pixel differs.
void Scribble(CBlockVMTC& store, SRectWH rect, uint32_t seed) {
  if (!store.ClipRect(rect)) return;
  for (int32_t y = rect.top; y < rect.top + rect.height; ++y)
    for (int32_t x = rect.left; x < rect.left + rect.width; ++x)
      store.SetPixel(x, y, seed ^ (x * 2654435761u + y));
}

class PixelUndo : public testing::Test {
 protected:
  void SetUp() override {
    ResetAddressSpaceSettings();
    SetWarningHost(&warnings);
  }
  void TearDown() override {
    ResetAddressSpaceSettings();
    SetWarningHost(nullptr);
  }
  RecordingWarningHost warnings;
};

// ---------------------------------------------------------------------------------------------
// Lists

std::unique_ptr<CUndoData> Record(int32_t id) { return std::make_unique<CUndoData>(id); }

std::vector<int32_t> Ids(const CUndoList& list) {
  std::vector<int32_t> ids;
  for (int32_t i = 0; i < list.Count(); ++i) ids.push_back(list.Get(i)->layerId);
  return ids;
}

TEST(UndoList, BoundedListDropsTheOldest) {
  CUndoList list(2, false);
  EXPECT_EQ(list.Capacity(), 4);
  for (int32_t id = 1; id <= 6; ++id) {
    auto record = Record(id);
    ASSERT_TRUE(list.Push(std::move(record)));
    EXPECT_EQ(record, nullptr);
  }
  EXPECT_EQ(Ids(list), (std::vector<int32_t>{6, 5, 4, 3}));
  EXPECT_TRUE(list.DropOldest());
  EXPECT_EQ(Ids(list), (std::vector<int32_t>{6, 5, 4}));
  EXPECT_FALSE(list.DeleteAt(3));
  EXPECT_FALSE(list.DeleteAt(-1));
  EXPECT_TRUE(list.DeleteAt(1));
  EXPECT_EQ(Ids(list), (std::vector<int32_t>{6, 4}));
  std::unique_ptr<CUndoData> detached = list.Detach(0);
  ASSERT_TRUE(detached);
  EXPECT_EQ(detached->layerId, 6);
  EXPECT_EQ(list.Detach(5), nullptr);
  EXPECT_EQ(list.Get(1), nullptr);
  EXPECT_EQ(list.Clear(), 1);
  EXPECT_FALSE(list.DropOldest());
  EXPECT_FALSE(list.Push(nullptr));
}

TEST(UndoList, GrowableListKeepsEverything) {
  CUndoList list(1, true);
  for (int32_t id = 0; id < 50; ++id) ASSERT_TRUE(list.Push(Record(id)));
  EXPECT_EQ(list.Count(), 50);
  EXPECT_EQ(list.Get(0)->layerId, 49);
  EXPECT_EQ(list.Get(49)->layerId, 0);
}

TEST(UndoList, AssignMakesIndependentCopies) {
  auto layer = PatternStore(64, 64, 2);
  auto source = std::make_unique<CUndoList>(8, true);
  for (int32_t id = 1; id <= 3; ++id) {
    auto record = CUndoData::CreateRect(id, kUndoStroke, {0, 0, 64, 64});
    ASSERT_TRUE(record->SavePixels(*layer, {0, 0, 64, 64}));
    record->table = {1, 2};
    ASSERT_TRUE(source->Push(std::move(record)));
  }
  CUndoList copy(4, false);
  ASSERT_TRUE(copy.Assign(*source));
  EXPECT_EQ(copy.Capacity(), 8);
  EXPECT_TRUE(copy.Growable());
  EXPECT_EQ(Ids(copy), (std::vector<int32_t>{3, 2, 1}));
  EXPECT_EQ(copy.MemorySize(), source->MemorySize());
  EXPECT_EQ(copy.HeavyCount(), 3);
  source.reset();  // the copies own their own stores and tables
  EXPECT_EQ(GridPixels(*copy.Get(0)->Pixels()), GridPixels(*layer));
  EXPECT_EQ(copy.Get(2)->table[1], 2);
}

// ---------------------------------------------------------------------------------------------
// Saving, undo and redo

TEST_F(PixelUndo, SaveChangeUndoRedoIsByteExact) {
  auto layer = PatternStore(150, 100, 5);
  CUndoMngr undo(8, 8);
  const std::vector<uint32_t> original = GridPixels(*layer);
  const SRectWH area{20, 30, 70, 45};
  ASSERT_TRUE(undo.SaveRect(0, 42, *layer, area));
  Scribble(*layer, area, 0xA5A5A5A5);
  const std::vector<uint32_t> changed = GridPixels(*layer);
  ASSERT_NE(changed, original);

  SRectWH refreshed{};
  ASSERT_TRUE(undo.UndoPixels(*layer, refreshed));
  EXPECT_EQ(refreshed, (SRectWH{0, 0, 96, 96}));  // the area aligned to tiles
  EXPECT_EQ(GridPixels(*layer), original);
  EXPECT_EQ(undo.UndoCount(), 0);
  EXPECT_EQ(undo.RedoCount(), 1);

  ASSERT_TRUE(undo.RedoPixels(*layer, refreshed));
  EXPECT_EQ(refreshed, (SRectWH{0, 0, 96, 96}));
  EXPECT_EQ(GridPixels(*layer), changed);
  EXPECT_EQ(undo.UndoCount(), 1);
  EXPECT_EQ(undo.RedoCount(), 0);

  ASSERT_TRUE(undo.UndoPixels(*layer, refreshed));
  EXPECT_EQ(GridPixels(*layer), original);
  EXPECT_TRUE(warnings.Texts().empty());
}

// A record of the whole store trades tiles with the layer instead of copying: the pixels, the
// fill values of uncommitted tiles and the content rectangles come out as a copy would give them,
// and each store stays whole after the other is gone.
TEST_F(PixelUndo, WholeStoreRecordsTradeTilesAndStayExact) {
  auto layer = PatternStore(96, 64, 3);  // whole tiles: the record covers the store exactly
  SRectWH blank{32, 32, 32, 32};
  layer->FillRect(blank, 0x11223344);
  layer->Compact();  // one tile reads as a fill value only
  const std::vector<uint32_t> original = GridPixels(*layer);
  const int64_t committedBefore = layer->CommittedBytes();
  std::vector<uint32_t> changed;
  {
    CUndoMngr undo(8, 8);
    ASSERT_TRUE(undo.SaveRect(0, 7, *layer, {0, 0, 96, 64}));
    Scribble(*layer, {10, 5, 70, 50}, 0x5A5A5A5A);
    changed = GridPixels(*layer);
    SRectWH refreshed{};
    for (int round = 0; round < 3; ++round) {
      ASSERT_TRUE(undo.UndoPixels(*layer, refreshed));
      EXPECT_EQ(refreshed, (SRectWH{0, 0, 96, 64}));
      EXPECT_EQ(GridPixels(*layer), original);
      EXPECT_EQ(layer->CommittedBytes(), committedBefore);
      const CBlockVMTC copy(*layer);
      ASSERT_EQ(layer->ContentRects().count, copy.ContentRects().count);
      for (int32_t i = 0; i < copy.ContentRects().count; ++i)
        EXPECT_EQ(layer->ContentRects().rects[i], copy.ContentRects().rects[i]);
      ASSERT_TRUE(undo.RedoPixels(*layer, refreshed));
      EXPECT_EQ(GridPixels(*layer), changed);
    }
    ASSERT_TRUE(undo.UndoPixels(*layer, refreshed));
  }  // the records, holding the tiles the layer had, are freed here
  EXPECT_EQ(GridPixels(*layer), original);
  Scribble(*layer, {0, 0, 96, 64}, 9);  // the traded tiles are the layer's own to write
  EXPECT_NE(GridPixels(*layer), original);
}

// A layer whose sides are not whole tiles keeps the copying path, with the same results.
TEST_F(PixelUndo, PartTileStoresUndoWholeByCopying) {
  auto layer = PatternStore(70, 45, 4);
  CUndoMngr undo(8, 8);
  const std::vector<uint32_t> original = GridPixels(*layer);
  ASSERT_TRUE(undo.SaveRect(0, 1, *layer, {0, 0, 70, 45}));
  Scribble(*layer, {0, 0, 70, 45}, 0x77);
  const std::vector<uint32_t> changed = GridPixels(*layer);
  SRectWH refreshed{};
  ASSERT_TRUE(undo.UndoPixels(*layer, refreshed));
  EXPECT_EQ(GridPixels(*layer), original);
  ASSERT_TRUE(undo.RedoPixels(*layer, refreshed));
  EXPECT_EQ(GridPixels(*layer), changed);
}

TEST_F(PixelUndo, SeveralChangesUndoneInReverseOrder) {
  auto layer = PatternStore(130, 130, 8);
  CUndoMngr undo(8, 8);
  std::vector<std::vector<uint32_t>> states{GridPixels(*layer)};
  const SRectWH areas[] = {{0, 0, 40, 40}, {20, 20, 60, 10}, {100, 100, 30, 30}, {10, 90, 5, 5}};
  uint32_t seed = 1;
  for (const SRectWH& area : areas) {
    ASSERT_TRUE(undo.SaveRectCode(0, 1, kUndoLayerRect, *layer, area));
    Scribble(*layer, area, seed++);
    states.push_back(GridPixels(*layer));
  }
  SRectWH refreshed{};
  for (size_t i = states.size() - 1; i > 0; --i) {
    ASSERT_TRUE(undo.UndoPixels(*layer, refreshed));
    EXPECT_EQ(GridPixels(*layer), states[i - 1]) << i;
  }
  EXPECT_FALSE(undo.UndoPixels(*layer, refreshed));
  for (size_t i = 1; i < states.size(); ++i) {
    ASSERT_TRUE(undo.RedoPixels(*layer, refreshed));
    EXPECT_EQ(GridPixels(*layer), states[i]) << i;
  }
  EXPECT_FALSE(undo.RedoPixels(*layer, refreshed));
}

// Random saves, changes, undos and redos against a model that keeps whole pictures: the
// layer must always equal the model, uniform and compacted tiles included.
TEST_F(PixelUndo, RandomStepsMatchAModelOfWholePictures) {
  test::XorShiftRng rng(0x5EED1234ABCDull);
  auto layer = PatternStore(133, 97, 12);
  CUndoMngr undo(8, 3);                                     // redo capacity 4
  std::vector<std::vector<uint32_t>> undoModel, redoModel;  // newest last
  auto pushBounded = [](std::vector<std::vector<uint32_t>>& list, std::vector<uint32_t> state, size_t bound) {
    list.push_back(std::move(state));
    if (list.size() > bound) list.erase(list.begin());
  };
  for (int step = 0; step < 200; ++step) {
    SCOPED_TRACE(step);
    const uint32_t what = rng.Next() % 10;
    SRectWH refreshed{};
    if (what < 5) {
      SRectWH area{static_cast<int32_t>(rng.Next() % 180) - 30, static_cast<int32_t>(rng.Next() % 140) - 30,
                   static_cast<int32_t>(rng.Next() % 70) + 1, static_cast<int32_t>(rng.Next() % 70) + 1};
      std::vector<uint32_t> before = GridPixels(*layer);
      if (!undo.SaveRect(0, 1, *layer, area)) {
        SRectWH clipped = area;
        ASSERT_FALSE(layer->ClipRect(clipped));  // only a rectangle outside the store saves nothing
        continue;
      }
      pushBounded(undoModel, std::move(before), 8);
      redoModel.clear();
      if (rng.Next() % 2) {
        Scribble(*layer, area, rng.Next());
      } else {
        SRectWH fill = area;
        layer->FillRect(fill, rng.Next() % 3 == 0 ? 0x00FFFFFFu : rng.Next());
        layer->Compact();
      }
    } else if (what < 8) {
      std::vector<uint32_t> before = GridPixels(*layer);
      const bool done = undo.UndoPixels(*layer, refreshed);
      ASSERT_EQ(done, !undoModel.empty());
      if (done) {
        ASSERT_EQ(GridPixels(*layer), undoModel.back());
        undoModel.pop_back();
        pushBounded(redoModel, std::move(before), 4);
      }
    } else {
      std::vector<uint32_t> before = GridPixels(*layer);
      const bool done = undo.RedoPixels(*layer, refreshed);
      ASSERT_EQ(done, !redoModel.empty());
      if (done) {
        ASSERT_EQ(GridPixels(*layer), redoModel.back());
        redoModel.pop_back();
        pushBounded(undoModel, std::move(before), 8);
      }
    }
    ASSERT_EQ(undo.UndoCount(), static_cast<int32_t>(undoModel.size()));
    ASSERT_EQ(undo.RedoCount(), static_cast<int32_t>(redoModel.size()));
  }
  EXPECT_TRUE(warnings.Texts().empty());
}

TEST_F(PixelUndo, OnePixelSavesItsWholeTile) {
  auto layer = PatternStore(100, 100, 4);
  CUndoMngr undo(8, 8);
  const std::vector<uint32_t> original = GridPixels(*layer);
  ASSERT_TRUE(undo.SaveRect(0, 1, *layer, {33, 33, 1, 1}));
  const CUndoData* record = undo.UndoList().Get(0);
  EXPECT_EQ(record->rect, (SRectWH{32, 32, 32, 32}));
  EXPECT_EQ(record->Pixels()->Width(), 32);
  EXPECT_EQ(record->layerIndex, 0);
  EXPECT_EQ(record->code, kUndoOwnPixels);

  // Change the whole tile and a pixel of its neighbour.
  SRectWH tile{32, 32, 32, 32};
  layer->FillRect(tile, 0xFF0000FF);
  layer->SetPixel(64, 32, 0xFF00FF00);
  SRectWH refreshed{};
  ASSERT_TRUE(undo.UndoPixels(*layer, refreshed));
  EXPECT_EQ(refreshed, (SRectWH{32, 32, 32, 32}));
  std::vector<uint32_t> expected = original;
  expected[64 + 32 * 128] = 0xFF00FF00;  // outside the tile: not part of the undo
  EXPECT_EQ(GridPixels(*layer), expected);
}

TEST_F(PixelUndo, RectangleReachingPastTheStoreIsClippedFirst) {
  auto layer = PatternStore(90, 70, 6);
  CUndoMngr undo(8, 8);
  const std::vector<uint32_t> original = GridPixels(*layer);
  const SRectWH area{-50, -20, 100, 200};
  ASSERT_TRUE(undo.SaveRect(0, 1, *layer, area));
  EXPECT_EQ(undo.UndoList().Get(0)->rect, (SRectWH{0, 0, 64, 96}));
  Scribble(*layer, area, 77);
  SRectWH refreshed{};
  ASSERT_TRUE(undo.UndoPixels(*layer, refreshed));
  EXPECT_EQ(GridPixels(*layer), original);

  // Wholly outside: nothing can change, nothing is saved, no warning.
  EXPECT_FALSE(undo.SaveRect(0, 1, *layer, {-40, 0, 40, 10}));
  EXPECT_FALSE(undo.SaveRect(0, 1, *layer, {90, 0, 10, 10}));
  EXPECT_EQ(undo.UndoCount(), 0);
  EXPECT_TRUE(warnings.Texts().empty());
}

TEST_F(PixelUndo, LimitsTwoKeepTheTwoNewest) {
  auto layer = PatternStore(64, 64, 1);
  CUndoMngr undo(2, 2);
  EXPECT_EQ(undo.UndoList().Capacity(), 4);
  EXPECT_EQ(undo.RedoList().Capacity(), 4);
  for (int32_t id = 1; id <= 5; ++id) ASSERT_TRUE(undo.SaveRect(0, id, *layer, {0, 0, 10, 10}));
  EXPECT_EQ(Ids(undo.UndoList()), (std::vector<int32_t>{5, 4}));
}

TEST_F(PixelUndo, LimitZeroDisablesSaving) {
  auto layer = PatternStore(64, 64, 1);
  CUndoMngr undo(0, 8);
  EXPECT_FALSE(undo.IsEnabled());
  EXPECT_FALSE(undo.SaveRect(0, 1, *layer, {0, 0, 10, 10}));
  EXPECT_EQ(undo.UndoCount(), 0);
  EXPECT_TRUE(warnings.Texts().empty());
}

TEST_F(PixelUndo, SavingAfterUndoEndsTheRedoChain) {
  auto layer = PatternStore(64, 64, 1);
  CUndoMngr undo(8, 8);
  ASSERT_TRUE(undo.SaveRect(0, 1, *layer, {0, 0, 10, 10}));
  ASSERT_TRUE(undo.SaveRect(0, 1, *layer, {40, 40, 10, 10}));
  SRectWH refreshed{};
  ASSERT_TRUE(undo.UndoPixels(*layer, refreshed));
  ASSERT_TRUE(undo.UndoPixels(*layer, refreshed));
  EXPECT_EQ(undo.RedoCount(), 2);
  ASSERT_TRUE(undo.SaveRect(0, 1, *layer, {0, 0, 10, 10}));
  EXPECT_EQ(undo.RedoCount(), 0);
  EXPECT_FALSE(undo.CanRedo());
  EXPECT_TRUE(undo.CanUndo());
}

TEST_F(PixelUndo, OutOfMemoryWhileSavingWarnsAndKeepsRedo) {
  auto layer = PatternStore(64, 64, 1);  // tile (0, 0) uncommitted, the others hold pixels
  CUndoMngr undo(8, 8);
  ASSERT_TRUE(undo.SaveRect(0, 1, *layer, {0, 0, 10, 10}));
  SRectWH refreshed{};
  ASSERT_TRUE(undo.UndoPixels(*layer, refreshed));
  ASSERT_EQ(undo.RedoCount(), 1);
  RefuseNextCommits(1);
  EXPECT_FALSE(undo.SaveRect(0, 1, *layer, {32, 0, 32, 32}));
  ResetAddressSpaceSettings();
  EXPECT_EQ(undo.UndoCount(), 0);
  EXPECT_EQ(undo.RedoCount(), 1);
  ASSERT_EQ(warnings.Texts().size(), 1u);
  EXPECT_EQ(warnings.Texts()[0], kUndoOutOfMemoryText);
}

TEST_F(PixelUndo, OutOfMemoryForRedoStillUndoes) {
  auto layer = PatternStore(64, 64, 1);
  CUndoMngr undo(8, 8);
  const std::vector<uint32_t> original = GridPixels(*layer);
  ASSERT_TRUE(undo.SaveRect(0, 1, *layer, {0, 0, 32, 32}));  // tile (0, 0): uncommitted
  Scribble(*layer, {0, 0, 32, 32}, 3);                       // now committed
  // Keeping the current pixels needs one commit, putting the saved tile back none.
  RefuseNextCommits(1);
  SRectWH refreshed{};
  ASSERT_TRUE(undo.UndoPixels(*layer, refreshed));
  ResetAddressSpaceSettings();
  EXPECT_EQ(GridPixels(*layer), original);
  EXPECT_EQ(undo.RedoCount(), 0);
  EXPECT_TRUE(warnings.Texts().empty());
}

TEST_F(PixelUndo, FailedRestoreKeepsTheRecordAndTheLayer) {
  auto layer = PatternStore(64, 64, 1);
  CUndoMngr undo(8, 8);
  ASSERT_TRUE(undo.SaveRect(0, 1, *layer, {32, 0, 32, 32}));  // tile (1, 0): committed
  SRectWH tile{32, 0, 32, 32};
  layer->FillRect(tile, 0x00FFFFFF);
  layer->Compact();  // now uncommitted
  const std::vector<uint32_t> changed = GridPixels(*layer);
  // Keeping the current (uncommitted) tile needs no commit; putting the saved one back does.
  RefuseNextCommits(1);
  SRectWH refreshed{};
  EXPECT_FALSE(undo.UndoPixels(*layer, refreshed));
  ResetAddressSpaceSettings();
  EXPECT_EQ(GridPixels(*layer), changed);
  EXPECT_EQ(undo.UndoCount(), 1);
  EXPECT_EQ(undo.RedoCount(), 0);
  // With memory back, the same record undoes.
  ASSERT_TRUE(undo.UndoPixels(*layer, refreshed));
  EXPECT_NE(GridPixels(*layer), changed);
}

// ---------------------------------------------------------------------------------------------
// Stores of freed records, written again by the next save of their size

// Tile by tile: committed or not and the fill; then every pixel a reader sees, the committed
// bytes and the content rectangles.
void ExpectSameStore(const CBlockVMTC& actual, const CBlockVMTC& expected) {
  ASSERT_EQ(actual.Size(), expected.Size());
  for (int32_t i = 0; i < expected.TileCount(); ++i) {
    EXPECT_EQ(actual.TileByIndex(i).committed, expected.TileByIndex(i).committed) << "tile " << i;
    EXPECT_EQ(actual.TileByIndex(i).fill, expected.TileByIndex(i).fill) << "tile " << i;
  }
  EXPECT_EQ(GridPixels(actual), GridPixels(expected));
  EXPECT_EQ(actual.CommittedBytes(), expected.CommittedBytes());
  ASSERT_EQ(actual.ContentRects().count, expected.ContentRects().count);
  for (int32_t i = 0; i < expected.ContentRects().count; ++i)
    EXPECT_EQ(actual.ContentRects().rects[i], expected.ContentRects().rects[i]);
}

// A layer of 5 x 3 tiles: pattern tiles, default-fill tiles, a compacted tile with a coloured
// fill and one of a fill with alpha 0 that is not the default.
std::unique_ptr<CBlockVMTC> MixedLayer(uint32_t seed) {
  auto layer = PatternStore(160, 96, seed);
  SRectWH coloured{64, 32, 32, 32};
  layer->FillRect(coloured, 0x80123456u ^ seed);
  SRectWH clear{128, 64, 32, 32};
  layer->FillRect(clear, 0x00000000u);
  layer->Compact();
  return layer;
}

// How the spare store of the saved size comes about before the save under test. Each works on
// "other", a layer of the same size with other pixels, fills and committed tiles.
enum class SpareFrom { DroppedByTheDepth, DroppedFromTheRedoList, PutBackByAnUndo };

// The store of a freed record holds what that record held; a save that reuses it must give the
// record a fresh store would: every tile's bytes, fill and committed state, the content
// rectangles, and an undo and redo that are byte exact.
TEST_F(PixelUndo, SpareStoreOfAFreedRecordSavesAsAFreshStore) {
  const SRectWH rects[] = {{0, 0, 160, 96}, {0, 0, 128, 64}, {40, 10, 70, 60}};
  for (const SpareFrom from :
       {SpareFrom::DroppedByTheDepth, SpareFrom::DroppedFromTheRedoList, SpareFrom::PutBackByAnUndo}) {
    for (const SRectWH& rect : rects) {
      SCOPED_TRACE(testing::Message() << static_cast<int>(from) << " rect " << rect.left << "," << rect.top << " "
                                      << rect.width << "x" << rect.height);
      auto layer = MixedLayer(11);
      auto other = MixedLayer(29);
      SRectWH everything{0, 0, 160, 96};
      other->XorRect(everything, 0x01010101u);  // every tile differs, fills included
      CUndoMngr undo(2, 2);
      SRectWH refreshed{};
      ASSERT_TRUE(undo.SaveRect(0, 1, *other, rect));
      switch (from) {
        case SpareFrom::DroppedByTheDepth:
          ASSERT_TRUE(undo.SaveRect(0, 1, *other, {0, 0, 1, 1}));
          ASSERT_TRUE(undo.SaveRect(0, 1, *other, {32, 0, 1, 1}));  // the first record goes
          break;
        case SpareFrom::DroppedFromTheRedoList:
          ASSERT_TRUE(undo.UndoPixels(*other, refreshed));
          ASSERT_TRUE(undo.SaveRect(0, 1, *other, {0, 0, 1, 1}));  // ends the redo chain
          break;
        case SpareFrom::PutBackByAnUndo:
          Scribble(*other, rect, 5);
          ASSERT_TRUE(undo.UndoPixels(*other, refreshed));
          ASSERT_TRUE(undo.RedoPixels(*other, refreshed));
          undo.ClearUndo();
          break;
      }
      SRectWH aligned = rect;
      AlignRectToTiles(aligned);
      std::unique_ptr<CBlockVMTC> spare = undo.Spares().Take(aligned.width, aligned.height);
      ASSERT_NE(spare, nullptr) << "no spare of the saved size";
      const uint8_t* spareMemory = spare->ReservedBase();
      undo.Spares().Keep(std::move(spare));

      const std::vector<uint32_t> original = GridPixels(*layer);
      ASSERT_TRUE(undo.SaveRect(0, 2, *layer, rect));
      EXPECT_EQ(undo.UndoList().Get(0)->Pixels()->ReservedBase(), spareMemory);  // written in place
      CUndoMngr fresh(2, 2);
      ASSERT_TRUE(fresh.SaveRect(0, 2, *layer, rect));
      ExpectSameStore(*undo.UndoList().Get(0)->Pixels(), *fresh.UndoList().Get(0)->Pixels());
      EXPECT_EQ(undo.UndoList().Get(0)->rect, fresh.UndoList().Get(0)->rect);

      Scribble(*layer, rect, 0xC3C3C3C3u);
      const std::vector<uint32_t> changed = GridPixels(*layer);
      ASSERT_TRUE(undo.UndoPixels(*layer, refreshed));
      EXPECT_EQ(GridPixels(*layer), original);
      ASSERT_TRUE(undo.RedoPixels(*layer, refreshed));
      EXPECT_EQ(GridPixels(*layer), changed);
      ASSERT_TRUE(undo.UndoPixels(*layer, refreshed));
      ExpectSameStore(*layer, *MixedLayer(11));
    }
  }
  EXPECT_TRUE(warnings.Texts().empty());
}

// A spare of another shape with enough tiles (and no more than twice as many) takes a record's
// tiles in row order: the record reads back, undoes, redoes, copies and fails exactly as one of
// the rectangle's shape, whatever the spare held. Spares with too few or too many tiles are
// passed over.
TEST_F(PixelUndo, SpareOfAnotherShapeHoldsTheTilesInRowOrder) {
  struct Case {
    SSize spare;
    SRectWH rect;  // its aligned tile count against the spare's
    bool used;
  };
  const Case cases[] = {
      {{96, 96}, {0, 0, 128, 64}, true},     // 9 tiles for 8
      {{160, 32}, {40, 40, 50, 50}, true},   // 5 for 4 (32, 32, 64, 64 aligned)
      {{320, 32}, {64, 32, 96, 64}, true},   // 10 for 6, one row for two
      {{160, 96}, {32, 32, 64, 64}, false},  // 15 for 4: too many
      {{32, 96}, {32, 32, 64, 64}, false},   // 3 for 4: too few
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.spare.width << "x" << c.spare.height << " for " << c.rect.width << "x"
                                    << c.rect.height);
    auto layer = MixedLayer(11);
    CUndoMngr undo(8, 8);
    // Saving into a blank spare needs a commit per committed tile: refused, nothing is pushed
    // and the layer is as it was.
    undo.Spares().Keep(std::make_unique<CBlockVMTC>(c.spare.width, c.spare.height));
    RefuseNextCommits(1000);
    EXPECT_FALSE(undo.SaveRect(0, 3, *layer, c.rect));
    ResetAddressSpaceSettings();
    EXPECT_EQ(undo.UndoCount(), 0);
    EXPECT_EQ(warnings.Texts().size(), 1u);
    ExpectSameStore(*layer, *MixedLayer(11));
    undo.Spares().Clear();
    warnings.Clear();

    auto spare = PatternStore(c.spare.width, c.spare.height, 99);  // junk in every other tile
    SRectWH all{0, 0, c.spare.width, c.spare.height};
    spare->XorRect(all, 0x80808080u);
    const uint8_t* spareMemory = spare->ReservedBase();
    undo.Spares().Keep(std::move(spare));

    ASSERT_TRUE(undo.SaveRect(0, 3, *layer, c.rect));
    CUndoData* record = undo.UndoList().Get(0);
    EXPECT_EQ(record->Pixels()->ReservedBase() == spareMemory, c.used);
    EXPECT_EQ(record->InTileOrder(), c.used);
    CUndoMngr fresh(8, 8);
    ASSERT_TRUE(fresh.SaveRect(0, 3, *layer, c.rect));
    const CUndoData* expected = fresh.UndoList().Get(0);
    EXPECT_EQ(record->GetRect(), expected->GetRect());
    // A spare's tiles past the saved ones keep their memory, and the record counts it.
    if (c.used) {
      EXPECT_GE(record->MemorySize(), expected->MemorySize());
    } else {
      EXPECT_EQ(record->MemorySize(), expected->MemorySize());
    }
    std::unique_ptr<CUndoData> copy = CUndoData::CreateCopy(*record);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->InTileOrder(), c.used);

    // Changed to the default fill and compacted: putting the saved tiles back needs commits.
    SRectWH change = record->GetRect();
    layer->FillRect(change, CBlockVMTC::kDefaultFill);
    layer->Compact();
    const std::vector<uint32_t> changed = GridPixels(*layer);
    CBlockVMTC restored(*layer);
    ASSERT_TRUE(copy->RestorePixels(restored));
    ExpectSameStore(restored, *MixedLayer(11));

    SRectWH refreshed{};
    RefuseNextCommits(1000);
    EXPECT_FALSE(undo.UndoPixels(*layer, refreshed));
    ResetAddressSpaceSettings();
    EXPECT_EQ(GridPixels(*layer), changed);
    EXPECT_EQ(undo.UndoCount(), 1);
    ASSERT_TRUE(undo.UndoPixels(*layer, refreshed));
    EXPECT_EQ(refreshed, expected->GetRect());
    ExpectSameStore(*layer, *MixedLayer(11));
    ASSERT_TRUE(undo.RedoPixels(*layer, refreshed));
    EXPECT_EQ(GridPixels(*layer), changed);
    ASSERT_TRUE(undo.UndoPixels(*layer, refreshed));
    ExpectSameStore(*layer, *MixedLayer(11));
  }
}

// A save into a spare store that needs commits: when they are refused, the other spares are
// freed and the save is tried once more with a store of its own. Refused again, it fails whole: a
// warning, the lists and the layer as they were, and the records there still undo and redo
// exactly.
TEST_F(PixelUndo, RefusedCommitsWhileSavingIntoASpareLoseNothing) {
  struct Case {
    int refusals;
    bool saved;
  };
  for (const Case& c : {Case{1, true}, Case{1000, false}}) {
    SCOPED_TRACE(c.refusals);
    auto layer = MixedLayer(3);
    const std::vector<uint32_t> original = GridPixels(*layer);
    CUndoMngr undo(8, 8);
    SRectWH refreshed{};
    ASSERT_TRUE(undo.SaveRect(0, 1, *layer, {0, 0, 64, 64}));
    Scribble(*layer, {0, 0, 64, 64}, 77);
    const std::vector<uint32_t> first = GridPixels(*layer);
    ASSERT_TRUE(undo.SaveRect(0, 1, *layer, {64, 32, 64, 64}));
    Scribble(*layer, {64, 32, 64, 64}, 78);
    const std::vector<uint32_t> second = GridPixels(*layer);
    ASSERT_TRUE(undo.UndoPixels(*layer, refreshed));  // one record on each list
    ASSERT_EQ(GridPixels(*layer), first);
    // A spare of the size about to be saved (128 x 96) with no tile committed, and one other.
    undo.Spares().Keep(std::make_unique<CBlockVMTC>(128, 96));
    undo.Spares().Keep(std::make_unique<CBlockVMTC>(32, 32));
    ASSERT_EQ(undo.Spares().Count(), 2);
    warnings.Clear();

    RefuseNextCommits(c.refusals);
    const bool saved = undo.SaveRect(0, 5, *layer, {10, 10, 100, 70});
    ResetAddressSpaceSettings();
    EXPECT_EQ(saved, c.saved);
    EXPECT_EQ(undo.Spares().Take(32, 32), nullptr);  // freed for the second try
    EXPECT_EQ(undo.Spares().Take(128, 96), nullptr);
    EXPECT_EQ(GridPixels(*layer), first);
    if (c.saved) {
      EXPECT_TRUE(warnings.Texts().empty());
      EXPECT_EQ(undo.UndoCount(), 2);
      EXPECT_EQ(undo.RedoCount(), 0);
      CUndoMngr fresh(2, 2);
      ASSERT_TRUE(fresh.SaveRect(0, 5, *layer, {10, 10, 100, 70}));
      ExpectSameStore(*undo.UndoList().Get(0)->Pixels(), *fresh.UndoList().Get(0)->Pixels());
      ASSERT_TRUE(undo.UndoPixels(*layer, refreshed));
    } else {
      ASSERT_EQ(warnings.Texts().size(), 1u);
      EXPECT_EQ(undo.UndoCount(), 1);
      EXPECT_EQ(undo.RedoCount(), 1);
      ASSERT_TRUE(undo.RedoPixels(*layer, refreshed));
      EXPECT_EQ(GridPixels(*layer), second);
      ASSERT_TRUE(undo.UndoPixels(*layer, refreshed));
    }
    EXPECT_EQ(GridPixels(*layer), first);
    ASSERT_TRUE(undo.UndoPixels(*layer, refreshed));
    EXPECT_EQ(GridPixels(*layer), original);
  }
}

// The spares keep the newest stores within their count and byte limit, and give a store only
// for exactly its size.
TEST(SpareStores, KeepTheNewestWithinCountAndLimit) {
  auto store = [](int32_t width, int32_t height, int32_t committedTiles) {
    auto s = std::make_unique<CBlockVMTC>(width, height);
    for (int32_t i = 0; i < committedTiles; ++i) s->SetPixel((i % (width / 32)) * 32, (i / (width / 32)) * 32, 1);
    return s;
  };
  CSpareStores spares;
  spares.Keep(store(64, 64, 4));
  spares.Keep(store(96, 32, 1));
  spares.Keep(store(32, 32, 1));  // the 64 x 64 store goes
  EXPECT_EQ(spares.Count(), 2);
  EXPECT_EQ(spares.Bytes(), 2 * 4096);
  EXPECT_EQ(spares.Take(64, 64), nullptr);
  EXPECT_EQ(spares.Take(32, 96), nullptr);  // sides matter, not the tile count
  auto taken = spares.Take(96, 32);
  ASSERT_NE(taken, nullptr);
  EXPECT_EQ(taken->CommittedBytes(), 4096);
  EXPECT_EQ(spares.Count(), 1);

  spares.SetLimit(3 * 4096);
  spares.Keep(store(64, 64, 4));  // beyond the limit alone: freed at once
  EXPECT_EQ(spares.Count(), 1);
  spares.Keep(store(64, 32, 2));  // fits beside the 32 x 32 one
  EXPECT_EQ(spares.Count(), 2);
  spares.Keep(store(64, 64, 3));  // fits only when both others go
  EXPECT_EQ(spares.Count(), 1);
  EXPECT_EQ(spares.Bytes(), 3 * 4096);
  spares.SetLimit(0);  // keeps nothing
  EXPECT_EQ(spares.Count(), 0);
  spares.Keep(store(32, 32, 0));
  EXPECT_EQ(spares.Count(), 0);
}

// The spares of every manager together stay within the process limit: the oldest of the process
// go first, whichever manager keeps them; a manager that goes gives its share back.
TEST(SpareStores, AllManagersTogetherKeepWithinTheProcessLimitOldestFirst) {
  auto store = [](int32_t tiles) {
    auto s = std::make_unique<CBlockVMTC>(32 * tiles, 32);
    for (int32_t i = 0; i < tiles; ++i) s->SetPixel(i * 32, 0, 1);
    return s;
  };
  const int64_t before = CSpareStores::ProcessBytes();
  ASSERT_EQ(before, 0);  // no other manager keeps spares now
  const int64_t limit = CSpareStores::ProcessLimit();
  CSpareStores::SetProcessLimit(before + 5 * 4096);
  {
    CSpareStores a, b;
    a.Keep(store(1));
    a.Keep(store(2));
    b.Keep(store(2));  // 5 tiles in all: within
    EXPECT_EQ(CSpareStores::ProcessBytes(), before + 5 * 4096);
    b.Keep(store(1));  // a's oldest (1 tile) goes
    EXPECT_EQ(a.Count(), 1);
    EXPECT_EQ(a.Take(32, 32), nullptr);
    EXPECT_EQ(b.Count(), 2);
    EXPECT_EQ(CSpareStores::ProcessBytes(), before + 5 * 4096);
    {
      CSpareStores c;
      c.Keep(store(3));  // a's 2 tiles go, then b's 2 (the oldest left)
      EXPECT_EQ(a.Count(), 0);
      EXPECT_EQ(b.Count(), 1);
      EXPECT_NE(b.Take(32, 32), nullptr);
      EXPECT_EQ(c.Count(), 1);
      c.Keep(store(6));  // more than the process limit alone: not kept, nothing freed
      EXPECT_EQ(c.Count(), 1);
      EXPECT_EQ(CSpareStores::ProcessBytes(), before + 3 * 4096);
      b.Keep(store(1));
      CSpareStores::SetProcessLimit(before + 1 * 4096);  // lowering frees the oldest (c's)
      EXPECT_EQ(c.Count(), 0);
      EXPECT_EQ(b.Count(), 1);
    }
    EXPECT_EQ(CSpareStores::ProcessBytes(), before + 4096);
  }
  EXPECT_EQ(CSpareStores::ProcessBytes(), before);
  CSpareStores::SetProcessLimit(limit);
}

TEST_F(PixelUndo, RecordWhoseLayerIsGoneFails) {
  auto a = PatternStore(64, 64, 1);
  auto b = PatternStore(64, 64, 2);
  FakeLayers targets;
  targets.layers = {{100, a.get()}, {200, b.get()}};
  CUndoMngr undo(8, 8);
  const std::vector<uint32_t> bOriginal = GridPixels(*b);
  ASSERT_TRUE(undo.SaveRect(1, 200, *b, {0, 0, 64, 64}));
  Scribble(*b, {0, 0, 64, 64}, 9);
  const std::vector<uint32_t> aBefore = GridPixels(*a);

  // The layer moved in the stack: the id still finds it.
  std::swap(targets.layers[0], targets.layers[1]);
  SRectWH refreshed{};
  int32_t index = -1;
  ASSERT_TRUE(undo.UndoPixels(targets, refreshed, index));
  EXPECT_EQ(index, 0);
  EXPECT_EQ(GridPixels(*b), bOriginal);
  EXPECT_EQ(GridPixels(*a), aBefore);
  ASSERT_TRUE(undo.RedoPixels(targets, refreshed, index));

  // The layer is gone: the record fails and is dropped; no other layer is touched.
  targets.layers.erase(targets.layers.begin());
  index = 7;
  EXPECT_FALSE(undo.UndoPixels(targets, refreshed, index));
  EXPECT_EQ(index, 7);
  EXPECT_EQ(undo.UndoCount(), 0);
  EXPECT_EQ(GridPixels(*a), aBefore);
  EXPECT_FALSE(undo.UndoPixels(targets, refreshed, index));  // empty now
}

// A held layer that counts its destruction and uses no memory.
struct CountedLayer {
  int* destroyed;
  ~CountedLayer() { ++*destroyed; }
};
int64_t MemoryUse(const CountedLayer&) { return 0; }

// Regression: undo or redo by id dropped any newest record whose layer was not in the stack,
// structure records included (a new layer's record on the redo list names a layer that its
// undo took out).
TEST_F(PixelUndo, ByIdLeavesAStructureRecordWhoseLayerIsOut) {
  auto layer = PatternStore(64, 64, 1);
  FakeLayers targets;
  targets.layers = {{100, layer.get()}};
  CUndoMngr undo(8, 8);
  int destroyed = 0;
  using Layer = CountedLayer;
  Layer inDocument{&destroyed};  // the new layer while the change is in effect
  for (bool redo : {false, true}) {
    SCOPED_TRACE(redo);
    auto record = std::make_unique<CUndoData>(555);
    record->SetValues(true, 555, kUndoCategoryLayers, kUndoNewLayer, 1, 0, 0, 0);
    record->undone = redo;
    ASSERT_TRUE(record->SetHeld(redo ? new Layer{&destroyed} : &inDocument));
    ASSERT_TRUE(redo ? undo.PushRedo(std::move(record)) : undo.PushUndo(std::move(record)));
    SRectWH refreshed{};
    int32_t index = 9;
    EXPECT_FALSE(redo ? undo.RedoPixels(targets, refreshed, index) : undo.UndoPixels(targets, refreshed, index));
    EXPECT_EQ(redo ? undo.RedoCount() : undo.UndoCount(), 1);
    EXPECT_EQ(index, 9);
  }
  EXPECT_EQ(destroyed, 0);
  undo.ClearAll();
  EXPECT_EQ(destroyed, 1);  // only the undone new layer goes with its record
}

TEST_F(PixelUndo, NonPixelRecordIsLeftAlone) {
  auto layer = PatternStore(64, 64, 1);
  CUndoMngr undo(8, 8);
  auto record = std::make_unique<CUndoData>(1);
  record->SetAttribute(1, kUndoLayerOpacity, 10, 20, 0, 0);
  ASSERT_TRUE(undo.PushUndo(std::move(record)));
  SRectWH refreshed{};
  EXPECT_FALSE(undo.UndoPixels(*layer, refreshed));
  EXPECT_EQ(undo.UndoCount(), 1);
}

TEST_F(PixelUndo, PopsAssignAndMemory) {
  auto layer = PatternStore(64, 64, 1);
  CUndoMngr undo(8, 4);
  EXPECT_EQ(undo.PopUndo(), nullptr);
  EXPECT_EQ(undo.PopRedo(), nullptr);
  ASSERT_TRUE(undo.SaveRect(0, 1, *layer, {0, 0, 64, 64}));
  ASSERT_TRUE(undo.SaveRect(0, 2, *layer, {0, 0, 64, 32}));
  SRectWH refreshed{};
  ASSERT_TRUE(undo.UndoPixels(*layer, refreshed));
  const int64_t memory = undo.MemorySize();
  EXPECT_EQ(memory, undo.UndoList().MemorySize() + undo.RedoList().MemorySize());
  EXPECT_EQ(undo.UndoList().MemorySize(), 3 * 4096);  // tiles (1, 0), (0, 1) and (1, 1)
  EXPECT_EQ(undo.RedoList().MemorySize(), 4096);      // tile (1, 0)

  CUndoMngr copy(1, 1);
  ASSERT_TRUE(copy.Assign(undo));
  EXPECT_EQ(copy.UndoLimit(), 8);
  EXPECT_EQ(copy.RedoLimit(), 4);
  EXPECT_EQ(copy.UndoCount(), 1);
  EXPECT_EQ(copy.RedoCount(), 1);
  EXPECT_EQ(copy.MemorySize(), memory);

  std::unique_ptr<CUndoData> popped = undo.PopUndo();
  ASSERT_TRUE(popped);
  EXPECT_EQ(popped->layerId, 1);
  EXPECT_EQ(undo.ClearRedo(), 1);
  EXPECT_EQ(undo.MemorySize(), 0);
  undo.ClearAll();
  EXPECT_EQ(copy.TrimUndo(), 0);
}

}  // namespace
}  // namespace tf
