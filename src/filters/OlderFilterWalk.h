// The pixel walks the first and second filter generations share: row spans inside one tile,
// committed only where something is covered, and checked conversions.
#pragma once
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <new>
#include <vector>

#include "filters/FiltersV1.h"
#include "raster/BlockVMTC.h"
#include "raster/Composite.h"
#include "raster/PixelOps.h"

namespace tf::older {

inline uint32_t Ch(uint32_t p, int32_t shift) { return (p >> shift) & 0xFFu; }

// Pixels x0 .. x1-1 of row y in spans inside one tile: a span is committed only when one of its
// pixels is covered and passes the gate (gate(x, y, pixel now)); fn(x, pixel, coverage) for each
// such pixel. A refused commit raises std::bad_alloc.
template <class Gate, class Fn>
inline void WalkRow(CBlockVMTC& store, const OldCoverage& cov, int32_t y, int32_t x0, int32_t x1, Gate&& gate,
                    Fn&& fn) {
  int32_t c[32];
  int32_t x = x0;
  while (x < x1) {
    const int32_t end = std::min((x & ~31) + 32, x1);
    const int32_t n = end - x;
    // The span's pixels as they are (an uncommitted tile reads its fill).
    const auto* now = reinterpret_cast<const uint32_t*>(store.PixelPtr(x, y, false));
    const uint32_t fill = now == nullptr ? store.GetPixel(x, y) : 0;
    bool any = false;
    for (int32_t i = 0; i < n; ++i) {
      c[i] = cov.mask == nullptr ? 255 : cov.At(x + i, y);
      if (c[i] > 0 && !gate(x + i, y, now != nullptr ? now[i] : fill)) c[i] = 0;
      any = any || c[i] > 0;
    }
    if (any) {
      uint32_t* p = store.WritePtr(x, y);
      if (p == nullptr) throw std::bad_alloc();
      for (int32_t i = 0; i < n; ++i)
        if (c[i] > 0) fn(x + i, p + i, c[i]);
    }
    x = end;
  }
}

struct NoGate {
  bool operator()(int32_t, int32_t, uint32_t) const { return true; }
};
// Pixels with alpha only.
struct AlphaGate {
  bool operator()(int32_t, int32_t, uint32_t pixel) const { return (pixel >> 24) != 0; }
};

// Pixels x0 .. x1-1 of row y of a store into out, a tile span at a time (an uncommitted tile reads
// its fill; nothing is committed). The points must lie inside the store.
inline void ReadRow(const CBlockVMTC& store, int32_t y, int32_t x0, int32_t x1, uint32_t* out) {
  auto& s = const_cast<CBlockVMTC&>(store);
  for (int32_t x = x0; x < x1;) {
    const int32_t n = std::min((x & ~31) + 32, x1) - x;
    const auto* q = reinterpret_cast<const uint32_t*>(s.PixelPtr(x, y, false));
    if (q != nullptr)
      std::copy(q, q + n, out + (x - x0));
    else
      std::fill_n(out + (x - x0), n, store.GetPixel(x, y));
    x += n;
  }
}

// Row y of the backup with clamped reads over -1 .. width: out[i] is column i - 1.
inline void ClampedRow(const CBlockVMTC& backup, int32_t y, std::vector<uint32_t>& out) {
  const int32_t w = backup.Width();
  out.resize(static_cast<size_t>(w) + 2);
  ReadRow(backup, std::clamp(y, 0, backup.Height() - 1), 0, w, out.data() + 1);
  out[0] = out[1];
  out[static_cast<size_t>(w) + 1] = out[static_cast<size_t>(w)];
}

// The three rows around y, moved on by one row when y follows the last call's.
struct SRowWindow {
  std::vector<uint32_t> rows[3];
  int32_t centre = -2;
  void MoveTo(const CBlockVMTC& backup, int32_t y) {
    if (y == centre + 1) {
      std::swap(rows[0], rows[1]);
      std::swap(rows[1], rows[2]);
      ClampedRow(backup, y + 1, rows[2]);
    } else {
      for (int32_t r = 0; r < 3; ++r) ClampedRow(backup, y - 1 + r, rows[r]);
    }
    centre = y;
  }
};

// trunc(v) when finite and within int32.
inline bool TruncInt32(double v, int32_t& out) {
  if (!std::isfinite(v)) return false;
  const double t = std::trunc(v);
  if (t < -2147483648.0 || t > 2147483647.0) return false;
  out = static_cast<int32_t>(t);
  return true;
}

// BlendColor (alpha kept) or PixelLerpARGB by the weight.
inline void WriteByFlag(uint32_t* p, uint32_t v, int32_t c, bool keepAlpha) {
  if (keepAlpha)
    BlendColor(p, v, c);
  else
    PixelLerpARGB(p, v, c);
}

}  // namespace tf::older
