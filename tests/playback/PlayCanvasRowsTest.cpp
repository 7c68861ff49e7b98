// The player rows of the canvas commands and the layer and folder moves: each command recorded in
// one document and played into its twin gives the same canvas, layers and masks byte for byte;
// short or out-of-range payloads are refused without a change.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "document/LayerMngr.h"
#include "document/Mask.h"
#include "paint/Stroke.h"
#include "paper/PaperTestSupport.h"
#include "paper/UndoMngrEx.h"
#include "playback/PlayRowHarness.h"
#include "raster/BlockVCH.h"
#include "raster/BlockVMTC.h"

namespace tf {
namespace {

using test::LastRecordedCommand;
using test::PaperTestScope;
using test::PlayRecordedCommand;
using test::RecordedCommand;

constexpr int32_t kW = 48;
constexpr int32_t kH = 36;

// A document of 48 x 36: background, a canvas-size layer, a larger offset store, a folder row
// (layer 3) holding layer 4; an active mask with pixels.
struct Doc {
  Doc() {
    window = std::make_unique<HeadlessDocumentWindow>();
    EXPECT_TRUE(Paper().NewDocument("d", Flow(), false, false, 72, kH, kW));
    EXPECT_TRUE(Paper().AddLayer(Flow(), 1, false, true, 255, 0, kH, kW));
    EXPECT_TRUE(Paper().AddLayer(Flow(), 2, false, true, 180, 3, kH + 14, kW + 22));
    EXPECT_TRUE(Paper().AddLayer(Flow(), 3, false, true, 255, 0, kH, kW));
    EXPECT_TRUE(Paper().AddLayer(Flow(), 4, false, true, 255, 0, kH, kW));
    Paper().GetLayer(2)->offsetX = 9;
    Paper().GetLayer(2)->offsetY = 5;
    Paper().GetLayer(4)->SetGroupDepth(1);
    Paper().Layers().EnsureDepthArray(true);
    for (int32_t i = 1; i < 5; ++i) {
      CLayerData& layer = *Paper().GetLayer(i);
      for (int32_t y = 0; y < layer.StoreHeight(); ++y)
        for (int32_t x = 0; x < layer.StoreWidth(); ++x)
          if ((x * 3 + y + i) % 4 != 0)
            layer.Store()->SetPixel(
                x, y,
                (uint32_t((x * 5 + i * 40) & 0xFF) << 24) | static_cast<uint32_t>(x << 16 | y << 8 | i * 30));
    }
    CMaskMngr* masks = Paper().MaskMngr();
    CMaskData* mask = masks->GetMask(0);
    EXPECT_TRUE(mask->createMask(kW, kH));
    for (int32_t y = 4; y < 25; ++y)
      for (int32_t x = 2; x < 30; ++x) mask->Store()->SetPixel(x, y, static_cast<uint8_t>(x * 8));
    Paper().SetActiveLayer(Flow(), 2);
  }
  TPaper& Paper() { return window->Paper(); }
  TFlowImage* Flow() { return &window->Flow(); }

