// Colour halftone, mosaic, emboss and tiles: patterns derived from the layer's pixels or drawn
// over them.
#pragma once
#include <cstdint>

#include "filters/FilterContext.h"

namespace tf {

// int32 dot size, int32 screen angles of red, green and blue. Alpha never changes.
bool ColorHalftoneFilter(FilterContext& context, const void* block, int32_t size);  // event 48
// int32 cell size, int32 keep alpha.
bool MosaicFilter(FilterContext& context, const void* block, int32_t size);  // event 26
// int32 angle (the dialog's negated), Single height, int32 amount in percent. Alpha never changes.
bool EmbossFilter(FilterContext& context, const void* block, int32_t size);  // event 50
// Byte shape (0 triangles, 1 squares), byte third colour used, uint16 width, three colours of
// B, G, R and an opacity byte.
bool TilesFilter(FilterContext& context, const void* block, int32_t size);  // event 73

}  // namespace tf
