// The player rows of the layer commands, layer and image-wide transforms and pasted images: each
// command recorded in one document and played into a twin gives the same layers byte for byte,
// and malformed payloads are refused without a change.
#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "document/ClipLayerAttr.h"
#include "document/Clipboard.h"
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

constexpr int32_t kW = 40;
constexpr int32_t kH = 30;

// A document of 40 x 30 with three layers of distinct content (the middle one's store larger
// than the canvas and offset), and an active mask selecting a block with a soft edge.
struct Doc {
  Doc() {
    window = std::make_unique<HeadlessDocumentWindow>();
    EXPECT_TRUE(Paper().NewDocument("d", Flow(), false, false, 72, kH, kW));
    EXPECT_TRUE(Paper().AddLayer(Flow(), 1, false, true, 255, 3, kH + 20, kW + 24));
    EXPECT_TRUE(Paper().AddLayer(Flow(), 2, false, true, 200, 5, kH, kW));
    Paper().GetLayer(1)->offsetX = 12;
    Paper().GetLayer(1)->offsetY = 7;
    for (int32_t i = 0; i < 3; ++i) {
      CLayerData& layer = *Paper().GetLayer(i);
      for (int32_t y = 0; y < layer.StoreHeight(); ++y)
        for (int32_t x = 0; x < layer.StoreWidth(); ++x)
          if ((x + y + i) % 3 != 0)
            layer.Store()->SetPixel(
                x, y,
                (uint32_t((x * 7 + i * 50) & 0xFF) << 24) | static_cast<uint32_t>(x << 16 | y << 8 | (i * 40)));
    }
    CMaskMngr* masks = Paper().MaskMngr();
    EXPECT_NE(masks, nullptr);
    const int32_t m = masks->NewMask(0);
    masks->SetActive(m);
    CMaskData* mask = masks->GetMask(m);
    EXPECT_TRUE(mask->createMask(kW, kH));
    for (int32_t y = 5; y < 20; ++y)
      for (int32_t x = 3; x < 22; ++x) mask->Store()->SetPixel(x, y, x == 3 ? 100 : 255);
    Paper().SetActiveLayer(Flow(), 1);
  }
  TPaper& Paper() { return window->Paper(); }
  TFlowImage* Flow() { return &window->Flow(); }

  std::unique_ptr<HeadlessDocumentWindow> window;
};

// Everything a replay must reproduce of the layer stack.
std::string Describe(TPaper& paper) {
  std::string out = "active " + std::to_string(paper.GetActiveLayerIndex()) + "\n";
  for (int32_t i = 0; i < paper.GetLayerCount(); ++i) {
    const CLayerData& l = *paper.GetLayer(i);
    out += l.name + " v" + std::to_string(l.visible) + " o" + std::to_string(l.opacity) + " m" +
           std::to_string(l.blendMode) + " p" + std::to_string(l.alphaProtect) + " d" +
           std::to_string(l.dissolve) + "/" + std::to_string(l.dissolveThreshold) + " g" +
           std::to_string(l.GroupDepth()) + " at " + std::to_string(l.offsetX) + "," + std::to_string(l.offsetY) +
           " store " + std::to_string(l.StoreWidth()) + "x" + std::to_string(l.StoreHeight()) + " px ";
    uint64_t hash = 1469598103934665603ull;
    for (int32_t y = 0; y < l.StoreHeight(); ++y)
      for (int32_t x = 0; x < l.StoreWidth(); ++x) hash = (hash ^ l.Store()->GetPixel(x, y)) * 1099511628211ull;
    out += std::to_string(hash) + "\n";
  }
  return out;
}

struct RowCase {
  const char* name;
  uint8_t cls;
  uint8_t code;
  std::function<bool(Doc&)> command;
  std::function<void(Doc&)> prepare = nullptr;  // applied to both documents first
};

