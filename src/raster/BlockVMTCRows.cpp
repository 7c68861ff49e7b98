#include "raster/BlockVMTCRows.h"

#include <algorithm>
#include <cstring>
#include <exception>

#include "platform/Debug.h"
#include "raster/BlockAverage.h"
#include "raster/ByteImage.h"

namespace tf {

namespace {

constexpr int32_t kTile = 32;
constexpr int32_t kMask = 31;
constexpr int32_t kShift = 5;

// Address of pixel (x, y) of a committed tile; no checks.
inline uint32_t* TilePixel(const STileInfo& tile, int32_t x, int32_t y) {
  return reinterpret_cast<uint32_t*>(tile.block) + (y & kMask) * kTile + (x & kMask);
}

// Commits every tile of the rectangle (already inside the store) as one step; on a refusal
// gives back what it committed, repairs the content rectangles and answers false.
bool CommitRect(CBlockVMTC& store, const SRectWH& rect) {
  if (store.PrepareRect(rect, false)) return true;
  store.UpdateContentRects();
  return false;
}

// Adds GetPixelClamped over (x0 .. x0 + count - 1, y), a tile at a time.
void AddRowClamped(const CBlockVMTC& store, int64_t x0, int64_t y, int64_t count, SBoxSums<uint32_t>& sums) {
  const int32_t w = store.Width();
  const int32_t row = static_cast<int32_t>(std::clamp<int64_t>(y, 0, store.Height() - 1));
  int64_t x = x0;
  const int64_t end = x0 + count;
  if (x < 0) {
    const int64_t n = std::min<int64_t>(end, 0) - x;
    sums.Add(store.GetPixel(0, row), n);
    x += n;
  }
  const int64_t inside = std::min<int64_t>(end, w);
  if (x < inside) {
    AddRowToBox(store, x, inside, row, sums);
    x = inside;
  }
  if (x < end) sums.Add(store.GetPixel(w - 1, row), end - x);
}

// Adds AddRowClamped over (x0 .. x0 + cols - 1, y) times times: the row is summed once.
void AddRowClampedTimes(const CBlockVMTC& store, int64_t x0, int64_t y, int64_t cols, int64_t times,
                        SBoxSums<uint32_t>& sums) {
  SBoxSums<uint32_t> row;
  AddRowClamped(store, x0, y, cols, row);
  sums.b += row.b * times;
  sums.g += row.g * times;
  sums.r += row.r * times;
  sums.a += row.a * times;
}

// Adds GetPixelClamped over the box (x0 .. x0 + cols - 1) x (y0 .. y0 + rows - 1): the rows
// above the picture all read its first row and those below it its last, so each run is summed
// once times its length; the columns that clamp to an edge column one row at a time, the part
// inside the picture a tile at a time.
void AddBoxClamped(const CBlockVMTC& store, int64_t x0, int64_t y0, int64_t cols, int64_t rows,
                   SBoxSums<uint32_t>& sums) {
  const int64_t w = store.Width();
  const int64_t h = store.Height();
  const int64_t top = std::clamp<int64_t>(y0, 0, h);
  const int64_t bottom = std::clamp<int64_t>(y0 + rows, top, h);
  const int64_t above = std::min(y0 + rows, top) - y0;  // rows y < top (all above the picture)
  const int64_t belowStart = std::max(bottom, y0);      // rows y >= bottom (all below it)
  const int64_t below = y0 + rows - belowStart;
  if (above > 0) AddRowClampedTimes(store, x0, y0, cols, above, sums);
  if (below > 0) AddRowClampedTimes(store, x0, belowStart, cols, below, sums);
  if (top >= bottom) return;
  const int64_t left = std::clamp<int64_t>(x0, 0, w);
  const int64_t right = std::clamp<int64_t>(x0 + cols, left, w);
  if (left > x0 || right < x0 + cols) {
    for (int64_t y = top; y < bottom; ++y) {
      const int32_t row = static_cast<int32_t>(y);
      if (left > x0) sums.Add(store.GetPixel(0, row), std::min(left, x0 + cols) - x0);
      if (right < x0 + cols)
        sums.Add(store.GetPixel(static_cast<int32_t>(w - 1), row), x0 + cols - std::max(right, x0));
    }
  }
  if (left < right) AddBoxToSums(store, left, right, top, bottom, sums);
}

// After a WriteTilesAtomic: a refused write leaves the content rectangles repaired, a finished
// one the store compacted.
bool FinishWrite(CBlockVMTC& store, bool written) {
  if (!written) {
    store.UpdateContentRects();
    return false;
  }
  store.Compact();
  return true;
}

// Flips and the half turn: a flat copy of the rectangle, the flat routine on it, and the copy
// written back as one step; then Compact.
template <class Transform>
bool TransformRect(CBlockVMTC& store, SRectWH& rect, Transform transform) {
  try {
    if (!store.IsValid() || !store.ClipRect(rect)) return false;
    TMTC image(rect.width, rect.height);
    if (!image.IsValid()) return false;
    TPoint origin{0, 0};
    SRectWH source = rect;
    store.CopyToImage(image, origin, source, 255, false);
    SRectWH all{0, 0, rect.width, rect.height};
    transform(image, all);
    const SDibView& view = image.View();
    const bool written =
        WriteTilesAtomic<uint32_t>(store, rect, [&](const SRectWH& piece, uint32_t* out, int32_t stride) {
          for (int32_t j = 0; j < piece.height; ++j) {
            const uint32_t* row = PixelAddr32(view, piece.left - rect.left, piece.top - rect.top + j);
            std::memcpy(out + static_cast<std::ptrdiff_t>(j) * stride, row, sizeof(uint32_t) * piece.width);
          }
        });
    return FinishWrite(store, written);
  } catch (const std::exception& e) {
    DebugOutF("CBlockVMTC: transform failed: %s\n", e.what());
    store.UpdateContentRects();
    return false;
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Rows

int32_t CBlockVMTC::WriteChannelRow(int32_t x, int32_t y, int32_t channel, const uint8_t* bytes, int32_t count) {
  if (!IsValid() || bytes == nullptr || channel < 0 || channel > 3 || y < 0 || y >= Height()) return 0;
  int32_t start = 0, length = 0, skip = 0;
  if (!ClipRun(x, count, Width(), start, length, skip)) return 0;
  if (!CommitRect(*this, SRectWH{start, y, length, 1})) return 0;
  const uint8_t* source = bytes + skip;
  int32_t done = 0;
  while (done < length) {
    const int32_t px = start + done;
    const int32_t piece = std::min(kTile - (px & kMask), length - done);
    const STileInfo* t = GetTile(px >> kShift, y >> kShift);
    uint8_t* dest = reinterpret_cast<uint8_t*>(TilePixel(*t, px, y)) + channel;
    for (int32_t i = 0; i < piece; ++i) dest[4 * i] = source[done + i];
    done += piece;
  }
  return done;
}

int32_t CBlockVMTC::ReadChannelRow(int32_t x, int32_t y, int32_t channel, uint8_t* bytes, int32_t count) {
  if (!IsValid() || bytes == nullptr || channel < 0 || channel > 3 || y < 0 || y >= Height()) return 0;
  int32_t start = 0, length = 0, skip = 0;
  if (!ClipRun(x, count, Width(), start, length, skip)) return 0;
  uint8_t* out = bytes + skip;
  const int32_t shift = channel * 8;
  int32_t done = 0;
  while (done < length) {
    const int32_t px = start + done;
    const int32_t piece = std::min(kTile - (px & kMask), length - done);
    // Reading commits the tile; one whose commit is refused reads as its fill.
    const STileInfo* t = GetTile(px >> kShift, y >> kShift, true);
    if (t != nullptr) {
      const uint8_t* source = reinterpret_cast<const uint8_t*>(TilePixel(*t, px, y)) + channel;
      for (int32_t i = 0; i < piece; ++i) out[done + i] = source[4 * i];
    } else {
      std::memset(out + done, static_cast<uint8_t>(GetPixel(px, y) >> shift), static_cast<size_t>(piece));
    }
    done += piece;
  }
  return done;
}

int32_t CBlockVMTC::WriteBitRow(int32_t x, int32_t y, const uint8_t* bits, int32_t byteCount) {
  if (!IsValid() || bits == nullptr || byteCount <= 0 || y < 0 || y >= Height()) return 0;
  const int64_t x0 = int64_t{x} & ~int64_t{7};
  const int64_t width = Width();
  const int64_t available = (width + 7) / 8 - x0 / 8;
  const int64_t bytes = std::min<int64_t>(byteCount, available);
  const int64_t skipBytes = x0 < 0 ? -x0 / 8 : 0;
  if (bytes <= skipBytes) return 0;
  // Pixels of the bytes used, clipped to the picture.
  const int32_t start = static_cast<int32_t>(x0 + 8 * skipBytes);
  const int32_t end = static_cast<int32_t>(std::min<int64_t>(x0 + 8 * bytes, width));
  if (!CommitRect(*this, SRectWH{start, y, end - start, 1})) return 0;
  int32_t px = start;
  while (px < end) {
    const int32_t piece = std::min(kTile - (px & kMask), end - px);
    const STileInfo* t = GetTile(px >> kShift, y >> kShift);
    uint32_t* dest = TilePixel(*t, px, y);
    for (int32_t i = 0; i < piece; ++i) {
      const int64_t offset = px + i - x0;
      const bool set = (bits[offset >> 3] & (0x80u >> (offset & 7))) != 0;
      dest[i] = (dest[i] & 0xFF000000u) | (set ? 0u : 0x00FFFFFFu);
    }
    px += piece;
  }
  return static_cast<int32_t>(bytes - skipBytes);
}

// ---------------------------------------------------------------------------------------------
// Whole-store transforms

bool CBlockVMTC::FlipHorizontal(SRectWH& rect) {
  return TransformRect(*this, rect, [](TMTC& image, SRectWH& all) { image.FlipHorizontal(all); });
}

bool CBlockVMTC::FlipVertical(SRectWH& rect) {
  return TransformRect(*this, rect, [](TMTC& image, SRectWH& all) { image.FlipVertical(all); });
}

bool CBlockVMTC::Rotate180(SRectWH& rect) {
  return TransformRect(*this, rect, [](TMTC& image, SRectWH& all) { image.Rotate180(all); });
}

bool RotateBlockTo(const CBlockVMTC& store, TMTC& image, bool clockwise) {
  const int32_t w = store.Width();
  const int32_t h = store.Height();
  if (!store.IsValid() || !image.IsValid() || image.Width() != h || image.Height() != w) return false;
  for (int32_t y = 0; y < w; ++y) {
    uint32_t* out = image.Pixel(0, y);
    if (clockwise) {
      for (int32_t x = 0; x < h; ++x) out[x] = store.GetPixel(y, h - 1 - x);
    } else {
      for (int32_t x = 0; x < h; ++x) out[x] = store.GetPixel(w - 1 - y, x);
    }
  }
  return true;
}

void CBlockVMTC::RotateRightTo(TMTC& image) const { RotateBlockTo(*this, image, true); }

void CBlockVMTC::RotateLeftTo(TMTC& image) const { RotateBlockTo(*this, image, false); }

void CBlockVMTC::RotateTo(TMTC& image, bool clockwise) const { RotateBlockTo(*this, image, clockwise); }

bool RotateBlockToBlock(const CBlockVMTC& store, const TPoint& destPoint, CBlockVMTC& dest, bool clockwise) {
  if (!store.IsValid() || !dest.IsValid() || &store == &dest) return false;
  const int32_t w = store.Width();
  const int32_t h = store.Height();
  const int32_t dw = dest.Width();
  const int32_t dh = dest.Height();
  // The turned picture is h wide and w high; points outside dest land on its nearest edge
  // pixel, so the pixels written are the turned rectangle clamped into dest.
  auto clampX = [&](int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, 0, dw - 1)); };
  auto clampY = [&](int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, 0, dh - 1)); };
  const int32_t left = clampX(destPoint.x);
  const int32_t right = clampX(int64_t{destPoint.x} + h - 1);
  const int32_t top = clampY(destPoint.y);
  const int32_t bottom = clampY(int64_t{destPoint.y} + w - 1);
  if (!CommitRect(dest, SRectWH{left, top, right - left + 1, bottom - top + 1})) return false;
  for (int32_t y = 0; y < w; ++y) {
    const int32_t dy = clampY(int64_t{destPoint.y} + y);
    for (int32_t x = 0; x < h; ++x) {
      const int32_t dx = clampX(int64_t{destPoint.x} + x);
      const uint32_t pixel = clockwise ? store.GetPixel(y, h - 1 - x) : store.GetPixel(w - 1 - y, x);
      *TilePixel(*dest.GetTile(dx >> kShift, dy >> kShift, false), dx, dy) = pixel;
    }
  }
  return true;
}

