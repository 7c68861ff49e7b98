#pragma once

// Pixel and image helpers shared by the test programs. They use nothing but the image's own
// accessors, so a test that compares against them stays independent of the routines under test.

#include <cstdint>
#include <vector>

#include "raster/FlatImage.h"

namespace tf::test {

// A pixel from its four bytes (blue lowest, alpha highest).
inline uint32_t Bgra(uint32_t b, uint32_t g, uint32_t r, uint32_t a) {
  return (a << 24) | (r << 16) | (g << 8) | b;
}

// Byte i of a pixel (0 blue, 1 green, 2 red, 3 alpha).
inline uint32_t ByteOf(uint32_t v, int i) { return (v >> (8 * i)) & 0xFFu; }

// Every pixel in row order, top row first (whatever order the rows have in memory), each masked.
inline std::vector<uint32_t> PixelsOf(const TMTC& image, uint32_t mask = 0xFFFFFFFFu) {
  std::vector<uint32_t> out;
  for (int32_t y = 0; y < image.Height(); ++y)
    for (int32_t x = 0; x < image.Width(); ++x) out.push_back(image.GetPixel(x, y) & mask);
  return out;
}

// A 32-bit image stored bottom-up in a block of its own, as a DIB image is.
class BottomUpMTC : public TMTC {
 public:
  BottomUpMTC(int32_t width, int32_t height) { Resize(width, height); }
  ~BottomUpMTC() override { FreeImage(); }
  bool Resize(int32_t width, int32_t height) override {
    FreeImage();
    int64_t bytes = 0;
    if (!CheckedImageBytes(width, height, 4, bytes)) return false;
    view_.width = width;
    view_.height = height;
    view_.bits = AllocBlock(bytes);
    return view_.bits != nullptr && BuildRowTable(4 * width, true);
  }
  int32_t GetRowStep() const override { return -Width(); }
};

}  // namespace tf::test