// Records the command in A, plays its packet into B, and compares.
void RecordAndReplay(const RowCase& c) {
  SCOPED_TRACE(c.name);
  PaperTestScope scope;
  scope.host.settings.undoMax = 16;
  ScriptedClipboardHost clipboard;
  ASSERT_TRUE(
      clipboard.PutImage(30, 20, [](int32_t x, int32_t y) { return 0x80000000u | uint32_t(x * 8 << 8 | y); }));
  ClipboardHost* previous = SetClipboardHost(&clipboard);
  Doc a, b;
  if (c.prepare) {
    c.prepare(a);
    c.prepare(b);
  }
  ASSERT_EQ(Describe(a.Paper()), Describe(b.Paper()));
  const int32_t stepsBefore = a.Paper().EventMngr()->stepCount();
  ASSERT_TRUE(c.command(a));
  ASSERT_EQ(a.Paper().EventMngr()->stepCount(), stepsBefore + 1);
  RecordedCommand recorded = LastRecordedCommand(*a.Paper().EventMngr());
  ASSERT_TRUE(recorded.found);
  EXPECT_EQ(recorded.frame.header.cls, c.cls);
  EXPECT_EQ(recorded.frame.header.code, c.code);
  const int32_t bSteps = b.Paper().EventMngr()->stepCount();
  const int32_t bUndo = b.Paper().UndoMngr()->UndoCount();
  TStroke stroke(0);
  ASSERT_TRUE(PlayRecordedCommand(LayerPlayRows(), recorded, b.Paper(), b.Flow(), stroke, 458));
  EXPECT_EQ(Describe(a.Paper()), Describe(b.Paper()));
  // The replay neither records nor pushes undo.
  EXPECT_EQ(b.Paper().EventMngr()->stepCount(), bSteps);
  EXPECT_EQ(b.Paper().UndoMngr()->UndoCount(), bUndo);
  SetClipboardHost(previous);
}

SClipLayerAttr ClipAttributes() {
  SClipLayerAttr attr;
  attr.flags = kClipLayerVisible | kClipLayerProtected | kClipLayerDissolveValid | kClipLayerClipboard;
  attr.blendMode = 7;
  attr.opacity = 77;
  attr.offsetX = 4;
  attr.offsetY = 2;
  attr.storeWidth = 50;
  attr.storeHeight = 36;
  return attr;
}

