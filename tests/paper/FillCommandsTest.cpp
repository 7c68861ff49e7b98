// The layer clears and fills, the shape fills, the magic wand and the bucket fill: what each
// paints, what it records, exact undo and redo, and the commands refused.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "document/Mask.h"
#include "paint/Gradient.h"
#include "paint/PixelWriters.h"
#include "paint/SeedFill.h"
#include "paint/Stroke.h"
#include "paper/PaperTestSupport.h"
#include "paper/UndoMngrEx.h"
#include "raster/BlockVCH.h"

namespace tf {
namespace {

using test::PaperTestScope;
using test::ReadPackets;
using test::StreamPacket;

struct Pixels {
  int32_t width = 0;
  int32_t height = 0;
  int32_t offsetX = 0;
  int32_t offsetY = 0;
  std::vector<uint32_t> values;
  bool operator==(const Pixels&) const = default;
};

Pixels Read(const CLayerData& layer) {
  Pixels p{layer.StoreWidth(), layer.StoreHeight(), layer.offsetX, layer.offsetY, {}};
  for (int32_t y = 0; y < p.height; ++y)
    for (int32_t x = 0; x < p.width; ++x) p.values.push_back(layer.Store()->GetPixel(x, y));
  return p;
}

// The colour the stroke road paints for the fixture's stroke (the bucket fill paints through it).
constexpr uint32_t kBucketColour = 0xFF0000FFu;

// A recording document of 40 x 30 whose layer 1 holds a dark square (10..19, 8..17) on white.
struct FillFixture {
  FillFixture() {
    ResetPixelWriters();
    scope.host.settings.undoMax = 16;
    window = std::make_unique<HeadlessDocumentWindow>();
    window->stroke = &stroke;
    stroke.SetColor(0x000000FFu);  // red, in window order
    EXPECT_TRUE(Paper().NewDocument("t", Flow(), false, false, 72, 30, 40));
    Paper().EventMngr()->attachPen(&pen);
    EXPECT_TRUE(Paper().AddLayer(Flow(), 1, false, true, 255, 0, 30, 40));
    Layer().Store()->FillAll(0xFFFFFFFFu);
    for (int32_t y = 8; y < 18; ++y)
      for (int32_t x = 10; x < 20; ++x) Layer().Store()->SetPixel(x, y, 0xFF101010u);
    Paper().SyncFlowImage(Flow(), 1, true);
    stops.SetStop(0, 0x000000u, 65536, 255);
    stops.SetStop(1, 0x00FF00u, 65536, 255);
    Paper().Gradation().SetSlotGroup(&stops);
  }
  ~FillFixture() { ResetPixelWriters(); }
  TPaper& Paper() { return window->Paper(); }
  TFlowImage* Flow() { return &window->Flow(); }
  CLayerData& Layer(int32_t i = 1) { return *Paper().Layers().Get(i); }
  CMaskMngr& Masks() { return *Paper().MaskMngr(); }
  int32_t Steps() { return Paper().EventMngr()->stepCount(); }
  int32_t UndoCount() { return Paper().UndoMngr()->UndoList().Count(); }
  bool Undo() {
    SRectWH rect{};
    return Paper().Undo(Flow(), 1, rect);
  }
  bool Redo() {
    SRectWH rect{};
    return Paper().Redo(Flow(), 1, rect);
  }
  StreamPacket Last() { return ReadPackets(*Paper().EventMngr()).back(); }
  // The command's packet: the last one that is not state.
  StreamPacket LastCommand() {
    const auto packets = ReadPackets(*Paper().EventMngr());
    for (auto it = packets.rbegin(); it != packets.rend(); ++it)
      if (it->cls != 0 && it->cls != 1 && !(it->cls == 2 && it->code == 255)) return *it;
    return {};
  }
  // Selects the canvas rectangle in the active mask.
  void Select(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    TChannel channel(40, 30);
    for (int32_t y = top; y < bottom; ++y)
      for (int32_t x = left; x < right; ++x) *channel.GetPixelPtr(x, y) = 255;
    std::unique_ptr<CMaskData> old;
    ASSERT_TRUE(Masks().CombineChannel(-1, channel, 0, old, TPoint{0, 0}, SSize{40, 30}));
    Paper().selectionEnabled = 1;
  }
  std::vector<uint8_t> MaskBytes() {
    std::vector<uint8_t> out;
    const CMaskData* mask = Masks().GetActiveMask();
    for (int32_t y = 0; y < 30; ++y)
      for (int32_t x = 0; x < 40; ++x)
        out.push_back(mask != nullptr && mask->IsAllocated()
                          ? mask->Store()->GetPixelSafe(x + mask->offsetX, y + mask->offsetY)
                          : 0);
    return out;
  }
  // Undo gives back the picture before, redo the one after, and the stream moves with them.
  void ExpectUndoRedoExact(const Pixels& before, int32_t stepsBefore) {
    const Pixels after = Read(Layer());
    const int32_t stepsAfter = Steps();
    ASSERT_TRUE(Undo());
    EXPECT_EQ(Read(Layer()), before);
    EXPECT_EQ(Paper().EventMngr()->stepCount(), stepsBefore);
    ASSERT_TRUE(Redo());
    EXPECT_EQ(Read(Layer()), after);
    EXPECT_EQ(Paper().EventMngr()->stepCount(), stepsAfter);
  }

