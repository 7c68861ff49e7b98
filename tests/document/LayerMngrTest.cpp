#include "document/LayerMngr.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "document/BlendMode.h"
#include "document/LayerData.h"
#include "document/LayerDraw.h"
#include "document/PixelUndo.h"
#include "document/ShellServices.h"
#include "document/UndoData.h"
#include "platform/AddressSpace.h"
#include "platform/Clock.h"
#include "platform/Text.h"
#include "platform/Warning.h"
#include "raster/Composite.h"

namespace tf {
namespace {

class LayerMngrTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitCompositeTables();
    ResetAddressSpaceSettings();
    previousWarnings_ = SetWarningHost(&warnings_);
    previousPanes_ = SetToolPaneHost(&panes_);
    SetMillisecondSource([] { return 12345u; });
    ResetLayerIdCounter();
  }
  void TearDown() override {
    ResetAddressSpaceSettings();
    SetWarningHost(previousWarnings_);
    SetToolPaneHost(previousPanes_);
    SetMillisecondSource({});
  }

  // A stack of n canvas-sized layers named "0", "1", ... with the given depths.
  void Build(CLayerMngr& stack, const std::vector<int>& depths, int32_t width = 64, int32_t height = 64) {
    stack.SetCanvasSize(width, height);
    for (size_t i = 0; i < depths.size(); ++i) {
      ASSERT_EQ(stack.AddLayer(width, height, true, 255, false, kModeNormal), static_cast<int32_t>(i));
      stack.Get(static_cast<int32_t>(i))->name = std::to_string(i);
      stack.Get(static_cast<int32_t>(i))->SetGroupDepth(depths[i]);
    }
  }
  static std::string Names(const CLayerMngr& stack) {
    std::string s;
    for (int32_t i = 0; i < stack.Count(); ++i) s += stack.Get(i)->name;
    return s;
  }
  static std::vector<int> Depths(const CLayerMngr& stack) {
    std::vector<int> d;
    for (int32_t i = 0; i < stack.Count(); ++i) d.push_back(stack.Get(i)->GroupDepth());
    return d;
  }
  static bool IndexesInOrder(const CLayerMngr& stack) {
    for (int32_t i = 0; i < stack.Count(); ++i) {
      if (stack.Get(i)->index != i) return false;
    }
    return true;
  }

  RecordingWarningHost warnings_;
  WarningHost* previousWarnings_ = nullptr;
  RecordingToolPaneHost panes_;
  ToolPaneHost* previousPanes_ = nullptr;
};

// ---- Layers ------------------------------------------------------------------------------

TEST_F(LayerMngrTest, NewLayerHasDefaultsAndANeutralStoreThatCommitsNothing) {
  CLayerData layer(3, false);
  EXPECT_EQ(layer.id, 1);
  EXPECT_EQ(LayerIdCounter(), 1);
  EXPECT_EQ(layer.visible, 0);
  EXPECT_EQ(layer.Store(), nullptr);
  SRandom expected;
  RandomInit(expected, 12345, 0, 255);
  EXPECT_EQ(layer.random, expected);

  ASSERT_TRUE(layer.Init(100, 50, kModeMultiply));
  EXPECT_EQ(layer.visible, 1);
  EXPECT_EQ(layer.opacity, 255);
  EXPECT_EQ(layer.blendMode, kModeMultiply);
  EXPECT_EQ(layer.canvasWidth, 100);
  EXPECT_EQ(layer.canvasHeight, 50);
  EXPECT_EQ(layer.Store()->CommittedBytes(), 0);
  EXPECT_EQ(layer.Store()->GetPixel(99, 49), 0x00FFFFFFu);
  ASSERT_TRUE(layer.Init(40, 40, kModeScreen));
  EXPECT_EQ(layer.Store()->GetPixel(5, 5), 0x00000000u);  // screen's neutral black, alpha 0
  // Thumbnail fitted to the layer list's size (32) with the canvas aspect.
  ASSERT_NE(layer.Thumbnail(), nullptr);
  EXPECT_EQ(layer.Thumbnail()->Width(), 32);
  EXPECT_EQ(layer.Thumbnail()->Height(), 32);

  EXPECT_FALSE(layer.Init(0, 10, kModeNormal));
  EXPECT_EQ(layer.Store(), nullptr);
  EXPECT_EQ(layer.visible, 0);
}

TEST_F(LayerMngrTest, GroupDepthIsKeptInsideItsRange) {
  CLayerData layer;
  EXPECT_EQ(layer.SetGroupDepth(300), 250);
  EXPECT_EQ(layer.SetGroupDepth(-4), 0);
  EXPECT_EQ(layer.SetFolderDepth(7), 7);
  EXPECT_EQ(layer.AddGroupDepth(-20), 0);
  layer.SetGroupDepth(249);
  EXPECT_EQ(layer.AddGroupDepth(INT32_MAX), 250);
}

TEST_F(LayerMngrTest, ThumbnailKeepsTheCanvasAspect) {
  struct Case {
    int32_t canvasW, canvasH, size, w, h;
  } cases[] = {
      {200, 100, 32, 32, 16}, {100, 200, 32, 16, 32}, {64, 64, 40, 40, 40},
      {5000, 1, 32, 32, 1},   {1, 5000, 32, 1, 32},
  };
  for (const Case& c : cases) {
    CLayerData layer;
    ASSERT_TRUE(layer.Init(c.canvasW, c.canvasH, kModeNormal));
    ASSERT_TRUE(layer.SetThumbnailSize(c.size, c.size));
    EXPECT_EQ(layer.Thumbnail()->Width(), c.w) << c.canvasW << "x" << c.canvasH;
    EXPECT_EQ(layer.Thumbnail()->Height(), c.h) << c.canvasW << "x" << c.canvasH;
    EXPECT_EQ(layer.Thumbnail()->GetPixel(0, 0), 0x00FFFFFFu);
  }
  CLayerData layer;
  ASSERT_TRUE(layer.Init(10, 10, kModeNormal));
  EXPECT_FALSE(layer.SetThumbnailSize(0, 10));
}

TEST_F(LayerMngrTest, ThumbnailShowsTheCanvasPartOfTheStore) {
  CLayerData layer;
  ASSERT_TRUE(layer.Init(64, 64, kModeNormal));
  ASSERT_TRUE(layer.SetThumbnailSize(16, 16));
  SRectWH left{0, 0, 32, 64};
  layer.Store()->FillRect(left, 0xFF0000FFu);
  layer.UpdateThumbnail();
  EXPECT_EQ(layer.Thumbnail()->GetPixel(0, 0), 0xFF0000FFu);
  EXPECT_EQ(layer.Thumbnail()->GetPixel(15, 15), 0x00FFFFFFu);
  layer.FillThumbnailNeutral(false);
  EXPECT_EQ(layer.Thumbnail()->GetPixel(3, 3), 0xFFFFFFFFu);
  layer.blendMode = kModeScreen;
  layer.FillThumbnailNeutral(true);
  EXPECT_EQ(layer.Thumbnail()->GetPixel(3, 3), 0x00000000u);
}

