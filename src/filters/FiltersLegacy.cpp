// The second filter generation's algorithms: sharpen, Gaussian, emboss, twirl, wave, tiles and
// clouds.
#include "filters/FiltersLegacy.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <vector>

#include "document/LayerData.h"
#include "document/Mask.h"
#include "filters/Blurs.h"
#include "filters/FilterContext.h"
#include "filters/InfinitePlane.h"
#include "filters/OlderFilterWalk.h"
#include "filters/OlderLighting.h"
#include "filters/Samplers.h"
#include "filters/Vectors.h"
#include "platform/ByteOrder.h"
#include "raster/BlockVMTC.h"
#include "raster/ChannelShapes.h"
#include "raster/Composite.h"
#include "raster/FlatImage.h"
#include "raster/PixelOps.h"

namespace tf {

using namespace older;

namespace {

constexpr int32_t kMaxFixedSide = 32767;

bool Bounds(const CLayerData& layer, const CMaskData* mask, TRect& r) {
  return layer.Store() != nullptr && GetMaskedLayerRect(layer, mask, r);
}

// The whole store back from the backup.
bool CopyBack(const CBlockVMTC& backup, CLayerData& layer) {
  if (!layer.Store()->CopyAllFrom(backup)) throw std::bad_alloc();
  return true;
}

// The backup as one flat picture (uncommitted tiles as their fill), for the samplers: the same
// pixels as the store's, read without a tile look-up each. Raises std::bad_alloc when it cannot
// be made.
std::unique_ptr<TMTC> FlatCopy(const CBlockVMTC& backup) {
  auto image = std::make_unique<TMTC>(backup.Width(), backup.Height());
  if (!image->IsValid() || !backup.CopyAllToImage(*image, 0, 0, 255, false)) throw std::bad_alloc();
  return image;
}

bool FitsFixed(const CBlockVMTC& store) {
  return store.Width() <= kMaxFixedSide && store.Height() <= kMaxFixedSide;
}

// A 16.16 position given in 64 bits, brought into 32 bits with the same whole part modulo size
// and the same fraction bits: what the wrapping sampler reads at it (size <= 32767).
int32_t WrapFixed(int64_t v, int32_t size) {
  const int64_t m = int64_t{size} * 65536;
  if (v >= 0) return static_cast<int32_t>(v % m);
  return static_cast<int32_t>(-((-v) % m));
}

// The resampled pixel written as the twirl and wave write it: straight on a normal layer (the
// selection only gates), by BlendColor with the selection value on an alpha-protected one.
inline void WriteResampled(uint32_t* p, uint32_t sample, int32_t c, bool protect) {
  if (protect)
    BlendColor(p, sample, c);
  else
    *p = sample;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Sharpen

bool LegacySharpen(const CBlockVMTC& backup, CLayerData& layer, const CMaskData* mask, float strength) {
  TRect r{};
  if (!Bounds(layer, mask, r) || !std::isfinite(strength)) return false;
  if (strength <= 0) return true;
  const double c = std::pow(3.0, 1.0 - double{strength}) * 15.9 + 4.1;
  const double k[9] = {0, -1, 0, -1, c, -1, 0, -1, 0};
  double kernel[9];
  NormalizeKernel3x3(kernel, k);
  CBlockVMTC& store = *layer.Store();
  const OldCoverage cov(layer, mask);
  SRowWindow window;
  const auto& rows = window.rows;
  for (int32_t y = 0; y < store.Height(); ++y) {
    window.MoveTo(backup, y);
    WalkRow(store, cov, y, 0, store.Width(), NoGate{}, [&](int32_t x, uint32_t* p, int32_t weight) {
      uint32_t nine[9];
      for (int32_t j = 0; j < 3; ++j)
        for (int32_t i = 0; i < 3; ++i) nine[3 * j + i] = rows[j][static_cast<size_t>(x + i)];
      BlendColor(p, Convolve3x3(kernel, nine), weight);
    });
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// Gaussian

bool LegacyGaussianBlur(const CBlockVMTC& backup, CLayerData& layer, const CMaskData* mask, float sigma) {
  TRect r{};
  if (!Bounds(layer, mask, r) || !std::isfinite(sigma)) return false;
  if (sigma <= 0) return CopyBack(backup, layer);
  CBlockVMTC& store = *layer.Store();
  const int32_t W = store.Width(), H = store.Height();
  std::vector<float> kh(static_cast<size_t>(W)), kv(static_cast<size_t>(H));
  int32_t rh = 0, rv = 0;
  BuildGaussianKernelsFloat(kh.data(), kv.data(), W, std::fabs(double{sigma}), H, rh, rv);
  // The vertical pass over Bounds, a row at a time (each column's sums in tap order, as the
  // column-by-column walk adds them); the rest of the temporary store (to Bounds right and
  // bottom) stays transparent white.
  const int32_t bw = r.right - r.left, bh = r.bottom - r.top;
  const size_t n = static_cast<size_t>(bw);
  constexpr uint32_t kClear = 0x00FFFFFFu;
  std::vector<uint32_t> temp(n * static_cast<size_t>(bh), kClear);
  const int32_t cv = H / 2, ch = W / 2;
  const int32_t y0 = std::max(0, r.top - rv), y1 = std::min(H, r.bottom + rv);
  std::vector<uint32_t> source(n * static_cast<size_t>(y1 - y0));
  for (int32_t y = y0; y < y1; ++y)
    ReadRow(backup, y, r.left, r.right, source.data() + n * static_cast<size_t>(y - y0));
  std::vector<double> t(n), sb(n), sg(n), sr(n), m(n);
  std::vector<uint64_t> sa(n);
  std::vector<int64_t> used(n);
  // Column i's result from the sums: alpha the plain mean, colours weighted by kernel x alpha.
  const auto result = [&](size_t i, uint32_t& out) {
    if (m[i] == 0 || sa[i] == 0 || used[i] == 0 || t[i] == 0) return false;
    const auto channel = [&](double v) {
      return static_cast<uint32_t>(std::clamp<double>(std::trunc(v / t[i]), 0, 255));
    };
    out = channel(sb[i]) | channel(sg[i]) << 8 | channel(sr[i]) << 16 |
          static_cast<uint32_t>(std::min<uint64_t>(sa[i] / static_cast<uint64_t>(used[i]), 255)) << 24;
    return true;
  };
  const auto clear = [&] {
    std::fill(t.begin(), t.end(), 0.0);
    std::fill(sb.begin(), sb.end(), 0.0);
    std::fill(sg.begin(), sg.end(), 0.0);
    std::fill(sr.begin(), sr.end(), 0.0);
    std::fill(m.begin(), m.end(), 0.0);
    std::fill(sa.begin(), sa.end(), 0);
    std::fill(used.begin(), used.end(), 0);
  };
  const auto add = [&](size_t i, float w, uint32_t p) {
    const uint32_t a = p >> 24;
    const double wa = double{w} * a;
    m[i] += w;
    sa[i] += a;
    ++used[i];
    t[i] += wa;
    sb[i] += wa * Ch(p, 0);
    sg[i] += wa * Ch(p, 8);
    sr[i] += wa * Ch(p, 16);
  };
  for (int32_t y = r.top; y < r.bottom; ++y) {
    clear();
    for (int32_t k = -rv; k <= rv; ++k) {
      const int32_t index = k + cv, sy = y + k;
      if (index < 0 || index >= H || sy < 0 || sy >= H) continue;
      const float w = kv[static_cast<size_t>(index)];
      const uint32_t* row = source.data() + n * static_cast<size_t>(sy - y0);
      for (size_t i = 0; i < n; ++i) add(i, w, row[i]);
    }
    uint32_t* out = temp.data() + n * static_cast<size_t>(y - r.top);
    for (size_t i = 0; i < n; ++i) {
      uint32_t v;
      if (result(i, v)) out[i] = v;
    }
  }
  // The horizontal pass: taps inside the temporary store (0 .. Bounds right - 1; left of Bounds
  // it holds transparent white).
  const OldCoverage cov(layer, mask);
  const bool protect = layer.alphaProtect != 0;
  std::vector<uint32_t> lit(n);
  std::vector<uint8_t> has(n);
  for (int32_t y = r.top; y < r.bottom; ++y) {
    clear();
    const uint32_t* row = temp.data() + n * static_cast<size_t>(y - r.top);
    for (int32_t k = -rh; k <= rh; ++k) {
      const int32_t index = k + ch;
      if (index < 0 || index >= W) continue;
      const float w = kh[static_cast<size_t>(index)];
      // Columns x with 0 <= x + k < Bounds right.
      const int32_t from = std::max(r.left, -k), to = std::min(r.right, r.right - k);
      for (int32_t x = from; x < to; ++x) {
        const int32_t sx = x + k;
        add(static_cast<size_t>(x - r.left), w, sx < r.left ? kClear : row[sx - r.left]);
      }
    }
    for (size_t i = 0; i < n; ++i) has[i] = result(i, lit[i]) ? 1 : 0;
    WalkRow(store, cov, y, r.left, r.right, NoGate{}, [&](int32_t x, uint32_t* p, int32_t c) {
      const size_t i = static_cast<size_t>(x - r.left);
      if (has[i]) WriteByFlag(p, lit[i], c, protect);
    });
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// Emboss

bool LegacyEmboss(const CBlockVMTC& backup, CLayerData& layer, const CMaskData* mask, float distance,
                  float angle) {
  TRect r{};
  if (!Bounds(layer, mask, r) || !std::isfinite(distance) || !std::isfinite(angle)) return false;
  if (distance <= 0) return CopyBack(backup, layer);
  CBlockVMTC& store = *layer.Store();
  if (!FitsFixed(store)) return false;
  // (0, 1) turned by the angle, then scaled by the distance.
  TVector2 offset;
  offset.y = 1;
  offset.Rotate(angle);
  offset.Scale(distance);
  const float ox = offset.x, oy = offset.y;
  const std::unique_ptr<TMTC> flat = FlatCopy(backup);
  const OldCoverage cov(layer, mask);
  bool ok = true;
  for (int32_t y = r.top; y < r.bottom && ok; ++y)
    WalkRow(store, cov, y, r.left, r.right, NoGate{}, [&](int32_t x, uint32_t* p, int32_t c) {
      int32_t tx, ty, ux, uy;
      if (!TruncInt32((x - double{ox}) * 65536, tx) || !TruncInt32((y - double{oy}) * 65536, ty) ||
          !TruncInt32((x + double{ox}) * 65536, ux) || !TruncInt32((y + double{oy}) * 65536, uy)) {
        ok = false;
        return;
      }
      const uint32_t t = SampleImageBilinear(*flat, tx, ty, true);
      const uint32_t u = SampleImageBilinear(*flat, ux, uy, true);
      uint32_t v = 0;
      for (int32_t shift = 0; shift < 24; shift += 8) {
        const int32_t d = static_cast<int32_t>(Ch(t, shift)) - static_cast<int32_t>(Ch(u, shift));
        v |= static_cast<uint32_t>(128 + d / 2) << shift;
      }
      BlendColor(p, v, c);
    });
  return ok;
}

// ---------------------------------------------------------------------------------------------
// Twirl and wave

bool LegacyTwirl(const CBlockVMTC& backup, CLayerData& layer, const CMaskData* mask, float centreYFraction,
                 float centreXFraction, uint8_t radiusFlag, float turns) {
  TRect r{};
  if (!Bounds(layer, mask, r) || !std::isfinite(centreYFraction) || !std::isfinite(centreXFraction) ||
      !std::isfinite(turns))
    return false;
  if (turns == 0) return CopyBack(backup, layer);
  CBlockVMTC& store = *layer.Store();
  if (!FitsFixed(store)) return false;
  const int32_t W = store.Width(), H = store.Height();
  int32_t cx, cy;
  if (!TruncInt32(double(W) * centreXFraction, cx) || !TruncInt32(double(H) * centreYFraction, cy)) return false;
  CopyBack(backup, layer);
  const double u = W / 2 + std::fabs(double(cx) - W / 2), v = H / 2 + std::fabs(double(cy) - H / 2);
  const double D = radiusFlag != 0 ? std::min(u, v) : std::sqrt(u * u + v * v);
  const std::unique_ptr<TMTC> flat = FlatCopy(backup);
  const OldCoverage cov(layer, mask);
  const bool protect = layer.alphaProtect != 0;
  bool ok = true;
  for (int32_t y = r.top; y < r.bottom && ok; ++y)
    WalkRow(
        store, cov, y, r.left, r.right,
        [&](int32_t x, int32_t yy, uint32_t) {
          const double ddx = double(x) - cx, ddy = double(yy) - cy;
          if (radiusFlag != 0 && (std::fabs(ddx) >= D || std::fabs(ddy) >= D)) return false;
          TVector2 v;
          v.x = static_cast<float>(ddx);
          v.y = static_cast<float>(ddy);
          return v.Length() < D;
        },
        [&](int32_t x, uint32_t* p, int32_t c) {
          if (!ok) return;
          TVector2 v;
          v.x = static_cast<float>(double(x) - cx);
          v.y = static_cast<float>(double(y) - cy);
          const float d = v.Length();
          v.Rotate(double{turns} * 6.28318 * (1 - d / D));
          const float rx = v.x, ry = v.y;
          int32_t sx, sy;
          if (!TruncInt32((cx + double{rx}) * 65536, sx) || !TruncInt32((cy + double{ry}) * 65536, sy)) {
            ok = false;
            return;
          }
          WriteResampled(p, SampleImageBilinear(*flat, sx, sy, true), c, protect);
        });
  return ok;
}

bool LegacyWave(const CBlockVMTC& backup, CLayerData& layer, const CMaskData* mask, float phase,
                float rowFrequency, float columnFrequency, float rowAmplitude, float columnAmplitude) {
  TRect r{};
  for (float v : {phase, rowFrequency, columnFrequency, rowAmplitude, columnAmplitude})
    if (!std::isfinite(v)) return false;
  if (!Bounds(layer, mask, r)) return false;
  if (double{columnFrequency} * columnAmplitude == 0 && double{rowFrequency} * rowAmplitude == 0)
    return CopyBack(backup, layer);
  CBlockVMTC& store = *layer.Store();
  if (!FitsFixed(store)) return false;
  const int32_t W = store.Width(), H = store.Height();
  const auto table = [&](int32_t n, float frequency, float amplitude, std::vector<int32_t>& dx,
                         std::vector<int32_t>& dy) {
    dx.resize(static_cast<size_t>(n));
    dy.resize(static_cast<size_t>(n));
    for (int32_t j = 0; j < n; ++j) {
      const double a = (double(j) / n * 2 * 3.14159 + phase) * frequency;
      if (!TruncInt32(std::cos(a) * amplitude * 65536, dx[static_cast<size_t>(j)]) ||
          !TruncInt32(std::sin(a) * amplitude * 65536, dy[static_cast<size_t>(j)]))
        return false;
    }
    return true;
  };
  std::vector<int32_t> cdx, cdy, rdx, rdy;
  if (!table(W, columnFrequency, columnAmplitude, cdx, cdy) || !table(H, rowFrequency, rowAmplitude, rdx, rdy))
    return false;
  const std::unique_ptr<TMTC> flat = FlatCopy(backup);
  const OldCoverage cov(layer, mask);
  const bool protect = layer.alphaProtect != 0;
  for (int32_t y = r.top; y < r.bottom; ++y)
    WalkRow(store, cov, y, r.left, r.right, NoGate{}, [&](int32_t x, uint32_t* p, int32_t c) {
      const size_t i = static_cast<size_t>(x), k = static_cast<size_t>(y);
      const int64_t sx = int64_t{x} * 65536 + cdx[i] + rdx[k];
      const int64_t sy = int64_t{y} * 65536 + cdy[i] + rdy[k];
      WriteResampled(p, SampleImageBilinear(*flat, WrapFixed(sx, W), WrapFixed(sy, H), true), c, protect);
    });
  return true;
}

// ---------------------------------------------------------------------------------------------
// Tiles

namespace {

// One cell: each channel pixel (or, without a channel, each pixel of the s x s square) whose
// store position is inside the store and selected gets the colour with weight min(value, alpha).
void PaintShapeTile(CBlockVMTC& store, const OldCoverage& cov, const TChannel* channel, int64_t size,
                    int64_t left, int64_t top, uint32_t colour, bool protect) {
  const int64_t cw = channel != nullptr ? channel->Width() : size;
  const int64_t chh = channel != nullptr ? channel->Height() : size;
  const int64_t x0 = std::max<int64_t>(left, 0), x1 = std::min<int64_t>(left + cw, store.Width());
  const int64_t y0 = std::max<int64_t>(top, 0), y1 = std::min<int64_t>(top + chh, store.Height());
  const uint32_t alpha = colour >> 24;
  for (int64_t y = y0; y < y1; ++y) {
    const int32_t yy = static_cast<int32_t>(y);
    WalkRow(
        store, cov, yy, static_cast<int32_t>(x0), static_cast<int32_t>(x1),
        [&](int32_t x, int32_t, uint32_t) {
          return channel == nullptr ||
                 channel->GetPixel(static_cast<int32_t>(x - left), static_cast<int32_t>(y - top)) != 0;
        },
        [&](int32_t x, uint32_t* p, int32_t) {
          const uint32_t value = channel != nullptr ? channel->GetPixel(static_cast<int32_t>(x - left),
                                                                        static_cast<int32_t>(y - top))
                                                    : 255;
          const int32_t weight = static_cast<int32_t>(std::min(value, alpha));
          if (protect)
            PixelBlendSourceAlpha(p, colour, weight);
          else
            PixelPaintOver(p, colour, weight);
        });
  }
}

int64_t CeilDiv(int64_t a, int64_t b) { return a <= 0 ? 0 : (a + b - 1) / b; }

// A triangle's coverage channel (2cw + 2) x (ch + 2): cleared, the corners floored (after 0.01)
// and moved one pixel right and down, filled.
std::unique_ptr<TChannel> TriangleChannel(int32_t cw, int32_t ch, const SPointF corners[3]) {
  const int64_t w = 2 * int64_t{cw} + 2, h = int64_t{ch} + 2;
  if (w > INT32_MAX || h > INT32_MAX || w * h > INT32_MAX) throw std::bad_alloc();
  auto channel = std::make_unique<TChannel>(static_cast<int32_t>(w), static_cast<int32_t>(h));
  if (!channel->IsValid()) throw std::bad_alloc();
  channel->FillRectCoords(0, 0, static_cast<int32_t>(w), static_cast<int32_t>(h), 0);
  TPoint points[3];
  for (int32_t i = 0; i < 3; ++i) {
    PointFToPoint(corners[i], points[i]);
    points[i].x += 1;
    points[i].y += 1;
  }
  FillPolygon(*channel, points, 3);
  return channel;
}

}  // namespace

bool LegacyTiles(const CBlockVMTC& backup, CLayerData& layer, const CMaskData* mask, const SLegacyTiles& tiles) {
  TRect r{};
  if (!Bounds(layer, mask, r)) return false;
  if (tiles.count < 1 || tiles.count > 3 || tiles.shape < 0 || tiles.shape > 1 || tiles.cell < 0) return false;
  if (tiles.cell == 0) return CopyBack(backup, layer);
  CBlockVMTC& store = *layer.Store();
  const OldCoverage cov(layer, mask);
  const bool protect = layer.alphaProtect != 0;
  const int64_t s = tiles.cell, n = tiles.count;
  if (tiles.shape == 0) {
    const int64_t columns = CeilDiv(r.right, s), rows = CeilDiv(r.bottom, s);
    for (int64_t row = 0; row < rows; ++row) {
      const int64_t top = r.top + row * s;
      if (top >= store.Height()) break;
      for (int64_t col = 0; col < columns; ++col) {
        const int64_t left = r.left + col * s;
        if (left >= store.Width()) break;
        PaintShapeTile(store, cov, nullptr, s, left, top, tiles.colours[(row + col) % n], protect);
      }
    }
    return true;
  }
  const double half = s / 2.0, height = std::sqrt(3.0) * s / 2;
  const int64_t cw64 = static_cast<int64_t>(std::trunc(half));
  const int64_t ch64 = std::max<int64_t>(static_cast<int64_t>(std::trunc(height)), 1);
  // A cell of 1 has no width: nothing to paint.
  if (cw64 == 0) return CopyBack(backup, layer);
  if (cw64 > INT32_MAX / 2 || ch64 > INT32_MAX - 2) throw std::bad_alloc();
  const int32_t cw = static_cast<int32_t>(cw64), ch = static_cast<int32_t>(ch64);
  const float fs = static_cast<float>(s), fh = static_cast<float>(half), ft = static_cast<float>(height);
  const SPointF up[3] = {{fh, 0}, {0, ft}, {fs, ft}};
  const SPointF down[3] = {{0, 0}, {fh, ft}, {fs, 0}};
  const std::unique_ptr<TChannel> apexUp = TriangleChannel(cw, ch, up);
  const std::unique_ptr<TChannel> apexDown = TriangleChannel(cw, ch, down);
  const int64_t rows = CeilDiv(r.bottom, ch);
  const int64_t evenCells = CeilDiv(r.right, cw) + 1;
  for (int64_t row = 0; row < rows; ++row) {
    const int64_t y = r.top + row * ch - 1;
    if (y >= store.Height()) break;
    const bool odd = (row & 1) != 0;
    const int64_t cells = evenCells + (odd ? 1 : 0);
    for (int64_t c = 0; c < cells; ++c) {
      const int64_t x = r.left - cw + c * cw - 1 - (odd ? cw : 0);
      if (x >= store.Width()) break;
      PaintShapeTile(store, cov, (c & 1) == 0 ? apexUp.get() : apexDown.get(), 0, x, y, tiles.colours[c % n],
                     protect);
    }
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// Lighting and floor

bool LegacyLighting(const CBlockVMTC& backup, CLayerData& layer, const CMaskData* mask, int32_t ambientLevel,
                    uint32_t ambientColour, std::span<const uint8_t> records) {
  TRect r{};
  if (!Bounds(layer, mask, r) || records.size() < 56) return false;
  CBlockVMTC& store = *layer.Store();
  TLighting lighting;
  lighting.Clear();
  lighting.SetAmbient(ambientColour, ambientLevel);
  for (size_t at = 0; at + 56 <= records.size(); at += 56)
    lighting.AddLight(records.data() + at, store.Width(), store.Height());
  const OldCoverage cov(layer, mask);
  return lighting.Render(&backup, &store, TPoint{cov.dx, cov.dy}, mask);
}

bool LegacyFloor(const CBlockVMTC& backup, CLayerData& layer, const CMaskData* mask, const uint8_t values[63],
                 const TMTC* ceiling, const TMTC* floor) {
  TRect r{};
  if (!Bounds(layer, mask, r)) return false;
  // A missing or empty picture has nothing to project.
  const auto usable = [](const TMTC* t) {
    return t != nullptr && t->IsValid() && t->Width() > 0 && t->Height() > 0;
  };
  if (!usable(ceiling) || !usable(floor)) return CopyBack(backup, layer);
  const auto single = [&](int32_t at, double& out) {
    float v;
    std::memcpy(&v, values + at, 4);
    out = v;
    return std::isfinite(v);
  };
  double ceilingDistance, heading, pitch, extra;
  if (!single(4, ceilingDistance) || !single(12, heading) || !single(16, pitch) || !single(20, extra))
    return false;
  CBlockVMTC& store = *layer.Store();
  const int32_t W = store.Width(), H = store.Height();
  CInfinitePlane plane;
  if (!plane.Setup(W, H, values[46])) return false;
  const double e = std::max(W, H);
  plane.SetCamera(e * LoadLE<int32_t>(values + 0) / 100, e * ceilingDistance / 100,
                  e * LoadLE<int32_t>(values + 8) / 100, heading, pitch, extra);
  plane.Project(ceiling, floor, e * LoadLE<int32_t>(values + 28) / 100, e * LoadLE<int32_t>(values + 24) / 100);
  const int64_t term = int64_t{LoadLE<int32_t>(values + 32)} * 255 / 100;
  if (term < INT32_MIN || term > INT32_MAX - 512) return false;
  const OldCoverage cov(layer, mask);
  if (!plane.Render(&store, LoadLE<uint32_t>(values + 36), layer.alphaProtect != 0, TPoint{cov.dx, cov.dy}, mask,
                    values[44] != 0, values[40] != 0, values[41] != 0, static_cast<int32_t>(term)))
    throw std::bad_alloc();
  return true;
}

// ---------------------------------------------------------------------------------------------
// Clouds

namespace {

// Rows of bytes, w x h.
struct SByteGrid {
  int32_t w = 0, h = 0;
  std::vector<uint8_t> v;
  SByteGrid(int32_t width, int32_t height, uint8_t fill)
      : w(width), h(height), v(static_cast<size_t>(width) * static_cast<size_t>(height), fill) {}
  uint8_t& At(int32_t x, int32_t y) {
    return v[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)];
  }
};

void FillRandomLegacy(SByteGrid& noise, SRandom& random) {
  for (uint8_t& b : noise.v) b = static_cast<uint8_t>(RandomDraw(random));
}

// The noise stretched to w x h with the cosine table.
void InterpolateNoiseLegacy(SByteGrid& out, SByteGrid& noise) {
  static const auto table = [] {
    std::vector<int32_t> t(256);
    for (int32_t i = 0; i < 256; ++i)
      t[static_cast<size_t>(i)] =
          static_cast<int32_t>(std::trunc((1 - std::cos(i / 256.0 * 3.1415927)) / 2 * 256));
    return t;
  }();
  const int64_t stepX = static_cast<int64_t>(std::trunc(double(noise.w) / out.w * 65536));
  const int64_t stepY = static_cast<int64_t>(std::trunc(double(noise.h) / out.h * 65536));
  for (int32_t y = 0; y < out.h; ++y) {
    const int64_t py = y * stepY;
    const int32_t y0 = static_cast<int32_t>((py >> 16) % noise.h), y1 = (y0 + 1) % noise.h;
    const uint32_t fy = static_cast<uint32_t>(table[static_cast<size_t>((py >> 8) & 0xFF)]);
    for (int32_t x = 0; x < out.w; ++x) {
      const int64_t px = x * stepX;
      const int32_t x0 = static_cast<int32_t>((px >> 16) % noise.w), x1 = (x0 + 1) % noise.w;
      const uint32_t fx = static_cast<uint32_t>(table[static_cast<size_t>((px >> 8) & 0xFF)]);
      uint8_t top = noise.At(x1, y0);
      BlendByte(top, noise.At(x0, y0), 255 - fx);
      uint8_t bottom = noise.At(x1, y1);
      BlendByte(bottom, noise.At(x0, y1), 255 - fx);
      BlendByte(top, bottom, fy);
      out.At(x, y) = top;
    }
  }
}

void AddNoiseLegacy(SByteGrid& acc, const SByteGrid& noise, double amplitude) {
  const double b = std::trunc(amplitude * 255);
  for (size_t i = 0; i < acc.v.size(); ++i) {
    const double v = std::trunc(double(acc.v[i]) - 128 + b * (double(noise.v[i]) - 128) / 255 + 128);
    acc.v[i] = static_cast<uint8_t>(std::clamp(v, 0.0, 255.0));
  }
}

}  // namespace

bool ValueWeightedBlurFloat(TChannel& dest, const TChannel& source, double sigma) {
  const int32_t w = source.Width(), h = source.Height();
  if (!source.IsValid() || dest.Width() != w || dest.Height() != h || w <= 0 || h <= 0) return false;
  std::vector<float> kh(static_cast<size_t>(w)), kv(static_cast<size_t>(h));
  int32_t rh = 0, rv = 0;
  BuildGaussianKernelsFloat(kh.data(), kv.data(), w, std::fabs(sigma), h, rh, rv);
  const auto pass = [](int32_t n, const std::vector<float>& k, int32_t radius, auto&& read, auto&& write) {
    const int32_t centre = n / 2;
    for (int32_t i = 0; i < n; ++i) {
      double num = 0, den = 0;
      for (int32_t t = -radius; t <= radius; ++t) {
        const int32_t index = t + centre;
        if (index < 0 || index >= n) continue;
        const double v = read(PositiveMod(i + t, n));
        num += double{k[static_cast<size_t>(index)]} * v * v;
        den += double{k[static_cast<size_t>(index)]} * v;
      }
      write(i, den == 0 ? 0 : static_cast<uint8_t>(std::clamp(std::trunc(num / den), 0.0, 255.0)));
    }
  };
  SByteGrid temp(w, h, 0);
  for (int32_t x = 0; x < w; ++x)
    pass(
        h, kv, rv, [&](int32_t y) { return double(source.GetPixel(x, y)); },
        [&](int32_t y, uint8_t v) { temp.At(x, y) = v; });
  for (int32_t y = 0; y < h; ++y)
    pass(
        w, kh, rh, [&](int32_t x) { return double(temp.At(x, y)); },
        [&](int32_t x, uint8_t v) { *dest.GetPixelPtr(x, y) = v; });
  return true;
}

bool BuildCloudTileLegacy(TChannel& tile, int32_t w, int32_t h, int32_t seed, double amplitude) {
  if (w <= 0 || h <= 0 || !tile.Resize(w, h)) return false;
  // Every run seeds the sequence first: a sequence of the run's own draws the same numbers.
  SRandom random;
  RandomInit(random, seed, 0, 255);
  SByteGrid acc(w, h, 128);
  SByteGrid stretched(w, h, 0);
  static constexpr int32_t kDivisors[5] = {64, 32, 16, 8, 3};
  static constexpr double kScales[5] = {1.0 / 2, 1.0 / 3, 1.0 / 4, 1.0 / 8, 1.0 / 12};
  for (int32_t octave = 0; octave < 6; ++octave) {
    const int32_t nw = octave < 5 ? std::max(w / kDivisors[octave], 1) : std::max(w, 1);
    const int32_t nh = octave < 5 ? std::max(h / kDivisors[octave], 1) : std::max(h, 1);
    SByteGrid noise(nw, nh, 0);
    FillRandomLegacy(noise, random);
    InterpolateNoiseLegacy(stretched, noise);
    AddNoiseLegacy(acc, stretched, octave < 5 ? amplitude * kScales[octave] : 0.125);
  }
  TChannel accumulator(w, h);
  if (!accumulator.IsValid()) return false;
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) *accumulator.GetPixelPtr(x, y) = acc.At(x, y);
  return ValueWeightedBlurFloat(tile, accumulator, 1.5);
}

namespace {

// Clouds (rock false) or clouds/rock; the rock width shapes the veins when it is 0 or more.
bool CloudsRender(const CBlockVMTC& backup, CLayerData& layer, const CMaskData* mask, const SLegacyClouds& clouds,
                  int32_t rockWidth, bool rock) {
  TRect r{};
  if (!Bounds(layer, mask, r)) return false;
  if (clouds.contrast <= 0) return CopyBack(backup, layer);
  if (clouds.tileWidth <= 0 || clouds.tileHeight <= 0) return false;
  CBlockVMTC& store = *layer.Store();
  const int32_t w = std::min(clouds.tileWidth, store.Width()), h = std::min(clouds.tileHeight, store.Height());
  const double amplitude = rock ? clouds.contrast / 100.0 : clouds.contrast / 10.0;
  TChannel tile;
  if (!BuildCloudTileLegacy(tile, w, h, clouds.seed, amplitude)) throw std::bad_alloc();
  const OldCoverage cov(layer, mask);
  const bool protect = layer.alphaProtect != 0;
  const auto write = [&](uint32_t* p, uint32_t colour, int32_t weight) {
    if (protect)
      BlendColor(p, colour, weight);
    else
      PixelPaintOver(p, colour, weight);
  };
  const int32_t g = rockWidth / 2;
  const int64_t rows = CeilDiv(r.bottom, h), columns = CeilDiv(r.right, w);
  for (int64_t row = 0; row < rows; ++row) {
    const int64_t top = r.top + row * h;
    for (int64_t ty = 0; ty < h; ++ty) {
      const int64_t y = top + ty;
      if (y >= store.Height()) break;
      for (int64_t col = 0; col < columns; ++col) {
        const int64_t left = col * w;
        WalkRow(store, cov, static_cast<int32_t>(y), static_cast<int32_t>(left),
                static_cast<int32_t>(std::min<int64_t>(left + w, store.Width())), NoGate{},
                [&](int32_t x, uint32_t* p, int32_t) {
                  int32_t v = tile.GetPixel(static_cast<int32_t>(x - left), static_cast<int32_t>(ty));
                  if (rockWidth >= 0) {
                    const int32_t d = v - 128;
                    v = -g < d && d < g ? static_cast<int32_t>(std::abs(d) * 255 / g) : 255;
                  }
                  write(p, clouds.colourB, 255);
                  write(p, clouds.colourA, v);
                });
      }
    }
  }
  return true;
}

}  // namespace

bool LegacyCloudsRender(const CBlockVMTC& backup, CLayerData& layer, const CMaskData* mask,
                        const SLegacyClouds& clouds, int32_t rockWidth) {
  return CloudsRender(backup, layer, mask, clouds, rockWidth, rockWidth >= 0);
}

bool LegacyClouds(const CBlockVMTC& backup, CLayerData& layer, const CMaskData* mask,
                  const SLegacyClouds& clouds) {
  return CloudsRender(backup, layer, mask, clouds, -1, false);
}

bool LegacyCloudsRock(const CBlockVMTC& backup, CLayerData& layer, const CMaskData* mask, int32_t rockWidth,
                      const SLegacyClouds& clouds) {
  return CloudsRender(backup, layer, mask, clouds, rockWidth, true);
}

}  // namespace tf
