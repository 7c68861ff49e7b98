// Moving layers, folder blocks and the selection on the canvas: stores grow to keep covering the
// canvas, every move records, undoes and redoes exactly, and refused distances change nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <string>
#include <vector>

#include "document/LayerMngr.h"
#include "document/Mask.h"
#include "paper/PaperTestSupport.h"
#include "paper/UndoMngrEx.h"
#include "platform/AddressSpace.h"
#include "raster/BlockVCH.h"
#include "raster/BlockVMTC.h"

namespace tf {
namespace {

using test::PaperTestScope;
using test::ReadPackets;
using test::StreamPacket;

constexpr int32_t kW = 64;
constexpr int32_t kH = 40;

uint32_t Marked(int32_t x, int32_t y, int32_t layer) {
  return 0xFF000000u | static_cast<uint32_t>(x << 12) | static_cast<uint32_t>(y) |
         (static_cast<uint32_t>(layer) << 8);
}

struct LayerState {
  int32_t width = 0, height = 0, offsetX = 0, offsetY = 0, depth = 0;
  std::vector<uint32_t> pixels;
  bool operator==(const LayerState&) const = default;
};

LayerState ReadLayer(const CLayerData& layer) {
  LayerState s{layer.StoreWidth(), layer.StoreHeight(), layer.offsetX, layer.offsetY, layer.GroupDepth(), {}};
  for (int32_t y = 0; y < s.height; ++y)
    for (int32_t x = 0; x < s.width; ++x) s.pixels.push_back(layer.Store()->GetPixel(x, y));
  return s;
}

struct DocState {
  std::vector<LayerState> layers;
  std::vector<TPoint> masks;
  bool operator==(const DocState&) const = default;
};

// Layer 0 background; layer 1 canvas-size; layer 2 a store 20 pixels wider than the canvas;
// layer 3 a folder row holding layers 4 (canvas-size) and 5 (wider and taller); one mask with
// pixels.
struct MoveFixture {
  MoveFixture() {
    scope.host.settings.undoMax = 16;
    window = std::make_unique<HeadlessDocumentWindow>();
    EXPECT_TRUE(Paper().NewDocument("m", Flow(), false, false, 72, kH, kW));
    EXPECT_TRUE(Paper().AddLayer(Flow(), 1, false, true, 255, 0, kH, kW));
    EXPECT_TRUE(Paper().AddLayer(Flow(), 2, false, true, 255, 0, kH, kW + 20));
    EXPECT_TRUE(Paper().AddLayer(Flow(), 3, false, true, 255, 0, kH, kW));
    EXPECT_TRUE(Paper().AddLayer(Flow(), 4, false, true, 255, 0, kH, kW));
    EXPECT_TRUE(Paper().AddLayer(Flow(), 5, false, true, 255, 0, kH + 30, kW + 30));
    Paper().GetLayer(2)->offsetX = 10;
    Paper().GetLayer(5)->offsetX = 15;
    Paper().GetLayer(5)->offsetY = 15;
    for (int32_t i = 1; i < 6; ++i) {
      CLayerData& layer = *Paper().GetLayer(i);
      for (int32_t y = 0; y < layer.StoreHeight(); y += 2)
        for (int32_t x = 1; x < layer.StoreWidth(); x += 3) layer.Store()->SetPixel(x, y, Marked(x, y, i));
      layer.Store()->UpdateContentRects();
    }
    Paper().GetLayer(4)->SetGroupDepth(1);
    Paper().GetLayer(5)->SetGroupDepth(1);
    Paper().Layers().EnsureDepthArray(true);
    CMaskMngr* masks = Paper().MaskMngr();
    CMaskData* mask = masks->GetMask(0);
    EXPECT_TRUE(mask->createMask(kW, kH));
    for (int32_t y = 4; y < 20; ++y)
      for (int32_t x = 6; x < 30; ++x) mask->Store()->SetPixel(x, y, 200);
    Paper().SetActiveLayer(Flow(), 1);
  }
  TPaper& Paper() { return window->Paper(); }
  TFlowImage* Flow() { return &window->Flow(); }
  DocState Read() {
    DocState d;
    for (int32_t i = 0; i < Paper().GetLayerCount(); ++i) d.layers.push_back(ReadLayer(*Paper().GetLayer(i)));
    CMaskMngr* masks = Paper().MaskMngr();
    for (int32_t i = 0; i < masks->GetCount(); ++i)
      d.masks.push_back(TPoint{masks->GetMask(i)->offsetX, masks->GetMask(i)->offsetY});
    return d;
  }
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

