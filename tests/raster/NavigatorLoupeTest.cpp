#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "raster/Appearance.h"
#include "raster/Drawing.h"
#include "raster/Loupe.h"
#include "raster/Navigator.h"

namespace tf {
namespace {

struct LayoutCase {
  int32_t controlW, controlH, docW, docH;
  bool limit;
  float scale;
  TRect rect;
};

TEST(Navigator, LaysTheThumbnailOut) {
  const LayoutCase cases[] = {
      // sx = 96 / 2000 = 0.048 below sy = 76 / 1000: 100 x 52 at top 14.
      {100, 80, 2000, 1000, false, 0.048f, {0, 14, 100, 66}},
      // The 32 box: a portrait document gives 16 x 32, then the border.
      {100, 80, 500, 1000, true, 32.0f / 1000.0f, {40, 22, 60, 58}},
      // A box that does not fit the control takes the control.
      {30, 30, 500, 1000, true, 26.0f / 1000.0f, {6, 0, 23, 30}},
      // A tiny control still gets 5 x 5.
      {3, 3, 10, 10, false, 1.0f / 10.0f, {-1, -1, 4, 4}},
  };
  for (const LayoutCase& c : cases) {
    CNavigator n;
    n.SetFitToControl(c.limit);
    n.SetControlSize(c.controlW, c.controlH);
    n.SetDocumentSize(c.docW, c.docH);
    EXPECT_EQ(n.ThumbnailRect(), c.rect) << c.docW << "x" << c.docH << " in " << c.controlW << "x" << c.controlH;
    EXPECT_FLOAT_EQ(n.ThumbnailScale(), c.scale);
    EXPECT_EQ(n.Thumbnail().Width(), n.InnerWidth());
  }
}

TEST(Navigator, ThumbnailSizeBelowFiveIsIgnored) {
  CNavigator n;
  n.SetFitToControl(true);
  n.SetControlSize(100, 100);
  n.SetDocumentSize(100, 100);
  const TRect before = n.ThumbnailRect();
  n.SetThumbnailSize(4, 40);
  EXPECT_EQ(n.ThumbnailRect(), before);
  n.SetThumbnailSize(40, 40);
  EXPECT_EQ(n.ThumbnailRect(), (TRect{28, 28, 72, 72}));
}

TEST(Navigator, FrameCornersFollowAnIndependentRotation) {
  CNavigator n;
  n.SetControlSize(120, 100);
  n.SetDocumentSize(1000, 800);
  n.SetViewSize(301, 201);
  n.SetScale(0.5f);
  n.SetViewCenter(400, 300);
  for (const float angle : {0.0f, 0.3f, -1.2f, 3.0f}) {
    n.SetRotation(angle);
    const double ts = n.ThumbnailScale(), fs = ts / 0.5;
    const double ox = n.ThumbnailRect().left + 2 + 400 * ts, oy = n.ThumbnailRect().top + 2 + 300 * ts;
    const double hx = 150, hy = 100;
    const double xs[4] = {-hx, hx, hx, -hx}, ys[4] = {-hy, -hy, hy, hy};
    for (int32_t i = 0; i < 4; ++i) {
      const double x = std::cos(angle) * xs[i] - std::sin(angle) * ys[i];
      const double y = std::sin(angle) * xs[i] + std::cos(angle) * ys[i];
      EXPECT_NEAR(n.ViewFrame()[i].x, x * fs + ox, 1e-3) << angle << " corner " << i;
      EXPECT_NEAR(n.ViewFrame()[i].y, y * fs + oy, 1e-3) << angle << " corner " << i;
    }
  }
}

TEST(Navigator, PointToDocumentStopsWhereTheDiagonalTouches) {
  CNavigator n;
  n.SetControlSize(104, 104);
  n.SetDocumentSize(1000, 1000);  // thumbnail scale 0.1, inner 100 x 100 at (2, 2)
  n.SetViewSize(201, 401);        // frame 20 x 40 thumbnail pixels at scale 1
  int32_t x = 0, y = 0;
  ASSERT_TRUE(n.PointToDocument(52, 52, x, y));
  EXPECT_EQ(x, 500);
  EXPECT_EQ(y, 500);
  // The diagonal's extent against the thumbnail: |20 - 100| / 2 = 40 and |40 - 100| / 2 = 30.
  ASSERT_TRUE(n.PointToDocument(2 - 40, 2 - 30, x, y));
  EXPECT_EQ(x, -400);
  EXPECT_EQ(y, -300);
  ASSERT_TRUE(n.PointToDocument(-500, 2000, x, y));
  EXPECT_EQ(x, -400);
  EXPECT_EQ(y, 1300);
}

TEST(Navigator, DragsMoveTheViewAndTurnsTurnIt) {
  CNavigator n;
  n.SetHasDocument(true);
  n.SetControlSize(104, 104);
  n.SetDocumentSize(1000, 1000);
  n.SetViewSize(100, 100);
  int32_t centres = 0;
  float turned = 99.0f;
  n.OnViewCenterChanged = [&](int32_t, int32_t) { ++centres; };
  n.OnRotationChanged = [&](float r) { turned = r; };
  EXPECT_FALSE(n.LeftDown(0, 0, false));  // outside the inner area
  EXPECT_TRUE(n.LeftDown(12, 22, false));
  EXPECT_EQ(n.ViewCenterX(), 100);
  EXPECT_EQ(n.ViewCenterY(), 200);
  n.MouseMove(32, 22, false, 4, 4);
  EXPECT_EQ(n.ViewCenterX(), 300);
  n.ButtonUp();
  EXPECT_EQ(centres, 2);
  // A right click without movement turns the view upright.
  n.SetRotation(1.0f);
  EXPECT_TRUE(n.RightDown(80, 52));
  n.MouseMove(82, 52, true, 4, 4);  // within the drag distance
  n.ButtonUp();
  EXPECT_EQ(turned, 0.0f);
  // A right drag turns it by the swept angle (negated: reverse rotation is on at creation).
  EXPECT_TRUE(n.RightDown(92, 52));
  n.MouseMove(52, 92, true, 4, 4);
  EXPECT_NEAR(n.Rotation(), static_cast<float>(M_PI / 2), 1e-6);
  n.ButtonUp();
  EXPECT_TRUE(n.Rotation() != 0.0f);
  n.SetReverseRotation(false);
  EXPECT_NEAR(n.AngleAt(52, 92), M_PI / 2, 1e-6);
}

TEST(Navigator, RendersButtonFaceWithoutADocument) {
  CNavigator n;
  n.SetControlSize(20, 10);
  EXPECT_EQ(n.Picture().GetPixel(10, 5), AppearanceColors[acBtnFace]);
  int32_t asked = 0;
  n.OnRenderThumbnail = [&](TMTC& image, int32_t w, int32_t h) {
    ++asked;
    EXPECT_EQ(image.Width(), w);
    image.FillValue(0xFF112233u);
  };
  n.SetDocumentSize(100, 100);
  n.SetHasDocument(true);
  n.UpdatePreview(kNavigatorThumbnail);
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(n.Picture().GetPixel(10, 5), 0xFF112233u);
}

// ---------------------------------------------------------------------------------------------

TEST(Loupe, ClearsToGreyWithFramesAndACrosshair) {
  CLoupe loupe;
  loupe.SetGrid(false);
  ASSERT_TRUE(loupe.SetSize(20, 16));
  const TMTC& p = loupe.Picture();
  EXPECT_EQ(p.GetPixel(0, 0), AppearanceColors[acBtnShadow]);
  EXPECT_EQ(p.GetPixel(19, 15), AppearanceColors[acBtnHighlight]);
  EXPECT_EQ(p.GetPixel(1, 5), AppearanceColors[acWindowFrame]);
  EXPECT_EQ(p.GetPixel(10, 8), kLoupeClearColour);
  EXPECT_EQ(p.GetPixel(10, 3), kLoupeClearColour);
  loupe.SetGrid(true);
  // Alpha 128 at the edge, 0 at the centre.
  EXPECT_EQ(p.GetPixel(10, 8), kLoupeClearColour);
  EXPECT_EQ(p.GetPixel(10, 2) & 0xFF, 0xCCu * 127 / 255);
  // A tiny control still has a 4 x 4 picture.
  loupe.SetSize(1, 1);
  EXPECT_EQ(loupe.Picture().Width(), 4);
}

TEST(Loupe, ShowsTransparentPixelsByBackground) {
  InitCompositeTables();
  TMTC source(64, 64);
  source.FillValue(0x00000000u);  // transparent black
  const struct {
    TLoupeBackground background;
    uint32_t at2, at10;
  } cases[] = {
      {lbNone, 0xFFFFFFFFu, 0xFFFFFFFFu},
      {lbCanvas, 0x00000000u, 0x00000000u},
      {lbTransparent, kLoupeCheckerEven, kLoupeCheckerOdd},  // cells from (0, 0): x 2 even, x 10 odd
  };
  for (const auto& c : cases) {
    CLoupe loupe;
    loupe.SetGrid(false);
    loupe.SetSize(40, 40);
    loupe.SetBackground(c.background);
    ASSERT_TRUE(loupe.DrawLoupe(source, 32, 32, 0.3f));
    EXPECT_EQ(loupe.Picture().GetPixel(2, 4), c.at2) << int(c.background);
    EXPECT_EQ(loupe.Picture().GetPixel(10, 4), c.at10) << int(c.background);
    EXPECT_EQ(loupe.Picture().GetPixel(0, 0), AppearanceColors[acBtnShadow]);  // frames stay
  }
}

TEST(Loupe, MagnificationIsTheSamplingStep) {
  TMTC source(16, 16);
  for (int32_t y = 0; y < 16; ++y)
    for (int32_t x = 0; x < 16; ++x) *source.Pixel(x, y) = 0xFF000000u | uint32_t(x << 8 | y);
  CLoupe loupe;
  loupe.SetGrid(false);
  loupe.SetSize(36, 36);
  EXPECT_FALSE(loupe.SetMagnification(NAN));
  ASSERT_TRUE(loupe.SetMagnification(0.125f));  // 800 %
  ASSERT_TRUE(loupe.DrawLoupe(source, 8, 8, 0.0f));
  // Eight picture pixels per source pixel: the inner runs of a row are 8 long.
  std::vector<int32_t> runs{1};
  for (int32_t x = 3; x < 34; ++x) {
    if (loupe.Picture().GetPixel(x, 18) == loupe.Picture().GetPixel(x - 1, 18))
      ++runs.back();
    else
      runs.push_back(1);
  }
  ASSERT_GE(runs.size(), 3u);
  for (size_t i = 1; i + 1 < runs.size(); ++i) EXPECT_EQ(runs[i], 8);
}

}  // namespace
}  // namespace tf
