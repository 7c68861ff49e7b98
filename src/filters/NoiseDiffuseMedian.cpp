// Noise, diffuse and median.
#include "filters/NoiseDiffuseMedian.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "filters/Convolve.h"
#include "filters/FilterBlocks.h"
#include "filters/FilterLoops.h"
#include "platform/ByteOrder.h"
#include "raster/ScaleImage.h"

namespace tf {

namespace {

int32_t ClampByte(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, 0, 255)); }

// Each of B, G, R, A the smaller (darker) or larger (lighter) of the two.
uint32_t CombineBytes(uint32_t sample, uint32_t current, int32_t mode) {
  if (mode == 0) return sample;
  uint32_t out = 0;
  for (int32_t s = 0; s < 32; s += 8) {
    const uint32_t a = (sample >> s) & 0xFFu, b = (current >> s) & 0xFFu;
    out |= (mode == 1 ? std::min(a, b) : std::max(a, b)) << s;
  }
  return out;
}

// Draws of the pixels of Bounds before Work's row y (rows above Work) or the parts of a Work row
// outside Work: count pixels, draws each.
template <class Draw>
void Skip(int64_t pixels, Draw&& draw) {
  for (int64_t i = 0; i < pixels; ++i) draw();
}

// The rows of Bounds from its top to Work's bottom, every pixel drawing in row order; visit(x, y)
// for the pixels of Work after their draws.
template <class Draw, class Visit>
bool DrawRows(const FilterContext& c, Draw&& draw, Visit&& visit) {
  const TRect& b = c.Bounds;
  const TRect& w = c.Work;
  const int64_t width = int64_t{b.right} - b.left;
  for (int32_t y = b.top; y < w.top; ++y) Skip(width, draw);
  for (int32_t y = w.top; y < w.bottom; ++y) {
    Skip(int64_t{w.left} - b.left, draw);
    for (int32_t x = w.left; x < w.right; ++x) {
      draw();
      if (!visit(x, y)) return false;
    }
    Skip(int64_t{b.right} - w.right, draw);
  }
  return true;
}

}  // namespace

bool NoiseFilter(FilterContext& context, const void* block, int32_t size) {
  if (!CheckFilterContext(context) || size != 16 || block == nullptr) return false;
  const int32_t a = BlockWord(block, 0);
  const bool mono = BlockWord(block, 1) != 0;
  GlobalRandomSeed() = static_cast<uint32_t>(BlockWord(block, 2));
  const uint32_t n = static_cast<uint32_t>(a) * 2u;
  int32_t v[3] = {0, 0, 0};  // red, green, blue
  auto draw = [&] {
    if (mono)
      RandomGrey(v, n);
    else
      RandomRGB(v, n);
  };
  return DrawRows(context, draw, [&](int32_t x, int32_t y) {
    const int32_t cov = CoverageAt(context, x, y);
    if (cov <= 0) return true;
    const uint32_t p = context.Store->GetPixel(x, y);
    const int64_t r = ClampByte(int64_t{(p >> 16) & 0xFF} + v[0] - a);
    const int64_t g = ClampByte(int64_t{(p >> 8) & 0xFF} + v[1] - a);
    const int64_t bl = ClampByte(int64_t{p & 0xFF} + v[2] - a);
    const uint32_t q = (p & 0xFF000000u) | static_cast<uint32_t>(r << 16 | g << 8 | bl);
    return WriteCovered(context, x, y, q, cov, true);  // noise never changes alpha
  });
}

bool DiffuseFilter(FilterContext& context, const void* block, int32_t size) {
  if (!CheckFilterContext(context) || size != 16 || block == nullptr) return false;
  const auto* bytes = static_cast<const uint8_t*>(block);
  const int32_t r = BlockWord(block, 0), mode = BlockWord(block, 1);
  if (mode < 0 || mode > 2) return false;
  const bool keepAlpha = context.KeepAlpha != 0;
  if ((bytes[14] != 0) != keepAlpha) return false;
  GlobalRandomSeed() = static_cast<uint32_t>(BlockWord(block, 2));
  const int32_t W = context.Store->Width(), H = context.Store->Height();
  const TMTC& source = *context.Source;
  if (bytes[12] == 0) {
    const uint32_t n = static_cast<uint32_t>(r) * 2u + 1u;
    int64_t dx = 0, dy = 0;
    auto draw = [&] {
      dx = int64_t{GlobalRandom(n)} - r;
      dy = int64_t{GlobalRandom(n)} - r;
    };
    return DrawRows(context, draw, [&](int32_t x, int32_t y) {
      const int32_t cov = CoverageAt(context, x, y);
      if (cov <= 0) return true;
      const int32_t sx = static_cast<int32_t>(std::clamp<int64_t>(x + dx, 0, W - 1));
      const int32_t sy = static_cast<int32_t>(std::clamp<int64_t>(y + dy, 0, H - 1));
      const uint32_t v = CombineBytes(source.GetPixel(sx, sy), context.Store->GetPixel(x, y), mode);
      return WriteCovered(context, x, y, v, cov, keepAlpha);
    });
  }
  // Radial: 16.16 positions.
  if (!FitsFixedPositions(W, H)) return false;
  CScaleImageTMTC scaler(context.Source, nullptr);
  const TRect clip{0, 0, (W - 1) * 65536, (H - 1) * 65536};
  const uint32_t n = static_cast<uint32_t>(r) * 65536u + 1u;
  uint32_t d = 0, theta = 0;
  auto draw = [&] {
    d = GlobalRandom(n);
    theta = GlobalRandom(360);
  };
  bool sampled = true;
  const bool ok = DrawRows(context, draw, [&](int32_t x, int32_t y) {
    const int32_t cov = CoverageAt(context, x, y);
    if (cov <= 0) return true;
    const double angle = static_cast<double>(theta) * std::numbers::pi / 180.0;
    const int64_t px = int64_t{x} * 65536 + 32768 + static_cast<int64_t>(std::cos(angle) * d);
    const int64_t py = int64_t{y} * 65536 + 32768 + static_cast<int64_t>(std::sin(angle) * d);
    uint32_t v = 0;
    if (!SamplePointInside(v, scaler, &FadeTowardColour, clip,
                           static_cast<int32_t>(std::clamp<int64_t>(px, INT32_MIN / 2, INT32_MAX / 2)),
                           static_cast<int32_t>(std::clamp<int64_t>(py, INT32_MIN / 2, INT32_MAX / 2)))) {
      sampled = false;
      return false;
    }
    v = CombineBytes(v, context.Store->GetPixel(x, y), mode);
    return WriteCovered(context, x, y, v, cov, keepAlpha);
  });
  return ok && sampled;
}