void CBlockVMTC::RotateRightToBlock(const TPoint& destPoint, CBlockVMTC& dest) const {
  RotateBlockToBlock(*this, destPoint, dest, true);
}

void CBlockVMTC::RotateLeftToBlock(const TPoint& destPoint, CBlockVMTC& dest) const {
  RotateBlockToBlock(*this, destPoint, dest, false);
}

void CBlockVMTC::RotateToBlock(const TPoint& destPoint, CBlockVMTC& dest, bool clockwise) const {
  RotateBlockToBlock(*this, destPoint, dest, clockwise);
}

// ---------------------------------------------------------------------------------------------
// Bounds

bool TileHasAlpha(const CBlockVMTC& store, const STileInfo& tile) {
  (void)store;
  if (!tile.committed) return false;
  const uint32_t* p = reinterpret_cast<const uint32_t*>(tile.block);
  const int32_t n = tile.byteSize / 4;
  uint32_t any = 0;
  for (int32_t i = 0; i < n; ++i) any |= p[i];
  return (any >> 24) != 0;
}

bool BlockVisibleBounds(const CBlockVMTC& store, TRect& bounds) {
  return TileSquaresBounds(store, bounds, [&store](const STileInfo& t) {
    return t.committed ? TileHasAlpha(store, t) : (t.fill >> 24) != 0;
  });
}

