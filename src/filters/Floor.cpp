#include "filters/Floor.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "filters/FilterBlocks.h"
#include "filters/FilterLoops.h"
#include "filters/FloorCompose.h"
#include "filters/Samplers.h"
#include "platform/ByteOrder.h"
#include "raster/BlockVMTC.h"
#include "raster/FlatImage.h"
#include "raster/PixelOps.h"
#include "raster/ScaleImage.h"

namespace tf {

namespace {

using namespace floor_detail;
constexpr int64_t kTexMask = int64_t{256} * 65536 - 1;

// x x 65536 to the nearest integer, ties to even, in 64 bits.
int64_t Fix64(double x) {
  const double v = std::nearbyint(x * 65536.0);
  if (!(v > -9.0e18 && v < 9.0e18)) return 0;
  return static_cast<int64_t>(v);
}

float SingleAt(const uint8_t* v, int32_t offset) {
  float f;
  std::memcpy(&f, v + offset, 4);
  return f;
}

// ---- Samplers: (texture, u, v, fog amount) -> colour

template <bool kTransparent>
inline uint32_t NearSample(const TMTC& texture, int32_t u, int32_t v, int32_t fog, uint32_t fogColour) {
  uint32_t s = SamplePow2WrappedSat(texture, u, v);
  if constexpr (!kTransparent) PixelPaintOver(&s, fogColour, fog);
  return s;
}

template <bool kTransparent, bool kInfinite>
inline uint32_t FarSample(const TMTC& texture, int32_t u, int32_t v, int32_t fog, uint32_t fogColour) {
  if constexpr (kInfinite) {
    return NearSample<kTransparent>(texture, u, v, fog, fogColour);
  } else if constexpr (kTransparent) {
    return kTransparentWhite;
  } else {
    uint32_t t = kTransparentWhite;
    PixelPaintOver(&t, fogColour, fog);
    return t;
  }
}

struct SFloorSetup {
  bool used[2];  // ceiling, floor
  const TMTC* texture[2];
  double su[2], sv[2];
  int64_t level[2];  // C, F (16.16)
  int64_t D;
  double fogScale;
  int32_t o;
  uint32_t fogColour;
  double sa, ca, sb, cb;
  int64_t du0, dv0;
  int64_t U, V, K, dU, dV, dK;
};

struct SRowState {
  bool near;
  int64_t f;
  int64_t u, v, du, dv;
  int32_t left;
  const TMTC* texture;
};

template <int C, bool kTransparent, bool kInfinite>
class FloorRenderer {
 public:
  FloorRenderer(const FilterContext& ctx, const SFloorSetup& s) : ctx_(ctx), s_(s) {}

  bool Run() {
    const bool full = ctx_.Coverage == &FullCoverage;
    const filter_detail::MaskCoverageOf mask{ctx_.Mask, ctx_.OffsetX, ctx_.OffsetY};
    // The projection starts at Bounds' bottom left whatever the work area, so that a preview of
    // a part paints the pixels the run paints there.
    int64_t U = s_.U, V = s_.V, K = s_.K;
    for (int32_t y = ctx_.Bounds.bottom - 1; y >= ctx_.Work.top; --y) {
      if (y < ctx_.Work.bottom) {
        const bool ok = full ? Row(filter_detail::FullCoverageOf{}, y, U, V, K) : Row(mask, y, U, V, K);
        if (!ok) return false;
      }
      U -= s_.dU;
      V += s_.dV;
      K += s_.dK;
    }
    return true;
  }

 private:
  template <class Cov, class Writer>
  bool Spans(const Cov& cov, const Writer& writer, int32_t y) {
    auto index = [](int32_t x, int32_t, uint32_t) { return static_cast<uint32_t>(x); };
    int32_t x = ctx_.Work.left;
    while (x < ctx_.Work.right) {
      const int32_t tileEnd = (x & ~(filter_detail::kStoreTileWidth - 1)) + filter_detail::kStoreTileWidth;
      const int32_t end = std::min(tileEnd, ctx_.Work.right);
      if (!filter_detail::CoveredSpan(ctx_, cov, writer, index, x, end - x, y)) return false;
      x = end;
    }
    return true;
  }

  int32_t FarWeight(int32_t c) const { return kInfinite ? std::clamp(s_.o - c, 0, 255) : 0; }

