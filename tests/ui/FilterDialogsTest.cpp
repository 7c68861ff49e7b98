#include <gtest/gtest.h>

// The test documents first: their fields are named like Qt keywords.
#include "filters/FilterRunSupport.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QPushButton>
#include <QPixmap>
#include <QTimer>
#include <functional>

#include "filters/FilterCommands.h"
#include "filters/FilterCore.h"
#include "filters/FilterDialogValues.h"
#include "filters/qt/FilterDialogsQt.h"
#include "filters/qt/NeighbourDialogs.h"
#include "filters/qt/PreviewFrame.h"
#include "platform/Clock.h"
#include "raster/NumMngr.h"
#include "ui/GraphicTrackbar.h"

namespace tf {
namespace {
using namespace tf::test;

// Runs each dialog the commands open through a script instead of a modal loop.
class FilterDialogsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetFilterMemory();
    ResetFilterPreviewMemory();
    SetMillisecondSource([this] { return now; });
    InstallFilterDialogs([this](QDialog* dialog) {
      dialog->show();
      QCoreApplication::processEvents();
      auto* form = dynamic_cast<TFormNeighbourFilter*>(dialog);
      EXPECT_NE(form, nullptr);
      ++shown;
      if (qEnvironmentVariableIsSet("TF_SHOT")) dialog->grab().save(QString("/tmp/w59-%1.png").arg(shown));
      const int32_t r = form != nullptr && script ? script(*form) : 2;
      dialog->hide();
      return r;
    });
  }
  void TearDown() override {
    UninstallFilterDialogs();
    SetMillisecondSource({});
    ResetFilterMemory();
    ResetFilterPreviewMemory();
  }
  // Lets the values rest for the preview's delay and ticks the timer.
  void Rest(TFormFilter& form) {
    now += 700;
    form.TimerTick();
  }

  uint32_t now = 1000;
  int32_t shown = 0;
  std::function<int32_t(TFormNeighbourFilter&)> script;
};

TEST_F(FilterDialogsTest, CancelLeavesTheLayerAndOkRunsOnceWithOneUndoStep) {
  FilterDocument f(96, 64);
  ASSERT_TRUE(f.ok);
  MaskOfRect(f, TRect{10, 8, 70, 50});
  const std::vector<uint32_t> original = LayerPixels(f.Paper(), 0);
  const int32_t committedBefore = f.Events().committed();
  const int64_t undoBefore = f.Paper().GetUndoMemory();

  // Cancel after a drag and previews: byte for byte, nothing recorded or remembered.
  script = [&](TFormNeighbourFilter& d) {
    EXPECT_TRUE(d.CheckBoxPreview()->isChecked());  // the Gaussian blur previews by default
    EXPECT_TRUE(d.Core()->PreviewDirty());          // shown at once
    for (int32_t i = 0; i < 30; ++i) {  // a 3 s drag of the bar, ticking every 100 ms
      d.TrackA()->SetPosition(0.1f + 0.02f * i);
      now += 100;
      d.TimerTick();
      EXPECT_FLOAT_EQ(*static_cast<const float*>(d.GetAppliedParams()), 1.0f) << i;
    }
    Rest(d);
    EXPECT_NEAR(*static_cast<const float*>(d.GetAppliedParams()), d.NumA().Value(), 1e-6);
    d.CheckBoxPreview()->setChecked(false);
    EXPECT_FALSE(d.Core()->PreviewDirty());
    d.CheckBoxPreview()->setChecked(true);
    EXPECT_TRUE(d.Core()->PreviewDirty());
    d.ButtonCancel()->click();
    return d.result();
  };
  EXPECT_FALSE(RunFilterCommand(FilterKey::GaussianBlur, f.Paper(), f.Flow(), 0, false));
  EXPECT_EQ(shown, 1);
  EXPECT_EQ(LayerPixels(f.Paper(), 0), original);
  EXPECT_EQ(f.Events().committed(), committedBefore);
  EXPECT_EQ(f.Paper().GetUndoMemory(), undoBefore);
  EXPECT_FLOAT_EQ(LoadNeighbourDialog(FilterKey::GaussianBlur).a, 1.0f);

  // OK with 2.5: one run, one packet, one undo step, remembered as accepted.
  script = [&](TFormNeighbourFilter& d) {
    d.NumA().SetValue(2.5f);
    Rest(d);
    d.ButtonOK()->click();
    return d.result();
  };
  EXPECT_TRUE(RunFilterCommand(FilterKey::GaussianBlur, f.Paper(), f.Flow(), 0, false));
  EXPECT_GT(f.Events().committed(), committedBefore);  // the filter's packet
  EXPECT_GT(f.Paper().GetUndoMemory(), undoBefore);     // and its undo step
  const std::vector<uint32_t> blurred = LayerPixels(f.Paper(), 0);
  EXPECT_NE(blurred, original);
  EXPECT_FLOAT_EQ(LoadNeighbourDialog(FilterKey::GaussianBlur).a, 2.5f);

  // The same block run directly on a fresh copy gives the same picture.
  FilterDocument g(96, 64);
  ASSERT_TRUE(g.ok);
  MaskOfRect(g, TRect{10, 8, 70, 50});
  const float radius = 2.5f;
  uint8_t block[8]{};
  std::memcpy(block, &radius, 4);
  CFlt4Core core(g.Paper(), g.Flow(), 0, FilterProcOf(FilterKey::GaussianBlur), false);
  ASSERT_TRUE(core.Run8(FilterRow(FilterKey::GaussianBlur).eventId, block));
  EXPECT_EQ(LayerPixels(g.Paper(), 0), blurred);
}

