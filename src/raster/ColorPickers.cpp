#include "raster/ColorPickers.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "raster/Appearance.h"
#include "raster/ColorConvert.h"

namespace tf {
namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;
constexpr SChannelOps kField{ChannelBlend, ChannelKeep};
constexpr SChannelOps kSolid{ChannelCopy, ChannelKeep};

// The letters of each space, and where each letter stands in its model's order.
constexpr char kSpaceLetters[kColorPickerSpaceCount][4] = {"RGB", "GRB", "BRG", "HSV", "SHV",
                                                           "VHS", "HSL", "SHL", "LHS"};
constexpr char kModelLetters[3][4] = {"RGB", "HSV", "HSL"};

// The index in the model's order of the space's letter at position (0 slider, 1 across, 2 up).
int32_t ComponentOf(int32_t space, int32_t position) {
  const char letter = kSpaceLetters[space][position];
  const char* model = kModelLetters[ColorSpaceModel(space)];
  for (int32_t i = 0; i < 3; ++i) {
    if (model[i] == letter) return i;
  }
  return 0;
}

bool IsHueComponent(int32_t space, int32_t component) { return ColorSpaceModel(space) != 0 && component == 0; }

double Clamp01(double v) { return v < 0.0 ? 0.0 : (v > 1.0 ? 1.0 : v); }

// A hue brought into 0..1 of a turn.
double TurnFraction(float hue) {
  double t = std::fmod(static_cast<double>(hue) / kTwoPi, 1.0);
  return t < 0.0 ? t + 1.0 : t;
}

TRect Grown(const TRect& r, int32_t d) { return {r.left - d, r.top - d, r.right + d, r.bottom + d}; }

bool Inside(const TRect& r, int32_t x, int32_t y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

uint32_t Appearance(int32_t index) { return AppearanceColors[static_cast<size_t>(index)]; }

// The sunken frame of an area or slider.
void FrameRegion(TMemoryGraphic& g, const TRect& r) {
  g.FrameRect(Grown(r, 1), 1, Appearance(acWindowFrame), kSolid);
  g.DrawBevel(Grown(r, 2), 1, Appearance(acBtnShadow), Appearance(acBtnHighlight), kSolid);
}

float Full(bool hsv) { return hsv ? 1.0f : 0.5f; }

// ---------------------------------------------------------------------------------------------
// The layout, fields and keys shared by the area-and-slider and the disc pickers: field 0 (area or
// disc) depends on the slider's component, field 1 (the slider) on the other two and the colouring.
class CSquareAndSliderPicker : public CColorPickerCore {
 protected:
  using CColorPickerCore::CColorPickerCore;

  bool Layout(int32_t width, int32_t height) override {
    layout_ = AreaSliderLayout(width, height);
    offset_ = layout_.offset;
    return ResizeSurfaces(layout_.a, layout_.b);
  }
  int32_t FieldCount() const override { return 2; }
  TRect FieldRect(int32_t field) const override { return field == 0 ? layout_.area : layout_.slider; }
  void FieldKey(int32_t field, FieldKeyValues& key) const override {
    const int32_t s = ComponentOf(space_, 0);
    float c[3];
    CurrentValues(c);
    if (field == 0) {
      key = {c[s], 0, 0, 0};
    } else {
      key = {sliderColored_ ? 1.0f : 0.0f, s == 0 ? 0 : c[0], s == 1 ? 0 : c[1], s == 2 ? 0 : c[2]};
    }
  }

  SAreaSliderLayout layout_{};
};

// ---------------------------------------------------------------------------------------------
// Kind 0: an area of two components and a slider of the third, in any of the nine spaces.
class CAreaSliderPicker final : public CSquareAndSliderPicker {
 public:
  CAreaSliderPicker() : CSquareAndSliderPicker(cpHSV, 0) {}
  int32_t GetPickerKind() const override { return kPickerAreaSlider; }
  uint16_t GetColorSpaces() const override { return kColorSpacesAll; }

 protected:
  void DrawStatic() override {
    FrameRegion(background_, layout_.area);
    FrameRegion(background_, layout_.slider);
  }

  void DrawField(int32_t field) override {
    const int32_t s = ComponentOf(space_, 0), across = ComponentOf(space_, 1), up = ComponentOf(space_, 2);
    const int32_t model = ColorSpaceModel(space_);
    TMemoryGraphic& g = background_;
    if (model == 0) {
      constexpr int32_t kShift[3] = {16, 8, 0};
      const uint32_t packed = Color().GetPackedRGB();
      auto current = [&](int32_t c) { return (packed >> kShift[c] & 0xFF) << kShift[c]; };
      if (field == 1) {
        const uint32_t others = sliderColored_ ? current(across) | current(up) : 0;
        g.FillGradient(layout_.slider, 0xFF000000u | 0xFFu << kShift[s] | others, 0xFF000000u | others, kDirDown,
                       kField);
      } else {
        const uint32_t base = 0xFF000000u | current(s);
        const uint32_t a1 = 0xFFu << kShift[across], u1 = 0xFFu << kShift[up];
        g.FillGradient4(layout_.area, base | u1, base | a1 | u1, base | a1, base, kField);
      }
      return;
    }
    const bool hsv = model == 1;
    float c[3];
    ModelComponents(model, c);
    const float full = Full(hsv);
    switch (kSpaceLetters[space_][0]) {
      case 'H':
        if (field == 0) {
          g.FillSaturationValuePlane(layout_.area, kDirRight, c[0], 1, kDirUp, kField, hsv);
        } else {
          g.FillHueRamp(layout_.slider, kDirUp, 0, sliderColored_ ? c[1] : 1.0f, sliderColored_ ? c[2] : full, 1,
                        kField, hsv);
        }
        break;
      case 'S':
        if (field == 0) {
          g.FillHueValuePlane(layout_.area, kDirRight, 0, c[1], 1, kDirUp, kField, hsv);
        } else {
          g.FillSaturationRamp(layout_.slider, kDirUp, c[0], sliderColored_ ? c[2] : full, 1, kField, hsv);
        }
        break;
      default:
        if (field == 0) {
          g.FillHueSaturationPlane(layout_.area, kDirRight, 0, c[2], 1, kDirUp, kField, hsv);
        } else {
          g.FillValueRamp(layout_.slider, kDirUp, c[0], sliderColored_ ? c[1] : 0.0f, 1, kField, hsv);
        }
        break;
    }
  }

  void DrawMarkers() override {
    const int32_t c = layout_.b - 11;
    DrawMarker(WrapMarker(AxisFraction(1) * c, c), WrapMarker(c - AxisFraction(2) * c, c));
    DrawMarker(layout_.b + 3, WrapMarker(c - AxisFraction(0) * c, c));
  }

  int32_t HitRegion(int32_t x, int32_t y) override {
    if (Inside(layout_.area, x, y)) return 1;
    if (Inside(layout_.slider, x, y)) return 2;
    return 0;
  }

  void Pick(int32_t region, int32_t x, int32_t y) override {
    if (region == 1) {
      const TRect& r = layout_.area;
      if (r.right - r.left < 2 || r.bottom - r.top < 2) return;
      SetAreaValues(Clamp01(static_cast<double>(x - r.left) / (r.right - r.left - 1)),
                    Clamp01(1.0 - static_cast<double>(y - r.top) / (r.bottom - r.top - 1)));
    } else if (region == 2) {
      const TRect& r = layout_.slider;
      if (r.bottom - r.top < 2) return;
      SetSliderValue(Clamp01(1.0 - static_cast<double>(y - r.top) / (r.bottom - r.top - 1)));
    }
  }

  // The area-and-slider picker's setters always fire and redraw, even when nothing changed.
  void ReapplyColor() override {
    SetSliderValue(AxisFraction(0));
    SetAreaValues(AxisFraction(1), AxisFraction(2));
  }

 private:
  // The component on an axis (0 slider, 1 across, 2 up) as a fraction of its range (a hue as
  // given, divided by 2pi).
  double AxisFraction(int32_t position) const {
    float c[3];
    ModelComponents(ColorSpaceModel(space_), c);
    const int32_t k = ComponentOf(space_, position);
    return IsHueComponent(space_, k) ? static_cast<double>(c[k]) / kTwoPi : static_cast<double>(c[k]);
  }
  float AxisValue(int32_t position, double fraction) const {
    return static_cast<float>(IsHueComponent(space_, ComponentOf(space_, position)) ? fraction * kTwoPi : fraction);
  }
  void SetAreaValues(double across, double up) {
    float c[3];
    ModelComponents(ColorSpaceModel(space_), c);
    c[ComponentOf(space_, 1)] = AxisValue(1, across);
    c[ComponentOf(space_, 2)] = AxisValue(2, up);
    SetModelComponents(c);
    Changed(true);
  }
  void SetSliderValue(double z) {
    float c[3];
    ModelComponents(ColorSpaceModel(space_), c);
    c[ComponentOf(space_, 0)] = AxisValue(0, z);
    SetModelComponents(c);
    Changed(true);
  }

};

// ---------------------------------------------------------------------------------------------
// Kind 2: a hue ring around a square (HSV) or a triangle (HSL).
class CTrianglePicker final : public CColorPickerCore {
 public:
  CTrianglePicker() : CColorPickerCore(cpHSL, 0) {}
  int32_t GetPickerKind() const override { return kPickerTriangle; }
  uint16_t GetColorSpaces() const override { return ColorSpaceBit(cpHSV) | ColorSpaceBit(cpHSL); }

 protected:
  bool Layout(int32_t width, int32_t height) override {
    layout_ = TriangleLayout(width, height);
    offset_ = layout_.offset;
    return ResizeSurfaces(layout_.a, layout_.a);
  }

  void DrawStatic() override {
    const int32_t a = layout_.a;
    const bool hsv = space_ == cpHSV;
    TMemoryGraphic& g = background_;
    g.FrameDot(0, 0, a - 2, 2, Appearance(acBtnShadow), kField);
    g.FrameDot(2, 2, a - 2, 2, Appearance(acBtnHighlight), kField);
    g.FrameDot(1, 1, a - 2, 2, Appearance(acWindowFrame), kField);
    g.FrameDot(a / 8 + 1, a / 8 + 1, a - 2 - 2 * (a / 8), 2, BGRAGray, kField);
    g.FrameHueRing(2, 2, a - 4, a / 8, 0, 1, Full(hsv), 1, kField, hsv);
    if (hsv) {
      g.FrameRect(Grown(layout_.square, 1), 1, BGRAGray, kSolid);
    } else {
      const TRect& t = layout_.triangle;
      g.FillTriangle({t.left, t.top - 1, t.right + 2, t.bottom + 1}, BGRAGray, kDirRight, kField);
      g.FillRect({t.left - 1, t.top - 1, t.left, t.bottom + 1}, BGRAGray, kSolid);
    }
  }
  int32_t FieldCount() const override { return 1; }
  TRect FieldRect(int32_t) const override { return space_ == cpHSV ? layout_.square : layout_.triangle; }
  void FieldKey(int32_t, FieldKeyValues& key) const override {
    float c[3];
    CurrentValues(c);
    key = {c[0], 0, 0, 0};
  }
  void DrawField(int32_t) override {
    const bool hsv = space_ == cpHSV;
    float c[3];
    ModelComponents(hsv ? 1 : 2, c);
    if (hsv) {
      background_.FillSaturationValuePlane(layout_.square, kDirRight, c[0], 1, kDirUp, kField, true);
    } else {
      uint8_t r, gr, b;
      HSLToRGBBytes(c[0], 1, 0.5f, r, gr, b);
      background_.FillGradientTriangle(layout_.triangle, BGRAWhite, PackBGRA(b, gr, r, 255), BGRABlack, kDirRight,
                                       kField);
    }
  }

  void DrawMarkers() override {
    const int32_t a = layout_.a;
    const bool hsv = space_ == cpHSV;
    float c[3];
    ModelComponents(hsv ? 1 : 2, c);
    const double e = a - a / 8 - 4;
    const double h = c[0];
    DrawMarker((TruncToInt(std::ceil(std::cos(h) * e)) + a - 11 + 1) / 2,
               (a - 11 - TruncToInt(std::ceil(e * std::sin(h))) + 1) / 2);
    const TRect& r = hsv ? layout_.square : layout_.triangle;
    const double w = r.right - r.left - 1, hh = r.bottom - r.top - 1;
    const double s = c[1], v = c[2];
    const double across = hsv ? w * s : w * 2.0 * s * std::min(v, 1.0 - v);
    DrawMarker(r.left + TruncToInt(across) - 5, r.bottom - TruncToInt(hh * v) - 6);
  }

  int32_t HitRegion(int32_t x, int32_t y) override {
    const int32_t a = layout_.a;
    const double dx = 2.0 * x - a, dy = 2.0 * y - a;
    const double r = std::sqrt(dx * dx + dy * dy);
    if (r < a - a / 4 - 1) return 1;
    if (r <= a) return 2;
    return 0;
  }

  void Pick(int32_t region, int32_t x, int32_t y) override {
    const bool hsv = space_ == cpHSV;
    float c[3];
    ModelComponents(hsv ? 1 : 2, c);
    const int32_t a = layout_.a;
    if (region == 2) {
      const float hue = static_cast<float>(std::atan2(static_cast<double>(a - 2 * y), static_cast<double>(2 * x - a)));
      if (hue == c[0]) return;
      c[0] = hue;
      SetModelComponents(c);
      Changed(true);
      return;
    }
    if (region != 1) return;
    const TRect& r = hsv ? layout_.square : layout_.triangle;
    const double w = r.right - r.left - 1, h = r.bottom - r.top - 1;
    if (w < 1 || h < 1) return;
    const double X = x - r.left, Y = r.bottom - y - 1;
    double s, l;
    if (hsv) {
      s = Clamp01(X / w), l = Clamp01(Y / h);
    } else {
      TriangleValues(X, Y, w, h, s, l);
    }
    const float fs = static_cast<float>(s), fl = static_cast<float>(l);
    if (fs == c[1] && fl == c[2]) return;
    c[1] = fs, c[2] = fl;
    SetModelComponents(c);
    Changed(false);
  }

 private:
  // Saturation and lightness of a point of the triangle, or of the nearest point of its edge.
  static void TriangleValues(double X, double Y, double w, double h, double& s, double& l) {
    const double m = X * h / (2 * w);
    if (X >= 0 && m <= Y && Y <= h - m) {
      l = Y / h;
      const double o = 0.5 - std::fabs(0.5 - l);
      s = o == 0 ? 0.0 : X / (2 * w * o);
    } else if (X <= 0) {
      s = 0, l = Clamp01(Y / h);
    } else {
      const double t = X * 2 * w / h;
      const double d = 4 * w * w + h * h;
      if (Y <= -t) {
        s = 0, l = 0;
      } else if (Y >= h + t) {
        s = 0, l = 1;
      } else if (std::fabs(Y - h / 2) <= t - 2 * w * w / h) {
        s = 1, l = 0.5;
      } else if (Y <= h / 2) {
        l = (2 * w * X + h * Y) / d;
        s = l > 0 ? std::min(1.0, X / (2 * w * l)) : 1.0;
      } else {
        l = ((2 * w - X) * 2 * w + h * Y) / d;
        s = l < 1 ? std::min(1.0, X / (2 * w * (1 - l))) : 1.0;
      }
    }
    s = Clamp01(s), l = Clamp01(l);
  }

  STriangleLayout layout_{};
};

// ---------------------------------------------------------------------------------------------
// Kind 3: a hue disc (hue by angle, the third component by radius) and a slider of the first.
class CCirclePicker final : public CSquareAndSliderPicker {
 public:
  CCirclePicker() : CSquareAndSliderPicker(cpLHS, 0) {}
  int32_t GetPickerKind() const override { return kPickerCircle; }
  uint16_t GetColorSpaces() const override {
    return ColorSpaceBit(cpSHV) | ColorSpaceBit(cpVHS) | ColorSpaceBit(cpSHL) | ColorSpaceBit(cpLHS);
  }

 protected:
  void DrawStatic() override {
    constexpr int32_t m = 5;
    const int32_t size = layout_.b - 2 * m;
    TMemoryGraphic& g = background_;
    g.FrameDot(m - 2, m - 2, size + 3, 2, Appearance(acBtnShadow), kField);
    g.FrameDot(m - 1, m - 1, size + 3, 2, Appearance(acBtnHighlight), kField);
    g.FrameDot(m - 1, m - 1, size + 2, 2, Appearance(acWindowFrame), kField);
    FrameRegion(g, layout_.slider);
  }
  void DrawField(int32_t field) override {
    constexpr int32_t m = 5;
    const int32_t size = layout_.b - 2 * m;
    const bool hsv = ColorSpaceModel(space_) == 1;
    float c[3];
    ModelComponents(hsv ? 1 : 2, c);
    TMemoryGraphic& g = background_;
    const bool saturationSlider = ComponentOf(space_, 0) == 1;
    if (field == 0) {
      if (saturationSlider) {  // value or lightness by radius
        g.FillHueValueDisc(m, m, size, 0, c[1], 1, kField, hsv);
      } else {  // saturation by radius
        g.FillHueSaturationDisc(m, m, size, 0, c[2], 1, kField, hsv);
      }
    } else if (saturationSlider) {
      g.FillSaturationRamp(layout_.slider, kDirUp, c[0], sliderColored_ ? c[2] : Full(hsv), 1, kSolid, hsv);
    } else {
      g.FillValueRamp(layout_.slider, kDirUp, c[0], sliderColored_ ? c[1] : 0.0f, 1, kSolid, hsv);
    }
  }

  void DrawMarkers() override {
    float c[3];
    ModelComponents(ColorSpaceModel(space_), c);
    const int32_t b = layout_.b, c11 = b - 11;
    const double f = static_cast<double>(c[ComponentOf(space_, 2)]) * c11;
    const double h = c[0];
    DrawMarker(TruncToInt((c11 + std::cos(h) * f) / 2 + 0.5), TruncToInt((c11 - f * std::sin(h)) / 2 + 0.5));
    DrawMarker(b + 3, WrapMarker(c11 - static_cast<double>(c[ComponentOf(space_, 0)]) * c11, c11));
  }

  int32_t HitRegion(int32_t x, int32_t y) override {
    if (!background_.Contains(x, y) || (background_.GetPixel(x, y) >> 24) == 0) return -1;
    return x > layout_.b ? 2 : 1;
  }

  void Pick(int32_t region, int32_t x, int32_t y) override {
    float c[3];
    ModelComponents(ColorSpaceModel(space_), c);
    const int32_t b = layout_.b;
    if (region == 1) {
      if (b - 11 < 1) return;
      const double cx = 2.0 * x - b, cy = 2.0 * y - b;
      const float hue = static_cast<float>(std::atan2(-cy, cx));
      const float radius = static_cast<float>(std::min(1.0, std::max(0.0, std::sqrt(cx * cx + cy * cy) / (b - 11))));
      const int32_t k = ComponentOf(space_, 2);
      if (hue == c[0] && radius == c[k]) return;
      c[0] = hue, c[k] = radius;
    } else if (region == 2) {
      const TRect& r = layout_.slider;
      if (r.bottom - r.top < 2) return;
      const float z = static_cast<float>(Clamp01(static_cast<double>(r.bottom - y - 1) / (r.bottom - r.top - 1)));
      const int32_t k = ComponentOf(space_, 0);
      if (z == c[k]) return;
      c[k] = z;
    } else {
      return;
    }
    SetModelComponents(c);
    Changed(true);
  }

};

// ---------------------------------------------------------------------------------------------
// Kind 1: three sliders of one model above a hue-by-lightness spectrum.
class CSliderPicker final : public CColorPickerCore {
 public:
  CSliderPicker() : CColorPickerCore(cpRGB, 3) {}
  int32_t GetPickerKind() const override { return kPickerSliders; }
  uint16_t GetColorSpaces() const override {
    return ColorSpaceBit(cpRGB) | ColorSpaceBit(cpHSV) | ColorSpaceBit(cpHSL);
  }

 protected:
  bool Layout(int32_t width, int32_t height) override {
    layout_ = SliderLayout(width, height);
    offset_ = layout_.offset;
    return ResizeSurfaces(layout_.width, layout_.height);
  }

  void DrawStatic() override {
    for (int32_t k = 0; k < 3; ++k) FrameRegion(background_, Bar(k));
    if (SpectrumDrawn()) FrameRegion(background_, layout_.spectrum);
  }
  int32_t FieldCount() const override { return 4; }
  TRect FieldRect(int32_t field) const override { return field < 3 ? Bar(field) : layout_.spectrum; }
  void FieldKey(int32_t field, FieldKeyValues& key) const override {
    if (field == 3) {
      key = {0, 0, 0, 0};
      return;
    }
    float c[3];
    CurrentValues(c);
    key = {sliderColored_ ? 1.0f : 0.0f, field == 0 ? 0 : c[0], field == 1 ? 0 : c[1], field == 2 ? 0 : c[2]};
    if (space_ != cpRGB && field != 0) key[1] = c[0];  // the hue colours every HSV and HSL bar
  }
  void DrawField(int32_t field) override {
    TMemoryGraphic& g = background_;
    if (field == 3) {
      if (SpectrumDrawn()) g.FillHueValuePlane(layout_.spectrum, kDirRight, 0, 1, 1, kDirUp, kField, false);
      return;
    }
    const int32_t k = field;
    const int32_t model = ColorSpaceModel(space_);
    float c[3];
    ModelComponents(model, c);
    const bool hsv = model == 1;
    const TRect bar = Bar(k);
    if (space_ == cpRGB) {
      constexpr int32_t kShift[3] = {16, 8, 0};
      constexpr uint32_t kPure[3] = {BGRARed, BGRAGreen, BGRABlue};
      const uint32_t current = 0xFF000000u | Color().GetPackedRGB();
      const uint32_t mask = 0xFFu << kShift[k];
      if (sliderColored_) {
        g.FillGradient(bar, current & ~mask, current | mask, kDirRight, kSolid);
      } else {
        g.FillGradient(bar, BGRABlack, kPure[k], kDirRight, kSolid);
      }
    } else if (space_ == cpHSV || space_ == cpHSL) {
      if (k == 0) {
        g.FillHueRamp(bar, kDirRight, 0, sliderColored_ ? c[1] : 1.0f, sliderColored_ ? c[2] : Full(hsv), 1, kSolid,
                      hsv);
      } else if (k == 1) {
        g.FillSaturationRamp(bar, kDirRight, c[0], sliderColored_ ? c[2] : Full(hsv), 1, kSolid, hsv);
      } else {
        g.FillValueRamp(bar, kDirRight, c[0], sliderColored_ ? c[1] : 0.0f, 1, kSolid, hsv);
      }
    }
  }

  void DrawMarkers() override {
    const int32_t model = ColorSpaceModel(space_);
    float c[3];
    ModelComponents(model, c);
    for (int32_t k = 0; k < 3; ++k) {
      const TRect& r = layout_.sliders[k];
      const double z = model != 0 && k == 0 ? TurnFraction(c[0]) : static_cast<double>(c[k]);
      DrawMarker(r.left + TruncToInt((r.right - r.left - 1) * z + 0.5) - 4, r.top + 9);
    }
  }

  int32_t HitRegion(int32_t x, int32_t y) override {
    for (int32_t k = 0; k < 3; ++k) {
      if (y >= layout_.sliders[k].top - 2 && y < layout_.sliders[k].bottom) return k + 1;
    }
    return Inside(layout_.spectrum, x, y) ? 4 : 0;
  }

  void Pick(int32_t region, int32_t x, int32_t y) override {
    if (region >= 1 && region <= 3) {
      const int32_t k = region - 1;
      const TRect& r = layout_.sliders[k];
      if (r.right - r.left < 2) return;
      const int32_t model = ColorSpaceModel(space_);
      float c[3];
      ModelComponents(model, c);
      double z = Clamp01(static_cast<double>(x - r.left) / (r.right - r.left - 1));
      if (model != 0 && k == 0) z *= kTwoPi;
      if (static_cast<float>(z) == c[k]) return;
      c[k] = static_cast<float>(z);
      SetModelComponents(c);
      Changed(true);
    } else if (region == 4) {
      if (!SpectrumDrawn()) return;
      const TRect& r = layout_.spectrum;
      const uint32_t pixel =
          background_.GetPixel(std::clamp(x, r.left, r.right - 1), std::clamp(y, r.top, r.bottom - 1));
      constexpr float k = 1.0f / 255.0f;
      Color().SetComponents(cpRGB, static_cast<float>(pixel >> 16 & 0xFF) * k,
                            static_cast<float>(pixel >> 8 & 0xFF) * k, static_cast<float>(pixel & 0xFF) * k);
      Changed(true);
    }
  }

 private:
  TRect Bar(int32_t k) const {
    const TRect& r = layout_.sliders[k];
    return {r.left, r.top, r.right, r.top + 7};
  }
  bool SpectrumDrawn() const {
    const TRect& r = layout_.spectrum;
    return r.bottom - r.top > 4 && r.right - r.left > 0;
  }

  SSliderLayout layout_{};
};

}  // namespace

// ---------------------------------------------------------------------------------------------

CColorPickerCore::CColorPickerCore(uint8_t initialSpace, int32_t markGlyph)
    : space_(initialSpace), color_(std::make_unique<TColorManager>()), markGlyph_(markGlyph) {
  background_.SetBackground(Appearance(acBtnFace));
  foreground_.SetBackground(Appearance(acBtnFace));
}

CColorPickerCore::~CColorPickerCore() = default;

std::unique_ptr<TColorManager> CColorPickerCore::TakeColorManager() {
  auto taken = std::move(color_);
  color_ = std::make_unique<TColorManager>();
  return taken;
}

void CColorPickerCore::SetColorManager(std::unique_ptr<TColorManager> manager) {
  if (manager) color_ = std::move(manager);
}

bool CColorPickerCore::SetColorSpace(int32_t space) {
  if (space == space_ || !ColorSpaceInMask(GetColorSpaces(), space)) return false;
  SColorValue value;
  color_->GetColor(value);
  value.space = static_cast<uint8_t>(space);
  color_->SetColor(value);
  space_ = static_cast<uint8_t>(space);
  staticValid_ = false;
  RenderBackground();
  Repaint();
  return true;
}

void CColorPickerCore::SetSliderColored(bool colored) {
  sliderColored_ = colored;
  RenderBackground();
  Repaint();
}

void CColorPickerCore::SetColor(const SColorValue& value) {
  SColorValue stored;
  color_->GetColor(stored);
  const int32_t equal = IsEqualPickerColor(stored, value);
  if (equal != 0 && color_->SetColor(value)) {
    if (equal == 2) {
      RenderBackground();
      Repaint();
    }
    if (onChange) onChange();
  }
  ReapplyColor();
}

void CColorPickerCore::SetBounds(int32_t width, int32_t height) {
  controlWidth_ = width;
  controlHeight_ = height;
  valid_ = Layout(width, height);
  staticValid_ = false;
  RenderBackground();
}

bool CColorPickerCore::ResizeSurfaces(int32_t width, int32_t height) {
  if (width <= 0 || height <= 0) return false;
  if (background_.Width() != width || background_.Height() != height || !background_.IsValid()) {
    if (!background_.SetSize(width, height) || !foreground_.SetSize(width, height)) return false;
  }
  return true;
}

void CColorPickerCore::RenderBackground() {
  if (!valid_) return;
  const int32_t w = background_.Width(), h = background_.Height();
  if (!staticValid_ || static_.Width() != w || static_.Height() != h) {
    background_.Clear();
    DrawStatic();
    if (!static_.SetSize(w, h)) return;
    static_.CopyBits(0, 0, w, h, background_.Pixels(), 0, 0, w, h);
    staticValid_ = true;
    fieldCaches_.assign(static_cast<size_t>(FieldCount()), SFieldCache{});
  } else {
    background_.CopyBits(0, 0, w, h, static_.Pixels(), 0, 0, w, h);
  }
  for (int32_t i = 0; i < FieldCount(); ++i) {
    SFieldCache& cache = fieldCaches_[static_cast<size_t>(i)];
    FieldKeyValues key;
    FieldKey(i, key);
    const TRect r = FieldRect(i);
    TRect clipped{std::max(r.left, 0), std::max(r.top, 0), std::min(r.right, w), std::min(r.bottom, h)};
    if (clipped.right < clipped.left) clipped.right = clipped.left;
    if (clipped.bottom < clipped.top) clipped.bottom = clipped.top;
    const int32_t cw = clipped.right - clipped.left, ch = clipped.bottom - clipped.top;
    if (cache.valid && cache.key == key && cache.rect == clipped) {
      if (cw > 0 && ch > 0) background_.CopyBits(clipped.left, clipped.top, cw, ch, cache.pixels.data(), 0, 0, cw, ch);
      continue;
    }
    DrawField(i);
    cache.pixels.resize(static_cast<size_t>(cw) * static_cast<size_t>(ch));
    for (int32_t y = 0; y < ch; ++y) {
      const uint32_t* row = background_.ScanLine(clipped.top + y) + clipped.left;
      std::copy(row, row + cw, cache.pixels.begin() + static_cast<ptrdiff_t>(y) * cw);
    }
    cache.valid = true, cache.key = key, cache.rect = clipped;
  }
  RenderForeground();
}

void CColorPickerCore::RenderForeground() {
  if (!valid_) return;
  foreground_.CopyBits(0, 0, background_.Width(), background_.Height(), background_.Pixels(), 0, 0,
                       background_.Width(), background_.Height());
  DrawMarkers();
}

void CColorPickerCore::PaintTo(TMemoryGraphic& target) const {
  if (!target.IsValid()) return;
  target.FillRect({0, 0, target.Width(), target.Height()}, Appearance(acBtnFace), {ChannelCopy, ChannelCopy});
  if (!valid_) return;
  target.CopyBits(offset_.x, offset_.y, foreground_.Width(), foreground_.Height(), foreground_.Pixels(), 0, 0,
                  foreground_.Width(), foreground_.Height());
}

void CColorPickerCore::MouseDown(int32_t x, int32_t y) {
  if (!valid_) return;
  const int32_t lx = x - offset_.x, ly = y - offset_.y;
  const int32_t region = HitRegion(lx, ly);
  if (region < 0) return;
  drag_ = region;
  if (region > 0) Pick(region, lx, ly);
}

void CColorPickerCore::MouseMove(int32_t x, int32_t y) {
  if (!valid_ || drag_ <= 0) return;
  Pick(drag_, x - offset_.x, y - offset_.y);
}

void CColorPickerCore::MouseUp() { drag_ = 0; }

void CColorPickerCore::ModelComponents(int32_t model, float components[3]) const {
  if (model == 0) {
    const SColorRGB c = color_->GetRGB();
    components[0] = c.r, components[1] = c.g, components[2] = c.b;
  } else if (model == 1) {
    const SColorHSV c = color_->GetHSV();
    components[0] = c.h, components[1] = c.s, components[2] = c.v;
  } else {
    const SColorHSL c = color_->GetHSL();
    components[0] = c.h, components[1] = c.s, components[2] = c.l;
  }
}

void CColorPickerCore::Changed(bool render) {
  if (onChange) onChange();
  if (render) {
    RenderBackground();
  } else {
    RenderForeground();
  }
  Repaint();
}

void CColorPickerCore::Repaint() {
  if (onRepaint) onRepaint();
}

bool CColorPickerCore::SetModelComponents(const float components[3]) {
  return color_->SetComponents(space_, components[0], components[1], components[2]);
}

void CColorPickerCore::DrawMarker(int32_t x, int32_t y) {
  const TMemoryGraphic& glyph = AppearanceManager().GetMarkGlyph(markGlyph_);
  foreground_.DrawGraphic(x, y, glyph.Width(), glyph.Height(), glyph, 0, 0, {ChannelBlend, ChannelKeep});
}

std::unique_ptr<CColorPickerCore> CreateColorPickerCore(int32_t kind) {
  switch (kind) {
    case kPickerAreaSlider: return std::make_unique<CAreaSliderPicker>();
    case kPickerSliders: return std::make_unique<CSliderPicker>();
    case kPickerTriangle: return std::make_unique<CTrianglePicker>();
    case kPickerCircle: return std::make_unique<CCirclePicker>();
    default: return nullptr;
  }
}

SAreaSliderLayout AreaSliderLayout(int32_t width, int32_t height) {
  constexpr int32_t m = 5;
  SAreaSliderLayout l{};
  l.a = std::min(width, height + 18);
  l.b = l.a - 18;
  l.offset = {(width - l.a) / 2, (height - l.b) / 2};
  const int32_t size = l.b - 2 * m;
  l.area = {m, m, m + size, m + size};
  l.slider = {l.a - 15, m, l.a - 4, m + size};
  return l;
}

STriangleLayout TriangleLayout(int32_t width, int32_t height) {
  STriangleLayout l{};
  const int32_t a = std::min(width, height);
  l.a = a;
  l.offset = {(width - a) / 2, (height - a) / 2};
  const double d = a - a / 4 - 12;
  const double cos45 = std::cos(std::numbers::pi / 4), sin60 = std::sin(std::numbers::pi / 3);
  const int32_t lo = TruncToInt(std::ceil(a - d * cos45)) / 2, hi = TruncToInt(std::floor(a + d * cos45)) / 2;
  l.square = {lo, lo, hi, hi};
  l.triangle = {TruncToInt(std::ceil(a - d / 2)) / 2, TruncToInt(std::ceil(a - d * sin60)) / 2,
                TruncToInt(a + d) / 2, TruncToInt(std::floor(a + d * sin60)) / 2};
  return l;
}

SSliderLayout SliderLayout(int32_t width, int32_t height) {
  constexpr int32_t m = 4;
  SSliderLayout l{};
  l.width = std::max(width, 10);
  l.height = std::max(height, 57);
  l.offset = {(width - l.width) / 2, (height - l.height) / 2};
  for (int32_t k = 0; k < 3; ++k) l.sliders[k] = {m, 5 + 19 * k, l.width - m, 5 + 19 * k + 16};
  l.spectrum = {m, 62, l.width - m, l.height - 4};
  return l;
}

int32_t WrapMarker(double position, int32_t c) {
  int32_t p = TruncToInt(position + 0.5);
  if (p < 0) p += c;
  if (p > c) p -= c;
  return p;
}

}  // namespace tf