  PaperTestScope scope;
  std::unique_ptr<HeadlessDocumentWindow> window;
};

// The layer's pixel at a canvas point (default fill outside the store).
uint32_t AtCanvas(const LayerState& s, int32_t x, int32_t y) {
  const int32_t sx = x + s.offsetX;
  const int32_t sy = y + s.offsetY;
  if (sx < 0 || sy < 0 || sx >= s.width || sy >= s.height) return CBlockVMTC::kDefaultFill;
  return s.pixels[static_cast<size_t>(sy * s.width + sx)];
}

// The moved layer shows at canvas (x, y) what it showed at (x - dx, y - dy), content outside the
// canvas included, and its store covers the canvas.
void ExpectMoved(const LayerState& before, const LayerState& after, int32_t dx, int32_t dy) {
  EXPECT_GE(after.offsetX, 0);
  EXPECT_GE(after.offsetY, 0);
  EXPECT_LE(after.offsetX + kW, after.width);
  EXPECT_LE(after.offsetY + kH, after.height);
  for (int32_t y = -60; y < kH + 60; ++y)
    for (int32_t x = -60; x < kW + 60; ++x)
      ASSERT_EQ(AtCanvas(after, x, y), AtCanvas(before, x - dx, y - dy)) << x << "," << y;
}

TEST(LayerMoves, OverflowBitsNameTheUncoveredAxes) {
  MoveFixture f;
  const CLayerData& canvasSize = *f.Paper().GetLayer(1);
  EXPECT_EQ(f.Paper().GetOffsetOverflow(canvasSize, 0, 0), 0);
  EXPECT_EQ(f.Paper().GetOffsetOverflow(canvasSize, 1, 0), 1);
  EXPECT_EQ(f.Paper().GetOffsetOverflow(canvasSize, -1, 0), 1);
  EXPECT_EQ(f.Paper().GetOffsetOverflow(canvasSize, 0, 3), 2);
  EXPECT_EQ(f.Paper().GetOffsetOverflow(canvasSize, -2, 3), 3);
  const CLayerData& wide = *f.Paper().GetLayer(2);  // 20 wider, offset 10
  EXPECT_EQ(f.Paper().GetOffsetOverflow(wide, 10, 0), 0);
  EXPECT_EQ(f.Paper().GetOffsetOverflow(wide, -10, 0), 0);
  EXPECT_EQ(f.Paper().GetOffsetOverflow(wide, 11, 0), 1);
  EXPECT_EQ(f.Paper().GetOffsetOverflow(wide, INT_MIN, INT_MIN), 3);
}

TEST(LayerMoves, ACanvasSizeLayerGrowsByTheDistance) {
  struct Case {
    int32_t dx, dy, width, height, offsetX, offsetY;
  };
  const Case cases[] = {{10, 0, kW + 10, kH, 0, 0},    {-10, 0, kW + 10, kH, 10, 0},
                        {0, 7, kW, kH + 7, 0, 0},      {0, -7, kW, kH + 7, 0, 7},
                        {-5, 9, kW + 5, kH + 9, 5, 0}, {33, -21, kW + 33, kH + 21, 0, 21}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.dx) + "," + std::to_string(c.dy));
    MoveFixture f;
    const DocState before = f.Read();
    ASSERT_TRUE(f.Paper().OffsetLayer(f.Flow(), 1, true, c.dy, c.dx));
    const DocState after = f.Read();
    const LayerState& moved = after.layers[1];
    EXPECT_EQ(moved.width, c.width);
    EXPECT_EQ(moved.height, c.height);
    EXPECT_EQ(moved.offsetX, c.offsetX);
    EXPECT_EQ(moved.offsetY, c.offsetY);
    ExpectMoved(before.layers[1], moved, c.dx, c.dy);
    const StreamPacket last = f.Last();
    EXPECT_EQ(last.cls, 4);
    EXPECT_EQ(last.code, 7);
    const uint8_t bits = static_cast<uint8_t>((c.dx != 0 ? 1 : 0) | (c.dy != 0 ? 2 : 0));
    std::vector<uint8_t> payload{1, 0, bits, 1};
    test::AppendI32(payload, c.dy);
    test::AppendI32(payload, c.dx);
    EXPECT_EQ(last.payload, payload);
    ASSERT_TRUE(f.Undo());
    EXPECT_EQ(f.Read(), before);
    ASSERT_TRUE(f.Redo());
    EXPECT_EQ(f.Read(), after);
  }
}

