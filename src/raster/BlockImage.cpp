#include "raster/BlockImage.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

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

CBlockImage::CBlockImage() { DynArrayInit(m_tiles); }

CBlockImage::~CBlockImage() { FreeAll(); }

bool CBlockImage::IsValid() const { return m_valid && m_range.base != nullptr; }

void CBlockImage::SetTileGeometry() {
  m_tileWidth = 32;
  m_tileHeight = 32;
  m_tileSize = 32;
  m_tileMask = 31;
  m_tileShift = 5;
}

void CBlockImage::InitGeometry(int32_t width, int32_t height, int32_t bytesPerPixel) {
  m_valid = false;
  m_bytesPerPixel = bytesPerPixel;
  m_tileByteSize = m_tileWidth * m_tileHeight * bytesPerPixel;
  m_size = {width > 0 ? width : 0, height > 0 ? height : 0};
  m_tilesAcross = static_cast<int32_t>((int64_t{m_size.width} + m_tileWidth - 1) / m_tileWidth);
  m_tilesDown = static_cast<int32_t>((int64_t{m_size.height} + m_tileHeight - 1) / m_tileHeight);
  DynArrayInit(m_tiles);
  m_reservedBytes = 0;
  m_committedTiles = 0;
}

bool CBlockImage::Allocate() { return Reserve() && BuildTiles(); }

bool CBlockImage::SetSize(int32_t width, int32_t height) {
  const int32_t bytesPerPixel = m_bytesPerPixel;
  FreeAll();
  InitGeometry(width, height, bytesPerPixel);
  m_valid = Allocate();
  return IsValid();
}

void CBlockImage::FreeAll() {
  FreeTiles();
  ReleaseReserve();
  m_size = {0, 0};
  m_tilesAcross = 0;
  m_tilesDown = 0;
  m_valid = false;
}

bool CBlockImage::Reserve() {
  ReleaseReserve();
  const uint64_t tiles = uint64_t(static_cast<uint32_t>(m_tilesAcross)) * static_cast<uint32_t>(m_tilesDown);
  if (tiles == 0 || m_tileByteSize <= 0) return false;
  // The table holds an int32 count of tiles.
  if (tiles > static_cast<uint64_t>(std::numeric_limits<int32_t>::max())) {
    DebugOutF("CBlockImage: %d x %d is too large\n", m_size.width, m_size.height);
    return false;
  }
  const uint64_t bytes = tiles * static_cast<uint64_t>(m_tileByteSize);
  if (bytes > std::numeric_limits<size_t>::max()) return false;
  m_range = ReserveAddressSpace(static_cast<size_t>(bytes));
  if (!m_range) {
    DebugOutF("CBlockImage: cannot reserve %llu bytes\n", static_cast<unsigned long long>(bytes));
    return false;
  }
  m_reservedBytes = bytes;
  return true;
}

bool CBlockImage::ReleaseReserve() {
  if (!m_range) return true;
  ReleaseAddressSpace(m_range);
  m_reservedBytes = 0;
  return true;
}

