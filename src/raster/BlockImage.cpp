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

// Table memory of stores freed lately, kept for the next store of the same size. Fresh pages cost
// far more to fault in than to clear, and a document makes and frees stores of one size again
// and again (undo snapshots, filter buffers, scratch layers). The pages a store touched are
// cleared when it is freed, so a kept table reads as zero like a fresh reservation; at most
// kKeptTableBytes of them stay resident, in at most kKeptTables tables. The stores are used from
// one thread, so is this.
struct SKeptTable {
  void* entries = nullptr;
  void* views = nullptr;
  size_t entryBytes = 0;
  size_t viewBytes = 0;
  size_t residentBytes = 0;
};
constexpr size_t kKeptTables = 8;
constexpr size_t kKeptTableBytes = size_t{16} << 20;

struct SKeptTables {
  SKeptTable tables[kKeptTables];
  size_t count = 0;
  size_t residentBytes = 0;
  ~SKeptTables() {
    for (size_t i = 0; i < count; ++i) {
      ReleaseZeroedPages(tables[i].entries, tables[i].entryBytes);
      ReleaseZeroedPages(tables[i].views, tables[i].viewBytes);
    }
  }
};

SKeptTables& KeptTables() {
  static SKeptTables kept;
  return kept;
}

// A kept table of exactly these sizes, taken out of the list; false when there is none.
bool TakeKeptTable(size_t entryBytes, size_t viewBytes, void*& entries, void*& views) {
  SKeptTables& kept = KeptTables();
  for (size_t i = 0; i < kept.count; ++i) {
    SKeptTable& t = kept.tables[i];
    if (t.entryBytes != entryBytes || t.viewBytes != viewBytes) continue;
    entries = t.entries;
    views = t.views;
    kept.residentBytes -= t.residentBytes;
    t = kept.tables[--kept.count];
    kept.tables[kept.count] = SKeptTable{};
    return true;
  }
  return false;
}

// Keeps a table whose touched pages are cleared (residentBytes of them), or releases it when the
// list is full.
void KeepTable(void* entries, size_t entryBytes, void* views, size_t viewBytes, size_t residentBytes) {
  SKeptTables& kept = KeptTables();
  if (kept.count == kKeptTables || kept.residentBytes + residentBytes > kKeptTableBytes) {
    ReleaseZeroedPages(entries, entryBytes);
    ReleaseZeroedPages(views, viewBytes);
    return;
  }
  kept.tables[kept.count++] = SKeptTable{entries, views, entryBytes, viewBytes, residentBytes};
  kept.residentBytes += residentBytes;
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

CBlockImage::CBlockImage() = default;

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
  tiles_ = STileTable{};
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
  STileTable table;
  table.count = count;
  table.pages = (count + kTilesPerPage - 1) >> kTilePageShift;
  table.viewStride = (viewBytes_ + 15) & ~15;
  table.touched = new (std::nothrow) uint8_t[static_cast<size_t>(table.pages)]();
  const size_t entryBytes = sizeof(STileInfo) * static_cast<size_t>(count);
  const size_t viewBytes = static_cast<size_t>(table.viewStride) * static_cast<size_t>(count);
  void* entries = nullptr;
  void* views = nullptr;
  if (!TakeKeptTable(entryBytes, viewBytes, entries, views)) {
    entries = ReserveZeroedPages(entryBytes);
    views = viewBytes > 0 ? ReserveZeroedPages(viewBytes) : nullptr;
  }
  table.entries = static_cast<STileInfo*>(entries);
  table.views = static_cast<uint8_t*>(views);
  tiles_ = table;
  if (table.touched == nullptr || table.entries == nullptr || (table.viewStride > 0 && table.views == nullptr)) {
    DebugOut("CBlockImage: no memory for the tile table\n");
    FreeTiles();
    return false;
  }
  // The first page tells what a fresh tile reads as (MakeTileView sets the default fill); the
  // pages not yet touched read the same.
  TouchPage(0, true);
  tiles_.untouchedFill = tiles_.entries[0].fill;
  return true;
}

