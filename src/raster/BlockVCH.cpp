#include "raster/BlockVCH.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/Memory.h"
#include "raster/BlockAverage.h"
#include "raster/BlockVMTC.h"
#include "raster/PixelOpDispatch.h"

namespace tf {

namespace {

constexpr int32_t kTile = 64;
constexpr int32_t kMask = 63;
constexpr int32_t kShift = 6;

}  // namespace

// ---------------------------------------------------------------------------------------------
// Content bounds of any store

bool BlockContentBounds(const CBlockImage& store, TRect& bounds) {
  const uint32_t fillMask = store.BytesPerPixel() == 1 ? 0xFFu : 0xFFFFFFFFu;
  return TileSquaresBounds(store, bounds,
                           [fillMask](const STileInfo& t) { return t.committed || (t.fill & fillMask) != 0; });
}

// ---------------------------------------------------------------------------------------------
// Construction and slots

CBlockVCH::CBlockVCH() {
  viewBytes_ = static_cast<int32_t>(sizeof(TVChannel));
  DynArrayInit(rowTable_);
  CBlockVCH::SetTileGeometry();
}

CBlockVCH::CBlockVCH(int32_t width, int32_t height) : CBlockVCH() { Create(width, height); }

CBlockVCH::~CBlockVCH() {
  FreeAll();
  DynArrayFree(rowTable_);
}

bool CBlockVCH::Create(int32_t width, int32_t height) {
  FreeAll();
  SetTileGeometry();
  InitGeometry(width, height, 1);
  if (!DynArrayAlloc(rowTable_, sizeof(int32_t), tileHeight_)) return false;
  int32_t* rows = DynArrayItems<int32_t>(rowTable_);
  for (int32_t i = 0; i < tileHeight_; ++i) rows[i] = i * tileWidth_;
  if (width <= 0 || height <= 0) return false;
  valid_ = Allocate();
  return IsValid();
}

bool CBlockVCH::CreateCopy(const CBlockVCH& source) {
  if (&source == this) return IsValid();  // Create would free what it is to copy
  if (!Create(source.Width(), source.Height())) return false;
  if (CopyAllTiles(source)) return true;
  // A partial copy would pass for the source: hold nothing instead.
  FreeAll();
  return false;
}

bool CBlockVCH::IsValid() const { return CBlockImage::IsValid() && rowTable_.data != nullptr; }

void CBlockVCH::SetTileGeometry() {
  tileWidth_ = kTile;
  tileHeight_ = kTile;
  tileSize_ = kTile;
  tileMask_ = kMask;
  tileShift_ = kShift;
}

bool CBlockVCH::CommitTile(STileInfo& tile) {
  if (tile.committed) return true;
  if (!CBlockImage::CommitTile(tile)) return false;
  // Fresh memory reads as zero, so the usual fill 0 needs no writing.
  if ((tile.fill & 0xFFu) != 0)
    std::memset(tile.block, static_cast<uint8_t>(tile.fill), static_cast<size_t>(tile.byteSize));
  return true;
}

bool CBlockVCH::MakeTileView(STileInfo& tile) {
  if (tile.view != nullptr) return true;
  tile.fill = kDefaultFill;
  void* slot = TileViewSlot(tile);
  auto* view = slot != nullptr ? new (slot) TVChannel() : new (std::nothrow) TVChannel();
  if (view == nullptr) return false;
  // Kept even when Create fails: the store frees it with the table.
  tile.view = view;
  return view->Create(tile, DynArrayItems<int32_t>(rowTable_));
}

uint8_t* CBlockVCH::PixelPtr(int32_t x, int32_t y, bool commit) {
  if (!PointInGrid(x, y)) return nullptr;
  STileInfo* tile = GetTile(x >> kShift, y >> kShift, commit);
  if (tile == nullptr || !tile->committed) return nullptr;
  return PixelAddr8(TileView(*tile)->View(), x & kMask, y & kMask);
}

STileInfo* CBlockVCH::TileAt(int32_t x, int32_t y, bool commit) {
  return GetTile(x >> kShift, y >> kShift, commit);
}

// ---------------------------------------------------------------------------------------------
// Rectangle operations

bool CBlockVCH::FillRect(SRectWH& rect, uint8_t value) {
  if (!IsValid() || !ClipRect(rect)) return false;
  return WriteUniformPieces(
      *this, rect, [value](uint32_t& fill) { fill = value; },
      [value](TVChannel& view, SRectWH& local) { view.FillRect(local, value); });
}

bool CBlockVCH::XorRect(SRectWH& rect, uint8_t value) {
  if (!IsValid() || !ClipRect(rect)) return false;
  return WriteUniformPieces(
      *this, rect, [value](uint32_t& fill) { fill = (fill ^ value) & 0xFFu; },
      [value](TVChannel& view, SRectWH& local) { view.XorRect(local, value); });
}

bool CBlockVCH::XorAll(uint8_t value) {
  SRectWH r{0, 0, Width(), Height()};
  return XorRect(r, value);
}

bool CBlockVCH::CombineFrom(const CBlockVCH& source, TPoint& destPoint, SRectWH& sourceRect, ByteOp op) {
  if (op == nullptr) return false;
  return WithByteOp(op, [&](auto fn) { return CombineFromWith(source, destPoint, sourceRect, fn); });
}

bool CBlockVCH::CopyFrom(const CBlockVCH& source, TPoint& destPoint, SRectWH& sourceRect) {
  return CombineFromWith(source, destPoint, sourceRect, ByteOpFn<SetByteOp>{});
}

bool CBlockVCH::CopyAllFrom(const CBlockVCH& source, int32_t x, int32_t y) {
  TPoint point{x, y};
  SRectWH rect{0, 0, source.Width(), source.Height()};
  return CopyFrom(source, point, rect);
}

// ---------------------------------------------------------------------------------------------
// Flat channels

bool CBlockVCH::CopyFromChannel(const TChannel& channel, TPoint& destPoint, SRectWH& sourceRect) {
  if (!IsValid() || !channel.IsValid()) return false;
  if (!ClipBlit(Size(), channel.Size(), destPoint, sourceRect)) return false;
  const SRectWH destRect{destPoint.x, destPoint.y, sourceRect.width, sourceRect.height};
  if (!PrepareRect(destRect, false)) return false;
  bool allDone = true;
  TPoint point = destPoint;
  SRectWH rect = sourceRect;
  WalkFromImageWith(channel.Size(), point, rect, [&](const TPoint& dp, const SRectWH& sp) {
    STileInfo* t = GetTile(dp.x >> kShift, dp.y >> kShift, false);
    if (!t->committed) {
      allDone = false;
      return;
    }
    TPoint local = dp;
    TileLocalOrigin64(local);
    SRectWH piece = sp;
    channel.CopyRectTo(*TileView(*t), local, piece);
  });
  return allDone;
}

bool CBlockVCH::CopyToChannel(TChannel& channel, TPoint& destPoint, SRectWH& sourceRect,
                              bool skipZeroFill) const {
  if (!IsValid() || !channel.IsValid()) return false;
  return WalkToImageWith(channel.Size(), destPoint, sourceRect, [&](const TPoint& dp, const SRectWH& sp) {
    // An untouched tile reads as the untouched fill; its page stays untouched.
    const bool touched = TileTouched(sp.left >> kShift, sp.top >> kShift);
    const STileInfo* t = touched ? GetTile(sp.left >> kShift, sp.top >> kShift) : nullptr;
    if (t != nullptr && t->committed) {
      TPoint point = dp;
      SRectWH local = sp;
      TileLocalOrigin64(local);
      TileView(*t)->CopyRectTo(channel, point, local);
      return;
    }
    const uint8_t fill = static_cast<uint8_t>(t != nullptr ? t->fill : UntouchedFill());
    if (skipZeroFill && fill == 0) return;
    SRectWH area{dp.x, dp.y, sp.width, sp.height};
    channel.FillRect(area, fill);
  });
}

bool CBlockVCH::CopyAllToChannel(TChannel& channel, int32_t x, int32_t y, bool skipZeroFill) const {
  TPoint point{x, y};
  SRectWH rect{0, 0, Width(), Height()};
  return CopyToChannel(channel, point, rect, skipZeroFill);
}

// ---------------------------------------------------------------------------------------------
// Outside a rectangle

bool CBlockVCH::FillOutside(const TRect& bounds, uint8_t value) {
  if (!IsValid()) return false;
  const int32_t w = Width();
  const int32_t h = Height();
  SRectWH areas[4];
  int32_t count = 0;
  if (bounds.top > 0) areas[count++] = {0, 0, w, bounds.top};
  if (bounds.bottom < h) areas[count++] = {0, bounds.bottom, w, SubSat(h, bounds.bottom)};
  if (bounds.left > 0) areas[count++] = {0, 0, bounds.left, h};
  if (bounds.right < w) areas[count++] = {bounds.right, 0, SubSat(w, bounds.right), h};
  // Every tile any area needs is committed before the first byte changes.
  PendingCommits batch(*this);
  for (int32_t i = 0; i < count; ++i) {
    SRectWH r = areas[i];
    batch.CommitRect(r, true);
  }
  if (batch.Failed()) {
    batch.Rollback();
    return false;
  }
  bool any = false;
  for (int32_t i = 0; i < count; ++i) {
    SRectWH r = areas[i];
    any |= FillRect(r, value);
  }
  return any;
}

bool CBlockVCH::FillOutsideRect(SRectWH& rect, uint8_t value) {
  TRect bounds;
  RectToBounds(rect, bounds);
  return FillOutside(bounds, value);
}

// ---------------------------------------------------------------------------------------------
// Bounds

bool CBlockVCH::GetNonZeroBounds(TRect& bounds) const {
  if (!IsValid()) return false;
  bool any = false;
  TRect result{0, 0, 0, 0};
  auto include = [&](const TRect& b) {
    if (!any) {
      result = b;
      any = true;
    } else {
      UnionBounds(result, b);
    }
  };
  // Untouched tiles with a zero fill add nothing: skip their pages.
  const bool untouchedShows = (UntouchedFill() & 0xFFu) != 0;
  STileInfo scratch;
  for (int32_t i = 0; i < TileCount(); ++i) {
    if (!untouchedShows && !TileTouched(i)) {
      i = (((i >> kTilePageShift) + 1) << kTilePageShift) - 1;
      continue;
    }
    const STileInfo& t = TileRecord(i, scratch);
    if (!t.committed) {
      if ((t.fill & 0xFFu) != 0)
        include({t.pixelX, t.pixelY, t.pixelX + t.clippedWidth, t.pixelY + t.clippedHeight});
      continue;
    }
    const SDibView& view = TileView(t)->View();
    int32_t minX = t.clippedWidth, maxX = -1, minY = -1, maxY = -1;
    for (int32_t y = 0; y < t.clippedHeight; ++y) {
      const uint8_t* row = PixelAddr8(view, 0, y);
      int32_t first = 0;
      while (first < t.clippedWidth && row[first] == 0) ++first;
      if (first == t.clippedWidth) continue;
      int32_t last = t.clippedWidth - 1;
      while (row[last] == 0) --last;
      minX = std::min(minX, first);
      maxX = std::max(maxX, last);
      if (minY < 0) minY = y;
      maxY = y;
    }
    if (maxX >= 0) include({t.pixelX + minX, t.pixelY + minY, t.pixelX + maxX + 1, t.pixelY + maxY + 1});
  }
  if (any) bounds = result;
  return any;
}

// ---------------------------------------------------------------------------------------------
// Pixels

uint8_t CBlockVCH::GetPixel(int32_t x, int32_t y) const {
  if (!PointInGrid(x, y) || tiles_.entries == nullptr) return 0;
  const int32_t index = (x >> kShift) + (y >> kShift) * tilesAcross_;
  // A read leaves an untouched page untouched.
  if (!TileTouched(index)) return static_cast<uint8_t>(UntouchedFill());
  const STileInfo& t = tiles_.entries[index];
  if (!t.committed) return static_cast<uint8_t>(t.fill);
  return t.block[(y & kMask) * kTile + (x & kMask)];
}

uint8_t CBlockVCH::GetPixelClamped(int32_t x, int32_t y) const {
  if (!IsValid()) return 0;
  TPoint p{x, y};
  ClampPointToImage(p, Size());
  return GetPixel(p.x, p.y);
}

uint8_t CBlockVCH::GetPixelSafe(int32_t x, int32_t y) const {
  if (!PointInSize(x, y, Width(), Height())) return 0;
  return GetPixel(x, y);
}

bool CBlockVCH::SetPixel(int32_t x, int32_t y, uint8_t value) {
  uint8_t* p = PixelPtr(x, y, true);
  if (p == nullptr) return false;
  *p = value;
  return true;
}

uint8_t* CBlockVCH::WritePtr(int32_t x, int32_t y) { return PixelPtr(x, y, true); }

uint8_t* CBlockVCH::WritePtrClamped(int32_t x, int32_t y) {
  if (!IsValid()) return nullptr;
  TPoint p{x, y};
  ClampPointToImage(p, Size());
  return PixelPtr(p.x, p.y, true);
}

// ---------------------------------------------------------------------------------------------
// Rows

int32_t CBlockVCH::WriteRow(int32_t x, int32_t y, const uint8_t* bytes, int32_t count) {
  if (!IsValid() || bytes == nullptr || y < 0 || y >= Height()) return 0;
  int32_t start = 0, length = 0, skip = 0;
  if (!ClipRun(x, count, Width(), start, length, skip)) return 0;
  if (!PrepareRect(SRectWH{start, y, length, 1}, false)) return 0;
  const uint8_t* source = bytes + skip;
  int32_t done = 0;
  while (done < length) {
    const int32_t px = start + done;
    const int32_t piece = std::min(kTile - (px & kMask), length - done);
    uint8_t* dest = PixelPtr(px, y, false);
    if (dest == nullptr) return done;  // cannot happen: committed above
    std::memcpy(dest, source + done, static_cast<size_t>(piece));
    done += piece;
  }
  return done;
}

int32_t CBlockVCH::ReadRow(int32_t x, int32_t y, uint8_t* bytes, int32_t count) {
  if (!IsValid() || bytes == nullptr || y < 0 || y >= Height()) return 0;
  int32_t start = 0, length = 0, skip = 0;
  if (!ClipRun(x, count, Width(), start, length, skip)) return 0;
  uint8_t* out = bytes + skip;
  int32_t done = 0;
  while (done < length) {
    const int32_t px = start + done;
    const int32_t piece = std::min(kTile - (px & kMask), length - done);
    // Reading commits the tile; one that cannot be committed reads as its fill.
    const uint8_t* source = PixelPtr(px, y, true);
    if (source != nullptr) {
      std::memcpy(out + done, source, static_cast<size_t>(piece));
    } else {
      std::memset(out + done, GetPixel(px, y), static_cast<size_t>(piece));
    }
    done += piece;
  }
  return done;
}

// ---------------------------------------------------------------------------------------------
// Morphology

void CBlockVCH::ReadRowClamped(int32_t x0, int32_t y, int32_t count, uint8_t* out) const {
  const int32_t w = Width();
  const int32_t h = Height();
  y = ClampInt(y, 0, h - 1);
  int32_t i = 0;
  // Left of the picture: column 0.
  if (x0 < 0) {
    const int32_t n = static_cast<int32_t>(std::min<int64_t>(-int64_t{x0}, count));
    std::memset(out, GetPixel(0, y), static_cast<size_t>(n));
    i = n;
  }
  while (i < count) {
    const int64_t x = int64_t{x0} + i;
    if (x >= w) {
      std::memset(out + i, GetPixel(w - 1, y), static_cast<size_t>(count - i));
      break;
    }
    const int32_t px = static_cast<int32_t>(x);
    const int32_t piece = static_cast<int32_t>(std::min<int64_t>({kTile - (px & kMask), count - i, w - x}));
    const STileInfo* t = TileTouched(px >> kShift, y >> kShift) ? GetTile(px >> kShift, y >> kShift) : nullptr;
    if (t != nullptr && t->committed) {
      std::memcpy(out + i, PixelAddr8(TileView(*t)->View(), px & kMask, y & kMask), static_cast<size_t>(piece));
    } else {
      std::memset(out + i, static_cast<uint8_t>(t != nullptr ? t->fill : UntouchedFill()),
                  static_cast<size_t>(piece));
    }
    i += piece;
  }
}

template <bool kMax>
bool CBlockVCH::Morphology(const CBlockVCH& source, TRect bounds) {
  if (!IsValid() || !source.IsValid()) return false;
  if (!ClipBounds(bounds)) return false;
  const int32_t width = bounds.right - bounds.left;
  // Three row buffers and one source line with a pixel either side.
  uint8_t* block = nullptr;
  if (!TryGetMem(block, int64_t{width} * 4 + 2)) return false;
  uint8_t* a = block;
  uint8_t* b = a + width;
  uint8_t* c = b + width;
  uint8_t* line = c + width;
  SRectWH area;
  BoundsToRect(bounds, area);
  if (!PrepareRect(area, false)) {
    FreeMem(block);
    return false;
  }
  auto pick = [](uint8_t p, uint8_t q) -> uint8_t { return kMax ? std::max(p, q) : std::min(p, q); };
  auto horizontal = [&](int32_t row, uint8_t* out) {
    source.ReadRowClamped(bounds.left - 1, row, width + 2, line);
    for (int32_t i = 0; i < width; ++i) out[i] = pick(pick(line[i], line[i + 1]), line[i + 2]);
  };
  horizontal(bounds.top - 1, a);
  horizontal(bounds.top, b);
  horizontal(bounds.top + 1, c);
  for (int32_t y = bounds.top; y < bounds.bottom; ++y) {
    if (y > bounds.top) {
      uint8_t* old = a;
      a = b;
      b = c;
      c = old;
      horizontal(y + 1, c);
    }
    int32_t i = 0;
    while (i < width) {
      const int32_t px = bounds.left + i;
      const int32_t piece = std::min(kTile - (px & kMask), width - i);
      uint8_t* dest = PixelPtr(px, y, false);
      if (dest != nullptr) {
        for (int32_t k = 0; k < piece; ++k) dest[k] = pick(pick(a[i + k], b[i + k]), c[i + k]);
      }
      i += piece;
    }
  }
  FreeMem(block);
  return true;
}

bool CBlockVCH::GrowFrom(const CBlockVCH& source, const TRect& bounds) {
  return Morphology<true>(source, bounds);
}

bool CBlockVCH::GrowInsideContent(const CBlockVCH& source) {
  TRect bounds;
  if (!BlockContentBounds(source, bounds) || !ClipBounds(bounds)) return false;
  return GrowFrom(source, bounds);
}

bool CBlockVCH::GrowAroundContent(const CBlockVCH& source) {
  TRect bounds;
  if (!BlockContentBounds(source, bounds)) return false;
  GrowBounds(bounds, 1);
  if (!ClipBounds(bounds)) return false;
  return GrowFrom(source, bounds);
}

bool CBlockVCH::ShrinkFrom(const CBlockVCH& source) {
  TRect bounds;
  if (!BlockContentBounds(source, bounds) || !ClipBounds(bounds)) return false;
  return Morphology<false>(source, bounds);
}

// ---------------------------------------------------------------------------------------------
// From a 32-bit store

template <class Compute>
bool CBlockVCH::FromBlock(CBlockVMTC& source, Compute compute) {
  if (!IsValid() || !source.IsValid()) return false;
  const int32_t w = std::min(Width(), source.Width());
  const int32_t h = std::min(Height(), source.Height());
  if (w <= 0 || h <= 0) return false;
  const SRectWH area{0, 0, w, h};
  // Both stores' tiles of the area are committed first (the source is read through its write
  // pointers); a refusal gives everything back.
  PendingCommits sourceBatch(source);
  SRectWH r = area;
  sourceBatch.CommitRect(r, false);
  if (sourceBatch.Failed() || !PrepareRect(area, false)) {
    sourceBatch.Rollback();
    source.UpdateContentRects();
    return false;
  }
  for (int32_t y = 0; y < h; ++y) {
    int32_t x = 0;
    while (x < w) {
      const int32_t piece = std::min({32 - (x & 31), kTile - (x & kMask), w - x});
      const uint32_t* s = reinterpret_cast<const uint32_t*>(source.PixelPtr(x, y, false));
      uint8_t* d = PixelPtr(x, y, false);
      if (s != nullptr && d != nullptr) {
        for (int32_t i = 0; i < piece; ++i) d[i] = compute(s[i]);
      }
      x += piece;
    }
  }
  return true;
}

bool CBlockVCH::FromLuminance(CBlockVMTC& source, bool invert) {
  if (invert) {
    return FromBlock(source, [](uint32_t p) -> uint8_t {
      const uint32_t l = 255u - static_cast<uint32_t>(PixelLuminance(&p));
      return static_cast<uint8_t>(l * (p >> 24) / 255u);
    });
  }
  return FromBlock(source, [](uint32_t p) -> uint8_t {
    const uint32_t l = static_cast<uint32_t>(PixelLuminance(&p));
    return static_cast<uint8_t>(l * (p >> 24) / 255u);
  });
}

bool CBlockVCH::FromAlpha(CBlockVMTC& source) {
  return FromBlock(source, [](uint32_t p) -> uint8_t { return static_cast<uint8_t>(p >> 24); });
}

// ---------------------------------------------------------------------------------------------
// Scaled output

bool CBlockVCH::DrawScaledTo(TMTC& image, int32_t destLeft, int32_t destTop, int32_t destWidth,
                             int32_t destHeight, int32_t sourceX, int32_t sourceY, int32_t sourceWidth,
                             int32_t sourceHeight) const {
  if (!IsValid()) return false;
  const int64_t width = Width();
  const int64_t height = Height();
  return DrawBoxAverageTo(image, destLeft, destTop, destWidth, destHeight, sourceX, sourceY, sourceWidth,
                          sourceHeight, [&](int64_t ox, int64_t oy, int64_t bw, int64_t bh) {
                            // GetPixelSafe: 0 outside the picture.
                            SBoxSums<uint8_t> sums;
                            const int64_t first = std::max<int64_t>(ox, 0);
                            const int64_t end = std::min<int64_t>(ox + bw + 1, width);
                            const int64_t top = std::max<int64_t>(oy, 0);
                            const int64_t bottom = std::min<int64_t>(oy + bh + 1, height);
                            if (first < end && top < bottom) AddBoxToSums(*this, first, end, top, bottom, sums);
                            return uint32_t{sums.Average((bw + 1) * (bh + 1))} * 0x010101u;
                          });
}

bool CBlockVCH::ScaleTo(CBlockVCH& dest) const {
  if (!IsValid() || !dest.IsValid() || &dest == this) return false;
  if (!ResampleInto<uint8_t>(dest, Width(), Height(),
                             [this](int32_t x, int32_t y) { return GetPixelSafe(x, y); }))
    return false;
  dest.Compact();
  return true;
}

// ---------------------------------------------------------------------------------------------

int32_t CBlockVCH::Compact() {
  int32_t released = 0;
  ForEachTouchedTile([&](STileInfo& t) {
    if (!t.committed) return;
    const uint8_t* p = t.block;
    const size_t n = static_cast<size_t>(t.byteSize);
    // All bytes equal exactly when every byte equals the next.
    if (n > 1 && std::memcmp(p, p + 1, n - 1) != 0) return;
    const uint32_t oldFill = t.fill;
    t.fill = p[0];
    if (DecommitTile(t)) {
      ++released;
    } else {
      t.fill = oldFill;
    }
  });
  return released;
}

}  // namespace tf
