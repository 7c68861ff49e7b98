// Layer combinations through the blend modes on tiled stores: the pieces of the store walks are
// worked row by row with the row forms of the mode routines.
#include <algorithm>

#include "document/BlendMode.h"
#include "raster/BlockVMTC.h"

namespace tf {

namespace {

// Only the alpha scale of a combination, over the pieces it would walk: what a merge routine
// leaves when the source contributes nothing. The layer combinations use it for an upper layer
// of opacity 0, whose walk would otherwise do nothing while the lower layer's opacity is still
// replaced by 255 (the lower layer's opacity would be lost). False when there is nothing to do.
bool ScaleStoreAlpha(CBlockVMTC& dest, const CBlockVMTC& source, TPoint& destPoint, SRectWH& sourceRect,
                     int32_t alphaScale, bool& refused) {
  refused = false;
  const uint32_t scale = static_cast<uint32_t>(alphaScale) & 0xFFu;
  if (scale == 255) return false;
  auto scaleRows = [scale](TVMTC& dv, const TPoint& at, int32_t width, int32_t height) {
    for (int32_t j = 0; j < height; ++j)
      ScaleAlphaRow(dv.Pixel(at.x, at.y + j), width, static_cast<int32_t>(scale));
  };
  return dest.FromBlockPieces(
      source, destPoint, sourceRect,
      [&](TVMTC& dv, TPoint& local, const TVMTC&, SRectWH& sr) { scaleRows(dv, local, sr.width, sr.height); },
      [&](uint32_t& fill, uint32_t) { fill = (fill & 0x00FFFFFFu) | (MulDiv255(fill >> 24, scale) << 24); },
      [&](TVMTC& dv, SRectWH& dr, uint32_t) {
        scaleRows(dv, TPoint{dr.left, dr.top}, dr.width, dr.height);
      },
      {.refused = &refused, .keepRectWhenRefused = true});
}

// CBlockVMTC::CombineFrom with a merge routine's row forms.
bool CombineStoreRows(CBlockVMTC& dest, const CBlockVMTC& source, TPoint& destPoint, SRectWH& sourceRect,
                      int32_t alphaScale, int32_t value, const SMergeRoutine& routine, bool& refused) {
  refused = false;
  if (value == 0) return false;
  const uint32_t scale = static_cast<uint32_t>(alphaScale) & 0xFFu;
  return dest.FromBlockPieces(
      source, destPoint, sourceRect,
      [&](TVMTC& dv, TPoint& local, const TVMTC& sv, SRectWH& sr) {
        CombineRowsFrom(dv, sv, local, sr, alphaScale, value, routine.rows.pixels);
      },
      [&](uint32_t& fill, uint32_t sourceFill) {
        fill = (fill & 0x00FFFFFFu) | (MulDiv255(fill >> 24, scale) << 24);
        routine.pixel(&fill, sourceFill, value);
      },
      [&](TVMTC& dv, SRectWH& dr, uint32_t sourceFill) {
        CombineColorRows(dv, dr, sourceFill, alphaScale, value, routine.rows.colour);
      },
      {.refused = &refused, .keepRectWhenRefused = true});
}

// A composite rewrites a destination pixel unless the zero-alpha option leaves it (effective
// source alpha 0).
bool Rewrites(uint32_t source, int32_t opacity, bool zeroAlpha) {
  return !zeroAlpha || MulDiv255(source >> 24, static_cast<uint32_t>(std::clamp(opacity, 0, 255))) != 0;
}

// Inverts the colours of the pixels of a piece the composite rewrote: every pixel without the
// zero-alpha option, else those whose source pixel shows.
void InvertRewritten(TVMTC& dest, const TPoint& at, const TVMTC& source, const SRectWH& rect, int32_t opacity,
                     bool zeroAlpha) {
  for (int32_t j = 0; j < rect.height; ++j) {
    auto* d = reinterpret_cast<uint32_t*>(dest.GetPixelPtr(at.x, at.y + j));
    const auto* s = reinterpret_cast<const uint32_t*>(source.GetPixelPtr(rect.left, rect.top + j));
    for (int32_t i = 0; i < rect.width; ++i)
      if (Rewrites(s[i], opacity, zeroAlpha)) d[i] ^= 0x00FFFFFFu;
  }
}

// CBlockVMTC::CompositeFrom with a row descriptor and its per-pixel twin (for fill values). With
// invert (a lower layer whose colours are kept inverted), the colours of every pixel the
// composite rewrote are inverted after it, and only those: pixels outside the source, and with
// the zero-alpha option those under transparent source pixels, keep their colours, so the
// picture does not change where the source does not show.
bool CompositeStoreRows(CBlockVMTC& dest, const CBlockVMTC& source, TPoint& destPoint, SRectWH& sourceRect,
                        int32_t alphaScale, int32_t opacity, const SCompositeRowOps& ops,
                        const SCompositeOps& pixelOps, bool invert, bool& refused) {
  refused = false;
  if (opacity == 0) return false;
  const uint32_t scale = static_cast<uint32_t>(alphaScale) & 0xFFu;
  const bool zeroAlpha = (pixelOps.flags & kCompositeSkipZeroAlpha) != 0;
  return dest.FromBlockPieces(
      source, destPoint, sourceRect,
      [&](TVMTC& dv, TPoint& local, const TVMTC& sv, SRectWH& sr) {
        if (CompositeRowsFrom(dv, sv, local, sr, alphaScale, opacity, ops) && invert)
          InvertRewritten(dv, local, sv, sr, opacity, zeroAlpha);
      },
      [&](uint32_t& fill, uint32_t sourceFill) {
        fill = (fill & 0x00FFFFFFu) | (MulDiv255(fill >> 24, scale) << 24);
        CompositePixel(&fill, sourceFill, opacity, pixelOps);
        if (invert && Rewrites(sourceFill, opacity, zeroAlpha)) fill ^= 0x00FFFFFFu;
      },
      [&](TVMTC& dv, SRectWH& dr, uint32_t sourceFill) {
        if (CompositeColorRows(dv, dr, sourceFill, alphaScale, opacity, ops) && invert &&
            Rewrites(sourceFill, opacity, zeroAlpha)) {
          for (int32_t j = 0; j < dr.height; ++j) {
            auto* d = reinterpret_cast<uint32_t*>(dv.GetPixelPtr(dr.left, dr.top + j));
            for (int32_t i = 0; i < dr.width; ++i) d[i] ^= 0x00FFFFFFu;
          }
        }
      },
      {.refused = &refused, .keepRectWhenRefused = true});
}

}  // namespace

bool CombineLayerStores(CBlockVMTC& lowerStore, SBlendLayer& lower, const CBlockVMTC& upperStore,
                        const SBlendLayer& upper, TPoint& destPoint, SRectWH& sourceRect) {
  bool refused = false;
  const bool result = upper.opacity == 0
                          ? ScaleStoreAlpha(lowerStore, upperStore, destPoint, sourceRect, lower.opacity, refused)
                          : CombineStoreRows(lowerStore, upperStore, destPoint, sourceRect, lower.opacity,
                                             upper.opacity, GetMergeRoutine(upper.mode), refused);
  // A refused commit changed nothing; the lower layer keeps its opacity too.
  if (!refused) lower.opacity = 255;
  return result;
}

bool CompositeLayerStores(CBlockVMTC& lowerStore, SBlendLayer& lower, const CBlockVMTC& upperStore,
                          const SBlendLayer& upper, TPoint& destPoint, uint32_t modeWord, SRectWH& sourceRect) {
  const SLayerParam* lowerEntry = GetBlendModeEntry(lower.mode);
  if (lowerEntry == nullptr || GetBlendModeEntry(upper.mode) == nullptr) return false;
  const SBlendPair* pair = FindBlendPair(lower.mode, upper.mode, modeWord & 0xFFFFu);
  bool refused = false;
  bool result;
  if (upper.opacity == 0) {
    // Nothing of the upper layer shows; the lower layer's opacity goes into its alphas and no
    // colour is rewritten.
    result = ScaleStoreAlpha(lowerStore, upperStore, destPoint, sourceRect, lower.opacity, refused);
  } else if (pair != nullptr) {
    result = CombineStoreRows(lowerStore, upperStore, destPoint, sourceRect, lower.opacity, upper.opacity,
                              pair->routine, refused);
  } else {
    // A lower layer of a mode that keeps its colours inverted (subtract) has the pixels the
    // composite rewrote inverted after it.
    const bool zeroAlpha = (modeWord & kModeWordZeroAlpha) != 0;
    result = CompositeStoreRows(lowerStore, upperStore, destPoint, sourceRect, lower.opacity, upper.opacity,
                                LayerCompositeDescriptor(lower.mode, upper.mode, zeroAlpha),
                                LayerCompositeOps(lower.mode, upper.mode, zeroAlpha),
                                (lowerEntry->flags & kModeFlagInvertAfter) != 0, refused);
  }
  // A refused commit changed nothing; the lower layer keeps its opacity and colours too.
  if (refused) return false;
  lower.opacity = 255;
  return result;
}

bool BlendLayerStoreIntoImage(const CBlockVMTC& store, const SBlendLayer& layer, TMTC& image, TPoint& destPoint,
                              uint32_t modeWord, SRectWH& sourceRect) {
  if (GetBlendModeEntry(layer.mode) == nullptr) return false;
  const int32_t opacity = layer.opacity;
  if (const SBlendPair* pair = FindBlendPair(kModeNormal, layer.mode, modeWord & 0xFFFFu)) {
    // CombineToImage: every piece, an uncommitted tile's fill as a colour.
    if (opacity == 0) return false;
    const SRowOps& rows = pair->routine.rows;
    return store.ToImagePieces(
        image, destPoint, sourceRect,
        [&](const TVMTC& view, SRectWH& local, TPoint& point) {
          CombineRowsFrom(image, view, point, local, 255, opacity, rows.pixels);
        },
        [&](SRectWH& area, uint32_t fill) { CombineColorRows(image, area, fill, 255, opacity, rows.colour); });
  }
  // CompositeToImage: only the parts inside the content rectangles.
  const SCompositeRowOps ops =
      LayerCompositeDescriptor(kModeNormal, layer.mode, (modeWord & kModeWordZeroAlpha) != 0);
  return store.CompositeToImage(image, destPoint, sourceRect, 255, opacity, ops);
}

bool FillNeutralRect(CBlockVMTC& store, SRectWH& rect, int32_t blendMode) {
  return store.SetColorRect(rect, GetBlendModeNeutralColor(static_cast<uint32_t>(blendMode)));
}

bool FillNeutralAll(CBlockVMTC& store, int32_t blendMode) {
  SRectWH rect{0, 0, store.Width(), store.Height()};
  return FillNeutralRect(store, rect, blendMode);
}

}  // namespace tf
