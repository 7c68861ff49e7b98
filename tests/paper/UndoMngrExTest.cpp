#include "paper/UndoMngrEx.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "document/LayerMngr.h"
#include "document/Mask.h"
#include "paper/PaperTestSupport.h"
#include "raster/BlockVMTC.h"
#include "support/TestRng.h"

namespace tf {
namespace {

using test::PaperTestScope;

// A document of 64 x 48 with two layers, its own document undo and masks.
struct UndoFixture {
  explicit UndoFixture(int32_t undoMax = 8) {
    scope.host.settings.undoMax = undoMax;
    window = std::make_unique<HeadlessDocumentWindow>();
    EXPECT_TRUE(Paper().NewDocument("u", &window->Flow(), false, false, 72, 48, 64));
    EXPECT_GE(Paper().Layers().AddLayer(64, 48, true, 255, false, 0), 0);
  }
  TPaper& Paper() { return window->Paper(); }
  CUndoMngrEx& Undo() { return *Paper().UndoMngr(); }
  CLayerMngr& Layers() { return Paper().Layers(); }
  CMaskMngr& Masks() { return *Paper().MaskMngr(); }
  CLayerData& Layer(int32_t i) { return *Layers().Get(i); }
  // Applies the newest record as the document's wrapper does, the layer looked up by its id.
  bool Step(bool undo, int32_t* shown = nullptr, SRectWH* rect = nullptr) {
    int32_t index = Paper().GetActiveLayerIndex();
    uint32_t flags = 0;
    SRectWH area{0, 0, 0, 0};
    const bool done =
        undo ? Layers().UndoStep(Undo(), index, flags, area) : Layers().RedoStep(Undo(), index, flags, area);
    if (shown != nullptr) *shown = index;
    if (rect != nullptr) *rect = area;
    return done;
  }