TEST_F(FilterDialogsTest, FrameShowsTheFilteredWindowAndSeedButtonRefreshesAtOnce) {
  FilterDocument f(300, 200);
  ASSERT_TRUE(f.ok);
  const std::vector<uint32_t> original = LayerPixels(f.Paper(), 0);
  script = [&](TFormNeighbourFilter& d) {
    TPreviewFilter* frame = d.Preview();
    EXPECT_EQ(frame->Geometry().WindowWidth(), 206);  // 100 % of a layer larger than the view
    EXPECT_NEAR(frame->Num1().ValueMin(), 206.0f * 100 / 300, 1e-3);
    // The frame's window equals a full run there.
    const TRect w = frame->Geometry().Window();
    FilterDocument g(300, 200);
    CFlt4Core core(g.Paper(), g.Flow(), 0, FilterProcOf(FilterKey::Noise), false);
    EXPECT_TRUE(core.Execute(d.GetParams(), 16, nullptr));
    const std::vector<uint32_t> full = LayerPixels(g.Paper(), 0);
    for (int32_t y = 0; y < w.bottom - w.top; y += 17)
      for (int32_t x = 0; x < w.right - w.left; x += 13)
        EXPECT_EQ(*frame->WindowImage().Pixel(x, y), full[(w.top + y) * 300 + w.left + x]);
    const uint32_t seedBefore = d.Seed();
    now += 5;
    d.ButtonR()->click();
    EXPECT_NE(d.Seed(), seedBefore);
    EXPECT_EQ(static_cast<uint32_t>(BlockWord(d.GetAppliedParams(), 2)), d.Seed());  // at once
    EXPECT_EQ(LayerPixels(g.Paper(), 0), full);
    return 2;
  };
  EXPECT_FALSE(RunFilterCommand(FilterKey::Noise, f.Paper(), f.Flow(), 0, false));
  EXPECT_EQ(LayerPixels(f.Paper(), 0), original);
}

TEST_F(FilterDialogsTest, EveryNeighbourDialogOpensWithItsRememberedValuesAndRepeats) {
  FilterDocument f(64, 48);
  ASSERT_TRUE(f.ok);
  for (const SFilterCatalogueRow& row : FilterCatalogue()) {
    if (!IsNeighbourDialog(row.key)) continue;
    SCOPED_TRACE(row.keyName);
    const SNeighbourDialogValues v = LoadNeighbourDialog(row.key);
    std::vector<uint8_t> confirmed;
    script = [&](TFormNeighbourFilter& d) {
      EXPECT_FLOAT_EQ(d.NumA().Value(), v.a);
      // The colour halftone opens with the box cleared whatever was remembered.
      EXPECT_EQ(d.CheckBoxPreview()->isChecked(), row.key != FilterKey::ColorHalftone && v.preview);
      EXPECT_EQ(d.PreviewSeen(), v.preview);
      d.NumA().SetValue(d.NumA().ValueMin() + 1);
      Rest(d);
      d.ButtonOK()->click();
      const auto* b = static_cast<const uint8_t*>(d.GetParams());
      confirmed.assign(b, b + d.GetParamSize());
      return d.result();
    };
    const std::vector<uint32_t> before = LayerPixels(f.Paper(), 0);
    EXPECT_TRUE(RunFilterCommand(row.key, f.Paper(), f.Flow(), 0, false));
    // Filter > Repeat builds the confirmed block (new seeds for noise and diffuse).
    std::vector<uint8_t> repeat(confirmed.size());
    now += 1;
    ASSERT_TRUE(LoadLastFilter(row.key, repeat.data(), f.Layer()));
    if (row.key == FilterKey::Noise || row.key == FilterKey::Diffuse) {
      SetBlockWord(repeat.data(), 2, BlockWord(confirmed.data(), 2));
    }
    EXPECT_EQ(repeat, confirmed);
  }
}

}  // namespace
}  // namespace tf