void CBlockImage::InitTileRecord(STileInfo& t, int32_t index) const {
  const int32_t c = index % tilesAcross_;
  const int32_t r = index / tilesAcross_;
  t.column = c;
  t.row = r;
  t.tileWidth = tileWidth_;
  t.tileHeight = tileHeight_;
  t.pixelX = c * tileWidth_;
  t.pixelY = r * tileHeight_;
  t.clippedWidth = std::min(size_.width - t.pixelX, tileWidth_);
  t.clippedHeight = std::min(size_.height - t.pixelY, tileHeight_);
  t.committed = 0;
  t.fill = tiles_.untouchedFill;
  t.block = range_.base + static_cast<size_t>(index) * static_cast<size_t>(tileByteSize_);
  t.byteSize = tileByteSize_;
  t.view = nullptr;
}

void CBlockImage::TouchPage(int32_t page, bool keepDefaultFill) {
  // A page right after the last one first touched: this is a walk through the store, which will
  // want the pages ahead as well. Faulting each page in on its own costs far more than writing
  // it, so runs of pages are prepared in one call; a run ends at a page already touched.
  tiles_.touchRun = page > 0 && page == tiles_.lastTouched + 1 ? std::min(tiles_.touchRun * 2, kMaxTouchRun) : 1;
  int32_t end = page + 1;
  while (end < page + tiles_.touchRun && end < tiles_.pages && tiles_.touched[end] == 0) ++end;
  const int32_t first = page << kTilePageShift;
  const int32_t last = std::min(tiles_.count, end << kTilePageShift);
  if (end - page > 1) {
    PrepareZeroedPages(tiles_.entries + first, sizeof(STileInfo) * static_cast<size_t>(last - first));
    if (tiles_.views != nullptr)
      PrepareZeroedPages(tiles_.views + static_cast<size_t>(first) * static_cast<size_t>(tiles_.viewStride),
                         static_cast<size_t>(last - first) * static_cast<size_t>(tiles_.viewStride));
  }
  const uint32_t fill = tiles_.untouchedFill;
  for (int32_t i = first; i < last; ++i) {
    STileInfo& t = tiles_.entries[i];
    InitTileRecord(t, i);
    if (!MakeTileView(t)) DebugOut("CBlockImage: cannot create a tile view\n");
    if (!keepDefaultFill) t.fill = fill;
  }
  for (int32_t p = page; p < end; ++p) tiles_.touched[p] = 1;
  tiles_.lastTouched = end - 1;
}

const STileInfo& CBlockImage::TileRecord(int32_t index, STileInfo& scratch) const {
  if (TileTouched(index)) return tiles_.entries[index];
  InitTileRecord(scratch, index);
  return scratch;
}

bool CBlockImage::PieceOnUntouchedTiles(const CBlockImage& source, const TPoint& dp, const SRectWH& sp) const {
  const int32_t column = dp.x >> tileShift_, row = dp.y >> tileShift_;
  if (source.TileTouched(sp.left >> source.tileShift_, sp.top >> source.tileShift_) || TileTouched(column, row))
    return false;
  return PieceIsWholeTile(SRectWH{dp.x, dp.y, sp.width, sp.height});
}

int64_t CBlockImage::TableResidentBytes() const {
  if (tiles_.entries == nullptr || tiles_.touched == nullptr) return 0;
  int64_t pages = 0;
  for (int32_t page = 0; page < tiles_.pages; ++page) pages += tiles_.touched[page];
  const int64_t pageBytes =
      int64_t{sizeof(STileInfo) * kTilesPerPage} + int64_t{tiles_.viewStride} * kTilesPerPage;
  return pages * pageBytes + tiles_.pages;
}

void* CBlockImage::TileViewSlot(const STileInfo& tile) const {
  if (tiles_.views == nullptr) return nullptr;
  const size_t index = static_cast<size_t>(tile.column) + static_cast<size_t>(tile.row) * tilesAcross_;
  return tiles_.views + index * static_cast<size_t>(tiles_.viewStride);
}

