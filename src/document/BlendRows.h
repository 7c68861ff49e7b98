// Row forms of the blend-mode routines and the rectangle loops that call them.
#pragma once
// Row forms of the blend-mode routines and the rectangle loops that call them.
//
// A row routine applies one pixel routine to a whole row, with the routine inlined; a rectangle
// loop calls it once per row. The blend-mode table (document/BlendMode.h) holds one row routine
// beside each pixel routine, so a drawing chooses its routine once per row and never calls
// through a pointer per pixel. Results are bit for bit those of the pixel routine applied pixel
// by pixel, left to right.
//
// The rectangle loops have the semantics of the TMTC loops of the same shape (raster/RegionOps.h):
// CombineRowsTo = TMTC::CombineTo, CombineRowsFrom = TMTC::CombineFrom, and so on.
#include <cstdint>

#include "raster/Composite.h"
#include "raster/CompositeRows.h"
#include "raster/FlatImage.h"
#include "raster/Geometry.h"
#include "raster/PixelOps.h"

namespace tf {

// op(dest[i], source[i], value) for i in 0..count-1.
using PixelRowOp = void (*)(uint32_t* dest, const uint32_t* source, int32_t count, int32_t value);
// op(dest[i], colour, value) for i in 0..count-1.
using ColorRowOp = void (*)(uint32_t* dest, uint32_t colour, int32_t count, int32_t value);

// Row forms of one pixel routine.
struct SRowOps {
  PixelRowOp pixels = nullptr;  // source pixels
  ColorRowOp colour = nullptr;  // one colour
};

// ---- Row templates -------------------------------------------------------------------------
// Each row loop is built twice on x86-64: for the baseline instruction set and for AVX2, chosen
// once per row by what the processor has. Both builds compute the same integers (the pixel
// routines use integer arithmetic and exactly representable single-precision quotients, and no
// fused multiply-add), so the choice never changes a result.

namespace row_detail {

#if defined(__x86_64__) && !defined(__AVX2__) && defined(__GNUC__)
#define TF_ROWS_AVX2 1
#define TF_ROWS_TARGET_AVX2 __attribute__((target("avx2"), flatten))
#else
#define TF_ROWS_AVX2 0
#define TF_ROWS_TARGET_AVX2
#endif
// The pixel routine is inlined into its row loop whatever its size.
#define TF_ROWS_FLATTEN __attribute__((flatten))

// Whether the AVX2 builds run: the processor has AVX2 and ForceBaselineRows(false) (tests).
bool UseAvx2Rows();
// Tests: run the baseline builds even where AVX2 is present.
void ForceBaselineRows(bool force);

template <PixelOp Op>
TF_ROWS_FLATTEN void PixelRowLoop(uint32_t* dest, const uint32_t* source, int32_t count, int32_t value) {
  for (int32_t i = 0; i < count; ++i) Op(dest + i, source[i], value);
}
template <PixelOp Op>
TF_ROWS_FLATTEN void ColorRowLoop(uint32_t* dest, uint32_t colour, int32_t count, int32_t value) {
  for (int32_t i = 0; i < count; ++i) Op(dest + i, colour, value);
}
template <PixelOp Op>
TF_ROWS_FLATTEN void WeightedRowLoop(uint32_t* acc, const uint32_t* colour, const uint32_t* weight,
                                     int32_t count) {
  for (int32_t i = 0; i < count; ++i) Op(acc + i, colour[i], static_cast<int32_t>(weight[i]));
}

#if TF_ROWS_AVX2
template <PixelOp Op>
TF_ROWS_TARGET_AVX2 void PixelRowAvx2(uint32_t* dest, const uint32_t* source, int32_t count, int32_t value) {
  PixelRowLoop<Op>(dest, source, count, value);
}
template <PixelOp Op>
TF_ROWS_TARGET_AVX2 void ColorRowAvx2(uint32_t* dest, uint32_t colour, int32_t count, int32_t value) {
  ColorRowLoop<Op>(dest, colour, count, value);
}
template <PixelOp Op>
TF_ROWS_TARGET_AVX2 void WeightedRowAvx2(uint32_t* acc, const uint32_t* colour, const uint32_t* weight,
                                         int32_t count) {
  WeightedRowLoop<Op>(acc, colour, weight, count);
}
#endif

}  // namespace row_detail

namespace row_detail {
// The normal-mode merge (PixelPaintOverSourceAlpha) over a row, four pixels at a time in SSE2
// (the x86-64 baseline), with the same integers as the pixel routine: the products fit 16 bits
// and the one division is the same single-precision quotient. False where the build has no
// SSE2 (the caller then runs the plain loop).
bool PaintOverSourceAlphaRowSse2(uint32_t* dest, const uint32_t* source, int32_t count, int32_t value);
// Which pixel routines have such a row form.
template <PixelOp Op>
inline constexpr bool kHasSse2Row = false;
template <>
inline constexpr bool kHasSse2Row<&PixelPaintOverSourceAlpha> = true;
}  // namespace row_detail

template <PixelOp Op>
void PixelRow(uint32_t* dest, const uint32_t* source, int32_t count, int32_t value) {
#if TF_ROWS_AVX2
  if (row_detail::UseAvx2Rows()) return row_detail::PixelRowAvx2<Op>(dest, source, count, value);
#endif
  if constexpr (row_detail::kHasSse2Row<Op>) {
    if (row_detail::PaintOverSourceAlphaRowSse2(dest, source, count, value)) return;
  }
  row_detail::PixelRowLoop<Op>(dest, source, count, value);
}

template <PixelOp Op>
void ColorRow(uint32_t* dest, uint32_t colour, int32_t count, int32_t value) {
#if TF_ROWS_AVX2
  if (row_detail::UseAvx2Rows()) return row_detail::ColorRowAvx2<Op>(dest, colour, count, value);
#endif
  row_detail::ColorRowLoop<Op>(dest, colour, count, value);
}

template <PixelOp Op>
void WeightedRow(uint32_t* acc, const uint32_t* colour, const uint32_t* weight, int32_t count) {
#if TF_ROWS_AVX2
  if (row_detail::UseAvx2Rows()) return row_detail::WeightedRowAvx2<Op>(acc, colour, weight, count);
#endif
  row_detail::WeightedRowLoop<Op>(acc, colour, weight, count);
}

template <PixelOp Op>
constexpr SRowOps RowOpsOf() {
  return SRowOps{&PixelRow<Op>, &ColorRow<Op>};
}

// The weighted row form of a routine: BlendColor's is the one the descriptor composite rows
// work inline (raster/CompositeRows.h).
template <PixelOp Op>
constexpr WeightedRowOp WeightedRowOf() {
  return &WeightedRow<Op>;
}
template <>
constexpr WeightedRowOp WeightedRowOf<&BlendColor>() {
  return &BlendColorWeightedRow;
}

// ---- Rectangle loops over flat images (tile views included) --------------------------------

// TMTC::CombineToRaw / CombineTo: value 0 does nothing (false); op per row of the rectangle.
bool CombineRowsToRaw(const TMTC& source, TMTC& dest, const TPoint& destPoint, const SRectWH& sourceRect,
                      int32_t value, PixelRowOp op);
bool CombineRowsTo(const TMTC& source, TMTC& dest, TPoint& destPoint, SRectWH& sourceRect, int32_t value,
                   PixelRowOp op);
// TMTC::ApplyToRectRaw / ApplyToRect with one colour.
bool ApplyColorRowsRaw(TMTC& image, const SRectWH& rect, uint32_t colour, int32_t value, ColorRowOp op);
bool ApplyColorRows(TMTC& image, SRectWH& rect, uint32_t colour, int32_t value, ColorRowOp op);
// TMTC::CombineFrom: value 0 does nothing (false); dest alpha scaled, then op.
bool CombineRowsFrom(TMTC& dest, const TMTC& source, TPoint& destPoint, SRectWH& sourceRect, int32_t alphaScale,
                     int32_t value, PixelRowOp op);
// TMTC::CombineColorRect.
bool CombineColorRows(TMTC& image, SRectWH& rect, uint32_t colour, int32_t alphaScale, int32_t value,
                      ColorRowOp op);
// TMTC::CompositeFrom and TMTC::CompositeColorRect: CompositeRowsFrom and CompositeColorRows
// (raster/CompositeRows.h).

// ---- Dissolve ------------------------------------------------------------------------------
// What RandomThresholdOp (raster/Composite.h) does pixel by pixel, over rows: for every pixel in
// order one draw r from the random record; the routine is applied where r < MulDiv255(threshold,
// source alpha). The record advances by one draw per pixel visited.

// op applied to the pixels of one row that pass the test.
void DissolveRow(uint32_t* dest, const uint32_t* source, int32_t count, int32_t value, PixelRowOp op,
                 SRandom& random, int32_t threshold);
void DissolveColorRow(uint32_t* dest, uint32_t colour, int32_t count, int32_t value, ColorRowOp op,
                      SRandom& random, int32_t threshold);
// CombineRowsToRaw and ApplyColorRowsRaw through the dissolve test.
bool DissolveRowsToRaw(const TMTC& source, TMTC& dest, const TPoint& destPoint, const SRectWH& sourceRect,
                       int32_t value, PixelRowOp op, SRandom& random, int32_t threshold);
bool DissolveColorRowsRaw(TMTC& image, const SRectWH& rect, uint32_t colour, int32_t value, ColorRowOp op,
                          SRandom& random, int32_t threshold);

}  // namespace tf
