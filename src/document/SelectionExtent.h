// Growing and shrinking a selection: grey dilation and erosion of a mask with an octagonal
// neighbourhood.
#pragma once
// The neighbourhood of radius n: with b = (n + 1) / 2, every (dx, dy) with |dx| <= n and
// |dy| <= h(dx), where h(dx) = n for |dx| <= b and n + b - |dx| beyond. Radius 1 is the 3x3
// square, radius 2 and 3 the squares without their corners, larger radii an octagon.
//
// Grow gives every pixel the largest coverage in its neighbourhood, shrink the smallest, so soft
// edges stay soft. Values outside the area worked on read as 0, so a selection also shrinks away
// from the edges of its bounds.
#include <cstdint>

#include "raster/FlatImage.h"
#include "raster/Geometry.h"

namespace tf {

class CMaskData;

inline constexpr int32_t kMinSelectionRadius = 1;
// The radius dialog offers 1..32; a recording may hold any radius its 16-bit field can.
inline constexpr int32_t kMaxAskedSelectionRadius = 32;
inline constexpr int32_t kMaxSelectionRadius = 0xFFFF;

// The neighbourhood's half-height at column offset dx (0 when |dx| > radius).
int32_t OctagonHalfHeight(int32_t radius, int32_t dx);

// Every pixel of the source (width x height rows) gets the largest (largest set) or smallest
// value of its neighbourhood, written to the same place in dest (rows of at least width bytes;
// may not be the source). Columns and rows outside the source read as 0. Runs row by row over
// the column extremes of every half-height up to radius 32, beyond through window runs along
// rows, columns and diagonals whose cost per pixel does not grow with the radius. False for a
// radius outside 1..kMaxSelectionRadius, an empty size or when a buffer cannot be allocated
// (dest untouched).
bool OctagonExtremeRows(const uint8_t* const* sourceRows, int32_t width, int32_t height, int32_t radius,
                        bool largest, uint8_t* const* destRows);

// The same over two channels: the whole source into dest at (destX, destY), which must hold it.
bool OctagonExtreme(const TChannel& source, int32_t radius, bool largest, TChannel& dest, int32_t destX,
                    int32_t destY);

// The grown (dilated) coverage of the mask into the channel, which is resized to hold it: the
// bounds of the nonzero pixels widened by the radius, placed so that every pixel keeps its
// canvas place; offset receives the mask offset that goes with the channel. Shrink works over
// the bounds alone and gives a channel of the store's size at the mask's own offset. False when
// the mask is not allocated, the radius is outside 1..kMaxSelectionRadius, the grown area would
// be wider or taller than a mask store can be, the mask has no nonzero pixel, or
// memory runs out. The shape value is reserved (every caller passes 0).
bool GrowMaskChannel(TChannel& channel, const CMaskData& mask, int32_t radius, TPoint& offset, int32_t shape);
bool ShrinkMaskChannel(TChannel& channel, const CMaskData& mask, int32_t radius, TPoint& offset, int32_t shape);

}  // namespace tf