void CBlockImage::FreeTiles() {
  if (tiles_.entries != nullptr && tiles_.touched != nullptr) {
    // Runs of committed tiles are neighbours in the range: give each run back in one call.
    // Committed tiles lie in touched pages only.
    const int32_t count = tiles_.count;
    STileInfo* tiles = tiles_.entries;
    int32_t i = 0;
    while (i < count) {
      if (!TileCommittedAt(i)) {
        if (!TileTouched(i))
          i = ((i >> kTilePageShift) + 1) << kTilePageShift;
        else
          ++i;
        continue;
      }
      int32_t end = i + 1;
      while (end < count && TileCommittedAt(end)) ++end;
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
    const uint8_t* slots = tiles_.views;
    const size_t slotBytes = static_cast<size_t>(tiles_.viewStride) * static_cast<size_t>(count);
    ForEachTouchedTile([&](const STileInfo& t) {
      CDibCore* view = t.view;
      if (view == nullptr) return;
      const auto* at = reinterpret_cast<const uint8_t*>(view);
      if (slots != nullptr && at >= slots && at < slots + slotBytes)
        view->~CDibCore();  // built in its slot
      else
        delete view;
    });
  }
  const size_t entryBytes = sizeof(STileInfo) * static_cast<size_t>(tiles_.count);
  const size_t viewBytes = static_cast<size_t>(tiles_.viewStride) * static_cast<size_t>(tiles_.count);
  if (tiles_.entries != nullptr && (tiles_.views != nullptr || viewBytes == 0) && tiles_.touched != nullptr) {
    // Clear the touched pages (records and view slots) and keep the table for the next store.
    for (int32_t page = 0; page < tiles_.pages; ++page) {
      if (tiles_.touched[page] == 0) continue;
      const size_t first = static_cast<size_t>(page) << kTilePageShift;
      const size_t tiles = std::min<size_t>(kTilesPerPage, static_cast<size_t>(tiles_.count) - first);
      std::memset(static_cast<void*>(tiles_.entries + first), 0, sizeof(STileInfo) * tiles);
      if (tiles_.views != nullptr)
        std::memset(tiles_.views + first * static_cast<size_t>(tiles_.viewStride), 0,
                    tiles * static_cast<size_t>(tiles_.viewStride));
    }
    KeepTable(tiles_.entries, entryBytes, tiles_.views, viewBytes,
              static_cast<size_t>(TableResidentBytes()) - static_cast<size_t>(tiles_.pages));
  } else {
    ReleaseZeroedPages(tiles_.entries, entryBytes);
    ReleaseZeroedPages(tiles_.views, viewBytes);
  }
  delete[] tiles_.touched;
  tiles_ = STileTable{};
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
      static_cast<uint32_t>(row) >= static_cast<uint32_t>(tilesDown_) || !tiles_.entries)
    return nullptr;
  STileInfo& tile = TouchTile(column + row * tilesAcross_);
  if (commit && !CommitTile(tile)) return nullptr;
  return &tile;
}

const STileInfo* CBlockImage::GetTile(int32_t column, int32_t row) const {
  if (static_cast<uint32_t>(column) >= static_cast<uint32_t>(tilesAcross_) ||
      static_cast<uint32_t>(row) >= static_cast<uint32_t>(tilesDown_) || !tiles_.entries)
    return nullptr;
  return &TouchTile(column + row * tilesAcross_);
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
        if (!source.TileCommittedAt(c + r * source.tilesAcross_)) return {};
        return {GetTile(c, r, false), true};
      },
      [&](int32_t c, int32_t r) {
        // An untouched source tile onto an untouched tile that reads the same: nothing to do,
        // and neither table page is touched.
        const int32_t s = c + r * source.tilesAcross_;
        if (!source.TileTouched(s) && !TileTouched(c, r) && source.UntouchedFill() == UntouchedFill())
          return true;
        STileInfo scratch;
        return CopyTile(*GetTile(c, r, false), source.TileRecord(s, scratch));
      });
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
  // Between two stores, an untouched source tile onto an untouched tile that reads the same
  // changes nothing: both table pages stay untouched.
  const auto untouchedAlike = [&](int32_t i, int32_t j) {
    const int32_t sc = sc0 + i, sr = sr0 + j, dc = dc0 + i, dr = dr0 + j;
    return !self && source.UntouchedFill() == UntouchedFill() && sc >= 0 && sr >= 0 && dc >= 0 && dr >= 0 &&
           sc < source.tilesAcross_ && sr < source.tilesDown_ && dc < tilesAcross_ && dr < tilesDown_ &&
           !source.TileTouched(sc, sr) && !TileTouched(dc, dr);
  };
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
        if (untouchedAlike(i, j)) return {};
        const STileInfo* s = source.GetTile(sc0 + i, sr0 + j);
        STileInfo* d = GetTile(dc0 + i, dr0 + j, false);
        if (!s || !d) return {};
        const bool sourceIsDest =
            self && sc0 + i - dc0 >= 0 && sc0 + i - dc0 < across && sr0 + j - dr0 >= 0 && sr0 + j - dr0 < down;
        if (!s->committed && !sourceIsDest) return {};
        return {d, !self};
      },
      [&](int32_t i, int32_t j) {
        if (untouchedAlike(i, j)) return true;
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