const RowCase kCases[] = {
    {"AddLayer", 4, 0,
     [](Doc& d) { return d.Paper().AddLayer(d.Flow(), 1, true, true, 180, 9, kH + 3, kW + 5); }},
    {"NewLayer", 4, 11,
     [](Doc& d) { return d.Paper().NewLayer(d.Flow(), 2, true, false, "named", 0x7F7F7F7Fu, 222, 4, kH, kW); }},
    {"DeleteLayer", 4, 1, [](Doc& d) { return d.Paper().DeleteLayer(d.Flow(), 1, true); }},
    {"DuplicateLayer", 4, 3, [](Doc& d) { return d.Paper().DuplicateLayer(d.Flow(), 1, true); }},
    {"MoveLayer", 4, 4, [](Doc& d) { return d.Paper().MoveLayer(d.Flow(), 0, true, 2); }},
    {"TrimLayer", 4, 8, [](Doc& d) { return d.Paper().TrimLayer(d.Flow(), 1, true); }},
    {"SetLayerBlendMode", 4, 16, [](Doc& d) { return d.Paper().SetLayerBlendMode(2, 11, true); }},
    {"SetLayerOpacity", 4, 17, [](Doc& d) { return d.Paper().SetLayerOpacity(2, 17, true); }},
    {"SetLayerVisible", 4, 18, [](Doc& d) { return d.Paper().SetLayerVisible(0, false, true); }},
    {"RenameLayer", 4, 19, [](Doc& d) { return d.Paper().RenameLayer(d.Flow(), 2, true, "renamed layer"); }},
    {"SetLayerProtect", 4, 20, [](Doc& d) { return d.Paper().SetLayerProtect(2, 1, true); }},
    {"SetLayerDissolve", 4, 21, [](Doc& d) { return d.Paper().SetLayerDissolve(1, true, true, 99); }},
    {"FlipLayerHorizontal", 4, 32, [](Doc& d) { return d.Paper().FlipLayerHorizontal(d.Flow(), 1, true); }},
    {"FlipLayerVertical", 4, 33, [](Doc& d) { return d.Paper().FlipLayerVertical(d.Flow(), 1, true); }},
    {"RotateLayer180", 4, 34, [](Doc& d) { return d.Paper().RotateLayer180(d.Flow(), 1, true); }},
    {"InvertLayerColors", 4, 35, [](Doc& d) { return d.Paper().InvertLayerColors(d.Flow(), 1, true); }},
    {"RotateLayer90 clockwise", 4, 36, [](Doc& d) { return d.Paper().RotateLayer90(d.Flow(), 1, true, true); }},
    {"RotateLayer90 back", 4, 37, [](Doc& d) { return d.Paper().RotateLayer90(d.Flow(), 2, true, false); }},
    {"RotateLayerFree", 4, 38, [](Doc& d) { return d.Paper().RotateLayerFree(d.Flow(), 1, true, 33.3f); }},
    {"ScaleLayer", 4, 39, [](Doc& d) { return d.Paper().ScaleLayer(d.Flow(), 1, true, 37, 71); }},
    {"FlipSelectionHorizontal", 4, 48,
     [](Doc& d) { return d.Paper().FlipSelectionHorizontal(d.Flow(), 1, true); }},
    {"FlipSelectionVertical", 4, 49, [](Doc& d) { return d.Paper().FlipSelectionVertical(d.Flow(), 2, true); }},
    {"RotateSelection180", 4, 50, [](Doc& d) { return d.Paper().RotateSelection180(d.Flow(), 1, true); },
     // Alpha protected: colour only, the store's alpha stays.
     [](Doc& d) { d.Paper().GetLayer(1)->alphaProtect = 1; }},
    {"InvertSelectionColors", 4, 51, [](Doc& d) { return d.Paper().InvertSelectionColors(d.Flow(), 0, true); }},
    {"FlipImageHorizontal visible", 2, 16, [](Doc& d) { return d.Paper().FlipImageHorizontal(d.Flow(), false); },
     [](Doc& d) { d.Paper().GetLayer(0)->visible = 0; }},
    {"FlipImageVertical visible", 2, 17, [](Doc& d) { return d.Paper().FlipImageVertical(d.Flow(), false); }},
    {"RotateImage180 visible", 2, 18, [](Doc& d) { return d.Paper().RotateImage180(d.Flow(), false); }},
    {"InvertImage visible", 2, 19, [](Doc& d) { return d.Paper().InvertImage(d.Flow(), false); }},
    {"SetAllLayersVisible", 2, 24, [](Doc& d) { return d.Paper().SetAllLayersVisible(1, true, true); },
     [](Doc& d) {
       d.Paper().GetLayer(0)->visible = 0;
       d.Paper().GetLayer(2)->visible = 0;
     }},
    {"ShowActiveLayerOnly", 2, 25, [](Doc& d) { return d.Paper().ShowActiveLayerOnly(2, true); }},
    {"InvertLayerVisibility", 2, 26, [](Doc& d) { return d.Paper().InvertLayerVisibility(1, true); }},
    {"FlipImageHorizontal all", 2, 32, [](Doc& d) { return d.Paper().FlipImageHorizontal(d.Flow(), true); }},
    {"FlipImageVertical all", 2, 33, [](Doc& d) { return d.Paper().FlipImageVertical(d.Flow(), true); }},
    {"RotateImage180 all", 2, 34, [](Doc& d) { return d.Paper().RotateImage180(d.Flow(), true); }},
    {"InvertImage all", 2, 35, [](Doc& d) { return d.Paper().InvertImage(d.Flow(), true); }},
    {"PasteClipboardAsLayer", 12, 1, [](Doc& d) { return d.Paper().PasteClipboardAsLayer(d.Flow(), true); }},
    {"AddImageLayer with attributes", 12, 1,
     [](Doc& d) {
       TMTC image(20, 12);
       image.FillAll(0xC0123456u);
       const SClipLayerAttr attr = ClipAttributes();
       return d.Paper().AddImageLayer(d.Flow(), image, true, "pasted", &attr);
     }},
    {"PasteImageToLayer", 12, 2,
     [](Doc& d) {
       TMTC image(100, 10);  // wider than the store: cut to it
       for (int32_t y = 0; y < 10; ++y)
         for (int32_t x = 0; x < 100; ++x) *image.Pixel(x, y) = 0x40000000u | uint32_t(x << 8 | y);
       return d.Paper().PasteImageToLayer(d.Flow(), 1, true, std::string(), nullptr, image);
     }},
    {"PasteImageToLayer with attributes", 12, 2,
     [](Doc& d) {
       TMTC image(8, 8);
       image.FillAll(0xFF00FF00u);
       SClipLayerAttr attr = ClipAttributes();
       attr.flags = kClipLayerVisible;
       return d.Paper().PasteImageToLayer(d.Flow(), 0, true, "over", &attr, image);
     }},
};

