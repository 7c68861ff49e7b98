// Row forms of the descriptor composite and the rectangle loops that call them.
#include "raster/CompositeRows.h"

#include <cstring>

#include "raster/PixelLanes.h"
#include "raster/PixelOps.h"

namespace tf {

namespace {

constexpr int32_t kRun = 64;  // pixels per pass of a descriptor composite

#if !defined(__SSE2__)
// (byte*255) div out, clamped to a byte, as CompositePixel computes it (out >= 1).
inline uint32_t Unweight(uint32_t byte, uint32_t out) {
  const uint32_t c = pixel_detail::DivFloor(byte * 255u, out);
  return c > 255 ? 255u : c;
}

// One run, pixel by pixel where a step has no vector form: e, a and the start of the
// accumulator per pixel; the destination routine; the source routine; then alpha and colour.
void CompositeRunScalar(uint32_t* dest, const uint32_t* source, int32_t n, uint32_t opacity,
                        const SCompositeRowOps& ops) {
  uint32_t e[kRun], a[kRun], acc[kRun];
  const bool fromSource = (ops.flags & kCompositeStartFromSource) != 0;
  for (int32_t i = 0; i < n; ++i) {
    e[i] = MulDiv255(source[i] >> 24, opacity);
    a[i] = dest[i] >> 24;
    acc[i] = fromSource ? source[i] : ops.startColor;
  }
  ops.destination(acc, dest, a, n);
  ops.source(acc, source, e, n);
  const bool skipZero = (ops.flags & kCompositeSkipZeroAlpha) != 0;
  for (int32_t i = 0; i < n; ++i) {
    if (skipZero && e[i] == 0) continue;
    const uint32_t out = a[i] + e[i] - MulDiv255(a[i], e[i]);
    uint32_t result = dest[i] & 0x00FFFFFFu;
    if (out != 0) {
      const uint32_t v = acc[i];
      result = (out << 24) | (Unweight((v >> 16) & 0xFFu, out) << 16) | (Unweight((v >> 8) & 0xFFu, out) << 8) |
               Unweight(v & 0xFFu, out);
    }
    dest[i] = result;
  }
}
#endif

#if defined(__SSE2__)
// The runs built for SSE2 (the x86-64 baseline), eight pixels a step.
namespace sse2 {
using I = __m128i;
using F = __m128;
using lanes::Div255;
using lanes::Join;
using lanes::SPlanes;
using lanes::Split;
constexpr int32_t kStep = 8;
constexpr int kAllBits = 0xFFFF;
#define TF_V(op) _mm_##op
#define TF_SI(op) _mm_##op##_si128
#define TF_RUN_ATTR
#include "raster/CompositeRunBody.inl"
#undef TF_V
#undef TF_SI
#undef TF_RUN_ATTR
}  // namespace sse2
#endif

#if defined(__SSE2__) && TF_LANES_AVX2
// The same runs built for AVX2, sixteen pixels a step, taken when the processor has it.
namespace avx2 {
using I = __m256i;
using F = __m256;
using lanes256::Div255;
using lanes256::Join;
using lanes256::SPlanes;
using lanes256::Split;
constexpr int32_t kStep = 16;
constexpr int kAllBits = -1;
#define TF_V(op) _mm256_##op
#define TF_SI(op) _mm256_##op##_si256
#define TF_RUN_ATTR TF_TARGET_AVX2
#include "raster/CompositeRunBody.inl"
#undef TF_V
#undef TF_SI
#undef TF_RUN_ATTR
}  // namespace avx2

bool gForceBaselineComposite = false;

bool UseAvx2Composite() {
  static const bool have = [] {
    __builtin_cpu_init();  // also right when first asked from a static initialiser
    return __builtin_cpu_supports("avx2") != 0;
  }();
  return have && !gForceBaselineComposite;
}
#endif

// CompositePixel over a row.
void CompositeAlong(uint32_t* dest, const uint32_t* source, int32_t count, int32_t opacity,
                    const SCompositeRowOps& ops) {
  // Held to 0..255 as CompositePixel holds it.
  const uint32_t o = opacity < 0 ? 0u : (opacity > 255 ? 255u : static_cast<uint32_t>(opacity));
#if defined(__SSE2__) && TF_LANES_AVX2
  if (UseAvx2Composite()) return avx2::CompositeAlong(dest, source, count, o, ops);
#endif
#if defined(__SSE2__)
  sse2::CompositeAlong(dest, source, count, o, ops);
#else
  for (int32_t done = 0; done < count; done += kRun) {
    const int32_t n = count - done < kRun ? count - done : kRun;
    CompositeRunScalar(dest + done, source + done, n, o, ops);
  }
#endif
}

}  // namespace

void BlendColorWeightedRow(uint32_t* acc, const uint32_t* colour, const uint32_t* weight, int32_t count) {
  for (int32_t i = 0; i < count; ++i) BlendColor(acc + i, colour[i], static_cast<int32_t>(weight[i]));
}

bool CompositeRowOpsOf(const SCompositeOps& ops, SCompositeRowOps& rows) {
  auto rowFormOf = [](PixelOp op, WeightedRowOp carried) -> WeightedRowOp {
    if (carried != nullptr) return carried;
    return op == &BlendColor ? &BlendColorWeightedRow : nullptr;
  };
  rows.startColor = ops.startColor;
  rows.flags = ops.flags;
  rows.destination = rowFormOf(ops.destination, ops.destinationRows);
  rows.source = rowFormOf(ops.source, ops.sourceRows);
  return ops.destination != nullptr && ops.source != nullptr && rows.destination != nullptr &&
         rows.source != nullptr;
}

void CompositeRow(uint32_t* dest, const uint32_t* source, int32_t count, int32_t opacity,
                  const SCompositeRowOps& ops) {
  CompositeAlong(dest, source, count, opacity, ops);
}

void CompositeColorRow(uint32_t* dest, uint32_t colour, int32_t count, int32_t opacity,
                       const SCompositeRowOps& ops) {
  uint32_t colours[kRun];
  for (uint32_t& c : colours) c = colour;
  for (int32_t done = 0; done < count; done += kRun) {
    const int32_t n = count - done < kRun ? count - done : kRun;
    CompositeAlong(dest + done, colours, n, opacity, ops);
  }
}

void ForceBaselineCompositeRows(bool force) {
#if defined(__SSE2__) && TF_LANES_AVX2
  gForceBaselineComposite = force;
#else
  (void)force;
#endif
}

void ScaleAlphaRow(uint32_t* row, int32_t count, int32_t scale) {
  const uint32_t s = static_cast<uint32_t>(scale) & 0xFFu;
  if (s == 255) return;
  for (int32_t i = 0; i < count; ++i) {
    const uint32_t p = row[i];
    row[i] = (p & 0x00FFFFFFu) | (MulDiv255(p >> 24, s) << 24);
  }
}

bool CompositeRowsFrom(TMTC& dest, const TMTC& source, TPoint& destPoint, SRectWH& sourceRect, int32_t alphaScale,
                       int32_t opacity, const SCompositeRowOps& ops) {
  if (opacity == 0 || ops.destination == nullptr || ops.source == nullptr) return false;
  return ScaledRowsFrom(
      dest, source, destPoint, sourceRect, alphaScale,
      [&](uint32_t* d, const uint32_t* s, int32_t count) { CompositeRow(d, s, count, opacity, ops); });
}

bool CompositeColorRows(TMTC& image, SRectWH& rect, uint32_t colour, int32_t alphaScale, int32_t opacity,
                        const SCompositeRowOps& ops) {
  if (opacity == 0 || ops.destination == nullptr || ops.source == nullptr) return false;
  return ScaledColorRows(image, rect, alphaScale, [&](uint32_t* row, int32_t count) {
    CompositeColorRow(row, colour, count, opacity, ops);
  });
}

}  // namespace tf
