// The first filter generation's algorithms.
#include "filters/FiltersV1.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

#include "document/LayerData.h"
#include "document/Mask.h"
#include "filters/FilterContext.h"
#include "filters/OlderFilterWalk.h"
#include "raster/BlockVMTC.h"
#include "raster/ColorMath.h"
#include "raster/Composite.h"
#include "raster/PixelOps.h"

namespace tf {

using namespace older;

// ---------------------------------------------------------------------------------------------
// Coverage, rectangles, row walks

OldCoverage::OldCoverage(const CLayerData& layer, const CMaskData* m) {
  if (!CMaskData::IsAllocated(m)) return;
  mask = m;
  dx = m->offsetX - layer.offsetX;
  dy = m->offsetY - layer.offsetY;
}

int32_t OldCoverage::At(int32_t x, int32_t y) const {
  if (mask == nullptr) return 255;
  const int64_t mx = int64_t{x} + dx, my = int64_t{y} + dy;
  if (mx < 0 || my < 0 || mx > INT32_MAX || my > INT32_MAX) return 0;
  return mask->ValueAt(static_cast<int32_t>(mx), static_cast<int32_t>(my), 255);
}

bool OldMaskedRect(const CLayerData& layer, const CMaskData* mask, TRect* rect, TRect& out) {
  if (!GetMaskedLayerRect(layer, mask, out)) return false;
  if (rect == nullptr) return true;
  TRect r{std::max(out.left, rect->left), std::max(out.top, rect->top), std::min(out.right, rect->right),
          std::min(out.bottom, rect->bottom)};
  *rect = r;
  if (r.right <= r.left || r.bottom <= r.top) return false;
  out = r;
  return true;
}

// ---------------------------------------------------------------------------------------------
// The matrix

void TPixelMatrix::SetWeights(const float weights[9]) { std::memcpy(weights_, weights, sizeof weights_); }
void TPixelMatrix::SetPixels(const uint32_t pixels[9]) { std::memcpy(pixels_, pixels, sizeof pixels_); }

uint32_t TPixelMatrix::Evaluate() const {
  double s = double{weights_[3]} + weights_[4] + weights_[5];
  if (s == 0) s = 1;
  uint32_t out = 0;
  for (int32_t shift = 0; shift < 32; shift += 8) {
    const double sum = weights_[3] * double(Ch(pixels_[1], shift)) + weights_[4] * double(Ch(pixels_[4], shift)) +
                       weights_[5] * double(Ch(pixels_[7], shift));
    const double v = std::trunc(sum / s);
    const int32_t b = !(v > 0) ? 0 : v > 255 ? 255 : static_cast<int32_t>(v);
    out |= static_cast<uint32_t>(b) << shift;
  }
  return out;
}

float PowerCurve(double x, double e) { return static_cast<float>(std::pow(x, e) / std::pow(1.0, e)); }

double CurveExponentV1(double v) {
  const double t = 1.0 - std::fabs(v) * 0.007;
  return v < 0 ? t : 1.0 / t;
}

bool MatrixFilterV1(const CBlockVMTC& backup, CLayerData& layer, const CMaskData* mask, const float weights[9]) {
  TRect masked{};
  CBlockVMTC* store = layer.Store();
  if (store == nullptr || !OldMaskedRect(layer, mask, nullptr, masked)) return false;
  const OldCoverage cov(layer, mask);
  TPixelMatrix matrix;
  matrix.SetWeights(weights);
  const int32_t w = store->Width(), h = store->Height();
  SRowWindow window;
  const auto& rows = window.rows;
  for (int32_t y = 0; y < h; ++y) {
    window.MoveTo(backup, y);
    WalkRow(*store, cov, y, 0, w, NoGate{}, [&](int32_t x, uint32_t* p, int32_t c) {
      uint32_t nine[9];
      for (int32_t r = 0; r < 3; ++r)
        for (int32_t i = 0; i < 3; ++i) nine[3 * r + i] = rows[r][static_cast<size_t>(x + i)];
      matrix.SetPixels(nine);
      BlendColor(p, matrix.Evaluate(), c);
    });
  }
  return true;
}

bool SharpenV1(const CBlockVMTC& backup, CLayerData& layer, const CMaskData* mask) {
  const float w[9] = {-1, -1, -1, -1, 9, -1, -1, -1, -1};
  return MatrixFilterV1(backup, layer, mask, w);
}

bool SharpenMoreV1(const CBlockVMTC& backup, CLayerData& layer, const CMaskData* mask) {
  const float w[9] = {-1, -1, -1, -1, 3, -1, -1, -1, -1};
  return MatrixFilterV1(backup, layer, mask, w);
}

// ---------------------------------------------------------------------------------------------
// Motion and zoom

namespace {

struct SStreakSums {
  uint64_t alpha = 0, b = 0, g = 0, r = 0;
  int64_t taps = 0;
  // count taps on the pixel p.
  void Add(uint32_t p, int64_t count = 1) {
    const uint64_t a = uint64_t{p >> 24} * static_cast<uint64_t>(count);
    alpha += a;
    b += a * Ch(p, 0);
    g += a * Ch(p, 8);
    r += a * Ch(p, 16);
    taps += count;
  }
  // False when no tap had alpha.
  bool Result(uint32_t& out) const {
    if (alpha == 0 || taps == 0) return false;
    out = static_cast<uint32_t>(b / alpha) | static_cast<uint32_t>(g / alpha) << 8 |
          static_cast<uint32_t>(r / alpha) << 16 |
          static_cast<uint32_t>(std::min<uint64_t>(alpha / taps, 255)) << 24;
    return true;
  }
};

// One coordinate of the taps k = 0 .. n-1 of a streak: base + (o + k s) div 65536 (toward zero),
// clamped into the store's side. Monotone in k.
struct STapAxis {
  int64_t base, o, s, size;
  int64_t At(int64_t k) const { return std::clamp<int64_t>(base + (o + k * s) / 65536, 0, size - 1); }
  // The first tap after k whose clamped coordinate differs from k's; n when none does.
  int64_t NextChange(int64_t k, int64_t n) const {
    const int64_t c = At(k);
    if (s == 0 || At(n - 1) == c) return n;
    int64_t lo = k + 1, hi = n - 1;
    while (lo < hi) {
      const int64_t mid = lo + (hi - lo) / 2;
      if (At(mid) != c)
        hi = mid;
      else
        lo = mid + 1;
    }
    return lo;
  }
};

// The taps of one pixel's streak, read from the backup with clamped positions. A long streak
// (a recorded distance far beyond the store) goes from one change of its clamped position to the
// next, so that its cost is bounded by the store's size: the same sums, tap for tap.
void AddStreak(const CBlockVMTC& backup, int32_t x, int32_t y, int64_t ox, int64_t sx, int64_t oy, int64_t sy,
               int64_t n, SStreakSums& sums) {
  const STapAxis ax{x, ox, sx, backup.Width()}, ay{y, oy, sy, backup.Height()};
  if (n <= 64 + 2 * (ax.size + ay.size)) {
    for (int64_t k = 0; k < n; ++k)
      sums.Add(backup.GetPixel(static_cast<int32_t>(ax.At(k)), static_cast<int32_t>(ay.At(k))));
    return;
  }
  for (int64_t k = 0; k < n;) {
    const int64_t next = std::min(ax.NextChange(k, n), ay.NextChange(k, n));
    sums.Add(backup.GetPixel(static_cast<int32_t>(ax.At(k)), static_cast<int32_t>(ay.At(k))), next - k);
    k = next;
  }
}

}  // namespace

bool MotionBlurV1(const CBlockVMTC& backup, CLayerData& layer, const CMaskData* mask, float distance, float angle,
                  bool keepAlpha) {
  CBlockVMTC* store = layer.Store();
  if (store == nullptr || !std::isfinite(distance) || !std::isfinite(angle) || distance == 0) return false;
  const double d = distance;
  const float cx = static_cast<float>(std::cos(double{angle}) * d);
  const float cy = static_cast<float>(std::sin(double{angle}) * d);
  int32_t sx, sy, stepx, stepy, taps;
  if (!TruncInt32(double{cx} * 65536, sx) || !TruncInt32(double{cy} * 65536, sy) ||
      !TruncInt32((-double{cx} - cx) / d / 3 * 65536, stepx) ||
      !TruncInt32((-double{cy} - cy) / d / 3 * 65536, stepy) || !TruncInt32(3 * d, taps) || taps == INT32_MAX)
    return false;
  taps += 1;
  if (taps <= 0) return false;
  const OldCoverage cov(layer, mask);
  const int32_t w = store->Width(), h = store->Height();
  for (int32_t y = 0; y < h; ++y)
    WalkRow(*store, cov, y, 0, w, NoGate{}, [&](int32_t x, uint32_t* p, int32_t c) {
      SStreakSums s;
      AddStreak(backup, x, y, sx, stepx, sy, stepy, taps, s);
      uint32_t v;
      if (s.Result(v)) WriteByFlag(p, v, c, keepAlpha);
    });
  return true;
}

bool ZoomBlurV1(const CBlockVMTC& backup, CLayerData& layer, const CMaskData* mask, float amount, int32_t centreX,
                int32_t centreY, bool keepAlpha) {
  CBlockVMTC* store = layer.Store();
  if (store == nullptr || !std::isfinite(amount) || amount == 0) return false;
  const int32_t w = store->Width(), h = store->Height();
  const int64_t hw = w / 2, hh = h / 2;
  if (hw == 0 && hh == 0) return false;
  const double a = amount;
  const float step = static_cast<float>(a / std::sqrt(static_cast<double>(hw * hw + hh * hh)));
  int32_t taps;
  if (!TruncInt32(2 * a, taps) || taps == INT32_MAX || taps + 1 <= 0) return false;
  taps += 1;
  // Start and step of every column and every row, made before anything is written.
  const auto build = [&](int32_t n, int32_t centre, std::vector<int32_t>& start, std::vector<int32_t>& inc) {
    start.resize(static_cast<size_t>(n));
    inc.resize(static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i) {
      const double l = double{step} * static_cast<double>(int64_t{i} - centre) / 2;
      if (!TruncInt32(-l * 65536, start[static_cast<size_t>(i)]) ||
          !TruncInt32(l * 2 / a / 2 * 65536, inc[static_cast<size_t>(i)]))
        return false;
    }
    return true;
  };
  std::vector<int32_t> ox, sx, oy, sy;
  if (!build(w, centreX, ox, sx) || !build(h, centreY, oy, sy)) return false;
  const OldCoverage cov(layer, mask);
  for (int32_t y = 0; y < h; ++y) {
    const int64_t y0 = oy[static_cast<size_t>(y)], ys = sy[static_cast<size_t>(y)];
    WalkRow(*store, cov, y, 0, w, NoGate{}, [&](int32_t x, uint32_t* p, int32_t c) {
      const int64_t x0 = ox[static_cast<size_t>(x)], xs = sx[static_cast<size_t>(x)];
      SStreakSums s;
      AddStreak(backup, x, y, x0, xs, y0, ys, taps, s);
      uint32_t v;
      if (s.Result(v)) WriteByFlag(p, v, c, keepAlpha);
    });
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// Noise and mosaic

bool NoiseV1(const CBlockVMTC& backup, CLayerData& layer, const CMaskData* mask, int32_t range, bool monochrome,
             uint32_t seed, TRect* rect) {
  CBlockVMTC* store = layer.Store();
  TRect r{};
  if (store == nullptr || !OldMaskedRect(layer, mask, rect, r)) return false;
  GlobalRandomSeed() = seed;
  const int64_t half = range / 2;
  const uint32_t n = static_cast<uint32_t>(range);
  const auto draw = [&] { return static_cast<int64_t>(static_cast<int32_t>(GlobalRandom(n))) - half; };
  const OldCoverage cov(layer, mask);
  const auto add = [](uint32_t p, int32_t shift, int64_t d) {
    return static_cast<uint32_t>(std::clamp<int64_t>(int64_t{Ch(p, shift)} + d, 0, 255)) << shift;
  };
  for (int32_t y = r.top; y < r.bottom; ++y)
    WalkRow(*store, cov, y, r.left, r.right, AlphaGate{}, [&](int32_t x, uint32_t* p, int32_t c) {
      const int64_t dr = draw();
      int64_t dg = dr, db = dr;
      if (!monochrome) {
        dg = draw();
        db = draw();
      }
      const uint32_t src = backup.GetPixelClamped(x, y);
      BlendColor(p, add(src, 16, dr) | add(src, 8, dg) | add(src, 0, db), c);
    });
  return true;
}

bool MosaicV1(const CBlockVMTC& backup, CLayerData& layer, const CMaskData* mask, int32_t cell, bool keepAlpha,
              TRect* rect) {
  CBlockVMTC* store = layer.Store();
  TRect r{};
  if (store == nullptr || cell <= 1 || !OldMaskedRect(layer, mask, rect, r)) return false;
  const int64_t n = cell;
  const int64_t w = store->Width(), h = store->Height();
  const int64_t col0 = r.left / n, col1 = (r.right - 1) / n;
  const int64_t row0 = r.top / n, row1 = (r.bottom - 1) / n;
  if (rect != nullptr) {
    *rect = TRect{static_cast<int32_t>(col0 * n), static_cast<int32_t>(row0 * n),
                  static_cast<int32_t>(std::min<int64_t>(INT32_MAX, (col1 + 1) * n - 1)),
                  static_cast<int32_t>(std::min<int64_t>(INT32_MAX, (row1 + 1) * n - 1))};
  }
  const OldCoverage cov(layer, mask);
  // Positions past the store repeat its edge; past both the store and the mask store they have
  // no coverage. The write walk covers what can be covered, in the cell's row order.
  int64_t reachX = w, reachY = h;
  if (cov.mask != nullptr) {
    reachX = std::max<int64_t>(w, int64_t{cov.mask->Store()->Width()} - cov.dx);
    reachY = std::max<int64_t>(h, int64_t{cov.mask->Store()->Height()} - cov.dy);
  }
  for (int64_t cr = row0; cr <= row1; ++cr) {
    const int64_t top = cr * n, bottom = top + n;  // rows top .. bottom-1
    for (int64_t cc = col0; cc <= col1; ++cc) {
      const int64_t left = cc * n, right = left + n;
      // Each clamped row and column once, weighted by how often the cell repeats it.
      // 128 bits: a cell of 2^30 repeats its edge pixel 2^60 times.
      using Sum = unsigned __int128;
      Sum sa = 0, sb = 0, sg = 0, sr = 0;
      const int64_t lastY = std::min(bottom, h) - 1, lastX = std::min(right, w) - 1;
      for (int64_t y = top; y <= lastY; ++y) {
        const uint64_t wy = y == lastY ? static_cast<uint64_t>(bottom - lastY) : 1;
        for (int64_t x = left; x <= lastX; ++x) {
          const uint64_t wt = wy * (x == lastX ? static_cast<uint64_t>(right - lastX) : 1);
          const uint32_t p = backup.GetPixel(static_cast<int32_t>(x), static_cast<int32_t>(y));
          const Sum a = Sum{p >> 24} * wt;
          sa += a;
          sb += a * Ch(p, 0);
          sg += a * Ch(p, 8);
          sr += a * Ch(p, 16);
        }
      }
      if (sa == 0) continue;
      const Sum count = Sum{static_cast<uint64_t>(n)} * static_cast<uint64_t>(n);
      const Sum alpha = sa / count;
      const uint32_t v = static_cast<uint32_t>(sb / sa) | static_cast<uint32_t>(sg / sa) << 8 |
                         static_cast<uint32_t>(sr / sa) << 16 |
                         static_cast<uint32_t>(alpha > 255 ? 255 : alpha) << 24;
      const int64_t yEnd = cov.mask == nullptr ? std::min(bottom, h) : std::min(bottom, reachY);
      const int64_t xEnd = cov.mask == nullptr ? std::min(right, w) : std::min(right, reachX);
      for (int64_t y = top; y < yEnd; ++y)
        for (int64_t x = left; x < xEnd; ++x) {
          const int32_t c = cov.At(static_cast<int32_t>(x), static_cast<int32_t>(y));
          if (c <= 0) continue;
          uint32_t* p = store->WritePtrClamped(static_cast<int32_t>(x), static_cast<int32_t>(y));
          if (p == nullptr) throw std::bad_alloc();
          WriteByFlag(p, v, c, keepAlpha);
        }
    }
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// Channel tables

SChannelTablesV1& ChannelTablesV1() {
  static SChannelTablesV1 tables{};
  return tables;
}

namespace {
void SetTables(const uint8_t table[256]) {
  SChannelTablesV1& t = ChannelTablesV1();
  std::memcpy(t.blue, table, 256);
  std::memcpy(t.green, table, 256);
  std::memcpy(t.red, table, 256);
}
}  // namespace

bool ApplyChannelTablesV1(CLayerData& layer, const CMaskData* mask, TRect* rect) {
  CBlockVMTC* store = layer.Store();
  TRect r{};
  if (store == nullptr || !OldMaskedRect(layer, mask, rect, r)) return false;
  const SChannelTablesV1& t = ChannelTablesV1();
  const OldCoverage cov(layer, mask);
  for (int32_t y = r.top; y < r.bottom; ++y)
    WalkRow(*store, cov, y, r.left, r.right, AlphaGate{}, [&](int32_t, uint32_t* p, int32_t c) {
      const uint32_t v = *p;
      BlendColor(
          p, uint32_t{t.blue[Ch(v, 0)]} | uint32_t{t.green[Ch(v, 8)]} << 8 | uint32_t{t.red[Ch(v, 16)]} << 16, c);
    });
  return true;
}

bool BuildPosterizeTableV1(int32_t levels) {
  if (levels < 2 || levels > 254) return false;
  uint8_t table[256];
  float level = 0, edge = 0;
  const float up = 255.0f / static_cast<float>(levels - 1), across = 255.0f / static_cast<float>(levels);
  for (int32_t i = 0; i < 256; ++i) {
    const int32_t v = static_cast<int32_t>(std::trunc(level));
    if (static_cast<float>(i) >= across + edge) {
      level += up;
      edge += across;
    }
    table[i] = static_cast<uint8_t>(std::min(v, 255));
  }
  SetTables(table);
  return true;
}

bool BuildLevelsTableV1(int32_t low, int32_t middle, int32_t high, int32_t outLow, int32_t outHigh) {
  uint8_t table[256];
  const double L = low, M = middle, H = high;
  for (int32_t i = 0; i < 256; ++i) {
    const double v = std::min(std::max(double(i), L), H);
    double t;
    if (v < M)
      t = M == L ? 0.5 : (v - L) / (M - L) * 0.5;
    else
      t = H == M ? 0.5 : (v - M) / (H - M) * 0.5 + 0.5;
    const double span = (double(outHigh) - outLow) * t;
    if (!std::isfinite(span)) return false;
    const int64_t value = static_cast<int64_t>(std::trunc(span)) + outLow;
    table[i] = static_cast<uint8_t>(std::clamp<int64_t>(value, 0, 255));
  }
  SetTables(table);
  return true;
}

bool BuildBrightnessContrastTableV1(int32_t contrast, int32_t brightness) {
  const double e1 = CurveExponentV1(-static_cast<double>(brightness));
  const double e2 = CurveExponentV1(contrast);
  const double e3 = CurveExponentV1(-static_cast<double>(contrast));
  double t[256];
  for (int32_t i = 0; i < 256; ++i) t[i] = std::pow(i / 255.0, e1) - i / 255.0;
  for (int32_t j = 0; j < 128; ++j) t[j] += std::pow(j / 127.0, e2) - j / 127.0;
  for (int32_t k = 0; k < 128; ++k) t[128 + k] += std::pow(k / 127.0, e3) - k / 127.0;
  uint8_t table[256];
  for (int32_t i = 0; i < 256; ++i) {
    const double v = i / 255.0 + t[i];
    if (std::isnan(v)) return false;
    const double c = std::clamp(v, 0.0, 1.0) * 255;
    table[i] = static_cast<uint8_t>(std::clamp<int32_t>(static_cast<int32_t>(std::trunc(c)), 0, 255));
  }
  SetTables(table);
  return true;
}

bool PosterizeV1(CLayerData& layer, const CMaskData* mask, int32_t levels, TRect* rect) {
  return BuildPosterizeTableV1(levels) && ApplyChannelTablesV1(layer, mask, rect);
}

bool LevelsV1(CLayerData& layer, const CMaskData* mask, int32_t low, int32_t middle, int32_t high, int32_t outLow,
              int32_t outHigh, TRect* rect) {
  return BuildLevelsTableV1(low, middle, high, outLow, outHigh) && ApplyChannelTablesV1(layer, mask, rect);
}

bool BrightnessContrastV1(CLayerData& layer, const CMaskData* mask, int32_t contrast, int32_t brightness,
                          TRect* rect) {
  return BuildBrightnessContrastTableV1(contrast, brightness) && ApplyChannelTablesV1(layer, mask, rect);
}

bool GrayscaleV1(CLayerData& layer, const CMaskData* mask) {
  CBlockVMTC* store = layer.Store();
  TRect r{};
  if (store == nullptr || !OldMaskedRect(layer, mask, nullptr, r)) return false;
  const OldCoverage cov(layer, mask);
  const int32_t w = store->Width(), h = store->Height();
  for (int32_t y = 0; y < h; ++y)
    WalkRow(*store, cov, y, 0, w, AlphaGate{}, [&](int32_t, uint32_t* p, int32_t c) {
      const uint32_t l = static_cast<uint32_t>(PixelLuminance(p)) & 0xFFu;
      if (c == 255)
        *p = (*p & 0xFF000000u) | l | l << 8 | l << 16;  // BlendColor at 255, exactly
      else
        BlendColor(p, l | l << 8 | l << 16, c);
    });
  return true;
}

// ---------------------------------------------------------------------------------------------
// Hue and saturation

bool BuildHueSaturationTablesV1(int32_t saturation, int32_t lightness, SHueSaturationTablesV1& out) {
  int32_t s;
  if (!TruncInt32(static_cast<double>(saturation) * 2.55, s)) return false;
  if (s < 0) {
    for (int32_t i = 0; i < 257; ++i)
      if (!TruncInt32((double(s) + 256) * i / 255 * 65536, out.saturation[i])) return false;
  } else {
    const double m = 256.0 - s;
    const int64_t last = static_cast<int64_t>(std::trunc(m));
    for (int32_t i = 0; i < 257; ++i) {
      if (i <= last) {
        const double v = i == 0 ? 0.0 : i * 255.0 / m * 65536;
        if (!TruncInt32(v, out.saturation[i])) return false;
      } else {
        out.saturation[i] = 255 * 65536;
      }
    }
  }
  // Beyond -127..127 the lower or upper half would have no room (and 128 divides 0 by 0).
  const double l = std::clamp(lightness, -127, 127);
  const double up = CurveExponentV1(std::fabs(l)), down = CurveExponentV1(-std::fabs(l));
  const int32_t lower = static_cast<int32_t>(std::trunc(128 - l));
  int32_t index = 0;
  for (int32_t i = 0; i <= lower; ++i)
    out.lightness[index++] = static_cast<int32_t>(std::trunc(std::pow(i / (128 - l), up) * 128 * 65536));
  const int32_t upper = static_cast<int32_t>(std::trunc(l + 127));
  for (int32_t t = 1; t <= upper && index < 256; ++t)
    out.lightness[index++] =
        static_cast<int32_t>(std::trunc((std::pow(t / (l + 127), down) * 127 + 128) * 65536));
  while (index < 256) out.lightness[index++] = 255 * 65536;
  return true;
}

bool HueSaturationV1(CLayerData& layer, const CMaskData* mask, int32_t hue, int32_t saturation, int32_t lightness,
                     TRect* rect) {
  CBlockVMTC* store = layer.Store();
  TRect r{};
  if (store == nullptr || !OldMaskedRect(layer, mask, rect, r)) return false;
  SHueSaturationTablesV1 tables;
  if (!BuildHueSaturationTablesV1(saturation, lightness, tables)) return false;
  const int64_t shift = int64_t{hue} * 65536;
  constexpr int64_t kFull = 360 * 65536;
  const OldCoverage cov(layer, mask);
  for (int32_t y = r.top; y < r.bottom; ++y)
    WalkRow(*store, cov, y, r.left, r.right, AlphaGate{}, [&](int32_t, uint32_t* p, int32_t c) {
      uint32_t redFirst = 0;
      ReverseRGB3(reinterpret_cast<const uint8_t*>(p), reinterpret_cast<uint8_t*>(&redFirst));
      SHSLFix hsl;
      RGBToHSL2(&redFirst, hsl);
      // The hue is brought back into range the way the inverse does it (repeated steps of 360).
      int64_t h = int64_t{hsl.hue} + shift;
      if (h > kFull) h = (h - 1) % kFull + 1;
      if (h < 0) h = (h % kFull + kFull) % kFull;
      hsl.hue = static_cast<int32_t>(h);
      hsl.saturation = tables.saturation[std::clamp(hsl.saturation / 65536, 0, 256)];
      hsl.lightness = tables.lightness[std::clamp(hsl.lightness / 65536, 0, 255)];
      uint8_t rgb[4] = {0, 0, 0, 0};
      HSLToRGB2(hsl, rgb);
      uint32_t v = 0;
      ReverseRGB3(rgb, reinterpret_cast<uint8_t*>(&v));
      BlendColor(p, v, c);
    });
  return true;
}

}  // namespace tf
