// Trimming a layer to the canvas, pasting images, the selection-limited and the image-wide
// transforms: what each records, how undo and redo restore it, and what each refuses.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "document/ClipLayerAttr.h"
#include "document/Clipboard.h"
#include "document/LayerMngr.h"
#include "document/Mask.h"
#include "paper/PaperTestSupport.h"
#include "paper/UndoMngrEx.h"
#include "platform/AddressSpace.h"
#include "platform/ByteOrder.h"
#include "platform/Host.h"
#include "raster/BlockVCH.h"
#include "raster/BlockVMTC.h"
#include "raster/Composite.h"

namespace tf {
namespace {

using test::PaperTestScope;
using test::ReadPackets;
using test::StreamPacket;

constexpr int32_t kW = 40;
constexpr int32_t kH = 30;

// A recording document of 40 x 30: layer 0 canvas-sized, layer 1 a 64 x 50 store at (12, 7), both
// with distinct opaque pixels; real undo.
struct Fixture {
  Fixture() {
    scope.host.settings.undoMax = 16;
    window = std::make_unique<HeadlessDocumentWindow>();
    EXPECT_TRUE(Paper().NewDocument("i", Flow(), false, false, 72, kH, kW));
    EXPECT_TRUE(Paper().AddLayer(Flow(), 1, false, true, 255, 3, 50, 64));
    Layer(1).offsetX = 12;
    Layer(1).offsetY = 7;
    for (int32_t i = 0; i < 2; ++i)
      for (int32_t y = 0; y < Layer(i).StoreHeight(); ++y)
        for (int32_t x = 0; x < Layer(i).StoreWidth(); ++x) Layer(i).Store()->SetPixel(x, y, Value(i, x, y));
  }
  static uint32_t Value(int32_t i, int32_t x, int32_t y) {
    return 0xFF000000u | static_cast<uint32_t>(x << 16 | y << 8 | (i + 1));
  }
  TPaper& Paper() { return window->Paper(); }
  TFlowImage* Flow() { return &window->Flow(); }
  CLayerData& Layer(int32_t i) { return *Paper().GetLayer(i); }
  int32_t Steps() { return Paper().EventMngr()->stepCount(); }
  int32_t UndoCount() { return Paper().UndoMngr()->UndoCount(); }
  bool Undo() {
    SRectWH rect{};
    return Paper().Undo(Flow(), Paper().GetActiveLayerIndex(), rect);
  }
  bool Redo() {
    SRectWH rect{};
    return Paper().Redo(Flow(), Paper().GetActiveLayerIndex(), rect);
  }
  StreamPacket Last() { return ReadPackets(*Paper().EventMngr()).back(); }
  // An active mask of the canvas size with the given values.
  template <class Fn>
  CMaskData& Select(Fn value) {
    CMaskMngr& masks = *Paper().MaskMngr();
    const int32_t m = masks.NewMask(0);
    masks.SetActive(m);
    CMaskData& mask = *masks.GetMask(m);
    EXPECT_TRUE(mask.createMask(kW, kH));
    for (int32_t y = 0; y < kH; ++y)
      for (int32_t x = 0; x < kW; ++x)
        if (const uint8_t v = value(x, y); v != 0) mask.Store()->SetPixel(x, y, v);
    return mask;
  }

