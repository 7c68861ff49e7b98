#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include "raster/Appearance.h"
#include "ui/GraphicControl.h"
#include "ui/MemoryGraphicQt.h"
#include "ui/UiAppearance.h"

namespace tf {
namespace {

// A surface of every kind of pixel: colours with alphas 0, 128 and 255.
TMemoryGraphic Sample(int32_t w, int32_t h) {
  TMemoryGraphic g(w, h, BGRAClear);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x)
      g.SetPixel(x, y,
                 (x % 3 == 0   ? 0u
                  : x % 3 == 1 ? 0x80000000u
                               : 0xFF000000u) |
                     uint32_t(x * 37) << 16 | uint32_t(y * 53 & 0xFF) << 8 | uint32_t((x + y) * 11 & 0xFF));
  return g;
}

TEST(SurfaceQtTest, DrawCopiesColourBytesOpaquely) {
  const TMemoryGraphic g = Sample(9, 7);
  QImage target(12, 10, QImage::Format_RGB32);
  target.fill(Qt::white);
  {
    QPainter p(&target);
    ASSERT_TRUE(Draw(g, p, 2, 1, 9, 7));
  }
  for (int32_t y = 0; y < 7; ++y)
    for (int32_t x = 0; x < 9; ++x)
      ASSERT_EQ(target.pixel(x + 2, y + 1), g.GetPixel(x, y) | 0xFF000000u) << x << "," << y;
  EXPECT_EQ(target.pixel(0, 0), 0xFFFFFFFFu);
  TMemoryGraphic empty;
  QPainter p(&target);
  EXPECT_FALSE(Draw(empty, p, 0, 0, 4, 4));
}

TEST(SurfaceQtTest, GraphicControlShowsTheSurfacesColourBytes) {
  class Control final : public GraphicControl {
   protected:
    void RenderGraphic() override {
      Graphic().FillGradient({0, 0, Graphic().Width(), Graphic().Height()}, 0x00FF0000, 0xFF0000FF, kDirRight,
                             {ChannelCopy, ChannelCopy});
    }
  };
  Control control;
  control.resize(31, 9);
  control.show();
  const QImage shown = control.grab().toImage().convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(shown.size(), QSize(31, 9));
  for (int32_t y = 0; y < 9; ++y)
    for (int32_t x = 0; x < 31; ++x)
      ASSERT_EQ(shown.pixel(x, y), control.Graphic().GetPixel(x, y) | 0xFF000000u) << x << "," << y;
}

TEST(SurfaceQtTest, DrawBlendOnAnImageIsTheBlit) {
  const TMemoryGraphic g = Sample(9, 7);
  for (QImage::Format format : {QImage::Format_ARGB32, QImage::Format_RGB32}) {
    QImage target(10, 10, format);
    target.fill(QColor(10, 200, 90));
    TMemoryGraphic reference(10, 10);
    reference.CopyBits(0, 0, 10, 10, reinterpret_cast<const uint32_t*>(target.constBits()), 0, 0, 10, 10);
    {
      QPainter p(&target);
      ASSERT_TRUE(DrawBlend(g, p, -1, 3, 9, 7, 2, 1, {ChannelBlend, ChannelKeep}));
    }
    ASSERT_TRUE(reference.DrawGraphic(-1, 3, 9, 7, g, 2, 1, {ChannelBlend, ChannelKeep}));
    for (int32_t y = 0; y < 10; ++y)
      for (int32_t x = 0; x < 10; ++x) ASSERT_EQ(target.pixel(x, y), reference.GetPixel(x, y)) << x << "," << y;
  }
}

TEST(SurfaceQtTest, DrawBlendOnAWindowIsWithinOneOfTheBlend) {
  class Window final : public QWidget {
   public:
    TMemoryGraphic glyph = Sample(9, 7);
    SChannelOps ops{ChannelBlend, ChannelKeep};

   protected:
    void paintEvent(QPaintEvent*) override {
      QPainter p(this);
      p.fillRect(rect(), QColor(200, 100, 50));
      DrawBlend(glyph, p, 1, 1, 9, 7, 0, 0, ops);
    }
  };
  for (SChannelOps ops : {SChannelOps{ChannelBlend, ChannelKeep}, SChannelOps{ChannelMultiply, ChannelKeep},
                          SChannelOps{ChannelCopy, ChannelKeep}}) {
    Window w;
    w.ops = ops;
    w.resize(12, 10);
    const QImage shown = w.grab().toImage().convertToFormat(QImage::Format_RGB32);
    TMemoryGraphic reference(12, 10, 0xFFC86432);
    reference.DrawGraphic(1, 1, 9, 7, w.glyph, 0, 0, ops);
    for (int32_t y = 0; y < 10; ++y)
      for (int32_t x = 0; x < 12; ++x)
        for (int shift = 0; shift < 24; shift += 8)
          ASSERT_NEAR(static_cast<int>(shown.pixel(x, y) >> shift & 0xFF),
                      static_cast<int>(reference.GetPixel(x, y) >> shift & 0xFF), 1)
              << x << "," << y << " ops " << int(ops.color);
  }
}

TEST(SurfaceQtTest, DrawTextPaintsIntoTheColourBytesAndMakesTheRectangleOpaque) {
  TMemoryGraphic g(80, 24, BGRAClearWhite);
  QFont font = DefaultFormFont();
  TRect measure{0, 0, 0, 0};
  ASSERT_TRUE(DrawText(g, "ロード中 Abc", measure, kDtCalcRect | kDtSingleLine, BGRABlack, font));
  EXPECT_GT(measure.right, 30);
  EXPECT_GT(measure.bottom, 8);
  EXPECT_EQ(g.GetPixel(5, 5), BGRAClearWhite);  // measuring draws nothing
  TRect rect{2, 2, 70, 20};
  ASSERT_TRUE(DrawText(g, "ロード中 Abc", rect, kDtSingleLine | kDtVCenter, BGRABlack, font));
  int dark = 0;
  for (int32_t y = 0; y < 24; ++y)
    for (int32_t x = 0; x < 80; ++x) {
      const uint32_t p = g.GetPixel(x, y);
      const bool inside = x >= 2 && x < 70 && y >= 2 && y < 20;
      if (!inside) {
        ASSERT_EQ(p, BGRAClearWhite) << "outside (" << x << ", " << y << ")";
      } else {
        ASSERT_EQ(p >> 24, 255u) << "inside is opaque";
        if ((p & 0xFF) < 100) ++dark;
      }
    }
  EXPECT_GT(dark, 20);
  // Empty text: the rectangle still becomes opaque, colour unchanged.
  TMemoryGraphic e(10, 10, 0x00123456);
  TRect all{0, 0, 10, 10};
  ASSERT_TRUE(DrawText(e, "", all, 0, BGRABlack, font));
  EXPECT_EQ(e.GetPixel(4, 4), 0xFF123456u);
  TMemoryGraphic none;
  EXPECT_FALSE(DrawText(none, "x", all, 0, BGRABlack, font));
}

TEST(SurfaceQtTest, Caption) {
  TMemoryGraphic g(120, 20, BGRAClear);
  TRect size{5, 5, 9, 9};
  ASSERT_TRUE(DrawCaption(g, "ブラシ", size, false, kDtCalcRect | kDtSingleLine));
  EXPECT_EQ(size.left, 0);
  EXPECT_EQ(size.bottom, 18);
  EXPECT_GT(size.right, 21);
  TRect bar{0, 0, 120, 20};
  ASSERT_TRUE(DrawCaption(g, "ブラシ", bar, false, kDtSingleLine | kDtVCenter));
  EXPECT_EQ(bar.bottom, 18);
  const TMemoryGraphic& cap = AppearanceManager().GetCaptionGlyph(0);
  EXPECT_EQ(g.GetPixel(0, 17), cap.GetPixel(0, 17));     // left end cap
  EXPECT_EQ(g.GetPixel(119, 16), cap.GetPixel(17, 16));  // right end cap (its right half)
  EXPECT_EQ(g.GetPixel(60, 0), AppearanceColors[acWindowFrame]);
  EXPECT_EQ(g.GetPixel(60, 16), AppearanceColors[acWindowFrame]);  // inactive: frame above the highlight
  EXPECT_EQ(g.GetPixel(60, 17), AppearanceColors[acBtnHighlight]);
  EXPECT_EQ(g.GetPixel(60, 19), BGRAClear);
  ASSERT_TRUE(DrawCaption(g, "ブラシ", bar, true, kDtSingleLine | kDtVCenter));
  EXPECT_EQ(g.GetPixel(60, 1), AppearanceColors[acBtnHighlight]);
  EXPECT_EQ(g.GetPixel(60, 16), AppearanceColors[acBtnFace]);
}

}  // namespace
}  // namespace tf
