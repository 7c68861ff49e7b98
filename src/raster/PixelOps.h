// Pixel operators: one 32-bit pixel combined with a colour or source pixel and a weight.
#pragma once
// Pixel operators: one 32-bit pixel (B, G, R, A, straight alpha) combined with a colour or a
// source pixel and a weight 0..255. They have the PixelOp shape of raster/Composite.h, so
// rectangle loops take them as pointers or, through PixelOpFn, inlined as functors.
//
// The operators keep no state. Table look-ups of the form MulTable[i][j] are computed as
// MulDiv255(i, j), which is the same value for bytes, so loops that inline them vectorise.
//
// The rectangle adapters apply an operator (or a byte operation of raster/Composite.h) from one
// image to another in the argument order the older blend-mode tables use.
#include <cstdint>

#include "raster/Composite.h"
#include "raster/FlatImage.h"

namespace tf {

namespace pixel_detail {

// n div d for 0 <= n < 2^24 and d >= 1, exact: the single-precision quotient of two exactly
// held integers lies within n*2^-24/d < 1/d of n/d, closer than any integer it could cross.
// Float division vectorises where integer division does not.
// (Converted through int32, which the vector units convert directly.)
inline uint32_t DivFloor(uint32_t n, uint32_t d) {
  return static_cast<uint32_t>(static_cast<int32_t>(static_cast<float>(static_cast<int32_t>(n)) /
                                                    static_cast<float>(static_cast<int32_t>(d))));
}

inline uint32_t Clamp255(int32_t v) { return v < 0 ? 0u : (v > 255 ? 255u : static_cast<uint32_t>(v)); }

// x div 255 for 0 <= x <= 65025 (as MulDiv255 of the two factors).
inline uint32_t Div255(uint32_t x) { return (x + 1u + (x >> 8)) >> 8; }

// fn(pixel byte, colour byte) for B, G and R of p and c; the result keeps p's alpha byte.
template <class Fn>
inline uint32_t MapChannels(uint32_t p, uint32_t c, Fn fn) {
  auto byte = [](uint32_t v, int shift) { return (v >> shift) & 0xFFu; };
  return (p & 0xFF000000u) | fn(byte(p, 0), byte(c, 0)) | (fn(byte(p, 8), byte(c, 8)) << 8) |
         (fn(byte(p, 16), byte(c, 16)) << 16);
}

}  // namespace pixel_detail

// Paint the colour over the pixel with coverage v:
//   v = 0 leaves the pixel; v = 255 gives the colour with alpha 255; an opaque pixel takes the
//   colour blended in by v; otherwise alpha := d + MulTable[v][255 - d] and the colour is
//   blended in by v*255/new alpha.
// All cases are one formula: na := d + v*(255-d)/255 (255 for d = 255 or v = 255, d for v = 0)
// and weight := v*255/na (v for d = 255, 255 for v = 255, 0 for v = 0; na = 0 only with v = 0).
inline void PixelPaintOver(uint32_t* pixel, uint32_t colour, int32_t v) {
  using namespace pixel_detail;
  const uint32_t w = static_cast<uint32_t>(v) & 0xFFu;
  const uint32_t p = *pixel;
  const uint32_t d = p >> 24;
  const uint32_t na = d + Div255(w * (255u - d));
  const uint32_t weight = DivFloor(w * 255u, na == 0 ? 1u : na);
  uint32_t out = p;
  BlendColor(&out, colour, static_cast<int32_t>(weight));
  *pixel = (out & 0x00FFFFFFu) | (na << 24);
}

// Erase: alpha := alpha - MulTable[alpha][v]; the colour bytes stay.
inline void PixelEraseAlpha(uint32_t* pixel, uint32_t /*colour*/, int32_t v) {
  const uint32_t p = *pixel;
  const uint32_t a = p >> 24;
  const uint32_t na = a - MulDiv255(a, static_cast<uint32_t>(v) & 0xFFu);
  *pixel = (p & 0x00FFFFFFu) | (na << 24);
}

// Linear blend of all four bytes: alpha := LerpByte(colour alpha, pixel alpha, w); when the new
// alpha is not 0, B, G, R are blended toward the colour by w.
inline void PixelLerpARGB(uint32_t* pixel, uint32_t colour, int32_t w) {
  const uint32_t wb = static_cast<uint32_t>(w) & 0xFFu;
  const uint32_t p = *pixel;
  const uint32_t na = LerpByte(colour >> 24, p >> 24, wb);
  uint32_t out = p;
  if (na != 0) BlendColor(&out, colour, static_cast<int32_t>(wb));
  *pixel = (out & 0x00FFFFFFu) | (na << 24);
}

// BlendColor with the weight scaled by the colour's alpha: (w*32897*alpha) >> 23.
inline void PixelBlendSourceAlpha(uint32_t* pixel, uint32_t colour, int32_t w) {
  const uint32_t a = (static_cast<uint32_t>(w) * 32897u * (colour >> 24)) >> 23;
  BlendColor(pixel, colour, static_cast<int32_t>(a));
}

// PixelPaintOver with coverage MulTable[w][colour alpha].
inline void PixelPaintOverSourceAlpha(uint32_t* pixel, uint32_t colour, int32_t w) {
  PixelPaintOver(pixel, colour, static_cast<int32_t>(MulDiv255(static_cast<uint32_t>(w) & 0xFFu, colour >> 24)));
}

namespace pixel_detail {
// A merge over a pixel whose alpha may be below 255 that computes the union alpha itself:
//   e := MulDiv255(colour alpha, w); a := pixel alpha; f := MulDiv255(a, e); g := a + e - f;
//   alpha := g; when g > 0 each channel := clamp(numerator(d, s, a, e, f) / g), else the colour
//   bytes stay. The numerator must never be negative. Written without branches so that row
//   loops vectorise.
template <class Numerator>
inline void UnionAlphaMerge(uint32_t* pixel, uint32_t colour, int32_t w, Numerator numerator) {
  const uint32_t p = *pixel;
  const uint32_t e = Div255((colour >> 24) * (static_cast<uint32_t>(w) & 0xFFu));
  const uint32_t a = p >> 24;
  const uint32_t f = Div255(a * e);
  const uint32_t g = a + e - f;
  const uint32_t divisor = g + (g == 0);
  auto channel = [&](int shift) {
    const uint32_t d = (p >> shift) & 0xFFu;
    const uint32_t s = (colour >> shift) & 0xFFu;
    const uint32_t q = DivFloor(numerator(d, s, a, e, f), divisor);
    return (q < 255u ? q : 255u) << shift;
  };
  const uint32_t mixed = channel(0) | channel(8) | channel(16);
  const uint32_t keep = 0u - static_cast<uint32_t>(g == 0);  // all ones when nothing is left
  *pixel = (p & keep & 0x00FFFFFFu) | (mixed & ~keep) | (g << 24);
}
}  // namespace pixel_detail

// Multiply over a pixel whose alpha may be below 255 (UnionAlphaMerge): each channel :=
//   clamp((d*a + s*e - f*(s + d - MulDiv255(d, s))) / g).
inline void PixelMultiplyOver(uint32_t* pixel, uint32_t colour, int32_t w) {
  // Never negative: f <= a and f <= e.
  pixel_detail::UnionAlphaMerge(pixel, colour, w, [](uint32_t d, uint32_t s, uint32_t a, uint32_t e, uint32_t f) {
    return d * a + s * e - f * (s + d - pixel_detail::Div255(d * s));
  });
}

// Add over a pixel whose alpha may be below 255:
//   c := MulTable[colour alpha][w]; d := pixel alpha; e := MulTable[d][c]; nothing changes when
//   d + c = e (both 0); f := d + c - e, but 255 when d and c are both nonzero;
//   each channel := clamp((dst*d + src*c) / f); alpha := f.
inline void PixelAddOverOpaque(uint32_t* pixel, uint32_t colour, int32_t w) {
  using namespace pixel_detail;
  const uint32_t p = *pixel;
  const uint32_t c = MulDiv255(colour >> 24, static_cast<uint32_t>(w) & 0xFFu);
  const uint32_t d = p >> 24;
  const uint32_t e = MulDiv255(d, c);
  if (d + c == e) return;
  const uint32_t f = (d != 0 && c != 0) ? 255u : d + c - e;
  uint32_t result = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    const uint32_t dc = (p >> shift) & 0xFFu;
    const uint32_t sc = (colour >> shift) & 0xFFu;
    const uint32_t q = DivFloor(dc * d + sc * c, f);
    result |= (q > 255 ? 255u : q) << shift;
  }
  *pixel = result | (f << 24);
}

