// Dab rasterisers of the older stroke engines.
#pragma once
// The older engines lay their dabs with a few rasterisers: a falloff disc through the air map,
// a smudging disc that reads a picked-up colour window, antialiased discs built from spans into
// the coverage channel, blur discs that read the layer store, and an area blur steered by the
// coverage channel. Centres and radii are in the target's coordinates.
//
// Pixels reach the target through the pixel writer chain (image and channel stage 1), except
// where a routine names its own blend (BlurDiscOld, AreaBlurThroughChannel).
//
// The blur discs read the store with coordinates clamped to its edges. Their box sums are 64-bit
// and count the repeated edge pixels of a box reaching past the store, so any box radius (even
// one far larger than the store) gives the exact clamped-read mean in time bounded by the store.
#include <cstdint>

#include "raster/Geometry.h"

namespace tf {

class TMTC;
class TChannel;
class CBlockVMTC;
class CPenTC;

// bounds := (floor(cx - r), floor(cy - r), ceil(cx + r), ceil(cy + r)) intersected with the
// image; clip := clipped left - left, clipped top - top. False when empty or not finite.
bool DabBounds(const TMTC& image, TRect& bounds, TPoint& clip, float cx, float cy, float radius);

// A falloff disc: every pixel of the bounds gets the air map's value at its centre's distance
// (0 outside the radius) scaled by the opacity, through image stage 1 with the colour.
void AirDab(TMTC& image, uint32_t colour, float cx, float cy, float radius, float opacity);
// The AirDab values with, as colour, the window pixel at the same place when its alpha is not 0,
// else the fallback colour. Nothing when the window is smaller than the dab.
void FingertipDabOld(TMTC& image, uint32_t fallback, const CPenTC& window, float cx, float cy, float radius,
                     float opacity);

// One antialiased span of half width w along a row (column) through channel stage 1 with value
// as extra: partly covered end pixels get their coverage.
void HSpanCoverage(TChannel& channel, int32_t value, float opacity, float halfWidth, int32_t row, float cx);
void VSpanCoverage(TChannel& channel, int32_t value, float opacity, float halfWidth, int32_t column, float cy);
// An antialiased disc from one span per row (column); the chord is taken at each row's top
// (column's left) edge. A radius below 0.5 draws one span of half width radius at half opacity.
void SpanDiscRows(TChannel& channel, int32_t value, bool antialias, float cx, float cy, float radius,
                  float opacity);
void SpanDiscColumns(TChannel& channel, int32_t value, bool antialias, float cx, float cy, float radius,
                     float opacity);

// Blur discs: pixels whose centre lies inside the radius take the mean of the store's
// (2b + 1)^2 box around them (b = max(1, box radius)) with a linear falloff to the rim, through
// the image's plot. Weighted: colours weighted by alpha, pixels whose box has no alpha skipped.
// Plain: plain mean of blue, green and red. The Full forms sum each box anew (the fallback when
// the sliding sums cannot be had).
void BlurDiscWeighted(TMTC& image, const CBlockVMTC& store, int32_t boxRadius, float cx, float cy, float radius,
                      float opacity);
void BlurDiscPlain(TMTC& image, const CBlockVMTC& store, int32_t boxRadius, float cx, float cy, float radius,
                   float opacity);
void BlurDiscWeightedFull(TMTC& image, const CBlockVMTC& store, int32_t boxRadius, float cx, float cy,
                          float radius, float opacity);
void BlurDiscPlainFull(TMTC& image, const CBlockVMTC& store, int32_t boxRadius, float cx, float cy, float radius,
                       float opacity);
// The oldest engine's blur disc in quarter-pixel geometry: a pixel whose four corners all lie
// inside the radius is blended (BlendColorFast) toward the plain box mean with a linear falloff.
void BlurDiscOld(TMTC& image, const CBlockVMTC& store, int32_t boxRadius, float cx, float cy, float radius);

// The blur of the blur2 pen: each pixel of the rectangle with coverage c >= 2 (c scaled by the
// second channel when given) takes the 3 x 3 mean of the store with centre weight 32 - min(c, 31);
// others take the store's pixel. Reads are clamped; the rectangle is clipped to the image.
bool AreaBlurThroughChannel(TMTC& image, const CBlockVMTC& store, const TChannel& channel, const TChannel* second,
                            const SRectWH& rect);

}  // namespace tf
