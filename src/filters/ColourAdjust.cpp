// The colour adjustments.
#include "filters/ColourAdjust.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "filters/FilterBlocks.h"
#include "filters/Samplers.h"
#include "paint/Gradient.h"
#include "platform/ByteOrder.h"
#include "raster/ColorMath.h"

namespace tf {

namespace {

void FillColourColumns(uint8_t table[1024], int32_t i, int32_t b, int32_t g, int32_t r) {
  table[4 * i + 0] = static_cast<uint8_t>(b);
  table[4 * i + 1] = static_cast<uint8_t>(g);
  table[4 * i + 2] = static_cast<uint8_t>(r);
  table[4 * i + 3] = static_cast<uint8_t>(i);
}

void FillGrey(uint8_t table[1024], int32_t i, int32_t v) { FillColourColumns(table, i, v, v, v); }

bool FailNotFinite(const FilterContext& context) {
  if (context.Note != nullptr) context.Note->notFinite = true;
  return false;
}

// The exponent of the curved brightness and contrast: a = 1 - |v| x 0.007 in Single; a below 0,
// its inverse otherwise.
float CurveExponent(int32_t v) {
  const float a = static_cast<float>(1.0L - static_cast<long double>(std::abs(v)) * 0.007L);
  return v < 0 ? a : 1.0f / a;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Tables

void BuildLevelsTable(const uint8_t block[24], uint8_t table[1024]) {
  int32_t lo[4], mid[4], hi[4], olo[4], ohi[4];
  for (int32_t c = 0; c < 4; ++c) {
    lo[c] = LevelToFix(block[c]);
    mid[c] = PercentToFix(block[4 + c]);
    hi[c] = LevelToFix(block[8 + c]);
    olo[c] = LevelToFix(block[12 + c]);
    ohi[c] = LevelToFix(block[16 + c]);
  }
  const uint8_t mode = block[20];
  for (int32_t i = 0; i < 256; ++i) {
    const int32_t x = LevelToFix(i);
    int32_t out[3];
    for (int32_t c = 1; c <= 3; ++c) {
      const int32_t y = LevelMap(x, lo[c], mid[c], hi[c], olo[c], ohi[c], mode);
      const int32_t z = LevelMap(y, lo[0], mid[0], hi[0], olo[0], ohi[0], mode);
      // z x 255/65536 + 0.5 is exact in Single (z at most 65536).
      out[c - 1] = std::min((z * 255 + 32768) >> 16, 255);
    }
    // Columns: blue, green, red.
    FillColourColumns(table, i, out[2], out[1], out[0]);
  }
}

void BuildBrightnessContrastTable(int32_t brightness, int32_t contrast, bool linear, uint8_t table[1024]) {
  // Beyond +-100 the curve's exponent reaches 0 and the linear products leave their range.
  const int32_t b = std::clamp(brightness, -100, 100);
  const int32_t c = std::clamp(contrast, -100, 100);
  if (linear) {
    int64_t d, e;
    if (c < 0) {
      d = std::min<int64_t>((int64_t{c} * 65536 + 50) / 100 + 65536, 65536);
      e = 65536;
    } else {
      d = 65536;
      e = 65536 - std::min<int64_t>((int64_t{c} * 65436 + 50) / 100, 65535);
    }
    for (int32_t i = 0; i < 256; ++i) {
      const int64_t v = (int64_t{i} + b - 127) * d / e + b + 127;
      FillGrey(table, i, static_cast<int32_t>(std::clamp<int64_t>(v, 0, 255)));
    }
    return;
  }
  const float gb = CurveExponent(-b), g1 = CurveExponent(c), g2 = CurveExponent(-c);
  float t[256];
  for (int32_t i = 0; i < 256; ++i) {
    const double x = static_cast<float>(i / 255.0);
    t[i] = static_cast<float>(std::pow(x, static_cast<double>(gb)) - x);
  }
  for (int32_t j = 0; j < 128; ++j) {
    const double x = static_cast<float>(j / 127.0);
    t[j] = static_cast<float>(t[j] + (std::pow(x, static_cast<double>(g1)) - x));
    t[j + 128] = static_cast<float>(t[j + 128] + (std::pow(x, static_cast<double>(g2)) - x));
  }
  for (int32_t i = 0; i < 256; ++i) {
    const double v = std::trunc(i + static_cast<double>(t[i]) * 255.0);
    FillGrey(table, i, static_cast<int32_t>(std::clamp(v, 0.0, 255.0)));
  }
}

bool BuildColorBalanceTable(const float exponents[3], uint8_t table[1024]) {
  for (int32_t c = 0; c < 3; ++c)
    if (!std::isfinite(exponents[c])) return false;
  for (int32_t i = 0; i < 256; ++i) {
    const float x = static_cast<float>(i) / 255.0f;
    int32_t v[3];
    for (int32_t c = 0; c < 3; ++c) {
      const float p = powf(x, exponents[c]) * 255.0f;
      // Infinite for 0 to a negative power: the top of the range.
      v[c] = std::isnan(p) ? 0 : static_cast<int32_t>(std::clamp(std::trunc(p), 0.0f, 255.0f));
    }
    FillColourColumns(table, i, v[2], v[1], v[0]);
  }
  return true;
}

void BuildPosterizeTable(int32_t levels, uint8_t table[1024]) {
  const int32_t n = std::clamp(levels, 2, 255);
  for (int32_t i = 0; i < 256; ++i) FillGrey(table, i, std::clamp(((i * n) / 255) * 255 / (n - 1), 0, 255));
}

void BuildThresholdTable(int32_t threshold, uint32_t table[256]) {
  const int32_t b = std::clamp(threshold - 1, 0, 254);
  for (int32_t i = 0; i < 256; ++i) {
    const uint32_t v = static_cast<uint32_t>(std::clamp((i - b) * 255, 0, 255));
    table[i] = static_cast<uint32_t>(i) << 24 | v << 16 | v << 8 | v;
  }
}

void BuildInvertTable(uint8_t table[1024]) {
  for (int32_t i = 0; i < 256; ++i) FillGrey(table, i, 255 - i);
}

void BuildHueTable(int32_t hue, bool monotone, int32_t table[360]) {
  const int32_t h = PositiveMod(hue, 360);
  for (int32_t k = 0; k < 360; ++k) table[k] = (monotone ? h : (h + k) % 360) * 65536;
}

void BuildSaturationTable(int32_t saturation, bool monotone, int32_t table[256]) {
  const int64_t s = saturation;
  if (monotone) {
    const int64_t v = std::clamp<int64_t>((s * 255 + 50) / 100, 0, 255);
    for (int32_t k = 0; k < 256; ++k) table[k] = static_cast<int32_t>(v * 65536);
    return;
  }
  const double as = static_cast<double>(s < 0 ? -s : s);
  for (int32_t k = 0; k < 256; ++k) {
    double v = static_cast<double>(k) * 65536.0;
    if (s < 0) v = std::trunc(v - v * as / 100.0);
    if (s > 0) v = std::trunc(v / (255.0 - as * 253.0 / 100.0) * 255.0 + 0.5);
    // A damaged block's saturation can make the divisor negative or tiny: clamp before converting.
    table[k] = static_cast<int32_t>(std::clamp(std::isnan(v) ? 0.0 : v, 0.0, 255.0 * 65536.0));
  }
}

void BuildLightnessTable(int32_t lightness, uint8_t table[256]) {
  const int32_t l = std::clamp(lightness, -100, 100);
  const int32_t a = (std::abs(l) * 255 + 50) / 100;
  for (int32_t k = 0; k < 256; ++k) {
    int32_t v = k;
    if (l != 0) v = k - (k * a + 127) / 255 + (l > 0 ? a : 0);
    table[k] = static_cast<uint8_t>(std::clamp(v, 0, 255));
  }
}

void BuildLightnessCurve(int32_t lightness, int32_t table[256]) {
  // Outside -100..100 the two runs no longer fill 256 entries (and 128 divides 0 by 0).
  const int32_t l = std::clamp(lightness, -100, 100);
  const float b = static_cast<float>(1.0L - static_cast<long double>(std::abs(l)) * 0.007L);
  const float c = 1.0f / b;
  const int32_t p = 128 - l;
  int32_t n = 0;
  for (int32_t k = 0; k <= p; ++k) {
    const long double x = static_cast<long double>(k) / p;
    table[n++] = static_cast<int32_t>(std::pow(x, static_cast<long double>(c)) * 128.0L * 65536.0L);
  }
  const int32_t q = l + 127;
  for (int32_t k = 1; k <= q; ++k) {
    const long double x = static_cast<long double>(k) / q;
    table[n++] = static_cast<int32_t>((std::pow(x, static_cast<long double>(b)) * 127.0L + 128.0L) * 65536.0L);
  }
}

void BuildGradientMapTable(const CColorSlotGroup& stops, bool reverse, uint32_t table[256]) {
  const CGradation gradient(TPoint{0, 0}, TPoint{510 * 65536, 0}, &stops);
  for (int32_t i = 0; i < 256; ++i) {
    // The renderer answers red in byte 0: into pixel order.
    const uint32_t colour = ColorToPixel(gradient.ColorAt(2 * i + 1, 0));
    table[reverse ? 255 - i : i] = colour;
  }
}

// ---------------------------------------------------------------------------------------------
// Algorithms

bool LevelsFilter(FilterContext& context, const void* block, int32_t size) {
  if (!CheckFilterContext(context) || size != kLevelsBlock || block == nullptr) return false;
  uint8_t table[1024];
  BuildLevelsTable(static_cast<const uint8_t*>(block), table);
  return MapByChannelTables(context, table, true);
}

bool HueSaturationFilter(FilterContext& context, const void* block, int32_t size) {
  if (!CheckFilterContext(context) || size != kHueSaturationBlock || block == nullptr) return false;
  const auto* bytes = static_cast<const uint8_t*>(block);
  const int32_t h = PositiveMod(BlockWord(block, 0), 360);
  const int32_t s = BlockWord(block, 1);
  const int32_t l = std::clamp(BlockWord(block, 2), -100, 100);
  const bool monotone = bytes[12] != 0;
  const bool linear = bytes[13] != 0;
  if (h == 0 && s == 0 && l == 0 && !monotone) return CopySourceCovered(context, nullptr, 0);
  int32_t hues[360], saturations[256];
  BuildHueTable(h, monotone, hues);
  BuildSaturationTable(s, monotone, saturations);
  if (linear) {
    uint8_t lights[256];
    BuildLightnessTable(l, lights);
    auto light = [&lights](uint32_t p) {
      return (p & 0xFF000000u) | static_cast<uint32_t>(lights[p & 0xFFu]) |
             static_cast<uint32_t>(lights[(p >> 8) & 0xFFu]) << 8 | static_cast<uint32_t>(lights[(p >> 16) & 0xFFu]) << 16;
    };
    if (h == 0 && s == 0 && !monotone)
      return ForEachCoveredPixelAnyOrder(context, true, [&](int32_t, int32_t, uint32_t p) { return light(p); });
    return ForEachCoveredPixelAnyOrder(context, true, [&](int32_t, int32_t, uint32_t p) {
      SHSLFix hsl;
      PixelToHSL(&p, hsl);
      hsl.hue = hues[std::min(hsl.hue >> 16, 359)];
      hsl.saturation = saturations[std::clamp(hsl.saturation >> 16, 0, 255)];
      HSLToPixel(hsl, &p);
      return light(p);
    });
  }
  int32_t curve[256];
  BuildLightnessCurve(l, curve);
  return ForEachCoveredPixelAnyOrder(context, true, [&](int32_t, int32_t, uint32_t p) {
    SHSLFix hsl;
    PixelToHSL(&p, hsl);
    hsl.hue = hues[std::min(hsl.hue >> 16, 359)];
    hsl.saturation = saturations[std::clamp(hsl.saturation >> 16, 0, 255)];
    hsl.lightness = curve[std::clamp(hsl.lightness >> 16, 0, 255)];
    HSLToPixel(hsl, &p);
    return p;
  });
}

bool BrightnessContrastFilter(FilterContext& context, const void* block, int32_t size) {
  if (!CheckFilterContext(context) || size != kBrightnessContrastBlock || block == nullptr) return false;
  uint8_t table[1024];
  BuildBrightnessContrastTable(BlockWord(block, 0), BlockWord(block, 1), static_cast<const uint8_t*>(block)[8] != 0,
                               table);
  return MapByChannelTables(context, table, true);
}

bool ColorBalanceFilter(FilterContext& context, const void* block, int32_t size) {
  if (!CheckFilterContext(context) || size != kColorBalanceBlock || block == nullptr) return false;
  float exponents[3];
  std::memcpy(exponents, block, sizeof exponents);
  uint8_t table[1024];
  if (!BuildColorBalanceTable(exponents, table)) return FailNotFinite(context);
  return MapByChannelTables(context, table, true);
}

bool PosterizeFilter(FilterContext& context, const void* block, int32_t size) {
  if (!CheckFilterContext(context) || size != kPosterizeBlock || block == nullptr) return false;
  uint8_t table[1024];
  BuildPosterizeTable(BlockWord(block, 0), table);
  return MapByChannelTables(context, table, true);
}

bool ThresholdFilter(FilterContext& context, const void* block, int32_t size) {
  if (!CheckFilterContext(context) || size != kThresholdBlock || block == nullptr) return false;
  const auto* bytes = static_cast<const uint8_t*>(block);
  uint32_t table[256];
  BuildThresholdTable(bytes[0], table);
  return bytes[1] == 1 ? MapColourByLuminance(context, table, true) : MapByLuminance(context, table, true);
}

bool InvertFilter(FilterContext& context, const void* block, int32_t size) {
  (void)block;
  if (!CheckFilterContext(context) || size != 0) return false;
  uint8_t table[1024];
  BuildInvertTable(table);
  return MapByChannelTables(context, table, true);
}

bool GradientMapFilter(FilterContext& context, const void* block, int32_t size) {
  if (!CheckFilterContext(context) || size != kBlockGradientMap || block == nullptr) return false;
  const auto& b = *static_cast<const SGradientMapBlock*>(block);
  if (b.stops == nullptr) return false;
  uint32_t table[256];
  BuildGradientMapTable(*b.stops, b.reverse != 0, table);
  return MapColourByLuminance(context, table, b.keepAlpha != 0);
}

}  // namespace tf
