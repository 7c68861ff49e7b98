#include "filters/Generators.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "document/BlendMode.h"
#include "filters/Blurs.h"
#include "filters/FilterBlocks.h"
#include "filters/FilterLoops.h"
#include "filters/Samplers.h"
#include "platform/ByteOrder.h"
#include "raster/PixelOps.h"

namespace tf {

namespace {

constexpr int32_t kBlendModes = 22;

int32_t NextPowerOfTwo(int32_t n) {
  int32_t p = 1;
  while (p < n) p *= 2;
  return p;
}

int32_t ClampByte(int32_t v) { return v < 0 ? 0 : v > 255 ? 255 : v; }

// Covered pixels of Work with value(x, y) written by op with MulDiv255(coverage, opacity).
template <class Value>
bool PaintCovered(const FilterContext& ctx, PixelOp op, uint32_t opacity, Value&& value) {
  using namespace filter_detail;
  struct OpWriter {
    PixelOp op;
    uint32_t opacity;
    void operator()(uint32_t* p, uint32_t v, int32_t c) const {
      const auto w = static_cast<int32_t>(MulDiv255(static_cast<uint32_t>(c), opacity));
      if (w > 0) op(p, v, w);
    }
  };
  const OpWriter writer{op, opacity};
  auto at = [&](int32_t x, int32_t y, uint32_t) { return value(x, y); };
  if (ctx.Coverage == &FullCoverage) return CoveredRows(ctx, FullCoverageOf{}, writer, at);
  return CoveredRows(ctx, MaskCoverageOf{ctx.Mask, ctx.OffsetX, ctx.OffsetY}, writer, at);
}

}  // namespace

PixelOp FilterBlendOp(bool keepAlpha, uint8_t mode) {
  const uint8_t m = mode & 0x7F;
  if (m >= kBlendModes) return nullptr;
  if (m == 0) return keepAlpha ? &BlendColor : &PixelPaintOverSourceAlpha;
  const SLayerParam* entry = GetBlendModeEntry(BlendModeToLayerMode(m));
  return entry != nullptr ? entry->sourceAlpha : nullptr;
}

const float* CosineWeights() {
  static const auto table = [] {
    std::vector<float> t(256);
    for (int32_t i = 0; i < 256; ++i) t[static_cast<size_t>(i)] = static_cast<float>((1.0 - std::cos(i * M_PI / 256.0)) / 2.0);
    return t;
  }();
  return table.data();
}

// ---------------------------------------------------------------------------------------------
// Plasma

TPlasma::TPlasma(int32_t channels) : channels_(static_cast<size_t>(channels)) {}

bool TPlasma::Init(int32_t width, int32_t height, double roughness, uint32_t seed) {
  if (width <= 0 || height <= 0 || width > (1 << 24) || height > (1 << 24)) return false;
  width_ = NextPowerOfTwo(width);
  height_ = NextPowerOfTwo(height);
  xMask_ = width_ - 1;
  yMask_ = height_ - 1;
  try {
    for (auto& c : channels_) c.assign(static_cast<size_t>(width_) * static_cast<size_t>(height_), 128);
  } catch (const std::bad_alloc&) {
    return false;
  }
  step_ = std::max(width_, height_);
  half_ = step_ / 2;
  amplitude_ = static_cast<int32_t>(std::trunc(roughness + 0.5));
  RandomInit(random_, static_cast<int32_t>(seed), -amplitude_, amplitude_);
  const int32_t points[4][2] = {{0, 0}, {width_ / 2, 0}, {0, height_ / 2}, {width_ / 2, height_ / 2}};
  for (const auto& pt : points)
    for (size_t c = 0; c < channels_.size(); ++c)
      P(static_cast<int32_t>(c), pt[0], pt[1]) = static_cast<uint8_t>(ClampByte(128 + RandomDraw(random_)));
  return true;
}

void TPlasma::SquareStep() {
  const int32_t rows = height_ / step_, cols = width_ / step_;
  const auto n = static_cast<int32_t>(channels_.size());
  for (int32_t j = 0; j < rows; ++j) {
    const int32_t y0 = j * step_, y1 = (y0 + step_) & yMask_;
    for (int32_t i = 0; i < cols; ++i) {
      const int32_t x0 = i * step_, x1 = (x0 + step_) & xMask_;
      for (int32_t c = 0; c < n; ++c) {
        const int32_t mean = (P(c, x0, y0) + P(c, x1, y0) + P(c, x0, y1) + P(c, x1, y1) + 2) >> 2;
        P(c, x0 + half_, y0 + half_) = static_cast<uint8_t>(ClampByte(RandomDraw(random_) + mean));
      }
    }
  }
}

void TPlasma::DiamondStep() {
  const int32_t rows = height_ / step_, cols = width_ / step_;
  const auto n = static_cast<int32_t>(channels_.size());
  for (int32_t j = 0; j < rows; ++j) {
    const int32_t y0 = j * step_, y1 = (y0 + step_) & yMask_;
    for (int32_t i = 0; i < cols; ++i) {
      const int32_t x0 = i * step_, x1 = (x0 + step_) & xMask_;
      for (int32_t c = 0; c < n; ++c) {
        const int32_t mean = (P(c, x0, y0) + P(c, x1, y0) + P(c, x0 + half_, (y0 - half_) & yMask_) +
                              P(c, x0 + half_, y0 + half_) + 2) >> 2;
        P(c, x0 + half_, y0) = static_cast<uint8_t>(ClampByte(RandomDraw(random_) + mean));
      }
      for (int32_t c = 0; c < n; ++c) {
        const int32_t mean = (P(c, x0, y0) + P(c, (x0 - half_) & xMask_, y0 + half_) + P(c, x0 + half_, y0 + half_) +
                              P(c, x0, y1) + 2) >> 2;
        P(c, x0, y0 + half_) = static_cast<uint8_t>(ClampByte(RandomDraw(random_) + mean));
      }
    }
  }
}

bool TPlasma::Generate(int32_t width, int32_t height, double roughness, uint32_t seed) {
  if (!Init(width, height, roughness, seed)) return false;
  if (step_ <= 1) return true;  // a 1 x 1 grid: the seed point alone
  do {
    step_ /= 2;
    half_ /= 2;
    int32_t a = static_cast<int32_t>(std::trunc(step_ * roughness / std::sqrt(2.0) + 0.5));
    RandomInit(random_, static_cast<int32_t>(seed), -a, a);
    SquareStep();
    a = static_cast<int32_t>(std::trunc(a / std::sqrt(2.0) + 0.5));
    RandomInit(random_, static_cast<int32_t>(seed), -a, a);
    DiamondStep();
  } while (step_ > 2);
  return true;
}

namespace {

struct SPlasmaRun {
  PixelOp op;
  uint32_t opacity;
  int32_t left, top;
};

// Bounds' size and the operation; false for an empty rectangle or a mode beyond the table.
bool PreparePlasma(const FilterContext& context, uint8_t mode, uint8_t opacity, SPlasmaRun& run, int32_t& w,
                   int32_t& h) {
  const TRect& b = context.Bounds;
  w = b.right - b.left;
  h = b.bottom - b.top;
  if (w <= 0 || h <= 0) return false;
  run.op = FilterBlendOp(context.KeepAlpha != 0, mode);
  run.opacity = opacity;
  run.left = b.left;
  run.top = b.top;
  return run.op != nullptr;
}

bool Clouds(FilterContext& context, uint32_t colourA, uint32_t colourB, uint32_t seed, uint16_t roughness,
            uint8_t mode, uint8_t opacity) {
  SPlasmaRun run{};
  int32_t w = 0, h = 0;
  if (!PreparePlasma(context, mode, opacity, run, w, h)) return false;
  TPlasma plasma;
  if (!plasma.Generate(w, h, roughness / 256.0, seed)) return false;
  return PaintCovered(context, run.op, run.opacity, [&](int32_t x, int32_t y) {
    uint32_t colour = colourA;
    BlendColor(&colour, colourB, plasma.At(0, x - run.left, y - run.top));
    return colour;
  });
}

}  // namespace

bool CloudsFilter(FilterContext& context, const void* block, int32_t size) {
  if (!CheckFilterContext(context) || size != kBlock16 || block == nullptr) return false;
  const auto* b = static_cast<const uint8_t*>(block);
  return Clouds(context, LoadLE<uint32_t>(b + 0), LoadLE<uint32_t>(b + 4), LoadLE<uint32_t>(b + 8),
                LoadLE<uint16_t>(b + 12), b[14], b[15]);
}

bool PlasmaFilter(FilterContext& context, const void* block, int32_t size) {
  if (!CheckFilterContext(context) || size != kBlock16 || block == nullptr) return false;
  const auto* b = static_cast<const uint8_t*>(block);
  const uint32_t seed = LoadLE<uint32_t>(b + 0);
  const uint16_t roughness = LoadLE<uint16_t>(b + 6);
  if (b[4] != 0) return Clouds(context, 0xFF000000u, 0xFFFFFFFFu, seed, roughness, b[8], b[9]);
  SPlasmaRun run{};
  int32_t w = 0, h = 0;
  if (!PreparePlasma(context, b[8], b[9], run, w, h)) return false;
  TPlasma3 plasma;
  if (!plasma.Generate(w, h, roughness / 256.0, seed)) return false;
  return PaintCovered(context, run.op, run.opacity, [&](int32_t x, int32_t y) {
    const int32_t px = x - run.left, py = y - run.top;
    return 0xFF000000u | uint32_t{plasma.At(2, px, py)} << 16 | uint32_t{plasma.At(1, px, py)} << 8 |
           plasma.At(0, px, py);
  });
}

// ---------------------------------------------------------------------------------------------
// Clouds and rock

void ValueWeightedBlurWrap(std::vector<uint8_t>& dest, const std::vector<uint8_t>& source, int32_t w, int32_t h,
                           double sigma) {
  dest = source;
  if (sigma <= 0 || w <= 0 || h <= 0) return;
  std::vector<int32_t> kx(static_cast<size_t>(w)), ky(static_cast<size_t>(h));
  int32_t rx = 0, ry = 0;
  BuildGaussianKernels(kx.data(), ky.data(), w, sigma, h, rx, ry);
  const int32_t cxk = w / 2, cyk = h / 2;
  // The taps within the radius: kernel index and offset.
  const auto taps = [](const std::vector<int32_t>& k, int32_t c, int32_t radius) {
    std::vector<std::pair<int32_t, int32_t>> t;
    for (int32_t i = 0; i < static_cast<int32_t>(k.size()); ++i)
      if (std::abs(i - c) < radius) t.emplace_back(k[static_cast<size_t>(i)], i - c);
    return t;
  };
  const auto tx = taps(kx, cxk, rx), ty = taps(ky, cyk, ry);
  const auto weighted = [](const auto& tapList, auto sample) {
    int64_t num = 0, den = 0;
    for (const auto& [weight, offset] : tapList) {
      const int64_t v = sample(offset);
      num += weight * v * v;
      den += weight * v;
    }
    return static_cast<uint8_t>(den != 0 ? num / den : 0);
  };
  std::vector<uint8_t> temp(source.size());
  const auto at = [w](int32_t x, int32_t y) { return static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x); };
  for (int32_t x = 0; x < w; ++x)
    for (int32_t y = 0; y < h; ++y)
      temp[at(x, y)] = weighted(ty, [&](int32_t o) { return source[at(x, PositiveMod(y + o, h))]; });
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x)
      dest[at(x, y)] = weighted(tx, [&](int32_t o) { return temp[at(PositiveMod(x + o, w), y)]; });
}

