// The pixel painters of TMemoryGraphic: channel operations as templates, chosen once per call.
#pragma once
// Internal to the surface's sources. A primitive picks its painter once with WithOps, which
// calls the primitive's loop with a Painter whose operations are template arguments, so the
// pixel loops carry no branch on the operations.
#include <cstdint>

#include "raster/MemoryGraphic.h"

namespace tf::graphic {

template <TChannelOp Op>
inline uint8_t Apply(uint32_t d, uint32_t s, float w) {
  if constexpr (Op == TChannelOp::Keep) {
    return static_cast<uint8_t>(d);
  } else if constexpr (Op == TChannelOp::Copy) {
    return static_cast<uint8_t>(s);
  } else {
    if constexpr (Op == TChannelOp::Multiply) s = (d * s * 32897u) >> 23;
    // The product of a byte difference and a Single is exact in double, so Trunc sees the same
    // value at every precision.
    const double delta = static_cast<double>(static_cast<int32_t>(s) - static_cast<int32_t>(d)) * w;
    return static_cast<uint8_t>(static_cast<int32_t>(d) + static_cast<int32_t>(delta));
  }
}

template <TChannelOp C, TChannelOp A>
struct Painter {
  static constexpr TChannelOp kColor = C;
  static constexpr TChannelOp kAlpha = A;
  // Colour bytes by C with the colour weight, alpha by A with the alpha weight.
  static inline void Put(uint32_t* p, uint32_t colour, float colourWeight, float alphaWeight) {
    const uint32_t d = *p;
    const uint32_t b = Apply<C>(d & 0xFF, colour & 0xFF, colourWeight);
    const uint32_t g = Apply<C>(d >> 8 & 0xFF, colour >> 8 & 0xFF, colourWeight);
    const uint32_t r = Apply<C>(d >> 16 & 0xFF, colour >> 16 & 0xFF, colourWeight);
    const uint32_t a = Apply<A>(d >> 24, colour >> 24, alphaWeight);
    *p = b | g << 8 | r << 16 | a << 24;
  }
  // The compositing rule with coverage k; colourWeight is the full-coverage colour weight.
  static inline void Cover(uint32_t* p, uint32_t colour, float colourWeight, float k) {
    if (k >= 1.0f) {
      Put(p, colour, colourWeight, 1.0f);
    } else if (k > 0.0f) {
      Put(p, colour, k * colourWeight, k);
    }
  }
};

// Calls f(Painter<color, alpha>{}) for the pair.
template <class F>
decltype(auto) WithOps(SChannelOps ops, F&& f) {
  using O = TChannelOp;
#define TF_OPS_CASE(c, a) \
  case static_cast<int>(O::c) * 4 + static_cast<int>(O::a): return f(Painter<O::c, O::a>{});
  switch (static_cast<int>(ops.color) * 4 + static_cast<int>(ops.alpha)) {
    TF_OPS_CASE(Keep, Keep)
    TF_OPS_CASE(Keep, Copy)
    TF_OPS_CASE(Keep, Blend)
    TF_OPS_CASE(Keep, Multiply)
    TF_OPS_CASE(Copy, Keep)
    TF_OPS_CASE(Copy, Copy)
    TF_OPS_CASE(Copy, Blend)
    TF_OPS_CASE(Copy, Multiply)
    TF_OPS_CASE(Blend, Keep)
    TF_OPS_CASE(Blend, Copy)
    TF_OPS_CASE(Blend, Blend)
    TF_OPS_CASE(Blend, Multiply)
    TF_OPS_CASE(Multiply, Keep)
    TF_OPS_CASE(Multiply, Copy)
    TF_OPS_CASE(Multiply, Blend)
    default: return f(Painter<O::Multiply, O::Multiply>{});
  }
#undef TF_OPS_CASE
}

// Ca / 255 as the Single the compositing rule uses.
inline float ColourWeight(uint32_t colour) {
  return static_cast<float>(static_cast<double>(colour >> 24) * (1.0 / 255.0));
}

// A clipped area in 32-bit coordinates.
struct SArea {
  int32_t x, y, width, height;
};

}  // namespace tf::graphic
