// CPressureCurve: the pressure curve editor's logic: the exponent that maps pen pressure to
// effect (y = x^gamma), its picture and its drag.
#pragma once
// The picture: a grey-text frame, a window-colour frame inside it, the area under the curve
// drawn on an image four times the inner area's size and reduced by area averaging (which
// antialiases the curve), and a dotted cross through the middle. The gamma's number is drawn by
// the widget (ui/PressureGamma.h), which needs a font.
#include <cstdint>

#include "raster/FlatImage.h"

namespace tf {

// The gamma after a drag of d pixels (right and down count positive) from gamma, in hundredths:
// one pixel is 0.01 below 1.00 and 0.05 above it; a move across 1.00 stops there; Shift keeps
// to a grid of 0.05; the range is 0.05..6.00.
float GammaDragStep(float gamma, int32_t d, bool shift);

class CPressureCurve {
 public:
  CPressureCurve();

  // Sizes the picture and the curve image for a control of this size and renders.
  bool SetSize(int32_t width, int32_t height);
  float Gamma() const { return gamma_; }
  // Negative values become 0; a value that is not finite is refused. True (re-rendered) when it
  // changed.
  bool SetGamma(float gamma);

  void Render();
  const TMTC& Picture() const { return picture_; }
  const TMTC& CurveImage() const { return curve_; }

  // The drag: press at a point, then each move changes the gamma; true when it changed.
  void BeginDrag(int32_t x, int32_t y);
  bool DragTo(int32_t x, int32_t y, bool shift);
  void EndDrag() { dragging_ = false; }
  bool Dragging() const { return dragging_; }

 private:
  TMTC picture_;
  TMTC curve_;
  int32_t width_ = 0, height_ = 0;
  float gamma_ = 1.0f;
  int32_t lastX_ = 65536, lastY_ = 65536;
  bool dragging_ = false;
};

}  // namespace tf
