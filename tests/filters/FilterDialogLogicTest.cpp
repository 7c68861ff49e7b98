#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

#include "filters/FilterCore.h"
#include "filters/FilterDialogLogic.h"
#include "filters/FilterTestSupport.h"
#include "paper/HeadlessWindow.h"
#include "platform/Clock.h"

namespace tf {
namespace {
using namespace tf::test;

// A dialog of the threshold filter: one number (the threshold) and a fixed colour; the
// remembered values as a module would keep them.
struct Remembered {
  int32_t threshold = 128;
  bool preview = false;
};

class FakeDialog : public CFilterDialogLogic {
 public:
  explicit FakeDialog(Remembered& memory) : memory_(memory) {}

  const void* GetParams() const override { return current_; }
  const void* GetAppliedParams() const override { return applied_; }
  int32_t GetParamSize() const override { return 8; }
  void SetAppliedParams(const void* block) override { std::memcpy(applied_, block, 8); }
  void ReadControls() override {
    current_[0] = control;
    current_[1] = static_cast<int32_t>(0xFF0000FFu);
    ++reads;
  }
  void LoadControls() override {
    control = memory_.threshold;
    SetPreviewOn(memory_.preview);
  }
  int32_t ControlChanged(const void* sender) override { return sender == &control ? 2 : sender == &choice ? 1 : 0; }
  bool IsPreviewOn() const override { return checkBox; }
  void SetPreviewOn(bool on) override {
    const bool changed = checkBox != on;
    checkBox = on;
    if (changed) CheckBoxPreviewClick();  // a check box's toggled fires on loading too
  }
  void SetTimerEnabled(bool enabled) override { timer = enabled; }
  void CancelDialog() override { ++cancels; }
  void Ok() { memory_.threshold = control; memory_.preview = checkBox; }

  int32_t control = 0;
  int32_t choice = 0;
  bool checkBox = false;
  bool timer = false;
  int32_t cancels = 0;
  int32_t reads = 0;

 private:
  Remembered& memory_;
  int32_t current_[2]{};
  int32_t applied_[2]{};
};

class FilterDialogLogicTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetMillisecondSource([this] { return now; });
  }
  void TearDown() override { SetMillisecondSource({}); }
  uint32_t now = 0xFFFFF000u;  // the clock wraps during the tests
};

TEST_F(FilterDialogLogicTest, DragPreviewsOnlyAfterTheValuesRest) {
  FilterDocument f(120, 90);
  ASSERT_TRUE(f.ok);
  const std::vector<uint32_t> original = LayerPixels(f.Paper(), 0);
  CFlt4Core core(f.Paper(), f.Flow(), 0, &ThresholdProc, true);
  Remembered memory;
  memory.preview = true;
  FakeDialog d(memory);
  ASSERT_TRUE(d.Attach(&core));
  EXPECT_TRUE(d.checkBox);
  EXPECT_TRUE(d.PreviewSeen());
  EXPECT_FALSE(core.PreviewDirty());  // loading draws nothing
  EXPECT_FALSE(d.Busy());
  d.FormShow();  // the remembered preview comes at once
  EXPECT_TRUE(core.PreviewDirty());
  EXPECT_TRUE(d.RemovePreview());

  // Three seconds of dragging with the timer ticking every 100 ms: nothing.
  for (int32_t step = 0; step < 30; ++step) {
    d.control = 10 + step;
    d.ValueChange(&d.control);
    EXPECT_TRUE(d.timer);
    now += 100;
    d.TimerTick();
    ASSERT_FALSE(core.PreviewDirty()) << step;
  }
  now += 500;  // 600 ms after the last change
  d.TimerTick();
  EXPECT_FALSE(core.PreviewDirty());
  now += 100;
  d.TimerTick();
  EXPECT_TRUE(core.PreviewDirty());
  EXPECT_FALSE(d.timer);
  EXPECT_EQ(static_cast<const int32_t*>(d.GetAppliedParams())[0], 39);

  // Another kind of control previews at once; a foreign sender changes nothing of the preview.
  d.RemovePreview();
  d.ValueChange(&d.choice);
  EXPECT_FALSE(core.PreviewDirty());  // the block did not change: no update needed
  d.control = 200;
  d.ValueChange(&d.choice);
  EXPECT_TRUE(core.PreviewDirty());

  // Cancel: the layer as it was.
  EXPECT_TRUE(core.RestorePreview(true));
  EXPECT_EQ(LayerPixels(f.Paper(), 0), original);
}