namespace {

void AddNoiseOctave(std::vector<uint8_t>& acc, const std::vector<uint8_t>& noise, int32_t nw, int32_t nh, int32_t w,
                    int32_t h, float amp) {
  const float* cosine = CosineWeights();
  // 16.16 steps in 64 bits: nw x 65536 passes int32 beyond 32767.
  const int64_t dx = int64_t{nw} * 65536 / w, dy = int64_t{nh} * 65536 / h;
  for (int32_t j = 0; j < h; ++j) {
    const int64_t sy = j * dy;
    const int32_t y0 = static_cast<int32_t>((sy >> 16) % nh), y1 = (y0 + 1) % nh;
    const float fy = cosine[(sy >> 8) & 255];
    for (int32_t i = 0; i < w; ++i) {
      const int64_t sx = i * dx;
      const int32_t x0 = static_cast<int32_t>((sx >> 16) % nw), x1 = (x0 + 1) % nw;
      const float fx = cosine[(sx >> 8) & 255];
      const auto n = [&](int32_t x, int32_t y) {
        return static_cast<int32_t>(noise[static_cast<size_t>(y) * static_cast<size_t>(nw) + static_cast<size_t>(x)]);
      };
      const int32_t t = n(x0, y0), u = n(x1, y0), v = n(x0, y1), s = n(x1, y1);
      uint8_t& a = acc[static_cast<size_t>(j) * static_cast<size_t>(w) + static_cast<size_t>(i)];
      const float inner = static_cast<float>(s + t - v - u) * fx * fy + static_cast<float>(v - t) * fy +
                          static_cast<float>(u - t) * fx + static_cast<float>(t - 128);
      const float value = amp * inner + static_cast<float>(a) + 0.5f;
      a = static_cast<uint8_t>(ClampByte(static_cast<int32_t>(std::clamp(std::trunc(value), -1.0f, 256.0f))));
    }
  }
}

}  // namespace