  PaperTestScope scope;
  std::unique_ptr<HeadlessDocumentWindow> window;
};

// Every layer's geometry and pixels, for exact comparisons.
struct Snapshot {
  struct Layer {
    int32_t id, width, height, ox, oy;
    std::vector<uint32_t> pixels;
    bool operator==(const Layer&) const = default;
  };
  std::vector<Layer> layers;
  bool operator==(const Snapshot&) const = default;
};

Snapshot Take(TPaper& paper) {
  Snapshot s;
  for (int32_t i = 0; i < paper.GetLayerCount(); ++i) {
    const CLayerData& l = *paper.GetLayer(i);
    Snapshot::Layer entry{l.id, l.StoreWidth(), l.StoreHeight(), l.offsetX, l.offsetY, {}};
    for (int32_t y = 0; y < l.StoreHeight(); ++y)
      for (int32_t x = 0; x < l.StoreWidth(); ++x) entry.pixels.push_back(l.Store()->GetPixel(x, y));
    s.layers.push_back(std::move(entry));
  }
  return s;
}

// Undo gives back the state before, redo the state after.
void ExpectUndoRedo(Fixture& f, const Snapshot& before, const Snapshot& after) {
  ASSERT_TRUE(f.Undo());
  EXPECT_TRUE(Take(f.Paper()) == before);
  ASSERT_TRUE(f.Redo());
  EXPECT_TRUE(Take(f.Paper()) == after);
}

// ---------------------------------------------------------------------------------------------
// Bounds

TEST(LayerImages, BoundsUniteTheCanvasWithTheMatchingStores) {
  Fixture f;
  TRect bounds{};
  // Layer 1's store (64 x 50 at offset (12, 7)) reaches from (-12, -7) to (52, 43).
  EXPECT_EQ(f.Paper().GetAllLayersBounds(bounds, true), 2);
  EXPECT_EQ(bounds, (TRect{-12, -7, 52, 43}));
  f.Layer(1).visible = 0;
  EXPECT_EQ(f.Paper().GetAllLayersBounds(bounds, true), 1);
  EXPECT_EQ(bounds, (TRect{0, 0, kW, kH}));
  EXPECT_EQ(f.Paper().GetLayersBounds(0, 5, false, bounds), 1);
  EXPECT_EQ(bounds, (TRect{-12, -7, 52, 43}));
  EXPECT_EQ(f.Paper().GetLayerRangeBounds(0, 1, bounds), 1);
  EXPECT_EQ(bounds, (TRect{0, 0, kW, kH}));
  EXPECT_EQ(f.Paper().GetLayerRangeBounds(-3, 2, bounds), 0);  // no valid layer in range
  EXPECT_EQ(f.Paper().GetAllStoresBounds(bounds), 2);
  EXPECT_EQ(bounds, (TRect{-12, -7, 52, 43}));
  const int32_t index = f.Paper().InsertCanvasLayer(2, true, 255, 3);
  ASSERT_EQ(index, 2);
  EXPECT_EQ(f.Layer(2).StoreWidth(), kW);
  EXPECT_TRUE(f.Paper().RefreshLayerContent(2, true));
  EXPECT_FALSE(f.Paper().RefreshLayerContent(7, true));
}

// A layer placed elsewhere whose pixels changed: refreshing its content gives the display a full
// redraw gives (the content rectangles are moved to the canvas by the layer's own offsets).
TEST(LayerImages, RefreshingAMovedLayersContentEqualsAFullRedraw) {
  struct Case {
    int32_t ox, oy;
  };
  const Case cases[] = {{12, 7}, {24, 10}, {5, 16}, {18, 3}, {-3, 12}};
  for (const Case& c : cases) {
    Fixture f;
    ASSERT_TRUE(f.Paper().AddLayer(f.Flow(), 2, false, true, 255, 0, 50, 64));
    f.Layer(2).offsetX = c.ox;
    f.Layer(2).offsetY = c.oy;
    f.Paper().RedrawAll(true);
    // New pixels in part of the store, the display not told.
    for (int32_t y = 14; y < 25; ++y)
      for (int32_t x = 20; x < 34; ++x)
        f.Layer(2).Store()->SetPixel(x, y, 0xFF000000u | static_cast<uint32_t>(x * 5 << 16 | y * 7 << 8 | 0x55));
    f.Paper().RefreshLayerContent(2, true);
    const TTC& display = f.Paper().DisplayBuffer();
    std::vector<uint32_t> refreshed;
    for (int32_t y = 0; y < kH; ++y)
      for (int32_t x = 0; x < kW; ++x) refreshed.push_back(display.GetPixel(x, y));
    f.Paper().RedrawAll(true);
    int32_t differing = 0;
    for (int32_t y = 0; y < kH; ++y)
      for (int32_t x = 0; x < kW; ++x)
        if (refreshed[static_cast<size_t>(y * kW + x)] != display.GetPixel(x, y)) ++differing;
    EXPECT_EQ(differing, 0) << c.ox << "," << c.oy;
    // The new pixels show: a redraw without the layer differs there.
    const int32_t x = 27 - c.ox, y = 19 - c.oy;
    f.Layer(2).visible = 0;
    f.Paper().RedrawAll(true);
    EXPECT_NE(display.GetPixel(x, y), refreshed[static_cast<size_t>(y * kW + x)]) << c.ox << "," << c.oy;
  }
}

// ---------------------------------------------------------------------------------------------
// Trimming

TEST(LayerImages, TrimKeepsTheCanvasPartRecordsAfterTheReplacementAndUndoes) {
  Fixture f;
  f.Layer(1).name = "trim me";
  f.Layer(1).opacity = 90;
  const Snapshot before = Take(f.Paper());
  ASSERT_TRUE(f.Paper().TrimLayer(f.Flow(), 1, true));
  CLayerData& trimmed = f.Layer(1);
  EXPECT_EQ(trimmed.StoreWidth(), kW);
  EXPECT_EQ(trimmed.StoreHeight(), kH);
  EXPECT_EQ(trimmed.offsetX, 0);
  EXPECT_EQ(trimmed.offsetY, 0);
  EXPECT_EQ(trimmed.name, "trim me");
  EXPECT_EQ(trimmed.opacity, 90);
  EXPECT_EQ(trimmed.Store()->GetPixel(0, 0), Fixture::Value(1, 12, 7));
  EXPECT_EQ(trimmed.Store()->GetPixel(39, 29), Fixture::Value(1, 51, 36));
  EXPECT_EQ(f.Last().cls, 4);
  EXPECT_EQ(f.Last().code, 8);
  EXPECT_EQ(f.Last().payload, (std::vector<uint8_t>{1, 0, 1, 0}));
  ExpectUndoRedo(f, before, Take(f.Paper()));
}

// The trim once showed no busy cursor.
TEST(LayerImages, TrimShowsTheBusyCursorAndRestoresIt) {
  Fixture f;
  RecordingCursorHost cursors;
  CursorHost* previous = SetCursorHost(&cursors);
  ASSERT_TRUE(f.Paper().TrimLayer(f.Flow(), 1, true));
  SetCursorHost(previous);
  ASSERT_GE(cursors.History().size(), 2u);
  EXPECT_EQ(cursors.History().front(), kCursorWait);
  EXPECT_EQ(cursors.Current(), 0);
}

// A tile of the trimmed store that cannot be committed fails the trim: the layer stays whole,
// nothing is recorded.
TEST(LayerImages, TrimWithARefusedTileFailsAndKeepsTheLayer) {
  Fixture f;
  const Snapshot before = Take(f.Paper());
  CLayerData* layer = &f.Layer(1);
  const int32_t steps = f.Steps();
  const int32_t undo = f.UndoCount();
  RefuseNextCommits(1);
  EXPECT_FALSE(f.Paper().TrimLayer(f.Flow(), 1, true));
  ResetAddressSpaceSettings();
  EXPECT_EQ(&f.Layer(1), layer);
  EXPECT_EQ(f.Layer(1).StoreWidth(), 64);
  EXPECT_EQ(Take(f.Paper()), before);
  EXPECT_EQ(f.Steps(), steps);
  EXPECT_EQ(f.UndoCount(), undo);
}

TEST(LayerImages, TrimOfACanvasSizedOrMissingLayerIsRefusedWithoutATrace) {
  Fixture f;
  const int32_t steps = f.Steps();
  const int32_t undo = f.UndoCount();
  EXPECT_FALSE(f.Paper().TrimLayer(f.Flow(), 0, true));
  EXPECT_FALSE(f.Paper().TrimLayer(f.Flow(), 2, true));
  EXPECT_FALSE(f.Paper().TrimLayer(f.Flow(), -1, true));
  EXPECT_EQ(f.Steps(), steps);
  EXPECT_EQ(f.UndoCount(), undo);
}

// ---------------------------------------------------------------------------------------------
// Pasting as a new layer

TEST(LayerImages, PastedLayerStoreCoversCanvasImageAndWhatTheAttributesAsk) {
  struct Case {
    const char* name;
    int32_t imageW, imageH;
    bool attributes;
    uint16_t flags;
    int32_t x, y, storeW, storeH;
    int32_t expectW, expectH;
  };
  const Case cases[] = {
      {"small image", 10, 10, false, 0, 0, 0, 0, 0, kW, kH},
      {"large image", 70, 20, false, 0, 0, 0, 0, 0, 70, kH},
      {"positions of the store", 10, 10, true, kClipLayerClipboard, 5, 3, 0, 0, kW + 5, kH + 3},
      {"stored size", 10, 10, true, kClipLayerClipboard, 0, 0, 80, 60, 80, 60},
      {"grown by the position", 50, 10, true, 0, 6, 4, 0, 0, 56, kH + 4},
  };
  for (const Case& c : cases) {
    Fixture f;
    TMTC image(c.imageW, c.imageH);
    image.FillAll(0xFF336699u);
    SClipLayerAttr attr;
    attr.flags = static_cast<uint16_t>(c.flags | kClipLayerVisible);
    attr.offsetX = c.x;
    attr.offsetY = c.y;
    attr.storeWidth = c.storeW;
    attr.storeHeight = c.storeH;
    ASSERT_TRUE(f.Paper().AddImageLayer(f.Flow(), image, true, "p", c.attributes ? &attr : nullptr)) << c.name;
    CLayerData& layer = f.Layer(2);
    EXPECT_EQ(layer.StoreWidth(), c.expectW) << c.name;
    EXPECT_EQ(layer.StoreHeight(), c.expectH) << c.name;
    EXPECT_EQ(layer.Store()->GetPixel(c.imageW - 1, c.imageH - 1), 0xFF336699u) << c.name;
    EXPECT_EQ(f.Paper().GetActiveLayerIndex(), 2) << c.name;
  }
}

TEST(LayerImages, AddImageLayerRecordsTheImagePacketAndUndoRemovesTheLayer) {
  Fixture f;
  f.Paper().SetActiveLayer(f.Flow(), 0);
  TMTC image(3, 2);
  for (int32_t y = 0; y < 2; ++y)
    for (int32_t x = 0; x < 3; ++x)
      *image.Pixel(x, y) = 0x10000000u * static_cast<uint32_t>(x + 1) + static_cast<uint32_t>(y);
  SClipLayerAttr attr;
  attr.flags = kClipLayerVisible | kClipLayerProtected | kClipLayerDissolveValid;
  attr.blendMode = 6;
  attr.opacity = 100;
  attr.dissolveOpacity = 40;
  const Snapshot before = Take(f.Paper());
  ASSERT_TRUE(f.Paper().AddImageLayer(f.Flow(), image, true, "clip", &attr));
  const CLayerData& layer = f.Layer(2);
  EXPECT_EQ(layer.blendMode, 6);
  EXPECT_EQ(layer.opacity, 100);
  EXPECT_EQ(layer.alphaProtect, 1);
  EXPECT_EQ(layer.name, "clip");
  const StreamPacket packet = f.Last();
  EXPECT_EQ(packet.cls, 12);
  EXPECT_EQ(packet.code, 1);
  ASSERT_GE(packet.payload.size(), 22u + 72u + 6u + 24u);
  EXPECT_EQ(LoadI16(packet.payload.data()), 0);  // the active layer before the paste
  EXPECT_EQ(LoadI32(packet.payload.data() + 2), 3);
  EXPECT_EQ(LoadI32(packet.payload.data() + 6), 2);
  EXPECT_EQ(packet.payload[11], 1);
  EXPECT_EQ(DecodeClipLayerAttr(packet.payload.data() + 22).blendMode, 6);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(packet.payload.data() + 94)), "clip");
  EXPECT_EQ(LoadU32(packet.payload.data() + 22 + 72 + 6), *image.Pixel(0, 0));
  ExpectUndoRedo(f, before, Take(f.Paper()));
}

