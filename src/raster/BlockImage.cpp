#include "raster/BlockImage.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <utility>

#include "platform/Debug.h"

namespace tf {

namespace {

// Widens the rectangle outward to whole tiles of mask + 1 pixels.
void AlignRectToGrid(SRectWH& rect, int64_t mask) {
  const int64_t left = rect.left & ~mask;
  const int64_t top = rect.top & ~mask;
  const int64_t width = (int64_t{rect.left} + rect.width - left + mask) & ~mask;
  const int64_t height = (int64_t{rect.top} + rect.height - top + mask) & ~mask;
  rect = {SaturateInt32(left), SaturateInt32(top), SaturateInt32(width), SaturateInt32(height)};
}

}  // namespace

void AlignRectToTiles(SRectWH& rect) { AlignRectToGrid(rect, 31); }

bool ClipRun(int32_t x, int32_t count, int32_t width, int32_t& start, int32_t& length, int32_t& skip) {
  if (count <= 0) return false;
  const int64_t first = std::max<int64_t>(x, 0);
  const int64_t end = std::min<int64_t>(int64_t{x} + count, width);
  if (first >= end) return false;
  start = static_cast<int32_t>(first);
  length = static_cast<int32_t>(end - first);
  skip = static_cast<int32_t>(first - x);
  return true;
}

// ---------------------------------------------------------------------------------------------
// Construction and size

CBlockImage::CBlockImage() { DynArrayInit(tiles_); }

CBlockImage::~CBlockImage() { FreeAll(); }

bool CBlockImage::IsValid() const { return valid_ && range_.base != nullptr; }

void CBlockImage::SetTileGeometry() {
  tileWidth_ = 32;
  tileHeight_ = 32;
  tileSize_ = 32;
  tileMask_ = 31;
  tileShift_ = 5;
}

void CBlockImage::InitGeometry(int32_t width, int32_t height, int32_t bytesPerPixel) {
  valid_ = false;
  bytesPerPixel_ = bytesPerPixel;
  tileByteSize_ = tileWidth_ * tileHeight_ * bytesPerPixel;
  size_ = {width > 0 ? width : 0, height > 0 ? height : 0};
  tilesAcross_ = static_cast<int32_t>((int64_t{size_.width} + tileWidth_ - 1) / tileWidth_);
  tilesDown_ = static_cast<int32_t>((int64_t{size_.height} + tileHeight_ - 1) / tileHeight_);
  DynArrayInit(tiles_);
  reservedBytes_ = 0;
  committedTiles_ = 0;
}

bool CBlockImage::Allocate() { return Reserve() && BuildTiles(); }

bool CBlockImage::SetSize(int32_t width, int32_t height) {
  const int32_t bytesPerPixel = bytesPerPixel_;
  FreeAll();
  InitGeometry(width, height, bytesPerPixel);
  valid_ = Allocate();
  return IsValid();
}

void CBlockImage::FreeAll() {
  FreeTiles();
  ReleaseReserve();
  size_ = {0, 0};
  tilesAcross_ = 0;
  tilesDown_ = 0;
  valid_ = false;
}

bool CBlockImage::Reserve() {
  ReleaseReserve();
  const uint64_t tiles = uint64_t(static_cast<uint32_t>(tilesAcross_)) * static_cast<uint32_t>(tilesDown_);
  if (tiles == 0 || tileByteSize_ <= 0) return false;
  // The table holds an int32 count of tiles.
  if (tiles > static_cast<uint64_t>(std::numeric_limits<int32_t>::max())) {
    DebugOutF("CBlockImage: %d x %d is too large\n", size_.width, size_.height);
    return false;
  }
  const uint64_t bytes = tiles * static_cast<uint64_t>(tileByteSize_);
  if (bytes > std::numeric_limits<size_t>::max()) return false;
  range_ = ReserveAddressSpace(static_cast<size_t>(bytes));
  if (!range_) {
    DebugOutF("CBlockImage: cannot reserve %llu bytes\n", static_cast<unsigned long long>(bytes));
    return false;
  }
  reservedBytes_ = bytes;
  return true;
}

bool CBlockImage::ReleaseReserve() {
  if (!range_) return true;
  ReleaseAddressSpace(range_);
  reservedBytes_ = 0;
  return true;
}

bool CBlockImage::BuildTiles() {
  const int32_t count = tilesAcross_ * tilesDown_;  // checked by Reserve
  if (count <= 0 || !range_) return false;
  if (!DynArrayAlloc(tiles_, static_cast<int32_t>(sizeof(STileInfo)), count)) {
    DebugOut("CBlockImage: no memory for the tile table\n");
    return false;
  }
  DynArrayFill(tiles_, 0);
  STileInfo* tiles = Tiles();
  int32_t index = 0;
  for (int32_t r = 0; r < tilesDown_; ++r) {
    for (int32_t c = 0; c < tilesAcross_; ++c, ++index) {
      STileInfo& t = tiles[index];
      t.column = c;
      t.row = r;
      t.tileWidth = tileWidth_;
      t.tileHeight = tileHeight_;
      t.pixelX = c * tileWidth_;
      t.pixelY = r * tileHeight_;
      t.clippedWidth = std::min(size_.width - t.pixelX, tileWidth_);
      t.clippedHeight = std::min(size_.height - t.pixelY, tileHeight_);
      t.committed = 0;
      t.fill = 0x00FFFFFFu;
      t.block = range_.base + static_cast<size_t>(index) * static_cast<size_t>(tileByteSize_);
      t.byteSize = tileByteSize_;
      t.view = nullptr;
      if (!MakeTileView(t)) {
        DebugOut("CBlockImage: cannot create a tile view\n");
        return false;
      }
    }
  }
  return true;
}

void CBlockImage::FreeTiles() {
  STileInfo* tiles = Tiles();
  if (tiles) {
    const int32_t count = tiles_.count;
    // Runs of committed tiles are neighbours in the range: give each run back in one call.
    int32_t i = 0;
    while (i < count) {
      if (!tiles[i].committed) {
        ++i;
        continue;
      }
      int32_t end = i + 1;
      while (end < count && tiles[end].committed) ++end;
      const size_t offset = static_cast<size_t>(tiles[i].block - range_.base);
      const size_t bytes = static_cast<size_t>(end - i) * static_cast<size_t>(tileByteSize_);
      if (DecommitTileMemory(range_, offset, bytes)) {
        for (int32_t k = i; k < end; ++k) tiles[k].committed = 0;
        committedTiles_ -= end - i;
      } else {
        for (int32_t k = i; k < end; ++k) DecommitTile(tiles[k]);
      }
      i = end;
    }
    for (int32_t k = 0; k < count; ++k) {
      delete tiles[k].view;
      tiles[k].view = nullptr;
    }
  }
  DynArrayFree(tiles_);
  committedTiles_ = 0;
}

// ---------------------------------------------------------------------------------------------
// Tile memory

bool CBlockImage::CommitTile(STileInfo& tile) {
  if (tile.committed) return true;
  if (!tile.block || !range_) return false;
  const size_t offset = static_cast<size_t>(tile.block - range_.base);
  if (!CommitTileMemory(range_, offset, static_cast<size_t>(tile.byteSize))) return false;
  tile.committed = 1;
  ++committedTiles_;
  return true;
}

bool CBlockImage::DecommitTile(STileInfo& tile) {
  if (!tile.block || !tile.committed) return true;
  const size_t offset = static_cast<size_t>(tile.block - range_.base);
  if (!DecommitTileMemory(range_, offset, static_cast<size_t>(tile.byteSize))) return false;
  tile.committed = 0;
  --committedTiles_;
  return true;
}

void CBlockImage::FillTileMemory(STileInfo& tile, uint32_t value) {
  if (!tile.committed) return;
  if (bytesPerPixel_ == 4) {
    uint32_t* p = reinterpret_cast<uint32_t*>(tile.block);
    const int32_t n = tile.byteSize / 4;
    for (int32_t i = 0; i < n; ++i) p[i] = value;
  } else {
    std::memset(tile.block, static_cast<int>(value & 0xFFu), static_cast<size_t>(tile.byteSize));
  }
}

// ---------------------------------------------------------------------------------------------
// Queries

STileInfo* CBlockImage::GetTile(int32_t column, int32_t row, bool commit) {
  if (static_cast<uint32_t>(column) >= static_cast<uint32_t>(tilesAcross_) ||
      static_cast<uint32_t>(row) >= static_cast<uint32_t>(tilesDown_) || !tiles_.data)
    return nullptr;
  STileInfo& tile = Tiles()[column + row * tilesAcross_];
  if (commit && !CommitTile(tile)) return nullptr;
  return &tile;
}

const STileInfo* CBlockImage::GetTile(int32_t column, int32_t row) const {
  if (static_cast<uint32_t>(column) >= static_cast<uint32_t>(tilesAcross_) ||
      static_cast<uint32_t>(row) >= static_cast<uint32_t>(tilesDown_) || !tiles_.data)
    return nullptr;
  return &Tiles()[column + row * tilesAcross_];
}

bool CBlockImage::ClipBounds(TRect& bounds) const { return ClipBoundsToSize(bounds, size_); }

bool CBlockImage::ClipRect(SRectWH& rect) const { return ClipRectToSize(rect, size_); }

// ---------------------------------------------------------------------------------------------
// Tile copies

bool CBlockImage::CopyTile(STileInfo& dest, const STileInfo& source) {
  if (&dest == &source) return true;
  if (dest.byteSize != source.byteSize || !dest.block) return false;
  if (source.committed) {
    if (!CommitTile(dest)) return false;  // dest stays as it was
    std::memcpy(dest.block, source.block, static_cast<size_t>(dest.byteSize));
  } else if (!DecommitTile(dest)) {
    // The system kept the memory: make the pixels read as the source's fill instead.
    FillTileMemory(dest, source.fill);
  }
  dest.fill = source.fill;
  return true;
}

bool CBlockImage::CopyAllTiles(const CBlockImage& source) {
  if (!IsValid() || !source.IsValid()) return false;
  if (source.tileByteSize_ != tileByteSize_ || source.tileWidth_ != tileWidth_) return false;
  if (&source == this) return true;
  const int32_t across = std::min(tilesAcross_, source.tilesAcross_);
  const int32_t down = std::min(tilesDown_, source.tilesDown_);
  // A commit-first write: every tile that takes bytes is committed before the first tile changes.
  return WriteCommitFirst(
      *this,
      [&](auto visit) {
        for (int32_t r = 0; r < down; ++r)
          for (int32_t c = 0; c < across; ++c) visit(c, r);
        return true;
      },
      [&](int32_t c, int32_t r) -> STileNeed {
        if (!source.GetTile(c, r)->committed) return {};
        return {GetTile(c, r, false), true};
      },
      [&](int32_t c, int32_t r) { return CopyTile(*GetTile(c, r, false), *source.GetTile(c, r)); });
}

bool CBlockImage::ExchangeTiles(CBlockImage& other) {
  if (&other == this || !IsValid() || !other.IsValid()) return false;
  if (size_ != other.size_ || bytesPerPixel_ != other.bytesPerPixel_ || tileByteSize_ != other.tileByteSize_ ||
      tileWidth_ != other.tileWidth_ || tileHeight_ != other.tileHeight_ || tilesAcross_ != other.tilesAcross_ ||
      tilesDown_ != other.tilesDown_)
    return false;
  std::swap(tiles_, other.tiles_);
  std::swap(range_, other.range_);
  std::swap(reservedBytes_, other.reservedBytes_);
  std::swap(committedTiles_, other.committedTiles_);
  return true;
}

bool CBlockImage::CopyTilesRect(const CBlockImage& source, TPoint& destPoint, SRectWH& sourceRect) {
  if (!IsValid() || !source.IsValid()) return false;
  if (source.tileByteSize_ != tileByteSize_ || source.tileWidth_ != tileWidth_) return false;
  if (!ClipBlit(size_, source.size_, destPoint, sourceRect)) return false;
  // The destination must sit on a tile border where the aligned source origin does.
  const int64_t dx = int64_t{destPoint.x} - sourceRect.left;
  const int64_t dy = int64_t{destPoint.y} - sourceRect.top;
  if ((dx & tileMask_) != 0 || (dy & tileMask_) != 0) return false;
  const int32_t phaseX = sourceRect.left & tileMask_;
  const int32_t phaseY = sourceRect.top & tileMask_;
  AlignRectToGrid(sourceRect, tileMask_);
  destPoint.x -= phaseX;
  destPoint.y -= phaseY;
  const int32_t sc0 = sourceRect.left >> tileShift_, sr0 = sourceRect.top >> tileShift_;
  const int32_t dc0 = destPoint.x >> tileShift_, dr0 = destPoint.y >> tileShift_;
  const int32_t across = sourceRect.width >> tileShift_, down = sourceRect.height >> tileShift_;
  const bool self = &source == this;

  // Within one store, note which source tiles hold pixels before anything is committed here.
  std::vector<uint8_t> wasCommitted;
  if (self) {
    try {
      wasCommitted.assign(static_cast<size_t>(across) * static_cast<size_t>(down), 0);
    } catch (const std::bad_alloc&) {
      return false;
    }
    for (int32_t j = 0; j < down; ++j)
      for (int32_t i = 0; i < across; ++i) {
        const STileInfo* s = GetTile(sc0 + i, sr0 + j);
        wasCommitted[static_cast<size_t>(j) * across + i] = s && s->committed;
      }
  }

  // A commit-first write of every destination tile that may take bytes. Within one store a
  // source tile can itself be a destination: such destinations are committed too (with their
  // fill, so the picture does not change; the copy releases them again when their source held a
  // fill). Within one store the tiles are visited backwards when the destination lies after the
  // source, so that no tile is overwritten before it is read.
  const bool back = self && (dr0 > sr0 || (dr0 == sr0 && dc0 > sc0));
  return WriteCommitFirst(
      *this,
      [&](auto visit) {
        for (int32_t jj = 0; jj < down; ++jj) {
          const int32_t j = back ? down - 1 - jj : jj;
          for (int32_t ii = 0; ii < across; ++ii) visit(back ? across - 1 - ii : ii, j);
        }
        return true;
      },
      [&](int32_t i, int32_t j) -> STileNeed {
        const STileInfo* s = source.GetTile(sc0 + i, sr0 + j);
        STileInfo* d = GetTile(dc0 + i, dr0 + j, false);
        if (!s || !d) return {};
        const bool sourceIsDest =
            self && sc0 + i - dc0 >= 0 && sc0 + i - dc0 < across && sr0 + j - dr0 >= 0 && sr0 + j - dr0 < down;
        if (!s->committed && !sourceIsDest) return {};
        return {d, !self};
      },
      [&](int32_t i, int32_t j) {
        const STileInfo* s = source.GetTile(sc0 + i, sr0 + j);
        STileInfo* d = GetTile(dc0 + i, dr0 + j, false);
        if (!s || !d) return true;  // outside either grid
        if (self && !wasCommitted[static_cast<size_t>(j) * across + i] && s->committed) {
          // Committed above only to be written: it still reads as its fill, so pass the fill.
          STileInfo fill = *s;
          fill.committed = 0;
          return CopyTile(*d, fill);
        }
        return CopyTile(*d, *s);
      });
}

// ---------------------------------------------------------------------------------------------
// Commits ahead of a write

bool CBlockImage::PrepareRect(const SRectWH& rect, bool wholeTilesStay) {
  PendingCommits batch(*this);
  SRectWH r = rect;
  batch.CommitRect(r, wholeTilesStay);
  if (batch.Failed()) {
    batch.Rollback();
    return false;
  }
  return true;
}

bool CBlockImage::PendingCommits::Commit(STileInfo& tile, bool overwrite) {
  if (tile.committed) return true;
  if (failed_) return false;
  // Room first, so that a tile is never committed without being listed for the rollback.
  try {
    fresh_.push_back(&tile);
  } catch (const std::bad_alloc&) {
    failed_ = true;
    return false;
  }
  const bool committed = overwrite ? store_.CBlockImage::CommitTile(tile) : store_.CommitTile(tile);
  if (!committed) {
    fresh_.pop_back();
    failed_ = true;
    return false;
  }
  return true;
}

bool CBlockImage::PendingCommits::CommitRect(SRectWH& rect, bool wholeTilesStay) {
  const int32_t shift = store_.TileShift();
  const int32_t mask = store_.TileMask();
  return store_.WalkRectWith(rect, [&](const SRectWH& piece) {
    STileInfo* tile = store_.GetTile(piece.left >> shift, piece.top >> shift, false);
    if (wholeTilesStay && !tile->committed && TileRectIsWhole(*tile, piece, mask)) return;
    Commit(*tile, false);
  });
}

void CBlockImage::PendingCommits::PrepareForWrite() const {
  if (fresh_.size() * static_cast<size_t>(store_.tileByteSize_) < kDenseTileSpan) return;
  const size_t tileBytes = static_cast<size_t>(store_.tileByteSize_);
  size_t i = 0;
  while (i < fresh_.size()) {
    const uint8_t* start = fresh_[i]->block;
    size_t j = i + 1;
    while (j < fresh_.size() && fresh_[j]->block == start + (j - i) * tileBytes) ++j;
    const size_t bytes = (j - i) * tileBytes;
    if (start != nullptr && bytes >= kDenseTileSpan)
      PrepareDenseTileMemory(store_.range_, static_cast<size_t>(start - store_.range_.base), bytes);
    i = j;
  }
}

void CBlockImage::PendingCommits::Rollback() {
  for (auto it = fresh_.rbegin(); it != fresh_.rend(); ++it) {
    STileInfo& tile = **it;
    if (!store_.DecommitTile(tile)) store_.FillTileMemory(tile, tile.fill);
  }
  fresh_.clear();
}

}  // namespace tf
