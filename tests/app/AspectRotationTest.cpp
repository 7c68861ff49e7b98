#include "app/AspectRotation.h"

#include <gtest/gtest.h>

#include <cmath>

#include "paint/PaintParam.h"

namespace tf {
namespace {

TEST(AspectRotation, SetParamsClampsWrapsAndRefusesNaN) {
  const struct {
    float rotation, want;
  } wraps[] = {{540, -180}, {180, -180}, {-181, 179}, {-180, -180}, {179.5f, 179.5f}, {-900, 180 - 360}, {721, 1}};
  for (const auto& w : wraps) {
    CAspectRotation a;
    SAspectParams p = a.Params();
    p.rotation = w.rotation;
    a.SetParams(p);
    EXPECT_EQ(a.Params().rotation, w.want) << w.rotation;
  }
  CAspectRotation a;
  int32_t changes = 0;
  a.OnChange = [&] { ++changes; };
  SAspectParams p{7, 500.0f, 0.0f, 150.0f, 10.0f, -5.0f, 200.0f};
  EXPECT_TRUE(a.SetParams(p));
  EXPECT_EQ(a.Params(), (SAspectParams{7, 200.0f, 1.0f, 99.0f, 10.0f, 0.0f, 100.0f}));
  EXPECT_EQ(a.GetFlattening(), 99.0f);
  EXPECT_EQ(changes, 1);
  EXPECT_FALSE(a.SetParams(a.Params()));
  EXPECT_EQ(changes, 1);
  // A NaN from an older pen's registry value keeps the old values.
  for (float* field : {&p.maxRadius, &p.minRadius, &p.flattening, &p.rotation}) {
    SAspectParams bad = a.Params();
    const ptrdiff_t offset = reinterpret_cast<char*>(field) - reinterpret_cast<char*>(&p);
    *reinterpret_cast<float*>(reinterpret_cast<char*>(&bad) + offset) = NAN;
    EXPECT_FALSE(a.SetParams(bad));
    EXPECT_EQ(a.Params(), (SAspectParams{7, 200.0f, 1.0f, 99.0f, 10.0f, 0.0f, 100.0f}));
  }
  EXPECT_EQ(changes, 1);
}

TEST(AspectRotation, GeometryOfTheDefaultEditor) {
  CAspectRotation a;  // 86 x 88
  EXPECT_EQ(a.Centre().x, 42.5f);
  EXPECT_EQ(a.Centre().y, 36.0f);
  EXPECT_EQ(a.DisplayRadius(), 32.0f);
  EXPECT_FLOAT_EQ(a.OuterHandle().x, 74.5f);
  EXPECT_FLOAT_EQ(a.InnerHandle().x, 58.5f);
  EXPECT_NEAR(a.AspectHandle().y, 68.0f, 1e-4);
  a.SetRotationAndFlattening(90.0f, 50.0f);
  // Turned a quarter: the outer handle below the centre, the aspect handle to its left at R / 2.
  EXPECT_NEAR(a.OuterHandle().x, 42.5f, 1e-4);
  EXPECT_NEAR(a.OuterHandle().y, 68.0f, 1e-4);
  EXPECT_NEAR(a.AspectHandle().x, 42.5f - 16.0f, 1e-4);
  EXPECT_EQ(a.PreviewImage().Width(), 82);
  EXPECT_EQ(a.PreviewImage().Height(), 69);
}

// The hit test against a model written from the rules, over every pixel.
TEST(AspectRotation, HitTestOverEveryPixel) {
  for (const bool mapping : {false, true}) {
    CAspectRotation a;
    a.SetSize(100, 110);
    a.SetNibListVisible(true);
    a.SetTextMetrics(18, 24, 10, 8, 14);
    a.SetRotationAndFlattening(30.0f, 40.0f);
    a.SetMapping(mapping, 64, 32, 100.0f);
    auto square = [](SPointF h, int32_t x, int32_t y) {
      const int32_t hx = static_cast<int32_t>(h.x + 0.5f), hy = static_cast<int32_t>(h.y + 0.5f);
      return x >= hx - 4 && x < hx + 8 && y >= hy - 4 && y < hy + 8;
    };
    auto in = [](TRect r, int32_t x, int32_t y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; };
    for (int32_t y = -2; y < 112; ++y) {
      for (int32_t x = -2; x < 102; ++x) {
        int32_t want = 0;
        if (square(a.OuterHandle(), x, y)) want = mapping ? 3 : 2;
        else if (square(a.InnerHandle(), x, y)) want = 4;
        else if (square(a.AspectHandle(), x, y)) want = 5;
        else if (in({87, 82, 98, 93}, x, y)) want = 7;
        else if (!mapping && in({2, 82, 13, 93}, x, y)) want = 6;
        else if (in({6, 95, 24, 109}, x, y)) want = 8;
        else if (in({42, 95, 66, 109}, x, y)) want = 9;
        else if (in({2, 2, 98, 93}, x, y)) want = 1;
        ASSERT_EQ(a.HitTest(x, y), want) << x << "," << y << " mapping " << mapping;
      }
    }
  }
}

TEST(AspectRotation, AspectHandleDrag) {
  CAspectRotation a;
  a.SetSize(87, 88);  // centre (43, 36), R 32
  float f = -1, r = -1;
  ASSERT_TRUE(a.AspectAt(43, 36, false, f, r));  // at the centre: clamped to 99
  EXPECT_EQ(f, 99.0f);
  ASSERT_TRUE(a.AspectAt(43 + 32, 36, false, f, r));  // at R: 0
  EXPECT_EQ(f, 0.0f);
  EXPECT_EQ(r, -90.0f);
  ASSERT_TRUE(a.AspectAt(43, 36 + 32, false, f, r));  // straight below: rotation 0
  EXPECT_EQ(r, 0.0f);
  ASSERT_TRUE(a.AspectAt(43, 36 - 21, true, f, r));  // above: -90 + 270 = 180; Shift grids 5 and 15
  EXPECT_EQ(f, 30.0f);
  EXPECT_EQ(r, 180.0f);
  // Ctrl: flattening only; Alt: rotation only.
  ASSERT_EQ(a.MouseDown(static_cast<int32_t>(a.AspectHandle().x), static_cast<int32_t>(a.AspectHandle().y)), 5);
  a.MouseMove(43 + 16, 36, false, true, false);
  EXPECT_EQ(a.GetRotation(), 0.0f);
  EXPECT_EQ(a.GetFlattening(), 50.0f);
  a.MouseMove(20, 36, false, false, true);
  EXPECT_NEAR(a.GetRotation(), 90.0f, 1e-4);
  a.MouseUp();
  // A double click resets flattening and rotation, not the radii.
  a.SetMaxRadius(12.0f);
  a.ResetAspect();
  EXPECT_EQ(a.GetRotation(), 0.0f);
  EXPECT_EQ(a.GetFlattening(), 0.0f);
  EXPECT_EQ(a.Params().maxRadius, 12.0f);
  // An editor too small for a radius takes no aspect picks.
  CAspectRotation tiny;
  tiny.SetSize(8, 20);
  EXPECT_FALSE(tiny.AspectAt(3, 3, false, f, r));
}

TEST(AspectRotation, RadiusAndScaleDrags) {
  const struct {
    float v;
    int32_t dx;
    bool scale;
    float want;
  } steps[] = {{1.0f, 3, false, 0.3f}, {3.0f, 5, false, 1.0f}, {7.0f, 2, false, 1.0f}, {15.0f, 2, false, 2.0f},
               {30.0f, 2, false, 4.0f}, {60.0f, 2, false, 10.0f}, {120.0f, 2, false, 10.0f},
               {120.0f, 2, true, 20.0f}};
  for (const auto& s : steps) EXPECT_FLOAT_EQ(AspectDragIncrement(s.v, s.dx, s.scale), s.want) << s.v;
  CAspectRotation a;
  a.SetMinRadius(37.0f);
  ASSERT_EQ(a.MouseDown(static_cast<int32_t>(a.InnerHandle().x), static_cast<int32_t>(a.InnerHandle().y)), 4);
  const int32_t x = static_cast<int32_t>(a.InnerHandle().x);
  a.MouseMove(x + 1, 0, true, false, false);  // Shift: (37 div 5 + 1) x 5
  EXPECT_EQ(a.Params().minRadius, 40.0f);
  a.MouseMove(x + 3, 0, false, false, false);
  EXPECT_EQ(a.Params().minRadius, 42.0f);
}

TEST(AspectRotation, MapScaleKeepsToTheNibsRange) {
  CAspectRotation a;
  a.SetMapping(true, 100, 50, 100.0f);  // range 0.08 .. 5
  EXPECT_TRUE(a.SetMapScale(1000.0f));
  EXPECT_EQ(a.MapScale(), 500.0f);
  EXPECT_TRUE(a.SetMapScale(1.0f));
  EXPECT_EQ(a.MapScale(), 8.0f);
  // A short side below 4 and a long side above 512: minimum 4/2 above maximum 512/1000.
  a.SetMapping(true, 1000, 2, 150.0f);
  float lo, hi;
  BitmapNibScaleRange(1000, 2, lo, hi);
  ASSERT_GT(lo, hi);
  EXPECT_FALSE(a.SetMapScale(50.0f));
  EXPECT_EQ(a.MapScale(), 150.0f);
  EXPECT_FALSE(a.SetMapScale(NAN));
  a.SetMapping(false, 0, 0, 0.0f);
  EXPECT_EQ(a.MapScale(), 100.0f);
}

TEST(AspectRotation, TypedNumbersRedrawAndFire) {
  CAspectRotation a;
  int32_t changes = 0, previews = 0;
  a.OnChange = [&] { ++changes; };
  a.OnDrawPreview = [&](TMemoryGraphic&) { ++previews; };
  a.RotationNumber().SetValue(45.0f);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(previews, 1);
  EXPECT_EQ(a.Params().rotation, 45.0f);
  EXPECT_NEAR(a.OuterHandle().y, 36.0f + 32.0f * std::sin(M_PI / 4), 1e-4);
  EXPECT_STREQ(AspectHint(7), "ペン先リスト|クリック: ペン先リストを表示");
  EXPECT_STREQ(AspectHint(0), "");
  EXPECT_EQ(AspectCursor(5), 1);
  EXPECT_EQ(AspectCursor(9), 2);
  EXPECT_EQ(AspectCursor(6), 0);
}

}  // namespace
}  // namespace tf
