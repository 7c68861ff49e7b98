// Reading pixels at fractional positions and mapping tones through level curves: bilinear
// samplers (8-bit weights over stores and images, 4096 sub-pixel steps alpha-weighted), a 3x3
// floating kernel, modulo helpers and the level curves of the levels filter.
#pragma once
// Positions are 16.16 fixed point (65536 = one pixel) and reach only 32767 pixels: a filter that
// samples by them first tests its picture with FitsFixedPositions (filters/Convolve.h) and
// refuses a larger one. The 4096-step samplers work in unsigned 32 bits, where their sums fit.
#include <cstdint>

#include "raster/BlockVMTC.h"
#include "raster/FlatImage.h"
#include "raster/Geometry.h"

namespace tf {

// a mod n in 0 .. n-1, also for negative a (n > 0).
int32_t PositiveMod(int32_t a, int32_t n);
bool PointWithinSize(int32_t width, int32_t height, int32_t x, int32_t y);
bool PointInStore(const CBlockVMTC& store, int32_t x, int32_t y);
bool PointInImage(const TMTC& image, int32_t x, int32_t y);
// False outside; else sums[B, G, R, A] += weight x each channel of the pixel.
bool AccumulateStorePixel(const CBlockVMTC& store, int32_t x, int32_t y, uint32_t weight, uint32_t sums[4]);
bool AccumulateImagePixel(const TMTC& image, int32_t x, int32_t y, uint32_t weight, uint32_t sums[4]);

// Bilinear with 8-bit fractions, channels averaged independently; samples outside drop out and
// the rest renormalise; transparent black when none is inside. With wrap the grid repeats.
uint32_t SampleStoreBilinear(const CBlockVMTC& store, int32_t x, int32_t y, bool wrap);
uint32_t SampleImageBilinear(const TMTC& image, int32_t x, int32_t y, bool wrap);
// The destination pixel := SampleStoreBilinear(source, x, y, wrap); false when its tile could
// not be committed.
bool ResampleStorePixelWrapped(const CBlockVMTC& source, CBlockVMTC& dest, int32_t destX, int32_t destY, int32_t x,
                               int32_t y);

void ClearKernel3x3(double kernel[9]);
// out[i] := k[i] / sum (sum 0 counts as 1).
void NormalizeKernel3x3(double out[9], const double k[9]);
// Each channel: the weighted sum in double, clamped to 0..255 and truncated.
uint32_t Convolve3x3(const double kernel[9], const uint32_t pixels[9]);

// The alpha-weighted 4096-step samplers (the integer positions must lie inside the image). All
// four neighbours transparent: 0x00FFFFFF. The plain forms pack the channels as they come, the
// Sat forms clamp them to 0..255 first.
uint32_t SampleClamped(const TMTC& image, int32_t x, int32_t y);
uint32_t SampleClampedSat(const TMTC& image, int32_t x, int32_t y);
// The mean of two samples.
uint32_t SamplePairClamped(const TMTC& image, int32_t px, int32_t py, int32_t qx, int32_t qy);
uint32_t SamplePairClampedSat(const TMTC& image, int32_t px, int32_t py, int32_t qx, int32_t qy);
// The right and lower neighbours wrap to column and row 0.
uint32_t SampleWrapped(const TMTC& image, int32_t x, int32_t y);
uint32_t SampleWrappedSat(const TMTC& image, int32_t x, int32_t y);
// Wrapping by masks: only for sides that are powers of two.
uint32_t SamplePow2Wrapped(const TMTC& image, int32_t x, int32_t y);
uint32_t SamplePow2WrappedSat(const TMTC& image, int32_t x, int32_t y);

// x mod n in 0 .. n.
double FloatMod(double x, double n);

// Levels: 0..255 to 16.16 and back, percent to 16.16.
int32_t LevelToFix(double level);
int32_t FixToLevel(double fix);
int32_t PercentToFix(double percent);
// The level curve of value between low and high (16.16; middle 0..131072, 65536 neutral): mode 0
// a power curve, otherwise two linear halves. 0 .. 65536.
int32_t LevelCurve(int32_t value, int32_t low, int32_t middle, int32_t high, uint8_t mode);
// clamp(a + FixMul(t, b - a), 0, 65536).
int32_t LerpFix(int32_t t, int32_t a, int32_t b);
// LerpFix(LevelCurve(...), outLow, outHigh).
int32_t LevelMap(int32_t value, int32_t low, int32_t middle, int32_t high, int32_t outLow, int32_t outHigh,
                 uint8_t mode);

}  // namespace tf
