// The folder commands, the merges, selection grow and shrink and the colour-range selection: each
// records, undoes and redoes exactly, and its packet played into a second document prepared the
// same way gives the same document, byte for byte.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "document/BlendMode.h"
#include "document/ColorMask.h"
#include "document/LayerMngr.h"
#include "document/Mask.h"
#include "paint/Stroke.h"
#include "paper/PaperTestSupport.h"
#include "paper/UndoMngrEx.h"
#include "platform/AddressSpace.h"
#include "platform/Memory.h"
#include "playback/PlayRowHarness.h"
#include "raster/BlockVCH.h"
#include "raster/BlockVMTC.h"
#include "support/FakeRecordSources.h"

namespace tf {
namespace {

using test::PaperTestScope;
using test::ReadPackets;
using test::StreamPacket;

// ---- What a document holds, for exact comparisons ----

struct LayerState {
  int32_t id = 0;
  std::string name;
  int32_t depth = 0;
  int32_t visible = 0, opacity = 0, mode = 0;
  int32_t offsetX = 0, offsetY = 0, width = 0, height = 0;
  std::vector<uint32_t> pixels;
  bool operator==(const LayerState&) const = default;
};

struct MaskState {
  int32_t id = 0;
  int32_t offsetX = 0, offsetY = 0, width = 0, height = 0;
  std::vector<uint8_t> pixels;
  bool operator==(const MaskState&) const = default;
};

struct DocState {
  std::vector<LayerState> layers;
  std::vector<MaskState> masks;
  bool operator==(const DocState&) const = default;
};

DocState Snapshot(TPaper& paper, bool withIds) {
  DocState s;
  for (int32_t i = 0; i < paper.GetLayerCount(); ++i) {
    const CLayerData& l = *paper.GetLayer(i);
    LayerState ls{withIds ? l.id : 0, l.name,    l.GroupDepth(), l.visible,       l.opacity, l.blendMode,
                  l.offsetX,          l.offsetY, l.StoreWidth(), l.StoreHeight(), {}};
    for (int32_t y = 0; y < l.StoreHeight(); ++y)
      for (int32_t x = 0; x < l.StoreWidth(); ++x) ls.pixels.push_back(l.Store()->GetPixel(x, y));
    s.layers.push_back(std::move(ls));
  }
  CMaskMngr& masks = *paper.MaskMngr();
  for (int32_t i = 0; i < masks.GetCount(); ++i) {
    const CMaskData& m = *masks.GetMask(i);
    MaskState ms{withIds ? m.id : 0, m.offsetX, m.offsetY, 0, 0, {}};
    if (m.IsAllocated()) {
      ms.width = m.Store()->Width();
      ms.height = m.Store()->Height();
      for (int32_t y = 0; y < ms.height; ++y)
        for (int32_t x = 0; x < ms.width; ++x) ms.pixels.push_back(m.Store()->GetPixel(x, y));
    }
    s.masks.push_back(std::move(ms));
  }
  return s;
}

// The composed picture of the canvas.
std::vector<uint32_t> Picture(TPaper& paper) {
  EXPECT_TRUE(paper.ComposeRect(SRectWH{0, 0, paper.canvasWidth, paper.canvasHeight}, false));
  std::vector<uint32_t> out;
  for (int32_t y = 0; y < paper.canvasHeight; ++y)
    for (int32_t x = 0; x < paper.canvasWidth; ++x) out.push_back(paper.DisplayBuffer().GetPixel(x, y));
  return out;
}

// A recording 40 x 30 document with real undo: an opaque bottom layer, a folder row (1) holding
// layers 2 and 3, and layer 4 above it; soft content with transparent parts, folder opacity
// 200, layer 3 at opacity 128; a soft selection in mask 0.
struct FolderFixture {
  FolderFixture() {
    scope.host.settings.undoMax = 16;
    window = std::make_unique<HeadlessDocumentWindow>();
    EXPECT_TRUE(Paper().NewDocument("f", Flow(), false, false, 72, 30, 40));
    Paper().EventMngr()->attachPen(&pen);
    for (int32_t i = 1; i <= 4; ++i)
      EXPECT_TRUE(Paper().AddLayer(Flow(), i, false, true, 255, kModeNormal, 30, 40));
    Layer(2).SetGroupDepth(1);
    Layer(3).SetGroupDepth(1);
    Layers().EnsureDepthArray(true);
    Layer(1).opacity = 200;
    Layer(3).opacity = 128;
    Fill(0, SRectWH{0, 0, 40, 30}, 0xFF9A7B5Cu);
    Fill(1, SRectWH{4, 4, 12, 10}, 0x80FF0000u);
    Fill(2, SRectWH{10, 6, 14, 12}, 0xFF00C040u);
    Fill(2, SRectWH{30, 20, 6, 6}, 0x4020A0F0u);
    Fill(3, SRectWH{16, 2, 10, 20}, 0xC0102030u);
    Fill(4, SRectWH{0, 18, 25, 8}, 0xFFE0E0E0u);
    CMaskData& mask = *Paper().MaskMngr()->GetMask(0);
    EXPECT_TRUE(mask.createMask(40, 30));
    for (int32_t y = 5; y < 25; ++y)
      for (int32_t x = 8; x < 30; ++x)
        mask.Store()->SetPixel(x, y, static_cast<uint8_t>(std::min(255, 40 * (x - 7))));
    Paper().SetActiveLayer(Flow(), 2);
  }
  TPaper& Paper() { return window->Paper(); }
  TFlowImage* Flow() { return &window->Flow(); }
  CLayerMngr& Layers() { return Paper().Layers(); }
  CLayerData& Layer(int32_t i) { return *Layers().Get(i); }
  void Fill(int32_t layer, SRectWH rect, uint32_t value) { Layer(layer).Store()->FillRect(rect, value); }
  bool Undo() {
    SRectWH rect{};
    return Paper().Undo(Flow(), Paper().GetActiveLayerIndex(), rect);
  }
  bool Redo() {
    SRectWH rect{};
    return Paper().Redo(Flow(), Paper().GetActiveLayerIndex(), rect);
  }
  int32_t Steps() { return Paper().EventMngr()->stepCount(); }

