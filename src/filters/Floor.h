// The floor filter (event 40): a perspective view of an endless ceiling and floor, each covered
// with a repeating 256 x 256 texture, with distance fog.
#pragma once
// Blocks of generation 2 are rendered here; generation 0 (the older floor of old recordings)
// goes to OlderFloorFilter. The texture sampler and the composer are chosen once per run; rows
// are rendered from the bottom of the work area upward, and pixels with coverage 0 still advance
// the texture position, so a preview of a part paints what the run paints there.
//
// A used texture must be a 256 x 256 picture with a positive recorded source size; the fixed
// point values of the projection are held in 64 bits (large rectangles leave 16.16). The
// projection steps from Bounds' bottom-left corner also when the work area is smaller, so a
// preview agrees with the run pixel for pixel.
#include <cstdint>

#include "filters/FilterContext.h"
#include "raster/Geometry.h"

namespace tf {

class CBlockVMTC;
class TMTC;

inline constexpr int32_t kFloorTextureSide = 256;

bool FloorFilter(FilterContext& context, const void* block, int32_t size);
// The older floor algorithm (generation byte 0). Until the older filter generations are built it
// says so on the developer output and fails.
bool OlderFloorFilter(FilterContext& context, const void* block, int32_t size);

// The rectangle of the store scaled into a 256 x 256 picture by area averaging (the texture a
// floor takes from the layer); false when the rectangle is empty or memory runs out.
bool MakeLayerTexture(const CBlockVMTC& store, const TRect& rect, TMTC& texture);

}  // namespace tf
