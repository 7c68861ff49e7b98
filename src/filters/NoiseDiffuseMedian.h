// Noise, diffuse and median: seeded random offsets of the colour, randomly displaced pixels, and
// the per-channel median of a square window.
#pragma once
#include <cstdint>

#include "filters/FilterContext.h"

namespace tf {

// int32 amount, int32 monochrome, int32 seed, zero word.
bool NoiseFilter(FilterContext& context, const void* block, int32_t size);  // event 25
// int32 range, int32 mode (0 normal, 1 darken, 2 lighten), int32 seed, byte 12 radial, byte 14
// the layer's alpha protection when the block was made.
bool DiffuseFilter(FilterContext& context, const void* block, int32_t size);  // event 59
// Byte 0 radius, byte 1 keep alpha.
bool MedianFilter(FilterContext& context, const void* block, int32_t size);  // event 86

// The median of a histogram of 256 bins by the two-ended scan: the first bin from either end at
// which the running sum reaches threshold (the low end looked at first at each step); 0 when none.
int32_t TwoEndedMedian(const uint32_t histogram[256], uint32_t threshold);

}  // namespace tf
