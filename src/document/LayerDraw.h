// Drawing layers into images and stores with their opacity, blend mode and dissolve.
#pragma once
// Drawing layers with their own settings: opacity, blend mode and dissolve. The CBlockVMTC
// members of this group (DrawLayerTo, DrawLayerFastTo, BlendFromLayer, FillNeutralRect,
// FillNeutralAll) and MergeLayerPair are declared in raster/BlockVMTC.h and defined in
// LayerDraw.cpp; below are the joins of the blend-mode routines (document/BlendMode.h) to layer
// objects.
//
// Every drawing chooses its row routine once per piece from the layer's mode entry: nothing
// branches on the mode or calls through a pointer per pixel, except a dissolving layer, whose
// pixels go one by one through the process-wide dissolve slot (RandomThresholdOp).
//
// Dissolve: each DrawLayerTo of a dissolving layer sets the dissolve slot to a copy of the
// layer's stored random record, so the pattern is the same on every redraw of the same
// rectangles and the layer's record is never advanced. Two dissolve drawings must not interleave.
#include <cstdint>

#include "document/BlendMode.h"
#include "raster/BlockVMTC.h"
#include "raster/FlatImage.h"
#include "raster/Geometry.h"

namespace tf {

class CLayerData;

// What the blend routines read of a layer: mode, opacity, dissolve switch, threshold and record.
SBlendLayer BlendLayerOf(const CLayerData& layer);

// DrawLayerTo with the reseed flag of the composition. A fresh record is prepared when it is
// set, but the dissolve step always takes the layer's stored record, so the flag changes
// nothing and the pattern stays stable.
bool DrawLayerToReseed(const CBlockVMTC& store, TMTC& image, const CLayerData& layer, TPoint& destPoint,
                       SRectWH& sourceRect, bool reseed);

// Per-layer combine of the upper layer into the lower one (merge routine of the upper mode,
// value the upper opacity, alpha scale the lower opacity); the lower opacity becomes 255.
bool CombineLayers(CLayerData& lower, const CLayerData& upper, TPoint& destPoint, SRectWH& sourceRect);
// Pair or descriptor composite (mode word: low 16 bits the pair-table selector, 0x10000 the
// zero-alpha option); the lower opacity becomes 255.
bool CompositeLayers(CLayerData& lower, const CLayerData& upper, TPoint& destPoint, uint32_t modeWord,
                     SRectWH& sourceRect);
// Draws a layer's store into an image as if the image were a normal-mode layer.
bool BlendLayerIntoImage(const CLayerData& layer, TMTC& image, TPoint& destPoint, uint32_t modeWord,
                         SRectWH& sourceRect);
// The same with an image standing for the layer's pixels (mode and opacity from the layer).
bool BlendImageIntoImage(TMTC& display, const TMTC& source, const CLayerData& layer, uint32_t modeWord,
                         SRectWH& sourceRect, TPoint& destPoint);
// Draws an image into an opaque picture through the layer's source-alpha routine, opacity and
// dissolve (a fresh random record when reseed is set).
bool DrawImageAsLayer(TMTC& display, const TMTC& source, TPoint& destPoint, bool reseed, const CLayerData& layer,
                      SRectWH& sourceRect);
// DrawLayerTo of the whole store at (x, y), without reseeding.
bool DrawLayerToImage(const CLayerData& layer, TMTC& image, int32_t x, int32_t y);
// DrawLayerFastTo of the whole store at a point / of a rectangle at its own position.
bool DrawLayerFast(const CLayerData& layer, TMTC& image, int32_t x, int32_t y);
bool DrawLayerFastRect(const CLayerData& layer, TMTC& image, const SRectWH& rect);
// MergeLayerPair of the layer's whole store into a target store at (x, y).
bool MergeLayerLegacy(const CLayerData& layer, CBlockVMTC& target, int32_t x, int32_t y);
// Fills the layer's whole store with its mode's neutral colour (alpha kept).
bool ClearLayerToNeutral(CLayerData& layer);

}  // namespace tf