  template <class Cov>
  bool Row(const Cov& cov, int32_t y, int64_t U, int64_t V, int64_t K) {
    if (K == 0) {
      // The horizon: the mean of the two far samples at texel (1, 1).
      const auto writer = [&](uint32_t* p, uint32_t, int32_t c) {
        uint32_t a = 0, b = 0;
        if (s_.used[0]) a = FarSample<kTransparent, kInfinite>(*s_.texture[0], 65536, 65536, c, s_.fogColour);
        if (s_.used[1]) b = FarSample<kTransparent, kInfinite>(*s_.texture[1], 65536, 65536, c, s_.fogColour);
        uint32_t mean = 0;
        for (int32_t shift = 0; shift < 32; shift += 8)
          mean |= ((((a >> shift) & 0xFFu) + ((b >> shift) & 0xFFu)) / 2u) << shift;
        Compose<C>(p, mean, FarWeight(c));
      };
      return Spans(cov, writer, y);
    }
    const int side = K > 0 ? 0 : 1;
    const double t = static_cast<double>(s_.level[side]) / static_cast<double>(K);
    if (t == 0.0 || !s_.used[side]) {
      if (!kTransparent) return true;
      const auto writer = [&](uint32_t* p, uint32_t, int32_t) { Compose<C>(p, s_.fogColour, 0); };
      return Spans(cov, writer, y);
    }
    const double wu = static_cast<double>(U) * t / 65536.0, wv = static_cast<double>(V) * t / 65536.0;
    const double dist = std::sqrt(wu * wu + wv * wv);
    SRowState r;
    r.near = dist < static_cast<double>(s_.D);
    r.f = static_cast<int64_t>(std::min(std::trunc(dist * s_.fogScale), 9.0e18));
    r.du = Fix64(FloatMod(t * s_.ca * s_.su[side], 256.0));
    r.dv = Fix64(FloatMod(t * s_.sa * s_.sv[side], 256.0));
    r.u = (Fix64(FloatMod(wu * s_.su[side], 256.0)) + s_.du0) & kTexMask;
    r.v = (Fix64(FloatMod(wv * s_.sv[side], 256.0)) + s_.dv0) & kTexMask;
    r.left = ctx_.Bounds.left;
    r.texture = s_.texture[side];
    const auto writer = [&](uint32_t* p, uint32_t x, int32_t c) {
      // The position of pixel x: u and v advance from the row's first pixel whatever the
      // coverage.
      const int64_t i = static_cast<int64_t>(x) - r.left;
      const auto u = static_cast<int32_t>((r.u + i * r.du) & kTexMask);
      const auto v = static_cast<int32_t>((r.v + i * r.dv) & kTexMask);
      if (r.near) {
        const int32_t a = static_cast<int32_t>(std::min<int64_t>((r.f * c) >> 16, 255));
        Compose<C>(p, NearSample<kTransparent>(*r.texture, u, v, a, s_.fogColour), std::clamp(s_.o - a, 0, 255));
      } else {
        Compose<C>(p, FarSample<kTransparent, kInfinite>(*r.texture, u, v, c, s_.fogColour), FarWeight(c));
      }
    };
    return Spans(cov, writer, y);
  }

