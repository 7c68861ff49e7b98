#include "document/UndoData.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "document/LayerData.h"
#include "document/LayerMngr.h"
#include "platform/AddressSpace.h"
#include "platform/Debug.h"
#include "raster/BlockVMTC.h"
#include "support/FakeLayers.h"
#include "support/TestStores.h"

namespace tf {
namespace {

using test::FakeLayers;
using test::GridPixels;
using test::PatternStore;

// ---------------------------------------------------------------------------------------------
// Helpers

// An object a record can hold: counts its destruction, reports a memory size.
struct FakeObject {
  int* destroyed;
  int64_t memory;
  FakeObject(int* counter, int64_t bytes) : destroyed(counter), memory(bytes) {}
  ~FakeObject() { ++*destroyed; }
  int64_t GetMemory() const { return memory; }
};

// A stack of objects that owns its entries, with the stack's Count and Extract.
struct FakeStack {
  int* destroyed;
  std::vector<FakeObject*> entries;
  explicit FakeStack(int* counter) : destroyed(counter) {}
  ~FakeStack() {
    for (FakeObject* entry : entries) delete entry;
    ++*destroyed;
  }
  int32_t Count() const { return static_cast<int32_t>(entries.size()); }
  FakeObject* Extract(int32_t index) {
    FakeObject* entry = entries[static_cast<size_t>(index)];
    entries.erase(entries.begin() + index);
    return entry;
  }
  int64_t GetMemory() const {
    int64_t sum = 0;
    for (const FakeObject* entry : entries) sum += entry->memory;
    return sum;
  }
};

int64_t MemoryUse(const FakeObject& object) { return object.GetMemory(); }
int64_t MemoryUse(const FakeStack& stack) { return stack.GetMemory(); }

using FakeList = std::vector<std::unique_ptr<FakeObject>>;

// ---------------------------------------------------------------------------------------------
// Code table: each run of codes with what it records, its category and its flags composed from
// what each bit means. Written from the table's meaning, not from the code's array.

// The flag bits by meaning.
constexpr uint16_t kLayerList = 0x0001;       // layer list changed, refresh the layer pane too
constexpr uint16_t kRebuildView = 0x0002;     // reload the working copy and recompose everything
constexpr uint16_t kCanvasSize = 0x0004;      // canvas size changed
constexpr uint16_t kWholeStore = 0x0008;      // refresh the active layer's whole store
constexpr uint16_t kCountsDepth = 0x0010;     // counts against the document undo depth
constexpr uint16_t kOwnsBlock = 0x0020;       // the byte block is owned
constexpr uint16_t kLayerPane = 0x0040;       // refresh the layer pane
constexpr uint16_t kMasksChanged = 0x0080;    // refresh the mask pane
constexpr uint16_t kOutline = 0x0100;         // rebuild the selection outline
constexpr uint16_t kKeepActive = 0x0200;      // keep the active layer
constexpr uint16_t kNoReload = 0x0400;        // do not reload the working copy
constexpr uint16_t kContentRegions = 0x0800;  // refresh through the content regions
constexpr uint16_t kNoLayerRefresh = 0x1000;  // no layer refresh at all

struct CodeRun {
  int first, last;
  int category;
  uint16_t flags;
  const char* what;
};

const CodeRun kCodeRuns[] = {
    {0, 6, 1, 0, "pixel rectangles: own undo, area commands, clear, stroke, shape, paste, filter"},
    {7, 11, 3, 0, "one layer flipped, inverted, turned, alpha inverted"},
    {12, 15, 3, kLayerList, "every layer flipped, inverted, turned"},
    {16, 16, 2, kCountsDepth | kOwnsBlock, "layer alpha replaced"},
    {17, 17, 4, kLayerList, "paper colour"},
    {18, 18, 4, kLayerList | kNoReload | kContentRegions, "layer opacity"},
    {19, 19, 4, kLayerList | kNoReload, "folder opacity"},
    {20, 21, 4, kLayerList | kNoReload | kContentRegions, "dissolve, blend mode"},
    {22, 22, 4, kLayerList | kKeepActive | kNoReload | kContentRegions, "layer visibility"},
    {23, 23, 4, kLayerList, "layer offset"},
    {24, 24, 4, kLayerPane | kMasksChanged | kOutline, "layer and selection offset"},
    {25, 25, 4, kLayerPane | kNoLayerRefresh, "layer name"},
    {26, 26, 4, kLayerPane, "alpha protect"},
    {27, 30, 5, kLayerList | kCountsDepth, "new, deleted, duplicated, pasted layer"},
    {31, 31, 5, kLayerList, "layer moved in the stack"},
    {32, 32, 5, kLayerList | kWholeStore | kCountsDepth, "merged down"},
    {33, 33, 5, kLayerList | kCountsDepth, "visible layers merged"},
    {34, 34, 5, kLayerList | kRebuildView | kCountsDepth, "layer moved with its store grown"},
    {35, 35, 5, kLayerList | kRebuildView | kCountsDepth | kMasksChanged | kOutline,
     "the same with the selection"},
    {36, 36, 5, kLayerList | kCountsDepth, "layer store rebuilt"},
    {37, 37, 5, kLayerList | kCountsDepth | kOwnsBlock, "selection copied or cut to a new layer"},
    {38, 38, 5, kLayerList | kCountsDepth | kLayerPane, "folder depths changed"},
    {39, 39, 5, kLayerList | kCountsDepth | kOwnsBlock, "folder removed, content kept"},
    {40, 40, 5, kLayerList | kRebuildView | kCountsDepth, "folder merged"},
    {41, 41, 5, kLayerList | kCountsDepth, "folder deleted with its content"},
    {42, 42, 5, kLayerList | kLayerPane, "block of layers moved"},
    {43, 43, 5, kLayerList | kRebuildView | kCountsDepth, "block moved with grown stores"},
    {44, 44, 5, kLayerList | kRebuildView | kCountsDepth | kMasksChanged | kOutline,
     "the same with the selection"},
    {45, 47, 5, kLayerList | kOwnsBlock, "visibility of every layer set"},
    {48, 48, 5, kLayerList | kOwnsBlock | kKeepActive | kNoReload, "visibility of a folder's block"},
    {49, 49, 5, kLayerList | kRebuildView, "canvas turned"},
    {50, 52, 5, kLayerList | kRebuildView | kCanvasSize | kCountsDepth, "canvas size, resolution, trim"},
    {53, 56, 6, kCountsDepth | kMasksChanged | kOutline, "mask added, made, deleted, painted"},
    {57, 60, 6, kMasksChanged | kOutline, "active mask, mask order, inversion, offset"},
    {61, 61, 6, kMasksChanged, "selection shown and enabled"},
    {62, 62, 6, kCountsDepth | kMasksChanged | kOutline, "masks combined"},
    {63, 63, 6, kNoLayerRefresh, "mask name"},
};

TEST(UndoCodeTable, EveryEntryHasItsCategoryAndFlags) {
  int next = 0;
  for (const CodeRun& run : kCodeRuns) {
    ASSERT_EQ(run.first, next) << "the runs cover every code once, in order";
    for (int code = run.first; code <= run.last; ++code) {
      SCOPED_TRACE(testing::Message() << "code " << code << ": " << run.what);
      const TUndoCodeInfo& entry = kUndoCodeTable[code];
      EXPECT_EQ(entry.code, code);
      EXPECT_EQ(entry.category, run.category);
      EXPECT_EQ(entry.flags, run.flags);
      EXPECT_EQ(UndoCodeInfo(code).category, run.category);
      EXPECT_EQ(UndoCodeInfo(code).flags, run.flags);
    }
    next = run.last + 1;
  }
  EXPECT_EQ(next, kUndoCodeCount);
}

TEST(UndoCodeTable, OwnedBlocksAndHeavyCodes) {
  // The codes whose records own a byte block, and the layer-structure codes that count against
  // the depth: both follow from the flags alone.
  std::vector<int> owning, heavy;
  for (int code = 0; code < kUndoCodeCount; ++code) {
    if (UndoCodeFlags(code) & kUndoFlagOwnsBlock) owning.push_back(code);
    if (UndoCodeFlags(code) & kUndoFlagHeavy) heavy.push_back(code);
  }
  EXPECT_EQ(owning, (std::vector<int>{16, 37, 39, 45, 46, 47, 48}));
  EXPECT_EQ(heavy, (std::vector<int>{16, 27, 28, 29, 30, 32, 33, 34, 35, 36, 37, 38, 39,
                                     40, 41, 43, 44, 50, 51, 52, 53, 54, 55, 56, 62}));
}

TEST(UndoCodeTable, CodesOutsideTheTableHaveNoCategory) {
  for (int code : {-1, 64, 200}) {
    EXPECT_EQ(UndoCodeInfo(code).category, kUndoCategoryNone);
    EXPECT_EQ(UndoCodeInfo(code).flags, 0);
  }
  CUndoData record;
  record.code = 64;
  EXPECT_EQ(record.Flags(), 0);
}

// ---------------------------------------------------------------------------------------------
// Fresh records and small accessors

TEST(UndoData, FreshRecord) {
  CUndoData record;
  EXPECT_FALSE(record.filled);
  EXPECT_FALSE(record.undone);
  EXPECT_EQ(record.rect, (SRectWH{0, 0, 0, 0}));
  EXPECT_EQ(record.layerIndex, -1);
  EXPECT_EQ(record.layerId, -1);
  EXPECT_FALSE(record.HasPixels());
  EXPECT_EQ(record.Pixels2(), nullptr);
  EXPECT_FALSE(ByteImageAssigned(record.AlphaPlane()));
  EXPECT_FALSE(record.HasHeld());
  EXPECT_EQ(record.value1 | record.value2 | record.value3 | record.value4, 0);
  EXPECT_EQ(record.category, kUndoCategoryPixels);
  EXPECT_EQ(record.code, kUndoOwnPixels);
  EXPECT_EQ(record.MemorySize(), 0);
  EXPECT_EQ(CUndoData(77).layerId, 77);
}

TEST(UndoData, SmallAccessors) {
  CUndoData record(5);
  record.SetAttribute(5, kUndoLayerName, 1, 2, 3, 4);
  record.name1 = "old";
  record.name2 = "new";
  record.SwapValues12();
  EXPECT_EQ(record.value1, 2);
  EXPECT_EQ(record.value2, 1);
  EXPECT_EQ(record.name1, "new");  // the names stand for value1 and value2 of code 25
  EXPECT_EQ(record.name2, "old");
  EXPECT_EQ(record.ExchangeLayerId(9), 5);
  EXPECT_EQ(record.layerId, 9);
  record.SetRect({1, 2, 3, 4});
  record.SetOrigin(10, 20);
  record.SetSize(30, 40);
  EXPECT_EQ(record.GetRect(), (SRectWH{10, 20, 30, 40}));
  record.SetValues(true, 3, kUndoCategoryLayers, kUndoMoveLayer, 7, 8, 9, 10);
  EXPECT_TRUE(record.filled);
  EXPECT_EQ(record.category, kUndoCategoryLayers);
  EXPECT_EQ(record.code, kUndoMoveLayer);
  EXPECT_EQ(record.value4, 10);
}

TEST(UndoData, SettingAnotherCategoryFreesThePixels) {
  auto store = PatternStore(64, 64, 1);
  auto record = CUndoData::CreateRect(1, kUndoStroke, {0, 0, 64, 64});
  ASSERT_TRUE(record && record->SavePixels(*store, {0, 0, 64, 64}));
  record->SetReversible(1, {0, 0, 64, 64}, kUndoFlipLayerHorizontal);
  EXPECT_FALSE(record->HasPixels());
  EXPECT_EQ(record->category, kUndoCategoryReversible);
  ASSERT_TRUE(record->SavePixels(*store, {0, 0, 64, 64}));
  record->SetAttribute(1, kUndoLayerOpacity, 255, 128, 0, 0);
  EXPECT_FALSE(record->HasPixels());
  EXPECT_EQ(record->category, kUndoCategoryAttribute);
  EXPECT_FALSE(record->IsHeavy());
}

// ---------------------------------------------------------------------------------------------
// Pixel records

TEST(UndoData, CreateRectAlignsOutwardToTiles) {
  struct Case {
    SRectWH in, out;
  };
  const Case cases[] = {
      {{5, 7, 10, 10}, {0, 0, 32, 32}},
      {{30, 0, 4, 1}, {0, 0, 64, 32}},
      {{33, 33, 1, 1}, {32, 32, 32, 32}},
      {{32, 64, 32, 32}, {32, 64, 32, 32}},
      {{31, 31, 2, 2}, {0, 0, 64, 64}},
      // Negative origins go down to the tile below (floor), never toward zero.
      {{-5, -40, 10, 10}, {-32, -64, 64, 64}},
      {{-32, -1, 1, 1}, {-32, -32, 32, 32}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.in.left << "," << c.in.top << "," << c.in.width << "," << c.in.height);
    auto record = CUndoData::CreateRect(4, kUndoStroke, c.in);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->rect, c.out);
    EXPECT_EQ(record->layerId, 4);
    EXPECT_EQ(record->code, kUndoStroke);
    EXPECT_EQ(record->category, kUndoCategoryPixels);
    ASSERT_TRUE(record->HasPixels());
    EXPECT_EQ(record->Pixels()->Width(), c.out.width);
    EXPECT_EQ(record->Pixels()->Height(), c.out.height);
    EXPECT_FALSE(record->filled);
  }
  EXPECT_EQ(CUndoData::CreateRect(1, 0, {0, 0, 0, 5}), nullptr);
  EXPECT_EQ(CUndoData::CreateRect(1, 0, {0, 0, 5, -1}), nullptr);
  EXPECT_EQ(CUndoData::CreateRect(1, 0, {INT32_MAX - 3, 0, INT32_MAX, 1}), nullptr);
}

TEST(UndoData, SaveAndRestorePixelsWholeTiles) {
  auto layer = PatternStore(100, 70, 7);
  const std::vector<uint32_t> before = GridPixels(*layer);
  auto record = CUndoData::CreateRect(1, kUndoStroke, {40, 10, 30, 30});
  ASSERT_TRUE(record);
  ASSERT_TRUE(record->SavePixels(*layer, {40, 10, 30, 30}));
  EXPECT_TRUE(record->filled);
  EXPECT_EQ(record->rect, (SRectWH{32, 0, 64, 64}));
  EXPECT_EQ(record->GetRect(), (SRectWH{32, 0, 64, 64}));

  // Change pixels inside and outside the saved tiles.
  SRectWH inside{32, 0, 64, 64};
  layer->FillRect(inside, 0xFF123456);
  layer->SetPixel(5, 5, 0xFF000000);
  ASSERT_TRUE(record->RestorePixels(*layer));
  std::vector<uint32_t> expected = before;
  expected[5 + 5 * 128] = 0xFF000000;  // outside the saved tiles: stays changed
  EXPECT_EQ(GridPixels(*layer), expected);
}

TEST(UndoData, NegativeLeftIsClippedBeforeAligning) {
  // A rectangle reaching left of and above the store must still save the tiles it covers
  // inside the store, starting at the store's own tile 0.
  auto layer = PatternStore(80, 80, 3);
  const std::vector<uint32_t> before = GridPixels(*layer);
  auto record = CUndoData::CreateRect(1, kUndoShape, {-40, -3, 75, 40});
  ASSERT_TRUE(record);
  ASSERT_TRUE(record->SavePixels(*layer, {-40, -3, 75, 40}));
  EXPECT_EQ(record->rect, (SRectWH{0, 0, 64, 64}));
  EXPECT_EQ(record->Pixels()->Width(), 64);
  SRectWH all{0, 0, 80, 80};
  layer->FillRect(all, 0xFF00FF00);
  ASSERT_TRUE(record->RestorePixels(*layer));
  const std::vector<uint32_t> after = GridPixels(*layer);
  for (int32_t y = 0; y < 80; ++y)
    for (int32_t x = 0; x < 80; ++x) {
      const size_t i = static_cast<size_t>(x + y * 96);
      ASSERT_EQ(after[i], x < 64 && y < 64 ? before[i] : 0xFF00FF00u) << x << "," << y;
    }
}

TEST(UndoData, SavePixelsOutsideTheStoreFails) {
  auto layer = PatternStore(64, 64, 3);
  auto record = CUndoData::CreateRect(1, kUndoShape, {100, 0, 10, 10});
  ASSERT_TRUE(record);
  EXPECT_FALSE(record->SavePixels(*layer, {100, 0, 10, 10}));
  EXPECT_FALSE(record->filled);
  EXPECT_FALSE(record->RestorePixels(*layer));
}

TEST(UndoData, SavePixelsOutOfMemoryFails) {
  auto layer = PatternStore(64, 64, 3);  // tile (1, 0) committed
  auto record = CUndoData::CreateRect(1, kUndoShape, {32, 0, 32, 32});
  ASSERT_TRUE(record);
  RefuseNextCommits(1);
  EXPECT_FALSE(record->SavePixels(*layer, {32, 0, 32, 32}));
  ResetAddressSpaceSettings();
  EXPECT_FALSE(record->filled);
}

TEST(UndoData, SetPixelBlockTakesTheStore) {
  auto record = std::make_unique<CUndoData>();
  auto store = PatternStore(64, 32, 9);
  CBlockVMTC* raw = store.get();
  record->SetPixelBlock(2, 8, kUndoFilter, {0, 0, 64, 32}, std::move(store));
  EXPECT_EQ(record->Pixels(), raw);
  EXPECT_TRUE(record->filled);
  EXPECT_EQ(record->layerIndex, 2);
  EXPECT_EQ(record->layerId, 8);
  EXPECT_EQ(record->code, kUndoFilter);
  EXPECT_EQ(record->MemorySize(), raw->CommittedBytes());
  EXPECT_TRUE(record->IsHeavy());
}

TEST(UndoData, UnfilledRecordReportsNoMemory) {
  auto layer = PatternStore(64, 64, 3);
  auto record = CUndoData::CreateRect(1, kUndoStroke, {0, 0, 64, 64});
  ASSERT_TRUE(record->SavePixels(*layer, {0, 0, 64, 64}));
  ASSERT_GT(record->Pixels()->CommittedBytes(), 0);
  EXPECT_EQ(record->MemorySize(), record->Pixels()->CommittedBytes());
  auto second = std::make_unique<CBlockVMTC>(32, 32);
  second->SetPixel(0, 0, 1);
  record->SetPixels2(std::move(second));
  EXPECT_EQ(record->MemorySize(), record->Pixels()->CommittedBytes() + 4096);
  record->filled = false;
  EXPECT_EQ(record->MemorySize(), 0);
}

// ---------------------------------------------------------------------------------------------
// Alpha records

TEST(UndoData, SaveAndRestoreAlpha) {
  auto layer = PatternStore(70, 50, 5);
  const std::vector<uint32_t> before = GridPixels(*layer);
  CUndoData record;
  ASSERT_TRUE(record.SaveAlpha(6, *layer, kUndoLayerAlpha, {60, -5, 20, 20}));
  EXPECT_TRUE(record.filled);
  EXPECT_EQ(record.layerId, 6);
  EXPECT_EQ(record.category, kUndoCategoryAlpha);
  EXPECT_EQ(record.code, kUndoLayerAlpha);
  EXPECT_EQ(record.rect, (SRectWH{60, 0, 10, 15}));  // clipped origin, plane size
  EXPECT_EQ(record.MemorySize(), 150);
  EXPECT_TRUE(record.IsHeavy());

  SRectWH all{0, 0, 70, 50};
  layer->SetAlphaRect(all, 0x40);
  ASSERT_TRUE(record.RestoreAlpha(*layer));
  for (int32_t y = 0; y < 50; ++y)
    for (int32_t x = 0; x < 70; ++x) {
      const uint32_t was = before[static_cast<size_t>(x + y * 96)];
      const uint32_t now = layer->GetPixel(x, y);
      ASSERT_EQ(now & 0x00FFFFFFu, was & 0x00FFFFFFu) << x << "," << y;
      const bool saved = x >= 60 && y < 15;
      ASSERT_EQ(now >> 24, saved ? was >> 24 : 0x40u) << x << "," << y;
    }
}

TEST(UndoData, FailedAlphaSnapshotLeavesTheRecord) {
  auto layer = PatternStore(64, 64, 5);
  CUndoData record(3);
  record.code = kUndoStroke;
  EXPECT_FALSE(record.SaveAlpha(6, *layer, kUndoLayerAlpha, {64, 0, 5, 5}));
  EXPECT_FALSE(record.filled);
  EXPECT_EQ(record.layerId, 3);
  EXPECT_EQ(record.category, kUndoCategoryPixels);
  EXPECT_EQ(record.code, kUndoStroke);
  EXPECT_FALSE(record.RestoreAlpha(*layer));  // nothing held
  ASSERT_TRUE(record.SaveAlpha(6, *layer, kUndoLayerAlpha, {0, 0, 5, 5}));
  record.category = kUndoCategoryPixels;
  EXPECT_FALSE(record.RestoreAlpha(*layer));  // not an alpha record
}

// ---------------------------------------------------------------------------------------------
// Copies

TEST(UndoData, CreateCopyIsDeep) {
  auto layer = PatternStore(64, 64, 11);
  auto source = CUndoData::CreateRect(2, kUndoStroke, {0, 0, 64, 64});
  ASSERT_TRUE(source->SavePixels(*layer, {0, 0, 64, 64}));
  source->SetLayerIndex(3);
  source->undone = true;
  source->value1 = 1;
  source->value4 = 4;
  source->maskId = 77;
  source->table = {1, 2, 3};
  source->table2 = {4};
  source->layerIds = {70000, -2};
  source->name1 = "\x83\x8C\x83\x43\x83\x84";  // a code page 932 name
  source->name2 = "b";
  SByteImage plane;
  ByteImageInit(plane);
  ASSERT_TRUE(ByteImageAlloc(plane, 4, 2));
  std::memset(plane.data, 0x5A, 8);
  source->AdoptAlphaPlane(plane);
  auto second = std::make_unique<CBlockVMTC>(32, 32);
  second->SetPixel(1, 1, 0xFF0000FF);
  source->SetPixels2(std::move(second));
  int destroyed = 0;
  source->code = kUndoDeleteMask;
  ASSERT_TRUE(source->SetHeld(new FakeObject(&destroyed, 5)));

  auto copy = CUndoData::CreateCopy(*source);
  ASSERT_TRUE(copy);
  EXPECT_TRUE(copy->filled);
  EXPECT_EQ(copy->rect, source->rect);
  EXPECT_EQ(copy->layerId, 2);
  EXPECT_EQ(copy->layerIndex, -1);
  EXPECT_FALSE(copy->undone);
  EXPECT_FALSE(copy->HasHeld());
  EXPECT_EQ(copy->code, kUndoDeleteMask);
  EXPECT_EQ(copy->value1, 1);
  EXPECT_EQ(copy->value4, 4);
  EXPECT_EQ(copy->maskId, 77);
  EXPECT_EQ(copy->table, source->table);
  EXPECT_EQ(copy->table2, source->table2);
  EXPECT_EQ(copy->layerIds, source->layerIds);
  EXPECT_EQ(copy->name1, source->name1);
  ASSERT_TRUE(copy->HasPixels());
  EXPECT_NE(copy->Pixels(), source->Pixels());
  EXPECT_EQ(GridPixels(*copy->Pixels()), GridPixels(*source->Pixels()));
  ASSERT_NE(copy->Pixels2(), nullptr);
  EXPECT_EQ(copy->Pixels2()->GetPixel(1, 1), 0xFF0000FFu);
  ASSERT_TRUE(ByteImageAssigned(copy->AlphaPlane()));
  EXPECT_NE(copy->AlphaPlane().data, source->AlphaPlane().data);

  // Freeing the source leaves the copy whole (the copy shares nothing).
  source.reset();
  EXPECT_EQ(destroyed, 1);
  EXPECT_EQ(copy->AlphaPlane().data[7], 0x5A);
  EXPECT_EQ(copy->table[2], 3);
  copy->Pixels()->SetPixel(0, 0, 1);
  EXPECT_EQ(copy->Pixels()->GetPixel(0, 0), 1u);
}

// ---------------------------------------------------------------------------------------------
// Held objects: release rules

struct ReleaseCase {
  uint8_t code;
  bool undone;
  int32_t value2;
  bool heldFreed;
  bool withExtra;
  bool extraFreed;
};

TEST(UndoData, ReleaseRulesByCodeAndState) {
  const ReleaseCase cases[] = {
      {kUndoNewLayer, false, 0, false, false, false},  // lives in the document
      {kUndoNewLayer, true, 0, true, false, false},    // taken out by the undo
      {kUndoDuplicateLayer, true, 0, true, false, false},
      {kUndoNewLayerFromPaste, false, 0, false, false, false},
      {kUndoSelectionToLayer, true, 0, true, false, false},
      {kUndoMaskFromLayer, false, 0, false, false, false},
      {kUndoMaskFromLayer, true, 0, true, false, false},
      {kUndoDeleteLayer, false, 0, true, false, false},  // still deleted
      {kUndoDeleteLayer, true, 0, false, false, false},  // back in the stack
      {kUndoRemoveFolder, false, 0, true, false, false},
      {kUndoRemoveFolder, true, 0, false, false, false},
      {kUndoMergeDown, false, 0, true, true, true},
      {kUndoMergeDown, true, 0, true, true, false},  // the upper layer is back
      {kUndoGrowLayer, true, 0, true, false, false},
      {kUndoGrowLayerWithSelection, false, 0, true, false, false},
      {kUndoRebuildLayer, false, 0, true, false, false},
      {kUndoCanvasSize, true, 0, true, false, false},
      {kUndoTrimCanvas, false, 0, true, false, false},
      {kUndoResolution, false, 0, true, true, true},
      {kUndoResolution, true, 0, true, false, false},
      {kUndoAddMask, false, 0, true, false, false},
      {kUndoDeleteMask, true, 0, true, false, false},
      {kUndoMaskPixels, false, 0, true, false, false},
      {kUndoCombineMasks, true, 0, true, false, false},
      // Codes that hold no object: whatever is there is not freed.
      {kUndoPaperColor, false, 0, false, false, false},
      {kUndoFlipLayerHorizontal, false, 0, false, false, false},
      {kUndoLayerOpacity, false, 0, false, false, false},
      {kUndoMoveLayer, true, 0, false, false, false},
      {kUndoActiveMask, false, 0, false, false, false},
  };
  std::vector<std::string> debugLines;
  DebugSink previous = SetDebugSink([&](std::string_view text) { debugLines.emplace_back(text); });
  for (const ReleaseCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "code " << int{c.code} << " undone " << c.undone);
    int heldDestroyed = 0, extraDestroyed = 0;
    auto* held = new FakeObject(&heldDestroyed, 1);
    auto* extra = c.withExtra ? new FakeObject(&extraDestroyed, 1) : nullptr;
    {
      CUndoData record(1);
      record.code = c.code;
      record.category = UndoCodeCategory(c.code);
      record.undone = c.undone;
      record.value2 = c.value2;
      ASSERT_TRUE(record.SetHeld(held));
      if (extra) {
        ASSERT_TRUE(record.SetHeldExtra(extra));
      }
      EXPECT_EQ(record.Held<FakeObject>(), held);
      EXPECT_EQ(record.Held<FakeStack>(), nullptr);  // another type
    }
    EXPECT_EQ(heldDestroyed, c.heldFreed ? 1 : 0);
    if (!c.heldFreed) delete held;
    if (extra) {
      EXPECT_EQ(extraDestroyed, c.extraFreed ? 1 : 0);
      if (!c.extraFreed) delete extra;
    }
  }
  SetDebugSink(previous);
  // Only the codes that hold nothing at all report what was left in them.
  EXPECT_EQ(debugLines.size(), 3u);
}