// ---------------------------------------------------------------------------------------------
// Scaled output

bool DrawBlockScaledTo(const CBlockVMTC& store, TMTC& image, int32_t destLeft, int32_t destTop, int32_t destWidth,
                       int32_t destHeight, int32_t sourceX, int32_t sourceY, int32_t sourceWidth,
                       int32_t sourceHeight) {
  if (!store.IsValid()) return false;
  return DrawBoxAverageTo(image, destLeft, destTop, destWidth, destHeight, sourceX, sourceY, sourceWidth,
                          sourceHeight, [&](int64_t ox, int64_t oy, int64_t bw, int64_t bh) {
                            SBoxSums<uint32_t> sums;
                            AddBoxClamped(store, ox, oy, bw + 1, bh + 1, sums);
                            return sums.Average((bw + 1) * (bh + 1));
                          });
}

void CBlockVMTC::DrawScaledTo(TMTC& image, int32_t destLeft, int32_t destTop, int32_t destWidth,
                              int32_t destHeight, int32_t sourceX, int32_t sourceY, int32_t sourceWidth,
                              int32_t sourceHeight) const {
  DrawBlockScaledTo(*this, image, destLeft, destTop, destWidth, destHeight, sourceX, sourceY, sourceWidth,
                    sourceHeight);
}

