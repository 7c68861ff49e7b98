// Drawing layers into images and stores with their opacity, blend mode and dissolve.
#pragma once
// Drawing layers with their own settings: opacity, blend mode and dissolve. The store-level
// drawings (DrawLayerTo, DrawLayerFastTo, BlendFromLayer, MergeLayerPair) take the store first
// and the layer for its settings; below them are the joins of the blend-mode routines
// (document/BlendMode.h) to layer objects. The neutral fills (FillNeutralRect, FillNeutralAll)
// need no layer and sit with the blend modes.
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

// ---- Store-level layer drawing ----
// The store's content inside the content rectangles into the image, through the layer mode's
// source-alpha rows at the layer's opacity (a dissolving layer through the dissolve slot); an
// uncommitted tile adds its fill when the fill's alpha is not 0. False when the opacity is 0,
// the mode is unknown or the image is invalid.
bool DrawLayerTo(const CBlockVMTC& store, TMTC& image, const CLayerData& layer, TPoint& destPoint,
                 SRectWH& sourceRect);
// The whole rectangle (no content rectangles) through the mode's older pair routine.
bool DrawLayerFastTo(const CBlockVMTC& store, TMTC& image, const CLayerData& layer, TPoint& destPoint,
                     SRectWH& sourceRect);
// The source store into this one through the mode's source-alpha routine at the layer's
// opacity; transparent uncommitted source tiles are passed over. Every destination tile is
// committed first; a refused commit changes nothing and leaves the rectangle as given.
bool BlendFromLayer(CBlockVMTC& store, const CBlockVMTC& source, const CLayerData& layer, TPoint& destPoint,
                    SRectWH& sourceRect);
// Layer merge of one store into the one below through the mode's pair routine, as
// BlendFromLayer; everything written ends opaque.
bool MergeLayerPair(const CBlockVMTC& source, CBlockVMTC& dest, const CLayerData& layer, TPoint& destPoint,
                    SRectWH& sourceRect);

// ---- Layer joins ----
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