TEST(LayerImages, RegressionPastedAttributesWithANegativePositionAreRefused) {
  Fixture f;
  TMTC image(10, 10);
  image.FillAll(0xFF000000u);
  struct Bad {
    const char* name;
    uint16_t flags;
    int32_t x, y, storeW, storeH;
  };
  const Bad cases[] = {
      {"negative x shrinks the store", 0, -30, 0, 0, 0},
      {"negative y with the clipboard flag", kClipLayerClipboard, 0, -1, 0, 0},
      {"negative stored size", kClipLayerClipboard, 0, 0, -5, 0},
      {"position beyond the store reach", 0, 1 << 30, 0, 0, 0},
      {"stored size beyond the store reach", kClipLayerClipboard, 0, 0, 0, 1 << 20},
  };
  const int32_t steps = f.Steps();
  for (const Bad& c : cases) {
    SClipLayerAttr attr;
    attr.flags = c.flags;
    attr.offsetX = c.x;
    attr.offsetY = c.y;
    attr.storeWidth = c.storeW;
    attr.storeHeight = c.storeH;
    EXPECT_FALSE(f.Paper().AddImageLayer(f.Flow(), image, true, "", &attr)) << c.name;
    EXPECT_EQ(f.Paper().GetLayerCount(), 2) << c.name;
  }
  TMTC empty;
  EXPECT_FALSE(f.Paper().AddImageLayer(f.Flow(), empty, true, "", nullptr));
  EXPECT_EQ(f.Steps(), steps);
}

