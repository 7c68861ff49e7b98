// The stroke dynamics of the newest stroke engine: pressure switches, opacity, gamma, spacing and
// two size thresholds. Stored whole in brush presets and in recorded events (24 bytes).
#pragma once
#include <cstdint>

namespace tf {

struct SStrokeParam {
  uint8_t ifSize;          // pressure drives the dab size
  uint8_t ifTransparency;  // pressure drives the dab opacity
  uint8_t pad[2];
  int32_t opacity;         // x1000
  int32_t gamma;           // pressure gamma x100
  int32_t spacing;         // dab spacing in nib sizes x1000
  int32_t sizeThreshold1;  // below it every step draws a dab
  int32_t sizeThreshold2;  // below it the step count doubles or triples
};
static_assert(sizeof(SStrokeParam) == 24, "SStrokeParam is stored as 24 bytes");

// Converts a float to int32 truncating toward zero; NaN gives 0 and out-of-range values clamp, so
// values from files and events never convert undefined. The setters below take their products in
// double, where a float times 100 or 1000 is exact: a single-precision product would round up
// first (0.7f x 1000 gives 700, the exact product 699.99...).
inline int32_t StrokeParamTrunc(double x) {
  if (!(x == x)) return 0;
  if (x >= 2147483647.0) return INT32_MAX;
  if (x <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(x);
}

inline void InitStrokeParam(SStrokeParam& p) {
  p = SStrokeParam{0, 0, {0, 0}, 1000, 100, 100, 0, 0};
}
inline float StrokeParamGetOpacity(const SStrokeParam& p) { return static_cast<float>(p.opacity) / 1000.0f; }
inline int32_t StrokeParamGetOpacityRaw(const SStrokeParam& p) { return p.opacity; }
inline bool StrokeParamSetOpacity(SStrokeParam& p, float x) {
  const int32_t v = StrokeParamTrunc(static_cast<double>(x) * 1000.0);
  const bool changed = v != p.opacity;
  p.opacity = v;
  return changed;
}
inline float StrokeParamGetGamma(const SStrokeParam& p) { return static_cast<float>(p.gamma) / 100.0f; }
inline bool StrokeParamSetGammaRaw(SStrokeParam& p, int32_t n) {
  const bool changed = n != p.gamma;
  p.gamma = n;
  return changed;
}
inline bool StrokeParamSetGamma(SStrokeParam& p, float x) {
  return StrokeParamSetGammaRaw(p, StrokeParamTrunc(static_cast<double>(x) * 100.0));
}
inline float StrokeParamGetSpacing(const SStrokeParam& p) { return static_cast<float>(p.spacing) / 1000.0f; }
// Resolution of one hundredth of a nib size.
inline bool StrokeParamSetSpacing(SStrokeParam& p, float x) {
  const int32_t hundredths = StrokeParamTrunc(static_cast<double>(x) * 100.0 + 0.5);
  const int32_t v = hundredths > INT32_MAX / 10 ? INT32_MAX / 10 * 10
                    : hundredths < INT32_MIN / 10 ? INT32_MIN / 10 * 10 : hundredths * 10;
  const bool changed = v != p.spacing;
  p.spacing = v;
  return changed;
}
inline bool StrokeParamSetSpacingPercent(SStrokeParam& p, int32_t n) {
  const int32_t v = n > INT32_MAX / 10 ? INT32_MAX / 10 * 10 : n < INT32_MIN / 10 ? INT32_MIN / 10 * 10 : n * 10;
  const bool changed = v != p.spacing;
  p.spacing = v;
  return changed;
}

}  // namespace tf
