// Composites of a coverage channel into a working image: with one colour or with a gradient.
#pragma once
// A pen that paints through the coverage channel leaves, per pixel, the largest coverage any dab
// gave; these loops turn that channel into pixels of the working image. The document's screen
// rebuild and the text tool use them.
#include <cstdint>

#include "raster/Composite.h"
#include "raster/Geometry.h"

namespace tf {

class TMTC;
class TChannel;
class CGradation;

// The channel rectangle is clipped together with the destination point against both sizes. Every
// pixel of it gives the image's first writer stage (pixel, x, y, MulDiv255(channel value,
// opacity), colour) at the destination. False when nothing is left after clipping or either
// picture is not valid.
bool CompositeCoverage(TMTC& image, const TChannel& channel, TPoint destPoint, int32_t opacity, uint32_t colour,
                       SRectWH channelRect);

// The same clipping; every pixel whose channel value is above 0 takes the gradient's colour at
// its destination c (red in the low byte): the colour writer gets (pixel, c in pixel order,
// MulDiv255(MulDiv255(channel value, opacity), alpha of c)).
bool CompositeCoverageGradient(TMTC& image, const TChannel& channel, const CGradation& gradation, int32_t opacity,
                               SRectWH channelRect, TPoint destPoint, PixelOp colourWriter);

}  // namespace tf