TEST(UndoData, VisibleMergeAfterItsUndoLeavesTheReinsertedLayers) {
  for (int32_t value2 : {0, 1}) {
    SCOPED_TRACE(value2);
    int stackDestroyed = 0, layersDestroyed = 0;
    auto* stack = new FakeStack(&stackDestroyed);
    std::vector<FakeObject*> layers;
    for (int i = 0; i < 4; ++i) layers.push_back(new FakeObject(&layersDestroyed, 10));
    stack->entries = layers;
    {
      CUndoData record;
      record.SetValues(true, 1, kUndoCategoryLayers, kUndoMergeVisible, 0, value2, 0, 0);
      ASSERT_TRUE(record.SetHeld(stack));
      EXPECT_EQ(record.MemorySize(), value2 == 0 ? 40 : 0);
    }
    EXPECT_EQ(stackDestroyed, 1);
    if (value2 == 1) {
      // Entry 0 (the replaced bottom layer) goes with the stack; entries 1..3 live on.
      EXPECT_EQ(layersDestroyed, 1);
      for (int i = 1; i < 4; ++i) delete layers[static_cast<size_t>(i)];
    } else {
      EXPECT_EQ(layersDestroyed, 4);
    }
  }
}

// Regression: with the real layer stack, whose Extract hands the layer back in an owning
// pointer, the entries taken out of a visible merge's stack after its undo were freed on the
// spot, although the document holds them again.
TEST(UndoData, VisibleMergeUndoneLeavesTheLayersOfARealStack) {
  auto* merged = new CLayerMngr(4);
  CLayerMngr document(4);
  std::vector<CLayerData*> layers;
  for (int i = 0; i < 4; ++i) {
    auto layer = std::make_unique<CLayerData>(i);
    ASSERT_TRUE(layer->Init(32, 32, 3));
    layer->name = "layer" + std::to_string(i);
    layers.push_back(layer.get());
    ASSERT_EQ(merged->InsertAt(i, layer), i);
  }
  // After the undo the merged layers 1..3 live in the document again.
  for (int i = 1; i < 4; ++i) {
    std::unique_ptr<CLayerData> shared(layers[static_cast<size_t>(i)]);
    ASSERT_EQ(document.InsertAt(i - 1, shared), i - 1);
  }
  {
    CUndoData record;
    record.SetValues(true, 1, kUndoCategoryLayers, kUndoMergeVisible, 0, 1, 0, 0);
    ASSERT_TRUE(record.SetHeld(merged));
  }
  ASSERT_EQ(document.Count(), 3);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(document.Get(i)->name, "layer" + std::to_string(i + 1));  // still alive (ASan)
    EXPECT_NE(document.Get(i)->Store(), nullptr);
  }
  // An object that is no stack cannot give its entries back: it is left unfreed, not freed
  // with them.
  int destroyed = 0;
  auto* odd = new FakeObject(&destroyed, 0);
  std::vector<std::string> lines;
  DebugSink previous = SetDebugSink([&](std::string_view text) { lines.emplace_back(text); });
  {
    CUndoData record;
    record.SetValues(true, 1, kUndoCategoryLayers, kUndoMergeVisible, 0, 1, 0, 0);
    ASSERT_TRUE(record.SetHeld(odd));
  }
  SetDebugSink(previous);
  EXPECT_EQ(destroyed, 0);
  EXPECT_EQ(lines.size(), 1u);
  delete odd;
}