TEST(LayerImages, PasteFromTheClipboardTakesItsAttributesAndFailsWithoutAnImage) {
  Fixture f;
  ScriptedClipboardHost clipboard;
  ClipboardHost* previous = SetClipboardHost(&clipboard);
  const int32_t steps = f.Steps();
  EXPECT_FALSE(f.Paper().PasteClipboardAsLayer(f.Flow(), true));  // empty clipboard
  EXPECT_EQ(f.Steps(), steps);
  ASSERT_TRUE(clipboard.PutImage(5, 4, [](int32_t x, int32_t y) { return 0xFF000000u | uint32_t(x * 16 + y); }));
  clipboard.hasAttributes = true;
  clipboard.attributes.flags = kClipLayerVisible;
  clipboard.attributes.opacity = 66;
  clipboard.name = "from clipboard";
  ASSERT_TRUE(f.Paper().PasteClipboardAsLayer(f.Flow(), true));
  EXPECT_EQ(f.Layer(2).name, "from clipboard");
  EXPECT_EQ(f.Layer(2).opacity, 66);
  EXPECT_EQ(f.Layer(2).Store()->GetPixel(4, 3), 0xFF000000u | 67u);
  EXPECT_EQ(f.Last().code, 1);
  SetClipboardHost(previous);
  // Without a clipboard host the paste fails and says why.
  EXPECT_FALSE(f.Paper().PasteClipboardAsLayer(f.Flow(), true));
  EXPECT_TRUE(f.scope.DebugSaid("no clipboard host"));
}