  PaperTestScope scope;
  std::unique_ptr<HeadlessDocumentWindow> window;
};

std::unique_ptr<CUndoData> Record(uint8_t code, int32_t v1 = 0, int32_t v2 = 0, int32_t v3 = 0, int32_t v4 = 0) {
  auto record = std::make_unique<CUndoData>();
  record->code = code;
  record->category = UndoCodeCategory(code);
  record->value1 = v1;
  record->value2 = v2;
  record->value3 = v3;
  record->value4 = v4;
  return record;
}

// ---------------------------------------------------------------------------------------------
// Depth

TEST(UndoDepth, HeavyRecordsBoundTheListAndLightOnesStayBetween) {
  UndoFixture f;
  CUndoMngrEx& undo = f.Undo();
  for (int i = 0; i < 8; ++i) ASSERT_TRUE(undo.SaveLayerRect(f.Layer(0), SRectWH{0, 0, 8, 8}, kUndoLayerRect));
  for (int i = 0; i < 20; ++i) ASSERT_TRUE(undo.PushAttribute(&f.Layer(0), i, 0, kUndoLayerOpacity));
  EXPECT_EQ(undo.UndoCount(), 28);
  ASSERT_TRUE(undo.SaveLayerRect(f.Layer(0), SRectWH{0, 0, 8, 8}, kUndoLayerRect));
  EXPECT_EQ(undo.UndoCount(), 28);  // the oldest pixel record went, the light ones stayed
  EXPECT_EQ(undo.UndoList().HeavyCount(), 8);
  EXPECT_EQ(undo.UndoList().Get(27)->code, kUndoLayerRect);
}

TEST(UndoDepth, TrimKeepsTheDepthAndItsMarginOfLightRecords) {
  UndoFixture f;
  for (int i = 0; i < 50; ++i) ASSERT_TRUE(f.Undo().PushAttribute(&f.Layer(0), i, 0, kUndoLayerOpacity));
  EXPECT_EQ(f.Undo().UndoCount(), 40);
  EXPECT_EQ(f.Undo().UndoList().Get(0)->value1, 49);
  EXPECT_EQ(f.Undo().UndoList().Get(39)->value1, 10);
}

TEST(UndoDepth, LoweringTheDepthDropsFromTheOldestEnd) {
  UndoFixture f;
  CUndoMngrEx& undo = f.Undo();
  const SRectWH r{0, 0, 8, 8};
  undo.SaveLayerRect(f.Layer(0), r, kUndoLayerRect);         // P1 (oldest)
  undo.PushAttribute(&f.Layer(0), 1, 0, kUndoLayerOpacity);  // L
  undo.SaveLayerRect(f.Layer(0), r, kUndoLayerRect);         // P2
  undo.PushAttribute(&f.Layer(0), 2, 0, kUndoLayerOpacity);  // L
  undo.SaveLayerRect(f.Layer(0), r, kUndoLayerRect);         // P3
  undo.PushAttribute(&f.Layer(0), 3, 0, kUndoLayerOpacity);  // L
  ASSERT_EQ(undo.UndoCount(), 6);
  EXPECT_TRUE(undo.SetLimits(2, 9));
  EXPECT_EQ(undo.UndoLimit(), 2);
  EXPECT_EQ(undo.RedoLimit(), 2);  // cut to the undo limit
  EXPECT_EQ(undo.UndoCount(), 5);  // P1 gone, everything newer kept
  EXPECT_EQ(undo.UndoList().HeavyCount(), 2);
  EXPECT_FALSE(undo.SetLimits(2, 2));
  EXPECT_TRUE(undo.SetLimits(-1, 5));
  EXPECT_EQ(undo.UndoLimit(), 0);
  EXPECT_EQ(undo.RedoLimit(), 0);
}

TEST(UndoDepth, PushOntoAListWithLimitZeroIsRefusedInsteadOfLoopingForever) {
  UndoFixture f;
  CUndoMngrEx& undo = f.Undo();
  ASSERT_TRUE(undo.PushAttribute(&f.Layer(0), 1, 0, kUndoLayerOpacity));
  // Limits of 0 leave the light record on the list; a heavy push then had nothing to drop.
  undo.SetLimits(0, 0);
  EXPECT_EQ(undo.UndoCount(), 1);
  std::unique_ptr<CUndoData> heavy = CUndoData::CreateRect(f.Layer(0).id, kUndoLayerRect, SRectWH{0, 0, 4, 4});
  ASSERT_TRUE(heavy && heavy->IsHeavy());
  EXPECT_FALSE(undo.PushUndo(std::move(heavy)));
  EXPECT_NE(heavy, nullptr);  // still the caller's
  std::unique_ptr<CUndoData> light = Record(kUndoLayerOpacity);
  EXPECT_FALSE(undo.PushRedo(std::move(light)));
  EXPECT_NE(light, nullptr);
  EXPECT_FALSE(undo.SaveLayerRect(f.Layer(0), SRectWH{0, 0, 4, 4}, kUndoLayerRect));  // disabled
  EXPECT_EQ(undo.UndoCount(), 1);
}

// The document undo's memory counts the stores it keeps for later saves.
TEST(UndoDepth, MemoryCountsTheStoresKeptForLaterSaves) {
  UndoFixture f;
  const int64_t records = f.Undo().MemorySize();
  auto spare = std::make_unique<CBlockVMTC>(64, 32);
  ASSERT_TRUE(spare->SetPixel(0, 0, 1));
  f.Undo().Spares().Keep(std::move(spare));
  EXPECT_EQ(f.Undo().MemorySize(), records + 4096);
  f.Undo().Spares().Clear();
  EXPECT_EQ(f.Undo().MemorySize(), records);
}

// ---------------------------------------------------------------------------------------------
// The six categories on the document undo directly

TEST(UndoCategories, PixelsAlphaAndReversibleOperations) {
  UndoFixture f;
  CBlockVMTC& store = *f.Layer(0).Store();
  ASSERT_TRUE(store.SetPixel(3, 4, 0x80112233u));
  // 1: pixels
  ASSERT_TRUE(f.Undo().SaveLayerRect(f.Layer(0), SRectWH{0, 0, 10, 10}, kUndoStroke));
  ASSERT_TRUE(store.SetPixel(3, 4, 0xFF445566u));
  ASSERT_TRUE(f.Step(true));
  EXPECT_EQ(store.GetPixel(3, 4), 0x80112233u);
  ASSERT_TRUE(f.Step(false));
  EXPECT_EQ(store.GetPixel(3, 4), 0xFF445566u);
  // 2: alpha plane
  ASSERT_TRUE(f.Undo().SaveLayerRect(f.Layer(0), SRectWH{2, 2, 5, 5}, kUndoLayerAlpha));
  ASSERT_TRUE(store.SetPixel(3, 4, 0x10445566u));
  SRectWH rect{};
  ASSERT_TRUE(f.Step(true, nullptr, &rect));
  EXPECT_EQ(store.GetPixel(3, 4), 0xFF445566u);
  EXPECT_EQ(rect, (SRectWH{2, 2, 5, 5}));
  ASSERT_TRUE(f.Step(false));
  EXPECT_EQ(store.GetPixel(3, 4), 0x10445566u);
  // 3: a mirror is undone by itself; the offset follows
  ASSERT_TRUE(f.Undo().SaveLayerRect(f.Layer(0), SRectWH{0, 0, 64, 48}, kUndoFlipLayerHorizontal));
  SRectWH all{0, 0, 64, 48};
  ASSERT_TRUE(store.FlipHorizontal(all));
  ASSERT_TRUE(f.Step(true));
  EXPECT_EQ(store.GetPixel(3, 4), 0x10445566u);
  EXPECT_EQ(f.Layer(0).offsetX, 0);
  ASSERT_TRUE(f.Step(false));
  EXPECT_EQ(store.GetPixel(60, 4), 0x10445566u);
  // Categories 2 and 3 are not entries of Push.
  std::unique_ptr<CUndoHeld> none;
  EXPECT_FALSE(f.Undo().Push(none, kUndoLayerAlpha, 0, 0, 0, 0));
  EXPECT_FALSE(f.Undo().Push(none, kUndoFlipLayerVertical, 0, 0, 0, 0));
}

TEST(UndoCategories, AttributesIncludingThePaperColourWithoutALayer) {
  UndoFixture f;
  CLayerData& layer = f.Layer(1);
  ASSERT_TRUE(f.Undo().PushAttribute(&layer, layer.opacity, 0, kUndoLayerOpacity));
  layer.opacity = 40;
  ASSERT_TRUE(f.Undo().PushAttribute(&layer, 0, 0, kUndoLayerOffset));
  layer.offsetX = 5;
  layer.offsetY = -2;
  ASSERT_TRUE(f.Undo().PushAttribute(&layer, 0, 0, kUndoLayerName));
  const std::string before = layer.name;
  layer.name = "renamed";
  ASSERT_TRUE(
      f.Undo().PushAttribute(nullptr, static_cast<int32_t>(f.Paper().paperColor), 0x123456, kUndoPaperColor));
  f.Paper().StorePaperColor(0x123456);
  EXPECT_FALSE(f.Undo().PushAttribute(nullptr, 1, 0, kUndoLayerOpacity));  // names no layer
  EXPECT_FALSE(f.Undo().PushAttribute(&layer, 1, 0, kUndoNewLayer));       // not an attribute

  ASSERT_TRUE(f.Step(true));
  EXPECT_EQ(f.Paper().paperColor, 0xFFFFFFu);
  ASSERT_TRUE(f.Step(true));
  EXPECT_EQ(layer.name, before);
  ASSERT_TRUE(f.Step(true));
  EXPECT_EQ(layer.offsetX, 0);
  EXPECT_EQ(layer.offsetY, 0);
  ASSERT_TRUE(f.Step(true));
  EXPECT_EQ(layer.opacity, 255);
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(f.Step(false));
  EXPECT_EQ(layer.opacity, 40);
  EXPECT_EQ(layer.offsetX, 5);
  EXPECT_EQ(layer.name, "renamed");
  EXPECT_EQ(f.Paper().paperColor, 0x123456u);
}

TEST(UndoCategories, LayerStructureFindsItsLayersById) {
  UndoFixture f;
  CLayerMngr& layers = f.Layers();
  // 28: a deleted layer comes back and goes again, the same object.
  CLayerData* deleted = layers.Get(1);
  const int32_t deletedId = deleted->id;
  std::unique_ptr<CLayerData> taken = layers.ExtractAndFix(1);
  auto record = Record(kUndoDeleteLayer, 1);
  record->layerId = deletedId;
  ASSERT_TRUE(record->SetHeld(taken.release()));
  ASSERT_TRUE(f.Undo().PushRecord(record));
  ASSERT_EQ(layers.Count(), 1);
  int32_t shown = -1;
  ASSERT_TRUE(f.Step(true, &shown));
  EXPECT_EQ(layers.Get(1), deleted);
  EXPECT_EQ(shown, 1);
  ASSERT_TRUE(layers.Move(0, 1) >= 0);  // moved meanwhile: found by id, not by index
  ASSERT_TRUE(f.Step(false));
  EXPECT_EQ(layers.Count(), 1);
  EXPECT_EQ(layers.IndexOfId(deletedId), -1);
  // The record owns the layer again and frees it with itself.
  f.Undo().ClearAll();

  // 27: a new layer goes and comes back.
  const int32_t added = layers.AddLayer(64, 48, true, 255, false, 0);
  CLayerData* fresh = layers.Get(added);
  auto created = Record(kUndoNewLayer, added, 0);
  created->layerId = fresh->id;
  ASSERT_TRUE(created->SetHeld(fresh));
  ASSERT_TRUE(f.Undo().PushRecord(created));
  ASSERT_TRUE(f.Step(true, &shown));
  EXPECT_EQ(layers.Count(), 1);
  EXPECT_EQ(shown, 0);
  ASSERT_TRUE(f.Step(false, &shown));
  EXPECT_EQ(layers.Get(1), fresh);

  // 31: a move (fresh from 1 to 0; the record names where it is now first) back and forth.
  ASSERT_TRUE(layers.Move(0, 1) >= 0);
  auto move = Record(kUndoMoveLayer, 0, 1);
  move->layerId = fresh->id;
  ASSERT_TRUE(f.Undo().PushRecord(move));
  ASSERT_TRUE(f.Step(true, &shown));
  EXPECT_EQ(layers.Get(1), fresh);
  EXPECT_EQ(shown, 1);
  ASSERT_TRUE(f.Step(false));
  EXPECT_EQ(layers.Get(0), fresh);

  // 45: visibility bytes are exchanged.
  auto visibility = Record(kUndoShowOnlyActive, 0, 2);
  visibility->layerId = fresh->id;
  visibility->table = {1, 1};
  layers.Get(0)->visible = 0;
  layers.Get(1)->visible = 1;
  ASSERT_TRUE(f.Undo().PushRecord(visibility));
  ASSERT_TRUE(f.Step(true));
  EXPECT_EQ(layers.Get(0)->visible, 1);
  ASSERT_TRUE(f.Step(false));
  EXPECT_EQ(layers.Get(0)->visible, 0);

  // 49 to 52 (the canvas turn and the layer stack exchanges) are tested with their commands.
}

TEST(UndoCategories, GrowWithSelectionChecksTheMaskBeforeExchangingTheLayers) {
  UndoFixture f;
  CLayerMngr& layers = f.Layers();
  CLayerData* inStack = layers.Get(1);
  auto former = std::make_unique<CLayerData>(1, false);
  ASSERT_TRUE(former->Init(32, 32, 0));
  CLayerData* formerRaw = former.get();
  auto record = Record(kUndoGrowLayerWithSelection, 0, 0, 3, 4);
  record->layerId = inStack->id;
  record->maskIndex = 0;
  record->maskId = f.Masks().GetMask(0)->id;  // a mask without pixels: the check fails
  ASSERT_TRUE(record->SetHeld(former.release()));
  ASSERT_TRUE(f.Undo().PushRecord(record));
  EXPECT_FALSE(f.Step(true));
  EXPECT_EQ(layers.Get(1), inStack);  // nothing exchanged
  EXPECT_EQ(f.Undo().UndoCount(), 0);
  EXPECT_NE(formerRaw, nullptr);

  // With a mask holding pixels it goes through, the mask moving with it.
  TChannel shape(4, 4);
  SRectWH all{0, 0, 4, 4};
  shape.FillRect(all, 255);
  std::unique_ptr<CMaskData> old;
  ASSERT_TRUE(f.Masks().CombineChannel(0, shape, kMaskReplace, old, TPoint{0, 0}, SSize{4, 4}));
  auto again = std::make_unique<CLayerData>(1, false);
  ASSERT_TRUE(again->Init(32, 32, 0));
  CLayerData* againRaw = again.get();
  auto grown = Record(kUndoGrowLayerWithSelection, 0, 0, 3, 4);
  grown->layerId = inStack->id;
  grown->maskIndex = 0;
  grown->maskId = f.Masks().GetMask(0)->id;
  ASSERT_TRUE(grown->SetHeld(again.release()));
  ASSERT_TRUE(f.Undo().PushRecord(grown));
  ASSERT_TRUE(f.Step(true));
  EXPECT_EQ(layers.Get(1), againRaw);
  EXPECT_EQ(f.Masks().GetMask(0)->offsetX, 3);
  ASSERT_TRUE(f.Step(false));
  EXPECT_EQ(layers.Get(1), inStack);
  EXPECT_EQ(f.Masks().GetMask(0)->offsetX, 0);
}

// Undo of merge visible once exchanged whatever lay at index 0 with the former bottom layer.
TEST(UndoCategories, MergeVisibleUndoNeedsTheMergedLayerAtTheBottom) {
  UndoFixture f;
  CLayerMngr& layers = f.Layers();
  ASSERT_TRUE(f.Paper().MergeVisibleLayers(&f.window->Flow(), false, true, 1));
  ASSERT_EQ(layers.Count(), 1);
  CLayerData* merged = layers.Get(0);
  // Another layer slipped under the merged one (no record of its own).
  const int32_t other = layers.AddLayer(64, 48, true, 255, false, 0);
  ASSERT_GE(other, 0);
  ASSERT_GE(layers.Move(other, 0), 0);
  CLayerData* bottom = layers.Get(0);
  ASSERT_NE(bottom, merged);
  EXPECT_FALSE(f.Step(true));
  EXPECT_EQ(layers.Count(), 2);  // nothing exchanged, nothing inserted
  EXPECT_EQ(layers.Get(0), bottom);
  EXPECT_EQ(layers.Get(1), merged);

  // In place it goes through and comes back.
  UndoFixture g;
  ASSERT_TRUE(g.Paper().MergeVisibleLayers(&g.window->Flow(), false, true, 1));
  ASSERT_TRUE(g.Step(true));
  EXPECT_EQ(g.Layers().Count(), 2);
  ASSERT_TRUE(g.Step(false));
  EXPECT_EQ(g.Layers().Count(), 1);
}

TEST(UndoCategories, MaskStructure) {
  UndoFixture f;
  CMaskMngr& masks = f.Masks();
  // 53: an added mask goes and comes back.
  ASSERT_EQ(masks.NewMask(1), 1);
  masks.SetActive(1);
  CMaskData* added = masks.GetMask(1);
  auto add = Record(kUndoAddMask, 1, added->id, (1 << 16) | 0);
  ASSERT_TRUE(f.Undo().PushRecord(add));
  ASSERT_TRUE(f.Step(true));
  EXPECT_EQ(masks.GetCount(), 1);
  EXPECT_EQ(masks.GetActiveIndex(), 0);
  ASSERT_TRUE(f.Step(false));
  EXPECT_EQ(masks.GetMask(1), added);
  EXPECT_EQ(masks.GetActiveIndex(), 1);
  // 55: a deleted mask comes back.
  std::unique_ptr<CMaskData> removed;
  ASSERT_TRUE(masks.Remove(1, removed));
  auto del = Record(kUndoDeleteMask, 1, added->id, (0 << 16) | 1);
  ASSERT_TRUE(del->SetHeld(removed.release()));
  ASSERT_TRUE(f.Undo().PushRecord(del));
  ASSERT_TRUE(f.Step(true));
  EXPECT_EQ(masks.GetMask(1), added);
  ASSERT_TRUE(f.Step(false));
  EXPECT_EQ(masks.GetCount(), 1);
  ASSERT_TRUE(f.Step(true));
  // 60 and 63: offset and name, checked by id.
  auto offset = Record(kUndoMaskOffset, 1, added->id, 5, 6);
  ASSERT_TRUE(f.Undo().PushRecord(offset));
  ASSERT_TRUE(f.Step(true));
  EXPECT_EQ(added->offsetX, 5);
  ASSERT_TRUE(f.Step(false));
  EXPECT_EQ(added->offsetX, 0);
  auto name = Record(kUndoMaskName, 1, added->id);
  name->name1 = "old";
  name->name2 = "new";
  ASSERT_TRUE(f.Undo().PushRecord(name));
  ASSERT_TRUE(f.Step(true));
  EXPECT_EQ(added->name, "old");
  ASSERT_TRUE(f.Step(false));
  EXPECT_EQ(added->name, "new");
  // 57: the active mask.
  auto active = Record(kUndoActiveMask, 0, 0, 1);
  ASSERT_TRUE(f.Undo().PushRecord(active));
  ASSERT_TRUE(f.Step(true));
  EXPECT_EQ(masks.GetActiveIndex(), 1);
  ASSERT_TRUE(f.Step(false));
  EXPECT_EQ(masks.GetActiveIndex(), 0);
  // 60 after the mask was replaced by another: the id no longer matches, the undo fails.
  auto stale = Record(kUndoMaskOffset, 1, added->id, 5, 6);
  ASSERT_TRUE(f.Undo().PushRecord(stale));
  std::unique_ptr<CMaskData> old;
  ASSERT_TRUE(masks.ClearMask(1, old));
  EXPECT_FALSE(f.Step(true));
  EXPECT_EQ(f.Undo().UndoCount(), 0);
  EXPECT_EQ(f.Undo().RedoCount(), 0);
  EXPECT_EQ(f.scope.warnings.Texts().back(), kUndoFailedText);
}

// ---------------------------------------------------------------------------------------------
// The document's undo and redo with the recording

TEST(PaperUndo, PaperColourAndMaskRecordsAreNotDroppedForWantOfALayer) {
  UndoFixture f;
  ASSERT_TRUE(f.Paper().SetPaperColor(0x00FF00, true));
  auto offset = Record(kUndoMaskOffset, 0, f.Masks().GetMask(0)->id, 2, 2);
  ASSERT_TRUE(f.Undo().PushRecord(offset));
  SRectWH rect{};
  EXPECT_TRUE(f.Paper().Undo(&f.window->Flow(), 0, rect));
  EXPECT_EQ(f.Masks().GetMask(0)->offsetX, 2);
  EXPECT_TRUE(f.Paper().Undo(&f.window->Flow(), 0, rect));
  EXPECT_EQ(f.Paper().paperColor, 0xFFFFFFu);
  EXPECT_TRUE(f.Paper().Redo(&f.window->Flow(), 0, rect));
  EXPECT_EQ(f.Paper().paperColor, 0x00FF00u);
}

// A command of the test: an opacity change recorded and undone as the document's commands are.
bool SetOpacity(TPaper& paper, int32_t index, uint8_t opacity) {
  return paper.RunCommand(
      true, [&] { return paper.IsValidLayerIndex(index); },
      [&](PaperCommand& command) {
        CLayerData& layer = *paper.GetLayer(index);
        command.Record(
            [&](CEventMngr& events) { events.writeLayerOpacity(static_cast<int16_t>(index), opacity); });
        command.Undo([&] { return paper.PushAttributeUndo(&layer, layer.opacity, kUndoLayerOpacity, 0); });
        layer.opacity = opacity;
        return true;
      });
}

// A pixel change of the test: saves the rectangle, paints one pixel.
bool PaintPixel(TPaper& paper, int32_t index, int32_t x, int32_t y, uint32_t colour) {
  return paper.RunCommand(
      true, [&] { return paper.IsValidLayerIndex(index); },
      [&](PaperCommand& command) {
        command.Record([&](CEventMngr& events) { events.writeLayerVisible(static_cast<int16_t>(index), true); });
        command.Undo([&] { return paper.SaveLayerUndo(index, SRectWH{x, y, 1, 1}, kUndoStroke); });
        return paper.GetLayer(index)->Store()->SetPixel(x, y, colour);
      });
}

struct DocumentState {
  uint32_t paper;
  std::vector<uint32_t> pixels;
  std::vector<int32_t> opacity;
  int32_t maskOffset;
  bool operator==(const DocumentState&) const = default;
};

DocumentState Snapshot(TPaper& paper) {
  DocumentState state{paper.paperColor, {}, {}, paper.MaskMngr()->GetMask(0)->offsetX};
  for (int32_t i = 0; i < paper.GetLayerCount(); ++i) {
    state.opacity.push_back(paper.GetLayer(i)->opacity);
    for (int32_t y = 0; y < 8; ++y)
      for (int32_t x = 0; x < 8; ++x) state.pixels.push_back(paper.GetLayer(i)->Store()->GetPixel(x, y));
  }
  return state;
}

TEST(PaperUndo, UndoAndRedoOfRandomCommandsKeepTheDocumentAndTheRecordingInStep) {
  test::XorShiftRng rng(0x18D0C);
  for (int round = 0; round < 6; ++round) {
    UndoFixture f(20);
    TPaper& paper = f.Paper();
    CEventMngr& events = *paper.EventMngr();
    std::vector<DocumentState> states{Snapshot(paper)};
    std::vector<uint32_t> positions{events.writePos()};
    const int steps = 1 + static_cast<int>(rng.Next() % 15);
    for (int s = 0; s < steps; ++s) {
      switch (rng.Next() % 3) {
        case 0: ASSERT_TRUE(paper.SetPaperColor(rng.Next() & 0xFFFFFF, true)); break;
        case 1:
          ASSERT_TRUE(SetOpacity(paper, static_cast<int32_t>(rng.Next() % 2), static_cast<uint8_t>(rng.Next())));
          break;
        default:
          ASSERT_TRUE(PaintPixel(paper, static_cast<int32_t>(rng.Next() % 2),
                                 static_cast<int32_t>(rng.Next() % 8), static_cast<int32_t>(rng.Next() % 8),
                                 rng.Next() | 0xFF000000u));
      }
      states.push_back(Snapshot(paper));
      positions.push_back(events.writePos());
    }
    SRectWH rect{};
    for (int s = steps; s > 0; --s) {
      ASSERT_TRUE(paper.Undo(&f.window->Flow(), paper.GetActiveLayerIndex(), rect)) << s;
      ASSERT_EQ(Snapshot(paper), states[static_cast<size_t>(s - 1)]) << "undo to step " << s - 1;
      ASSERT_EQ(events.writePos(), positions[static_cast<size_t>(s - 1)]);
    }
    EXPECT_FALSE(paper.CanUndo(0));
    for (int s = 1; s <= steps; ++s) {
      ASSERT_TRUE(paper.Redo(&f.window->Flow(), paper.GetActiveLayerIndex(), rect)) << s;
      ASSERT_EQ(Snapshot(paper), states[static_cast<size_t>(s)]) << "redo to step " << s;
      ASSERT_EQ(events.writePos(), positions[static_cast<size_t>(s)]);
    }
    EXPECT_FALSE(paper.CanRedo(0));
    EXPECT_TRUE(f.scope.warnings.Texts().empty());
  }
}

TEST(PaperUndo, StreamAndUndoStayInStepWhenARecordsLayerIsGone) {
  UndoFixture f;
  TPaper& paper = f.Paper();
  CEventMngr& events = *paper.EventMngr();
  ASSERT_TRUE(paper.SetPaperColor(0x111111, true));
  const uint32_t afterColour = events.writePos();
  ASSERT_TRUE(SetOpacity(paper, 1, 10));
  ASSERT_TRUE(paper.Layers().Delete(1));  // the opacity record's layer goes
  SRectWH rect{};
  EXPECT_FALSE(paper.Undo(&f.window->Flow(), 0, rect));
  EXPECT_TRUE(f.scope.warnings.Texts().empty());  // dropped silently
  // No record is left whose step the stream would rewind wrongly.
  EXPECT_FALSE(paper.CanUndo(0));
  EXPECT_FALSE(paper.CanRedo(0));
  ASSERT_TRUE(paper.SetPaperColor(0x222222, true));
  const uint32_t beforeUndo = events.writePos();
  EXPECT_TRUE(paper.Undo(&f.window->Flow(), 0, rect));
  EXPECT_EQ(paper.paperColor, 0x111111u);
  EXPECT_LT(events.writePos(), beforeUndo);
  EXPECT_GE(events.writePos(), afterColour);
}

TEST(PaperUndo, AFailedUndoEmptiesBothListsWithItsMessageAndAFailedRedoIsSilent) {
  UndoFixture f;
  TPaper& paper = f.Paper();
  auto stale = Record(kUndoMaskOffset, 0, -77, 1, 1);  // names a mask id that does not exist
  ASSERT_TRUE(f.Undo().PushRecord(stale));
  ASSERT_TRUE(paper.SetPaperColor(0x333333, true));
  SRectWH rect{};
  ASSERT_TRUE(paper.Undo(&f.window->Flow(), 0, rect));
  EXPECT_FALSE(paper.Undo(&f.window->Flow(), 0, rect));
  EXPECT_EQ(f.scope.warnings.Texts().back(), kUndoFailedText);
  EXPECT_FALSE(paper.CanUndo(0));
  EXPECT_FALSE(paper.CanRedo(0));
  ASSERT_TRUE(paper.SetPaperColor(0x444444, true));
  f.scope.warnings.Clear();
  auto redoStale = Record(kUndoMaskOffset, 0, -77, 1, 1);
  redoStale->undone = true;
  ASSERT_TRUE(f.Undo().PushRedo(std::move(redoStale)));
  EXPECT_FALSE(paper.Redo(&f.window->Flow(), 0, rect));
  EXPECT_FALSE(paper.CanRedo(0));
  EXPECT_TRUE(paper.CanUndo(0));  // a failed redo leaves the undo list
  // Only the check of the recording speaks (no step ahead for the record); the failure is silent.
  EXPECT_EQ(f.scope.warnings.Texts(), (std::vector<std::string>{"イベント記録に問題が検出されました!"}));
}

TEST(PaperUndo, DepthAndClearing) {
  UndoFixture f;
  TPaper& paper = f.Paper();
  ASSERT_TRUE(paper.SetPaperColor(0x010101, true));
  f.scope.host.settings.undoMax = 3;
  EXPECT_TRUE(paper.ApplyUndoDepth());
  EXPECT_EQ(f.Undo().UndoLimit(), 3);
  EXPECT_EQ(paper.EventMngr()->ring().SlotCount(), 37);
  EXPECT_TRUE(paper.IsUndoEnabled());
  paper.ClearAllUndo();
  EXPECT_FALSE(paper.CanUndo(0));
  // Without document undo the depth cannot be applied.
  paper.AdoptDocumentUndo(nullptr);
  EXPECT_FALSE(paper.ApplyUndoDepth());
  EXPECT_FALSE(paper.IsUndoEnabled());
  SRectWH rect{};
  EXPECT_FALSE(paper.Undo(&f.window->Flow(), 0, rect));  // nothing to undo, nothing shown
  EXPECT_TRUE(f.scope.warnings.Texts().empty());
}

}  // namespace
}  // namespace tf
