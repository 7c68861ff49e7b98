#include "raster/ColorConvert.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace tf {
namespace {

constexpr double kStepsPerRadian = 244.46199258915123574;  // 1536 / (2 pi)
constexpr double kPiThirds = std::numbers::pi / 3.0;

float Clamp01(float v) { return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v); }

// Trunc(v * 255 + 0.5) as an integer (not yet a byte).
int32_t ToByteValue(float v) { return TruncToInt(static_cast<double>(v) * 255.0 + 0.5); }

uint8_t SaturateByte(int32_t v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); }

// The sector term of the hue: t for the largest channel, as in both RGB-to-model conversions.
double HueOfSector(float r, float g, float b, float max, float delta) {
  double t;
  if (max == r) {
    t = static_cast<double>(g) - b;
  } else if (max == g) {
    t = (static_cast<double>(b) - r) + 2.0 * delta;
  } else {
    t = (static_cast<double>(r) - g) - 2.0 * delta;
  }
  return t * kPiThirds / delta;
}

}  // namespace

int32_t TruncToInt(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (value <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

int32_t HueToRawStep(float hue) {
  if (!std::isfinite(hue)) return 0;
  double steps = static_cast<double>(hue) * kStepsPerRadian;
  // Whole turns off first, so that huge hues stay in range; Trunc commutes with that.
  steps = std::fmod(steps, static_cast<double>(HueStepsPerTurn));
  return static_cast<int32_t>(steps);
}

int32_t HueToStep(float hue) {
  int32_t h = HueToRawStep(hue) % HueStepsPerTurn;
  return h < 0 ? h + HueStepsPerTurn : h;
}

void RGBToHSV(float red, float green, float blue, float& hue, float& saturation, float& value) {
  if (red == green && green == blue) {
    hue = 0.0f;
    saturation = 0.0f;
    value = blue;
    return;
  }
  const float max = std::max({red, green, blue});
  const float min = std::min({red, green, blue});
  const float delta = max - min;
  value = max;
  saturation = delta / max;
  hue = static_cast<float>(HueOfSector(red, green, blue, max, delta));
}

void RGBToHSL(float red, float green, float blue, float& hue, float& saturation, float& lightness) {
  const float max = std::max({red, green, blue});
  const float min = std::min({red, green, blue});
  if (!(max > 0.0f)) {
    hue = saturation = lightness = 0.0f;
    return;
  }
  if (min >= 1.0f) {
    hue = 0.0f;
    saturation = 0.0f;
    lightness = 1.0f;
    return;
  }
  const float sum = max + min;
  const float delta = max - min;
  lightness = sum / 2.0f;
  saturation = lightness <= 0.5f ? delta / sum : delta / (2.0f - sum);
  if (delta != 0.0f) hue = static_cast<float>(HueOfSector(red, green, blue, max, delta));
}

void HSVToRGBBytes(float hue, float saturation, float value, uint8_t& red, uint8_t& green, uint8_t& blue) {
  const float v = Clamp01(value);
  const float s = Clamp01(saturation);
  uint8_t r, g, b;
  r = g = b = static_cast<uint8_t>(ToByteValue(v));
  if (!(saturation > 0.0f)) {
    red = r, green = g, blue = b;
    return;
  }
  const int32_t h = HueToStep(hue);
  const float c = s * v;
  const double cd = c;
  const uint8_t f = static_cast<uint8_t>(ToByteValue(c));
  if (h < 256) {
    g = static_cast<uint8_t>(g + TruncToInt((h - 255) * cd - 0.5));
    b = static_cast<uint8_t>(b - f);
  } else if (h < 512) {
    r = static_cast<uint8_t>(r - TruncToInt((h - 256) * cd + 0.5));
    b = static_cast<uint8_t>(b - f);
  } else if (h < 768) {
    r = static_cast<uint8_t>(r - f);
    b = static_cast<uint8_t>(b + TruncToInt((h - 767) * cd - 0.5));
  } else if (h < 1024) {
    r = static_cast<uint8_t>(r - f);
    g = static_cast<uint8_t>(g - TruncToInt((h - 768) * cd + 0.5));
  } else if (h < 1280) {
    r = static_cast<uint8_t>(r + TruncToInt((h - 1279) * cd - 0.5));
    g = static_cast<uint8_t>(g - f);
  } else {
    g = static_cast<uint8_t>(g - f);
    b = static_cast<uint8_t>(b - TruncToInt((h - 1280) * cd + 0.5));
  }
  red = r, green = g, blue = b;
}

void HSVToRGB(float hue, float saturation, float value, float& red, float& green, float& blue) {
  const float v = Clamp01(value);
  float r = v, g = v, b = v;
  if (saturation > 0.0f) {
    const float s = std::min(saturation, 1.0f);
    const float c = s * v;
    const int32_t h = HueToStep(hue);
    auto edge = [&](int32_t offset) { return c * static_cast<float>(h - offset) / 255.0f; };
    if (h < 256) {
      g += edge(255);
      b -= c;
    } else if (h < 512) {
      r -= edge(256);
      b -= c;
    } else if (h < 768) {
      r -= c;
      b += edge(767);
    } else if (h < 1024) {
      r -= c;
      g -= edge(768);
    } else if (h < 1280) {
      r += edge(1279);
      g -= c;
    } else {
      g -= c;
      b -= edge(1280);
    }
  }
  red = r, green = g, blue = b;
}

namespace {

// m1 and m2 of the HSL conversion.
void HSLMixes(float saturation, float lightness, float& m1, float& m2) {
  m2 = lightness <= 0.5f ? (saturation + 1.0f) * lightness : (1.0f - lightness) * saturation + lightness;
  m1 = 2.0f * lightness - m2;
}

float HSLHueLevel(int32_t hueStep, float m1, float m2) {
  int32_t h = hueStep % HueStepsPerTurn;
  if (h < 0) h += HueStepsPerTurn;
  const float t = static_cast<float>(h) / 256.0f;
  if (h < 256) return m1 + (m2 - m1) * t;
  if (h < 768) return m2;
  if (h < 1024) return m1 + (m2 - m1) * (4.0f - t);
  return m1;
}

}  // namespace

float HSLHueToValue(int32_t hueStep, float m1, float m2) { return Clamp01(HSLHueLevel(hueStep, m1, m2)); }

uint8_t HSLHueToByte(int32_t hueStep, float m1, float m2) {
  return SaturateByte(ToByteValue(HSLHueLevel(hueStep, m1, m2)));
}

void HSLToRGBBytes(float hue, float saturation, float lightness, uint8_t& red, uint8_t& green, uint8_t& blue) {
  if (!(saturation > 0.0f)) {
    red = green = blue = SaturateByte(ToByteValue(lightness));
    return;
  }
  float m1, m2;
  HSLMixes(saturation, lightness, m1, m2);
  const int32_t hs = HueToRawStep(hue);
  red = HSLHueToByte(hs + 512, m1, m2);
  green = HSLHueToByte(hs, m1, m2);
  blue = HSLHueToByte(hs - 512, m1, m2);
}

void HSLToRGB(float hue, float saturation, float lightness, float& red, float& green, float& blue) {
  if (!(saturation > 0.0f)) {
    red = green = blue = lightness;
    return;
  }
  float m1, m2;
  HSLMixes(saturation, lightness, m1, m2);
  const int32_t hs = HueToRawStep(hue);
  red = HSLHueToValue(hs + 512, m1, m2);
  green = HSLHueToValue(hs, m1, m2);
  blue = HSLHueToValue(hs - 512, m1, m2);
}

uint32_t LerpPixel(uint32_t a, uint32_t b, float t) {
  const double td = t;
  uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const int32_t av = static_cast<int32_t>(a >> shift & 0xFF);
    const int32_t bv = static_cast<int32_t>(b >> shift & 0xFF);
    const uint8_t v = static_cast<uint8_t>(av + TruncToInt((bv - av) * td));
    out |= uint32_t{v} << shift;
  }
  return out;
}

}  // namespace tf
