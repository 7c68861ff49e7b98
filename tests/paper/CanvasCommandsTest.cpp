// The canvas commands against independent references: the quarter turn, the canvas size with its
// anchors, the trim and the resolution change; their undo and redo; their refusals and the
// failures part-way through.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "document/BlendMode.h"
#include "document/LayerMngr.h"
#include "document/Mask.h"
#include "paper/CanvasLayers.h"
#include "paper/PaperTestSupport.h"
#include "paper/UndoMngrEx.h"
#include "platform/AddressSpace.h"
#include "platform/Confirm.h"
#include "platform/Progress.h"
#include "raster/BlockVCH.h"
#include "raster/BlockVMTC.h"
#include "support/TestRng.h"

namespace tf {
namespace {

using test::PaperTestScope;
using test::ReadPackets;
using test::StreamPacket;

// A pixel that tells its place: x in the red and green bytes, y in the blue byte, opaque.
uint32_t Marked(int32_t x, int32_t y, int32_t layer) {
  return 0xFF000000u | (static_cast<uint32_t>(x & 0xFFF) << 12) | (static_cast<uint32_t>(y & 0xFF)) |
         (static_cast<uint32_t>(layer & 0xF) << 8);
}

struct LayerState {
  int32_t width = 0, height = 0, offsetX = 0, offsetY = 0, canvasWidth = 0, canvasHeight = 0;
  std::vector<uint32_t> pixels;
  bool operator==(const LayerState&) const = default;
};

struct DocState {
  int32_t width = 0, height = 0;
  std::vector<LayerState> layers;
  std::vector<TPoint> maskOffsets;
  int32_t active = -1;
  bool operator==(const DocState&) const = default;
};

LayerState ReadLayer(const CLayerData& layer) {
  LayerState s{layer.StoreWidth(),
               layer.StoreHeight(),
               layer.offsetX,
               layer.offsetY,
               layer.canvasWidth,
               layer.canvasHeight,
               {}};
  for (int32_t y = 0; y < s.height; ++y)
    for (int32_t x = 0; x < s.width; ++x) s.pixels.push_back(layer.Store()->GetPixel(x, y));
  return s;
}

DocState ReadDoc(TPaper& paper) {
  DocState d{paper.canvasWidth, paper.canvasHeight, {}, {}, paper.GetActiveLayerIndex()};
  for (int32_t i = 0; i < paper.GetLayerCount(); ++i) d.layers.push_back(ReadLayer(*paper.GetLayer(i)));
  if (CMaskMngr* masks = paper.MaskMngr())
    for (int32_t i = 0; i < masks->GetCount(); ++i)
      d.maskOffsets.push_back(TPoint{masks->GetMask(i)->offsetX, masks->GetMask(i)->offsetY});
  return d;
}

// The layer's pixel at a canvas point (the default fill outside its store).
uint32_t AtCanvas(const LayerState& s, int32_t x, int32_t y) {
  const int32_t sx = x + s.offsetX;
  const int32_t sy = y + s.offsetY;
  if (sx < 0 || sy < 0 || sx >= s.width || sy >= s.height) return CBlockVMTC::kDefaultFill;
  return s.pixels[static_cast<size_t>(sy * s.width + sx)];
}

// A recording document of w x h with undo: layer 0 the opaque background, layer 1 a store larger
// than the canvas at an offset, layer 2 a canvas-size store with a marked rectangle; one mask.
struct CanvasFixture {
  CanvasFixture(int32_t w, int32_t h, bool withMask = true) {
    scope.host.settings.undoMax = 16;
    window = std::make_unique<HeadlessDocumentWindow>();
    EXPECT_TRUE(Paper().NewDocument("t", Flow(), false, false, 72, h, w));
    EXPECT_TRUE(Paper().AddLayer(Flow(), 1, false, true, 255, 0, h + 23, w + 37));
    EXPECT_TRUE(Paper().AddLayer(Flow(), 2, false, true, 200, 0, h, w));
    CLayerData& big = *Paper().GetLayer(1);
    big.offsetX = 11;
    big.offsetY = 7;
    for (int32_t y = 0; y < big.StoreHeight(); y += 1)
      for (int32_t x = (y * 3) % 5; x < big.StoreWidth(); x += 3) big.Store()->SetPixel(x, y, Marked(x, y, 1));
    CLayerData& top = *Paper().GetLayer(2);
    for (int32_t y = 2; y < h / 2; ++y)
      for (int32_t x = 1; x < w / 3; ++x) top.Store()->SetPixel(x, y, Marked(x, y, 2));
    for (int32_t i = 0; i < 3; ++i) Paper().GetLayer(i)->Store()->UpdateContentRects();
    if (withMask) {
      CMaskMngr* masks = Paper().MaskMngr();
      CMaskData* mask = masks->GetMask(0);
      EXPECT_TRUE(mask->createMask(w, h));
      for (int32_t y = 3; y < h / 2; ++y)
        for (int32_t x = 5; x < w / 2; ++x) mask->Store()->SetPixel(x, y, static_cast<uint8_t>(x + y));
      mask->offsetX = 2;
      mask->offsetY = 1;
    }
    Paper().SetActiveLayer(Flow(), 2);
  }
  TPaper& Paper() { return window->Paper(); }
  TFlowImage* Flow() { return &window->Flow(); }
  bool Undo() {
    SRectWH rect{};
    return Paper().Undo(Flow(), Paper().GetActiveLayerIndex(), rect);
  }
  bool Redo() {
    SRectWH rect{};
    return Paper().Redo(Flow(), Paper().GetActiveLayerIndex(), rect);
  }
  std::vector<StreamPacket> Packets() { return ReadPackets(*Paper().EventMngr()); }
  StreamPacket Last() { return Packets().back(); }
  size_t PacketCount() { return Packets().size(); }

