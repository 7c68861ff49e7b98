// The generating filters: clouds, plasma and the clouds/rock pattern, with the plasma fractal
// classes and the value-weighted wrapped blur.
#pragma once
// Every random number comes from an SRandom seeded from the block, so a block always paints the
// same pattern; the plasma covers the whole of Bounds and the clouds/rock tile is anchored at the
// store's (0, 0), so a preview of a part paints the pixels the run paints there.
#include <cstdint>
#include <vector>

#include "filters/FilterContext.h"
#include "raster/Composite.h"
#include "raster/Geometry.h"

namespace tf {

// The pixel operation of a TBlendMode for a layer without (row 0) and with (row 1) alpha
// protection: the mode's source-alpha routine; standard paints over by the colour's alpha (row 0)
// or mixes the colour keeping alpha (row 1, BlendColor). Null for a mode byte (bit 7 cleared)
// above 21.
PixelOp FilterBlendOp(bool keepAlpha, uint8_t mode);

// (1 - cos(i pi / 256)) / 2 in Single.
const float* CosineWeights();

// Diamond-square midpoint displacement on a periodic power-of-two grid, on one channel (TPlasma)
// or three (TPlasma3: blue, green, red, drawn in that order at every point).
class TPlasma {
 public:
  explicit TPlasma(int32_t channels = 1);
  virtual ~TPlasma() = default;
  // The grid (the next powers of two of width and height), filled; false when it cannot be
  // allocated or a side is not positive.
  bool Generate(int32_t width, int32_t height, double roughness, uint32_t seed);
  int32_t GridWidth() const { return width_; }
  int32_t GridHeight() const { return height_; }
  // Channel c (0 the base, blue for TPlasma3) at grid point (x, y).
  uint8_t At(int32_t c, int32_t x, int32_t y) const {
    return channels_[static_cast<size_t>(c)][static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)];
  }

 private:
  bool Init(int32_t width, int32_t height, double roughness, uint32_t seed);
  void SquareStep();
  void DiamondStep();
  uint8_t& P(int32_t c, int32_t x, int32_t y) {
    return channels_[static_cast<size_t>(c)][static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)];
  }

  std::vector<std::vector<uint8_t>> channels_;
  SRandom random_{0, 0, 0, 0, 0};
  int32_t step_ = 0;
  int32_t half_ = 0;
  int32_t xMask_ = 0;
  int32_t yMask_ = 0;
  int32_t width_ = 0;
  int32_t height_ = 0;
  int32_t amplitude_ = 0;
};

class TPlasma3 : public TPlasma {
 public:
  TPlasma3() : TPlasma(3) {}
};

// The clouds/rock tile (w x h bytes, row by row from the top) of a seed, contrast and softness;
// false when it cannot be allocated or a side is not positive.
bool RenderCloudsRockTile(std::vector<uint8_t>& tile, int32_t w, int32_t h, uint32_t seed, int32_t contrast,
                          bool rock);
// Each output := sum(w v v) / sum(w v) over the wrapped taps of the Gaussian kernels (16.16
// weights, as long as the channel's sides), down the columns and then along the rows; 0 where
// every sample is 0. Sigma <= 0 copies. Channels are w x h bytes, row by row.
void ValueWeightedBlurWrap(std::vector<uint8_t>& dest, const std::vector<uint8_t>& source, int32_t w, int32_t h,
                           double sigma);

// 16 bytes: colour A, colour B, seed, uint16 roughness x 256, blend mode, opacity (event 70).
bool CloudsFilter(FilterContext& context, const void* block, int32_t size);
// 16 bytes: seed, monochrome flag, reserved, uint16 roughness x 256, blend mode, opacity (event 71).
bool PlasmaFilter(FilterContext& context, const void* block, int32_t size);
// 24 bytes: colour A, colour B, seed, uint16 tile width and height, contrast, softness (event 72).
bool CloudsRockFilter(FilterContext& context, const void* block, int32_t size);

}  // namespace tf
