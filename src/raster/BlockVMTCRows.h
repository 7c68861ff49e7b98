// Rows, mirror images, turns, bounds and reductions of the 32-bit tiled store.
#pragma once
// Rows, mirror images, quarter turns, visible bounds, box-filtered reductions and alpha-plane
// snapshots of the 32-bit tiled store. The CBlockVMTC members of this group (WriteChannelRow,
// ReadChannelRow, WriteBitRow, FlipHorizontal, FlipVertical, Rotate180, RotateRightTo,
// RotateLeftTo, RotateTo, RotateRightToBlock, RotateLeftToBlock, RotateToBlock, DrawScaledTo,
// ScaleTo) and the free routines TileHasAlpha, BlockVisibleBounds, ByteImageGrabAlpha,
// ByteImagePutAlpha and ByteImageSwapAlpha are declared in raster/BlockVMTC.h and defined in
// BlockVMTCRows.cpp.
//
// Rules the members follow:
//   - Rows are clipped to the picture (x may be negative: the bytes before column 0 are
//     skipped); 0 when nothing is left, for a channel outside 0..3, or when a tile could not
//     be committed (nothing is written then).
//   - Writes into a store are all or nothing: every tile a write needs is committed before the
//     first pixel changes; a refused commit gives back what was committed for it and leaves the
//     store as it was.
//   - Quarter turns into a flat image need a valid image of exactly height x width; any other
//     image is left alone.
//
// The members declared without a result cannot tell a refusal; the forms below do.
#include <cstdint>

#include "raster/BlockVMTC.h"

namespace tf {

// RotateTo with a result: false, image untouched, unless it is valid and exactly
// store height x store width (and the store is valid).
bool RotateBlockTo(const CBlockVMTC& store, TMTC& image, bool clockwise);
// RotateToBlock with a result: false, dest unchanged, when either store is invalid or a tile of
// dest could not be committed.
bool RotateBlockToBlock(const CBlockVMTC& store, const TPoint& destPoint, CBlockVMTC& dest, bool clockwise);
// DrawScaledTo with a result: false when nothing is drawn (invalid store or image, empty
// rectangle after clipping, empty source size).
bool DrawBlockScaledTo(const CBlockVMTC& store, TMTC& image, int32_t destLeft, int32_t destTop, int32_t destWidth,
                       int32_t destHeight, int32_t sourceX, int32_t sourceY, int32_t sourceWidth,
                       int32_t sourceHeight);
// ScaleTo with a result: false, dest unchanged, when either store is invalid, dest is the
// store itself, or a tile of dest could not be committed.
bool ScaleBlockTo(const CBlockVMTC& store, CBlockVMTC& dest);

}  // namespace tf