  PaperTestScope scope;
  FakeRecordedPen pen;
  std::unique_ptr<HeadlessDocumentWindow> window;
};

// The colour list of the colour-range case: the green of layer 2 and a remove entry.
const SColorEntry kEntries[2] = {{0xFF00C040u, 1, 60, {0, 0}}, {0xFF102030u, 0, 20, {0, 0}}};
SColorRangeSettings ColourSettings() {
  SColorRangeSettings s;
  s.count = 2;
  return s;
}

struct CommandCase {
  const char* name;
  uint8_t cls;
  uint8_t code;
  std::function<bool(FolderFixture&)> run;
};

// The folder rows and the layer rows, for the layer list's commands that fall to a plain layer.
std::span<const SPlayRow> FolderAndLayerRows() {
  static const std::vector<SPlayRow> rows = [] {
    std::vector<SPlayRow> all(FolderPlayRows().begin(), FolderPlayRows().end());
    all.insert(all.end(), LayerPlayRows().begin(), LayerPlayRows().end());
    return all;
  }();
  return rows;
}

const std::vector<CommandCase>& Cases() {
  static const std::vector<CommandCase> cases = {
      {"delete folder row", 5, 8, [](FolderFixture& f) { return f.Paper().DeleteFolderRow(f.Flow(), 1, true); }},
      {"hide folder", 5, 16, [](FolderFixture& f) { return f.Paper().SetGroupVisible(1, 3, true, false); }},
      {"hide past the top", 5, 16, [](FolderFixture& f) { return f.Paper().SetGroupVisible(1, 9, true, false); }},
      // The layer list's forms: a folder row goes to its folder command, a plain layer to its own.
      {"delete row from the list (folder)", 5, 8,
       [](FolderFixture& f) { return f.Paper().DeleteLayerOrGroup(f.Flow(), 1, true); }},
      {"delete row from the list (layer)", 4, 1,
       [](FolderFixture& f) { return f.Paper().DeleteLayerOrGroup(f.Flow(), 4, true); }},
      {"hide from the list (folder)", 5, 16,
       [](FolderFixture& f) { return f.Paper().SetLayerOrGroupVisible(1, false, true); }},
      {"hide from the list (layer)", 4, 18,
       [](FolderFixture& f) { return f.Paper().SetLayerOrGroupVisible(4, false, true); }},
      {"into folder", 5, 0, [](FolderFixture& f) { return f.Paper().ChangeGroupDepth(f.Flow(), 4, true, true); }},
      {"out of folder", 5, 1,
       [](FolderFixture& f) { return f.Paper().ChangeGroupDepth(f.Flow(), 2, true, false); }},
      {"move folder", 5, 11, [](FolderFixture& f) { return f.Paper().MoveLayerGroup(f.Flow(), 1, true, 5, 3); }},
      {"move folder to the bottom", 5, 11,
       [](FolderFixture& f) { return f.Paper().MoveLayerGroup(f.Flow(), 1, true, 0, 3); }},
      {"merge folder", 5, 12, [](FolderFixture& f) { return f.Paper().MergeGroup(f.Flow(), 1, true, 3); }},
      {"delete folder", 5, 13, [](FolderFixture& f) { return f.Paper().DeleteGroup(f.Flow(), 1, true, 3); }},
      {"merge down", 4, 5, [](FolderFixture& f) { return f.Paper().MergeDown(f.Flow(), 3, true); }},
      {"bind lower layer", 4, 10,
       [](FolderFixture& f) { return f.Paper().BindLowerLayer(f.Flow(), 3, true, 0x30003u); }},
      {"flatten", 2, 10, [](FolderFixture& f) { return f.Paper().MergeVisibleLayers(f.Flow(), false, true, 1); }},
      {"merge visible keeping transparency", 2, 10,
       [](FolderFixture& f) { return f.Paper().MergeVisibleLayers(f.Flow(), true, true, 0x30003u); }},
      {"grow selection", 10, 25, [](FolderFixture& f) { return f.Paper().GrowSelectionBy(2, -1, true, 0, 5); }},
      {"shrink selection", 10, 26,
       [](FolderFixture& f) { return f.Paper().ShrinkSelectionBy(2, -1, true, 0, 3); }},
      // Radii past the dialog's 32 that a recording may hold.
      {"grow selection by 40", 10, 25,
       [](FolderFixture& f) { return f.Paper().GrowSelectionBy(2, -1, true, 0, 40); }},
      {"shrink selection by 7", 10, 26,
       [](FolderFixture& f) { return f.Paper().ShrinkSelectionBy(2, -1, true, 0, 7); }},
      {"shrink selection by 0xFFFF", 10, 26,
       [](FolderFixture& f) { return f.Paper().ShrinkSelectionBy(2, -1, true, 0, 0xFFFF); }},
      {"colour range", 13, 32,
       [](FolderFixture& f) { return f.Paper().ColorRangeSelect(2, true, ColourSettings(), kEntries, -1); }},
  };
  return cases;
}

TEST(FolderRows, EveryCommandRecordsUndoesRedoesAndPlaysBackExactly) {
  for (const CommandCase& c : Cases()) {
    SCOPED_TRACE(c.name);
    FolderFixture a;
    FolderFixture b;
    const DocState before = Snapshot(a.Paper(), true);
    const int32_t steps = a.Steps();
    ASSERT_TRUE(c.run(a));
    ASSERT_EQ(a.Steps(), steps + 1);
    const DocState after = Snapshot(a.Paper(), true);
    ASSERT_NE(after, before);

    // Played into the second document.
    const test::RecordedCommand command = test::LastRecordedCommand(*a.Paper().EventMngr());
    ASSERT_TRUE(command.found);
    EXPECT_EQ(command.frame.header.cls, c.cls);
    EXPECT_EQ(command.frame.header.code, c.code);
    if (c.cls == 13) {
      // The colour-range record of the step is kept by the player before the channel packet.
      for (const StreamPacket& p : ReadPackets(*a.Paper().EventMngr()))
        if (p.cls == 0 && p.code == 136) b.Paper().EventMngr()->colorRange = p.payload;
      ASSERT_FALSE(b.Paper().EventMngr()->colorRange.empty());
    }
    TStroke stroke(0);
    uint8_t afterStep = 0;
    const int32_t stepsB = b.Steps();
    ASSERT_TRUE(
        test::PlayRecordedCommand(FolderAndLayerRows(), command, b.Paper(), b.Flow(), stroke, 458, &afterStep));
    EXPECT_EQ(b.Steps(), stepsB);  // nothing recorded while playing
    EXPECT_EQ(Snapshot(b.Paper(), false), Snapshot(a.Paper(), false));
    EXPECT_EQ(Picture(b.Paper()), Picture(a.Paper()));
    if (c.cls == 13) {
      EXPECT_TRUE(b.Paper().EventMngr()->colorRange.empty());
    }

    // Undo and redo in the first.
    ASSERT_TRUE(a.Undo() || a.Paper().UndoMngr()->RedoCount() == 1);
    EXPECT_EQ(Snapshot(a.Paper(), true), before);
    a.Redo();
    EXPECT_EQ(Snapshot(a.Paper(), true), after);
    a.Undo();
    EXPECT_EQ(Snapshot(a.Paper(), true), before);
  }
}

TEST(FolderRows, PlayingRecordsNothing) {
  FolderFixture a, b;
  ASSERT_TRUE(a.Paper().MergeGroup(a.Flow(), 1, true, 3));
  const int32_t steps = b.Steps();
  TStroke stroke(0);
  ASSERT_TRUE(test::PlayRecordedCommand(FolderPlayRows(), test::LastRecordedCommand(*a.Paper().EventMngr()),
                                        b.Paper(), b.Flow(), stroke));
  EXPECT_EQ(b.Steps(), steps);
  EXPECT_EQ(b.Paper().UndoMngr()->UndoCount(), 0);
}

// A count past the top was once refused; it is cut to the layers left, and recorded so.
TEST(FolderRows, GroupVisibleCutsACountPastTheTop) {
  for (const int32_t count : {5, 9, 0x7FFF}) {
    SCOPED_TRACE(count);
    FolderFixture f;
    ASSERT_TRUE(f.Paper().SetGroupVisible(1, count, true, false));
    EXPECT_EQ(f.Layer(0).visible, 1);
    for (int32_t i = 1; i <= 4; ++i) EXPECT_EQ(f.Layer(i).visible, 0) << i;
    const test::RecordedCommand command = test::LastRecordedCommand(*f.Paper().EventMngr());
    ASSERT_TRUE(command.found);
    int32_t word = 0;
    ASSERT_TRUE(command.payload.Get(4, word));  // count << 16 | visible
    EXPECT_EQ(static_cast<uint32_t>(word) >> 16, 4u);
    ASSERT_TRUE(f.Undo());
    for (int32_t i = 0; i <= 4; ++i) EXPECT_EQ(f.Layer(i).visible, 1) << i;
  }
}

// ---- Refusals: false, nothing recorded, nothing changed ----

TEST(FolderRows, RefusedArgumentsRecordAndChangeNothing) {
  const std::vector<std::pair<const char*, std::function<bool(FolderFixture&)>>> refusals = {
      {"group visible count 0", [](FolderFixture& f) { return f.Paper().SetGroupVisible(1, 0, true, false); }},
      {"group visible negative count",
       [](FolderFixture& f) { return f.Paper().SetGroupVisible(1, -5, true, false); }},
      {"group visible bad index", [](FolderFixture& f) { return f.Paper().SetGroupVisible(9, 1, true, false); }},
      {"deeper on the bottom",
       [](FolderFixture& f) { return f.Paper().ChangeGroupDepth(f.Flow(), 0, true, true); }},
      {"shallower at depth 0",
       [](FolderFixture& f) { return f.Paper().ChangeGroupDepth(f.Flow(), 4, true, false); }},
      {"move onto itself", [](FolderFixture& f) { return f.Paper().MoveLayerGroup(f.Flow(), 1, true, 2, 3); }},
      {"move wrong count", [](FolderFixture& f) { return f.Paper().MoveLayerGroup(f.Flow(), 1, true, 5, 2); }},
      {"merge folder wrong size", [](FolderFixture& f) { return f.Paper().MergeGroup(f.Flow(), 1, true, 2); }},
      {"merge plain layer", [](FolderFixture& f) { return f.Paper().MergeGroup(f.Flow(), 4, true, 1); }},
      {"delete folder wrong size", [](FolderFixture& f) { return f.Paper().DeleteGroup(f.Flow(), 1, true, 4); }},
      {"merge down folder row", [](FolderFixture& f) { return f.Paper().MergeDown(f.Flow(), 1, true); }},
      {"merge down out of a folder", [](FolderFixture& f) { return f.Paper().MergeDown(f.Flow(), 4, true); }},
      {"merge down bottom", [](FolderFixture& f) { return f.Paper().MergeDown(f.Flow(), 0, true); }},
      {"bind with selector 4", [](FolderFixture& f) { return f.Paper().BindLowerLayer(f.Flow(), 3, true, 4); }},
      {"merge visible, bottom hidden",
       [](FolderFixture& f) {
         f.Layer(0).visible = 0;
         return f.Paper().MergeVisibleLayers(f.Flow(), false, true, 1);
       }},
      {"grow radius 0", [](FolderFixture& f) { return f.Paper().GrowSelectionBy(2, -1, true, 0, 0); }},
      {"grow radius 0x10000", [](FolderFixture& f) { return f.Paper().GrowSelectionBy(2, -1, true, 0, 0x10000); }},
      // 22 + 2 x 0xFFFF pixels: wider than a mask store can be.
      {"grow radius 0xFFFF", [](FolderFixture& f) { return f.Paper().GrowSelectionBy(2, -1, true, 0, 0xFFFF); }},
      {"grow bad mask", [](FolderFixture& f) { return f.Paper().GrowSelectionBy(2, 7, true, 0, 2); }},
      {"colour range too many entries",
       [](FolderFixture& f) {
         SColorRangeSettings s = ColourSettings();
         s.count = 257;
         return f.Paper().ColorRangeSelect(2, true, s, kEntries, -1);
       }},
  };
  for (const auto& [name, run] : refusals) {
    SCOPED_TRACE(name);
    FolderFixture f;
    const DocState before = Snapshot(f.Paper(), true);
    const int32_t steps = f.Steps();
    EXPECT_FALSE(run(f));
    EXPECT_EQ(f.Steps(), steps);
    EXPECT_EQ(f.Paper().UndoMngr()->UndoCount(), 0);
    DocState now = Snapshot(f.Paper(), true);
    if (std::string(name) == "merge visible, bottom hidden") now.layers[0].visible = 1;
    EXPECT_EQ(now, before);
  }
}

TEST(FolderRows, SelectingNoColourLeavesTheMaskAndRecordsNothing) {
  FolderFixture f;
  const DocState before = Snapshot(f.Paper(), true);
  const SColorEntry none[1] = {{0xFF00C040u, 0, 60, {0, 0}}};  // a remove entry only
  SColorRangeSettings s;
  s.count = 1;
  const int32_t steps = f.Steps();
  EXPECT_TRUE(f.Paper().ColorRangeSelect(2, true, s, none, -1));
  EXPECT_EQ(f.Steps(), steps);
  EXPECT_EQ(Snapshot(f.Paper(), true), before);
}

// ---- Merges: the picture, and failure part-way ----

// Regression: merge visible reported an out-of-memory exception as success and freed the layers it
// had already moved out of the document. Every refusal part-way now changes nothing.
TEST(FolderRows, MergeVisibleRefusedPartWayChangesNothing) {
  for (bool composite : {false, true}) {
    bool succeeded = false;
    int32_t refused = 0;
    for (int32_t tiles = 0; tiles < 400 && !succeeded; ++tiles) {
      SCOPED_TRACE(std::to_string(tiles) + (composite ? " composite" : " flatten"));
      FolderFixture f;
      const DocState before = Snapshot(f.Paper(), true);
      const int32_t steps = f.Steps();
      // Room for this many more tiles: the merge runs out of memory part-way until it fits.
      SetCommitBudget(CommittedBytesTotal() + uint64_t{4096} * static_cast<uint64_t>(tiles));
      const bool done = f.Paper().MergeVisibleLayers(f.Flow(), composite, true, composite ? 0x30003u : 1u);
      SetCommitBudget(0);
      if (done) {
        succeeded = true;
        EXPECT_EQ(f.Paper().GetLayerCount(), 1);
        EXPECT_EQ(f.Steps(), steps + 1);
      } else {
        EXPECT_EQ(Snapshot(f.Paper(), true), before);
        EXPECT_EQ(f.Steps(), steps);
        EXPECT_EQ(f.Paper().UndoMngr()->UndoCount(), 0);
        ++refused;
      }
    }
    EXPECT_TRUE(succeeded);
    EXPECT_GT(refused, 0);
  }
}

TEST(FolderRows, MergeVisibleOutOfMemoryAnswersFalse) {
  FolderFixture f;
  const DocState before = Snapshot(f.Paper(), true);
  SetCommitBudget(CommittedBytesTotal());  // nothing more can be committed
  const bool done = f.Paper().MergeVisibleLayers(f.Flow(), false, true, 1);
  SetCommitBudget(0);
  EXPECT_FALSE(done);
  EXPECT_EQ(Snapshot(f.Paper(), true), before);
}

// Flatten keeps the picture: normal layers (folders, opacities, soft alpha) over an opaque bottom.
TEST(FolderRows, FlattenKeepsTheComposedPicture) {
  FolderFixture f;
  const std::vector<uint32_t> before = Picture(f.Paper());
  ASSERT_TRUE(f.Paper().MergeVisibleLayers(f.Flow(), false, true, 1));
  ASSERT_EQ(f.Paper().GetLayerCount(), 1);
  EXPECT_EQ(Picture(f.Paper()), before);
}

// Merging into a subtract layer with the main menu's word keeps the picture where the upper
// layer is transparent or opaque (compose before and after).
TEST(FolderRows, BindIntoSubtractLayerKeepsThePicture) {
  FolderFixture f;
  f.Fill(0, SRectWH{0, 0, 40, 30}, 0xFFFFFFFFu);
  f.Layer(3).SetGroupDepth(1);
  f.Layer(2).blendMode = kModeSubtract;
  f.Fill(2, SRectWH{0, 0, 40, 30}, 0xFF204060u);
  f.Layer(3).opacity = 255;
  f.Fill(3, SRectWH{0, 0, 40, 30}, 0x00FFFFFFu);
  f.Fill(3, SRectWH{5, 5, 10, 10}, 0xFF80C000u);
  f.Layer(1).opacity = 255;
  f.Fill(1, SRectWH{0, 0, 40, 30}, 0x00FFFFFFu);
  const std::vector<uint32_t> before = Picture(f.Paper());
  ASSERT_TRUE(f.Paper().BindLowerLayer(f.Flow(), 3, true, 0x30003u));
  EXPECT_EQ(f.Layer(2).Store()->GetPixel(f.Layer(2).offsetX + 30, f.Layer(2).offsetY + 25), 0xFF204060u);
  EXPECT_EQ(Picture(f.Paper()), before);
}

// A folder inside a folder of opacity 128: the merged layer is not dimmed by the outer folder and
// keeps the row's depth, so the outer folder's opacity applies when it is drawn.
TEST(FolderRows, MergeGroupIsNotDimmedByItsAncestors) {
  FolderFixture f;
  // 1 outer folder (128), 2 inner folder row, 3 its content, 4 outside.
  f.Layer(1).opacity = 128;
  f.Layer(2).SetGroupDepth(1);
  f.Layer(3).SetGroupDepth(2);
  f.Layer(3).opacity = 255;
  f.Layers().EnsureDepthArray(true);
  const std::vector<uint32_t> before = Picture(f.Paper());
  const uint32_t raw = f.Layer(2).Store()->GetPixel(f.Layer(2).offsetX + 12, f.Layer(2).offsetY + 8);
  ASSERT_TRUE(f.Paper().MergeGroup(f.Flow(), 2, true, 2));
  const CLayerData& merged = f.Layer(2);
  EXPECT_EQ(merged.GroupDepth(), 1);
  EXPECT_EQ(merged.Store()->GetPixel(merged.offsetX + 12, merged.offsetY + 8), raw);
  // Where one layer of the folder shows, the picture is as before: the outer folder's opacity
  // still applies once.
  const std::vector<uint32_t> after = Picture(f.Paper());
  EXPECT_EQ(after[8 * 40 + 12], before[8 * 40 + 12]);
}

TEST(FolderRows, MergeDownWithTheMainMenuWordKeepsTheLowerLayersSettings) {
  FolderFixture f;
  f.Layer(2).name = "lower";
  f.Layer(2).opacity = 90;
  ASSERT_TRUE(f.Paper().BindLowerLayer(f.Flow(), 3, true, 0x30003u));
  EXPECT_EQ(f.Layer(2).name, "lower");
  EXPECT_EQ(f.Layer(2).GroupDepth(), 1);
  EXPECT_EQ(f.Paper().GetLayerCount(), 4);
  FolderFixture g;
  g.Layer(2).opacity = 90;
  ASSERT_TRUE(g.Paper().MergeDown(g.Flow(), 3, true));
  EXPECT_EQ(g.Layer(2).opacity, 255);
}

// ---- Packets the player refuses ----

TEST(FolderRows, PlayerRefusesBadPackets) {
  FolderFixture a;
  ASSERT_TRUE(a.Paper().ChangeGroupDepth(a.Flow(), 4, true, true));
  test::RecordedCommand depth = test::LastRecordedCommand(*a.Paper().EventMngr());
  ASSERT_TRUE(depth.found);
  TStroke stroke(0);
  auto play = [&](test::RecordedCommand command, std::vector<uint8_t> bytes) {
    FolderFixture b;
    command.payload.Assign(bytes);
    command.frame.length = static_cast<int32_t>(bytes.size());
    const DocState before = Snapshot(b.Paper(), true);
    const bool played = test::PlayRecordedCommand(FolderPlayRows(), command, b.Paper(), b.Flow(), stroke);
    EXPECT_EQ(Snapshot(b.Paper(), true), before);
    return played;
  };
  std::vector<uint8_t> good(depth.payload.data(), depth.payload.data() + depth.payload.size());
  {
    std::vector<uint8_t> bad = good;
    bad[6] = 2;  // byte 6 must be 1
    EXPECT_FALSE(play(depth, bad));
  }
  {
    std::vector<uint8_t> bad = good;
    bad[7] = 1;  // byte 7 must be 2
    EXPECT_FALSE(play(depth, bad));
  }
  {
    std::vector<uint8_t> bad = good;
    bad[12] += 1;  // n odd and no longer 2 x count
    EXPECT_FALSE(play(depth, bad));
  }
  {
    std::vector<uint8_t> bad = good;
    bad.pop_back();  // shorter than 24 + n
    EXPECT_FALSE(play(depth, bad));
  }

  // Grow radii of 0 (radius & 0xFFFF of the value word) and one too wide for a mask store.
  ASSERT_TRUE(a.Paper().GrowSelectionBy(2, -1, true, 0, 2));
  test::RecordedCommand grow = test::LastRecordedCommand(*a.Paper().EventMngr());
  std::vector<uint8_t> bytes(grow.payload.data(), grow.payload.data() + grow.payload.size());
  for (int32_t word : {0, 0xFFFF, 0x10000, 0x7FFF0000}) {
    std::memcpy(bytes.data() + 4, &word, 4);
    EXPECT_FALSE(play(grow, bytes)) << word;
  }
  EXPECT_FALSE(play(grow, std::vector<uint8_t>(bytes.begin(), bytes.end() - 1)));

  // A colour-range channel without its colour-range record.
  ASSERT_TRUE(a.Paper().ColorRangeSelect(2, true, ColourSettings(), kEntries, -1));
  test::RecordedCommand range = test::LastRecordedCommand(*a.Paper().EventMngr());
  EXPECT_FALSE(
      play(range, std::vector<uint8_t>(range.payload.data(), range.payload.data() + range.payload.size())));
}

}  // namespace
}  // namespace tf