TEST(PlayLayerRows, EveryRecordedCommandReplaysToTheSameLayers) {
  for (const RowCase& c : kCases) RecordAndReplay(c);
}

TEST(PlayLayerRows, EveryRowOfTheAreaIsListedOnce) {
  const std::span<const SPlayRow> rows = LayerPlayRows();
  for (size_t i = 0; i < rows.size(); ++i)
    for (size_t j = i + 1; j < rows.size(); ++j)
      EXPECT_FALSE(rows[i].cls == rows[j].cls && rows[i].code == rows[j].code)
          << int{rows[i].cls} << "/" << int{rows[i].code};
  for (const RowCase& c : kCases) EXPECT_NE(test::FindRow(rows, c.cls, c.code), nullptr) << c.name;
}

// ---------------------------------------------------------------------------------------------
// Malformed payloads

RecordedCommand Packet(uint8_t cls, uint8_t code, const std::vector<uint8_t>& payload) {
  RecordedCommand command;
  command.found = true;
  command.frame.header.cls = cls;
  command.frame.header.code = code;
  command.frame.length = static_cast<int32_t>(payload.size());
  command.payload.Assign(payload);
  return command;
}

template <class T>
void Put(std::vector<uint8_t>& bytes, size_t at, T value) {
  if (bytes.size() < at + sizeof value) bytes.resize(at + sizeof value);
  std::memcpy(bytes.data() + at, &value, sizeof value);
}

std::vector<uint8_t> AddLayerPayload(int32_t width, int32_t height, uint8_t mode) {
  std::vector<uint8_t> p(14, 0);
  Put<int16_t>(p, 0, 1);
  Put<int32_t>(p, 2, width);
  Put<int32_t>(p, 6, height);
  p[10] = mode;
  p[11] = 255;
  Put<uint16_t>(p, 12, 1);
  return p;
}

std::vector<uint8_t> NewLayerPayload(int32_t width, int32_t height, uint16_t n, size_t nameBytes) {
  std::vector<uint8_t> p(42 + nameBytes, 0);
  Put<int32_t>(p, 2, width);
  Put<int32_t>(p, 6, height);
  p[18] = 3;
  p[19] = 255;
  Put<uint16_t>(p, 40, n);
  for (size_t i = 0; i < nameBytes; ++i) p[42 + i] = 'a';
  return p;
}

std::vector<uint8_t> LayerValue2(uint8_t layer, int32_t a, int32_t b) {
  std::vector<uint8_t> p(12, 0);
  Put<int16_t>(p, 0, layer);
  Put<int32_t>(p, 4, a);
  Put<int32_t>(p, 8, b);
  return p;
}

std::vector<uint8_t> ImagePayload(int16_t layer, int32_t width, int32_t height, int32_t pixelBytes, size_t pixels,
                                  int16_t nameLength = 0, uint8_t bits = 32) {
  std::vector<uint8_t> p(22, 0);
  Put<int16_t>(p, 0, layer);
  Put<int32_t>(p, 2, width);
  Put<int32_t>(p, 6, height);
  p[10] = bits;
  Put<int32_t>(p, 12, static_cast<int32_t>(pixels) + nameLength);
  Put<int16_t>(p, 16, nameLength);
  Put<int32_t>(p, 18, pixelBytes);
  p.resize(22 + static_cast<size_t>(nameLength) + pixels, 0x11);
  return p;
}

