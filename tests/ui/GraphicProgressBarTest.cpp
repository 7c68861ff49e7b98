#include <gtest/gtest.h>

#include <QApplication>

#include "MouseDriver.h"
#include "platform/Clock.h"
#include "raster/Appearance.h"
#include "ui/GraphicProgressBar.h"

namespace tf {
namespace {

using namespace tf::test;

struct ClockAt {
  uint32_t now = 0;
  MillisecondSource old;
  ClockAt() { old = SetMillisecondSource([this] { return now; }); }
  ~ClockAt() { SetMillisecondSource(old); }
};

// The run of tinted pixels from the left end of the middle row inside the two frames.
int32_t TintedWidth(const TMemoryGraphic& g) {
  const int32_t y = g.Height() / 2;
  int32_t n = 0;
  for (int32_t x = 2; x < g.Width() - 2; ++x) {
    if ((g.GetPixel(x, y) & 0xFFFFFF) == (AppearanceColors[acBtnFace] & 0xFFFFFF)) break;
    ++n;
  }
  return n;
}

TEST(GraphicProgressBarTest, ReadingsOfOneStateOnARealWidget) {
  ClockAt clock;
  QWidget top;
  top.resize(300, 60);
  auto* bar = new TGraphicProgressBar(&top);
  bar->setGeometry(4, 4, 100, 18);  // inner area 96 wide
  ASSERT_TRUE(ShowWindow(&top));
  // A new bar: 0.00% and no tint.
  EXPECT_EQ(bar->RenderedText(), "0.00%");
  EXPECT_EQ(bar->Graphic().Width(), 100);
  EXPECT_EQ(TintedWidth(bar->Graphic()), 0);

  struct Case {
    uint8_t mode;
    int32_t current, total;
    uint32_t start, now;
    const char* text;
  } texts[] = {
      {kProgressPercent, 50, 200, 0, 0, "25.00%"},
      {kProgressPercent, 200, 200, 0, 0, "100.00%"},
      {kProgressCount, 7, 12, 0, 0, "7 / 12"},
      {kProgressElapsed, 1, 2, 1000, 3724456, "経過: 1:02:03.456"},
      {kProgressRemaining, 0, 12, 0, 99999, "残り: 0:00:00.000"},
      {kProgressRemaining, 1000, 100000, 5, 600005, "残り: 16:30:00.000"},
      {9, 1, 2, 0, 0, ""},
  };
  for (const Case& c : texts) {
    clock.now = c.now;
    bar->SetDisplayMode(c.mode);
    EXPECT_TRUE(bar->SetProgress(c.current, c.total, c.start));
    EXPECT_EQ(bar->RenderedText(), c.text) << int(c.mode);
    EXPECT_EQ(bar->Graphic().GetPixel(0, 0) & 0xFFFFFF, AppearanceColors[acGrayText] & 0xFFFFFF);
    EXPECT_EQ(bar->Graphic().GetPixel(1, 1) & 0xFFFFFF, AppearanceColors[acWindow] & 0xFFFFFF);
  }

  // The tint, measured without text (a mode that shows none).
  struct Tint {
    int32_t current, total, width;
  } tints[] = {{0, 100, 0}, {50, 200, 24}, {1, 2, 48}, {200, 200, 96}, {1, 0, 96}};
  bar->SetDisplayMode(9);
  for (const Tint& t : tints) {
    bar->SetProgress(t.current, t.total, 0);
    EXPECT_EQ(TintedWidth(bar->Graphic()), t.width) << t.current << "/" << t.total;
  }
  // The widget shows the surface.
  QApplication::processEvents();
  const QImage shown = bar->grab().toImage().convertToFormat(QImage::Format_RGB32);
  EXPECT_EQ(shown.pixel(10, 9) & 0xFFFFFF, bar->Graphic().GetPixel(10, 9) & 0xFFFFFF);
}

TEST(GraphicProgressBarTest, SameModeDoesNotRenderAndTinySizesKeepFourPixels) {
  QWidget top;
  top.resize(200, 60);
  auto* bar = new TGraphicProgressBar(&top);
  bar->setGeometry(0, 0, 80, 16);
  ASSERT_TRUE(ShowWindow(&top));
  const int32_t before = bar->RenderCount();
  bar->SetDisplayMode(bar->DisplayMode());
  EXPECT_EQ(bar->RenderCount(), before);
  bar->SetDisplayMode(kProgressCount);
  EXPECT_EQ(bar->RenderCount(), before + 1);

  bar->setGeometry(0, 0, 2, 30);
  QApplication::processEvents();
  EXPECT_EQ(bar->Graphic().Width(), 4);
  EXPECT_EQ(bar->Graphic().Height(), 30);
  EXPECT_TRUE(bar->SetProgress(1, 2, 0));
}

TEST(GraphicProgressBarTest, AClickStepsTheReading) {
  EXPECT_EQ(TGraphicProgressBar::NextDisplayMode(kProgressPercent), kProgressCount);
  EXPECT_EQ(TGraphicProgressBar::NextDisplayMode(kProgressCount), kProgressElapsed);
  EXPECT_EQ(TGraphicProgressBar::NextDisplayMode(kProgressElapsed), kProgressPercent);
  EXPECT_EQ(TGraphicProgressBar::NextDisplayMode(kProgressRemaining), kProgressPercent);

  QWidget top;
  top.resize(200, 60);
  auto* bar = new TGraphicProgressBar(&top);
  bar->setGeometry(0, 0, 80, 16);
  bar->OnMouseDown = [](TGraphicProgressBar* b) { b->SetDisplayMode(TGraphicProgressBar::NextDisplayMode(b->DisplayMode())); };
  ASSERT_TRUE(ShowWindow(&top));
  Click(bar, {10, 8});
  EXPECT_EQ(bar->DisplayMode(), kProgressCount);
  Click(bar, {10, 8});
  Click(bar, {10, 8});
  EXPECT_EQ(bar->DisplayMode(), kProgressPercent);
}

}  // namespace
}  // namespace tf
