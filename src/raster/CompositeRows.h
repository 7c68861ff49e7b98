// Row forms of the descriptor composite (CompositePixel over rows) and the rectangle loops that
// call them once per span of rows.
#pragma once
// A row descriptor names the row forms of the two routines of an SCompositeOps. A composite row
// works in runs: the alphas and the accumulator's start for the run, the destination routine's
// row form, the source routine's, then alpha and colour. Pixels are independent, so this gives
// what CompositePixel gives pixel by pixel. BlendColor's row form (BlendColorWeightedRow) is
// recognised and worked inline, eight pixels at a time in SSE2 and sixteen in AVX2 (taken when
// the processor has it; both give the same bytes), with the alphas and colours; the common
// descriptors (a normal layer on either side) then run without a call per run.
//
// The rectangle loops have the semantics of TMTC::CompositeFrom and TMTC::CompositeColorRect.
#include <algorithm>
#include <cstdint>

#include "raster/Composite.h"
#include "raster/FlatImage.h"
#include "raster/Geometry.h"

namespace tf {

// Row forms of an SCompositeOps: CompositePixel over a row.
struct SCompositeRowOps {
  uint32_t startColor = 0;
  uint8_t flags = 0;  // kCompositeStartFromSource, kCompositeSkipZeroAlpha
  WeightedRowOp destination = nullptr;
  WeightedRowOp source = nullptr;
};

// BlendColor as a weighted row routine: BlendColor(acc[i], colour[i], weight[i]).
void BlendColorWeightedRow(uint32_t* acc, const uint32_t* colour, const uint32_t* weight, int32_t count);

// The row descriptor of a per-pixel descriptor: the row forms it carries, or BlendColorWeightedRow
// for BlendColor. False when a routine has no row form (the caller then goes pixel by pixel).
bool CompositeRowOpsOf(const SCompositeOps& ops, SCompositeRowOps& rows);

// CompositePixel(dest[i], source[i], opacity, ops) over a row.
void CompositeRow(uint32_t* dest, const uint32_t* source, int32_t count, int32_t opacity,
                  const SCompositeRowOps& ops);
// The same with one source colour.
void CompositeColorRow(uint32_t* dest, uint32_t colour, int32_t count, int32_t opacity,
                       const SCompositeRowOps& ops);

// Tests: run the baseline (SSE2) build of the rows even where the processor has AVX2. Both
// builds give the same bytes.
void ForceBaselineCompositeRows(bool force);

// alpha := MulTable[alpha][scale] over a row (nothing to do for 255).
void ScaleAlphaRow(uint32_t* row, int32_t count, int32_t scale);

namespace composite_detail {
// Rows joined into one span stop growing at this many pixels (a count stays far from overflow).
constexpr int32_t kMaxSpan = 1 << 16;

// How many of the rows from row y on (at most rows, at least 1) follow each other in memory from
// column x, width pixels each.
inline int32_t RowsInSpan(const SDibView& view, int32_t x, int32_t y, int32_t width, int32_t rows) {
  const uint32_t* first = PixelAddr32(view, x, y);
  int32_t n = 1;
  while (n < rows && n * width < kMaxSpan && PixelAddr32(view, x, y + n) == first + n * width) ++n;
  return n;
}
}  // namespace composite_detail

// The loops of TMTC::CombineFrom and TMTC::CompositeFrom once their routine is known to be
// usable: both images valid, clipped as ClipBlit clips; each destination row has its alpha
// scaled, then row(destination pixels, source pixels, count). Rows that follow each other in
// memory on both sides (a tile's rows, or whole rows of a flat image) are passed as one span, so
// the routine must treat every pixel alike wherever it lies.
template <class Row>
bool ScaledRowsFrom(TMTC& dest, const TMTC& source, TPoint& destPoint, SRectWH& sourceRect, int32_t alphaScale,
                    Row row) {
  if (!source.IsValid() || !dest.IsValid()) return false;
  if (!ClipBlit(dest.Size(), source.Size(), destPoint, sourceRect)) return false;
  const SDibView& s = source.View();
  const SDibView& d = dest.View();
  const int32_t width = sourceRect.width;
  for (int32_t j = 0; j < sourceRect.height;) {
    const int32_t left = sourceRect.height - j;
    const int32_t rows =
        std::min(composite_detail::RowsInSpan(d, destPoint.x, destPoint.y + j, width, left),
                 composite_detail::RowsInSpan(s, sourceRect.left, sourceRect.top + j, width, left));
    uint32_t* dp = PixelAddr32(d, destPoint.x, destPoint.y + j);
    ScaleAlphaRow(dp, rows * width, alphaScale);
    row(dp, PixelAddr32(s, sourceRect.left, sourceRect.top + j), rows * width);
    j += rows;
  }
  return true;
}

// The same for one colour over a rectangle of the image (clipped): row(pixels, count), rows that
// follow each other in memory as one span.
template <class Row>
bool ScaledColorRows(TMTC& image, SRectWH& rect, int32_t alphaScale, Row row) {
  if (!image.ClipRect(rect)) return false;
  const SDibView& view = image.View();
  for (int32_t j = 0; j < rect.height;) {
    const int32_t rows = composite_detail::RowsInSpan(view, rect.left, rect.top + j, rect.width, rect.height - j);
    uint32_t* r = PixelAddr32(view, rect.left, rect.top + j);
    ScaleAlphaRow(r, rows * rect.width, alphaScale);
    row(r, rows * rect.width);
    j += rows;
  }
  return true;
}

// TMTC::CompositeFrom and TMTC::CompositeColorRect with a row descriptor.
bool CompositeRowsFrom(TMTC& dest, const TMTC& source, TPoint& destPoint, SRectWH& sourceRect, int32_t alphaScale,
                       int32_t opacity, const SCompositeRowOps& ops);
bool CompositeColorRows(TMTC& image, SRectWH& rect, uint32_t colour, int32_t alphaScale, int32_t opacity,
                        const SCompositeRowOps& ops);

}  // namespace tf
