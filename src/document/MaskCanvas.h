// MaskCanvas: what the masks and the selection outline need of their document.
#pragma once
// The mask list and the selection outline live below the document object. They reach the
// canvas size and the window mapping through this interface; the document implements it.
#include <cstdint>

#include "raster/Geometry.h"

namespace tf {

class MaskCanvas {
 public:
  virtual ~MaskCanvas() = default;
  // The canvas size in pixels.
  virtual SSize CanvasSize() const = 0;
  // Canvas point to window point (each coordinate plus 0.01, truncated).
  virtual void CanvasToClientPoint(TPoint& point) const = 0;
  // The window's zoom factor (1.0 shows one canvas pixel per window pixel).
  virtual float ViewZoom() const = 0;
  // Sine and cosine of the view rotation.
  virtual float ViewSine() const = 0;
  virtual float ViewCosine() const = 0;
};

}  // namespace tf