int32_t TwoEndedMedian(const uint32_t histogram[256], uint32_t threshold) {
  uint32_t low = 0, high = 0;
  for (int32_t i = 0; i < 256; ++i) {
    low += histogram[i];
    if (low >= threshold) return i;
    high += histogram[255 - i];
    if (high >= threshold) return 255 - i;
  }
  return 0;
}

namespace {

struct MedianWindow {
  uint32_t a[256]{}, r[256]{}, g[256]{}, b[256]{};
  uint32_t count = 0;  // pixels with alpha
  void Add(uint32_t p, int32_t sign) {
    const uint32_t s = static_cast<uint32_t>(sign);
    a[p >> 24] += s;
    if ((p >> 24) == 0) return;
    r[(p >> 16) & 0xFF] += s;
    g[(p >> 8) & 0xFF] += s;
    b[p & 0xFF] += s;
    count += s;
  }
};

}  // namespace

bool MedianFilter(FilterContext& context, const void* block, int32_t size) {
  if (!CheckFilterContext(context) || size != 8 || block == nullptr) return false;
  const auto* bytes = static_cast<const uint8_t*>(block);
  const int32_t r = bytes[0];
  const bool keepAlpha = bytes[1] != 0 || context.KeepAlpha != 0;
  const TMTC& source = *context.Source;
  const int32_t W = context.Store->Width(), H = context.Store->Height();
  // Edge replication.
  auto at = [&](int32_t x, int32_t y) { return source.GetPixel(std::clamp(x, 0, W - 1), std::clamp(y, 0, H - 1)); };
  auto row = [&](MedianWindow& w, int32_t cx, int32_t y, int32_t sign) {
    for (int32_t x = cx - r; x <= cx + r; ++x) w.Add(at(x, y), sign);
  };
  auto column = [&](MedianWindow& w, int32_t x, int32_t cy, int32_t sign) {
    for (int32_t y = cy - r; y <= cy + r; ++y) w.Add(at(x, y), sign);
  };
  MedianWindow win;
  const TRect& work = context.Work;
  for (int32_t y = work.top - r; y <= work.top + r; ++y) row(win, work.left, y, 1);
  const uint32_t side = 2u * static_cast<uint32_t>(r) + 1u;
  const uint32_t alphaThreshold = ((side * side) >> 1) + 1;
  auto visit = [&](int32_t x, int32_t y) {
    const int32_t cov = CoverageAt(context, x, y);
    if (cov <= 0) return true;
    const uint32_t t = (win.count + 1) / 2;
    uint32_t v = static_cast<uint32_t>(TwoEndedMedian(win.a, alphaThreshold)) << 24;
    if (win.count != 0)
      v |= static_cast<uint32_t>(TwoEndedMedian(win.r, t)) << 16 | static_cast<uint32_t>(TwoEndedMedian(win.g, t)) << 8 |
           static_cast<uint32_t>(TwoEndedMedian(win.b, t));
    return WriteCovered(context, x, y, v, cov, keepAlpha);
  };
  for (int32_t x = work.left; x < work.right; ++x) {
    const bool down = ((x - work.left) & 1) == 0;
    if (x > work.left) {
      // One column right, at the row the walk ended on.
      const int32_t y = down ? work.top : work.bottom - 1;
      column(win, x - 1 - r, y, -1);
      column(win, x + r, y, 1);
    }
    if (down) {
      for (int32_t y = work.top; y < work.bottom; ++y) {
        if (y > work.top) {
          row(win, x, y - 1 - r, -1);
          row(win, x, y + r, 1);
        }
        if (!visit(x, y)) return false;
      }
    } else {
      for (int32_t y = work.bottom - 1; y >= work.top; --y) {
        if (y < work.bottom - 1) {
          row(win, x, y + 1 + r, -1);
          row(win, x, y - r, 1);
        }
        if (!visit(x, y)) return false;
      }
    }
  }
  return true;
}

}  // namespace tf