TEST_F(LayerMngrTest, OffsetMovesTheCanvasInsideTheStore) {
  CLayerData layer;
  ASSERT_TRUE(layer.Init(64, 64, kModeNormal));
  EXPECT_FALSE(layer.IsOversized());
  EXPECT_FALSE(layer.Offset(10, 0));
  EXPECT_EQ(layer.offsetX, -10);
  EXPECT_EQ(layer.offsetY, 0);
  TRect r;
  layer.GetStoreRect(r);
  EXPECT_EQ(r, (TRect{10, 0, 74, 64}));
  EXPECT_TRUE(layer.IsOffsetInside(true));
  EXPECT_EQ(layer.offsetX, 0);
  // Saturating arithmetic for offsets from outside.
  layer.offsetX = INT32_MIN + 1;
  layer.Offset(100, 0);
  EXPECT_EQ(layer.offsetX, INT32_MIN);
}

TEST_F(LayerMngrTest, CreateResizedPlacesTheOldStoreInsideTheNewOne) {
  CLayerData layer(4, true);
  ASSERT_TRUE(layer.Init(40, 40, kModeMultiply));
  layer.offsetX = 2;
  layer.Store()->SetPixel(0, 0, 0xFF112233u);
  layer.Store()->SetPixel(39, 39, 0xFF445566u);
  layer.opacity = 90;
  std::unique_ptr<CLayerData> big = layer.CreateResized(SSize{100, 80}, TPoint{33, 7});
  ASSERT_TRUE(big);
  EXPECT_NE(big->id, layer.id);
  EXPECT_EQ(big->index, 4);
  EXPECT_TRUE(big->HasOwnUndo());
  EXPECT_EQ(big->blendMode, kModeMultiply);
  EXPECT_EQ(big->opacity, 255);
  EXPECT_EQ(big->offsetX, 35);
  EXPECT_EQ(big->offsetY, 7);
  EXPECT_EQ(big->canvasWidth, 40);
  EXPECT_EQ(big->Store()->GetPixel(33, 7), 0xFF112233u);
  EXPECT_EQ(big->Store()->GetPixel(72, 46), 0xFF445566u);
  EXPECT_EQ(big->Store()->GetPixel(32, 7), 0x00FFFFFFu);
  EXPECT_EQ(big->Store()->GetPixel(99, 79), 0x00FFFFFFu);
}

TEST_F(LayerMngrTest, AssignAndCopyAttributes) {
  CLayerData a;
  ASSERT_TRUE(a.Init(50, 30, kModeOverlay));
  a.name = "abc";
  a.opacity = 77;
  a.dissolve = 1;
  a.dissolveThreshold = 9;
  a.alphaProtect = 1;
  a.clip = 1;
  a.extraAttribute = 5;
  a.SetGroupDepth(3);
  a.offsetX = -4;
  a.SetSeed(99);
  a.Store()->SetPixel(7, 8, 0x80FF0000u);
  CLayerData b;
  ASSERT_TRUE(b.InitFrom(a));
  EXPECT_NE(b.id, a.id);
  EXPECT_EQ(b.name, "abc");
  EXPECT_EQ(b.opacity, 77);
  EXPECT_EQ(b.blendMode, kModeOverlay);
  EXPECT_EQ(b.GroupDepth(), 3);
  EXPECT_EQ(b.random, a.random);
  EXPECT_EQ(b.clip, 1);
  EXPECT_EQ(b.extraAttribute, 5);
  EXPECT_EQ(b.offsetX, -4);
  EXPECT_EQ(b.Store()->GetPixel(7, 8), 0x80FF0000u);
  EXPECT_EQ(b.StoreWidth(), 50);

  // A store of another size is replaced, not copied tile by tile into the wrong grid.
  CLayerData c;
  ASSERT_TRUE(c.Init(10, 10, kModeNormal));
  ASSERT_TRUE(c.Assign(a));
  EXPECT_EQ(c.StoreWidth(), 50);
  EXPECT_EQ(c.Store()->GetPixel(7, 8), 0x80FF0000u);

  CLayerData d;
  d.offsetX = 11;
  d.CopyAttributes(a);
  EXPECT_EQ(d.offsetX, 11);
  EXPECT_EQ(d.name, "abc");
  EXPECT_EQ(d.Store(), nullptr);
}

TEST_F(LayerMngrTest, OwnPixelUndoRestoresTheRectangleIntoStoreAndImage) {
  CLayerData layer(0, true);
  ASSERT_TRUE(layer.Init(64, 64, kModeNormal));
  layer.Store()->SetPixel(40, 40, 0xFF010203u);
  ASSERT_TRUE(layer.SaveRectOwnUndo(SRectWH{33, 33, 1, 1}));
  EXPECT_TRUE(layer.CanUndoOwn());
  EXPECT_GT(layer.GetOwnUndoMemory(), 0);
  layer.Store()->SetPixel(40, 40, 0xFFFFFFFFu);
  TMTC image(64, 64);
  image.FillAll(0);
  SRectWH rect{};
  ASSERT_TRUE(layer.UndoOwnPixels(&image, rect));
  EXPECT_EQ(rect, (SRectWH{32, 32, 32, 32}));
  EXPECT_EQ(layer.Store()->GetPixel(40, 40), 0xFF010203u);
  EXPECT_EQ(image.GetPixel(40, 40), 0xFF010203u);
  EXPECT_EQ(image.GetPixel(31, 31), 0u);
  EXPECT_TRUE(layer.CanRedoOwn());

  CLayerData plain;
  ASSERT_TRUE(plain.Init(8, 8, kModeNormal));
  EXPECT_FALSE(plain.SaveStoreOwnUndo());
  EXPECT_FALSE(plain.UndoOwnPixels(nullptr, rect));
}

// ---- Stack basics ------------------------------------------------------------------------

TEST_F(LayerMngrTest, FirstLayerBecomesActiveAndDefaultNamesCount) {
  CLayerMngr stack;
  stack.SetCanvasSize(64, 48);
  EXPECT_EQ(stack.ActiveIndex(), -1);
  EXPECT_EQ(stack.ThumbnailWidth(), 32);
  ASSERT_EQ(stack.AddLayer(64, 48, true, 200, false, kModeNormal), 0);
  EXPECT_EQ(stack.ActiveIndex(), 0);
  ASSERT_TRUE(stack.AssignDefaultName(0, 1));
  EXPECT_EQ(Cp932ToUtf8(stack.Get(0)->name), "レイヤ1");
  EXPECT_EQ(Cp932ToUtf8(stack.MakeName(1)), "レイヤ2");
  EXPECT_EQ(stack.Get(0)->opacity, 200);
  EXPECT_EQ(stack.Get(0)->canvasWidth, 64);
  ASSERT_EQ(stack.InsertLayer(0, 64, 48, false, 255, false, kModeNormal), 0);
  EXPECT_EQ(stack.ActiveIndex(), 0);  // unchanged by later insertions
  EXPECT_EQ(stack.Get(0)->visible, 0);
  EXPECT_EQ(Cp932ToUtf8(stack.Get(1)->name), "レイヤ1");
  // An index past the top appends.
  ASSERT_EQ(stack.InsertLayer(99, 64, 48, true, 255, false, kModeScreen), 2);
  EXPECT_EQ(stack.Get(2)->blendMode, kModeScreen);
  EXPECT_EQ(stack.Get(2)->Store()->GetPixel(0, 0), 0x00000000u);
  EXPECT_EQ(stack.ActiveIndex(), 0);
  EXPECT_TRUE(IndexesInOrder(stack));
  EXPECT_FALSE(stack.AssignDefaultName(5, 1));
  EXPECT_TRUE(warnings_.Texts().empty());
}