  std::unique_ptr<HeadlessDocumentWindow> window;
};

std::string Hash(uint64_t hash) { return std::to_string(hash); }

// Everything a replay must reproduce: canvas, layers (attributes, placement, pixels), masks.
std::string Describe(TPaper& paper) {
  std::string out = "canvas " + std::to_string(paper.canvasWidth) + "x" + std::to_string(paper.canvasHeight) +
                    " active " + std::to_string(paper.GetActiveLayerIndex()) + "\n";
  for (int32_t i = 0; i < paper.GetLayerCount(); ++i) {
    const CLayerData& l = *paper.GetLayer(i);
    uint64_t hash = 1469598103934665603ull;
    for (int32_t y = 0; y < l.StoreHeight(); ++y)
      for (int32_t x = 0; x < l.StoreWidth(); ++x) hash = (hash ^ l.Store()->GetPixel(x, y)) * 1099511628211ull;
    out += l.name + " v" + std::to_string(l.visible) + " o" + std::to_string(l.opacity) + " m" +
           std::to_string(l.blendMode) + " g" + std::to_string(l.GroupDepth()) + " at " +
           std::to_string(l.offsetX) + "," + std::to_string(l.offsetY) + " canvas " +
           std::to_string(l.canvasWidth) + "x" + std::to_string(l.canvasHeight) + " store " +
           std::to_string(l.StoreWidth()) + "x" + std::to_string(l.StoreHeight()) + " px " + Hash(hash) + "\n";
  }
  CMaskMngr* masks = paper.MaskMngr();
  for (int32_t i = 0; i < masks->GetCount(); ++i) {
    const CMaskData& m = *masks->GetMask(i);
    uint64_t hash = 1469598103934665603ull;
    if (m.IsAllocated())
      for (int32_t y = 0; y < m.Store()->Height(); ++y)
        for (int32_t x = 0; x < m.Store()->Width(); ++x)
          hash = (hash ^ m.Store()->GetPixel(x, y)) * 1099511628211ull;
    out += "mask at " + std::to_string(m.offsetX) + "," + std::to_string(m.offsetY) + " px " + Hash(hash) + "\n";
  }
  return out;
}

struct RowCase {
  const char* name;
  uint8_t cls;
  uint8_t code;
  std::function<bool(Doc&)> command;
};

void RecordAndReplay(const RowCase& c) {
  SCOPED_TRACE(c.name);
  PaperTestScope scope;
  scope.host.settings.undoMax = 16;
  Doc a, b;
  ASSERT_EQ(Describe(a.Paper()), Describe(b.Paper()));
  const int32_t stepsBefore = a.Paper().EventMngr()->stepCount();
  ASSERT_TRUE(c.command(a));
  ASSERT_EQ(a.Paper().EventMngr()->stepCount(), stepsBefore + 1);
  RecordedCommand recorded = LastRecordedCommand(*a.Paper().EventMngr());
  ASSERT_TRUE(recorded.found);
  EXPECT_EQ(recorded.frame.header.cls, c.cls);
  EXPECT_EQ(recorded.frame.header.code, c.code);
  const int32_t bSteps = b.Paper().EventMngr()->stepCount();
  TStroke stroke(0);
  uint8_t afterStep = 0;
  ASSERT_TRUE(PlayRecordedCommand(CanvasPlayRows(), recorded, b.Paper(), b.Flow(), stroke, 458, &afterStep));
  EXPECT_EQ(Describe(a.Paper()), Describe(b.Paper()));
  EXPECT_EQ(afterStep, c.cls == 2 ? 0x87 : (c.cls == 4 ? 0x01 : 0x03));
  // The replay records nothing and leaves no undo behind.
  EXPECT_EQ(b.Paper().EventMngr()->stepCount(), bSteps);
  EXPECT_EQ(b.Paper().UndoMngr()->UndoCount(), 0);
}

const RowCase kCases[] = {
    {"ResizeCanvas anchor 5", 2, 2,
     [](Doc& d) { return d.Paper().ResizeCanvas(d.Flow(), 70, true, true, 5, 30); }},
    {"ResizeCanvas anchor 4", 2, 2,
     [](Doc& d) { return d.Paper().ResizeCanvas(d.Flow(), 51, true, true, 4, 33); }},
    {"ChangeResolutionSampled", 2, 3,
     [](Doc& d) { return d.Paper().ChangeResolutionSampled(d.Flow(), 60, true, true, 27); }},
    {"RotateCanvas90 clockwise", 2, 4, [](Doc& d) { return d.Paper().RotateCanvas90(d.Flow(), true, true); }},
    {"RotateCanvas90 back", 2, 5, [](Doc& d) { return d.Paper().RotateCanvas90(d.Flow(), false, true); }},
    {"ChangeResolution", 2, 9, [](Doc& d) { return d.Paper().ChangeResolution(d.Flow(), 24, true, true, 18); }},
    {"TrimCanvas", 2, 11,
     [](Doc& d) {
       return d.Paper().TrimCanvas(d.Flow(), 2, true, true, SRectWH{-3, 5, 40, 30});
     }},
    {"OffsetLayer", 4, 6, [](Doc& d) { return d.Paper().OffsetLayer(d.Flow(), 2, true, -4, 7); }},
    {"OffsetLayerGrow", 4, 7, [](Doc& d) { return d.Paper().OffsetLayer(d.Flow(), 1, true, -4, 7); }},
    {"OffsetLayerInMask", 4, 12,
     [](Doc& d) {
       return d.Paper().OffsetLayerInMask(d.Flow(), 2, true, TPoint{-6, 3}, -1);
     }},
    {"OffsetLayerInMaskGrow", 4, 13,
     [](Doc& d) {
       return d.Paper().OffsetLayerInMask(d.Flow(), 1, true, TPoint{5, -2}, 0);
     }},
    {"OffsetGroup", 5, 9,
     [](Doc& d) {
       return d.Paper().OffsetGroup(d.Flow(), 3, true, TPoint{3, 4}, 2);
     }},
    {"OffsetGroupInMask", 5, 10,
     [](Doc& d) {
       return d.Paper().OffsetGroupInMask(d.Flow(), 3, true, TPoint{-2, 6}, 2, -1);
     }},
};

TEST(PlayCanvasRows, EveryRowReplaysItsCommandExactly) {
  for (const RowCase& c : kCases) RecordAndReplay(c);
}

TEST(PlayCanvasRows, TheOlderTrimFormPlaysLikeTheNewOne) {
  PaperTestScope scope;
  Doc a, b;
  ASSERT_TRUE(a.Paper().TrimCanvas(a.Flow(), 2, false, false, SRectWH{4, 2, 30, 20}));
  std::vector<uint8_t> bytes{2, 0};
  for (const int32_t v : {4, 2, 30, 20}) test::AppendI32(bytes, v);
  CPlayPayload payload;
  payload.Assign(bytes);
  SPacketFrame frame{};
  frame.header.cls = 2;
  frame.header.code = 6;
  frame.length = static_cast<uint32_t>(bytes.size());
  const SPlayRow* row = test::FindRow(CanvasPlayRows(), 2, 6);
  ASSERT_NE(row, nullptr);
  TStroke stroke(0);
  uint8_t bits = 0;
  SPlayCall call{nullptr, b.Paper(), b.Flow(), stroke, *b.Paper().EventMngr(), frame, payload, 458, bits};
  ASSERT_TRUE(row->play(call));
  EXPECT_EQ(Describe(a.Paper()), Describe(b.Paper()));
}

// Plays a hand-made payload into a fresh document; answers the row's result and whether the
// document stayed as it was.
struct Played {
  bool result = false;
  bool unchanged = false;
};
Played PlayBytes(uint8_t cls, uint8_t code, const std::vector<uint8_t>& bytes) {
  PaperTestScope scope;
  Doc d;
  const std::string before = Describe(d.Paper());
  CPlayPayload payload;
  payload.Assign(bytes);
  SPacketFrame frame{};
  frame.header.cls = cls;
  frame.header.code = code;
  frame.length = static_cast<uint32_t>(bytes.size());
  const SPlayRow* row = test::FindRow(CanvasPlayRows(), cls, code);
  EXPECT_NE(row, nullptr);
  if (row == nullptr) return {};
  TStroke stroke(0);
  uint8_t bits = 0;
  SPlayCall call{nullptr, d.Paper(), d.Flow(), stroke, *d.Paper().EventMngr(), frame, payload, 458, bits};
  Played played;
  played.result = row->play(call);
  played.unchanged = Describe(d.Paper()) == before;
  return played;
}

std::vector<uint8_t> Bytes(std::initializer_list<uint8_t> head, std::initializer_list<int32_t> values) {
  std::vector<uint8_t> out(head);
  for (const int32_t v : values) test::AppendI32(out, v);
  return out;
}

TEST(PlayCanvasRows, ShortAndOutOfRangePayloadsAreRefusedWithoutAChange) {
  struct Case {
    const char* name;
    uint8_t cls, code;
    std::vector<uint8_t> bytes;
  };
  const std::vector<Case> cases = {
      {"resize short", 2, 2, Bytes({0, 1}, {50})},
      {"resize width 0", 2, 2, Bytes({0, 1}, {0, 30})},
      {"resize height 10001", 2, 2, Bytes({0, 1}, {30, 10001})},
      {"resize negative", 2, 2, Bytes({8, 1}, {INT_MIN, INT_MIN})},
      {"resolution short", 2, 9, Bytes({1, 0}, {30})},
      {"resolution huge", 2, 9, Bytes({1, 0}, {100000, 30})},
      {"sampled 0", 2, 3, Bytes({1, 0}, {30, 0})},
      {"trim short", 2, 11, Bytes({0, 0, 1, 0}, {1, 2, 30})},
      {"trim empty", 2, 11, Bytes({0, 0, 1, 0}, {1, 2, 0, 30})},
      {"trim old too big", 2, 6, Bytes({0, 0}, {0, 0, 20000, 30})},
      {"offset INT_MIN", 4, 6, Bytes({1, 0, 0, 0}, {INT_MIN, 0})},
      {"offset zero", 4, 6, Bytes({1, 0, 0, 0}, {0, 0})},
      {"offset bad layer", 4, 6, Bytes({77, 0, 0, 0}, {3, 0})},
      {"offset short", 4, 6, Bytes({1, 0, 0, 0}, {3})},
      {"grow INT_MIN", 4, 7, Bytes({1, 0, 3, 1}, {INT_MIN, INT_MIN})},
      {"grow bad bits", 4, 7, Bytes({1, 0, 7, 1}, {1, 1})},
      {"grow bad flag", 4, 7, Bytes({1, 0, 1, 0}, {0, 1})},
      {"in mask INT_MIN", 4, 12, Bytes({1, 0, 0, 0}, {INT_MIN, 1, 0, 0})},
      {"in mask grow short", 4, 13, Bytes({1, 0, 0, 0}, {4, 1})},
      {"group count past the top", 5, 9, Bytes({3, 0, 5, 0}, {1, 1, 3, -1})},
      {"group count 0", 5, 9, Bytes({3, 0, 5, 0}, {1, 1, 0, -1})},
      {"group huge distance", 5, 10, Bytes({3, 0, 5, 0}, {1 << 30, 1, 2, -1})},
      {"group short", 5, 10, Bytes({3, 0, 5, 0}, {1, 1, 2})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Played played = PlayBytes(c.cls, c.code, c.bytes);
    EXPECT_FALSE(played.result);
    EXPECT_TRUE(played.unchanged);
  }
}

}  // namespace
}  // namespace tf
