// The arithmetic of the track bar: slot and dial rectangles, thumb and needle places, and the
// position under a point, for the four orientations.
#pragma once
#include <cstdint>

#include "raster/Geometry.h"

namespace tf {

enum class TGraphicTrackbarOrientation : uint8_t { gtHorizontal, gtVertical, gtClockWise, gtCounterClockWise };

// The slot (sliders) or the dial's square (dials) in a control of that size.
TRect TrackbarTrackRect(TGraphicTrackbarOrientation orientation, int32_t width, int32_t height);

// The position 0..1 under a point of the control. Sliders measure over the length less the
// thumb (9 wide, 7 high) so that the drawn thumb and the pointer agree; position 1 of a vertical
// slider is at the top. Dials: 0 points left; clockwise, 0.25 points down.
float TrackbarPositionAt(TGraphicTrackbarOrientation orientation, int32_t width, int32_t height, int32_t x,
                         int32_t y);

// Thumb places: the horizontal thumb's left trunc((width - 9) * position + 0.5), the vertical
// thumb's top trunc((1 - position) * (height - 7) + 0.5). A drawn position may be anything a
// filter returns: the place saturates to the int32 range, and a value that is not a number gives 0.
int32_t TrackbarThumbX(int32_t width, float position);
int32_t TrackbarThumbY(int32_t height, float position);

// The dial's needle: from the centre of the surface to its tip (Single coordinates).
void TrackbarNeedle(TGraphicTrackbarOrientation orientation, int32_t surfaceWidth, int32_t surfaceHeight,
                    float position, SPointF& centre, SPointF& tip);

}  // namespace tf
