// Composing the layer stack into the display buffer and painting it into the view.
#pragma once
// The two stages of drawing a document, as routines over buffers and plain view values:
//  1. composing: the visible layers, bottom to top, through folder opacity, layer opacity and
//     blend mode, into the display buffer (canvas size) over the paper colour or transparent
//     white, with the grid drawn over the composed rectangle;
//  2. painting: the display buffer shown at the zoom and rotation of the view, either copied
//     or replicated straight from the buffer (whole-number zooms) or resampled into a
//     window-sized buffer (fractional zooms and rotations), with transparent pixels shown over a
//     checker or white.
// TPaper (paper/Paper.h) holds the buffers and the view and calls these with its own values;
// the view centre comes from its window-to-canvas mapping, never from here.
//
// Every size and 16.16 position is computed in 64 bits; an empty destination draws nothing.
#include <array>
#include <cstdint>

#include "raster/DibImage.h"
#include "raster/Drawing.h"
#include "raster/FlatImage.h"
#include "raster/Geometry.h"
#include "raster/ScaleImage.h"

namespace tf {

class CLayerData;
class CLayerMngr;
class Surface;

// ---- Background colours of the view -------------------------------------------------------------

inline constexpr uint32_t kCheckerEvenColour = 0xC8C8C8u;  // cells where (x div 8 + y div 8) is even
inline constexpr uint32_t kCheckerOddColour = 0xE0E0E0u;
inline constexpr int32_t kCheckerCell = 8;
inline constexpr uint32_t kTransparentWhite = 0x00FFFFFFu;
// The mode word of the transparent composition: pair selector 3, zero-alpha option.
inline constexpr uint32_t kTransparentComposeModeWord = 0x30003u;

// The outside colour: one process-wide pixel value written where the window shows no canvas. The
// document window sets it from its background colour (as it sets RotateBackground); initially
// 0x00808080.
uint32_t GetViewOutsideColour();
void SetViewOutsideColour(uint32_t pixel);
void ResetViewOutsideColour();

// ---- Folder opacity -------------------------------------------------------------------------------

// One entry of the folder opacity record: the last layer met at a folder depth.
struct SFolderOpacity {
  int32_t layerIndex = -1;  // -1: no layer at this depth met yet
  int32_t depth = 0;
  int32_t opacity = 255;
};
inline constexpr int32_t kFolderOpacityEntries = 255;
using FolderOpacityRecord = std::array<SFolderOpacity, kFolderOpacityEntries>;

// Every entry := no layer met, opacity 255. An entry no layer has written scales nothing, so a
// layer at a depth with no shallower layer before it keeps its own opacity.
void ClearFolderOpacity(FolderOpacityRecord& record);
// Writes the layer's entry at its folder depth (also for a hidden layer), then answers its
// effective opacity: 0 for a hidden layer, else its opacity multiplied (MulDiv255) by the
// opacity of every shallower entry as it stands now.
int32_t GetEffectiveOpacity(const CLayerData& layer, FolderOpacityRecord& record);

// ---- Composing --------------------------------------------------------------------------------------

struct SGridSettings {
  bool visible = false;
  int32_t stepX = 25;  // canvas pixels; steps below 1 count as 1
  int32_t stepY = 25;
  uint32_t colour = 0x80000000u;  // 0xAARRGGBB; the high byte is the line opacity
};

struct SComposeSettings {
  bool showCanvasColor = true;   // opaque path over the paper colour; else transparent white
  uint32_t paperColor = 0xFFFFFF;  // 0x00RRGGBB
  bool modernEngine = true;      // false: the older engine's fast layer drawing
  SGridSettings grid;
};

// Canvas colour shown: B, G, R := the paper colour over the rect (alpha kept); else every
// pixel := transparent white. False for an empty clip.
bool FillBackground(TMTC& buffer, SRectWH rect, bool showCanvasColor, uint32_t paperColor);
// DrawLayerTo of the layer's store: the rect moved by the layer offset, into the image at the
// rect's origin. False when nothing was drawn.
bool DrawLayerRect(TMTC& image, const CLayerData& layer, const SRectWH& rect);
// Composes the canvas rect (clipped to the display buffer) from the layers, bottom to top;
// layers of effective opacity 0 are skipped; each drawn layer takes its effective opacity for
// the drawing and gets its own back afterwards. With grid, DrawGridRect over the rect. False for
// an empty clip or an invalid buffer.
bool ComposeRect(TMTC& display, const CLayerMngr& layers, const SComposeSettings& settings, SRectWH rect, bool grid);

// The grid pixel operation of a transparent canvas: the pixel is made opaque over white (alpha
// 0 gives 0xFFFFFFFF), then blended toward the grid colour by alpha.
void GridPixelOp(uint32_t* pixel, uint32_t colour, int32_t alpha);
// Grid lines over the rect clipped to the buffer: vertical lines at every column x with
// x mod step x = 0 from the rect's top row to its bottom row, horizontal lines at every row
// y with y mod step y = 0 from its left to its right column, at the line opacity, through
// BlendColor (canvas colour shown) or GridPixelOp. False when the grid is off or nothing is left.
bool DrawGridRect(TMTC& display, SRectWH rect, const SGridSettings& grid, bool showCanvasColor);

// ---- The view -----------------------------------------------------------------------------------------

// What the painting reads of the document's view and its window.
struct SViewGeometry {
  int32_t zoomNumerator = 1;
  int32_t zoomDenominator = 1;
  int32_t scrollX = 0;  // view scroll (window pixels)
  int32_t scrollY = 0;
  int32_t offsetX = 0;  // view offset (canvas pixels)
  int32_t offsetY = 0;
  float angle = 0.0f;  // radians; the view is rotated when it is not 0
  float sine = 0.0f;
  float cosine = 1.0f;
  int32_t clientWidth = 0;  // window client size
  int32_t clientHeight = 0;

