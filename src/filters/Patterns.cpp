// Colour halftone, mosaic, emboss and tiles.
#include "filters/Patterns.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <numbers>

#include "filters/Convolve.h"
#include "filters/FilterBlocks.h"
#include "filters/FilterLoops.h"
#include "platform/ByteOrder.h"
#include "raster/ScaleImage.h"

namespace tf {

namespace {

TRect Intersect(const TRect& a, const TRect& b) {
  return TRect{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
}
bool Empty(const TRect& r) { return r.right <= r.left || r.bottom <= r.top; }

double Radians(double degrees) { return degrees * std::numbers::pi / 180.0; }

// One dot of channel c at (px, py) into target (pixel (x, y) at target(x, y)).
template <class Target>
void HalftoneDot(const FilterContext& ctx, int32_t c, double px, double py, int64_t d, const int64_t* table,
                 Target&& target) {
  const double fd = static_cast<double>(d);
  const double l = std::trunc(px - fd), t = std::trunc(py - fd), r = std::ceil(px + fd), b = std::ceil(py + fd);
  // Cells far outside any store are empty; keep the conversions in range.
  const double lim = 1e9;
  if (!(l < lim && t < lim && r > -lim && b > -lim)) return;
  TRect cell{static_cast<int32_t>(std::max(l, -lim)), static_cast<int32_t>(std::max(t, -lim)),
             static_cast<int32_t>(std::min(r, lim)), static_cast<int32_t>(std::min(b, lim))};
  cell = Intersect(cell, ctx.Bounds);
  if (Empty(cell)) return;
  uint32_t average = 0;
  AverageRectColour(average, *ctx.Source, cell);
  const int32_t ink = 255 - static_cast<int32_t>((average >> (8 * c)) & 0xFFu);
  const int64_t v = table[ink];
  cell = Intersect(cell, ctx.Work);
  if (Empty(cell)) return;
  for (int32_t y = cell.top; y < cell.bottom; ++y)
    for (int32_t x = cell.left; x < cell.right; ++x) {
      const double ex = std::abs(x - px) - 0.5, ey = std::abs(y - py) - 0.5;
      const int64_t tt = RoundSingle(static_cast<float>(std::sqrt(ex * ex + ey * ey) * 255.0));
      const int64_t u = std::clamp<int64_t>(v - tt, 0, 255);
      uint32_t* p = target(x, y);
      if (p == nullptr) continue;
      const int64_t byte = (*p >> (8 * c)) & 0xFFu;
      const uint32_t nb = static_cast<uint32_t>(std::max<int64_t>(byte - u, 0));
      *p = (*p & ~(0xFFu << (8 * c))) | nb << (8 * c);
    }
}

}  // namespace

bool ColorHalftoneFilter(FilterContext& context, const void* block, int32_t size) {
  if (!CheckFilterContext(context) || size != 16 || block == nullptr) return false;
  const int32_t d = BlockWord(block, 0);
  if (d < 1) return false;  // the segment count would be infinite
  const CBlockVMTC& store = *context.Store;
  const int32_t W = store.Width(), H = store.Height();
  const TRect& bounds = context.Bounds;
  const double bw = bounds.right - bounds.left, bh = bounds.bottom - bounds.top;
  const double cx = bounds.left + bw / 2, cy = bounds.top + bh / 2;
  int64_t table[256];
  for (int32_t i = 0; i < 256; ++i) table[i] = int64_t{d} * i;
  const int64_t segments = static_cast<int64_t>(std::ceil(std::sqrt(bw * bw + bh * bh) * std::numbers::sqrt2 / d)) + 1;
  // The intermediate image: opaque white; without memory the dots go straight into the store.
  std::unique_ptr<TMTC> inter = std::make_unique<TMTC>(W, H);
  const bool direct = !inter->IsValid();
  const TRect& work = context.Work;
  if (direct) {
    for (int32_t y = work.top; y < work.bottom; ++y)
      for (int32_t x = work.left; x < work.right; ++x) {
        uint32_t* p = context.Store->WritePtr(x, y);
        if (p == nullptr) return NoteCommitRefused(context), false;
        BlendColor(p, 0xFFFFFFFFu, 255);
      }
  } else {
    inter->FillAll(0xFFFFFFFFu);
  }
  const int32_t angles[3] = {BlockWord(block, 3), BlockWord(block, 2), BlockWord(block, 1)};  // blue, green, red
  for (int32_t c = 0; c < 3; ++c) {
    float angle = static_cast<float>(angles[c] % 360);
    if (angle < 0) angle += 90;
    double sx[4], sy[4];
    for (int32_t k = 0; k < 4; ++k) {
      const double a = Radians(90.0 * k + angle);
      sx[k] = std::cos(a) * d * 2 / std::numbers::sqrt2;
      sy[k] = std::sin(a) * d * 2 / std::numbers::sqrt2;
    }
    double px = cx, py = cy;
    for (int64_t s = 0; s <= segments; ++s) {
      const int32_t k = static_cast<int32_t>(s % 4);
      for (int64_t n = 0; n <= (s >> 1); ++n) {
        if (direct)
          HalftoneDot(context, c, px, py, d, table,
                      [&](int32_t x, int32_t y) { return context.Store->WritePtr(x, y); });
        else
          HalftoneDot(context, c, px, py, d, table, [&](int32_t x, int32_t y) { return inter->Pixel(x, y); });
        px += sx[k];
        py += sy[k];
      }
    }
  }
  // Write-back by the coverage; alpha never changes.
  for (int32_t y = work.top; y < work.bottom; ++y)
    for (int32_t x = work.left; x < work.right; ++x) {
      const int32_t cov = CoverageAt(context, x, y);
      if (direct) {
        if (cov >= 255) continue;
        uint32_t* p = context.Store->WritePtr(x, y);
        if (p == nullptr) return NoteCommitRefused(context), false;
        BlendColor(p, context.Source->GetPixel(x, y), 255 - cov);
        continue;
      }
      if (cov <= 0) continue;
      if (!WriteCovered(context, x, y, inter->GetPixel(x, y), cov, true)) return false;
    }
  return true;
}

bool MosaicFilter(FilterContext& context, const void* block, int32_t size) {
  if (!CheckFilterContext(context) || size != 8 || block == nullptr) return false;
  const int32_t s = BlockWord(block, 0);
  if (s < 1) return false;  // a cell size of 0 would divide by zero
  const bool keepAlpha = BlockWord(block, 1) != 0 || context.KeepAlpha != 0;
  const TRect& b = context.Bounds;
  for (int64_t e = b.top / s; e <= (b.bottom - 1) / s; ++e)
    for (int64_t g = b.left / s; g <= (b.right - 1) / s; ++g) {
      const TRect span{static_cast<int32_t>(s * g), static_cast<int32_t>(s * e),
                       static_cast<int32_t>(std::min<int64_t>(s * (g + 1), b.right)),
                       static_cast<int32_t>(std::min<int64_t>(s * (e + 1), b.bottom))};
      const TRect part = Intersect(span, context.Work);
      if (Empty(part)) continue;
      uint32_t colour = 0;
      AverageRectColour(colour, *context.Source, span);
      for (int32_t y = part.top; y < part.bottom; ++y)
        for (int32_t x = part.left; x < part.right; ++x) {
          const int32_t cov = CoverageAt(context, x, y);
          if (cov > 0 && !WriteCovered(context, x, y, colour, cov, keepAlpha)) return false;
        }
    }
  return true;
}

bool EmbossFilter(FilterContext& context, const void* block, int32_t size) {
  if (!CheckFilterContext(context) || size != 16 || block == nullptr) return false;
  const int32_t W = context.Store->Width(), H = context.Store->Height();
  if (!FitsFixedPositions(W, H)) return false;
  const int32_t angle = BlockWord(block, 0);
  float height;
  std::memcpy(&height, static_cast<const uint8_t*>(block) + 4, 4);
  if (!std::isfinite(height)) {
    if (context.Note != nullptr) context.Note->notFinite = true;
    return false;
  }
  const float k = static_cast<float>(BlockWord(block, 2)) / 100.0f;
  int32_t ox[2], oy[2];
  for (int32_t i = 0; i < 2; ++i) {
    const double a = Radians(static_cast<double>((int64_t{angle} + 180 * i) % 360));
    ox[i] = SingleToFix(static_cast<float>(std::cos(a) * height / 2)) + 32768;
    oy[i] = SingleToFix(static_cast<float>(std::sin(a) * height / 2)) + 32768;
  }
  CScaleImageTMTC scaler(context.Source, nullptr);
  const TRect clip{0, 0, W * 65536, H * 65536};
  const TRect& work = context.Work;
  for (int32_t y = work.top; y < work.bottom; ++y)
    for (int32_t x = work.left; x < work.right; ++x) {
      const int32_t cov = CoverageAt(context, x, y);
      if (cov <= 0) continue;
      uint32_t s0 = 0, s1 = 0;
      const int64_t fx = int64_t{x} * 65536, fy = int64_t{y} * 65536;
      auto at = [](int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN / 2, INT32_MAX / 2)); };
      if (!SamplePointInside(s0, scaler, &FadeTowardColour, clip, at(fx + ox[0]), at(fy + oy[0])) ||
          !SamplePointInside(s1, scaler, &FadeTowardColour, clip, at(fx + ox[1]), at(fy + oy[1])))
        return false;
      uint32_t v = 0;
      for (int32_t shift = 0; shift < 24; shift += 8) {
        const int32_t diff = static_cast<int32_t>((s0 >> shift) & 0xFFu) - static_cast<int32_t>((s1 >> shift) & 0xFFu);
        const float f = static_cast<float>(diff) * k + 127.5f;
        const int32_t c = std::isfinite(f) ? static_cast<int32_t>(std::clamp(std::trunc(f), 0.0f, 255.0f)) : 0;
        v |= static_cast<uint32_t>(c) << shift;
      }
      if (!WriteCovered(context, x, y, v, cov, true)) return false;
    }
  return true;
}