TEST_F(LayerMngrTest, InsertFailuresShowTheirMessagesAndAddNothing) {
  CLayerMngr stack;
  stack.SetCanvasSize(16, 16);
  EXPECT_EQ(stack.InsertLayer(-1, 16, 16, true, 255, false, kModeNormal), -1);
  EXPECT_EQ(stack.InsertLayer(0, 0, 16, true, 255, false, kModeNormal), -1);
  std::unique_ptr<CLayerData> loose = std::make_unique<CLayerData>();
  EXPECT_EQ(stack.InsertExisting(-3, loose), -1);
  EXPECT_TRUE(loose);  // still the caller's
  ASSERT_EQ(warnings_.Texts().size(), 3u);
  EXPECT_EQ(warnings_.Texts()[0], kBadLayerIndexText);
  EXPECT_EQ(warnings_.Texts()[1], kLayerInitFailedText);
  EXPECT_EQ(warnings_.Texts()[2], kBadLayerIndexText);
  EXPECT_EQ(stack.Count(), 0);
  EXPECT_EQ(stack.ActiveIndex(), -1);
}

TEST_F(LayerMngrTest, StackNeverGrowsPastItsLimit) {
  CLayerMngr stack;
  stack.SetLimit(2);
  Build(stack, {0, 0}, 8, 8);
  EXPECT_FALSE(stack.CanAdd());
  EXPECT_EQ(stack.AddLayer(8, 8, true, 255, false, kModeNormal), -1);
  ASSERT_EQ(warnings_.Texts().size(), 1u);
  EXPECT_EQ(warnings_.Texts()[0], kLayerAddFailedText);
  std::unique_ptr<CLayerData> extra = std::make_unique<CLayerData>();
  EXPECT_EQ(stack.InsertExisting(0, extra), -1);
  EXPECT_TRUE(extra);
  EXPECT_EQ(stack.Count(), 2);
  stack.SetLimit(1000000);
  EXPECT_EQ(stack.Limit(), kMaxLayerCount);
}

TEST_F(LayerMngrTest, InvalidIndexesAreRefused) {
  CLayerMngr stack;
  Build(stack, {0, 0, 0});
  for (int32_t bad : {-1, 3, INT32_MIN, INT32_MAX}) {
    EXPECT_EQ(stack.Get(bad), nullptr);
    EXPECT_FALSE(stack.Delete(bad));
    EXPECT_EQ(stack.Extract(bad), nullptr);
    EXPECT_EQ(stack.GetIdAt(bad), -1);
    EXPECT_EQ(stack.Move(0, bad), -1);
    EXPECT_EQ(stack.GetGroupSpan(bad, true), -1);
    EXPECT_FALSE(stack.ShowOnly(bad));
    EXPECT_FALSE(stack.CanMergeDown(bad));
    EXPECT_FALSE(stack.AssignLayer(bad, 0));
    EXPECT_EQ(stack.SetActive(bad), 0);
    std::unique_ptr<CLayerData> fresh = std::make_unique<CLayerData>();
    EXPECT_EQ(stack.Replace(bad, fresh), nullptr);
    EXPECT_TRUE(fresh);
    EXPECT_FALSE(stack.MergeDown(bad, 1, nullptr, 0));
    EXPECT_FALSE(stack.MergeDown(0, bad, nullptr, 0));
  }
  stack.FreeAt(7);
  EXPECT_EQ(stack.Count(), 3);
  EXPECT_EQ(Names(stack), "012");
}

TEST_F(LayerMngrTest, ExtractDeleteAndReplaceKeepTheActiveIndexInRange) {
  CLayerMngr stack;
  Build(stack, {0, 0, 0, 0});
  stack.SetActive(3);
  std::unique_ptr<CLayerData> top = stack.ExtractAndFix(3);
  ASSERT_TRUE(top);
  EXPECT_EQ(top->name, "3");
  EXPECT_EQ(stack.ActiveIndex(), 2);
  EXPECT_TRUE(stack.Delete(2));
  EXPECT_EQ(stack.ActiveIndex(), 1);
  EXPECT_EQ(stack.InsertExisting(1, top), 1);
  EXPECT_FALSE(top);
  EXPECT_EQ(Names(stack), "031");
  EXPECT_TRUE(IndexesInOrder(stack));
  std::unique_ptr<CLayerData> fresh = std::make_unique<CLayerData>();
  fresh->name = "x";
  std::unique_ptr<CLayerData> old = stack.Replace(0, fresh);
  ASSERT_TRUE(old);
  EXPECT_EQ(old->name, "0");
  EXPECT_EQ(Names(stack), "x31");
  EXPECT_EQ(stack.Clear(), 3);
  EXPECT_EQ(stack.ActiveIndex(), -1);
  // A layer put back into an empty stack becomes the active one.
  EXPECT_EQ(stack.InsertExisting(0, old), 0);
  EXPECT_EQ(stack.ActiveIndex(), 0);
}

TEST_F(LayerMngrTest, MoveClampsTheTargetAndRenumbers) {
  struct Case {
    int32_t to, from, result;
    const char* order;
  } cases[] = {
      {3, 3, -1, "0123"}, {99, 0, 3, "1230"}, {0, 3, 0, "3012"},  {-5, 2, 0, "2013"},
      {2, 1, 2, "0213"},  {1, 2, 1, "0213"},  {0, 0, -1, "0123"}, {1, 9, -1, "0123"},
  };
  for (const Case& c : cases) {
    CLayerMngr stack;
    Build(stack, {0, 0, 0, 0}, 8, 8);
    EXPECT_EQ(stack.Move(c.to, c.from), c.result) << c.to << " " << c.from;
    EXPECT_EQ(Names(stack), c.order) << c.to << " " << c.from;
    EXPECT_TRUE(IndexesInOrder(stack));
  }
}

