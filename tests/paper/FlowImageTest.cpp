// The working copy of a layer: loading, growing, resizing, writing back and reloading.
#include <gtest/gtest.h>

#include "paint/Stroke.h"
#include "paper/PaperTestSupport.h"

namespace tf {
namespace {

using test::PaperTestScope;

// A set-up 300 x 200 document in a headless window.
struct FlowFixture {
  FlowFixture() { EXPECT_TRUE(Paper().NewDocument("f", &window.Flow(), false, false, 72, 200, 300)); }
  TPaper& Paper() { return window.Paper(); }
  TFlowImage& Flow() { return window.Flow(); }
  CBlockVMTC& Store(int32_t index = 0) { return *Paper().GetLayer(index)->Store(); }

  PaperTestScope scope;
  HeadlessDocumentWindow window;
};

TEST(FlowImage, ASmallerStoreLeavesTheCopyLargeAndItsOuterPixelsAlone) {
  FlowFixture f;
  ASSERT_EQ(f.Flow().Image().Size(), (SSize{300, 200}));
  *f.Flow().Image().Pixel(250, 150) = 0x12345678u;
  CBlockVMTC small(100, 100);
  small.FillAll(0xFF00FF00u);
  EXPECT_TRUE(f.Flow().LoadLayer(5, small, false));
  EXPECT_EQ(f.Flow().Image().Size(), (SSize{300, 200}));
  EXPECT_EQ(f.Flow().Image().GetPixel(50, 50), 0xFF00FF00u);
  EXPECT_EQ(f.Flow().Image().GetPixel(250, 150), 0x12345678u);
  EXPECT_EQ(f.Flow().layer, 5);
  EXPECT_EQ(f.Flow().valid, 1);
}

TEST(FlowImage, TheSameLayerIsCopiedOnceUnlessForcedAndForcingCompactsTheStore) {
  FlowFixture f;
  TFlowImage copy(&f.Paper());
  EXPECT_TRUE(copy.LoadLayer(0, f.Store(), false));  // grows to the store
  EXPECT_EQ(copy.Image().Size(), (SSize{300, 200}));
  EXPECT_EQ(copy.Image().GetPixel(10, 10), 0xFFFFFFFFu);
  *copy.Image().Pixel(10, 10) = 0xFF000000u;
  copy.WorkChannel().Fill(9);
  EXPECT_FALSE(copy.LoadLayer(0, f.Store(), false));  // held and valid: nothing copied
  EXPECT_EQ(copy.Image().GetPixel(10, 10), 0xFF000000u);
  EXPECT_EQ(*copy.WorkChannel().Bits(), 9);

  // A committed tile holding the fill value again is released by the compaction of a forced load.
  ASSERT_TRUE(f.Store().SetPixel(40, 40, 0xFF0000FFu));
  ASSERT_TRUE(f.Store().SetPixel(40, 40, f.Store().GetPixel(0, 0)));
  const int32_t committed = f.Store().CommittedTileCount();
  EXPECT_TRUE(copy.LoadLayer(0, f.Store(), true));
  EXPECT_LT(f.Store().CommittedTileCount(), committed);
  EXPECT_EQ(copy.Image().GetPixel(10, 10), 0xFFFFFFFFu);
  EXPECT_EQ(*copy.WorkChannel().Bits(), 0);

  copy.valid = 0;
  EXPECT_TRUE(copy.LoadLayer(0, f.Store(), false));  // not valid: copied again
  EXPECT_TRUE(copy.LoadLayer(1, f.Store(), false));  // another layer index: copied again
}

TEST(FlowImage, TheCanvasRectangleFollowsTheLayerOffset) {
  FlowFixture f;
  f.Paper().GetLayer(0)->offsetX = 7;
  f.Paper().GetLayer(0)->offsetY = 3;
  f.Flow().LoadLayer(0, f.Store(), false);
  EXPECT_EQ(f.Flow().canvasRect, (SRectWH{7, 3, 300, 200}));
}

TEST(FlowImage, ResizeFollowsTheLargestStore) {
  FlowFixture f;
  const uint8_t validBefore = f.Flow().valid;
  EXPECT_FALSE(f.Flow().Resize(false));  // already the largest store's size
  EXPECT_EQ(f.Flow().valid, validBefore);

  ASSERT_GE(f.Paper().Layers().AddLayer(400, 250, true, 255, false, 3), 0);
  EXPECT_TRUE(f.Flow().Resize(false));
  EXPECT_EQ(f.Flow().Image().Size(), (SSize{400, 250}));
  EXPECT_EQ(f.Flow().WorkChannel().Width(), 400);
  EXPECT_EQ(f.Flow().Image().GetPixel(399, 249), 0x00FFFFFFu);
  EXPECT_EQ(f.Flow().valid, 0);
  EXPECT_EQ(f.Flow().canvasRect, (SRectWH{0, 0, 300, 200}));
  EXPECT_TRUE(f.Flow().LoadLayer(0, f.Store(), false));  // invalid: any layer copies

  // Without shrinking the copy keeps its size when the large layer goes; with it, it shrinks.
  f.Paper().Layers().Delete(1);
  EXPECT_FALSE(f.Flow().Resize(false));
  EXPECT_TRUE(f.Flow().Resize(true));
  EXPECT_EQ(f.Flow().Image().Size(), (SSize{300, 200}));

  HeadlessDocumentWindow empty;  // no layer: nothing to size after
  EXPECT_FALSE(empty.Flow().Resize(true));
}

TEST(FlowImage, SyncFlowRectWritesBackOrReloadsTheClippedRectangle) {
  FlowFixture f;
  TFlowImage& flow = f.Flow();
  SRectWH painted{20, 30, 10, 5};
  flow.Image().FillRect(painted, 0xFF112233u);
  flow.WorkChannel().Fill(200);
  f.Paper().SyncFlowRect(&flow, 0, true, TRect{20, 30, 30, 35});
  EXPECT_EQ(f.Store().GetPixel(25, 32), 0xFF112233u);
  EXPECT_EQ(f.Store().GetPixel(30, 32), 0xFFFFFFFFu);
  EXPECT_EQ(*flow.WorkChannel().Bits(), 0);

  f.Store().SetPixel(299, 199, 0xFF445566u);
  flow.valid = 0;
  f.Paper().SyncFlowRect(&flow, 0, false, TRect{-10, -10, 5000, 5000});  // clipped to the copy
  EXPECT_EQ(flow.Image().GetPixel(299, 199), 0xFF445566u);
  EXPECT_EQ(flow.Image().GetPixel(25, 32), 0xFF112233u);
  EXPECT_EQ(flow.valid, 1);
}

TEST(FlowImage, CommitFlowImageCopiesTheWholeImageEitherWay) {
  FlowFixture f;
  TFlowImage& flow = f.Flow();
  flow.Image().FillAll(0xFF808080u);
  flow.WorkChannel().Fill(1);
  f.Paper().CommitFlowImage(&flow, 0, true);
  EXPECT_EQ(f.Store().GetPixel(0, 0), 0xFF808080u);
  EXPECT_EQ(f.Store().GetPixel(299, 199), 0xFF808080u);
  EXPECT_EQ(*flow.WorkChannel().Bits(), 0);

  f.Store().FillAll(0x00FFFFFFu);
  f.Paper().CommitFlowImage(&flow, 0, false);
  EXPECT_EQ(flow.Image().GetPixel(123, 45), 0x00FFFFFFu);
}

TEST(FlowImage, SelectingTheHeldLayerReloadsItFromTheStore) {
  FlowFixture f;
  *f.Flow().Image().Pixel(3, 3) = 0xFF000000u;
  ASSERT_TRUE(f.Paper().SelectLayer(&f.Flow(), 0));
  EXPECT_EQ(f.Flow().Image().GetPixel(3, 3), 0xFFFFFFFFu);
  EXPECT_FALSE(f.Paper().SelectLayer(&f.Flow(), 1));
  EXPECT_FALSE(f.Paper().SelectLayer(&f.Flow(), -1));
  EXPECT_EQ(f.Paper().GetActiveLayerIndex(), 0);
}

TEST(FlowImage, LoadingALayerTellsTheCurrentStrokeWhichLayerItPaintsOn) {
  FlowFixture f;
  TStroke stroke(0);
  stroke.SetLayerIndex(-7);
  f.window.stroke = &stroke;
  ASSERT_GE(f.Paper().Layers().AddLayer(300, 200, true, 255, false, 3), 0);
  EXPECT_TRUE(f.Paper().SelectLayer(&f.Flow(), 1));
  EXPECT_EQ(stroke.GetLayerIndex(), 1);
  // Also when nothing had to be copied.
  stroke.SetLayerIndex(-7);
  EXPECT_FALSE(f.Paper().SyncFlowImage(&f.Flow(), 1, false));
  EXPECT_EQ(stroke.GetLayerIndex(), 1);
  f.window.stroke = nullptr;
}

}  // namespace
}  // namespace tf