  PaperTestScope scope;
  TStroke stroke{1};
  FakeRecordedPen pen;
  CColorSlotGroup stops{4};
  std::unique_ptr<HeadlessDocumentWindow> window;
};

// ---------------------------------------------------------------------------------------------
// Whole-layer commands

TEST(FillCommands, ClearLayerTakesTheModesNeutralColourRecordsAndUndoes) {
  FillFixture f;
  f.Layer().blendMode = 5;
  const Pixels before = Read(f.Layer());
  const int32_t steps = f.Steps();
  ASSERT_TRUE(f.Paper().ClearLayer(f.Flow(), 1, true));
  for (uint32_t v : Read(f.Layer()).values) ASSERT_EQ(v, 0x007F7F7Fu);
  EXPECT_EQ(f.LastCommand().cls, 4);
  EXPECT_EQ(f.LastCommand().code, 2);
  EXPECT_EQ(f.Flow()->Image().GetPixel(12, 10), 0x007F7F7Fu);  // the working copy follows
  f.ExpectUndoRedoExact(before, steps);
}

TEST(FillCommands, AlphaCommandsRecordAndUndoExactly) {
  FillFixture f;
  const Pixels before = Read(f.Layer());
  int32_t steps = f.Steps();
  ASSERT_TRUE(f.Paper().FillLayerAlpha(f.Flow(), 1, true, 0x40));
  EXPECT_EQ(f.Layer().Store()->GetPixel(12, 10), 0x40101010u);
  StreamPacket p = f.LastCommand();
  EXPECT_EQ(p.cls, 4);
  EXPECT_EQ(p.code, 24);
  EXPECT_EQ(p.payload[2], 0x40);
  f.ExpectUndoRedoExact(before, steps);

  const Pixels half = Read(f.Layer());
  steps = f.Steps();
  ASSERT_TRUE(f.Paper().InvertLayerAlpha(f.Flow(), 1, true));
  EXPECT_EQ(f.Layer().Store()->GetPixel(12, 10), 0xBF101010u);
  EXPECT_EQ(f.LastCommand().code, 25);
  f.ExpectUndoRedoExact(half, steps);

  f.Select(0, 0, 20, 30);
  const Pixels inverted = Read(f.Layer());
  steps = f.Steps();
  ASSERT_TRUE(f.Paper().SelectionToLayerAlpha(f.Flow(), 1, true, -1));
  EXPECT_EQ(f.Layer().Store()->GetPixel(12, 10) >> 24, 255u);
  EXPECT_EQ(f.Layer().Store()->GetPixel(30, 10) >> 24, 0u);
  EXPECT_EQ(f.LastCommand().cls, 10);
  EXPECT_EQ(f.LastCommand().code, 21);
  f.ExpectUndoRedoExact(inverted, steps);
}

// The alpha commands took any index and answered true; the player passes indexes from streams.
TEST(FillCommands, AlphaCommandsRefuseBadLayerAndMaskIndexesRecordingNothing) {
  FillFixture f;
  const Pixels before = Read(f.Layer());
  const int32_t steps = f.Steps();
  const int32_t undo = f.UndoCount();
  for (int32_t bad : {-1, 2, 99, -32768}) {
    EXPECT_FALSE(f.Paper().FillLayerAlpha(f.Flow(), bad, true, 0));
    EXPECT_FALSE(f.Paper().InvertLayerAlpha(f.Flow(), bad, true));
    EXPECT_FALSE(f.Paper().SelectionToLayerAlpha(f.Flow(), bad, true, -1));
    EXPECT_FALSE(f.Paper().ClearLayer(f.Flow(), bad, true));
  }
  for (int32_t badMask : {-2, 1, 16, 1000})
    EXPECT_FALSE(f.Paper().SelectionToLayerAlpha(f.Flow(), 1, true, badMask));
  EXPECT_EQ(f.Steps(), steps);
  EXPECT_EQ(f.UndoCount(), undo);
  EXPECT_EQ(Read(f.Layer()), before);
}

// ---------------------------------------------------------------------------------------------
// Shape fills

TEST(FillCommands, RectangleFillPaintsTheStrokeColourRecordsAndUndoes) {
  FillFixture f;
  const Pixels before = Read(f.Layer());
  const int32_t steps = f.Steps();
  ASSERT_TRUE(f.Paper().FillRect(f.Flow(), 1, true, true, TPoint{2, 3}, SPointF{5, 6}));
  EXPECT_EQ(f.Layer().Store()->GetPixel(3, 4) & 0xFFFFFFu, 0xFF0000u);
  EXPECT_EQ(f.Layer().Store()->GetPixel(8, 4), 0xFFFFFFFFu);
  EXPECT_EQ(f.LastCommand().cls, 6);
  EXPECT_EQ(f.LastCommand().code, 1);
  f.ExpectUndoRedoExact(before, steps);
}

// A fill that paints nothing used to leave its undo record behind without an event: a later
// undo then moved the stream back over the previous command.
TEST(FillCommands, FillThatPaintsNothingLeavesNoUndoRecord) {
  FillFixture f;
  ASSERT_TRUE(f.Paper().FillRect(f.Flow(), 1, true, true, TPoint{2, 3}, SPointF{5, 6}));
  const int32_t steps = f.Steps();
  const int32_t undo = f.UndoCount();
  EXPECT_FALSE(f.Paper().FillRect(f.Flow(), 1, true, true, TPoint{500, 500}, SPointF{600, 600}));
  EXPECT_FALSE(f.Paper().FillRect(f.Flow(), 5, true, true, TPoint{2, 3}, SPointF{5, 6}));
  const TPoint outside[3] = {{-50, -50}, {-40, -50}, {-45, -40}};
  EXPECT_FALSE(f.Paper().FillPolygon(f.Flow(), 1, true, 3, outside));
  // A polygon inside the layer that covers no pixel: its undo record was pushed and goes again.
  const TPoint flat[3] = {{5, 5}, {10, 5}, {20, 5}};
  EXPECT_FALSE(f.Paper().FillPolygon(f.Flow(), 1, true, 3, flat));
  EXPECT_EQ(f.Steps(), steps);
  EXPECT_EQ(f.UndoCount(), undo);
}

TEST(FillCommands, PolygonEllipseAndLayerFillsRecordTheirCodes) {
  FillFixture f;
  struct Case {
    const char* name;
    std::function<bool(FillFixture&)> run;
    uint8_t code;
  } cases[] = {
      {"polygon",
       [](FillFixture& g) {
         const TPoint pts[4] = {{1, 1}, {30, 2}, {25, 25}, {3, 20}};
         return g.Paper().FillPolygon(g.Flow(), 1, true, 4, pts);
       },
       4},
      {"ellipse",
       [](FillFixture& g) {
         return g.Paper().FillEllipse(g.Flow(), 1, true, TPoint{4, 4}, SPointF{30, 20}, true);
       },
       6},
      {"layer", [](FillFixture& g) { return g.Paper().FillLayer(g.Flow(), 1, true, true, 0x0000FFu); }, 0},
      {"gradient",
       [](FillFixture& g) {
         return g.Paper().GradientFillLayer(g.Flow(), 1, true, false, TPoint{0, 0}, SPointF{39, 0});
       },
       2},
  };
  for (const Case& c : cases) {
    const Pixels before = Read(f.Layer());
    const int32_t steps = f.Steps();
    ASSERT_TRUE(c.run(f)) << c.name;
    EXPECT_NE(Read(f.Layer()), before) << c.name;
    EXPECT_EQ(f.LastCommand().cls, 6) << c.name;
    EXPECT_EQ(f.LastCommand().code, c.code) << c.name;
    f.ExpectUndoRedoExact(before, steps);
  }
  EXPECT_EQ(f.stroke.GetColor(), 0x000000FFu);  // the fills give the stroke its colour back
  EXPECT_FALSE(f.stroke.GetUseGradation());
}

TEST(FillCommands, GradientOnlySetChangesTheLineAndNothingElse) {
  FillFixture f;
  const Pixels before = Read(f.Layer());
  const int32_t steps = f.Steps();
  ASSERT_TRUE(f.Paper().GradientFillLayer(f.Flow(), 1, true, true, TPoint{3, 4}, SPointF{20, 9}));
  TPoint a{}, b{};
  f.Paper().GetGradientLine(a, b);
  EXPECT_EQ(a.x, 3 << 16);
  EXPECT_EQ(b.y, 9 << 16);
  EXPECT_EQ(Read(f.Layer()), before);
  EXPECT_EQ(f.Steps(), steps);
}

TEST(FillCommands, GradientFillOverASelectionStaysInside) {
  FillFixture f;
  f.Select(0, 0, 10, 30);
  ASSERT_TRUE(f.Paper().GradientFillLayer(f.Flow(), 1, true, false, TPoint{0, 0}, SPointF{39, 0}));
  EXPECT_EQ(f.Layer().Store()->GetPixel(30, 2), 0xFFFFFFFFu);
  EXPECT_NE(f.Layer().Store()->GetPixel(2, 2), 0xFFFFFFFFu);
}

TEST(FillCommands, ClearSelectionFillsTheSelectedPartWithTheColourAndTakesItsAlpha) {
  FillFixture f;
  EXPECT_FALSE(f.Paper().ClearSelection(f.Flow(), 1, 0xFFFFFF, true));  // no selection
  f.Select(12, 10, 16, 14);
  const Pixels before = Read(f.Layer());
  const int32_t steps = f.Steps();
  ASSERT_TRUE(f.Paper().ClearSelection(f.Flow(), 1, 0x00FF00u, true));
  EXPECT_EQ(f.Layer().Store()->GetPixel(13, 11), 0x0000FF00u);  // selected: colour, alpha gone
  EXPECT_EQ(f.Layer().Store()->GetPixel(11, 11), 0xFF101010u);  // outside: untouched
  EXPECT_EQ(f.LastCommand().cls, 6);
  EXPECT_EQ(f.LastCommand().code, 5);
  f.ExpectUndoRedoExact(before, steps);
}

// The mask and the layer placed differently, with x and y offsets that differ: the selected
// canvas pixels, and only they, take the colour (a swapped axis or offset went unseen).
TEST(FillCommands, ClearSelectionMeetsAMaskPlacedDifferentlyFromItsLayer) {
  struct Case {
    int32_t layerX, layerY, maskX, maskY;
    int32_t left, top, right, bottom;  // the selection in mask store pixels
    int32_t selected;                  // of them on the layer's store
  } cases[] = {
      {2, 1, -6, 3, 12, 10, 16, 14, 16},
      // At the mask store's bottom right, the layer lower than it is right of it.
      {1, 2, 6, 3, 34, 26, 40, 30, 6 * 4},
      // At the mask store's left, partly off the canvas.
      {3, 0, 2, 5, 0, 25, 5, 30, 5 * 5},
      // At the mask store's left edge, the layer lower than it is to the right.
      {0, 3, -2, 0, 0, 10, 5, 15, 5 * 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.layerX << "," << c.layerY << " " << c.maskX << "," << c.maskY);
    FillFixture f;
    f.Select(c.left, c.top, c.right, c.bottom);
    CMaskData& mask = *f.Masks().GetActiveMask();
    ASSERT_EQ(mask.Store()->Size(), (SSize{40, 30}));
    mask.offsetX = c.maskX;  // canvas x = mask x - offset x
    mask.offsetY = c.maskY;
    f.Layer().offsetX = c.layerX;  // layer x = canvas x + offset
    f.Layer().offsetY = c.layerY;
    const Pixels before = Read(f.Layer());
    const int32_t steps = f.Steps();
    ASSERT_TRUE(f.Paper().ClearSelection(f.Flow(), 1, 0x00FF00u, true));
    int32_t selected = 0;
    for (int32_t y = 0; y < 30; ++y)
      for (int32_t x = 0; x < 40; ++x) {
        const int32_t cx = x - c.layerX, cy = y - c.layerY;  // the canvas point
        const int32_t mx = cx + c.maskX, my = cy + c.maskY;  // the mask store point
        const bool inside = mx >= c.left && mx < c.right && my >= c.top && my < c.bottom;
        selected += inside;
        const uint32_t was = before.values[static_cast<size_t>(y) * 40 + x];
        ASSERT_EQ(f.Layer().Store()->GetPixel(x, y), inside ? 0x0000FF00u : was) << x << "," << y;
      }
    EXPECT_EQ(selected, c.selected);
    f.ExpectUndoRedoExact(before, steps);
  }
}

TEST(FillCommands, OlderRecordingsFillTheWholeLayerWithAColour) {
  FillFixture f;
  const int32_t steps = f.Steps();
  ASSERT_TRUE(f.Paper().FillLayerColor(f.Flow(), 1, 0x0000FFu));  // window order: red
  for (uint32_t v : Read(f.Layer()).values) ASSERT_EQ(v, 0xFFFF0000u);
  f.stroke.SetKeepAlpha(true, false);
  f.Layer().Store()->SetPixel(3, 3, 0x40000000u);
  ASSERT_TRUE(f.Paper().FillLayerColor(f.Flow(), 1, 0x00FF00u));
  EXPECT_EQ(f.Layer().Store()->GetPixel(3, 3), 0x4000FF00u);  // alpha kept
  EXPECT_EQ(f.Steps(), steps);                                // never recorded
  EXPECT_FALSE(f.Paper().FillLayerColor(f.Flow(), 9, 0));
}

// ---------------------------------------------------------------------------------------------
// Magic wand and bucket fill

TEST(FillCommands, MagicWandSelectsTheConnectedAreaAndUndoesExactly) {
  FillFixture f;
  const std::vector<uint8_t> maskBefore = f.MaskBytes();
  const int32_t steps = f.Steps();
  ASSERT_TRUE(f.Paper().MagicWand(f.Flow(), 1, true, false, 0, TPoint{12, 10}));
  const std::vector<uint8_t> mask = f.MaskBytes();
  for (int32_t y = 0; y < 30; ++y)
    for (int32_t x = 0; x < 40; ++x)
      ASSERT_EQ(mask[static_cast<size_t>(y * 40 + x)], (x >= 10 && x < 20 && y >= 8 && y < 18) ? 255 : 0)
          << x << "," << y;
  EXPECT_EQ(f.LastCommand().cls, 13);
  EXPECT_EQ(f.LastCommand().code, 3);
  EXPECT_EQ(f.Paper().selectionEnabled, 1);
  EXPECT_EQ(f.Flow()->WorkChannel().GetPixel(12, 10), 0);  // the channel is scratch again
  ASSERT_TRUE(f.Undo());
  EXPECT_EQ(f.MaskBytes(), maskBefore);
  EXPECT_EQ(f.Steps(), steps);
  ASSERT_TRUE(f.Redo());
  EXPECT_EQ(f.MaskBytes(), mask);
  // A seed outside the canvas selects nothing and records nothing.
  EXPECT_FALSE(f.Paper().MagicWand(f.Flow(), 1, true, false, 0, TPoint{-3, 4}));
  EXPECT_FALSE(f.Paper().MagicWand(f.Flow(), 1, true, false, 9, TPoint{3, 4}));
  EXPECT_EQ(f.Steps(), steps + 1);
}

TEST(FillCommands, BucketFillPaintsTheAreaRecordsTheChannelAndUndoes) {
  FillFixture f;
  const Pixels before = Read(f.Layer());
  const int32_t steps = f.Steps();
  ASSERT_TRUE(f.Paper().BucketFill(f.Flow(), 1, true, false, false, TPoint{12, 10}));
  EXPECT_EQ(f.Layer().Store()->GetPixel(12, 10), kBucketColour);
  EXPECT_EQ(f.Layer().Store()->GetPixel(19, 17), kBucketColour);
  EXPECT_EQ(f.Layer().Store()->GetPixel(9, 10), 0xFFFFFFFFu);
  EXPECT_EQ(f.LastCommand().cls, 13);
  EXPECT_EQ(f.LastCommand().code, 0);
  f.ExpectUndoRedoExact(before, steps);
}

TEST(FillCommands, BucketFillStopsAtTheSelection) {
  FillFixture f;
  f.Select(0, 0, 15, 30);
  ASSERT_TRUE(f.Paper().BucketFill(f.Flow(), 1, true, false, false, TPoint{12, 10}));
  EXPECT_EQ(f.Layer().Store()->GetPixel(14, 10), kBucketColour);
  EXPECT_EQ(f.Layer().Store()->GetPixel(15, 10), 0xFF101010u);
}

TEST(FillCommands, MagicEraserClearsTheArea) {
  FillFixture f;
  ASSERT_TRUE(f.Paper().BucketFill(f.Flow(), 1, true, true, false, TPoint{12, 10}));
  EXPECT_EQ(f.Layer().Store()->GetPixel(12, 10) >> 24, 0u);
  EXPECT_EQ(f.LastCommand().code, 4);
}

// The composed picture's bounds were the layer's store rectangle instead of the canvas inside
// the union of the stores: with a store offset against the canvas the fill landed elsewhere.
TEST(FillCommands, CompositeTargetFillsTheCanvasAreaOfAnOffsetStore) {
  FillFixture f;
  f.scope.host.settings.fillTarget = true;
  // A second layer whose store starts 20 pixels left of the canvas: the union of the stores
  // (60 wide) is wider than the largest store (50).
  ASSERT_TRUE(f.Paper().AddLayer(f.Flow(), 2, false, true, 255, 0, 30, 50));
  CLayerData& top = f.Layer(2);
  top.offsetX = 20;
  top.Store()->FillAll(0x00FFFFFFu);
  const Pixels before = Read(f.Layer(1));
  const int32_t steps = f.Steps();
  // The dark square as seen from layer 1 (store = canvas).
  ASSERT_TRUE(f.Paper().SetActiveLayer(f.Flow(), 1));
  ASSERT_TRUE(f.Paper().BucketFill(f.Flow(), 1, true, false, false, TPoint{12, 10}));
  // The union (-20..40) is larger than layer 1's store: it grows to cover it.
  EXPECT_EQ(f.LastCommand().code, 2);
  CLayerData& grown = f.Layer(1);
  EXPECT_EQ(grown.StoreWidth(), 60);
  EXPECT_EQ(grown.offsetX, 20);
  EXPECT_EQ(grown.Store()->GetPixel(12 + 20, 10), kBucketColour);
  EXPECT_EQ(grown.Store()->GetPixel(9 + 20, 10), 0xFFFFFFFFu);
  EXPECT_EQ(grown.Store()->GetPixel(19 + 20, 17), kBucketColour);
  ASSERT_TRUE(f.Undo());
  EXPECT_EQ(Read(f.Layer(1)), before);
  EXPECT_EQ(f.Steps(), steps);
}

// A grown fill whose area is wider or taller than the working channel is refused: the channel
// could not hold what it claims.
TEST(FillCommands, GrownFillLargerThanTheWorkingChannelIsRefused) {
  FillFixture f;
  TChannel& channel = f.Flow()->WorkChannel();
  ASSERT_EQ(channel.Size(), (SSize{40, 30}));
  *channel.GetPixelPtr(12, 9) = 255;
  const int32_t steps = f.Steps();
  for (const TPoint size : {TPoint{41, 30}, TPoint{40, 31}, TPoint{64, 30}, TPoint{40, 64}}) {
    SCOPED_TRACE(::testing::Message() << size.x << "x" << size.y);
    EXPECT_FALSE(f.Paper().PaintFillChannelGrow(f.Flow(), 1, true, false, false, size, TPoint{0, 0}, TPoint{12, 9}));
    EXPECT_EQ(f.Steps(), steps);
    EXPECT_EQ(f.Layer().StoreWidth(), 40);
    EXPECT_EQ(f.Layer().StoreHeight(), 30);
  }
  // The channel's own size is taken.
  EXPECT_TRUE(f.Paper().PaintFillChannelGrow(f.Flow(), 1, true, false, false, TPoint{40, 30}, TPoint{0, 0},
                                             TPoint{12, 9}));
  EXPECT_EQ(f.Steps(), steps + 1);
}

TEST(FillCommands, OverflowWarnsAndStillFillsThePartFound) {
  FillFixture f;
  // A comb over a wide layer: more run starts than the queue holds.
  ASSERT_TRUE(f.Paper().SetCanvasSize(f.Flow(), 20000, 4));
  ASSERT_TRUE(f.Paper().AddLayer(f.Flow(), 2, false, true, 255, 0, 4, 20000));
  CLayerData& comb = f.Layer(2);
  comb.offsetX = 0;
  comb.offsetY = 0;
  comb.Store()->FillAll(0xFFFFFFFFu);
  for (int32_t x = 0; x < 20000; ++x) comb.Store()->SetPixel(x, 0, 0xFF000000u);
  for (int32_t y = 1; y < 4; ++y)
    for (int32_t x = 0; x < 20000; x += 2) comb.Store()->SetPixel(x, y, 0xFF000000u);
  ASSERT_TRUE(f.Paper().BucketFill(f.Flow(), 2, true, false, false, TPoint{0, 0}));
  ASSERT_EQ(f.scope.warnings.Texts().size(), 1u);
  EXPECT_EQ(f.scope.warnings.Texts()[0], kSeedFillTooComplexText);
  EXPECT_EQ(comb.Store()->GetPixel(5000, 0), kBucketColour);
  EXPECT_EQ(comb.Store()->GetPixel(19998, 3), 0xFF000000u);
}

}  // namespace
}  // namespace tf
