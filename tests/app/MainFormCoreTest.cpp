#include <gtest/gtest.h>
#include <locale.h>
#include <stdlib.h>

#include <clocale>
#include <cstdlib>
#include <string>

#include "app/MainFormCore.h"
#include "paper/HeadlessWindow.h"
#include "paper/Paper.h"
#include "support/TempFolder.h"

namespace tf {
namespace {

TEST(MainCaptionTest, VersionAndRenderMark) {
  EXPECT_EQ(MainCaption(false), "Tintaframe 4.5.18 Plus");
  EXPECT_EQ(MainCaption(true), "Tintaframe 4.5.18 Plus Render!");
}

TEST(StatusPanelTest, WidthsAndHitsOnAWideAndANarrowBar) {
  struct Case {
    int32_t bar;
    int32_t hintWidth;
  };
  for (const Case c : {Case{1000, 520}, Case{400, -80}, Case{480, 0}}) {
    SStatusPanel panels[kStatusPanelCount];
    StatusPanelLayout(c.bar, panels);
    const int32_t widths[kStatusPanelCount] = {64, 64, 128, c.hintWidth, 32, 80, 112};
    int32_t left = 0;
    for (int32_t i = 0; i < kStatusPanelCount; ++i) {
      EXPECT_EQ(panels[i].width, widths[i]) << c.bar << " " << i;
      EXPECT_EQ(panels[i].left, left) << c.bar << " " << i;
      EXPECT_EQ(panels[i].raised, i < 2);
      EXPECT_EQ(panels[i].centred, i != kPanelHint);
      left += widths[i];
    }
  }
  // Bar 1000: 0..63 zoom, 64..127 rotation, 128..255 info, 256..775 hint, 776..807 tablet,
  // 808..887 type, 888..999 mode, nothing beyond.
  const std::pair<int32_t, int32_t> wide[] = {{-1, -1},  {0, 0},    {63, 0},   {64, 1},   {127, 1},  {128, 2},
                                              {255, 2},  {256, 3},  {775, 3},  {776, 4},  {807, 4},  {808, 5},
                                              {887, 5},  {888, 6},  {999, 6},  {1000, -1}, {5000, -1}};
  for (const auto& [x, panel] : wide) EXPECT_EQ(StatusPanelAt(1000, x), panel) << x;
  // Bar 400: the hint panel (-80) is never hit and the later panels move left with it.
  const std::pair<int32_t, int32_t> narrow[] = {{0, 0},   {255, 2},  {256, 5},  {175, 2},  {176, 2},
                                                {207, 2}, {208, 2},  {287, 5},  {288, 6},  {399, 6},  {400, -1}};
  for (const auto& [x, panel] : narrow) EXPECT_EQ(StatusPanelAt(400, x), panel) << x;
}

// German number formats put "," in numbers: the panels keep ".".
class GermanLocale {
 public:
  GermanLocale() : folder_("locale") {
    previous_ = std::setlocale(LC_ALL, nullptr);
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr && !folder_.Path().empty()) {
      const std::string command =
          "localedef -i de_DE -f UTF-8 " + folder_.Path() + "/de_DE.UTF-8 > /dev/null 2>&1";
      if (std::system(command.c_str()) == 0) {
        const char* old = std::getenv("LOCPATH");
        if (old != nullptr) oldLocPath_ = old;
        hadLocPath_ = old != nullptr;
        setenv("LOCPATH", folder_.Path().c_str(), 1);
        std::setlocale(LC_ALL, "de_DE.UTF-8");
      }
    }
  }
  ~GermanLocale() {
    std::setlocale(LC_ALL, previous_.c_str());
    if (hadLocPath_) {
      setenv("LOCPATH", oldLocPath_.c_str(), 1);
    } else {
      unsetenv("LOCPATH");
    }
  }
  bool Active() const { return std::localeconv()->decimal_point[0] == ','; }