bool ScaleBlockTo(const CBlockVMTC& store, CBlockVMTC& dest) {
  if (!store.IsValid() || !dest.IsValid() || &store == &dest) return false;
  const bool written = ResampleInto<uint32_t>(dest, store.Width(), store.Height(),
                                              [&](int32_t x, int32_t y) { return store.GetPixelClamped(x, y); });
  return FinishWrite(dest, written);
}

void CBlockVMTC::ScaleTo(CBlockVMTC& dest) const { ScaleBlockTo(*this, dest); }

// ---------------------------------------------------------------------------------------------
// Alpha-plane snapshots

bool ByteImageGrabAlpha(SByteImage& byteImage, const CBlockVMTC& store, SRectWH& rect) {
  if (!store.IsValid() || !store.ClipRect(rect)) return false;
  if (!ByteImageAlloc(byteImage, rect.width, rect.height)) return false;
  for (int32_t j = 0; j < rect.height; ++j) {
    uint8_t* out = ByteImagePixel(byteImage, 0, j);
    for (int32_t i = 0; i < rect.width; ++i)
      out[i] = static_cast<uint8_t>(store.GetPixelClamped(rect.left + i, rect.top + j) >> 24);
  }
  return true;
}

bool ByteImagePutAlpha(const SByteImage& byteImage, CBlockVMTC& store, const SRectWH& rect) {
  if (!ByteImageAssigned(byteImage) || !store.IsValid()) return false;
  SRectWH area{rect.left, rect.top, byteImage.width, byteImage.height};
  if (!store.ClipRect(area)) return false;
  const bool written =
      WriteTilesAtomic<uint32_t>(store, area, [&](const SRectWH& piece, uint32_t* out, int32_t stride) {
        for (int32_t j = 0; j < piece.height; ++j) {
          const int32_t y = piece.top + j;
          const uint8_t* alpha = ByteImagePixel(byteImage, piece.left - rect.left, y - rect.top);
          for (int32_t i = 0; i < piece.width; ++i)
            out[static_cast<std::ptrdiff_t>(j) * stride + i] =
                (store.GetPixel(piece.left + i, y) & 0x00FFFFFFu) | uint32_t{alpha[i]} << 24;
        }
      });
  return FinishWrite(store, written);
}