// ---------------------------------------------------------------------------------------------
// Pasting into a layer

TEST(LayerImages, RegressionPasteIntoALayerRecordsAPacketThePlayerKnowsWithTheWholeStore) {
  Fixture f;
  TMTC image(100, 5);  // wider than the 64-wide store: cut to it
  image.FillAll(0x80ABCDEFu);
  const Snapshot before = Take(f.Paper());
  ASSERT_TRUE(f.Paper().PasteImageToLayer(f.Flow(), 1, true, std::string(), nullptr, image));
  EXPECT_EQ(f.Layer(1).Store()->GetPixel(63, 4), 0x80ABCDEFu);
  EXPECT_EQ(f.Layer(1).Store()->GetPixel(63, 5), Fixture::Value(1, 63, 5));
  const StreamPacket packet = f.Last();
  EXPECT_EQ(packet.cls, 12);
  EXPECT_EQ(packet.code, 2);  // never the unknown 12/0
  EXPECT_EQ(LoadI16(packet.payload.data()), 1);
  EXPECT_EQ(LoadI32(packet.payload.data() + 2), 64);  // the store after the paste, whole
  EXPECT_EQ(LoadI32(packet.payload.data() + 6), 50);
  EXPECT_EQ(LoadU32(packet.payload.data() + 22 + (4 * 64 * 4) + 4 * 63), 0x80ABCDEFu);
  EXPECT_EQ(LoadU32(packet.payload.data() + 22 + (5 * 64 * 4)), Fixture::Value(1, 0, 5));
  ExpectUndoRedo(f, before, Take(f.Paper()));
}

TEST(LayerImages, RegressionPasteIntoALayerChecksTheLayerIndexFirst) {
  Fixture f;
  TMTC image(4, 4);
  image.FillAll(0xFF000000u);
  const int32_t steps = f.Steps();
  for (int32_t index : {-1, 2, 10000})
    EXPECT_FALSE(f.Paper().PasteImageToLayer(f.Flow(), index, true, "", nullptr, image));
  TMTC empty;
  EXPECT_FALSE(f.Paper().PasteImageToLayer(f.Flow(), 0, true, "", nullptr, empty));
  EXPECT_EQ(f.Steps(), steps);
}

