// The layer commands: what each records, how undo and redo restore it, and the arguments each
// refuses without a trace.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "document/LayerMngr.h"
#include "paint/Stroke.h"
#include "paper/PaperTestSupport.h"
#include "paper/UndoMngrEx.h"
#include "raster/BlockVMTC.h"

namespace tf {
namespace {

using test::PaperTestScope;
using test::ReadPackets;
using test::StreamPacket;

// A recording document of 40 x 30 with three layers (bottom one from the set-up) and real undo.
struct LayerFixture {
  LayerFixture() {
    scope.host.settings.undoMax = 16;
    window = std::make_unique<HeadlessDocumentWindow>();
    EXPECT_TRUE(Paper().NewDocument("l", &window->Flow(), false, false, 72, 30, 40));
    EXPECT_TRUE(Paper().AddLayer(Flow(), 1, false, true, 255, 0, 30, 40));
    EXPECT_TRUE(Paper().AddLayer(Flow(), 2, false, true, 255, 0, 30, 40));
    for (int32_t i = 0; i < 3; ++i) Paint(i, 0xFF000000u | (0x10u * (i + 1)));
  }
  TPaper& Paper() { return window->Paper(); }
  TFlowImage* Flow() { return &window->Flow(); }
  CLayerMngr& Layers() { return Paper().Layers(); }
  CLayerData& Layer(int32_t i) { return *Layers().Get(i); }
  int32_t Steps() { return Paper().EventMngr()->stepCount(); }
  int32_t UndoCount() { return Paper().UndoMngr()->UndoCount(); }
  void Paint(int32_t index, uint32_t value) {
    SRectWH r{2, 3, 5, 4};
    Layer(index).Store()->FillRect(r, value);
  }
  bool Undo() {
    SRectWH rect{};
    return Paper().Undo(Flow(), Paper().GetActiveLayerIndex(), rect);
  }
  bool Redo() {
    SRectWH rect{};
    return Paper().Redo(Flow(), Paper().GetActiveLayerIndex(), rect);
  }
  StreamPacket Last() {
    std::vector<StreamPacket> packets = ReadPackets(*Paper().EventMngr());
    return packets.empty() ? StreamPacket{} : packets.back();
  }

