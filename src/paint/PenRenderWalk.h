// The pixel walk of a dab, shared by the renderer's source files.
#pragma once
#include <algorithm>
#include <cstdint>

#include "paint/NibShape.h"
#include "paint/PenRender.h"
#include "raster/FlatImage.h"

namespace tf {

// Each pixel (x, y) of the dab's bounds reads the footprint at its offset from the dab centre,
// ((x << 16) - centre x + 0x8000, (y << 16) - centre y + 0x8000), as CPenShape.SampleAt does; a
// hard-edged nib turns the coverage into 0 or 0xFF0000 at the flag word; the value is coverage
// times opacity in 16.16, written when above 0xFFFF. Along a row the footprint column advances
// by the supersampling factor per pixel, which is exactly SampleAt's column of the next pixel.
template <class Fn>
bool CPenRender::WalkRow(int32_t y, Fn fn) const {
  const CPenShape& shape = *shape_;
  const int64_t ss = shape.Supersample();
  const int64_t gridWidth = shape.GridWidth();
  const int64_t dy = (int64_t{y} << 16) - centreY_ + 0x8000;
  const int64_t row = ((dy + shape.CentreY()) * ss) >> 16;
  if (row < 0 || row >= shape.GridHeight() || bounds_.right <= bounds_.left) return false;
  const int32_t* line = shape.ResultPlane() + row * gridWidth;
  const int64_t dx = (int64_t{bounds_.left} << 16) - centreX_ + 0x8000;
  const int64_t column0 = ((dx + shape.CentreX()) * ss) >> 16;
  // Pixels whose column lies inside the grid: first .. end - 1 (offsets from the left bound).
  const int64_t width = int64_t{bounds_.right} - bounds_.left;
  const int64_t first = column0 >= 0 ? 0 : (-column0 + ss - 1) / ss;
  const int64_t end = column0 >= gridWidth ? 0 : std::min(width, (gridWidth - column0 + ss - 1) / ss);
  const uint32_t flag = nibFlag_;
  const int64_t opacity = opacity_;
  int64_t column = column0 + first * ss;
  for (int64_t i = first; i < end; ++i, column += ss) {
    int64_t c = line[column];
    if (flag != 0) c = static_cast<uint32_t>(c) < flag ? 0 : 0xFF0000;
    const int64_t f = (c * opacity) >> 16;
    if (f > 0xFFFF)
      fn(static_cast<int32_t>(bounds_.left + i), static_cast<int32_t>(std::min<int64_t>(f >> 16, 255)));
  }
  return true;
}

// The same values as WalkRow, for a writer that leaves a pixel as it is at value 0 (the plain
// first stage with PixelPaintOver, BlendColor or ChannelWriteMax): every pixel of the footprint's
// columns is written, without a test per pixel, so the loop can run in vector registers. For
// coverage 0..0xFF0000 and opacity up to 0x10000 the value ((c * opacity) >> 16) >> 16 is computed
// in 32 bits as ((c >> 8) * opacity + (((c & 0xFF) * opacity) >> 8)) >> 24, which is the same
// number (at most 255); a product up to 0xFFFF gives 0 either way. write(pixel, value) gets the
// address of each pixel.
template <class Pixel, class Write>
void CPenRender::WalkRowsDense(const SDibView& view, Write write) const {
  const CPenShape& shape = *shape_;
  const int64_t ss = shape.Supersample();
  const int64_t gridWidth = shape.GridWidth();
  const int64_t width = int64_t{bounds_.right} - bounds_.left;
  const int64_t dx = (int64_t{bounds_.left} << 16) - centreX_ + 0x8000;
  const int64_t column0 = ((dx + shape.CentreX()) * ss) >> 16;
  const int64_t first = column0 >= 0 ? 0 : (-column0 + ss - 1) / ss;
  const int64_t end = column0 >= gridWidth ? 0 : std::min(width, (gridWidth - column0 + ss - 1) / ss);
  if (first >= end) return;
  const uint32_t flag = nibFlag_;
  const auto opacity = static_cast<uint32_t>(opacity_);
  auto value = [opacity](int32_t sample) {
    const auto c = static_cast<uint32_t>(std::clamp(sample, 0, 0xFF0000));
    return static_cast<int32_t>(((c >> 8) * opacity + (((c & 0xFFu) * opacity) >> 8)) >> 24);
  };
  for (int32_t y = bounds_.top; y < bounds_.bottom; ++y) {
    const int64_t dy = (int64_t{y} << 16) - centreY_ + 0x8000;
    const int64_t row = ((dy + shape.CentreY()) * ss) >> 16;
    if (row < 0 || row >= shape.GridHeight()) continue;
    const int32_t* line = shape.ResultPlane() + row * gridWidth;
    Pixel* pixels = reinterpret_cast<Pixel*>(view.bits + view.rowOffsets[y]) + bounds_.left;
    if (flag != 0) {
      const int32_t full = value(0xFF0000);
      for (int64_t i = first; i < end; ++i) {
        write(pixels + i, static_cast<uint32_t>(line[column0 + i * ss]) < flag ? 0 : full);
      }
    } else if (ss == 1) {
      const int32_t* samples = line + column0;
      for (int64_t i = first; i < end; ++i) write(pixels + i, value(samples[i]));
    } else {
      for (int64_t i = first; i < end; ++i) write(pixels + i, value(line[column0 + i * ss]));
    }
  }
}

template <class Fn>
void CPenRender::WalkDab(Fn fn) const {
  for (int32_t y = bounds_.top; y < bounds_.bottom; ++y) {
    WalkRow(y, [&](int32_t x, int32_t value) { fn(x, y, value); });
  }
}

}  // namespace tf