 private:
  test::ScopedTempFolder folder_;
  std::string previous_;
  std::string oldLocPath_;
  bool hadLocPath_ = false;
};

TEST(StatusTextTest, NumbersAndByteCountsWithAPointInAnyLocale) {
  GermanLocale german;
  if (!german.Active()) GTEST_SKIP() << "no German locale could be made";
  EXPECT_EQ(ZoomText(33.333f), "33.3 %");
  EXPECT_EQ(RotationText(90.0f), "-90.0 °");
  EXPECT_EQ(RotationText(-45.5f), "45.5 °");
  EXPECT_EQ(RotationText(0.0f), "0.0 °");  // the unturned view, not "-0.0"
  struct Case {
    int64_t bytes;
    const char* text;
  };
  const Case cases[] = {
      {0, "M : 0 Bytes"},
      {1024, "M : 1024 Bytes"},
      {1025, "M : 1.00 KB"},
      {0x100000, "M : 1024.00 KB"},
      {0x100001, "M : 1.00 MB"},
      {0x40000000, "M : 1024.00 MB"},
      {0x40000001, "M : 1.00 GB"},
      // Beyond 32 bits.
      {int64_t{5} << 32, "M : 20.00 GB"},
  };
  for (const Case& c : cases) EXPECT_EQ(ByteCountText("M", c.bytes), c.text) << c.bytes;
}

TEST(StatusTextTest, TabletPanels) {
  EXPECT_EQ(TabletStateText(false), "Off");
  EXPECT_EQ(TabletStateText(true), "On");
  EXPECT_EQ(TabletTypeText(0), "タブレット 1");
  EXPECT_EQ(TabletTypeText(1), "タブレット 2");
  EXPECT_EQ(TabletModeText(false), "OS 座標");
  EXPECT_EQ(TabletModeText(true), "タブレット座標");
}

TEST(StatusTextTest, InformationPanelByMode) {
  EXPECT_EQ(InfoPanelText(0, nullptr), "");
  HeadlessDocumentWindow window;
  ASSERT_TRUE(window.Paper().NewDocument("p", &window.Flow(), false, false, 72, 30, 40));
  EXPECT_EQ(InfoPanelText(0, &window.Paper()), "40 × 30 px");
  int64_t layer = 0;
  int64_t undo = 0;
  const int64_t total = window.Paper().GetMemoryUsage(layer, undo);
  EXPECT_EQ(InfoPanelText(1, &window.Paper()), ByteCountText("使用メモリ", total));
  EXPECT_EQ(InfoPanelText(2, &window.Paper()), ByteCountText("レイヤ", layer));
  EXPECT_EQ(InfoPanelText(3, &window.Paper()), ByteCountText("アンドゥ", undo));
}

TEST(PopupTest, ZoomCheckWithinATenThousandthRotationCheckExact) {
  EXPECT_EQ(ZoomPopupCheck(1.0f / 3.0f), 5);  // "33.33%"
  EXPECT_EQ(ZoomPopupCheck(0.35f), -1);
  EXPECT_EQ(ZoomPopupCheck(1.0f), kZoomPopupActualSize);
  EXPECT_EQ(ZoomPopupCheck(16.0f), 16);
  EXPECT_EQ(ZoomPopupCheck(0.0625f + 0.00009f), 0);
  EXPECT_EQ(ZoomPopupCheck(0.0625f + 0.0002f), -1);
  for (int32_t i = 0; i < kZoomPopupCount; ++i) {
    const TZoomRatio r = ZoomPopupRatio(i);
    EXPECT_EQ(ZoomPopupCheck(static_cast<float>(r.numerator) / static_cast<float>(r.denominator)), i);
  }
  EXPECT_EQ(ZoomPopupRatio(7), (TZoomRatio{2, 3}));
  EXPECT_EQ(ZoomPopupText(0), "6.25%");
  EXPECT_EQ(ZoomPopupText(5), "33.33%");
  EXPECT_EQ(ZoomPopupText(16), "1600%");
  EXPECT_EQ(ZoomPopupRatio(9), (TZoomRatio{3, 2}));
  EXPECT_EQ(RotatePopupCheck(0.0f), 0);
  EXPECT_EQ(RotatePopupCheck(-90.0f), 1);
  EXPECT_EQ(RotatePopupCheck(-270.0f), 3);
  EXPECT_EQ(RotatePopupCheck(90.0f), -1);
  EXPECT_EQ(RotatePopupCheck(-90.001f), -1);
}

class FakeChild final : public MainFormChild {
 public:
  TPaper* Paper() override { return nullptr; }
  std::string Caption() const override { return "c"; }
  bool CloseQuery() override { return true; }
  void TimerTick() override {}
  void Activated(bool) override {}
  void SelectToolHandler() override {}
  bool StrokeOrPlaybackRunning() const override { return busy; }
  bool IsPlaying() const override { return false; }
  void UseStrokeEngine(int32_t engine) override { told = engine; }
  void ZoomAboutCentre(int32_t, int32_t) override {}
  void ActualSize() override {}
  void SetViewRotation(float) override {}
  bool ScreenToCanvas(int32_t, int32_t, TPoint&) override { return false; }
  bool busy = false;
  int32_t told = 0;
};

TEST(MainFormCoreTest, ToggleStrokeEngineTellsAnIdleWindowOnly) {
  CMainFormCore core;
  FakeChild child;
  EXPECT_EQ(core.strokeEngine, 2);
  EXPECT_TRUE(core.ToggleStrokeEngine(&child));
  EXPECT_EQ(core.strokeEngine, 1);
  EXPECT_EQ(child.told, 1);
  child.busy = true;
  EXPECT_TRUE(core.ToggleStrokeEngine(&child));
  EXPECT_EQ(core.strokeEngine, 2);
  EXPECT_EQ(child.told, 1);
  EXPECT_TRUE(core.ToggleStrokeEngine(nullptr));
  EXPECT_EQ(core.strokeEngine, 1);
  core.strokeEngine = 0;
  EXPECT_FALSE(core.ToggleStrokeEngine(&child));
  EXPECT_EQ(core.strokeEngine, 0);
}

TEST(MainFormCoreTest, ModalGateAndFirstActivation) {
  CModalGate gate;
  EXPECT_TRUE(gate.BeginModal());
  EXPECT_FALSE(gate.BeginModal());
  gate.EndModal();
  EXPECT_TRUE(gate.BeginSemiModal());
  EXPECT_FALSE(gate.BeginModal());
  EXPECT_FALSE(gate.BeginSemiModal());
  gate.EndSemiModal();
  EXPECT_TRUE(gate.BeginModal());
  gate.EndModal();

  CMainFormCore core;
  EXPECT_TRUE(core.TakeFirstActivation());
  EXPECT_FALSE(core.TakeFirstActivation());
}

}  // namespace
}  // namespace tf
