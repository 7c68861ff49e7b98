#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/AppPaperHost.h"
#include "app/AppProfile.h"
#include "app/MainFormCore.h"
#include "app/ToolWindow.h"
#include "paint/NibShape.h"
#include "paint/PaintParam.h"
#include "paint/PenRender.h"
#include "paint/Stroke.h"
#include "platform/Debug.h"

namespace tf {
namespace {

class Owner final : public ToolWindowOwner {
 public:
  CPenRender* MainPenRender() override { return renderer; }
  MainFormChild* ActiveChild() override { return nullptr; }
  int32_t StrokeEngine() const override { return 2; }
  void ToggleStrokeEngine() override {}
  CPenRender* renderer = nullptr;
};

class ToolWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetAppProfile();
    sink_ = SetDebugSink([this](std::string_view line) { lines_.emplace_back(line); });
  }
  void TearDown() override {
    SetDebugSink(sink_);
    SetToolWindowFactory(nullptr);
    ResetAppProfile();
  }
  std::vector<std::string> lines_;
  Owner owner_;

 private:
  DebugSink sink_;
};

TEST_F(ToolWindowTest, TheInterimHoldsThePencilWithTheColoursOfTheSettings) {
  AppProfile().fgCol = 0x0000FF;  // red, red in the low byte
  AppProfile().bgCol = 0xFF0000;  // blue
  std::unique_ptr<ToolWindow> window = CreateToolWindow(owner_);
  ASSERT_NE(window, nullptr);
  EXPECT_FALSE(lines_.empty());  // says it is the interim
  EXPECT_EQ(window->GetStroke().GetColor(), 0xFF0000u);  // pixel order: red in the third byte
  EXPECT_EQ(window->GetStroke().GetBackColor(), 0x0000FFu);
  ASSERT_NE(window->GetPaintParam(), nullptr);
  EXPECT_EQ(window->GetPaintParam()->kind, 9);  // the current engine's pencil
  EXPECT_EQ(window->ToolMode(), 0);
  EXPECT_TRUE(window->QueryClose());
  EXPECT_FALSE(window->HandleToolKey('A', 0));
  EXPECT_GE(window->OutlineExtent(), 1);
  EXPECT_EQ(window->GetToneMngr(), nullptr);
  // Another mode is held (the document windows' temporary tools); a mode past 32 is refused loudly.
  lines_.clear();
  window->SetToolMode(29, false);
  EXPECT_EQ(window->ToolMode(), 29);
  EXPECT_TRUE(lines_.empty());
  window->SetToolMode(33, true);
  EXPECT_EQ(window->ToolMode(), 29);
  EXPECT_FALSE(lines_.empty());
  window->SetToolMode(0, true);
  FreeToolWindow(window);
  EXPECT_EQ(window, nullptr);
}

TEST_F(ToolWindowTest, SetupPenPutsThePencilIntoTheRenderer) {
  std::unique_ptr<ToolWindow> window = CreateToolWindow(owner_);
  TStroke stroke(0);
  CPenRender renderer(&stroke);
  window->GetPaintParam()->SetWidth(7.0f);
  window->SetupPen(nullptr, renderer);
  SNibShape expected;
  ASSERT_TRUE(window->GetPaintParam()->GetNibShape(expected));
  SNibShape got;
  renderer.GetNibShape(got);
  EXPECT_EQ(std::memcmp(&got, &expected, sizeof got), 0);
  // ApplyTool does nothing to the renderer while no document window is bound.
  owner_.renderer = &renderer;
  window->GetPaintParam()->SetWidth(20.0f);
  window->ApplyTool();
  renderer.GetNibShape(got);
  EXPECT_EQ(std::memcmp(&got, &expected, sizeof got), 0);
}

TEST_F(ToolWindowTest, ARegisteredFactoryIsUsed) {
  bool called = false;
  SetToolWindowFactory([&called](ToolWindowOwner& owner) -> std::unique_ptr<ToolWindow> {
    called = true;
    return std::make_unique<InterimToolWindow>(owner);
  });
  EXPECT_NE(CreateToolWindow(owner_), nullptr);
  EXPECT_TRUE(called);
  // A factory that fails falls back to the interim, loudly.
  SetToolWindowFactory([](ToolWindowOwner&) { return std::unique_ptr<ToolWindow>(); });
  lines_.clear();
  EXPECT_NE(CreateToolWindow(owner_), nullptr);
  EXPECT_GE(lines_.size(), 2u);
}

TEST_F(ToolWindowTest, ThePaperHostReadsSettingsAndTheToolWindowsStroke) {
  CAppProfile& profile = AppProfile();
  profile.undoMax = 12;
  profile.gridW = 10;
  profile.GridColor = 0x40112233;
  profile.fillTarget = 1;
  profile.gradType = 1;
  profile.gradRepCnt = 3;
  std::unique_ptr<ToolWindow> window = CreateToolWindow(owner_);
  CAppPaperHost host(profile, window.get());
  const SPaperSettings s = host.Settings();
  EXPECT_EQ(s.undoMax, 12);
  EXPECT_EQ(s.gridW, 10);
  EXPECT_EQ(s.gridColor, 0x40112233u);
  EXPECT_TRUE(s.fillTarget);
  // No gradient set in the interim: the settings' options.
  const SGradOption options = host.CurrentGradientOptions();
  EXPECT_EQ(options.shape, 1);
  EXPECT_EQ(options.repeatCount, 3);
  ASSERT_NE(host.MainRecordedStroke(), nullptr);
  window->GetStroke().SetColor(0x123456);
  SRecordedStroke recorded;
  host.MainRecordedStroke()->recordedStroke(recorded);
  EXPECT_EQ(recorded.color & 0xFFFFFF, 0x123456u);
  EXPECT_EQ(host.MainRecordedTones(), nullptr);
  CAppPaperHost without(profile, nullptr);
  EXPECT_EQ(without.MainRecordedStroke(), nullptr);
}

}  // namespace
}  // namespace tf