TEST_F(LayerMngrTest, SwapWithExchangesEntriesBetweenStacks) {
  CLayerMngr a;
  CLayerMngr b;
  Build(a, {0, 0}, 8, 8);
  Build(b, {0, 0, 0}, 8, 8);
  b.Get(2)->name = "z";
  ASSERT_TRUE(a.SwapWith(0, b, true, 2));
  EXPECT_EQ(Names(a), "z1");
  EXPECT_EQ(Names(b), "010");
  EXPECT_TRUE(IndexesInOrder(a));
  EXPECT_TRUE(IndexesInOrder(b));
  EXPECT_FALSE(a.SwapWith(0, b, true, 3));
}

TEST_F(LayerMngrTest, IdsAndTheUndoResolver) {
  CLayerMngr stack;
  Build(stack, {0, 0, 0});
  const int32_t id = stack.GetIdAt(1);
  EXPECT_EQ(stack.IndexOfId(id), 1);
  int32_t index = -1;
  CLayerData* layer = nullptr;
  ASSERT_TRUE(stack.FindById(id, index, layer));
  EXPECT_EQ(layer, stack.Get(1));
  EXPECT_FALSE(stack.FindById(9999, index, layer));
  EXPECT_EQ(index, -1);
  UndoTargetResolver& resolver = stack;
  EXPECT_EQ(resolver.FindLayerIndex(id), 1);
  EXPECT_EQ(resolver.FindLayerPixels(id), stack.Get(1)->Store());
  EXPECT_EQ(resolver.FindLayerPixels(9999), nullptr);
  EXPECT_EQ(resolver.FindMaskIndex(1), -1);

  // The document undo finds the layer by id wherever it moved.
  CUndoMngr undo(8, 8);
  ASSERT_TRUE(undo.SaveRect(1, id, *stack.Get(1)->Store(), SRectWH{0, 0, 8, 8}));
  stack.Get(1)->Store()->SetPixel(1, 1, 0xFF00FF00u);
  stack.Move(0, 1);
  SRectWH rect{};
  int32_t found = -1;
  ASSERT_TRUE(undo.UndoPixels(resolver, rect, found));
  EXPECT_EQ(found, 0);
  EXPECT_EQ(stack.Get(0)->Store()->GetPixel(1, 1), 0x00FFFFFFu);
}

TEST_F(LayerMngrTest, VisibilityOperations) {
  CLayerMngr empty;
  std::vector<uint8_t> flags;
  EXPECT_FALSE(empty.GetVisibility(flags));
  EXPECT_FALSE(empty.SetAllVisible(true));
  EXPECT_FALSE(empty.InvertVisibility());
  EXPECT_EQ(empty.FirstVisible(), -1);

  CLayerMngr stack;
  Build(stack, {0, 0, 0, 0}, 8, 8);
  EXPECT_EQ(stack.VisibleCount(), 4);
  ASSERT_TRUE(stack.ShowOnly(2));
  ASSERT_TRUE(stack.GetVisibility(flags));
  EXPECT_EQ(flags, (std::vector<uint8_t>{0, 0, 1, 0}));
  EXPECT_EQ(stack.FirstVisible(), 2);
  ASSERT_TRUE(stack.InvertVisibility());
  EXPECT_EQ(stack.VisibleCount(), 3);
  EXPECT_EQ(stack.SetRangeVisible(1, 99, false), 3);
  EXPECT_EQ(stack.VisibleCount(), 1);
  EXPECT_EQ(stack.SetRangeVisible(4, 1, true), 0);
  EXPECT_EQ(stack.SetRangeVisible(0, 0, true), 0);
  int32_t count = 10;
  EXPECT_TRUE(stack.ClampRange(3, count));
  EXPECT_EQ(count, 1);
  count = -1;
  EXPECT_FALSE(stack.ClampRange(0, count));
  ASSERT_TRUE(stack.SetAllVisible(false));
  EXPECT_EQ(stack.FirstVisible(), -1);
}

// ---- Folders -----------------------------------------------------------------------------

TEST_F(LayerMngrTest, SpansParentsAndMaxDepthFollowTheDepthArray) {
  struct Case {
    std::vector<int> depths;
    std::vector<int> spans;
    std::vector<int> parents;
    int maxDepth;
  } cases[] = {
      {{0, 1, 1, 0}, {2, 0, 0, 0}, {-1, 0, 0, -1}, 1},
      {{0, 1, 2, 2, 1, 0}, {4, 2, 0, 0, 0, 0}, {-1, 0, 1, 1, 0, -1}, 2},
      {{0, 0, 0}, {0, 0, 0}, {-1, -1, -1}, 0},
      {{2, 1, 0}, {0, 0, 0}, {-1, -1, -1}, 2},
      {{1, 3, 2, 0, 5}, {2, 0, 0, 1, 0}, {-1, 0, 0, -1, 3}, 5},
      {{0, 250, 250}, {2, 0, 0}, {-1, 0, 0}, 250},
  };
  for (const Case& c : cases) {
    CLayerMngr stack;
    Build(stack, c.depths, 8, 8);
    EXPECT_EQ(stack.GetMaxDepth(), c.maxDepth);
    for (size_t i = 0; i < c.depths.size(); ++i) {
      EXPECT_EQ(stack.GetGroupSpan(static_cast<int32_t>(i), true), c.spans[i]) << "layer " << i;
      EXPECT_EQ(stack.GetParentIndex(static_cast<int32_t>(i), false), c.parents[i]) << "layer " << i;
    }
  }
  CLayerMngr empty;
  EXPECT_EQ(empty.GetMaxDepth(), -1);
  EXPECT_FALSE(empty.EnsureDepthArray(true));
}

TEST_F(LayerMngrTest, DepthCacheIsRebuiltAfterTheStackChanges) {
  CLayerMngr stack;
  Build(stack, {0, 1, 1, 0}, 8, 8);
  EXPECT_EQ(stack.GetGroupSpan(0, true), 2);
  // A reorder without a rebuild flag must not answer from the old order.
  stack.Move(0, 3);
  EXPECT_EQ(Depths(stack), (std::vector<int>{0, 0, 1, 1}));
  EXPECT_EQ(stack.GetGroupSpan(1, false), 2);
  std::unique_ptr<CLayerData> gone = stack.Extract(3);
  EXPECT_EQ(stack.GetGroupSpan(1, false), 1);
  // Depths set on the layers themselves need the rebuild flag.
  stack.Get(2)->SetGroupDepth(0);
  EXPECT_EQ(stack.GetGroupSpan(1, false), 1);
  EXPECT_EQ(stack.GetGroupSpan(1, true), 0);
}

TEST_F(LayerMngrTest, IndentAndOutdentRules) {
  struct Case {
    std::vector<int> depths;
    int32_t index;
    bool canIndent, canOutdent;
  } cases[] = {
      {{0, 0}, 1, true, false},          {{0, 0}, 0, false, false},       {{0, 1}, 1, false, true},
      {{1, 0}, 1, true, false},          {{0, 1, 1}, 2, true, true},      {{0, 248, 248}, 2, true, true},
      {{0, 249, 0, 0}, 3, false, false}, {{0, 249, 249}, 2, false, true},
  };
  for (const Case& c : cases) {
    CLayerMngr stack;
    Build(stack, c.depths, 8, 8);
    EXPECT_EQ(stack.CanIndent(c.index, true), c.canIndent) << c.index;
    EXPECT_EQ(stack.CanOutdent(c.index, true), c.canOutdent) << c.index;
  }
}