  PaperTestScope scope;
  std::unique_ptr<HeadlessDocumentWindow> window;
};

// Every layer of after, at new canvas point (x, y), equals the layer of before at map(x, y); the
// points run over a margin around the new canvas so that content outside the canvas counts too.
template <class Map>
void ExpectMapped(const DocState& before, const DocState& after, int32_t margin, Map map) {
  ASSERT_EQ(before.layers.size(), after.layers.size());
  for (size_t i = 0; i < after.layers.size(); ++i) {
    for (int32_t y = -margin; y < after.height + margin; ++y) {
      for (int32_t x = -margin; x < after.width + margin; ++x) {
        const TPoint p = map(x, y);
        ASSERT_EQ(AtCanvas(after.layers[i], x, y), AtCanvas(before.layers[i], p.x, p.y))
            << "layer " << i << " at " << x << "," << y;
      }
    }
  }
}

// Every store covers its canvas.
void ExpectCovered(const DocState& d) {
  for (const LayerState& s : d.layers) {
    EXPECT_EQ(s.canvasWidth, d.width);
    EXPECT_EQ(s.canvasHeight, d.height);
    EXPECT_GE(s.offsetX, 0);
    EXPECT_GE(s.offsetY, 0);
    EXPECT_LE(s.offsetX + d.width, s.width);
    EXPECT_LE(s.offsetY + d.height, s.height);
  }
}

// ---------------------------------------------------------------------------------------------
// Anchors

TEST(CanvasCommands, AnchorOffsetNumbersColumnsThenRows) {
  const SSize a{120, 110};
  const SSize b{100, 100};
  EXPECT_EQ(AnchorOffset(a, b, 0), (TPoint{0, 0}));
  EXPECT_EQ(AnchorOffset(a, b, 1), (TPoint{0, 5}));  // left, middle
  EXPECT_EQ(AnchorOffset(a, b, 2), (TPoint{0, 10}));
  EXPECT_EQ(AnchorOffset(a, b, 3), (TPoint{10, 0}));  // centre, top
  EXPECT_EQ(AnchorOffset(a, b, 4), (TPoint{10, 5}));
  EXPECT_EQ(AnchorOffset(a, b, 8), (TPoint{20, 10}));
  EXPECT_EQ(AnchorOffset(a, b, 9), (TPoint{0, 0}));  // any other value acts as 0
  // The centre divides toward zero.
  EXPECT_EQ(AnchorOffset(SSize{103, 97}, b, 4), (TPoint{1, -1}));
}

// ---------------------------------------------------------------------------------------------
// The turn

TEST(CanvasCommands, TurnMapsEveryLayerAndKeepsContentOutsideTheCanvas) {
  for (const bool clockwise : {true, false}) {
    SCOPED_TRACE(clockwise);
    CanvasFixture f(100, 60);
    const DocState before = ReadDoc(f.Paper());
    ASSERT_TRUE(f.Paper().RotateCanvas90(f.Flow(), clockwise, true));
    const DocState after = ReadDoc(f.Paper());
    EXPECT_EQ(after.width, 60);
    EXPECT_EQ(after.height, 100);
    EXPECT_EQ(f.Last().cls, 2);
    EXPECT_EQ(f.Last().code, clockwise ? 4 : 5);
    ExpectCovered(after);
    ExpectMapped(before, after, 40, [&](int32_t x, int32_t y) {
      return clockwise ? TPoint{y, 60 - 1 - x} : TPoint{100 - 1 - y, x};
    });
  }
}

TEST(CanvasCommands, StoreTurnMatchesAPixelByPixelReference) {
  struct Size {
    int32_t width, height;
  };
  for (const Size size : {Size{64, 96}, Size{70, 33}, Size{32, 32}, Size{1, 45}, Size{128, 64}}) {
    for (const bool clockwise : {true, false}) {
      SCOPED_TRACE(std::to_string(size.width) + "x" + std::to_string(size.height) + (clockwise ? " cw" : " ccw"));
      CBlockVMTC source(size.width, size.height);
      source.FillAll(0x00123456u);
      test::XorShiftRng rng(static_cast<uint64_t>(size.width * 131 + size.height));
      // Some tiles full, some partly written, the rest left as their fill.
      for (int32_t y = 0; y < size.height; ++y)
        for (int32_t x = 0; x < size.width; ++x)
          if (((x >> 5) + (y >> 5)) % 3 != 2 && (x + y) % 7 != 0) source.SetPixel(x, y, rng.Next());
      CBlockVMTC turned(size.height, size.width);
      ASSERT_TRUE(TurnStoreInto(source, turned, clockwise));
      for (int32_t y = 0; y < size.width; ++y)
        for (int32_t x = 0; x < size.height; ++x)
          ASSERT_EQ(turned.GetPixel(x, y),
                    clockwise ? source.GetPixel(y, size.height - 1 - x) : source.GetPixel(size.width - 1 - y, x))
              << x << "," << y;
    }
  }
}

TEST(CanvasCommands, TurningTwiceAndUndoingTwiceGivesTheFirstDocumentBack) {
  CanvasFixture f(100, 60);
  const DocState first = ReadDoc(f.Paper());
  ASSERT_TRUE(f.Paper().RotateCanvas90(f.Flow(), true, true));
  const DocState once = ReadDoc(f.Paper());
  ASSERT_TRUE(f.Paper().RotateCanvas90(f.Flow(), true, true));
  const DocState twice = ReadDoc(f.Paper());
  ASSERT_TRUE(f.Undo());
  EXPECT_EQ(ReadDoc(f.Paper()), once);
  ASSERT_TRUE(f.Undo());
  EXPECT_EQ(ReadDoc(f.Paper()), first);
  ASSERT_TRUE(f.Redo());
  EXPECT_EQ(ReadDoc(f.Paper()), once);
  ASSERT_TRUE(f.Redo());
  EXPECT_EQ(ReadDoc(f.Paper()), twice);
}

TEST(CanvasCommands, TurnRefusedPartWayChangesNothing) {
  CanvasFixture f(200, 120, false);
  // Fill the top layer so that its turned store needs many tiles; the budget lets the first
  // layers through and refuses a commit in the last one.
  CLayerData& top = *f.Paper().GetLayer(2);
  for (int32_t y = 0; y < 120; ++y)
    for (int32_t x = 0; x < 200; ++x) top.Store()->SetPixel(x, y, Marked(x, y, 3));
  const DocState before = ReadDoc(f.Paper());
  const size_t packets = f.PacketCount();
  SetCommitBudget(CommittedBytesTotal() + 40 * 4096);
  EXPECT_FALSE(f.Paper().RotateCanvas90(f.Flow(), true, true));
  ResetAddressSpaceSettings();
  EXPECT_EQ(ReadDoc(f.Paper()), before);
  EXPECT_EQ(f.PacketCount(), packets);
  ASSERT_FALSE(f.scope.warnings.Texts().empty());
  EXPECT_NE(f.scope.warnings.Texts().back().find("回転"), std::string::npos);
  // With memory the same turn goes through.
  EXPECT_TRUE(f.Paper().RotateCanvas90(f.Flow(), true, true));
}

// ---------------------------------------------------------------------------------------------
// Canvas size

TEST(CanvasCommands, ResizeAnchorsPlaceTheOldCanvasAndMoveTheMasks) {
  struct Case {
    uint8_t anchor;
    int32_t width, height;
    TPoint d;
  };
  const Case cases[] = {{0, 130, 90, {0, 0}},    {1, 130, 90, {0, 15}}, {3, 130, 90, {15, 0}},
                        {8, 120, 110, {20, 50}}, {4, 103, 57, {1, -1}}, {8, 70, 40, {-30, -20}},
                        {1, 100, 61, {0, 0}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.anchor));
    SCOPED_TRACE(c.width);
    CanvasFixture f(100, 60);
    const DocState before = ReadDoc(f.Paper());
    ASSERT_TRUE(f.Paper().ResizeCanvas(f.Flow(), c.width, true, true, c.anchor, c.height));
    const DocState after = ReadDoc(f.Paper());
    EXPECT_EQ(after.width, c.width);
    EXPECT_EQ(after.height, c.height);
    ExpectCovered(after);
    ExpectMapped(before, after, 45, [&](int32_t x, int32_t y) { return TPoint{x - c.d.x, y - c.d.y}; });
    EXPECT_EQ(after.maskOffsets[0], (TPoint{2 - c.d.x, 1 - c.d.y}));
    const StreamPacket last = f.Last();
    EXPECT_EQ(last.cls, 2);
    EXPECT_EQ(last.code, 2);
    std::vector<uint8_t> payload{c.anchor, 1};
    test::AppendI32(payload, c.width);
    test::AppendI32(payload, c.height);
    EXPECT_EQ(last.payload, payload);
    // Undo and redo exchange the stacks exactly.
    ASSERT_TRUE(f.Undo());
    EXPECT_EQ(ReadDoc(f.Paper()), before);
    ASSERT_TRUE(f.Redo());
    EXPECT_EQ(ReadDoc(f.Paper()), after);
  }
}

TEST(CanvasCommands, ResizeInPlaceGivesTheSamePictureAndClearsTheUndo) {
  CanvasFixture a(100, 60);
  CanvasFixture b(100, 60);
  // Something to undo in b.
  ASSERT_TRUE(b.Paper().SetLayerOpacity(2, 10, true));
  ASSERT_TRUE(b.Paper().SetLayerOpacity(2, 200, true));
  ASSERT_TRUE(b.Paper().CanUndo(2));
  ASSERT_TRUE(a.Paper().ResizeCanvas(a.Flow(), 131, true, true, 5, 47));
  ASSERT_TRUE(b.Paper().ResizeCanvas(b.Flow(), 131, false, true, 5, 47));  // no undo: in place
  EXPECT_EQ(ReadDoc(a.Paper()), ReadDoc(b.Paper()));
  EXPECT_TRUE(a.Paper().CanUndo(2));
  EXPECT_FALSE(b.Paper().CanUndo(2));
}

TEST(CanvasCommands, ResizeWithoutMemoryForTheUndoAsksAndCancelChangesNothing) {
  CanvasFixture f(100, 60);
  ScriptedConfirmHost confirm;
  ConfirmHost* previous = SetConfirmHost(&confirm);
  const DocState before = ReadDoc(f.Paper());
  const size_t packets = f.PacketCount();
  // The new stack cannot be built: no commit at all.
  RefuseNextCommits(1000000);
  confirm.Script({kResultCancel});
  EXPECT_FALSE(f.Paper().ResizeCanvas(f.Flow(), 150, true, true, 0, 80));
  ResetAddressSpaceSettings();
  ASSERT_EQ(confirm.Questions().size(), 1u);
  EXPECT_EQ(confirm.Questions()[0].buttons, kButtonsOkCancel);
  EXPECT_NE(confirm.Questions()[0].text.find("アンドゥ"), std::string::npos);
  EXPECT_EQ(ReadDoc(f.Paper()), before);
  EXPECT_EQ(f.PacketCount(), packets);
  SetConfirmHost(previous);
}

TEST(CanvasCommands, ResizeInPlaceRefusedAtALaterLayerLeavesTheDocumentAsItWas) {
  CanvasFixture f(100, 60, false);
  // Layer 2 gets content in every tile so that its move (by an offset that is no multiple of the
  // tile) needs more tiles than the budget leaves after layers 0 and 1.
  CLayerData& top = *f.Paper().GetLayer(2);
  for (int32_t y = 0; y < 60; ++y)
    for (int32_t x = 0; x < 100; ++x) top.Store()->SetPixel(x, y, Marked(x, y, 2) ^ static_cast<uint32_t>(x * y));
  const DocState before = ReadDoc(f.Paper());
  const size_t packets = f.PacketCount();
  SetCommitBudget(CommittedBytesTotal() + 6 * 4096);
  EXPECT_FALSE(f.Paper().ResizeCanvas(f.Flow(), 117, false, true, 4, 75));
  ResetAddressSpaceSettings();
  EXPECT_TRUE(f.scope.DebugSaid("could not be re-created"));
  EXPECT_EQ(ReadDoc(f.Paper()), before);
  EXPECT_EQ(f.PacketCount(), packets);
  EXPECT_TRUE(f.Paper().ResizeCanvas(f.Flow(), 117, false, true, 4, 75));
}

TEST(CanvasCommands, InPlaceFailureAtAnyLayerPutsTheDocumentBack) {
  CanvasFixture f(100, 60, false);
  const DocState before = ReadDoc(f.Paper());
  // Budgets growing a tile at a time: each refusal falls in a later layer, until one suffices.
  bool sawLaterLayer = false;
  for (uint64_t tiles = 0; tiles < 200; ++tiles) {
    SCOPED_TRACE(tiles);
    f.scope.debugLines.clear();
    SetCommitBudget(CommittedBytesTotal() + tiles * 4096 + 1);
    const bool done = f.Paper().ResizeCanvasInPlace(f.Flow(), 113, 71, TPoint{7, 5});
    ResetAddressSpaceSettings();
    if (done) {
      ExpectMapped(before, ReadDoc(f.Paper()), 10, [](int32_t x, int32_t y) { return TPoint{x - 7, y - 5}; });
      break;
    }
    sawLaterLayer = sawLaterLayer || f.scope.DebugSaid("layer 1 ") || f.scope.DebugSaid("layer 2 ");
    ASSERT_EQ(ReadDoc(f.Paper()), before);
  }
  EXPECT_TRUE(sawLaterLayer);
}

TEST(CanvasCommands, RefusedCanvasSizesChangeAndRecordNothing) {
  CanvasFixture f(100, 60);
  const DocState before = ReadDoc(f.Paper());
  const size_t packets = f.PacketCount();
  EXPECT_FALSE(f.Paper().ResizeCanvas(f.Flow(), 0, true, true, 0, 10));
  EXPECT_FALSE(f.Paper().ResizeCanvas(f.Flow(), 10, true, true, 0, 10001));
  EXPECT_FALSE(f.Paper().ResizeCanvas(f.Flow(), -5, true, true, 0, 10));
  EXPECT_FALSE(f.Paper().ResizeCanvas(f.Flow(), INT32_MIN, false, true, 8, INT32_MIN));
  EXPECT_FALSE(f.Paper().TrimCanvas(f.Flow(), 0, true, true, SRectWH{0, 0, 0, 10}));
  EXPECT_FALSE(f.Paper().TrimCanvas(f.Flow(), 0, true, true, SRectWH{0, 0, 10001, 10}));
  EXPECT_FALSE(f.Paper().TrimCanvas(f.Flow(), 0, true, false, SRectWH{INT32_MIN, 0, 10, 10}));
  EXPECT_FALSE(f.Paper().ChangeResolution(f.Flow(), 0, true, true, 10));
  EXPECT_FALSE(f.Paper().ChangeResolutionSampled(f.Flow(), 20000, false, true, 10));
  EXPECT_FALSE(f.Paper().ResampleCanvas(f.Flow(), 10, 10, true, true, 3));
  EXPECT_EQ(ReadDoc(f.Paper()), before);
  EXPECT_EQ(f.PacketCount(), packets);
}

// ---------------------------------------------------------------------------------------------
// Trim

TEST(CanvasCommands, TrimCutsEveryStoreToTheRectangleAndUndoes) {
  CanvasFixture f(100, 60);
  const DocState before = ReadDoc(f.Paper());
  const SRectWH r{10, 20, 50, 40};
  ASSERT_TRUE(f.Paper().TrimCanvas(f.Flow(), 2, true, true, r));
  const DocState after = ReadDoc(f.Paper());
  EXPECT_EQ(after.width, 50);
  EXPECT_EQ(after.height, 40);
  for (const LayerState& s : after.layers) {
    EXPECT_EQ(s.width, 50);
    EXPECT_EQ(s.height, 40);
    EXPECT_EQ(s.offsetX, 0);
    EXPECT_EQ(s.offsetY, 0);
  }
  ExpectMapped(before, after, 0, [](int32_t x, int32_t y) { return TPoint{x + 10, y + 20}; });
  EXPECT_EQ(after.maskOffsets[0], (TPoint{12, 21}));
  EXPECT_EQ(f.Last().code, 11);
  ASSERT_TRUE(f.Undo());
  EXPECT_EQ(ReadDoc(f.Paper()), before);
  ASSERT_TRUE(f.Redo());
  EXPECT_EQ(ReadDoc(f.Paper()), after);
}

TEST(CanvasCommands, TrimWithoutMemoryShowsItsMessageAndChangesNothing) {
  CanvasFixture f(100, 60);
  const DocState before = ReadDoc(f.Paper());
  const size_t packets = f.PacketCount();
  RefuseNextCommits(1000000);
  EXPECT_FALSE(f.Paper().TrimCanvas(f.Flow(), 2, true, true, SRectWH{3, 4, 60, 30}));
  ResetAddressSpaceSettings();
  EXPECT_EQ(ReadDoc(f.Paper()), before);
  EXPECT_EQ(f.PacketCount(), packets);
  ASSERT_FALSE(f.scope.warnings.Texts().empty());
  EXPECT_NE(f.scope.warnings.Texts().back().find("切り抜き"), std::string::npos);
}

// ---------------------------------------------------------------------------------------------
// Resolution

TEST(CanvasCommands, HalvingTheResolutionScalesStoresAndOffsets) {
  CanvasFixture f(200, 100);
  CLayerData& layer = *f.Paper().GetLayer(1);
  std::unique_ptr<CBlockVMTC> store = std::make_unique<CBlockVMTC>(256, 128);
  test::XorShiftRng rng(7);
  for (int32_t y = 0; y < 128; ++y)
    for (int32_t x = 0; x < 256; ++x) store->SetPixel(x, y, static_cast<uint32_t>(rng.Next()) | 0xFF000000u);
  layer.SwapStore(std::move(store));
  layer.offsetX = 28;
  layer.offsetY = 14;
  const LayerState source = ReadLayer(layer);
  ASSERT_TRUE(f.Paper().ChangeResolution(f.Flow(), 100, true, true, 50));
  EXPECT_EQ(f.Last().code, 9);
  const LayerState half = ReadLayer(*f.Paper().GetLayer(1));
  EXPECT_EQ(half.width, 128);
  EXPECT_EQ(half.height, 64);
  EXPECT_EQ(half.offsetX, 14);
  EXPECT_EQ(half.offsetY, 7);
  // Against a plain 2x2 box average, per channel within 1.
  for (int32_t y = 0; y < 64; ++y) {
    for (int32_t x = 0; x < 128; ++x) {
      const uint32_t got = half.pixels[static_cast<size_t>(y * 128 + x)];
      for (int32_t c = 0; c < 32; c += 8) {
        int32_t sum = 0;
        for (int32_t j = 0; j < 2; ++j)
          for (int32_t i = 0; i < 2; ++i)
            sum += static_cast<int32_t>((source.pixels[static_cast<size_t>((2 * y + j) * 256 + 2 * x + i)] >> c) &
                                        0xFF);
        const int32_t want = (sum + 2) / 4;
        ASSERT_LE(std::abs(static_cast<int32_t>((got >> c) & 0xFF) - want), 1) << x << "," << y << " c" << c;
      }
    }
  }
  ExpectCovered(ReadDoc(f.Paper()));
}

TEST(CanvasCommands, ResolutionChangesRecordUndoAndRedoBothManagers) {
  for (const int32_t method : {1, 2}) {
    SCOPED_TRACE(method);
    CanvasFixture f(100, 60);
    const DocState before = ReadDoc(f.Paper());
    const CMaskData* mask = f.Paper().MaskMngr()->GetMask(0);
    const int32_t maskWidth = mask->Store()->Width();
    ASSERT_TRUE(f.Paper().ResampleCanvas(f.Flow(), 150, 90, true, true, method));
    EXPECT_EQ(f.Last().code, method == 1 ? 3 : 9);
    const DocState after = ReadDoc(f.Paper());
    EXPECT_EQ(after.width, 150);
    ExpectCovered(after);
    EXPECT_EQ(f.Paper().MaskMngr()->GetMask(0)->Store()->Width(), maskWidth * 3 / 2);
    ASSERT_TRUE(f.Undo());
    EXPECT_EQ(ReadDoc(f.Paper()), before);
    EXPECT_EQ(f.Paper().MaskMngr()->GetMask(0)->Store()->Width(), maskWidth);
    ASSERT_TRUE(f.Redo());
    EXPECT_EQ(ReadDoc(f.Paper()), after);
  }
}

// A mask scaled down to no pixel on a side once failed the whole mask pass: with undo the
// command asked the out-of-memory question, without it that mask and every later one kept the
// old size while the command answered success. Such a mask has no store; the others scale
// (canvas 20 x 10 to 5 x 10: masks of 3 x 3, 20 x 10 and 12 x 10).
TEST(CanvasCommands, ResolutionChangeWithAMaskThatVanishesScalesTheOthers) {
  for (const int32_t method : {1, 2}) {
    for (const bool withUndo : {true, false}) {
      SCOPED_TRACE(::testing::Message() << "method " << method << (withUndo ? " with undo" : " without"));
      CanvasFixture f(20, 10, false);
      CMaskMngr& masks = *f.Paper().MaskMngr();
      ASSERT_TRUE(masks.GetMask(0)->createMask(3, 3));
      SRectWH all{0, 0, 3, 3};
      masks.GetMask(0)->Store()->FillRect(all, 200);
      std::unique_ptr<CMaskData> second = CMaskData::Create(1, 20, 10);
      ASSERT_NE(second, nullptr);
      // Stripes four pixels wide: each becomes one column of the 5-pixel-wide result.
      const uint8_t stripes[5] = {10, 80, 160, 250, 40};
      for (int32_t y = 0; y < 10; ++y)
        for (int32_t x = 0; x < 20; ++x) second->Store()->SetPixel(x, y, stripes[x / 4]);
      second->offsetX = 8;
      ASSERT_GE(masks.InsertMask(1, second), 0);
      std::unique_ptr<CMaskData> third = CMaskData::Create(2, 12, 10);
      ASSERT_NE(third, nullptr);
      SRectWH half{0, 0, 12, 10};
      third->Store()->FillRect(half, 255);
      ASSERT_GE(masks.InsertMask(2, third), 0);
      ASSERT_EQ(masks.GetCount(), 3);

      const bool done = method == 1 ? f.Paper().ChangeResolutionSampled(f.Flow(), 5, withUndo, true, 10)
                                    : f.Paper().ChangeResolution(f.Flow(), 5, withUndo, true, 10);
      ASSERT_TRUE(done);
      EXPECT_TRUE(f.scope.warnings.Texts().empty());
      EXPECT_EQ(f.Paper().canvasWidth, 5);
      CMaskMngr& now = *f.Paper().MaskMngr();
      ASSERT_EQ(now.GetCount(), 3);
      EXPECT_FALSE(now.GetMask(0)->IsAllocated());
      ASSERT_TRUE(now.GetMask(1)->IsAllocated());
      EXPECT_EQ(now.GetMask(1)->Store()->Size(), (SSize{5, 10}));
      EXPECT_EQ(now.GetMask(1)->offsetX, 2);
      for (int32_t y = 0; y < 10; ++y)
        for (int32_t x = 0; x < 5; ++x) ASSERT_EQ(now.GetMask(1)->Store()->GetPixel(x, y), stripes[x]) << x;
      ASSERT_TRUE(now.GetMask(2)->IsAllocated());
      EXPECT_EQ(now.GetMask(2)->Store()->Size(), (SSize{3, 10}));
      for (int32_t y = 0; y < 10; ++y)
        for (int32_t x = 0; x < 3; ++x) ASSERT_EQ(now.GetMask(2)->Store()->GetPixel(x, y), 255);
    }
  }
}

// Every canvas command marks the document modified: a turned canvas once closed without the
// save question. With and without undo, recorded and played.
TEST(CanvasCommands, EveryCanvasCommandMarksTheDocumentModified) {
  struct Case {
    const char* name;
    std::function<bool(CanvasFixture&)> run;
  } cases[] = {
      {"turn", [](CanvasFixture& f) { return f.Paper().RotateCanvas90(f.Flow(), true, true); }},
      {"turn played", [](CanvasFixture& f) { return f.Paper().RotateCanvas90(f.Flow(), false, false); }},
      {"canvas size", [](CanvasFixture& f) { return f.Paper().ResizeCanvas(f.Flow(), 70, true, true, 4, 50); }},
      {"canvas size played",
       [](CanvasFixture& f) { return f.Paper().ResizeCanvas(f.Flow(), 70, false, true, 4, 50); }},
      {"trim", [](CanvasFixture& f) { return f.Paper().TrimCanvas(f.Flow(), 1, true, true, SRectWH{3, 2, 30, 20}); }},
      {"resolution", [](CanvasFixture& f) { return f.Paper().ChangeResolution(f.Flow(), 30, true, true, 20); }},
      {"resolution sampled played",
       [](CanvasFixture& f) { return f.Paper().ChangeResolutionSampled(f.Flow(), 30, false, true, 20); }},
      {"older canvas size", [](CanvasFixture& f) { return f.Paper().ResizeCanvasOld(f.Flow(), 70, 4, 50); }},
      {"older image size", [](CanvasFixture& f) { return f.Paper().ResizeImageOld(f.Flow(), 70, 50); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CanvasFixture f(60, 40);
    f.window->modified = false;
    ASSERT_TRUE(c.run(f));
    EXPECT_TRUE(f.window->modified);
  }
}

TEST(CanvasCommands, ResolutionChangeShowsItsProgressPerLayer) {
  CanvasFixture f(100, 60);
  RecordingProgressHost progress;
  ProgressHost* previous = SetProgressHost(&progress);
  ASSERT_TRUE(f.Paper().ChangeResolution(f.Flow(), 50, true, true, 30));
  SetProgressHost(previous);
  EXPECT_EQ(progress.made, 1);
  const auto said = [&](const std::string& line) {
    return std::find(progress.log.begin(), progress.log.end(), line) != progress.log.end();
  };
  EXPECT_TRUE(said("message: 解像度を変更しています"));
  EXPECT_TRUE(said("percent: 100"));
  int32_t statuses = 0;
  for (const std::string& line : progress.log)
    if (line.rfind("status: ", 0) == 0 && line.find("を処理中...") != std::string::npos) ++statuses;
  EXPECT_EQ(statuses, 3);
}

TEST(CanvasCommands, OlderVersionsCanvasAndImageSizes) {
  CanvasFixture f(100, 60, false);
  const DocState before = ReadDoc(f.Paper());
  // The canvas: every layer exactly the new canvas, the old canvas part placed by the anchor,
  // content outside the old canvas dropped.
  ASSERT_TRUE(f.Paper().ResizeCanvasOld(f.Flow(), 120, 8, 70));
  const DocState after = ReadDoc(f.Paper());
  EXPECT_EQ(after.width, 120);
  for (size_t i = 0; i < after.layers.size(); ++i) {
    EXPECT_EQ(after.layers[i].width, 120);
    EXPECT_EQ(after.layers[i].offsetX, 0);
    for (int32_t y = 0; y < 70; ++y)
      for (int32_t x = 0; x < 120; ++x) {
        const int32_t ox = x - 20;
        const int32_t oy = y - 10;
        const bool inside = ox >= 0 && oy >= 0 && ox < 100 && oy < 60;
        ASSERT_EQ(AtCanvas(after.layers[i], x, y),
                  inside ? AtCanvas(before.layers[i], ox, oy) : GetBlendModeNeutralColor(0) & 0x00FFFFFFu)
            << i << ": " << x << "," << y;
      }
  }
  // The image: every store replaced by one of exactly the new size.
  ASSERT_TRUE(f.Paper().ResizeImageOld(f.Flow(), 60, 35));
  EXPECT_EQ(f.Paper().canvasWidth, 60);
  for (int32_t i = 0; i < f.Paper().GetLayerCount(); ++i) {
    EXPECT_EQ(f.Paper().GetLayer(i)->StoreWidth(), 60);
    EXPECT_EQ(f.Paper().GetLayer(i)->StoreHeight(), 35);
  }
  EXPECT_FALSE(f.Paper().ResizeCanvasOld(f.Flow(), 0, 0, 10));
  EXPECT_FALSE(f.Paper().ResizeImageOld(f.Flow(), 10, 10001));
  EXPECT_FALSE(f.Paper().ReadOldDocumentV1());
}

TEST(CanvasCommands, ResamplingInPlaceMatchesTheNewStack) {
  for (const int32_t method : {1, 2}) {
    SCOPED_TRACE(method);
    CanvasFixture a(100, 60);
    CanvasFixture b(100, 60);
    ASSERT_TRUE(a.Paper().ResampleCanvas(a.Flow(), 70, 45, true, true, method));
    ASSERT_TRUE(b.Paper().ResampleCanvas(b.Flow(), 70, 45, false, true, method));
    EXPECT_EQ(ReadDoc(a.Paper()), ReadDoc(b.Paper()));
  }
}

}  // namespace
}  // namespace tf
