// Writing computed values into a tiled store as one step: all tiles committed first, or nothing.
#pragma once
// Writing computed values into a tiled store as one step: either every tile the write needs can
// be committed (a commit-first write, WriteCommitFirst), or the write does nothing and reports
// false.
//
//   WriteTilesAtomic  writes computed values over a rectangle, tile by tile: a tile left uniform
//                     by the write only takes a new fill value; the others are committed first,
//                     all of them before the first pixel changes.
//
// Used by the 8-bit store and by the row, transform and scaling routines of the 32-bit store.
#include <cstddef>
#include <cstdint>

#include "raster/BlockImage.h"

namespace tf {

namespace tilewrite {

// Pixel type of a store with the given bytes per pixel.
template <class Pixel>
inline Pixel FillAsPixel(uint32_t fill) {
  return static_cast<Pixel>(fill);
}

// What a write of the values of one piece does to an uncommitted tile.
enum class Outcome { kNothing, kNewFill, kCommit };

template <class Pixel>
Outcome Decide(const STileInfo& tile, int32_t mask, const SRectWH& piece, const Pixel* values, int32_t stride,
               Pixel& newFill) {
  const Pixel fill = FillAsPixel<Pixel>(tile.fill);
  const Pixel first = values[0];
  bool allFill = true;
  bool uniform = true;
  for (int32_t j = 0; j < piece.height && (allFill || uniform); ++j) {
    const Pixel* row = values + static_cast<std::ptrdiff_t>(j) * stride;
    for (int32_t i = 0; i < piece.width; ++i) {
      allFill &= row[i] == fill;
      uniform &= row[i] == first;
    }
  }
  if (allFill) return Outcome::kNothing;
  const bool whole = (piece.left & mask) == 0 && (piece.top & mask) == 0 && piece.width == tile.clippedWidth &&
                     piece.height == tile.clippedHeight;
  if (whole && uniform) {
    newFill = first;
    return Outcome::kNewFill;
  }
  return Outcome::kCommit;
}

template <class Pixel>
void WritePiece(const STileInfo& tile, int32_t mask, const SRectWH& piece, const Pixel* values, int32_t stride) {
  const int32_t localX = piece.left & mask;
  const int32_t localY = piece.top & mask;
  for (int32_t j = 0; j < piece.height; ++j) {
    Pixel* dest =
        reinterpret_cast<Pixel*>(tile.block) + static_cast<std::ptrdiff_t>(localY + j) * tile.tileWidth + localX;
    const Pixel* row = values + static_cast<std::ptrdiff_t>(j) * stride;
    for (int32_t i = 0; i < piece.width; ++i) dest[i] = row[i];
  }
}

}  // namespace tilewrite

// Writes values over rect (clipped to the store; false when nothing is left) as one step.
// produce(const SRectWH& piece, Pixel* out, int32_t stride) writes the values of a piece (store
// coordinates, never crossing a tile border) row by row; it is called up to twice per piece and
// must give the same values both times (it may read the piece's own pixels: a piece is produced
// before it is written). beforeWrite(const SRectWH& piece) runs just before a piece changes.
// Pass 1 commits every tile that will hold varying values; when a commit is refused, the tiles
// committed so far are given back and false is returned with the store unchanged. Pass 2 writes.
// Pixel is uint8_t for 1-byte stores and uint32_t for 4-byte stores.
template <class Pixel, class Producer, class BeforeWrite>
bool WriteTilesAtomic(CBlockImage& store, SRectWH rect, Producer&& produce, BeforeWrite&& beforeWrite) {
  if (!store.IsValid() || store.BytesPerPixel() != static_cast<int32_t>(sizeof(Pixel))) return false;
  Pixel buffer[64 * 64];
  if (store.TileWidth() * store.TileHeight() > 64 * 64) return false;
  const int32_t stride = store.TileWidth();
  const int32_t mask = store.TileMask();
  const int32_t shift = store.TileShift();
  // Pass 1 commits the uncommitted tiles that will hold varying values; pass 2 writes.
  return WriteCommitFirst(
      store, [&](auto visit) { return store.WalkRectWith(rect, visit); },
      [&](const SRectWH& piece) -> STileNeed {
        STileInfo* tile = store.GetTile(piece.left >> shift, piece.top >> shift, false);
        if (tile == nullptr || tile->committed) return {};
        produce(piece, buffer, stride);
        Pixel newFill{};
        if (tilewrite::Decide(*tile, mask, piece, buffer, stride, newFill) != tilewrite::Outcome::kCommit)
          return {};
        return {tile, false};
      },
      [&](const SRectWH& piece) {
        STileInfo* tile = store.GetTile(piece.left >> shift, piece.top >> shift, false);
        if (tile == nullptr) return true;
        produce(piece, buffer, stride);
        if (!tile->committed) {
          Pixel newFill{};
          switch (tilewrite::Decide(*tile, mask, piece, buffer, stride, newFill)) {
            case tilewrite::Outcome::kNothing: return true;
            case tilewrite::Outcome::kNewFill:
              beforeWrite(piece);
              tile->fill = static_cast<uint32_t>(newFill);
              return true;
            case tilewrite::Outcome::kCommit:
              // Only when the values changed since pass 1 (a source that is also the destination).
              if (!store.CommitTile(*tile)) return false;
              break;
          }
        }
        beforeWrite(piece);
        tilewrite::WritePiece(*tile, mask, piece, buffer, stride);
        return true;
      });
}

template <class Pixel, class Producer>
bool WriteTilesAtomic(CBlockImage& store, const SRectWH& rect, Producer&& produce) {
  return WriteTilesAtomic<Pixel>(store, rect, produce, [](const SRectWH&) {});
}

}  // namespace tf