TEST(PlayLayerRows, MalformedPayloadsAreRefusedAndChangeNothing) {
  struct Bad {
    const char* name;
    uint8_t cls;
    uint8_t code;
    std::vector<uint8_t> payload;
  };
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const Bad cases[] = {
      {"4/0 short", 4, 0, std::vector<uint8_t>(13, 0)},
      {"4/0 zero width", 4, 0, AddLayerPayload(0, kH, 3)},
      {"4/0 negative height", 4, 0, AddLayerPayload(kW, -5, 3)},
      {"4/0 huge store", 4, 0, AddLayerPayload(1 << 20, 1 << 20, 3)},
      {"4/0 mode 22", 4, 0, AddLayerPayload(kW, kH, 22)},
      {"4/11 zero height", 4, 11, NewLayerPayload(kW, 0, 0, 0)},
      {"4/11 name past the payload", 4, 11, NewLayerPayload(kW, kH, 8, 4)},
      {"4/1 layer out of range", 4, 1, {9, 0, 0, 0}},
      {"4/8 canvas-size layer", 4, 8, {2, 0, 0, 0}},
      {"4/16 mode 200", 4, 16, {2, 0, 200, 255, 1, 0}},
      {"4/19 short name", 4, 19, {2, 0, 10, 0, 'a', 'b'}},
      {"4/38 NaN angle", 4, 38, LayerValue2(1, std::bit_cast<int32_t>(nan), 0)},
      {"4/38 infinite angle", 4, 38, LayerValue2(1, std::bit_cast<int32_t>(inf), 0)},
      {"4/39 zero width", 4, 39, LayerValue2(1, 0, 10)},
      {"4/39 negative height", 4, 39, LayerValue2(1, 10, -10)},
      {"4/39 beyond the store reach", 4, 39, LayerValue2(1, 1 << 20, 10)},
      {"4/48 mask out of range", 4, 48, {1, 0, 7, 0, 1, 0, 0, 0, 0, 0, 0, 0}},
      {"4/32 short", 4, 32, {1}},
      {"12/1 zero width", 12, 1, ImagePayload(0, 0, 4, 0, 0)},
      {"12/1 negative height", 12, 1, ImagePayload(0, 4, -4, -64, 0)},
      {"12/1 pixel count not w*h*4", 12, 1, ImagePayload(0, 4, 4, 60, 64)},
      {"12/1 pixels past the payload", 12, 1, ImagePayload(0, 4, 4, 64, 60)},
      {"12/1 product beyond 32 bits", 12, 1, ImagePayload(0, 65536, 65536, 0, 16)},
      {"12/1 sixteen bits per pixel", 12, 1, ImagePayload(0, 2, 2, 16, 16, 0, 16)},
      {"12/1 name past the payload", 12, 1,
       [] {
         std::vector<uint8_t> p = ImagePayload(0, 2, 2, 16, 16, 0);
         Put<int16_t>(p, 16, 40);
         return p;
       }()},
      {"12/2 layer out of range", 12, 2, ImagePayload(7, 2, 2, 16, 16)},
  };
  PaperTestScope scope;
  scope.host.settings.undoMax = 16;
  Doc d;
  TStroke stroke(0);
  const std::string before = Describe(d.Paper());
  for (const Bad& c : cases) {
    EXPECT_FALSE(
        PlayRecordedCommand(LayerPlayRows(), Packet(c.cls, c.code, c.payload), d.Paper(), d.Flow(), stroke))
        << c.name;
    EXPECT_EQ(Describe(d.Paper()), before) << c.name;
  }
}

TEST(PlayLayerRows, AnOpenedImageOfAnotherSizeGetsItsOwnLayerAtTheBottom) {
  PaperTestScope scope;
  scope.host.settings.undoMax = 16;
  Doc d;
  TStroke stroke(0);
  std::vector<uint8_t> p = ImagePayload(0, 3, 2, 24, 24);
  for (size_t i = 0; i < 24; ++i) p[22 + i] = static_cast<uint8_t>(i * 10);
  ASSERT_TRUE(PlayRecordedCommand(LayerPlayRows(), Packet(12, 2, p), d.Paper(), d.Flow(), stroke));
  ASSERT_EQ(d.Paper().GetLayerCount(), 4);
  const CLayerData& bottom = *d.Paper().GetLayer(0);
  EXPECT_EQ(bottom.StoreWidth(), kW);  // the image's size, but never below the canvas
  EXPECT_EQ(bottom.StoreHeight(), kH);
  uint32_t first = 0;
  std::memcpy(&first, p.data() + 22, 4);
  EXPECT_EQ(bottom.Store()->GetPixel(0, 0), first);
}

}  // namespace
}  // namespace tf
