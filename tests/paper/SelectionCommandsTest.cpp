// The mask and selection commands: what each records, how undo and redo restore it, the combine
// mode from the modifier keys, and the arguments each refuses without a trace.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "document/LayerMngr.h"
#include "document/Mask.h"
#include "paper/FlowImage.h"
#include "paper/PaperTestSupport.h"
#include "paper/UndoMngrEx.h"
#include "raster/BlockVCH.h"
#include "raster/BlockVMTC.h"
#include "support/FakeKeyState.h"

namespace tf {
namespace {

using test::PaperTestScope;
using test::ReadPackets;
using test::StreamPacket;

// A headless window whose clipboard copy succeeds or fails as the test says.
class ClipboardWindow : public HeadlessDocumentWindow {
 public:
  bool CopySelectionToClipboard(int32_t layer, int32_t mask) override {
    ++copies;
    lastLayer = layer;
    lastMask = mask;
    return clipboardWorks;
  }
  bool clipboardWorks = true;
  int32_t copies = 0;
  int32_t lastLayer = -2;
  int32_t lastMask = -2;
};

// Everything of a mask a command may change: geometry, name and every byte of its store.
struct MaskState {
  bool allocated = false;
  int32_t offsetX = 0, offsetY = 0, width = 0, height = 0;
  std::string name;
  std::vector<uint8_t> bytes;
  bool operator==(const MaskState&) const = default;
};

MaskState StateOf(const CMaskData* mask) {
  MaskState s;
  if (mask == nullptr) return s;
  s.name = mask->name;
  s.offsetX = mask->offsetX;
  s.offsetY = mask->offsetY;
  s.allocated = mask->IsAllocated();
  if (!s.allocated) return s;
  s.width = mask->Store()->Width();
  s.height = mask->Store()->Height();
  for (int32_t y = 0; y < s.height; ++y)
    for (int32_t x = 0; x < s.width; ++x) s.bytes.push_back(mask->Store()->GetPixel(x, y));
  return s;
}

std::vector<uint32_t> Pixels(const CLayerData& layer) {
  std::vector<uint32_t> out;
  for (int32_t y = 0; y < layer.StoreHeight(); ++y)
    for (int32_t x = 0; x < layer.StoreWidth(); ++x) out.push_back(layer.Store()->GetPixel(x, y));
  return out;
}

std::vector<uint8_t> Bytes(std::initializer_list<int> values) {
  std::vector<uint8_t> out;
  for (int v : values) out.push_back(static_cast<uint8_t>(v));
  return out;
}

// A recording document of 40 x 30 with two opaque layers and real undo.
struct SelectionFixture {
  SelectionFixture() {
    scope.host.settings.undoMax = 32;
    window = std::make_unique<ClipboardWindow>();
    EXPECT_TRUE(Paper().NewDocument("s", Flow(), false, false, 72, 30, 40));
    EXPECT_TRUE(Paper().AddLayer(Flow(), 1, false, true, 255, 0, 30, 40));
    for (int32_t i = 0; i < 2; ++i) {
      SRectWH r{0, 0, 40, 30};
      Layer(i).Store()->FillRect(r, 0xFF000000u | (0x20u * (i + 1)));
    }
    stepsBeforeUndo = Paper().EventMngr()->getUndoSteps() - UndoCount();
  }
  TPaper& Paper() { return window->Paper(); }
  TFlowImage* Flow() { return &window->Flow(); }
  CLayerMngr& Layers() { return Paper().Layers(); }
  CLayerData& Layer(int32_t i) { return *Layers().Get(i); }
  CMaskMngr& Masks() { return *Paper().MaskMngr(); }
  MaskState Active() { return StateOf(Paper().GetActiveMask()); }
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
  StreamPacket Last() {
    std::vector<StreamPacket> packets = ReadPackets(*Paper().EventMngr());
    return packets.empty() ? StreamPacket{} : packets.back();
  }
  CUndoData* NewestUndo() {
    CUndoData* record = nullptr;
    return Paper().UndoMngr()->PeekUndo(record) ? record : nullptr;
  }
  // A rectangle selected on layer 1, recorded.
  bool SelectBox(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t mode = 0) {
    return Paper().SelectRect(Flow(), 1, true, mode, TPoint{x0, y0}, TPoint{x1, y1});
  }

  ~SelectionFixture() {
    // No command may leave the stream and the undo out of step, nor warn.
    EXPECT_TRUE(scope.warnings.Texts().empty()) << scope.warnings.Texts().front();
    EXPECT_EQ(Paper().EventMngr()->getUndoSteps() - UndoCount(), stepsBeforeUndo);
  }