  // numerator / denominator as a single float (1 for a denominator of 0).
  float Zoom() const;
  bool IsRotated() const { return angle != 0.0f; }
};

// The zoom ratio is whole (numerator divisible by denominator) and the zoomed canvas stays under
// 32768 pixels: max(width, height) x numerator / 32768 below the denominator (64-bit product).
bool IsWholeZoomView(int32_t canvasWidth, int32_t canvasHeight, int32_t numerator, int32_t denominator);

// What a transparent pixel of the view is shown over: nothing with the canvas colour shown, else
// the 8x8 checker anchored at the origin (pattern) or white.
SFlattenBackground ViewBackground(bool showCanvasColor, bool pattern, int32_t originX = 0, int32_t originY = 0);
// Alpha 255 leaves the pixel; else the background (checker cell at window x, y, or white)
// blended toward the pixel's colour by its alpha replaces it.
void FlattenPixelForView(uint32_t* pixel, int32_t x, int32_t y, bool pattern);
// Flattens the bounds of the image (clipped) over the view background anchored at the point;
// nothing when the canvas colour is shown.
bool FillBackgroundPattern(TMTC& image, TRect bounds, const TPoint& anchor, bool showCanvasColor, bool pattern);

// Whole-number zoom f, the canvas rect (clipped to the display buffer) painted straight from the
// display buffer: zoom 1 copies it to (left + ox - sx, top + oy - sy); zoom f stretches it to
// (ox + f*left - trunc(sx*f), oy + f*top - trunc(sy*f)) at f times its size. False for other
// zooms, an empty rect or a refused copy.
bool PaintDirect(Surface& window, const TMTC& display, SRectWH rect, const SViewGeometry& view);

// Nearest-neighbour stretch whose scale comes from the two rectangles as given: the destination
// pixel (x, y) of destRect takes the source pixel (sl + (x - dl)*sw div dw, st + (y - dt)*sh div
// dh), all four bytes. Only the part of destRect inside the destination is written, so a
// rectangle that sticks out keeps its scale. False when nothing is written.
bool StretchExactFrom(TMTC& dest, const TMTC& source, const SRectWH& destRect, SRectWH sourceRect);

// The canvas rect stretched into the destination buffer at the 16.16 zoom z (nearest): the
// canvas origin in the window is X0 = ox - z*sx div 65536, Y0 likewise; the rect lands at
// (X0 + z*left div 65536, Y0 + z*top div 65536) with size (z*width >> 16, z*height >> 16); the
// part inside the canvas area is flattened over the view background anchored at (X0, Y0); with
// a window the rect is then copied to it. Written rect in outRect when given. False when nothing
// lands in the buffer.
bool StretchToWindow(Surface* window, TMTC& dest, SRectWH canvasRect, const TMTC& display, const SViewGeometry& view,
                     bool showCanvasColor, bool pattern, SRectWH* outRect = nullptr);

// The square of the view buffer that covers the canvas rect at the view's zoom and rotation:
// radius r = trunc(max(w, h)*z*sqrt(2)/2) + 1 about the rect centre's window position
// wx = trunc(cos*dx + sin*dy) + W div 2, wy = trunc(-sin*dx + cos*dy) + H div 2 with
// (dx, dy) = (rect centre - view centre)*z. Empty for an empty rect.
SRectWH RotatedPaintSquare(const SRectWH& canvasRect, const SViewGeometry& view, const TPoint& viewCentre);

// Nearest resampling of the display buffer into destRect of dest: with s = 1/z, the pixel
// (x, y) samples (cx, cy) + R*(s*(x - Wd div 2), s*(y - Hd div 2)), R = [[cos, -sin],
// [sin, cos]], Wd x Hd the destination size. Positions are 16.16, stepped along each row by
// constant increments (cos*s, sin*s) taken to the nearest 16.16 value. A point inside the buffer
// takes its pixel and FlattenPixelForView (with the pattern) unless the canvas colour is shown;
// a point outside takes the outside colour. False for an empty clip or invalid images.
bool RenderRotatedNearest(TMTC& dest, const TMTC& display, SRectWH destRect, const TPoint& viewCentre,
                          const SViewGeometry& view, bool showCanvasColor, bool pattern, uint32_t outsideColour);
// Area-averaged resampling from pixel centres (ScaleRotateInto about the view centre with the
// view angle and zoom); each pixel whose square meets the buffer then passes FlattenPixelForView
// unless the canvas colour is shown; the others take the outside colour.
bool RenderRotatedSmooth(TMTC& dest, TMTC& display, CScaleImageTMTC& scaler, SRectWH destRect,
                         const TPoint& viewCentre, const SViewGeometry& view, bool showCanvasColor, bool pattern,
                         uint32_t outsideColour);

// ---- Thumbnails and the navigator ----------------------------------------------------------------------

// The part of an image of imageWidth x imageHeight that shows the canvas rect (l, t, w, h) of a
// canvas of canvasWidth x canvasHeight: with fx = imageWidth / canvasWidth and fy likewise (single
// precision), from (trunc(l*fx), trunc(t*fy)) to (trunc((l+w)*fx) + 1, trunc((t+h)*fy) + 1).
// Empty for an empty size.
SRectWH ScaledThumbnailRect(const SRectWH& canvasRect, int32_t imageWidth, int32_t imageHeight, int32_t canvasWidth,
                            int32_t canvasHeight);
// Redraws the thumbnail rect from the canvas part of the layer's store (box average).
bool DrawLayerThumbnailRect(CLayerData& layer, const SRectWH& thumbnailRect);
// Reduces the display buffer into the navigator rect (box average); with the canvas colour not
// shown, flattens that rect over the checker or white anchored at the navigator's corner.
bool UpdateNavigatorRect(TMTC& navigator, const TMTC& display, const SRectWH& navigatorRect, bool showCanvasColor,
                         bool pattern);

}  // namespace tf
