#include <gtest/gtest.h>

#include <QMenu>
#include <QTest>

#include "MouseDriver.h"
#include "palettes/ToolBox.h"
#include "support/FakeKeyState.h"

namespace tf {
namespace {

// The selection's host as far as the tool box goes: the buttons follow the selection.
struct BoxHost : ToolSelectionHost {
  TToolBox* box = nullptr;
  float density = 100.0f;
  float ToolDensity() override { return density; }
  void SetToolDensity(float p) override { density = p; }
  void EnableToolDensity(bool) override {}
  uint8_t SubPaintShape() override { return 0; }
  void SetSubPaintShape(uint8_t) override {}
  void PressGroupButton(uint8_t group, TtFGlyphType glyph) override { box->PressGroup(group, glyph); }
  void SetItemListPaintKind(uint8_t) override {}
  int32_t StrokeEngine() override { return 2; }
  void ToggleStrokeEngine() override {}
  bool AutoFreeHand() override { return false; }
  void RefreshOptions() override {}
  bool HasDrawWindow() override { return false; }
  void DropToolHandler(bool) override {}
  void UpdateToolCursorAtMouse() override {}
  void PickToolHandler() override {}
};

struct ToolBoxTest : ::testing::Test {
  BoxHost host;
  CToolSelection sel{host};
  TToolBox box{sel};
  ToolBoxTest() {
    host.box = &box;
    test::ShowWindow(&box);
  }
  void ClickGroup(int32_t group) { test::Click(box.ButtonOfGroup(group), QPoint(6, 10)); }
};

TEST_F(ToolBoxTest, ButtonsSitInTheirPlacesAndFollowTheSelection) {
  EXPECT_EQ(box.ButtonOfGroup(16), nullptr);
  EXPECT_EQ(box.ButtonOfGroup(128 + 3), box.ButtonOfGroup(3));
  EXPECT_EQ(box.ButtonOfGroup(4)->geometry(), QRect(1, 44, 27, 21));
  EXPECT_TRUE(box.ButtonOfGroup(0)->Down());
  EXPECT_FALSE(box.ButtonOfGroup(9)->HasMenu());
  ClickGroup(4);
  EXPECT_EQ(sel.Kind(), 9);
  EXPECT_TRUE(box.ButtonOfGroup(4)->Down());
  EXPECT_FALSE(box.ButtonOfGroup(0)->Down());
  ClickGroup(4);  // a pressed button stays pressed
  EXPECT_TRUE(box.ButtonOfGroup(4)->Down());
  EXPECT_EQ(sel.Kind(), 9);
}

TEST_F(ToolBoxTest, AltClickStepsTheGroupAndTheGlyphFollows) {
  ClickGroup(4);
  test::FakeKeyState keys;
  keys.Hold(false, false, true);
  for (int want : {10, 11, 12, 13, 9}) {
    ClickGroup(4);
    EXPECT_EQ(sel.Kind(), want);
    EXPECT_EQ(box.ButtonOfGroup(4)->GlyphType(), ToolToGlyph(want));
  }
  ClickGroup(14);  // another group: its last kind
  EXPECT_EQ(sel.Kind(), 35);
  ClickGroup(14);  // the hand stays the hand
  EXPECT_EQ(sel.Kind(), 35);
}

TEST_F(ToolBoxTest, MenuItemsSelectTheirKindsAndShowTheCurrentChecked) {
  QMenu* menu = box.ButtonOfGroup(3)->Menu();
  ASSERT_NE(menu, nullptr);
  ASSERT_EQ(menu->actions().size(), 2);
  QAction* older = menu->actions()[1];
  EXPECT_EQ(older->text(), QString::fromUtf8("エア-ブラシ - 3互換"));
  EXPECT_EQ(TToolBox::KindOfMenuItem(older), 8);
  older->trigger();
  EXPECT_EQ(sel.Kind(), 8);
  EXPECT_TRUE(box.ButtonOfGroup(3)->Down());
  emit menu->aboutToShow();
  EXPECT_TRUE(older->isChecked());
  EXPECT_FALSE(menu->actions()[0]->isChecked());
  EXPECT_EQ(TToolBox::KindOfMenuItem(nullptr), -1);
}

TEST_F(ToolBoxTest, PlaybackLeavesOnlyHandAndZoom) {
  box.SetPlaybackMode(true);
  for (int32_t g = 0; g < kToolBoxGroupCount; ++g)
    EXPECT_EQ(box.ButtonOfGroup(g)->isEnabled(), g == 14 || g == 15) << g;
  box.SetPlaybackMode(false);
  EXPECT_TRUE(box.ButtonOfGroup(0)->isEnabled());
}

}  // namespace
}  // namespace tf
