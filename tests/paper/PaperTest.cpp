// The document object: construction, destruction, its managers, undo pushes and memory.
#include <gtest/gtest.h>

#include <ostream>

#include "document/Mask.h"
#include "document/ShellServices.h"
#include "paint/NibPreset.h"
#include "paper/PaperTestSupport.h"
#include "paper/UndoMngrEx.h"

namespace tf {
namespace {

using test::PaperTestScope;

TEST(Paper, ACreatedDocumentIsEmptyWithItsDefaults) {
  PaperTestScope scope;
  HeadlessDocumentWindow window;
  TPaper& paper = window.Paper();
  EXPECT_EQ(paper.GetDrawWindow(), &window);
  EXPECT_EQ(paper.GetFlowImage(), &window.Flow());
  EXPECT_EQ(paper.strokeRoutine, StrokeRoutine::kStepping);
  EXPECT_TRUE(paper.HasModernEngine());
  EXPECT_EQ(paper.engineLevelOffered, 1);
  EXPECT_EQ(paper.engineLevelInUse, 1);
  EXPECT_EQ(paper.showCanvasColor, 1);
  EXPECT_EQ(paper.backgroundPattern, 0);
  EXPECT_EQ(paper.paperColor, 0xFFFFFFu);
  EXPECT_EQ(paper.resolution, 0);
  EXPECT_EQ(paper.canvasWidth, 0);
  EXPECT_EQ(paper.ready, 0);
  EXPECT_EQ(paper.protectedDocument, 0);
  EXPECT_EQ(paper.networkMode, 0);
  EXPECT_EQ(paper.gridVisible, 0);
  EXPECT_EQ(paper.gridStepX, 25);
  EXPECT_EQ(paper.gridStepY, 25);
  EXPECT_EQ(paper.zoom, (TZoomRatio{1, 1}));
  EXPECT_EQ(paper.rotation.cosine, 1.0f);
  EXPECT_EQ(paper.rotation.sine, 0.0f);
  EXPECT_EQ(paper.strokeLayer, -1);
  EXPECT_EQ(paper.GetLayerCount(), 0);
  EXPECT_EQ(paper.GetActiveLayerIndex(), -1);
  EXPECT_EQ(paper.GetActiveMaskIndex(), 0);  // one mask without a store
  EXPECT_EQ(paper.Layers().Limit(), kMaxLayerCount);
  EXPECT_EQ(paper.GetCurrentStroke(), nullptr);
  // The recorder is set up and records; masks and the document undo exist; the managers of
  // later modules are absent, said aloud.
  ASSERT_NE(paper.EventMngr(), nullptr);
  EXPECT_TRUE(paper.IsRecording());
  EXPECT_EQ(paper.EventMngr()->ring().SlotCount(), TPaper::GetCheckpointCapacity());
  EXPECT_TRUE(paper.HasDocumentUndo());
  ASSERT_NE(paper.UndoMngr(), nullptr);
  EXPECT_EQ(paper.UndoMngr()->UndoLimit(), scope.host.settings.undoMax);
  EXPECT_EQ(paper.UndoMngr()->Margin(), 32);
  ASSERT_NE(paper.MaskMngr(), nullptr);
  EXPECT_EQ(paper.MaskMngr()->GetCount(), 1);
  EXPECT_EQ(paper.Slots(), nullptr);
  EXPECT_EQ(paper.StrokeMngr(), nullptr);
  EXPECT_FALSE(paper.CreateStrokeMngr());
  EXPECT_TRUE(scope.DebugSaid("stroke manager"));
}

TEST(Paper, DestroyingADocumentThatNeverBecameReadyStillCallsTheReadyHandler) {
  PaperTestScope scope;
  std::vector<int> calls;
  {
    TPaper paper(nullptr);
    paper.readyHandler = [&](TPaper&, bool value) { calls.push_back(value ? 1 : 0); };
  }
  EXPECT_EQ(calls, std::vector<int>{0});
}

struct CapacityCase {
  const char* name;
  friend void PrintTo(const CapacityCase& c, std::ostream* os) { *os << c.name; }
  int32_t undoMax;
  int32_t capacity;
};

class CheckpointCapacity : public ::testing::TestWithParam<CapacityCase> {};

TEST_P(CheckpointCapacity, IsTheUndoDepthPlusItsMarginNeverBelowEight) {
  PaperTestScope scope;
  scope.host.settings.undoMax = GetParam().undoMax;
  EXPECT_EQ(TPaper::GetCheckpointCapacity(), GetParam().capacity);
}

INSTANTIATE_TEST_SUITE_P(Settings, CheckpointCapacity,
                         ::testing::Values(CapacityCase{"Default", 8, 42}, CapacityCase{"Smallest", 1, 35},
                                           CapacityCase{"Largest", 50, 84}, CapacityCase{"Zero", 0, 34},
                                           CapacityCase{"Negative", -40, 8},
                                           CapacityCase{"Huge", INT32_MAX, INT32_MAX}),
                         [](const ::testing::TestParamInfo<CapacityCase>& info) {
                           return std::string(info.param.name);
                         });

TEST(Paper, MaxStoreSizeIsFalseWithoutLayersAndLeavesItsOutputs) {
  PaperTestScope scope;
  HeadlessDocumentWindow window;
  TPaper& paper = window.Paper();
  int32_t w = -5;
  int32_t h = -6;
  EXPECT_FALSE(paper.GetMaxStoreSize(w, h));
  EXPECT_EQ(w, -5);
  EXPECT_EQ(h, -6);
  ASSERT_TRUE(paper.NewDocument("m", &window.Flow(), false, false, 72, 30, 20));
  ASSERT_GE(paper.Layers().AddLayer(10, 70, true, 255, false, 3), 0);
  EXPECT_TRUE(paper.GetMaxStoreSize(w, h));
  EXPECT_EQ(w, 20);
  EXPECT_EQ(h, 70);
}

TEST(Paper, WithoutDocumentUndoPixelUndoGoesIntoTheLayersOwnUndo) {
  PaperTestScope scope;
  HeadlessDocumentWindow window;
  TPaper& paper = window.Paper();
  paper.AdoptDocumentUndo(nullptr);
  ASSERT_TRUE(paper.NewDocument("o", &window.Flow(), false, false, 72, 64, 64));
  CLayerData& layer = *paper.GetLayer(0);
  ASSERT_TRUE(layer.HasOwnUndo());
  EXPECT_FALSE(layer.CanUndoOwn());
  ASSERT_TRUE(layer.Store()->SetPixel(3, 3, 0xFF010203u));  // a committed tile to save
  EXPECT_TRUE(paper.SaveLayerUndo(0, SRectWH{0, 0, 8, 8}, kUndoLayerRect));
  EXPECT_TRUE(layer.CanUndoOwn());
  EXPECT_TRUE(paper.SaveWholeLayerUndo(0));
  EXPECT_TRUE(paper.SaveLayerStoreUndo(0, kUndoLayerRect));
  EXPECT_FALSE(paper.SaveLayerUndo(3, SRectWH{0, 0, 8, 8}, kUndoLayerRect));
  EXPECT_EQ(paper.GetUndoMemory(), paper.Layers().GetOwnUndoMemory());
  EXPECT_GT(paper.GetUndoMemory(), 0);
}

TEST(Paper, MemoryUsageAddsBuffersLayersAndUndo) {
  PaperTestScope scope;
  std::vector<std::string> log;
  test::ScriptedWindow window(log);
  TPaper& paper = window.Paper();
  auto undo = std::make_unique<test::ScriptedUndo>(log);
  undo->memory = 1000;
  paper.AdoptDocumentUndo(std::move(undo));
  ASSERT_TRUE(paper.NewDocument("mem", &window.Flow(), false, false, 72, 30, 40));
  int64_t layers = -1;
  int64_t undoBytes = -1;
  const int64_t total = paper.GetMemoryUsage(layers, undoBytes);
  EXPECT_EQ(layers, paper.Layers().GetMemory());
  EXPECT_EQ(undoBytes, 1000);
  EXPECT_EQ(total, 40 * 30 * 9 + layers + 1000);  // the view and pattern buffers hold nothing yet
  ASSERT_TRUE(paper.PatternBuffer().Resize(10, 10));
  EXPECT_EQ(paper.GetMemoryUsage(layers, undoBytes), total + 400);
}

TEST(Paper, TheRecorderReadsTheDocumentsState) {
  PaperTestScope scope;
  HeadlessDocumentWindow window;
  TPaper& paper = window.Paper();
  ASSERT_TRUE(paper.NewDocument("r", &window.Flow(), false, false, 72, 10, 10));
  CLayerData& layer = *paper.GetLayer(0);
  layer.alphaProtect = 1;
  layer.dissolve = 1;
  layer.opacity = 77;
  // A layer command records the layer's attributes with the new value put in.
  ASSERT_TRUE(paper.EventMngr()->writeLayerVisible(0, false));
  const std::vector<test::StreamPacket> packets = test::ReadPackets(*paper.EventMngr());
  const test::StreamPacket& last = packets.back();
  EXPECT_EQ(last.cls, 4);
  EXPECT_EQ(last.code, 18);
  EXPECT_EQ(last.payload, (std::vector<uint8_t>{0, 0, 3, 77, 0x12, 0}));
  // The legacy engine records as engine 0.
  paper.strokeRoutine = StrokeRoutine::kLegacy;
  EXPECT_FALSE(paper.HasModernEngine());
}

TEST(Paper, TheNibInForceIsRecordedAsAShapeOnlyWhenItIsAnImageNib) {
  PaperTestScope scope;
  HeadlessDocumentWindow window;
  TPaper& paper = window.Paper();
  ASSERT_TRUE(paper.NewDocument("n", &window.Flow(), false, false, 72, 10, 10));
  FakeRecordedPen pen;
  paper.EventMngr()->attachPen(&pen);
  auto shapePackets = [&] {
    std::vector<test::StreamPacket> found;
    for (const test::StreamPacket& p : test::ReadPackets(*paper.EventMngr()))
      if (p.cls == 0 && (p.code == 44 || p.code == 45)) found.push_back(p);
    return found;
  };

  SNibRecord record;
  record.Init();
  CPenShapeObj parametric(record);
  window.penShape = &parametric;
  ASSERT_TRUE(paper.EventMngr()->writePenState());
  EXPECT_TRUE(shapePackets().empty());

  CPenShapeObj image(record);
  TChannel picture(12, 7);
  picture.Fill(0x40);
  ASSERT_TRUE(image.SetImageCopy(picture, true));
  window.penShape = &image;
  ASSERT_TRUE(paper.EventMngr()->writePenState());
  std::vector<test::StreamPacket> found = shapePackets();
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].code, 44);
  ASSERT_GE(found[0].payload.size(), 40u);
  const uint8_t* def = found[0].payload.data();
  EXPECT_EQ(LoadU32(def), image.SerialId());
  EXPECT_EQ(static_cast<int16_t>(LoadU16(def + 4)), image.GetScalePercent());
  EXPECT_EQ(LoadU32(def + 20), 12u);
  EXPECT_EQ(LoadU32(def + 24), 7u);
  EXPECT_EQ(LoadU32(def + 28), 12u * 7u);
  // Unchanged: neither a definition nor a reference again.
  ASSERT_TRUE(paper.EventMngr()->writePenState());
  EXPECT_EQ(shapePackets().size(), 1u);
  window.penShape = nullptr;
  paper.EventMngr()->attachPen(nullptr);
}

