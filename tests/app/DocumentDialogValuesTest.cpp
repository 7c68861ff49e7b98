#include "app/DocumentDialogValues.h"

#include <gtest/gtest.h>

#include "app/AppProfile.h"
#include "document/BlendMode.h"
#include "filters/Convolve.h"
#include "raster/Appearance.h"
#include "raster/BlockVMTC.h"

namespace tf {
namespace {

int32_t PercentIndex() { return 0; }
int32_t InchIndex() { return 1; }

TEST(ImageSizeCoreTest, HalfTheWidthInPercent) {
  CImageSizeCore c;
  c.Wire();
  c.Seed(640, 480, 72);
  EXPECT_EQ(c.SizeText(), "640 × 480 pixel");
  EXPECT_EQ(c.NumWidth.Value(), 100);  // the pixel models' changes filled the percent fields
  EXPECT_EQ(c.NumHeight.Value(), 100);
  c.NumWidth.SetValue(50);
  EXPECT_EQ(c.NumPixelW.Value(), 320);
  EXPECT_EQ(c.PixelCaption(), "ピクセル ( 320 × 480 px )");
  EXPECT_EQ(c.ResultWidth(), 320);
  EXPECT_EQ(c.ResultHeight(), 480);
  // The percent range keeps the pixels within 8..10000.
  c.NumWidth.SetValue(1.0e6f);
  EXPECT_EQ(c.ResultWidth(), 10000);
}

TEST(ImageSizeCoreTest, RelationShowsOffsets) {
  CImageSizeCore c;
  c.Wire();
  c.Seed(640, 480, 72);
  c.relation = true;
  c.ParamChange(CImageSizeCore::sChkRelation);
  EXPECT_EQ(c.NumPixelW.Value(), 0);
  EXPECT_EQ(c.NumPixelH.Value(), 0);
  EXPECT_EQ(c.NumWidth.Value(), 0);
  EXPECT_EQ(c.NumPixelW.ValueMin(), -632);
  EXPECT_EQ(c.NumPixelW.ValueMax(), 9360);
  c.NumPixelW.SetValue(-100000);  // clamped: the result stays at least 8
  EXPECT_EQ(c.ResultWidth(), 8);
  // Inches relative: +1 inch at 72 dots per inch.
  c.unitIndexW = InchIndex();
  c.ParamChange(CImageSizeCore::sCmbWidth);
  c.NumWidth.SetValue(1);
  EXPECT_EQ(c.ResultWidth(), 640 + 72);
}

TEST(ImageSizeCoreTest, AnEightPixelSideKeepsTheFormsStart) {
  CImageSizeCore c;
  c.Wire();
  c.Seed(8, 300, 72);
  EXPECT_EQ(c.NumWidth.Value(), 100);
  EXPECT_EQ(c.NumPixelW.Value(), 8);
  // 125000 % of 8 pixels is the largest side, reached without an exponent in the text.
  c.NumWidth.SetValue(125000);
  EXPECT_EQ(c.ResultWidth(), 10000);
}

TEST(ResolutionCoreTest, DoublingTheResolution) {
  for (const bool inches : {true, false}) {
    CResolutionCore c;
    c.Wire();
    c.Seed(640, 480, 72);
    c.unitIndexW = c.unitIndexH = inches ? InchIndex() : PercentIndex();
    c.ParamChange(CResolutionCore::sCmbWidth);
    c.ParamChange(CResolutionCore::sCmbHeight);
    c.NumResolution.SetValue(144);
    EXPECT_EQ(c.Resolution(), 144);
    EXPECT_EQ(c.ResultWidth(), inches ? 1280 : 640) << inches;
    EXPECT_EQ(c.ResultHeight(), inches ? 960 : 480) << inches;
  }
}

TEST(ResolutionCoreTest, AspectKept) {
  CResolutionCore c;
  c.Wire();
  c.Seed(640, 480, 72);
  c.NumPixelW.SetValue(320);
  EXPECT_EQ(c.NumPixelH.Value(), 240);
  EXPECT_EQ(c.ResultHeight(), 240);
  c.constraint = false;
  c.NumPixelH.SetValue(100);
  EXPECT_EQ(c.ResultWidth(), 320);
  EXPECT_EQ(c.ResultHeight(), 100);
}

TEST(JpegOptionCoreTest, PresetsAndAFreeQuality) {
  CAppProfile profile;
  profile.jpegQVHigh = 100;
  profile.jpegQHigh = 90;
  profile.jpegQStd = 75;
  profile.jpegQLow = 50;
  profile.jpegQType = 4;
  profile.jpegQuality = 82;
  CJpegOptionCore c(profile);
  c.Seed();
  EXPECT_EQ(c.presetIndex, 2);  // 164 is below 190 and 165, not below 125
  EXPECT_EQ(c.value.qualityChoice, 4);
  EXPECT_EQ(c.value.quality, 82);
  c.presetIndex = 0;
  c.ValueChange(CJpegOptionCore::sCmbC);
  EXPECT_EQ(c.NumQ.Value(), 100);
  EXPECT_EQ(c.value.qualityChoice, 0);
  c.NumQ.SetValue(95);  // a tie goes to the higher preset
  EXPECT_EQ(c.presetIndex, 0);
  c.ValueChange(CJpegOptionCore::sTrackQ, 0.0f);
  EXPECT_EQ(c.NumQ.Value(), 10);
  EXPECT_EQ(c.presetIndex, 3);
  EXPECT_FLOAT_EQ(JpegTrackIn(0.5f), 5.0f / 18);
  for (float p : {0.0f, 0.25f, 0.5f, 1.0f}) EXPECT_NEAR(JpegTrackOut(JpegTrackIn(p)), p, 1e-6f);
  c.NumS.SetValue(30);
  c.ValueChange(CJpegOptionCore::sChkP);
  CAppProfile written;
  c.WriteSettings(written);
  EXPECT_EQ(written.jpegQType, 4);  // 10 is no preset's quality
  EXPECT_EQ(written.jpegValSmooth, 30);
  EXPECT_TRUE(written.jpegUseSmooth);
}

TEST(NewLayerCoreTest, NeutralColourItem) {
  CNewLayerCore c;
  c.ModeChange(bmMultiple);
  EXPECT_EQ(c.colourItems[0], "白( 中性色 )");
  EXPECT_EQ(c.colourIndex, 0);
  c.transparent = false;
  EXPECT_EQ(c.Result("a").color, 0xFFFFFFFFu);
  EXPECT_EQ(c.Result("a").blendMode, BlendModeToLayerMode(bmMultiple));
  c.ModeChange(bmStandard);
  EXPECT_EQ(c.colourItems[0], "白");
  c.NumOpaque.SetValue(50);
  EXPECT_EQ(c.Result("a").opacity, 128);
}

TEST(LayerOptionValuesTest, OpacitiesRoundTripAndRanges) {
  for (int32_t o = 0; o <= 255; ++o) ASSERT_EQ(PercentToOpacity(OpacityToPercent(o)), o) << o;
  EXPECT_EQ(static_cast<int32_t>(OpacityToPercent(128)), 50);
  TNumMngr x;
  SeedPositionModel(x, 9000, -20);
  EXPECT_EQ(x.ValueMin(), -1000);
  EXPECT_EQ(x.ValueMax(), 1000);
  SeedPositionModel(x, 100, 300);
  EXPECT_EQ(x.ValueMax(), 300);
  EXPECT_TRUE(CropOffered(700, 480, 640, 480));
  EXPECT_FALSE(CropOffered(640, 480, 640, 480));
  const long double halves[][2] = {{2.5L, 3}, {-2.5L, -3}, {-2.4L, -2}, {0.49L, 0}};
  for (const auto& h : halves) EXPECT_EQ(RoundHalfAway(h[0]), h[1]);
}

TEST(LayerOptionValuesTest, PreviewFramesTheCanvas) {
  CBlockVMTC store;
  ASSERT_TRUE(store.Create(200, 100));
  TMemoryGraphic box;
  box.SetSize(104, 104);
  ASSERT_TRUE(DrawLayerPreview(box, store, 0, 0, 100, 100));
  // The picture fills 100 x 50 from (2, 27); the canvas outline's left edge is at x 2.
  EXPECT_EQ(box.GetPixel(2, 40) & 0xFFFFFF, AppearanceColors[acHighlight] & 0xFFFFFF);
  CBlockVMTC empty;
  EXPECT_FALSE(DrawLayerPreview(box, empty, 0, 0, 100, 100));
  EXPECT_FALSE(DrawMaskPreview(box, nullptr, 0, 0, 0, 100));
  EXPECT_TRUE(DrawMaskPreview(box, nullptr, 0, 0, 640, 480));
}

}  // namespace
}  // namespace tf