// MultiplyOp, AddOp, SubtractOp with alpha w*colour alpha/255. The table look-ups of those
// operations are computed here as the quotients they hold (MulTable[i][j] = i*j div 255,
// InvMulTable[i][j] = 255 - i*(255 - j) div 255), the same bytes, so that row loops vectorise.
namespace pixel_detail {
inline uint32_t SourceAlphaWeight(int32_t w, uint32_t colour) {
  return Div255((static_cast<uint32_t>(w) & 0xFFu) * (colour >> 24));
}
}  // namespace pixel_detail

inline void PixelMultiplySourceAlpha(uint32_t* pixel, uint32_t colour, int32_t w) {
  using namespace pixel_detail;
  const uint32_t a = SourceAlphaWeight(w, colour);
  *pixel = MapChannels(*pixel, colour,
                       [a](uint32_t d, uint32_t s) { return Div255(d * (255u - Div255(a * (255u - s)))); });
}
inline void PixelAddSourceAlpha(uint32_t* pixel, uint32_t colour, int32_t w) {
  using namespace pixel_detail;
  const uint32_t a = SourceAlphaWeight(w, colour);
  *pixel = MapChannels(*pixel, colour, [a](uint32_t d, uint32_t s) {
    const uint32_t v = d + Div255(a * s);
    return v < 255u ? v : 255u;
  });
}
inline void PixelSubtractSourceAlpha(uint32_t* pixel, uint32_t colour, int32_t w) {
  using namespace pixel_detail;
  const uint32_t a = SourceAlphaWeight(w, colour);
  *pixel = MapChannels(*pixel, colour, [a](uint32_t d, uint32_t s) {
    const uint32_t t = Div255(a * s);
    return d > t ? d - t : 0u;
  });
}

