// Box averages of the tiled stores (DrawScaledTo, ScaleTo) for 8- and 32-bit pixels.
#pragma once
// Box averages of tiled stores: the scaled output of both stores (DrawScaledTo, ScaleTo) with
// the pixel type as a template argument. Pixel is uint8_t for 8-bit stores and uint32_t
// (B, G, R, A averaged channel by channel) for 32-bit ones.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "raster/BlockImage.h"
#include "raster/BlockTileWrite.h"
#include "raster/FlatImage.h"

namespace tf {

// Sums of the samples of one box.
template <class Pixel>
struct SBoxSums;

template <>
struct SBoxSums<uint8_t> {
  int64_t sum = 0;
  void Add(uint8_t value, int64_t count) { sum += count * value; }
  // Truncated.
  uint8_t Average(int64_t count) const { return static_cast<uint8_t>(sum / count); }
};

template <>
struct SBoxSums<uint32_t> {
  int64_t b = 0, g = 0, r = 0, a = 0;
  void Add(uint32_t p, int64_t count) {
    b += count * (p & 0xFFu);
    g += count * ((p >> 8) & 0xFFu);
    r += count * ((p >> 16) & 0xFFu);
    a += count * (p >> 24);
  }
  // Adds other's sums times times: the same samples taken that many times over.
  void AddScaled(const SBoxSums& other, int64_t times) {
    b += times * other.b;
    g += times * other.g;
    r += times * other.r;
    a += times * other.a;
  }
  // Each channel truncated.
  uint32_t Average(int64_t count) const {
    return static_cast<uint32_t>(b / count) | static_cast<uint32_t>(g / count) << 8 |
           static_cast<uint32_t>(r / count) << 16 | static_cast<uint32_t>(a / count) << 24;
  }
};

// Adds the pixels of the box (x .. xEnd - 1) x (y .. yEnd - 1) of the store, all inside the
// picture, a tile at a time: a committed tile pixel by pixel, an uncommitted one as its fill
// times the pixels covered. The sums are integers, so the order of the additions is free.
template <class Pixel>
void AddBoxToSums(const CBlockImage& store, int64_t x, int64_t xEnd, int64_t y, int64_t yEnd,
                  SBoxSums<Pixel>& sums) {
  const int32_t tileSide = store.TileWidth();
  const int32_t mask = store.TileMask();
  const int32_t shift = store.TileShift();
  for (int64_t ty = y; ty < yEnd;) {
    const int32_t py = static_cast<int32_t>(ty);
    const int32_t rows = static_cast<int32_t>(std::min<int64_t>(tileSide - (py & mask), yEnd - ty));
    for (int64_t tx = x; tx < xEnd;) {
      const int32_t px = static_cast<int32_t>(tx);
      const int32_t cols = static_cast<int32_t>(std::min<int64_t>(tileSide - (px & mask), xEnd - tx));
      const STileInfo* t = store.GetTile(px >> shift, py >> shift);
      if (t->committed) {
        const Pixel* p = reinterpret_cast<const Pixel*>(t->block) + (py & mask) * tileSide + (px & mask);
        for (int32_t j = 0; j < rows; ++j, p += tileSide)
          for (int32_t i = 0; i < cols; ++i) sums.Add(p[i], 1);
      } else {
        sums.Add(static_cast<Pixel>(t->fill), int64_t{rows} * cols);
      }
      tx += cols;
    }
    ty += rows;
  }
}

// Adds the pixels (x .. end - 1, row) of the store, all inside the picture.
template <class Pixel>
void AddRowToBox(const CBlockImage& store, int64_t x, int64_t end, int32_t row, SBoxSums<Pixel>& sums) {
  AddBoxToSums(store, x, end, row, int64_t{row} + 1, sums);
}

// Box-average reduction into a flat 32-bit image: the source area maps onto the whole image,
// the destination rectangle (clipped to the image) only limits the pixels computed; steps in
// 1/1024 pixel. For each pixel, average(ox, oy, bw, bh) answers the average of the
// (bw + 1) x (bh + 1) samples from (ox, oy). False when nothing is drawn (invalid image, empty
// rectangle after clipping, empty source size).
template <class Average>
bool DrawBoxAverageTo(TMTC& image, int32_t destLeft, int32_t destTop, int32_t destWidth, int32_t destHeight,
                      int32_t sourceX, int32_t sourceY, int32_t sourceWidth, int32_t sourceHeight,
                      Average&& average) {
  if (!image.IsValid() || sourceWidth <= 0 || sourceHeight <= 0) return false;
  TRect bounds;
  RectToBounds(SRectWH{destLeft, destTop, destWidth, destHeight}, bounds);
  if (!image.ClipBounds(bounds)) return false;
  const int64_t imageWidth = image.Width();
  const int64_t imageHeight = image.Height();
  const int64_t xStep = int64_t{sourceWidth} * 1024 / imageWidth;
  const int64_t yStep = int64_t{sourceHeight} * 1024 / imageHeight;
  const int64_t bw = sourceWidth / imageWidth;
  const int64_t bh = sourceHeight / imageHeight;
  for (int32_t y = bounds.top; y < bounds.bottom; ++y) {
    const int64_t oy = sourceY + ((yStep * y) >> 10);
    uint32_t* out = image.Pixel(0, y);
    for (int32_t x = bounds.left; x < bounds.right; ++x) {
      const int64_t ox = sourceX + ((xStep * x) >> 10);
      out[x] = average(ox, oy, bw, bh);
    }
  }
  return true;
}

// Resamples a width x height picture into the whole of dest: each pixel the average of 16
// samples at quarter steps, sample(x, y) reading the picture. Written with WriteTilesAtomic
// (false, dest unchanged, when a tile cannot be committed).
template <class Pixel, class Sample>
bool ResampleInto(CBlockImage& dest, int64_t width, int64_t height, Sample&& sample) {
  const int64_t dw = dest.Width();
  const int64_t dh = dest.Height();
  const int64_t xStep = width * 1024 / dw;
  const int64_t yStep = height * 1024 / dh;
  const int64_t qx = (width * 1024 / 4) / dw;
  const int64_t qy = (height * 1024 / 4) / dh;
  auto produce = [&](const SRectWH& piece, Pixel* out, int32_t stride) {
    for (int32_t j = 0; j < piece.height; ++j) {
      const int64_t y = piece.top + j;
      for (int32_t i = 0; i < piece.width; ++i) {
        const int64_t x = piece.left + i;
        SBoxSums<Pixel> sums;
        for (int32_t si = 0; si < 4; ++si) {
          const int32_t sy = static_cast<int32_t>((yStep * y + qy * si) >> 10);
          for (int32_t sj = 0; sj < 4; ++sj)
            sums.Add(sample(static_cast<int32_t>((xStep * x + qx * sj) >> 10), sy), 1);
        }
        out[static_cast<std::ptrdiff_t>(j) * stride + i] = sums.Average(16);
      }
    }
  };
  return WriteTilesAtomic<Pixel>(dest, SRectWH{0, 0, dest.Width(), dest.Height()}, produce);
}

}  // namespace tf