// A tile of the grown store that cannot be committed fails the move: the layer stays as it was
// and nothing is recorded.
TEST(LayerMoves, AGrowingMoveWithARefusedTileFailsAndKeepsTheLayer) {
  for (const int32_t dx : {10, -10}) {
    SCOPED_TRACE(dx);
    MoveFixture f;
    const DocState before = f.Read();
    const int32_t steps = f.Paper().EventMngr()->stepCount();
    RefuseNextCommits(1);
    EXPECT_FALSE(f.Paper().OffsetLayer(f.Flow(), 1, true, 3, dx));
    ResetAddressSpaceSettings();
    EXPECT_EQ(f.Read(), before);
    EXPECT_EQ(f.Paper().EventMngr()->stepCount(), steps);
  }
}

TEST(LayerMoves, AWiderStoreOnlyChangesItsOffset) {
  for (const int32_t dx : {10, -10}) {
    MoveFixture f;
    const DocState before = f.Read();
    ASSERT_TRUE(f.Paper().OffsetLayer(f.Flow(), 2, true, 0, dx));
    const DocState after = f.Read();
    EXPECT_EQ(after.layers[2].width, kW + 20);
    EXPECT_EQ(after.layers[2].offsetX, 10 - dx);
    EXPECT_EQ(after.layers[2].pixels, before.layers[2].pixels);
    EXPECT_EQ(f.Last().code, 6);
    std::vector<uint8_t> payload{2, 0, 0, 0};
    test::AppendI32(payload, dx);
    test::AppendI32(payload, 0);
    EXPECT_EQ(f.Last().payload, payload);
    ASSERT_TRUE(f.Undo());
    EXPECT_EQ(f.Read(), before);
    ASSERT_TRUE(f.Redo());
    EXPECT_EQ(f.Read(), after);
  }
}

TEST(LayerMoves, AFolderRowMovesItsWholeBlock) {
  MoveFixture f;
  const DocState before = f.Read();
  // Layers 3 and 4 are canvas-size (grown); layer 5 is 30 larger (offset only).
  ASSERT_TRUE(f.Paper().OffsetLayer(f.Flow(), 3, true, 6, -8));
  const DocState after = f.Read();
  for (int32_t i = 3; i <= 5; ++i)
    ExpectMoved(before.layers[static_cast<size_t>(i)], after.layers[static_cast<size_t>(i)], -8, 6);
  EXPECT_EQ(after.layers[3].width, kW + 8);
  EXPECT_EQ(after.layers[5].width, kW + 30);
  EXPECT_EQ(after.layers[5].offsetX, 15 + 8);
  EXPECT_EQ(after.layers[4].depth, 1);
  EXPECT_EQ(after.layers[1], before.layers[1]);
  const StreamPacket last = f.Last();
  EXPECT_EQ(last.cls, 5);
  EXPECT_EQ(last.code, 9);
  ASSERT_TRUE(f.Undo());
  EXPECT_EQ(f.Read(), before);
  ASSERT_TRUE(f.Redo());
  EXPECT_EQ(f.Read(), after);
}

TEST(LayerMoves, MovingWithTheSelectionMovesTheMaskToo) {
  for (const int32_t dx : {5, -12}) {  // a wider store: offset only; then grown
    SCOPED_TRACE(dx);
    for (const int32_t layer : {2, 1, 3}) {
      SCOPED_TRACE(layer);
      MoveFixture f;
      const DocState before = f.Read();
      ASSERT_TRUE(f.Paper().OffsetLayerInMask(f.Flow(), layer, true, TPoint{dx, 0}, -1));
      const DocState after = f.Read();
      ExpectMoved(before.layers[static_cast<size_t>(layer)], after.layers[static_cast<size_t>(layer)], dx, 0);
      EXPECT_EQ(after.masks[0], (TPoint{before.masks[0].x - dx, before.masks[0].y}));
      const uint8_t code = f.Last().code;
      EXPECT_EQ(f.Last().cls, layer == 3 ? 5 : 4);
      if (layer == 3) {
        EXPECT_EQ(code, 10);
      } else {
        EXPECT_EQ(code, (layer == 1 || dx < -10) ? 13 : 12);
      }
      ASSERT_TRUE(f.Undo());
      EXPECT_EQ(f.Read(), before);
      ASSERT_TRUE(f.Redo());
      EXPECT_EQ(f.Read(), after);
    }
  }
}

TEST(LayerMoves, MovingOtherLayersLeavesTheWorkingCopyWithTheActiveLayer) {
  MoveFixture f;
  ASSERT_EQ(f.Paper().GetActiveLayerIndex(), 1);
  ASSERT_TRUE(f.Paper().OffsetLayer(f.Flow(), 2, true, 0, 4));   // offset only
  ASSERT_TRUE(f.Paper().OffsetLayer(f.Flow(), 3, true, 5, -9));  // a grown folder block
  ASSERT_TRUE(f.Paper().OffsetGroup(f.Flow(), 4, true, TPoint{2, 2}, 2));
  const CLayerData& active = *f.Paper().GetLayer(1);
  const TMTC& copy = f.Flow()->Image();
  for (int32_t y = 0; y < active.StoreHeight(); ++y)
    for (int32_t x = 0; x < active.StoreWidth(); ++x)
      ASSERT_EQ(copy.GetPixel(x, y), active.Store()->GetPixel(x, y)) << x << "," << y;
}