TEST(LayerImages, LegacyShiftPutsTheStoreIntoACanvasSizedOneAtTheDistance) {
  Fixture f;
  const uint32_t moved = f.Layer(1).Store()->GetPixel(0, 0);
  ASSERT_TRUE(f.Paper().ShiftLayerLegacy(f.Flow(), 1, 3, 2));
  EXPECT_EQ(f.Layer(1).StoreWidth(), kW);
  EXPECT_EQ(f.Layer(1).StoreHeight(), kH);
  EXPECT_EQ(f.Layer(1).offsetX, 0);
  EXPECT_EQ(f.Layer(1).Store()->GetPixel(3, 2), moved);
  EXPECT_EQ(f.Layer(1).Store()->GetPixel(2, 2) >> 24, 0u);  // neutral, transparent in a modern document
  EXPECT_FALSE(f.Paper().ShiftLayerLegacy(f.Flow(), 5, 0, 0));
}

// ---------------------------------------------------------------------------------------------
// Within the selection

TEST(LayerImages, SelectionFlipMirrorsWithinTheBoundsAndBlendsThroughTheMask) {
  Fixture f;
  // Canvas columns 2..5 of rows 1..2 selected, column 2 at half strength.
  f.Select([](int32_t x, int32_t y) {
    return uint8_t(y >= 1 && y <= 2 && x >= 2 && x <= 5 ? (x == 2 ? 128 : 255) : 0);
  });
  const Snapshot before = Take(f.Paper());
  ASSERT_TRUE(f.Paper().TransformInSelection(f.Flow(), 0, true, true, 7, -1));
  CBlockVMTC& s = *f.Layer(0).Store();
  // Column 5 takes column 2's pixel, column 3 column 4's.
  EXPECT_EQ(s.GetPixel(5, 1), Fixture::Value(0, 2, 1));
  EXPECT_EQ(s.GetPixel(3, 2), Fixture::Value(0, 4, 2));
  uint32_t half = Fixture::Value(0, 2, 1);
  BlendColor(&half, Fixture::Value(0, 5, 1), 128);
  EXPECT_EQ(s.GetPixel(2, 1), (half & 0xFFFFFFu) | (MulDiv255(128, 255) << 24));
  EXPECT_EQ(s.GetPixel(6, 1), Fixture::Value(0, 6, 1));  // outside the selection
  EXPECT_EQ(s.GetPixel(3, 3), Fixture::Value(0, 3, 3));
  const StreamPacket packet = f.Last();
  EXPECT_EQ(packet.cls, 4);
  EXPECT_EQ(packet.code, 48);
  EXPECT_EQ(packet.payload, (std::vector<uint8_t>{0, 0, 0xFF, 0xFF, 1, 0, 0, 0, 0, 0, 0, 0}));
  ExpectUndoRedo(f, before, Take(f.Paper()));
}

TEST(LayerImages, SelectionTransformOfAProtectedLayerKeepsItsAlpha) {
  Fixture f;
  f.Layer(1).alphaProtect = 1;
  for (int32_t x = 0; x < 64; ++x) f.Layer(1).Store()->SetPixel(x, 10, 0x20000000u | static_cast<uint32_t>(x));
  f.Select([](int32_t, int32_t y) { return uint8_t(y == 3 ? 200 : 0); });  // canvas row 3 = store row 10
  ASSERT_TRUE(f.Paper().RotateSelection180(f.Flow(), 1, true));
  EXPECT_EQ(f.Last().code, 50);
  EXPECT_EQ(f.Last().payload[4], 0);  // the alpha switch is off
  for (int32_t x = 12; x < 52; ++x) EXPECT_EQ(f.Layer(1).Store()->GetPixel(x, 10) >> 24, 0x20u) << x;
}

TEST(LayerImages, SelectionTransformWithAnEmptySelectionActsOnTheWholeLayer) {
  Fixture f;
  f.Select([](int32_t, int32_t) { return uint8_t(0); });
  ASSERT_TRUE(f.Paper().FlipSelectionVertical(f.Flow(), 0, true));
  EXPECT_EQ(f.Last().code, 33);  // the whole-layer event, not the selection event
  EXPECT_EQ(f.Layer(0).Store()->GetPixel(0, 0), Fixture::Value(0, 0, kH - 1));
}

TEST(LayerImages, SelectionTransformRefusesBadArgumentsWithoutATrace) {
  Fixture f;
  f.Select([](int32_t x, int32_t) { return uint8_t(x < 4 ? 255 : 0); });
  const int32_t steps = f.Steps();
  const Snapshot before = Take(f.Paper());
  EXPECT_FALSE(f.Paper().TransformInSelection(f.Flow(), 2, true, true, 7, -1));   // layer
  EXPECT_FALSE(f.Paper().TransformInSelection(f.Flow(), 0, true, true, 11, -1));  // code
  EXPECT_FALSE(f.Paper().TransformInSelection(f.Flow(), 0, true, true, 7, 3));    // mask
  EXPECT_EQ(f.Steps(), steps);
  EXPECT_TRUE(Take(f.Paper()) == before);
}

