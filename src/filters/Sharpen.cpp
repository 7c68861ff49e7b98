// The sharpen filters.
#include "filters/Sharpen.h"

#include <cmath>
#include <cstring>

#include "filters/Convolve.h"

namespace tf {

namespace {

bool Sharpen3x3(FilterContext& context, const int32_t weights[9]) {
  return ConvolveCoveredAlpha(context, weights, SKernelRect{-1, -1, 3, 3}, 0);
}

}  // namespace

bool SharpenCustomWeight(float amount, int32_t& k) {
  const float p = static_cast<float>(std::pow(240.0L, 1.5L));
  const float product = amount * p;
  const long double v = std::pow(static_cast<long double>(product) + 0.5L, 2.0L / 3.0L);
  if (!std::isfinite(v) || v >= 2147483647.0L) return false;
  k = static_cast<int32_t>(v);
  return true;
}

bool SharpenFilter(FilterContext& context, const void*, int32_t size) {
  if (!CheckFilterContext(context) || size != 0) return false;
  static constexpr int32_t k[9] = {0, -1, 0, -1, 8, -1, 0, -1, 0};
  return Sharpen3x3(context, k);
}

bool SharpenMoreFilter(FilterContext& context, const void*, int32_t size) {
  if (!CheckFilterContext(context) || size != 0) return false;
  static constexpr int32_t k[9] = {-1, -1, -1, -1, 12, -1, -1, -1, -1};
  return Sharpen3x3(context, k);
}

bool SharpenCustomFilter(FilterContext& context, const void* block, int32_t size) {
  if (!CheckFilterContext(context) || size != 8 || block == nullptr) return false;
  float amount;
  std::memcpy(&amount, block, 4);
  int32_t k = 0;
  if (!SharpenCustomWeight(amount, k)) {
    if (context.Note != nullptr) context.Note->notFinite = true;
    return false;
  }
  const int32_t weights[9] = {0, -k, 0, -k, 999, -k, 0, -k, 0};
  return Sharpen3x3(context, weights);
}

}  // namespace tf