  const FilterContext& ctx_;
  const SFloorSetup& s_;
};

template <int C>
bool RenderWith(const FilterContext& ctx, const SFloorSetup& s, bool transparent, bool infinite) {
  if (transparent)
    return infinite ? FloorRenderer<C, true, true>(ctx, s).Run() : FloorRenderer<C, true, false>(ctx, s).Run();
  return infinite ? FloorRenderer<C, false, true>(ctx, s).Run() : FloorRenderer<C, false, false>(ctx, s).Run();
}

bool ValidTexture(const TMTC* t) {
  return t != nullptr && t->IsValid() && t->Width() == kFloorTextureSide && t->Height() == kFloorTextureSide;
}

}  // namespace

bool FloorFilter(FilterContext& context, const void* block, int32_t size) {
  if (!CheckFilterContext(context) || size != kBlockFloor || block == nullptr) return false;
  const auto& b = *static_cast<const SFltFloor*>(block);
  const uint8_t* v = b.values;
  if (v[45] == 0) return OlderFloorFilter(context, block, size);
  SFloorSetup s{};
  s.texture[0] = b.ceiling.image;
  s.texture[1] = b.floor.image;
  s.used[0] = (v[42] & 1) != 0;
  s.used[1] = (v[42] & 2) != 0;
  if (!s.used[0] && !s.used[1]) return false;
  const int32_t srcW[2] = {LoadLE<int16_t>(v + 47), LoadLE<int16_t>(v + 51)};
  const int32_t srcH[2] = {LoadLE<int16_t>(v + 49), LoadLE<int16_t>(v + 53)};
  for (int32_t i = 0; i < 2; ++i) {
    if (!s.used[i]) continue;
    // A texture read outside its picture, or one whose recorded source side would divide by
    // zero, is refused.
    if (!ValidTexture(s.texture[i]) || srcW[i] <= 0 || srcH[i] <= 0) return false;
    s.su[i] = 256.0 / srcW[i];
    s.sv[i] = (i == 0 ? 256.0 : -256.0) / srcH[i];
  }
  const double d = SingleAt(v, 4), heading = SingleAt(v, 12), tilt = SingleAt(v, 16);
  if (!std::isfinite(d) || !std::isfinite(heading) || !std::isfinite(tilt)) {
    if (context.Note != nullptr) context.Note->notFinite = true;
    return false;
  }
  const TRect& r = context.Bounds;
  const double cx = (static_cast<double>(r.left) + r.right) / 2.0,
               cy = (static_cast<double>(r.top) + r.bottom) / 2.0;
  const double m = std::max(r.right - r.left, r.bottom - r.top);
  const double sc = m / 100.0;
  const int64_t q = (int64_t{r.right} - r.left + r.bottom - r.top) / 4;
  s.level[0] = Fix64(d * sc);
  s.level[1] = Fix64((d - LoadLE<int32_t>(v + 28)) * sc);
  const double fogDistance = v[46];
  // q = 0 (a rectangle of width plus height below 4) leaves no fog limit: D is at least 1.
  s.D = std::max<int64_t>(1, static_cast<int64_t>(std::trunc(std::pow(fogDistance / 100.0, 1.5) * 199.0 * q + q)));
  s.fogScale = 65536.0 / static_cast<double>(s.D);
  const double o = std::floor(2.55 * LoadLE<int32_t>(v + 32)) + 255.0;
  s.o = static_cast<int32_t>(std::clamp(o, -1.0e6, 1.0e6));
  s.fogColour = LoadLE<uint32_t>(v + 36) & 0x00FFFFFFu;
  const double a = -heading, bb = -tilt;
  s.sa = std::sin(a);
  s.ca = std::cos(a);
  s.sb = std::sin(bb);
  s.cb = std::cos(bb);
  const double G = LoadLE<int32_t>(v + 24) * sc;
  s.du0 = Fix64(LoadLE<int32_t>(v + 0) * 2.56 - 0.5);
  s.dv0 = Fix64(LoadLE<int32_t>(v + 8) * 2.56 - 0.5);
  const double X0 = r.left - cx + 0.5, Y0 = cy - r.bottom + 0.5;
  s.U = Fix64(s.ca * X0 - (Y0 * s.sb + G * s.cb) * s.sa);
  s.V = Fix64(s.sa * X0 + (Y0 * s.sb + G * s.cb) * s.ca);
  s.K = Fix64(s.cb * Y0 - s.sb * G);
  s.dU = Fix64(s.sa * s.sb);
  s.dV = Fix64(s.ca * s.sb);
  s.dK = Fix64(s.cb);
  const bool transparent = v[41] != 0, infinite = v[44] != 0, keep = v[40] != 0;
  const bool protect = context.KeepAlpha != 0;
  if (!transparent) {
    if (protect) return RenderWith<kBlendKeepAlpha>(context, s, false, infinite);
    return keep ? RenderWith<kPaintOver>(context, s, false, infinite) : RenderWith<kReplace>(context, s, false, infinite);
  }
  if (protect) return RenderWith<kTransparentKeepAlpha>(context, s, true, infinite);
  return keep ? RenderWith<kTransparentPaintOver>(context, s, true, infinite)
              : RenderWith<kTransparentReplace>(context, s, true, infinite);
}

bool MakeLayerTexture(const CBlockVMTC& store, const TRect& rect, TMTC& texture) {
  const TRect r{std::max(rect.left, 0), std::max(rect.top, 0), std::min(rect.right, store.Width()),
                std::min(rect.bottom, store.Height())};
  if (r.left >= r.right || r.top >= r.bottom) return false;
  TMTC part(r.right - r.left, r.bottom - r.top);
  if (!part.IsValid() || !texture.Resize(kFloorTextureSide, kFloorTextureSide)) return false;
  TPoint at{0, 0};
  SRectWH from{r.left, r.top, r.right - r.left, r.bottom - r.top};
  if (!store.CopyToImage(part, at, from, 255, false)) return false;
  CScaleImageTMTC scaler(&part, &texture);
  return scaler.Scale(SRectWH{0, 0, part.Width(), part.Height()}, SRectWH{0, 0, kFloorTextureSide, kFloorTextureSide});
}

}  // namespace tf
