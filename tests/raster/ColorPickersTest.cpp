#include "raster/ColorPickers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <string>
#include <vector>

namespace tf {
namespace {

constexpr float kPi = std::numbers::pi_v<float>;

struct KindSpace {
  int32_t kind;
  int32_t space;
};

std::vector<KindSpace> AllKindsAndSpaces() {
  std::vector<KindSpace> out;
  for (int32_t kind = 0; kind < 4; ++kind) {
    const auto core = CreateColorPickerCore(kind);
    for (int32_t s = 0; s < kColorPickerSpaceCount; ++s) {
      if (ColorSpaceInMask(core->GetColorSpaces(), s)) out.push_back({kind, s});
    }
  }
  return out;
}

std::unique_ptr<CColorPickerCore> MakePicker(int32_t kind, int32_t space, int32_t w, int32_t h) {
  auto p = CreateColorPickerCore(kind);
  p->SetBounds(w, h);
  p->SetColorSpace(space);
  SColorValue v;
  ColorValueFromRGB(0.3f, 0.55f, 0.8f, v);
  v.space = p->ColorSpace();
  p->SetColor(v);
  return p;
}

int32_t ChannelDistance(uint32_t a, uint32_t b) {
  int32_t d = 0;
  for (int shift : {0, 8, 16}) d = std::max(d, std::abs(static_cast<int32_t>(a >> shift & 0xFF) - static_cast<int32_t>(b >> shift & 0xFF)));
  return d;
}

// The largest step to a neighbour inside the same field: what one pixel's colour step is there.
int32_t PixelStep(const TMemoryGraphic& g, int32_t x, int32_t y) {
  int32_t step = 0;
  const uint32_t c = g.GetPixel(x, y);
  for (auto [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
    if (g.Contains(x + dx, y + dy)) step = std::max(step, ChannelDistance(c, g.GetPixel(x + dx, y + dy)));
  }
  return step;
}

// Points of a picker's fields (local coordinates) where the background shows one colour of the
// field, each with how its marker is found: 0 area (11 x 11 ring), 1 slider (x by the glyph's
// left), 2 the slider picker's bars (9 x 7, centre x), 3 hue ring (angle).
struct FieldPoint {
  int32_t x, y, marker;
};

std::vector<FieldPoint> FieldPoints(int32_t kind, int32_t space, int32_t w, int32_t h) {
  std::vector<FieldPoint> pts;
  if (kind == kPickerAreaSlider || kind == kPickerCircle) {
    const auto l = AreaSliderLayout(w, h);
    const int32_t size = l.b - 10;
    for (int32_t i = 1; i < 8; ++i) {
      for (int32_t j = 1; j < 8; ++j) {
        const int32_t x = 5 + size * i / 8, y = 5 + size * j / 8;
        if (kind == kPickerCircle) {
          const double r = (size - 1) / 2.0, cx = 5 + r;
          if (std::hypot(x - cx, y - cx) > r - 2) continue;
        }
        pts.push_back({x, y, 0});
      }
      pts.push_back({l.slider.left + 5, 5 + size * i / 8, 1});
    }
  } else if (kind == kPickerTriangle) {
    const auto l = TriangleLayout(w, h);
    const TRect& r = space == cpHSV ? l.square : l.triangle;
    for (int32_t i = 1; i < 8; ++i) {
      for (int32_t j = 1; j < 8; ++j) {
        const int32_t x = r.left + (r.right - r.left) * i / 8, y = r.top + (r.bottom - r.top) * j / 8;
        if (space == cpHSL) {
          // Well inside the triangle (its edges are blended with the grey outline).
          const double X = x - r.left, Y = r.bottom - y - 1, tw = r.right - r.left - 1, th = r.bottom - r.top - 1;
          const double m = X * th / (2 * tw);
          if (!(X >= 2 && Y >= m + 2 && Y <= th - m - 2)) continue;
        }
        pts.push_back({x, y, 0});
      }
      const double angle = i * 2 * std::numbers::pi / 7 - 2.5;
      const double radius = (l.a - 4) / 2.0 - (l.a / 8) / 2.0;
      pts.push_back({static_cast<int32_t>(l.a / 2.0 + radius * std::cos(angle)),
                     static_cast<int32_t>(l.a / 2.0 - radius * std::sin(angle)), 3});
    }
  } else {
    const auto l = SliderLayout(w, h);
    for (int32_t k = 0; k < 3; ++k) {
      for (int32_t i = 1; i < 8; ++i) pts.push_back({4 + (l.width - 8) * i / 8, l.sliders[k].top + 3, 2});
    }
    for (int32_t i = 1; i < 8; ++i) pts.push_back({4 + (l.width - 8) * i / 8, 62 + (l.height - 66) * i / 8, -1});
  }
  return pts;
}

// Where the marker of each region is, found in the foreground: the glyph's pixels differ from the
// background there.
TEST(ColorPickersTest, TheFieldShowsWhatItPicksAndTheMarkerLandsOnThePoint) {
  for (const auto& ks : AllKindsAndSpaces()) {
    const int32_t w = 160, h = ks.kind == kPickerSliders ? 140 : 142;
    auto p = MakePicker(ks.kind, ks.space, w, h);
    ASSERT_EQ(p->ColorSpace(), ks.space);
    for (const auto& pt : FieldPoints(ks.kind, ks.space, w, h)) {
      SCOPED_TRACE("kind " + std::to_string(ks.kind) + " space " + std::to_string(ks.space) + " at " +
                   std::to_string(pt.x) + "," + std::to_string(pt.y));
      const TPoint o = p->Offset();
      p->MouseDown(pt.x + o.x, pt.y + o.y);
      p->MouseUp();
      if (pt.marker == 3) {
        // The ring shows pure hues: the hue is the point's angle, and so is the marker's.
        const auto l = TriangleLayout(w, h);
        const float hue = std::atan2(static_cast<float>(l.a - 2 * pt.y), static_cast<float>(2 * pt.x - l.a));
        float c[3];
        p->ModelComponents(ks.space == cpHSV ? 1 : 2, c);
        EXPECT_FLOAT_EQ(c[0], hue);
        const double e = l.a - l.a / 8 - 4;
        const double mx = (std::ceil(std::cos(hue) * e) + l.a - 11 + 1) / 2 + 5 - l.a / 2.0;
        const double my = l.a / 2.0 - ((l.a - 11 - std::ceil(e * std::sin(hue)) + 1) / 2 + 5);
        EXPECT_NEAR(std::atan2(my, mx), hue, 2.5 / (e / 2));
        continue;
      }
      const uint32_t shown = p->Background().GetPixel(pt.x, pt.y);
      const uint32_t picked = p->Color().GetPackedRGB();
      EXPECT_LE(ChannelDistance(shown, picked), PixelStep(p->Background(), pt.x, pt.y) + 2)
          << std::hex << shown << " " << picked;
      if (pt.marker < 0) continue;
      // The marker: the foreground differs from the background around it; find the glyph's box.
      const TMemoryGraphic& fg = p->Foreground();
      const TMemoryGraphic& bg = p->Background();
      const int32_t gw = pt.marker == 2 ? 9 : 11;
      const int32_t y0 = pt.marker == 2 ? pt.y + 6 : pt.y - 5;
      bool found = false;
      for (int32_t dx = -1; dx <= 1 && !found; ++dx) {
        for (int32_t dy = (pt.marker == 0 ? -1 : 0); dy <= (pt.marker == 0 ? 1 : 0) && !found; ++dy) {
          // The glyph's box is centred on the point: its left column and its right column both
          // hold changed pixels, the columns just outside none.
          const int32_t left = pt.x - gw / 2 + dx, top = y0 + dy;
          auto changedColumn = [&](int32_t x) {
            for (int32_t y = top; y < top + (pt.marker == 2 ? 7 : 11); ++y) {
              if (fg.Contains(x, y) && fg.GetPixel(x, y) != bg.GetPixel(x, y)) return true;
            }
            return false;
          };
          found = changedColumn(left) && changedColumn(left + gw - 1) && !changedColumn(left - 1) &&
                  !changedColumn(left + gw);
        }
      }
      EXPECT_TRUE(found) << "marker " << pt.marker;
    }
  }
}

// Fields whose inputs did not change are copied from their last drawing: the background after a
// run of picks equals one drawn afresh for the same colour.
TEST(ColorPickersTest, KeptFieldsGiveThePixelsOfAFreshDrawing) {
  for (const auto& ks : AllKindsAndSpaces()) {
    for (bool colored : {true, false}) {
      auto p = MakePicker(ks.kind, ks.space, 150, 132);
      p->SetSliderColored(colored);
      const int32_t points[][2] = {{40, 40}, {140, 60}, {60, 120}, {20, 10}, {100, 100}, {75, 66}, {145, 5}};
      for (const auto& pt : points) {
        p->MouseDown(pt[0], pt[1]);
        p->MouseMove(pt[0] + 9, pt[1] - 13);
        p->MouseUp();
      }
      SColorValue v;
      p->GetColor(v);
      auto fresh = CreateColorPickerCore(ks.kind);
      fresh->SetBounds(150, 132);
      fresh->SetColorSpace(ks.space);
      fresh->SetSliderColored(colored);
      fresh->SetColor(v);
      fresh->SetBounds(150, 132);  // a new layout draws every field afresh
      const TMemoryGraphic& a = p->Background();
      const TMemoryGraphic& b = fresh->Background();
      ASSERT_EQ(a.Width(), b.Width());
      int32_t differing = 0;
      for (int32_t y = 0; y < a.Height(); ++y) {
        for (int32_t x = 0; x < a.Width(); ++x) differing += a.GetPixel(x, y) != b.GetPixel(x, y);
      }
      EXPECT_EQ(differing, 0) << "kind " << ks.kind << " space " << ks.space << " colored " << colored;
    }
  }
}

TEST(ColorPickersTest, AreaSliderLayoutOf300By282) {
  const auto l = AreaSliderLayout(300, 282);
  EXPECT_EQ(l.a, 300);
  EXPECT_EQ(l.b, 282);
  EXPECT_EQ(l.offset, (TPoint{0, 0}));
  EXPECT_EQ(l.area, (TRect{5, 5, 277, 277}));
  EXPECT_EQ(l.slider, (TRect{285, 5, 296, 277}));
  auto p = CreateColorPickerCore(kPickerAreaSlider);
  p->SetBounds(300, 282);
  EXPECT_EQ(p->Foreground().Width(), 300);
  EXPECT_EQ(p->Foreground().Height(), 282);
}

TEST(ColorPickersTest, TheGivenPicks) {
  {  // HSV area: top-right is saturation 1, value 1 at the current hue; the slider's bottom hue 0.
    auto p = MakePicker(kPickerAreaSlider, cpHSV, 300, 282);
    const float hue = p->Color().GetHSV().h;
    p->MouseDown(276, 5);
    EXPECT_EQ(p->Color().GetHSV().s, 1.0f);
    EXPECT_EQ(p->Color().GetHSV().v, 1.0f);
    EXPECT_EQ(p->Color().GetHSV().h, hue);
    p->MouseUp();
    p->MouseDown(290, 276);
    EXPECT_EQ(p->Color().GetHSV().h, 0.0f);
  }
  {  // HSL triangle: the vertical left edge is saturation 0, the apex s 1, l 0.5, far below black.
    auto p = MakePicker(kPickerTriangle, cpHSL, 300, 300);
    const auto t = TriangleLayout(300, 300).triangle;
    p->MouseDown(t.left, (t.top + t.bottom) / 2);
    EXPECT_EQ(p->Color().GetHSL().s, 0.0f);
    // Right of the apex: the apex itself.
    p->MouseMove(t.right + 3, t.bottom - 1 - (t.bottom - t.top - 1) / 2);
    EXPECT_EQ(p->Color().GetHSL().s, 1.0f);
    EXPECT_EQ(p->Color().GetHSL().l, 0.5f);
    p->MouseMove(t.left + 10, 299);
    EXPECT_EQ(p->Color().GetHSL().l, 0.0f);
    EXPECT_EQ(p->Color().GetRGB().r, 0.0f);
    p->MouseUp();
  }
  {  // Disc in cpLHS: the centre is saturation 0; on the rim right of the centre hue 0, s 1.
    auto p = MakePicker(kPickerCircle, cpLHS, 300, 282);
    p->MouseDown(141, 141);
    EXPECT_EQ(p->Color().GetHSL().s, 0.0f);
    p->MouseMove(277, 141);
    EXPECT_EQ(p->Color().GetHSL().h, 0.0f);
    EXPECT_EQ(p->Color().GetHSL().s, 1.0f);
    p->MouseUp();
  }
  {  // Slider picker: the spectrum sets RGB even in cpHSL; the hue slider's right end is 2pi.
    auto p = MakePicker(kPickerSliders, cpHSL, 300, 200);
    p->MouseDown(150, 100);
    const uint32_t shown = p->Background().GetPixel(150, 100);
    EXPECT_EQ(p->Color().GetPackedRGB(), shown & 0xFFFFFF);
    EXPECT_EQ(p->ColorSpace(), cpHSL);
    p->MouseUp();
    p->MouseDown(295, 8);
    EXPECT_FLOAT_EQ(p->Color().GetHSL().h, 2 * kPi);
  }
}

TEST(ColorPickersTest, DragsOutsideClampAndFollowTheRegionHeld) {
  auto p = MakePicker(kPickerAreaSlider, cpRGB, 300, 282);
  p->MouseDown(100, 100);
  EXPECT_EQ(p->DragMode(), 1);
  p->MouseMove(-500, 900);  // far outside: green 0, blue 0; red kept
  const float red = p->Color().GetRGB().r;
  EXPECT_EQ(p->Color().GetRGB().g, 0.0f);
  EXPECT_EQ(p->Color().GetRGB().b, 0.0f);
  p->MouseMove(290, -40);  // over the slider, still the area: green 1, blue 1
  EXPECT_EQ(p->Color().GetRGB().r, red);
  EXPECT_EQ(p->Color().GetRGB().g, 1.0f);
  EXPECT_EQ(p->Color().GetRGB().b, 1.0f);
  p->MouseUp();
  p->MouseMove(5, 276);
  EXPECT_EQ(p->Color().GetRGB().g, 1.0f);  // no drag after the button came up
}

TEST(ColorPickersTest, CallbacksOfSetColorAndOfPicks) {
  for (int32_t kind = 0; kind < 4; ++kind) {
    auto p = CreateColorPickerCore(kind);
    p->SetBounds(200, 182);
    int32_t fired = 0;
    p->onChange = [&] { ++fired; };
    SColorValue v;
    ColorValueFromRGB(0.2f, 0.4f, 0.6f, v);
    v.space = p->ColorSpace();
    p->SetColor(v);
    // The area-and-slider kind's own setters fire twice more.
    EXPECT_EQ(fired, kind == kPickerAreaSlider ? 3 : 1) << kind;
    fired = 0;
    p->SetColor(v);
    EXPECT_EQ(fired, kind == kPickerAreaSlider ? 2 : 0) << kind;
  }
}

TEST(ColorPickersTest, SpacesOutsideTheMaskAreIgnored) {
  const uint16_t masks[4] = {511, 73, 72, 432};
  const uint8_t initial[4] = {cpHSV, cpRGB, cpHSL, cpLHS};
  for (int32_t kind = 0; kind < 4; ++kind) {
    auto p = CreateColorPickerCore(kind);
    EXPECT_EQ(p->GetColorSpaces(), masks[kind]);
    EXPECT_EQ(p->ColorSpace(), initial[kind]);
    for (int32_t s = 0; s < 10; ++s) {
      const bool ok = p->SetColorSpace(s);
      EXPECT_EQ(ok, ColorSpaceInMask(masks[kind], s) && s != initial[kind]) << kind << " " << s;
      if (ok) {
        EXPECT_EQ(p->ColorSpace(), s);
        EXPECT_EQ(p->Color().GetSpace(), s);
        p->SetColorSpace(initial[kind]);
      }
    }
  }
}

// Small controls used to divide by zero or a negative size (area width - 1, slider height - 1,
// the triangle's w and h, the disc's b - 11): infinities and NaN reached the colour. A region under
// 2 pixels in the divided direction now takes no picks.
TEST(ColorPickersTest, SmallControlsNeverMakeANonFiniteComponent) {
  for (const auto& ks : AllKindsAndSpaces()) {
    for (int32_t w = 0; w <= 40; ++w) {
      for (int32_t h : {w, 19}) {
        if (h == 19 && w % 4 != 0) continue;
        auto p = MakePicker(ks.kind, ks.space, w, h);
        for (int32_t x = -2; x <= w + 1; ++x) {
          for (int32_t y = -2; y <= h + 1; ++y) {
            p->MouseDown(x, y);
            if (y == x) {  // drags leaving the control on every side
              for (auto [mx, my] : {std::pair{-50, -50}, {w + 50, h + 50}, {w / 2, -50}, {-50, h / 2}}) p->MouseMove(mx, my);
            }
            p->MouseUp();
          }
        }
        SColorValue v;
        p->GetColor(v);
        ASSERT_TRUE(IsFiniteColorValue(v)) << ks.kind << " " << ks.space << " " << w << "x" << h;
      }
    }
  }
}

TEST(ColorPickersTest, ZeroSizeDrawsNothingAndIgnoresPicks) {
  for (int32_t kind = 0; kind < 4; ++kind) {
    auto p = CreateColorPickerCore(kind);
    p->SetBounds(0, 0);
    if (kind == kPickerSliders) continue;  // the slider picker keeps a minimum surface
    EXPECT_FALSE(p->Foreground().IsValid()) << kind;
    int32_t fired = 0;
    p->onChange = [&] { ++fired; };
    p->MouseDown(0, 0);
    EXPECT_EQ(fired, 0);
  }
}

TEST(ColorPickersTest, HuesBelowZeroWrapTheMarkerRound) {
  EXPECT_EQ(WrapMarker(-0.25 * 100, 100), 76);  // trunc(-24.5) is -24
  EXPECT_EQ(WrapMarker(0.4, 100), 0);
  EXPECT_EQ(WrapMarker(100.4, 100), 100);
  EXPECT_EQ(WrapMarker(130, 100), 30);
}

}  // namespace
}  // namespace tf
