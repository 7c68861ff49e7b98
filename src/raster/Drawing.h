// Drawing and resampling on 32-bit images: lines, frames, dots, reductions.
#pragma once
// Drawing and resampling on 32-bit images: lines with a pixel operation and an alpha ramp,
// one-pixel frames, checkerboards and the flattening of transparent pixels for display, an
// antialiased line, soft round dots, the 4x4-sample and box reductions, a nearest-neighbour
// stretch and a rotate-and-scale copy. Pixels are reached through the row table, so every 32-bit
// image class (TMTC, TTC, tile views) works.
//
// Rectangles are clipped in place as in the region operations; routines that clip answer true
// when something was drawn.
#include <cstdint>

#include "raster/Composite.h"
#include "raster/FlatImage.h"
#include "raster/Geometry.h"

namespace tf {

// ---- Process-wide state ----------------------------------------------------------------------

// Written wherever RotateScaleTo samples outside its source. Initially 0x00808080; the document
// window sets it from its background colour.
uint32_t GetRotateBackground();
void SetRotateBackground(uint32_t pixel);

// The plot callback of DrawSoftDotOp: (image, x, y, colour, alpha). Initially a call of
// TMTC::BlendPixel; the pen engine's plot hooks replace it.
using SoftDotPlotter = void (*)(TMTC& image, int32_t x, int32_t y, uint32_t colour, int32_t alpha);
// Sets the plotter (null restores the initial one); returns the one set before.
SoftDotPlotter SetSoftDotPlotter(SoftDotPlotter plotter);
SoftDotPlotter GetSoftDotPlotter();
// Both values back to their start-up state (tests).
void ResetDrawingState();

// ---- Lines and frames ------------------------------------------------------------------------

// Integer line from (x0, y0) to (x1, y1) with alpha running linearly from a0 to a1: op(pixel,
// colour, alpha) at every point inside the image; points outside are skipped.
void DrawLineOp(TMTC& image, int32_t x0, int32_t y0, int32_t a0, int32_t x1, int32_t y1, int32_t a1,
                uint32_t colour, PixelOp op);
// One-pixel outline as up to four DrawLineOp lines: top and left in colour 1, right and bottom
// in colour 2, each pixel once. Nothing for an empty rectangle.
void FrameRectOp(TMTC& image, const SRectWH& rect, uint32_t colour1, uint32_t colour2, int32_t alpha, PixelOp op);
void FrameRect(TMTC& image, const SRectWH& rect, uint32_t colour, int32_t alpha);
void FrameRectTwoTone(TMTC& image, const SRectWH& rect, uint32_t topLeftColour, uint32_t bottomRightColour,
                      int32_t alpha);
void FrameImageTwoTone(TMTC& image, uint32_t topLeftColour, uint32_t bottomRightColour, int32_t alpha);

// ---- Checkers and flattening -----------------------------------------------------------------

// Fills the clipped rectangle with cells of the cell size from its top-left corner; cell row r,
// column c gets the odd colour when r + c is odd. False for an empty clip or a cell side <= 0.
bool DrawChecker(TMTC& image, SRectWH& rect, const SSize& cell, uint32_t evenColour, uint32_t oddColour);
// Every pixel of the clipped bounds whose alpha is not 255 becomes its checker cell colour with
// B, G, R blended toward the pixel's by the pixel's alpha; byte 3 is the cell colour's. Cell
// parity = ((y - origin.top) div cellHeight + (x - origin.left) div cellWidth) and 1, divisions
// truncating toward zero. False for an empty clip or a cell side <= 0.
bool FlattenOnChecker(TMTC& image, TRect& bounds, const TRect& origin, const SSize& cell, uint32_t evenColour,
                      uint32_t oddColour);
// The same over one colour.
bool FlattenOnColor(TMTC& image, TRect& bounds, uint32_t colour);

// What a pixel that is not opaque is shown over, one pixel at a time: nothing (the pixel is
// left), one colour, or a checker whose cells are counted from an origin as in FlattenOnChecker.
struct SFlattenBackground {
  enum Kind : uint8_t { kNone, kColor, kChecker };
  Kind kind = kNone;
  uint32_t colour = 0;      // kColor
  uint32_t evenColour = 0;  // kChecker
  uint32_t oddColour = 0;
  int32_t cellWidth = 8;  // at least 1
  int32_t cellHeight = 8;
  int32_t originX = 0;
  int32_t originY = 0;
};
// Alpha 255 leaves the pixel; otherwise it becomes the background at (x, y) with B, G, R blended
// toward the pixel's by the pixel's alpha (byte 3 is the background's).
void FlattenPixel(uint32_t* pixel, int32_t x, int32_t y, const SFlattenBackground& background);

// ---- Antialiased line and soft dots ------------------------------------------------------------

// Line stepped in 16.16 along its major axis (slope over the pixel count); with antialias each
// step covers two pixels weighted by the fraction. Pixels outside the image are skipped.
void DrawLineAA(TMTC& image, uint32_t colour, bool antialias, float x0, float y0, float x1, float y1);
// Round dot of radius r about (cx, cy) at opacity 0..1 written with BlendPixelFast; soft makes
// the alpha fall with the squared distance (only for r >= 3); antialias grades the edge pixels
// by 16 samples. Distances are taken in 64 bits.
void DrawSoftDot(TMTC& image, uint32_t colour, bool antialias, float cx, float cy, float r, float opacity,
                 bool soft);
// The same coverage and alpha, each pixel inside the image handed to the soft-dot plotter.
void DrawSoftDotOp(TMTC& image, uint32_t colour, bool antialias, float cx, float cy, float r, float opacity,
                   bool soft);

// ---- Resampling ------------------------------------------------------------------------------

// The whole image into the destination's size, 4x4 samples per destination pixel (10-bit steps).
// Nothing when either image is invalid or empty.
void Reduce4x4To(const TMTC& source, TMTC& dest);
// Box-average reduction of the whole source into the destination bounds (left, top, width,
// height) clipped to the destination; the steps come from the destination's full size.
bool BoxScaleTo(const TMTC& source, TMTC& dest, int32_t left, int32_t top, int32_t width, int32_t height);
// Nearest-neighbour stretch of the source rectangle onto the destination rectangle (both clipped
// to their images, copies taken); rows left below the last row written repeat it.
bool StretchFrom(TMTC& dest, const TMTC& source, SRectWH destRect, SRectWH sourceRect);
// Rotate-and-scale copy, nearest neighbour: the destination pixel (x, y) of the clipped rectangle
// samples the source at centre + 0.5 + scale*R(angle)*((x, y) - destination centre); points
// outside the source get the rotate background. False for an empty clip or a scale that is not a
// finite value > 0.
bool RotateScaleTo(const TMTC& source, TMTC& dest, float cx, float cy, const SRectWH& destRect, float angle,
                   float scale);
bool RotateScaleAllTo(const TMTC& source, TMTC& dest, float cx, float cy, float angle, float scale);

}  // namespace tf