  PaperTestScope scope;
  test::FakeKeyState keys;
  std::unique_ptr<ClipboardWindow> window;
  int32_t stepsBeforeUndo = 0;  // the set-up's steps, which have no undo records
};

// ---------------------------------------------------------------------------------------------
// The combine mode from the keys

TEST(SelectionCommands, CombineModeFollowsShiftAndTheShortcutModeSetting) {
  SelectionFixture f;
  struct Case {
    int32_t shortcutMode;
    bool shift, ctrl, alt;
    int32_t expected;
  };
  const Case cases[] = {
      {0, false, false, false, 0}, {0, true, false, false, 1}, {0, false, false, true, 2},
      {0, true, false, true, 3},   {0, false, true, false, 0}, {0, true, true, false, 1},
      {1, false, true, false, 2},  {1, true, true, false, 3},  {1, true, false, true, 1},
      {1, false, false, true, 0},  {2, true, true, true, 1},   {2, false, true, true, 0},
  };
  // Without a selection every combination replaces.
  for (const Case& c : cases) {
    f.scope.host.settings.shortcutMode = c.shortcutMode;
    f.keys.Hold(c.shift, c.ctrl, c.alt);
    EXPECT_EQ(f.Paper().GetSelectionCombineMode(), 0);
  }
  f.keys.ReleaseAll();
  ASSERT_TRUE(f.SelectBox(2, 2, 5, 5));
  for (const Case& c : cases) {
    f.scope.host.settings.shortcutMode = c.shortcutMode;
    f.keys.Hold(c.shift, c.ctrl, c.alt);
    EXPECT_EQ(f.Paper().GetSelectionCombineMode(), c.expected)
        << "mode " << c.shortcutMode << " shift " << c.shift << " ctrl " << c.ctrl << " alt " << c.alt;
  }
}

TEST(SelectionCommands, QueriesReadTheSelectionUnderTheWindowAndTheCommandGate) {
  SelectionFixture f;
  EXPECT_EQ(f.Paper().SelectionValueAt(5, 5), -1);  // no selection
  EXPECT_FALSE(f.Paper().CanSelectionToLayer());
  ASSERT_TRUE(f.SelectBox(3, 4, 9, 7));
  f.Paper().SelectLayer(f.Flow(), 1);
  EXPECT_EQ(f.Paper().SelectionValueAt(5, 5), 255);
  EXPECT_EQ(f.Paper().SelectionValueAt(20, 20), 0);
  EXPECT_TRUE(f.Paper().CanSelectionToLayer());
  f.Paper().SetSelectionEnabled(f.Flow(), 1, true, false);
  EXPECT_FALSE(f.Paper().CanSelectionToLayer());
}

// ---------------------------------------------------------------------------------------------
// Shapes

TEST(SelectionCommands, SelectRectRecordsItsPacketAndUndoRedoRestoreTheMaskExactly) {
  SelectionFixture f;
  const MaskState before = f.Active();
  const int32_t steps = f.Steps();
  ASSERT_TRUE(f.SelectBox(3, 4, 9, 7));
  EXPECT_EQ(f.Steps(), steps + 1);
  const StreamPacket packet = f.Last();
  EXPECT_EQ(packet.cls, 10);
  EXPECT_EQ(packet.code, 16);
  std::vector<uint8_t> expected = Bytes({1, 0, 0, 0, 0, 0});
  for (int32_t v : {3, 4, 9, 7}) test::AppendI32(expected, v);
  EXPECT_EQ(packet.payload, expected);
  EXPECT_EQ(f.Paper().selectionEnabled, 1);
  EXPECT_EQ(f.Paper().selectionVisible, 1);
  const CMaskData* mask = f.Paper().GetActiveMask();
  ASSERT_TRUE(mask->IsAllocated());
  EXPECT_EQ(mask->ValueAtCanvas(3, 4), 255);
  EXPECT_EQ(mask->ValueAtCanvas(9, 7), 255);
  EXPECT_EQ(mask->ValueAtCanvas(10, 7), 0);
  EXPECT_EQ(mask->ValueAtCanvas(2, 4), 0);
  ASSERT_NE(f.NewestUndo(), nullptr);
  EXPECT_EQ(f.NewestUndo()->code, kUndoMaskPixels);
  const MaskState after = f.Active();

  ASSERT_TRUE(f.Undo());
  EXPECT_EQ(f.Active(), before);
  ASSERT_TRUE(f.Redo());
  EXPECT_EQ(f.Active(), after);
}

TEST(SelectionCommands, ShapesCombineByModeAndPolygonAndEllipseRecordTheirCodes) {
  SelectionFixture f;
  ASSERT_TRUE(f.SelectBox(0, 0, 9, 9));
  ASSERT_TRUE(f.SelectBox(5, 5, 14, 14, 2));  // subtract
  const CMaskData* mask = f.Paper().GetActiveMask();
  EXPECT_EQ(mask->ValueAtCanvas(2, 2), 255);
  EXPECT_EQ(mask->ValueAtCanvas(7, 7), 0);
  ASSERT_TRUE(f.SelectBox(0, 0, 3, 3, 3));  // intersect
  mask = f.Paper().GetActiveMask();
  EXPECT_EQ(mask->ValueAtCanvas(2, 2), 255);
  EXPECT_EQ(mask->ValueAtCanvas(5, 2), 0);

  const TPoint triangle[3] = {{10, 2}, {30, 2}, {20, 20}};
  ASSERT_TRUE(f.Paper().SelectPolygon(f.Flow(), 1, true, 1, 3, triangle));
  StreamPacket packet = f.Last();
  EXPECT_EQ(packet.code, 18);
  std::vector<uint8_t> expected = Bytes({1, 0, 0, 0, 1, 0, 3, 0});
  for (const TPoint& p : triangle) {
    test::AppendI32(expected, p.x);
    test::AppendI32(expected, p.y);
  }
  EXPECT_EQ(packet.payload, expected);
  EXPECT_EQ(f.Paper().GetActiveMask()->ValueAtCanvas(20, 8), 255);
  EXPECT_EQ(f.Paper().GetActiveMask()->ValueAtCanvas(2, 2), 255);  // added to what was there

  ASSERT_TRUE(f.Paper().SelectEllipse(f.Flow(), 1, true, 0, TPoint{0, 0}, TPoint{19, 19}, true));
  EXPECT_EQ(f.Last().code, 19);
  EXPECT_EQ(f.Paper().GetActiveMask()->ValueAtCanvas(10, 10), 255);
  EXPECT_EQ(f.Paper().GetActiveMask()->ValueAtCanvas(0, 0), 0);
}

TEST(SelectionCommands, ShapeOutsideTheStoreChangesAndRecordsNothing) {
  SelectionFixture f;
  ASSERT_TRUE(f.SelectBox(2, 2, 5, 5));
  const MaskState before = f.Active();
  const int32_t steps = f.Steps();
  const int32_t undos = f.UndoCount();
  EXPECT_FALSE(f.SelectBox(100, 100, 120, 120));
  const TPoint line[2] = {{1, 1}, {5, 5}};
  EXPECT_FALSE(f.Paper().SelectPolygon(f.Flow(), 1, true, 0, 2, line));  // fewer than three points
  EXPECT_EQ(f.Active(), before);
  EXPECT_EQ(f.Steps(), steps);
  EXPECT_EQ(f.UndoCount(), undos);
}

// ---------------------------------------------------------------------------------------------
// Select all, invert, cancel, offset, grow and shrink

TEST(SelectionCommands, SelectAllInvertOffsetGrowAndBackThroughUndo) {
  SelectionFixture f;
  std::vector<MaskState> states{f.Active()};
  ASSERT_TRUE(f.Paper().SelectAll(f.Flow(), 1, true));
  EXPECT_EQ(f.Last().code, 20);
  EXPECT_EQ(f.Active().bytes, std::vector<uint8_t>(40 * 30, 255));
  states.push_back(f.Active());

  // A canvas-sized mask inverts in place: undo code 59, nothing held.
  ASSERT_TRUE(f.Paper().InvertSelection(f.Flow(), 1, true));
  EXPECT_EQ(f.Last().code, 3);
  EXPECT_EQ(f.NewestUndo()->code, kUndoInvertMask);
  EXPECT_FALSE(f.NewestUndo()->HasHeld());
  EXPECT_EQ(f.Active().bytes, std::vector<uint8_t>(40 * 30, 0));
  ASSERT_TRUE(f.Paper().InvertSelection(f.Flow(), 1, true));
  ASSERT_TRUE(f.SelectBox(0, 10, 5, 15));
  const MaskState box = f.Active();

  // OffsetMask: (0, 0) is refused; a move records dx, dy and moves the selection.
  EXPECT_FALSE(f.Paper().OffsetMask(f.Flow(), 1, true, 0, 0));
  ASSERT_TRUE(f.Paper().OffsetMask(f.Flow(), 1, true, 7, -3));
  StreamPacket packet = f.Last();
  EXPECT_EQ(packet.code, 8);
  std::vector<uint8_t> expected = Bytes({1, 0, 0, 0});
  test::AppendI32(expected, 7);
  test::AppendI32(expected, -3);
  EXPECT_EQ(packet.payload, expected);
  EXPECT_EQ(f.Paper().GetActiveMask()->ValueAtCanvas(7, 7), 255);
  EXPECT_NE(f.Paper().GetActiveMask()->ValueAtCanvas(0, 10), 255);

  // The moved box sticks out of the canvas on no side; grow it and shrink it back.
  const MaskState moved = f.Active();
  ASSERT_TRUE(f.Paper().GrowSelectionOnePixel(f.Flow(), 1, true, true, -1));
  EXPECT_EQ(f.Last().code, 10);
  EXPECT_EQ(f.Paper().GetActiveMask()->ValueAtCanvas(6, 6), 255);
  ASSERT_TRUE(f.Paper().ShrinkSelectionOnePixel(f.Flow(), 1, true, -1));
  EXPECT_EQ(f.Paper().GetActiveMask()->ValueAtCanvas(6, 6), 0);
  EXPECT_EQ(f.Paper().GetActiveMask()->ValueAtCanvas(7, 7), 255);

  // Back through shrink, grow, offset to the box, through the inversions to select all, to none.
  ASSERT_TRUE(f.Undo());
  ASSERT_TRUE(f.Undo());
  EXPECT_EQ(f.Active(), moved);
  ASSERT_TRUE(f.Undo());
  EXPECT_EQ(f.Active(), box);
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(f.Undo());
  EXPECT_EQ(f.Active(), states[1]);
  ASSERT_TRUE(f.Undo());
  EXPECT_EQ(f.Active(), states[0]);
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(f.Redo());
  EXPECT_EQ(f.Active(), moved);
}

TEST(SelectionCommands, InvertOfAMaskOutsideTheCanvasHoldsTheOldMask) {
  SelectionFixture f;
  ASSERT_TRUE(f.SelectBox(0, 0, 4, 4));
  ASSERT_TRUE(f.Paper().OffsetMask(f.Flow(), 1, true, -2, 0));  // sticks out on the left
  const MaskState before = f.Active();
  ASSERT_TRUE(f.Paper().InvertSelection(f.Flow(), 1, true));
  EXPECT_EQ(f.NewestUndo()->code, kUndoMaskPixels);
  EXPECT_TRUE(f.NewestUndo()->HasHeld());
  ASSERT_TRUE(f.Undo());
  EXPECT_EQ(f.Active(), before);
}

TEST(SelectionCommands, GrowAtTheStoreEdgeWidensTheStoreAndKeepsCanvasPlaces) {
  SelectionFixture f;
  ASSERT_TRUE(f.SelectBox(0, 5, 3, 8));  // touches the store's left edge
  const CMaskData* before = f.Paper().GetActiveMask();
  const int32_t width = before->Store()->Width();
  const int32_t height = before->Store()->Height();
  const int32_t offsetX = before->offsetX;
  ASSERT_TRUE(f.Paper().GrowSelectionOnePixel(f.Flow(), 1, true, true, -1));
  const CMaskData* after = f.Paper().GetActiveMask();
  EXPECT_EQ(after->Store()->Width(), width + 1);
  EXPECT_EQ(after->Store()->Height(), height);
  EXPECT_EQ(after->offsetX, offsetX + 1);
  EXPECT_EQ(after->ValueAtCanvas(0, 5), 255);
  EXPECT_EQ(after->ValueAtCanvas(-1, 6), 255);  // grown past the old edge
  EXPECT_EQ(after->ValueAtCanvas(4, 6), 255);
  EXPECT_EQ(after->ValueAtCanvas(5, 6), 0);
}

TEST(SelectionCommands, CancelLeavesTheSwitchesAndUndoBringsTheSelectionBack) {
  SelectionFixture f;
  ASSERT_TRUE(f.SelectBox(2, 2, 6, 6));
  const MaskState selected = f.Active();
  ASSERT_TRUE(f.Paper().CancelSelection(f.Flow(), 1, true));
  EXPECT_EQ(f.Last().code, 1);
  EXPECT_FALSE(f.Paper().HasSelection());
  EXPECT_EQ(f.Paper().selectionEnabled, 1);
  EXPECT_FALSE(f.Paper().CancelSelection(f.Flow(), 1, true));  // nothing left to cancel
  ASSERT_TRUE(f.Undo());
  EXPECT_EQ(f.Active(), selected);
}

TEST(SelectionCommands, SwitchesRecordTheFlagsWordAndUndoRestoresIt) {
  SelectionFixture f;
  ASSERT_TRUE(f.SelectBox(2, 2, 6, 6));
  EXPECT_EQ(f.Paper().SetSelectionVisible(f.Flow(), 1, true, false), 0);
  StreamPacket packet = f.Last();
  EXPECT_EQ(packet.code, 13);
  std::vector<uint8_t> expected = Bytes({1, 0, 0, 0});
  test::AppendI32(expected, 65537);
  test::AppendI32(expected, 65536);
  EXPECT_EQ(packet.payload, expected);
  EXPECT_EQ(f.Paper().SetSelectionEnabled(f.Flow(), 1, true, false), 0);
  packet = f.Last();
  EXPECT_EQ(packet.code, 14);
  expected = Bytes({1, 0, 0, 0});
  test::AppendI32(expected, 65536);
  test::AppendI32(expected, 0);
  EXPECT_EQ(packet.payload, expected);
  // Setting the byte it has already records nothing.
  const int32_t steps = f.Steps();
  EXPECT_EQ(f.Paper().SetSelectionEnabled(f.Flow(), 1, true, false), 0);
  EXPECT_EQ(f.Steps(), steps);
  ASSERT_TRUE(f.Undo());
  EXPECT_EQ(f.Paper().selectionEnabled, 1);
  EXPECT_EQ(f.Paper().selectionVisible, 0);
  ASSERT_TRUE(f.Undo());
  EXPECT_EQ(f.Paper().selectionVisible, 1);
  ASSERT_TRUE(f.Redo());
  ASSERT_TRUE(f.Redo());
  EXPECT_EQ(f.Paper().selectionEnabled, 0);
  EXPECT_EQ(f.Paper().selectionVisible, 0);
}

// ---------------------------------------------------------------------------------------------
// The mask list

TEST(SelectionCommands, NewMaskAboveTheActiveOneAndUndoRestoresTheActiveIndex) {
  SelectionFixture f;
  ASSERT_EQ(f.Masks().GetCount(), 1);
  ASSERT_TRUE(f.Paper().NewMask(f.Flow(), 1, true, -1));
  EXPECT_EQ(f.Last().code, 0);
  EXPECT_EQ(f.Last().payload, Bytes({1, 0, 1, 0}));
  EXPECT_EQ(f.Masks().GetCount(), 2);
  EXPECT_EQ(f.Masks().GetActiveIndex(), 1);
  const int32_t id = f.Masks().GetMask(1)->id;
  ASSERT_TRUE(f.Undo());
  EXPECT_EQ(f.Masks().GetCount(), 1);
  EXPECT_EQ(f.Masks().GetActiveIndex(), 0);
  ASSERT_TRUE(f.Redo());
  EXPECT_EQ(f.Masks().GetMask(1)->id, id);
  EXPECT_EQ(f.Masks().GetActiveIndex(), 1);
}

TEST(SelectionCommands, DeleteDuplicateMoveActivateAndRenameUndoExactly) {
  SelectionFixture f;
  EXPECT_FALSE(f.Paper().DeleteMask(f.Flow(), 1, true, 0));  // a single mask stays
  ASSERT_TRUE(f.SelectBox(1, 1, 3, 3));
  ASSERT_TRUE(f.Paper().DuplicateMask(f.Flow(), 1, true, 0));
  EXPECT_EQ(f.Masks().GetCount(), 2);
  EXPECT_EQ(f.Masks().GetActiveIndex(), 0);
  EXPECT_EQ(StateOf(f.Masks().GetMask(0)).bytes, StateOf(f.Masks().GetMask(1)).bytes);
  ASSERT_TRUE(f.Paper().NewMask(f.Flow(), 1, true, 2));
  ASSERT_EQ(f.Masks().GetCount(), 3);
  const int32_t ids[3] = {f.Masks().GetMask(0)->id, f.Masks().GetMask(1)->id, f.Masks().GetMask(2)->id};

  // Deleting the last of several leaves the new last one active.
  ASSERT_TRUE(f.Paper().DeleteMask(f.Flow(), 1, true, 2));
  EXPECT_EQ(f.Last().code, 2);
  EXPECT_EQ(f.Masks().GetCount(), 2);
  EXPECT_EQ(f.Masks().GetActiveIndex(), 1);
  ASSERT_TRUE(f.Undo());
  EXPECT_EQ(f.Masks().GetMask(2)->id, ids[2]);
  EXPECT_EQ(f.Masks().GetActiveIndex(), 2);

  ASSERT_TRUE(f.Paper().MoveMask(f.Flow(), 1, true, 0, 2));
  EXPECT_EQ(f.Last().code, 7);
  EXPECT_EQ(f.Masks().GetMask(2)->id, ids[0]);
  EXPECT_EQ(f.Masks().GetActiveIndex(), 2);
  ASSERT_TRUE(f.Undo());
  EXPECT_EQ(f.Masks().GetMask(0)->id, ids[0]);
  EXPECT_EQ(f.Masks().GetMask(2)->id, ids[2]);

  // An index equal to the count appends an empty mask; undo takes it away again.
  ASSERT_TRUE(f.Paper().SetActiveMask(f.Flow(), 1, true, 3));
  EXPECT_EQ(f.Last().code, 5);
  EXPECT_EQ(f.Masks().GetCount(), 4);
  EXPECT_EQ(f.Masks().GetActiveIndex(), 3);
  ASSERT_TRUE(f.Undo());
  EXPECT_EQ(f.Masks().GetCount(), 3);
  ASSERT_TRUE(f.Paper().SetActiveMask(f.Flow(), 1, true, 1));
  ASSERT_TRUE(f.Undo());
  EXPECT_NE(f.Masks().GetActiveIndex(), 1);

  const std::string oldName = f.Masks().GetMask(1)->name;
  ASSERT_TRUE(f.Paper().RenameMask(f.Flow(), 1, true, "edge", 1));
  StreamPacket packet = f.Last();
  EXPECT_EQ(packet.code, 12);
  EXPECT_EQ(packet.payload, Bytes({1, 0, 6, 0, 'e', 'd', 'g', 'e', 0, 0}));
  EXPECT_EQ(f.Masks().GetMask(1)->name, "edge");
  ASSERT_TRUE(f.Undo());
  EXPECT_EQ(f.Masks().GetMask(1)->name, oldName);
  ASSERT_TRUE(f.Redo());
  EXPECT_EQ(f.Masks().GetMask(1)->name, "edge");
}

TEST(SelectionCommands, CombineTrimAndMaskFromLayerUndoExactly) {
  SelectionFixture f;
  ASSERT_TRUE(f.SelectBox(0, 0, 4, 4));
  ASSERT_TRUE(f.Paper().NewMask(f.Flow(), 1, true, -1));
  ASSERT_TRUE(f.SelectBox(10, 10, 14, 14));
  const MaskState target = StateOf(f.Masks().GetMask(1));
  ASSERT_TRUE(f.Paper().CombineMasks(f.Flow(), 1, true, 1, 0, 1));
  StreamPacket packet = f.Last();
  EXPECT_EQ(packet.code, 9);
  std::vector<uint8_t> expected = Bytes({1, 0, 0, 0});
  test::AppendI32(expected, 1);
  test::AppendI32(expected, 1);
  EXPECT_EQ(packet.payload, expected);
  EXPECT_EQ(f.Masks().GetMask(1)->ValueAtCanvas(2, 2), 255);
  EXPECT_EQ(f.Masks().GetMask(1)->ValueAtCanvas(12, 12), 255);
  ASSERT_TRUE(f.Undo());
  EXPECT_EQ(StateOf(f.Masks().GetMask(1)), target);

  // Trim: refused inside the canvas, done once the mask sticks out.
  EXPECT_FALSE(f.Paper().TrimOutMask(f.Flow(), 1, true, 1));
  ASSERT_TRUE(f.Paper().OffsetMask(f.Flow(), 1, true, 30, 0));
  const MaskState outside = f.Active();
  ASSERT_TRUE(f.Paper().TrimOutMask(f.Flow(), 1, true, 1));
  EXPECT_EQ(f.Last().code, 6);
  EXPECT_EQ(f.Paper().GetActiveMask()->Store()->Width(), 40);
  ASSERT_TRUE(f.Undo());
  EXPECT_EQ(f.Active(), outside);

  // A mask from the layer's alpha, above mask 0.
  SRectWH clear{0, 0, 20, 30};
  f.Layer(0).Store()->FillRect(clear, 0x00FFFFFFu);
  const int32_t count = f.Masks().GetCount();
  ASSERT_TRUE(f.Paper().NewMaskFromLayer(f.Flow(), 0, true, 0, 1, 0));
  EXPECT_EQ(f.Last().code, 22);
  EXPECT_EQ(f.Masks().GetCount(), count + 1);
  EXPECT_EQ(f.Masks().GetActiveIndex(), 1);
  EXPECT_EQ(f.Paper().GetActiveMask()->ValueAtCanvas(5, 5), 0);
  EXPECT_EQ(f.Paper().GetActiveMask()->ValueAtCanvas(25, 5), 255);
  ASSERT_TRUE(f.Undo());
  EXPECT_EQ(f.Masks().GetCount(), count);
  ASSERT_TRUE(f.Redo());
  EXPECT_EQ(f.Masks().GetCount(), count + 1);
}

// ---------------------------------------------------------------------------------------------
// The selected part of a layer

TEST(SelectionCommands, SelectionToNewLayerCutsTheSourceAndUndoRestoresEverything) {
  SelectionFixture f;
  ASSERT_TRUE(f.SelectBox(5, 5, 14, 14));
  f.Paper().SelectLayer(f.Flow(), 1);
  const std::vector<uint32_t> source = Pixels(f.Layer(1));
  ASSERT_TRUE(f.Paper().SelectionToNewLayer(f.Flow(), 1, true, false, 1, -1));
  StreamPacket packet = f.Last();
  EXPECT_EQ(packet.code, 24);
  std::vector<uint8_t> expected = Bytes({1, 0, 0, 0});
  test::AppendI32(expected, 1);
  test::AppendI32(expected, 0);
  EXPECT_EQ(packet.payload, expected);
  ASSERT_EQ(f.Layers().Count(), 3);
  EXPECT_EQ(f.Paper().GetActiveLayerIndex(), 2);
  EXPECT_EQ(f.Layer(2).Store()->GetPixel(7, 7) >> 24, 255u);
  EXPECT_EQ(f.Layer(2).Store()->GetPixel(2, 2) >> 24, 0u);
  EXPECT_EQ(f.Layer(1).Store()->GetPixel(7, 7) >> 24, 0u);
  EXPECT_EQ(f.Layer(1).Store()->GetPixel(2, 2) >> 24, 255u);
  const std::vector<uint32_t> cut = Pixels(f.Layer(1));
  const std::vector<uint32_t> made = Pixels(f.Layer(2));

  ASSERT_TRUE(f.Undo());
  ASSERT_EQ(f.Layers().Count(), 2);
  EXPECT_EQ(Pixels(f.Layer(1)), source);
  ASSERT_TRUE(f.Redo());
  ASSERT_EQ(f.Layers().Count(), 3);
  EXPECT_EQ(Pixels(f.Layer(1)), cut);
  EXPECT_EQ(Pixels(f.Layer(2)), made);

  // Keeping the source: a copy only.
  ASSERT_TRUE(f.Paper().SelectionToNewLayer(f.Flow(), 1, true, true, 1, -1));
  EXPECT_EQ(f.Layers().Count(), 4);
  EXPECT_EQ(Pixels(f.Layer(1)), cut);
}

TEST(SelectionCommands, SelectionToNewLayerRefusedForAFullStackLeavesTheSourceWhole) {
  SelectionFixture f;
  ASSERT_TRUE(f.SelectBox(5, 5, 14, 14));
  while (f.Paper().CanAddLayer(-1)) {
    ASSERT_GE(f.Layers().InsertLayer(f.Layers().Count(), 4, 4, false, 255, false, 3), 0);
  }
  const std::vector<uint32_t> source = Pixels(f.Layer(1));
  const int32_t steps = f.Steps();
  const int32_t count = f.Layers().Count();
  EXPECT_FALSE(f.Paper().SelectionToNewLayer(f.Flow(), 1, true, false, 1, -1));
  EXPECT_EQ(Pixels(f.Layer(1)), source);
  EXPECT_EQ(f.Layers().Count(), count);
  EXPECT_EQ(f.Steps(), steps);
}

TEST(SelectionCommands, CutSelectionCutsOnlyWhenTheClipboardTookItAndUndoRestores) {
  SelectionFixture f;
  ASSERT_TRUE(f.SelectBox(5, 5, 14, 14));
  const std::vector<uint32_t> source = Pixels(f.Layer(1));
  const int32_t steps = f.Steps();
  f.window->clipboardWorks = false;
  EXPECT_FALSE(f.Paper().CutSelection(f.Flow(), 1, true, -1));
  EXPECT_EQ(f.window->copies, 1);
  EXPECT_EQ(Pixels(f.Layer(1)), source);
  EXPECT_EQ(f.Steps(), steps);

  f.window->clipboardWorks = true;
  ASSERT_TRUE(f.Paper().CutSelection(f.Flow(), 1, true, -1));
  EXPECT_EQ(f.window->copies, 2);
  EXPECT_EQ(f.window->lastMask, 0);
  StreamPacket packet = f.Last();
  EXPECT_EQ(packet.cls, 4);
  EXPECT_EQ(packet.code, 9);
  EXPECT_EQ(packet.payload, Bytes({1, 0, 0, 0}));
  EXPECT_EQ(f.Layer(1).Store()->GetPixel(7, 7) >> 24, 0u);
  ASSERT_TRUE(f.Undo());
  EXPECT_EQ(Pixels(f.Layer(1)), source);
}

TEST(SelectionCommands, CutSelectionWithoutRecordNeverTouchesTheClipboardAndAlwaysCuts) {
  SelectionFixture f;
  ASSERT_TRUE(f.SelectBox(5, 5, 14, 14));
  f.window->clipboardWorks = false;
  ASSERT_TRUE(f.Paper().CutSelection(f.Flow(), 1, false, -1));
  EXPECT_EQ(f.window->copies, 0);
  EXPECT_EQ(f.Layer(1).Store()->GetPixel(7, 7) >> 24, 0u);
}

TEST(SelectionCommands, SelectionToLayerAlphaMakesTheMaskTheAlphaAndUndoRestores) {
  SelectionFixture f;
  ASSERT_TRUE(f.SelectBox(5, 5, 14, 14));
  const std::vector<uint32_t> source = Pixels(f.Layer(0));
  ASSERT_TRUE(f.Paper().SelectionToLayerAlpha(f.Flow(), 0, true, -1));
  EXPECT_EQ(f.Last().code, 21);
  EXPECT_EQ(f.Last().payload, Bytes({0, 0, 0, 0}));
  EXPECT_EQ(f.Layer(0).Store()->GetPixel(7, 7) >> 24, 255u);
  EXPECT_EQ(f.Layer(0).Store()->GetPixel(2, 2) >> 24, 0u);
  ASSERT_TRUE(f.Undo());
  EXPECT_EQ(Pixels(f.Layer(0)), source);
}

// ---------------------------------------------------------------------------------------------
// Refusals: every layer and mask argument is range-tested first

TEST(SelectionCommands, OutOfRangeLayerAndMaskArgumentsAreRefusedWithoutATrace) {
  SelectionFixture f;
  ASSERT_TRUE(f.SelectBox(5, 5, 14, 14));
  TPaper& p = f.Paper();
  TFlowImage* flow = f.Flow();
  struct Case {
    const char* name;
    std::function<bool()> run;
  };
  const Case cases[] = {
      {"SelectAll layer 2", [&] { return p.SelectAll(flow, 2, true); }},
      {"SelectAll layer -1", [&] { return p.SelectAll(flow, -1, true); }},
      {"SelectFromWorkChannel layer 9", [&] { return p.SelectFromWorkChannel(flow, 9, true, 0); }},
      {"SelectFromWorkChannel mode 4", [&] { return p.SelectFromWorkChannel(flow, 1, true, 4); }},
      {"NewMaskFromLayer layer 2", [&] { return p.NewMaskFromLayer(flow, 2, true, 0, 1, 0); }},
      {"NewMaskFromLayer mask 5", [&] { return p.NewMaskFromLayer(flow, 0, true, 0, 1, 5); }},
      {"NewMaskFromLayer kind 2", [&] { return p.NewMaskFromLayer(flow, 0, true, 0, 2, 0); }},
      {"CutSelection layer 2", [&] { return p.CutSelection(flow, 2, true, -1); }},
      {"CutSelection mask 1", [&] { return p.CutSelection(flow, 1, true, 1); }},
      {"CutSelection mask -2", [&] { return p.CutSelection(flow, 1, true, -2); }},
      {"DeleteMask mask 1 of 1", [&] { return p.DeleteMask(flow, 1, true, 1); }},
      {"SetActiveMask 2 of 1", [&] { return p.SetActiveMask(flow, 1, true, 2); }},
      {"SetActiveMask -5", [&] { return p.SetActiveMask(flow, 1, true, -5); }},
      {"SelectionToLayerAlpha layer 2", [&] { return p.SelectionToLayerAlpha(flow, 2, true, -1); }},
      {"SelectionToLayerAlpha mask 3", [&] { return p.SelectionToLayerAlpha(flow, 0, true, 3); }},
      {"SelectionToNewLayer layer -3", [&] { return p.SelectionToNewLayer(flow, -3, true, false, 1, -1); }},
      {"SelectionToNewLayer mask 1", [&] { return p.SelectionToNewLayer(flow, 1, true, false, 1, 1); }},
      {"SelectRect layer 2",
       [&] {
         return p.SelectRect(flow, 2, true, 0, TPoint{0, 0}, TPoint{4, 4});
       }},
      {"SelectRect mode 4",
       [&] {
         return p.SelectRect(flow, 1, true, 4, TPoint{0, 0}, TPoint{4, 4});
       }},
      {"DuplicateMask mask 1", [&] { return p.DuplicateMask(flow, 1, true, 1); }},
      {"TrimOutMask mask 7", [&] { return p.TrimOutMask(flow, 1, true, 7); }},
      {"MoveMask from 3", [&] { return p.MoveMask(flow, 1, true, 3, 0); }},
      {"CombineMasks source 2", [&] { return p.CombineMasks(flow, 1, true, 1, 2, 0); }},
      {"RenameMask mask 4", [&] { return p.RenameMask(flow, 1, true, "x", 4); }},
      {"NewMask at 3 of 1", [&] { return p.NewMask(flow, 1, true, 3); }},
      {"GrowSelectionOnePixel mask 1", [&] { return p.GrowSelectionOnePixel(flow, 1, true, true, 1); }},
  };
  const MaskState mask = f.Active();
  const std::vector<uint32_t> layer0 = Pixels(f.Layer(0));
  const std::vector<uint32_t> layer1 = Pixels(f.Layer(1));
  for (const Case& c : cases) {
    const int32_t steps = f.Steps();
    const int32_t undos = f.UndoCount();
    EXPECT_FALSE(c.run()) << c.name;
    EXPECT_EQ(f.Steps(), steps) << c.name;
    EXPECT_EQ(f.UndoCount(), undos) << c.name;
    EXPECT_EQ(f.Masks().GetCount(), 1) << c.name;
    EXPECT_EQ(f.Layers().Count(), 2) << c.name;
  }
  EXPECT_EQ(f.Active(), mask);
  EXPECT_EQ(Pixels(f.Layer(0)), layer0);
  EXPECT_EQ(Pixels(f.Layer(1)), layer1);
  EXPECT_EQ(f.window->copies, 0);
}

TEST(SelectionCommands, SelectFromWorkChannelCombinesTheChannelAndClearsIt) {
  SelectionFixture f;
  f.Paper().SyncFlowImage(f.Flow(), 1, false);
  TChannel& channel = f.Flow()->WorkChannel();
  for (int32_t y = 3; y < 6; ++y)
    for (int32_t x = 3; x < 8; ++x) *channel.GetPixelPtr(x, y) = 200;
  const int32_t steps = f.Steps();
  ASSERT_TRUE(f.Paper().SelectFromWorkChannel(f.Flow(), 1, true));
  EXPECT_EQ(f.Steps(), steps);  // no event of its own: its caller (the text tool) records
  f.stepsBeforeUndo -= 1;       // its undo record stands without a step here
  EXPECT_EQ(f.Paper().GetActiveMask()->ValueAtCanvas(4, 4), 200);
  EXPECT_EQ(f.Paper().selectionEnabled, 1);
  TRect left{};
  EXPECT_FALSE(channel.GetNonZeroBounds(left));
  // Refused, the channel is cleared all the same.
  *channel.GetPixelPtr(1, 1) = 9;
  EXPECT_FALSE(f.Paper().SelectFromWorkChannel(f.Flow(), 5, true));
  EXPECT_FALSE(channel.GetNonZeroBounds(left));
}

}  // namespace
}  // namespace tf
