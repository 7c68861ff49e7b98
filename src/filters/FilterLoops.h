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

// The coverage of store point (x, y) by the context's rule.
inline int32_t CoverageAt(const FilterContext& c, int32_t x, int32_t y) {
  return c.Coverage(c.Mask, c.OffsetX, c.OffsetY, x, y);
}

// The writer of the coverage rule for one pixel (BlendColor or PixelLerpARGB by weight); false,
// noted in the run note, when its tile cannot be committed.
inline bool WriteCovered(const FilterContext& c, int32_t x, int32_t y, uint32_t v, int32_t weight, bool keepAlpha) {
  uint32_t* p = c.Store->WritePtr(x, y);
  if (p == nullptr) {
    NoteCommitRefused(c);
    return false;
  }
  if (keepAlpha)
    filter_detail::BlendColorWriter{}(p, v, weight);
  else
    filter_detail::LerpARGBWriter{}(p, v, weight);
  return true;
}

}  // namespace tf