TEST_F(LayerMngrTest, ChangeDepthMovesAFolderWithItsContent) {
  CLayerMngr stack;
  Build(stack, {0, 0, 1, 1, 0}, 8, 8);
  ASSERT_TRUE(stack.ChangeDepth(1, true, true));
  EXPECT_EQ(Depths(stack), (std::vector<int>{0, 1, 2, 2, 0}));
  ASSERT_TRUE(stack.ChangeDepth(1, false, true));
  EXPECT_EQ(Depths(stack), (std::vector<int>{0, 0, 1, 1, 0}));
  EXPECT_FALSE(stack.ChangeDepth(1, false, true));  // already at 0
  EXPECT_FALSE(stack.ChangeDepth(0, true, true));   // the bottom layer has no layer below
  EXPECT_EQ(Depths(stack), (std::vector<int>{0, 0, 1, 1, 0}));
}

TEST_F(LayerMngrTest, AddDepthKeepsEveryDepthInRange) {
  CLayerMngr stack;
  Build(stack, {0, 3, 249, 250}, 8, 8);
  EXPECT_EQ(stack.AddDepth(0, 99, true, -1), 4);
  EXPECT_EQ(Depths(stack), (std::vector<int>{0, 2, 248, 249}));
  EXPECT_EQ(stack.AddDepth(1, 3, true, 1000), 3);
  EXPECT_EQ(Depths(stack), (std::vector<int>{0, 250, 250, 250}));
  EXPECT_EQ(stack.AddDepth(0, 4, true, INT32_MIN), 4);
  EXPECT_EQ(Depths(stack), (std::vector<int>{0, 0, 0, 0}));
  EXPECT_EQ(stack.AddDepth(4, 1, true, 1), 0);
  EXPECT_EQ(stack.AddDepth(-1, 1, true, 1), 0);
  EXPECT_FALSE(stack.ApplyDepths(5, 1));
}

TEST_F(LayerMngrTest, CanMoveBlockNeedsTheWholeFolderAndATargetOutsideIt) {
  // Names 0..5, depths: 0 | 1 [2 3] | 4 | 5 with layer 1 a folder holding 2 and 3.
  struct Case {
    int32_t to, from, count;
    bool allowed;
  } cases[] = {
      {0, 1, 3, true},   {5, 1, 3, true},  {6, 1, 3, true},  {1, 1, 3, false}, {2, 1, 3, false},
      {4, 1, 3, false},  {3, 1, 3, false}, {0, 1, 1, false}, {0, 1, 2, false}, {7, 1, 3, false},
      {-1, 1, 3, false}, {0, 4, 1, true},  {5, 4, 1, false}, {6, 4, 1, true},  {0, 6, 1, false},
  };
  for (const Case& c : cases) {
    CLayerMngr stack;
    Build(stack, {0, 0, 1, 1, 0, 0}, 8, 8);
    EXPECT_EQ(stack.CanMoveBlock(c.to, c.from, true, c.count), c.allowed)
        << "to " << c.to << " from " << c.from << " count " << c.count;
  }
}

TEST_F(LayerMngrTest, MoveBlockIndexArithmeticAndTargetDepths) {
  struct Case {
    std::vector<int> depths;
    int32_t to, from, count, result;
    const char* order;
    std::vector<int> after;
  } cases[] = {
      // A folder (1 with 2, 3) moved up to the top.
      {{0, 0, 1, 1, 0, 0}, 6, 1, 3, 3, "045123", {0, 0, 0, 0, 1, 1}},
      // The same folder moved to the bottom.
      {{0, 0, 1, 1, 0, 0}, 0, 1, 3, 0, "123045", {0, 1, 1, 0, 0, 0}},
      // A plain layer moved just above a folder row joins the folder as its first content.
      {{0, 1, 1, 0}, 1, 3, 1, 1, "0312", {0, 1, 1, 1}},
      // A plain layer moved after the folder's last content takes that content's depth.
      {{0, 0, 1, 1}, 4, 0, 1, 3, "1230", {0, 1, 1, 1}},
      // Moved up by one layer.
      {{0, 0, 0, 0}, 3, 1, 1, 2, "0213", {0, 0, 0, 0}},
      // A nested folder leaves its parent for the bottom: every depth drops by 1.
      {{0, 1, 2, 2, 0}, 0, 1, 3, 0, "12304", {0, 1, 1, 0, 0}},
      // Into a deep folder: depths grow but stay at most 250.
      {{0, 249, 250, 0, 1}, 2, 3, 2, 2, "01342", {0, 249, 250, 250, 250}},
  };
  for (const Case& c : cases) {
    CLayerMngr stack;
    Build(stack, c.depths, 8, 8);
    EXPECT_EQ(stack.MoveBlock(c.to, c.from, c.count), c.result) << c.order;
    EXPECT_EQ(Names(stack), c.order);
    EXPECT_EQ(Depths(stack), c.after) << c.order;
    EXPECT_TRUE(IndexesInOrder(stack));
  }
  CLayerMngr stack;
  Build(stack, {0, 1, 1, 0}, 8, 8);
  EXPECT_EQ(stack.MoveBlock(2, 0, 3), -1);  // into itself
  EXPECT_EQ(stack.MoveBlock(4, 0, 2), -1);  // not the whole folder
  EXPECT_EQ(Names(stack), "0123");
  EXPECT_TRUE(warnings_.Texts().empty());
}

// ---- Merge -------------------------------------------------------------------------------

// A lower store filled as a whole keeps its tiles uncommitted (the fill colour stands for every
// pixel); the merge still carries the lower opacity into the alpha of every pixel of it.
TEST_F(LayerMngrTest, MergeDownOfAFilledLowerStoreCarriesItsOpacity) {
  CLayerMngr stack;
  Build(stack, {0, 0}, 64, 64);
  CLayerData* lower = stack.Get(0);
  lower->Store()->FillAll(0xFF0000FFu);
  lower->opacity = 200;
  std::unique_ptr<CLayerData> old;
  ASSERT_TRUE(stack.MergeDown(0, 1, &old, 0));
  CLayerData* merged = stack.Get(0);
  for (const TPoint p : {TPoint{3, 3}, TPoint{0, 0}, TPoint{63, 63}}) {
    EXPECT_EQ(merged->Store()->GetPixel(p.x + merged->offsetX, p.y + merged->offsetY), 0xC80000FFu)
        << p.x << "," << p.y;
  }
  EXPECT_EQ(merged->opacity, 255);
}

