// Drawing targets for 32-bit pixel blocks (Surface).
#pragma once
// Drawing targets for 32-bit pixel blocks: windows, paint boxes, canvases and device contexts
// all come down to a surface that can take a block copied 1:1 or stretched. The window system's
// half implements it over its widgets (painting with alpha forced to 0xFF: these copies never
// blend); MemorySurface keeps the pixels in memory for headless runs and tests.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tf {

// A 32-bit B, G, R, A block as a surface reads it: row 0 is the top row of the picture, rows
// lie `stride` bytes apart (negative for a bottom-up block).
struct PixelBlockView {
  int32_t width = 0;
  int32_t height = 0;
  const uint8_t* topRow = nullptr;
  std::ptrdiff_t stride = 0;

  const uint32_t* Row(int32_t y) const { return reinterpret_cast<const uint32_t*>(topRow + stride * y); }
};

class Surface {
 public:
  virtual ~Surface() = default;

  // Client size: the area a stretched copy fills.
  virtual int32_t Width() const = 0;
  virtual int32_t Height() const = 0;

  // Copies the block's (sx, sy, w, h) to (dx, dy), clipped to the surface and the block.
  // Alpha is not used: the pixels arrive opaque. False when the surface cannot draw.
  virtual bool Blit(int32_t dx, int32_t dy, int32_t w, int32_t h, const PixelBlockView& block, int32_t sx,
                    int32_t sy) = 0;
  // Stretches the block's (sx, sy, sw, sh) onto (dx, dy, dw, dh), nearest neighbour, opaque.
  virtual bool StretchBlit(int32_t dx, int32_t dy, int32_t dw, int32_t dh, const PixelBlockView& block,
                           int32_t sx, int32_t sy, int32_t sw, int32_t sh) = 0;
};

// A surface in memory: top-down 0xAARRGGBB pixels, every drawn pixel opaque.
class MemorySurface final : public Surface {
 public:
  MemorySurface() = default;
  MemorySurface(int32_t width, int32_t height, uint32_t fill = 0);

  // Sizes the surface (negative sizes count as 0) and fills it.
  void Reset(int32_t width, int32_t height, uint32_t fill = 0);
  // Refuses every drawing while set (a window that is gone).
  void SetRefuseDrawing(bool refuse) { refuse_ = refuse; }

  int32_t Width() const override { return width_; }
  int32_t Height() const override { return height_; }
  bool Blit(int32_t dx, int32_t dy, int32_t w, int32_t h, const PixelBlockView& block, int32_t sx,
            int32_t sy) override;
  bool StretchBlit(int32_t dx, int32_t dy, int32_t dw, int32_t dh, const PixelBlockView& block, int32_t sx,
                   int32_t sy, int32_t sw, int32_t sh) override;

  uint32_t Pixel(int32_t x, int32_t y) const {
    return pixels_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)];
  }
  const std::vector<uint32_t>& Pixels() const { return pixels_; }
  // Number of Blit and StretchBlit calls that drew.
  int32_t DrawCount() const { return draws_; }

 private:
  int32_t width_ = 0;
  int32_t height_ = 0;
  std::vector<uint32_t> pixels_;
  bool refuse_ = false;
  int32_t draws_ = 0;
};

}  // namespace tf
