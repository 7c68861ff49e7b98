#include <gtest/gtest.h>

#include <cmath>

#include "raster/Appearance.h"
#include "raster/ItemPickerLayout.h"
#include "raster/PressureCurve.h"

namespace tf {
namespace {

TEST(ItemPicker, LaysItsPartsOutByStyleAndBox) {
  const struct {
    uint8_t style;
    bool boxed;
    TRect item, arrow;
  } cases[] = {
      {0, false, {1, 1, 39, 19}, {39, 1, 39, 19}},
      {1, false, {1, 1, 32, 19}, {32, 1, 39, 19}},
      {2, false, {1, 1, 32, 19}, {32, 1, 39, 19}},
      {1, true, {2, 2, 31, 18}, {33, 2, 38, 18}},
      {2, true, {2, 2, 30, 18}, {33, 2, 38, 18}},
  };
  for (const auto& c : cases) {
    const SItemPickerLayout l = LayoutItemPicker(c.style, c.boxed, 40, 20);
    EXPECT_EQ(l.item, c.item) << int(c.style) << c.boxed;
    EXPECT_EQ(l.arrow, c.arrow) << int(c.style) << c.boxed;
  }
  // A control too small still has a one-pixel item.
  EXPECT_EQ(LayoutItemPicker(1, false, 4, 1).item, (TRect{1, 1, 2, 2}));
}

TEST(ItemPicker, HitCodesAndHotFlags) {
  const SItemPickerLayout l = LayoutItemPicker(2, false, 40, 20);
  EXPECT_EQ(ItemPickerHitTest(l, 40, 20, 5, 5), kPickerHitItem);
  EXPECT_EQ(ItemPickerHitTest(l, 40, 20, 35, 5), kPickerHitArrow);
  EXPECT_EQ(ItemPickerHitTest(l, 40, 20, 0, 0), kPickerHitFace);
  EXPECT_EQ(ItemPickerHitTest(l, 40, 20, 40, 5), kPickerHitNone);
  EXPECT_EQ(ItemPickerHotFor(0, kPickerHitItem), kPickerHotItem);
  EXPECT_EQ(ItemPickerHotFor(1, kPickerHitItem), kPickerHotItem | kPickerHotArrow);
  EXPECT_EQ(ItemPickerHotFor(2, kPickerHitArrow), kPickerHotArrow);
  EXPECT_EQ(ItemPickerHotFor(2, kPickerHitFace), 0);
}

TEST(ItemPicker, ColoursByState) {
  const auto& c = AppearanceColors;
  const struct {
    bool enabled, down;
    uint8_t hot;
    bool cut;
    SItemPickerColors want;
  } cases[] = {
      {true, true, 0, false, {c[acHighlight], c[acWindowText], c[acWindow], c[acWindowText], c[acWindow]}},
      {true, false, 0, true, {c[acBtnFace], c[acWindowText], c[acBtnFace], c[acWindowText], c[acBtnFace]}},
      {true, false, 0, false, {c[acGrayText], c[acWindowText], c[acBtnFace], c[acWindowText], c[acBtnFace]}},
      {true, false, 4, false, {c[acHighlight], c[acHighlight], c[acHighlightText], c[acWindowText], c[acBtnFace]}},
      {true, false, 12, true,
       {c[acGrayText], c[acHighlight], c[acHighlightText], c[acHighlight], c[acHighlightText]}},
      {false, false, 12, false, {c[acGrayText], c[acGrayText], c[acBtnFace], c[acGrayText], c[acBtnFace]}},
  };
  for (const auto& k : cases) {
    const SItemPickerColors got = ItemPickerColors(k.enabled, k.down, k.hot, k.cut);
    EXPECT_EQ(got.frame, k.want.frame);
    EXPECT_EQ(got.itemInk, k.want.itemInk);
    EXPECT_EQ(got.itemFace, k.want.itemFace);
    EXPECT_EQ(got.arrowInk, k.want.arrowInk);
    EXPECT_EQ(got.arrowFace, k.want.arrowFace);
  }
}

TEST(ItemPicker, FaceDrawsTheNinePixelArrow) {
  TMemoryGraphic face(40, 20), item(31, 18, 0x00000000u);
  const SItemPickerLayout l = LayoutItemPicker(1, false, 40, 20);
  SItemPickerColors colours = ItemPickerColors(true, false, 0, false);
  colours.arrowInk = 0xFF102030u;
  RenderItemPickerFace(face, item, l, colours, 1, false, false);
  int32_t ink = 0;
  for (int32_t y = 0; y < 20; ++y)
    for (int32_t x = 30; x < 40; ++x) ink += face.GetPixel(x, y) == 0xFF102030u;
  EXPECT_EQ(ink, 9);
  const int32_t r = l.arrow.right, m = 10;
  for (int32_t x = r - 6; x <= r - 2; ++x) EXPECT_EQ(face.GetPixel(x, m - 1), 0xFF102030u);
  EXPECT_EQ(face.GetPixel(r - 4, m + 1), 0xFF102030u);
  EXPECT_EQ(face.GetPixel(0, 5), colours.frame);
}

TEST(AirMapPad, MapsPointsToValues) {
  float x = -1, y = -1;
  // The left half gives 0; the right edge 1.
  ASSERT_TRUE(AirMapPadX(10, 98, x));
  EXPECT_EQ(x, 0.0f);
  ASSERT_TRUE(AirMapPadX(4 + 43, 98, x));
  EXPECT_EQ(x, 0.0f);
  ASSERT_TRUE(AirMapPadX(4 + 64, 98, x));
  EXPECT_FLOAT_EQ(x, 2.0f * 64 / 86 - 1);
  ASSERT_TRUE(AirMapPadX(200, 98, x));
  EXPECT_EQ(x, 1.0f);
  ASSERT_TRUE(AirMapPadY(4, 96, y));
  EXPECT_EQ(y, 1.0f);
  ASSERT_TRUE(AirMapPadY(4 + 42, 96, y));
  EXPECT_FLOAT_EQ(y, 0.5f);
  // Too small to divide by: no pick.
  x = 0.25f;
  EXPECT_FALSE(AirMapPadX(5, 12, x));
  EXPECT_FALSE(AirMapPadY(5, 10, y));
  EXPECT_EQ(x, 0.25f);
}

// ---------------------------------------------------------------------------------------------

TEST(PressureCurve, DragSteps) {
  const struct {
    float gamma;
    int32_t d;
    bool shift;
    float want;
  } cases[] = {
      {0.98f, 5, false, 1.00f}, {1.00f, 1, false, 1.05f}, {1.00f, -1, false, 0.99f}, {5.98f, 1, false, 6.00f},
      {0.06f, -1, false, 0.05f}, {0.05f, -3, false, 0.05f}, {0.37f, 1, true, 0.40f}, {1.50f, 1, true, 1.75f},
      {1.02f, -1, false, 1.00f}, {2.00f, -1, false, 1.95f},
  };
  for (const auto& c : cases)
    EXPECT_FLOAT_EQ(GammaDragStep(c.gamma, c.d, c.shift), c.want) << c.gamma << " " << c.d << " " << c.shift;
  // Dragging: right and down both count.
  CPressureCurve curve;
  curve.SetSize(40, 40);
  curve.SetGamma(0.98f);
  curve.BeginDrag(10, 10);
  EXPECT_TRUE(curve.DragTo(13, 12, false));
  EXPECT_EQ(curve.Gamma(), 1.0f);
  EXPECT_TRUE(curve.DragTo(14, 12, false));
  EXPECT_FLOAT_EQ(curve.Gamma(), 1.05f);
}

TEST(PressureCurve, SetGammaRefusesWhatIsNotANumber) {
  CPressureCurve curve;
  curve.SetSize(20, 20);
  EXPECT_FALSE(curve.SetGamma(NAN));
  EXPECT_FALSE(curve.SetGamma(INFINITY));
  EXPECT_EQ(curve.Gamma(), 1.0f);
  EXPECT_TRUE(curve.SetGamma(-2.0f));
  EXPECT_EQ(curve.Gamma(), 0.0f);
  EXPECT_FALSE(curve.SetGamma(0.0f));
}

TEST(PressureCurve, CoversTheAreaUnderTheCurve) {
  for (const float gamma : {0.3f, 1.0f, 2.5f}) {
    CPressureCurve curve;
    ASSERT_TRUE(curve.SetSize(54, 54));
    curve.SetGamma(gamma);
    const TMTC& img = curve.CurveImage();
    ASSERT_EQ(img.Width(), 200);
    int64_t covered = 0;
    for (int32_t y = 0; y < img.Height(); ++y)
      for (int32_t x = 0; x < img.Width(); ++x) covered += img.GetPixel(x, y) != AppearanceColors[acBtnFace];
    const double area = static_cast<double>(covered) / (200.0 * 200.0);
    EXPECT_NEAR(area, 1.0 / (gamma + 1.0), 0.01) << gamma;
  }
}

}  // namespace
}  // namespace tf
