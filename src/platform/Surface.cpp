#include "platform/Surface.h"

#include <algorithm>

namespace tf {

MemorySurface::MemorySurface(int32_t width, int32_t height, uint32_t fill) { Reset(width, height, fill); }

void MemorySurface::Reset(int32_t width, int32_t height, uint32_t fill) {
  width_ = std::max(width, 0);
  height_ = std::max(height, 0);
  pixels_.assign(static_cast<size_t>(width_) * static_cast<size_t>(height_), fill);
  draws_ = 0;
}

bool MemorySurface::Blit(int32_t dx, int32_t dy, int32_t w, int32_t h, const PixelBlockView& block, int32_t sx,
                         int32_t sy) {
  if (refuse_ || block.topRow == nullptr) return false;
  ++draws_;
  for (int64_t j = 0; j < h; ++j) {
    const int64_t ty = int64_t{dy} + j, fy = int64_t{sy} + j;
    if (ty < 0 || ty >= height_ || fy < 0 || fy >= block.height) continue;
    const uint32_t* row = block.Row(static_cast<int32_t>(fy));
    for (int64_t i = 0; i < w; ++i) {
      const int64_t tx = int64_t{dx} + i, fx = int64_t{sx} + i;
      if (tx < 0 || tx >= width_ || fx < 0 || fx >= block.width) continue;
      pixels_[static_cast<size_t>(ty * width_ + tx)] = row[fx] | 0xFF000000u;
    }
  }
  return true;
}

bool MemorySurface::StretchBlit(int32_t dx, int32_t dy, int32_t dw, int32_t dh, const PixelBlockView& block,
                                int32_t sx, int32_t sy, int32_t sw, int32_t sh) {
  if (refuse_ || block.topRow == nullptr || dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return false;
  ++draws_;
  for (int64_t j = 0; j < dh; ++j) {
    const int64_t ty = int64_t{dy} + j;
    const int64_t fy = int64_t{sy} + j * sh / dh;
    if (ty < 0 || ty >= height_ || fy < 0 || fy >= block.height) continue;
    const uint32_t* row = block.Row(static_cast<int32_t>(fy));
    for (int64_t i = 0; i < dw; ++i) {
      const int64_t tx = int64_t{dx} + i;
      const int64_t fx = int64_t{sx} + i * sw / dw;
      if (tx < 0 || tx >= width_ || fx < 0 || fx >= block.width) continue;
      pixels_[static_cast<size_t>(ty * width_ + tx)] = row[fx] | 0xFF000000u;
    }
  }
  return true;
}

}  // namespace tf
