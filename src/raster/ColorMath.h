// Colour math: luminance, distance, channel order and HSL, HSV and CMYK conversions.
#pragma once
// Colour math: luminance and colour distance of pixels, red/blue exchanges between
// pixel order (blue in byte 0) and window-system order (red in byte 0), and
// conversions between RGB bytes and HSL, HSV and CMYK in 16.16 fixed point.
//
// Fixed-point conventions (int32 16.16, 0x10000 = 1.0):
//  - hue in degrees, 0 .. 360.0 (0x1680000);
//  - saturation, lightness, value and CMYK components in 0 .. 255.0 (0xFF0000).
// Conversions back to bytes truncate unless noted.
//
// "RGB bytes" are three bytes in the order red, green, blue.
#include <cstdint>

#include "raster/Geometry.h"

namespace tf {

// Hue, lightness, saturation.
struct SHSLFix {
  int32_t hue;
  int32_t lightness;
  int32_t saturation;
};
// Hue, saturation, value.
struct SHSVFix {
  int32_t hue;
  int32_t saturation;
  int32_t value;
};
// Cyan, magenta, yellow, black.
struct SCMYKFix {
  int32_t cyan;
  int32_t magenta;
  int32_t yellow;
  int32_t black;
};
static_assert(sizeof(SHSLFix) == 12 && sizeof(SHSVFix) == 12 && sizeof(SCMYKFix) == 16);

constexpr int32_t kFix255 = 0xFF0000;   // 255.0
constexpr int32_t kHue60 = 0x3C0000;    // 60.0
constexpr int32_t kHue360 = 0x1680000;  // 360.0

// ---- Pixel measures and byte orders ---------------------------------------

// (19595*R + 38469*G + 7472*B) >> 16 of a pixel (R, G, B = bytes 2, 1, 0).
inline int32_t LuminanceRGB(uint32_t r, uint32_t g, uint32_t b) {
  return static_cast<int32_t>((19595u * r + 38469u * g + 7472u * b) >> 16);
}
inline int32_t PixelLuminance(const uint32_t* pixel) {
  const uint32_t p = *pixel;
  return LuminanceRGB((p >> 16) & 0xFFu, (p >> 8) & 0xFFu, p & 0xFFu);
}

// Sum of the squared differences of bytes 0, 1 and 2 (byte 3 is not compared).
inline int32_t ColorDistanceSq(const uint32_t* a, const uint32_t* b) {
  const uint32_t x = *a, y = *b;
  const int32_t d0 = static_cast<int32_t>(x & 0xFFu) - static_cast<int32_t>(y & 0xFFu);
  const int32_t d1 = static_cast<int32_t>((x >> 8) & 0xFFu) - static_cast<int32_t>((y >> 8) & 0xFFu);
  const int32_t d2 = static_cast<int32_t>((x >> 16) & 0xFFu) - static_cast<int32_t>((y >> 16) & 0xFFu);
  return d0 * d0 + d1 * d1 + d2 * d2;
}

// Bytes 0 and 2 exchanged, bytes 1 and 3 kept: a window-system colour as a pixel
// value, or back.
inline uint32_t ColorToPixel(uint32_t value) {
  return (value & 0xFF00FF00u) | ((value & 0xFFu) << 16) | ((value >> 16) & 0xFFu);
}
inline uint32_t SwapRedBlue(uint32_t value) { return ColorToPixel(value); }
inline void SwapRedBlueInPlace(uint32_t& value) { value = ColorToPixel(value); }

// dest bytes 0, 1, 2 := source bytes 2, 1, 0 (the same routine serves both
// directions of a round trip). Source and destination may be the same.
void ReverseRGB3(const uint8_t* source, uint8_t* dest);

// ---- HSL, first form (pixel values) ----------------------------------------

// The pixel's bytes 2, 1, 0 as R, G, B to hue, lightness, saturation.
void PixelToHSL(const uint32_t* pixel, SHSLFix& out);
// Back to bytes 0, 1, 2 of the pixel (blue, green, red); byte 3 stays.
void HSLToPixel(const SHSLFix& hsl, uint32_t* pixel);

// ---- HSL, second form (red-first bytes) -------------------------------------

// A 32-bit colour with red in byte 0 (the bytes are read from the address).
void RGBToHSL2(const uint32_t* colour, SHSLFix& out);
// Out: three bytes red, green, blue.
void HSLToRGB2(const SHSLFix& hsl, uint8_t* rgb);

// ---- HSV and CMYK ------------------------------------------------------------

// Out: three bytes red, green, blue.
void HSVToRGB(const SHSVFix& hsv, uint8_t* rgb);
// Out: byte 0 from cyan, 1 from magenta, 2 from yellow; rounded to nearest.
void CMYKToRGB(const SCMYKFix& cmyk, uint8_t* rgb);

// ---- Palette toolkit (entries are 4-byte colours) ----------------------------

// RGB bytes to HSV: value = max, saturation = (max - min)*255.0/max, sector hue.
void RGBToHSV(const uint8_t* rgb, SHSVFix& out);
// RGB bytes to CMYK: K = min of the complements; black gives (0, 0, 0, 255.0).
void RGBToCMYK(const uint8_t* rgb, SCMYKFix& out);
// Inverse of RGBToCMYK to RGB bytes.
void CMYKToRGB2(const SCMYKFix& cmyk, uint8_t* rgb);

// Each of the four bytes: a + (b - a)*num div den (den 0 gives a).
uint32_t LerpColor4(uint32_t a, uint32_t b, int32_t num, int32_t den);
// The same with the bytes in 16.16 and 64-bit products.
uint32_t LerpColor4Fix(uint32_t a, uint32_t b, int32_t num, int32_t den);
// n entries of grey ramp: entry i = (i*255) div (n - 1) in bytes 0..2, byte 3 = 0.
void GreyRamp(uint32_t* entries, int32_t n);
// dest bytes 0..2 := (299*s0 + 587*s1 + 114*s2) div 1000 (source in red-first order).
void GreyscaleRows(const uint32_t* source, uint32_t* dest, int32_t count);
// buffer[i] := start + i*step (bytes, wrapping).
void ByteRamp(uint8_t* buffer, int32_t count, uint8_t start, int32_t step);
// dest bytes 0, 1, 2 := lut0[s0], lut1[s1], lut2[s2]; dest byte 3 stays.
void ApplyLUT3(const uint32_t* source, uint32_t* dest, int32_t count, const uint8_t* lut0, const uint8_t* lut1,
               const uint8_t* lut2);
// Fills the entries strictly between two indexes with a 16.16 linear blend of the
// two end entries; false (nothing written) when they are fewer than 2 apart.
bool GradientBetweenEntries(uint32_t* entries, int32_t first, int32_t last);
void FillDWords(uint32_t* dest, uint32_t value, int32_t count);
void MoveDWords(uint32_t* dest, const uint32_t* source, int32_t count);  // overlap allowed
// True when count entries agree in bytes 0..2.
bool SameColors(const uint32_t* a, const uint32_t* b, int32_t count);
// Least squared distance (bytes 0..2); an exact match returns at once; ties keep the
// earlier entry; -1 when count is 0 or less.
int32_t NearestColorIndex(const uint32_t* entries, int32_t count, uint32_t colour);
// Greatest squared distance; ties keep the earlier entry; -1 when count is 0 or less.
int32_t FarthestColorIndex(const uint32_t* entries, int32_t count, uint32_t colour);

}  // namespace tf
