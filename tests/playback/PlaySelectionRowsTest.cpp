// The player rows of the mask and selection commands: each command recorded in one document and
// played into a twin gives the same masks, layers and switches byte for byte; packets that lie
// about their counts or indexes fail.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "document/LayerMngr.h"
#include "document/Mask.h"
#include "paper/FlowImage.h"
#include "paper/HeadlessWindow.h"
#include "paper/Paper.h"
#include "paper/UndoMngrEx.h"
#include "playback/PlayRowHarness.h"
#include "playback/PlayRows.h"
#include "raster/BlockVCH.h"
#include "raster/BlockVMTC.h"
#include "support/FakeKeyState.h"
#include "support/FakeRecordSources.h"

namespace tf {
namespace {

using test::LastRecordedCommand;
using test::PlayRecordedCommand;
using test::RecordedCommand;

class TestHost : public PaperHost {
 public:
  SPaperSettings Settings() override {
    SPaperSettings s;
    s.undoMax = 16;
    return s;
  }
  IRecordedStroke* MainRecordedStroke() override { return &stroke; }
  IRecordedTones* MainRecordedTones() override { return &tones; }
  FakeRecordedStroke stroke;
  FakeRecordedTones tones;
};

// A window whose clipboard copy always works and is counted.
class CountingWindow : public HeadlessDocumentWindow {
 public:
  bool CopySelectionToClipboard(int32_t, int32_t) override {
    ++copies;
    return true;
  }
  int32_t copies = 0;
};

// One document of 40 x 30 with two painted layers (a gradient, so that cuts and copies show).
struct Doc {
  Doc() {
    window = std::make_unique<CountingWindow>();
    EXPECT_TRUE(Paper().NewDocument("p", Flow(), false, false, 72, 30, 40));
    EXPECT_TRUE(Paper().AddLayer(Flow(), 1, false, true, 255, 0, 30, 40));
    for (int32_t i = 0; i < 2; ++i)
      for (int32_t y = 0; y < 30; ++y)
        for (int32_t x = 0; x < 40; ++x)
          *Paper().GetLayer(i)->Store()->WritePtr(x, y) =
              (static_cast<uint32_t>(x * 6) << 24) | static_cast<uint32_t>(y * 8 + i);
  }
  TPaper& Paper() { return window->Paper(); }
  TFlowImage* Flow() { return &window->Flow(); }
  std::unique_ptr<CountingWindow> window;
};

// Masks, layers, active indexes and the switches, as one comparable record.
struct DocState {
  int32_t activeMask = 0, activeLayer = 0;
  uint8_t enabled = 0, visible = 0;
  std::vector<std::string> masks;
  std::vector<std::vector<uint32_t>> layers;
  bool operator==(const DocState&) const = default;
};

DocState StateOf(TPaper& paper) {
  DocState s;
  s.activeMask = paper.GetActiveMaskIndex();
  s.activeLayer = paper.GetActiveLayerIndex();
  s.enabled = paper.selectionEnabled;
  s.visible = paper.selectionVisible;
  for (int32_t i = 0; i < paper.GetMaskCount(); ++i) {
    const CMaskData* m = paper.GetMask(i);
    std::string text = m->name + "|" + std::to_string(m->offsetX) + "," + std::to_string(m->offsetY);
    if (m->IsAllocated()) {
      text += "|" + std::to_string(m->Store()->Width()) + "x" + std::to_string(m->Store()->Height()) + "|";
      for (int32_t y = 0; y < m->Store()->Height(); ++y)
        for (int32_t x = 0; x < m->Store()->Width(); ++x) text += static_cast<char>(m->Store()->GetPixel(x, y));
    }
    s.masks.push_back(text);
  }
  for (int32_t i = 0; i < paper.GetLayerCount(); ++i) {
    const CLayerData* layer = paper.GetLayer(i);
    std::vector<uint32_t> pixels{static_cast<uint32_t>(layer->offsetX), static_cast<uint32_t>(layer->offsetY)};
    for (int32_t y = 0; y < layer->StoreHeight(); ++y)
      for (int32_t x = 0; x < layer->StoreWidth(); ++x) pixels.push_back(layer->Store()->GetPixel(x, y));
    s.layers.push_back(std::move(pixels));
  }
  return s;
}

// Two twin documents: the same set-up runs in both without recording; then the command records
// in A, its packet plays into B, and both must end alike.
struct PlayFixture {
  PlayFixture() : previous(SetPaperHost(&host)), stroke(0) {}
  ~PlayFixture() { SetPaperHost(previous); }