TEST(Paper, SetModifiedAndActiveLayerReachTheWindowAndTheToolWindow) {
  PaperTestScope scope;
  std::vector<std::string> log;
  test::ScriptedWindow window(log);
  TPaper& paper = window.Paper();
  paper.SetModified(true);
  EXPECT_TRUE(window.modified);
  EXPECT_EQ(log, std::vector<std::string>{"modified"});
  RecordingToolPaneHost panes;
  ToolPaneHost* previous = SetToolPaneHost(&panes);
  ASSERT_TRUE(paper.NewDocument("a", &window.Flow(), false, false, 72, 10, 10));
  const int32_t layerUpdates = panes.layerPaneUpdates;
  EXPECT_TRUE(paper.SetActiveLayer(&window.Flow(), 0));
  EXPECT_EQ(panes.layerPaneUpdates, layerUpdates + 1);
  EXPECT_GE(panes.maskPaneUpdates, 1);
  EXPECT_FALSE(paper.SetActiveLayer(&window.Flow(), 2));
  EXPECT_EQ(panes.layerPaneUpdates, layerUpdates + 1);
  SetToolPaneHost(previous);
}

}  // namespace
}  // namespace tf

namespace tf {
namespace {

TEST(PaperLayerRoutines, LegacyAlphaCopyThumbnailAndTheUndoThatReplacesOwnUndo) {
  test::PaperTestScope scope;
  RecordingToolPaneHost panes;
  ToolPaneHost* previous = SetToolPaneHost(&panes);
  HeadlessDocumentWindow window;
  TPaper& paper = window.Paper();
  paper.AdoptDocumentUndo(nullptr);
  ASSERT_TRUE(paper.NewDocument("l", &window.Flow(), true, false, 72, 20, 40));
  ASSERT_GE(paper.Layers().AddLayer(40, 20, true, 255, true, 0), 0);  // multiply, transparent

  EXPECT_FALSE(paper.PrepareLegacyLayer(1, 0));  // a modern document keeps the layer's alpha
  EXPECT_EQ(paper.GetLayer(1)->Store()->GetPixel(5, 5) >> 24, 0u);
  paper.strokeRoutine = StrokeRoutine::kLegacy;
  EXPECT_TRUE(paper.PrepareLegacyLayer(1, 3));  // normal mode: untouched
  EXPECT_EQ(paper.GetLayer(1)->Store()->GetPixel(5, 5) >> 24, 0u);
  EXPECT_TRUE(paper.PrepareLegacyLayer(1, 0));
  EXPECT_EQ(paper.GetLayer(1)->Store()->GetPixel(5, 5) >> 24, 255u);
  paper.strokeRoutine = StrokeRoutine::kStepping;

  ASSERT_TRUE(paper.GetLayer(0)->Store()->SetPixel(1, 2, 0xFF0000FFu));
  paper.GetLayer(0)->name = "source";
  EXPECT_TRUE(paper.CopyLayerContent(0, 1));
  EXPECT_EQ(paper.GetLayer(1)->Store()->GetPixel(1, 2), 0xFF0000FFu);
  EXPECT_EQ(paper.GetLayer(1)->name, "source");
  EXPECT_FALSE(paper.CopyLayerContent(0, 0));
  EXPECT_FALSE(paper.CopyLayerContent(0, 7));

  panes.layerThumbnailSize = 16;
  EXPECT_TRUE(paper.ResizeLayerThumbnail(1));
  EXPECT_EQ(paper.GetLayer(1)->Thumbnail()->Width(), 16);
  EXPECT_EQ(paper.GetLayer(1)->Thumbnail()->Height(), 8);

  std::vector<std::string> log;
  EXPECT_TRUE(paper.GetLayer(0)->HasOwnUndo());
  paper.AdoptDocumentUndo(std::make_unique<test::ScriptedUndo>(log));
  EXPECT_FALSE(paper.GetLayer(0)->HasOwnUndo());
  EXPECT_FALSE(paper.GetLayer(1)->HasOwnUndo());
  SetToolPaneHost(previous);
}

}  // namespace
}  // namespace tf
