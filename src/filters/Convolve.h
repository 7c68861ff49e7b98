// The pixel routines the filters share: kernel convolution with edge extension (plain and
// alpha-weighted), the mean colour of a rectangle, area sampling of a 16.16 rectangle that fades
// toward a fallback where it leaves the picture, random colour offsets, and rounding.
#pragma once
// Pixels are 0xAARRGGBB (blue in the low byte). Edge extension clamps each tap's row and column
// into the picture, so a window that overhangs an edge repeats the edge pixels, and a window
// that misses the picture altogether still reads only pixels inside it.
//
// 16.16 positions reach only 32767 pixels: the sampling routines refuse a picture with a side
// above that (false, nothing written), as the area scaler does.
#include <cstdint>

#include "filters/FilterContext.h"
#include "raster/FlatImage.h"
#include "raster/Geometry.h"
#include "raster/ScaleImage.h"

namespace tf {

// trunc(x + 0.5) for x >= 0, trunc(x - 0.5) below: halves away from zero.
int32_t RoundHalfAway(long double x);
// Three successive GlobalRandom(n) values / one value in all three.
void RandomRGB(int32_t out[3], uint32_t n);
void RandomGrey(int32_t out[3], uint32_t n);

// A kernel's placement: weight (i, j) applies to the source pixel (x + left + i, y + top + j).
struct SKernelRect {
  int32_t left;
  int32_t top;
  int32_t width;
  int32_t height;
};

// The largest kernel the alpha-weighted convolution takes (weights after trimming).
inline constexpr int32_t kMaxKernelWeights = 65536;

// The alpha-weighted mean colour of the rectangle (rows without alpha pull the colour toward
// black); transparent black when the rectangle holds no alpha. The rectangle must lie inside
// the image.
void AverageRectColour(uint32_t& out, const TMTC& image, const TRect& rect);

// B, G, R := clamp(offset + sum(weight x channel) / divisor, 0, 255) over the kernel window with
// edge extension; the out pixel's alpha is left as it was. divisor must not be 0.
void ConvolvePixel(uint32_t& out, const TMTC& image, const SSize& size, int32_t offset, int32_t divisor,
                   const SKernelRect& k, const int32_t* weights, int32_t y, int32_t x);
// ConvolvePixel over Source for every covered pixel of Work, written by BlendColor (alpha kept,
// whatever KeepAlpha says). False without writing when the context fails or the divisor is 0.
bool ConvolveCovered(FilterContext& context, const int32_t* weights, const SKernelRect& k, int32_t divisor,
                     int32_t offset);
// The alpha-weighted convolution of one pixel: colours weighted by alpha, so transparent pixels
// never tint their neighbours. False (the pixel then repeats the target pixel, plus the offset)
// when no weight meets alpha.
bool ConvolvePixelAlpha(uint32_t& out, const TMTC& image, const SSize& size, int32_t offset, const SKernelRect& k,
                        const int32_t* weights, int32_t y, int32_t x);
// The smallest box of the kernel holding every nonzero weight: its weights row by row into
// outWeights (room for k.width x k.height), its placement into outRect (no positive size for an
// all-zero kernel).
void TrimKernel(int32_t* outWeights, SKernelRect& outRect, const int32_t* weights, const SKernelRect& k);
// TrimKernel, then ConvolvePixelAlpha over Source for every covered pixel of Work, written by
// BlendColor (KeepAlpha) or PixelLerpARGB. True without writing for an all-zero kernel; false
// without writing when the context fails or the kernel has more than kMaxKernelWeights weights.
bool ConvolveCoveredAlpha(FilterContext& context, const int32_t* weights, const SKernelRect& k, int32_t offset);

// Fade operations: B, G, R toward the fallback (alpha kept), or alpha scaled, by f in 0..1.
using FadeOp = void (*)(uint32_t& pixel, uint32_t fallback, double f);
void FadeTowardColour(uint32_t& pixel, uint32_t fallback, double f);
void FadeAlpha(uint32_t& pixel, uint32_t fallback, double f);

// A picture whose sides 16.16 positions can address (at most 32767 pixels each).
bool FitsFixedPositions(int32_t width, int32_t height);

// The area average (the scaler's) of the 16.16 area clamped into the 16.16 clip; the fallback
// when nothing of it lies inside, faded toward the fallback by the part inside. False (out
// untouched) when the scaler's source is too large for 16.16 positions.
bool SampleAreaFaded(uint32_t& out, uint32_t fallback, CScaleImageTMTC& scaler, FadeOp fade, const TRect& clip,
                     const TRect& area);
// The one-pixel area around a 16.16 point.
bool SamplePointFaded(uint32_t& out, uint32_t fallback, CScaleImageTMTC& scaler, FadeOp fade, const TRect& clip,
                      int32_t x, int32_t y);
// The area kept at least half a pixel inside the clip; faded by itself (FadeAlpha: the less of
// the area lay inside, the more transparent).
bool SampleAreaInside(uint32_t& pixel, CScaleImageTMTC& scaler, FadeOp fade, const TRect& clip, const TRect& area);
bool SamplePointInside(uint32_t& pixel, CScaleImageTMTC& scaler, FadeOp fade, const TRect& clip, int32_t x, int32_t y);

}  // namespace tf
