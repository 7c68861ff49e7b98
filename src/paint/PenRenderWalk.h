// The pixel walk of a dab, shared by the renderer's source files.
#pragma once
#include <algorithm>
#include <cstdint>

#include "paint/NibShape.h"
#include "paint/PenRender.h"

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

template <class Fn>
void CPenRender::WalkDab(Fn fn) const {
  for (int32_t y = bounds_.top; y < bounds_.bottom; ++y) {
    WalkRow(y, [&](int32_t x, int32_t value) { fn(x, y, value); });
  }
}

}  // namespace tf
