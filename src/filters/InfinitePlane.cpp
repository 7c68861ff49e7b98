#include "filters/InfinitePlane.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "document/Mask.h"
#include "filters/FloorCompose.h"
#include "filters/Samplers.h"
#include "raster/BlockVMTC.h"
#include "raster/FlatImage.h"
#include "raster/PixelOps.h"

namespace tf {

namespace {
constexpr uint32_t kTransparentWhite = 0x00FFFFFFu;
// The largest grid the older floor sets up (bytes of its four arrays together).
constexpr int64_t kMaxGridBytes = int64_t{1} << 34;
}  // namespace

int32_t TexelToFix(double t, int32_t n) {
  if (!std::isfinite(t) || n <= 0) return 0;
  const double m = std::fmod(t, static_cast<double>(n));
  return static_cast<int32_t>(m * 65536.0);
}

bool CInfinitePlane::Setup(int32_t width, int32_t height, int32_t fogDistance) {
  gridWidth_ = gridHeight_ = 0;
  u_.clear();
  v_.clear();
  distance_.clear();
  side_.clear();
  if (width < 0 || height < 0) return false;
  const int64_t gw = int64_t{width} + 1, gh = int64_t{height} + 1;
  constexpr int64_t kPointBytes = 3 * int64_t{sizeof(double)} + int64_t{sizeof(int32_t)};
  if (gh > kMaxGridBytes / kPointBytes / gw) return false;
  const int64_t points = gw * gh;
  try {
    u_.assign(static_cast<size_t>(points), 0.0);
    v_.assign(static_cast<size_t>(points), 0.0);
    distance_.assign(static_cast<size_t>(points), 0.0);
    side_.assign(static_cast<size_t>(points), 0);
  } catch (const std::bad_alloc&) {
    u_.clear();
    v_.clear();
    distance_.clear();
    side_.clear();
    return false;
  }
  gridWidth_ = static_cast<int32_t>(gw);
  gridHeight_ = static_cast<int32_t>(gh);
  quarter_ = static_cast<int32_t>((int64_t{width} + height) / 4);
  const double d = std::max(fogDistance, 1);
  const double q = quarter_;
  fogLimit_ = static_cast<int32_t>(std::trunc(std::pow(d / 100.0, 1.5) * (200.0 * q - q) + q));
  return true;
}

void CInfinitePlane::SetCamera(double x, double height, double z, double h, double p, double e) {
  eyeX = x;
  eyeHeight = height;
  eyeZ = z;
  heading = h;
  pitch = p;
  extra = e;
}

void CInfinitePlane::Project(const TMTC* first, const TMTC* second, double level, double distance) {
  first_ = first;
  second_ = second;
  const double sp = std::sin(pitch), cp = std::cos(pitch);
  const double sh = std::sin(heading), ch = std::cos(heading);
  const double halfW = gridWidth_ / 2.0, halfH = gridHeight_ / 2.0;
  for (int32_t r = 0; r < gridHeight_; ++r) {
    const double Y = r - halfH;
    const double L = Y * cp - distance * sp;
    const double O = Y * sp + distance * cp;
    for (int32_t i = 0; i < gridWidth_; ++i) {
      const double X = i - halfW;
      const double S = X * ch - O * sh;
      const double U = X * sh + O * ch;
      const double plane = L > 0.0 ? level : 0.0;
      double u, v;
      if (L != 0.0) {
        const double t = (plane - eyeHeight) / L;
        u = t * S + eyeX;
        v = t * U + eyeZ;
      } else {
        u = 0.0;
        v = 1073741824.0;  // 2^30
      }
      double dist = std::sqrt((u - eyeX) * (u - eyeX) + (v - eyeZ) * (v - eyeZ));
      if (!(dist <= fogLimit_)) dist = fogLimit_;  // NaN too
      if (dist < quarter_) dist = quarter_;
      const size_t k = Index(i, r);
      side_[k] = L >= 0.0 ? 1 : 0;
      u_[k] = u;
      v_[k] = side_[k] != 0 ? -v : v;
      distance_[k] = dist;
    }
  }
}

bool CInfinitePlane::Render(CBlockVMTC* dest, uint32_t fogColour, bool alphaProtect, TPoint maskOffset,
                            const CMaskData* mask, bool infiniteDistance, bool keepPicture, bool transparentFog,
                            int32_t fogOpacityTerm) const {
  if (dest == nullptr || gridWidth_ <= 0 || gridHeight_ <= 0) return false;
  const bool masked = CMaskData::IsAllocated(mask);
  const floor_detail::Composer composer = floor_detail::ComposerFor(alphaProtect, transparentFog, keepPicture);
  const int32_t width = std::min(gridWidth_ - 1, dest->Width());
  const int32_t height = std::min(gridHeight_ - 1, dest->Height());
  for (int32_t y = 0; y < height; ++y) {
    const bool beyond = !infiniteDistance && !(fogLimit_ > distance_[Index(0, y)]);
    for (int32_t x = 0; x < width; ++x) {
      int32_t coverage = 255;
      if (masked) {
        coverage = mask->ValueAt(static_cast<int32_t>(int64_t{x} + maskOffset.x),
                                 static_cast<int32_t>(int64_t{y} + maskOffset.y), 255);
        if (coverage == 0) continue;
      }
      const size_t k = Index(x, y);
      int32_t fog = 255;
      uint32_t sample = kTransparentWhite;
      int32_t weight = 0;
      if (!beyond) {
        const TMTC* texture = side_[k] == 0 ? first_ : second_;
        if (texture == nullptr || !texture->IsValid()) return false;
        const int64_t e = static_cast<int64_t>(std::trunc(distance_[k]));
        fog = e < fogLimit_ && fogLimit_ > 0 ? static_cast<int32_t>(e * 255 / fogLimit_) : 255;
        sample = SampleImageBilinear(*texture, TexelToFix(u_[k], texture->Width()),
                                     TexelToFix(v_[k], texture->Height()), true);
        weight = fogOpacityTerm - fog + 255;
      }
      const int32_t w = std::clamp(std::min(weight, coverage), 0, 255);
      uint32_t* p = dest->WritePtr(x, y);
      if (p == nullptr) return false;
      uint32_t c = sample;
      if (!transparentFog && !beyond) PixelPaintOver(&c, fogColour, fog);
      floor_detail::ComposeAny(composer, p, c, w);
    }
  }
  return true;
}

}  // namespace tf