bool CBlockImage::BuildTiles() {
  const int32_t count = m_tilesAcross * m_tilesDown;  // checked by Reserve
  if (count <= 0 || !m_range) return false;
  if (!DynArrayAlloc(m_tiles, static_cast<int32_t>(sizeof(STileInfo)), count)) {
    DebugOut("CBlockImage: no memory for the tile table\n");
    return false;
  }
  DynArrayFill(m_tiles, 0);
  STileInfo* tiles = Tiles();
  int32_t index = 0;
  for (int32_t r = 0; r < m_tilesDown; ++r) {
    for (int32_t c = 0; c < m_tilesAcross; ++c, ++index) {
      STileInfo& t = tiles[index];
      t.column = c;
      t.row = r;
      t.tileWidth = m_tileWidth;
      t.tileHeight = m_tileHeight;
      t.pixelX = c * m_tileWidth;
      t.pixelY = r * m_tileHeight;
      t.clippedWidth = std::min(m_size.width - t.pixelX, m_tileWidth);
      t.clippedHeight = std::min(m_size.height - t.pixelY, m_tileHeight);
      t.committed = 0;
      t.fill = 0x00FFFFFFu;
      t.block = m_range.base + static_cast<size_t>(index) * static_cast<size_t>(m_tileByteSize);
      t.byteSize = m_tileByteSize;
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
    const int32_t count = m_tiles.count;
    // Runs of committed tiles are neighbours in the range: give each run back in one call.
    int32_t i = 0;
    while (i < count) {
      if (!tiles[i].committed) {
        ++i;
        continue;
      }
      int32_t end = i + 1;
      while (end < count && tiles[end].committed) ++end;
      const size_t offset = static_cast<size_t>(tiles[i].block - m_range.base);
      const size_t bytes = static_cast<size_t>(end - i) * static_cast<size_t>(m_tileByteSize);
      if (DecommitTileMemory(m_range, offset, bytes)) {
        for (int32_t k = i; k < end; ++k) tiles[k].committed = 0;
        m_committedTiles -= end - i;
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
  DynArrayFree(m_tiles);
  m_committedTiles = 0;
}

// ---------------------------------------------------------------------------------------------
// Tile memory

bool CBlockImage::CommitTile(STileInfo& tile) {
  if (tile.committed) return true;
  if (!tile.block || !m_range) return false;
  const size_t offset = static_cast<size_t>(tile.block - m_range.base);
  if (!CommitTileMemory(m_range, offset, static_cast<size_t>(tile.byteSize))) return false;
  tile.committed = 1;
  ++m_committedTiles;
  return true;
}

bool CBlockImage::DecommitTile(STileInfo& tile) {
  if (!tile.block || !tile.committed) return true;
  const size_t offset = static_cast<size_t>(tile.block - m_range.base);
  if (!DecommitTileMemory(m_range, offset, static_cast<size_t>(tile.byteSize))) return false;
  tile.committed = 0;
  --m_committedTiles;
  return true;
}

void CBlockImage::FillTileMemory(STileInfo& tile, uint32_t value) {
  if (!tile.committed) return;
  if (m_bytesPerPixel == 4) {
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
  if (static_cast<uint32_t>(column) >= static_cast<uint32_t>(m_tilesAcross) ||
      static_cast<uint32_t>(row) >= static_cast<uint32_t>(m_tilesDown) || !m_tiles.data)
    return nullptr;
  STileInfo& tile = Tiles()[column + row * m_tilesAcross];
  if (commit && !CommitTile(tile)) return nullptr;
  return &tile;
}

const STileInfo* CBlockImage::GetTile(int32_t column, int32_t row) const {
  if (static_cast<uint32_t>(column) >= static_cast<uint32_t>(m_tilesAcross) ||
      static_cast<uint32_t>(row) >= static_cast<uint32_t>(m_tilesDown) || !m_tiles.data)
    return nullptr;
  return &Tiles()[column + row * m_tilesAcross];
}

bool CBlockImage::ClipBounds(TRect& bounds) const { return ClipBoundsToSize(bounds, m_size); }

bool CBlockImage::ClipRect(SRectWH& rect) const { return ClipRectToSize(rect, m_size); }

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
  if (source.m_tileByteSize != m_tileByteSize || source.m_tileWidth != m_tileWidth) return false;
  if (&source == this) return true;
  const int32_t across = std::min(m_tilesAcross, source.m_tilesAcross);
  const int32_t down = std::min(m_tilesDown, source.m_tilesDown);
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

bool CBlockImage::CopyTilesRect(const CBlockImage& source, TPoint& destPoint, SRectWH& sourceRect) {
  if (!IsValid() || !source.IsValid()) return false;
  if (source.m_tileByteSize != m_tileByteSize || source.m_tileWidth != m_tileWidth) return false;
  if (!ClipBlit(m_size, source.m_size, destPoint, sourceRect)) return false;
  // The destination must sit on a tile border where the aligned source origin does.
  const int64_t dx = int64_t{destPoint.x} - sourceRect.left;
  const int64_t dy = int64_t{destPoint.y} - sourceRect.top;
  if ((dx & m_tileMask) != 0 || (dy & m_tileMask) != 0) return false;
  const int32_t phaseX = sourceRect.left & m_tileMask;
  const int32_t phaseY = sourceRect.top & m_tileMask;
  AlignRectToGrid(sourceRect, m_tileMask);
  destPoint.x -= phaseX;
  destPoint.y -= phaseY;
  const int32_t sc0 = sourceRect.left >> m_tileShift, sr0 = sourceRect.top >> m_tileShift;
  const int32_t dc0 = destPoint.x >> m_tileShift, dr0 = destPoint.y >> m_tileShift;
  const int32_t across = sourceRect.width >> m_tileShift, down = sourceRect.height >> m_tileShift;
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
        const bool sourceIsDest = self && sc0 + i - dc0 >= 0 && sc0 + i - dc0 < across && sr0 + j - dr0 >= 0 &&
                                  sr0 + j - dr0 < down;
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
  if (m_failed) return false;
  // Room first, so that a tile is never committed without being listed for the rollback.
  try {
    m_fresh.push_back(&tile);
  } catch (const std::bad_alloc&) {
    m_failed = true;
    return false;
  }
  const bool committed = overwrite ? m_store.CBlockImage::CommitTile(tile) : m_store.CommitTile(tile);
  if (!committed) {
    m_fresh.pop_back();
    m_failed = true;
    return false;
  }
  return true;
}

bool CBlockImage::PendingCommits::CommitRect(SRectWH& rect, bool wholeTilesStay) {
  const int32_t shift = m_store.TileShift();
  const int32_t mask = m_store.TileMask();
  return m_store.WalkRectWith(rect, [&](const SRectWH& piece) {
    STileInfo* tile = m_store.GetTile(piece.left >> shift, piece.top >> shift, false);
    if (wholeTilesStay && !tile->committed && TileRectIsWhole(*tile, piece, mask)) return;
    Commit(*tile, false);
  });
}

void CBlockImage::PendingCommits::Rollback() {
  for (auto it = m_fresh.rbegin(); it != m_fresh.rend(); ++it) {
    STileInfo& tile = **it;
    if (!m_store.DecommitTile(tile)) m_store.FillTileMemory(tile, tile.fill);
  }
  m_fresh.clear();
}

}  // namespace tf