// A write-back into the layer that is refused inside the selection fails the transform with the
// layer-command warning; the layer and the stream stay as they were.
TEST(LayerImages, SelectionTransformWithARefusedWriteBackWarnsAndChangesNothing) {
  struct Case {
    int32_t code;
    bool withAlpha;
  };
  const Case cases[] = {{kUndoFlipLayerHorizontal, true},
                        {kUndoFlipLayerHorizontal, false},
                        {kUndoFlipLayerVertical, true},
                        {kUndoRotateLayer180, false}};
  for (const Case& c : cases) {
    Fixture f;
    // A transparent canvas-sized layer on top: none of its tiles is committed yet.
    ASSERT_TRUE(f.Paper().AddLayer(f.Flow(), 2, false, true, 255, 0, kH, kW));
    f.Select([](int32_t x, int32_t y) { return uint8_t(x >= 3 && x < 30 && y >= 2 && y < 20 ? 255 : 0); });
    const Snapshot before = Take(f.Paper());
    const int32_t steps = f.Steps();
    f.scope.warnings.Clear();
    RefuseNextCommits(1 << 20);
    const bool done = f.Paper().TransformInSelection(f.Flow(), 2, true, c.withAlpha, c.code, -1);
    ResetAddressSpaceSettings();
    EXPECT_FALSE(done) << c.code << " " << c.withAlpha;
    EXPECT_EQ(f.scope.warnings.Texts(), std::vector<std::string>{"Failed to execute layer command!"})
        << c.code << " " << c.withAlpha;
    EXPECT_TRUE(Take(f.Paper()) == before) << c.code;
    EXPECT_EQ(f.Steps(), steps) << c.code;
  }
}

// ---------------------------------------------------------------------------------------------
// The whole image

TEST(LayerImages, ImageWideCommandsRecordTheirPaperEventAndUndoEveryLayer) {
  struct Case {
    uint8_t code;
    bool all;
    uint8_t event;
  };
  const Case cases[] = {{12, true, 32},  {13, true, 33},  {14, true, 35},  {15, true, 34},
                        {12, false, 16}, {13, false, 17}, {14, false, 19}, {15, false, 18}};
  for (const Case& c : cases) {
    Fixture f;
    f.Layer(0).visible = 0;
    const Snapshot before = Take(f.Paper());
    ASSERT_TRUE(c.all ? f.Paper().ApplyImageToAll(f.Flow(), c.code, true)
                      : f.Paper().ApplyImageToVisible(f.Flow(), c.code, true));
    EXPECT_EQ(f.Last().cls, 2);
    EXPECT_EQ(f.Last().code, c.event);
    const Snapshot after = Take(f.Paper());
    // The hidden layer changes only with the all-layers form.
    EXPECT_EQ(after.layers[0] == before.layers[0], !c.all) << int{c.code};
    EXPECT_FALSE(after.layers[1] == before.layers[1]) << int{c.code};
    ExpectUndoRedo(f, before, after);
  }
}

TEST(LayerImages, ImageWideMirrorKeepsEveryOffsetInStep) {
  Fixture f;
  ASSERT_TRUE(f.Paper().FlipImageHorizontal(f.Flow(), true));
  EXPECT_EQ(f.Layer(1).offsetX, 64 - 12 - kW);
  EXPECT_EQ(f.Layer(1).Store()->GetPixel(0, 0), Fixture::Value(1, 63, 0));
  EXPECT_EQ(f.Layer(0).Store()->GetPixel(0, 0), Fixture::Value(0, kW - 1, 0));
  const int32_t steps = f.Steps();
  EXPECT_FALSE(f.Paper().ApplyImageToAll(f.Flow(), 11, true));
  f.Layer(0).visible = 0;
  f.Layer(1).visible = 0;
  EXPECT_FALSE(f.Paper().ApplyImageToVisible(f.Flow(), 12, true));  // nothing visible to change
  EXPECT_EQ(f.Steps(), steps);
}

}  // namespace
}  // namespace tf