TEST(UndoData, DeletedLayerIsFreedOnlyWhileDeleted) {
  int destroyed = 0;
  auto* layer = new FakeObject(&destroyed, 0);
  {
    CUndoData record;
    record.SetValues(true, 1, kUndoCategoryLayers, kUndoDeleteLayer, 0, 0, 0, 0);
    record.SetHeld(layer);
    record.undone = true;  // the layer is back in the stack
  }
  EXPECT_EQ(destroyed, 0);
  {
    CUndoData record;
    record.SetValues(true, 1, kUndoCategoryLayers, kUndoDeleteLayer, 0, 0, 0, 0);
    record.SetHeld(layer);
  }
  EXPECT_EQ(destroyed, 1);
}

TEST(UndoData, TakeAndReplaceHeld) {
  int destroyed = 0;
  auto* first = new FakeObject(&destroyed, 0);
  auto* second = new FakeObject(&destroyed, 0);
  CUndoData record;
  record.SetValues(true, 1, kUndoCategoryMasks, kUndoMaskPixels, 0, 0, 0, 0);
  record.SetHeld(first);
  EXPECT_EQ(record.TakeHeld<FakeStack>(), nullptr);  // wrong type: nothing taken
  EXPECT_TRUE(record.HasHeld());
  EXPECT_EQ(record.TakeHeld<FakeObject>(), first);
  EXPECT_FALSE(record.HasHeld());
  record.SetHeld(second);
  record.SetHeld(first);  // replacing forgets the previous object, frees nothing
  EXPECT_EQ(destroyed, 0);
  EXPECT_EQ(record.HeldAddress(), first);
  delete second;
  EXPECT_EQ(destroyed, 1);
}

