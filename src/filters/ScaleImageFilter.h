// CScaleImageFilter: the area-averaging resampler reading the unfiltered layer of a filter context
// through the selection, for the rotate and scale filters.
#pragma once
// A source read at a store point gives the layer's background (the blend mode's neutral colour,
// opaque on an alpha-protected layer, transparent otherwise) with the Source pixel laid over it by
// the pixel's coverage, through the context's writer; a point outside the store (or outside the
// selection's mask store) reads as the background. Areas are neither clamped at 0 nor cut at the
// store's size, so a border pixel partly covered by an area counts by its covered share and the
// part outside reads as the background by its share.
//
// Positions are 16.16, taken in 64 bits: rotated and scaled points of a store of up to 32767
// pixels may leave the int32 range.
#include <cstdint>

#include "filters/FilterContext.h"
#include "raster/ScaleImage.h"

namespace tf {

class CScaleImageFilter : public CScaleImage {
 public:
  CScaleImageFilter(const FilterContext& context, uint8_t flagA, uint8_t flagB);

  // The covered sample at (x, y).
  const uint8_t* SourcePixel(int32_t x, int32_t y) override;
  // The store pixel (null when its tile cannot be committed).
  uint8_t* DestPixel(int32_t x, int32_t y) override;
  void AverageArea(uint8_t* dest, Fixed x0, Fixed y0, Fixed x1, Fixed y1) override;

  // The area average of [x0, x1) x [y0, y1) (16.16) into dest.
  void SampleArea(uint32_t& dest, int64_t x0, int64_t y0, int64_t x1, int64_t y1);
  void SampleRect(uint32_t& dest, int64_t left, int64_t top, int64_t right, int64_t bottom) {
    SampleArea(dest, left, top, right, bottom);
  }
  // The one-pixel area around the point, one 1/65536 more on the right and bottom.
  void SamplePoint(uint32_t& dest, int64_t x, int64_t y) {
    SampleArea(dest, x - 32768, y - 32768, x + 32769, y + 32769);
  }

  uint32_t Background() const { return background_; }
  uint8_t FlagA() const { return flagA_; }
  uint8_t FlagB() const { return flagB_; }

 private:
  void Average(uint8_t* dest, int64_t x0, int64_t y0, int64_t x1, int64_t y1);

  FilterContext context_;
  uint32_t sample_ = 0;
  uint8_t flagA_ = 0;
  uint8_t flagB_ = 0;
  uint32_t background_ = 0;
};

}  // namespace tf