bool RenderCloudsRockTile(std::vector<uint8_t>& tile, int32_t w, int32_t h, uint32_t seed, int32_t contrast,
                          bool rock) {
  if (w <= 0 || h <= 0) return false;
  const double base = contrast * (rock ? 0.005 : 0.01);
  SRandom random{};
  RandomInit(random, static_cast<int32_t>(seed), 0, 255);
  std::vector<uint8_t> acc, noise;
  try {
    acc.assign(static_cast<size_t>(w) * static_cast<size_t>(h), 128);
    noise.reserve(acc.size());
  } catch (const std::bad_alloc&) {
    return false;
  }
  static constexpr int32_t kDivisors[6] = {64, 32, 16, 8, 3, 1};
  static constexpr int32_t kAmpDivisors[6] = {2, 3, 4, 8, 12, 8};
  for (int32_t o = 0; o < 6; ++o) {
    const int32_t nw = std::max(w / kDivisors[o], 1), nh = std::max(h / kDivisors[o], 1);
    noise.resize(static_cast<size_t>(nw) * static_cast<size_t>(nh));
    for (uint8_t& v : noise) v = static_cast<uint8_t>(RandomDraw(random));
    const float amp = o < 5 ? static_cast<float>(base / kAmpDivisors[o]) : 0.125f;
    AddNoiseOctave(acc, noise, nw, nh, w, h, amp);
  }
  ValueWeightedBlurWrap(tile, acc, w, h, 1.5);
  return true;
}