TEST_F(LayerMngrTest, CanMergeDownRules) {
  struct Case {
    std::vector<int> depths;
    int32_t index;
    bool allowed;
  } cases[] = {
      {{0, 0}, 0, false}, {{0, 0}, 1, true},  {{0, 0}, 2, false},    {{0, 1}, 1, true},
      {{1, 0}, 1, false}, {{0, 2}, 1, false}, {{0, 0, 1}, 1, false}, {{0, 1, 1}, 2, true},
  };
  for (const Case& c : cases) {
    CLayerMngr stack;
    Build(stack, c.depths, 8, 8);
    EXPECT_EQ(stack.CanMergeDown(c.index), c.allowed) << c.index;
  }
}

TEST_F(LayerMngrTest, MergeDownCoversBothStoresAndKeepsTheLowerId) {
  CLayerMngr stack;
  Build(stack, {0, 0}, 64, 64);
  CLayerData* lower = stack.Get(0);
  CLayerData* upper = stack.Get(1);
  lower->Store()->SetPixel(3, 3, 0xFF0000FFu);
  lower->opacity = 200;
  lower->SetGroupDepth(0);
  // The upper layer's store lies partly outside the lower one: 20 right, 40 up.
  upper->offsetX = -20;
  upper->offsetY = 40;
  upper->Store()->SetPixel(0, 40, 0x80FF0000u);  // canvas (20, 0): over the lower store
  upper->Store()->SetPixel(60, 0, 0xFF00FF00u);  // canvas (80, -40): outside it
  const int32_t lowerId = lower->id;
  std::unique_ptr<CLayerData> old;
  ASSERT_TRUE(stack.MergeDown(0, 1, &old, 0));
  ASSERT_TRUE(old);
  EXPECT_EQ(old.get(), lower);
  CLayerData* merged = stack.Get(0);
  EXPECT_EQ(merged->id, lowerId);
  EXPECT_EQ(stack.Get(1), upper);  // the upper layer stays for the command to remove
  TRect r;
  merged->GetStoreRect(r);
  EXPECT_EQ(r, (TRect{0, -40, 84, 64}));
  EXPECT_EQ(merged->opacity, 255);
  EXPECT_EQ(merged->offsetX, 0);
  EXPECT_EQ(merged->offsetY, 40);
  // Lower pixels carry the lower opacity in their alpha, also where the upper store does not
  // reach (regression: (3, 3) lies left of it and used to keep its alpha while the merged layer's
  // opacity went to 255).
  auto at = [&](int32_t x, int32_t y) {
    return merged->Store()->GetPixel(x + merged->offsetX, y + merged->offsetY);
  };
  uint32_t expected = 0xFF0000FFu;
  expected = (expected & 0x00FFFFFFu) | (uint32_t{MulTable[255][200]} << 24);
  EXPECT_EQ(at(3, 3), expected);
  uint32_t under = 0x00FFFFFFu;
  GetMergeRoutine(kModeNormal).pixel(&under, 0x80FF0000u, 255);
  EXPECT_EQ(at(20, 0), under);
  uint32_t outside = 0x00FFFFFFu;
  GetMergeRoutine(kModeNormal).pixel(&outside, 0xFF00FF00u, 255);
  EXPECT_EQ(at(80, -40), outside);
  EXPECT_EQ(merged->name, "0");
  EXPECT_TRUE(IndexesInOrder(stack));
  EXPECT_TRUE(warnings_.Texts().empty());
}

TEST_F(LayerMngrTest, MergeDownOptionsAndFolderOpacity) {
  CLayerMngr stack;
  Build(stack, {0, 1}, 32, 32);
  CLayerData* lower = stack.Get(0);
  lower->opacity = 128;
  lower->dissolve = 1;
  lower->name = "folder";
  CLayerData* upper = stack.Get(1);
  upper->Store()->FillAll(0xFF204060u);
  // Without 0x2 only name and opacity pass; depth goes to 0.
  ASSERT_TRUE(stack.MergeDown(0, 1, nullptr, 0));
  EXPECT_EQ(stack.Get(0)->dissolve, 0);
  EXPECT_EQ(stack.Get(0)->GroupDepth(), 0);
  EXPECT_EQ(stack.Get(0)->name, "folder");

  CLayerMngr stack2;
  Build(stack2, {0, 1}, 32, 32);
  stack2.Get(0)->opacity = 128;
  stack2.Get(0)->dissolve = 1;
  stack2.Get(1)->Store()->FillAll(0xFF204060u);
  ASSERT_TRUE(stack2.MergeDown(0, 1, nullptr, kMergeOptionAllAttributes));
  CLayerData* merged = stack2.Get(0);
  EXPECT_EQ(merged->dissolve, 1);
  EXPECT_EQ(merged->opacity, 255);
  // The upper layer sat inside the folder: its opacity was multiplied by the folder's.
  uint32_t expected = 0x00FFFFFFu;
  expected = (expected & 0x00FFFFFFu) | (uint32_t{MulTable[0][128]} << 24);
  GetMergeRoutine(kModeNormal).pixel(&expected, 0xFF204060u, static_cast<int32_t>(MulDiv255(255, 128)));
  EXPECT_EQ(merged->Store()->GetPixel(5, 5), expected);
  EXPECT_EQ(stack2.Get(1)->opacity, 255);  // restored (never touched)
}

TEST_F(LayerMngrTest, MergeDownWithAnInvisibleUpperLayerKeepsTheLowerLook) {
  CLayerMngr stack;
  Build(stack, {0, 0}, 32, 32);
  stack.Get(0)->Store()->SetPixel(1, 1, 0xFF112233u);
  stack.Get(0)->opacity = 100;
  stack.Get(1)->opacity = 0;
  stack.Get(1)->Store()->FillAll(0xFF00FF00u);
  ASSERT_TRUE(stack.MergeDown(0, 1, nullptr, 0));
  EXPECT_EQ(stack.Get(0)->opacity, 100);
  EXPECT_EQ(stack.Get(0)->Store()->GetPixel(1, 1), 0xFF112233u);

  // Through a descriptor into a subtract layer (whose colours a composite inverts afterwards)
  // nothing changes either.
  for (uint32_t word : {1u, 3u, 3u | kMergeOptionZeroAlpha}) {
    CLayerMngr subtract;
    Build(subtract, {0, 0}, 32, 32);
    subtract.Get(0)->blendMode = kModeSubtract;
    subtract.Get(0)->Store()->SetPixel(1, 1, 0xFF112233u);
    subtract.Get(0)->opacity = 100;
    subtract.Get(1)->opacity = 0;
    subtract.Get(1)->Store()->FillAll(0xFF00FF00u);
    ASSERT_TRUE(subtract.MergeDown(0, 1, nullptr, word));
    EXPECT_EQ(subtract.Get(0)->blendMode, kModeSubtract);
    EXPECT_EQ(subtract.Get(0)->opacity, 100) << word;
    EXPECT_EQ(subtract.Get(0)->Store()->GetPixel(1, 1), 0xFF112233u) << word;
    EXPECT_EQ(subtract.Get(0)->Store()->GetPixel(9, 9), 0x00FFFFFFu) << word;
  }
}

