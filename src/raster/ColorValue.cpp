#include "raster/ColorValue.h"

#include <algorithm>
#include <cmath>

#include "platform/Debug.h"
#include "raster/ColorConvert.h"

namespace tf {
namespace {

// Exact comparison where a NaN equals only a NaN.
bool SameComponent(float a, float b, const char* name, bool& sawNaN) {
  if (std::isnan(a) || std::isnan(b)) {
    sawNaN = true;
    if (!std::isnan(a) || !std::isnan(b)) DebugOutF("IsEqualPickerColor: %s is not a number on one side\n", name);
    return std::isnan(a) && std::isnan(b);
  }
  return a == b;
}

bool AllFinite(float a, float b, float c, const char* who) {
  if (std::isfinite(a) && std::isfinite(b) && std::isfinite(c)) return true;
  DebugOutF("TColorManager::%s: refused a component that is not a finite number\n", who);
  return false;
}

}  // namespace

void ColorValueFromRGB(float r, float g, float b, SColorValue& value) {
  value.space = cpRGB;
  value.reserved[0] = value.reserved[1] = value.reserved[2] = 0;
  value.rgb = {r, g, b};
  RGBToHSV(r, g, b, value.hsv.h, value.hsv.s, value.hsv.v);
  RGBToHSL(r, g, b, value.hsl.h, value.hsl.s, value.hsl.l);
}

void BGRAToColorValue(uint32_t pixel, SColorValue& value) {
  constexpr float k = 1.0f / 255.0f;
  ColorValueFromRGB(static_cast<float>(pixel >> 16 & 0xFF) * k, static_cast<float>(pixel >> 8 & 0xFF) * k,
                    static_cast<float>(pixel & 0xFF) * k, value);
}

uint8_t ColorComponentToByte(float component) {
  return static_cast<uint8_t>(std::clamp(TruncToInt(static_cast<double>(component) * 255.0 + 0.5), 0, 255));
}

uint32_t ColorValueToBGRA(const SColorValue& value, uint8_t alpha) {
  return PackBGRA(ColorComponentToByte(value.rgb.b), ColorComponentToByte(value.rgb.g),
                  ColorComponentToByte(value.rgb.r), alpha);
}

int32_t IsEqualPickerColor(const SColorValue& a, const SColorValue& b) {
  bool sawNaN = false;
  const bool same = SameComponent(a.rgb.r, b.rgb.r, "rgb.r", sawNaN) &&
                    SameComponent(a.rgb.g, b.rgb.g, "rgb.g", sawNaN) &&
                    SameComponent(a.rgb.b, b.rgb.b, "rgb.b", sawNaN) &&
                    SameComponent(a.hsv.h, b.hsv.h, "hsv.h", sawNaN) &&
                    SameComponent(a.hsv.v, b.hsv.v, "hsv.v", sawNaN) &&
                    SameComponent(a.hsv.s, b.hsv.s, "hsv.s", sawNaN) &&
                    SameComponent(a.hsl.h, b.hsl.h, "hsl.h", sawNaN) &&
                    SameComponent(a.hsl.l, b.hsl.l, "hsl.l", sawNaN) &&
                    SameComponent(a.hsl.s, b.hsl.s, "hsl.s", sawNaN);
  if (!same) return 2;
  return a.space != b.space ? 1 : 0;
}

bool IsFiniteColorValue(const SColorValue& v) {
  for (float c : {v.rgb.r, v.rgb.g, v.rgb.b, v.hsv.h, v.hsv.s, v.hsv.v, v.hsl.h, v.hsl.s, v.hsl.l}) {
    if (!std::isfinite(c)) return false;
  }
  return true;
}

bool TColorManager::SetRGB(float r, float g, float b) {
  if (!AllFinite(r, g, b, "SetRGB")) return false;
  if (r == rgb_.r && g == rgb_.g && b == rgb_.b) return false;
  rgb_ = {r, g, b};
  RGBToHSV(r, g, b, hsv_.h, hsv_.s, hsv_.v);
  RGBToHSL(r, g, b, hsl_.h, hsl_.s, hsl_.l);
  Change();
  return true;
}

bool TColorManager::SetHSV(float h, float s, float v) {
  if (!AllFinite(h, s, v, "SetHSV")) return false;
  if (h == hsv_.h && s == hsv_.s && v == hsv_.v) return false;
  hsv_ = {h, s, v};
  HSVToRGB(h, s, v, rgb_.r, rgb_.g, rgb_.b);
  RGBToHSL(rgb_.r, rgb_.g, rgb_.b, hsl_.h, hsl_.s, hsl_.l);
  hsl_.h = h;
  Change();
  return true;
}

bool TColorManager::SetHSL(float h, float s, float l) {
  if (!AllFinite(h, s, l, "SetHSL")) return false;
  if (h == hsl_.h && s == hsl_.s && l == hsl_.l) return false;
  hsl_ = {h, s, l};
  HSLToRGB(h, s, l, rgb_.r, rgb_.g, rgb_.b);
  RGBToHSV(rgb_.r, rgb_.g, rgb_.b, hsv_.h, hsv_.s, hsv_.v);
  hsv_.h = h;
  Change();
  return true;
}

bool TColorManager::SetComponents(int32_t space, float c1, float c2, float c3) {
  switch (ColorSpaceModel(space)) {
    case 0: return SetRGB(c1, c2, c3);
    case 1: return SetHSV(c1, c2, c3);
    case 2: return SetHSL(c1, c2, c3);
    default: return false;
  }
}

bool TColorManager::SetColor(const SColorValue& value) {
  if (!IsFiniteColorValue(value)) {
    DebugOut("TColorManager::SetColor: refused a component that is not a finite number\n");
    return false;
  }
  SColorValue stored;
  GetColor(stored);
  switch (IsEqualPickerColor(stored, value)) {
    case 1:
      space_ = value.space;
      return true;
    case 2:
      space_ = value.space;
      rgb_ = value.rgb;
      hsv_ = value.hsv;
      hsl_ = value.hsl;
      return true;
    default: return false;
  }
}

void TColorManager::GetColor(SColorValue& value) const {
  value.space = space_;
  value.rgb = rgb_;
  value.hsv = hsv_;
  value.hsl = hsl_;
}

uint32_t TColorManager::GetPackedRGB() const {
  return PackBGRA(ColorComponentToByte(rgb_.b), ColorComponentToByte(rgb_.g), ColorComponentToByte(rgb_.r), 0);
}

void TColorManager::Change() {
  if (onChange_) onChange_(*this);
}

}  // namespace tf