TEST(UndoData, ExchangeHeldWithTheDocument) {
  // An undo step of a replaced layer (code 34): the record's layer goes into the stack, the
  // stack's into the record, both unfreed.
  int destroyed = 0;
  auto* former = new FakeObject(&destroyed, 7);
  auto* grown = new FakeObject(&destroyed, 9);
  {
    CUndoData record;
    record.SetValues(true, 1, kUndoCategoryLayers, kUndoGrowLayer, 0, 0, 0, 0);
    ASSERT_TRUE(record.SetHeld(former));
    FakeObject* inStack = grown;
    ASSERT_TRUE(record.ExchangeHeld(inStack));
    EXPECT_EQ(inStack, former);
    EXPECT_EQ(record.Held<FakeObject>(), grown);
    EXPECT_EQ(record.MemorySize(), 9);

    FakeStack* other = nullptr;
    EXPECT_FALSE(record.ExchangeHeld(other));  // another type: nothing changes
    EXPECT_EQ(record.Held<FakeObject>(), grown);

    FakeObject* none = nullptr;
    ASSERT_TRUE(record.ExchangeHeld(none));  // null empties the slot
    EXPECT_EQ(none, grown);
    EXPECT_FALSE(record.HasHeld());
    FakeObject* back = grown;
    ASSERT_TRUE(record.ExchangeHeld(back));  // an empty slot takes the object
    EXPECT_EQ(back, nullptr);
    EXPECT_EQ(record.Held<FakeObject>(), grown);

    FakeObject* extra = former;
    ASSERT_TRUE(record.ExchangeHeldExtra(extra));
    EXPECT_EQ(extra, nullptr);
    EXPECT_EQ(record.HeldExtra<FakeObject>(), former);
    EXPECT_EQ(record.TakeHeldExtra<FakeObject>(), former);
  }
  EXPECT_EQ(destroyed, 1);  // only the record's layer went with the record
  delete former;
  EXPECT_EQ(destroyed, 2);
}