TEST_F(FilterDialogLogicTest, CheckBoxRemovesAndReappliesAtOnce) {
  FilterDocument f(80, 60);
  ASSERT_TRUE(f.ok);
  const std::vector<uint32_t> original = LayerPixels(f.Paper(), 0);
  auto& window = static_cast<HeadlessDocumentWindow&>(*f.Paper().GetDrawWindow());
  CFlt4Core core(f.Paper(), f.Flow(), 0, &ThresholdProc, true);
  Remembered memory;
  FakeDialog d(memory);
  ASSERT_TRUE(d.Attach(&core));
  d.FormShow();
  EXPECT_FALSE(core.PreviewDirty());
  d.control = 30;
  d.ValueChange(&d.control);  // waits for the timer
  d.SetPreviewOn(true);       // but the box applies the current block now
  EXPECT_TRUE(core.PreviewDirty());
  EXPECT_NE(LayerPixels(f.Paper(), 0), original);
  const int32_t paintsBefore = window.invalidations + window.paints;
  d.SetPreviewOn(false);
  EXPECT_FALSE(core.PreviewDirty());
  EXPECT_GT(window.invalidations + window.paints, paintsBefore);
  EXPECT_EQ(LayerPixels(f.Paper(), 0), original);
}

TEST_F(FilterDialogLogicTest, RunProtocolOkCancelAndKeptExceptions) {
  FilterDocument f(80, 60);
  ASSERT_TRUE(f.ok);
  const std::vector<uint32_t> original = LayerPixels(f.Paper(), 0);
  Remembered memory;
  memory.preview = true;

  {  // Cancel after previews: the layer byte for byte, nothing copied out, nothing remembered.
    CFlt4Core core(f.Paper(), f.Flow(), 0, &ThresholdProc, true);
    FakeDialog d(memory);
    int32_t block[2] = {-1, -1};
    EXPECT_FALSE(RunFilterDialogLogic(d, core, [&] {
      d.FormShow();
      d.control = 5;
      d.ValueChange(&d.choice);
      EXPECT_TRUE(core.PreviewDirty());
      return 2;
    }, block));
    EXPECT_EQ(block[0], -1);
    EXPECT_FALSE(core.PreviewDirty());
    EXPECT_EQ(LayerPixels(f.Paper(), 0), original);
    EXPECT_EQ(memory.threshold, 128);
  }
  {  // OK: the block out, the layer still unchanged until the command runs it.
    CFlt4Core core(f.Paper(), f.Flow(), 0, &ThresholdProc, true);
    FakeDialog d(memory);
    int32_t block[2] = {-1, -1};
    EXPECT_TRUE(RunFilterDialogLogic(d, core, [&] {
      d.FormShow();
      d.control = 77;
      d.ValueChange(&d.control);
      d.Ok();
      return 1;
    }, block));
    EXPECT_EQ(block[0], 77);
    EXPECT_EQ(memory.threshold, 77);
    EXPECT_EQ(LayerPixels(f.Paper(), 0), original);
  }
  {  // A handler's exception cancels, comes off the layer and reaches the caller.
    CFlt4Core core(f.Paper(), f.Flow(), 0, &ThresholdProc, true);
    FakeDialog d(memory);
    int32_t block[2] = {-1, -1};
    EXPECT_THROW(RunFilterDialogLogic(d, core, [&] {
      d.FormShow();
      d.Guard([] { throw std::runtime_error("slot failed"); });
      EXPECT_EQ(d.cancels, 1);
      return 1;  // even an OK after it
    }, block), std::runtime_error);
    EXPECT_EQ(block[0], -1);
    EXPECT_EQ(LayerPixels(f.Paper(), 0), original);
  }
  {  // The modal runner refusing (another modal dialog is up) is a cancel.
    CFlt4Core core(f.Paper(), f.Flow(), 0, &ThresholdProc, true);
    FakeDialog d(memory);
    EXPECT_FALSE(RunFilterDialogLogic(d, core, [] { return 2; }, nullptr));
  }
  {  // An invalid core: never shown.
    CFlt4Core core(f.Paper(), f.Flow(), 5, &ThresholdProc, true);
    FakeDialog d(memory);
    bool shown = false;
    EXPECT_FALSE(RunFilterDialogLogic(d, core, [&] { shown = true; return 1; }, nullptr));
    EXPECT_FALSE(shown);
    EXPECT_FALSE(d.HasCore());
  }
}