  PaperTestScope scope;
  std::unique_ptr<HeadlessDocumentWindow> window;
};

std::vector<uint8_t> Bytes(std::initializer_list<int> values) {
  std::vector<uint8_t> out;
  for (int v : values) out.push_back(static_cast<uint8_t>(v));
  return out;
}

// Every pixel of the store, for exact comparisons.
std::vector<uint32_t> Pixels(const CLayerData& layer) {
  std::vector<uint32_t> out;
  for (int32_t y = 0; y < layer.StoreHeight(); ++y)
    for (int32_t x = 0; x < layer.StoreWidth(); ++x) out.push_back(layer.Store()->GetPixel(x, y));
  return out;
}

// ---------------------------------------------------------------------------------------------
// Adding, deleting, duplicating, moving

TEST(LayerCommands, AddLayerRecordsPacketThenUndoRemovesAndRedoRestoresTheSameLayer) {
  LayerFixture f;
  const int32_t steps = f.Steps();
  ASSERT_TRUE(f.Paper().AddLayer(f.Flow(), 1, true, true, 200, 4, 30, 40));
  EXPECT_EQ(f.Steps(), steps + 1);
  const StreamPacket packet = f.Last();
  EXPECT_EQ(packet.cls, 4);
  EXPECT_EQ(packet.code, 0);
  EXPECT_EQ(packet.payload, Bytes({1, 0, 40, 0, 0, 0, 30, 0, 0, 0, 4, 200, 1, 0}));
  ASSERT_EQ(f.Layers().Count(), 4);
  CLayerData* added = f.Layers().Get(1);
  EXPECT_EQ(f.Paper().GetActiveLayerIndex(), 1);
  EXPECT_EQ(added->blendMode, 4);
  EXPECT_EQ(added->opacity, 200);
  EXPECT_EQ(added->Store()->GetPixel(5, 5) >> 24, 0u);  // modern: transparent
  const int32_t id = added->id;

  ASSERT_TRUE(f.Undo());
  EXPECT_EQ(f.Layers().Count(), 3);
  EXPECT_EQ(f.Layers().IndexOfId(id), -1);
  ASSERT_TRUE(f.Redo());
  ASSERT_EQ(f.Layers().Count(), 4);
  EXPECT_EQ(f.Layers().Get(1)->id, id);
}

TEST(LayerCommands, NewLayerFillsWithColourAndName) {
  LayerFixture f;
  ASSERT_TRUE(f.Paper().NewLayer(f.Flow(), 3, true, true, "paper", 0xFF7F7F7Fu, 255, 0, 30, 40));
  CLayerData& layer = f.Layer(3);
  EXPECT_EQ(layer.name, "paper");
  EXPECT_EQ(layer.Store()->GetPixel(0, 0), 0xFF7F7F7Fu);
  EXPECT_EQ(layer.Store()->GetPixel(39, 29), 0xFF7F7F7Fu);
  const StreamPacket packet = f.Last();
  EXPECT_EQ(packet.cls, 4);
  EXPECT_EQ(packet.code, 11);
  ASSERT_TRUE(f.Undo());
  EXPECT_EQ(f.Layers().Count(), 3);
}

TEST(LayerCommands, DeleteLayerUndoPutsTheSameLayerBack) {
  LayerFixture f;
  CLayerData* middle = f.Layers().Get(1);
  const std::vector<uint32_t> pixels = Pixels(*middle);
  ASSERT_TRUE(f.Paper().DeleteLayer(f.Flow(), 1, true));
  EXPECT_EQ(f.Last().cls, 4);
  EXPECT_EQ(f.Last().code, 1);
  EXPECT_EQ(f.Last().payload, Bytes({1, 0, 1, 0}));
  EXPECT_EQ(f.Layers().Count(), 2);
  ASSERT_TRUE(f.Undo());
  ASSERT_EQ(f.Layers().Count(), 3);
  EXPECT_EQ(f.Layers().Get(1), middle);
  EXPECT_EQ(Pixels(*middle), pixels);
  ASSERT_TRUE(f.Redo());
  EXPECT_EQ(f.Layers().Count(), 2);
  EXPECT_EQ(f.Layers().IndexOfId(middle == nullptr ? 0 : f.Layers().Get(0)->id), 0);
}

TEST(LayerCommands, DeletingTheActiveTopLayerActivatesTheNewTop) {
  LayerFixture f;
  f.Paper().SetActiveLayer(f.Flow(), 2);
  ASSERT_TRUE(f.Paper().DeleteLayer(f.Flow(), 2, true));
  EXPECT_EQ(f.Paper().GetActiveLayerIndex(), 1);
}

TEST(LayerCommands, DuplicateOfAnOversizedLayerKeepsStoreOffsetNameAndDepth) {
  LayerFixture f;
  // An oversized layer: a store of 70 x 50 with the canvas at (10, 6).
  ASSERT_TRUE(f.Paper().AddLayer(f.Flow(), 3, false, true, 255, 0, 50, 70));
  CLayerData& big = f.Layer(3);
  big.offsetX = 10;
  big.offsetY = 6;
  big.name = "big";
  big.SetGroupDepth(1);
  SRectWH r{0, 0, 3, 3};
  big.Store()->FillRect(r, 0xFF00FF00u);
  ASSERT_TRUE(f.Paper().DuplicateLayer(f.Flow(), 3, true));
  EXPECT_EQ(f.Last().code, 3);
  ASSERT_EQ(f.Layers().Count(), 5);
  CLayerData& copy = f.Layer(4);
  EXPECT_NE(copy.id, big.id);
  EXPECT_EQ(copy.StoreWidth(), 70);
  EXPECT_EQ(copy.StoreHeight(), 50);
  EXPECT_EQ(copy.offsetX, 10);
  EXPECT_EQ(copy.offsetY, 6);
  EXPECT_EQ(copy.name, "big");
  EXPECT_EQ(copy.GroupDepth(), 1);
  EXPECT_EQ(Pixels(copy), Pixels(big));
  EXPECT_EQ(f.Paper().GetActiveLayerIndex(), 4);
  ASSERT_TRUE(f.Undo());
  EXPECT_EQ(f.Layers().Count(), 4);
}

TEST(LayerCommands, MoveLayerRecordsAndUndoesTheMove) {
  LayerFixture f;
  CLayerData* bottom = f.Layers().Get(0);
  ASSERT_TRUE(f.Paper().MoveLayer(f.Flow(), 0, true, 2));
  EXPECT_EQ(f.Last().code, 4);
  EXPECT_EQ(f.Last().payload, Bytes({0, 0, 2, 0}));
  EXPECT_EQ(f.Layers().Get(2), bottom);
  EXPECT_EQ(f.Paper().GetActiveLayerIndex(), 2);
  ASSERT_TRUE(f.Undo());
  EXPECT_EQ(f.Layers().Get(0), bottom);
  ASSERT_TRUE(f.Redo());
  EXPECT_EQ(f.Layers().Get(2), bottom);
}

TEST(LayerCommands, MoveLayerNoOpKeepsTheUndoHistory) {
  LayerFixture f;
  ASSERT_TRUE(f.Paper().SetLayerOpacity(1, 100, true));
  const int32_t undo = f.UndoCount();
  const int32_t steps = f.Steps();
  EXPECT_FALSE(f.Paper().MoveLayer(f.Flow(), 1, true, 1));   // onto itself
  EXPECT_FALSE(f.Paper().MoveLayer(f.Flow(), 2, true, 50));  // clamped onto itself
  EXPECT_FALSE(f.Paper().MoveLayer(f.Flow(), 9, true, 0));   // from nowhere
  EXPECT_EQ(f.UndoCount(), undo);
  EXPECT_EQ(f.Steps(), steps);
  EXPECT_TRUE(f.scope.warnings.Texts().empty());
}

// ---------------------------------------------------------------------------------------------
// Attributes

struct AttributeCase {
  const char* name;
  std::function<bool(TPaper&)> command;
  uint8_t code;
  std::function<int(const CLayerData&)> read;
  int before;
  int after;
};

TEST(LayerCommands, AttributeCommandsRecordUndoAndRedo) {
  const std::vector<AttributeCase> cases = {
      {"opacity", [](TPaper& p) { return p.SetLayerOpacity(1, 77, true); }, 17,
       [](const CLayerData& l) { return static_cast<int>(l.opacity); }, 255, 77},
      {"blend", [](TPaper& p) { return p.SetLayerBlendMode(1, 21, true); }, 16,
       [](const CLayerData& l) { return static_cast<int>(l.blendMode); }, 0, 21},
      {"visible", [](TPaper& p) { return p.SetLayerVisible(1, false, true); }, 18,
       [](const CLayerData& l) { return static_cast<int>(l.visible); }, 1, 0},
      {"protect", [](TPaper& p) { return p.SetLayerProtect(1, -1, true); }, 20,
       [](const CLayerData& l) { return static_cast<int>(l.alphaProtect); }, 0, 1},
      {"dissolve", [](TPaper& p) { return p.SetLayerDissolve(1, true, true, 99); }, 21,
       [](const CLayerData& l) { return l.dissolve * 1000 + l.dissolveThreshold; }, 255, 1099},
  };
  for (const AttributeCase& c : cases) {
    SCOPED_TRACE(c.name);
    LayerFixture f;
    ASSERT_EQ(c.read(f.Layer(1)), c.before);
    const int32_t steps = f.Steps();
    ASSERT_TRUE(c.command(f.Paper()));
    EXPECT_EQ(f.Steps(), steps + 1);
    EXPECT_EQ(f.Last().cls, 4);
    EXPECT_EQ(f.Last().code, c.code);
    EXPECT_EQ(f.Last().payload[0], 1);  // the layer index
    EXPECT_EQ(c.read(f.Layer(1)), c.after);
    ASSERT_TRUE(f.Undo());
    EXPECT_EQ(c.read(f.Layer(1)), c.before);
    ASSERT_TRUE(f.Redo());
    EXPECT_EQ(c.read(f.Layer(1)), c.after);
  }
}

TEST(LayerCommands, RenameRecordsTheNameAndUndoRestoresIt) {
  LayerFixture f;
  const std::string old = f.Layer(2).name;
  ASSERT_TRUE(f.Paper().RenameLayer(f.Flow(), 2, true, "ink"));
  EXPECT_EQ(f.Last().code, 19);
  EXPECT_EQ(f.Last().payload, Bytes({2, 0, 4, 0, 'i', 'n', 'k', 0}));
  EXPECT_EQ(f.Layer(2).name, "ink");
  ASSERT_TRUE(f.Undo());
  EXPECT_EQ(f.Layer(2).name, old);
  ASSERT_TRUE(f.Redo());
  EXPECT_EQ(f.Layer(2).name, "ink");
}

TEST(LayerCommands, SettingTheCurrentVisibilityAnswersTrueAndRecordsNothing) {
  LayerFixture f;
  const int32_t steps = f.Steps();
  const int32_t undo = f.UndoCount();
  EXPECT_TRUE(f.Paper().SetLayerVisible(1, true, true));
  EXPECT_EQ(f.Steps(), steps);
  EXPECT_EQ(f.UndoCount(), undo);
}

TEST(LayerCommands, StackVisibilityCommandsRecordAndUndo) {
  LayerFixture f;
  f.Paper().SetActiveLayer(f.Flow(), 1);
  ASSERT_TRUE(f.Paper().ShowActiveLayerOnly(1, true));
  EXPECT_EQ(f.Last().cls, 2);
  EXPECT_EQ(f.Last().code, 25);
  EXPECT_EQ(f.Paper().GetVisibleLayerCount(), 1);
  EXPECT_EQ(f.Layer(1).visible, 1);
  ASSERT_TRUE(f.Undo());
  EXPECT_EQ(f.Paper().GetVisibleLayerCount(), 3);

  // Showing all while all are visible is refused.
  EXPECT_FALSE(f.Paper().SetAllLayersVisible(1, true, true));
  ASSERT_TRUE(f.Paper().SetAllLayersVisible(1, false, true));
  EXPECT_EQ(f.Last().code, 24);
  EXPECT_EQ(f.Paper().GetVisibleLayerCount(), 0);
  ASSERT_TRUE(f.Undo());
  EXPECT_EQ(f.Paper().GetVisibleLayerCount(), 3);

  f.Layer(0).visible = 0;
  ASSERT_TRUE(f.Paper().InvertLayerVisibility(1, true));
  EXPECT_EQ(f.Last().code, 26);
  EXPECT_EQ(f.Layer(0).visible, 1);
  EXPECT_EQ(f.Layer(2).visible, 0);
  ASSERT_TRUE(f.Undo());
  EXPECT_EQ(f.Layer(0).visible, 0);
  EXPECT_EQ(f.Layer(2).visible, 1);
}

TEST(LayerCommands, ReplayingWithoutRecordMakesNoPacketsAndNoUndo) {
  LayerFixture f;
  const int32_t steps = f.Steps();
  const int32_t undo = f.UndoCount();
  ASSERT_TRUE(f.Paper().AddLayer(f.Flow(), 0, false, true, 255, 0, 30, 40));
  ASSERT_TRUE(f.Paper().SetLayerOpacity(0, 3, false));
  ASSERT_TRUE(f.Paper().MoveLayer(f.Flow(), 0, false, 3));
  ASSERT_TRUE(f.Paper().DeleteLayer(f.Flow(), 3, false));
  ASSERT_TRUE(f.Paper().FlipLayerHorizontal(f.Flow(), 0, false));
  ASSERT_TRUE(f.Paper().RotateLayerFree(f.Flow(), 0, false, 10.0f));
  EXPECT_EQ(f.Steps(), steps);
  EXPECT_EQ(f.UndoCount(), undo);
}

// ---------------------------------------------------------------------------------------------
// Refusals

struct RefusalCase {
  const char* name;
  std::function<bool(TPaper&, TFlowImage*)> command;
};

TEST(LayerCommands, RefusedArgumentsChangeNothingAndRecordNothing) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const std::vector<RefusalCase> cases = {
      {"add mode 22", [](TPaper& p, TFlowImage* fl) { return p.AddLayer(fl, 1, true, true, 255, 22, 30, 40); }},
      {"add mode -1", [](TPaper& p, TFlowImage* fl) { return p.AddLayer(fl, 1, true, true, 255, -1, 30, 40); }},
      {"add position -1",
       [](TPaper& p, TFlowImage* fl) { return p.AddLayer(fl, -1, true, true, 255, 0, 30, 40); }},
      {"add position past top",
       [](TPaper& p, TFlowImage* fl) { return p.AddLayer(fl, 4, true, true, 255, 0, 30, 40); }},
      {"add store below canvas",
       [](TPaper& p, TFlowImage* fl) { return p.AddLayer(fl, 1, true, true, 255, 0, 29, 40); }},
      {"add zero size", [](TPaper& p, TFlowImage* fl) { return p.AddLayer(fl, 1, true, true, 255, 0, 0, 0); }},
      {"add huge store",
       [](TPaper& p, TFlowImage* fl) { return p.AddLayer(fl, 1, true, true, 255, 0, 30, 1 << 20); }},
      {"new mode 22",
       [](TPaper& p, TFlowImage* fl) { return p.NewLayer(fl, 1, true, true, "", 0, 255, 22, 30, 40); }},
      {"duplicate -1", [](TPaper& p, TFlowImage* fl) { return p.DuplicateLayer(fl, -1, true); }},
      {"duplicate 3", [](TPaper& p, TFlowImage* fl) { return p.DuplicateLayer(fl, 3, true); }},
      {"delete 3", [](TPaper& p, TFlowImage* fl) { return p.DeleteLayer(fl, 3, true); }},
      {"move from -1", [](TPaper& p, TFlowImage* fl) { return p.MoveLayer(fl, -1, true, 1); }},
      {"move onto itself", [](TPaper& p, TFlowImage* fl) { return p.MoveLayer(fl, 0, true, -5); }},
      {"rename 3", [](TPaper& p, TFlowImage* fl) { return p.RenameLayer(fl, 3, true, "x"); }},
      {"visible 3", [](TPaper& p, TFlowImage*) { return p.SetLayerVisible(3, false, true); }},
      {"opacity -1", [](TPaper& p, TFlowImage*) { return p.SetLayerOpacity(-1, 1, true); }},
      {"blend 22", [](TPaper& p, TFlowImage*) { return p.SetLayerBlendMode(1, 22, true); }},
      {"blend 255", [](TPaper& p, TFlowImage*) { return p.SetLayerBlendMode(1, 255, true); }},
      {"blend index 7", [](TPaper& p, TFlowImage*) { return p.SetLayerBlendMode(7, 1, true); }},
      {"dissolve 3", [](TPaper& p, TFlowImage*) { return p.SetLayerDissolve(3, true, true, 1); }},
      {"protect 3", [](TPaper& p, TFlowImage*) { return p.SetLayerProtect(3, 1, true); }},
      {"show only 3", [](TPaper& p, TFlowImage*) { return p.ShowActiveLayerOnly(3, true); }},
      {"flip 3", [](TPaper& p, TFlowImage* fl) { return p.FlipLayerHorizontal(fl, 3, true); }},
      {"code 12", [](TPaper& p, TFlowImage* fl) { return p.ApplyLayerCommand(fl, 0, true, 12); }},
      {"turn 90 of -1", [](TPaper& p, TFlowImage* fl) { return p.RotateLayer90(fl, -1, true, true); }},
      {"rotate NaN", [nan](TPaper& p, TFlowImage* fl) { return p.RotateLayerFree(fl, 1, true, nan); }},
      {"rotate infinity", [inf](TPaper& p, TFlowImage* fl) { return p.RotateLayerFree(fl, 1, true, inf); }},
      {"rotate 3", [](TPaper& p, TFlowImage* fl) { return p.RotateLayerFree(fl, 3, true, 5.0f); }},
      {"scale to 0 x 30", [](TPaper& p, TFlowImage* fl) { return p.ScaleLayer(fl, 1, true, 0, 30); }},
      {"scale to -5", [](TPaper& p, TFlowImage* fl) { return p.ScaleLayer(fl, 1, true, 40, -5); }},
      {"scale past the store limit",
       [](TPaper& p, TFlowImage* fl) { return p.ScaleLayer(fl, 1, true, 1 << 20, 30); }},
      {"scale layer 3", [](TPaper& p, TFlowImage* fl) { return p.ScaleLayer(fl, 3, true, 20, 20); }},
  };
  for (const RefusalCase& c : cases) {
    SCOPED_TRACE(c.name);
    LayerFixture f;
    std::vector<std::vector<uint32_t>> before;
    std::vector<int32_t> ids;
    for (int32_t i = 0; i < 3; ++i) {
      before.push_back(Pixels(f.Layer(i)));
      ids.push_back(f.Layer(i).id);
    }
    const int32_t steps = f.Steps();
    const int32_t undo = f.UndoCount();
    const uint8_t opacity = f.Layer(1).opacity;
    EXPECT_FALSE(c.command(f.Paper(), f.Flow()));
    EXPECT_EQ(f.Steps(), steps);
    EXPECT_EQ(f.UndoCount(), undo);
    ASSERT_EQ(f.Layers().Count(), 3);
    for (int32_t i = 0; i < 3; ++i) {
      EXPECT_EQ(f.Layer(i).id, ids[static_cast<size_t>(i)]);
      EXPECT_EQ(Pixels(f.Layer(i)), before[static_cast<size_t>(i)]);
    }
    EXPECT_EQ(f.Layer(1).opacity, opacity);
    EXPECT_EQ(f.Layer(1).blendMode, 0);
    EXPECT_TRUE(f.scope.warnings.Texts().empty());
  }
}

TEST(LayerCommands, DeletingTheOnlyLayerIsRefused) {
  PaperTestScope scope;
  HeadlessDocumentWindow window;
  ASSERT_TRUE(window.Paper().NewDocument("one", &window.Flow(), false, false, 72, 8, 8));
  EXPECT_FALSE(window.Paper().DeleteLayer(&window.Flow(), 0, true));
  EXPECT_EQ(window.Paper().GetLayerCount(), 1);
}

TEST(LayerCommands, AFullStackRefusesAddingAndMoving) {
  LayerFixture f;
  f.Layers().SetLimit(3);
  EXPECT_FALSE(f.Paper().CanAddLayer(-1));
  // The stack limit is the command's test too.
  EXPECT_FALSE(f.Paper().AddLayerAboveActive(f.Flow(), 0, true));
  EXPECT_FALSE(f.Paper().DuplicateLayer(f.Flow(), 0, true));
  EXPECT_FALSE(f.Paper().NewLayer(f.Flow(), 0, true, true, "", 0, 255, 0, 30, 40));
  EXPECT_FALSE(f.Paper().MoveLayer(f.Flow(), 0, true, 2));
  EXPECT_EQ(f.Layers().Count(), 3);
}

TEST(LayerCommands, TheCurrentStrokeKeepsTheActiveLayersAlphaProtection) {
  LayerFixture f;
  TStroke stroke(0);
  f.window->stroke = &stroke;
  ASSERT_TRUE(f.Paper().SetLayerProtect(1, 1, true));
  EXPECT_TRUE(stroke.GetKeepAlpha());
  ASSERT_TRUE(f.Paper().SetActiveLayer(f.Flow(), 0));
  EXPECT_FALSE(stroke.GetKeepAlpha());
  ASSERT_TRUE(f.Paper().SetActiveLayer(f.Flow(), 1));
  EXPECT_TRUE(stroke.GetKeepAlpha());
  ASSERT_TRUE(f.Paper().SetLayerProtect(-1, -1, true));  // toggles the active layer's
  EXPECT_FALSE(stroke.GetKeepAlpha());
  f.window->stroke = nullptr;
}

}  // namespace
}  // namespace tf