// A block moved with the selection far enough that its stores grow past the largest one: the
// working copy grows with them to the largest store, and holds the active layer.
TEST(LayerMoves, AGrowingBlockMoveWithTheSelectionGrowsTheWorkingCopyToTheLargestStore) {
  struct Case {
    int32_t index, count;
    TPoint d;
  };
  const Case cases[] = {{1, 2, {45, 0}},  {1, 2, {0, 38}},  {3, 3, {-50, 33}},
                        {3, 3, {31, -40}}, {1, 2, {-52, 1}}, {3, 3, {2, 45}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.index << " " << c.count << " " << c.d.x << "," << c.d.y);
    MoveFixture f;
    ASSERT_TRUE(f.Paper().OffsetGroupInMask(f.Flow(), c.index, true, c.d, c.count, 0));
    int32_t width = 0, height = 0;
    for (int32_t i = 0; i < f.Paper().GetLayerCount(); ++i) {
      width = std::max(width, f.Paper().GetLayer(i)->StoreWidth());
      height = std::max(height, f.Paper().GetLayer(i)->StoreHeight());
    }
    ASSERT_TRUE(width > kW + 30 || height > kH + 30);  // a store grew past the largest before
    const TMTC& copy = f.Flow()->Image();
    EXPECT_EQ(copy.Width(), width);
    EXPECT_EQ(copy.Height(), height);
    const CLayerData& active = *f.Paper().GetLayer(f.Paper().GetActiveLayerIndex());
    for (int32_t y = 0; y < active.StoreHeight(); ++y)
      for (int32_t x = 0; x < active.StoreWidth(); ++x)
        ASSERT_EQ(copy.GetPixel(x, y), active.Store()->GetPixel(x, y)) << x << "," << y;
  }
}

TEST(LayerMoves, WithoutSelectionPixelsTheSelectionMoveIsAPlainMove) {
  MoveFixture f;
  f.Paper().MaskMngr()->GetMask(0)->SetStore(nullptr);
  ASSERT_TRUE(f.Paper().OffsetLayerInMask(f.Flow(), 2, true, TPoint{4, 0}, -1));
  EXPECT_EQ(f.Last().cls, 4);
  EXPECT_EQ(f.Last().code, 6);
}

TEST(LayerMoves, RefusedDistancesAndIndexesChangeAndRecordNothing) {
  MoveFixture f;
  const DocState before = f.Read();
  const size_t packets = f.Packets().size();
  EXPECT_FALSE(f.Paper().OffsetLayer(f.Flow(), 1, true, 0, 0));
  EXPECT_FALSE(f.Paper().OffsetLayer(f.Flow(), 9, true, 0, 5));
  EXPECT_FALSE(f.Paper().OffsetLayer(f.Flow(), -1, true, 0, 5));
  EXPECT_FALSE(f.Paper().OffsetLayer(f.Flow(), 1, true, 0, INT_MIN));
  EXPECT_FALSE(f.Paper().OffsetLayer(f.Flow(), 1, true, INT_MIN, INT_MIN));
  EXPECT_FALSE(f.Paper().OffsetLayer(f.Flow(), 2, false, 0, INT_MAX));
  EXPECT_FALSE(f.Paper().OffsetLayer(f.Flow(), 3, true, 0, INT_MIN));  // a folder block
  EXPECT_FALSE(f.Paper().OffsetLayerEx(f.Flow(), 1, false, 1, 1, 0, INT_MIN));
  EXPECT_FALSE(f.Paper().OffsetLayerEx(f.Flow(), 1, false, 9, 1, 0, 5));
  EXPECT_FALSE(f.Paper().OffsetLayerInMask(f.Flow(), 1, true, TPoint{INT_MIN, 0}, -1));
  EXPECT_FALSE(f.Paper().OffsetGroup(f.Flow(), 3, true, TPoint{1, 1}, 4));  // past the top
  EXPECT_FALSE(f.Paper().OffsetGroup(f.Flow(), 3, true, TPoint{1, 1}, 0));
  EXPECT_FALSE(f.Paper().OffsetGroupInMask(f.Flow(), 1, true, TPoint{1 << 20, 1}, 2, -1));
  EXPECT_EQ(f.Read(), before);
  EXPECT_EQ(f.Packets().size(), packets);
}

}  // namespace
}  // namespace tf
