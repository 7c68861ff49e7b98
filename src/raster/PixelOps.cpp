// Rectangle adapters of the pixel operators: the operator is inlined into the rectangle loop.
#include "raster/PixelOps.h"

#include "raster/RegionOps.h"

namespace tf {

namespace {

template <PixelOp Op>
bool CombineAdapter(TMTC& dest, const TMTC& source, int32_t left, int32_t top, int32_t width, int32_t height,
                    int32_t destX, int32_t destY, int32_t weight) {
  TPoint point{destX, destY};
  SRectWH rect{left, top, width, height};
  return CombineToWith(source, dest, point, rect, weight, PixelOpFn<Op>{});
}

}  // namespace

bool OldCompositeSourceAlpha(TMTC& dest, const TMTC& source, int32_t left, int32_t top, int32_t width,
                             int32_t height, int32_t destX, int32_t destY, int32_t weight) {
  return CombineAdapter<PixelBlendSourceAlpha>(dest, source, left, top, width, height, destX, destY, weight);
}

bool OldCompositeMultiply(TMTC& dest, const TMTC& source, int32_t left, int32_t top, int32_t width,
                          int32_t height, int32_t destX, int32_t destY, int32_t weight) {
  return CombineAdapter<MultiplyOp>(dest, source, left, top, width, height, destX, destY, weight);
}

bool OldCompositeAdd(TMTC& dest, const TMTC& source, int32_t left, int32_t top, int32_t width, int32_t height,
                     int32_t destX, int32_t destY, int32_t weight) {
  return CombineAdapter<AddOp>(dest, source, left, top, width, height, destX, destY, weight);
}

bool OldCompositeSubtract(TMTC& dest, const TMTC& source, int32_t left, int32_t top, int32_t width,
                          int32_t height, int32_t destX, int32_t destY, int32_t weight) {
  return CombineAdapter<SubtractOp>(dest, source, left, top, width, height, destX, destY, weight);
}

}  // namespace tf
