// Building layers from layers: relaying a store into a new one, and clipping or pasting through a mask.
#pragma once
// Free routines over one layer (CLayerData) and, where named, one mask (CMaskData). The building
// routines return a new layer and never change the source's pixels; the mask routines change
// the layer they are given. Coordinates: a layer store pixel (x, y) lies on canvas pixel
// (x - layer offset x, y - layer offset y), and a mask store pixel likewise with the mask's
// offset, so the two stores meet through the canvas.
#include <cstdint>
#include <memory>

#include "document/LayerData.h"
#include "raster/FlatImage.h"
#include "raster/Geometry.h"

namespace tf {

class CMaskData;

// Largest store side a layer command or building routine accepts: stores of moved and scaled
// layers grow past the canvas, so this is what the tiled store addresses, not the canvas limit.
inline constexpr int32_t kMaxLayerStoreSide = 1 << 16;

// A new layer of the store size carrying the source's attributes (name, visibility, opacity,
// mode, protection, depth, dissolve), index, own-undo kind and canvas size, with the given
// offset and a thumbnail of the layer list's size. Null for a size outside 1..kMaxLayerStoreSide
// or when memory runs out.
std::unique_ptr<CLayerData> NewLayerLike(const CLayerData& source, int32_t width, int32_t height, int32_t offsetX,
                                         int32_t offsetY);

// Applies one of the reversible codes to the whole store, the offset kept in step: 7 mirror
// left-right, 8 top-bottom, 9 invert colours, 10 turn by 180 degrees, 11 invert alpha (12 to 15
// are not accepted here). False for another code, a layer without store, or a failed operation.
bool ApplyReversibleCode(CLayerData& layer, uint8_t code);

// The store and offset a layer needs when moving it by (dx, dy) uncovers the canvas.
struct SStoreGrowth {
  SSize size{0, 0};     // the new store
  TPoint dest{0, 0};    // where the old store lands inside it
  TPoint offset{0, 0};  // the new offset (canvas origin inside the new store)
};
// Along each axis whose overflow bit is set (bit 1 horizontal, bit 2 vertical) the store grows
// by |delta|, the old content lands at max(delta, 0) and the offset grows by |delta| when delta
// is negative; along the other axes only the offset changes, by -delta. False for a layer
// without store, a distance beyond +-kMaxLayerStoreSide, or a grown store side beyond
// kMaxLayerStoreSide.
bool PlanStoreGrowth(const CLayerData& layer, int32_t dx, int32_t dy, int32_t overflowBits, SStoreGrowth& out);

// A copy of the layer in a new store of storeSize with the old store (compacted first) copied
// whole to dest; the offset is the given one, the canvas size the source's, the thumbnail
// fitted into thumbnailSize (the layer list's size when that is empty) and redrawn. fit > 0
// copies every attribute and then fits the store to the content (ReplaceWithFitted); otherwise
// only opacity, visibility and name are copied. The new layer keeps the source's index and
// blend mode and takes a new id. Null when the store size is outside 1..kMaxLayerStoreSide or
// smaller than the canvas, when the offset does not keep the canvas inside the store, or when
// memory runs out.
std::unique_ptr<CLayerData> RelayLayer(CLayerData& layer, const SSize& storeSize, const SSize& thumbnailSize,
                                       int32_t fit, const TPoint& dest, const TPoint& offset,
                                       const SSize& canvas);

// Cuts the selection out of the layer: over the stores' overlap, mask value m = 255 clears the
// alpha, 0 leaves it, and otherwise alpha a becomes, in mode 0, 255 - m for an opaque pixel and
// (255 - m) * a * 255 / (65025 - a * m) else; in mode 1, a * (255 - m) / 255. The thumbnail is
// redrawn. False for another mode, a layer without store or a mask without pixels.
bool EraseLayerByMask(CLayerData& layer, const CMaskData& mask, int32_t mode);
// Keeps only what the mask selects: outside the mask's used tiles alpha becomes 0, inside alpha
// a becomes m * a / 255. False (nothing changed) when the mask holds no pixels.
bool KeepLayerInMask(CLayerData& layer, const CMaskData& mask);
// A copy of the layer (new id, same index) with KeepLayerInMask applied, compacted; null when the
// mask holds no pixels or memory runs out.
std::unique_ptr<CLayerData> CopyLayerInMask(const CLayerData& layer, const CMaskData& mask);

// Writes the image's source rectangle into the layer store at dest (store coordinates) through
// the mask, both clipped first (ClipBlit): where the mask value m at the canvas point is above 0,
// the store pixel's colour is blended toward the image pixel's by m (BlendColor). The alpha form
// then sets the store alpha to m * image alpha / 255; the colour form keeps the store's alpha.
// False when nothing is left after clipping or a tile cannot be committed.
bool PasteThroughMaskColour(CLayerData& layer, const TMTC& image, const TPoint& dest, const CMaskData& mask,
                            const SRectWH& source);
bool PasteThroughMaskAlpha(CLayerData& layer, const TMTC& image, const TPoint& dest, const CMaskData& mask,
                           const SRectWH& source);

}  // namespace tf
