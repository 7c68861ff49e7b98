// CLoupe: the loupe's picture: the document's display image magnified around a point, with an
// optional crosshair and a backdrop for transparent pixels.
#pragma once
// The picture is a 32-bit image of the control's size (at least 4 x 4): a two-tone frame, a
// window-frame line inside it, and the inner area (2, 2, width - 4, height - 4) that DrawLoupe
// fills. The widget (ui/LoupeControl.h) only shows it.
#include <cstdint>

#include "raster/FlatImage.h"

namespace tf {

// What shows through transparent document pixels: white, the pixels as sampled, a checkerboard.
enum TLoupeBackground : uint8_t { lbNone = 0, lbCanvas = 1, lbTransparent = 2 };

// The checkerboard of lbTransparent: 8 x 8 cells counted from the picture's (0, 0).
inline constexpr uint32_t kLoupeCheckerEven = 0xFFE0E0E0u;
inline constexpr uint32_t kLoupeCheckerOdd = 0xFFC8C8C8u;
// The cleared picture.
inline constexpr uint32_t kLoupeClearColour = 0xFFCCCCCCu;

class CLoupe {
 public:
  CLoupe();

  // Sizes the picture for a control of this size (the picture at least 4 x 4) and clears it.
  // False when the picture cannot be had.
  bool SetSize(int32_t width, int32_t height);
  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }

  float Magnification() const { return magnification_; }
  bool Grid() const { return grid_; }
  TLoupeBackground Background() const { return background_; }
  // Store when changed and clear the picture; true when changed. A magnification that is not a
  // finite value above 0 is refused (the sampling step divides nothing, but a picture of it
  // means nothing either).
  bool SetMagnification(float magnification);
  bool SetGrid(bool grid);
  // Stored without a redraw.
  void SetBackground(TLoupeBackground background) { background_ = background; }

  // Samples the source around (x, y), turned by angle (radians) with the sampling step
  // Magnification (1/8 shows 800 %), into the inner area; then the backdrop and the crosshair.
  // False when nothing was drawn.
  bool DrawLoupe(const TMTC& source, float x, float y, float angle);
  // The cleared picture: grey, the frames, the crosshair when Grid is set.
  void ClearLoupe();
  void DrawCrosshair();

  const TMTC& Picture() const { return picture_; }

 private:
  TMTC picture_;
  int32_t width_ = 0;
  int32_t height_ = 0;
  float magnification_ = 1.0f;
  bool grid_ = true;
  TLoupeBackground background_ = lbNone;
};

}  // namespace tf
