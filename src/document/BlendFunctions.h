// Colour functions and pixel routines of the blend modes.
#pragma once
// Colour functions and pixel routines of the blend modes.
//
// d is a destination channel, s a source channel (0..255); pixels are 0xAARRGGBB, straight alpha.
// All divisions truncate toward zero; clamp limits to 0..255. The functions are inline so that
// the row loops of document/BlendRows.h inline them; nothing here branches on a mode.
//
// For a mode M with colour function F:
//   MOp     weighted routine (pixel, colour, weight): B, G, R := BlendColor(pixel, F(pixel, colour),
//           weight), alpha kept.
//   MSrcOp  source-alpha routine (pixel, colour, opacity): MOp with MulDiv255(opacity, colour alpha).
//   MMergeOp merge routine (pixel, colour, opacity): merges into a pixel whose alpha may be below
//           255 and computes the new alpha.
#include <cstdint>

#include "raster/Composite.h"
#include "raster/PixelOps.h"

namespace tf {

namespace blend_detail {

inline uint32_t Byte(uint32_t v, int shift) { return (v >> shift) & 0xFFu; }

// fn applied to B, G and R of p and c; the result keeps p's alpha byte.
using pixel_detail::MapChannels;

inline uint32_t Min(uint32_t a, uint32_t b) { return a < b ? a : b; }
inline uint32_t Max(uint32_t a, uint32_t b) { return a > b ? a : b; }

// round(sqrt(n)) for n < 2^40.
constexpr uint64_t RoundSqrt(uint64_t n) {
  uint64_t r = 0;
  for (uint64_t bit = uint64_t{1} << 38; bit != 0; bit >>= 2) {
    if (n >= r + bit) {
      n -= r + bit;
      r = (r >> 1) + bit;
    } else {
      r >>= 1;
    }
  }
  // r = floor(sqrt), n = remainder; sqrt >= r + 0.5 exactly when remainder > r.
  return n > r ? r + 1 : r;
}

constexpr int32_t FixMulC(int32_t a, int32_t b) { return static_cast<int32_t>((int64_t{a} * b) >> 16); }

constexpr uint32_t SoftLightCurveC(uint32_t d) {
  const int32_t x = static_cast<int32_t>(d * 65536u / 255u);
  int32_t y;
  if (x > 0x4000) {
    y = static_cast<int32_t>(RoundSqrt(static_cast<uint64_t>(x) << 16));
  } else {
    y = FixMulC(FixMulC(16 * x - 0xC0000, x) + 0x40000, x);
  }
  return static_cast<uint32_t>((int64_t{y} * 255) >> 16);
}

struct SoftLightTable {
  uint8_t value[256];
};
constexpr SoftLightTable MakeSoftLightTable() {
  SoftLightTable t{};
  for (uint32_t d = 0; d < 256; ++d) t.value[d] = static_cast<uint8_t>(SoftLightCurveC(d));
  return t;
}
inline constexpr SoftLightTable kSoftLight = MakeSoftLightTable();

// (19595*R + 38469*G + 7472*B) >> 16 on signed values (arithmetic shift).
inline int32_t LumSigned(int32_t r, int32_t g, int32_t b) { return (19595 * r + 38469 * g + 7472 * b) >> 16; }

}  // namespace blend_detail

// ---- Per-channel routines -----------------------------------------------------------------

// Soft light curve D(d): x = d*65536/255 in 16.16; x > 0x4000: y = rounded 16.16 square root of
// x; else y = ((16x - 12)x + 4)x in 16.16 (FixMul); D = (y*255) >> 16.
inline uint32_t SoftLightCurve(uint32_t d) { return blend_detail::kSoftLight.value[d & 0xFFu]; }

inline uint32_t ScreenByte(uint32_t d, uint32_t s) { return d + s - MulDiv255(d, s); }

// s = 0: 255 when d = 255, else 0; otherwise 255 - min(255, (255 - d)*255/s).
inline uint32_t BurnByte(uint32_t d, uint32_t s) {
  if (s == 0) return d == 255 ? 255u : 0u;
  return 255u - blend_detail::Min(255u, pixel_detail::DivFloor((255u - d) * 255u, s));
}

// s = 255: 255 when d > 0, else 0; otherwise min(255, d*255/(255 - s)).
inline uint32_t DodgeByte(uint32_t d, uint32_t s) {
  if (s == 255) return d > 0 ? 255u : 0u;
  return blend_detail::Min(255u, pixel_detail::DivFloor(d * 255u, 255u - s));
}

// d >= 128: (65025 - 2(255 - d)(255 - s))/255; else 2ds/255.
inline uint32_t OverlayByte(uint32_t d, uint32_t s) {
  return d >= 128 ? (65025u - 2u * (255u - d) * (255u - s)) / 255u : (2u * d * s) / 255u;
}

// The overlay formulas with the test on s: both formulas are symmetric in d and s, so this is
// overlay with the two swapped.
inline uint32_t HardLightByte(uint32_t d, uint32_t s) { return OverlayByte(s, d); }

// s < 128: (255d - (255 - 2s)*MulDiv255(d, 255 - d))/255;
// s >= 128: (255d + (D(d) - d)(2s - 255))/255.
inline uint32_t SoftLightByte(uint32_t d, uint32_t s) {
  const int32_t di = static_cast<int32_t>(d);
  const int32_t si = static_cast<int32_t>(s);
  int32_t n;
  if (s < 128) {
    n = 255 * di - (255 - 2 * si) * static_cast<int32_t>(MulDiv255(d, 255u - d));
  } else {
    n = 255 * di + (static_cast<int32_t>(SoftLightCurve(d)) - di) * (2 * si - 255);
  }
  return pixel_detail::Clamp255(n / 255);
}

// (s + d - 2*MulDiv255(d, s)) truncated to a byte.
inline uint32_t ExclusionByte(uint32_t d, uint32_t s) { return (s + d - 2u * MulDiv255(d, s)) & 0xFFu; }

// s >= 128: 255 when s = 255, else min(255, (d*255/(255 - s)) >> 1);
// s <= 127: 0 when s = 0, else 255 - min(255, ((255 - d)*255/s) >> 1).
inline uint32_t VividLightByte(uint32_t d, uint32_t s) {
  using blend_detail::Min;
  if (s >= 128) {
    if (s == 255) return 255u;
    return Min(255u, pixel_detail::DivFloor(d * 255u, 255u - s) >> 1);
  }
  if (s == 0) return 0u;
  return 255u - Min(255u, pixel_detail::DivFloor((255u - d) * 255u, s) >> 1);
}

// clamp(d + 2s - 256).
inline uint32_t LinearLightByte(uint32_t d, uint32_t s) {
  return pixel_detail::Clamp255(static_cast<int32_t>(d + 2u * s) - 256);
}

// min(max(d, 2s - 255), 2s).
inline uint32_t PinLightByte(uint32_t d, uint32_t s) {
  const int32_t lo = static_cast<int32_t>(2u * s) - 255;
  const int32_t m = static_cast<int32_t>(d) > lo ? static_cast<int32_t>(d) : lo;
  const int32_t hi = static_cast<int32_t>(2u * s);
  return static_cast<uint32_t>(m < hi ? m : hi);
}

// ---- Saturation and luminance --------------------------------------------------------------

// max(R, G, B) - min(R, G, B).
inline int32_t PixelSaturation(uint32_t c) {
  using namespace blend_detail;
  const uint32_t r = Byte(c, 16), g = Byte(c, 8), b = Byte(c, 0);
  return static_cast<int32_t>(Max(r, Max(g, b)) - Min(r, Min(g, b)));
}

// (19595R + 38469G + 7472B) >> 16.
inline int32_t PixelLum(uint32_t c) {
  using blend_detail::Byte;
  return static_cast<int32_t>((19595u * Byte(c, 16) + 38469u * Byte(c, 8) + 7472u * Byte(c, 0)) >> 16);
}

// The colour c given saturation S and luminance L (the result keeps c's alpha byte):
//   S = 0 or a grey c: (L, L, L). Otherwise the chroma is scaled to S (x := S(x - mn)/(mx - mn)),
//   m := lum of that and delta := L - m; when mx + delta > 255 (mx of c before scaling) each
//   x := 255 - (mx - x)(255 - L)/max(1, lum(mx - r, mx - g, mx - b)); else when delta < 0
//   x := x*L/m; else x := x + delta. Each channel is clamped.
inline uint32_t SetSatLum(uint32_t c, int32_t S, int32_t L) {
  using namespace blend_detail;
  const int32_t R = static_cast<int32_t>(Byte(c, 16));
  const int32_t G = static_cast<int32_t>(Byte(c, 8));
  const int32_t B = static_cast<int32_t>(Byte(c, 0));
  const int32_t mn = R < G ? (R < B ? R : B) : (G < B ? G : B);
  const int32_t mx = R > G ? (R > B ? R : B) : (G > B ? G : B);
  const uint32_t alpha = c & 0xFF000000u;
  if (S == 0 || mx == mn) {
    const uint32_t l = pixel_detail::Clamp255(L);
    return alpha | (l << 16) | (l << 8) | l;
  }
  const int32_t span = mx - mn;
  int32_t r = S * (R - mn) / span;
  int32_t g = S * (G - mn) / span;
  int32_t b = S * (B - mn) / span;
  const int32_t m = LumSigned(r, g, b);
  const int32_t delta = L - m;
  if (mx + delta > 255) {
    int32_t q = LumSigned(mx - r, mx - g, mx - b);
    if (q < 1) q = 1;
    r = 255 - (mx - r) * (255 - L) / q;
    g = 255 - (mx - g) * (255 - L) / q;
    b = 255 - (mx - b) * (255 - L) / q;
  } else if (delta < 0) {
    r = r * L / m;
    g = g * L / m;
    b = b * L / m;
  } else {
    r += delta;
    g += delta;
    b += delta;
  }
  using pixel_detail::Clamp255;
  return alpha | (Clamp255(r) << 16) | (Clamp255(g) << 8) | Clamp255(b);
}

// ---- Colour functions F(P, C) --------------------------------------------------------------
// B, G, R of the blend of destination P with source C; the alpha byte is P's (the weighted
// routine keeps P's alpha anyway).

inline uint32_t ScreenColor(uint32_t p, uint32_t c) { return blend_detail::MapChannels(p, c, ScreenByte); }
inline uint32_t DifferenceColor(uint32_t p, uint32_t c) {
  return blend_detail::MapChannels(p, c, [](uint32_t d, uint32_t s) { return d > s ? d - s : s - d; });
}
inline uint32_t DarkenColor(uint32_t p, uint32_t c) { return blend_detail::MapChannels(p, c, blend_detail::Min); }
inline uint32_t LightenColor(uint32_t p, uint32_t c) {
  return blend_detail::MapChannels(p, c, blend_detail::Max);
}
inline uint32_t BurnColor(uint32_t p, uint32_t c) { return blend_detail::MapChannels(p, c, BurnByte); }
inline uint32_t DodgeColor(uint32_t p, uint32_t c) { return blend_detail::MapChannels(p, c, DodgeByte); }
inline uint32_t OverlayColor(uint32_t p, uint32_t c) { return blend_detail::MapChannels(p, c, OverlayByte); }
inline uint32_t HardLightColor(uint32_t p, uint32_t c) { return blend_detail::MapChannels(p, c, HardLightByte); }
inline uint32_t SoftLightColor(uint32_t p, uint32_t c) { return blend_detail::MapChannels(p, c, SoftLightByte); }
inline uint32_t ExclusionColor(uint32_t p, uint32_t c) { return blend_detail::MapChannels(p, c, ExclusionByte); }
inline uint32_t VividLightColor(uint32_t p, uint32_t c) {
  return blend_detail::MapChannels(p, c, VividLightByte);
}
inline uint32_t LinearLightColor(uint32_t p, uint32_t c) {
  return blend_detail::MapChannels(p, c, LinearLightByte);
}
inline uint32_t PinLightColor(uint32_t p, uint32_t c) { return blend_detail::MapChannels(p, c, PinLightByte); }
// Hue of C with the saturation and luminance of P.
inline uint32_t HueColor(uint32_t p, uint32_t c) { return SetSatLum(c, PixelSaturation(p), PixelLum(p)); }
// Saturation of C with the hue and luminance of P.
inline uint32_t SaturationColor(uint32_t p, uint32_t c) { return SetSatLum(p, PixelSaturation(c), PixelLum(p)); }
// Hue and saturation of C with the luminance of P.
inline uint32_t ColorColor(uint32_t p, uint32_t c) { return SetSatLum(c, PixelSaturation(c), PixelLum(p)); }
// Luminance of C with the hue and saturation of P.
inline uint32_t LuminosityColor(uint32_t p, uint32_t c) { return SetSatLum(p, PixelSaturation(p), PixelLum(c)); }

// ---- Routine templates ---------------------------------------------------------------------

using BlendColorFunction = uint32_t (*)(uint32_t p, uint32_t c);

// Weighted routine of a colour function: B, G, R := BlendColor(P, F(P, C), w).
template <BlendColorFunction F>
inline void WeightedBlendOp(uint32_t* pixel, uint32_t colour, int32_t w) {
  BlendColor(pixel, F(*pixel, colour), w);
}

// The weighted routine Op with weight MulDiv255(opacity, colour alpha).
template <PixelOp Op>
inline void SourceAlphaOp(uint32_t* pixel, uint32_t colour, int32_t opacity) {
  Op(pixel, colour, static_cast<int32_t>(MulDiv255(static_cast<uint32_t>(opacity) & 0xFFu, colour >> 24)));
}

// Linear burn (mode 18): each channel := max(0, d - MulDiv255(w, 255 - s)); alpha kept. The
// weight enters the subtraction; there is no BlendColor step.
inline void LinearBurnOp(uint32_t* pixel, uint32_t colour, int32_t w) {
  const uint32_t wb = static_cast<uint32_t>(w) & 0xFFu;
  *pixel = blend_detail::MapChannels(*pixel, colour, [wb](uint32_t d, uint32_t s) {
    const uint32_t t = MulDiv255(wb, 255u - s);
    return d > t ? d - t : 0u;
  });
}

// Descriptor merge of a mode whose weighted routine is Op and start colour Start: CompositePixel
// with {Start, flags 0, BlendColor, Op}.
template <PixelOp Op, uint32_t Start>
inline void DescriptorMergeOp(uint32_t* pixel, uint32_t colour, int32_t opacity) {
  CompositePixelWith(pixel, colour, opacity, Start, 0, BlendColor, Op);
}

// ---- Merge routines with their own alpha arithmetic ----------------------------------------
// as = MulDiv255(colour alpha, opacity); ad = the pixel's alpha.

// Screen merge: f = MulDiv255(ad, as); ao = ad + as - f; alpha := ao; stop when ao = 0;
// each channel := clamp((d*ad + s*as - f*MulDiv255(d, s)) / ao). (UnionAlphaMerge, raster/PixelOps.h.)
inline void ScreenMergeOp(uint32_t* pixel, uint32_t colour, int32_t opacity) {
  // Never negative: f*MulDiv255(d, s) <= ad*d.
  pixel_detail::UnionAlphaMerge(pixel, colour, opacity,
                                [](uint32_t d, uint32_t s, uint32_t ad, uint32_t as, uint32_t f) {
                                  return d * ad + s * as - f * pixel_detail::Div255(d * s);
                                });
}

namespace blend_detail {
// The merge of the difference, darken and lighten modes: as = MulDiv255(colour alpha, opacity);
// ad = the pixel's alpha; ao = ad + as - MulDiv255(ad, as); alpha := ao; nothing more when
// ao < 1 (both alphas 0 would divide by 0); each channel := clamp(numerator(d, s, ad, as) / (255*ao)).
template <class Numerator>
inline void ByteAlphaMerge(uint32_t* pixel, uint32_t colour, int32_t opacity, Numerator numerator) {
  const uint32_t p = *pixel;
  const uint32_t as = MulDiv255(colour >> 24, static_cast<uint32_t>(opacity) & 0xFFu);
  const uint32_t ad = p >> 24;
  const uint32_t ao = ad + as - MulDiv255(ad, as);
  uint32_t result = p & 0x00FFFFFFu;
  if (ao >= 1) {
    const uint32_t den = 255u * ao;
    result = 0;
    for (int shift = 0; shift < 24; shift += 8) {
      const uint32_t d = (p >> shift) & 0xFFu;
      const uint32_t s = (colour >> shift) & 0xFFu;
      const uint32_t q = numerator(d, s, ad, as) / den;
      result |= (q > 255 ? 255u : q) << shift;
    }
  }
  *pixel = result | (ao << 24);
}
}  // namespace blend_detail

// Difference merge: each channel := clamp((as*|255s - ad*d| + ad*d*(255 - as)) / (255*ao)).
inline void DifferenceMergeOp(uint32_t* pixel, uint32_t colour, int32_t opacity) {
  blend_detail::ByteAlphaMerge(pixel, colour, opacity, [](uint32_t d, uint32_t s, uint32_t ad, uint32_t as) {
    const uint32_t x = 255u * s, y = ad * d;
    return as * (x > y ? x - y : y - x) + y * (255u - as);
  });
}

// Darken merge: w = ad*d + 255(255 - ad);
// each channel := clamp((as*min(w, 255s) + (255 - as)*w) / (255*ao)).
inline void DarkenMergeOp(uint32_t* pixel, uint32_t colour, int32_t opacity) {
  blend_detail::ByteAlphaMerge(pixel, colour, opacity, [](uint32_t d, uint32_t s, uint32_t ad, uint32_t as) {
    const uint32_t w = ad * d + 255u * (255u - ad);
    return as * blend_detail::Min(w, 255u * s) + (255u - as) * w;
  });
}

// Lighten merge: as darken with w = ad*d and max in place of min.
inline void LightenMergeOp(uint32_t* pixel, uint32_t colour, int32_t opacity) {
  blend_detail::ByteAlphaMerge(pixel, colour, opacity, [](uint32_t d, uint32_t s, uint32_t ad, uint32_t as) {
    const uint32_t w = ad * d;
    return as * blend_detail::Max(w, 255u * s) + (255u - as) * w;
  });
}

// ---- The routines of each mode, by name ----------------------------------------------------

// Weighted routines.
inline void ScreenOp(uint32_t* p, uint32_t c, int32_t w) { WeightedBlendOp<ScreenColor>(p, c, w); }
inline void DifferenceOp(uint32_t* p, uint32_t c, int32_t w) { WeightedBlendOp<DifferenceColor>(p, c, w); }
inline void DarkenOp(uint32_t* p, uint32_t c, int32_t w) { WeightedBlendOp<DarkenColor>(p, c, w); }
inline void LightenOp(uint32_t* p, uint32_t c, int32_t w) { WeightedBlendOp<LightenColor>(p, c, w); }
inline void BurnOp(uint32_t* p, uint32_t c, int32_t w) { WeightedBlendOp<BurnColor>(p, c, w); }
inline void DodgeOp(uint32_t* p, uint32_t c, int32_t w) { WeightedBlendOp<DodgeColor>(p, c, w); }
inline void OverlayOp(uint32_t* p, uint32_t c, int32_t w) { WeightedBlendOp<OverlayColor>(p, c, w); }
inline void HardLightOp(uint32_t* p, uint32_t c, int32_t w) { WeightedBlendOp<HardLightColor>(p, c, w); }
inline void SoftLightOp(uint32_t* p, uint32_t c, int32_t w) { WeightedBlendOp<SoftLightColor>(p, c, w); }
inline void ExclusionOp(uint32_t* p, uint32_t c, int32_t w) { WeightedBlendOp<ExclusionColor>(p, c, w); }
inline void VividLightOp(uint32_t* p, uint32_t c, int32_t w) { WeightedBlendOp<VividLightColor>(p, c, w); }
inline void LinearLightOp(uint32_t* p, uint32_t c, int32_t w) { WeightedBlendOp<LinearLightColor>(p, c, w); }
inline void PinLightOp(uint32_t* p, uint32_t c, int32_t w) { WeightedBlendOp<PinLightColor>(p, c, w); }
inline void HueOp(uint32_t* p, uint32_t c, int32_t w) { WeightedBlendOp<HueColor>(p, c, w); }
inline void SaturationOp(uint32_t* p, uint32_t c, int32_t w) { WeightedBlendOp<SaturationColor>(p, c, w); }
inline void ColorOp(uint32_t* p, uint32_t c, int32_t w) { WeightedBlendOp<ColorColor>(p, c, w); }
inline void LuminosityOp(uint32_t* p, uint32_t c, int32_t w) { WeightedBlendOp<LuminosityColor>(p, c, w); }

// Source-alpha routines.
inline void ScreenSrcOp(uint32_t* p, uint32_t c, int32_t o) { SourceAlphaOp<ScreenOp>(p, c, o); }
inline void DifferenceSrcOp(uint32_t* p, uint32_t c, int32_t o) { SourceAlphaOp<DifferenceOp>(p, c, o); }
inline void DarkenSrcOp(uint32_t* p, uint32_t c, int32_t o) { SourceAlphaOp<DarkenOp>(p, c, o); }
inline void LightenSrcOp(uint32_t* p, uint32_t c, int32_t o) { SourceAlphaOp<LightenOp>(p, c, o); }
inline void BurnSrcOp(uint32_t* p, uint32_t c, int32_t o) { SourceAlphaOp<BurnOp>(p, c, o); }
inline void DodgeSrcOp(uint32_t* p, uint32_t c, int32_t o) { SourceAlphaOp<DodgeOp>(p, c, o); }
inline void OverlaySrcOp(uint32_t* p, uint32_t c, int32_t o) { SourceAlphaOp<OverlayOp>(p, c, o); }
inline void HardLightSrcOp(uint32_t* p, uint32_t c, int32_t o) { SourceAlphaOp<HardLightOp>(p, c, o); }
inline void SoftLightSrcOp(uint32_t* p, uint32_t c, int32_t o) { SourceAlphaOp<SoftLightOp>(p, c, o); }
inline void ExclusionSrcOp(uint32_t* p, uint32_t c, int32_t o) { SourceAlphaOp<ExclusionOp>(p, c, o); }
inline void LinearBurnSrcOp(uint32_t* p, uint32_t c, int32_t o) { SourceAlphaOp<LinearBurnOp>(p, c, o); }
inline void VividLightSrcOp(uint32_t* p, uint32_t c, int32_t o) { SourceAlphaOp<VividLightOp>(p, c, o); }
inline void LinearLightSrcOp(uint32_t* p, uint32_t c, int32_t o) { SourceAlphaOp<LinearLightOp>(p, c, o); }
inline void PinLightSrcOp(uint32_t* p, uint32_t c, int32_t o) { SourceAlphaOp<PinLightOp>(p, c, o); }
inline void HueSrcOp(uint32_t* p, uint32_t c, int32_t o) { SourceAlphaOp<HueOp>(p, c, o); }
inline void SaturationSrcOp(uint32_t* p, uint32_t c, int32_t o) { SourceAlphaOp<SaturationOp>(p, c, o); }
inline void ColorSrcOp(uint32_t* p, uint32_t c, int32_t o) { SourceAlphaOp<ColorOp>(p, c, o); }
inline void LuminositySrcOp(uint32_t* p, uint32_t c, int32_t o) { SourceAlphaOp<LuminosityOp>(p, c, o); }

// Descriptor merges (start colours from the mode table).
inline void OverlayMergeOp(uint32_t* p, uint32_t c, int32_t o) {
  DescriptorMergeOp<OverlayOp, 0x7F7F7Fu>(p, c, o);
}
inline void HardLightMergeOp(uint32_t* p, uint32_t c, int32_t o) {
  DescriptorMergeOp<HardLightOp, 0x7F7F7Fu>(p, c, o);
}
inline void SoftLightMergeOp(uint32_t* p, uint32_t c, int32_t o) {
  DescriptorMergeOp<SoftLightOp, 0x7F7F7Fu>(p, c, o);
}
inline void ExclusionMergeOp(uint32_t* p, uint32_t c, int32_t o) {
  DescriptorMergeOp<ExclusionOp, 0x000000u>(p, c, o);
}
inline void BurnMergeOp(uint32_t* p, uint32_t c, int32_t o) { DescriptorMergeOp<BurnOp, 0xFFFFFFu>(p, c, o); }
inline void DodgeMergeOp(uint32_t* p, uint32_t c, int32_t o) { DescriptorMergeOp<DodgeOp, 0x000000u>(p, c, o); }
inline void HueMergeOp(uint32_t* p, uint32_t c, int32_t o) { DescriptorMergeOp<HueOp, 0xFFFFFFu>(p, c, o); }
inline void SaturationMergeOp(uint32_t* p, uint32_t c, int32_t o) {
  DescriptorMergeOp<SaturationOp, 0xFFFFFFu>(p, c, o);
}
inline void ColorMergeOp(uint32_t* p, uint32_t c, int32_t o) { DescriptorMergeOp<ColorOp, 0xFFFFFFu>(p, c, o); }
inline void LuminosityMergeOp(uint32_t* p, uint32_t c, int32_t o) {
  DescriptorMergeOp<LuminosityOp, 0xFFFFFFu>(p, c, o);
}
inline void LinearBurnMergeOp(uint32_t* p, uint32_t c, int32_t o) {
  DescriptorMergeOp<LinearBurnOp, 0xFFFFFFu>(p, c, o);
}
inline void LinearLightMergeOp(uint32_t* p, uint32_t c, int32_t o) {
  DescriptorMergeOp<LinearLightOp, 0x7F7F7Fu>(p, c, o);
}
inline void VividLightMergeOp(uint32_t* p, uint32_t c, int32_t o) {
  DescriptorMergeOp<VividLightOp, 0xFFFFFFu>(p, c, o);
}
inline void PinLightMergeOp(uint32_t* p, uint32_t c, int32_t o) {
  DescriptorMergeOp<PinLightOp, 0x7F7F7Fu>(p, c, o);
}

}  // namespace tf
