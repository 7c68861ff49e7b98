// Checked conversions of floats that come from files, settings and recordings, and MulDiv.
#pragma once
// Such floats may be NaN or infinite. Every routine here says what those become, so no float
// reaches an integer conversion unchecked:
//  - a NaN counts as below any range (it takes the low end);
//  - an infinity takes the end of its sign.
#include <cmath>
#include <cstdint>
#include <limits>

namespace tf {

// x clamped into lo .. hi, NaN giving lo.
inline float ClampSingleChecked(float x, float lo, float hi) {
  if (!(x >= lo)) return lo;  // NaN and everything below
  return x > hi ? hi : x;
}
inline double ClampDoubleChecked(double x, double lo, double hi) {
  if (!(x >= lo)) return lo;
  return x > hi ? hi : x;
}

// trunc(x) clamped into lo .. hi, NaN giving lo. lo <= hi.
inline int32_t TruncClamped(double x, int32_t lo, int32_t hi) {
  if (!(x >= static_cast<double>(lo))) return lo;
  if (x >= static_cast<double>(hi)) return hi;
  return static_cast<int32_t>(x);  // inside the range, so defined
}

// trunc(x) saturated to the int32 range, NaN giving 0 (for values that have no range of their
// own but must not wrap).
inline int32_t TruncSaturated(double x) {
  if (std::isnan(x)) return 0;
  return TruncClamped(x, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max());
}

// floor(x) saturated to the int32 range, NaN giving 0.
inline int32_t FloorSaturated(double x) { return TruncSaturated(std::floor(x)); }
inline int32_t CeilSaturated(double x) { return TruncSaturated(std::ceil(x)); }

// A double narrowed to float: out-of-range values become the infinity of their sign (the
// conversion is then written out instead of left to the language).
inline float DoubleToSingle(double x) {
  if (x > static_cast<double>(std::numeric_limits<float>::max())) return std::numeric_limits<float>::infinity();
  if (x < -static_cast<double>(std::numeric_limits<float>::max())) return -std::numeric_limits<float>::infinity();
  return static_cast<float>(x);
}

// a*b/c with a 64-bit product, the quotient rounded half away from zero; -1 when c is 0 or the
// result does not fit int32 (the window system's MulDiv).
inline int32_t MulDiv(int32_t a, int32_t b, int32_t c) {
  if (c == 0) return -1;
  const int64_t n = int64_t{a} * b;
  const bool negative = (n < 0) != (c < 0);
  const uint64_t un = n < 0 ? static_cast<uint64_t>(-(n + 1)) + 1 : static_cast<uint64_t>(n);
  const uint64_t uc = c < 0 ? static_cast<uint64_t>(-int64_t{c}) : static_cast<uint64_t>(c);
  const uint64_t q = (un + uc / 2) / uc;  // halves away from zero
  if (q > (negative ? uint64_t{1} << 31 : static_cast<uint64_t>(std::numeric_limits<int32_t>::max()))) return -1;
  return negative ? static_cast<int32_t>(-static_cast<int64_t>(q)) : static_cast<int32_t>(q);
}

}  // namespace tf