TEST(UndoData, ForgetHeldLetsTheDocumentsObjectsGo) {
  // A merge-down record taken back after a failed merge: the upper layer it names still lives
  // in the stack, and a record not undone would free it.
  int destroyed = 0;
  FakeObject upper(&destroyed, 1), lower(&destroyed, 1);
  {
    CUndoData record;
    record.SetValues(true, 1, kUndoCategoryLayers, kUndoMergeDown, 0, 0, 0, 0);
    ASSERT_TRUE(record.SetHeld(&lower));
    ASSERT_TRUE(record.SetHeldExtra(&upper));
    record.ForgetHeld();
    EXPECT_FALSE(record.HasHeld());
    EXPECT_FALSE(record.HasHeldExtra());
  }
  EXPECT_EQ(destroyed, 0);
}

// ---------------------------------------------------------------------------------------------
// Memory by code

struct MemoryCase {
  uint8_t code;
  bool undone;
  int32_t value2;
  int64_t expected;  // held 100, extra 10
};

TEST(UndoData, MemorySizeCountsHeldObjectsByCode) {
  const MemoryCase cases[] = {
      {kUndoNewLayer, false, 0, 0},       {kUndoNewLayer, true, 0, 100},      {kUndoDeleteLayer, false, 0, 100},
      {kUndoDeleteLayer, true, 0, 0},     {kUndoRemoveFolder, false, 0, 100}, {kUndoGrowLayer, false, 0, 100},
      {kUndoRebuildLayer, true, 0, 100},  {kUndoMergeDown, false, 0, 110},    {kUndoMergeDown, true, 0, 100},
      {kUndoMergeVisible, false, 0, 100}, {kUndoMergeVisible, false, 1, 0},   {kUndoCanvasSize, false, 0, 100},
      {kUndoTrimCanvas, true, 0, 100},    {kUndoResolution, false, 0, 110},   {kUndoMoveLayer, false, 0, 0},
      {kUndoFolderDepths, false, 0, 0},   {kUndoAddMask, false, 0, 100},      {kUndoMaskFromLayer, false, 0, 0},
      {kUndoMaskFromLayer, true, 0, 100},
  };
  for (const MemoryCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "code " << int{c.code} << " undone " << c.undone);
    int destroyed = 0;
    auto* held = new FakeObject(&destroyed, 100);
    auto* extra = new FakeObject(&destroyed, 10);
    CUndoData record;
    record.SetValues(true, 1, UndoCodeCategory(c.code), c.code, 0, c.value2, 0, 0);
    record.undone = c.undone;
    record.SetHeld(held);
    record.SetHeldExtra(extra);
    EXPECT_EQ(record.MemorySize(), c.expected);
    record.filled = false;
    EXPECT_EQ(record.MemorySize(), 0);
    // Hand the objects back so that every case frees them the same way.
    delete record.TakeHeld<FakeObject>();
    delete record.TakeHeldExtra<FakeObject>();
  }
}

