#include "filters/PointEffects.h"

#include <algorithm>
#include <cstdlib>

#include "filters/Convolve.h"
#include "filters/FilterBlocks.h"
#include "filters/FilterLoops.h"
#include "platform/ByteOrder.h"
#include "raster/ColorMath.h"

namespace tf {

namespace {
inline int32_t Ch(uint32_t p, int32_t shift) { return static_cast<int32_t>((p >> shift) & 0xFFu); }
}  // namespace

void BuiltInKernel5x5(int32_t kernel[27]) {
  static constexpr int32_t kWeights[25] = {0, 0,  0,  0, 0,  //
                                           0, -2, -3, 0, 0,  //
                                           0, -3, 4,  3, 0,  //
                                           0, 0,  3,  2, 0,  //
                                           0, 0,  0,  0, 0};
  std::copy(std::begin(kWeights), std::end(kWeights), kernel);
  kernel[25] = 4;
  kernel[26] = 0;
}

bool SolarizeFilter(FilterContext& context, const void* /*block*/, int32_t size) {
  if (!CheckFilterContext(context) || size != 0) return false;
  uint8_t table[1024];
  for (int32_t i = 0; i < 256; ++i) {
    const auto v = static_cast<uint8_t>(std::min(i, 255 - i));
    table[4 * i + 0] = table[4 * i + 1] = table[4 * i + 2] = v;
    table[4 * i + 3] = static_cast<uint8_t>(i);
  }
  return MapByChannelTables(context, table, context.KeepAlpha != 0);
}

bool EdgeDetectFilter(FilterContext& context, const void* /*block*/, int32_t size) {
  if (!CheckFilterContext(context) || size != 0) return false;
  const TMTC& source = *context.Source;
  static constexpr int32_t kDx[8] = {-1, 0, 1, -1, 1, -1, 0, 1};
  static constexpr int32_t kDy[8] = {-1, -1, -1, 0, 0, 1, 1, 1};
  static constexpr int32_t kWeight[8] = {2, 3, 2, 3, 3, 2, 3, 2};
  return ForEachCoveredPixelAnyOrder(context, true, [&](int32_t x, int32_t y, uint32_t) {
    const uint32_t centre = source.GetPixel(x, y);
    int32_t s[3] = {0, 0, 0};
    for (int32_t n = 0; n < 8; ++n) {
      const uint32_t p = source.GetPixelClamped(x + kDx[n], y + kDy[n]);
      for (int32_t c = 0; c < 3; ++c) s[c] += kWeight[n] * std::abs(Ch(centre, 8 * c) - Ch(p, 8 * c));
    }
    uint32_t out = 0xFF000000u;
    for (int32_t c = 0; c < 3; ++c) out |= static_cast<uint32_t>(std::clamp(255 - s[c] / 5, 0, 255)) << (8 * c);
    return out;
  });
}

bool CustomKernelFilter(FilterContext& context, const void* block, int32_t size) {
  if (!CheckFilterContext(context) || size != kBlock50 || block == nullptr) return false;
  const auto& b = *static_cast<const SFilterParam50*>(block);
  if (b.data == nullptr || b.DataLength() < kKernel5x5Bytes) return false;
  int32_t kernel[27];
  for (int32_t i = 0; i < 27; ++i) kernel[i] = LoadLE<int32_t>(b.data + 4 * i);
  const SKernelRect rect{-2, -2, 5, 5};
  // ConvolveCovered divides and adds the offset in 64 bits, so a divisor of -1 under a sum of
  // -2^31 clamps instead of trapping.
  return ConvolveCovered(context, kernel, rect, kernel[25], kernel[26]);
}

bool LumToAlphaFilter(FilterContext& context, const void* block, int32_t size) {
  if (!CheckFilterContext(context) || size != kBlock8 || block == nullptr) return false;
  if (context.KeepAlpha != 0) return true;
  const auto* b = static_cast<const uint8_t*>(block);
  const uint32_t colour = LoadLE<uint32_t>(b + 0);
  const bool mix = b[4] != 0;
  const TMTC& source = *context.Source;
  // PixelLerpARGB with the coverage as weight, whatever KeepAlpha says (it is off here).
  return ForEachCoveredPixel(context, false, [&](int32_t x, int32_t y, uint32_t) {
    const uint32_t p = source.GetPixel(x, y);
    const uint32_t v = 255u - static_cast<uint32_t>(PixelLuminance(&p));
    const uint32_t alpha = MulDiv255(v, p >> 24);
    uint32_t rgb;
    if (!mix) {
      rgb = colour & 0x00FFFFFFu;
    } else if (v == 0) {
      rgb = p & 0x00FFFFFFu;
    } else {
      const uint32_t m = static_cast<uint32_t>(CoverageAt(context, x, y));
      rgb = 0;
      for (int32_t c = 0; c < 3; ++c)
        rgb |= LerpByte((colour >> (8 * c)) & 0xFFu, (p >> (8 * c)) & 0xFFu, m) << (8 * c);
    }
    return rgb | alpha << 24;
  });
}

}  // namespace tf