  void Prepare(const std::function<void(Doc&)>& setup) {
    setup(a);
    setup(b);
    ASSERT_EQ(StateOf(a.Paper()), StateOf(b.Paper()));
  }
  // Records the command in A and plays it into B; the row must succeed and the states match.
  void RecordAndPlay(const char* name, const std::function<bool(Doc&)>& command, uint8_t cls, uint8_t code,
                     int32_t appVersion = 400) {
    const int32_t steps = a.Paper().EventMngr()->stepCount();
    ASSERT_TRUE(command(a)) << name;
    ASSERT_EQ(a.Paper().EventMngr()->stepCount(), steps + 1) << name;
    played = LastRecordedCommand(*a.Paper().EventMngr());
    ASSERT_TRUE(played.found) << name;
    EXPECT_EQ(played.frame.header.cls, cls) << name;
    EXPECT_EQ(played.frame.header.code, code) << name;
    EXPECT_TRUE(PlayRecordedCommand(SelectionPlayRows(), played, b.Paper(), b.Flow(), stroke, appVersion))
        << name;
    EXPECT_EQ(StateOf(a.Paper()), StateOf(b.Paper())) << name;
  }

  TestHost host;
  PaperHost* previous;
  test::FakeKeyState keys;
  Doc a, b;
  TStroke stroke;
  RecordedCommand played;
};

void SelectBox(Doc& d) { d.Paper().SelectRect(d.Flow(), 1, false, 0, TPoint{4, 5}, TPoint{17, 12}); }

void TwoMasks(Doc& d) {
  SelectBox(d);
  d.Paper().NewMask(d.Flow(), 1, false, -1);
  d.Paper().SelectRect(d.Flow(), 1, false, 0, TPoint{10, 2}, TPoint{30, 20});
}

TEST(PlaySelectionRows, EveryRowReplaysItsCommandExactly) {
  struct Case {
    const char* name;
    std::function<void(Doc&)> setup;
    std::function<bool(Doc&)> command;
    uint8_t cls;
    uint8_t code;
  };
  auto none = [](Doc&) {};
  const TPoint triangle[4] = {{3, 3}, {35, 4}, {20, 27}, {8, 20}};
  const Case cases[] = {
      {"NewMask", none, [](Doc& d) { return d.Paper().NewMask(d.Flow(), 1, true, -1); }, 10, 0},
      {"CancelSelection", SelectBox, [](Doc& d) { return d.Paper().CancelSelection(d.Flow(), 1, true); }, 10, 1},
      {"DeleteMask", TwoMasks, [](Doc& d) { return d.Paper().DeleteMask(d.Flow(), 1, true, 0); }, 10, 2},
      {"InvertSelection", SelectBox, [](Doc& d) { return d.Paper().InvertSelection(d.Flow(), 1, true); }, 10, 3},
      {"DuplicateMask", TwoMasks, [](Doc& d) { return d.Paper().DuplicateMask(d.Flow(), 1, true, 0); }, 10, 4},
      {"SetActiveMask", TwoMasks, [](Doc& d) { return d.Paper().SetActiveMask(d.Flow(), 1, true, 0); }, 10, 5},
      {"SetActiveMask appends", TwoMasks, [](Doc& d) { return d.Paper().SetActiveMask(d.Flow(), 1, true, 2); },
       10, 5},
      {"TrimOutMask",
       [](Doc& d) {
         SelectBox(d);
         d.Paper().OffsetMask(d.Flow(), 1, false, 30, 0);
       },
       [](Doc& d) { return d.Paper().TrimOutMask(d.Flow(), 1, true, -1); }, 10, 6},
      {"MoveMask", TwoMasks, [](Doc& d) { return d.Paper().MoveMask(d.Flow(), 1, true, 1, 0); }, 10, 7},
      {"OffsetMask", SelectBox, [](Doc& d) { return d.Paper().OffsetMask(d.Flow(), 1, true, -5, 9); }, 10, 8},
      {"CombineMasks intersect", TwoMasks,
       [](Doc& d) { return d.Paper().CombineMasks(d.Flow(), 1, true, 3, 0, 1); }, 10, 9},
      {"GrowSelectionOnePixel", SelectBox,
       [](Doc& d) { return d.Paper().GrowSelectionOnePixel(d.Flow(), 1, true, true, -1); }, 10, 10},
      {"ShrinkSelectionOnePixel", SelectBox,
       [](Doc& d) { return d.Paper().ShrinkSelectionOnePixel(d.Flow(), 1, true, -1); }, 10, 10},
      {"GrowSelectionOnePixelInStore", SelectBox,
       [](Doc& d) { return d.Paper().GrowSelectionOnePixelInStore(d.Flow(), 1, true, true, -1); }, 10, 10},
      {"SelectionToNewLayer kind 0", SelectBox,
       [](Doc& d) { return d.Paper().SelectionToNewLayer(d.Flow(), 1, true, false, 0, -1); }, 10, 11},
      {"RenameMask", TwoMasks,
       [](Doc& d) {
         return d.Paper().RenameMask(d.Flow(), 1, true,
                                     "\x83\x7D\x83\x58\x83\x4E"
                                     "9",
                                     0);
       },
       10, 12},
      {"SetSelectionVisible", SelectBox,
       [](Doc& d) { return d.Paper().SetSelectionVisible(d.Flow(), 1, true, false) == 0; }, 10, 13},
      {"SetSelectionEnabled", SelectBox,
       [](Doc& d) { return d.Paper().SetSelectionEnabled(d.Flow(), 1, true, false) == 0; }, 10, 14},
      {"SelectRect add", SelectBox,
       [](Doc& d) {
         return d.Paper().SelectRect(d.Flow(), 1, true, 1, TPoint{20, 20}, TPoint{30, 25});
       },
       10, 16},
      {"SelectPolygon subtract", SelectBox,
       [&triangle](Doc& d) { return d.Paper().SelectPolygon(d.Flow(), 1, true, 2, 4, triangle); }, 10, 18},
      {"SelectEllipse", none,
       [](Doc& d) {
         return d.Paper().SelectEllipse(d.Flow(), 1, true, 0, TPoint{-5, 3}, TPoint{25, 20}, true);
       },
       10, 19},
      {"SelectAll", SelectBox, [](Doc& d) { return d.Paper().SelectAll(d.Flow(), 0, true); }, 10, 20},
      {"SelectionToLayerAlpha", SelectBox,
       [](Doc& d) { return d.Paper().SelectionToLayerAlpha(d.Flow(), 0, true, -1); }, 10, 21},
      {"NewMaskFromLayer luminance", SelectBox,
       [](Doc& d) { return d.Paper().NewMaskFromLayer(d.Flow(), 0, true, 0, 0, 0); }, 10, 22},
      {"NewMaskFromLayer alpha", SelectBox,
       [](Doc& d) { return d.Paper().NewMaskFromLayer(d.Flow(), 1, true, 0, 1, -1); }, 10, 22},
      {"SelectionToNewLayer keep source", SelectBox,
       [](Doc& d) { return d.Paper().SelectionToNewLayer(d.Flow(), 1, true, true, 1, -1); }, 10, 24},
      {"SelectionToNewLayer cut kind 1", SelectBox,
       [](Doc& d) { return d.Paper().SelectionToNewLayer(d.Flow(), 1, true, false, 1, -1); }, 10, 24},
      {"CutSelection", SelectBox, [](Doc& d) { return d.Paper().CutSelection(d.Flow(), 1, true, -1); }, 4, 9},
  };
  for (const Case& c : cases) {
    PlayFixture f;
    f.Prepare(c.setup);
    f.RecordAndPlay(c.name, c.command, c.cls, c.code);
    if (c.cls == 4) {
      EXPECT_EQ(f.a.window->copies, 1);  // the recorded cut went to the clipboard
      EXPECT_EQ(f.b.window->copies, 0);  // the replay did not touch it
    }
  }
}

TEST(PlaySelectionRows, OlderEllipsePacketPlaysTheOlderEllipseUpToVersion305) {
  PlayFixture f;
  // An ellipse clipped by the store: the two variants differ there.
  const TPoint p1{-20, -10}, p2{25, 20};
  f.RecordAndPlay(
      "SelectEllipse", [&](Doc& d) { return d.Paper().SelectEllipse(d.Flow(), 1, true, 0, p1, p2, true); }, 10,
      19);
  // The same packet as the older code: above 305 the newer ellipse, up to 305 the older one.
  RecordedCommand older = f.played;
  older.frame.header.code = 17;
  Doc newer, old;
  ASSERT_TRUE(PlayRecordedCommand(SelectionPlayRows(), older, newer.Paper(), newer.Flow(), f.stroke, 306));
  ASSERT_TRUE(PlayRecordedCommand(SelectionPlayRows(), older, old.Paper(), old.Flow(), f.stroke, 305));
  Doc expectOld;
  ASSERT_TRUE(expectOld.Paper().SelectEllipse(expectOld.Flow(), 1, false, 0, p1, p2, false));
  EXPECT_EQ(StateOf(newer.Paper()).masks, StateOf(f.a.Paper()).masks);
  EXPECT_EQ(StateOf(old.Paper()).masks, StateOf(expectOld.Paper()).masks);
  EXPECT_NE(StateOf(old.Paper()).masks, StateOf(newer.Paper()).masks);  // the variants do differ here
}

// Payloads built by hand: short packets, counts beyond the points present, indexes out of range.
TEST(PlaySelectionRows, PacketsThatLieAboutCountsOrIndexesFail) {
  struct Case {
    const char* name;
    uint8_t cls;
    uint8_t code;
    std::vector<uint8_t> payload;
  };
  auto bytes = [](std::initializer_list<int> v) {
    std::vector<uint8_t> out;
    for (int x : v) out.push_back(static_cast<uint8_t>(x));
    return out;
  };
  std::vector<uint8_t> polygon = bytes({1, 0, 0, 0, 0, 0, 4, 0});  // promises 4 points
  for (int i = 0; i < 3; ++i)
    for (int v : {5, 0, 0, 0, 5, 0, 0, 0}) polygon.push_back(static_cast<uint8_t>(v + i));
  std::vector<uint8_t> polygonLong = bytes({1, 0, 0, 0, 0, 0, 3, 0});  // promises 3, holds 4
  for (int i = 0; i < 4; ++i)
    for (int v : {5, 0, 0, 0, 5, 0, 0, 0}) polygonLong.push_back(static_cast<uint8_t>(v + i * 3));
  const Case cases[] = {
      {"short mask op", 10, 20, bytes({1, 0})},
      {"short op with values", 10, 8, bytes({1, 0, 0, 0, 5, 0, 0, 0})},
      {"polygon count past the points", 10, 18, polygon},
      {"polygon count short of the points", 10, 18, polygonLong},
      {"rename longer than the packet", 10, 12, bytes({0, 0, 9, 0, 'a', 'b', 0, 0})},
      {"select all on layer 7", 10, 20, bytes({7, 0, 0, 0})},
      {"cut on mask 3", 4, 9, bytes({1, 0, 3, 0})},
      {"delete mask 5", 10, 2, bytes({1, 0, 5, 0})},
      {"active mask 9", 10, 5, bytes({1, 0, 9, 0})},
      {"mask from layer -4", 10, 22, bytes({0xFC, 0xFF, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0})},
      {"layer alpha on layer 2", 10, 21, bytes({2, 0, 0xFF, 0xFF})},
      {"rect in mode 9", 10, 16, bytes({1, 0, 0, 0, 9, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 0, 0, 4, 0, 0, 0})},
  };
  TestHost host;
  PaperHost* previous = SetPaperHost(&host);
  for (const Case& c : cases) {
    Doc d;
    SelectBox(d);
    const DocState before = StateOf(d.Paper());
    RecordedCommand command;
    command.found = true;
    command.frame.header.cls = c.cls;
    command.frame.header.code = c.code;
    command.frame.length = static_cast<int32_t>(c.payload.size());
    command.payload.Assign(c.payload);
    TStroke stroke(0);
    EXPECT_FALSE(PlayRecordedCommand(SelectionPlayRows(), command, d.Paper(), d.Flow(), stroke)) << c.name;
    EXPECT_EQ(StateOf(d.Paper()), before) << c.name;
  }
  SetPaperHost(previous);
}

// The state records of the active mask (code 8) and of the selection switch (code 12) once wrote
// the document's fields directly: the outline stayed that of the old mask, the window unrefreshed.
TEST(PlaySelectionRows, StateRecordsOfTheActiveMaskRetraceTheOutlineAndRefresh) {
  TestHost host;
  PaperHost* previous = SetPaperHost(&host);
  {
    Doc d;
    TwoMasks(d);  // mask 0 and 1 selected, mask 1 active
    TPaper& paper = d.Paper();
    ASSERT_TRUE(paper.NewMask(d.Flow(), 1, false, -1));  // mask 2, empty and active
    ASSERT_EQ(paper.GetActiveMaskIndex(), 2);
    EXPECT_FALSE(paper.MaskMngr()->HasOutline());
    TStroke stroke(0);
    auto play = [&](uint8_t code, const void* record, uint32_t size) {
      RecordedCommand command;
      command.found = true;
      command.frame.header.cls = kPcState;
      command.frame.header.code = code;
      command.frame.length = static_cast<int32_t>(size);
      command.payload.Assign(std::vector<uint8_t>(static_cast<const uint8_t*>(record),
                                                  static_cast<const uint8_t*>(record) + size));
      return PlayRecordedCommand(CorePlayRows(), command, paper, d.Flow(), stroke);
    };
    SActiveLayerRecord active{};
    active.layer = static_cast<int16_t>(1);
    active.mask = static_cast<int16_t>(0);
    const int32_t invalidations = d.window->invalidations;
    const int32_t steps = paper.EventMngr()->stepCount();
    ASSERT_TRUE(play(kStActiveLayer, &active, sizeof active));
    EXPECT_EQ(paper.GetActiveMaskIndex(), 0);
    EXPECT_TRUE(paper.MaskMngr()->HasOutline());  // the outline of the mask now active
    EXPECT_GT(d.window->invalidations, invalidations);
    EXPECT_EQ(paper.EventMngr()->stepCount(), steps);  // nothing recorded
    // The switch, on and off, through its own setter (no record, no undo).
    const int32_t undo = paper.UndoMngr() != nullptr ? paper.UndoMngr()->UndoCount() : 0;
    for (const uint16_t flags : {uint16_t{0x0001}, uint16_t{0x0000}, uint16_t{0x0001}}) {
      SFlagWordRecord word{};
      word.flags = flags;
      ASSERT_TRUE(play(kStFlagWord, &word, sizeof word));
      EXPECT_EQ(paper.selectionEnabled, flags & 1);
    }
    EXPECT_EQ(paper.UndoMngr() != nullptr ? paper.UndoMngr()->UndoCount() : 0, undo);
  }
  SetPaperHost(previous);
}

TEST(PlaySelectionRows, RowsCoverTheirPairsOnceAndLeaveGrowAndShrinkByNToTheirOwner) {
  std::vector<int> codes;
  for (const SPlayRow& row : SelectionPlayRows()) {
    for (const SPlayRow& other : SelectionPlayRows())
      if (&row != &other) {
        EXPECT_FALSE(row.cls == other.cls && row.code == other.code) << row.name;
      }
    if (row.cls == 10) codes.push_back(row.code);
  }
  const std::vector<int> expected{0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11,
                                  12, 13, 14, 16, 17, 18, 19, 20, 21, 22, 24};
  EXPECT_EQ(codes, expected);
  EXPECT_NE(test::FindRow(SelectionPlayRows(), 4, 9), nullptr);
}

}  // namespace
}  // namespace tf