// The zero-alpha option reaches the descriptor composite: upper pixels of alpha 0 leave the lower
// pixels as they are with it, and are composed (alpha rewritten, colour recomputed) without it.
TEST_F(LayerMngrTest, MergeDownPassesTheZeroAlphaOption) {
  std::vector<uint32_t> results;
  for (uint32_t word : {3u, 3u | kMergeOptionZeroAlpha}) {
    CLayerMngr stack;
    Build(stack, {0, 0}, 32, 32);
    stack.Get(0)->Store()->FillAll(0x80C03010u);
    stack.Get(1)->blendMode = kModeOverlay;  // no pair with normal: a descriptor composite
    stack.Get(1)->Store()->FillAll(0xC0204060u);
    stack.Get(1)->Store()->SetPixel(4, 4, 0x00FFFFFFu);
    CLayerData reference;
    ASSERT_TRUE(reference.InitFrom(*stack.Get(0)));
    TPoint point{0, 0};
    SRectWH rect{0, 0, 32, 32};
    ASSERT_TRUE(CompositeLayers(reference, *stack.Get(1), point, word, rect));
    ASSERT_TRUE(stack.MergeDown(0, 1, nullptr, word));
    for (int32_t y : {0, 4, 31}) {
      for (int32_t x : {0, 4, 31}) {
        EXPECT_EQ(stack.Get(0)->Store()->GetPixel(x, y), reference.Store()->GetPixel(x, y)) << word;
      }
    }
    results.push_back(stack.Get(0)->Store()->GetPixel(4, 4));
  }
  EXPECT_EQ(results[1], 0x80C03010u);
  EXPECT_NE(results[0], results[1]);
}

TEST_F(LayerMngrTest, MergeDownPairSelectorsComposeThroughTheModes) {
  for (uint32_t selector : {1u, 2u, 3u}) {
    CLayerMngr stack;
    Build(stack, {0, 0}, 32, 32);
    stack.Get(0)->blendMode = kModeNormal;
    stack.Get(0)->Store()->FillAll(0xFF808080u);
    stack.Get(1)->blendMode = kModeMultiply;
    stack.Get(1)->Store()->FillAll(0xFF4080C0u);
    CLayerData reference;
    ASSERT_TRUE(reference.InitFrom(*stack.Get(0)));
    TPoint point{0, 0};
    SRectWH rect{0, 0, 32, 32};
    ASSERT_TRUE(CompositeLayers(reference, *stack.Get(1), point, selector, rect));
    ASSERT_TRUE(stack.MergeDown(0, 1, nullptr, selector));
    for (int32_t y : {0, 17, 31}) {
      for (int32_t x : {0, 9, 31}) {
        EXPECT_EQ(stack.Get(0)->Store()->GetPixel(x, y), reference.Store()->GetPixel(x, y)) << selector;
      }
    }
  }
}

// Regression: a selector outside 0..3 used to replace the lower layer before composing, then
// compose nothing and fail, leaving the stack damaged.
TEST_F(LayerMngrTest, MergeDownWithABadSelectorLeavesTheStackAsItWas) {
  for (uint32_t word : {4u, 0xFFFFu, 0x20004u, 0x7u}) {
    CLayerMngr stack;
    Build(stack, {0, 0}, 40, 40);
    CLayerData* lower = stack.Get(0);
    CLayerData* upper = stack.Get(1);
    lower->Store()->SetPixel(2, 2, 0xFF010203u);
    lower->opacity = 99;
    upper->offsetX = -10;
    const int32_t lowerId = lower->id;
    const int32_t counter = LayerIdCounter();
    std::unique_ptr<CLayerData> old;
    EXPECT_FALSE(stack.MergeDown(0, 1, &old, word)) << word;
    EXPECT_FALSE(old);
    EXPECT_EQ(stack.Get(0), lower);
    EXPECT_EQ(stack.Get(1), upper);
    EXPECT_EQ(lower->id, lowerId);
    EXPECT_EQ(lower->opacity, 99);
    EXPECT_EQ(lower->StoreWidth(), 40);
    EXPECT_EQ(lower->Store()->GetPixel(2, 2), 0xFF010203u);
    EXPECT_EQ(LayerIdCounter(), counter);  // no replacement was even made
    EXPECT_TRUE(warnings_.Texts().empty());
  }
}

// Regression: a merge that fails while composing (a tile that cannot be committed) must not
// leave a half-made replacement in the stack.
TEST_F(LayerMngrTest, MergeDownThatCannotComposeLeavesTheStackAsItWas) {
  CLayerMngr stack;
  Build(stack, {0, 0}, 64, 64);
  CLayerData* lower = stack.Get(0);
  CLayerData* upper = stack.Get(1);
  lower->opacity = 50;
  upper->Store()->SetPixel(5, 5, 0xFF00FF00u);
  upper->Store()->SetPixel(40, 40, 0xFF0000FFu);
  RefuseNextCommits(1);
  EXPECT_FALSE(stack.MergeDown(0, 1, nullptr, 0));
  ResetAddressSpaceSettings();
  EXPECT_EQ(stack.Get(0), lower);
  EXPECT_EQ(lower->opacity, 50);
  EXPECT_EQ(lower->Store()->CommittedBytes(), 0);
  EXPECT_EQ(stack.Count(), 2);
}

TEST_F(LayerMngrTest, MergeDownThatCannotGrowShowsItsMessage) {
  CLayerMngr stack;
  Build(stack, {0, 0}, 64, 64);
  CLayerData* lower = stack.Get(0);
  // The union of both stores is far too large to reserve.
  stack.Get(1)->offsetX = -2000000000;
  stack.Get(1)->offsetY = -2000000000;
  EXPECT_FALSE(stack.MergeDown(0, 1, nullptr, 0));
  ASSERT_EQ(warnings_.Texts().size(), 1u);
  EXPECT_EQ(warnings_.Texts()[0], kMergeResizeFailedText);
  EXPECT_EQ(stack.Get(0), lower);
  // An overflowing union is refused the same way.
  warnings_.Clear();
  stack.Get(1)->offsetX = INT32_MIN;
  stack.Get(0)->offsetX = INT32_MAX;
  EXPECT_FALSE(stack.MergeDown(0, 1, nullptr, 0));
  EXPECT_EQ(warnings_.Texts().size(), 1u);
  EXPECT_EQ(stack.Get(0), lower);
}

// ---- Undo steps --------------------------------------------------------------------------

