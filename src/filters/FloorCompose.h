// The six ways the floors (today's and the older one) lay a sampled colour onto a layer pixel.
#pragma once
#include <cstdint>

#include "raster/PixelOps.h"

namespace tf::floor_detail {

inline constexpr uint32_t kTransparentWhite = 0x00FFFFFFu;

// (pixel, colour, weight), by the layer's alpha protection, the fog mode and keep picture.
enum Composer { kBlendKeepAlpha, kPaintOver, kReplace, kTransparentKeepAlpha, kTransparentPaintOver, kTransparentReplace };

template <int C>
inline void Compose(uint32_t* p, uint32_t c, int32_t w) {
  if constexpr (C == kBlendKeepAlpha) {
    PixelBlendSourceAlpha(p, c, w);
  } else if constexpr (C == kPaintOver) {
    PixelPaintOver(p, c, w);
  } else if constexpr (C == kReplace) {
    uint32_t t = kTransparentWhite;
    PixelPaintOver(&t, c, w);
    *p = t;
  } else if constexpr (C == kTransparentKeepAlpha) {
    uint32_t s = kTransparentWhite;
    PixelPaintOver(&s, c, static_cast<int32_t>(c >> 24));
    PixelBlendSourceAlpha(p, s, w);
  } else if constexpr (C == kTransparentPaintOver) {
    uint32_t t = kTransparentWhite;
    PixelLerpARGB(&t, c, w);
    PixelPaintOver(p, t, static_cast<int32_t>(t >> 24));
  } else {
    uint32_t s = kTransparentWhite;
    PixelPaintOver(&s, c, static_cast<int32_t>(c >> 24));
    uint32_t t = kTransparentWhite;
    PixelLerpARGB(&t, s, w);
    *p = t;
  }
}

// The composer of an alpha-protect flag, a transparent fog and a keep-picture flag.
inline Composer ComposerFor(bool alphaProtect, bool transparentFog, bool keepPicture) {
  if (alphaProtect) return transparentFog ? kTransparentKeepAlpha : kBlendKeepAlpha;
  if (transparentFog) return keepPicture ? kTransparentPaintOver : kTransparentReplace;
  return keepPicture ? kPaintOver : kReplace;
}

inline void ComposeAny(Composer c, uint32_t* p, uint32_t colour, int32_t w) {
  switch (c) {
    case kBlendKeepAlpha: Compose<kBlendKeepAlpha>(p, colour, w); break;
    case kPaintOver: Compose<kPaintOver>(p, colour, w); break;
    case kReplace: Compose<kReplace>(p, colour, w); break;
    case kTransparentKeepAlpha: Compose<kTransparentKeepAlpha>(p, colour, w); break;
    case kTransparentPaintOver: Compose<kTransparentPaintOver>(p, colour, w); break;
    case kTransparentReplace: Compose<kTransparentReplace>(p, colour, w); break;
  }
}

}  // namespace tf::floor_detail