namespace {

struct STileColour {
  uint32_t bgr;     // alpha 255
  int32_t opacity;  // 0..255
};

STileColour TileColour(const uint8_t* b, int32_t index) {
  const uint8_t* p = b + 4 + 4 * index;
  return STileColour{0xFF000000u | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0], p[3]};
}

bool TilesSquares(FilterContext& ctx, const uint8_t* b, int32_t w, int32_t n) {
  const bool keepAlpha = ctx.KeepAlpha != 0;
  const TRect& work = ctx.Work;
  for (int32_t y = work.top; y < work.bottom; ++y)
    for (int32_t x = work.left; x < work.right; ++x) {
      const int32_t cov = CoverageAt(ctx, x, y);
      if (cov <= 0) continue;
      const int32_t i = (x - ctx.Bounds.left) / w, j = (y - ctx.Bounds.top) / w;
      const STileColour c = TileColour(b, (i + j) % n);
      const int32_t weight = cov * c.opacity / 255;
      if (weight > 0 && !WriteCovered(ctx, x, y, c.bgr, weight, keepAlpha)) return false;
    }
  return true;
}

bool TilesTriangles(FilterContext& ctx, const uint8_t* b, int32_t w, int32_t n) {
  const bool keepAlpha = ctx.KeepAlpha != 0;
  const int32_t h = static_cast<int32_t>(static_cast<float>(w) * 0.8660254f + 0.5f);
  const float half = static_cast<float>(w) * 0.5f;
  const TRect& bounds = ctx.Bounds;
  const TRect& work = ctx.Work;
  for (int32_t y = work.top; y < work.bottom; ++y) {
    const int32_t j = (y - bounds.top) / h, q = (y - bounds.top) - j * h;
    const int32_t yq = (j % 2 == 0) ? q : h - 1 - q;
    for (int32_t x = work.left; x < work.right; ++x) {
      const int32_t cov = CoverageAt(ctx, x, y);
      if (cov <= 0) continue;
      const int32_t i = (x - bounds.left) / w, l = (x - bounds.left) - i * w;
      // Cell i of row j: k = (j mod n + 2 i) mod n.
      const int32_t k = static_cast<int32_t>((int64_t{j % n} + 2 * int64_t{i}) % n);
      const STileColour left = TileColour(b, k), centre = TileColour(b, (k + 1) % n), right = TileColour(b, (k + 2) % n);
      float qv = ((std::abs(half - static_cast<float>(l)) + 0.5f) / static_cast<float>(w) +
                  (static_cast<float>(yq) + 0.5f) * 0.5f / static_cast<float>(h) - 0.5f) *
                 static_cast<float>(w);
      qv = std::clamp(qv, 0.0f, 1.0f);
      STileColour side = static_cast<float>(l) >= half ? right : left;
      if (2 * l == w + 1) {
        uint32_t mean = 0xFF000000u;
        for (int32_t s = 0; s < 24; s += 8)
          mean |= ((((left.bgr >> s) & 0xFFu) + ((right.bgr >> s) & 0xFFu)) / 2) << s;
        side = STileColour{mean, (left.opacity + right.opacity) / 2};
      }
      const float wc = static_cast<float>(centre.opacity) * (1 - qv) / 255.0f;
      const float ws = static_cast<float>(side.opacity) * qv / 255.0f;
      const float z = static_cast<float>(centre.opacity) * (1 - qv) + static_cast<float>(side.opacity) * qv;
      if (z == 0 || wc + ws == 0) continue;
      uint32_t v = 0xFF000000u;
      for (int32_t s = 0; s < 24; s += 8) {
        const float cc = static_cast<float>((centre.bgr >> s) & 0xFFu), cs = static_cast<float>((side.bgr >> s) & 0xFFu);
        v |= static_cast<uint32_t>(std::clamp((cc * wc + cs * ws) / (wc + ws) + 0.5f, 0.0f, 255.0f)) << s;
      }
      const int32_t weight = static_cast<int32_t>(static_cast<float>(cov) * z / 255.0f + 0.5f);
      if (weight > 0 && !WriteCovered(ctx, x, y, v, std::min(weight, 255), keepAlpha)) return false;
    }
  }
  return true;
}

}  // namespace

bool TilesFilter(FilterContext& context, const void* block, int32_t size) {
  if (!CheckFilterContext(context) || size != 16 || block == nullptr) return false;
  const auto* b = static_cast<const uint8_t*>(block);
  const int32_t w = LoadLE<uint16_t>(b + 2);
  // A third-colour byte above 1 would read colours beyond the three stored.
  if (w < 8 || b[1] > 1) return false;
  const int32_t n = 2 + b[1];
  if (b[0] == 0) return TilesTriangles(context, b, w, n);
  if (b[0] == 1) return TilesSquares(context, b, w, n);
  return false;
}

}  // namespace tf
