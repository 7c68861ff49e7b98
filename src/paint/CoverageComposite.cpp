#include "paint/CoverageComposite.h"

#include "paint/Gradient.h"
#include "paint/PixelWriters.h"
#include "raster/ColorMath.h"
#include "raster/FlatImage.h"

namespace tf {

namespace {

bool ClipCoverage(const TMTC& image, const TChannel& channel, TPoint& destPoint, SRectWH& channelRect) {
  if (!image.IsValid() || !channel.IsValid()) return false;
  return ClipBlit(image.Size(), channel.Size(), destPoint, channelRect);
}

}  // namespace

bool CompositeCoverage(TMTC& image, const TChannel& channel, TPoint destPoint, int32_t opacity, uint32_t colour,
                       SRectWH channelRect) {
  if (!ClipCoverage(image, channel, destPoint, channelRect)) return false;
  const uint32_t scale = static_cast<uint32_t>(opacity) & 0xFFu;
  const SDibView& dest = image.View();
  const SDibView& source = channel.View();
  WithImageWriter([&](auto write) {
    for (int32_t j = 0; j < channelRect.height; ++j) {
      const int32_t y = destPoint.y + j;
      const uint8_t* coverage = PixelAddr8(source, channelRect.left, channelRect.top + j);
      uint32_t* pixel = PixelAddr32(dest, destPoint.x, y);
      for (int32_t i = 0; i < channelRect.width; ++i) {
        const auto value = static_cast<int32_t>(MulDiv255(coverage[i], scale));
        write(pixel + i, destPoint.x + i, y, value, colour);
      }
    }
  });
  return true;
}

bool CompositeCoverageGradient(TMTC& image, const TChannel& channel, const CGradation& gradation, int32_t opacity,
                               SRectWH channelRect, TPoint destPoint, PixelOp colourWriter) {
  if (colourWriter == nullptr || !ClipCoverage(image, channel, destPoint, channelRect)) return false;
  const uint32_t scale = static_cast<uint32_t>(opacity) & 0xFFu;
  const SDibView& dest = image.View();
  const SDibView& source = channel.View();
  writer_detail::WithColourWriterFn(colourWriter, [&](auto write) {
    for (int32_t j = 0; j < channelRect.height; ++j) {
      const int32_t y = destPoint.y + j;
      const uint8_t* coverage = PixelAddr8(source, channelRect.left, channelRect.top + j);
      uint32_t* pixel = PixelAddr32(dest, destPoint.x, y);
      for (int32_t i = 0; i < channelRect.width; ++i) {
        if (coverage[i] == 0) continue;
        const uint32_t c = gradation.ColorAt(destPoint.x + i, y);
        const uint32_t value = MulDiv255(MulDiv255(coverage[i], scale), c >> 24);
        write(pixel + i, ColorToPixel(c), static_cast<int32_t>(value));
      }
    }
  });
  return true;
}

}  // namespace tf