// ---- Rectangle adapters -------------------------------------------------------------------
// (destination, source, source left, top, width, height, destination x, y, weight), clipped as
// TMTC::CombineToCoords clips; weight 0 does nothing. False when nothing was done.

// PixelBlendSourceAlpha from the source into the destination.
bool OldCompositeSourceAlpha(TMTC& dest, const TMTC& source, int32_t left, int32_t top, int32_t width,
                             int32_t height, int32_t destX, int32_t destY, int32_t weight);
// MultiplyOp, AddOp, SubtractOp from the source into the destination.
bool OldCompositeMultiply(TMTC& dest, const TMTC& source, int32_t left, int32_t top, int32_t width,
                          int32_t height, int32_t destX, int32_t destY, int32_t weight);
bool OldCompositeAdd(TMTC& dest, const TMTC& source, int32_t left, int32_t top, int32_t width, int32_t height,
                     int32_t destX, int32_t destY, int32_t weight);
bool OldCompositeSubtract(TMTC& dest, const TMTC& source, int32_t left, int32_t top, int32_t width,
                          int32_t height, int32_t destX, int32_t destY, int32_t weight);

// Shape of the adapters (the block routine of a legacy routine pair).
using OldCompositeRoutine = bool (*)(TMTC& dest, const TMTC& source, int32_t left, int32_t top, int32_t width,
                                     int32_t height, int32_t destX, int32_t destY, int32_t weight);

}  // namespace tf