namespace tf {
namespace {

// The older form of merge visible (2/7, no payload) flattens.
TEST(FolderRows, OlderMergeVisiblePacketFlattens) {
  FolderFixture a, b;
  ASSERT_TRUE(a.Paper().MergeVisibleLayers(a.Flow(), false, false, 1));
  test::RecordedCommand command;
  command.found = true;
  command.frame.header.cls = kPcPaper;
  command.frame.header.code = 7;
  command.frame.length = 0;
  TStroke stroke(0);
  uint8_t afterStep = 0;
  ASSERT_TRUE(test::PlayRecordedCommand(FolderAndLayerRows(), command, b.Paper(), b.Flow(), stroke, 458, &afterStep));
  EXPECT_EQ(afterStep, 0x07);
  EXPECT_EQ(Snapshot(b.Paper(), false), Snapshot(a.Paper(), false));
  command.payload.Assign(std::vector<uint8_t>{0, 0});
  EXPECT_FALSE(test::PlayRecordedCommand(FolderPlayRows(), command, b.Paper(), b.Flow(), stroke));
}

// A plain layer's row is the layer itself: it is deleted as a layer (4/1).
TEST(FolderRows, DeletingTheRowOfAPlainLayerDeletesTheLayer) {
  FolderFixture f;
  ASSERT_TRUE(f.Paper().DeleteFolderRow(f.Flow(), 4, true));
  const std::vector<StreamPacket> packets = ReadPackets(*f.Paper().EventMngr());
  EXPECT_EQ(packets.back().cls, 4);
  EXPECT_EQ(packets.back().code, 1);
  EXPECT_EQ(f.Paper().GetLayerCount(), 4);
}

}  // namespace
}  // namespace tf

namespace tf {
namespace {

// A document replaying an older recording merges down in place and records nothing.
TEST(FolderRows, LegacyMergeDownMergesInPlaceWithoutRecording) {
  FolderFixture f;
  f.Paper().strokeRoutine = StrokeRoutine::kLegacy;
  const int32_t steps = f.Steps();
  const int32_t lowerId = f.Layer(3).id;
  ASSERT_TRUE(f.Paper().MergeDown(f.Flow(), 4, true));  // the legacy test: any layer above the bottom
  EXPECT_EQ(f.Steps(), steps);
  EXPECT_EQ(f.Paper().GetLayerCount(), 4);
  EXPECT_EQ(f.Layer(3).id, lowerId);
  EXPECT_EQ(f.Layer(3).Store()->GetPixel(f.Layer(3).offsetX + 1, f.Layer(3).offsetY + 20), 0xFFE0E0E0u);
  EXPECT_FALSE(f.Paper().MergeDown(f.Flow(), 0, true));
}

}  // namespace
}  // namespace tf
