// The 32-bit tiled store: walker wrappers, rectangle operations, copies to and from flat images
// and the combinations of two stores.
#include <cstring>
#include <utility>

#include "raster/BlockVMTC.h"
#include "raster/CompositeRows.h"
#include "raster/PixelOpDispatch.h"
#include "raster/RegionOps.h"

namespace tf {

namespace {

// WriteUniformPieces, then the content rectangles are rebuilt.
template <class OnFill, class OnPixels>
bool UniformPieces(CBlockVMTC& store, SRectWH& rect, OnFill onFill, OnPixels onPixels) {
  const bool result = WriteUniformPieces(store, rect, onFill, onPixels);
  store.UpdateContentRects();
  return result;
}

// Copies a piece row by row between two different images (no overlap); a full tile row is a
// constant-size copy the compiler inlines.
inline void CopyPieceRows(const TMTC& dest, const TPoint& destPoint, const TMTC& source, const SRectWH& piece) {
  const SDibView& d = dest.View();
  const SDibView& s = source.View();
  if (piece.width == 32) {
    for (int32_t j = 0; j < piece.height; ++j)
      std::memcpy(PixelAddr32(d, destPoint.x, destPoint.y + j), PixelAddr32(s, piece.left, piece.top + j), 128);
    return;
  }
  const size_t rowBytes = size_t{4} * static_cast<size_t>(piece.width);
  for (int32_t j = 0; j < piece.height; ++j)
    std::memcpy(PixelAddr32(d, destPoint.x, destPoint.y + j), PixelAddr32(s, piece.left, piece.top + j),
                rowBytes);
}

// Whether a piece that is about to be overwritten covers every pixel of its tile (an inner tile
// covered whole), so that the tile's commit may skip the fill.
bool OverwritesWholeTile(const STileInfo& tile, const SRectWH& piece) {
  return !tile.committed && TileRectIsWhole(tile, piece) && tile.clippedWidth == 32 && tile.clippedHeight == 32;
}

// A copy of the store for reading while the store itself is written; false when the copy
// cannot be made whole.
bool Snapshot(const CBlockVMTC& source, CBlockVMTC& snapshot) { return snapshot.CreateCopy(source); }

}  // namespace

// ---------------------------------------------------------------------------------------------
// Whole-tile copies

bool CBlockVMTC::Assign(const CBlockVMTC& source) {
  const bool result = CopyAllTiles(source);
  UpdateContentRects();
  return result;
}

bool CBlockVMTC::CopyTilesFrom(const CBlockVMTC& source, TPoint& destPoint, SRectWH& sourceRect) {
  const bool result = CopyTilesRect(source, destPoint, sourceRect);
  UpdateContentRects();
  return result;
}

bool CBlockVMTC::ExchangeStore(CBlockVMTC& other) {
  if (!ExchangeTiles(other)) return false;
  // The tile views read their rows through the table of the store that made them.
  std::swap(rowTable_, other.rowTable_);
  UpdateContentRects();
  other.UpdateContentRects();
  return true;
}

// ---------------------------------------------------------------------------------------------
// Rectangle operations

bool CBlockVMTC::XorRect(SRectWH& rect, uint32_t value) {
  return UniformPieces(
      *this, rect, [value](uint32_t& fill) { fill ^= value; },
      [value](TVMTC& view, SRectWH& local) { view.XorRect(local, value); });
}

bool CBlockVMTC::XorAll(uint32_t value) {
  SRectWH rect{0, 0, size_.width, size_.height};
  return XorRect(rect, value);
}

bool CBlockVMTC::MaskedFillRect(SRectWH& rect, uint32_t mask, uint32_t value) {
  const uint32_t masked = value & mask;
  if (mask == 0xFFFFFFFFu) return FillRect(rect, value);
  return UniformPieces(
      *this, rect, [mask, masked](uint32_t& fill) { fill = masked | (fill & ~mask); },
      [mask, masked](TVMTC& view, SRectWH& local) { view.MaskedFillRect(local, mask, masked); });
}

bool CBlockVMTC::FillRect(SRectWH& rect, uint32_t value) {
  return UniformPieces(
      *this, rect, [value](uint32_t& fill) { fill = value; },
      [value](TVMTC& view, SRectWH& local) { view.FillRectRaw(local, value); });
}

bool CBlockVMTC::SetColorRect(SRectWH& rect, uint32_t colour) {
  return MaskedFillRect(rect, 0x00FFFFFFu, colour);
}

bool CBlockVMTC::SetColorAll(uint32_t colour) {
  SRectWH rect{0, 0, size_.width, size_.height};
  return SetColorRect(rect, colour);
}

bool CBlockVMTC::SetAlphaRect(SRectWH& rect, uint8_t alpha) {
  return MaskedFillRect(rect, 0xFF000000u, uint32_t{alpha} << 24);
}

bool CBlockVMTC::SetAlphaAll(uint8_t alpha) {
  SRectWH rect{0, 0, size_.width, size_.height};
  return SetAlphaRect(rect, alpha);
}

bool CBlockVMTC::FillAll(uint32_t value) {
  if (!IsValid()) return false;
  ForEachTouchedTile([&](STileInfo& t) {
    if (t.committed) FillTileMemory(t, value);
    t.fill = value;
  });
  SetUntouchedFill(value);
  UpdateContentRects();
  return true;
}

// ---------------------------------------------------------------------------------------------
// Between the store and flat images

bool CBlockVMTC::CopyToImage(TMTC& image, TPoint& destPoint, SRectWH& sourceRect, int32_t opacity,
                             bool skipTransparentFill) const {
  return ToImagePieces(
      image, destPoint, sourceRect,
      [&](const TVMTC& view, SRectWH& local, TPoint& point) {
        if (opacity == 255)
          CopyPieceRows(image, point, view, local);  // the walker has clipped both sides
        else
          view.DrawRectTo(image, point, local, opacity);
      },
      [&](SRectWH& area, uint32_t fill) {
        if (skipTransparentFill && (fill >> 24) == 0) return;
        image.FillRectRaw(area, fill);
      });
}

bool CBlockVMTC::CopyAllToImage(TMTC& image, int32_t x, int32_t y, int32_t opacity,
                                bool skipTransparentFill) const {
  TPoint point{x, y};
  SRectWH rect{0, 0, size_.width, size_.height};
  return CopyToImage(image, point, rect, opacity, skipTransparentFill);
}

bool CBlockVMTC::CopyFromImage(const TMTC& image, TPoint& destPoint, SRectWH& sourceRect, int32_t opacity) {
  if (!image.IsValid()) return false;
  // A commit-first write; a tile that will be overwritten whole skips its fill. The content
  // rectangles are rebuilt when there was something to walk.
  bool walked = false;
  const bool result = WriteCommitFirst(
      *this, [&](auto visit) { return WalkFromImageWith(image.Size(), destPoint, sourceRect, visit); },
      [&](const TPoint& dp, const SRectWH& sp) -> STileNeed {
        walked = true;
        STileInfo* tile = GetTile(dp.x >> 5, dp.y >> 5, false);
        return {tile, opacity == 255 && OverwritesWholeTile(*tile, SRectWH{dp.x, dp.y, sp.width, sp.height})};
      },
      [&](const TPoint& dp, const SRectWH& sp) {
        STileInfo* tile = GetTile(dp.x >> 5, dp.y >> 5, false);
        if (!CommitTile(*tile)) return false;
        TVMTC& view = *TileView(*tile);
        TPoint local{dp.x & 31, dp.y & 31};
        if (opacity == 255) {
          CopyPieceRows(view, local, image, sp);
        } else {
          SRectWH piece = sp;
          image.DrawRectTo(view, local, piece, opacity);
        }
        return true;
      });
  if (walked) UpdateContentRects();
  return result;
}

bool CBlockVMTC::CopyAllFromImage(const TMTC& image, int32_t x, int32_t y, int32_t opacity) {
  TPoint point{x, y};
  SRectWH rect{0, 0, image.Width(), image.Height()};
  return CopyFromImage(image, point, rect, opacity);
}

// ---------------------------------------------------------------------------------------------
// Between two stores

bool CBlockVMTC::CopyFrom(const CBlockVMTC& source, TPoint& destPoint, SRectWH& sourceRect) {
  if (&source == this) {
    // Pieces would read what earlier pieces wrote: copy from a snapshot.
    CBlockVMTC snapshot;
    if (!Snapshot(source, snapshot)) return false;
    return CopyFrom(snapshot, destPoint, sourceRect);
  }
  // A commit-first write; a tile a committed source piece covers whole skips its fill. The
  // content rectangles are rebuilt when there was something to walk.
  bool walked = false;
  const auto fillOnly = [](const STileInfo& s, const STileInfo& d, const SRectWH& destPiece) {
    return !s.committed && !d.committed && TileRectIsWhole(d, destPiece);
  };
  // Untouched tiles that read alike on both sides: nothing to copy, no table page to write.
  const bool fillsAgree = source.UntouchedFill() == UntouchedFill();
  const auto passOver = [&](const TPoint& dp, const SRectWH& sp) {
    return fillsAgree && PieceOnUntouchedTiles(source, dp, sp);
  };
  const bool result = WriteCommitFirst(
      *this, [&](auto visit) { return WalkFromBlockWith(source, destPoint, sourceRect, visit); },
      [&](const TPoint& dp, const SRectWH& sp) -> STileNeed {
        walked = true;
        if (passOver(dp, sp)) return {};
        const STileInfo* s = source.GetTile(sp.left >> 5, sp.top >> 5);
        STileInfo* d = GetTile(dp.x >> 5, dp.y >> 5, false);
        const SRectWH destPiece{dp.x, dp.y, sp.width, sp.height};
        if (fillOnly(*s, *d, destPiece)) return {};
        return {d, s->committed && OverwritesWholeTile(*d, destPiece)};
      },
      [&](const TPoint& dp, const SRectWH& sp) {
        if (passOver(dp, sp)) return true;
        const STileInfo* s = source.GetTile(sp.left >> 5, sp.top >> 5);
        STileInfo* d = GetTile(dp.x >> 5, dp.y >> 5, false);
        const SRectWH destPiece{dp.x, dp.y, sp.width, sp.height};
        if (fillOnly(*s, *d, destPiece)) {
          d->fill = s->fill;
          return true;
        }
        if (!CommitTile(*d)) return false;
        TVMTC& dv = *TileView(*d);
        if (s->committed) {
          const TPoint local{dp.x & 31, dp.y & 31};
          const SRectWH sr{sp.left & 31, sp.top & 31, sp.width, sp.height};
          CopyPieceRows(dv, local, *source.TileView(*s), sr);
        } else {
          const SRectWH dr{dp.x & 31, dp.y & 31, sp.width, sp.height};
          dv.FillRectRaw(dr, s->fill);
        }
        return true;
      });
  if (walked) UpdateContentRects();
  return result;
}

bool CBlockVMTC::CopyAllFrom(const CBlockVMTC& source) {
  TPoint point{0, 0};
  SRectWH rect{0, 0, source.Width(), source.Height()};
  return CopyFrom(source, point, rect);
}

bool CBlockVMTC::CombineFrom(const CBlockVMTC& source, TPoint& destPoint, SRectWH& sourceRect, int32_t alphaScale,
                             int32_t value, PixelOp op) {
  if (op == nullptr) return false;
  if (&source == this) {
    CBlockVMTC snapshot;
    if (!Snapshot(source, snapshot)) return false;
    return CombineFrom(snapshot, destPoint, sourceRect, alphaScale, value, op);
  }
  return WithPixelOp(
      op, [&](auto fn) { return CombineFromWith(source, destPoint, sourceRect, alphaScale, value, fn); });
}

bool CBlockVMTC::CompositeFrom(const CBlockVMTC& source, TPoint& destPoint, SRectWH& sourceRect,
                               int32_t alphaScale, int32_t opacity, const SCompositeOps& ops) {
  if (ops.destination == nullptr || ops.source == nullptr) return false;
  if (&source == this) {
    CBlockVMTC snapshot;
    if (!Snapshot(source, snapshot)) return false;
    return CompositeFrom(snapshot, destPoint, sourceRect, alphaScale, opacity, ops);
  }
  SCompositeRowOps rows;
  if (!CompositeRowOpsOf(ops, rows))
    return CompositeFromWith(source, destPoint, sourceRect, alphaScale, opacity, CompositeWithOps{&ops});
  // The same walk with the pieces worked row by row.
  if (opacity == 0) return false;
  const uint32_t scale = static_cast<uint32_t>(alphaScale) & 0xFFu;
  return FromBlockPieces(
      source, destPoint, sourceRect,
      [&](TVMTC& dv, TPoint& local, const TVMTC& sv, SRectWH& sr) {
        CompositeRowsFrom(dv, sv, local, sr, alphaScale, opacity, rows);
      },
      [&](uint32_t& fill, uint32_t sourceFill) {
        fill = (fill & 0x00FFFFFFu) | (MulDiv255(fill >> 24, scale) << 24);
        CompositePixel(&fill, sourceFill, opacity, ops);
      },
      [&](TVMTC& dv, SRectWH& dr, uint32_t sourceFill) {
        CompositeColorRows(dv, dr, sourceFill, alphaScale, opacity, rows);
      });
}

bool CBlockVMTC::CombineToImage(TMTC& image, TPoint& destPoint, SRectWH& sourceRect, int32_t alphaScale,
                                int32_t value, PixelOp op) const {
  if (op == nullptr) return false;
  return WithPixelOp(
      op, [&](auto fn) { return CombineToImageWith(image, destPoint, sourceRect, alphaScale, value, fn); });
}

bool CBlockVMTC::CompositeToImage(TMTC& image, TPoint& destPoint, SRectWH& sourceRect, int32_t alphaScale,
                                  int32_t opacity, const SCompositeOps& ops) const {
  if (ops.destination == nullptr || ops.source == nullptr) return false;
  SCompositeRowOps rows;
  if (!CompositeRowOpsOf(ops, rows))
    return CompositeToImageWith(image, destPoint, sourceRect, alphaScale, opacity, CompositeWithOps{&ops});
  return CompositeToImage(image, destPoint, sourceRect, alphaScale, opacity, rows);
}

// The walk of CompositeToImageWith with the pieces worked row by row.
bool CBlockVMTC::CompositeToImage(TMTC& image, TPoint& destPoint, SRectWH& sourceRect, int32_t alphaScale,
                                  int32_t opacity, const SCompositeRowOps& rows) const {
  bool result = true;
  for (int32_t i = 0; i < content_.count; ++i) {
    TPoint point = destPoint;
    SRectWH rect = sourceRect;
    if (!ContentRectPiece(*this, i, point, rect)) continue;
    if (opacity == 0) {
      result = false;
      continue;
    }
    result = ToImagePieces(
        image, point, rect,
        [&](const TVMTC& view, SRectWH& local, TPoint& at) {
          CompositeRowsFrom(image, view, at, local, alphaScale, opacity, rows);
        },
        [&](SRectWH& area, uint32_t fill) { CompositeColorRows(image, area, fill, alphaScale, opacity, rows); });
  }
  return result;
}

}  // namespace tf