bool CloudsRockFilter(FilterContext& context, const void* block, int32_t size) {
  if (!CheckFilterContext(context) || size != kBlock24 || block == nullptr) return false;
  const auto* b = static_cast<const uint8_t*>(block);
  const uint32_t colourA = LoadLE<uint32_t>(b + 0), colourB = LoadLE<uint32_t>(b + 4);
  const uint32_t seed = LoadLE<uint32_t>(b + 8);
  const int32_t contrast = LoadLE<uint16_t>(b + 16), softness = LoadLE<uint16_t>(b + 18);
  if (contrast <= 0) return true;
  const int32_t w = std::min<int32_t>(LoadLE<uint16_t>(b + 12), context.Store->Width());
  const int32_t h = std::min<int32_t>(LoadLE<uint16_t>(b + 14), context.Store->Height());
  // A recorded tile side of 0 would never end the tiling: refused.
  if (w <= 0 || h <= 0) return false;
  const bool rock = softness > 0;
  std::vector<uint8_t> tile;
  if (!RenderCloudsRockTile(tile, w, h, seed, contrast, rock)) return false;
  const double veins = rock ? 510.0 / softness : 0.0;
  const auto value = [&](int32_t x, int32_t y, uint32_t) {
    const int32_t v = tile[static_cast<size_t>(y % h) * static_cast<size_t>(w) + static_cast<size_t>(x % w)];
    uint32_t colour = colourB;
    int32_t weight = v;
    if (rock) {
      const int32_t d = std::abs(v - 128);
      weight = 2 * d < softness ? static_cast<int32_t>(std::trunc(d * veins + 0.5)) : 255;
    }
    BlendColor(&colour, colourA, weight);
    return colour;
  };
  using namespace filter_detail;
  struct PaintOverWriter {
    void operator()(uint32_t* p, uint32_t v, int32_t c) const { PixelPaintOver(p, v, c); }
  };
  const bool full = context.Coverage == &FullCoverage;
  const MaskCoverageOf mask{context.Mask, context.OffsetX, context.OffsetY};
  if (context.KeepAlpha != 0) {
    struct BlendWriter {
      void operator()(uint32_t* p, uint32_t v, int32_t c) const { BlendColor(p, v, c); }
    };
    return full ? CoveredRows(context, FullCoverageOf{}, BlendWriter{}, value)
                : CoveredRows(context, mask, BlendWriter{}, value);
  }
  return full ? CoveredRows(context, FullCoverageOf{}, PaintOverWriter{}, value)
              : CoveredRows(context, mask, PaintOverWriter{}, value);
}

}  // namespace tf
