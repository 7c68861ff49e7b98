// Point and kernel effects: solarize, edge detection, the custom 5x5 kernel and luminance to
// alpha.
#pragma once
#include <cstdint>

#include "filters/FilterContext.h"

namespace tf {

// The built-in kernel of the custom filter (25 weights, divisor 4, offset 0).
void BuiltInKernel5x5(int32_t kernel[27]);

// B, G, R := min(v, 255 - v), alpha kept (event 56).
bool SolarizeFilter(FilterContext& context, const void* block, int32_t size);
// Each channel := clamp(255 - (sum of neighbour weight x |centre - neighbour|) div 5), edge
// weights 3, corner weights 2, neighbours read clamped; written by BlendColor (event 53).
bool EdgeDetectFilter(FilterContext& context, const void* block, int32_t size);
// The 50-byte block whose 108-byte data is 25 weights, the divisor and the offset (event 51);
// divisor 0 fails.
bool CustomKernelFilter(FilterContext& context, const void* block, int32_t size);
// 8 bytes: colour (B, G, R), mix flag (event 63). Nothing on an alpha-protected layer.
bool LumToAlphaFilter(FilterContext& context, const void* block, int32_t size);

}  // namespace tf
