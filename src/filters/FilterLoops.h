// A covered loop whose value may decline to write a pixel (the neighbourhood filters leave a
// pixel as it is where no sample counted).
#pragma once
#include <optional>

#include "filters/FilterContext.h"

namespace tf {

namespace filter_detail {
template <class Writer>
struct OptionalWriter {
  Writer inner;
  void operator()(uint32_t* p, const std::optional<uint32_t>& v, int32_t c) const {
    if (v) inner(p, *v, c);
  }
};
}  // namespace filter_detail

// value(x, y, old pixel) -> std::optional<uint32_t>: nothing leaves the pixel as it is. Rows top to
// bottom, each left to right.
template <class Value>
bool ForEachCoveredPixelMaybe(const FilterContext& ctx, bool keepAlpha, Value&& value) {
  using namespace filter_detail;
  if (!CheckFilterContext(ctx)) return false;
  const bool full = ctx.Coverage == &FullCoverage;
  const MaskCoverageOf mask{ctx.Mask, ctx.OffsetX, ctx.OffsetY};
  if (keepAlpha) {
    const OptionalWriter<BlendColorWriter> w{};
    return full ? CoveredRows(ctx, FullCoverageOf{}, w, value) : CoveredRows(ctx, mask, w, value);
  }
  const OptionalWriter<LerpARGBWriter> w{};
  return full ? CoveredRows(ctx, FullCoverageOf{}, w, value) : CoveredRows(ctx, mask, w, value);
}

}  // namespace tf