bool WriteThenThrow(FilterContext& c, const void*, int32_t) {
  SRectWH work{c.Work.left, c.Work.top, c.Work.right - c.Work.left, c.Work.bottom - c.Work.top};
  c.Store->FillRect(work, 0x12345678u);
  throw std::runtime_error("filter raised");
}

TEST_F(FilterDialogLogicTest, WindowPreviewMatchesARunAndNeverLeavesPixelsBehind) {
  FilterDocument f(120, 90);
  ASSERT_TRUE(f.ok);
  const std::vector<uint32_t> original = LayerPixels(f.Paper(), 0);
  const int32_t block[2] = {100, static_cast<int32_t>(0xFF00FF00u)};
  const TRect w{30, 20, 70, 45};
  TMTC image(40, 25);
  {
    CFlt4Core core(f.Paper(), f.Flow(), 0, &ThresholdProc, false);
    ASSERT_TRUE(core.ApplyPreview(block, 8));  // a canvas preview under the window
    ASSERT_TRUE(RenderFilteredWindow(core, block, 8, w, image));
    core.RestorePreview(true);
    EXPECT_EQ(LayerPixels(f.Paper(), 0), original);
    ASSERT_TRUE(core.Execute(block, 8, nullptr));
    const std::vector<uint32_t> full = LayerPixels(f.Paper(), 0);
    for (int32_t y = 0; y < 25; ++y)
      for (int32_t x = 0; x < 40; ++x) ASSERT_EQ(*image.Pixel(x, y), full[(w.top + y) * 120 + w.left + x]);
    TMTC plain(40, 25);
    ASSERT_TRUE(RenderPlainWindow(core, w, plain));
    EXPECT_EQ(*plain.Pixel(3, 4), original[(w.top + 4) * 120 + w.left + 3]);
  }
  // A fresh document for a failing and a raising filter.
  FilterDocument g(120, 90);
  ASSERT_TRUE(g.ok);
  const std::vector<uint32_t> restored = LayerPixels(g.Paper(), 0);
  CFlt4Core failing(g.Paper(), g.Flow(), 0, &ThresholdProc, false);
  const uint32_t marker = *image.Pixel(0, 0);
  EXPECT_FALSE(RenderFilteredWindow(failing, block, 4, w, image));  // wrong size: the proc refuses
  EXPECT_EQ(*image.Pixel(0, 0), marker);
  EXPECT_EQ(LayerPixels(g.Paper(), 0), restored);
  CFlt4Core raising(g.Paper(), g.Flow(), 0, &WriteThenThrow, false);
  EXPECT_THROW(RenderFilteredWindow(raising, block, 8, w, image), std::runtime_error);
  EXPECT_EQ(LayerPixels(g.Paper(), 0), restored);
}

}  // namespace
}  // namespace tf
