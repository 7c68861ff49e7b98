#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/ToolKeys.h"
#include "app/ToolSelect.h"
#include "paint/PaintParam.h"
#include "paint/ToolDefs.h"
#include "platform/Host.h"

namespace tf {
namespace {

// Records what the selection touches; the density edit and engine are plain values.
struct FakeSelectionHost : ToolSelectionHost {
  float density = 100.0f;
  bool densityEnabled = true;
  uint8_t shape = 0;
  int32_t engine = 2;
  bool autoFreeHand = false;
  bool window = false;
  int32_t refreshes = 0;
  int32_t toggles = 0;
  std::vector<std::string> calls;
  CToolSelection* selection = nullptr;
  uint8_t reenterKind = 255;  // a change handler that selects a tool while the density is set

  float ToolDensity() override { return density; }
  void SetToolDensity(float percent) override {
    density = percent;
    if (reenterKind != 255 && selection) selection->SelectTool(reenterKind);
  }
  void EnableToolDensity(bool enabled) override { densityEnabled = enabled; }
  uint8_t SubPaintShape() override { return shape; }
  void SetSubPaintShape(uint8_t s) override { shape = s; }
  void PressGroupButton(uint8_t group, TtFGlyphType glyph) override {
    calls.push_back("press " + std::to_string(group) + " " + std::to_string(glyph));
  }
  void SetItemListPaintKind(uint8_t kind) override { calls.push_back("list " + std::to_string(kind)); }
  int32_t StrokeEngine() override { return engine; }
  void ToggleStrokeEngine() override {
    engine = engine == 2 ? 1 : 2;
    ++toggles;
  }
  bool AutoFreeHand() override { return autoFreeHand; }
  void RefreshOptions() override { ++refreshes; }
  bool HasDrawWindow() override { return window; }
  void DropToolHandler(bool cancel) override { calls.push_back(cancel ? "drop cancel" : "drop"); }
  void UpdateToolCursorAtMouse() override { calls.push_back("cursor " + std::to_string(selection->DrawMode())); }
  void PickToolHandler() override { calls.push_back("pick " + std::to_string(selection->DrawMode())); }
};

struct ToolSelectionTest : ::testing::Test {
  FakeSelectionHost host;
  CToolSelection sel{host};
  ToolSelectionTest() { host.selection = &sel; }
};

TEST(ToolBoxTables, KindsGroupsAndAlternatesAgree) {
  for (int32_t g = 0; g < kToolBoxGroupCount; ++g) {
    EXPECT_EQ(ToolBoxGroupOfKind[DefaultToolOfBoxGroup(g)], g) << g;
    const auto& b = ToolBoxGroups[g];
    EXPECT_EQ(b.right - b.left, 27) << g;
    EXPECT_EQ(b.bottom - b.top, 21) << g;
  }
  for (uint8_t k = 0; k < kToolKindCount; ++k) {
    // An alternate step stays in the group, and every cycle of a group returns to its start.
    EXPECT_EQ(ToolBoxGroupOfKind[AlternateToolKind[k]], ToolBoxGroupOfKind[k]) << int(k);
    uint8_t kind = k == 36 ? 35 : k;
    for (int32_t i = 0; i < 8; ++i) kind = AlternateToolKind[kind];
    EXPECT_EQ(ToolBoxGroupOfKind[kind], ToolBoxGroupOfKind[k]);
  }
  EXPECT_EQ(AlternateToolKind[35], 35);
  EXPECT_EQ(AlternateToolKind[36], 35);
  EXPECT_STREQ(Tx(ToolMenuCaption(8)), "エア-ブラシ - 3互換");
  EXPECT_STREQ(Tx(ToolBoxGroups[4].hint), "ぼかし / 指先 / ぼかし");
  EXPECT_FALSE(ToolHasMenuItem(28));
  EXPECT_FALSE(ToolHasMenuItem(33));
  EXPECT_TRUE(ToolHasMenuItem(32));
}

TEST_F(ToolSelectionTest, SelectingTheCurrentKindDoesNothing) {
  sel.SelectTool(0);
  EXPECT_EQ(host.refreshes, 0);
  EXPECT_TRUE(host.calls.empty());
  sel.SelectTool(24);
  EXPECT_EQ(host.refreshes, 1);
  sel.SelectTool(24);
  EXPECT_EQ(host.refreshes, 1);
}

TEST_F(ToolSelectionTest, DensityIsKeptPerGroupAndForcedForSelections) {
  host.density = 40.0f;
  sel.SelectTool(1);  // same group: the value stays
  EXPECT_FLOAT_EQ(host.density, 40.0f);
  sel.SelectTool(24);  // selection: no density
  EXPECT_FALSE(host.densityEnabled);
  EXPECT_FLOAT_EQ(host.density, 100.0f);
  sel.SelectTool(7);  // another painting group starts at its own 100
  EXPECT_TRUE(host.densityEnabled);
  host.density = 70.0f;
  sel.SelectGroup(0, false);  // back to the pencil group: its 40 returns, and its last kind
  EXPECT_EQ(sel.Kind(), 1);
  EXPECT_FLOAT_EQ(host.density, 40.0f);
  sel.SelectGroup(3, false);
  EXPECT_FLOAT_EQ(host.density, 70.0f);
}

TEST_F(ToolSelectionTest, AlternateStepsCycleTheCurrentGroupOnly) {
  sel.SelectTool(9);
  std::vector<int> seen;
  for (int i = 0; i < 5; ++i) {
    sel.SelectGroup(4, true);
    seen.push_back(sel.Kind());
  }
  EXPECT_EQ(seen, (std::vector<int>{10, 11, 12, 13, 9}));
  sel.SelectGroup(0, true);  // another group: its last kind, no step
  EXPECT_EQ(sel.Kind(), 0);
  sel.SelectGroup(14, false);
  const int32_t refreshes = host.refreshes;
  sel.SelectGroup(14, true);  // the hand stays the hand
  EXPECT_EQ(sel.Kind(), 35);
  EXPECT_EQ(host.refreshes, refreshes);
}

TEST_F(ToolSelectionTest, OlderPensToggleTheStrokeEngineOnce) {
  uint8_t pk = 0;
  ASSERT_TRUE(ToolToPaintKind(12, pk));
  ASSERT_NE(PaintKindEngine(pk), 2);
  sel.SelectTool(12);
  EXPECT_EQ(host.toggles, 1);
  EXPECT_EQ(host.engine, 1);
  sel.SelectTool(13);
  EXPECT_EQ(host.toggles, 1);
  sel.SelectTool(9);
  EXPECT_EQ(host.toggles, 2);
  EXPECT_EQ(host.engine, 2);
  sel.SelectTool(24);  // not a painting tool: the engine stays
  EXPECT_EQ(host.toggles, 2);
}

TEST_F(ToolSelectionTest, PaintingToolSetsListModeButtonAndAutoFreeHand) {
  host.shape = 3;
  host.autoFreeHand = true;
  host.window = true;
  sel.SelectTool(7);
  uint8_t pk = 0;
  ASSERT_TRUE(ToolToPaintKind(7, pk));
  EXPECT_EQ(host.shape, 0);
  EXPECT_EQ(sel.DrawMode(), SubPaintToDrawMode(0));
  const std::vector<std::string> want = {
      "drop cancel", "cursor " + std::to_string(SubPaintToDrawMode(3)), "pick " + std::to_string(SubPaintToDrawMode(3)),
      "press 3 " + std::to_string(ToolToGlyph(7)), "list " + std::to_string(pk), "drop cancel",
      "cursor " + std::to_string(SubPaintToDrawMode(0)), "pick " + std::to_string(SubPaintToDrawMode(0))};
  EXPECT_EQ(host.calls, want);
  host.calls.clear();
  sel.SelectTool(37);
  EXPECT_EQ(sel.DrawMode(), ToolToDrawMode(37));
}

TEST_F(ToolSelectionTest, ToolSetsKeepTheirOwnGroups) {
  sel.SelectTool(1);
  sel.SelectToolSet(1);
  EXPECT_EQ(sel.Kind(), 2);  // the eraser end starts on the eraser
  EXPECT_EQ(sel.SetGroup(0), 0);
  sel.SelectToolSet(0);
  EXPECT_EQ(sel.Kind(), 1);  // back to what the pencil group last had
  // A set whose group's last kind is current only changes the set.
  sel.SelectTool(2);
  const int32_t refreshes = host.refreshes;
  sel.SelectToolSet(1);
  EXPECT_EQ(sel.ToolSet(), 1);
  EXPECT_EQ(host.refreshes, refreshes);
}

TEST_F(ToolSelectionTest, SelectionDuringASelectionIsIgnoredAndTheMarkCleared) {
  host.reenterKind = 34;
  sel.SelectTool(24);
  EXPECT_EQ(sel.Kind(), 24);
  EXPECT_FALSE(sel.Selecting());
  host.reenterKind = 255;
  sel.SelectTool(34);
  EXPECT_EQ(sel.Kind(), 34);
}

TEST_F(ToolSelectionTest, ToolModeTouchesTheWindowOnlyWhenBound) {
  EXPECT_TRUE(sel.SetToolMode(5, true));
  EXPECT_TRUE(host.calls.empty());
  host.window = true;
  EXPECT_FALSE(sel.SetToolMode(5, false));
  EXPECT_EQ(host.calls, (std::vector<std::string>{"drop", "cursor 5", "pick 5"}));
  host.calls.clear();
  host.shape = 2;
  sel.SubPaintChange();
  EXPECT_EQ(sel.DrawMode(), SubPaintToDrawMode(2));
  EXPECT_EQ(host.calls, (std::vector<std::string>{"cursor " + std::to_string(SubPaintToDrawMode(2))}));
}

// ---- keys ----

struct FakeKeyHost : ToolKeyHost {
  bool playback = false, findNext = false, itemList = true, gradList = false, document = false;
  int32_t wait = -1;
  float density = -1;
  std::vector<std::string> calls;
  void FlipFloatVisibility() override { calls.push_back("flip"); }
  bool PlaybackMode() override { return playback; }
  void SetEventWait(int32_t w) override { wait = w; }
  bool ToolFindNext() override { return findNext; }
  bool ButtonOpenedMenu(uint8_t) override { return false; }
  bool ItemListVisible() override { return itemList; }
  bool GradientListVisible() override { return gradList; }
  void StepItemList(int32_t d) override { calls.push_back("item " + std::to_string(d)); }
  void StepGradientList(int32_t d) override { calls.push_back("grad " + std::to_string(d)); }
  void SwapColors() override { calls.push_back("swap"); }
  bool HasDocument() override { return document; }
  void MoveSelectedLayer(bool up) override { calls.push_back(up ? "layer up" : "layer down"); }
  void SelectVisibleLayer(bool next) override { calls.push_back(next ? "next" : "prev"); }
  void NibSizeUp(bool s) override { calls.push_back(s ? "min up" : "nib up"); }
  void NibSizeDown(bool s) override { calls.push_back(s ? "min down" : "nib down"); }
  void SetToolDensity(float p) override { density = p; }
};

struct ToolKeyTest : ToolSelectionTest {
  FakeKeyHost keys;
  bool Press(int32_t key, int32_t shift = 0) { return HandleToolKey(sel, keys, key, shift); }
};

TEST_F(ToolKeyTest, ModifiersLettersAndGroups) {
  EXPECT_FALSE(Press('A', kCtrlKey));
  EXPECT_FALSE(Press('5', kAltKey));
  EXPECT_FALSE(Press('G', kAltKey));
  EXPECT_TRUE(Press('G'));
  EXPECT_EQ(sel.Kind(), 9);
  EXPECT_TRUE(Press('G'));  // ToolFindNext off: no step
  EXPECT_EQ(sel.Kind(), 9);
  EXPECT_TRUE(Press('A'));
  EXPECT_TRUE(Press('A', kShiftKey));  // Shift steps the current group
  EXPECT_EQ(sel.Kind(), 1);
  keys.findNext = true;
  EXPECT_TRUE(Press('A'));
  EXPECT_EQ(sel.Kind(), 0);
  EXPECT_TRUE(Press('K'));
  EXPECT_EQ(sel.Kind(), 22);
  EXPECT_TRUE(Press('M'));
  EXPECT_EQ(sel.Kind(), 24);
  EXPECT_FALSE(Press('Z'));
  EXPECT_FALSE(Press('X'));
  EXPECT_TRUE(Press('X', kShiftKey));
  EXPECT_EQ(keys.calls, (std::vector<std::string>{"swap"}));
}

TEST_F(ToolKeyTest, DigitsInBothModes) {
  struct Case {
    bool playback;
    int32_t key, shift;
    bool handled;
    float density;
    int32_t wait;
  };
  const Case cases[] = {
      {false, '4', 0, true, 40, -1},     {false, '0', 0, true, 100, -1},   {false, '9', 0, true, 90, -1},
      {false, '4', kShiftKey, false, -1, -1}, {false, '4', kCtrlKey, false, -1, -1},
      {true, '4', 0, true, -1, 16},      {true, '0', 0, true, -1, 0},      {true, '5', 0, true, -1, 32},
      {true, '7', 0, true, -1, -1},      {true, '4', kShiftKey, false, -1, -1}, {true, 'A', 0, false, -1, -1},
  };
  for (const Case& c : cases) {
    keys.playback = c.playback;
    keys.density = -1;
    keys.wait = -1;
    EXPECT_EQ(Press(c.key, c.shift), c.handled) << c.key << " " << c.playback;
    EXPECT_FLOAT_EQ(keys.density, c.density) << c.key;
    EXPECT_EQ(keys.wait, c.wait) << c.key;
  }
  EXPECT_EQ(sel.Kind(), 0);  // playback mode never selects
}

TEST_F(ToolKeyTest, ListsTabAndBrackets) {
  EXPECT_TRUE(Press('E'));
  EXPECT_TRUE(Press('R'));
  keys.itemList = false;
  keys.gradList = true;
  EXPECT_TRUE(Press('R'));
  keys.gradList = false;
  EXPECT_FALSE(Press('E'));  // the eyedropper's pane shows neither list
  EXPECT_TRUE(Press(kVkTab));
  EXPECT_FALSE(Press(kVkTab, kCtrlKey));
  EXPECT_TRUE(Press(kVkCloseBracket));
  EXPECT_TRUE(Press(kVkOpenBracket, kShiftKey));
  EXPECT_TRUE(Press(kVkCloseBracket, kCtrlKey));  // no document: handled, nothing moves
  keys.document = true;
  EXPECT_TRUE(Press(kVkCloseBracket, kCtrlKey));
  EXPECT_TRUE(Press(kVkOpenBracket, kAltKey));
  EXPECT_EQ(keys.calls, (std::vector<std::string>{"item -1", "item 1", "grad 1", "flip", "nib up", "min down",
                                                  "layer up", "prev"}));
}

// ---- filters ----

TEST(ToolFilters, RoundTripsAndMiddles) {
  EXPECT_NEAR(NibRadiusOutFilter(0.5f) * 199.9f + 0.1f, 20.0f, 0.01f);
  EXPECT_NEAR(DispScaleOutFilter(0.5f, false) * 15.9375f + 0.0625f, 1.0f, 1e-5f);
  EXPECT_NEAR(NibScaleInFilter((1.0f - 0.2f) / (3.0f - 0.2f), 20, 300), 0.5f, 1e-5f);
  for (float x : {0.0f, 0.01f, 0.3f, 0.5f, 0.77f, 1.0f}) {
    EXPECT_NEAR(NibRadiusOutFilter(NibRadiusInFilter(x)), x, 1e-4f) << x;
    EXPECT_NEAR(DispScaleOutFilter(DispScaleInFilter(x), false), x, 1e-4f) << x;
    EXPECT_NEAR(NibScaleOutFilter(NibScaleInFilter(x, 20, 300), 20, 300), x, 1e-4f) << x;
  }
  EXPECT_FLOAT_EQ(NibRadiusInFilter(-1.0f), NibRadiusInFilter(0.0f));
}

TEST(ToolFilters, ScaleRangesWithoutOneInsideAreLinear) {
  // 4 x 512 (min 100 %) would divide by zero; 20 x 600 (min 20 %, max 85.3 %) has a pole inside.
  for (auto [lo, hi] : {std::pair{100.0f, 400.0f}, std::pair{20.0f, 85.3f}, std::pair{150.0f, 400.0f}}) {
    float prev = -1.0f;
    for (float x = 0.0f; x <= 1.0f; x += 0.05f) {
      const float p = NibScaleInFilter(x, lo, hi);
      EXPECT_TRUE(std::isfinite(p));
      EXPECT_NEAR(p, x, 1e-6f);
      EXPECT_GT(p, prev);
      prev = p;
      EXPECT_NEAR(NibScaleStep(x, 0.05f, lo, hi), std::min(1.0f, x + 0.05f), 1e-5f);
    }
  }
  EXPECT_FALSE(NibScaleEditable(300, 100));
  EXPECT_FLOAT_EQ(NibScaleStep(0.4f, 0.05f, 300, 100), 0.4f);
  EXPECT_TRUE(NibScaleEditable(20, 300));
}

TEST(ToolFilters, DisplaySnappingAndZoomButtons) {
  // 0.9 of the way between 1:1 and 3:2 snaps to 3:2; unsnapped it stays.
  const float f = 1.45f;
  const float x = (f - 0.0625f) / 15.9375f;
  const float p = DispScaleInFilter(x);
  EXPECT_NEAR(DispScaleOutFilter(p, true) * 15.9375f + 0.0625f, 1.5f, 1e-5f);
  EXPECT_NEAR(DispScaleOutFilter(p, false) * 15.9375f + 0.0625f, 1.45f, 1e-4f);
  const float q = DispScaleInFilter((1.1f - 0.0625f) / 15.9375f);
  EXPECT_NEAR(DispScaleOutFilter(q, true) * 15.9375f + 0.0625f, 1.0f, 1e-5f);
  // Exactly on a step stays on it.
  EXPECT_NEAR(DispScaleOutFilter(0.5f, true) * 15.9375f + 0.0625f, 1.0f, 1e-5f);
  EXPECT_FLOAT_EQ(DispRotOutFilter(0.52f, true), 0.5f);
  EXPECT_FLOAT_EQ(DispRotOutFilter(0.52f, false), 0.52f);
  EXPECT_FLOAT_EQ(ZoomButtonScale(100.0f, true), 150.0f);
  EXPECT_FLOAT_EQ(ZoomButtonScale(100.0f, false), 200.0f / 3.0f);
  EXPECT_FLOAT_EQ(ZoomButtonScale(120.0f, true), 150.0f);
  EXPECT_FLOAT_EQ(ZoomButtonScale(120.0f, false), 100.0f);
  EXPECT_FLOAT_EQ(ToolDensityOpacity(100.0f), 1.0f);
  EXPECT_NEAR(ToolDensityOpacity(40.0f), 0.40001f, 1e-6f);
}

}  // namespace
}  // namespace tf
