// The sharpen filters: two fixed 3x3 kernels and the custom kernel of one amount.
#pragma once
#include <cstdint>

#include "filters/FilterContext.h"

namespace tf {

// The custom kernel's edge weight for an amount: trunc((a x 240^1.5 + 0.5)^(2/3)); false when that
// is not a finite number in range.
bool SharpenCustomWeight(float amount, int32_t& k);

bool SharpenFilter(FilterContext& context, const void* block, int32_t size);      // event 12
bool SharpenMoreFilter(FilterContext& context, const void* block, int32_t size);  // event 13
// Single amount at offset 0.
bool SharpenCustomFilter(FilterContext& context, const void* block, int32_t size);  // event 14

}  // namespace tf