bool ByteImageSwapAlpha(SByteImage& byteImage, CBlockVMTC& store) {
  if (!ByteImageAssigned(byteImage) || !store.IsValid() || byteImage.width != store.Width() ||
      byteImage.height != store.Height())
    return false;
  auto produce = [&](const SRectWH& piece, uint32_t* out, int32_t stride) {
    for (int32_t j = 0; j < piece.height; ++j) {
      const int32_t y = piece.top + j;
      const uint8_t* alpha = ByteImagePixel(byteImage, piece.left, y);
      for (int32_t i = 0; i < piece.width; ++i)
        out[static_cast<std::ptrdiff_t>(j) * stride + i] =
            (store.GetPixel(piece.left + i, y) & 0x00FFFFFFu) | uint32_t{alpha[i]} << 24;
    }
  };
  // Just before a piece changes, its old alphas go into the byte image (the new ones were taken
  // from it already).
  auto keepOld = [&](const SRectWH& piece) {
    for (int32_t j = 0; j < piece.height; ++j) {
      const int32_t y = piece.top + j;
      uint8_t* alpha = ByteImagePixel(byteImage, piece.left, y);
      for (int32_t i = 0; i < piece.width; ++i)
        alpha[i] = static_cast<uint8_t>(store.GetPixel(piece.left + i, y) >> 24);
    }
  };
  const bool written =
      WriteTilesAtomic<uint32_t>(store, SRectWH{0, 0, store.Width(), store.Height()}, produce, keepOld);
  return FinishWrite(store, written);
}

}  // namespace tf
