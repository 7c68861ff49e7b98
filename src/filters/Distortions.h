// The geometric distortions: polar coordinates, the three mirror turns, rotate, scale, wave and
// twirl.
#pragma once
// Each reads the unfiltered pixels from Source and writes the store inside Work by the coverage
// rule (BlendColor on an alpha-protected layer, else PixelLerpARGB). Polar, rotate and scale
// carry the layer's alpha protection as it was when the block was made and refuse a layer whose
// protection differs now. Every filter here but the mirror turns works in 16.16 positions and
// refuses a store with a side beyond 32767; a block value that is not a finite number fails the
// run.
#include <cstdint>

#include "filters/FilterContext.h"

namespace tf {

// x x 65536 to the nearest integer, ties to even, computed in double; saturates.
int32_t FixOfDouble(double x);

// 8 bytes: direction (0 rectangular to polar, 1 back), alpha-protect byte (event 55).
bool PolarFilter(FilterContext& context, const void* block, int32_t size);
// No block (events 82, 83, 84).
bool FlipHorizontalFilter(FilterContext& context, const void* block, int32_t size);
bool FlipVerticalFilter(FilterContext& context, const void* block, int32_t size);
bool Rotate180Filter(FilterContext& context, const void* block, int32_t size);
// 8 bytes: Single angle in degrees (positive turns clockwise), alpha-protect byte, method byte
// (0 the area-sampled path of older recordings) (event 58).
bool RotateFilter(FilterContext& context, const void* block, int32_t size);
// 16 bytes: int32 new width and height (negative mirrors, 0 erases), alpha-protect byte, method
// byte (0 the older path) (event 57).
bool ScaleFilter(FilterContext& context, const void* block, int32_t size);
// 8 bytes: horizontal count, vertical count, horizontal strength, vertical strength, Single phase;
// the three recorded variants (events 69, 80, 85).
bool WaveFilterV0(FilterContext& context, const void* block, int32_t size);
bool WaveFilterV1(FilterContext& context, const void* block, int32_t size);
bool WaveFilterV2(FilterContext& context, const void* block, int32_t size);
// 8 bytes: int16 angle in degrees, sampler byte (0 the unsaturated sampler of older recordings)
// (event 68).
bool TwirlFilter(FilterContext& context, const void* block, int32_t size);

}  // namespace tf