struct FakeDocumentUndo {
  std::unique_ptr<CUndoData> undoRecord;
  std::unique_ptr<CUndoData> redoRecord;
  bool succeed = true;
  int dropped = 0;
  int cleared = 0;
  CLayerData* performedWith = nullptr;
  bool PeekUndo(CUndoData*& record) {
    record = undoRecord.get();
    return record != nullptr;
  }
  bool PeekRedo(CUndoData*& record) {
    record = redoRecord.get();
    return record != nullptr;
  }
  void DropNewestUndo() {
    undoRecord.reset();
    ++dropped;
  }
  void DropNewestRedo() {
    redoRecord.reset();
    ++dropped;
  }
  bool Undo(int32_t& layerIndex, CLayerData* layer, SRectWH& rect) {
    performedWith = layer;
    if (!succeed) return false;
    rect = SRectWH{1, 2, 3, 4};
    layerIndex = 7;
    return true;
  }
  bool Redo(int32_t& layerIndex, CLayerData* layer, SRectWH& rect) { return Undo(layerIndex, layer, rect); }
  void ClearAll() {
    undoRecord.reset();
    redoRecord.reset();
    ++cleared;
  }
};

TEST_F(LayerMngrTest, UndoStepFindsTheLayerByIdOrDropsTheRecord) {
  CLayerMngr stack;
  Build(stack, {0, 0, 0}, 8, 8);
  FakeDocumentUndo undo;
  int32_t index = -1;
  uint32_t flags = 0;
  SRectWH rect{};
  EXPECT_FALSE(stack.UndoStep(undo, index, flags, rect));  // nothing to undo

  undo.undoRecord = std::make_unique<CUndoData>(stack.GetIdAt(2));
  undo.undoRecord->SetAttribute(stack.GetIdAt(2), kUndoLayerOpacity, 1, 2, 0, 0);
  ASSERT_TRUE(stack.UndoStep(undo, index, flags, rect));
  EXPECT_EQ(undo.performedWith, stack.Get(2));
  EXPECT_EQ(flags, UndoCodeFlags(kUndoLayerOpacity));
  EXPECT_EQ(rect, (SRectWH{1, 2, 3, 4}));
  EXPECT_EQ(index, 7);

  // The layer is gone: an attribute record is dropped silently.
  undo.undoRecord = std::make_unique<CUndoData>(9999);
  undo.undoRecord->SetAttribute(9999, kUndoLayerOpacity, 1, 2, 0, 0);
  undo.performedWith = stack.Get(0);
  EXPECT_FALSE(stack.UndoStep(undo, index, flags, rect));
  EXPECT_EQ(undo.dropped, 1);
  EXPECT_FALSE(undo.undoRecord);
  EXPECT_TRUE(warnings_.Texts().empty());

  // A layer-structure record goes on without its layer.
  undo.undoRecord = std::make_unique<CUndoData>(9999);
  undo.undoRecord->SetValues(true, 9999, kUndoCategoryLayers, kUndoDeleteLayer, 0, 0, 0, 0);
  ASSERT_TRUE(stack.UndoStep(undo, index, flags, rect));
  EXPECT_EQ(undo.performedWith, nullptr);

  // A failed undo clears everything after the message; a failed redo only answers false.
  undo.succeed = false;
  EXPECT_FALSE(stack.UndoStep(undo, index, flags, rect));
  ASSERT_EQ(warnings_.Texts().size(), 1u);
  EXPECT_EQ(warnings_.Texts()[0], kUndoFailedText);
  EXPECT_EQ(undo.cleared, 1);
  undo.redoRecord = std::make_unique<CUndoData>(stack.GetIdAt(0));
  undo.redoRecord->SetAttribute(stack.GetIdAt(0), kUndoBlendMode, 1, 2, 0, 0);
  EXPECT_FALSE(stack.RedoStep(undo, index, flags, rect));
  EXPECT_EQ(warnings_.Texts().size(), 1u);
  EXPECT_EQ(undo.cleared, 1);
}

TEST_F(LayerMngrTest, ThumbnailSizesComeFromTheLayerList) {
  panes_.layerThumbnailSize = 48;
  CLayerMngr stack;
  EXPECT_EQ(stack.ThumbnailWidth(), 48);
  stack.SetCanvasSize(96, 48);
  ASSERT_EQ(stack.AddLayer(96, 48, true, 255, false, kModeNormal), 0);
  EXPECT_EQ(stack.Get(0)->Thumbnail()->Width(), 48);
  EXPECT_EQ(stack.Get(0)->Thumbnail()->Height(), 24);
  panes_.layerThumbnailSize = 0;  // a list that answers nonsense still gives a usable size
  EXPECT_EQ(GetLayerThumbnailSize(), 1);
  ASSERT_TRUE(stack.SetThumbnailSizeAt(0, 20, 20));
  EXPECT_EQ(stack.Get(0)->Thumbnail()->Width(), 20);
  EXPECT_FALSE(stack.SetThumbnailSizeAt(1, 20, 20));
  // The refresh calls reach the installed host and do nothing without one.
  UpdateLayerPane();
  RedrawLayerList(3);
  EXPECT_EQ(panes_.layerPaneUpdates, 1);
  EXPECT_EQ(panes_.lastRedrawnRow, 3);
  SetNaviImageSize(&stack, 640, 480);
  UpdateNaviImage(&stack);
  EXPECT_EQ(panes_.naviWidth, 640);
  EXPECT_EQ(panes_.naviHeight, 480);
  EXPECT_EQ(panes_.naviImageUpdates, 1);
  EXPECT_EQ(panes_.lastNaviSender, &stack);
  ToolPaneHost* mine = SetToolPaneHost(nullptr);
  UpdateLayerPane();
  UpdateNaviImage(&stack);
  EXPECT_EQ(GetLayerThumbnailSize(), kDefaultLayerThumbnailSize);
  SetToolPaneHost(mine);
  EXPECT_EQ(panes_.layerPaneUpdates, 1);
}

TEST_F(LayerMngrTest, MemoryAndOwnUndoSums) {
  CLayerMngr stack;
  stack.SetCanvasSize(64, 64);
  ASSERT_EQ(stack.AddLayer(64, 64, true, 255, true, kModeNormal), 0);
  ASSERT_EQ(stack.AddLayer(64, 64, true, 255, true, kModeNormal), 1);
  stack.Get(0)->Store()->SetPixel(0, 0, 0xFF000000u);
  const int64_t thumb = 32 * 32 * 4;
  EXPECT_EQ(stack.GetMemory(), 4096 + 2 * thumb);
  ASSERT_TRUE(stack.Get(1)->SaveStoreOwnUndo());
  EXPECT_EQ(stack.GetOwnUndoMemory(), 0);  // nothing committed in the saved tiles
  ASSERT_TRUE(stack.Get(0)->SaveStoreOwnUndo());
  EXPECT_EQ(stack.GetOwnUndoMemory(), 4096);
  // A store kept for later saves counts too.
  auto spare = std::make_unique<CBlockVMTC>(64, 32);
  spare->SetPixel(0, 0, 1);
  spare->SetPixel(32, 0, 1);
  stack.Get(1)->OwnUndo()->Spares().Keep(std::move(spare));
  EXPECT_EQ(stack.GetOwnUndoMemory(), 3 * 4096);
  stack.FreeAllOwnUndo();
  EXPECT_FALSE(stack.Get(0)->HasOwnUndo());
  EXPECT_EQ(stack.GetOwnUndoMemory(), 0);
}

}  // namespace
}  // namespace tf
