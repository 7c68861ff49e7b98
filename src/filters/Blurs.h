// The blur filters: the fixed-kernel blurs (with the box kernels older events use), the Gaussian
// blur with its kernels, the motion blur and the zoom blur.
#pragma once
#include <cstdint>

#include "filters/FilterContext.h"

namespace tf {

// Two kernels centred on index length / 2 with weights exp(-d^2 / (2 sigma^2)) normalised to sum
// 1, as 16.16 integers (trunc(w x 65536 + 0.5)) or Singles; each radius is 1 + the largest distance
// whose normalised weight is at least 0.01 (0 when none). Callers pass |sigma| > 0.
void BuildGaussianKernels(int32_t* kernel1, int32_t* kernel2, int32_t length1, double sigma, int32_t length2,
                          int32_t& radius1, int32_t& radius2);
void BuildGaussianKernelsFloat(float* kernel1, float* kernel2, int32_t length1, double sigma, int32_t length2,
                               int32_t& radius1, int32_t& radius2);

bool BlurFilter(FilterContext& context, const void* block, int32_t size);         // event 64
bool BlurBoxFilter(FilterContext& context, const void* block, int32_t size);      // event 0
bool BlurMoreFilter(FilterContext& context, const void* block, int32_t size);     // event 65
bool BlurMoreBoxFilter(FilterContext& context, const void* block, int32_t size);  // event 1
// Single radius at offset 0; a radius not above 0 (NaN too) changes nothing.
bool GaussianBlurFilter(FilterContext& context, const void* block, int32_t size);
// Byte 0 distance, byte 1 variant (0: Single angle at 4; 1, 2: int16 angle at 2, 2 saturating).
bool MotionBlurFilter(FilterContext& context, const void* block, int32_t size);
// int16 centre offsets at 0 and 2, byte 4 amount, byte 6 sampler (1 saturating).
bool ZoomBlurFilter(FilterContext& context, const void* block, int32_t size);

}  // namespace tf