TEST(UndoData, MemoryOfListsAndSelectionLayers) {
  int destroyed = 0;
  auto* list = new FakeList;
  list->push_back(std::make_unique<FakeObject>(&destroyed, 30));
  list->push_back(nullptr);
  list->push_back(std::make_unique<FakeObject>(&destroyed, 12));
  {
    CUndoData record;
    record.SetValues(true, 1, kUndoCategoryLayers, kUndoMergeFolder, 0, 0, 0, 0);
    record.SetHeld(list);
    EXPECT_EQ(record.MemorySize(), 42);
  }
  EXPECT_EQ(destroyed, 2);  // a list is always freed, with its layers

  auto* layer = new FakeObject(&destroyed, 1000);
  CUndoData record;
  record.SetValues(true, 1, kUndoCategoryLayers, kUndoSelectionToLayer, 0, 0, 0, 0);
  record.SetHeld(layer);
  SByteImage plane;
  ByteImageInit(plane);
  ASSERT_TRUE(ByteImageAlloc(plane, 8, 4));
  record.AdoptAlphaPlane(plane);
  EXPECT_EQ(record.MemorySize(), 32);  // the plane; the layer lives in the document
  record.undone = true;
  EXPECT_EQ(record.MemorySize(), 1032);
}

// ---------------------------------------------------------------------------------------------
// Finding layers by id

TEST(UndoData, FindLayerByIdNotByIndex) {
  CBlockVMTC a(32, 32), b(32, 32);
  FakeLayers targets;
  targets.layers = {{10, &a}, {20, &b}};
  CUndoData record(20);
  record.SetLayerIndex(0);  // the index it had once; the id decides
  int32_t index = -5;
  EXPECT_EQ(record.FindLayer(targets, &index), &b);
  EXPECT_EQ(index, 1);
  targets.layers.erase(targets.layers.begin() + 1);
  EXPECT_EQ(record.FindLayer(targets, &index), nullptr);
  EXPECT_EQ(index, -1);
}

}  // namespace
}  // namespace tf
